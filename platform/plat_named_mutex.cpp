// Named robust mutexes (see plat_named_mutex_internal.h).
#include "platform/plat_named_mutex_internal.h"

#include "platform/plat_wait_internal.h"

#include <errno.h>
#include <pthread.h>
#include <time.h>

namespace
{

pthread_mutex_t *S_mutex(PLAT_NAMED_MUTEX *mutex)
{
    return static_cast<pthread_mutex_t *>(mutex->shm.base);
}

int S_init(pthread_mutex_t *mutex)
{
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0)
        return -1;
    int result = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    if (result == 0)
        result = pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    if (result == 0)
        result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    if (result == 0)
        result = pthread_mutex_init(mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return result == 0 ? 0 : -1;
}

} // namespace

int plat_named_mutex_create(const char *name, PLAT_NAMED_MUTEX *mutex)
{
    if (!mutex)
        return PLAT_SHM_FAILED;
    int created = 0;
    if (plat_shm_create_or_open(name, sizeof(pthread_mutex_t), &mutex->shm, &created) !=
        PLAT_SHM_OK)
        return PLAT_SHM_FAILED;
    if (created) {
        if (S_init(S_mutex(mutex)) != 0) {
            plat_shm_close(&mutex->shm);
            return PLAT_SHM_FAILED;
        }
        plat_shm_publish(&mutex->shm);
    }
    return 0;
}

int plat_named_mutex_open(const char *name, PLAT_NAMED_MUTEX *mutex)
{
    if (!mutex)
        return PLAT_SHM_FAILED;
    int result = plat_shm_open(name, &mutex->shm);
    if (result == PLAT_SHM_OK && mutex->shm.size < sizeof(pthread_mutex_t)) {
        plat_shm_close(&mutex->shm);
        return PLAT_SHM_FAILED;
    }
    return result;
}

int plat_named_mutex_lock(PLAT_NAMED_MUTEX *mutex, int32_t timeout_ms)
{
    if (!mutex || !mutex->shm.base)
        return PLAT_WAIT_FAILED;
    int result;
    if (timeout_ms < 0) {
        result = pthread_mutex_lock(S_mutex(mutex));
    } else {
        struct timespec deadline = plat_deadline_after_ms(timeout_ms);
        result = pthread_mutex_clocklock(S_mutex(mutex), CLOCK_MONOTONIC, &deadline);
    }
    switch (result) {
    case 0:
        return PLAT_WAIT_OBJECT_0;
    case EOWNERDEAD:
        // The holder died inside; the data it guarded is the waiter's to judge.
        if (pthread_mutex_consistent(S_mutex(mutex)) != 0) {
            pthread_mutex_unlock(S_mutex(mutex));
            return PLAT_WAIT_FAILED;
        }
        return PLAT_WAIT_ABANDONED;
    case ETIMEDOUT:
        return PLAT_WAIT_TIMEOUT;
    default:
        return PLAT_WAIT_FAILED;
    }
}

int plat_named_mutex_unlock(PLAT_NAMED_MUTEX *mutex)
{
    if (!mutex || !mutex->shm.base)
        return -1;
    return pthread_mutex_unlock(S_mutex(mutex)) == 0 ? 0 : -1;
}

void plat_named_mutex_close(PLAT_NAMED_MUTEX *mutex)
{
    if (mutex)
        plat_shm_close(&mutex->shm);
}
