// Child processes of the platform layer: the exit code (259 while running,
// the status, the termination code, 128 plus a signal), the process handle
// signalled at the end, failures to start, and log-ons refused until an
// authenticator is installed.
#include "platform/plat_process_internal.h"

#include "platform/plat_shm_internal.h"
#include "platform/plat_socket_internal.h"
#include "platform/plat_temp_file_internal.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

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

TEST(PlatProcess, AChildInheritsNoneOfTheLibrarysDescriptors)
{
    // The library's own descriptors are close-on-exec from their creation;
    // one the host leaves inheritable is handed on deliberately.
    PLAT_SHM shm;
    const std::string name = "plat_process_fds_" + std::to_string(getpid());
    ASSERT_EQ(plat_shm_create(name.c_str(), 16, &shm), PLAT_SHM_OK);
    PLAT_EVENT *event = nullptr;
    ASSERT_EQ(plat_event_create(&event), 0);
    int pair[2];
    ASSERT_EQ(plat_socket_pair(pair), 0);
    char *temp_name = nullptr;
    int temp_fd = -1;
    ASSERT_EQ(plat_temp_file_create(nullptr, "fds", &temp_name, &temp_fd), 0);
    const int host = dup(2);
    ASSERT_GE(host, 0);
    struct Descriptor {
        const char *what;
        int fd;
        bool library;
    } descriptors[] = {
        {"shared memory", shm.fd, true}, {"event", plat_event_waitable(event)->fd, true},
        {"socket pair", pair[0], true},  {"temporary file", temp_fd, true},
        {"the host's own", host, false},
    };
    std::string list;
    for (const Descriptor &d : descriptors) {
        if (d.library) {
            EXPECT_NE(fcntl(d.fd, F_GETFD) & FD_CLOEXEC, 0) << d.what;
            list += " " + std::to_string(d.fd);
        }
    }
    // The exit code counts the library's descriptors the child has, plus 100
    // when the host's is missing.
    const std::string script =
        "n=0; for fd in" + list +
        "; do [ -e /proc/$$/fd/$fd ] && n=$((n+1)); done; [ -e /proc/$$/fd/" +
        std::to_string(host) + " ] || n=$((n+100)); exit $n";
    const char *argv[] = {"sh", "-c", script.c_str(), nullptr};
    struct passwd *nobody = getpwnam("nobody");
    std::vector<PLAT_USER_ID> identities = {{geteuid(), getegid()}};
    if (geteuid() == 0 && nobody != nullptr)
        identities.push_back({nobody->pw_uid, nobody->pw_gid});
    for (const PLAT_USER_ID &id : identities) {
        PLAT_PROCESS *process = nullptr;
        ASSERT_EQ(plat_process_spawn_as_user(&id, argv, &process), 0) << id.uid;
        EXPECT_EQ(exit_code_after_end(process), 0) << "as user " << id.uid;
        plat_process_close(process);
    }
    close(host);
    close(temp_fd);
    unlink(temp_name);
    free(temp_name);
    plat_socket_close(pair[0]);
    plat_socket_close(pair[1]);
    plat_event_close(event);
    plat_shm_close(&shm);
}

} // namespace
