// Rasters for the host: the rows of a raster column's raster table
// ZEL_RAS_<n> (RASTER, base/util/ve_raster.h) inserted, read, numbered and
// deleted with their bands, their bands' tiles and attached objects. A user
// row points at its raster through the raster column's value; raster_flags,
// which marks a raster no user row references, is written only by the
// raster column's trigger procedure (db_rastercolumn_tables.h).
#ifndef DB_RASTER_H
#define DB_RASTER_H

#include <stdint.h>

#include "base/util/ve_raster.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Inserts the raster's row (an empty description as NULL) and commits. 0;
 * -234 duplicate; -65; -51. */
ZEL_API int32_t DB_raster_def_insert(DB_INSTANCE *instance, const RASTER *raster);
/* Deletes the raster: every tile of each of its bands (committed in batches),
 * then, in one transaction, the bands' attached objects, the band rows and
 * the raster row. A raster that does not exist is no error. 0; -12; the
 * first failure (the rows rolled back; deleted tiles stay deleted). */
ZEL_API int32_t DB_raster_def_delete(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                     int32_t raster_id);
/* Reads one raster; rastercolumn_id is set to the given id in every case.
 * 0; -235 no such raster; -65; -51 (stream's extended error record, else
 * the connection's). */
ZEL_API int32_t DB_raster_get_info_by_id(DB_INSTANCE *instance, DB_STREAM *stream,
                                         int32_t rastercolumn_id, int32_t raster_id,
                                         RASTER *raster);
/* The largest raster id (0 when there is none). 0; -65; -51. */
ZEL_API int32_t DB_raster_get_max_id(DB_INSTANCE *instance, int32_t rastercolumn_id,
                                     uint32_t *max_id);

#ifdef __cplusplus
}
#endif

#endif
