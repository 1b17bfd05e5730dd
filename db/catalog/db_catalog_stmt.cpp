// Shared statement steps of the catalogue code (db_catalog_stmt_internal.h).
#include "db/catalog/db_catalog_stmt_internal.h"

#include "base/util/zel_errors.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"

void db_catalog_record(DB_STREAM *stream, const CLI_DIAG_RECORD &diag)
{
    if (stream != nullptr)
        db_stream_set_xerr_from_diag(stream, diag);
    else
        db_set_xerr_from_diag(diag);
}

int32_t db_catalog_fail(DB_STREAM *stream, SQLHSTMT *hstmt, int32_t code, CLI_DIAG_RECORD *diag)
{
    CLI_DIAG_RECORD read;
    db_get_diag_record(&read, hstmt, code);
    db_free_stmt(hstmt);
    db_catalog_record(stream, read);
    if (diag != nullptr)
        *diag = read;
    return ZE_DBMS_ERROR;
}

int32_t db_catalog_prepare(DB_STREAM *stream, SQLHSTMT *hstmt, const char *sql)
{
    int32_t rc = db_open_cursor(db_stream_xerr(stream), hstmt);
    if (rc != 0) {
        // The open recorded its own diagnostic.
        db_free_stmt(hstmt);
        return ZE_DBMS_ERROR;
    }
    rc = db_prepare_stmt(db_stream_xerr(stream), hstmt, sql);
    if (rc != 0)
        return db_catalog_fail(stream, hstmt, rc);
    return 0;
}

int32_t db_catalog_execute(SQLHSTMT *hstmt, const char *sql)
{
    int32_t rc = db_prepare_cursor(nullptr, hstmt, sql, 0);
    if (rc == 0)
        rc = SQLExecute(*hstmt);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    db_free_stmt(hstmt);
    return 0;
}

SQLRETURN db_catalog_bind_columns(SQLHSTMT hstmt, const DB_CATALOG_COLUMN *columns, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const DB_CATALOG_COLUMN &c = columns[i];
        SQLRETURN rc = SQLBindCol(hstmt, static_cast<SQLUSMALLINT>(i + 1), c.c_type, c.buffer,
                                  c.width, c.lengths);
        if (!SQL_SUCCEEDED(rc))
            return rc;
    }
    return SQL_SUCCESS;
}
