// Compress and uncompress of features of 10, 1,000 and 100,000 points, against
// two baselines over the same data in the same run: a plain zigzag-LEB128
// varint coder over the same differences (the pairs whose ratios are
// printed), and memcpy of the raw point arrays (for scale).
#include "bench/bench_ratio.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/util/ve_compress.h"
#include "mox/mox.h"

namespace
{

// Shapes as stored: parts of a few dozen to a few thousand points; inside a
// part mostly short steps (one- and two-byte differences), some long ones,
// and a far jump to the start of each new part. The seed and the sizes come
// from the command line's arguments at run time, so nothing folds away.
std::vector<POINT> Shape(int32_t n)
{
    std::vector<POINT> points(static_cast<size_t>(n));
    uint32_t seed = 12345u + static_cast<uint32_t>(n);
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    auto step = [&next] {
        uint32_t kind = next() % 100;
        int32_t most = kind < 55 ? 63 : kind < 85 ? 1500 : kind < 97 ? 8191 : 300000;
        return static_cast<int32_t>(next() % static_cast<uint32_t>(2 * most + 1)) - most;
    };
    POINT p = {500000000, 300000000};
    int32_t left_in_part = 0;
    for (POINT &out : points) {
        if (left_in_part-- == 0) {
            left_in_part = 20 + static_cast<int32_t>(next() % 3000);
            p.x += static_cast<int32_t>(next() % 20000000) - 10000000;
            p.y += static_cast<int32_t>(next() % 20000000) - 10000000;
        } else {
            p.x += step();
            p.y += step();
        }
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
    FEATURE_STRUCT *f = MakeFeature(Shape(static_cast<int32_t>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(VES_feature_compress(f, 0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    FreeFeature(f);
}

void BM_Uncompress(benchmark::State &state)
{
    FEATURE_STRUCT *f = MakeFeature(Shape(static_cast<int32_t>(state.range(0))));
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
    std::vector<POINT> points = Shape(static_cast<int32_t>(state.range(0)));
    std::vector<POINT> copy(points.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), points.data(), points.size() * sizeof(POINT));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Leb128EncodeBaseline(benchmark::State &state)
{
    std::vector<POINT> points = Shape(static_cast<int32_t>(state.range(0)));
    std::vector<uint8_t> out(points.size() * 10);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Leb128Encode(points, out.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Leb128DecodeBaseline(benchmark::State &state)
{
    std::vector<POINT> points = Shape(static_cast<int32_t>(state.range(0)));
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

ZEL_BENCH_MAIN({"BM_Uncompress", "BM_Leb128DecodeBaseline", ">= 1.2"},
               {"BM_Compress", "BM_Leb128EncodeBaseline", ">= 1.0"})
