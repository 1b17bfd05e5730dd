// The lock lists of an instance as the control process hands them to
// clients: layer, table, version and object locks. Wire records (the
// channel's codecs); in memory plain records.
#ifndef VE_LOCKS_H
#define VE_LOCKS_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Applications of an object lock. */
#define VE_LOCK_APP_USER 1
#define VE_LOCK_APP_INTERNAL 999
#define VE_LOCK_APP_VORNBASE 1001

typedef struct VE_LAYER_LOCKS {
    char user_name[DB_USER_NAME_SIZE];
    int32_t lock_type;
    VE_ENVELOPE envelope; /* the locked area */
} VE_LAYER_LOCKS;

typedef struct VE_TABLE_LOCK {
    char user_name[DB_USER_NAME_SIZE];
    int32_t lock_type;
} VE_TABLE_LOCK;

typedef struct VE_VERSION_LOCK {
    char user_name[DB_USER_NAME_SIZE];
    int32_t lock_mode;
} VE_VERSION_LOCK;

typedef struct VE_OBJECT_LOCK {
    int32_t server_pid;
    char owner[33];
    int32_t object_id;
    int32_t object_type;
    int32_t application; /* VE_LOCK_APP_* or another */
    int16_t lock_type;
} VE_OBJECT_LOCK;

#ifdef __cplusplus
}
#endif

#endif
