// The block cursor of the catalogue scans (states, old STATES rows,
// versions): one query whose rows arrive 100 at a time in a block of row
// records (bound row-wise: each column at its place in the record of its
// row), handed out one row per call. Each scan keeps one cursor per process.
#ifndef DB_BLOCK_CURSOR_INTERNAL_H
#define DB_BLOCK_CURSOR_INTERNAL_H

#include <sql.h>
#include <stddef.h>
#include <stdint.h>

#include <functional>

/* Rows of one rowset. */
#define DB_BLOCK_ROWS 100

struct DB_BLOCK_CURSOR {
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    void *block = nullptr; /* VES_buffer_alloc'd: DB_BLOCK_ROWS row records */
    size_t row_size = 0;
    int32_t rows_left = 0; /* rows of the rowset not handed out yet */
    int32_t next = 0;      /* row index of the next one */
    int32_t total = 0;     /* rows fetched so far */
    bool end = false;      /* the last fetch found no rows */
    bool open = false;
};

/* Binds the columns into the first row record of the zeroed block. The CLI's
 * result. */
using DB_BLOCK_BIND = std::function<SQLRETURN(SQLHSTMT hstmt, void *first_row)>;

/* Opens the query: an open cursor's statement is dropped and its block kept
 * (zeroed), a closed cursor gets a zeroed block of DB_BLOCK_ROWS records of
 * row_size bytes. Then sql
 * is prepared, the columns bound, the query executed and its first rowset
 * fetched, and the connection committed. Returns 0; -12 (no block); the
 * prepare's failure (db_version_prepare); -51 for a failed bind, execute or
 * fetch. The connection's
 * extended error record holds the failure, and the cursor is closed. */
int32_t db_block_cursor_open(DB_BLOCK_CURSOR *cursor, size_t row_size, const char *sql,
                             const DB_BLOCK_BIND &bind);

/* The record of the next row in *row, fetching the next rowset (block zeroed
 * first) when the last is used up. 0; -14 when the cursor is not open; -4
 * after the last row (the cursor is then closed); -51 with the failure
 * recorded and the cursor closed. */
int32_t db_block_cursor_next(DB_BLOCK_CURSOR *cursor, void **row);

/* One call of a scan entry point by its mode (db/version/db_scan_mode.h):
 * mode 3 runs close and gives 0; without a record (has_record 0) -65; mode 1
 * runs open (its failure runs close and is returned) and then next; any
 * other mode runs next. Returns what next returns. */
int32_t db_block_scan_step(int32_t mode, bool has_record, const std::function<void()> &close,
                           const std::function<int32_t()> &open,
                           const std::function<int32_t()> &next);

/* Frees the statement and the block; a closed cursor is left as it is. */
void db_block_cursor_close(DB_BLOCK_CURSOR *cursor);

#endif
