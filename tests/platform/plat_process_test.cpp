// Child processes of the platform layer: the exit code (259 while running,
// the status, the termination code, 128 plus a signal), the process handle
// signalled at the end, failures to start, and log-ons refused until an
// authenticator is installed.
#include "platform/plat_process_internal.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <unistd.h>

namespace
{

// Starts /bin/sh with a script.
PLAT_PROCESS *shell(const char *script)
{
    const char *argv[] = {"sh", "-c", script, nullptr};
    PLAT_PROCESS *process = nullptr;
    EXPECT_EQ(plat_process_spawn(argv, &process), 0);
    return process;
}

int32_t exit_code_after_end(PLAT_PROCESS *process)
{
    PLAT_WAITABLE *handle = plat_process_waitable(process);
    EXPECT_EQ(plat_wait_any(&handle, 1, 10000), 0);
    int32_t code = -1;
    EXPECT_EQ(plat_process_exit_code(process, &code), 0);
    return code;
}

TEST(PlatProcess, ExitCodes)
{
    PLAT_PROCESS *plain = shell("exit 3");
    EXPECT_EQ(exit_code_after_end(plain), 3);
    // The handle stays signalled and the code stays once reaped.
    EXPECT_EQ(exit_code_after_end(plain), 3);
    plat_process_close(plain);

    PLAT_PROCESS *sleeper = shell("exec sleep 60");
    int32_t code = 0;
    EXPECT_EQ(plat_process_exit_code(sleeper, &code), 0);
    EXPECT_EQ(code, PLAT_STILL_ACTIVE);
    PLAT_WAITABLE *handle = plat_process_waitable(sleeper);
    EXPECT_EQ(plat_wait_any(&handle, 1, 0), PLAT_WAIT_TIMEOUT);
    EXPECT_EQ(plat_process_terminate(sleeper, 99), 0);
    EXPECT_EQ(exit_code_after_end(sleeper), 99);
    EXPECT_EQ(plat_process_terminate(sleeper, 98), 0); /* ended already */
    plat_process_close(sleeper);

    PLAT_PROCESS *killed = shell("exec sleep 60");
    ASSERT_EQ(kill(plat_process_id(killed), SIGTERM), 0);
    EXPECT_EQ(exit_code_after_end(killed), 128 + SIGTERM);
    plat_process_close(killed);
}

TEST(PlatProcess, StartFailures)
{
    PLAT_PROCESS *process = reinterpret_cast<PLAT_PROCESS *>(1);
    const char *missing[] = {"/nonexistent/program", nullptr};
    EXPECT_EQ(plat_process_spawn(missing, &process), ENOENT);
    EXPECT_EQ(process, nullptr);
    const char *empty[] = {"", nullptr};
    EXPECT_EQ(plat_process_spawn(empty, &process), EINVAL);
    const char *none[] = {nullptr};
    EXPECT_EQ(plat_process_spawn(none, &process), EINVAL);
    const char *unnamed[] = {"no_such_program_on_the_path", nullptr};
    EXPECT_EQ(plat_process_spawn(unnamed, &process), ENOENT);
}

int grant_self(const char *, const char *user, const char *, PLAT_USER_ID *id)
{
    if (std::string(user) != "me")
        return EPERM;
    id->uid = geteuid();
    id->gid = getegid();
    return 0;
}

TEST(PlatProcess, LogOnsNeedAnAuthenticator)
{
    PLAT_USER_ID id{};
    EXPECT_EQ(plat_logon_user(nullptr, "me", "pw", &id), EACCES);
    EXPECT_EQ(plat_set_authenticator(grant_self), nullptr);
    EXPECT_EQ(plat_logon_user("DOMAIN", "me", "pw", &id), 0);
    EXPECT_EQ(plat_logon_user(nullptr, "you", "pw", &id), EPERM);
    EXPECT_EQ(plat_logon_user(nullptr, nullptr, "pw", &id), EINVAL);
    const char *argv[] = {"sh", "-c", "exit 5", nullptr};
    PLAT_PROCESS *process = nullptr;
    ASSERT_EQ(plat_process_spawn_as_user(&id, argv, &process), 0);
    EXPECT_EQ(exit_code_after_end(process), 5);
    plat_process_close(process);
    EXPECT_EQ(plat_set_authenticator(nullptr), grant_self);
    EXPECT_EQ(plat_logon_user(nullptr, "me", "pw", &id), EACCES);
}

} // namespace
