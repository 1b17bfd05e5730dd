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

// One direction: a ring of unread bytes starting at read_pos.
struct Direction {
    uint32_t count;
    uint32_t read_pos;
    uint8_t data[SHM_AREA_SIZE];
};

// The mapping. Side 0 creates the objects and writes to_opener; side 1
// opens them and writes to_creator.
struct Area {
    uint32_t closed[2];
    Direction to_opener;
    Direction to_creator;
};

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
    Area *area;
    int side; /* 0 the creating side, 1 the opening side */
    bool mutex_open;
    unsigned events_open; /* bit i: the event S_event(i) is open */
};

// Whether a direction's words can be what this library writes: the other
// process can write anything into the mapping, and a count or position out
// of range would send a copy past the area.
static bool S_sane(const Direction &d)
{
    return d.count <= SHM_AREA_SIZE && d.read_pos < SHM_AREA_SIZE;
}

static Direction &S_outgoing(SHM_OBJECT *o)
{
    return o->side == 0 ? o->area->to_opener : o->area->to_creator;
}

static Direction &S_incoming(SHM_OBJECT *o)
{
    return o->side == 0 ? o->area->to_creator : o->area->to_opener;
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
    int made = plat_shm_create(name, sizeof(Area), &o->mapping);
    if (made != PLAT_SHM_OK) {
        delete o;
        return made == PLAT_SHM_EXISTS ? SHM_EXISTS : SHM_MAPPING_FAILED;
    }
    o->area = static_cast<Area *>(o->mapping.base);
    o->area->closed[0] = o->area->closed[1] = 0;
    o->area->to_opener.count = o->area->to_creator.count = 0;
    o->area->to_opener.read_pos = o->area->to_creator.read_pos = 0;

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
    if (plat_shm_open(name, &o->mapping) != PLAT_SHM_OK || o->mapping.size < sizeof(Area)) {
        S_release(o);
        return SHM_MAPPING_FAILED;
    }
    o->area = static_cast<Area *>(o->mapping.base);

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

static bool S_lock(SHM_OBJECT *o)
{
    for (;;) {
        if (o->peer == nullptr)
            return false;
        int got = plat_named_mutex_lock(&o->mutex, SHM_WAIT_ROUND_MS);
        if (got == PLAT_WAIT_OBJECT_0)
            return true;
        if (got == PLAT_WAIT_ABANDONED) {
            // Its holder died in the middle of a copy: the areas cannot be
            // trusted any more.
            plat_named_mutex_unlock(&o->mutex);
            plat_process_close(o->peer);
            o->peer = nullptr;
            return false;
        }
        if (got != PLAT_WAIT_TIMEOUT || !S_peer_alive(o))
            return false;
    }
}

static void S_unlock(SHM_OBJECT *o)
{
    plat_named_mutex_unlock(&o->mutex);
}

static bool S_wait(SHM_OBJECT *o, PLAT_SHARED_EVENT *event)
{
    PLAT_EVENT_WORD *word = plat_shared_event_word(event);
    for (;;) {
        if (o->peer == nullptr)
            return false;
        int got = plat_event_word_wait(word, SHM_WAIT_ROUND_MS);
        if (got == PLAT_WAIT_OBJECT_0)
            return true;
        if (got != PLAT_WAIT_TIMEOUT || !S_peer_alive(o))
            return false;
    }
}

// ---- Transfers ---------------------------------------------------------------

int32_t shm_write(SHM_OBJECT *o, const void *address, int32_t n)
{
    if (o == nullptr || n <= 0 || address == nullptr || o->peer == nullptr)
        return 0;
    const auto *src = static_cast<const uint8_t *>(address);
    const uint32_t peer = 1 - o->side;
    Direction &d = S_outgoing(o);
    uint32_t remaining = static_cast<uint32_t>(n);
    while (remaining > 0) {
        if (!S_lock(o))
            return 0;
        if (o->area->closed[peer] != 0 || !S_sane(d)) {
            S_unlock(o);
            return 0;
        }
        const uint32_t room = SHM_AREA_SIZE - d.count;
        if (room == 0) {
            S_unlock(o);
            if (!S_wait(o, &o->write_ok_to_write))
                return 0;
            continue;
        }
        const uint32_t take = std::min(room, remaining);
        const uint32_t at = (d.read_pos + d.count) % SHM_AREA_SIZE;
        const uint32_t first = std::min(take, SHM_AREA_SIZE - at);
        std::memcpy(d.data + at, src, first);
        std::memcpy(d.data, src + first, take - first);
        d.count += take;
        plat_event_word_set(plat_shared_event_word(&o->write_ok_to_read));
        S_unlock(o);
        src += take;
        remaining -= take;
    }
    return n;
}

int32_t shm_read(SHM_OBJECT *o, void *destination, int32_t n)
{
    if (o == nullptr || n <= 0 || destination == nullptr || o->peer == nullptr)
        return 0;
    auto *dst = static_cast<uint8_t *>(destination);
    const uint32_t peer = 1 - o->side;
    Direction &d = S_incoming(o);
    uint32_t remaining = static_cast<uint32_t>(n);
    while (remaining > 0) {
        if (!S_lock(o))
            return 0;
        if (!S_sane(d)) {
            S_unlock(o);
            return 0;
        }
        if (d.count == 0) {
            const bool gone = o->area->closed[peer] != 0;
            S_unlock(o);
            if (gone || !S_wait(o, &o->read_ok_to_read))
                return 0;
            continue;
        }
        const uint32_t take = std::min(d.count, remaining);
        const uint32_t first = std::min(take, SHM_AREA_SIZE - d.read_pos);
        std::memcpy(dst, d.data + d.read_pos, first);
        std::memcpy(dst + first, d.data, take - first);
        d.count -= take;
        d.read_pos = d.count == 0 ? 0 : (d.read_pos + take) % SHM_AREA_SIZE;
        plat_event_word_set(plat_shared_event_word(&o->read_ok_to_write));
        S_unlock(o);
        dst += take;
        remaining -= take;
    }
    return n;
}

int32_t shm_data_waiting(SHM_OBJECT *o)
{
    if (o == nullptr || !S_lock(o))
        return ZE_FAILURE;
    const Direction &d = S_incoming(o);
    const int32_t waiting = !S_sane(d) ? ZE_FAILURE : d.count > 0 ? 1 : 0;
    S_unlock(o);
    return waiting;
}

void shm_destroy(SHM_OBJECT *o)
{
    if (o == nullptr)
        return;
    if (o->area != nullptr && o->mutex_open && o->events_open == 0xFu) {
        // Marked under the mutex when it can be had; a dead peer holding it
        // cannot be waiting anyway.
        const bool locked = S_lock(o);
        o->area->closed[o->side] = 1;
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

static ssize_t S_recv(void *ctx, void *dst, size_t n)
{
    if (n == 0)
        return 0;
    int32_t got = shm_read(static_cast<SHM_OBJECT *>(ctx), dst, S_clamp(n));
    return got > 0 ? got : -1;
}

static ssize_t S_send(void *ctx, const void *src, size_t n)
{
    if (n == 0)
        return 0;
    int32_t sent = shm_write(static_cast<SHM_OBJECT *>(ctx), src, S_clamp(n));
    return sent > 0 ? sent : -1;
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

static void S_close(void *ctx)
{
    shm_destroy(static_cast<SHM_OBJECT *>(ctx));
}

void *shm_transport_create(SHM_OBJECT *object, int32_t peer_process_id, int32_t old_release,
                           const CH_TRANSPORT **transport)
{
    if (shm_open_peer_process(object, peer_process_id) != 0)
        return nullptr;
    // The raw forms over the object's link, with nothing held back.
    SO_LINK link = shm_link(object);
    SO_CHANNEL *so = so_create_owning_link(&link, S_close);
    if (so == nullptr)
        return nullptr;
    *transport = so_memory_transport(old_release);
    return so;
}
