// Intersects, contains, within and point in polygon on the shapes' integer
// points (mox/mox_native_relation_internal.h). Locations are found by counting
// crossings of a ray over every ring (even-odd, which for a valid area is its
// interior whatever polygon a ring belongs to); segments are compared by
// exact orientation signs. Where an area feature touches the filter's
// boundary, contains and within need the whole matrix and are left to GEOS.
#include "mox/mox_native_relation_internal.h"

#include <algorithm>

#include "mox/mox.h"
#include "mox/mox_parts_internal.h"

namespace
{

enum S_location { S_EXTERIOR = 0, S_BOUNDARY = 1, S_INTERIOR = 2 };
enum S_meeting { S_NONE = 0, S_TOUCH = 1, S_PROPER = 2 };

/* Sign of the cross product (b - a) x (c - a), exact for any 33-bit inputs. */
inline int S_orient(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t cx, int64_t cy)
{
    __int128 d = (__int128)(bx - ax) * (cy - ay) - (__int128)(by - ay) * (cx - ax);
    return d > 0 ? 1 : (d < 0 ? -1 : 0);
}

inline bool S_in_box(const mox_edge &e, int32_t x, int32_t y)
{
    return x >= std::min(e.x1, e.x2) && x <= std::max(e.x1, e.x2) && y >= std::min(e.y1, e.y2) &&
           y <= std::max(e.y1, e.y2);
}

inline bool S_boxes_meet(const mox_edge &p, const mox_edge &q)
{
    return std::max(p.x1, p.x2) >= std::min(q.x1, q.x2) &&
           std::max(q.x1, q.x2) >= std::min(p.x1, p.x2) &&
           std::max(p.y1, p.y2) >= std::min(q.y1, q.y2) &&
           std::max(q.y1, q.y2) >= std::min(p.y1, p.y2);
}

/* Whether point (x, y) lies on the closed edge. */
inline bool S_on_edge(const mox_edge &e, int32_t x, int32_t y)
{
    return S_in_box(e, x, y) && S_orient(e.x1, e.y1, e.x2, e.y2, x, y) == 0;
}

/* How two closed edges meet: not at all, by crossing at one point inside both
 * (proper), or otherwise (an end on the other edge, or a common stretch). */
S_meeting S_meet(const mox_edge &p, const mox_edge &q)
{
    if (!S_boxes_meet(p, q))
        return S_NONE;
    int o1 = S_orient(p.x1, p.y1, p.x2, p.y2, q.x1, q.y1);
    int o2 = S_orient(p.x1, p.y1, p.x2, p.y2, q.x2, q.y2);
    int o3 = S_orient(q.x1, q.y1, q.x2, q.y2, p.x1, p.y1);
    int o4 = S_orient(q.x1, q.y1, q.x2, q.y2, p.x2, p.y2);
    if (o1 * o2 < 0 && o3 * o4 < 0)
        return S_PROPER;
    if ((o1 == 0 && S_in_box(p, q.x1, q.y1)) || (o2 == 0 && S_in_box(p, q.x2, q.y2)) ||
        (o3 == 0 && S_in_box(q, p.x1, p.y1)) || (o4 == 0 && S_in_box(q, p.x2, p.y2)))
        return S_TOUCH;
    return S_NONE;
}

inline bool S_extents_meet(const ENVELOPE &a, const ENVELOPE &b)
{
    return !(a.maxx < b.minx || a.maxy < b.miny || b.maxx < a.minx || b.maxy < a.miny);
}

inline bool S_extent_covers(const ENVELOPE &outer, const ENVELOPE &inner)
{
    return outer.minx <= inner.minx && outer.miny <= inner.miny && outer.maxx >= inner.maxx &&
           outer.maxy >= inner.maxy;
}

inline int32_t S_band_of(const mox_native_view &v, int64_t y)
{
    int64_t b = (y - v.band_y0) / v.band_height;
    return (int32_t)std::min<int64_t>(std::max<int64_t>(b, 0), v.band_count - 1);
}

/* Calls visit(edge) for every edge of v whose box may meet the rows y0..y1
 * (an edge may come more than once); stops when visit returns true. */
template <class Visit>
bool S_scan_rows(const mox_native_view &v, int32_t y0, int32_t y1, Visit visit)
{
    if (v.band_count == 0) {
        for (int32_t i = 0; i < v.edge_count; i++)
            if (visit(v.edges[i]))
                return true;
        return false;
    }
    int32_t b1 = S_band_of(v, std::min(y1, v.extent.maxy));
    for (int32_t b = S_band_of(v, std::max(y0, v.extent.miny)); b <= b1; b++)
        for (int32_t k = v.band_start[b]; k < v.band_start[b + 1]; k++)
            if (visit(v.edges[v.band_items[k]]))
                return true;
    return false;
}

/* Calls visit(edge) for the edges of v whose boxes meet e's box. */
template <class Visit> bool S_scan(const mox_native_view &v, const mox_edge &e, Visit visit)
{
    mox_edge box = {std::min(e.x1, e.x2), std::min(e.y1, e.y2), std::max(e.x1, e.x2),
                    std::max(e.y1, e.y2)};
    if (box.x2 < v.extent.minx || box.x1 > v.extent.maxx || box.y2 < v.extent.miny ||
        box.y1 > v.extent.maxy)
        return false;
    return S_scan_rows(v, box.y1, box.y2, [&](const mox_edge &q) {
        if (std::max(q.x1, q.x2) < box.x1 || std::min(q.x1, q.x2) > box.x2 ||
            std::max(q.y1, q.y2) < box.y1 || std::min(q.y1, q.y2) > box.y2)
            return false;
        return visit(q);
    });
}

/* Location in area v of the point (x2 / 2, y2 / 2): coordinates are doubled
 * so that the middle of two integer points is exact. */
S_location S_locate2(const mox_native_view &v, int64_t x2, int64_t y2)
{
    const ENVELOPE &e = v.extent;
    if (x2 < 2 * (int64_t)e.minx || x2 > 2 * (int64_t)e.maxx || y2 < 2 * (int64_t)e.miny ||
        y2 > 2 * (int64_t)e.maxy)
        return S_EXTERIOR;
    if (v.rectangle)
        return (x2 > 2 * (int64_t)e.minx && x2 < 2 * (int64_t)e.maxx && y2 > 2 * (int64_t)e.miny &&
                y2 < 2 * (int64_t)e.maxy)
                   ? S_INTERIOR
                   : S_BOUNDARY;
    bool inside = false;
    bool boundary = false;
    auto visit = [&](const mox_edge &q) {
        int64_t ay = 2 * (int64_t)q.y1;
        int64_t by = 2 * (int64_t)q.y2;
        if ((y2 < ay && y2 < by) || (y2 > ay && y2 > by))
            return false;
        int64_t ax = 2 * (int64_t)q.x1;
        int64_t bx = 2 * (int64_t)q.x2;
        int o = S_orient(ax, ay, bx, by, x2, y2);
        if (o == 0 && x2 >= std::min(ax, bx) && x2 <= std::max(ax, bx)) {
            boundary = true;
            return true;
        }
        if ((ay > y2) != (by > y2) && (o > 0) == (by > ay))
            inside = !inside;
        return false;
    };
    if (v.band_count == 0) {
        for (int32_t i = 0; i < v.edge_count && !boundary; i++)
            visit(v.edges[i]);
    } else {
        /* The band of the point's row holds every edge that reaches the row. */
        int32_t b = S_band_of(v, y2 >= 0 ? y2 / 2 : -((-y2 + 1) / 2));
        for (int32_t k = v.band_start[b]; k < v.band_start[b + 1] && !boundary; k++)
            visit(v.edges[v.band_items[k]]);
    }
    if (boundary)
        return S_BOUNDARY;
    return inside ? S_INTERIOR : S_EXTERIOR;
}

inline S_location S_locate(const mox_native_view &v, const POINT &p)
{
    return S_locate2(v, 2 * (int64_t)p.x, 2 * (int64_t)p.y);
}

/* Whether point p lies on an edge of v. */
bool S_on_shape(const mox_native_view &v, const POINT &p)
{
    mox_edge at = {p.x, p.y, p.x, p.y};
    return S_scan(v, at, [&](const mox_edge &q) { return S_on_edge(q, p.x, p.y); });
}

bool S_is_boundary(const mox_native_view &v, const POINT &p)
{
    return std::binary_search(
        v.boundary, v.boundary + v.boundary_count, p,
        [](const POINT &a, const POINT &b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
}

bool S_intersects(const mox_native_view &a, const mox_native_view &b)
{
    if (a.kind == MOX_NATIVE_EMPTY || b.kind == MOX_NATIVE_EMPTY ||
        !S_extents_meet(a.extent, b.extent))
        return false;
    if (a.kind == MOX_NATIVE_AREA) {
        if (a.rectangle && S_extent_covers(a.extent, b.extent))
            return true;
        for (int32_t i = 0; i < b.rep_count; i++)
            if (S_locate(a, b.reps[i]) != S_EXTERIOR)
                return true;
        if (b.kind == MOX_NATIVE_POINTS)
            return false; /* every point was located */
    }
    if (b.kind == MOX_NATIVE_AREA) {
        for (int32_t i = 0; i < a.rep_count; i++)
            if (S_locate(b, a.reps[i]) != S_EXTERIOR)
                return true;
        if (a.kind == MOX_NATIVE_POINTS)
            return false;
    }
    /* Neither lies inside the other: they meet only where edges do. */
    for (int32_t i = 0; i < b.edge_count; i++) {
        const mox_edge &e = b.edges[i];
        if (S_scan(a, e, [&](const mox_edge &q) { return S_meet(q, e) != S_NONE; }))
            return true;
    }
    return false;
}

/* Scratch of the piece walk, kept per thread. */
struct S_piece_scratch {
    std::vector<POINT> cuts;
    std::vector<mox_edge> crossed;
};

/* Walks the edges of b (lines, or an area's rings) through area a: each edge
 * is cut where a's vertices lie on it, and each piece, which then lies wholly
 * in a's interior, exterior or boundary, is located by its middle. False as
 * soon as a piece leaves a (or an edge crosses a's boundary); *touched tells
 * whether b met a's boundary at all, *interior whether a piece lies inside. */
bool S_pieces_inside(const mox_native_view &a, const mox_native_view &b, bool *touched,
                     bool *interior)
{
    static thread_local S_piece_scratch scratch;
    std::vector<POINT> &cuts = scratch.cuts;
    std::vector<mox_edge> &crossed = scratch.crossed;
    *touched = false;
    *interior = false;
    /* The location of the previous edge's end when it lies off a's boundary. */
    S_location carried = S_BOUNDARY;
    const mox_edge *previous = nullptr;
    for (int32_t i = 0; i < b.edge_count; i++) {
        const mox_edge &e = b.edges[i];
        cuts.clear();
        crossed.clear();
        bool met = false;
        S_scan(a, e, [&](const mox_edge &q) {
            S_meeting m = S_meet(q, e);
            if (m == S_PROPER)
                crossed.push_back(q);
            if (m == S_TOUCH) {
                met = true;
                if (S_on_edge(e, q.x1, q.y1))
                    cuts.push_back(POINT{q.x1, q.y1});
                if (S_on_edge(e, q.x2, q.y2))
                    cuts.push_back(POINT{q.x2, q.y2});
            }
            return false;
        });
        /* Crossing a boundary edge leaves a, unless another ring of a has a
         * vertex at the crossing (parts or a hole touching there): then the
         * point is a cut like any other and the pieces on both sides are
         * located by their middles. */
        for (const mox_edge &q : crossed) {
            *touched = true;
            met = true;
            if (std::none_of(cuts.begin(), cuts.end(),
                             [&](const POINT &c) { return S_on_edge(q, c.x, c.y); }))
                return false;
        }
        bool follows = previous != nullptr && previous->x2 == e.x1 && previous->y2 == e.y1;
        previous = &e;
        if (!met && follows && carried != S_BOUNDARY) {
            /* Untouched and starting where the last piece ended, off the
             * boundary: the whole edge lies where that piece did. */
            if (carried == S_EXTERIOR)
                return false;
            continue;
        }
        *touched = *touched || met;
        cuts.push_back(POINT{e.x1, e.y1});
        cuts.push_back(POINT{e.x2, e.y2});
        bool along_x = e.x1 != e.x2;
        bool ascending = along_x ? e.x1 < e.x2 : e.y1 < e.y2;
        std::sort(cuts.begin(), cuts.end(), [&](const POINT &p, const POINT &q) {
            int32_t u = along_x ? p.x : p.y;
            int32_t w = along_x ? q.x : q.y;
            return ascending ? u < w : u > w;
        });
        cuts.erase(
            std::unique(cuts.begin(), cuts.end(),
                        [](const POINT &p, const POINT &q) { return p.x == q.x && p.y == q.y; }),
            cuts.end());
        S_location last = S_BOUNDARY;
        for (size_t k = 0; k + 1 < cuts.size(); k++) {
            last = S_locate2(a, (int64_t)cuts[k].x + cuts[k + 1].x,
                             (int64_t)cuts[k].y + cuts[k + 1].y);
            if (last == S_EXTERIOR)
                return false;
            if (last == S_INTERIOR)
                *interior = true;
        }
        if (cuts.size() == 1) /* a point of b (a lone edge of no length) */
            last = S_locate(a, cuts[0]);
        if (last == S_EXTERIOR)
            return false;
        if (last == S_INTERIOR)
            *interior = true;
        /* The end carries the last piece's location unless a's boundary
         * passes through it. */
        carried = met && S_on_shape(a, POINT{e.x2, e.y2}) ? S_BOUNDARY : last;
    }
    return true;
}

/* Whether edge e is covered by the edges of lines a lying along it. */
bool S_covered(const mox_native_view &a, const mox_edge &e)
{
    static thread_local std::vector<std::pair<int32_t, int32_t>> spans;
    spans.clear();
    bool along_x = e.x1 != e.x2;
    int32_t lo = along_x ? std::min(e.x1, e.x2) : std::min(e.y1, e.y2);
    int32_t hi = along_x ? std::max(e.x1, e.x2) : std::max(e.y1, e.y2);
    S_scan(a, e, [&](const mox_edge &q) {
        if (S_orient(e.x1, e.y1, e.x2, e.y2, q.x1, q.y1) != 0 ||
            S_orient(e.x1, e.y1, e.x2, e.y2, q.x2, q.y2) != 0)
            return false;
        int32_t u = along_x ? q.x1 : q.y1;
        int32_t w = along_x ? q.x2 : q.y2;
        int32_t s = std::max(std::min(u, w), lo);
        int32_t t = std::min(std::max(u, w), hi);
        if (s < t)
            spans.emplace_back(s, t);
        return false;
    });
    std::sort(spans.begin(), spans.end());
    int32_t reached = lo;
    for (const auto &span : spans) {
        if (span.first > reached)
            return false;
        reached = std::max(reached, span.second);
    }
    return reached >= hi;
}

/* Whether a contains b (T*****FF*): 1, 0, or -1 when undecided. */
int S_contains(const mox_native_view &a, const mox_native_view &b)
{
    if (a.kind == MOX_NATIVE_EMPTY || b.kind == MOX_NATIVE_EMPTY || b.kind > a.kind ||
        !S_extent_covers(a.extent, b.extent))
        return 0;
    switch (a.kind) {
    case MOX_NATIVE_AREA: {
        if (b.kind == MOX_NATIVE_POINTS) {
            bool interior = false;
            for (int32_t i = 0; i < b.rep_count; i++) {
                S_location l = S_locate(a, b.reps[i]);
                if (l == S_EXTERIOR)
                    return 0;
                interior = interior || l == S_INTERIOR;
            }
            return interior ? 1 : 0;
        }
        const ENVELOPE &s = a.extent;
        const ENVELOPE &c = b.extent;
        if (a.rectangle && s.minx < c.minx && c.maxx < s.maxx && s.miny < c.miny && c.maxy < s.maxy)
            return 1;
        bool touched = false;
        bool interior = false;
        if (!S_pieces_inside(a, b, &touched, &interior))
            return 0;
        if (b.kind == MOX_NATIVE_LINES)
            return interior ? 1 : 0;
        if (touched)
            return -1; /* areas that touch: the matrix decides */
        /* b's rings lie in a's interior; a hole (or another part) of a inside
         * b would put some of a's exterior inside b. */
        for (int32_t i = 0; i < a.rep_count; i++)
            if (S_locate(b, a.reps[i]) != S_EXTERIOR)
                return 0;
        return 1;
    }
    case MOX_NATIVE_LINES:
        if (b.kind == MOX_NATIVE_POINTS) {
            bool interior = false;
            for (int32_t i = 0; i < b.rep_count; i++) {
                if (!S_on_shape(a, b.reps[i]))
                    return 0;
                interior = interior || !S_is_boundary(a, b.reps[i]);
            }
            return interior ? 1 : 0;
        }
        for (int32_t i = 0; i < b.edge_count; i++)
            if (!S_covered(a, b.edges[i]))
                return 0;
        return 1;
    case MOX_NATIVE_POINTS:
        for (int32_t i = 0; i < b.rep_count; i++)
            if (!S_on_shape(a, b.reps[i]))
                return 0;
        return 1;
    default:
        return 0;
    }
}

/* Point in polygon: every point of the one in the other's area (boundary
 * included); false unless one is points and the other an area. */
bool S_point_in_polygon(const mox_native_view &a, const mox_native_view &b)
{
    const mox_native_view *points = &a;
    const mox_native_view *area = &b;
    if (a.kind == MOX_NATIVE_AREA && b.kind == MOX_NATIVE_POINTS)
        std::swap(points, area);
    else if (a.kind != MOX_NATIVE_POINTS || b.kind != MOX_NATIVE_AREA)
        return false;
    if (!S_extent_covers(area->extent, points->extent))
        return false;
    for (int32_t i = 0; i < points->rep_count; i++)
        if (S_locate(*area, points->reps[i]) == S_EXTERIOR)
            return false;
    return true;
}

bool S_same(const POINT &a, const POINT &b)
{
    return a.x == b.x && a.y == b.y;
}

void S_include(ENVELOPE *e, const POINT &p)
{
    e->minx = std::min(e->minx, p.x);
    e->miny = std::min(e->miny, p.y);
    e->maxx = std::max(e->maxx, p.x);
    e->maxy = std::max(e->maxy, p.y);
}

/* The ends of lines met an odd number of times (the mod-2 rule), sorted. */
void S_odd_ends(std::vector<POINT> *ends)
{
    auto less = [](const POINT &a, const POINT &b) { return a.x != b.x ? a.x < b.x : a.y < b.y; };
    std::sort(ends->begin(), ends->end(), less);
    size_t kept = 0;
    for (size_t i = 0; i < ends->size();) {
        size_t j = i;
        while (j < ends->size() && S_same((*ends)[j], (*ends)[i]))
            j++;
        if ((j - i) % 2 == 1)
            (*ends)[kept++] = (*ends)[i];
        i = j;
    }
    ends->resize(kept);
}

/* Appends the run of points as one line part: edges between distinct
 * neighbours, its first point as representative, its ends. False when the
 * run has a single distinct point. */
bool S_add_line(mox_native_shape *s, const POINT *p, int32_t count)
{
    size_t first_edge = s->edges.size();
    int32_t last = 0;
    for (int32_t k = 1; k < count; k++) {
        if (S_same(p[k], p[last]))
            continue;
        s->edges.push_back(mox_edge{p[last].x, p[last].y, p[k].x, p[k].y});
        last = k;
    }
    if (s->edges.size() == first_edge)
        return false;
    s->reps.push_back(p[0]);
    s->boundary.push_back(p[0]);
    s->boundary.push_back(p[last]);
    for (int32_t k = 0; k < count; k++)
        S_include(&s->extent, p[k]);
    return true;
}

} // namespace

mox_native_view mox_native_shape::view() const
{
    mox_native_view v;
    v.kind = kind;
    v.rectangle = rectangle;
    v.extent = extent;
    v.edges = edges.data();
    v.edge_count = (int32_t)edges.size();
    v.reps = reps.data();
    v.rep_count = (int32_t)reps.size();
    v.boundary = boundary.data();
    v.boundary_count = (int32_t)boundary.size();
    v.band_count = band_count;
    v.band_y0 = band_y0;
    v.band_height = band_height;
    v.band_start = band_start.data();
    v.band_items = band_items.data();
    return v;
}

int32_t mox_native_build(const FEATURE_STRUCT *shape, mox_native_shape *s)
{
    s->kind = MOX_NATIVE_EMPTY;
    s->rectangle = 0;
    s->extent = ENVELOPE{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    s->edges.clear();
    s->reps.clear();
    s->boundary.clear();
    s->band_count = 0;
    int32_t rc = mox_shape_check(shape);
    if (rc != MOX_SUCCESS)
        return rc;
    mox_walk walk;
    mox_walk_begin(&walk, shape);
    const POINT *p = shape->points;
    int32_t start = 0;
    int32_t count = 0;
    switch (walk.count == 0 ? MOX_KIND_NONE : walk.kind) {
    case MOX_KIND_POINTS:
        for (int32_t i = 0; i < walk.count; i++) {
            s->edges.push_back(mox_edge{p[i].x, p[i].y, p[i].x, p[i].y});
            s->reps.push_back(p[i]);
            S_include(&s->extent, p[i]);
        }
        s->kind = MOX_NATIVE_POINTS;
        break;
    case MOX_KIND_LINE:
        if (S_add_line(s, p, walk.count)) {
            s->kind = MOX_NATIVE_LINES;
        } else { /* every point the same: that point */
            s->edges.push_back(mox_edge{p[0].x, p[0].y, p[0].x, p[0].y});
            s->reps.push_back(p[0]);
            S_include(&s->extent, p[0]);
            s->kind = MOX_NATIVE_POINTS;
        }
        break;
    case MOX_KIND_MULTILINE:
        while (mox_walk_next(&walk, &start, &count))
            if (count >= 2 && S_add_line(s, p + start, count))
                s->kind = MOX_NATIVE_LINES;
        break;
    case MOX_KIND_AREA:
    case MOX_KIND_MULTIAREA:
        while (mox_walk_next(&walk, &start, &count)) {
            const POINT *r = p + start;
            int32_t own = count;
            if (own >= 2 && S_same(r[own - 1], r[0]))
                own--;
            if (own < 3)
                return MOX_E_INVALID_NUM_POINTS;
            for (int32_t k = 0; k < own; k++) {
                const POINT &u = r[k];
                const POINT &w = r[k + 1 < own ? k + 1 : 0];
                if (!S_same(u, w))
                    s->edges.push_back(mox_edge{u.x, u.y, w.x, w.y});
                S_include(&s->extent, u);
            }
            s->reps.push_back(r[0]);
        }
        s->kind = MOX_NATIVE_AREA;
        break;
    default:
        break;
    }
    if (s->kind == MOX_NATIVE_LINES)
        S_odd_ends(&s->boundary);
    else
        s->boundary.clear();
    if (s->kind == MOX_NATIVE_EMPTY) {
        s->edges.clear();
        s->reps.clear();
    }
    return MOX_SUCCESS;
}

int32_t mox_native_outline(const FEATURE_STRUCT *shape, int32_t *kind, ENVELOPE *extent,
                           std::vector<POINT> *starts)
{
    starts->clear();
    *kind = MOX_NATIVE_EMPTY;
    *extent = ENVELOPE{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    int32_t rc = mox_shape_check(shape);
    if (rc != MOX_SUCCESS)
        return rc;
    mox_walk walk;
    mox_walk_begin(&walk, shape);
    const POINT *p = shape->points;
    int32_t start = 0;
    int32_t count = 0;
    /* The box of a run of points, in a loop the compiler can widen. */
    auto include_run = [&](const POINT *r, int32_t n) {
        int32_t minx = extent->minx, miny = extent->miny, maxx = extent->maxx, maxy = extent->maxy;
        for (int32_t k = 0; k < n; k++) {
            minx = std::min(minx, r[k].x);
            maxx = std::max(maxx, r[k].x);
            miny = std::min(miny, r[k].y);
            maxy = std::max(maxy, r[k].y);
        }
        *extent = ENVELOPE{minx, miny, maxx, maxy};
    };
    switch (walk.count == 0 ? MOX_KIND_NONE : walk.kind) {
    case MOX_KIND_POINTS:
        include_run(p, walk.count);
        starts->assign(p, p + walk.count);
        *kind = MOX_NATIVE_POINTS;
        break;
    case MOX_KIND_LINE: {
        include_run(p, walk.count);
        starts->push_back(p[0]);
        bool one_point = extent->minx == extent->maxx && extent->miny == extent->maxy;
        *kind = one_point ? MOX_NATIVE_POINTS : MOX_NATIVE_LINES;
        break;
    }
    case MOX_KIND_MULTILINE:
        while (mox_walk_next(&walk, &start, &count)) {
            if (count >= 2) { /* parts hold no repeated neighbours */
                include_run(p + start, count);
                starts->push_back(p[start]);
                *kind = MOX_NATIVE_LINES;
            }
        }
        break;
    case MOX_KIND_AREA:
    case MOX_KIND_MULTIAREA:
        while (mox_walk_next(&walk, &start, &count)) {
            int32_t own = count;
            if (own >= 2 && S_same(p[start + own - 1], p[start]))
                own--;
            if (own < 3)
                return MOX_E_INVALID_NUM_POINTS;
            include_run(p + start, own);
            starts->push_back(p[start]);
        }
        *kind = MOX_NATIVE_AREA;
        break;
    default:
        break;
    }
    return MOX_SUCCESS;
}

int mox_native_settle(const mox_native_view &a, int32_t kind, const ENVELOPE &extent,
                      int32_t method)
{
    if (a.kind == MOX_NATIVE_EMPTY || kind == MOX_NATIVE_EMPTY || !S_extents_meet(a.extent, extent))
        return 0;
    const ENVELOPE &s = a.extent;
    bool strictly_inside = a.rectangle && s.minx < extent.minx && extent.maxx < s.maxx &&
                           s.miny < extent.miny && extent.maxy < s.maxy;
    switch (method) {
    case SM_ET_OR_AI:
        if (a.rectangle && S_extent_covers(s, extent))
            return 1;
        break;
    case SM_SC:
        if (!S_extent_covers(s, extent) || kind > a.kind)
            return 0;
        if (strictly_inside)
            return 1;
        break;
    case SM_PC:
        return !S_extent_covers(extent, s) || a.kind > kind ? 0 : -1;
    case SM_PIP:
        if (!((a.kind == MOX_NATIVE_POINTS && kind == MOX_NATIVE_AREA) ||
              (a.kind == MOX_NATIVE_AREA && kind == MOX_NATIVE_POINTS)))
            return 0;
        if (strictly_inside)
            return 1;
        break;
    default:
        return -1;
    }
    if (a.kind != MOX_NATIVE_AREA || (method == SM_PIP && kind != MOX_NATIVE_POINTS))
        return -1;
    int place = mox_native_box_place(a, extent);
    return place < 0 ? -1 : (place == 2 ? 1 : 0);
}

int mox_native_box_place(const mox_native_view &a, const ENVELOPE &box)
{
    if (a.kind == MOX_NATIVE_EMPTY || box.minx > box.maxx || box.miny > box.maxy ||
        !S_extents_meet(a.extent, box))
        return 0;
    const ENVELOPE &s = a.extent;
    if (a.rectangle && s.minx < box.minx && box.maxx < s.maxx && s.miny < box.miny &&
        box.maxy < s.maxy)
        return 2;
    /* A box that no edge of a reaches holds no point of lines or points, and
     * lies wholly inside an area or wholly outside it (the area cannot lie
     * inside the box either): one corner tells. */
    mox_edge edge = {box.minx, box.miny, box.maxx, box.maxy};
    if (S_scan(a, edge, [](const mox_edge &) { return true; }))
        return -1;
    if (a.kind != MOX_NATIVE_AREA)
        return 0;
    return S_locate(a, POINT{box.minx, box.miny}) == S_INTERIOR ? 2 : 0;
}

bool mox_native_any_in_area(const mox_native_view &a, const std::vector<POINT> &points)
{
    if (a.kind != MOX_NATIVE_AREA)
        return false;
    for (const POINT &p : points)
        if (S_locate(a, p) != S_EXTERIOR)
            return true;
    return false;
}

void mox_native_index(mox_native_shape *s)
{
    auto n = (int64_t)s->edges.size();
    s->band_count = 0;
    if (n < 16 || s->kind == MOX_NATIVE_EMPTY)
        return;
    int64_t span = (int64_t)s->extent.maxy - s->extent.miny + 1;
    int64_t bands = std::min<int64_t>(std::min<int64_t>(n / 4, 65536), span);
    if (bands < 2)
        return;
    s->band_y0 = s->extent.miny;
    s->band_height = (span + bands - 1) / bands;
    s->band_count = (int32_t)((span + s->band_height - 1) / s->band_height);
    mox_native_view v = s->view();
    s->band_start.assign((size_t)s->band_count + 1, 0);
    for (const mox_edge &e : s->edges) {
        int32_t b0 = S_band_of(v, std::min(e.y1, e.y2));
        int32_t b1 = S_band_of(v, std::max(e.y1, e.y2));
        for (int32_t b = b0; b <= b1; b++)
            s->band_start[(size_t)b + 1]++;
    }
    for (int32_t b = 0; b < s->band_count; b++)
        s->band_start[(size_t)b + 1] += s->band_start[(size_t)b];
    s->band_items.assign((size_t)s->band_start[(size_t)s->band_count], 0);
    std::vector<int32_t> next(s->band_start.begin(), s->band_start.end() - 1);
    for (size_t i = 0; i < s->edges.size(); i++) {
        const mox_edge &e = s->edges[i];
        int32_t b0 = S_band_of(v, std::min(e.y1, e.y2));
        int32_t b1 = S_band_of(v, std::max(e.y1, e.y2));
        for (int32_t b = b0; b <= b1; b++)
            s->band_items[(size_t)next[(size_t)b]++] = (int32_t)i;
    }
}

bool mox_native_method(int32_t method)
{
    return method == SM_ET_OR_AI || method == SM_PC || method == SM_SC || method == SM_PIP;
}

int mox_native_relate(const mox_native_view &a, const mox_native_view &b, int32_t method)
{
    switch (method) {
    case SM_ET_OR_AI:
        return S_intersects(a, b) ? 1 : 0;
    case SM_SC:
        return S_contains(a, b);
    case SM_PC:
        return S_contains(b, a);
    case SM_PIP:
        return S_point_in_polygon(a, b) ? 1 : 0;
    default:
        return -1;
    }
}
