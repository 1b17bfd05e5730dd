// The coordinated-memory transport (cmem_channel_internal.h): a ring per
// direction in memory the two ends share, and futex events for the waits.
#include "base/system/cmem_channel_internal.h"

#include <memory>
#include <new>

#include "base/system/ch_transport_internal.h"
#include "base/system/mem_ring_internal.h"
#include "platform/plat_shared_event_internal.h"
#include "platform/plat_wait_internal.h"

namespace
{

// One direction: written by one end, read by the other.
struct Ring {
    MEM_RING_WORDS words = {};
    PLAT_EVENT_WORD bytes_came; // set by the writer after it publishes
    PLAT_EVENT_WORD room_came;  // set by the reader after it publishes
    alignas(64) uint8_t data[CMEM_RING_SIZE];
};

struct Pair {
    Ring rings[2]; // written by end 0 and end 1
    uint32_t closed[2] = {0, 0};
    Pair()
    {
        for (Ring &r : rings) {
            plat_event_word_init(&r.bytes_came, 0, 0);
            plat_event_word_init(&r.room_came, 0, 0);
        }
    }
};

} // namespace

struct CMEM {
    std::shared_ptr<Pair> pair; // null until connected
    int side = 0;
    MEM_RING_END out = {}; // writes rings[side]
    MEM_RING_END in = {};  // reads rings[1 - side]
};

CMEM *cmem_create(void)
{
    return new (std::nothrow) CMEM;
}

static void S_attach(CMEM *end, const std::shared_ptr<Pair> &pair, int side)
{
    end->pair = pair;
    end->side = side;
    Ring &out = pair->rings[side], &in = pair->rings[1 - side];
    mem_ring_end_init(&end->out, &out.words, out.data, CMEM_RING_SIZE);
    mem_ring_end_init(&end->in, &in.words, in.data, CMEM_RING_SIZE);
}

int32_t cmem_connect(CMEM *a, CMEM *b)
{
    if (a == nullptr || b == nullptr || a == b || a->pair != nullptr || b->pair != nullptr)
        return -1;
    try {
        auto pair = std::make_shared<Pair>();
        S_attach(a, pair, 0);
        S_attach(b, pair, 1);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

static Ring &S_out(CMEM *end)
{
    return end->pair->rings[end->side];
}

static Ring &S_in(CMEM *end)
{
    return end->pair->rings[1 - end->side];
}

static bool S_peer_closed(CMEM *end)
{
    return mem_ring_load(&end->pair->closed[1 - end->side]) != 0;
}

void cmem_publish(CMEM *end)
{
    if (end == nullptr || end->pair == nullptr)
        return;
    if (mem_ring_publish_tail(&end->out))
        plat_event_word_set(&S_out(end).bytes_came);
    if (mem_ring_publish_head(&end->in))
        plat_event_word_set(&S_in(end).room_came);
}

void cmem_destroy(CMEM *end)
{
    if (end == nullptr)
        return;
    if (end->pair != nullptr) {
        cmem_publish(end);
        mem_ring_store(&end->pair->closed[end->side], 1);
        // Wakes the peer's reader and writer.
        plat_event_word_set(&S_out(end).bytes_came);
        plat_event_word_set(&S_in(end).room_came);
    }
    delete end;
}

// Room in the outgoing ring: above 0, 0 when none yet, -1 once the peer has
// closed.
static int64_t S_room(CMEM *end)
{
    return S_peer_closed(end) ? -1 : mem_ring_room(&end->out);
}

// Bytes waiting in the incoming ring: above 0, 0 when none yet, -1 once the
// peer has closed with nothing left.
static int64_t S_bytes(CMEM *end)
{
    int64_t waiting = mem_ring_waiting(&end->in);
    if (waiting == 0 && S_peer_closed(end)) {
        waiting = mem_ring_waiting(&end->in); // what came before the close
        return waiting == 0 ? -1 : waiting;
    }
    return waiting;
}

// Waits until look answers other than 0: first looking again for a moment,
// then asleep on the event under the end's mark. Publishes the end's staged
// output and progress first: the peer may wait for them before it can
// answer. Above 0, or 0 when nothing will come.
static uint32_t S_await(CMEM *end, int64_t (*look)(CMEM *), uint32_t *mark, PLAT_EVENT_WORD *event)
{
    int64_t got = look(end);
    if (got == 0) {
        cmem_publish(end);
        for (int spin = 0; spin < MEM_RING_SPINS && (got = look(end)) == 0; spin++)
            mem_ring_relax();
    }
    if (got == 0) {
        const int32_t round =
            mem_ring_mark_asleep(mark) ? PLAT_WAIT_INFINITE : MEM_RING_SHORT_WAIT_MS;
        while ((got = look(end)) == 0)
            plat_event_word_wait(event, round);
        mem_ring_mark_awake(mark);
    }
    return got > 0 ? static_cast<uint32_t>(got) : 0;
}

static uint32_t S_await_room(CMEM *end)
{
    return S_await(end, S_room, &end->out.words->writer_sleeps, &S_out(end).room_came);
}

static uint32_t S_await_bytes(CMEM *end)
{
    return S_await(end, S_bytes, &end->in.words->reader_sleeps, &S_in(end).bytes_came);
}

// Copies n bytes behind the outgoing tail, waiting for room as needed.
static bool S_stage(CMEM *end, const uint8_t *src, uint32_t n)
{
    // Mostly the room is there already.
    if (static_cast<int64_t>(n) <= S_room(end)) {
        mem_ring_put(&end->out, src, n);
        return true;
    }
    while (n > 0) {
        const uint32_t room = S_await_room(end);
        if (room == 0)
            return false;
        const uint32_t take = room < n ? room : n;
        mem_ring_put(&end->out, src, take);
        src += take;
        n -= take;
    }
    return true;
}

int32_t cmem_write(CMEM *end, const void *address, int32_t n)
{
    if (end == nullptr || end->pair == nullptr || n <= 0 || address == nullptr)
        return 0;
    const bool staged =
        S_stage(end, static_cast<const uint8_t *>(address), static_cast<uint32_t>(n));
    cmem_publish(end);
    return staged ? n : 0;
}

int32_t cmem_read(CMEM *end, void *destination, int32_t n)
{
    if (end == nullptr || end->pair == nullptr || n <= 0 || destination == nullptr)
        return 0;
    const uint32_t waiting = S_await_bytes(end);
    if (waiting == 0)
        return 0;
    const uint32_t take = waiting < static_cast<uint32_t>(n) ? waiting : static_cast<uint32_t>(n);
    mem_ring_take(&end->in, static_cast<uint8_t *>(destination), take);
    if (mem_ring_head_due(&end->in) && mem_ring_publish_head(&end->in))
        plat_event_word_set(&S_in(end).room_came);
    return static_cast<int32_t>(take);
}

int32_t cmem_data_waiting(CMEM *end)
{
    if (end == nullptr || end->pair == nullptr)
        return -1;
    cmem_publish(end);
    return mem_ring_waiting(&end->in) > 0 ? 1 : 0;
}

// ---- The byte link -----------------------------------------------------------

static int32_t S_clamp(size_t n)
{
    return n > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(n);
}

static ssize_t S_recv(void *ctx, void *dst, size_t n)
{
    if (n == 0)
        return 0;
    int32_t got = cmem_read(static_cast<CMEM *>(ctx), dst, S_clamp(n));
    return got > 0 ? got : -1;
}

// Staged only: the table publishes once the record is written.
static ssize_t S_send(void *ctx, const void *src, size_t n)
{
    auto *end = static_cast<CMEM *>(ctx);
    if (n == 0)
        return 0;
    if (end == nullptr || end->pair == nullptr || src == nullptr)
        return -1;
    const int32_t take = S_clamp(n);
    return S_stage(end, static_cast<const uint8_t *>(src), static_cast<uint32_t>(take)) ? take : -1;
}

static int S_poll(void *ctx)
{
    return cmem_data_waiting(static_cast<CMEM *>(ctx));
}

SO_LINK cmem_link(CMEM *end)
{
    SO_LINK link;
    link.ctx = end;
    link.recv = S_recv;
    link.send = S_send;
    link.poll = S_poll;
    return link;
}

// ---- The channel's transport ---------------------------------------------------

static void S_publish_ctx(void *ctx)
{
    cmem_publish(static_cast<CMEM *>(ctx));
}
using S_table = mem_ring_table<S_publish_ctx>;

static void S_close(void *ctx)
{
    cmem_destroy(static_cast<CMEM *>(ctx));
}

void *cmem_transport_create(int32_t old_release, const CH_TRANSPORT **transport)
{
    CMEM *end = cmem_create();
    if (end == nullptr)
        return nullptr;
    SO_LINK link = cmem_link(end);
    SO_CHANNEL *so = mem_ring_end_create(&link, S_close);
    if (so == nullptr) {
        cmem_destroy(end);
        return nullptr;
    }
    *transport = S_table::get(old_release);
    return so;
}

int32_t cmem_transport_pair(void *a, void *b)
{
    return cmem_connect(static_cast<CMEM *>(static_cast<SO_CHANNEL *>(a)->link.ctx),
                        static_cast<CMEM *>(static_cast<SO_CHANNEL *>(b)->link.ctx));
}
