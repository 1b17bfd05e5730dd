// Stream sockets as the channel needs them: one send or receive per call that
// never raises SIGPIPE, survives interrupted calls and waits out a full or empty
// non-blocking socket, while a receive or send time-out set on a blocking
// socket fails the call; readiness by poll (any descriptor number, unlike
// select); every socket made here is close-on-exec, so child processes do not
// inherit client connections.
#ifndef PLAT_SOCKET_INTERNAL_H
#define PLAT_SOCKET_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

/* One send of up to n bytes. Returns the bytes sent (above 0 for n above 0),
 * or -1 (errno set; EPIPE for a closed peer, no signal). An interrupted call
 * is repeated; a non-blocking socket that is full is waited for; a send
 * time-out (SO_SNDTIMEO) that runs out is a failure (-1, errno EAGAIN). */
ssize_t plat_socket_send(int fd, const void *bytes, size_t n);
/* One receive of up to n bytes. Returns the bytes received, 0 when the peer
 * has closed, or -1 (errno set). Interrupted calls are repeated; an empty
 * non-blocking socket is waited for; a receive time-out (SO_RCVTIMEO) that
 * runs out is a failure (-1, errno EAGAIN). */
ssize_t plat_socket_recv(int fd, void *dst, size_t n);

#define PLAT_SOCKET_READABLE 1
#define PLAT_SOCKET_WRITABLE 2
/* Waits up to timeout_ms (0: just looks, -1: no limit) until the socket is
 * ready for what `what` asks (PLAT_SOCKET_*). A closed or failed peer counts
 * as ready, as select would report it. 1 ready, 0 not, -1 error. */
int plat_socket_poll(int fd, int what, int timeout_ms);

/* A TCP socket listening on 127.0.0.1; *port is the port asked for (0: any)
 * and receives the port bound. The descriptor, or -1. */
int plat_socket_listen_loopback(uint16_t *port);
/* The next connection on a listening socket, or -1. */
int plat_socket_accept(int listener);
/* A TCP connection to host (a name or a dotted address) and port, or -1. */
int plat_socket_connect(const char *host, uint16_t port);
/* A connected pair of local stream sockets; 0, or -1. */
int plat_socket_pair(int fds[2]);
/* Sends segments at once instead of waiting to fill them; 0 or -1. */
int plat_socket_set_nodelay(int fd);
/* Ends the connection with a reset instead of an orderly close; 0 or -1. */
int plat_socket_abort(int fd);
/* Shuts down the sending direction (the peer then reads end of data). */
int plat_socket_shutdown_send(int fd);
int plat_socket_close(int fd);

#endif
