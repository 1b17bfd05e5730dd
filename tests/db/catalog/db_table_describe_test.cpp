#include "db/catalog/db_table_describe_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_names_internal.h"
#include "tests/db/core/db_connected_fixture.h"

namespace
{

std::string layers_query()
{
    char layers[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, layers, sizeof(layers));
    return std::string("SELECT spatial_column FROM ") + layers +
           " WHERE database_name = 'gis' AND table_name = 'roads' AND owner = 'bob'";
}

} // namespace

using TableMarks = ConnectedTest;

TEST_F(TableMarks, SpatialColumnOfTheLayer)
{
    const struct {
        const char *layer_column; // null: the table is no layer
        int32_t geom_type, geom_size, pt_type, pt_size;
    } cases[] = {
        {"GEOM", VE_SHAPE, 0, VE_POLYGON, 2048},
        {"pt", VE_BLOB, 500, VE_POLYGON, 0},
        {"id", VE_BLOB, 500, VE_POLYGON, 2048}, // not a shape type: left alone
        {nullptr, VE_BLOB, 500, VE_POLYGON, 2048},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.layer_column ? c.layer_column : "(none)");
        DB_COLUMN_DEF columns[] = {{"id", VE_INTEGER, 10, 0, 0, 3},
                                   {"geom", VE_BLOB, 500, 2, 1, 3},
                                   {"pt", VE_POLYGON, 2048, 1, 1, 3}};
        scli::Answer &a = scli::on_sql(layers_query()).columns({{"spatial_column", SQL_CHAR, 32}});
        if (c.layer_column)
            a.row({scli::chr(c.layer_column, 32)});
        EXPECT_EQ(db_table_mark_spatial_columns(3, columns, "roads", SQL_NULL_HSTMT), ZE_SUCCESS);
        EXPECT_EQ(columns[0].type, VE_INTEGER);
        EXPECT_EQ(columns[0].size, 10);
        EXPECT_EQ(columns[1].type, c.geom_type);
        EXPECT_EQ(columns[1].size, c.geom_size);
        EXPECT_EQ(columns[1].decimal_digits, c.geom_size ? 2 : 0);
        EXPECT_EQ(columns[2].type, c.pt_type);
        EXPECT_EQ(columns[2].size, c.pt_size);
    }
}

TEST_F(TableMarks, FailedLayerReadAndBadArguments)
{
    DB_COLUMN_DEF columns[] = {{"geom", VE_BLOB, 500, 0, 1, 3}};
    scli::on_sql(layers_query()).fail(SQL_ERROR, {"S1000", -211, "broken"});
    testing::internal::CaptureStdout();
    EXPECT_EQ(db_table_mark_spatial_columns(1, columns, "roads", SQL_NULL_HSTMT), ZE_DBMS_ERROR);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(columns[0].type, VE_BLOB);
    EXPECT_EQ(db_table_mark_spatial_columns(1, nullptr, "roads", SQL_NULL_HSTMT), ZE_NULL_POINTER);
    EXPECT_EQ(db_table_mark_spatial_columns(1, columns, nullptr, SQL_NULL_HSTMT), ZE_NULL_POINTER);
}

TEST_F(TableMarks, TableWithoutRasterColumnKeepsItsColumns)
{
    DB_COLUMN_DEF columns[] = {{"rast", VE_INTEGER, 10, 0, 1, 3}};
    EXPECT_EQ(db_table_describe_mark_raster(1, columns, "roads"), ZE_RASTERCOLUMN_NOT_FOUND);
    EXPECT_EQ(columns[0].type, VE_INTEGER);
    EXPECT_EQ(db_table_describe_mark_raster(1, columns, nullptr), ZE_NULL_POINTER);
}
