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
std::vector<POINT> Shape(int32_t n, uint32_t which)
{
    std::vector<POINT> points(static_cast<size_t>(n));
    uint32_t seed = 12345u + static_cast<uint32_t>(n) * 7919u + which * 104729u;
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

// The features of one size: enough different ones (about 200,000 points in
// all) that each run goes through them in turn, as a query's rows are, and
// no branch predictor can learn one feature's bytes by heart. Like a fetch,
// every row goes through one feature record whose arrays and buffer are
// reused; each baseline likewise reuses one output.
struct Features {
    std::vector<std::vector<POINT>> shapes;
    std::vector<std::vector<uint8_t>> compressed;
    FEATURE_STRUCT *row;
    explicit Features(int32_t n)
    {
        int32_t count = n >= 200000 ? 1 : 200000 / n;
        std::vector<std::vector<uint8_t>> made;
        for (int32_t k = 0; k < count; k++) {
            shapes.push_back(Shape(n, static_cast<uint32_t>(k)));
            FEATURE_STRUCT *f = MakeFeature(shapes.back());
            VES_feature_compress(f, 0);
            made.emplace_back(f->compressed, f->compressed + VES_get_compressed_buffer_size(f));
            FreeFeature(f);
        }
        // The buffers are laid out one after the other, as the baseline's
        // encodings are (its own loop below), so that neither side walks
        // memory the other does not.
        for (const std::vector<uint8_t> &bytes : made)
            compressed.emplace_back(bytes);
        row = MakeFeature(shapes[0]);
    }
    ~Features()
    {
        FreeFeature(row);
    }
    size_t size() const
    {
        return shapes.size();
    }
};

void BM_Compress(benchmark::State &state)
{
    Features all(static_cast<int32_t>(state.range(0)));
    POINT *own = all.row->points;
    size_t k = 0;
    for (auto _ : state) {
        all.row->points = all.shapes[k].data();
        benchmark::DoNotOptimize(VES_feature_compress(all.row, 0));
        benchmark::ClobberMemory();
        k = k + 1 == all.size() ? 0 : k + 1;
    }
    all.row->points = own;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Uncompress(benchmark::State &state)
{
    Features all(static_cast<int32_t>(state.range(0)));
    uint8_t *own = all.row->compressed;
    int32_t own_capacity = all.row->compressed_capacity;
    size_t k = 0;
    for (auto _ : state) {
        // The fetched bytes, as the fetch leaves them in the row's buffer.
        all.row->compressed = all.compressed[k].data();
        all.row->compressed_capacity = static_cast<int32_t>(all.compressed[k].size());
        benchmark::DoNotOptimize(VES_feature_uncompress(1, all.row));
        benchmark::ClobberMemory();
        k = k + 1 == all.size() ? 0 : k + 1;
    }
    all.row->compressed = own;
    all.row->compressed_capacity = own_capacity;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_MemcpyBaseline(benchmark::State &state)
{
    Features all(static_cast<int32_t>(state.range(0)));
    std::vector<POINT> copy(static_cast<size_t>(state.range(0)));
    size_t k = 0;
    for (auto _ : state) {
        std::memcpy(copy.data(), all.shapes[k].data(), copy.size() * sizeof(POINT));
        benchmark::ClobberMemory();
        k = k + 1 == all.size() ? 0 : k + 1;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Leb128EncodeBaseline(benchmark::State &state)
{
    Features all(static_cast<int32_t>(state.range(0)));
    std::vector<uint8_t> out(static_cast<size_t>(state.range(0)) * 10);
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Leb128Encode(all.shapes[k], out.data()));
        benchmark::ClobberMemory();
        k = k + 1 == all.size() ? 0 : k + 1;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Leb128DecodeBaseline(benchmark::State &state)
{
    Features all(static_cast<int32_t>(state.range(0)));
    // Each encoding in a block of its own size, one after the other, as the
    // subject's buffers are.
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<uint8_t> scratch(static_cast<size_t>(state.range(0)) * 10);
    for (const std::vector<POINT> &shape : all.shapes)
        bytes.emplace_back(scratch.begin(), scratch.begin() + static_cast<ptrdiff_t>(Leb128Encode(
                                                                  shape, scratch.data())));
    std::vector<POINT> decoded(static_cast<size_t>(state.range(0)));
    size_t k = 0;
    for (auto _ : state) {
        Leb128Decode(bytes[k].data(), decoded.data(), decoded.size());
        benchmark::ClobberMemory();
        k = k + 1 == all.size() ? 0 : k + 1;
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
