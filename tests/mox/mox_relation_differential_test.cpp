// Every search method of the geometry module against GEOS's DE-9IM matrix on
// random shapes of a small grid, where edges touch, vertices are shared, holes
// and parts meet and parts degenerate as a matter of course: intersects,
// contains, within and point in polygon are computed on the integer points,
// the rest through GEOS, and both must give GEOS's answer. Where GEOS 3.11 is
// known to be wrong (lines running along part of one another) the table of
// cases below gives the correct answer instead. The shapes and the comparison
// are in tests/mox/mox_relation_shapes.h.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/ve_filter.h"
#include "mox/mox.h"
#include "tests/mox/mox_relation_oracle.h"
#include "tests/mox/mox_relation_shapes.h"

namespace
{

using namespace mox_shapes;

TEST(MoxRelationDifferential, EveryMethodAgreesWithGeosOnRandomShapes)
{
    mox_oracle::Geos geos;
    int compared = 0;
    int native = 0;
    for (int32_t size : {2, 4, 8, 40}) {
        Generator gen(20261211u + static_cast<uint32_t>(size), size);
        for (int i = 0; i < 1500 && !HasFailure(); i++) {
            Shape a = gen.Next();
            Shape b = gen.Next();
            compared += Compare(geos, a, b, &native) ? 1 : 0;
        }
    }
    // Most pairs are valid shapes that GEOS can judge.
    EXPECT_GT(compared, 4000);
    EXPECT_GT(native, 4000);
}

// Lines along part of one another, where GEOS 3.11's matrix is wrong: the
// correct matrix, worked out by hand, decides (GEOS's is in the comment).
TEST(MoxRelationDifferential, LinesAlongOneAnotherGetTheCorrectAnswer)
{
    struct Case {
        Shape a;
        Shape b;
        const char *matrix; // correct, of a against b
    } cases[] = {
        // a is b's last segment, reversed; GEOS: 0F100F102.
        {{VE_ENTITY_LINE, {{2, 0}, {1, 2}, {1, 2}}},
         {VE_ENTITY_LINE, {{1, 1}, {2, 2}, {1, 2}, {2, 0}}},
         "1FF00F102"},
        // b is the first segment of a's second part; GEOS: 101F001F2.
        {{VE_ENTITY_MULTI_LINE,
          {{2, 0}, {1, 1}, {2, 0}, {2, 0}, {1, 0}, {2, 2}, {0, 2}, {0, 2}, {2, 1}, {0, 1}, {1, 1}}},
         {VE_ENTITY_LINE, {{1, 0}, {2, 2}}},
         "101F00FF2"},
        // a is b's third part; GEOS: 1F1F0F102.
        {{VE_ENTITY_MULTI_LINE, {{1, 0}, {2, 0}, {1, 2}}},
         {VE_ENTITY_MULTI_LINE,
          {{0, 1}, {1, 1}, {1, 1}, {2, 1}, {0, 2}, {0, 2}, {1, 0}, {2, 0}, {1, 2}}},
         "1FFF0F102"},
    };
    for (const Case &c : cases) {
        Spec filter(c.a);
        FEATURE_STRUCT f = Record(c.b);
        for (int32_t method : {SM_ET_OR_AI, SM_PC, SM_SC}) {
            bool expected = mox_oracle::Holds(method, c.matrix, 1, 1);
            for (int32_t flag : {0, 1}) {
                SCOPED_TRACE(testing::Message() << Describe(c.a) << " / " << Describe(c.b)
                                                << " method " << method << " flag " << flag);
                Answer got = Ask(filter, f, method, flag);
                EXPECT_EQ(got.rc, expected ? MOX_SUCCESS : MOX_RELATION_NOT_HELD);
            }
        }
    }
}

// Hand-made boundary cases: each pair both ways round.
TEST(MoxRelationDifferential, BoundaryCasesAgreeWithGeos)
{
    const Shape square = {VE_ENTITY_AREA, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}};
    const Shape holed = {
        VE_ENTITY_AREA,
        {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}, {3, 3}, {3, 7}, {7, 7}, {7, 3}, {3, 3}}};
    const Shape cases[] = {
        square,
        holed,
        {VE_ENTITY_AREA, {{3, 3}, {7, 3}, {7, 7}, {3, 7}, {3, 3}}},        // the hole, filled
        {VE_ENTITY_AREA, {{10, 0}, {20, 0}, {20, 10}, {10, 10}}},          // shares an edge
        {VE_ENTITY_AREA, {{10, 10}, {20, 10}, {20, 20}, {10, 20}}},        // shares a corner
        {VE_ENTITY_AREA, {{0, 0}, {10, 0}, {5, 5}, {0, 0}}},               // inside, along the edge
        {VE_ENTITY_AREA, {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}}},        // inside, at a corner
        {VE_ENTITY_AREA, {{5, 0}, {10, 5}, {5, 10}, {0, 5}, {5, 0}}},      // corners on every edge
        {VE_ENTITY_LINE, {{0, 0}, {10, 0}}},                               // along an edge
        {VE_ENTITY_LINE, {{-5, 0}, {15, 0}}},                              // beyond an edge
        {VE_ENTITY_LINE, {{0, 0}, {5, 0}, {5, 5}}},                        // along, then inside
        {VE_ENTITY_LINE, {{3, 3}, {7, 3}, {7, 7}}},                        // along the hole
        {VE_ENTITY_LINE, {{0, 10}, {10, 0}}},                              // corner to corner
        {VE_ENTITY_LINE, {{5, 5}, {5, 5}, {5, 5}}},                        // one point, repeated
        {VE_ENTITY_LINE, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}},    // the ring, closed
        {VE_ENTITY_LINE, {{2, 0}, {8, 0}, {2, 0}}},                        // doubling back
        {VE_ENTITY_MULTI_LINE, {{0, 0}, {5, 0}, {5, 0}, {5, 0}, {10, 0}}}, // two touching parts
        {VE_ENTITY_MULTI_LINE, {{1, 1}, {2, 2}, {2, 2}, {9, 9}}},          // a lone-point part
        {VE_ENTITY_POINT, {{0, 0}}},                                       // a corner
        {VE_ENTITY_POINT, {{5, 0}}},                                       // on an edge
        {VE_ENTITY_POINT, {{3, 5}}},                                       // on the hole
        {VE_ENTITY_POINT, {{5, 5}}},                                       // in the hole
        {VE_ENTITY_MULTI_POINT, {{1, 1}, {0, 5}, {1, 1}}},                 // inside and on
        {VE_ENTITY_MULTI_POINT, {{0, 0}, {10, 10}}},                       // corners only
        {VE_ENTITY_MULTI_AREA,
         {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}, {5, 5}, {10, 5}, {10, 10}, {5, 10}, {5, 5}}},
        {VE_ENTITY_MULTI_AREA,
         {{0, 0},
          {10, 0},
          {10, 10},
          {0, 10},
          {0, 0},
          {3, 3},
          {3, 7},
          {7, 7},
          {7, 3},
          {3, 3},
          {4, 4},
          {6, 4},
          {6, 6},
          {4, 6},
          {4, 4}}}, // an island in the hole
    };
    mox_oracle::Geos geos;
    int native = 0;
    int compared = 0;
    for (const Shape &a : cases)
        for (const Shape &b : cases)
            compared += Compare(geos, a, b, &native) ? 1 : 0;
    EXPECT_EQ(compared, static_cast<int>(std::size(cases) * std::size(cases)));
}
// A filter prepared once answers many features, with its edge index in use:
// a ring of 400 points against features inside, outside, across and along it.
TEST(MoxRelationDifferential, LargeFilterWithItsEdgeIndexAgreesWithGeos)
{
    Shape big{VE_ENTITY_AREA, {}};
    for (int32_t k = 0; k < 100; k++)
        big.points.push_back({k, 0});
    for (int32_t k = 0; k < 100; k++)
        big.points.push_back({100, k});
    for (int32_t k = 0; k < 100; k++)
        big.points.push_back({100 - k, 100 - (k % 2)}); // a saw-tooth top
    for (int32_t k = 0; k < 100; k++)
        big.points.push_back({0, 100 - k});
    big.points.push_back({0, 0});
    mox_oracle::Geos geos;
    Generator gen(99, 110);
    int native = 0;
    int compared = 0;
    for (int i = 0; i < 300 && !HasFailure(); i++) {
        Shape b = gen.Next();
        compared += Compare(geos, big, b, &native) ? 1 : 0; // invalid features are left out
    }
    EXPECT_GT(compared, 200);
    EXPECT_GT(native, 500);
}

} // namespace
