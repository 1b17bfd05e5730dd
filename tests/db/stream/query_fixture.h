// Test fixture of the query road: an instance opened as "bob" on database
// "gis" (layer_test::LayerFixture) with layer 7 on gis:bob.roads cached and
// registered, a stream, and a shape filter of the holed square (search
// method SM_AI). Beside it the fetched form of a shape and the rows of the
// road of one query: the scripted SELECT with its envelope pre-filter, the
// rows the DBMS answers (shapes of every kind, a hole, a multi-part area, a
// NULL shape, a shape too long for the block, two rows of one feature) and
// the rows the exact test keeps of them.
#pragma once

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
#include "db/catalog/db_layer_info.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_array_fetch_internal.h"
#include "db/stream/db_stream_execute.h"
#include "db/stream/db_stream_fetch.h"
#include "db/stream/db_stream_query.h"
#include "mox/mox.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/spatial_fixture.h"

namespace query_test
{

using Strings = std::vector<std::string>;

struct ShapeDef {
    uint16_t entity;
    std::vector<POINT> points;
};

// The fetched form of a shape: the 8-byte prefix and the compressed feature.
inline std::string shape_value(const ShapeDef &def)
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

// A line of many points, longer than the layer's 200-byte shape buffer.
inline ShapeDef long_line(int32_t n = 100)
{
    ShapeDef d{VE_ENTITY_LINE, {}};
    for (int32_t i = 0; i < n; i++)
        d.points.push_back({-50 + 2 * i, 10 + (i % 7) * 300});
    return d;
}

inline const std::string kSetup = "select  name,   VE_AsZel(shape) shape  from  gis:bob.roads ";
inline const std::string kSrid =
    "select srid from zel:zel.spatial_references where falsex = ? and falsey = ? and xyunits = ? "
    "   and falsez = ? and zunits = ? and falsem = ? and munits = ? and    srtext = "
    "'PROJCS[\"local\"]'";
inline const std::string kRefetch = "SELECT VE_AsZel(shape) from gis:bob.roads WHERE VE_ROW_ID = ?";
// The select of name and shape with the pre-filter of a search envelope.
inline const std::string kRoadQuery =
    "select  name,   VE_AsZel(shape) shape  , bob.roads.VE_ROW_ID from  "
    "gis:bob.roads  where  VE_EnvelopesIntersect(bob.roads.shape, "
    "VE_GeomFromZel(?,NULL,3))";

// Shapes of the road's rows that the exact test keeps.
inline const ShapeDef kCrossingLine = {VE_ENTITY_LINE, {{-10, 20}, {110, 20}}};
inline const ShapeDef kTwoParts = {
    VE_ENTITY_MULTI_AREA,
    {{200, 200}, {210, 200}, {210, 210}, {200, 200}, {10, 10}, {20, 10}, {20, 20}, {10, 10}}};

// The rows the DBMS answers to the road's query: name, shape, VE_ROW_ID.
inline std::vector<scli::Row> road_rows()
{
    const std::string crossing = shape_value(kCrossingLine);
    return {
        {scli::varchar("crossing"), scli::binary(crossing), scli::i32(1)},
        {scli::varchar("crossing again"), scli::binary(crossing), scli::i32(1)},
        {scli::varchar("in the hole"), scli::binary(shape_value({VE_ENTITY_POINT, {{50, 50}}})),
         scli::i32(2)},
        {scli::varchar("outside"), scli::binary(shape_value({VE_ENTITY_POINT, {{150, 150}}})),
         scli::i32(3)},
        {scli::varchar("two parts"), scli::binary(shape_value(kTwoParts)), scli::i32(4)},
        {scli::varchar("no shape"), scli::null(), scli::i32(5)},
        {scli::varchar("long"), scli::binary(shape_value(long_line())), scli::i32(6)},
    };
}

// Scripts the road's query: the srid of the layer, the SELECT answering
// road_rows() and the refetch of the long shape by its row id.
inline void script_road_query()
{
    scli::on_sql(kSrid).columns({{"srid", SQL_INTEGER}}).row({scli::i32(3)});
    scli::on_sql(kRoadQuery)
        .columns({{"name", SQL_VARCHAR, 40},
                  {"shape", SQL_LONGVARBINARY, 2000},
                  {"VE_ROW_ID", SQL_INTEGER}})
        .rows(road_rows());
    scli::on_sql(kRefetch)
        .columns({{"", SQL_LONGVARBINARY, 100000}})
        .row({scli::binary(shape_value(long_line()))});
}

// The rows of road_rows() that pass the exact test of the holed square
// within kRoadBox, in order: the second row of a feature carries no shape
// of its own (the feature's is the one before); the point in the hole, the
// point outside and the NULL shape are dropped.
struct Passing {
    int32_t id;
    const char *name;
    int16_t indicator;
    ShapeDef shape;
};
inline const std::vector<Passing> kRoadPassing = {
    {1, "crossing", VE_IND_VALUE, kCrossingLine},
    {1, "crossing again", VE_IND_NO_SHAPE, kCrossingLine},
    {4, "two parts", VE_IND_VALUE, kTwoParts},
    {6, "long", VE_IND_VALUE, long_line()},
};
inline const ENVELOPE kRoadBox = {0, 0, 100, 100};

class QueryFixture : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        DB_STREAM_PARAMS params{};
        params.words[DB_STREAM_PARAM_FILTER_BUFFERS] = 1;
        params.words[DB_STREAM_PARAM_SHAPE_BUFFER] = 4096;
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        layer_test::LayerRow row;
        row.eflags = LAYER_SPATIAL | LAYER_LINE | LAYER_AREA;
        row.optimal_array_size = optimal_;
        layer_test::answer_layers(layer_test::by_id(7), {row});
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

    // Constraints (the fixture's filter unless others are given), set-up and
    // describe; the row's buffers from the description.
    void SetUpQuery(ENVELOPE box, int16_t filters = 1, const VE_FILTER *given = nullptr)
    {
        ASSERT_EQ(DB_stream_set_spatial_constraints(stream_, filters,
                                                    given != nullptr ? given : &filter_, box, 0),
                  0);
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

} // namespace query_test
