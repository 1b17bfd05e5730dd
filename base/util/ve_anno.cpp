// Annotation object of a feature (base/util/ve_anno.h). The leader and
// placement are shapes of the geometry module owned by the object; both must
// share one coordinate reference.
#include "base/util/ve_anno.h"

#include <stdlib.h>
#include <string.h>

#include <memory>

#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

int32_t VES_initialize_anno(VE_ANNO *anno)
{
    if (anno == nullptr)
        return ZE_NULL_POINTER;
    *anno = VE_ANNO{};
    anno->long3 = 7;
    memcpy(anno->tag, VE_ANNO_TAG, sizeof anno->tag);
    return 0;
}

int32_t VES_anno_create(VE_ANNO **anno)
{
    if (anno == nullptr)
        return ZE_NULL_POINTER;
    VE_ANNO *object = static_cast<VE_ANNO *>(calloc(1, sizeof(VE_ANNO)));
    if (object == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    VES_initialize_anno(object);
    *anno = object;
    return 0;
}

void VES_anno_free(VE_ANNO *anno)
{
    if (anno == nullptr)
        return;
    MoxShapeFree(anno->placement);
    MoxShapeFree(anno->leader);
    free(anno->alignment);
    // A stale pointer to the object then fails the tag check for as long as
    // the memory is not reused.
    memcpy(anno->tag, VE_ANNO_FREED_TAG, sizeof anno->tag);
    free(anno);
}

int32_t VES_anno_info_ok(const VE_ANNO *anno)
{
    if (anno == nullptr || memcmp(anno->tag, VE_ANNO_TAG, sizeof anno->tag) != 0)
        return ZE_INVALID_ANNO_OBJECT;
    return 0;
}

int32_t VES_anno_alignment_alloc(VE_ANNO_ALIGNMENT **alignment)
{
    if (alignment == nullptr)
        return ZE_NULL_POINTER;
    *alignment = static_cast<VE_ANNO_ALIGNMENT *>(calloc(1, sizeof(VE_ANNO_ALIGNMENT)));
    return *alignment != nullptr ? 0 : ZE_BUFFER_NO_MEMORY;
}

void VES_anno_alignment_free(VE_ANNO_ALIGNMENT **alignment)
{
    if (alignment == nullptr)
        return;
    free(*alignment);
    *alignment = nullptr;
}

using S_coordref_ptr = std::unique_ptr<COORDREF, decltype(&MoxCoordRefFree)>;

// Module status: 0 when the two shapes share a coordinate reference.
static int32_t S_same_coordref(const FEATURE_STRUCT *a, const FEATURE_STRUCT *b)
{
    COORDREF *raw_a = nullptr;
    COORDREF *raw_b = nullptr;
    int32_t status = MoxCoordRefCreate(&raw_a);
    S_coordref_ptr ref_a(raw_a, MoxCoordRefFree);
    if (status != 0)
        return status;
    status = MoxCoordRefCreate(&raw_b);
    S_coordref_ptr ref_b(raw_b, MoxCoordRefFree);
    if (status != 0)
        return status;
    if ((status = MoxShapeGetCoordRef(a, ref_a.get())) != 0)
        return status;
    if ((status = MoxShapeGetCoordRef(b, ref_b.get())) != 0)
        return status;
    return MoxCoordRefIsEqual(ref_a.get(), ref_b.get()) > 0 ? 0 : MOX_E_COORDREF_MISMATCH;
}

// Module status of making *slot a copy of shape, creating the slot's shape
// when it has none. A shape created here is dropped again when the copy
// fails, so a failed copy never leaves an empty shape behind.
static int32_t S_copy_into_slot(FEATURE_STRUCT **slot, const FEATURE_STRUCT *shape)
{
    bool created = false;
    if (*slot == nullptr) {
        int32_t status = MoxShapeCreate(nullptr, slot);
        if (status != 0) {
            *slot = nullptr;
            return status;
        }
        created = true;
    }
    int32_t status = MoxShapeDuplicate(shape, *slot);
    if (status != 0 && created) {
        MoxShapeFree(*slot);
        *slot = nullptr;
    }
    return status;
}

static int32_t S_set_shape(VE_ANNO *anno, FEATURE_STRUCT **slot, const FEATURE_STRUCT *other,
                           const FEATURE_STRUCT *shape)
{
    int32_t rc = VES_anno_info_ok(anno);
    if (rc != 0)
        return rc;
    if (shape == nullptr)
        return ZE_NULL_SHAPE;
    if (MoxShapeIsNil(shape)) {
        MoxShapeFree(*slot);
        *slot = nullptr;
        return 0;
    }
    int32_t status = other != nullptr ? S_same_coordref(shape, other) : 0;
    if (status == 0 && shape != *slot)
        status = S_copy_into_slot(slot, shape);
    return VES_map_shape_error_to_zel(status);
}

int32_t VES_anno_set_leader(VE_ANNO *anno, const FEATURE_STRUCT *shape)
{
    if (anno == nullptr)
        return ZE_INVALID_ANNO_OBJECT;
    return S_set_shape(anno, &anno->leader, anno->placement, shape);
}

int32_t VES_anno_set_placement(VE_ANNO *anno, const FEATURE_STRUCT *shape)
{
    if (anno == nullptr)
        return ZE_INVALID_ANNO_OBJECT;
    return S_set_shape(anno, &anno->placement, anno->leader, shape);
}

// Engine status of making target's slot equal to source's.
static int32_t S_copy_slot(FEATURE_STRUCT *source, FEATURE_STRUCT **target)
{
    if (source == nullptr) {
        MoxShapeFree(*target);
        *target = nullptr;
        return 0;
    }
    return VES_map_shape_error_to_zel(S_copy_into_slot(target, source));
}

int32_t VES_anno_copy(const VE_ANNO *source, VE_ANNO *target)
{
    int32_t rc = VES_anno_info_ok(source);
    if (rc != 0)
        return rc;
    if (target == nullptr)
        return ZE_INVALID_ANNO_OBJECT;
    if (source == target)
        return 0;
    target->long1 = source->long1;
    target->long2 = source->long2;
    target->long3 = source->long3;
    memcpy(target->doubles, source->doubles, sizeof target->doubles);
    memcpy(target->tag, VE_ANNO_TAG, sizeof target->tag);
    memcpy(target->text, source->text, sizeof target->text);
    target->text[sizeof target->text - 1] = '\0';

    if (source->alignment == nullptr) {
        VES_anno_alignment_free(&target->alignment);
    } else {
        if (target->alignment == nullptr &&
            (rc = VES_anno_alignment_alloc(&target->alignment)) != 0)
            return rc;
        memcpy(target->alignment, source->alignment, sizeof(VE_ANNO_ALIGNMENT));
    }
    if ((rc = S_copy_slot(source->leader, &target->leader)) != 0)
        return rc;
    return S_copy_slot(source->placement, &target->placement);
}

static int64_t S_shape_size(const FEATURE_STRUCT *shape)
{
    if (shape == nullptr)
        return 0;
    int64_t per_point = static_cast<int64_t>(sizeof(POINT));
    if (shape->z_values != nullptr)
        per_point += static_cast<int64_t>(sizeof(int32_t));
    if (shape->measures != nullptr)
        per_point += static_cast<int64_t>(sizeof(int32_t));
    int64_t points = shape->allocated_points > 0 ? shape->allocated_points : 0;
    return static_cast<int64_t>(sizeof(FEATURE_STRUCT)) + per_point * points;
}

int32_t VES_anno_size(const VE_ANNO *anno)
{
    if (VES_anno_info_ok(anno) != 0)
        return 0;
    int64_t size = static_cast<int64_t>(sizeof(VE_ANNO)) + S_shape_size(anno->leader) +
                   S_shape_size(anno->placement);
    if (anno->alignment != nullptr)
        size += static_cast<int64_t>(sizeof(VE_ANNO_ALIGNMENT));
    // Shapes of more than 2 GB cannot occur in practice; never wrap.
    return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}
