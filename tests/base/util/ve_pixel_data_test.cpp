// Stored form of pixel blocks: byte order of multi-byte pixels, the deflated
// round trip and blocks that would not fit their buffer.
#include "base/util/ve_pixel_data.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using Bytes = std::vector<unsigned char>;

uint32_t format(uint32_t depth, uint32_t compression)
{
    return depth * 8 << 16 | compression << 10;
}

// Host-order 16-bit pixels 0x0102, 0x0304 (this suite runs on a
// little-endian host) and their stored order.
TEST(PixelData, UncompressedConversions)
{
    struct Case {
        const char *what;
        uint32_t depth;
        int32_t pixel_bytes;
        Bytes memory;
        Bytes stored;
    } cases[] = {
        {"16-bit", 16, 4, {2, 1, 4, 3}, {1, 2, 3, 4}},
        {"32-bit with trailing bytes", 32, 4, {4, 3, 2, 1, 9, 8}, {1, 2, 3, 4, 9, 8}},
        {"64-bit", 64, 8, {8, 7, 6, 5, 4, 3, 2, 1}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"8-bit unchanged", 8, 3, {1, 2, 3}, {1, 2, 3}},
        {"1-bit unchanged", 1, 2, {0x80, 0x01}, {0x80, 0x01}},
        {"4-bit unchanged", 4, 2, {0x12, 0x34}, {0x12, 0x34}},
        {"16-bit, 5 pixels and 4 more bytes",
         16,
         10,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
         {2, 1, 4, 3, 6, 5, 8, 7, 10, 9, 11, 12, 13, 14}},
    };
    for (const Case &c : cases) {
        Bytes block = c.memory;
        auto length = static_cast<int32_t>(block.size());
        ASSERT_EQ(VES_pixel_data_encode(block.data(), &length, c.pixel_bytes, format(c.depth, 0),
                                        nullptr, 0, nullptr),
                  0)
            << c.what;
        EXPECT_EQ(block, c.stored) << c.what;
        Bytes out(block.size() + 3, 0xEE);
        ASSERT_EQ(VES_pixel_data_decode(block.data(), &length, out.data(),
                                        static_cast<int32_t>(block.size()), c.pixel_bytes,
                                        format(c.depth, 0), nullptr, 0, nullptr),
                  0)
            << c.what;
        EXPECT_EQ(Bytes(out.begin(), out.begin() + length), c.memory) << c.what;
        EXPECT_EQ(out.back(), 0xEE) << c.what;
    }
}

// Blocks longer than the converters' sixteen-byte steps: every pixel's bytes
// reversed, whether it falls in a step or in what follows the last one, and
// the bytes after the pixels kept.
TEST(PixelData, LongBlocksReverseEveryPixel)
{
    for (uint32_t depth : {16u, 32u, 64u}) {
        const size_t size = depth / 8;
        for (size_t pixels : {size_t{8}, size_t{9}, size_t{17}, size_t{33}}) {
            SCOPED_TRACE(std::to_string(depth) + "-bit, " + std::to_string(pixels) + " pixels");
            Bytes memory, stored;
            for (size_t p = 0; p < pixels; p++) {
                for (size_t b = 0; b < size; b++) {
                    memory.push_back(static_cast<uint8_t>(p * 16 + b));
                    stored.push_back(static_cast<uint8_t>(p * 16 + (size - 1 - b)));
                }
            }
            for (uint8_t tail : {0xA1, 0xA2, 0xA3}) {
                memory.push_back(tail);
                stored.push_back(tail);
            }
            const auto pixel_bytes = static_cast<int32_t>(pixels * size);
            Bytes block = memory;
            auto length = static_cast<int32_t>(block.size());
            ASSERT_EQ(VES_pixel_data_encode(block.data(), &length, pixel_bytes, format(depth, 0),
                                            nullptr, 0, nullptr),
                      0);
            EXPECT_EQ(block, stored);
            Bytes out(block.size(), 0xEE);
            ASSERT_EQ(VES_pixel_data_decode(block.data(), &length, out.data(),
                                            static_cast<int32_t>(out.size()), pixel_bytes,
                                            format(depth, 0), nullptr, 0, nullptr),
                      0);
            EXPECT_EQ(out, memory);
        }
    }
}

TEST(PixelData, DeflatedRoundTrip)
{
    VE_ZSTREAM *def = nullptr, *inf = nullptr;
    ASSERT_EQ(VES_deflate_init(&def), 0);
    ASSERT_EQ(VES_inflate_init(&inf), 0);
    for (uint32_t depth : {8u, 16u, 32u, 64u}) {
        Bytes memory(4000);
        for (size_t i = 0; i < memory.size(); ++i)
            memory[i] = static_cast<unsigned char>(i % 7);
        Bytes block = memory, work(5000);
        int32_t length = 4000;
        ASSERT_EQ(VES_pixel_data_encode(block.data(), &length, 3992, format(depth, 1), work.data(),
                                        5000, def),
                  0);
        ASSERT_LT(length, 4000);
        Bytes out(4000);
        ASSERT_EQ(VES_pixel_data_decode(block.data(), &length, out.data(), 4000, 3992,
                                        format(depth, 1), work.data(), 5000, inf),
                  0);
        EXPECT_EQ(length, 4000);
        EXPECT_EQ(out, memory) << depth;
    }
    VES_deflate_end(def);
    VES_inflate_end(inf);
}

TEST(PixelData, DeflatedBlockMustFitTheOutputAndTheWorkBuffer)
{
    VE_ZSTREAM *def = nullptr, *inf = nullptr;
    ASSERT_EQ(VES_deflate_init(&def), 0);
    ASSERT_EQ(VES_inflate_init(&inf), 0);
    Bytes memory(1000);
    for (size_t i = 0; i < memory.size(); ++i)
        memory[i] = static_cast<unsigned char>(i * 7 % 11);
    Bytes stored = memory, work(2000);
    int32_t stored_length = 1000;
    ASSERT_EQ(VES_pixel_data_encode(stored.data(), &stored_length, 1000, format(32, 1), work.data(),
                                    2000, def),
              0);
    struct {
        int32_t output, work;
        int32_t rc;
    } cases[] = {{1000, 1000, 0}, {999, 2000, ZE_FAILURE}, {2000, 999, ZE_FAILURE}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "output " << c.output << " work " << c.work);
        Bytes out(static_cast<size_t>(c.output)), scratch(static_cast<size_t>(c.work));
        int32_t length = stored_length;
        EXPECT_EQ(VES_pixel_data_decode(stored.data(), &length, out.data(), c.output, 1000,
                                        format(32, 1), scratch.data(), c.work, inf),
                  c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(out, memory);
        }
    }
    // Decoded over its own stored bytes: through the work buffer.
    Bytes in_place = stored;
    in_place.resize(1000);
    int32_t length = stored_length;
    Bytes scratch(1000);
    ASSERT_EQ(VES_pixel_data_decode(in_place.data(), &length, in_place.data(), 1000, 1000,
                                    format(32, 1), scratch.data(), 1000, inf),
              0);
    EXPECT_EQ(in_place, memory);
    VES_deflate_end(def);
    VES_inflate_end(inf);
}

TEST(PixelData, RefusesWhatWouldNotFit)
{
    VE_ZSTREAM *def = nullptr, *inf = nullptr;
    ASSERT_EQ(VES_deflate_init(&def), 0);
    ASSERT_EQ(VES_inflate_init(&inf), 0);
    Bytes block = {1, 2, 3}, work(64), out(64);
    int32_t length = 3;
    EXPECT_EQ(VES_pixel_data_encode(block.data(), &length, 3, format(16, 0), nullptr, 0, nullptr),
              ZE_FAILURE); // odd pixel bytes
    EXPECT_EQ(VES_pixel_data_decode(block.data(), &length, out.data(), 64, 3, format(16, 0),
                                    nullptr, 0, nullptr),
              ZE_FAILURE);
    EXPECT_EQ(VES_pixel_data_encode(block.data(), &length, 4, format(16, 0), nullptr, 0, nullptr),
              ZE_FAILURE); // more pixel bytes than bytes
    EXPECT_EQ(VES_pixel_data_decode(block.data(), &length, out.data(), 2, 2, format(16, 0), nullptr,
                                    0, nullptr),
              ZE_FAILURE); // output too small
    EXPECT_EQ(VES_pixel_data_decode(block.data(), &length, out.data(), 2, 0, format(8, 0), nullptr,
                                    0, nullptr),
              ZE_FAILURE);
    EXPECT_EQ(VES_pixel_data_decode(block.data(), &length, out.data(), 64, 2, format(16, 2),
                                    nullptr, 0, nullptr),
              ZE_FAILURE); // unknown compression
    // Three bytes deflate to more than three: the block cannot take them back.
    Bytes before = {1, 2, 3, 4};
    block = before;
    length = 4;
    EXPECT_EQ(VES_pixel_data_encode(block.data(), &length, 4, format(16, 1), work.data(), 64, def),
              ZE_FAILURE);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(block, (Bytes{2, 1, 4, 3})); // left in stored order
    // Corrupt compressed data.
    length = 4;
    EXPECT_EQ(VES_pixel_data_decode(before.data(), &length, out.data(), 64, 4, format(16, 1),
                                    work.data(), 64, inf),
              ZE_FAILURE);
    EXPECT_EQ(VES_pixel_data_decode(before.data(), &length, out.data(), 64, 4, format(8, 1),
                                    work.data(), 64, inf),
              ZE_FAILURE);
    VES_deflate_end(def);
    VES_inflate_end(inf);
}

} // namespace
