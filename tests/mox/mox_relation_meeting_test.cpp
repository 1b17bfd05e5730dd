// Areas whose rings meet, against GEOS: multi areas whose parts touch at a
// point (a common vertex, or a vertex of one inside an edge of the other) or
// along an edge, areas whose hole touches the outer ring, and the lines,
// points and boxes that pass where they meet (tests/mox/mox_relation_shapes.h).
// Contains and within of such a line, computed on the integer points, once
// took a line crossing one part's edge at the other part's vertex for a line
// leaving the area.
#include <gtest/gtest.h>

#include "mox/mox.h"
#include "tests/mox/mox_relation_oracle.h"
#include "tests/mox/mox_relation_shapes.h"

namespace
{

using namespace mox_shapes;

// A line inside a multi area, passing from one part into the other through
// the point where they meet, which is a vertex of one part lying inside an
// edge of the other: the line is within the area and the area contains it,
// with and without the relation flag.
TEST(MoxRelationMeeting, LineThroughThePointWherePartsMeetIsWithinTheArea)
{
    struct Case {
        Shape area;
        Shape line;
    } cases[] = {
        // The second triangle's vertex (3 3) lies on the first's edge.
        {{VE_ENTITY_MULTI_AREA, {{2, 1}, {4, 2}, {4, 5}, {2, 1}, {2, 5}, {3, 3}, {4, 6}, {2, 5}}},
         {VE_ENTITY_LINE, {{3, 2}, {3, 4}}}},
        // A box and a triangle hanging from (5 2) on its bottom edge; the line
        // has a vertex there.
        {{VE_ENTITY_MULTI_AREA,
          {{2, 2}, {8, 2}, {8, 6}, {2, 6}, {2, 2}, {5, 2}, {3, 0}, {7, 0}, {5, 2}}},
         {VE_ENTITY_LINE, {{5, 4}, {5, 2}, {5, 1}}}},
        // Three triangles round (5 4), which lies inside the first one's top edge.
        {{VE_ENTITY_MULTI_AREA,
          {{5, 1},
           {6, 4},
           {4, 4},
           {5, 1},
           {5, 1},
           {3, 4},
           {1, 0},
           {5, 1},
           {0, 5},
           {5, 4},
           {5, 6},
           {0, 5}}},
         {VE_ENTITY_LINE, {{5, 2}, {5, 5}}}},
    };
    for (const Case &c : cases) {
        Spec area(c.area);
        Spec line(c.line);
        FEATURE_STRUCT area_feature = Record(c.area);
        FEATURE_STRUCT line_feature = Record(c.line);
        for (int32_t flag : {0, 1}) {
            SCOPED_TRACE(testing::Message()
                         << Describe(c.area) << " / " << Describe(c.line) << " flag " << flag);
            EXPECT_EQ(Ask(area, line_feature, SM_SC, flag).rc, MOX_SUCCESS);
            EXPECT_EQ(Ask(line, area_feature, SM_PC, flag).rc, MOX_SUCCESS);
            EXPECT_EQ(Ask(area, line_feature, SM_ET_OR_AI, flag).rc, MOX_SUCCESS);
        }
    }
}

// The scenes above against GEOS, both ways round: the module must give GEOS's
// answer wherever GEOS can judge the pair. Parts or a hole meeting along an
// edge make an invalid area, which GEOS cannot judge: those pairs are only
// asked, not compared: each method answers, or refuses the shape where it
// needs GEOS, which cannot relate it.
TEST(MoxRelationMeeting, AreasWhosePartsOrHolesMeetAgreeWithGeos)
{
    mox_oracle::Geos geos;
    Scenes scenes(5800u);
    int compared = 0;
    int asked = 0;
    int native = 0;
    for (int i = 0; i < 1500 && !HasFailure(); i++) {
        Shape area;
        POINT at;
        if (!scenes.Area(&area, &at))
            continue;
        Shape other = scenes.Through(area, at);
        for (bool area_first : {true, false}) {
            const Shape &a = area_first ? area : other;
            const Shape &b = area_first ? other : area;
            if (Compare(geos, a, b, &native)) {
                compared++;
                continue;
            }
            Spec filter(a);
            FEATURE_STRUCT f = Record(b);
            for (int32_t method : mox_oracle::kMethods)
                for (int32_t flag : {0, 1}) {
                    SCOPED_TRACE(testing::Message() << Describe(a) << " / " << Describe(b)
                                                    << " method " << method << " flag " << flag);
                    Answer got = Ask(filter, f, method, flag);
                    EXPECT_TRUE(got.rc == MOX_SUCCESS || got.rc == MOX_RELATION_NOT_HELD ||
                                got.rc == MOX_E_INVALID_SHAPE)
                        << "status " << got.rc;
                }
            asked++;
        }
    }
    EXPECT_GT(compared, 1300);
    EXPECT_GT(native, 5000);
    EXPECT_GT(asked, 700);
}

} // namespace
