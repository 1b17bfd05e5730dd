// Tests a band's tile grid (offsets and first tile, negative left of and above
// the origin, one-pixel bands, refused block sizes and positions beyond 32
// bits), the tile size and batch, the pyramid hidden and shown 200 tiles per
// commit from its first stored level, and tiles deleted in 1 MiB batches:
// every level, the pyramid only, and a window in each of its four modes.
#include "db/catalog/db_rasterband_tiles_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace raster_test;
using catalog_test::all_params_of;
using RasterTiles = RasterFixture;
using Params = std::vector<Strings>;

namespace
{

const std::string kHide = "UPDATE " + kBlocks +
                          " SET    rasterband_id = -rasterband_id WHERE  rasterband_id  = ?       "
                          "AND rrd_factor = ?       AND row_nbr    = ?";

std::string delete_sql(int32_t id)
{
    return "DELETE FROM " + kBlocks + " WHERE  rasterband_id = " + std::to_string(id) +
           "        AND rrd_factor = ?        AND row_nbr = ? AND col_nbr <= ?";
}

} // namespace

TEST(RasterTileGrid, FirstPixelOffsetsAndTile)
{
    // 101 x 51 pixels over an extent of 100 x 50 units: one unit a pixel.
    auto make = [](double origin_x, double origin_y) {
        RASTERBAND b{};
        b.band_width = 101;
        b.band_height = 51;
        b.block_width = 8;
        b.block_height = 4;
        b.extent = {10, 45, 110, 95};
        b.block_origin_x = origin_x;
        b.block_origin_y = origin_y;
        return b;
    };
    RASTERBAND inverted = make(0, 100);
    inverted.extent = {110, 45, 10, 95};
    RASTERBAND one_pixel = make(0, 100);
    one_pixel.band_width = 1;
    one_pixel.band_height = 1;
    RASTERBAND far = make(-1e12, 100);
    RASTERBAND no_block = make(0, 100);
    no_block.block_height = 0;
    RASTERBAND negative_block = make(0, 100);
    negative_block.block_width = -8;
    const struct {
        const char *what;
        RASTERBAND band;
        int32_t rc, x, y, column, row;
    } cases[] = {
        {"right of and below the origin", make(0, 100), 0, 2, 1, 1, 1},
        {"first pixel on the origin", make(10, 95), 0, 0, 0, 0, 0},
        {"left of and above the origin", make(20, 90), 0, 6, 3, -2, -2},
        // Several band widths (101 pixels) and heights (51) away: 350 and 163
        // pixels from the origin.
        {"band widths right of and below", make(-340, 258), 0, 6, 3, 43, 40},
        {"band widths left of and above", make(360, -68), 0, 2, 1, -44, -41},
        {"inverted extent", inverted, 0, 0, 0, 0, 0},
        {"one pixel wide and high", one_pixel, 0, 0, 0, 0, 0},
        {"beyond 32 bits", far, ZE_INVALID_ARGUMENT, 0, 0, 0, 0},
        {"block height 0", no_block, ZE_INVALID_ARGUMENT, 0, 0, 0, 0},
        {"negative block width", negative_block, ZE_INVALID_ARGUMENT, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        int32_t x = 9, y = 9, column = 9, row = 9;
        EXPECT_EQ(db_rasterband_tile_range(&c.band, &x, &y, &column, &row), c.rc);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(column, c.column);
        EXPECT_EQ(row, c.row);
    }
}

TEST(RasterTileGrid, TileSizeAndBatch)
{
    RASTERBAND b = band(); // 256 x 256 x 8 bits: 65536 + 8192 bytes
    EXPECT_EQ(db_rasterband_tile_size(&b), 73728);
    EXPECT_EQ(db_rasterband_tiles_per_commit(&b), 14);
    b.block_width = b.block_height = 1024; // 16 bits: 2 MiB a tile, one per commit
    b.band_types = 128u << 16;
    EXPECT_EQ(db_rasterband_tile_size(&b), 2097152 + 131072);
    EXPECT_EQ(db_rasterband_tiles_per_commit(&b), 1);
    b.block_width = b.block_height = 65536; // the product needs 64 bits
    b.band_types = 256u << 16;
    EXPECT_EQ(db_rasterband_tile_size(&b), 4294967296LL * 4 + 536870912LL);
    EXPECT_EQ(db_rasterband_tiles_per_commit(&b), 1);
}

TEST_F(RasterTiles, NoPyramidRunsNothing)
{
    RASTERBAND b = band();
    EXPECT_EQ(DB_rasterband_save_pyramid(nullptr, &b), ZE_SUCCESS);
    b.band_flags = (1u << 16) | 16384; // level 1 only, and not stored
    EXPECT_EQ(DB_rasterband_restore_pyramid(nullptr, &b), ZE_SUCCESS);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(RasterTiles, PyramidIsHiddenAndShownTwoHundredTilesPerCommit)
{
    // 8192 x 4096 pixels in 128 x 128 tiles, levels 1 and 2: level 1 has 32
    // columns and 16 rows, level 2 16 columns and 8 rows.
    RASTERBAND b = band();
    b.band_width = 8192;
    b.band_height = 4096;
    b.block_width = b.block_height = 128;
    b.extent = {0, 0, 8191, 4095};
    b.block_origin_y = 4095;
    b.band_flags = 2u << 16;
    ASSERT_EQ(DB_rasterband_save_pyramid(nullptr, &b), ZE_SUCCESS);
    Params expected;
    Strings statements;
    int pending = 0;
    for (int level = 1; level <= 2; level++) {
        const int columns = level == 1 ? 32 : 16, rows = level == 1 ? 16 : 8;
        for (int row = 0; row < rows; row++) {
            expected.push_back({"7", std::to_string(level), std::to_string(row)});
            statements.push_back(kHide);
            pending += columns;
            if (pending >= 200) {
                statements.push_back("COMMIT");
                pending = 0;
            }
        }
    }
    statements.push_back("COMMIT");
    EXPECT_EQ(all_params_of(kHide), expected);
    EXPECT_EQ(Statements(), statements);
    // 7 rows of level 1 make 224 tiles: the first commit follows the 7th.
    EXPECT_EQ(Statements()[7], "COMMIT");

    // Restoring with level 1 not stored starts at level 2 with the negated id.
    MarkNow();
    b.band_flags |= 16384;
    ASSERT_EQ(DB_rasterband_restore_pyramid(nullptr, &b), ZE_SUCCESS);
    Params restored;
    for (int row = 0; row < 8; row++)
        restored.push_back({"-7", "2", std::to_string(row)});
    Params all = all_params_of(kHide);
    EXPECT_EQ(Params(all.end() - 8, all.end()), restored);
    EXPECT_EQ(Statements().size(), 8u + 1u);
}

TEST_F(RasterTiles, EveryTileOfEveryLevelIsDeletedInBatches)
{
    // 2048 x 512 pixels in 512 x 512 tiles of 288 KiB: 3 per commit. Level 0
    // has 4 x 1 tiles, level 1 2 x 1, level 2 1 x 1.
    RASTERBAND b = band();
    b.band_width = 2048;
    b.band_height = 512;
    b.block_width = b.block_height = 512;
    b.extent = {0, 0, 2047, 511};
    b.block_origin_y = 511;
    b.band_flags = 2u << 16;
    ASSERT_EQ(DB_rasterband_delete_pyramid(nullptr, &b, 1), ZE_SUCCESS);
    EXPECT_EQ(all_params_of(delete_sql(7)), (Params{{"1", "0", "3"}, {"2", "0", "3"}}));

    // Hidden pyramid tiles with level 1 not stored: level 2 only, negated id.
    MarkNow();
    b.band_flags |= 16384;
    ASSERT_EQ(DB_rasterband_delete_pyramid(nullptr, &b, 0), ZE_SUCCESS);
    EXPECT_EQ(all_params_of(delete_sql(-7)), (Params{{"2", "0", "3"}}));
    EXPECT_EQ(Statements(), (Strings{delete_sql(-7), "COMMIT"}));

    // Every level, level 1 skipped: 4 columns take two batches.
    MarkNow();
    ASSERT_EQ(db_rasterband_delete_all_tiles(&b), ZE_SUCCESS);
    EXPECT_EQ(Statements(),
              (Strings{delete_sql(7), "COMMIT", delete_sql(7), "COMMIT", delete_sql(7), "COMMIT"}));
    Params all = all_params_of(delete_sql(7));
    EXPECT_EQ(Params(all.end() - 3, all.end()),
              (Params{{"0", "0", "3"}, {"0", "0", "6"}, {"2", "0", "3"}}));
}

TEST_F(RasterTiles, LevelZeroStartsAtTheTileOfTheFirstPixel)
{
    // The first pixel 300 pixels left of and 10 above the origin: tiles from
    // column -2 and row -1; a 2 MiB tile goes one per commit.
    RASTERBAND b = band();
    b.block_origin_x = 300;
    b.block_origin_y = 589;
    b.band_types = 128u << 16;
    b.block_width = b.block_height = 1024;
    ASSERT_EQ(db_rasterband_delete_all_tiles(&b), ZE_SUCCESS);
    // x: -300 = -1 x 1024 + 724, so 1000 + 724 pixels need 2 columns from -1;
    // y: -10 = -1 x 1024 + 1014, so 600 + 1014 pixels need 2 rows from -1.
    EXPECT_EQ(all_params_of(delete_sql(7)),
              (Params{{"0", "-1", "0"}, {"0", "-1", "1"}, {"0", "0", "0"}, {"0", "0", "1"}}));
}

TEST_F(RasterTiles, WindowDeletesInEachMode)
{
    RASTERBAND b = band(); // 14 tiles per commit
    const int32_t window[4] = {2, 5, 40, 6};
    const std::string visible = "DELETE FROM " + kBlocks +
                                " WHERE  rasterband_id = 7        AND rrd_factor = 0        AND "
                                "row_nbr = ?        AND col_nbr >= 2        AND col_nbr <= ?";
    const std::string hidden = "DELETE FROM " + kBlocks +
                               " WHERE  rasterband_id = -7       AND rrd_factor = 0       AND "
                               "row_nbr = ?       AND col_nbr >= 2       AND col_nbr <= ?";
    const Params chunks = {{"5", "16"}, {"5", "30"}, {"5", "40"},
                           {"6", "16"}, {"6", "30"}, {"6", "40"}};
    ASSERT_EQ(DB_rasterband_delete_tiles(nullptr, &b, window, 0, 0), ZE_SUCCESS);
    EXPECT_EQ(all_params_of(visible), chunks);
    EXPECT_EQ(Statements().size(), 12u); // each chunk committed
    ASSERT_EQ(DB_rasterband_delete_tiles(nullptr, &b, window, 1, 1), ZE_SUCCESS);
    EXPECT_EQ(all_params_of(hidden), chunks);
    MarkNow();
    ASSERT_EQ(DB_rasterband_delete_tiles(nullptr, &b, window, 0, 1), ZE_SUCCESS);
    EXPECT_TRUE(Executed().empty());

    // A window of one column ends after one chunk; an empty one runs none.
    const int32_t one[4] = {2, 5, 2, 5};
    ASSERT_EQ(DB_rasterband_delete_tiles(nullptr, &b, one, 0, 0), ZE_SUCCESS);
    Params all = all_params_of(visible);
    EXPECT_EQ(all.back(), (Strings{"5", "2"}));
    const int32_t empty[4] = {3, 5, 2, 5};
    MarkNow();
    ASSERT_EQ(DB_rasterband_delete_tiles(nullptr, &b, empty, 0, 0), ZE_SUCCESS);
    EXPECT_EQ(Statements(), Strings{});
    EXPECT_EQ(DB_rasterband_delete_tiles(nullptr, &b, nullptr, 0, 0), ZE_NULL_POINTER);
}

TEST_F(RasterTiles, ReplacingAWindowShowsItsHiddenTiles)
{
    RASTERBAND b = band();
    b.band_types = 128u << 16;
    b.block_width = b.block_height = 512; // 512 KiB + 32 KiB: one tile per commit
    const int32_t window[4] = {1, 0, 2, 1};
    ASSERT_EQ(DB_rasterband_delete_tiles(nullptr, &b, window, 1, 0), ZE_SUCCESS);
    const std::string one = "DELETE FROM " + kBlocks +
                            " WHERE  rasterband_id = 7       AND rrd_factor = 0       AND row_nbr "
                            "= ?       AND col_nbr >= 1        AND col_nbr <= ?";
    const std::string show = "UPDATE " + kBlocks +
                             " SET    rasterband_id = 7 WHERE  rasterband_id = -7        AND "
                             "rrd_factor = 0        AND row_nbr >= 0 AND row_nbr <= 1        AND "
                             "col_nbr >= 1 AND col_nbr <= 2";
    EXPECT_EQ(all_params_of(one), (Params{{"0", "1"}, {"0", "2"}, {"1", "1"}, {"1", "2"}}));
    EXPECT_EQ(Statements(), (Strings{one, "COMMIT", one, "COMMIT", one, "COMMIT", one, "COMMIT",
                                     "COMMIT", show, "COMMIT"}));

    // A failure stops the deletion; what was committed stays, the failing
    // batch is rolled back.
    MarkNow();
    scli::fail_call("SQLExecute", scli::call_count("SQLExecute") + 3, SQL_ERROR,
                    {"HY000", -1, "broken"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rasterband_delete_tiles(nullptr, &b, window, 1, 0); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Statements(), (Strings{one, "COMMIT", one, "ROLLBACK"}));
}
