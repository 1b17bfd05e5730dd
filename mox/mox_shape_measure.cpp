// What a shape measures: envelope, area, length, parts, ranges and the point
// getters of the record printers. Parts and rings follow the rule in
// mox/mox.h; sums are exact on the integer points and scaled to coordinate
// units of the shape's reference at the end.
#include <limits.h>
#include <stdlib.h>

#include "mox/mox.h"
#include "mox/mox_parts_internal.h"

MOX_API int32_t MoxsNvelop(FEATURE_STRUCT *shape)
{
    int32_t rc = mox_shape_check(shape);
    if (rc != MOX_SUCCESS)
        return rc;
    ENVELOPE e = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t i = 0; i < shape->num_points; i++) {
        const POINT &p = shape->points[i];
        if (p.x < e.minx)
            e.minx = p.x;
        if (p.x > e.maxx)
            e.maxx = p.x;
        if (p.y < e.miny)
            e.miny = p.y;
        if (p.y > e.maxy)
            e.maxy = p.y;
    }
    shape->envelope = e;
    return MOX_SUCCESS;
}

/* Area in square system units. */
static double S_system_area(const FEATURE_STRUCT *shape)
{
    __int128 outer = 0;
    __int128 holes = 0;
    mox_for_each_ring(shape, [&](int32_t, int32_t, __int128 twice, bool opens) {
        __int128 size = twice < 0 ? -twice : twice;
        if (opens)
            outer += size;
        else
            holes += size;
    });
    return (double)(outer - holes) / 2.0;
}

/* Length or perimeter in system units. */
static double S_system_length(const FEATURE_STRUCT *shape)
{
    mox_walk walk;
    mox_walk_begin(&walk, shape);
    if (walk.kind == MOX_KIND_NONE || walk.kind == MOX_KIND_POINTS)
        return 0.0;
    bool rings = walk.kind == MOX_KIND_AREA || walk.kind == MOX_KIND_MULTIAREA;
    double length = 0.0;
    int32_t start = 0;
    int32_t count = 0;
    while (mox_walk_next(&walk, &start, &count))
        length += mox_run_length(walk.points, start, count, rings);
    return length;
}

static double S_units(const FEATURE_STRUCT *shape)
{
    double fx, fy, units;
    mox_plane_xy(shape, &fx, &fy, &units);
    return units;
}

/* 0 when the shape can be read and the out-pointer is given, else a status. */
static int32_t S_check_out(const FEATURE_STRUCT *shape, const void *out)
{
    int32_t rc = mox_shape_check(shape);
    if (rc == MOX_SUCCESS && out == nullptr)
        rc = MOX_E_NULL_POINTER;
    return rc;
}

MOX_API double MoxsShapeArea(const FEATURE_STRUCT *shape)
{
    if (mox_shape_check(shape) != MOX_SUCCESS)
        return 0.0;
    double units = S_units(shape);
    return S_system_area(shape) / (units * units);
}

MOX_API double MoxsShapeLength(const FEATURE_STRUCT *shape)
{
    if (mox_shape_check(shape) != MOX_SUCCESS)
        return 0.0;
    return S_system_length(shape) / S_units(shape);
}

MOX_API int32_t MoxShapeGetArea(const FEATURE_STRUCT *shape, double *area)
{
    int32_t rc = S_check_out(shape, area);
    if (rc != MOX_SUCCESS)
        return rc;
    *area = MoxsShapeArea(shape);
    return MOX_SUCCESS;
}

MOX_API int32_t MoxShapeGetLength(const FEATURE_STRUCT *shape, double *length)
{
    int32_t rc = S_check_out(shape, length);
    if (rc != MOX_SUCCESS)
        return rc;
    *length = MoxsShapeLength(shape);
    return MOX_SUCCESS;
}

MOX_API int32_t MoxShapeIs3D(const FEATURE_STRUCT *shape)
{
    return shape != nullptr && shape->z_values != nullptr;
}

MOX_API int32_t MoxShapeIsMeasured(const FEATURE_STRUCT *shape)
{
    return shape != nullptr && shape->measures != nullptr;
}

/* Calls visit(start) for the first point of every part, in order; for areas a
 * part is a polygon, its first point that of its outer ring. */
template <class Visit> static void S_for_each_part(const FEATURE_STRUCT *shape, Visit visit)
{
    mox_part_kind kind = mox_part_kind_of(shape);
    if (kind == MOX_KIND_AREA || kind == MOX_KIND_MULTIAREA) {
        mox_for_each_ring(shape, [&](int32_t start, int32_t, __int128, bool opens) {
            if (opens)
                visit(start);
        });
        return;
    }
    mox_walk walk;
    mox_walk_begin(&walk, shape);
    int32_t start = 0;
    int32_t count = 0;
    while (mox_walk_next(&walk, &start, &count))
        visit(start);
}

MOX_API int32_t MoxShapeGetNumParts(const FEATURE_STRUCT *shape, int32_t *num_parts)
{
    int32_t rc = S_check_out(shape, num_parts);
    if (rc != MOX_SUCCESS)
        return rc;
    int32_t parts = 0;
    S_for_each_part(shape, [&](int32_t) { parts++; });
    *num_parts = parts;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxShapeGetNumPoints(const FEATURE_STRUCT *shape, int32_t *num_points)
{
    int32_t rc = S_check_out(shape, num_points);
    if (rc != MOX_SUCCESS)
        return rc;
    *num_points = shape->num_points;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxShapeGetExtent(const FEATURE_STRUCT *shape, VE_ENVELOPE *extent)
{
    int32_t rc = S_check_out(shape, extent);
    if (rc != MOX_SUCCESS)
        return rc;
    if (shape->num_points == 0) {
        *extent = VE_ENVELOPE{0.0, 0.0, 0.0, 0.0};
        return MOX_SUCCESS;
    }
    /* From the points, not the stored field, which may be stale. */
    FEATURE_STRUCT probe = *shape;
    MoxsNvelop(&probe);
    double fx, fy, units;
    mox_plane_xy(shape, &fx, &fy, &units);
    extent->minx = probe.envelope.minx / units + fx;
    extent->miny = probe.envelope.miny / units + fy;
    extent->maxx = probe.envelope.maxx / units + fx;
    extent->maxy = probe.envelope.maxy / units + fy;
    return MOX_SUCCESS;
}

/* Origin and units of the Z or measure axis: the reference's when it has
 * units for it, else 0 and 1. */
static void S_axis(const COORDREF *ref, bool z, double *origin, double *units)
{
    double u = ref == nullptr ? 0.0 : (z ? ref->zunits : ref->munits);
    if (u > 0.0 && u <= 1e300) {
        *origin = z ? ref->falsez : ref->falsem;
        *units = u;
    } else {
        *origin = 0.0;
        *units = 1.0;
    }
}

static int32_t S_range(const FEATURE_STRUCT *shape, bool z, double *lo, double *hi)
{
    int32_t rc = mox_shape_check(shape);
    if (rc != MOX_SUCCESS)
        return rc;
    if (lo == nullptr || hi == nullptr)
        return MOX_E_NULL_POINTER;
    const int32_t *values = z ? shape->z_values : shape->measures;
    if (values == nullptr)
        return MOX_E_INVALID_SHAPE;
    int32_t mn = 0;
    int32_t mx = 0;
    for (int32_t i = 0; i < shape->num_points; i++) {
        if (i == 0 || values[i] < mn)
            mn = values[i];
        if (i == 0 || values[i] > mx)
            mx = values[i];
    }
    double origin, units;
    S_axis(shape->coordref, z, &origin, &units);
    *lo = mn / units + origin;
    *hi = mx / units + origin;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxShapeGetZRange(const FEATURE_STRUCT *shape, double *minz, double *maxz)
{
    return S_range(shape, true, minz, maxz);
}

MOX_API int32_t MoxShapeGetMRange(const FEATURE_STRUCT *shape, double *minm, double *maxm)
{
    return S_range(shape, false, minm, maxm);
}

MOX_API int32_t MoxShapeGetAllPoints(const FEATURE_STRUCT *shape, int32_t *part_offsets, double *xy,
                                     double *z, double *measures)
{
    int32_t rc = mox_shape_check(shape);
    if (rc != MOX_SUCCESS)
        return rc;
    if ((z != nullptr && shape->z_values == nullptr) ||
        (measures != nullptr && shape->measures == nullptr))
        return MOX_E_INVALID_SHAPE;
    if (part_offsets != nullptr) {
        int32_t k = 0;
        S_for_each_part(shape, [&](int32_t start) { part_offsets[k++] = start; });
    }
    double fx, fy, units;
    mox_plane_xy(shape, &fx, &fy, &units);
    double zo, zu, mo, mu;
    S_axis(shape->coordref, true, &zo, &zu);
    S_axis(shape->coordref, false, &mo, &mu);
    for (int32_t i = 0; i < shape->num_points; i++) {
        if (xy != nullptr) {
            xy[2 * (size_t)i] = shape->points[i].x / units + fx;
            xy[2 * (size_t)i + 1] = shape->points[i].y / units + fy;
        }
        if (z != nullptr)
            z[i] = shape->z_values[i] / zu + zo;
        if (measures != nullptr)
            measures[i] = shape->measures[i] / mu + mo;
    }
    return MOX_SUCCESS;
}
