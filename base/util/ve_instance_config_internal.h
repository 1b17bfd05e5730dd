// The configuration reader's steps on a stream already open (also driven by
// the fuzz target) and its line reader.
#ifndef VE_INSTANCE_CONFIG_INTERNAL_H
#define VE_INSTANCE_CONFIG_INTERNAL_H

#include <stddef.h>
#include <stdio.h>

#include "base/util/ve_instance_config.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Steps of the reader after the file is open: reads every line of the stream
 * into the record (already holding its defaults), then reports, applies the
 * buffer floors and checks the array sizes. Same results as the reader. */
int32_t ves_config_read_stream(VE_INSTANCE_CONFIG *config, FILE *stream, int32_t quiet);

/* Reads one line of at most size - 1 characters into line without its
 * newline; the rest of a longer line is read and dropped. Returns 1 for a
 * line, 0 at the end of the stream. */
int32_t ves_read_text_line(FILE *stream, char *line, size_t size);

#ifdef __cplusplus
}
#endif

#endif
