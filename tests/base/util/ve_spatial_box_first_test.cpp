// The exact test that settles rows by their box before decoding them, against
// the exact test alone (no candidate boxes, every row decoded and related):
// random filters and compressed features of every entity type on small grids
// (edges touching, boxes apart, inside and overlapping, lone points in multi
// lines), rectangles, and many-sided filters with their edge index; every
// method, must-pass and must-not, on rows the test decodes and on rows
// decoded before. A shortcut that answers where the boxes do
// not settle the relation gives a row the other way round.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_spatial_test.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "tests/mox/mox_relation_shapes.h"

namespace
{

using mox_shapes::Generator;
using mox_shapes::Shape;

// A ring of n points round (cx, cy), with a hole of a third of its radius
// when asked: enough edges for the filter's edge index.
Shape Round(int32_t cx, int32_t cy, double radius, int n, bool hole)
{
    Shape s{VE_ENTITY_AREA, {}};
    for (double r : {radius, radius / 3}) {
        size_t first = s.points.size();
        for (int k = 0; k < n; k++) {
            double a = 2 * M_PI * k / n * (r == radius ? 1 : -1);
            s.points.push_back(POINT{static_cast<int32_t>(std::lround(cx + r * std::cos(a))),
                                     static_cast<int32_t>(std::lround(cy + r * std::sin(a)))});
        }
        s.points.push_back(s.points[first]);
        if (!hole)
            break;
    }
    return s;
}

// A compressed row as a fetch leaves it, its envelope computed from its points.
struct Row {
    FEATURE_STRUCT f = {};
    VE_ENVELOPE_CANDIDATE candidate = {};
    explicit Row(const Shape &s)
    {
        f.feature_id = 1;
        f.entity_type = s.entity;
        auto n = static_cast<int32_t>(s.points.size());
        EXPECT_EQ(VES_comp_feature_alloc(&f, n, 0, 1), ZE_SUCCESS);
        std::memcpy(f.points, s.points.data(), s.points.size() * sizeof(POINT));
        EXPECT_EQ(VES_feature_compress(&f, 0), ZE_SUCCESS);
        EXPECT_EQ(MoxsNvelop(&f), MOX_SUCCESS);
        candidate.feature_id = 1;
        candidate.envelope = f.envelope;
    }
    Row(const Row &) = delete;
    Row &operator=(const Row &) = delete;
    ~Row()
    {
        VES_comp_feature_free(&f);
    }
    // Marks the points so that a run that leaves them undecoded shows.
    void Scramble()
    {
        for (int32_t k = 0; k < f.num_points; k++)
            f.points[k] = POINT{INT32_MIN, INT32_MIN};
    }
    bool Decoded() const
    {
        return f.num_points > 0 && f.points[0].x != INT32_MIN;
    }
};

struct Filter {
    FEATURE_STRUCT shape;
    VE_FILTER filter = {};
    VE_FEATURE_SPEC *specs = nullptr;
    VE_SPATIAL_CONSTRAINTS set = {};
    Filter(const Shape &s, int32_t method, int32_t truth) : shape(mox_shapes::Record(s))
    {
        filter.filter_type = VE_SHAPE_FILTER;
        filter.shape = &shape;
        filter.search_method = method;
        filter.truth = truth;
        filter.relation = const_cast<char *>("T*F**F***");
        EXPECT_EQ(VES_generate_feature_specs(1, &filter, &specs), ZE_SUCCESS);
        set = VE_SPATIAL_CONSTRAINTS{1, &filter, 0, specs};
    }
    Filter(const Filter &) = delete;
    Filter &operator=(const Filter &) = delete;
    ~Filter()
    {
        VES_free_feature_specs(1, &filter, specs);
    }
};

struct Outcome {
    int32_t rc;
    int32_t passed;
};

// One row through the exact test, with its candidate box or without, decoded
// by the test or as the caller left it.
Outcome RunRow(Filter &q, Row &row, bool with_box, int32_t uncompress = 1)
{
    int32_t cell = 0;
    int32_t *rows[] = {&cell};
    int32_t count = -1;
    int32_t id = 0;
    int32_t rc = VES_test_features(1, &row.f, with_box ? &row.candidate : nullptr, uncompress,
                                   &q.set, rows, &count, &id);
    return Outcome{rc, count};
}

TEST(SpatialBoxFirst, EveryMethodGivesTheAnswerOfTheFullTest)
{
    const int32_t methods[] = {SM_CP,       SM_LCROSS,   SM_COMMON,    SM_CP_OR_LCROSS, SM_ET_OR_AI,
                               SM_AI,       SM_AI_NO_ET, SM_PC,        SM_SC,           SM_PC_NO_ET,
                               SM_SC_NO_ET, SM_PIP,      SM_IDENTICAL, SM_CBM};
    int compared = 0;
    int undecoded = 0;
    int decoded = 0;
    std::mt19937 rng(5858u);
    for (int32_t size : {6, 20, 60}) {
        Generator gen(4242u + static_cast<uint32_t>(size), size);
        std::vector<Shape> filters;
        for (int k = 0; k < 10; k++)
            filters.push_back(gen.Next());
        filters.push_back(Round(size / 2, size / 2, size / 2.5, 40, false));
        filters.push_back(Round(size / 2, size / 2, size / 2.5, 24, true));
        filters.push_back(
            {VE_ENTITY_AREA, {{1, 1}, {size - 1, 1}, {size - 1, size - 1}, {1, size - 1}, {1, 1}}});
        for (const Shape &a : filters) {
            for (int i = 0; i < 40 && !HasFailure(); i++) {
                Shape b = gen.Next();
                // Moved about so that boxes fall apart, inside and across.
                int32_t dx = static_cast<int32_t>(rng() % (size + 1)) - size / 2;
                int32_t dy = static_cast<int32_t>(rng() % (size + 1)) - size / 2;
                for (POINT &p : b.points)
                    p = POINT{p.x + dx, p.y + dy};
                Row row(b);
                for (int32_t method : methods) {
                    for (int32_t truth : {1, 0}) {
                        SCOPED_TRACE(testing::Message()
                                     << mox_shapes::Describe(a) << " / " << mox_shapes::Describe(b)
                                     << " method " << method << " truth " << truth);
                        Filter q(a, method, truth);
                        Outcome full = RunRow(q, row, false);
                        if (full.rc != ZE_SUCCESS)
                            continue; // a shape the exact test refuses
                        // The row as the full test left it, decoded.
                        Outcome decided = RunRow(q, row, true, 0);
                        ASSERT_EQ(decided.rc, ZE_SUCCESS);
                        EXPECT_EQ(decided.passed, full.passed);
                        row.Scramble();
                        Outcome first = RunRow(q, row, true);
                        ASSERT_EQ(first.rc, ZE_SUCCESS);
                        EXPECT_EQ(first.passed, full.passed);
                        (row.Decoded() ? decoded : undecoded)++;
                        compared++;
                    }
                }
            }
        }
    }
    // The boxes settle many rows, and leave many open.
    EXPECT_GT(compared, 20000);
    EXPECT_GT(undecoded, 5000);
    EXPECT_GT(decoded, 5000);
}

// A row settled by its box is not decoded and gets the envelope's mark when
// the relation holds; a row the box leaves open is decoded and related.
TEST(SpatialBoxFirst, RowsTheBoxesSettleAreNotDecoded)
{
    const Shape square = {VE_ENTITY_AREA, {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}};
    const Shape round = Round(50, 50, 50, 64, false);
    struct Case {
        const char *name;
        const Shape *filter;
        int32_t method;
        Shape row;
        bool decoded;
        bool passes;
    } cases[] = {
        {"apart", &square, SM_ET_OR_AI, {VE_ENTITY_LINE, {{200, 0}, {300, 5}}}, false, false},
        {"inside the rectangle",
         &square,
         SM_SC,
         {VE_ENTITY_LINE, {{10, 10}, {30, 50}}},
         false,
         true},
        {"inside, no edge near",
         &round,
         SM_ET_OR_AI,
         {VE_ENTITY_AREA, {{45, 45}, {55, 45}, {55, 55}, {45, 55}, {45, 45}}},
         false,
         true},
        {"in the corner outside", &round, SM_SC, {VE_ENTITY_POINT, {{2, 2}}}, false, false},
        {"points inside",
         &round,
         SM_PIP,
         {VE_ENTITY_MULTI_POINT, {{40, 40}, {60, 60}}},
         false,
         true},
        {"line inside, point in polygon",
         &round,
         SM_PIP,
         {VE_ENTITY_LINE, {{40, 40}, {60, 60}}},
         true,
         false},
        {"filter's box not inside the row's",
         &square,
         SM_PC,
         {VE_ENTITY_AREA, {{-10, -10}, {90, -10}, {90, 110}, {-10, 110}, {-10, -10}}},
         false,
         false},
        {"a line across one edge",
         &square,
         SM_ET_OR_AI,
         {VE_ENTITY_LINE, {{90, 50}, {110, 50}}},
         false,
         true},
        {"a line across a corner",
         &square,
         SM_ET_OR_AI,
         {VE_ENTITY_LINE, {{90, 90}, {110, 110}}},
         true,
         true},
        {"points across one edge",
         &square,
         SM_ET_OR_AI,
         {VE_ENTITY_MULTI_POINT, {{90, 50}, {110, 50}}},
         true,
         true},
        {"multi line inside",
         &square,
         SM_SC,
         {VE_ENTITY_MULTI_LINE, {{10, 10}, {20, 20}, {20, 20}, {30, 30}, {40, 30}}},
         true,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Filter q(*c.filter, c.method, 1);
        Row row(c.row);
        row.Scramble();
        int32_t cell = 0;
        int32_t *rows[] = {&cell};
        int32_t count = -1;
        int32_t id = 0;
        ASSERT_EQ(VES_test_features(1, &row.f, &row.candidate, 1, &q.set, rows, &count, &id),
                  ZE_SUCCESS);
        EXPECT_EQ(row.Decoded(), c.decoded);
        EXPECT_EQ(count, c.passes ? 1 : 0);
        if (!c.decoded) {
            EXPECT_EQ(cell, c.passes ? VE_RELATION_BY_ENVELOPE : MOX_RELATION_TESTED);
        }
    }
}

// The relation flag asks for every cell's relation: no row is settled by its
// box then.
TEST(SpatialBoxFirst, TheRelationFlagDecodesEveryRow)
{
    const Shape square = {VE_ENTITY_AREA, {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}};
    Filter q(square, SM_SC, 1);
    q.set.relation_flag = 1;
    Row row({VE_ENTITY_LINE, {{10, 10}, {30, 50}}});
    row.Scramble();
    int32_t cell = 0;
    int32_t *rows[] = {&cell};
    int32_t count = -1;
    int32_t id = 0;
    ASSERT_EQ(VES_test_features(1, &row.f, &row.candidate, 1, &q.set, rows, &count, &id),
              ZE_SUCCESS);
    EXPECT_TRUE(row.Decoded());
    EXPECT_EQ(count, 1);
    EXPECT_NE(cell & MOX_RELATION_MATRIX, 0);
}

} // namespace
