// Filter analysis (base/util/ve_filter_analysis.h). Cell counts and half
// perimeters are computed in wide integers: a box across the whole system
// range has about 2^64 cells of size 1.
#include "base/util/ve_filter_analysis.h"

#include <stdint.h>

#include "base/util/zel_errors.h"

static const ENVELOPE S_empty = {VE_EMPTY_ENVELOPE_MIN, VE_EMPTY_ENVELOPE_MIN, 0, 0};

static bool S_valid(const ENVELOPE &e)
{
    return e.minx <= e.maxx && e.miny <= e.maxy;
}

static bool S_intersecting(int32_t method)
{
    return method == SM_SC || method == SM_SC_NO_ET || method == SM_IDENTICAL;
}

/* Grid cells the box touches; integer division truncates toward zero. */
static __int128 S_cells(const ENVELOPE &e, int32_t grid)
{
    __int128 nx = (__int128)(e.maxx / grid) - e.minx / grid + 1;
    __int128 ny = (__int128)(e.maxy / grid) - e.miny / grid + 1;
    return nx * ny;
}

static int64_t S_half_perimeter(const ENVELOPE &e)
{
    return ((int64_t)e.maxx - e.minx) + ((int64_t)e.maxy - e.miny);
}

ZEL_API int32_t VES_analyze_filters(int16_t count, const VE_FILTER *filters, int32_t grid_size,
                                    int32_t *empty, ENVELOPE *envelope)
{
    if (empty == nullptr || envelope == nullptr || (count > 0 && filters == nullptr))
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    for (int16_t i = 0; i < count; i++) {
        const VE_FILTER &f = filters[i];
        if (f.truth == 0 || f.filter_type != VE_SHAPE_FILTER)
            continue;
        if (f.shape == nullptr)
            return ZE_NULL_SHAPE;
        if (f.shape->entity_type == VE_ENTITY_NIL) {
            *empty = 1;
            return ZE_SUCCESS;
        }
    }
    *envelope = S_empty;
    *empty = 0;
    if (count == 0)
        return ZE_SUCCESS;

    bool any_must_pass = false;
    bool intersecting = false;
    for (int16_t i = 0; i < count && !intersecting; i++) {
        if (filters[i].truth == 0)
            continue;
        any_must_pass = true;
        intersecting = S_intersecting(filters[i].search_method);
    }

    if (intersecting) {
        /* The whole plane, negative system units included: starting at 0
         * would empty the search of filters that lie below it. */
        ENVELOPE e = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
        for (int16_t i = 0; i < count; i++) {
            const VE_FILTER &f = filters[i];
            if (f.truth == 0)
                continue;
            if (f.filter_type != VE_SHAPE_FILTER) {
                *envelope = S_empty;
                return ZE_INVALID_FILTER_TYPE;
            }
            const ENVELOPE &s = f.shape->envelope;
            if (s.minx > e.minx)
                e.minx = s.minx;
            if (s.miny > e.miny)
                e.miny = s.miny;
            if (s.maxx < e.maxx)
                e.maxx = s.maxx;
            if (s.maxy < e.maxy)
                e.maxy = s.maxy;
        }
        *envelope = e;
        if (!S_valid(e))
            *empty = 1;
        return ZE_SUCCESS;
    }
    if (!any_must_pass)
        return ZE_NO_MUST_PASS_FILTER;

    int32_t rc = ZE_SUCCESS;
    ENVELOPE best = S_empty;
    for (int16_t i = 0; i < count; i++) {
        const VE_FILTER &f = filters[i];
        if (f.truth == 0)
            continue;
        if (f.filter_type != VE_SHAPE_FILTER) {
            best = S_empty;
            rc = ZE_INVALID_FILTER_TYPE;
            continue;
        }
        const ENVELOPE &s = f.shape->envelope;
        bool better;
        if (!S_valid(best))
            better = true;
        else if (grid_size > 0)
            better = S_cells(s, grid_size) < S_cells(best, grid_size);
        else
            better = S_half_perimeter(s) < S_half_perimeter(best);
        if (better)
            best = s;
    }
    *envelope = best;
    return rc;
}
