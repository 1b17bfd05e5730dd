// The library's side of the layer records: the layer SELECT and its 27 bound
// columns, the single-row fetch every layer reader goes through, the current
// user's privilege mask on a table (the access-info statement), a layer's
// privileges, the by-name read without the cache, and the copy of a layer
// record. The layer cache (db_layer_cache_internal.h) and the later layer,
// registration and raster code build on these.
#ifndef DB_LAYER_INFO_INTERNAL_H
#define DB_LAYER_INFO_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include <string>

#include "db/catalog/db_layer_info.h"
#include "mox/mox.h"

// The select list of every layer read; the FROM clause follows it and always
// joins "ly.srid = sr.srid".
#define DB_LAYER_SELECT                                                                            \
    "SELECT layer_id, ly.description, minx, miny, maxx, maxy, eflags, layer_mask, "                \
    "database_name, table_name, owner, spatial_column, cdate, layer_config, "                      \
    "optimal_array_size, stats_date, minimum_id, base_layer_id, falsex, falsey, xyunits, "         \
    "falsez,zunits, falsem, munits, srtext, ly.srid"

// Modes of db_layer_get_info and db_layer_cache_put.
#define DB_LAYER_REFRESH 0 // refresh the cached entry of the layer
#define DB_LAYER_INSERT 1  // find the layer's entry or make one

// Length cells of the columns with a NULL rule; every other column writes
// into `shared`, which is never read.
struct DB_LAYER_INDICATORS {
    SQLLEN description;
    SQLLEN database_name;
    SQLLEN layer_config;
    SQLLEN optimal_array_size;
    SQLLEN stats_date;
    SQLLEN minimum_id;
    SQLLEN shared;
};

// A layer record with its own coordinate reference and text buffer, for
// binding the layer SELECT: initialise once (it points into itself, so it
// must not be moved afterwards) and clear before every fetch, so that a NULL
// in a column without a NULL rule reads as 0 or an empty text.
struct DB_LAYER_ROW {
    LAYER layer;
    COORDREF coordref;
    char srtext[LAYER_SRTEXT_SIZE];
    DB_LAYER_INDICATORS indicators;
};
void db_layer_row_init(DB_LAYER_ROW *row);
void db_layer_row_clear(DB_LAYER_ROW *row);

// "<DB_LAYER_SELECT> FROM <layers> ly,<separator><spatial references> sr":
// the catalogue tables named by the access core. separator is " " or "".
std::string db_layer_select_from(DB_INSTANCE *instance, const char *separator);

// Binds the 27 columns of the layer SELECT into the record (which must own a
// coordinate reference with a LAYER_SRTEXT_SIZE text buffer) and the cells.
// database_name is emptied first. 0; -65 for a missing record, reference or
// text; -51 with the connection's extended error record filled and the
// statement freed.
int32_t db_layer_bind_info(SQLHSTMT *hstmt, LAYER *layer, DB_LAYER_INDICATORS *indicators);

// The NULL rules of a fetched row: NULL description, layer_config and (with
// database_rule) database_name read empty, NULL optimal_array_size and
// stats_date 0, a NULL or 0 minimum_id 1; srtext trimmed of blanks, tabs and
// line breaks at both ends; grid sizes 0.
void db_layer_apply_null_rules(LAYER *layer, const DB_LAYER_INDICATORS *indicators,
                               bool database_rule);

// Block copy of a layer record that keeps the destination's coordinate
// reference: its values are copied into the destination's own reference and
// the text into its buffer (at most LAYER_SRTEXT_SIZE bytes). A destination
// without a reference gets the values only.
void db_layer_copy(LAYER *destination, const LAYER *source);

// Runs one complete layer SELECT and fetches its first row. With into_cache 0
// the row is copied into *layer (which must own its coordinate reference);
// with 1 it is handed to the layer cache in the mode given and *layer
// receives the cache's record. Returns 0; -20 no row; -25 no row with
// SQLSTATE S0002; -51 (the stream's or the connection's record filled);
// -65; or the cache's failure.
int32_t db_layer_get_info(DB_INSTANCE *instance, DB_STREAM *stream, const char *sql, LAYER **layer,
                          int32_t mode, int32_t into_cache);

// The current user's privilege mask on a table (database:owner.table or
// shorter, the current user filling a missing owner): 30 for the owner
// without a query, else the OR of the letters of every systabauth row of the
// user, PUBLIC and the user's roles. The statement is prepared on first use
// and kept until db_access_info_close. Returns 0; -25 when the mask is 0; -51
// (the stream's or the connection's record filled, the statement freed); -65;
// -66 for a name part longer than its field.
int32_t db_get_access_info_table(DB_INSTANCE *instance, DB_STREAM *stream, const char *table,
                                 int32_t *mask);
// Frees the kept access-info statement, if any.
void db_access_info_close(DB_INSTANCE *instance);

// Fills layer->privileges: the mask on the layer's table, limited to SELECT
// for a layer whose eflags hold LAYER_SELECT_ONLY. Closes the access-info
// statement. 0; -25 without SELECT; -65; or the mask reader's failure.
int32_t db_layer_info_get_privileges(DB_INSTANCE *instance, DB_STREAM *stream, LAYER *layer);

// Reads the layer of the table (the default owner filling a missing owner)
// and, when given, of that spatial column straight from the catalogue into
// the caller's record, without the cache and without privileges; grid_size
// and privileges stay as the caller had them. 0; -20; -25 (no row with
// SQLSTATE S0002); -51 (connection's record filled); -65; -66 for a name
// longer than its field.
int32_t db_layer_get_info_by_name_no_cache(const char *table, const char *spatial_column,
                                           const char *default_owner, LAYER *layer);

#endif
