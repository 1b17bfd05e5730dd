// Work buffers: zero-filled blocks for the large, short-lived buffers of
// streams, channels and raster tiles. Below 4096 bytes they come from the C
// heap; from 4096 bytes from page-mapped memory (platform/plat_memory_internal.h), so
// they never fragment the heap. The size is needed again to free a block.
#ifndef VE_BUFFER_H
#define VE_BUFFER_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define VE_BUFFER_MAPPED_MIN 4096 /* smallest size served by mapped pages */

/* A zero-filled block of n bytes; null when n is 0 or negative or memory is
 * exhausted. Release it with VES_buffer_free and the same n. */
ZEL_API void *VES_buffer_alloc(int32_t n);

/* Releases a block from VES_buffer_alloc. Returns 0; -65 for a null block;
 * -66 for n of 0 or less, or when n is not the size the block was allocated
 * with on the mapped side of 4096 (the block is then left alone); -1 when the
 * system refuses to unmap. */
ZEL_API int32_t VES_buffer_free(void *block, int32_t n);

#endif
