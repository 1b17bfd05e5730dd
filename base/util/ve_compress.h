// The compressed feature (COMPRESSED_FEATURE): the byte string in which a
// feature's geometry is stored in the database (bound to VE_GeomFromZel and
// its kin, read back from VE_AsZel) and sent to clients. Its bytes are an
// external interface; this header is where they are laid out.
//
// Byte offsets from the start of the buffer (varLONG: base/util/ve_varlong.h):
//   0    1-5 bytes  varLONG: total length in bytes minus 8 (the header)
//   5    1 byte     varLONG: flags (VE_COMP_FLAG_*)
//   6    1 byte     varLONG: annotation sub-flags (VE_ANNO_SUB_*), 0 without
//                   an annotation block
//   7    1 byte     not used
//   The header bytes the length does not use, and byte 7, carry nothing; this
//   writer zero-fills them and no reader looks at them.
//   8    the n XY points, varLONG x then varLONG y per point: the first point
//        absolute, every later one as the difference from the point before
//   then with flag Z: n Z values, first absolute, then differences
//   then with flag M: n measures, first absolute, then differences
//   then with flag ANNO: the annotation block
//        varLONG long1, long2, long3 (VE_ANNO order)
//        varLONG alignment present (0 or 1)
//        when present: 104 bytes: int32, int32, 20 x int16, 20 x int16,
//                      double, double
//        4 doubles (VE_ANNO order)
//        with sub-flag LEADER: varLONG entity type, varLONG point count m,
//             m XY pairs delta-coded as above, then m Z values (LEADER_Z)
//             and m measures (LEADER_M), each delta-coded
//        with sub-flag PLACEMENT: the same, with PLACEMENT_Z and PLACEMENT_M
//        Fixed-width numbers of the block are little-endian, doubles IEEE 754.
//        The annotation text is not carried.
//   then with flag CAD: varLONG byte count, then that many opaque bytes
// Differences are taken modulo 2^32 (a reader's running sums wrap back).
// The point count n and the entity type are not carried: the reader takes n
// from the FEATURE_STRUCT the caller filled. Example, points (1000, 2000) and
// (1010, 1990): 06 00 00 00 00 00 00 00 A8 0F 90 1F 0A 4A.
#ifndef VE_COMPRESS_H
#define VE_COMPRESS_H

#include <stdint.h>

#include "base/util/ve_feature.h"
#include "base/util/zel_export.h"

/* The compressed feature is a byte string; this names its bytes. */
typedef uint8_t COMPRESSED_FEATURE;

#define VE_COMP_HEADER_BYTES 8
#define VE_COMP_FLAGS_OFFSET 5
#define VE_COMP_SUBFLAGS_OFFSET 6

/* Feature flags (byte 5). */
#define VE_COMP_FLAG_Z 1
#define VE_COMP_FLAG_M 2
#define VE_COMP_FLAG_ANNO 4
#define VE_COMP_FLAG_CAD 8

/* Annotation sub-flags (byte 6). */
#define VE_ANNO_SUB_LEADER 1
#define VE_ANNO_SUB_LEADER_Z 2
#define VE_ANNO_SUB_LEADER_M 4
#define VE_ANNO_SUB_PLACEMENT 8
#define VE_ANNO_SUB_PLACEMENT_Z 16
#define VE_ANNO_SUB_PLACEMENT_M 32

/* Bits of a layer's shape-type mask that decide which parts are written. */
#define VE_SHAPE_MASK_Z 0x10000
#define VE_SHAPE_MASK_M 0x80000
#define VE_SHAPE_MASK_ANNO 0x200000
#define VE_SHAPE_MASK_CAD 0x400000

#ifdef __cplusplus
extern "C" {
#endif

/* With allocate_points 1, has the geometry module allocate the point arrays
 * for npoints (Z and measures as the mask says; its error mapped); then makes
 * the compressed buffer large enough for npoints under mask. 0; -65 null
 * feature; -66 negative npoints; -999 out of memory. */
ZEL_API int32_t VES_comp_feature_alloc(FEATURE_STRUCT *feature, int32_t npoints, int32_t mask,
                                       int32_t allocate_points);
/* Makes the compressed buffer hold at least size bytes (with slack). 0; -65;
 * -66 negative size; -999 (the old buffer is then kept). */
ZEL_API int32_t VES_comp_feature_alloc_by_size(FEATURE_STRUCT *feature, int32_t mask, int32_t size);
/* Releases what the feature owns (point arrays, compressed buffer, annotation,
 * CAD record) and zeroes its point count and buffer capacity; the record
 * itself stays. 0, or -65 for a null feature. */
ZEL_API int32_t VES_comp_feature_free(FEATURE_STRUCT *feature);

/* Writes the compressed buffer from the feature's arrays, annotation and CAD
 * record, growing the buffer when it is too small. The caller's arrays are
 * left as they were. 0; -65 null feature or missing array; -66 negative
 * count, a difference of -2147483648 (no encoding) or a CAD count beyond its
 * data; -999 out of memory (the header is then not written). */
ZEL_API int32_t VES_feature_compress(FEATURE_STRUCT *feature, int32_t mask);
/* Rebuilds the point arrays (and, unless geometry_only, the annotation and
 * CAD data) from the compressed buffer for the feature's point count. Every
 * read stays within the header's length and the buffer's capacity. 0; -65
 * null feature or buffer; -66 corrupt or truncated bytes or a negative count;
 * -999 out of memory; or a mapped geometry-module error. */
ZEL_API int32_t VES_feature_uncompress(int32_t geometry_only, FEATURE_STRUCT *feature);
/* Area, length and envelope, which the format does not carry; the mapped
 * result of the envelope computation (-65 for a null feature). */
ZEL_API int32_t VES_calc_notransmit_fields(FEATURE_STRUCT *feature);

/* The header's length plus 8; -65 null feature or buffer; -66 when the
 * header is corrupt or states more than the buffer holds. */
ZEL_API int32_t VES_get_compressed_buffer_size(const FEATURE_STRUCT *feature);
/* Where the annotation block (or without one the CAD block) starts and how
 * many bytes follow to the end; null and 0 without either. 0; -65 null
 * argument; -66 corrupt bytes (start null, length 0). */
ZEL_API int32_t VES_get_compressed_anno_cad(const FEATURE_STRUCT *feature, uint8_t **start,
                                            int32_t *length);
/* The same for the CAD block alone (the annotation block skipped). */
ZEL_API int32_t VES_get_compressed_cad(const FEATURE_STRUCT *feature, uint8_t **start,
                                       int32_t *length);

/* 1 when the feature has a VE_ANNO, a compressed buffer and flag ANNO. */
ZEL_API int32_t VES_comp_feature_has_anno(const FEATURE_STRUCT *feature);
/* 1 when the feature has a CAD record with bytes, a buffer and flag CAD. */
ZEL_API int32_t VES_comp_feature_has_cad(const FEATURE_STRUCT *feature);
/* 1 when the compressed buffer has flag CAD, whatever the CAD record. */
ZEL_API int32_t VES_comp_feature_has_cad_flag(const FEATURE_STRUCT *feature);
/* 1 when the feature has a Z array, a buffer and flag Z. */
ZEL_API int32_t VES_comp_feature_has_3D(const FEATURE_STRUCT *feature);
/* 1 when the feature has a measure array, a buffer and flag M. */
ZEL_API int32_t VES_comp_feature_has_measure(const FEATURE_STRUCT *feature);

#ifdef __cplusplus
}
#endif

#endif
