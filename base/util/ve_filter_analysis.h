// Filter analysis: the one search envelope a spatial query hands to the
// database's envelope search, and whether its filters leave no feature at
// all. Used by the query path before the SELECT is built. Filters are laid
// out in base/util/ve_filter.h.
#ifndef VE_FILTER_ANALYSIS_H
#define VE_FILTER_ANALYSIS_H

#include <stdint.h>

#include "base/util/ve_filter.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* minx = miny of the empty search envelope (maxx = maxy = 0). */
#define VE_EMPTY_ENVELOPE_MIN 2147483647

/* Derives the search envelope of the filters: the intersection of the
 * must-pass filters' envelopes when one of them uses SM_SC, SM_SC_NO_ET or
 * SM_IDENTICAL (the empty flag set when it is empty), otherwise the envelope
 * of the must-pass filter that covers the fewest cells of a grid of grid_size
 * (with grid_size <= 0: the smallest half perimeter; ties keep the first). A
 * must-pass filter with a nil shape sets the empty flag and returns 0 at once.
 * 0; -65 null argument; -66 negative count; -134 a must-pass shape filter
 * without shape; -119 a must-pass filter that is not a shape filter; -127 no
 * must-pass filter. */
ZEL_API int32_t VES_analyze_filters(int16_t count, const VE_FILTER *filters, int32_t grid_size,
                                    int32_t *empty, ENVELOPE *envelope);

#ifdef __cplusplus
}
#endif

#endif
