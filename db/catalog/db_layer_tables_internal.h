// The layer of a statement's tables: before a stream inserts, updates or
// queries, the one layer whose spatial column the statement uses becomes
// the stream's layer, and the stream's shape record learns which of the
// statement's tables holds it.
#ifndef DB_LAYER_TABLES_INTERNAL_H
#define DB_LAYER_TABLES_INTERNAL_H

#include <stdint.h>

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

/* Rows of one block of the layer SELECT. */
#define DB_LAYER_TABLES_ROWSET 8

#ifdef __cplusplus
extern "C" {
#endif

/* Resolves the stream's layer from the column names of a statement (column,
 * table.column, owner.table.column, database:owner.table.column; "*") and
 * its table names, the stream's user filling a missing owner. Tables of
 * cached layers are resolved from the layer cache; when a table is left,
 * every table the host's registration look-up reports as a layer is read
 * with one SELECT, in blocks of 8 rows. Returns 0 (the stream may or may not
 * have a layer then); -37 when the SELECT gave no row at all; -133 when the
 * statement uses the spatial columns of two layers (the stream then has no
 * layer); -12; -51 (connection's extended error record filled); -65 for a
 * null stream or list; or a failure of the layer cache. */
int32_t db_layer_info_load_for_tables(DB_INSTANCE *instance, DB_STREAM *stream,
                                      int32_t column_count, const char *const *columns,
                                      int32_t table_count, const char *const *tables);

#ifdef __cplusplus
}
#endif

#endif
