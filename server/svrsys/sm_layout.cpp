// The layout of the instance's shared memory (sm_master_internal.h): section
// offsets from the capacities, the header and free chains of a new block, and
// the section addresses of a handle. Sizes are summed in 64 bits and checked
// against the 32-bit header words and the 16-bit slot indexes.
#include "server/svrsys/sm_master_internal.h"

#include "base/util/zel_errors.h"

#include <string.h>

namespace
{

// Largest capacities that the slot indexes can address: layer-lock slots
// 0..65535 (slot 0 heads the free chain), 0xFFFE ends the other chains, and a
// layer entry holds its layer id in 16 bits.
constexpr int64_t S_MAX_LAYER_LOCKS = 0x10000;
constexpr int64_t S_MAX_CHAINED_LOCKS = SM_CHAIN_END_SLOT;
constexpr int64_t S_MAX_LAYERS = 0xFFFF;
constexpr int64_t S_MAX_TOTAL = INT32_MAX;

int64_t S_round_up(int64_t value, int64_t unit)
{
    return (value + unit - 1) / unit * unit;
}

// The state-, table- and object-lock slots 0..count-1 chained k to k + 1, the
// last ending the chain: every slot starts free.
template <typename Slot> void S_chain_free(Slot *slots, int32_t count)
{
    for (int32_t k = 0; k < count; ++k)
        slots[k].next = static_cast<uint16_t>(k + 1 < count ? k + 1 : SM_CHAIN_END_SLOT);
}

} // namespace

int32_t *sm_header(SM_MASTER *master)
{
    return reinterpret_cast<int32_t *>(master->block);
}

int32_t sm_layout_compute(const SM_CAPACITIES *c, SM_LAYOUT *layout)
{
    const int64_t capacities[] = {c->nproc,     c->nlocks,  c->nstatelocks, c->ntablelocks,
                                  c->nobjlocks, c->nlayers, c->nregs,       c->nrasters};
    for (int64_t capacity : capacities)
        if (capacity < 0)
            return ZE_INVALID_ARGUMENT;
    if (c->nlocks > S_MAX_LAYER_LOCKS || c->nstatelocks > S_MAX_CHAINED_LOCKS ||
        c->ntablelocks > S_MAX_CHAINED_LOCKS || c->nobjlocks > S_MAX_CHAINED_LOCKS ||
        c->nlayers > S_MAX_LAYERS)
        return ZE_INVALID_ARGUMENT;

    const int64_t nlayers = c->nlayers, nrasters = c->nrasters;
    int64_t pinfo = sizeof(SM_HEADER);
    int64_t layer_locks = S_round_up(pinfo + c->nproc * int64_t(sizeof(SM_PINFO)), 32);
    int64_t layer_table = S_round_up(layer_locks + c->nlocks * int64_t(sizeof(SM_LAYER_LOCK)), 4);
    int64_t state_locks = S_round_up(layer_table + nlayers * int64_t(sizeof(SM_LAYER_ENTRY)), 12);
    int64_t layer_mtimes = state_locks + c->nstatelocks * int64_t(sizeof(SM_STATE_LOCK));
    int64_t next_fids = layer_mtimes + nlayers * 4;
    int64_t registrations = S_round_up(next_fids + nlayers * 4, sizeof(SM_REGISTRATION_SLOT));
    int64_t raster_in_use = registrations + c->nregs * int64_t(sizeof(SM_REGISTRATION_SLOT));
    int64_t next_raster_ids = raster_in_use + nrasters;
    int64_t next_band_ids = next_raster_ids + nrasters * 4;
    int64_t table_locks = S_round_up(next_band_ids + nrasters * 4, 12);
    int64_t object_locks =
        S_round_up(table_locks + c->ntablelocks * int64_t(sizeof(SM_TABLE_LOCK)), 20);
    int64_t total = object_locks + (c->nobjlocks + 1) * int64_t(sizeof(SM_OBJECT_LOCK));
    // Every offset is below the total, so one check covers them all.
    if (total > S_MAX_TOTAL)
        return ZE_INVALID_ARGUMENT;

    layout->pinfo = static_cast<int32_t>(pinfo);
    layout->layer_locks = static_cast<int32_t>(layer_locks);
    layout->layer_table = static_cast<int32_t>(layer_table);
    layout->state_locks = static_cast<int32_t>(state_locks);
    layout->layer_mtimes = static_cast<int32_t>(layer_mtimes);
    layout->next_fids = static_cast<int32_t>(next_fids);
    layout->registrations = static_cast<int32_t>(registrations);
    layout->raster_in_use = static_cast<int32_t>(raster_in_use);
    layout->next_raster_ids = static_cast<int32_t>(next_raster_ids);
    layout->next_band_ids = static_cast<int32_t>(next_band_ids);
    layout->table_locks = static_cast<int32_t>(table_locks);
    layout->object_locks = static_cast<int32_t>(object_locks);
    layout->total = static_cast<int32_t>(total);
    return ZE_SUCCESS;
}

void sm_layout_init(char *block, const SM_CAPACITIES *c, const SM_LAYOUT *layout)
{
    SM_HEADER header;
    memset(&header, 0, sizeof header);
    int32_t *w = header.words;
    w[SM_HW_NPROC] = c->nproc;
    w[SM_HW_NLOCKS] = c->nlocks;
    w[SM_HW_NSTATELOCKS] = c->nstatelocks;
    w[SM_HW_NTABLELOCKS] = c->ntablelocks;
    w[SM_HW_NOBJLOCKS] = c->nobjlocks;
    w[SM_HW_NLAYERS] = c->nlayers;
    w[SM_HW_NREGS] = c->nregs;
    w[SM_HW_NRASTERS] = c->nrasters;
    w[SM_HW_PINFO_OFFSET] = layout->pinfo;
    w[SM_HW_LAYER_LOCK_OFFSET] = layout->layer_locks;
    w[SM_HW_LAYER_TABLE_OFFSET] = layout->layer_table;
    w[SM_HW_STATE_LOCK_OFFSET] = layout->state_locks;
    w[SM_HW_LAYER_MTIME_OFFSET] = layout->layer_mtimes;
    w[SM_HW_NEXT_FID_OFFSET] = layout->next_fids;
    w[SM_HW_REGISTRATION_OFFSET] = layout->registrations;
    w[SM_HW_RASTER_IN_USE_OFFSET] = layout->raster_in_use;
    w[SM_HW_NEXT_RASTER_ID_OFFSET] = layout->next_raster_ids;
    w[SM_HW_NEXT_BAND_ID_OFFSET] = layout->next_band_ids;
    w[SM_HW_TABLE_LOCK_OFFSET] = layout->table_locks;
    w[SM_HW_OBJECT_LOCK_OFFSET] = layout->object_locks;
    w[SM_HW_TOTAL_SIZE] = layout->total;
    w[SM_HW_STATE_USED] = SM_CHAIN_END_WORD;
    w[SM_HW_STATE_FREE] = 0;
    w[SM_HW_REGISTRATION_HEAD] = SM_CHAIN_END_WORD;
    w[SM_HW_TABLE_USED] = SM_CHAIN_END_WORD;
    w[SM_HW_TABLE_FREE] = 0;
    w[SM_HW_OBJECT_USED] = SM_CHAIN_END_WORD;
    w[SM_HW_OBJECT_FREE] = 0;
    memcpy(block, &header, sizeof header);

    // Layer-lock slot k points to k + 1 and the last holds 0: the free chain
    // headed by slot 0 runs 1, 2, ... nlocks - 1.
    SM_LAYER_LOCK *layer_locks = reinterpret_cast<SM_LAYER_LOCK *>(block + layout->layer_locks);
    for (int32_t k = 0; k < c->nlocks; ++k)
        layer_locks[k].next = static_cast<uint16_t>(k + 1 < c->nlocks ? k + 1 : 0);
    S_chain_free(reinterpret_cast<SM_STATE_LOCK *>(block + layout->state_locks), c->nstatelocks);
    S_chain_free(reinterpret_cast<SM_TABLE_LOCK *>(block + layout->table_locks), c->ntablelocks);
    S_chain_free(reinterpret_cast<SM_OBJECT_LOCK *>(block + layout->object_locks), c->nobjlocks);
}

void sm_layout_attach(SM_MASTER *master, const SM_CAPACITIES *capacities, const SM_LAYOUT *layout)
{
    char *block = master->block;
    master->size = layout->total;
    master->caps = *capacities;
    master->pinfo = reinterpret_cast<SM_PINFO *>(block + layout->pinfo);
    master->layer_locks = reinterpret_cast<SM_LAYER_LOCK *>(block + layout->layer_locks);
    master->layer_table = reinterpret_cast<SM_LAYER_ENTRY *>(block + layout->layer_table);
    master->state_locks = reinterpret_cast<SM_STATE_LOCK *>(block + layout->state_locks);
    master->table_locks = reinterpret_cast<SM_TABLE_LOCK *>(block + layout->table_locks);
    master->layer_mtimes = reinterpret_cast<uint32_t *>(block + layout->layer_mtimes);
    master->next_fids = reinterpret_cast<int32_t *>(block + layout->next_fids);
    master->registrations = reinterpret_cast<SM_REGISTRATION_SLOT *>(block + layout->registrations);
    master->raster_in_use = reinterpret_cast<unsigned char *>(block + layout->raster_in_use);
    master->next_raster_ids = reinterpret_cast<unsigned char *>(block + layout->next_raster_ids);
    master->next_band_ids = reinterpret_cast<unsigned char *>(block + layout->next_band_ids);
    master->object_locks = reinterpret_cast<SM_OBJECT_LOCK *>(block + layout->object_locks);
}
