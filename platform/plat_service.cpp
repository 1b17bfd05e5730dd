// Front of the service manager: handles, access rights and the choice between
// the real and the scripted back end (plat_service_internal.h).
#include "platform/plat_service_internal.h"

#include <new>
#include <string.h>

#include "platform/plat_registry_internal.h"
#include "platform/plat_service_backend_internal.h"

/* Specific rights the generic ones stand for, as Windows maps them. */
#define S_READ_CONTROL 0x00020000u
#define S_MANAGER_ALL 0x000F003Fu
#define S_SERVICE_ALL 0x000F01FFu

static uint32_t S_map_rights(uint32_t access, bool manager)
{
    uint32_t rights = access & ~(PLAT_GENERIC_READ | PLAT_GENERIC_WRITE | PLAT_GENERIC_EXECUTE |
                                 PLAT_GENERIC_ALL);
    if (manager) {
        if (access & PLAT_GENERIC_READ)
            rights |= 0x0004u | 0x0010u | S_READ_CONTROL; /* enumerate, lock status */
        if (access & PLAT_GENERIC_WRITE)
            rights |= PLAT_SC_MANAGER_CREATE_SERVICE | 0x0020u; /* and boot configuration */
        if (access & PLAT_GENERIC_EXECUTE)
            rights |= 0x0001u | 0x0008u; /* connect, lock */
        if (access & PLAT_GENERIC_ALL)
            rights |= S_MANAGER_ALL;
    } else {
        if (access & PLAT_GENERIC_READ)
            rights |= 0x0001u | PLAT_SERVICE_QUERY_STATUS | 0x0008u | 0x0080u | S_READ_CONTROL;
        if (access & PLAT_GENERIC_WRITE)
            rights |= 0x0002u | S_READ_CONTROL; /* change configuration */
        if (access & PLAT_GENERIC_EXECUTE)
            rights |= PLAT_SERVICE_START | PLAT_SERVICE_STOP | 0x0040u | 0x0080u | 0x0100u |
                      S_READ_CONTROL;
        if (access & PLAT_GENERIC_ALL)
            rights |= S_SERVICE_ALL;
    }
    return rights;
}

// Runs a back-end call; memory running out inside it is the manager's error.
template <typename F> static int S_guarded(F call)
{
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    }
}

// A service name the manager accepts: not empty, not too long, no level
// separator of the registry store and no path separator.
static bool S_name_ok(const char *name)
{
    if (name == nullptr || name[0] == '\0' || strlen(name) > PLAT_SERVICE_NAME_MAX)
        return false;
    return strchr(name, '\\') == nullptr && strchr(name, '/') == nullptr;
}

static int S_new_handle(bool manager, const char *name, uint32_t access, PLAT_SC_HANDLE *out)
{
    PLAT_SC_HANDLE h = new (std::nothrow) PLAT_SC_HANDLE_REC();
    if (h == nullptr) {
        if (plat_svc_script_active())
            plat_svc_script_close(manager ? nullptr : name);
        return PLAT_ERROR_NOT_ENOUGH_MEMORY;
    }
    h->manager = manager ? 1 : 0;
    h->rights = S_map_rights(access, manager);
    if (!manager)
        strcpy(h->name, name); /* checked by S_name_ok */
    *out = h;
    return 0;
}

// The handle when it is of the kind and holds the right; else the error.
static int S_check(PLAT_SC_HANDLE h, bool manager, uint32_t right)
{
    if (h == nullptr || (h->manager != 0) != manager)
        return PLAT_ERROR_INVALID_HANDLE;
    return (h->rights & right) == right ? 0 : PLAT_ERROR_ACCESS_DENIED;
}

int plat_svc_open_manager(const char *machine, uint32_t access, PLAT_SC_HANDLE *manager)
{
    if (manager == nullptr)
        return PLAT_ERROR_INVALID_PARAMETER;
    *manager = nullptr;
    int rc = S_guarded([&] {
        return plat_svc_script_active() ? plat_svc_script_open_manager(machine, access)
                                        : plat_svc_real_open_manager(machine);
    });
    return rc != 0 ? rc : S_new_handle(true, nullptr, access, manager);
}

int plat_svc_create(PLAT_SC_HANDLE manager, const char *name, const PLAT_SERVICE_CONFIG *config,
                    uint32_t access, PLAT_SC_HANDLE *service)
{
    if (service == nullptr || config == nullptr || config->command_line == nullptr)
        return PLAT_ERROR_INVALID_PARAMETER;
    *service = nullptr;
    int rc = S_check(manager, true, PLAT_SC_MANAGER_CREATE_SERVICE);
    if (rc != 0)
        return rc;
    if (!S_name_ok(name))
        return PLAT_ERROR_INVALID_NAME;
    rc = S_guarded([&] {
        return plat_svc_script_active() ? plat_svc_script_create(name, config, access)
                                        : plat_svc_real_create(name, config);
    });
    return rc != 0 ? rc : S_new_handle(false, name, access, service);
}

int plat_svc_open(PLAT_SC_HANDLE manager, const char *name, uint32_t access,
                  PLAT_SC_HANDLE *service)
{
    if (service == nullptr)
        return PLAT_ERROR_INVALID_PARAMETER;
    *service = nullptr;
    int rc = S_check(manager, true, 0);
    if (rc != 0)
        return rc;
    if (!S_name_ok(name))
        return PLAT_ERROR_INVALID_NAME;
    rc = S_guarded([&] {
        return plat_svc_script_active() ? plat_svc_script_open(name, access)
                                        : plat_svc_real_open(name);
    });
    return rc != 0 ? rc : S_new_handle(false, name, access, service);
}

int plat_svc_delete(PLAT_SC_HANDLE service)
{
    int rc = S_check(service, false, PLAT_DELETE);
    if (rc != 0)
        return rc;
    return S_guarded([&] {
        return plat_svc_script_active() ? plat_svc_script_delete(service->name)
                                        : plat_svc_real_delete(service->name);
    });
}

int plat_svc_query_status(PLAT_SC_HANDLE service, uint32_t *state)
{
    if (state == nullptr)
        return PLAT_ERROR_INVALID_PARAMETER;
    int rc = S_check(service, false, PLAT_SERVICE_QUERY_STATUS);
    if (rc != 0)
        return rc;
    return S_guarded([&] {
        return plat_svc_script_active() ? plat_svc_script_query(service->name, state)
                                        : plat_svc_real_query(service->name, state);
    });
}

int plat_svc_start(PLAT_SC_HANDLE service, int argc, const char *const *argv)
{
    if (argc < 0 || (argc > 0 && argv == nullptr))
        return PLAT_ERROR_INVALID_PARAMETER;
    int rc = S_check(service, false, PLAT_SERVICE_START);
    if (rc != 0)
        return rc;
    return S_guarded([&] {
        return plat_svc_script_active() ? plat_svc_script_start(service->name, argc, argv)
                                        : plat_svc_real_start(service->name, argc, argv);
    });
}

int plat_svc_control(PLAT_SC_HANDLE service, uint32_t control, uint32_t *state)
{
    if (state == nullptr)
        return PLAT_ERROR_INVALID_PARAMETER;
    int rc = S_check(service, false, PLAT_SERVICE_STOP);
    if (rc != 0)
        return rc;
    return S_guarded([&] {
        return plat_svc_script_active() ? plat_svc_script_control(service->name, control, state)
                                        : plat_svc_real_control(service->name, control, state);
    });
}

void plat_svc_close(PLAT_SC_HANDLE handle)
{
    if (handle == nullptr)
        return;
    if (plat_svc_script_active())
        plat_svc_script_close(handle->manager ? nullptr : handle->name);
    delete handle;
}
