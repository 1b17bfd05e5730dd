// Metadata records (METADATA, base/util/ve_metadata.h) for the host: the rows
// of the METADATA table of the administrative database, read by record id or
// in a scan, and written through the catalogue's routines insert_metadata,
// update_metadata and delete_metadata. A row names an object (name, owner,
// type), a class, a property and its value; the four optional texts are sent
// as NULL when empty and read back empty when NULL. The record's first word
// is never set.
//
// Inserts and updates join the connection's open transaction; deletes commit.
#ifndef DB_METADATA_H
#define DB_METADATA_H

#include <stdint.h>

#include "base/util/ve_metadata.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Most record ids one call of delete_metadata takes. */
#define DB_METADATA_DELETE_MAX 10

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the row of the record id into *out. Clears the connection's extended
 * error record. Returns 0; -51 when the read fails or finds no row (the
 * connection's extended error record filled); -65 for a null out. */
ZEL_API int32_t DB_metadata_get_info_by_id(DB_INSTANCE *instance, int32_t record_id, METADATA *out);

/* Starts the process's one scan, in record id order, and reads its first
 * row: the rows the WHERE text selects when it is not blank, else the rows
 * of the object name (folded to lower case) when it is not empty, else every
 * row. A new first replaces a scan still open. Returns 0; -51 when the scan
 * fails or finds no row (connection's extended error record filled); -65
 * for a null out. */
ZEL_API int32_t DB_metadata_first(DB_INSTANCE *instance, METADATA *out, const char *where,
                                  const char *object_name);

/* The next row of the scan (the WHERE text and object name are not read).
 * Returns 0; -4 at the end, which ends the scan; -51 on a failure, which ends
 * it too, and without a scan; -65 for a null out. */
ZEL_API int32_t DB_metadata_next(DB_INSTANCE *instance, METADATA *out, const char *where,
                                 const char *object_name);

/* Inserts count records, laid out one after another from *records, through
 * insert_metadata, in order; the first that fails stops the insert. Nothing
 * is committed. Returns 0 (also for count 0); the routine's status mapped
 * (status + 20000 for -20998 to -20001, else -51 with the status as native
 * error); -51 on a CLI failure; -65 for null records; -66 for a negative
 * count. */
ZEL_API int32_t DB_sp_metadata_def_insert(DB_INSTANCE *instance, METADATA *const *records,
                                          int32_t count);

/* Updates class, property, value and description of the record's row and
 * stamps it with the local time, through update_metadata; not committed.
 * Returns as the insert does. */
ZEL_API int32_t DB_sp_metadata_def_update(DB_INSTANCE *instance, const METADATA *record);

/* Deletes the rows of 1 to DB_METADATA_DELETE_MAX record ids through one
 * call of delete_metadata and commits. Returns 0; the routine's status
 * mapped as for the insert; -51; -65 for null ids; -66 for a count outside
 * 1 to DB_METADATA_DELETE_MAX (nothing is called). */
ZEL_API int32_t DB_sp_metadata_def_delete(DB_INSTANCE *instance, int32_t count, const int32_t *ids);

/* Deletes the table rows (object type 1) of the registered table, narrowed
 * by the WHERE text when it is given (a leading "where" is dropped), and
 * commits; on a failure nothing is deleted. Returns 0; the codes of the
 * delete; -51; -65 for a null registration. */
ZEL_API int32_t DB_sp_metadata_def_delete_by_where(DB_INSTANCE *instance,
                                                   const REGISTRATION *registration,
                                                   const char *where);

#ifdef __cplusplus
}
#endif

#endif
