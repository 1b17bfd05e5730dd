// The engine's reading laid over a described table: its layer's spatial
// column shown as a shape and its raster column shown as a raster. The
// access core's table description (db/core/db_describe.h) calls both.
#ifndef DB_TABLE_DESCRIBE_INTERNAL_H
#define DB_TABLE_DESCRIBE_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/db_column_def.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Marks the spatial column of the table's layer among the columns: a blob
 * becomes a shape, an ST column keeps its type; both get size and decimal
 * digits 0. 0 when no column matches or the column was marked; -65 for a
 * null argument; -51 (connection's extended error record filled) when the
 * LAYERS table cannot be read. The statement handle is the caller's. */
int32_t db_table_mark_spatial_columns(int32_t count, DB_COLUMN_DEF *columns, const char *table,
                                      SQLHSTMT hstmt);

/* Marks the table's raster column (an integer column) as a raster column
 * with size and decimal digits 0. 0, or the raster column look-up's code
 * (-226 when the table has none). */
int32_t db_table_describe_mark_raster(int32_t count, DB_COLUMN_DEF *columns, const char *table);

#ifdef __cplusplus
}
#endif

#endif
