// The current user kept by the instance open, the host's id allocation and
// registration look-up, shared inside the library.
#ifndef DB_INSTANCE_USER_INTERNAL_H
#define DB_INSTANCE_USER_INTERNAL_H

#include "db/core/db_instance_user.h"

// Kept by the instance open: the user name the connection is opened with
// (cut to 35 characters).
void db_instance_set_current_user(const char *user);

// Hands an id-allocation request (a layer id and a count, in the callers of
// the layer and stream code) to the host's callback given at instance open;
// its result unchanged, or -1 when the host gave none.
int32_t db_get_next_ids(int32_t first, int32_t second);

#ifdef __cplusplus
#include <string>
// Looks a registration up by id through the host's registration callback and
// gives its database and owner. Returns 0, or a negative code when there is
// no instance, no callback or no such registration.
int32_t db_instance_lookup_registration(DB_INSTANCE *instance, int32_t id, std::string *database,
                                        std::string *owner);
#endif

#endif
