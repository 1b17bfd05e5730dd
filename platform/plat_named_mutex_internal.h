// Named mutexes standing in for the Windows ones: a robust, recursive,
// process-shared pthread mutex alone in its own named shared object
// (plat_shm_internal.h), so it lives as long as some process has it open. A
// holder that dies (thread or process) leaves it "abandoned": the next waiter
// gets it with PLAT_WAIT_ABANDONED and holds it. Only the holding thread can
// release it, once per acquisition.
#ifndef PLAT_NAMED_MUTEX_INTERNAL_H
#define PLAT_NAMED_MUTEX_INTERNAL_H

#include <stdint.h>

#include "platform/plat_shm_internal.h"
#include "platform/plat_wait_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PLAT_NAMED_MUTEX {
    PLAT_SHM shm; /* the mutex sits at shm.base */
} PLAT_NAMED_MUTEX;

/* Creates the mutex, not held, or opens the live one of that name (as the
 * Windows call does). 0, or PLAT_SHM_FAILED. */
int plat_named_mutex_create(const char *name, PLAT_NAMED_MUTEX *mutex);
/* Opens an existing mutex: 0, PLAT_SHM_NOT_FOUND or PLAT_SHM_FAILED. */
int plat_named_mutex_open(const char *name, PLAT_NAMED_MUTEX *mutex);
/* Waits at most timeout_ms (PLAT_WAIT_INFINITE: no limit): PLAT_WAIT_OBJECT_0 or
 * PLAT_WAIT_ABANDONED (held either way), PLAT_WAIT_TIMEOUT, PLAT_WAIT_FAILED. */
int plat_named_mutex_lock(PLAT_NAMED_MUTEX *mutex, int32_t timeout_ms);
/* 0, or -1 when the calling thread does not hold it. */
int plat_named_mutex_unlock(PLAT_NAMED_MUTEX *mutex);
/* Closes this process's handle; a closed or zeroed handle is ignored. */
void plat_named_mutex_close(PLAT_NAMED_MUTEX *mutex);

#ifdef __cplusplus
}
#endif

#endif
