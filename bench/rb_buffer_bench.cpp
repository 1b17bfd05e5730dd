// The tile buffer against raw zlib on the same tiles: per iteration 16
// tiles of 128 x 128 pixels of 16 bits (a smooth surface with noise, as an
// elevation band holds it) are put with the encode flag and compression 1
// (pixels reordered, deflated), the buffers sent through a socket channel
// over an in-memory link and received, and the tiles taken out with
// decoding. The baseline compresses every tile with zlib's compress and
// uncompresses it again: the work that dominates either way, without the
// buffer's reordering, framing and transfer. Compare the times (ratios, not
// absolute numbers).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/system/ch_channel_internal.h"
#include "base/system/rb_buffer.h"
#include "base/system/so_channel_internal.h"
#include "bench/bench_ratio.h"

namespace
{

constexpr int kTiles = 16, kSide = 128, kBytes = kSide * kSide * 2;
constexpr int32_t kFormat = (128 << 16) | (1 << 10);

// The bytes one side sends, for the other to take.
struct S_pipe {
    std::vector<uint8_t> bytes;
    size_t at = 0;
};

ssize_t S_recv(void *ctx, void *dst, size_t n)
{
    auto *p = static_cast<S_pipe *>(ctx);
    size_t give = p->bytes.size() - p->at;
    if (give > n)
        give = n;
    std::memcpy(dst, p->bytes.data() + p->at, give);
    p->at += give;
    if (p->at == p->bytes.size()) {
        p->bytes.clear();
        p->at = 0;
    }
    return static_cast<ssize_t>(give);
}

ssize_t S_send(void *ctx, const void *src, size_t n)
{
    auto *p = static_cast<S_pipe *>(ctx);
    const auto *b = static_cast<const uint8_t *>(src);
    p->bytes.insert(p->bytes.end(), b, b + n);
    return static_cast<ssize_t>(n);
}

int S_poll(void *ctx)
{
    return static_cast<S_pipe *>(ctx)->bytes.empty() ? 0 : 1;
}

// Tile t: heights rising across the band with a little noise.
std::vector<std::vector<uint8_t>> S_tiles()
{
    std::vector<std::vector<uint8_t>> tiles;
    uint32_t noise = 12345;
    for (int t = 0; t < kTiles; t++) {
        std::vector<uint8_t> bytes(kBytes);
        for (int i = 0; i < kSide * kSide; i++) {
            noise = noise * 1103515245u + 12345u;
            const uint16_t v = static_cast<uint16_t>(1000 + t * 40 + (i % kSide) / 2 +
                                                     (i / kSide) / 3 + ((noise >> 16) & 3));
            std::memcpy(bytes.data() + 2 * i, &v, 2);
        }
        tiles.push_back(std::move(bytes));
    }
    return tiles;
}

void BM_RbSendReceiveTiles(benchmark::State &state)
{
    const auto tiles = S_tiles();
    S_pipe pipe;
    SO_LINK link = {&pipe, S_recv, S_send, S_poll};
    CH_CHANNEL *channel = ch_create_on_link(&link, 0, 0);
    RB_BUFFER *out = nullptr, *in = nullptr;
    RB_init(&out, 1 << 18);
    RB_init(&in, 1 << 18);
    std::vector<uint8_t> room(kBytes);
    int64_t sum = 0;
    for (auto _ : state) {
        int next = 0, taken = 0;
        while (taken < kTiles) {
            RB_reset(out);
            for (; next < kTiles; next++) {
                RB_TILE tile = {};
                tile.tile_number = next + 1;
                tile.format = kFormat;
                tile.data = const_cast<unsigned char *>(tiles[next].data());
                tile.length = kBytes;
                tile.pixel_count = kSide * kSide;
                if (RB_put_tile(out, &tile, 1) != 0)
                    break;
            }
            if (next == kTiles)
                RB_set_last(out);
            RB_reset(in);
            if (RB_send_buffer(out, channel) != 0 || RB_receive_buffer(in, channel) != 0) {
                state.SkipWithError("message");
                break;
            }
            for (;;) {
                RB_TILE tile = {};
                tile.data = room.data();
                tile.length = kBytes;
                if (RB_get_tile(in, &tile, 1) != 0)
                    break;
                sum += room[static_cast<size_t>(taken)] + tile.length;
                taken++;
            }
        }
    }
    benchmark::DoNotOptimize(sum);
    RB_free(&out);
    RB_free(&in);
    CH_destroy(channel);
}

void BM_ZlibCompressUncompressTiles(benchmark::State &state)
{
    const auto tiles = S_tiles();
    std::vector<uint8_t> packed(compressBound(kBytes)), room(kBytes);
    int64_t sum = 0;
    for (auto _ : state) {
        for (int t = 0; t < kTiles; t++) {
            uLongf n = packed.size();
            compress(packed.data(), &n, tiles[static_cast<size_t>(t)].data(), kBytes);
            uLongf m = room.size();
            uncompress(room.data(), &m, packed.data(), n);
            sum += room[static_cast<size_t>(t)] + static_cast<int64_t>(m);
        }
    }
    benchmark::DoNotOptimize(sum);
}

} // namespace

BENCHMARK(BM_RbSendReceiveTiles);
BENCHMARK(BM_ZlibCompressUncompressTiles);

ZEL_BENCH_MAIN({"BM_RbSendReceiveTiles", "BM_ZlibCompressUncompressTiles", ">= 0.95"})
