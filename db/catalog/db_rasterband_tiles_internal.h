// The library's side of a band's tiles: its tile grid and the deletion of
// every tile, which band and raster deletion share.
#ifndef DB_RASTERBAND_TILES_INTERNAL_H
#define DB_RASTERBAND_TILES_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_rasterband_tiles.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Where the band's first pixel lies in its tile grid: its offsets inside its
 * first tile (0 <= offset < block size) and the column and row of that tile
 * (negative left of or above the grid's origin). All four are 0 for an
 * inverted extent and for a band whose first pixel is the origin; an offset
 * is 0 across a band one pixel wide (down: high). 0; -65; -66 for block sizes
 * below 1 or a position beyond 32 bits. */
int32_t db_rasterband_tile_range(const RASTERBAND *band, int32_t *x_offset, int32_t *y_offset,
                                 int32_t *first_column, int32_t *first_row);

/* Bytes of one stored tile: the pixels and one mask bit per pixel. */
int64_t db_rasterband_tile_size(const RASTERBAND *band);
/* Tiles deleted per commit: 1 MiB of tiles, at least one. */
int32_t db_rasterband_tiles_per_commit(const RASTERBAND *band);

/* Deletes every tile of every level of the band (visible ids), committing
 * every 1 MiB of tiles. 0; -65; -66; -51. */
int32_t db_rasterband_delete_all_tiles(const RASTERBAND *band);

#ifdef __cplusplus
}
#endif

#endif
