// Raster column records by id and by table. The read of the RASTER_COLUMNS
// row is not here yet: until it is, no raster column is found, the name
// builders fall back to bare table names and a described table shows no
// raster column.
#include "db/catalog/db_rastercolumn_info.h"

#include "base/util/zel_errors.h"

int32_t DB_rastercolumn_get_info_by_id(DB_INSTANCE *, DB_STREAM *, int32_t, RASTERCOLUMN *info)
{
    if (!info)
        return ZE_NULL_POINTER;
    return ZE_RASTERCOLUMN_NOT_FOUND;
}

int32_t DB_rastercolumn_get_info_by_name(DB_INSTANCE *, DB_STREAM *, const char *table,
                                         const char *, const char *, RASTERCOLUMN *info)
{
    if (!table || !info)
        return ZE_NULL_POINTER;
    return ZE_RASTERCOLUMN_NOT_FOUND;
}
