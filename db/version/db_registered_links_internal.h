// The step of the dependent-table list that other listings share.
#ifndef DB_REGISTERED_LINKS_INTERNAL_H
#define DB_REGISTERED_LINKS_INTERNAL_H

#include <stdint.h>

#include "db/version/db_registered_links.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Prepares the SELECT (a query over the table, never run): when the server
 * answers that its table does not exist, nothing is added; else the bare
 * name of the table (database and owner cut off) is appended to the C heap
 * array *tables of *count names. Returns 0; -12 (the list as it was); -51
 * for any other failure of the prepare (connection's extended error record
 * filled); -65; -66 for a name too long. */
int32_t db_dependent_table_append(DB_INSTANCE *instance, const char *select, const char *table,
                                  char ***tables, int32_t *count);

#ifdef __cplusplus
}
#endif

#endif
