// Monotonic deadlines and sleeps of the timed waits (see plat_wait_internal.h).
#include "platform/plat_wait_internal.h"

#include <errno.h>

namespace
{
constexpr long S_NANOS = 1000000000L;
}

struct timespec plat_deadline_after_ms(int32_t timeout_ms)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (timeout_ms < 0)
        timeout_ms = 0;
    now.tv_sec += timeout_ms / 1000;
    now.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (now.tv_nsec >= S_NANOS) {
        now.tv_sec += 1;
        now.tv_nsec -= S_NANOS;
    }
    return now;
}

struct timespec plat_time_left(const struct timespec *deadline)
{
    struct timespec now, left = {0, 0};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (now.tv_sec > deadline->tv_sec ||
        (now.tv_sec == deadline->tv_sec && now.tv_nsec >= deadline->tv_nsec))
        return left;
    left.tv_sec = deadline->tv_sec - now.tv_sec;
    left.tv_nsec = deadline->tv_nsec - now.tv_nsec;
    if (left.tv_nsec < 0) {
        left.tv_sec -= 1;
        left.tv_nsec += S_NANOS;
    }
    return left;
}

void plat_sleep_ms(int32_t ms)
{
    struct timespec deadline = plat_deadline_after_ms(ms);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}
