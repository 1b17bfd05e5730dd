// Smaller layer operations beside the layer record: a layer's extent widened
// by the envelope of the rows a stream wrote (computed only; the layer DDL
// stores it), the layer rows of an older LAYERS table copied into the
// current one, and the view layers defined over a layer.
#ifndef DB_LAYER_EXTENT_H
#define DB_LAYER_EXTENT_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Copies the stream's layer (a block copy of the cached record: its
 * coordref is the cache's, not to be freed) into *layer and widens its
 * extent to cover the envelope of the rows the stream wrote. Nothing is
 * written to the database. Returns 0 when *layer holds a widened extent to
 * store; -1 when there is nothing to store (the envelope lies strictly
 * inside the extent, or the stream wrote no rows) or the layer cannot be
 * read. */
ZEL_API int32_t DB_layer_update_extent(DB_STREAM *stream, LAYER *layer);

/* Copies every layer row of the connected database from an older LAYERS
 * table (keyed like GEOMETRY_COLUMNS) into LAYERS, each row's extent
 * widened by its table's actual envelope; a missing old table reads
 * "zel:zel.layers". Not committed; a failed insert rolls the transaction
 * back. Returns 0; -1 when the old table cannot be probed for a reason
 * other than its absence; -19 for a layer id that exists already; -86 for
 * a row with an empty table name; -51 (connection's extended error record
 * filled); -65; -66 or -322 for an old table name that is not one. */
ZEL_API int32_t DB_layers_table_migrate(DB_INSTANCE *instance, const char *old_table);

/* The ids of the layers defined over the layer base_layer_id: *count must
 * be 0 on entry and receives their number; *ids receives a heap array the
 * caller frees with free() (left alone when there is none). Returns 0; -12;
 * -51 (connection's extended error record filled; nothing handed out); -65;
 * -66 for a count that is not 0. */
ZEL_API int32_t DB_view_layer_get_ids(DB_INSTANCE *instance, int32_t base_layer_id, int32_t *count,
                                      int32_t **ids);

#ifdef __cplusplus
}
#endif

#endif
