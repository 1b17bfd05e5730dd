// Array fetch of a query stream: the bound row buffer, per-column buffers and
// value and indicator arrays, and the secondary cursor that refetches a shape
// by row id. Here so far only their release for DB_stream_close.
#ifndef DB_ARRAY_FETCH_INTERNAL_H
#define DB_ARRAY_FETCH_INTERNAL_H

#include <stdint.h>

typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Frees the row buffer and the per-column buffers; with release also the
 * value and indicator arrays. Null is ignored; returns 0. */
int32_t db_array_fetch_free(DB_STREAM *stream, int32_t release);
/* Frees the secondary cursor's buffer and statement (its size back to -1);
 * with reset also sets the fetch position back to -1 and clears the fetch
 * counter. Null is ignored; returns 0. */
int32_t db_stream_close_cursor(DB_STREAM *stream, int32_t reset);

#ifdef __cplusplus
}
#endif

#endif
