// The process's layer cache (db_layer_cache_internal.h) and the exported
// layer readers that go through it. A look-up scans the slots in use and asks
// the host's change stamp of the layer found; only a miss or a moved stamp
// reaches the catalogue, through the layer SELECT of db_layer_info.cpp.
#include "db/catalog/db_layer_cache_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <memory>
#include <new>
#include <string>

#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "mox/mox.h"

static DB_LAYER_CACHE *S_cache;

// ---- slots --------------------------------------------------------------------------

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

// A zeroed free slot with its coordinate reference and text; *out null on
// failure.
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
    entry->coordref->srtext = static_cast<char *>(calloc(1, LAYER_SRTEXT_SIZE));
    if (entry->coordref->srtext == nullptr) {
        S_free_entry(entry);
        return ZE_OUT_OF_MEMORY;
    }
    *out = entry;
    return 0;
}

static int32_t S_existing(const DB_LAYER_CACHE *cache)
{
    return cache->blocks * DB_LAYER_CACHE_BLOCK;
}

static void S_free_cache(DB_LAYER_CACHE *cache)
{
    if (cache == nullptr)
        return;
    if (cache->entries != nullptr) {
        for (int32_t i = 0; i < S_existing(cache) && i < cache->capacity; i++)
            S_free_entry(cache->entries[i]);
        free(cache->entries);
    }
    free(cache->stamps);
    free(cache);
}

// Makes the five slots of the next block (the pointer table already has
// room for them). A block is made whole or not at all: a failure frees the
// slots it made, so every slot of a counted block exists.
static int32_t S_fill_block(DB_LAYER_CACHE *cache)
{
    int32_t first = S_existing(cache);
    for (int32_t i = first; i < first + DB_LAYER_CACHE_BLOCK; i++) {
        int32_t rc = S_new_entry(&cache->entries[i]);
        if (rc == 0)
            continue;
        for (int32_t made = first; made < i; made++) {
            S_free_entry(cache->entries[made]);
            cache->entries[made] = nullptr;
        }
        return rc;
    }
    cache->blocks++;
    return 0;
}

// Grows the cache by one block of five slots.
static int32_t S_grow(DB_LAYER_CACHE *cache)
{
    int32_t total = S_existing(cache) + DB_LAYER_CACHE_BLOCK;
    if (total > cache->capacity) {
        LAYER **entries = static_cast<LAYER **>(
            realloc(cache->entries, static_cast<size_t>(total) * sizeof(LAYER *)));
        if (entries == nullptr)
            return ZE_OUT_OF_MEMORY;
        for (int32_t i = cache->capacity; i < total; i++)
            entries[i] = nullptr;
        cache->entries = entries;
        cache->capacity = total;
    }
    int32_t *stamps = static_cast<int32_t *>(
        realloc(cache->stamps, static_cast<size_t>(total) * sizeof(int32_t)));
    if (stamps == nullptr)
        return ZE_OUT_OF_MEMORY;
    for (int32_t i = S_existing(cache); i < total; i++)
        stamps[i] = 0;
    cache->stamps = stamps;
    return S_fill_block(cache);
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
    cache->entries = static_cast<LAYER **>(calloc(static_cast<size_t>(capacity), sizeof(LAYER *)));
    cache->stamps = static_cast<int32_t *>(calloc(DB_LAYER_CACHE_BLOCK, sizeof(int32_t)));
    int32_t rc = cache->entries == nullptr || cache->stamps == nullptr ? ZE_OUT_OF_MEMORY
                                                                       : S_fill_block(cache);
    if (rc != 0) {
        S_free_cache(cache);
        return rc;
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

int32_t db_get_current_time(DB_INSTANCE *, int32_t layer_id)
{
    return db_instance_layer_stamp(layer_id);
}

// ---- copies into a slot ----------------------------------------------------------------

static void S_copy_text(char *to, const char *from, size_t size)
{
    size_t n = strnlen(from, size - 1);
    memmove(to, from, n);
    to[n] = '\0';
}

// The stored values of a fetched record: everything but the rounding and
// half-unit values of its coordinate reference.
static void S_copy_stored(LAYER *slot, const LAYER *from)
{
    slot->layer_id = from->layer_id;
    memcpy(slot->grid_size, from->grid_size, sizeof(slot->grid_size));
    slot->minx = from->minx;
    slot->miny = from->miny;
    slot->maxx = from->maxx;
    slot->maxy = from->maxy;
    slot->eflags = from->eflags;
    slot->layer_mask = from->layer_mask;
    slot->cdate = from->cdate;
    slot->privileges = from->privileges;
    slot->optimal_array_size = from->optimal_array_size;
    slot->stats_date = from->stats_date;
    slot->minimum_id = from->minimum_id;
    slot->base_layer_id = from->base_layer_id;
    S_copy_text(slot->database_name, from->database_name, sizeof(slot->database_name));
    S_copy_text(slot->description, from->description, sizeof(slot->description));
    S_copy_text(slot->table_name, from->table_name, sizeof(slot->table_name));
    S_copy_text(slot->owner, from->owner, sizeof(slot->owner));
    S_copy_text(slot->spatial_column, from->spatial_column, sizeof(slot->spatial_column));
    S_copy_text(slot->layer_config, from->layer_config, sizeof(slot->layer_config));
    COORDREF *to = slot->coordref;
    const COORDREF *cr = from->coordref;
    to->falsex = cr->falsex;
    to->falsey = cr->falsey;
    to->xyunits = cr->xyunits;
    to->falsez = cr->falsez;
    to->zunits = cr->zunits;
    to->falsem = cr->falsem;
    to->munits = cr->munits;
    to->srid = cr->srid;
    S_copy_text(to->srtext, cr->srtext != nullptr ? cr->srtext : "", LAYER_SRTEXT_SIZE);
}

// The rounding and half unit of one axis; a non-positive unit gives 0.0.
static void S_rounding(double units, double *rounding, double *half_unit)
{
    MoxsCalcCRound(units, rounding);
    MoxsCalcHalfSU(*rounding, half_unit);
}

// Stores a record in a slot with its rounding values and stamps it.
static void S_store(DB_LAYER_CACHE *cache, int32_t index, const LAYER *from)
{
    LAYER *slot = cache->entries[index];
    S_copy_stored(slot, from);
    COORDREF *cr = slot->coordref;
    S_rounding(cr->xyunits, &cr->xy_rounding, &cr->xy_half_unit);
    S_rounding(cr->zunits, &cr->z_rounding, &cr->z_half_unit);
    S_rounding(cr->munits, &cr->m_rounding, &cr->m_half_unit);
    cache->stamps[index] = db_get_current_time(nullptr, slot->layer_id);
}

static bool S_same(const char *a, const char *b, size_t size)
{
    return strncmp(a, b, size) == 0;
}

// ---- look-ups ----------------------------------------------------------------------

static int32_t S_find_id(const DB_LAYER_CACHE *cache, int32_t layer_id)
{
    if (layer_id == -1)
        return -1;
    for (int32_t i = 0; i < cache->count; i++)
        if (cache->entries[i]->layer_id == layer_id)
            return i;
    return -1;
}

static bool S_fresh(const DB_LAYER_CACHE *cache, int32_t index)
{
    return cache->stamps[index] == db_get_current_time(nullptr, cache->entries[index]->layer_id);
}

static std::string S_by_id_sql(DB_INSTANCE *instance, int32_t layer_id)
{
    return db_layer_select_from(instance, " ") +
           " WHERE ly.layer_id = " + std::to_string(layer_id) + " AND ly.srid = sr.srid";
}

// "... WHERE ly.srid = sr.srid[ AND ly.database_name = 'd'] AND ly.table_name
// = 't'[ AND spatial_column = 'c'][ AND ly.owner = 'o']"
static std::string S_by_names_sql(DB_INSTANCE *instance, const char *database, const char *owner,
                                  const char *table, const char *column)
{
    std::string sql = db_layer_select_from(instance, " ") + " WHERE ly.srid = sr.srid";
    if (database[0] != '\0')
        sql += " AND ly.database_name = '" + db_quote_literal(database) + "'";
    sql += " AND ly.table_name = '" + db_quote_literal(table) + "'";
    if (column != nullptr)
        sql += " AND spatial_column = '" + db_quote_literal(column) + "'";
    if (owner[0] != '\0')
        sql += " AND ly.owner = '" + db_quote_literal(owner) + "'";
    return sql;
}

// Reloads a stale entry: the row is read and its privileges with it, then
// stored in refresh mode; a failure leaves the entry as it was. A row that
// refreshes no entry (its names and creation date both changed) fails with
// -20, so that the caller reads the layer afresh instead of handing out the
// stale record. *out gets the refreshed entry.
static int32_t S_reload(DB_INSTANCE *instance, DB_STREAM *stream, const std::string &sql,
                        LAYER **out)
{
    DB_LAYER_ROW row;
    db_layer_row_init(&row);
    LAYER *target = &row.layer;
    int32_t rc = db_layer_get_info(instance, stream, sql.c_str(), &target, DB_LAYER_REFRESH, 0);
    if (rc == 0)
        rc = db_layer_info_get_privileges(instance, stream, &row.layer);
    if (rc != 0)
        return rc;
    rc = db_layer_cache_put(instance, stream, &row.layer, out, DB_LAYER_REFRESH);
    if (rc == 0 && *out == nullptr)
        rc = ZE_LAYER_NOT_FOUND;
    return rc;
}

// The cached record of the layer, reloaded when its stamp moved; null when
// the layer is not cached or its reload failed.
static LAYER *S_lookup_id(DB_INSTANCE *instance, DB_STREAM *stream, int32_t layer_id)
{
    DB_LAYER_CACHE *cache = S_cache;
    if (cache == nullptr)
        return nullptr;
    int32_t index = S_find_id(cache, layer_id);
    if (index < 0)
        return nullptr;
    if (S_fresh(cache, index))
        return cache->entries[index];
    LAYER *refreshed = nullptr;
    S_reload(instance, stream, S_by_id_sql(instance, layer_id), &refreshed);
    return refreshed;
}

// ---- put ---------------------------------------------------------------------------

static int32_t S_put_insert(DB_INSTANCE *instance, DB_STREAM *stream, const LAYER *fetched,
                            LAYER **out, bool *inserted)
{
    DB_LAYER_CACHE *cache = S_cache;
    int32_t index = S_find_id(cache, fetched->layer_id);
    if (index >= 0 && S_fresh(cache, index)) {
        *out = cache->entries[index];
        return 0;
    }
    // A stale slot of the same layer takes the fetched record, which is the
    // layer's current row: the layer never gets a second slot.
    if (index < 0) {
        for (int32_t i = 0; i < cache->count && index < 0; i++)
            if (cache->entries[i]->layer_id == -1)
                index = i;
        if (index < 0)
            index = cache->count;
    }
    if (index >= S_existing(cache)) {
        int32_t rc = S_grow(cache);
        if (rc != 0)
            return rc;
    }
    // The privileges are read into a copy, so a failure leaves the slot as it was.
    LAYER copy = *fetched;
    int32_t rc = db_layer_info_get_privileges(instance, stream, &copy);
    if (rc != 0)
        return rc;
    S_store(cache, index, &copy);
    if (index >= cache->count)
        cache->count = index + 1;
    *out = cache->entries[index];
    *inserted = true;
    return 0;
}

static void S_put_refresh(const LAYER *fetched, LAYER **out)
{
    DB_LAYER_CACHE *cache = S_cache;
    for (int32_t i = 0; i < cache->count; i++) {
        LAYER *slot = cache->entries[i];
        bool names =
            S_same(slot->database_name, fetched->database_name, sizeof(slot->database_name)) &&
            S_same(slot->owner, fetched->owner, sizeof(slot->owner)) &&
            S_same(slot->table_name, fetched->table_name, sizeof(slot->table_name)) &&
            S_same(slot->spatial_column, fetched->spatial_column, sizeof(slot->spatial_column));
        bool id = slot->layer_id != -1 && slot->layer_id == fetched->layer_id &&
                  slot->cdate == fetched->cdate;
        if (!names && !id)
            continue;
        S_store(cache, i, fetched);
        *out = slot;
        return;
    }
}

static int32_t S_put(DB_INSTANCE *instance, DB_STREAM *stream, const LAYER *fetched, LAYER **out,
                     int32_t mode, bool *inserted)
{
    if (fetched == nullptr || fetched->coordref == nullptr || out == nullptr)
        return ZE_NULL_POINTER;
    *out = nullptr;
    if (S_cache == nullptr)
        return ZE_FAILURE;
    if (mode == DB_LAYER_INSERT)
        return S_put_insert(instance, stream, fetched, out, inserted);
    S_put_refresh(fetched, out);
    return 0;
}

int32_t db_layer_cache_put(DB_INSTANCE *instance, DB_STREAM *stream, const LAYER *fetched,
                           LAYER **out, int32_t mode)
{
    bool inserted = false;
    return S_put(instance, stream, fetched, out, mode, &inserted);
}

int32_t db_layer_cache_get_by_id(DB_INSTANCE *instance, DB_STREAM *stream, const LAYER *fetched,
                                 int16_t *inserted)
{
    if (stream == nullptr)
        return ZE_NULL_POINTER;
    LAYER *layer = nullptr;
    bool filled = false;
    int32_t rc = S_put(instance, stream, fetched, &layer, DB_LAYER_INSERT, &filled);
    if (rc != 0)
        return rc;
    db_stream_set_layer_info(stream, layer);
    if (filled && inserted != nullptr)
        (*inserted)++;
    return 0;
}

// ---- removal and membership ---------------------------------------------------------

int32_t db_layer_cache_remove(DB_INSTANCE *, int32_t layer_id)
{
    DB_LAYER_CACHE *cache = S_cache;
    if (cache == nullptr)
        return 0;
    int32_t index = S_find_id(cache, layer_id);
    if (index < 0)
        return 0;
    LAYER *slot = cache->entries[index];
    COORDREF *coordref = slot->coordref;
    MoxsCoordRefReset(coordref);
    memset(slot, 0, sizeof(*slot));
    slot->coordref = coordref;
    slot->layer_id = -1;
    slot->minimum_id = 1;
    cache->stamps[index] = 0;
    if (index == cache->count - 1)
        cache->count--;
    return 0;
}

int32_t db_names_equal(const char *owner1, const char *table1, const char *database1,
                       const char *owner2, const char *table2, const char *database2)
{
    if ((database1 == nullptr) != (database2 == nullptr))
        return 0;
    if (database1 != nullptr && strcmp(database1, database2) != 0)
        return 0;
    auto text = [](const char *t) { return t != nullptr ? t : ""; };
    return strcmp(text(owner1), text(owner2)) == 0 && strcmp(text(table1), text(table2)) == 0;
}

int32_t db_layer_cache_contains(DB_INSTANCE *, const char *database, const char *owner,
                                const char *table, const char *spatial_column)
{
    DB_LAYER_CACHE *cache = S_cache;
    if (cache == nullptr || owner == nullptr || table == nullptr)
        return 0;
    char column[DB_NAME_COLUMN_SIZE] = "";
    if (spatial_column != nullptr) {
        if (strlen(spatial_column) >= sizeof(column))
            return 0;
        strcpy(column, spatial_column);
        db_identifier_to_lower(nullptr, column, sizeof(column), 0);
    }
    for (int32_t i = 0; i < cache->count; i++) {
        const LAYER *slot = cache->entries[i];
        if (slot->layer_id == -1 || strcmp(slot->owner, owner) != 0 ||
            strcmp(slot->table_name, table) != 0)
            continue;
        // A migrated layer keeps its column in upper case: any case matches.
        if (spatial_column != nullptr && strcasecmp(slot->spatial_column, column) != 0)
            continue;
        if (database != nullptr && database[0] != '\0' &&
            strcmp(slot->database_name, database) != 0)
            continue;
        return 1;
    }
    return 0;
}

// ---- exported readers ---------------------------------------------------------------

int32_t DB_layer_get_info(DB_INSTANCE *instance, DB_STREAM *stream, int32_t layer_id, LAYER **layer)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    *layer = nullptr;
    // Without a cache there is no record to hand out: no query either.
    if (S_cache == nullptr)
        return ZE_FAILURE;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        LAYER *cached = S_lookup_id(instance, stream, layer_id);
        if (cached != nullptr) {
            *layer = cached;
            return 0;
        }
        std::string sql = S_by_id_sql(instance, layer_id);
        return db_layer_get_info(instance, stream, sql.c_str(), layer, DB_LAYER_INSERT, 1);
    });
}

// A coordinate reference with its text buffer for a caller's record that has
// none: the caller owns it afterwards.
static int32_t S_give_coordref(LAYER *layer)
{
    if (layer->coordref != nullptr)
        return layer->coordref->srtext != nullptr ? 0 : ZE_NULL_POINTER;
    COORDREF *coordref = nullptr;
    int32_t rc = MoxCoordRefCreate(&coordref);
    if (rc != 0)
        return VES_map_shape_error_to_zel(rc);
    coordref->srtext = static_cast<char *>(calloc(1, LAYER_SRTEXT_SIZE));
    if (coordref->srtext == nullptr) {
        MoxCoordRefFree(coordref);
        return ZE_OUT_OF_MEMORY;
    }
    layer->coordref = coordref;
    return 0;
}

int32_t DB_layer_view_get_info(DB_INSTANCE *instance, DB_STREAM *stream, int32_t layer_id,
                               LAYER *layer)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        int32_t rc = S_give_coordref(layer);
        if (rc != 0)
            return rc;
        const LAYER *cached = S_lookup_id(instance, stream, layer_id);
        if (cached != nullptr) {
            db_layer_copy(layer, cached);
            return 0;
        }
        std::string sql = S_by_id_sql(instance, layer_id);
        LAYER *target = layer;
        return db_layer_get_info(instance, stream, sql.c_str(), &target, DB_LAYER_INSERT, 0);
    });
}

int32_t DB_layer_get_info_by_table_name(DB_INSTANCE *instance, DB_STREAM *stream, const char *table,
                                        const char *spatial_column, const char *default_owner,
                                        LAYER **layer)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    *layer = nullptr;
    if (table == nullptr)
        return ZE_NULL_POINTER;
    if (S_cache == nullptr)
        return ZE_FAILURE;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE];
        char name[DB_NAME_TABLE_SIZE];
        int32_t rc = db_parse_table_name(instance, table, default_owner, database, owner, name);
        if (rc != 0)
            return rc;
        char column[DB_NAME_COLUMN_SIZE] = "";
        if (spatial_column != nullptr) {
            if (strlen(spatial_column) >= sizeof(column))
                return ZE_INVALID_ARGUMENT;
            strcpy(column, spatial_column);
            db_identifier_to_lower(nullptr, column, sizeof(column), 0);
        }
        const char *wanted = spatial_column != nullptr ? column : nullptr;
        DB_LAYER_CACHE *cache = S_cache;
        for (int32_t i = 0; i < cache->count; i++) {
            const LAYER *slot = cache->entries[i];
            if (slot->layer_id == -1 || strcmp(slot->database_name, database) != 0 ||
                (owner[0] != '\0' && strcmp(slot->owner, owner) != 0) ||
                strcmp(slot->table_name, name) != 0 ||
                (wanted != nullptr && strcasecmp(slot->spatial_column, wanted) != 0))
                continue;
            if (S_fresh(cache, i)) {
                *layer = cache->entries[i];
                return 0;
            }
            LAYER *refreshed = nullptr;
            rc = S_reload(instance, stream,
                          S_by_names_sql(instance, slot->database_name, slot->owner,
                                         slot->table_name, slot->spatial_column),
                          &refreshed);
            if (rc == 0)
                *layer = refreshed;
            return rc;
        }
        std::string sql = S_by_names_sql(instance, database, owner, name, wanted);
        LAYER *found = nullptr;
        rc = db_layer_get_info(instance, stream, sql.c_str(), &found, DB_LAYER_INSERT, 1);
        if (rc == 0)
            *layer = found;
        return rc;
    });
}
