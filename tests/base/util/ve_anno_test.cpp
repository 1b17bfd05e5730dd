// The annotation object: creation, tag check, leader and placement with their
// shared coordinate reference, copy, size and release. Leaks and stray frees
// show under AddressSanitizer.
#include "base/util/ve_anno.h"

#include <gtest/gtest.h>

#include <string.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

using ShapePtr = std::unique_ptr<FEATURE_STRUCT, decltype(&MoxShapeFree)>;
using CoordRefPtr = std::unique_ptr<COORDREF, decltype(&MoxCoordRefFree)>;
using AnnoPtr = std::unique_ptr<VE_ANNO, decltype(&VES_anno_free)>;

CoordRefPtr S_coordref(double xyunits)
{
    COORDREF *ref = nullptr;
    EXPECT_EQ(MoxCoordRefCreate(&ref), 0);
    ref->xyunits = xyunits;
    return CoordRefPtr(ref, MoxCoordRefFree);
}

// A rectangle shape from (0, 0) to (size, size) under the reference.
ShapePtr S_rectangle(const COORDREF *ref, double size)
{
    FEATURE_STRUCT *shape = nullptr;
    EXPECT_EQ(MoxShapeCreate(ref, &shape), 0);
    EXPECT_EQ(MoxShapeGenerateRectangle(shape, 0.0, 0.0, size, size), 0);
    return ShapePtr(shape, MoxShapeFree);
}

AnnoPtr S_anno()
{
    VE_ANNO *anno = nullptr;
    EXPECT_EQ(VES_anno_create(&anno), 0);
    return AnnoPtr(anno, VES_anno_free);
}

bool S_same_points(const FEATURE_STRUCT *a, const FEATURE_STRUCT *b)
{
    return a->num_points == b->num_points && a->entity_type == b->entity_type &&
           memcmp(a->points, b->points, sizeof(POINT) * a->num_points) == 0;
}

TEST(Anno, FreshObject)
{
    AnnoPtr anno = S_anno();
    ASSERT_NE(anno, nullptr);
    EXPECT_EQ(memcmp(anno->tag, "AnO", 4), 0);
    EXPECT_EQ(anno->long1, 0);
    EXPECT_EQ(anno->long2, 0);
    EXPECT_EQ(anno->long3, 7);
    for (double d : anno->doubles)
        EXPECT_EQ(d, 0.0);
    EXPECT_EQ(anno->text[0], '\0');
    EXPECT_EQ(anno->leader, nullptr);
    EXPECT_EQ(anno->placement, nullptr);
    EXPECT_EQ(anno->alignment, nullptr);
    EXPECT_EQ(VES_anno_info_ok(anno.get()), 0);
    EXPECT_EQ(VES_anno_create(nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_initialize_anno(nullptr), ZE_NULL_POINTER);
}

TEST(Anno, TagCheckRefusesFreedAndForeignObjects)
{
    VE_ANNO freed{};
    memcpy(freed.tag, "aNo", 4); // what VES_anno_free leaves behind
    VE_ANNO zeroed{};
    VE_ANNO foreign;
    memset(&foreign, 0x41, sizeof foreign);
    CoordRefPtr ref = S_coordref(10.0);
    ShapePtr shape = S_rectangle(ref.get(), 5.0);
    AnnoPtr valid = S_anno();
    for (VE_ANNO *bad : {&freed, &zeroed, &foreign, static_cast<VE_ANNO *>(nullptr)}) {
        EXPECT_EQ(VES_anno_info_ok(bad), ZE_INVALID_ANNO_OBJECT);
        EXPECT_EQ(VES_anno_set_leader(bad, shape.get()), ZE_INVALID_ANNO_OBJECT);
        EXPECT_EQ(VES_anno_set_placement(bad, shape.get()), ZE_INVALID_ANNO_OBJECT);
        EXPECT_EQ(VES_anno_copy(bad, valid.get()), ZE_INVALID_ANNO_OBJECT);
        EXPECT_EQ(VES_anno_size(bad), 0);
    }
    EXPECT_EQ(VES_anno_copy(valid.get(), nullptr), ZE_INVALID_ANNO_OBJECT);
    VES_anno_free(nullptr);
}

TEST(Anno, SetLeaderAndPlacementCopyTheShape)
{
    CoordRefPtr ref = S_coordref(10.0);
    ShapePtr given = S_rectangle(ref.get(), 5.0);
    AnnoPtr anno = S_anno();
    ASSERT_EQ(VES_anno_set_leader(anno.get(), given.get()), 0);
    ASSERT_EQ(VES_anno_set_placement(anno.get(), given.get()), 0);
    for (FEATURE_STRUCT *slot : {anno->leader, anno->placement}) {
        ASSERT_NE(slot, nullptr);
        EXPECT_NE(slot, given.get()); // the caller keeps its own shape
        EXPECT_TRUE(S_same_points(slot, given.get()));
    }
    // Setting again replaces the copy.
    ShapePtr bigger = S_rectangle(ref.get(), 50.0);
    ASSERT_EQ(VES_anno_set_leader(anno.get(), bigger.get()), 0);
    EXPECT_TRUE(S_same_points(anno->leader, bigger.get()));
    EXPECT_EQ(VES_anno_set_leader(anno.get(), nullptr), ZE_NULL_SHAPE);
    EXPECT_EQ(VES_anno_set_placement(anno.get(), nullptr), ZE_NULL_SHAPE);
}

TEST(Anno, NilShapeRemovesTheSlot)
{
    CoordRefPtr ref = S_coordref(10.0);
    ShapePtr given = S_rectangle(ref.get(), 5.0);
    FEATURE_STRUCT *raw_nil = nullptr;
    ASSERT_EQ(MoxShapeCreate(ref.get(), &raw_nil), 0);
    ShapePtr nil(raw_nil, MoxShapeFree);
    AnnoPtr anno = S_anno();
    ASSERT_EQ(VES_anno_set_leader(anno.get(), given.get()), 0);
    ASSERT_EQ(VES_anno_set_placement(anno.get(), given.get()), 0);
    EXPECT_EQ(VES_anno_set_leader(anno.get(), nil.get()), 0);
    EXPECT_EQ(anno->leader, nullptr);
    EXPECT_EQ(VES_anno_set_placement(anno.get(), nil.get()), 0);
    EXPECT_EQ(anno->placement, nullptr);
}

TEST(Anno, MismatchedCoordinateReferenceIsRefused)
{
    CoordRefPtr ref = S_coordref(10.0);
    CoordRefPtr other_ref = S_coordref(1000.0);
    ShapePtr placement = S_rectangle(ref.get(), 5.0);
    ShapePtr first_leader = S_rectangle(ref.get(), 7.0);
    ShapePtr foreign = S_rectangle(other_ref.get(), 9.0);

    AnnoPtr anno = S_anno();
    ASSERT_EQ(VES_anno_set_placement(anno.get(), placement.get()), 0);
    // With no leader yet the slot stays empty.
    EXPECT_EQ(VES_anno_set_leader(anno.get(), foreign.get()), ZE_COORDREF_MISMATCH);
    EXPECT_EQ(anno->leader, nullptr);
    // With a leader it stays as it was.
    ASSERT_EQ(VES_anno_set_leader(anno.get(), first_leader.get()), 0);
    FEATURE_STRUCT *before = anno->leader;
    EXPECT_EQ(VES_anno_set_leader(anno.get(), foreign.get()), ZE_COORDREF_MISMATCH);
    EXPECT_EQ(anno->leader, before);
    EXPECT_TRUE(S_same_points(anno->leader, first_leader.get()));
    // The mirror image: the placement is checked against the leader.
    EXPECT_EQ(VES_anno_set_placement(anno.get(), foreign.get()), ZE_COORDREF_MISMATCH);
    EXPECT_TRUE(S_same_points(anno->placement, placement.get()));
}

TEST(Anno, CopyMakesAnEqualObject)
{
    CoordRefPtr ref = S_coordref(10.0);
    ShapePtr leader = S_rectangle(ref.get(), 5.0);
    ShapePtr placement = S_rectangle(ref.get(), 8.0);
    AnnoPtr source = S_anno();
    source->long1 = 11;
    source->long2 = 22;
    source->long3 = 33;
    source->doubles[3] = 4.5;
    strcpy(source->text, "Main Street");
    ASSERT_EQ(VES_anno_alignment_alloc(&source->alignment), 0);
    source->alignment->long2 = 99;
    source->alignment->values2[19] = -7;
    source->alignment->double2 = 2.25;
    ASSERT_EQ(VES_anno_set_leader(source.get(), leader.get()), 0);
    ASSERT_EQ(VES_anno_set_placement(source.get(), placement.get()), 0);

    // Into a zero-filled record, and into a valid object that already holds
    // shapes of its own.
    VE_ANNO zeroed{};
    AnnoPtr used = S_anno();
    ASSERT_EQ(VES_anno_set_leader(used.get(), placement.get()), 0);
    for (VE_ANNO *target : {&zeroed, used.get()}) {
        ASSERT_EQ(VES_anno_copy(source.get(), target), 0);
        EXPECT_EQ(VES_anno_info_ok(target), 0);
        EXPECT_EQ(target->long1, 11);
        EXPECT_EQ(target->long2, 22);
        EXPECT_EQ(target->long3, 33);
        EXPECT_EQ(target->doubles[3], 4.5);
        EXPECT_STREQ(target->text, "Main Street");
        ASSERT_NE(target->alignment, nullptr);
        EXPECT_NE(target->alignment, source->alignment);
        EXPECT_EQ(memcmp(target->alignment, source->alignment, sizeof(VE_ANNO_ALIGNMENT)), 0);
        ASSERT_NE(target->leader, nullptr);
        EXPECT_NE(target->leader, source->leader);
        EXPECT_TRUE(S_same_points(target->leader, leader.get()));
        EXPECT_TRUE(S_same_points(target->placement, placement.get()));
        EXPECT_EQ(VES_anno_size(target), VES_anno_size(source.get()));
    }
    // The zero-filled record now owns what it got.
    MoxShapeFree(zeroed.leader);
    MoxShapeFree(zeroed.placement);
    free(zeroed.alignment);
}

TEST(Anno, CopyRemovesWhatTheSourceLacks)
{
    CoordRefPtr ref = S_coordref(10.0);
    ShapePtr shape = S_rectangle(ref.get(), 5.0);
    AnnoPtr target = S_anno();
    ASSERT_EQ(VES_anno_alignment_alloc(&target->alignment), 0);
    ASSERT_EQ(VES_anno_set_leader(target.get(), shape.get()), 0);
    ASSERT_EQ(VES_anno_set_placement(target.get(), shape.get()), 0);
    AnnoPtr empty_source = S_anno();
    ASSERT_EQ(VES_anno_copy(empty_source.get(), target.get()), 0);
    EXPECT_EQ(target->alignment, nullptr);
    EXPECT_EQ(target->leader, nullptr);
    EXPECT_EQ(target->placement, nullptr);
    EXPECT_EQ(VES_anno_copy(target.get(), target.get()), 0);
}

TEST(Anno, SizeCountsShapesAndAlignment)
{
    AnnoPtr anno = S_anno();
    const int32_t base = static_cast<int32_t>(sizeof(VE_ANNO));
    EXPECT_EQ(VES_anno_size(anno.get()), base);
    ASSERT_EQ(VES_anno_alignment_alloc(&anno->alignment), 0);
    EXPECT_EQ(sizeof(VE_ANNO_ALIGNMENT), 104u);
    EXPECT_EQ(VES_anno_size(anno.get()), base + 104);

    CoordRefPtr ref = S_coordref(10.0);
    const int32_t shape_base = static_cast<int32_t>(sizeof(FEATURE_STRUCT));
    struct SizeCase {
        bool z, m;
        int32_t per_point;
    } cases[] = {{false, false, 8}, {true, false, 12}, {false, true, 12}, {true, true, 16}};
    for (const SizeCase &c : cases) {
        // A fresh copy each time: a rectangle has neither Z values nor measures.
        ShapePtr shape = S_rectangle(ref.get(), 5.0);
        ASSERT_EQ(VES_anno_set_leader(anno.get(), shape.get()), 0);
        FEATURE_STRUCT *leader = anno->leader;
        ASSERT_EQ(MoxsShapeAllocate(leader, 40, c.z, c.m), 0);
        ASSERT_EQ(leader->z_values != nullptr, c.z);
        ASSERT_EQ(leader->measures != nullptr, c.m);
        EXPECT_GE(leader->allocated_points, 40);
        EXPECT_EQ(VES_anno_size(anno.get()),
                  base + 104 + shape_base + c.per_point * leader->allocated_points)
            << "z " << c.z << " m " << c.m;
        FEATURE_STRUCT *raw_nil = nullptr;
        ASSERT_EQ(MoxShapeCreate(nullptr, &raw_nil), 0);
        ShapePtr nil(raw_nil, MoxShapeFree);
        ASSERT_EQ(VES_anno_set_leader(anno.get(), nil.get()), 0);
    }
}

TEST(Anno, AlignmentRecord)
{
    VE_ANNO_ALIGNMENT *alignment = nullptr;
    ASSERT_EQ(VES_anno_alignment_alloc(&alignment), 0);
    ASSERT_NE(alignment, nullptr);
    EXPECT_EQ(alignment->long1, 0);
    EXPECT_EQ(alignment->double2, 0.0);
    VES_anno_alignment_free(&alignment);
    EXPECT_EQ(alignment, nullptr);
    VES_anno_alignment_free(&alignment);
    VES_anno_alignment_free(nullptr);
    EXPECT_EQ(VES_anno_alignment_alloc(nullptr), ZE_NULL_POINTER);
}

} // namespace
