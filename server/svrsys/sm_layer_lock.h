// Layer locks of the instance's shared memory: a whole layer (shared or
// update) or an area of it (shared, update or automatic), requested by the
// calling process and never waited for. Each layer id has its own chain of lock
// slots; all calls run under the instance's mutex 1, except
// SM_locks_display_used. Conflicts and the automatic-area rules are described
// in sm_layer_lock.cpp.
#ifndef SM_LAYER_LOCK_H
#define SM_LAYER_LOCK_H

#include <stdint.h>
#include <stdio.h>

#include "base/util/zel_export.h"
#include "mox/mox_types.h"
#include "server/svrsys/sm_master.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Layer lock types. */
#define SM_LOCK_SHARED_LAYER 0
#define SM_LOCK_UPDATE_LAYER 1
#define SM_LOCK_SHARED_AREA 2
#define SM_LOCK_UPDATE_AREA 3
#define SM_LOCK_AUTO_AREA 4

/* One layer-lock slot (32 bytes). */
typedef struct SM_LAYER_LOCK {
    int32_t holder;    /* process id, 0 for a free slot */
    int32_t layer_id;  /* copied from the layer entry */
    int32_t type;      /* SM_LOCK_... */
    ENVELOPE envelope; /* area types only, system units */
    uint16_t next;     /* next slot of the chain, 0 = end */
    uint16_t unused;
} SM_LAYER_LOCK;

/* Called with each lock of a layer; a nonzero result stops the walk. */
typedef int32_t (*SM_LAYER_LOCK_FIND_CALLBACK)(void *context, const SM_LAYER_LOCK *lock);
/* Called with each lock in use by SM_locks_display_used. */
typedef void (*SM_LAYER_LOCK_LIST_CALLBACK)(const SM_LAYER_LOCK *lock);

/* Requests a lock on layer_id (1 to nlayers) for the calling process; the
 * process's own lock on the layer (other than an automatic one) is replaced
 * by it. The envelope is read for the area types only (null for the others).
 * 0; -49 conflict with a living holder (the process's old lock stays);
 * -50 no free slot; -1 the mutex failed; -28 for a layer id out of range;
 * -66 for a type out of range; -65 for a null handle or area envelope. */
ZEL_API int32_t SM_lock_add(SM_MASTER *master, int32_t layer_id, int32_t type,
                            const ENVELOPE *envelope);
/* SM_lock_add of an automatic area lock; these never replace one another, and
 * one that an own update-layer lock or update-area lock around it covers is
 * granted without a new slot. */
ZEL_API int32_t SM_autolock_add(SM_MASTER *master, int32_t layer_id, const ENVELOPE *envelope);
/* Changes the process's own lock on the layer to type and envelope: as
 * SM_lock_add, and -48 when the process holds none; on -49 the lock stays. */
ZEL_API int32_t SM_lock_modify(SM_MASTER *master, int32_t layer_id, int32_t type,
                               const ENVELOPE *envelope);
/* Removes the process's first lock on the layer, of any type (autolock:
 * automatic area locks only): 0, -48 when there is none, -1, -28, -65. */
ZEL_API int32_t SM_lock_delete(SM_MASTER *master, int32_t layer_id);
ZEL_API int32_t SM_autolock_delete(SM_MASTER *master, int32_t layer_id);
/* Removes every layer lock of process pid; returns the calling process's id,
 * or -1 when the mutex fails (-65 for a null handle). */
ZEL_API int32_t SM_locks_delete_user(SM_MASTER *master, int32_t pid);
/* Calls callback(context, lock) for the layer's locks in chain order until a
 * call answers nonzero, and returns that answer (0 when none does); takes
 * mutex 1 only when take_mutex is nonzero (-1 when it fails). -28, -65. */
ZEL_API int32_t SM_locks_find_on_layer(SM_MASTER *master, int32_t layer_id, int32_t take_mutex,
                                       SM_LAYER_LOCK_FIND_CALLBACK callback, void *context);
/* Prints one lock: "%3d  " with a nonzero index, the holder, layer and type
 * name, and with verbose the next slot and the area of area types. 0, or -65
 * for a null lock or stream. */
ZEL_API int32_t SM_lock_display(const SM_LAYER_LOCK *lock, FILE *stream, int32_t index,
                                int32_t verbose);
/* Hands every layer-lock slot in use to the callback, or prints them to
 * standard error after "LOCKS IN USE:" when there is none; returns the count.
 * Reads the slots without the mutex. */
ZEL_API int32_t SM_locks_display_used(SM_MASTER *master, SM_LAYER_LOCK_LIST_CALLBACK callback);

#ifdef __cplusplus
}
#endif

#endif
