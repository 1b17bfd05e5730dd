// Counts, capacities and new ids of the instance by code (sm_master.h).
// Single header words are read without a mutex; counts of slots and new ids
// are taken under the mutex (or the guard) of their section. Capacities are
// those the handle checked when it attached, never the header's words again.
#include "server/svrsys/sm_master_internal.h"

#include "base/util/zel_errors.h"

#include <limits.h>

namespace
{

// Under mutex number: header word + 1, stored and returned; -1 once the
// counter has no next id (it never wraps to hand out an id twice).
int32_t S_next_id(SM_MASTER *master, int32_t number, int32_t word)
{
    if (sm_mutex_lock(master, number) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t *w = sm_header(master);
    int32_t id = ZE_FAILURE;
    if (w[word] < INT32_MAX)
        id = ++w[word];
    return sm_mutex_unlock(master, number) == ZE_SUCCESS ? id : ZE_FAILURE;
}

int32_t S_layer_locks_in_use(SM_MASTER *master)
{
    // Counted also when the mutex cannot be had; the answer is then -1.
    int32_t locked = sm_mutex_lock(master, 1);
    int32_t count = 0;
    int32_t nlocks = master->caps.nlocks;
    for (int32_t i = 0; i < nlocks; ++i)
        if (master->layer_locks[i].holder != 0)
            ++count;
    if (locked != ZE_SUCCESS)
        return ZE_FAILURE;
    return sm_mutex_unlock(master, 1) == ZE_SUCCESS ? count : ZE_FAILURE;
}

int32_t S_layers_modified(SM_MASTER *master)
{
    int32_t count = 0;
    int32_t nlayers = master->caps.nlayers;
    for (int32_t i = 0; i < nlayers; ++i)
        if (master->layer_mtimes[i] != 0)
            ++count;
    return count;
}

int32_t S_default_state_id(SM_MASTER *master)
{
    if (sm_mutex_lock(master, 15) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t id = sm_header(master)[SM_HW_DEFAULT_STATE_ID];
    return sm_mutex_unlock(master, 15) == ZE_SUCCESS ? id : ZE_FAILURE;
}

int32_t S_new_layer_id(SM_MASTER *master)
{
    if (sm_mutex_lock(master, 1) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t id = ZE_LAYER_LIMIT;
    int32_t nlayers = master->caps.nlayers;
    for (int32_t i = 0; i < nlayers; ++i) {
        if (master->layer_table[i].layer_id == 0) {
            master->layer_table[i].layer_id = static_cast<uint16_t>(i + 1);
            id = i + 1;
            break;
        }
    }
    return sm_mutex_unlock(master, 1) == ZE_SUCCESS ? id : ZE_FAILURE;
}

int32_t S_new_registration_id(SM_MASTER *master)
{
    if (sm_rw_guard_acquire(master, 3) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t id = ZE_REGISTRATION_LIMIT;
    int32_t nregs = master->caps.nregs;
    for (int32_t i = 0; i < nregs; ++i) {
        SM_REGISTRATION_SLOT *slot = &master->registrations[i];
        if (slot->registration_id == 0 && slot->modification_time == 0) {
            slot->registration_id = i + 1;
            id = i + 1;
            break;
        }
    }
    sm_rw_guard_release(master);
    return id;
}

int32_t S_new_rastercolumn_id(SM_MASTER *master)
{
    if (sm_mutex_lock(master, 7) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t id = ZE_RASTERCOLUMN_LIMIT;
    int32_t nrasters = master->caps.nrasters;
    for (int32_t i = 0; i < nrasters; ++i) {
        if (master->raster_in_use[i] == 0) {
            master->raster_in_use[i] = 1;
            id = i + 1;
            break;
        }
    }
    return sm_mutex_unlock(master, 7) == ZE_SUCCESS ? id : ZE_FAILURE;
}

} // namespace

int32_t SM_shared_info(SM_MASTER *master, int32_t code)
{
    if (!master)
        return ZE_NULL_POINTER;
    const int32_t *w = sm_header(master);
    switch (code) {
    case SM_INFO_PROCESSES_IN_USE:
        return sm_pinfo_count(master);
    case SM_INFO_NPROC:
        return master->caps.nproc;
    case SM_INFO_LAYER_LOCKS_IN_USE:
        return S_layer_locks_in_use(master);
    case SM_INFO_NLOCKS:
        return master->caps.nlocks;
    case SM_INFO_LAYERS_MODIFIED:
        return S_layers_modified(master);
    case SM_INFO_NLAYERS:
        return master->caps.nlayers;
    case SM_INFO_REGISTRATIONS_CACHED:
        return w[SM_HW_REGISTRATION_COUNT];
    case SM_INFO_NREGS:
        return master->caps.nregs;
    case SM_INFO_STATE_LOCKS_IN_USE:
        return w[SM_HW_STATE_COUNT];
    case SM_INFO_NSTATELOCKS:
        return master->caps.nstatelocks;
    case SM_INFO_NRASTERS:
        return master->caps.nrasters;
    case SM_INFO_TABLE_LOCKS_IN_USE:
        return w[SM_HW_TABLE_COUNT];
    case SM_INFO_NTABLELOCKS:
        return master->caps.ntablelocks;
    case SM_INFO_NEW_STATE_ID:
        return S_next_id(master, 10, SM_HW_LAST_STATE_ID);
    case SM_INFO_NEW_METADATA_ID:
        return S_next_id(master, 11, SM_HW_LAST_METADATA_ID);
    case SM_INFO_NEW_LOCATOR_ID:
        return S_next_id(master, 12, SM_HW_LAST_LOCATOR_ID);
    case SM_INFO_NEW_VERSION_ID:
        return S_next_id(master, 13, SM_HW_LAST_VERSION_ID);
    case SM_INFO_OBJECT_LOCKS_IN_USE:
        return w[SM_HW_OBJECT_COUNT];
    case SM_INFO_NOBJLOCKS:
        return master->caps.nobjlocks;
    case SM_INFO_DEFAULT_STATE_ID:
        return S_default_state_id(master);
    case SM_INFO_NEW_LAYER_ID:
        return S_new_layer_id(master);
    case SM_INFO_NEW_REGISTRATION_ID:
        return S_new_registration_id(master);
    case SM_INFO_NEW_RASTERCOLUMN_ID:
        return S_new_rastercolumn_id(master);
    case 25:
    case 26:
    case 27:
    case 29:
        return 1;
    case SM_INFO_OWN_ID:
        return master->own_id;
    default:
        return 0;
    }
}

int32_t SM_convert(void)
{
    return ZE_SUCCESS;
}
