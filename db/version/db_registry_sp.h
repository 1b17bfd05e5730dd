// TABLE_REGISTRY written for the host: registrations inserted, updated,
// renamed and deleted through the catalogue's routines insert_registration,
// update_registration, change_registration_table_name and
// delete_registration. Nothing is committed: the caller ends the
// transaction.
//
// A routine answers one integer: 0 for success; a value from -20998 to
// -20001 becomes the engine code value + 20000 (native error 0), any other
// value -51 with the value as native error. Either way the connection's
// extended error record names the routine ("Error executing stored
// procedure insert_registration"). A failing CLI step records its
// diagnostic there and gives -51.
#ifndef DB_REGISTRY_SP_H
#define DB_REGISTRY_SP_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts the registration, registered now. Its database and table names
 * are folded to lower case in the record first. Without a row-id column
 * (object flag 1 clear) the row-id column and minimum id go in as NULL; an
 * empty description, keyword or IMV view name as NULL. Returns 0; the
 * routine's code mapped; -51; -65 for a null record. */
ZEL_API int32_t DB_sp_registry_def_insert(DB_INSTANCE *instance, REGISTRATION *registration);

/* Updates the row of the registration's id: row-id column (NULL without
 * object flag 1), description, object flags, keyword, minimum id (NULL
 * without object flag 2) and IMV view name. Returns as the insert. */
ZEL_API int32_t DB_sp_registry_def_update(DB_INSTANCE *instance, const REGISTRATION *registration);

/* Deletes the registration's row. Returns as the insert (-220 when the
 * routine finds no such registration). */
ZEL_API int32_t DB_sp_registry_def_delete(DB_INSTANCE *instance, int32_t registration_id);

/* Gives the registration a new table name. Returns as the insert; -65 for a
 * null name. */
ZEL_API int32_t DB_sp_registry_def_change_table_name(DB_INSTANCE *instance, int32_t registration_id,
                                                     const char *new_table);

#ifdef __cplusplus
}
#endif

#endif
