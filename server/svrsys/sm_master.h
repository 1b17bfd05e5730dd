// The instance's shared memory as the hosts see it: the control process
// creates it with its named mutexes and guard (SM_master_create), server
// processes attach to it (SM_server_open) or, for a direct connection, lay the
// same sections out in private memory (SM_local_server_open). Every other SM_
// call takes the SM_MASTER handle that these return; the block's layout and the
// handle's fields are in sm_master_internal.h. Process slots are in sm_pinfo.h,
// the lock tables in sm_layer_lock.h, sm_state_lock.h, sm_table_lock.h and
// sm_object_lock.h.
#ifndef SM_MASTER_H
#define SM_MASTER_H

#include <stdint.h>

#include "base/util/ve_codepage.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One process's handle on the instance's shared memory. */
typedef struct SM_MASTER SM_MASTER;

/* Control process: creates the block for the instance with these capacities,
 * its 15 named mutexes and the registration cache's guard. first is kept for
 * the registration cache; ignored is not read; codepage is kept by pointer.
 * 0; -314 when the DBMS check answers 0 (any other answer than -37 is
 * returned as it is); -66 for a negative capacity, one that slot indexes
 * cannot address, or a block over 2^31-1 bytes; -999 when the instance's block
 * exists already; -12 no memory or no mapping; -109 a mutex or the guard
 * could not be made; -65 for a null instance name or handle pointer. */
ZEL_API int32_t SM_master_create(void *first, const char *instance, int32_t ignored, int32_t nproc,
                                 int32_t nlocks, int32_t nstatelocks, int32_t ntablelocks,
                                 int32_t nlayers, int32_t nregs, int32_t nrasters,
                                 int32_t nobjlocks, VE_CODEPAGE *codepage, SM_MASTER **master);
/* Closes everything the control process made; the block's name goes at once,
 * processes that have it mapped keep it. A null handle is ignored. */
ZEL_API void SM_master_destroy(SM_MASTER *master);

/* Server process: attaches to the instance's block. 0; -88 for a flag other
 * than 0; -12 no memory, no block of that name, or a block whose header does
 * not describe its size; -109 a mutex cannot be opened; -1 the guard cannot
 * be opened; -65 for a null instance name or handle pointer. */
ZEL_API int32_t SM_server_open(void *first, const char *instance, int32_t ignored, int32_t flag,
                               VE_CODEPAGE *codepage, SM_MASTER **master);
/* Direct connection: the same layout in private memory, every layer id taken,
 * no named object; on this handle every numbered mutex and guard acquire
 * succeeds at once. 0, -12, -66 or -65 as for SM_master_create. */
ZEL_API int32_t SM_local_server_open(int32_t ignored, int32_t nproc, int32_t nlocks,
                                     int32_t nstatelocks, int32_t ntablelocks, int32_t nlayers,
                                     int32_t nregs, int32_t nrasters, int32_t nobjlocks,
                                     VE_CODEPAGE *codepage, SM_MASTER **master);
/* Server process: gives back every mutex and the guard this process still
 * holds, unmaps and frees the handle. A null handle is ignored. */
ZEL_API void SM_server_close(SM_MASTER *master);

/* Codes of SM_shared_info. Codes 11 answers 0; 25, 26, 27 and 29 answer 1. */
#define SM_INFO_PROCESSES_IN_USE 1
#define SM_INFO_NPROC 2
#define SM_INFO_LAYER_LOCKS_IN_USE 3
#define SM_INFO_NLOCKS 4
#define SM_INFO_LAYERS_MODIFIED 5 /* layer ids with a modification time */
#define SM_INFO_NLAYERS 6
#define SM_INFO_REGISTRATIONS_CACHED 7
#define SM_INFO_NREGS 8
#define SM_INFO_STATE_LOCKS_IN_USE 9
#define SM_INFO_NSTATELOCKS 10
#define SM_INFO_NRASTERS 12
#define SM_INFO_TABLE_LOCKS_IN_USE 13
#define SM_INFO_NTABLELOCKS 14
#define SM_INFO_NEW_STATE_ID 15
#define SM_INFO_NEW_METADATA_ID 16
#define SM_INFO_NEW_LOCATOR_ID 17
#define SM_INFO_NEW_VERSION_ID 18
#define SM_INFO_OBJECT_LOCKS_IN_USE 19
#define SM_INFO_NOBJLOCKS 20
#define SM_INFO_DEFAULT_STATE_ID 21
#define SM_INFO_NEW_LAYER_ID 22        /* -16 when every layer id is taken */
#define SM_INFO_NEW_REGISTRATION_ID 23 /* -221 when none is free */
#define SM_INFO_NEW_RASTERCOLUMN_ID 24 /* -228 when every raster column id is taken */
#define SM_INFO_OWN_ID 28

/* Counts, capacities and new ids of the instance by code (1 to 29); 0 for any
 * other code. Codes that take a mutex or the guard answer -1 when it fails. */
ZEL_API int32_t SM_shared_info(SM_MASTER *master, int32_t code);
/* Does nothing; 0. */
ZEL_API int32_t SM_convert(void);

#ifdef __cplusplus
}
#endif

#endif
