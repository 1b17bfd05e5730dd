/* A layer's user table: the spatial column and VE_ROW_ID column that make a
 * table a layer (with the layer's update trigger and indexes), the
 * privileges on the table, and the truncation of a layer (every shape set to
 * NULL). Privilege masks: VE_PRIV_SELECT 2, VE_PRIV_UPDATE 4, VE_PRIV_INSERT
 * 8, VE_PRIV_DELETE 16 (base/util/ve_layer.h). */
#ifndef DB_LAYER_USER_TABLE_H
#define DB_LAYER_USER_TABLE_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Gives the layer's table (and the adds table of a multiversioned
 * registration, which may be null) its spatial column of the layer's ST_
 * type and VE_ROW_ID where they are missing, puts the spatial column's data
 * where the S_STORAGE clause of the layer's keyword says, and numbers the
 * rows of a table that holds shapes but no row ids; then, unless the layer
 * is in load-only mode, its update trigger and indexes (an existing index
 * is no error). Each statement commits. Returns 0; -25 no such table; -87 a
 * keyword without rows of its own; -51 (connection's extended error record
 * filled); -65; -66 or -322 for a name that is not one; or the failing
 * step's code. */
ZEL_API int32_t DB_layer_alter_user_table(DB_INSTANCE *instance, const LAYER *layer,
                                          const REGISTRATION *registration);

/* The column alteration alone; with recreate set the table is dropped and
 * made again with only the two columns. Codes as DB_layer_alter_user_table,
 * and those of the table's drop and creation. */
ZEL_API int32_t DB_alter_spatial_table(DB_INSTANCE *instance, const LAYER *layer,
                                       const REGISTRATION *registration, int32_t recreate);

/* Grants (grant 1) or revokes SELECT on the layer's table to or from the
 * administrative user; committed. 0 (also when refused for lack of
 * permission); -37; -51; -65; -66 or -322. */
ZEL_API int32_t DB_layer_grant_zel_privileges(DB_INSTANCE *instance, const LAYER *layer,
                                              int32_t grant);

/* Grants the mask's privileges on the layer's table (UPDATE and INSERT
 * bring SELECT with them) or revokes them; committed. 0; -105 refused for
 * lack of permission; -66 a mask without any of the four privileges or a
 * name too long; -322 a name that is not one; -65; or the statement's
 * failure. Nothing runs when an argument is refused. */
ZEL_API int32_t DB_layer_grant_access(DB_INSTANCE *instance, const LAYER *layer, int32_t mask,
                                      int32_t with_grant_option, const char *grantee);
ZEL_API int32_t DB_layer_revoke_access(DB_INSTANCE *instance, const LAYER *layer, int32_t mask,
                                       const char *grantee);

/* Sets every shape (and VE_ROW_ID) of the layer to NULL, its adds table's
 * too when the registration is multiversioned, with the update trigger of
 * a plain table dropped meanwhile and made again afterwards (also when a
 * step failed), and commits. 0; -51 for a failed commit; or the failing
 * step's code. */
ZEL_API int32_t DB_layer_truncate(DB_INSTANCE *instance, int32_t layer_id,
                                  const REGISTRATION *registration);

/* Annotation columns are kept in the shapes: adding one does nothing (0),
 * deleting one is not supported (-160). */
ZEL_API int32_t DB_layer_add_anno_column(DB_INSTANCE *instance, const LAYER *layer);
ZEL_API int32_t DB_layer_delete_anno_column(DB_INSTANCE *instance, const LAYER *layer);

#ifdef __cplusplus
}
#endif

#endif
