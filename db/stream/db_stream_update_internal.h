// What every UPDATE of a table's rows from a stream's row buffer shares: the
// SET list, the parameter numbers, the fixed bindings to the row buffer and
// the execute that binds each row's shape, annotation text and blobs. The
// WHERE update (db_stream_update.cpp), the one-row update
// (db_stream_update_row.cpp) and the in-place update of a row version build
// their statement in the stream's main statement and run it through these,
// after DB_stream_init_update_buffer has laid the row buffer out.
//
// Parameter order of such an UPDATE: the SET list's columns in column order
// (a shape column takes two, its bytes and its annotation text), then
// VE_ROW_ID when it is set, then the caller's last column when it is the
// WHERE parameter of a one-row update; a state id, when the statement has
// one, takes next_param.
#ifndef DB_STREAM_UPDATE_INTERNAL_H
#define DB_STREAM_UPDATE_INTERNAL_H

#include <stdint.h>

#include "db/stream/db_stream_update.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Numbers the parameters of the UPDATE about to be prepared (write->params,
 * rowid_param, next_param). with_shape: the shape column is in the SET list
 * (else it is left out and takes no number); rowid: VE_ROW_ID is set after
 * the SET list's columns (needs a shape column); where_last: the last column
 * is not set but is the WHERE parameter. 0; -65 before the row buffer is
 * laid out; -66 for VE_ROW_ID without a shape column. */
int32_t db_update_plan(DB_STREAM *stream, int32_t with_shape, int32_t rowid, int32_t where_last);
/* Binds the planned parameters that stay bound to the row buffer (every
 * column but shapes and blobs; VE_ROW_ID to its slot) and makes a
 * large-object record in update mode for each planned blob column. 0; -12;
 * -51 (the statement dropped, the stream's extended error filled); -114. */
int32_t db_bind_update_buffers(DB_STREAM *stream);
/* Binds this row's shape and annotation text and its blobs, then executes
 * the UPDATE in the main statement; the large-object records are closed
 * afterwards. 0; -1005 when no row was changed (SQL_NO_DATA, or a row count
 * of 0); -51 ("S_execute_update_table  Execute Error (%d).\n", the stream's
 * extended error filled; the statement stays, the caller drops it); a bind
 * error (the statement dropped). */
int32_t db_execute_update_table(DB_STREAM *stream);

#ifdef __cplusplus
}

#include <string>

/* Appends to out, for the columns [0, count) of the row buffer, " name = ?,
 * " each (a shape column " name = <constructor>, ", left out without
 * with_shape); *written counts the columns appended. 0; -1 when the layer's
 * srid is not found; -322 for a name that is not an identifier; -66. */
int32_t db_update_set_list(DB_STREAM *stream, int32_t count, int32_t with_shape, std::string *out,
                           int32_t *written);
#endif

#endif
