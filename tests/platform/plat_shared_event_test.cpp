// Tests the futex events: manual-reset events release every waiter and stay
// set, auto-reset events release one waiter per set, timed waits run out, and
// named events are shared by forked processes.
#include "platform/plat_shared_event_internal.h"

#include "tests/support/forked_child.h"

#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

std::string unique_name(const char *what)
{
    static int counter = 0;
    return "plat_event_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
           what;
}

double seconds_now()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

} // namespace

TEST(PlatSharedEvent, StatesAndTimedWaitsByKind)
{
    struct Case {
        int manual;
        int initial;
        int first_wait;  // result of an immediate wait
        int second_wait; // and of the one after it
    } cases[] = {
        {1, 1, PLAT_WAIT_OBJECT_0, PLAT_WAIT_OBJECT_0},
        {0, 1, PLAT_WAIT_OBJECT_0, PLAT_WAIT_TIMEOUT},
        {1, 0, PLAT_WAIT_TIMEOUT, PLAT_WAIT_TIMEOUT},
        {0, 0, PLAT_WAIT_TIMEOUT, PLAT_WAIT_TIMEOUT},
    };
    for (const Case &c : cases) {
        PLAT_EVENT_WORD word;
        plat_event_word_init(&word, c.manual, c.initial);
        EXPECT_EQ(plat_event_word_wait(&word, 0), c.first_wait) << c.manual << c.initial;
        EXPECT_EQ(plat_event_word_wait(&word, 0), c.second_wait) << c.manual << c.initial;
        plat_event_word_set(&word);
        EXPECT_EQ(plat_event_word_is_set(&word), 1);
        plat_event_word_reset(&word);
        EXPECT_EQ(plat_event_word_is_set(&word), 0);
    }

    PLAT_EVENT_WORD word;
    plat_event_word_init(&word, 1, 0);
    double start = seconds_now();
    EXPECT_EQ(plat_event_word_wait(&word, 100), PLAT_WAIT_TIMEOUT);
    EXPECT_GE(seconds_now() - start, 0.099);
}

TEST(PlatSharedEvent, ManualSetReleasesEveryWaitingThreadAutoOnlyOne)
{
    for (int manual = 0; manual <= 1; ++manual) {
        PLAT_EVENT_WORD word;
        plat_event_word_init(&word, manual, 0);
        std::atomic<int> released{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 3; ++i)
            waiters.emplace_back([&] {
                if (plat_event_word_wait(&word, 1000) == PLAT_WAIT_OBJECT_0)
                    ++released;
            });
        usleep(50000);
        plat_event_word_set(&word);
        for (std::thread &t : waiters)
            t.join();
        EXPECT_EQ(released.load(), manual ? 3 : 1) << "manual " << manual;
        EXPECT_EQ(plat_event_word_is_set(&word), manual);
    }
}

TEST(PlatSharedEvent, EverySetOfAnAutoEventReleasesOneMoreSleeper)
{
    // Sleepers that lose the race for a set sleep on and are woken by the
    // next set: none is left asleep while sets remain.
    PLAT_EVENT_WORD word;
    plat_event_word_init(&word, 0, 0);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (plat_event_word_wait(&word, 10000) == PLAT_WAIT_OBJECT_0)
                ++released;
        });
    usleep(50000);
    for (int i = 1; i <= 3; ++i) {
        plat_event_word_set(&word);
        double start = seconds_now();
        while (released.load() < i && seconds_now() - start < 5)
            usleep(1000);
        EXPECT_EQ(released.load(), i);
    }
    for (std::thread &t : waiters)
        t.join();
    EXPECT_EQ(plat_event_word_is_set(&word), 0);
    // A set that nobody waits for stays until it is taken or reset.
    plat_event_word_set(&word);
    plat_event_word_set(&word);
    EXPECT_EQ(plat_event_word_wait(&word, 0), PLAT_WAIT_OBJECT_0);
    EXPECT_EQ(plat_event_word_wait(&word, 0), PLAT_WAIT_TIMEOUT);
}

TEST(PlatSharedEvent, NamedEventWakesWaitersInOtherProcesses)
{
    std::string name = unique_name("named");
    PLAT_SHARED_EVENT event;
    ASSERT_EQ(plat_shared_event_create(name.c_str(), 1, 0, &event), 0);
    PLAT_SHARED_EVENT joined;
    ASSERT_EQ(plat_shared_event_create(name.c_str(), 0, 1, &joined), 0);
    EXPECT_EQ(plat_event_word_is_set(plat_shared_event_word(&joined)), 0) << "kept its state";
    plat_shared_event_close(&joined);

    std::vector<forked::Child> children;
    for (int i = 0; i < 2; ++i) {
        children.push_back(forked::start([&](const forked::Link &link) {
            PLAT_SHARED_EVENT own;
            if (plat_shared_event_open(name.c_str(), &own) != 0)
                return 1;
            link.send('r');
            int result = plat_event_word_wait(plat_shared_event_word(&own), 20000);
            plat_shared_event_close(&own);
            return result == PLAT_WAIT_OBJECT_0 ? 0 : 2;
        }));
        ASSERT_GT(children.back().pid, 0);
    }
    for (forked::Child &child : children)
        ASSERT_EQ(child.link.receive(), 'r');
    plat_event_word_set(plat_shared_event_word(&event));
    for (forked::Child &child : children)
        EXPECT_EQ(forked::finish(child), 0);
    plat_shared_event_close(&event);
    EXPECT_EQ(plat_shared_event_open(name.c_str(), &event), PLAT_SHM_NOT_FOUND);
}
