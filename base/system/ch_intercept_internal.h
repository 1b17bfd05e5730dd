// The intercept trace of a channel: what the channel and the command trace
// share of it so far. A traced channel holds an open file and a mode (the
// CH_INTERCEPT_ bits); the time stamp and the flush after every line are
// decided per process, by the last channel made, and shared by all channels
// of the process.
#ifndef CH_INTERCEPT_INTERNAL_H
#define CH_INTERCEPT_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* Mode bits of a traced channel. */
#define CH_INTERCEPT_R 1  /* records read */
#define CH_INTERCEPT_W 2  /* records written */
#define CH_INTERCEPT_C 4  /* command codes */
#define CH_INTERCEPT_T 8  /* time stamps */
#define CH_INTERCEPT_F 16 /* flush after every line */

/* Time formats of the stamps: hours, minutes and seconds, or minutes and
 * seconds. */
#define CH_INTERCEPT_TIME_LONG "%H:%M:%S"
#define CH_INTERCEPT_TIME_SHORT "%M:%S"

/* Room of a record prefix: "[", the tag, a blank, the time and "]". */
#define CH_INTERCEPT_PREFIX_SIZE 32

/* Sets the process's trace flags: time stamps in time_format (one of the
 * CH_INTERCEPT_TIME_ formats; null for none) and the flush after every line
 * when flush is non-zero. */
void ch_intercept_reset(const char *time_format, int32_t flush);
/* Whether every trace line is flushed. */
int32_t ch_intercept_flush_flag(void);
/* The prefix of a trace line into out (size bytes): "[tag]", or "[tag time]"
 * when time stamps are on. */
void ch_intercept_make_prefix(const char *tag, char *out, size_t size);
/* Clears the process's time and flush flags and closes the file, when open,
 * nulling the slot. */
void ch_intercept_close(FILE **file);

#endif
