// The instance's named mutexes and the registration cache's reader/writer
// guard (sm_master_internal.h). Mutexes are numbered 1 to 15 for the lock
// calls; the handle keeps them in creation order, which differs. The guard is
// a mutex, a manual-reset "no readers" event and header word 0, the reader
// count; each reader is also recorded by process id in the guard's reader
// table, so that a writer discounts readers that died while reading instead
// of waiting for them for ever.
#include "server/svrsys/sm_master_internal.h"

#include "server/svrsys/sm_lock_chain_internal.h"

#include "base/util/ve_release.h"
#include "base/util/zel_errors.h"
#include "server/svrsys/subprograms.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/types.h>

#include <algorithm>
#include <atomic>

namespace
{

// Creation order of the mutexes, with their names.
const char *const S_SUFFIXES[SM_MUTEX_COUNT] = {
    "iomgr_lock_mutex",
    "iomgr_state_lock_mutex",
    "iomgr_fid_mutex",
    "iomgr_shared_mutex",
    "iomgr_rowid_mutex",
    "iomgr_state_mutex",
    "iomgr_rasterid_mutex",
    "iomgr_bandid_mutex",
    "iomgr_table_lock_mutex",
    "iomgr_next_state_id_mutex",
    "iomgr_next_metadata_id_mutex",
    "iomgr_next_locator_id_mutex",
    "iomgr_next_version_id_mutex",
    "iomgr_object_lock_mutex",
    "iomgr_default_state_id_mutex",
};

// Creation index of mutex number n (1 to 15).
const int32_t S_CREATION_INDEX[SM_MUTEX_COUNT + 1] = {-1, 0, 2, 3,  4,  5,  1,  6,
                                                      7,  8, 9, 10, 11, 12, 13, 14};

const char S_GUARD_MUTEX[] = "iomgr_rwguard_mutex";
const char S_GUARD_EVENT[] = "iomgr_rwno_readers_event";
const char S_GUARD_READERS[] = "iomgr_rwguard_readers";

// Readers recorded at most: every process slot and some to spare, bounded.
constexpr int64_t S_READERS_SPARE = 64;
constexpr int64_t S_READERS_MAX = 4096;
// How long a writer waits for the readers before it looks for dead ones.
constexpr int32_t S_WRITER_POLL_MS = 100;
// Releases of one mutex at close: recursion deeper than this is not ours.
constexpr int S_RELEASE_MAX = 64;

int32_t S_index(int32_t number)
{
    return number >= 1 && number <= SM_MUTEX_COUNT ? S_CREATION_INDEX[number] : -1;
}

SM_GUARD_READERS *S_readers(SM_MASTER *master)
{
    return static_cast<SM_GUARD_READERS *>(master->guard.readers.base);
}

// Under the guard mutex: drops the entries of dead readers and sets header
// word 0 to the readings of the living ones.
int32_t S_recount_readers(SM_MASTER *master)
{
    SM_GUARD_READERS *readers = S_readers(master);
    int64_t total = 0;
    for (int32_t i = 0; i < master->guard.reader_capacity; ++i) {
        SM_GUARD_READER *entry = &readers->entries[i];
        if (entry->pid == 0)
            continue;
        if (entry->count <= 0 || !sm_process_exists(entry->pid)) {
            entry->pid = 0;
            entry->count = 0;
            continue;
        }
        total += entry->count;
    }
    int32_t count = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
    sm_header(master)[SM_HW_GUARD_READERS] = count;
    return count;
}

// Under the guard mutex: the process's entry, made when make is set; null
// when there is none (or no room even after dropping dead readers).
SM_GUARD_READER *S_reader_entry(SM_MASTER *master, bool make)
{
    SM_GUARD_READERS *readers = S_readers(master);
    for (int pass = 0; pass < 2; ++pass) {
        SM_GUARD_READER *free_entry = nullptr;
        for (int32_t i = 0; i < master->guard.reader_capacity; ++i) {
            SM_GUARD_READER *entry = &readers->entries[i];
            if (entry->pid == master->own_id)
                return entry;
            if (entry->pid == 0 && !free_entry)
                free_entry = entry;
        }
        if (!make)
            return nullptr;
        if (free_entry) {
            free_entry->count = 0;
            free_entry->pid = master->own_id;
            return free_entry;
        }
        S_recount_readers(master);
    }
    return nullptr;
}

int32_t S_guard_lock(SM_MASTER *master)
{
    int result = plat_named_mutex_lock(&master->guard.mutex, PLAT_WAIT_INFINITE);
    if (result == PLAT_WAIT_ABANDONED) {
        // A holder died inside: the count may be off by its change.
        S_recount_readers(master);
        return 0;
    }
    return result == PLAT_WAIT_OBJECT_0 ? 0 : -1;
}

} // namespace

int32_t sm_process_exists(int32_t pid)
{
    if (pid <= 0)
        return 0;
    if (kill(pid, 0) != 0 && errno != EPERM)
        return 0;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE *f = fopen(path, "re");
    if (!f)
        return 1; // no /proc: the signal test stands
    // "pid (comm) state ...": the state follows the last ')'.
    char line[512];
    size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = '\0';
    const char *close = strrchr(line, ')');
    return !(close && close[1] == ' ' && close[2] == 'Z');
}

void sm_object_name(const char *instance, const char *suffix, char *out)
{
    snprintf(out, SM_OBJECT_NAME_SIZE, "ZEL_%s_%s_%s", VE_RELEASE_TEXT, instance, suffix);
}

const char *sm_mutex_suffix_by_creation(int32_t creation_index)
{
    return creation_index >= 0 && creation_index < SM_MUTEX_COUNT ? S_SUFFIXES[creation_index]
                                                                  : nullptr;
}

int32_t sm_mutex_lock(SM_MASTER *master, int32_t number)
{
    int32_t index = S_index(number);
    if (master->local || index < 0)
        return ZE_SUCCESS;
    int result = plat_named_mutex_lock(&master->mutexes[index], PLAT_WAIT_INFINITE);
    if (result != PLAT_WAIT_OBJECT_0 && result != PLAT_WAIT_ABANDONED)
        return ZE_FAILURE;
    master->held[index] = 1;
    // Its holder died inside: mend the lock table it guards before use.
    if (result == PLAT_WAIT_ABANDONED)
        sm_lock_tables_repair(master, number);
    return ZE_SUCCESS;
}

int32_t sm_mutex_unlock(SM_MASTER *master, int32_t number)
{
    int32_t index = S_index(number);
    if (master->local || index < 0)
        return ZE_SUCCESS;
    master->held[index] = 0;
    return plat_named_mutex_unlock(&master->mutexes[index]) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

void sm_mutex_release_held(SM_MASTER *master)
{
    for (int32_t i = 0; i < SM_MUTEX_COUNT; ++i) {
        if (!master->held[i])
            continue;
        // Recursive: give back every level this thread holds.
        for (int n = 0; n < S_RELEASE_MAX; ++n)
            if (plat_named_mutex_unlock(&master->mutexes[i]) != 0)
                break;
        master->held[i] = 0;
    }
}

int32_t sm_rw_guard_open(SM_MASTER *master, int32_t create, int32_t nproc)
{
    SM_RW_GUARD *guard = &master->guard;
    char name[SM_OBJECT_NAME_SIZE];
    sm_object_name(master->instance, S_GUARD_MUTEX, name);
    int result = create ? plat_named_mutex_create(name, &guard->mutex)
                        : plat_named_mutex_open(name, &guard->mutex);
    if (result != 0)
        return ZE_FAILURE;
    sm_object_name(master->instance, S_GUARD_EVENT, name);
    result = create ? plat_shared_event_create(name, 1, 1, &guard->no_readers)
                    : plat_shared_event_open(name, &guard->no_readers);
    if (result != 0) {
        sm_rw_guard_close(master);
        return ZE_FAILURE;
    }
    sm_object_name(master->instance, S_GUARD_READERS, name);
    int64_t capacity = std::min<int64_t>(int64_t(nproc) + S_READERS_SPARE, S_READERS_MAX);
    size_t size = offsetof(SM_GUARD_READERS, entries) + capacity * sizeof(SM_GUARD_READER);
    int created = 0;
    if (create) {
        result = plat_shm_create_or_open(name, size, &guard->readers, &created);
    } else {
        result = plat_shm_open(name, &guard->readers);
    }
    if (result != PLAT_SHM_OK) {
        sm_rw_guard_close(master);
        return ZE_FAILURE;
    }
    SM_GUARD_READERS *readers = S_readers(master);
    if (created) {
        readers->capacity = static_cast<int32_t>(capacity);
        plat_shm_publish(&guard->readers);
    } else {
        // Read once and checked against the object's size: every walk of the
        // table is bounded by this copy, whatever the word says later.
        if (guard->readers.size < offsetof(SM_GUARD_READERS, entries)) {
            sm_rw_guard_close(master);
            return ZE_FAILURE;
        }
        capacity = std::atomic_ref<int32_t>(readers->capacity).load(std::memory_order_acquire);
        size_t room =
            (guard->readers.size - offsetof(SM_GUARD_READERS, entries)) / sizeof(SM_GUARD_READER);
        if (capacity < 0 || room < static_cast<size_t>(capacity)) {
            sm_rw_guard_close(master);
            return ZE_FAILURE;
        }
    }
    guard->reader_capacity = static_cast<int32_t>(capacity);
    guard->mode = 1;
    return ZE_SUCCESS;
}

void sm_rw_guard_close(SM_MASTER *master)
{
    SM_RW_GUARD *guard = &master->guard;
    if (guard->mode == 2 || guard->mode == 3)
        sm_rw_guard_release(master);
    plat_shm_close(&guard->readers);
    plat_shared_event_close(&guard->no_readers);
    plat_named_mutex_close(&guard->mutex);
    guard->reader_capacity = 0;
    guard->mode = 0;
}

int32_t sm_rw_guard_acquire(SM_MASTER *master, int32_t mode)
{
    if (master->local)
        return ZE_SUCCESS;
    SM_RW_GUARD *guard = &master->guard;
    PLAT_EVENT_WORD *no_readers = plat_shared_event_word(&guard->no_readers);
    // A stop request must not end the process while it holds the guard.
    SubPrograms_StopHandling(0);
    if (mode == 2) {
        if (S_guard_lock(master) != 0) {
            SubPrograms_StopHandling(1);
            return ZE_FAILURE;
        }
        SM_GUARD_READER *entry = S_reader_entry(master, true);
        if (!entry) {
            plat_named_mutex_unlock(&guard->mutex);
            SubPrograms_StopHandling(1);
            return ZE_FAILURE;
        }
        // The entry first: a reader that dies between the two is recounted.
        entry->count += 1;
        int32_t *readers = &sm_header(master)[SM_HW_GUARD_READERS];
        *readers += 1;
        if (*readers == 1)
            plat_event_word_reset(no_readers);
        plat_named_mutex_unlock(&guard->mutex);
        guard->mode = 2;
        return ZE_SUCCESS;
    }
    if (mode == 3) {
        SubPrograms_StopHandling(1);
        for (;;) {
            if (S_guard_lock(master) != 0)
                return ZE_FAILURE;
            int32_t readers = sm_header(master)[SM_HW_GUARD_READERS];
            if (readers != 0)
                readers = S_recount_readers(master);
            if (readers == 0) {
                plat_event_word_set(no_readers);
                break;
            }
            plat_named_mutex_unlock(&guard->mutex);
            plat_event_word_wait(no_readers, S_WRITER_POLL_MS);
        }
        SubPrograms_StopHandling(0);
        guard->mode = 3;
        return ZE_SUCCESS;
    }
    SubPrograms_StopHandling(1);
    return ZE_INVALID_ARGUMENT;
}

int32_t sm_rw_guard_release(SM_MASTER *master)
{
    SM_RW_GUARD *guard = &master->guard;
    if (guard->mode == 1)
        return ZE_SUCCESS;
    if (guard->mode == 2) {
        if (S_guard_lock(master) != 0)
            return ZE_FAILURE;
        SM_GUARD_READER *entry = S_reader_entry(master, false);
        if (entry && --entry->count <= 0) {
            entry->pid = 0;
            entry->count = 0;
        }
        int32_t *readers = &sm_header(master)[SM_HW_GUARD_READERS];
        if (*readers > 0)
            *readers -= 1;
        if (*readers == 0)
            plat_event_word_set(plat_shared_event_word(&guard->no_readers));
        plat_named_mutex_unlock(&guard->mutex);
    } else if (guard->mode == 3) {
        if (plat_named_mutex_unlock(&guard->mutex) != 0)
            return ZE_FAILURE;
    } else {
        return ZE_FAILURE;
    }
    SubPrograms_StopHandling(1);
    guard->mode = 1;
    return ZE_SUCCESS;
}
