// Layer records by id. The layer cache and its read of the LAYERS and
// SPATIAL_REFERENCES rows are not here yet: until they are, no layer is found
// and the name builders fall back to bare table names.
#include "db/catalog/db_layer_info.h"

#include "base/util/zel_errors.h"

int32_t DB_layer_get_info(DB_INSTANCE *, DB_STREAM *, int32_t, LAYER **layer)
{
    if (!layer)
        return ZE_NULL_POINTER;
    *layer = nullptr;
    return ZE_LAYER_NOT_FOUND;
}

int32_t DB_layer_get_info_by_table_name(DB_INSTANCE *, DB_STREAM *, const char *table, const char *,
                                        const char *, LAYER **layer)
{
    if (!layer)
        return ZE_NULL_POINTER;
    *layer = nullptr;
    if (!table)
        return ZE_NULL_POINTER;
    return ZE_LAYER_NOT_FOUND;
}
