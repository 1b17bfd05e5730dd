// Spatial relations of the geometry module against GEOS's own predicates: every
// shape of a small fixture is taken as filter and as feature, and every search
// method must agree with the predicate GEOS computes on the same WKT, with and
// without the relation flag. The envelope pre-test must never contradict it.
#include <geos_c.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_filter.h"
#include "mox/mox.h"
#include "mox/mox_prepared_internal.h"
#include "tests/support/spatial_fixture.h"

namespace
{

struct Shape {
    const char *name;
    uint16_t entity;
    std::vector<POINT> points;
    const char *wkt;
};

// A polygon with a hole, and lines, points and areas around it.
const std::vector<Shape> &Fixture()
{
    static const std::vector<Shape> shapes = {
        {"area with hole", VE_ENTITY_AREA, kHoledSquarePoints, kHoledSquareWkt},
        {"point inside", VE_ENTITY_POINT, {{20, 20}}, "POINT(20 20)"},
        {"point on boundary", VE_ENTITY_POINT, {{0, 50}}, "POINT(0 50)"},
        {"point on hole boundary", VE_ENTITY_POINT, {{50, 40}}, "POINT(50 40)"},
        {"point in hole", VE_ENTITY_POINT, {{50, 50}}, "POINT(50 50)"},
        {"point outside", VE_ENTITY_POINT, {{150, 150}}, "POINT(150 150)"},
        {"multi point in and out",
         VE_ENTITY_MULTI_POINT,
         {{20, 20}, {150, 150}},
         "MULTIPOINT((20 20),(150 150))"},
        {"line crossing", VE_ENTITY_LINE, {{-10, 20}, {110, 20}}, "LINESTRING(-10 20,110 20)"},
        {"line touching at end",
         VE_ENTITY_SIMPLE_LINE,
         {{100, 10}, {120, 10}},
         "LINESTRING(100 10,120 10)"},
        {"line disjoint", VE_ENTITY_LINE, {{200, 0}, {300, 0}}, "LINESTRING(200 0,300 0)"},
        {"line inside", VE_ENTITY_LINE, {{10, 10}, {30, 10}}, "LINESTRING(10 10,30 10)"},
        {"line on edge", VE_ENTITY_LINE, {{0, 10}, {0, 90}}, "LINESTRING(0 10,0 90)"},
        {"line crossing line", VE_ENTITY_LINE, {{-10, 15}, {30, 15}}, "LINESTRING(-10 15,30 15)"},
        {"multi line in and out",
         VE_ENTITY_MULTI_LINE,
         {{10, 10}, {20, 10}, {20, 10}, {200, 200}, {210, 200}},
         "MULTILINESTRING((10 10,20 10),(200 200,210 200))"},
        {"area inside",
         VE_ENTITY_AREA,
         {{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}},
         "POLYGON((10 10,30 10,30 30,10 30,10 10))"},
        {"area identical", VE_ENTITY_AREA, kHoledSquarePoints, kHoledSquareWkt},
        {"area around",
         VE_ENTITY_AREA,
         {{-10, -10}, {110, -10}, {110, 110}, {-10, 110}, {-10, -10}},
         "POLYGON((-10 -10,110 -10,110 110,-10 110,-10 -10))"},
        {"area sharing edge",
         VE_ENTITY_AREA,
         {{100, 0}, {200, 0}, {200, 100}, {100, 100}, {100, 0}},
         "POLYGON((100 0,200 0,200 100,100 100,100 0))"},
        {"area overlapping",
         VE_ENTITY_AREA,
         {{80, 80}, {150, 80}, {150, 150}, {80, 150}},
         "POLYGON((80 80,150 80,150 150,80 150,80 80))"}, /* closed implicitly */
        {"area at corner",
         VE_ENTITY_AREA,
         {{100, 100}, {150, 100}, {150, 150}, {100, 150}, {100, 100}},
         "POLYGON((100 100,150 100,150 150,100 150,100 100))"},
        {"area filling hole",
         VE_ENTITY_AREA,
         {{40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}},
         "POLYGON((40 40,60 40,60 60,40 60,40 40))"},
        {"multi area in and out",
         VE_ENTITY_MULTI_AREA,
         {{10, 10},
          {30, 10},
          {30, 30},
          {10, 30},
          {10, 10},
          {200, 200},
          {210, 200},
          {210, 210},
          {200, 210},
          {200, 200}},
         "MULTIPOLYGON(((10 10,30 10,30 30,10 30,10 10)),((200 200,210 200,210 210,200 210,200 "
         "200)))"},
    };
    return shapes;
}

const int32_t kMethods[] = {SM_CP,       SM_LCROSS,   SM_COMMON,   SM_CP_OR_LCROSS, SM_ET_OR_AI,
                            SM_AI,       SM_AI_NO_ET, SM_PC,       SM_SC,           SM_PC_NO_ET,
                            SM_SC_NO_ET, SM_PIP,      SM_IDENTICAL};

struct Geos {
    GEOSContextHandle_t h = GEOS_init_r();
    ~Geos()
    {
        GEOS_finish_r(h);
    }
};

struct GeomDeleter {
    GEOSContextHandle_t h;
    void operator()(GEOSGeometry *g) const
    {
        GEOSGeom_destroy_r(h, g);
    }
};
using Geom = std::unique_ptr<GEOSGeometry, GeomDeleter>;

Geom Read(GEOSContextHandle_t h, const char *wkt)
{
    GEOSWKTReader *reader = GEOSWKTReader_create_r(h);
    GEOSGeometry *g = GEOSWKTReader_read_r(h, reader, wkt);
    GEOSWKTReader_destroy_r(h, reader);
    EXPECT_NE(g, nullptr) << wkt;
    return Geom(g, GeomDeleter{h});
}

int IntersectionDimension(GEOSContextHandle_t h, const GEOSGeometry *a, const GEOSGeometry *b)
{
    Geom common(GEOSIntersection_r(h, a, b), GeomDeleter{h});
    if (!common || GEOSisEmpty_r(h, common.get()))
        return -1;
    return GEOSGeom_getDimensions_r(h, common.get());
}

// What a GIS user expects of each method, asked of GEOS directly.
bool GeosExpects(GEOSContextHandle_t h, int32_t method, const GEOSGeometry *a,
                 const GEOSGeometry *b)
{
    bool meet = GEOSIntersects_r(h, a, b) == 1;
    int common = meet ? IntersectionDimension(h, a, b) : -1;
    bool cp = meet && common == 0;
    bool crosses = GEOSCrosses_r(h, a, b) == 1;
    switch (method) {
    case SM_CP:
        return cp;
    case SM_LCROSS:
        return crosses;
    case SM_COMMON:
        return common >= 1;
    case SM_CP_OR_LCROSS:
        return cp || crosses;
    case SM_ET_OR_AI:
        return meet;
    case SM_AI:
        return meet && GEOSTouches_r(h, a, b) != 1;
    case SM_AI_NO_ET:
        return GEOSRelatePattern_r(h, a, b, "T***F****") == 1;
    case SM_PC:
        return GEOSWithin_r(h, a, b) == 1;
    case SM_SC:
        return GEOSContains_r(h, a, b) == 1;
    case SM_PC_NO_ET: {
        const GEOSPreparedGeometry *pb = GEOSPrepare_r(h, b);
        bool r = GEOSPreparedContainsProperly_r(h, pb, a) == 1;
        GEOSPreparedGeom_destroy_r(h, pb);
        return r;
    }
    case SM_SC_NO_ET: {
        const GEOSPreparedGeometry *pa = GEOSPrepare_r(h, a);
        bool r = GEOSPreparedContainsProperly_r(h, pa, b) == 1;
        GEOSPreparedGeom_destroy_r(h, pa);
        return r;
    }
    case SM_PIP: {
        int da = GEOSGeom_getDimensions_r(h, a);
        int db = GEOSGeom_getDimensions_r(h, b);
        if (da == 0 && db == 2)
            return GEOSCoveredBy_r(h, a, b) == 1;
        if (da == 2 && db == 0)
            return GEOSCovers_r(h, a, b) == 1;
        return false;
    }
    case SM_IDENTICAL:
        return GEOSEquals_r(h, a, b) == 1;
    default:
        ADD_FAILURE() << "method " << method;
        return false;
    }
}

// A shape record over the fixture's points (the record borrows them).
FEATURE_STRUCT Record(const Shape &s)
{
    FEATURE_STRUCT f = {};
    f.entity_type = s.entity;
    f.num_points = static_cast<int32_t>(s.points.size());
    f.points = const_cast<POINT *>(s.points.data());
    f.allocated_points = f.num_points;
    MoxsNvelop(&f);
    return f;
}

struct Spec {
    FEATURE_STRUCT shape;
    VE_FEATURE_SPEC spec = {};
    explicit Spec(const Shape &s) : shape(Record(s))
    {
        spec.shape = &shape;
    }
    ~Spec()
    {
        MoxsFeatureSpecRelease(&spec);
    }
};

// Calls visit(spec, feature, method, expected, common, where) for every filter,
// feature and method of the fixture: expected is GEOS's answer, common the
// dimension of the shapes' common part (-1 for none).
template <class Visit> void ForEachCase(Visit visit)
{
    Geos geos;
    for (const Shape &filter : Fixture()) {
        Spec spec(filter);
        Geom a = Read(geos.h, filter.wkt);
        for (const Shape &feature : Fixture()) {
            FEATURE_STRUCT f = Record(feature);
            Geom b = Read(geos.h, feature.wkt);
            int common = IntersectionDimension(geos.h, a.get(), b.get());
            for (int32_t method : kMethods) {
                std::string where = std::string(filter.name) + " / " + feature.name + " method " +
                                    std::to_string(method);
                visit(spec.spec, f, method, GeosExpects(geos.h, method, a.get(), b.get()), common,
                      where);
            }
        }
    }
}

TEST(MoxRelation, EveryMethodAgreesWithGeosOverTheFixture)
{
    int held = 0;
    int compared = 0;
    ForEachCase([&](VE_FEATURE_SPEC &spec, const FEATURE_STRUCT &f, int32_t method, bool expected,
                    int common, const std::string &where) {
        for (int32_t relation_flag : {0, 1}) {
            SCOPED_TRACE(where + " flag " + std::to_string(relation_flag));
            int32_t cell = 0;
            int32_t work = 7;
            int32_t rc = MoxsSrchComp(&spec, &f, method, &cell, &work, relation_flag);
            ASSERT_TRUE(rc == MOX_SUCCESS || rc == MOX_RELATION_NOT_HELD) << rc;
            EXPECT_EQ(rc == MOX_SUCCESS, expected);
            EXPECT_NE(cell, 0);
            EXPECT_NE(cell, VE_RELATION_BY_ENVELOPE);
            if (relation_flag != 0) {
                EXPECT_NE(cell & MOX_RELATION_MATRIX, 0);
                EXPECT_EQ(work, common);
            }
            held += rc == MOX_SUCCESS;
            compared++;
        }
    });
    // The fixture exercises both answers broadly.
    EXPECT_GT(held, compared / 10);
    EXPECT_LT(held, compared - compared / 10);
}

TEST(MoxRelation, EnvelopePreTestNeverContradictsTheExactRelation)
{
    int settled = 0;
    int proved = 0;
    ForEachCase([&](VE_FEATURE_SPEC &spec, const FEATURE_STRUCT &f, int32_t method, bool expected,
                    int, const std::string &where) {
        SCOPED_TRACE(where);
        int32_t answer = MoxsEnvSect(&spec, &f.envelope, method);
        if (answer == MOX_ENVSECT_CANNOT_HOLD)
            EXPECT_FALSE(expected);
        else if (answer == MOX_ENVSECT_HOLDS)
            EXPECT_TRUE(expected);
        else
            EXPECT_EQ(answer, MOX_ENVSECT_UNDECIDED);
        settled += answer == MOX_ENVSECT_CANNOT_HOLD;
        proved += answer == MOX_ENVSECT_HOLDS;
    });
    EXPECT_GT(settled, 0);
    EXPECT_GT(proved, 0);
}

TEST(MoxRelation, EnvelopesSettleClearCases)
{
    Spec holed(Fixture()[0]); // the area with a hole, 0..100
    const Shape rect = {"rectangle", VE_ENTITY_AREA, {{0, 0}, {0, 100}, {100, 100}, {100, 0}}, ""};
    Spec rectangle(rect); // the same square without the hole, clockwise and closed implicitly
    struct {
        Spec *filter;
        ENVELOPE box;
        int32_t method;
        int32_t expected;
    } cases[] = {
        {&rectangle, {10, 10, 30, 30}, SM_AI, MOX_ENVSECT_HOLDS}, // inside the interior
        {&rectangle, {10, 10, 30, 30}, SM_SC_NO_ET, MOX_ENVSECT_HOLDS},
        {&rectangle, {20, 20, 20, 20}, SM_ET_OR_AI, MOX_ENVSECT_HOLDS},     // a point box
        {&rectangle, {20, 10, 20, 30}, SM_AI_NO_ET, MOX_ENVSECT_HOLDS},     // a segment box
        {&rectangle, {10, 10, 30, 30}, SM_LCROSS, MOX_ENVSECT_CANNOT_HOLD}, // nothing outside
        {&rectangle, {10, 10, 30, 30}, SM_PIP, MOX_ENVSECT_UNDECIDED},      // points only
        {&rectangle, {0, 10, 30, 30}, SM_AI, MOX_ENVSECT_UNDECIDED},        // reaches the boundary
        {&holed, {10, 10, 30, 30}, SM_AI, MOX_ENVSECT_HOLDS},             // no edge reaches the box
        {&holed, {30, 30, 70, 70}, SM_AI, MOX_ENVSECT_UNDECIDED},         // the hole's edges do
        {&holed, {45, 45, 55, 55}, SM_ET_OR_AI, MOX_ENVSECT_CANNOT_HOLD}, // in the hole
        {&holed, {10, 10, 30, 30}, SM_LCROSS, MOX_ENVSECT_CANNOT_HOLD},
        {&holed, {10, 10, 30, 30}, SM_PIP, MOX_ENVSECT_UNDECIDED},
        {&holed, {10, 10, 30, 30}, SM_PC, MOX_ENVSECT_CANNOT_HOLD}, // cannot hold the filter
        {&holed, {200, 200, 300, 300}, SM_CP, MOX_ENVSECT_CANNOT_HOLD},
        {&holed, {90, 90, 120, 120}, SM_SC, MOX_ENVSECT_CANNOT_HOLD}, // leaves the filter's box
        {&holed, {90, 90, 120, 120}, SM_AI, MOX_ENVSECT_UNDECIDED},
        {&holed, {0, 0, 100, 100}, SM_IDENTICAL, MOX_ENVSECT_UNDECIDED},
        {&holed, {0, 0, 100, 90}, SM_IDENTICAL, MOX_ENVSECT_CANNOT_HOLD},
        {&holed, {30, 30, 10, 10}, SM_ET_OR_AI, MOX_ENVSECT_CANNOT_HOLD}, // inverted: no feature
        {&holed,
         {500, 500, 600, 600},
         SM_CBM,
         MOX_ENVSECT_UNDECIDED}, // a pattern may ask for disjoint
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.filter == &holed ? "holed" : "rectangle")
                                        << " method " << c.method << " box " << c.box.minx << ","
                                        << c.box.miny << "," << c.box.maxx << "," << c.box.maxy);
        EXPECT_EQ(MoxsEnvSect(&c.filter->spec, &c.box, c.method), c.expected);
    }

    // Shapes that only look like their extent are not taken for rectangles:
    // a box strictly inside the extent is settled by their edges alone.
    const struct {
        Shape shape;
        int32_t expected;
    } lookalikes[] = {
        {{"bow tie", VE_ENTITY_AREA, {{0, 0}, {100, 100}, {100, 0}, {0, 100}, {0, 0}}, ""},
         MOX_ENVSECT_UNDECIDED}, // a diagonal crosses the box
        {{"repeated corner", VE_ENTITY_AREA, {{0, 0}, {100, 0}, {100, 0}, {100, 100}, {0, 0}}, ""},
         MOX_ENVSECT_UNDECIDED}, // a triangle: its diagonal crosses the box
        {{"line round the box",
          VE_ENTITY_LINE,
          {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}},
          ""},
         MOX_ENVSECT_CANNOT_HOLD}, // no point of the line lies in the box
    };
    ENVELOPE box = {10, 30, 30, 50};
    for (const auto &l : lookalikes) {
        Spec spec(l.shape);
        EXPECT_EQ(MoxsEnvSect(&spec.spec, &box, SM_ET_OR_AI), l.expected) << l.shape.name;
    }
}

TEST(MoxRelation, PatternsMatchTheStoredMatrix)
{
    Spec spec(Fixture()[0]);
    const Shape &inside = Fixture()[14]; // area inside
    ASSERT_STREQ(inside.name, "area inside");
    FEATURE_STRUCT f = Record(inside);
    int32_t cell = 0;
    int32_t work = 0;
    ASSERT_EQ(MoxsSrchComp(&spec.spec, &f, SM_CBM, &cell, &work, 0), MOX_SUCCESS);
    ASSERT_NE(cell & MOX_RELATION_MATRIX, 0);
    EXPECT_EQ(work, 2);
    struct {
        const char *pattern;
        int32_t expected;
    } cases[] = {
        {"T*****FF*", 1}, // contains
        {"212FF1FF2", 1}, // the whole matrix
        {"212FF1***", 1},
        {"212FF1FF1", 0},
        {"FF*FF****", 0}, // disjoint
        {"T*F**F***", 0}, // within
        {"1********", 0},
        {"T*****FF", MOX_E_INVALID_RELATION},   // short
        {"T*****FF**", MOX_E_INVALID_RELATION}, // long
        {"t*****ff*", MOX_E_INVALID_RELATION},  // only upper case
        {"T*****FX*", MOX_E_INVALID_RELATION},
        {"", MOX_E_INVALID_RELATION},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MoxEvaluateRelation(VE_ENTITY_AREA, VE_ENTITY_AREA, cell, &work, c.pattern),
                  c.expected)
            << c.pattern;
    EXPECT_EQ(MoxEvaluateRelation(8, 8, cell, &work, nullptr), MOX_E_NULL_POINTER);
    // Cells that carry no matrix.
    for (int32_t bad : {0, VE_RELATION_BY_ENVELOPE, MOX_RELATION_TESTED | MOX_RELATION_HELD,
                        MOX_RELATION_MATRIX | 0x40000000})
        EXPECT_EQ(MoxEvaluateRelation(8, 8, bad, &work, "*********"), MOX_E_INVALID_RELATION)
            << bad;
}

TEST(MoxRelation, RefusesBadArgumentsAndShapes)
{
    Spec spec(Fixture()[0]);
    FEATURE_STRUCT f = Record(Fixture()[1]);
    int32_t cell = 0;
    int32_t work = 0;
    ENVELOPE box = {0, 0, 10, 10};
    for (int32_t method : {-1, SM_ENVP, SM_ENVP_BY_GRID, 14, 17}) {
        EXPECT_EQ(MoxsSrchComp(&spec.spec, &f, method, &cell, &work, 0), MOX_E_INVALID_RELATION);
        EXPECT_EQ(MoxsEnvSect(&spec.spec, &box, method), MOX_E_INVALID_RELATION);
    }
    EXPECT_EQ(MoxsSrchComp(nullptr, &f, SM_AI, &cell, &work, 0), MOX_E_NULL_POINTER);
    EXPECT_EQ(MoxsSrchComp(&spec.spec, nullptr, SM_AI, &cell, &work, 0), MOX_E_NULL_SHAPE);
    EXPECT_EQ(MoxsSrchComp(&spec.spec, &f, SM_AI, nullptr, &work, 0), MOX_E_NULL_POINTER);
    EXPECT_EQ(MoxsEnvSect(&spec.spec, nullptr, SM_AI), MOX_E_NULL_POINTER);

    VE_FEATURE_SPEC empty = {};
    EXPECT_EQ(MoxsEnvSect(&empty, &box, SM_AI), MOX_E_NULL_SHAPE);
    EXPECT_EQ(empty.prepared, nullptr);

    // A ring of two points has no area: refused, and nothing stays attached.
    Shape sliver = {"sliver", VE_ENTITY_AREA, {{0, 0}, {10, 10}, {0, 0}}, ""};
    FEATURE_STRUCT s = Record(sliver);
    VE_FEATURE_SPEC bad = {};
    bad.shape = &s;
    EXPECT_EQ(MoxsEnvSect(&bad, &box, SM_AI), MOX_E_INVALID_NUM_POINTS);
    EXPECT_EQ(bad.prepared, nullptr);
    EXPECT_EQ(MoxsSrchComp(&spec.spec, &s, SM_AI, &cell, &work, 0), MOX_E_INVALID_NUM_POINTS);

    // A record whose counted points are missing.
    FEATURE_STRUCT broken = {};
    broken.entity_type = VE_ENTITY_LINE;
    broken.num_points = 3;
    EXPECT_EQ(MoxsSrchComp(&spec.spec, &broken, SM_AI, &cell, &work, 0), MOX_E_INVALID_SHAPE);
}

TEST(MoxRelation, NilShapesHoldNothingAndPreparedDataIsReleased)
{
    FEATURE_STRUCT nil = {};
    Spec spec(Fixture()[0]);
    int32_t cell = 0;
    int32_t work = 0;
    for (int32_t method : kMethods)
        EXPECT_EQ(MoxsSrchComp(&spec.spec, &nil, method, &cell, &work, 1), MOX_RELATION_NOT_HELD)
            << method;
    EXPECT_EQ(MoxEvaluateRelation(8, 0, cell, &work, "FF*FF****"), 1);

    VE_FEATURE_SPEC nil_filter = {};
    nil_filter.shape = &nil;
    ENVELOPE box = {0, 0, 10, 10};
    EXPECT_EQ(MoxsEnvSect(&nil_filter, &box, SM_ET_OR_AI), MOX_ENVSECT_CANNOT_HOLD);
    ASSERT_NE(nil_filter.prepared, nullptr);
    MoxsFeatureSpecRelease(&nil_filter);
    EXPECT_EQ(nil_filter.prepared, nullptr);
    MoxsFeatureSpecRelease(&nil_filter); // a second release is harmless
    MoxsFeatureSpecRelease(nullptr);
}

// The spec's prepared data is one plain block: a host that frees it with free
// alone leaks nothing beyond the module's bounded cache (the sanitizer's leak
// check at exit sees the rest), and a filter whose cached geometry was pushed
// out by many others, or whose block was released, answers as before.
TEST(MoxRelation, PreparedDataIsOnePlainBlockOverABoundedCache)
{
    const Shape &filter = Fixture()[0];
    FEATURE_STRUCT inside = Record(Fixture()[1]);
    FEATURE_STRUCT outside = Record(Fixture()[5]);
    int32_t cell = 0;
    int32_t work = 0;
    Spec kept(filter);
    ASSERT_EQ(MoxsSrchComp(&kept.spec, &inside, SM_AI, &cell, &work, 0), MOX_SUCCESS);
    ASSERT_NE(kept.spec.prepared, nullptr);

    ENVELOPE box = {0, 0, 10, 10};
    for (int i = 0; i < 500; i++) {
        FEATURE_STRUCT shape = Record(Fixture()[i % 2 == 0 ? 0 : 16]);
        VE_FEATURE_SPEC spec = {};
        spec.shape = &shape;
        ASSERT_GE(MoxsEnvSect(&spec, &box, SM_AI), 0) << i;
        ASSERT_NE(spec.prepared, nullptr);
        free(spec.prepared); // what a host that knows only the C heap does
    }
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        EXPECT_EQ(MoxsSrchComp(&kept.spec, &inside, SM_AI, &cell, &work, 0), MOX_SUCCESS);
        EXPECT_EQ(MoxsSrchComp(&kept.spec, &outside, SM_AI, &cell, &work, 0),
                  MOX_RELATION_NOT_HELD);
        EXPECT_EQ(MoxsEnvSect(&kept.spec, &box, SM_AI), MOX_ENVSECT_UNDECIDED);
        // Released and used again: prepared anew under a new id.
        MoxsFeatureSpecRelease(&kept.spec);
        EXPECT_EQ(kept.spec.prepared, nullptr);
    }
}

// A line lying along a side of a rectangle filter is in its boundary, not its
// interior: the filter does not contain it, whether the line covers the whole
// side or part of it, and the envelope pre-test does not claim it either.
TEST(MoxRelation, RectangleDoesNotContainALineAlongASide)
{
    const Shape rectangle = {"rectangle",
                             VE_ENTITY_AREA,
                             {{0, 0}, {40, 0}, {40, 20}, {0, 20}, {0, 0}},
                             "POLYGON((0 0,40 0,40 20,0 20,0 0))"};
    struct Side {
        const char *name;
        std::vector<POINT> line;
    } sides[] = {
        {"bottom", {{0, 0}, {40, 0}}},         {"right", {{40, 0}, {40, 20}}},
        {"top", {{40, 20}, {0, 20}}},          {"left", {{0, 20}, {0, 0}}},
        {"part of bottom", {{5, 0}, {30, 0}}}, {"part of right", {{40, 15}, {40, 5}}},
        {"part of top", {{10, 20}, {35, 20}}}, {"part of left", {{0, 2}, {0, 18}}},
    };
    int32_t cell = 0;
    int32_t work = 0;
    for (const Side &side : sides) {
        SCOPED_TRACE(side.name);
        Spec spec(rectangle);
        Shape line = {side.name, VE_ENTITY_LINE, side.line, ""};
        FEATURE_STRUCT f = Record(line);
        for (int32_t method : {SM_SC, SM_SC_NO_ET}) {
            for (int32_t flag : {0, 1})
                EXPECT_EQ(MoxsSrchComp(&spec.spec, &f, method, &cell, &work, flag),
                          MOX_RELATION_NOT_HELD)
                    << method << " " << flag;
            EXPECT_NE(MoxsEnvSect(&spec.spec, &f.envelope, method), MOX_ENVSECT_HOLDS) << method;
        }
        // It meets the boundary only: it touches, with no common interior.
        EXPECT_EQ(MoxsSrchComp(&spec.spec, &f, SM_ET_OR_AI, &cell, &work, 0), MOX_SUCCESS);
        EXPECT_EQ(MoxsSrchComp(&spec.spec, &f, SM_AI, &cell, &work, 0), MOX_RELATION_NOT_HELD);
    }
    // Moved one unit inward, the same line is contained.
    Spec spec(rectangle);
    Shape inside = {"inside", VE_ENTITY_LINE, {{5, 1}, {30, 1}}, ""};
    FEATURE_STRUCT f = Record(inside);
    EXPECT_EQ(MoxsSrchComp(&spec.spec, &f, SM_SC, &cell, &work, 0), MOX_SUCCESS);
    EXPECT_EQ(MoxsSrchComp(&spec.spec, &f, SM_SC_NO_ET, &cell, &work, 1), MOX_SUCCESS);
}

uint64_t IdOf(const Spec &s)
{
    return static_cast<const mox_prepared_block *>(s.spec.prepared)->id;
}

// The cache of prepared filters keeps the most recently used ones: preparing
// one more than it holds drops the least recently used, which is prepared
// again when next used, under a new id, and answers as before. A filter still
// cached keeps its id when used, so the ids tell what the cache holds; using
// filters from the least to the most recently used keeps their order.
TEST(MoxRelation, PreparedCacheDropsTheLeastRecentlyUsedFilter)
{
    const int n = MOX_PREPARED_CACHE_SIZE + 1;
    // Square i spans [100 i, 100 i + 50] on both axes.
    std::vector<Shape> squares;
    for (int i = 0; i < n; i++) {
        int32_t lo = 100 * i;
        int32_t hi = lo + 50;
        squares.push_back(
            {"square", VE_ENTITY_AREA, {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}, {lo, lo}}, ""});
    }
    std::vector<std::unique_ptr<Spec>> specs;
    for (const Shape &s : squares)
        specs.push_back(std::make_unique<Spec>(s));
    int32_t cell = 0;
    int32_t work = 0;
    uint64_t newest = 0;
    // Uses filter i: it holds for a point inside square i and not for one in
    // square i + 1. Answers its id, which is new or the one it had.
    auto use = [&](int i) {
        SCOPED_TRACE(i);
        uint64_t before = specs[i]->spec.prepared ? IdOf(*specs[i]) : 0;
        Shape in = {"in", VE_ENTITY_POINT, {{100 * i + 25, 100 * i + 25}}, ""};
        Shape out = {"out", VE_ENTITY_POINT, {{100 * i + 125, 100 * i + 125}}, ""};
        FEATURE_STRUCT a = Record(in);
        FEATURE_STRUCT b = Record(out);
        EXPECT_EQ(MoxsSrchComp(&specs[i]->spec, &a, SM_SC, &cell, &work, 0), MOX_SUCCESS);
        EXPECT_EQ(MoxsSrchComp(&specs[i]->spec, &b, SM_SC, &cell, &work, 1), MOX_RELATION_NOT_HELD);
        uint64_t id = IdOf(*specs[i]);
        if (id != before) {
            EXPECT_GT(id, newest) << "an id is never handed out twice";
            newest = id;
        }
        return id != before;
    };
    auto kept = [&](std::vector<int> order) {
        for (int i : order)
            EXPECT_FALSE(use(i)) << "filter " << i << " was dropped";
    };

    std::vector<int> all;
    for (int i = 0; i < MOX_PREPARED_CACHE_SIZE; i++) {
        EXPECT_TRUE(use(i)) << i;
        all.push_back(i);
    }
    kept(all);            // the cache holds every one of them
    EXPECT_FALSE(use(0)); // filter 0 becomes the most recently used

    EXPECT_TRUE(use(n - 1)); // one more: filter 1 goes
    std::vector<int> rest(all.begin() + 2, all.end());
    rest.push_back(0);
    rest.push_back(n - 1);
    kept(rest);
    EXPECT_TRUE(use(1)); // prepared again under a new id; filter 2 goes
    EXPECT_TRUE(use(2)); // and then filter 3
    EXPECT_FALSE(use(1));
    EXPECT_FALSE(use(n - 1));

    // A released filter is prepared again under a new id.
    MoxsFeatureSpecRelease(&specs[5]->spec);
    EXPECT_TRUE(use(5));
}

} // namespace
