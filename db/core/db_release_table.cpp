// The release table VERSION (db_release_table.h): created with its one row,
// read and rewritten. The insert and the update bind the row the same way,
// from a copy whose description is terminated within its 96 characters, so
// a record whose description fills its field is neither overread nor cut.
#include "db/core/db_release_table.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <string>

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_table_ddl.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_system_tables_internal.h"
#include "db/core/db_trans.h"

static_assert(sizeof(SQLINTEGER) == sizeof(int32_t), "SQL_C_LONG binds a 32-bit cell");

// The release table's error for a CREATE that meets a missing object.
#define S_CREATE_MISSING_OBJECT (-89)

namespace
{
// One row as bound: the description with room for its terminator.
struct S_row {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t bugfix = 0;
    char description[VE_RELEASE_DESCRIPTION_SIZE + 1] = {};
    int32_t release = 0;
    SQLLEN description_length = SQL_NTS;
    SQLLEN lengths[4] = {};
};
} // namespace

static S_row S_row_from(const RELEASE *release)
{
    S_row row;
    row.major = release->major;
    row.minor = release->minor;
    row.bugfix = release->bugfix;
    memcpy(row.description, release->description,
           strnlen(release->description, sizeof(release->description)));
    row.release = release->release;
    return row;
}

static SQLRETURN S_bind_int(SQLHSTMT hstmt, SQLUSMALLINT number, int32_t *value)
{
    return SQLBindParameter(hstmt, number, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, value, 0,
                            nullptr);
}

// Binds the five values of the insert and of the update's SET list.
static SQLRETURN S_bind_row(SQLHSTMT hstmt, S_row *row)
{
    SQLRETURN rc = S_bind_int(hstmt, 1, &row->major);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_int(hstmt, 2, &row->minor);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_int(hstmt, 3, &row->bugfix);
    if (SQL_SUCCEEDED(rc))
        rc = SQLBindParameter(hstmt, 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR,
                              VE_RELEASE_DESCRIPTION_SIZE, 0, row->description,
                              sizeof(row->description), &row->description_length);
    if (SQL_SUCCEEDED(rc))
        rc = S_bind_int(hstmt, 5, &row->release);
    return rc;
}

// The failure of a statement step: the connection's record is filled from
// the statement unless the primitive that failed filled it already (every
// entry point clears it first).
static int32_t S_fail(SQLHSTMT *hstmt, int32_t rc)
{
    if (db_global_xerr.code != 0) {
        db_free_stmt(hstmt);
        return ZE_DBMS_ERROR;
    }
    return db_system_fail(hstmt, rc);
}

static int32_t S_create(DB_INSTANCE *instance, const RELEASE *release,
                        const DBTUNE_SYSTEM_CONFIG *config)
{
    DB_instance_clear_xerr();
    std::string sql = "CREATE TABLE version (MAJOR integer not null,MINOR integer not null,"
                      "BUGFIX integer not null,DESCRIPTION varchar(96) not null,"
                      "RELEASE integer not null ) ";
    db_storage_clause_append(&sql, config, config != nullptr ? config->B_STORAGE : nullptr);
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc != 0) {
        VES_print_debug(stderr, "DB_instance_create_release_table() OCI Prepare Error(%d).\n", rc);
        return S_fail(&hstmt, rc);
    }
    rc = db_execute_stmt(&hstmt, 1, DB_EXEC_COMMIT);
    if (rc == ZE_TABLE_NOT_FOUND) {
        db_free_stmt(&hstmt);
        return S_CREATE_MISSING_OBJECT;
    }
    if (rc != 0) {
        VES_print_debug(stderr, "DB_instance_create_release_table() OCI execute Error(%d).\n", rc);
        return S_fail(&hstmt, rc);
    }
    db_free_stmt(&hstmt);

    char table[DB_QUALIFIED_NAME_SIZE];
    rc = db_make_release_table_name(instance, table, sizeof(table));
    if (rc != 0)
        return rc;
    sql = std::string("INSERT INTO ") + table +
          " (major, minor, bugfix, description, release) VALUES (?, ?, ?, ?, ?)";
    S_row row = S_row_from(release);
    rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc == 0)
        rc = S_bind_row(hstmt, &row);
    if (SQL_SUCCEEDED(rc))
        rc = db_execute_stmt(&hstmt, 1, DB_EXEC_COMMIT);
    if (rc != 0)
        return S_fail(&hstmt, rc);
    DB_trans_updt_commit(instance);
    db_free_stmt(&hstmt);
    return ZE_SUCCESS;
}

int32_t DB_instance_release_table_create(DB_INSTANCE *instance, const RELEASE *release,
                                         const DBTUNE_SYSTEM_CONFIG *config)
{
    if (release == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_create(instance, release, config);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t DB_instance_release_table_drop(DB_INSTANCE *instance)
{
    return DB_table_drop(instance, "version");
}

static int32_t S_get(DB_INSTANCE *instance, RELEASE *release)
{
    DB_instance_clear_xerr();
    char table[DB_QUALIFIED_NAME_SIZE];
    int32_t made = db_make_release_table_name(instance, table, sizeof(table));
    if (made != 0)
        return made;
    std::string sql =
        std::string("SELECT major, minor, bugfix, description, release FROM ") + table;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    if (db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0) != 0) {
        db_free_stmt(&hstmt);
        return ZE_INVALID_RELEASE;
    }
    S_row row;
    SQLRETURN bound = SQLBindCol(hstmt, 1, SQL_C_LONG, &row.major, 0, &row.lengths[0]);
    if (SQL_SUCCEEDED(bound))
        bound = SQLBindCol(hstmt, 2, SQL_C_LONG, &row.minor, 0, &row.lengths[1]);
    if (SQL_SUCCEEDED(bound))
        bound = SQLBindCol(hstmt, 3, SQL_C_LONG, &row.bugfix, 0, &row.lengths[2]);
    if (SQL_SUCCEEDED(bound))
        bound = SQLBindCol(hstmt, 4, SQL_C_CHAR, row.description, sizeof(row.description),
                           &row.description_length);
    if (SQL_SUCCEEDED(bound))
        bound = SQLBindCol(hstmt, 5, SQL_C_LONG, &row.release, 0, &row.lengths[3]);
    if (!SQL_SUCCEEDED(bound))
        return S_fail(&hstmt, bound);
    SQLULEN rows = 0;
    int rc = db_execute_and_fetch(&hstmt, 1, 1, &rows);
    if (rc == DB_NO_MORE_DATA) {
        VES_print_debug(stderr, "DB_instance_get_release() Error fetching Release record. (%d)\n",
                        rc);
        db_free_stmt(&hstmt);
        return DB_NO_MORE_DATA;
    }
    if (rc == ZE_TABLE_NOT_FOUND) {
        db_free_stmt(&hstmt);
        return ZE_INVALID_RELEASE;
    }
    if (rc != 0)
        return S_fail(&hstmt, rc);
    db_free_stmt(&hstmt);
    release->major = row.major;
    release->minor = row.minor;
    release->bugfix = row.bugfix;
    memset(release->description, 0, sizeof(release->description));
    memcpy(release->description, row.description,
           strnlen(row.description, sizeof(release->description)));
    release->release = row.release;
    return ZE_SUCCESS;
}

int32_t DB_instance_get_release(DB_INSTANCE *instance, RELEASE *release)
{
    if (release == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_get(instance, release);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

static int32_t S_update(DB_INSTANCE *instance, int32_t old_release, const RELEASE *release)
{
    DB_instance_clear_xerr();
    char table[DB_QUALIFIED_NAME_SIZE];
    int32_t made = db_make_release_table_name(instance, table, sizeof(table));
    if (made != 0)
        return made;
    std::string sql = std::string("UPDATE ") + table +
                      " SET major = ?, minor = ?, bugfix = ?, description = ?, release = ? "
                      "WHERE release = " +
                      std::to_string(old_release);
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0);
    if (rc != 0) {
        CLI_DIAG_RECORD diag;
        db_get_diag_record(&diag, hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
        if (db_map_cli_prepare_sqlstate(diag.sqlstate) == ZE_TABLE_NOT_FOUND) {
            VES_print_debug(stderr,
                            "db_update_release() ODBC Parse Error (%d)\nRELEASE table does not "
                            "exist.\n",
                            ZE_TABLE_NOT_FOUND);
            db_free_stmt(&hstmt);
            return ZE_INVALID_RELEASE;
        }
        VES_print_debug(stderr, "db_update_release() OCI Parse Error(%d).\n", rc);
        return S_fail(&hstmt, rc);
    }
    S_row row = S_row_from(release);
    SQLRETURN cli = S_bind_row(hstmt, &row);
    if (!SQL_SUCCEEDED(cli))
        return S_fail(&hstmt, cli);
    // An update that matches no row may answer SQL_NO_DATA: nothing changed,
    // which is no failure.
    cli = SQLExecute(hstmt);
    if (!SQL_SUCCEEDED(cli) && cli != SQL_NO_DATA)
        return S_fail(&hstmt, cli);
    db_free_stmt(&hstmt);
    rc = db_commit();
    if (rc != SQL_SUCCESS) {
        const int32_t code = db_system_fail(nullptr, rc);
        db_rollback(); // no later commit may keep the update reported as lost
        return code;
    }
    return ZE_SUCCESS;
}

int32_t DB_instance_update_release(DB_INSTANCE *instance, int32_t old_release,
                                   const RELEASE *release)
{
    if (release == nullptr)
        return ZE_NULL_POINTER;
    try {
        return S_update(instance, old_release, release);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}
