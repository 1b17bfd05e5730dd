// Column types: engine column definitions of described columns, C types of SQL
// types, and the ST type of a column from the extended-type catalogue (the SQL
// it runs, read from the scripted CLI's journal).
#include "db/core/db_column_type_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/db/core/db_xtd_query.h"
#include "tests/support/quiet_stderr.h"

namespace
{

struct MapCase {
    const char *what;
    int16_t sql_type;
    int32_t size;
    int16_t digits;
    int32_t st_type;
    int32_t type, def_size, def_digits, buffer;
    int16_t c_type;
};

const MapCase kMapCases[] = {
    {"NUMERIC(4,0)", SQL_NUMERIC, 4, 0, DB_ST_TYPE_NONE, VE_SMALLINT, 4, 0, 2, SQL_C_SHORT},
    {"NUMERIC(9,0)", SQL_NUMERIC, 9, 0, DB_ST_TYPE_NONE, VE_INTEGER, 9, 0, 4, SQL_C_LONG},
    {"NUMERIC(10,0)", SQL_NUMERIC, 10, 0, DB_ST_TYPE_NONE, VE_DOUBLE, 10, 0, 8, SQL_C_DOUBLE},
    {"REAL", SQL_REAL, 7, 0, DB_ST_TYPE_NONE, VE_FLOAT, 7, 0, 4, SQL_C_FLOAT},
    {"REAL(4)", SQL_REAL, 4, 0, DB_ST_TYPE_NONE, VE_SMALLINT, 4, 0, 2, SQL_C_SHORT},
    {"DECIMAL(12,2)", SQL_DECIMAL, 12, 2, DB_ST_TYPE_NONE, VE_DOUBLE, 12, 2, 8, SQL_C_DOUBLE},
    {"NUMERIC(5,2)", SQL_NUMERIC, 5, 2, DB_ST_TYPE_NONE, VE_FLOAT, 5, 2, 4, SQL_C_FLOAT},
    {"DECIMAL negative scale", SQL_DECIMAL, 5, -1, DB_ST_TYPE_NONE, 0, 5, -1, 0, 0},
    {"SMALLINT", SQL_SMALLINT, 5, 0, DB_ST_TYPE_NONE, VE_SMALLINT, 5, 0, 2, SQL_C_SHORT},
    {"INTEGER", SQL_INTEGER, 10, 0, DB_ST_TYPE_NONE, VE_INTEGER, 10, 0, 4, SQL_C_LONG},
    {"FLOAT", SQL_FLOAT, 15, 3, DB_ST_TYPE_NONE, VE_DOUBLE, 15, 3, 8, SQL_C_DOUBLE},
    {"DOUBLE", SQL_DOUBLE, 15, 0, DB_ST_TYPE_NONE, VE_DOUBLE, 15, 0, 8, SQL_C_DOUBLE},
    {"CHAR(10)", SQL_CHAR, 10, 0, DB_ST_TYPE_NONE, VE_STRING, 10, 0, 11, SQL_C_CHAR},
    {"CHAR(2048)", SQL_CHAR, 2048, 0, DB_ST_TYPE_NONE, VE_STRING, 2048, 0, 2049, SQL_C_CHAR},
    {"VARCHAR(2048)", SQL_VARCHAR, 2048, 0, DB_ST_TYPE_NONE, VE_STRING, 2048, 0, 2049,
     SQL_C_BINARY},
    {"BIGINT", SQL_BIGINT, 19, 0, DB_ST_TYPE_NONE, VE_STRING, 19, 0, 20, SQL_C_CHAR},
    {"DATE", SQL_TYPE_DATE, 10, 0, DB_ST_TYPE_NONE, VE_DATE_TYPE, 0, 0, 6, SQL_C_DATE},
    {"old DATE", SQL_DATE, 10, 0, DB_ST_TYPE_NONE, VE_DATE_TYPE, 0, 0, 6, SQL_C_DATE},
    {"TIME", SQL_TYPE_TIME, 8, 0, DB_ST_TYPE_NONE, VE_DATE_TYPE, 0, 0, 6, SQL_C_TIME},
    {"TIMESTAMP", SQL_TYPE_TIMESTAMP, 26, 5, DB_ST_TYPE_NONE, VE_DATE_TYPE, 0, 0, 16,
     SQL_C_TIMESTAMP},
    {"BYTE", SQL_LONGVARBINARY, 100, 0, DB_ST_TYPE_NONE, VE_BLOB, 100, 0, 60000, SQL_C_BINARY},
    {"TEXT", SQL_LONGVARCHAR, 100, 0, DB_ST_TYPE_NONE, VE_BLOB, 100, 0, 60000, SQL_C_BINARY},
    {"LVARCHAR", -100, 100, 0, DB_ST_TYPE_NONE, VE_BLOB, 100, 0, 60000, SQL_C_BINARY},
    {"other UDT", -101, 2048, 0, DB_ST_TYPE_OTHER, VE_BLOB, 2048, 0, 60000, SQL_C_BINARY},
    {"st_polygon", -101, 2048, 3, VE_POLYGON, VE_POLYGON, 2048, 0, 60000, SQL_C_BINARY},
    {"st_point", -101, 2048, 0, VE_POINT, VE_POINT, 2048, 0, 60000, SQL_C_BINARY},
    {"st_geometry", -101, 2048, 0, VE_GEOMETRY, VE_GEOMETRY, 2048, 0, 60000, SQL_C_BINARY},
    {"code 19 is no ST type", -101, 10, 0, 19, VE_BLOB, 10, 0, 60000, SQL_C_BINARY},
    {"code 32 is no ST type", -101, 10, 0, 32, VE_BLOB, 10, 0, 60000, SQL_C_BINARY},
    {"negative size", SQL_CHAR, -4, 0, DB_ST_TYPE_NONE, VE_STRING, 0, 0, 1, SQL_C_CHAR},
    {"largest size", SQL_VARCHAR, INT32_MAX, 0, DB_ST_TYPE_NONE, VE_STRING, INT32_MAX - 1, 0,
     INT32_MAX, SQL_C_CHAR},
};

} // namespace

TEST(ColumnType, MapsEveryDescribedType)
{
    for (const MapCase &c : kMapCases) {
        SCOPED_TRACE(c.what);
        DB_COLUMN_DEF def;
        memset(&def, 0x5a, sizeof(def));
        def.rowid_kind = 7;
        int32_t buffer = -1;
        int16_t c_type = -1;
        ASSERT_EQ(db_map_dbms_to_zel_type("col", c.sql_type, c.size, c.size, c.digits, 1, &def,
                                          &buffer, &c_type, c.st_type),
                  ZE_SUCCESS);
        EXPECT_STREQ(def.name, "col");
        EXPECT_EQ(def.type, c.type);
        EXPECT_EQ(def.size, c.def_size);
        EXPECT_EQ(def.decimal_digits, c.def_digits);
        EXPECT_EQ(buffer, c.buffer);
        EXPECT_EQ(c_type, c.c_type);
        EXPECT_EQ(def.nulls_allowed, 1);
        EXPECT_EQ(def.rowid_kind, 7);
    }
}

TEST(ColumnType, RefusesTypesWithoutAnEngineType)
{
    for (int16_t sql_type : {int16_t(SQL_BIT), int16_t(SQL_TINYINT), int16_t(SQL_GUID),
                             int16_t(-105), int16_t(1234)}) {
        SCOPED_TRACE(sql_type);
        DB_COLUMN_DEF def{};
        int32_t buffer = 0;
        int16_t c_type = 0;
        StderrCapture capture;
        EXPECT_EQ(db_map_dbms_to_zel_type("b", sql_type, 1, 1, 0, 0, &def, &buffer, &c_type,
                                          DB_ST_TYPE_NONE),
                  ZE_UNSUPPORTED_COLUMN_TYPE);
        EXPECT_EQ(capture.text(), "db_map_dbms_to_zel_type::Error in converting database type = " +
                                      std::to_string(sql_type) + "\n");
    }
}

TEST(ColumnType, NameNullsAndNullOutputs)
{
    DB_COLUMN_DEF def{};
    int32_t buffer = 0;
    int16_t c_type = 0;
    const std::string long_name(40, 'n');
    for (int16_t nullable : {0, 1, 2}) {
        ASSERT_EQ(db_map_dbms_to_zel_type(long_name.c_str(), SQL_INTEGER, 10, 10, 0, nullable, &def,
                                          &buffer, &c_type, DB_ST_TYPE_NONE),
                  ZE_SUCCESS);
        EXPECT_EQ(def.nulls_allowed, nullable != 0 ? 1 : 0);
        EXPECT_EQ(std::string(def.name), std::string(31, 'n'));
    }
    EXPECT_EQ(db_map_dbms_to_zel_type("a", SQL_INTEGER, 1, 1, 0, 0, nullptr, &buffer, &c_type, 0),
              ZE_NULL_POINTER);
    EXPECT_EQ(db_map_dbms_to_zel_type("a", SQL_INTEGER, 1, 1, 0, 0, &def, nullptr, &c_type, 0),
              ZE_NULL_POINTER);
    EXPECT_EQ(db_map_dbms_to_zel_type("a", SQL_INTEGER, 1, 1, 0, 0, &def, &buffer, nullptr, 0),
              ZE_NULL_POINTER);
}

TEST(ColumnType, CTypeOfEverySqlType)
{
    const struct {
        int16_t sql_type, c_type;
    } cases[] = {
        {-100, SQL_C_BINARY},
        {-104, SQL_C_BINARY},
        {-105, 0},
        {SQL_LONGVARBINARY, SQL_C_BINARY},
        {SQL_VARBINARY, SQL_C_BINARY},
        {SQL_BINARY, SQL_C_BINARY},
        {SQL_LONGVARCHAR, SQL_C_BINARY},
        {SQL_BIT, SQL_C_BIT},
        {SQL_TINYINT, SQL_C_TINYINT},
        {SQL_BIGINT, SQL_C_CHAR},
        {SQL_CHAR, SQL_C_CHAR},
        {SQL_VARCHAR, SQL_C_CHAR},
        {SQL_NUMERIC, SQL_C_FLOAT},
        {SQL_DECIMAL, SQL_C_FLOAT},
        {SQL_REAL, SQL_C_FLOAT},
        {SQL_INTEGER, SQL_C_LONG},
        {SQL_SMALLINT, SQL_C_SHORT},
        {SQL_FLOAT, SQL_C_DOUBLE},
        {SQL_DOUBLE, SQL_C_DOUBLE},
        {SQL_DATE, SQL_C_DATE},
        {SQL_TYPE_DATE, SQL_C_DATE},
        {SQL_TIME, SQL_C_TIME},
        {SQL_TYPE_TIME, SQL_C_TIME},
        {SQL_TIMESTAMP, SQL_C_TIMESTAMP},
        {SQL_TYPE_TIMESTAMP, SQL_C_TIMESTAMP},
        {SQL_WVARCHAR, 0},
    };
    for (const auto &c : cases) {
        int16_t c_type = 99;
        EXPECT_EQ(db_sql_type_to_c_type(c.sql_type, &c_type), ZE_SUCCESS);
        EXPECT_EQ(c_type, c.c_type) << c.sql_type;
    }
    EXPECT_EQ(db_sql_type_to_c_type(SQL_CHAR, nullptr), ZE_NULL_POINTER);
}

using ColumnStType = ConnectedUser;

TEST_F(ColumnStType, NamesOfTheTwelveStTypes)
{
    const struct {
        const char *name;
        int32_t code;
    } cases[] = {
        {"st_geometry", 31},   {"st_curve", 21},           {"st_geometrycollection", 25},
        {"st_linestring", 22}, {"st_multilinestring", 29}, {"st_multipoint", 28},
        {"st_multicurve", 27}, {"st_multipolygon", 30},    {"st_multisurface", 26},
        {"st_point", 20},      {"st_polygon", 24},         {"st_surface", 23},
        {"ST_POINT", -101},    {"st_pointz", -101},        {"", -101},
        {"lvarchar", -101},
    };
    const std::string sql = xtd_query("ann", "parcels", "shape");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        scli::on_sql(sql).columns({{"name", SQL_VARCHAR, 128}}).row({scli::varchar(c.name)});
        int32_t code = DB_ST_TYPE_NONE;
        EXPECT_EQ(db_get_column_st_type(nullptr, "ann", "parcels", "shape", -101, &code),
                  ZE_SUCCESS);
        EXPECT_EQ(code, c.code);
    }
    scli::on_sql(sql).columns({{"name", SQL_VARCHAR, 128}}).row({scli::null()});
    int32_t code = DB_ST_TYPE_NONE;
    EXPECT_EQ(db_get_column_st_type(nullptr, "ann", "parcels", "shape", -101, &code), ZE_SUCCESS);
    EXPECT_EQ(code, -101);
}

TEST_F(ColumnStType, AsksTheCatalogueOnlyForExtendedTypes)
{
    int32_t code = 5;
    EXPECT_EQ(db_get_column_st_type(nullptr, "ann", "parcels", "shape", SQL_LONGVARBINARY, &code),
              ZE_SUCCESS);
    EXPECT_EQ(code, 5);
    EXPECT_TRUE(Executed().empty());
    EXPECT_EQ(db_get_column_st_type(nullptr, "ann", nullptr, "shape", -101, &code),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_get_column_st_type(nullptr, "ann", "parcels", "", -101, &code),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_get_column_st_type(nullptr, "ann", "parcels", "shape", -101, nullptr),
              ZE_NULL_POINTER);
}

TEST_F(ColumnStType, QualifiedColumnsQuotedLiteralsAndNoOwner)
{
    // The column's own parts win over the table given; quotes are doubled.
    const std::string qualified = xtd_query("o''k", "roads", "geom");
    scli::on_sql(qualified).columns({{"name", SQL_VARCHAR, 128}}).row({scli::varchar("st_curve")});
    const std::string any_owner = xtd_query("", "ro_ads", "geom");
    scli::on_sql(any_owner).columns({{"name", SQL_VARCHAR, 128}});
    int32_t code = DB_ST_TYPE_NONE;
    EXPECT_EQ(db_get_column_st_type(nullptr, "ann", "parcels", "o'k.roads.geom", -101, &code),
              ZE_SUCCESS);
    EXPECT_EQ(code, VE_CURVE);
    // No row: not an ST column.
    code = DB_ST_TYPE_NONE;
    EXPECT_EQ(db_get_column_st_type(nullptr, "", "ro_ads", "geom", -101, &code), ZE_SUCCESS);
    EXPECT_EQ(code, -101);
    EXPECT_EQ(Executed(), (std::vector<std::string>{qualified, any_owner}));
}

TEST_F(ColumnStType, CliFailuresGiveDbmsErrorWithoutRecord)
{
    const std::string sql = xtd_query("ann", "parcels", "shape");
    for (const char *fn : {"SQLPrepare", "SQLBindCol", "SQLExecute", "SQLFetch"}) {
        SCOPED_TRACE(fn);
        db_clear_global_xerr(nullptr);
        scli::on_sql(sql).columns({{"name", SQL_VARCHAR, 128}}).row({scli::varchar("st_point")});
        scli::fail_call(fn, scli::call_count(fn) + 1, SQL_ERROR, {"S1000", -999, "broken"});
        int32_t code = 7;
        EXPECT_EQ(db_get_column_st_type(nullptr, "ann", "parcels", "shape", -101, &code),
                  ZE_DBMS_ERROR);
        EXPECT_EQ(code, 7);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.code, 0);
    }
}
