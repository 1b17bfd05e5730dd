// Writes to multiversion tables through a state: the set-up of an update
// through the state, by a WHERE condition, of one row by id, of one row per
// call, or of a known list of rows in ascending id order. The update itself
// runs with DB_stream_execute_update_state; the set-ups only describe it
// and hang a zeroed write buffer in the stream, released by DB_stream_close.
#ifndef DB_STATE_WRITE_BUFFER_H
#define DB_STATE_WRITE_BUFFER_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"
#include "db/version/db_mv_view.h"

/* More ids than this go into a temporary log rather than an IN list. */
#define DB_STATE_WRITE_MAX_IN_IDS 150

#ifdef __cplusplus
extern "C" {
#endif

/* Update of the rows the WHERE text selects (none or empty: every visible
 * row). The text must prepare against the adds table first (its failure is
 * returned, the stream unchanged); the stream then takes the text over (C
 * heap memory, freed at close). The column definitions stay the caller's
 * until the last execute. 0; -12; -65; -66 without columns; -322 for a
 * first column name that is not an identifier; -51. */
ZEL_API int32_t DB_stream_update_state_init(DB_STREAM *stream, const REGISTRATION *registration,
                                            int16_t column_count, const DB_COLUMN_DEF *columns,
                                            char *where);
/* Update of the one row with the id. 0; -12; -65; -322 for a row-id column
 * that is not an identifier. */
ZEL_API int32_t DB_stream_set_row_state_init(DB_STREAM *stream, const REGISTRATION *registration,
                                             int16_t column_count, const DB_COLUMN_DEF *columns,
                                             int32_t row_id);
/* Update of one row per execute call, its id the value of the last column. */
ZEL_API int32_t DB_stream_update_row_state_init(DB_STREAM *stream, const REGISTRATION *registration,
                                                int16_t column_count, const DB_COLUMN_DEF *columns);
/* Update of the listed rows, one per execute call in ascending id order.
 * More than 150 ids are written into a temporary log hung in the spec
 * (deleted at close), fewer go into an IN list. 0; -12; -65; -66 for no
 * ids; -322; the log's error (the log deleted). */
ZEL_API int32_t DB_stream_update_ordered_state_init(
    DB_STREAM *stream, const REGISTRATION *registration, const int32_t *ids, int32_t id_count,
    int16_t column_count, const DB_COLUMN_DEF *columns, DB_MV_QUERY_INFO *spec);

#ifdef __cplusplus
}
#endif

#endif
