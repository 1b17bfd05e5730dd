// A query stream's set-up: the host's query description becomes a prepared
// SELECT over one or more tables, bound to the layer the query reads, with
// the spatial filters and the search envelope kept for execution.
#ifndef DB_STREAM_QUERY_H
#define DB_STREAM_QUERY_H

#include <stdint.h>

#include "base/util/ve_filter.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_export.h"
#include "db/version/db_mv_view.h"

typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the stream up as a query of the description and prepares it. mv (the
 * multiversion description), log (rows restricted to a log file's ids) and
 * layer (the layer the host knows for the query, taken only with a log file
 * when the set-up finds none) may be null; the stream keeps mv and the
 * caller keeps it alive for the query. Spatial constraints set before the
 * set-up are kept. Returns 0; -65 for a null stream, description or
 * construct; -66 for no table, or a column, table or log name longer than
 * its record allows; -12; -17 or -24 from the filters' layers; -24 a layer
 * or log file outside the query's tables; -25 no SELECT on the layer; -77
 * the layer is in load-only mode; -133 the log belongs to another layer;
 * -144 a VE_ROW_ID column whose table is not one layer; -220 or -224
 * row-lock modes without row locking; or a failure of the layer,
 * registration, raster column or description readers or of the prepare.
 * After a failure nothing is prepared and the stream can be set up again. */
ZEL_API int32_t DB_stream_init_query_layer(DB_STREAM *stream, const VE_QUERYINFO *info,
                                           DB_MV_QUERY_INFO *mv, const LOGFILE *log, LAYER *layer);

/* Binds the filters to the stream's layer and keeps them (the caller's
 * array, not copied) with the search-order word; a valid envelope (minx <=
 * maxx and miny <= maxy) becomes the search envelope, another one turns the
 * search envelope off. Returns 0; the binding's failure (nothing changed);
 * -1008 when a filter searches by grid (the filters are kept); -65 for a
 * null stream or a null array with filters; -66 for a negative count. */
ZEL_API int32_t DB_stream_set_spatial_constraints(DB_STREAM *stream, int16_t filter_count,
                                                  const VE_FILTER *filters, ENVELOPE envelope,
                                                  int32_t search_order);

/* Frees the constraint the stream held and keeps the new one (the stream owns
 * it from then on) with the two words. 0; -65 for a null stream. */
ZEL_API int32_t DB_stream_set_raster_constraint(DB_STREAM *stream, RASCONSTRAINT *constraint,
                                                int32_t first, int32_t second);

/* Turns the search envelope off: the next execution adds no envelope
 * pre-filter. 0; -65 for a null stream. */
ZEL_API int32_t DB_reset_search_query(DB_STREAM *stream);

/* -1008: not supported. */
ZEL_API int32_t DB_layer_sp_stats(void);

/* Compares two 32-bit integers given by address: -1, 0 or 1 (for qsort). */
ZEL_API int Comp(const void *first, const void *second);

#ifdef __cplusplus
}
#endif

#endif
