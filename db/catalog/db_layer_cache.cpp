// The process's layer cache (db_layer_cache_internal.h): its creation for the instance
// open and its release for the instance close. Entries are separate heap
// records so that a LAYER pointer handed to a caller stays valid while the
// table grows.
#include "db/catalog/db_layer_cache_internal.h"

#include <stdlib.h>

#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

static DB_LAYER_CACHE *S_cache;

static void S_free_entry(LAYER *entry)
{
    if (entry == nullptr)
        return;
    if (entry->coordref != nullptr) {
        free(entry->coordref->srtext);
        entry->coordref->srtext = nullptr;
        MoxCoordRefFree(entry->coordref);
    }
    free(entry);
}

// A zeroed entry with its coordinate reference and text; *out null on failure.
static int32_t S_new_entry(LAYER **out)
{
    *out = nullptr;
    LAYER *entry = static_cast<LAYER *>(calloc(1, sizeof(LAYER)));
    if (entry == nullptr)
        return ZE_OUT_OF_MEMORY;
    entry->layer_id = -1;
    int32_t rc = MoxCoordRefCreate(&entry->coordref);
    if (rc != 0) {
        entry->coordref = nullptr;
        S_free_entry(entry);
        return VES_map_shape_error_to_zel(rc);
    }
    entry->coordref->srtext = static_cast<char *>(calloc(1, DB_LAYER_CACHE_SRTEXT_SIZE));
    if (entry->coordref->srtext == nullptr) {
        S_free_entry(entry);
        return ZE_OUT_OF_MEMORY;
    }
    *out = entry;
    return 0;
}

static void S_free_cache(DB_LAYER_CACHE *cache)
{
    if (cache == nullptr)
        return;
    if (cache->slots != nullptr) {
        int32_t used = cache->blocks_in_use * DB_LAYER_CACHE_BLOCK;
        for (int32_t i = 0; i < used && i < cache->capacity; i++)
            S_free_entry(cache->slots[i]);
        free(cache->slots);
    }
    free(cache->stamps);
    free(cache);
}

int32_t db_layer_cache_init(DB_INSTANCE *, int32_t size)
{
    // A second open would otherwise lose the first cache.
    db_layer_cache_free(nullptr);
    int32_t capacity = size < DB_LAYER_CACHE_BLOCK ? DB_LAYER_CACHE_BLOCK : size;
    DB_LAYER_CACHE *cache = static_cast<DB_LAYER_CACHE *>(calloc(1, sizeof(DB_LAYER_CACHE)));
    if (cache == nullptr)
        return ZE_OUT_OF_MEMORY;
    cache->capacity = capacity;
    cache->slots = static_cast<LAYER **>(calloc(static_cast<size_t>(capacity), sizeof(LAYER *)));
    cache->stamps = static_cast<int32_t *>(calloc(static_cast<size_t>(capacity), sizeof(int32_t)));
    if (cache->slots == nullptr || cache->stamps == nullptr) {
        S_free_cache(cache);
        return ZE_OUT_OF_MEMORY;
    }
    // The block counts as in use from its first entry, so a failure frees
    // exactly the entries made.
    cache->blocks_in_use = 1;
    for (int32_t i = 0; i < DB_LAYER_CACHE_BLOCK; i++) {
        int32_t rc = S_new_entry(&cache->slots[i]);
        if (rc != 0) {
            S_free_cache(cache);
            return rc;
        }
    }
    S_cache = cache;
    return 0;
}

void db_layer_cache_free(DB_INSTANCE *)
{
    S_free_cache(S_cache);
    S_cache = nullptr;
}

DB_LAYER_CACHE *db_layer_cache_get(void)
{
    return S_cache;
}
