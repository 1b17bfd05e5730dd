// The library's side of db_layer_extent.h: the one-row LAYERS insert of the
// migration, and the base table of a view layer that the layer DDL checks.
#ifndef DB_LAYER_EXTENT_INTERNAL_H
#define DB_LAYER_EXTENT_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "db/catalog/db_layer_extent.h"
#include "db/core/db_diag.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts one LAYERS row from the record (srid from its coordref). The
 * connection's extended error record is cleared first. Returns 0; -86 when
 * the table name is empty or blank; -19 for a duplicate key; -51 (record
 * filled); -65. A failed execute rolls the transaction back. */
int32_t S_insert_layers_def_only(DB_INSTANCE *instance, const LAYER *layer);

/* Prepares and executes the LAYERS insert of the record's 19 values (srid
 * given apart), texts sized as their fields, an empty description and
 * configuration keyword sent as NULL. 0; else the failing CLI code with
 * *diag filled (the statement freed, nothing rolled back). Throws
 * std::bad_alloc. */
int db_layers_insert_row(DB_INSTANCE *instance, const LAYER *layer, const int32_t *srid,
                         CLI_DIAG_RECORD *diag);

/* The base table of a view layer from its GEOMETRY_COLUMNS row: schema,
 * table and column into outputs of schema_size, table_size and column_size
 * bytes (emptied first). Returns 0; -20 when there is no such row; -51
 * (connection's extended error record filled); -65. */
int32_t db_get_base_table_name(const LAYER *layer, char *schema, size_t schema_size, char *table,
                               size_t table_size, char *column, size_t column_size);

#ifdef __cplusplus
}
#endif

#endif
