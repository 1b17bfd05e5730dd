// Reading CLI diagnostics into records and the mapping of diagnostics to
// engine codes, each operation with its own table, order and case rule. The
// records a diagnostic is kept in have their verbs in db_xerr_internal.h.
#ifndef DB_DIAG_INTERNAL_H
#define DB_DIAG_INTERNAL_H

#include <sql.h>
#include <stddef.h>

#include "db/core/db_diag.h"
#include "db/core/db_xerr_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DB_STREAM DB_STREAM;
typedef struct DB_INSTANCE DB_INSTANCE;

/* Zeroes *out, stores code, and reads diagnostic record 1 of the statement
 * (*stmt, when stmt is not null) or of the process connection, which also
 * holds the diagnostic of a statement that could not be allocated. The CLI's
 * own result is not looked at: without a diagnostic only the code is set. */
CLI_DIAG_RECORD *db_get_diag_record(CLI_DIAG_RECORD *out, SQLHSTMT *stmt, int32_t code);

/* Ends both texts of a diagnostic within their fields before they are printed. */
void db_diag_terminate(CLI_DIAG_RECORD *diag);

/* Engine code of a failed execute (db_odbc_execute_stmt): SQLSTATE compared
 * without regard to case; -51 when it is not mapped. */
int db_map_execute_sqlstate(const char *sqlstate);

/* Engine code of a failed one-shot DDL (db_execute_ddlsql): 100 for a return
 * code of 100, then SQLSTATEs (any case), then native errors. Prints the
 * trigger warning, or the statement text for 01504 and unmapped failures. */
int db_map_ddl_diag(const CLI_DIAG_RECORD *diag, const char *sql);

/* Engine code of a failed statement-record DDL (db_odbc_execute_ddlsql):
 * SQLSTATE compared exactly; -51 when it is not mapped. */
int db_map_cli_ddl_sqlstate(const char *sqlstate);

/* Engine code of a failed statement-record prepare (db_cli_prepare). */
int db_map_cli_prepare_sqlstate(const char *sqlstate);

/* Engine code of a failed connect (the record of db_connect): SQLSTATE
 * compared exactly; prints the connect error line for an unmapped failure. */
int db_map_connect_diag(const CLI_DIAG_RECORD *diag);

#ifdef __cplusplus
}
#endif

#endif
