// Shape life: arrays, create, duplicate, free, flags and the generated search
// shapes. Run under the sanitizers, a leak or double free fails the program.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include "mox/mox.h"

namespace
{

// A reference of 100 system units per coordinate unit, false origin (-50, 10).
COORDREF *make_ref(const char *text)
{
    COORDREF *ref = nullptr;
    EXPECT_EQ(MoxCoordRefCreate(&ref), MOX_SUCCESS);
    ref->falsex = -50.0;
    ref->falsey = 10.0;
    ref->xyunits = 100.0;
    ref->srid = 7;
    if (text != nullptr)
        ref->srtext = strdup(text);
    return ref;
}

TEST(Shape, AllocateGrowsKeepingPointsAndAddsArraysOnRequest)
{
    FEATURE_STRUCT shape = {};
    ASSERT_EQ(MoxsShapeAllocate(&shape, 2, 0, 0), MOX_SUCCESS);
    EXPECT_EQ(shape.num_points, 2);
    EXPECT_EQ(shape.allocated_points, 2);
    EXPECT_EQ(shape.z_values, nullptr);
    shape.points[0] = {1, 2};
    shape.points[1] = {3, 4};

    // Z asked later: made at the present room; measures not asked: still none.
    ASSERT_EQ(MoxsShapeAllocate(&shape, 1, 1, 0), MOX_SUCCESS);
    EXPECT_EQ(shape.num_points, 1);
    EXPECT_EQ(shape.allocated_points, 2);
    ASSERT_NE(shape.z_values, nullptr);
    EXPECT_EQ(shape.measures, nullptr);
    shape.z_values[1] = 9;

    // Growing without Z keeps the Z array and grows it with the points.
    ASSERT_EQ(MoxsShapeAllocate(&shape, 1000, 0, 1), MOX_SUCCESS);
    EXPECT_EQ(shape.allocated_points, 1000);
    EXPECT_EQ(shape.points[1].y, 4);
    EXPECT_EQ(shape.z_values[1], 9);
    shape.z_values[999] = 1; // in bounds for every array present
    shape.measures[999] = 1;
    shape.points[999] = {5, 5};

    EXPECT_EQ(MoxsShapeAllocate(&shape, -1, 0, 0), MOX_E_INVALID_NUM_POINTS);
    EXPECT_EQ(MoxsShapeAllocate(nullptr, 1, 0, 0), MOX_E_NULL_SHAPE);
    MoxShapeFree(&shape); // a caller's record: arrays released, record cleared
    EXPECT_EQ(shape.points, nullptr);
    EXPECT_EQ(shape.z_values, nullptr);
    EXPECT_EQ(shape.measures, nullptr);
    EXPECT_EQ(shape.allocated_points, 0);
    EXPECT_EQ(shape.num_points, 0);
}

TEST(Shape, CreateOwnsACopyOfTheReference)
{
    COORDREF *ref = make_ref("PROJCS[\"x\"]");
    FEATURE_STRUCT *shape = nullptr;
    ASSERT_EQ(MoxShapeCreate(ref, &shape), MOX_SUCCESS);
    ASSERT_NE(shape->coordref, nullptr);
    EXPECT_NE(shape->coordref, ref);
    EXPECT_NE(MoxCoordRefIsEqual(shape->coordref, ref), 0);
    EXPECT_NE(MoxShapeIsNil(shape), 0);
    MoxCoordRefFree(ref); // the shape's copy outlives the caller's
    EXPECT_STREQ(shape->coordref->srtext, "PROJCS[\"x\"]");
    MoxShapeFree(shape);

    ASSERT_EQ(MoxShapeCreate(nullptr, &shape), MOX_SUCCESS);
    EXPECT_EQ(shape->coordref, nullptr);
    MoxShapeFree(shape);
    MoxShapeFree(nullptr);
    EXPECT_EQ(MoxShapeCreate(nullptr, nullptr), MOX_E_NULL_POINTER);
}

// A three-point line with Z and measures and a reference, made by the module.
FEATURE_STRUCT *make_line(COORDREF *ref)
{
    FEATURE_STRUCT *shape = nullptr;
    EXPECT_EQ(MoxShapeCreate(ref, &shape), MOX_SUCCESS);
    EXPECT_EQ(MoxsShapeAllocate(shape, 3, 1, 1), MOX_SUCCESS);
    for (int i = 0; i < 3; i++) {
        shape->points[i] = {i * 10, i * 20};
        shape->z_values[i] = 100 + i;
        shape->measures[i] = 200 + i;
    }
    shape->entity_type = VE_ENTITY_LINE;
    shape->feature_id = 42;
    EXPECT_EQ(MoxsNvelop(shape), MOX_SUCCESS);
    EXPECT_EQ(MoxsShapeSetExtentFlag(shape, 1), MOX_SUCCESS);
    return shape;
}

TEST(Shape, DuplicateIsADeepCopy)
{
    COORDREF *ref = make_ref("GEOGCS[\"y\"]");
    FEATURE_STRUCT *source = make_line(ref);
    FEATURE_STRUCT *target = nullptr;
    ASSERT_EQ(MoxShapeCreate(nullptr, &target), MOX_SUCCESS);
    ASSERT_EQ(MoxShapeDuplicate(source, target), MOX_SUCCESS);

    EXPECT_EQ(target->num_points, 3);
    EXPECT_EQ(target->entity_type, VE_ENTITY_LINE);
    EXPECT_EQ(target->feature_id, 42);
    EXPECT_EQ(target->envelope.maxy, 40);
    EXPECT_NE(target->reserved1 & MOX_SHAPE_EXTENT_VALID, 0u);
    EXPECT_NE(target->points, source->points);
    EXPECT_NE(target->coordref, source->coordref);
    EXPECT_NE(MoxCoordRefIsEqual(target->coordref, ref), 0);

    // The copy does not follow later changes of the source, nor its release.
    source->points[2] = {-1, -1};
    source->z_values[2] = -1;
    MoxShapeFree(source);
    MoxCoordRefFree(ref);
    EXPECT_EQ(target->points[2].x, 20);
    EXPECT_EQ(target->z_values[2], 102);
    EXPECT_EQ(target->measures[2], 202);
    EXPECT_STREQ(target->coordref->srtext, "GEOGCS[\"y\"]");

    // Copying a 2D shape without reference over it drops Z, measures and reference.
    FEATURE_STRUCT *plain = nullptr;
    ASSERT_EQ(MoxShapeCreate(nullptr, &plain), MOX_SUCCESS);
    ASSERT_EQ(MoxsShapeAllocate(plain, 1, 0, 0), MOX_SUCCESS);
    plain->points[0] = {7, 8};
    plain->entity_type = VE_ENTITY_POINT;
    ASSERT_EQ(MoxShapeDuplicate(plain, target), MOX_SUCCESS);
    EXPECT_EQ(target->z_values, nullptr);
    EXPECT_EQ(target->measures, nullptr);
    EXPECT_EQ(target->coordref, nullptr);
    EXPECT_EQ(target->num_points, 1);
    EXPECT_EQ(target->points[0].y, 8);
    EXPECT_EQ(MoxShapeDuplicate(target, target), MOX_SUCCESS);
    MoxShapeFree(plain);
    MoxShapeFree(target);
}

TEST(Shape, DuplicateIntoACallersRecordSharesTheReference)
{
    COORDREF *ref = make_ref(nullptr);
    FEATURE_STRUCT *source = make_line(ref);
    FEATURE_STRUCT record = {};
    ASSERT_EQ(MoxShapeDuplicate(source, &record), MOX_SUCCESS);
    EXPECT_EQ(record.coordref, source->coordref);
    EXPECT_EQ(record.points[1].x, 10);
    MoxShapeFree(&record); // releases the arrays only: the reference is the source's
    EXPECT_EQ(record.coordref, source->coordref);
    MoxShapeFree(source);
    MoxCoordRefFree(ref);
}

TEST(Shape, DuplicateRefusesBrokenInput)
{
    FEATURE_STRUCT broken = {};
    broken.num_points = 2;
    FEATURE_STRUCT target = {};
    EXPECT_EQ(MoxShapeDuplicate(&broken, &target), MOX_E_INVALID_SHAPE);
    EXPECT_EQ(MoxShapeDuplicate(nullptr, &target), MOX_E_NULL_SHAPE);
    EXPECT_EQ(MoxShapeDuplicate(&target, nullptr), MOX_E_NULL_SHAPE);
}

TEST(Shape, GetCoordRefCopiesOrResets)
{
    COORDREF *ref = make_ref("T");
    FEATURE_STRUCT *with = nullptr;
    FEATURE_STRUCT *without = nullptr;
    ASSERT_EQ(MoxShapeCreate(ref, &with), MOX_SUCCESS);
    ASSERT_EQ(MoxShapeCreate(nullptr, &without), MOX_SUCCESS);
    COORDREF *a = nullptr;
    COORDREF *b = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&a), MOX_SUCCESS);
    ASSERT_EQ(MoxCoordRefCreate(&b), MOX_SUCCESS);
    ASSERT_EQ(MoxShapeGetCoordRef(with, a), MOX_SUCCESS);
    ASSERT_EQ(MoxShapeGetCoordRef(without, b), MOX_SUCCESS);
    EXPECT_NE(MoxCoordRefIsEqual(a, ref), 0);
    EXPECT_EQ(MoxCoordRefIsEqual(a, b), 0); // leader and placement would differ
    EXPECT_EQ(MoxShapeGetCoordRef(nullptr, a), MOX_E_NULL_SHAPE);
    EXPECT_EQ(MoxShapeGetCoordRef(with, nullptr), MOX_E_NULL_POINTER);
    MoxCoordRefFree(a);
    MoxCoordRefFree(b);
    MoxShapeFree(with);
    MoxShapeFree(without);
    MoxCoordRefFree(ref);
}

TEST(Shape, FlagsAndActivation)
{
    FEATURE_STRUCT shape = {};
    struct {
        int32_t (*set)(FEATURE_STRUCT *, int32_t);
        uint32_t bit;
    } const flags[] = {{MoxsShapeSetAreaFlag, MOX_SHAPE_AREA_VALID},
                       {MoxsShapeSetLengthFlag, MOX_SHAPE_LENGTH_VALID},
                       {MoxsShapeSetExtentFlag, MOX_SHAPE_EXTENT_VALID}};
    for (const auto &f : flags) {
        ASSERT_EQ(f.set(&shape, 1), MOX_SUCCESS);
        EXPECT_EQ(shape.reserved1, f.bit);
        ASSERT_EQ(f.set(&shape, 0), MOX_SUCCESS);
        EXPECT_EQ(shape.reserved1, 0u);
        EXPECT_EQ(f.set(nullptr, 1), MOX_E_NULL_SHAPE);
    }
    EXPECT_EQ(MoxsShapeSetActive(&shape), MOX_SUCCESS);
    EXPECT_EQ(MoxsShapeSetActive(nullptr), MOX_E_NULL_SHAPE);
}

struct GenCase {
    const char *name;
    int kind; // 0 point, 1 line, 2 rectangle
    double a, b, c, d;
    uint16_t entity;
    int32_t points;
    ENVELOPE envelope;
};

// Reference: s = (v - false origin) * 100, false origin (-50, 10).
const GenCase kGen[] = {
    {"point", 0, -49.5, 10.25, 0, 0, VE_ENTITY_POINT, 1, {50, 25, 50, 25}},
    {"vertical line", 1, 0.0, 10.0, 0.0, 12.0, VE_ENTITY_SIMPLE_LINE, 2, {5000, 0, 5000, 200}},
    {"rectangle", 2, -50.0, 10.0, -40.0, 15.0, VE_ENTITY_AREA, 5, {0, 0, 1000, 500}},
    {"rectangle given upside down",
     2,
     -40.0,
     15.0,
     -50.0,
     10.0,
     VE_ENTITY_AREA,
     5,
     {0, 0, 1000, 500}},
};

int32_t generate(FEATURE_STRUCT *shape, const GenCase &g)
{
    switch (g.kind) {
    case 0:
        return MoxShapeGeneratePoint(shape, g.a, g.b);
    case 1:
        return MoxShapeGenerateSimpleLine(shape, g.a, g.b, g.c, g.d);
    default:
        return MoxShapeGenerateRectangle(shape, g.a, g.b, g.c, g.d);
    }
}

TEST(Shape, GeneratedSearchShapes)
{
    COORDREF *ref = make_ref(nullptr);
    for (const GenCase &g : kGen) {
        SCOPED_TRACE(g.name);
        FEATURE_STRUCT shape = {};
        ASSERT_EQ(MoxsShapeInit(&shape, ref), MOX_SUCCESS);
        ASSERT_EQ(generate(&shape, g), MOX_SUCCESS);
        EXPECT_EQ(shape.entity_type, g.entity);
        EXPECT_EQ(shape.num_points, g.points);
        EXPECT_EQ(shape.envelope.minx, g.envelope.minx);
        EXPECT_EQ(shape.envelope.miny, g.envelope.miny);
        EXPECT_EQ(shape.envelope.maxx, g.envelope.maxx);
        EXPECT_EQ(shape.envelope.maxy, g.envelope.maxy);
        EXPECT_EQ(shape.coordref, ref);
        if (g.kind == 2) {
            EXPECT_DOUBLE_EQ(MoxsShapeArea(&shape), 50.0); // 10 x 5 plane units
            EXPECT_EQ(shape.points[0].x, shape.points[4].x);
            EXPECT_EQ(shape.points[0].y, shape.points[4].y);
        }
        MoxShapeFree(&shape); // arrays only; the reference stays the caller's
        EXPECT_EQ(shape.coordref, ref);
    }
    MoxCoordRefFree(ref);
}

TEST(Shape, GeneratorsRefuseWithoutUsableReferenceOrRange)
{
    FEATURE_STRUCT shape = {};
    EXPECT_EQ(MoxShapeGeneratePoint(&shape, 1, 1), MOX_E_COORDREF_INACTIVE);
    EXPECT_EQ(MoxShapeGeneratePoint(nullptr, 1, 1), MOX_E_NULL_SHAPE);
    COORDREF *empty = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&empty), MOX_SUCCESS);
    ASSERT_EQ(MoxsShapeInit(&shape, empty), MOX_SUCCESS);
    EXPECT_EQ(MoxShapeGenerateRectangle(&shape, 0, 0, 1, 1), MOX_E_COORDREF_INACTIVE);
    MoxCoordRefFree(empty);

    COORDREF *ref = make_ref(nullptr);
    ASSERT_EQ(MoxsShapeInit(&shape, ref), MOX_SUCCESS);
    ASSERT_EQ(MoxShapeGeneratePoint(&shape, 0, 10), MOX_SUCCESS);
    // 3e7 coordinate units are 3e9 system units: refused, the point stays.
    EXPECT_EQ(MoxShapeGenerateSimpleLine(&shape, 0, 10, 3e7, 10), MOX_E_COORD_OUT_OF_RANGE);
    EXPECT_EQ(shape.entity_type, VE_ENTITY_POINT);
    EXPECT_EQ(shape.num_points, 1);
    EXPECT_EQ(shape.points[0].x, 5000);
    MoxShapeFree(&shape);
    MoxCoordRefFree(ref);
}

} // namespace
