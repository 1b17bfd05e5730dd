// The trace printing of received records: a channel traced in the read and
// command directions (and with time stamps when the flags ask) prints every
// record its readers take from the peer into a trace file (here /dev/null, so
// the printing runs whole and nothing accumulates). Input as ch_read_fuzz.cpp:
// a flag byte (bit 0 XDR over a local socket, else raw forms over a link;
// bit 1 the older release; bit 2 time stamps), a count byte (bits 0-3), the
// reader numbers, then the peer's bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "base/system/ch_channel_internal.h"
#include "base/system/ch_intercept_internal.h"
#include "base/system/so_channel_internal.h"
#include "fuzz/fuzz_ch_readers.h"
#include "fuzz/fuzz_link.h"
#include "fuzz/fuzz_quiet.h"
#include "fuzz/fuzz_socket.h"

namespace
{

void S_traced_reads(CH_CHANNEL *channel, uint8_t flags, const uint8_t *plan, size_t steps)
{
    FILE *trace = fopen("/dev/null", "w");
    if (trace == nullptr)
        return;
    channel->intercept_file = trace;
    channel->intercept_mode = CH_INTERCEPT_R | CH_INTERCEPT_C;
    if ((flags & 4) != 0)
        channel->intercept_mode |= CH_INTERCEPT_T;
    channel->old_release = (flags & 2) != 0 ? 1 : 0;
    fuzz_ch::read_plan(channel, plan, steps);
}

} // namespace

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
    if ((flags & 1) != 0) {
        int fds[2];
        if (!fuzz_socket_input(peer, peer_size, fds))
            return 0;
        CH_CHANNEL *channel = CH_create(CH_TYPE_XDR, 0, &fds[0]);
        if (channel != nullptr)
            S_traced_reads(channel, flags, plan, steps);
        CH_destroy(channel); // closes the trace
        close(fds[0]);
        close(fds[1]);
        return 0;
    }
    fuzz_link_input input = {peer, peer_size, 0};
    SO_LINK link = fuzz_link(&input);
    CH_CHANNEL *channel = ch_create_on_link(&link, 64, 8192);
    if (channel == nullptr)
        return 0;
    S_traced_reads(channel, flags, plan, steps);
    CH_destroy(channel);
    return 0;
}
