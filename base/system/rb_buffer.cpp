// The tile buffer's life and messages: creation, release, reset, first use
// of the data area, sending and receiving a message through the channel, and
// the accessors. The tiles in the data area are rb_tile.cpp; the message and
// data-area layouts are in base/system/rb_buffer.h.
#include "base/system/rb_buffer.h"

#include <cstdlib>

#include "base/system/rb_buffer_internal.h"
#include "base/util/ve_buffer.h"
#include "base/util/zel_errors.h"

int32_t rb_first_use(RB_BUFFER *buffer)
{
    if (buffer->data != nullptr || buffer->capacity == 0)
        return ZE_SUCCESS;
    buffer->data = static_cast<uint8_t *>(VES_buffer_alloc(buffer->capacity));
    if (buffer->data == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    buffer->position = 0;
    buffer->used = 0;
    return ZE_SUCCESS;
}

ZEL_API int32_t RB_init(RB_BUFFER **buffer, int32_t size)
{
    if (buffer == nullptr)
        return ZE_NULL_POINTER;
    if (size < 0)
        return ZE_INVALID_ARGUMENT;
    auto *made = static_cast<RB_BUFFER *>(std::calloc(1, sizeof(RB_BUFFER)));
    if (made == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    made->capacity = size;
    *buffer = made;
    return ZE_SUCCESS;
}

ZEL_API void RB_free(RB_BUFFER **buffer)
{
    if (buffer == nullptr || *buffer == nullptr)
        return;
    RB_BUFFER *b = *buffer;
    if (b->data != nullptr)
        VES_buffer_free(b->data, b->capacity);
    if (b->scratch != nullptr)
        VES_buffer_free(b->scratch, b->scratch_size);
    if (b->deflate != nullptr)
        VES_deflate_end(b->deflate);
    if (b->inflate != nullptr)
        VES_inflate_end(b->inflate);
    std::free(b);
    *buffer = nullptr;
}

ZEL_API void RB_reset(RB_BUFFER *buffer)
{
    if (buffer == nullptr)
        return;
    buffer->error = 0;
    buffer->last = 0;
    buffer->tile_count = 0;
    buffer->position = 0;
    buffer->used = 0;
}

// Whether the first count tiles of the data area lie within the bytes in
// use, so that a send never reads past them.
static bool S_tiles_in_use(const RB_BUFFER *buffer, int32_t count)
{
    int64_t at = 0;
    for (int32_t i = 0; i < count; i++) {
        if (buffer->data == nullptr || at + RB_TILE_HEADER_SIZE > buffer->used)
            return false;
        const int32_t n = rb_get_long(buffer->data + at + RB_AT_LENGTH);
        if (n < 0 || at + RB_TILE_HEADER_SIZE + n > buffer->used)
            return false;
        at += RB_TILE_HEADER_SIZE + n;
    }
    return true;
}

ZEL_API int32_t RB_send_buffer(RB_BUFFER *buffer, CH_CHANNEL *channel)
{
    if (buffer == nullptr)
        return ZE_NULL_POINTER;
    if (!S_tiles_in_use(buffer, buffer->tile_count))
        return ZE_INVALID_ARGUMENT;
    if (CH_write_long(channel, buffer->error) != 0 || CH_write_long(channel, buffer->last) != 0 ||
        CH_write_long(channel, buffer->tile_count) != 0)
        return ZE_NETWORK_IO;
    int32_t at = 0;
    for (int32_t i = 0; i < buffer->tile_count; i++) {
        const uint8_t *head = buffer->data + at;
        for (int32_t word = 0; word < RB_TILE_HEADER_SIZE; word += 4)
            if (CH_write_long(channel, rb_get_long(head + word)) != 0)
                return ZE_NETWORK_IO;
        const int32_t n = rb_get_long(head + RB_AT_LENGTH);
        if (n > 0 && CH_write_block(channel, head + RB_TILE_HEADER_SIZE, n) != 0)
            return ZE_NETWORK_IO;
        at += RB_TILE_HEADER_SIZE + n;
    }
    return CH_flush(channel) == 0 ? ZE_SUCCESS : ZE_NETWORK_IO;
}

ZEL_API int32_t RB_receive_buffer(RB_BUFFER *buffer, CH_CHANNEL *channel)
{
    if (buffer == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = rb_first_use(buffer);
    if (rc != 0)
        return rc;
    int32_t error = 0, last = 0, count = 0;
    if (CH_read_long(channel, &error) != 0 || CH_read_long(channel, &last) != 0 ||
        CH_read_long(channel, &count) != 0)
        return ZE_NETWORK_IO;
    buffer->error = error;
    buffer->last = last;
    // Nothing is there to take until every tile has arrived whole.
    buffer->tile_count = 0;
    buffer->used = 0;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    int64_t at = 0;
    for (int32_t i = 0; i < count; i++) {
        int32_t head[RB_TILE_HEADER_SIZE / 4];
        for (int32_t &word : head)
            if (CH_read_long(channel, &word) != 0)
                return ZE_NETWORK_IO;
        // The peer's length is checked before a byte lands in the data area.
        const int32_t n = head[RB_AT_LENGTH / 4];
        if (n < 0 || at + RB_TILE_HEADER_SIZE + n > buffer->capacity)
            return ZE_INVALID_ARGUMENT;
        uint8_t *to = buffer->data + at;
        for (int32_t word = 0; word < RB_TILE_HEADER_SIZE / 4; word++)
            rb_put_long(to + 4 * word, head[word]);
        if (n > 0 && CH_read_block(channel, to + RB_TILE_HEADER_SIZE, n) != 0)
            return ZE_NETWORK_IO;
        at += RB_TILE_HEADER_SIZE + n;
    }
    buffer->tile_count = count;
    buffer->used = static_cast<int32_t>(at);
    return ZE_SUCCESS;
}

ZEL_API void RB_set_last(RB_BUFFER *buffer)
{
    if (buffer != nullptr)
        buffer->last = 1;
}

ZEL_API void RB_set_error(RB_BUFFER *buffer, int32_t code)
{
    if (buffer != nullptr)
        buffer->error = code;
}

ZEL_API int32_t RB_is_last(const RB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->last : 0;
}

ZEL_API int32_t RB_get_num_tiles(const RB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->tile_count : 0;
}

ZEL_API int32_t RB_get_error(const RB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->error : 0;
}

ZEL_API int32_t RB_get_buffer_size(const RB_BUFFER *buffer)
{
    return buffer != nullptr ? buffer->capacity : 0;
}

ZEL_API int32_t RB_is_empty(const RB_BUFFER *buffer)
{
    return buffer != nullptr && buffer->tile_count == 0 ? 1 : 0;
}
