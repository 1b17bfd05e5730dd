// The scripted back end of the service manager, for tests: services that
// exist only here, status sequences played one state a query, failures
// injected into the next call of an operation, and a journal of every call
// with the access it asked (plat_service_internal.h).
#include <stdio.h>

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/plat_service_backend_internal.h"

namespace
{

struct Service {
    uint32_t state = PLAT_SERVICE_STOPPED;
    std::vector<uint32_t> states; /* answers still to come; the last repeats */
};

struct Script {
    bool active = false;
    std::map<std::string, Service> services;
    std::map<std::string, int> failures;
    std::string journal;
    std::string journal_copy;
    std::vector<std::string> start_args; /* of the last start, as passed */
    std::string start_arg_copy;
    int open_handles = 0;
};

std::mutex s_mutex;
Script s_script;

// Records the call; returns the failure set for it, if any (used once).
int S_call(const std::string &operation, const std::string &line)
{
    s_script.journal += line + "\n";
    auto f = s_script.failures.find(operation);
    if (f == s_script.failures.end())
        return 0;
    int error = f->second;
    s_script.failures.erase(f);
    return error;
}

// The scripted service of the name, or null.
Service *S_find(const char *name)
{
    auto it = s_script.services.find(name);
    return it == s_script.services.end() ? nullptr : &it->second;
}

std::string S_hex(uint32_t value)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08X", value);
    return text;
}

// A text in quotes; a control byte is written as \xHH so that every call
// stays one journal line whatever bytes an argument holds.
std::string S_text(const char *text)
{
    if (text == nullptr)
        return "<null>";
    std::string quoted = "\"";
    for (const char *p = text; *p != '\0'; ++p) {
        unsigned char byte = static_cast<unsigned char>(*p);
        if (byte < 0x20) {
            char escaped[5];
            snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            quoted += escaped;
        } else {
            quoted += *p;
        }
    }
    return quoted + "\"";
}

// The list of names ended by an empty name, as "[a,b]".
std::string S_list(const char *list)
{
    if (list == nullptr)
        return "<null>";
    std::string text = "[";
    for (const char *p = list; *p != '\0'; p += std::string(p).size() + 1)
        text += (text.size() > 1 ? "," : "") + std::string(p);
    return text + "]";
}

} // namespace

int plat_svc_script_active(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_script.active ? 1 : 0;
}

void plat_svc_script_begin(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_script = Script();
    s_script.active = true;
}

void plat_svc_script_end(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_script = Script();
}

void plat_svc_script_add(const char *name, uint32_t state)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_script.services[name].state = state;
}

void plat_svc_script_states(const char *name, const uint32_t *states, size_t count)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_script.services[name].states.assign(states, states + count);
}

void plat_svc_script_fail(const char *operation, int error)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_script.failures[operation] = error;
}

const char *plat_svc_script_start_arg(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (index < 0 || static_cast<size_t>(index) >= s_script.start_args.size())
        return nullptr;
    s_script.start_arg_copy = s_script.start_args[index];
    return s_script.start_arg_copy.c_str();
}

const char *plat_svc_script_journal(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_script.journal_copy = s_script.journal;
    return s_script.journal_copy.c_str();
}

int plat_svc_script_open_handles(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_script.open_handles;
}

int plat_svc_script_open_manager(const char *machine, uint32_t access)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    int rc = S_call("open_manager", "open_manager " + S_text(machine) + " " + S_hex(access));
    if (rc == 0)
        s_script.open_handles++;
    return rc;
}

int plat_svc_script_create(const char *name, const PLAT_SERVICE_CONFIG *config, uint32_t access)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    std::string line =
        "create " + std::string(name) + " display=" + S_text(config->display_name) +
        " command=" + S_text(config->command_line) + " type=" + std::to_string(config->type) +
        " start=" + std::to_string(config->start) +
        " error=" + std::to_string(config->error_control) +
        " dependencies=" + S_list(config->dependencies) + " account=" + S_text(config->account) +
        " password=" + (config->password != nullptr ? "<given>" : "<null>") + " " + S_hex(access);
    int rc = S_call("create", line);
    if (rc == 0 && s_script.services.count(name) > 0)
        rc = PLAT_ERROR_SERVICE_EXISTS;
    if (rc == 0) {
        s_script.services[name] = Service();
        s_script.open_handles++;
    }
    return rc;
}

int plat_svc_script_open(const char *name, uint32_t access)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    int rc = S_call("open", "open " + std::string(name) + " " + S_hex(access));
    if (rc == 0 && s_script.services.count(name) == 0)
        rc = PLAT_ERROR_SERVICE_DOES_NOT_EXIST;
    if (rc == 0)
        s_script.open_handles++;
    return rc;
}

int plat_svc_script_delete(const char *name)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    int rc = S_call("delete", "delete " + std::string(name));
    if (rc == 0)
        s_script.services.erase(name);
    return rc;
}

int plat_svc_script_query(const char *name, uint32_t *state)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    int rc = S_call("query", "query " + std::string(name));
    if (rc != 0)
        return rc;
    Service *found = S_find(name);
    if (found == nullptr)
        return PLAT_ERROR_SERVICE_DOES_NOT_EXIST;
    Service &s = *found;
    if (!s.states.empty()) {
        s.state = s.states.front();
        if (s.states.size() > 1)
            s.states.erase(s.states.begin());
    }
    *state = s.state;
    return 0;
}

// Records a start or a stop control; without a sequence the service takes
// the state that follows it. *state (when given) is its state afterwards.
static int S_act(const char *operation, const std::string &line, const char *name, uint32_t after,
                 uint32_t *state)
{
    int rc = S_call(operation, line);
    if (rc != 0)
        return rc;
    Service *s = S_find(name);
    if (s == nullptr)
        return PLAT_ERROR_SERVICE_DOES_NOT_EXIST;
    if (s->states.empty())
        s->state = after;
    if (state != nullptr)
        *state = s->state;
    return 0;
}

int plat_svc_script_start(const char *name, int argc, const char *const *argv)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    std::string line = "start " + std::string(name) + " " + std::to_string(argc);
    s_script.start_args.clear();
    for (int i = 0; i < argc; ++i) {
        line += " " + S_text(argv[i]);
        s_script.start_args.push_back(argv[i] != nullptr ? argv[i] : "<null>");
    }
    return S_act("start", line, name, PLAT_SERVICE_RUNNING, nullptr);
}

int plat_svc_script_control(const char *name, uint32_t control, uint32_t *state)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return S_act("control", "control " + std::string(name) + " " + std::to_string(control), name,
                 PLAT_SERVICE_STOP_PENDING, state);
}

void plat_svc_script_close(const char *name)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_script.open_handles--;
    try {
        s_script.journal += "close " + std::string(name != nullptr ? name : "manager") + "\n";
    } catch (const std::bad_alloc &) {
        // The journal misses the line; the count stays right.
    }
}
