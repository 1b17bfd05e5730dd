// The real back end of the service manager: each service is a key of the
// registry store holding its configuration (Type, Start, ErrorControl,
// ImagePath, DisplayName, DependOnService, ObjectName) and its run state
// (CurrentState, ProcessId, ProcessStart: the program's start time in clock
// ticks, which tells a reused process id apart; StartTime in milliseconds
// since 1970). The program runs as a child process in a session of its own,
// with its start arguments on standard input (each ended by a zero byte),
// standard output and error on /dev/null and no other descriptor; any process
// may query or stop it.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/plat_registry_internal.h"
#include "platform/plat_service_backend_internal.h"

extern char **environ;

#define S_REG_MULTI_SZ 7u
#define S_REG_QWORD 11u

static const char S_SERVICES_KEY[] = "SYSTEM\\CurrentControlSet\\Services\\";

static std::atomic<uint32_t> S_settle_ms{1000};

void plat_svc_set_settle_ms(uint32_t ms)
{
    S_settle_ms = ms;
}

static std::string S_key(const char *name)
{
    return std::string(S_SERVICES_KEY) + name;
}

// Registry errors as the manager reports them: a name the store refuses is
// an invalid service name.
static int S_reg_error(int rc)
{
    return rc == PLAT_ERROR_INVALID_PARAMETER ? PLAT_ERROR_INVALID_NAME : rc;
}

static int S_set_number(const std::string &key, const char *name, uint64_t value, bool wide)
{
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    return plat_reg_set_value(key.c_str(), name, wide ? S_REG_QWORD : PLAT_REG_DWORD, bytes,
                              wide ? 8 : 4);
}

// A DWORD or QWORD value; 0 when it is missing or of another size.
static uint64_t S_get_number(const std::string &key, const char *name)
{
    unsigned char bytes[8];
    size_t size = sizeof(bytes);
    if (plat_reg_query_value(key.c_str(), name, nullptr, bytes, &size) != 0 ||
        (size != 4 && size != 8))
        return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return value;
}

static int S_set_text(const std::string &key, const char *name, uint32_t type, const char *text,
                      size_t size)
{
    return plat_reg_set_value(key.c_str(), name, type, text, size);
}

// True when the key is a service: its Type is written last by a create.
static bool S_is_service(const std::string &key)
{
    size_t size = 0;
    return plat_reg_query_value(key.c_str(), "Type", nullptr, nullptr, &size) == 0;
}

static uint64_t S_now_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// State letter and start time (clock ticks since boot) of a process, from
// /proc/<pid>/stat; false when there is no such process.
static bool S_proc_stat(pid_t pid, char *state, uint64_t *start)
{
    char path[64];
    snprintf(path, sizeof(path), "/proc/%d/stat", static_cast<int>(pid));
    FILE *f = fopen(path, "re");
    if (f == nullptr)
        return false;
    char line[1024];
    bool ok = fgets(line, sizeof(line), f) != nullptr;
    fclose(f);
    // The command name may hold blanks and parentheses: fields follow the last ')'.
    const char *p = ok ? strrchr(line, ')') : nullptr;
    if (p == nullptr)
        return false;
    unsigned long long ticks = 0;
    // Fields 3 (state) to 22 (start time); 4 to 21 are skipped.
    if (sscanf(p + 1,
               " %c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu",
               state, &ticks) != 2)
        return false;
    *start = ticks;
    return true;
}

// True while the process of the id, started at the ticks, runs. A child of
// this process that has ended is reaped here.
static bool S_alive(pid_t pid, uint64_t ticks)
{
    if (pid <= 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
        return false;
    char state = 0;
    uint64_t start = 0;
    if (!S_proc_stat(pid, &state, &start))
        return false;
    return state != 'Z' && state != 'X' && start == ticks;
}

// The state the service is in now. A program that has gone makes the service
// stopped; one that has stayed up for the settle time makes it running.
static int S_observe(const std::string &key, uint32_t *state)
{
    if (!S_is_service(key))
        return PLAT_ERROR_SERVICE_DOES_NOT_EXIST;
    uint32_t s = static_cast<uint32_t>(S_get_number(key, "CurrentState"));
    if (s == PLAT_SERVICE_START_PENDING || s == PLAT_SERVICE_RUNNING ||
        s == PLAT_SERVICE_STOP_PENDING) {
        pid_t pid = static_cast<pid_t>(S_get_number(key, "ProcessId"));
        if (!S_alive(pid, S_get_number(key, "ProcessStart"))) {
            s = PLAT_SERVICE_STOPPED;
            int rc = S_set_number(key, "CurrentState", s, false);
            if (rc != 0)
                return rc;
            S_set_number(key, "ProcessId", 0, false);
        } else if (s == PLAT_SERVICE_START_PENDING &&
                   S_now_ms() - S_get_number(key, "StartTime") >= S_settle_ms) {
            s = PLAT_SERVICE_RUNNING;
            int rc = S_set_number(key, "CurrentState", s, false);
            if (rc != 0)
                return rc;
        }
    } else if (s != PLAT_SERVICE_PAUSED) {
        s = PLAT_SERVICE_STOPPED;
    }
    *state = s;
    return 0;
}

// 0 when the service is stopped; refusal when it is not; or the error.
static int S_require_stopped(const std::string &key, int refusal)
{
    uint32_t state = 0;
    int rc = S_observe(key, &state);
    if (rc == 0 && state != PLAT_SERVICE_STOPPED)
        rc = refusal;
    return rc;
}

int plat_svc_real_open_manager(const char *machine)
{
    if (machine == nullptr || machine[0] == '\0')
        return 0;
    if (strncmp(machine, "\\\\", 2) == 0)
        machine += 2;
    char host[256] = "";
    if (gethostname(host, sizeof(host) - 1) != 0)
        host[0] = '\0';
    if (strcasecmp(machine, "localhost") == 0 || strcasecmp(machine, host) == 0)
        return 0;
    return PLAT_ERROR_SERVER_UNAVAILABLE;
}

// Bytes of a list of names ended by an empty name, the final zero included.
static size_t S_multi_size(const char *list)
{
    size_t at = 0;
    while (list[at] != '\0')
        at += strlen(list + at) + 1;
    return at + 1;
}

static int S_write_config(const std::string &key, const char *name,
                          const PLAT_SERVICE_CONFIG *config)
{
    const char *display = config->display_name != nullptr ? config->display_name : name;
    const char *account = config->account != nullptr ? config->account : "LocalSystem";
    int rc = S_set_text(key, "DisplayName", PLAT_REG_SZ, display, strlen(display) + 1);
    if (rc == 0)
        rc = S_set_text(key, "ImagePath", PLAT_REG_EXPAND_SZ, config->command_line,
                        strlen(config->command_line) + 1);
    if (rc == 0 && config->dependencies != nullptr)
        rc = S_set_text(key, "DependOnService", S_REG_MULTI_SZ, config->dependencies,
                        S_multi_size(config->dependencies));
    if (rc == 0)
        rc = S_set_text(key, "ObjectName", PLAT_REG_SZ, account, strlen(account) + 1);
    if (rc == 0)
        rc = S_set_number(key, "Start", config->start, false);
    if (rc == 0)
        rc = S_set_number(key, "ErrorControl", config->error_control, false);
    if (rc == 0)
        rc = S_set_number(key, "CurrentState", PLAT_SERVICE_STOPPED, false);
    // Last: only now is the key a service.
    if (rc == 0)
        rc = S_set_number(key, "Type", config->type, false);
    return rc;
}

int plat_svc_real_create(const char *name, const PLAT_SERVICE_CONFIG *config)
{
    std::string key = S_key(name);
    uint32_t children = 0;
    if (plat_reg_open_key(key.c_str()) == 0 &&
        (S_is_service(key) || plat_reg_count_subkeys(key.c_str(), &children) != 0 || children > 0))
        return PLAT_ERROR_SERVICE_EXISTS;
    int rc = plat_reg_create_key(key.c_str());
    if (rc != 0)
        return S_reg_error(rc);
    rc = S_write_config(key, name, config);
    if (rc != 0) {
        // Nothing half-made stays behind.
        plat_reg_delete_key(key.c_str());
        return S_reg_error(rc);
    }
    return 0;
}

int plat_svc_real_open(const char *name)
{
    return S_is_service(S_key(name)) ? 0 : PLAT_ERROR_SERVICE_DOES_NOT_EXIST;
}

int plat_svc_real_delete(const char *name)
{
    std::string key = S_key(name);
    // A running program would be left without a service to stop it.
    int rc = S_require_stopped(key, PLAT_ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    return rc != 0 ? rc : S_reg_error(plat_reg_delete_key(key.c_str()));
}

int plat_svc_real_query(const char *name, uint32_t *state)
{
    return S_observe(S_key(name), state);
}

// The words of a command line: blanks separate them, "..." groups blanks
// into one word (the quotes are dropped).
static std::vector<std::string> S_words(const std::string &line)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool have = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            have = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (have)
                words.push_back(word);
            word.clear();
            have = false;
        } else {
            word += c;
            have = true;
        }
    }
    if (have)
        words.push_back(word);
    return words;
}

static int S_spawn_error(int error)
{
    switch (error) {
    case ENOENT:
        return PLAT_ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return PLAT_ERROR_ACCESS_DENIED;
    case ENOMEM:
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    case ENOEXEC:
        return PLAT_ERROR_BAD_EXE_FORMAT;
    case E2BIG:
        return PLAT_ERROR_INVALID_PARAMETER;
    default:
        return PLAT_ERROR_GEN_FAILURE;
    }
}

// The start arguments, each followed by a zero byte, written whole into a
// fresh pipe whose read end becomes the program's standard input: they never
// appear in its command line or environment, which every account may read.
// The write end is closed at once, so the program reads up to the end.
static int S_argument_pipe(const std::vector<std::string> &arguments, int *read_end)
{
    std::string bytes;
    for (const std::string &a : arguments) {
        bytes += a;
        bytes += '\0';
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    // Written before the start, so it must fit the pipe: never a blocked writer.
    int flags = fcntl(ends[1], F_GETFL);
    bool written = flags >= 0 && fcntl(ends[1], F_SETFL, flags | O_NONBLOCK) == 0;
    for (size_t at = 0; written && at < bytes.size();) {
        ssize_t n = write(ends[1], bytes.data() + at, bytes.size() - at);
        if (n > 0)
            at += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            written = false;
    }
    explicit_bzero(bytes.data(), bytes.size());
    close(ends[1]);
    if (!written) {
        close(ends[0]);
        return PLAT_ERROR_INVALID_PARAMETER;
    }
    *read_end = ends[0];
    return 0;
}

// Starts the program detached from the caller's session and terminal, with
// the start arguments on its standard input and no other descriptor of ours.
static int S_spawn(const std::vector<std::string> &words, const std::vector<std::string> &arguments,
                   pid_t *pid)
{
    std::vector<char *> argv;
    argv.reserve(words.size() + 1);
    for (const std::string &w : words)
        argv.push_back(const_cast<char *>(w.c_str()));
    argv.push_back(nullptr);
    int input = -1;
    int rc = S_argument_pipe(arguments, &input);
    if (rc != 0)
        return rc;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        close(input);
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    }
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        close(input);
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    }
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGHUP, SIGINT, SIGPIPE, SIGTERM, SIGCHLD})
        sigaddset(&defaults, sig);
    rc = posix_spawn_file_actions_adddup2(&actions, input, 0);
    if (rc == 0)
        rc = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (rc == 0)
        rc = posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (rc == 0)
        rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (rc == 0)
        rc = posix_spawnattr_setsigmask(&attr, &none);
    if (rc == 0)
        rc = posix_spawnattr_setsigdefault(&attr, &defaults);
    if (rc == 0)
        rc = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                 POSIX_SPAWN_SETSID);
    if (rc == 0)
        rc = posix_spawn(pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    close(input);
    return rc == 0 ? 0 : S_spawn_error(rc);
}

static std::string S_get_text(const std::string &key, const char *name)
{
    size_t size = 0;
    if (plat_reg_query_value(key.c_str(), name, nullptr, nullptr, &size) != 0)
        return std::string();
    std::string text(size, '\0');
    if (plat_reg_query_value(key.c_str(), name, nullptr, text.data(), &size) != 0)
        return std::string();
    text.resize(strnlen(text.c_str(), size));
    return text;
}

int plat_svc_real_start(const char *name, int argc, const char *const *argv)
{
    std::string key = S_key(name);
    int rc = S_require_stopped(key, PLAT_ERROR_SERVICE_ALREADY_RUNNING);
    if (rc != 0)
        return rc;
    std::vector<std::string> words = S_words(S_get_text(key, "ImagePath"));
    if (words.empty())
        return PLAT_ERROR_FILE_NOT_FOUND;
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i)
        arguments.push_back(argv[i]);
    pid_t pid = 0;
    rc = S_spawn(words, arguments, &pid);
    for (std::string &a : arguments)
        explicit_bzero(a.data(), a.size());
    if (rc != 0)
        return rc;
    char letter = 0;
    uint64_t ticks = 0;
    S_proc_stat(pid, &letter, &ticks);
    rc = S_set_number(key, "StartTime", S_now_ms(), true);
    if (rc == 0)
        rc = S_set_number(key, "ProcessStart", ticks, true);
    if (rc == 0)
        rc = S_set_number(key, "ProcessId", static_cast<uint64_t>(pid), false);
    if (rc == 0)
        rc = S_set_number(key, "CurrentState", PLAT_SERVICE_START_PENDING, false);
    if (rc != 0) {
        // A program whose state cannot be kept could never be stopped here.
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return rc;
    }
    return 0;
}

int plat_svc_real_control(const char *name, uint32_t control, uint32_t *state)
{
    if (control != PLAT_SERVICE_CONTROL_STOP)
        return PLAT_ERROR_INVALID_PARAMETER;
    std::string key = S_key(name);
    int rc = S_observe(key, state);
    if (rc != 0)
        return rc;
    if (*state == PLAT_SERVICE_STOPPED)
        return PLAT_ERROR_SERVICE_NOT_ACTIVE;
    if (*state == PLAT_SERVICE_STOP_PENDING)
        return PLAT_ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    // Never 0 or negative: kill would signal a whole process group.
    pid_t pid = static_cast<pid_t>(S_get_number(key, "ProcessId"));
    if (pid <= 0)
        return PLAT_ERROR_SERVICE_NOT_ACTIVE;
    if (kill(pid, SIGTERM) != 0)
        return errno == ESRCH ? PLAT_ERROR_SERVICE_NOT_ACTIVE : PLAT_ERROR_ACCESS_DENIED;
    *state = PLAT_SERVICE_STOP_PENDING;
    return S_set_number(key, "CurrentState", *state, false);
}
