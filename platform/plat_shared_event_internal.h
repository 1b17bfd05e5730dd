// Events standing in for the Windows ones, on a futex word that any process
// mapping it can wait on. A manual-reset event stays set until reset and
// releases every waiter; an auto-reset event releases one waiter and resets
// itself. The word can sit in any shared memory (PLAT_EVENT_WORD); a named
// event keeps its word alone in its own named shared object
// (plat_shm_internal.h), alive while some process has it open.
#ifndef PLAT_SHARED_EVENT_INTERNAL_H
#define PLAT_SHARED_EVENT_INTERNAL_H

#include <stdint.h>

#include "platform/plat_shm_internal.h"
#include "platform/plat_wait_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PLAT_EVENT_WORD {
    uint32_t state;  /* 1 set, 0 not set, 2 not set with sleepers: the futex word */
    uint32_t manual; /* 1 manual reset, 0 auto reset */
} PLAT_EVENT_WORD;

/* Lays an event out in a word that no process waits on yet. */
void plat_event_word_init(PLAT_EVENT_WORD *word, int manual, int initially_set);
void plat_event_word_set(PLAT_EVENT_WORD *word);
void plat_event_word_reset(PLAT_EVENT_WORD *word);
/* 1 when set (an auto-reset event stays set). */
int plat_event_word_is_set(PLAT_EVENT_WORD *word);
/* Waits at most timeout_ms (PLAT_WAIT_INFINITE: no limit) until the event is set;
 * an auto-reset event is reset by the waiter it releases. PLAT_WAIT_OBJECT_0
 * or PLAT_WAIT_TIMEOUT. */
int plat_event_word_wait(PLAT_EVENT_WORD *word, int32_t timeout_ms);

typedef struct PLAT_SHARED_EVENT {
    PLAT_SHM shm; /* the PLAT_EVENT_WORD sits at shm.base */
} PLAT_SHARED_EVENT;

/* Creates the event, or opens the live one of that name (its kind and state
 * then stay as they are). 0, or PLAT_SHM_FAILED. */
int plat_shared_event_create(const char *name, int manual, int initially_set,
                             PLAT_SHARED_EVENT *event);
/* 0, PLAT_SHM_NOT_FOUND or PLAT_SHM_FAILED. */
int plat_shared_event_open(const char *name, PLAT_SHARED_EVENT *event);
/* The word of an open event, null for a closed one. */
PLAT_EVENT_WORD *plat_shared_event_word(PLAT_SHARED_EVENT *event);
/* Closes this process's handle; a closed or zeroed handle is ignored. */
void plat_shared_event_close(PLAT_SHARED_EVENT *event);

#ifdef __cplusplus
}
#endif

#endif
