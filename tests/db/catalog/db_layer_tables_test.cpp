// Tests the layer of a statement's tables: tables of cached layers resolved
// without SQL, the others with one OR-SELECT of the registered layer tables
// in blocks of 8 rows, upper-case spatial columns, the table position in the
// stream's shape record, and -133 for two layers (also when one of them was
// cached).
#include "db/catalog/db_layer_tables_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/ve_registration.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

// The layer SELECT of the tables' restrictions, as the catalogue is asked.
std::string select_of(const Strings &restrictions)
{
    std::string where;
    for (size_t i = 0; i < restrictions.size(); i++)
        where += (i ? " OR " : "") + restrictions[i];
    return kSelect + kFrom + " WHERE ly.srid = sr.srid AND (" + where + ")";
}

std::string restriction(const std::string &table)
{
    return " database_name = 'gis' AND table_name = '" + table + "' AND owner = 'bob'";
}

LayerRow layer_of(int32_t id, const std::string &table, const std::string &column)
{
    LayerRow r;
    r.id = id;
    r.table = table;
    r.column = column;
    return r;
}

} // namespace

class LayerTables : public LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        DB_STREAM_PARAMS params{};
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        stream_->shape_record =
            static_cast<DB_STREAM_SHAPE_RECORD *>(calloc(1, sizeof(DB_STREAM_SHAPE_RECORD)));
        stream_->shape_record->table_position = -1;
    }
    void TearDown() override
    {
        // A query stream keeps its shape record: the test made it, it frees it.
        free(stream_->shape_record);
        stream_->shape_record = nullptr;
        DB_stream_free(stream_);
        free(stream_);
        LayerFixture::TearDown();
    }

    int32_t load(const Strings &columns, const Strings &tables)
    {
        std::vector<const char *> c, t;
        for (const std::string &s : columns)
            c.push_back(s.c_str());
        for (const std::string &s : tables)
            t.push_back(s.c_str());
        return db_layer_info_load_for_tables(instance_, stream_, static_cast<int32_t>(c.size()),
                                             c.data(), static_cast<int32_t>(t.size()), t.data());
    }

    // Reads a layer into the cache.
    LAYER *cache_layer(const LayerRow &row)
    {
        answer_layers(by_id(row.id), {row});
        LAYER *layer = nullptr;
        EXPECT_EQ(DB_layer_get_info(instance_, nullptr, row.id, &layer), 0);
        MarkNow();
        return layer;
    }

    int32_t layer_id() const
    {
        return stream_->layer != nullptr ? stream_->layer->layer_id : 0;
    }
    int32_t position() const
    {
        return stream_->shape_record->table_position;
    }

    DB_STREAM *stream_ = nullptr;
};

TEST_F(LayerTables, CachedLayerNeedsNoQuery)
{
    LAYER *roads = cache_layer(layer_of(7, "roads", "shape"));
    const struct {
        Strings columns;
        int32_t layer;
    } cases[] = {
        {{"name", "shape"}, 7}, {{"roads.shape"}, 7}, {{"gis:bob.roads.SHAPE"}, 7}, {{"*"}, 7},
        {{"roads.*"}, 7},       {{"name"}, 0}, // the layer's table, not its spatial column
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.columns[0]);
        EXPECT_EQ(load(c.columns, {"owners", "roads"}), ZE_SUCCESS);
        EXPECT_EQ(layer_id(), c.layer);
        if (c.layer != 0) {
            EXPECT_EQ(stream_->layer, roads);
            EXPECT_EQ(position(), 1);
        }
    }
    // "owners" is left for the catalogue, but no table is a registered
    // layer: no SELECT.
    EXPECT_TRUE(Executed().empty());
    EXPECT_EQ(host_.registration_calls().size(), 12u);
}

TEST_F(LayerTables, TwoCachedLayersGive133)
{
    cache_layer(layer_of(7, "roads", "shape"));
    cache_layer(layer_of(8, "lots", "geom"));
    EXPECT_EQ(load({"roads.shape", "lots.geom"}, {"roads", "lots"}), ZE_MULTIPLE_SPATIAL_COLUMNS);
    EXPECT_EQ(stream_->layer, nullptr);
    // One layer referred to twice is two references as well.
    EXPECT_EQ(load({"shape", "roads.shape"}, {"roads"}), ZE_MULTIPLE_SPATIAL_COLUMNS);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(LayerTables, OneSelectForTheTablesNotCached)
{
    host_.set_registration("roads", 7, REG_LAYER | REG_ROWID_COLUMN);
    host_.set_registration("o'wn", 9, REG_ROWID_COLUMN); // registered, no layer
    const std::string sql = select_of({restriction("roads")});
    answer_layers(sql, {layer_of(7, "roads", "shape")});
    EXPECT_EQ(load({"shape", "name"}, {"o'wn", "roads"}), ZE_SUCCESS);
    EXPECT_EQ(layer_id(), 7);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(stream_->layer, cache()->entries[0]); // now cached
    EXPECT_EQ(Executed(), Strings{sql});
    EXPECT_EQ(scli::call_count("SQLExtendedFetch"), 1);
    EXPECT_EQ(scli::calls_of("SQLSetStmtAttr").back().detail, "attr=9 value=8");

    // The next statement on that table needs no query.
    EXPECT_EQ(load({"shape"}, {"roads"}), ZE_SUCCESS);
    EXPECT_EQ(Executed(), Strings{sql});
}

TEST_F(LayerTables, TwoLayersOfOneSelectGive133)
{
    host_.set_registration("roads", 7, REG_LAYER);
    host_.set_registration("it's", 8, REG_LAYER);
    const std::string sql = select_of({restriction("roads"), restriction("it''s")});
    answer_layers(sql, {layer_of(7, "roads", "shape"), layer_of(8, "it's", "geom")});
    EXPECT_EQ(load({"roads.shape", "geom"}, {"roads", "it's"}), ZE_MULTIPLE_SPATIAL_COLUMNS);
    EXPECT_EQ(stream_->layer, nullptr);
    EXPECT_EQ(Executed(), Strings{sql});
}

TEST_F(LayerTables, CachedAndUncachedLayerTogetherGive133)
{
    // roads is cached, lots is not: the SELECT reads both, and both are used.
    cache_layer(layer_of(7, "roads", "shape"));
    host_.set_registration("roads", 7, REG_LAYER);
    host_.set_registration("lots", 8, REG_LAYER);
    const std::string sql = select_of({restriction("roads"), restriction("lots")});
    answer_layers(sql, {layer_of(7, "roads", "shape"), layer_of(8, "lots", "geom")});
    EXPECT_EQ(load({"roads.shape", "lots.geom"}, {"roads", "lots"}), ZE_MULTIPLE_SPATIAL_COLUMNS);
    EXPECT_EQ(stream_->layer, nullptr);
    EXPECT_EQ(Executed(), Strings{sql});
}

TEST_F(LayerTables, UpperCaseSpatialColumnFoundByTheSecondPass)
{
    host_.set_registration("roads", 7, REG_LAYER);
    const std::string sql = select_of({restriction("roads")});
    answer_layers(sql, {layer_of(7, "roads", "SHAPE")});
    EXPECT_EQ(load({"Shape"}, {"roads"}), ZE_SUCCESS);
    EXPECT_EQ(layer_id(), 7);
    EXPECT_EQ(position(), 0);
    // The same statement again resolves from the cache, whatever the case.
    for (const char *column : {"Shape", "shape", "roads.SHAPE"}) {
        SCOPED_TRACE(column);
        EXPECT_EQ(load({column}, {"roads"}), ZE_SUCCESS);
        EXPECT_EQ(layer_id(), 7);
        EXPECT_EQ(stream_->layer, cache()->entries[0]);
    }
    EXPECT_EQ(Executed(), Strings{sql});
}

// Two cached layers on one table resolve that table once: the statement's
// other table still reaches the catalogue.
TEST_F(LayerTables, TwoCachedLayersOfOneTableLeaveTheOtherTablesToTheCatalogue)
{
    cache_layer(layer_of(7, "roads", "shape"));
    cache_layer(layer_of(8, "roads", "centre"));
    host_.set_registration("lots", 9, REG_LAYER);
    const std::string sql = select_of({restriction("lots")});
    answer_layers(sql, {layer_of(9, "lots", "geom")});
    EXPECT_EQ(load({"geom"}, {"roads", "lots"}), ZE_SUCCESS);
    EXPECT_EQ(layer_id(), 9);
    EXPECT_EQ(position(), 1);
    EXPECT_EQ(Executed(), Strings{sql});
}

TEST_F(LayerTables, MoreThanEightRowsAreAllExamined)
{
    Strings tables, restrictions;
    std::vector<LayerRow> rows;
    for (int32_t id = 1; id <= 9; id++) {
        std::string table = "t" + std::to_string(id);
        host_.set_registration(table, id, REG_LAYER);
        tables.push_back(table);
        restrictions.push_back(restriction(table));
        rows.push_back(layer_of(id, table, "c" + std::to_string(id)));
    }
    const std::string sql = select_of(restrictions);
    answer_layers(sql, rows);
    EXPECT_EQ(load({"t9.c9"}, tables), ZE_SUCCESS);
    EXPECT_EQ(layer_id(), 9);
    EXPECT_EQ(position(), 8);
    EXPECT_EQ(scli::call_count("SQLExtendedFetch"), 2);
}

TEST_F(LayerTables, NothingToFindOrNoRow)
{
    // No table is a registered layer: no query, no layer.
    EXPECT_EQ(load({"shape"}, {"roads", "lots"}), ZE_SUCCESS);
    EXPECT_EQ(stream_->layer, nullptr);
    EXPECT_TRUE(Executed().empty());

    // A layer table whose spatial column the statement does not use.
    host_.set_registration("roads", 7, REG_LAYER);
    const std::string sql = select_of({restriction("roads")});
    answer_layers(sql, {layer_of(7, "roads", "shape")});
    EXPECT_EQ(load({"name"}, {"roads"}), ZE_SUCCESS);
    EXPECT_EQ(stream_->layer, nullptr);

    // The catalogue has no row at all.
    answer_layers(sql, {});
    EXPECT_EQ(load({"shape"}, {"roads"}), ZE_TABLE_NOT_FOUND);

    StderrCapture capture;
    answer_layers(sql, {layer_of(7, "roads", "shape")})
        .at_fetch(1, SQL_ERROR, {"HY000", -244, "physical-order read"});
    EXPECT_EQ(load({"shape"}, {"roads"}), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    EXPECT_EQ(DB_instance_get_xerr(&xerr)->native_error, -244);
    EXPECT_EQ(db_layer_info_load_for_tables(instance_, nullptr, 0, nullptr, 0, nullptr),
              ZE_NULL_POINTER);
}
