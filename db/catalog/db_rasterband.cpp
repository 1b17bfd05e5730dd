// Raster bands (db_rasterband.h, db_rasterband_internal.h): the band table's
// rows written and read through one SELECT list, the scan that keeps one
// statement per process between calls, and the objects attached to a band in
// the auxiliary table. Stored objects come back from the database as bytes
// that nothing vouches for: a statistics or colour map block must begin with
// its own length (big-endian, ve_rasterband.h) equal to the bytes fetched,
// and a mask must have the band's tile grid (ve_raster_bitmap.h).
#include "db/catalog/db_rasterband_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <functional>
#include <memory>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/ve_rasterband.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_rasterband_tiles_internal.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_xerr.h"

#define S_SELECT                                                                                   \
    "SELECT rasterband_id, sequence_nbr, raster_id, band_flags, eminx, eminy, emaxx, emaxy, "      \
    "cdate, mdate, band_width, band_height, block_width, block_height, block_origin_x, "           \
    "block_origin_y, band_types, name"
// First buffers of the serialised-object read.
#define S_STATS_BUFFER 4164
#define S_COLORMAP_BUFFER 4116

namespace
{

// One fetched band row and the length cell of its name (the other columns
// share one that is never read).
struct Row {
    int32_t id, sequence, raster_id, flags, cdate, mdate, width, height, block_width, block_height,
        types;
    double eminx, eminy, emaxx, emaxy, origin_x, origin_y;
    char name[65];
    SQLLEN name_length, shared;
};

// The process's one scan.
struct Scan {
    bool open = false;
    int32_t rastercolumn_id = 0;
    CLI_STATEMENT cli{};
    Row row{};
};
Scan S_scan;

int32_t S_define_row(CLI_STATEMENT *cli, Row *r)
{
    SQLLEN *shared = &r->shared;
    const DB_CATALOG_COLUMN columns[] = {
        {SQL_C_SLONG, &r->id, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->sequence, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->raster_id, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->flags, sizeof(int32_t), shared},
        {SQL_C_DOUBLE, &r->eminx, sizeof(double), shared},
        {SQL_C_DOUBLE, &r->eminy, sizeof(double), shared},
        {SQL_C_DOUBLE, &r->emaxx, sizeof(double), shared},
        {SQL_C_DOUBLE, &r->emaxy, sizeof(double), shared},
        {SQL_C_SLONG, &r->cdate, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->mdate, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->width, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->height, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->block_width, sizeof(int32_t), shared},
        {SQL_C_SLONG, &r->block_height, sizeof(int32_t), shared},
        {SQL_C_DOUBLE, &r->origin_x, sizeof(double), shared},
        {SQL_C_DOUBLE, &r->origin_y, sizeof(double), shared},
        {SQL_C_SLONG, &r->types, sizeof(int32_t), shared},
        {SQL_C_CHAR, r->name, sizeof(r->name), &r->name_length},
    };
    return db_catalog_define_columns(cli, columns);
}

int32_t S_fetch(CLI_STATEMENT *cli, Row *row)
{
    memset(row, 0, sizeof(*row));
    return db_catalog_fetch(cli);
}

// The row into the caller's record; the attached objects are forgotten.
void S_copy_out(const Row &r, int32_t rastercolumn_id, RASTERBAND *b)
{
    b->rasterband_id = r.id;
    b->sequence_nbr = r.sequence;
    b->raster_id = r.raster_id;
    b->band_flags = static_cast<uint32_t>(r.flags);
    b->extent.minx = r.eminx;
    b->extent.miny = r.eminy;
    b->extent.maxx = r.emaxx;
    b->extent.maxy = r.emaxy;
    b->cdate = r.cdate;
    b->mdate = r.mdate;
    b->band_width = r.width;
    b->band_height = r.height;
    b->block_width = r.block_width;
    b->block_height = r.block_height;
    b->block_origin_x = r.origin_x;
    b->block_origin_y = r.origin_y;
    b->band_types = static_cast<uint32_t>(r.types);
    memset(b->name, 0, sizeof(b->name));
    if (r.name_length != SQL_NULL_DATA)
        memcpy(b->name, r.name, strnlen(r.name, sizeof(r.name) - 1));
    b->rastercolumn_id = rastercolumn_id;
    b->statistics = nullptr;
    b->colormap = nullptr;
    b->bitmap = nullptr;
}

// Records the statement's failure in the stream's record, or the
// connection's. Returns -51.
int32_t S_fail(const CLI_STATEMENT *cli, DB_STREAM *stream = nullptr)
{
    if (stream != nullptr)
        db_cli_save_error_to(cli, db_stream_xerr(stream));
    else
        db_cli_save_error(cli);
    return ZE_DBMS_ERROR;
}

// ---- rows --------------------------------------------------------------------

// The values of an insert or update, bound from here.
struct Values {
    int32_t id, sequence, raster_id, flags, now, width, height, types, block_width, block_height;
    double eminx, eminy, emaxx, emaxy, origin_x, origin_y;
    char name[65];
    SQLLEN name_length;
    explicit Values(const RASTERBAND &b)
        : id(b.rasterband_id), sequence(b.sequence_nbr), raster_id(b.raster_id),
          flags(static_cast<int32_t>(b.band_flags)), now(static_cast<int32_t>(time(nullptr))),
          width(b.band_width), height(b.band_height), types(static_cast<int32_t>(b.band_types)),
          block_width(b.block_width), block_height(b.block_height), eminx(b.extent.minx),
          eminy(b.extent.miny), emaxx(b.extent.maxx), emaxy(b.extent.maxy),
          origin_x(b.block_origin_x), origin_y(b.block_origin_y), name{}
    {
        const size_t n = strnlen(b.name, sizeof(b.name) - 1);
        memcpy(name, b.name, n);
        name_length = n == 0 ? SQL_NULL_DATA : static_cast<SQLLEN>(n);
    }
};

int32_t S_bind_int(CLI_STATEMENT *cli, int32_t *v)
{
    return db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, v, 0, nullptr);
}
int32_t S_bind_double(CLI_STATEMENT *cli, double *v)
{
    return db_cli_bind_by_pos(cli, SQL_C_DOUBLE, SQL_DOUBLE, 0, v, 0, nullptr);
}
int32_t S_bind_name(CLI_STATEMENT *cli, Values *v)
{
    return db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_CHAR, 64, v->name, 0, &v->name_length);
}

// Binds the values in the order of the statement's markers.
int32_t S_bind(CLI_STATEMENT *cli, Values *v, bool insert)
{
    const std::function<int32_t()> insert_steps[] = {
        [&] { return S_bind_int(cli, &v->id); },
        [&] { return S_bind_int(cli, &v->sequence); },
        [&] { return S_bind_int(cli, &v->raster_id); },
        [&] { return S_bind_int(cli, &v->flags); },
        [&] { return S_bind_double(cli, &v->eminx); },
        [&] { return S_bind_double(cli, &v->eminy); },
        [&] { return S_bind_double(cli, &v->emaxx); },
        [&] { return S_bind_double(cli, &v->emaxy); },
        [&] { return S_bind_int(cli, &v->now); },
        [&] { return S_bind_int(cli, &v->now); },
        [&] { return S_bind_name(cli, v); },
        [&] { return S_bind_int(cli, &v->width); },
        [&] { return S_bind_int(cli, &v->height); },
        [&] { return S_bind_int(cli, &v->types); },
        [&] { return S_bind_int(cli, &v->block_width); },
        [&] { return S_bind_int(cli, &v->block_height); },
        [&] { return S_bind_double(cli, &v->origin_x); },
        [&] { return S_bind_double(cli, &v->origin_y); },
    };
    // The update sets everything but the id and cdate.
    for (size_t i = 0; i < sizeof(insert_steps) / sizeof(insert_steps[0]); i++) {
        if (!insert && (i == 0 || i == 8))
            continue;
        const int32_t rc = insert_steps[i]();
        if (rc != 0)
            return rc;
    }
    return 0;
}

// Runs one write of the band's values and commits. 0; duplicate on 23000;
// -51 (recorded).
int32_t S_write(const RASTERBAND *band, bool insert)
{
    std::string table;
    int32_t rc =
        db_rasterband_table(db_make_band_table_name, nullptr, band->rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    std::string sql;
    if (insert)
        sql = "INSERT INTO " + table +
              "   (rasterband_id, sequence_nbr, raster_id, band_flags,   eminx, eminy, emaxx, "
              "emaxy,   cdate, mdate, name, band_width,   band_height, band_types, block_width, "
              "block_height,   block_origin_x, block_origin_y) VALUES   (?, ?, ?, ?,   ?, ?, ?, ?, "
              "  ?, ?, ?, ?,   ?, ?, ?, ?,   ?, ?)";
    else
        sql = "UPDATE " + table +
              " SET sequence_nbr = ?, raster_id = ?, band_flags = ?,    eminx = ?, eminy = ?, "
              "emaxx = ?, emaxy = ?,    mdate = ?, name = ?, band_width = ?, band_height = ?,    "
              "band_types = ?, block_width = ?, block_height = ?,    block_origin_x = ?, "
              "block_origin_y = ? WHERE rasterband_id = " +
              std::to_string(band->rasterband_id);
    Values values(*band);
    DB_CATALOG_CLI s;
    rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0)
        rc = S_bind(&s.cli, &values, insert);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc != 0) {
        S_fail(&s.cli);
        if (db_cli_sqlstate_is(&s.cli, "23000"))
            return insert ? ZE_RASTERBAND_EXISTS : ZE_RASTERBAND_UPDATE_EXISTS;
        return rc;
    }
    return db_odbc_commit();
}

int32_t S_delete(const RASTERBAND *band)
{
    std::string aux, bands;
    int32_t rc = db_rasterband_table(db_make_aux_table_name, nullptr, band->rastercolumn_id, &aux);
    if (rc == 0)
        rc = db_rasterband_table(db_make_band_table_name, nullptr, band->rastercolumn_id, &bands);
    if (rc != 0)
        return rc;
    // A failing tile delete rolls its own batch back before it answers.
    rc = db_rasterband_delete_all_tiles(band);
    if (rc != 0)
        return rc;
    const std::string where = " WHERE rasterband_id = " + std::to_string(band->rasterband_id);
    rc = db_odbc_execute_ddlsql(("DELETE FROM " + aux + where).c_str(), 1, DB_EXEC_NO_COMMIT);
    if (rc == 0)
        rc = db_odbc_execute_ddlsql(("DELETE FROM " + bands + where).c_str(), 1, DB_EXEC_NO_COMMIT);
    if (rc != 0) {
        VES_print_debug(stderr, "Error: DB_rasterband_def_delete (%d)\n", rc);
        const DB_EXT_ERROR failure = db_global_xerr;
        db_odbc_rollback();
        db_global_xerr = failure;
        return ZE_DBMS_ERROR;
    }
    return db_odbc_commit();
}

int32_t S_get_info(DB_STREAM *stream, int32_t rastercolumn_id, int32_t rasterband_id,
                   RASTERBAND *band)
{
    std::string table;
    int32_t rc = db_rasterband_table(db_make_band_table_name, stream, rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    const std::string sql = std::string(S_SELECT) + " FROM " + table +
                            " WHERE rasterband_id = " + std::to_string(rasterband_id);
    DB_CATALOG_CLI s;
    Row row;
    rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0)
        rc = S_define_row(&s.cli, &row);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc == 0)
        rc = S_fetch(&s.cli, &row);
    if (rc == ZE_NO_MORE_ROWS)
        return ZE_RASTERBAND_NOT_FOUND;
    if (rc != 0)
        return S_fail(&s.cli, stream);
    S_copy_out(row, rastercolumn_id, band);
    return 0;
}

// ---- the scan ------------------------------------------------------------------

void S_scan_close()
{
    if (S_scan.open)
        db_cli_free(&S_scan.cli);
    S_scan.open = false;
}

int32_t S_scan_fetch(RASTERBAND *band)
{
    if (!S_scan.open)
        return ZE_NO_MORE_ROWS;
    const int32_t rc = S_fetch(&S_scan.cli, &S_scan.row);
    if (rc != 0) {
        if (rc != ZE_NO_MORE_ROWS)
            S_fail(&S_scan.cli);
        S_scan_close();
        return rc == ZE_NO_MORE_ROWS ? rc : ZE_DBMS_ERROR;
    }
    S_copy_out(S_scan.row, S_scan.rastercolumn_id, band);
    return 0;
}

int32_t S_scan_start(int32_t rastercolumn_id, int32_t raster_id)
{
    S_scan_close();
    std::string table;
    int32_t rc = db_rasterband_table(db_make_band_table_name, nullptr, rastercolumn_id, &table);
    if (rc != 0)
        return rc;
    std::string sql = std::string(S_SELECT) + " FROM " + table;
    if (raster_id != 0)
        sql += " WHERE raster_id = " + std::to_string(raster_id);
    sql += " ORDER BY rasterband_id";
    db_cli_init(&S_scan.cli);
    S_scan.open = true;
    S_scan.rastercolumn_id = rastercolumn_id;
    rc = db_cli_prepare(&S_scan.cli, sql.c_str());
    if (rc == 0)
        rc = S_define_row(&S_scan.cli, &S_scan.row);
    if (rc == 0)
        rc = db_cli_execute_stmt(&S_scan.cli, 1);
    if (rc != 0) {
        S_fail(&S_scan.cli);
        S_scan_close();
        return rc;
    }
    return 0;
}

// ---- one number ------------------------------------------------------------------

// Runs a query of one integer. 0 with *value (*null set for NULL or no
// row); the prepare's code; -51 (recorded).
int32_t S_number(const std::string &sql, int32_t *value, bool *null)
{
    DB_CATALOG_CLI s;
    SQLLEN length = 0;
    *value = 0;
    *null = true;
    int32_t rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc != 0) {
        db_cli_save_error(&s.cli);
        return rc;
    }
    rc = db_cli_define_by_pos(&s.cli, SQL_C_SLONG, value, sizeof(*value), &length);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc == 0)
        rc = db_catalog_fetch(&s.cli);
    if (rc == ZE_NO_MORE_ROWS) {
        *value = 0;
        return 0;
    }
    if (rc != 0)
        return S_fail(&s.cli);
    *null = length == SQL_NULL_DATA;
    if (*null)
        *value = 0;
    return 0;
}

// ---- attached objects --------------------------------------------------------------

// Stores one object of the band: inserted when the band has none of the
// type, else updated. The mask's UPDATE text has no blank before WHERE.
int32_t S_store_object(int32_t rastercolumn_id, int32_t rasterband_id, int32_t type,
                       const unsigned char *block, int32_t length, bool commit,
                       const char *function)
{
    std::string aux;
    int32_t rc = db_rasterband_table(db_make_aux_table_name, nullptr, rastercolumn_id, &aux);
    if (rc != 0)
        return rc;
    const std::string band = std::to_string(rasterband_id), kind = std::to_string(type);
    int32_t found = 0;
    bool none = true;
    rc = S_number("SELECT rasterband_id FROM " + aux + " WHERE rasterband_id = " + band +
                      " AND type = " + kind,
                  &found, &none);
    if (rc != 0) {
        VES_print_debug(stderr, "Error: %s (%d)\n", function, rc);
        return rc;
    }
    const bool insert = found < 1;
    std::string sql;
    if (insert)
        sql = "INSERT INTO " + aux + " (rasterband_id, type, object) VALUES (?, " + kind + ", ?)";
    else
        sql = "UPDATE " + aux + " SET object = ?" + (type == DB_RASTERBAND_OBJECT_MASK ? "" : " ") +
              "WHERE rasterband_id = " + band + " AND type = " + kind;
    DB_CATALOG_CLI s;
    int32_t id = rasterband_id;
    SQLLEN object_length = length;
    rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0 && insert)
        rc = S_bind_int(&s.cli, &id);
    if (rc == 0)
        rc = db_cli_bind_by_pos(&s.cli, SQL_C_BINARY, SQL_LONGVARBINARY,
                                static_cast<SQLULEN>(length), const_cast<unsigned char *>(block),
                                length, &object_length);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc != 0) {
        VES_print_debug(stderr, "Error: %s (%d)\n", function, rc);
        S_fail(&s.cli);
        return db_cli_sqlstate_is(&s.cli, "23000") ? ZE_RASTERBAND_OBJECT_EXISTS : rc;
    }
    return commit ? db_odbc_commit() : 0;
}

// Fetches "SELECT object ..." into buffer. 0 with *length the bytes the
// object holds (more than capacity when it was cut: *cut set); -4 no row;
// -51 (recorded).
int32_t S_fetch_object(CLI_STATEMENT *cli, const std::string &sql, unsigned char *buffer,
                       int32_t capacity, SQLLEN *length, bool *cut)
{
    *cut = false;
    *length = 0;
    int32_t rc = db_cli_prepare(cli, sql.c_str());
    if (rc == 0)
        rc = db_cli_define_by_pos(cli, SQL_C_BINARY, buffer, capacity, length);
    if (rc == 0)
        rc = db_cli_execute_stmt(cli, 1);
    if (rc == 0)
        rc = db_cli_fetch(cli);
    if (rc == ZE_DBMS_ERROR && db_cli_sqlstate_is(cli, "01004")) {
        *cut = true;
        return 0;
    }
    if (rc != 0 && rc != ZE_NO_MORE_ROWS)
        S_fail(cli);
    return rc;
}

std::string S_object_sql(const std::string &aux, int32_t rasterband_id, int32_t type)
{
    return "SELECT object FROM " + aux + " WHERE rasterband_id = " + std::to_string(rasterband_id) +
           " AND type = " + std::to_string(type);
}

struct FreeBlock {
    void operator()(unsigned char *p) const
    {
        free(p);
    }
};
using Block = std::unique_ptr<unsigned char, FreeBlock>;

// The stored length word of a serialised object checked against what was
// fetched: at least the word itself, at most the cap, and equal to the bytes
// the database holds (when the driver tells).
bool S_length_word_fits(const unsigned char *block, SQLLEN fetched)
{
    const int32_t word = VES_rasterband_get_serialized_length(block);
    return word >= 4 && word <= DB_RASTERBAND_OBJECT_MAX &&
           (fetched == SQL_NO_TOTAL || fetched == word);
}

int32_t S_get_object(int32_t rastercolumn_id, int32_t rasterband_id, int32_t type,
                     unsigned char **out, int32_t *out_length)
{
    std::string aux;
    int32_t rc = db_rasterband_table(db_make_aux_table_name, nullptr, rastercolumn_id, &aux);
    if (rc != 0)
        return rc;
    const std::string sql = S_object_sql(aux, rasterband_id, type);
    int32_t capacity = type == DB_RASTERBAND_OBJECT_STATS ? S_STATS_BUFFER : S_COLORMAP_BUFFER;
    Block block(static_cast<unsigned char *>(malloc(static_cast<size_t>(capacity))));
    if (!block)
        return ZE_OUT_OF_MEMORY;
    DB_CATALOG_CLI s;
    SQLLEN length = 0;
    bool cut = false;
    rc = S_fetch_object(&s.cli, sql, block.get(), capacity, &length, &cut);
    if (rc != 0)
        return rc;
    if (length == SQL_NULL_DATA || (!cut && (length < 4 || length > capacity)) ||
        !S_length_word_fits(block.get(), length))
        return ZE_INVALID_BAND_OBJECT;
    if (cut) {
        // Read again into a block of the stored length.
        capacity = VES_rasterband_get_serialized_length(block.get());
        Block bigger(static_cast<unsigned char *>(malloc(static_cast<size_t>(capacity))));
        if (!bigger)
            return ZE_OUT_OF_MEMORY;
        block = std::move(bigger);
        db_cli_close_cursor(&s.cli);
        rc = S_fetch_object(&s.cli, sql, block.get(), capacity, &length, &cut);
        if (rc != 0)
            return rc;
        // The row may have changed between the two reads.
        if (cut || length != capacity || !S_length_word_fits(block.get(), length))
            return ZE_INVALID_BAND_OBJECT;
    }
    *out = block.release();
    *out_length = static_cast<int32_t>(length);
    return 0;
}

int32_t S_get_mask(const RASTERBAND *band, VE_RASTER_BITMAP **bitmap, int32_t *columns,
                   int32_t *rows)
{
    int32_t x_offset = 0, y_offset = 0, first_column = 0, first_row = 0;
    int32_t rc = db_rasterband_tile_range(band, &x_offset, &y_offset, &first_column, &first_row);
    if (rc != 0)
        return rc;
    const int64_t across =
        (static_cast<int64_t>(band->band_width) + x_offset + band->block_width - 1) /
        band->block_width;
    const int64_t down =
        (static_cast<int64_t>(band->band_height) + y_offset + band->block_height - 1) /
        band->block_height;
    if (across < 1 || down < 1 || across > INT32_MAX || down > INT32_MAX)
        return ZE_INVALID_RASTER_MASK;
    *columns = static_cast<int32_t>(across);
    *rows = static_cast<int32_t>(down);
    const int32_t size = VES_raster_bitmap_get_serialized_length(*columns, *rows);
    if (size < 1)
        return ZE_INVALID_RASTER_MASK;
    std::string aux;
    if ((rc = db_rasterband_table(db_make_aux_table_name, nullptr, band->rastercolumn_id, &aux)) !=
        0)
        return rc;
    Block block(static_cast<unsigned char *>(malloc(static_cast<size_t>(size))));
    if (!block)
        return ZE_OUT_OF_MEMORY;
    DB_CATALOG_CLI s;
    SQLLEN length = 0;
    bool cut = false;
    rc = S_fetch_object(&s.cli, S_object_sql(aux, band->rasterband_id, DB_RASTERBAND_OBJECT_MASK),
                        block.get(), size, &length, &cut);
    if (rc == ZE_NO_MORE_ROWS)
        return 0;
    if (rc != 0)
        return rc;
    if (cut || length == SQL_NULL_DATA || length < 0 || length > size)
        return ZE_INVALID_RASTER_MASK;
    *bitmap =
        VES_raster_bitmap_deserialize(block.get(), static_cast<int32_t>(length), *columns, *rows);
    return *bitmap != nullptr ? 0 : ZE_INVALID_RASTER_MASK;
}

int32_t S_set_mask(const RASTERBAND *band, const VE_RASTER_BITMAP *bitmap)
{
    if (bitmap == nullptr) {
        std::string aux;
        int32_t rc =
            db_rasterband_table(db_make_aux_table_name, nullptr, band->rastercolumn_id, &aux);
        if (rc != 0)
            return rc;
        const std::string sql = "DELETE FROM " + aux +
                                " WHERE rasterband_id = " + std::to_string(band->rasterband_id) +
                                " AND type = " + std::to_string(DB_RASTERBAND_OBJECT_MASK);
        rc = db_odbc_execute_ddlsql(sql.c_str(), 1, 1);
        if (rc != 0)
            VES_print_debug(stderr, "Error: DB_rasterband_set_bitmap_mask (%d)\n", rc);
        return rc;
    }
    unsigned char *serialized = nullptr;
    int32_t length = 0;
    int32_t rc = VES_raster_bitmap_serialize(bitmap, &serialized, &length);
    if (rc != 0)
        return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
    Block block(serialized);
    return S_store_object(band->rastercolumn_id, band->rasterband_id, DB_RASTERBAND_OBJECT_MASK,
                          block.get(), length, true, "DB_rasterband_set_bitmap_mask");
}

} // namespace

int32_t db_rasterband_table(DB_TABLE_NAMER namer, DB_STREAM *stream, int32_t rastercolumn_id,
                            std::string *out)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    int32_t rc = namer(stream, rastercolumn_id, name, sizeof(name));
    if (rc == 0)
        rc = db_check_table_name(name);
    *out = name;
    return rc;
}

// ---- entry points ------------------------------------------------------------------

int32_t DB_rasterband_def_insert(DB_INSTANCE *, const RASTERBAND *band)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_write(band, true); });
}

int32_t DB_rasterband_def_update(DB_INSTANCE *, const RASTERBAND *band)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_write(band, false); });
}

int32_t DB_rasterband_def_delete(DB_INSTANCE *, const RASTERBAND *band)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_delete(band); });
}

int32_t DB_rasterband_get_info_by_id(DB_INSTANCE *, DB_STREAM *stream, int32_t rastercolumn_id,
                                     int32_t rasterband_id, RASTERBAND *band)
{
    DB_instance_clear_xerr();
    DB_stream_clear_xerr(stream);
    if (band == nullptr)
        return ZE_NULL_POINTER;
    band->rastercolumn_id = rastercolumn_id;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_get_info(stream, rastercolumn_id, rasterband_id, band); });
}

int32_t DB_rasterband_first(DB_INSTANCE *, int32_t rastercolumn_id, int32_t raster_id,
                            RASTERBAND *band)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc =
        zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_scan_start(rastercolumn_id, raster_id); });
    return rc != 0 ? rc : S_scan_fetch(band);
}

int32_t DB_rasterband_next(DB_INSTANCE *, int32_t, RASTERBAND *band)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return S_scan_fetch(band);
}

int32_t DB_rasterband_get_max_id(DB_INSTANCE *, int32_t rastercolumn_id, uint32_t *max_id)
{
    DB_instance_clear_xerr();
    if (max_id == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string table;
        int32_t rc = db_rasterband_table(db_make_band_table_name, nullptr, rastercolumn_id, &table);
        int32_t value = 0;
        bool null = true;
        if (rc == 0)
            rc = S_number("SELECT MAX(rasterband_id) FROM " + table, &value, &null);
        if (rc == 0)
            *max_id = static_cast<uint32_t>(value);
        return rc;
    });
}

int32_t DB_rasterband_get_count(DB_INSTANCE *, int32_t rastercolumn_id, int32_t raster_id,
                                int32_t *count)
{
    DB_instance_clear_xerr();
    if (count == nullptr)
        return ZE_NULL_POINTER;
    *count = 0;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        std::string table;
        int32_t rc = db_rasterband_table(db_make_band_table_name, nullptr, rastercolumn_id, &table);
        if (rc != 0)
            return rc;
        std::string sql = "SELECT count(rasterband_id) FROM " + table;
        if (raster_id >= 1)
            sql += " WHERE raster_id = " + std::to_string(raster_id);
        bool null = true;
        return S_number(sql, count, &null);
    });
}

int32_t DB_rasterband_set_bitmap_mask(DB_INSTANCE *, const RASTERBAND *band,
                                      const VE_RASTER_BITMAP *bitmap)
{
    DB_instance_clear_xerr();
    if (band == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_set_mask(band, bitmap); });
}

int32_t DB_rasterband_get_bitmap_mask(DB_INSTANCE *, const RASTERBAND *band,
                                      VE_RASTER_BITMAP **bitmap, int32_t *columns, int32_t *rows)
{
    DB_instance_clear_xerr();
    if (bitmap == nullptr || columns == nullptr || rows == nullptr || band == nullptr)
        return ZE_NULL_POINTER;
    *bitmap = nullptr;
    const int32_t rc =
        zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_get_mask(band, bitmap, columns, rows); });
    if (rc != 0)
        VES_print_debug(stderr, "Error: DB_rasterband_get_bitmap_mask (%d)\n", rc);
    return rc;
}

int32_t DB_rasterband_set_serialized_object(DB_INSTANCE *, int32_t rastercolumn_id,
                                            int32_t rasterband_id, int32_t type,
                                            const unsigned char *block, int32_t length,
                                            int32_t commit)
{
    DB_instance_clear_xerr();
    if (type != DB_RASTERBAND_OBJECT_STATS && type != DB_RASTERBAND_OBJECT_COLORMAP)
        return ZE_INVALID_ARGUMENT;
    if (block == nullptr)
        return ZE_NULL_POINTER;
    if (length < 1)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_store_object(rastercolumn_id, rasterband_id, type, block, length, commit != 0,
                              "DB_rasterband_set_serialized_object");
    });
}

int32_t DB_rasterband_get_serialized_object(DB_INSTANCE *, int32_t rastercolumn_id,
                                            int32_t rasterband_id, int32_t type,
                                            unsigned char **block, int32_t *length)
{
    DB_instance_clear_xerr();
    if (type != DB_RASTERBAND_OBJECT_STATS && type != DB_RASTERBAND_OBJECT_COLORMAP)
        return ZE_INVALID_ARGUMENT;
    if (block == nullptr || length == nullptr)
        return ZE_NULL_POINTER;
    *block = nullptr;
    *length = 0;
    const int32_t rc = zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_get_object(rastercolumn_id, rasterband_id, type, block, length);
    });
    if (rc != 0)
        VES_print_debug(stderr, "Error: DB_rasterband_get_serialized_object (%d)\n", rc);
    return rc;
}

int32_t DB_rasterband_set_stats(DB_INSTANCE *instance, const RASTERBAND *band, int32_t commit)
{
    DB_instance_clear_xerr();
    if (band == nullptr || band->statistics == nullptr)
        return ZE_NULL_POINTER;
    unsigned char *serialized = nullptr;
    int32_t length = 0;
    const int32_t rc = VES_rasterband_stats_serialize(band->statistics, &serialized, &length);
    if (rc != 0)
        return rc == ZE_BUFFER_NO_MEMORY ? ZE_OUT_OF_MEMORY : rc;
    Block block(serialized);
    return DB_rasterband_set_serialized_object(instance, band->rastercolumn_id, band->rasterband_id,
                                               DB_RASTERBAND_OBJECT_STATS, block.get(), length,
                                               commit);
}

int32_t db_rasterband_get_stats(DB_INSTANCE *instance, RASTERBAND *band)
{
    if (band == nullptr)
        return ZE_NULL_POINTER;
    unsigned char *serialized = nullptr;
    int32_t length = 0;
    const int32_t rc =
        DB_rasterband_get_serialized_object(instance, band->rastercolumn_id, band->rasterband_id,
                                            DB_RASTERBAND_OBJECT_STATS, &serialized, &length);
    if (rc != 0)
        return rc;
    Block block(serialized);
    VE_RASTERBAND_STATS *stats = VES_rasterband_stats_deserialize(block.get(), length);
    if (stats == nullptr)
        return ZE_INVALID_BAND_OBJECT;
    VES_rasterband_stats_free(band->statistics);
    band->statistics = stats;
    return 0;
}
