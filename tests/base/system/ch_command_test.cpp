// Command codes on a socket channel over loopback: the codes sent to a peer
// of the older release and to a current one, the refused codes and the
// message of an unknown one, reads that never translate, the name table, and
// the trace lines of commands written and read.
#include "base/system/ch_command.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>

#include "base/system/ch_channel_internal.h"
#include "base/system/ch_command_internal.h"
#include "base/system/ch_intercept_internal.h"
#include "base/system/so_channel_internal.h"
#include "base/util/zel_errors.h"
#include "platform/plat_socket_internal.h"
#include "tests/support/peer_watchdog.h"
#include "tests/support/quiet_stderr.h"

namespace
{

// A channel on one end of a socket pair; the test reads and writes the other
// end raw.
struct Ends {
    int fds[2] = {-1, -1};
    CH_CHANNEL *channel = nullptr;
    // A read that waits for bytes that never come fails instead of hanging.
    zel_test::PeerWatchdog watchdog{&fds[0], &fds[1]};

    explicit Ends(int32_t old)
    {
        EXPECT_EQ(plat_socket_pair(fds), 0);
        channel = CH_create(CH_TYPE_SOCKET, old, &fds[0]);
        EXPECT_NE(channel, nullptr);
    }
    ~Ends()
    {
        watchdog.stop();
        CH_destroy(channel);
        plat_socket_close(fds[0]);
        plat_socket_close(fds[1]);
    }
    Ends(const Ends &) = delete;
    Ends &operator=(const Ends &) = delete;

    // The longs that reached the other end after a flush.
    std::vector<int32_t> sent()
    {
        EXPECT_EQ(CH_flush(channel), ZE_SUCCESS);
        std::vector<int32_t> longs;
        int32_t value;
        while (plat_socket_poll(fds[1], PLAT_SOCKET_READABLE, 0) > 0 &&
               CH_readn(fds[1], &value, 4) == 4)
            longs.push_back(value);
        return longs;
    }
    void peer_send(int32_t value)
    {
        ASSERT_EQ(CH_writen(fds[1], &value, 4), 4);
    }
    // Starts a trace of the channel into a temporary file.
    void trace(uint16_t mode)
    {
        channel->intercept_file = std::tmpfile();
        channel->intercept_mode = mode;
    }
    std::string traced()
    {
        FILE *f = channel->intercept_file;
        std::fflush(f);
        std::rewind(f);
        std::string text;
        char block[4096];
        size_t n;
        while ((n = std::fread(block, 1, sizeof block, f)) > 0)
            text.append(block, n);
        return text;
    }
};

const std::string kRule = "========================================\n";

} // namespace

// The translation for a peer of the older release: shifted codes, codes it
// lacks refused with -88 before anything is sent, codes outside the table
// refused with -1 and a message; a current peer gets every code as it is.
TEST(ChCommand, CodesForOldAndCurrentPeers)
{
    struct Case {
        int32_t code;
        int32_t old_rc;
        int32_t old_sent; // what an old peer receives, when the write succeeds
        int32_t current_rc;
    } cases[] = {
        {CH_CMD_GetConnectionError, ZE_SUCCESS, 0, ZE_SUCCESS},
        {CH_CMD_LayerCreate, ZE_SUCCESS, 2, ZE_SUCCESS},
        {CH_CMD_BeginTransaction, ZE_SUCCESS, 19, ZE_SUCCESS},
        {CH_CMD_CommitTransaction, ZE_SUCCESS, 21, ZE_SUCCESS},
        {CH_CMD_SortLog, ZE_SUCCESS, 34, ZE_SUCCESS},
        {CH_CMD_SetStreamSpec, ZE_SUCCESS, 48, ZE_SUCCESS},
        {CH_CMD_PrepareSql, ZE_SUCCESS, 49, ZE_SUCCESS},
        {CH_CMD_SetRow, ZE_SUCCESS, 63, ZE_SUCCESS},
        {CH_CMD_DeleteRow, ZE_SUCCESS, 64, ZE_SUCCESS},
        {CH_CMD_RegistrationAlter, ZE_SUCCESS, 74, ZE_SUCCESS},
        {CH_CMD_GetConnectionErrorString, ZE_INVALID_RELEASE, 0, ZE_SUCCESS},
        {CH_CMD_GetStreamSpec, ZE_INVALID_RELEASE, 0, ZE_SUCCESS},
        {CH_CMD_ExecuteUpdateRow, ZE_INVALID_RELEASE, 0, ZE_SUCCESS},
        {CH_CMD_UpdateRow, ZE_INVALID_RELEASE, 0, ZE_SUCCESS},
        {CH_CMD_RegistrationCreate, ZE_INVALID_RELEASE, 0, ZE_SUCCESS},
        {CH_CMD_TableCreateLongIndex, ZE_INVALID_RELEASE, 0, ZE_SUCCESS},
        {CH_COMMAND_COUNT, ZE_FAILURE, 0, ZE_SUCCESS},
        {-1, ZE_FAILURE, 0, ZE_SUCCESS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        Ends old(1), current(0);
        StderrCapture capture;
        EXPECT_EQ(CH_write_command(old.channel, c.code), c.old_rc);
        std::string message = capture.text();
        std::vector<int32_t> expected;
        if (c.old_rc == ZE_SUCCESS)
            expected.push_back(c.old_sent);
        EXPECT_EQ(old.sent(), expected);
        EXPECT_EQ(message, c.old_rc == ZE_FAILURE ? "CH_write_command: unrecognized command code " +
                                                        std::to_string(c.code) + "!\n"
                                                  : "");

        EXPECT_EQ(CH_write_command(current.channel, c.code), c.current_rc);
        EXPECT_EQ(current.sent(), std::vector<int32_t>{c.code});
    }
}

// The older numbering covers its codes 0 to 74 once each, but 20 and 33,
// which no current code reaches.
TEST(ChCommand, OldNumberingIsOneToOne)
{
    std::set<int32_t> targets;
    int32_t mapped = 0;
    for (int32_t code = 0; code < CH_COMMAND_COUNT; code++) {
        int32_t old = ch_command_old_code(code);
        if (old < 0)
            continue;
        mapped++;
        EXPECT_TRUE(targets.insert(old).second) << code;
    }
    std::set<int32_t> expected;
    for (int32_t old = 0; old <= 74; old++)
        if (old != 20 && old != 33)
            expected.insert(old);
    EXPECT_EQ(targets, expected);
    EXPECT_EQ(mapped, 73);
    EXPECT_EQ(ch_command_old_code(-1), -1);
    EXPECT_EQ(ch_command_old_code(CH_COMMAND_COUNT), -1);
}

// Reads give the code as it came, whatever the old-release flag says.
TEST(ChCommand, ReadsNeverTranslate)
{
    for (int32_t old = 0; old < 2; old++) {
        Ends e(old);
        for (int32_t code : {2, 74, 300, -5}) {
            e.peer_send(code);
            int32_t got = 0;
            ASSERT_EQ(CH_read_command(e.channel, &got), ZE_SUCCESS);
            EXPECT_EQ(got, code);
        }
    }
}

TEST(ChCommand, Names)
{
    struct Case {
        int32_t code;
        const char *name;
    } cases[] = {
        {0, "GetConnectionError"},
        {CH_CMD_LayerCreate, "LayerCreate"},
        {33, "SortLog"},
        {CH_CMD_TableCreateIMVView, "TableCreateIMVView"},
        {215, "DBTuneImport"},
        {217, "TableCreateLongIndex"},
        {218, nullptr},
        {-1, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        if (c.name == nullptr) {
            EXPECT_EQ(ch_command_name(c.code), nullptr);
        } else {
            EXPECT_STREQ(ch_command_name(c.code), c.name);
        }
    }
    EXPECT_EQ(CH_CMD_SortLog, 33);
    EXPECT_EQ(CH_CMD_QueryWithInfo, 214);
}

// Which commands a traced channel writes down, by its mode: the code the
// caller gave (before translation), an invalid code by number, a code read
// with the tag R; a read that fails writes nothing.
TEST(ChCommand, TraceLines)
{
    ch_intercept_reset(nullptr, 0);
    {
        Ends e(1);
        e.trace(CH_INTERCEPT_C);
        EXPECT_EQ(CH_write_command(e.channel, CH_CMD_LayerCreate), ZE_SUCCESS);
        EXPECT_EQ(CH_write_command(e.channel, CH_CMD_UpdateRow), ZE_INVALID_RELEASE);
        quiet_stderr([&] { EXPECT_EQ(CH_write_command(e.channel, 218), ZE_FAILURE); });
        e.peer_send(7);
        int32_t got = 0;
        ASSERT_EQ(CH_read_command(e.channel, &got), ZE_SUCCESS);
        EXPECT_EQ(e.traced(), kRule + "[W] Command:      LayerCreate\n" + kRule +
                                  "[W] Command:      UpdateRow\n" + kRule +
                                  "[W] Command:      Invalid_Command_Code 218\n" + kRule +
                                  "[R] Command:      GetFeatureTypeByName\n");
    }
    struct Case {
        uint16_t mode;
        bool write_traced, read_traced;
    } cases[] = {
        {CH_INTERCEPT_W, true, false},
        {CH_INTERCEPT_R, false, true},
        {CH_INTERCEPT_T, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        Ends e(0);
        e.trace(c.mode);
        EXPECT_EQ(CH_write_command(e.channel, -1), ZE_SUCCESS);
        e.peer_send(3);
        int32_t got = 0;
        ASSERT_EQ(CH_read_command(e.channel, &got), ZE_SUCCESS);
        std::string expected;
        if (c.write_traced)
            expected += kRule + "[W] Command:      Invalid_Command_Code -1\n";
        if (c.read_traced)
            expected += kRule + "[R] Command:      LayerCreate\n";
        EXPECT_EQ(e.traced(), expected);
    }

    // With time stamps on, the prefix carries the time; a read that fails
    // (the peer closed) is not traced.
    Ends e(0);
    e.trace(CH_INTERCEPT_C);
    ch_intercept_reset(CH_INTERCEPT_TIME_LONG, 1);
    EXPECT_EQ(CH_write_command(e.channel, CH_CMD_Shutdown), ZE_SUCCESS);
    const std::regex stamped("=+\n\\[W [0-9]{2}:[0-9]{2}:[0-9]{2}\\] Command:      Shutdown\n");
    EXPECT_TRUE(std::regex_match(e.traced(), stamped)) << e.traced();
    shutdown(e.fds[1], SHUT_WR);
    int32_t got = 0;
    EXPECT_EQ(CH_read_command(e.channel, &got), ZE_FAILURE);
    EXPECT_TRUE(std::regex_match(e.traced(), stamped)) << e.traced();
    ch_intercept_reset(nullptr, 0);
}
