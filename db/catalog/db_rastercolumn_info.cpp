// Raster column records by id. The read of the RASTER_COLUMNS row is not here
// yet: until it is, no raster column is found and the name builders fall
// back to bare table names.
#include "db/catalog/db_rastercolumn_info.h"

#include "base/util/zel_errors.h"

int32_t DB_rastercolumn_get_info_by_id(DB_INSTANCE *, DB_STREAM *, int32_t, RASTERCOLUMN *info)
{
    if (!info)
        return ZE_NULL_POINTER;
    return ZE_RASTERCOLUMN_NOT_FOUND;
}
