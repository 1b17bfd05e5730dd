// Command-line option parser of the host executables. Option letters fall
// into groups opened by the colons of the option string; the word after an
// option word is consumed as its argument unless it looks like another option
// (a '-' followed by a non-digit). Messages go to standard output. The state
// is process-wide and starts with the library's load: a process parses one
// argument vector, once. The names carry our prefix so that they never meet
// the C library's getopt and optarg.
#ifndef ZEL_GETOPT_H
#define ZEL_GETOPT_H

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The argument of the option zel_getopt just returned, or null. Points into
 * the caller's argument vector. Declared extern for C hosts too, so that a
 * host's object never defines a copy of its own. */
#ifdef __cplusplus
ZEL_API char *zel_optarg;
#else
extern ZEL_API char *zel_optarg;
#endif

/* Returns the next option letter, '?' after printing a message, or -1 when
 * parsing ends (also for a null vector or option string). The caller stops at
 * the first '?' or -1. */
ZEL_API int zel_getopt(int argc, char *const argv[], const char *optstring);

#ifdef __cplusplus
}
#endif

#endif
