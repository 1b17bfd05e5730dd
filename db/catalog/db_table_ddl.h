// User tables for the host and the catalogue code: creation from column
// definitions with the engine's row-id column, the spatial library's column
// types and the storage clauses of a DBTUNE keyword; adding and dropping a
// column; renaming, emptying and dropping a table.
#ifndef DB_TABLE_DDL_H
#define DB_TABLE_DDL_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Storage selectors: which DBTUNE clauses of the keyword a table or index
 * takes. Any other value selects the business table's. */
#define DB_STORAGE_BUSINESS 0
#define DB_STORAGE_ADDS 1
#define DB_STORAGE_DELETES 2

/* The engine's row-id column of layer tables, a 32-bit integer. */
#define DB_VE_ROW_ID "VE_ROW_ID"

/* Creates the table from count column definitions (a row-id column follows
 * the spatial column when the caller gives none), with the storage clauses of
 * the keyword (empty: none) chosen by the selector, commits it and revokes
 * PUBLIC's default privileges. Returns 0; -26 a VE_ROW_ID column or the
 * spatial column that does not allow NULL; -53 an unknown column type; -56 a
 * size or digits out of range, or a column name that is empty or too long;
 * -62 the table exists; -87 a keyword without DBTUNE rows of its own; -114 a
 * VE_ROW_ID column that is not a 32-bit integer; -133 two spatial columns;
 * -322 a name that is not an identifier; -65; -66 a table name too long or a
 * count below 1; -12; -51 (connection's extended error record filled, the
 * table named in its message). Nothing is executed when a definition is
 * refused. */
ZEL_API int32_t DB_table_create(DB_INSTANCE *instance, const char *table, int16_t count,
                                const DB_COLUMN_DEF *columns, const char *keyword, int32_t storage);

/* Adds one column; committed. 0; -291 the column exists; -53; -56; -322;
 * -65; or the statement's failure. */
ZEL_API int32_t DB_table_add_column(DB_INSTANCE *instance, const char *table,
                                    const DB_COLUMN_DEF *column);

/* Drops one column; committed. 0; -37; -38; -25; -51; -65; -66; -322. */
ZEL_API int32_t DB_table_drop_column(DB_INSTANCE *instance, const char *table, const char *column);

/* Renames a table; committed. 0; -37; -62 the new name exists; -25; -51;
 * -65; -66; -322. */
ZEL_API int32_t DB_table_rename(DB_INSTANCE *instance, const char *old_name, const char *new_name);

/* Deletes every row, inside the caller's transaction (no commit). 0 (also
 * for an empty table); -65; -66; -322; or the statement's failure. */
ZEL_API int32_t DB_table_truncate(DB_INSTANCE *instance, const char *table);

/* Drops a table; committed. 0; -37 when it does not exist; -65; -66; -322;
 * or the statement's failure. */
ZEL_API int32_t DB_table_drop(DB_INSTANCE *instance, const char *table);

#endif
