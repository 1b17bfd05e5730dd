// The relations that need no full intersection matrix (intersects, contains,
// within, point in polygon), computed exactly on the integer points of the
// two shapes instead of through GEOS. A shape is read into edges, one point per
// component and, for lines, their boundary; a large filter also gets an index
// of its edges by horizontal bands, and the whole form is copied into the
// spec's prepared block (mox/mox_prepared_internal.h). All arithmetic is on
// integers (orientations in 128 bits), so touching edges and shared vertices
// are decided exactly.
#ifndef MOX_NATIVE_RELATION_INTERNAL_H
#define MOX_NATIVE_RELATION_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "mox/mox_types.h"

/* One edge of a shape; a point is an edge whose two ends are equal. */
struct mox_edge {
    int32_t x1;
    int32_t y1;
    int32_t x2;
    int32_t y2;
};

enum mox_native_kind {
    MOX_NATIVE_EMPTY = 0,
    MOX_NATIVE_POINTS = 1, /* dimension 0 */
    MOX_NATIVE_LINES = 2,  /* dimension 1 */
    MOX_NATIVE_AREA = 3    /* dimension 2 */
};

/* A read-only view of a shape's native form, over arrays held elsewhere. */
struct mox_native_view {
    int32_t kind;
    int32_t rectangle; /* an area that is exactly its extent */
    ENVELOPE extent;
    const mox_edge *edges;
    int32_t edge_count;
    const POINT *reps; /* one point of every component (every point of a point list) */
    int32_t rep_count;
    const POINT *boundary; /* lines: the ends met an odd number of times, sorted */
    int32_t boundary_count;
    int32_t band_count; /* 0: no index, every edge is looked at */
    int32_t band_y0;
    int64_t band_height;
    const int32_t *band_start; /* band_count + 1 offsets into band_items */
    const int32_t *band_items; /* edge numbers */
};

/* A shape's native form in vectors of its own (kept per thread for features
 * and reused from row to row, so the test of a row allocates nothing). */
struct mox_native_shape {
    int32_t kind = MOX_NATIVE_EMPTY;
    int32_t rectangle = 0;
    ENVELOPE extent = {0, 0, -1, -1};
    std::vector<mox_edge> edges;
    std::vector<POINT> reps;
    std::vector<POINT> boundary;
    int32_t band_count = 0;
    int32_t band_y0 = 0;
    int64_t band_height = 1;
    std::vector<int32_t> band_start;
    std::vector<int32_t> band_items;

    mox_native_view view() const;
};

/* Reads the shape by the part and ring rule of mox/mox.h; the same statuses
 * as the GEOS conversion (a ring of fewer than three points is refused).
 * Throws std::bad_alloc. */
int32_t mox_native_build(const FEATURE_STRUCT *shape, mox_native_shape *out);
/* The shape's kind, the extent of what it keeps (parts of a single point
 * dropped) and the first point of every component, without building
 * anything; the statuses of mox_native_build. Throws std::bad_alloc. */
int32_t mox_native_outline(const FEATURE_STRUCT *shape, int32_t *kind, ENVELOPE *extent,
                           std::vector<POINT> *starts);
/* Whether one of the points lies in area a (boundary included). */
bool mox_native_any_in_area(const mox_native_view &a, const std::vector<POINT> &points);
/* The method's answer from filter a and a feature's outline alone: 1 holds,
 * 0 not, -1 the points must be looked at. */
int mox_native_settle(const mox_native_view &a, int32_t kind, const ENVELOPE &extent,
                      int32_t method);
/* Where a box lies against shape a: 2 wholly in a's interior (a is an
 * area), 0 sharing no point with a, -1 undecided (an edge of a may reach it). */
int mox_native_box_place(const mox_native_view &a, const ENVELOPE &box);
/* Adds the band index when the shape has enough edges to gain from one. */
void mox_native_index(mox_native_shape *shape);

/* The method's relation of filter a and feature b: 1 holds, 0 not, -1 when
 * the native test does not decide it (the caller asks GEOS). Methods other
 * than SM_ET_OR_AI, SM_PC, SM_SC and SM_PIP give -1. Throws std::bad_alloc. */
int mox_native_relate(const mox_native_view &a, const mox_native_view &b, int32_t method);
/* Whether the method may be decided natively at all. */
bool mox_native_method(int32_t method);

#endif
