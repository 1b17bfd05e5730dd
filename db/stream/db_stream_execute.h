// A query stream's description and execution: the result columns described
// for the host, the hidden columns the fetch needs added behind them, and the
// SELECT executed with its columns bound for block fetch. With a search
// envelope the SELECT gets the envelope pre-filter with a generated search
// shape bound as its parameter, and it runs at the first fetch.
#ifndef DB_STREAM_EXECUTE_H
#define DB_STREAM_EXECUTE_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/zel_export.h"

typedef struct DB_STREAM DB_STREAM;
typedef struct REGISTRATION REGISTRATION;
typedef struct LAYER LAYER;

#ifdef __cplusplus
extern "C" {
#endif

/* Describes the prepared query's result as the host sees it (the columns the
 * query adds for itself are left out): *columns is the stream's own array,
 * valid until the stream is described again, set up again or closed; a shape
 * column of the stream's layer comes back as type 8, a raster column as 9,
 * row-id kinds from the registration (may be null). With layers, *layers is a
 * C heap array (the caller frees it) holding the stream's layer at the shape
 * column and null elsewhere. 0; -12; -65 for a null argument or a stream
 * without a prepared query; the describe's failure (-37, -38, -51, -55). */
ZEL_API int32_t DB_stream_describe_sql(DB_STREAM *stream, const REGISTRATION *registration,
                                       int16_t *count, DB_COLUMN_DEF **columns, LAYER ***layers);

/* Executes the prepared query. log_descriptor (above 0) names an open log
 * that fetched ids go into; with flag set and neither filters nor a shape
 * column, the shape is not fetched. values are the caller's value records by
 * described column (its shape record at the shape column receives each row's
 * shape). A query with a search envelope is prepared here and executed at
 * its first fetch. 0; -1 no FROM text to add a hidden column to; -12; -17 no
 * layer for the envelope pre-filter; -25 or -77 for the layer taken from the
 * filters; -37, -38, -42, -51 from the prepare or the execute (statement
 * freed: set the stream up again); -65; -66 a name that is not an
 * identifier; a log, layer or geometry failure. */
ZEL_API int32_t DB_stream_execute_query(DB_STREAM *stream, int32_t log_descriptor, int32_t flag,
                                        void **values);

#ifdef __cplusplus
}
#endif

#endif
