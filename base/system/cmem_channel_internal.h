// The coordinated-memory transport: two threads of one process hand each
// other a channel's bytes through a ring per direction
// (base/system/mem_ring_internal.h): a writer copies its bytes into the ring
// and goes on, waiting only while the ring is full; a reader takes as much as
// it asks for of what is there, waiting only while the ring is empty, and a
// read larger than what is there takes what is there (the byte layer above
// asks again for the rest). Neither takes a lock or makes a system call while
// bytes or room are there: a waiter looks again for a moment, then sleeps on
// an event that the other end sets after it publishes.
//
// Each end is the object of one channel; two ends are connected before any
// transfer and each serves one thread. The state of a pair is shared by its
// two ends and outlives the first one destroyed: destroying an end publishes
// what it wrote and wakes the thread waiting on the other, whose reads take
// what is left and then fail and whose writes fail, so neither side is left
// waiting or reading freed memory. An end that is not connected fails every
// transfer at once. A transfer of 0 bytes moves nothing and leaves the pair
// as it was.
#ifndef CMEM_CHANNEL_INTERNAL_H
#define CMEM_CHANNEL_INTERNAL_H

#include <stdint.h>

#include "base/system/so_channel_internal.h"

/* Bytes of one direction's ring (a power of two): the most a writer gets
 * ahead of its reader. */
#define CMEM_RING_SIZE 65536

typedef struct CMEM CMEM;

/* A new end, not connected; null when no memory. */
CMEM *cmem_create(void);
/* Makes a and b each other's peer: 0, or -1 when either is null, they are
 * the same end, either is connected already, or no memory. */
int32_t cmem_connect(CMEM *a, CMEM *b);
/* Closes the end (a peer waiting on it wakes and fails) and frees it; null
 * is ignored. */
void cmem_destroy(CMEM *end);
/* Copies n bytes into the ring, waiting while it is full, and publishes
 * them: n, or 0 when they could not all be handed over (not connected, the
 * peer closed, bad arguments). */
int32_t cmem_write(CMEM *end, const void *address, int32_t n);
/* Waits for bytes of the peer and copies at most n of them (this end's
 * staged output is published first): the bytes taken (1 to n), or 0 when
 * none can come (not connected, the peer closed with nothing left, bad
 * arguments). */
int32_t cmem_read(CMEM *end, void *destination, int32_t n);
/* 1 when the peer has published bytes not yet taken, else 0 (-1 for an end
 * that is not connected). Publishes this end's staged output. */
int32_t cmem_data_waiting(CMEM *end);

/* The byte link of an end, for an unbuffered socket-transport record layer
 * (so_create_on_link with area sizes 0). Its sends are staged in the ring
 * (published when the ring fills, by cmem_publish, and before the end reads
 * or polls); its receives publish first. */
SO_LINK cmem_link(CMEM *end);
/* Publishes what the end has staged and taken, waking the peer. */
void cmem_publish(CMEM *end);

#endif
