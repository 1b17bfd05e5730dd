// The query fetch settles a row by its box only where the box truly decides
// the filter: one row per case through the scripted CLI against the holed
// square, shapes whose box misleads (a multi line whose lone point widens its
// box, a multi line of lone points only, a relation pattern that asks for
// features apart) beside shapes the box does settle, every method kind,
// must-pass and must-not, with and without the relation flag. Each case's
// answer is also the exact test's own on the decoded row, without boxes.
#include <gtest/gtest.h>

#include <ctype.h>
#include <sqlext.h>
#include <string.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_spatial_test.h"
#include "base/util/zel_errors.h"
#include "db/stream/db_stream_execute.h"
#include "db/stream/db_stream_fetch.h"
#include "db/stream/db_stream_query.h"
#include "mox/mox.h"
#include "tests/db/stream/query_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace query_test;

namespace
{

// A multi line: a line in the square's interior, then a part of one point
// outside it. The exact test keeps the line only; the box reaches the point.
const ShapeDef kLineAndLonePoint = {VE_ENTITY_MULTI_LINE,
                                    {{10, 20}, {90, 20}, {90, 20}, {150, 150}}};
// A multi line of two parts of one point each, inside the square: no line at
// all, so nothing meets it, though its box lies in the square's interior.
const ShapeDef kLonePointsOnly = {VE_ENTITY_MULTI_LINE, {{20, 20}, {20, 20}, {30, 30}}};
const ShapeDef kInsideLine = {VE_ENTITY_LINE, {{10, 20}, {90, 20}}};
const ShapeDef kLineApart = {VE_ENTITY_LINE, {{150, 150}, {180, 160}}};
const ShapeDef kPointApart = {VE_ENTITY_POINT, {{150, 150}}};
const ShapeDef kPointsInside = {VE_ENTITY_MULTI_POINT, {{10, 10}, {20, 30}}};
const ShapeDef kPointsAcross = {VE_ENTITY_MULTI_POINT, {{10, 10}, {150, 150}}};

struct BoxCase {
    const char *what;
    ShapeDef shape;
    int32_t method;
    int32_t truth;
    const char *pattern; // SM_CBM only
    int32_t search_order;
    bool kept;
};

void PrintTo(const BoxCase &c, std::ostream *os)
{
    *os << c.what;
}

const BoxCase kCases[] = {
    // The lone point puts the box outside the square: "contained" is not
    // settled by the box.
    {"line and lone point, contained", kLineAndLonePoint, SM_SC, 1, nullptr, 0, true},
    {"line and lone point, in the interior", kLineAndLonePoint, SM_SC_NO_ET, 1, nullptr, 0, true},
    {"line and lone point, not contained", kLineAndLonePoint, SM_SC, 0, nullptr, 0, false},
    {"line and lone point, contained, relations", kLineAndLonePoint, SM_SC, 1, nullptr, 1, true},
    {"line and lone point, meets", kLineAndLonePoint, SM_ET_OR_AI, 1, nullptr, 0, true},
    // A box in the square's interior holds no line: nothing is met.
    {"lone points only, meets", kLonePointsOnly, SM_ET_OR_AI, 1, nullptr, 0, false},
    {"lone points only, does not meet", kLonePointsOnly, SM_ET_OR_AI, 0, nullptr, 0, true},
    {"lone points only, contained", kLonePointsOnly, SM_SC, 1, nullptr, 0, false},
    {"lone points only, interiors meet", kLonePointsOnly, SM_AI, 1, nullptr, 0, false},
    // Boxes apart answer every method but a relation pattern.
    {"apart, pattern of features apart", kLineApart, SM_CBM, 1, "FF*FF****", 0, true},
    {"apart, pattern of features meeting", kLineApart, SM_CBM, 1, "T********", 0, false},
    {"apart, meets", kPointApart, SM_ET_OR_AI, 1, nullptr, 0, false},
    {"apart, does not meet", kPointApart, SM_ET_OR_AI, 0, nullptr, 0, true},
    // Boxes that do settle the row.
    {"line inside, contained", kInsideLine, SM_SC, 1, nullptr, 0, true},
    {"line inside, not contained", kInsideLine, SM_SC, 0, nullptr, 0, false},
    {"line inside, interiors meet", kInsideLine, SM_AI, 1, nullptr, 0, true},
    {"points inside, in the polygon", kPointsInside, SM_PIP, 1, nullptr, 0, true},
    {"points across, in the polygon", kPointsAcross, SM_PIP, 1, nullptr, 0, false},
    // Envelope methods: the boxes are the answer.
    {"line inside, envelopes apart", kInsideLine, SM_ENVP, 0, nullptr, 0, false},
    {"point apart, envelopes apart", kPointApart, SM_ENVP, 0, nullptr, 0, true},
    {"line and lone point, envelopes apart", kLineAndLonePoint, SM_ENVP, 0, nullptr, 0, false},
};

class StreamFetchByBox : public QueryFixture, public ::testing::WithParamInterface<BoxCase>
{
  protected:
    // The exact test alone on the decoded row: 1 kept, 0 left out, else its error.
    int32_t ExactAnswer(const BoxCase &c)
    {
        FEATURE_STRUCT f{};
        f.feature_id = 1;
        f.entity_type = c.shape.entity;
        const auto n = static_cast<int32_t>(c.shape.points.size());
        EXPECT_EQ(VES_comp_feature_alloc(&f, n, 0, 1), 0);
        memcpy(f.points, c.shape.points.data(), c.shape.points.size() * sizeof(POINT));
        EXPECT_EQ(MoxsNvelop(&f), 0);
        VE_FEATURE_SPEC *specs = nullptr;
        EXPECT_EQ(VES_generate_feature_specs(1, &filter_, &specs), 0);
        VE_SPATIAL_CONSTRAINTS constraints{};
        constraints.filter_count = 1;
        constraints.filters = &filter_;
        constraints.relation_flag = c.search_order;
        constraints.specs = specs;
        int32_t cell = 0, passed = 0, id = 0;
        int32_t *rows[] = {&cell};
        int32_t rc = VES_test_features(1, &f, nullptr, 0, &constraints, rows, &passed, &id);
        VES_free_feature_specs(1, &filter_, specs);
        VES_comp_feature_free(&f);
        return rc != 0 ? rc : passed;
    }
};

TEST_P(StreamFetchByBox, TheRowIsKeptAsTheExactTestSays)
{
    const BoxCase &c = GetParam();
    filter_.search_method = c.method;
    filter_.truth = c.truth;
    filter_.relation = const_cast<char *>(c.pattern);
    if (c.method >= SM_CP) {
        ASSERT_EQ(ExactAnswer(c), c.kept ? 1 : 0);
    }
    SetUpQuery(kRoadBox);
    ASSERT_EQ(DB_stream_set_spatial_constraints(stream_, 1, &filter_, kRoadBox, c.search_order), 0);
    scli::on_sql(kSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(3)});
    scli::on_sql(kRoadQuery)
        .columns({{"name", SQL_VARCHAR, 40},
                  {"shape", SQL_LONGVARBINARY, 2000},
                  {"VE_ROW_ID", SQL_INTEGER}})
        .row({scli::varchar("the row"), scli::binary(shape_value(c.shape)), scli::i32(1)});
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
    std::vector<Fetched> got;
    EXPECT_EQ(quiet_stderr([&] { return FetchAll(&got); }), ZE_NO_MORE_ROWS);
    EXPECT_EQ(Executed(), (Strings{kSrid, kRoadQuery}));
    ASSERT_EQ(got.size(), c.kept ? 1u : 0u);
    if (c.kept) {
        EXPECT_EQ(got[0].id, 1);
        EXPECT_EQ(got[0].points, static_cast<int32_t>(c.shape.points.size()));
    }
    // A row left out is left out by its filter, not by a failed test.
    DB_EXT_ERROR x;
    DB_stream_get_xerr(&x, stream_);
    EXPECT_EQ(x.code, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, StreamFetchByBox, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BoxCase> &info) {
                             std::string name;
                             for (const char *p = info.param.what; *p != '\0'; p++)
                                 name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

} // namespace
