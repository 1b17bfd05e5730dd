// The state record: one STATES row with its lineage blob. The lineage blob is
// a varLONG byte count followed by lineage_length varLONG ancestor ids in
// ascending order (base/util/ve_compress.h holds the varLONG form).
#ifndef VE_STATE_H
#define VE_STATE_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define STATE_TAG "StA"

typedef struct STATE {
    char tag[4]; /* "StA" */
    int32_t state_id;
    char owner[DB_NAME_OWNER_SIZE];
    uint32_t creation_time; /* seconds since 1970 */
    uint32_t closing_time;  /* seconds since 1970; 0 while the state is open */
    int32_t lineage_length; /* number of ancestor ids in the lineage blob */
    uint8_t *lineage;       /* owned by the reader that filled the record */
} STATE;

#ifdef __cplusplus
}
#endif

#endif
