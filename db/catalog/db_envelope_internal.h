// The library's side of the extent computations (db_envelope.h): the
// restricted SELECT's text, the whole-layer form and the extent of a list of
// row ids.
#ifndef DB_ENVELOPE_INTERNAL_H
#define DB_ENVELOPE_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_envelope.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Builds the restricted SELECT into a heap text (*sql; the caller frees
 * it): the layer's table once, the construct's other tables as given (or
 * their views, named by their bare table names), the log's derived table
 * LF_ and its join, the construct's condition. *where_flag is 1 when the
 * text ends in a WHERE part, else 0. Returns 0; -12; -65 for a null
 * argument; -66 or -322 for a name that cannot go into SQL; the view
 * builder's failure. */
int32_t db_envelope_select_build(DB_INSTANCE *instance, const LAYER *layer,
                                 const VE_SQL_CONSTRUCT *construct, DB_MV_QUERY_INFO *info,
                                 const LOGFILE *log, int32_t *where_flag, char **sql);

/* The extent of every row of the layer (read through the layer cache), Z
 * range 0, 0. Returns 0, the layer read's failure, or
 * DB_spix_get_envelope's code. */
int32_t db_layer_envelope_whole(int32_t layer_id, VE_ENVELOPE *envelope, double *z_low,
                                double *z_high);

/* The extent of the layer's rows with the given row ids (VE_ROW_ID) that
 * the construct selects. An empty list runs nothing and leaves the empty
 * envelope. Codes as DB_layer_calculate_envelope; -66 for a negative
 * count. */
int32_t db_envelope_get_by_id_list(DB_INSTANCE *instance, const LAYER *layer, int32_t count,
                                   const int32_t *ids, const VE_SQL_CONSTRUCT *construct,
                                   VE_ENVELOPE *envelope, double *z_low, double *z_high);

#ifdef __cplusplus
}

#include <string>

/* Appends the FROM item of the versioned table at the description's
 * position to out: its view text, the view named by the table's bare name
 * so that "table.column" reads from it. Returns 0, the name parser's
 * failure, -66 for a bare name too long for an alias, or the view builder's
 * failure. */
int32_t db_envelope_view_item(DB_INSTANCE *instance, DB_MV_QUERY_INFO *info, const char *table,
                              const char *default_owner, int32_t position, std::string &out);
#endif

#endif
