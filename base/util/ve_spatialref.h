// The spatial-reference record: one SPATIAL_REFERENCES row with its
// coordinate reference. Read and written by the spatial-reference code
// (db/catalog/db_spatial_ref.h), sent by the channel (srid, description,
// authority name, authority srid, then the coordinate reference).
#ifndef VE_SPATIALREF_H
#define VE_SPATIALREF_H

#include <stdint.h>

#include "base/util/ve_feature.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VE_SPATIALREF {
    int32_t srid;
    char description[64];
    char auth_name[256];
    int32_t auth_srid;  /* 0 when the row holds NULL */
    COORDREF *coordref; /* false origins, units, text and srid; owned by the record */
} VE_SPATIALREF;

#ifdef __cplusplus
}
#endif

#endif
