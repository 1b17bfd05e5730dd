// The raster records: a raster column, a raster, a raster band, the attribute
// record of a raster value and the raster query constraint. Read and written by
// the raster code, sent by the channel (its own codecs, field by field).
#ifndef VE_RASTER_H
#define VE_RASTER_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_feature.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Band statistics (base/util, pixel code); defined with this tag there. */
struct VE_RASTERBAND_STATS;

/* Bit of rastercolumn_mask: the block table gets no unique index. */
#define RASTERCOLUMN_NO_BLOCK_INDEX 1048576

typedef struct RASTERCOLUMN {
    int32_t rastercolumn_id;
    char description[64];
    char database_name[DB_NAME_DATABASE_SIZE];
    char owner[DB_NAME_OWNER_SIZE];
    char table_name[DB_NAME_TABLE_SIZE];
    char raster_column[DB_NAME_COLUMN_SIZE]; /* the integer column of the user table holding raster
                                                ids */
    int32_t cdate;                           /* seconds since 1970 */
    uint32_t privileges; /* VE_PRIV_* of the current user (base/util/ve_layer.h) */
    char config_keyword[DB_NAME_KEYWORD_SIZE];
    uint32_t minimum_id; /* lowest raster id to hand out */
    int32_t base_rastercolumn_id;
    uint32_t rastercolumn_mask;
    COORDREF *coordref; /* or null */
} RASTERCOLUMN;

typedef struct RASTER {
    int32_t raster_id;
    int32_t rastercolumn_id;
    char description[64];
} RASTER;

/* Bits of band_flags and check_mask read by the band check. */
#define RASTERBAND_HAS_STATISTICS 0x8000 /* band_flags: statistics are held */
#define RASTERBAND_HAS_COLORMAP 0x2000   /* band_flags: a colormap is held */
#define RASTERBAND_CHECK_STATISTICS 1    /* check_mask: compare the statistics */
#define RASTERBAND_CHECK_COLORMAP 2      /* check_mask: compare the colormap */

typedef struct RASTERBAND {
    int32_t rasterband_id;
    int32_t sequence_nbr;
    int32_t cdate;
    int32_t mdate;
    uint32_t band_flags; /* bits 16-31 highest pyramid level; 16384 level 1 not stored */
    uint32_t band_types; /* bits 16-31 pixel type; type >> 3 = bits per pixel */
    int32_t band_width;
    int32_t band_height;
    int32_t block_width;
    int32_t block_height;
    double block_origin_x;
    double block_origin_y;
    int32_t raster_id;
    int32_t rastercolumn_id;
    VE_ENVELOPE extent;
    char name[65];
    struct VE_RASTERBAND_STATS *statistics; /* cleared by every read */
    void *colormap;                         /* cleared by every read */
    void *bitmap;                           /* tile bitmap; cleared by every read */
    uint32_t check_mask;                    /* RASTERBAND_CHECK_* */
} RASTERBAND;

/* Attribute record of a raster value. w[n] is the record's 32-bit word n and
 * envelope its words 28-35, tail its words 36-39: the wire forms are images of
 * these 40 words. The owned array (w[RASTERATTR_ARRAY_COUNT] entries) never
 * travels. */
#define RASTERATTR_ARRAY_COUNT 23
typedef struct RASTERATTR {
    int32_t w[28];
    VE_ENVELOPE envelope;
    int32_t tail[4];
    int32_t *array;
} RASTERATTR;

/* A raster query constraint; owned by a stream once set. */
typedef struct RASCONSTRAINT {
    int32_t reserved; /* does not travel */
    int32_t level;    /* level of detail (pyramid level) */
    int32_t band_count;
    int32_t *band_numbers; /* heap array of band_count sequence numbers */
    int32_t window_flag;   /* non-zero: the window below applies */
    int32_t min_column;
    int32_t min_row;
    int32_t max_column;
    int32_t max_row;
    int32_t order; /* 0: tiles by position; other: tiles by band */
} RASCONSTRAINT;

/* 1 when some column of the row holds a value (indicator 2) of the raster
 * type (base/util/ve_row_pointers.h); else 0, also for a null row. */
struct VE_ROW_POINTERS;
ZEL_API int32_t VES_raster_present(const struct VE_ROW_POINTERS *row);

/* 1 when two cell sizes agree within 14 significant digits, judged at the
 * magnitude of the larger of a and |reference|; 0 otherwise and for sizes
 * of 0 or less. */
ZEL_API int32_t VES_cell_size_equal(double a, double b, double reference);

#ifdef __cplusplus
}
#endif

#endif
