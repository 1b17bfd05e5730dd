// The coordinated-memory transport: two threads of one process hand each
// other a channel's bytes with no buffer between them. A writer publishes the
// address and length of its own bytes and waits until the reader has copied
// all of them; the reader copies straight out of the writer's memory, as much
// as it asks for, and a read larger than what is published takes what is
// there (the byte layer above asks again for the rest).
//
// Each end is the object of one channel; two ends are connected before any
// transfer and each serves one thread. The state of a pair is shared by its
// two ends and outlives the first one destroyed: destroying an end wakes the
// thread waiting on the other, whose transfer then fails, so neither side is
// left waiting or reading freed memory. An end that is not connected fails
// every transfer at once. A transfer of 0 bytes moves nothing and leaves the
// pair as it was.
#ifndef CMEM_CHANNEL_INTERNAL_H
#define CMEM_CHANNEL_INTERNAL_H

#include <stdint.h>

#include "base/system/so_channel_internal.h"

typedef struct CMEM CMEM;

/* A new end, not connected; null when no memory. */
CMEM *cmem_create(void);
/* Makes a and b each other's peer: 0, or -1 when either is null, they are
 * the same end, either is connected already, or no memory. */
int32_t cmem_connect(CMEM *a, CMEM *b);
/* Closes the end (a peer waiting on it wakes and fails) and frees it; null
 * is ignored. */
void cmem_destroy(CMEM *end);
/* Publishes n bytes at address and waits until the peer has taken all of
 * them: n, or 0 when they could not be handed over (not connected, the peer
 * closed, bad arguments). */
int32_t cmem_write(CMEM *end, const void *address, int32_t n);
/* Waits for the peer's publication and copies at most n bytes of it: the
 * bytes taken (1 to n), or 0 when none can come (not connected, the peer
 * closed with nothing published, bad arguments). */
int32_t cmem_read(CMEM *end, void *destination, int32_t n);
/* 1 when the peer has published bytes not yet taken, else 0 (-1 for an end
 * that is not connected). */
int32_t cmem_data_waiting(CMEM *end);

/* The byte link of an end, for an unbuffered socket-transport record layer
 * (so_create_on_link with area sizes 0). */
SO_LINK cmem_link(CMEM *end);

#endif
