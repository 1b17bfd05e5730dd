// Who and where the process works: the administrative database (read once
// from ZEL_DATABASE, default "zel") and the user the connection was opened
// with. The name builders and parsers default to these.
#ifndef DB_INSTANCE_USER_H
#define DB_INSTANCE_USER_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#define DB_ADMIN_USER "zel"

// Copies the administrative database name (at most 31 characters) into a
// buffer of at least 32 bytes. Returns 0, or -66 when out is null or the
// name (ZEL_DATABASE) is longer (out is then empty).
ZEL_API int32_t DB_instance_get_admin_database(DB_INSTANCE *instance, char *out);

// Copies the connection's user name into a buffer of DB_USER_NAME_SIZE bytes
// and returns out (empty before any open).
ZEL_API char *DB_instance_get_current_user(DB_INSTANCE *instance, char *out);

#endif
