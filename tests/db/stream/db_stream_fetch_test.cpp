// The road of one query against the scripted CLI: spatial constraints, set-up,
// describe, execute (with a search envelope: the pre-filter and its bound
// search shape, executed at the first fetch), then rows until -4, the exact
// test keeping or dropping each fixture row (shapes of every kind, a hole, a
// multi-part area, a NULL shape, a shape too long for the block refetched by
// row id, two rows of one feature). Beside it the search shape of each box
// kind, hostile shape values, blob segments and the faults built soundly.
#include "db/stream/db_stream_fetch.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/ve_varlong.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_array_fetch_internal.h"
#include "db/stream/db_stream_execute_internal.h"
#include "db/stream/db_stream_query.h"
#include "mox/mox.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/stream/query_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/spatial_fixture.h"

using namespace query_test;

namespace
{

[[maybe_unused]] std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = "0x";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

[[maybe_unused]] std::string unhex(const std::string &text)
{
    std::string out;
    for (size_t i = 2; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

} // namespace

class StreamFetch : public QueryFixture
{
};

TEST_F(StreamFetch, TheRoadOfOneQuery)
{
    SetUpQuery(kRoadBox);
    const std::string query = kRoadQuery;
    ASSERT_GT(shape_value(long_line()).size(), 200u);
    script_road_query();

    void **values = row_.values;
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, values), 0);
    // Prepared and bound, executed only at the first fetch.
    EXPECT_EQ(Executed(), (Strings{kSrid}));
    std::vector<Fetched> got;
    EXPECT_EQ(quiet_stderr([&] { return FetchAll(&got); }), ZE_NO_MORE_ROWS);
    // The first execute at the first fetch; the long shape again by its row id.
    EXPECT_EQ(Executed(), (Strings{kSrid, query, kRefetch}));
    const std::vector<scli::Call> executes = scli::calls_of("SQLExecute");
    ASSERT_GE(executes.size(), 2u);
    const scli::Call &run = executes[executes.size() - 2];
    ASSERT_EQ(run.sql, query);
    ASSERT_EQ(run.params.size(), 1u);
    // The search shape: five points of an area, then the compressed ring.
    const std::string param = unhex(run.params[0][0]);
    EXPECT_EQ(hex(param.substr(0, 8)), "0x0508000000000000");
    EXPECT_EQ(executes.back().params, (std::vector<std::vector<std::string>>{{"6"}}));

    ASSERT_EQ(got.size(), kRoadPassing.size());
    for (size_t i = 0; i < got.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].id, kRoadPassing[i].id);
        EXPECT_EQ(got[i].name, kRoadPassing[i].name);
        EXPECT_EQ(got[i].shape_indicator, kRoadPassing[i].indicator);
        EXPECT_EQ(got[i].points, static_cast<int32_t>(kRoadPassing[i].shape.points.size()));
    }
    // The shape of the last row is whole in the caller's record.
    auto *shape = static_cast<FEATURE_STRUCT *>(row_.values[1]);
    EXPECT_EQ(shape->feature_id, 6);
    EXPECT_EQ(shape->entity_type, VE_ENTITY_LINE);
    EXPECT_EQ(VES_feature_uncompress(1, shape), 0);
    EXPECT_EQ(shape->points[99].x, -50 + 2 * 99);
    EXPECT_EQ(stream_->stmt_main, nullptr); // freed at the end
    EXPECT_TRUE(scli::unused_answers().empty());
    // The row buffer holds the name (41 bytes) and the row id, each in slots
    // of 8; the shape has a buffer of its own.
    ASSERT_NE(stream_->fetch, nullptr);
    EXPECT_EQ(stream_->fetch->row_buffer_size, 48 + 8);
}

TEST_F(StreamFetch, TheByClauseStaysLastAndARowThatGrewIsFetchedAgain)
{
    by_ = " ORDER BY name";
    SetUpQuery({0, 0, 100, 100});
    const std::string query = "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  "
                              "gis:bob.roads  where  VE_EnvelopesIntersect(bob.roads.shape, "
                              "VE_GeomFromZel(?,NULL,3)) ORDER BY name";
    scli::on_sql(kSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(3)});
    scli::on_sql(query)
        .columns({{"name", SQL_VARCHAR, 40},
                  {"shape", SQL_LONGVARBINARY, 2000},
                  {"VE_ROW_ID", SQL_INTEGER}})
        .row({scli::varchar("long"), scli::binary(shape_value(long_line())), scli::i32(6)});
    // Between the block and its refetch the row grew: the first refetch is
    // cut (01004), and the second one has room for what its length cell said.
    scli::on_sql(kRefetch)
        .columns({{"", SQL_LONGVARBINARY, 100000}})
        .row({scli::binary(shape_value(long_line(150)))})
        .times(2);
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
    std::vector<Fetched> got;
    EXPECT_EQ(quiet_stderr([&] { return FetchAll(&got); }), ZE_NO_MORE_ROWS);
    EXPECT_EQ(Executed(), (Strings{kSrid, query, kRefetch, kRefetch}));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].points, 150);
}

TEST_F(StreamFetch, AMalformedShapeValueEndsTheFetch)
{
    SetUpQuery({0, 0, 100, 100});
    const std::string query = "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  "
                              "gis:bob.roads  where  VE_EnvelopesIntersect(bob.roads.shape, "
                              "VE_GeomFromZel(?,NULL,3))";
    std::string bad = shape_value({VE_ENTITY_LINE, {{-10, 20}, {110, 20}}});
    bad[8] = 0x3F; // the compressed feature claims more bytes than were fetched
    scli::on_sql(kSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(3)});
    scli::on_sql(query)
        .columns({{"name", SQL_VARCHAR, 40},
                  {"shape", SQL_LONGVARBINARY, 2000},
                  {"VE_ROW_ID", SQL_INTEGER}})
        .row({scli::varchar("bad"), scli::binary(bad), scli::i32(9)});
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
    int32_t id = 0;
    EXPECT_EQ(quiet_stderr([&] {
                  return DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr,
                                             &id);
              }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(stream_->stmt_main, nullptr);
    DB_EXT_ERROR x;
    DB_stream_get_xerr(&x, stream_);
    EXPECT_NE(strstr(x.message, "malformed shape value of row 9"), nullptr);
}

TEST_F(StreamFetch, TheSearchShapeOfEachBox)
{
    // The geometry module's own entity types: point 1, simple line 4, area 8.
    const struct {
        ENVELOPE box;
        int entity, points;
        const char *prefix;
    } cases[] = {
        {{10, 20, 10, 20}, VE_ENTITY_POINT, 1, "0x0101000000000000"},
        {{10, 20, 10, 90}, VE_ENTITY_SIMPLE_LINE, 2, "0x0204000000000000"},
        {{10, 20, 90, 20}, VE_ENTITY_SIMPLE_LINE, 2, "0x0204000000000000"},
        {{10, 20, 90, 80}, VE_ENTITY_AREA, 5, "0x0508000000000000"},
    };
    uint8_t *param = nullptr;
    int32_t capacity = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entity);
        int32_t length = 0;
        ASSERT_EQ(db_search_shape_param(roads_->coordref, &c.box, &param, &capacity, &length), 0);
        const std::string bytes(reinterpret_cast<const char *>(param), static_cast<size_t>(length));
        EXPECT_EQ(hex(bytes.substr(0, 8)), c.prefix);
        DB_SHAPE_VALUE shape;
        int32_t needed = 0;
        ASSERT_EQ(db_shape_value_decode(param, length, length, &shape, &needed), 0);
        EXPECT_EQ(shape.entity_type, c.entity);
        EXPECT_EQ(shape.num_points, c.points);
        FEATURE_STRUCT f{};
        f.num_points = shape.num_points;
        ASSERT_EQ(VES_comp_feature_alloc_by_size(&f, 0, shape.compressed_length), 0);
        memcpy(f.compressed, param + 8, static_cast<size_t>(shape.compressed_length));
        ASSERT_EQ(VES_feature_uncompress(1, &f), 0);
        EXPECT_EQ(f.points[0].x, 10);
        EXPECT_EQ(f.points[0].y, 20);
        if (c.points == 2) {
            EXPECT_EQ(f.points[1].x + f.points[1].y, c.box.maxx + c.box.maxy);
        }
        VES_comp_feature_free(&f);
    }
    free(param);
}

TEST(ShapeValue, HostileLengthsAreRefused)
{
    std::string good = shape_value({VE_ENTITY_LINE, {{1, 2}, {30, 40}}});
    const auto *bytes = reinterpret_cast<const uint8_t *>(good.data());
    const int64_t n = static_cast<int64_t>(good.size());
    std::string claims_more = good;
    claims_more[8] = 0x3F; // the length varLONG says 63 bytes follow
    std::string many_points = good;
    many_points[0] = 0x3F; // 63 points in a few bytes
    std::string unended(24, '\xff');
    const struct {
        const char *what;
        const uint8_t *value;
        int64_t length;
        int32_t capacity;
        int32_t rc;
    } cases[] = {
        {"whole", bytes, n, 200, 0},
        {"short", bytes, 9, 200, ZE_DBMS_ERROR},
        {"negative", bytes, -5, 200, ZE_DBMS_ERROR},
        {"no total", bytes, SQL_NO_TOTAL, 200, ZE_DBMS_ERROR},
        {"oversized", bytes, int64_t{INT32_MAX} + 1, 200, ZE_DBMS_ERROR},
        {"cut", bytes, n, 17, DB_SHAPE_VALUE_CUT},
        {"buffer too small", bytes, n, 12, ZE_DBMS_ERROR},
        {"claims more", reinterpret_cast<const uint8_t *>(claims_more.data()), n, 200,
         ZE_DBMS_ERROR},
        {"too many points", reinterpret_cast<const uint8_t *>(many_points.data()), n, 200,
         ZE_DBMS_ERROR},
        {"unended varLONG", reinterpret_cast<const uint8_t *>(unended.data()), 24, 24,
         ZE_DBMS_ERROR},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        DB_SHAPE_VALUE shape;
        int32_t needed = 0;
        EXPECT_EQ(db_shape_value_decode(c.value, c.length, c.capacity, &shape, &needed), c.rc);
        if (c.rc == DB_SHAPE_VALUE_CUT) {
            EXPECT_EQ(needed, n);
        }
    }
}

TEST_F(StreamFetch, ErrorsOfTheFetchAreReturned)
{
    // A shape buffer below eight times the rows per block: -57 at the first fetch.
    SetUpQuery({0, 0, 100, 100});
    scli::on_sql(kSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(3)});
    stream_->params[DB_STREAM_PARAM_FILTER_BUFFERS] = 250;
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
    int32_t id = 0;
    EXPECT_EQ(DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr, &id),
              ZE_SHAPE_BUFFER_TOO_SMALL);
    EXPECT_EQ(id, -1);
    // Blob pieces only of blob columns of the result, with a current row.
    int32_t size = 0;
    char piece[8];
    for (int16_t column : {-1, 0, 1, 2})
        EXPECT_EQ(DB_stream_get_blob_segment(stream_, column, 8, &size, piece),
                  ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_stream_get_blob_segment(stream_, 0, 8, nullptr, piece), ZE_NULL_POINTER);
}

TEST_F(StreamFetch, AnExactTestThatFailsIsRecorded)
{
    // A relation pattern that cannot be evaluated drops the row and says why.
    char pattern[] = "not a pattern";
    filter_.search_method = SM_CBM;
    filter_.relation = pattern;
    SetUpQuery({0, 0, 100, 100});
    const std::string query = "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  "
                              "gis:bob.roads  where  VE_EnvelopesIntersect(bob.roads.shape, "
                              "VE_GeomFromZel(?,NULL,3))";
    scli::on_sql(kSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(3)});
    scli::on_sql(query)
        .columns({{"name", SQL_VARCHAR, 40},
                  {"shape", SQL_LONGVARBINARY, 2000},
                  {"VE_ROW_ID", SQL_INTEGER}})
        .row({scli::varchar("crossing"),
              scli::binary(shape_value({VE_ENTITY_LINE, {{-10, 20}, {110, 20}}})), scli::i32(1)});
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
    std::vector<Fetched> got;
    EXPECT_EQ(quiet_stderr([&] { return FetchAll(&got); }), ZE_NO_MORE_ROWS);
    EXPECT_TRUE(got.empty());
    DB_EXT_ERROR x;
    DB_stream_get_xerr(&x, stream_);
    EXPECT_EQ(x.code, ZE_INVALID_RELATION);
    EXPECT_NE(strstr(x.message, "row 1"), nullptr);
}
