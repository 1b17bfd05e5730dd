// Growable bit set: set, test, ranges, resize and the scan for the next bit of
// a value, checked against a bit-by-bit reference.
#include "base/util/ve_bitmap.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace
{

using Bitmap = std::unique_ptr<VE_BITMAP, void (*)(VE_BITMAP *)>;

Bitmap make(int32_t bits, int32_t all_set)
{
    return Bitmap(VES_Bitmap_Create(bits, all_set), VES_Bitmap_Destroy);
}

// The first bit at or after from with the value, by looking at every bit.
int32_t reference_scan(const std::vector<bool> &bits, int32_t from, bool value)
{
    if (from < 0 || from >= static_cast<int32_t>(bits.size()))
        return -1;
    for (size_t i = static_cast<size_t>(from); i < bits.size(); i++)
        if (bits[i] == value)
            return static_cast<int32_t>(i);
    return -1;
}

TEST(Bitmap, CreateSetTestAndRange)
{
    Bitmap b = make(33, 1);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->word_count, 2);
    EXPECT_EQ(VES_Bitmap_MaxBits(b.get()), 33);
    EXPECT_EQ(VES_Bitmap_Scan(b.get(), 0, 0), -1) << "every valid bit is set";
    EXPECT_EQ(VES_Bitmap_Set(b.get(), 32, 0), 0);
    EXPECT_EQ(VES_Bitmap_Scan(b.get(), 0, 0), 32);
    EXPECT_EQ(VES_Bitmap_Test(b.get(), 31), static_cast<int32_t>(0x80000000u));
    EXPECT_EQ(VES_Bitmap_Test(b.get(), 32), 0);
    struct {
        int32_t bit;
        int32_t set_result;
    } range[] = {{-1, -1}, {33, -1}, {0, 0}, {32, 0}};
    for (const auto &c : range) {
        EXPECT_EQ(VES_Bitmap_Set(b.get(), c.bit, 1), c.set_result) << c.bit;
        EXPECT_EQ(VES_Bitmap_Test(b.get(), c.bit) != 0, c.set_result == 0) << c.bit;
    }
    VES_Bitmap_Clear(b.get(), 0);
    EXPECT_EQ(VES_Bitmap_Scan(b.get(), 0, 1), -1);
    EXPECT_EQ(VES_Bitmap_Create(0, 1), nullptr);
    EXPECT_EQ(VES_Bitmap_Create(-5, 0), nullptr);
}

TEST(Bitmap, ScanFindsTheNextBitOfTheValue)
{
    Bitmap b = make(100, 0);
    VES_Bitmap_Set(b.get(), 3, 1);
    VES_Bitmap_Set(b.get(), 40, 1);
    struct {
        int32_t from, value, expected;
    } cases[] = {
        {5, 1, 40}, {0, 1, 3},   {3, 1, 3},    {41, 1, -1}, {0, 0, 0},
        {3, 0, 4},  {-1, 1, -1}, {100, 0, -1}, {99, 0, 99},
    };
    for (const auto &c : cases)
        EXPECT_EQ(VES_Bitmap_Scan(b.get(), c.from, c.value), c.expected)
            << c.from << " " << c.value;
}

TEST(Bitmap, ScanAgreesWithABitByBitReference)
{
    std::mt19937 random(7);
    for (int32_t count : {1, 31, 32, 33, 64, 95, 200}) {
        for (int density : {0, 3, 50, 97, 100}) {
            Bitmap b = make(count, 0);
            std::vector<bool> bits(static_cast<size_t>(count));
            for (int32_t i = 0; i < count; i++) {
                bits[i] = static_cast<int>(random() % 100) < density;
                VES_Bitmap_Set(b.get(), i, bits[i]);
            }
            for (int32_t from = -1; from <= count; from++)
                for (int value : {0, 1})
                    ASSERT_EQ(VES_Bitmap_Scan(b.get(), from, value),
                              reference_scan(bits, from, value != 0))
                        << count << " " << density << " " << from << " " << value;
        }
    }
}

TEST(Bitmap, ResizeKeepsBitsAndFillsNewOnes)
{
    struct {
        int32_t from_count;
        int32_t all_set;
        int32_t to_count;
        int32_t fill;
    } cases[] = {
        {10, 1, 40, 0}, {10, 0, 40, 1}, {30, 1, 31, 0}, {30, 0, 31, 1},
        {64, 1, 65, 0}, {70, 1, 20, 0}, {20, 0, 20, 1}, {1, 1, 200, 0},
    };
    for (const auto &c : cases) {
        Bitmap b = make(c.from_count, c.all_set);
        ASSERT_EQ(VES_Bitmap_ReSize(b.get(), c.to_count, c.fill), 0);
        EXPECT_EQ(VES_Bitmap_MaxBits(b.get()), c.to_count);
        EXPECT_EQ(b->word_count, (c.to_count + 31) / 32);
        for (int32_t i = 0; i < c.to_count; i++) {
            bool expected = i < c.from_count ? c.all_set != 0 : c.fill != 0;
            ASSERT_EQ(VES_Bitmap_Test(b.get(), i) != 0, expected)
                << c.from_count << "->" << c.to_count << " bit " << i;
        }
    }
    // Shrinking and growing back: the bits in between take the new fill.
    Bitmap b = make(40, 1);
    ASSERT_EQ(VES_Bitmap_ReSize(b.get(), 5, 1), 0);
    ASSERT_EQ(VES_Bitmap_ReSize(b.get(), 40, 0), 0);
    EXPECT_EQ(VES_Bitmap_Scan(b.get(), 0, 0), 5);
    EXPECT_EQ(VES_Bitmap_Scan(b.get(), 5, 1), -1);

    EXPECT_EQ(VES_Bitmap_ReSize(b.get(), -1, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_Bitmap_ReSize(nullptr, 5, 0), ZE_NULL_POINTER);
    EXPECT_EQ(VES_Bitmap_ReSize(b.release(), 0, 0), 0) << "size 0 destroys the set";
}

} // namespace
