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
#include "tests/support/quiet_stderr.h"
#include "tests/support/spatial_fixture.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

struct ShapeDef {
    uint16_t entity;
    std::vector<POINT> points;
};

// The fetched form of a shape: the 8-byte prefix and the compressed feature.
std::string shape_value(const ShapeDef &def)
{
    FEATURE_STRUCT f{};
    f.entity_type = def.entity;
    const int32_t n = static_cast<int32_t>(def.points.size());
    EXPECT_EQ(VES_comp_feature_alloc(&f, n, 0, 1), 0);
    memcpy(f.points, def.points.data(), def.points.size() * sizeof(POINT));
    EXPECT_EQ(VES_feature_compress(&f, 0), 0);
    const int32_t size = VES_get_compressed_buffer_size(&f);
    std::string out(DB_SHAPE_PREFIX_BYTES, '\0');
    uint8_t *at = VES_encode_varLONG(n, reinterpret_cast<uint8_t *>(out.data()));
    VES_encode_varLONG(def.entity, at);
    out.append(reinterpret_cast<const char *>(f.compressed), static_cast<size_t>(size));
    VES_comp_feature_free(&f);
    return out;
}

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

// A line of many points, longer than the layer's 200-byte shape buffer.
ShapeDef long_line(int32_t n = 100)
{
    ShapeDef d{VE_ENTITY_LINE, {}};
    for (int32_t i = 0; i < n; i++)
        d.points.push_back({-50 + 2 * i, 10 + (i % 7) * 300});
    return d;
}

const std::string kSetup = "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ";
const std::string kSrid =
    "select srid from zel:zel.spatial_references where falsex = ? and falsey = ? and xyunits = ? "
    "   and falsez = ? and zunits = ? and falsem = ? and munits = ? and    srtext = "
    "'PROJCS[\"local\"]'";
const std::string kRefetch = "SELECT VE_AsZel(shape) from gis:bob.roads WHERE VE_ROW_ID = ?";

} // namespace

class StreamFetch : public LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        DB_STREAM_PARAMS params{};
        params.words[DB_STREAM_PARAM_FILTER_BUFFERS] = 1;
        params.words[DB_STREAM_PARAM_SHAPE_BUFFER] = 4096;
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        LayerRow row;
        row.eflags = LAYER_SPATIAL | LAYER_LINE | LAYER_AREA;
        row.optimal_array_size = optimal_;
        answer_layers(by_id(7), {row});
        ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &roads_), 0);
        REGISTRATION r{};
        memcpy(r.tag, "ReG", 4);
        r.registration_id = 7;
        strcpy(r.database_name, "gis");
        strcpy(r.owner, "bob");
        strcpy(r.table_name, "roads");
        r.object_flags = REG_LAYER;
        host_.add_registration(r);

        filter_shape_.entity_type = VE_ENTITY_AREA;
        const int32_t n = static_cast<int32_t>(kHoledSquarePoints.size());
        ASSERT_EQ(VES_comp_feature_alloc(&filter_shape_, n, 0, 1), 0);
        memcpy(filter_shape_.points, kHoledSquarePoints.data(), n * sizeof(POINT));
        ASSERT_EQ(MoxsNvelop(&filter_shape_), 0);
        strcpy(filter_.table_name, "roads");
        strcpy(filter_.column_name, "shape");
        filter_.filter_type = VE_SHAPE_FILTER;
        filter_.shape = &filter_shape_;
        filter_.search_method = SM_AI;
        filter_.truth = 1;
        MarkNow();
    }
    void TearDown() override
    {
        VES_free_row_pointers(&row_);
        DB_stream_free(stream_);
        free(stream_);
        VES_comp_feature_free(&filter_shape_);
        LayerFixture::TearDown();
    }

    // Constraints, set-up and describe; the row's buffers from the description.
    void SetUpQuery(ENVELOPE box, int16_t filters = 1)
    {
        ASSERT_EQ(DB_stream_set_spatial_constraints(stream_, filters, &filter_, box, 0), 0);
        scli::on_sql(kSetup + (by_ != nullptr ? by_ : ""))
            .columns({{"name", SQL_VARCHAR, 40}, {"shape", SQL_LONGVARBINARY, 2000}})
            .repeat();
        columns_ = {"name", "shape"};
        tables_ = {"roads"};
        column_ptrs_ = {columns_[0].data(), columns_[1].data()};
        table_ptrs_ = {tables_[0].data()};
        construct_ = {1, table_ptrs_.data(), nullptr};
        VES_initialize_queryinfo(&info_);
        info_.num_columns = 2;
        info_.columns = column_ptrs_.data();
        info_.construct = &construct_;
        info_.by_clause = const_cast<char *>(by_);
        ASSERT_EQ(DB_stream_init_query_layer(stream_, &info_, nullptr, nullptr, nullptr), 0);
        int16_t count = 0;
        DB_COLUMN_DEF *defs = nullptr;
        LAYER **layers = nullptr;
        ASSERT_EQ(DB_stream_describe_sql(stream_, nullptr, &count, &defs, &layers), 0);
        ASSERT_EQ(count, 2);
        EXPECT_EQ(defs[0].type, VE_STRING);
        EXPECT_EQ(defs[1].type, VE_SHAPE);
        EXPECT_EQ(layers[0], nullptr);
        EXPECT_EQ(layers[1], roads_);
        free(layers);
        row_.column_count = count;
        row_.columns = defs;
        ASSERT_EQ(VES_allocate_row_pointers(&row_, 0), 0);
    }

    // Fetches until the end: ids, names and shape indicators of the rows.
    struct Fetched {
        int32_t id;
        std::string name;
        int16_t shape_indicator;
        int32_t points;
    };
    int32_t FetchAll(std::vector<Fetched> *out)
    {
        for (;;) {
            int32_t id = 0;
            int32_t rc =
                DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr, &id);
            if (rc != 0)
                return rc;
            auto *shape = static_cast<FEATURE_STRUCT *>(row_.values[1]);
            out->push_back({id, static_cast<const char *>(row_.values[0]), row_.indicators[1],
                            shape->num_points});
        }
    }

    int32_t optimal_ = 200;
    const char *by_ = nullptr;
    DB_STREAM *stream_ = nullptr;
    LAYER *roads_ = nullptr;
    FEATURE_STRUCT filter_shape_{};
    VE_FILTER filter_{};
    Strings columns_, tables_;
    std::vector<char *> column_ptrs_, table_ptrs_;
    VE_SQL_CONSTRUCT construct_{};
    VE_QUERYINFO info_{};
    VE_ROW_POINTERS row_{};
};

TEST_F(StreamFetch, TheRoadOfOneQuery)
{
    SetUpQuery({0, 0, 100, 100});
    const std::string query = "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  "
                              "gis:bob.roads  where  VE_EnvelopesIntersect(bob.roads.shape, "
                              "VE_GeomFromZel(?,NULL,3))";
    scli::on_sql(kSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(3)});
    const std::string crossing = shape_value({VE_ENTITY_LINE, {{-10, 20}, {110, 20}}});
    const std::string big = shape_value(long_line());
    ASSERT_GT(big.size(), 200u);
    std::vector<scli::Row> rows = {
        {scli::varchar("crossing"), scli::binary(crossing), scli::i32(1)},
        {scli::varchar("crossing again"), scli::binary(crossing), scli::i32(1)},
        {scli::varchar("in the hole"), scli::binary(shape_value({VE_ENTITY_POINT, {{50, 50}}})),
         scli::i32(2)},
        {scli::varchar("outside"), scli::binary(shape_value({VE_ENTITY_POINT, {{150, 150}}})),
         scli::i32(3)},
        {scli::varchar("two parts"),
         scli::binary(shape_value({VE_ENTITY_MULTI_AREA,
                                   {{200, 200},
                                    {210, 200},
                                    {210, 210},
                                    {200, 200},
                                    {10, 10},
                                    {20, 10},
                                    {20, 20},
                                    {10, 10}}})),
         scli::i32(4)},
        {scli::varchar("no shape"), scli::null(), scli::i32(5)},
        {scli::varchar("long"), scli::binary(big), scli::i32(6)},
    };
    scli::on_sql(query)
        .columns({{"name", SQL_VARCHAR, 40},
                  {"shape", SQL_LONGVARBINARY, 2000},
                  {"VE_ROW_ID", SQL_INTEGER}})
        .rows(rows);
    scli::on_sql(kRefetch).columns({{"", SQL_LONGVARBINARY, 100000}}).row({scli::binary(big)});

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

    ASSERT_EQ(got.size(), 4u);
    const struct {
        int32_t id;
        const char *name;
        int16_t indicator;
        int32_t points;
    } want[] = {{1, "crossing", VE_IND_VALUE, 2},
                {1, "crossing again", VE_IND_NO_SHAPE, 2},
                {4, "two parts", VE_IND_VALUE, 8},
                {6, "long", VE_IND_VALUE, 100}};
    for (size_t i = 0; i < got.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].id, want[i].id);
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].shape_indicator, want[i].indicator);
        EXPECT_EQ(got[i].points, want[i].points);
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
