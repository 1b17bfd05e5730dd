// The current user kept by the instance open, the host's id allocation and
// registration look-up, shared inside the library.
#ifndef DB_INSTANCE_USER_INTERNAL_H
#define DB_INSTANCE_USER_INTERNAL_H

#include "base/util/ve_registration.h"
#include "db/core/db_instance.h"
#include "db/core/db_instance_user.h"

// Kept by the instance open: the user name the connection is opened with
// (cut to 35 characters).
void db_instance_set_current_user(const char *user);

// Hands an id-allocation request (a layer id and a count, in the callers of
// the layer and stream code) to the host's callback given at instance open;
// its result unchanged, or -1 when the host gave none.
int32_t db_get_next_ids(int32_t first, int32_t second);

// The host's look-ups of the instance open, called with the open instance's
// context. Each returns the callback's result (0 with the output filled), or
// -1 while no instance is open or when the host gave no callback.
// Registration of a table (database:owner.table or shorter); -220 when the
// table is not registered.
int32_t db_instance_registration_by_name(const char *table, REGISTRATION *out);
int32_t db_instance_registration_by_id(int32_t id, REGISTRATION *out);
// The host's record of this process, and of another process by its id (a
// record only while that process lives). The records stay the host's.
int32_t db_instance_own_session(DB_HOST_SESSION **session);
int32_t db_instance_session_by_pid(int32_t process_id, DB_HOST_SESSION **session);

#ifdef __cplusplus
#include <string>
// Looks a registration up by id through the host's registration callback and
// gives its database and owner. Returns 0, or a negative code when there is
// no instance, no callback or no such registration.
int32_t db_instance_lookup_registration(DB_INSTANCE *instance, int32_t id, std::string *database,
                                        std::string *owner);
#endif

#endif
