// Object locks of the instance's shared memory: locks on an object named by
// its id, type and application together, held by a session (the holder in the
// caller's record, not the calling process). Never waited for; all calls run
// under the instance's mutex 14. The rules are in sm_object_lock.cpp.
#ifndef SM_OBJECT_LOCK_H
#define SM_OBJECT_LOCK_H

#include <stdint.h>
#include <stdio.h>

#include "base/util/zel_export.h"
#include "server/svrsys/sm_master.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Object lock types; requests use the first three. */
#define SM_OBJECT_LOCK_SHARED 0
#define SM_OBJECT_LOCK_EXCLUSIVE 1
#define SM_OBJECT_LOCK_AUTO_SHARED 2
#define SM_OBJECT_LOCK_AUTO_EXCLUSIVE 3

/* Applications with a display name. */
#define SM_OBJECT_APP_USER 1
#define SM_OBJECT_APP_INTERNAL 999
#define SM_OBJECT_APP_VORNBASE 1001

/* The caller's description of a lock. */
typedef struct SM_OBJECT_LOCK_RECORD {
    int32_t holder; /* session id */
    int32_t object_id;
    int32_t object_type;
    int32_t application;
} SM_OBJECT_LOCK_RECORD;

/* One object-lock slot (20 bytes). */
typedef struct SM_OBJECT_LOCK {
    int32_t holder; /* session id */
    int32_t object_id;
    int32_t object_type;
    int32_t application;
    uint16_t next; /* next slot of its chain, 0xFFFE = end */
    int16_t type;  /* SM_OBJECT_LOCK_... */
} SM_OBJECT_LOCK;

/* Called with each matching lock by SM_object_locks_find_by_example. */
typedef int32_t (*SM_OBJECT_LOCK_FIND_CALLBACK)(void *context, const SM_OBJECT_LOCK *lock);
/* Called with each object lock in use by SM_object_locks_display_used. */
typedef void (*SM_OBJECT_LOCK_LIST_CALLBACK)(const SM_OBJECT_LOCK *lock);

/* Requests a lock of type 0, 1 or 2 on the record's object for its holder:
 * 0 (also when held; an own lock of another type is converted); -49 conflict
 * with a living holder; -50 no free slot after removing the locks of dead
 * holders; -1 the mutex failed; -66 for another type; -65. */
ZEL_API int32_t SM_object_lock_add(SM_MASTER *master, const SM_OBJECT_LOCK_RECORD *record,
                                   int32_t type);
/* Removes the holder's first lock on the record's object that is of type 2
 * when auto_flag is nonzero, of another type otherwise: 0, -48, -1, -65. */
ZEL_API int32_t SM_object_lock_delete(SM_MASTER *master, const SM_OBJECT_LOCK_RECORD *record,
                                      int32_t auto_flag);
/* Removes every object lock of the session: 0, -1 when the mutex fails. */
ZEL_API int32_t SM_object_locks_delete_user(SM_MASTER *master, int32_t session_id);
/* As SM_state_locks_display_used, headed "OBJECT LOCKS IN USE:". */
ZEL_API int32_t SM_object_locks_display_used(SM_MASTER *master,
                                             SM_OBJECT_LOCK_LIST_CALLBACK callback);
/* Prints one lock; 0, or -65 for a null lock or stream. */
ZEL_API int32_t SM_object_lock_display(const SM_OBJECT_LOCK *lock, FILE *stream, int32_t index,
                                       int32_t verbose);
/* Calls callback(context, lock) for every lock whose object id, object type
 * and application equal the record's nonzero ones (a zero field matches any)
 * and returns the last answer (0 for none); takes mutex 14 only when
 * take_mutex is nonzero (-1 when it fails). */
ZEL_API int32_t SM_object_locks_find_by_example(SM_MASTER *master,
                                                const SM_OBJECT_LOCK_RECORD *record,
                                                int32_t take_mutex,
                                                SM_OBJECT_LOCK_FIND_CALLBACK callback,
                                                void *context);

#ifdef __cplusplus
}
#endif

#endif
