// A layer's own database objects: its spatial (R-tree) index A<id>_IX1, its
// row-id index A<id>_IX2, the R-tree index of a versioned table's adds
// table A<id>_IX1_a and the update trigger SC_UPD_CASC_<id> that empties a
// row's VE_ROW_ID with its shape; the two load modes that drop them for a
// bulk load and put them back; and the drop of a layer's objects.
#ifndef DB_LAYER_INDEX_H
#define DB_LAYER_INDEX_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Creates A<id>_IX1 and A<id>_IX2 with the B_RTREE and B_INDEX_ROWID
 * clauses of the layer's keyword, then updates the table's statistics; each
 * statement is committed. The statistics run also after a failed row-id
 * index. Returns 0; the first failure (the index name appended to the
 * connection's extended error message); -51 when the statistics fail; -87
 * for a keyword without rows of its own; -65; -66 or -322 for a name that
 * is not one. */
ZEL_API int32_t DB_layer_enable_attr_indices(DB_INSTANCE *instance, const LAYER *layer);
/* Drops both; an index that does not exist is no error. The first failure,
 * after both were tried. */
ZEL_API int32_t DB_layer_disable_attr_indices(DB_INSTANCE *instance, int32_t layer_id);
/* Builds a layer's indexes again: drops them (whatever that answers), makes
 * them and commits. Without quiet, success is announced on standard output.
 * Returns the failure of the make or of the commit, else 0. */
ZEL_API int32_t DB_layer_generate_spix(DB_INSTANCE *instance, const LAYER *layer, int32_t quiet);

/* Creates the adds table's R-tree index (A_RTREE clause) and updates the
 * adds table's statistics. Codes as DB_layer_enable_attr_indices. */
ZEL_API int32_t DB_layer_enable_adds_indices(DB_INSTANCE *instance, const LAYER *layer,
                                             int32_t registration_id);
ZEL_API int32_t DB_layer_disable_adds_indices(DB_INSTANCE *instance, int32_t layer_id);

/* Creates or drops SC_UPD_CASC_<id>; committed. The statement's code; -65;
 * -66 or -322 for a name that is not one. A missing trigger drops as 0. */
ZEL_API int32_t DB_layer_create_user_trigger(DB_INSTANCE *instance, const LAYER *layer);
ZEL_API int32_t DB_layer_drop_user_trigger(DB_INSTANCE *instance, int32_t layer_id);

/* Load-only mode: drops the trigger (plain tables), the two indexes and
 * the adds table's index (versioned tables); always 0. Normal I/O mode puts
 * them back: the first failure is returned. */
ZEL_API int32_t DB_layer_set_load_only_mode(DB_INSTANCE *instance, const LAYER *layer,
                                            const REGISTRATION *registration);
ZEL_API int32_t DB_layer_set_normal_io_mode(DB_INSTANCE *instance, const LAYER *layer,
                                            const REGISTRATION *registration);

/* Drops the layer's indexes and trigger, forgets it in the layer cache and
 * commits. The forgetting and the commit happen whatever failed before;
 * the first failure is returned. */
ZEL_API int32_t DB_layer_drop_tables(DB_INSTANCE *instance, int32_t layer_id);

/* Kept for hosts that call them: nothing to do, 0. */
ZEL_API int32_t DB_layer_create_tables(DB_INSTANCE *instance, const LAYER *layer);
ZEL_API int32_t DB_layer_enable_feat_indices(DB_INSTANCE *instance, const LAYER *layer);
ZEL_API int32_t DB_layer_disable_feat_indices(DB_INSTANCE *instance, int32_t layer_id);
ZEL_API int32_t DB_layer_enable_spix_indices(DB_INSTANCE *instance, const LAYER *layer);
ZEL_API int32_t DB_layer_disable_spix_indices(DB_INSTANCE *instance, int32_t layer_id);

#ifdef __cplusplus
}
#endif

#endif
