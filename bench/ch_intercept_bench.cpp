// The cost of the intercept trace when it is off: 10,000 longs written
// through an untraced channel (the member asks the channel's trace mode,
// then calls the member of its transport's table) against the same longs
// written straight to a socket transport. Both transports send into a link that drops the
// bytes, so only the member's own work is measured. The channel should be
// as fast as the transport within a few per cent.
#include <benchmark/benchmark.h>

#include <sys/types.h>

#include <cstdint>

#include "base/system/ch_channel_internal.h"
#include "base/system/so_channel_internal.h"
#include "bench/bench_ratio.h"
#include "platform/plat_socket_internal.h"

namespace
{

constexpr int32_t kLongs = 10000;

ssize_t S_recv(void *, void *, size_t)
{
    return -1;
}
ssize_t S_send(void *, const void *, size_t n)
{
    return static_cast<ssize_t>(n);
}
int S_poll(void *)
{
    return 0;
}

SO_CHANNEL *S_dropping_transport()
{
    SO_LINK link = {nullptr, S_recv, S_send, S_poll};
    return so_create_on_link(&link, 4096, 8192);
}

void BM_UntracedChannelWrite(benchmark::State &state)
{
    int fds[2] = {-1, -1};
    if (plat_socket_pair(fds) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    CH_CHANNEL *channel = CH_create(CH_TYPE_SOCKET, 0, &fds[0]);
    if (channel == nullptr || channel->intercept_mode != 0) {
        state.SkipWithError("no untraced channel (is ZELINTERCEPTLOC set?)");
        CH_destroy(channel);
        return;
    }
    // The channel's socket end is swapped for the dropping one.
    channel->transport->destroy(channel->end);
    channel->end = S_dropping_transport();
    for (auto _ : state)
        for (int32_t i = 0; i < kLongs; i++)
            benchmark::DoNotOptimize(CH_write_long(channel, i));
    state.SetItemsProcessed(state.iterations() * kLongs);
    CH_destroy(channel);
    plat_socket_close(fds[0]);
    plat_socket_close(fds[1]);
}
BENCHMARK(BM_UntracedChannelWrite);

void BM_PlainTransportWrite(benchmark::State &state)
{
    SO_CHANNEL *so = S_dropping_transport();
    for (auto _ : state)
        for (int32_t i = 0; i < kLongs; i++)
            benchmark::DoNotOptimize(SO_write_long(so, i));
    state.SetItemsProcessed(state.iterations() * kLongs);
    SO_destroy(so);
}
BENCHMARK(BM_PlainTransportWrite);

} // namespace

ZEL_BENCH_MAIN({"BM_UntracedChannelWrite", "BM_PlainTransportWrite", ">= 0.95"})
