// Uncompress of arbitrary bytes. Input: a control byte (bit 0 geometry only,
// bit 1 the feature has a VE_ANNO, bit 2 a CAD record, bit 3 a negative point
// count), the point count as 16 bits little-endian, then the compressed bytes,
// held in a block of exactly their size. Whatever decodes must compress again
// and decode to the same points.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "fuzz/fuzz_quiet.h"

static FEATURE_STRUCT *S_feature(uint8_t control, int32_t npoints, const uint8_t *bytes,
                                 size_t size)
{
    auto *f = static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT)));
    f->num_points = npoints;
    f->compressed = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    if (size)
        std::memcpy(f->compressed, bytes, size);
    f->compressed_capacity = static_cast<int32_t>(size);
    if (control & 2)
        VES_anno_create(&f->anno);
    if (control & 4)
        f->cad = static_cast<VE_CAD *>(std::calloc(1, sizeof(VE_CAD)));
    return f;
}

static void S_free(FEATURE_STRUCT *f)
{
    VES_comp_feature_free(f);
    std::free(f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 3 || size > (1u << 20))
        return 0;
    const uint8_t control = data[0];
    int32_t npoints = data[1] | (data[2] << 8);
    if (control & 8)
        npoints = -npoints - 1;
    FEATURE_STRUCT *f = S_feature(control, npoints, data + 3, size - 3);

    uint8_t *start;
    int32_t length;
    VES_get_compressed_buffer_size(f);
    VES_get_compressed_anno_cad(f, &start, &length);
    if (start != nullptr && (start < f->compressed || start + length > f->compressed + size - 3))
        __builtin_trap();
    VES_get_compressed_cad(f, &start, &length);
    if (start != nullptr && (start < f->compressed || start + length > f->compressed + size - 3))
        __builtin_trap();
    VES_comp_feature_has_anno(f);
    VES_comp_feature_has_cad(f);
    VES_comp_feature_has_3D(f);
    VES_comp_feature_has_measure(f);

    if (VES_feature_uncompress(control & 1, f) == 0) {
        const int32_t mask =
            VE_SHAPE_MASK_Z | VE_SHAPE_MASK_M | VE_SHAPE_MASK_ANNO | VE_SHAPE_MASK_CAD;
        if (VES_feature_compress(f, mask) != 0)
            __builtin_trap();
        int32_t again = VES_get_compressed_buffer_size(f);
        if (again < 8)
            __builtin_trap();
        FEATURE_STRUCT *g =
            S_feature(control & ~1, npoints, f->compressed, static_cast<size_t>(again));
        if (VES_feature_uncompress(1, g) != 0)
            __builtin_trap();
        for (int32_t i = 0; i < npoints; i++) {
            if (g->points[i].x != f->points[i].x || g->points[i].y != f->points[i].y)
                __builtin_trap();
        }
        S_free(g);
    }
    S_free(f);
    return 0;
}
