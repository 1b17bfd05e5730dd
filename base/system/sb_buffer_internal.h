// The row stream buffer's record and what its two source files share:
// sb_buffer.cpp (life, direction, messages, accessors) and sb_row.cpp (rows
// and blob pieces in the data area). The wire and data-area layouts are in
// base/system/sb_buffer.h.
#ifndef SB_BUFFER_INTERNAL_H
#define SB_BUFFER_INTERNAL_H

#include <rpc/xdr.h>
#include <stdint.h>

#include "base/system/sb_buffer.h"

/* One buffer. Positions are offsets into the data area in both encodings;
 * in the XDR encoding the stream's own position is the write or read
 * position and `position` is not used. */
struct SB_BUFFER {
    int32_t status;               /* 0, or the error the sender set */
    int32_t bytes_used;           /* bytes of the data area in use */
    int32_t row_count;            /* send: rows put; receive: rows not yet taken */
    uint16_t partial_blob_column; /* column whose piece is open, SB_NO_PARTIAL_BLOB none */
    int32_t last;                 /* 1: the last buffer of the stream */
    int32_t out_of_band;          /* 1: the next row did not fit this empty buffer */
    int32_t capacity;             /* bytes of the data area */
    int32_t minimum_fill;
    int32_t maximum_rows;
    int16_t type;        /* SB_RECEIVE_BUFFER or SB_SEND_BUFFER */
    uint8_t *data;       /* VES_buffer_alloc'd, capacity bytes; null until first use */
    int32_t has_area;    /* first use is done (a capacity of 0 has no block) */
    int32_t position;    /* native: next byte to write or read */
    int32_t end;         /* receive: bytes received */
    int32_t pending;     /* offset of the open piece's length word, -1 none */
    int32_t encoding;    /* SB_ENCODING_XDR, else native */
    XDR xdr;             /* XDR encoding: memory stream over the data area */
    int32_t *blob_table; /* XDR receive buffers: per column, its piece's offset or -1 */
};

/* Whether the buffer uses the XDR encoding. */
static inline int sb_is_xdr(const SB_BUFFER *buffer)
{
    return buffer->encoding == SB_ENCODING_XDR;
}

/* The write or read position in either encoding. */
int32_t sb_position(SB_BUFFER *buffer);
/* Sets the position in either encoding: 0, or -10 when the stream refuses. */
int32_t sb_set_position(SB_BUFFER *buffer, int32_t position);
/* Makes the data area (and in the XDR encoding its stream and, for a
 * receive buffer, the blob position table) when it is not there: 0 or
 * -999. */
int32_t sb_first_use(SB_BUFFER *buffer);
/* Closes the open blob piece: its length word is written and, in the XDR
 * encoding, its bytes padded to 4. 0; -66 null buffer; -1 no piece open;
 * -10 the padding or length cannot be encoded. */
int32_t sb_close_piece(SB_BUFFER *buffer);

#endif
