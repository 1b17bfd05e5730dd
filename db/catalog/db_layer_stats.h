// A layer's feature statistics (counts by entity type, envelope, points,
// area and length, feature-id range) computed from its rows, also of the
// rows a query's tables, condition and log file select; the highest feature
// id; the deletion of the shapes of chosen entity types; and the remaining
// entries of the layer interface, which do nothing. The statistics record
// is VE_LAYER_STATS (base/util/ve_stats.h).
#ifndef DB_LAYER_STATS_H
#define DB_LAYER_STATS_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_stats.h"
#include "base/util/zel_export.h"
#include "db/version/db_mv_view.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Entity codes of a shape, as the SQL function VE_ZelEntity answers them;
 * the multipart form adds DB_ENTITY_MULTIPART. */
#define DB_ENTITY_NIL 0
#define DB_ENTITY_POINT 1
#define DB_ENTITY_LINE 2
#define DB_ENTITY_SIMPLE_LINE 4
#define DB_ENTITY_AREA 8
#define DB_ENTITY_MULTIPART 256

#ifdef __cplusplus
extern "C" {
#endif

/* The statistics of every feature of the layer. The connection's extended
 * error record is cleared first. 0; -66 null output; the layer read's
 * failure; -51 (connection's record filled); -12. Without features every
 * minimum, maximum and the envelope are 0. */
ZEL_API int32_t DB_layer_get_stats(DB_INSTANCE *instance, int32_t layer_id, VE_LAYER_STATS *stats);
/* The same over the rows the construct's tables and condition select (read
 * through the description's views; a null description or kind 0: none)
 * and, with a log file, that the log holds. -66 also for a name that
 * cannot go into SQL. */
ZEL_API int32_t DB_layer_get_stats_by_logfile(DB_INSTANCE *instance, int32_t layer_id,
                                              const VE_SQL_CONSTRUCT *construct,
                                              DB_MV_QUERY_INFO *info, const LOGFILE *log,
                                              VE_LAYER_STATS *stats);
/* The highest VE_ROW_ID of the layer's table (0 when it has no rows). 0;
 * -66 null output; the layer read's failure; -51. */
ZEL_API int32_t DB_layer_get_max_fid(DB_INSTANCE *instance, int32_t layer_id, int32_t *max_fid);
/* Sets NULL the shapes of the entity types of the mask (LAYER_NIL,
 * LAYER_POINT, LAYER_LINE, LAYER_SIMPLE_LINE, LAYER_AREA; LAYER_MULTIPART:
 * every multipart shape) and commits. A mask naming none of them does
 * nothing. 0; the layer read's failure; -66 for names that cannot go into
 * SQL; -51 (connection's record filled). */
ZEL_API int32_t DB_layer_delete_feat_by_entity(DB_INSTANCE *instance, int32_t layer_id,
                                               int32_t mask);
/* Forgets the layer in this process's layer cache. 0. */
ZEL_API int32_t DB_layer_drop_views(DB_INSTANCE *instance, int32_t layer_id);
/* Kept for hosts that call them: no view is made, nothing is changed; 0. */
ZEL_API int32_t DB_layer_create_views(DB_INSTANCE *instance, ...);
ZEL_API int32_t DB_layer_delete_sqltype_metadata(DB_INSTANCE *instance, ...);
ZEL_API int32_t DB_layer_verify_spatial_index_parameters(DB_INSTANCE *instance, ...);
ZEL_API int32_t DB_layer_discover_spatial_tables(DB_INSTANCE *instance, ...);
ZEL_API int32_t DB_layer_register_spatial_table(DB_INSTANCE *instance, ...);

#ifdef __cplusplus
}
#endif

#endif
