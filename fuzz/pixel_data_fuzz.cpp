// Fuzz target over the pixel block decoder: the first four bytes choose the
// format's depth and compression and the pixel bytes, the rest is the stored
// block, decoded into an output and work buffer of fixed small sizes.
#include "base/util/ve_pixel_data.h"

#include "fuzz/fuzz_quiet.h"
#include <stddef.h>
#include <stdint.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 4 || size > 65536)
        return 0;
    static const uint32_t depths[] = {1, 4, 8, 16, 32, 64, 12, 0};
    uint32_t format = depths[data[0] % 8] * 8 << 16 | static_cast<uint32_t>(data[1] % 4) << 10;
    int32_t pixel_bytes = data[2] << 8 | data[3];
    std::vector<unsigned char> stored(data + 4, data + size);
    std::vector<unsigned char> output(1024), work(1024);
    auto length = static_cast<int32_t>(stored.size());
    VE_ZSTREAM *inflate = nullptr;
    if (VES_inflate_init(&inflate) != 0)
        return 0;
    VES_pixel_data_decode(stored.data(), &length, output.data(),
                          static_cast<int32_t>(output.size()), pixel_bytes, format, work.data(),
                          static_cast<int32_t>(work.size()), inflate);
    VES_inflate_end(inflate);
    return 0;
}
