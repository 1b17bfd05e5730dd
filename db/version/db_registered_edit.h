// Small edits the host makes while it edits a registered table: one
// deletion written, one adds row removed, the table flagged as modified in
// a state.
#ifndef DB_REGISTERED_EDIT_H
#define DB_REGISTERED_EDIT_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/ve_state.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the deletion of the row's version that lives in living_state_id,
 * made by deleting_state_id, into the deletes table; not committed. 0; the
 * statement's code (extended error record filled); -65; -66 for names that
 * cannot be made or are not identifiers; -12. */
ZEL_API int32_t DB_registered_table_insert_delete_row(DB_INSTANCE *instance,
                                                      const REGISTRATION *registration,
                                                      int32_t row_id, int32_t living_state_id,
                                                      int32_t deleting_state_id);

/* Removes the row's version of the state from the adds table; not
 * committed. 0; 100 when there was no such version; otherwise as above. */
ZEL_API int32_t DB_registered_table_delete_adds_row(DB_INSTANCE *instance,
                                                    const REGISTRATION *registration,
                                                    int32_t unused, int32_t row_id,
                                                    int32_t state_id);

/* Flags the table as modified in the state through the catalogue's
 * flag_mvtable_modified function; not committed. A null state does
 * nothing. 0; the function's engine code (-999 to -1) or -51 with its
 * result as native error; -51 for a failed call (record filled); -65. */
ZEL_API int32_t DB_registered_table_mark_modified(DB_INSTANCE *instance,
                                                  const REGISTRATION *registration,
                                                  const STATE *state);

#ifdef __cplusplus
}
#endif

#endif
