// Tiles in the tile buffer's data area: the put with its optional wire
// encoding (multi-byte pixels most significant byte first, deflate) and the
// get that undoes it. Every length is checked against the room it lands in:
// the data area's on a put, the bytes received and the reader's tile block
// on a get, and a pixel count against the bytes it reorders. The layouts are
// in base/system/rb_buffer.h.
#include <cstdio>
#include <cstring>

#include "base/system/rb_buffer.h"
#include "base/system/rb_buffer_internal.h"
#include "base/util/ve_big_endian_internal.h"
#include "base/util/ve_buffer.h"
#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"

// Bytes per pixel when the pixels travel most significant byte first on this
// host, else 0: whole-byte pixels of more than 8 bits on a little-endian
// host.
static int32_t S_reordered_width(int32_t format)
{
    const int32_t bits = RB_FORMAT_PIXEL_BITS(format);
    if (bits <= 8 || bits % 8 != 0 || !ve_host_is_little_endian())
        return 0;
    return bits / 8;
}

// Whether the first pixel_count pixels of width bytes lie within length
// bytes.
static bool S_pixels_fit(int32_t pixel_count, int32_t width, int64_t length)
{
    return pixel_count >= 0 && static_cast<int64_t>(pixel_count) * width <= length;
}

// Copies length bytes from src to dst with the byte order of each of the
// first pixel_count pixels reversed; the bytes after them unchanged.
static void S_reorder(uint8_t *dst, const uint8_t *src, int32_t length, int32_t pixel_count,
                      int32_t width)
{
    const size_t pixels = static_cast<size_t>(pixel_count);
    switch (width) {
    case 2:
        for (size_t i = 0; i < pixels; i++) {
            uint16_t v;
            memcpy(&v, src + 2 * i, 2);
            v = __builtin_bswap16(v);
            memcpy(dst + 2 * i, &v, 2);
        }
        break;
    case 4:
        for (size_t i = 0; i < pixels; i++) {
            uint32_t v;
            memcpy(&v, src + 4 * i, 4);
            v = __builtin_bswap32(v);
            memcpy(dst + 4 * i, &v, 4);
        }
        break;
    case 8:
        for (size_t i = 0; i < pixels; i++) {
            uint64_t v;
            memcpy(&v, src + 8 * i, 8);
            v = __builtin_bswap64(v);
            memcpy(dst + 8 * i, &v, 8);
        }
        break;
    default:
        ve_reverse_items(dst, src, pixels * static_cast<size_t>(width), static_cast<size_t>(width));
        break;
    }
    const size_t done = pixels * static_cast<size_t>(width);
    memcpy(dst + done, src + done, static_cast<size_t>(length) - done);
}

// The scratch area, of the capacity, made once: 0 or -999 (also for a
// capacity of 0).
static int32_t S_scratch(RB_BUFFER *buffer)
{
    if (buffer->scratch != nullptr)
        return ZE_SUCCESS;
    buffer->scratch = static_cast<uint8_t *>(VES_buffer_alloc(buffer->capacity));
    if (buffer->scratch == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    buffer->scratch_size = buffer->capacity;
    return ZE_SUCCESS;
}

static void S_put_header(uint8_t *head, const RB_TILE *tile, int32_t length)
{
    rb_put_long(head + RB_AT_LENGTH, length);
    rb_put_long(head + RB_AT_NUMBER, tile->tile_number);
    rb_put_long(head + RB_AT_FORMAT, tile->format);
    rb_put_long(head + RB_AT_PIXELS, tile->pixel_count);
    for (int i = 0; i < 3; i++)
        rb_put_long(head + RB_AT_WORDS + 4 * i, tile->words[i]);
}

ZEL_API int32_t RB_put_tile(RB_BUFFER *buffer, const RB_TILE *tile, int32_t encode)
{
    if (buffer == nullptr || tile == nullptr)
        return ZE_NULL_POINTER;
    if (tile->tile_number < 1)
        return ZE_INVALID_TILE_NUMBER;
    if (tile->length < 0)
        return ZE_INVALID_ARGUMENT;
    if (tile->length == 0)
        return ZE_SUCCESS;
    if (tile->data == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = rb_first_use(buffer);
    if (rc != 0)
        return rc;
    const int32_t compression = RB_FORMAT_COMPRESSION(tile->format);
    if (compression != RB_COMPRESSION_NONE && compression != RB_COMPRESSION_DEFLATE) {
        VES_print_debug(stderr, "RB_put_tile: invalid compression type.\n");
        return ZE_INVALID_COMPRESSION;
    }
    const int32_t length = tile->length;
    const int32_t width = encode ? S_reordered_width(tile->format) : 0;
    if (width > 0 && !S_pixels_fit(tile->pixel_count, width, length))
        return ZE_INVALID_ARGUMENT;
    const bool deflating = encode && compression == RB_COMPRESSION_DEFLATE;
    if (deflating) {
        if (buffer->deflate == nullptr && (rc = VES_deflate_init(&buffer->deflate)) != 0)
            return rc;
        if ((rc = S_scratch(buffer)) != 0)
            return rc;
    }

    // Deflate's output may exceed its input: a compressing put reserves
    // 1 % and 12 bytes more, whole bytes of length x 1.01 + 12.5.
    const int64_t room = static_cast<int64_t>(buffer->capacity) - buffer->position;
    const int64_t reserve = deflating ? (101 * static_cast<int64_t>(length) + 1250) / 100 : length;
    if (reserve + RB_TILE_HEADER_SIZE > room)
        return ZE_BUFFER_FULL;

    uint8_t *head = buffer->data + buffer->position;
    uint8_t *body = head + RB_TILE_HEADER_SIZE;
    int32_t sent = length;
    if (!deflating) {
        if (width > 0)
            S_reorder(body, tile->data, length, tile->pixel_count, width);
        else
            memcpy(body, tile->data, static_cast<size_t>(length));
    } else {
        const uint8_t *source = tile->data;
        if (width > 0) {
            S_reorder(buffer->scratch, tile->data, length, tile->pixel_count, width);
            source = buffer->scratch;
        }
        // Bounded by the room left, so the output never passes the area.
        sent = static_cast<int32_t>(room - RB_TILE_HEADER_SIZE);
        rc = VES_deflate(buffer->deflate, body, &sent, source, length);
        if (rc != 0) {
            // Nothing of the tile is put: a reader must not take an empty
            // tile for its pixels.
            VES_print_debug(stderr, "VES_deflate: %d\n", rc);
            return rc;
        }
    }
    S_put_header(head, tile, sent);
    buffer->position += RB_TILE_HEADER_SIZE + sent;
    buffer->used = buffer->position;
    buffer->tile_count++;
    return ZE_SUCCESS;
}

// Passes over the tile at the position, of n bytes after its header.
static void S_pass(RB_BUFFER *buffer, int32_t n)
{
    buffer->position += RB_TILE_HEADER_SIZE + n;
    buffer->tile_count--;
}

ZEL_API int32_t RB_get_tile(RB_BUFFER *buffer, RB_TILE *tile, int32_t decode)
{
    if (tile == nullptr || tile->data == nullptr || buffer == nullptr)
        return ZE_NULL_POINTER;
    const int64_t room = tile->length > 0 ? tile->length : 0;
    tile->length = 0;
    if (buffer->tile_count < 1)
        return ZE_BUFFER_DRAINED;
    const int64_t at = buffer->position;
    if (buffer->data == nullptr || at < 0 || at + RB_TILE_HEADER_SIZE > buffer->used)
        return ZE_INVALID_ARGUMENT;
    const uint8_t *head = buffer->data + at;
    const int32_t n = rb_get_long(head + RB_AT_LENGTH);
    if (n < 0 || at + RB_TILE_HEADER_SIZE + n > buffer->used)
        return ZE_INVALID_ARGUMENT;
    tile->tile_number = rb_get_long(head + RB_AT_NUMBER);
    tile->format = rb_get_long(head + RB_AT_FORMAT);
    tile->pixel_count = rb_get_long(head + RB_AT_PIXELS);
    for (int i = 0; i < 3; i++)
        tile->words[i] = rb_get_long(head + RB_AT_WORDS + 4 * i);
    const uint8_t *body = head + RB_TILE_HEADER_SIZE;

    if (!decode) {
        if (n > room)
            return ZE_INVALID_ARGUMENT;
        memcpy(tile->data, body, static_cast<size_t>(n));
        tile->length = n;
        S_pass(buffer, n);
        return ZE_SUCCESS;
    }
    const int32_t compression = RB_FORMAT_COMPRESSION(tile->format);
    if (compression != RB_COMPRESSION_NONE && compression != RB_COMPRESSION_DEFLATE) {
        VES_print_debug(stderr, "RB_get_tile: invalid compression type.\n");
        S_pass(buffer, n);
        return ZE_INVALID_COMPRESSION;
    }
    const uint8_t *source = body;
    int32_t decoded = n;
    if (compression == RB_COMPRESSION_DEFLATE) {
        int32_t rc = 0;
        if (buffer->inflate == nullptr && (rc = VES_inflate_init(&buffer->inflate)) != 0)
            return rc;
        if ((rc = S_scratch(buffer)) != 0)
            return rc;
        decoded = buffer->scratch_size;
        rc = VES_inflate(buffer->inflate, buffer->scratch, &decoded, body, n);
        if (rc != 0) {
            // Not handed out as an empty tile: the caller learns it failed.
            VES_print_debug(stderr, "VES_inflate: %d\n", rc);
            S_pass(buffer, n);
            return rc;
        }
        source = buffer->scratch;
    }
    if (decoded > room)
        return ZE_INVALID_ARGUMENT;
    const int32_t width = S_reordered_width(tile->format);
    if (width > 0) {
        if (!S_pixels_fit(tile->pixel_count, width, decoded))
            return ZE_INVALID_ARGUMENT;
        S_reorder(tile->data, source, decoded, tile->pixel_count, width);
    } else {
        memcpy(tile->data, source, static_cast<size_t>(decoded));
    }
    tile->length = decoded;
    S_pass(buffer, n);
    return ZE_SUCCESS;
}
