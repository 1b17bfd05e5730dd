// Geometry-module results to engine codes. Every path that calls the module
// on features, envelopes or coordinate references passes its result through
// VES_map_shape_error_to_zel before it reaches a caller.
#ifndef VE_SHAPE_ERROR_H
#define VE_SHAPE_ERROR_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0 stays 0; each module code (-2001 to -2049, -2999) becomes its engine
 * code; anything else, -2000 and positive values included, becomes -1. */
ZEL_API int32_t VES_map_shape_error_to_zel(int32_t result);

#ifdef __cplusplus
}
#endif

#endif
