// A direct blob of 10 MB over loopback TCP against a plain send loop of the
// same bytes, with a receiver thread on the far end in both: the blob is
// read with VES_read_direct_blob into the receiver's 10 MB area (over a
// socket channel and over an XDR channel), the plain bytes with recv into an
// area of the same size. Every iteration is timed until the receiver has the
// whole blob. The socket channel's segments go straight to the socket, so it
// should come within some 20 per cent of the plain loop. The XDR channel's
// record stream sends 4 KB fragments and receives through its 8 KB buffer
// (the sizes a channel is made with), some 2,500 sends and more receives a
// blob, and copies every byte on both sides: about a fifth of the speed.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/sb_out_of_band.h"
#include "bench/bench_ratio.h"
#include "platform/plat_socket_internal.h"

namespace
{

constexpr int32_t kBlobBytes = 10 * 1000 * 1000;

std::vector<uint8_t> S_blob()
{
    std::vector<uint8_t> blob(kBlobBytes);
    for (size_t i = 0; i < blob.size(); i++)
        blob[i] = static_cast<uint8_t>(i * 31 + (i >> 11));
    return blob;
}

// A loopback connection: `ours` sends, a thread on `peer` receives blobs and
// counts them.
struct Loopback {
    int ours = -1, peer = -1;
    std::atomic<int64_t> received{0};
    std::thread receiver;

    Loopback()
    {
        uint16_t port = 0;
        int listener = plat_socket_listen_loopback(&port);
        ours = plat_socket_connect("127.0.0.1", port);
        peer = plat_socket_accept(listener);
        plat_socket_close(listener);
        plat_socket_set_nodelay(ours);
    }
    ~Loopback()
    {
        plat_socket_shutdown_send(ours);
        if (receiver.joinable())
            receiver.join();
        plat_socket_close(ours);
        plat_socket_close(peer);
    }
    // Waits until the receiver has n blobs.
    void settle(int64_t n) const
    {
        while (received.load(std::memory_order_acquire) < n)
            std::this_thread::yield();
    }
};

void S_direct_blob(benchmark::State &state, uint32_t type)
{
    const std::vector<uint8_t> data = S_blob();
    Loopback link;
    CH_CHANNEL *tx = CH_create(type, 0, &link.ours);
    CH_CHANNEL *rx = CH_create(type, 0, &link.peer);
    if (tx == nullptr || rx == nullptr) {
        state.SkipWithError("no channel");
        CH_destroy(tx);
        CH_destroy(rx);
        return;
    }
    link.receiver = std::thread([&] {
        std::vector<uint8_t> area(kBlobBytes);
        for (;;) {
            VE_BLOB_VALUE blob = {0, area.data()};
            if (VES_read_direct_blob(rx, 1, kBlobBytes, 0, -1, &blob) != 0)
                return;
            link.received.fetch_add(1, std::memory_order_release);
        }
    });
    int64_t sent = 0;
    for (auto _ : state) {
        VE_BLOB_VALUE blob = {kBlobBytes, const_cast<uint8_t *>(data.data())};
        if (VES_write_direct_blob(tx, &blob) != 0 || CH_flush(tx) != 0) {
            state.SkipWithError("write failed");
            break;
        }
        link.settle(++sent);
    }
    state.SetBytesProcessed(sent * kBlobBytes);
    plat_socket_shutdown_send(link.ours);
    link.receiver.join();
    CH_destroy(tx);
    CH_destroy(rx);
}

void BM_DirectBlobSocketChannel(benchmark::State &state)
{
    S_direct_blob(state, CH_TYPE_SOCKET);
}
BENCHMARK(BM_DirectBlobSocketChannel)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DirectBlobXdrChannel(benchmark::State &state)
{
    S_direct_blob(state, CH_TYPE_XDR);
}
BENCHMARK(BM_DirectBlobXdrChannel)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PlainSendRecv(benchmark::State &state)
{
    const std::vector<uint8_t> data = S_blob();
    Loopback link;
    link.receiver = std::thread([&] {
        std::vector<uint8_t> area(kBlobBytes);
        size_t at = 0;
        for (;;) {
            ssize_t n = plat_socket_recv(link.peer, area.data() + at, area.size() - at);
            if (n <= 0)
                return;
            at += static_cast<size_t>(n);
            if (at == area.size()) {
                at = 0;
                link.received.fetch_add(1, std::memory_order_release);
            }
        }
    });
    int64_t sent = 0;
    for (auto _ : state) {
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = plat_socket_send(link.ours, data.data() + done, data.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        link.settle(++sent);
    }
    state.SetBytesProcessed(sent * kBlobBytes);
}
BENCHMARK(BM_PlainSendRecv)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

ZEL_BENCH_MAIN({"BM_DirectBlobSocketChannel", "BM_PlainSendRecv", ">= 0.8"},
               {"BM_DirectBlobXdrChannel", "BM_PlainSendRecv", ">= 0.15"})
