// Preparing a stream's query (db_stream_prepare.h). The catalogue's probes
// call it too, with a zero-filled stream record of their own, and free the
// statement afterwards.
#include "db/stream/db_stream_prepare.h"

#include <sql.h>
#include <string.h>

#include "base/util/zel_errors.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

// The engine code of a refused prepare; 0 when the SQLSTATE has none.
static int32_t S_prepare_code(const char *sqlstate)
{
    static const struct {
        const char *sqlstate;
        int32_t code;
    } S_codes[] = {
        {"S0002", ZE_TABLE_NOT_FOUND}, {"42000", ZE_NO_PERMISSIONS}, {"S0022", ZE_COLUMN_NOT_FOUND},
        {"37000", ZE_SYNTAX_ERROR},    {"42601", ZE_SYNTAX_ERROR},   {"42707", ZE_SYNTAX_ERROR},
    };
    for (const auto &entry : S_codes)
        if (strcmp(sqlstate, entry.sqlstate) == 0)
            return entry.code;
    return 0;
}

int32_t DB_stream_prepare_sql(DB_STREAM *stream, const char *sql)
{
    if (stream == nullptr || sql == nullptr)
        return ZE_NULL_POINTER;
    db_free_stmt(&stream->stmt_main);
    int rc = db_open_cursor(db_stream_xerr(stream), &stream->stmt_main);
    if (rc != 0) {
        // The allocation's diagnostic is already in the stream's record.
        db_free_stmt(&stream->stmt_main);
        return rc;
    }
    rc = db_prepare_stmt(db_stream_xerr(stream), &stream->stmt_main, sql);
    if (SQL_SUCCEEDED(rc))
        return 0;
    CLI_DIAG_RECORD diag;
    db_get_diag_record(&diag, &stream->stmt_main, rc);
    db_free_stmt(&stream->stmt_main);
    int32_t code = S_prepare_code(diag.sqlstate);
    if (code != 0)
        return code;
    db_stream_set_xerr_from_diag(stream, diag);
    return ZE_DBMS_ERROR;
}
