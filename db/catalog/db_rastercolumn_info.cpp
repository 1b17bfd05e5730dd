// Raster column records (db_rastercolumn_info.h): the RASTER_COLUMNS row of
// a raster column, outer-joined with its SPATIAL_REFERENCES row, read into a
// row buffer of this file and copied out under the coordinate-reference rule
// of the header; the scan keeps one statement per process between calls.
// The catalogue row is written through the catalogue's routines.
#include "db/catalog/db_rastercolumn_info_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string>

#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_spatial_ref_internal.h"
#include "db/catalog/db_table_access.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream.h"
#include "db/core/db_stream_internal.h"

#define S_SELECT                                                                                   \
    "SELECT rastercolumn_id, rc.description, database_name, owner, table_name, raster_column, "    \
    "cdate, config_keyword, minimum_id, base_rastercolumn_id, rastercolumn_mask, falsex, falsey, " \
    "xyunits, falsez, zunits, falsem, munits, srtext, rc.srid"
// The text buffer a caller's coordinate reference brings, and the row's own.
#define S_SRTEXT_SIZE 1024
#define S_ALL_PRIVILEGES (VE_PRIV_SELECT | VE_PRIV_UPDATE | VE_PRIV_INSERT | VE_PRIV_DELETE)

namespace
{

// One fetched row: the record, the values of its coordinate reference and
// its text, and the length cells of the columns with a NULL rule (the other
// columns share one that is never read). Plain data: copies are safe.
struct Row {
    RASTERCOLUMN rc;
    COORDREF coordref;
    char srtext[S_SRTEXT_SIZE];
    SQLLEN description_length;
    SQLLEN keyword_length;
    SQLLEN minimum_id_length;
    SQLLEN srtext_length;
    SQLLEN shared_length;
};

// The process's one scan.
struct Scan {
    bool open = false;
    CLI_STATEMENT cli{};
    Row row{};
};

Scan S_scan;

} // namespace

static std::string S_from(void)
{
    char raster_columns[DB_QUALIFIED_NAME_SIZE] = "", spatial_refs[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_raster_columns_name(raster_columns, sizeof(raster_columns));
    db_make_spatial_references_name(nullptr, spatial_refs, sizeof(spatial_refs));
    return std::string(S_SELECT) + " FROM " + raster_columns + " rc, OUTER " + spatial_refs + " sr";
}

// Records the statement's failure in the connection's record (and the
// stream's). Returns -51.
static int32_t S_fail(const CLI_STATEMENT *cli, DB_STREAM *stream)
{
    db_cli_save_error(cli);
    db_cli_save_error_to(cli, db_stream_xerr(stream));
    return ZE_DBMS_ERROR;
}

static int32_t S_define_row(CLI_STATEMENT *cli, Row *row)
{
    RASTERCOLUMN &r = row->rc;
    COORDREF &c = row->coordref;
    SQLLEN *shared = &row->shared_length;
    const DB_CATALOG_COLUMN columns[] = {
        {SQL_C_SLONG, &r.rastercolumn_id, sizeof(r.rastercolumn_id), shared},
        {SQL_C_CHAR, r.description, sizeof(r.description), &row->description_length},
        {SQL_C_CHAR, r.database_name, sizeof(r.database_name), shared},
        {SQL_C_CHAR, r.owner, sizeof(r.owner), shared},
        {SQL_C_CHAR, r.table_name, sizeof(r.table_name), shared},
        {SQL_C_CHAR, r.raster_column, sizeof(r.raster_column), shared},
        {SQL_C_SLONG, &r.cdate, sizeof(r.cdate), shared},
        {SQL_C_CHAR, r.config_keyword, sizeof(r.config_keyword), &row->keyword_length},
        {SQL_C_ULONG, &r.minimum_id, sizeof(r.minimum_id), &row->minimum_id_length},
        {SQL_C_SLONG, &r.base_rastercolumn_id, sizeof(r.base_rastercolumn_id), shared},
        {SQL_C_ULONG, &r.rastercolumn_mask, sizeof(r.rastercolumn_mask), shared},
        {SQL_C_DOUBLE, &c.falsex, sizeof(double), shared},
        {SQL_C_DOUBLE, &c.falsey, sizeof(double), shared},
        {SQL_C_DOUBLE, &c.xyunits, sizeof(double), shared},
        {SQL_C_DOUBLE, &c.falsez, sizeof(double), shared},
        {SQL_C_DOUBLE, &c.zunits, sizeof(double), shared},
        {SQL_C_DOUBLE, &c.falsem, sizeof(double), shared},
        {SQL_C_DOUBLE, &c.munits, sizeof(double), shared},
        {SQL_C_CHAR, row->srtext, sizeof(row->srtext), &row->srtext_length},
        {SQL_C_SLONG, &c.srid, sizeof(c.srid), shared},
    };
    return db_catalog_define_columns(cli, columns);
}

// Fetches the next row into the zeroed row. 0; -4 at the end; -51 (only
// truncation counts as success).
static int32_t S_fetch(CLI_STATEMENT *cli, Row *row)
{
    memset(row, 0, sizeof(*row));
    return db_catalog_fetch(cli);
}

// The NULL rules and the copy into the caller's record.
static void S_copy_out(Row *row, RASTERCOLUMN *out)
{
    RASTERCOLUMN result = row->rc;
    if (row->description_length == SQL_NULL_DATA)
        result.description[0] = '\0';
    if (row->keyword_length == SQL_NULL_DATA)
        result.config_keyword[0] = '\0';
    if (row->minimum_id_length == SQL_NULL_DATA)
        result.minimum_id = 1;
    COORDREF *mine = out->coordref;
    result.coordref = nullptr;
    if (row->srtext_length != SQL_NULL_DATA && mine != nullptr && mine->srtext != nullptr) {
        char *buffer = mine->srtext;
        int32_t word = mine->lib_word2;
        *mine = row->coordref;
        mine->srtext = buffer;
        mine->lib_word2 = word;
        size_t n = strnlen(row->srtext, sizeof(row->srtext) - 1);
        while (n > 0 && row->srtext[n - 1] == ' ')
            n--;
        memcpy(buffer, row->srtext, n);
        buffer[n] = '\0';
        result.coordref = mine;
    }
    *out = result;
}

// Privileges of the connection's user, the lookup's result.
static int32_t S_privileges(DB_INSTANCE *instance, RASTERCOLUMN *info)
{
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(instance, user);
    return db_rastercolumn_get_permissions(user, info);
}

using Binder = std::function<int32_t(CLI_STATEMENT *)>;

// Runs one lookup into the caller's record. With unique set, a second row
// gives -247.
static int32_t S_query(DB_INSTANCE *instance, DB_STREAM *stream, const std::string &sql,
                       const Binder &bind, bool unique, RASTERCOLUMN *out)
{
    DB_CATALOG_CLI s;
    Row row;
    int32_t rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0)
        rc = S_define_row(&s.cli, &row);
    if (rc == 0)
        rc = bind(&s.cli);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc == 0)
        rc = S_fetch(&s.cli, &row);
    if (rc == ZE_NO_MORE_ROWS)
        return ZE_RASTERCOLUMN_NOT_FOUND;
    if (rc != 0)
        return S_fail(&s.cli, stream);
    if (unique) {
        Row second;
        rc = S_fetch(&s.cli, &second);
        if (rc == 0)
            return ZE_MULTIPLE_RASTER_COLUMNS;
        if (rc != ZE_NO_MORE_ROWS)
            return S_fail(&s.cli, stream);
    }
    S_copy_out(&row, out);
    return S_privileges(instance, out);
}

static void S_clear_errors(DB_STREAM *stream)
{
    DB_instance_clear_xerr();
    DB_stream_clear_xerr(stream);
}

int32_t DB_rastercolumn_get_info_by_id(DB_INSTANCE *instance, DB_STREAM *stream,
                                       int32_t rastercolumn_id, RASTERCOLUMN *info)
{
    S_clear_errors(stream);
    if (info == nullptr)
        return ZE_NULL_POINTER;
    if (rastercolumn_id < 1)
        return ZE_INVALID_RASTERCOLUMN_ID;
    try {
        std::string sql = S_from() + " WHERE rastercolumn_id = ? AND rc.srid = sr.srid";
        return S_query(
            instance, stream, sql,
            [&](CLI_STATEMENT *cli) {
                return db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, &rastercolumn_id, 0,
                                          nullptr);
            },
            false, info);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

static int32_t S_get_by_name(DB_INSTANCE *instance, DB_STREAM *stream, const char *table,
                             const char *column, const char *default_owner, RASTERCOLUMN *info)
{
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    int32_t rc = db_parse_table_name(instance, table, default_owner, database, owner, name);
    if (rc != 0)
        return rc;
    char raster_column[DB_NAME_COLUMN_SIZE] = "";
    if (column != nullptr) {
        if (strlen(column) >= sizeof(raster_column))
            return ZE_INVALID_ARGUMENT;
        strcpy(raster_column, column);
    }
    const bool has_database = database[0] != '\0';
    std::string sql = S_from() + (has_database ? " WHERE database_name = ? AND" : " WHERE");
    sql += column != nullptr ? " owner = ? AND table_name = ? AND raster_column = ?"
                             : " owner = ? AND table_name = ?";
    sql += " AND rc.srid = sr.srid";
    auto bind = [&](CLI_STATEMENT *cli) {
        int32_t r = 0;
        if (has_database)
            r = db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_CHAR, sizeof(database), database, 0,
                                   nullptr);
        if (r == 0)
            r = db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_CHAR, sizeof(owner), owner, 0, nullptr);
        if (r == 0)
            r = db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_CHAR, sizeof(name), name, 0, nullptr);
        if (r == 0 && column != nullptr)
            r = db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_CHAR, sizeof(raster_column), raster_column,
                                   0, nullptr);
        return r;
    };
    return S_query(instance, stream, sql, bind, column == nullptr, info);
}

int32_t DB_rastercolumn_get_info_by_name(DB_INSTANCE *instance, DB_STREAM *stream,
                                         const char *table, const char *column,
                                         const char *default_owner, RASTERCOLUMN *info)
{
    S_clear_errors(stream);
    if (table == nullptr || table[0] == '\0' || default_owner == nullptr ||
        default_owner[0] == '\0' || info == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_get_by_name(instance, stream, table, column, default_owner, info);
    });
}

// ---- the scan ------------------------------------------------------------------

static void S_scan_close(void)
{
    if (S_scan.open)
        db_cli_free(&S_scan.cli);
    S_scan.open = false;
}

static int32_t S_scan_fetch(DB_INSTANCE *instance, RASTERCOLUMN *info)
{
    if (!S_scan.open)
        return ZE_NO_MORE_ROWS;
    int32_t rc = S_fetch(&S_scan.cli, &S_scan.row);
    if (rc == ZE_NO_MORE_ROWS) {
        S_scan_close();
        return rc;
    }
    if (rc != 0) {
        S_fail(&S_scan.cli, nullptr);
        S_scan_close();
        return ZE_DBMS_ERROR;
    }
    S_copy_out(&S_scan.row, info);
    return S_privileges(instance, info);
}

int32_t DB_rastercolumn_first(DB_INSTANCE *instance, RASTERCOLUMN *info)
{
    DB_instance_clear_xerr();
    if (info == nullptr)
        return ZE_NULL_POINTER;
    S_scan_close();
    try {
        std::string sql = S_from() + " WHERE rc.srid = sr.srid ORDER BY rastercolumn_id";
        db_cli_init(&S_scan.cli);
        S_scan.open = true;
        int32_t rc = db_cli_prepare(&S_scan.cli, sql.c_str());
        if (rc == 0)
            rc = S_define_row(&S_scan.cli, &S_scan.row);
        if (rc == 0)
            rc = db_cli_execute_stmt(&S_scan.cli, 1);
        if (rc != 0) {
            S_fail(&S_scan.cli, nullptr);
            S_scan_close();
            return ZE_DBMS_ERROR;
        }
    } catch (const std::bad_alloc &) {
        S_scan_close();
        return ZE_OUT_OF_MEMORY;
    }
    return S_scan_fetch(instance, info);
}

int32_t DB_rastercolumn_next(DB_INSTANCE *instance, RASTERCOLUMN *info)
{
    if (info == nullptr)
        return ZE_NULL_POINTER;
    return S_scan_fetch(instance, info);
}

// ---- privileges ------------------------------------------------------------------

static int32_t S_get_permissions(const char *user, RASTERCOLUMN *info)
{
    std::string owner(info->owner, strnlen(info->owner, sizeof(info->owner)));
    if (owner == user) {
        info->privileges = S_ALL_PRIVILEGES;
        return 0;
    }
    char table[DB_QUALIFIED_NAME_SIZE] = "", blocks[DB_QUALIFIED_NAME_SIZE] = "";
    std::string database(info->database_name,
                         strnlen(info->database_name, sizeof(info->database_name)));
    std::string name(info->table_name, strnlen(info->table_name, sizeof(info->table_name)));
    db_make_qualified_name(database.c_str(), owner.c_str(), name.c_str(), table, sizeof(table));
    db_make_block_table_name_from_info(info, blocks, sizeof(blocks));
    int32_t table_mask = 0, block_mask = 0;
    int32_t rc = DB_table_get_permissions(nullptr, user, table, &table_mask);
    if (rc == 0)
        rc = DB_table_get_permissions(nullptr, user, blocks, &block_mask);
    if (rc != 0)
        return rc;
    info->privileges = static_cast<uint32_t>(table_mask & block_mask);
    return (info->privileges & VE_PRIV_SELECT) ? 0 : ZE_NO_PERMISSIONS;
}

int32_t db_rastercolumn_get_permissions(const char *user, RASTERCOLUMN *info)
{
    if (user == nullptr || info == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_get_permissions(user, info); });
}

// ---- catalogue rows --------------------------------------------------------------

namespace
{

// A text field bound from a record: its length, or NULL when empty and the
// column takes NULL for empty.
struct TextCell {
    SQLLEN length;
    TextCell(const char *field, size_t size, bool empty_is_null)
    {
        length = static_cast<SQLLEN>(strnlen(field, size));
        if (length == 0 && empty_is_null)
            length = SQL_NULL_DATA;
    }
};

// The twelve values of an insert, in column order.
struct InsertValues {
    int32_t id, cdate, base_id, srid;
    uint32_t minimum_id, mask;
    TextCell description, database, owner, table, column, keyword;
    SQLLEN srid_indicator;
    InsertValues(const RASTERCOLUMN *r, int32_t srid_, bool has_srid)
        : id(r->rastercolumn_id), cdate(static_cast<int32_t>(time(nullptr))),
          base_id(r->base_rastercolumn_id), srid(srid_), minimum_id(r->minimum_id),
          mask(r->rastercolumn_mask), description(r->description, sizeof(r->description), true),
          database(r->database_name, sizeof(r->database_name), false),
          owner(r->owner, sizeof(r->owner), false),
          table(r->table_name, sizeof(r->table_name), false),
          column(r->raster_column, sizeof(r->raster_column), false),
          keyword(r->config_keyword, sizeof(r->config_keyword), true),
          srid_indicator(has_srid ? 0 : SQL_NULL_DATA)
    {
    }
};

} // namespace

static int32_t S_bind_text(CLI_STATEMENT *cli, const char *field, size_t size, TextCell *cell)
{
    return db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_VARCHAR, size, const_cast<char *>(field), 0,
                              &cell->length);
}

static int32_t S_bind_int(CLI_STATEMENT *cli, int32_t *value, SQLLEN *indicator = nullptr)
{
    return db_cli_bind_by_pos(cli, SQL_C_SLONG, SQL_INTEGER, 0, value, 0, indicator);
}

static int32_t S_bind_uint(CLI_STATEMENT *cli, uint32_t *value)
{
    return db_cli_bind_by_pos(cli, SQL_C_ULONG, SQL_INTEGER, 0, value, 0, nullptr);
}

static int32_t S_bind_insert(CLI_STATEMENT *cli, const RASTERCOLUMN *r, InsertValues *v)
{
    const std::function<int32_t()> steps[] = {
        [&] { return S_bind_int(cli, &v->id); },
        [&] { return S_bind_text(cli, r->description, sizeof(r->description), &v->description); },
        [&] { return S_bind_text(cli, r->database_name, sizeof(r->database_name), &v->database); },
        [&] { return S_bind_text(cli, r->owner, sizeof(r->owner), &v->owner); },
        [&] { return S_bind_text(cli, r->table_name, sizeof(r->table_name), &v->table); },
        [&] { return S_bind_text(cli, r->raster_column, sizeof(r->raster_column), &v->column); },
        [&] { return S_bind_int(cli, &v->cdate); },
        [&] { return S_bind_text(cli, r->config_keyword, sizeof(r->config_keyword), &v->keyword); },
        [&] { return S_bind_uint(cli, &v->minimum_id); },
        [&] { return S_bind_int(cli, &v->base_id); },
        [&] { return S_bind_uint(cli, &v->mask); },
        [&] { return S_bind_int(cli, &v->srid, &v->srid_indicator); },
    };
    for (const auto &step : steps) {
        int32_t rc = step();
        if (rc != 0)
            return rc;
    }
    return 0;
}

// "{call <admin>.<routine> (?,...)}" with count markers.
static std::string S_call_text(const char *routine, int count)
{
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_admin_object_name(nullptr, routine, name, sizeof(name));
    std::string markers;
    for (int i = 0; i < count; i++)
        markers += i == 0 ? "?" : ",?";
    return std::string("{call ") + name + " (" + markers + ")}";
}

// Prepares, binds and executes one write. 0; -194 for a duplicate when
// asked; -51 (recorded).
static int32_t S_write(const std::string &sql, const std::function<int32_t(CLI_STATEMENT *)> &bind,
                       bool duplicate_code)
{
    DB_CATALOG_CLI s;
    int32_t rc = db_cli_prepare(&s.cli, sql.c_str());
    if (rc == 0)
        rc = bind(&s.cli);
    if (rc == 0)
        rc = db_cli_execute_stmt(&s.cli, 1);
    if (rc == 0)
        return 0;
    S_fail(&s.cli, nullptr);
    if (duplicate_code && db_cli_sqlstate_is(&s.cli, "23000"))
        return ZE_RASTERCOLUMN_EXISTS;
    return ZE_DBMS_ERROR;
}

// The srid of the record's coordinate reference, found or made.
static int32_t S_srid(const RASTERCOLUMN *info, bool plain, int32_t *srid, bool *has_srid)
{
    *srid = 0;
    *has_srid = info->coordref != nullptr;
    if (!*has_srid)
        return 0;
    return plain ? db_find_srid(info->coordref, srid) : db_sp_find_srid(info->coordref, srid);
}

static int32_t S_insert(const RASTERCOLUMN *info, bool plain)
{
    int32_t srid = 0;
    bool has_srid = false;
    int32_t rc = S_srid(info, plain, &srid, &has_srid);
    if (rc != 0)
        return rc;
    InsertValues values(info, srid, has_srid);
    std::string sql;
    if (plain) {
        char table[DB_QUALIFIED_NAME_SIZE] = "";
        db_make_raster_columns_name(table, sizeof(table));
        sql = std::string("INSERT INTO ") + table +
              "   (rastercolumn_id, description, database_name, owner,   table_name, "
              "raster_column, cdate, config_keyword,   minimum_id, base_rastercolumn_id, "
              "rastercolumn_mask, srid) VALUES   (?, ?, ?, ?,   ?, ?, ?, ?,   ?, ?, ?, ?)";
    } else {
        sql = S_call_text("insert_rastercolumn", 12);
    }
    rc = S_write(
        sql, [&](CLI_STATEMENT *cli) { return S_bind_insert(cli, info, &values); }, true);
    if (rc == 0 && plain)
        rc = db_odbc_commit();
    return rc;
}

int32_t DB_sp_rastercolumn_def_insert(DB_INSTANCE *, const RASTERCOLUMN *info)
{
    DB_instance_clear_xerr();
    if (info == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_insert(info, false); });
}

int32_t db_rastercolumn_def_insert_direct(DB_INSTANCE *, const RASTERCOLUMN *info)
{
    DB_instance_clear_xerr();
    if (info == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_insert(info, true); });
}

int32_t DB_sp_rastercolumn_def_update(DB_INSTANCE *, const RASTERCOLUMN *info)
{
    DB_instance_clear_xerr();
    if (info == nullptr)
        return ZE_NULL_POINTER;
    try {
        int32_t id = info->rastercolumn_id;
        uint32_t minimum_id = info->minimum_id, mask = info->rastercolumn_mask;
        TextCell description(info->description, sizeof(info->description), true);
        TextCell keyword(info->config_keyword, sizeof(info->config_keyword), true);
        return S_write(
            S_call_text("update_rastercolumn", 5),
            [&](CLI_STATEMENT *cli) {
                int32_t rc = S_bind_int(cli, &id);
                if (rc == 0)
                    rc = S_bind_text(cli, info->description, sizeof(info->description),
                                     &description);
                if (rc == 0)
                    rc = S_bind_text(cli, info->config_keyword, sizeof(info->config_keyword),
                                     &keyword);
                if (rc == 0)
                    rc = S_bind_uint(cli, &minimum_id);
                if (rc == 0)
                    rc = S_bind_uint(cli, &mask);
                return rc;
            },
            false);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t DB_sp_rastercolumn_def_delete(DB_INSTANCE *, int32_t rastercolumn_id)
{
    DB_instance_clear_xerr();
    try {
        int32_t rc = S_write(
            S_call_text("delete_rastercolumn", 1),
            [&](CLI_STATEMENT *cli) { return S_bind_int(cli, &rastercolumn_id); }, false);
        return rc == 0 ? db_odbc_commit() : rc;
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t DB_sp_rastercolumn_def_rename(DB_INSTANCE *, int32_t rastercolumn_id, const char *new_table)
{
    DB_instance_clear_xerr();
    if (new_table == nullptr)
        return ZE_NULL_POINTER;
    try {
        if (strnlen(new_table, DB_NAME_TABLE_SIZE) >= DB_NAME_TABLE_SIZE)
            return ZE_INVALID_ARGUMENT;
        std::string table(new_table);
        SQLLEN length = static_cast<SQLLEN>(table.size());
        return S_write(
            S_call_text("rename_rastercolumn", 2),
            [&](CLI_STATEMENT *cli) {
                int32_t rc = S_bind_int(cli, &rastercolumn_id);
                if (rc == 0)
                    rc = db_cli_bind_by_pos(cli, SQL_C_CHAR, SQL_VARCHAR, DB_NAME_TABLE_SIZE,
                                            table.data(), 0, &length);
                return rc;
            },
            false);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t DB_view_rastercolumn_get_ids(DB_INSTANCE *, int32_t, int32_t *, int32_t **)
{
    return 0;
}
