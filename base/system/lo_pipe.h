/* Local named pipes between the control process and a process on the same
 * machine: one pipe each way, carrying longs (4 bytes), shorts (2 bytes) and
 * strings (a 4-byte length n of at least 1, then the n characters without a
 * terminator), all little-endian. Pipes are made by child-process management
 * (subprograms.h) and opened from the other end with LO_open_client. */
#ifndef LO_PIPE_H
#define LO_PIPE_H

#include <stddef.h>
#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One end of a pipe; opaque. */
typedef struct PLAT_PIPE LO_PIPE;

/* Opens the client ends of a pair: waits up to 10 seconds for each pipe to be
 * there and free (the one to read first), then opens it. 0, or -1 with a line
 * "error waiting for read pipe (%d)" or "error waiting for write pipe (%d)" on
 * standard error when a wait fails. The caller closes both with LO_close. */
ZEL_API int32_t LO_open_client(const char *write_name, const char *read_name, LO_PIPE **write_pipe,
                               LO_PIPE **read_pipe);
/* Waits for the client on each server end in turn; a client that connected
 * before counts. 0, or -1 (the first end is disconnected again when the second
 * fails). */
ZEL_API int32_t LO_open_server(LO_PIPE *first, LO_PIPE *second);
/* Answers 1. */
ZEL_API int32_t LO_wait_for_client(void);

/* 0, or -1 when the transfer fails or the peer has gone. */
ZEL_API int32_t LO_read_long(LO_PIPE *pipe, int32_t *value);
ZEL_API int32_t LO_write_long(LO_PIPE *pipe, int32_t value);
ZEL_API int32_t LO_read_short(LO_PIPE *pipe, int16_t *value);
ZEL_API int32_t LO_write_short(LO_PIPE *pipe, int16_t value);
/* Reads a string into buffer (size bytes) and terminates it. -1 for a failed
 * read or a length of 0; a length that does not fit the buffer is refused
 * before any character is read, and the connection is closed (the
 * characters left on it would be taken for the next value). */
ZEL_API int32_t LO_read_string(LO_PIPE *pipe, char *buffer, size_t size);
/* -1 for an empty string (nothing is sent) or a failed write. */
ZEL_API int32_t LO_write_string(LO_PIPE *pipe, const char *string);

/* Closes an end; non-zero on success. The instance's pipes that
 * SubPrograms_StartProgram hands out belong to child-process management,
 * which closes them at SubPrograms_End: LO_close refuses them (0). */
ZEL_API int32_t LO_close(LO_PIPE *pipe);
/* Drops the client of a server end, which can then wait for the next one;
 * non-zero on success, 0 on a client end. */
ZEL_API int32_t LO_disconnect(LO_PIPE *pipe);

#ifdef __cplusplus
}
#endif

#endif
