// The library's side of the registry routines: the modified mark of a
// registration cleared through clear_registration_modified.
#ifndef DB_REGISTRY_SP_INTERNAL_H
#define DB_REGISTRY_SP_INTERNAL_H

#include <stdint.h>

#include "db/version/db_registry_sp.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Removes the registration's MVTABLES_MODIFIED rows; not committed. Returns
 * as DB_sp_registry_def_insert, the extended error record naming
 * zel.registry_util.clear_registration_modified. */
int32_t db_registration_clear_modified(DB_INSTANCE *instance, int32_t registration_id);

#ifdef __cplusplus
}
#endif

#endif
