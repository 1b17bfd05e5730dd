// Event log on syslog (plat_eventlog_internal.h). The source name travels in
// each message, so the host's own openlog settings are left alone.
#include "platform/plat_eventlog_internal.h"

#include <string.h>
#include <syslog.h>

#include <mutex>
#include <new>
#include <string>

#include "platform/plat_registry_internal.h"
#include "platform/plat_service_internal.h"

struct PLAT_EVENT_SOURCE_REC {
    std::string name;
};

namespace
{

struct Capture {
    bool on = false;
    int fail_register = 0;
    std::string lines;
    std::string copy;
};

std::mutex s_mutex;
Capture s_capture;

int S_priority(uint16_t type)
{
    switch (type) {
    case PLAT_EVENT_ERROR:
        return LOG_ERR;
    case PLAT_EVENT_WARNING:
        return LOG_WARNING;
    case PLAT_EVENT_AUDIT_SUCCESS:
    case PLAT_EVENT_AUDIT_FAILURE:
        return LOG_NOTICE;
    default:
        return LOG_INFO;
    }
}

const char *S_type_word(uint16_t type)
{
    switch (type) {
    case PLAT_EVENT_SUCCESS:
        return "success";
    case PLAT_EVENT_ERROR:
        return "error";
    case PLAT_EVENT_WARNING:
        return "warning";
    case PLAT_EVENT_INFORMATION:
        return "information";
    case PLAT_EVENT_AUDIT_SUCCESS:
        return "audit success";
    case PLAT_EVENT_AUDIT_FAILURE:
        return "audit failure";
    default:
        return "unknown";
    }
}

} // namespace

int plat_evt_register(const char *machine, const char *source, PLAT_EVENT_SOURCE *handle)
{
    if (handle == nullptr)
        return PLAT_ERROR_INVALID_PARAMETER;
    *handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (s_capture.fail_register != 0) {
            int error = s_capture.fail_register;
            s_capture.fail_register = 0;
            return error;
        }
    }
    if (source == nullptr || source[0] == '\0')
        return PLAT_ERROR_INVALID_PARAMETER;
    if (machine != nullptr && machine[0] != '\0')
        return PLAT_ERROR_SERVER_UNAVAILABLE;
    try {
        *handle = new PLAT_EVENT_SOURCE_REC{source};
    } catch (const std::bad_alloc &) {
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

int plat_evt_report(PLAT_EVENT_SOURCE handle, uint16_t type, uint16_t category, uint32_t id,
                    uint16_t count, const char *const *strings)
{
    if (handle == nullptr)
        return PLAT_ERROR_INVALID_HANDLE;
    try {
        std::string line = handle->name + ": event " + std::to_string(id) + " (" +
                           S_type_word(type) + ", category " + std::to_string(category) + ")";
        const char *separator = ": ";
        for (uint16_t i = 0; strings != nullptr && i < count; ++i) {
            if (strings[i] == nullptr)
                continue;
            line += separator;
            line += strings[i];
            separator = "; ";
        }
        std::lock_guard<std::mutex> lock(s_mutex);
        if (s_capture.on)
            s_capture.lines += std::to_string(S_priority(type)) + " " + line + "\n";
        else
            syslog(LOG_DAEMON | S_priority(type), "%s", line.c_str());
    } catch (const std::bad_alloc &) {
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

void plat_evt_deregister(PLAT_EVENT_SOURCE handle)
{
    delete handle;
}

void plat_evt_capture_begin(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_capture = Capture();
    s_capture.on = true;
}

void plat_evt_capture_end(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_capture = Capture();
}

const char *plat_evt_captured(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_capture.copy = s_capture.lines;
    return s_capture.copy.c_str();
}

void plat_evt_fail_register(int error)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_capture.fail_register = error;
}
