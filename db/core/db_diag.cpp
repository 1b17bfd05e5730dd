// Reading a CLI diagnostic: record 1 of a statement or of the process
// connection, into the transient record of db_diag.h.
#include "db/core/db_diag_internal.h"

#include <string.h>

#include "db/core/db_connect_internal.h"

CLI_DIAG_RECORD *db_get_diag_record(CLI_DIAG_RECORD *out, SQLHSTMT *stmt, int32_t code)
{
    if (out == nullptr)
        return nullptr;
    memset(out, 0, sizeof(*out));
    out->code = code;
    // A statement that could not be allocated has its diagnostic on the
    // connection that refused it.
    bool on_stmt = stmt != nullptr && *stmt != SQL_NULL_HSTMT;
    SQLSMALLINT type = on_stmt ? SQL_HANDLE_STMT : SQL_HANDLE_DBC;
    SQLHANDLE handle = on_stmt ? *stmt : db_connection()->hdbc;
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

void db_diag_terminate(CLI_DIAG_RECORD *diag)
{
    diag->sqlstate[sizeof(diag->sqlstate) - 1] = '\0';
    diag->message[sizeof(diag->message) - 1] = '\0';
}
