// A table's layer: the spatial column named in the LAYERS table, and a
// stream pointed at the cached layer record of its table.
#include "db/core/db_stream_layer_internal.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

using StreamLayer = ConnectedUser;

namespace
{

std::string layers_table()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, name, sizeof(name));
    return name;
}

} // namespace

TEST_F(StreamLayer, SpatialColumnFromTheLayersTable)
{
    const std::string sql = "SELECT spatial_column FROM " + layers_table() +
                            " WHERE database_name = 'gis' AND table_name = 'parcels' AND owner = "
                            "'O''Neil'";
    scli::on_sql(sql).columns({{"spatial_column", SQL_CHAR, 32}}).row({scli::chr("shape", 32)});
    char column[32] = "";
    EXPECT_EQ(db_get_spatial_column_name("O'Neil.Parcels", column), ZE_SUCCESS);
    EXPECT_STREQ(column, "shape                          ");
    EXPECT_EQ(Executed(), std::vector<std::string>{sql});

    // No layer: 0 and the buffer as it was.
    const std::string none = "SELECT spatial_column FROM " + layers_table() +
                             " WHERE database_name = 'web' AND table_name = 'roads' AND owner = "
                             "'bob'";
    scli::on_sql(none).columns({{"spatial_column", SQL_CHAR, 32}});
    strcpy(column, "kept");
    EXPECT_EQ(db_get_spatial_column_name("web:bob.roads", column), ZE_SUCCESS);
    EXPECT_STREQ(column, "kept");

    scli::on_sql(none).fail(SQL_ERROR, {"S1000", -243, "could not position"});
    quiet_stderr(
        [&] { EXPECT_EQ(db_get_spatial_column_name("web:bob.roads", column), ZE_DBMS_ERROR); });
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -243);
    EXPECT_STREQ(column, "kept");

    std::string long_owner = std::string(40, 'o') + ".roads";
    EXPECT_EQ(db_get_spatial_column_name(long_owner.c_str(), column), ZE_INVALID_ARGUMENT);
}

TEST_F(StreamLayer, StreamWithoutALayerKeepsItsColumn)
{
    auto stream = std::make_unique<DB_STREAM>();
    strcpy(stream->spatial_column_name, "kept");
    // No layer cache: nothing to point at.
    EXPECT_EQ(DB_stream_set_layer(stream.get(), "roads", "bob"), ZE_FAILURE);
    EXPECT_EQ(stream->layer, nullptr);
    EXPECT_STREQ(stream->spatial_column_name, "kept");

    // With a cache, a table without a layer.
    ASSERT_EQ(db_layer_cache_init(nullptr, 5), 0);
    const std::string sql = layer_test::kSelect + layer_test::kFrom +
                            " WHERE ly.srid = sr.srid AND ly.database_name = 'gis' AND "
                            "ly.table_name = 'roads' AND ly.owner = 'bob'";
    layer_test::answer_layers(sql, {});
    EXPECT_EQ(DB_stream_set_layer(stream.get(), "roads", "bob"), ZE_LAYER_NOT_FOUND);
    EXPECT_EQ(stream->layer, nullptr);
    EXPECT_STREQ(stream->spatial_column_name, "kept");

    // A layer: the stream points at the cached record and takes its column.
    layer_test::LayerRow row;
    row.column = "geom";
    layer_test::answer_layers(sql, {row});
    EXPECT_EQ(DB_stream_set_layer(stream.get(), "roads", "bob"), ZE_SUCCESS);
    EXPECT_EQ(stream->layer, db_layer_cache_get()->entries[0]);
    EXPECT_EQ(db_stream_get_layer_info(stream.get()), stream->layer);
    EXPECT_STREQ(stream->spatial_column_name, "geom");
    db_layer_cache_free(nullptr);

    EXPECT_EQ(DB_stream_set_layer(nullptr, "roads", "bob"), ZE_NULL_POINTER);
    db_stream_set_layer_info(nullptr, nullptr); // ignored
    EXPECT_EQ(db_stream_get_layer_info(nullptr), nullptr);
    EXPECT_EQ(db_stream_get_user(nullptr), nullptr);
}
