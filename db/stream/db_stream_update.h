// Update streams of plain tables: one row of column values applied to every
// row of a table (not multiversioned) that the stream's WHERE text selects.
// On a layer the shape goes in through the spatial type library's
// constructor; rows that had no shape and receive one get a new VE_ROW_ID
// from the host's id allocator, one row at a time through a positioned
// UPDATE. The host: DB_stream_init, DB_stream_init_update_table,
// DB_stream_init_update_buffer, DB_stream_execute_update_table once,
// DB_stream_close. The row buffer is also the one of the one-row updates
// (db_stream_update_row.h).
#ifndef DB_STREAM_UPDATE_H
#define DB_STREAM_UPDATE_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the update of the table's rows that the WHERE text selects up
 * (prepares nothing). where is C heap text that the call takes over and
 * frees on every return (null or blank: every row); a leading "where " is
 * dropped. 0; -25 without the update privilege (bit 8) on the layer; -65;
 * -66 for no columns or a WHERE text whose parentheses do not balance
 * (outside its quoted texts); -322 for a table name that is not an identifier; the
 * layer read's error; -12. */
ZEL_API int32_t DB_stream_init_update_table(DB_STREAM *stream, const char *table,
                                            int16_t column_count, const char *const *columns,
                                            char *where);
/* Lays the row buffer out for the definitions (kept by pointer until the
 * stream is closed): a slot per column, the shape's annotation record when
 * the layer has annotation, the VE_ROW_ID slot when a shape column exists.
 * Binds nothing. 0; -65 before a set-up; -66 for another column count than
 * the set-up's; -114 ("DB_stream_init_update_buffer::Invalid column data
 * type (%d)\n"); -12. */
ZEL_API int32_t DB_stream_init_update_buffer(DB_STREAM *stream, int16_t column_count,
                                             const DB_COLUMN_DEF *columns);
/* Applies one row (indicators, 1 NULL; value pointers by column) to every
 * row the WHERE text selects. Runs once per set-up: a second call answers
 * -66 and changes nothing. A positive log_id opens the stream's automatic
 * log first when none is open. 0; -1005 when no row matched; -1 when the
 * layer's srid is not found; -37 / -38 / -25 for a prepare refused with
 * SQLSTATE S0002 / S0022 / 42000 (the last on the reads of a shape update);
 * -51 with the stream's extended error filled; the id allocator's negative
 * result (the rows updated before stay updated); -12; -114; -322 for a
 * column name that is not an identifier; the log's error. */
ZEL_API int32_t DB_stream_execute_update_table(DB_STREAM *stream, const int16_t *indicators,
                                               void *const *values, int32_t log_id);

#ifdef __cplusplus
}
#endif

#endif
