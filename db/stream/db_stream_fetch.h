// A query stream's rows, one at a time: each row copied from the fetched
// block into the caller's value records, its shape decoded and tested
// exactly against the query's spatial filters (rows that fail never come
// back), fetched ids added to an open log, and long values read in pieces.
#ifndef DB_STREAM_FETCH_H
#define DB_STREAM_FETCH_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Fetches the next row that passes the filters into values (the caller's
 * value records by described column, as VES_allocate_row_pointers makes
 * them; a blob record's byte count states the room of its block the first
 * time that block is seen) and indicators (1 NULL, 2 a value, 3 the row
 * belongs to the feature whose shape is already held). filter_results, when
 * given, receives the pass flags of each filter (one word each). *row_id is
 * the row's id, -1 when the row has none. With auto_log set the id goes into
 * the stream's automatic log. 0; -4 no more rows; -12; -55 a column of an
 * unknown C type; -57 the layer's shape buffer is too small; -65; a fetch,
 * decode, log or row-lock failure (-42, -51: the statement is freed and the
 * stream must be set up again). A row whose exact test fails with an error
 * is skipped and the error kept in the stream's extended error record. */
ZEL_API int32_t DB_stream_fetch_row(DB_STREAM *stream, int32_t auto_log, void **values,
                                    int16_t *indicators, int32_t *filter_results, int32_t *row_id);

/* Copies the next piece of the current row's long value of a blob column:
 * the wanted size or what remains, whichever is smaller, into destination;
 * *size is the piece's length. 0; -65 for a null stream, size or
 * destination; -66 for a column that is not a blob column of the result, a
 * negative wanted size, no current row or a NULL value. */
ZEL_API int32_t DB_stream_get_blob_segment(DB_STREAM *stream, int16_t column, int32_t wanted,
                                           int32_t *size, void *destination);

/* Adds every fetched row id to the open log of that descriptor from now on.
 * 0; -24 the log's table is not the query's; -65; the log or layer reader's
 * failure. */
ZEL_API int32_t DB_stream_set_auto_log(DB_STREAM *stream, int32_t log_descriptor);

#ifdef __cplusplus
}
#endif

#endif
