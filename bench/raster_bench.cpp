// Raster hot paths against baselines measured in the same run over the same
// data:
//  - Copying a 256 x 256 tile bitmap into a 1,024 x 1,024 level bitmap at an
//    unaligned column offset, against a byte-shift copy (each target byte
//    from two source bytes).
//  - Decoding a deflated 256 x 256 block of 16- and 32-bit pixels (an
//    elevation surface: a smooth slope with noise), against zlib's
//    uncompress of the same bytes.
#include "bench/bench_ratio.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "base/util/ve_pixel_data.h"
#include "base/util/ve_raster_bitmap_internal.h"

namespace
{

struct Bitmaps {
    VE_RASTER_BITMAP *level;
    VE_RASTER_BITMAP *tile;
    Bitmaps(int32_t tile_side)
    {
        level = ves_raster_bitmap_create(1024, 1024, nullptr, 1, 0);
        tile = ves_raster_bitmap_create(tile_side, tile_side, nullptr, 1, 0);
        uint32_t seed = 99;
        for (int32_t i = 0; i < tile->data_length; i++) {
            seed = seed * 1103515245u + 12345u;
            tile->data[i] = static_cast<unsigned char>(seed >> 16);
        }
    }
    ~Bitmaps()
    {
        ves_raster_bitmap_free(level, 1);
        ves_raster_bitmap_free(tile, 1);
    }
};

void BM_BitmapCopyIn(benchmark::State &state)
{
    Bitmaps b(static_cast<int32_t>(state.range(0)));
    auto offset = static_cast<int32_t>(state.range(1));
    for (auto _ : state) {
        ves_raster_bitmap_copy_in(b.level, b.tile, offset, offset);
        benchmark::DoNotOptimize(b.level->data);
        benchmark::ClobberMemory();
    }
}

// Row by row, each whole target byte from two source bytes, the edges bit by
// bit: the usual way to copy bits at an offset.
void ByteShiftCopy(VE_RASTER_BITMAP *target, const VE_RASTER_BITMAP *source, int32_t column_offset,
                   int32_t row_offset)
{
    for (int32_t r = 0; r < source->rows; r++) {
        int64_t from = static_cast<int64_t>(r) * source->columns;
        int64_t to = static_cast<int64_t>(r + row_offset) * target->columns + column_offset;
        int64_t n = source->columns;
        auto bit = [](const unsigned char *d, int64_t i) { return (d[i / 8] >> (7 - i % 8)) & 1; };
        auto put = [](unsigned char *d, int64_t i, int v) {
            auto m = static_cast<unsigned char>(0x80 >> (i % 8));
            d[i / 8] = static_cast<unsigned char>(v ? d[i / 8] | m : d[i / 8] & ~m);
        };
        int64_t k = 0;
        for (; k < n && (to + k) % 8 != 0; k++)
            put(target->data, to + k, bit(source->data, from + k));
        int shift = static_cast<int>((from + k) % 8);
        const unsigned char *s = source->data + (from + k) / 8;
        unsigned char *t = target->data + (to + k) / 8;
        for (; k + 8 <= n; k += 8, s++, t++)
            *t = static_cast<unsigned char>(shift == 0 ? s[0]
                                                       : (s[0] << shift) | (s[1] >> (8 - shift)));
        for (; k < n; k++)
            put(target->data, to + k, bit(source->data, from + k));
    }
}

void BM_ByteShiftCopyBaseline(benchmark::State &state)
{
    Bitmaps b(static_cast<int32_t>(state.range(0)));
    auto offset = static_cast<int32_t>(state.range(1));
    for (auto _ : state) {
        ByteShiftCopy(b.level, b.tile, offset, offset);
        benchmark::DoNotOptimize(b.level->data);
        benchmark::ClobberMemory();
    }
}

// A 256 x 256 elevation block of depth bits, in memory order.
std::vector<unsigned char> Surface(int depth)
{
    std::vector<unsigned char> block(256 * 256 * static_cast<size_t>(depth / 8));
    uint32_t seed = 5;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            seed = seed * 1103515245u + 12345u;
            uint32_t v = 1200u + static_cast<uint32_t>(3 * x + 2 * y) + (seed >> 28);
            std::memcpy(block.data() + static_cast<size_t>(y * 256 + x) * (depth / 8), &v,
                        static_cast<size_t>(depth / 8));
        }
    return block;
}

uint32_t Format(int depth)
{
    return static_cast<uint32_t>(depth * 8) << 16 | VE_PIXEL_COMPRESSION_DEFLATE << 10;
}

struct Deflated {
    std::vector<unsigned char> stored;
    int32_t pixel_bytes;
    explicit Deflated(int depth)
    {
        stored = Surface(depth);
        pixel_bytes = static_cast<int32_t>(stored.size());
        std::vector<unsigned char> work(stored.size() * 2);
        VE_ZSTREAM *deflate = nullptr;
        VES_deflate_init(&deflate);
        int32_t length = pixel_bytes;
        VES_pixel_data_encode(stored.data(), &length, pixel_bytes, Format(depth), work.data(),
                              static_cast<int32_t>(work.size()), deflate);
        VES_deflate_end(deflate);
        stored.resize(static_cast<size_t>(length));
    }
};

void BM_PixelDecode(benchmark::State &state)
{
    auto depth = static_cast<int>(state.range(0));
    Deflated d(depth);
    std::vector<unsigned char> out(static_cast<size_t>(d.pixel_bytes)),
        work(static_cast<size_t>(d.pixel_bytes));
    VE_ZSTREAM *inflate = nullptr;
    VES_inflate_init(&inflate);
    for (auto _ : state) {
        int32_t length = static_cast<int32_t>(d.stored.size());
        VES_pixel_data_decode(d.stored.data(), &length, out.data(), d.pixel_bytes, d.pixel_bytes,
                              Format(depth), work.data(), d.pixel_bytes, inflate);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    VES_inflate_end(inflate);
}

void BM_ZlibUncompressBaseline(benchmark::State &state)
{
    Deflated d(static_cast<int>(state.range(0)));
    std::vector<unsigned char> out(static_cast<size_t>(d.pixel_bytes));
    for (auto _ : state) {
        uLongf length = out.size();
        uncompress(out.data(), &length, d.stored.data(), d.stored.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_BitmapCopyIn)->Args({256, 3})->Args({256, 517})->Args({64, 5});
BENCHMARK(BM_ByteShiftCopyBaseline)->Args({256, 3})->Args({256, 517})->Args({64, 5});
BENCHMARK(BM_PixelDecode)->Arg(16)->Arg(32);
BENCHMARK(BM_ZlibUncompressBaseline)->Arg(16)->Arg(32);

ZEL_BENCH_MAIN({"BM_BitmapCopyIn", "BM_ByteShiftCopyBaseline", ">= 1.0"},
               {"BM_PixelDecode", "BM_ZlibUncompressBaseline", ">= 0.95"})
