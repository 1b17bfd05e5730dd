// Table description (db_table_describe.h, db_table_describe_internal.h): the
// DBMS's description of a prepared SELECT * (db/core/db_describe_internal.h)
// with the hidden row-id column removed and the row-id, spatial and raster
// columns marked. The spatial column comes from the layer cache when the
// layer is cached there, else from the layer catalogue in one query for all
// candidate columns.
#include "db/catalog/db_table_describe_internal.h"

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <new>
#include <string>

#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_layer_internal.h"

#define S_ROW_ID_COLUMN "VE_ROW_ID"

static void S_mark_shape(DB_COLUMN_DEF *c)
{
    if (c->type == VE_BLOB || c->type == VE_SHAPE)
        c->type = VE_SHAPE;
    c->size = 0;
    c->decimal_digits = 0;
}

static bool S_candidate(const DB_COLUMN_DEF &c)
{
    return c.type == VE_BLOB || c.type == VE_SHAPE || (c.type >= VE_POINT && c.type <= VE_GEOMETRY);
}

// The column's name as a terminated text.
static std::string S_name(const DB_COLUMN_DEF &c)
{
    return std::string(c.name, strnlen(c.name, sizeof(c.name)));
}

// Reads the spatial column the layer catalogue names among the candidates
// and marks the blobs of that name. 0; 100 when no row; -51 recorded.
static int32_t S_mark_from_catalogue(int32_t count, DB_COLUMN_DEF *columns, const char *database,
                                     char *owner, char *table)
{
    db_identifier_to_lower(nullptr, owner, DB_NAME_OWNER_SIZE, 1);
    db_identifier_to_lower(nullptr, table, DB_NAME_TABLE_SIZE, 1);
    char layers[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_layers_table_name(nullptr, layers, sizeof(layers));
    std::string sql = std::string("SELECT spatial_column FROM ") + layers + " WHERE ";
    if (database[0] != '\0')
        sql += "database_name = '" + db_quote_literal(database) + "' AND ";
    sql += "table_name = '" + db_quote_literal(table) + "' AND owner = '" +
           db_quote_literal(owner) + "' AND (";
    for (int32_t i = 0; i < count; i++)
        if (S_candidate(columns[i]))
            sql += " spatial_column = '" + db_quote_literal(S_name(columns[i])) + "' OR ";
    sql.resize(sql.size() - 4);
    sql += ")";

    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    char found[DB_NAME_COLUMN_SIZE] = "";
    SQLLEN length = 0;
    int32_t prepared = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (prepared != 0)
        return prepared;
    SQLRETURN rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindCol(hstmt, 1, SQL_C_CHAR, found, sizeof(found), &length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(hstmt);
    if (rc == SQL_NO_DATA) {
        db_free_stmt(&hstmt);
        return 0;
    }
    if (!SQL_SUCCEEDED(rc))
        return db_catalog_fail(nullptr, &hstmt, rc);
    db_free_stmt(&hstmt);
    found[sizeof(found) - 1] = '\0';
    for (size_t n = strlen(found); n > 0 && found[n - 1] == ' '; n--)
        found[n - 1] = '\0';
    for (int32_t i = 0; i < count; i++)
        if (columns[i].type == VE_BLOB && S_name(columns[i]) == found)
            S_mark_shape(&columns[i]);
    return 0;
}

static int32_t S_mark_spatial(int32_t count, DB_COLUMN_DEF *columns, const char *table)
{
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(nullptr, user);
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    int32_t rc = db_parse_table_name(nullptr, table, user, database, owner, name);
    if (rc != 0)
        return rc;
    bool any = false;
    for (int32_t i = 0; i < count; i++) {
        DB_COLUMN_DEF &c = columns[i];
        if (!S_candidate(c))
            continue;
        any = true;
        if (db_layer_cache_contains(nullptr, database, owner, name, S_name(c).c_str())) {
            S_mark_shape(&c);
            return 0;
        }
    }
    if (!any)
        return 0;
    return S_mark_from_catalogue(count, columns, database, owner, name);
}

int32_t db_table_mark_spatial_columns(int32_t count, DB_COLUMN_DEF *columns, const char *table,
                                      SQLHSTMT)
{
    if (columns == nullptr || table == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] { return S_mark_spatial(count, columns, table); });
}

int32_t db_table_describe_mark_raster(int32_t count, DB_COLUMN_DEF *columns, const char *table)
{
    if (columns == nullptr || table == nullptr)
        return ZE_NULL_POINTER;
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(nullptr, user);
    RASTERCOLUMN info;
    memset(&info, 0, sizeof(info));
    int32_t rc = DB_rastercolumn_get_info_by_name(nullptr, nullptr, table, nullptr, user, &info);
    if (rc != 0)
        return rc;
    for (int32_t i = 0; i < count; i++) {
        DB_COLUMN_DEF &c = columns[i];
        if (c.type == VE_INTEGER && strncasecmp(c.name, info.raster_column, sizeof(c.name)) == 0) {
            c.type = VE_RASTER;
            c.size = 0;
            c.decimal_digits = 0;
        }
    }
    return 0;
}

void db_table_describe_drop_row_id_column(int16_t *count, DB_COLUMN_DEF *columns)
{
    if (count == nullptr || columns == nullptr)
        return;
    int16_t n = *count;
    int16_t at = 0;
    while (at < n && strncasecmp(columns[at].name, S_ROW_ID_COLUMN, sizeof(columns[at].name)) != 0)
        at++;
    if (at == n)
        return;
    for (int16_t i = at; i + 1 < n; i++) {
        int16_t kind = columns[i].rowid_kind;
        columns[i] = columns[i + 1];
        columns[i].rowid_kind = kind;
    }
    *count = static_cast<int16_t>(n - 1);
}

// The spatial column of a table without a layer registration: the one the
// layer catalogue names, as a shape.
static int32_t S_mark_catalogue_column(int16_t count, DB_COLUMN_DEF *columns, const char *table)
{
    char spatial[DB_NAME_COLUMN_SIZE] = "";
    int32_t rc = db_get_spatial_column_name(table, spatial);
    if (rc != 0 || spatial[0] == '\0')
        return rc;
    for (int16_t i = 0; i < count; i++)
        if (columns[i].type == VE_BLOB &&
            strncasecmp(columns[i].name, spatial, sizeof(columns[i].name)) == 0)
            S_mark_shape(&columns[i]);
    return 0;
}

static int32_t S_describe(const char *table, const REGISTRATION *registration, int16_t *count,
                          DB_COLUMN_DEF **columns)
{
    int32_t checked = db_check_table_name(table);
    if (checked != 0)
        return checked;
    std::string sql = std::string("SELECT * FROM ") + table;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    if (db_open_cursor(nullptr, &hstmt) != 0) {
        db_free_stmt(&hstmt); // the open recorded its diagnostic
        return ZE_DBMS_ERROR;
    }
    int rc = db_prepare_stmt(nullptr, &hstmt, sql.c_str());
    if (rc != 0) {
        CLI_DIAG_RECORD diag;
        db_catalog_fail(nullptr, &hstmt, rc, &diag);
        return strcmp(diag.sqlstate, "S0002") == 0 ? ZE_TABLE_NOT_FOUND : ZE_DBMS_ERROR;
    }
    int32_t *lengths = nullptr;
    int16_t *c_types = nullptr;
    int32_t status = db_describe_select(nullptr, hstmt, count, columns, &lengths, &c_types);
    free(lengths);
    free(c_types);
    if (status == 0) {
        db_table_describe_drop_row_id_column(count, *columns);
        db_describe_set_rowid_kinds(registration, *count, *columns, 0);
        uint32_t flags = registration != nullptr ? registration->object_flags : 0;
        if (flags & REG_LAYER)
            status = db_table_mark_spatial_columns(*count, *columns, table, hstmt);
        else
            status = S_mark_catalogue_column(*count, *columns, table);
        if (status == 0 && (flags & REG_RASTER_COLUMN))
            status = db_table_describe_mark_raster(*count, *columns, table);
    }
    db_free_stmt(&hstmt);
    return status;
}

int32_t DB_table_describe(DB_INSTANCE *, const char *table, const REGISTRATION *registration,
                          int16_t *count, DB_COLUMN_DEF **columns)
{
    if (table == nullptr || count == nullptr || columns == nullptr)
        return ZE_NULL_POINTER;
    *count = 0;
    *columns = nullptr;
    int32_t rc;
    try {
        rc = S_describe(table, registration, count, columns);
    } catch (const std::bad_alloc &) {
        rc = ZE_OUT_OF_MEMORY;
    }
    if (rc != 0) {
        free(*columns);
        *columns = nullptr;
        *count = 0;
    }
    return rc;
}
