// Tests the object locks across real processes: objects named by id, type and
// application together, held by sessions; have, convert and conflict for the
// same and another session; deletes by automatic flag; the search by example
// with zero fields matching any; and the display lines.
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

std::vector<SM_OBJECT_LOCK> listed_locks;

std::vector<SM_OBJECT_LOCK> object_locks(SM_MASTER *m)
{
    listed_locks.clear();
    SM_object_locks_display_used(m,
                                 [](const SM_OBJECT_LOCK *lock) { listed_locks.push_back(*lock); });
    return listed_locks;
}

} // namespace

TEST(SmObjectLock, RulesForTheSameAndAnotherSession)
{
    const SM_OBJECT_LOCK_RECORD mine = {11, 5, 2, SM_OBJECT_APP_USER};
    const SM_OBJECT_LOCK_RECORD theirs = {22, 5, 2, SM_OBJECT_APP_USER};
    struct Case {
        bool other_session;
        int32_t held;
        int32_t requested;
        SM_OBJECT_LOCK_RECORD object; // id, type and application of the request
        int32_t expected;
        int32_t locks;
        int32_t type; // of the held lock afterwards
    } cases[] = {
        {false, 0, 0, {0, 5, 2, 1}, 0, 1, 0},
        {false, 0, 1, {0, 5, 2, 1}, 0, 1, 1},
        {false, 1, 0, {0, 5, 2, 1}, 0, 1, 0},
        {false, 1, 1, {0, 5, 2, 1}, 0, 1, 1},
        {false, 1, 2, {0, 5, 2, 1}, 0, 1, 1},
        {false, 2, 2, {0, 5, 2, 1}, 0, 1, 2},
        {false, 2, 0, {0, 5, 2, 1}, ZE_LOCK_CONFLICT, 1, 2},
        {false, 0, 2, {0, 5, 2, 1}, 0, 2, 0},
        {false, 2, 1, {0, 5, 2, 1}, ZE_LOCK_CONFLICT, 1, 2},
        {false, 0, 1, {0, 5, 3, 1}, 0, 2, 0},
        {true, 0, 0, {0, 5, 2, 1}, 0, 2, 0},
        {true, 0, 1, {0, 5, 2, 1}, ZE_LOCK_CONFLICT, 1, 0},
        {true, 1, 0, {0, 5, 2, 1}, ZE_LOCK_CONFLICT, 1, 1},
        {true, 0, 2, {0, 5, 2, 1}, ZE_LOCK_CONFLICT, 1, 0},
        {true, 2, 0, {0, 5, 2, 1}, ZE_LOCK_CONFLICT, 1, 2},
        {true, 2, 2, {0, 5, 2, 1}, ZE_LOCK_CONFLICT, 1, 2},
        {true, 1, 1, {0, 6, 2, 1}, 0, 2, 1},
        {true, 1, 1, {0, 5, 2, 999}, 0, 2, 1},
    };
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent other(instance);
    ASSERT_EQ(other.opened, 0);
    int n = 0;
    for (const Case &c : cases) {
        // The held lock is taken in another process either way: the holder
        // is the session in the record, not the process.
        ASSERT_EQ(other.object(OBJECT_ADD, c.other_session ? theirs : mine, c.held), 0);
        SM_OBJECT_LOCK_RECORD request = c.object;
        request.holder = mine.holder;
        EXPECT_EQ(SM_object_lock_add(m, &request, c.requested), c.expected) << "case " << n;
        std::vector<SM_OBJECT_LOCK> locks = object_locks(m);
        EXPECT_EQ(static_cast<int32_t>(locks.size()), c.locks) << "case " << n;
        EXPECT_EQ(SM_shared_info(m, SM_INFO_OBJECT_LOCKS_IN_USE), c.locks) << "case " << n;
        if (!locks.empty()) {
            EXPECT_EQ(locks.back().type, c.type) << "case " << n;
        }
        ASSERT_EQ(SM_object_locks_delete_user(m, mine.holder), 0);
        ASSERT_EQ(SM_object_locks_delete_user(m, theirs.holder), 0);
        ++n;
    }
    SM_OBJECT_LOCK_RECORD record = mine;
    EXPECT_EQ(SM_object_lock_add(m, &record, 3), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_object_lock_add(m, nullptr, 0), ZE_NULL_POINTER);
}

TEST(SmObjectLock, DeletesMatchTheWholeObject)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    SM_OBJECT_LOCK_RECORD user = {11, 5, 2, SM_OBJECT_APP_USER};
    SM_OBJECT_LOCK_RECORD internal = {11, 5, 2, SM_OBJECT_APP_INTERNAL};
    ASSERT_EQ(SM_object_lock_add(m, &user, SM_OBJECT_LOCK_SHARED), 0);
    ASSERT_EQ(SM_object_lock_add(m, &internal, SM_OBJECT_LOCK_AUTO_SHARED), 0);
    // Deleting one application's lock leaves the other application's alone.
    EXPECT_EQ(SM_object_lock_delete(m, &user, 1), ZE_NO_SUCH_LOCK);
    EXPECT_EQ(SM_object_lock_delete(m, &internal, 0), ZE_NO_SUCH_LOCK);
    EXPECT_EQ(SM_object_lock_delete(m, &user, 0), 0);
    std::vector<SM_OBJECT_LOCK> locks = object_locks(m);
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_EQ(locks[0].application, SM_OBJECT_APP_INTERNAL);
    SM_OBJECT_LOCK_RECORD someone_else = internal;
    someone_else.holder = 12;
    EXPECT_EQ(SM_object_lock_delete(m, &someone_else, 1), ZE_NO_SUCH_LOCK);
    EXPECT_EQ(SM_object_lock_delete(m, &internal, 1), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_OBJECT_LOCKS_IN_USE), 0);
}

TEST(SmObjectLock, SearchByExample)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    const SM_OBJECT_LOCK_RECORD held[] = {
        {1, 10, 1, 1}, {2, 10, 2, 1}, {3, 11, 1, 1}, {4, 10, 1, 1001}};
    for (const SM_OBJECT_LOCK_RECORD &r : held)
        ASSERT_EQ(SM_object_lock_add(m, &r, SM_OBJECT_LOCK_SHARED), 0);
    // The answer is the callback's last one: the holder of the last match in
    // chain order, newest first.
    struct Case {
        SM_OBJECT_LOCK_RECORD example;
        int32_t matches;
        int32_t last;
    } cases[] = {
        {{0, 0, 0, 0}, 4, 1},   {{0, 10, 0, 0}, 3, 1},   {{0, 10, 1, 0}, 2, 1},
        {{0, 10, 1, 1}, 1, 1},  {{0, 0, 0, 1001}, 1, 4}, {{99, 12, 0, 0}, 0, 0},
        {{99, 11, 0, 0}, 1, 3},
    };
    for (const Case &c : cases) {
        int32_t count = 0;
        EXPECT_EQ(SM_object_locks_find_by_example(
                      m, &c.example, 1,
                      [](void *context, const SM_OBJECT_LOCK *lock) -> int32_t {
                          ++*static_cast<int32_t *>(context);
                          return lock->holder;
                      },
                      &count),
                  c.last)
            << c.example.object_id << " " << c.example.application;
        EXPECT_EQ(count, c.matches);
    }
}

TEST(SmObjectLock, DisplayLines)
{
    struct Case {
        int32_t application;
        int16_t type;
        const char *expected;
    } cases[] = {
        {1, 0,
         "SID:    12, Object Id:   5, Object Type:   2 Application: [User]  Lock Type: "
         "Shared Object\n"},
        {999, 1,
         "SID:    12, Object Id:   5, Object Type:   2 Application: [OrvekZEL Internal]  "
         "Lock Type: Exclusive Object\n"},
        {1001, 2,
         "SID:    12, Object Id:   5, Object Type:   2 Application: [Vornbase]  Lock "
         "Type: Auto Shared Object\n"},
        {7, 3,
         "SID:    12, Object Id:   5, Object Type:   2 Application: [Other]  Lock Type: "
         "Auto Exclusive Object\n"},
    };
    for (const Case &c : cases) {
        SM_OBJECT_LOCK lock = {12, 5, 2, c.application, 0xFFFE, c.type};
        EXPECT_EQ(Capture([&](FILE *out) { SM_object_lock_display(&lock, out, 0, 0); }),
                  c.expected);
    }
    SM_OBJECT_LOCK lock = {12, 5, 2, 1, 0xFFFE, 0};
    EXPECT_EQ(Capture([&](FILE *out) { SM_object_lock_display(&lock, out, 4, 1); }),
              "  4  SID:    12, Object Id:   5, Object Type:   2 Application: [User]  Lock Type: "
              "Shared Object, Next: 65534\n");
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    StderrCapture capture;
    EXPECT_EQ(SM_object_locks_display_used(instance.master, nullptr), 0);
    EXPECT_EQ(capture.text(), "OBJECT LOCKS IN USE:\n");
}
