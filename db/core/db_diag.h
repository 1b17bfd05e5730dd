// CLI diagnostics. A failing CLI call is read into a transient
// CLI_DIAG_RECORD and kept in an extended error record (db_xerr.h). The
// reading and mapping functions are in db/core/db_diag_internal.h.
#ifndef DB_DIAG_H
#define DB_DIAG_H

#include <stdint.h>

#include "db/core/db_xerr.h"

#define DB_SQLSTATE_SIZE 6       /* five characters and the NUL */
#define DB_DIAG_MESSAGE_SIZE 513 /* a CLI message of up to 512 characters and the NUL */

/* One diagnostic as read from the CLI; built on the stack, passed by value. */
typedef struct CLI_DIAG_RECORD {
    int32_t code; /* the caller's status: the failing CLI return code */
    char sqlstate[DB_SQLSTATE_SIZE];
    char message[DB_DIAG_MESSAGE_SIZE];
    int32_t native_error; /* Informix native error, negative */
} CLI_DIAG_RECORD;

#endif
