// Tile bitmap: bit layout (most significant first), positions outside the
// grid, fills and copies against a grid of bools, the serialised form and
// blocks that disagree with it.
#include "base/util/ve_raster_bitmap_internal.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdlib.h>
#include <vector>

namespace
{

struct FreeBitmap {
    void operator()(VE_RASTER_BITMAP *b) const
    {
        ves_raster_bitmap_free(b, 1);
    }
};
using Bitmap = std::unique_ptr<VE_RASTER_BITMAP, FreeBitmap>;

Bitmap make(int32_t columns, int32_t rows, int32_t value)
{
    return Bitmap(ves_raster_bitmap_create(columns, rows, nullptr, 1, value));
}

// A grid of bools standing beside a bitmap as its reference.
using Grid = std::vector<std::vector<bool>>;

Grid grid_of(const VE_RASTER_BITMAP *b)
{
    Grid g(static_cast<size_t>(b->rows), std::vector<bool>(static_cast<size_t>(b->columns)));
    for (int32_t r = 0; r < b->rows; r++)
        for (int32_t c = 0; c < b->columns; c++)
            g[r][c] = ves_raster_bitmap_test(b, c, r) != 0;
    return g;
}

Bitmap random_bitmap(std::mt19937 &random, int32_t columns, int32_t rows)
{
    Bitmap b = make(columns, rows, 0);
    for (int32_t r = 0; r < rows; r++)
        for (int32_t c = 0; c < columns; c++)
            ves_raster_bitmap_set(b.get(), c, r, static_cast<int32_t>(random() & 1));
    return b;
}

TEST(RasterBitmap, LaysOutBitsMostSignificantFirst)
{
    Bitmap b = make(3, 3, 0);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->bit_count, 9);
    EXPECT_EQ(b->data_length, 2);
    EXPECT_EQ(VES_raster_bitmap_get_serialized_length(3, 3), 22);
    ASSERT_EQ(ves_raster_bitmap_set(b.get(), 1, 1, 1), 0);
    EXPECT_EQ(b->data[0], 0x08);
    ASSERT_EQ(ves_raster_bitmap_set(b.get(), 2, 2, 1), 0);
    EXPECT_EQ(b->data[1], 0x80);
    EXPECT_EQ(ves_raster_bitmap_test(b.get(), 1, 1), 1);
    EXPECT_EQ(ves_raster_bitmap_test(b.get(), 0, 1), 0);
}

TEST(RasterBitmap, RefusesPositionsOutsideTheGrid)
{
    Bitmap b = make(5, 4, 1);
    struct {
        int32_t column, row;
    } outside[] = {{-1, 0}, {0, -1}, {5, 0}, {0, 4}, {-6, 1}, {INT32_MAX, INT32_MAX}};
    for (const auto &p : outside) {
        EXPECT_EQ(ves_raster_bitmap_set(b.get(), p.column, p.row, 0), ZE_INVALID_ARGUMENT)
            << p.column << "," << p.row;
        EXPECT_EQ(ves_raster_bitmap_test(b.get(), p.column, p.row), 0);
    }
    EXPECT_EQ(ves_raster_bitmap_is_full(b.get()), 1) << "nothing was changed";
    EXPECT_EQ(ves_raster_bitmap_set(nullptr, 0, 0, 1), ZE_NULL_POINTER);
    EXPECT_EQ(ves_raster_bitmap_test(nullptr, 0, 0), 0);

    const VE_RASTER_BITMAP_WINDOW windows[] = {
        {-1, 0, 2, 2}, {0, 0, 5, 1}, {0, 0, 1, 4}, {3, 0, 2, 1}, {0, 2, 1, 1},
    };
    for (const auto &w : windows)
        EXPECT_EQ(ves_raster_bitmap_fill_window(b.get(), &w, 0), ZE_INVALID_ARGUMENT)
            << w.min_column << " " << w.min_row << " " << w.max_column << " " << w.max_row;
    EXPECT_EQ(ves_raster_bitmap_is_full(b.get()), 1);

    EXPECT_EQ(ves_raster_bitmap_create(-1, 3, nullptr, 1, 0), nullptr);
    EXPECT_EQ(ves_raster_bitmap_create(65536, 65536, nullptr, 1, 0), nullptr);
    EXPECT_EQ(VES_raster_bitmap_get_serialized_length(0, 3), 0);
    EXPECT_EQ(VES_raster_bitmap_get_serialized_length(65536, 65536), 0);
}

TEST(RasterBitmap, FillWindowAgreesWithABitByBitReference)
{
    std::mt19937 random(11);
    for (int32_t columns : {1, 7, 8, 9, 16, 23, 40}) {
        for (int trial = 0; trial < 20; trial++) {
            int32_t rows = 1 + static_cast<int32_t>(random() % 5);
            Bitmap b = random_bitmap(random, columns, rows);
            Grid expected = grid_of(b.get());
            VE_RASTER_BITMAP_WINDOW w;
            w.min_column = static_cast<int32_t>(random() % columns);
            w.max_column = w.min_column + static_cast<int32_t>(random() % (columns - w.min_column));
            w.min_row = static_cast<int32_t>(random() % rows);
            w.max_row = w.min_row + static_cast<int32_t>(random() % (rows - w.min_row));
            bool value = trial % 2 == 0;
            for (int32_t r = w.min_row; r <= w.max_row; r++)
                for (int32_t c = w.min_column; c <= w.max_column; c++)
                    expected[r][c] = value;
            ASSERT_EQ(ves_raster_bitmap_fill_window(b.get(), &w, value), 0);
            ASSERT_EQ(grid_of(b.get()), expected) << columns << " trial " << trial;
        }
    }
}

TEST(RasterBitmap, CopyInAgreesWithABitByBitReference)
{
    std::mt19937 random(5);
    for (int trial = 0; trial < 600; trial++) {
        // Rows of a few bits and rows of several words.
        uint32_t most = trial % 2 == 0 ? 40 : 300;
        int32_t tc = 1 + static_cast<int32_t>(random() % most),
                tr = 1 + static_cast<int32_t>(random() % 6);
        int32_t sc = 1 + static_cast<int32_t>(random() % most),
                sr = 1 + static_cast<int32_t>(random() % 6);
        Bitmap target = random_bitmap(random, tc, tr);
        Bitmap source = random_bitmap(random, sc, sr);
        int32_t co =
            static_cast<int32_t>(random() % (2 * most + 10)) - static_cast<int32_t>(most + 5);
        int32_t ro = static_cast<int32_t>(random() % 14) - 7;
        if (trial % 3 == 0)
            co = (co / 8) * 8; // byte-aligned copies too
        Grid expected = grid_of(target.get());
        Grid from = grid_of(source.get());
        for (int32_t r = 0; r < sr; r++)
            for (int32_t c = 0; c < sc; c++)
                if (r + ro >= 0 && r + ro < tr && c + co >= 0 && c + co < tc)
                    expected[r + ro][c + co] = from[r][c];
        ASSERT_EQ(ves_raster_bitmap_copy_in(target.get(), source.get(), co, ro), 0);
        ASSERT_EQ(grid_of(target.get()), expected) << "trial " << trial;
    }
    EXPECT_EQ(ves_raster_bitmap_copy_in(nullptr, nullptr, 0, 0), ZE_NULL_POINTER);
}

TEST(RasterBitmap, FullAndEmptyIgnoreBitsPastTheCount)
{
    Bitmap b = make(3, 3, 0);
    b->data[1] = 0x7F; // only the top bit of the last byte is a position
    EXPECT_EQ(VES_raster_bitmap_is_empty(b.get()), 1);
    EXPECT_EQ(ves_raster_bitmap_is_full(b.get()), 0);
    VES_raster_bitmap_reset(b.get(), 1);
    b->data[1] = 0x80;
    EXPECT_EQ(ves_raster_bitmap_is_full(b.get()), 1);
    EXPECT_EQ(VES_raster_bitmap_is_empty(b.get()), 0);
    b->data[1] = 0x00;
    EXPECT_EQ(ves_raster_bitmap_is_full(b.get()), 0);
    EXPECT_EQ(VES_raster_bitmap_is_empty(nullptr), 0);
}

TEST(RasterBitmap, UsesACallersBuffer)
{
    unsigned char buffer[4] = {0x12, 0x34, 0x56, 0x78};
    VE_RASTER_BITMAP *b = ves_raster_bitmap_create(4, 4, buffer, 0, 1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->data, buffer);
    EXPECT_EQ(buffer[0], 0x12) << "no fill asked";
    ves_raster_bitmap_free(b, 0);
    b = ves_raster_bitmap_create(4, 4, buffer, 1, 1);
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(buffer[1], 0xFF);
    EXPECT_EQ(buffer[2], 0x56) << "only the data length is filled";
    unsigned char other[2] = {0, 0};
    EXPECT_EQ(ves_raster_bitmap_set_buffer(b, other, 1), -1);
    EXPECT_EQ(ves_raster_bitmap_set_buffer(b, nullptr, 2), -1);
    EXPECT_EQ(ves_raster_bitmap_set_buffer(b, other, 2), 0);
    EXPECT_EQ(b->data, other);
    ves_raster_bitmap_free(b, 0);
    ves_raster_bitmap_free(nullptr, 1);
}

TEST(RasterBitmap, SerialisesByteForByte)
{
    Bitmap b = make(3, 3, 0);
    ves_raster_bitmap_set(b.get(), 1, 1, 1);
    ves_raster_bitmap_set(b.get(), 2, 2, 1);
    unsigned char *block = nullptr;
    int32_t length = -1;
    ASSERT_EQ(VES_raster_bitmap_serialize(b.get(), &block, &length), 0);
    std::unique_ptr<unsigned char, void (*)(void *)> owned(block, free);
    const unsigned char expected[] = {9, 0, 0, 0, 2, 0, 0, 0, 3, 0,    0,
                                      0, 3, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x80};
    ASSERT_EQ(length, 22);
    EXPECT_EQ(std::vector<unsigned char>(block, block + length),
              std::vector<unsigned char>(expected, expected + sizeof expected));

    Bitmap back(VES_raster_bitmap_deserialize(block, length, 3, 3));
    ASSERT_TRUE(back);
    EXPECT_EQ(grid_of(back.get()), grid_of(b.get()));
    EXPECT_NE(back->data, block + 20) << "its own copy";

    // Wide grid: header words above one byte are little-endian.
    Bitmap wide = make(300, 2, 1);
    unsigned char *wide_block = nullptr;
    ASSERT_EQ(VES_raster_bitmap_serialize(wide.get(), &wide_block, &length), 0);
    std::unique_ptr<unsigned char, void (*)(void *)> wide_owned(wide_block, free);
    const unsigned char wide_header[] = {0x58, 0x02, 0, 0, 75, 0, 0, 0,
                                         0x2C, 0x01, 0, 0, 2,  0, 0, 0};
    EXPECT_EQ(std::vector<unsigned char>(wide_block, wide_block + 16),
              std::vector<unsigned char>(wide_header, wide_header + 16));
    EXPECT_EQ(length, 95);

    EXPECT_EQ(VES_raster_bitmap_serialize(b.get(), nullptr, &length), ZE_NULL_POINTER);
    block = reinterpret_cast<unsigned char *>(1);
    EXPECT_EQ(VES_raster_bitmap_serialize(b.get(), &block, nullptr), ZE_NULL_POINTER);
    length = 7;
    EXPECT_EQ(VES_raster_bitmap_serialize(nullptr, &block, &length), ZE_NULL_POINTER);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0);
}

TEST(RasterBitmap, DeserialiseRefusesBlocksThatDisagree)
{
    const unsigned char good[] = {9, 0, 0, 0, 2, 0,    0,    0,    3,    0,    0,
                                  0, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD, 0x08, 0x80};
    Bitmap ok(VES_raster_bitmap_deserialize(good, sizeof good, 3, 3));
    ASSERT_TRUE(ok) << "the reserved word is not read";
    struct {
        const char *name;
        size_t offset;
        unsigned char value;
        int32_t length_change, columns, rows;
    } cases[] = {
        {"wrong rows", 0, 9, 0, 3, 4},
        {"wrong columns", 0, 9, 0, 2, 3},
        {"one byte short", 0, 9, -1, 3, 3},
        {"one byte long", 0, 9, +1, 3, 3},
        {"bit count too large", 0, 200, 0, 3, 3},
        {"bit count too small", 0, 1, 0, 3, 3},
        {"bit count huge", 3, 0x80, 0, 3, 3},
        {"data length mismatch", 4, 1, 0, 3, 3},
        {"data length huge", 7, 0xFF, 0, 3, 3},
        {"negative columns", 11, 0xFF, 0, 3, 3},
    };
    for (const auto &c : cases) {
        std::vector<unsigned char> block(good, good + sizeof good);
        block.resize(block.size() + 1, 0);
        block[c.offset] = c.value;
        int32_t length = static_cast<int32_t>(sizeof good) + c.length_change;
        EXPECT_EQ(VES_raster_bitmap_deserialize(block.data(), length, c.columns, c.rows), nullptr)
            << c.name;
    }
    EXPECT_EQ(VES_raster_bitmap_deserialize(good, 19, 0, 0), nullptr);
    EXPECT_EQ(VES_raster_bitmap_deserialize(nullptr, 22, 3, 3), nullptr);
    EXPECT_EQ(VES_raster_bitmap_deserialize(good, -5, 3, 3), nullptr);
}

} // namespace
