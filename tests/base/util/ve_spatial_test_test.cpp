// Spatial tests of query rows: a truth table of every search method over a
// polygon with a hole and features around it, run through the envelope test
// and the exact test as the query path runs them, for must-pass and must-not
// filters; the envelope shortcut; relation patterns; error propagation; and
// the feature specs.
#include "base/util/ve_spatial_test.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "tests/support/spatial_fixture.h"

namespace
{

struct ShapeDef {
    uint16_t entity;
    std::vector<POINT> points;
};

const ShapeDef kHoledSquare = {VE_ENTITY_AREA, kHoledSquarePoints};

// Feature ids 1 to 8, in this order.
const std::vector<ShapeDef> kFeatures = {
    {VE_ENTITY_POINT, {{20, 20}}},            // 1 inside
    {VE_ENTITY_POINT, {{0, 50}}},             // 2 on the boundary
    {VE_ENTITY_POINT, {{150, 150}}},          // 3 outside
    {VE_ENTITY_POINT, {{50, 50}}},            // 4 in the hole
    {VE_ENTITY_LINE, {{-10, 20}, {110, 20}}}, // 5 crossing
    {VE_ENTITY_LINE, {{100, 10}, {120, 10}}}, // 6 touching at its end
    {VE_ENTITY_LINE, {{200, 0}, {300, 0}}},   // 7 disjoint
    {VE_ENTITY_LINE, {{10, 10}, {30, 10}}},   // 8 inside
};

// A feature with its points and compressed buffer on the heap, as a fetched
// row holds it.
struct Feature {
    FEATURE_STRUCT f = {};
    Feature(const ShapeDef &def, int32_t id)
    {
        f.feature_id = id;
        f.entity_type = def.entity;
        int32_t n = static_cast<int32_t>(def.points.size());
        EXPECT_EQ(VES_comp_feature_alloc(&f, n, 0, 1), ZE_SUCCESS);
        std::memcpy(f.points, def.points.data(), def.points.size() * sizeof(POINT));
        EXPECT_EQ(VES_feature_compress(&f, 0), ZE_SUCCESS);
        EXPECT_EQ(MoxsNvelop(&f), MOX_SUCCESS);
    }
    Feature(const Feature &) = delete;
    Feature(Feature &&other) noexcept : f(other.f)
    {
        other.f = FEATURE_STRUCT{};
    }
    ~Feature()
    {
        VES_comp_feature_free(&f);
    }
};

// One query's filters with their specs and a relation matrix for the rows.
struct Query {
    std::vector<Feature> shapes; // the filters' shapes
    std::vector<VE_FILTER> filters;
    VE_FEATURE_SPEC *specs = nullptr;
    VE_SPATIAL_CONSTRAINTS set = {};
    std::vector<std::vector<int32_t>> cells;
    std::vector<int32_t *> rows;

    void Add(const ShapeDef &shape, int32_t method, int32_t truth, const char *pattern = nullptr)
    {
        shapes.emplace_back(shape, 0);
        VE_FILTER filter = {};
        filter.filter_type = VE_SHAPE_FILTER;
        filter.search_method = method;
        filter.truth = truth;
        filter.relation = const_cast<char *>(pattern);
        filters.push_back(filter);
    }
    void Prepare(int32_t row_count, int32_t relation_flag = 0)
    {
        for (size_t i = 0; i < filters.size(); i++)
            filters[i].shape = &shapes[i].f;
        ASSERT_EQ(VES_generate_feature_specs(static_cast<int32_t>(filters.size()), filters.data(),
                                             &specs),
                  ZE_SUCCESS);
        set.filter_count = static_cast<int16_t>(filters.size());
        set.filters = filters.data();
        set.relation_flag = relation_flag;
        set.specs = specs;
        cells.assign(row_count, std::vector<int32_t>(filters.size() + 1, 0));
        rows.clear();
        for (auto &row : cells)
            rows.push_back(row.data());
    }
    ~Query()
    {
        VES_free_feature_specs(static_cast<int32_t>(filters.size()), filters.data(), specs);
    }
};

VE_ENVELOPE_CANDIDATE Candidate(const Feature &feature)
{
    VE_ENVELOPE_CANDIDATE c = {};
    c.feature_id = feature.f.feature_id;
    c.envelope = feature.f.envelope;
    return c;
}

// Both tests as the query path runs them: the envelope test on every row,
// then the exact test on the survivors, decoding their compressed geometry.
std::set<int32_t> RunBoth(Query &q, std::vector<Feature> &rows)
{
    std::vector<VE_ENVELOPE_CANDIDATE> candidates;
    for (const Feature &r : rows)
        candidates.push_back(Candidate(r));
    std::vector<int32_t> ids(rows.size() + 1, -1);
    int32_t count = -1;
    EXPECT_EQ(VES_test_envelopes(static_cast<int32_t>(rows.size()), candidates.data(), &q.set,
                                 q.rows.data(), &count, ids.data()),
              ZE_SUCCESS);
    std::vector<FEATURE_STRUCT> survivors;
    std::vector<VE_ENVELOPE_CANDIDATE> survivor_envelopes;
    for (int32_t k = 0; k < count; k++)
        for (size_t j = 0; j < rows.size(); j++)
            if (rows[j].f.feature_id == ids[k]) {
                survivors.push_back(rows[j].f);
                survivor_envelopes.push_back(candidates[j]);
            }
    std::vector<int32_t> passed(survivors.size() + 1, -1);
    int32_t passed_count = -1;
    EXPECT_EQ(VES_test_features(count, survivors.data(), survivor_envelopes.data(), 1, &q.set,
                                q.rows.data(), &passed_count, passed.data()),
              ZE_SUCCESS);
    // Decoding may have moved the copies' arrays: the rows take them back.
    for (const FEATURE_STRUCT &s : survivors)
        for (Feature &r : rows)
            if (r.f.feature_id == s.feature_id)
                r.f = s;
    EXPECT_GE(passed_count, 0);
    std::set<int32_t> out;
    for (int32_t k = 0; k < passed_count; k++)
        out.insert(passed[k]);
    return out;
}

std::vector<Feature> Rows()
{
    std::vector<Feature> rows;
    for (size_t i = 0; i < kFeatures.size(); i++)
        rows.emplace_back(kFeatures[i], static_cast<int32_t>(i + 1));
    return rows;
}

TEST(SpatialTests, TruthTableOfEveryMethodForMustPassAndMustNot)
{
    const std::set<int32_t> kEnvelopesMeet = {1, 2, 4, 5, 6, 8};
    struct {
        int32_t method;
        const char *pattern;
        std::set<int32_t> holds; // feature ids for which the relation holds
    } cases[] = {
        {SM_ENVP, nullptr, kEnvelopesMeet}, // edges that meet count
        {SM_CP, nullptr, {1, 2, 6}},
        {SM_LCROSS, nullptr, {5}},
        {SM_COMMON, nullptr, {5, 8}},
        {SM_CP_OR_LCROSS, nullptr, {1, 2, 5, 6}},
        {SM_ET_OR_AI, nullptr, {1, 2, 5, 6, 8}},
        {SM_AI, nullptr, {1, 5, 8}},
        {SM_AI_NO_ET, nullptr, {1, 5, 8}},
        {SM_PC, nullptr, {}},
        {SM_SC, nullptr, {1, 8}},
        {SM_PC_NO_ET, nullptr, {}},
        {SM_SC_NO_ET, nullptr, {1, 8}},
        {SM_PIP, nullptr, {1, 2}},
        {SM_IDENTICAL, nullptr, {}},
        {SM_CBM, "T*****FF*", {1, 8}},
        {SM_CBM, "FF*FF****", {3, 4, 7}},
        {SM_CBM, "FF*0*****", {2}}, // lies on the filter's boundary, in a point
    };
    for (const auto &c : cases) {
        for (int32_t truth : {1, 0}) {
            for (int32_t relation_flag : {0, 1}) {
                SCOPED_TRACE(testing::Message()
                             << "method " << c.method << " " << (c.pattern ? c.pattern : "")
                             << " truth " << truth << " relation flag " << relation_flag);
                Query q;
                q.Add(kHoledSquare, c.method, truth, c.pattern);
                q.Prepare(static_cast<int32_t>(kFeatures.size()), relation_flag);
                std::vector<Feature> rows = Rows();
                // A must-pass filter also needs the envelopes to meet, the
                // database's search condition: "disjoint" passes only 4.
                std::set<int32_t> expected;
                for (int32_t id = 1; id <= static_cast<int32_t>(kFeatures.size()); id++)
                    if (truth != 0 ? c.holds.count(id) != 0 && kEnvelopesMeet.count(id) != 0
                                   : c.holds.count(id) == 0)
                        expected.insert(id);
                EXPECT_EQ(RunBoth(q, rows), expected);
            }
        }
    }
}

TEST(SpatialTests, EveryFilterMustAgree)
{
    // Inside the square and not touching its hole's interior: 1, 5, 8 meet the
    // interior; 5 also leaves the square, so SM_SC drops it.
    Query q;
    q.Add(kHoledSquare, SM_AI, 1);
    q.Add(kHoledSquare, SM_SC, 1);
    q.Add({VE_ENTITY_POINT, {{20, 20}}}, SM_ET_OR_AI, 0);
    q.Prepare(static_cast<int32_t>(kFeatures.size()));
    std::vector<Feature> rows = Rows();
    EXPECT_EQ(RunBoth(q, rows), (std::set<int32_t>{8}));
}

TEST(SpatialTests, WithoutFiltersEveryCandidatePasses)
{
    VE_SPATIAL_CONSTRAINTS none = {};
    std::vector<Feature> rows = Rows();
    std::vector<VE_ENVELOPE_CANDIDATE> candidates;
    for (const Feature &r : rows)
        candidates.push_back(Candidate(r));
    std::vector<int32_t> ids(rows.size());
    int32_t count = -1;
    EXPECT_EQ(VES_test_envelopes(static_cast<int32_t>(rows.size()), candidates.data(), &none,
                                 nullptr, &count, ids.data()),
              ZE_SUCCESS);
    EXPECT_EQ(count, static_cast<int32_t>(rows.size()));
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[7], 8);
    std::vector<FEATURE_STRUCT> plain;
    for (const Feature &r : rows)
        plain.push_back(r.f);
    count = -1;
    EXPECT_EQ(VES_test_features(static_cast<int32_t>(plain.size()), plain.data(), nullptr, 1, &none,
                                nullptr, &count, ids.data()),
              ZE_SUCCESS);
    EXPECT_EQ(count, static_cast<int32_t>(rows.size()));
}

TEST(SpatialTests, EnvelopeShortcutSkipsTheExactTest)
{
    const ShapeDef square = {VE_ENTITY_AREA, {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}};
    Query q;
    q.Add(square, SM_AI, 1);
    q.Prepare(1);
    Feature inside(kFeatures[7], 8); // line inside the interior
    VE_ENVELOPE_CANDIDATE c = Candidate(inside);
    int32_t id = 0;
    int32_t count = 0;
    ASSERT_EQ(VES_test_envelopes(1, &c, &q.set, q.rows.data(), &count, &id), ZE_SUCCESS);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(q.cells[0][0], VE_RELATION_BY_ENVELOPE);

    // The exact test trusts the settled cell: a feature that does not meet the
    // filter at all passes, so it was not evaluated.
    Feature outside(kFeatures[2], 3);
    count = 0;
    ASSERT_EQ(VES_test_features(1, &outside.f, nullptr, 0, &q.set, q.rows.data(), &count, &id),
              ZE_SUCCESS);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(q.cells[0][0], VE_RELATION_BY_ENVELOPE);

    // With the relation flag the relation is still computed into the cell.
    q.set.relation_flag = 1;
    ASSERT_EQ(VES_test_features(1, &outside.f, nullptr, 0, &q.set, q.rows.data(), &count, &id),
              ZE_SUCCESS);
    EXPECT_EQ(count, 1);
    EXPECT_NE(q.cells[0][0] & MOX_RELATION_MATRIX, 0);
    EXPECT_EQ(MoxEvaluateRelation(8, 1, q.cells[0][0], nullptr, "FF*FF****"), 1);

    // A must-not filter proved by the envelope drops the candidate.
    Query not_q;
    not_q.Add(square, SM_AI, 0);
    not_q.Prepare(1);
    ASSERT_EQ(VES_test_envelopes(1, &c, &not_q.set, not_q.rows.data(), &count, &id), ZE_SUCCESS);
    EXPECT_EQ(count, 0);
}

TEST(SpatialTests, NoDecodingForEnvelopeMethods)
{
    Query q;
    q.Add(kHoledSquare, SM_ENVP, 1);
    q.Prepare(2);
    FEATURE_STRUCT undecodable = {}; // no compressed buffer
    undecodable.feature_id = 42;
    int32_t id = 0;
    int32_t count = -1;
    EXPECT_EQ(VES_test_features(1, &undecodable, nullptr, 1, &q.set, q.rows.data(), &count, &id),
              ZE_SUCCESS);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(id, 42);

    // Only a relation flag of exactly 1 asks the envelope methods to decode.
    const struct {
        int32_t relation_flag;
        int32_t expected;
    } flags[] = {{2, ZE_SUCCESS}, {-1, ZE_SUCCESS}, {1, ZE_NULL_POINTER}};
    for (const auto &f : flags) {
        SCOPED_TRACE(f.relation_flag);
        Query flagged;
        flagged.Add(kHoledSquare, SM_ENVP, 1);
        flagged.Prepare(1, f.relation_flag);
        FEATURE_STRUCT bare = {};
        bare.feature_id = 43;
        count = -1;
        EXPECT_EQ(
            VES_test_features(1, &bare, nullptr, 1, &flagged.set, flagged.rows.data(), &count, &id),
            f.expected);
    }

    // A geometry method needs the geometry: the decode failure comes back and
    // the count of the rows before it is still stored.
    Query exact;
    exact.Add(kHoledSquare, SM_ET_OR_AI, 1);
    exact.Prepare(2);
    Feature good(kFeatures[0], 1);
    FEATURE_STRUCT both[2] = {good.f, undecodable};
    int32_t ids[2] = {0, 0};
    count = -1;
    EXPECT_EQ(VES_test_features(2, both, nullptr, 1, &exact.set, exact.rows.data(), &count, ids),
              ZE_NULL_POINTER);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(ids[0], 1);
    good.f = both[0]; // decoding may have moved the arrays
}

TEST(SpatialTests, ErrorsReachTheCallerWhateverTheTruth)
{
    const ShapeDef sliver = {VE_ENTITY_AREA, {{0, 0}, {10, 10}, {0, 0}}}; // a ring without area
    struct {
        const char *name;
        int32_t method;
        const char *pattern;
        int32_t relation_flag;
        bool sliver_row;
        int32_t expected;
    } cases[] = {
        {"broken feature", SM_ET_OR_AI, nullptr, 0, true, ZE_INVALID_NUM_POINTS},
        {"bad pattern", SM_CBM, "T*T", 0, false, ZE_INVALID_RELATION},
        {"no pattern", SM_CBM, nullptr, 0, false, ZE_NULL_POINTER},
        {"relation only", SM_ENVP, nullptr, 1, true, ZE_INVALID_NUM_POINTS},
    };
    for (const auto &c : cases) {
        for (int32_t truth : {1, 0}) {
            SCOPED_TRACE(testing::Message() << c.name << " truth " << truth);
            Query q;
            // A relation-only failure is kept even when a later filter passes.
            q.Add(kHoledSquare, c.method, truth, c.pattern);
            q.Add(kHoledSquare, SM_ENVP, 1);
            q.Prepare(3, c.relation_flag);
            // The first row passes either way (must-not rows do not meet the filter).
            Feature first(truth != 0 ? kFeatures[0] : kFeatures[6], 1);
            Feature second(c.sliver_row ? sliver : kFeatures[0], 2);
            FEATURE_STRUCT rows[2] = {first.f, second.f};
            int32_t ids[2] = {0, 0};
            int32_t count = -1;
            int32_t rc = VES_test_features(2, rows, nullptr, 0, &q.set, q.rows.data(), &count, ids);
            EXPECT_EQ(rc, c.expected);
            if (c.method == SM_CBM) {
                EXPECT_EQ(count, 0); // the first row fails on the pattern already
            } else {
                EXPECT_EQ(count, 1);
                EXPECT_EQ(ids[0], 1);
            }
        }
    }
}

TEST(SpatialTests, EnvelopeTestStopsAtAModuleError)
{
    Query q;
    q.Add(kHoledSquare, 14, 1); // a method the module refuses
    q.Prepare(2);
    Feature a(kFeatures[0], 1);
    VE_ENVELOPE_CANDIDATE c[2] = {Candidate(a), Candidate(a)};
    int32_t ids[2] = {0, 0};
    int32_t count = -1;
    EXPECT_EQ(VES_test_envelopes(2, c, &q.set, q.rows.data(), &count, ids), ZE_INVALID_RELATION);
    EXPECT_EQ(count, 0);

    // A candidate disjoint from a must-pass filter never reaches the module.
    c[0].envelope = {500, 500, 600, 600};
    EXPECT_EQ(VES_test_envelopes(1, c, &q.set, q.rows.data(), &count, ids), ZE_SUCCESS);
    EXPECT_EQ(count, 0);
}

TEST(SpatialTests, EnvelopeTestStopsAtAMissingRelationRow)
{
    // The envelope-only methods and those the exact test finishes stop alike:
    // the rows passed so far are kept and the missing row is reported.
    for (int32_t method : {SM_ENVP, SM_ENVP_BY_GRID, SM_ET_OR_AI}) {
        for (int32_t truth : {1, 0}) {
            SCOPED_TRACE(testing::Message() << "method " << method << " truth " << truth);
            Query q;
            q.Add(kHoledSquare, method, truth);
            q.Prepare(static_cast<int32_t>(kFeatures.size()));
            q.rows[1] = nullptr;
            std::vector<Feature> rows = Rows();
            // 1 and 2 meet the square's envelope, 3 does not: a must-pass
            // filter keeps 1 and stops at 2; a must-not envelope filter
            // passes 3 and stops at 4, while the exact methods fail 1 (no
            // edge reaches its point, which lies inside), leave 2 to the
            // exact test and stop at 3.
            std::vector<VE_ENVELOPE_CANDIDATE> candidates;
            for (const Feature &r : rows)
                candidates.push_back(Candidate(r));
            std::vector<int32_t> ids(rows.size(), -1);
            int32_t count = -1;
            EXPECT_EQ(VES_test_envelopes(static_cast<int32_t>(rows.size()), candidates.data(),
                                         &q.set, q.rows.data(), &count, ids.data()),
                      ZE_NULL_POINTER);
            EXPECT_EQ(count, 1);
            EXPECT_EQ(ids[0], truth != 0 ? 1 : (method >= SM_CP ? 2 : 3));
        }
    }
}

TEST(SpatialTests, RefusesUnreadableArguments)
{
    Query q;
    q.Add(kHoledSquare, SM_AI, 1);
    q.Prepare(1);
    Feature a(kFeatures[0], 1);
    VE_ENVELOPE_CANDIDATE c = Candidate(a);
    int32_t id = 0;
    int32_t count = 5;
    EXPECT_EQ(VES_test_envelopes(1, &c, nullptr, q.rows.data(), &count, &id), ZE_NULL_POINTER);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(VES_test_envelopes(1, &c, &q.set, nullptr, &count, &id), ZE_NULL_POINTER);
    EXPECT_EQ(VES_test_envelopes(1, &c, &q.set, q.rows.data(), nullptr, &id), ZE_NULL_POINTER);
    EXPECT_EQ(VES_test_envelopes(-1, &c, &q.set, q.rows.data(), &count, &id), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_test_features(1, &a.f, nullptr, 0, &q.set, nullptr, &count, &id),
              ZE_NULL_POINTER);
    EXPECT_EQ(VES_test_features(1, nullptr, nullptr, 0, &q.set, q.rows.data(), &count, &id),
              ZE_NULL_POINTER);

    // An id filter among the constraints is refused, not read as a shape.
    q.filters[0].filter_type = VE_ID_FILTER;
    EXPECT_EQ(VES_test_envelopes(1, &c, &q.set, q.rows.data(), &count, &id),
              ZE_INVALID_FILTER_TYPE);
    EXPECT_EQ(VES_test_features(1, &a.f, nullptr, 0, &q.set, q.rows.data(), &count, &id),
              ZE_INVALID_FILTER_TYPE);
    q.filters[0].filter_type = VE_SHAPE_FILTER;
}

TEST(FeatureSpecs, HoldTheShapesAndRefuseIdFilters)
{
    FEATURE_STRUCT s1 = {};
    FEATURE_STRUCT s2 = {};
    VE_FILTER filters[3] = {};
    filters[0].filter_type = VE_SHAPE_FILTER;
    filters[0].shape = &s1;
    filters[1].filter_type = VE_SHAPE_FILTER;
    filters[1].shape = &s2;
    filters[2].filter_type = VE_ID_FILTER;
    filters[2].id = 7;

    VE_FEATURE_SPEC *specs = nullptr;
    ASSERT_EQ(VES_generate_feature_specs(2, filters, &specs), ZE_SUCCESS);
    EXPECT_EQ(specs[0].shape, &s1);
    EXPECT_EQ(specs[1].shape, &s2);
    EXPECT_EQ(specs[0].prepared, nullptr);
    VES_free_feature_specs(2, filters, specs);

    // The id filter stops the loop; the array stays for the caller to free.
    specs = nullptr;
    filters[0] = filters[2];
    ASSERT_EQ(VES_generate_feature_specs(3, filters, &specs), ZE_INVALID_FILTER_TYPE);
    ASSERT_NE(specs, nullptr);
    EXPECT_EQ(specs[0].shape, nullptr);
    VES_free_feature_specs(3, filters, specs);
    VES_free_feature_specs(3, filters, nullptr);

    EXPECT_EQ(VES_generate_feature_specs(-1, filters, &specs), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(VES_generate_feature_specs(1, filters, nullptr), ZE_NULL_POINTER);
}

} // namespace
