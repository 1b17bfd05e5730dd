// Statement primitives: open, prepare, execute, fetch and free a statement
// held in a caller's handle cell, run one-shot SQL, commit and roll back, all
// on the process connection (db_connect.h). The primitives commit by their
// own modes; callers bind parameters and columns between prepare and execute.
#ifndef DB_STMT_INTERNAL_H
#define DB_STMT_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "db/core/db_diag_internal.h"

/* Execute modes of db_odbc_execute_stmt; any other value executes, then commits. */
#define DB_EXEC_NO_COMMIT 2
#define DB_EXEC_FETCH 5
#define DB_EXEC_ARRAY 7
#define DB_EXEC_COMMIT 6
/* Rows of one rowset in the execute-and-fetch mode. */
#define DB_EXEC_FETCH_MAX_ROWS 100
/* A fetch that found no more rows. */
#define DB_NO_MORE_DATA 110

#ifdef __cplusplus
extern "C" {
#endif

/* Allocates a keyset cursor into *hstmt. 0; -51 with xerr filled, a
 * stream's record (db_stream_xerr), or the connection's when xerr is null;
 * -65 for a null cell. The cell keeps what the allocation gave: free it with
 * db_free_stmt. */
int db_open_cursor(DB_EXT_ERROR *xerr, SQLHSTMT *hstmt);
/* 0, or the CLI return code of the prepare; no record is filled. */
int db_prepare_stmt(DB_EXT_ERROR *xerr, SQLHSTMT *hstmt, const char *sql);
int db_prepare_cursor(DB_EXT_ERROR *xerr, SQLHSTMT *hstmt, const char *sql, int32_t flag);
/* 0; 110 when a fetch found no rows; an engine code for a mapped execute
 * failure (no commit); -51; -66 for a rowset of more than 100 rows. */
int db_odbc_execute_stmt(SQLHSTMT *hstmt, int32_t execute, int32_t rows, SQLULEN *rows_out,
                         int32_t mode);
int db_execute_stmt(SQLHSTMT *hstmt, int32_t rows, int32_t mode);
/* db_execute_stmt that also hands back a failed execute's diagnostic (the
 * statement's own is gone after a parameter-array execute); *failure is
 * cleared first. */
int db_execute_stmt_diag(SQLHSTMT *hstmt, int32_t rows, int32_t mode, CLI_DIAG_RECORD *failure);
int db_execute_and_fetch(SQLHSTMT *hstmt, int32_t execute, int32_t rows, SQLULEN *rows_out);
/* 0; 110; -51; -12. No commit and no record. */
int db_fetch_rows(SQLHSTMT *hstmt, int32_t rows, SQLULEN *rows_out);
/* Drops the statement and clears the cell; 0 always. */
int db_free_stmt(SQLHSTMT *hstmt);
/* Runs sql once: the CLI return code (0 or 1) on success, 100 when it touched
 * no rows, else the one-shot mapping. Modes 1 and 3 commit. */
int db_execute_ddlsql(const char *sql, int32_t record_error, int32_t mode);
/* The same for an UPDATE or DELETE: 100 also when the driver reports
 * success with a row count of 0 (nothing committed then). */
int db_execute_dml(const char *sql, int32_t record_error, int32_t mode);
int db_commit(void);
int db_rollback(void);

#ifdef __cplusplus
}

/* The one statement guard: a handle freed with db_free_stmt on every way out
 * of its scope, so no early exit repeats the free. Primitives take &guard.h;
 * release() hands the handle on and keeps it from being freed. */
struct db_stmt_guard {
    SQLHSTMT h = SQL_NULL_HSTMT;
    db_stmt_guard() = default;
    db_stmt_guard(const db_stmt_guard &) = delete;
    db_stmt_guard &operator=(const db_stmt_guard &) = delete;
    ~db_stmt_guard()
    {
        db_free_stmt(&h);
    }
    SQLHSTMT release()
    {
        SQLHSTMT kept = h;
        h = SQL_NULL_HSTMT;
        return kept;
    }
};
#endif

#endif
