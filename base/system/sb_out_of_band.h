/* Out-of-band rows and direct blobs: one row, or one blob value, moved
 * straight over a channel instead of through a row stream buffer
 * (base/system/sb_buffer.h). A row too large for an empty send buffer makes
 * SB_put_row answer -3003; the server sends that buffer (its out-of-band
 * flag set) and then the row with VES_write_out_of_band_row, and the client,
 * told by SB_get_row's -3003, reads it with VES_read_out_of_band_row. Blob
 * values travel after their row as direct blobs.
 *
 * Every value goes through the channel's own members, so it takes the form
 * of the channel's transport (raw on a socket, XDR records on an XDR
 * channel). A row, in order:
 *   short array: the column count and one indicator per column;
 *   the row's auxiliary longs (aux_count of them, long each);
 *   for every column whose indicator is 2, by type: 1 short, 2 long, 3 float,
 *   4 double, 5 string, 7 date, 8 compressed feature; a blob (6) and a
 *   raster (9) carry nothing here (a blob follows as a direct blob).
 * A direct blob: segments of at most VES_BLOB_SEGMENT_SIZE bytes (long
 * length, long last flag, the bytes), the last one carrying what remains
 * (a blob of 0 bytes is one empty last segment), then the blob's end. On a
 * socket, 60001 bytes are
 *   60 EA 00 00 | 00 00 00 00 | 60000 bytes | 01 00 00 00 | 01 00 00 00 | 1 byte
 * and the end carries nothing; on an XDR channel the segments and the end
 * are one record, the longs big-endian and the end the padding of the total
 * to 4 bytes (here 3 zero bytes).
 *
 * A reader refuses what the peer sends beyond the room it has (a column
 * count above the row's, a string longer than its column, a segment longer
 * than VES_BLOB_SEGMENT_SIZE or than the caller's area, a negative length):
 * it answers -10 and leaves the channel broken, since the rest of the
 * message would be read as the next value. */
#ifndef SB_OUT_OF_BAND_H
#define SB_OUT_OF_BAND_H

#include <stdint.h>

#include "base/system/ch_channel.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The largest blob segment; a reader's area for one segment. */
#define VES_BLOB_SEGMENT_SIZE 60000

/* Sends the row and flushes the channel. 0; -3004 when a blob column has a
 * value (its blob must follow with VES_write_direct_blob); -65 a null
 * channel or row, or a null value of a column with indicator 2; -107 a
 * column with indicator 2 whose type is outside 1 to 9; -10 a channel
 * failure (what was sent stays sent). Nothing is sent on -65 or -107. */
ZEL_API int32_t VES_write_out_of_band_row(CH_CHANNEL *channel, const VE_ROW_POINTERS *row);

/* Reads a row into row: the indicators, the auxiliary longs (the row's
 * aux_count of them) and the values, each into what the column's value
 * pointer points at; with own_buffers non-zero the value pointer of every
 * column that receives a value is first pointed at the row's own buffer.
 * A string is read into room for its column's size and the terminator. The
 * peer may send fewer columns than the row has; the others are then null
 * (indicator 1), and the row's column count stays. 0; -65 a null channel or
 * row, missing arrays, or no value pointer (or own buffer) for a value that
 * arrives (the channel is then broken); -66 a negative column count or
 * string size; -107 a column type outside 1 to 9 (nothing is read on -65,
 * -66 and -107 found before reading); -10 a channel failure or a refusal of
 * what was sent. */
ZEL_API int32_t VES_read_out_of_band_row(CH_CHANNEL *channel, VE_ROW_POINTERS *row,
                                         int32_t own_buffers);

/* Sends blob's byte_count bytes from its data as a direct blob. The end goes
 * with the flush flag, so an XDR channel sends the blob's record; a socket
 * channel holds the bytes back until the caller's flush. 0; -65 a null
 * channel or blob, or null data with bytes; -66 a negative byte count;
 * -10 a channel failure. */
ZEL_API int32_t VES_write_direct_blob(CH_CHANNEL *channel, const VE_BLOB_VALUE *blob);

/* Receives a direct blob. blob->byte_count is added to, not cleared: set it
 * to 0 for a new blob; it grows by every segment received.
 * - discard non-zero: every segment is read and dropped;
 * - else fd >= 0: every segment is written to the file descriptor; after a
 *   write that fails or falls short nothing more is written, the remaining
 *   segments are still read, and the answer is -79;
 * - else into memory: the blob lands at data + byte_count.
 * With caller_buffer zero the data area is the function's: in memory it is
 * grown with realloc before every segment, else it is (re)allocated to one
 * segment's size and zeroed; either way it stays in blob->data for the
 * caller to free with free(). With caller_buffer non-zero blob->data is the
 * caller's area of capacity bytes (capacity is ignored otherwise): in memory
 * it must take the whole blob after byte_count, else one segment at a time.
 * 0; -79 as above; -65 a null channel or blob, no caller area with room,
 * or no data area behind a byte_count above 0 in memory;
 * -66 a negative byte count or capacity, or byte_count above capacity;
 * -999 no memory (before the first segment nothing is read; later the
 * channel is broken); -10 a channel failure or a segment beyond the room
 * (the channel is then broken). */
ZEL_API int32_t VES_read_direct_blob(CH_CHANNEL *channel, int32_t caller_buffer, int32_t capacity,
                                     int32_t discard, int32_t fd, VE_BLOB_VALUE *blob);

#ifdef __cplusplus
}
#endif

#endif
