// The tables of a raster column for the host: the user table checked and
// given its INTEGER raster column, the raster, band, auxiliary and block
// tables ZEL_RAS_<n>, ZEL_BND_<n>, ZEL_AUX_<n> and ZEL_BLK_<n> created,
// emptied and dropped, the trigger procedure RASTER_LAYER_sp_<n> and its
// three triggers on the user table, views of one raster column's tables under
// another's names, and the privileges on all of them. The catalogue row of
// the raster column is db_rastercolumn_info.h. Privilege masks: VE_PRIV_*
// (base/util/ve_layer.h).
#ifndef DB_RASTERCOLUMN_TABLES_H
#define DB_RASTERCOLUMN_TABLES_H

#include <stdint.h>

#include "base/util/ve_raster.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Checks a user table before a raster column is added to it. An empty owner
 * becomes the current user. Returns 0 (also when the column does not exist
 * yet); -96 when the owner is another user; -193 when the column has the
 * table's name; -114 when the column is not a 32-bit integer; -26 when it
 * does not allow NULL; -37; -51; -65; -322 for a name that is not one. */
ZEL_API int32_t DB_rastercolumn_verify_table(DB_INSTANCE *instance, RASTERCOLUMN *info);

/* Adds the raster column (INTEGER DEFAULT NULL) to the user table, and to the
 * adds table of a multiversioned registration; a plain table gets the
 * trigger. A column that exists must hold only NULLs. Returns 0; -193 when it
 * holds a value; -25 (also for a missing table); -51; the DDL's code. */
ZEL_API int32_t DB_rastercolumn_alter_user_table(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                                                 const REGISTRATION *registration);

/* Grants (grant 1) or revokes (other) SELECT on the user table to or from
 * the administrative user; committed. 0 (also when refused for lack of
 * permission); or the DDL's code. */
ZEL_API int32_t DB_rastercolumn_grant_zel_privileges(DB_INSTANCE *instance,
                                                     const RASTERCOLUMN *info, int32_t grant);

/* Drops and creates the trigger procedure and the UPDATE, INSERT and DELETE
 * triggers of the user table; committed. 0 or the first failure. */
ZEL_API int32_t DB_rastercolumn_create_user_trigger(DB_INSTANCE *instance,
                                                    const RASTERCOLUMN *info);
/* Drops the three triggers, then the procedure. 0 or the failure. */
ZEL_API int32_t DB_rastercolumn_drop_user_trigger(DB_INSTANCE *instance, int32_t rastercolumn_id);

/* Creates the four tables of the raster column (storage clauses of its
 * keyword), the block table's unique index unless the column's mask has
 * RASTERCOLUMN_NO_BLOCK_INDEX, and copies the grants of user_table onto
 * them; committed. A failure drops what was made and returns its code (the
 * instance's error record filled). */
ZEL_API int32_t DB_rastercolumn_create_tables(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                              const char *user_table);
/* Drops the four tables, every one attempted; 0 or the first failure other
 * than a table that is gone. */
ZEL_API int32_t DB_rastercolumn_drop_tables(DB_INSTANCE *instance, int32_t rastercolumn_id);
/* Empties the four tables and the raster column (the trigger dropped and made
 * again around it), then commits. 0 or the first failure. */
ZEL_API int32_t DB_rastercolumn_truncate_tables(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                                                const REGISTRATION *registration);
/* Sets the raster column to NULL in every row of the user table and of the
 * adds table of a multiversioned registration; committed. 0; -51 (the
 * connection's code set to the statement's); the adds table's code. */
ZEL_API int32_t DB_rastercolumn_set_null(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                                         const REGISTRATION *registration);

/* Grants the mask on the user table (SELECT added with UPDATE or INSERT) and
 * on the four tables (INSERT and DELETE added with UPDATE). 0 or the first
 * failure. */
ZEL_API int32_t DB_rastercolumn_grant_access(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                                             int32_t mask, const char *grantee,
                                             int32_t grant_option);
/* Revokes the mask on the user table and on the four tables (INSERT and
 * DELETE added with UPDATE). 0 or the first failure. */
ZEL_API int32_t DB_rastercolumn_revoke_access(DB_INSTANCE *instance, const RASTERCOLUMN *info,
                                              int32_t mask, const char *grantee);

/* Creates views named as the raster, band and block tables of raster column
 * view_id over those of viewed_id, with the grants of grant_table; committed.
 * A failure drops the views made and returns its code. */
ZEL_API int32_t DB_rastercolumn_create_views(DB_INSTANCE *instance, int32_t view_id,
                                             const char *grant_table, int32_t viewed_id);
/* Drops the three views, every one attempted; a view that is gone is passed
 * over. 0 or the first other failure. */
ZEL_API int32_t DB_rastercolumn_drop_views(DB_INSTANCE *instance, int32_t rastercolumn_id);

/* Raster columns have no load mode: always 0, nothing done. */
ZEL_API int32_t DB_rastercolumn_set_load_mode(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                              int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
