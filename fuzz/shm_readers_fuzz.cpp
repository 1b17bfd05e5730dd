// Fuzz target over the instance's shared memory as a hostile process of the
// same account would leave it: the input patches the block (header words,
// process slots, lock chains, registration cache) and the guard's reader
// table, before a server attaches (the attach must refuse what it cannot
// trust) or after it (its walks must stay inside what it checked). The
// server then runs the readers and the lock calls that walk and repair.
//
// Input: one mode byte (bit 0: patch before the attach, else after), then
// patches of [offset: 2 bytes, little-endian][length: 1 byte][bytes]; an
// offset below 0x8000 is taken modulo the block's size, one from 0x8000 on
// (less 0x8000) modulo the reader table's.
#include "server/svrsys/sm_layer_lock.h"
#include "server/svrsys/sm_master_internal.h"
#include "server/svrsys/sm_object_lock.h"
#include "server/svrsys/sm_pinfo.h"
#include "server/svrsys/sm_registration.h"
#include "server/svrsys/sm_state_lock.h"
#include "server/svrsys/sm_table_lock.h"

#include "base/util/ve_buffer.h"
#include "fuzz/fuzz_quiet.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

namespace
{

constexpr SM_CAPACITIES S_CAPACITIES = {4, 8, 6, 6, 6, 3, 3, 2};
constexpr size_t S_READERS_SPACE = 0x8000;

struct S_Instance {
    SM_MASTER *master = nullptr;
    std::string name;
    SM_LAYOUT layout{};
    int32_t reader_capacity = 0;
};

void S_destroy(void);

S_Instance &S_instance()
{
    static S_Instance instance = [] {
        S_Instance made;
        made.name = "shmfuzz" + std::to_string(getpid());
        const SM_CAPACITIES &c = S_CAPACITIES;
        if (SM_master_create(nullptr, made.name.c_str(), 0, c.nproc, c.nlocks, c.nstatelocks,
                             c.ntablelocks, c.nlayers, c.nregs, c.nrasters, c.nobjlocks, nullptr,
                             &made.master) != 0 ||
            sm_layout_compute(&S_CAPACITIES, &made.layout) != 0) {
            made.master = nullptr;
            return made;
        }
        made.reader_capacity = made.master->guard.reader_capacity;
        atexit(S_destroy);
        return made;
    }();
    return instance;
}

void S_destroy(void)
{
    SM_master_destroy(S_instance().master);
}

// The block and the reader table as a new instance has them.
void S_reset(S_Instance &instance)
{
    SM_MASTER *m = instance.master;
    memset(m->block, 0, static_cast<size_t>(instance.layout.total));
    sm_layout_init(m->block, &S_CAPACITIES, &instance.layout);
    auto *readers = static_cast<SM_GUARD_READERS *>(m->guard.readers.base);
    memset(m->guard.readers.base, 0, m->guard.readers.size);
    readers->capacity = instance.reader_capacity;
}

void S_patch(S_Instance &instance, const uint8_t *data, size_t size)
{
    SM_MASTER *m = instance.master;
    auto *block = reinterpret_cast<unsigned char *>(m->block);
    auto *readers = static_cast<unsigned char *>(m->guard.readers.base);
    const size_t block_size = static_cast<size_t>(instance.layout.total);
    const size_t readers_size = m->guard.readers.size;
    size_t at = 0;
    while (at + 3 <= size) {
        size_t offset = data[at] | (static_cast<size_t>(data[at + 1]) << 8);
        size_t length = data[at + 2];
        at += 3;
        if (length > size - at)
            length = size - at;
        unsigned char *base = block;
        size_t room = block_size;
        if (offset >= S_READERS_SPACE) {
            offset -= S_READERS_SPACE;
            base = readers;
            room = readers_size;
        }
        offset %= room;
        if (length > room - offset)
            length = room - offset;
        memcpy(base + offset, data + at, length);
        at += length;
    }
}

int32_t S_find_layer(void *, const SM_LAYER_LOCK *)
{
    return 0;
}
int32_t S_find_table(void *, const SM_TABLE_LOCK *)
{
    return 0;
}
int32_t S_find_object(void *, const SM_OBJECT_LOCK *)
{
    return 0;
}
void S_list_layer(const SM_LAYER_LOCK *) {}
void S_list_state(const SM_STATE_LOCK *) {}
void S_list_table(const SM_TABLE_LOCK *) {}
void S_list_object(const SM_OBJECT_LOCK *) {}

// What a server reads and walks. The guard is taken only as a reader: a
// writer waits, as it must, for readers whose processes live.
void S_run_readers(SM_MASTER *server)
{
    SM_PINFO record;
    for (int32_t rc = SM_pinfo_scan(server, SM_PINFO_SCAN_FIRST, &record); rc == 0;
         rc = SM_pinfo_scan(server, SM_PINFO_SCAN_NEXT, &record)) {
    }
    SM_pinfo_find(server, 0);
    if (SM_pinfo_add(server, 4242) == 0)
        SM_pinfo_delete(server, 4242);
    for (int32_t code = 1; code <= 29; ++code)
        if (code != SM_INFO_NEW_REGISTRATION_ID)
            SM_shared_info(server, code);

    const ENVELOPE box = {0, 0, 10, 10};
    for (int32_t layer = 0; layer <= S_CAPACITIES.nlayers + 1; ++layer) {
        if (SM_lock_add(server, layer, SM_LOCK_SHARED_AREA, &box) == 0)
            SM_lock_delete(server, layer);
        SM_locks_find_on_layer(server, layer, 1, S_find_layer, nullptr);
    }
    SM_locks_display_used(server, S_list_layer);
    SM_locks_delete_user(server, 4243);

    if (SM_state_lock_add(server, 7, SM_STATE_LOCK_SHARED_STATE) == 0)
        SM_state_lock_delete(server, 7, 0);
    SM_state_locks_display_used(server, S_list_state);
    SM_state_locks_delete_user(server, 4243);

    if (SM_table_lock_add(server, 7, 0) == 0)
        SM_table_lock_delete(server, 7);
    SM_locks_find_on_table(server, 7, 1, S_find_table, nullptr);
    SM_table_locks_display_used(server, S_list_table);
    SM_table_locks_delete_user(server, 4243);

    SM_OBJECT_LOCK_RECORD object = {server->own_id, 3, 4, 5};
    if (SM_object_lock_add(server, &object, 0) == 0)
        SM_object_lock_delete(server, &object, 0);
    SM_object_locks_find_by_example(server, &object, 1, S_find_object, nullptr);
    SM_object_locks_display_used(server, S_list_object);
    SM_object_locks_delete_user(server, 4243);

    REGISTRATION registration;
    for (int32_t id = 0; id <= S_CAPACITIES.nregs + 1; ++id) {
        SM_shared_registration_get(server, id, &registration);
        SM_registration_time_last_modified(server, id);
    }
    REGISTRATION *list = nullptr;
    int32_t count = 0;
    if (SM_registration_get_list(server, nullptr, &list, &count) == 0 && list != nullptr)
        VES_buffer_free(list, (count + 1) * static_cast<int32_t>(sizeof(REGISTRATION)));
    SM_registration_find(server, "db", nullptr, "table", &registration);

    if (sm_rw_guard_acquire(server, 2) == 0)
        sm_rw_guard_release(server);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    S_Instance &instance = S_instance();
    if (instance.master == nullptr || size == 0)
        return 0;
    const bool before_attach = (data[0] & 1) != 0;
    S_reset(instance);
    if (before_attach)
        S_patch(instance, data + 1, size - 1);
    SM_MASTER *server = nullptr;
    if (SM_server_open(nullptr, instance.name.c_str(), 0, 0, nullptr, &server) == 0) {
        if (!before_attach)
            S_patch(instance, data + 1, size - 1);
        S_run_readers(server);
        SM_server_close(server);
    }
    return 0;
}
