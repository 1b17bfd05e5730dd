// The spatial column of a table from the LAYERS catalogue.
#ifndef DB_STREAM_LAYER_INTERNAL_H
#define DB_STREAM_LAYER_INTERNAL_H

#include "db/core/db_stream_layer.h"

// Reads the table's spatial column into a buffer of 32 bytes. Returns 0 (no
// layer leaves the buffer as it was), -66 for a name with an over-long part,
// -65 for a null argument, -51 (connection's extended error record filled).
int32_t db_get_spatial_column_name(const char *table, char *column);

#endif
