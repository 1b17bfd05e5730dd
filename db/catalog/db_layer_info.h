// Layer records read through the process's layer cache.
#ifndef DB_LAYER_INFO_H
#define DB_LAYER_INFO_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

// Points *layer at the cache's record of the layer (owned by the cache).
// Returns 0, -20 when no layer has the id, -65 for a null output, or a DBMS
// failure's code with the stream's (or the connection's) record filled.
ZEL_API int32_t DB_layer_get_info(DB_INSTANCE *instance, DB_STREAM *stream, int32_t layer_id,
                                  LAYER **layer);

// Points *layer at the cache's record of the layer of the table (given as
// database:owner.table or shorter, the default owner filling a missing owner)
// and, when given, the spatial column. Returns 0, -20 when no layer matches,
// -65 for a null argument, or a DBMS failure's code.
ZEL_API int32_t DB_layer_get_info_by_table_name(DB_INSTANCE *instance, DB_STREAM *stream,
                                                const char *table, const char *spatial_column,
                                                const char *default_owner, LAYER **layer);

#endif
