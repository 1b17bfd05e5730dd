// Coordinate references: life and copies of the text, comparison, derived
// rounding values, and conversions to signed 32-bit system units, which must
// round-trip and refuse what does not fit instead of wrapping.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "mox/mox.h"

namespace
{

TEST(CoordRef, CreateIsEmptyAndInactive)
{
    COORDREF *ref = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&ref), MOX_SUCCESS);
    EXPECT_EQ(ref->srtext, nullptr);
    EXPECT_EQ(ref->xyunits, 0.0);
    EXPECT_EQ(ref->srid, 0);
    EXPECT_EQ(MoxsCoordRefIsActive(ref), 0);
    MoxCoordRefFree(ref);
    MoxCoordRefFree(nullptr);
    EXPECT_EQ(MoxCoordRefCreate(nullptr), MOX_E_NULL_POINTER);
}

TEST(CoordRef, FreeReleasesAnAttachedText)
{
    COORDREF *ref = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&ref), MOX_SUCCESS);
    ref->srtext = static_cast<char *>(calloc(1024, 1));
    strcpy(ref->srtext, "PROJCS[\"a\"]");
    MoxCoordRefFree(ref); // the leak checker fails the program if the text stays
}

TEST(CoordRef, DuplicateCopiesValuesAndText)
{
    COORDREF *src = nullptr;
    COORDREF *dst = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&src), MOX_SUCCESS);
    ASSERT_EQ(MoxCoordRefCreate(&dst), MOX_SUCCESS);
    src->falsex = 1;
    src->falsey = 2;
    src->xyunits = 1000;
    src->zunits = 10;
    src->munits = 5;
    src->srid = 12;
    src->srtext = strdup("a text longer than the destination's buffer");
    dst->srtext = strdup("short");
    ASSERT_EQ(MoxCoordRefDuplicate(src, dst), MOX_SUCCESS);
    EXPECT_STREQ(dst->srtext, src->srtext);
    EXPECT_NE(dst->srtext, src->srtext);
    EXPECT_EQ(dst->srid, 12);
    EXPECT_NE(MoxCoordRefIsEqual(src, dst), 0);

    // A source without text empties the destination's buffer and keeps it.
    free(src->srtext);
    src->srtext = nullptr;
    char *kept = dst->srtext;
    ASSERT_EQ(MoxCoordRefDuplicate(src, dst), MOX_SUCCESS);
    EXPECT_EQ(dst->srtext, kept);
    EXPECT_STREQ(dst->srtext, "");
    EXPECT_NE(MoxCoordRefIsEqual(src, dst), 0); // no text equals an empty one

    // A caller's fixed-size buffer keeps its size: it is read into whole.
    char *fixed = static_cast<char *>(calloc(1, 1024));
    free(dst->srtext);
    dst->srtext = fixed;
    src->srtext = strdup("GEOGCS");
    ASSERT_EQ(MoxCoordRefDuplicate(src, dst), MOX_SUCCESS);
    EXPECT_EQ(dst->srtext, fixed);
    EXPECT_STREQ(dst->srtext, "GEOGCS");
    memset(dst->srtext, 'x', 1023);

    EXPECT_EQ(MoxCoordRefDuplicate(src, src), MOX_SUCCESS);
    EXPECT_EQ(MoxCoordRefDuplicate(nullptr, dst), MOX_E_NULL_POINTER);
    EXPECT_EQ(MoxCoordRefDuplicate(src, nullptr), MOX_E_NULL_POINTER);
    MoxCoordRefFree(src);
    MoxCoordRefFree(dst);
}

TEST(CoordRef, EqualityLooksAtOriginsUnitsAndText)
{
    COORDREF base = {};
    base.falsex = -400;
    base.falsey = -400;
    base.xyunits = 1e6;
    base.falsez = 1;
    base.zunits = 2;
    base.falsem = 3;
    base.munits = 4;
    char text[] = "GEOGCS";
    base.srtext = text;
    base.srid = 1;

    struct {
        const char *name;
        void (*change)(COORDREF *);
        bool equal;
    } const cases[] = {
        {"same", [](COORDREF *) {}, true},
        {"srid", [](COORDREF *c) { c->srid = 99; }, true},
        {"derived rounding", [](COORDREF *c) { c->xy_rounding = 0.5; }, true},
        {"falsex", [](COORDREF *c) { c->falsex += 1; }, false},
        {"falsey", [](COORDREF *c) { c->falsey += 1; }, false},
        {"xyunits", [](COORDREF *c) { c->xyunits *= 2; }, false},
        {"falsez", [](COORDREF *c) { c->falsez = 0; }, false},
        {"zunits", [](COORDREF *c) { c->zunits = 0; }, false},
        {"falsem", [](COORDREF *c) { c->falsem = 0; }, false},
        {"munits", [](COORDREF *c) { c->munits = 0; }, false},
        {"text", [](COORDREF *c) { c->srtext = const_cast<char *>("PROJCS"); }, false},
        {"no text", [](COORDREF *c) { c->srtext = nullptr; }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        COORDREF other = base;
        c.change(&other);
        EXPECT_EQ(MoxCoordRefIsEqual(&base, &other) != 0, c.equal);
        EXPECT_EQ(MoxCoordRefIsEqual(&other, &base) != 0, c.equal);
    }
    EXPECT_NE(MoxCoordRefIsEqual(nullptr, nullptr), 0);
    EXPECT_EQ(MoxCoordRefIsEqual(&base, nullptr), 0);
}

TEST(CoordRef, ResetKeepsTheTextBuffer)
{
    COORDREF *ref = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&ref), MOX_SUCCESS);
    char *buffer = static_cast<char *>(calloc(1024, 1));
    strcpy(buffer, "old layer's text");
    ref->srtext = buffer;
    ref->xyunits = 10;
    ref->falsem = 3;
    ref->srid = 4;
    ASSERT_EQ(MoxsCoordRefReset(ref), MOX_SUCCESS);
    EXPECT_EQ(ref->srtext, buffer);
    EXPECT_STREQ(ref->srtext, "");
    EXPECT_EQ(ref->xyunits, 0.0);
    EXPECT_EQ(ref->falsem, 0.0);
    EXPECT_EQ(ref->srid, 0);
    strcpy(ref->srtext, "next layer's text"); // still usable
    ref->srtext = nullptr;                    // detached as the cache does
    free(buffer);
    MoxCoordRefFree(ref);
    EXPECT_EQ(MoxsCoordRefReset(nullptr), MOX_E_NULL_POINTER);
}

TEST(CoordRef, ActiveNeedsPositiveFiniteUnits)
{
    const struct {
        double units, falsex;
        bool active;
    } cases[] = {{1000, 0, true}, {1e-3, -1e6, true},   {0, 0, false},   {-5, 0, false},
                 {NAN, 0, false}, {INFINITY, 0, false}, {10, NAN, false}};
    for (const auto &c : cases) {
        COORDREF ref = {};
        ref.xyunits = c.units;
        ref.falsex = c.falsex;
        EXPECT_EQ(MoxsCoordRefIsActive(&ref) != 0, c.active) << c.units << " " << c.falsex;
    }
    EXPECT_EQ(MoxsCoordRefIsActive(nullptr), 0);
}

TEST(CoordRef, RoundingAndHalfUnit)
{
    double round = -1, half = -1;
    ASSERT_EQ(MoxsCalcCRound(1000.0, &round), MOX_SUCCESS);
    EXPECT_DOUBLE_EQ(round, 0.001);
    ASSERT_EQ(MoxsCalcHalfSU(round, &half), MOX_SUCCESS);
    EXPECT_DOUBLE_EQ(half, 0.0005);
    const double bad[] = {0.0, -1.0, NAN, INFINITY};
    for (double b : bad) {
        EXPECT_EQ(MoxsCalcCRound(b, &round), MOX_E_INVALID_ARGUMENT) << b;
        EXPECT_EQ(round, 0.0);
        EXPECT_EQ(MoxsCalcHalfSU(b, &half), MOX_E_INVALID_ARGUMENT) << b;
        EXPECT_EQ(half, 0.0);
    }
    EXPECT_EQ(MoxsCalcCRound(1.0, nullptr), MOX_E_NULL_POINTER);
    EXPECT_EQ(MoxsCalcHalfSU(1.0, nullptr), MOX_E_NULL_POINTER);
}

TEST(CoordRef, ValueToSystemRoundsAndRefusesWhatDoesNotFit)
{
    const struct {
        double origin, units, value;
        int32_t rc;
        int32_t result;
    } cases[] = {
        {0, 1000, 1.2344, MOX_SUCCESS, 1234},
        {0, 1000, 1.2346, MOX_SUCCESS, 1235},
        {0, 1000, -1.2346, MOX_SUCCESS, -1235},
        {-100, 10, -100, MOX_SUCCESS, 0},
        {0, 1, 0.5, MOX_SUCCESS, 1},
        {0, 1, 2147483647.0, MOX_SUCCESS, 2147483647},
        {0, 1, -2147483647.0, MOX_SUCCESS, -2147483647},
        {0, 1, 2147483646.6, MOX_SUCCESS, 2147483647},
        {0, 1, 2147483647.5, MOX_E_COORD_OUT_OF_RANGE, -7},
        {0, 1, 2147483648.0, MOX_E_COORD_OUT_OF_RANGE, -7},
        {0, 1, -2147483648.0, MOX_E_COORD_OUT_OF_RANGE, -7}, // no varLONG form
        {0, 1000, 3e6, MOX_E_COORD_OUT_OF_RANGE, -7},
        {0, 1000, -3e6, MOX_E_COORD_OUT_OF_RANGE, -7},
        {0, 1e300, 1e300, MOX_E_COORD_OUT_OF_RANGE, -7}, // overflows the double
        {0, 1, NAN, MOX_E_INVALID_ARGUMENT, -7},
        {0, 1, INFINITY, MOX_E_INVALID_ARGUMENT, -7},
        {0, 0, 1, MOX_E_COORDREF_INACTIVE, -7},
        {0, -1, 1, MOX_E_COORDREF_INACTIVE, -7},
        {NAN, 1, 1, MOX_E_COORDREF_INACTIVE, -7},
    };
    for (const auto &c : cases) {
        int32_t result = -7;
        EXPECT_EQ(MoxsValueToSystem(c.origin, c.units, c.value, &result), c.rc) << c.value;
        EXPECT_EQ(result, c.result) << c.value;
    }
    EXPECT_EQ(MoxsValueToSystem(0, 1, 1, nullptr), MOX_E_NULL_POINTER);
}

TEST(CoordRef, ConversionsRoundTrip)
{
    const double units[] = {1.0, 1000.0, 1e6, 0.25};
    const int32_t values[] = {0, 1, -1, 123456789, -2147483647, 2147483647};
    for (double u : units) {
        for (int32_t v : values) {
            double plane = 0;
            int32_t back = 0;
            ASSERT_EQ(MoxsValueToPlane(-500.5, u, v, &plane), MOX_SUCCESS);
            ASSERT_EQ(MoxsValueToSystem(-500.5, u, plane, &back), MOX_SUCCESS) << u << " " << v;
            EXPECT_EQ(back, v) << u;
        }
    }
    double plane = 0;
    EXPECT_EQ(MoxsValueToPlane(0, 1000, 2500, &plane), MOX_SUCCESS);
    EXPECT_DOUBLE_EQ(plane, 2.5);
    EXPECT_EQ(MoxsValueToPlane(0, 0, 1, &plane), MOX_E_COORDREF_INACTIVE);
    EXPECT_EQ(MoxsValueToPlane(0, 1, 1, nullptr), MOX_E_NULL_POINTER);
}

TEST(CoordRef, EnvelopeToSystemCoversThePlaneBox)
{
    COORDREF ref = {};
    ref.falsex = -100;
    ref.falsey = 50;
    ref.xyunits = 10;
    VE_ENVELOPE plane = {-99.95, 50.04, -90.01, 60.0};
    ENVELOPE sys = {};
    ASSERT_EQ(MoxsEnvelopeToSystem(&ref, &plane, &sys), MOX_SUCCESS);
    EXPECT_EQ(sys.minx, 0);   // 0.5 rounded down
    EXPECT_EQ(sys.miny, 0);   // 0.4 rounded down
    EXPECT_EQ(sys.maxx, 100); // 99.9 rounded up
    EXPECT_EQ(sys.maxy, 100);

    ENVELOPE untouched = {1, 2, 3, 4};
    VE_ENVELOPE wide = {0, 0, 1e9, 1};
    EXPECT_EQ(MoxsEnvelopeToSystem(&ref, &wide, &untouched), MOX_E_COORD_OUT_OF_RANGE);
    EXPECT_EQ(untouched.minx, 1);
    VE_ENVELOPE nan_box = {NAN, 0, 1, 1};
    EXPECT_EQ(MoxsEnvelopeToSystem(&ref, &nan_box, &untouched), MOX_E_INVALID_ARGUMENT);
    COORDREF empty = {};
    EXPECT_EQ(MoxsEnvelopeToSystem(&empty, &plane, &sys), MOX_E_COORDREF_INACTIVE);
    EXPECT_EQ(MoxsEnvelopeToSystem(nullptr, &plane, &sys), MOX_E_COORDREF_INACTIVE);
    EXPECT_EQ(MoxsEnvelopeToSystem(&ref, nullptr, &sys), MOX_E_NULL_POINTER);
}

TEST(CoordRef, PrinterGetters)
{
    COORDREF ref = {};
    double a = 0, b = 0, c = 0;
    EXPECT_EQ(MoxCoordRefGetXY(&ref, &a, &b, &c), MOX_E_COORDREF_INACTIVE);
    EXPECT_EQ(MoxCoordRefGetZ(&ref, &a, &b), MOX_E_COORDREF_INACTIVE);
    EXPECT_EQ(MoxCoordRefGetM(&ref, &a, &b), MOX_E_COORDREF_INACTIVE);
    ref.falsex = 1;
    ref.falsey = 2;
    ref.xyunits = 3;
    ref.falsez = 4;
    ref.zunits = 5;
    ref.falsem = 6;
    ref.munits = 7;
    ref.srid = 8;
    ASSERT_EQ(MoxCoordRefGetXY(&ref, &a, &b, &c), MOX_SUCCESS);
    EXPECT_EQ(a + b * 10 + c * 100, 321.0);
    ASSERT_EQ(MoxCoordRefGetZ(&ref, &a, &b), MOX_SUCCESS);
    EXPECT_EQ(a + b * 10, 54.0);
    ASSERT_EQ(MoxCoordRefGetM(&ref, &a, &b), MOX_SUCCESS);
    EXPECT_EQ(a + b * 10, 76.0);
    int32_t id = -1;
    ASSERT_EQ(MoxCoordRefGetSrId(&ref, &id), MOX_SUCCESS);
    EXPECT_EQ(id, 8);
    ASSERT_EQ(MoxCoordRefGetId(&ref, &id), MOX_SUCCESS);
    EXPECT_EQ(id, 0);

    char text[8];
    ASSERT_EQ(MoxCoordRefGetDescription(&ref, text, sizeof text), MOX_SUCCESS);
    EXPECT_STREQ(text, "UNKNOWN");
    char held[] = "GEOGCS[\"WGS 84\"]";
    ref.srtext = held;
    ASSERT_EQ(MoxCoordRefGetDescription(&ref, text, sizeof text), MOX_SUCCESS);
    EXPECT_STREQ(text, "GEOGCS["); // cut to the buffer
    EXPECT_EQ(MoxCoordRefGetDescription(&ref, text, 0), MOX_E_INVALID_ARGUMENT);
    EXPECT_EQ(MoxCoordRefGetDescription(nullptr, text, 8), MOX_E_NULL_POINTER);
    EXPECT_EQ(MoxCoordRefGetXY(nullptr, &a, &b, &c), MOX_E_COORDREF_INACTIVE);
    EXPECT_EQ(MoxCoordRefGetZ(nullptr, &a, &b), MOX_E_NULL_POINTER);
}

} // namespace
