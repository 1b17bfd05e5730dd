// The administrative database and the connection's user, kept per process.
// ZEL_DATABASE is read on first use only, so every name built in a process
// points at the same administrative database.
#include "db/core/db_instance_user_internal.h"

#include <stdio.h>
#include <string.h>

#include <mutex>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_instance_internal.h"

static char S_admin_database[DB_ADMIN_DATABASE_NAME_MAX + 1];
static std::once_flag S_admin_once;
static char S_current_user[DB_USER_NAME_SIZE];

static bool S_admin_too_long;

// A name too long to keep whole is kept empty: a cut one would name another
// database.
static void S_read_admin_database()
{
    const char *configured = db_admin_database_configured();
    S_admin_too_long = strlen(configured) > DB_ADMIN_DATABASE_NAME_MAX;
    if (!S_admin_too_long)
        snprintf(S_admin_database, sizeof(S_admin_database), "%s", configured);
}

int32_t DB_instance_get_admin_database(DB_INSTANCE *, char *out)
{
    if (!out)
        return ZE_INVALID_ARGUMENT;
    std::call_once(S_admin_once, S_read_admin_database);
    memcpy(out, S_admin_database, sizeof(S_admin_database));
    return S_admin_too_long ? ZE_INVALID_ARGUMENT : ZE_SUCCESS;
}

char *DB_instance_get_current_user(DB_INSTANCE *, char *out)
{
    if (out)
        memcpy(out, S_current_user, sizeof(S_current_user));
    return out;
}

void db_instance_set_current_user(const char *user)
{
    snprintf(S_current_user, sizeof(S_current_user), "%s", user ? user : "");
}

int32_t db_instance_lookup_registration(DB_INSTANCE *instance, int32_t id, std::string *database,
                                        std::string *owner)
{
    // The host's registration look-up comes with the instance open; without
    // an instance the look-up counts as failed.
    DB_REGISTRATION_BY_ID_FN lookup = db_instance_get_host()->registration_by_id;
    if (instance == nullptr || lookup == nullptr)
        return ZE_FAILURE;
    REGISTRATION registration;
    memset(&registration, 0, sizeof(registration));
    int32_t rc = lookup(instance->config.host_context, id, &registration);
    if (rc != 0)
        return rc < 0 ? rc : ZE_FAILURE;
    registration.database_name[sizeof(registration.database_name) - 1] = '\0';
    registration.owner[sizeof(registration.owner) - 1] = '\0';
    if (database != nullptr)
        *database = registration.database_name;
    if (owner != nullptr)
        *owner = registration.owner;
    return 0;
}

// The callbacks belong to the open instance: without one there is no host
// context to hand them.
template <typename Callback> static bool S_host_ready(Callback callback)
{
    return callback != nullptr && db_instance_get_current() != nullptr;
}

int32_t db_instance_registration_by_name(const char *table, REGISTRATION *out)
{
    DB_REGISTRATION_BY_NAME_FN lookup = db_instance_get_host()->registration_by_name;
    if (!S_host_ready(lookup) || table == nullptr || out == nullptr)
        return ZE_FAILURE;
    return lookup(db_instance_get_host_context(), table, out);
}

int32_t db_instance_registration_by_id(int32_t id, REGISTRATION *out)
{
    DB_REGISTRATION_BY_ID_FN lookup = db_instance_get_host()->registration_by_id;
    if (!S_host_ready(lookup) || out == nullptr)
        return ZE_FAILURE;
    return lookup(db_instance_get_host_context(), id, out);
}

int32_t db_instance_own_session(DB_HOST_SESSION **session)
{
    DB_OWN_SESSION_FN own = db_instance_get_host()->own_session;
    if (!S_host_ready(own) || session == nullptr)
        return ZE_FAILURE;
    *session = nullptr;
    return own(db_instance_get_host_context(), session);
}

int32_t db_instance_session_by_pid(int32_t process_id, DB_HOST_SESSION **session)
{
    DB_SESSION_BY_PID_FN by_pid = db_instance_get_host()->session_by_pid;
    if (!S_host_ready(by_pid) || session == nullptr)
        return ZE_FAILURE;
    *session = nullptr;
    return by_pid(db_instance_get_host_context(), process_id, session);
}

int32_t db_get_next_ids(int32_t first, int32_t second)
{
    DB_ALLOCATE_ID_FN allocate = db_instance_get_host()->allocate_id;
    if (allocate == nullptr)
        return ZE_FAILURE;
    return allocate(db_instance_get_host_context(), first, second);
}
