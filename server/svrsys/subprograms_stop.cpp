// The server process's side of child-process management: the stop watcher
// that ends the process once the control process releases its stop
// semaphore, and the stop-protected section that holds a stop off. The
// watcher keeps the section from the moment it has it until the process ends,
// so no thread can begin a protected operation that the end would cut short.
#include "server/svrsys/subprograms_internal.h"

#include <errno.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>

#include "base/util/zel_errors.h"
#include "platform/plat_sync_internal.h"

static PLAT_CRITICAL_SECTION S_stop_section = PLAT_CRITICAL_SECTION_INIT;

// The stop-watch record of this process.
static PLAT_SEMAPHORE *S_semaphore = nullptr;
static SUBPROGRAMS_STOP_CALLBACK S_on_stop = nullptr;
static std::atomic<bool> S_watching{false};

static void *S_watch_stop(void *)
{
    int rc = plat_semaphore_wait(S_semaphore);
    if (rc != 0) {
        // Nothing can tell this process to stop any more; it ends by itself.
        SUBPROGRAMS_API_ERROR("WaitForSingleObject", rc);
        return nullptr;
    }
    plat_critical_section_enter(&S_stop_section);
    rc = plat_semaphore_release(S_semaphore);
    if (rc != 0 && rc != EOVERFLOW)
        SUBPROGRAMS_API_ERROR("ReleaseSemaphore", rc);
    plat_semaphore_close(S_semaphore);
    S_semaphore = nullptr;
    if (S_on_stop != nullptr)
        S_on_stop();
    // Other threads may be running on: no static destructors under them.
    fflush(nullptr);
    _exit(0);
}

int32_t SubPrograms_OnStop(SUBPROGRAMS_STOP_CALLBACK on_stop, const char *semaphore_name)
{
    bool idle = false;
    if (!S_watching.compare_exchange_strong(idle, true))
        return ZE_FAILURE;
    int rc = plat_semaphore_open(semaphore_name, &S_semaphore);
    if (rc != 0) {
        SUBPROGRAMS_API_ERROR("OpenSemaphore", rc);
        S_watching.store(false);
        return ZE_FAILURE;
    }
    S_on_stop = on_stop;
    pthread_t thread;
    rc = pthread_create(&thread, nullptr, S_watch_stop, nullptr);
    if (rc != 0) {
        SUBPROGRAMS_API_ERROR("CreateThread", rc);
        plat_semaphore_close(S_semaphore);
        S_semaphore = nullptr;
        S_watching.store(false);
        return ZE_FAILURE;
    }
    pthread_detach(thread);
    return ZE_SUCCESS;
}

int32_t SubPrograms_StopHandling(int32_t leave)
{
    if (leave == 0) {
        plat_critical_section_enter(&S_stop_section);
        return ZE_SUCCESS;
    }
    return plat_critical_section_leave(&S_stop_section) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

void SubPrograms_ThreadExit(int32_t code)
{
    pthread_exit((void *)(intptr_t)code);
}
