// Compress and uncompress of features of 10, 1,000 and 100,000 points, against
// two baselines over the same data in the same run: memcpy of the raw point
// arrays, and a plain zigzag-LEB128 varint coder over the same differences.
// Compare the times of one size across the four families (ratios, not
// absolute numbers).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/util/ve_compress.h"
#include "mox/mox.h"

namespace
{

// A random walk with steps of up to a few hundred units, as digitised lines
// are; the first point far from the origin.
std::vector<POINT> Walk(int32_t n)
{
    std::vector<POINT> points(static_cast<size_t>(n));
    uint32_t seed = 12345;
    POINT p = {500000000, 300000000};
    for (POINT &out : points) {
        seed = seed * 1103515245u + 12345u;
        p.x += static_cast<int32_t>((seed >> 16) % 601) - 300;
        seed = seed * 1103515245u + 12345u;
        p.y += static_cast<int32_t>((seed >> 16) % 601) - 300;
        out = p;
    }
    return points;
}

FEATURE_STRUCT *MakeFeature(const std::vector<POINT> &points)
{
    auto *f = static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT)));
    f->num_points = static_cast<int32_t>(points.size());
    f->allocated_points = f->num_points;
    f->points = static_cast<POINT *>(std::malloc(points.size() * sizeof(POINT)));
    std::memcpy(f->points, points.data(), points.size() * sizeof(POINT));
    VES_comp_feature_alloc(f, f->num_points, 0, 0);
    return f;
}

void FreeFeature(FEATURE_STRUCT *f)
{
    VES_comp_feature_free(f);
    std::free(f);
}

uint8_t *Leb128Put(uint8_t *out, int32_t value)
{
    uint32_t zz = (static_cast<uint32_t>(value) << 1) ^ static_cast<uint32_t>(value >> 31);
    while (zz >= 0x80) {
        *out++ = static_cast<uint8_t>(zz | 0x80);
        zz >>= 7;
    }
    *out++ = static_cast<uint8_t>(zz);
    return out;
}

const uint8_t *Leb128Get(const uint8_t *in, int32_t &value)
{
    uint32_t zz = 0;
    int shift = 0;
    uint8_t byte;
    do {
        byte = *in++;
        zz |= static_cast<uint32_t>(byte & 0x7F) << shift;
        shift += 7;
    } while (byte & 0x80);
    value = static_cast<int32_t>((zz >> 1) ^ (~(zz & 1) + 1));
    return in;
}

size_t Leb128Encode(const std::vector<POINT> &points, uint8_t *out)
{
    uint8_t *p = out;
    POINT previous = {0, 0};
    for (const POINT &pt : points) {
        p = Leb128Put(p, static_cast<int32_t>(static_cast<uint32_t>(pt.x) -
                                              static_cast<uint32_t>(previous.x)));
        p = Leb128Put(p, static_cast<int32_t>(static_cast<uint32_t>(pt.y) -
                                              static_cast<uint32_t>(previous.y)));
        previous = pt;
    }
    return static_cast<size_t>(p - out);
}

void Leb128Decode(const uint8_t *in, POINT *points, size_t n)
{
    POINT current = {0, 0};
    for (size_t i = 0; i < n; i++) {
        int32_t dx, dy;
        in = Leb128Get(in, dx);
        in = Leb128Get(in, dy);
        current.x =
            static_cast<int32_t>(static_cast<uint32_t>(current.x) + static_cast<uint32_t>(dx));
        current.y =
            static_cast<int32_t>(static_cast<uint32_t>(current.y) + static_cast<uint32_t>(dy));
        points[i] = current;
    }
}

void BM_Compress(benchmark::State &state)
{
    FEATURE_STRUCT *f = MakeFeature(Walk(static_cast<int32_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(VES_feature_compress(f, 0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    FreeFeature(f);
}

void BM_Uncompress(benchmark::State &state)
{
    FEATURE_STRUCT *f = MakeFeature(Walk(static_cast<int32_t>(state.range(0))));
    VES_feature_compress(f, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(VES_feature_uncompress(1, f));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    FreeFeature(f);
}

void BM_MemcpyBaseline(benchmark::State &state)
{
    std::vector<POINT> points = Walk(static_cast<int32_t>(state.range(0)));
    std::vector<POINT> copy(points.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), points.data(), points.size() * sizeof(POINT));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Leb128EncodeBaseline(benchmark::State &state)
{
    std::vector<POINT> points = Walk(static_cast<int32_t>(state.range(0)));
    std::vector<uint8_t> out(points.size() * 10);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Leb128Encode(points, out.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Leb128DecodeBaseline(benchmark::State &state)
{
    std::vector<POINT> points = Walk(static_cast<int32_t>(state.range(0)));
    std::vector<uint8_t> bytes(points.size() * 10);
    Leb128Encode(points, bytes.data());
    std::vector<POINT> decoded(points.size());
    for (auto _ : state) {
        Leb128Decode(bytes.data(), decoded.data(), decoded.size());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_Compress)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(BM_Uncompress)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(BM_MemcpyBaseline)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(BM_Leb128EncodeBaseline)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(BM_Leb128DecodeBaseline)->Arg(10)->Arg(1000)->Arg(100000);
