// The metadata record: one METADATA row, a property of a named object.
// Read and written by the metadata code, sent by the channel (its own codec).
// The four optional texts are empty when the row holds NULL.
#ifndef VE_METADATA_H
#define VE_METADATA_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Object types the engine itself keeps; other values are the caller's. */
#define METADATA_OBJECT_TABLE 1
#define METADATA_OBJECT_LOCATOR 2

typedef struct METADATA {
    int32_t reserved; /* not set by the metadata operations */
    int32_t record_id;
    char object_name[DB_NAME_TABLE_SIZE];
    char object_owner[DB_NAME_OWNER_SIZE];
    int32_t object_type; /* METADATA_OBJECT_* or the caller's */
    char class_name[32];
    char property[32];
    char prop_value[255];
    char description[64];
    uint32_t creation_date; /* seconds since 1970 */
} METADATA;

#ifdef __cplusplus
}
#endif

#endif
