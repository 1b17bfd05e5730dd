// A layer-cache hit (DB_layer_get_info on a cached, fresh layer: a scan of
// the slots in use and one call of the host's change-stamp callback) against
// the baseline, std::unordered_map::find over the same records followed by
// the same stamp call and comparison. Both look up the same ids in the same
// order; the caches hold 5, 20 or 100 layers, read once through the scripted
// CLI before timing. Report the ratio of the two in one run.
#include <stdint.h>
#include <string.h>

#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/util/ve_codepage_internal.h"
#include "bench/bench_layer_catalog.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/core/db_instance_internal.h"
#include "tests/support/scripted_cli.h"

namespace
{

// The host keeps one change counter per layer; nothing changes while timing.
int32_t S_stamp(intptr_t, int32_t layer_id)
{
    return 1000 + layer_id % 7;
}

// An instance whose cache holds layers 1 .. count, read through the
// scripted CLI as a server process reads them.
struct CachedLayers {
    explicit CachedLayers(int count)
    {
        scli::reset();
        scli::set_info_text(SQL_DATABASE_NAME, "gis");
        codepage.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
        codepage.other = codepage.native;
        memset(&config, 0, sizeof(config));
        config.codepage = &codepage;
        config.layer_cache_size = count;
        config.layer_stamp = S_stamp;
        if (DB_instance_open("", "bob", "pw", &config, &instance) != 0)
            return;
        const std::vector<scli::Column> columns = bench_layer_columns();
        for (int id = 1; id <= count; id++) {
            std::string table = "parcels_" + std::to_string(id);
            scli::Row row = {scli::i32(id),
                             scli::varchar("Parcels of district " + std::to_string(id)),
                             scli::f64(0),
                             scli::f64(0),
                             scli::f64(5e5),
                             scli::f64(4e5),
                             scli::i32(LAYER_SPATIAL | LAYER_AREA),
                             scli::i32(0),
                             scli::varchar("gis"),
                             scli::varchar(table),
                             scli::varchar("bob"),
                             scli::varchar("shape"),
                             scli::i32(1000),
                             scli::varchar("DEFAULTS"),
                             scli::i32(100),
                             scli::i32(0),
                             scli::i32(1),
                             scli::i32(0),
                             scli::f64(-1e6),
                             scli::f64(-1e6),
                             scli::f64(1000),
                             scli::f64(0),
                             scli::f64(1),
                             scli::f64(0),
                             scli::f64(1),
                             scli::varchar("PROJCS[\"district grid\"]"),
                             scli::i32(3)};
            scli::on_sql(std::string(DB_LAYER_SELECT) +
                         " FROM zel:zel.Layers ly, zel:zel.spatial_references sr WHERE "
                         "ly.layer_id = " +
                         std::to_string(id) + " AND ly.srid = sr.srid")
                .columns(columns)
                .row(row);
            LAYER *layer = nullptr;
            if (DB_layer_get_info(instance, nullptr, id, &layer) != 0)
                return;
            records[id] = {layer, S_stamp(0, id)};
            ids.push_back(id);
        }
        // Look-ups in a spread order, each id as often as the others.
        for (size_t i = 0; i < ids.size(); i++)
            std::swap(ids[i], ids[(i * 7 + 3) % ids.size()]);
        ready = true;
    }
    ~CachedLayers()
    {
        if (instance != nullptr)
            DB_instance_close(instance);
        scli::reset();
    }

    struct Record {
        LAYER *layer;
        int32_t stamp;
    };
    VE_CODEPAGE codepage{};
    DB_INSTANCE_OPEN_CONFIG config;
    DB_INSTANCE *instance = nullptr;
    std::unordered_map<int32_t, Record> records;
    std::vector<int32_t> ids;
    bool ready = false;
};

void BM_layer_cache_hit(benchmark::State &state)
{
    CachedLayers cached(static_cast<int>(state.range(0)));
    if (!cached.ready) {
        state.SkipWithError("layers could not be cached");
        return;
    }
    size_t next = 0;
    for (auto _ : state) {
        LAYER *layer = nullptr;
        int32_t rc = DB_layer_get_info(cached.instance, nullptr, cached.ids[next], &layer);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(layer);
        next = next + 1 == cached.ids.size() ? 0 : next + 1;
    }
}

void BM_unordered_map_find_baseline(benchmark::State &state)
{
    CachedLayers cached(static_cast<int>(state.range(0)));
    if (!cached.ready) {
        state.SkipWithError("layers could not be cached");
        return;
    }
    size_t next = 0;
    for (auto _ : state) {
        int32_t id = cached.ids[next];
        LAYER *layer = nullptr;
        auto it = cached.records.find(id);
        if (it != cached.records.end() &&
            it->second.stamp == cached.config.layer_stamp(cached.config.host_context, id))
            layer = it->second.layer;
        benchmark::DoNotOptimize(layer);
        next = next + 1 == cached.ids.size() ? 0 : next + 1;
    }
}

} // namespace

BENCHMARK(BM_layer_cache_hit)->Arg(5)->Arg(20)->Arg(100);
BENCHMARK(BM_unordered_map_find_baseline)->Arg(5)->Arg(20)->Arg(100);
