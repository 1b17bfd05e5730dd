// Trimming states of a multiversioned table for the host: a run of states
// collapses into one kept state. The row versions and deletions that
// survive within the run are re-stamped with the kept state, the rows of the
// states that disappear leave the adds and deletes tables (and, with
// ZELEQUIVS set, the equivalence table). The state rows themselves are
// trimmed by the catalogue's trim_state_lineage routine.
#ifndef DB_STATE_TRIM_H
#define DB_STATE_TRIM_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Trims the states of the trim list into the kept state and removes the
 * rows of the states of the drop list; both lists are texts that stand
 * inside an IN list (ids separated by commas, or a SELECT of ids). The
 * start id only feeds the multiversion view text. The whole trim commits at
 * its end, and a failing statement after the first rolls it all back.
 * Returns 0; -37 (a table missing) or -25 (syntax or access) of a failing
 * statement; -51 with the statement's code as native error in the
 * connection's extended error record; the view builder's codes (nothing
 * run); -65 for a null registration or list; -66 for a blank list; -12. */
ZEL_API int32_t DB_registered_table_trim_states(DB_INSTANCE *instance,
                                                const REGISTRATION *registration,
                                                int32_t kept_state_id, int32_t start_id,
                                                const char *trim_list, const char *drop_list);

#ifdef __cplusplus
}
#endif

#endif
