// What the named-pipe functions share with the library's tests: the client
// open with a chosen wait.
#ifndef LO_PIPE_INTERNAL_H
#define LO_PIPE_INTERNAL_H

#include "base/system/lo_pipe.h"

/* LO_open_client waiting up to timeout_ms for each pipe. */
int32_t lo_open_client_wait(const char *write_name, const char *read_name, LO_PIPE **write_pipe,
                            LO_PIPE **read_pipe, int timeout_ms);

#endif
