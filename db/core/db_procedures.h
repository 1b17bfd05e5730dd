// Creation of the engine's stored routines in the administrative database:
// the installation program calls it after the catalogue tables exist, and
// again on an upgrade, when the routines it finds are older.
#ifndef DB_PROCEDURES_H
#define DB_PROCEDURES_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Drops, creates and grants EXECUTE to PUBLIC on all 58 routines, with the
 * row types and connection globals of the state and version routines, group
 * by group. Returns 0; -12 without memory; the CLI code when no statement
 * can be allocated; otherwise the code of the failing step (the CLI code of
 * a refused CREATE, with the connection's extended error record filled;
 * -51 for a refused grant). A failure drops again every routine the call
 * had created. */
ZEL_API int32_t DB_instance_stored_procedures_create(DB_INSTANCE *instance);

#ifdef __cplusplus
}
#endif

#endif
