// The shared-memory transport (shm_channel_internal.h) over the platform's
// named mappings, robust named mutexes, futex events and process handles.
#include "base/system/shm_channel_internal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/system/ch_transport_internal.h"
#include "base/util/zel_errors.h"
#include "platform/plat_message_box_internal.h"
#include "platform/plat_named_mutex_internal.h"
#include "platform/plat_process_internal.h"
#include "platform/plat_shared_event_internal.h"
#include "platform/plat_shm_internal.h"

namespace
{

// Room for a name: the longest prefix and pattern with a channel name.
constexpr size_t kNameRoom = 256;

} // namespace

struct SHM_OBJECT {
    PLAT_SHARED_EVENT write_ok_to_write;
    PLAT_SHARED_EVENT write_ok_to_read;
    PLAT_SHARED_EVENT read_ok_to_write;
    PLAT_SHARED_EVENT read_ok_to_read;
    PLAT_NAMED_MUTEX mutex;
    PLAT_SHM mapping;
    PLAT_PROCESS *peer; /* null when unknown or dead */
    SHM_AREA *area;
    MEM_RING_END out; /* this side's writing end of its outgoing ring */
    MEM_RING_END in;  /* its reading end of the incoming ring */
    int side;         /* 0 the creating side, 1 the opening side */
    bool mutex_open;
    unsigned events_open; /* bit i: the event S_event(i) is open */
};

// Points the two ends at this side's rings, with every counter at 0.
static void S_attach_rings(SHM_OBJECT *o)
{
    SHM_RING &out = o->side == 0 ? o->area->to_opener : o->area->to_creator;
    SHM_RING &in = o->side == 0 ? o->area->to_creator : o->area->to_opener;
    mem_ring_end_init(&o->out, &out.words, out.data, SHM_AREA_SIZE);
    mem_ring_end_init(&o->in, &in.words, in.data, SHM_AREA_SIZE);
}

static PLAT_SHARED_EVENT *S_event(SHM_OBJECT *o, int i)
{
    PLAT_SHARED_EVENT *events[4] = {&o->write_ok_to_write, &o->write_ok_to_read,
                                    &o->read_ok_to_write, &o->read_ok_to_read};
    return events[i];
}

// Closes what the object holds and frees it.
static void S_release(SHM_OBJECT *o)
{
    if (o == nullptr)
        return;
    if (o->mutex_open)
        plat_named_mutex_close(&o->mutex);
    plat_process_close(o->peer);
    for (int i = 0; i < 4; i++)
        if ((o->events_open & (1u << i)) != 0)
            plat_shared_event_close(S_event(o, i));
    plat_shm_close(&o->mapping);
    delete o;
}

// The name of one object: prefix, pattern and channel name; false when it
// does not fit.
static bool S_name(char (&out)[kNameRoom], const char *prefix, const char *pattern,
                   const char *channel)
{
    int n = std::snprintf(out, sizeof out, "%s%s%s", prefix, pattern, channel);
    return n > 0 && static_cast<size_t>(n) < sizeof out;
}

static int32_t S_check_name(const char *channel)
{
    if (channel == nullptr || channel[0] == '\0')
        return ZE_NULL_POINTER;
    char probe[kNameRoom];
    return S_name(probe, "", "ZEL_chanl_shared_memory_", channel) ? ZE_SUCCESS
                                                                  : ZE_INVALID_ARGUMENT;
}

// ---- Set-up ------------------------------------------------------------------

// The events in member order, the pattern of each and its initial state on
// the creating side; the opening side opens the same names in the order of
// its own members: "wrbuf" as its read events, "rdbuf" as its write events.
struct EventName {
    const char *pattern;
    int initially_set;
};
static constexpr EventName kCreatorEvents[4] = {{"ZEL_wrbuf_ok_to_write_", 1},
                                                {"ZEL_wrbuf_ok_to_read_", 0},
                                                {"ZEL_rdbuf_ok_to_write_", 1},
                                                {"ZEL_rdbuf_ok_to_read_", 1}};

int32_t shm_client_init(SHM_OBJECT **object, const char *channel_name)
{
    if (object == nullptr)
        return ZE_NULL_POINTER;
    *object = nullptr;
    int32_t rc = S_check_name(channel_name);
    if (rc != ZE_SUCCESS)
        return rc;
    auto *o = new (std::nothrow) SHM_OBJECT{};
    if (o == nullptr)
        return SHM_NO_MEMORY;
    o->side = 0;
    // Windows NT 5 would put its objects under "Global\\"; no other system
    // does.
    const char *prefix = "";
    char name[kNameRoom];
    S_name(name, prefix, "ZEL_chanl_shared_memory_", channel_name);
    int made = plat_shm_create(name, sizeof(SHM_AREA), &o->mapping);
    if (made != PLAT_SHM_OK) {
        delete o;
        return made == PLAT_SHM_EXISTS ? SHM_EXISTS : SHM_MAPPING_FAILED;
    }
    // Created zero-filled: nobody has closed, every counter is 0.
    o->area = static_cast<SHM_AREA *>(o->mapping.base);
    S_attach_rings(o);

    if (!S_name(name, prefix, "ZEL_wrbuf_buf_lock_", channel_name) ||
        plat_named_mutex_create(name, &o->mutex) != 0) {
        S_release(o);
        return SHM_SYNC_FAILED;
    }
    o->mutex_open = true;
    for (int i = 0; i < 4; i++) {
        if (!S_name(name, prefix, kCreatorEvents[i].pattern, channel_name) ||
            plat_shared_event_create(name, 0, kCreatorEvents[i].initially_set, S_event(o, i)) !=
                0) {
            S_release(o);
            return SHM_SYNC_FAILED;
        }
        o->events_open |= 1u << i;
    }
    // Only now can the other side open it.
    plat_shm_publish(&o->mapping);
    *object = o;
    return ZE_SUCCESS;
}

int32_t SHM_server_init(SHM_OBJECT **object, const char *channel_name)
{
    if (object == nullptr)
        return ZE_NULL_POINTER;
    *object = nullptr;
    int32_t rc = S_check_name(channel_name);
    if (rc != ZE_SUCCESS)
        return rc;
    auto *o = new (std::nothrow) SHM_OBJECT{};
    if (o == nullptr)
        return SHM_NO_MEMORY;
    o->side = 1;
    char name[kNameRoom];
    S_name(name, "", "ZEL_chanl_shared_memory_", channel_name);
    if (plat_shm_open(name, &o->mapping) != PLAT_SHM_OK || o->mapping.size < sizeof(SHM_AREA)) {
        S_release(o);
        return SHM_MAPPING_FAILED;
    }
    o->area = static_cast<SHM_AREA *>(o->mapping.base);
    S_attach_rings(o);

    char text[512];
    auto fail = [&](int opened, const char *message) {
        if (message != nullptr)
            std::fprintf(stderr, message,
                         shm_get_error_text(opened == PLAT_SHM_NOT_FOUND ? ENOENT : errno, text,
                                            sizeof text));
        S_release(o);
        return SHM_SYNC_FAILED;
    };
    S_name(name, "", "ZEL_wrbuf_buf_lock_", channel_name);
    int opened = plat_named_mutex_open(name, &o->mutex);
    if (opened != 0)
        return fail(opened, "SHM_server_init() - error opening \t\t                    "
                            "buf_lock mutex event\n%s\n");
    o->mutex_open = true;
    // The creating side's write events are this side's read events (members
    // 2 and 3) and the other way round.
    static constexpr struct {
        const char *pattern;
        int member;
        const char *message;
    } kOpen[4] = {
        {"ZEL_wrbuf_ok_to_write_", 2,
         "SHM_server_init() - error opening \t\t                    "
         "read_buffer.ok_to_write event\n%s\n"},
        {"ZEL_wrbuf_ok_to_read_", 3,
         "SHM_server_init() - error opening \t\t                    "
         "read_buffer.ok_to_read event\n%s\n"},
        {"ZEL_rdbuf_ok_to_write_", 0,
         "SHM_server_init() - error opening \t\t                    "
         "write_buffer.ok_to_write event\n%s\n"},
        {"ZEL_rdbuf_ok_to_read_", 1, nullptr},
    };
    for (const auto &e : kOpen) {
        S_name(name, "", e.pattern, channel_name);
        opened = plat_shared_event_open(name, S_event(o, e.member));
        if (opened != 0)
            return fail(opened, e.message);
        o->events_open |= 1u << e.member;
    }
    // Clears the initial signal of its write ok-to-read. Not waited for: a
    // creating side that has already read would have taken it.
    plat_event_word_wait(plat_shared_event_word(&o->write_ok_to_read), 0);
    *object = o;
    return ZE_SUCCESS;
}

int32_t shm_open_peer_process(SHM_OBJECT *object, int32_t process_id)
{
    if (object == nullptr)
        return ZE_FAILURE;
    plat_process_close(object->peer);
    object->peer = nullptr;
    return plat_process_open(process_id, &object->peer) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

char *shm_get_error_text(int error, char *text, size_t size)
{
    if (text == nullptr || size == 0)
        return text;
    if (plat_error_text(error, text, size) == nullptr) {
        std::fprintf(stderr,
                     "Unable to obtain error message text! \n                                %s: "
                     "Error %d from %s on line %d",
                     "shm_channel.cpp", error, "FormatMessage", __LINE__);
        text[0] = '\0';
    }
    return text;
}

// ---- Waits -------------------------------------------------------------------

// Whether the peer still runs; once it has ended (or cannot be asked) it is
// dropped and every later wait fails at once.
static bool S_peer_alive(SHM_OBJECT *o)
{
    if (o->peer == nullptr)
        return false;
    PLAT_WAITABLE *ended = plat_process_waitable(o->peer);
    if (plat_wait_any(&ended, 1, 0) == PLAT_WAIT_TIMEOUT)
        return true;
    plat_process_close(o->peer);
    o->peer = nullptr;
    return false;
}

// The mutex guards only the closing marks; bytes move without it.
static bool S_lock(SHM_OBJECT *o)
{
    for (;;) {
        if (o->peer == nullptr)
            return false;
        // Abandoned or not, it is held: a holder dying while marking its
        // side closed leaves nothing half done.
        int got = plat_named_mutex_lock(&o->mutex, SHM_WAIT_ROUND_MS);
        if (got == PLAT_WAIT_OBJECT_0 || got == PLAT_WAIT_ABANDONED)
            return true;
        if (got != PLAT_WAIT_TIMEOUT || !S_peer_alive(o))
            return false;
    }
}

static void S_unlock(SHM_OBJECT *o)
{
    plat_named_mutex_unlock(&o->mutex);
}

// Waits for the event (a stale signal ends it early: the caller looks
// again), in rounds between which the peer is tested, or in one short round
// when the caller may not sleep long; false once the peer is gone.
static bool S_wait(SHM_OBJECT *o, PLAT_SHARED_EVENT *event, bool long_sleep)
{
    PLAT_EVENT_WORD *word = plat_shared_event_word(event);
    for (;;) {
        if (o->peer == nullptr)
            return false;
        int got =
            plat_event_word_wait(word, long_sleep ? SHM_WAIT_ROUND_MS : MEM_RING_SHORT_WAIT_MS);
        if (got == PLAT_WAIT_OBJECT_0)
            return true;
        if (got != PLAT_WAIT_TIMEOUT || !S_peer_alive(o))
            return false;
        if (!long_sleep)
            return true;
    }
}

static bool S_peer_closed(SHM_OBJECT *o)
{
    return mem_ring_load(&o->area->closed[1 - o->side]) != 0;
}

// ---- Transfers ---------------------------------------------------------------

// Publishes the staged output and wakes the peer's reader.
static void S_publish_out(SHM_OBJECT *o)
{
    if (mem_ring_publish_tail(&o->out))
        plat_event_word_set(plat_shared_event_word(&o->write_ok_to_read));
}

// Publishes how far this side has read and wakes the peer's writer.
static void S_publish_in(SHM_OBJECT *o)
{
    if (mem_ring_publish_head(&o->in))
        plat_event_word_set(plat_shared_event_word(&o->read_ok_to_write));
}

void shm_publish(SHM_OBJECT *o)
{
    if (o == nullptr || o->area == nullptr)
        return;
    S_publish_out(o);
    S_publish_in(o);
}

// Room in the outgoing ring: above 0, 0 when none yet, -1 when none will
// come (the peer closed, an impossible head).
static int64_t S_room(SHM_OBJECT *o)
{
    if (S_peer_closed(o))
        return -1;
    return mem_ring_room(&o->out);
}

// Bytes waiting in the incoming ring: above 0, 0 when none yet, -1 when none
// will come (the peer closed with nothing left, an impossible tail).
static int64_t S_bytes(SHM_OBJECT *o)
{
    int64_t waiting = mem_ring_waiting(&o->in);
    if (waiting == 0 && S_peer_closed(o)) {
        waiting = mem_ring_waiting(&o->in); // what came before the close
        return waiting == 0 ? -1 : waiting;
    }
    return waiting;
}

// Waits until look answers other than 0: first looking again for a moment,
// then asleep on the event under the side's mark. Publishes this side's
// staged output and progress first: the peer may wait for them before it can
// answer. Above 0, or 0 when nothing will come.
static uint32_t S_await(SHM_OBJECT *o, int64_t (*look)(SHM_OBJECT *), uint32_t *mark,
                        PLAT_SHARED_EVENT *event)
{
    int64_t got = look(o);
    if (got == 0) {
        shm_publish(o);
        for (int spin = 0; spin < MEM_RING_SPINS && (got = look(o)) == 0; spin++)
            mem_ring_relax();
    }
    if (got == 0) {
        const bool long_sleep = mem_ring_mark_asleep(mark);
        while ((got = look(o)) == 0 && S_wait(o, event, long_sleep)) {
        }
        mem_ring_mark_awake(mark);
    }
    return got > 0 ? static_cast<uint32_t>(got) : 0;
}

static uint32_t S_await_room(SHM_OBJECT *o)
{
    return S_await(o, S_room, &o->out.words->writer_sleeps, &o->write_ok_to_write);
}

static uint32_t S_await_bytes(SHM_OBJECT *o)
{
    return S_await(o, S_bytes, &o->in.words->reader_sleeps, &o->read_ok_to_read);
}

// Copies n bytes behind the outgoing tail, waiting for room as needed; they
// are published when the ring fills and by the caller.
static bool S_stage(SHM_OBJECT *o, const uint8_t *src, uint32_t n)
{
    // Mostly the room is there already.
    if (static_cast<int64_t>(n) <= S_room(o)) {
        mem_ring_put(&o->out, src, n);
        return true;
    }
    while (n > 0) {
        const uint32_t room = S_await_room(o);
        if (room == 0)
            return false;
        const uint32_t take = room < n ? room : n;
        mem_ring_put(&o->out, src, take);
        src += take;
        n -= take;
    }
    return true;
}

int32_t shm_write(SHM_OBJECT *o, const void *address, int32_t n)
{
    if (o == nullptr || n <= 0 || address == nullptr || o->peer == nullptr)
        return 0;
    const bool staged = S_stage(o, static_cast<const uint8_t *>(address), static_cast<uint32_t>(n));
    S_publish_out(o);
    return staged ? n : 0;
}

int32_t shm_read(SHM_OBJECT *o, void *destination, int32_t n)
{
    if (o == nullptr || n <= 0 || destination == nullptr || o->peer == nullptr)
        return 0;
    auto *dst = static_cast<uint8_t *>(destination);
    uint32_t remaining = static_cast<uint32_t>(n);
    while (remaining > 0) {
        const uint32_t waiting = S_await_bytes(o);
        if (waiting == 0)
            return 0;
        const uint32_t take = waiting < remaining ? waiting : remaining;
        mem_ring_take(&o->in, dst, take);
        dst += take;
        remaining -= take;
        if (mem_ring_head_due(&o->in))
            S_publish_in(o);
    }
    return n;
}

int32_t shm_data_waiting(SHM_OBJECT *o)
{
    if (o == nullptr || o->area == nullptr || o->peer == nullptr)
        return ZE_FAILURE;
    shm_publish(o);
    const int64_t waiting = mem_ring_waiting(&o->in);
    return waiting < 0 ? ZE_FAILURE : waiting > 0 ? 1 : 0;
}

void shm_destroy(SHM_OBJECT *o)
{
    if (o == nullptr)
        return;
    if (o->area != nullptr && o->mutex_open && o->events_open == 0xFu) {
        shm_publish(o);
        // Marked under the mutex when it can be had; a dead peer holding it
        // cannot be waiting anyway.
        const bool locked = S_lock(o);
        mem_ring_store(&o->area->closed[o->side], 1);
        if (locked)
            S_unlock(o);
        // Wakes the peer's reader and writer.
        plat_event_word_set(plat_shared_event_word(&o->write_ok_to_read));
        plat_event_word_set(plat_shared_event_word(&o->read_ok_to_write));
    }
    S_release(o);
}

// ---- The byte link -----------------------------------------------------------

static int32_t S_clamp(size_t n)
{
    return n > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(n);
}

// As much as the ring holds, up to n: a read area takes whatever has come.
static ssize_t S_recv(void *ctx, void *dst, size_t n)
{
    auto *o = static_cast<SHM_OBJECT *>(ctx);
    if (n == 0)
        return 0;
    if (o == nullptr || dst == nullptr || o->peer == nullptr)
        return -1;
    const uint32_t waiting = S_await_bytes(o);
    if (waiting == 0)
        return -1;
    const auto most = static_cast<uint32_t>(S_clamp(n));
    const uint32_t take = waiting < most ? waiting : most;
    mem_ring_take(&o->in, static_cast<uint8_t *>(dst), take);
    if (mem_ring_head_due(&o->in))
        S_publish_in(o);
    return take;
}

// Staged only: the table publishes once the record is written.
static ssize_t S_send(void *ctx, const void *src, size_t n)
{
    auto *o = static_cast<SHM_OBJECT *>(ctx);
    if (n == 0)
        return 0;
    if (o == nullptr || src == nullptr || o->peer == nullptr)
        return -1;
    const int32_t take = S_clamp(n);
    return S_stage(o, static_cast<const uint8_t *>(src), static_cast<uint32_t>(take)) ? take : -1;
}

static int S_poll(void *ctx)
{
    return shm_data_waiting(static_cast<SHM_OBJECT *>(ctx));
}

SO_LINK shm_link(SHM_OBJECT *object)
{
    SO_LINK link;
    link.ctx = object;
    link.recv = S_recv;
    link.send = S_send;
    link.poll = S_poll;
    return link;
}

// ---- The channel's transport ---------------------------------------------------

static void S_publish_ctx(void *ctx)
{
    shm_publish(static_cast<SHM_OBJECT *>(ctx));
}
using S_table = mem_ring_table<S_publish_ctx>;

static void S_close(void *ctx)
{
    shm_destroy(static_cast<SHM_OBJECT *>(ctx));
}

void *shm_transport_create(SHM_OBJECT *object, int32_t peer_process_id, int32_t old_release,
                           const CH_TRANSPORT **transport)
{
    if (shm_open_peer_process(object, peer_process_id) != 0)
        return nullptr;
    SO_LINK link = shm_link(object);
    SO_CHANNEL *so = mem_ring_end_create(&link, S_close);
    if (so == nullptr)
        return nullptr;
    *transport = S_table::get(old_release);
    return so;
}
