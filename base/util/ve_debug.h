// Debug printing for every subsystem, and the banner of the administration
// utilities. Debug output appears only while ZELVERBOSE is set in the
// environment; the variable is read on every call, so it can be switched on
// and off while a process runs.
#ifndef VE_DEBUG_H
#define VE_DEBUG_H

#include <stdint.h>
#include <stdio.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Formats onto the stream and flushes it when ZELVERBOSE is set (to anything,
 * even empty). Returns 0, also when nothing is printed; -1 when the stream or
 * format is null or the write or flush fails. */
ZEL_API int32_t VES_print_debug(FILE *stream, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

#ifdef __cplusplus
}
#endif

#endif
