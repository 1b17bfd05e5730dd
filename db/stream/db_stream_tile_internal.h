// The tile INSERT of a write stream: prepared once when the stream lays out
// its buffers (or by the first tile after a failed one), its four key
// parameters bound to the stream's key fields.
#ifndef DB_STREAM_TILE_INTERNAL_H
#define DB_STREAM_TILE_INTERNAL_H

#include <stdint.h>

#include "db/stream/db_stream_tile.h"

/* The stream's statement records of the tile INSERT and the conflict UPDATE. */
#define DB_TILE_INSERT_STATEMENT 0
#define DB_TILE_CONFLICT_STATEMENT 1

#ifdef __cplusplus
extern "C" {
#endif

/* Prepares "INSERT INTO <block table> (rasterband_id, rrd_factor, row_nbr,
 * col_nbr, block_data) VALUES (?, ?, ?, ?, ?)" unless it is prepared. 0;
 * -12; -226 without a raster column; -37; -51. */
int32_t db_prepare_insert_raster(DB_STREAM *stream);
/* Binds the four key parameters. 0; -12; -51 (the stream's extended error
 * filled, the record freed). */
int32_t db_bind_insert_raster(DB_STREAM *stream);

#ifdef __cplusplus
}
#endif

#endif
