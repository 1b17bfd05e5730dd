// Tests the named mutexes across forked processes: exclusion with timed
// waits, recursion, release only by the holder, and a holder killed with
// SIGKILL leaving the mutex abandoned, which the next waiter takes.
#include "platform/plat_named_mutex_internal.h"

#include "tests/support/forked_child.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <thread>

#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

std::string unique_name(const char *what)
{
    static int counter = 0;
    return "plat_mutex_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
           what;
}

} // namespace

TEST(PlatNamedMutex, CreateOpensTheLiveMutexAndOpenNeedsOne)
{
    std::string name = unique_name("open");
    PLAT_NAMED_MUTEX a, b, c;
    EXPECT_EQ(plat_named_mutex_open(name.c_str(), &c), PLAT_SHM_NOT_FOUND);
    ASSERT_EQ(plat_named_mutex_create(name.c_str(), &a), 0);
    ASSERT_EQ(plat_named_mutex_create(name.c_str(), &b), 0);
    ASSERT_EQ(plat_named_mutex_open(name.c_str(), &c), 0);
    // One mutex behind three handles: recursion counts across them.
    EXPECT_EQ(plat_named_mutex_lock(&a, PLAT_WAIT_INFINITE), PLAT_WAIT_OBJECT_0);
    EXPECT_EQ(plat_named_mutex_lock(&b, 0), PLAT_WAIT_OBJECT_0);
    EXPECT_EQ(plat_named_mutex_unlock(&c), 0);
    EXPECT_EQ(plat_named_mutex_unlock(&a), 0);
    EXPECT_EQ(plat_named_mutex_unlock(&a), -1) << "released more often than taken";
    plat_named_mutex_close(&a);
    plat_named_mutex_close(&b);
    plat_named_mutex_close(&c);
    plat_named_mutex_close(&c); // ignored
    EXPECT_EQ(plat_named_mutex_open(name.c_str(), &c), PLAT_SHM_NOT_FOUND);
}

TEST(PlatNamedMutex, AnotherProcessWaitsAndOnlyTheHolderReleases)
{
    std::string name = unique_name("excl");
    PLAT_NAMED_MUTEX mutex;
    ASSERT_EQ(plat_named_mutex_create(name.c_str(), &mutex), 0);
    ASSERT_EQ(plat_named_mutex_lock(&mutex, PLAT_WAIT_INFINITE), PLAT_WAIT_OBJECT_0);

    forked::Child child = forked::start([&](const forked::Link &link) {
        PLAT_NAMED_MUTEX own;
        if (plat_named_mutex_open(name.c_str(), &own) != 0)
            return 1;
        if (plat_named_mutex_lock(&own, 50) != PLAT_WAIT_TIMEOUT)
            return 2;
        if (plat_named_mutex_unlock(&own) != -1) // not the holder
            return 3;
        link.send('t');
        if (plat_named_mutex_lock(&own, 20000) != PLAT_WAIT_OBJECT_0)
            return 4;
        link.send('l');
        link.receive();
        plat_named_mutex_unlock(&own);
        plat_named_mutex_close(&own);
        return 0;
    });
    ASSERT_GT(child.pid, 0);
    ASSERT_EQ(child.link.receive(), 't');
    // A thread of the holding process is not the holder either.
    int from_thread = 0;
    std::thread([&] { from_thread = plat_named_mutex_unlock(&mutex); }).join();
    EXPECT_EQ(from_thread, -1);
    EXPECT_EQ(plat_named_mutex_unlock(&mutex), 0);
    ASSERT_EQ(child.link.receive(), 'l');
    EXPECT_EQ(plat_named_mutex_lock(&mutex, 20), PLAT_WAIT_TIMEOUT);
    child.link.send('x');
    EXPECT_EQ(forked::finish(child), 0);
    EXPECT_EQ(plat_named_mutex_lock(&mutex, 0), PLAT_WAIT_OBJECT_0);
    EXPECT_EQ(plat_named_mutex_unlock(&mutex), 0);
    plat_named_mutex_close(&mutex);
}

TEST(PlatNamedMutex, AHolderKilledInsideLeavesItAbandonedOnce)
{
    std::string name = unique_name("abandon");
    PLAT_NAMED_MUTEX mutex;
    ASSERT_EQ(plat_named_mutex_create(name.c_str(), &mutex), 0);
    forked::Child child = forked::start([&](const forked::Link &link) {
        PLAT_NAMED_MUTEX own;
        if (plat_named_mutex_open(name.c_str(), &own) != 0)
            return 1;
        // Held twice: recursion does not survive the holder either.
        plat_named_mutex_lock(&own, PLAT_WAIT_INFINITE);
        plat_named_mutex_lock(&own, PLAT_WAIT_INFINITE);
        link.send('h');
        link.receive(); // until killed
        return 0;
    });
    ASSERT_GT(child.pid, 0);
    ASSERT_EQ(child.link.receive(), 'h');
    EXPECT_EQ(plat_named_mutex_lock(&mutex, 0), PLAT_WAIT_TIMEOUT);
    EXPECT_EQ(forked::kill_child(child), 128 + SIGKILL);

    EXPECT_EQ(plat_named_mutex_lock(&mutex, 20000), PLAT_WAIT_ABANDONED);
    EXPECT_EQ(plat_named_mutex_unlock(&mutex), 0);
    EXPECT_EQ(plat_named_mutex_lock(&mutex, 0), PLAT_WAIT_OBJECT_0) << "consistent again";
    EXPECT_EQ(plat_named_mutex_unlock(&mutex), 0);
    plat_named_mutex_close(&mutex);
}

TEST(PlatNamedMutex, AThreadThatEndsHoldingItAbandonsIt)
{
    std::string name = unique_name("thread");
    PLAT_NAMED_MUTEX mutex;
    ASSERT_EQ(plat_named_mutex_create(name.c_str(), &mutex), 0);
    std::thread([&] { plat_named_mutex_lock(&mutex, PLAT_WAIT_INFINITE); }).join();
    EXPECT_EQ(plat_named_mutex_lock(&mutex, 1000), PLAT_WAIT_ABANDONED);
    EXPECT_EQ(plat_named_mutex_unlock(&mutex), 0);
    plat_named_mutex_close(&mutex);
}
