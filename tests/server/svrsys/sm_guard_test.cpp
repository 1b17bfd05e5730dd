// Tests the registration cache's reader/writer guard across real processes:
// readers share it, a writer waits for the readers and holds it alone, a
// reader waits for a writer, and a reader killed while reading is discounted
// so that writers go on instead of waiting for ever.
#include "tests/server/svrsys/sm_fixture.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <time.h>

using namespace sm_test;

namespace
{

double seconds_now()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

int32_t readers(SM_MASTER *m)
{
    return sm_header(m)[SM_HW_GUARD_READERS];
}

bool no_readers_set(SM_MASTER *m)
{
    return plat_event_word_is_set(plat_shared_event_word(&m->guard.no_readers)) != 0;
}

} // namespace

TEST(SmGuard, ReadersShareAndAWriterWaitsForThem)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent a(instance), b(instance);
    ASSERT_EQ(a.opened, 0);
    ASSERT_EQ(b.opened, 0);
    EXPECT_TRUE(no_readers_set(m));
    ASSERT_EQ(a.call(GUARD_ACQUIRE, 2), 0);
    ASSERT_EQ(b.call(GUARD_ACQUIRE, 2), 0);
    EXPECT_EQ(readers(m), 2);
    EXPECT_FALSE(no_readers_set(m));
    ASSERT_EQ(a.call(GUARD_RELEASE), 0);
    EXPECT_EQ(readers(m), 1);

    // The last reader lets go only after a while; the writer waits for it.
    double start = seconds_now();
    ASSERT_TRUE(b.post(GUARD_RELEASE_AFTER_MS, 200));
    EXPECT_EQ(sm_rw_guard_acquire(m, 3), 0);
    EXPECT_GE(seconds_now() - start, 0.15);
    EXPECT_EQ(b.answer(), 0);
    EXPECT_EQ(readers(m), 0);
    EXPECT_TRUE(no_readers_set(m));

    // While the writer holds it, a reader waits.
    ASSERT_TRUE(a.post(GUARD_ACQUIRE, 2));
    int32_t answer = kNoAnswer;
    EXPECT_FALSE(a.child.link.receive_bytes(&answer, sizeof answer, 150));
    EXPECT_EQ(sm_rw_guard_release(m), 0);
    EXPECT_EQ(a.answer(), 0);
    EXPECT_EQ(readers(m), 1);
    EXPECT_EQ(a.call(GUARD_RELEASE), 0);

    EXPECT_EQ(sm_rw_guard_release(m), 0) << "not held: nothing to do";
    EXPECT_EQ(sm_rw_guard_acquire(m, 4), ZE_INVALID_ARGUMENT);
}

TEST(SmGuard, AReaderKilledWhileReadingIsDiscounted)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent survivor(instance);
    ASSERT_EQ(survivor.opened, 0);
    {
        Agent victim(instance);
        ASSERT_EQ(victim.opened, 0);
        ASSERT_EQ(victim.call(GUARD_ACQUIRE, 2), 0);
        ASSERT_EQ(survivor.call(GUARD_ACQUIRE, 2), 0);
        EXPECT_EQ(readers(m), 2);
        EXPECT_EQ(victim.kill(), 128 + SIGKILL);
    }
    // The writer waits for the living reader only.
    ASSERT_TRUE(survivor.post(GUARD_RELEASE_AFTER_MS, 100));
    double start = seconds_now();
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), 1);
    EXPECT_LT(seconds_now() - start, 10.0);
    EXPECT_EQ(survivor.answer(), 0);
    EXPECT_EQ(readers(m), 0);
    EXPECT_TRUE(no_readers_set(m));
    // And the guard works on as before.
    EXPECT_EQ(survivor.call(GUARD_ACQUIRE, 2), 0);
    EXPECT_EQ(readers(m), 1);
    EXPECT_EQ(survivor.call(GUARD_RELEASE), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), 2);
}

TEST(SmGuard, AWriterKilledHoldingItLeavesItToTheNext)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent victim(instance);
    ASSERT_EQ(victim.opened, 0);
    ASSERT_EQ(victim.call(GUARD_ACQUIRE, 3), 0);
    EXPECT_EQ(victim.kill(), 128 + SIGKILL);
    EXPECT_EQ(sm_rw_guard_acquire(m, 2), 0);
    EXPECT_EQ(readers(m), 1);
    EXPECT_EQ(sm_rw_guard_release(m), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), 1);
}

TEST(SmGuard, AReaderTableCapacityRaisedAfterTheOpenBoundsNothing)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *server = nullptr;
    ASSERT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server), 0);
    auto *table = static_cast<SM_GUARD_READERS *>(server->guard.readers.base);
    const int32_t opened = table->capacity;
    EXPECT_EQ(server->guard.reader_capacity, opened);
    // Far past the object: a walk bounded by the word would leave the mapping.
    table->capacity = 1 << 24;
    EXPECT_EQ(sm_rw_guard_acquire(server, 2), 0);
    EXPECT_EQ(readers(server), 1);
    EXPECT_EQ(sm_rw_guard_release(server), 0);
    EXPECT_EQ(sm_rw_guard_acquire(server, 3), 0);
    EXPECT_EQ(sm_rw_guard_release(server), 0);
    table->capacity = opened;
    SM_server_close(server);

    // A table whose word exceeds its object is refused at the open.
    table = static_cast<SM_GUARD_READERS *>(instance.master->guard.readers.base);
    table->capacity = opened + 1000;
    EXPECT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server), ZE_FAILURE);
    table->capacity = opened;
}
