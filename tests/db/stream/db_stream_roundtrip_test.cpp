// The round trip of an insert stream and the query road: rows of every shape
// kind (and one without a shape) inserted into a layer through a stream,
// kept by the scripted CLI as its INSERT received them, then read back
// through a query stream: the same names, numbers, row ids, entity types and
// points.
#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_errors.h"
#include "db/stream/db_stream_execute.h"
#include "db/stream/db_stream_fetch.h"
#include "db/stream/db_stream_insert.h"
#include "db/stream/db_stream_query.h"
#include "tests/db/stream/write_fixture.h"

using namespace write_test;

namespace
{

struct Kind {
    const char *name;
    int32_t lanes;
    uint16_t entity;
    std::vector<POINT> points;
};

// Every entity kind of the geometry module, multi-part forms with two parts.
const std::vector<Kind> kKinds = {
    {"point", 1, VE_ENTITY_POINT, {{100, 200}}},
    {"points", -2, VE_ENTITY_MULTI_POINT, {{100, 200}, {300, 400}, {-5, 7}}},
    {"line", 3, VE_ENTITY_LINE, {{0, 0}, {50, 10}, {90, -40}}},
    {"simple line", 4, VE_ENTITY_SIMPLE_LINE, {{0, 0}, {10, 10}}},
    {"lines", 5, VE_ENTITY_MULTI_LINE, {{0, 0}, {10, 0}, {20, 20}, {30, 20}}},
    {"simple lines", 6, VE_ENTITY_MULTI_SIMPLE_LINE, {{0, 0}, {10, 0}, {20, 20}, {30, 20}}},
    {"area", 7, VE_ENTITY_AREA, {{0, 0}, {40, 0}, {40, 30}, {0, 0}}},
    {"areas",
     8,
     VE_ENTITY_MULTI_AREA,
     {{0, 0}, {4, 0}, {4, 3}, {0, 0}, {10, 10}, {14, 10}, {14, 13}, {10, 10}}},
};

// Texts of the two sides, as the library writes them for this layer (of
// several kinds, so the general constructor: the shape and its annotation
// text take parameters 2 and 3) and for a select of the same columns
// without filters (the row id joins as a hidden column).
const std::string kInsert = "INSERT INTO roads  (name, shape, lanes, VE_ROW_ID) VALUES (?, "
                            "VE_GeomFromZel(?,?,2),?,?)";
const std::string kSetUp = "select  name,   VE_AsZel(shape) shape,  lanes  from  gis:bob.roads ";
const std::string kQuery = "select  name,   VE_AsZel(shape) shape,  lanes  , bob.roads.VE_ROW_ID "
                           "from  gis:bob.roads ";

class InsertRoundTrip : public WriteFixture
{
  protected:
    void TearDown() override
    {
        VES_free_row_pointers(&row_);
        WriteFixture::TearDown();
    }
    VE_ROW_POINTERS row_{};
};

} // namespace

TEST_F(InsertRoundTrip, EveryShapeKindComesBackUnchanged)
{
    layer_test::LayerRow mixed;
    mixed.id = 7;
    mixed.table = "roads";
    mixed.column = "shape";
    mixed.eflags = LAYER_POINT | LAYER_LINE | LAYER_SIMPLE_LINE | LAYER_AREA | LAYER_MULTIPART;
    cache_layer(mixed);
    host_.set_next_id(7, 1000);

    // The table as the DBMS keeps it: each row as its INSERT received it
    // (name, shape value, lanes, VE_ROW_ID; the annotation text is not kept).
    std::vector<scli::Row> table;
    scli::on_sql(kInsert).repeat().hook([&](scli::Exec &e) {
        for (const std::vector<scli::Value> &p : e.params) {
            ASSERT_EQ(p.size(), 5u);
            EXPECT_EQ(p[2].type, scli::Type::Null); // no annotation
            auto number = [](const scli::Value &v) {
                return v.type == scli::Type::Null ? scli::null()
                                                  : scli::i32(static_cast<int32_t>(v.i));
            };
            table.push_back({scli::varchar(p[0].s),
                             p[1].type == scli::Type::Null ? scli::null() : scli::binary(p[1].s),
                             number(p[3]), number(p[4])});
        }
    });

    REGISTRATION reg = registration_of("roads", 7, REG_LAYER, "objectid");
    ASSERT_EQ(init_insert("roads", reg, 0, {"name", "shape", "lanes"}), 0);
    EXPECT_EQ(Prepared(), Strings{kInsert});
    DB_COLUMN_DEF defs[] = {column_def("name", VE_STRING, 20), column_def("shape", VE_SHAPE),
                            column_def("lanes", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 3, defs, 0), 0);
    std::vector<std::unique_ptr<Shape>> shapes;
    for (const Kind &k : kKinds) {
        shapes.push_back(std::make_unique<Shape>(k.entity, k.points));
        char name[32];
        snprintf(name, sizeof(name), "%s", k.name);
        int32_t lanes = k.lanes;
        void *values[] = {name, &shapes.back()->feature, &lanes};
        const int16_t present[] = {2, 2, 2};
        ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, 1, 0), 0) << k.name;
    }
    char none[] = "no shape";
    int32_t lanes = 9;
    void *values[] = {none, nullptr, &lanes};
    const int16_t no_shape[] = {2, 1, 2};
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, no_shape, values, 1, 0), 0);
    ASSERT_EQ(table.size(), kKinds.size() + 1);
    DB_stream_close(stream_, 0, 0);

    // Read back through a query stream: the DBMS answers with the rows it
    // keeps, the shape as VE_AsZel gives it (the bytes the INSERT sent).
    MarkNow();
    // The set-up's SELECT is prepared and described, never executed.
    scli::on_sql(kSetUp)
        .columns(
            {{"name", SQL_VARCHAR, 20}, {"shape", SQL_LONGVARBINARY, 4000}, {"lanes", SQL_INTEGER}})
        .repeat();
    scli::on_sql(kQuery)
        .columns({{"name", SQL_VARCHAR, 20},
                  {"shape", SQL_LONGVARBINARY, 4000},
                  {"lanes", SQL_INTEGER},
                  {"VE_ROW_ID", SQL_INTEGER}})
        .hook([&](scli::Exec &e) { e.rows = table; });
    std::string name_column = "name", shape_column = "shape", lanes_column = "lanes",
                roads = "roads";
    char *columns[] = {name_column.data(), shape_column.data(), lanes_column.data()};
    char *tables[] = {roads.data()};
    VE_SQL_CONSTRUCT construct = {1, tables, nullptr};
    VE_QUERYINFO info;
    VES_initialize_queryinfo(&info);
    info.num_columns = 3;
    info.columns = columns;
    info.construct = &construct;
    ASSERT_EQ(DB_stream_init_query_layer(stream_, &info, nullptr, nullptr, nullptr), 0);

    int16_t count = 0;
    DB_COLUMN_DEF *described = nullptr;
    LAYER **layers = nullptr;
    ASSERT_EQ(DB_stream_describe_sql(stream_, nullptr, &count, &described, &layers), 0);
    free(layers);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(described[1].type, VE_SHAPE);
    EXPECT_EQ(described[2].type, VE_INTEGER);
    row_.column_count = count;
    row_.columns = described;
    ASSERT_EQ(VES_allocate_row_pointers(&row_, 0), 0);
    ASSERT_EQ(DB_stream_execute_query(stream_, 0, 0, row_.values), 0);
    for (size_t i = 0; i <= kKinds.size(); i++) {
        SCOPED_TRACE(i);
        int32_t id = -1;
        ASSERT_EQ(DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr, &id), 0);
        auto *shape = static_cast<FEATURE_STRUCT *>(row_.values[1]);
        if (i == kKinds.size()) {
            EXPECT_STREQ(static_cast<const char *>(row_.values[0]), "no shape");
            EXPECT_EQ(row_.indicators[1], VE_IND_NULL);
            EXPECT_EQ(*static_cast<const int32_t *>(row_.values[2]), 9);
            EXPECT_EQ(id, 0); // a NULL VE_ROW_ID
            break;
        }
        const Kind &k = kKinds[i];
        EXPECT_STREQ(static_cast<const char *>(row_.values[0]), k.name);
        EXPECT_EQ(*static_cast<const int32_t *>(row_.values[2]), k.lanes);
        EXPECT_EQ(id, 1000 + static_cast<int32_t>(i)); // the id the host gave the row
        EXPECT_EQ(row_.indicators[1], VE_IND_VALUE);
        EXPECT_EQ(shape->feature_id, static_cast<uint32_t>(id));
        EXPECT_EQ(shape->entity_type, k.entity);
        ASSERT_EQ(shape->num_points, static_cast<int32_t>(k.points.size()));
        ASSERT_EQ(VES_feature_uncompress(1, shape), 0);
        for (size_t p = 0; p < k.points.size(); p++) {
            EXPECT_EQ(shape->points[p].x, k.points[p].x) << p;
            EXPECT_EQ(shape->points[p].y, k.points[p].y) << p;
        }
    }
    int32_t id = 0;
    EXPECT_EQ(DB_stream_fetch_row(stream_, 0, row_.values, row_.indicators, nullptr, &id),
              ZE_NO_MORE_ROWS);
    EXPECT_EQ(Executed(), (Strings{kQuery}));
    EXPECT_EQ(scli::unused_answers(), Strings{});
}
