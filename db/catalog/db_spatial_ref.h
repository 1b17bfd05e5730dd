// Spatial references for the host: the rows of SPATIAL_REFERENCES created,
// altered, deleted and read as VE_SPATIALREF records
// (base/util/ve_spatialref.h). Two coordinate references are the same
// spatial reference when their false origins and units are equal as doubles
// and their texts are equal; a row without text holds "UNKNOWN".
#ifndef DB_SPATIAL_REF_H
#define DB_SPATIAL_REF_H

#include <stdint.h>

#include "base/util/ve_spatialref.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Stores the record as a new row numbered max(srid) + 1 (1 for an empty
 * table) under an exclusive lock held until the row is committed. The
 * record's srid receives the new srid. Returns 0; -254 with the record's
 * srid set to the existing row's when an equal row exists (nothing added);
 * -65 for a null record or coordinate reference; -51 (connection's extended
 * error record filled); the insert's mapped failure (-254 also when the
 * DBMS refuses a duplicate key), after which the srid is 0; -51 when the
 * row cannot be committed (rolled back, the srid as the caller had it). */
ZEL_API int32_t DB_spatial_ref_create(DB_INSTANCE *instance, VE_SPATIALREF *spatial_ref);

/* Replaces every column of the row of the record's srid; committed. Returns
 * 0; -255 when no row has the srid; -256 when a layer uses it; -65; -51
 * (also when the commit fails, the update then rolled back); or the
 * update's mapped failure. */
ZEL_API int32_t DB_spatial_ref_alter(DB_INSTANCE *instance, const VE_SPATIALREF *spatial_ref);

/* Deletes the row of the srid; committed. Returns 0; -255; -256; -51 (also
 * when the commit fails, the delete then rolled back). */
ZEL_API int32_t DB_spatial_ref_delete(DB_INSTANCE *instance, int32_t srid);

/* Reads the row of the srid into the record. The coordinate reference the
 * record held (one made by MoxCoordRefCreate with a heap text, or null) is
 * freed and replaced by a new one (text buffer of 1024 bytes,
 * NULL or "UNKNOWN" text read as none, trailing blanks cut, rounding values
 * computed from the units); the caller frees it with MoxCoordRefFree.
 * Returns 0; -255; -65; -12; -51. */
ZEL_API int32_t DB_spatial_ref_get_info(DB_INSTANCE *instance, int32_t srid,
                                        VE_SPATIALREF *spatial_ref);

/* Reads every row into one heap block of *count consecutive records (null
 * when there is none). The caller frees each record's coordinate reference
 * with MoxCoordRefFree and the block with free. Returns 0; -65; -12; -51;
 * nothing is handed out on failure. */
ZEL_API int32_t DB_spatial_ref_get_info_list(DB_INSTANCE *instance, VE_SPATIALREF **list,
                                             int32_t *count);

#ifdef __cplusplus
}
#endif

#endif
