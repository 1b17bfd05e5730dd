// Manual- and auto-reset events on a futex word (see
// plat_shared_event_internal.h). The waits are shared futex waits (not
// process-private), with absolute CLOCK_MONOTONIC deadlines.
#include "platform/plat_shared_event_internal.h"

#include <errno.h>
#include <limits.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace
{

std::atomic_ref<uint32_t> S_state(PLAT_EVENT_WORD *word)
{
    return std::atomic_ref<uint32_t>(word->state);
}

// Sleeps while the word holds 0, until woken or past the deadline (null: none).
// ETIMEDOUT when the deadline passed.
int S_futex_wait(PLAT_EVENT_WORD *word, const struct timespec *deadline)
{
    long result = syscall(SYS_futex, &word->state, FUTEX_WAIT_BITSET, 0u, deadline, nullptr,
                          FUTEX_BITSET_MATCH_ANY);
    return result == 0 ? 0 : errno;
}

void S_futex_wake(PLAT_EVENT_WORD *word, int count)
{
    syscall(SYS_futex, &word->state, FUTEX_WAKE, count, nullptr, nullptr, 0);
}

} // namespace

void plat_event_word_init(PLAT_EVENT_WORD *word, int manual, int initially_set)
{
    word->manual = manual ? 1u : 0u;
    S_state(word).store(initially_set ? 1u : 0u, std::memory_order_release);
}

void plat_event_word_set(PLAT_EVENT_WORD *word)
{
    if (S_state(word).exchange(1u, std::memory_order_acq_rel) == 1u)
        return;
    S_futex_wake(word, word->manual ? INT_MAX : 1);
}

void plat_event_word_reset(PLAT_EVENT_WORD *word)
{
    S_state(word).store(0u, std::memory_order_release);
}

int plat_event_word_is_set(PLAT_EVENT_WORD *word)
{
    return S_state(word).load(std::memory_order_acquire) == 1u;
}

int plat_event_word_wait(PLAT_EVENT_WORD *word, int32_t timeout_ms)
{
    struct timespec deadline;
    if (timeout_ms >= 0)
        deadline = plat_deadline_after_ms(timeout_ms);
    for (;;) {
        if (word->manual) {
            if (S_state(word).load(std::memory_order_acquire) == 1u)
                return PLAT_WAIT_OBJECT_0;
        } else {
            uint32_t expected = 1u;
            if (S_state(word).compare_exchange_strong(expected, 0u, std::memory_order_acq_rel))
                return PLAT_WAIT_OBJECT_0;
        }
        // EAGAIN (set meanwhile) and EINTR look again; only the deadline ends.
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
