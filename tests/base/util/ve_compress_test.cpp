// Compressed features: the published byte forms, round trips over every mix
// of Z values, measures, annotation and CAD data, the parts the format leaves
// out, sizing, the locators, and refusal of corrupt or truncated bytes.
#include "base/util/ve_compress.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "base/util/ve_anno.h"
#include "base/util/ve_varlong_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

using Bytes = std::vector<uint8_t>;

constexpr int32_t kAllParts =
    VE_SHAPE_MASK_Z | VE_SHAPE_MASK_M | VE_SHAPE_MASK_ANNO | VE_SHAPE_MASK_CAD;

struct FeatureFree {
    void operator()(FEATURE_STRUCT *f) const
    {
        VES_comp_feature_free(f);
        delete f;
    }
};
using Feature = std::unique_ptr<FEATURE_STRUCT, FeatureFree>;

template <typename T> T *HeapCopy(const std::vector<T> &values)
{
    if (values.empty())
        return nullptr;
    auto *copy = static_cast<T *>(std::malloc(values.size() * sizeof(T)));
    std::memcpy(copy, values.data(), values.size() * sizeof(T));
    return copy;
}

Feature MakeFeature(const std::vector<POINT> &points, const std::vector<int32_t> &z = {},
                    const std::vector<int32_t> &m = {})
{
    Feature f(new FEATURE_STRUCT{});
    f->entity_type = VE_ENTITY_LINE;
    f->num_points = static_cast<int32_t>(points.size());
    f->allocated_points = f->num_points;
    f->points = HeapCopy(points);
    f->z_values = HeapCopy(z);
    f->measures = HeapCopy(m);
    return f;
}

void SetCad(FEATURE_STRUCT *f, const Bytes &bytes)
{
    f->cad = static_cast<VE_CAD *>(std::calloc(1, sizeof(VE_CAD)));
    f->cad->byte_count = static_cast<int32_t>(bytes.size());
    f->cad->capacity = f->cad->byte_count;
    f->cad->data = HeapCopy(bytes);
}

// An annotation shape from the geometry module, so the annotation frees it.
FEATURE_STRUCT *MakeShape(uint16_t entity, const std::vector<POINT> &points,
                          const std::vector<int32_t> &z = {}, const std::vector<int32_t> &m = {})
{
    FEATURE_STRUCT *shape = nullptr;
    EXPECT_EQ(MoxShapeCreate(nullptr, &shape), 0);
    auto n = static_cast<int32_t>(points.size());
    EXPECT_EQ(MoxsShapeAllocate(shape, n, !z.empty(), !m.empty()), 0);
    shape->entity_type = entity;
    std::copy(points.begin(), points.end(), shape->points);
    std::copy(z.begin(), z.end(), shape->z_values);
    std::copy(m.begin(), m.end(), shape->measures);
    return shape;
}

Bytes Compressed(const FEATURE_STRUCT *f)
{
    int32_t size = VES_get_compressed_buffer_size(f);
    EXPECT_GE(size, VE_COMP_HEADER_BYTES);
    if (size < VE_COMP_HEADER_BYTES)
        return {};
    return Bytes(f->compressed, f->compressed + size);
}

// A feature that holds exactly the given bytes (so the sanitizer sees any
// read past them), ready to be uncompressed for n points.
Feature Received(const Bytes &bytes, int32_t n)
{
    Feature f(new FEATURE_STRUCT{});
    f->num_points = n;
    f->compressed = static_cast<uint8_t *>(std::malloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty())
        std::memcpy(f->compressed, bytes.data(), bytes.size());
    f->compressed_capacity = static_cast<int32_t>(bytes.size());
    return f;
}

void GiveBuffer(FEATURE_STRUCT *f, int32_t capacity)
{
    f->compressed = static_cast<uint8_t *>(std::calloc(1, static_cast<size_t>(capacity)));
    f->compressed_capacity = capacity;
}

// A whole buffer around a body: the length varLONG, flags and sub-flags.
Bytes WithHeader(const Bytes &body, uint8_t flags, uint8_t subflags = 0)
{
    Bytes out(VE_COMP_HEADER_BYTES, 0);
    ves_varlong_encode(static_cast<int32_t>(body.size()), out.data(), out.data() + 5);
    out[5] = flags;
    out[6] = subflags;
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

void Append(Bytes &out, const Bytes &more)
{
    out.insert(out.end(), more.begin(), more.end());
}

TEST(CompressedFeature, TwoPointExampleByteForByte)
{
    Feature f = MakeFeature({{1000, 2000}, {1010, 1990}});
    ASSERT_EQ(VES_comp_feature_alloc(f.get(), 2, 0, 0), ZE_SUCCESS);
    ASSERT_EQ(VES_feature_compress(f.get(), 0), ZE_SUCCESS);
    EXPECT_EQ(Compressed(f.get()),
              (Bytes{0x06, 0, 0, 0, 0, 0, 0, 0, 0xA8, 0x0F, 0x90, 0x1F, 0x0A, 0x4A}));
    EXPECT_EQ(VES_get_compressed_buffer_size(f.get()), 14);
}

TEST(CompressedFeature, EmptyFeatureIsTheHeaderAlone)
{
    Feature f = MakeFeature({});
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);
    EXPECT_EQ(Compressed(f.get()), Bytes(8, 0));
}

TEST(CompressedFeature, ZAndMeasuresByteForByte)
{
    Feature f = MakeFeature({{1000, 2000}, {1010, 1990}}, {5, 3}, {-1, 100});
    ASSERT_EQ(VES_feature_compress(f.get(), VE_SHAPE_MASK_Z | VE_SHAPE_MASK_M), ZE_SUCCESS);
    EXPECT_EQ(Compressed(f.get()), WithHeader({0xA8, 0x0F, 0x90, 0x1F, 0x0A, 0x4A, // XY
                                               0x05, 0x42,                         // Z 5, -2
                                               0x41, 0xA5, 0x01},                  // M -1, 101
                                              VE_COMP_FLAG_Z | VE_COMP_FLAG_M));
}

TEST(CompressedFeature, CadBlockByteForByte)
{
    Feature f = MakeFeature({{1, 1}});
    SetCad(f.get(), {0xDE, 0xAD, 0xBE, 0xEF});
    ASSERT_EQ(VES_feature_compress(f.get(), VE_SHAPE_MASK_CAD), ZE_SUCCESS);
    EXPECT_EQ(Compressed(f.get()),
              WithHeader({0x01, 0x01, 0x04, 0xDE, 0xAD, 0xBE, 0xEF}, VE_COMP_FLAG_CAD));
}

TEST(CompressedFeature, AnnotationBlockByteForByte)
{
    Feature f = MakeFeature({{0, 0}});
    ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
    VE_ANNO *a = f->anno;
    a->long1 = 1;
    a->long2 = 2; // long3 starts at 7
    a->doubles[0] = 1.5;
    a->doubles[3] = -2.0;
    ASSERT_EQ(VES_anno_alignment_alloc(&a->alignment), ZE_SUCCESS);
    a->alignment->long1 = 0x01020304;
    a->alignment->long2 = -1;
    a->alignment->values1[0] = 0x0102;
    a->alignment->values2[19] = -2;
    a->alignment->double1 = 1.0;
    a->leader = MakeShape(VE_ENTITY_SIMPLE_LINE, {{5, 5}, {6, 4}});
    ASSERT_EQ(VES_feature_compress(f.get(), VE_SHAPE_MASK_ANNO), ZE_SUCCESS);

    Bytes alignment(104, 0);
    const uint8_t head[] = {0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x01};
    std::memcpy(alignment.data(), head, sizeof head);
    alignment[8 + 40 + 38] = 0xFE; // values2[19] = -2, little-endian
    alignment[8 + 40 + 39] = 0xFF;
    alignment[8 + 80 + 6] = 0xF0; // double1 = 1.0
    alignment[8 + 80 + 7] = 0x3F;

    Bytes body = {0x00, 0x00, 0x01, 0x02, 0x07, 0x01};
    Append(body, alignment);
    Append(body, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}); // 1.5
    Append(body, Bytes(16, 0));
    Append(body, {0, 0, 0, 0, 0, 0, 0, 0xC0}); // -2.0
    Append(body, {0x04, 0x02, 0x05, 0x05, 0x01, 0x41});
    Bytes expected = WithHeader(body, VE_COMP_FLAG_ANNO, VE_ANNO_SUB_LEADER);
    EXPECT_EQ(Compressed(f.get()), expected);
    EXPECT_EQ(expected[0], 0x94); // 148 bytes after the header
    EXPECT_EQ(expected[1], 0x02);
}

TEST(CompressedFeature, CompressLeavesTheCallersArraysAlone)
{
    Feature f = MakeFeature({{10, 20}, {15, 25}, {-5, 0}}, {1, 2, 3}, {7, 8, 9});
    ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
    f->anno->placement = MakeShape(VE_ENTITY_POINT, {{100, 200}, {300, 400}}, {4, 5});
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);
    Bytes first = Compressed(f.get());
    EXPECT_EQ(f->points[2].x, -5);
    EXPECT_EQ(f->z_values[2], 3);
    EXPECT_EQ(f->measures[2], 9);
    EXPECT_EQ(f->anno->placement->points[1].y, 400);
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);
    EXPECT_EQ(Compressed(f.get()), first) << "a second compress must write the same bytes";
}

TEST(CompressedFeature, RoundTripsEveryMixOfParts)
{
    const std::vector<POINT> points = {{0, 0},
                                       {INT32_MAX, -INT32_MAX},
                                       {-INT32_MAX, INT32_MAX},
                                       {-2000000000, 2000000000},
                                       {2000000000, -2000000000},
                                       {63, -64},
                                       {64, 8192}};
    const std::vector<int32_t> z = {0, -1, INT32_MAX - 1, -INT32_MAX, 12, 13, 14};
    const std::vector<int32_t> m = {-1, -1, 5, 1048576, -134217728, 0, 99};
    const Bytes cad = {1, 2, 3, 0, 255};
    for (int parts = 0; parts < 16; parts++) {
        const bool with_z = parts & 1, with_m = parts & 2, with_anno = parts & 4,
                   with_cad = parts & 8;
        SCOPED_TRACE(testing::Message() << "Z " << with_z << " M " << with_m << " anno "
                                        << with_anno << " CAD " << with_cad);
        Feature f = MakeFeature(points, with_z ? z : std::vector<int32_t>{},
                                with_m ? m : std::vector<int32_t>{});
        if (with_anno) {
            ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
            f->anno->long1 = -77;
            f->anno->doubles[2] = 3.25;
            ASSERT_EQ(VES_anno_alignment_alloc(&f->anno->alignment), ZE_SUCCESS);
            f->anno->alignment->values2[3] = -300;
            f->anno->alignment->double2 = -0.5;
            f->anno->leader = MakeShape(VE_ENTITY_LINE, {{1, 2}, {-3, 4}, {5, -6}}, {}, {9, 8, 7});
            f->anno->placement = MakeShape(VE_ENTITY_POINT, {{INT32_MAX, 0}}, {-5});
        }
        if (with_cad)
            SetCad(f.get(), cad);
        ASSERT_EQ(VES_comp_feature_alloc(f.get(), f->num_points, kAllParts, 0), ZE_SUCCESS);
        ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);
        EXPECT_EQ(VES_comp_feature_has_3D(f.get()), with_z ? 1 : 0);
        EXPECT_EQ(VES_comp_feature_has_measure(f.get()), with_m ? 1 : 0);
        EXPECT_EQ(VES_comp_feature_has_anno(f.get()), with_anno ? 1 : 0);
        EXPECT_EQ(VES_comp_feature_has_cad(f.get()), with_cad ? 1 : 0);

        Feature g = Received(Compressed(f.get()), f->num_points);
        ASSERT_EQ(VES_anno_create(&g->anno), ZE_SUCCESS);
        g->cad = static_cast<VE_CAD *>(std::calloc(1, sizeof(VE_CAD)));
        ASSERT_EQ(VES_feature_uncompress(0, g.get()), ZE_SUCCESS);
        for (int32_t i = 0; i < f->num_points; i++) {
            EXPECT_EQ(g->points[i].x, points[i].x) << i;
            EXPECT_EQ(g->points[i].y, points[i].y) << i;
            if (with_z) {
                EXPECT_EQ(g->z_values[i], z[i]) << i;
            }
            if (with_m) {
                EXPECT_EQ(g->measures[i], m[i]) << i;
            }
        }
        EXPECT_EQ(g->z_values != nullptr, with_z);
        EXPECT_EQ(g->measures != nullptr, with_m);
        if (with_anno) {
            const VE_ANNO *a = g->anno;
            EXPECT_EQ(a->long1, -77);
            EXPECT_EQ(a->long3, 7);
            EXPECT_EQ(a->doubles[2], 3.25);
            ASSERT_NE(a->alignment, nullptr);
            EXPECT_EQ(std::memcmp(a->alignment, f->anno->alignment, sizeof(VE_ANNO_ALIGNMENT)), 0);
            ASSERT_NE(a->leader, nullptr);
            EXPECT_EQ(a->leader->entity_type, VE_ENTITY_LINE);
            ASSERT_EQ(a->leader->num_points, 3);
            EXPECT_EQ(a->leader->points[2].y, -6);
            ASSERT_NE(a->leader->measures, nullptr);
            EXPECT_EQ(a->leader->measures[1], 8);
            ASSERT_NE(a->placement, nullptr);
            ASSERT_EQ(a->placement->num_points, 1);
            EXPECT_EQ(a->placement->points[0].x, INT32_MAX);
            ASSERT_NE(a->placement->z_values, nullptr);
            EXPECT_EQ(a->placement->z_values[0], -5);
        }
        if (with_cad) {
            ASSERT_EQ(g->cad->byte_count, static_cast<int32_t>(cad.size()));
            EXPECT_EQ(Bytes(g->cad->data, g->cad->data + g->cad->byte_count), cad);
        } else {
            EXPECT_EQ(g->cad->byte_count, 0);
        }
    }
}

TEST(CompressedFeature, MaskDecidesWhatIsWritten)
{
    Feature f = MakeFeature({{1, 1}, {2, 2}}, {7, 8}, {3, 4});
    SetCad(f.get(), {9});
    ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
    ASSERT_EQ(VES_feature_compress(f.get(), 0), ZE_SUCCESS);
    EXPECT_EQ(Compressed(f.get()), WithHeader({0x01, 0x01, 0x01, 0x01}, 0));

    // Read back into a feature that has Z and measure arrays: zeros and -1.
    Feature g = Received(Compressed(f.get()), 2);
    ASSERT_EQ(MoxsShapeAllocate(g.get(), 2, 1, 1), 0);
    g->z_values[0] = g->z_values[1] = 55;
    g->measures[0] = g->measures[1] = 55;
    ASSERT_EQ(VES_feature_uncompress(0, g.get()), ZE_SUCCESS);
    EXPECT_EQ(g->z_values[0], 0);
    EXPECT_EQ(g->z_values[1], 0);
    EXPECT_EQ(g->measures[0], -1);
    EXPECT_EQ(g->measures[1], -1);
}

TEST(CompressedFeature, EmptyCadRecordIsNotWritten)
{
    Feature f = MakeFeature({{1, 1}});
    SetCad(f.get(), {});
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);
    EXPECT_EQ(f->compressed[5], 0);
    EXPECT_EQ(VES_comp_feature_has_cad_flag(f.get()), 0);
}

TEST(CompressedFeature, GeometryOnlyLeavesAnnotationAndCadAlone)
{
    Feature f = MakeFeature({{1, 1}});
    ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
    f->anno->long1 = 42;
    SetCad(f.get(), {1, 2});
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);

    Feature g = Received(Compressed(f.get()), 1);
    ASSERT_EQ(VES_anno_create(&g->anno), ZE_SUCCESS);
    SetCad(g.get(), {7, 7, 7});
    ASSERT_EQ(VES_feature_uncompress(1, g.get()), ZE_SUCCESS);
    EXPECT_EQ(g->points[0].x, 1);
    EXPECT_EQ(g->anno->long1, 0);
    EXPECT_EQ(g->cad->byte_count, 3);
    EXPECT_EQ(g->cad->data[0], 7);
}

TEST(CompressedFeature, CadIsReadPastAnAnnotationTheFeatureCannotHold)
{
    Feature f = MakeFeature({{1, 1}});
    ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
    f->anno->leader = MakeShape(VE_ENTITY_POINT, {{3, 3}});
    SetCad(f.get(), {5, 6, 7});
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);

    Feature g = Received(Compressed(f.get()), 1);
    g->cad = static_cast<VE_CAD *>(std::calloc(1, sizeof(VE_CAD)));
    ASSERT_EQ(VES_feature_uncompress(0, g.get()), ZE_SUCCESS);
    EXPECT_EQ(g->anno, nullptr);
    EXPECT_EQ(Bytes(g->cad->data, g->cad->data + g->cad->byte_count), (Bytes{5, 6, 7}));

    // And a feature with neither record takes the geometry alone.
    Feature h = Received(Compressed(f.get()), 1);
    ASSERT_EQ(VES_feature_uncompress(0, h.get()), ZE_SUCCESS);
    EXPECT_EQ(h->points[0].y, 1);
}

TEST(CompressedFeature, MinimumIntegerDifferenceIsRefused)
{
    const std::vector<std::vector<POINT>> cases = {
        {{INT32_MIN, 0}},
        {{0, 0}, {0, INT32_MIN}},
        {{1, 0}, {INT32_MIN + 1, 0}},
        {{-1, 0}, {INT32_MAX, 0}}, // 2^31 apart: the difference wraps to -2^31
    };
    for (const auto &points : cases) {
        Feature f = MakeFeature(points);
        EXPECT_EQ(VES_feature_compress(f.get(), 0), ZE_INVALID_ARGUMENT);
    }
    Feature z = MakeFeature({{0, 0}}, {INT32_MIN});
    EXPECT_EQ(VES_feature_compress(z.get(), VE_SHAPE_MASK_Z), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_feature_compress(z.get(), 0), ZE_SUCCESS) << "Z not written, so no refusal";
}

TEST(CompressedFeature, CompressRefusesInconsistentRecords)
{
    EXPECT_EQ(VES_feature_compress(nullptr, 0), ZE_NULL_POINTER);
    Feature negative = MakeFeature({});
    negative->num_points = -1;
    EXPECT_EQ(VES_feature_compress(negative.get(), 0), ZE_INVALID_ARGUMENT);
    Feature no_points = MakeFeature({});
    no_points->num_points = 3;
    EXPECT_EQ(VES_feature_compress(no_points.get(), 0), ZE_NULL_POINTER);
    Feature cad = MakeFeature({{1, 1}});
    SetCad(cad.get(), {1, 2});
    cad->cad->byte_count = 10; // more than its data block
    EXPECT_EQ(VES_feature_compress(cad.get(), VE_SHAPE_MASK_CAD), ZE_INVALID_ARGUMENT);
}

TEST(CompressedFeature, CompressGrowsAnUndersizedBuffer)
{
    std::vector<POINT> points(500);
    for (int i = 0; i < 500; i++)
        points[i] = {i * 100000, -i * 99999};
    Feature f = MakeFeature(points);
    ASSERT_EQ(VES_comp_feature_alloc_by_size(f.get(), 0, 0), ZE_SUCCESS);
    ASSERT_EQ(f->compressed_capacity, 500);
    ASSERT_EQ(VES_feature_compress(f.get(), 0), ZE_SUCCESS);
    EXPECT_GE(f->compressed_capacity, VES_get_compressed_buffer_size(f.get()));
    Feature g = Received(Compressed(f.get()), 500);
    ASSERT_EQ(VES_feature_uncompress(1, g.get()), ZE_SUCCESS);
    EXPECT_EQ(g->points[499].x, 499 * 100000);
}

TEST(CompressedFeature, SizingFollowsPointCountAndMask)
{
    struct Case {
        int32_t npoints, mask, existing, expected;
    };
    const Case cases[] = {
        {10, 0, 0, 600},
        {10, VE_SHAPE_MASK_Z, 0, 900},
        {10, VE_SHAPE_MASK_Z | VE_SHAPE_MASK_M, 0, 1200},
        {10, VE_SHAPE_MASK_M, 0, 900},
        {10, VE_SHAPE_MASK_ANNO, 0, 672},
        {10, VE_SHAPE_MASK_CAD, 0, 600},
        {0, 0, 0, 500},
        {5, 0, 100, 100},                  // 50 needed: kept
        {10, 0, 100, 100},                 // exactly enough: kept
        {10, VE_SHAPE_MASK_CAD, 100, 600}, // 105 needed: grown
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.npoints << " points, mask " << c.mask);
        Feature f = MakeFeature({});
        if (c.existing)
            GiveBuffer(f.get(), c.existing);
        ASSERT_EQ(VES_comp_feature_alloc(f.get(), c.npoints, c.mask, 0), ZE_SUCCESS);
        EXPECT_EQ(f->compressed_capacity, c.expected);
    }
    struct BySize {
        int32_t size, mask, existing, expected;
    };
    const BySize by_size[] = {
        {100, 0, 0, 600},
        {100, VE_SHAPE_MASK_Z, 0, 850},
        {100, VE_SHAPE_MASK_Z | VE_SHAPE_MASK_M, 0, 1100},
        {600, 0, 700, 700},
        {701, 0, 700, 1201},
    };
    for (const BySize &c : by_size) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << ", mask " << c.mask);
        Feature f = MakeFeature({});
        if (c.existing)
            GiveBuffer(f.get(), c.existing);
        ASSERT_EQ(VES_comp_feature_alloc_by_size(f.get(), c.mask, c.size), ZE_SUCCESS);
        EXPECT_EQ(f->compressed_capacity, c.expected);
    }
    Feature f = MakeFeature({});
    EXPECT_EQ(VES_comp_feature_alloc(f.get(), -1, 0, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_comp_feature_alloc_by_size(f.get(), 0, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_comp_feature_alloc(nullptr, 1, 0, 0), ZE_NULL_POINTER);
    EXPECT_EQ(VES_comp_feature_alloc(f.get(), INT32_MAX, VE_SHAPE_MASK_Z, 0), ZE_BUFFER_NO_MEMORY);
}

TEST(CompressedFeature, AllocCanAllocateThePoints)
{
    Feature f(new FEATURE_STRUCT{});
    ASSERT_EQ(VES_comp_feature_alloc(f.get(), 4, VE_SHAPE_MASK_Z | VE_SHAPE_MASK_M, 1), ZE_SUCCESS);
    ASSERT_NE(f->points, nullptr);
    ASSERT_NE(f->z_values, nullptr);
    ASSERT_NE(f->measures, nullptr);
    f->measures[3] = 1; // room for four
    EXPECT_EQ(f->compressed_capacity, 54 * 20);
}

TEST(CompressedFeature, LocatorsFindAnnotationAndCad)
{
    Feature plain = MakeFeature({{1, 1}});
    ASSERT_EQ(VES_feature_compress(plain.get(), kAllParts), ZE_SUCCESS);
    uint8_t *start = reinterpret_cast<uint8_t *>(1);
    int32_t length = 99;
    EXPECT_EQ(VES_get_compressed_anno_cad(plain.get(), &start, &length), ZE_SUCCESS);
    EXPECT_EQ(start, nullptr);
    EXPECT_EQ(length, 0);

    Feature f = MakeFeature({{1000, 2000}, {1010, 1990}}, {1, 2});
    ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
    SetCad(f.get(), {0xAA, 0xBB});
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);
    const int32_t size = VES_get_compressed_buffer_size(f.get());
    const int32_t geometry_end = 8 + 6 + 2; // XY pairs, two Z values
    ASSERT_EQ(VES_get_compressed_anno_cad(f.get(), &start, &length), ZE_SUCCESS);
    EXPECT_EQ(start, f->compressed + geometry_end);
    EXPECT_EQ(length, size - geometry_end);
    ASSERT_EQ(VES_get_compressed_cad(f.get(), &start, &length), ZE_SUCCESS);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(Bytes(start, start + length), (Bytes{0x02, 0xAA, 0xBB}));
    EXPECT_EQ(VES_get_compressed_anno_cad(f.get(), nullptr, &length), ZE_NULL_POINTER);
}

TEST(CompressedFeature, QueriesAnswerZeroForMissingParts)
{
    EXPECT_EQ(VES_comp_feature_has_anno(nullptr), 0);
    EXPECT_EQ(VES_comp_feature_has_cad(nullptr), 0);
    EXPECT_EQ(VES_comp_feature_has_cad_flag(nullptr), 0);
    EXPECT_EQ(VES_comp_feature_has_3D(nullptr), 0);
    EXPECT_EQ(VES_comp_feature_has_measure(nullptr), 0);
    Feature f = MakeFeature({{1, 1}}, {1});
    EXPECT_EQ(VES_comp_feature_has_3D(f.get()), 0) << "no buffer yet";
    ASSERT_EQ(VES_feature_compress(f.get(), VE_SHAPE_MASK_Z), ZE_SUCCESS);
    EXPECT_EQ(VES_comp_feature_has_3D(f.get()), 1);
    std::free(f->z_values);
    f->z_values = nullptr;
    EXPECT_EQ(VES_comp_feature_has_3D(f.get()), 0) << "flag without an array";
}

TEST(CompressedFeature, CorruptOrTruncatedBytesAreRefused)
{
    auto shape = [](Bytes tail) {
        Bytes b = {0x01, 0x01, 0x00, 0x00, 0x07, 0x00}; // point, longs, no alignment
        Append(b, Bytes(32, 0));                        // four doubles
        Append(b, tail);
        return b;
    };
    struct Case {
        const char *why;
        Bytes bytes;
        int32_t npoints;
    };
    const Case cases[] = {
        {"shorter than a header", {0x02, 0, 0, 0, 0}, 0},
        {"length beyond the buffer", {0x05, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x01}, 1},
        {"length varLONG over five bytes", {0x80, 0x80, 0x80, 0x80, 0x80, 0, 0, 0}, 0},
        {"negative length", {0x41, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"flags not one byte", {0x00, 0, 0, 0, 0, 0x81, 0, 0}, 0},
        {"negative flags", {0x00, 0, 0, 0, 0, 0x41, 0, 0}, 0},
        {"more points than bytes", WithHeader({0x01, 0x01}, 0), 2},
        {"points cut inside", WithHeader({0x01, 0x01, 0x80}, 0), 2},
        {"negative point count", WithHeader({}, 0), -1},
        {"body varLONG over five bytes", WithHeader({0x80, 0x80, 0x80, 0x80, 0x80, 0x01, 0x00}, 0),
         1},
        {"body varLONG out of range", WithHeader({0x80, 0x80, 0x80, 0x80, 0x10, 0x00}, 0), 1},
        {"Z flagged but missing", WithHeader({0x01, 0x01}, VE_COMP_FLAG_Z), 1},
        {"measures flagged but cut", WithHeader({0x01, 0x01, 0x80}, VE_COMP_FLAG_M), 1},
        {"alignment flag of 2", WithHeader({0x01, 0x01, 0x00, 0x00, 0x07, 0x02}, VE_COMP_FLAG_ANNO),
         1},
        {"alignment cut short",
         WithHeader({0x01, 0x01, 0x00, 0x00, 0x07, 0x01, 0x00, 0x00}, VE_COMP_FLAG_ANNO), 1},
        {"doubles cut short",
         WithHeader({0x01, 0x01, 0x00, 0x00, 0x07, 0x00, 0x00}, VE_COMP_FLAG_ANNO), 1},
        {"leader with a negative count", WithHeader(shape({0x01, 0x41}), VE_COMP_FLAG_ANNO, 1), 1},
        {"leader count beyond the bytes",
         WithHeader(shape({0x01, 0xA8, 0x0F, 0x00, 0x00}), VE_COMP_FLAG_ANNO, 1), 1},
        {"leader entity out of range",
         WithHeader(shape({0x80, 0x80, 0x09, 0x00}), VE_COMP_FLAG_ANNO, 1), 1},
        {"placement Z cut",
         WithHeader(shape({0x01, 0x01, 0x00, 0x00}), VE_COMP_FLAG_ANNO,
                    VE_ANNO_SUB_PLACEMENT | VE_ANNO_SUB_PLACEMENT_Z),
         1},
        {"CAD count beyond the bytes", WithHeader({0x01, 0x01, 0x05, 0xAA}, VE_COMP_FLAG_CAD), 1},
        {"negative CAD count", WithHeader({0x01, 0x01, 0x41}, VE_COMP_FLAG_CAD), 1},
        {"CAD count missing", WithHeader({0x01, 0x01}, VE_COMP_FLAG_CAD), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        Feature f = Received(c.bytes, c.npoints);
        ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
        f->cad = static_cast<VE_CAD *>(std::calloc(1, sizeof(VE_CAD)));
        EXPECT_EQ(VES_feature_uncompress(0, f.get()), ZE_INVALID_ARGUMENT);
    }
    Feature none(new FEATURE_STRUCT{});
    EXPECT_EQ(VES_feature_uncompress(0, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_feature_uncompress(0, none.get()), ZE_NULL_POINTER);
    EXPECT_EQ(VES_get_compressed_buffer_size(none.get()), ZE_NULL_POINTER);
}

TEST(CompressedFeature, LocatorsAndSizeRefuseCorruptBytes)
{
    Feature f = Received({0x05, 0, 0, 0, 0, VE_COMP_FLAG_CAD, 0, 0, 0x01}, 1);
    EXPECT_EQ(VES_get_compressed_buffer_size(f.get()), ZE_INVALID_ARGUMENT);
    uint8_t *start;
    int32_t length;
    EXPECT_EQ(VES_get_compressed_anno_cad(f.get(), &start, &length), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(start, nullptr);
    EXPECT_EQ(length, 0);
    Feature g = Received(WithHeader({0x01, 0x01, 0x00}, VE_COMP_FLAG_ANNO | VE_COMP_FLAG_CAD), 1);
    EXPECT_EQ(VES_get_compressed_cad(g.get(), &start, &length), ZE_INVALID_ARGUMENT);
}

TEST(CompressedFeature, FreeReleasesEverythingAndKeepsTheRecord)
{
    Feature f = MakeFeature({{1, 1}}, {2}, {3});
    ASSERT_EQ(VES_anno_create(&f->anno), ZE_SUCCESS);
    f->anno->leader = MakeShape(VE_ENTITY_POINT, {{3, 3}});
    SetCad(f.get(), {1});
    f->feature_id = 17;
    ASSERT_EQ(VES_feature_compress(f.get(), kAllParts), ZE_SUCCESS);
    EXPECT_EQ(VES_comp_feature_free(f.get()), ZE_SUCCESS);
    EXPECT_EQ(f->points, nullptr);
    EXPECT_EQ(f->z_values, nullptr);
    EXPECT_EQ(f->measures, nullptr);
    EXPECT_EQ(f->compressed, nullptr);
    EXPECT_EQ(f->anno, nullptr);
    EXPECT_EQ(f->cad, nullptr);
    EXPECT_EQ(f->num_points, 0);
    EXPECT_EQ(f->compressed_capacity, 0);
    EXPECT_EQ(f->feature_id, 17);
    EXPECT_EQ(VES_comp_feature_free(f.get()), ZE_SUCCESS) << "a second free does nothing";
    EXPECT_EQ(VES_comp_feature_free(nullptr), ZE_NULL_POINTER);
}

TEST(CompressedFeature, FieldsTheFormatLeavesOut)
{
    struct Case {
        uint16_t entity;
        std::vector<POINT> points;
        double area, length;
    };
    const Case cases[] = {
        {VE_ENTITY_POINT, {{5, 5}}, 0.0, 0.0},
        {VE_ENTITY_SIMPLE_LINE, {{0, 0}, {3, 4}}, 0.0, 5.0},
        {VE_ENTITY_MULTI_LINE, {{0, 0}, {3, 4}}, 0.0, 5.0}, // low byte decides
        {VE_ENTITY_AREA, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, 100.0, 40.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.entity);
        Feature f = MakeFeature(c.points);
        f->entity_type = c.entity;
        f->area = f->length = -1.0;
        ASSERT_EQ(VES_calc_notransmit_fields(f.get()), ZE_SUCCESS);
        EXPECT_DOUBLE_EQ(f->area, c.area);
        EXPECT_DOUBLE_EQ(f->length, c.length);
        EXPECT_EQ(f->envelope.minx, c.points[0].x);
    }
    EXPECT_EQ(VES_calc_notransmit_fields(nullptr), ZE_NULL_POINTER);
}

// The codec against a plain reference written with the checked one-value
// forms: random features of every size class and difference size compress to
// the reference's bytes and read back; random damage to those bytes is
// refused or read exactly as the reference reads it.
namespace differential
{

Bytes ReferenceCompress(const std::vector<POINT> &points, const std::vector<int32_t> &z)
{
    Bytes body;
    auto put = [&body](int32_t value) {
        uint8_t b[5];
        body.insert(body.end(), b, ves_varlong_encode(value, b, b + 5));
    };
    POINT previous = {0, 0};
    for (const POINT &p : points) {
        put(static_cast<int32_t>(static_cast<uint32_t>(p.x) - static_cast<uint32_t>(previous.x)));
        put(static_cast<int32_t>(static_cast<uint32_t>(p.y) - static_cast<uint32_t>(previous.y)));
        previous = p;
    }
    int32_t last = 0;
    for (int32_t v : z) {
        put(static_cast<int32_t>(static_cast<uint32_t>(v) - static_cast<uint32_t>(last)));
        last = v;
    }
    return WithHeader(body, z.empty() ? 0 : VE_COMP_FLAG_Z);
}

// Reads n points and, with the Z flag, n values; false on any bad varLONG.
bool ReferenceUncompress(const Bytes &bytes, int32_t n, std::vector<POINT> &points,
                         std::vector<int32_t> &z)
{
    int32_t length;
    if (bytes.size() < VE_COMP_HEADER_BYTES ||
        ves_varlong_decode(bytes.data(), bytes.data() + 5, &length) == nullptr || length < 0 ||
        length > static_cast<int64_t>(bytes.size()) - VE_COMP_HEADER_BYTES ||
        (bytes[5] & 0xC0) != 0 || (bytes[6] & 0xC0) != 0)
        return false;
    const uint8_t *p = bytes.data() + VE_COMP_HEADER_BYTES, *end = p + length;
    if (static_cast<int64_t>(n) * 2 > end - p)
        return false;
    uint32_t x = 0, y = 0, last = 0;
    points.clear();
    z.clear();
    for (int32_t i = 0; i < n; i++) {
        int32_t dx, dy;
        if ((p = ves_varlong_decode(p, end, &dx)) == nullptr ||
            (p = ves_varlong_decode(p, end, &dy)) == nullptr)
            return false;
        x += static_cast<uint32_t>(dx);
        y += static_cast<uint32_t>(dy);
        points.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y)});
    }
    for (int32_t i = 0; (bytes[5] & VE_COMP_FLAG_Z) && i < n; i++) {
        int32_t d;
        if ((p = ves_varlong_decode(p, end, &d)) == nullptr)
            return false;
        last += static_cast<uint32_t>(d);
        z.push_back(static_cast<int32_t>(last));
    }
    return true;
}

std::vector<int32_t> Flat(const POINT *points, size_t n)
{
    std::vector<int32_t> flat;
    for (size_t i = 0; i < n; i++) {
        flat.push_back(points[i].x);
        flat.push_back(points[i].y);
    }
    return flat;
}

int32_t RandomDifference(std::mt19937 &random)
{
    auto bits = static_cast<int>(random() % 29);
    auto mag = static_cast<int32_t>(random() & ((1u << bits) - 1));
    return random() & 1 ? -mag : mag;
}

TEST(CompressedFeature, AgreesWithAReferenceCoderOnRandomFeatures)
{
    std::mt19937 random(1729);
    const int32_t sizes[] = {0, 1, 2, 3, 7, 10, 33, 1000, 4096};
    for (int round = 0; round < 60; round++) {
        int32_t n = sizes[round % 9];
        std::vector<POINT> points(static_cast<size_t>(n));
        std::vector<int32_t> z;
        POINT at = {static_cast<int32_t>(random() % 2000000000),
                    -static_cast<int32_t>(random() % 1000)};
        for (POINT &p : points) {
            at.x = static_cast<int32_t>(static_cast<uint32_t>(at.x) + RandomDifference(random));
            at.y = static_cast<int32_t>(static_cast<uint32_t>(at.y) + RandomDifference(random));
            p = at;
        }
        if (round % 2)
            for (int32_t i = 0; i < n; i++)
                z.push_back(RandomDifference(random));
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << n << " points");

        Feature f = MakeFeature(points, z);
        ASSERT_EQ(VES_feature_compress(f.get(), z.empty() ? 0 : VE_SHAPE_MASK_Z), ZE_SUCCESS);
        const Bytes expected = ReferenceCompress(points, z);
        ASSERT_EQ(Compressed(f.get()), expected);
        // Nothing but the feature is left after its end.
        int32_t used = VES_get_compressed_buffer_size(f.get());
        for (int32_t i = used; i < std::min(f->compressed_capacity, used + 8); i++)
            ASSERT_EQ(f->compressed[i], 0) << "byte " << i;

        for (int damage = 0; damage < 8; damage++) {
            Bytes bytes = expected;
            if (damage > 0 && bytes.size() > VE_COMP_HEADER_BYTES) {
                size_t at_byte =
                    VE_COMP_HEADER_BYTES + random() % (bytes.size() - VE_COMP_HEADER_BYTES);
                bytes[at_byte] =
                    static_cast<uint8_t>(damage % 2 ? bytes[at_byte] | 0x80 : random());
            }
            std::vector<POINT> ref_points;
            std::vector<int32_t> ref_z;
            bool ok = ReferenceUncompress(bytes, n, ref_points, ref_z);
            Feature r = Received(bytes, n);
            int32_t rc = VES_feature_uncompress(1, r.get());
            ASSERT_EQ(rc == ZE_SUCCESS, ok) << "damage " << damage;
            if (!ok)
                continue;
            ASSERT_EQ(Flat(r->points, static_cast<size_t>(n)),
                      Flat(ref_points.data(), ref_points.size()));
            if (!z.empty()) {
                ASSERT_EQ(std::vector<int32_t>(r->z_values, r->z_values + n), ref_z);
            }
        }
    }
}

} // namespace differential

} // namespace
