// Received tile buffers fed to the reader. Input: a choice byte (bits 0-1
// the capacity, 64 << n; bit 2 decode the tiles; bits 3-4 the room of the
// reader's tile block, 16 << n), then the bytes the peer sends over a socket
// channel (raw forms: error, last flag, tile count, each tile's seven longs
// and bytes; message after message). Every message is received and every
// tile taken, a tile refused for its room once more with a block of the
// whole capacity.
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/system/ch_channel_internal.h"
#include "base/system/rb_buffer.h"
#include "base/system/so_channel_internal.h"
#include "base/util/zel_errors.h"
#include "fuzz/fuzz_link.h"
#include "fuzz/fuzz_quiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 1)
        return 0;
    const uint8_t choice = data[0];
    fuzz_link_input input = {data + 1, size - 1, 0};
    SO_LINK link = fuzz_link(&input);
    CH_CHANNEL *channel = ch_create_on_link(&link, 64, 256);
    if (channel == nullptr)
        return 0;
    const int32_t capacity = 64 << (choice & 3);
    const int32_t decode = (choice >> 2) & 1;
    // Blocks exactly as large as the reader says, so that a write past them
    // is seen by the sanitizer.
    std::vector<uint8_t> small(static_cast<size_t>(16) << ((choice >> 3) & 3));
    std::vector<uint8_t> whole(static_cast<size_t>(capacity));
    RB_BUFFER *in = nullptr;
    if (RB_init(&in, capacity) == 0) {
        for (int messages = 0; messages < 100; messages++) {
            RB_reset(in);
            if (RB_receive_buffer(in, channel) != 0)
                break;
            for (int tiles = 0; tiles < 1000; tiles++) {
                RB_TILE tile = {};
                tile.data = small.data();
                tile.length = static_cast<int32_t>(small.size());
                int32_t rc = RB_get_tile(in, &tile, decode);
                if (rc == ZE_INVALID_ARGUMENT) {
                    tile.data = whole.data();
                    tile.length = static_cast<int32_t>(whole.size());
                    rc = RB_get_tile(in, &tile, decode);
                }
                if (rc == ZE_BUFFER_DRAINED || rc == ZE_INVALID_ARGUMENT)
                    break;
            }
            if (RB_is_last(in))
                break;
        }
    }
    RB_free(&in);
    CH_destroy(channel);
    return 0;
}
