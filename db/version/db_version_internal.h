// The library's side of the version rows: the single-row read behind the
// exported reads, and the suffix rule for a version name that is taken.
#ifndef DB_VERSION_INTERNAL_H
#define DB_VERSION_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "db/version/db_version.h"
#include "db/version/db_version_stmt_internal.h"

/* The version that matches where (SQL text). Returns 0; -126 when none does;
 * -37 without a VERSIONS table; -51 with the connection's extended error
 * record filled. */
int32_t db_version_fetch_where(DB_INSTANCE *instance, const char *where, VERSION *out);

/* Binds the record's description, parent name and parent owner as CHAR of
 * their field sizes, each NULL when empty if null_when_empty. The CLI's
 * result. */
SQLRETURN db_version_bind_parent(DB_PARAMS &params, const VERSION *version, bool null_when_empty);

/* The two characters that the attempt-th retry of a taken name appends:
 * 01 to 99 for attempts 1 to 99, 0a to 0f, 1a to 1f ... 9a to 9f for 100 to
 * 159, a0 to ff for 160 to 255, and 00 for 256. Returns 0; -177 for any
 * other attempt (every suffix is taken); -66 for an out of fewer than 3
 * bytes. */
int32_t db_version_name_suffix(int32_t attempt, char *out, size_t size);

#endif
