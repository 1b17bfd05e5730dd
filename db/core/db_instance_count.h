// Counts over the catalogue tables of the administrative database (layers,
// raster columns, states, metadata records) and the sets of layer and raster
// column numbers in use, as bit sets (base/util/ve_bitmap.h) in which id n is
// bit n - 1. The hosts size their tables and check capacities with them.
#ifndef DB_INSTANCE_COUNT_H
#define DB_INSTANCE_COUNT_H

#include <stdint.h>

#include "base/util/ve_bitmap.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Each count clears the connection's extended error record, then returns 0
 * (100 when the SELECT gave no row; the count is then 0), -51 with the
 * connection's record filled, or -65 for a null output. */
ZEL_API int32_t DB_instance_get_layer_count(DB_INSTANCE *instance, int32_t *count);
ZEL_API int32_t DB_instance_get_rascol_count(DB_INSTANCE *instance, int32_t *count);
ZEL_API int32_t DB_instance_get_state_count(DB_INSTANCE *instance, int32_t *count);
/* The condition is an SQL condition, with or without a leading WHERE; a null
 * or blank one counts every record. -12 when the text cannot be built. */
ZEL_API int32_t DB_instance_get_metadata_count(DB_INSTANCE *instance, const char *condition,
                                               int32_t *count);
/* Counts the records of the object, its name folded to lower case. */
ZEL_API int32_t DB_instance_get_metadata_count_by_table(DB_INSTANCE *instance,
                                                        const char *object_name, int32_t *count);

/* Hands out a bit set of maximum bits with the bit of every id in use set;
 * the caller frees it with VES_Bitmap_Destroy. 0; -12 when the set cannot be
 * made (also for a maximum below 1); -28 (layers) or -227 (raster columns)
 * for an id outside 1 to maximum; -51 with the connection's record filled;
 * -65 for a null output. On failure *bitmap is null. */
ZEL_API int32_t DB_instance_get_layer_number_bitmap(DB_INSTANCE *instance, int32_t maximum,
                                                    VE_BITMAP **bitmap);
ZEL_API int32_t DB_instance_get_rascol_number_bitmap(DB_INSTANCE *instance, int32_t maximum,
                                                     VE_BITMAP **bitmap);

#endif
