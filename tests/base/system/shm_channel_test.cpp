// The shared-memory transport's set-up and primitives: the two sides of a
// channel (in threads of this process, or in a child process where the
// peer's death matters), large writes through the bounded areas, the two
// directions kept apart, unread bytes never overwritten, and the ways a wait
// ends: the peer closes, the peer dies, or no peer is known.
#include "base/system/shm_channel_internal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/util/zel_errors.h"
#include "platform/plat_shm_internal.h"
#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

std::string S_channel_name(const char *what)
{
    return std::string("shmtest_") + what + "_" + std::to_string(getpid());
}

// Both sides of one channel in this process, each knowing this process as
// its peer.
struct Sides {
    SHM_OBJECT *creator = nullptr, *opener = nullptr;
    explicit Sides(const std::string &name)
    {
        EXPECT_EQ(shm_client_init(&creator, name.c_str()), 0);
        EXPECT_EQ(SHM_server_init(&opener, name.c_str()), 0);
        EXPECT_EQ(shm_open_peer_process(creator, getpid()), 0);
        EXPECT_EQ(shm_open_peer_process(opener, getpid()), 0);
    }
    ~Sides()
    {
        shm_destroy(creator);
        shm_destroy(opener);
    }
    Sides(const Sides &) = delete;
    Sides &operator=(const Sides &) = delete;
};

std::vector<uint8_t> S_pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; i++)
        bytes[i] = static_cast<uint8_t>(i * 31 + seed);
    return bytes;
}

} // namespace

// Writes larger than an area go through in pieces while the reader takes
// them, in both directions and in reads of any size.
TEST(ShmChannel, LargeWritesCrossInPiecesBothWays)
{
    Sides s(S_channel_name("large"));
    struct Case {
        const char *what;
        size_t size;
        size_t read_piece;
        bool from_creator;
    } cases[] = {
        {"250000 bytes read whole", 250000, 250000, true},
        {"250000 bytes read in odd pieces", 250000, 7777, true},
        {"the other way", 250000, 250000, false},
        {"exactly one area", SHM_AREA_SIZE, SHM_AREA_SIZE, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SHM_OBJECT *writer = c.from_creator ? s.creator : s.opener;
        SHM_OBJECT *reader = c.from_creator ? s.opener : s.creator;
        std::vector<uint8_t> sent = S_pattern(c.size, 5);
        std::thread write([&] {
            EXPECT_EQ(shm_write(writer, sent.data(), static_cast<int32_t>(sent.size())),
                      static_cast<int32_t>(sent.size()));
        });
        std::vector<uint8_t> got(c.size);
        for (size_t at = 0; at < c.size; at += c.read_piece) {
            int32_t n = static_cast<int32_t>(std::min(c.read_piece, c.size - at));
            ASSERT_EQ(shm_read(reader, got.data() + at, n), n);
        }
        write.join();
        EXPECT_EQ(got, sent);
        EXPECT_EQ(shm_data_waiting(reader), 0);
    }
}

// Bytes not yet read are kept: a second write waits for room instead of
// overwriting them, and what each side writes reaches only the other side,
// also when both write before either reads.
TEST(ShmChannel, UnreadBytesAreNeverOverwritten)
{
    Sides s(S_channel_name("unread"));
    ASSERT_EQ(shm_write(s.creator, "abcd", 4), 4);
    char got[16] = {};
    ASSERT_EQ(shm_read(s.opener, got, 2), 2);
    ASSERT_EQ(shm_write(s.creator, "efgh", 4), 4);
    ASSERT_EQ(shm_write(s.opener, "1234", 4), 4);
    EXPECT_EQ(shm_data_waiting(s.opener), 1);
    EXPECT_EQ(shm_data_waiting(s.creator), 1);
    ASSERT_EQ(shm_read(s.opener, got + 2, 6), 6);
    EXPECT_STREQ(got, "abcdefgh");
    char back[5] = {};
    ASSERT_EQ(shm_read(s.creator, back, 4), 4);
    EXPECT_STREQ(back, "1234");

    // Both sides fill most of their areas before either reads.
    std::vector<uint8_t> one = S_pattern(60000, 1), two = S_pattern(60000, 2);
    ASSERT_EQ(shm_write(s.creator, one.data(), 60000), 60000);
    ASSERT_EQ(shm_write(s.opener, two.data(), 60000), 60000);
    std::vector<uint8_t> at_opener(60000), at_creator(60000);
    ASSERT_EQ(shm_read(s.opener, at_opener.data(), 60000), 60000);
    ASSERT_EQ(shm_read(s.creator, at_creator.data(), 60000), 60000);
    EXPECT_EQ(at_opener, one);
    EXPECT_EQ(at_creator, two);

    // An empty write touches nothing.
    EXPECT_EQ(shm_write(s.creator, "x", 0), 0);
    EXPECT_EQ(shm_data_waiting(s.opener), 0);
}

// A side that closes wakes the other: a waiting reader first gets what was
// written before the close, then fails; a writer fails at once.
TEST(ShmChannel, ClosingASideWakesThePeer)
{
    Sides s(S_channel_name("close"));
    ASSERT_EQ(shm_write(s.creator, "tail", 4), 4);
    char got[8] = {};
    int32_t answer = -1;
    std::thread reader([&] { answer = shm_read(s.opener, got, 8); });
    shm_destroy(s.creator);
    s.creator = nullptr;
    reader.join();
    EXPECT_EQ(answer, 0);
    ASSERT_EQ(shm_read(s.opener, got, 1), 0);
    EXPECT_EQ(shm_write(s.opener, "x", 1), 0);
}

// The four bytes left before the close are still read.
TEST(ShmChannel, BytesWrittenBeforeACloseAreStillRead)
{
    Sides s(S_channel_name("drain"));
    ASSERT_EQ(shm_write(s.creator, "tail", 4), 4);
    shm_destroy(s.creator);
    s.creator = nullptr;
    char got[5] = {};
    ASSERT_EQ(shm_read(s.opener, got, 4), 4);
    EXPECT_STREQ(got, "tail");
    EXPECT_EQ(shm_read(s.opener, got, 1), 0);
}

// A peer process that dies while a write waits for room: the write fails
// after at most a round of waiting, and every later transfer at once.
TEST(ShmChannel, PeerDeathEndsTheWait)
{
    const std::string name = S_channel_name("death");
    SHM_OBJECT *creator = nullptr;
    ASSERT_EQ(shm_client_init(&creator, name.c_str()), 0);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SHM_OBJECT *opener = nullptr;
        char ok = SHM_server_init(&opener, name.c_str()) == 0 ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        pause(); // never reads: the creator's area fills up
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    ASSERT_EQ(shm_open_peer_process(creator, child), 0);
    std::vector<uint8_t> fill = S_pattern(SHM_AREA_SIZE, 3);
    ASSERT_EQ(shm_write(creator, fill.data(), SHM_AREA_SIZE), SHM_AREA_SIZE);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(shm_write(creator, "x", 1), 0);
    // The peer is gone for good: nothing waits any more.
    char got = 0;
    EXPECT_EQ(shm_write(creator, "x", 1), 0);
    EXPECT_EQ(shm_read(creator, &got, 1), 0);
    EXPECT_EQ(shm_data_waiting(creator), ZE_FAILURE);
    shm_destroy(creator);
    close(ready[0]);
    close(ready[1]);
}

// Set-up results and transfers without a known peer.
TEST(ShmChannel, SetUpResults)
{
    const std::string name = S_channel_name("setup");
    SHM_OBJECT *first = nullptr, *second = nullptr, *opener = nullptr;
    ASSERT_EQ(shm_client_init(&first, name.c_str()), 0);
    EXPECT_EQ(shm_client_init(&second, name.c_str()), SHM_EXISTS);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(SHM_server_init(&opener, S_channel_name("nobody").c_str()), SHM_MAPPING_FAILED);
    EXPECT_EQ(opener, nullptr);
    EXPECT_EQ(shm_client_init(&second, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SHM_server_init(&opener, ""), ZE_NULL_POINTER);
    EXPECT_EQ(shm_client_init(&second, std::string(300, 'n').c_str()), ZE_INVALID_ARGUMENT);

    // No peer is known yet: nothing is moved and nothing waits.
    ASSERT_EQ(SHM_server_init(&opener, name.c_str()), 0);
    char byte = 'q';
    EXPECT_EQ(shm_write(first, &byte, 1), 0);
    EXPECT_EQ(shm_read(opener, &byte, 1), 0);
    EXPECT_EQ(shm_open_peer_process(nullptr, getpid()), ZE_FAILURE);
    EXPECT_EQ(shm_open_peer_process(first, -5), ZE_FAILURE);
    shm_destroy(first);
    shm_destroy(opener);
    shm_destroy(nullptr);

    // The name is free again once both sides are gone.
    ASSERT_EQ(shm_client_init(&first, name.c_str()), 0);
    shm_destroy(first);
}

// The other process can write anything into the mapping: a counter of its
// that is impossible (a tail more than a ring ahead of the reader's head or
// behind it, a head ahead of the writer's tail or more than a ring behind
// it) fails the transfer instead of steering a copy past the ring, and a
// side never trusts what the mapping says of its own counters.
TEST(ShmChannel, ImpossibleCountersOfThePeerAreRefused)
{
    struct Case {
        const char *what;
        bool fill_first;   // the creator fills its ring, so that it must look at the head
        uint32_t tail;     // the creator's tail as the opener will read it
        uint32_t head;     // the opener's head as the creator will read it
        bool opener_reads; // the opener's read fails (else the creator's write)
    } cases[] = {
        {"tail a byte more than a ring ahead", false, SHM_AREA_SIZE + 1, 0, true},
        {"tail behind the head", false, 0xFFFFFFFFu, 0, true},
        {"head ahead of the tail", true, SHM_AREA_SIZE, SHM_AREA_SIZE + 1, false},
        {"head more than a ring behind", true, SHM_AREA_SIZE, 0xFFFFFFFFu, false},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = S_channel_name(("garbage" + std::to_string(n++)).c_str());
        Sides s(name);
        std::vector<uint8_t> fill = S_pattern(SHM_AREA_SIZE, 9);
        if (c.fill_first) {
            ASSERT_EQ(shm_write(s.creator, fill.data(), SHM_AREA_SIZE), SHM_AREA_SIZE);
        }
        PLAT_SHM mapping = {};
        ASSERT_EQ(plat_shm_open(("ZEL_chanl_shared_memory_" + name).c_str(), &mapping),
                  PLAT_SHM_OK);
        auto *area = static_cast<SHM_AREA *>(mapping.base);
        area->to_opener.words.tail = c.tail;
        area->to_opener.words.head = c.head;
        std::vector<uint8_t> got(64);
        if (c.opener_reads) {
            EXPECT_EQ(shm_read(s.opener, got.data(), 64), 0);
            EXPECT_EQ(shm_data_waiting(s.opener), ZE_FAILURE);
            // The creator's own tail is its own: its writes go on.
            EXPECT_EQ(shm_write(s.creator, got.data(), 64), 64);
        } else {
            EXPECT_EQ(shm_write(s.creator, got.data(), 64), 0);
            // The opener's own head is its own: it reads what was written.
            area->to_opener.words.tail = SHM_AREA_SIZE;
            std::vector<uint8_t> all(SHM_AREA_SIZE);
            EXPECT_EQ(shm_read(s.opener, all.data(), SHM_AREA_SIZE), SHM_AREA_SIZE);
            EXPECT_EQ(all, fill);
        }
        plat_shm_close(&mapping);
    }
}
