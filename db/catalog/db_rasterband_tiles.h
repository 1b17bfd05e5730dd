// A raster band's tiles for the host: the rows (rasterband_id, rrd_factor,
// row_nbr, col_nbr, block_data) of the raster column's block table
// ZEL_BLK_<n>. rrd_factor is the pyramid level (0 full resolution, each
// further level halves the one before); a row whose rasterband_id is negated
// is hidden from readers of the band. Pyramids are hidden and shown again,
// and tiles deleted, in bounded transactions: hiding and showing commit every
// 200 tiles, deletions every 1 MiB of tile data (RASTERBAND,
// base/util/ve_raster.h).
#ifndef DB_RASTERBAND_TILES_H
#define DB_RASTERBAND_TILES_H

#include <stdint.h>

#include "base/util/ve_raster.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Hides (save) or shows again (restore) the band's pyramid tiles from its
 * first stored level (2 when level 1 is not stored, else 1) up to its top
 * level. 0 (also without a pyramid: nothing runs); -66 for block sizes below
 * 1 or a grid out of range; -65; -51. */
ZEL_API int32_t DB_rasterband_save_pyramid(DB_INSTANCE *instance, const RASTERBAND *band);
ZEL_API int32_t DB_rasterband_restore_pyramid(DB_INSTANCE *instance, const RASTERBAND *band);
/* Deletes the band's pyramid tiles: the visible ones (visible 1) or the
 * hidden ones (visible 0). Codes as the save. */
ZEL_API int32_t DB_rasterband_delete_pyramid(DB_INSTANCE *instance, const RASTERBAND *band,
                                             int32_t visible);
/* Deletes the full-resolution tiles of the window (window[0] min column,
 * window[1] min row, window[2] max column, window[3] max row): replace 0 and
 * hidden 0 the visible ones; replace 1 and hidden 1 the hidden ones; replace
 * 1 and hidden 0 the visible ones, then the hidden tiles of the window are
 * shown in their place; replace 0 and hidden 1 does nothing. 0; -65; -66;
 * -51. What was committed before a failure stays. */
ZEL_API int32_t DB_rasterband_delete_tiles(DB_INSTANCE *instance, const RASTERBAND *band,
                                           const int32_t *window, int32_t replace, int32_t hidden);

#ifdef __cplusplus
}
#endif

#endif
