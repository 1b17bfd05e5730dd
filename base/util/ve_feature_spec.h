// Prepared forms of spatial filters (VE_FEATURE_SPEC, ve_filter.h): a stream
// keeps one per filter between its query and its close.
#ifndef VE_FEATURE_SPEC_H
#define VE_FEATURE_SPEC_H

#include <stdint.h>

#include "base/util/ve_filter.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Frees each spec's prepared search data and then the array, which must come
 * from the C heap. A null array is ignored; the filters are not used. */
ZEL_API void VES_free_feature_specs(int32_t count, const VE_FILTER *filters,
                                    VE_FEATURE_SPEC *specs);

#ifdef __cplusplus
}
#endif

#endif
