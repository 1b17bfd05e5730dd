// Knobs of the service functions (ve_service.h) for tests: the pause between
// the status queries of a start and the longest time a start waits, and
// forgetting the process's event source.
#ifndef VE_SERVICE_INTERNAL_H
#define VE_SERVICE_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_service.h"

/* Defaults: 250 ms between queries, 60 s at most. */
void ves_service_set_start_wait(uint32_t pause_ms, uint32_t limit_ms);
/* Deregisters the process's event source; the next event registers again. */
void ves_log_event_reset(void);

#endif
