// The layer behind a table: its spatial column from the LAYERS catalogue, and
// the binding of a stream to the layer of a table.
#ifndef DB_STREAM_LAYER_H
#define DB_STREAM_LAYER_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_STREAM DB_STREAM;

// Points the stream at the layer of the table (owner: the default owner) and
// copies its spatial column name. Returns 0 or the look-up's negative code.
ZEL_API int32_t DB_stream_set_layer(DB_STREAM *stream, const char *table, const char *owner);

#endif
