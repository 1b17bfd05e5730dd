// Table locks of the instance's shared memory: shared or exclusive locks on a
// table id, requested by the calling process and never waited for. All calls
// run under the instance's mutex 9. The rules are in sm_table_lock.cpp.
#ifndef SM_TABLE_LOCK_H
#define SM_TABLE_LOCK_H

#include <stdint.h>
#include <stdio.h>

#include "base/util/zel_export.h"
#include "server/svrsys/sm_master.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Table lock types. */
#define SM_TABLE_LOCK_SHARED 1
#define SM_TABLE_LOCK_EXCLUSIVE 2

/* One table-lock slot (12 bytes). */
typedef struct SM_TABLE_LOCK {
    int32_t holder; /* process id */
    int32_t table_id;
    uint16_t next; /* next slot of its chain, 0xFFFE = end */
    int16_t type;  /* SM_TABLE_LOCK_... */
} SM_TABLE_LOCK;

/* Called with each lock on a table by SM_locks_find_on_table. */
typedef int32_t (*SM_TABLE_LOCK_FIND_CALLBACK)(void *context, const SM_TABLE_LOCK *lock);
/* Called with each table lock in use by SM_table_locks_display_used. */
typedef void (*SM_TABLE_LOCK_LIST_CALLBACK)(const SM_TABLE_LOCK *lock);

/* Requests a table lock for the calling process: 0 (also when it holds it;
 * an own lock of the other type is converted); -49 conflict with a living
 * holder; -50 no free slot after removing the locks of dead holders; -1 the
 * mutex failed; -66 for a type other than 1 and 2; -65. */
ZEL_API int32_t SM_table_lock_add(SM_MASTER *master, int32_t table_id, int32_t type);
/* Removes the process's first lock on the table: 0, -48, -1, -65. */
ZEL_API int32_t SM_table_lock_delete(SM_MASTER *master, int32_t table_id);
/* Removes every table lock of process pid: 0, -1 when the mutex fails. */
ZEL_API int32_t SM_table_locks_delete_user(SM_MASTER *master, int32_t pid);
/* As SM_state_locks_display_used, headed "TABLE LOCKS IN USE:". */
ZEL_API int32_t SM_table_locks_display_used(SM_MASTER *master,
                                            SM_TABLE_LOCK_LIST_CALLBACK callback);
/* Prints one lock; 0, or -65 for a null lock or stream. */
ZEL_API int32_t SM_table_lock_display(const SM_TABLE_LOCK *lock, FILE *stream, int32_t index,
                                      int32_t verbose);
/* Calls callback(context, lock) for every lock on the table and returns the
 * last answer (0 for none); takes mutex 9 only when take_mutex is nonzero
 * (-1 when it fails). */
ZEL_API int32_t SM_locks_find_on_table(SM_MASTER *master, int32_t table_id, int32_t take_mutex,
                                       SM_TABLE_LOCK_FIND_CALLBACK callback, void *context);

#ifdef __cplusplus
}
#endif

#endif
