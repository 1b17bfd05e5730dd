// Fetched shape values as the query's block fetch checks them. Input: the
// length cell as 32 bits little-endian (the CLI's claim, any value), the
// buffer's capacity as 16 bits little-endian, then the fetched bytes, held in
// a block of exactly the capacity (zero-filled past the bytes given). What
// the check accepts is decoded into a feature like a fetched row.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/util/ve_compress.h"
#include "db/stream/db_array_fetch_internal.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 6 || size > (1u << 20))
        return 0;
    int32_t length = 0;
    std::memcpy(&length, data, sizeof(length));
    const uint16_t capacity = static_cast<uint16_t>(data[4] | (data[5] << 8));
    const size_t given = size - 6;
    auto *block = static_cast<uint8_t *>(std::calloc(1, capacity ? capacity : 1));
    std::memcpy(block, data + 6, given < capacity ? given : capacity);
    DB_SHAPE_VALUE shape;
    int32_t needed = 0;
    // The CLI writes at most the capacity; a longer claim means a cut value.
    const int64_t cell = length >= 0 && static_cast<size_t>(length) > given &&
                                 static_cast<size_t>(length) <= capacity
                             ? static_cast<int64_t>(given)
                             : length;
    if (db_shape_value_decode(block, cell, capacity, &shape, &needed) == 0) {
        FEATURE_STRUCT f{};
        f.num_points = shape.num_points;
        f.entity_type = static_cast<uint16_t>(shape.entity_type);
        if (VES_comp_feature_alloc_by_size(&f, 0, shape.compressed_length) == 0) {
            std::memcpy(f.compressed, block + DB_SHAPE_PREFIX_BYTES,
                        static_cast<size_t>(shape.compressed_length));
            VES_feature_uncompress(1, &f);
        }
        VES_comp_feature_free(&f);
    }
    std::free(block);
    return 0;
}
