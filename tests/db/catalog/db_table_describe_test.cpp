// Tests the description of a table: VE_ROW_ID removed, row-id kinds by the
// registration, the spatial column marked from the layer cache or from one
// catalogue query whose alternatives stay inside the table's own
// restriction, the raster column marked, and the failures.
#include "db/catalog/db_table_describe_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_names_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

std::string layers_name()
{
    char name[DB_QUALIFIED_NAME_SIZE];
    db_make_layers_table_name(nullptr, name, sizeof(name));
    return name;
}

// The catalogue query of the spatial column among the candidates given.
std::string candidates_query(const Strings &columns)
{
    std::string sql =
        "SELECT spatial_column FROM " + layers_name() +
        " WHERE database_name = 'gis' AND table_name = 'roads' AND owner = 'bob' AND (";
    for (size_t i = 0; i < columns.size(); i++)
        sql += (i ? " OR  spatial_column = '" : " spatial_column = '") + columns[i] + "'";
    return sql + ")";
}

std::string plain_layers_query()
{
    return "SELECT spatial_column FROM " + layers_name() +
           " WHERE database_name = 'gis' AND table_name = 'roads' AND owner = 'bob'";
}

std::string raster_query()
{
    return catalog_test::raster_by_table(false);
}

// A raster column row of the table "roads" of bob.
scli::Row raster_row(int32_t id, const char *column)
{
    return {
        scli::i32(id),          scli::null(),          scli::varchar("gis"), scli::varchar("bob"),
        scli::varchar("roads"), scli::varchar(column), scli::i32(0),         scli::null(),
        scli::null(),           scli::i32(0),          scli::i32(0),         scli::null(),
        scli::null(),           scli::null(),          scli::null(),         scli::null(),
        scli::null(),           scli::null(),          scli::null(),         scli::i32(0)};
}

void answer_rasters(const std::vector<scli::Row> &rows)
{
    std::vector<scli::Column> columns;
    for (int i = 0; i < 20; i++)
        columns.push_back({"c" + std::to_string(i),
                           static_cast<SQLSMALLINT>(i == 5 ? SQL_VARCHAR : SQL_INTEGER), 128});
    scli::on_sql(raster_query()).columns(columns).rows(rows);
}

REGISTRATION registration(uint32_t flags, const char *rowid)
{
    REGISTRATION r{};
    strcpy(r.tag, "ReG");
    strcpy(r.rowid_column, rowid);
    r.object_flags = flags;
    return r;
}

// Frees a description on every path.
struct Described {
    int16_t count = 0;
    DB_COLUMN_DEF *columns = nullptr;
    ~Described()
    {
        free(columns);
    }
    Strings names() const
    {
        Strings out;
        for (int i = 0; i < count; i++)
            out.push_back(columns[i].name);
        return out;
    }
};

const std::vector<scli::Column> kRoads = {{"id", SQL_INTEGER},
                                          {"VE_ROW_ID", SQL_INTEGER},
                                          {"geom", SQL_LONGVARBINARY, 500},
                                          {"rast", SQL_INTEGER},
                                          {"name", SQL_VARCHAR, 40}};

} // namespace

TEST(DropRowIdColumn, FirstRowIdColumnGoesKindsStay)
{
    const struct {
        Strings names, expected;
    } cases[] = {
        {{"a", "VE_ROW_ID", "b", "c"}, {"a", "b", "c"}},
        {{"ve_row_id", "a"}, {"a"}},
        {{"a", "b", "Ve_Row_Id"}, {"a", "b"}},
        {{"a", "ve_row_idx"}, {"a", "ve_row_idx"}},
        {{}, {}},
    };
    for (const auto &c : cases) {
        std::vector<DB_COLUMN_DEF> columns(c.names.size() + 1);
        for (size_t i = 0; i < c.names.size(); i++) {
            strcpy(columns[i].name, c.names[i].c_str());
            columns[i].type = static_cast<int32_t>(i + 1);
            columns[i].rowid_kind = static_cast<int16_t>(10 + i);
        }
        int16_t count = static_cast<int16_t>(c.names.size());
        db_table_describe_drop_row_id_column(&count, columns.data());
        ASSERT_EQ(count, static_cast<int16_t>(c.expected.size()));
        for (int16_t i = 0; i < count; i++) {
            EXPECT_EQ(columns[i].name, c.expected[i]);
            EXPECT_EQ(columns[i].rowid_kind, 10 + i); // written afterwards by the describe
        }
    }
    db_table_describe_drop_row_id_column(nullptr, nullptr);
}

using TableDescribe = LayerFixture;

TEST_F(TableDescribe, WithoutRegistrationTheCatalogueNamesTheSpatialColumn)
{
    scli::on_sql("SELECT * FROM roads").columns(kRoads);
    scli::on_sql(plain_layers_query())
        .columns({{"spatial_column", SQL_VARCHAR, 128}})
        .row({scli::varchar("GEOM")});
    Described d;
    ASSERT_EQ(DB_table_describe(instance_, "roads", nullptr, &d.count, &d.columns), ZE_SUCCESS);
    EXPECT_EQ(d.names(), (Strings{"id", "geom", "rast", "name"}));
    EXPECT_EQ(d.columns[1].type, VE_SHAPE);
    EXPECT_EQ(d.columns[1].size, 0);
    EXPECT_EQ(d.columns[2].type, VE_INTEGER);
    for (int i = 0; i < d.count; i++)
        EXPECT_EQ(d.columns[i].rowid_kind, DB_ROWID_NONE);
    // Prepared only: the one statement executed is the catalogue's.
    EXPECT_EQ(Executed(), Strings{plain_layers_query()});
    int prepared = 0;
    for (const scli::Call &c : scli::calls_of("SQLPrepare"))
        prepared += c.sql == "SELECT * FROM roads";
    EXPECT_EQ(prepared, 1);
}

TEST_F(TableDescribe, RowIdKindsFollowTheRegistration)
{
    const struct {
        uint32_t flags;
        const char *rowid;
        int16_t id_kind;
    } cases[] = {
        {REG_ROWID_COLUMN | REG_ROWID_ENGINE, "id", DB_ROWID_ENGINE},
        {REG_ROWID_COLUMN, "id", DB_ROWID_USER},
        {REG_ROWID_COLUMN, "ID", DB_ROWID_NONE}, // names compare exactly
        {REG_ROWID_ENGINE, "id", DB_ROWID_NONE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rowid);
        scli::on_sql("SELECT * FROM roads").columns(kRoads);
        scli::on_sql(plain_layers_query()).columns({{"spatial_column", SQL_VARCHAR, 128}});
        REGISTRATION r = registration(c.flags, c.rowid);
        Described d;
        ASSERT_EQ(DB_table_describe(instance_, "roads", &r, &d.count, &d.columns), ZE_SUCCESS);
        ASSERT_EQ(d.count, 4);
        EXPECT_EQ(d.columns[0].rowid_kind, c.id_kind);
        for (int i = 1; i < d.count; i++)
            EXPECT_EQ(d.columns[i].rowid_kind, DB_ROWID_NONE);
        EXPECT_EQ(d.columns[1].type, VE_BLOB); // no layer
    }
}

TEST_F(TableDescribe, LayerRegistrationUsesTheCacheFirst)
{
    // Two spatial-type columns, only the second one the cached layer's.
    scli::add_table("bob", "roads", {});
    LayerRow row;
    row.column = "shape";
    answer_layers(by_id(7), {row});
    LAYER *layer = nullptr;
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &layer), ZE_SUCCESS);
    MarkNow();

    DB_COLUMN_DEF columns[] = {{"geom", VE_POLYGON, 2048, 1, 1, 3},
                               {"shape", VE_POINT, 2048, 1, 1, 3},
                               {"id", VE_INTEGER, 10, 0, 0, 3}};
    EXPECT_EQ(db_table_mark_spatial_columns(3, columns, "roads", SQL_NULL_HSTMT), ZE_SUCCESS);
    EXPECT_EQ(columns[0].type, VE_POLYGON);
    EXPECT_EQ(columns[0].size, 2048);
    EXPECT_EQ(columns[1].type, VE_POINT); // keeps its type
    EXPECT_EQ(columns[1].size, 0);
    EXPECT_EQ(columns[1].decimal_digits, 0);
    EXPECT_TRUE(Executed().empty());

    // A blob column of the cached layer becomes a shape.
    DB_COLUMN_DEF blob[] = {{"shape", VE_BLOB, 500, 0, 1, 3}};
    EXPECT_EQ(db_table_mark_spatial_columns(1, blob, "bob.roads", SQL_NULL_HSTMT), ZE_SUCCESS);
    EXPECT_EQ(blob[0].type, VE_SHAPE);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(TableDescribe, CatalogueQueryKeepsItsAlternativesInsideTheTable)
{
    const struct {
        const char *found; // null: no row
        int32_t geom, pt;
    } cases[] = {
        {"pt", VE_BLOB, VE_SHAPE}, {"geom   ", VE_SHAPE, VE_BLOB}, {nullptr, VE_BLOB, VE_BLOB}};
    for (const auto &c : cases) {
        MarkNow();
        DB_COLUMN_DEF columns[] = {{"geom", VE_BLOB, 500, 0, 1, 3},
                                   {"id", VE_INTEGER, 10, 0, 0, 3},
                                   {"pt", VE_BLOB, 500, 0, 1, 3},
                                   {"it's", VE_POLYGON, 2048, 0, 1, 3}};
        // The OR of the candidates is grouped: each stays restricted to roads of bob.
        std::string sql = candidates_query({"geom", "pt", "it''s"});
        scli::Answer &a = scli::on_sql(sql).columns({{"spatial_column", SQL_CHAR, 32}});
        if (c.found)
            a.row({scli::chr(c.found, 32)});
        EXPECT_EQ(db_table_mark_spatial_columns(4, columns, "roads", SQL_NULL_HSTMT), ZE_SUCCESS);
        EXPECT_EQ(columns[0].type, c.geom);
        EXPECT_EQ(columns[2].type, c.pt);
        EXPECT_EQ(columns[3].type, VE_POLYGON); // only blobs are marked from the catalogue
        EXPECT_EQ(columns[3].size, 2048);
        EXPECT_EQ(Executed(), Strings{sql});
    }
    // No candidate: no query.
    MarkNow();
    DB_COLUMN_DEF plain[] = {{"id", VE_INTEGER, 10, 0, 0, 3}};
    EXPECT_EQ(db_table_mark_spatial_columns(1, plain, "roads", SQL_NULL_HSTMT), ZE_SUCCESS);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(TableDescribe, RasterColumnOfTheRegistration)
{
    scli::on_sql("SELECT * FROM roads").columns(kRoads);
    scli::on_sql(candidates_query({"geom"})).columns({{"spatial_column", SQL_VARCHAR, 128}});
    answer_rasters({raster_row(4, "RAST")});
    REGISTRATION r = registration(REG_LAYER | REG_RASTER_COLUMN, "");
    Described d;
    ASSERT_EQ(DB_table_describe(instance_, "roads", &r, &d.count, &d.columns), ZE_SUCCESS);
    EXPECT_EQ(d.columns[2].name, std::string("rast"));
    EXPECT_EQ(d.columns[2].type, VE_RASTER);
    EXPECT_EQ(d.columns[2].size, 0);
    EXPECT_EQ(d.columns[0].type, VE_INTEGER); // an integer of another name
    EXPECT_EQ(Executed(), (Strings{candidates_query({"geom"}), raster_query()}));

    // The registration says raster, the catalogue has none or two: no description.
    for (size_t rows : {0u, 2u}) {
        scli::on_sql("SELECT * FROM roads").columns(kRoads);
        scli::on_sql(candidates_query({"geom"})).columns({{"spatial_column", SQL_VARCHAR, 128}});
        std::vector<scli::Row> found;
        for (size_t i = 0; i < rows; i++)
            found.push_back(raster_row(static_cast<int32_t>(4 + i), "rast"));
        answer_rasters(found);
        Described none;
        EXPECT_EQ(DB_table_describe(instance_, "roads", &r, &none.count, &none.columns),
                  rows == 0 ? ZE_RASTERCOLUMN_NOT_FOUND : ZE_MULTIPLE_RASTER_COLUMNS);
        EXPECT_EQ(none.count, 0);
        EXPECT_EQ(none.columns, nullptr);
    }
}

TEST_F(TableDescribe, Failures)
{
    Described d;
    int prepares_before_check = 0;
    StderrCapture capture;
    scli::on_sql("SELECT * FROM gone").at_prepare(SQL_ERROR, {"S0002", -206, "not in database"});
    EXPECT_EQ(DB_table_describe(instance_, "gone", nullptr, &d.count, &d.columns),
              ZE_TABLE_NOT_FOUND);
    scli::on_sql("SELECT * FROM roads").at_prepare(SQL_ERROR, {"S1000", -211, "catalog"});
    EXPECT_EQ(DB_table_describe(instance_, "roads", nullptr, &d.count, &d.columns), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    EXPECT_EQ(DB_instance_get_xerr(&xerr)->native_error, -211);
    // The catalogue cannot be read: the description is not handed out.
    scli::on_sql("SELECT * FROM roads").columns(kRoads);
    scli::on_sql(plain_layers_query()).fail(SQL_ERROR, {"S1000", -244, "read"});
    EXPECT_EQ(DB_table_describe(instance_, "roads", nullptr, &d.count, &d.columns), ZE_DBMS_ERROR);
    EXPECT_EQ(d.columns, nullptr);
    DB_COLUMN_DEF blob[] = {{"geom", VE_BLOB, 500, 0, 1, 3}};
    scli::on_sql(candidates_query({"geom"})).fail(SQL_ERROR, {"S1000", -244, "read"});
    EXPECT_EQ(db_table_mark_spatial_columns(1, blob, "roads", SQL_NULL_HSTMT), ZE_DBMS_ERROR);
    EXPECT_EQ(blob[0].type, VE_BLOB);
    prepares_before_check = scli::call_count("SQLPrepare");
    EXPECT_EQ(DB_table_describe(instance_, nullptr, nullptr, &d.count, &d.columns),
              ZE_NULL_POINTER);
    MarkNow();
    EXPECT_EQ(DB_table_describe(instance_, "roads where 1=1", nullptr, &d.count, &d.columns),
              ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(scli::call_count("SQLPrepare"), prepares_before_check);
    EXPECT_EQ(db_table_mark_spatial_columns(1, nullptr, "roads", SQL_NULL_HSTMT), ZE_NULL_POINTER);
    EXPECT_EQ(db_table_describe_mark_raster(1, blob, nullptr), ZE_NULL_POINTER);
}
