// The in-memory feature (shape) and its companions. The shape record itself,
// its integer points and envelopes and the coordinate reference belong to the
// geometry module (mox/mox_types.h); the annotation object and the CAD record
// it points to are the server's and live here. The compressed byte form is
// laid out in base/util/ve_compress.h. Field order is fixed: hosts and the
// wire code read it.
#ifndef VE_FEATURE_H
#define VE_FEATURE_H

#include <stdint.h>

#include "mox/mox_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Alignment record of an annotation: copied and serialised, never interpreted. */
typedef struct VE_ANNO_ALIGNMENT {
    int32_t long1;
    int32_t long2;
    int16_t values1[20];
    int16_t values2[20];
    double double1;
    double double2;
} VE_ANNO_ALIGNMENT;

#define VE_ANNO_ALIGNMENT_BYTES 104 /* its serialised size */

/* The annotation of a feature. The tag reads "AnO" while the object is valid
 * and "aNo" once it has been freed. */
typedef struct VE_ANNO {
    char tag[4];
    int32_t long1;
    int32_t long2;
    int32_t long3; /* starts at 7 */
    double doubles[4];
    char text[256];
    struct FEATURE_STRUCT *leader;
    struct FEATURE_STRUCT *placement;
    VE_ANNO_ALIGNMENT *alignment;
} VE_ANNO;

/* CAD data of a feature: opaque bytes carried by the compressed form. */
typedef struct VE_CAD {
    int32_t reserved;
    int32_t byte_count;
    int32_t capacity;
    uint8_t *data;
} VE_CAD;

#ifdef __cplusplus
}
#endif

#endif
