// The road of one query against the scripted CLI: spatial constraints, set-up,
// describe, execute (with a search envelope: the pre-filter and its bound
// search shape, executed at the first fetch), then rows until -4, the exact
// test keeping or dropping each fixture row (shapes of every kind, a hole, a
// multi-part area, a NULL shape, a shape too long for the block refetched by
// row id, two rows of one feature). Beside it the search shape of each box
// kind, hostile shape values, blob segments and the faults built soundly.
// Without a search envelope: the hidden shape and row-id columns, the exact
// test alone dropping rows (every filter must hold, a feature failing on
// one row is not returned on the next), and the automatic log taking the
// ids of the rows returned (a layer's row ids, or a table's registered ids
// through the hidden log-id column); a shape around the block's buffer size
// and a blob longer than the caller's block.
#include "db/stream/db_stream_fetch.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/ve_varlong.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/catalog/db_log.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_array_fetch_internal.h"
#include "db/stream/db_stream_execute_internal.h"
#include "db/stream/db_stream_query.h"
#include "mox/mox.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/stream/query_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_lob_store.h"
#include "tests/support/scli_log_store.h"
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

namespace
{

// Queries over roads without a search envelope: the fetch reads the rows as
// the DBMS gives them and the exact test alone drops rows; the automatic
// log takes the ids of the rows that reach the caller.
class PlainFetch : public QueryFixture
{
  protected:
    void SetUp() override
    {
        QueryFixture::SetUp();
        store_ = &scli::log_store_install();
        ASSERT_EQ(DB_log_init(instance_), 0);
    }
    void TearDown() override
    {
        if (number_ != 0)
            DB_log_close(instance_, number_);
        DB_log_end(instance_);
        QueryFixture::TearDown();
    }
    // Set-up and describe of the columns of roads, without a box.
    void Describe(const Strings &columns, const std::string &setup,
                  const std::vector<scli::Column> &described, int16_t filters = 1,
                  const VE_FILTER *given = nullptr)
    {
        const ENVELOPE none = {1, 1, 0, 0};
        ASSERT_EQ(DB_stream_set_spatial_constraints(stream_, filters,
                                                    given != nullptr ? given : &filter_, none, 0),
                  0);
        scli::on_sql(setup).columns(described).repeat();
        columns_ = columns;
        tables_ = {"roads"};
        column_ptrs_.clear();
        for (std::string &c : columns_)
            column_ptrs_.push_back(c.data());
        table_ptrs_ = {tables_[0].data()};
        construct_ = {1, table_ptrs_.data(), nullptr};
        VES_initialize_queryinfo(&info_);
        info_.num_columns = static_cast<int16_t>(columns_.size());
        info_.columns = column_ptrs_.data();
        info_.construct = &construct_;
        ASSERT_EQ(DB_stream_init_query_layer(stream_, &info_, nullptr, nullptr, nullptr), 0);
        int16_t count = 0;
        DB_COLUMN_DEF *defs = nullptr;
        ASSERT_EQ(DB_stream_describe_sql(stream_, nullptr, &count, &defs, nullptr), 0);
        ASSERT_EQ(count, static_cast<int16_t>(columns.size()));
        row_.column_count = count;
        row_.columns = defs;
        ASSERT_EQ(VES_allocate_row_pointers(&row_, 0), 0);
    }
    // Opens a log of roads (a layer log, or a table log by objectid).
    void OpenLog(uint32_t flags)
    {
        LOGFILE log{};
        memcpy(log.tag, LOGINFO_TAG, 4);
        snprintf(log.name, sizeof(log.name), "fetched%d", ++logs_);
        strcpy(log.table_name, "gis:bob.roads");
        log.flags = flags;
        log.registration.registration_id = 7;
        strcpy(log.registration.database_name, "gis");
        strcpy(log.registration.owner, "bob");
        strcpy(log.registration.table_name, "roads");
        strcpy(log.registration.rowid_column, "objectid");
        log.registration.object_flags = REG_LAYER | REG_ROWID_COLUMN;
        log.registration_id = 7;
        log.layer_id = 7;
        ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number_), 0);
    }
    std::vector<int32_t> Logged()
    {
        EXPECT_EQ(DB_log_close(instance_, number_), 0);
        number_ = 0;
        const scli::LogRow *row = store_->find("bob", "fetched" + std::to_string(logs_));
        return row != nullptr ? store_->ids("bob", row->data_id) : std::vector<int32_t>{};
    }
    // Names of the rows fetched to the end, with auto log on.
    std::vector<std::string> FetchNames(int32_t *rc)
    {
        std::vector<std::string> names;
        for (;;) {
            int32_t id = 0;
            *rc = DB_stream_fetch_row(stream_, 1, row_.values, row_.indicators, nullptr, &id);
            if (*rc != 0)
                return names;
            names.push_back(static_cast<const char *>(row_.values[0]));
        }
    }
    scli::LogStore *store_ = nullptr;
    int32_t number_ = 0;
    int logs_ = 0; // logs opened so far
};

} // namespace

TEST_F(PlainFetch, TheExactTestAloneDropsRowsAndTheLogTakesThePassingIds)
{
    const std::string with_shape = "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ";
    const std::string name_only = "select  name  from  gis:bob.roads ";
    const std::vector<scli::Column> name_shape = {{"name", SQL_VARCHAR, 40},
                                                  {"shape", SQL_LONGVARBINARY, 2000}};
    const std::vector<scli::Column> name = {{"name", SQL_VARCHAR, 40}};
    // The rows of road_rows() with an objectid of 100 + VE_ROW_ID before
    // them, for the table log.
    auto with_objectid = [](const std::vector<scli::Row> &rows, size_t at) {
        std::vector<scli::Row> out;
        for (scli::Row r : rows) {
            const int32_t id = static_cast<int32_t>(r.back().i);
            r.insert(r.begin() + static_cast<long>(at), scli::i32(100 + id));
            out.push_back(r);
        }
        return out;
    };
    // Shape and VE_ROW_ID swapped: the order of the hidden columns when the
    // caller selects no shape.
    auto id_then_shape = [](const std::vector<scli::Row> &rows) {
        std::vector<scli::Row> out;
        for (const scli::Row &r : rows)
            out.push_back({r[0], r[2], r[1]});
        return out;
    };
    const struct {
        const char *what;
        Strings columns;
        const std::string &setup;
        const std::vector<scli::Column> &described;
        uint32_t log_flags;
        bool through_execute; // the log given to the execute, not set before
        std::string query;
        std::vector<scli::Column> answered;
        std::vector<scli::Row> rows;
        std::vector<int32_t> logged;
    } cases[] = {
        {"shape selected, layer log set before",
         {"name", "shape"},
         with_shape,
         name_shape,
         LOGINFO_LAYER,
         false,
         "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  gis:bob.roads ",
         {{"name", SQL_VARCHAR, 40},
          {"shape", SQL_LONGVARBINARY, 2000},
          {"VE_ROW_ID", SQL_INTEGER}},
         road_rows(),
         {1, 1, 4, 6}},
        {"no shape selected: the hidden shape",
         {"name"},
         name_only,
         name,
         LOGINFO_LAYER,
         true,
         "select  name  , bob.roads.VE_ROW_ID,  VE_AsZel(shape) shape from  gis:bob.roads ",
         {{"name", SQL_VARCHAR, 40},
          {"VE_ROW_ID", SQL_INTEGER},
          {"shape", SQL_LONGVARBINARY, 2000}},
         id_then_shape(road_rows()),
         {1, 1, 4, 6}},
        {"table log: the hidden log-id column",
         {"name", "shape"},
         with_shape,
         name_shape,
         LOGINFO_TABLE,
         false,
         "select  name,   VE_AsZel(shape) shape  , gis:bob.roads.objectid , bob.roads.VE_ROW_ID "
         "from  gis:bob.roads ",
         {{"name", SQL_VARCHAR, 40},
          {"shape", SQL_LONGVARBINARY, 2000},
          {"objectid", SQL_INTEGER},
          {"VE_ROW_ID", SQL_INTEGER}},
         with_objectid(road_rows(), 2),
         {101, 101, 104, 106}},
        {"table log given to the execute",
         {"name", "shape"},
         with_shape,
         name_shape,
         LOGINFO_TABLE,
         true,
         "select  name,   VE_AsZel(shape) shape  , gis:bob.roads.objectid , bob.roads.VE_ROW_ID "
         "from  gis:bob.roads ",
         {{"name", SQL_VARCHAR, 40},
          {"shape", SQL_LONGVARBINARY, 2000},
          {"objectid", SQL_INTEGER},
          {"VE_ROW_ID", SQL_INTEGER}},
         with_objectid(road_rows(), 2),
         {101, 101, 104, 106}},
    };
    // The table log finds its layer by the table's name.
    layer_test::LayerRow roads;
    roads.eflags = LAYER_SPATIAL | LAYER_LINE | LAYER_AREA;
    roads.optimal_array_size = optimal_;
    layer_test::answer_layers(layer_test::kSelect +
                                  " FROM zel:zel.Layers ly, zel:zel.spatial_references sr WHERE "
                                  "ly.srid = sr.srid AND ly.database_name = 'gis' AND "
                                  "ly.table_name = 'roads' AND ly.owner = 'bob'",
                              {roads})
        .repeat();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Describe(c.columns, c.setup, c.described);
        OpenLog(c.log_flags);
        if (!c.through_execute) {
            ASSERT_EQ(DB_stream_set_auto_log(stream_, number_), 0);
        }
        scli::on_sql(c.query).columns(c.answered).rows(c.rows);
        scli::on_sql(kRefetch)
            .columns({{"", SQL_LONGVARBINARY, 100000}})
            .row({scli::binary(shape_value(long_line()))});
        MarkNow();
        ASSERT_EQ(DB_stream_execute_query(stream_, c.through_execute ? number_ : 0, 0, row_.values),
                  0);
        int32_t rc = 0;
        const std::vector<std::string> names = quiet_stderr([&] { return FetchNames(&rc); });
        EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
        std::vector<std::string> passing;
        for (const Passing &p : kRoadPassing)
            passing.push_back(p.name);
        EXPECT_EQ(names, passing);
        const Strings executed = Executed();
        ASSERT_FALSE(executed.empty());
        EXPECT_EQ(executed.front(), c.query);
        EXPECT_EQ(Logged(), c.logged);
        VES_free_row_pointers(&row_);
        row_ = {};
        DB_stream_close(stream_, 0, 0);
    }
}

namespace
{

// A filter over its own square, [x0, x1] x [y0, y1].
struct SquareFilter {
    SquareFilter(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t method, int32_t truth)
    {
        const POINT ring[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
        shape.entity_type = VE_ENTITY_AREA;
        EXPECT_EQ(VES_comp_feature_alloc(&shape, 5, 0, 1), 0);
        memcpy(shape.points, ring, sizeof(ring));
        EXPECT_EQ(MoxsNvelop(&shape), 0);
        strcpy(filter.table_name, "roads");
        strcpy(filter.column_name, "shape");
        filter.filter_type = VE_SHAPE_FILTER;
        filter.shape = &shape;
        filter.search_method = method;
        filter.truth = truth;
    }
    ~SquareFilter()
    {
        VES_comp_feature_free(&shape);
    }
    SquareFilter(const SquareFilter &) = delete;
    SquareFilter &operator=(const SquareFilter &) = delete;
    FEATURE_STRUCT shape{};
    VE_FILTER filter{};
};

} // namespace

// Every filter holds for a row that reaches the caller: one whose envelope
// misses an envelope filter is left out though it meets the exact one; a
// must-not filter the row meets leaves it out though a must-pass envelope
// filter takes it; and a feature that fails on its first row is not
// returned on the next row that carries it.
TEST_F(PlainFetch, EveryFilterHoldsForARowReturned)
{
    const std::string setup = "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ";
    const std::string query =
        "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  gis:bob.roads ";
    const std::vector<scli::Column> described = {{"name", SQL_VARCHAR, 40},
                                                 {"shape", SQL_LONGVARBINARY, 2000}};
    const std::vector<scli::Column> answered = {
        {"name", SQL_VARCHAR, 40}, {"shape", SQL_LONGVARBINARY, 2000}, {"VE_ROW_ID", SQL_INTEGER}};
    auto row = [](const char *name, const ShapeDef &shape, int32_t id) {
        return scli::Row{scli::varchar(name), scli::binary(shape_value(shape)), scli::i32(id)};
    };
    const ShapeDef inside = {VE_ENTITY_POINT, {{50, 50}}};
    const ShapeDef near_corner = {VE_ENTITY_POINT, {{10, 10}}};
    const ShapeDef outside = {VE_ENTITY_POINT, {{150, 150}}};
    const ShapeDef across = {VE_ENTITY_LINE, {{50, 50}, {250, 250}}};
    const struct {
        const char *what;
        std::vector<std::vector<int32_t>> filters; // x0, y0, x1, y1, method, truth
        std::vector<scli::Row> rows;
        std::vector<std::string> returned;
    } cases[] = {
        {"envelope filter missed, exact filter met",
         {{200, 200, 300, 300, SM_ENVP, 1}, {0, 0, 100, 100, SM_AI, 1}},
         {row("inside", inside, 1), row("across", across, 2)},
         {"across"}},
        {"must-pass envelope filter, must-not filter met",
         {{0, 0, 100, 100, SM_ENVP, 1}, {40, 40, 60, 60, SM_AI, 0}},
         {row("inside", inside, 1), row("near the corner", near_corner, 2)},
         {"near the corner"}},
        {"a feature failing on two rows",
         {{0, 0, 100, 100, SM_AI, 1}},
         {row("outside", outside, 1), row("outside again", outside, 1), row("inside", inside, 2)},
         {"inside"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<SquareFilter>> squares;
        std::vector<VE_FILTER> filters;
        for (const std::vector<int32_t> &f : c.filters) {
            squares.push_back(std::make_unique<SquareFilter>(f[0], f[1], f[2], f[3], f[4], f[5]));
            filters.push_back(squares.back()->filter);
        }
        Describe({"name", "shape"}, setup, described, static_cast<int16_t>(filters.size()),
                 filters.data());
        scli::on_sql(query).columns(answered).rows(c.rows);
        ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
        int32_t rc = 0;
        EXPECT_EQ(quiet_stderr([&] { return FetchNames(&rc); }), c.returned);
        EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
        VES_free_row_pointers(&row_);
        row_ = {};
        DB_stream_close(stream_, 0, 0);
    }
}

namespace
{

// A line whose fetched form is exactly size bytes long.
ShapeDef line_of_value_size(size_t size)
{
    // Points a small step apart, the last one farther out by a varying
    // amount, which moves the size a byte at a time.
    for (int32_t n = 2; n < 200; n++)
        for (int32_t far = 1; far < (1 << 30); far *= 3) {
            ShapeDef d{VE_ENTITY_LINE, {}};
            for (int32_t i = 0; i + 1 < n; i++)
                d.points.push_back({i, i % 2});
            d.points.push_back({n + far, far});
            if (shape_value(d).size() == size)
                return d;
        }
    ADD_FAILURE() << "no line of " << size << " bytes";
    return {VE_ENTITY_LINE, {{0, 0}, {1, 1}}};
}

} // namespace

// A shape one byte shorter than the block's shape buffer, as long, and one
// byte longer (read again by its row id) comes back whole and alike.
TEST_F(PlainFetch, ShapesAroundTheBlockBufferSizeComeBackWhole)
{
    const std::string setup = "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ";
    const ShapeDef line = line_of_value_size(200);
    const std::string value = shape_value(line);
    for (int32_t buffer : {201, 200, 199}) {
        SCOPED_TRACE(buffer);
        roads_->optimal_array_size = buffer; // the layer's shape buffer
        Describe({"name", "shape"}, setup,
                 {{"name", SQL_VARCHAR, 40}, {"shape", SQL_LONGVARBINARY, 2000}}, 0);
        scli::on_sql("select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  "
                     "gis:bob.roads ")
            .columns({{"name", SQL_VARCHAR, 40},
                      {"shape", SQL_LONGVARBINARY, 2000},
                      {"VE_ROW_ID", SQL_INTEGER}})
            .row({scli::varchar("line"), scli::binary(value), scli::i32(5)});
        if (buffer < 200) {
            scli::on_sql(kRefetch)
                .columns({{"", SQL_LONGVARBINARY, 100000}})
                .row({scli::binary(value)});
        }
        MarkNow();
        ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
        int32_t id = 0;
        ASSERT_EQ(DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr, &id), 0);
        EXPECT_EQ(id, 5);
        auto *shape = static_cast<FEATURE_STRUCT *>(row_.values[1]);
        ASSERT_EQ(VES_feature_uncompress(1, shape), 0);
        ASSERT_EQ(shape->num_points, static_cast<int32_t>(line.points.size()));
        for (size_t i = 0; i < line.points.size(); i++) {
            EXPECT_EQ(shape->points[i].x, line.points[i].x) << i;
            EXPECT_EQ(shape->points[i].y, line.points[i].y) << i;
        }
        EXPECT_EQ(DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr, &id),
                  ZE_NO_MORE_ROWS);
        // Only a buffer too small for the value reads it again.
        EXPECT_EQ(Executed().back() == kRefetch, buffer < 200);
        VES_free_row_pointers(&row_);
        row_ = {};
        DB_stream_close(stream_, 0, 0);
    }
}

// A blob longer than the caller's block: the block gets its byte count and
// no byte more, the rest comes through the blob-segment reads.
TEST_F(PlainFetch, ABlobLongerThanTheCallersBlockComesInPieces)
{
    const std::string setup = "select  name,  doc  from  gis:bob.roads ";
    const std::string doc = "0123456789";
    // The row holds the locator of large object 1 ("LOBP", the id in eight
    // bytes, zero bytes to the locator's length).
    scli::LobStore &lobs = scli::lob_store_install();
    lobs.objects[1] = doc;
    std::string locator = std::string("LOBP") + '\x01';
    locator.resize(static_cast<size_t>(lobs.pointer_length), '\0');
    scli::on_sql(setup)
        .columns({{"name", SQL_VARCHAR, 40}, {"doc", SQL_LONGVARBINARY, 1000}})
        .row({scli::varchar("a"), scli::binary(locator)});
    Describe({"name", "doc"}, setup, {{"name", SQL_VARCHAR, 40}, {"doc", SQL_LONGVARBINARY, 1000}},
             0);
    ASSERT_EQ(row_.columns[1].type, VE_BLOB);
    uint8_t block[8];
    memset(block, '#', sizeof(block));
    VE_BLOB_VALUE caller{4, block};
    void *values[] = {row_.values[0], &caller};
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, values), 0);
    int32_t id = 0;
    ASSERT_EQ(DB_stream_fetch_row(stream_, 0, values, row_.indicators, nullptr, &id), 0);
    EXPECT_EQ(caller.byte_count, 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(block), sizeof(block)), "0123####");
    std::string rest;
    char piece[4];
    int32_t size = 0;
    do {
        ASSERT_EQ(DB_stream_get_blob_segment(stream_, 1, sizeof(piece), &size, piece), 0);
        rest.append(piece, static_cast<size_t>(size));
    } while (size > 0);
    EXPECT_EQ(rest, "456789");
}
