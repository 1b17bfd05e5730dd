// The tables that turn a CLI diagnostic into the engine code of the operation
// that failed. Each operation compares SQLSTATEs in its own order and the
// first match wins; native errors come after the SQLSTATEs. The execute and
// the one-shot DDL ignore case; the others compare exactly.
#include <ctype.h>
#include <sql.h>
#include <stdio.h>
#include <string.h>

#include "base/util/zel_errors.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_informix_internal.h"

// One row of a SQLSTATE table: the first matching row wins.
struct S_state_map {
    const char *sqlstate;
    int code;
};

static const S_state_map S_execute_states[] = {
    {"S0022", ZE_COLUMN_NOT_FOUND}, {"37000", ZE_SYNTAX_ERROR}, {"42000", ZE_NO_PERMISSIONS},
    {"S0002", ZE_TABLE_NOT_FOUND},  {"S0001", ZE_TABLE_EXISTS}, {"S0011", ZE_INDEX_EXISTS},
};

static const S_state_map S_ddl_states[] = {
    {"S0022", ZE_COLUMN_NOT_FOUND}, {"S0002", ZE_TABLE_NOT_FOUND}, {"42000", ZE_NO_PERMISSIONS},
    {"S0021", ZE_COLUMN_EXISTS},    {"37000", ZE_INDEX_NOT_FOUND}, {"S0012", ZE_INDEX_NOT_FOUND},
    {"S0001", ZE_TABLE_EXISTS},     {"28000", ZE_INVALID_LOGIN},   {"S0011", ZE_INDEX_EXISTS},
};

static const S_state_map S_cli_ddl_states[] = {
    {"42000", ZE_NO_PERMISSIONS},
    {"S0002", ZE_TABLE_NOT_FOUND},
};

static const S_state_map S_cli_prepare_states[] = {
    {"S0002", ZE_TABLE_NOT_FOUND},
};

static const S_state_map S_connect_states[] = {
    {"28000", ZE_INVALID_LOGIN},
    {"IM002", ZE_DATABASE_NOT_FOUND},
    {"08001", ZE_DATABASE_NOT_FOUND},
};

// Compares a table's SQLSTATE with a CLI record's 6-byte field, terminated
// or not, reading no further than the field.
static bool S_same_state(const char *row, const char *sqlstate, bool any_case)
{
    for (size_t i = 0; i < DB_SQLSTATE_SIZE; i++) {
        unsigned char a = static_cast<unsigned char>(row[i]);
        unsigned char b = static_cast<unsigned char>(sqlstate[i]);
        if (any_case) {
            a = static_cast<unsigned char>(tolower(a));
            b = static_cast<unsigned char>(tolower(b));
        }
        if (a != b)
            return false;
        if (a == '\0')
            return true;
    }
    return false;
}

// Looks sqlstate up in a table; found is 0 when no row matches.
template <size_t N>
static int S_map_state(const S_state_map (&table)[N], const char *sqlstate, bool any_case,
                       bool *found)
{
    *found = false;
    if (sqlstate == nullptr)
        return ZE_DBMS_ERROR;
    for (const S_state_map &row : table) {
        if (S_same_state(row.sqlstate, sqlstate, any_case)) {
            *found = true;
            return row.code;
        }
    }
    return ZE_DBMS_ERROR;
}

int db_map_execute_sqlstate(const char *sqlstate)
{
    bool found;
    return S_map_state(S_execute_states, sqlstate, true, &found);
}

int db_map_cli_ddl_sqlstate(const char *sqlstate)
{
    bool found;
    return S_map_state(S_cli_ddl_states, sqlstate, false, &found);
}

int db_map_cli_prepare_sqlstate(const char *sqlstate)
{
    bool found;
    return S_map_state(S_cli_prepare_states, sqlstate, false, &found);
}

int db_map_ddl_diag(const CLI_DIAG_RECORD *diag, const char *sql)
{
    if (diag == nullptr)
        return ZE_DBMS_ERROR;
    if (sql == nullptr)
        sql = "";
    if (diag->code == SQL_NO_DATA)
        return SQL_NO_DATA;
    bool found;
    int code = S_map_state(S_ddl_states, diag->sqlstate, true, &found);
    if (found)
        return code;
    switch (diag->native_error) {
    case DB_IFX_NATIVE_TRIGGER_NOT_FOUND:
        fprintf(stderr, "Warning: The trigger does not exist \n");
        return 0;
    case DB_IFX_NATIVE_DIRECTIVE_741:
        return 0;
    default:
        break;
    }
    if (S_same_state("01504", diag->sqlstate, true)) {
        fprintf(stderr, "db_execute_ddlsql SQL Stmt: <%s>\n", sql);
        return 0;
    }
    switch (diag->native_error) {
    case DB_IFX_NATIVE_TABLE_LOCKED:
        return ZE_LOCK_CONFLICT;
    case DB_IFX_NATIVE_TABLE_NOT_FOUND:
        return ZE_TABLE_NOT_FOUND;
    case DB_IFX_NATIVE_ROUTINE_NOT_FOUND:
    case DB_IFX_NATIVE_PASSED_673:
    case DB_IFX_NATIVE_CONSTRAINT_EXISTS:
    case DB_IFX_NATIVE_PASSED_370:
        // Callers test these Informix codes themselves.
        return diag->native_error;
    case DB_IFX_NATIVE_9992:
        return ZE_DBMS_ERROR;
    default:
        break;
    }
    fprintf(stderr, "db_execute_ddlsql SQL Stmt: <%s>\n", sql);
    return ZE_DBMS_ERROR;
}

int db_map_connect_diag(const CLI_DIAG_RECORD *diag)
{
    if (diag == nullptr)
        return ZE_DBMS_ERROR;
    bool found;
    int code = S_map_state(S_connect_states, diag->sqlstate, false, &found);
    if (found)
        return code;
    if (diag->code == ZE_NOT_ADMIN_DATABASE)
        return ZE_NOT_ADMIN_DATABASE;
    if (diag->native_error == DB_IFX_NATIVE_USER_UNKNOWN ||
        diag->native_error == DB_IFX_NATIVE_BAD_PASSWORD ||
        diag->native_error == DB_IFX_NATIVE_NO_CONNECT_PERMISSION)
        return ZE_INVALID_LOGIN;
    fprintf(stderr, "DB_open_instance() db_connect error: %d\n", diag->code);
    return ZE_DBMS_ERROR;
}
