// Tests of a column name written in a request against a stream: is it the
// stream's spatial column, its row-id pseudo column or its raster column; and
// the raster column id a stream works on.
#ifndef DB_STREAM_COLUMNS_H
#define DB_STREAM_COLUMNS_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_STREAM DB_STREAM;

// 0, or -65 when the stream or the output is absent.
ZEL_API int32_t DB_stream_get_rastercolumn_id(DB_STREAM *stream, int32_t *id);
// 0, or -65 without a stream.
ZEL_API int32_t DB_stream_set_rastercolumn_id(DB_STREAM *stream, int32_t id);

#endif
