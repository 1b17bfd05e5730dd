// CLI diagnostics: reading a diagnostic from the CLI, keeping it in an
// extended error record with the standard-error lines that are the only log
// of a DBMS failure, and the per-operation tables that map SQLSTATEs and
// Informix native errors to engine codes. Records: db_diag.h.
#include "db/core/db_diag.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"

// Copies src into dst of dst_size bytes, always terminated.
static void S_copy_bounded(char *dst, size_t dst_size, const char *src)
{
    size_t n = strnlen(src, dst_size - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

CLI_DIAG_RECORD *db_get_diag_record(CLI_DIAG_RECORD *out, SQLHSTMT *stmt, int32_t code)
{
    if (out == nullptr)
        return nullptr;
    memset(out, 0, sizeof(*out));
    out->code = code;
    SQLSMALLINT type = stmt != nullptr ? SQL_HANDLE_STMT : SQL_HANDLE_DBC;
    SQLHANDLE handle = stmt != nullptr ? *stmt : db_hdbc;
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, reinterpret_cast<SQLCHAR *>(out->sqlstate), &native,
                  reinterpret_cast<SQLCHAR *>(out->message),
                  static_cast<SQLSMALLINT>(sizeof(out->message)), &length);
    // A driver may leave the texts unterminated on a failed read.
    out->sqlstate[sizeof(out->sqlstate) - 1] = '\0';
    out->message[sizeof(out->message) - 1] = '\0';
    out->native_error = static_cast<int32_t>(native);
    return out;
}

void db_xerr_fill(DB_EXT_ERROR *xerr, const CLI_DIAG_RECORD *diag)
{
    xerr->code = ZE_DBMS_ERROR;
    xerr->native_error = diag->native_error;
    // The diagnostic holds up to 512 characters; the record's field 511.
    S_copy_bounded(xerr->message, sizeof(xerr->message), diag->message);
    S_copy_bounded(xerr->text, sizeof(xerr->text), diag->sqlstate);
}

void db_xerr_clear(DB_EXT_ERROR *xerr)
{
    xerr->code = 0;
    xerr->native_error = 0;
    xerr->message[0] = '\0';
    xerr->text[0] = '\0';
}

const char *db_set_xerr_from_diag(CLI_DIAG_RECORD diag)
{
    fprintf(stderr, "ZEL_Database Error: %d\n%s\n", diag.code, diag.sqlstate);
    fprintf(stderr, "ODBC Error: %s\n", diag.sqlstate);
    fprintf(stderr, "Database Error: %ld\n", static_cast<long>(diag.native_error));
    fprintf(stderr, "Error Message: %s\n", diag.message);
    db_xerr_fill(&db_global_xerr, &diag);
    return db_global_xerr.text;
}

int db_xerr_append_text(const char *text)
{
    if (text == nullptr)
        return ZE_NULL_POINTER;
    size_t size = strlen(text) + 3;
    std::unique_ptr<char, decltype(&free)> piece(static_cast<char *>(malloc(size)), &free);
    if (!piece)
        return ZE_OUT_OF_MEMORY;
    snprintf(piece.get(), size, "(%s)", text);
    size_t used = strnlen(db_global_xerr.message, sizeof(db_global_xerr.message) - 1);
    S_copy_bounded(db_global_xerr.message + used, sizeof(db_global_xerr.message) - used,
                   piece.get());
    return 0;
}

DB_EXT_ERROR *DB_instance_get_xerr(DB_EXT_ERROR *out)
{
    if (out != nullptr)
        *out = db_global_xerr;
    return out;
}

void DB_instance_clear_xerr(void)
{
    db_xerr_clear(&db_global_xerr);
}

void db_clear_global_xerr(void *)
{
    db_xerr_clear(&db_global_xerr);
}

void db_xerr_copy_global_into(DB_EXT_ERROR *instance_xerr)
{
    if (db_global_xerr.code == 0)
        db_global_xerr.code = ZE_DBMS_ERROR;
    if (instance_xerr == nullptr)
        return;
    if (instance_xerr->code == 0)
        instance_xerr->code = ZE_DBMS_ERROR;
    instance_xerr->native_error = db_global_xerr.native_error;
    memcpy(instance_xerr->message, db_global_xerr.message, sizeof(instance_xerr->message));
    memcpy(instance_xerr->text, db_global_xerr.text, sizeof(instance_xerr->text));
}

// One row of a SQLSTATE table: the first matching row wins.
struct S_state_map {
    const char *sqlstate;
    int code;
};

static const S_state_map S_execute_states[] = {
    {"S0022", ZE_COLUMN_NOT_FOUND}, {"37000", ZE_SYNTAX_ERROR},  {"42000", ZE_NO_PERMISSIONS},
    {"S0002", ZE_TABLE_NOT_FOUND},  {"S0001", ZE_TABLE_EXISTS},  {"S0011", ZE_INDEX_EXISTS},
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

// Looks sqlstate up in a table; found is 0 when no row matches.
template <size_t N>
static int S_map_state(const S_state_map (&table)[N], const char *sqlstate, bool any_case,
                       bool *found)
{
    *found = false;
    if (sqlstate == nullptr)
        return ZE_DBMS_ERROR;
    for (const S_state_map &row : table) {
        bool same = any_case ? strcasecmp(row.sqlstate, sqlstate) == 0
                             : strcmp(row.sqlstate, sqlstate) == 0;
        if (same) {
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

#define S_NATIVE_TRIGGER_NOT_FOUND (-634)
#define S_NATIVE_741 (-741)
#define S_NATIVE_TABLE_LOCKED (-289)
#define S_NATIVE_TABLE_NOT_FOUND (-523)
#define S_NATIVE_9992 (-9992)

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
    case S_NATIVE_TRIGGER_NOT_FOUND:
        fprintf(stderr, "Warning: The trigger does not exist \n");
        return 0;
    case S_NATIVE_741:
        return 0;
    default:
        break;
    }
    if (strcasecmp(diag->sqlstate, "01504") == 0) {
        fprintf(stderr, "db_execute_ddlsql SQL Stmt: <%s>\n", sql);
        return 0;
    }
    switch (diag->native_error) {
    case S_NATIVE_TABLE_LOCKED:
        return ZE_LOCK_CONFLICT;
    case S_NATIVE_TABLE_NOT_FOUND:
        return ZE_TABLE_NOT_FOUND;
    case -674:
    case -673:
    case -625:
    case -370:
        // Callers test these Informix codes themselves.
        return diag->native_error;
    case S_NATIVE_9992:
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
    if (diag->native_error == -951 || diag->native_error == -952 || diag->native_error == -387)
        return ZE_INVALID_LOGIN;
    fprintf(stderr, "DB_open_instance() db_connect error: %d\n", diag->code);
    return ZE_DBMS_ERROR;
}
