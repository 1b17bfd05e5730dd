// User views for the host: a view created from a select list, a FROM list
// and a condition (VE_SQL_CONSTRUCT, base/util/ve_queryinfo.h), with the
// layer and raster column among its columns found for the host, which
// registers view layers from that answer; and views dropped.
#ifndef DB_VIEW_H
#define DB_VIEW_H

#include <stdint.h>

#include "base/util/ve_queryinfo.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Room of the two column-name outputs, terminator included. */
#define DB_VIEW_COLUMN_NAME_SIZE 32

#ifdef __cplusplus
extern "C" {
#endif

/* Creates "CREATE VIEW name [( names )] AS SELECT expressions FROM tables
 * [WHERE condition]" and commits. The view name and view_columns
 * (view_column_count names, or null) must be identifiers, the tables names
 * of the form [database:][owner.]table; the expressions and the condition
 * (which may begin with the word "where") are SQL text and go in as given. Then each select
 * expression is looked up as a layer's spatial column and as a raster column (an expression "t.*"
 * or "*" stands for the columns of its table): the layer's id and the view's name for that column
 * go to *layer_id and spatial_column, the raster column's to
 * *rastercolumn_id and raster_column (each output DB_VIEW_COLUMN_NAME_SIZE
 * bytes, names cut to fit). The ids must be 0 on entry. Returns 0; -133 when
 * the view selects two layer columns, -247 two raster columns, or a look-up's
 * failure, each after the view was dropped again; -37, -38, -238 when the
 * DBMS refuses the view; -51 (connection's extended error record filled);
 * -12; -65 for a null argument; -66 or -322 for a name that is not one. */
ZEL_API int32_t DB_table_create_view(DB_INSTANCE *instance, const char *view_name,
                                     int16_t view_column_count, int16_t select_column_count,
                                     const char *const *view_columns,
                                     const char *const *select_columns,
                                     const VE_SQL_CONSTRUCT *from, int32_t *layer_id,
                                     char *spatial_column, int32_t *rastercolumn_id,
                                     char *raster_column);

/* Drops the view; committed. Returns 0; -22 when it does not exist; -37;
 * -25; -51; -65; -66 or -322 for a name that is not an identifier. */
ZEL_API int32_t DB_view_drop(DB_INSTANCE *instance, const char *view_name);

#ifdef __cplusplus
}
#endif

#endif
