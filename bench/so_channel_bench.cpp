// The socket transport over loopback TCP against plain sockets in the same
// run, with a receiver thread draining the other end and every iteration
// timed until the receiver has all its bytes:
// - 10,000 longs through the transport's write area (one send per 4096 bytes
//   and a flush) against one send per long;
// - blocks of 64 KB and 1 MB through the transport (straight to the socket)
//   against a send loop of the same bytes.
// Compare the times within each pair (ratios, not absolute numbers). The
// sending sockets have TCP_NODELAY on both sides of a pair.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "base/system/so_channel_internal.h"
#include "platform/plat_socket_internal.h"

namespace
{

// A loopback connection whose far end a thread drains, counting the bytes.
struct Drained {
    int ours = -1, peer = -1;
    std::atomic<int64_t> received{0};
    std::atomic<bool> stop{false};
    std::thread drain;

    Drained()
    {
        uint16_t port = 0;
        int listener = plat_socket_listen_loopback(&port);
        ours = plat_socket_connect("127.0.0.1", port);
        peer = plat_socket_accept(listener);
        plat_socket_close(listener);
        // Both sides of each pair send without waiting to fill segments, so
        // that delayed acknowledgements do not decide the times.
        plat_socket_set_nodelay(ours);
        drain = std::thread([this] {
            std::vector<uint8_t> sink(1 << 18);
            for (;;) {
                ssize_t n = plat_socket_recv(peer, sink.data(), sink.size());
                if (n <= 0)
                    return;
                received += n;
            }
        });
    }
    ~Drained()
    {
        plat_socket_shutdown_send(ours);
        drain.join();
        plat_socket_close(ours);
        plat_socket_close(peer);
    }
    // Waits until the receiver has everything sent so far.
    void settle(int64_t sent) const
    {
        while (received.load(std::memory_order_acquire) < sent)
            std::this_thread::yield();
    }
};

constexpr int32_t kLongs = 10000;

void BM_LongsThroughWriteArea(benchmark::State &state)
{
    Drained link;
    SO_CHANNEL *so = SO_create(&link.ours, 4096, 8192);
    int64_t sent = 0;
    for (auto _ : state) {
        for (int32_t i = 0; i < kLongs; i++)
            benchmark::DoNotOptimize(SO_write_long(so, i));
        benchmark::DoNotOptimize(so_flush(so));
        sent += 4 * kLongs;
        link.settle(sent);
    }
    state.SetBytesProcessed(sent);
    SO_destroy(so);
}
BENCHMARK(BM_LongsThroughWriteArea)->UseRealTime();

void BM_LongsOneSendEach(benchmark::State &state)
{
    Drained link;
    int64_t sent = 0;
    for (auto _ : state) {
        for (int32_t i = 0; i < kLongs; i++) {
            uint8_t b[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8),
                            static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 24)};
            benchmark::DoNotOptimize(plat_socket_send(link.ours, b, 4));
        }
        sent += 4 * kLongs;
        link.settle(sent);
    }
    state.SetBytesProcessed(sent);
}
BENCHMARK(BM_LongsOneSendEach)->UseRealTime();

std::vector<uint8_t> Block(size_t n)
{
    std::vector<uint8_t> block(n);
    for (size_t i = 0; i < n; i++)
        block[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    return block;
}

void BM_BlockThroughTransport(benchmark::State &state)
{
    Drained link;
    SO_CHANNEL *so = SO_create(&link.ours, 4096, 8192);
    const std::vector<uint8_t> block = Block(static_cast<size_t>(state.range(0)));
    int64_t sent = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            SO_write_block(so, block.data(), static_cast<int32_t>(block.size())));
        benchmark::DoNotOptimize(so_flush(so));
        sent += static_cast<int64_t>(block.size());
        link.settle(sent);
    }
    state.SetBytesProcessed(sent);
    SO_destroy(so);
}
BENCHMARK(BM_BlockThroughTransport)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

void BM_BlockRawSocket(benchmark::State &state)
{
    Drained link;
    const std::vector<uint8_t> block = Block(static_cast<size_t>(state.range(0)));
    int64_t sent = 0;
    for (auto _ : state) {
        size_t done = 0;
        while (done < block.size()) {
            ssize_t n = plat_socket_send(link.ours, block.data() + done, block.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        benchmark::DoNotOptimize(done);
        sent += static_cast<int64_t>(block.size());
        link.settle(sent);
    }
    state.SetBytesProcessed(sent);
}
BENCHMARK(BM_BlockRawSocket)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

} // namespace
