// Folding the changes of a state lineage into the base table of a
// multiversioned table: the rows the lineage deleted leave the base table,
// its surviving row versions enter it, the adds and deletes rows of the
// folded states go away and the deletions that remain point at state 0.
#ifndef DB_STATE_BASE_H
#define DB_STATE_BASE_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Folds the states of the fold list into the base table and removes the
 * rows of the states of the drop list and of state_id itself; both lists
 * are texts that stand inside an IN list (ids separated by commas, or a
 * SELECT of ids). The start id only feeds the multiversion view text. With
 * ZELEQUIVS set the equivalence table follows first. Nothing is committed:
 * the caller commits the fold. A failing statement after the first rolls
 * the open transaction back and ends the fold.
 * Returns 0; -37 (a table missing) or -25 (syntax or access) of a failing
 * statement; -51 with the statement's code as native error in the
 * connection's extended error record; the view builder's and the table
 * description's codes; -65 for a null registration or list; -66 for a blank
 * list or a column name that is not an identifier; -12. */
ZEL_API int32_t DB_registered_table_make_state_base(DB_INSTANCE *instance,
                                                    const REGISTRATION *registration,
                                                    int32_t state_id, int32_t start_id,
                                                    const char *fold_list, const char *drop_list);

#ifdef __cplusplus
}
#endif

#endif
