// Marks of a described table (db_table_describe_internal.h). The spatial column comes
// from the layer cache when the layer is cached there, else from the LAYERS
// table; the raster column from the raster column look-up. Column names are
// compared without regard to case, as the DBMS folds them.
#include "db/catalog/db_table_describe_internal.h"

#include <string.h>
#include <strings.h>

#include "base/util/ve_layer.h"
#include "base/util/ve_raster.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_rastercolumn_info.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names.h"
#include "db/core/db_stream_layer_internal.h"

// Copies a fixed-width name without its trailing blanks (CHAR columns come
// back blank-padded).
static void S_copy_trimmed(char *out, size_t size, const char *name, size_t width)
{
    size_t n = strnlen(name, width);
    while (n > 0 && name[n - 1] == ' ')
        n--;
    n = n < size ? n : size - 1;
    memcpy(out, name, n);
    out[n] = '\0';
}

// The column of that name, or null.
static DB_COLUMN_DEF *S_find(int32_t count, DB_COLUMN_DEF *columns, const char *name)
{
    for (int32_t i = 0; i < count; i++) {
        DB_COLUMN_DEF &c = columns[i];
        if (strncasecmp(c.name, name, sizeof(c.name)) == 0)
            return &c;
    }
    return nullptr;
}

int32_t db_table_mark_spatial_columns(int32_t count, DB_COLUMN_DEF *columns, const char *table,
                                      SQLHSTMT)
{
    if (columns == nullptr || table == nullptr)
        return ZE_NULL_POINTER;
    char column[DB_NAME_COLUMN_SIZE] = "";
    char user[DB_USER_NAME_SIZE];
    LAYER *layer = nullptr;
    DB_instance_get_current_user(nullptr, user);
    if (DB_layer_get_info_by_table_name(nullptr, nullptr, table, nullptr, user, &layer) ==
            ZE_SUCCESS &&
        layer != nullptr) {
        S_copy_trimmed(column, sizeof(column), layer->spatial_column,
                       sizeof(layer->spatial_column));
    } else {
        char found[DB_NAME_COLUMN_SIZE] = "";
        int32_t rc = db_get_spatial_column_name(table, found);
        if (rc != ZE_SUCCESS)
            return rc;
        S_copy_trimmed(column, sizeof(column), found, sizeof(found));
    }
    if (column[0] == '\0')
        return ZE_SUCCESS;
    DB_COLUMN_DEF *c = S_find(count, columns, column);
    if (c == nullptr)
        return ZE_SUCCESS;
    if (c->type == VE_BLOB) {
        c->type = VE_SHAPE;
        c->size = 0;
        c->decimal_digits = 0;
    } else if (c->type >= VE_POINT && c->type <= VE_GEOMETRY) {
        c->size = 0;
        c->decimal_digits = 0;
    }
    return ZE_SUCCESS;
}

int32_t db_table_describe_mark_raster(int32_t count, DB_COLUMN_DEF *columns, const char *table)
{
    if (columns == nullptr || table == nullptr)
        return ZE_NULL_POINTER;
    char user[DB_USER_NAME_SIZE];
    RASTERCOLUMN info;
    memset(&info, 0, sizeof(info));
    DB_instance_get_current_user(nullptr, user);
    int32_t rc = DB_rastercolumn_get_info_by_name(nullptr, nullptr, table, nullptr, user, &info);
    if (rc != ZE_SUCCESS)
        return rc;
    char column[DB_NAME_COLUMN_SIZE];
    S_copy_trimmed(column, sizeof(column), info.raster_column, sizeof(info.raster_column));
    if (column[0] == '\0')
        return ZE_SUCCESS;
    for (int32_t i = 0; i < count; i++) {
        DB_COLUMN_DEF &c = columns[i];
        if (c.type == VE_INTEGER && strncasecmp(c.name, column, sizeof(c.name)) == 0) {
            c.type = VE_RASTER;
            c.size = 0;
            c.decimal_digits = 0;
        }
    }
    return ZE_SUCCESS;
}
