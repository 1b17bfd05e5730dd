// The library's side of a layer's catalogue rows (db_layer_def.h): the
// geometry type of an entity mask, which the data streams and the layer DDL
// share, and the checks of a view layer against its base table's layer.
#ifndef DB_LAYER_DEF_INTERNAL_H
#define DB_LAYER_DEF_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_layer_def.h"

/* Geometry type codes of GEOMETRY_COLUMNS.geometry_type. */
#define DB_GEOMETRY_MIXED 0
#define DB_GEOMETRY_POINT 1
#define DB_GEOMETRY_LINESTRING 3
#define DB_GEOMETRY_POLYGON 5
#define DB_GEOMETRY_MULTIPOINT 7
#define DB_GEOMETRY_MULTILINESTRING 9
#define DB_GEOMETRY_MULTIPOLYGON 11

#ifdef __cplusplus
extern "C" {
#endif

/* The geometry type of an entity mask: one kind of shape (points, lines,
 * areas) gives its type, multi when the mask allows multipart shapes; two
 * kinds or none give 0. */
void db_layer_mask_to_geometry_type(uint32_t mask, int32_t *type);

/* 1 when the DBMS catalogue lists the owner's table as a view, 0 when as a
 * table; -37 when it lists neither; -51 (rolled back, connection's extended
 * error record filled); -65; -66 for a name longer than its field. */
int32_t db_is_layer_a_view(const char *owner, const char *table);

/* Compares a view layer with the layer of its base table: 0 when they
 * agree or the base table has no layer; -14 when the view has no base
 * table row; -33 for other grid sizes; -24 for flags the base layer does
 * not have (or a storage flag that differs); -138 for another coordinate
 * reference; -51; -65. */
int32_t db_layer_check_view_layer(const LAYER *view);

#ifdef __cplusplus
}
#endif

#endif
