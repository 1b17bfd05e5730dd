// Tests of a column name written in a request against a stream.
#ifndef DB_STREAM_COLUMNS_INTERNAL_H
#define DB_STREAM_COLUMNS_INTERNAL_H

#include "db/core/db_stream_columns.h"

// Each gives 1 or 0.
int32_t db_stream_is_spatial_column(DB_STREAM *stream, const char *name);
int32_t db_stream_is_row_id_pseudo_column(DB_STREAM *stream, const char *name);
int32_t db_stream_is_raster_column(DB_STREAM *stream, const char *name);

#endif
