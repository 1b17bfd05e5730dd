// Extended error records: the record a host reads after a failure. The
// library keeps one for the connection (read here), one per stream
// (db_stream.h) and one per instance. The verbs that fill, copy and clear a
// record inside the library are in db/core/db_xerr_internal.h.
#ifndef DB_XERR_H
#define DB_XERR_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define DB_XERR_MESSAGE_SIZE 512
#define DB_XERR_TEXT_SIZE 4096

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

/* Copies the connection-level record into out and returns out. */
ZEL_API DB_EXT_ERROR *DB_instance_get_xerr(DB_EXT_ERROR *out);
ZEL_API void DB_instance_clear_xerr(void);

#ifdef __cplusplus
}
#endif

#endif
