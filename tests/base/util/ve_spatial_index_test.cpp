// Spatial-index kinds: decoding and encoding of the grid triple, the checks of
// each kind, and kind 1 grid sizes against a coordinate reference.
#include "base/util/ve_spatial_index_internal.h"

#include <gtest/gtest.h>

#include <math.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

struct DecodeCase {
    double first, second, third;
    int32_t rc, kind;
    double grid1, grid2, grid3;
};

TEST(SpatialIndex, DecodeTable)
{
    const DecodeCase cases[] = {
        {10.0, 30.0, 90.0, 0, 1, 10.0, 30.0, 90.0},
        {0.5, 0.0, 0.0, 0, 1, 0.5, 0.0, 0.0},
        {0.0, 0.0, 0.0, 0, 0, 0.0, 0.0, 0.0},
        {0.0, 7.0, 8.0, 0, 0, 0.0, 0.0, 0.0}, // decoded; the layer check refuses it
        {-1.0, 7.0, 8.0, 0, -1, 0.0, 0.0, 0.0},
        {-2.0, 7.0, 8.0, 0, -2, 0.0, 0.0, 0.0},
        {-3.0, 7.0, 8.0, 0, -3, 7.0, 0.0, 0.0},
        {-4.0, 7.0, 8.0, 0, -4, 7.0, 8.0, 0.0},
        {-4.9, 7.0, 8.0, 0, -4, 7.0, 8.0, 0.0}, // truncated towards zero
        {-0.5, 7.0, 8.0, 0, 0, 0.0, 0.0, 0.0},
        {-5.0, 1.0, 1.0, ZE_INVALID_INDEX_TYPE, VE_SPIDX_INVALID, 0.0, 0.0, 0.0},
        {-1e300, 1.0, 1.0, ZE_INVALID_INDEX_TYPE, VE_SPIDX_INVALID, 0.0, 0.0, 0.0},
        {NAN, 1.0, 1.0, ZE_INVALID_INDEX_TYPE, VE_SPIDX_INVALID, 0.0, 0.0, 0.0},
    };
    for (const DecodeCase &c : cases) {
        int32_t kind = 99;
        double g1 = 9, g2 = 9, g3 = 9;
        EXPECT_EQ(ves_spatial_index_decode(c.first, c.second, c.third, &kind, &g1, &g2, &g3), c.rc)
            << c.first;
        EXPECT_EQ(kind, c.kind) << c.first;
        EXPECT_EQ(g1, c.grid1) << c.first;
        EXPECT_EQ(g2, c.grid2) << c.first;
        EXPECT_EQ(g3, c.grid3) << c.first;
        EXPECT_EQ(ves_spatial_index_kind(c.first), c.kind) << c.first;
    }
    int32_t kind;
    double g;
    EXPECT_EQ(ves_spatial_index_decode(1, 0, 0, nullptr, &g, &g, &g), ZE_NULL_POINTER);
    EXPECT_EQ(ves_spatial_index_decode(1, 0, 0, &kind, &g, nullptr, &g), ZE_NULL_POINTER);
}

TEST(SpatialIndex, EncodeIsTheInverseOfDecode)
{
    struct EncodeCase {
        int32_t kind;
        double p1, p2, p3;
        double first, second, third;
    } cases[] = {
        {1, 10, 30, 90, 10, 30, 90}, {0, 5, 5, 5, 0, 0, 0},   {-1, 5, 5, 5, -1, 0, 0},
        {-2, 5, 5, 5, -2, 0, 0},     {-3, 5, 6, 7, -3, 5, 0}, {-4, 5, 6, 7, -4, 5, 6},
    };
    for (const auto &c : cases) {
        double f = 9, s = 9, t = 9;
        ASSERT_EQ(ves_spatial_index_encode(c.kind, c.p1, c.p2, c.p3, &f, &s, &t), 0) << c.kind;
        EXPECT_EQ(f, c.first) << c.kind;
        EXPECT_EQ(s, c.second) << c.kind;
        EXPECT_EQ(t, c.third) << c.kind;
        int32_t kind;
        double g1, g2, g3;
        ASSERT_EQ(ves_spatial_index_decode(f, s, t, &kind, &g1, &g2, &g3), 0);
        EXPECT_EQ(kind, c.kind);
    }
    for (int32_t bad : {2, -5, 100}) {
        double f = 9, s = 9, t = 9;
        EXPECT_EQ(ves_spatial_index_encode(bad, 1, 2, 3, &f, &s, &t), ZE_INVALID_INDEX_TYPE) << bad;
        EXPECT_EQ(f + s + t, 0.0);
    }
    double f;
    EXPECT_EQ(ves_spatial_index_encode(1, 1, 2, 3, &f, nullptr, &f), ZE_NULL_POINTER);
}

TEST(SpatialIndex, CheckOfKindsWithoutGrid)
{
    struct CheckCase {
        int32_t kind;
        double g1, g2, g3;
        int32_t rc;
    } cases[] = {
        {0, 0, 0, 0, 0},
        {0, 0, 1, 0, ZE_INVALID_INDEX_PARAM},
        {0, 0, 0, -1, ZE_INVALID_INDEX_PARAM},
        {0, 1, 0, 0, ZE_INVALID_INDEX_PARAM},
        {-1, -9, -9, -9, 0},
        {-2, 5, 5, 5, 0},
        {-3, 0, -7, -7, 0},
        {-3, -1, 0, 0, ZE_INVALID_INDEX_PARAM},
        {-4, 5, 0, -9, 0},
        {-4, 5, -1, 0, ZE_INVALID_INDEX_PARAM},
        {-4, -1, 5, 0, ZE_INVALID_INDEX_PARAM},
        {2, 1, 1, 1, ZE_INVALID_INDEX_TYPE},
        {-5, 0, 0, 0, ZE_INVALID_INDEX_TYPE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ves_spatial_index_check(c.kind, c.g1, c.g2, c.g3, nullptr), c.rc)
            << c.kind << ": " << c.g1 << " " << c.g2 << " " << c.g3;
}

using CoordRefPtr = std::unique_ptr<COORDREF, decltype(&MoxCoordRefFree)>;

CoordRefPtr S_coordref(double xyunits)
{
    COORDREF *ref = nullptr;
    EXPECT_EQ(MoxCoordRefCreate(&ref), 0);
    if (ref != nullptr)
        ref->xyunits = xyunits;
    return CoordRefPtr(ref, MoxCoordRefFree);
}

TEST(SpatialIndex, GridSizesInSystemUnits)
{
    // 10 system units per coordinate unit: grid 100.0 is 1000 system units.
    CoordRefPtr ref = S_coordref(10.0);
    ASSERT_NE(ref, nullptr);
    struct GridCase {
        double g1, g2, g3;
        int32_t rc;
    } cases[] = {
        {100.0, 300.0, 0.0, 0},                    // 1000, 3000: exactly three times
        {100.0, 299.9, 0.0, ZE_INVALID_GRID_SIZE}, // 1000, 2999
        {10.0, 0.0, 0.0, ZE_INVALID_GRID_SIZE},    // 100 alone: below 256
        {25.6, 0.0, 0.0, 0},                       // 256: the least grid
        {100.0, 300.0, 900.0, 0},
        {100.0, 300.0, 899.9, ZE_INVALID_GRID_SIZE},
        {100.0, 0.0, 900.0, ZE_INVALID_GRID_SIZE}, // a third level needs a second
        {0.0, 0.0, 0.0, ZE_INVALID_GRID_SIZE},     // the first level must be given
        {1e12, 0.0, 0.0, ZE_INVALID_GRID_SIZE},    // beyond 32-bit system units
        {100.0, -300.0, 0.0, ZE_INVALID_GRID_SIZE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ves_spatial_index_check(1, c.g1, c.g2, c.g3, ref.get()), c.rc)
            << c.g1 << " " << c.g2 << " " << c.g3;
}

TEST(SpatialIndex, GridNeedsAnActiveReference)
{
    CoordRefPtr inactive = S_coordref(0.0);
    EXPECT_EQ(ves_spatial_index_check(1, 100.0, 0.0, 0.0, inactive.get()), ZE_INVALID_COORDREF);
    // Without a reference an empty one stands in, which is not active.
    EXPECT_EQ(ves_spatial_index_check(1, 100.0, 0.0, 0.0, nullptr), ZE_INVALID_COORDREF);
}

TEST(SpatialIndex, LayerVerification)
{
    CoordRefPtr ref = S_coordref(10.0);
    struct LayerCase {
        double first, second, third;
        int32_t validate, rc, kind;
    } cases[] = {
        {0, 0, 0, 1, 0, 0},
        {0, 5, 0, 1, ZE_INVALID_INDEX_PARAM, 0},
        {0, 5, 0, 0, 0, 0},
        {-4, 5, -1, 1, ZE_INVALID_INDEX_PARAM, -4},
        {-4, 5, -1, 0, 0, -4},
        {100, 300, 0, 1, 0, 1},
        {100, 299.9, 0, 1, ZE_INVALID_GRID_SIZE, 1},
        {100, 299.9, 0, 0, 0, 1},
        {-7, 0, 0, 1, ZE_INVALID_INDEX_TYPE, VE_SPIDX_INVALID},
    };
    for (const auto &c : cases) {
        LAYER layer{};
        layer.grid_size[0] = c.first;
        layer.grid_size[1] = c.second;
        layer.grid_size[2] = c.third;
        layer.coordref = ref.get();
        int32_t kind = 99;
        double g1, g2, g3;
        EXPECT_EQ(ves_layer_verify_spatial_index(&layer, &kind, &g1, &g2, &g3, c.validate), c.rc)
            << c.first << " " << c.second << " " << c.third << " validate " << c.validate;
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(ves_layer_spatial_index_kind(&layer), c.kind);
    }
    int32_t kind;
    double g;
    EXPECT_EQ(ves_layer_verify_spatial_index(nullptr, &kind, &g, &g, &g, 1), ZE_NULL_POINTER);
    EXPECT_EQ(ves_layer_spatial_index_kind(nullptr), VE_SPIDX_INVALID);
}

} // namespace
