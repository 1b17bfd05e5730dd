// Manual- and auto-reset events on a futex word (see
// plat_shared_event_internal.h). The waits are shared futex waits (not
// process-private), with absolute CLOCK_MONOTONIC deadlines.
//
// The word is 1 while set, 0 while clear, and 2 while clear with a waiter
// asleep on it: a waiter marks it before it sleeps, so a set makes the wake
// system call only when someone sleeps (the registration cache's guard sets
// its event at the end of every read). A set wakes every sleeper; those of an
// auto-reset event that lose the race mark the word again and sleep on.
#include "platform/plat_shared_event_internal.h"

#include <errno.h>
#include <limits.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace
{

constexpr uint32_t S_CLEAR = 0u;
constexpr uint32_t S_SET = 1u;
constexpr uint32_t S_SLEEPERS = 2u;

std::atomic_ref<uint32_t> S_state(PLAT_EVENT_WORD *word)
{
    return std::atomic_ref<uint32_t>(word->state);
}

// Sleeps while the word holds S_SLEEPERS, until woken or past the deadline
// (null: none). ETIMEDOUT when the deadline passed.
int S_futex_wait(PLAT_EVENT_WORD *word, const struct timespec *deadline)
{
    long result = syscall(SYS_futex, &word->state, FUTEX_WAIT_BITSET, S_SLEEPERS, deadline, nullptr,
                          FUTEX_BITSET_MATCH_ANY);
    return result == 0 ? 0 : errno;
}

void S_futex_wake(PLAT_EVENT_WORD *word)
{
    syscall(SYS_futex, &word->state, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

} // namespace

void plat_event_word_init(PLAT_EVENT_WORD *word, int manual, int initially_set)
{
    word->manual = manual ? 1u : 0u;
    S_state(word).store(initially_set ? S_SET : S_CLEAR, std::memory_order_release);
}

void plat_event_word_set(PLAT_EVENT_WORD *word)
{
    if (S_state(word).exchange(S_SET, std::memory_order_acq_rel) == S_SLEEPERS)
        S_futex_wake(word);
}

void plat_event_word_reset(PLAT_EVENT_WORD *word)
{
    // Only a set word changes: a clear one may carry the sleepers' mark.
    uint32_t expected = S_SET;
    S_state(word).compare_exchange_strong(expected, S_CLEAR, std::memory_order_acq_rel);
}

int plat_event_word_is_set(PLAT_EVENT_WORD *word)
{
    return S_state(word).load(std::memory_order_acquire) == S_SET;
}

int plat_event_word_wait(PLAT_EVENT_WORD *word, int32_t timeout_ms)
{
    struct timespec deadline;
    if (timeout_ms >= 0)
        deadline = plat_deadline_after_ms(timeout_ms);
    for (;;) {
        uint32_t state = S_state(word).load(std::memory_order_acquire);
        if (state == S_SET) {
            if (word->manual)
                return PLAT_WAIT_OBJECT_0;
            if (S_state(word).compare_exchange_strong(state, S_CLEAR, std::memory_order_acq_rel))
                return PLAT_WAIT_OBJECT_0;
            continue;
        }
        if (timeout_ms == 0)
            return PLAT_WAIT_TIMEOUT;
        // Mark the word before sleeping, so that the next set wakes us.
        if (state == S_CLEAR &&
            !S_state(word).compare_exchange_strong(state, S_SLEEPERS, std::memory_order_acq_rel))
            continue;
        // EAGAIN (changed meanwhile) and EINTR look again; only the deadline ends.
        if (S_futex_wait(word, timeout_ms >= 0 ? &deadline : nullptr) == ETIMEDOUT)
            return PLAT_WAIT_TIMEOUT;
    }
}

int plat_shared_event_create(const char *name, int manual, int initially_set,
                             PLAT_SHARED_EVENT *event)
{
    if (!event)
        return PLAT_SHM_FAILED;
    int created = 0;
    if (plat_shm_create_or_open(name, sizeof(PLAT_EVENT_WORD), &event->shm, &created) !=
        PLAT_SHM_OK)
        return PLAT_SHM_FAILED;
    if (created) {
        plat_event_word_init(plat_shared_event_word(event), manual, initially_set);
        plat_shm_publish(&event->shm);
    }
    return 0;
}

int plat_shared_event_open(const char *name, PLAT_SHARED_EVENT *event)
{
    if (!event)
        return PLAT_SHM_FAILED;
    int result = plat_shm_open(name, &event->shm);
    if (result == PLAT_SHM_OK && event->shm.size < sizeof(PLAT_EVENT_WORD)) {
        plat_shm_close(&event->shm);
        return PLAT_SHM_FAILED;
    }
    return result;
}

PLAT_EVENT_WORD *plat_shared_event_word(PLAT_SHARED_EVENT *event)
{
    return event ? static_cast<PLAT_EVENT_WORD *>(event->shm.base) : nullptr;
}

void plat_shared_event_close(PLAT_SHARED_EVENT *event)
{
    if (event)
        plat_shm_close(&event->shm);
}
