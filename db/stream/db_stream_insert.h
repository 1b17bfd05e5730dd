// Insert streams: rows written into one table, one row per call, through one
// prepared INSERT whose parameters stay bound to the stream's row buffers.
// Plain tables, layers (each row with a shape gets a new VE_ROW_ID from the
// host's id allocator and its shape goes in through the spatial type
// library's constructor) and the adds table of a state of a multiversion
// table. The host: DB_stream_init, DB_stream_init_insert_table,
// DB_stream_init_array_insert with the definitions of the same columns,
// DB_stream_execute_insert_table per row, DB_stream_flush_buffered_inserts,
// DB_stream_close; the stream's envelope of the shapes written widens the
// layer's extent afterwards.
#ifndef DB_STREAM_INSERT_H
#define DB_STREAM_INSERT_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Prepares the INSERT of the named columns into the table (state_id 0) or
 * into the adds table of the registration with ZEL_STATE_ID state_id. A
 * registration with id 0 is a plain table. 0; -168 for a column named
 * VE_ROW_ID (nothing prepared); -25 without the insert privilege on the
 * layer; -37 / -38 when the table / a column does not exist; -1 when the
 * layer's srid is not found; -51 (the stream's extended error filled); -65;
 * -66; -322 for a name that is not an identifier; -12. */
ZEL_API int32_t DB_stream_init_insert_table(DB_STREAM *stream, const char *table,
                                            const REGISTRATION *registration, int32_t state_id,
                                            int16_t column_count, const char *const *columns);
/* Lays the row buffers out for the definitions (the same columns, the same
 * order; kept by pointer until the stream is closed) and binds every
 * parameter that stays bound; nothing when already bound. flag has no
 * effect. 0; -114 for an engine type outside 1 to 9 or a shape column that
 * is not the table's spatial column; -66 for another column count; -12;
 * -51; the tile INSERT's error. */
ZEL_API int32_t DB_stream_init_array_insert(DB_STREAM *stream, int16_t column_count,
                                            const DB_COLUMN_DEF *columns, int32_t flag);
/* Inserts one row: indicators (1 NULL) and value pointers by column. A
 * positive log_id opens the stream's automatic log first when none is open.
 * With commit set the autocommit rule is applied. 0; the id allocator's
 * negative result (-1 without one; nothing inserted); -51 for a failed
 * execute (the statement is prepared again by the next row); -186 when the
 * rows are logged or locked by a row-id column the caller does not give;
 * the log's, commit's or layer read's error (the row is inserted then). */
ZEL_API int32_t DB_stream_execute_insert_table(DB_STREAM *stream, const int16_t *indicators,
                                               void *const *values, int32_t commit, int32_t log_id);
/* Nothing is buffered: applies the autocommit rule. */
ZEL_API int32_t DB_stream_flush_buffered_inserts(void);

#ifdef __cplusplus
}
#endif

#endif
