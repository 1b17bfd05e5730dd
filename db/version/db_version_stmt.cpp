// Statement steps of the state and version code (db_version_stmt_internal.h):
// the recorded prepare and one-row read, parameter binding from kept values,
// the run of one stored-function call and the mapping of its code.
#include "db/version/db_version_stmt_internal.h"

#include <sqlext.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_date_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_xerr_internal.h"

// Ends the transaction of a routine that ran but whose answer or commit
// failed, so that no later commit keeps what is reported as lost; the
// connection's record stays as the failure left it.
static int32_t S_roll_back(int32_t code)
{
    const DB_EXT_ERROR failure = db_global_xerr;
    db_rollback();
    db_global_xerr = failure;
    return code;
}

static bool S_ok(SQLRETURN rc)
{
    return SQL_SUCCEEDED(rc);
}

int32_t db_version_obsolete(const char *name)
{
    fprintf(stderr, "Obsolete function %s() called!\n", name);
    return ZE_FAILURE;
}

int32_t db_version_record(SQLHSTMT *hstmt, SQLRETURN rc)
{
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, hstmt, rc);
    db_set_xerr_from_diag(diag);
    return db_map_execute_sqlstate(diag.sqlstate);
}

int32_t db_version_fail(SQLHSTMT *hstmt, SQLRETURN rc)
{
    db_version_record(hstmt, rc);
    db_free_stmt(hstmt);
    return ZE_DBMS_ERROR;
}

int32_t db_version_fetch_ids(SQLHSTMT *hstmt, std::vector<int32_t> *ids)
{
    int32_t block[DB_EXEC_FETCH_MAX_ROWS] = {};
    SQLLEN lengths[DB_EXEC_FETCH_MAX_ROWS] = {};
    SQLRETURN rc = SQLBindCol(*hstmt, 1, SQL_C_SLONG, block, sizeof(block[0]), lengths);
    if (!S_ok(rc)) {
        db_version_record(hstmt, rc);
        return ZE_DBMS_ERROR;
    }
    int32_t result = ZE_SUCCESS;
    for (;;) {
        SQLULEN fetched = 0;
        int fetch = db_fetch_rows(hstmt, DB_EXEC_FETCH_MAX_ROWS, &fetched);
        if (fetch == DB_NO_MORE_DATA)
            break;
        if (fetch != 0) {
            result = fetch == ZE_OUT_OF_MEMORY ? fetch : ZE_DBMS_ERROR;
            if (result == ZE_DBMS_ERROR)
                db_version_record(hstmt, SQL_ERROR);
            break;
        }
        if (fetched > DB_EXEC_FETCH_MAX_ROWS)
            fetched = DB_EXEC_FETCH_MAX_ROWS;
        for (SQLULEN i = 0; i < fetched; i++)
            if (lengths[i] != SQL_NULL_DATA)
                ids->push_back(block[i]);
        if (fetched < DB_EXEC_FETCH_MAX_ROWS)
            break;
    }
    // The arrays go with this call.
    SQLFreeStmt(*hstmt, SQL_UNBIND);
    return result;
}

int32_t db_version_prepare(SQLHSTMT *hstmt, const char *sql)
{
    if (db_open_cursor(nullptr, hstmt) != 0) {
        db_free_stmt(hstmt); // the open recorded its diagnostic
        return ZE_DBMS_ERROR;
    }
    int rc = db_prepare_stmt(nullptr, hstmt, sql);
    if (rc == 0)
        return ZE_SUCCESS;
    int32_t code = db_version_record(hstmt, static_cast<SQLRETURN>(rc));
    db_free_stmt(hstmt);
    return code;
}

int32_t db_version_execute_fetch(SQLHSTMT *hstmt)
{
    SQLRETURN rc = SQLExecute(*hstmt);
    if (S_ok(rc))
        rc = SQLFetch(*hstmt);
    bool found = rc != SQL_NO_DATA;
    if (found && !S_ok(rc))
        return S_roll_back(db_version_record(hstmt, rc));
    rc = static_cast<SQLRETURN>(db_commit());
    if (!S_ok(rc)) // a refused commit reports on the connection
        return S_roll_back(db_version_record(nullptr, rc));
    return found ? ZE_SUCCESS : DB_NO_MORE_DATA;
}

int32_t db_version_execute(SQLHSTMT *hstmt)
{
    SQLRETURN rc = SQLExecute(*hstmt);
    if (!S_ok(rc))
        return db_version_record(hstmt, rc);
    rc = static_cast<SQLRETURN>(db_commit());
    if (!S_ok(rc))
        return S_roll_back(db_version_record(nullptr, rc));
    return ZE_SUCCESS;
}

SQLRETURN DB_PARAMS::bind(SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN column_size,
                          void *value, SQLLEN buffer_length, SQLLEN indicator)
{
    SQLLEN &cell = cells.emplace_back(indicator);
    return SQLBindParameter(hstmt, ++next, SQL_PARAM_INPUT, c_type, sql_type, column_size, 0, value,
                            buffer_length, &cell);
}

SQLRETURN DB_PARAMS::integer(int32_t value)
{
    return integer_or_null(value, false);
}

SQLRETURN DB_PARAMS::integer_or_null(int32_t value, bool is_null)
{
    int32_t &kept = integers.emplace_back(value);
    return bind(SQL_C_SLONG, SQL_INTEGER, 0, &kept, 0, is_null ? SQL_NULL_DATA : 0);
}

SQLRETURN DB_PARAMS::unsigned_integer(uint32_t value)
{
    int32_t &kept = integers.emplace_back(static_cast<int32_t>(value));
    return bind(SQL_C_ULONG, SQL_INTEGER, 0, &kept, 0, 0);
}

SQLRETURN DB_PARAMS::text(std::string_view value, SQLULEN column_size, bool null_when_empty)
{
    std::string &kept = texts.emplace_back(value);
    bool is_null = null_when_empty && kept.empty();
    return bind(SQL_C_CHAR, SQL_CHAR, column_size, kept.data(),
                static_cast<SQLLEN>(kept.size() + 1), is_null ? SQL_NULL_DATA : SQL_NTS);
}

SQLRETURN DB_PARAMS::varchar(std::string_view value, SQLULEN column_size, bool null_when_empty)
{
    std::string &kept = texts.emplace_back(value);
    bool is_null = null_when_empty && kept.empty();
    return bind(SQL_C_CHAR, SQL_VARCHAR, column_size, kept.data(),
                static_cast<SQLLEN>(kept.size() + 1), is_null ? SQL_NULL_DATA : SQL_NTS);
}

SQLRETURN DB_PARAMS::text_buffer(char *buffer, SQLULEN column_size)
{
    return bind(SQL_C_CHAR, SQL_CHAR, column_size, buffer, static_cast<SQLLEN>(column_size + 1),
                SQL_NTS);
}

SQLRETURN DB_PARAMS::timestamp(time_t when)
{
    SQL_TIMESTAMP_STRUCT &kept = times.emplace_back();
    db_time_to_sql_timestamp(when, &kept);
    return bind(SQL_C_TIMESTAMP, SQL_TIMESTAMP, 19, &kept, sizeof(kept), 0);
}

int32_t db_sp_map_result(const DB_SP_RESULT &result, const char *routine)
{
    if (result.code == 0)
        return ZE_SUCCESS;
    int32_t code = db_set_xerr_from_procedure(result.code, routine);
    size_t length = strnlen(result.message, sizeof(result.message) - 1);
    if (result.message_length >= 0 && static_cast<size_t>(result.message_length) < length)
        length = static_cast<size_t>(result.message_length);
    if (result.message_length != SQL_NULL_DATA && length > 0) {
        length = std::min(length, sizeof(db_global_xerr.text) - 1);
        memcpy(db_global_xerr.text, result.message, length);
        db_global_xerr.text[length] = '\0';
    }
    return code;
}

SQLRETURN db_sp_bind_result(SQLHSTMT hstmt, DB_SP_RESULT *result)
{
    SQLRETURN rc = SQLBindCol(hstmt, 1, SQL_C_SLONG, &result->code, 0, &result->code_length);
    if (S_ok(rc))
        rc = SQLBindCol(hstmt, 2, SQL_C_CHAR, result->message, sizeof(result->message),
                        &result->message_length);
    return rc;
}

int32_t db_sp_call(const std::string &sql, const char *routine, const DB_SP_BIND &bind,
                   const DB_SP_COLUMNS &columns)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    if (db_version_prepare(&hstmt, sql.c_str()) != ZE_SUCCESS)
        return ZE_DBMS_ERROR;
    DB_PARAMS params(hstmt);
    DB_SP_RESULT result;
    SQLRETURN cli = bind ? bind(params) : SQL_SUCCESS;
    if (S_ok(cli))
        cli = db_sp_bind_result(hstmt, &result);
    if (S_ok(cli) && columns)
        cli = columns(hstmt);
    if (S_ok(cli))
        cli = SQLExecute(hstmt);
    const bool ran = S_ok(cli);
    if (S_ok(cli))
        cli = SQLFetch(hstmt);
    if (!S_ok(cli)) {
        const int32_t code = db_version_fail(&hstmt, cli);
        return ran ? S_roll_back(code) : code;
    }
    cli = static_cast<SQLRETURN>(db_commit());
    if (!S_ok(cli)) {
        db_version_record(nullptr, cli); // a refused commit reports on the connection
        db_free_stmt(&hstmt);
        return S_roll_back(ZE_DBMS_ERROR);
    }
    db_free_stmt(&hstmt);
    return db_sp_map_result(result, routine);
}
