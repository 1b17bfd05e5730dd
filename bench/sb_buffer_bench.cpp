// The row stream buffer against memcpy of the same bytes: per iteration 100
// rows of ten columns (short, long, float, double, string, date, raster,
// long, double, string) are put into a send buffer, the buffer is sent
// through a socket channel over an in-memory link and received, and the rows
// are taken out again into a row (argument 0 native, 1 XDR). The baseline
// copies every value of the same rows into an area with memcpy, copies the
// area once (the transfer) and copies every value back out: the floor of
// any row format. Compare the times (ratios, not absolute numbers).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/system/ch_channel_internal.h"
#include "base/system/sb_buffer.h"
#include "base/system/so_channel_internal.h"
#include "base/util/ve_date.h"
#include "bench/bench_ratio.h"

namespace
{

constexpr int kRows = 100;

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

DB_COLUMN_DEF S_col(int32_t type, int32_t size = 0)
{
    DB_COLUMN_DEF c = {};
    c.type = type;
    c.size = size;
    return c;
}

struct Row {
    std::vector<DB_COLUMN_DEF> cols = {
        S_col(VE_SMALLINT),   S_col(VE_INTEGER),   S_col(VE_FLOAT),  S_col(VE_DOUBLE),
        S_col(VE_STRING, 32), S_col(VE_DATE_TYPE), S_col(VE_RASTER), S_col(VE_INTEGER),
        S_col(VE_DOUBLE),     S_col(VE_STRING, 32)};
    VE_ROW_POINTERS r = {};
    Row()
    {
        r.column_count = static_cast<int16_t>(cols.size());
        r.columns = cols.data();
        VES_allocate_row_pointers(&r, 0);
    }
    ~Row()
    {
        VES_free_row_pointers(&r);
    }
    template <typename T> void set(int i, T v)
    {
        std::memcpy(r.buffers[i], &v, sizeof v);
        r.indicators[i] = VE_IND_VALUE;
    }
    void set_string(int i, const char *s)
    {
        std::strcpy(static_cast<char *>(r.buffers[i]), s);
        r.indicators[i] = VE_IND_VALUE;
    }
    // The bytes of column i's value as the native area holds them.
    size_t value_size(int i) const
    {
        switch (cols[static_cast<size_t>(i)].type) {
        case VE_SMALLINT:
            return 2;
        case VE_DOUBLE:
            return 8;
        case VE_STRING:
            return 4 + std::strlen(static_cast<const char *>(r.buffers[i])) + 1;
        case VE_DATE_TYPE:
            return sizeof(VE_DATE);
        default:
            return 4;
        }
    }
};

void S_fill(Row &row)
{
    row.set<int16_t>(0, 7);
    row.set<int32_t>(1, 123456);
    row.set<float>(2, 1.25f);
    row.set<double>(3, 98765.4321);
    row.set_string(4, "Main Street");
    VE_DATE date = {5, 4, 3, 11, 11, 126, 5, 344, 0};
    row.set<VE_DATE>(5, date);
    row.set<int32_t>(6, 42);
    row.set<int32_t>(7, -9);
    row.set<double>(8, -0.5);
    row.set_string(9, "parcel 12-345");
}

void BM_SbPutGetRow(benchmark::State &state)
{
    const int32_t encoding = static_cast<int32_t>(state.range(0));
    S_pipe pipe;
    SO_LINK link = {&pipe, S_recv, S_send, S_poll};
    CH_CHANNEL *channel = ch_create_on_link(&link, 0, 0);
    SB_BUFFER *out = nullptr, *in = nullptr;
    SB_init(SB_SEND_BUFFER, 0, 65536, kRows, encoding, &out);
    SB_init(SB_RECEIVE_BUFFER, 0, 65536, kRows, encoding, &in);
    Row sent, got;
    S_fill(sent);
    int64_t sum = 0;
    for (auto _ : state) {
        SB_reset(out);
        for (int i = 0; i < kRows; i++)
            if (SB_put_row(&sent.r, 0, out) != 0)
                state.SkipWithError("put");
        SB_set_last_buffer(out);
        if (SB_send_buffer(channel, out) != 0 || SB_receive_buffer(channel, in) != 0)
            state.SkipWithError("message");
        while (SB_get_row(in, &got.r) == 0) {
            int32_t v;
            std::memcpy(&v, got.r.values[1], sizeof v);
            sum += v + static_cast<const char *>(got.r.values[4])[0];
        }
    }
    benchmark::DoNotOptimize(sum);
    SB_free(out);
    SB_free(in);
    CH_destroy(channel);
}

void BM_MemcpyRowBytes(benchmark::State &state)
{
    Row sent, got;
    S_fill(sent);
    std::vector<uint8_t> area(65536), received(65536);
    int64_t sum = 0;
    for (auto _ : state) {
        size_t at = 0;
        for (int i = 0; i < kRows; i++)
            for (int c = 0; c < sent.r.column_count; c++) {
                const size_t n = sent.value_size(c);
                std::memcpy(area.data() + at, sent.r.buffers[c], n);
                at += n;
            }
        std::memcpy(received.data(), area.data(), at);
        benchmark::ClobberMemory();
        size_t from = 0;
        for (int i = 0; i < kRows; i++) {
            for (int c = 0; c < got.r.column_count; c++) {
                const size_t n = sent.value_size(c);
                std::memcpy(got.r.buffers[c], received.data() + from, n);
                from += n;
            }
            int32_t v;
            std::memcpy(&v, got.r.buffers[1], sizeof v);
            sum += v + static_cast<const char *>(got.r.buffers[4])[0];
        }
    }
    benchmark::DoNotOptimize(sum);
}

} // namespace

BENCHMARK(BM_SbPutGetRow)->Arg(0)->Arg(1);
BENCHMARK(BM_MemcpyRowBytes);

ZEL_BENCH_MAIN({"BM_SbPutGetRow", "BM_MemcpyRowBytes", ">= 0.3 native, >= 0.1 XDR"})
