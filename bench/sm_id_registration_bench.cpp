// Feature-id ranges and registration look-ups of the instance's shared
// memory against baselines measured in the same run that do the same
// bookkeeping on shared memory of their own: a robust, process-shared
// pthread mutex and a process-shared pthread_rwlock.
//   - feature-id range: take the lock, check the counter is seeded and has
//     room, advance it by 1, give the lock back;
//   - registration get: take the lock for reading, copy the slot's record out
//     with bounded strings, give the lock back;
//   - registration find: the same after walking n cached slots in ascending
//     id order comparing table, database and owner (the match is the last).
// Compare each subject's time with its baselines' (their ratio).
#include <benchmark/benchmark.h>

#include <pthread.h>
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "server/svrsys/sm_id_counter.h"
#include "server/svrsys/sm_master_internal.h"
#include "server/svrsys/sm_registration.h"

namespace
{

constexpr int32_t kMaxRegs = 1024;

// An instance with n cached registrations ("t0" ... "t<n-1>"), layer 1
// seeded.
struct Cached {
    SM_MASTER *master = nullptr;

    explicit Cached(int32_t n)
    {
        std::string name = "smidbench" + std::to_string(getpid()) + "_" + std::to_string(n);
        if (SM_master_create(nullptr, name.c_str(), 0, 8, 8, 8, 8, 4, kMaxRegs, 4, 8, nullptr,
                             &master) != 0)
            return;
        SM_layer_set_fid_start(master, 1, nullptr, nullptr);
        for (int32_t i = 0; i < n; ++i) {
            REGISTRATION r;
            memset(&r, 0, sizeof r);
            snprintf(r.database_name, sizeof r.database_name, "gisdb");
            snprintf(r.owner, sizeof r.owner, "sam");
            snprintf(r.table_name, sizeof r.table_name, "t%d", i);
            snprintf(r.description, sizeof r.description, "table number %d", i);
            r.object_flags = REG_LAYER;
            SM_shared_registration_set(master, i + 1, &r);
        }
    }
    ~Cached()
    {
        SM_master_destroy(master);
    }
};

// The baselines' shared memory: both locks, a counter and a copy of the slots.
struct Shared {
    pthread_mutex_t mutex;
    pthread_rwlock_t rwlock;
    int32_t counter;
    int32_t count;
    SM_REGISTRATION_SLOT slots[kMaxRegs];
};

struct Baseline {
    Shared *shared = nullptr;

    explicit Baseline(const Cached &cached, int32_t n)
    {
        void *p = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS,
                       -1, 0);
        if (p == MAP_FAILED)
            return;
        shared = static_cast<Shared *>(p);
        pthread_mutexattr_t ma;
        pthread_mutexattr_init(&ma);
        pthread_mutexattr_setpshared(&ma, PTHREAD_PROCESS_SHARED);
        pthread_mutexattr_setrobust(&ma, PTHREAD_MUTEX_ROBUST);
        pthread_mutex_init(&shared->mutex, &ma);
        pthread_mutexattr_destroy(&ma);
        pthread_rwlockattr_t ra;
        pthread_rwlockattr_init(&ra);
        pthread_rwlockattr_setpshared(&ra, PTHREAD_PROCESS_SHARED);
        pthread_rwlock_init(&shared->rwlock, &ra);
        pthread_rwlockattr_destroy(&ra);
        shared->counter = 1;
        shared->count = n;
        if (cached.master)
            memcpy(shared->slots, cached.master->registrations, n * sizeof(SM_REGISTRATION_SLOT));
    }
    ~Baseline()
    {
        if (shared)
            munmap(shared, sizeof(Shared));
    }
};

void copy_field(char *to, const char *from, size_t width)
{
    size_t n = strnlen(from, width - 1);
    memcpy(to, from, n);
    memset(to + n, 0, width - n);
}

// The same record building as the cache's get.
void build(const SM_REGISTRATION_SLOT *s, REGISTRATION *r)
{
    SM_REGISTRATION_SLOT slot;
    memcpy(&slot, s, sizeof slot);
    memset(r, 0, sizeof *r);
    memcpy(r->tag, REGISTRATION_TAG, sizeof REGISTRATION_TAG);
    r->registration_id = slot.registration_id;
    copy_field(r->database_name, slot.database_name, sizeof r->database_name);
    copy_field(r->owner, slot.owner, sizeof r->owner);
    copy_field(r->table_name, slot.table_name, sizeof r->table_name);
    copy_field(r->rowid_column, slot.rowid_column, sizeof r->rowid_column);
    copy_field(r->description, slot.description, sizeof r->description);
    copy_field(r->config_keyword, slot.config_keyword, sizeof r->config_keyword);
    copy_field(r->imv_view_name, slot.imv_view_name, sizeof r->imv_view_name);
    r->object_flags = static_cast<uint32_t>(slot.object_flags);
    r->registration_date = static_cast<uint32_t>(slot.registration_date);
    r->permissions = slot.modification_time;
    r->minimum_id = static_cast<uint32_t>(slot.minimum_id);
}

bool equals(const char *field, size_t width, const char *name, size_t n)
{
    return n < width && field[n] == '\0' && memcmp(field, name, n) == 0;
}

int32_t find(Shared *shared, const char *database, const char *owner, const char *table,
             REGISTRATION *r)
{
    size_t database_length = strlen(database), owner_length = strlen(owner);
    size_t table_length = strlen(table);
    for (int32_t i = 0; i < shared->count; ++i) {
        const SM_REGISTRATION_SLOT *s = &shared->slots[i];
        if (equals(s->table_name, sizeof s->table_name, table, table_length) &&
            equals(s->database_name, sizeof s->database_name, database, database_length) &&
            (owner_length == 0 || equals(s->owner, sizeof s->owner, owner, owner_length))) {
            build(s, r);
            return 0;
        }
    }
    return -220;
}

int32_t fid_range(Shared *shared)
{
    int32_t first = shared->counter;
    if (first <= 0 || first == INT32_MAX)
        return -1;
    shared->counter = first + 1;
    return first;
}

void BM_FidRange(benchmark::State &state)
{
    Cached cached(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(SM_layer_get_fid_range(cached.master, 1, 1));
}

void BM_FidRangeRobustMutex(benchmark::State &state)
{
    Cached cached(0);
    Baseline base(cached, 0);
    for (auto _ : state) {
        pthread_mutex_lock(&base.shared->mutex);
        benchmark::DoNotOptimize(fid_range(base.shared));
        pthread_mutex_unlock(&base.shared->mutex);
    }
}

void BM_FidRangeRwlock(benchmark::State &state)
{
    Cached cached(0);
    Baseline base(cached, 0);
    for (auto _ : state) {
        pthread_rwlock_wrlock(&base.shared->rwlock);
        benchmark::DoNotOptimize(fid_range(base.shared));
        pthread_rwlock_unlock(&base.shared->rwlock);
    }
}

void BM_RegistrationGet(benchmark::State &state)
{
    int32_t n = static_cast<int32_t>(state.range(0));
    Cached cached(n);
    REGISTRATION r;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SM_shared_registration_get(cached.master, n, &r));
        benchmark::DoNotOptimize(r);
    }
}

void BM_RegistrationGetRwlock(benchmark::State &state)
{
    int32_t n = static_cast<int32_t>(state.range(0));
    Cached cached(n);
    Baseline base(cached, n);
    REGISTRATION r;
    for (auto _ : state) {
        pthread_rwlock_rdlock(&base.shared->rwlock);
        build(&base.shared->slots[n - 1], &r);
        pthread_rwlock_unlock(&base.shared->rwlock);
        benchmark::DoNotOptimize(r);
    }
}

void BM_RegistrationFind(benchmark::State &state)
{
    int32_t n = static_cast<int32_t>(state.range(0));
    Cached cached(n);
    char table[16];
    snprintf(table, sizeof table, "t%d", n - 1);
    REGISTRATION r;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SM_registration_find(cached.master, "gisdb", "sam", table, &r));
        benchmark::DoNotOptimize(r);
    }
    if (SM_registration_find(cached.master, "gisdb", "sam", table, &r) != 0)
        state.SkipWithError("not found");
}

// The find baseline under a lock of the baseline's memory (rwlock: reading).
void find_under(benchmark::State &state, bool rwlock)
{
    int32_t n = static_cast<int32_t>(state.range(0));
    Cached cached(n);
    Baseline base(cached, n);
    char table[16];
    snprintf(table, sizeof table, "t%d", n - 1);
    REGISTRATION r;
    for (auto _ : state) {
        if (rwlock)
            pthread_rwlock_rdlock(&base.shared->rwlock);
        else
            pthread_mutex_lock(&base.shared->mutex);
        benchmark::DoNotOptimize(find(base.shared, "gisdb", "sam", table, &r));
        if (rwlock)
            pthread_rwlock_unlock(&base.shared->rwlock);
        else
            pthread_mutex_unlock(&base.shared->mutex);
        benchmark::DoNotOptimize(r);
    }
}

void BM_RegistrationFindRwlock(benchmark::State &state)
{
    find_under(state, true);
}

void BM_RegistrationFindRobustMutex(benchmark::State &state)
{
    find_under(state, false);
}

} // namespace

BENCHMARK(BM_FidRange);
BENCHMARK(BM_FidRangeRobustMutex);
BENCHMARK(BM_FidRangeRwlock);
BENCHMARK(BM_RegistrationGet)->Arg(16)->Arg(1024);
BENCHMARK(BM_RegistrationGetRwlock)->Arg(16)->Arg(1024);
BENCHMARK(BM_RegistrationFind)->Arg(16)->Arg(1024);
BENCHMARK(BM_RegistrationFindRwlock)->Arg(16)->Arg(1024);
BENCHMARK(BM_RegistrationFindRobustMutex)->Arg(16)->Arg(1024);
