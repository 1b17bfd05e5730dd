// Compression contexts: each call a whole stream, recovery after a failure,
// kinds kept apart, and the one-shot helpers.
#include "base/util/ve_zstream.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace
{

std::vector<unsigned char> text(size_t n)
{
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>("raster tiles "[i % 13]);
    return v;
}

struct Contexts : ::testing::Test {
    VE_ZSTREAM *def = nullptr;
    VE_ZSTREAM *inf = nullptr;
    void SetUp() override
    {
        ASSERT_EQ(VES_deflate_init(&def), 0);
        ASSERT_EQ(VES_inflate_init(&inf), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(VES_deflate_end(def), 0);
        EXPECT_EQ(VES_inflate_end(inf), 0);
    }
};

// Each call is a whole stream: two blocks through one context give two
// independent streams, each inflating on its own.
TEST_F(Contexts, ConsecutiveCallsAreIndependentStreams)
{
    std::vector<unsigned char> a = text(5000), b = text(300);
    std::vector<unsigned char> za(6000), zb(6000);
    int32_t la = 6000, lb = 6000;
    ASSERT_EQ(VES_deflate(def, za.data(), &la, a.data(), 5000), 0);
    ASSERT_EQ(VES_deflate(def, zb.data(), &lb, b.data(), 300), 0);
    EXPECT_LT(la, 5000);
    for (auto [z, l, want] : {std::tuple{&zb, lb, &b}, std::tuple{&za, la, &a}}) {
        std::vector<unsigned char> out(6000);
        int32_t n = 6000;
        ASSERT_EQ(VES_inflate(inf, out.data(), &n, z->data(), l), 0);
        out.resize(static_cast<size_t>(n));
        EXPECT_EQ(out, *want);
    }
}

// A failed call leaves the context ready for the next block.
TEST_F(Contexts, FailuresAndRecovery)
{
    std::vector<unsigned char> a = text(4000);
    std::vector<unsigned char> z(5000), out(5000);
    int32_t small = 8;
    EXPECT_EQ(VES_deflate(def, z.data(), &small, a.data(), 4000), ZE_FAILURE);
    EXPECT_EQ(small, 8);
    int32_t lz = 5000;
    ASSERT_EQ(VES_deflate(def, z.data(), &lz, a.data(), 4000), 0);

    int32_t n = 100;
    EXPECT_EQ(VES_inflate(inf, out.data(), &n, z.data(), lz), ZE_FAILURE); // output too small
    n = 5000;
    EXPECT_EQ(VES_inflate(inf, out.data(), &n, z.data(), lz - 3), ZE_FAILURE); // truncated
    std::vector<unsigned char> junk(40, 0x5A);
    n = 5000;
    EXPECT_EQ(VES_inflate(inf, out.data(), &n, junk.data(), 40), ZE_FAILURE);
    n = 5000;
    ASSERT_EQ(VES_inflate(inf, out.data(), &n, z.data(), lz), 0);
    EXPECT_EQ(n, 4000);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), out.begin()));
}

TEST_F(Contexts, KindsAreKeptApart)
{
    unsigned char in[4] = {1, 2, 3, 4}, out[64];
    int32_t n = 64;
    EXPECT_EQ(VES_deflate(inf, out, &n, in, 4), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_inflate(def, out, &n, in, 4), ZE_INVALID_ARGUMENT);
    // Ending with the wrong verb frees nothing: TearDown still ends both.
    EXPECT_EQ(VES_deflate_end(inf), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_inflate_end(def), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_deflate_end(nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_deflate(def, nullptr, &n, in, 4), ZE_NULL_POINTER);
}

TEST(ZStream, InitRejectsNullOutPointer)
{
    EXPECT_EQ(VES_deflate_init(nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_inflate_init(nullptr), ZE_NULL_POINTER);
}

TEST(ZStream, OneShotHelpers)
{
    std::vector<unsigned char> a = text(1000), z(1200), out(1000);
    int32_t lz = 1200;
    ASSERT_EQ(VES_compress(z.data(), &lz, a.data(), 1000), 0);
    int32_t n = 1000;
    ASSERT_EQ(VES_uncompress(out.data(), &n, z.data(), lz), 0);
    EXPECT_EQ(n, 1000);
    EXPECT_EQ(out, a);
    n = 999;
    EXPECT_EQ(VES_uncompress(out.data(), &n, z.data(), lz), ZE_FAILURE);
    lz = 4;
    EXPECT_EQ(VES_compress(z.data(), &lz, a.data(), 1000), ZE_FAILURE);
}

} // namespace
