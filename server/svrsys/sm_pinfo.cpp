// Process slots of the instance's shared memory (sm_pinfo.h). No mutex guards
// them: a free slot is claimed by swapping its id from 0 atomically, so two
// processes never take one slot. The count of processes in use is the count
// of claimed slots; header word 1 is set to it after every change.
#include "server/svrsys/sm_master_internal.h"

#include "base/util/zel_errors.h"

#include <string.h>
#include <time.h>

#include <atomic>

namespace
{

std::atomic_ref<int32_t> S_word(int32_t &word)
{
    return std::atomic_ref<int32_t>(word);
}

int32_t S_nproc(SM_MASTER *master)
{
    return master->caps.nproc;
}

void S_store_count(SM_MASTER *master)
{
    S_word(sm_header(master)[SM_HW_PROCESSES])
        .store(sm_pinfo_count(master), std::memory_order_release);
}

} // namespace

int32_t sm_pinfo_count(SM_MASTER *master)
{
    int32_t count = 0;
    int32_t nproc = S_nproc(master);
    for (int32_t i = 0; i < nproc; ++i)
        if (S_word(master->pinfo[i].id).load(std::memory_order_acquire) != 0)
            ++count;
    return count;
}

SM_PINFO *SM_pinfo_find(SM_MASTER *master, int32_t id)
{
    if (!master)
        return nullptr;
    int32_t nproc = S_nproc(master);
    for (int32_t i = 0; i < nproc; ++i)
        if (S_word(master->pinfo[i].id).load(std::memory_order_acquire) == id)
            return &master->pinfo[i];
    return nullptr;
}

SM_PINFO *SM_pinfo_find_by_server(SM_MASTER *master, int32_t id)
{
    return SM_pinfo_find(master, id);
}

int32_t SM_pinfo_add(SM_MASTER *master, int32_t id)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (id == 0)
        return ZE_INVALID_ARGUMENT;
    int32_t nproc = S_nproc(master);
    for (int32_t i = 0; i < nproc; ++i) {
        SM_PINFO *slot = &master->pinfo[i];
        int32_t expected = 0;
        if (!S_word(slot->id).compare_exchange_strong(expected, id, std::memory_order_acq_rel))
            continue;
        memset(&slot->id_copy, 0, sizeof(SM_PINFO) - sizeof slot->id);
        slot->id_copy = id;
        slot->start_time = static_cast<int32_t>(time(nullptr));
        S_store_count(master);
        return ZE_SUCCESS;
    }
    return ZE_FAILURE;
}

int32_t SM_pinfo_delete(SM_MASTER *master, int32_t id)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (id == 0)
        return ZE_FAILURE;
    int32_t nproc = S_nproc(master);
    for (int32_t i = 0; i < nproc; ++i) {
        int32_t expected = id;
        if (S_word(master->pinfo[i].id)
                .compare_exchange_strong(expected, 0, std::memory_order_acq_rel)) {
            S_store_count(master);
            return ZE_SUCCESS;
        }
    }
    return ZE_FAILURE;
}

int32_t SM_pinfo_update(SM_MASTER *master, const SM_PINFO *record)
{
    if (!master || !record)
        return ZE_NULL_POINTER;
    SM_PINFO *slot = record->id != 0 ? SM_pinfo_find(master, record->id) : nullptr;
    if (!slot)
        return ZE_PROCESS_NOT_FOUND;
    // The id word stays as it is: it is the slot's claim.
    memcpy(&slot->id_copy, &record->id_copy, sizeof(SM_PINFO) - sizeof record->id);
    return ZE_SUCCESS;
}

int32_t SM_pinfo_scan(SM_MASTER *master, int32_t mode, SM_PINFO *record)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (mode == SM_PINFO_SCAN_END) {
        master->scan_cursor = -1;
        return ZE_SUCCESS;
    }
    if (mode == SM_PINFO_SCAN_FIRST)
        master->scan_cursor = 0;
    else if (mode != SM_PINFO_SCAN_NEXT)
        return ZE_SUCCESS;
    else if (master->scan_cursor < 0)
        return ZE_SCAN_NOT_STARTED;
    if (!record)
        return ZE_NULL_POINTER;
    int32_t nproc = S_nproc(master);
    for (int32_t i = master->scan_cursor; i < nproc; ++i) {
        if (S_word(master->pinfo[i].id).load(std::memory_order_acquire) == 0)
            continue;
        memcpy(record, &master->pinfo[i], sizeof *record);
        master->scan_cursor = i + 1;
        return ZE_SUCCESS;
    }
    master->scan_cursor = -1;
    return ZE_NO_MORE_ROWS;
}
