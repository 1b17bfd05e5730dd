// Shapes for the relation tests of the geometry module: a shape's prepared
// spec, a generator of random shapes of every type on a small grid, and the
// comparison of every search method with GEOS's answer
// (tests/mox/mox_relation_oracle.h). Shapes and the scenes of areas whose
// parts or holes meet are in tests/mox/mox_relation_scenes.h.
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
#include "tests/mox/mox_relation_scenes.h"

namespace mox_shapes
{

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

} // namespace mox_shapes

#endif
