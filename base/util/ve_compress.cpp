// The compressed feature codec: sizing, writing and reading a FEATURE_STRUCT's
// compressed buffer, locating its annotation and CAD parts, and the fields the
// format does not carry. Byte layout: base/util/ve_compress.h. Every read is
// bounded by the header's length and the buffer's capacity; every write by
// the capacity, which is grown to a worst case first.
#include "base/util/ve_compress.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/util/ve_anno.h"
#include "base/util/ve_shape_error.h"
#include "base/util/ve_varlong_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

struct S_writer {
    uint8_t *p;
    const uint8_t *end;
    int32_t status;
};

struct S_reader {
    const uint8_t *p;
    const uint8_t *end;
};

} // namespace

// Differences and running sums are taken modulo 2^32, so any pair of 32-bit
// coordinates round-trips.
static inline int32_t S_diff(int32_t value, int32_t previous)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value) - static_cast<uint32_t>(previous));
}

static inline int32_t S_sum(int32_t previous, int32_t diff)
{
    return static_cast<int32_t>(static_cast<uint32_t>(previous) + static_cast<uint32_t>(diff));
}

/* ---- sizing ------------------------------------------------------------ */

// Grows (or creates) the compressed buffer to capacity bytes, zero-filling
// what is new. On failure the old buffer stays as it was.
static int32_t S_reserve(FEATURE_STRUCT *feature, int64_t capacity)
{
    if (capacity > INT32_MAX || capacity < 1)
        return ZE_BUFFER_NO_MEMORY;
    if (feature->compressed == nullptr) {
        auto *block = static_cast<uint8_t *>(std::calloc(1, static_cast<size_t>(capacity)));
        if (block == nullptr)
            return ZE_BUFFER_NO_MEMORY;
        feature->compressed = block;
        feature->compressed_capacity = static_cast<int32_t>(capacity);
        return ZE_SUCCESS;
    }
    int64_t old = feature->compressed_capacity > 0 ? feature->compressed_capacity : 0;
    auto *block =
        static_cast<uint8_t *>(std::realloc(feature->compressed, static_cast<size_t>(capacity)));
    if (block == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    if (capacity > old)
        std::memset(block + old, 0, static_cast<size_t>(capacity - old));
    feature->compressed = block;
    feature->compressed_capacity = static_cast<int32_t>(capacity);
    return ZE_SUCCESS;
}

static int32_t S_capacity(const FEATURE_STRUCT *feature)
{
    return feature->compressed == nullptr || feature->compressed_capacity < 0
               ? 0
               : feature->compressed_capacity;
}

// Bytes n points may take under mask: 10 per XY pair, 5 per Z or measure.
static int64_t S_points_need(int64_t n, int32_t mask)
{
    int64_t need = n * ((mask & VE_SHAPE_MASK_Z) ? 15 : 10);
    if (mask & VE_SHAPE_MASK_M)
        need += n * 5;
    return need;
}

ZEL_API int32_t VES_comp_feature_alloc(FEATURE_STRUCT *feature, int32_t npoints, int32_t mask,
                                       int32_t allocate_points)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    if (npoints < 0)
        return ZE_INVALID_ARGUMENT;
    if (allocate_points == 1) {
        int32_t rc = MoxsShapeAllocate(feature, npoints, (mask & VE_SHAPE_MASK_Z) ? 1 : 0,
                                       (mask & VE_SHAPE_MASK_M) ? 1 : 0);
        if (rc != 0)
            return VES_map_shape_error_to_zel(rc);
    }
    if (feature->compressed != nullptr) {
        int64_t need = S_points_need(npoints, mask);
        if (mask & VE_SHAPE_MASK_ANNO)
            need += 72;
        if (mask & VE_SHAPE_MASK_CAD)
            need += 5;
        if (feature->compressed_capacity >= need)
            return ZE_SUCCESS;
    }
    int64_t capacity = S_points_need(static_cast<int64_t>(npoints) + 50, mask);
    if (mask & VE_SHAPE_MASK_ANNO)
        capacity += 72;
    return S_reserve(feature, capacity);
}

ZEL_API int32_t VES_comp_feature_alloc_by_size(FEATURE_STRUCT *feature, int32_t mask, int32_t size)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    if (size < 0)
        return ZE_INVALID_ARGUMENT;
    if (feature->compressed != nullptr && feature->compressed_capacity >= size)
        return ZE_SUCCESS;
    int64_t capacity = static_cast<int64_t>(size) + ((mask & VE_SHAPE_MASK_Z) ? 750 : 500);
    if (mask & VE_SHAPE_MASK_M)
        capacity += 250;
    return S_reserve(feature, capacity);
}

ZEL_API int32_t VES_comp_feature_free(FEATURE_STRUCT *feature)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    // The geometry module grows the point arrays on the C heap.
    std::free(feature->points);
    std::free(feature->z_values);
    std::free(feature->measures);
    feature->points = nullptr;
    feature->z_values = nullptr;
    feature->measures = nullptr;
    feature->allocated_points = 0;
    std::free(feature->compressed);
    feature->compressed = nullptr;
    feature->compressed_capacity = 0;
    VES_anno_free(feature->anno);
    feature->anno = nullptr;
    if (feature->cad != nullptr) {
        std::free(feature->cad->data);
        std::free(feature->cad);
        feature->cad = nullptr;
    }
    feature->num_points = 0;
    return ZE_SUCCESS;
}

/* ---- writing ----------------------------------------------------------- */

static void S_put(S_writer &w, int32_t value)
{
    if (w.status != ZE_SUCCESS)
        return;
    uint8_t *next = ves_varlong_encode(value, w.p, w.end);
    if (next == nullptr)
        w.status = ZE_INVALID_ARGUMENT; // -2147483648, or more than the worst case
    else
        w.p = next;
}

static void S_put_le(S_writer &w, uint64_t value, int width)
{
    if (w.status != ZE_SUCCESS)
        return;
    if (w.end - w.p < width) {
        w.status = ZE_INVALID_ARGUMENT;
        return;
    }
    for (int i = 0; i < width; i++)
        *w.p++ = static_cast<uint8_t>(value >> (8 * i));
}

static void S_put_double(S_writer &w, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    S_put_le(w, bits, 8);
}

// Room the word-at-a-time loops keep: two values of at most 5 bytes, the
// second stored as 8.
constexpr ptrdiff_t kWordRoom = 16;

static void S_put_points(S_writer &w, const POINT *points, int32_t n)
{
    POINT previous = {0, 0};
    int32_t i = 0;
    if (kVarlongWordForms && w.status == ZE_SUCCESS) {
        for (; i < n && w.end - w.p >= kWordRoom; i++) {
            int32_t dx = S_diff(points[i].x, previous.x), dy = S_diff(points[i].y, previous.y);
            if (dx == INT32_MIN || dy == INT32_MIN)
                break; // no encoding: the checked writer below reports it
            w.p = ves_varlong_encode_word(dy, ves_varlong_encode_word(dx, w.p));
            previous = points[i];
        }
    }
    for (; i < n && w.status == ZE_SUCCESS; i++) {
        S_put(w, S_diff(points[i].x, previous.x));
        S_put(w, S_diff(points[i].y, previous.y));
        previous = points[i];
    }
}

static void S_put_values(S_writer &w, const int32_t *values, int32_t n)
{
    int32_t previous = 0;
    int32_t i = 0;
    if (kVarlongWordForms && w.status == ZE_SUCCESS) {
        for (; i < n && w.end - w.p >= kWordRoom; i++) {
            int32_t diff = S_diff(values[i], previous);
            if (diff == INT32_MIN)
                break;
            w.p = ves_varlong_encode_word(diff, w.p);
            previous = values[i];
        }
    }
    for (; i < n && w.status == ZE_SUCCESS; i++) {
        S_put(w, S_diff(values[i], previous));
        previous = values[i];
    }
}

// A shape that can be written: a count that is not negative, its points when
// it has any.
static int32_t S_check_shape(const FEATURE_STRUCT *shape)
{
    if (shape->num_points < 0)
        return ZE_INVALID_ARGUMENT;
    if (shape->num_points > 0 && shape->points == nullptr)
        return ZE_NULL_POINTER;
    return ZE_SUCCESS;
}

static int64_t S_shape_need(const FEATURE_STRUCT *shape)
{
    if (shape == nullptr)
        return 0;
    int64_t n = shape->num_points;
    return 10 + n * 10 + (shape->z_values ? n * 5 : 0) + (shape->measures ? n * 5 : 0);
}

static int64_t S_anno_need(const VE_ANNO *anno)
{
    return 4 * 5 + (anno->alignment ? VE_ANNO_ALIGNMENT_BYTES : 0) + 4 * 8 +
           S_shape_need(anno->leader) + S_shape_need(anno->placement);
}

static void S_put_alignment(S_writer &w, const VE_ANNO_ALIGNMENT *a)
{
    S_put_le(w, static_cast<uint32_t>(a->long1), 4);
    S_put_le(w, static_cast<uint32_t>(a->long2), 4);
    for (int16_t v : a->values1)
        S_put_le(w, static_cast<uint16_t>(v), 2);
    for (int16_t v : a->values2)
        S_put_le(w, static_cast<uint16_t>(v), 2);
    S_put_double(w, a->double1);
    S_put_double(w, a->double2);
}

// One annotation shape; returns the sub-flags it earns (present, Z, measures)
// as bits 0, 1, 2.
static int32_t S_put_shape(S_writer &w, const FEATURE_STRUCT *shape)
{
    S_put(w, shape->entity_type);
    S_put(w, shape->num_points);
    S_put_points(w, shape->points, shape->num_points);
    int32_t sub = 1;
    if (shape->z_values != nullptr) {
        S_put_values(w, shape->z_values, shape->num_points);
        sub |= 2;
    }
    if (shape->measures != nullptr) {
        S_put_values(w, shape->measures, shape->num_points);
        sub |= 4;
    }
    return sub;
}

static int32_t S_put_anno(S_writer &w, const VE_ANNO *anno)
{
    S_put(w, anno->long1);
    S_put(w, anno->long2);
    S_put(w, anno->long3);
    S_put(w, anno->alignment != nullptr ? 1 : 0);
    if (anno->alignment != nullptr)
        S_put_alignment(w, anno->alignment);
    for (double d : anno->doubles)
        S_put_double(w, d);
    int32_t subflags = 0;
    if (anno->leader != nullptr)
        subflags |= S_put_shape(w, anno->leader);
    if (anno->placement != nullptr)
        subflags |= S_put_shape(w, anno->placement) << 3;
    return subflags;
}

ZEL_API int32_t VES_feature_compress(FEATURE_STRUCT *feature, int32_t mask)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_shape(feature);
    if (rc != ZE_SUCCESS)
        return rc;
    const int32_t n = feature->num_points;
    const bool with_z = feature->z_values != nullptr && (mask & VE_SHAPE_MASK_Z);
    const bool with_m = feature->measures != nullptr && (mask & VE_SHAPE_MASK_M);
    const VE_ANNO *anno = (mask & VE_SHAPE_MASK_ANNO) ? feature->anno : nullptr;
    const VE_CAD *cad = feature->cad;
    if (cad == nullptr || !(mask & VE_SHAPE_MASK_CAD) || cad->byte_count < 1)
        cad = nullptr;
    if (cad != nullptr && (cad->data == nullptr || cad->byte_count > cad->capacity))
        return ZE_INVALID_ARGUMENT;
    if (anno != nullptr) {
        for (const FEATURE_STRUCT *shape : {anno->leader, anno->placement}) {
            if (shape != nullptr && (rc = S_check_shape(shape)) != ZE_SUCCESS)
                return rc;
        }
    }

    int64_t need = VE_COMP_HEADER_BYTES + static_cast<int64_t>(n) * 10 +
                   (with_z ? static_cast<int64_t>(n) * 5 : 0) +
                   (with_m ? static_cast<int64_t>(n) * 5 : 0);
    if (anno != nullptr)
        need += S_anno_need(anno);
    if (cad != nullptr)
        need += VE_VARLONG_MAX_BYTES + static_cast<int64_t>(cad->byte_count);
    if (S_capacity(feature) < need && (rc = S_reserve(feature, need)) != ZE_SUCCESS)
        return rc;

    uint8_t *buffer = feature->compressed;
    S_writer w = {buffer + VE_COMP_HEADER_BYTES, buffer + feature->compressed_capacity, ZE_SUCCESS};
    int32_t flags = 0, subflags = 0;
    /* The deltas are computed on the fly: the caller's point, Z and measure
     * arrays stay coordinates (the caller draws, measures or sends them after
     * compressing), never rewritten as differences in place. */
    S_put_points(w, feature->points, n);
    if (with_z) {
        flags |= VE_COMP_FLAG_Z;
        S_put_values(w, feature->z_values, n);
    }
    if (with_m) {
        flags |= VE_COMP_FLAG_M;
        S_put_values(w, feature->measures, n);
    }
    if (anno != nullptr) {
        flags |= VE_COMP_FLAG_ANNO;
        subflags = S_put_anno(w, anno);
    }
    if (cad != nullptr) {
        flags |= VE_COMP_FLAG_CAD;
        S_put(w, cad->byte_count);
        if (w.status == ZE_SUCCESS && w.end - w.p >= cad->byte_count) {
            std::memcpy(w.p, cad->data, static_cast<size_t>(cad->byte_count));
            w.p += cad->byte_count;
        } else if (w.status == ZE_SUCCESS) {
            w.status = ZE_INVALID_ARGUMENT;
        }
    }
    if (w.status != ZE_SUCCESS)
        return w.status;
    // The word stores may have left bytes past the end: clear them so the
    // buffer holds nothing but the feature.
    std::memset(w.p, 0, static_cast<size_t>(std::min<ptrdiff_t>(w.end - w.p, 8)));

    std::memset(buffer, 0, VE_COMP_HEADER_BYTES);
    auto length = static_cast<int32_t>(w.p - buffer - VE_COMP_HEADER_BYTES);
    ves_varlong_encode(length, buffer, buffer + VE_COMP_FLAGS_OFFSET);
    buffer[VE_COMP_FLAGS_OFFSET] = static_cast<uint8_t>(flags);
    buffer[VE_COMP_SUBFLAGS_OFFSET] = static_cast<uint8_t>(subflags);
    return ZE_SUCCESS;
}

/* ---- reading ----------------------------------------------------------- */

static bool S_get(S_reader &r, int32_t &value)
{
    const uint8_t *next = ves_varlong_decode(r.p, r.end, &value);
    if (next == nullptr)
        return false;
    r.p = next;
    return true;
}

// A count of items that take at least min_bytes each and must fit in what is
// left of the buffer.
static bool S_get_count(S_reader &r, int32_t &count, int64_t min_bytes)
{
    return S_get(r, count) && count >= 0 && count * min_bytes <= r.end - r.p;
}

static bool S_get_le(S_reader &r, uint64_t &value, int width)
{
    if (r.end - r.p < width)
        return false;
    value = 0;
    for (int i = 0; i < width; i++)
        value |= static_cast<uint64_t>(*r.p++) << (8 * i);
    return true;
}

static bool S_get_double(S_reader &r, double &value)
{
    uint64_t bits;
    if (!S_get_le(r, bits, 8))
        return false;
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

// Reads n delta-coded XY pairs into points (skips them when STORE is false):
// word at a time while the buffer holds room for it; the last bytes from a
// zero-padded copy, each value checked against the end as the byte-at-a-time
// reader checks it.
template <bool STORE> static bool S_get_points_as(S_reader &r, POINT *points, int32_t n)
{
    POINT current = {0, 0};
    int32_t i = 0;
    if constexpr (kVarlongWordForms) {
        const uint8_t *p = r.p;
        for (; i < n && r.end - p >= kWordRoom; i++) {
            int32_t dx, dy;
            if ((p = ves_varlong_decode_pair(p, &dx, &dy)) == nullptr)
                return false;
            current.x = S_sum(current.x, dx);
            current.y = S_sum(current.y, dy);
            if (STORE)
                points[i] = current;
        }
        if (i < n) {
            uint8_t tail[kWordRoom + 8] = {};
            auto left = static_cast<size_t>(r.end - p);
            std::memcpy(tail, p, left);
            const uint8_t *q = tail, *end = tail + left;
            for (; i < n; i++) {
                int32_t dx, dy;
                if ((q = ves_varlong_decode_word(q, &dx)) == nullptr || q > end ||
                    (q = ves_varlong_decode_word(q, &dy)) == nullptr || q > end)
                    return false;
                current.x = S_sum(current.x, dx);
                current.y = S_sum(current.y, dy);
                if (STORE)
                    points[i] = current;
            }
            p += q - tail;
        }
        r.p = p;
        return true;
    }
    for (; i < n; i++) {
        int32_t dx, dy;
        if (!S_get(r, dx) || !S_get(r, dy))
            return false;
        current.x = S_sum(current.x, dx);
        current.y = S_sum(current.y, dy);
        if (STORE)
            points[i] = current;
    }
    return true;
}

// Reads n delta-coded XY pairs into points, or skips them when points is null.
static bool S_get_points(S_reader &r, POINT *points, int32_t n)
{
    return points != nullptr ? S_get_points_as<true>(r, points, n)
                             : S_get_points_as<false>(r, nullptr, n);
}

template <bool STORE> static bool S_get_values_as(S_reader &r, int32_t *values, int32_t n)
{
    int32_t current = 0;
    int32_t i = 0;
    if constexpr (kVarlongWordForms) {
        const uint8_t *p = r.p;
        for (; i < n && r.end - p >= kWordRoom; i++) {
            int32_t diff;
            if ((p = ves_varlong_decode_word(p, &diff)) == nullptr)
                return false;
            current = S_sum(current, diff);
            if (STORE)
                values[i] = current;
        }
        if (i < n) {
            uint8_t tail[kWordRoom + 8] = {};
            auto left = static_cast<size_t>(r.end - p);
            std::memcpy(tail, p, left);
            const uint8_t *q = tail, *end = tail + left;
            for (; i < n; i++) {
                int32_t diff;
                if ((q = ves_varlong_decode_word(q, &diff)) == nullptr || q > end)
                    return false;
                current = S_sum(current, diff);
                if (STORE)
                    values[i] = current;
            }
            p += q - tail;
        }
        r.p = p;
        return true;
    }
    for (; i < n; i++) {
        int32_t diff;
        if (!S_get(r, diff))
            return false;
        current = S_sum(current, diff);
        if (STORE)
            values[i] = current;
    }
    return true;
}

// Reads n delta-coded values, or skips them when values is null.
static bool S_get_values(S_reader &r, int32_t *values, int32_t n)
{
    return values != nullptr ? S_get_values_as<true>(r, values, n)
                             : S_get_values_as<false>(r, nullptr, n);
}

static void S_fill(int32_t *values, int32_t n, int32_t value)
{
    for (int32_t i = 0; values != nullptr && i < n; i++)
        values[i] = value;
}

static bool S_get_alignment(S_reader &r, VE_ANNO_ALIGNMENT *a)
{
    uint64_t v;
    VE_ANNO_ALIGNMENT read = {};
    if (!S_get_le(r, v, 4))
        return false;
    read.long1 = static_cast<int32_t>(static_cast<uint32_t>(v));
    if (!S_get_le(r, v, 4))
        return false;
    read.long2 = static_cast<int32_t>(static_cast<uint32_t>(v));
    for (int16_t &value : read.values1) {
        if (!S_get_le(r, v, 2))
            return false;
        value = static_cast<int16_t>(static_cast<uint16_t>(v));
    }
    for (int16_t &value : read.values2) {
        if (!S_get_le(r, v, 2))
            return false;
        value = static_cast<int16_t>(static_cast<uint16_t>(v));
    }
    if (!S_get_double(r, read.double1) || !S_get_double(r, read.double2))
        return false;
    if (a != nullptr)
        *a = read;
    return true;
}

// One annotation shape into *slot (created when empty), or skipped when slot
// is null.
static int32_t S_get_shape(S_reader &r, FEATURE_STRUCT **slot, bool with_z, bool with_m)
{
    int32_t entity, count;
    if (!S_get(r, entity) || entity < 0 || entity > UINT16_MAX || !S_get_count(r, count, 2))
        return ZE_INVALID_ARGUMENT;
    if (slot == nullptr) {
        bool ok = S_get_points(r, nullptr, count) && (!with_z || S_get_values(r, nullptr, count)) &&
                  (!with_m || S_get_values(r, nullptr, count));
        return ok ? ZE_SUCCESS : ZE_INVALID_ARGUMENT;
    }
    int32_t rc;
    if (*slot == nullptr && (rc = MoxShapeCreate(nullptr, slot)) != 0)
        return VES_map_shape_error_to_zel(rc);
    FEATURE_STRUCT *shape = *slot;
    if ((rc = MoxsShapeAllocate(shape, count, with_z ? 1 : 0, with_m ? 1 : 0)) != 0)
        return VES_map_shape_error_to_zel(rc);
    shape->entity_type = static_cast<uint16_t>(entity);
    shape->num_points = count;
    if (!S_get_points(r, shape->points, count))
        return ZE_INVALID_ARGUMENT;
    if (with_z) {
        if (!S_get_values(r, shape->z_values, count))
            return ZE_INVALID_ARGUMENT;
    } else {
        S_fill(shape->z_values, count, 0);
    }
    if (with_m) {
        if (!S_get_values(r, shape->measures, count))
            return ZE_INVALID_ARGUMENT;
    } else {
        S_fill(shape->measures, count, -1);
    }
    return ZE_SUCCESS;
}

// The annotation block into anno, or skipped (checked, not stored) when anno
// is null.
static int32_t S_get_anno(S_reader &r, VE_ANNO *anno, int32_t subflags)
{
    int32_t longs[3], aligned;
    if (!S_get(r, longs[0]) || !S_get(r, longs[1]) || !S_get(r, longs[2]) || !S_get(r, aligned) ||
        (aligned != 0 && aligned != 1))
        return ZE_INVALID_ARGUMENT;
    if (anno != nullptr) {
        anno->long1 = longs[0];
        anno->long2 = longs[1];
        anno->long3 = longs[2];
    }
    if (aligned) {
        if (anno != nullptr && anno->alignment == nullptr &&
            VES_anno_alignment_alloc(&anno->alignment) != ZE_SUCCESS)
            return ZE_BUFFER_NO_MEMORY;
        if (!S_get_alignment(r, anno != nullptr ? anno->alignment : nullptr))
            return ZE_INVALID_ARGUMENT;
    } else if (anno != nullptr) {
        VES_anno_alignment_free(&anno->alignment);
    }
    double doubles[4];
    for (double &d : doubles) {
        if (!S_get_double(r, d))
            return ZE_INVALID_ARGUMENT;
    }
    if (anno != nullptr)
        std::memcpy(anno->doubles, doubles, sizeof doubles);

    FEATURE_STRUCT **slots[2] = {anno ? &anno->leader : nullptr, anno ? &anno->placement : nullptr};
    for (int i = 0; i < 2; i++) {
        int32_t sub = subflags >> (3 * i);
        if (sub & VE_ANNO_SUB_LEADER) {
            int32_t rc = S_get_shape(r, slots[i], (sub & VE_ANNO_SUB_LEADER_Z) != 0,
                                     (sub & VE_ANNO_SUB_LEADER_M) != 0);
            if (rc != ZE_SUCCESS)
                return rc;
        } else if (slots[i] != nullptr) {
            MoxShapeFree(*slots[i]);
            *slots[i] = nullptr;
        }
    }
    return ZE_SUCCESS;
}

// The CAD block into cad, grown to the byte count when its data is smaller;
// skipped (checked) when the feature has no CAD record.
static int32_t S_get_cad(S_reader &r, VE_CAD *cad)
{
    int32_t count;
    if (!S_get_count(r, count, 1))
        return ZE_INVALID_ARGUMENT;
    if (cad != nullptr) {
        if (count > cad->capacity || (cad->data == nullptr && count > 0)) {
            void *data = cad->data != nullptr ? std::realloc(cad->data, static_cast<size_t>(count))
                                              : std::calloc(1, static_cast<size_t>(count));
            if (data == nullptr) {
                std::free(cad->data);
                cad->data = nullptr;
                cad->capacity = 0;
                cad->byte_count = 0;
                return ZE_BUFFER_NO_MEMORY;
            }
            cad->data = static_cast<uint8_t *>(data);
            cad->capacity = count;
        }
        if (count > 0)
            std::memcpy(cad->data, r.p, static_cast<size_t>(count));
        cad->byte_count = count;
    }
    r.p += count;
    return ZE_SUCCESS;
}

// Reads a one-byte varLONG (the flags and sub-flags); -1 when it is not one.
static int32_t S_header_byte(uint8_t byte)
{
    return (byte & 0xC0u) != 0 ? -1 : byte;
}

// Opens the buffer for reading: checks the header and bounds the reader by
// the stated length and the capacity.
static int32_t S_open(const FEATURE_STRUCT *feature, S_reader &r, int32_t &flags, int32_t &subflags)
{
    if (feature == nullptr || feature->compressed == nullptr)
        return ZE_NULL_POINTER;
    const uint8_t *buffer = feature->compressed;
    int32_t capacity = feature->compressed_capacity, length;
    if (capacity < VE_COMP_HEADER_BYTES)
        return ZE_INVALID_ARGUMENT;
    if (ves_varlong_decode(buffer, buffer + VE_COMP_FLAGS_OFFSET, &length) == nullptr ||
        length < 0 || length > capacity - VE_COMP_HEADER_BYTES)
        return ZE_INVALID_ARGUMENT;
    flags = S_header_byte(buffer[VE_COMP_FLAGS_OFFSET]);
    subflags = S_header_byte(buffer[VE_COMP_SUBFLAGS_OFFSET]);
    if (flags < 0 || subflags < 0)
        return ZE_INVALID_ARGUMENT;
    r.p = buffer + VE_COMP_HEADER_BYTES;
    r.end = r.p + length;
    return ZE_SUCCESS;
}

ZEL_API int32_t VES_feature_uncompress(int32_t geometry_only, FEATURE_STRUCT *feature)
{
    S_reader r;
    int32_t flags, subflags;
    int32_t rc = S_open(feature, r, flags, subflags);
    if (rc != ZE_SUCCESS)
        return rc;
    const int32_t n = feature->num_points;
    if (n < 0 || static_cast<int64_t>(n) * 2 > r.end - r.p)
        return ZE_INVALID_ARGUMENT;
    const bool with_z = flags & VE_COMP_FLAG_Z, with_m = flags & VE_COMP_FLAG_M;
    const bool read_cad = !geometry_only && (flags & VE_COMP_FLAG_CAD);
    // Without a VE_ANNO the block is only walked over when CAD data follows.
    const bool read_anno =
        !geometry_only && (flags & VE_COMP_FLAG_ANNO) && (feature->anno != nullptr || read_cad);
    const bool tail = read_anno || read_cad;

    if ((rc = MoxsShapeAllocate(feature, n, with_z ? 1 : 0, with_m ? 1 : 0)) != 0)
        return VES_map_shape_error_to_zel(rc);
    if (!S_get_points(r, feature->points, n))
        return ZE_INVALID_ARGUMENT;
    if (!with_z)
        S_fill(feature->z_values, n, 0);
    else if ((feature->z_values != nullptr || (with_m && feature->measures != nullptr) || tail) &&
             !S_get_values(r, feature->z_values, n))
        return ZE_INVALID_ARGUMENT;
    if (!with_m)
        S_fill(feature->measures, n, -1);
    else if ((feature->measures != nullptr || tail) && !S_get_values(r, feature->measures, n))
        return ZE_INVALID_ARGUMENT;
    if (read_anno && (rc = S_get_anno(r, feature->anno, subflags)) != ZE_SUCCESS)
        return rc;
    if (read_cad)
        return S_get_cad(r, feature->cad);
    return ZE_SUCCESS;
}

/* ---- locating and querying --------------------------------------------- */

// Walks the reader over the points, Z values and measures.
static bool S_skip_geometry(S_reader &r, const FEATURE_STRUCT *feature, int32_t flags)
{
    int32_t n = feature->num_points;
    return n >= 0 && S_get_points(r, nullptr, n) &&
           (!(flags & VE_COMP_FLAG_Z) || S_get_values(r, nullptr, n)) &&
           (!(flags & VE_COMP_FLAG_M) || S_get_values(r, nullptr, n));
}

static int32_t S_locate(const FEATURE_STRUCT *feature, uint8_t **start, int32_t *length,
                        bool cad_only)
{
    if (start == nullptr || length == nullptr)
        return ZE_NULL_POINTER;
    *start = nullptr;
    *length = 0;
    S_reader r;
    int32_t flags, subflags;
    int32_t rc = S_open(feature, r, flags, subflags);
    if (rc != ZE_SUCCESS)
        return rc;
    int32_t wanted = cad_only ? VE_COMP_FLAG_CAD : VE_COMP_FLAG_ANNO | VE_COMP_FLAG_CAD;
    if (!(flags & wanted))
        return ZE_SUCCESS;
    if (!S_skip_geometry(r, feature, flags))
        return ZE_INVALID_ARGUMENT;
    if (cad_only && (flags & VE_COMP_FLAG_ANNO) &&
        (rc = S_get_anno(r, nullptr, subflags)) != ZE_SUCCESS)
        return rc;
    *start = feature->compressed + (r.p - feature->compressed);
    *length = static_cast<int32_t>(r.end - r.p);
    return ZE_SUCCESS;
}

ZEL_API int32_t VES_get_compressed_anno_cad(const FEATURE_STRUCT *feature, uint8_t **start,
                                            int32_t *length)
{
    return S_locate(feature, start, length, false);
}

ZEL_API int32_t VES_get_compressed_cad(const FEATURE_STRUCT *feature, uint8_t **start,
                                       int32_t *length)
{
    return S_locate(feature, start, length, true);
}

ZEL_API int32_t VES_get_compressed_buffer_size(const FEATURE_STRUCT *feature)
{
    S_reader r;
    int32_t flags, subflags;
    int32_t rc = S_open(feature, r, flags, subflags);
    if (rc != ZE_SUCCESS)
        return rc;
    return static_cast<int32_t>(r.end - feature->compressed);
}

// The flags byte of a buffer that holds at least a header; 0 otherwise.
static int32_t S_flags(const FEATURE_STRUCT *feature)
{
    if (feature == nullptr || feature->compressed == nullptr ||
        feature->compressed_capacity < VE_COMP_HEADER_BYTES)
        return 0;
    int32_t flags = S_header_byte(feature->compressed[VE_COMP_FLAGS_OFFSET]);
    return flags < 0 ? 0 : flags;
}

ZEL_API int32_t VES_comp_feature_has_anno(const FEATURE_STRUCT *feature)
{
    return feature != nullptr && feature->anno != nullptr && (S_flags(feature) & VE_COMP_FLAG_ANNO);
}

ZEL_API int32_t VES_comp_feature_has_cad(const FEATURE_STRUCT *feature)
{
    return feature != nullptr && feature->cad != nullptr && feature->cad->byte_count != 0 &&
           (S_flags(feature) & VE_COMP_FLAG_CAD);
}

ZEL_API int32_t VES_comp_feature_has_cad_flag(const FEATURE_STRUCT *feature)
{
    return (S_flags(feature) & VE_COMP_FLAG_CAD) != 0;
}

ZEL_API int32_t VES_comp_feature_has_3D(const FEATURE_STRUCT *feature)
{
    return feature != nullptr && feature->z_values != nullptr &&
           (S_flags(feature) & VE_COMP_FLAG_Z);
}

ZEL_API int32_t VES_comp_feature_has_measure(const FEATURE_STRUCT *feature)
{
    return feature != nullptr && feature->measures != nullptr &&
           (S_flags(feature) & VE_COMP_FLAG_M);
}

/* ---- fields the format does not carry ---------------------------------- */

ZEL_API int32_t VES_calc_notransmit_fields(FEATURE_STRUCT *feature)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    switch (feature->entity_type & 0xFF) {
    case VE_ENTITY_NIL:
    case VE_ENTITY_POINT:
        feature->area = 0.0;
        feature->length = 0.0;
        break;
    case VE_ENTITY_LINE:
    case VE_ENTITY_SIMPLE_LINE:
        feature->length = MoxsShapeLength(feature);
        MoxsShapeSetLengthFlag(feature, 1);
        feature->area = 0.0;
        break;
    case VE_ENTITY_AREA:
        feature->area = MoxsShapeArea(feature);
        MoxsShapeSetAreaFlag(feature, 1);
        feature->length = MoxsShapeLength(feature);
        MoxsShapeSetLengthFlag(feature, 1);
        break;
    default:
        break;
    }
    int32_t rc = MoxsNvelop(feature);
    if (rc == 0)
        MoxsShapeSetExtentFlag(feature, 1);
    return VES_map_shape_error_to_zel(rc);
}
