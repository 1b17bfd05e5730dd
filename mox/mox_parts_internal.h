// Walking the parts and rings of a shape's point list, by the rule written in
// mox/mox.h, and the small sums over them. Shared by the shape files of the
// module only; nothing here is exported.
#ifndef MOX_PARTS_INTERNAL_H
#define MOX_PARTS_INTERNAL_H

#include <stdint.h>

#include "mox/mox.h"

/* How a point list divides, from the entity type. */
enum mox_part_kind {
    MOX_KIND_NONE = 0,      /* nil or unknown: no parts */
    MOX_KIND_POINTS = 1,    /* every point a part */
    MOX_KIND_LINE = 2,      /* one part */
    MOX_KIND_MULTILINE = 3, /* parts closed by a repeated point */
    MOX_KIND_AREA = 4,      /* rings: first outer, then holes */
    MOX_KIND_MULTIAREA = 5  /* rings grouped into polygons by winding */
};

mox_part_kind mox_part_kind_of(const FEATURE_STRUCT *shape);

/* 0 when the record's point fields can be read (count not negative, points
 * present when counted), else a status. */
int32_t mox_shape_check(const FEATURE_STRUCT *shape);

/* Cursor over the parts of a line or point list, or over the rings of an area. */
struct mox_walk {
    const POINT *points;
    int32_t count;
    int32_t pos;
    mox_part_kind kind;
};

void mox_walk_begin(mox_walk *walk, const FEATURE_STRUCT *shape);
/* The next part (or ring): its first point and number of points; false at the
 * end. A ring that is not closed explicitly simply ends at the list's end. */
bool mox_walk_next(mox_walk *walk, int32_t *start, int32_t *count);

/* Twice the signed area of a ring (positive when counter-clockwise), exact,
 * closing it implicitly from its last point back to its first. */
__int128 mox_ring_twice_area(const POINT *points, int32_t start, int32_t count);
/* Length of a run of points; with close set, plus the edge back to the first. */
double mox_run_length(const POINT *points, int32_t start, int32_t count, bool close);

/* Calls visit(start, count, twice_area, opens_polygon) for every ring of an
 * area shape, in order. */
template <class Visit> void mox_for_each_ring(const FEATURE_STRUCT *shape, Visit visit)
{
    mox_walk walk;
    mox_walk_begin(&walk, shape);
    if (walk.kind != MOX_KIND_AREA && walk.kind != MOX_KIND_MULTIAREA)
        return;
    int outer_sign = 0;
    bool first = true;
    int32_t start = 0;
    int32_t count = 0;
    while (mox_walk_next(&walk, &start, &count)) {
        __int128 twice = mox_ring_twice_area(walk.points, start, count);
        int sign = twice > 0 ? 1 : (twice < 0 ? -1 : 0);
        bool opens = first;
        if (!first && walk.kind == MOX_KIND_MULTIAREA)
            opens = sign != 0 && (outer_sign == 0 || sign == outer_sign);
        if (opens)
            outer_sign = sign;
        first = false;
        visit(start, count, twice, opens);
    }
}

/* Origin and units that turn the shape's system-unit XY into plane values:
 * those of an active reference, else 0 and 1. */
void mox_plane_xy(const FEATURE_STRUCT *shape, double *falsex, double *falsey, double *units);

#endif
