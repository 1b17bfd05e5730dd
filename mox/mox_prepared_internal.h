// The cache of prepared filter geometries. A VE_FEATURE_SPEC carries one
// plain C-heap block (a host may release it with free alone); what the block
// cannot own, the GEOS context, geometry and prepared geometry, lives here,
// keyed by an id the block stores. The cache holds at most
// MOX_PREPARED_CACHE_SIZE entries and drops the least recently used one
// beyond that, so a block freed without MoxsFeatureSpecRelease leaves at most
// that many entries behind. An id is never reused: a stale one is simply not
// found, and the caller prepares the shape again.
#ifndef MOX_PREPARED_INTERNAL_H
#define MOX_PREPARED_INTERNAL_H

#include <geos_c.h>
#include <stdint.h>

#include <memory>

#include "mox/mox_native_relation_internal.h"
#include "mox/mox_types.h"

#define MOX_PREPARED_CACHE_SIZE 64

/* The block attached to VE_FEATURE_SPEC.prepared: plain data only. The
 * filter's native form (mox/mox_native_relation_internal.h) follows the
 * header in the same block, its arrays found by byte offsets from the block's
 * start, so that one free releases everything. */
struct mox_prepared_block {
    uint64_t id;       /* the cache entry holding the GEOS objects; 0 none yet */
    int32_t dim;       /* -1 when empty */
    int32_t rectangle; /* an area that is exactly its extent */
    ENVELOPE extent;   /* of the filter shape's points */
    /* The native form: kind, extent of its edges, counts and offsets. */
    int32_t kind;
    ENVELOPE native_extent;
    int32_t edge_count;
    int32_t rep_count;
    int32_t boundary_count;
    int32_t band_count;
    int32_t band_y0;
    int64_t band_height;
    uint64_t edges_at;
    uint64_t reps_at;
    uint64_t boundary_at;
    uint64_t band_start_at;
    uint64_t band_items_at;
};

/* One prepared filter geometry with the context that made it; destroyed with
 * the last reference, so an entry dropped from the cache stays valid for a
 * caller still using it. */
struct mox_prepared_entry {
    GEOSContextHandle_t ctx = nullptr;
    GEOSGeometry *geometry = nullptr;
    const GEOSPreparedGeometry *prepared = nullptr;
    mox_prepared_entry() = default;
    mox_prepared_entry(const mox_prepared_entry &) = delete;
    mox_prepared_entry &operator=(const mox_prepared_entry &) = delete;
    ~mox_prepared_entry();
};

using mox_prepared_ref = std::shared_ptr<const mox_prepared_entry>;

/* A block holding the header and the shape's native form (calloc'd; null
 * when memory runs out); dim and rectangle are the caller's to set. */
mox_prepared_block *mox_prepared_block_make(const mox_native_shape &shape);
/* The native form held by a block. */
mox_native_view mox_prepared_block_view(const mox_prepared_block *block);

/* The entry of an id, marked as the most recently used; null when the id is
 * 0, was dropped, or never existed. */
mox_prepared_ref mox_prepared_find(uint64_t id);
/* Stores an entry under a new id (returned), dropping the least recently used
 * entry when the cache is full. Throws std::bad_alloc. */
uint64_t mox_prepared_insert(mox_prepared_ref entry);
/* Drops the entry of an id; an unknown id is ignored. */
void mox_prepared_drop(uint64_t id);

#endif
