// External merge sort: in-memory runs, one and several merge passes through
// temporary files, stability across runs, short reads, failures that end the
// sort and remove its files.
#include "base/util/ve_merge_sort.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"

namespace
{

// Sorted on key only; origin is the index the record was read at.
struct Record {
    int32_t key;
    int32_t origin;
};

int S_compare(const void *left, const void *right)
{
    int32_t a = static_cast<const Record *>(left)->key;
    int32_t b = static_cast<const Record *>(right)->key;
    return (a > b) - (a < b);
}

struct Source {
    std::vector<Record> records;
    size_t next = 0;
    int32_t most = INT32_MAX; // largest chunk handed out per call
    int32_t fail_at = -1;     // call number that fails
    int32_t extra = 0;        // records reported beyond what was asked
    int32_t calls = 0;
};

int32_t S_read(void *context, void *buffer, int32_t count)
{
    auto *source = static_cast<Source *>(context);
    if (source->calls++ == source->fail_at)
        return -1;
    size_t take = std::min<size_t>({static_cast<size_t>(count), static_cast<size_t>(source->most),
                                    source->records.size() - source->next});
    std::memcpy(buffer, source->records.data() + source->next, take * sizeof(Record));
    source->next += take;
    return static_cast<int32_t>(take) + source->extra;
}

struct Sink {
    std::vector<Record> records;
    std::vector<int32_t> chunks;
    int32_t fail_result = 0; // returned from the first call when not 0
};

int32_t S_write(void *context, const void *buffer, int32_t count)
{
    auto *sink = static_cast<Sink *>(context);
    if (sink->fail_result)
        return sink->fail_result;
    const auto *records = static_cast<const Record *>(buffer);
    sink->records.insert(sink->records.end(), records, records + count);
    sink->chunks.push_back(count);
    return count;
}

// Keys repeat (every key occurs count / 7 times) so that ties cross runs.
Source S_source(int32_t count)
{
    Source source;
    for (int32_t i = 0; i < count; ++i)
        source.records.push_back({(i * 7919) % 7, i});
    return source;
}

struct Folder {
    char path[32] = "/tmp/ve_sort_XXXXXX";
    Folder()
    {
        EXPECT_NE(mkdtemp(path), nullptr);
    }
    ~Folder()
    {
        rmdir(path);
    }
    int entries() const
    {
        int n = 0;
        DIR *dir = opendir(path);
        while (dirent *entry = readdir(dir))
            n += entry->d_name[0] != '.';
        closedir(dir);
        return n;
    }
};

int32_t S_sort(Folder &folder, Source &source, Sink &sink, int32_t sort_records,
               int32_t merge_memory, int32_t ways)
{
    return VES_MergeSort(S_compare, folder.path, &source, S_read, &sink, S_write, sizeof(Record),
                         static_cast<int32_t>(source.records.size()),
                         sort_records * static_cast<int32_t>(sizeof(Record)), merge_memory, ways);
}

// Sorted by key, and equal keys in the order of the runs they came from.
void S_expect_sorted(const Sink &sink, size_t count, int32_t run)
{
    ASSERT_EQ(sink.records.size(), count);
    std::vector<bool> seen(count);
    for (size_t i = 0; i < count; ++i) {
        const Record &r = sink.records[i];
        ASSERT_LT(static_cast<size_t>(r.origin), count);
        EXPECT_FALSE(seen[r.origin]) << "record " << r.origin << " twice";
        seen[r.origin] = true;
        if (i == 0)
            continue;
        const Record &p = sink.records[i - 1];
        ASSERT_LE(p.key, r.key) << "at " << i;
        if (p.key == r.key) {
            ASSERT_LE(p.origin / run, r.origin / run) << "at " << i;
        }
    }
}

} // namespace

TEST(MergeSort, FittingRecordsSortInMemoryWithoutFiles)
{
    Folder folder;
    Source source = S_source(500);
    Sink sink;
    ASSERT_EQ(S_sort(folder, source, sink, 500, 4096, 10), ZE_SUCCESS);
    EXPECT_EQ(sink.chunks, std::vector<int32_t>{500});
    S_expect_sorted(sink, 500, 500);
    EXPECT_EQ(folder.entries(), 0);
}

TEST(MergeSort, OnePassHandsTheMergeToTheWriterInBufferSizes)
{
    // R = 100, 1000 records, 10 ways: ten runs merged straight to the writer in
    // buffers of merge memory / 11 bytes.
    Folder folder;
    Source source = S_source(1000);
    Sink sink;
    const int32_t merge_memory = 11 * 30 * sizeof(Record);
    ASSERT_EQ(S_sort(folder, source, sink, 100, merge_memory, 10), ZE_SUCCESS);
    S_expect_sorted(sink, 1000, 100);
    ASSERT_FALSE(sink.chunks.empty());
    for (size_t i = 0; i + 1 < sink.chunks.size(); ++i)
        EXPECT_EQ(sink.chunks[i], 30);
    EXPECT_EQ(sink.chunks.back(), 1000 - 30 * static_cast<int32_t>(sink.chunks.size() - 1));
    EXPECT_EQ(folder.entries(), 0);
}

TEST(MergeSort, SeveralPassesKeepOrderAndStability)
{
    struct Case {
        int32_t count, run, merge_records, ways;
    } cases[] = {
        {1000, 100, 4, 3},   // ten runs, three ways: passes of 4, 2, then 1 run
        {1001, 100, 12, 3},  // a last run of one record
        {999, 10, 50, 2},    // many passes of two ways
        {5000, 37, 200, 10}, // uneven runs, ten ways
        {450, 50, 20, 25},   // ways capped at ten
    };
    for (const Case &c : cases) {
        Folder folder;
        Source source = S_source(c.count);
        Sink sink;
        ASSERT_EQ(S_sort(folder, source, sink, c.run, c.merge_records * sizeof(Record), c.ways),
                  ZE_SUCCESS)
            << c.count << " " << c.run;
        S_expect_sorted(sink, c.count, c.run);
        EXPECT_EQ(folder.entries(), 0);
    }
}

TEST(MergeSort, ShortReadsStillFillWholeRuns)
{
    Folder folder;
    Source source = S_source(700);
    source.most = 7;
    Sink sink;
    ASSERT_EQ(S_sort(folder, source, sink, 100, 20 * sizeof(Record), 4), ZE_SUCCESS);
    S_expect_sorted(sink, 700, 100);

    Source in_memory = S_source(90);
    in_memory.most = 13;
    Sink whole;
    ASSERT_EQ(S_sort(folder, in_memory, whole, 100, 64, 4), ZE_SUCCESS);
    S_expect_sorted(whole, 90, 90);
}

TEST(MergeSort, FailuresEndTheSortAndRemoveTheFiles)
{
    struct Case {
        const char *what;
        int32_t count, fail_at, extra, writer_result, expected;
    } cases[] = {
        {"reader fails in memory", 50, 0, 0, 0, VES_SORT_READER_FAILED},
        {"reader fails on file", 500, 2, 0, 0, VES_SORT_READER_FAILED},
        {"reader overfills", 500, -1, 1, 0, VES_SORT_READER_FAILED},
        {"writer fails in memory", 50, -1, 0, -77, -77},
        {"writer fails in the merge", 500, -1, 0, -77, VES_SORT_FILE_FAILED},
    };
    for (const Case &c : cases) {
        Folder folder;
        Source source = S_source(c.count);
        source.fail_at = c.fail_at;
        source.extra = c.extra;
        Sink sink;
        sink.fail_result = c.writer_result;
        EXPECT_EQ(S_sort(folder, source, sink, 100, 40 * sizeof(Record), 10), c.expected) << c.what;
        EXPECT_EQ(folder.entries(), 0) << c.what;
    }
}

TEST(MergeSort, BadArgumentsAreRefused)
{
    Folder folder;
    Source source = S_source(500);
    Sink sink;
    const int32_t size = sizeof(Record);
    struct Case {
        int32_t record_size, count, sort_memory, merge_memory, ways, expected;
    } cases[] = {
        {0, 500, 800, 800, 10, ZE_INVALID_ARGUMENT},
        {size, -1, 800, 800, 10, ZE_INVALID_ARGUMENT},
        {size, 500, size - 1, 800, 10, ZE_INVALID_ARGUMENT}, // no room for one record
        {size, 500, 800, 0, 10, ZE_INVALID_ARGUMENT},
        {size, 500, 800, 800, 1, ZE_INVALID_ARGUMENT},       // one way never merges
        {size, 500, 800, 3 * size, 10, ZE_INVALID_ARGUMENT}, // merge buffers below one record
        {size, 0, 800, 800, 10, ZE_SUCCESS},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(VES_MergeSort(S_compare, folder.path, &source, S_read, &sink, S_write,
                                c.record_size, c.count, c.sort_memory, c.merge_memory, c.ways),
                  c.expected)
            << c.record_size << " " << c.count << " " << c.sort_memory << " " << c.ways;
        EXPECT_EQ(folder.entries(), 0);
    }
    EXPECT_TRUE(sink.records.empty());
    EXPECT_EQ(
        VES_MergeSort(nullptr, folder.path, &source, S_read, &sink, S_write, size, 5, 800, 800, 10),
        ZE_NULL_POINTER);
    EXPECT_EQ(VES_MergeSort(S_compare, folder.path, &source, nullptr, &sink, S_write, size, 5, 800,
                            800, 10),
              ZE_NULL_POINTER);
}

TEST(MergeSort, MissingFolderFailsBeforeReading)
{
    Source source = S_source(500);
    Sink sink;
    EXPECT_EQ(VES_MergeSort(S_compare, "/nonexistent/folder", &source, S_read, &sink, S_write,
                            sizeof(Record), 500, 100 * sizeof(Record), 4096, 10),
              VES_SORT_FILE_FAILED);
    EXPECT_EQ(source.calls, 0);
}

namespace
{

int S_compare_first_byte(const void *left, const void *right)
{
    return *static_cast<const unsigned char *>(left) - *static_cast<const unsigned char *>(right);
}

// Records of any size: the key in the first byte, the read order after it,
// the rest a pattern of the read order.
struct Bytes {
    int32_t size;
    std::vector<unsigned char> data;
    size_t next = 0;
};

int32_t S_read_bytes(void *context, void *buffer, int32_t count)
{
    auto *source = static_cast<Bytes *>(context);
    size_t take = std::min<size_t>(static_cast<size_t>(count) * source->size,
                                   source->data.size() - source->next);
    std::memcpy(buffer, source->data.data() + source->next, take);
    source->next += take;
    return static_cast<int32_t>(take / source->size);
}

int32_t S_write_bytes(void *context, const void *buffer, int32_t count)
{
    auto *sink = static_cast<Bytes *>(context);
    const auto *bytes = static_cast<const unsigned char *>(buffer);
    sink->data.insert(sink->data.end(), bytes, bytes + static_cast<size_t>(count) * sink->size);
    return count;
}

} // namespace

TEST(MergeSort, RecordsOfEverySizeSortStablyInMemory)
{
    const int32_t count = 700;
    for (int32_t size : {1, 2, 3, 5, 8, 13, 16, 31, 32, 33, 40, 48, 64, 100}) {
        SCOPED_TRACE(size);
        Bytes source{size, {}}, sink{size, {}};
        for (int32_t i = 0; i < count; i++)
            for (int32_t b = 0; b < size; b++)
                source.data.push_back(static_cast<unsigned char>(
                    b == 0 ? (i * 7919) % 11 : (i >> (8 * ((b - 1) % 2))) + b));
        Folder folder;
        ASSERT_EQ(VES_MergeSort(S_compare_first_byte, folder.path, &source, S_read_bytes, &sink,
                                S_write_bytes, size, count, size * count, 4096, 10),
                  ZE_SUCCESS);
        // The expected order: by key, equal keys as read.
        std::vector<int32_t> order(count);
        for (int32_t i = 0; i < count; i++)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
            return source.data[static_cast<size_t>(a) * size] <
                   source.data[static_cast<size_t>(b) * size];
        });
        std::vector<unsigned char> expected;
        for (int32_t i : order)
            expected.insert(expected.end(), source.data.begin() + static_cast<ptrdiff_t>(i) * size,
                            source.data.begin() + static_cast<ptrdiff_t>(i + 1) * size);
        EXPECT_EQ(sink.data, expected);
    }
}
