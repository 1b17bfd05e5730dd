// Page-mapped memory on POSIX: anonymous private mappings are zero-filled.
#include "platform/plat_memory_internal.h"

#include <sys/mman.h>

void *plat_virtual_alloc(size_t size)
{
    if (size == 0)
        return nullptr;
    void *block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

int plat_virtual_free(void *block, size_t size)
{
    if (block == nullptr)
        return 0;
    return munmap(block, size) == 0 ? 0 : -1;
}
