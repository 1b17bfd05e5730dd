// Tests creating, opening and closing the instance's shared memory: the
// header words and section offsets for known capacities, refused capacities,
// one block per instance, server processes attaching (and refusing a block
// whose header does not describe it), the private block of a direct
// connection, SM_shared_info, and mutexes given back at close or left
// abandoned by a killed holder.
#include "tests/server/svrsys/sm_fixture.h"

#include "base/util/zel_errors.h"
#include "tests/support/quiet_stderr.h"

#include <gtest/gtest.h>

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <vector>

using namespace sm_test;

namespace
{

// Header words 11 to 23 for a configuration, worked out by hand.
struct LayoutCase {
    Capacities c;
    int32_t offsets[13];
};

const LayoutCase kLayouts[] = {
    // The instance configuration's defaults: 64 connections, 10000 locks of
    // each kind, 500 layers, 1000 registrations, 500 raster columns.
    {{64, 10000, 10000, 10000, 500, 1000, 500, 10000},
     {160, 5280, 325280, 327288, 447288, 449288, 451440, 991440, 991940, 993940, 995940, 1115940,
      1315960}},
    // Small odd capacities, where every rounding step moves an offset.
    {{3, 5, 7, 2, 3, 2, 3, 4},
     {160, 416, 576, 588, 672, 684, 1080, 2160, 2163, 2175, 2196, 2220, 2320}},
    // Everything empty: only the header and the one object-lock slot.
    {{0, 0, 0, 0, 0, 0, 0, 0}, {160, 160, 160, 168, 168, 168, 540, 540, 540, 540, 540, 540, 560}},
};

} // namespace

TEST(SmMaster, HeaderWordsAndOffsetsForKnownCapacities)
{
    for (const LayoutCase &lc : kLayouts) {
        Instance instance(lc.c);
        ASSERT_EQ(instance.created, 0);
        const int32_t *w = sm_header(instance.master);
        const int32_t capacities[] = {lc.c.nproc,       lc.c.nlocks,    lc.c.nstatelocks,
                                      lc.c.ntablelocks, lc.c.nobjlocks, lc.c.nlayers,
                                      lc.c.nregs,       lc.c.nrasters};
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(w[2 + i], capacities[i]) << "word " << 2 + i;
        for (int i = 0; i < 13; ++i)
            EXPECT_EQ(w[11 + i], lc.offsets[i]) << "word " << 11 + i << " nproc " << lc.c.nproc;
        // The rest of the header at creation.
        const int32_t expected[][2] = {{0, 0},   {1, 0},   {10, 0}, {24, -2}, {25, 0},
                                       {26, 0},  {27, -2}, {28, 0}, {29, -2}, {30, 0},
                                       {31, 0},  {32, 0},  {33, 0}, {34, 0},  {35, 0},
                                       {36, -2}, {37, 0},  {38, 0}, {39, 0}};
        for (const auto &e : expected)
            EXPECT_EQ(w[e[0]], e[1]) << "word " << e[0];
        EXPECT_EQ(instance.master->mapping.size, static_cast<size_t>(lc.offsets[12]));

        // A direct connection lays out the same offsets.
        SM_MASTER *local = nullptr;
        ASSERT_EQ(SM_local_server_open(0, lc.c.nproc, lc.c.nlocks, lc.c.nstatelocks,
                                       lc.c.ntablelocks, lc.c.nlayers, lc.c.nregs, lc.c.nrasters,
                                       lc.c.nobjlocks, nullptr, &local),
                  0);
        EXPECT_EQ(memcmp(sm_header(local), w, sizeof(SM_HEADER)), 0);
        SM_server_close(local);
    }
}

TEST(SmMaster, ChainsAtCreation)
{
    Capacities c;
    c.nlocks = 4;
    c.nstatelocks = 3;
    c.ntablelocks = 2;
    c.nobjlocks = 2;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    const uint16_t layer_next[] = {1, 2, 3, 0};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(m->layer_locks[k].next, layer_next[k]) << k;
    EXPECT_EQ(m->state_locks[0].next, 1);
    EXPECT_EQ(m->state_locks[1].next, 2);
    EXPECT_EQ(m->state_locks[2].next, 0xFFFE);
    EXPECT_EQ(m->table_locks[1].next, 0xFFFE);
    EXPECT_EQ(m->object_locks[0].next, 1);
    EXPECT_EQ(m->object_locks[1].next, 0xFFFE);
    EXPECT_EQ(m->object_locks[2].next, 0) << "the extra slot is on no chain";
    for (int i = 0; i < c.nlayers; ++i)
        EXPECT_EQ(m->layer_table[i].layer_id, 0) << "layer ids start free";
}

TEST(SmMaster, RefusedCapacities)
{
    struct Case {
        Capacities c;
        const char *why;
    } cases[] = {
        {{-1, 1, 1, 1, 1, 1, 1, 1}, "negative nproc"},
        {{1, 1, 1, 1, 1, 1, 1, -1}, "negative nobjlocks"},
        {{1, 65537, 1, 1, 1, 1, 1, 1}, "layer-lock slots past 16-bit indexes"},
        {{1, 1, 65535, 1, 1, 1, 1, 1}, "state-lock slots reaching the end mark"},
        {{1, 1, 1, 65535, 1, 1, 1, 1}, "table-lock slots reaching the end mark"},
        {{1, 1, 1, 1, 65536, 1, 1, 1}, "layer ids past 16 bits"},
        {{1, 1, 1, 1, 1, 1, 1, 65535}, "object-lock slots reaching the end mark"},
        {{1, 1, 1, 1, 1, 4000000, 1, 1}, "a block over 2^31-1 bytes"},
        {{30000000, 1, 1, 1, 1, 1, 1, 1}, "process slots over 2^31-1 bytes"},
        {{1, 1, 1, 1, 1, 1, 2147483647, 1}, "raster counters summing past 32 bits"},
    };
    for (const Case &k : cases) {
        Instance instance(k.c);
        EXPECT_EQ(instance.created, ZE_INVALID_ARGUMENT) << k.why;
        EXPECT_EQ(instance.master, nullptr) << k.why;
        SM_MASTER *local = nullptr;
        EXPECT_EQ(SM_local_server_open(0, k.c.nproc, k.c.nlocks, k.c.nstatelocks, k.c.ntablelocks,
                                       k.c.nlayers, k.c.nregs, k.c.nrasters, k.c.nobjlocks, nullptr,
                                       &local),
                  ZE_INVALID_ARGUMENT)
            << k.why;
    }
    // The largest addressable capacities are accepted.
    Capacities largest{1, 65536, 65534, 65534, 65535, 1, 1, 65534};
    Instance instance(largest);
    EXPECT_EQ(instance.created, 0);

    SM_MASTER *m = nullptr;
    EXPECT_EQ(SM_master_create(nullptr, nullptr, 0, 1, 1, 1, 1, 1, 1, 1, 1, nullptr, &m),
              ZE_NULL_POINTER);
    EXPECT_EQ(SM_master_create(nullptr, "x", 0, 1, 1, 1, 1, 1, 1, 1, 1, nullptr, nullptr),
              ZE_NULL_POINTER);
}

TEST(SmMaster, OneBlockPerInstanceAndServersAttach)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    sm_header(instance.master)[SM_HW_LAST_STATE_ID] = 41;

    SM_MASTER *second = nullptr;
    EXPECT_EQ(SM_master_create(nullptr, instance.name.c_str(), 0, 1, 1, 1, 1, 1, 1, 1, 1, nullptr,
                               &second),
              ZE_INSTANCE_RUNNING);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(sm_header(instance.master)[SM_HW_LAST_STATE_ID], 41) << "first block untouched";

    // Another process attaches and sees the same block.
    Agent agent(instance);
    ASSERT_EQ(agent.opened, 0);
    EXPECT_EQ(agent.call(SHARED_INFO, SM_INFO_NEW_STATE_ID), 42);
    EXPECT_EQ(agent.call(SHARED_INFO, SM_INFO_NLOCKS), 16);
    EXPECT_EQ(agent.call(SHARED_INFO, SM_INFO_OWN_ID), agent.pid());
    EXPECT_EQ(SM_shared_info(instance.master, SM_INFO_NEW_STATE_ID), 43);
    EXPECT_EQ(agent.close(), 0);

    SM_MASTER *server = nullptr;
    EXPECT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 1, nullptr, &server),
              ZE_INVALID_RELEASE);
    EXPECT_EQ(SM_server_open(nullptr, "no_such_instance_here", 0, 0, nullptr, &server),
              ZE_OUT_OF_MEMORY);
    EXPECT_EQ(server, nullptr);
    SM_server_close(nullptr);
    SM_master_destroy(nullptr);
}

TEST(SmMaster, DestroyTakesTheNameAwayAndANewInstanceStartsClean)
{
    std::string name;
    {
        Instance instance;
        ASSERT_EQ(instance.created, 0);
        name = instance.name;
        SM_MASTER *server = nullptr;
        ASSERT_EQ(SM_server_open(nullptr, name.c_str(), 0, 0, nullptr, &server), 0);
        ASSERT_EQ(SM_pinfo_add(server, 77), 0);
        SM_master_destroy(instance.master);
        instance.master = nullptr;
        // The server keeps its view, but no one attaches any more.
        EXPECT_NE(SM_pinfo_find(server, 77), nullptr);
        SM_MASTER *late = nullptr;
        EXPECT_EQ(SM_server_open(nullptr, name.c_str(), 0, 0, nullptr, &late), ZE_OUT_OF_MEMORY);
        SM_server_close(server);
    }
    SM_MASTER *again = nullptr;
    ASSERT_EQ(SM_master_create(nullptr, name.c_str(), 0, 2, 2, 2, 2, 2, 2, 2, 2, nullptr, &again),
              0);
    EXPECT_EQ(SM_pinfo_find(again, 77), nullptr);
    SM_master_destroy(again);
}

TEST(SmMaster, AServerRefusesABlockItsHeaderDoesNotDescribe)
{
    struct Case {
        int word;
        int32_t value;
    } cases[] = {
        {SM_HW_LAYER_LOCK_OFFSET, 1 << 30}, // points far outside the block
        {SM_HW_OBJECT_LOCK_OFFSET, 8},      // inside the header
        {SM_HW_TOTAL_SIZE, 1 << 20},        // larger than the block
        {SM_HW_NLOCKS, 1000},               // capacities that need more room
        {SM_HW_NPROC, -5},
    };
    for (const Case &c : cases) {
        Instance instance;
        ASSERT_EQ(instance.created, 0);
        int32_t *w = sm_header(instance.master);
        int32_t saved = w[c.word];
        w[c.word] = c.value;
        SM_MASTER *server = nullptr;
        EXPECT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server),
                  ZE_OUT_OF_MEMORY)
            << "word " << c.word;
        EXPECT_EQ(server, nullptr);
        w[c.word] = saved;
        ASSERT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server), 0);
        SM_server_close(server);
    }
}

TEST(SmMaster, LayerLockCapacityLeavesSlotZeroOut)
{
    for (int32_t nlocks = 1; nlocks <= 3; ++nlocks) {
        Capacities c;
        c.nlocks = nlocks;
        Instance instance(c);
        ASSERT_EQ(instance.created, 0);
        const ENVELOPE box = {0, 0, 10, 10};
        int32_t granted = 0;
        for (int32_t layer = 1; layer <= c.nlayers; ++layer)
            if (SM_lock_add(instance.master, layer, SM_LOCK_SHARED_AREA, &box) == 0)
                ++granted;
        EXPECT_EQ(granted, nlocks - 1) << "nlocks " << nlocks;
        EXPECT_EQ(SM_shared_info(instance.master, SM_INFO_LAYER_LOCKS_IN_USE), nlocks - 1);
    }
}

TEST(SmMaster, SharedInfoCodes)
{
    Capacities c;
    c.nlayers = 2;
    c.nregs = 2;
    c.nrasters = 1;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    struct Case {
        int32_t code;
        int32_t expected;
    } cases[] = {
        {0, 0},
        {11, 0},
        {30, 0},
        {-1, 0},
        {SM_INFO_PROCESSES_IN_USE, 0},
        {SM_INFO_NPROC, 8},
        {SM_INFO_NLOCKS, 16},
        {SM_INFO_NLAYERS, 2},
        {SM_INFO_NREGS, 2},
        {SM_INFO_NSTATELOCKS, 8},
        {SM_INFO_NRASTERS, 1},
        {SM_INFO_NTABLELOCKS, 8},
        {SM_INFO_NOBJLOCKS, 8},
        {SM_INFO_NEW_STATE_ID, 1},
        {SM_INFO_NEW_STATE_ID, 2},
        {SM_INFO_NEW_METADATA_ID, 1},
        {SM_INFO_NEW_LOCATOR_ID, 1},
        {SM_INFO_NEW_VERSION_ID, 1},
        {SM_INFO_DEFAULT_STATE_ID, 0},
        {SM_INFO_NEW_LAYER_ID, 1},
        {SM_INFO_NEW_LAYER_ID, 2},
        {SM_INFO_NEW_LAYER_ID, ZE_LAYER_LIMIT},
        {SM_INFO_NEW_REGISTRATION_ID, 1},
        {SM_INFO_NEW_REGISTRATION_ID, 2},
        {SM_INFO_NEW_REGISTRATION_ID, ZE_REGISTRATION_LIMIT},
        {SM_INFO_NEW_RASTERCOLUMN_ID, 1},
        {SM_INFO_NEW_RASTERCOLUMN_ID, ZE_RASTERCOLUMN_LIMIT},
        {25, 1},
        {26, 1},
        {27, 1},
        {29, 1},
        {SM_INFO_OWN_ID, static_cast<int32_t>(getpid())},
        {SM_INFO_LAYERS_MODIFIED, 0},
        {SM_INFO_REGISTRATIONS_CACHED, 0},
    };
    for (const Case &k : cases)
        EXPECT_EQ(SM_shared_info(m, k.code), k.expected) << "code " << k.code;

    // A new id never wraps around.
    sm_header(m)[SM_HW_LAST_VERSION_ID] = INT32_MAX;
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_VERSION_ID), ZE_FAILURE);
    EXPECT_EQ(sm_header(m)[SM_HW_LAST_VERSION_ID], INT32_MAX);
    m->layer_mtimes[1] = 12345;
    EXPECT_EQ(SM_shared_info(m, SM_INFO_LAYERS_MODIFIED), 1);
    EXPECT_EQ(SM_shared_info(nullptr, 1), ZE_NULL_POINTER);
    EXPECT_EQ(SM_convert(), 0);
}

TEST(SmMaster, CloseGivesBackExactlyTheMutexesHeld)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    Agent agent(instance);
    ASSERT_EQ(agent.opened, 0);
    ASSERT_EQ(agent.call(MUTEX_LOCK, 3), 0);
    ASSERT_EQ(agent.call(MUTEX_LOCK, 9), 0);
    ASSERT_EQ(agent.call(MUTEX_LOCK, 4), 0);
    ASSERT_EQ(agent.call(MUTEX_UNLOCK, 4), 0);
    SM_MASTER *m = instance.master;
    // Mutex number 3 is the 4th created, 9 the 9th.
    EXPECT_EQ(plat_named_mutex_lock(&m->mutexes[3], 0), PLAT_WAIT_TIMEOUT);
    EXPECT_EQ(plat_named_mutex_lock(&m->mutexes[8], 0), PLAT_WAIT_TIMEOUT);

    // A forked child closes the handle it opened, then waits: it is alive, so
    // the mutexes come back released, not abandoned.
    forked::Child closer = forked::start([&](const forked::Link &link) {
        SM_MASTER *own = nullptr;
        if (SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &own) != 0)
            return 1;
        sm_mutex_lock(own, 3);
        sm_mutex_lock(own, 9);
        SM_server_close(own);
        link.send('c');
        link.receive();
        return 0;
    });
    EXPECT_EQ(agent.close(), 0);
    ASSERT_EQ(closer.link.receive(), 'c');
    EXPECT_EQ(plat_named_mutex_lock(&m->mutexes[3], 2000), PLAT_WAIT_OBJECT_0);
    EXPECT_EQ(plat_named_mutex_lock(&m->mutexes[8], 2000), PLAT_WAIT_OBJECT_0);
    plat_named_mutex_unlock(&m->mutexes[3]);
    plat_named_mutex_unlock(&m->mutexes[8]);
    closer.link.send('x');
    EXPECT_EQ(forked::finish(closer), 0);
}

TEST(SmMaster, AMutexOfAKilledHolderIsTakenAsAcquired)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    Agent agent(instance);
    ASSERT_EQ(agent.opened, 0);
    ASSERT_EQ(agent.call(MUTEX_LOCK, 10), 0);
    EXPECT_EQ(agent.kill(), 128 + SIGKILL);
    // Under mutex 10 the next state id still comes.
    EXPECT_EQ(SM_shared_info(instance.master, SM_INFO_NEW_STATE_ID), 1);
    EXPECT_EQ(SM_shared_info(instance.master, SM_INFO_NEW_STATE_ID), 2);
}

TEST(SmMaster, PrivateBlockTakesEveryLayerIdAndNeverWaits)
{
    SM_MASTER *local = nullptr;
    ASSERT_EQ(SM_local_server_open(0, 2, 4, 4, 4, 3, 2, 2, 4, nullptr, &local), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(local->layer_table[i].layer_id, i + 1);
    EXPECT_EQ(SM_shared_info(local, SM_INFO_NEW_LAYER_ID), ZE_LAYER_LIMIT);
    EXPECT_EQ(sm_mutex_lock(local, 1), 0);
    EXPECT_EQ(sm_mutex_lock(local, 1), 0);
    EXPECT_EQ(sm_rw_guard_acquire(local, 3), 0);
    EXPECT_EQ(sm_rw_guard_release(local), ZE_FAILURE) << "the guard stays at mode 0";
    const ENVELOPE box = {0, 0, 5, 5};
    EXPECT_EQ(SM_lock_add(local, 1, SM_LOCK_UPDATE_AREA, &box), 0);
    EXPECT_EQ(SM_state_lock_add(local, 3, SM_STATE_LOCK_EXCLUSIVE_STATE), 0);
    EXPECT_EQ(SM_local_server_open(0, 1, 1, 1, 1, 1, 1, 1, 1, nullptr, nullptr), ZE_NULL_POINTER);
    SM_server_close(local);
}

TEST(SmMaster, CapacitiesRaisedAfterTheAttachBoundNothing)
{
    // A process that writes the header once servers have attached cannot
    // widen their walks: each keeps the capacities it checked.
    struct Case {
        int word;
        int32_t code; /* the capacity's shared-info code */
    } cases[] = {
        {SM_HW_NPROC, SM_INFO_NPROC},
        {SM_HW_NLOCKS, SM_INFO_NLOCKS},
        {SM_HW_NSTATELOCKS, SM_INFO_NSTATELOCKS},
        {SM_HW_NTABLELOCKS, SM_INFO_NTABLELOCKS},
        {SM_HW_NOBJLOCKS, SM_INFO_NOBJLOCKS},
        {SM_HW_NLAYERS, SM_INFO_NLAYERS},
        {SM_HW_NREGS, SM_INFO_NREGS},
        {SM_HW_NRASTERS, SM_INFO_NRASTERS},
    };
    for (const Case &c : cases) {
        Capacities capacities;
        Instance instance(capacities);
        ASSERT_EQ(instance.created, 0);
        SM_MASTER *server = nullptr;
        ASSERT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server), 0);
        int32_t *w = sm_header(instance.master);
        const int32_t attached = w[c.word];
        w[c.word] = 60000;
        EXPECT_EQ(SM_shared_info(server, c.code), attached) << "word " << c.word;
        // Every slot taken, the next add finds none instead of writing past
        // the section into the next one.
        std::vector<char> layer_locks(reinterpret_cast<char *>(server->layer_locks),
                                      reinterpret_cast<char *>(server->layer_locks) + 64);
        for (int32_t id = 1; id <= capacities.nproc; ++id)
            ASSERT_EQ(SM_pinfo_add(server, id), 0);
        EXPECT_EQ(SM_pinfo_add(server, 999), ZE_FAILURE) << "word " << c.word;
        EXPECT_EQ(memcmp(layer_locks.data(), server->layer_locks, layer_locks.size()), 0);
        // A free chain headed past the state-lock section: the slot it names
        // is not one, so nothing after the section is written.
        const auto *mtimes = reinterpret_cast<const char *>(server->layer_mtimes);
        std::vector<char> next_section(mtimes, mtimes + 4 * capacities.nlayers);
        w[SM_HW_STATE_FREE] = capacities.nstatelocks + 2;
        EXPECT_EQ(SM_state_lock_add(server, 5, SM_STATE_LOCK_SHARED_STATE), 0);
        EXPECT_EQ(memcmp(next_section.data(), mtimes, next_section.size()), 0);
        EXPECT_EQ(SM_shared_info(server, SM_INFO_STATE_LOCKS_IN_USE), 1);
        EXPECT_EQ(SM_shared_info(server, SM_INFO_NEW_LAYER_ID), 1);
        EXPECT_EQ(SM_lock_delete(server, capacities.nlayers + 1), ZE_INVALID_LAYER_ID);
        w[c.word] = attached;
        SM_server_close(server);
    }
}

// The file behind a named object of the instance.
static std::string object_file(const std::string &instance, const char *suffix)
{
    char name[SM_OBJECT_NAME_SIZE];
    sm_object_name(instance.c_str(), suffix, name);
    char escaped[PLAT_SHM_NAME_SIZE];
    EXPECT_EQ(plat_shm_escape_name(name, escaped), 0);
    return std::string("/dev/shm") + escaped;
}

TEST(SmMaster, ObjectsOthersMayWriteAreNeitherCreatedOverNorAttached)
{
    // Planted before the control process creates the instance.
    {
        static int counter = 0;
        const std::string name =
            "smplant" + std::to_string(getpid()) + "x" + std::to_string(++counter);
        const std::string block = object_file(name, "iomgr_shared_memory");
        std::ofstream(block) << std::string(4096, '\0');
        ASSERT_EQ(chmod(block.c_str(), 0666), 0);
        SM_MASTER *master = nullptr;
        {
            StderrCapture capture;
            EXPECT_EQ(SM_master_create(nullptr, name.c_str(), 0, 2, 2, 2, 2, 2, 2, 2, 2, nullptr,
                                       &master),
                      ZE_INSTANCE_RUNNING);
            EXPECT_NE(capture.text().find("other accounts may write it"), std::string::npos);
        }
        EXPECT_EQ(master, nullptr);
        unlink(block.c_str());
    }
    // Made writable by others once the instance exists: a server attaches
    // to none of them.
    struct Case {
        const char *suffix;
        int32_t expected;
    } cases[] = {
        {"iomgr_shared_memory", ZE_OUT_OF_MEMORY},         {"iomgr_lock_mutex", ZE_MUTEX_FAILED},
        {"iomgr_default_state_id_mutex", ZE_MUTEX_FAILED}, {"iomgr_rwguard_mutex", ZE_FAILURE},
        {"iomgr_rwno_readers_event", ZE_FAILURE},          {"iomgr_rwguard_readers", ZE_FAILURE},
    };
    for (const Case &c : cases) {
        Instance instance;
        ASSERT_EQ(instance.created, 0);
        const std::string file = object_file(instance.name, c.suffix);
        ASSERT_EQ(chmod(file.c_str(), 0666), 0) << file;
        SM_MASTER *server = nullptr;
        {
            StderrCapture capture;
            EXPECT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server),
                      c.expected)
                << c.suffix;
            EXPECT_NE(capture.text().find(file.substr(8) + ": shared object refused"),
                      std::string::npos)
                << c.suffix;
        }
        EXPECT_EQ(server, nullptr);
        ASSERT_EQ(chmod(file.c_str(), 0600), 0);
        ASSERT_EQ(SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server), 0);
        SM_server_close(server);
    }
}
