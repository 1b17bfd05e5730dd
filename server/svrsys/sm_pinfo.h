// Process slots of the instance's shared memory: one 80-byte record per
// server process, found by its server id. The slot calls take no mutex; a free
// slot (id 0) is taken with an atomic compare-and-swap.
#ifndef SM_PINFO_H
#define SM_PINFO_H

#include <stdint.h>

#include "base/util/zel_export.h"
#include "server/svrsys/sm_master.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SM_PINFO_HOST_WORDS 17

/* One process slot. The library reads only the first three words; the rest is
 * whatever the host last stored with SM_pinfo_update. */
typedef struct SM_PINFO {
    int32_t id;         /* server id, 0 for a free slot */
    int32_t id_copy;    /* server id again */
    int32_t start_time; /* seconds since 1970 */
    int32_t host[SM_PINFO_HOST_WORDS];
} SM_PINFO;

/* Scan modes of SM_pinfo_scan. */
#define SM_PINFO_SCAN_FIRST 1
#define SM_PINFO_SCAN_NEXT 2
#define SM_PINFO_SCAN_END 3

/* The first slot whose id equals id (0 finds a free one), or null. The two
 * names are one function. */
ZEL_API SM_PINFO *SM_pinfo_find(SM_MASTER *master, int32_t id);
ZEL_API SM_PINFO *SM_pinfo_find_by_server(SM_MASTER *master, int32_t id);
/* Takes a free slot for id, stamped with the current time: 0; -1 when no slot
 * is free; -66 for id 0; -65 for a null handle. */
ZEL_API int32_t SM_pinfo_add(SM_MASTER *master, int32_t id);
/* Frees id's slot: 0, or -1 when no slot holds id. */
ZEL_API int32_t SM_pinfo_delete(SM_MASTER *master, int32_t id);
/* Copies the record over the slot of its id: 0, -97 when no slot has it. */
ZEL_API int32_t SM_pinfo_update(SM_MASTER *master, const SM_PINFO *record);
/* Walks the slots in use: FIRST starts, NEXT continues, END stops (0); other
 * modes do nothing (0). 0 with the slot copied to record; -4 past the last
 * slot in use (the scan ends); -14 NEXT without a started scan. */
ZEL_API int32_t SM_pinfo_scan(SM_MASTER *master, int32_t mode, SM_PINFO *record);

#ifdef __cplusplus
}
#endif

#endif
