// Creating, opening and closing the instance's shared memory (sm_master.h;
// layout in sm_master_internal.h). The control process creates the block and
// its named objects; server processes attach and check the header's offsets
// against the block before they trust them; a direct connection lays the same
// block out in private memory.
#include "server/svrsys/sm_master_internal.h"

#include "base/util/zel_errors.h"
#include "db/core/db_dbtune.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace
{

const char S_MAPPING[] = "iomgr_shared_memory";

SM_MASTER *S_alloc(const char *instance, VE_CODEPAGE *codepage, void *first)
{
    SM_MASTER *master = static_cast<SM_MASTER *>(calloc(1, sizeof(SM_MASTER)));
    if (!master)
        return nullptr;
    master->scan_cursor = -1;
    master->own_id = static_cast<int32_t>(getpid());
    master->codepage = codepage;
    master->first = first;
    if (instance) {
        strncpy(master->instance, instance, SM_INSTANCE_NAME_SIZE - 1);
        master->instance[SM_INSTANCE_NAME_SIZE - 1] = '\0';
    }
    return master;
}

void S_close_mutexes(SM_MASTER *master)
{
    for (PLAT_NAMED_MUTEX &mutex : master->mutexes)
        plat_named_mutex_close(&mutex);
}

// Opens (create nonzero: creates) the 15 mutexes in creation order; on a
// failure closes those opened so far. 0 or -109.
int32_t S_open_mutexes(SM_MASTER *master, int create)
{
    char name[SM_OBJECT_NAME_SIZE];
    for (int32_t i = 0; i < SM_MUTEX_COUNT; ++i) {
        sm_object_name(master->instance, sm_mutex_suffix_by_creation(i), name);
        int result = create ? plat_named_mutex_create(name, &master->mutexes[i])
                            : plat_named_mutex_open(name, &master->mutexes[i]);
        if (result != 0) {
            S_close_mutexes(master);
            return ZE_MUTEX_FAILED;
        }
    }
    return ZE_SUCCESS;
}

SM_CAPACITIES S_capacities(int32_t nproc, int32_t nlocks, int32_t nstatelocks, int32_t ntablelocks,
                           int32_t nlayers, int32_t nregs, int32_t nrasters, int32_t nobjlocks)
{
    SM_CAPACITIES c;
    c.nproc = nproc;
    c.nlocks = nlocks;
    c.nstatelocks = nstatelocks;
    c.ntablelocks = ntablelocks;
    c.nobjlocks = nobjlocks;
    c.nlayers = nlayers;
    c.nregs = nregs;
    c.nrasters = nrasters;
    return c;
}

// The layout a header describes, when it describes a block of size bytes:
// its capacities must give exactly its offsets and size. 0 or -1. The
// capacities are read once, here, into c.
int32_t S_header_layout(const int32_t *w, size_t size, SM_CAPACITIES *capacities, SM_LAYOUT *layout)
{
    if (size < sizeof(SM_HEADER))
        return ZE_FAILURE;
    SM_CAPACITIES &c = *capacities;
    c = S_capacities(w[SM_HW_NPROC], w[SM_HW_NLOCKS], w[SM_HW_NSTATELOCKS], w[SM_HW_NTABLELOCKS],
                     w[SM_HW_NLAYERS], w[SM_HW_NREGS], w[SM_HW_NRASTERS], w[SM_HW_NOBJLOCKS]);
    if (sm_layout_compute(&c, layout) != ZE_SUCCESS)
        return ZE_FAILURE;
    const int32_t expected[] = {
        layout->pinfo,         layout->layer_locks,   layout->layer_table,
        layout->state_locks,   layout->layer_mtimes,  layout->next_fids,
        layout->registrations, layout->raster_in_use, layout->next_raster_ids,
        layout->next_band_ids, layout->table_locks,   layout->object_locks,
        layout->total,
    };
    for (int32_t i = 0; i < int32_t(sizeof expected / sizeof expected[0]); ++i)
        if (w[SM_HW_PINFO_OFFSET + i] != expected[i])
            return ZE_FAILURE;
    return static_cast<size_t>(layout->total) == size ? ZE_SUCCESS : ZE_FAILURE;
}

} // namespace

int32_t SM_master_create(void *first, const char *instance, int32_t /*ignored*/, int32_t nproc,
                         int32_t nlocks, int32_t nstatelocks, int32_t ntablelocks, int32_t nlayers,
                         int32_t nregs, int32_t nrasters, int32_t nobjlocks, VE_CODEPAGE *codepage,
                         SM_MASTER **master)
{
    if (!instance || !master)
        return ZE_NULL_POINTER;
    *master = nullptr;
    int32_t answer = DB_instance_has_dbs_tables();
    if (answer != ZE_TABLE_NOT_FOUND)
        return answer == 0 ? ZE_DBS_TABLES_EXIST : answer;

    SM_CAPACITIES c =
        S_capacities(nproc, nlocks, nstatelocks, ntablelocks, nlayers, nregs, nrasters, nobjlocks);
    SM_LAYOUT layout;
    int32_t result = sm_layout_compute(&c, &layout);
    if (result != ZE_SUCCESS)
        return result;
    SM_MASTER *m = S_alloc(instance, codepage, first);
    if (!m)
        return ZE_OUT_OF_MEMORY;

    char name[SM_OBJECT_NAME_SIZE];
    sm_object_name(m->instance, S_MAPPING, name);
    int created = plat_shm_create(name, static_cast<size_t>(layout.total), &m->mapping);
    if (created != PLAT_SHM_OK) {
        free(m);
        // Another account's object under the name is a name that exists.
        return created == PLAT_SHM_EXISTS || created == PLAT_SHM_FOREIGN ? ZE_INSTANCE_RUNNING
                                                                         : ZE_OUT_OF_MEMORY;
    }
    m->block = static_cast<char *>(m->mapping.base);
    sm_layout_init(m->block, &c, &layout);
    sm_layout_attach(m, &c, &layout);

    if (S_open_mutexes(m, 1) != ZE_SUCCESS) {
        plat_shm_close(&m->mapping);
        free(m);
        return ZE_MUTEX_FAILED;
    }
    if (sm_rw_guard_open(m, 1, nproc) != ZE_SUCCESS) {
        SM_master_destroy(m);
        return ZE_MUTEX_FAILED;
    }
    // Servers see the block only now that its header, chains and objects exist.
    plat_shm_publish(&m->mapping);
    *master = m;
    return ZE_SUCCESS;
}

void SM_master_destroy(SM_MASTER *master)
{
    if (!master)
        return;
    sm_mutex_release_held(master);
    sm_rw_guard_close(master);
    plat_shm_remove(&master->mapping);
    S_close_mutexes(master);
    free(master);
}

int32_t SM_server_open(void *first, const char *instance, int32_t /*ignored*/, int32_t flag,
                       VE_CODEPAGE *codepage, SM_MASTER **master)
{
    if (flag != 0)
        return ZE_INVALID_RELEASE;
    if (!instance || !master)
        return ZE_NULL_POINTER;
    *master = nullptr;
    SM_MASTER *m = S_alloc(instance, codepage, first);
    if (!m)
        return ZE_OUT_OF_MEMORY;
    char name[SM_OBJECT_NAME_SIZE];
    sm_object_name(m->instance, S_MAPPING, name);
    if (plat_shm_open(name, &m->mapping) != PLAT_SHM_OK) {
        free(m);
        return ZE_OUT_OF_MEMORY;
    }
    m->block = static_cast<char *>(m->mapping.base);
    SM_LAYOUT layout;
    SM_CAPACITIES capacities;
    if (S_header_layout(sm_header(m), m->mapping.size, &capacities, &layout) != ZE_SUCCESS) {
        plat_shm_close(&m->mapping);
        free(m);
        return ZE_OUT_OF_MEMORY;
    }
    sm_layout_attach(m, &capacities, &layout);
    if (S_open_mutexes(m, 0) != ZE_SUCCESS) {
        plat_shm_close(&m->mapping);
        free(m);
        return ZE_MUTEX_FAILED;
    }
    if (sm_rw_guard_open(m, 0, 0) != ZE_SUCCESS) {
        SM_server_close(m);
        return ZE_FAILURE;
    }
    *master = m;
    return ZE_SUCCESS;
}

int32_t SM_local_server_open(int32_t /*ignored*/, int32_t nproc, int32_t nlocks,
                             int32_t nstatelocks, int32_t ntablelocks, int32_t nlayers,
                             int32_t nregs, int32_t nrasters, int32_t nobjlocks,
                             VE_CODEPAGE *codepage, SM_MASTER **master)
{
    if (!master)
        return ZE_NULL_POINTER;
    *master = nullptr;
    SM_CAPACITIES c =
        S_capacities(nproc, nlocks, nstatelocks, ntablelocks, nlayers, nregs, nrasters, nobjlocks);
    SM_LAYOUT layout;
    int32_t result = sm_layout_compute(&c, &layout);
    if (result != ZE_SUCCESS)
        return result;
    SM_MASTER *m = S_alloc(nullptr, codepage, nullptr);
    if (!m)
        return ZE_OUT_OF_MEMORY;
    m->block = static_cast<char *>(calloc(1, static_cast<size_t>(layout.total)));
    if (!m->block) {
        free(m);
        return ZE_OUT_OF_MEMORY;
    }
    m->local = 1;
    sm_layout_init(m->block, &c, &layout);
    sm_layout_attach(m, &c, &layout);
    // Without a control process every layer id is taken from the start.
    for (int32_t i = 0; i < nlayers; ++i)
        m->layer_table[i].layer_id = static_cast<uint16_t>(i + 1);
    *master = m;
    return ZE_SUCCESS;
}

void SM_server_close(SM_MASTER *master)
{
    if (!master)
        return;
    if (master->local) {
        free(master->block);
        free(master);
        return;
    }
    sm_mutex_release_held(master);
    sm_rw_guard_close(master);
    plat_shm_close(&master->mapping);
    S_close_mutexes(master);
    free(master);
}
