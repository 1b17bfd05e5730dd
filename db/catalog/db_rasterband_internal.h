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
#endif

#endif
