// varLONG: the bounded forms, inline so the feature codec's loops need no call.
// The layout is written in base/util/ve_varlong.h.
#ifndef VE_VARLONG_INTERNAL_H
#define VE_VARLONG_INTERNAL_H

#include <bit>
#include <cstdint>
#include <cstring>

#include "base/util/ve_varlong.h"

/* Bytes of one value's varLONG (1 to 5); 0 for -2147483648. */
inline int32_t ves_varlong_size(int32_t value)
{
    if (value == INT32_MIN)
        return 0;
    uint32_t mag = value < 0 ? static_cast<uint32_t>(-value) : static_cast<uint32_t>(value);
    if (mag < 64u)
        return 1;
    if (mag < 8192u)
        return 2;
    if (mag < 1048576u)
        return 3;
    if (mag < 134217728u)
        return 4;
    return 5;
}

/* Writes one varLONG into [out, end); returns the address after it, or null
 * (nothing written) when it does not fit or the value has no encoding. */
inline uint8_t *ves_varlong_encode(int32_t value, uint8_t *out, const uint8_t *end)
{
    if (out == nullptr || value == INT32_MIN)
        return nullptr;
    // Five bytes of room always do; only near the end is the exact size needed.
    if (end - out < VE_VARLONG_MAX_BYTES && end - out < ves_varlong_size(value))
        return nullptr;
    uint32_t mag = value < 0 ? static_cast<uint32_t>(-value) : static_cast<uint32_t>(value);
    uint8_t byte = static_cast<uint8_t>(mag & 0x3Fu);
    if (value < 0)
        byte |= 0x40u;
    mag >>= 6;
    if (mag != 0)
        byte |= 0x80u;
    *out++ = byte;
    while (mag != 0) {
        byte = static_cast<uint8_t>(mag & 0x7Fu);
        mag >>= 7;
        if (mag != 0)
            byte |= 0x80u;
        *out++ = byte;
    }
    return out;
}

/* Reads one varLONG from [in, end); returns the address after it, or null when
 * the bytes end first, the varLONG runs past 5 bytes or is out of range. */
inline const uint8_t *ves_varlong_decode(const uint8_t *in, const uint8_t *end, int32_t *value)
{
    if (value == nullptr)
        return nullptr;
    *value = 0;
    if (in == nullptr || in >= end)
        return nullptr;
    uint8_t byte = *in++;
    bool negative = (byte & 0x40u) != 0;
    uint64_t mag = byte & 0x3Fu;
    int shift = 6;
    for (int further = 0; byte & 0x80u; further++) {
        if (further == VE_VARLONG_MAX_BYTES - 1 || in >= end)
            return nullptr;
        byte = *in++;
        mag |= static_cast<uint64_t>(byte & 0x7Fu) << shift;
        shift += 7;
    }
    if (mag > static_cast<uint64_t>(INT32_MAX))
        return nullptr;
    *value = negative ? -static_cast<int32_t>(mag) : static_cast<int32_t>(mag);
    return in;
}

/* The fast forms, for the codec's loops: one 8-byte load or store per value
 * instead of a byte at a time. Both need 8 bytes readable or writable at the
 * position (more than the value takes) and a little-endian host. */
constexpr bool kVarlongWordForms = std::endian::native == std::endian::little;

/* The value of a varLONG of 1 to 5 bytes at the bottom of w (bytes above
 * it ignored); false when its magnitude is out of range. */
inline bool ves_varlong_from_word(uint64_t w, int bytes, int32_t *value)
{
    w &= ~0ull >> (64 - 8 * bytes);
    // Byte k (k >= 1) holds magnitude bits 7k-1 .. 7k+5.
    uint64_t mag = (w & 0x3Fu) | ((w >> 2) & (0x7Full << 6)) | ((w >> 3) & (0x7Full << 13)) |
                   ((w >> 4) & (0x7Full << 20)) | ((w >> 5) & (0x7Full << 27));
    if (mag > static_cast<uint64_t>(INT32_MAX))
        return false;
    *value = (w & 0x40u) ? -static_cast<int32_t>(mag) : static_cast<int32_t>(mag);
    return true;
}

/* Reads one varLONG from the 8 bytes at in; the address after it, or null
 * when it runs past 5 bytes or is out of range (as ves_varlong_decode). */
inline const uint8_t *ves_varlong_decode_word(const uint8_t *in, int32_t *value)
{
    uint64_t w;
    std::memcpy(&w, in, sizeof w);
    // The first of bytes 0-4 without its more-bytes bit ends the value.
    uint64_t stops = ~w & 0x0000008080808080ull;
    if (stops == 0)
        return nullptr;
    int bytes = (std::countr_zero(stops) >> 3) + 1;
    return ves_varlong_from_word(w, bytes, value) ? in + bytes : nullptr;
}

/* Reads two varLONGs from the 16 bytes at in, finding where both end from
 * one mask of the bytes' more-bytes bits so that the next pair's address
 * waits on a single step; the address after them, or null as
 * ves_varlong_decode_word for either. */
inline const uint8_t *ves_varlong_decode_pair(const uint8_t *in, int32_t *first, int32_t *second)
{
    uint64_t lo, hi;
    std::memcpy(&lo, in, sizeof lo);
    std::memcpy(&hi, in + 8, sizeof hi);
    // Bit i set when byte i ends a value.
    constexpr uint64_t kHigh = 0x8080808080808080ull, kGather = 0x0002040810204081ull;
    uint32_t more = static_cast<uint32_t>(((lo & kHigh) * kGather) >> 56) |
                    static_cast<uint32_t>(((hi & kHigh) * kGather) >> 56) << 8;
    uint32_t ends = ~more & 0xFFFFu;
    uint32_t after_first = ends & (ends - 1);
    if (after_first == 0)
        return nullptr;
    int end1 = std::countr_zero(ends), end2 = std::countr_zero(after_first);
    int bytes1 = end1 + 1, bytes2 = end2 - end1;
    if (bytes1 > VE_VARLONG_MAX_BYTES || bytes2 > VE_VARLONG_MAX_BYTES)
        return nullptr;
    uint64_t w2 = (lo >> (8 * bytes1)) | (hi << (64 - 8 * bytes1));
    if (!ves_varlong_from_word(lo, bytes1, first) || !ves_varlong_from_word(w2, bytes2, second))
        return nullptr;
    return in + end2 + 1;
}

/* Writes value's varLONG with one 8-byte store at out (the bytes after the
 * value are left undefined); the address after it. value is never
 * -2147483648. */
inline uint8_t *ves_varlong_encode_word(int32_t value, uint8_t *out)
{
    uint32_t mag = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    uint64_t m = mag;
    uint64_t w = (m & 0x3Fu) | ((m << 2) & (0x7Full << 8)) | ((m << 3) & (0x7Full << 16)) |
                 ((m << 4) & (0x7Full << 24)) | ((m << 5) & (0x7Full << 32));
    int bytes = 1 + (mag >= 64u) + (mag >= 8192u) + (mag >= 1048576u) + (mag >= 134217728u);
    w |= 0x0000008080808080ull & ((1ull << (8 * (bytes - 1))) - 1);
    w |= static_cast<uint64_t>(value < 0) << 6;
    std::memcpy(out, &w, sizeof w);
    return out + bytes;
}

#endif
