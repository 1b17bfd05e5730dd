// Tests the rasters: the insert with its values and duplicate code, the read
// with its NULL description and missing row, the largest id, and the delete
// of a raster with its bands' tiles, objects and rows (every band the scan
// gives, only the raster's own, rolled back on a failure).
#include "db/catalog/db_raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace raster_test;
using catalog_test::params_of;
using Rasters = RasterFixture;

namespace
{

const std::string &kScan = kBandScan;

// A band of one 256 x 256 tile of 8 bits.
scli::Row band_row(int32_t id, int32_t raster)
{
    return {scli::i32(id),  scli::i32(1),        scli::i32(raster), scli::i32(0),   scli::f64(0),
            scli::f64(0),   scli::f64(255),      scli::f64(255),    scli::i32(0),   scli::i32(0),
            scli::i32(256), scli::i32(256),      scli::i32(256),    scli::i32(256), scli::f64(0),
            scli::f64(255), scli::i32(64 << 16), scli::null()};
}

std::string tiles_of(int32_t id)
{
    return "DELETE FROM " + kBlocks + " WHERE  rasterband_id = " + std::to_string(id) +
           "        AND rrd_factor = ?        AND row_nbr = ? AND col_nbr <= ?";
}

} // namespace

TEST_F(Rasters, InsertReadAndMaximum)
{
    const std::string insert =
        "INSERT INTO " + kRasters + " (raster_id, description) VALUES (?, ?)";
    RASTER r{12, 4, "scan of 1901"};
    ASSERT_EQ(DB_raster_def_insert(nullptr, &r), ZE_SUCCESS);
    EXPECT_EQ(params_of(insert), (Strings{"12", "scan of 1901"}));
    r.description[0] = '\0';
    ASSERT_EQ(DB_raster_def_insert(nullptr, &r), ZE_SUCCESS);
    EXPECT_EQ(params_of(insert), (Strings{"12", "NULL"}));
    EXPECT_EQ(Statements(), (Strings{insert, "COMMIT", insert, "COMMIT"}));
    scli::on_sql(insert).fail(SQL_ERROR, {"23000", -268, "duplicate"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_raster_def_insert(nullptr, &r); });
    EXPECT_EQ(rc, ZE_RASTER_EXISTS);

    const std::string read =
        "SELECT raster_id, description FROM " + kRasters + " WHERE raster_id = ";
    scli::on_sql(read + "12")
        .columns({{"raster_id", SQL_INTEGER}, {"description", SQL_VARCHAR, 65}})
        .row({scli::i32(12), scli::null()});
    RASTER out{};
    snprintf(out.description, sizeof(out.description), "old");
    ASSERT_EQ(DB_raster_get_info_by_id(nullptr, nullptr, 4, 12, &out), ZE_SUCCESS);
    EXPECT_EQ(out.raster_id, 12);
    EXPECT_EQ(out.rastercolumn_id, 4);
    EXPECT_STREQ(out.description, "");
    // A description of 64 characters fills the field and comes back whole.
    const std::string full(64, 'd');
    scli::on_sql(read + "14")
        .columns({{"raster_id", SQL_INTEGER}, {"description", SQL_VARCHAR, 65}})
        .row({scli::i32(14), scli::varchar(full)});
    ASSERT_EQ(DB_raster_get_info_by_id(nullptr, nullptr, 4, 14, &out), ZE_SUCCESS);
    EXPECT_EQ(std::string(out.description, sizeof(out.description)), full);
    memcpy(r.description, full.data(), sizeof(r.description));
    ASSERT_EQ(DB_raster_def_insert(nullptr, &r), ZE_SUCCESS);
    EXPECT_EQ(params_of(insert), (Strings{"12", full}));
    scli::on_sql(read + "13")
        .columns({{"raster_id", SQL_INTEGER}, {"description", SQL_VARCHAR, 65}});
    RASTER missing{};
    EXPECT_EQ(DB_raster_get_info_by_id(nullptr, nullptr, 4, 13, &missing), ZE_RASTER_NOT_FOUND);
    EXPECT_EQ(missing.rastercolumn_id, 4);

    scli::on_sql("SELECT MAX(raster_id) FROM " + kRasters)
        .columns({{"max", SQL_INTEGER}})
        .row({scli::null()});
    uint32_t max_id = 7;
    ASSERT_EQ(DB_raster_get_max_id(nullptr, 4, &max_id), ZE_SUCCESS);
    EXPECT_EQ(max_id, 0u);
}

TEST_F(Rasters, DeleteTakesEveryBandsTilesObjectsAndRows)
{
    // Three bands, more than any count taken before the scan would hold.
    scli::on_sql(kScan + " WHERE raster_id = 5 ORDER BY rasterband_id")
        .columns(band_columns())
        .rows({band_row(7, 5), band_row(8, 5), band_row(9, 5)});
    ASSERT_EQ(DB_raster_def_delete(nullptr, 4, 5), ZE_SUCCESS);
    EXPECT_EQ(Statements(),
              (Strings{kScan + " WHERE raster_id = 5 ORDER BY rasterband_id", tiles_of(7), "COMMIT",
                       tiles_of(8), "COMMIT", tiles_of(9), "COMMIT",
                       "DELETE FROM " + kAux + " WHERE rasterband_id = 7",
                       "DELETE FROM " + kAux + " WHERE rasterband_id = 8",
                       "DELETE FROM " + kAux + " WHERE rasterband_id = 9",
                       "DELETE FROM " + kBands + " WHERE raster_id = 5",
                       "DELETE FROM " + kRasters + " WHERE raster_id = 5", "COMMIT"}));
}

TEST_F(Rasters, RasterWithoutBandsAndRasterZero)
{
    scli::on_sql(kScan + " WHERE raster_id = 6 ORDER BY rasterband_id").columns(band_columns());
    ASSERT_EQ(DB_raster_def_delete(nullptr, 4, 6), ZE_SUCCESS);
    EXPECT_EQ(Statements(),
              (Strings{kScan + " WHERE raster_id = 6 ORDER BY rasterband_id",
                       "DELETE FROM " + kBands + " WHERE raster_id = 6",
                       "DELETE FROM " + kRasters + " WHERE raster_id = 6", "COMMIT"}));

    // The scan of raster 0 lists every band: only raster 0's lose their tiles.
    MarkNow();
    scli::on_sql(kScan + " ORDER BY rasterband_id")
        .columns(band_columns())
        .rows({band_row(3, 0), band_row(7, 5)});
    ASSERT_EQ(DB_raster_def_delete(nullptr, 4, 0), ZE_SUCCESS);
    const Strings executed = Statements();
    EXPECT_EQ(std::count(executed.begin(), executed.end(), tiles_of(3)), 1);
    EXPECT_EQ(std::count(executed.begin(), executed.end(), tiles_of(7)), 0);
}

TEST_F(Rasters, FailedRowDeletionRollsBack)
{
    scli::on_sql(kScan + " WHERE raster_id = 5 ORDER BY rasterband_id")
        .columns(band_columns())
        .rows({band_row(7, 5)});
    scli::on_sql("DELETE FROM " + kBands + " WHERE raster_id = 5")
        .fail(SQL_ERROR, {"HY000", -1, "broken"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_raster_def_delete(nullptr, 4, 5); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    const Strings executed = Statements();
    EXPECT_EQ(executed.back(), "ROLLBACK");
    EXPECT_EQ(std::count(executed.begin(), executed.end(),
                         "DELETE FROM " + kRasters + " WHERE raster_id = 5"),
              0);

    // A band scan that fails stops before anything is deleted.
    MarkNow();
    scli::on_sql(kScan + " WHERE raster_id = 5 ORDER BY rasterband_id")
        .fail(SQL_ERROR, {"HY000", -1, "broken"});
    quiet_stderr([&] { rc = DB_raster_def_delete(nullptr, 4, 5); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Statements(), Strings{kScan + " WHERE raster_id = 5 ORDER BY rasterband_id"});
}
