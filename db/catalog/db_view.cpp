// User views (db_view.h, db_view_internal.h): the CREATE VIEW text built in
// one string, then each select expression looked up against its FROM tables
// as a layer's spatial column (the layer cache, db_layer_info.h) and as a
// raster column (db_rastercolumn_info.h); a view whose check fails is
// dropped again, the check's error kept.
#include "db/catalog/db_view_internal.h"

#include <sql.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"

// The view's name for a column: the caller's name at the index, else the
// column's own.
static const char *S_view_name(const DB_VIEW_NAMES &names, int32_t index, const char *column)
{
    if (names.names == nullptr || index < 0 || index >= names.count ||
        names.names[index] == nullptr)
        return column;
    return names.names[index];
}

static void S_store_name(char *out, const char *name)
{
    snprintf(out, DB_VIEW_COLUMN_NAME_SIZE, "%s", name);
}

int32_t db_view_check_column(const char *table, const char *column, const char *owner,
                             const DB_VIEW_FOUND &found, const char *view_column)
{
    const char *name = view_column != nullptr ? view_column : column;
    LAYER *layer = nullptr;
    int32_t rc = DB_layer_get_info_by_table_name(nullptr, nullptr, table, column, owner, &layer);
    if (rc == 0 && layer != nullptr) {
        if (*found.layer_id != 0)
            return ZE_MULTIPLE_SPATIAL_COLUMNS;
        *found.layer_id = layer->layer_id;
        S_store_name(found.spatial_column, name);
        return 0;
    }
    // A look-up that could not be made is the answer: the host would
    // register the view without its layer. A layer the user may not read,
    // or no layer cache, leaves the column a plain one.
    if (rc == ZE_DBMS_ERROR || rc == ZE_OUT_OF_MEMORY)
        return rc;
    if (rc != ZE_LAYER_NOT_FOUND)
        return 0;
    RASTERCOLUMN info;
    memset(&info, 0, sizeof(info));
    rc = DB_rastercolumn_get_info_by_name(nullptr, nullptr, table, column, owner, &info);
    if (rc != 0)
        return rc;
    if (*found.rastercolumn_id != 0)
        return ZE_MULTIPLE_RASTER_COLUMNS;
    *found.rastercolumn_id = info.rastercolumn_id;
    S_store_name(found.raster_column, name);
    return 0;
}

int32_t db_view_expand_star(const char *database, const char *table, const char *owner,
                            const DB_VIEW_FOUND &found, const DB_VIEW_NAMES &view_names,
                            int32_t *index)
{
    std::string sql = "SELECT * FROM ";
    if (database[0] != '\0')
        sql += std::string(database) + ":";
    sql += std::string(owner) + "." + table;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc != 0) {
        db_free_stmt(&hstmt);
        return rc;
    }
    int16_t count = 0;
    DB_COLUMN_DEF *columns = nullptr;
    int32_t *lengths = nullptr;
    int16_t *c_types = nullptr;
    rc = db_describe_select(nullptr, hstmt, &count, &columns, &lengths, &c_types);
    db_free_stmt(&hstmt);
    free(lengths);
    free(c_types);
    if (rc != 0) {
        free(columns);
        return rc;
    }
    int32_t result = ZE_RASTERCOLUMN_NOT_FOUND;
    for (int16_t i = 0; i < count; i++) {
        char name[sizeof(columns[i].name) + 1];
        snprintf(name, sizeof(name), "%.*s",
                 static_cast<int>(strnlen(columns[i].name, sizeof(columns[i].name))),
                 columns[i].name);
        const char *view_column =
            view_names.names != nullptr ? S_view_name(view_names, *index + i, name) : nullptr;
        result = db_view_check_column(table, name, owner, found, view_column);
        if (result == 0)
            break;
        if (result != ZE_RASTERCOLUMN_NOT_FOUND) {
            free(columns);
            return result;
        }
    }
    if (view_names.names != nullptr && count > 0)
        *index += count - 1;
    free(columns);
    return result;
}

// Looks one expression (its parts parsed) up against the FROM tables.
static int32_t S_check_in_from(const char *user, const char *expr_table, const char *column,
                               const VE_SQL_CONSTRUCT *from, const DB_VIEW_FOUND &found,
                               const DB_VIEW_NAMES &view_names, int32_t *index)
{
    const int32_t tables = from != nullptr ? from->num_tables : 0;
    for (int32_t t = 0; t < tables; t++) {
        if (from->tables == nullptr || from->tables[t] == nullptr)
            continue;
        char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE];
        char table[DB_NAME_TABLE_SIZE];
        if (db_parse_table_name(nullptr, from->tables[t], user, database, owner, table) != 0)
            continue;
        if (expr_table[0] != '\0' && strcmp(expr_table, table) != 0)
            continue;
        int32_t rc;
        if (strcmp(column, "*") == 0) {
            rc = db_view_expand_star(database, table, owner, found, view_names, index);
        } else {
            const char *view_column =
                view_names.names != nullptr ? S_view_name(view_names, *index, column) : nullptr;
            rc = db_view_check_column(table, column, owner, found, view_column);
        }
        if (rc != ZE_RASTERCOLUMN_NOT_FOUND)
            return rc;
    }
    return 0;
}

int32_t db_view_find_spatial_columns(int16_t select_column_count, const DB_VIEW_NAMES &view_names,
                                     const char *const *select_columns,
                                     const VE_SQL_CONSTRUCT *from, const DB_VIEW_FOUND &found)
{
    char user[DB_USER_NAME_SIZE] = "";
    DB_instance_get_current_user(nullptr, user);
    int32_t index = 0;
    for (int16_t i = 0; i < select_column_count; i++, index++) {
        const char *expression = select_columns[i];
        char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE];
        char table[DB_NAME_TABLE_SIZE], column[DB_NAME_COLUMN_SIZE];
        // An expression that is no column name (a function call, a
        // constant) names no layer.
        if (db_parse_column_name(nullptr, expression, "", database, owner, table, column) != 0)
            continue;
        if (strchr(expression, ':') == nullptr)
            database[0] = '\0';
        int32_t rc;
        if (owner[0] != '\0') {
            if (strcmp(column, "*") == 0) {
                rc = db_view_expand_star(database, table, owner, found, view_names, &index);
            } else {
                const char *view_column =
                    view_names.names != nullptr ? S_view_name(view_names, index, column) : nullptr;
                rc = db_view_check_column(table, column, owner, found, view_column);
            }
            if (rc != 0 && rc != ZE_RASTERCOLUMN_NOT_FOUND)
                return rc;
        } else {
            rc = S_check_in_from(user, table, column, from, found, view_names, &index);
            if (rc != 0)
                return rc;
        }
    }
    return 0;
}

// ---- creation and drop -----------------------------------------------------------

// The names that go into the text unquoted: the view's, its columns' and
// the FROM tables', and the client's condition. 0; -65; -66; -322.
static int32_t S_check_names(const char *view_name, int16_t count, const char *const *names,
                             const VE_SQL_CONSTRUCT *from)
{
    int32_t rc = db_check_name(view_name, DB_NAME_TABLE_SIZE);
    for (int16_t i = 0; rc == 0 && names != nullptr && i < count; i++)
        rc = names[i] != nullptr ? db_check_name(names[i], DB_NAME_COLUMN_SIZE) : ZE_NULL_POINTER;
    for (int32_t i = 0; rc == 0 && i < from->num_tables; i++)
        rc = db_check_table_name(from->tables[i]);
    if (rc == 0)
        rc = db_sql_client_condition(from->where, nullptr);
    return rc;
}

// Appends " item," for each item and cuts the last comma.
static void S_append_list(std::string *sql, int32_t count, const char *const *items)
{
    for (int32_t i = 0; i < count; i++)
        *sql += std::string(" ") + items[i] + ",";
    if (count > 0)
        sql->pop_back();
}

static std::string S_create_text(const char *view_name, int16_t view_column_count,
                                 int16_t select_column_count, const char *const *view_columns,
                                 const char *const *select_columns, const VE_SQL_CONSTRUCT *from)
{
    std::string sql = std::string("CREATE VIEW ") + view_name;
    if (view_columns != nullptr && view_column_count > 0) {
        sql += " ( ";
        S_append_list(&sql, view_column_count, view_columns);
        sql += ")";
    }
    sql += " AS SELECT ";
    S_append_list(&sql, select_column_count, select_columns);
    sql += " FROM ";
    S_append_list(&sql, from->num_tables, from->tables);
    const char *condition = db_sql_skip_where(from->where); // checked with the names
    if (condition != nullptr)
        sql += std::string(" WHERE ") + condition;
    return sql;
}

// Runs the CREATE VIEW, committed. 0 or the code of the failure.
static int32_t S_create(const std::string &sql, const char *view_name)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_open_cursor(nullptr, &hstmt); // a failure is recorded
    if (rc != 0) {
        db_free_stmt(&hstmt);
        return ZE_DBMS_ERROR;
    }
    rc = db_prepare_stmt(nullptr, &hstmt, sql.c_str());
    if (rc != 0) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &hstmt, rc);
        db_free_stmt(&hstmt);
        fprintf(stderr, "DB_table_create_view() Execute error (%d).\n", rc);
        db_set_xerr_from_diag(diag);
        return ZE_DBMS_ERROR;
    }
    rc = db_execute_stmt(&hstmt, 1, 0);
    if (rc == 0 || rc == ZE_TABLE_NOT_FOUND || rc == ZE_COLUMN_NOT_FOUND || rc == ZE_VIEW_EXISTS) {
        db_free_stmt(&hstmt);
        return rc;
    }
    VES_print_debug(stderr, "DB_table_create_view() Execute Error (%d)\n", rc);
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &hstmt, rc);
    db_free_stmt(&hstmt);
    db_set_xerr_from_diag(diag);
    db_xerr_append_text(view_name);
    return ZE_DBMS_ERROR;
}

static int32_t S_create_view(const char *view_name, int16_t view_column_count,
                             int16_t select_column_count, const char *const *view_columns,
                             const char *const *select_columns, const VE_SQL_CONSTRUCT *from,
                             const DB_VIEW_FOUND &found)
{
    int32_t rc = S_check_names(view_name, view_column_count, view_columns, from);
    if (rc != 0)
        return rc;
    rc = S_create(S_create_text(view_name, view_column_count, select_column_count, view_columns,
                                select_columns, from),
                  view_name);
    if (rc != 0)
        return rc;
    const DB_VIEW_NAMES names{view_columns != nullptr ? view_column_count : 0, view_columns};
    rc = db_view_find_spatial_columns(select_column_count, names, select_columns, from, found);
    if (rc != 0) {
        // The caller sees the check's error, not the drop's.
        DB_EXT_ERROR kept;
        DB_instance_get_xerr(&kept);
        DB_view_drop(nullptr, view_name);
        db_global_xerr = kept;
    }
    return rc;
}

int32_t DB_table_create_view(DB_INSTANCE *, const char *view_name, int16_t view_column_count,
                             int16_t select_column_count, const char *const *view_columns,
                             const char *const *select_columns, const VE_SQL_CONSTRUCT *from,
                             int32_t *layer_id, char *spatial_column, int32_t *rastercolumn_id,
                             char *raster_column)
{
    DB_instance_clear_xerr();
    if (view_name == nullptr || select_columns == nullptr || from == nullptr ||
        (from->num_tables > 0 && from->tables == nullptr) || layer_id == nullptr ||
        spatial_column == nullptr || rastercolumn_id == nullptr || raster_column == nullptr)
        return ZE_NULL_POINTER;
    for (int16_t i = 0; i < select_column_count; i++)
        if (select_columns[i] == nullptr)
            return ZE_NULL_POINTER;
    for (int32_t i = 0; i < from->num_tables; i++)
        if (from->tables[i] == nullptr)
            return ZE_NULL_POINTER;
    const DB_VIEW_FOUND found{layer_id, spatial_column, rastercolumn_id, raster_column};
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&] {
        return S_create_view(view_name, view_column_count, select_column_count, view_columns,
                             select_columns, from, found);
    });
}

int32_t DB_view_drop(DB_INSTANCE *, const char *view_name)
{
    DB_instance_clear_xerr();
    if (view_name == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_check_name(view_name, DB_NAME_TABLE_SIZE);
    if (rc != 0)
        return rc;
    try {
        std::string name(view_name);
        db_identifier_to_upper(nullptr, name.data(), static_cast<int32_t>(name.size() + 1));
        rc = db_execute_ddlsql(("DROP VIEW " + name).c_str(), 0, 3);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
    switch (rc) {
    case 0:
    case SQL_SUCCESS_WITH_INFO:
        return 0;
    case SQL_NO_DATA:
        return ZE_OBJECT_NOT_FOUND;
    case ZE_OBJECT_NOT_FOUND:
    case ZE_TABLE_NOT_FOUND:
    case ZE_NO_PERMISSIONS:
        return rc;
    default:
        return ZE_DBMS_ERROR;
    }
}
