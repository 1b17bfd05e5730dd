// Command-line option parser of the host executables. Option letters fall
// into groups opened by the colons of the option string; the word after an
// option word is consumed as its argument unless it looks like another option
// (a '-' followed by a non-digit). Messages go to standard output. The state
// is process-wide and starts with the library's load: a process parses one
// argument vector, once. The names carry our prefix so that they never meet
// the C library's getopt and optarg.
#ifndef ZEL_GETOPT_H
#define ZEL_GETOPT_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The argument of the option zel_getopt just returned, or null. Points into
 * the caller's argument vector. */
ZEL_API char *zel_optarg;

/* Returns the next option letter, '?' after printing a message, or -1 when
 * parsing ends (also for a null vector or option string). The caller stops at
 * the first '?' or -1. */
ZEL_API int zel_getopt(int argc, char *const argv[], const char *optstring);

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
