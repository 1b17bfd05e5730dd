// A record stream through each transport of the channel against a socket
// pair, memcpy through a mapping and a pipe, in the same run and over the
// same record layer (the raw forms): per iteration the reader asks for 1000
// rows with a long and the server thread answers with the rows, each a long
// id, two doubles, a name string and a short flag, which the reader takes
// and checks. The channels are driven through the CH_ members, as a host
// drives them.
// - coordinated memory: two paired type-2 channels;
// - shared memory: the two sides of one type-3 channel (threads of this
//   process; the bytes cross the same mapping as between two processes);
// - socket pair: type-0 channels over a local socket pair with their write
//   and read areas and a flush per answer, as a host runs them;
// - pipe: the unbuffered record layer over two pipes, a system call per
//   piece;
// - memcpy through a mapping: the rows written into a shared mapping and
//   read back out by one thread, no synchronisation: the floor.
// The ratios printed at the end are the memory transports' rows/s against
// the socket pair's.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "base/system/ch_channel.h"
#include "base/system/ch_channel_internal.h"
#include "base/system/shm_channel_internal.h"
#include "base/system/so_channel_internal.h"
#include "bench/bench_ratio.h"
#include "platform/plat_socket_internal.h"

namespace
{

constexpr int32_t kRows = 1000;
constexpr int32_t kFetch = 1, kStop = 0;

// The rows of one answer, written through the socket members so that every
// transport runs the same record layer.
int32_t S_write_rows(SO_CHANNEL *so)
{
    int32_t rc = 0;
    for (int32_t i = 0; i < kRows && rc == 0; i++) {
        rc = SO_write_long(so, i);
        if (rc == 0)
            rc = SO_write_lfloat(so, 1000.5 + i);
        if (rc == 0)
            rc = SO_write_lfloat(so, -2000.25 - i);
        if (rc == 0)
            rc = SO_write_string(so, "parcel name");
        if (rc == 0)
            rc = SO_write_short(so, static_cast<int16_t>(i & 7));
    }
    return rc;
}

// Reads the rows of one answer into a sum that keeps them from the
// optimiser; false when a row did not come whole.
bool S_read_rows(SO_CHANNEL *so, int64_t &sum)
{
    for (int32_t i = 0; i < kRows; i++) {
        int32_t id = -1;
        double x = 0, y = 0;
        char name[32];
        int16_t flag = 0;
        if (SO_read_long(so, &id) != 0 || SO_read_lfloat(so, &x) != 0 ||
            SO_read_lfloat(so, &y) != 0 || SO_read_string(so, name, sizeof name) != 0 ||
            SO_read_short(so, &flag) != 0 || id != i)
            return false;
        sum += id + flag + static_cast<int64_t>(x + y) + name[0];
    }
    return true;
}

// The rows of one answer through a channel's members.
int32_t S_write_rows(CH_CHANNEL *ch)
{
    int32_t rc = 0;
    for (int32_t i = 0; i < kRows && rc == 0; i++) {
        rc = CH_write_long(ch, i);
        if (rc == 0)
            rc = CH_write_lfloat(ch, 1000.5 + i);
        if (rc == 0)
            rc = CH_write_lfloat(ch, -2000.25 - i);
        if (rc == 0)
            rc = CH_write_string(ch, "parcel name");
        if (rc == 0)
            rc = CH_write_short(ch, static_cast<int16_t>(i & 7));
    }
    return rc;
}

bool S_read_rows(CH_CHANNEL *ch, int64_t &sum)
{
    for (int32_t i = 0; i < kRows; i++) {
        int32_t id = -1;
        double x = 0, y = 0;
        char name[32];
        int16_t flag = 0;
        if (CH_read_long(ch, &id) != 0 || CH_read_lfloat(ch, &x) != 0 ||
            CH_read_lfloat(ch, &y) != 0 || CH_read_string(ch, name, sizeof name) != 0 ||
            CH_read_short(ch, &flag) != 0 || id != i)
            return false;
        sum += id + flag + static_cast<int64_t>(x + y) + name[0];
    }
    return true;
}

// The server thread of two channels: answers each fetch with the rows until
// told to stop, flushing each answer (a memory channel has nothing held).
void S_serve(CH_CHANNEL *ch)
{
    int32_t command = kStop;
    while (CH_read_long(ch, &command) == 0 && command == kFetch) {
        if (S_write_rows(ch) != 0 || CH_flush(ch) != 0)
            return;
    }
}

// Runs the stream between two channels.
void S_stream(benchmark::State &state, CH_CHANNEL *client, CH_CHANNEL *server)
{
    std::thread serving([&] { S_serve(server); });
    for (auto _ : state) {
        CH_write_long(client, kFetch);
        CH_flush(client);
        int64_t sum = 0;
        if (!S_read_rows(client, sum)) {
            state.SkipWithError("the stream broke");
            break;
        }
        benchmark::DoNotOptimize(sum);
    }
    CH_write_long(client, kStop);
    CH_flush(client);
    serving.join();
    state.SetItemsProcessed(state.iterations() * kRows);
}

// The server thread: answers each fetch with the rows until told to stop.
void S_serve(SO_CHANNEL *so, bool flush)
{
    int32_t command = kStop;
    while (SO_read_long(so, &command) == 0 && command == kFetch) {
        if (S_write_rows(so) != 0 || (flush && so_flush(so) != 0))
            return;
    }
}

// Runs the stream between a client and a server record layer.
void S_stream(benchmark::State &state, SO_CHANNEL *client, SO_CHANNEL *server, bool flush)
{
    std::thread serving([&] { S_serve(server, flush); });
    for (auto _ : state) {
        SO_write_long(client, kFetch);
        if (flush)
            so_flush(client);
        int64_t sum = 0;
        if (!S_read_rows(client, sum)) {
            state.SkipWithError("the stream broke");
            break;
        }
        benchmark::DoNotOptimize(sum);
    }
    SO_write_long(client, kStop);
    if (flush)
        so_flush(client);
    serving.join();
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_RowsCoordinatedMemory(benchmark::State &state)
{
    CH_CHANNEL *a = CH_create(CH_TYPE_COORDINATED_MEMORY, 0, nullptr);
    CH_CHANNEL *b = CH_create(CH_TYPE_COORDINATED_MEMORY, 0, nullptr);
    ch_pair_coordinated_memory(a, b);
    S_stream(state, a, b);
    CH_destroy(a);
    CH_destroy(b);
}
BENCHMARK(BM_RowsCoordinatedMemory)->UseRealTime();

void BM_RowsSharedMemory(benchmark::State &state)
{
    const std::string name = "rowbench_" + std::to_string(getpid());
    SHM_OBJECT *creator = nullptr, *opener = nullptr;
    if (shm_client_init(&creator, name.c_str()) != 0 ||
        SHM_server_init(&opener, name.c_str()) != 0) {
        state.SkipWithError("no shared memory");
        shm_destroy(creator);
        return;
    }
    CH_CHANNEL *a = CH_create(CH_TYPE_SHARED_MEMORY, 0, nullptr);
    CH_CHANNEL *b = CH_create(CH_TYPE_SHARED_MEMORY, 0, nullptr);
    ch_attach_shared_memory(creator, a, getpid());
    ch_attach_shared_memory(opener, b, getpid());
    S_stream(state, a, b);
    CH_destroy(a);
    CH_destroy(b);
}
BENCHMARK(BM_RowsSharedMemory)->UseRealTime();

// One end of two pipes: reads from one, writes to the other.
struct PipeEnd {
    int in, out;
};

ssize_t S_pipe_recv(void *ctx, void *dst, size_t n)
{
    return read(static_cast<PipeEnd *>(ctx)->in, dst, n);
}

ssize_t S_pipe_send(void *ctx, const void *src, size_t n)
{
    return write(static_cast<PipeEnd *>(ctx)->out, src, n);
}

int S_pipe_poll(void *ctx)
{
    pollfd p = {static_cast<PipeEnd *>(ctx)->in, POLLIN, 0};
    return poll(&p, 1, 0);
}

void BM_RowsPipe(benchmark::State &state)
{
    int to_server[2], to_client[2];
    if (pipe(to_server) != 0 || pipe(to_client) != 0) {
        state.SkipWithError("no pipe");
        return;
    }
    PipeEnd client_end = {to_client[0], to_server[1]}, server_end = {to_server[0], to_client[1]};
    SO_LINK client_link = {&client_end, S_pipe_recv, S_pipe_send, S_pipe_poll};
    SO_LINK server_link = {&server_end, S_pipe_recv, S_pipe_send, S_pipe_poll};
    SO_CHANNEL *client = so_create_on_link(&client_link, 0, 0);
    SO_CHANNEL *server = so_create_on_link(&server_link, 0, 0);
    S_stream(state, client, server, false);
    SO_destroy(client);
    SO_destroy(server);
    for (int fd : {to_server[0], to_server[1], to_client[0], to_client[1]})
        close(fd);
}
BENCHMARK(BM_RowsPipe)->UseRealTime();

void BM_RowsSocketPair(benchmark::State &state)
{
    int fds[2];
    if (plat_socket_pair(fds) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    CH_CHANNEL *a = CH_create(CH_TYPE_SOCKET, 0, &fds[0]);
    CH_CHANNEL *b = CH_create(CH_TYPE_SOCKET, 0, &fds[1]);
    S_stream(state, a, b);
    CH_destroy(a);
    CH_destroy(b);
    plat_socket_close(fds[0]);
    plat_socket_close(fds[1]);
}
BENCHMARK(BM_RowsSocketPair)->UseRealTime();

// A link that copies into a shared mapping and back out of it.
struct Mapping {
    uint8_t *base = nullptr;
    size_t size = 0, write_at = 0, read_at = 0;
};

ssize_t S_map_recv(void *ctx, void *dst, size_t n)
{
    auto *m = static_cast<Mapping *>(ctx);
    if (n > m->write_at - m->read_at)
        return -1;
    std::memcpy(dst, m->base + m->read_at, n);
    m->read_at += n;
    return static_cast<ssize_t>(n);
}

ssize_t S_map_send(void *ctx, const void *src, size_t n)
{
    auto *m = static_cast<Mapping *>(ctx);
    if (n > m->size - m->write_at)
        return -1;
    std::memcpy(m->base + m->write_at, src, n);
    m->write_at += n;
    return static_cast<ssize_t>(n);
}

int S_map_poll(void *ctx)
{
    auto *m = static_cast<Mapping *>(ctx);
    return m->write_at > m->read_at ? 1 : 0;
}

void BM_RowsMemcpyThroughMapping(benchmark::State &state)
{
    Mapping m;
    m.size = 1 << 20;
    void *base = mmap(nullptr, m.size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        state.SkipWithError("no mapping");
        return;
    }
    m.base = static_cast<uint8_t *>(base);
    SO_LINK link = {&m, S_map_recv, S_map_send, S_map_poll};
    SO_CHANNEL *so = so_create_on_link(&link, 0, 0);
    for (auto _ : state) {
        m.write_at = m.read_at = 0;
        int64_t sum = 0;
        if (S_write_rows(so) != 0 || !S_read_rows(so, sum)) {
            state.SkipWithError("the copy broke");
            break;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    SO_destroy(so);
    munmap(base, m.size);
}
BENCHMARK(BM_RowsMemcpyThroughMapping)->UseRealTime();

} // namespace

ZEL_BENCH_MAIN({"BM_RowsSharedMemory", "BM_RowsSocketPair", ">= 2"},
               {"BM_RowsCoordinatedMemory", "BM_RowsSocketPair", ">= 1"})
