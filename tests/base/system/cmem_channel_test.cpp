// The coordinated-memory transport's primitives between two threads: a
// writer's bytes stay its own until the reader has taken every one of them,
// reads take what is published in order, an empty write leaves the pair
// usable, and closing an end wakes the thread waiting on the other.
#include "base/system/cmem_channel_internal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

struct Pair {
    CMEM *a = cmem_create();
    CMEM *b = cmem_create();
    Pair()
    {
        EXPECT_EQ(cmem_connect(a, b), 0);
    }
    ~Pair()
    {
        cmem_destroy(a);
        cmem_destroy(b);
    }
    Pair(const Pair &) = delete;
    Pair &operator=(const Pair &) = delete;
};

// Waits until end has a publication of its peer to read.
void S_await_publication(CMEM *end)
{
    while (cmem_data_waiting(end) == 0)
        std::this_thread::yield();
}

} // namespace

// A write publishes the writer's own bytes and returns only once the reader
// has copied all of them, whatever sizes the reads take: a read smaller than
// the publication leaves the rest (and the writer waiting), a larger one
// takes what is there.
TEST(CmemChannel, ReadsTakeThePublicationInOrderWhileTheWriterWaits)
{
    struct Case {
        const char *what;
        int32_t written;
        std::vector<int32_t> reads; // sizes asked
        std::vector<int32_t> taken; // sizes answered
    } cases[] = {
        {"one long", 4, {4}, {4}},
        {"two halves", 4, {2, 2}, {2, 2}},
        {"larger read takes what is published", 4, {8}, {4}},
        {"a large block in three pieces", 100000, {30000, 30000, 50000}, {30000, 30000, 40000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Pair p;
        std::vector<uint8_t> sent(static_cast<size_t>(c.written));
        for (size_t i = 0; i < sent.size(); i++)
            sent[i] = static_cast<uint8_t>(i * 7 + 1);
        std::atomic<bool> returned{false};
        std::atomic<int32_t> answer{-1};
        std::thread writer([&] {
            answer = cmem_write(p.a, sent.data(), c.written);
            returned = true;
        });
        std::vector<uint8_t> got;
        for (size_t i = 0; i < c.reads.size(); i++) {
            S_await_publication(p.b);
            EXPECT_FALSE(returned.load()); // bytes are still published
            EXPECT_EQ(cmem_data_waiting(p.b), 1);
            std::vector<uint8_t> piece(static_cast<size_t>(c.reads[i]));
            int32_t n = cmem_read(p.b, piece.data(), c.reads[i]);
            EXPECT_EQ(n, c.taken[i]);
            got.insert(got.end(), piece.begin(), piece.begin() + (n > 0 ? n : 0));
        }
        writer.join();
        EXPECT_EQ(answer.load(), c.written);
        EXPECT_EQ(got, sent);
        EXPECT_EQ(cmem_data_waiting(p.b), 0);
    }
}

// Writes in both directions at once: each end reads only its peer's bytes.
TEST(CmemChannel, EachDirectionHasItsOwnPublication)
{
    Pair p;
    const char a_says[] = "from a", b_says[] = "from b";
    std::thread a_writes([&] { EXPECT_EQ(cmem_write(p.a, a_says, sizeof a_says), 7); });
    std::thread b_writes([&] { EXPECT_EQ(cmem_write(p.b, b_says, sizeof b_says), 7); });
    char at_a[7] = {}, at_b[7] = {};
    EXPECT_EQ(cmem_read(p.b, at_b, 7), 7);
    EXPECT_EQ(cmem_read(p.a, at_a, 7), 7);
    a_writes.join();
    b_writes.join();
    EXPECT_STREQ(at_b, "from a");
    EXPECT_STREQ(at_a, "from b");
}

// An empty write moves nothing and does not wedge the pair: the next write
// and read go through.
TEST(CmemChannel, EmptyWriteLeavesThePairUsable)
{
    Pair p;
    const int32_t value = 0x01020304;
    EXPECT_EQ(cmem_write(p.a, &value, 0), 0);
    EXPECT_EQ(cmem_write(p.a, nullptr, 0), 0);
    EXPECT_EQ(cmem_data_waiting(p.b), 0);
    std::thread writer([&] { EXPECT_EQ(cmem_write(p.a, &value, 4), 4); });
    int32_t got = 0;
    EXPECT_EQ(cmem_read(p.b, &got, 4), 4);
    writer.join();
    EXPECT_EQ(got, value);
}

// Destroying an end ends the other's wait: a reader waiting for a
// publication and a writer waiting for its bytes to be taken both fail.
TEST(CmemChannel, ClosingAnEndWakesThePeer)
{
    for (bool reader_waits : {true, false}) {
        SCOPED_TRACE(reader_waits ? "reader waits" : "writer waits");
        CMEM *a = cmem_create(), *b = cmem_create();
        ASSERT_EQ(cmem_connect(a, b), 0);
        int32_t value = 9, answer = -1;
        std::thread waiter(
            [&] { answer = reader_waits ? cmem_read(b, &value, 4) : cmem_write(b, &value, 4); });
        if (!reader_waits)
            S_await_publication(a);
        cmem_destroy(a);
        waiter.join();
        EXPECT_EQ(answer, 0);
        // Later transfers of the other end fail at once.
        EXPECT_EQ(cmem_read(b, &value, 4), 0);
        EXPECT_EQ(cmem_write(b, &value, 4), 0);
        cmem_destroy(b);
    }
}

// Ends that are not connected, and connections that are refused.
TEST(CmemChannel, UnconnectedEndsAndRefusedConnections)
{
    CMEM *a = cmem_create(), *b = cmem_create(), *c = cmem_create();
    int32_t value = 1;
    EXPECT_EQ(cmem_write(a, &value, 4), 0);
    EXPECT_EQ(cmem_read(a, &value, 4), 0);
    EXPECT_EQ(cmem_data_waiting(a), -1);
    EXPECT_EQ(cmem_connect(a, a), -1);
    EXPECT_EQ(cmem_connect(a, nullptr), -1);
    EXPECT_EQ(cmem_connect(a, b), 0);
    EXPECT_EQ(cmem_connect(a, c), -1);
    EXPECT_EQ(cmem_connect(c, b), -1);
    EXPECT_EQ(cmem_write(nullptr, &value, 4), 0);
    EXPECT_EQ(cmem_read(nullptr, &value, 4), 0);
    EXPECT_EQ(cmem_write(a, nullptr, 4), 0);
    EXPECT_EQ(cmem_write(a, &value, -1), 0);
    cmem_destroy(a);
    cmem_destroy(b);
    cmem_destroy(c);
    cmem_destroy(nullptr);
}
