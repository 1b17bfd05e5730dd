// Spatial-index kind of a layer, carried in its three grid sizes:
//   kind 1   first grid size > 0; grid 1..3 = the three sizes (0 = level unused)
//   kind 0   first size 0; second and third must be 0
//   kind -1, -2  first size -1 or -2; no parameters
//   kind -3  first size -3; one parameter in the second size
//   kind -4  first size -4; two parameters in the second and third sizes
// A first size of 0 or less is truncated to an integer to give the kind;
// VE_SPIDX_INVALID is the result of a failed decoding.
#ifndef VE_SPATIAL_INDEX_INTERNAL_H
#define VE_SPATIAL_INDEX_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_layer.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VE_SPIDX_GRID 1
#define VE_SPIDX_NONE 0
#define VE_SPIDX_MIN (-4)
#define VE_SPIDX_INVALID (-5)

/* Least grid size in system units, and least ratio between grid levels. */
#define VE_SPIDX_MIN_GRID 256
#define VE_SPIDX_LEVEL_RATIO 3

/* Decodes a grid triple. Returns 0; -65 when an output is null; -318 (kind
 * VE_SPIDX_INVALID, sizes 0) when the first size does not name a kind. */
int32_t ves_spatial_index_decode(double first, double second, double third, int32_t *kind,
                                 double *grid1, double *grid2, double *grid3);
/* Encodes a kind and its parameters into a grid triple. Returns 0; -65 when
 * an output is null; -318 for a kind outside -4..1 (outputs zeroed). */
int32_t ves_spatial_index_encode(int32_t kind, double param1, double param2, double param3,
                                 double *first, double *second, double *third);
/* Checks decoded parameters; for kind 1 against the coordinate reference (an
 * empty one when null). Returns 0, -318, -317, -141, -33, or the mapped
 * failure of creating the empty reference. */
int32_t ves_spatial_index_check(int32_t kind, double grid1, double grid2, double grid3,
                                COORDREF *coordref);
/* Decodes the layer's grid triple and, with validate non-zero, checks it
 * against the layer's coordinate reference. Returns 0, -65, -317, -318, -141
 * or -33. */
int32_t ves_layer_verify_spatial_index(const LAYER *layer, int32_t *kind, double *grid1,
                                       double *grid2, double *grid3, int32_t validate);
/* The kind alone: of a layer (VE_SPIDX_INVALID for null) and of a first grid
 * size. */
int32_t ves_layer_spatial_index_kind(const LAYER *layer);
int32_t ves_spatial_index_kind(double first);

#ifdef __cplusplus
}
#endif

#endif
