// The bounded cache of prepared filter geometries (mox/mox_prepared_internal.h
// says why it exists). A handful of filters is live at a time, so a short
// list searched in order of use is enough; one mutex guards it, and the GEOS
// work itself runs outside the lock on the caller's reference.
#include "mox/mox_prepared_internal.h"

#include <list>
#include <mutex>
#include <utility>

namespace
{

struct S_slot {
    uint64_t id;
    mox_prepared_ref entry;
};

struct S_cache {
    std::mutex lock;
    std::list<S_slot> slots; /* most recently used first */
    uint64_t last_id = 0;
};

S_cache &S_the_cache()
{
    static S_cache cache;
    return cache;
}

} // namespace

mox_prepared_entry::~mox_prepared_entry()
{
    if (ctx == nullptr)
        return;
    if (prepared != nullptr)
        GEOSPreparedGeom_destroy_r(ctx, prepared);
    if (geometry != nullptr)
        GEOSGeom_destroy_r(ctx, geometry);
    GEOS_finish_r(ctx);
}

mox_prepared_ref mox_prepared_find(uint64_t id)
{
    if (id == 0)
        return nullptr;
    S_cache &c = S_the_cache();
    std::lock_guard<std::mutex> hold(c.lock);
    for (auto it = c.slots.begin(); it != c.slots.end(); ++it) {
        if (it->id == id) {
            c.slots.splice(c.slots.begin(), c.slots, it);
            return c.slots.front().entry;
        }
    }
    return nullptr;
}

uint64_t mox_prepared_insert(mox_prepared_ref entry)
{
    S_cache &c = S_the_cache();
    mox_prepared_ref dropped; /* destroyed after the lock is let go */
    std::lock_guard<std::mutex> hold(c.lock);
    uint64_t id = ++c.last_id;
    c.slots.push_front(S_slot{id, std::move(entry)});
    if (c.slots.size() > MOX_PREPARED_CACHE_SIZE) {
        dropped = std::move(c.slots.back().entry);
        c.slots.pop_back();
    }
    return id;
}

void mox_prepared_drop(uint64_t id)
{
    if (id == 0)
        return;
    S_cache &c = S_the_cache();
    mox_prepared_ref dropped;
    std::lock_guard<std::mutex> hold(c.lock);
    for (auto it = c.slots.begin(); it != c.slots.end(); ++it) {
        if (it->id == id) {
            dropped = std::move(it->entry);
            c.slots.erase(it);
            return;
        }
    }
}
