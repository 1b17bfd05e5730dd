// Making a registered table multiversioned and plain again: its adds,
// deletes and (with ZELEQUIVS) equivalence tables with their indexes,
// grants and statistics, and the table's lineage routines (the getters and
// the setter over the connection's GLOBAL variables that steer its stored
// views); emptying those tables and removing the rows of states from them;
// granting and revoking privileges on a registered table and its
// versioning tables together.
#ifndef DB_MULTIVERSION_H
#define DB_MULTIVERSION_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* With enable set, gives the registered table its versioning tables and
 * routines, all or nothing: a failing step undoes what the steps before it
 * made (the tables dropped, a layer's update trigger made again). With
 * enable 0, drops the tables, the table's stored views and its routines,
 * clears its modified marks, gives a layer its update trigger back and
 * drops an IMV view: every step is attempted, and the first failure is
 * returned (a versioning table or view that is not there is none).
 * The registration's multiversion flag is the host's to set. Returns 0;
 * -299 for a layer in load-only mode; -87 for a keyword without DBTUNE
 * rows of its own; -65; -66 for names that cannot be made; -12; or the
 * failing step's code with its extended error record. */
ZEL_API int32_t DB_registered_table_multiversion(DB_INSTANCE *instance,
                                                 const REGISTRATION *registration, int32_t enable);

/* Empties the adds, deletes and (with ZELEQUIVS) equivalence tables in the
 * caller's transaction; every table is tried, the first failure returned
 * with its record. 0; -65; -66; the truncate's codes. */
ZEL_API int32_t DB_registered_table_truncate(DB_INSTANCE *instance,
                                             const REGISTRATION *registration);

/* Removes the rows of the states of the list (ids separated by commas)
 * from the adds, deletes and (with ZELEQUIVS) equivalence tables; not
 * committed. The first failing statement ends it. 0; -37 or -25 of the
 * statement; -51 with its code as native error in the connection's record;
 * -65; -66 for a blank list or names that cannot be made; -12. */
ZEL_API int32_t DB_registered_table_remove_state_list(DB_INSTANCE *instance,
                                                      const REGISTRATION *registration,
                                                      const char *state_list);
/* The same for one state. */
ZEL_API int32_t DB_registered_table_remove_state(DB_INSTANCE *instance,
                                                 const REGISTRATION *registration,
                                                 int32_t state_id);

/* Grants the mask's privileges to the grantee (with the grant option when
 * asked) on the registered table, through its layer (UPDATE and INSERT
 * bring SELECT) and its raster column (the raster tables too) when it has
 * them, else on the table alone; then, for a versioned table, on its adds,
 * deletes and (with ZELEQUIVS) equivalence tables, where any of UPDATE,
 * INSERT and DELETE brings all three. Each grant commits; the first failure
 * ends it. 0; -65; -66 for names that cannot be made or a mask without any
 * privilege; -105 refused; the layer's or raster column's look-up codes;
 * the failing grant's code. */
ZEL_API int32_t DB_registered_table_grant_access(DB_INSTANCE *instance,
                                                 const REGISTRATION *registration, int32_t mask,
                                                 const char *grantee, int32_t grant_option);
/* Revokes the mask in the same way. On the versioning tables UPDATE,
 * INSERT and DELETE are kept while the registration's permissions hold one
 * of them that is not revoked; nothing is revoked there when no privilege
 * is left to revoke. Codes as the grant. */
ZEL_API int32_t DB_registered_table_revoke_access(DB_INSTANCE *instance,
                                                  const REGISTRATION *registration, int32_t mask,
                                                  const char *grantee);

#ifdef __cplusplus
}
#endif

#endif
