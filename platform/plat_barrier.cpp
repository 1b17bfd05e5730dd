// The process-wide barrier (plat_barrier_internal.h) over membarrier.
#include "platform/plat_barrier_internal.h"

#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

static long S_membarrier(int command)
{
    return syscall(SYS_membarrier, command, 0, 0);
}

int plat_barrier_register(void)
{
    static const int registered = [] {
        const long supported = S_membarrier(MEMBARRIER_CMD_QUERY);
        if (supported < 0 || (supported & MEMBARRIER_CMD_GLOBAL_EXPEDITED) == 0)
            return 0;
        return S_membarrier(MEMBARRIER_CMD_REGISTER_GLOBAL_EXPEDITED) == 0 ? 1 : 0;
    }();
    return registered;
}

int plat_barrier_all(void)
{
    return S_membarrier(MEMBARRIER_CMD_GLOBAL_EXPEDITED) == 0 ? 0 : -1;
}
