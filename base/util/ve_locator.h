// The locator record with its properties. The two property arrays come from
// VES_allocate_string_array (one block each: pointers, then strings) and are
// released with the C heap's free.
#ifndef VE_LOCATOR_H
#define VE_LOCATOR_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Kinds of a locator (its type). */
#define VE_LOCATOR_TEMPLATE 0
#define VE_LOCATOR_VALIDATED 1
#define VE_LOCATOR_DEFINED 2

#define LOCATOR_PROPERTY_NAME_LEN 32
#define LOCATOR_PROPERTY_VALUE_LEN 255

typedef struct LOCATOR {
    int32_t reserved; /* not set by the locator operations */
    int32_t locator_id;
    char name[32];
    char owner[DB_NAME_OWNER_SIZE];
    char category[32];
    int32_t type; /* VE_LOCATOR_* */
    char description[64];
    int32_t property_count;
    char **property_names;  /* property_count names */
    char **property_values; /* property_count values */
} LOCATOR;

#ifdef __cplusplus
}
#endif

#endif
