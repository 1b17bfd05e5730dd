// Statement primitives (db_stmt_internal.h). The process connection runs with
// autocommit off and these functions decide when to commit; failures become
// engine codes through the mapping tables of db_diag.cpp.
#include "db/core/db_stmt_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_informix_internal.h"

// Builds the statement's diagnostic, puts text in place of its message and
// stores it in the connection-level record.
static void S_store_with_message(SQLHSTMT *hstmt, SQLRETURN rc, const char *format)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    snprintf(diag.message, sizeof(diag.message), format, 0);
    db_set_xerr_from_diag(diag);
}

int db_open_cursor(DB_EXT_ERROR *xerr, SQLHSTMT *hstmt)
{
    if (hstmt == nullptr)
        return ZE_NULL_POINTER;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, db_connection()->hdbc, hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLSetStmtAttr(*hstmt, SQL_ATTR_CURSOR_TYPE,
                            reinterpret_cast<SQLPOINTER>(SQL_CURSOR_KEYSET_DRIVEN), 0);
    if (SQL_SUCCEEDED(rc))
        return 0;
    fprintf(stderr, "db_open_cursor Open Error (%d).\n", rc);
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    if (xerr != nullptr)
        db_xerr_set_from_stream_diag(xerr, diag);
    else
        db_set_xerr_from_diag(diag);
    return ZE_DBMS_ERROR;
}

int db_prepare_stmt(DB_EXT_ERROR *, SQLHSTMT *hstmt, const char *sql)
{
    if (hstmt == nullptr || sql == nullptr)
        return ZE_NULL_POINTER;
    SQLRETURN rc =
        SQLPrepare(*hstmt, reinterpret_cast<SQLCHAR *>(const_cast<char *>(sql)), SQL_NTS);
    return SQL_SUCCEEDED(rc) ? 0 : rc;
}

int db_prepare_cursor(DB_EXT_ERROR *xerr, SQLHSTMT *hstmt, const char *sql, int32_t)
{
    if (hstmt == nullptr || sql == nullptr)
        return ZE_NULL_POINTER;
    int rc = db_open_cursor(xerr, hstmt);
    if (rc != 0)
        return rc;
    return db_prepare_stmt(xerr, hstmt, sql);
}

// Sets the three attributes of a parameter-array execute. The processed-rows
// cell must outlive the call: the driver keeps writing it on every later
// execute of the statement.
static int S_set_param_array(SQLHSTMT *hstmt, int32_t rows)
{
    static SQLULEN processed;
    SQLRETURN rc =
        SQLSetStmtAttr(*hstmt, DB_IFX_ATTR_PARAM_ARRAYS, reinterpret_cast<SQLPOINTER>(1), 0);
    if (!SQL_SUCCEEDED(rc)) {
        S_store_with_message(hstmt, rc,
                             "db_odbc_execute_stmt:: SQLSetStmtOption failed for (%d)\n");
        return ZE_DBMS_ERROR;
    }
    rc = SQLSetStmtAttr(*hstmt, SQL_ATTR_PARAMSET_SIZE,
                        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0);
    if (SQL_SUCCEEDED(rc))
        rc = SQLSetStmtAttr(*hstmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
    if (!SQL_SUCCEEDED(rc)) {
        S_store_with_message(hstmt, rc, "db_odbc_execute_stmt:: SQLSetStmtAttr failed for (%d)\n");
        return ZE_DBMS_ERROR;
    }
    return 0;
}

// The fetch of execute-and-fetch: one row, or a rowset of up to 100 rows.
// A refused rowset size ends the execute at once, without the commit.
static int S_execute_fetch(SQLHSTMT *hstmt, int32_t rows, SQLULEN *rows_out, bool *at_once)
{
    // Like the processed-rows cell, the status array stays valid after the call.
    static SQLUSMALLINT status[DB_EXEC_FETCH_MAX_ROWS];
    SQLRETURN rc;
    const char *message;
    if (rows < 2) {
        rc = SQLFetch(*hstmt);
        *rows_out = 1;
        message = "db_odbc_execute_stmt:: SQLFetch failed for (%d) \n";
    } else {
        rc = SQLSetStmtAttr(*hstmt, SQL_ROWSET_SIZE,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0);
        if (!SQL_SUCCEEDED(rc)) {
            *at_once = true;
            return ZE_DBMS_ERROR;
        }
        rc = SQLExtendedFetch(*hstmt, SQL_FETCH_NEXT, 0, rows_out, status);
        message = "db_odbc_execute_stmt::SQLExtendedFetch failed for (%d) \n";
    }
    if (SQL_SUCCEEDED(rc))
        return 0;
    if (rc == SQL_NO_DATA)
        return DB_NO_MORE_DATA;
    S_store_with_message(hstmt, rc, message);
    return ZE_DBMS_ERROR;
}

// The body of db_odbc_execute_stmt; a failed execute's diagnostic goes to
// *failure when it is given.
static int S_execute_stmt(SQLHSTMT *hstmt, int32_t execute, int32_t rows, SQLULEN *rows_out,
                          int32_t mode, CLI_DIAG_RECORD *failure)
{
    if (hstmt == nullptr || rows_out == nullptr)
        return ZE_NULL_POINTER;
    if (mode == DB_EXEC_FETCH && rows > DB_EXEC_FETCH_MAX_ROWS)
        return ZE_INVALID_ARGUMENT;
    if (execute) {
        bool array = mode == DB_EXEC_ARRAY && rows > 1;
        if (array) {
            int rc = S_set_param_array(hstmt, rows);
            if (rc != 0)
                return rc;
        }
        SQLRETURN rc = SQLExecute(*hstmt);
        // The failure's diagnostic is read before the next call clears it.
        CLI_DIAG_RECORD diag;
        if (!SQL_SUCCEEDED(rc))
            db_get_diag_record(&diag, hstmt, rc);
        // Back to single rows: a later execute of one row must not send the
        // stale rows of this array again.
        if (array)
            SQLSetStmtAttr(*hstmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
        if (!SQL_SUCCEEDED(rc)) {
            if (failure != nullptr)
                *failure = diag;
            int code = db_map_execute_sqlstate(diag.sqlstate);
            if (code != ZE_DBMS_ERROR)
                return code;
            if (rc == SQL_INVALID_HANDLE) {
                snprintf(diag.message, sizeof(diag.message),
                         "db_odbc_execute_stmt::Invalid ODBC handle (%d)\n", 0);
                db_set_xerr_from_diag(diag);
            }
            return ZE_DBMS_ERROR;
        }
    }
    int result = 0;
    if (mode == DB_EXEC_FETCH) {
        bool at_once = false;
        result = S_execute_fetch(hstmt, rows, rows_out, &at_once);
        if (at_once)
            return result;
    }
    if (mode != DB_EXEC_NO_COMMIT) {
        int rc = db_commit();
        if (rc != SQL_SUCCESS) {
            // A refused commit leaves its diagnostic on the connection.
            CLI_DIAG_RECORD diag;
            db_get_diag_record(&diag, nullptr, rc);
            fprintf(stderr, "Commit Error (%d)\n", diag.code);
            db_set_xerr_from_diag(diag);
            // No later commit may keep what is reported as lost.
            db_rollback();
            result = ZE_DBMS_ERROR;
        }
    }
    return result;
}

int db_odbc_execute_stmt(SQLHSTMT *hstmt, int32_t execute, int32_t rows, SQLULEN *rows_out,
                         int32_t mode)
{
    return S_execute_stmt(hstmt, execute, rows, rows_out, mode, nullptr);
}

int db_execute_stmt(SQLHSTMT *hstmt, int32_t rows, int32_t mode)
{
    SQLULEN scratch = 0;
    return S_execute_stmt(hstmt, 1, rows, &scratch, mode, nullptr);
}

int db_execute_stmt_diag(SQLHSTMT *hstmt, int32_t rows, int32_t mode, CLI_DIAG_RECORD *failure)
{
    SQLULEN scratch = 0;
    if (failure != nullptr)
        memset(failure, 0, sizeof(*failure));
    return S_execute_stmt(hstmt, 1, rows, &scratch, mode, failure);
}

int db_execute_and_fetch(SQLHSTMT *hstmt, int32_t execute, int32_t rows, SQLULEN *rows_out)
{
    return db_odbc_execute_stmt(hstmt, execute, rows, rows_out, DB_EXEC_FETCH);
}

int db_fetch_rows(SQLHSTMT *hstmt, int32_t rows, SQLULEN *rows_out)
{
    if (hstmt == nullptr || rows_out == nullptr)
        return ZE_NULL_POINTER;
    SQLRETURN rc;
    if (rows < 2) {
        rc = SQLFetch(*hstmt);
        *rows_out = 1;
    } else {
        std::unique_ptr<SQLUSMALLINT, decltype(&free)> status(
            static_cast<SQLUSMALLINT *>(calloc(static_cast<size_t>(rows), sizeof(SQLUSMALLINT))),
            &free);
        if (!status)
            return ZE_OUT_OF_MEMORY;
        rc = SQLSetStmtAttr(*hstmt, SQL_ROWSET_SIZE,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0);
        if (SQL_SUCCEEDED(rc))
            rc = SQLExtendedFetch(*hstmt, SQL_FETCH_NEXT, 0, rows_out, status.get());
    }
    if (SQL_SUCCEEDED(rc))
        return 0;
    return rc == SQL_NO_DATA ? DB_NO_MORE_DATA : ZE_DBMS_ERROR;
}

int db_free_stmt(SQLHSTMT *hstmt)
{
    if (hstmt != nullptr && *hstmt != SQL_NULL_HSTMT) {
        SQLFreeStmt(*hstmt, SQL_DROP);
        *hstmt = SQL_NULL_HSTMT;
    }
    return 0;
}

// The one-shot statement of db_execute_ddlsql and db_execute_dml. With
// zero_rows_no_data, a success that touched no row is taken as "no data", as
// drivers differ in how they report it.
static int S_execute_one(const char *sql, int32_t record_error, int32_t mode,
                         bool zero_rows_no_data)
{
    if (sql == nullptr)
        return ZE_NULL_POINTER;
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    CLI_DIAG_RECORD diag;
    int rc = db_prepare_cursor(nullptr, &hstmt, sql, 0);
    if (rc == 0)
        rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc) && zero_rows_no_data) {
        SQLLEN rows = -1;
        if (SQL_SUCCEEDED(SQLRowCount(hstmt, &rows)) && rows == 0)
            rc = SQL_NO_DATA;
    }
    if (SQL_SUCCEEDED(rc) && (mode == 1 || mode == 3)) {
        rc = db_commit();
        if (rc == SQL_SUCCESS) {
            db_free_stmt(&hstmt);
            return rc;
        }
        db_get_diag_record(&diag, nullptr, rc); // the commit's diagnostic is on the connection
        fprintf(stderr, "Commit Error (%d)\n", diag.code);
        db_rollback(); // no later commit may keep what is reported as lost
    } else if (SQL_SUCCEEDED(rc)) {
        db_free_stmt(&hstmt);
        return rc;
    } else {
        db_get_diag_record(&diag, &hstmt, rc);
    }
    db_free_stmt(&hstmt);
    if (record_error)
        db_set_xerr_from_diag(diag);
    return db_map_ddl_diag(&diag, sql);
}

int db_execute_ddlsql(const char *sql, int32_t record_error, int32_t mode)
{
    return S_execute_one(sql, record_error, mode, false);
}

int db_execute_dml(const char *sql, int32_t record_error, int32_t mode)
{
    return S_execute_one(sql, record_error, mode, true);
}

int db_commit(void)
{
    return static_cast<int16_t>(SQLEndTran(SQL_HANDLE_DBC, db_connection()->hdbc, SQL_COMMIT));
}

int db_rollback(void)
{
    return static_cast<int16_t>(SQLEndTran(SQL_HANDLE_DBC, db_connection()->hdbc, SQL_ROLLBACK));
}
