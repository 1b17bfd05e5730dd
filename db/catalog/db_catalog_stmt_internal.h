// Steps the catalogue code shares: a prepare whose failure is recorded, the
// recording of a failed statement's diagnostic in the stream's extended error
// record (or the connection's without a stream), the binding of a list of
// result columns, and the calls of the catalogue's routines that answer one
// integer status.
#ifndef DB_CATALOG_STMT_INTERNAL_H
#define DB_CATALOG_STMT_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_cli_internal.h"
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

// A statement record on the process connection, freed when it goes out of
// scope.
struct DB_CATALOG_CLI {
    CLI_STATEMENT cli;
    DB_CATALOG_CLI()
    {
        db_cli_init(&cli);
    }
    ~DB_CATALOG_CLI()
    {
        db_cli_free(&cli);
    }
    DB_CATALOG_CLI(const DB_CATALOG_CLI &) = delete;
    DB_CATALOG_CLI &operator=(const DB_CATALOG_CLI &) = delete;
};

// Defines the columns as result columns 1, 2, ... of the record, in order
// (the width of each is its buffer's size). 0; -51 with the error kept in the
// record.
int32_t db_catalog_define_columns(CLI_STATEMENT *cli, const DB_CATALOG_COLUMN *columns,
                                  size_t count);
template <size_t N>
int32_t db_catalog_define_columns(CLI_STATEMENT *cli, const DB_CATALOG_COLUMN (&columns)[N])
{
    return db_catalog_define_columns(cli, columns, N);
}

// The name of an object of the administrative user in the administrative
// database ("<database>:zel.<object>"): a catalogue table or routine.
// Throws std::bad_alloc.
std::string db_catalog_admin_name(const char *object);

// Prepares sql on the record. 0; -51 with the diagnostic in the connection's
// record.
int32_t db_catalog_cli_prepare(CLI_STATEMENT *cli, const char *sql);

// Binds a record's text field of size bytes (terminated or filling the
// field) as the next VARCHAR parameter of that size. *length, which must live
// until the execute, gets the text's length, or SQL_NULL_DATA when the text
// is empty and empty_is_null is set. 0; -51.
int32_t db_catalog_bind_text(CLI_STATEMENT *cli, const char *field, size_t size, bool empty_is_null,
                             SQLLEN *length);
// Binds *value as the next INTEGER parameter. 0; -51.
int32_t db_catalog_bind_int(CLI_STATEMENT *cli, int32_t *value);

// Executes the prepared call of a catalogue routine whose parameters are
// bound, reads the integer status it answers and closes the cursor, so that
// the record takes the next call's bindings. 0; a non-zero status mapped by
// db_set_xerr_from_procedure with routine named in the message; -51 with the
// diagnostic in the connection's record (also when no status came back).
int32_t db_catalog_call(CLI_STATEMENT *cli, const char *routine);

// Fetches the next row of an executed query. 0; -4 at the end; -51 with the
// error kept in the record. A value cut to its field counts as fetched.
int32_t db_catalog_fetch(CLI_STATEMENT *cli);

// Commits the connection's transaction. 0; -51 with the connection's
// diagnostic recorded and the transaction rolled back.
int32_t db_catalog_commit(void);

// Rolls the connection's transaction back after a failed step, keeping the
// connection's extended error record as the step left it.
void db_catalog_rollback(void);

#endif
