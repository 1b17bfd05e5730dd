// A raster band's tile grid, its pyramid hidden and shown, and its tiles
// deleted (db_rasterband_tiles.h, db_rasterband_tiles_internal.h). Grid
// positions and tile counts are computed in 64 bits and every position bound
// to a statement is kept within 32 bits, so that a band's stored sizes,
// whatever they hold, never overflow a count or divide by zero.
#include "db/catalog/db_rasterband_tiles_internal.h"

#include <math.h>
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>

#include <algorithm>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_rasterband_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr_internal.h"

// Tiles hidden or shown per commit; bytes of tiles deleted per commit.
#define S_VISIBILITY_BATCH 200
#define S_DELETE_BATCH_BYTES 1048576
// band_flags: the top pyramid level above this shift; level 1 not stored.
#define S_TOP_LEVEL_SHIFT 16
#define S_NO_LEVEL_ONE 16384
// band_types shifted right by this gives the bits per pixel.
#define S_BITS_SHIFT 19

namespace
{

// Floor division and a non-negative remainder.
int64_t S_floor_div(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        q--;
    return q;
}

// The pixel position of the band's first pixel from the grid's origin along
// one axis, truncated towards zero. 0 for a band one pixel wide or an extent
// without width. false when it does not fit 32 bits.
bool S_pixel_offset(double from_origin, double extent, int32_t pixels, int64_t *out)
{
    *out = 0;
    if (pixels <= 1 || !(extent > 0))
        return true;
    const double cell = extent / (pixels - 1);
    const double v = from_origin / cell;
    if (!std::isfinite(v) || v <= -2147483648.0 || v >= 2147483648.0)
        return false;
    *out = static_cast<int64_t>(v);
    return true;
}

int32_t S_levels(const RASTERBAND *band)
{
    return static_cast<int32_t>(band->band_flags >> S_TOP_LEVEL_SHIFT);
}

bool S_no_level_one(const RASTERBAND *band)
{
    return (band->band_flags & S_NO_LEVEL_ONE) != 0;
}

int64_t S_ceil_div(int64_t a, int64_t b)
{
    return a <= 0 ? 0 : (a + b - 1) / b;
}

int32_t S_clamp(int64_t v)
{
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

// A statement prepared once and executed with new integer parameters.
struct Runner {
    DB_CATALOG_CLI s;
    int32_t values[3] = {0, 0, 0};
    int count = 0;
    int32_t prepare(const std::string &sql, int parameters)
    {
        count = parameters;
        int32_t rc = db_cli_prepare(&s.cli, sql.c_str());
        for (int i = 0; rc == 0 && i < count; i++)
            rc = db_cli_bind_by_pos(&s.cli, SQL_C_SLONG, SQL_INTEGER, 0, &values[i], 0, nullptr);
        return rc;
    }
    int32_t run(int64_t a, int64_t b, int64_t c = 0)
    {
        values[0] = S_clamp(a);
        values[1] = S_clamp(b);
        values[2] = S_clamp(c);
        return db_cli_execute_stmt(&s.cli, 1);
    }
    // A failed statement: its error into the connection's record.
    int32_t fail(const char *function, int32_t rc)
    {
        db_cli_save_error(&s.cli);
        VES_print_debug(stderr, "Error: %s (%d)\n", function, rc);
        return rc;
    }
    // A failed statement of a batch: the batch's uncommitted work rolled
    // back (the batches committed before stay), the error kept.
    int32_t undo(const char *function, int32_t rc)
    {
        fail(function, rc);
        const DB_EXT_ERROR failure = db_global_xerr;
        db_rollback();
        db_global_xerr = failure;
        return rc;
    }
    // A failed commit has filled the connection's record itself.
    static int32_t commit(const char *function)
    {
        const int32_t rc = db_odbc_commit();
        if (rc != 0)
            VES_print_debug(stderr, "Error: %s (%d)\n", function, rc);
        return rc;
    }
};

int32_t S_pyramid_set_visible(const RASTERBAND *band, bool restore)
{
    const int32_t top = S_levels(band);
    const int32_t first = S_no_level_one(band) ? 2 : 1;
    if (first > top)
        return 0;
    int32_t x_offset = 0, y_offset = 0, column = 0, row = 0;
    int32_t rc = db_rasterband_tile_range(band, &x_offset, &y_offset, &column, &row);
    std::string table;
    if (rc == 0)
        rc = db_rasterband_table(db_make_block_table_name, nullptr, band->rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    Runner r;
    rc = r.prepare("UPDATE " + table +
                       " SET    rasterband_id = -rasterband_id WHERE  rasterband_id  = ?       "
                       "AND rrd_factor = ?       AND row_nbr    = ?",
                   3);
    if (rc != 0)
        return r.fail("S_pyramid_set_visible", rc);
    const int64_t id = restore ? -static_cast<int64_t>(band->rasterband_id) : band->rasterband_id;
    int64_t width = static_cast<int64_t>(band->band_width) + x_offset;
    int64_t height = static_cast<int64_t>(band->band_height) + y_offset;
    int64_t pending = 0;
    for (int32_t level = 1; level <= top; level++) {
        width = (width + 1) / 2;
        height = (height + 1) / 2;
        if (level < first)
            continue;
        const int64_t columns = S_ceil_div(width, band->block_width);
        const int64_t rows = S_ceil_div(height, band->block_height);
        for (int64_t n = 0; n < rows; n++) {
            pending += columns;
            if ((rc = r.run(id, level, n)) != 0)
                return r.undo("S_pyramid_set_visible", rc);
            if (pending >= S_VISIBILITY_BATCH) {
                if ((rc = Runner::commit("S_pyramid_set_visible")) != 0)
                    return rc;
                pending = 0;
            }
        }
    }
    return pending > 0 ? Runner::commit("S_pyramid_set_visible") : 0;
}

int32_t S_delete_tiles(const RASTERBAND *band, bool pyramid_only, bool visible)
{
    int32_t x_offset = 0, y_offset = 0, first_column = 0, first_row = 0;
    int32_t rc = db_rasterband_tile_range(band, &x_offset, &y_offset, &first_column, &first_row);
    std::string table;
    if (rc == 0)
        rc = db_rasterband_table(db_make_block_table_name, nullptr, band->rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    const int32_t top = S_levels(band);
    const bool skip_one = S_no_level_one(band);
    const int64_t per_commit = db_rasterband_tiles_per_commit(band);
    const int64_t id =
        pyramid_only && !visible ? -static_cast<int64_t>(band->rasterband_id) : band->rasterband_id;
    Runner r;
    rc = r.prepare("DELETE FROM " + table + " WHERE  rasterband_id = " + std::to_string(id) +
                       "        AND rrd_factor = ?        AND row_nbr = ? AND col_nbr <= ?",
                   3);
    if (rc != 0)
        return r.fail("S_delete_tiles", rc);
    int64_t width = static_cast<int64_t>(band->band_width) + x_offset;
    int64_t height = static_cast<int64_t>(band->band_height) + y_offset;
    int64_t column0 = first_column, row0 = first_row;
    for (int32_t level = 0; level <= top; level++) {
        const int64_t columns = S_ceil_div(width, band->block_width);
        const int64_t rows = S_ceil_div(height, band->block_height);
        if (!(pyramid_only && level == 0) && !(skip_one && level == 1)) {
            for (int64_t row = row0; row < row0 + rows; row++) {
                for (int64_t bound = column0; bound < column0 + columns;) {
                    bound += per_commit;
                    if ((rc = r.run(level, row, bound)) != 0)
                        return r.undo("S_delete_tiles", rc);
                    if ((rc = Runner::commit("S_delete_tiles")) != 0)
                        return rc;
                }
            }
        }
        width = (width + 1) / 2;
        height = (height + 1) / 2;
        column0 = row0 = 0;
    }
    return 0;
}

// Deletes the window's tiles row by row with the prepared DELETE (row and
// upper column bound bound), the bound raised by the tiles per commit and
// committed each time; the last bound of a row is the window's max column.
int32_t S_delete_window(const std::string &sql, const int32_t *w, int64_t per_commit)
{
    Runner r;
    int32_t rc = r.prepare(sql, 2);
    if (rc != 0)
        return r.fail("DB_rasterband_delete_tiles", rc);
    if (w[0] > w[2])
        return 0;
    for (int64_t row = w[1]; row <= w[3]; row++) {
        int64_t bound = w[0];
        do {
            bound = std::min<int64_t>(bound + per_commit, w[2]);
            if ((rc = r.run(row, bound)) != 0)
                return r.undo("DB_rasterband_delete_tiles", rc);
            if ((rc = Runner::commit("DB_rasterband_delete_tiles")) != 0)
                return rc;
        } while (bound < w[2]);
    }
    return 0;
}

// Replaces the window's visible tiles by its hidden ones: the visible ones
// deleted tile by tile, committed every tiles per commit, then the hidden
// ones shown.
int32_t S_replace_window(const RASTERBAND *band, const std::string &table, const int32_t *w,
                         int64_t per_commit)
{
    const std::string id = std::to_string(band->rasterband_id);
    Runner r;
    int32_t rc = r.prepare("DELETE FROM " + table + " WHERE  rasterband_id = " + id +
                               "       AND rrd_factor = 0       AND row_nbr = ?       AND col_nbr "
                               ">= " +
                               std::to_string(w[0]) + "        AND col_nbr <= ?",
                           2);
    if (rc != 0)
        return r.fail("DB_rasterband_delete_tiles", rc);
    int64_t count = 0;
    for (int64_t row = w[1]; row <= w[3]; row++)
        for (int64_t column = w[0]; column <= w[2]; column++) {
            if ((rc = r.run(row, column)) != 0)
                return r.undo("DB_rasterband_delete_tiles", rc);
            if (++count >= per_commit) {
                if ((rc = Runner::commit("DB_rasterband_delete_tiles")) != 0)
                    return rc;
                count = 0;
            }
        }
    if ((rc = Runner::commit("DB_rasterband_delete_tiles")) != 0)
        return rc;
    const std::string show =
        "UPDATE " + table + " SET    rasterband_id = " + id + " WHERE  rasterband_id = -" + id +
        "        AND rrd_factor = 0        AND row_nbr >= " + std::to_string(w[1]) +
        " AND row_nbr <= " + std::to_string(w[3]) +
        "        AND col_nbr >= " + std::to_string(w[0]) +
        " AND col_nbr <= " + std::to_string(w[2]);
    rc = db_odbc_execute_ddlsql(show.c_str(), 1, 1);
    if (rc != 0)
        VES_print_debug(stderr, "Error: DB_rasterband_delete_tiles (%d)\n", rc);
    return rc;
}

int32_t S_delete_tiles_window(const RASTERBAND *band, const int32_t *window, bool replace,
                              bool hidden)
{
    if (!replace && hidden)
        return 0;
    std::string table;
    int32_t rc =
        db_rasterband_table(db_make_block_table_name, nullptr, band->rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    const int64_t per_commit = db_rasterband_tiles_per_commit(band);
    const std::string id = std::to_string(band->rasterband_id);
    if (replace && !hidden)
        return S_replace_window(band, table, window, per_commit);
    const std::string min_column = std::to_string(window[0]);
    if (hidden)
        return S_delete_window("DELETE FROM " + table + " WHERE  rasterband_id = -" + id +
                                   "       AND rrd_factor = 0       AND row_nbr = ?       AND "
                                   "col_nbr >= " +
                                   min_column + "       AND col_nbr <= ?",
                               window, per_commit);
    return S_delete_window("DELETE FROM " + table + " WHERE  rasterband_id = " + id +
                               "        AND rrd_factor = 0        AND row_nbr = ?        AND "
                               "col_nbr >= " +
                               min_column + "        AND col_nbr <= ?",
                           window, per_commit);
}

} // namespace

int32_t db_rasterband_tile_range(const RASTERBAND *band, int32_t *x_offset, int32_t *y_offset,
                                 int32_t *first_column, int32_t *first_row)
{
    if (band == nullptr || x_offset == nullptr || y_offset == nullptr || first_column == nullptr ||
        first_row == nullptr)
        return ZE_NULL_POINTER;
    *x_offset = *y_offset = *first_column = *first_row = 0;
    if (band->block_width < 1 || band->block_height < 1)
        return ZE_INVALID_ARGUMENT;
    const VE_ENVELOPE &e = band->extent;
    if (!(e.minx <= e.maxx && e.miny <= e.maxy))
        return 0;
    if (band->block_origin_x == e.minx && band->block_origin_y == e.maxy)
        return 0;
    int64_t px = 0, py = 0;
    if (!S_pixel_offset(e.minx - band->block_origin_x, e.maxx - e.minx, band->band_width, &px) ||
        !S_pixel_offset(band->block_origin_y - e.maxy, e.maxy - e.miny, band->band_height, &py))
        return ZE_INVALID_ARGUMENT;
    const int64_t column = S_floor_div(px, band->block_width);
    const int64_t row = S_floor_div(py, band->block_height);
    *x_offset = static_cast<int32_t>(px - column * band->block_width);
    *y_offset = static_cast<int32_t>(py - row * band->block_height);
    *first_column = static_cast<int32_t>(column);
    *first_row = static_cast<int32_t>(row);
    return 0;
}

int64_t db_rasterband_tile_size(const RASTERBAND *band)
{
    const int64_t pixels =
        static_cast<int64_t>(std::max(band->block_width, 0)) * std::max(band->block_height, 0);
    const int64_t bits = band->band_types >> S_BITS_SHIFT;
    return (pixels * bits + 7) / 8 + (pixels + 7) / 8;
}

int32_t db_rasterband_tiles_per_commit(const RASTERBAND *band)
{
    const int64_t size = db_rasterband_tile_size(band);
    if (size < 1)
        return S_DELETE_BATCH_BYTES;
    return static_cast<int32_t>(std::max<int64_t>(1, S_DELETE_BATCH_BYTES / size));
}

int32_t db_rasterband_delete_all_tiles(const RASTERBAND *band)
{
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_delete_tiles(band, false, true); });
}

int32_t DB_rasterband_save_pyramid(DB_INSTANCE *, const RASTERBAND *band)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_pyramid_set_visible(band, false); });
}

int32_t DB_rasterband_restore_pyramid(DB_INSTANCE *, const RASTERBAND *band)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_pyramid_set_visible(band, true); });
}

int32_t DB_rasterband_delete_pyramid(DB_INSTANCE *, const RASTERBAND *band, int32_t visible)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_delete_tiles(band, true, visible == 1); });
}

int32_t DB_rasterband_delete_tiles(DB_INSTANCE *, const RASTERBAND *band, const int32_t *window,
                                   int32_t replace, int32_t hidden)
{
    DB_instance_clear_xerr();
    if (band == nullptr || window == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_delete_tiles_window(band, window, replace != 0, hidden != 0);
    });
}
