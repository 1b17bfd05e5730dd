// Verification of a table that is to become a layer: what the layer learns
// from the shapes the table already holds.
#ifndef DB_LAYER_VERIFY_H
#define DB_LAYER_VERIFY_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Marks the layer spatial and, when its table holds shapes, gives it their
 * extent and the spatial reference of their srid (values and text, the text
 * blanks trimmed, into the coordinate reference's own buffer of
 * LAYER_SRTEXT_SIZE bytes, or a new one freed with MoxCoordRefFree). A
 * layer without table, owner or column, a table without the column or
 * without shapes is left as it is. The connection's extended error record
 * is cleared first. 0; -65 null layer; the grid sizes' decoding failure;
 * -66 for names that cannot go into SQL; -51 (connection's record
 * filled); -12. */
ZEL_API int32_t DB_layer_verify(DB_INSTANCE *instance, LAYER *layer);

#ifdef __cplusplus
}
#endif

#endif
