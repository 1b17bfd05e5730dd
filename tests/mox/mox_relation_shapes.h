// Shapes for the relation tests of the geometry module: a shape as a list of
// points with its entity type, its record and prepared spec, a generator of
// random shapes of every type on a small grid, scenes of areas whose parts or
// holes meet with shapes passing where they meet, and the comparison of every
// search method with GEOS's answer (tests/mox/mox_relation_oracle.h).
#ifndef MOX_RELATION_SHAPES_H
#define MOX_RELATION_SHAPES_H

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "mox/mox.h"
#include "tests/mox/mox_relation_oracle.h"

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

inline std::string Describe(const Shape &s)
{
    return mox_oracle::Wkt(Record(s));
}

struct Spec {
    FEATURE_STRUCT shape;
    VE_FEATURE_SPEC spec = {};
    explicit Spec(const Shape &s) : shape(Record(s))
    {
        spec.shape = &shape;
    }
    Spec(const Spec &) = delete;
    Spec &operator=(const Spec &) = delete;
    ~Spec()
    {
        MoxsFeatureSpecRelease(&spec);
    }
};

// Random shapes on a grid of 0..size, of every entity type.
class Generator
{
  public:
    explicit Generator(uint32_t seed, int32_t size) : rng_(seed), size_(size) {}

    Shape Next()
    {
        switch (Pick(9)) {
        case 0:
            return {VE_ENTITY_POINT, {Point()}};
        case 1:
            return {VE_ENTITY_MULTI_POINT, Points(2 + Pick(3))};
        case 2:
            return {static_cast<uint16_t>(Pick(2) ? VE_ENTITY_LINE : VE_ENTITY_SIMPLE_LINE),
                    Points(2 + Pick(3))};
        case 3:
            return MultiLine();
        case 4:
            return {VE_ENTITY_AREA, Rectangle(0, 0, size_, size_, Pick(2) == 0)};
        case 5:
            return Triangle();
        case 6:
            return Holed();
        case 7:
            return MultiArea();
        default:
            return Staircase();
        }
    }

  private:
    std::mt19937 rng_;
    int32_t size_;

    int32_t Pick(int32_t n)
    {
        return static_cast<int32_t>(rng_() % static_cast<uint32_t>(n));
    }
    POINT Point()
    {
        return POINT{Pick(size_ + 1), Pick(size_ + 1)};
    }
    std::vector<POINT> Points(int n)
    {
        std::vector<POINT> p;
        for (int i = 0; i < n; i++)
            p.push_back(i > 0 && Pick(6) == 0 ? p.back() : Point()); // repeated points too
        return p;
    }
    // Parts of a multi line, a repeated point closing each; a part of a
    // single point now and then.
    Shape MultiLine()
    {
        Shape s{static_cast<uint16_t>(Pick(2) ? VE_ENTITY_MULTI_LINE : VE_ENTITY_MULTI_SIMPLE_LINE),
                {}};
        int parts = 1 + Pick(3);
        for (int k = 0; k < parts; k++) {
            int n = Pick(5) == 0 ? 1 : 2 + Pick(2);
            for (int i = 0; i < n; i++) {
                POINT p = Point();
                if (!s.points.empty() && i > 0 && p.x == s.points.back().x &&
                    p.y == s.points.back().y)
                    p.x = (p.x + 1) % (size_ + 1);
                s.points.push_back(p);
            }
            if (k + 1 < parts)
                s.points.push_back(s.points.back());
        }
        return s;
    }
    // A box inside x0..x1, y0..y1 of at least one unit, either winding.
    std::vector<POINT> Rectangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool clockwise)
    {
        int32_t ax = x0 + Pick(std::max(1, x1 - x0));
        int32_t ay = y0 + Pick(std::max(1, y1 - y0));
        int32_t bx = ax + 1 + Pick(std::max(1, x1 - ax));
        int32_t by = ay + 1 + Pick(std::max(1, y1 - ay));
        std::vector<POINT> r = {{ax, ay}, {bx, ay}, {bx, by}, {ax, by}, {ax, ay}};
        if (clockwise)
            r = {{ax, ay}, {ax, by}, {bx, by}, {bx, ay}, {ax, ay}};
        return r;
    }
    Shape Triangle()
    {
        for (;;) {
            POINT a = Point(), b = Point(), c = Point();
            int64_t twice = (int64_t)(b.x - a.x) * (c.y - a.y) - (int64_t)(b.y - a.y) * (c.x - a.x);
            if (twice != 0)
                return {VE_ENTITY_AREA, {a, b, c, a}};
        }
    }
    // A box with a box-shaped hole, which may touch the outer ring.
    Shape Holed()
    {
        int32_t ax = Pick(size_ / 2), ay = Pick(size_ / 2);
        int32_t bx = ax + 3 + Pick(size_ / 2), by = ay + 3 + Pick(size_ / 2);
        int32_t hx = ax + Pick(2) + (Pick(3) == 0 ? 0 : 1), hy = ay + 1;
        int32_t gx = std::min(bx - 1, hx + 1 + Pick(2)), gy = std::min(by - 1, hy + 1 + Pick(2));
        if (hx >= gx)
            hx = gx - 1;
        return {VE_ENTITY_AREA,
                {{ax, ay},
                 {bx, ay},
                 {bx, by},
                 {ax, by},
                 {ax, ay},
                 {hx, hy},
                 {hx, gy},
                 {gx, gy},
                 {gx, hy},
                 {hx, hy}}};
    }
    // Two or three boxes as one multi area (they may touch; overlapping ones
    // make an invalid shape, which the test leaves out).
    Shape MultiArea()
    {
        Shape s{VE_ENTITY_MULTI_AREA, {}};
        int n = 2 + Pick(2);
        for (int k = 0; k < n; k++) {
            std::vector<POINT> r = Rectangle(0, 0, size_, size_, false);
            s.points.insert(s.points.end(), r.begin(), r.end());
        }
        return s;
    }
    // A concave ring with reflex corners, so edges graze vertices.
    Shape Staircase()
    {
        int32_t x = Pick(size_ / 2), y = Pick(size_ / 2);
        int32_t w = 2 + Pick(size_ / 2), h = 2 + Pick(size_ / 2);
        return {VE_ENTITY_AREA,
                {{x, y},
                 {x + w, y},
                 {x + w, y + h / 2},
                 {x + w / 2, y + h / 2},
                 {x + w / 2, y + h},
                 {x, y + h},
                 {x, y}}};
    }
};

// What the module answers for one method, and its cell.
struct Answer {
    int32_t rc;
    int32_t cell;
    int32_t work;
};

inline Answer Ask(Spec &filter, const FEATURE_STRUCT &f, int32_t method, int32_t flag)
{
    Answer a = {0, 0, 0};
    a.rc = MoxsSrchComp(&filter.spec, &f, method, &a.cell, &a.work, flag);
    return a;
}

// Compares every method, with and without the relation flag, for one pair;
// returns false when GEOS cannot judge the pair (an invalid shape). For two
// lines, within and contains are the covering of one point set by the other
// (the interiors then meet along a line), judged by overlay.
inline bool Compare(mox_oracle::Geos &geos, const Shape &a, const Shape &b, int *native_checked)
{
    Spec filter(a);
    FEATURE_STRUCT f = Record(b);
    int dim_a = -1;
    int dim_b = -1;
    std::string matrix = mox_oracle::Matrix(geos, Describe(a), Describe(b), &dim_a, &dim_b);
    if (matrix.empty())
        return false;
    for (int32_t method : mox_oracle::kMethods) {
        bool expected =
            mox_oracle::Expected(geos, method, Describe(a), Describe(b), matrix, dim_a, dim_b);
        for (int32_t flag : {0, 1}) {
            SCOPED_TRACE(testing::Message() << Describe(a) << " / " << Describe(b) << " method "
                                            << method << " flag " << flag << " matrix " << matrix);
            Answer got = Ask(filter, f, method, flag);
            if (got.rc != MOX_SUCCESS && got.rc != MOX_RELATION_NOT_HELD) {
                ADD_FAILURE() << "status " << got.rc;
                continue;
            }
            EXPECT_EQ(got.rc == MOX_SUCCESS, expected);
            if (flag != 0 || method == SM_CBM)
                EXPECT_EQ(mox_oracle::CellMatrix(got.cell), matrix);
            else if (method == SM_ET_OR_AI || method == SM_PC || method == SM_SC ||
                     method == SM_PIP)
                ++*native_checked;
        }
    }
    return true;
}

// Areas whose rings meet, and shapes that pass where they meet: multi areas
// whose parts touch at a common vertex, at a vertex of one lying on an edge of
// the other, or along an edge (which GEOS calls invalid and so cannot judge);
// areas whose hole touches the outer ring at a point or along an edge; then
// lines through the meeting point (with a vertex there or crossing it inside
// an edge), lines along a part's edge from it, the point itself and boxes
// around it.
class Scenes
{
  public:
    explicit Scenes(uint32_t seed) : rng_(seed) {}

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
        switch (Pick(8)) {
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
        default: { // a box around v, or with a corner at v
            int32_t w = 1 + Pick(3), h = 1 + Pick(3);
            int32_t x = v.x - Pick(2) * w, y = v.y - Pick(2) * h;
            return {VE_ENTITY_AREA, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}}};
        }
        }
    }

  private:
    std::mt19937 rng_;
    static constexpr int32_t kSize = 12;

    int32_t Pick(int32_t n)
    {
        return static_cast<int32_t>(rng_() % static_cast<uint32_t>(n));
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
