// The shape's life: point arrays, creation, copy, release, the validity flags
// and the generated search shapes. A shape is a FEATURE_STRUCT
// (mox/mox_types.h); the module's own words in it are described in
// mox/mox.h. Arrays live on the C heap so the server library's feature free
// can release them.
#include <stdlib.h>
#include <string.h>

#include "mox/mox.h"
#include "mox/mox_parts_internal.h"

/* Grows one array to room for count items of size bytes; a null array is
 * made. Contents are kept. */
template <class T> static int32_t S_grow(T **array, int32_t count)
{
    T *grown = static_cast<T *>(realloc(*array, (size_t)count * sizeof(T)));
    if (grown == nullptr)
        return MOX_E_OUT_OF_MEMORY;
    *array = grown;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxsShapeAllocate(FEATURE_STRUCT *shape, int32_t count, int32_t with_z,
                                  int32_t with_measures)
{
    if (shape == nullptr)
        return MOX_E_NULL_SHAPE;
    if (count < 0)
        return MOX_E_INVALID_NUM_POINTS;
    int32_t room = shape->allocated_points > 0 ? shape->allocated_points : 0;
    /* Every array present has the same room; a new one is made at that room
     * (at least count) so the rule keeps holding. */
    int32_t target = count > room ? count : room;
    bool grow = count > room;
    if (target > 0) {
        if (shape->points == nullptr || grow) {
            int32_t rc = S_grow(&shape->points, target);
            if (rc != MOX_SUCCESS)
                return rc;
        }
        if ((with_z && shape->z_values == nullptr) || (grow && shape->z_values != nullptr)) {
            int32_t rc = S_grow(&shape->z_values, target);
            if (rc != MOX_SUCCESS)
                return rc;
        }
        if ((with_measures && shape->measures == nullptr) || (grow && shape->measures != nullptr)) {
            int32_t rc = S_grow(&shape->measures, target);
            if (rc != MOX_SUCCESS)
                return rc;
        }
    }
    shape->allocated_points = target;
    shape->num_points = count;
    return MOX_SUCCESS;
}

static int32_t S_set_flag(FEATURE_STRUCT *shape, uint32_t flag, int32_t on)
{
    if (shape == nullptr)
        return MOX_E_NULL_SHAPE;
    if (on)
        shape->reserved1 |= flag;
    else
        shape->reserved1 &= ~flag;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxsShapeSetAreaFlag(FEATURE_STRUCT *shape, int32_t on)
{
    return S_set_flag(shape, MOX_SHAPE_AREA_VALID, on);
}

MOX_API int32_t MoxsShapeSetLengthFlag(FEATURE_STRUCT *shape, int32_t on)
{
    return S_set_flag(shape, MOX_SHAPE_LENGTH_VALID, on);
}

MOX_API int32_t MoxsShapeSetExtentFlag(FEATURE_STRUCT *shape, int32_t on)
{
    return S_set_flag(shape, MOX_SHAPE_EXTENT_VALID, on);
}

MOX_API int32_t MoxsShapeSetActive(FEATURE_STRUCT *shape)
{
    return S_set_flag(shape, MOX_SHAPE_ACTIVE, 1);
}

MOX_API int32_t MoxsShapeInit(FEATURE_STRUCT *shape, COORDREF *coordref)
{
    if (shape == nullptr)
        return MOX_E_NULL_SHAPE;
    if (shape->reserved1 & MOX_SHAPE_OWNS_COORDREF)
        MoxCoordRefFree(shape->coordref);
    shape->reserved1 = (shape->reserved1 & MOX_SHAPE_CREATED) | MOX_SHAPE_ACTIVE;
    shape->coordref = coordref;
    shape->entity_type = VE_ENTITY_NIL;
    shape->num_points = 0;
    return MoxsNvelop(shape);
}

MOX_API int32_t MoxShapeCreate(const COORDREF *coordref, FEATURE_STRUCT **shape)
{
    if (shape == nullptr)
        return MOX_E_NULL_POINTER;
    *shape = nullptr;
    FEATURE_STRUCT *made = static_cast<FEATURE_STRUCT *>(calloc(1, sizeof(FEATURE_STRUCT)));
    if (made == nullptr)
        return MOX_E_OUT_OF_MEMORY;
    made->reserved1 = MOX_SHAPE_CREATED | MOX_SHAPE_ACTIVE;
    if (coordref != nullptr) {
        int32_t rc = MoxCoordRefCreate(&made->coordref);
        if (rc == MOX_SUCCESS)
            rc = MoxCoordRefDuplicate(coordref, made->coordref);
        if (rc != MOX_SUCCESS) {
            MoxCoordRefFree(made->coordref);
            free(made);
            return rc;
        }
        made->reserved1 |= MOX_SHAPE_OWNS_COORDREF;
    }
    MoxsNvelop(made);
    *shape = made;
    return MOX_SUCCESS;
}

MOX_API void MoxShapeFree(FEATURE_STRUCT *shape)
{
    if (shape == nullptr)
        return;
    free(shape->points);
    free(shape->z_values);
    free(shape->measures);
    free(shape->compressed);
    if (shape->reserved1 & MOX_SHAPE_OWNS_COORDREF)
        MoxCoordRefFree(shape->coordref);
    if (shape->reserved1 & MOX_SHAPE_CREATED) {
        free(shape);
        return;
    }
    shape->points = nullptr;
    shape->z_values = nullptr;
    shape->measures = nullptr;
    shape->compressed = nullptr;
    shape->compressed_capacity = 0;
    shape->allocated_points = 0;
    shape->num_points = 0;
    if (shape->reserved1 & MOX_SHAPE_OWNS_COORDREF)
        shape->coordref = nullptr;
    shape->reserved1 &= ~MOX_SHAPE_OWNS_COORDREF;
}

/* The target's reference after a copy: its own copy for a created shape, the
 * source's pointer for a caller's record. */
static int32_t S_copy_coordref(const FEATURE_STRUCT *source, FEATURE_STRUCT *target)
{
    bool owns = (target->reserved1 & MOX_SHAPE_OWNS_COORDREF) != 0;
    if (!(target->reserved1 & MOX_SHAPE_CREATED) && !owns) {
        target->coordref = source->coordref;
        return MOX_SUCCESS;
    }
    if (source->coordref == nullptr) {
        if (owns)
            MoxCoordRefFree(target->coordref);
        target->coordref = nullptr;
        target->reserved1 &= ~MOX_SHAPE_OWNS_COORDREF;
        return MOX_SUCCESS;
    }
    if (!owns) {
        int32_t rc = MoxCoordRefCreate(&target->coordref);
        if (rc != MOX_SUCCESS)
            return rc;
        target->reserved1 |= MOX_SHAPE_OWNS_COORDREF;
    }
    return MoxCoordRefDuplicate(source->coordref, target->coordref);
}

MOX_API int32_t MoxShapeDuplicate(const FEATURE_STRUCT *source, FEATURE_STRUCT *target)
{
    if (source == nullptr || target == nullptr)
        return MOX_E_NULL_SHAPE;
    if (source == target)
        return MOX_SUCCESS;
    int32_t rc = mox_shape_check(source);
    if (rc != MOX_SUCCESS)
        return rc;
    int32_t n = source->num_points;
    bool with_z = source->z_values != nullptr;
    bool with_m = source->measures != nullptr;
    /* Arrays the source lacks are dropped first, so they are not grown. */
    if (!with_z) {
        free(target->z_values);
        target->z_values = nullptr;
    }
    if (!with_m) {
        free(target->measures);
        target->measures = nullptr;
    }
    rc = MoxsShapeAllocate(target, n, with_z, with_m);
    if (rc != MOX_SUCCESS)
        return rc;
    if (n > 0) {
        memcpy(target->points, source->points, (size_t)n * sizeof(POINT));
        if (with_z)
            memcpy(target->z_values, source->z_values, (size_t)n * sizeof(int32_t));
        if (with_m)
            memcpy(target->measures, source->measures, (size_t)n * sizeof(int32_t));
    }
    rc = S_copy_coordref(source, target);
    if (rc != MOX_SUCCESS)
        return rc;
    const uint32_t copied =
        MOX_SHAPE_AREA_VALID | MOX_SHAPE_LENGTH_VALID | MOX_SHAPE_EXTENT_VALID | MOX_SHAPE_ACTIVE;
    target->reserved1 = (target->reserved1 & ~copied) | (source->reserved1 & copied);
    target->wire_field = source->wire_field;
    target->feature_id = source->feature_id;
    target->entity_type = source->entity_type;
    target->envelope = source->envelope;
    memcpy(target->wire_fields, source->wire_fields, sizeof(target->wire_fields));
    target->area = source->area;
    target->length = source->length;
    return MOX_SUCCESS;
}

MOX_API int32_t MoxShapeIsNil(const FEATURE_STRUCT *shape)
{
    return shape == nullptr || shape->entity_type == VE_ENTITY_NIL || shape->num_points <= 0;
}

MOX_API int32_t MoxShapeGetCoordRef(const FEATURE_STRUCT *shape, COORDREF *coordref)
{
    if (shape == nullptr)
        return MOX_E_NULL_SHAPE;
    if (coordref == nullptr)
        return MOX_E_NULL_POINTER;
    if (shape->coordref == nullptr)
        return MoxsCoordRefReset(coordref);
    return MoxCoordRefDuplicate(shape->coordref, coordref);
}

/* Fills a generated shape from plane XY pairs: converts them with the shape's
 * reference, sizes the arrays (Z and measures present are zeroed), sets the
 * entity type and the envelope. Nothing changes on a failed conversion. */
static int32_t S_generate(FEATURE_STRUCT *shape, uint16_t entity, const double *xy, int32_t n)
{
    if (shape == nullptr)
        return MOX_E_NULL_SHAPE;
    const COORDREF *ref = shape->coordref;
    if (!MoxsCoordRefIsActive(ref))
        return MOX_E_COORDREF_INACTIVE;
    POINT converted[5];
    for (int32_t i = 0; i < n; i++) {
        int32_t rc =
            MoxsValueToSystem(ref->falsex, ref->xyunits, xy[2 * (size_t)i], &converted[i].x);
        if (rc == MOX_SUCCESS)
            rc = MoxsValueToSystem(ref->falsey, ref->xyunits, xy[2 * (size_t)i + 1],
                                   &converted[i].y);
        if (rc != MOX_SUCCESS)
            return rc;
    }
    int32_t rc = MoxsShapeAllocate(shape, n, 0, 0);
    if (rc != MOX_SUCCESS)
        return rc;
    memcpy(shape->points, converted, (size_t)n * sizeof(POINT));
    if (shape->z_values != nullptr)
        memset(shape->z_values, 0, (size_t)n * sizeof(int32_t));
    if (shape->measures != nullptr)
        memset(shape->measures, 0, (size_t)n * sizeof(int32_t));
    shape->entity_type = entity;
    shape->reserved1 &= ~(MOX_SHAPE_AREA_VALID | MOX_SHAPE_LENGTH_VALID);
    rc = MoxsNvelop(shape);
    if (rc == MOX_SUCCESS)
        rc = MoxsShapeSetExtentFlag(shape, 1);
    return rc;
}

MOX_API int32_t MoxShapeGeneratePoint(FEATURE_STRUCT *shape, double x, double y)
{
    const double xy[2] = {x, y};
    return S_generate(shape, MOX_ENTITY_POINT, xy, 1);
}

MOX_API int32_t MoxShapeGenerateSimpleLine(FEATURE_STRUCT *shape, double x1, double y1, double x2,
                                           double y2)
{
    const double xy[4] = {x1, y1, x2, y2};
    return S_generate(shape, MOX_ENTITY_SIMPLE_LINE, xy, 2);
}

MOX_API int32_t MoxShapeGenerateRectangle(FEATURE_STRUCT *shape, double minx, double miny,
                                          double maxx, double maxy)
{
    if (minx > maxx) {
        double t = minx;
        minx = maxx;
        maxx = t;
    }
    if (miny > maxy) {
        double t = miny;
        miny = maxy;
        maxy = t;
    }
    /* Counter-clockwise and closed, so it reads as one outer ring. */
    const double xy[10] = {minx, miny, maxx, miny, maxx, maxy, minx, maxy, minx, miny};
    return S_generate(shape, MOX_ENTITY_AREA, xy, 5);
}
