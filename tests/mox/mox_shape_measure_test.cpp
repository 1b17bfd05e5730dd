// Envelope, area, length and parts of shapes, checked against GEOS on the
// same geometry: each case is WKT that is both measured by GEOS and written
// into a point list by the part and ring rule of the module's header.
#include <geos_c.h>
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <vector>

#include "mox/mox.h"

namespace
{

struct Geos {
    GEOSContextHandle_t h = GEOS_init_r();
    ~Geos()
    {
        GEOS_finish_r(h);
    }
};

void append_seq(GEOSContextHandle_t h, const GEOSCoordSequence *seq, bool reverse,
                std::vector<POINT> &out)
{
    unsigned n = 0;
    GEOSCoordSeq_getSize_r(h, seq, &n);
    for (unsigned k = 0; k < n; k++) {
        double x = 0, y = 0;
        GEOSCoordSeq_getXY_r(h, seq, reverse ? n - 1 - k : k, &x, &y);
        out.push_back(POINT{(int32_t)x, (int32_t)y});
    }
}

// Outer rings counter-clockwise, holes clockwise, as the multi-area rule reads them.
void append_polygon(GEOSContextHandle_t h, const GEOSGeometry *poly, std::vector<POINT> &out)
{
    int rings = GEOSGetNumInteriorRings_r(h, poly);
    for (int r = -1; r < rings; r++) {
        const GEOSGeometry *ring =
            r < 0 ? GEOSGetExteriorRing_r(h, poly) : GEOSGetInteriorRingN_r(h, poly, r);
        const GEOSCoordSequence *seq = GEOSGeom_getCoordSeq_r(h, ring);
        char ccw = 0;
        GEOSCoordSeq_isCCW_r(h, seq, &ccw);
        append_seq(h, seq, (r < 0) != (ccw != 0), out);
    }
}

// The point list of a geometry by the module's rule.
std::vector<POINT> encode(GEOSContextHandle_t h, const GEOSGeometry *g)
{
    std::vector<POINT> out;
    switch (GEOSGeomTypeId_r(h, g)) {
    case GEOS_POINT:
    case GEOS_LINESTRING:
        append_seq(h, GEOSGeom_getCoordSeq_r(h, g), false, out);
        break;
    case GEOS_MULTIPOINT:
        for (int i = 0; i < GEOSGetNumGeometries_r(h, g); i++)
            append_seq(h, GEOSGeom_getCoordSeq_r(h, GEOSGetGeometryN_r(h, g, i)), false, out);
        break;
    case GEOS_MULTILINESTRING:
        for (int i = 0; i < GEOSGetNumGeometries_r(h, g); i++) {
            if (i > 0)
                out.push_back(out.back()); // the repeated point closes the part
            append_seq(h, GEOSGeom_getCoordSeq_r(h, GEOSGetGeometryN_r(h, g, i)), false, out);
        }
        break;
    case GEOS_POLYGON:
        append_polygon(h, g, out);
        break;
    case GEOS_MULTIPOLYGON:
        for (int i = 0; i < GEOSGetNumGeometries_r(h, g); i++)
            append_polygon(h, GEOSGetGeometryN_r(h, g, i), out);
        break;
    default:
        ADD_FAILURE() << "unexpected geometry type";
    }
    return out;
}

struct Case {
    const char *name;
    uint16_t entity;
    const char *wkt;
};

const Case kCases[] = {
    {"point", VE_ENTITY_POINT, "POINT (5 7)"},
    {"multi point", VE_ENTITY_MULTI_POINT, "MULTIPOINT ((0 0), (10 5), (-3 4))"},
    {"line", VE_ENTITY_LINE, "LINESTRING (0 0, 3 4, 3 10)"},
    {"simple line", VE_ENTITY_SIMPLE_LINE, "LINESTRING (-5 -5, 7 0)"},
    {"closed line is one part", VE_ENTITY_LINE, "LINESTRING (0 0, 10 0, 10 10, 0 0)"},
    {"multi line", VE_ENTITY_MULTI_LINE, "MULTILINESTRING ((0 0, 3 4), (10 10, 10 20, 20 20))"},
    {"multi line, touching parts", VE_ENTITY_MULTI_SIMPLE_LINE,
     "MULTILINESTRING ((0 0, 3 4), (3 4, 3 10), (3 10, 0 0))"},
    {"area with a hole", VE_ENTITY_AREA,
     "POLYGON ((0 0, 100 0, 100 100, 0 100, 0 0), (10 10, 10 20, 20 20, 20 10, 10 10))"},
    {"area written clockwise, two holes", VE_ENTITY_AREA,
     "POLYGON ((0 0, 0 100, 100 100, 100 0, 0 0), (10 10, 20 10, 20 20, 10 20, 10 10),"
     " (50 50, 50 70, 60 70, 60 50, 50 50))"},
    {"multi area with holes", VE_ENTITY_MULTI_AREA,
     "MULTIPOLYGON (((0 0, 100 0, 100 100, 0 100, 0 0), (10 10, 10 20, 20 20, 20 10, 10 10)),"
     " ((200 0, 300 0, 300 50, 200 50, 200 0)),"
     " ((400 0, 500 0, 450 90, 400 0), (440 10, 450 30, 460 10, 440 10)))"},
    {"island inside a lake", VE_ENTITY_MULTI_AREA,
     "MULTIPOLYGON (((0 0, 100 0, 100 100, 0 100, 0 0), (10 10, 10 90, 90 90, 90 10, 10 10)),"
     " ((20 20, 80 20, 80 80, 20 80, 20 20)))"},
    {"area near the system-unit limits", VE_ENTITY_AREA,
     "POLYGON ((-2147483647 -2147483647, 2147483647 -2147483647, 2147483647 2147483647,"
     " -2147483647 2147483647, -2147483647 -2147483647))"},
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class ShapeMeasure : public ::testing::TestWithParam<Case>
{
};

double rel_near(double expected)
{
    return fabs(expected) * 1e-12 + 1e-9;
}

TEST_P(ShapeMeasure, MatchesGeos)
{
    const Case &c = GetParam();
    Geos geos;
    GEOSGeometry *g = GEOSGeomFromWKT_r(geos.h, c.wkt);
    ASSERT_NE(g, nullptr);
    std::vector<POINT> points = encode(geos.h, g);

    double area = 0, length = 0, xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    GEOSArea_r(geos.h, g, &area);
    GEOSLength_r(geos.h, g, &length);
    GEOSGeom_getXMin_r(geos.h, g, &xmin);
    GEOSGeom_getYMin_r(geos.h, g, &ymin);
    GEOSGeom_getXMax_r(geos.h, g, &xmax);
    GEOSGeom_getYMax_r(geos.h, g, &ymax);
    int parts = GEOSGetNumGeometries_r(geos.h, g);

    FEATURE_STRUCT shape = {};
    shape.entity_type = c.entity;
    shape.num_points = (int32_t)points.size();
    shape.points = points.data();

    ASSERT_EQ(MoxsNvelop(&shape), MOX_SUCCESS);
    EXPECT_EQ(shape.envelope.minx, (int32_t)xmin);
    EXPECT_EQ(shape.envelope.miny, (int32_t)ymin);
    EXPECT_EQ(shape.envelope.maxx, (int32_t)xmax);
    EXPECT_EQ(shape.envelope.maxy, (int32_t)ymax);
    EXPECT_NEAR(MoxsShapeArea(&shape), area, rel_near(area));
    EXPECT_NEAR(MoxsShapeLength(&shape), length, rel_near(length));
    int32_t mox_parts = -1;
    ASSERT_EQ(MoxShapeGetNumParts(&shape, &mox_parts), MOX_SUCCESS);
    EXPECT_EQ(mox_parts, parts);

    // The same shape under a reference of 4 system units per coordinate unit
    // and a false origin: area and length shrink, the extent moves.
    COORDREF ref = {};
    ref.falsex = -1000.0;
    ref.falsey = 500.0;
    ref.xyunits = 4.0;
    shape.coordref = &ref;
    EXPECT_NEAR(MoxsShapeArea(&shape), area / 16.0, rel_near(area));
    EXPECT_NEAR(MoxsShapeLength(&shape), length / 4.0, rel_near(length));
    VE_ENVELOPE extent = {};
    ASSERT_EQ(MoxShapeGetExtent(&shape, &extent), MOX_SUCCESS);
    EXPECT_DOUBLE_EQ(extent.minx, xmin / 4.0 - 1000.0);
    EXPECT_DOUBLE_EQ(extent.maxy, ymax / 4.0 + 500.0);
    GEOSGeom_destroy_r(geos.h, g);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ShapeMeasure, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             std::string name;
                             for (const char *p = info.param.name; *p; p++)
                                 name += isalnum((unsigned char)*p) ? *p : '_';
                             return name;
                         });

FEATURE_STRUCT shape_of(uint16_t entity, std::vector<POINT> &points)
{
    FEATURE_STRUCT shape = {};
    shape.entity_type = entity;
    shape.num_points = (int32_t)points.size();
    shape.points = points.data();
    return shape;
}

TEST(ShapeMeasure, RingsCloseImplicitly)
{
    std::vector<POINT> open = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    std::vector<POINT> closed = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    FEATURE_STRUCT a = shape_of(VE_ENTITY_AREA, open);
    FEATURE_STRUCT b = shape_of(VE_ENTITY_AREA, closed);
    EXPECT_DOUBLE_EQ(MoxsShapeArea(&a), 100.0);
    EXPECT_DOUBLE_EQ(MoxsShapeLength(&a), 40.0);
    EXPECT_DOUBLE_EQ(MoxsShapeArea(&b), 100.0);
    EXPECT_DOUBLE_EQ(MoxsShapeLength(&b), 40.0);
}

TEST(ShapeMeasure, PartOffsetsAndPlanePoints)
{
    // Parts A-B and C-D-E: A B B C D E.
    std::vector<POINT> pts = {{0, 0}, {4, 0}, {4, 0}, {8, 8}, {8, 12}, {12, 12}};
    std::vector<int32_t> z = {1, 2, 2, 3, 4, 5};
    FEATURE_STRUCT shape = shape_of(VE_ENTITY_MULTI_LINE, pts);
    shape.z_values = z.data();
    COORDREF ref = {};
    ref.xyunits = 2.0;
    ref.falsex = 100.0;
    ref.zunits = 10.0;
    ref.falsez = -1.0;
    shape.coordref = &ref;

    int32_t parts = 0;
    ASSERT_EQ(MoxShapeGetNumParts(&shape, &parts), MOX_SUCCESS);
    ASSERT_EQ(parts, 2);
    int32_t offsets[2] = {-1, -1};
    double xy[12], zs[6];
    ASSERT_EQ(MoxShapeGetAllPoints(&shape, offsets, xy, zs, nullptr), MOX_SUCCESS);
    EXPECT_EQ(offsets[0], 0);
    EXPECT_EQ(offsets[1], 3);
    EXPECT_DOUBLE_EQ(xy[6], 104.0);
    EXPECT_DOUBLE_EQ(xy[7], 4.0);
    EXPECT_DOUBLE_EQ(zs[5], -0.5);
    double lo = 0, hi = 0;
    ASSERT_EQ(MoxShapeGetZRange(&shape, &lo, &hi), MOX_SUCCESS);
    EXPECT_DOUBLE_EQ(lo, -0.9);
    EXPECT_DOUBLE_EQ(hi, -0.5);
    EXPECT_EQ(MoxShapeGetMRange(&shape, &lo, &hi), MOX_E_INVALID_SHAPE);
    double length = 0;
    ASSERT_EQ(MoxShapeGetLength(&shape, &length), MOX_SUCCESS);
    EXPECT_DOUBLE_EQ(length, (4.0 + 4.0 + 4.0) / 2.0);
}

TEST(ShapeMeasure, EmptyAndBrokenShapes)
{
    FEATURE_STRUCT empty = {};
    empty.entity_type = VE_ENTITY_AREA;
    ASSERT_EQ(MoxsNvelop(&empty), MOX_SUCCESS);
    EXPECT_GT(empty.envelope.minx, empty.envelope.maxx); // the empty envelope
    EXPECT_GT(empty.envelope.miny, empty.envelope.maxy);
    EXPECT_EQ(MoxsShapeArea(&empty), 0.0);
    EXPECT_NE(MoxShapeIsNil(&empty), 0);

    FEATURE_STRUCT broken = {};
    broken.entity_type = VE_ENTITY_LINE;
    broken.num_points = 3; // counted, but no array
    EXPECT_EQ(MoxsNvelop(&broken), MOX_E_INVALID_SHAPE);
    EXPECT_EQ(MoxsShapeLength(&broken), 0.0);
    broken.num_points = -1;
    EXPECT_EQ(MoxsNvelop(&broken), MOX_E_INVALID_SHAPE);
    EXPECT_EQ(MoxsNvelop(nullptr), MOX_E_NULL_SHAPE);
    EXPECT_EQ(MoxsShapeArea(nullptr), 0.0);

    std::vector<POINT> pts = {{1, 1}, {5, 1}, {5, 5}};
    FEATURE_STRUCT unknown = shape_of(77, pts);
    EXPECT_EQ(MoxsShapeArea(&unknown), 0.0);
    EXPECT_EQ(MoxsShapeLength(&unknown), 0.0);
    int32_t parts = -1;
    ASSERT_EQ(MoxShapeGetNumParts(&unknown, &parts), MOX_SUCCESS);
    EXPECT_EQ(parts, 0);
}

} // namespace
