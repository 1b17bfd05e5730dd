// The stream record: the state of one insert, update, delete or query on one
// table, held by the host between commands. The access core creates and
// releases it; the layer, versioning and stream code fill and use it. The
// stream's own extended error record is read and cleared here.
#ifndef DB_STREAM_H
#define DB_STREAM_H

#include <stdint.h>

#include "base/util/zel_export.h"
#include "db/core/db_diag.h"

#define DB_STREAM_NAME_SIZE 16
#define DB_STREAM_PARAM_WORDS 10

typedef struct DB_STREAM DB_STREAM;

/* The parameter record of DB_stream_init, passed by value. */
typedef struct DB_STREAM_PARAMS {
    char name[DB_STREAM_NAME_SIZE];
    int32_t words[DB_STREAM_PARAM_WORDS];
} DB_STREAM_PARAMS;

/* The fourth parameter word: per-filter buffers, cut to this many. */
#define DB_STREAM_PARAM_FILTER_BUFFERS 3
#define DB_STREAM_MAX_FILTER_BUFFERS 250
/* The fifth parameter word: the default size in bytes of a query's shape
 * buffer, for a layer whose optimal array size is not set. */
#define DB_STREAM_PARAM_SHAPE_BUFFER 4
/* Operation modes of DB_stream_set_operation_mode. */
#define DB_STREAM_MODE_MAX 3

#ifdef __cplusplus
extern "C" {
#endif

/* Allocates a zeroed stream with its initial values into *out, which the
 * caller releases with DB_stream_free and then the C heap's free. 0; -12
 * (*out null); -65 for a null out. */
ZEL_API int32_t DB_stream_init(DB_STREAM **out, int32_t creation_argument, const char *owner,
                               DB_STREAM_PARAMS params);
/* Releases what the stream holds and resets it for another use; commits by
 * the default-transaction rule. release_all also frees the filter data,
 * release_shared the coordinate reference and the value and indicator
 * arrays. A null stream is ignored; a second close does nothing more. */
ZEL_API void DB_stream_close(DB_STREAM *stream, int32_t release_all, int32_t release_shared);
/* DB_stream_close with both flags; the record stays for the caller to free. */
ZEL_API void DB_stream_free(DB_STREAM *stream);
/* 0; -66 for a mode outside 0 to 3 (the mode is kept); -65 for a null stream. */
ZEL_API int32_t DB_stream_set_operation_mode(DB_STREAM *stream, int32_t mode);

/* Copies the stream's record into *out and returns out. A null stream gives a
 * cleared record. */
ZEL_API DB_EXT_ERROR *DB_stream_get_xerr(DB_EXT_ERROR *out, DB_STREAM *stream);
/* A null stream is ignored. */
ZEL_API void DB_stream_clear_xerr(DB_STREAM *stream);

#ifdef __cplusplus
}
#endif

#endif
