// What the child-process files share: the stop-protected section that shared
// memory enters while it holds the registration cache's guard, and the
// reporter of failed system calls.
#ifndef SUBPROGRAMS_INTERNAL_H
#define SUBPROGRAMS_INTERNAL_H

#include "server/svrsys/subprograms.h"

/* Reports a failed system call (source file, line, call, error number) to the
 * operator: "<file>: Error <error> from <call> on line <line>:" and the
 * system's text for the error, then asks whether to go on; a No ends the
 * process with exit code 1. */
void subprograms_api_error(const char *file, int line, const char *call, int error);

/* The child number the next start puts in its stop semaphore's name (the
 * numbers start at a random value). */
int32_t subprograms_next_child_number(void);

#define SUBPROGRAMS_API_ERROR(call, error) subprograms_api_error(__FILE__, __LINE__, call, error)

#endif
