// Parts and rings of a shape's point list (the rule is written in mox/mox.h)
// and the exact ring sums that area, length and the part getters build on.
#include "mox/mox_parts_internal.h"

#include <math.h>

mox_part_kind mox_part_kind_of(const FEATURE_STRUCT *shape)
{
    bool multi = (shape->entity_type & 0x100u) != 0;
    switch (shape->entity_type & 0xFFu) {
    case VE_ENTITY_POINT:
        return MOX_KIND_POINTS;
    case VE_ENTITY_LINE:
    case VE_ENTITY_SIMPLE_LINE:
        return multi ? MOX_KIND_MULTILINE : MOX_KIND_LINE;
    case VE_ENTITY_AREA:
        return multi ? MOX_KIND_MULTIAREA : MOX_KIND_AREA;
    default:
        return MOX_KIND_NONE;
    }
}

int32_t mox_shape_check(const FEATURE_STRUCT *shape)
{
    if (shape == nullptr)
        return MOX_E_NULL_SHAPE;
    if (shape->num_points < 0 || (shape->num_points > 0 && shape->points == nullptr))
        return MOX_E_INVALID_SHAPE;
    return MOX_SUCCESS;
}

static bool S_same(const POINT &a, const POINT &b)
{
    return a.x == b.x && a.y == b.y;
}

void mox_walk_begin(mox_walk *walk, const FEATURE_STRUCT *shape)
{
    walk->points = shape->points;
    walk->count = shape->num_points > 0 && shape->points != nullptr ? shape->num_points : 0;
    walk->pos = 0;
    walk->kind = mox_part_kind_of(shape);
}

bool mox_walk_next(mox_walk *walk, int32_t *start, int32_t *count)
{
    const POINT *p = walk->points;
    int32_t n = walk->count;
    int32_t s = walk->pos;
    if (walk->kind == MOX_KIND_NONE || s >= n)
        return false;
    int32_t i = s + 1;
    switch (walk->kind) {
    case MOX_KIND_POINTS:
        walk->pos = i;
        break;
    case MOX_KIND_LINE:
        i = n;
        walk->pos = n;
        break;
    case MOX_KIND_MULTILINE:
        while (i < n && !S_same(p[i], p[i - 1]))
            i++;
        walk->pos = i + 1; /* the repeated point closes the part */
        break;
    case MOX_KIND_AREA:
    case MOX_KIND_MULTIAREA:
        while (i < n && !S_same(p[i], p[s]))
            i++;
        if (i < n)
            i++; /* the closing point belongs to the ring */
        walk->pos = i;
        break;
    default:
        return false;
    }
    *start = s;
    *count = i - s;
    return true;
}

__int128 mox_ring_twice_area(const POINT *points, int32_t start, int32_t count)
{
    /* Shoelace relative to the first point: differences fit 33 bits, their
     * products 66, and the sum of at most 2^31 of them stays far inside 128. */
    __int128 sum = 0;
    if (count < 3)
        return 0;
    int64_t x0 = points[start].x;
    int64_t y0 = points[start].y;
    for (int32_t k = 1; k + 1 < count; k++) {
        int64_t ax = points[start + k].x - x0;
        int64_t ay = points[start + k].y - y0;
        int64_t bx = points[start + k + 1].x - x0;
        int64_t by = points[start + k + 1].y - y0;
        sum += (__int128)ax * by - (__int128)bx * ay;
    }
    return sum;
}

static double S_edge(const POINT &a, const POINT &b)
{
    return hypot((double)((int64_t)b.x - a.x), (double)((int64_t)b.y - a.y));
}

double mox_run_length(const POINT *points, int32_t start, int32_t count, bool close)
{
    double length = 0.0;
    for (int32_t k = start + 1; k < start + count; k++)
        length += S_edge(points[k - 1], points[k]);
    if (close && count > 1)
        length += S_edge(points[start + count - 1], points[start]);
    return length;
}

void mox_plane_xy(const FEATURE_STRUCT *shape, double *falsex, double *falsey, double *units)
{
    const COORDREF *ref = shape->coordref;
    if (MoxsCoordRefIsActive(ref)) {
        *falsex = ref->falsex;
        *falsey = ref->falsey;
        *units = ref->xyunits;
    } else {
        *falsex = 0.0;
        *falsey = 0.0;
        *units = 1.0;
    }
}
