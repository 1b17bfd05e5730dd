// The process's one layer cache: the LAYER records of the layers the process
// has used, each with its coordinate reference, the current user's privileges
// and the change stamp it was read at. The instance open creates it and the
// instance close frees it; DB_layer_get_info and its kin (db_layer_info.h)
// read through it. An entry is fresh while the host's change stamp of its
// layer is unchanged; a moved stamp reloads that entry on its next look-up.
#ifndef DB_LAYER_CACHE_INTERNAL_H
#define DB_LAYER_CACHE_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_layer.h"

#define DB_LAYER_CACHE_BLOCK 5 /* entries are made five at a time */

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

/* Slots 0 .. 5 x blocks - 1 exist, each a separate heap LAYER (so a record
 * handed out stays where it is while the table grows) with its coordinate
 * reference and a LAYER_SRTEXT_SIZE text buffer. A slot is free when its
 * layer_id is -1 or it lies at or beyond count. */
typedef struct DB_LAYER_CACHE {
    int32_t
        count; /* one more than the highest slot filled; lowered only when the last is removed */
    LAYER **entries;  /* capacity pointers; null beyond the existing slots */
    int32_t capacity; /* max(size asked, 5) at creation; grown with the slots */
    int32_t blocks;   /* blocks of five slots made */
    int32_t *stamps;  /* change stamp of each existing slot when it was filled; 0 when removed */
} DB_LAYER_CACHE;

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the process's layer cache: room for max(size, 5) pointers and a
 * first block of five empty slots. A cache already there is freed first.
 * Returns 0; -12; the geometry module's failure mapped to an engine code. A
 * failure leaves no cache. */
int32_t db_layer_cache_init(DB_INSTANCE *instance, int32_t size);
/* Frees every slot with its text and coordinate reference, and the tables.
 * Without a cache does nothing. */
void db_layer_cache_free(DB_INSTANCE *instance);
/* The process's cache, or null. */
DB_LAYER_CACHE *db_layer_cache_get(void);

/* Stores a layer record fetched from the catalogue. Insert mode
 * (DB_LAYER_INSERT): a fresh entry of the layer is handed out as it is;
 * otherwise the record, with the current user's privileges and its rounding
 * values, goes into the layer's stale entry, the first removed slot, or a new
 * slot. Refresh mode (DB_LAYER_REFRESH): the first entry with the record's
 * database, owner, table and spatial column, or with its layer_id and cdate,
 * takes the record's values (keeping its rounding values); *out is null when
 * none matched. Returns 0; -1 without a cache; -12; the privilege read's
 * failure (insert mode: nothing stored). */
int32_t db_layer_cache_put(DB_INSTANCE *instance, DB_STREAM *stream, const LAYER *fetched,
                           LAYER **out, int32_t mode);
/* Puts the record in insert mode, makes the cache's record the stream's
 * layer and adds 1 to *inserted when a slot was filled from it. Codes as
 * db_layer_cache_put; -65 for a null stream. */
int32_t db_layer_cache_get_by_id(DB_INSTANCE *instance, DB_STREAM *stream, const LAYER *fetched,
                                 int16_t *inserted);
/* Forgets the layer: its slot is emptied and may be reused. Always 0. */
int32_t db_layer_cache_remove(DB_INSTANCE *instance, int32_t layer_id);
/* 1 when an entry has that owner, table and spatial column (the column
 * folded to lower case; null matches any) and, when database is not null or
 * empty, that database; else 0. */
int32_t db_layer_cache_contains(DB_INSTANCE *instance, const char *database, const char *owner,
                                const char *table, const char *spatial_column);
/* 1 when owners and tables are equal and both databases are null or both
 * given and equal; 0 otherwise. */
int32_t db_names_equal(const char *owner1, const char *table1, const char *database1,
                       const char *owner2, const char *table2, const char *database2);
/* The layer's change stamp: the host's callback, else the clock (seconds). */
int32_t db_get_current_time(DB_INSTANCE *instance, int32_t layer_id);

#ifdef __cplusplus
}
#endif

#endif
