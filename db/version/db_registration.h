// Registrations for the host: the TABLE_REGISTRY rows of the administrative
// database read into REGISTRATION records (base/util/ve_registration.h), the
// current user's privileges on registered tables, the largest row id a
// registered table uses, the check that a registered table can be read, and
// the registry filled from the layer catalogue.
#ifndef DB_REGISTRATION_H
#define DB_REGISTRATION_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Scan of every registration in registration_id order. With open set, a new
 * scan starts (one still open is discarded) and delivers its first record;
 * with open clear, the next record. The transaction is committed after each
 * record. Returns 0; -4 after the last record (the scan is then closed); -14
 * when no scan is open; -12; -51 (connection's extended error record
 * filled; the scan is closed); -65 for a null record. */
ZEL_API int32_t DB_registration_scan(DB_INSTANCE *instance, int32_t open, REGISTRATION *out);

/* Fills the permissions of every record whose permissions are -1 with the
 * current user's privilege mask on its table (VE_PRIV_* bits, 30 for the
 * owner). A read that fails with -51 stops the loop and is returned; any
 * other failure leaves that record's field as the read left it. Returns 0,
 * -51, or -65 for a null list with a positive count. */
ZEL_API int32_t DB_registration_list_get_permissions(DB_INSTANCE *instance, REGISTRATION *list,
                                                     int32_t count);

/* The largest value of the registration's row-id column in its table and,
 * for a multiversion table, in its adds table (ids from the IMV id range,
 * 2136997887 and above, are not counted); 0 for empty tables. Returns 0;
 * -51 (connection's extended error record filled); -65 for a null argument;
 * -322 for a row-id column that is not an identifier. */
ZEL_API int32_t DB_registered_table_get_max_rowid(DB_INSTANCE *instance,
                                                  const REGISTRATION *registration,
                                                  uint32_t *max_rowid);

/* Checks that the registered table can be read in the connected database:
 * prepares a SELECT of its row-id column (a user-maintained one) or of every
 * column. Returns 0; -325 when the registration belongs to another database;
 * -51 when the prepare fails (connection's extended error record filled);
 * -65; -322 for a row-id column that is not an identifier. */
ZEL_API int32_t DB_registration_verify_table(DB_INSTANCE *instance,
                                             const REGISTRATION *registration);

/* Registers every layer of the LAYERS table under its layer id with object
 * flags 4, after emptying TABLE_REGISTRY when empty_first is set; committed.
 * *count receives the number of layers. Returns 0; -51; the truncation's
 * failure; -65 for a null count; or the layer count's failure. */
ZEL_API int32_t DB_registry_load_from_layers(DB_INSTANCE *instance, int32_t empty_first,
                                             int32_t *count);

/* Obsolete: registrations are written through the catalogue's routines. Each
 * prints a line to standard error and returns -1. */
ZEL_API int32_t DB_registry_def_delete(DB_INSTANCE *instance, int32_t registration_id);
ZEL_API int32_t DB_registry_def_insert(DB_INSTANCE *instance, const REGISTRATION *registration);
ZEL_API int32_t DB_registry_def_update(DB_INSTANCE *instance, const REGISTRATION *registration);
ZEL_API int32_t DB_registry_def_change_table_name(DB_INSTANCE *instance,
                                                  const REGISTRATION *registration,
                                                  const char *new_table);

#ifdef __cplusplus
}
#endif

#endif
