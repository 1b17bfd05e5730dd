// The row stream buffer's life and messages: creation, reset, direction,
// first use of the data area, sending and receiving a message through the
// channel, and the accessors. The rows and blob pieces in the data area are
// sb_row.cpp; the message and data-area layouts are in
// base/system/sb_buffer.h.
#include "base/system/sb_buffer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/system/sb_buffer_internal.h"
#include "base/util/ve_buffer.h"
#include "base/util/zel_errors.h"

// Points the memory stream at the first size bytes of the data area in the
// direction of the buffer's type. A receive buffer's stream ends at the
// bytes received, so no decode reaches past them.
static void S_xdr_bind(SB_BUFFER *buffer, int32_t size)
{
    // A capacity of 0 has no block; the stream then has nothing to move.
    static char empty[4];
    char *base = buffer->data != nullptr ? reinterpret_cast<char *>(buffer->data) : empty;
    xdrmem_create(&buffer->xdr, base, static_cast<u_int>(size),
                  buffer->type == SB_RECEIVE_BUFFER ? XDR_DECODE : XDR_ENCODE);
}

// A blob position table of SB_MAX_BLOB_COLUMNS entries, every one -1.
static int32_t *S_new_blob_table()
{
    auto *table = static_cast<int32_t *>(std::malloc(SB_MAX_BLOB_COLUMNS * sizeof(int32_t)));
    if (table != nullptr)
        for (int i = 0; i < SB_MAX_BLOB_COLUMNS; i++)
            table[i] = -1;
    return table;
}

int32_t sb_position(SB_BUFFER *buffer)
{
    return sb_is_xdr(buffer) ? static_cast<int32_t>(xdr_getpos(&buffer->xdr)) : buffer->position;
}

int32_t sb_set_position(SB_BUFFER *buffer, int32_t position)
{
    if (!sb_is_xdr(buffer)) {
        buffer->position = position;
        return ZE_SUCCESS;
    }
    return xdr_setpos(&buffer->xdr, static_cast<u_int>(position)) ? ZE_SUCCESS : ZE_NETWORK_IO;
}

int32_t sb_first_use(SB_BUFFER *buffer)
{
    if (buffer->has_area)
        return ZE_SUCCESS;
    if (buffer->capacity > 0) {
        buffer->data = static_cast<uint8_t *>(VES_buffer_alloc(buffer->capacity));
        if (buffer->data == nullptr) {
            std::fprintf(stderr, "%s: errno = %d\n", "buffer_alloc stream buffer block", errno);
            return ZE_BUFFER_NO_MEMORY;
        }
    }
    buffer->position = 0;
    buffer->end = 0;
    buffer->pending = -1;
    if (sb_is_xdr(buffer)) {
        if (buffer->type == SB_RECEIVE_BUFFER) {
            buffer->blob_table = S_new_blob_table();
            if (buffer->blob_table == nullptr) {
                if (buffer->data != nullptr)
                    VES_buffer_free(buffer->data, buffer->capacity);
                buffer->data = nullptr;
                return ZE_BUFFER_NO_MEMORY;
            }
        }
        S_xdr_bind(buffer, buffer->type == SB_RECEIVE_BUFFER ? 0 : buffer->capacity);
    }
    buffer->has_area = 1;
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_init(int16_t type, int32_t minimum_fill, int32_t size, int32_t maximum_rows,
                        int32_t encoding, SB_BUFFER **buffer)
{
    if (minimum_fill < 0 || size < 0 || maximum_rows < 0 || size < minimum_fill ||
        buffer == nullptr || (type != SB_RECEIVE_BUFFER && type != SB_SEND_BUFFER))
        return ZE_INVALID_ARGUMENT;
    auto *made = static_cast<SB_BUFFER *>(std::calloc(1, sizeof(SB_BUFFER)));
    if (made == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    made->partial_blob_column = SB_NO_PARTIAL_BLOB;
    made->capacity = size;
    made->minimum_fill = minimum_fill;
    made->maximum_rows = maximum_rows;
    made->type = type;
    made->pending = -1;
    made->encoding = encoding;
    *buffer = made;
    return ZE_SUCCESS;
}

ZEL_API void SB_free(SB_BUFFER *buffer)
{
    if (buffer == nullptr)
        return;
    if (buffer->data != nullptr)
        VES_buffer_free(buffer->data, buffer->capacity);
    if (buffer->has_area && sb_is_xdr(buffer))
        xdr_destroy(&buffer->xdr);
    std::free(buffer->blob_table);
    std::free(buffer);
}

ZEL_API void SB_reset(SB_BUFFER *buffer)
{
    if (buffer == nullptr)
        return;
    buffer->status = 0;
    buffer->bytes_used = 0;
    buffer->row_count = 0;
    buffer->last = 0;
    buffer->out_of_band = 0;
    buffer->partial_blob_column = SB_NO_PARTIAL_BLOB;
    if (!buffer->has_area)
        return;
    buffer->position = 0;
    buffer->end = 0;
    buffer->pending = -1;
    if (!sb_is_xdr(buffer))
        return;
    if (buffer->type == SB_RECEIVE_BUFFER) {
        S_xdr_bind(buffer, 0);
        if (buffer->blob_table != nullptr)
            for (int i = 0; i < SB_MAX_BLOB_COLUMNS; i++)
                buffer->blob_table[i] = -1;
    } else {
        xdr_setpos(&buffer->xdr, 0);
    }
}

ZEL_API int32_t SB_set_type(SB_BUFFER *buffer, int16_t type)
{
    if (buffer == nullptr || (type != SB_RECEIVE_BUFFER && type != SB_SEND_BUFFER))
        return ZE_INVALID_ARGUMENT;
    if (buffer->bytes_used != 0)
        return ZE_FAILURE;
    if (type == buffer->type)
        return ZE_SUCCESS;
    int32_t *table = nullptr;
    if (buffer->has_area && sb_is_xdr(buffer) && type == SB_RECEIVE_BUFFER) {
        table = S_new_blob_table();
        if (table == nullptr)
            return ZE_BUFFER_NO_MEMORY;
    }
    SB_reset(buffer);
    buffer->type = type;
    if (buffer->has_area && sb_is_xdr(buffer)) {
        std::free(buffer->blob_table);
        buffer->blob_table = table;
        S_xdr_bind(buffer, type == SB_RECEIVE_BUFFER ? 0 : buffer->capacity);
    }
    return ZE_SUCCESS;
}

// The six header fields of a message whose status is 0.
static int32_t S_write_header(CH_CHANNEL *channel, const SB_BUFFER *buffer)
{
    if (CH_write_long(channel, buffer->bytes_used) != 0 ||
        CH_write_long(channel, buffer->row_count) != 0 ||
        CH_write_short(channel, static_cast<int16_t>(buffer->partial_blob_column)) != 0 ||
        CH_write_long(channel, buffer->last) != 0 ||
        CH_write_long(channel, buffer->out_of_band) != 0)
        return ZE_NETWORK_IO;
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_send_buffer(CH_CHANNEL *channel, SB_BUFFER *buffer)
{
    if (buffer == nullptr)
        return ZE_INVALID_ARGUMENT;
    // A piece still open has only a placeholder for its length: the reader
    // would take the bytes behind it for the next row. The blob continues in
    // the next buffer, as the partial column says.
    if (buffer->type == SB_SEND_BUFFER && buffer->has_area && buffer->pending >= 0) {
        int32_t rc = sb_close_piece(buffer);
        if (rc != 0)
            return rc;
    }
    if (CH_write_long(channel, buffer->status) != 0)
        return ZE_NETWORK_IO;
    bool block = false;
    if (buffer->status == 0) {
        if (S_write_header(channel, buffer) != 0)
            return ZE_NETWORK_IO;
        block = buffer->out_of_band != 1 && buffer->bytes_used >= 1;
        if (block && CH_write_block(channel, buffer->data, buffer->bytes_used) != 0)
            return ZE_NETWORK_IO;
        // Without a data block the message leaves with the caller's next
        // flush (an out-of-band row follows it, or the stream's end).
        if (!block)
            return ZE_SUCCESS;
    }
    return CH_flush(channel) == 0 ? ZE_SUCCESS : ZE_NETWORK_IO;
}

ZEL_API int32_t SB_receive_buffer(CH_CHANNEL *channel, SB_BUFFER *buffer)
{
    if (buffer == nullptr)
        return ZE_INVALID_ARGUMENT;
    SB_reset(buffer);
    int32_t rc = sb_first_use(buffer);
    if (rc != 0)
        return rc;
    int32_t status = 0;
    if (CH_read_long(channel, &status) != 0)
        return ZE_NETWORK_IO;
    if (status != 0) {
        buffer->status = status;
        return status;
    }
    int32_t bytes_used = 0, row_count = 0, last = 0, out_of_band = 0;
    int16_t partial = 0;
    if (CH_read_long(channel, &bytes_used) != 0 || CH_read_long(channel, &row_count) != 0 ||
        CH_read_short(channel, &partial) != 0 || CH_read_long(channel, &last) != 0 ||
        CH_read_long(channel, &out_of_band) != 0)
        return ZE_NETWORK_IO;
    const bool block = out_of_band != 1 && bytes_used >= 1;
    // The peer's counts are checked before a byte lands in the data area.
    if (row_count < 0 || (block && bytes_used > buffer->capacity))
        return ZE_INVALID_ARGUMENT;
    if (block && CH_read_block(channel, buffer->data, bytes_used) != 0)
        return ZE_NETWORK_IO;
    buffer->bytes_used = bytes_used;
    buffer->row_count = row_count;
    buffer->partial_blob_column = static_cast<uint16_t>(partial);
    buffer->last = last;
    buffer->out_of_band = out_of_band;
    buffer->end = block ? bytes_used : 0;
    if (sb_is_xdr(buffer))
        S_xdr_bind(buffer, buffer->end);
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_set_last_buffer(SB_BUFFER *buffer)
{
    if (buffer == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (buffer->type != SB_SEND_BUFFER)
        return ZE_WRONG_DIRECTION;
    buffer->last = 1;
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_set_error(SB_BUFFER *buffer, int32_t code)
{
    if (buffer == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (buffer->type != SB_SEND_BUFFER)
        return ZE_WRONG_DIRECTION;
    buffer->status = code;
    return ZE_SUCCESS;
}

ZEL_API int32_t SB_is_last(const SB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->last : 0;
}

ZEL_API int32_t SB_is_out_of_band(const SB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->out_of_band : 0;
}

ZEL_API int32_t SB_is_empty(const SB_BUFFER *buffer)
{
    return buffer != nullptr && buffer->row_count == 0 ? 1 : 0;
}

ZEL_API int32_t SB_get_object_count(const SB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->row_count : 0;
}

ZEL_API int32_t SB_get_bytes_used(const SB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->bytes_used : 0;
}

ZEL_API uint16_t SB_get_partial_blob_column_id(const SB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->partial_blob_column : SB_NO_PARTIAL_BLOB;
}
