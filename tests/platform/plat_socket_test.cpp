// Stream sockets of the platform layer: sends to a closed peer fail without
// SIGPIPE, interrupted calls are repeated, non-blocking sockets are waited
// out while a time-out set on a blocking socket fails the call, poll works on
// descriptors above 1024, and every socket made here is close-on-exec.
#include "platform/plat_socket_internal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

struct Pair {
    int a = -1, b = -1;
    Pair()
    {
        int fds[2];
        EXPECT_EQ(plat_socket_pair(fds), 0);
        a = fds[0];
        b = fds[1];
    }
    ~Pair()
    {
        if (a >= 0)
            plat_socket_close(a);
        if (b >= 0)
            plat_socket_close(b);
    }
};

bool S_cloexec(int fd)
{
    return (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
}

std::atomic<int> S_alarms{0};
void S_on_alarm(int)
{
    S_alarms++;
}

} // namespace

TEST(PlatSocket, EverySocketIsCloseOnExec)
{
    uint16_t port = 0;
    int listener = plat_socket_listen_loopback(&port);
    ASSERT_GE(listener, 0);
    EXPECT_NE(port, 0);
    int client = plat_socket_connect("127.0.0.1", port);
    int server = plat_socket_accept(listener);
    ASSERT_GE(client, 0);
    ASSERT_GE(server, 0);
    Pair pair;
    for (int fd : {listener, client, server, pair.a, pair.b})
        EXPECT_TRUE(S_cloexec(fd)) << fd;
    EXPECT_EQ(plat_socket_set_nodelay(client), 0);
    EXPECT_EQ(plat_socket_send(client, "x", 1), 1);
    char c = 0;
    EXPECT_EQ(plat_socket_recv(server, &c, 1), 1);
    EXPECT_EQ(c, 'x');
    for (int fd : {listener, client, server})
        plat_socket_close(fd);
    EXPECT_EQ(plat_socket_connect("127.0.0.1", port), -1); // nobody listens now
    EXPECT_EQ(plat_socket_connect(nullptr, port), -1);
}

TEST(PlatSocket, SendToAClosedPeerFailsWithoutSignal)
{
    Pair pair;
    plat_socket_close(pair.b);
    pair.b = -1;
    std::vector<char> data(1 << 16, 'z');
    ssize_t rc = 0;
    for (int i = 0; i < 4 && rc >= 0; i++)
        rc = plat_socket_send(pair.a, data.data(), data.size());
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(errno, EPIPE);
}

TEST(PlatSocket, PeerCloseAndResetOnReceive)
{
    Pair pair;
    ASSERT_EQ(plat_socket_shutdown_send(pair.b), 0);
    char c;
    EXPECT_EQ(plat_socket_recv(pair.a, &c, 1), 0);
    EXPECT_EQ(plat_socket_poll(pair.a, PLAT_SOCKET_READABLE, 0), 1); // end of data is ready

    uint16_t port = 0;
    int listener = plat_socket_listen_loopback(&port);
    int client = plat_socket_connect("127.0.0.1", port);
    int server = plat_socket_accept(listener);
    ASSERT_EQ(plat_socket_abort(server), 0);
    ASSERT_EQ(plat_socket_poll(client, PLAT_SOCKET_READABLE, 5000), 1);
    EXPECT_EQ(plat_socket_recv(client, &c, 1), -1);
    EXPECT_EQ(errno, ECONNRESET);
    plat_socket_close(client);
    plat_socket_close(listener);
}

// A signal that arrives while a receive waits does not end the receive.
TEST(PlatSocket, InterruptedReceiveIsRepeated)
{
    Pair pair;
    struct sigaction action = {}, old = {};
    action.sa_handler = S_on_alarm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no automatic restart: recv sees EINTR
    ASSERT_EQ(sigaction(SIGALRM, &action, &old), 0);
    S_alarms = 0;
    struct itimerval timer = {};
    timer.it_value.tv_usec = 20000;
    ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
    std::thread sender([&] {
        while (S_alarms == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        plat_socket_send(pair.b, "late", 4);
    });
    char got[4] = {};
    ssize_t n = plat_socket_recv(pair.a, got, sizeof got);
    sender.join();
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_EQ(S_alarms, 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(got[0], 'l');
}

// A non-blocking socket is waited for instead of failing with EAGAIN.
TEST(PlatSocket, NonBlockingSocketsAreWaitedOut)
{
    Pair pair;
    for (int fd : {pair.a, pair.b})
        ASSERT_EQ(fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
    std::vector<char> big(4 << 20, 'q');
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::vector<char> sink(1 << 16);
        size_t total = 0;
        while (total < big.size()) {
            ssize_t n = plat_socket_recv(pair.b, sink.data(), sink.size());
            if (n <= 0)
                break;
            total += static_cast<size_t>(n);
        }
        EXPECT_EQ(total, big.size());
    });
    size_t sent = 0;
    while (sent < big.size()) {
        ssize_t n = plat_socket_send(pair.a, big.data() + sent, big.size() - sent);
        ASSERT_GT(n, 0);
        sent += static_cast<size_t>(n);
    }
    reader.join();
}

// A receive or send time-out the host set on a blocking socket ends the call
// with a failure; the call is not waited out again. Should it be, the test
// unblocks it after a few seconds by giving it what it waits for.
TEST(PlatSocket, AHostsTimeOutFailsTheCall)
{
    struct Case {
        const char *name;
        int option;
    } cases[] = {{"receive", SO_RCVTIMEO}, {"send", SO_SNDTIMEO}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Pair pair;
        struct timeval limit = {};
        limit.tv_usec = 100000;
        ASSERT_EQ(setsockopt(pair.a, SOL_SOCKET, c.option, &limit, sizeof limit), 0);
        std::vector<char> block(1 << 16, 'q');
        std::promise<std::pair<ssize_t, int>> outcome;
        std::future<std::pair<ssize_t, int>> done = outcome.get_future();
        std::atomic<bool> stop{false};
        std::thread caller([&] {
            ssize_t n = 0;
            if (c.option == SO_RCVTIMEO) {
                n = plat_socket_recv(pair.a, block.data(), 1);
            } else {
                // The peer reads nothing: the socket fills, then the send times out.
                while (!stop && (n = plat_socket_send(pair.a, block.data(), block.size())) > 0) {
                }
            }
            outcome.set_value({n, n < 0 ? errno : 0});
        });
        const bool ended = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        if (!ended) {
            // Free the caller: a byte to read, or room to write.
            stop = true;
            send(pair.b, "x", 1, MSG_DONTWAIT | MSG_NOSIGNAL);
            std::vector<char> sink(1 << 16);
            while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
                recv(pair.b, sink.data(), sink.size(), MSG_DONTWAIT);
        }
        caller.join();
        EXPECT_TRUE(ended) << "the call waited past its time-out";
        const std::pair<ssize_t, int> got = done.get();
        EXPECT_EQ(got.first, -1);
        EXPECT_TRUE(got.second == EAGAIN || got.second == EWOULDBLOCK) << got.second;
    }
}

TEST(PlatSocket, PollWorksAboveDescriptor1024)
{
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < 1501) {
        if (limit.rlim_max < 1501)
            GTEST_SKIP() << "the descriptor limit is below 1501";
        limit.rlim_cur = 1501;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    }
    Pair pair;
    ASSERT_EQ(dup2(pair.a, 1500), 1500);
    EXPECT_EQ(plat_socket_poll(1500, PLAT_SOCKET_READABLE, 0), 0);
    EXPECT_EQ(plat_socket_poll(1500, PLAT_SOCKET_WRITABLE, 0), 1);
    ASSERT_EQ(plat_socket_send(pair.b, "x", 1), 1);
    EXPECT_EQ(plat_socket_poll(1500, PLAT_SOCKET_READABLE, 1000), 1);
    close(1500);
    EXPECT_EQ(plat_socket_poll(1500, PLAT_SOCKET_READABLE, 0), -1);
}
