// Layer records read from the catalogue (db_layer_info_internal.h): the layer
// SELECT bound into a LAYER, the single-row fetch behind the layer cache, the
// current user's privilege mask on a table, a layer's privileges, the walk
// over every layer of the database and the by-name read without the cache.
// The access-info statement and the walk's cursor are process state: one
// server process has one database thread.
#include "db/catalog/db_layer_info_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <new>

#include "base/util/ve_debug_internal.h"
#include "base/util/ve_name_check.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/catalog/db_table_access_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

namespace
{

// The current user's rows of systabauth for one table: the user's own, PUBLIC's
// and those of the user's roles.
const char *const kAccessSql =
    "SELECT tabauth from informix.systabauth au,informix.systables tab   where au.tabid = "
    "tab.tabid and tab.owner = ?    and tab.tabname = ?    and (au.grantee = ? or au.grantee = "
    "'public' or    (au.grantee in (select rolename from informix.sysroleauth rol     where "
    "rol.grantee = ?)))";

constexpr SQLLEN kTabauthSize = 11; // ten letters and the NUL

// The kept access-info statement and the buffers its parameters and column
// are bound to.
struct AccessInfo {
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    bool prepared = false;
    char owner[DB_NAME_OWNER_SIZE];
    char table[DB_NAME_TABLE_SIZE];
    char user[DB_USER_NAME_SIZE];
    char tabauth[kTabauthSize];
    SQLLEN nts[4];
    SQLLEN tabauth_length;
};
AccessInfo S_access;

// The open walk of DB_layer_first and DB_layer_next; its row is bound to the
// cursor, so it stays where it is.
struct Walk {
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    bool open = false;
    DB_LAYER_ROW row;
};
Walk S_walk;

bool S_has_coordref(const LAYER *layer)
{
    return layer != nullptr && layer->coordref != nullptr && layer->coordref->srtext != nullptr;
}

void S_walk_close()
{
    db_free_stmt(&S_walk.hstmt);
    S_walk.open = false;
}

} // namespace

// ---- the bound row ---------------------------------------------------------------

void db_layer_row_init(DB_LAYER_ROW *row)
{
    memset(row, 0, sizeof(*row));
    row->layer.coordref = &row->coordref;
    row->coordref.srtext = row->srtext;
}

void db_layer_row_clear(DB_LAYER_ROW *row)
{
    memset(&row->layer, 0, sizeof(row->layer));
    memset(&row->coordref, 0, sizeof(row->coordref));
    row->srtext[0] = '\0';
    row->layer.coordref = &row->coordref;
    row->coordref.srtext = row->srtext;
}

std::string db_layer_select_from(DB_INSTANCE *instance, const char *separator)
{
    char layers[DB_QUALIFIED_NAME_SIZE] = "";
    char references[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_layers_table_name(instance, layers, sizeof(layers));
    db_make_spatial_references_name(instance, references, sizeof(references));
    return std::string(DB_LAYER_SELECT) + " FROM " + layers + " ly," + separator + references +
           " sr";
}

int32_t db_layer_bind_info(SQLHSTMT *hstmt, LAYER *layer, DB_LAYER_INDICATORS *ind)
{
    if (hstmt == nullptr || !S_has_coordref(layer) || ind == nullptr)
        return ZE_NULL_POINTER;
    COORDREF *cr = layer->coordref;
    layer->database_name[0] = '\0';
    struct Bind {
        SQLSMALLINT type;
        SQLPOINTER buffer;
        SQLLEN size;
        SQLLEN *length;
    };
    const Bind binds[] = {
        {SQL_C_LONG, &layer->layer_id, 0, &ind->shared},
        {SQL_C_CHAR, layer->description, sizeof(layer->description), &ind->description},
        {SQL_C_DOUBLE, &layer->minx, 0, &ind->shared},
        {SQL_C_DOUBLE, &layer->miny, 0, &ind->shared},
        {SQL_C_DOUBLE, &layer->maxx, 0, &ind->shared},
        {SQL_C_DOUBLE, &layer->maxy, 0, &ind->shared},
        {SQL_C_LONG, &layer->eflags, 0, &ind->shared},
        {SQL_C_LONG, &layer->layer_mask, 0, &ind->shared},
        {SQL_C_CHAR, layer->database_name, sizeof(layer->database_name), &ind->database_name},
        {SQL_C_CHAR, layer->table_name, sizeof(layer->table_name), &ind->shared},
        {SQL_C_CHAR, layer->owner, sizeof(layer->owner), &ind->shared},
        {SQL_C_CHAR, layer->spatial_column, sizeof(layer->spatial_column), &ind->shared},
        {SQL_C_LONG, &layer->cdate, 0, &ind->shared},
        {SQL_C_CHAR, layer->layer_config, sizeof(layer->layer_config), &ind->layer_config},
        {SQL_C_LONG, &layer->optimal_array_size, 0, &ind->optimal_array_size},
        {SQL_C_LONG, &layer->stats_date, 0, &ind->stats_date},
        {SQL_C_LONG, &layer->minimum_id, 0, &ind->minimum_id},
        {SQL_C_LONG, &layer->base_layer_id, 0, &ind->shared},
        {SQL_C_DOUBLE, &cr->falsex, 0, &ind->shared},
        {SQL_C_DOUBLE, &cr->falsey, 0, &ind->shared},
        {SQL_C_DOUBLE, &cr->xyunits, 0, &ind->shared},
        {SQL_C_DOUBLE, &cr->falsez, 0, &ind->shared},
        {SQL_C_DOUBLE, &cr->zunits, 0, &ind->shared},
        {SQL_C_DOUBLE, &cr->falsem, 0, &ind->shared},
        {SQL_C_DOUBLE, &cr->munits, 0, &ind->shared},
        {SQL_C_CHAR, cr->srtext, LAYER_SRTEXT_SIZE, &ind->shared},
        {SQL_C_LONG, &cr->srid, 0, &ind->shared},
    };
    SQLUSMALLINT column = 1;
    for (const Bind &b : binds) {
        SQLRETURN rc = SQLBindCol(*hstmt, column++, b.type, b.buffer, b.size, b.length);
        if (!SQL_SUCCEEDED(rc)) {
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, hstmt, rc);
            db_free_stmt(hstmt);
            db_set_xerr_from_diag(diag);
            return ZE_DBMS_ERROR;
        }
    }
    return 0;
}

void db_layer_apply_null_rules(LAYER *layer, const DB_LAYER_INDICATORS *ind, bool database_rule)
{
    if (ind->layer_config == SQL_NULL_DATA)
        layer->layer_config[0] = '\0';
    if (ind->description == SQL_NULL_DATA)
        layer->description[0] = '\0';
    if (ind->optimal_array_size == SQL_NULL_DATA)
        layer->optimal_array_size = 0;
    if (ind->stats_date == SQL_NULL_DATA)
        layer->stats_date = 0;
    if (ind->minimum_id == SQL_NULL_DATA || layer->minimum_id == 0)
        layer->minimum_id = 1;
    if (database_rule && ind->database_name == SQL_NULL_DATA)
        layer->database_name[0] = '\0';
    if (layer->coordref != nullptr && layer->coordref->srtext != nullptr)
        VES_RemoveSpaces(layer->coordref->srtext);
    layer->grid_size[0] = layer->grid_size[1] = layer->grid_size[2] = 0.0;
}

void db_layer_copy(LAYER *destination, const LAYER *source)
{
    if (destination == nullptr || source == nullptr || destination == source)
        return;
    COORDREF *own = destination->coordref;
    *destination = *source;
    destination->coordref = own;
    const COORDREF *from = source->coordref;
    if (own == nullptr || from == nullptr || own == from)
        return;
    char *text = own->srtext;
    *own = *from;
    own->srtext = text;
    if (text == nullptr)
        return;
    if (from->srtext == nullptr) {
        text[0] = '\0';
        return;
    }
    size_t n = strnlen(from->srtext, LAYER_SRTEXT_SIZE - 1);
    memmove(text, from->srtext, n);
    text[n] = '\0';
}

// ---- one layer --------------------------------------------------------------------

int32_t db_layer_get_info(DB_INSTANCE *instance, DB_STREAM *stream, const char *sql, LAYER **layer,
                          int32_t mode, int32_t into_cache)
{
    if (sql == nullptr || layer == nullptr || (!into_cache && !S_has_coordref(*layer)))
        return ZE_NULL_POINTER;
    DB_LAYER_ROW row;
    db_layer_row_init(&row);
    db_stmt_guard stmt;
    SQLHSTMT &hstmt = stmt.h;
    int32_t rc = db_catalog_prepare(stream, &hstmt, sql);
    if (rc != 0)
        return rc;
    rc = db_layer_bind_info(&hstmt, &row.layer, &row.indicators);
    if (rc != 0)
        return rc;
    SQLULEN fetched = 0;
    rc = db_execute_and_fetch(&hstmt, 1, 1, &fetched);
    if (rc != 0) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &hstmt, rc);
        if (rc == DB_NO_MORE_DATA) {
            if (strcmp(diag.sqlstate, "S0002") != 0)
                return ZE_LAYER_NOT_FOUND;
            VES_print_debug(stderr, "db_layer_get_info() Execute/Fetch error (%s).\n",
                            diag.sqlstate);
            return ZE_NO_PERMISSIONS;
        }
        VES_print_debug(stderr, "db_layer_get_info ODBCExecute/Fetch error (%s).\n", diag.sqlstate);
        db_catalog_record(stream, diag);
        return ZE_DBMS_ERROR;
    }
    db_layer_apply_null_rules(&row.layer, &row.indicators, true);
    db_free_stmt(&hstmt);
    if (into_cache)
        return db_layer_cache_put(instance, stream, &row.layer, layer, mode);
    db_layer_copy(*layer, &row.layer);
    return 0;
}

// ---- privileges --------------------------------------------------------------------

// Prepares the access-info statement and binds it to the process buffers.
static int32_t S_access_prepare()
{
    db_free_stmt(&S_access.hstmt);
    int32_t rc = db_prepare_cursor(nullptr, &S_access.hstmt, kAccessSql, 0);
    if (rc != 0)
        return rc;
    struct Param {
        char *buffer;
        SQLULEN column_size;
        SQLLEN buffer_size;
    };
    const Param params[] = {
        {S_access.owner, 32, sizeof(S_access.owner)},
        {S_access.table, 160, sizeof(S_access.table)},
        {S_access.user, 32, sizeof(S_access.user)},
        {S_access.user, 32, sizeof(S_access.user)},
    };
    SQLUSMALLINT n = 1;
    for (const Param &p : params) {
        S_access.nts[n - 1] = SQL_NTS;
        SQLRETURN r =
            SQLBindParameter(S_access.hstmt, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR,
                             p.column_size, 0, p.buffer, p.buffer_size, &S_access.nts[n - 1]);
        if (!SQL_SUCCEEDED(r))
            return r;
        n++;
    }
    SQLRETURN r =
        SQLSetStmtAttr(S_access.hstmt, SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    if (SQL_SUCCEEDED(r))
        r = SQLBindCol(S_access.hstmt, 1, SQL_C_CHAR, S_access.tabauth, kTabauthSize,
                       &S_access.tabauth_length);
    if (!SQL_SUCCEEDED(r))
        return r;
    S_access.prepared = true;
    return 0;
}

void db_access_info_close(DB_INSTANCE *)
{
    db_free_stmt(&S_access.hstmt);
    S_access.prepared = false;
}

int32_t db_get_access_info_table(DB_INSTANCE *instance, DB_STREAM *stream, const char *table,
                                 int32_t *mask)
{
    if (table == nullptr || mask == nullptr)
        return ZE_NULL_POINTER;
    *mask = 0;
    char user[DB_USER_NAME_SIZE];
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    DB_instance_get_current_user(instance, user);
    int32_t rc = db_parse_table_name(instance, table, user, database, owner, name);
    if (rc != 0)
        return rc;
    if (strcmp(owner, user) == 0) {
        *mask = VE_PRIV_ALL;
        return 0;
    }
    db_identifier_to_lower(nullptr, name, sizeof(name), 1);
    rc = S_access.prepared ? 0 : S_access_prepare();
    SQLRETURN cli = SQL_SUCCESS;
    if (rc == 0) {
        memcpy(S_access.owner, owner, sizeof(owner));
        memcpy(S_access.table, name, sizeof(name));
        memcpy(S_access.user, user, sizeof(user));
        SQLFreeStmt(S_access.hstmt, SQL_CLOSE);
        cli = SQLExecute(S_access.hstmt);
        while (SQL_SUCCEEDED(cli)) {
            S_access.tabauth[0] = '\0';
            cli = SQLFetch(S_access.hstmt);
            if (SQL_SUCCEEDED(cli))
                *mask |= db_privileges_from_tabauth(S_access.tabauth, sizeof(S_access.tabauth));
        }
        if (cli == SQL_NO_DATA)
            return *mask != 0 ? 0 : ZE_NO_PERMISSIONS;
        rc = cli;
    }
    fprintf(stderr, "Error in db_get_access_info_table (%s)\n", table);
    S_access.prepared = false;
    *mask = 0;
    return db_catalog_fail(stream, &S_access.hstmt, rc);
}

int32_t db_layer_info_get_privileges(DB_INSTANCE *instance, DB_STREAM *stream, LAYER *layer)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    char name[DB_QUALIFIED_NAME_SIZE] = "";
    db_make_qualified_name_from_info(layer, name, sizeof(name));
    int32_t table_mask = 0;
    int32_t rc = db_get_access_info_table(instance, stream, name, &table_mask);
    if (rc == 0 && !(table_mask & VE_PRIV_SELECT))
        rc = ZE_NO_PERMISSIONS;
    uint32_t privileges = static_cast<uint32_t>(table_mask);
    // A layer not stored in the spatial type also needs the privileges on
    // its side table, named by the access core.
    if (rc == 0 && !(layer->eflags & LAYER_SPATIAL)) {
        char side[DB_QUALIFIED_NAME_SIZE] = "";
        db_make_empty_layer_name(layer, side, sizeof(side), 0);
        int32_t side_mask = 0;
        rc = db_get_access_info_table(instance, stream, side, &side_mask);
        privileges &= static_cast<uint32_t>(side_mask);
    }
    db_access_info_close(instance);
    if (rc != 0)
        return rc;
    if (layer->eflags & LAYER_SELECT_ONLY)
        privileges &= VE_PRIV_SELECT;
    layer->privileges = privileges;
    return 0;
}

// ---- the walk ----------------------------------------------------------------------

// Fetches the walk's next row into the caller's record with its privileges.
static int32_t S_walk_fetch(DB_INSTANCE *instance, LAYER *layer)
{
    db_layer_row_clear(&S_walk.row);
    SQLULEN fetched = 0;
    int32_t rc = db_fetch_rows(&S_walk.hstmt, 1, &fetched);
    if (rc == DB_NO_MORE_DATA) {
        S_walk_close();
        db_access_info_close(instance);
        return ZE_NO_MORE_ROWS;
    }
    if (rc != 0) {
        S_walk.open = false;
        return db_catalog_fail(nullptr, &S_walk.hstmt, rc);
    }
    LAYER *row = &S_walk.row.layer;
    db_layer_apply_null_rules(row, &S_walk.row.indicators, true);
    db_identifier_to_lower(nullptr, row->database_name, sizeof(row->database_name), 1);
    db_identifier_to_lower(nullptr, row->table_name, sizeof(row->table_name), 1);
    db_identifier_to_lower(nullptr, row->spatial_column, sizeof(row->spatial_column), 1);
    db_layer_copy(layer, row);
    return db_layer_info_get_privileges(instance, nullptr, layer);
}

static int32_t S_walk_start(DB_INSTANCE *instance, LAYER *layer)
{
    S_walk_close();
    char database[DB_DATABASE_NAME_SIZE] = "";
    DB_database_get_current(instance, database);
    database[sizeof(database) - 1] = '\0';
    std::string sql = db_layer_select_from(instance, " ") + " WHERE ly.database_name = lower('" +
                      db_quote_literal(database) + "') AND ly.srid = sr.srid ORDER BY layer_id";
    db_layer_row_init(&S_walk.row);
    int32_t rc = db_catalog_prepare(nullptr, &S_walk.hstmt, sql.c_str());
    if (rc == 0)
        rc = db_layer_bind_info(&S_walk.hstmt, &S_walk.row.layer, &S_walk.row.indicators);
    if (rc != 0)
        return rc;
    // No commit before the rows are read: a commit would close the cursor on
    // a server that closes cursors at commit.
    rc = db_execute_stmt(&S_walk.hstmt, 1, DB_EXEC_NO_COMMIT);
    if (rc != 0)
        return db_catalog_fail(nullptr, &S_walk.hstmt, rc);
    S_walk.open = true;
    return S_walk_fetch(instance, layer);
}

int32_t DB_layer_first(DB_INSTANCE *instance, LAYER *layer)
{
    if (!S_has_coordref(layer))
        return ZE_NULL_POINTER;
    DB_instance_clear_xerr();
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_walk_start(instance, layer); });
}

int32_t DB_layer_next(DB_INSTANCE *instance, LAYER *layer)
{
    if (!S_has_coordref(layer))
        return ZE_NULL_POINTER;
    DB_instance_clear_xerr();
    if (!S_walk.open)
        return ZE_NO_MORE_ROWS;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_walk_fetch(instance, layer); });
}

// ---- by name, without the cache ----------------------------------------------------

int32_t db_layer_get_info_by_name_no_cache(const char *table, const char *spatial_column,
                                           const char *default_owner, LAYER *layer)
{
    if (table == nullptr || !S_has_coordref(layer))
        return ZE_NULL_POINTER;
    db_global_xerr.code = 0;
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    int32_t rc = db_parse_table_name(nullptr, table, default_owner, database, owner, name);
    if (rc != 0)
        return rc;
    db_identifier_to_lower(nullptr, name, sizeof(name), 1);
    char column[DB_NAME_COLUMN_SIZE] = "";
    if (spatial_column != nullptr) {
        if (strlen(spatial_column) >= sizeof(column))
            return ZE_INVALID_ARGUMENT;
        strcpy(column, spatial_column);
        db_identifier_to_lower(nullptr, column, sizeof(column), 1);
    }
    std::string sql = db_layer_select_from(nullptr, "") + " WHERE ly.owner = '" +
                      db_quote_literal(owner) + "' and              ly.table_name = '" +
                      db_quote_literal(name) + "' and ";
    if (spatial_column != nullptr)
        sql += "ly.spatial_column = '" + db_quote_literal(column) + "' and              ";
    sql += "ly.srid = sr.srid";

    DB_LAYER_ROW row;
    db_layer_row_init(&row);
    db_stmt_guard stmt;
    SQLHSTMT &hstmt = stmt.h;
    rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (rc == 0)
        rc = db_layer_bind_info(&hstmt, &row.layer, &row.indicators);
    if (rc != 0)
        return rc;
    SQLULEN fetched = 0;
    rc = db_execute_and_fetch(&hstmt, 1, 1, &fetched);
    if (rc == DB_NO_MORE_DATA) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, &hstmt, rc);
        if (strcmp(diag.sqlstate, "S0002") != 0)
            return ZE_LAYER_NOT_FOUND;
        fprintf(stderr, "S_get_layer_info_no_cache() Execute/Fetch error (%d).\n", rc);
        return ZE_NO_PERMISSIONS;
    }
    if (rc != 0) {
        fprintf(stderr, "S_get_layer_info_by_name_no_cache Execute/Fetch error (%d).\n", rc);
        return db_catalog_fail(nullptr, &hstmt, rc);
    }
    db_layer_apply_null_rules(&row.layer, &row.indicators, false);
    db_free_stmt(&hstmt);
    row.layer.privileges = layer->privileges;
    memcpy(row.layer.grid_size, layer->grid_size, sizeof(row.layer.grid_size));
    db_layer_copy(layer, &row.layer);
    return 0;
}
