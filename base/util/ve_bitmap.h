// Bit sets: a fixed number of bits, least significant bit first in 32-bit
// words, that grows on request. Id bookkeeping, versioning and the instance's
// shared memory keep their id sets in them.
#ifndef VE_BITMAP_H
#define VE_BITMAP_H

#include "base/util/zel_export.h"

#include <stdint.h>

typedef struct VE_BITMAP {
    int32_t bit_count;  /* valid bits, at least 1 */
    int32_t word_count; /* (bit_count + 31) / 32 */
    uint32_t *words;    /* bit i: words[i / 32] & (1 << (i % 32)) */
} VE_BITMAP;

/* A new bit set of bit_count bits, all 1 (all_set non-zero) or all 0; null
 * for a count below 1 or when memory runs out. Free with VES_Bitmap_Destroy. */
ZEL_API VE_BITMAP *VES_Bitmap_Create(int32_t bit_count, int32_t all_set);
/* Sets every word to all ones (value non-zero) or all zeros. */
ZEL_API void VES_Bitmap_Clear(VE_BITMAP *bitmap, int32_t value);
/* The bit's mask when set, 0 when clear; a bit outside the set is reported
 * on standard error and gives 0. */
ZEL_API int32_t VES_Bitmap_Test(const VE_BITMAP *bitmap, int32_t bit);
/* Sets (value non-zero) or clears a bit; 0, or -1 for a bit outside the set. */
ZEL_API int32_t VES_Bitmap_Set(VE_BITMAP *bitmap, int32_t bit, int32_t value);
/* The bit count (0 for a null set). */
ZEL_API int32_t VES_Bitmap_MaxBits(const VE_BITMAP *bitmap);
/* The first bit at or after from whose value is value (0 or 1); -1 when
 * there is none or from lies outside the set. */
ZEL_API int32_t VES_Bitmap_Scan(const VE_BITMAP *bitmap, int32_t from, int32_t value);
/* Resizes to new_count bits, new bits taking value: 0 destroys the set (the
 * handle is gone) and gives 0; -66 for a negative count; -13 when memory
 * runs out (the set unchanged); else 0. */
ZEL_API int32_t VES_Bitmap_ReSize(VE_BITMAP *bitmap, int32_t new_count, int32_t value);
/* Frees the words and the set; null is ignored. */
ZEL_API void VES_Bitmap_Destroy(VE_BITMAP *bitmap);

#endif
