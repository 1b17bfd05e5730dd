// Reading CLI diagnostics into records, filling and copying the extended
// error records, and the mapping of diagnostics to engine codes, each
// operation with its own table, order and case rule.
#ifndef DB_DIAG_INTERNAL_H
#define DB_DIAG_INTERNAL_H

#include <sql.h>
#include <stddef.h>

#include "db/core/db_diag.h"

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

/* Prints the four error lines and fills the connection-level record (-51).
 * Returns the SQLSTATE text of that record. */
const char *db_set_xerr_from_diag(CLI_DIAG_RECORD diag);

/* Appends "(text)" to the connection-level message, cut at its bound.
 * 0; -65 for a null text; -12 when the temporary text cannot be allocated. */
int db_xerr_append_text(const char *text);

void db_clear_global_xerr(void *unused);

/* Fills the connection-level record from the status a catalogue routine
 * answered: a status between -20999 and -20000 (exclusive) becomes the engine
 * code status + 20000 with native error 0, any other non-zero status -51 with
 * the status as native error; the message names the routine. Returns the
 * record's code. */
int32_t db_set_xerr_from_procedure(int32_t result, const char *procedure);

/* Copies the connection-level record into an instance's record: both codes
 * become -51 where they are 0 (a non-zero instance code stays), then native
 * error, message and SQLSTATE are copied. The instance handle calls it with
 * its own record. */
void db_xerr_copy_global_into(DB_EXT_ERROR *instance_xerr);
/* The same into the instance's own record; a null instance still gets the
 * connection-level code set to -51 where it is 0. */
void db_instance_copy_global_xerr(DB_INSTANCE *instance);

/* Fills a DB_EXT_ERROR from a diagnostic: -51, native error, message (bounded
 * to the record's field) and SQLSTATE. */
void db_xerr_fill(DB_EXT_ERROR *xerr, const CLI_DIAG_RECORD *diag);
/* The same from loose fields: each text is read up to its field's size,
 * terminated or not. */
void db_xerr_fill_fields(DB_EXT_ERROR *xerr, int32_t native_error, const char *message,
                         size_t message_size, const char *sqlstate, size_t sqlstate_size);
void db_xerr_clear(DB_EXT_ERROR *xerr);
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
