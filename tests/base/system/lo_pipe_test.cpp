// The LO_ named-pipe functions in one process: the wire forms of longs,
// shorts and strings (checked byte by byte on a socket pair), refused empty
// and hostile strings, and opening named pipes from both ends: a client that
// waits for the server, a server whose client came first, one client at a
// time, and the failures of a client that waits in vain.
#include "base/system/lo_pipe.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/system/lo_pipe_internal.h"
#include "platform/plat_pipe_internal.h"
#include "tests/support/peer_watchdog.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/run_folder_fixture.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

// A pipe end over one side of a socket pair; the test reads and writes the
// raw bytes on the other side.
class LoPipeWire : public ::testing::Test
{
  protected:
    LO_PIPE *pipe = nullptr;
    int peer = -1;

    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ASSERT_EQ(plat_pipe_adopt(fds[0], &pipe), 0);
        peer = fds[1];
    }
    void TearDown() override
    {
        EXPECT_NE(LO_close(pipe), 0);
        close(peer);
    }

    std::vector<unsigned char> sent()
    {
        std::vector<unsigned char> bytes(256);
        ssize_t got = recv(peer, bytes.data(), bytes.size(), MSG_DONTWAIT);
        bytes.resize(got > 0 ? (size_t)got : 0);
        return bytes;
    }
    void send_bytes(const std::vector<unsigned char> &bytes)
    {
        ASSERT_EQ(send(peer, bytes.data(), bytes.size(), 0), (ssize_t)bytes.size());
    }
};

TEST_F(LoPipeWire, LongsAndShortsAreLittleEndian)
{
    struct Case {
        int32_t value;
        std::vector<unsigned char> bytes;
    };
    const Case longs[] = {{0, {0, 0, 0, 0}},
                          {0x01020304, {4, 3, 2, 1}},
                          {-1, {0xff, 0xff, 0xff, 0xff}},
                          {INT32_MIN, {0, 0, 0, 0x80}}};
    for (const Case &c : longs) {
        EXPECT_EQ(LO_write_long(pipe, c.value), 0);
        EXPECT_EQ(sent(), c.bytes) << c.value;
        send_bytes(c.bytes);
        int32_t back = 7;
        EXPECT_EQ(LO_read_long(pipe, &back), 0);
        EXPECT_EQ(back, c.value);
    }
    const Case shorts[] = {{0x0102, {2, 1}}, {-2, {0xfe, 0xff}}, {INT16_MIN, {0, 0x80}}};
    for (const Case &c : shorts) {
        EXPECT_EQ(LO_write_short(pipe, (int16_t)c.value), 0);
        EXPECT_EQ(sent(), c.bytes) << c.value;
        send_bytes(c.bytes);
        int16_t back = 7;
        EXPECT_EQ(LO_read_short(pipe, &back), 0);
        EXPECT_EQ(back, (int16_t)c.value);
    }
}

TEST_F(LoPipeWire, StringsCarryTheirLengthAndNoTerminator)
{
    EXPECT_EQ(LO_write_string(pipe, "abc"), 0);
    EXPECT_EQ(sent(), (std::vector<unsigned char>{3, 0, 0, 0, 'a', 'b', 'c'}));
    // An empty string cannot be sent: nothing goes on the wire.
    EXPECT_EQ(LO_write_string(pipe, ""), -1);
    EXPECT_EQ(LO_write_string(pipe, nullptr), -1);
    EXPECT_TRUE(sent().empty());

    // A string that just fits (length size - 1), then one character more.
    send_bytes({3, 0, 0, 0, 'x', 'y', 'z'});
    char buffer[4];
    EXPECT_EQ(LO_read_string(pipe, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "xyz");
    // A length of 0 is refused.
    send_bytes({0, 0, 0, 0});
    EXPECT_EQ(LO_read_string(pipe, buffer, sizeof buffer), -1);
    EXPECT_EQ(LO_read_string(pipe, nullptr, 8), -1);
    EXPECT_EQ(LO_read_string(pipe, buffer, 0), -1);
}

TEST_F(LoPipeWire, AHostileLengthIsRefusedAndTheConnectionClosed)
{
    struct Case {
        const char *what;
        std::vector<unsigned char> length;
    };
    const Case cases[] = {{"one beyond the buffer", {4, 0, 0, 0}},
                          {"2 GB - 1", {0xff, 0xff, 0xff, 0x7f}},
                          {"negative", {0xff, 0xff, 0xff, 0xff}}};
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        std::vector<unsigned char> bytes = c.length;
        bytes.insert(bytes.end(), {'a', 'b', 'c', 'd'});
        send_bytes(bytes);
        char buffer[5] = {'q', 'q', 'q', 'q', 'q'};
        EXPECT_EQ(LO_read_string(pipe, buffer, 4), -1) << c.what;
        EXPECT_EQ(memcmp(buffer, "qqqqq", 5), 0) << c.what;
        // The characters after the length are not taken for the next value.
        int32_t next = 0;
        EXPECT_EQ(LO_read_long(pipe, &next), -1) << c.what;
        EXPECT_EQ(LO_write_long(pipe, 1), -1) << c.what;
    }
}

TEST_F(LoPipeWire, APeerThatGoesMidValueFailsTheRead)
{
    send_bytes({1, 2});
    shutdown(peer, SHUT_WR);
    int32_t value = 0;
    EXPECT_EQ(LO_read_long(pipe, &value), -1);
    EXPECT_EQ(LO_disconnect(pipe), 0); /* not a server end */
}

// Named pipes in a private run folder.
class LoPipeNamed : public RunFolderFixture
{
};

const char *const TO_SERVER = "\\\\.\\pipe\\zel_client_to_server_FIFO_t";
const char *const TO_CLIENT = "\\\\.\\pipe\\zel_server_to_client_FIFO_t";

TEST_F(LoPipeNamed, AClientWaitsForTheServerAndBothTalk)
{
    int32_t opened = -2;
    LO_PIPE *client_write = nullptr, *client_read = nullptr;
    // The client may well start before the pipes exist.
    std::thread client(
        [&] { opened = LO_open_client(TO_SERVER, TO_CLIENT, &client_write, &client_read); });
    PLAT_PIPE *inbound = nullptr, *outbound = nullptr;
    ASSERT_EQ(plat_pipe_create(TO_CLIENT, &outbound), 0);
    ASSERT_EQ(plat_pipe_create(TO_SERVER, &inbound), 0);
    EXPECT_EQ(LO_open_server(inbound, outbound), 0);
    client.join();
    ASSERT_EQ(opened, 0);
    EXPECT_EQ(LO_write_string(outbound, "ping"), 0);
    char text[8];
    EXPECT_EQ(LO_read_string(client_read, text, sizeof text), 0);
    EXPECT_STREQ(text, "ping");
    EXPECT_EQ(LO_write_long(client_write, 99), 0);
    int32_t value = 0;
    EXPECT_EQ(LO_read_long(inbound, &value), 0);
    EXPECT_EQ(value, 99);
    // The server drops its client; the client sees the end.
    EXPECT_EQ(LO_disconnect(outbound), 1);
    EXPECT_EQ(LO_read_string(client_read, text, sizeof text), -1);
    EXPECT_NE(LO_close(client_write), 0);
    EXPECT_NE(LO_close(client_read), 0);
    EXPECT_NE(LO_close(inbound), 0);
    EXPECT_NE(LO_close(outbound), 0);
    // Closing the server ends removes the names.
    EXPECT_TRUE(std::filesystem::is_empty(run_folder));
}

TEST_F(LoPipeNamed, OneClientAtATime)
{
    PLAT_PIPE *inbound = nullptr, *outbound = nullptr;
    ASSERT_EQ(plat_pipe_create(TO_CLIENT, &outbound), 0);
    ASSERT_EQ(plat_pipe_create(TO_SERVER, &inbound), 0);
    // The first client connects before the server waits for it.
    LO_PIPE *first_write = nullptr, *first_read = nullptr;
    ASSERT_EQ(LO_open_client(TO_SERVER, TO_CLIENT, &first_write, &first_read), 0);
    EXPECT_EQ(LO_open_server(inbound, outbound), 0);
    // A second client finds the pipe taken for as long as the first holds it.
    LO_PIPE *second_write = nullptr, *second_read = nullptr;
    StderrCapture capture;
    EXPECT_EQ(lo_open_client_wait(TO_SERVER, TO_CLIENT, &second_write, &second_read, 50), -1);
    EXPECT_EQ(capture.text(), "error waiting for read pipe (" + std::to_string(ETIMEDOUT) + ")\n");
    EXPECT_EQ(second_read, nullptr);
    LO_close(first_write);
    LO_close(first_read);
    LO_disconnect(inbound);
    LO_disconnect(outbound);
    ASSERT_EQ(lo_open_client_wait(TO_SERVER, TO_CLIENT, &second_write, &second_read, 5000), 0);
    EXPECT_EQ(LO_open_server(inbound, outbound), 0);
    EXPECT_EQ(LO_write_short(second_write, 5), 0);
    int16_t value = 0;
    EXPECT_EQ(LO_read_short(inbound, &value), 0);
    EXPECT_EQ(value, 5);
    LO_close(second_write);
    LO_close(second_read);
    LO_close(inbound);
    LO_close(outbound);
}

TEST_F(LoPipeNamed, AClientWaitingInVainSaysForWhichPipe)
{
    LO_PIPE *write_end = reinterpret_cast<LO_PIPE *>(1), *read_end = write_end;
    StderrCapture capture;
    EXPECT_EQ(lo_open_client_wait(TO_SERVER, TO_CLIENT, &write_end, &read_end, 20), -1);
    EXPECT_EQ(capture.text(), "error waiting for read pipe (" + std::to_string(ETIMEDOUT) + ")\n");
    EXPECT_EQ(write_end, nullptr);
    EXPECT_EQ(read_end, nullptr);
    // Only the read pipe exists: the read end is given back again.
    PLAT_PIPE *outbound = nullptr;
    ASSERT_EQ(plat_pipe_create(TO_CLIENT, &outbound), 0);
    EXPECT_EQ(lo_open_client_wait(TO_SERVER, TO_CLIENT, &write_end, &read_end, 20), -1);
    EXPECT_EQ(capture.text(), "error waiting for write pipe (" + std::to_string(ETIMEDOUT) + ")\n");
    EXPECT_EQ(read_end, nullptr);
    EXPECT_EQ(plat_pipe_accept(outbound), 0);
    char text[4];
    EXPECT_EQ(LO_read_string(outbound, text, sizeof text), -1);
    LO_close(outbound);
    EXPECT_EQ(LO_open_client(TO_SERVER, TO_CLIENT, nullptr, nullptr), -1);
    EXPECT_EQ(LO_wait_for_client(), 1);
}

} // namespace
