// The library's side of the metadata records: the deletion of the rows a
// query selects, which the locators and the registrations share.
#ifndef DB_METADATA_INTERNAL_H
#define DB_METADATA_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_metadata.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Deletes the METADATA rows whose record ids the SELECT yields (its first
 * column), DB_METADATA_DELETE_MAX ids per call of delete_metadata. With
 * commit set the deletion commits at the end and is rolled back when a call
 * fails, so that it happens whole or not at all; with commit clear it stays
 * in the caller's transaction, which the caller ends either way. Returns 0
 * (also when nothing is selected); the routine's status mapped; -51 with
 * the connection's extended error record filled; -65 for a null text.
 * Throws std::bad_alloc. */
int32_t metadata_delete_by_query(DB_INSTANCE *instance, const char *select, int32_t commit);

#ifdef __cplusplus
}
#endif

#endif
