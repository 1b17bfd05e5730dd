// The library's side of the locators: whether a table is tied to a locator
// other than a given one, which the locator deletion and the registrations
// share.
#ifndef DB_LOCATOR_INTERNAL_H
#define DB_LOCATOR_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_locator.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets *only to 1 when the table of the owner has no link row (METADATA,
 * object type 1) to a locator other than locator_id, else 0; commits.
 * Returns 0; -51 with the connection's extended error record filled; -65
 * for a null argument. Throws std::bad_alloc. */
int32_t db_locator_find_table_record(const char *table, const char *owner, int32_t locator_id,
                                     int32_t *only);

#ifdef __cplusplus
}
#endif

#endif
