// Id counters and feature-id ranges of the instance's shared memory
// (sm_id_counter.h). Every counter is changed under the numbered mutex of its
// family: 10 to 13 the last state, metadata, locator and version ids, 15 the
// default state id, 1 the layer ids, 7 the raster column ids and next raster
// ids, 8 the next band ids, 2 the next feature ids, 5 the states' stamp.
//
// A next-feature-id counter holds 0 (not seeded), minus the id of the process
// that is seeding it (the claim), or the next id to hand out. The seed runs
// outside the mutex; a process that finds another's claim polls once a second
// and, when the claimant has ended without storing its result, drops the
// claim and seeds itself. A claimant stores its result only over its own
// claim: a clear or a restart meanwhile wins.
#include "server/svrsys/sm_id_counter.h"

#include "server/svrsys/sm_master_internal.h"

#include "base/util/zel_errors.h"
#include "platform/plat_wait_internal.h"

#include <limits.h>
#include <string.h>
#include <time.h>

namespace
{

// Mutex numbers.
constexpr int32_t S_LAYER_IDS = 1;
constexpr int32_t S_FIDS = 2;
constexpr int32_t S_SHARED = 3;
constexpr int32_t S_STATES = 5;
constexpr int32_t S_RASTER_IDS = 7;
constexpr int32_t S_BAND_IDS = 8;
constexpr int32_t S_STATE_ID = 10;
constexpr int32_t S_METADATA_ID = 11;
constexpr int32_t S_LOCATOR_ID = 12;
constexpr int32_t S_VERSION_ID = 13;
constexpr int32_t S_DEFAULT_STATE_ID = 15;

// How long a process waits between two looks at another's claim.
constexpr int32_t S_CLAIM_POLL_MS = 1000;

// Gives mutex number back; result unless that fails.
int32_t S_unlock(SM_MASTER *m, int32_t number, int32_t result)
{
    return sm_mutex_unlock(m, number) == ZE_SUCCESS ? result : ZE_FAILURE;
}

int32_t S_set_word(SM_MASTER *m, int32_t number, int32_t word, int32_t value)
{
    if (!m)
        return ZE_NULL_POINTER;
    if (value < 0)
        return ZE_INVALID_ARGUMENT;
    if (sm_mutex_lock(m, number) != ZE_SUCCESS)
        return ZE_FAILURE;
    sm_header(m)[word] = value;
    return S_unlock(m, number, ZE_SUCCESS);
}

int32_t S_check_rastercolumn_id(SM_MASTER *m, int32_t id)
{
    if (!m)
        return ZE_NULL_POINTER;
    if (id < 1 || id > m->caps.nrasters)
        return ZE_INVALID_RASTERCOLUMN_ID;
    return ZE_SUCCESS;
}

// A claim's process: living and, in the control process, its child.
bool S_claimant_alive(SM_MASTER *m, int32_t claim)
{
    int32_t pid = claim == INT32_MIN ? 0 : -claim;
    if (pid == m->own_id)
        return true; // another thread of this process is seeding
    return sm_process_exists(pid) && sm_holder_alive(m, pid);
}

// The next raster or band id counters: possibly unaligned words.
struct S_RasterCounter {
    int32_t mutex;
    unsigned char *base;
    bool minimum; // raster ids start at the column's minimum id
};

uint32_t S_load(const unsigned char *cell)
{
    uint32_t value;
    memcpy(&value, cell, sizeof value);
    return value;
}

void S_store(unsigned char *cell, uint32_t value)
{
    memcpy(cell, &value, sizeof value);
}

int32_t S_raster_check(SM_MASTER *m, const RASTERCOLUMN *rastercolumn)
{
    if (!m || !rastercolumn)
        return ZE_NULL_POINTER;
    return S_check_rastercolumn_id(m, rastercolumn->rastercolumn_id);
}

// The raster column's next raster ids (band false) or next band ids.
S_RasterCounter S_counter(SM_MASTER *m, bool band)
{
    return band ? S_RasterCounter{S_BAND_IDS, m->next_band_ids, false}
                : S_RasterCounter{S_RASTER_IDS, m->next_raster_ids, true};
}

unsigned char *S_cell(const S_RasterCounter &counter, const RASTERCOLUMN *rastercolumn)
{
    return counter.base + size_t(rastercolumn->rastercolumn_id - 1) * sizeof(uint32_t);
}

int32_t S_raster_get(SM_MASTER *m, bool band, const RASTERCOLUMN *rastercolumn,
                     SM_RASTER_ID_SEED seed, void *context, int32_t *id)
{
    int32_t result = S_raster_check(m, rastercolumn);
    if (result != ZE_SUCCESS)
        return result;
    if (!id)
        return ZE_NULL_POINTER;
    S_RasterCounter counter = S_counter(m, band);
    if (sm_mutex_lock(m, counter.mutex) != ZE_SUCCESS)
        return ZE_FAILURE;
    unsigned char *cell = S_cell(counter, rastercolumn);
    int64_t next = S_load(cell);
    if (next == 0) {
        if (!seed)
            return S_unlock(m, counter.mutex, ZE_NULL_POINTER);
        int32_t highest = seed(context, rastercolumn);
        if (highest < 0)
            return S_unlock(m, counter.mutex, highest);
        next = int64_t(highest) + 1;
        if (counter.minimum && next < int64_t(rastercolumn->minimum_id))
            next = rastercolumn->minimum_id;
    }
    // Ids are 32-bit signed on the wire and in the catalogue: never past 2^31-1.
    if (next > INT32_MAX)
        return S_unlock(m, counter.mutex, ZE_FAILURE);
    S_store(cell, static_cast<uint32_t>(next + 1));
    *id = static_cast<int32_t>(next);
    return S_unlock(m, counter.mutex, ZE_SUCCESS);
}

// Gives id back (return_id) or unseeds the counter (clear).
int32_t S_raster_put(SM_MASTER *m, bool band, const RASTERCOLUMN *rastercolumn, bool clear,
                     int32_t id)
{
    int32_t result = S_raster_check(m, rastercolumn);
    if (result != ZE_SUCCESS)
        return result;
    if (!clear && id < 1)
        return ZE_INVALID_ARGUMENT;
    S_RasterCounter counter = S_counter(m, band);
    if (sm_mutex_lock(m, counter.mutex) != ZE_SUCCESS)
        return ZE_FAILURE;
    unsigned char *cell = S_cell(counter, rastercolumn);
    if (clear)
        S_store(cell, 0);
    else if (S_load(cell) == uint32_t(id) + 1) // only the id handed out last comes back
        S_store(cell, static_cast<uint32_t>(id));
    return S_unlock(m, counter.mutex, ZE_SUCCESS);
}

// Waits while another process's claim stands. The counter's value once the
// claim is gone (0 when the claimant failed or ended), or -1 when the mutex
// fails.
int32_t S_wait_for_claim(SM_MASTER *m, int32_t *counter, int32_t claim)
{
    for (;;) {
        bool alive = S_claimant_alive(m, claim);
        if (sm_mutex_lock(m, S_FIDS) != ZE_SUCCESS)
            return ZE_FAILURE;
        int32_t value = *counter;
        // The claimant ended before it stored its result: drop its claim.
        if (value == claim && !alive)
            *counter = value = 0;
        if (sm_mutex_unlock(m, S_FIDS) != ZE_SUCCESS)
            return ZE_FAILURE;
        if (value >= 0)
            return value;
        if (value != claim) {
            claim = value; // another process claimed it meanwhile
            continue;
        }
        plat_sleep_ms(S_CLAIM_POLL_MS);
    }
}

} // namespace

int32_t sm_check_layer_id(SM_MASTER *master, int32_t layer_id)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (layer_id < 1 || layer_id > master->caps.nlayers)
        return ZE_INVALID_LAYER_ID;
    return ZE_SUCCESS;
}

int32_t SM_next_state_id_set(SM_MASTER *master, int32_t value)
{
    return S_set_word(master, S_STATE_ID, SM_HW_LAST_STATE_ID, value);
}

int32_t SM_next_metadata_id_set(SM_MASTER *master, int32_t value)
{
    return S_set_word(master, S_METADATA_ID, SM_HW_LAST_METADATA_ID, value);
}

int32_t SM_next_locator_id_set(SM_MASTER *master, int32_t value)
{
    return S_set_word(master, S_LOCATOR_ID, SM_HW_LAST_LOCATOR_ID, value);
}

int32_t SM_next_version_id_set(SM_MASTER *master, int32_t value)
{
    return S_set_word(master, S_VERSION_ID, SM_HW_LAST_VERSION_ID, value);
}

int32_t SM_default_state_id_set(SM_MASTER *master, int32_t value)
{
    return S_set_word(master, S_DEFAULT_STATE_ID, SM_HW_DEFAULT_STATE_ID, value);
}

int32_t SM_available_layer_ids_set(SM_MASTER *master, const VE_BITMAP *bitmap)
{
    if (!master || !bitmap)
        return ZE_NULL_POINTER;
    if (sm_mutex_lock(master, S_LAYER_IDS) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t nlayers = master->caps.nlayers;
    for (int32_t bit = VES_Bitmap_Scan(bitmap, 0, 1); bit >= 0 && bit < nlayers;
         bit = VES_Bitmap_Scan(bitmap, bit + 1, 1))
        master->layer_table[bit].layer_id = static_cast<uint16_t>(bit + 1);
    return S_unlock(master, S_LAYER_IDS, ZE_SUCCESS);
}

int32_t SM_return_layer_id(SM_MASTER *master, int32_t layer_id)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    if (sm_mutex_lock(master, S_LAYER_IDS) != ZE_SUCCESS)
        return ZE_FAILURE;
    master->layer_table[layer_id - 1].layer_id = 0;
    return S_unlock(master, S_LAYER_IDS, ZE_SUCCESS);
}

int32_t SM_available_rastercolumn_ids_set(SM_MASTER *master, const VE_BITMAP *bitmap)
{
    if (!master || !bitmap)
        return ZE_NULL_POINTER;
    if (sm_mutex_lock(master, S_RASTER_IDS) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t nrasters = master->caps.nrasters;
    for (int32_t bit = VES_Bitmap_Scan(bitmap, 0, 1); bit >= 0 && bit < nrasters;
         bit = VES_Bitmap_Scan(bitmap, bit + 1, 1))
        master->raster_in_use[bit] = 1;
    return S_unlock(master, S_RASTER_IDS, ZE_SUCCESS);
}

int32_t SM_return_rastercolumn_id(SM_MASTER *master, int32_t rastercolumn_id)
{
    int32_t result = S_check_rastercolumn_id(master, rastercolumn_id);
    if (result != ZE_SUCCESS)
        return result;
    if (sm_mutex_lock(master, S_RASTER_IDS) != ZE_SUCCESS)
        return ZE_FAILURE;
    master->raster_in_use[rastercolumn_id - 1] = 0;
    return S_unlock(master, S_RASTER_IDS, ZE_SUCCESS);
}

int32_t SM_layer_get_fid_range(SM_MASTER *master, int32_t layer_id, int32_t count)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    if (sm_mutex_lock(master, S_FIDS) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t *counter = &master->next_fids[layer_id - 1];
    int32_t first = *counter;
    // Unseeded, being seeded, or no room for the range: hand out nothing.
    if (first <= 0 || count > INT32_MAX - first)
        return S_unlock(master, S_FIDS, ZE_FAILURE);
    *counter = first + count;
    return S_unlock(master, S_FIDS, first);
}

int32_t SM_layer_set_fid_start(SM_MASTER *master, int32_t layer_id, SM_FID_SEED seed, void *context)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    int32_t *counter = &master->next_fids[layer_id - 1];
    int32_t claim = -master->own_id;
    for (;;) {
        if (sm_mutex_lock(master, S_FIDS) != ZE_SUCCESS)
            return ZE_FAILURE;
        int32_t value = *counter;
        if (!seed) {
            *counter = 1;
            return S_unlock(master, S_FIDS, ZE_SUCCESS);
        }
        if (value == 0)
            *counter = claim;
        if (sm_mutex_unlock(master, S_FIDS) != ZE_SUCCESS)
            return ZE_FAILURE;
        if (value > 0)
            return ZE_SUCCESS;
        if (value < 0) {
            value = S_wait_for_claim(master, counter, value);
            if (value < 0)
                return ZE_FAILURE;
            if (value > 0)
                return ZE_SUCCESS;
            continue; // the claimant failed or ended: claim it ourselves
        }

        int32_t highest = seed(context, layer_id);
        if (sm_mutex_lock(master, S_FIDS) != ZE_SUCCESS)
            return ZE_FAILURE;
        result = highest < 0 ? highest : ZE_SUCCESS;
        if (*counter == claim) {
            if (highest >= 0 && highest < INT32_MAX) {
                *counter = highest + 1;
            } else {
                *counter = 0; // the next caller seeds again
                if (highest >= 0)
                    result = ZE_FAILURE;
            }
        }
        return S_unlock(master, S_FIDS, result);
    }
}

int32_t SM_layer_clear_fids(SM_MASTER *master, int32_t layer_id)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    if (sm_mutex_lock(master, S_FIDS) != ZE_SUCCESS)
        return ZE_FAILURE;
    master->next_fids[layer_id - 1] = 0;
    return S_unlock(master, S_FIDS, ZE_SUCCESS);
}

uint32_t SM_layer_get_time_last_modified(SM_MASTER *master, int32_t layer_id)
{
    if (sm_check_layer_id(master, layer_id) != ZE_SUCCESS)
        return 0;
    return __atomic_load_n(&master->layer_mtimes[layer_id - 1], __ATOMIC_ACQUIRE);
}

int32_t SM_layer_touch(SM_MASTER *master, int32_t layer_id)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    uint32_t now = static_cast<uint32_t>(time(nullptr));
    uint32_t *stored = &master->layer_mtimes[layer_id - 1];
    uint32_t old = __atomic_load_n(stored, __ATOMIC_ACQUIRE);
    // No mutex: the exchange makes two touches at once give two times, and
    // the time never goes back, so a reader that saw one time never sees it
    // again after a later touch.
    for (;;) {
        uint32_t next = old == 0 ? now + 1 : old < now ? now : old + 1;
        if (__atomic_compare_exchange_n(stored, &old, next, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE))
            return ZE_SUCCESS;
    }
}

int32_t SM_raster_get_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn,
                         SM_RASTER_ID_SEED seed, void *context, int32_t *id)
{
    return S_raster_get(master, false, rastercolumn, seed, context, id);
}

int32_t SM_raster_return_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn, int32_t id)
{
    return S_raster_put(master, false, rastercolumn, false, id);
}

int32_t SM_raster_clear_ids(SM_MASTER *master, const RASTERCOLUMN *rastercolumn)
{
    return S_raster_put(master, false, rastercolumn, true, 0);
}

int32_t SM_rasterband_get_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn,
                             SM_RASTER_ID_SEED seed, void *context, int32_t *id)
{
    return S_raster_get(master, true, rastercolumn, seed, context, id);
}

int32_t SM_rasterband_return_id(SM_MASTER *master, const RASTERCOLUMN *rastercolumn, int32_t id)
{
    return S_raster_put(master, true, rastercolumn, false, id);
}

int32_t SM_rasterband_clear_ids(SM_MASTER *master, const RASTERCOLUMN *rastercolumn)
{
    return S_raster_put(master, true, rastercolumn, true, 0);
}

int32_t SM_states_set_last_modified(SM_MASTER *master, int32_t stamp)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (sm_mutex_lock(master, S_STATES) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t *stored = &sm_header(master)[SM_HW_STATES_MODIFIED];
    if (stamp > *stored)
        *stored = stamp;
    else if (*stored < INT32_MAX)
        *stored += 1;
    else
        return S_unlock(master, S_STATES, ZE_FAILURE); // it can rise no more
    return S_unlock(master, S_STATES, ZE_SUCCESS);
}

int32_t SM_states_get_last_modified(SM_MASTER *master, int32_t *stamp)
{
    if (!master || !stamp)
        return ZE_NULL_POINTER;
    if (sm_mutex_lock(master, S_STATES) != ZE_SUCCESS)
        return ZE_FAILURE;
    *stamp = sm_header(master)[SM_HW_STATES_MODIFIED];
    return S_unlock(master, S_STATES, ZE_SUCCESS);
}

int32_t SM_shared_mutex_lock(SM_MASTER *master)
{
    if (!master)
        return ZE_NULL_POINTER;
    return sm_mutex_lock(master, S_SHARED);
}

int32_t SM_shared_mutex_unlock(SM_MASTER *master)
{
    if (!master)
        return ZE_NULL_POINTER;
    return sm_mutex_unlock(master, S_SHARED);
}
