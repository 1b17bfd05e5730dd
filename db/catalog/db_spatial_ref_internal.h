// The srid of a coordinate reference, for the streams, the layer definitions
// and the raster-column definitions: found among the SPATIAL_REFERENCES rows,
// or numbered and inserted.
#ifndef DB_SPATIAL_REF_INTERNAL_H
#define DB_SPATIAL_REF_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_spatial_ref.h"

typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* The srid of the row equal to the coordinate reference. With a stream, the
 * last reference it resolved is answered without a query, and a reference
 * resolved by a query is remembered in the stream. Returns 0 with *srid set;
 * 100 when no row is equal; -51 (connection's extended error record filled);
 * -65 for a null reference or srid; -12 or the geometry module's mapped
 * failure when the stream's copy cannot be made. */
int32_t db_get_srid(DB_INSTANCE *instance, DB_STREAM *stream, const COORDREF *coordref,
                    int32_t *srid);

/* The srid of an equal row, or of a new row numbered max(srid) + 1 and
 * inserted through the catalogue's routines. The routine's lock on the
 * table stays with the caller's transaction. Returns 0; -51 (connection's
 * extended error record filled); the routine's status mapped as every
 * catalogue routine's; -65. */
int32_t db_sp_find_srid(const COORDREF *coordref, int32_t *srid);

/* The same with plain SQL under an exclusive lock; committed (rolled back
 * and the lock released on failure). */
int32_t db_find_srid(const COORDREF *coordref, int32_t *srid);

#ifdef __cplusplus
}
#endif

#endif
