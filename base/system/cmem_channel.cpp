// The coordinated-memory transport (cmem_channel_internal.h). One mutex and
// one condition variable serve both directions of a pair: the writer of a
// direction waits for its publication to be taken, the reader for one to
// come, and either for the other end to close.
#include "base/system/cmem_channel_internal.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "base/system/ch_transport_internal.h"

namespace
{

// What one end has published and the reader has not yet taken.
struct Publication {
    const uint8_t *data = nullptr;
    int32_t left = 0;
};

struct Pair {
    std::mutex mutex;
    std::condition_variable changed;
    Publication published[2]; // by end 0 and end 1
    bool closed[2] = {false, false};
};

} // namespace

struct CMEM {
    std::shared_ptr<Pair> pair; // null until connected
    int side = 0;
};

CMEM *cmem_create(void)
{
    return new (std::nothrow) CMEM;
}

int32_t cmem_connect(CMEM *a, CMEM *b)
{
    if (a == nullptr || b == nullptr || a == b || a->pair != nullptr || b->pair != nullptr)
        return -1;
    try {
        auto pair = std::make_shared<Pair>();
        a->pair = pair;
        a->side = 0;
        b->pair = pair;
        b->side = 1;
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

void cmem_destroy(CMEM *end)
{
    if (end == nullptr)
        return;
    if (end->pair != nullptr) {
        std::lock_guard<std::mutex> lock(end->pair->mutex);
        end->pair->closed[end->side] = true;
        end->pair->changed.notify_all();
    }
    delete end;
}

int32_t cmem_write(CMEM *end, const void *address, int32_t n)
{
    if (end == nullptr || end->pair == nullptr || n < 0 || (address == nullptr && n > 0))
        return 0;
    if (n == 0)
        return 0;
    Pair &pair = *end->pair;
    const int peer = 1 - end->side;
    Publication &own = pair.published[end->side];
    std::unique_lock<std::mutex> lock(pair.mutex);
    if (pair.closed[peer])
        return 0;
    own.data = static_cast<const uint8_t *>(address);
    own.left = n;
    pair.changed.notify_all();
    // The bytes are the caller's (often a local copy of one value): the
    // write ends only once none of them is left published.
    pair.changed.wait(lock, [&] { return own.left == 0 || pair.closed[peer]; });
    const bool taken = own.left == 0;
    own.data = nullptr;
    own.left = 0;
    return taken ? n : 0;
}

int32_t cmem_read(CMEM *end, void *destination, int32_t n)
{
    if (end == nullptr || end->pair == nullptr || n <= 0 || destination == nullptr)
        return 0;
    Pair &pair = *end->pair;
    const int peer = 1 - end->side;
    Publication &from = pair.published[peer];
    std::unique_lock<std::mutex> lock(pair.mutex);
    pair.changed.wait(lock, [&] { return from.left > 0 || pair.closed[peer]; });
    if (from.left == 0)
        return 0;
    const int32_t taken = std::min(n, from.left);
    std::memcpy(destination, from.data, static_cast<size_t>(taken));
    from.data += taken;
    from.left -= taken;
    if (from.left == 0)
        pair.changed.notify_all();
    return taken;
}

int32_t cmem_data_waiting(CMEM *end)
{
    if (end == nullptr || end->pair == nullptr)
        return -1;
    std::lock_guard<std::mutex> lock(end->pair->mutex);
    return end->pair->published[1 - end->side].left > 0 ? 1 : 0;
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

static ssize_t S_send(void *ctx, const void *src, size_t n)
{
    if (n == 0)
        return 0;
    int32_t sent = cmem_write(static_cast<CMEM *>(ctx), src, S_clamp(n));
    return sent > 0 ? sent : -1;
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

static void S_close(void *ctx)
{
    cmem_destroy(static_cast<CMEM *>(ctx));
}

void *cmem_transport_create(int32_t old_release, const CH_TRANSPORT **transport)
{
    CMEM *end = cmem_create();
    if (end == nullptr)
        return nullptr;
    // The raw forms over the end's link, with nothing held back.
    SO_LINK link = cmem_link(end);
    SO_CHANNEL *so = so_create_owning_link(&link, S_close);
    if (so == nullptr) {
        cmem_destroy(end);
        return nullptr;
    }
    *transport = so_memory_transport(old_release);
    return so;
}

int32_t cmem_transport_pair(void *a, void *b)
{
    return cmem_connect(static_cast<CMEM *>(static_cast<SO_CHANNEL *>(a)->link.ctx),
                        static_cast<CMEM *>(static_cast<SO_CHANNEL *>(b)->link.ctx));
}
