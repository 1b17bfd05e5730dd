// A layer's catalogue rows: its LAYERS and GEOMETRY_COLUMNS rows written
// through the catalogue's routines (insert, update, extent, rename,
// delete), with the geometry type of its entity mask and the srid of its
// coordinate reference computed here; the plain-SQL insert; and the retired
// entries hosts may still call.
#ifndef DB_LAYER_DEF_H
#define DB_LAYER_DEF_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the layer's rows through insert_layer: cdate set to now, the srid
 * found or made for its coordinate reference, database, table and spatial
 * column folded to lower case in the caller's record. Not committed.
 * Returns 0; -86 for an empty table name; -16 when the layer exists or
 * every layer id is taken; -66 for a name longer than its field; -65; -12;
 * the srid search's failure; the routine's engine code; -51 (connection's
 * extended error record filled). */
ZEL_API int32_t DB_sp_layers_def_insert(DB_INSTANCE *instance, LAYER *layer);

/* Forgets the layer in the cache and deletes its rows through delete_layer;
 * committed on success. Codes as above. */
ZEL_API int32_t DB_sp_layers_def_delete(DB_INSTANCE *instance, int32_t layer_id);

/* Updates the layer's row through update_layer, then its spatial reference:
 * the layer's own row is updated in place, a row shared with other layers
 * is left alone and the layer gets a found-or-new srid. Not committed; a
 * failure after the update rolls back. Codes as above. */
ZEL_API int32_t DB_sp_layers_def_update(DB_INSTANCE *instance, LAYER *layer);

/* Stores the layer's extent through update_layer_extent. Not committed; a
 * failure rolls back. Codes as above. */
ZEL_API int32_t DB_sp_layers_def_update_extent(DB_INSTANCE *instance, int32_t layer_id,
                                               const VE_ENVELOPE *envelope);

/* Renames the layer's table (folded to lower case, as stored) through
 * change_layer_table_name. Not committed. Codes as above. */
ZEL_API int32_t DB_sp_layers_def_change_table_name(DB_INSTANCE *instance, int32_t layer_id,
                                                   const char *table_name);

/* Writes the GEOMETRY_COLUMNS and LAYERS rows with plain SQL (names as the
 * caller gave them) and commits; a failure rolls back. Returns 0; -86; -19
 * for a duplicate key; -51; -65; the srid search's failure. */
ZEL_API int32_t DB_insert_layers_def(DB_INSTANCE *instance, LAYER *layer);

/* Retired: each prints that it was called and returns -1. */
ZEL_API int32_t DB_layers_def_delete(DB_INSTANCE *instance, int32_t layer_id);
ZEL_API int32_t DB_update_layers_def(DB_INSTANCE *instance, LAYER *layer);
ZEL_API int32_t DB_layers_def_change_table_name(DB_INSTANCE *instance, int32_t layer_id,
                                                const char *table_name);

#ifdef __cplusplus
}
#endif

#endif
