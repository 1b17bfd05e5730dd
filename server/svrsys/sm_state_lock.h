// State locks of the instance's shared memory: the whole state tree or one
// state, shared or exclusive, and their automatic forms; requested by the
// calling process and never waited for. All calls run under the instance's
// mutex 6. The rules are in sm_state_lock.cpp.
#ifndef SM_STATE_LOCK_H
#define SM_STATE_LOCK_H

#include <stdint.h>
#include <stdio.h>

#include "base/util/zel_export.h"
#include "server/svrsys/sm_master.h"

#ifdef __cplusplus
extern "C" {
#endif

/* State lock types; the tree types ignore the state id. */
#define SM_STATE_LOCK_SHARED_TREE 0
#define SM_STATE_LOCK_EXCLUSIVE_TREE 1
#define SM_STATE_LOCK_SHARED_STATE 2
#define SM_STATE_LOCK_EXCLUSIVE_STATE 3
#define SM_STATE_LOCK_AUTO_SHARED_STATE 4
#define SM_STATE_LOCK_AUTO_EXCLUSIVE_STATE 5

/* One state-lock slot (12 bytes). */
typedef struct SM_STATE_LOCK {
    int32_t holder; /* process id */
    int32_t state_id;
    uint16_t next; /* next slot of its chain, 0xFFFE = end */
    int16_t type;  /* SM_STATE_LOCK_... */
} SM_STATE_LOCK;

/* Called with each state lock in use by SM_state_locks_display_used. */
typedef void (*SM_STATE_LOCK_LIST_CALLBACK)(const SM_STATE_LOCK *lock);

/* Requests a state lock for the calling process: 0 (also when it holds it
 * already; an own lock of another type on the state is converted); -49
 * conflict with a living holder; -50 no free slot after removing the locks
 * of dead holders; -1 the mutex failed; -66 for a type out of range; -65. */
ZEL_API int32_t SM_state_lock_add(SM_MASTER *master, int32_t state_id, int32_t type);
/* Removes the process's first lock on the state that is automatic (type 4 or
 * 5) when auto_flag is nonzero, not automatic otherwise: 0, -48, -1, -65. */
ZEL_API int32_t SM_state_lock_delete(SM_MASTER *master, int32_t state_id, int32_t auto_flag);
/* Removes every state lock of process pid: 0, -1 when the mutex fails. */
ZEL_API int32_t SM_state_locks_delete_user(SM_MASTER *master, int32_t pid);
/* Hands every state lock in use to the callback, or prints them to standard
 * error after "STATE LOCKS IN USE:" when there is none; the count, or -1
 * when the mutex fails. */
ZEL_API int32_t SM_state_locks_display_used(SM_MASTER *master,
                                            SM_STATE_LOCK_LIST_CALLBACK callback);
/* Prints one lock; 0, or -65 for a null lock or stream. */
ZEL_API int32_t SM_state_lock_display(const SM_STATE_LOCK *lock, FILE *stream, int32_t index,
                                      int32_t verbose);

#ifdef __cplusplus
}
#endif

#endif
