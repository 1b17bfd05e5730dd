// Restoring chosen rows of a multiversioned table in one state, and the
// equivalence rows that say two states see the same versions of chosen
// rows. The row ids reach SQL through a temporary log file
// (db/catalog/db_log.h).
#ifndef DB_STATE_RESTORE_H
#define DB_STATE_RESTORE_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Undoes what the state did to the listed rows: their versions added in
 * it and the deletions made in it are removed (with ZELEQUIVS also their
 * equivalence rows of that state), so the state sees them as its parent
 * lineage does. Ids below 1 are skipped. Nothing is committed, and a
 * failure rolls back the open transaction.
 * Returns 0; -37 or -25 of a failing statement; -51 with the statement's
 * code as native error in the connection's extended error record; the log
 * system's codes; -65 for a null registration or id array; -66 for a
 * negative count or a name that is not an identifier; -12. */
ZEL_API int32_t DB_registered_table_restore_rows(DB_INSTANCE *instance,
                                                 const REGISTRATION *registration, int32_t state_id,
                                                 const int32_t *ids, int32_t count);

/* Only with ZELEQUIVS set (else 0 and nothing done): records that the
 * versions state A sees of the listed rows equal those of state B (one
 * equivalence row per listed row A sees), and with both_ways also the
 * reverse. The lineage lists stand inside an IN list. Nothing is
 * committed, and a failure rolls back the open transaction. Returns as
 * DB_registered_table_restore_rows, and the view builder's codes; -66 also
 * for a blank lineage list. */
ZEL_API int32_t DB_registered_table_equivalence_rows(
    DB_INSTANCE *instance, const REGISTRATION *registration, int32_t state_a, const char *lineage_a,
    int32_t state_b, const char *lineage_b, const int32_t *ids, int32_t count, int32_t both_ways);

/* Only with ZELEQUIVS set: removes the equivalence rows that
 * DB_registered_table_equivalence_rows makes for the same arguments.
 * Returns as that function. */
ZEL_API int32_t DB_registered_table_unequivalence_rows(
    DB_INSTANCE *instance, const REGISTRATION *registration, int32_t state_a, const char *lineage_a,
    int32_t state_b, const char *lineage_b, const int32_t *ids, int32_t count, int32_t both_ways);

#ifdef __cplusplus
}
#endif

#endif
