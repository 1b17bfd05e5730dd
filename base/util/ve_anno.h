// The annotation object of a feature (VE_ANNO, base/util/ve_feature.h): its
// tag check, leader and placement shapes, alignment record, copy and size.
// The compressed feature code reads and writes it; the feature record owns
// it and releases it with VES_anno_free.
#ifndef VE_ANNO_H
#define VE_ANNO_H

#include <stdint.h>

#include "base/util/ve_feature.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VE_ANNO_TAG "AnO"       /* a valid object */
#define VE_ANNO_FREED_TAG "aNo" /* an object that has been freed */

/* A new initialised object in *anno, freed with VES_anno_free. -65 for a null
 * out-pointer, -999 when memory is short. */
ZEL_API int32_t VES_anno_create(VE_ANNO **anno);
/* Zeroes the object (owning nothing afterwards), sets long 3 to 7 and writes
 * the tag. 0, or -65 for null. */
ZEL_API int32_t VES_initialize_anno(VE_ANNO *anno);
/* Frees the two shapes, the alignment record and the object, marking it
 * freed first. Null is ignored. */
ZEL_API void VES_anno_free(VE_ANNO *anno);
/* 0 for a valid object; -71 for null or a tag other than "AnO". */
ZEL_API int32_t VES_anno_info_ok(const VE_ANNO *anno);
/* Makes the annotation's leader (placement) a copy of shape; the caller keeps
 * shape. A nil shape removes the leader (placement). -71 invalid object,
 * -134 null shape, -138 when the other shape's coordinate reference differs
 * (the slot is then unchanged), or a mapped geometry-module code. */
ZEL_API int32_t VES_anno_set_leader(VE_ANNO *anno, const FEATURE_STRUCT *shape);
ZEL_API int32_t VES_anno_set_placement(VE_ANNO *anno, const FEATURE_STRUCT *shape);
/* Makes target (a valid or a zero-filled object) equal to source: numbers,
 * tag, text, alignment and both shapes. -71 when source is not a valid
 * object or target is null, -999 when memory is short, or a mapped
 * geometry-module code (target then holds what was copied so far). */
ZEL_API int32_t VES_anno_copy(const VE_ANNO *source, VE_ANNO *target);
/* Bytes the object occupies with its shapes and alignment; 0 when invalid. */
ZEL_API int32_t VES_anno_size(const VE_ANNO *anno);
/* A zero-filled alignment record in *alignment. -65 null, -999 no memory. */
ZEL_API int32_t VES_anno_alignment_alloc(VE_ANNO_ALIGNMENT **alignment);
/* Frees *alignment and clears it; a null pointer is ignored. */
ZEL_API void VES_anno_alignment_free(VE_ANNO_ALIGNMENT **alignment);

#ifdef __cplusplus
}
#endif

#endif
