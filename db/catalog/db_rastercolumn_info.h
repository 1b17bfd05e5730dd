// Raster column records read from the RASTER_COLUMNS catalogue table.
#ifndef DB_RASTERCOLUMN_INFO_H
#define DB_RASTERCOLUMN_INFO_H

#include <stdint.h>

#include "base/util/ve_raster.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

// Reads the raster column of the id into the caller's record. Returns 0,
// -226 when no raster column has the id, -65 for a null output, -51 on a
// DBMS failure (extended error record filled).
ZEL_API int32_t DB_rastercolumn_get_info_by_id(DB_INSTANCE *instance, DB_STREAM *stream,
                                               int32_t rastercolumn_id, RASTERCOLUMN *info);

// Reads the raster column of a table (database:owner.table or shorter, the
// default owner filling a missing owner) and, when given, of that column name
// into the caller's record. Returns 0, -226 when the table has no raster
// column, -65 for a null table or output, or a DBMS failure's code.
ZEL_API int32_t DB_rastercolumn_get_info_by_name(DB_INSTANCE *instance, DB_STREAM *stream,
                                                 const char *table, const char *column,
                                                 const char *default_owner, RASTERCOLUMN *info);

#endif
