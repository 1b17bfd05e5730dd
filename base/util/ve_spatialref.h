// The spatial reference record: one SPATIAL_REFERENCES row with its coordinate
// reference. The catalogue code reads and writes the rows; the channel sends
// the record followed by its coordinate reference (its own codecs). Character
// fields are NUL-terminated, their widths include the terminator.
#ifndef VE_SPATIALREF_H
#define VE_SPATIALREF_H

#include <stdint.h>

#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VE_SPATIALREF_DESCRIPTION_LEN 64
#define VE_SPATIALREF_AUTH_NAME_LEN 256

typedef struct VE_SPATIALREF {
    int32_t srid;
    char description[VE_SPATIALREF_DESCRIPTION_LEN];
    char auth_name[VE_SPATIALREF_AUTH_NAME_LEN]; /* authority name */
    int32_t auth_srid;                           /* the authority's srid; 0 when unknown */
    COORDREF *coordref;                          /* owned by the record */
} VE_SPATIALREF;

#ifdef __cplusplus
}
#endif

#endif
