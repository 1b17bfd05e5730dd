// The marks laid over a described table, shared with the access core's own
// table description (db/core/db_describe_internal.h), and the removal of the
// hidden row-id column.
#ifndef DB_TABLE_DESCRIBE_INTERNAL_H
#define DB_TABLE_DESCRIBE_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "db/catalog/db_table_describe.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Marks the spatial column of the table's layer among the candidate columns
 * (blob, shape and the spatial-library types): the first candidate the
 * layer cache knows as the table's spatial column, else the one the layer
 * catalogue names (one query for every candidate). A blob becomes a shape,
 * a spatial-library type keeps its type; size and decimal digits become 0.
 * The statement handle is not used. Returns 0 (also when nothing is
 * marked); -51 (connection's extended error record filled); -12; -65; -66
 * for an over-long name part. */
int32_t db_table_mark_spatial_columns(int32_t count, DB_COLUMN_DEF *columns, const char *table,
                                      SQLHSTMT hstmt);

/* Marks the table's raster column (an integer column, names compared without
 * regard to case) as a raster with size and digits 0. 0, or the raster
 * column look-up's code (-226 when the table has none). */
int32_t db_table_describe_mark_raster(int32_t count, DB_COLUMN_DEF *columns, const char *table);

/* Removes the first column named VE_ROW_ID (any case): the later entries
 * move down one place (their row-id kinds stay where they were) and the
 * count drops by one. Nothing for a table without it. */
void db_table_describe_drop_row_id_column(int16_t *count, DB_COLUMN_DEF *columns);

#ifdef __cplusplus
}
#endif

#endif
