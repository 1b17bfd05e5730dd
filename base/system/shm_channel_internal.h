// The shared-memory transport: two processes of one machine exchange a
// channel's bytes through one named mapping, guarded by one named mutex and
// woken through four named auto-reset events. One side creates the named
// objects (shm_client_init), the other opens them (SHM_server_init); each
// then opens the other process by its id (shm_open_peer_process), so that
// a wait notices when the peer has died.
//
// The mapping "%sZEL_chanl_shared_memory_%s" (SHM_AREA) holds a word per
// side that is set when that side has closed, then one ring per direction
// (base/system/mem_ring_internal.h): the creating side writes the first
// ("wrbuf") and reads the second ("rdbuf"), so the two directions never
// overwrite each other, and a writer adds bytes only where the reader has
// taken them. Bytes move without a lock: each side owns one counter of each
// ring and keeps it privately, and the other side's counters, which that
// process can write anything into, are loaded once per step and checked
// before they steer a copy. A writer waits only while its ring is full, a
// reader only while its ring is empty: each first looks again for a moment,
// then sleeps on an event that the other side sets after it publishes.
//
// Named objects ("%s" the prefix, then the channel name; the creating side's
// prefix would be "Global\\" on Windows NT 5, so it is empty here, and the
// opening side never uses one):
//   "%sZEL_wrbuf_buf_lock_%s"     mutex, not held; taken to mark a side closed
//   "%sZEL_wrbuf_ok_to_write_%s"  creating side's write ok-to-write, the
//                                 opening side's read ok-to-write (signalled)
//   "%sZEL_wrbuf_ok_to_read_%s"   creating side's write ok-to-read, the
//                                 opening side's read ok-to-read (not signalled)
//   "%sZEL_rdbuf_ok_to_write_%s"  creating side's read ok-to-write, the
//                                 opening side's write ok-to-write (signalled)
//   "%sZEL_rdbuf_ok_to_read_%s"   creating side's read ok-to-read, the opening
//                                 side's write ok-to-read (signalled; the
//                                 opening side clears it)
//
// A counter of the other side that is impossible (a tail more than a ring
// ahead of the head, or behind it) fails the transfer instead of steering a
// copy.
//
// Every wait of a transfer waits in rounds of SHM_WAIT_ROUND_MS; between
// rounds it tests the peer process, and once the peer has ended (or when no
// peer is known) the transfer fails, and so does every later one. A side
// that is destroyed marks itself closed and wakes the other: a reader then
// takes what was written before and fails once its area is empty, a writer
// fails at once.
#ifndef SHM_CHANNEL_INTERNAL_H
#define SHM_CHANNEL_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "base/system/so_channel_internal.h"

/* Bytes of one direction's ring (a power of two): the most a writer gets
 * ahead of its reader. */
#define SHM_AREA_SIZE 131072
/* The length of one wait before the peer process is tested. */
#define SHM_WAIT_ROUND_MS 2000

/* Results of the set-ups. */
#define SHM_EXISTS (-1)          /* create: the mapping exists already */
#define SHM_MAPPING_FAILED (-12) /* the mapping cannot be created, opened or mapped */
#define SHM_NO_MEMORY (-13)      /* no memory; create: the view cannot be mapped */
#define SHM_SYNC_FAILED (-109)   /* the mutex or an event cannot be made or opened */

typedef struct SHM_OBJECT SHM_OBJECT;

#ifdef __cplusplus
#include "base/system/mem_ring_internal.h"

/* One direction in the mapping. */
struct SHM_RING {
    MEM_RING_WORDS words;
    alignas(64) uint8_t data[SHM_AREA_SIZE];
};

/* The mapping. Side 0 creates the objects and writes to_opener; side 1 opens
 * them and writes to_creator. */
struct SHM_AREA {
    uint32_t closed[2];
    SHM_RING to_opener;
    SHM_RING to_creator;
};
#endif

/* Creates the named objects of channel_name: 0 and *object, or one of the
 * results above (-65 for a null or empty name, -66 for one too long), after
 * closing what was made. */
int32_t shm_client_init(SHM_OBJECT **object, const char *channel_name);
/* Opens the named objects of channel_name (printing to standard error what
 * could not be opened): 0 and *object, or one of the results above. */
int32_t SHM_server_init(SHM_OBJECT **object, const char *channel_name);
/* Opens the peer process for the waits: 0, or -1 when the object is null or
 * no process has that id. A peer opened before is closed first. */
int32_t shm_open_peer_process(SHM_OBJECT *object, int32_t process_id);
/* Copies n bytes into this side's outgoing ring, waiting while it is full,
 * and publishes them: n, or 0 when they could not all be handed over (no
 * peer, the peer died or closed, an impossible counter, bad arguments). A
 * write of 0 bytes answers 0 and touches nothing. */
int32_t shm_write(SHM_OBJECT *object, const void *address, int32_t n);
/* Takes n bytes from this side's incoming ring, waiting while it is empty
 * (this side's staged output is published first): n, or 0 when they could
 * not all come. */
int32_t shm_read(SHM_OBJECT *object, void *destination, int32_t n);
/* 1 when bytes wait in the incoming ring, 0 when none, -1 on failure (no
 * peer, an impossible counter). Publishes this side's staged output. */
int32_t shm_data_waiting(SHM_OBJECT *object);
/* Publishes what this side staged, marks it closed, wakes the peer, closes
 * every handle and frees the object; null is ignored. */
void shm_destroy(SHM_OBJECT *object);
/* The system's text of an error number into text (size bytes, always
 * terminated); when there is none, a message to standard error and an empty
 * text. Returns text. */
char *shm_get_error_text(int error, char *text, size_t size);

/* The byte link of a side, for an unbuffered socket-transport record layer
 * (so_create_on_link with area sizes 0). Its sends are staged in the ring
 * (published when the ring fills, by shm_publish, and before this side reads
 * or polls); its receives publish first. */
SO_LINK shm_link(SHM_OBJECT *object);
/* Publishes what this side has staged and taken, waking the peer. */
void shm_publish(SHM_OBJECT *object);

#endif
