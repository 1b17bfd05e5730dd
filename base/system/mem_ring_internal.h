// The ring that both memory transports hand bytes through (cmem_channel.cpp
// in one process, shm_channel.cpp between two): one writer and one reader per
// direction, no lock and no system call while bytes or room are there.
//
// A ring is a power-of-two data area and two 32-bit counters: tail, the bytes
// ever written (only the writer stores it), and head, the bytes ever taken
// (only the reader stores it); both run on past 2^32. Each end keeps its own
// counter privately and only stores it into the ring (never reads it back), so
// a peer that scribbles over the ring cannot steer its own side. The peer's
// counter is loaded once per step into the end's view and checked before it
// is used: the distance tail - head can never exceed the area.
//
// A writer stages bytes under its private tail and publishes them with one
// store (a record's pieces go out together); a reader takes bytes under its
// private head and publishes its progress every quarter of the area, and
// whenever it finds the ring empty, so that a writer waiting for room sees it.
// Whoever waits spins briefly, then marks itself asleep and sleeps on an
// event, which the other end sets when a publication finds the mark. A
// publication is a store and a look at the mark with no fence between them:
// the sleeper pays instead, with a barrier through every thread of the
// processes involved (platform/plat_barrier_internal.h) after it marks
// itself, so that either its look again sees the publication or the
// publisher sees its mark. Where that barrier is missing, publishers fence
// and sleepers sleep in short rounds.
#ifndef MEM_RING_INTERNAL_H
#define MEM_RING_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include <atomic>
#include <cstring>

#include "base/system/ch_transport_internal.h"
#include "base/system/so_channel_internal.h"
#include "platform/plat_barrier_internal.h"

/* The counters of one direction, each on a cache line of its own so that the
 * writer's and the reader's stores do not fight over one line, and the
 * marks of a sleeping reader or writer, which change only around a sleep. */
struct MEM_RING_WORDS {
    alignas(64) uint32_t tail;
    alignas(64) uint32_t head;
    alignas(64) uint32_t reader_sleeps;
    uint32_t writer_sleeps;
};

/* Whether publishers of this process may leave the fence to sleepers. */
inline bool mem_ring_light(void)
{
    static const bool light = plat_barrier_register() == 1;
    return light;
}

/* One end of a direction: the ring it works on and its private counters. */
struct MEM_RING_END {
    MEM_RING_WORDS *words;
    uint8_t *data;
    uint32_t size;      /* a power of two */
    uint32_t own;       /* writer: its tail; reader: its head */
    uint32_t published; /* the value of own last stored into the ring */
    uint32_t peer;      /* the peer's counter as last loaded and checked */
};

inline void mem_ring_end_init(MEM_RING_END *end, MEM_RING_WORDS *words, uint8_t *data,
                              uint32_t size)
{
    end->words = words;
    end->data = data;
    end->size = size;
    end->own = end->published = end->peer = 0;
}

inline uint32_t mem_ring_load(const uint32_t *word)
{
    return std::atomic_ref<uint32_t>(*const_cast<uint32_t *>(word)).load(std::memory_order_acquire);
}

inline void mem_ring_store(uint32_t *word, uint32_t value)
{
    std::atomic_ref<uint32_t>(*word).store(value, std::memory_order_release);
}

/* Writer: bytes of room by the view; when it shows none, the reader's head
 * is loaded once more. -1 when the head is impossible (it ran past the tail,
 * or left more than the area unread). */
inline int64_t mem_ring_room(MEM_RING_END *w)
{
    uint32_t used = w->own - w->peer;
    if (used == w->size) {
        const uint32_t head = mem_ring_load(&w->words->head);
        used = w->own - head;
        if (used > w->size)
            return -1;
        w->peer = head;
    }
    return static_cast<int64_t>(w->size - used);
}

/* Reader: bytes waiting by the view; when it shows none, the writer's tail is
 * loaded once more. -1 when the tail is impossible. */
inline int64_t mem_ring_waiting(MEM_RING_END *r)
{
    uint32_t waiting = r->peer - r->own;
    if (waiting == 0) {
        const uint32_t tail = mem_ring_load(&r->words->tail);
        waiting = tail - r->own;
        if (waiting > r->size)
            return -1;
        r->peer = tail;
    }
    return static_cast<int64_t>(waiting);
}

/* Writer: copies n bytes (at most the room) behind the tail, unpublished. */
inline void mem_ring_put(MEM_RING_END *w, const uint8_t *src, uint32_t n)
{
    const uint32_t at = w->own & (w->size - 1);
    const uint32_t first = n < w->size - at ? n : w->size - at;
    std::memcpy(w->data + at, src, first);
    std::memcpy(w->data, src + first, n - first);
    w->own += n;
}

/* Reader: copies n bytes (at most those waiting) out of the ring. */
inline void mem_ring_take(MEM_RING_END *r, uint8_t *dst, uint32_t n)
{
    const uint32_t at = r->own & (r->size - 1);
    const uint32_t first = n < r->size - at ? n : r->size - at;
    std::memcpy(dst, r->data + at, first);
    std::memcpy(dst + first, r->data, n - first);
    r->own += n;
}

/* Stores the end's counter into the ring when it moved: true when the peer
 * has marked itself asleep (the caller then sets the peer's event). */
inline bool mem_ring_publish(MEM_RING_END *end, uint32_t *word, uint32_t *peer_sleeps)
{
    if (end->own == end->published)
        return false;
    mem_ring_store(word, end->own);
    end->published = end->own;
    if (mem_ring_light())
        std::atomic_signal_fence(std::memory_order_seq_cst);
    else
        std::atomic_thread_fence(std::memory_order_seq_cst);
    return std::atomic_ref<uint32_t>(*peer_sleeps).load(std::memory_order_relaxed) != 0;
}

inline bool mem_ring_publish_tail(MEM_RING_END *w)
{
    return mem_ring_publish(w, &w->words->tail, &w->words->reader_sleeps);
}

inline bool mem_ring_publish_head(MEM_RING_END *r)
{
    return mem_ring_publish(r, &r->words->head, &r->words->writer_sleeps);
}

/* Marks the end asleep (its own mark: the reader's or the writer's) before
 * it looks once more and sleeps: true when it may sleep until woken, false
 * when it must sleep in short rounds (no barrier could be had). */
inline bool mem_ring_mark_asleep(uint32_t *mark)
{
    std::atomic_ref<uint32_t>(*mark).store(1, std::memory_order_seq_cst);
    mem_ring_light(); // registered before the first barrier
    return plat_barrier_all() == 0;
}

inline void mem_ring_mark_awake(uint32_t *mark)
{
    std::atomic_ref<uint32_t>(*mark).store(0, std::memory_order_relaxed);
}

/* The length of a short round, in milliseconds. */
#define MEM_RING_SHORT_WAIT_MS 1

/* Reader: whether its progress is due to be published without waiting. */
inline bool mem_ring_head_due(const MEM_RING_END *r)
{
    return r->own - r->published >= r->size / 4;
}

/* How often a waiter looks again before it sleeps. */
#define MEM_RING_SPINS 1000

inline void mem_ring_relax(void)
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

/* The sizes of a memory transport's write and read areas in the record
 * layer: a record's pieces collect in the write area and reach the ring in
 * one copy when the record is written; a read takes as much as the ring
 * holds into the read area. */
#define MEM_RING_WRITE_AREA 8192
#define MEM_RING_READ_AREA 16384

/* A memory transport's end: the record layer with its areas over the link,
 * owning the link's object (closed by close when the end is destroyed). */
inline SO_CHANNEL *mem_ring_end_create(const SO_LINK *link, void (*close)(void *ctx))
{
    SO_CHANNEL *so = so_create_on_link(link, MEM_RING_WRITE_AREA, MEM_RING_READ_AREA);
    if (so != nullptr)
        so->close_link = close;
    return so;
}

/* A memory transport's table: the record members of the raw forms
 * (so_memory_transport), each write member followed by sending what the
 * record left in the write area and publishing it (publish (link object)),
 * a flush that answers 0 and data waiting that counts the read area: nothing
 * a record writes is held past it, and no flush is needed. */
template <void (*Publish)(void *ctx)> struct mem_ring_table {
    static int32_t send(void *end)
    {
        auto *so = static_cast<SO_CHANNEL *>(end);
        const int32_t rc = so_flush(so);
        Publish(so->link.ctx);
        return rc;
    }

    template <auto Member, int32_t Old> struct wrap;
    template <typename... A, int32_t (*CH_TRANSPORT::*Member)(void *, A...), int32_t Old>
    struct wrap<Member, Old> {
        static int32_t call(void *end, A... args)
        {
            static const auto inner = so_memory_transport(Old)->*Member;
            const int32_t rc = inner(end, args...);
            return send(end) != 0 && rc == 0 ? -1 : rc;
        }
    };

    // Every record is sent when it is written: a flush has nothing of its
    // own to report (a failed send has already failed its record).
    static int32_t flush(void *end)
    {
        send(end);
        return 0;
    }

    static int32_t data_waiting(void *end)
    {
        auto *so = static_cast<SO_CHANNEL *>(end);
        if (so->broken)
            return -1;
        if (so->read_end > so->read_pos)
            return 1;
        return so_data_waiting(so);
    }

    template <int32_t Old> static CH_TRANSPORT make()
    {
        CH_TRANSPORT t = *so_memory_transport(Old);
#define MEM_RING_WRAP(NAME, ...) t.write_##NAME = wrap<&CH_TRANSPORT::write_##NAME, Old>::call;
        CH_FAMILY(MEM_RING_WRAP, MEM_RING_WRAP, MEM_RING_WRAP, MEM_RING_WRAP, MEM_RING_WRAP)
        CH_OWN_SHAPES(MEM_RING_WRAP)
#undef MEM_RING_WRAP
        t.writef = wrap<&CH_TRANSPORT::writef, Old>::call;
        t.flush = flush;
        t.data_waiting = data_waiting;
        return t;
    }

    static const CH_TRANSPORT *get(int32_t old_release)
    {
        static const CH_TRANSPORT current = make<0>(), older = make<1>();
        return old_release ? &older : &current;
    }
};

#endif
