// Statement steps of the state and version code: a prepare and a one-row
// read whose failures are recorded and mapped, parameters bound from values
// the call keeps alive until it runs, and the calls of the catalogue's
// stored functions, whose result row starts with an integer code and a
// message that is turned into an engine code.
//
// A code of 0 is success. A code from -20998 to -20001 is the engine code
// code + 20000 (native error 0); any other gives -51 with the code as the
// native error. Either way the connection's extended error record gets
// "Error executing stored procedure <routine>" as its message and the
// function's own message, when it gave one, as its second text.
#ifndef DB_VERSION_STMT_INTERNAL_H
#define DB_VERSION_STMT_INTERNAL_H

#include <sql.h>
#include <stdint.h>
#include <time.h>

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

/* Room for the message column a catalogue function returns (varchar(255)). */
#define DB_SP_MESSAGE_SIZE 512

/* Input parameters of one statement, numbered from 1 in call order. Each
 * value is copied into the record, which must outlive the statement's last
 * execute. Every bind returns the CLI's result. */
struct DB_PARAMS {
    explicit DB_PARAMS(SQLHSTMT statement) : hstmt(statement) {}
    SQLRETURN integer(int32_t value);
    /* NULL when is_null. */
    SQLRETURN integer_or_null(int32_t value, bool is_null);
    SQLRETURN unsigned_integer(uint32_t value);
    /* CHAR of column_size; NULL when the text is empty and null_when_empty. */
    SQLRETURN text(std::string_view value, SQLULEN column_size, bool null_when_empty);
    /* The same as a VARCHAR of column_size. */
    SQLRETURN varchar(std::string_view value, SQLULEN column_size, bool null_when_empty);
    /* CHAR of column_size read from the caller's buffer at every execute
     * (NUL-terminated), so the caller may change it between executes. */
    SQLRETURN text_buffer(char *buffer, SQLULEN column_size);
    /* The local time of when as a TIMESTAMP. */
    SQLRETURN timestamp(time_t when);

    SQLHSTMT hstmt;
    SQLUSMALLINT next = 0;
    std::deque<int32_t> integers;
    std::deque<std::string> texts;
    std::deque<SQL_TIMESTAMP_STRUCT> times;
    std::deque<SQLLEN> cells;

  private:
    SQLRETURN bind(SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN column_size, void *value,
                   SQLLEN buffer_length, SQLLEN indicator);
};

/* The code and message columns of a function's result row. */
struct DB_SP_RESULT {
    int32_t code = 0;
    SQLLEN code_length = 0;
    char message[DB_SP_MESSAGE_SIZE] = {};
    SQLLEN message_length = 0;
};

using DB_SP_BIND = std::function<SQLRETURN(DB_PARAMS &params)>;
using DB_SP_COLUMNS = std::function<SQLRETURN(SQLHSTMT hstmt)>;

/* Allocates a statement into *hstmt and prepares sql on it. 0; else the
 * statement is freed, the diagnostic recorded in the connection's extended
 * error record, and the code of its SQLSTATE returned (-37 for a missing
 * table, -38 for a missing column, -25 for 42000, -42 for 37000; else
 * -51). */
int32_t db_version_prepare(SQLHSTMT *hstmt, const char *sql);

/* Executes a prepared query with its columns bound, fetches one row and
 * commits. 0; 110 when there is no row; else the diagnostic is recorded and
 * its code returned as by db_version_prepare (the statement is kept: the
 * caller frees it). */
int32_t db_version_execute_fetch(SQLHSTMT *hstmt);

/* Executes a prepared statement with its parameters bound and commits. 0;
 * else the diagnostic is recorded and its code returned as by
 * db_version_prepare (the statement is kept: the caller frees it). */
int32_t db_version_execute(SQLHSTMT *hstmt);

/* Records the statement's diagnostic for a failed CLI result and frees the
 * statement. -51. */
int32_t db_version_fail(SQLHSTMT *hstmt, SQLRETURN rc);

/* Fetches an executed query of one integer column to its end in rowsets of
 * 100 and appends every id that is not NULL to *ids. 0; -12; -51 with the
 * diagnostic recorded. The cursor is left open. */
int32_t db_version_fetch_ids(SQLHSTMT *hstmt, std::vector<int32_t> *ids);

/* Records the statement's diagnostic (the connection's when hstmt is null)
 * for a failed CLI result and returns its mapped code as above. */
int32_t db_version_record(SQLHSTMT *hstmt, SQLRETURN rc);

/* Maps a function's non-zero code as above; 0 stays 0 and touches nothing.
 * routine names the function in the message ("zel.insert_state"). */
int32_t db_sp_map_result(const DB_SP_RESULT &result, const char *routine);

/* Binds the code (column 1) and message (column 2) of a prepared statement
 * into result. The CLI's result. */
SQLRETURN db_sp_bind_result(SQLHSTMT hstmt, DB_SP_RESULT *result);

/* Runs one function call: prepares sql, binds its parameters through bind and
 * any further result columns (from column 3) through columns (either may be
 * empty), executes, fetches the result row and commits; frees the statement
 * and maps the code. Returns 0; the mapped code; or -51 with the
 * connection's extended error record filled when a step fails (no row counts
 * as a failure). */
int32_t db_sp_call(const std::string &sql, const char *routine, const DB_SP_BIND &bind,
                   const DB_SP_COLUMNS &columns = nullptr);

/* An obsolete entry point: "Obsolete function <name>() called!" on standard
 * error. -1. */
int32_t db_version_obsolete(const char *name);

/* The texts of a record field: at most its size, up to its first NUL. */
template <size_t N> std::string_view db_field_text(const char (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n] != '\0')
        n++;
    return std::string_view(field, n);
}

#endif
