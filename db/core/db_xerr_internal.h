// The verbs of the extended error records (db_xerr.h) inside the library:
// the connection-level record, a process global, and the operations that
// fill, read, clear and copy a DB_EXT_ERROR, with the standard-error lines
// that are the only log of a DBMS failure.
#ifndef DB_XERR_INTERNAL_H
#define DB_XERR_INTERNAL_H

#include <stddef.h>

#include "db/core/db_diag.h"
#include "db/core/db_xerr.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DB_INSTANCE DB_INSTANCE;

extern DB_EXT_ERROR db_global_xerr; /* the connection-level extended error record */

/* Prints the four error lines and fills the connection-level record (-51).
 * Returns the SQLSTATE text of that record. */
const char *db_set_xerr_from_diag(CLI_DIAG_RECORD diag);

/* Prints the stream error line and fills xerr (-51), a stream's record.
 * Returns xerr's SQLSTATE text; "" with only the line printed for a null
 * xerr. */
const char *db_xerr_set_from_stream_diag(DB_EXT_ERROR *xerr, CLI_DIAG_RECORD diag);

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

#ifdef __cplusplus
}
#endif

#endif
