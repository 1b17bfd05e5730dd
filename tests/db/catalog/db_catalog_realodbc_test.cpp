// The layer read and the dialect-neutral table DDL through unixODBC's driver
// manager and the SQLite ODBC driver: the 27 columns of the layer SELECT bound
// and fetched with their NULL rules from real LAYERS and SPATIAL_REFERENCES
// tables, and indexes made one by one and from definitions, dropped, a table
// emptied and dropped. Texts SQLite does not speak (the catalogue's qualified
// names, GRANT, RENAME TABLE, ALTER with parentheses) stay with the scripted
// tests.
#include <string.h>

#include <gtest/gtest.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/catalog/db_table_ddl_internal.h"
#include "db/catalog/db_table_index.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_stmt_internal.h"
#include "tests/db/core/realodbc_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

class RealCatalog : public RealOdbcFixture
{
  protected:
    static void SetUpTestSuite()
    {
        connect_suite("/tmp/zel_catalogreal_XXXXXX");
    }

    static void TearDownTestSuite()
    {
        end_suite();
    }

    static void run(const char *sql)
    {
        ASSERT_EQ(db_execute_ddlsql(sql, 1, 1), 0) << sql;
    }

    // Counts the rows of a query's first column.
    static int rows_of(const std::string &sql)
    {
        SQLHSTMT hstmt = SQL_NULL_HSTMT;
        EXPECT_EQ(db_prepare_cursor(nullptr, &hstmt, sql.c_str(), 0), 0);
        EXPECT_EQ(db_execute_stmt(&hstmt, 1, DB_EXEC_NO_COMMIT), 0);
        int n = 0;
        SQLULEN fetched = 0;
        while (db_fetch_rows(&hstmt, 1, &fetched) == 0)
            n++;
        db_free_stmt(&hstmt);
        return n;
    }
};

struct OwnLayer {
    OwnLayer()
    {
        layer.coordref = &coordref;
        coordref.srtext = text;
    }
    LAYER layer{};
    COORDREF coordref{};
    char text[LAYER_SRTEXT_SIZE] = "";
};

TEST_F(RealCatalog, LayerRowIsBoundAndReadWithItsNullRules)
{
    run("CREATE TABLE layers (layer_id INTEGER, description VARCHAR(65), minx FLOAT, miny FLOAT, "
        "maxx FLOAT, maxy FLOAT, eflags INTEGER, layer_mask INTEGER, database_name VARCHAR(32), "
        "table_name VARCHAR(128), owner VARCHAR(32), spatial_column VARCHAR(128), cdate INTEGER, "
        "layer_config VARCHAR(32), optimal_array_size INTEGER, stats_date INTEGER, minimum_id "
        "INTEGER, base_layer_id INTEGER, srid INTEGER)");
    run("CREATE TABLE spatial_references (srid INTEGER, falsex FLOAT, falsey FLOAT, xyunits FLOAT, "
        "falsez FLOAT, zunits FLOAT, falsem FLOAT, munits FLOAT, srtext CHAR(2048))");
    run("INSERT INTO spatial_references VALUES (4, -180, -90, 1000000, 0, 1, 0, 1, "
        "'  GEOGCS[\"WGS 84\"]   ')");
    run("INSERT INTO layers VALUES (3, NULL, 1.5, 2.5, 10, 20, 134217732, 0, NULL, 'roads', "
        "'bob', 'shape', 1000, NULL, NULL, NULL, 0, 0, 4)");
    run("INSERT INTO layers VALUES (5, 'lots', 0, 0, 1, 1, 16, 0, 'gis', 'lots', 'bob', 'geom', "
        "2000, 'DEFAULTS', 50, 60, 7, 3, 4)");

    const std::string select =
        std::string(DB_LAYER_SELECT) +
        " FROM layers ly, spatial_references sr WHERE ly.srid = sr.srid AND layer_id = ";
    OwnLayer own;
    own.layer.grid_size[2] = 3;
    LAYER *target = &own.layer;
    ASSERT_EQ(db_layer_get_info(nullptr, nullptr, (select + "3").c_str(), &target, 0, 0), 0);
    EXPECT_EQ(own.layer.layer_id, 3);
    EXPECT_STREQ(own.layer.description, "");
    EXPECT_EQ(own.layer.minx, 1.5);
    EXPECT_EQ(own.layer.maxy, 20);
    EXPECT_EQ(own.layer.eflags, static_cast<uint32_t>(LAYER_SPATIAL | LAYER_LINE));
    EXPECT_STREQ(own.layer.database_name, "");
    EXPECT_STREQ(own.layer.table_name, "roads");
    EXPECT_STREQ(own.layer.owner, "bob");
    EXPECT_STREQ(own.layer.spatial_column, "shape");
    EXPECT_STREQ(own.layer.layer_config, "");
    EXPECT_EQ(own.layer.optimal_array_size, 0);
    EXPECT_EQ(own.layer.stats_date, 0);
    EXPECT_EQ(own.layer.minimum_id, 1);
    EXPECT_EQ(own.layer.grid_size[2], 0.0);
    EXPECT_EQ(own.coordref.falsex, -180);
    EXPECT_EQ(own.coordref.xyunits, 1000000);
    EXPECT_EQ(own.coordref.srid, 4);
    EXPECT_STREQ(own.text, "GEOGCS[\"WGS 84\"]");

    ASSERT_EQ(db_layer_get_info(nullptr, nullptr, (select + "5").c_str(), &target, 0, 0), 0);
    EXPECT_STREQ(own.layer.description, "lots");
    EXPECT_STREQ(own.layer.database_name, "gis");
    EXPECT_STREQ(own.layer.layer_config, "DEFAULTS");
    EXPECT_EQ(own.layer.optimal_array_size, 50);
    EXPECT_EQ(own.layer.stats_date, 60);
    EXPECT_EQ(own.layer.minimum_id, 7);
    EXPECT_EQ(own.layer.base_layer_id, 3);

    EXPECT_EQ(db_layer_get_info(nullptr, nullptr, (select + "99").c_str(), &target, 0, 0),
              ZE_LAYER_NOT_FOUND);
    quiet_stderr([&] {
        EXPECT_EQ(
            db_layer_get_info(nullptr, nullptr, "SELECT layer_id FROM nowhere", &target, 0, 0),
            ZE_DBMS_ERROR);
    });
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
}

TEST_F(RealCatalog, IndexesAreMadeDroppedAndUndone)
{
    run("CREATE TABLE lots (id INTEGER, name VARCHAR(20), area FLOAT)");
    run("INSERT INTO lots VALUES (1, 'one', 2.5)");
    const std::string indexes = "SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                "tbl_name = 'lots'";

    // The spatial probe finds no Informix catalogue here: a plain B-tree.
    StderrCapture capture;
    ASSERT_EQ(DB_table_create_index(nullptr, "lots", "name", 0, 1, "lots_name", "", 0), 0);
    EXPECT_EQ(rows_of(indexes), 1);

    DB_INDEX_DEF defs[2] = {};
    char first_columns[2][DB_INDEX_COLUMN_NAME_SIZE] = {"id", "area"};
    char *first_names[DB_INDEX_MAX_COLUMNS] = {first_columns[0], first_columns[1]};
    int32_t first_orders[DB_INDEX_MAX_COLUMNS] = {1, 0};
    strcpy(defs[0].index_name, "lots_id_area");
    defs[0].unique = 1;
    defs[0].column_count = 2;
    defs[0].column_names = first_names;
    defs[0].column_order = first_orders;
    // The second index takes the first one's name: the first is dropped again.
    char second_column[DB_INDEX_COLUMN_NAME_SIZE] = "name";
    char *second_names[DB_INDEX_MAX_COLUMNS] = {second_column};
    int32_t second_orders[DB_INDEX_MAX_COLUMNS] = {1};
    strcpy(defs[1].index_name, "lots_name");
    defs[1].column_count = 1;
    defs[1].column_names = second_names;
    defs[1].column_order = second_orders;
    EXPECT_LT(DB_table_create_indexes(nullptr, "lots", 2, defs, "", 0), 0);
    EXPECT_EQ(rows_of(indexes), 1);

    ASSERT_EQ(DB_table_create_indexes(nullptr, "lots", 1, defs, "", 0), 0);
    EXPECT_EQ(rows_of(indexes), 2);
    ASSERT_EQ(DB_table_drop_index(nullptr, "lots", "lots_name"), 0);
    ASSERT_EQ(DB_table_drop_index(nullptr, "lots", "lots_id_area"), 0);
    EXPECT_EQ(rows_of(indexes), 0);

    ASSERT_EQ(DB_table_truncate(nullptr, "lots"), 0);
    EXPECT_EQ(rows_of("SELECT id FROM lots"), 0);
    ASSERT_EQ(DB_table_truncate(nullptr, "lots"), 0); // an empty table
    ASSERT_EQ(db_commit(), 0);
    ASSERT_EQ(DB_table_drop(nullptr, "lots"), 0);
    EXPECT_EQ(rows_of("SELECT name FROM sqlite_master WHERE name = 'lots'"), 0);
    EXPECT_NE(DB_table_drop(nullptr, "lots"), 0);
}

} // namespace
