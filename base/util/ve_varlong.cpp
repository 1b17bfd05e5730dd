// varLONG integers: encode, decode and size. The byte layout is described in
// base/util/ve_varlong.h; the compressed feature codec and the state lineage
// readers call the bounded forms below.
#include "base/util/ve_varlong.h"

#include <climits>
#include <cstddef>

#include "base/util/zel_errors.h"

int32_t ves_varlong_size(int32_t value)
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

uint8_t *ves_varlong_encode(int32_t value, uint8_t *out, const uint8_t *end)
{
    int32_t size = ves_varlong_size(value);
    if (out == nullptr || size == 0 || end - out < size)
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

const uint8_t *ves_varlong_decode(const uint8_t *in, const uint8_t *end, int32_t *value)
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

ZEL_API uint8_t *VES_encode_varLONG(int32_t value, uint8_t *out)
{
    if (out == nullptr)
        return nullptr;
    return ves_varlong_encode(value, out, out + VE_VARLONG_MAX_BYTES);
}

ZEL_API const uint8_t *VES_decode_varLONG(const uint8_t *in, int32_t *value)
{
    if (in == nullptr) {
        if (value != nullptr)
            *value = 0;
        return nullptr;
    }
    return ves_varlong_decode(in, in + VE_VARLONG_MAX_BYTES, value);
}

ZEL_API int32_t VES_size_varLONG_array(const int32_t *values, int32_t count)
{
    if (count < 0 || (values == nullptr && count > 0))
        return ZE_INVALID_ARGUMENT;
    int64_t total = 0;
    for (int32_t i = 0; i < count; i++) {
        int32_t size = ves_varlong_size(values[i]);
        if (size == 0)
            return ZE_INVALID_ARGUMENT;
        total += size;
    }
    return total > INT32_MAX ? ZE_INVALID_ARGUMENT : static_cast<int32_t>(total);
}
