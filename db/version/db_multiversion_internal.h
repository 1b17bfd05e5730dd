// The pieces of making a table multiversioned that other files of the
// versioning code call: the equivalence table, the lineage routines, the
// drop of a list of routines and of the table's stored views.
#ifndef DB_MULTIVERSION_INTERNAL_H
#define DB_MULTIVERSION_INTERNAL_H

#include <stdint.h>

#include "db/version/db_multiversion.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the equivalence table e<n> with its two indexes, the
 * administrator's privileges, the user table's grants and its statistics;
 * a failure after the table exists drops it again. 0 or the failing step's
 * code. */
int32_t db_create_equivalence_table(DB_INSTANCE *instance, const REGISTRATION *registration);

/* With create set, makes the four getters and the setter of the
 * registration's lineage routines and grants them to PUBLIC (a routine that
 * exists already counts as made); a failure drops the routines made so far.
 * With create 0, drops every lineage routine of the registration (their
 * failures ignored). 0; -12; -66 for a name that cannot be made; the first
 * failing statement's code. */
int32_t db_registered_table_create_state_globals(int32_t registration_id, int32_t create);

/* Runs "drop procedure <name>" for each non-null name, committed; the
 * results are ignored. */
void db_registry_drop_procedure_list(int32_t count, const char *const *names);

/* Drops every stored multiversion view of the registration (standard and
 * change views of any form), so that the next read makes them again from
 * the table as it is now. 0, or the first failing step's code (every view
 * is tried). */
int32_t db_registered_table_drop_stored_views(DB_INSTANCE *instance, int32_t registration_id);

#ifdef __cplusplus
}
#endif

#endif
