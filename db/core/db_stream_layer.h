// The layer behind a table: its spatial column from the LAYERS catalogue, and
// the binding of a stream to the layer of a table.
#ifndef DB_STREAM_LAYER_H
#define DB_STREAM_LAYER_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_STREAM DB_STREAM;

// Reads the table's spatial column into a buffer of 32 bytes. Returns 0 (no
// layer leaves the buffer as it was), -66 for a name with an over-long part,
// -65 for a null argument, -51 (connection's extended error record filled).
int32_t db_get_spatial_column_name(const char *table, char *column);

// Points the stream at the layer of the table (owner: the default owner) and
// copies its spatial column name. Returns 0 or the look-up's negative code.
ZEL_API int32_t DB_stream_set_layer(DB_STREAM *stream, const char *table, const char *owner);

#endif
