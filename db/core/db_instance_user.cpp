// The administrative database and the connection's user, kept per process.
// ZEL_DATABASE is read on first use only, so every name built in a process
// points at the same administrative database.
#include "db/core/db_instance_user.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"

static char S_admin_database[32];
static std::once_flag S_admin_once;
static char S_current_user[DB_USER_NAME_SIZE];

static void S_read_admin_database()
{
    const char *value = getenv("ZEL_DATABASE");
    snprintf(S_admin_database, sizeof(S_admin_database), "%s",
             value ? value : DB_ADMIN_DATABASE_DEFAULT);
}

int32_t DB_instance_get_admin_database(DB_INSTANCE *, char *out)
{
    if (!out)
        return ZE_INVALID_ARGUMENT;
    std::call_once(S_admin_once, S_read_admin_database);
    memcpy(out, S_admin_database, sizeof(S_admin_database));
    return ZE_SUCCESS;
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

int32_t db_instance_lookup_registration(DB_INSTANCE *instance, int32_t, std::string *,
                                        std::string *)
{
    // The host's registration look-up arrives with the instance open; without
    // an instance the look-up counts as failed.
    if (!instance)
        return ZE_FAILURE;
    return ZE_FAILURE;
}

int32_t db_get_next_ids(int32_t, int32_t)
{
    // The host's id allocator arrives with the instance open; none yet.
    return ZE_FAILURE;
}
