// The metadata record: one METADATA row, a property attached to a table or a
// locator. The catalogue code reads and writes the rows; the channel sends the
// record whole (its own codec). Character fields are NUL-terminated, their
// widths include the terminator.
#ifndef VE_METADATA_H
#define VE_METADATA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Kinds of the described object (object_type); other values are the caller's. */
#define VE_METADATA_TABLE 1
#define VE_METADATA_LOCATOR 2

typedef struct METADATA {
    int32_t reserved; /* not set by the metadata operations; a wire reader keeps its own */
    int32_t record_id;
    char object_name[160];
    char object_owner[32];
    int32_t object_type; /* VE_METADATA_* */
    char class_name[32]; /* empty when NULL */
    char property[32];   /* empty when NULL */
    char prop_value[255];
    char description[64];
    uint32_t creation_date; /* seconds since 1970 */
} METADATA;

#ifdef __cplusplus
}
#endif

#endif
