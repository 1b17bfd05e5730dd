// Log files: saved, named sets of row ids kept per database user. Here so far
// only the delete that a stream's close runs on its temporary log.
#ifndef DB_LOG_H
#define DB_LOG_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Deletes the named log of the current user. 0; -66 for a null or empty
 * name; -44 while the log system is not initialised. */
ZEL_API int32_t DB_log_delete(DB_INSTANCE *instance, const char *name);

#ifdef __cplusplus
}
#endif

#endif
