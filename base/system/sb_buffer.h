/* The row stream buffer (SB_BUFFER): carries a query's rows from the server
 * process to the client as a series of messages over a channel. The server
 * puts each row with SB_put_row and its blob pieces with SB_put_blob, sends
 * the buffer when a put answers "full" and starts the next; the client
 * receives each message with SB_receive_buffer and takes the rows out with
 * SB_get_row and SB_get_blob. A buffer serves one direction (receive or send)
 * and one encoding (native: host order, no padding; XDR: big-endian through a
 * memory XDR stream); both peers must use the same encoding and capacity,
 * which the message does not carry.
 *
 * Message, through the channel's own primitives: status (long); when it is 0
 * also bytes used (long), row count (long), partial blob column (short),
 * last flag (long), out-of-band flag (long), then, unless the out-of-band
 * flag is 1 or no byte is used, that many bytes of the data area (block).
 *
 * Data area, one row after another: an indicator per column (short; XDR 4
 * bytes), the row's auxiliary longs, the value of every non-blob column whose
 * indicator is 2, then one piece per blob column put after the row. Values:
 *   1 short (2; XDR 4)       2 long, 9 raster id (4)   3 float (4)
 *   4 double (8)             7 date: 9 ints (36)
 *   5 string: long L = strlen + 1, then L bytes with the NUL (XDR: long L,
 *     then an XDR string of at most 4096 characters)
 *   8 shape: feature id (unsigned long), point count (long), entity type
 *     (short), the annotation text as a string only when the writer's
 *     feature has an annotation object, the compressed length (long), the
 *     compressed bytes (XDR: opaque, padded to 4)
 * A blob piece: long length N, then N bytes (XDR: padded to 4, not counted).
 *
 * Codes: 0; -66 a null pointer or an argument out of range, and on the
 * receive side bytes that do not form a row (a length past the data, a
 * string without its NUL, an indicator the column cannot have, a message
 * larger than the buffer); -999 no memory; -10 a channel transfer failed or
 * a value could not be encoded or decoded; -1 an invalid column type (with a
 * message on standard error), a type change while data is in the buffer, or
 * a closing of a piece when none is open; the buffer codes:
 *   -3001 full: send it, reset it and put the same row or bytes again
 *   -3002 no more rows here and not the last buffer: receive the next
 *   -3003 the row is larger than an empty buffer: it travels out of band
 *   -3004 the row is in: its blob pieces must follow
 *   -3005 the blob has no piece here, or it continues in the next buffer
 *   -3006 the operation belongs to the other direction
 *   -4    the last buffer is drained
 *   -1004 the blob value is null;  -114 the column is not a blob column */
#ifndef SB_BUFFER_H
#define SB_BUFFER_H

#include <stdint.h>

#include "base/system/ch_channel.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Directions and encodings. */
#define SB_RECEIVE_BUFFER 1
#define SB_SEND_BUFFER 2
#define SB_ENCODING_XDR 1 /* any other value: native */

/* The partial blob column when no blob piece is open. */
#define SB_NO_PARTIAL_BLOB 0xFFFFu
/* Blob columns travel by index below this in the XDR encoding. */
#define SB_MAX_BLOB_COLUMNS 256
/* The flag of SB_put_blob for the last bytes of a blob. */
#define SB_BLOB_LAST 3

typedef struct SB_BUFFER SB_BUFFER;

/* A new empty buffer of the type (1 receive, 2 send) with a data area of
 * size bytes, made at first use. With the limit flag of SB_put_row a row is
 * refused once more than minimum_fill bytes or maximum_rows rows are in.
 * -66 for a negative number, size below minimum_fill, a null out-pointer or
 * another type; -999 no memory. Freed with SB_free. */
ZEL_API int32_t SB_init(int16_t type, int32_t minimum_fill, int32_t size, int32_t maximum_rows,
                        int32_t encoding, SB_BUFFER **buffer);
/* Releases the buffer and all it holds; null ignored. */
ZEL_API void SB_free(SB_BUFFER *buffer);
/* Empties the buffer for reuse: status, counts and flags 0, no open piece;
 * null ignored. */
ZEL_API void SB_reset(SB_BUFFER *buffer);
/* Switches the buffer's direction: 0; -66 a null buffer or another type; -1
 * while bytes are in the buffer; -999 no memory. */
ZEL_API int32_t SB_set_type(SB_BUFFER *buffer, int16_t type);

/* Appends a row (send buffer). With limit non-zero the minimum fill and
 * maximum rows apply as well as the room. -3001 when it does not fit but the
 * buffer has data; -3003 (and the out-of-band flag set) when it does not fit
 * an empty buffer; -3004 when the row is in and has a blob column, whose
 * pieces must follow; else 0. A row is written whole or not at all: -66 for
 * values the row cannot carry (a null value, an indicator other than 1 or 2,
 * or 3 on a shape, a bad shape or string), -1 an invalid type, -10. A blob
 * piece left open is closed before the row. */
ZEL_API int32_t SB_put_row(const VE_ROW_POINTERS *row, int32_t limit, SB_BUFFER *buffer);
/* Appends length bytes of the blob of column (send buffer), opening a piece
 * for the column unless it is the one open; flag 3 closes the piece (its
 * last bytes), any other flag keeps it open. -3001 with nothing written when
 * the bytes do not fit (an open piece of the column is closed first, and the
 * message then tells the reader that this blob continues); -66 when they
 * could not fit even an empty buffer, for a negative length or column, null
 * data with a length, or, in the XDR encoding, a column of 256 or more. A
 * piece of another column left open is closed first. */
ZEL_API int32_t SB_put_blob(int32_t length, const void *data, int16_t column, int16_t flag,
                            SB_BUFFER *buffer);

/* Takes the next row into row (receive buffer): its indicators, auxiliary
 * longs (the row's aux_count of them, into its aux_longs), values and where
 * its blob pieces stand. Fixed-size values are copied into the row's own
 * buffers; a native string points into the buffer's data area (valid until
 * the next receive or reset), an XDR string is decoded into the row's buffer
 * (room: the column's size + 1); a shape is read into the row's feature, its
 * compressed buffer grown to the length (the column's shape mask from
 * shape_masks when the row has them), its annotation text only when that
 * feature has an annotation object. -3003 the row travels out of band; -4
 * the last buffer is drained; -3002 receive the next buffer; -66 bytes that
 * do not form the row (the buffer then stays at the row); -1 an invalid
 * type; -10 a decode failed. */
ZEL_API int32_t SB_get_row(SB_BUFFER *buffer, VE_ROW_POINTERS *row);
/* Copies the current row's blob piece of column into blob: with a null data
 * pointer a block of the length is allocated (malloc; the caller frees it),
 * else the caller's block must have room for byte_count bytes on entry, and
 * a longer piece is refused (-66). byte_count is then the piece's length.
 * -1004 the value is null; -114 not a blob column; -3005 with length 0 when
 * the row has no piece of it here; -3005 after the copy when this was the
 * buffer's last row and the blob continues in the next buffer; -999; -10. */
ZEL_API int32_t SB_get_blob(SB_BUFFER *buffer, VE_ROW_POINTERS *row, int16_t column,
                            VE_BLOB_VALUE *blob);

/* Sends the buffer as one message and flushes the channel, except when the
 * message has no data block (the status is 0 and the out-of-band flag is set
 * or no byte is used): it then leaves with the caller's next flush. A blob
 * piece left open is closed first. 0; -66 a null buffer; -10 any channel
 * failure. */
ZEL_API int32_t SB_send_buffer(CH_CHANNEL *channel, SB_BUFFER *buffer);
/* Resets the buffer and receives one message into it. A non-zero status
 * from the sender is the result (the buffer stays reset). -66 when the
 * message is larger than the buffer or its counts are negative (the block is
 * then left unread and the channel out of step); -999; -10. */
ZEL_API int32_t SB_receive_buffer(CH_CHANNEL *channel, SB_BUFFER *buffer);

/* Mark the buffer as the last of its stream, or give it an error status for
 * the receiver: 0; -66 a null buffer; -3006 not a send buffer. */
ZEL_API int32_t SB_set_last_buffer(SB_BUFFER *buffer);
ZEL_API int32_t SB_set_error(SB_BUFFER *buffer, int32_t code);

/* Accessors; 0 for a null buffer (SB_NO_PARTIAL_BLOB for the column). */
ZEL_API int32_t SB_is_last(const SB_BUFFER *buffer);
ZEL_API int32_t SB_is_out_of_band(const SB_BUFFER *buffer);
/* 1 when the buffer holds no row, else 0. */
ZEL_API int32_t SB_is_empty(const SB_BUFFER *buffer);
ZEL_API int32_t SB_get_object_count(const SB_BUFFER *buffer);
ZEL_API int32_t SB_get_bytes_used(const SB_BUFFER *buffer);
ZEL_API uint16_t SB_get_partial_blob_column_id(const SB_BUFFER *buffer);

#ifdef __cplusplus
}
#endif

#endif
