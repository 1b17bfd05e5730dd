// Child processes on Linux: posix_spawn, pidfds for waiting and signalling,
// waitid on the one process for its exit code. See plat_process_internal.h.
#include "platform/plat_process_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <new>
#include <vector>

extern char **environ;

struct PLAT_PROCESS {
    PLAT_WAITABLE waitable; /* the pidfd */
    pid_t pid;
    bool reaped;
    int32_t exit_code;
    std::atomic<bool> terminated; /* plat_process_terminate sent the kill */
    int32_t terminate_code;
};

static int S_pidfd_open(pid_t pid)
{
    return (int)syscall(SYS_pidfd_open, pid, 0);
}

// Wraps a started child; when no pidfd can be had the child cannot be watched,
// so it is killed and reaped rather than left behind.
static int S_wrap(pid_t pid, PLAT_PROCESS **process)
{
    int fd = S_pidfd_open(pid);
    int rc = fd < 0 ? errno : 0;
    PLAT_PROCESS *made = nullptr;
    if (rc == 0) {
        made = new (std::nothrow) PLAT_PROCESS;
        if (made == nullptr) {
            close(fd);
            rc = ENOMEM;
        }
    }
    if (rc != 0) {
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return rc;
    }
    made->waitable.fd = fd;
    made->waitable.auto_reset = 0;
    made->pid = pid;
    made->reaped = false;
    made->exit_code = PLAT_STILL_ACTIVE;
    made->terminated = false;
    made->terminate_code = 0;
    *process = made;
    return 0;
}

int plat_process_spawn(const char *const argv[], PLAT_PROCESS **process)
{
    *process = nullptr;
    if (argv == nullptr || argv[0] == nullptr || argv[0][0] == '\0')
        return EINVAL;
    posix_spawnattr_t attr;
    int rc = posix_spawnattr_init(&attr);
    if (rc != 0)
        return rc;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    char *const *args = const_cast<char *const *>(argv);
    if (strchr(argv[0], '/') != nullptr)
        rc = posix_spawn(&pid, argv[0], nullptr, &attr, args, environ);
    else
        rc = posix_spawnp(&pid, argv[0], nullptr, &attr, args, environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return rc;
    return S_wrap(pid, process);
}

static int S_refuse_logon(const char *, const char *, const char *, PLAT_USER_ID *)
{
    return EACCES;
}

static std::atomic<PLAT_AUTHENTICATOR> S_authenticator{S_refuse_logon};

PLAT_AUTHENTICATOR plat_set_authenticator(PLAT_AUTHENTICATOR authenticator)
{
    PLAT_AUTHENTICATOR before =
        S_authenticator.exchange(authenticator != nullptr ? authenticator : S_refuse_logon);
    return before == S_refuse_logon ? nullptr : before;
}

int plat_logon_user(const char *domain, const char *user, const char *password, PLAT_USER_ID *id)
{
    if (user == nullptr || password == nullptr || id == nullptr)
        return EINVAL;
    return S_authenticator.load()(domain, user, password, id);
}

// The user's supplementary groups, learnt before the fork (the child may only
// make async-signal-safe calls); just the primary group for an unnamed id.
static int S_groups(const PLAT_USER_ID *id, std::vector<gid_t> &groups)
{
    std::vector<char> text(4096);
    struct passwd pw, *found = nullptr;
    int rc;
    while ((rc = getpwuid_r(id->uid, &pw, text.data(), text.size(), &found)) == ERANGE)
        text.resize(text.size() * 2);
    groups.assign(1, id->gid);
    if (rc != 0 || found == nullptr)
        return 0;
    int count = 16;
    for (;;) {
        groups.resize((size_t)count);
        int wanted = count;
        if (getgrouplist(pw.pw_name, id->gid, groups.data(), &wanted) >= 0) {
            groups.resize((size_t)wanted);
            return 0;
        }
        if (wanted <= count)
            return EINVAL;
        count = wanted;
    }
}

int plat_process_spawn_as_user(const PLAT_USER_ID *id, const char *const argv[],
                               PLAT_PROCESS **process)
{
    *process = nullptr;
    if (id == nullptr || argv == nullptr || argv[0] == nullptr || argv[0][0] == '\0')
        return EINVAL;
    if (id->uid == geteuid() && id->gid == getegid())
        return plat_process_spawn(argv, process);
    std::vector<gid_t> groups;
    int rc = S_groups(id, groups);
    if (rc != 0)
        return rc;
    // The child reports a failed identity change or exec through this pipe.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return errno;
    pid_t pid = fork();
    if (pid < 0) {
        rc = errno;
        close(report[0]);
        close(report[1]);
        return rc;
    }
    if (pid == 0) {
        close(report[0]);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig = 1; sig < NSIG; sig++)
            signal(sig, SIG_DFL);
        char *const *args = const_cast<char *const *>(argv);
        if (setgroups(groups.size(), groups.data()) == 0 && setgid(id->gid) == 0 &&
            setuid(id->uid) == 0)
            execvp(argv[0], args);
        int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got == (ssize_t)sizeof error) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return error != 0 ? error : ECHILD;
    }
    return S_wrap(pid, process);
}

int plat_process_open(int32_t pid, PLAT_PROCESS **process)
{
    if (process == nullptr)
        return EINVAL;
    *process = nullptr;
    if (pid <= 0)
        return ESRCH;
    int fd = S_pidfd_open((pid_t)pid);
    if (fd < 0)
        return errno;
    PLAT_PROCESS *made = new (std::nothrow) PLAT_PROCESS;
    if (made == nullptr) {
        close(fd);
        return ENOMEM;
    }
    made->waitable.fd = fd;
    made->waitable.auto_reset = 0;
    made->pid = (pid_t)pid;
    made->reaped = false;
    made->exit_code = PLAT_STILL_ACTIVE;
    made->terminated = false;
    made->terminate_code = 0;
    *process = made;
    return 0;
}

int32_t plat_process_id(const PLAT_PROCESS *process)
{
    return process != nullptr ? (int32_t)process->pid : 0;
}

PLAT_WAITABLE *plat_process_waitable(PLAT_PROCESS *process)
{
    return &process->waitable;
}

int plat_process_exit_code(PLAT_PROCESS *process, int32_t *code)
{
    if (process == nullptr || code == nullptr)
        return EINVAL;
    if (!process->reaped) {
        siginfo_t info;
        memset(&info, 0, sizeof info);
        while (waitid(P_PID, (id_t)process->pid, &info, WEXITED | WNOHANG) != 0) {
            if (errno != EINTR)
                return errno;
        }
        if (info.si_pid == 0) {
            *code = PLAT_STILL_ACTIVE;
            return 0;
        }
        process->reaped = true;
        if (info.si_code == CLD_EXITED)
            process->exit_code = info.si_status;
        else if (info.si_status == SIGKILL && process->terminated)
            process->exit_code = process->terminate_code;
        else
            process->exit_code = 128 + info.si_status;
    }
    *code = process->exit_code;
    return 0;
}

int plat_process_terminate(PLAT_PROCESS *process, int32_t code)
{
    if (process == nullptr)
        return EINVAL;
    process->terminate_code = code;
    process->terminated = true;
    // Through the pidfd, so a recycled process id can never be hit.
    if (syscall(SYS_pidfd_send_signal, process->waitable.fd, SIGKILL, nullptr, 0) != 0 &&
        errno != ESRCH)
        return errno;
    return 0;
}

void plat_process_close(PLAT_PROCESS *process)
{
    if (process == nullptr)
        return;
    close(process->waitable.fd);
    delete process;
}
