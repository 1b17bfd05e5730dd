// Connection services the SQL builders of the layer, versioning and stream
// code call in passing.
#include "db/core/db_helpers_internal.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

void db_commit_transaction(void)
{
    db_commit();
}

void db_rollback_transaction(void)
{
    db_rollback();
}

char *db_get_current_user(char *name)
{
    return DB_instance_get_current_user(nullptr, name);
}

void db_stream_copy_global_xerr(DB_STREAM *stream)
{
    if (!stream)
        return;
    stream->xerr.code = db_global_xerr.code;
    stream->xerr.native_error = db_global_xerr.native_error;
    memcpy(stream->xerr.message, db_global_xerr.message, sizeof(stream->xerr.message));
    stream->xerr.message[sizeof(stream->xerr.message) - 1] = '\0';
    stream->xerr.text[0] = '\0';
}

int32_t db_grant_execute_routine(DB_INSTANCE *, const char *routine, int32_t kind,
                                 const char *grantee)
{
    static const char *const kinds[] = {"FUNCTION", "SPECIFIC", "PROCEDURE", "ROUTINE"};
    if (kind < DB_ROUTINE_FUNCTION || kind > DB_ROUTINE_ROUTINE)
        return ZE_INVALID_ARGUMENT;
    if (!routine || !grantee)
        return ZE_NULL_POINTER;
    std::string sql =
        std::string("GRANT EXECUTE ON ") + kinds[kind - 1] + " " + routine + " TO " + grantee;
    return db_execute_ddlsql(sql.c_str(), 1, 1);
}

SQLRETURN db_select_one_text(const char *sql, char *out, SQLLEN size, SQLLEN *length,
                             CLI_DIAG_RECORD *diag)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    SQLRETURN rc = static_cast<SQLRETURN>(db_prepare_cursor(nullptr, &hstmt, sql, 0));
    if (rc == 0)
        rc = SQLBindCol(hstmt, 1, SQL_C_CHAR, out, size, length);
    if (SQL_SUCCEEDED(rc))
        rc = SQLExecute(hstmt);
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(hstmt);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        db_get_diag_record(diag, hstmt != SQL_NULL_HSTMT ? &hstmt : nullptr, rc);
    if (SQL_SUCCEEDED(rc) && size > 0)
        out[size - 1] = '\0';
    db_free_stmt(&hstmt);
    return rc;
}
