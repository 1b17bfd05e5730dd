// The version record: one VERSIONS row, a named pointer to a state.
#ifndef VE_VERSION_H
#define VE_VERSION_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VERSION_TAG "VeR"

/* Access values of status. */
#define VERSION_PRIVATE 0
#define VERSION_PUBLIC 1
#define VERSION_PROTECTED 2

typedef struct VERSION {
    char tag[4]; /* "VeR" when filled by a read */
    char name[DB_NAME_VERSION_SIZE];
    char owner[DB_NAME_OWNER_SIZE];
    int32_t version_id;
    uint32_t status; /* VERSION_* access bits */
    int32_t state_id;
    char description[64];
    char parent_name[DB_NAME_VERSION_SIZE];
    char parent_owner[DB_NAME_OWNER_SIZE];
    int32_t parent_version_id; /* 0 when none */
    uint32_t creation_time;    /* seconds since 1970 */
} VERSION;

#ifdef __cplusplus
}
#endif

#endif
