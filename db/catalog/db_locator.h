// Locators (LOCATOR, base/util/ve_locator.h) for the host: the rows of the
// LOCATORS table of the administrative database written through the
// catalogue's routines insert_locator, update_locator and delete_locator,
// with their properties kept as METADATA rows of object type 2 (the
// locator's name and owner, the property and its value, class
// "ZEL internal"); a table is tied to a locator by a METADATA row of object
// type 1 (property "Locator ID", the id as decimal text).
//
// The property arrays of a record read here come from
// VES_allocate_string_array and are released with the C heap's free; a
// locator without properties reads back with count 0 and null arrays.
#ifndef DB_LOCATOR_H
#define DB_LOCATOR_H

#include <stdint.h>

#include "base/util/ve_locator.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts the locator's row and its property rows, whose record ids, names
 * and values are the three parallel arrays of the locator's property count
 * (not read when it is 0), and commits. Clears the connection's extended
 * error record. Returns 0; -276 when the locator exists; the routine's
 * status mapped (status + 20000 for -20998 to -20001, else -51 with the
 * status as native error), the transaction left open; the codes of the
 * property insert, everything rolled back; -51 on a CLI failure; -65 for a
 * null locator or a null array; -66 for a negative count; -12. */
ZEL_API int32_t DB_sp_zellocators_def_insert(DB_INSTANCE *instance, const LOCATOR *locator,
                                             const int32_t *record_ids, char *const *property_names,
                                             char *const *property_values);

/* Updates the locator's row (by id) and replaces its property rows with the
 * given ones, in one transaction: committed when every step succeeds, else
 * rolled back, so that a failure leaves the old row and properties. Returns
 * as the insert does. */
ZEL_API int32_t DB_sp_zellocators_def_update(DB_INSTANCE *instance, const LOCATOR *locator,
                                             const int32_t *record_ids, char *const *property_names,
                                             char *const *property_values);

/* Deletes the locator, its property rows and every table's link to it, in
 * one transaction, and appends to the caller's list (*registrations, grown
 * with realloc, *count ids long; a null list with count 0 to start) the
 * registration ids of the tables tied to this locator and to no other one.
 * The list grows only on success. Returns 0; the routine's status mapped;
 * the codes of the property deletion; -51; -65 for a null list pointer or
 * count; -66 for a negative count; -12. */
ZEL_API int32_t DB_sp_zellocators_def_delete(DB_INSTANCE *instance, int32_t locator_id,
                                             int32_t **registrations, int32_t *count);

/* Reads the locator of the name: "owner.name", or a bare name of the
 * current user. Returns 0; -275 when there is none; -51; -65 for a null
 * name or out; -12. The record's first word is kept. */
ZEL_API int32_t DB_locator_get_info(DB_INSTANCE *instance, const char *name, LOCATOR *out);

/* Reads the locator of the id. Returns as DB_locator_get_info does. */
ZEL_API int32_t DB_locator_get_info_by_id(DB_INSTANCE *instance, int32_t locator_id, LOCATOR *out);

/* Reads the locators the WHERE text selects (every one when it is null or
 * blank; a leading "where" is dropped), in id order, into one heap array of
 * *count records that the caller frees with free, after each record's two
 * arrays. No locator: a null list and count 0. Returns 0; -51 or -12 with a
 * null list and count 0; -65 for a null list or count. */
ZEL_API int32_t DB_locator_get_info_list(DB_INSTANCE *instance, const char *where, LOCATOR **list,
                                         int32_t *count);

#ifdef __cplusplus
}
#endif

#endif
