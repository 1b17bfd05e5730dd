// Page-mapped memory, standing in for the Windows VirtualAlloc/VirtualFree pair
// that the work buffers use for blocks of 4096 bytes and more.
#ifndef PLAT_MEMORY_INTERNAL_H
#define PLAT_MEMORY_INTERNAL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Maps size bytes of zero-filled read-write memory; null when that fails. */
void *plat_virtual_alloc(size_t size);
/* Unmaps a block from plat_virtual_alloc; size is the size it was mapped with.
 * Returns 0, or -1 when the system refuses. */
int plat_virtual_free(void *block, size_t size);

#ifdef __cplusplus
}
#endif

#endif
