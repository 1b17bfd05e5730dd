// Big-endian words of the serialised band objects (colormaps, statistics)
// and the byte reversal of multi-byte pixels. Inline helpers over byte
// pointers, so unaligned fields are safe.
#ifndef VE_BIG_ENDIAN_INTERNAL_H
#define VE_BIG_ENDIAN_INTERNAL_H

#include <stdint.h>
#include <string.h>

static inline uint32_t ve_get_be32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

static inline void ve_put_be32(unsigned char *p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

static inline uint64_t ve_get_be64(const unsigned char *p)
{
    return static_cast<uint64_t>(ve_get_be32(p)) << 32 | ve_get_be32(p + 4);
}

static inline void ve_put_be64(unsigned char *p, uint64_t v)
{
    ve_put_be32(p, static_cast<uint32_t>(v >> 32));
    ve_put_be32(p + 4, static_cast<uint32_t>(v));
}

static inline double ve_get_be_double(const unsigned char *p)
{
    uint64_t bits = ve_get_be64(p);
    double v;
    memcpy(&v, &bits, sizeof(v));
    return v;
}

static inline void ve_put_be_double(unsigned char *p, double v)
{
    uint64_t bits;
    memcpy(&bits, &v, sizeof(bits));
    ve_put_be64(p, bits);
}

/* True on a little-endian host, tested at run time. */
static inline bool ve_host_is_little_endian()
{
    const uint16_t probe = 1;
    unsigned char first;
    memcpy(&first, &probe, 1);
    return first == 1;
}

/* Reverses the bytes of each width-byte item of bytes bytes from src into
 * dst (which may be src). bytes is a multiple of width. */
static inline void ve_reverse_items(unsigned char *dst, const unsigned char *src, size_t bytes,
                                    size_t width)
{
    for (size_t at = 0; at < bytes; at += width) {
        for (size_t i = 0, j = width - 1; i < j; ++i, --j) {
            unsigned char a = src[at + i];
            unsigned char b = src[at + j];
            dst[at + i] = b;
            dst[at + j] = a;
        }
        if (width % 2 == 1 && dst != src)
            dst[at + width / 2] = src[at + width / 2];
    }
}

#endif
