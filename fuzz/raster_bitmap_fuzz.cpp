// Fuzz target over the tile-bitmap deserialiser: the input is a serialised
// block, read with the dimensions its own header claims and with fixed ones;
// a block that is taken must serialise back to the same bytes, apart from
// the reserved word.
#include "base/util/ve_raster_bitmap_internal.h"

#include "fuzz/fuzz_quiet.h"
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

static int32_t S_word(const uint8_t *p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

static void S_check(const uint8_t *data, int32_t length, int32_t columns, int32_t rows)
{
    VE_RASTER_BITMAP *bitmap = VES_raster_bitmap_deserialize(data, length, columns, rows);
    if (bitmap == nullptr)
        return;
    VES_raster_bitmap_is_empty(bitmap);
    ves_raster_bitmap_is_full(bitmap);
    unsigned char *block = nullptr;
    int32_t out_length = 0;
    if (VES_raster_bitmap_serialize(bitmap, &block, &out_length) == 0) {
        if (out_length != length || memcmp(block, data, 16) != 0 ||
            memcmp(block + 20, data + 20, static_cast<size_t>(length - 20)) != 0)
            __builtin_trap();
        free(block);
    }
    ves_raster_bitmap_free(bitmap, 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size > INT32_MAX)
        return 0;
    auto length = static_cast<int32_t>(size);
    if (size >= 16)
        S_check(data, length, S_word(data + 8), S_word(data + 12));
    S_check(data, length, 3, 3);
    S_check(data, length, 300, 2);
    return 0;
}
