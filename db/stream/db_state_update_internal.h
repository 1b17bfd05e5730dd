// The steps of an update through a state (db_state_update.h) that stand on
// their own: the in-place UPDATE of one row version in its own state, and
// the description of a list of the adds table's columns that the update
// reads.
#ifndef DB_STATE_UPDATE_INTERNAL_H
#define DB_STATE_UPDATE_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/db_column_def.h"
#include "db/stream/db_state_update.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Updates one version in place through the in-place stream (set up by
 * DB_stream_init_set_row over the adds table and DB_stream_init_update_buffer
 * with the caller's columns followed by the row-id column whose value
 * selects the version): the row (indicators and values by column, then the
 * VE_ROW_ID of a new shape) is copied in, and the UPDATE restricted to the
 * row id and to *state_id (bound to it) is prepared when the row needs
 * another form than the one prepared (a shape set or not; a NULL shape
 * leaves the shape as it is). 0; -1005 when the version is gone; -37, -38
 * or -51 from the prepare; -51 for a failed execute (the stream's extended
 * error filled; the next row prepares again); -1 when the layer's srid is
 * not found; -66 when no column is left to set; the binding's codes; -65;
 * -12. */
int32_t db_update_in_state(DB_STREAM *in_place, const int16_t *indicators, void *const *values,
                           SQLINTEGER *state_id, const char *rowid_column);

/* Describes the named columns of the adds table into *columns (C heap, the
 * caller frees it) and *count; a column named as the spatial column (any
 * case) that comes back as a blob becomes a shape. 0; -51 for a failed
 * prepare (the connection's extended error filled); the description's
 * code; -65; -66 for no names; -322 for a name that is not an identifier;
 * -12. */
int32_t db_describe_state_select(DB_STREAM *query, const char *adds_table,
                                 const char *spatial_column, int16_t count,
                                 const char *const *names, int16_t *described,
                                 DB_COLUMN_DEF **columns);

#ifdef __cplusplus
}
#endif

#endif
