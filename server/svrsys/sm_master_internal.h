// The instance's shared memory inside the library: the block's layout, the
// SM_MASTER handle, the numbered mutexes and the registration cache's
// reader/writer guard.
//
// The block starts with a header of 40 signed 32-bit words (SM_HW_...),
// followed by the sections at the offsets the header records (words 11 to 22;
// word 23 is the total size). The offsets are computed from the capacities by
// sm_layout_compute; for example nproc 3, nlocks 5, nstatelocks 7,
// ntablelocks 2, nlayers 3, nregs 2, nrasters 3 and nobjlocks 4 give:
//
//   process slots 160        layer-lock slots 416 (160 + 3*80 up to 32)
//   layer table 576          state-lock slots 588 (576 + 3*4 up to 12)
//   modification times 672   next feature ids 684
//   registrations 1080       (684 + 3*4 up to 540)
//   raster in-use bytes 2160 next raster ids 2163   next band ids 2175
//   table-lock slots 2196    (2175 + 3*4 up to 12)
//   object-lock slots 2220   (2196 + 2*12 up to 20)
//   total 2320               (2220 + (4 + 1)*20)
//
// The next raster and band ids can therefore sit at unaligned offsets: read
// and write them with memcpy. Chains of the state-, table- and object-lock
// slots end in 0xFFFE in a slot and -2 in a header word; the layer-lock chains
// end in 0 (slot 0 is never a lock: its next field heads the free chain).
#ifndef SM_MASTER_INTERNAL_H
#define SM_MASTER_INTERNAL_H

#include <stdint.h>

#include "platform/plat_named_mutex_internal.h"
#include "platform/plat_shared_event_internal.h"
#include "platform/plat_shm_internal.h"
#include "server/svrsys/sm_layer_lock.h"
#include "server/svrsys/sm_master.h"
#include "server/svrsys/sm_object_lock.h"
#include "server/svrsys/sm_pinfo.h"
#include "server/svrsys/sm_state_lock.h"
#include "server/svrsys/sm_table_lock.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Header words. */
enum {
    SM_HW_GUARD_READERS = 0,
    SM_HW_PROCESSES = 1,
    SM_HW_NPROC = 2,
    SM_HW_NLOCKS = 3,
    SM_HW_NSTATELOCKS = 4,
    SM_HW_NTABLELOCKS = 5,
    SM_HW_NOBJLOCKS = 6,
    SM_HW_NLAYERS = 7,
    SM_HW_NREGS = 8,
    SM_HW_NRASTERS = 9,
    SM_HW_STATES_MODIFIED = 10,
    SM_HW_PINFO_OFFSET = 11,
    SM_HW_LAYER_LOCK_OFFSET = 12,
    SM_HW_LAYER_TABLE_OFFSET = 13,
    SM_HW_STATE_LOCK_OFFSET = 14,
    SM_HW_LAYER_MTIME_OFFSET = 15,
    SM_HW_NEXT_FID_OFFSET = 16,
    SM_HW_REGISTRATION_OFFSET = 17,
    SM_HW_RASTER_IN_USE_OFFSET = 18,
    SM_HW_NEXT_RASTER_ID_OFFSET = 19,
    SM_HW_NEXT_BAND_ID_OFFSET = 20,
    SM_HW_TABLE_LOCK_OFFSET = 21,
    SM_HW_OBJECT_LOCK_OFFSET = 22,
    SM_HW_TOTAL_SIZE = 23,
    SM_HW_STATE_USED = 24,
    SM_HW_STATE_FREE = 25,
    SM_HW_STATE_COUNT = 26,
    SM_HW_REGISTRATION_HEAD = 27,
    SM_HW_REGISTRATION_COUNT = 28,
    SM_HW_TABLE_USED = 29,
    SM_HW_TABLE_FREE = 30,
    SM_HW_TABLE_COUNT = 31,
    SM_HW_LAST_STATE_ID = 32,
    SM_HW_LAST_METADATA_ID = 33,
    SM_HW_LAST_LOCATOR_ID = 34,
    SM_HW_LAST_VERSION_ID = 35,
    SM_HW_OBJECT_USED = 36,
    SM_HW_OBJECT_FREE = 37,
    SM_HW_OBJECT_COUNT = 38,
    SM_HW_DEFAULT_STATE_ID = 39,
    SM_HEADER_WORDS = 40
};

#define SM_CHAIN_END_WORD (-2)    /* end of a chain in a header word */
#define SM_CHAIN_END_SLOT 0xFFFEu /* the same in a slot's next field */
#define SM_MUTEX_COUNT 15
#define SM_INSTANCE_NAME_SIZE 256
#define SM_REGISTRATION_STRING_32 32
#define SM_REGISTRATION_STRING_64 64
#define SM_REGISTRATION_STRING_160 160

/* The header: 40 words. */
typedef struct SM_HEADER {
    int32_t words[SM_HEADER_WORDS];
} SM_HEADER;

/* Layer table entry i, for layer id i + 1. */
typedef struct SM_LAYER_ENTRY {
    uint16_t layer_id;   /* i + 1 when taken, 0 when free */
    uint16_t first_lock; /* head of the layer's lock chain, 0 = none */
} SM_LAYER_ENTRY;

/* Registration cache slot n - 1, for registration id n (540 bytes). */
typedef struct SM_REGISTRATION_SLOT {
    int32_t registration_id; /* 0 = id free */
    char database_name[SM_REGISTRATION_STRING_32];
    char owner[SM_REGISTRATION_STRING_32];
    char table_name[SM_REGISTRATION_STRING_160];
    char rowid_column[SM_REGISTRATION_STRING_32];
    char description[SM_REGISTRATION_STRING_64];
    int32_t object_flags;
    int32_t registration_date;
    char config_keyword[SM_REGISTRATION_STRING_32];
    int32_t minimum_id;
    char imv_view_name[SM_REGISTRATION_STRING_160];
    int32_t modification_time; /* 0 = not cached */
    int32_t next_row_id;       /* 0 = not seeded */
    int32_t next_cached;       /* -2 = end of the chain */
} SM_REGISTRATION_SLOT;

/* The capacities a block is laid out for. */
typedef struct SM_CAPACITIES {
    int32_t nproc;
    int32_t nlocks;
    int32_t nstatelocks;
    int32_t ntablelocks;
    int32_t nobjlocks;
    int32_t nlayers;
    int32_t nregs;
    int32_t nrasters;
} SM_CAPACITIES;

/* Section offsets and the total size, in bytes from the block's start. */
typedef struct SM_LAYOUT {
    int32_t pinfo;
    int32_t layer_locks;
    int32_t layer_table;
    int32_t state_locks;
    int32_t layer_mtimes;
    int32_t next_fids;
    int32_t registrations;
    int32_t raster_in_use;
    int32_t next_raster_ids;
    int32_t next_band_ids;
    int32_t table_locks;
    int32_t object_locks;
    int32_t total;
} SM_LAYOUT;

/* The registration cache's reader/writer guard as one process holds it. */
typedef struct SM_RW_GUARD {
    int32_t mode; /* 1 not held, 2 reader, 3 writer; 0 on a private block */
    PLAT_NAMED_MUTEX mutex;
    PLAT_SHARED_EVENT no_readers; /* manual reset, set while no one reads */
    PLAT_SHM readers;             /* SM_GUARD_READERS: who reads */
    int32_t reader_capacity;      /* its entries, checked once at open */
} SM_RW_GUARD;

/* The readers of the guard by process (in the guard's own shared object), so
 * that readers that died reading can be discounted. Changed under the guard
 * mutex; header word 0 is the sum of the counts. */
typedef struct SM_GUARD_READER {
    int32_t pid;   /* 0 = free entry */
    int32_t count; /* readings the process holds */
} SM_GUARD_READER;

typedef struct SM_GUARD_READERS {
    int32_t capacity;
    int32_t unused;
    SM_GUARD_READER entries[1]; /* capacity of them */
} SM_GUARD_READERS;

struct SM_MASTER {
    int32_t size;       /* of the block */
    SM_CAPACITIES caps; /* checked at attach: every walk's bound, never re-read */
    char *block;        /* its header */
    SM_PINFO *pinfo;
    SM_LAYER_LOCK *layer_locks;
    SM_LAYER_ENTRY *layer_table;
    SM_STATE_LOCK *state_locks;
    SM_TABLE_LOCK *table_locks;
    uint32_t *layer_mtimes;
    int32_t *next_fids;
    SM_REGISTRATION_SLOT *registrations;
    unsigned char *raster_in_use;
    unsigned char *next_raster_ids; /* possibly unaligned: memcpy */
    unsigned char *next_band_ids;   /* possibly unaligned: memcpy */
    SM_OBJECT_LOCK *object_locks;
    int32_t held[SM_MUTEX_COUNT]; /* by creation order */
    PLAT_SHM mapping;
    PLAT_NAMED_MUTEX mutexes[SM_MUTEX_COUNT]; /* by creation order */
    char instance[SM_INSTANCE_NAME_SIZE];
    SM_RW_GUARD guard;
    int32_t scan_cursor; /* next slot of SM_pinfo_scan, -1 when not scanning */
    int32_t own_id;
    VE_CODEPAGE *codepage;
    void *first;
    int32_t local; /* private block: no named object, no waits */
};

/* The header words of a block. */
int32_t *sm_header(SM_MASTER *master);

/* Offsets and total for the capacities: 0, or -66 when a capacity is
 * negative, more than its slot indexes address, or the block would pass
 * 2^31-1 bytes. */
int32_t sm_layout_compute(const SM_CAPACITIES *capacities, SM_LAYOUT *layout);
/* Writes a new block's header and chains (the block is zeroed already). */
void sm_layout_init(char *block, const SM_CAPACITIES *capacities, const SM_LAYOUT *layout);
/* Points the handle's section addresses into its block and keeps the
 * capacities the layout was computed (and checked) from as its bounds. */
void sm_layout_attach(SM_MASTER *master, const SM_CAPACITIES *capacities, const SM_LAYOUT *layout);

/* Numbered mutexes 1 to 15 (not creation order; see sm_mutex.cpp). Lock waits
 * without limit; an abandoned mutex counts as taken, and the lock table it
 * guards is rebuilt first. 0, or -1. Both do nothing on a private block or
 * for a number outside 1 to 15. */
int32_t sm_mutex_lock(SM_MASTER *master, int32_t number);
int32_t sm_mutex_unlock(SM_MASTER *master, int32_t number);
/* The name of a numbered object of the instance, "ZEL_<release>_<instance>_"
 * followed by suffix, into out (at least SM_OBJECT_NAME_SIZE bytes). */
#define SM_OBJECT_NAME_SIZE 512
void sm_object_name(const char *instance, const char *suffix, char *out);
/* The suffix of mutex number 1 to 15 ("iomgr_lock_mutex" ...). */
const char *sm_mutex_suffix_by_creation(int32_t creation_index);

/* The registration cache's guard: mode 2 reader, 3 writer; 0, -1, or -66 for
 * another mode. Holders are inside the stop-protected section. */
int32_t sm_rw_guard_acquire(SM_MASTER *master, int32_t mode);
int32_t sm_rw_guard_release(SM_MASTER *master);

/* Opens (create nonzero: creates) the guard's named objects; 0 or -1. The
 * reader table is sized for nproc processes. */
int32_t sm_rw_guard_open(SM_MASTER *master, int32_t create, int32_t nproc);
/* Gives the guard back when held and closes its objects. */
void sm_rw_guard_close(SM_MASTER *master);
/* Gives back every numbered mutex the process holds. */
void sm_mutex_release_held(SM_MASTER *master);

/* The alive test of lock holders: the calling process itself, and in the
 * control process its living children; in other processes every holder. */
int32_t sm_holder_alive(SM_MASTER *master, int32_t holder);
/* Process slots whose id is not 0: the processes-in-use count, taken from
 * the slots themselves, so a process that died between claiming its slot and
 * counting it leaves no drift. Header word 1 is set to it by every add and
 * delete. */
int32_t sm_pinfo_count(SM_MASTER *master);
/* -65 for a null handle, -28 for a layer id outside 1 to nlayers, else 0. */
int32_t sm_check_layer_id(SM_MASTER *master, int32_t layer_id);
/* 1 while a process with that id exists and is not a zombie, else 0. */
int32_t sm_process_exists(int32_t pid);

/* Rebuilds the registration cache's chain and count from the cached slots
 * (those with a modification time), in ascending id order: called under
 * mutex 4 when it comes back abandoned or a walk finds the chain bad. */
void sm_registration_chain_repair(SM_MASTER *master);

#ifdef __cplusplus
}
#endif

#endif
