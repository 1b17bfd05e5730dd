// Spatial-index kinds and grid checks of a layer (base/util/ve_spatial_index_internal.h).
#include "base/util/ve_spatial_index_internal.h"

#include <memory>

#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

int32_t ves_spatial_index_kind(double first)
{
    if (first > 0.0)
        return VE_SPIDX_GRID;
    // Rejecting everything at or below -5 first keeps NaN and huge values
    // away from the integer conversion.
    if (!(first > VE_SPIDX_INVALID))
        return VE_SPIDX_INVALID;
    return static_cast<int32_t>(first);
}

int32_t ves_layer_spatial_index_kind(const LAYER *layer)
{
    if (layer == nullptr)
        return VE_SPIDX_INVALID;
    return ves_spatial_index_kind(layer->grid_size[0]);
}

int32_t ves_spatial_index_decode(double first, double second, double third, int32_t *kind,
                                 double *grid1, double *grid2, double *grid3)
{
    if (kind == nullptr || grid1 == nullptr || grid2 == nullptr || grid3 == nullptr)
        return ZE_NULL_POINTER;
    *kind = VE_SPIDX_INVALID;
    *grid1 = *grid2 = *grid3 = 0.0;
    int32_t k = ves_spatial_index_kind(first);
    switch (k) {
    case VE_SPIDX_GRID:
        *grid1 = first;
        *grid2 = second;
        *grid3 = third;
        break;
    case -4:
        *grid1 = second;
        *grid2 = third;
        break;
    case -3:
        *grid1 = second;
        break;
    case -2:
    case -1:
    case VE_SPIDX_NONE:
        break;
    default:
        return ZE_INVALID_INDEX_TYPE;
    }
    *kind = k;
    return 0;
}

int32_t ves_spatial_index_encode(int32_t kind, double param1, double param2, double param3,
                                 double *first, double *second, double *third)
{
    if (first == nullptr || second == nullptr || third == nullptr)
        return ZE_NULL_POINTER;
    *first = *second = *third = 0.0;
    switch (kind) {
    case VE_SPIDX_GRID:
        *first = param1;
        *second = param2;
        *third = param3;
        return 0;
    case -4:
        *first = -4.0;
        *second = param1;
        *third = param2;
        return 0;
    case -3:
        *first = -3.0;
        *second = param1;
        return 0;
    case -2:
    case -1:
    case VE_SPIDX_NONE:
        *first = kind;
        return 0;
    default:
        return ZE_INVALID_INDEX_TYPE;
    }
}

// A grid size in system units, or false when it does not convert.
static bool S_to_system(const COORDREF *coordref, double size, int64_t *out)
{
    int32_t value = 0;
    if (MoxsValueToSystem(0.0, coordref->xyunits, size, &value) != 0)
        return false;
    *out = value;
    return true;
}

// Grid sizes of kind 1 against an active reference: each level at least 256
// system units and at least three times the level below.
static int32_t S_check_grids(const COORDREF *coordref, double grid1, double grid2, double grid3)
{
    if (grid1 == 0.0)
        return ZE_INVALID_GRID_SIZE;
    int64_t s1 = 0, s2 = 0, s3 = 0;
    if (!S_to_system(coordref, grid1, &s1))
        return ZE_INVALID_GRID_SIZE;
    if (grid2 != 0.0 && !S_to_system(coordref, grid2, &s2))
        return ZE_INVALID_GRID_SIZE;
    if (grid3 != 0.0 && !S_to_system(coordref, grid3, &s3))
        return ZE_INVALID_GRID_SIZE;
    if (s1 < VE_SPIDX_MIN_GRID)
        return ZE_INVALID_GRID_SIZE;
    if (grid2 != 0.0 && (s2 < VE_SPIDX_MIN_GRID || s2 < VE_SPIDX_LEVEL_RATIO * s1))
        return ZE_INVALID_GRID_SIZE;
    if (grid3 != 0.0 && (grid2 == 0.0 || s3 < VE_SPIDX_MIN_GRID || s3 < VE_SPIDX_LEVEL_RATIO * s2))
        return ZE_INVALID_GRID_SIZE;
    return 0;
}

int32_t ves_spatial_index_check(int32_t kind, double grid1, double grid2, double grid3,
                                COORDREF *coordref)
{
    switch (kind) {
    case -4:
        return grid1 >= 0.0 && grid2 >= 0.0 ? 0 : ZE_INVALID_INDEX_PARAM;
    case -3:
        return grid1 >= 0.0 ? 0 : ZE_INVALID_INDEX_PARAM;
    case -2:
    case -1:
        return 0;
    case VE_SPIDX_NONE:
        return grid1 == 0.0 && grid2 == 0.0 && grid3 == 0.0 ? 0 : ZE_INVALID_INDEX_PARAM;
    case VE_SPIDX_GRID:
        break;
    default:
        return ZE_INVALID_INDEX_TYPE;
    }
    std::unique_ptr<COORDREF, decltype(&MoxCoordRefFree)> own(nullptr, MoxCoordRefFree);
    if (coordref == nullptr) {
        COORDREF *empty = nullptr;
        int32_t rc = MoxCoordRefCreate(&empty);
        if (rc != 0)
            return VES_map_shape_error_to_zel(rc);
        own.reset(empty);
        coordref = empty;
    }
    if (MoxsCoordRefIsActive(coordref) <= 0)
        return ZE_INVALID_COORDREF;
    return S_check_grids(coordref, grid1, grid2, grid3);
}

int32_t ves_layer_verify_spatial_index(const LAYER *layer, int32_t *kind, double *grid1,
                                       double *grid2, double *grid3, int32_t validate)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = ves_spatial_index_decode(layer->grid_size[0], layer->grid_size[1],
                                          layer->grid_size[2], kind, grid1, grid2, grid3);
    if (rc != 0 || !validate)
        return rc;
    if (*kind == VE_SPIDX_NONE)
        return layer->grid_size[1] == 0.0 && layer->grid_size[2] == 0.0 ? 0
                                                                        : ZE_INVALID_INDEX_PARAM;
    return ves_spatial_index_check(*kind, *grid1, *grid2, *grid3, layer->coordref);
}
