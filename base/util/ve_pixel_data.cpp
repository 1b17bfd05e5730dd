// Conversion of pixel blocks between memory and their stored form
// (ve_pixel_data.h): byte reversal of multi-byte pixels on a little-endian
// host and deflate/inflate through the zlib wrappers. Every copy is bounded
// by the capacity of the buffer it writes.
#include "base/util/ve_pixel_data.h"

#include "base/util/ve_big_endian_internal.h"
#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"

#include <stdio.h>
#include <string.h>

// Bytes per pixel of a reordered kind, or 0 for kinds kept byte by byte.
static int32_t S_pixel_size(uint32_t format)
{
    uint32_t depth = VE_PIXEL_FORMAT_DEPTH(format);
    if (depth < 9 || depth % 8 != 0)
        return 0;
    return static_cast<int32_t>(depth / 8);
}

// Reverses the bytes of each size-byte pixel from source into target (the
// same buffer or apart): a word swap per pixel for the usual sizes, byte by
// byte for the rest.
template <typename WORD>
static void S_swap_words(unsigned char *target, const unsigned char *source, size_t bytes)
{
    size_t at = 0;
    // Sixteen bytes at a time with shifts and masks on a vector of words,
    // which every x86-64 and arm64 processor does in a few instructions.
    typedef WORD S_VECTOR __attribute__((vector_size(16)));
    constexpr WORD kLow8 = static_cast<WORD>(0x00FF00FF00FF00FFull);
    constexpr WORD kLow16 = static_cast<WORD>(0x0000FFFF0000FFFFull);
    for (; at + 16 <= bytes; at += 16) {
        S_VECTOR v;
        memcpy(&v, source + at, sizeof v);
        v = ((v & kLow8) << 8) | ((v >> 8) & kLow8);
        if constexpr (sizeof(WORD) >= 4)
            v = ((v & kLow16) << 16) | ((v >> 16) & kLow16);
        if constexpr (sizeof(WORD) == 8)
            v = (v << 32) | (v >> 32);
        memcpy(target + at, &v, sizeof v);
    }
    for (; at + sizeof(WORD) <= bytes; at += sizeof(WORD)) {
        WORD w;
        memcpy(&w, source + at, sizeof w);
        if constexpr (sizeof(WORD) == 2)
            w = __builtin_bswap16(w);
        else if constexpr (sizeof(WORD) == 4)
            w = __builtin_bswap32(w);
        else
            w = __builtin_bswap64(w);
        memcpy(target + at, &w, sizeof w);
    }
}

static void S_reverse_pixels(unsigned char *target, const unsigned char *source, size_t bytes,
                             int32_t size)
{
    switch (size) {
    case 2:
        S_swap_words<uint16_t>(target, source, bytes);
        break;
    case 4:
        S_swap_words<uint32_t>(target, source, bytes);
        break;
    case 8:
        S_swap_words<uint64_t>(target, source, bytes);
        break;
    default:
        ve_reverse_items(target, source, bytes, static_cast<size_t>(size));
        break;
    }
}

static bool S_known_compression(uint32_t format)
{
    uint32_t compression = VE_PIXEL_FORMAT_COMPRESSION(format);
    return compression == VE_PIXEL_COMPRESSION_NONE || compression == VE_PIXEL_COMPRESSION_DEFLATE;
}

static int32_t S_invalid_pixels(const char *who)
{
    VES_print_debug(stderr, "%s: invalid pixel data length.\n", who);
    return ZE_FAILURE;
}

int32_t VES_pixel_data_encode(unsigned char *block, int32_t *length, int32_t pixel_bytes,
                              uint32_t format, unsigned char *work, int32_t work_capacity,
                              VE_ZSTREAM *deflate_context)
{
    if (block == nullptr || length == nullptr)
        return ZE_NULL_POINTER;
    if (!S_known_compression(format))
        return ZE_FAILURE;
    int32_t size = S_pixel_size(format);
    if (size > 0) {
        if (pixel_bytes < 0 || pixel_bytes % size != 0 || pixel_bytes > *length)
            return S_invalid_pixels("VES_pixel_data_encode");
        if (ve_host_is_little_endian())
            S_reverse_pixels(block, block, static_cast<size_t>(pixel_bytes), size);
    }
    if (VE_PIXEL_FORMAT_COMPRESSION(format) == VE_PIXEL_COMPRESSION_NONE)
        return 0;
    if (work == nullptr)
        return ZE_NULL_POINTER;
    // The compressed bytes go back over the block, which holds *length bytes:
    // a result that would not fit there fails like a full work buffer.
    int32_t produced = work_capacity < *length ? work_capacity : *length;
    int32_t rc = VES_deflate(deflate_context, work, &produced, block, *length);
    if (rc != 0) {
        VES_print_debug(stderr, "VES_deflate: %d\n", rc);
        return ZE_FAILURE;
    }
    memcpy(block, work, static_cast<size_t>(produced));
    *length = produced;
    return 0;
}

// Inflates *length stored bytes into out (room bytes), setting *length.
static int32_t S_inflate(VE_ZSTREAM *context, unsigned char *out, int32_t room,
                         const unsigned char *stored, int32_t *length)
{
    int32_t produced = room;
    int32_t rc = VES_inflate(context, out, &produced, stored, *length);
    if (rc != 0) {
        VES_print_debug(stderr, "VES_inflate: %d\n", rc);
        return ZE_FAILURE;
    }
    *length = produced;
    return 0;
}

int32_t VES_pixel_data_decode(const unsigned char *stored, int32_t *length, unsigned char *output,
                              int32_t output_capacity, int32_t pixel_bytes, uint32_t format,
                              unsigned char *work, int32_t work_capacity,
                              VE_ZSTREAM *inflate_context)
{
    if (stored == nullptr || length == nullptr || output == nullptr)
        return ZE_NULL_POINTER;
    if (!S_known_compression(format) || *length < 0 || output_capacity < 0)
        return ZE_FAILURE;
    bool inflating = VE_PIXEL_FORMAT_COMPRESSION(format) == VE_PIXEL_COMPRESSION_DEFLATE;
    int32_t size = S_pixel_size(format);
    if (size == 0) {
        if (inflating)
            return S_inflate(inflate_context, output, output_capacity, stored, length);
        if (*length > output_capacity)
            return ZE_FAILURE;
        memcpy(output, stored, static_cast<size_t>(*length));
        return 0;
    }

    // Inflated straight into the output and reordered there, one pass fewer
    // than through the work buffer (whose size still bounds the block), unless
    // the output overlaps the stored bytes.
    bool apart = output >= stored + *length || stored >= output + output_capacity;
    if (inflating && apart) {
        if (work == nullptr || work_capacity < 0)
            return ZE_NULL_POINTER;
        int32_t room = work_capacity < output_capacity ? work_capacity : output_capacity;
        if (S_inflate(inflate_context, output, room, stored, length) != 0)
            return ZE_FAILURE;
        if (pixel_bytes < 0 || pixel_bytes % size != 0 || pixel_bytes > *length)
            return S_invalid_pixels("VES_pixel_data_decode");
        if (ve_host_is_little_endian())
            S_reverse_pixels(output, output, static_cast<size_t>(pixel_bytes), size);
        return 0;
    }
    const unsigned char *source = stored;
    if (inflating) {
        if (work == nullptr || work_capacity < 0)
            return ZE_NULL_POINTER;
        if (S_inflate(inflate_context, work, work_capacity, stored, length) != 0)
            return ZE_FAILURE;
        source = work;
    }
    if (pixel_bytes < 0 || pixel_bytes % size != 0 || pixel_bytes > *length)
        return S_invalid_pixels("VES_pixel_data_decode");
    if (*length > output_capacity)
        return ZE_FAILURE;
    if (ve_host_is_little_endian())
        S_reverse_pixels(output, source, static_cast<size_t>(pixel_bytes), size);
    else
        memmove(output, source, static_cast<size_t>(pixel_bytes));
    memmove(output + pixel_bytes, source + pixel_bytes, static_cast<size_t>(*length - pixel_bytes));
    return 0;
}
