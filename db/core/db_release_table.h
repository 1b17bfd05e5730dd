/* The release table VERSION of the administrative database: one row, the
 * release of the engine that created or last upgraded the catalogue (the
 * RELEASE record of base/util/ve_release.h). The catalogue creation
 * (db_catalog_install.h) reads it first and creates it when it is missing. */
#ifndef DB_RELEASE_TABLE_H
#define DB_RELEASE_TABLE_H

#include <stdint.h>

#include "base/util/ve_release.h"
#include "base/util/zel_export.h"
#include "db/core/db_dbtune.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the table (with the configuration's B_STORAGE clause when its
 * counter is at least 100) and stores the record as its row, committed. A
 * description is read up to its 96 characters. Returns 0; -89 when the
 * CREATE meets a missing object; -51 with the connection's extended error
 * record filled; -65 for a null record. A failure after the CREATE leaves
 * the empty table. */
ZEL_API int32_t DB_instance_release_table_create(DB_INSTANCE *instance, const RELEASE *release,
                                                 const DBTUNE_SYSTEM_CONFIG *config);
/* Drops the table: 0, or the drop's engine code (-37 when it is missing). */
ZEL_API int32_t DB_instance_release_table_drop(DB_INSTANCE *instance);
/* Reads the row into the record (a description of 96 characters fills its
 * field without a terminator). Returns 0; 110 when the table is empty; -88
 * when it is missing (or its SELECT cannot be prepared); -51 with the
 * connection's extended error record filled; -65 for a null record. */
ZEL_API int32_t DB_instance_get_release(DB_INSTANCE *instance, RELEASE *release);
/* Replaces every field of the row whose release is old_release with the
 * record's, committed; no such row changes nothing. Returns 0; -88 when the
 * table is missing; -51 with the connection's extended error record filled;
 * -65 for a null record. */
ZEL_API int32_t DB_instance_update_release(DB_INSTANCE *instance, int32_t old_release,
                                           const RELEASE *release);

#ifdef __cplusplus
}
#endif

#endif
