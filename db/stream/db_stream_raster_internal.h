// The raster column of a stream: which of the caller's columns is the raster
// column of one of the stream's tables, and whether the current user holds
// the privilege the operation needs on it.
#ifndef DB_STREAM_RASTER_INTERNAL_H
#define DB_STREAM_RASTER_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_raster.h"

typedef struct DB_STREAM DB_STREAM;

/* The tile inserts commit after this many bytes. */
#define DB_STREAM_RASTER_COMMIT_BYTES 1048576

#ifdef __cplusplus
extern "C" {
#endif

/* Clears the stream's raster fields, then looks at each table the host
 * registered with a raster column: when a caller's column names that raster
 * column, the user must hold the privilege bits on it, and the stream takes
 * its names, id and the column's position. 0 (also when none is found); -25
 * without the privilege; -247 for a second raster column; an error of the
 * raster column reader other than -226, or of the privilege reader. */
int32_t db_stream_find_raster_column(DB_STREAM *stream, int32_t column_count,
                                     const char *const *columns, int32_t table_count,
                                     const char *const *tables, uint32_t privilege);

/* 1 with *position set when one of the column names (column,
 * table.column, owner.table.column, database:owner.table.column, or "*" in
 * the column's place) names the record's raster column; else 0. */
int32_t db_columns_find_raster_column(DB_STREAM *stream, const RASTERCOLUMN *info,
                                      int32_t column_count, const char *const *columns,
                                      const char *table, int32_t *position);

#ifdef __cplusplus
}
#endif

#endif
