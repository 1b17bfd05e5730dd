// A registered table's row-id column (db_rowid_column.h): added or adopted,
// numbered through the table's renumbering procedure when its values cannot
// carry a unique index, then made unique and NOT NULL; and the columns of a
// registered table changed together with its adds table.
#include "db/version/db_rowid_column_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_debug.h"
#include "base/util/ve_index_def_internal.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/catalog/db_table_ddl.h"
#include "db/catalog/db_table_index.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_dbtune_internal.h"
#include "db/core/db_describe_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_sql_text_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_imv_internal.h"
#include "db/version/db_multiversion_internal.h"
#include "db/version/db_routine_internal.h"
#include "db/version/db_version_stmt_internal.h"

namespace
{

// The names a row-id step writes into its statements, each checked.
struct Names {
    std::string table;  // the table qualified: database:owner.table
    std::string bare;   // the table name as registered
    std::string column; // the row-id column
    std::string index;  // R<id>_zel_rowid_uk
};

int32_t S_names(const REGISTRATION &r, Names *n)
{
    const std::string database = std::string(db_field_text(r.database_name));
    const std::string owner = std::string(db_field_text(r.owner));
    n->bare = std::string(db_field_text(r.table_name));
    n->column = std::string(db_field_text(r.rowid_column));
    int32_t rc = db_check_name(owner.c_str(), sizeof(r.owner));
    if (rc == ZE_SUCCESS)
        rc = db_check_name(n->bare.c_str(), sizeof(r.table_name));
    if (rc == ZE_SUCCESS)
        rc = db_check_name(n->column.c_str(), sizeof(r.rowid_column));
    if (rc == ZE_SUCCESS && !database.empty())
        rc = db_check_name(database.c_str(), sizeof(r.database_name));
    if (rc != ZE_SUCCESS)
        return rc;
    char table[DB_QUALIFIED_NAME_SIZE];
    if (db_table_make_name(database.c_str(), owner.c_str(), n->bare.c_str(), table,
                           sizeof(table)) != 0)
        return ZE_INVALID_ARGUMENT;
    n->table = table;
    n->index = db_sql_format("R%d_zel_rowid_uk", r.registration_id);
    return ZE_SUCCESS;
}

// A one-shot statement; a success with a warning or that touched no row
// counts as success.
int32_t S_ddl(const std::string &sql, int32_t record_error, int32_t mode)
{
    int rc = db_execute_ddlsql(sql.c_str(), record_error, mode);
    return rc >= 0 ? ZE_SUCCESS : rc;
}

// Records the statement's diagnostic (the connection's without one) and
// gives -51.
int32_t S_fail(SQLHSTMT hstmt, SQLRETURN rc)
{
    db_version_record(hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
    return ZE_DBMS_ERROR;
}

int32_t S_update_failed(SQLHSTMT hstmt, SQLRETURN rc)
{
    VES_print_debug(stderr, "db_execute_rowid_update(): Error: Update Rowid column...\n");
    return S_fail(hstmt, rc);
}

// The row count of the table (it sizes the list of runs).
int32_t S_count(const Names &n, int32_t *count)
{
    db_stmt_guard stmt;
    const std::string sql = "select count(*) from " + n.table;
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc != 0)
        return stmt.h != SQL_NULL_HSTMT ? S_update_failed(stmt.h, static_cast<SQLRETURN>(rc)) : rc;
    SQLLEN length = 0;
    SQLRETURN cli = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(cli))
        cli = SQLBindCol(stmt.h, 1, SQL_C_SLONG, count, sizeof(*count), &length);
    if (SQL_SUCCEEDED(cli))
        cli = SQLFetch(stmt.h);
    if (!SQL_SUCCEEDED(cli))
        return S_update_failed(stmt.h, cli);
    if (length == SQL_NULL_DATA || *count < 0)
        *count = 0;
    return ZE_SUCCESS;
}

// The upper ROWID of every run of at most DB_ROWID_BATCH_ROWS rows, read in
// ROWID order so that every run is one ROWID range that the procedure
// numbers whole. A run is closed only after a whole rowset, and rowsets
// divide a run evenly, so no run grows past its size.
int32_t S_runs(const Names &n, int32_t count, std::vector<int32_t> *uppers)
{
    static_assert(DB_ROWID_BATCH_ROWS % DB_EXEC_FETCH_MAX_ROWS == 0, "rowsets divide a run");
    uppers->reserve(static_cast<size_t>(count / DB_ROWID_BATCH_ROWS) + 2);
    db_stmt_guard stmt;
    const std::string sql = "select ROWID from " + n.table + " ORDER BY ROWID";
    int rc = db_prepare_cursor(nullptr, &stmt.h, sql.c_str(), 0);
    if (rc != 0)
        return stmt.h != SQL_NULL_HSTMT ? S_update_failed(stmt.h, static_cast<SQLRETURN>(rc)) : rc;
    int32_t rowids[DB_EXEC_FETCH_MAX_ROWS] = {};
    SQLLEN lengths[DB_EXEC_FETCH_MAX_ROWS] = {};
    SQLRETURN cli = SQLExecute(stmt.h);
    if (SQL_SUCCEEDED(cli))
        cli = SQLBindCol(stmt.h, 1, SQL_C_SLONG, rowids, sizeof(rowids[0]), lengths);
    if (!SQL_SUCCEEDED(cli))
        return S_update_failed(stmt.h, cli);
    int32_t in_run = 0;
    for (;;) {
        SQLULEN fetched = 0;
        rc = db_fetch_rows(&stmt.h, DB_EXEC_FETCH_MAX_ROWS, &fetched);
        if (rc == DB_NO_MORE_DATA)
            break;
        if (rc == ZE_OUT_OF_MEMORY)
            return rc;
        if (rc != 0)
            return S_update_failed(stmt.h, SQL_ERROR);
        if (fetched == 0)
            break;
        if (fetched > DB_EXEC_FETCH_MAX_ROWS)
            fetched = DB_EXEC_FETCH_MAX_ROWS;
        if (in_run == 0)
            uppers->push_back(0);
        uppers->back() = rowids[fetched - 1];
        in_run += static_cast<int32_t>(fetched);
        if (in_run >= DB_ROWID_BATCH_ROWS)
            in_run = 0;
        if (fetched < DB_EXEC_FETCH_MAX_ROWS)
            break;
    }
    return ZE_SUCCESS;
}

// One call of the procedure per run, each committed.
int32_t S_number(const std::string &procedure, uint32_t minimum_id,
                 const std::vector<int32_t> &uppers)
{
    if (uppers.empty())
        return ZE_SUCCESS;
    const std::string call = "{ call " + procedure + " (?,?,?) }";
    db_stmt_guard stmt;
    SQLRETURN cli = SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, &stmt.h);
    if (!SQL_SUCCEEDED(cli)) {
        stmt.h = SQL_NULL_HSTMT;
        return S_update_failed(SQL_NULL_HSTMT, cli);
    }
    int32_t values[3] = {0, 0, 0};
    SQLLEN cells[3] = {0, 0, 0};
    for (SQLUSMALLINT i = 0; i < 3 && SQL_SUCCEEDED(cli); i++)
        cli = SQLBindParameter(stmt.h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                               SQL_C_SLONG, SQL_INTEGER, 0, 0, &values[i], 0, &cells[i]);
    if (!SQL_SUCCEEDED(cli))
        return S_update_failed(stmt.h, cli);
    uint32_t start = minimum_id;
    for (size_t i = 0; i < uppers.size(); i++) {
        values[0] = i == 0 ? 0 : uppers[i - 1];
        values[1] = uppers[i];
        values[2] = static_cast<int32_t>(start);
        cli = SQLExecDirect(stmt.h, reinterpret_cast<SQLCHAR *>(const_cast<char *>(call.c_str())),
                            SQL_NTS);
        if (!SQL_SUCCEEDED(cli))
            return S_update_failed(stmt.h, cli);
        cli = static_cast<SQLRETURN>(db_commit());
        if (!SQL_SUCCEEDED(cli))
            return S_update_failed(SQL_NULL_HSTMT, cli);
        SQLFreeStmt(stmt.h, SQL_CLOSE);
        start += DB_ROWID_BATCH_ROWS;
    }
    return ZE_SUCCESS;
}

int32_t S_rowid_update(const REGISTRATION &r, const std::string &procedure)
{
    Names n;
    int32_t rc = S_names(r, &n);
    if (rc != ZE_SUCCESS)
        return rc;
    int32_t count = 0;
    rc = S_count(n, &count);
    if (rc != ZE_SUCCESS)
        return rc;
    std::vector<int32_t> uppers;
    rc = S_runs(n, count, &uppers);
    if (rc != ZE_SUCCESS)
        return rc;
    return S_number(procedure, r.minimum_id, uppers);
}

// What the row-id column still needs once it is known to exist.
struct Plan {
    bool renumber = false;
    bool index_afterwards = false;
    bool set_not_null = false;
};

// The storage clause of the row-id index: B_INDEX_ROWID of the keyword.
int32_t S_index_clause(const REGISTRATION &r, std::string *clause)
{
    const std::string keyword = std::string(db_field_text(r.config_keyword));
    if (keyword.empty())
        return ZE_SUCCESS;
    auto config = std::make_unique<DBTUNE_LAYER_CONFIG>();
    memset(config.get(), 0, sizeof(*config));
    int32_t rc = db_read_layer_storage_config(config.get(), keyword.c_str());
    if (rc != ZE_SUCCESS)
        return rc;
    if (config->counter < 100)
        return ZE_KEYWORD_WITHOUT_ROWS;
    *clause = std::string(db_field_text(config->B_INDEX_ROWID));
    return ZE_SUCCESS;
}

// The existing column: a 32-bit integer that is neither the layer's spatial
// column nor the raster column. Marks it for NOT NULL when it allows nulls.
int32_t S_check_column(DB_INSTANCE *instance, const REGISTRATION &r, const Names &n, SQLHSTMT hstmt,
                       Plan *plan)
{
    int16_t count = 0;
    DB_COLUMN_DEF *columns = nullptr;
    int32_t *lengths = nullptr;
    int16_t *c_types = nullptr;
    int32_t rc = db_describe_select(nullptr, hstmt, &count, &columns, &lengths, &c_types);
    const bool integer = rc == ZE_SUCCESS && count >= 1 && columns[0].type == VE_INTEGER;
    if (rc == ZE_SUCCESS && count >= 1 && columns[0].nulls_allowed)
        plan->set_not_null = true;
    free(columns);
    free(lengths);
    free(c_types);
    if (rc != ZE_SUCCESS)
        return rc;
    if (!integer)
        return ZE_INVALID_COLUMN_TYPE;
    const std::string owner = std::string(db_field_text(r.owner));
    if (r.object_flags & REG_LAYER) {
        LAYER *layer = nullptr;
        rc = DB_layer_get_info_by_table_name(instance, nullptr, n.table.c_str(), n.column.c_str(),
                                             owner.c_str(), &layer);
        if (rc == ZE_SUCCESS)
            return ZE_INVALID_COLUMN_TYPE;
        if (rc != ZE_LAYER_NOT_FOUND)
            return rc;
    }
    if (r.object_flags & REG_RASTER_COLUMN) {
        auto info = std::make_unique<RASTERCOLUMN>();
        memset(info.get(), 0, sizeof(*info));
        rc = DB_rastercolumn_get_info_by_name(instance, nullptr, n.table.c_str(), n.column.c_str(),
                                              owner.c_str(), info.get());
        if (rc == ZE_SUCCESS)
            return ZE_INVALID_COLUMN_TYPE;
        if (rc != ZE_RASTERCOLUMN_NOT_FOUND)
            return rc;
    }
    return ZE_SUCCESS;
}

// The unique index could not be made at once: an index of the column alone
// that is not unique gives way to it; without one, or when the values still
// clash, the column is numbered first.
int32_t S_settle_index(DB_INSTANCE *instance, const Names &n, const std::string &create, Plan *plan)
{
    int16_t count = 0;
    DB_INDEX_DEF *indexes = nullptr;
    int32_t rc = DB_table_describe_indexes(instance, n.table.c_str(), &count, &indexes);
    if (rc != ZE_SUCCESS)
        return rc;
    const DB_INDEX_DEF *found = nullptr;
    for (int16_t i = 0; i < count && found == nullptr; i++)
        if (indexes[i].column_count == 1 && indexes[i].column_names != nullptr &&
            indexes[i].column_names[0] != nullptr &&
            strcasecmp(n.column.c_str(), indexes[i].column_names[0]) == 0)
            found = &indexes[i];
    if (found == nullptr) {
        plan->renumber = plan->index_afterwards = true;
    } else if (!found->unique) {
        rc = DB_table_drop_index(instance, n.table.c_str(), found->index_name);
        if (rc == ZE_SUCCESS && S_ddl(create, 1, 3) != ZE_SUCCESS)
            plan->renumber = plan->index_afterwards = true;
    }
    db_rowid_bind_free(indexes, count);
    return rc;
}

// Numbers the column through a procedure made for it, which is dropped
// again whatever the numbering gave.
int32_t S_renumber(const REGISTRATION &r)
{
    char *procedure = nullptr;
    int32_t rc = db_table_create_rowid_update_proc(&r, 0, 0, 1, &procedure);
    if (rc != ZE_SUCCESS)
        return rc;
    const std::string name = procedure;
    free(procedure);
    rc = db_execute_rowid_update(&r, name.c_str());
    const DB_EXT_ERROR kept = db_global_xerr;
    int drop = db_execute_ddlsql(("DROP PROCEDURE " + name).c_str(), 0, 1);
    if (rc != ZE_SUCCESS) {
        db_global_xerr = kept; // the numbering's failure is the one to see
        return rc;
    }
    if (drop < 0) {
        db_xerr_clear(&db_global_xerr);
        db_global_xerr.code = ZE_DBMS_ERROR;
        db_global_xerr.native_error = drop;
        return ZE_DBMS_ERROR;
    }
    return ZE_SUCCESS;
}

int32_t S_add_rowid_column(DB_INSTANCE *instance, const REGISTRATION &r)
{
    Names n;
    int32_t rc = S_names(r, &n);
    if (rc != ZE_SUCCESS)
        return rc;
    std::string clause;
    rc = S_index_clause(r, &clause);
    if (rc != ZE_SUCCESS)
        return rc;
    const std::string create =
        "CREATE UNIQUE INDEX " + n.index + " on " + n.bare + " (" + n.column + ") " + clause;
    Plan plan;
    {
        db_stmt_guard stmt;
        const std::string select = "SELECT " + n.column + " FROM " + n.table;
        int prepared = db_prepare_cursor(nullptr, &stmt.h, select.c_str(), 0);
        if (prepared == 0) {
            rc = S_check_column(instance, r, n, stmt.h, &plan);
            if (rc != ZE_SUCCESS)
                return rc;
            db_free_stmt(&stmt.h); // the index DDL needs no statement open on the table
            if (S_ddl(create, 1, 3) != ZE_SUCCESS) {
                rc = S_settle_index(instance, n, create, &plan);
                if (rc != ZE_SUCCESS)
                    return rc;
            }
        } else {
            if (stmt.h == SQL_NULL_HSTMT)
                return prepared; // the statement could not be had: recorded
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, &stmt.h, static_cast<SQLRETURN>(prepared));
            if (strncmp(diag.sqlstate, "S0022", 5) != 0) {
                db_set_xerr_from_diag(diag);
                return strncmp(diag.sqlstate, "S0002", 5) == 0 ? ZE_TABLE_NOT_FOUND : ZE_DBMS_ERROR;
            }
            db_free_stmt(&stmt.h);
            if (S_ddl("ALTER TABLE " + n.table + " ADD " + n.column + " INTEGER", 1, 3) !=
                ZE_SUCCESS)
                return ZE_DBMS_ERROR;
            plan.renumber = plan.index_afterwards = plan.set_not_null = true;
        }
    }
    if (plan.index_afterwards) {
        rc = DB_table_drop_index(instance, n.table.c_str(), n.index.c_str());
        if (rc != ZE_SUCCESS && rc != ZE_INDEX_NOT_FOUND && rc != ZE_OBJECT_NOT_FOUND)
            return rc;
    }
    if (plan.renumber) {
        rc = S_renumber(r);
        if (rc != ZE_SUCCESS)
            return rc;
    }
    if (plan.index_afterwards) {
        // Numbered values clash only when rows came in meanwhile: say so.
        rc = S_ddl(create, 1, 3);
        if (rc != ZE_SUCCESS)
            return rc;
    }
    if (plan.set_not_null &&
        S_ddl("ALTER TABLE " + n.table + " MODIFY (" + n.column + " INTEGER NOT NULL)", 1, 3) !=
            ZE_SUCCESS)
        return ZE_DBMS_ERROR;
    return ZE_SUCCESS;
}

// The qualified table and, for a multiversioned table, its adds table.
int32_t S_column_tables(DB_INSTANCE *instance, const REGISTRATION &r,
                        std::vector<std::string> *tables)
{
    const std::string database = std::string(db_field_text(r.database_name));
    const std::string owner = std::string(db_field_text(r.owner));
    const std::string table = std::string(db_field_text(r.table_name));
    char name[DB_QUALIFIED_NAME_SIZE];
    if (db_table_make_name(database.c_str(), owner.c_str(), table.c_str(), name, sizeof(name)) != 0)
        return ZE_INVALID_ARGUMENT;
    tables->push_back(name);
    if (r.object_flags & REG_MULTIVERSION) {
        if (db_make_adds_table_name(instance, r.registration_id, database.c_str(), owner.c_str(),
                                    name, sizeof(name)) != 0)
            return ZE_INVALID_ARGUMENT;
        tables->push_back(name);
    }
    return ZE_SUCCESS;
}

// The stored views of a versioned table list its columns as they were
// made: once a column change has begun they go, and the next read makes
// them from the table as it is. Their drop's failure is reported when the
// change itself succeeded.
void S_forget_stored_views(DB_INSTANCE *instance, const REGISTRATION &r, bool changed, int32_t *rc)
{
    if (!changed || !(r.object_flags & REG_MULTIVERSION))
        return;
    const int32_t dropped = db_registered_table_drop_stored_views(instance, r.registration_id);
    if (*rc == ZE_SUCCESS)
        *rc = dropped;
}

int32_t S_add_column(DB_INSTANCE *instance, const REGISTRATION &r, const DB_COLUMN_DEF *column)
{
    const bool imv = (r.object_flags & REG_MULTIVERSION) && strnlen(r.imv_view_name, 1) != 0;
    int32_t rc = imv ? db_imv_triggers_available(&r) : ZE_SUCCESS;
    std::vector<std::string> tables;
    if (rc == ZE_SUCCESS)
        rc = S_column_tables(instance, r, &tables);
    for (const std::string &table : tables)
        if (rc == ZE_SUCCESS)
            rc = DB_table_add_column(instance, table.c_str(), column);
    S_forget_stored_views(instance, r, !tables.empty(), &rc);
    if (rc != ZE_SUCCESS || !imv)
        return rc;
    DB_registered_table_delete_imv_view(instance, &r);
    return DB_registered_table_create_imv_view(instance, &r);
}

int32_t S_drop_column(DB_INSTANCE *instance, const REGISTRATION &r, const char *column)
{
    std::vector<std::string> tables;
    int32_t rc = S_column_tables(instance, r, &tables);
    for (const std::string &table : tables)
        if (rc == ZE_SUCCESS)
            rc = DB_table_drop_column(instance, table.c_str(), column);
    S_forget_stored_views(instance, r, !tables.empty(), &rc);
    return rc;
}

} // namespace

int32_t db_execute_rowid_update(const REGISTRATION *registration, const char *procedure)
{
    if (registration == nullptr || procedure == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_rowid_update(*registration, procedure); });
}

void db_rowid_bind_free(DB_INDEX_DEF *indexes, int32_t count)
{
    ves_index_defs_free(indexes, count);
}

int32_t DB_registered_table_add_rowid_column(DB_INSTANCE *instance,
                                             const REGISTRATION *registration)
{
    if (registration == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_add_rowid_column(instance, *registration); });
}

int32_t DB_registered_table_add_column(DB_INSTANCE *instance, const REGISTRATION *registration,
                                       const DB_COLUMN_DEF *column)
{
    if (registration == nullptr || column == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_add_column(instance, *registration, column); });
}

int32_t DB_registered_table_drop_column(DB_INSTANCE *instance, const REGISTRATION *registration,
                                        const char *column)
{
    if (registration == nullptr || column == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&] { return S_drop_column(instance, *registration, column); });
}
