// Work buffers: zero-filled from both allocators, the 4096-byte boundary, and
// refusal of a free whose size points at the other allocator.
#include "base/util/ve_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/util/zel_errors.h"

namespace
{

bool AllZero(const void *block, int32_t n)
{
    const auto *bytes = static_cast<const uint8_t *>(block);
    for (int32_t i = 0; i < n; i++) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

bool PageAligned(const void *block)
{
    return (reinterpret_cast<uintptr_t>(block) & 4095u) == 0;
}

TEST(WorkBuffer, SizesOnBothSidesOfThePageBoundary)
{
    for (int32_t n : {1, 100, 4095, 4096, 4097, 65536}) {
        SCOPED_TRACE(n);
        void *block = VES_buffer_alloc(n);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(AllZero(block, n));
        std::fill_n(static_cast<unsigned char *>(block), n, 0x5A); // all of it is ours
        if (n >= 4096) {
            EXPECT_TRUE(PageAligned(block)) << "mapped pages expected";
        }
        EXPECT_EQ(VES_buffer_free(block, n), ZE_SUCCESS);
    }
}

TEST(WorkBuffer, ZeroAndNegativeSizesGiveNothing)
{
    EXPECT_EQ(VES_buffer_alloc(0), nullptr);
    EXPECT_EQ(VES_buffer_alloc(-5), nullptr);
}

TEST(WorkBuffer, FreeRefusesBadArguments)
{
    EXPECT_EQ(VES_buffer_free(nullptr, 10), ZE_NULL_POINTER);
    void *block = VES_buffer_alloc(10);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(VES_buffer_free(block, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_buffer_free(block, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_buffer_free(block, 10), ZE_SUCCESS);
}

TEST(WorkBuffer, FreeWithTheWrongSideOfTheBoundaryIsRefused)
{
    void *mapped = VES_buffer_alloc(8192);
    ASSERT_NE(mapped, nullptr);
    EXPECT_EQ(VES_buffer_free(mapped, 100), ZE_INVALID_ARGUMENT) << "would hand a mapping to free";
    EXPECT_EQ(VES_buffer_free(mapped, 4096), ZE_INVALID_ARGUMENT) << "would unmap part of it";
    EXPECT_EQ(VES_buffer_free(mapped, 8192), ZE_SUCCESS);

    void *heap = VES_buffer_alloc(100);
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(VES_buffer_free(heap, 4096), ZE_INVALID_ARGUMENT) << "would munmap a heap block";
    EXPECT_EQ(VES_buffer_free(heap, 100), ZE_SUCCESS);
}

} // namespace
