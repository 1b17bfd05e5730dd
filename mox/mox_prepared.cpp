// The bounded cache of prepared filter geometries (mox/mox_prepared_internal.h
// says why it exists). A handful of filters is live at a time, so a short
// list searched in order of use is enough; one mutex guards it, and the GEOS
// work itself runs outside the lock on the caller's reference.
#include "mox/mox_prepared_internal.h"

#include <stdlib.h>
#include <string.h>

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

/* Room for count items of T at the block's end, aligned for T. */
template <class T> static uint64_t S_reserve(uint64_t *size, size_t count)
{
    uint64_t at = (*size + alignof(T) - 1) / alignof(T) * alignof(T);
    *size = at + count * sizeof(T);
    return at;
}

template <class T>
static void S_copy(mox_prepared_block *block, uint64_t at, const std::vector<T> &v)
{
    if (!v.empty())
        memcpy(reinterpret_cast<char *>(block) + at, v.data(), v.size() * sizeof(T));
}

mox_prepared_block *mox_prepared_block_make(const mox_native_shape &shape)
{
    uint64_t size = sizeof(mox_prepared_block);
    uint64_t edges_at = S_reserve<mox_edge>(&size, shape.edges.size());
    uint64_t reps_at = S_reserve<POINT>(&size, shape.reps.size());
    uint64_t boundary_at = S_reserve<POINT>(&size, shape.boundary.size());
    size_t bands = shape.band_count > 0 ? (size_t)shape.band_count + 1 : 0;
    uint64_t band_start_at = S_reserve<int32_t>(&size, bands);
    uint64_t band_items_at =
        S_reserve<int32_t>(&size, shape.band_count > 0 ? shape.band_items.size() : 0);
    auto *block = static_cast<mox_prepared_block *>(calloc(1, size));
    if (block == nullptr)
        return nullptr;
    block->kind = shape.kind;
    block->native_extent = shape.extent;
    block->edge_count = (int32_t)shape.edges.size();
    block->rep_count = (int32_t)shape.reps.size();
    block->boundary_count = (int32_t)shape.boundary.size();
    block->band_count = shape.band_count;
    block->band_y0 = shape.band_y0;
    block->band_height = shape.band_height;
    block->edges_at = edges_at;
    block->reps_at = reps_at;
    block->boundary_at = boundary_at;
    block->band_start_at = band_start_at;
    block->band_items_at = band_items_at;
    S_copy(block, edges_at, shape.edges);
    S_copy(block, reps_at, shape.reps);
    S_copy(block, boundary_at, shape.boundary);
    if (shape.band_count > 0) {
        S_copy(block, band_start_at, shape.band_start);
        S_copy(block, band_items_at, shape.band_items);
    }
    return block;
}

mox_native_view mox_prepared_block_view(const mox_prepared_block *block)
{
    const char *base = reinterpret_cast<const char *>(block);
    mox_native_view v;
    v.kind = block->kind;
    v.rectangle = block->rectangle;
    v.extent = block->native_extent;
    v.edges = reinterpret_cast<const mox_edge *>(base + block->edges_at);
    v.edge_count = block->edge_count;
    v.reps = reinterpret_cast<const POINT *>(base + block->reps_at);
    v.rep_count = block->rep_count;
    v.boundary = reinterpret_cast<const POINT *>(base + block->boundary_at);
    v.boundary_count = block->boundary_count;
    v.band_count = block->band_count;
    v.band_y0 = block->band_y0;
    v.band_height = block->band_height;
    v.band_start = reinterpret_cast<const int32_t *>(base + block->band_start_at);
    v.band_items = reinterpret_cast<const int32_t *>(base + block->band_items_at);
    return v;
}

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
