/* Raster query and pixel fetch of a stream set up on a table with a raster
 * column: the tiles of one raster, by level and tile window, read from the
 * raster column's block table joined with its band table, a block of rows at
 * a time; and one tile's block read directly. The host sets a constraint
 * (DB_stream_set_raster_constraint), calls DB_stream_init_raster_query once,
 * then DB_stream_fetch_tile per raster id until it answers -4, and puts each
 * tile into a tile buffer (base/system/rb_buffer.h).
 *
 * A stored block: its data length as 4 bytes, least significant first, then
 * the data. A handed-out tile points behind the length word, into the
 * stream's fetch buffer: valid until the next fetch or the stream's close.
 *
 * Sizes, for a band table whose largest block is 128 x 128 pixels of 16 bits
 * (band_types 0x800000, bits per pixel band_types >> 19): a block takes
 * 128 x 128 x 16 / 8 pixel bytes + 128 x 128 / 8 mask bytes + 4 = 34820
 * bytes, a fetched row 34820 + 28 = 34848; the stream's buffer limit must be
 * at least that (else -294), the fetch buffer is twice the limit, and a
 * limit of 34848 fetches 2 rows at a time. */
#ifndef DB_STREAM_RASTER_QUERY_H
#define DB_STREAM_RASTER_QUERY_H

#include <stdint.h>

#include "base/util/ve_raster_tile.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"

/* The eighth parameter word of DB_stream_init: the tile fetch's buffer
 * limit in bytes. */
#define DB_STREAM_PARAM_RASTER_BUFFER 7
/* Bytes of a fetched row besides its block. */
#define DB_RASTER_ROW_OVERHEAD 28

#ifdef __cplusplus
extern "C" {
#endif

/* Builds and prepares the tile query of the stream's raster column under its
 * constraint (level, bands, window, order), and makes the fetch buffer. 0;
 * -65; -226 without a raster column; -66 when the band table gives no usable
 * block size (no band, a width or height below 1, a negative band type, a
 * block of 2 GB or more); -294 when the buffer limit is below one row; -12;
 * -322 for names that are not identifiers; -37 or -51 (the stream's
 * extended error filled). */
ZEL_API int32_t DB_stream_init_raster_query(DB_STREAM *stream);
/* The next tile of the raster into tile: 0 with a tile; 0 with no tile (data
 * null, length 0) when a fetch gave no row and no end; -4 at the end; -66
 * for a block whose length word passes the bytes fetched (the tile is passed
 * over), or before DB_stream_init_raster_query; -42 for SQLSTATE 37000; -65;
 * -51 (the stream's extended error filled). A raster id other than the last
 * one starts that raster from its first tile. At level 0 of a constraint the
 * constraint's second long is taken from the row and its first from the
 * column. */
ZEL_API int32_t DB_stream_fetch_tile(DB_STREAM *stream, int32_t raster_id, RB_TILE *tile);
/* The block of one tile: *pixels points behind its length word (into a
 * block of the stream's, valid until the next call or the stream's close)
 * and *length is that length; both 0 when no such tile exists. 0; -65;
 * -226; -66 for a block whose length word passes the bytes fetched, or no
 * usable block size; -12; -322; -37 or -51 (the stream's extended error
 * filled). */
ZEL_API int32_t DB_stream_fetch_pixel_data(DB_STREAM *stream, int32_t rasterband_id, int32_t level,
                                           int32_t row, int32_t column, unsigned char **pixels,
                                           int32_t *length);

#ifdef __cplusplus
}
#endif

#endif
