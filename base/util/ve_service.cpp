// The instance's service and its event-log records (ve_service.h), on the
// service manager and event log of platform/ (plat_service_internal.h,
// plat_eventlog_internal.h) and the event-source keys of ve_registry.
#include "base/util/ve_service_internal.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>
#include <new>
#include <string>

#include "base/util/ve_net_string.h"
#include "base/util/ve_registry.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "platform/plat_eventlog_internal.h"
#include "platform/plat_service_internal.h"

/* Room of a start argument, terminator included. */
#define S_ARGUMENT_SIZE 136

static std::atomic<uint32_t> S_pause_ms{250};
static std::atomic<uint32_t> S_limit_ms{60000};
static std::atomic<PLAT_EVENT_SOURCE> S_event_source{nullptr};

void ves_service_set_start_wait(uint32_t pause_ms, uint32_t limit_ms)
{
    S_pause_ms = pause_ms;
    S_limit_ms = limit_ms;
}

void ves_log_event_reset(void)
{
    plat_evt_deregister(S_event_source.exchange(nullptr));
}

void VES_LogEvent(uint16_t type, uint32_t id, const char *source, const char *string1,
                  const char *string2, const char *string3)
{
    // The strings that are given, in their order: a null slot before a given
    // one must not be reported as one of the count.
    const char *strings[3];
    uint16_t count = 0;
    for (const char *s : {string1, string2, string3})
        if (s != nullptr)
            strings[count++] = s;
    PLAT_EVENT_SOURCE handle = S_event_source.load();
    if (handle == nullptr) {
        if (plat_evt_register(nullptr, source, &handle) != 0)
            return; /* dropped; the next event tries again */
        PLAT_EVENT_SOURCE expected = nullptr;
        if (!S_event_source.compare_exchange_strong(expected, handle)) {
            plat_evt_deregister(handle); /* another thread registered first */
            handle = expected;
        }
    }
    plat_evt_report(handle, type, 0, id, count, strings);
}

static void S_log(uint32_t id, const char *name)
{
    VES_LogEvent(VE_EVENT_INFORMATION, id, name, name, nullptr, nullptr);
}

// The manager and service handles of one call, closed on every way out.
struct S_Handles {
    PLAT_SC_HANDLE manager = nullptr;
    PLAT_SC_HANDLE service = nullptr;
    ~S_Handles()
    {
        plat_svc_close(service);
        plat_svc_close(manager);
    }
};

static int S_open_manager_or_say(S_Handles &h, uint32_t access)
{
    int rc = plat_svc_open_manager(nullptr, access, &h.manager);
    if (rc != 0) {
        fprintf(stderr, "error opening SCManager. You must have administrator\n");
        fprintf(stderr, "privileges to perform this operation\n");
    }
    return rc;
}

int32_t VES_CreateService(const char *name, const char *display_name, const char *command_line,
                          const char *dependencies, const char *account, const char *password)
{
    if (name == nullptr || command_line == nullptr)
        return ZE_NULL_POINTER;
    try {
        // A bare account name is one of this machine.
        std::string local;
        if (account != nullptr && strchr(account, '\\') == nullptr) {
            local = std::string(".\\") + account;
            account = local.c_str();
        }
        int rc = 0;
        {
            S_Handles h;
            rc = S_open_manager_or_say(h, PLAT_GENERIC_READ | PLAT_GENERIC_WRITE);
            if (rc != 0)
                return rc;
            PLAT_SERVICE_CONFIG config = {display_name,
                                          command_line,
                                          PLAT_SERVICE_WIN32_OWN_PROCESS,
                                          PLAT_SERVICE_AUTO_START,
                                          PLAT_SERVICE_ERROR_NORMAL,
                                          dependencies,
                                          account,
                                          password};
            rc = plat_svc_create(h.manager, name, &config, PLAT_GENERIC_READ | PLAT_GENERIC_WRITE,
                                 &h.service);
            if (rc != 0)
                return rc;
        }
        int32_t registered = VES_RegisterEventLog(name, command_line);
        if (registered == 0)
            S_log(VE_EVENT_SERVICE_CREATED, name);
        return registered;
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

int32_t VES_DeleteService(const char *name)
{
    if (name == nullptr)
        return ZE_NULL_POINTER;
    int rc = 0;
    {
        S_Handles h;
        rc = S_open_manager_or_say(h, PLAT_GENERIC_READ | PLAT_GENERIC_WRITE);
        if (rc != 0)
            return rc;
        rc = plat_svc_open(h.manager, name,
                           PLAT_GENERIC_READ | PLAT_GENERIC_WRITE | PLAT_STANDARD_RIGHTS_REQUIRED,
                           &h.service);
        if (rc != 0)
            return rc;
        rc = plat_svc_delete(h.service);
    }
    if (rc != 0) {
        S_log(VE_EVENT_SERVICE_NOT_DELETED, name);
        return rc;
    }
    S_log(VE_EVENT_SERVICE_DELETED, name);
    try {
        return VES_UnRegisterEventLog(name);
    } catch (const std::bad_alloc &) {
        return ZE_OUT_OF_MEMORY;
    }
}

static const char *S_state_text(uint32_t state)
{
    switch (state) {
    case PLAT_SERVICE_STOPPED:
        return "SERVICE_STOPPED";
    case PLAT_SERVICE_START_PENDING:
        return "SERVICE_START_PENDING";
    case PLAT_SERVICE_STOP_PENDING:
        return "SERVICE_STOP_PENDING";
    case PLAT_SERVICE_RUNNING:
        return "SERVICE_RUNNING";
    case PLAT_SERVICE_CONTINUE_PENDING:
        return "SERVICE_CONTINUE_PENDING";
    case PLAT_SERVICE_PAUSED:
        return "SERVICE_PAUSED";
    default:
        return nullptr;
    }
}

// Opens the local manager and the service with the access; the state too when
// asked. 0, or the manager's error.
static int S_open_service(S_Handles &h, const char *machine, const char *name, uint32_t access,
                          uint32_t *state)
{
    int rc = plat_svc_open_manager(machine, PLAT_GENERIC_READ, &h.manager);
    if (rc == 0)
        rc = plat_svc_open(h.manager, name, access, &h.service);
    if (rc == 0 && state != nullptr)
        rc = plat_svc_query_status(h.service, state);
    return rc;
}

int32_t VES_QueryServiceStatus(const char *name, char *out)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (name == nullptr || out == nullptr)
            return ZE_NULL_POINTER;
        S_Handles h;
        uint32_t state = 0;
        if (S_open_service(h, nullptr, name, PLAT_GENERIC_READ, &state) != 0)
            return ZE_FAILURE;
        const char *text = S_state_text(state);
        if (text != nullptr)
            memcpy(out, text, strlen(text) + 1);
        return 0;
    });
}

static void S_sleep_ms(uint32_t ms)
{
    struct timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

static uint64_t S_monotonic_ms()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int32_t VES_start_service(const char *machine, const char *name, const char *first_argument,
                          const char *password)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (name == nullptr)
            return ZE_NULL_POINTER;
        // The scrambled password does not outlive the call.
        struct Argument {
            char text[S_ARGUMENT_SIZE];
            ~Argument()
            {
                explicit_bzero(text, sizeof(text));
            }
        } argument;
        char *scrambled = argument.text;
        const char *arguments[2] = {first_argument != nullptr ? first_argument : "#", nullptr};
        if (password != nullptr) {
            // The scrambled form must fit the argument with its terminator.
            if (strlen(password) > VE_SERVICE_PASSWORD_MAX)
                return ZE_INVALID_ARGUMENT;
            int32_t length = VES_string_mem2net(password, scrambled);
            if (length < 0)
                return length;
            scrambled[length] = '\0';
            arguments[1] = scrambled;
        }
        S_Handles h;
        uint32_t state = 0;
        int rc = S_open_service(h, machine, name, PLAT_GENERIC_READ | PLAT_SERVICE_START, &state);
        if (rc != 0)
            return rc;
        if (state == PLAT_SERVICE_RUNNING)
            return ZE_SERVICE_RUNNING;
        rc = plat_svc_start(h.service, 2, arguments);
        if (rc != 0)
            return rc;
        // Poll with a pause, and give up on a service that stays pending.
        uint64_t deadline = S_monotonic_ms() + S_limit_ms;
        for (;;) {
            rc = plat_svc_query_status(h.service, &state);
            if (rc != 0)
                return rc;
            if (state == PLAT_SERVICE_RUNNING) {
                S_log(VE_EVENT_SERVICE_RUNNING, name);
                return 0;
            }
            if (state == PLAT_SERVICE_STOPPED) {
                fprintf(stderr, "%s service failed during initialization.\n", name);
                fprintf(stderr, "Please check event log or error log files.\n");
                return ZE_FAILURE;
            }
            if (S_monotonic_ms() >= deadline)
                return PLAT_ERROR_SERVICE_REQUEST_TIMEOUT;
            S_sleep_ms(S_pause_ms);
        }
    });
}

int32_t VES_stop_service(const char *name)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        if (name == nullptr)
            return ZE_NULL_POINTER;
        S_Handles h;
        uint32_t state = 0;
        if (S_open_service(h, nullptr, name, PLAT_GENERIC_READ | PLAT_SERVICE_STOP, &state) != 0)
            return ZE_FAILURE;
        if (state == PLAT_SERVICE_STOPPED) {
            fprintf(stderr, "ZEL service %s is already stopped\n", name);
            return ZE_FAILURE;
        }
        int rc = plat_svc_control(h.service, PLAT_SERVICE_CONTROL_STOP, &state);
        if (rc != 0) {
            fprintf(stderr, "Couldn't stop %s service(%d)\n", name, rc);
            return ZE_FAILURE;
        }
        S_log(VE_EVENT_SERVICE_STOPPING, name);
        return 0;
    });
}
