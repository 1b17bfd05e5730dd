// Filter analysis: the search envelope and the empty flag derived from a
// query's filters, for intersecting and fewest-cells cases, nil shapes, id
// filters and filters that only exclude.
#include "base/util/ve_filter_analysis.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "base/util/zel_errors.h"

static bool operator==(const ENVELOPE &a, const ENVELOPE &b)
{
    return a.minx == b.minx && a.miny == b.miny && a.maxx == b.maxx && a.maxy == b.maxy;
}

static std::ostream &operator<<(std::ostream &os, const ENVELOPE &e)
{
    return os << "{" << e.minx << "," << e.miny << "," << e.maxx << "," << e.maxy << "}";
}

namespace
{

struct F {
    int32_t type; // VE_SHAPE_FILTER or VE_ID_FILTER
    int32_t method;
    int32_t truth;
    ENVELOPE box;
    uint16_t entity; // of the shape
};

const ENVELOPE kEmpty = {INT32_MAX, INT32_MAX, 0, 0};
const ENVELOPE kUntouched = {-5, -5, -5, -5};

TEST(FilterAnalysis, SearchEnvelopeAndEmptyFlag)
{
    const int32_t S = VE_SHAPE_FILTER;
    const int32_t I = VE_ID_FILTER;
    const uint16_t A = VE_ENTITY_AREA;
    struct {
        const char *name;
        std::vector<F> filters;
        int32_t grid;
        int32_t rc;
        int32_t empty;
        ENVELOPE envelope;
    } cases[] = {
        {"no filters", {}, 0, ZE_SUCCESS, 0, kEmpty},
        {"overlapping SM_SC filters intersect",
         {{S, SM_SC, 1, {0, 0, 100, 100}, A}, {S, SM_SC, 1, {50, 20, 200, 80}, A}},
         0,
         ZE_SUCCESS,
         0,
         {50, 20, 100, 80}},
        {"apart SM_SC filters leave nothing",
         {{S, SM_SC, 1, {0, 0, 10, 10}, A}, {S, SM_SC, 1, {20, 20, 30, 30}, A}},
         0,
         ZE_SUCCESS,
         1,
         {20, 20, 10, 10}},
        {"one intersecting method draws in every must-pass filter",
         {{S, SM_CP, 1, {0, 0, 100, 100}, A},
          {S, SM_SC, 1, {50, 50, 300, 300}, A},
          {S, SM_AI, 0, {0, 0, 1, 1}, A}},
         0,
         ZE_SUCCESS,
         0,
         {50, 50, 100, 100}},
        {"SM_SC_NO_ET and SM_IDENTICAL intersect too",
         {{S, SM_SC_NO_ET, 1, {0, 0, 100, 100}, A}, {S, SM_IDENTICAL, 1, {10, 10, 20, 20}, A}},
         0,
         ZE_SUCCESS,
         0,
         {10, 10, 20, 20}},
        {"a point filter is a box of no extent, not an empty one",
         {{S, SM_SC, 1, {40, 60, 40, 60}, VE_ENTITY_POINT}},
         0,
         ZE_SUCCESS,
         0,
         {40, 60, 40, 60}},
        {"a point on a box's corner meets it",
         {{S, SM_SC, 1, {0, 0, 40, 60}, A}, {S, SM_IDENTICAL, 1, {40, 60, 40, 60}, A}},
         0,
         ZE_SUCCESS,
         0,
         {40, 60, 40, 60}},
        {"boxes that only share an edge meet along it",
         {{S, SM_SC, 1, {0, 0, 10, 10}, A}, {S, SM_SC, 1, {10, 0, 20, 10}, A}},
         0,
         ZE_SUCCESS,
         0,
         {10, 0, 10, 10}},
        {"boxes one unit apart do not",
         {{S, SM_SC, 1, {0, 0, 10, 10}, A}, {S, SM_SC, 1, {11, 0, 20, 10}, A}},
         0,
         ZE_SUCCESS,
         1,
         {11, 0, 10, 10}},
        {"negative system units keep their box",
         {{S, SM_SC, 1, {-300, -300, -100, -100}, A}},
         0,
         ZE_SUCCESS,
         0,
         {-300, -300, -100, -100}},
        {"fewest grid cells", // 1 x 1 cells beats 2 x 2
         {{S, SM_AI, 1, {0, 0, 150, 150}, A}, {S, SM_CP, 1, {200, 200, 299, 299}, A}},
         100,
         ZE_SUCCESS,
         0,
         {200, 200, 299, 299}},
        {"equal cell counts keep the first",
         {{S, SM_AI, 1, {0, 0, 50, 50}, A}, {S, SM_AI, 1, {110, 110, 120, 120}, A}},
         100,
         ZE_SUCCESS,
         0,
         {0, 0, 50, 50}},
        {"without a grid the half perimeter decides", // 10 x 10 beats 1 x 30
         {{S, SM_AI, 1, {0, 0, 1, 30}, A}, {S, SM_AI, 1, {0, 0, 10, 10}, A}},
         0,
         ZE_SUCCESS,
         0,
         {0, 0, 10, 10}},
        {"a whole-range box counts its cells without overflow",
         {{S, SM_AI, 1, {-INT32_MAX, -INT32_MAX, INT32_MAX, INT32_MAX}, A},
          {S, SM_AI, 1, {0, 0, 100, 100}, A}},
         1,
         ZE_SUCCESS,
         0,
         {0, 0, 100, 100}},
        {"and its half perimeter",
         {{S, SM_AI, 1, {-INT32_MAX, -INT32_MAX, INT32_MAX, INT32_MAX}, A},
          {S, SM_AI, 1, {0, 0, 100, 100}, A}},
         -1,
         ZE_SUCCESS,
         0,
         {0, 0, 100, 100}},
        {"must-not filters are left out of the choice",
         {{S, SM_AI, 0, {0, 0, 1, 1}, A}, {S, SM_AI, 1, {0, 0, 50, 50}, A}},
         0,
         ZE_SUCCESS,
         0,
         {0, 0, 50, 50}},
        {"only must-not filters",
         {{S, SM_AI, 0, {0, 0, 1, 1}, A}},
         0,
         ZE_NO_MUST_PASS_FILTER,
         0,
         kEmpty},
        {"a nil must-pass shape empties the result first",
         {{I, SM_SC, 1, {0, 0, 1, 1}, A}, {S, SM_AI, 1, {0, 0, 1, 1}, VE_ENTITY_NIL}},
         0,
         ZE_SUCCESS,
         1,
         kUntouched},
        {"a nil must-not shape does not",
         {{S, SM_AI, 0, {0, 0, 1, 1}, VE_ENTITY_NIL}},
         0,
         ZE_NO_MUST_PASS_FILTER,
         0,
         kEmpty},
        {"id filter in the intersecting case",
         {{S, SM_SC, 1, {0, 0, 10, 10}, A}, {I, SM_AI, 1, {0, 0, 1, 1}, A}},
         0,
         ZE_INVALID_FILTER_TYPE,
         0,
         kEmpty},
        {"id filter in the fewest-cells case: later shapes still choose",
         {{S, SM_AI, 1, {0, 0, 10, 10}, A},
          {I, SM_AI, 1, {0, 0, 1, 1}, A},
          {S, SM_AI, 1, {0, 0, 20, 20}, A}},
         0,
         ZE_INVALID_FILTER_TYPE,
         0,
         {0, 0, 20, 20}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FEATURE_STRUCT> shapes(c.filters.size());
        std::vector<VE_FILTER> filters(c.filters.size());
        for (size_t i = 0; i < c.filters.size(); i++) {
            shapes[i].entity_type = c.filters[i].entity;
            shapes[i].envelope = c.filters[i].box;
            filters[i].filter_type = c.filters[i].type;
            filters[i].search_method = c.filters[i].method;
            filters[i].truth = c.filters[i].truth;
            if (c.filters[i].type == VE_SHAPE_FILTER)
                filters[i].shape = &shapes[i];
            else
                filters[i].id = 99;
        }
        int32_t empty = -7;
        ENVELOPE envelope = kUntouched;
        EXPECT_EQ(VES_analyze_filters(static_cast<int16_t>(filters.size()), filters.data(), c.grid,
                                      &empty, &envelope),
                  c.rc);
        if (c.empty != 0 || c.rc == ZE_SUCCESS) {
            EXPECT_EQ(empty, c.empty);
        }
        EXPECT_EQ(envelope, c.envelope);
    }
}

TEST(FilterAnalysis, RefusesUnreadableArguments)
{
    VE_FILTER filter = {};
    filter.filter_type = VE_SHAPE_FILTER;
    filter.truth = 1;
    int32_t empty = 0;
    ENVELOPE envelope = {};
    EXPECT_EQ(VES_analyze_filters(1, &filter, 0, &empty, &envelope), ZE_NULL_SHAPE);
    EXPECT_EQ(VES_analyze_filters(1, nullptr, 0, &empty, &envelope), ZE_NULL_POINTER);
    EXPECT_EQ(VES_analyze_filters(1, &filter, 0, nullptr, &envelope), ZE_NULL_POINTER);
    EXPECT_EQ(VES_analyze_filters(1, &filter, 0, &empty, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_analyze_filters(-1, &filter, 0, &empty, &envelope), ZE_INVALID_ARGUMENT);
}

} // namespace
