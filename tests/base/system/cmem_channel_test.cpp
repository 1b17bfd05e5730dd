// The coordinated-memory transport's primitives between two threads: a
// writer goes on once its bytes are in the ring and waits only while the ring
// is full, reads take what is there in order, an empty write leaves the pair
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

// Reads take the written bytes in order, whatever sizes they ask for: a
// read smaller than what is there leaves the rest, a larger one takes what
// is there. A write that fits the ring returns before anything is read; one
// larger than the ring waits until the reader has made room, so it cannot
// have returned before the first read.
TEST(CmemChannel, ReadsTakeTheWrittenBytesInOrder)
{
    struct Case {
        const char *what;
        int32_t written;
        std::vector<int32_t> reads; // sizes asked
        std::vector<int32_t> taken; // sizes answered; empty: any, as long as all come
    } cases[] = {
        {"one long", 4, {4}, {4}},
        {"two halves", 4, {2, 2}, {2, 2}},
        {"larger read takes what is there", 4, {8}, {4}},
        {"a block of the ring's size in three pieces",
         CMEM_RING_SIZE,
         {30000, 30000, 10000},
         {30000, 30000, CMEM_RING_SIZE - 60000}},
        {"a block larger than the ring", 3 * CMEM_RING_SIZE + 5, {30000}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Pair p;
        std::vector<uint8_t> sent(static_cast<size_t>(c.written));
        for (size_t i = 0; i < sent.size(); i++)
            sent[i] = static_cast<uint8_t>(i * 7 + 1);
        const bool fits = c.written <= CMEM_RING_SIZE;
        std::atomic<bool> returned{false};
        std::atomic<int32_t> answer{-1};
        std::thread writer([&] {
            answer = cmem_write(p.a, sent.data(), c.written);
            returned = true;
        });
        if (fits) {
            writer.join(); // nothing needs to be read first
            EXPECT_EQ(answer.load(), c.written);
        }
        std::vector<uint8_t> got;
        for (size_t i = 0; got.size() < sent.size(); i++) {
            const int32_t ask = c.reads[i % c.reads.size()];
            S_await_publication(p.b);
            if (i == 0 && !fits) {
                EXPECT_FALSE(returned.load()); // waits for room
            }
            EXPECT_EQ(cmem_data_waiting(p.b), 1);
            std::vector<uint8_t> piece(static_cast<size_t>(ask));
            int32_t n = cmem_read(p.b, piece.data(), ask);
            if (!c.taken.empty() && i < c.taken.size()) {
                EXPECT_EQ(n, c.taken[i]);
            }
            ASSERT_GT(n, 0);
            ASSERT_LE(n, ask);
            got.insert(got.end(), piece.begin(), piece.begin() + n);
        }
        if (!fits)
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

// Destroying an end ends the other's wait: a reader waiting for bytes and a
// writer waiting for room both fail.
TEST(CmemChannel, ClosingAnEndWakesThePeer)
{
    for (bool reader_waits : {true, false}) {
        SCOPED_TRACE(reader_waits ? "reader waits" : "writer waits");
        CMEM *a = cmem_create(), *b = cmem_create();
        ASSERT_EQ(cmem_connect(a, b), 0);
        int32_t value = 9;
        std::atomic<int32_t> answer{-1};
        // More than the ring holds: the writer waits for room.
        std::vector<uint8_t> block(CMEM_RING_SIZE + 4);
        std::thread waiter([&] {
            answer = reader_waits ? cmem_read(b, &value, 4)
                                  : cmem_write(b, block.data(), static_cast<int32_t>(block.size()));
        });
        if (!reader_waits)
            S_await_publication(a);
        cmem_destroy(a);
        waiter.join();
        EXPECT_EQ(answer.load(), 0);
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
