// Fuzz target over the colormap deserialiser: a colormap that is taken must
// serialise back to the same bytes, apart from a stored length word that
// understated the block.
#include "base/util/ve_rasterband.h"

#include "fuzz/fuzz_quiet.h"
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size > INT32_MAX)
        return 0;
    auto length = static_cast<int32_t>(size);
    VE_RASTERBAND_COLORMAP *colormap = VES_rasterband_colormap_deserialize(data, length);
    if (colormap == nullptr)
        return 0;
    unsigned char *block = nullptr;
    int32_t out_length = 0;
    if (VES_rasterband_colormap_serialize(colormap, &block, &out_length) != 0 ||
        out_length != length || memcmp(block + 4, data + 4, size - 4) != 0)
        __builtin_trap();
    free(block);
    VES_rasterband_colormap_free(colormap);
    return 0;
}
