// The spatial tests of query rows, with baselines measured in the same run
// over the same rows. The rows are areas of 5 to 10,000 points (most small,
// some with a hole, a few large), scattered so that about half meet the
// filter, or, for point in polygon, clusters of 1 to 20 points; the filter is
// a rectangle (last argument 0) or a 64-sided polygon (1).
//  - The exact test settles each compressed row by its envelope where the
//    boxes decide, and decodes and tests the others, by the method of the
//    first argument: intersects
//    (6), within (9), contains (10) and point in polygon (13), computed on the
//    integer points, and line cross (3) and interiors meet (7), which go
//    through GEOS; against GEOS's prepared predicate on geometries built
//    beforehand (for 7, which has none, GEOS's relate pattern), and for
//    intersects also on geometries built per row. The decode of every row
//    is measured too, for scale: what a test without the envelope pays.
//  - The envelope test (SM_ENVP) against a plain four-comparison loop.
#include "bench/bench_ratio.h"

#include <geos_c.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_spatial_test.h"
#include "mox/mox.h"

namespace
{

const int kFeatures = 4000;

struct Rng {
    uint32_t seed;
    uint32_t operator()()
    {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    }
};

// A ring of n points (closed: n + 1) around a centre, its radius wobbling.
void Ring(std::vector<POINT> &out, Rng &rng, int32_t cx, int32_t cy, double radius, int n)
{
    size_t first = out.size();
    for (int k = 0; k < n; k++) {
        double a = 2 * M_PI * k / n;
        double r = radius * (0.8 + 0.2 * (rng() % 1000) / 1000.0);
        out.push_back(POINT{static_cast<int32_t>(cx + r * std::cos(a)),
                            static_cast<int32_t>(cy + r * std::sin(a))});
    }
    out.push_back(out[first]);
}

// One row: its points, compressed as stored, and its envelope.
FEATURE_STRUCT MakeRow(Rng &rng, int32_t id, bool points_only)
{
    auto cx = static_cast<int32_t>(rng() % 100000), cy = static_cast<int32_t>(rng() % 100000);
    uint32_t kind = rng() % 100;
    std::vector<POINT> points;
    if (points_only) {
        auto n = 1 + rng() % 20;
        for (uint32_t k = 0; k < n; k++)
            points.push_back(POINT{cx + static_cast<int32_t>(rng() % 2000),
                                   cy + static_cast<int32_t>(rng() % 2000)});
    } else if (kind < 60) {
        auto w = static_cast<int32_t>(40 + rng() % 400);
        points = {{cx, cy}, {cx + w, cy}, {cx + w, cy + w}, {cx, cy + w}, {cx, cy}};
    } else if (kind < 95) {
        double radius = 200 + rng() % 1500;
        Ring(points, rng, cx, cy, radius, static_cast<int>(16 + rng() % 240));
        if (kind < 80)
            Ring(points, rng, cx, cy, radius / 3, 12);
    } else {
        double radius = 1000 + rng() % 4000;
        Ring(points, rng, cx, cy, radius, static_cast<int>(1000 + rng() % 9000));
        Ring(points, rng, cx, cy, radius / 4, 100);
    }
    FEATURE_STRUCT f = {};
    f.feature_id = id;
    f.entity_type = points_only ? VE_ENTITY_MULTI_POINT : VE_ENTITY_AREA;
    auto n = static_cast<int32_t>(points.size());
    VES_comp_feature_alloc(&f, n, 0, 1);
    std::memcpy(f.points, points.data(), points.size() * sizeof(POINT));
    VES_feature_compress(&f, 0);
    MoxsNvelop(&f);
    return f;
}

FEATURE_STRUCT MakeFilterShape(int kind)
{
    std::vector<POINT> points;
    if (kind == 0) {
        points = {{0, 0}, {70700, 0}, {70700, 70700}, {0, 70700}, {0, 0}};
    } else {
        for (int k = 0; k < 64; k++) {
            double a = 2 * M_PI * k / 64;
            points.push_back(POINT{static_cast<int32_t>(50000 + 40000 * std::cos(a)),
                                   static_cast<int32_t>(50000 + 40000 * std::sin(a))});
        }
        points.push_back(points[0]);
    }
    FEATURE_STRUCT f = {};
    f.entity_type = VE_ENTITY_AREA;
    MoxsShapeAllocate(&f, static_cast<int32_t>(points.size()), 0, 0);
    std::memcpy(f.points, points.data(), points.size() * sizeof(POINT));
    MoxsNvelop(&f);
    return f;
}

struct Setup {
    std::vector<FEATURE_STRUCT> features;
    FEATURE_STRUCT shape;
    VE_FILTER filter = {};
    VE_FEATURE_SPEC *specs = nullptr;
    VE_SPATIAL_CONSTRAINTS set = {};
    std::vector<int32_t> cells = std::vector<int32_t>(kFeatures);
    std::vector<int32_t *> rows = std::vector<int32_t *>(kFeatures);
    std::vector<int32_t> ids = std::vector<int32_t>(kFeatures);
    std::vector<VE_ENVELOPE_CANDIDATE> candidates = std::vector<VE_ENVELOPE_CANDIDATE>(kFeatures);

    Setup(int32_t method, int filter_kind) : shape(MakeFilterShape(filter_kind))
    {
        Rng rng{4711};
        for (int i = 0; i < kFeatures; i++)
            features.push_back(MakeRow(rng, i + 1, method == SM_PIP));
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
        for (FEATURE_STRUCT &f : features)
            VES_comp_feature_free(&f);
        std::free(shape.points);
    }
};

// A polygon of the area's rings: the first is the shell, the rest holes; or
// a multi point.
GEOSGeometry *ToGeos(GEOSContextHandle_t h, const FEATURE_STRUCT &f)
{
    if (f.entity_type == VE_ENTITY_MULTI_POINT) {
        std::vector<GEOSGeometry *> points;
        for (int32_t k = 0; k < f.num_points; k++)
            points.push_back(GEOSGeom_createPointFromXY_r(h, f.points[k].x, f.points[k].y));
        return GEOSGeom_createCollection_r(h, GEOS_MULTIPOINT, points.data(),
                                           static_cast<unsigned>(points.size()));
    }
    std::vector<GEOSGeometry *> rings;
    int32_t start = 0;
    for (int32_t k = 1; k < f.num_points; k++) {
        if (f.points[k].x != f.points[start].x || f.points[k].y != f.points[start].y)
            continue;
        auto n = static_cast<unsigned>(k - start + 1);
        GEOSCoordSequence *seq = GEOSCoordSeq_create_r(h, n, 2);
        for (unsigned i = 0; i < n; i++)
            GEOSCoordSeq_setXY_r(h, seq, i, f.points[start + i].x, f.points[start + i].y);
        rings.push_back(GEOSGeom_createLinearRing_r(h, seq));
        start = ++k;
    }
    return GEOSGeom_createPolygon_r(h, rings[0], rings.data() + 1,
                                    static_cast<unsigned>(rings.size() - 1));
}

// The exact test as the query path runs it: the envelope first, then the
// decode and the test of the rows it leaves open.
void BM_TestFeatures(benchmark::State &state)
{
    Setup s(static_cast<int32_t>(state.range(0)), static_cast<int>(state.range(1)));
    int32_t count = 0;
    for (auto _ : state) {
        std::fill(s.cells.begin(), s.cells.end(), 0);
        VES_test_features(kFeatures, s.features.data(), s.candidates.data(), 1, &s.set,
                          s.rows.data(), &count, s.ids.data());
        benchmark::DoNotOptimize(count);
    }
    state.counters["passed"] = count;
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

// The decode of every row, which a test without the envelope cannot skip.
void BM_UncompressOnly(benchmark::State &state)
{
    Setup s(static_cast<int32_t>(state.range(0)), static_cast<int>(state.range(1)));
    int32_t rc = 0;
    for (auto _ : state) {
        for (FEATURE_STRUCT &f : s.features)
            rc |= VES_feature_uncompress(1, &f);
        benchmark::DoNotOptimize(rc);
    }
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

// GEOS's own answer for the method on the prepared filter and a row.
char GeosPredicate(GEOSContextHandle_t h, int32_t method, const GEOSGeometry *filter,
                   const GEOSPreparedGeometry *prepared, const GEOSGeometry *row)
{
    switch (method) {
    case SM_LCROSS:
        return GEOSPreparedCrosses_r(h, prepared, row);
    case SM_AI:
        return GEOSRelatePattern_r(h, filter, row, "T********");
    case SM_PC:
        return GEOSPreparedWithin_r(h, prepared, row);
    case SM_SC:
        return GEOSPreparedContains_r(h, prepared, row);
    case SM_PIP:
        return GEOSPreparedCovers_r(h, prepared, row);
    default:
        return GEOSPreparedIntersects_r(h, prepared, row);
    }
}

// GEOS alone: its predicate on geometries built before timing.
void BM_GeosPreparedBaseline(benchmark::State &state)
{
    auto method = static_cast<int32_t>(state.range(0));
    Setup s(method, static_cast<int>(state.range(1)));
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
            passed += GeosPredicate(h, method, filter, prepared, g) == 1;
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

// GEOS with the conversion a test of decoded rows cannot avoid: build, test,
// destroy.
void BM_GeosPreparedWithBuildBaseline(benchmark::State &state)
{
    Setup s(SM_ET_OR_AI, static_cast<int>(state.range(1)));
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

// Batches of candidates for the envelope test: 64 of them, each of kFeatures
// rows placed and sized as the rows above, taken in turn so that no branch
// predictor learns a batch's outcomes by heart.
std::vector<std::vector<VE_ENVELOPE_CANDIDATE>> Batches()
{
    std::vector<std::vector<VE_ENVELOPE_CANDIDATE>> batches(64);
    Rng rng{777};
    int32_t id = 1;
    for (auto &batch : batches) {
        for (int i = 0; i < kFeatures; i++) {
            auto cx = static_cast<int32_t>(rng() % 100000),
                 cy = static_cast<int32_t>(rng() % 100000);
            uint32_t kind = rng() % 100;
            auto r = static_cast<int32_t>(kind < 60   ? 40 + rng() % 400
                                          : kind < 95 ? 200 + rng() % 1500
                                                      : 1000 + rng() % 4000);
            VE_ENVELOPE_CANDIDATE c = {};
            c.feature_id = id++;
            c.envelope = ENVELOPE{cx - r, cy - r, cx + r, cy + r};
            batch.push_back(c);
        }
    }
    return batches;
}

void BM_TestEnvelopes(benchmark::State &state)
{
    Setup s(SM_ENVP, static_cast<int>(state.range(0)));
    const auto batches = Batches();
    int32_t count = 0;
    size_t k = 0;
    for (auto _ : state) {
        VES_test_envelopes(kFeatures, batches[k].data(), &s.set, s.rows.data(), &count,
                           s.ids.data());
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
        k = (k + 1) % batches.size();
    }
    state.counters["passed"] = count;
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

// Four comparisons per candidate, keeping the passing ids.
void BM_FourComparisonBaseline(benchmark::State &state)
{
    Setup s(SM_ENVP, static_cast<int>(state.range(0)));
    const auto batches = Batches();
    const ENVELOPE f = s.shape.envelope;
    int32_t count = 0;
    size_t k = 0;
    for (auto _ : state) {
        count = 0;
        for (const VE_ENVELOPE_CANDIDATE &c : batches[k]) {
            const ENVELOPE &e = c.envelope;
            if (!(f.maxx < e.minx || f.maxy < e.miny || e.maxx < f.minx || e.maxy < f.miny))
                s.ids[count++] = c.feature_id;
        }
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
        k = (k + 1) % batches.size();
    }
    state.counters["passed"] = count;
    state.SetItemsProcessed(state.iterations() * kFeatures);
}

} // namespace

// Methods computed on the integer points, then those left to GEOS.
void ExactArguments(benchmark::internal::Benchmark *b)
{
    for (int64_t method : {SM_ET_OR_AI, SM_PC, SM_SC, SM_PIP, SM_LCROSS, SM_AI})
        for (int64_t filter : {0, 1})
            b->Args({method, filter});
}

BENCHMARK(BM_TestFeatures)->Apply(ExactArguments);
BENCHMARK(BM_GeosPreparedBaseline)->Apply(ExactArguments);
BENCHMARK(BM_UncompressOnly)->Apply(ExactArguments);
BENCHMARK(BM_GeosPreparedWithBuildBaseline)->Args({SM_ET_OR_AI, 0})->Args({SM_ET_OR_AI, 1});
BENCHMARK(BM_TestEnvelopes)->Arg(0)->Arg(1);
BENCHMARK(BM_FourComparisonBaseline)->Arg(0)->Arg(1);

ZEL_BENCH_MAIN({"BM_TestEnvelopes", "BM_FourComparisonBaseline", ">= 0.8"},
               {"BM_TestFeatures", "BM_GeosPreparedBaseline",
                ">= 1.0 for methods 6, 9, 10, 13; >= 0.5 for 3, 7"},
               {"BM_TestFeatures", "BM_GeosPreparedWithBuildBaseline", "for scale"},
               {"BM_TestFeatures", "BM_UncompressOnly", "for scale: every row decoded"})
