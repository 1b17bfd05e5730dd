// The spatial tests over 10,000 features against one polygon filter, with
// baselines measured in the same run: the exact test (SM_ET_OR_AI) against
// GEOS's prepared intersects on the same shapes, once on geometries built
// beforehand and once building each geometry as the test must; the envelope
// test (SM_ENVP) against a plain four-comparison loop. Compare ratios.
#include <benchmark/benchmark.h>
#include <geos_c.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/util/ve_spatial_test.h"
#include "mox/mox.h"

namespace
{

const int kFeatures = 10000;

// Small squares scattered over 0..10,000, about half meeting the filter.
std::vector<FEATURE_STRUCT> MakeFeatures()
{
    std::vector<FEATURE_STRUCT> features(kFeatures);
    uint32_t seed = 4711;
    for (int i = 0; i < kFeatures; i++) {
        seed = seed * 1103515245u + 12345u;
        int32_t x = static_cast<int32_t>((seed >> 8) % 10000);
        seed = seed * 1103515245u + 12345u;
        int32_t y = static_cast<int32_t>((seed >> 8) % 10000);
        FEATURE_STRUCT &f = features[i];
        f.feature_id = i + 1;
        f.entity_type = VE_ENTITY_AREA;
        MoxsShapeAllocate(&f, 5, 0, 0);
        const POINT ring[5] = {{x, y}, {x + 40, y}, {x + 40, y + 40}, {x, y + 40}, {x, y}};
        for (int k = 0; k < 5; k++)
            f.points[k] = ring[k];
        MoxsNvelop(&f);
    }
    return features;
}

void FreeFeatures(std::vector<FEATURE_STRUCT> &features)
{
    for (FEATURE_STRUCT &f : features) {
        std::free(f.points);
        f.points = nullptr;
    }
}

// A 64-sided polygon around (5000, 5000), radius 3000.
FEATURE_STRUCT MakeFilterShape()
{
    FEATURE_STRUCT f = {};
    f.entity_type = VE_ENTITY_AREA;
    MoxsShapeAllocate(&f, 65, 0, 0);
    for (int k = 0; k < 64; k++) {
        double a = 2 * M_PI * k / 64;
        f.points[k] = POINT{static_cast<int32_t>(5000 + 3000 * std::cos(a)),
                            static_cast<int32_t>(5000 + 3000 * std::sin(a))};
    }
    f.points[64] = f.points[0];
    MoxsNvelop(&f);
    return f;
}

struct Setup {
    std::vector<FEATURE_STRUCT> features = MakeFeatures();
    FEATURE_STRUCT shape = MakeFilterShape();
    VE_FILTER filter = {};
    VE_FEATURE_SPEC *specs = nullptr;
    VE_SPATIAL_CONSTRAINTS set = {};
    std::vector<int32_t> cells = std::vector<int32_t>(kFeatures);
    std::vector<int32_t *> rows = std::vector<int32_t *>(kFeatures);
    std::vector<int32_t> ids = std::vector<int32_t>(kFeatures);
    std::vector<VE_ENVELOPE_CANDIDATE> candidates = std::vector<VE_ENVELOPE_CANDIDATE>(kFeatures);

    explicit Setup(int32_t method)
    {
        filter.filter_type = VE_SHAPE_FILTER;
        filter.shape = &shape;
        filter.search_method = method;
        filter.truth = 1;
        VES_generate_feature_specs(1, &filter, &specs);
        set = VE_SPATIAL_CONSTRAINTS{1, &filter, 0, specs};
        for (int i = 0; i < kFeatures; i++) {
            rows[i] = &cells[i];
            candidates[i].feature_id = features[i].feature_id;
            candidates[i].envelope = features[i].envelope;
        }
    }
    ~Setup()
    {
        VES_free_feature_specs(1, &filter, specs);
        FreeFeatures(features);
        std::free(shape.points);
    }
};

GEOSGeometry *ToGeos(GEOSContextHandle_t h, const FEATURE_STRUCT &f)
{
    GEOSCoordSequence *seq = GEOSCoordSeq_create_r(h, static_cast<unsigned>(f.num_points), 2);
    for (int32_t k = 0; k < f.num_points; k++)
        GEOSCoordSeq_setXY_r(h, seq, static_cast<unsigned>(k), f.points[k].x, f.points[k].y);
    return GEOSGeom_createPolygon_r(h, GEOSGeom_createLinearRing_r(h, seq), nullptr, 0);
}

void BM_TestFeatures(benchmark::State &state)
{
    Setup s(SM_ET_OR_AI);
    int32_t count = 0;
    for (auto _ : state) {
        std::fill(s.cells.begin(), s.cells.end(), 0);
        VES_test_features(kFeatures, s.features.data(), s.candidates.data(), 0, &s.set,
                          s.rows.data(), &count, s.ids.data());
        benchmark::DoNotOptimize(count);
    }
    state.counters["passed"] = count;
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

// GEOS alone: prepared intersects on geometries built before timing.
void BM_GeosPreparedBaseline(benchmark::State &state)
{
    Setup s(SM_ET_OR_AI);
    GEOSContextHandle_t h = GEOS_init_r();
    GEOSGeometry *filter = ToGeos(h, s.shape);
    const GEOSPreparedGeometry *prepared = GEOSPrepare_r(h, filter);
    std::vector<GEOSGeometry *> geoms;
    for (const FEATURE_STRUCT &f : s.features)
        geoms.push_back(ToGeos(h, f));
    int passed = 0;
    for (auto _ : state) {
        passed = 0;
        for (GEOSGeometry *g : geoms)
            passed += GEOSPreparedIntersects_r(h, prepared, g) == 1;
        benchmark::DoNotOptimize(passed);
    }
    state.counters["passed"] = passed;
    state.SetItemsProcessed(state.iterations() * kFeatures);
    for (GEOSGeometry *g : geoms)
        GEOSGeom_destroy_r(h, g);
    GEOSPreparedGeom_destroy_r(h, prepared);
    GEOSGeom_destroy_r(h, filter);
    GEOS_finish_r(h);
}

// GEOS with the conversion the exact test cannot avoid: build, test, destroy.
void BM_GeosPreparedWithBuildBaseline(benchmark::State &state)
{
    Setup s(SM_ET_OR_AI);
    GEOSContextHandle_t h = GEOS_init_r();
    GEOSGeometry *filter = ToGeos(h, s.shape);
    const GEOSPreparedGeometry *prepared = GEOSPrepare_r(h, filter);
    int passed = 0;
    for (auto _ : state) {
        passed = 0;
        for (const FEATURE_STRUCT &f : s.features) {
            GEOSGeometry *g = ToGeos(h, f);
            passed += GEOSPreparedIntersects_r(h, prepared, g) == 1;
            GEOSGeom_destroy_r(h, g);
        }
        benchmark::DoNotOptimize(passed);
    }
    state.counters["passed"] = passed;
    state.SetItemsProcessed(state.iterations() * kFeatures);
    GEOSPreparedGeom_destroy_r(h, prepared);
    GEOSGeom_destroy_r(h, filter);
    GEOS_finish_r(h);
}

void BM_TestEnvelopes(benchmark::State &state)
{
    Setup s(static_cast<int32_t>(state.range(0)));
    int32_t count = 0;
    for (auto _ : state) {
        VES_test_envelopes(kFeatures, s.candidates.data(), &s.set, s.rows.data(), &count,
                           s.ids.data());
        benchmark::DoNotOptimize(count);
    }
    state.counters["passed"] = count;
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

// Four comparisons per candidate, nothing else.
void BM_FourComparisonBaseline(benchmark::State &state)
{
    Setup s(SM_ENVP);
    const ENVELOPE f = s.shape.envelope;
    int32_t count = 0;
    for (auto _ : state) {
        count = 0;
        for (const VE_ENVELOPE_CANDIDATE &c : s.candidates) {
            const ENVELOPE &e = c.envelope;
            if (!(f.maxx < e.minx || f.maxy < e.miny || e.maxx < f.minx || e.maxy < f.miny))
                s.ids[count++] = c.feature_id;
        }
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
    }
    state.counters["passed"] = count;
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

} // namespace

BENCHMARK(BM_TestFeatures);
BENCHMARK(BM_GeosPreparedBaseline);
BENCHMARK(BM_GeosPreparedWithBuildBaseline);
BENCHMARK(BM_TestEnvelopes)->Arg(SM_ENVP)->Arg(SM_ET_OR_AI);
BENCHMARK(BM_FourComparisonBaseline);
