// Log files by name (db_log.h). The log system's start, which creates the
// per-owner tables, is not part of the library yet, so no log can exist and
// a delete reports the log system as not initialised.
#include "db/catalog/db_log.h"

#include "base/util/zel_errors.h"

int32_t DB_log_delete(DB_INSTANCE *, const char *name)
{
    if (name == nullptr || name[0] == '\0')
        return ZE_INVALID_ARGUMENT;
    return ZE_LOG_NOT_INITIALISED;
}
