// The raster column the band, tile and raster tests work on: raster column 4
// of gis:bob.parcels, owned by the connection's user, its catalogue look-up
// answered for any id; the executed SQL without those look-ups; and a band
// record to start from.
#pragma once

#include <sqlext.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "base/util/ve_raster.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/core/connected_fixture.h"

namespace raster_test
{

using Strings = std::vector<std::string>;

inline std::string by_id_sql()
{
    return catalog_test::raster_select_from() + " WHERE rastercolumn_id = ? AND rc.srid = sr.srid";
}

inline std::vector<scli::Column> raster_columns()
{
    return {{"rastercolumn_id", SQL_INTEGER},
            {"description", SQL_VARCHAR, 65},
            {"database_name", SQL_VARCHAR, 32},
            {"owner", SQL_VARCHAR, 32},
            {"table_name", SQL_VARCHAR, 128},
            {"raster_column", SQL_VARCHAR, 128},
            {"cdate", SQL_INTEGER},
            {"config_keyword", SQL_VARCHAR, 32},
            {"minimum_id", SQL_INTEGER},
            {"base_rastercolumn_id", SQL_INTEGER},
            {"rastercolumn_mask", SQL_INTEGER},
            {"falsex", SQL_DOUBLE},
            {"falsey", SQL_DOUBLE},
            {"xyunits", SQL_DOUBLE},
            {"falsez", SQL_DOUBLE},
            {"zunits", SQL_DOUBLE},
            {"falsem", SQL_DOUBLE},
            {"munits", SQL_DOUBLE},
            {"srtext", SQL_CHAR, 2048},
            {"srid", SQL_INTEGER}};
}

// Answers every look-up by id with a raster column of gis:bob.parcels.
inline void answer_raster_columns()
{
    scli::on_sql(by_id_sql()).columns(raster_columns()).repeat().hook([](scli::Exec &e) {
        e.rows = {{scli::i32(static_cast<int32_t>(e.params[0][0].i)),
                   scli::null(),
                   scli::varchar("gis"),
                   scli::varchar("bob"),
                   scli::varchar("parcels"),
                   scli::varchar("image"),
                   scli::i32(1700000000),
                   scli::null(),
                   scli::i32(1),
                   scli::i32(0),
                   scli::i32(0),
                   scli::null(),
                   scli::null(),
                   scli::null(),
                   scli::null(),
                   scli::null(),
                   scli::null(),
                   scli::null(),
                   scli::null(),
                   scli::i32(0)}};
    });
}

const std::string kBands = "gis:bob.ZEL_BND_4", kAux = "gis:bob.ZEL_AUX_4",
                  kBlocks = "gis:bob.ZEL_BLK_4", kRasters = "gis:bob.ZEL_RAS_4";

// The band table's scan, and its columns as the scripted CLI describes them.
const std::string kBandScan =
    "SELECT rasterband_id, sequence_nbr, raster_id, band_flags, eminx, eminy, emaxx, emaxy, "
    "cdate, mdate, band_width, band_height, block_width, block_height, block_origin_x, "
    "block_origin_y, band_types, name FROM " +
    kBands;

inline std::vector<scli::Column> band_columns()
{
    std::vector<scli::Column> c;
    for (const char *n : {"rasterband_id", "sequence_nbr", "raster_id", "band_flags"})
        c.push_back({n, SQL_INTEGER});
    for (const char *n : {"eminx", "eminy", "emaxx", "emaxy"})
        c.push_back({n, SQL_DOUBLE});
    for (const char *n :
         {"cdate", "mdate", "band_width", "band_height", "block_width", "block_height"})
        c.push_back({n, SQL_INTEGER});
    c.push_back({"block_origin_x", SQL_DOUBLE});
    c.push_back({"block_origin_y", SQL_DOUBLE});
    c.push_back({"band_types", SQL_INTEGER});
    c.push_back({"name", SQL_VARCHAR, 65});
    return c;
}

// Band 7 of raster 5: 1000 x 600 pixels in tiles of 256 x 256 whose first
// pixel is the grid's origin; 8 bits per pixel; no pyramid.
inline RASTERBAND band()
{
    RASTERBAND b{};
    b.rasterband_id = 7;
    b.sequence_nbr = 1;
    b.raster_id = 5;
    b.rastercolumn_id = 4;
    b.band_types = 64u << 16;
    b.band_width = 1000;
    b.band_height = 600;
    b.block_width = 256;
    b.block_height = 256;
    b.extent = {0, 0, 999, 599};
    b.block_origin_x = 0;
    b.block_origin_y = 599;
    snprintf(b.name, sizeof(b.name), "red");
    return b;
}

} // namespace raster_test

// ConnectedUser with raster column 4 answered; Statements() is Executed()
// without the raster column look-ups.
class RasterFixture : public ConnectedUser
{
  protected:
    void SetUp() override
    {
        ConnectedUser::SetUp();
        raster_test::answer_raster_columns();
    }
    raster_test::Strings Statements() const
    {
        raster_test::Strings out;
        for (const std::string &s : Executed())
            if (s != raster_test::by_id_sql())
                out.push_back(s);
        return out;
    }
};
