// Shapes for the relation tests of the geometry module, with no test
// framework, so that the relation fuzz target draws them too: a shape as a
// list of points with its entity type and its record, and scenes of areas
// whose parts or holes meet with the shapes that pass where they meet.
#ifndef MOX_RELATION_SCENES_H
#define MOX_RELATION_SCENES_H

#include <stdint.h>

#include <algorithm>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "mox/mox.h"

namespace mox_shapes
{

struct Shape {
    uint16_t entity;
    std::vector<POINT> points;
};

inline FEATURE_STRUCT Record(const Shape &s)
{
    FEATURE_STRUCT f = {};
    f.entity_type = s.entity;
    f.num_points = static_cast<int32_t>(s.points.size());
    f.points = const_cast<POINT *>(s.points.data());
    f.allocated_points = f.num_points;
    MoxsNvelop(&f);
    return f;
}

// Areas whose rings meet, and shapes that pass where they meet: multi areas
// whose parts touch at a common vertex, at a vertex of one lying on an edge of
// the other, or along an edge (which GEOS calls invalid and so cannot judge);
// areas whose hole touches the outer ring at a point or along an edge; then
// lines through the meeting point (with a vertex there or crossing it inside
// an edge), lines along the rings' edges into it and out of it (along a shared
// edge, from one part's edge into the other's), the point itself and boxes
// around it.
class Scenes
{
  public:
    explicit Scenes(uint32_t seed)
        : pick_([rng = std::mt19937(seed)](uint32_t n) mutable { return rng() % n; })
    {
    }
    // Draws from the caller's source: pick(n) gives 0 to n - 1.
    explicit Scenes(std::function<uint32_t(uint32_t)> pick) : pick_(std::move(pick)) {}

    // An area with a meeting point *at, or false when the draw was degenerate.
    bool Area(Shape *area, POINT *at)
    {
        switch (Pick(6)) {
        case 0:
            return CommonVertex(area, at);
        case 1:
            return VertexOnEdge(area, at);
        case 2:
            return SharedEdge(area, at);
        case 3:
            return HoleAtPoint(area, at, false);
        case 4:
            return HoleAtPoint(area, at, true);
        default:
            return HoleAlongEdge(area, at);
        }
    }

    // A shape that passes through, starts at, runs along or covers point v
    // of area (whose first ring is followed along an edge).
    Shape Through(const Shape &area, POINT v)
    {
        POINT a = Point();
        POINT b = {2 * v.x - a.x, 2 * v.y - a.y}; // v is the middle of a-b
        switch (Pick(11)) {
        case 0:
            return {VE_ENTITY_LINE, {a, b}};
        case 1:
            return {VE_ENTITY_LINE, {a, v, Point()}};
        case 2:
            return {VE_ENTITY_SIMPLE_LINE, {v, Point()}};
        case 3: { // along the first ring's edge that starts or ends at v, then off
            const std::vector<POINT> &p = area.points;
            for (size_t k = 0; k + 1 < p.size(); k++) {
                if (p[k].x == v.x && p[k].y == v.y)
                    return {VE_ENTITY_LINE, {v, p[k + 1], Point()}};
                if (p[k + 1].x == v.x && p[k + 1].y == v.y)
                    return {VE_ENTITY_LINE, {p[k], v, Point()}};
            }
            return {VE_ENTITY_LINE, {a, v}};
        }
        case 4:
            return {VE_ENTITY_POINT, {v}};
        case 5:
            return {VE_ENTITY_MULTI_POINT, {v, Point()}};
        case 6:
            return {VE_ENTITY_MULTI_LINE, {a, v, v, v, b}};
        case 7: { // a box around v, or with a corner at v
            int32_t w = 1 + Pick(3), h = 1 + Pick(3);
            int32_t x = v.x - Pick(2) * w, y = v.y - Pick(2) * h;
            return {VE_ENTITY_AREA, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}}};
        }
        case 8: { // along one ring's edge into v and along another's out of it
            std::vector<POINT> n = Neighbours(area, v);
            return {VE_ENTITY_LINE, {n[Pick((int32_t)n.size())], v, n[Pick((int32_t)n.size())]}};
        }
        case 9: { // along an edge through v, then off it
            std::vector<POINT> n = Neighbours(area, v);
            return {VE_ENTITY_LINE, {n[Pick((int32_t)n.size())], v, Point()}};
        }
        default: { // along an edge through v as far as it goes, both ways
            std::vector<POINT> n = Neighbours(area, v);
            POINT from = n[Pick((int32_t)n.size())];
            return {VE_ENTITY_MULTI_LINE, {from, v, v, v, n[Pick((int32_t)n.size())]}};
        }
        }
    }

    // The ends of every ring edge of the area that passes through or ends at
    // v (v itself never): where a line along the rings may go from v.
    static std::vector<POINT> Neighbours(const Shape &area, POINT v)
    {
        std::vector<POINT> out;
        const std::vector<POINT> &p = area.points;
        size_t s = 0;
        while (s < p.size()) {
            size_t e = s + 1;
            while (e < p.size() && !(p[e].x == p[s].x && p[e].y == p[s].y))
                e++;
            size_t last = e < p.size() ? e : e - 1; // the ring's closing point
            for (size_t k = s; k < last || (e == p.size() && k == last); k++) {
                const POINT &a = p[k];
                const POINT &b = k < last ? p[k + 1] : p[s];
                bool on = Twice(a, b, v) == 0 && std::min(a.x, b.x) <= v.x &&
                          v.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= v.y &&
                          v.y <= std::max(a.y, b.y);
                if (!on)
                    continue;
                for (const POINT &q : {a, b})
                    if (!(q.x == v.x && q.y == v.y))
                        out.push_back(q);
            }
            s = e + 1;
        }
        if (out.empty())
            out.push_back(POINT{v.x + 1, v.y});
        return out;
    }

  private:
    std::function<uint32_t(uint32_t)> pick_;
    static constexpr int32_t kSize = 12;

    int32_t Pick(int32_t n)
    {
        return static_cast<int32_t>(pick_(static_cast<uint32_t>(n)) % static_cast<uint32_t>(n));
    }
    POINT Point()
    {
        return POINT{Pick(kSize + 1), Pick(kSize + 1)};
    }
    static int64_t Twice(const POINT &a, const POINT &b, const POINT &c)
    {
        return (int64_t)(b.x - a.x) * (c.y - a.y) - (int64_t)(b.y - a.y) * (c.x - a.x);
    }
    // A triangle v, p, q counter-clockwise (or clockwise), closed; false when
    // the three points are in line.
    static bool Triangle(std::vector<POINT> *out, POINT v, POINT p, POINT q, bool clockwise)
    {
        int64_t t = Twice(v, p, q);
        if (t == 0)
            return false;
        if ((t < 0) != clockwise)
            std::swap(p, q);
        out->insert(out->end(), {v, p, q, v});
        return true;
    }
    // A point of the quadrant of v that sx, sy (+1 or -1) point into,
    // borders included.
    POINT InQuadrant(POINT v, int sx, int sy)
    {
        return POINT{v.x + sx * Pick(5), v.y + sy * Pick(5)};
    }
    // Two or three triangles with a common vertex, each in its own quadrant
    // of it, so that they meet there only (or along a border line, now and
    // then, where two reach it).
    bool CommonVertex(Shape *area, POINT *at)
    {
        POINT v = {3 + Pick(kSize - 5), 3 + Pick(kSize - 5)};
        *area = {VE_ENTITY_MULTI_AREA, {}};
        const int quadrants[4][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}};
        int parts = 2 + Pick(2);
        int first = Pick(4);
        for (int k = 0; k < parts; k++) {
            const int *q = quadrants[(first + k) % 4];
            if (!Triangle(&area->points, v, InQuadrant(v, q[0], q[1]), InQuadrant(v, q[0], q[1]),
                          false))
                return false;
        }
        *at = v;
        return true;
    }
    // A box and a triangle whose apex lies inside one of the box's edges
    // (the bottom one, or the left one).
    bool VertexOnEdge(Shape *area, POINT *at)
    {
        int32_t x0 = 4 + Pick(3), y0 = 4 + Pick(3);
        int32_t x1 = x0 + 2 + Pick(4), y1 = y0 + 2 + Pick(4);
        *area = {VE_ENTITY_MULTI_AREA, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}}};
        POINT apex, p, q;
        if (Pick(2) == 0) {
            apex = {x0 + 1 + Pick(x1 - x0 - 1), y0};
            p = {apex.x - Pick(4), y0 - 1 - Pick(3)};
            q = {apex.x + Pick(4), y0 - 1 - Pick(3)};
        } else {
            apex = {x0, y0 + 1 + Pick(y1 - y0 - 1)};
            p = {x0 - 1 - Pick(3), apex.y - Pick(4)};
            q = {x0 - 1 - Pick(3), apex.y + Pick(4)};
        }
        if (!Triangle(&area->points, apex, p, q, false))
            return false;
        *at = apex;
        return true;
    }
    // Two boxes side by side sharing all or part of an edge.
    bool SharedEdge(Shape *area, POINT *at)
    {
        int32_t x0 = 2 + Pick(3), y0 = 2 + Pick(3);
        int32_t x1 = x0 + 2 + Pick(3), y1 = y0 + 3 + Pick(4);
        int32_t x2 = x1 + 1 + Pick(3);
        int32_t z0 = y0 + Pick(2), z1 = y1 - Pick(2);
        *area = {VE_ENTITY_MULTI_AREA,
                 {{x0, y0},
                  {x1, y0},
                  {x1, y1},
                  {x0, y1},
                  {x0, y0},
                  {x1, z0},
                  {x2, z0},
                  {x2, z1},
                  {x1, z1},
                  {x1, z0}}};
        *at = POINT{x1, z0};
        return true;
    }
    // A box with a triangular hole one of whose vertices lies on the box's
    // bottom edge, or at its corner; as an area, or as a multi area with the
    // hole wound against the box.
    bool HoleAtPoint(Shape *area, POINT *at, bool corner)
    {
        int32_t x0 = 2 + Pick(3), y0 = 2 + Pick(3);
        int32_t x1 = x0 + 4 + Pick(4), y1 = y0 + 4 + Pick(4);
        bool multi = Pick(2) == 0;
        *area = {static_cast<uint16_t>(multi ? VE_ENTITY_MULTI_AREA : VE_ENTITY_AREA),
                 {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}}};
        POINT v = corner ? POINT{x0, y0} : POINT{x0 + 1 + Pick(x1 - x0 - 1), y0};
        POINT p = {x0 + 1 + Pick(x1 - x0 - 1), y0 + 1 + Pick(y1 - y0 - 1)};
        POINT q = {x0 + 1 + Pick(x1 - x0 - 1), y0 + 1 + Pick(y1 - y0 - 1)};
        if (!Triangle(&area->points, v, p, q, multi))
            return false;
        *at = v;
        return true;
    }
    // A box whose box-shaped hole runs along part of its bottom edge.
    bool HoleAlongEdge(Shape *area, POINT *at)
    {
        int32_t x0 = 2 + Pick(3), y0 = 2 + Pick(3);
        int32_t x1 = x0 + 4 + Pick(4), y1 = y0 + 4 + Pick(4);
        int32_t hx = x0 + Pick(2), gx = x1 - Pick(2), gy = y0 + 1 + Pick(2);
        *area = {VE_ENTITY_AREA,
                 {{x0, y0},
                  {x1, y0},
                  {x1, y1},
                  {x0, y1},
                  {x0, y0},
                  {hx, y0},
                  {hx, gy},
                  {gx, gy},
                  {gx, y0},
                  {hx, y0}}};
        *at = POINT{hx, y0};
        return true;
    }
};

} // namespace mox_shapes

#endif
