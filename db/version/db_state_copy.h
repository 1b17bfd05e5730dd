// Copying the changes of a set of source states of a multiversioned table
// into a target state: the row versions the sources added and kept become
// versions of the target, and the rows they deleted are deleted at the
// target as far as the target's lineage still sees them.
#ifndef DB_STATE_COPY_H
#define DB_STATE_COPY_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Replays the edits of the source states into the target state; both lists
 * are texts that stand inside an IN list (ids separated by commas, or a
 * SELECT of ids). With ZELEQUIVS set the copies are linked to their
 * originals in the equivalence table, both ways. The copy is one
 * transaction: it commits at its end, and a failing statement rolls back
 * everything it did.
 * Returns 0; -37 (a table missing) or -25 (syntax or access) of a failing
 * statement; -51 with the statement's code as native error in the
 * connection's extended error record; the base table's description's codes
 * (nothing run); -65 for a null registration or list; -66 for a blank list
 * or a name that is not an identifier; -12. */
ZEL_API int32_t DB_registered_table_copy_changes(DB_INSTANCE *instance,
                                                 const REGISTRATION *registration,
                                                 int32_t target_state_id, const char *source_list,
                                                 const char *target_lineage);

#ifdef __cplusplus
}
#endif

#endif
