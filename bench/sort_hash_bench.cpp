// The host executables' containers against the standard library, measured in
// the same run over the same records:
//  - The merge sort of 100,000 records of 16 bytes (a 32-bit key with many
//    repeats, an id, a payload) sorted in memory, read from and written to
//    the caller through its reader and writer, against std::stable_sort of
//    the same records copied in and out, with the same comparison function.
//  - The paged hash table with its pages all in the cache: 10,000 records of
//    16 bytes inserted by an 8-byte key and each found again, against
//    std::unordered_map of the same keys and records.
#include "bench/bench_ratio.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/util/ve_hash_table_internal.h"
#include "base/util/ve_merge_sort.h"

namespace
{

struct Record {
    int32_t key;
    int32_t id;
    int64_t payload;
};

std::vector<Record> Records(int32_t n)
{
    std::vector<Record> records(static_cast<size_t>(n));
    uint32_t seed = 3u + static_cast<uint32_t>(n);
    for (int32_t i = 0; i < n; i++) {
        seed = seed * 1103515245u + 12345u;
        records[static_cast<size_t>(i)] = {static_cast<int32_t>((seed >> 8) % (n / 4 + 1)), i,
                                           static_cast<int64_t>(seed) * 31};
    }
    return records;
}

int Compare(const void *left, const void *right)
{
    int32_t a = static_cast<const Record *>(left)->key, b = static_cast<const Record *>(right)->key;
    return (a > b) - (a < b);
}

struct Stream {
    const std::vector<Record> *in;
    size_t next_in = 0;
    size_t next_out = 0;
    std::vector<Record> out;
};

int32_t Read(void *context, void *buffer, int32_t count)
{
    auto *s = static_cast<Stream *>(context);
    size_t take = std::min(static_cast<size_t>(count), s->in->size() - s->next_in);
    std::memcpy(buffer, s->in->data() + s->next_in, take * sizeof(Record));
    s->next_in += take;
    return static_cast<int32_t>(take);
}

int32_t Write(void *context, const void *buffer, int32_t count)
{
    auto *s = static_cast<Stream *>(context);
    const auto *r = static_cast<const Record *>(buffer);
    count = std::min(count, static_cast<int32_t>(s->out.size() - s->next_out));
    std::copy(r, r + count, s->out.begin() + static_cast<ptrdiff_t>(s->next_out));
    s->next_out += static_cast<size_t>(count);
    return count;
}

void BM_MergeSortInMemory(benchmark::State &state)
{
    auto n = static_cast<int32_t>(state.range(0));
    const std::vector<Record> records = Records(n);
    Stream s{&records, 0, 0, {}};
    s.out.resize(records.size());
    for (auto _ : state) {
        s.next_in = s.next_out = 0;
        VES_MergeSort(Compare, nullptr, &s, Read, &s, Write, sizeof(Record), n,
                      n * static_cast<int32_t>(sizeof(Record)), 1 << 20, 10);
        benchmark::DoNotOptimize(s.out.data());
        benchmark::ClobberMemory();
    }
}

void BM_StableSortBaseline(benchmark::State &state)
{
    auto n = static_cast<int32_t>(state.range(0));
    const std::vector<Record> records = Records(n);
    std::vector<Record> work(records.size()), out(records.size());
    for (auto _ : state) {
        std::copy(records.begin(), records.end(), work.begin());
        std::stable_sort(work.begin(), work.end(),
                         [](const Record &a, const Record &b) { return Compare(&a, &b) < 0; });
        std::copy(work.begin(), work.end(), out.begin());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

struct Entry {
    uint64_t key;
    int64_t value;
};

std::vector<Entry> Entries(int32_t n)
{
    std::vector<Entry> entries(static_cast<size_t>(n));
    uint64_t seed = 11u + static_cast<uint64_t>(n);
    for (Entry &e : entries) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        e = {seed, static_cast<int64_t>(seed >> 7)};
    }
    return entries;
}

void BM_HashTableCached(benchmark::State &state)
{
    auto n = static_cast<int32_t>(state.range(0));
    const std::vector<Entry> entries = Entries(n);
    // Room for every page of a table twice the keys.
    int32_t old = ht_set_cache(4 * n * static_cast<int32_t>(sizeof(Entry) + 1) / 1024 + 8, 1024);
    int64_t found = 0;
    for (auto _ : state) {
        HT_TABLE *t = ht_open_temp("/tmp", "BENCH", 1, sizeof(uint64_t), sizeof(Entry), 2 * n);
        for (const Entry &e : entries) {
            Entry r = e;
            ht_search(t, &r, HT_MODE_INSERT);
        }
        found = 0;
        for (const Entry &e : entries) {
            Entry r = {e.key, 0};
            if (ht_search(t, &r, HT_MODE_FIND) > 0)
                found += r.value;
        }
        ht_close(t);
        benchmark::DoNotOptimize(found);
    }
    ht_set_cache(old / 1024, 1024);
}

void BM_UnorderedMapBaseline(benchmark::State &state)
{
    auto n = static_cast<int32_t>(state.range(0));
    const std::vector<Entry> entries = Entries(n);
    int64_t found = 0;
    for (auto _ : state) {
        std::unordered_map<uint64_t, Entry> map;
        map.reserve(static_cast<size_t>(2 * n));
        for (const Entry &e : entries)
            map.emplace(e.key, e);
        found = 0;
        for (const Entry &e : entries) {
            auto it = map.find(e.key);
            if (it != map.end())
                found += it->second.value;
        }
        benchmark::DoNotOptimize(found);
    }
}

} // namespace

BENCHMARK(BM_MergeSortInMemory)->Arg(100000);
BENCHMARK(BM_StableSortBaseline)->Arg(100000);
BENCHMARK(BM_HashTableCached)->Arg(10000);
BENCHMARK(BM_UnorderedMapBaseline)->Arg(10000);

ZEL_BENCH_MAIN({"BM_MergeSortInMemory", "BM_StableSortBaseline", ">= 0.8"},
               {"BM_HashTableCached", "BM_UnorderedMapBaseline", ">= 0.3"})
