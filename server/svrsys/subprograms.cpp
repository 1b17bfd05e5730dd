// Child processes of the control process: start (plain or as another user),
// stop, terminate, the alive test of the lock tables, and the death watcher
// thread that waits on the children's process handles in groups of 64 (slot 0
// of every group is the wake event) and reports each death once. The child
// list and the groups change only inside the child-list section; the watcher
// waits on a copy of one group at a time, outside it.
#include "server/svrsys/subprograms_internal.h"

#include <errno.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "base/util/ve_path_internal.h"
#include "base/util/zel_errors.h"
#include "platform/plat_pipe_internal.h"
#include "platform/plat_process_internal.h"
#include "platform/plat_sync_internal.h"

struct SUBPROGRAM_CHILD {
    PLAT_PROCESS *process;
    int32_t process_id;
    PLAT_SEMAPHORE *semaphore;
    SUBPROGRAM_CHILD *next;
};

enum { S_GROUP_SIZE = 64 };
enum { S_PAUSE = 1, S_WATCH = 2, S_END = 3 };
enum { S_INBOUND = 0, S_OUTBOUND = 1 };

typedef std::array<PLAT_WAITABLE *, S_GROUP_SIZE> S_GROUP;

// The control process's state; one per process, reused after SubPrograms_End.
// Every field but the atomics and the pause protocol's is guarded by
// S_child_section.
struct S_CONTROL {
    bool initialised = false;
    bool ending = false; /* SubPrograms_End has begun */
    SUBPROGRAMS_DEATH_CALLBACK on_death = nullptr;
    SUBPROGRAM_CHILD *children = nullptr; /* in start order */
    std::vector<S_GROUP> groups;
    int32_t last_count = 0; /* handles in the last group, the wake event included */
    PLAT_EVENT *wake = nullptr;
    PLAT_EVENT *acknowledge = nullptr;
    PLAT_EVENT *resume = nullptr;
    std::atomic<int32_t> command{S_WATCH};
    int32_t child_counter = 0;
    pthread_t watcher{};
    std::atomic<bool> watcher_alive{false}; /* cleared by the thread as it ends */
    bool watcher_unjoined = false;          /* ended from its own callback */
    std::mutex pause_lock;                  /* one pause at a time */
    bool paused = false;                    /* under pause_lock */
    PLAT_PIPE *pipes[2] = {nullptr, nullptr};
    std::string pipe_names[2]; /* as the children get them */
};

static PLAT_CRITICAL_SECTION S_child_section = PLAT_CRITICAL_SECTION_INIT;
static S_CONTROL S_ctl;

static const char S_INBOUND_PIPE[] = "\\\\.\\pipe\\zel_client_to_server_FIFO_";
static const char S_OUTBOUND_PIPE[] = "\\\\.\\pipe\\zel_server_to_client_FIFO_";

namespace
{
// Holds the child-list section for a scope.
struct SectionGuard {
    SectionGuard()
    {
        plat_critical_section_enter(&S_child_section);
    }
    ~SectionGuard()
    {
        plat_critical_section_leave(&S_child_section);
    }
    SectionGuard(const SectionGuard &) = delete;
    SectionGuard &operator=(const SectionGuard &) = delete;
};
} // namespace

// The number of the first child: random, so that another account cannot
// plant the stop semaphores' names in advance.
static int32_t S_first_child_number()
{
    uint32_t bits = 0;
    if (getrandom(&bits, sizeof bits, 0) != (ssize_t)sizeof bits)
        bits = (uint32_t)time(nullptr) ^ ((uint32_t)getpid() << 16);
    return (int32_t)(bits & 0x3FFFFFFFu) + 1;
}

int32_t subprograms_next_child_number(void)
{
    SectionGuard section;
    return S_ctl.child_counter;
}

static bool S_on_watcher_thread()
{
    return S_ctl.watcher_alive.load() && pthread_equal(pthread_self(), S_ctl.watcher);
}

static void S_free_child(SUBPROGRAM_CHILD *child)
{
    plat_semaphore_close(child->semaphore);
    plat_process_close(child->process);
    delete child;
}

// Takes a child's handle out of its group and closes the gap: later handles of
// the group move down, and each later group hands its first child to the
// group before. A last group left with only the wake event goes.
static void S_remove_handle(PLAT_WAITABLE *handle)
{
    const size_t last = S_ctl.groups.size() - 1;
    for (size_t g = 0; g <= last; g++) {
        S_GROUP &group = S_ctl.groups[g];
        const int32_t count = g == last ? S_ctl.last_count : S_GROUP_SIZE;
        int32_t slot = 1;
        while (slot < count && group[(size_t)slot] != handle)
            slot++;
        if (slot == count)
            continue;
        for (int32_t i = slot; i + 1 < count; i++)
            group[(size_t)i] = group[(size_t)i + 1];
        for (size_t h = g + 1; h <= last; h++) {
            S_GROUP &next = S_ctl.groups[h];
            const int32_t next_count = h == last ? S_ctl.last_count : S_GROUP_SIZE;
            S_ctl.groups[h - 1][S_GROUP_SIZE - 1] = next[1];
            for (int32_t i = 1; i + 1 < next_count; i++)
                next[(size_t)i] = next[(size_t)i + 1];
        }
        S_ctl.last_count--;
        if (S_ctl.last_count == 1 && S_ctl.groups.size() > 1) {
            S_ctl.groups.pop_back();
            S_ctl.last_count = S_GROUP_SIZE;
        }
        return;
    }
}

// A child's handle was signalled: the child leaves the list and the groups
// inside the section; its death is reported after the section is left, so
// the callback sees a consistent list, may take locks that are held while the
// section is taken (the lock tables' mutexes), and may end the watcher.
static void S_report_death(PLAT_WAITABLE *handle)
{
    SUBPROGRAM_CHILD *child;
    int32_t code = -1;
    SUBPROGRAMS_DEATH_CALLBACK on_death;
    {
        SectionGuard section;
        SUBPROGRAM_CHILD **link = &S_ctl.children;
        while (*link != nullptr && plat_process_waitable((*link)->process) != handle)
            link = &(*link)->next;
        child = *link;
        if (child == nullptr)
            return;
        int rc = plat_process_exit_code(child->process, &code);
        if (rc != 0) {
            SUBPROGRAMS_API_ERROR("waitid", rc);
            code = -1;
        } else if (code == SUBPROGRAMS_STILL_ACTIVE) {
            return; /* not reapable yet: the next wait sees it again */
        }
        *link = child->next;
        S_remove_handle(handle);
        // The name of a reaped child's semaphore goes at once.
        plat_semaphore_close(child->semaphore);
        child->semaphore = nullptr;
        on_death = S_ctl.on_death;
    }
    if (on_death != nullptr)
        on_death(child->process_id, code);
    S_free_child(child);
}

static void S_pause_briefly()
{
    struct timespec pause = {1, 0};
    nanosleep(&pause, nullptr);
}

// The death watcher: obeys the command word, else waits on each group in turn
// (1000 ms shared between the groups) and goes back to the command after a
// wake or a death.
static void *S_watch(void *)
{
    for (;;) {
        const int32_t command = S_ctl.command.load();
        if (command == S_END)
            break;
        if (command == S_PAUSE) {
            plat_event_set(S_ctl.acknowledge);
            plat_event_wait(S_ctl.resume, PLAT_WAIT_INFINITE);
            continue;
        }
        for (size_t g = 0;; g++) {
            PLAT_WAITABLE *copy[S_GROUP_SIZE];
            int32_t count;
            size_t groups;
            {
                SectionGuard section;
                groups = S_ctl.groups.size();
                if (g >= groups)
                    break;
                count = g + 1 == groups ? S_ctl.last_count : S_GROUP_SIZE;
                memcpy(copy, S_ctl.groups[g].data(), (size_t)count * sizeof(PLAT_WAITABLE *));
            }
            const int signalled = plat_wait_any(copy, count, 1000 / (int)groups);
            if (signalled == PLAT_WAIT_TIMEOUT)
                continue;
            if (signalled == PLAT_WAIT_FAILED) {
                SUBPROGRAMS_API_ERROR("poll", errno);
                S_pause_briefly();
            } else if (signalled > 0) {
                S_report_death(copy[signalled]);
            }
            break;
        }
    }
    S_ctl.watcher_alive.store(false);
    return nullptr;
}

// Closes what SubPrograms_Initialize made; the watcher has ended or is ending
// without touching these again.
static void S_release_all()
{
    for (PLAT_PIPE *&pipe : S_ctl.pipes) {
        plat_pipe_close(pipe);
        pipe = nullptr;
    }
    plat_event_close(S_ctl.wake);
    plat_event_close(S_ctl.acknowledge);
    plat_event_close(S_ctl.resume);
    S_ctl.wake = S_ctl.acknowledge = S_ctl.resume = nullptr;
    S_ctl.groups.clear();
    S_ctl.last_count = 0;
    S_ctl.child_counter = 0;
    S_ctl.on_death = nullptr;
    S_ctl.paused = false;
    S_ctl.initialised = false;
    S_ctl.ending = false;
}

int32_t SubPrograms_Initialize(int32_t, const char *instance, SUBPROGRAMS_DEATH_CALLBACK on_death)
{
    try {
        {
            // A watcher ended from its death callback is on its way out; it
            // may still be reporting the remaining children, whose callbacks
            // can take the section, so it is joined outside the section.
            pthread_t ended;
            bool join = false;
            {
                SectionGuard section;
                if (S_ctl.initialised || S_on_watcher_thread())
                    return ZE_FAILURE;
                if (S_ctl.watcher_unjoined) {
                    ended = S_ctl.watcher;
                    S_ctl.watcher_unjoined = false;
                    join = true;
                }
            }
            if (join)
                pthread_join(ended, nullptr);
        }
        SectionGuard section;
        if (S_ctl.initialised || S_ctl.watcher_unjoined || S_on_watcher_thread())
            return ZE_FAILURE;
        int rc = 0;
        if ((rc = plat_event_create(&S_ctl.wake)) != 0 ||
            (rc = plat_event_create(&S_ctl.acknowledge)) != 0 ||
            (rc = plat_event_create(&S_ctl.resume)) != 0) {
            SUBPROGRAMS_API_ERROR("eventfd", rc);
            S_release_all();
            return ZE_FAILURE;
        }
        S_ctl.groups.assign(1, S_GROUP{});
        S_ctl.groups[0][0] = plat_event_waitable(S_ctl.wake);
        S_ctl.last_count = 1;
        S_ctl.on_death = on_death;
        S_ctl.command.store(S_WATCH);
        S_ctl.child_counter = S_first_child_number();
        const std::string name = instance != nullptr ? instance : "";
        S_ctl.pipe_names[S_INBOUND] = S_INBOUND_PIPE + name;
        S_ctl.pipe_names[S_OUTBOUND] = S_OUTBOUND_PIPE + name;
        if ((rc = plat_pipe_create(S_ctl.pipe_names[S_OUTBOUND].c_str(),
                                   &S_ctl.pipes[S_OUTBOUND])) != 0 ||
            (rc = plat_pipe_create(S_ctl.pipe_names[S_INBOUND].c_str(), &S_ctl.pipes[S_INBOUND])) !=
                0) {
            SUBPROGRAMS_API_ERROR("CreateNamedPipe", rc);
            S_release_all();
            return ZE_FAILURE;
        }
        plat_pipe_keep(S_ctl.pipes[S_INBOUND]);
        plat_pipe_keep(S_ctl.pipes[S_OUTBOUND]);
        S_ctl.watcher_alive.store(true);
        if ((rc = pthread_create(&S_ctl.watcher, nullptr, S_watch, nullptr)) != 0) {
            S_ctl.watcher_alive.store(false);
            SUBPROGRAMS_API_ERROR("CreateThread", rc);
            S_release_all();
            return ZE_PROCESS_NOT_STARTED;
        }
        S_ctl.initialised = true;
        return ZE_SUCCESS;
    } catch (const std::bad_alloc &) {
        S_release_all();
        return ZE_OUT_OF_MEMORY;
    }
}

// Pauses the watcher unless it is paused already; it must have acknowledged
// before the caller goes on. The watcher's own thread (a death callback)
// needs no pause: the watcher is not waiting then.
static int32_t S_pause()
{
    if (S_on_watcher_thread())
        return ZE_SUCCESS;
    std::lock_guard<std::mutex> lock(S_ctl.pause_lock);
    if (S_ctl.paused)
        return ZE_SUCCESS;
    int32_t watching = S_WATCH;
    if (!S_ctl.command.compare_exchange_strong(watching, S_PAUSE))
        return ZE_FAILURE; /* ending */
    plat_event_set(S_ctl.wake);
    plat_event_wait(S_ctl.acknowledge, PLAT_WAIT_INFINITE);
    S_ctl.paused = true;
    return ZE_SUCCESS;
}

static int32_t S_resume()
{
    std::lock_guard<std::mutex> lock(S_ctl.pause_lock);
    int32_t pausing = S_PAUSE;
    if (S_ctl.command.compare_exchange_strong(pausing, S_WATCH))
        plat_event_set(S_ctl.resume);
    S_ctl.paused = false;
    return ZE_SUCCESS;
}

static bool S_running()
{
    return S_ctl.initialised && !S_ctl.ending;
}

namespace
{
// Who a child runs as: this process's identity, or a user's after a log-on.
struct StartAs {
    bool as_user;
    const char *domain; /* null: the user name had none */
    const char *name;
    const char *password;
};
} // namespace

// The common start: hands out the pipes, makes the stop semaphore (a failure
// starts nothing), starts the program with the semaphore's and the pipes'
// names after its arguments, pauses the watcher when asked, and lists the
// child.
static int32_t S_start(int32_t pause, int32_t pipe_index, const std::string &program,
                       const std::vector<std::string> &arguments, LO_PIPE **inbound,
                       LO_PIPE **outbound, const StartAs &as)
{
    int32_t number;
    std::vector<std::string> command_line;
    {
        SectionGuard section;
        const bool has_pipes = pipe_index == 0 && S_ctl.initialised;
        if (inbound != nullptr)
            *inbound = has_pipes ? S_ctl.pipes[S_INBOUND] : nullptr;
        if (outbound != nullptr)
            *outbound = has_pipes ? S_ctl.pipes[S_OUTBOUND] : nullptr;
        if (!S_running())
            return ZE_WATCHER_ENDED;
        number = S_ctl.child_counter++;
        command_line.push_back(program);
        command_line.insert(command_line.end(), arguments.begin(), arguments.end());
        command_line.push_back("ZEL_stop_semaphore_" + std::to_string(getpid()) + "_" +
                               std::to_string(number));
        command_line.push_back(S_ctl.pipe_names[S_INBOUND]);
        command_line.push_back(S_ctl.pipe_names[S_OUTBOUND]);
    }
    const std::string &semaphore_name = command_line[command_line.size() - 3];
    PLAT_SEMAPHORE *semaphore = nullptr;
    int rc = plat_semaphore_create(semaphore_name.c_str(), &semaphore);
    if (rc != 0) {
        SUBPROGRAMS_API_ERROR("CreateSemaphore", rc);
        return ZE_SECURITY_FAILED;
    }
    PLAT_USER_ID user{};
    if (as.as_user && (rc = plat_logon_user(as.domain, as.name, as.password, &user)) != 0) {
        SUBPROGRAMS_API_ERROR("LogonUser", rc);
        plat_semaphore_close(semaphore);
        return ZE_INVALID_LOGIN;
    }
    // A child of another account opens its semaphore: that account alone
    // gets it, so no other can release it and stop the child.
    if (as.as_user && (rc = plat_semaphore_grant(semaphore, user.uid)) != 0) {
        SUBPROGRAMS_API_ERROR("SetSecurityInfo", rc);
        plat_semaphore_close(semaphore);
        return ZE_SECURITY_FAILED;
    }
    std::vector<const char *> argv;
    argv.reserve(command_line.size() + 1);
    for (const std::string &word : command_line)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    PLAT_PROCESS *process = nullptr;
    rc = as.as_user ? plat_process_spawn_as_user(&user, argv.data(), &process)
                    : plat_process_spawn(argv.data(), &process);
    if (rc != 0) {
        SUBPROGRAMS_API_ERROR(as.as_user ? "CreateProcessAsUser" : "CreateProcess", rc);
        plat_semaphore_close(semaphore);
        return as.as_user ? ZE_INVALID_LOGIN : ZE_PROCESS_NOT_STARTED;
    }
    if (pause == 1)
        S_pause();
    SectionGuard section;
    auto *child = new (std::nothrow) SUBPROGRAM_CHILD;
    bool listed = false;
    if (child != nullptr && S_running()) {
        try {
            if (S_ctl.last_count == S_GROUP_SIZE) {
                S_ctl.groups.push_back(S_GROUP{});
                S_ctl.groups.back()[0] = plat_event_waitable(S_ctl.wake);
                S_ctl.last_count = 1;
            }
            listed = true;
        } catch (const std::bad_alloc &) {
        }
    }
    if (!listed) {
        // Nothing could watch the child: it must not run on unseen.
        delete child;
        plat_process_terminate(process, SUBPROGRAMS_TERMINATE_CODE);
        plat_process_close(process);
        plat_semaphore_close(semaphore);
        return S_running() ? ZE_OUT_OF_MEMORY : ZE_WATCHER_ENDED;
    }
    S_ctl.groups.back()[(size_t)S_ctl.last_count++] = plat_process_waitable(process);
    child->process = process;
    child->process_id = plat_process_id(process);
    child->semaphore = semaphore;
    child->next = nullptr;
    SUBPROGRAM_CHILD **link = &S_ctl.children;
    while (*link != nullptr)
        link = &(*link)->next;
    *link = child;
    // The watcher waits on a copy of the groups: have it take a new one.
    plat_event_set(S_ctl.wake);
    return child->process_id;
}

static std::vector<std::string> S_arguments(va_list arguments)
{
    std::vector<std::string> words;
    for (const char *word; (word = va_arg(arguments, const char *)) != nullptr;)
        words.push_back(word);
    return words;
}

int32_t SubPrograms_StartProgram(int32_t pause, int32_t pipe_index, const char *program,
                                 LO_PIPE **inbound, LO_PIPE **outbound, ...)
{
    va_list list;
    va_start(list, outbound);
    int32_t result;
    try {
        std::vector<std::string> arguments = S_arguments(list);
        if (program == nullptr || program[0] == '\0') {
            if (inbound != nullptr)
                *inbound = nullptr;
            if (outbound != nullptr)
                *outbound = nullptr;
            result = ZE_NULL_POINTER;
        } else {
            result = S_start(pause, pipe_index, program, arguments, inbound, outbound,
                             StartAs{false, nullptr, nullptr, nullptr});
        }
    } catch (const std::bad_alloc &) {
        result = ZE_OUT_OF_MEMORY;
    }
    va_end(list);
    return result;
}

int32_t SubPrograms_StartProgramAsUser(int32_t pause, int32_t pipe_index, const char *home,
                                       LO_PIPE **inbound, LO_PIPE **outbound, const char *user,
                                       const char *password, ...)
{
    va_list list;
    va_start(list, password);
    int32_t result;
    try {
        std::vector<std::string> arguments = S_arguments(list);
        std::string program =
            ves_path_join(ves_path_join(home != nullptr ? home : "", "bin"), "tobrun.exe");
        std::string domain, name = user != nullptr ? user : "";
        const size_t backslash = name.find('\\');
        if (backslash != std::string::npos) {
            domain = name.substr(0, backslash);
            name.erase(0, backslash + 1);
        }
        const StartAs as{true, backslash != std::string::npos ? domain.c_str() : nullptr,
                         name.c_str(), password};
        result = S_start(pause, pipe_index, program, arguments, inbound, outbound, as);
    } catch (const std::bad_alloc &) {
        result = ZE_OUT_OF_MEMORY;
    }
    va_end(list);
    return result;
}

// Finds a listed child; inside the section.
static SUBPROGRAM_CHILD *S_find(int32_t process_id)
{
    SUBPROGRAM_CHILD *child = S_ctl.children;
    while (child != nullptr && child->process_id != process_id)
        child = child->next;
    return child;
}

// Applies an action to a listed child: 0, -1 when the watcher is not running
// or the action fails (reported as the named call), -3 for an unknown id.
template <typename Action>
static int32_t S_act_on_child(int32_t process_id, const char *call, Action action)
{
    SectionGuard section;
    if (!S_running())
        return ZE_FAILURE;
    SUBPROGRAM_CHILD *child = S_find(process_id);
    if (child == nullptr)
        return ZE_NO_SUCH_CHILD;
    int rc = action(child);
    if (rc != 0) {
        SUBPROGRAMS_API_ERROR(call, rc);
        return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

int32_t SubPrograms_StopProgram(int32_t process_id)
{
    return S_act_on_child(process_id, "ReleaseSemaphore", [](SUBPROGRAM_CHILD *child) {
        return plat_semaphore_release(child->semaphore);
    });
}

int32_t SubPrograms_TerminateProgram(int32_t process_id)
{
    return S_act_on_child(process_id, "TerminateProcess", [](SUBPROGRAM_CHILD *child) {
        return plat_process_terminate(child->process, SUBPROGRAMS_TERMINATE_CODE);
    });
}

int32_t SubPrograms_ProgramAlive(int32_t process_id)
{
    SectionGuard section;
    if (!S_ctl.initialised)
        return 1;
    return S_find(process_id) != nullptr ? 1 : 0;
}

int32_t SubPrograms_DeathHandling(int32_t resume)
{
    {
        SectionGuard section;
        if (!S_running())
            return ZE_FAILURE;
    }
    return resume == 0 ? S_pause() : S_resume();
}

void SubPrograms_SaveDeathHandling(void) {}

// Reports every child of the list with its current exit code and frees it;
// the children go on running.
static void S_report_remaining(SUBPROGRAM_CHILD *children, SUBPROGRAMS_DEATH_CALLBACK on_death)
{
    while (children != nullptr) {
        SUBPROGRAM_CHILD *child = children;
        children = child->next;
        int32_t code = -1;
        int rc = plat_process_exit_code(child->process, &code);
        if (rc != 0) {
            SUBPROGRAMS_API_ERROR("waitid", rc);
            code = -1;
        }
        if (on_death != nullptr)
            on_death(child->process_id, code);
        S_free_child(child);
    }
}

void SubPrograms_End(void)
{
    bool from_watcher;
    {
        SectionGuard section;
        if (!S_running())
            return;
        S_ctl.ending = true;
        from_watcher = S_on_watcher_thread();
    }
    // The end is final: a pause or resume racing with it cannot undo it.
    S_ctl.command.store(S_END);
    plat_event_set(S_ctl.wake);
    plat_event_set(S_ctl.resume);
    plat_event_set(S_ctl.acknowledge);
    if (from_watcher) {
        // Called from a death callback: the watcher ends by itself once the
        // callback returns, touching nothing of what is released here; the
        // next SubPrograms_Initialize joins it.
        S_ctl.watcher_unjoined = true;
    } else {
        // The watcher may be waiting for the section, or in a death callback.
        pthread_join(S_ctl.watcher, nullptr);
    }
    SUBPROGRAM_CHILD *children;
    SUBPROGRAMS_DEATH_CALLBACK on_death;
    {
        // A pause in progress has seen the end by now.
        std::lock_guard<std::mutex> pause(S_ctl.pause_lock);
        SectionGuard section;
        children = S_ctl.children;
        S_ctl.children = nullptr;
        on_death = S_ctl.on_death;
        S_release_all();
    }
    S_report_remaining(children, on_death);
}
