// Small edits the host makes while it edits a registered table: one
// deletion written, one adds row removed, the table flagged as modified in
// a state, and the user indexes of a versioned table made and dropped with
// their twins on its adds table (the index name with "_a" appended).
#ifndef DB_REGISTERED_EDIT_H
#define DB_REGISTERED_EDIT_H

#include <stdint.h>

#include "base/util/ve_index_def.h"
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

/* Makes an index on one column of the registered table (unique when unique
 * is 1, ascending when ascending is 1) with the index clause of the keyword
 * (a blank keyword: the registration's), and for a versioned table its
 * non-unique twin on the adds table; when the twin cannot be made the
 * table's index is dropped again. Not committed (the drop commits).
 * Returns 0; -195 for a unique index on a versioned table (nothing run);
 * -25 when the current user is not the table's owner; -65; the index
 * creation's codes. */
ZEL_API int32_t DB_registered_table_create_index(DB_INSTANCE *instance,
                                                 const REGISTRATION *registration,
                                                 const char *column, int32_t unique,
                                                 int32_t ascending, const char *index_name,
                                                 const char *keyword);

/* Drops the index and, for a versioned table, its twin on the adds table
 * (a twin that is not there is no failure); committed. 0; -25 as above;
 * -65; the drop's codes. */
ZEL_API int32_t DB_registered_table_drop_index(DB_INSTANCE *instance,
                                               const REGISTRATION *registration,
                                               const char *index_name);

/* Makes the count indexes on the registered table and, for a versioned
 * table, their non-unique twins on the adds table; when the twins cannot be
 * made the table's indexes of this call are dropped again. Not committed.
 * Returns 0; -195 when a definition is unique on a versioned table; -66
 * when a twin's name does not fit a definition (nothing run either way);
 * -25; -65; -12; the index creation's codes. */
ZEL_API int32_t DB_registered_table_create_indexes(DB_INSTANCE *instance,
                                                   const REGISTRATION *registration, int16_t count,
                                                   const DB_INDEX_DEF *indexes,
                                                   const char *keyword);

#ifdef __cplusplus
}
#endif

#endif
