// CLI diagnostics and extended error records. A failing CLI call is read into
// a transient CLI_DIAG_RECORD and kept in a DB_EXT_ERROR: one per connection
// (db_connect.h), one per stream (db_stream.h), one per instance. The
// reading, filling and mapping functions are in db/core/db_diag_internal.h.
#ifndef DB_DIAG_H
#define DB_DIAG_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define DB_SQLSTATE_SIZE 6       /* five characters and the NUL */
#define DB_DIAG_MESSAGE_SIZE 513 /* a CLI message of up to 512 characters and the NUL */
#define DB_XERR_MESSAGE_SIZE 512
#define DB_XERR_TEXT_SIZE 4096

/* One diagnostic as read from the CLI; built on the stack, passed by value. */
typedef struct CLI_DIAG_RECORD {
    int32_t code; /* the caller's status: the failing CLI return code */
    char sqlstate[DB_SQLSTATE_SIZE];
    char message[DB_DIAG_MESSAGE_SIZE];
    int32_t native_error; /* Informix native error, negative */
} CLI_DIAG_RECORD;

/* The kept extended error record that callers read after a failure. */
typedef struct DB_EXT_ERROR {
    int32_t code; /* engine code; -51 when filled from a diagnostic */
    int32_t native_error;
    char message[DB_XERR_MESSAGE_SIZE];
    char text[DB_XERR_TEXT_SIZE]; /* the SQLSTATE in every fill of the access core */
} DB_EXT_ERROR;

#ifdef __cplusplus
extern "C" {
#endif

ZEL_API DB_EXT_ERROR *DB_instance_get_xerr(DB_EXT_ERROR *out);
ZEL_API void DB_instance_clear_xerr(void);

#ifdef __cplusplus
}
#endif

#endif
