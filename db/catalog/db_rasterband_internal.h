// The library's side of raster bands: the statistics of a band rebuilt from
// their stored form.
#ifndef DB_RASTERBAND_INTERNAL_H
#define DB_RASTERBAND_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_rasterband.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the band's stored statistics and attaches them to the record,
 * freeing the statistics it held. 0; -311 when they cannot be rebuilt; -4
 * when none are stored; or the read's code. */
int32_t db_rasterband_get_stats(DB_INSTANCE *instance, RASTERBAND *band);

#ifdef __cplusplus
}

#include <string>

/* One of a raster column's table-name makers (db_names_internal.h). */
typedef int32_t (*DB_TABLE_NAMER)(DB_STREAM *, int32_t, char *, size_t);

/* The raster column's table that namer names, into *out, checked before it
 * goes into SQL. 0, the maker's failure, or the name check's code. */
int32_t db_rasterband_table(DB_TABLE_NAMER namer, DB_STREAM *stream, int32_t rastercolumn_id,
                            std::string *out);
#endif

#endif
