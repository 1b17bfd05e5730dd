// varLONG integers: the exported encode, decode and size. The byte layout and
// the bounded forms that the feature codec and the lineage readers call are
// in base/util/ve_varlong.h.
#include "base/util/ve_varlong_internal.h"

#include <climits>
#include <cstddef>

#include "base/util/zel_errors.h"

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
