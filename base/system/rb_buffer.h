/* The tile buffer (RB_BUFFER): carries raster tiles (RB_TILE,
 * base/util/ve_raster_tile.h) between the server process and the client as
 * messages over a channel. The writer puts tiles with RB_put_tile until it
 * answers "full", sends the buffer with RB_send_buffer and resets it; the
 * reader resets the buffer, receives a message with RB_receive_buffer and
 * takes the tiles out with RB_get_tile until it answers -3002 (RB_is_last
 * tells whether another message follows).
 *
 * One tile in the data area (host order, unaligned) and on the wire: seven
 * longs, then the pixel bytes.
 *   length N (after encoding: the encoded length), tile number, format,
 *   pixel count, the tile's three words, N bytes
 * Message: error, last flag, tile count, then every tile (the longs through
 * the channel's long member, so they take the channel's form; the bytes as a
 * block).
 *
 * With the encode flag a put writes multi-byte pixels (bits per pixel above
 * 8 and a multiple of 8) most significant byte first and, for compression 1,
 * deflates the bytes; a get with the decode flag undoes both. Example: a
 * tile of 1000 bytes, compression 1 and the encode flag needs 1022 + 28
 * bytes of room (1000 x 1.01 + 12.5, whole bytes, for deflate's worst case),
 * however well it compresses; without the flag 1000 + 28.
 *
 * Codes: 0; -65 a null pointer; -66 an argument out of range or bytes that
 * do not form a tile (a length past the bytes received or the room of the
 * reader's tile, a pixel count whose bytes pass the tile's); -246 a tile
 * number below 1; -316 a compression other than 0 or 1; -3001 the tile does
 * not fit the room left; -3002 no tile left; -999 no memory for the data or
 * scratch area; -10 a channel transfer failed; -1 deflate or inflate failed
 * (the zlib wrappers' code). */
#ifndef RB_BUFFER_H
#define RB_BUFFER_H

#include <stdint.h>

#include "base/system/ch_channel.h"
#include "base/util/ve_raster_tile.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of a tile's seven header longs. */
#define RB_TILE_HEADER_SIZE 28

typedef struct RB_BUFFER RB_BUFFER;

/* A new empty buffer whose data area of size bytes is made at first use.
 * 0; -65 a null out-pointer; -66 a negative size; -999 no memory. */
ZEL_API int32_t RB_init(RB_BUFFER **buffer, int32_t size);
/* Releases the buffer, its areas and zlib streams, and sets *buffer to null;
 * a null pointer or buffer is ignored. */
ZEL_API void RB_free(RB_BUFFER **buffer);
/* Empties the buffer: error, last flag and tile count 0, position at the
 * start of the data area. A null buffer is ignored. */
ZEL_API void RB_reset(RB_BUFFER *buffer);

/* Appends a tile. A tile of length 0 is not put (0). With encode: see the
 * head of this file; the tile's own bytes are not changed. A tile is put
 * whole or not at all: -3001 when it does not fit, -316, -66 (a negative
 * length, or a pixel count whose bytes pass the length when the pixels are
 * reordered), -246, -65, -999, -1 (deflate failed). */
ZEL_API int32_t RB_put_tile(RB_BUFFER *buffer, const RB_TILE *tile, int32_t encode);
/* Takes the next tile into tile, whose length on entry is the room of its
 * data block in bytes and on return the bytes written there (0 on any
 * failure). -3002 when no tile is left. -66 when the tile's bytes do not fit
 * that room or do not form a tile: the buffer then stays at the tile. A
 * tile whose compression is unknown (-316) or does not inflate (-1) is
 * passed over: the next get takes the next tile. */
ZEL_API int32_t RB_get_tile(RB_BUFFER *buffer, RB_TILE *tile, int32_t decode);

/* Sends the buffer as one message and flushes the channel. 0; -65 a null
 * buffer; -10 a channel failure. */
ZEL_API int32_t RB_send_buffer(RB_BUFFER *buffer, CH_CHANNEL *channel);
/* Receives one message into the data area from its start (reset the buffer
 * first). 0, also when the message carries an error (RB_get_error); -65;
 * -66 when a tile length is negative or the tiles do not fit the data area
 * (nothing is then left to take, and the channel is out of step); -999;
 * -10. */
ZEL_API int32_t RB_receive_buffer(RB_BUFFER *buffer, CH_CHANNEL *channel);

/* Last flag := 1; error := code. A null buffer is ignored. */
ZEL_API void RB_set_last(RB_BUFFER *buffer);
ZEL_API void RB_set_error(RB_BUFFER *buffer, int32_t code);
/* The last flag, tile count, error and capacity; 0 for a null buffer. */
ZEL_API int32_t RB_is_last(const RB_BUFFER *buffer);
ZEL_API int32_t RB_get_num_tiles(const RB_BUFFER *buffer);
ZEL_API int32_t RB_get_error(const RB_BUFFER *buffer);
ZEL_API int32_t RB_get_buffer_size(const RB_BUFFER *buffer);
/* 1 when the tile count is 0, else 0. */
ZEL_API int32_t RB_is_empty(const RB_BUFFER *buffer);

#ifdef __cplusplus
}
#endif

#endif
