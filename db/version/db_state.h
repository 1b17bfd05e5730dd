/* States for the host: the STATES rows of the administrative database read
 * into STATE records with their lineages (base/util/ve_state.h), the tests for
 * children and versions, the registrations a set of states modified, the raw
 * insert of the root state, and the state operations that run through the
 * catalogue's stored functions (create, open, close, delete, trim). */
#ifndef DB_STATE_H
#define DB_STATE_H

#include <stdint.h>

#include "base/util/ve_bitmap.h"
#include "base/util/ve_state.h"
#include "base/util/zel_export.h"
#include "db/version/db_scan_mode.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* State ids per call of the catalogue's delete_state. */
#define DB_STATE_DELETE_BATCH 200

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts the STATES row of the record's state_id and owner (NULL when
 * empty) with parent 0 and both times now, and commits; the record's times
 * and lineage are not written. The catalogue creation writes the root state
 * with it. Returns 0; -51 with the connection's extended error record filled
 * (its text holds SQLSTATE 23000 when the state exists already), or another
 * code of the failure's SQLSTATE (-37 without a STATES table); -65 for a
 * null record. */
ZEL_API int32_t DB_states_def_insert(DB_INSTANCE *instance, const STATE *state);

/* The process's one state scan. Mode 1 starts a scan of the states that
 * match where (SQL text without the word WHERE; null or blank: every state),
 * discarding one still open, and delivers its first state; mode 3 closes the
 * scan (0); any other mode delivers the next state. Each state comes with its lineage
 * (the scan owns the blob: it lives until the next state is delivered or the
 * scan closes; the record's lineage pointer is never freed). Returns 0; -4
 * after the last state (the scan is then closed); -14 when no scan is open;
 * -172 for a state without lineage rows (the scan goes on with the next
 * call); -12; -51 (connection's extended error record filled; the scan is
 * closed); -65 for a null record. */
ZEL_API int32_t DB_state_scan(DB_INSTANCE *instance, int32_t mode, const char *where, STATE *out);

/* One state with its lineage; the caller frees out->lineage with free().
 * Returns 0; -172 when there is no such state or it has no lineage rows;
 * -37 without a STATES table; -12; -51; -65 for a null record. */
ZEL_API int32_t DB_state_get_by_id(DB_INSTANCE *instance, int32_t state_id, STATE *out);

/* *flag := 1 when another state has this one as its parent (the root state
 * is its own parent but not its own child), else 0. Returns 0, or the read's
 * failure (-37, -12, -51) with the flag 0; -65 for a null flag. */
ZEL_API int32_t DB_state_has_children(DB_INSTANCE *instance, int32_t state_id, int32_t *flag);
/* *flag := 1 when a version points at the state, else 0. Returns as
 * DB_state_has_children. */
ZEL_API int32_t DB_state_has_versions(DB_INSTANCE *instance, int32_t state_id, int32_t *flag);

/* Sets bit id - 1 of the bitmap for every registration id that
 * MVTABLES_MODIFIED records for the states (ids beyond the bitmap are not
 * recorded). list is a comma-separated list of state ids; owner is not read.
 * Returns 0 (also when the query is refused for permission or syntax: no
 * bits set); -51 or another mapped failure with the connection's extended
 * error record filled; -12; -65 for a null list or bitmap; -66 for a list
 * with anything but digits, signs, commas and blanks. */
ZEL_API int32_t DB_state_list_get_modified_mvtables(DB_INSTANCE *instance, const char *owner,
                                                    const char *list, VE_BITMAP *bitmap);
/* The same for one state. */
ZEL_API int32_t DB_state_get_modified_mvtables(DB_INSTANCE *instance, const STATE *state,
                                               VE_BITMAP *bitmap);

/* Kept for hosts: modified flags are cleared by the catalogue itself. 0. */
ZEL_API int32_t DB_state_list_unflag_modified_mvtables(DB_INSTANCE *instance, const char *owner,
                                                       const char *list);
ZEL_API int32_t DB_state_unflag_modified_mvtables(DB_INSTANCE *instance, const STATE *state);

/* Obsolete: states are written through the catalogue's functions. Each
 * prints a line to standard error and returns -1. */
ZEL_API int32_t DB_states_def_delete(DB_INSTANCE *instance, const int32_t *state_ids,
                                     int32_t count);
ZEL_API int32_t DB_states_def_trim_lineage(DB_INSTANCE *instance, int32_t first, int32_t second,
                                           int32_t third);
ZEL_API int32_t DB_states_def_update(DB_INSTANCE *instance, const STATE *state);

/* Creates a state through insert_state: a child of the last id of the
 * record's lineage (0 for an empty lineage), open when its closing_time is 0,
 * else closed; committed. *new_state_id receives the id the catalogue gave
 * (0 first). Returns 0; the function's code mapped (-20172 gives -172, native
 * error 0; the function's message in the extended error record's text);
 * -51 with the record filled for a failed step; -65 for a null argument;
 * -66 for a lineage blob that does not hold lineage_length ids. */
ZEL_API int32_t DB_sp_states_def_insert(DB_INSTANCE *instance, const STATE *state,
                                        int32_t *new_state_id);

/* Deletes the states through delete_state, 200 ids per call, each call its
 * own transaction: a failing call is rolled back and ends the run, and the
 * batches before it stay deleted. Returns 0 (also for a count of 0); the
 * mapped code of the failing call; -51 with the record filled for a failed
 * step; -65 for a null array with a positive count; -66 for a negative
 * count. */
ZEL_API int32_t DB_sp_states_def_delete(DB_INSTANCE *instance, const int32_t *state_ids,
                                        int32_t count);

/* Opens (closing_time 0) or closes the record's state through open_state or
 * close_state; committed. Returns as DB_sp_states_def_insert. */
ZEL_API int32_t DB_sp_states_def_update(DB_INSTANCE *instance, const STATE *state);

/* Trims the lineage between the third (high) and second (low) state through
 * trim_state_lineage, but only when the first and the third id are equal;
 * otherwise nothing is called and 0 returned. Returns as
 * DB_sp_states_def_insert. */
ZEL_API int32_t DB_sp_states_def_trim_lineage(DB_INSTANCE *instance, int32_t first, int32_t second,
                                              int32_t third);

/* 0 when range_delete_ok allows the states from start to end to be deleted;
 * else the mapped code, or -51 as DB_sp_states_def_insert. */
ZEL_API int32_t DB_state_range_delete_ok(DB_INSTANCE *instance, int32_t start_state_id,
                                         int32_t end_state_id);

#ifdef __cplusplus
}
#endif

#endif
