// The library's side of the raster column records: the privileges of the
// current user on a raster column and the plain-SQL write of its catalogue
// row.
#ifndef DB_RASTERCOLUMN_INFO_INTERNAL_H
#define DB_RASTERCOLUMN_INFO_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_rastercolumn_info.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Fills info->privileges for the user: 30 for the owner of the user table
 * (names compared exactly), else the AND of the user's masks on the user
 * table and on the raster column's block table. Returns 0; -25 without
 * SELECT; -65; or the mask reader's failure. */
int32_t db_rastercolumn_get_permissions(const char *user, RASTERCOLUMN *info);

/* Writes the catalogue row with a plain INSERT (srid of an equal spatial
 * reference or of a new one) and commits. Returns 0; -194 when the row
 * exists; -65; the srid look-up's failure; -51. */
int32_t db_rastercolumn_def_insert_direct(DB_INSTANCE *instance, const RASTERCOLUMN *info);

#ifdef __cplusplus
}
#endif

#endif
