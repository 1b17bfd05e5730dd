// Tests the raster bands: the insert and update with their values in order
// and their duplicate codes, reads by id and in a scan, the largest id and the
// count, the tile mask stored, replaced, removed and read against the band's
// tile grid, serialised objects read in one fetch or two and refused when
// their stored length word lies, statistics stored, and a band deleted with
// its tiles and objects.
#include "db/catalog/db_rasterband_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_raster_bitmap_internal.h"
#include "base/util/ve_rasterband.h"
#include "base/util/zel_errors.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace raster_test;
using catalog_test::params_of;
using RasterBands = RasterFixture;

namespace
{

const std::string kInsert =
    "INSERT INTO " + kBands +
    "   (rasterband_id, sequence_nbr, raster_id, band_flags,   eminx, eminy, emaxx, emaxy,   "
    "cdate, mdate, name, band_width,   band_height, band_types, block_width, block_height,   "
    "block_origin_x, block_origin_y) VALUES   (?, ?, ?, ?,   ?, ?, ?, ?,   ?, ?, ?, ?,   ?, ?, "
    "?, ?,   ?, ?)";
const std::string kUpdate =
    "UPDATE " + kBands +
    " SET sequence_nbr = ?, raster_id = ?, band_flags = ?,    eminx = ?, eminy = ?, emaxx = ?, "
    "emaxy = ?,    mdate = ?, name = ?, band_width = ?, band_height = ?,    band_types = ?, "
    "block_width = ?, block_height = ?,    block_origin_x = ?, block_origin_y = ? WHERE "
    "rasterband_id = 7";
const std::string &kSelect = kBandScan;

scli::Row band_row(int32_t id, int32_t raster, bool null_name)
{
    return {
        scli::i32(id),      scli::i32(2),        scli::i32(raster),
        scli::i32(3 << 16), scli::f64(0.5),      scli::f64(1.5),
        scli::f64(100.5),   scli::f64(51.5),     scli::i32(1000),
        scli::i32(2000),    scli::i32(101),      scli::i32(51),
        scli::i32(64),      scli::i32(32),       scli::f64(0),
        scli::f64(60),      scli::i32(64 << 16), null_name ? scli::null() : scli::varchar("green")};
}

std::string object_sql(int type)
{
    return "SELECT object FROM " + kAux +
           " WHERE rasterband_id = 7 AND type = " + std::to_string(type);
}

std::string object_id_sql(int type)
{
    return "SELECT rasterband_id FROM " + kAux +
           " WHERE rasterband_id = 7 AND type = " + std::to_string(type);
}

void answer_object(int type, const std::string &bytes, int times = 1)
{
    scli::on_sql(object_sql(type))
        .columns({{"object", SQL_LONGVARBINARY}})
        .row({scli::binary(bytes)})
        .times(times);
}

// A serialised object of n bytes whose length word says word.
std::string object_of(size_t n, uint32_t word)
{
    std::string s(n, '\x5a');
    for (size_t i = 0; i < 4 && i < n; i++)
        s[i] = static_cast<char>(word >> (24 - 8 * i));
    return s;
}

} // namespace

TEST_F(RasterBands, InsertAndUpdateBindTheValuesInOrder)
{
    RASTERBAND b = band();
    b.band_flags = 0x80000000u | (2u << 16);
    ASSERT_EQ(DB_rasterband_def_insert(nullptr, &b), ZE_SUCCESS);
    Strings p = params_of(kInsert);
    ASSERT_EQ(p.size(), 18u);
    // cdate and mdate are both the time of the insert.
    EXPECT_EQ(p[8], p[9]);
    p[8] = p[9] = "now";
    EXPECT_EQ(p, (Strings{"7", "1", "5", std::to_string(static_cast<int32_t>(b.band_flags)), "0",
                          "0", "999", "599", "now", "now", "red", "1000", "600",
                          std::to_string(64 << 16), "256", "256", "0", "599"}));
    EXPECT_EQ(Statements(), (Strings{kInsert, "COMMIT"}));

    b.name[0] = '\0';
    MarkNow();
    ASSERT_EQ(DB_rasterband_def_update(nullptr, &b), ZE_SUCCESS);
    p = params_of(kUpdate);
    ASSERT_EQ(p.size(), 16u);
    EXPECT_EQ(p[8], "NULL"); // an empty name
    EXPECT_EQ(p[0], "1");
    EXPECT_EQ(p[15], "599");
    EXPECT_EQ(Statements(), (Strings{kUpdate, "COMMIT"}));

    const scli::Diag duplicate{"23000", -268, "unique constraint"};
    scli::on_sql(kInsert).fail(SQL_ERROR, duplicate);
    scli::on_sql(kUpdate).fail(SQL_ERROR, duplicate);
    EXPECT_EQ(DB_rasterband_def_insert(nullptr, &b), ZE_RASTERBAND_EXISTS);
    EXPECT_EQ(DB_rasterband_def_update(nullptr, &b), ZE_RASTERBAND_UPDATE_EXISTS);
    scli::on_sql(kInsert).fail(SQL_ERROR, {"HY000", -1, "broken"});
    EXPECT_EQ(DB_rasterband_def_insert(nullptr, &b), ZE_DBMS_ERROR);
}

TEST_F(RasterBands, ReadByIdAndScan)
{
    scli::on_sql(kSelect + " WHERE rasterband_id = 7")
        .columns(band_columns())
        .row(band_row(7, 5, false));
    RASTERBAND b{};
    b.statistics = reinterpret_cast<VE_RASTERBAND_STATS *>(&b); // forgotten, not freed
    ASSERT_EQ(DB_rasterband_get_info_by_id(nullptr, nullptr, 4, 7, &b), ZE_SUCCESS);
    EXPECT_EQ(b.rasterband_id, 7);
    EXPECT_EQ(b.sequence_nbr, 2);
    EXPECT_EQ(b.raster_id, 5);
    EXPECT_EQ(b.band_flags, 3u << 16);
    EXPECT_EQ(b.extent.minx, 0.5);
    EXPECT_EQ(b.extent.maxy, 51.5);
    EXPECT_EQ(b.cdate, 1000);
    EXPECT_EQ(b.mdate, 2000);
    EXPECT_EQ(b.band_width, 101);
    EXPECT_EQ(b.block_height, 32);
    EXPECT_EQ(b.block_origin_y, 60);
    EXPECT_EQ(b.band_types, 64u << 16);
    EXPECT_STREQ(b.name, "green");
    EXPECT_EQ(b.rastercolumn_id, 4);
    EXPECT_EQ(b.statistics, nullptr);

    // No row: -233, the raster column set all the same.
    scli::on_sql(kSelect + " WHERE rasterband_id = 8").columns(band_columns());
    RASTERBAND missing{};
    EXPECT_EQ(DB_rasterband_get_info_by_id(nullptr, nullptr, 4, 8, &missing),
              ZE_RASTERBAND_NOT_FOUND);
    EXPECT_EQ(missing.rastercolumn_id, 4);

    // The scan of one raster, then of every band.
    scli::on_sql(kSelect + " WHERE raster_id = 5 ORDER BY rasterband_id")
        .columns(band_columns())
        .rows({band_row(7, 5, true), band_row(9, 5, false)});
    RASTERBAND s{};
    ASSERT_EQ(DB_rasterband_first(nullptr, 4, 5, &s), ZE_SUCCESS);
    EXPECT_EQ(s.rasterband_id, 7);
    EXPECT_STREQ(s.name, ""); // NULL name
    ASSERT_EQ(DB_rasterband_next(nullptr, 4, &s), ZE_SUCCESS);
    EXPECT_EQ(s.rasterband_id, 9);
    EXPECT_EQ(DB_rasterband_next(nullptr, 4, &s), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_rasterband_next(nullptr, 4, &s), ZE_NO_MORE_ROWS);
    scli::on_sql(kSelect + " ORDER BY rasterband_id").columns(band_columns());
    EXPECT_EQ(DB_rasterband_first(nullptr, 4, 0, &s), ZE_NO_MORE_ROWS);
}

TEST_F(RasterBands, MaxIdAndCount)
{
    scli::on_sql("SELECT MAX(rasterband_id) FROM " + kBands)
        .columns({{"max", SQL_INTEGER}})
        .row({scli::null()});
    uint32_t max_id = 99;
    ASSERT_EQ(DB_rasterband_get_max_id(nullptr, 4, &max_id), ZE_SUCCESS);
    EXPECT_EQ(max_id, 0u);

    const struct {
        int32_t raster_id;
        std::string sql;
    } counts[] = {{5, "SELECT count(rasterband_id) FROM " + kBands + " WHERE raster_id = 5"},
                  {0, "SELECT count(rasterband_id) FROM " + kBands},
                  {-3, "SELECT count(rasterband_id) FROM " + kBands}};
    for (const auto &c : counts) {
        scli::on_sql(c.sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(3)});
        int32_t count = -1;
        ASSERT_EQ(DB_rasterband_get_count(nullptr, 4, c.raster_id, &count), ZE_SUCCESS);
        EXPECT_EQ(count, 3);
    }
    scli::on_sql(counts[1].sql).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    int32_t count = -1;
    EXPECT_EQ(DB_rasterband_get_count(nullptr, 4, 0, &count), ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(count, 0);
}

TEST_F(RasterBands, MaskIsInsertedUpdatedAndRemoved)
{
    const RASTERBAND b = band();
    VE_RASTER_BITMAP *mask = ves_raster_bitmap_create(4, 3, nullptr, 1, 0);
    ASSERT_NE(mask, nullptr);
    ves_raster_bitmap_set(mask, 1, 2, 1);
    unsigned char *serialized = nullptr;
    int32_t length = 0;
    ASSERT_EQ(VES_raster_bitmap_serialize(mask, &serialized, &length), 0);
    const std::string bytes(reinterpret_cast<char *>(serialized), static_cast<size_t>(length));
    free(serialized);

    const std::string insert =
        "INSERT INTO " + kAux + " (rasterband_id, type, object) VALUES (?, 1, ?)";
    const std::string update =
        "UPDATE " + kAux + " SET object = ?WHERE rasterband_id = 7 AND type = 1";
    scli::on_sql(object_id_sql(1)).columns({{"rasterband_id", SQL_INTEGER}});
    ASSERT_EQ(DB_rasterband_set_bitmap_mask(nullptr, &b, mask), ZE_SUCCESS);
    scli::on_sql(object_id_sql(1)).columns({{"rasterband_id", SQL_INTEGER}}).row({scli::i32(7)});
    ASSERT_EQ(DB_rasterband_set_bitmap_mask(nullptr, &b, mask), ZE_SUCCESS);
    ASSERT_EQ(DB_rasterband_set_bitmap_mask(nullptr, &b, nullptr), ZE_SUCCESS);
    EXPECT_EQ(Statements(),
              (Strings{object_id_sql(1), insert, "COMMIT", object_id_sql(1), update, "COMMIT",
                       "DELETE FROM " + kAux + " WHERE rasterband_id = 7 AND type = 1", "COMMIT"}));
    std::string hex = "0x";
    for (unsigned char c : bytes) {
        char h[3];
        snprintf(h, sizeof(h), "%02x", c);
        hex += h;
    }
    EXPECT_EQ(params_of(insert), (Strings{"7", hex}));
    EXPECT_EQ(params_of(update), Strings{hex});

    scli::on_sql(object_id_sql(1)).columns({{"rasterband_id", SQL_INTEGER}});
    scli::on_sql(insert).fail(SQL_ERROR, {"23000", -268, "duplicate"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rasterband_set_bitmap_mask(nullptr, &b, mask); });
    EXPECT_EQ(rc, ZE_RASTERBAND_OBJECT_EXISTS);
    ves_raster_bitmap_free(mask, 1);
}

TEST_F(RasterBands, MaskIsReadAgainstTheBandsTileGrid)
{
    // Grids: the plain band 4 x 3; an inverted extent the same; a first
    // pixel 300 pixels right of and 10 below the origin: offsets 44 and
    // 10, 5 x 3 tiles.
    RASTERBAND plain = band();
    RASTERBAND inverted = band();
    inverted.extent = {999, 0, 0, 599};
    RASTERBAND shifted = band();
    shifted.block_origin_x = -300;
    shifted.block_origin_y = 609;
    const struct {
        const char *what;
        RASTERBAND b;
        int32_t columns, rows;
    } cases[] = {{"plain", plain, 4, 3}, {"inverted", inverted, 4, 3}, {"shifted", shifted, 5, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        VE_RASTER_BITMAP *stored = ves_raster_bitmap_create(c.columns, c.rows, nullptr, 1, 1);
        unsigned char *serialized = nullptr;
        int32_t length = 0;
        ASSERT_EQ(VES_raster_bitmap_serialize(stored, &serialized, &length), 0);
        answer_object(
            1, std::string(reinterpret_cast<char *>(serialized), static_cast<size_t>(length)));
        free(serialized);
        ves_raster_bitmap_free(stored, 1);
        VE_RASTER_BITMAP *mask = nullptr;
        int32_t columns = 0, rows = 0;
        ASSERT_EQ(DB_rasterband_get_bitmap_mask(nullptr, &c.b, &mask, &columns, &rows), 0);
        ASSERT_NE(mask, nullptr);
        EXPECT_EQ(columns, c.columns);
        EXPECT_EQ(rows, c.rows);
        EXPECT_TRUE(ves_raster_bitmap_is_full(mask));
        ves_raster_bitmap_free(mask, 1);
    }

    // No mask stored: success with none.
    scli::on_sql(object_sql(1)).columns({{"object", SQL_LONGVARBINARY}});
    VE_RASTER_BITMAP *mask = reinterpret_cast<VE_RASTER_BITMAP *>(&plain);
    int32_t columns = 0, rows = 0;
    ASSERT_EQ(DB_rasterband_get_bitmap_mask(nullptr, &plain, &mask, &columns, &rows), 0);
    EXPECT_EQ(mask, nullptr);

    // A mask of another grid, a longer one, and block sizes that cannot be.
    VE_RASTER_BITMAP *other = ves_raster_bitmap_create(5, 3, nullptr, 1, 1);
    unsigned char *serialized = nullptr;
    int32_t length = 0;
    ASSERT_EQ(VES_raster_bitmap_serialize(other, &serialized, &length), 0);
    const std::string bytes(reinterpret_cast<char *>(serialized), static_cast<size_t>(length));
    free(serialized);
    ves_raster_bitmap_free(other, 1);
    answer_object(1, bytes);
    EXPECT_EQ(DB_rasterband_get_bitmap_mask(nullptr, &plain, &mask, &columns, &rows),
              ZE_INVALID_RASTER_MASK);
    EXPECT_EQ(mask, nullptr);
    answer_object(1, bytes + std::string(100, '\xff'));
    EXPECT_EQ(DB_rasterband_get_bitmap_mask(nullptr, &plain, &mask, &columns, &rows),
              ZE_INVALID_RASTER_MASK);
    RASTERBAND zero = band();
    zero.block_width = 0;
    MarkNow();
    EXPECT_EQ(DB_rasterband_get_bitmap_mask(nullptr, &zero, &mask, &columns, &rows),
              ZE_INVALID_ARGUMENT);
    EXPECT_TRUE(Statements().empty());
}

TEST_F(RasterBands, SerialisedObjectsAreReadWholeAndCheckedAgainstTheirLengthWord)
{
    unsigned char *block = nullptr;
    int32_t length = 0;
    // A short object comes back with the length stored, not the buffer's.
    const std::string small = object_of(60, 60);
    answer_object(2, small);
    ASSERT_EQ(DB_rasterband_get_serialized_object(nullptr, 4, 7, 2, &block, &length), 0);
    EXPECT_EQ(length, 60);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), 60), small);
    free(block);

    // A colour map longer than the first buffer is read again in full.
    MarkNow();
    const std::string large = object_of(10000, 10000);
    answer_object(3, large, 2);
    ASSERT_EQ(DB_rasterband_get_serialized_object(nullptr, 4, 7, 3, &block, &length), 0);
    EXPECT_EQ(length, 10000);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), 10000), large);
    free(block);
    EXPECT_EQ(Statements(), (Strings{object_sql(3), object_sql(3)}));

    // Hostile objects: nothing is handed out.
    const struct {
        const char *what;
        std::string bytes;
    } hostile[] = {
        {"word larger than the object", object_of(60, 61)},
        {"word smaller than the object", object_of(60, 59)},
        {"shorter than the word", std::string("\x00\x00", 2)},
        {"word below 4", object_of(4, 3)},
        {"long object, word too small", object_of(5000, 100)},
        {"long object, word beyond the cap", object_of(5000, 0x7fffffff)},
        {"long object, negative word", object_of(5000, 0x80000010u)},
    };
    for (const auto &h : hostile) {
        SCOPED_TRACE(h.what);
        answer_object(2, h.bytes);
        block = reinterpret_cast<unsigned char *>(&length);
        EXPECT_EQ(DB_rasterband_get_serialized_object(nullptr, 4, 7, 2, &block, &length),
                  ZE_INVALID_BAND_OBJECT);
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(length, 0);
    }

    scli::on_sql(object_sql(2)).columns({{"object", SQL_LONGVARBINARY}});
    EXPECT_EQ(DB_rasterband_get_serialized_object(nullptr, 4, 7, 2, &block, &length),
              ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_rasterband_get_serialized_object(nullptr, 4, 7, 1, &block, &length),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_rasterband_get_serialized_object(nullptr, 4, 7, 2, nullptr, &length),
              ZE_NULL_POINTER);
}

TEST_F(RasterBands, StatisticsAreStoredAndRebuilt)
{
    int64_t histogram[3] = {5, 6, 7};
    VE_RASTERBAND_STATS stats{};
    stats.minimum = 1;
    stats.maximum = 9;
    stats.distribution_type = 1;
    stats.bin_count = 3;
    stats.histogram = histogram;
    RASTERBAND b = band();
    b.statistics = &stats;
    scli::on_sql(object_id_sql(2)).columns({{"rasterband_id", SQL_INTEGER}});
    ASSERT_EQ(DB_rasterband_set_stats(nullptr, &b, 0), ZE_SUCCESS);
    const std::string insert =
        "INSERT INTO " + kAux + " (rasterband_id, type, object) VALUES (?, 2, ?)";
    EXPECT_EQ(Statements(), (Strings{object_id_sql(2), insert})); // no commit asked
    const std::string stored = params_of(insert)[1];

    // Read back through the stored bytes.
    std::string bytes;
    for (size_t i = 2; i + 1 < stored.size(); i += 2)
        bytes += static_cast<char>(strtol(stored.substr(i, 2).c_str(), nullptr, 16));
    answer_object(2, bytes);
    b.statistics = nullptr;
    ASSERT_EQ(db_rasterband_get_stats(nullptr, &b), ZE_SUCCESS);
    ASSERT_NE(b.statistics, nullptr);
    EXPECT_EQ(b.statistics->maximum, 9);
    EXPECT_EQ(b.statistics->bin_count, 3);
    EXPECT_EQ(b.statistics->histogram[2], 7);
    VES_rasterband_stats_free(b.statistics);

    b.statistics = nullptr;
    EXPECT_EQ(DB_rasterband_set_stats(nullptr, &b, 1), ZE_NULL_POINTER);
}

TEST_F(RasterBands, DeleteTakesTilesObjectsAndRow)
{
    RASTERBAND b = band(); // 4 x 3 tiles of 64 KiB + 8 KiB: 14 per commit
    ASSERT_EQ(DB_rasterband_def_delete(nullptr, &b), ZE_SUCCESS);
    const std::string tiles = "DELETE FROM " + kBlocks +
                              " WHERE  rasterband_id = 7        AND rrd_factor = ?        AND "
                              "row_nbr = ? AND col_nbr <= ?";
    EXPECT_EQ(Statements(),
              (Strings{tiles, "COMMIT", tiles, "COMMIT", tiles, "COMMIT",
                       "DELETE FROM " + kAux + " WHERE rasterband_id = 7",
                       "DELETE FROM " + kBands + " WHERE rasterband_id = 7", "COMMIT"}));
    EXPECT_EQ(catalog_test::all_params_of(tiles),
              (std::vector<Strings>{{"0", "0", "14"}, {"0", "1", "14"}, {"0", "2", "14"}}));

    // The band row fails: rolled back, -51.
    MarkNow();
    scli::on_sql("DELETE FROM " + kBands + " WHERE rasterband_id = 7")
        .fail(SQL_ERROR, {"HY000", -1, "broken"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_rasterband_def_delete(nullptr, &b); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Statements().back(), "ROLLBACK");

    // A tile delete fails: rolled back before the objects and the row.
    MarkNow();
    scli::on_sql(tiles);
    scli::on_sql(tiles).fail(SQL_ERROR, {"HY000", -2, "tiles broken"});
    quiet_stderr([&] { rc = DB_rasterband_def_delete(nullptr, &b); });
    EXPECT_LT(rc, 0);
    EXPECT_EQ(Statements(), (Strings{tiles, "COMMIT", tiles, "ROLLBACK"}));
}
