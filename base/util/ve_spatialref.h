// The spatial reference record: one SPATIAL_REFERENCES row with its
// coordinate reference. Read and written by the spatial-reference code,
// sent by the channel (its own codec). A list is one C-heap block of
// consecutive records; each record owns its coordinate reference.
#ifndef VE_SPATIALREF_H
#define VE_SPATIALREF_H

#include <stdint.h>

#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VE_SPATIALREF {
    int32_t srid;
    char description[64]; /* texts NUL-terminated, sizes include the terminator */
    char auth_name[256];
    int32_t auth_srid;  /* 0 when the row has none */
    COORDREF *coordref; /* origins, units, text and srid; owned by the record */
} VE_SPATIALREF;

#ifdef __cplusplus
}
#endif

#endif
