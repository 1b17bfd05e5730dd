// The instance's small settings files in its "etc" folder: "dbinit.zel"
// (environment settings the control process applies to itself and so passes
// to its children) and "services.zel" (the instance's TCP service name).
#ifndef VE_ETC_H
#define VE_ETC_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define ETC_SERVICE_NAME_SIZE 256 /* output buffer of Etc_service_get */

#ifdef __cplusplus
extern "C" {
#endif

/* Applies the "set NAME=VALUE" and "unset NAME" lines of home/etc/dbinit.zel
 * to the process environment. Returns the number of "set" lines applied, or
 * -1 when the file cannot be opened or memory runs out (earlier settings
 * stay). Echo (to standard error) is on with a non-zero flag or ZELDBECHO. */
ZEL_API int32_t Etc_dbinit_set(const char *home, int32_t echo);

/* Copies the first word of the first non-comment line of home/etc/services.zel
 * into name, which holds ETC_SERVICE_NAME_SIZE bytes. 0, or -1 when the file
 * cannot be opened, holds no such line or the word does not fit. */
ZEL_API int32_t Etc_service_get(const char *home, char *name);

#ifdef __cplusplus
}
#endif

#endif
