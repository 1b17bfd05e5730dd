// Synchronisation objects standing in for the Windows ones that child-process
// management and shared memory use: recursive critical sections, auto-reset
// events, named semaphores whose count is at most 1, and a wait for the first
// of several objects (events and processes, see plat_process_internal.h).
// Errors are the C library's error numbers.
#ifndef PLAT_SYNC_INTERNAL_H
#define PLAT_SYNC_INTERNAL_H

#include <pthread.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A recursive lock: the thread that holds it may enter it again and must
 * leave it as often. Define it with PLAT_CRITICAL_SECTION_INIT or make it with
 * plat_critical_section_init. */
typedef struct PLAT_CRITICAL_SECTION {
    pthread_mutex_t mutex;
} PLAT_CRITICAL_SECTION;

#define PLAT_CRITICAL_SECTION_INIT                                                                 \
    {                                                                                              \
        PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP                                                     \
    }

int plat_critical_section_init(PLAT_CRITICAL_SECTION *section);
void plat_critical_section_enter(PLAT_CRITICAL_SECTION *section);
/* EPERM when the calling thread does not hold the section. */
int plat_critical_section_leave(PLAT_CRITICAL_SECTION *section);
void plat_critical_section_delete(PLAT_CRITICAL_SECTION *section);

/* Something plat_wait_any can wait on: a descriptor that polls readable while
 * the object is signalled. An auto-reset object is reset by the one wait that
 * reports it. Embedded in events and processes; callers only pass it on. */
typedef struct PLAT_WAITABLE {
    int fd;
    int auto_reset;
} PLAT_WAITABLE;

#define PLAT_WAIT_INFINITE (-1)
#define PLAT_WAIT_TIMEOUT (-1)
#define PLAT_WAIT_FAILED (-2)

/* Waits until one of the count objects is signalled or timeout_ms passes
 * (PLAT_WAIT_INFINITE: no limit). Returns the lowest index of a signalled
 * object, PLAT_WAIT_TIMEOUT, or PLAT_WAIT_FAILED with errno set. */
int plat_wait_any(PLAT_WAITABLE *const *objects, int count, int timeout_ms);

/* An unnamed auto-reset event, not signalled at first: a set stays until one
 * wait takes it; sets before that wait count once. */
typedef struct PLAT_EVENT PLAT_EVENT;

int plat_event_create(PLAT_EVENT **event);
int plat_event_set(PLAT_EVENT *event);
/* 0 when the event was taken, PLAT_WAIT_TIMEOUT or PLAT_WAIT_FAILED. */
int plat_event_wait(PLAT_EVENT *event, int timeout_ms);
PLAT_WAITABLE *plat_event_waitable(PLAT_EVENT *event);
void plat_event_close(PLAT_EVENT *event);

/* A named semaphore shared between processes whose count is 0 or 1: release
 * raises it to 1, wait takes it back to 0. Names are at most
 * PLAT_SEMAPHORE_NAME_MAX characters without "/". */
typedef struct PLAT_SEMAPHORE PLAT_SEMAPHORE;

#define PLAT_SEMAPHORE_NAME_MAX 200

/* Creates the semaphore with count 0, for its owner alone (0600); a stale one
 * of the same name is replaced, another account's one refused (EACCES). The
 * creator's close removes the name. */
int plat_semaphore_create(const char *name, PLAT_SEMAPHORE **semaphore);
/* Hands the semaphore to the one account uid that must open it (it becomes
 * the owner; the mode stays owner-only; this process keeps its handle).
 * Nothing to do for this process's own user; else it needs the privilege. */
int plat_semaphore_grant(PLAT_SEMAPHORE *semaphore, uid_t uid);
/* Opens an existing semaphore; ENOENT when there is none, EACCES (with a line
 * on standard error) when another account owns it or others may write it. */
int plat_semaphore_open(const char *name, PLAT_SEMAPHORE **semaphore);
/* Raises the count to 1; EOVERFLOW when it is 1 already. Two processes
 * releasing at the same moment can both succeed. */
int plat_semaphore_release(PLAT_SEMAPHORE *semaphore);
/* Waits without a time limit until the count is 1 and takes it. */
int plat_semaphore_wait(PLAT_SEMAPHORE *semaphore);
/* The current count, or -1. */
int plat_semaphore_count(PLAT_SEMAPHORE *semaphore);
/* Closes the semaphore; when this handle created it, the name goes too. */
void plat_semaphore_close(PLAT_SEMAPHORE *semaphore);

#ifdef __cplusplus
}
#endif

#endif
