/* Versions for the host: the rows of the administrative VERSIONS table read
 * into VERSION records (base/util/ve_version.h), inserted with the rule for a
 * name that is taken, and changed through the catalogue's version functions
 * (change_version_state, insert_version, delete_version, update_version,
 * rename_version), which check permissions, parents and names inside the
 * database. */
#ifndef DB_VERSION_H
#define DB_VERSION_H

#include <stdint.h>

#include "base/util/ve_version.h"
#include "base/util/zel_export.h"
#include "db/version/db_scan_mode.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Size of the name buffer the inserts fill: a name of 64 characters, a
 * two-character suffix and the terminator. */
#define DB_VERSION_NAME_OUT_SIZE 67

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts the record's VERSIONS row with the time of the call as its
 * creation time; empty description, parent name and parent owner and a
 * parent version id of 0 are written as NULL; committed. When the name is
 * taken (SQLSTATE 23000) and generate_unique_name is set, the name is tried
 * again with the suffixes 01 to 99, 0a to 0f ... 9a to 9f, a0 to ff and 00,
 * in that order. name_out (DB_VERSION_NAME_OUT_SIZE bytes) receives the name
 * stored, or the last one tried. Returns 0; -177 when the name and its 256
 * suffixed forms are all taken; -51 for any other failure (also a taken name
 * without generate_unique_name), with the connection's extended error record
 * filled; -37 without a VERSIONS table; -65 for a null argument. */
ZEL_API int32_t DB_versions_def_insert(DB_INSTANCE *instance, const VERSION *version,
                                       int32_t generate_unique_name, char *name_out);

/* The process's one version scan. Mode 1 starts a scan of the versions that
 * match where (SQL text without the word WHERE; null or blank: every
 * version), discarding one still open, and delivers the first; mode 3 closes
 * the scan (0); any other mode delivers the next. NULL description, parent
 * name and parent owner read as empty, a NULL parent version id as 0.
 * Returns 0; -4 after the last version (the scan is then closed); -14 when
 * no scan is open; -12; -37 without a VERSIONS table; -51 (connection's
 * extended error record filled; the scan is closed); -65 for a null
 * record. */
ZEL_API int32_t DB_version_scan(DB_INSTANCE *instance, int32_t mode, const char *where,
                                VERSION *out);

/* The version of an owner (compared in lower case) and name. Returns 0;
 * -126 when there is none; -37; -51; -65 for a null argument; -66 for an
 * owner of more than 31 characters. */
ZEL_API int32_t DB_version_get_by_name(DB_INSTANCE *instance, const char *owner, const char *name,
                                       VERSION *out);
/* The version of an id. Returns as DB_version_get_by_name. */
ZEL_API int32_t DB_version_get_by_id(DB_INSTANCE *instance, int32_t version_id, VERSION *out);

/* The catalogue's version functions, committed. Each returns 0; the
 * function's code mapped (-20177 gives -177, the name exists; -20126 gives
 * -126, no such version; native error 0; the function's message in the
 * extended error record's text); -51 with the record filled when a step
 * fails; -65 for a null argument. A version is named to the functions as
 * owner.name (the name alone without an owner; NULL without a name). */

/* Moves the version from the record's state to new_state_id. */
ZEL_API int32_t DB_sp_versions_def_change_state(DB_INSTANCE *instance, const VERSION *version,
                                                int32_t new_state_id);
/* Creates the version; with generate_unique_name the function picks a free
 * name. name_out (DB_VERSION_NAME_OUT_SIZE bytes) receives the name it
 * stored. */
ZEL_API int32_t DB_sp_versions_def_insert(DB_INSTANCE *instance, const VERSION *version,
                                          int32_t generate_unique_name, char *name_out);
ZEL_API int32_t DB_sp_versions_def_delete(DB_INSTANCE *instance, const char *owner,
                                          const char *name);
/* Writes every field of the record (its creation time as local time). */
ZEL_API int32_t DB_sp_versions_def_update(DB_INSTANCE *instance, const VERSION *version);
/* Empty texts are passed as NULL. */
ZEL_API int32_t DB_sp_versions_def_rename(DB_INSTANCE *instance, const char *owner,
                                          const char *old_name, const char *new_name);

/* Obsolete: versions are written through the catalogue's functions. Each
 * prints a line to standard error and returns -1. */
ZEL_API int32_t DB_versions_def_change_state(DB_INSTANCE *instance, const VERSION *version,
                                             int32_t new_state_id);
ZEL_API int32_t DB_versions_def_delete(DB_INSTANCE *instance, const char *owner, const char *name);
ZEL_API int32_t DB_versions_def_rename(DB_INSTANCE *instance, const char *owner,
                                       const char *old_name, const char *new_name);
ZEL_API int32_t DB_versions_def_update(DB_INSTANCE *instance, const VERSION *version);

#ifdef __cplusplus
}
#endif

#endif
