// Objects attached to a raster band come back from the database as bytes
// that nothing vouches for. The input's first byte picks what is fetched (0
// statistics, 1 colour map, 2 tile mask), the next two the band's width and
// height in tiles for a mask, and the rest is the stored object, served by
// the scripted CLI for the band's auxiliary row. Whatever it holds, the reads
// must answer a code or an object consistent with its own length word (or
// the band's tile grid), and rebuilding it must stay in bounds.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_raster_bitmap_internal.h"
#include "base/util/ve_rasterband.h"
#include "db/catalog/db_rasterband.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_xerr.h"
#include "fuzz/fuzz_quiet.h"
#include "tests/support/scripted_cli.h"

namespace
{

// The raster column look-up behind the auxiliary table's name: raster column
// 4 of gis:bob.parcels, owned by the connection's user.
void S_answer_raster_column()
{
    char raster_columns[DB_QUALIFIED_NAME_SIZE], references[DB_QUALIFIED_NAME_SIZE];
    db_make_raster_columns_name(raster_columns, sizeof(raster_columns));
    db_make_spatial_references_name(nullptr, references, sizeof(references));
    const std::string sql =
        std::string("SELECT rastercolumn_id, rc.description, database_name, owner, table_name, "
                    "raster_column, cdate, config_keyword, minimum_id, base_rastercolumn_id, "
                    "rastercolumn_mask, falsex, falsey, xyunits, falsez, zunits, falsem, "
                    "munits, srtext, rc.srid FROM ") +
        raster_columns + " rc, OUTER " + references +
        " sr WHERE rastercolumn_id = ? AND rc.srid = sr.srid";
    std::vector<scli::Column> columns;
    for (const char *n : {"rastercolumn_id",
                          "description",
                          "database_name",
                          "owner",
                          "table_name",
                          "raster_column",
                          "cdate",
                          "config_keyword",
                          "minimum_id",
                          "base_rastercolumn_id",
                          "rastercolumn_mask",
                          "falsex",
                          "falsey",
                          "xyunits",
                          "falsez",
                          "zunits",
                          "falsem",
                          "munits",
                          "srtext",
                          "srid"})
        columns.push_back({n, SQL_VARCHAR, 64});
    scli::on_sql(sql).columns(columns).repeat().row({scli::i32(4),
                                                     scli::null(),
                                                     scli::varchar("gis"),
                                                     scli::varchar("bob"),
                                                     scli::varchar("parcels"),
                                                     scli::varchar("image"),
                                                     scli::i32(0),
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
                                                     scli::i32(0)});
}

void S_check_object(int32_t type, const std::string &stored)
{
    scli::on_sql("SELECT object FROM gis:bob.ZEL_AUX_4 WHERE rasterband_id = 7 AND type = " +
                 std::to_string(type))
        .columns({{"object", SQL_LONGVARBINARY}})
        .row({scli::binary(stored)})
        .times(2);
    unsigned char *block = nullptr;
    int32_t length = 0;
    if (DB_rasterband_get_serialized_object(nullptr, 4, 7, type, &block, &length) != 0) {
        if (block != nullptr || length != 0)
            __builtin_trap();
        return;
    }
    // What is handed out is what is stored, and its length word says so.
    if (length < 4 || static_cast<size_t>(length) != stored.size() ||
        VES_rasterband_get_serialized_length(block) != length ||
        memcmp(block, stored.data(), stored.size()) != 0)
        __builtin_trap();
    if (type == DB_RASTERBAND_OBJECT_STATS)
        VES_rasterband_stats_free(VES_rasterband_stats_deserialize(block, length));
    else
        VES_rasterband_colormap_free(VES_rasterband_colormap_deserialize(block, length));
    free(block);
}

void S_check_mask(uint8_t across, uint8_t down, const std::string &stored)
{
    scli::on_sql("SELECT object FROM gis:bob.ZEL_AUX_4 WHERE rasterband_id = 7 AND type = 1")
        .columns({{"object", SQL_LONGVARBINARY}})
        .row({scli::binary(stored)});
    RASTERBAND band{};
    band.rasterband_id = 7;
    band.rastercolumn_id = 4;
    band.block_width = 16;
    band.block_height = 16;
    band.band_width = 16 * across;
    band.band_height = 16 * down;
    band.extent = {0, 0, 100, 100};
    band.block_origin_x = 0;
    band.block_origin_y = 100;
    VE_RASTER_BITMAP *mask = nullptr;
    int32_t columns = 0, rows = 0;
    if (DB_rasterband_get_bitmap_mask(nullptr, &band, &mask, &columns, &rows) != 0) {
        if (mask != nullptr)
            __builtin_trap();
        return;
    }
    if (mask != nullptr) {
        if (mask->columns != columns || mask->rows != rows || columns != across || rows != down)
            __builtin_trap();
        ves_raster_bitmap_is_full(mask);
        ves_raster_bitmap_free(mask, 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 3 || size > (1u << 20))
        return 0;
    scli::reset();
    char database[64] = "";
    if (db_connect("zel", "pw", database, sizeof(database)).code != SQL_SUCCESS)
        __builtin_trap();
    db_instance_set_current_user("bob");
    scli::set_info_text(SQL_DATABASE_NAME, "gis");
    S_answer_raster_column();
    const std::string stored(reinterpret_cast<const char *>(data) + 3, size - 3);
    switch (data[0] % 3) {
    case 0:
        S_check_object(DB_RASTERBAND_OBJECT_STATS, stored);
        break;
    case 1:
        S_check_object(DB_RASTERBAND_OBJECT_COLORMAP, stored);
        break;
    default:
        S_check_mask(data[1], data[2], stored);
        break;
    }
    db_instance_set_current_user(nullptr);
    db_connection_release();
    DB_instance_clear_xerr();
    return 0;
}
