// Lock requests of the instance's shared memory with n locks of other
// processes held, against the baseline of every request: one uncontended
// lock and unlock of a robust, process-shared named mutex, measured in the
// same run. Layer locks: n shared areas scattered over a layer, and an update
// area beside them added and removed (the request tests each held area for
// overlap, the removal walks to the end of the chain). State locks: n shared
// state locks, and an exclusive lock on another state added and removed.
// Compare each subject's time with the baseline's (their ratio).
#include <benchmark/benchmark.h>

#include <stdint.h>
#include <unistd.h>

#include <string>

#include "platform/plat_named_mutex_internal.h"
#include "server/svrsys/sm_layer_lock.h"
#include "server/svrsys/sm_master_internal.h"
#include "server/svrsys/sm_state_lock.h"

namespace
{

constexpr int32_t kSlots = 8192;

// An instance whose lock tables hold n locks of other processes.
struct Held {
    SM_MASTER *master = nullptr;

    explicit Held(int32_t n)
    {
        std::string name = "smbench" + std::to_string(getpid()) + "_" + std::to_string(n);
        if (SM_master_create(nullptr, name.c_str(), 0, 8, kSlots, kSlots, 8, 4, 4, 4, 8, nullptr,
                             &master) != 0)
            return;
        uint32_t seed = 4711;
        for (int32_t k = 0; k < n; ++k) {
            seed = seed * 1103515245u + 12345u;
            int32_t x = static_cast<int32_t>((seed >> 8) % 10000);
            seed = seed * 1103515245u + 12345u;
            int32_t y = static_cast<int32_t>((seed >> 8) % 10000);
            const ENVELOPE box = {x, y, x + 50, y + 50};
            SM_lock_add(master, 1, SM_LOCK_SHARED_AREA, &box);
            SM_state_lock_add(master, 100 + k, SM_STATE_LOCK_SHARED_STATE);
            // Hand both to another (living) process: no process here keeps a
            // child list, so every holder counts as alive.
            for (int32_t i = 1; i < kSlots; ++i)
                if (master->layer_locks[i].holder == master->own_id)
                    master->layer_locks[i].holder = 1000000 + k;
            int32_t head = sm_header(master)[SM_HW_STATE_USED];
            master->state_locks[head].holder = 1000000 + k;
        }
    }
    ~Held()
    {
        SM_master_destroy(master);
    }
};

void BM_RobustMutexBaseline(benchmark::State &state)
{
    Held held(0);
    PLAT_NAMED_MUTEX *mutex = &held.master->mutexes[0];
    for (auto _ : state) {
        int locked = plat_named_mutex_lock(mutex, PLAT_WAIT_INFINITE);
        benchmark::DoNotOptimize(locked);
        plat_named_mutex_unlock(mutex);
    }
}

void BM_LayerLockAddDelete(benchmark::State &state)
{
    Held held(static_cast<int32_t>(state.range(0)));
    const ENVELOPE beside = {20000, 20000, 20050, 20050};
    for (auto _ : state) {
        int32_t added = SM_lock_add(held.master, 1, SM_LOCK_UPDATE_AREA, &beside);
        int32_t deleted = SM_lock_delete(held.master, 1);
        benchmark::DoNotOptimize(added);
        benchmark::DoNotOptimize(deleted);
    }
    if (SM_shared_info(held.master, SM_INFO_LAYER_LOCKS_IN_USE) != state.range(0))
        state.SkipWithError("the held locks changed");
}

void BM_StateLockAddDelete(benchmark::State &state)
{
    Held held(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        int32_t added = SM_state_lock_add(held.master, 7, SM_STATE_LOCK_EXCLUSIVE_STATE);
        int32_t deleted = SM_state_lock_delete(held.master, 7, 0);
        benchmark::DoNotOptimize(added);
        benchmark::DoNotOptimize(deleted);
    }
    if (SM_shared_info(held.master, SM_INFO_STATE_LOCKS_IN_USE) != state.range(0))
        state.SkipWithError("the held locks changed");
}

} // namespace

BENCHMARK(BM_RobustMutexBaseline);
BENCHMARK(BM_LayerLockAddDelete)->Arg(0)->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_StateLockAddDelete)->Arg(0)->Arg(16)->Arg(256)->Arg(4096);
