// The DBMS's own names of the CLI SQL types (used when the library creates
// columns), read once per group of types from the driver's type catalogue.
#ifndef DB_TYPE_NAME_H
#define DB_TYPE_NAME_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/zel_export.h"

// Points *name at the cached DBMS name of the SQL type (owned by the cache).
// Returns 0; -51 for a type without a group, a type the driver cannot name or
// a CLI failure (connection's extended error record filled); -65 for a null
// output.
ZEL_API int32_t DB_get_data_type(int32_t sql_type, const char **name);

#endif
