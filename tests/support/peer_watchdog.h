// Bounds a test's waits for a loopback peer (sockets, pipes, memory channels).
// The library's readers wait without a limit (its socket reader polls with
// none, so even a receive time-out on the socket does not end the wait): a
// fault that loses a byte would otherwise hang the test until the runner's
// time-out. A fixture holds a PeerWatchdog while its peers talk; the watchdog
// watches the thread that made it, and once that thread has not run at all
// for the limit (it sits in one wait: a read, a poll, a join), it shuts the
// fixture's sockets down, so a blocked read sees the end of the stream and
// the test fails at once. When that does not end the wait (no sockets, or a
// wait on something else), the program ends with a message a limit later. A
// test that makes progress, however long it runs, is never stopped. A
// program whose tests talk to peers without a fixture of sockets (memory
// channels, pipes, threads, child processes) puts ZEL_WATCH_EVERY_TEST() at
// namespace scope (or ZEL_WATCH_EVERY_TEST(seconds) for another limit): each
// of its tests is watched.
#ifndef PEER_WATCHDOG_H
#define PEER_WATCHDOG_H

#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zel_test
{

// Seconds one wait may last: the peers answer in milliseconds, so this leaves
// room for a sanitized build on a loaded machine.
constexpr int kPeerWaitSeconds = 10;

// How much a thread has done so far: its time on a processor (ns), or where
// the system does not keep that, its context switches. It stays the same
// only while the thread sits in one wait. -1 when the thread cannot be read.
inline long long thread_progress(long thread_id)
{
    const std::string task = "/proc/self/task/" + std::to_string(thread_id);
    long long done = -1;
    if (FILE *f = fopen((task + "/schedstat").c_str(), "r")) {
        if (fscanf(f, "%lld", &done) != 1)
            done = -1;
        fclose(f);
    }
    if (done >= 0)
        return done;
    if (FILE *f = fopen((task + "/status").c_str(), "r")) {
        char line[256];
        long long n = 0;
        while (fgets(line, sizeof line, f) != nullptr) {
            if (sscanf(line, "voluntary_ctxt_switches: %lld", &n) == 1 ||
                sscanf(line, "nonvoluntary_ctxt_switches: %lld", &n) == 1)
                done = (done < 0 ? 0 : done) + n;
        }
        fclose(f);
    }
    return done;
}

class PeerWatchdog
{
  public:
    // sockets: the places that hold the fixture's socket descriptors, read
    // when the watchdog fires (a descriptor below 0 is skipped).
    explicit PeerWatchdog(std::initializer_list<const int *> sockets = {},
                          int seconds = kPeerWaitSeconds)
        : sockets_(sockets), owner_(getpid()), watched_(syscall(SYS_gettid))
    {
        thread_ = new std::thread([this, seconds] { watch(seconds); });
    }
    ~PeerWatchdog()
    {
        stop();
    }
    PeerWatchdog(const PeerWatchdog &) = delete;
    PeerWatchdog &operator=(const PeerWatchdog &) = delete;

    // Ends the watch; call it before the fixture closes its descriptors. A
    // forked child leaves the parent's watchdog alone (it has no such thread).
    void stop()
    {
        if (thread_ == nullptr || getpid() != owner_)
            return;
        {
            std::lock_guard<std::mutex> hold(lock_);
            over_ = true;
        }
        wake_.notify_all();
        thread_->join();
        delete thread_;
        thread_ = nullptr;
    }

  private:
    // True when the watched thread has not run for the limit; false once the
    // watch is over.
    bool stuck_for(std::unique_lock<std::mutex> &hold, std::chrono::seconds limit)
    {
        const auto step = std::chrono::milliseconds(200);
        long long last = thread_progress(watched_);
        auto since = std::chrono::steady_clock::now();
        while (!wake_.wait_for(hold, step, [this] { return over_; })) {
            const long long now_done = thread_progress(watched_);
            const auto now = std::chrono::steady_clock::now();
            if (now_done != last || now_done < 0) {
                last = now_done;
                since = now;
            } else if (now - since >= limit) {
                return true;
            }
        }
        return false;
    }

    void watch(int seconds)
    {
        std::unique_lock<std::mutex> hold(lock_);
        const auto limit = std::chrono::seconds(seconds);
        if (!stuck_for(hold, limit))
            return;
        int shut = 0;
        for (const int *socket : sockets_) {
            if (*socket >= 0 && shutdown(*socket, SHUT_RDWR) == 0)
                shut++;
        }
        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        fprintf(stderr, "peer watchdog: %s.%s waited for a peer %d s; %d sockets shut down\n",
                test != nullptr ? test->test_suite_name() : "?",
                test != nullptr ? test->name() : "?", seconds, shut);
        // Another watchdog of the same thread may hold the sockets: its
        // shutdown gets the time to end the wait as well.
        if (!stuck_for(hold, limit))
            return;
        fprintf(stderr, "peer watchdog: a wait for a peer did not end; the program stops\n");
        abort();
    }

    std::vector<const int *> sockets_;
    pid_t owner_;
    long watched_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool over_ = false;
    std::thread *thread_ = nullptr;
};

// Watches each test of the program from its start to its end.
class EveryTestWatch : public ::testing::EmptyTestEventListener
{
  public:
    explicit EveryTestWatch(int seconds) : seconds_(seconds) {}
    void OnTestStart(const ::testing::TestInfo &) override
    {
        watchdog_ = new PeerWatchdog({}, seconds_);
    }
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        delete watchdog_;
        watchdog_ = nullptr;
    }

  private:
    int seconds_;
    PeerWatchdog *watchdog_ = nullptr;
};

inline bool watch_every_test(int seconds = kPeerWaitSeconds)
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new EveryTestWatch(seconds));
    return true;
}

} // namespace zel_test

#define ZEL_WATCH_EVERY_TEST(...)                                                                  \
    [[maybe_unused]] static const bool zel_every_test_watched =                                    \
        zel_test::watch_every_test(__VA_ARGS__)

#endif
