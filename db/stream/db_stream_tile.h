// Raster tile insert of a write stream whose table has a raster column: the
// tiles of the row's raster go one by one into the raster column's block
// table, a tile already stored under the same key can be set aside first,
// and the host asks which raster the row being written refers to.
//
// A block as the host gives it: 4 bytes that receive the data length, least
// significant byte first, then the data; it is stored whole (length + 4).
#ifndef DB_STREAM_TILE_H
#define DB_STREAM_TILE_H

#include <stdint.h>

#include "base/util/ve_row_pointers.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"

/* Tile inserts outside a user transaction commit after this many bytes. */
#define DB_TILE_COMMIT_BYTES 1048576

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts one tile: writes data_length into the block's first 4 bytes and
 * stores the block. Outside a user transaction commits once the bytes since
 * the last commit reach 1,048,576; inside one applies the autocommit rule
 * after every tile. 0; -65; -66 for a negative length; -226 when the stream
 * has no raster column; -37 or -51 (the stream's extended error filled,
 * the tile statement freed and prepared again by the next tile); the
 * commit's error. */
ZEL_API int32_t DB_execute_insert_tile(DB_STREAM *stream, int32_t rasterband_id, int32_t row_nbr,
                                       int32_t col_nbr, int32_t rrd_factor, unsigned char *block,
                                       int32_t data_length);
/* Sets the stored tile of the key aside by negating its rasterband_id; a key
 * that is not stored changes nothing. 0; -226; -37 or -51 as above. */
ZEL_API int32_t DB_stream_save_conflict_tile(DB_STREAM *stream, int32_t rasterband_id,
                                             int32_t rrd_factor, int32_t row_nbr, int32_t col_nbr);
/* The raster id of the row being written. When rowid_column is the stream's
 * raster column: the row's last value (from_row) or the stream's current
 * raster id. Otherwise read by the stream's WHERE text (its parameter the
 * last value of the stream's row when from_row); 0 when no row matches.
 * 0; -65; -66 without a WHERE text; -322 for names that are not
 * identifiers; -37 or -51 (the stream's extended error filled). */
ZEL_API int32_t DB_stream_query_raster_id(DB_STREAM *stream, const char *rowid_column,
                                          const VE_ROW_POINTERS *row, int32_t from_row,
                                          int32_t *raster_id);

#ifdef __cplusplus
}
#endif

#endif
