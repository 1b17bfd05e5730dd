// The spatial column of a table from the LAYERS catalogue, and the stream
// accessors of its user and its layer record.
#ifndef DB_STREAM_LAYER_INTERNAL_H
#define DB_STREAM_LAYER_INTERNAL_H

#include "db/core/db_stream_layer.h"

// Reads the table's spatial column into a buffer of 32 bytes. Returns 0 (no
// layer leaves the buffer as it was), -66 for a name with an over-long part,
// -65 for a null argument, -51 (connection's extended error record filled).
int32_t db_get_spatial_column_name(const char *table, char *column);

typedef struct LAYER LAYER;

// The user name the stream was created with: the default owner of the
// stream's table names. Null for a null stream.
const char *db_stream_get_user(const DB_STREAM *stream);
// The LAYER of the stream's spatial column (normally a layer-cache record,
// not owned by the stream); null: none. Null streams are ignored.
void db_stream_set_layer_info(DB_STREAM *stream, LAYER *layer);
LAYER *db_stream_get_layer_info(const DB_STREAM *stream);
// Records in the stream's shape record which of the statement's tables holds
// the stream's layer; nothing for a stream without a shape record.
void db_stream_set_shape_column(DB_STREAM *stream, int32_t table_position);

#endif
