// What the channel object and the tests need of the socket transport beyond
// its exported members: the record itself, the flush and readiness questions
// of the channel, the buffered byte moves, and the link seam through which
// the transport reaches its socket (a test or a fuzz target gives it another).
#ifndef SO_CHANNEL_INTERNAL_H
#define SO_CHANNEL_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include "base/system/raw_form_internal.h"
#include "base/system/so_channel.h"

/* The byte link beneath a transport. recv and send make one call of at most
 * n bytes and answer what a socket would: the bytes moved, 0 (recv: the peer
 * has closed), or -1. poll answers whether input is waiting, without waiting:
 * above 0 yes, 0 no, -1 error. */
typedef struct SO_LINK {
    void *ctx;
    ssize_t (*recv)(void *ctx, void *dst, size_t n);
    ssize_t (*send)(void *ctx, const void *src, size_t n);
    int (*poll)(void *ctx);
} SO_LINK;

/* The socket transport. The bytes to be read are [read_pos, read_end) of the
 * read area (both back at its start once they meet); the bytes waiting to be
 * sent are [write_area, write_end). buffer holds the read area followed by
 * the write area, from VES_buffer_alloc. */
struct SO_CHANNEL {
    int socket;
    uint8_t *buffer;
    int32_t read_size;
    uint8_t *read_pos;
    uint8_t *read_end;
    uint8_t *write_area;
    int32_t write_size;
    uint8_t *write_pos;
    uint8_t *write_end;
    int32_t broken; /* a transfer failed: the stream is out of step */
    SO_LINK link;
    void (*close_link)(void *ctx); /* frees what the link reads from, or null */
};

/* Largest recv a transport asks for in one call. */
#define SO_RECV_MAX 65535

/* The link of a socket (what SO_create uses). */
SO_LINK so_socket_link(int socket);
/* SO_create over another link; the socket field is -1. */
SO_CHANNEL *so_create_on_link(const SO_LINK *link, int32_t write_size, int32_t read_size);
/* An unbuffered transport over a link whose object it owns: SO_destroy
 * closes it with close (ctx). Null when no memory (the object stays the
 * caller's). */
SO_CHANNEL *so_create_owning_link(const SO_LINK *link, void (*close)(void *ctx));

/* The table of the raw forms over a memory transport's link, for the current
 * or the older release (ch_transport_internal.h): the socket's members, with
 * a flush that has nothing to send and, for an older peer, filter arrays
 * whose images and relation texts stay current and whose coordinate
 * references are old. */
typedef struct CH_TRANSPORT CH_TRANSPORT;
const CH_TRANSPORT *so_memory_transport(int32_t old_release);

/* Sends the pending bytes: 0, or -1 when not all went out (they stay
 * pending and the transport is broken). */
int32_t so_flush(SO_CHANNEL *so);
/* Whether input waits on the link itself (bytes already in the read area
 * are not counted): above 0 yes, 0 no, -1 error or a broken transport. */
int32_t so_data_waiting(SO_CHANNEL *so);
/* n bytes through the write area, or straight to the link when the area
 * cannot take them: n, or -1. */
int32_t so_write_buffered(SO_CHANNEL *so, const void *bytes, int32_t n);
/* n bytes from the read area, filled from the link as needed, or straight
 * from the link for a piece larger than the area; pending output is sent
 * first. n, or -1. */
int32_t so_read_buffered(SO_CHANNEL *so, void *dst, int32_t n);
/* Receives at least minimum and at most maximum bytes into dst, at most
 * SO_RECV_MAX per call: the bytes received (fewer than minimum when the peer
 * closed), or -1. */
int32_t so_recv_at_least(const SO_LINK *link, void *dst, int32_t minimum, int32_t maximum);

/* The byte transport of the raw forms over a socket transport. */
RAW_IO so_raw_io(SO_CHANNEL *so);

#endif
