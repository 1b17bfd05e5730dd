// The process's one layer cache: LAYER records read once and kept, each with
// its coordinate reference, and the change stamp each was read at. The
// instance open creates it and the instance close frees it; the layer look-ups
// fill it.
#ifndef DB_LAYER_CACHE_INTERNAL_H
#define DB_LAYER_CACHE_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_layer.h"

#define DB_LAYER_CACHE_BLOCK 5          /* entries are made five at a time */
#define DB_LAYER_CACHE_SRTEXT_SIZE 1024 /* spatial-reference text of an entry */

typedef struct DB_INSTANCE DB_INSTANCE;

typedef struct DB_LAYER_CACHE {
    int32_t capacity; /* slots in the table: max(size asked, 5) */
    LAYER **slots;    /* capacity slots; the first blocks_in_use * 5 hold entries */
    int32_t *stamps;  /* change stamp of each slot's layer when it was read */
    int32_t blocks_in_use;
    int32_t cached; /* entries holding a layer */
} DB_LAYER_CACHE;

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the process's layer cache with room for max(size, 5) layers and a
 * first block of five empty entries, each with a coordinate reference and a
 * zeroed 1024-byte spatial-reference text. A cache already there is freed
 * first. Returns 0; -12; the geometry module's failure mapped to an engine
 * code. A failure leaves no cache. */
int32_t db_layer_cache_init(DB_INSTANCE *instance, int32_t size);
/* Frees every entry with its text and coordinate reference, and the table.
 * Without a cache does nothing. */
void db_layer_cache_free(DB_INSTANCE *instance);
/* The process's cache, or null. */
DB_LAYER_CACHE *db_layer_cache_get(void);

#ifdef __cplusplus
}
#endif

#endif
