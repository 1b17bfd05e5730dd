// varLONG: the bounded forms, inline so the feature codec's loops need no call.
// The layout is written in base/util/ve_varlong.h.
#ifndef VE_VARLONG_INTERNAL_H
#define VE_VARLONG_INTERNAL_H

#include <cstdint>

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

#endif
