// Tests the layer locks across real processes: the conflict table between
// holders, the automatic-area rules of one process, replacement of the own
// lock (kept when the replacement fails), modify and the deletes, removal of
// a dead server's locks, a holder killed inside the mutex or a damaged chain
// never wedging the table, and the display lines.
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

const ENVELOPE kBox = {0, 0, 10, 10};
const ENVELOPE kOverlap = {5, 5, 15, 15};
const ENVELOPE kTouching = {10, 10, 20, 20};
const ENVELOPE kApart = {20, 20, 30, 30};
const ENVELOPE kInside = {2, 2, 8, 8};

struct Held {
    int32_t type;
    ENVELOPE envelope;
};

// The process's locks on the layer, in chain order.
std::vector<SM_LAYER_LOCK> locks_on(SM_MASTER *m, int32_t layer)
{
    std::vector<SM_LAYER_LOCK> found;
    SM_locks_find_on_layer(
        m, layer, 1,
        [](void *context, const SM_LAYER_LOCK *lock) -> int32_t {
            static_cast<std::vector<SM_LAYER_LOCK> *>(context)->push_back(*lock);
            return 0;
        },
        &found);
    return found;
}

int32_t add(Agent &agent, int32_t layer, int32_t type, ENVELOPE envelope)
{
    return type == SM_LOCK_AUTO_AREA ? agent.call(AUTOLOCK_ADD, layer, 0, envelope)
                                     : agent.call(LOCK_ADD, layer, type, envelope);
}

// Length of the free chain headed by slot 0, bounded.
int32_t free_slots(SM_MASTER *m)
{
    int32_t n = 0;
    for (int32_t i = m->layer_locks[0].next; i != 0 && n < 100; i = m->layer_locks[i].next)
        ++n;
    return n;
}

} // namespace

TEST(SmLayerLock, ConflictsBetweenHolders)
{
    struct Case {
        Held held;         // by another server process
        int32_t requested; // by this process
        ENVELOPE envelope;
        int32_t expected;
    } cases[] = {
        {{SM_LOCK_SHARED_LAYER, kBox}, SM_LOCK_SHARED_LAYER, kBox, 0},
        {{SM_LOCK_SHARED_LAYER, kBox}, SM_LOCK_UPDATE_LAYER, kBox, ZE_LOCK_CONFLICT},
        {{SM_LOCK_SHARED_LAYER, kBox}, SM_LOCK_SHARED_AREA, kApart, 0},
        {{SM_LOCK_SHARED_LAYER, kBox}, SM_LOCK_UPDATE_AREA, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_SHARED_LAYER, kBox}, SM_LOCK_AUTO_AREA, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_UPDATE_LAYER, kBox}, SM_LOCK_SHARED_LAYER, kBox, ZE_LOCK_CONFLICT},
        {{SM_LOCK_UPDATE_LAYER, kBox}, SM_LOCK_UPDATE_LAYER, kBox, ZE_LOCK_CONFLICT},
        {{SM_LOCK_UPDATE_LAYER, kBox}, SM_LOCK_SHARED_AREA, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_UPDATE_LAYER, kBox}, SM_LOCK_UPDATE_AREA, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_UPDATE_LAYER, kBox}, SM_LOCK_AUTO_AREA, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_SHARED_LAYER, kApart, 0},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_UPDATE_LAYER, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_SHARED_AREA, kOverlap, 0},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_UPDATE_AREA, kOverlap, ZE_LOCK_CONFLICT},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_UPDATE_AREA, kTouching, ZE_LOCK_CONFLICT},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_UPDATE_AREA, kApart, 0},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_AUTO_AREA, kOverlap, ZE_LOCK_CONFLICT},
        {{SM_LOCK_SHARED_AREA, kBox}, SM_LOCK_AUTO_AREA, kApart, 0},
        {{SM_LOCK_UPDATE_AREA, kBox}, SM_LOCK_SHARED_LAYER, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_UPDATE_AREA, kBox}, SM_LOCK_SHARED_AREA, kInside, ZE_LOCK_CONFLICT},
        {{SM_LOCK_UPDATE_AREA, kBox}, SM_LOCK_SHARED_AREA, kApart, 0},
        {{SM_LOCK_UPDATE_AREA, kBox}, SM_LOCK_UPDATE_AREA, kApart, 0},
        {{SM_LOCK_UPDATE_AREA, kBox}, SM_LOCK_AUTO_AREA, kInside, ZE_LOCK_CONFLICT},
        {{SM_LOCK_AUTO_AREA, kBox}, SM_LOCK_SHARED_LAYER, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_AUTO_AREA, kBox}, SM_LOCK_UPDATE_LAYER, kApart, ZE_LOCK_CONFLICT},
        {{SM_LOCK_AUTO_AREA, kBox}, SM_LOCK_SHARED_AREA, kOverlap, ZE_LOCK_CONFLICT},
        {{SM_LOCK_AUTO_AREA, kBox}, SM_LOCK_SHARED_AREA, kApart, 0},
        {{SM_LOCK_AUTO_AREA, kBox}, SM_LOCK_UPDATE_AREA, kApart, 0},
        {{SM_LOCK_AUTO_AREA, kBox}, SM_LOCK_AUTO_AREA, kApart, 0},
        {{SM_LOCK_AUTO_AREA, kBox}, SM_LOCK_AUTO_AREA, kTouching, ZE_LOCK_CONFLICT},
    };
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent holder(instance);
    ASSERT_EQ(holder.opened, 0);
    int n = 0;
    for (const Case &c : cases) {
        ASSERT_EQ(add(holder, 1, c.held.type, c.held.envelope), 0) << "case " << n;
        int32_t result = c.requested == SM_LOCK_AUTO_AREA
                             ? SM_autolock_add(m, 1, &c.envelope)
                             : SM_lock_add(m, 1, c.requested, &c.envelope);
        EXPECT_EQ(result, c.expected) << "case " << n;
        EXPECT_EQ(SM_shared_info(m, SM_INFO_LAYER_LOCKS_IN_USE), c.expected == 0 ? 2 : 1)
            << "case " << n;
        if (c.expected == 0) {
            EXPECT_EQ(SM_lock_delete(m, 1), 0);
        }
        ASSERT_EQ(holder.call(LOCK_DELETE, 1), 0);
        ++n;
    }
}

TEST(SmLayerLock, ThreeProcessesShareAnAreaAndAnUpdateFitsOnlyOutside)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    Agent a(instance), b(instance);
    ASSERT_EQ(a.opened, 0);
    ASSERT_EQ(b.opened, 0);
    EXPECT_EQ(a.call(LOCK_ADD, 2, SM_LOCK_SHARED_AREA, kBox), 0);
    EXPECT_EQ(b.call(LOCK_ADD, 2, SM_LOCK_SHARED_AREA, kOverlap), 0);
    const ENVELOPE over_both = {6, 6, 9, 9};
    EXPECT_EQ(SM_lock_add(instance.master, 2, SM_LOCK_UPDATE_AREA, &over_both), ZE_LOCK_CONFLICT);
    EXPECT_EQ(SM_lock_add(instance.master, 2, SM_LOCK_UPDATE_AREA, &kApart), 0);
    std::vector<SM_LAYER_LOCK> locks = locks_on(instance.master, 2);
    ASSERT_EQ(locks.size(), 3u);
    EXPECT_EQ(locks[0].holder, a.pid());
    EXPECT_EQ(locks[1].holder, b.pid());
    EXPECT_EQ(locks[2].holder, getpid());
    // The other layers are untouched.
    EXPECT_EQ(b.call(LOCK_ADD, 3, SM_LOCK_UPDATE_LAYER), 0);
}

TEST(SmLayerLock, OwnLocksAndTheAutomaticAreaRules)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    const ENVELOPE partly_outside = {5, 5, 12, 12};

    // An own lock is replaced, not added to.
    ASSERT_EQ(SM_lock_add(m, 1, SM_LOCK_UPDATE_LAYER, nullptr), 0);
    ASSERT_EQ(SM_lock_add(m, 1, SM_LOCK_SHARED_LAYER, nullptr), 0);
    std::vector<SM_LAYER_LOCK> locks = locks_on(m, 1);
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_EQ(locks[0].type, SM_LOCK_SHARED_LAYER);

    // Under an own update-layer lock an automatic lock needs no slot.
    ASSERT_EQ(SM_lock_add(m, 1, SM_LOCK_UPDATE_LAYER, nullptr), 0);
    EXPECT_EQ(SM_autolock_add(m, 1, &kBox), 0);
    EXPECT_EQ(locks_on(m, 1).size(), 1u);

    // Inside an own update area neither; partly outside it gets its own slot,
    // and a second automatic lock then conflicts with it.
    ASSERT_EQ(SM_lock_add(m, 2, SM_LOCK_UPDATE_AREA, &kBox), 0);
    EXPECT_EQ(SM_autolock_add(m, 2, &kInside), 0);
    EXPECT_EQ(locks_on(m, 2).size(), 1u);
    EXPECT_EQ(SM_autolock_add(m, 2, &partly_outside), 0);
    locks = locks_on(m, 2);
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[1].type, SM_LOCK_AUTO_AREA);
    EXPECT_EQ(SM_autolock_add(m, 2, &kApart), ZE_LOCK_CONFLICT);

    // Beside an own shared area an automatic lock conflicts only where they meet.
    ASSERT_EQ(SM_lock_add(m, 3, SM_LOCK_SHARED_AREA, &kBox), 0);
    EXPECT_EQ(SM_autolock_add(m, 3, &kOverlap), ZE_LOCK_CONFLICT);
    EXPECT_EQ(SM_autolock_add(m, 3, &kApart), 0);

    // An explicit request beside an own automatic lock is reported and allowed.
    ASSERT_EQ(SM_autolock_add(m, 4, &kBox), 0);
    StderrCapture capture;
    EXPECT_EQ(SM_lock_add(m, 4, SM_LOCK_UPDATE_AREA, &kOverlap), 0);
    std::string err = capture.text();
    EXPECT_NE(err.find("INTERNAL LOCK CONFLICT ERROR\nINVALID LOCK REQUEST\nPID "),
              std::string::npos)
        << err;
    EXPECT_NE(err.find(", LAYER 4, LOCK_TYPE 3, ENVP (5,5,15,15)\n"), std::string::npos) << err;
    EXPECT_EQ(locks_on(m, 4).size(), 2u);
}

TEST(SmLayerLock, AFailedReplacementKeepsTheOldLock)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent other(instance);
    ASSERT_EQ(other.opened, 0);
    ASSERT_EQ(SM_lock_add(m, 1, SM_LOCK_SHARED_AREA, &kBox), 0);
    ASSERT_EQ(other.call(LOCK_ADD, 1, SM_LOCK_UPDATE_AREA, kApart), 0);
    const ENVELOPE reaching = {5, 5, 25, 25};

    EXPECT_EQ(SM_lock_add(m, 1, SM_LOCK_UPDATE_AREA, &reaching), ZE_LOCK_CONFLICT);
    EXPECT_EQ(SM_lock_modify(m, 1, SM_LOCK_UPDATE_AREA, &reaching), ZE_LOCK_CONFLICT);
    std::vector<SM_LAYER_LOCK> locks = locks_on(m, 1);
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0].holder, getpid());
    EXPECT_EQ(locks[0].type, SM_LOCK_SHARED_AREA);
    EXPECT_EQ(locks[0].envelope.maxx, 10);
    // The other process still cannot update over the kept shared area.
    EXPECT_EQ(other.call(LOCK_ADD, 1, SM_LOCK_UPDATE_AREA, kOverlap), ZE_LOCK_CONFLICT);

    // A modify that fits rewrites the lock in place.
    EXPECT_EQ(SM_lock_modify(m, 1, SM_LOCK_UPDATE_AREA, &kInside), 0);
    locks = locks_on(m, 1);
    ASSERT_EQ(locks.size(), 2u);
    EXPECT_EQ(locks[0].type, SM_LOCK_UPDATE_AREA);
    EXPECT_EQ(locks[0].envelope.minx, 2);
    EXPECT_EQ(SM_lock_modify(m, 2, SM_LOCK_SHARED_LAYER, nullptr), ZE_NO_SUCH_LOCK);
    EXPECT_EQ(other.call(LOCK_MODIFY, 2, SM_LOCK_SHARED_LAYER), ZE_NO_SUCH_LOCK);
}

TEST(SmLayerLock, DeletesByType)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    EXPECT_EQ(SM_lock_delete(m, 1), ZE_NO_SUCH_LOCK);
    ASSERT_EQ(SM_lock_add(m, 1, SM_LOCK_UPDATE_AREA, &kBox), 0);
    ASSERT_EQ(SM_autolock_add(m, 1, &kApart), 0);
    EXPECT_EQ(SM_autolock_delete(m, 1), 0);
    EXPECT_EQ(SM_autolock_delete(m, 1), ZE_NO_SUCH_LOCK);
    std::vector<SM_LAYER_LOCK> locks = locks_on(m, 1);
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_EQ(locks[0].type, SM_LOCK_UPDATE_AREA);
    EXPECT_EQ(SM_lock_delete(m, 1), 0);
    EXPECT_EQ(SM_lock_delete(m, 1), ZE_NO_SUCH_LOCK);
    EXPECT_EQ(free_slots(m), 15) << "every slot back on the free chain";
}

TEST(SmLayerLock, ADeadServersLocksAreRemovedEverywhere)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent dead(instance), alive(instance);
    ASSERT_EQ(dead.opened, 0);
    ASSERT_EQ(alive.opened, 0);
    for (int32_t layer = 1; layer <= 3; ++layer) {
        ASSERT_EQ(dead.call(LOCK_ADD, layer, SM_LOCK_UPDATE_AREA, kBox), 0);
        ASSERT_EQ(dead.call(AUTOLOCK_ADD, layer, 0, kApart), 0);
        ASSERT_EQ(alive.call(LOCK_ADD, layer, SM_LOCK_SHARED_AREA, {40, 40, 50, 50}), 0);
    }
    int32_t pid = dead.pid();
    // Three more of its locks on one layer, as left by earlier requests (the
    // slots are handed to it here).
    for (int32_t k = 0; k < 3; ++k) {
        const ENVELOPE box = {100 * k, 0, 100 * k + 10, 10};
        ASSERT_EQ(SM_lock_add(m, 4, SM_LOCK_SHARED_AREA, &box), 0);
        for (int32_t i = 1; i < 16; ++i)
            if (m->layer_locks[i].holder == getpid())
                m->layer_locks[i].holder = pid;
    }
    EXPECT_EQ(dead.kill(), 128 + SIGKILL);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_LAYER_LOCKS_IN_USE), 12);

    // What the control process does when it learns of the death.
    EXPECT_EQ(SM_locks_delete_user(m, pid), static_cast<int32_t>(getpid()));
    EXPECT_EQ(SM_shared_info(m, SM_INFO_LAYER_LOCKS_IN_USE), 3);
    for (int32_t layer = 1; layer <= 3; ++layer) {
        std::vector<SM_LAYER_LOCK> locks = locks_on(m, layer);
        ASSERT_EQ(locks.size(), 1u);
        EXPECT_EQ(locks[0].holder, alive.pid());
        EXPECT_EQ(alive.call(LOCK_ADD, layer, SM_LOCK_UPDATE_AREA, kBox), 0) << "the next taker";
    }
    EXPECT_TRUE(locks_on(m, 4).empty());
    EXPECT_EQ(free_slots(m), 12);
}

TEST(SmLayerLock, AHolderKilledInsideTheMutexNeverWedgesTheTable)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent victim(instance);
    ASSERT_EQ(victim.opened, 0);
    ASSERT_EQ(victim.call(LOCK_ADD, 1, SM_LOCK_UPDATE_LAYER), 0);
    ASSERT_EQ(victim.call(MUTEX_LOCK, 1), 0);
    // As if it died between taking a slot off the free chain and linking it.
    int32_t taken = m->layer_locks[0].next;
    m->layer_locks[0].next = m->layer_locks[taken].next;
    m->layer_locks[taken].holder = victim.pid();
    ASSERT_EQ(free_slots(m), 13);
    int32_t pid = victim.pid();
    EXPECT_EQ(victim.kill(), 128 + SIGKILL);

    // The next caller takes the abandoned mutex, mends the table and goes on.
    EXPECT_EQ(SM_lock_add(m, 2, SM_LOCK_SHARED_LAYER, nullptr), 0);
    EXPECT_EQ(free_slots(m), 13) << "the lost slot is free again";
    EXPECT_EQ(SM_locks_delete_user(m, pid), static_cast<int32_t>(getpid()));
    EXPECT_EQ(SM_lock_add(m, 1, SM_LOCK_UPDATE_LAYER, nullptr), 0);
    EXPECT_EQ(free_slots(m), 13);
}

TEST(SmLayerLock, DamagedChainsAreMendedNotWalkedForEver)
{
    struct Case {
        const char *damage;
        void (*apply)(SM_MASTER *m);
    } cases[] = {
        {"a lock pointing to itself",
         [](SM_MASTER *m) {
             m->layer_locks[m->layer_table[0].first_lock].next = m->layer_table[0].first_lock;
         }},
        {"a head past the slots", [](SM_MASTER *m) { m->layer_table[0].first_lock = 999; }},
        {"a free chain running into a lock",
         [](SM_MASTER *m) { m->layer_locks[0].next = m->layer_table[0].first_lock; }},
        {"a free chain past the slots", [](SM_MASTER *m) { m->layer_locks[0].next = 777; }},
    };
    for (const Case &c : cases) {
        Instance instance;
        ASSERT_EQ(instance.created, 0);
        SM_MASTER *m = instance.master;
        ASSERT_EQ(SM_lock_add(m, 1, SM_LOCK_SHARED_AREA, &kBox), 0);
        c.apply(m);
        EXPECT_EQ(SM_lock_add(m, 1, SM_LOCK_SHARED_AREA, &kApart), 0) << c.damage;
        EXPECT_EQ(SM_lock_add(m, 2, SM_LOCK_SHARED_LAYER, nullptr), 0) << c.damage;
        EXPECT_LE(locks_on(m, 1).size(), 1u) << c.damage;
        EXPECT_EQ(free_slots(m) + SM_shared_info(m, SM_INFO_LAYER_LOCKS_IN_USE), 15) << c.damage;
    }
}

TEST(SmLayerLock, RefusedArguments)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    EXPECT_EQ(SM_lock_add(m, 0, SM_LOCK_SHARED_LAYER, nullptr), ZE_INVALID_LAYER_ID);
    EXPECT_EQ(SM_lock_add(m, 5, SM_LOCK_SHARED_LAYER, nullptr), ZE_INVALID_LAYER_ID);
    EXPECT_EQ(SM_lock_delete(m, 5), ZE_INVALID_LAYER_ID);
    EXPECT_EQ(SM_lock_add(m, 1, 5, &kBox), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_lock_add(m, 1, -1, &kBox), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_lock_add(m, 1, SM_LOCK_SHARED_AREA, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SM_autolock_add(m, 1, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SM_lock_add(nullptr, 1, SM_LOCK_SHARED_LAYER, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SM_locks_find_on_layer(m, 1, 0, nullptr, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SM_locks_delete_user(nullptr, 1), ZE_NULL_POINTER);
}

TEST(SmLayerLock, DisplayLines)
{
    SM_LAYER_LOCK lock = {4242, 7, SM_LOCK_UPDATE_AREA, {-1, 2, 30, 40}, 12, 0};
    struct Case {
        int32_t index;
        int32_t verbose;
        const char *expected;
    } cases[] = {
        {0, 0, "S-ID:  4242, Map Layer:   7, Lock Type: Update Area\n"},
        {3, 0, "  3  S-ID:  4242, Map Layer:   7, Lock Type: Update Area\n"},
        {0, 1,
         "S-ID:  4242, Map Layer:   7, Lock Type: Update Area, Next: 12\n"
         "    Lock Area: minx: 4294967295, miny: 2, maxx: 30, maxy: 40\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Capture([&](FILE *out) { SM_lock_display(&lock, out, c.index, c.verbose); }),
                  c.expected);
    lock.type = SM_LOCK_UPDATE_LAYER;
    EXPECT_EQ(Capture([&](FILE *out) { SM_lock_display(&lock, out, 0, 1); }),
              "S-ID:  4242, Map Layer:   7, Lock Type: Update Layer, Next: 12\n");
    EXPECT_EQ(SM_lock_display(nullptr, stderr, 0, 0), ZE_NULL_POINTER);

    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    ASSERT_EQ(SM_shared_info(m, SM_INFO_NEW_LAYER_ID), 1);
    ASSERT_EQ(SM_lock_add(m, 1, SM_LOCK_SHARED_AREA, &kBox), 0);
    ASSERT_EQ(SM_lock_add(m, 2, SM_LOCK_SHARED_LAYER, nullptr), 0);
    static int listed;
    listed = 0;
    EXPECT_EQ(SM_locks_display_used(m, [](const SM_LAYER_LOCK *) { ++listed; }), 2);
    EXPECT_EQ(listed, 2);
    StderrCapture capture;
    EXPECT_EQ(SM_locks_display_used(m, nullptr), 2);
    std::string pid = std::to_string(getpid());
    pid.insert(0, pid.size() < 5 ? 5 - pid.size() : 0, ' ');
    EXPECT_EQ(capture.text(), "LOCKS IN USE:\nS-ID: " + pid +
                                  ", Map Layer:   1, Lock Type: Shared Area, Next: 0\n" +
                                  "    Lock Area: minx: 0, miny: 0, maxx: 10, maxy: 10\n" +
                                  "S-ID: " + pid +
                                  ", Map Layer:   0, Lock Type: Shared Layer, Next: 0\n");
}
