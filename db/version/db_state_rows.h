// Copying chosen rows of a multiversioned table from one state into
// another: the target is made to see those rows exactly as the source
// sees them. The row ids reach SQL through temporary log files
// (db/catalog/db_log.h) that the statements join against.
#ifndef DB_STATE_ROWS_H
#define DB_STATE_ROWS_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Deletes at the target state whatever the target sees of the listed rows
 * and adds again, as versions of the target, the versions the source sees;
 * with ZELEQUIVS set the copies and the originals are linked both ways in
 * the equivalence table. Ids below 1 are skipped. Both lineage lists are
 * texts that stand inside an IN list. Nothing is committed, and a failure
 * rolls back the open transaction (nothing of the copy stays).
 * Returns 0; -37 or -25 of a failing statement; -51 with the statement's
 * code as native error in the connection's extended error record; -38 for
 * an adds table without a state column; the log system's and the view
 * builder's codes; -65 for a null registration, list or id array; -66 for
 * a blank list, a negative count or a name that is not an identifier; -12. */
ZEL_API int32_t DB_registered_table_copy_state_rows(
    DB_INSTANCE *instance, const REGISTRATION *registration, int32_t source_state_id,
    const char *source_lineage, int32_t target_state_id, const char *target_lineage,
    const int32_t *ids, int32_t count);

#ifdef __cplusplus
}
#endif

#endif
