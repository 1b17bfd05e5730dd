// Tests the state locks across real processes: the have, convert and conflict
// rules for the same and another holder on the same and another state, a
// conversion that must still test the other holders, deletes by automatic
// flag, a full table, a dead server's locks, damaged chains, and the lists.
#include "tests/server/svrsys/sm_fixture.h"

#include "base/util/zel_errors.h"
#include "tests/base/util/ve_list_capture.h"
#include "tests/support/quiet_stderr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace sm_test;

namespace
{

std::vector<SM_STATE_LOCK> listed_locks;

std::vector<SM_STATE_LOCK> state_locks(SM_MASTER *m)
{
    listed_locks.clear();
    SM_state_locks_display_used(m,
                                [](const SM_STATE_LOCK *lock) { listed_locks.push_back(*lock); });
    return listed_locks;
}

// Length of the free chain, bounded.
int32_t free_state_slots(SM_MASTER *m)
{
    int32_t n = 0;
    for (int32_t i = sm_header(m)[SM_HW_STATE_FREE]; i != -2 && n < 100;
         i = m->state_locks[i].next == 0xFFFE ? -2 : m->state_locks[i].next)
        ++n;
    return n;
}

} // namespace

TEST(SmStateLock, RulesForTheSameAndAnotherHolder)
{
    // held: a lock on state 5 (tree types ignore it); then the request.
    struct Case {
        bool other; // held by another server process
        int32_t held;
        int32_t requested;
        int32_t state; // of the request
        int32_t expected;
        int32_t locks; // in use afterwards
        int32_t type;  // of the held lock afterwards
    } cases[] = {
        // The same holder: have, convert, or a second lock.
        {false, 0, 0, 5, 0, 1, 0},
        {false, 1, 0, 5, 0, 1, 0},
        {false, 0, 1, 5, 0, 1, 1},
        {false, 1, 1, 9, 0, 1, 1},
        {false, 2, 2, 5, 0, 1, 2},
        {false, 2, 3, 5, 0, 1, 3},
        {false, 3, 2, 5, 0, 1, 2},
        {false, 2, 3, 6, 0, 2, 2},
        {false, 4, 5, 5, 0, 1, 5},
        {false, 5, 4, 5, 0, 1, 4},
        {false, 4, 4, 5, 0, 1, 4},
        {false, 2, 4, 5, 0, 2, 2},
        {false, 5, 2, 5, ZE_LOCK_CONFLICT, 1, 5},
        {false, 2, 5, 5, 0, 2, 2},
        {false, 3, 4, 5, ZE_LOCK_CONFLICT, 1, 3},
        {false, 3, 5, 5, ZE_LOCK_CONFLICT, 1, 3},
        {false, 2, 1, 5, ZE_LOCK_CONFLICT, 1, 2},
        {false, 0, 3, 5, ZE_LOCK_CONFLICT, 1, 0},
        // Another holder: none, or a conflict.
        {true, 0, 0, 5, 0, 2, 0},
        {true, 0, 1, 5, ZE_LOCK_CONFLICT, 1, 0},
        {true, 1, 0, 5, ZE_LOCK_CONFLICT, 1, 1},
        {true, 1, 4, 9, ZE_LOCK_CONFLICT, 1, 1},
        {true, 0, 2, 5, 0, 2, 0},
        {true, 2, 2, 5, 0, 2, 2},
        {true, 2, 3, 5, ZE_LOCK_CONFLICT, 1, 2},
        {true, 2, 3, 6, 0, 2, 2},
        {true, 3, 2, 5, ZE_LOCK_CONFLICT, 1, 3},
        {true, 3, 2, 6, 0, 2, 3},
        {true, 3, 0, 9, ZE_LOCK_CONFLICT, 1, 3},
        {true, 4, 0, 9, 0, 2, 4},
        {true, 5, 0, 9, ZE_LOCK_CONFLICT, 1, 5},
        {true, 4, 3, 5, ZE_LOCK_CONFLICT, 1, 4},
        {true, 4, 3, 6, 0, 2, 4},
        {true, 4, 4, 5, 0, 2, 4},
        {true, 4, 5, 5, ZE_LOCK_CONFLICT, 1, 4},
        {true, 2, 5, 5, ZE_LOCK_CONFLICT, 1, 2},
        {true, 5, 5, 6, 0, 2, 5},
        {true, 5, 2, 5, ZE_LOCK_CONFLICT, 1, 5},
    };
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent other(instance);
    ASSERT_EQ(other.opened, 0);
    int n = 0;
    for (const Case &c : cases) {
        if (c.other)
            ASSERT_EQ(other.call(STATE_ADD, 5, c.held), 0) << "case " << n;
        else
            ASSERT_EQ(SM_state_lock_add(m, 5, c.held), 0) << "case " << n;
        EXPECT_EQ(SM_state_lock_add(m, c.state, c.requested), c.expected) << "case " << n;
        std::vector<SM_STATE_LOCK> locks = state_locks(m);
        EXPECT_EQ(static_cast<int32_t>(locks.size()), c.locks) << "case " << n;
        EXPECT_EQ(SM_shared_info(m, SM_INFO_STATE_LOCKS_IN_USE), c.locks) << "case " << n;
        // The held lock is the older one, at the end of the chain.
        if (!locks.empty()) {
            EXPECT_EQ(locks.back().type, c.type) << "case " << n;
        }
        ASSERT_EQ(SM_state_locks_delete_user(m, getpid()), 0);
        ASSERT_EQ(SM_state_locks_delete_user(m, other.pid()), 0);
        ++n;
    }
}

TEST(SmStateLock, AnUpgradeStillTestsTheOtherHolders)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent other(instance);
    ASSERT_EQ(other.opened, 0);
    ASSERT_EQ(other.call(STATE_ADD, 5, SM_STATE_LOCK_SHARED_STATE), 0);
    ASSERT_EQ(SM_state_lock_add(m, 5, SM_STATE_LOCK_SHARED_STATE), 0);
    EXPECT_EQ(SM_state_lock_add(m, 5, SM_STATE_LOCK_EXCLUSIVE_STATE), ZE_LOCK_CONFLICT);
    std::vector<SM_STATE_LOCK> locks = state_locks(m);
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0].type, SM_STATE_LOCK_SHARED_STATE) << "the own lock is not converted";
    EXPECT_EQ(other.call(STATE_DELETE, 5, 0), 0);
    EXPECT_EQ(SM_state_lock_add(m, 5, SM_STATE_LOCK_EXCLUSIVE_STATE), 0);
    EXPECT_EQ(other.call(STATE_ADD, 5, SM_STATE_LOCK_SHARED_STATE), ZE_LOCK_CONFLICT);
    EXPECT_EQ(other.call(STATE_ADD, 6, SM_STATE_LOCK_EXCLUSIVE_STATE), 0);
}

TEST(SmStateLock, DeleteByAutomaticFlag)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    ASSERT_EQ(SM_state_lock_add(m, 5, SM_STATE_LOCK_SHARED_STATE), 0);
    ASSERT_EQ(SM_state_lock_add(m, 5, SM_STATE_LOCK_AUTO_SHARED_STATE), 0);
    ASSERT_EQ(SM_state_lock_add(m, 7, SM_STATE_LOCK_AUTO_EXCLUSIVE_STATE), 0);
    EXPECT_EQ(SM_state_lock_delete(m, 5, 1), 0);
    EXPECT_EQ(SM_state_lock_delete(m, 5, 1), ZE_NO_SUCH_LOCK);
    std::vector<SM_STATE_LOCK> locks = state_locks(m);
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0].type, SM_STATE_LOCK_AUTO_EXCLUSIVE_STATE);
    EXPECT_EQ(locks[1].type, SM_STATE_LOCK_SHARED_STATE);
    EXPECT_EQ(SM_state_lock_delete(m, 7, 0), ZE_NO_SUCH_LOCK);
    EXPECT_EQ(SM_state_lock_delete(m, 7, 1), 0);
    EXPECT_EQ(SM_state_lock_delete(m, 5, 0), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_STATE_LOCKS_IN_USE), 0);
}

TEST(SmStateLock, AFullTableAndADeadServersLocks)
{
    Capacities c;
    c.nstatelocks = 3;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent dead(instance);
    ASSERT_EQ(dead.opened, 0);
    for (int32_t state = 1; state <= 3; ++state)
        ASSERT_EQ(dead.call(STATE_ADD, state, SM_STATE_LOCK_SHARED_STATE), 0);
    EXPECT_EQ(SM_state_lock_add(m, 9, SM_STATE_LOCK_SHARED_STATE), ZE_LOCK_TABLE_FULL);
    // A request the holder already has needs no slot.
    EXPECT_EQ(dead.call(STATE_ADD, 2, SM_STATE_LOCK_SHARED_STATE), 0);
    int32_t pid = dead.pid();
    EXPECT_EQ(dead.kill(), 128 + SIGKILL);
    EXPECT_EQ(SM_state_locks_delete_user(m, pid), 0);
    for (int32_t state = 1; state <= 3; ++state)
        EXPECT_EQ(SM_state_lock_add(m, state, SM_STATE_LOCK_EXCLUSIVE_STATE), 0);
    EXPECT_EQ(SM_state_lock_add(m, 4, SM_STATE_LOCK_SHARED_STATE), ZE_LOCK_TABLE_FULL);
}

TEST(SmStateLock, AHolderKilledInsideAndDamagedChains)
{
    Capacities c;
    c.nstatelocks = 4;
    struct Case {
        const char *damage;
        void (*apply)(SM_MASTER *m);
    } cases[] = {
        {"a lock pointing to itself",
         [](SM_MASTER *m) {
             int32_t head = sm_header(m)[SM_HW_STATE_USED];
             m->state_locks[head].next = static_cast<uint16_t>(head);
         }},
        {"a used head past the slots", [](SM_MASTER *m) { sm_header(m)[SM_HW_STATE_USED] = 4; }},
        {"a free head into the used chain",
         [](SM_MASTER *m) { sm_header(m)[SM_HW_STATE_FREE] = sm_header(m)[SM_HW_STATE_USED]; }},
        {"a lost slot and a wrong count",
         [](SM_MASTER *m) {
             int32_t *w = sm_header(m);
             w[SM_HW_STATE_FREE] = m->state_locks[w[SM_HW_STATE_FREE]].next == 0xFFFE
                                       ? -2
                                       : m->state_locks[w[SM_HW_STATE_FREE]].next;
             w[SM_HW_STATE_COUNT] = 3;
         }},
    };
    for (const Case &k : cases) {
        Instance instance(c);
        ASSERT_EQ(instance.created, 0);
        SM_MASTER *m = instance.master;
        Agent victim(instance);
        ASSERT_EQ(victim.opened, 0);
        ASSERT_EQ(SM_state_lock_add(m, 1, SM_STATE_LOCK_SHARED_STATE), 0);
        // The victim dies holding the mutex after damaging the chains.
        ASSERT_EQ(victim.call(MUTEX_LOCK, 6), 0);
        k.apply(m);
        EXPECT_EQ(victim.kill(), 128 + SIGKILL);
        for (int32_t state = 2; state <= 4; ++state)
            EXPECT_EQ(SM_state_lock_add(m, state, SM_STATE_LOCK_SHARED_STATE), 0)
                << k.damage << " state " << state;
        int32_t listed = static_cast<int32_t>(state_locks(m).size());
        EXPECT_EQ(SM_shared_info(m, SM_INFO_STATE_LOCKS_IN_USE), listed) << k.damage;
        EXPECT_EQ(listed + free_state_slots(m), 4) << k.damage << ": no slot lost";
    }
    // A chain damaged without an abandoned mutex is mended when walked.
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    ASSERT_EQ(SM_state_lock_add(m, 1, SM_STATE_LOCK_SHARED_STATE), 0);
    cases[0].apply(m);
    EXPECT_EQ(SM_state_lock_add(m, 1, SM_STATE_LOCK_EXCLUSIVE_STATE), 0);
    EXPECT_EQ(state_locks(m).size(), 1u);
}

TEST(SmStateLock, ListsAndDisplayLines)
{
    SM_STATE_LOCK lock = {4242, 17, 0xFFFE, SM_STATE_LOCK_AUTO_EXCLUSIVE_STATE};
    EXPECT_EQ(Capture([&](FILE *out) { SM_state_lock_display(&lock, out, 0, 1); }),
              "S-ID:  4242, State:  17, Lock Type: Auto Exclusive State, Next: 65534\n");
    EXPECT_EQ(Capture([&](FILE *out) { SM_state_lock_display(&lock, out, 12, 0); }),
              " 12  S-ID:  4242, State:  17, Lock Type: Auto Exclusive State\n");
    const char *names[] = {"Shared Tree", "Exclusive Tree", "Shared State", "Exclusive State",
                           "Auto Shared State"};
    for (int16_t type = 0; type < 5; ++type) {
        lock.type = type;
        std::string line = Capture([&](FILE *out) { SM_state_lock_display(&lock, out, 0, 0); });
        EXPECT_EQ(line, std::string("S-ID:  4242, State:  17, Lock Type: ") + names[type] + "\n");
    }
    EXPECT_EQ(SM_state_lock_display(&lock, nullptr, 0, 0), ZE_NULL_POINTER);

    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    ASSERT_EQ(SM_state_lock_add(m, 3, SM_STATE_LOCK_SHARED_STATE), 0);
    ASSERT_EQ(SM_state_lock_add(m, 4, SM_STATE_LOCK_SHARED_STATE), 0);
    std::string pid = std::to_string(getpid());
    pid.insert(0, pid.size() < 5 ? 5 - pid.size() : 0, ' ');
    StderrCapture capture;
    EXPECT_EQ(SM_state_locks_display_used(m, nullptr), 2);
    EXPECT_EQ(capture.text(), "STATE LOCKS IN USE:\nS-ID: " + pid +
                                  ", State:   4, Lock Type: Shared State, Next: 0\nS-ID: " + pid +
                                  ", State:   3, Lock Type: Shared State, Next: 65534\n");
    EXPECT_EQ(SM_state_lock_add(m, 3, 6), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_state_lock_add(m, 3, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_state_lock_add(nullptr, 3, 0), ZE_NULL_POINTER);
}
