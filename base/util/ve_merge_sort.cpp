// External merge sort (see ve_merge_sort.h). Runs of R records are sorted in
// memory and appended to the first run file; each pass merges groups of up to
// `ways` consecutive runs into the other file, swapping the files' roles,
// until one pass can merge every run straight to the writer. Equal records keep
// the order of their runs: on a tie the lowest way wins.
#include "base/util/ve_merge_sort.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "base/util/ve_temp_file.h"
#include "base/util/zel_errors.h"
#include "platform/plat_temp_file_internal.h"

namespace
{

struct S_file {
    char *name = nullptr;
    int fd = -1;
    S_file() = default;
    S_file(const S_file &) = delete;
    S_file &operator=(const S_file &) = delete;
    ~S_file()
    {
        cleanup_temporary_file(name, fd);
    }
};

struct S_way {
    bool ended;
    int64_t in_buffer; // records left in the buffer
    int64_t in_file;   // records of the run still in the file
    int64_t offset;    // file offset of the next unread record
    unsigned char *current;
    unsigned char *buffer;
};

struct S_sort {
    VES_SORT_COMPARE compare;
    VES_SORT_WRITER writer;
    void *writer_context;
    int64_t size;  // record size
    int64_t count; // record count
};

// Writes all bytes, retrying short writes. 0 or -1.
int S_write_all(int fd, const unsigned char *data, int64_t bytes)
{
    while (bytes > 0) {
        ssize_t done = write(fd, data, static_cast<size_t>(bytes));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return -1;
        data += done;
        bytes -= done;
    }
    return 0;
}

// Reads exactly bytes at offset. 0, or -1 on an error or an early end.
int S_read_exact(int fd, unsigned char *data, int64_t bytes, int64_t offset)
{
    while (bytes > 0) {
        ssize_t done = pread(fd, data, static_cast<size_t>(bytes), offset);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return -1;
        data += done;
        bytes -= done;
        offset += done;
    }
    return 0;
}

// Refills a way's buffer from its run; a run that is used up ends the way.
int S_way_fill(int fd, S_way *way, int64_t per_buffer, int64_t size)
{
    int64_t take = std::min(per_buffer, way->in_file);
    if (take <= 0) {
        way->ended = true;
        return 0;
    }
    if (S_read_exact(fd, way->buffer, take * size, way->offset) != 0)
        return VES_SORT_FILE_FAILED;
    way->offset += take * size;
    way->in_file -= take;
    way->in_buffer = take;
    way->current = way->buffer;
    return 0;
}

// Hands a filled output buffer to the writer (last pass) or the output file.
int32_t S_flush(const S_sort &sort, bool last, int out_fd, const unsigned char *data,
                int64_t records)
{
    if (records == 0)
        return 0;
    if (last)
        return sort.writer(sort.writer_context, data, static_cast<int32_t>(records)) < 0
                   ? VES_SORT_FILE_FAILED
                   : 0;
    return S_write_all(out_fd, data, records * sort.size) == 0 ? 0 : VES_SORT_FILE_FAILED;
}

// Merges the runs of length `run` in `input` pass by pass; the last pass goes
// to the writer. Files swap roles between passes.
int32_t S_merge(const S_sort &sort, S_file *input, S_file *output, int64_t run,
                int64_t merge_memory, int64_t ways)
{
    for (;;) {
        int64_t runs = (sort.count + run - 1) / run;
        int64_t k = std::min(runs, ways);
        int64_t per_buffer = merge_memory / (k + 1) / sort.size;
        if (per_buffer <= 0)
            return ZE_INVALID_ARGUMENT;
        int64_t buffer_bytes = per_buffer * sort.size;
        std::unique_ptr<unsigned char[]> memory(
            new (std::nothrow) unsigned char[buffer_bytes * (k + 1)]);
        if (!memory)
            return VES_SORT_NO_MEMORY;
        unsigned char *out = memory.get();
        int64_t out_count = 0;
        bool last = runs <= ways;
        if (!last) {
            if (ftruncate(output->fd, 0) != 0 || lseek(output->fd, 0, SEEK_SET) != 0)
                return VES_SORT_FILE_FAILED;
        }
        std::vector<S_way> way(static_cast<size_t>(k));
        for (int64_t group = 0; group < runs; group += ways) {
            int64_t members = std::min(ways, runs - group);
            for (int64_t w = 0; w < members; ++w) {
                int64_t first = (group + w) * run;
                way[w] = S_way{false,
                               0,
                               std::min(run, sort.count - first),
                               first * sort.size,
                               nullptr,
                               memory.get() + buffer_bytes * (w + 1)};
                if (S_way_fill(input->fd, &way[w], per_buffer, sort.size) != 0)
                    return VES_SORT_FILE_FAILED;
            }
            for (;;) {
                S_way *least = nullptr;
                for (int64_t w = 0; w < members; ++w) {
                    if (!way[w].ended &&
                        (!least || sort.compare(way[w].current, least->current) < 0))
                        least = &way[w];
                }
                if (!least)
                    break;
                memcpy(out + out_count * sort.size, least->current, static_cast<size_t>(sort.size));
                if (++out_count == per_buffer) {
                    int32_t rc = S_flush(sort, last, output->fd, out, out_count);
                    if (rc != 0)
                        return rc;
                    out_count = 0;
                }
                least->current += sort.size;
                if (--least->in_buffer == 0 &&
                    S_way_fill(input->fd, least, per_buffer, sort.size) != 0)
                    return VES_SORT_FILE_FAILED;
            }
        }
        int32_t rc = S_flush(sort, last, output->fd, out, out_count);
        if (rc != 0 || last)
            return rc;
        run *= ways;
        std::swap(input, output);
    }
}

// Sorts count records of N bytes stably, moving them as whole values.
template <size_t N> struct S_record {
    unsigned char bytes[N];
};

template <size_t N>
void S_sort_records(unsigned char *data, int64_t count, VES_SORT_COMPARE compare)
{
    auto *first = reinterpret_cast<S_record<N> *>(data);
    std::stable_sort(first, first + count, [compare](const S_record<N> &a, const S_record<N> &b) {
        return compare(a.bytes, b.bytes) < 0;
    });
}

// Other sizes: a stable sort of pointers, then the records gathered in that
// order. False when the scratch memory cannot be had.
bool S_sort_indirect(unsigned char *data, int64_t count, int64_t size, VES_SORT_COMPARE compare)
{
    try {
        std::vector<const unsigned char *> order(static_cast<size_t>(count));
        for (int64_t i = 0; i < count; i++)
            order[static_cast<size_t>(i)] = data + i * size;
        std::stable_sort(order.begin(), order.end(),
                         [compare](const unsigned char *a, const unsigned char *b) {
                             return compare(a, b) < 0;
                         });
        std::vector<unsigned char> sorted(static_cast<size_t>(count * size));
        for (int64_t i = 0; i < count; i++)
            memcpy(sorted.data() + i * size, order[static_cast<size_t>(i)],
                   static_cast<size_t>(size));
        memcpy(data, sorted.data(), sorted.size());
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

template <size_t... N>
bool S_sort_by_size(unsigned char *data, int64_t count, int64_t size, VES_SORT_COMPARE compare,
                    std::index_sequence<N...>)
{
    // Sizes 1 to 32 as whole values; N + 1 because the sequence starts at 0.
    return ((size == static_cast<int64_t>(N + 1)
                 ? (S_sort_records<N + 1>(data, count, compare), true)
                 : false) ||
            ...);
}

// Sorts a run in memory, equal records keeping their order; false when
// memory runs out.
bool S_sort_run(unsigned char *data, int64_t count, int64_t size, VES_SORT_COMPARE compare)
{
    if (S_sort_by_size(data, count, size, compare, std::make_index_sequence<32>{}))
        return true;
    switch (size) {
    case 40:
        S_sort_records<40>(data, count, compare);
        return true;
    case 48:
        S_sort_records<48>(data, count, compare);
        return true;
    case 64:
        S_sort_records<64>(data, count, compare);
        return true;
    default:
        return S_sort_indirect(data, count, size, compare);
    }
}

} // namespace

int32_t VES_MergeSort(VES_SORT_COMPARE compare, const char *temp_directory, void *reader_context,
                      VES_SORT_READER reader, void *writer_context, VES_SORT_WRITER writer,
                      int32_t record_size, int32_t record_count, int32_t sort_memory,
                      int32_t merge_memory, int32_t max_ways)
{
    if (!compare || !reader || !writer)
        return ZE_NULL_POINTER;
    if (record_size <= 0 || record_count < 0 || sort_memory <= 0 || merge_memory <= 0)
        return ZE_INVALID_ARGUMENT;
    if (record_count == 0)
        return ZE_SUCCESS;
    // One way could never reduce the number of runs.
    int64_t ways = std::min<int64_t>(max_ways, VES_SORT_MAX_WAYS);
    S_sort sort{compare, writer, writer_context, record_size, record_count};
    int64_t per_run = sort_memory / record_size;
    if (per_run <= 0)
        return ZE_INVALID_ARGUMENT;

    S_file files[2];
    bool on_file = record_count > per_run;
    if (on_file) {
        if (ways < 2)
            return ZE_INVALID_ARGUMENT;
        for (S_file &file : files) {
            if (plat_temp_file_create(temp_directory, "SORT", &file.name, &file.fd) != 0)
                return VES_SORT_FILE_FAILED;
        }
    } else {
        per_run = record_count;
    }

    std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[per_run * record_size]);
    if (!chunk)
        return VES_SORT_NO_MEMORY;

    for (int64_t done = 0; done < record_count;) {
        // A chunk is filled completely before it is sorted: the runs on file
        // must each hold exactly R records for the merge to find them.
        int64_t want = std::min(per_run, record_count - done);
        int64_t have = 0;
        while (have < want) {
            int32_t got = reader(reader_context, chunk.get() + have * record_size,
                                 static_cast<int32_t>(want - have));
            if (got <= 0 || got > want - have)
                return VES_SORT_READER_FAILED;
            have += got;
        }
        if (!S_sort_run(chunk.get(), want, record_size, compare))
            return VES_SORT_NO_MEMORY;
        if (!on_file) {
            int32_t rc = writer(writer_context, chunk.get(), static_cast<int32_t>(want));
            if (rc < 0)
                return rc;
        } else if (S_write_all(files[0].fd, chunk.get(), want * record_size) != 0) {
            perror("WRITE");
            return VES_SORT_FILE_FAILED;
        }
        done += want;
    }
    if (!on_file)
        return ZE_SUCCESS;
    chunk.reset();
    return S_merge(sort, &files[0], &files[1], per_run, merge_memory, ways);
}
