// Tests the lock tables under a real control process: the test creates the
// instance and runs the child-process watcher, and its server processes are
// programs started with SubPrograms_StartProgram (sm_lock_child). Locks of
// children that died are cleared by the control process's next walk of each
// table, while a living child's locks hold; and a server killed with SIGKILL
// while it holds a lock-table mutex never wedges the instance: the host's
// death handling removes its locks and process slot, and the next server
// takes the same locks.
#include "tests/server/svrsys/sm_fixture.h"

#include "base/util/zel_errors.h"
#include "server/svrsys/subprograms.h"
#include "tests/support/run_folder_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace sm_test;

namespace
{

// The instance the death callback works on, and whether it plays the host
// that removes a dead server's locks and slot.
SM_MASTER *g_master = nullptr;
std::atomic<bool> g_host_cleans{false};
std::atomic<int32_t> g_last_death{0};

void on_death(int32_t pid, int32_t /*exit_code*/)
{
    if (g_host_cleans && g_master) {
        SM_locks_delete_user(g_master, pid);
        SM_state_locks_delete_user(g_master, pid);
        SM_table_locks_delete_user(g_master, pid);
        SM_object_locks_delete_user(g_master, pid);
        SM_pinfo_delete(g_master, pid);
    }
    g_last_death = pid;
}

class SmControl : public RunFolderFixture
{
  protected:
    std::unique_ptr<Instance> instance;
    int report[2] = {-1, -1};

    void SetUp() override
    {
        RunFolderFixture::SetUp();
        instance = std::make_unique<Instance>();
        ASSERT_EQ(instance->created, 0);
        g_master = instance->master;
        g_host_cleans = false;
        g_last_death = 0;
        ASSERT_EQ(pipe(report), 0);
        fcntl(report[0], F_SETFD, FD_CLOEXEC);
        ASSERT_EQ(SubPrograms_Initialize(0, instance->name.c_str(), on_death), ZE_SUCCESS);
    }

    void TearDown() override
    {
        SubPrograms_End();
        g_master = nullptr;
        instance.reset();
        close(report[0]);
        close(report[1]);
        RunFolderFixture::TearDown();
    }

    // Starts a server with these calls and answers its pid, with the line of
    // results it reported in line.
    int32_t start(std::vector<std::string> calls, std::string &line)
    {
        std::string fd = std::to_string(report[1]);
        std::vector<const char *> a = {instance->name.c_str(), fd.c_str()};
        for (const std::string &call : calls)
            a.push_back(call.c_str());
        if (a.size() > 24)
            return -1000;
        a.resize(24, nullptr);
        LO_PIPE *in = nullptr, *out = nullptr;
        int32_t pid = SubPrograms_StartProgram(0, 0, SM_LOCK_CHILD, &in, &out, a[0], a[1], a[2],
                                               a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10],
                                               a[11], a[12], a[13], a[14], a[15], a[16], a[17],
                                               a[18], a[19], a[20], a[21], a[22], a[23], nullptr);
        line = read_line();
        return pid;
    }

    std::string read_line()
    {
        std::string line;
        char c;
        struct pollfd p = {report[0], POLLIN, 0};
        while (poll(&p, 1, 20000) == 1 && read(report[0], &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Waits until the watcher has reported the child's death (it has been
    // reaped then, so it holds none of the instance's objects any more).
    void wait_for_death(int32_t pid)
    {
        for (int i = 0; i < 1000 && g_last_death != pid; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(g_last_death.load(), pid);
        ASSERT_EQ(SubPrograms_ProgramAlive(pid), 0);
    }

    // Kills a child with SIGKILL and waits until the watcher has reported it.
    void kill_and_wait(int32_t pid)
    {
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        wait_for_death(pid);
    }
};

const ENVELOPE kBox = {0, 0, 10, 10};

} // namespace

TEST_F(SmControl, DeadChildrensLocksGoAtTheNextWalkLivingOnesHold)
{
    SM_MASTER *m = instance->master;
    std::string line;
    int32_t dead = start({"states", "8", "2"}, line);
    ASSERT_GT(dead, 0);
    EXPECT_EQ(line, "0 0 0 0 0 0 0 0");
    EXPECT_EQ(SM_state_lock_add(m, 9, SM_STATE_LOCK_SHARED_STATE), ZE_LOCK_TABLE_FULL);
    EXPECT_EQ(SubPrograms_ProgramAlive(dead), 1);
    kill_and_wait(dead);
    // The table is full of a dead child's locks: they make room.
    EXPECT_EQ(SM_shared_info(m, SM_INFO_STATE_LOCKS_IN_USE), 8);
    EXPECT_EQ(SM_state_lock_add(m, 9, SM_STATE_LOCK_SHARED_STATE), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_STATE_LOCKS_IN_USE), 1);

    int32_t holder = start({"layer", "1", "1", "0", "0",     "0", "0", "table", "5", "2",  "object",
                            "7",     "3", "1", "1", "layer", "2", "3", "0",     "0", "10", "10"},
                           line);
    ASSERT_GT(holder, 0);
    EXPECT_EQ(line, "0 0 0 0");
    int32_t living = start({"layer", "2", "3", "20", "20", "30", "30", "table", "6", "2"}, line);
    ASSERT_GT(living, 0);
    EXPECT_EQ(line, "0 0");
    kill_and_wait(holder);

    const SM_OBJECT_LOCK_RECORD object = {static_cast<int32_t>(getpid()), 7, 3, 1};
    EXPECT_EQ(SM_lock_add(m, 1, SM_LOCK_UPDATE_LAYER, nullptr), 0);
    EXPECT_EQ(SM_lock_add(m, 2, SM_LOCK_UPDATE_AREA, &kBox), 0);
    EXPECT_EQ(SM_table_lock_add(m, 5, SM_TABLE_LOCK_EXCLUSIVE), 0);
    EXPECT_EQ(SM_object_lock_add(m, &object, SM_OBJECT_LOCK_EXCLUSIVE), 0);
    // The living child's locks stand.
    const ENVELOPE theirs = {25, 25, 26, 26};
    EXPECT_EQ(SM_lock_add(m, 2, SM_LOCK_SHARED_AREA, &theirs), ZE_LOCK_CONFLICT);
    EXPECT_EQ(SM_table_lock_add(m, 6, SM_TABLE_LOCK_SHARED), ZE_LOCK_CONFLICT);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_LAYER_LOCKS_IN_USE), 3);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_TABLE_LOCKS_IN_USE), 2);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_OBJECT_LOCKS_IN_USE), 1);
    EXPECT_EQ(SubPrograms_TerminateProgram(living), 0);
    wait_for_death(living);
}

TEST_F(SmControl, AServerKilledHoldingAMutexNeverWedgesTheInstance)
{
    SM_MASTER *m = instance->master;
    g_host_cleans = true;
    std::string line;
    for (int32_t mutex : {1, 6, 9, 14}) {
        std::string number = std::to_string(mutex);
        int32_t victim =
            start({"layer", "1", "3", "0",      "0", "10", "10", "state", "4",     "3",
                   "table", "5", "2", "object", "7", "3",  "1",  "1",     "mutex", number},
                  line);
        ASSERT_GT(victim, 0);
        ASSERT_EQ(line, "0 0 0 0 0") << "mutex " << mutex;
        EXPECT_NE(SM_pinfo_find(m, victim), nullptr);
        EXPECT_EQ(SM_shared_info(m, SM_INFO_PROCESSES_IN_USE), 1);
        kill_and_wait(victim);

        // The host's death handling has run through every table, the one
        // whose mutex the victim died holding included.
        EXPECT_EQ(SM_pinfo_find(m, victim), nullptr) << "mutex " << mutex;
        EXPECT_EQ(SM_shared_info(m, SM_INFO_PROCESSES_IN_USE), 0);
        EXPECT_EQ(SM_shared_info(m, SM_INFO_LAYER_LOCKS_IN_USE), 0);
        EXPECT_EQ(SM_shared_info(m, SM_INFO_STATE_LOCKS_IN_USE), 0);
        EXPECT_EQ(SM_shared_info(m, SM_INFO_TABLE_LOCKS_IN_USE), 0);
        EXPECT_EQ(SM_shared_info(m, SM_INFO_OBJECT_LOCKS_IN_USE), 0);

        // The next server takes the same locks and goes on.
        int32_t next = start({"layer", "1", "3", "0", "0", "10", "10", "state", "4", "3", "table",
                              "5", "2", "object", "7", "3", "1", "1"},
                             line);
        ASSERT_GT(next, 0);
        EXPECT_EQ(line, "0 0 0 0") << "mutex " << mutex;
        EXPECT_EQ(SubPrograms_TerminateProgram(next), 0);
        wait_for_death(next);
        EXPECT_EQ(SM_shared_info(m, SM_INFO_STATE_LOCKS_IN_USE), 0);
    }
}
