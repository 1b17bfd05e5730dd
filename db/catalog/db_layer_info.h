// Layer records for the host: a layer read by id, by table name or in a walk
// over every layer of the connected database. Each record is a LAYERS row
// joined with its SPATIAL_REFERENCES row, with the current user's privileges
// on the layer's table. The readers by id and by name go through the
// process's layer cache.
#ifndef DB_LAYER_INFO_H
#define DB_LAYER_INFO_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

/* Points *layer at the cache's record of the layer (owned by the cache and
 * overwritten when the layer is reloaded: copy what you keep). Returns 0;
 * -20 when no layer has the id; -25 without SELECT on the layer's table;
 * -51 with the stream's (or, without a stream, the connection's) extended
 * error record filled; -65 for a null output; -1 when the process has no
 * layer cache. */
ZEL_API int32_t DB_layer_get_info(DB_INSTANCE *instance, DB_STREAM *stream, int32_t layer_id,
                                  LAYER **layer);

/* Copies the layer into the caller's record, keeping the record's own
 * coordinate reference and text buffer (one of LAYER_SRTEXT_SIZE bytes is
 * created when it has none: the caller frees it with MoxCoordRefFree). A
 * layer not cached is read without entering the cache. Codes as
 * DB_layer_get_info, and -12 or the geometry module's mapped failure when
 * the coordinate reference cannot be made. */
ZEL_API int32_t DB_layer_view_get_info(DB_INSTANCE *instance, DB_STREAM *stream, int32_t layer_id,
                                       LAYER *layer);

/* Points *layer at the cache's record of the layer of the table (given as
 * database:owner.table or shorter; the default owner fills a missing owner)
 * and, when given, of that spatial column; *layer is null on failure.
 * Returns 0, -20, -25, -51, -65 for a null table or output, -66 for a name
 * part longer than its field, -1 without a layer cache. */
ZEL_API int32_t DB_layer_get_info_by_table_name(DB_INSTANCE *instance, DB_STREAM *stream,
                                                const char *table, const char *spatial_column,
                                                const char *default_owner, LAYER **layer);

/* Walk over every layer of the connected database in layer_id order, one
 * record per call into the caller's record, which must own a coordinate
 * reference with a text buffer of LAYER_SRTEXT_SIZE bytes. The first call
 * starts a new walk. Returns 0; -4 after the last layer (also when no walk
 * is open); -51 (connection's extended error record filled; the walk ends);
 * -65 for a record without its coordinate reference; or the privilege
 * read's failure for this layer (-25 without SELECT), after which the walk
 * goes on with the next call. */
ZEL_API int32_t DB_layer_first(DB_INSTANCE *instance, LAYER *layer);
ZEL_API int32_t DB_layer_next(DB_INSTANCE *instance, LAYER *layer);

#endif
