// The option parser's stepping on a state of the caller's (for the tests and
// the fuzz target).
#ifndef ZEL_GETOPT_INTERNAL_H
#define ZEL_GETOPT_INTERNAL_H

#include <stdint.h>

#include "base/util/zel_getopt.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The parser's position; zel_getopt keeps one of these for the process. */
typedef struct ZEL_GETOPT_STATE {
    int32_t word;     /* index of the word being read; 0 is the program name */
    int32_t position; /* next character to read within that word */
    int32_t group;    /* group of letters already returned from this word; -1 none */
    char *optarg;     /* argument of the option just returned, or null */
} ZEL_GETOPT_STATE;

/* Sets a state to its starting values (word 1, position 0, no group). */
void zel_getopt_state_init(ZEL_GETOPT_STATE *state);

/* One step of zel_getopt on the given state. */
int zel_getopt_next(ZEL_GETOPT_STATE *state, int argc, char *const argv[], const char *optstring);

#ifdef __cplusplus
}
#endif

#endif
