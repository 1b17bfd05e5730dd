// Child-process management of the control process with real children
// (subprograms_child): start, stop, terminate, each death reported once with
// its exit code, a second handle group beyond 63 children, pauses of the
// death watcher, the end of the watcher (also from a death callback), a death
// callback that takes a lock, starts as another user, and the instance's
// named pipes between two processes.
#include "server/svrsys/subprograms.h"
#include "server/svrsys/subprograms_internal.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "platform/plat_process_internal.h"
#include "tests/server/svrsys/subprograms_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

std::string semaphore_file(int number)
{
    return "/dev/shm/sem.ZEL_stop_semaphore_" + std::to_string(getpid()) + "_" +
           std::to_string(number);
}

// Waits until the process has ended without reaping it (it stays a zombie
// for its parent's handle).
bool wait_until_zombie(int32_t process_id)
{
    for (int i = 0; i < 2000; i++) {
        std::ifstream stat("/proc/" + std::to_string(process_id) + "/stat");
        std::string line;
        std::getline(stat, line);
        size_t close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z')
            return true;
        usleep(5000);
    }
    return false;
}

// True when this process has no child at all, running or ended.
bool no_children()
{
    siginfo_t info;
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

TEST_F(SubPrograms, ReportsEachDeathOnceWithItsExitCode)
{
    const int codes[] = {0, 7, 255};
    const int32_t first = subprograms_next_child_number();
    std::vector<int32_t> children;
    for (int code : codes) {
        std::string text = std::to_string(code);
        int32_t child = start({"exit", text.c_str()});
        ASSERT_GT(child, 0);
        children.push_back(child);
    }
    for (size_t i = 0; i < children.size(); i++) {
        EXPECT_EQ(wait_for_death(children[i]), codes[i]);
        EXPECT_EQ(SubPrograms_ProgramAlive(children[i]), 0);
    }
    // The semaphores of reaped children are gone.
    for (int32_t number = first; number < first + 3; number++)
        EXPECT_FALSE(std::filesystem::exists(semaphore_file(number))) << number;
    SubPrograms_End();
    std::lock_guard<std::mutex> lock(deaths.mutex);
    EXPECT_EQ(deaths.reported.size(), children.size());
}

TEST_F(SubPrograms, HandsOutTheInstancePipesOfIndexZeroOnly)
{
    LO_PIPE *in = nullptr, *out = nullptr;
    int32_t child = SubPrograms_StartProgram(0, 0, CHILD, &in, &out, "exit", "0", nullptr);
    ASSERT_GT(child, 0);
    EXPECT_NE(in, nullptr);
    EXPECT_NE(out, nullptr);
    EXPECT_NE(in, out);
    // They belong to the instance: a host cannot close them.
    EXPECT_EQ(LO_close(in), 0);
    LO_PIPE *other_in = in, *other_out = out;
    int32_t second =
        SubPrograms_StartProgram(0, 1, CHILD, &other_in, &other_out, "exit", "0", nullptr);
    ASSERT_GT(second, 0);
    EXPECT_EQ(other_in, nullptr);
    EXPECT_EQ(other_out, nullptr);
    EXPECT_EQ(wait_for_death(child), 0);
    EXPECT_EQ(wait_for_death(second), 0);
    EXPECT_EQ(SubPrograms_StartProgram(0, 0, nullptr, &in, &out, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SubPrograms_StartProgram(0, 0, "/nonexistent/program", &in, &out, nullptr),
              ZE_PROCESS_NOT_STARTED);
}

TEST_F(SubPrograms, StopsAndTerminatesChildren)
{
    const int32_t first = subprograms_next_child_number();
    int32_t stopped = start({"wait"});
    int32_t terminated = start({"wait"});
    ASSERT_GT(stopped, 0);
    ASSERT_GT(terminated, 0);
    // Its semaphore is the control process's alone.
    struct stat st;
    ASSERT_EQ(stat(semaphore_file(first).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, geteuid());
    EXPECT_EQ(SubPrograms_ProgramAlive(stopped), 1);
    EXPECT_EQ(SubPrograms_StopProgram(stopped), ZE_SUCCESS);
    EXPECT_EQ(SubPrograms_TerminateProgram(terminated), ZE_SUCCESS);
    EXPECT_EQ(wait_for_death(stopped), 0);
    EXPECT_EQ(wait_for_death(terminated), SUBPROGRAMS_TERMINATE_CODE);
    EXPECT_FALSE(std::filesystem::exists(semaphore_file(first)));
    // Not (or no longer) a child: nothing happens.
    for (int32_t id : {stopped, terminated, (int32_t)getpid()}) {
        EXPECT_EQ(SubPrograms_StopProgram(id), ZE_NO_SUCH_CHILD) << id;
        EXPECT_EQ(SubPrograms_TerminateProgram(id), ZE_NO_SUCH_CHILD) << id;
        EXPECT_EQ(SubPrograms_ProgramAlive(id), 0) << id;
    }
    EXPECT_EQ(times_reported(stopped), 1);
    EXPECT_EQ(times_reported(terminated), 1);
}

TEST_F(SubPrograms, WatchesASecondGroupBeyond63Children)
{
    // 63 children fill the first group (its slot 0 is the wake event); the
    // rest go into a second group. A shell that stops itself starts quicker than
    // the test child; the names after its script are its unused arguments.
    const int count = 70;
    std::vector<int32_t> children;
    LO_PIPE *in = nullptr, *out = nullptr;
    for (int i = 0; i < count; i++) {
        int32_t child =
            SubPrograms_StartProgram(0, 0, "/bin/sh", &in, &out, "-c", "kill -STOP $$", nullptr);
        ASSERT_GT(child, 0) << i;
        children.push_back(child);
    }
    // A death in the first group pulls the second group's first child into
    // it; that child and the last one must still be watched.
    EXPECT_EQ(SubPrograms_TerminateProgram(children[0]), ZE_SUCCESS);
    EXPECT_EQ(wait_for_death(children[0]), SUBPROGRAMS_TERMINATE_CODE);
    EXPECT_EQ(SubPrograms_TerminateProgram(children[63]), ZE_SUCCESS);
    EXPECT_EQ(SubPrograms_TerminateProgram(children[count - 1]), ZE_SUCCESS);
    EXPECT_EQ(wait_for_death(children[63]), SUBPROGRAMS_TERMINATE_CODE);
    EXPECT_EQ(wait_for_death(children[count - 1]), SUBPROGRAMS_TERMINATE_CODE);
    for (int i = 1; i < count - 1; i++) {
        if (i == 63)
            continue;
        EXPECT_EQ(SubPrograms_TerminateProgram(children[i]), ZE_SUCCESS) << i;
    }
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(wait_for_death(children[i]), SUBPROGRAMS_TERMINATE_CODE) << i;
        EXPECT_EQ(times_reported(children[i]), 1) << i;
        EXPECT_EQ(SubPrograms_ProgramAlive(children[i]), 0) << i;
    }
    // With the second group gone, a new child is still watched.
    int32_t late = start({"exit", "4"});
    EXPECT_EQ(wait_for_death(late), 4);
}

TEST_F(SubPrograms, APausedWatcherReportsDeathsAfterTheResume)
{
    struct Case {
        const char *how;
        int32_t pause_by_start;
        const char *code;
    };
    const Case cases[] = {{"paused by DeathHandling", 0, "5"}, {"paused by the start", 1, "6"}};
    for (const Case &c : cases) {
        if (!c.pause_by_start) {
            EXPECT_EQ(SubPrograms_DeathHandling(0), ZE_SUCCESS) << c.how;
        }
        int32_t child = start({"exit", c.code}, c.pause_by_start);
        ASSERT_GT(child, 0) << c.how;
        ASSERT_TRUE(wait_until_zombie(child)) << c.how;
        EXPECT_EQ(times_reported(child), 0) << c.how;
        EXPECT_EQ(SubPrograms_ProgramAlive(child), 1) << c.how;
        EXPECT_EQ(SubPrograms_DeathHandling(1), ZE_SUCCESS) << c.how;
        EXPECT_EQ(wait_for_death(child), atoi(c.code)) << c.how;
    }
    SubPrograms_SaveDeathHandling();
}

TEST_F(SubPrograms, EndReportsTheListedChildrenAndStopsNothing)
{
    int32_t first = start({"wait"});
    int32_t second = start({"wait"});
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    // A paused watcher ends as well.
    EXPECT_EQ(SubPrograms_DeathHandling(0), ZE_SUCCESS);
    SubPrograms_End();
    EXPECT_EQ(wait_for_death(first, std::chrono::milliseconds(0)), SUBPROGRAMS_STILL_ACTIVE);
    EXPECT_EQ(wait_for_death(second, std::chrono::milliseconds(0)), SUBPROGRAMS_STILL_ACTIVE);
    EXPECT_EQ(kill(first, 0), 0);
    // Without a watcher: every id counts as alive, nothing can be started,
    // stopped or terminated, and the pipes are gone.
    EXPECT_EQ(SubPrograms_ProgramAlive(first), 1);
    EXPECT_EQ(SubPrograms_ProgramAlive(12345), 1);
    EXPECT_EQ(SubPrograms_StopProgram(first), ZE_FAILURE);
    EXPECT_EQ(SubPrograms_TerminateProgram(first), ZE_FAILURE);
    EXPECT_EQ(SubPrograms_DeathHandling(0), ZE_FAILURE);
    LO_PIPE *in = reinterpret_cast<LO_PIPE *>(1), *out = in;
    EXPECT_EQ(SubPrograms_StartProgram(0, 0, CHILD, &in, &out, "exit", "0", nullptr),
              ZE_WATCHER_ENDED);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(run_folder));
    for (int32_t child : {first, second}) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    // A pipe path that does not fit a socket address makes no watcher.
    const std::string long_instance(120, 'i');
    StderrCapture capture;
    EXPECT_EQ(SubPrograms_Initialize(0, long_instance.c_str(), record_death), ZE_FAILURE);
    EXPECT_NE(capture.text().find("from CreateNamedPipe"), std::string::npos);
    EXPECT_EQ(SubPrograms_ProgramAlive(first), 1);
    // A second cycle works.
    ASSERT_EQ(SubPrograms_Initialize(0, instance.c_str(), record_death), ZE_SUCCESS);
    EXPECT_EQ(SubPrograms_Initialize(0, instance.c_str(), record_death), ZE_FAILURE);
    int32_t again = start({"exit", "3"});
    EXPECT_EQ(wait_for_death(again), 3);
}

// The death callback of the next test ends the watcher on the first death.
void end_on_death(int32_t process_id, int32_t exit_code)
{
    record_death(process_id, exit_code);
    SubPrograms_End();
}

TEST_F(SubPrograms, EndCalledFromTheDeathCallback)
{
    SubPrograms_End();
    ASSERT_EQ(SubPrograms_Initialize(0, instance.c_str(), end_on_death), ZE_SUCCESS);
    int32_t waiting = start({"wait"});
    int32_t ending = start({"exit", "2"});
    ASSERT_GT(waiting, 0);
    ASSERT_GT(ending, 0);
    EXPECT_EQ(wait_for_death(ending), 2);
    EXPECT_EQ(wait_for_death(waiting), SUBPROGRAMS_STILL_ACTIVE);
    EXPECT_EQ(times_reported(ending), 1);
    EXPECT_EQ(times_reported(waiting), 1);
    kill(waiting, SIGKILL);
    waitpid(waiting, nullptr, 0);
    // The next cycle joins the watcher that ended itself.
    ASSERT_EQ(SubPrograms_Initialize(0, instance.c_str(), record_death), ZE_SUCCESS);
    int32_t again = start({"exit", "1"});
    EXPECT_EQ(wait_for_death(again), 1);
}

// The death callback of the next test takes a lock that the test holds
// around an alive test, as a lock-table mutex is held around one.
std::mutex lock_table;
std::atomic<bool> callback_entered{false};

void lock_on_death(int32_t process_id, int32_t exit_code)
{
    callback_entered = true;
    std::lock_guard<std::mutex> lock(lock_table);
    record_death(process_id, exit_code);
}

TEST_F(SubPrograms, ADeathCallbackMayTakeALockHeldAroundTheAliveTest)
{
    SubPrograms_End();
    ASSERT_EQ(SubPrograms_Initialize(0, instance.c_str(), lock_on_death), ZE_SUCCESS);
    std::unique_lock<std::mutex> held(lock_table);
    callback_entered = false;
    int32_t child = start({"exit", "0"});
    ASSERT_GT(child, 0);
    for (int i = 0; i < 10000 && !callback_entered; i++)
        usleep(1000);
    ASSERT_TRUE(callback_entered);
    auto alive = std::async(std::launch::async, SubPrograms_ProgramAlive, child);
    // A deadlock never answers; the limit only keeps a loaded machine from failing.
    EXPECT_EQ(alive.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    held.unlock();
    EXPECT_EQ(alive.get(), 0);
    EXPECT_EQ(wait_for_death(child), 0);
}

TEST_F(SubPrograms, NoChildStartsWithoutItsStopSemaphore)
{
    // Something blocks the semaphore name of the next child: a folder, or a
    // semaphore planted under it that others may write.
    struct Case {
        bool folder;
        const char *error;
    } cases[] = {
        {true, "Error 21 from CreateSemaphore on line "},
        {false, "Error 13 from CreateSemaphore on line "},
    };
    for (const Case &c : cases) {
        // Children of earlier starts are all reaped.
        ASSERT_TRUE(no_children());
        const std::string blocker = semaphore_file(subprograms_next_child_number());
        if (c.folder) {
            ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
        } else {
            std::ofstream(blocker) << "planted";
            ASSERT_EQ(chmod(blocker.c_str(), 0666), 0);
        }
        StderrCapture capture;
        int32_t result = start({"exit", "0"});
        std::string errors = capture.text();
        std::filesystem::remove(blocker);
        EXPECT_EQ(result, ZE_SECURITY_FAILED) << c.error;
        EXPECT_NE(errors.find("Windows API Error: "), std::string::npos) << errors;
        EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
        EXPECT_NE(errors.find("Continue execution?"), std::string::npos) << errors;
        EXPECT_TRUE(no_children());
        // The next start goes ahead.
        int32_t child = start({"exit", "0"});
        EXPECT_EQ(wait_for_death(child), 0);
    }
}

// What the test authenticator was asked, and the identity it grants.
struct Logon {
    std::string domain, user, password;
    bool had_domain = false;
    PLAT_USER_ID grant{};
};
Logon logon;

int grant_logon(const char *domain, const char *user, const char *password, PLAT_USER_ID *id)
{
    logon.had_domain = domain != nullptr;
    logon.domain = domain != nullptr ? domain : "";
    logon.user = user;
    logon.password = password;
    if (strcmp(password, "secret") != 0)
        return EACCES;
    *id = logon.grant;
    return 0;
}

TEST_F(SubPrograms, StartsAsAnotherUserOnlyThroughAnAuthenticator)
{
    // "<home>/bin/tobrun.exe" is a copy of the child program that every
    // account may run.
    char home[] = "/tmp/subprograms_home_XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    chmod(home, 0755);
    const std::string bin = std::string(home) + "/bin";
    std::filesystem::create_directory(bin);
    std::filesystem::copy_file(CHILD, bin + "/tobrun.exe");
    chmod(bin.c_str(), 0755);
    chmod((bin + "/tobrun.exe").c_str(), 0755);
    LO_PIPE *in = nullptr, *out = nullptr;

    StderrCapture capture;
    EXPECT_EQ(
        SubPrograms_StartProgramAsUser(0, 0, home, &in, &out, "someone", "secret", "wait", nullptr),
        ZE_INVALID_LOGIN);
    std::string errors = capture.text();
    EXPECT_NE(errors.find("from LogonUser"), std::string::npos) << errors;
    EXPECT_NE(in, nullptr);

    // Root runs the child as "nobody"; anyone else as itself.
    struct passwd *nobody = getpwnam("nobody");
    const bool as_nobody = geteuid() == 0 && nobody != nullptr;
    logon.grant = as_nobody ? PLAT_USER_ID{nobody->pw_uid, nobody->pw_gid}
                            : PLAT_USER_ID{geteuid(), getegid()};
    const std::string uid = std::to_string(logon.grant.uid);
    plat_set_authenticator(grant_logon);
    EXPECT_EQ(SubPrograms_StartProgramAsUser(0, 0, home, &in, &out, "DOM\\user", "wrong", "wait",
                                             nullptr),
              ZE_INVALID_LOGIN);
    EXPECT_TRUE(logon.had_domain);
    EXPECT_EQ(logon.domain, "DOM");
    EXPECT_EQ(logon.user, "user");
    const int32_t number = subprograms_next_child_number();
    int32_t child = SubPrograms_StartProgramAsUser(0, 0, home, &in, &out, "user", "secret", "wait",
                                                   uid.c_str(), nullptr);
    plat_set_authenticator(nullptr);
    EXPECT_FALSE(logon.had_domain);
    ASSERT_GT(child, 0);
    // The semaphore is the child's account's alone.
    struct stat st;
    ASSERT_EQ(stat(semaphore_file(number).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, logon.grant.uid);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // It opens its semaphore under its own account and obeys the stop.
    EXPECT_EQ(SubPrograms_StopProgram(child), ZE_SUCCESS);
    EXPECT_EQ(wait_for_death(child), 0);
    std::filesystem::remove_all(home);
}

TEST_F(SubPrograms, NamedPipesCarryValuesBetweenTwoProcesses)
{
    LO_PIPE *in = nullptr, *out = nullptr;
    int32_t child = SubPrograms_StartProgram(0, 0, CHILD, &in, &out, "pipe", nullptr);
    ASSERT_GT(child, 0);
    ASSERT_EQ(LO_open_server(in, out), 0);
    EXPECT_EQ(LO_write_long(out, 41), 0);
    EXPECT_EQ(LO_write_short(out, -7), 0);
    EXPECT_EQ(LO_write_string(out, "hello"), 0);
    int32_t number = 0;
    int16_t small = 0;
    char text[32];
    EXPECT_EQ(LO_read_long(in, &number), 0);
    EXPECT_EQ(LO_read_short(in, &small), 0);
    EXPECT_EQ(LO_read_string(in, text, sizeof text), 0);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(small, -8);
    EXPECT_STREQ(text, "echo hello");
    EXPECT_EQ(wait_for_death(child), 0);
    EXPECT_EQ(LO_disconnect(in), 1);
    EXPECT_EQ(LO_disconnect(out), 1);

    // The next child gets the pipes after the first one has gone.
    int32_t hostile = SubPrograms_StartProgram(0, 0, CHILD, &in, &out, "hostile", nullptr);
    ASSERT_GT(hostile, 0);
    ASSERT_EQ(LO_open_server(in, out), 0);
    char small_buffer[16];
    memset(small_buffer, 'z', sizeof small_buffer);
    EXPECT_EQ(LO_read_string(in, small_buffer, sizeof small_buffer), -1);
    EXPECT_EQ(small_buffer[0], 'z');
    // The connection is closed: the child sees it and ends with 0.
    EXPECT_EQ(LO_read_short(in, &small), -1);
    EXPECT_EQ(wait_for_death(hostile), 0);
    LO_disconnect(in);
    LO_disconnect(out);
}

} // namespace
