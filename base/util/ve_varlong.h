// varLONG: the engine's variable-length signed 32-bit integer, used by the
// compressed feature format (base/util/ve_compress.h) and by state lineages.
//
// Layout, least significant group first, 1 to 5 bytes:
//   first byte:   bit 7 more bytes follow, bit 6 sign (1 = negative),
//                 bits 5-0 magnitude bits 0-5
//   further bytes: bit 7 more bytes follow, bits 6-0 the next 7 magnitude bits
// Sign and magnitude, not two's complement; zero is the single byte 00.
// Range -2147483647 .. 2147483647: -2147483648 has no encoding.
// Examples: 63 = 3F, 64 = 80 01, -1 = 41, -64 = C0 01, 1000 = A8 0F,
// 8192 = 80 80 01, 2147483647 = BF FF FF FF 0F.
#ifndef VE_VARLONG_H
#define VE_VARLONG_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
#include <cstdint>
#endif

#define VE_VARLONG_MAX_BYTES 5

/* Writes the varLONG of value at out (room for 5 bytes needed); returns the
 * address after the last byte, or null (nothing written) for a null out or
 * for -2147483648, which has no encoding. */
ZEL_API uint8_t *VES_encode_varLONG(int32_t value, uint8_t *out);

/* Reads one varLONG at in (at most 5 bytes are looked at); returns the address
 * after it, or null (value set to 0) when in or value is null, the varLONG
 * runs past 5 bytes or its magnitude exceeds 2147483647. */
ZEL_API const uint8_t *VES_decode_varLONG(const uint8_t *in, int32_t *value);

/* Bytes that count values take as varLONGs; -66 for a negative count, a null
 * array with a positive count, the value -2147483648 or a total above
 * 2147483647. */
ZEL_API int32_t VES_size_varLONG_array(const int32_t *values, int32_t count);

#ifdef __cplusplus
// The bounded forms, inline so the feature codec's loops need no call.

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
#endif

#endif
