// Raster bands for the host: the rows of a raster column's band table
// ZEL_BND_<n> (RASTERBAND, base/util/ve_raster.h) inserted, updated, deleted
// with their tiles and attached objects, read by id and in a scan, numbered
// and counted; and the objects attached to a band in the auxiliary table
// ZEL_AUX_<n>: its tile bitmap mask (type 1, base/util/ve_raster_bitmap.h),
// statistics (type 2) and colour map (type 3) in their serialised forms
// (base/util/ve_rasterband.h).
#ifndef DB_RASTERBAND_H
#define DB_RASTERBAND_H

#include <stdint.h>

#include "base/util/ve_raster.h"
#include "base/util/ve_raster_bitmap.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

/* Types of the auxiliary rows. */
#define DB_RASTERBAND_OBJECT_MASK 1
#define DB_RASTERBAND_OBJECT_STATS 2
#define DB_RASTERBAND_OBJECT_COLORMAP 3

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts the band's row (cdate and mdate now, an empty name as NULL) and
 * commits. 0; -194 duplicate; -65; -51. */
ZEL_API int32_t DB_rasterband_def_insert(DB_INSTANCE *instance, const RASTERBAND *band);
/* Updates the band's row by its id (mdate now) and commits. 0; -258
 * duplicate; -65; -51. */
ZEL_API int32_t DB_rasterband_def_update(DB_INSTANCE *instance, const RASTERBAND *band);
/* Deletes every tile of the band (committed in batches), then its attached
 * objects and its row, committed together. 0; the tile deletion's code; -51
 * (rolled back). */
ZEL_API int32_t DB_rasterband_def_delete(DB_INSTANCE *instance, const RASTERBAND *band);

/* Reads one band; statistics, colormap and bitmap are set to null (not
 * freed) and rastercolumn_id to the given id in every case. 0; -233 no such
 * band; -65; -51 (stream's extended error record, else the connection's). */
ZEL_API int32_t DB_rasterband_get_info_by_id(DB_INSTANCE *instance, DB_STREAM *stream,
                                             int32_t rastercolumn_id, int32_t rasterband_id,
                                             RASTERBAND *band);
/* Scan of the bands of a raster (raster_id 0: every band) in id order, one
 * per call; first starts a new scan. 0; -4 after the last; -65; -51. */
ZEL_API int32_t DB_rasterband_first(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                    int32_t raster_id, RASTERBAND *band);
ZEL_API int32_t DB_rasterband_next(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                   RASTERBAND *band);

/* The largest band id (0 when there is none). 0; -65; -51. */
ZEL_API int32_t DB_rasterband_get_max_id(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                         uint32_t *max_id);
/* The bands of a raster (raster_id below 1: of every raster). 0; -37 no band
 * table; -65; -51. */
ZEL_API int32_t DB_rasterband_get_count(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                        int32_t raster_id, int32_t *count);

/* Stores the band's tile bitmap mask (a null bitmap deletes it) and commits.
 * 0; -12; -232 duplicate; -65; -51. */
ZEL_API int32_t DB_rasterband_set_bitmap_mask(DB_INSTANCE *instance, const RASTERBAND *band,
                                              const VE_RASTER_BITMAP *bitmap);
/* Reads the band's tile bitmap mask, which must have the band's tile grid
 * (*columns x *rows, both returned). *bitmap is a new bitmap, or null when
 * the band has none (0). 0; -304 a grid that cannot be sized or a stored mask
 * that does not fit it; -66 block sizes below 1; -12; -65; -51. */
ZEL_API int32_t DB_rasterband_get_bitmap_mask(DB_INSTANCE *instance, const RASTERBAND *band,
                                              VE_RASTER_BITMAP **bitmap, int32_t *columns,
                                              int32_t *rows);

/* Stores a serialised object (type 2 or 3) of length bytes; committed when
 * commit is non-zero. 0; -66 another type or a length below 1; -232
 * duplicate; -65; -51. */
ZEL_API int32_t DB_rasterband_set_serialized_object(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                                    int32_t rasterband_id, int32_t type,
                                                    const unsigned char *block, int32_t length,
                                                    int32_t commit);
/* Reads a serialised object (type 2 or 3) into a new heap block that the
 * caller frees with free(), and its length: the bytes stored, which must
 * begin with their own length as a big-endian word (at least 4 bytes, at
 * most DB_RASTERBAND_OBJECT_MAX). 0; -66 another type; -65; -12; -311 a
 * stored object whose length word disagrees; -4 no such object; -51. */
#define DB_RASTERBAND_OBJECT_MAX (64 * 1024 * 1024)
ZEL_API int32_t DB_rasterband_get_serialized_object(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                                    int32_t rasterband_id, int32_t type,
                                                    unsigned char **block, int32_t *length);
/* Stores the band's statistics as type 2; committed when commit is non-zero.
 * 0; -12; -65; or the store's code. */
ZEL_API int32_t DB_rasterband_set_stats(DB_INSTANCE *instance, const RASTERBAND *band,
                                        int32_t commit);

#ifdef __cplusplus
}
#endif

#endif
