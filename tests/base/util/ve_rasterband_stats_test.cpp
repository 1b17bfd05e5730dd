// Band statistics: the big-endian layout, round trips of both distribution
// kinds, and blocks that lie about their size.
#include "base/util/ve_rasterband.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdlib.h>
#include <vector>

namespace
{

using Block = std::unique_ptr<unsigned char, decltype(&free)>;
using Stats = std::unique_ptr<VE_RASTERBAND_STATS, decltype(&VES_rasterband_stats_free)>;

struct Fixture {
    std::vector<double> bounds{1.5, 2.5};
    std::vector<int64_t> histogram{7, 0x0102030405060708LL, -1};
    VE_RASTERBAND_STATS stats{};
    explicit Fixture(int32_t type)
    {
        stats.minimum = 1.0;
        stats.maximum = 250.0;
        stats.mean = -0.5;
        stats.std_deviation = 3.25;
        stats.distribution_type = type;
        stats.bin_count = 3;
        stats.bin_bounds = bounds.data();
        stats.histogram = histogram.data();
    }
};

Block serialize(const VE_RASTERBAND_STATS &s, int32_t *length)
{
    unsigned char *block = nullptr;
    EXPECT_EQ(VES_rasterband_stats_serialize(&s, &block, length), 0);
    return Block(block, &free);
}

TEST(RasterbandStats, LayoutIsBigEndian)
{
    Fixture f(5);
    int32_t length = 0;
    Block b = serialize(f.stats, &length);
    ASSERT_EQ(length, 84);
    const unsigned char *p = b.get();
    EXPECT_EQ(VES_rasterband_get_serialized_length(p), 84);
    const unsigned char head[] = {0, 0, 0, 84, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(p, head, sizeof(head)));
    const unsigned char type_count[] = {0, 0, 0, 5, 0, 0, 0, 3, 0x3F, 0xF8};
    EXPECT_EQ(0, memcmp(p + 36, type_count, sizeof(type_count)));
    const unsigned char second_bin[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(0, memcmp(p + 44 + 16 + 8, second_bin, 8));
}

TEST(RasterbandStats, RoundTripBothDistributionKinds)
{
    for (int32_t type : {1, 5}) {
        Fixture f(type);
        int32_t length = 0;
        Block b = serialize(f.stats, &length);
        EXPECT_EQ(length, type == 5 ? 84 : 68);
        Stats s(VES_rasterband_stats_deserialize(b.get(), length), &VES_rasterband_stats_free);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->minimum, 1.0);
        EXPECT_EQ(s->maximum, 250.0);
        EXPECT_EQ(s->mean, -0.5);
        EXPECT_EQ(s->std_deviation, 3.25);
        EXPECT_EQ(s->distribution_type, type);
        ASSERT_EQ(s->bin_count, 3);
        EXPECT_EQ(std::vector<int64_t>(s->histogram, s->histogram + 3), f.histogram);
        if (type == 5)
            EXPECT_EQ(std::vector<double>(s->bin_bounds, s->bin_bounds + 2), f.bounds);
        else
            EXPECT_EQ(s->bin_bounds, nullptr);
    }
}

TEST(RasterbandStats, SerializeRefusesBadArguments)
{
    Fixture f(5);
    unsigned char *block = reinterpret_cast<unsigned char *>(1);
    int32_t length = 9;
    struct Case {
        const char *what;
        void (*spoil)(VE_RASTERBAND_STATS &);
        int32_t code;
    } cases[] = {
        {"no histogram", [](VE_RASTERBAND_STATS &s) { s.histogram = nullptr; }, ZE_NULL_POINTER},
        {"type 5 without bounds", [](VE_RASTERBAND_STATS &s) { s.bin_bounds = nullptr; },
         ZE_NULL_POINTER},
        {"negative bins", [](VE_RASTERBAND_STATS &s) { s.bin_count = -1; }, ZE_INVALID_ARGUMENT},
        {"type 5 without bins", [](VE_RASTERBAND_STATS &s) { s.bin_count = 0; },
         ZE_INVALID_ARGUMENT},
        {"too large", [](VE_RASTERBAND_STATS &s) { s.bin_count = INT32_MAX; }, ZE_INVALID_ARGUMENT},
    };
    for (const Case &c : cases) {
        VE_RASTERBAND_STATS s = f.stats;
        c.spoil(s);
        EXPECT_EQ(VES_rasterband_stats_serialize(&s, &block, &length), c.code) << c.what;
        EXPECT_EQ(block, nullptr) << c.what;
        EXPECT_EQ(length, 0) << c.what;
    }
    EXPECT_EQ(VES_rasterband_stats_serialize(nullptr, &block, &length), ZE_NULL_POINTER);
    EXPECT_EQ(VES_rasterband_stats_serialize(&f.stats, nullptr, &length), ZE_NULL_POINTER);
}

// Blocks that lie about their size are refused without reading past them.
TEST(RasterbandStats, DeserializeRefusesInconsistentBlocks)
{
    Fixture f(5);
    int32_t length = 0;
    Block b = serialize(f.stats, &length);
    std::vector<unsigned char> good(b.get(), b.get() + length);
    struct Case {
        const char *what;
        size_t offset;     // byte to change, or SIZE_MAX
        unsigned char set; // its new value
        int32_t given;     // the length handed over
    } cases[] = {
        {"one byte longer than its content", SIZE_MAX, 0, 85},
        {"shorter than stored", SIZE_MAX, 0, 83},
        {"header only", SIZE_MAX, 0, 43},
        {"bin count beyond the block", 43, 200, 84},
        {"negative bin count", 40, 0xFF, 84},
        {"other type carries no bounds", 39, 1, 84},
        {"stored length beyond given", 2, 1, 84},
    };
    for (const Case &c : cases) {
        std::vector<unsigned char> block = good;
        block.resize(static_cast<size_t>(c.given) > block.size() ? c.given : block.size());
        if (c.offset != SIZE_MAX)
            block[c.offset] = c.set;
        // Exactly the given bytes, so an overread is caught by the sanitizer.
        std::vector<unsigned char> exact(block.begin(), block.begin() + c.given);
        EXPECT_EQ(VES_rasterband_stats_deserialize(exact.data(), c.given), nullptr) << c.what;
    }
    EXPECT_EQ(VES_rasterband_stats_deserialize(nullptr, 84), nullptr);
    EXPECT_EQ(VES_rasterband_get_serialized_length(nullptr), 0);
    VES_rasterband_stats_free(nullptr);
}

} // namespace
