// Block cursor of the catalogue scans (db_block_cursor_internal.h).
#include "db/version/db_block_cursor_internal.h"

#include <sqlext.h>
#include <string.h>

#include "base/util/ve_buffer.h"
#include "base/util/zel_errors.h"
#include "db/core/db_helpers_internal.h"
#include "db/core/db_stmt_internal.h"
#include "db/version/db_scan_mode.h"
#include "db/version/db_version_stmt_internal.h"

static size_t S_block_size(size_t row_size)
{
    return row_size * DB_BLOCK_ROWS;
}

void db_block_cursor_close(DB_BLOCK_CURSOR *cursor)
{
    db_free_stmt(&cursor->hstmt);
    if (cursor->block != nullptr)
        VES_buffer_free(cursor->block, static_cast<int32_t>(S_block_size(cursor->row_size)));
    *cursor = DB_BLOCK_CURSOR{};
}

// Records the statement's diagnostic, closes the cursor. -51.
static int32_t S_fail(DB_BLOCK_CURSOR *cursor, SQLRETURN rc)
{
    db_version_record(&cursor->hstmt, rc);
    db_block_cursor_close(cursor);
    return ZE_DBMS_ERROR;
}

// Fetches the next rowset into the zeroed block: 0 (the end flag set when
// nothing came), or -51.
static int32_t S_fetch(DB_BLOCK_CURSOR *cursor)
{
    memset(cursor->block, 0, S_block_size(cursor->row_size));
    SQLULEN fetched = 0;
    int rc = db_fetch_rows(&cursor->hstmt, DB_BLOCK_ROWS, &fetched);
    if (rc == DB_NO_MORE_DATA) {
        cursor->end = true;
        fetched = 0;
    } else if (rc == ZE_OUT_OF_MEMORY) {
        db_block_cursor_close(cursor);
        return rc;
    } else if (rc != 0) {
        return S_fail(cursor, SQL_ERROR);
    }
    if (fetched > DB_BLOCK_ROWS)
        fetched = DB_BLOCK_ROWS;
    cursor->rows_left = static_cast<int32_t>(fetched);
    cursor->next = 0;
    cursor->total += static_cast<int32_t>(fetched);
    return ZE_SUCCESS;
}

int32_t db_block_cursor_open(DB_BLOCK_CURSOR *cursor, size_t row_size, const char *sql,
                             const DB_BLOCK_BIND &bind)
{
    if (cursor->open && cursor->row_size == row_size) {
        db_free_stmt(&cursor->hstmt);
        void *kept = cursor->block;
        *cursor = DB_BLOCK_CURSOR{};
        cursor->block = kept;
        cursor->row_size = row_size;
        memset(kept, 0, S_block_size(row_size));
    } else {
        db_block_cursor_close(cursor);
        cursor->block = VES_buffer_alloc(static_cast<int32_t>(S_block_size(row_size)));
        if (cursor->block == nullptr)
            return ZE_OUT_OF_MEMORY;
        cursor->row_size = row_size;
    }
    int32_t rc = db_version_prepare(&cursor->hstmt, sql);
    if (rc != ZE_SUCCESS) {
        db_block_cursor_close(cursor);
        return rc;
    }
    SQLRETURN cli = SQLSetStmtAttr(cursor->hstmt, SQL_ATTR_ROW_BIND_TYPE,
                                   reinterpret_cast<SQLPOINTER>(row_size), 0);
    if (SQL_SUCCEEDED(cli))
        cli = bind(cursor->hstmt, cursor->block);
    if (SQL_SUCCEEDED(cli))
        cli = SQLExecute(cursor->hstmt);
    if (!SQL_SUCCEEDED(cli))
        return S_fail(cursor, cli);
    cursor->open = true;
    rc = S_fetch(cursor);
    if (rc != ZE_SUCCESS)
        return rc;
    // The read's locks go with the commit; the cursor stays open across it.
    db_commit_transaction();
    return ZE_SUCCESS;
}

int32_t db_block_cursor_next(DB_BLOCK_CURSOR *cursor, void **row)
{
    if (!cursor->open)
        return ZE_SCAN_NOT_STARTED;
    if (cursor->rows_left == 0 && !cursor->end) {
        int32_t rc = S_fetch(cursor);
        if (rc != ZE_SUCCESS)
            return rc;
    }
    if (cursor->rows_left == 0) {
        db_block_cursor_close(cursor);
        return ZE_NO_MORE_ROWS;
    }
    *row =
        static_cast<char *>(cursor->block) + static_cast<size_t>(cursor->next++) * cursor->row_size;
    cursor->rows_left--;
    return ZE_SUCCESS;
}

int32_t db_block_scan_step(int32_t mode, bool has_record, const std::function<void()> &close,
                           const std::function<int32_t()> &open,
                           const std::function<int32_t()> &next)
{
    if (mode == DB_SCAN_CLOSE) {
        close();
        return ZE_SUCCESS;
    }
    if (!has_record)
        return ZE_NULL_POINTER;
    if (mode == DB_SCAN_OPEN) {
        int32_t rc = open();
        if (rc != ZE_SUCCESS) {
            close();
            return rc;
        }
    }
    return next();
}
