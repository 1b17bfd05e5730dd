// Local named pipes standing in for Windows named pipes: the name
// "\\.\pipe\NAME" (or plain NAME) is a Unix-domain stream socket NAME in the
// run folder, ZELRUN or else "<temporary folder>/zelrun-<user id>", which must
// belong to this user and be closed to everyone else (mode 0700; made so when
// missing). One client at a time holds a pipe: it locks "NAME.lock" beside the
// socket for as long as its end is open, and a second client waits. Errors
// are the C library's error numbers.
#ifndef PLAT_PIPE_INTERNAL_H
#define PLAT_PIPE_INTERNAL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PLAT_PIPE PLAT_PIPE;

/* The socket path of a pipe name, in path (size bytes); EINVAL for an empty
 * name or one with "/" or naming "." or "..", ENAMETOOLONG when the path does
 * not fit a socket address or path. Does not touch the run folder. */
int plat_pipe_path(const char *name, char *path, size_t size);

/* Server end: makes the run folder when missing, checks it, and listens on
 * the name (an earlier socket of the name is replaced). Its close removes the
 * name. */
int plat_pipe_create(const char *name, PLAT_PIPE **pipe);
/* Waits without a time limit for a client of a server end; 0 at once when one
 * is connected already. */
int plat_pipe_accept(PLAT_PIPE *pipe);
/* Drops the client of a server end, which listens on; EINVAL on a client end. */
int plat_pipe_disconnect(PLAT_PIPE *pipe);

/* Client end: waits up to timeout_ms until the pipe exists and no other
 * client holds it, then connects; ETIMEDOUT when that time passes. */
int plat_pipe_connect(const char *name, int timeout_ms, PLAT_PIPE **pipe);
/* A client end over a connected stream socket the caller hands over. */
int plat_pipe_adopt(int fd, PLAT_PIPE **pipe);

/* Reads exactly size bytes; EPIPE when the peer has gone first. */
int plat_pipe_read(PLAT_PIPE *pipe, void *data, size_t size);
/* Writes all size bytes; EPIPE when the peer has gone. */
int plat_pipe_write(PLAT_PIPE *pipe, const void *data, size_t size);
/* Closes the connection after its peer broke the protocol (what it sent
 * after that is dropped); later reads and writes fail with EINVAL. The
 * handle stays to be closed, and a server end can accept the next client. */
void plat_pipe_break(PLAT_PIPE *pipe);
void plat_pipe_close(PLAT_PIPE *pipe);

/* Marks a pipe as kept by its maker, whose own close alone may end it; other
 * owners ask plat_pipe_kept before they close. */
void plat_pipe_keep(PLAT_PIPE *pipe);
int plat_pipe_kept(const PLAT_PIPE *pipe);

#ifdef __cplusplus
}
#endif

#endif
