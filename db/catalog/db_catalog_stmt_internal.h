// Steps the catalogue code shares: a prepare whose failure is recorded, the
// recording of a failed statement's diagnostic in the stream's extended error
// record (or the connection's without a stream), and the binding of a list of
// result columns.
#ifndef DB_CATALOG_STMT_INTERNAL_H
#define DB_CATALOG_STMT_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/zel_errors.h"
#include "db/core/db_diag_internal.h"

// Allocates a statement into *hstmt and prepares sql on it. 0; -51 with the
// diagnostic recorded and the statement freed.
int32_t db_catalog_prepare(DB_STREAM *stream, SQLHSTMT *hstmt, const char *sql);

// Prepares and executes sql on a statement of its own (no commit). 0 with the
// statement freed; else the failing CLI return code with the statement left
// in *hstmt for its diagnostic, which the caller reads and frees.
int32_t db_catalog_execute(SQLHSTMT *hstmt, const char *sql);

// Reads the statement's diagnostic (code: the failing result), records it
// and frees the statement. Returns -51. diag, when not null, gets the record.
int32_t db_catalog_fail(DB_STREAM *stream, SQLHSTMT *hstmt, int32_t code,
                        CLI_DIAG_RECORD *diag = nullptr);

// Records a diagnostic in the stream's record, or the connection's.
void db_catalog_record(DB_STREAM *stream, const CLI_DIAG_RECORD &diag);

// One result column to bind: its C type, its buffer (for a rowset the array
// of the rows' values, width bytes apart) and its length cells.
struct DB_CATALOG_COLUMN {
    SQLSMALLINT c_type;
    SQLPOINTER buffer;
    SQLLEN width;
    SQLLEN *lengths;
};

// Binds the columns as result columns 1, 2, ... in order. The CLI's result:
// that of the first bind that failed, else SQL_SUCCESS.
SQLRETURN db_catalog_bind_columns(SQLHSTMT hstmt, const DB_CATALOG_COLUMN *columns, size_t count);
template <size_t N>
SQLRETURN db_catalog_bind_columns(SQLHSTMT hstmt, const DB_CATALOG_COLUMN (&columns)[N])
{
    return db_catalog_bind_columns(hstmt, columns, N);
}

#endif
