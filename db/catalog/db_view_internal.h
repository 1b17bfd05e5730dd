// The steps of a view's creation that find its layer and raster columns.
#ifndef DB_VIEW_INTERNAL_H
#define DB_VIEW_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_view.h"

// What a view's columns turned out to be: at most one layer column and one
// raster column, each with the view's name for it (DB_VIEW_COLUMN_NAME_SIZE
// bytes each). The ids are 0 until found.
struct DB_VIEW_FOUND {
    int32_t *layer_id;
    char *spatial_column;
    int32_t *rastercolumn_id;
    char *raster_column;
};

// The view's names for its columns: count names, or none.
struct DB_VIEW_NAMES {
    int32_t count;
    const char *const *names;
};

// Looks every select expression up against the FROM tables. 0, or the first
// result of a column check other than 0 and -226.
int32_t db_view_find_spatial_columns(int16_t select_column_count, const DB_VIEW_NAMES &view_names,
                                     const char *const *select_columns,
                                     const VE_SQL_CONSTRUCT *from, const DB_VIEW_FOUND &found);

// Looks the column of the table (the owner filling the table's owner) up as
// a layer's spatial column, then as a raster column. 0 when it is one (the
// view's name for it, or the column's own, stored); -226 when it is
// neither; -133 or -247 when a second one of its kind is found; the raster
// look-up's failure. Any other failure of the layer look-up gives 0.
int32_t db_view_check_column(const char *table, const char *column, const char *owner,
                             const DB_VIEW_FOUND &found, const char *view_column);

// Checks every column of the table in turn until one is a layer or raster
// column. *index is the view's column of the first; with view names it
// advances by the table's column count less one. 0; -226 when no column is
// one; a describe or check failure.
int32_t db_view_expand_star(const char *database, const char *table, const char *owner,
                            const DB_VIEW_FOUND &found, const DB_VIEW_NAMES &view_names,
                            int32_t *index);

#endif
