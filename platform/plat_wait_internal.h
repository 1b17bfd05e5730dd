// Results of the waits on named mutexes and shared events, beside those of
// plat_sync_internal.h (PLAT_WAIT_INFINITE, PLAT_WAIT_TIMEOUT,
// PLAT_WAIT_FAILED), and the monotonic deadlines the timed waits use.
#ifndef PLAT_WAIT_INTERNAL_H
#define PLAT_WAIT_INTERNAL_H

#include <stdint.h>
#include <time.h>

#include "platform/plat_sync_internal.h"

#define PLAT_WAIT_OBJECT_0 0     /* signalled: the mutex is now held, the event was set */
#define PLAT_WAIT_ABANDONED 0x80 /* held, but its last holder died holding it */

#ifdef __cplusplus
extern "C" {
#endif

/* The CLOCK_MONOTONIC time timeout_ms (0 or more) from now. */
struct timespec plat_deadline_after_ms(int32_t timeout_ms);
/* What is left until the deadline, never negative. */
struct timespec plat_time_left(const struct timespec *deadline);
/* Sleeps at least ms milliseconds, also when signals interrupt it. */
void plat_sleep_ms(int32_t ms);

#ifdef __cplusplus
}
#endif

#endif
