// Installation settings of the engine's instances in the machine registry:
// one key per instance below the product key of this build's DBMS, and the
// instance's source in the Application event log. Used by the host executables,
// the installation tools and the service control functions.
#ifndef VE_REGISTRY_H
#define VE_REGISTRY_H

#include <stdint.h>

#include "base/util/zel_export.h"

/* One instance as the listings return it; zero-filled, freed with free(). */
typedef struct VE_SERVICE_ENTRY {
    char name[32];
    char description[256];
    char home[256];
    char nls_lang[288];
    char datasource[256];
} VE_SERVICE_ENTRY;

/* Largest value text a read returns, and the size of a caller's out buffer of
 * VES_GetKeyValue (text and terminating zero). */
#define VE_REG_VALUE_MAX 264
#define VE_REG_VALUE_SIZE 265
/* Longest key path, in characters. */
#define VE_REG_PATH_MAX 127

/* Sets a value on an instance key (the product key for a null instance),
 * creating the key. 0, or -1 with a message; -65 for a null name or text. */
ZEL_API int32_t VES_RegisterKey(const char *instance, const char *name, const char *text);
ZEL_API int32_t VES_UnRegisterKey(const char *instance, const char *name);
/* out must hold VE_REG_VALUE_SIZE bytes. */
ZEL_API int32_t VES_GetKeyValue(const char *instance, const char *name, char *out);
ZEL_API int32_t VES_DeleteInstanceKey(const char *instance);
ZEL_API int32_t VES_RegisterService(const char *instance, const char *description, const char *home,
                                    const char *password, const char *sid);
/* Fills heap entries into entries[0 .. *count-1]. With a null entries array only
 * *count is set (the number of instances), so the caller can size the array. */
ZEL_API int32_t VES_ListService(const char *instance, int32_t *count, VE_SERVICE_ENTRY **entries);
ZEL_API int32_t VES_RegisterEventLog(const char *source, const char *message_file);
ZEL_API int32_t VES_UnRegisterEventLog(const char *source);

#endif
