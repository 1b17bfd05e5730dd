// The intercept trace: the numbering of trace files, the letters of
// ZELINTERCEPT, where and how a trace file is made (new, owner-only, never
// through a link), the refusals that leave a channel untraced, the header,
// the per-process time and flush flags, and the dumps of records read and
// written on a socket channel.
#include "base/system/ch_intercept_internal.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "base/system/ch_channel_internal.h"
#include "base/system/ch_command.h"
#include "base/util/zel_errors.h"
#include "platform/plat_socket_internal.h"
#include "tests/support/peer_watchdog.h"
#include "tests/support/quiet_stderr.h"

namespace fs = std::filesystem;

namespace
{

// A fresh directory for trace files, and the environment of one test.
struct TraceDir {
    fs::path dir;
    TraceDir()
    {
        char name[] = "/tmp/ch_intercept_XXXXXX";
        EXPECT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    ~TraceDir()
    {
        unsetenv("ZELINTERCEPTLOC");
        unsetenv("ZELINTERCEPT");
        ch_intercept_reset(nullptr, 0);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    void touch(const std::string &name) const
    {
        std::ofstream(dir / name) << "x";
    }
    // The location "dir\base", as the hosts write it.
    void locate(const std::string &base, const char *letters) const
    {
        setenv("ZELINTERCEPTLOC", (dir.string() + "\\" + base).c_str(), 1);
        if (letters != nullptr)
            setenv("ZELINTERCEPT", letters, 1);
        else
            unsetenv("ZELINTERCEPT");
    }
};

std::string S_read(const fs::path &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A socket channel on one end of a pair, the other end raw.
struct Pair {
    int fds[2] = {-1, -1};
    CH_CHANNEL *channel = nullptr;
    // A read that waits for bytes that never come fails instead of hanging.
    zel_test::PeerWatchdog watchdog{&fds[0], &fds[1]};
    Pair()
    {
        EXPECT_EQ(plat_socket_pair(fds), 0);
        channel = CH_create(CH_TYPE_SOCKET, 0, &fds[0]);
        EXPECT_NE(channel, nullptr);
    }
    ~Pair()
    {
        watchdog.stop();
        CH_destroy(channel);
        plat_socket_close(fds[0]);
        plat_socket_close(fds[1]);
    }
    Pair(const Pair &) = delete;
    Pair &operator=(const Pair &) = delete;
};

} // namespace

// The next number is 1 past the largest of digits only; names that are not
// ours, signs, blanks and values past 32 bits do not count.
TEST(ChIntercept, NextExtension)
{
    struct Case {
        std::vector<std::string> present;
        int32_t next;
    } cases[] = {
        {{}, 1},
        {{"trace.001", "trace.007"}, 8},
        {{"trace.old", "trace.", "trace", "trace.-9", "trace.+9", "trace. 9"}, 1},
        {{"trace.12x", "other.50", "traced.40", "tracex.30"}, 13},
        {{"trace.99999999999", "trace.4294967297", "trace.3"}, 4},
        {{"trace.2147483646"}, 2147483647},
        {{"trace.2147483647"}, -1},
    };
    for (const Case &c : cases) {
        TraceDir d;
        for (const std::string &name : c.present)
            d.touch(name);
        EXPECT_EQ(ch_intercept_next_extension(d.dir.c_str(), "trace"), c.next)
            << ::testing::PrintToString(c.present);
    }
    EXPECT_EQ(ch_intercept_next_extension("/nonexistent/dir", "trace"), -1);
}

// The letters of ZELINTERCEPT choose the mode and the process's flags; the
// header names the chosen items.
TEST(ChIntercept, LettersChooseTheMode)
{
    struct Case {
        const char *letters;
        uint16_t mode;
        const char *items;
        const char *stamp; // the prefix's pattern
        bool flush;
    } cases[] = {
        {nullptr, 7, "Command Name, Read, Write", "\\[R\\]", false},
        {"", 7, "Command Name, Read, Write", "\\[R\\]", false},
        {"T", 12, "Command Name, Time", "\\[R [0-9]{2}:[0-9]{2}:[0-9]{2}\\]", false},
        {"r", 1, " Read", "\\[R\\]", false},
        {"xyz", 4, "Command Name", "\\[R\\]", false},
        {"wF", 18, " Write, Flush", "\\[R\\]", true},
        {"tT", 12, "Command Name, Time", "\\[R [0-9]{2}:[0-9]{2}:[0-9]{2}\\]", false},
        {"Tt", 12, "Command Name, Time", "\\[R [0-9]{2}:[0-9]{2}\\]", false},
        {"cRwTf", 31, "Command Name, Read, Write, Time, Flush",
         "\\[R [0-9]{2}:[0-9]{2}:[0-9]{2}\\]", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.letters != nullptr ? c.letters : "(unset)");
        TraceDir d;
        d.locate("trace", c.letters);
        FILE *file = nullptr;
        uint16_t mode = 0;
        char path[CH_INTERCEPT_PATH_SIZE];
        ASSERT_EQ(ch_intercept_open(&file, &mode, path, sizeof path), 0);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(mode, c.mode);
        EXPECT_EQ(std::string(path), d.dir.string() + "/trace.001");
        char prefix[CH_INTERCEPT_PREFIX_SIZE];
        ch_intercept_make_prefix("R", prefix, sizeof prefix);
        EXPECT_TRUE(std::regex_match(prefix, std::regex(c.stamp))) << prefix;
        EXPECT_EQ(ch_intercept_flush_flag(), c.flush ? 1 : 0);
        ch_intercept_close(&file);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(ch_intercept_flush_flag(), 0);
        std::string text = S_read(path);
        const std::regex header("File:  " + std::string(path) + "\nMode:  " + c.items +
                                "\nTime:  [^\n]+\n-{74}\n\n");
        EXPECT_TRUE(std::regex_match(text, header)) << text;
    }
}

// Trace files are made new and owner-only, each channel taking the next
// number; a link in the sequence is not written through; without a location
// nothing is traced.
TEST(ChIntercept, FilesAreNumberedNewAndPrivate)
{
    TraceDir d;
    d.touch("trace.001");
    fs::path outside = d.dir / "outside";
    std::ofstream(outside) << "keep";
    fs::create_symlink(outside, d.dir / "trace.007");
    d.locate("trace", "C");
    {
        Pair first;
        Pair second;
        ASSERT_NE(first.channel->intercept_file, nullptr);
        ASSERT_NE(second.channel->intercept_file, nullptr);
    }
    EXPECT_EQ(S_read(outside), "keep");
    for (const char *name : {"trace.008", "trace.009"}) {
        struct stat info;
        ASSERT_EQ(lstat((d.dir / name).c_str(), &info), 0) << name;
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
    }
    // The channel's own lines follow the header.
    EXPECT_NE(S_read(d.dir / "trace.009")
                  .find("Additional Information:\n\tCommunication type SOCKET\n" +
                        std::string(74, '-') + "\n \n"),
              std::string::npos);

    unsetenv("ZELINTERCEPTLOC");
    Pair untraced;
    EXPECT_EQ(untraced.channel->intercept_file, nullptr);
    EXPECT_EQ(untraced.channel->intercept_mode, 0);
}

// A bare base name traces into the current directory.
TEST(ChIntercept, BareBaseNameUsesTheCurrentDirectory)
{
    TraceDir d;
    d.touch("trace.007");
    fs::path before = fs::current_path();
    fs::current_path(d.dir);
    setenv("ZELINTERCEPTLOC", "trace", 1);
    FILE *file = nullptr;
    uint16_t mode = 0;
    char path[CH_INTERCEPT_PATH_SIZE];
    EXPECT_EQ(ch_intercept_open(&file, &mode, path, sizeof path), 0);
    EXPECT_STREQ(path, "./trace.008");
    ch_intercept_close(&file);
    fs::current_path(before);
    EXPECT_TRUE(fs::exists(d.dir / "trace.008"));
}

// A location that cannot hold a trace leaves the channel working untraced,
// with the reason on standard error and the abort line on standard output;
// an empty location is only reported.
TEST(ChIntercept, RefusedLocationsLeaveTheChannelUntraced)
{
    TraceDir d;
    d.touch("plain");
    struct Case {
        std::string location;
        int32_t rc;
        std::string message;
    } cases[] = {
        {"", 0, "ZELINTERCEPTLOC not set.\n"},
        {d.dir.string() + "/missing\\trace", -1, d.dir.string() + "/missing not found.\n"},
        {d.dir.string() + "/plain\\trace", -1, d.dir.string() + "/plain is not a directory.\n"},
        {d.dir.string() + "\\" + std::string(5000, 'a'), -1, "FOPEN INTERCEPT: errno = "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.location.substr(0, 80));
        setenv("ZELINTERCEPTLOC", c.location.c_str(), 1);
        FILE *file = reinterpret_cast<FILE *>(1);
        uint16_t mode = 9;
        char path[CH_INTERCEPT_PATH_SIZE];
        std::string said;
        {
            StderrCapture capture;
            EXPECT_EQ(ch_intercept_open(&file, &mode, path, sizeof path), c.rc);
            said = capture.text();
        }
        EXPECT_EQ(said.substr(0, c.message.size()), c.message);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(mode, 0);
    }
    // Through a channel: the abort line, and the channel still carries.
    setenv("ZELINTERCEPTLOC", (d.dir.string() + "/missing\\trace").c_str(), 1);
    testing::internal::CaptureStdout();
    {
        StderrCapture capture;
        Pair p;
        EXPECT_EQ(p.channel->intercept_file, nullptr);
        EXPECT_EQ(p.channel->intercept_mode, 0);
        EXPECT_EQ(CH_write_long(p.channel, 5), ZE_SUCCESS);
        EXPECT_EQ(CH_flush(p.channel), ZE_SUCCESS);
        int32_t got = 0;
        EXPECT_EQ(CH_readn(p.fds[1], &got, 4), 4);
        EXPECT_EQ(got, 5);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR OPENING INTERCEPT FILE . ABORT INTERCEPTION !\n");
}

// A session's trace: every record written (before it is sent) and read
// (once it has arrived) in order, a failed read not at all; with the flush
// letter each line is on disk when the member returns; a channel made later
// turns the process's time stamps and flush off.
TEST(ChIntercept, SessionTraceInOrder)
{
    TraceDir d;
    d.locate("sess", "CRWF");
    Pair p;
    ASSERT_NE(p.channel->intercept_file, nullptr);
    fs::path path = d.dir / "sess.001";
    size_t header = S_read(path).size();

    ASSERT_EQ(CH_write_command(p.channel, CH_CMD_LayerCreate), ZE_SUCCESS);
    ASSERT_EQ(CH_write_long(p.channel, -7), ZE_SUCCESS);
    EXPECT_EQ(S_read(path).substr(header), "========================================\n"
                                           "[W] Command:      LayerCreate\n"
                                           "[W] Long:         -7\n");
    const int16_t shorts[] = {1, -2, 3};
    ASSERT_EQ(CH_write_short_array(p.channel, 3, shorts), ZE_SUCCESS);
    ASSERT_EQ(CH_write_string(p.channel, "it's"), ZE_SUCCESS);
    ASSERT_EQ(CH_write_dynamic_string(p.channel, nullptr), ZE_SUCCESS);
    const uint8_t bytes[30] = {0xAB, 0x01};
    ASSERT_EQ(CH_write_blob_seg(p.channel, bytes, 2, 1), ZE_SUCCESS);
    ASSERT_EQ(CH_write_blob_end(p.channel, 2, 0), ZE_SUCCESS);
    ASSERT_EQ(CH_write_block(p.channel, bytes, 30), ZE_SUCCESS);
    const int32_t ids[] = {4, 5};
    ASSERT_EQ(CH_write_fid_array(p.channel, ids, 2), ZE_SUCCESS);
    ASSERT_EQ(CH_write_pt3d(p.channel, 1, 2, 3), ZE_SUCCESS);
    ASSERT_EQ(CH_write_lfloat(p.channel, 0.5), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(p.channel), ZE_SUCCESS);

    int32_t value = 41;
    ASSERT_EQ(CH_writen(p.fds[1], &value, 4), 4);
    int32_t got = 0;
    ASSERT_EQ(CH_read_long(p.channel, &got), ZE_SUCCESS);
    shutdown(p.fds[1], SHUT_WR);
    EXPECT_NE(CH_read_long(p.channel, &got), ZE_SUCCESS);

    EXPECT_EQ(S_read(path).substr(header), "========================================\n"
                                           "[W] Command:      LayerCreate\n"
                                           "[W] Long:         -7\n"
                                           "[W] ShortArray:   [3] 1, -2, 3\n"
                                           "[W] String:       \"it's\"\n"
                                           "[W] Dynamic_Str:  <null>\n"
                                           "[W] Blob_Segment:\n"
                                           "\tBufferInfo:\t[2/2]\n"
                                           "\tBufferInHex:\t\"AB01\"\n"
                                           "\tLast Seg.:\tYes\n"
                                           "[W] Blob End:     [2]\n"
                                           "\tFlush:\tNo\n"
                                           "[W] Block:\n"
                                           "\tBufferInfo:\t[25/30]\n"
                                           "\tBufferInHex:\t\"AB01" +
                                               std::string(46, '0') +
                                               "...\"\n"
                                               "[W] FID array:    [2]\n"
                                               "4, 5\n"
                                               "[W] Point3D:\n"
                                               "\tX:\t1\n\tY:\t2\n\tZ:\t3\n"
                                               "[W] LFloat:       0.500000000000\n"
                                               "[R] Long:         41\n");

    EXPECT_EQ(ch_intercept_flush_flag(), 1);
    unsetenv("ZELINTERCEPTLOC");
    Pair later;
    EXPECT_EQ(ch_intercept_flush_flag(), 0);
}
