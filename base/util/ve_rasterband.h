// A raster band's colormap and statistics, and their serialised forms, which
// the band's auxiliary table stores and clients receive. All numbers of the
// serialised forms are big-endian.
//
// Serialised colormap: 0 total length (4), 4 color model (4), 8 component
// width (4), 12 entry count (4), 16 the components entry by entry: bytes as
// they are, or 16-bit values each big-endian.
//
// Serialised statistics: 0 total length (4), 4 the four statistics (4 x 8),
// 36 distribution type (4), 40 bin count n (4), 44 with distribution type 5
// only the n - 1 bin bounds (8 each), then the n histogram values (8 each).
#ifndef VE_RASTERBAND_H
#define VE_RASTERBAND_H

#include "base/util/zel_export.h"

#include <stdint.h>

#define VE_COLORMAP_HEADER_SIZE 16
#define VE_COLORMAP_MODEL_RGBA 2      /* four components per entry; else three */
#define VE_COLORMAP_COMPONENT_16BIT 1 /* 16-bit components; else 8-bit */
#define VE_STATS_HEADER_SIZE 44
#define VE_STATS_DISTRIBUTION_BOUNDS 5 /* the only type that carries bin bounds */

typedef struct VE_RASTERBAND_COLORMAP {
    int32_t color_model;     /* VE_COLORMAP_MODEL_RGBA: 4 components, else 3 */
    int32_t component_width; /* VE_COLORMAP_COMPONENT_16BIT: uint16_t, else uint8_t */
    int32_t entry_count;
    void *data; /* components x entry_count values, host order */
} VE_RASTERBAND_COLORMAP;

typedef struct VE_RASTERBAND_STATS {
    double minimum;
    double maximum;
    double mean;
    double std_deviation;
    unsigned char unserialized[16]; /* kept in memory only */
    int32_t distribution_type;
    int32_t bin_count;  /* n */
    double *bin_bounds; /* n - 1 values, distribution type 5 only */
    int64_t *histogram; /* n values */
} VE_RASTERBAND_STATS;

#ifdef __cplusplus
extern "C" {
#endif

/* Writes a new block (the caller frees it) and its length. 0; -65 for a null
 * argument or data; -66 for a negative entry count or a form longer than
 * 2^31 - 1 bytes; -999 when memory runs out. The outputs are cleared first. */
ZEL_API int32_t VES_rasterband_colormap_serialize(const VE_RASTERBAND_COLORMAP *colormap,
                                                  unsigned char **block, int32_t *length);
/* A new colormap read from length bytes, or null when the block is null or
 * malformed, or its lengths disagree (printed under ZELVERBOSE), or memory
 * runs out. Free it with VES_rasterband_colormap_free. */
ZEL_API VE_RASTERBAND_COLORMAP *VES_rasterband_colormap_deserialize(const unsigned char *block,
                                                                    int32_t length);
/* Frees the data and the record; null ignored. */
ZEL_API void VES_rasterband_colormap_free(VE_RASTERBAND_COLORMAP *colormap);

/* As the colormap serialiser; -65 also when the histogram is null or, with
 * distribution type 5, the bin bounds; -66 for a negative bin count (or none
 * with distribution type 5) or a form longer than 2^31 - 1 bytes. */
ZEL_API int32_t VES_rasterband_stats_serialize(const VE_RASTERBAND_STATS *stats,
                                               unsigned char **block, int32_t *length);
/* A new statistics object (zero-filled, then read), or null as for the
 * colormap. Free it with VES_rasterband_stats_free. */
ZEL_API VE_RASTERBAND_STATS *VES_rasterband_stats_deserialize(const unsigned char *block,
                                                              int32_t length);
/* Frees the bin bounds, the histogram and the object; null ignored. */
ZEL_API void VES_rasterband_stats_free(VE_RASTERBAND_STATS *stats);

/* The big-endian length at the start of a serialised colormap or statistics
 * object; 0 for a null block. The block must hold at least 4 bytes. */
ZEL_API int32_t VES_rasterband_get_serialized_length(const unsigned char *block);

#ifdef __cplusplus
}
#endif

#endif
