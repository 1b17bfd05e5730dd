// Statistics records sent to clients: the feature statistics of a layer and
// the statistics of a layer's grid spatial index, level by level. The channel
// carries them with its own codecs; in memory they are plain records.
#ifndef VE_STATS_H
#define VE_STATS_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VE_SPIDX_LEVELS 3
#define VE_SPIDX_GROUPS 8 /* features per cell: <=4, >4, >10, >25, >50, >100, >250, >500 */

/* One grid level of a spatial index. */
typedef struct VE_GRID_STATS {
    int32_t index_records; /* index rows of the level */
    int32_t features;
    int32_t grid_cells;
    int32_t group_counts[VE_SPIDX_GROUPS];
    int32_t max_features_per_cell;
    int32_t features_inside; /* features wholly inside one cell */
} VE_GRID_STATS;

typedef struct VE_SPIDX_STATS {
    char table_name[DB_NAME_FULL_TABLE_SIZE];
    char column_name[DB_NAME_COLUMN_SIZE];
    int32_t num_grids; /* grid levels in use */
    VE_GRID_STATS levels[VE_SPIDX_LEVELS];
} VE_SPIDX_STATS;

/* Feature statistics of a layer. */
typedef struct VE_LAYER_STATS {
    int32_t layer_id;
    int32_t nils;
    int32_t points;
    int32_t multi_points;
    int32_t lines;
    int32_t multi_lines;
    int32_t simple_lines;
    int32_t multi_simple_lines;
    int32_t areas;
    int32_t multi_areas;
    int32_t total_features;
    VE_ENVELOPE envelope;
    uint32_t last_modified; /* seconds since 1970 */
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

#ifdef __cplusplus
}
#endif

#endif
