// The CH_read_ family over what a peer sends, with the old-release forms and
// command codes. Input: a flag byte (bit 0 an XDR channel over a local
// socket, else a socket channel's raw forms over a link of the input; bit 1
// the peer runs the older release), a count byte (bits 0-3: how many readers
// run), that many reader numbers (taken modulo the table of
// fuzz/fuzz_ch_readers.h), then the bytes the peer sends. The readers run in
// turn until one fails.
#include <unistd.h>

#include <cstdint>

#include "base/system/ch_channel_internal.h"
#include "base/system/so_channel_internal.h"
#include "fuzz/fuzz_ch_readers.h"
#include "fuzz/fuzz_link.h"
#include "fuzz/fuzz_quiet.h"
#include "fuzz/fuzz_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const size_t steps = (data[1] & 15u) + 1u;
    if (size < 2 + steps)
        return 0;
    const uint8_t *plan = data + 2;
    const uint8_t *peer = plan + steps;
    const size_t peer_size = size - 2 - steps;
    const int32_t old_release = (flags & 2) != 0 ? 1 : 0;
    if ((flags & 1) != 0) {
        int fds[2];
        if (!fuzz_socket_input(peer, peer_size, fds))
            return 0;
        CH_CHANNEL *channel = CH_create(CH_TYPE_XDR, old_release, &fds[0]);
        if (channel != nullptr)
            fuzz_ch::read_plan(channel, plan, steps);
        CH_destroy(channel);
        close(fds[0]);
        close(fds[1]);
        return 0;
    }
    fuzz_link_input input = {peer, peer_size, 0};
    SO_LINK link = fuzz_link(&input);
    CH_CHANNEL *channel = ch_create_on_link(&link, 64, (flags & 4) != 0 ? 64 : 8192);
    if (channel == nullptr)
        return 0;
    channel->old_release = old_release;
    fuzz_ch::read_plan(channel, plan, steps);
    CH_destroy(channel);
    return 0;
}
