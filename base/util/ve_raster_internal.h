// Raster record helpers shared inside the library.
#ifndef VE_RASTER_INTERNAL_H
#define VE_RASTER_INTERNAL_H

#include "base/util/ve_raster.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Frees the constraint's band-number array and the record; null is ignored. */
void ves_raster_constraint_free(RASCONSTRAINT *constraint);

/* Empties an attribute record: words zeroed, words 1 and 2 set to -1 (no
 * raster), the owned array freed when its count is positive, the envelope
 * made empty (minimum x and y 2147483647.0, the rest 0). Null is ignored. */
void ves_rasterattr_reset(RASTERATTR *attr);

#ifdef __cplusplus
}
#endif

#endif
