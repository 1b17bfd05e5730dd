// Statistics records sent to clients: the feature statistics of a layer and
// the statistics of its spatial index, one block per grid level. The channel
// sends them whole (its own codecs); the record printers list them.
#ifndef VE_STATS_H
#define VE_STATS_H

#include <stdint.h>

#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Features of a layer by entity kind, with their ranges and averages. */
typedef struct VE_LAYER_STATS {
    int32_t layer_id;
    int32_t num_nil;
    int32_t num_point;
    int32_t num_multipoint;
    int32_t num_line;
    int32_t num_multiline;
    int32_t num_simple_line;
    int32_t num_multi_simple_line;
    int32_t num_area;
    int32_t num_multi_area;
    int32_t total_features;
    int32_t last_modified; /* seconds since 1970; 0 when not known */
    VE_ENVELOPE envelope;
    int32_t min_fid;
    int32_t max_fid;
    int32_t min_points;
    int32_t max_points;
    double min_area;
    double max_area;
    double min_length;
    double max_length;
    double avg_points;
    double avg_area;
    double avg_length;
} VE_LAYER_STATS;

/* Groups of cells by features per cell: <=4, >4, >10, >25, >50, >100, >250, >500. */
#define VE_GRID_GROUPS 8
#define VE_SPIDX_LEVELS 3

/* One grid level of a spatial index. */
typedef struct VE_GRID_STATS {
    int32_t index_records;
    int32_t features;
    int32_t grid_cells;
    int32_t group_counts[VE_GRID_GROUPS];
    int32_t max_features_per_cell;
    int32_t features_inside; /* features wholly inside one cell */
} VE_GRID_STATS;

typedef struct VE_SPIDX_STATS {
    char table_name[226];
    char column_name[32];
    int32_t num_grids; /* grid levels in use */
    VE_GRID_STATS grids[VE_SPIDX_LEVELS];
} VE_SPIDX_STATS;

#ifdef __cplusplus
}
#endif

#endif
