// The socket transport's byte layer: which sends and receives the write and
// read areas make (through a scripted link that records every call), the
// order of a pending request and its answer, unbuffered transports, the
// readiness question, CH_readn and CH_writen on real sockets, and a transport
// that stays broken once a transfer has failed.
#include "base/system/so_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <numeric>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/base/system/so_fixture.h"
#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

using so_test::Bytes;
using so_test::Loopback;

namespace
{

// A link that hands out its input in chunks of at most `chunk` bytes and
// records every call: 'S' and 'R' in `calls`, the sizes asked in `sends` and
// `asks`.
struct Script {
    Bytes input;
    size_t at = 0;
    size_t chunk = SIZE_MAX;
    bool send_fails = false;
    std::string calls;
    std::vector<size_t> sends, asks;
    Bytes sent;

    static ssize_t recv(void *ctx, void *dst, size_t n)
    {
        auto *s = static_cast<Script *>(ctx);
        s->calls += 'R';
        s->asks.push_back(n);
        size_t give = std::min({n, s->chunk, s->input.size() - s->at});
        std::memcpy(dst, s->input.data() + s->at, give);
        s->at += give;
        return static_cast<ssize_t>(give);
    }
    static ssize_t send(void *ctx, const void *src, size_t n)
    {
        auto *s = static_cast<Script *>(ctx);
        s->calls += 'S';
        s->sends.push_back(n);
        if (s->send_fails)
            return -1;
        s->sent.insert(s->sent.end(), static_cast<const uint8_t *>(src),
                       static_cast<const uint8_t *>(src) + n);
        return static_cast<ssize_t>(n);
    }
    static int poll(void *ctx)
    {
        auto *s = static_cast<Script *>(ctx);
        return s->at < s->input.size() ? 1 : 0;
    }
    SO_CHANNEL *open(int32_t write_size = 4096, int32_t read_size = 8192)
    {
        SO_LINK link = {this, recv, send, poll};
        return so_create_on_link(&link, write_size, read_size);
    }
};

Bytes S_counting(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return b;
}

struct Transport {
    SO_CHANNEL *so;
    explicit Transport(SO_CHANNEL *s) : so(s)
    {
        EXPECT_NE(so, nullptr);
    }
    ~Transport()
    {
        SO_destroy(so);
    }
};

} // namespace

TEST(SoChannel, CreationRoundsTheAreasAndRefusesBadArguments)
{
    int fd = 0;
    SO_CHANNEL *so = SO_create(&fd, 4095, 8190);
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->write_size, 4096);
    EXPECT_EQ(so->read_size, 8192);
    EXPECT_EQ(so->write_area, so->buffer + 8192);
    SO_destroy(so);
    EXPECT_EQ(SO_create(nullptr, 4096, 8192), nullptr);
    EXPECT_EQ(SO_create(&fd, -1, 8192), nullptr);
    EXPECT_EQ(SO_create(&fd, INT32_MAX, INT32_MAX), nullptr);
    SO_destroy(nullptr);
}

// Small values leave in one send per full area or flush; a piece larger than
// the area tops up what is pending and the rest goes straight out.
TEST(SoChannel, WriteAreaSends)
{
    struct Case {
        const char *what;
        size_t pending, piece;
        std::vector<size_t> sends; // before the flush
    } cases[] = {
        {"large piece on an empty area", 0, 10000, {10000}},
        {"large piece behind 100 bytes", 100, 10000, {4096, 6004}},
        {"piece that just fills the area", 96, 4000, {4096}},
        {"small piece", 100, 200, {}},
        {"piece of exactly the area", 0, 4096, {4096}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Script script;
        Transport t(script.open());
        Bytes data = S_counting(c.pending + c.piece);
        ASSERT_EQ(so_write_buffered(t.so, data.data(), static_cast<int32_t>(c.pending)),
                  static_cast<int32_t>(c.pending));
        ASSERT_EQ(so_write_buffered(t.so, data.data() + c.pending, static_cast<int32_t>(c.piece)),
                  static_cast<int32_t>(c.piece));
        EXPECT_EQ(script.sends, c.sends);
        ASSERT_EQ(so_flush(t.so), ZE_SUCCESS);
        EXPECT_EQ(script.sent, data); // in order, nothing lost
    }
}

TEST(SoChannel, ManySmallValuesMakeOneSendPerArea)
{
    Script script;
    Transport t(script.open());
    for (int32_t i = 0; i < 1025; i++)
        ASSERT_EQ(SO_write_long(t.so, i), ZE_SUCCESS);
    EXPECT_EQ(script.sends, std::vector<size_t>({4096}));
    ASSERT_EQ(so_flush(t.so), ZE_SUCCESS);
    EXPECT_EQ(script.sends, std::vector<size_t>({4096, 4}));
    EXPECT_EQ(so_test::le32(script.sent, 4096), 1024);
}

// With 100 bytes in the read area, a read larger than the area hands them out
// and receives the rest straight into the destination; a smaller one fills
// the area behind them with as much as the link gives.
TEST(SoChannel, ReadAreaFillsAndIsBypassed)
{
    Script script;
    script.input = S_counting(4 + 20000 + 4 + 5000 + 3000);
    script.chunk = 104;
    Transport t(script.open());
    int32_t first = 0;
    ASSERT_EQ(SO_read_long(t.so, &first), ZE_SUCCESS);
    EXPECT_EQ(script.asks, std::vector<size_t>({8192}));
    EXPECT_EQ(t.so->read_end - t.so->read_pos, 100);

    script.chunk = SIZE_MAX;
    Bytes big(20000);
    ASSERT_EQ(so_read_buffered(t.so, big.data(), 20000), 20000);
    EXPECT_EQ(script.asks, std::vector<size_t>({8192, 19900}));
    EXPECT_TRUE(std::equal(big.begin(), big.end(), script.input.begin() + 4));

    script.chunk = 104;
    ASSERT_EQ(SO_read_long(t.so, &first), ZE_SUCCESS); // 100 bytes left in the area again
    script.chunk = SIZE_MAX;
    Bytes small(5000);
    ASSERT_EQ(so_read_buffered(t.so, small.data(), 5000), 5000);
    ASSERT_EQ(script.asks.size(), 4u);
    EXPECT_EQ(script.asks[3], 8192u - 104); // the room behind the area's bytes
    EXPECT_TRUE(std::equal(small.begin(), small.end(), script.input.begin() + 20008));
    EXPECT_EQ(t.so->read_end - t.so->read_pos, 3000); // the rest waits in the area
}

TEST(SoChannel, NoReceiveAsksForMoreThan65535Bytes)
{
    Script script;
    script.input = S_counting(200000);
    Transport t(script.open());
    Bytes got(200000);
    ASSERT_EQ(SO_read_block(t.so, got.data(), 200000), ZE_SUCCESS);
    EXPECT_EQ(got, script.input);
    EXPECT_LE(*std::max_element(script.asks.begin(), script.asks.end()), 65535u);
}

TEST(SoChannel, PendingOutputIsSentBeforeAReadWaits)
{
    Script script;
    script.input = {1, 0, 0, 0};
    Transport t(script.open());
    ASSERT_EQ(SO_write_long(t.so, 7), ZE_SUCCESS);
    EXPECT_EQ(script.calls, "");
    int32_t answer = 0;
    ASSERT_EQ(SO_read_long(t.so, &answer), ZE_SUCCESS);
    EXPECT_EQ(script.calls, "SR");
    EXPECT_EQ(answer, 1);
}

TEST(SoChannel, ZeroSizeMeansUnbufferedBothWays)
{
    for (auto sizes : {std::pair<int32_t, int32_t>{0, 8192}, {4096, 0}}) {
        Script script;
        script.input = {1, 0, 0, 0, 2, 0, 0, 0};
        Transport t(script.open(sizes.first, sizes.second));
        EXPECT_EQ(t.so->buffer, nullptr);
        ASSERT_EQ(SO_write_long(t.so, 1), ZE_SUCCESS);
        ASSERT_EQ(SO_write_short(t.so, 2), ZE_SUCCESS);
        EXPECT_EQ(script.sends, std::vector<size_t>({4, 2}));
        int32_t a = 0, b = 0;
        ASSERT_EQ(SO_read_long(t.so, &a), ZE_SUCCESS);
        ASSERT_EQ(SO_read_long(t.so, &b), ZE_SUCCESS);
        EXPECT_EQ(script.asks, std::vector<size_t>({4, 4}));
        EXPECT_EQ(a + b, 3);
    }
}

// A peer that ends early gives -1 without waiting, and the transport stays
// broken: no later call reaches the link, not even the flush at destruction.
TEST(SoChannel, ShortPeerBreaksTheTransport)
{
    Script script;
    script.input = {1, 2};
    SO_CHANNEL *so = script.open();
    ASSERT_EQ(SO_write_long(so, 5), ZE_SUCCESS);
    int32_t value = 0;
    EXPECT_EQ(SO_read_long(so, &value), ZE_FAILURE);
    const std::string calls = script.calls;
    ASSERT_EQ(SO_write_long(so, 6), ZE_FAILURE);
    EXPECT_EQ(SO_read_long(so, &value), ZE_FAILURE);
    EXPECT_EQ(so_flush(so), ZE_FAILURE);
    EXPECT_EQ(so_data_waiting(so), ZE_FAILURE);
    SO_destroy(so);
    EXPECT_EQ(script.calls, calls);
}

// A request that cannot be sent is not waited on for its answer.
TEST(SoChannel, FailedSendBreaksTheTransport)
{
    for (bool by_read : {false, true}) {
        Script script;
        script.send_fails = true;
        script.input = {1, 0, 0, 0};
        SO_CHANNEL *so = script.open();
        ASSERT_EQ(SO_write_long(so, 5), ZE_SUCCESS);
        int32_t answer = 0;
        if (by_read)
            EXPECT_EQ(SO_read_long(so, &answer), ZE_FAILURE);
        else
            EXPECT_EQ(so_flush(so), ZE_FAILURE);
        EXPECT_EQ(SO_write_long(so, 6), ZE_FAILURE);
        SO_destroy(so);
        EXPECT_EQ(script.calls, "S");
    }
}

// A receive or send time-out the host set on the socket fails the read or
// the write, and the transport stays broken: nothing is tried again. Should
// the channel wait on, the test frees it after a few seconds.
TEST(SoChannel, AHostsTimeOutFailsTheReadOrTheWrite)
{
    for (int option : {SO_RCVTIMEO, SO_SNDTIMEO}) {
        SCOPED_TRACE(option == SO_RCVTIMEO ? "receive" : "send");
        Loopback link(0, 0);
        timeval limit = {0, 100000};
        ASSERT_EQ(setsockopt(link.ours, SOL_SOCKET, option, &limit, sizeof limit), 0);
        std::atomic<bool> stop{false};
        std::promise<int32_t> outcome;
        std::future<int32_t> done = outcome.get_future();
        std::thread caller([&] {
            int32_t rc = 0;
            if (option == SO_RCVTIMEO) {
                int32_t value = 0;
                rc = SO_read_long(link.so, &value);
            } else {
                // The peer reads nothing: the socket fills, then a send times out.
                std::vector<uint8_t> block(1 << 16, 7);
                while (!stop && rc == 0)
                    rc = SO_write_block(link.so, block.data(), static_cast<int32_t>(block.size()));
            }
            outcome.set_value(rc);
        });
        const bool ended = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        if (!ended) {
            stop = true;
            send(link.peer, "abcd", 4, MSG_DONTWAIT | MSG_NOSIGNAL);
            uint8_t sink[65536];
            while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
                recv(link.peer, sink, sizeof sink, MSG_DONTWAIT);
        }
        caller.join();
        EXPECT_TRUE(ended) << "the channel waited past the socket's time-out";
        EXPECT_EQ(done.get(), ZE_FAILURE);
        // Broken: with bytes to read now, the read still fails at once.
        ASSERT_EQ(plat_socket_send(link.peer, "abcd", 4), 4);
        int32_t value = 0;
        EXPECT_EQ(SO_read_long(link.so, &value), ZE_FAILURE);
    }
}

// A write refused for its arguments sends nothing and leaves the transport
// usable; a read refused for a null destination reads nothing.
TEST(SoChannel, RefusedArgumentsDoNotBreakTheTransport)
{
    Script script;
    script.input = {9, 0, 0, 0};
    Transport t(script.open());
    EXPECT_EQ(SO_write_fid_array(t.so, nullptr, 3), ZE_NULL_POINTER);
    EXPECT_EQ(SO_write_block(t.so, "x", -1), ZE_INVALID_ARGUMENT);
    LAYER no_reference = {};
    EXPECT_EQ(SO_write_layer(t.so, &no_reference), ZE_NULL_POINTER);
    // An index definition holds at most 16 key columns: no more are read.
    char *names[DB_INDEX_MAX_COLUMNS + 1] = {};
    int32_t order[DB_INDEX_MAX_COLUMNS + 1] = {};
    DB_INDEX_DEF wide = {DB_INDEX_MAX_COLUMNS + 1, names, "wide_ix", 0, order};
    EXPECT_EQ(SO_write_index_def(t.so, 1, &wide), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SO_read_long(t.so, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SO_read_string(t.so, nullptr, 10), ZE_NULL_POINTER);
    int32_t value = 0;
    ASSERT_EQ(SO_read_long(t.so, &value), ZE_SUCCESS);
    EXPECT_EQ(value, 9);
    EXPECT_TRUE(script.sent.empty());
}

// Readiness is the socket's alone: bytes already in the read area do not count.
TEST(SoChannel, DataWaitingAsksTheSocketOnly)
{
    Loopback l;
    EXPECT_EQ(so_data_waiting(l.so), 0);
    l.peer_send({1, 0, 0, 0, 2, 0, 0, 0});
    ASSERT_EQ(plat_socket_poll(l.ours, PLAT_SOCKET_READABLE, 5000), 1);
    EXPECT_EQ(so_data_waiting(l.so), 1);
    int32_t value = 0;
    ASSERT_EQ(SO_read_long(l.so, &value), ZE_SUCCESS);
    EXPECT_EQ(l.so->read_end - l.so->read_pos, 4); // the answer waits in the area
    EXPECT_EQ(so_data_waiting(l.so), 0);
    EXPECT_EQ(so_data_waiting(nullptr), ZE_FAILURE);
}

TEST(SoChannel, ReadnAndWritenOnSockets)
{
    int fds[2];
    ASSERT_EQ(plat_socket_pair(fds), 0);
    Bytes data = S_counting(300000);
    // Larger than the socket buffers: the reader drains while the writer sends.
    std::vector<uint8_t> got(300000);
    int32_t read = 0;
    std::thread reader([&] { read = CH_readn(fds[1], got.data(), 300000); });
    EXPECT_EQ(CH_writen(fds[0], data.data(), 300000), 300000);
    reader.join();
    EXPECT_EQ(read, 300000);
    EXPECT_EQ(got, data);
    // A peer that closes after 3 bytes: the count so far.
    ASSERT_EQ(CH_writen(fds[0], "abc", 3), 3);
    plat_socket_close(fds[0]);
    uint8_t buffer[10];
    EXPECT_EQ(CH_readn(fds[1], buffer, 10), 3);
    // Writing to a closed peer fails without raising SIGPIPE.
    EXPECT_EQ(CH_writen(fds[1], data.data(), 300000), ZE_FAILURE);
    EXPECT_EQ(CH_readn(fds[1], buffer, -1), ZE_FAILURE);
    plat_socket_close(fds[1]);
}
