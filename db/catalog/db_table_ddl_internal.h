// The storage configuration the table and index DDL share, and the choice
// of its clauses by the storage selector.
#ifndef DB_TABLE_DDL_INTERNAL_H
#define DB_TABLE_DDL_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_table_ddl.h"
#include "db/core/db_dbtune_internal.h"

// Reads the keyword's layer storage configuration into config (cleared
// first). An empty or null keyword reads nothing and leaves it clear.
// Returns 0; -87 when the keyword has no rows of its own; or the store's
// failure.
int32_t db_table_storage_config(const char *keyword, DBTUNE_LAYER_CONFIG *config);

// The clause the storage selector picks: adds (DB_STORAGE_ADDS), deletes
// (DB_STORAGE_DELETES) or, for any other value, the business table's.
const char *db_table_storage_pick(int32_t storage, const char *business, const char *adds,
                                  const char *deletes);

// DB_table_create that also hands back the result of taking PUBLIC's
// default privileges away: *revoked is 0, or the revoke's failure (the table
// then exists, committed, and the caller decides whether to keep it).
int32_t db_table_create_private(DB_INSTANCE *instance, const char *table, int16_t count,
                                const DB_COLUMN_DEF *columns, const char *keyword, int32_t storage,
                                int32_t *revoked);

#endif
