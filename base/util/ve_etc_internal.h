// The readers of the etc files on streams already open, and the dbinit line
// splitter (also driven by the fuzz target).
#ifndef VE_ETC_INTERNAL_H
#define VE_ETC_INTERNAL_H

#include <stddef.h>
#include <stdio.h>

#include "base/util/ve_etc.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The lines of a dbinit file already open; same results as Etc_dbinit_set. */
int32_t etc_dbinit_read_stream(FILE *stream, int32_t echo);

/* The service name of a services file already open; same results as
 * Etc_service_get. */
int32_t etc_service_read_stream(FILE *stream, char *name);

/* Splits a dbinit line into its verb and argument words (each up to the next
 * white space; text after the second word is ignored). Returns 1 with both
 * set, 0 for a comment, an empty line or a line without two words. */
int32_t etc_dbinit_split(const char *line, const char **verb, size_t *verb_length,
                         const char **argument, size_t *argument_length);

#ifdef __cplusplus
}
#endif

#endif
