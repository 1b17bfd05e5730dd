// Tests the table locks across real processes: have, convert and conflict for
// the same and another holder, a dead server's locks, the search by table and
// the display lines.
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

std::vector<SM_TABLE_LOCK> on_table(SM_MASTER *m, int32_t table_id)
{
    std::vector<SM_TABLE_LOCK> found;
    SM_locks_find_on_table(
        m, table_id, 1,
        [](void *context, const SM_TABLE_LOCK *lock) -> int32_t {
            static_cast<std::vector<SM_TABLE_LOCK> *>(context)->push_back(*lock);
            return lock->type;
        },
        &found);
    return found;
}

} // namespace

TEST(SmTableLock, RulesForTheSameAndAnotherHolder)
{
    struct Case {
        bool other;
        int32_t held; // on table 5
        int32_t requested;
        int32_t table;
        int32_t expected;
        int32_t locks;
        int32_t type; // of the held lock afterwards
    } cases[] = {
        {false, 1, 1, 5, 0, 1, 1},
        {false, 1, 2, 5, 0, 1, 2},
        {false, 2, 1, 5, 0, 1, 1},
        {false, 2, 2, 5, 0, 1, 2},
        {false, 2, 2, 6, 0, 2, 2},
        {true, 1, 1, 5, 0, 2, 1},
        {true, 1, 2, 5, ZE_LOCK_CONFLICT, 1, 1},
        {true, 2, 1, 5, ZE_LOCK_CONFLICT, 1, 2},
        {true, 2, 2, 5, ZE_LOCK_CONFLICT, 1, 2},
        {true, 2, 2, 6, 0, 2, 2},
    };
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent other(instance);
    ASSERT_EQ(other.opened, 0);
    int n = 0;
    for (const Case &c : cases) {
        if (c.other)
            ASSERT_EQ(other.call(TABLE_ADD, 5, c.held), 0) << "case " << n;
        else
            ASSERT_EQ(SM_table_lock_add(m, 5, c.held), 0) << "case " << n;
        EXPECT_EQ(SM_table_lock_add(m, c.table, c.requested), c.expected) << "case " << n;
        EXPECT_EQ(SM_shared_info(m, SM_INFO_TABLE_LOCKS_IN_USE), c.locks) << "case " << n;
        std::vector<SM_TABLE_LOCK> held = on_table(m, 5);
        ASSERT_FALSE(held.empty());
        EXPECT_EQ(held.back().type, c.type) << "case " << n;
        ASSERT_EQ(SM_table_locks_delete_user(m, getpid()), 0);
        ASSERT_EQ(SM_table_locks_delete_user(m, other.pid()), 0);
        ++n;
    }
    // Two shared holders block an exclusive upgrade of either.
    ASSERT_EQ(other.call(TABLE_ADD, 5, SM_TABLE_LOCK_SHARED), 0);
    ASSERT_EQ(SM_table_lock_add(m, 5, SM_TABLE_LOCK_SHARED), 0);
    EXPECT_EQ(SM_table_lock_add(m, 5, SM_TABLE_LOCK_EXCLUSIVE), ZE_LOCK_CONFLICT);
    EXPECT_EQ(other.call(TABLE_ADD, 5, SM_TABLE_LOCK_EXCLUSIVE), ZE_LOCK_CONFLICT);
    EXPECT_EQ(SM_table_lock_add(m, 5, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_table_lock_add(m, 5, 3), ZE_INVALID_ARGUMENT);
}

TEST(SmTableLock, DeletesAndADeadServersLocks)
{
    Capacities c;
    c.ntablelocks = 2;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent dead(instance);
    ASSERT_EQ(dead.opened, 0);
    ASSERT_EQ(dead.call(TABLE_ADD, 1, SM_TABLE_LOCK_EXCLUSIVE), 0);
    ASSERT_EQ(dead.call(TABLE_ADD, 2, SM_TABLE_LOCK_SHARED), 0);
    EXPECT_EQ(SM_table_lock_add(m, 3, SM_TABLE_LOCK_SHARED), ZE_LOCK_TABLE_FULL);
    EXPECT_EQ(SM_table_lock_delete(m, 1), ZE_NO_SUCH_LOCK) << "not this process's lock";
    int32_t pid = dead.pid();
    EXPECT_EQ(dead.kill(), 128 + SIGKILL);
    EXPECT_EQ(SM_table_locks_delete_user(m, pid), 0);
    EXPECT_EQ(SM_table_lock_add(m, 1, SM_TABLE_LOCK_EXCLUSIVE), 0);
    EXPECT_EQ(SM_table_lock_add(m, 2, SM_TABLE_LOCK_EXCLUSIVE), 0);
    EXPECT_EQ(SM_table_lock_delete(m, 1), 0);
    EXPECT_EQ(SM_table_lock_delete(m, 1), ZE_NO_SUCH_LOCK);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_TABLE_LOCKS_IN_USE), 1);
}

TEST(SmTableLock, SearchAndDisplayLines)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent other(instance);
    ASSERT_EQ(other.opened, 0);
    ASSERT_EQ(other.call(TABLE_ADD, 8, SM_TABLE_LOCK_SHARED), 0);
    ASSERT_EQ(SM_table_lock_add(m, 9, SM_TABLE_LOCK_EXCLUSIVE), 0);
    ASSERT_EQ(SM_table_lock_add(m, 8, SM_TABLE_LOCK_SHARED), 0);
    // The search answers the callback's last answer: here the lock type.
    EXPECT_EQ(on_table(m, 8).size(), 2u);
    EXPECT_EQ(SM_locks_find_on_table(
                  m, 9, 0, [](void *, const SM_TABLE_LOCK *lock) -> int32_t { return lock->type; },
                  nullptr),
              SM_TABLE_LOCK_EXCLUSIVE);
    EXPECT_EQ(SM_locks_find_on_table(
                  m, 7, 1, [](void *, const SM_TABLE_LOCK *) -> int32_t { return 5; }, nullptr),
              0);

    SM_TABLE_LOCK lock = {77, 8, 3, SM_TABLE_LOCK_EXCLUSIVE};
    EXPECT_EQ(Capture([&](FILE *out) { SM_table_lock_display(&lock, out, 0, 1); }),
              "ZEL ID:    77, table:   8, Lock Type: Exclusive Table, Next: 3\n");
    lock.type = SM_TABLE_LOCK_SHARED;
    EXPECT_EQ(Capture([&](FILE *out) { SM_table_lock_display(&lock, out, 1, 0); }),
              "  1  ZEL ID:    77, table:   8, Lock Type: Shared Table\n");
    StderrCapture capture;
    EXPECT_EQ(SM_table_locks_display_used(m, nullptr), 3);
    std::string listed = capture.text();
    EXPECT_EQ(listed.rfind("TABLE LOCKS IN USE:\n", 0), 0u) << listed;
    static int count;
    count = 0;
    EXPECT_EQ(SM_table_locks_display_used(m, [](const SM_TABLE_LOCK *) { ++count; }), 3);
    EXPECT_EQ(count, 3);
}
