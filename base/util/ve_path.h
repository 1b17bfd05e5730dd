// Path helpers and directory checks: joining a directory and a component, and
// checking that a directory exists and may be read and written. The separator
// is "/".
#ifndef VE_PATH_H
#define VE_PATH_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Appends "/" (unless the path is empty or already ends with one) and the
 * component to the path, in place; returns the path. The caller's buffer must
 * hold the result. A null argument leaves the path alone. */
ZEL_API char *VES_pathcat(char *path, const char *component);

/* Removes one trailing "/" (not the root's) in place, then checks that the
 * path is a directory with read and write access. Returns 0, ZE_PATH_UNUSABLE
 * (not a directory or no access) or the C library's error number of a failed
 * status. Unless quiet, the reason goes to standard error. */
ZEL_API int32_t validate_path(char *path, int32_t quiet);

/* The same checks as validate_path, write access included. */
ZEL_API int32_t validate_read_only_path(char *path, int32_t quiet);

#ifdef __cplusplus
}
#endif

#endif
