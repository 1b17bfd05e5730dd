// Page-mapped memory: zero-filled pages mapped and unmapped.
#include "platform/plat_memory_internal.h"

#include <gtest/gtest.h>

TEST(PlatMemory, MapsZeroFilledPagesAndUnmaps)
{
    const size_t size = 3 * 4096 + 17;
    auto *block = static_cast<unsigned char *>(plat_virtual_alloc(size));
    ASSERT_NE(block, nullptr);
    for (size_t i = 0; i < size; i++)
        ASSERT_EQ(block[i], 0) << i;
    block[size - 1] = 0xff;
    EXPECT_EQ(plat_virtual_free(block, size), 0);
    EXPECT_EQ(plat_virtual_alloc(0), nullptr);
    EXPECT_EQ(plat_virtual_free(nullptr, 0), 0);
}
