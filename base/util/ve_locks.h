// Lock list records of the instance, as clients receive them: layer, table,
// version and object locks. The channel sends them whole (its own codecs);
// the record printers list them.
#ifndef VE_LOCKS_H
#define VE_LOCKS_H

#include <stdint.h>

#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VE_LOCK_USER_NAME_LEN 36
#define VE_OBJECT_LOCK_OWNER_LEN 33

typedef struct VE_LAYER_LOCKS {
    char user_name[VE_LOCK_USER_NAME_LEN];
    int32_t lock_type;
    VE_ENVELOPE envelope; /* the locked area */
} VE_LAYER_LOCKS;

typedef struct VE_TABLE_LOCK {
    char user_name[VE_LOCK_USER_NAME_LEN];
    int32_t lock_type;
} VE_TABLE_LOCK;

typedef struct VE_VERSION_LOCK {
    char user_name[VE_LOCK_USER_NAME_LEN];
    int32_t lock_mode;
} VE_VERSION_LOCK;

/* Application kinds of an object lock. */
#define VE_OBJECT_LOCK_APP_USER 1
#define VE_OBJECT_LOCK_APP_INTERNAL 999

typedef struct VE_OBJECT_LOCK {
    int32_t server_pid;
    char owner[VE_OBJECT_LOCK_OWNER_LEN]; /* at most 32 characters */
    int32_t object_id;
    int32_t object_type;
    int32_t application_id;
    int16_t lock_type;
} VE_OBJECT_LOCK;

#ifdef __cplusplus
}
#endif

#endif
