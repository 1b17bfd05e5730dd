/* The catalogue tables of the administrative database, owned by "zel": the
 * test that each exists (which brings an older layout up to date) and its
 * creation with columns, keys, grant, storage clause and first rows; the
 * highest ids in use; and the administrative user. Tables are created
 * unqualified, in the connection's database under the connection's user,
 * except STATE_LINEAGES; every other statement names them qualified
 * (database:zel.table). A create appends its DBTUNE clause from the
 * configuration (keyword DATA_DICTIONARY) only when the counter is at least
 * 100 and the clause is not empty; a null configuration appends none.
 *
 * The existence tests answer 0 (present), -37 (missing) or another engine
 * code; a create answers 0 or the code of its first failing statement (the
 * connection's extended error record filled where that statement records
 * errors) and grants nothing after a failed CREATE. */
#ifndef DB_SYSTEM_TABLES_H
#define DB_SYSTEM_TABLES_H

#include <stdint.h>

#include "base/util/zel_export.h"
#include "db/core/db_dbtune.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* LAYERS, with column types named by the DBMS. A CREATE that meets the
 * constraint name layers_pk left on zel:zel.layers_30 by an older release
 * drops that constraint and tries once more. */
ZEL_API int32_t DB_instance_layers_table_create(DB_INSTANCE *instance,
                                                const DBTUNE_SYSTEM_CONFIG *config);
/* 0 when LAYERS has layer_mask and SPATIAL_REFERENCES and GEOMETRY_COLUMNS
 * have srid; -78 without LAYERS; -38 for a LAYERS of an older schema (or a
 * srid column missing); -163 when SPATIAL_REFERENCES or GEOMETRY_COLUMNS is
 * missing; -1 for another refusal. Leaves the connection's extended error
 * record alone. */
ZEL_API int32_t DB_instance_layers_table_exists(DB_INSTANCE *instance);
/* SPATIAL_REFERENCES and its view zel.spatial_ref_sys; an existing table is
 * kept and gets the view and the grants. */
ZEL_API int32_t DB_instance_spatial_ref_table_create(DB_INSTANCE *instance,
                                                     const DBTUNE_SYSTEM_CONFIG *config);
/* Adds the column description (CHAR(64)) to a table without it. 0 when the
 * table, the column and the view are there; -37 when the table or the view
 * is missing; -1 for another refusal; the ALTER's code. Leaves the
 * connection's extended error record alone. */
ZEL_API int32_t DB_instance_spatial_ref_table_exists(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_geocol_table_create(DB_INSTANCE *instance,
                                                const DBTUNE_SYSTEM_CONFIG *config);
ZEL_API int32_t DB_instance_geocol_table_exists(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_metadata_table_create(DB_INSTANCE *instance,
                                                  const DBTUNE_SYSTEM_CONFIG *config);
ZEL_API int32_t DB_instance_metadata_table_exists(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_rascol_table_create(DB_INSTANCE *instance,
                                                const DBTUNE_SYSTEM_CONFIG *config);
ZEL_API int32_t DB_instance_rascol_table_exists(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_registry_table_create(DB_INSTANCE *instance,
                                                  const DBTUNE_SYSTEM_CONFIG *config);
ZEL_API int32_t DB_instance_registry_table_exists(DB_INSTANCE *instance);
/* VERSIONS with the instance's DEFAULT version (owner zel, id 1, state 0). */
ZEL_API int32_t DB_instance_versions_table_create(DB_INSTANCE *instance,
                                                  const DBTUNE_SYSTEM_CONFIG *config);
ZEL_API int32_t DB_instance_versions_table_exists(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_modified_table_create(DB_INSTANCE *instance,
                                                  const DBTUNE_SYSTEM_CONFIG *config);
ZEL_API int32_t DB_instance_modified_table_exists(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_zellocators_table_create(DB_INSTANCE *instance,
                                                     const DBTUNE_SYSTEM_CONFIG *config);
ZEL_API int32_t DB_instance_zellocators_table_exists(DB_INSTANCE *instance);

/* ---- states, their lineages and the state id generator ---- */

/* STATES with the base state 0, and the state id generator (the table
 * state_id_generator and its function) where it is missing. */
ZEL_API int32_t DB_instance_states_table_create(DB_INSTANCE *instance,
                                                const DBTUNE_SYSTEM_CONFIG *config);
/* 0 when STATES exists in the current layout. A STATES table that still
 * keeps its lineages in the columns lineage_length and lineage is converted
 * first: the lineages are copied into STATE_LINEAGES, the two columns are
 * dropped and the state id generator is made where missing. -37 without
 * STATES; otherwise the failing step's code. */
ZEL_API int32_t DB_instance_states_table_exists(DB_INSTANCE *instance);
/* STATE_LINEAGES, filled from the lineage columns of an older STATES table
 * (one row per state and ancestor, and one per state for itself), with the
 * trigger that deletes a deleted state's rows and the index on lineage_id.
 * With STATES already in the current layout, the base pair (0, 0), trigger
 * and index are added as DB_instance_lineages_table_exists does; with no
 * states it prints "No states found in <STATES> table." and adds nothing.
 * Returns 0; -12; -51 with the connection's extended error record filled;
 * -66 for a stored lineage that does not hold the ancestors it claims; or
 * the failing step's code. A failure before the trigger drops the table
 * again. */
ZEL_API int32_t DB_instance_lineages_table_create(DB_INSTANCE *instance,
                                                  const DBTUNE_SYSTEM_CONFIG *config);
/* Puts the base pair (0, 0) in when it is missing and STATES holds state 0,
 * and issues the trigger and the index again (their existing forms count as
 * success). 0; -37 without STATE_LINEAGES; -51 with the connection's
 * extended error record filled; or the failing statement's code. */
ZEL_API int32_t DB_instance_lineages_table_exists(DB_INSTANCE *instance);

/* ---- names and ids ---- */

/* Copies "zel" into out (4 bytes at least) and returns out; null for a null
 * out. */
ZEL_API char *DB_instance_get_admin_user(DB_INSTANCE *instance, char *out);
/* The highest id in use into *out, 0 for an empty table. Each clears the
 * connection's extended error record first. Returns 0; 100 or 110 when the
 * query gives no row (*out 0); -37 without the table; the prepare's CLI
 * result when it is refused; -51 with the connection's extended error
 * record filled; -65 for a null out. */
ZEL_API int32_t DB_instance_get_max_version_id(DB_INSTANCE *instance, int32_t *out);
ZEL_API int32_t DB_instance_get_max_metadata_id(DB_INSTANCE *instance, int32_t *out);
ZEL_API int32_t DB_instance_get_max_state_id(DB_INSTANCE *instance, int32_t *out);
ZEL_API int32_t DB_instance_get_max_locator_id(DB_INSTANCE *instance, int32_t *out);

/* Kept for hosts: the catalogue needs no such steps. The two upgrades clear
 * the connection's extended error record; all return 0. */
ZEL_API int32_t DB_instance_layers_table_upgrade(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_modified_table_upgrade(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_compress_log_start(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_compress_log_finish(DB_INSTANCE *instance);
ZEL_API int32_t DB_instance_update_system_table_stats(DB_INSTANCE *instance);

#ifdef __cplusplus
}
#endif

#endif
