// What ties a registered table to other objects, for the host: the locators
// linked to it (METADATA rows of class "ZEL internal", property "Locator
// ID") and the tables the registration owns besides the user's table (the
// layer's feature table, the adds, deletes and equivalence tables, the
// raster tables), for the host to show or drop.
#ifndef DB_REGISTERED_LINKS_H
#define DB_REGISTERED_LINKS_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Deletes the link of the table to the locator (committed); *no_other_link
 * is then 1 when the table is linked to no other locator, else 0. Returns
 * 0; the deletion's codes; -51 (connection's extended error record
 * filled); -65 for a null argument. */
ZEL_API int32_t DB_registered_table_delete_locator(DB_INSTANCE *instance,
                                                   const REGISTRATION *registration,
                                                   int32_t locator_id, int32_t *no_other_link);

/* The ids of the locators linked to the table, into a C heap array of
 * *count entries that the caller frees (null with a count of 0 when there
 * are none, and on failure). Returns 0; -12; -51 (connection's extended
 * error record filled); -65. */
ZEL_API int32_t DB_registered_table_get_locator(DB_INSTANCE *instance,
                                                const REGISTRATION *registration,
                                                int32_t **locator_ids, int32_t *count);

/* The existing tables of the registration besides the table itself: for a
 * layer its feature table (the layer read by the given table name and the
 * registration's owner; no layer, no table), for a multiversioned table
 * A<id>, D<id> and E<id>, for a raster table ZEL_RAS_, ZEL_BND_, ZEL_BLK_
 * and ZEL_AUX_ of its raster column, in that order. *tables gets a C heap
 * array of *count bare table names, each its own heap block; the caller
 * frees them all (on failure too: what was found stays listed). Returns 0;
 * the raster column read's codes; -12; -51 (connection's extended error
 * record filled); -65. */
ZEL_API int32_t DB_registration_get_dependent_tables(DB_INSTANCE *instance,
                                                     const REGISTRATION *registration,
                                                     const char *table, char ***tables,
                                                     int32_t *count);

#ifdef __cplusplus
}
#endif

#endif
