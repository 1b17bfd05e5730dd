// DBMS type names from the driver's type catalogue, cached per group of SQL
// types, and the ST type of a column.
#include "db/core/db_type_name_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

// One row of the driver's type catalogue: name and SQL type, the rest NULL.
scli::Row type_row(const char *name, SQLSMALLINT type)
{
    scli::Row row(19, scli::null());
    row[0] = scli::varchar(name);
    row[1] = scli::i16(type);
    return row;
}

// The SQL types asked of the driver's type catalogue since the connect.
class TypeNames : public ConnectedUser
{
  protected:
    std::vector<std::string> types_asked() const
    {
        return Details("SQLGetTypeInfo");
    }
};

} // namespace

// The cache is process-wide and never cleared: each test below uses its own
// group of types.
TEST_F(TypeNames, SmallintFallsBackToIntegerOnceAndIsCached)
{
    scli::set_type_info({type_row("INTEGER", SQL_INTEGER)});
    const char *name = nullptr;
    ASSERT_EQ(DB_get_data_type(SQL_SMALLINT, &name), ZE_SUCCESS);
    EXPECT_STREQ(name, "INTEGER");
    const char *again = nullptr;
    ASSERT_EQ(DB_get_data_type(SQL_SMALLINT, &again), ZE_SUCCESS);
    EXPECT_EQ(again, name);
    EXPECT_EQ(types_asked(), (std::vector<std::string>{"type=5", "type=4"}));
}

TEST_F(TypeNames, AGroupSharesOneNameAndOneQuery)
{
    scli::set_type_info({type_row("DECIMAL", SQL_NUMERIC), type_row("BLOB", SQL_LONGVARBINARY)});
    const char *numeric = nullptr, *decimal = nullptr, *udt = nullptr, *longvarbinary = nullptr;
    ASSERT_EQ(DB_get_data_type(SQL_NUMERIC, &numeric), ZE_SUCCESS);
    ASSERT_EQ(DB_get_data_type(SQL_DECIMAL, &decimal), ZE_SUCCESS);
    EXPECT_EQ(numeric, decimal);
    EXPECT_STREQ(decimal, "DECIMAL");
    scli::set_type_info({type_row("BLOB", -102)});
    ASSERT_EQ(DB_get_data_type(-102, &udt), ZE_SUCCESS);
    ASSERT_EQ(DB_get_data_type(SQL_LONGVARBINARY, &longvarbinary), ZE_SUCCESS);
    EXPECT_EQ(udt, longvarbinary);
    EXPECT_EQ(types_asked(), (std::vector<std::string>{"type=2", "type=-102"}));
}

TEST_F(TypeNames, DoubleTriesFloatThenReal)
{
    scli::set_type_info({type_row("SMALLFLOAT", SQL_REAL)});
    const char *name = nullptr;
    ASSERT_EQ(DB_get_data_type(SQL_DOUBLE, &name), ZE_SUCCESS);
    EXPECT_STREQ(name, "SMALLFLOAT");
    EXPECT_EQ(types_asked(), (std::vector<std::string>{"type=8", "type=6", "type=7"}));
}

TEST_F(TypeNames, RefusalsNameTheType)
{
    const char *name = nullptr;
    StderrCapture capture;
    EXPECT_EQ(DB_get_data_type(SQL_BIT, &name), ZE_DBMS_ERROR);
    EXPECT_EQ(capture.text(), "Unexpected data type (-7) in DB_get_data_type\n");
    EXPECT_TRUE(types_asked().empty());

    scli::set_type_info({});
    EXPECT_EQ(DB_get_data_type(SQL_VARCHAR, &name), ZE_DBMS_ERROR);
    EXPECT_EQ(capture.text(),
              "RDBMS driver unable to support data type (12) in DB_get_data_type\n");
    EXPECT_EQ(types_asked(), (std::vector<std::string>{"type=12", "type=1"}));
    EXPECT_EQ(DB_get_data_type(SQL_INTEGER, nullptr), ZE_NULL_POINTER);
}

TEST_F(TypeNames, ACliFailureFillsTheConnectionRecordAndLeavesTheSlotEmpty)
{
    scli::set_type_info({type_row("VARBINARY", SQL_VARBINARY)});
    scli::fail_call("SQLFetch", scli::call_count("SQLFetch") + 1, SQL_ERROR,
                    {"HY000", -908, "connection lost"});
    const char *name = nullptr;
    StderrCapture capture;
    EXPECT_EQ(DB_get_data_type(SQL_VARBINARY, &name), ZE_DBMS_ERROR);
    std::string printed = capture.text();
    EXPECT_NE(printed.find("get_a_data_type error -1 (type = -3)\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("RDBMS driver unable to support data type (-3)"), std::string::npos);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(xerr.native_error, -908);
    EXPECT_STREQ(xerr.text, "HY000");

    ASSERT_EQ(DB_get_data_type(SQL_VARBINARY, &name), ZE_SUCCESS);
    EXPECT_STREQ(name, "VARBINARY");
}

TEST_F(TypeNames, StTypeOfAColumn)
{
    const std::string both =
        "select typ.name from informix.systables tab, informix.syscolumns col, "
        "informix.sysxtdtypes typ where tab.owner = 'bob' and tab.tabname = 'roads' and "
        "col.colname = 'shape' and tab.tabid=col.tabid and col.extended_id=typ.extended_id";
    const std::string quoted =
        "select typ.name from informix.systables tab, informix.syscolumns col, "
        "informix.sysxtdtypes typ where tab.owner = 'O''Neil' and tab.tabname = 'roads' and "
        "col.colname = 'shape' and tab.tabid=col.tabid and col.extended_id=typ.extended_id";
    const std::string bare =
        "select typ.name from informix.syscolumns col, informix.sysxtdtypes typ where "
        "colname = 'shape' and col.extended_id=typ.extended_id";
    struct Case {
        const char *column;
        const std::string *sql;
        scli::Value type;
        int32_t expected;
    } const cases[] = {
        {"roads.shape", &both, scli::varchar("st_multipolygon"), 1},
        {"bob.Roads.SHAPE", &both, scli::varchar("st_point"), 1},
        {"O'Neil.roads.shape", &quoted, scli::varchar("st_point"), 1},
        {"shape", &bare, scli::varchar("ST_POINT"), 0},
        {"shape", &bare, scli::varchar("integer"), 0},
        {"shape", &bare, scli::null(), 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.column);
        scli::on_sql(*k.sql).columns({{"name", SQL_VARCHAR, 128}}).row({k.type});
        size_t before = scli::executed().size();
        EXPECT_EQ(db_get_column_st_type_qualified(k.column), k.expected);
        std::vector<std::string> ran = scli::executed();
        ASSERT_EQ(ran.size(), before + 1);
        EXPECT_EQ(ran.back(), *k.sql);
    }
    scli::on_sql(bare).columns({{"name", SQL_VARCHAR, 128}});
    EXPECT_EQ(db_get_column_st_type_qualified("shape"), 0);
    scli::on_sql(bare).fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(db_get_column_st_type_qualified("shape"), ZE_DBMS_ERROR);

    // Without a current user a table alone gives the owner-less query.
    db_instance_set_current_user("");
    const std::string table_only =
        "select typ.name from informix.systables tab, informix.syscolumns col, "
        "informix.sysxtdtypes typ where tab.tabname = 'roads' and col.colname = 'shape' and "
        "tab.tabid=col.tabid and col.extended_id=typ.extended_id";
    scli::on_sql(table_only).columns({{"name", SQL_VARCHAR, 128}}).row({scli::varchar("st_curve")});
    EXPECT_EQ(db_get_column_st_type_qualified("roads.shape"), 1);
}

TEST_F(TypeNames, StTypeOfAnUnsplittableNameIsRefusedWithoutAQuery)
{
    const struct {
        std::string column;
        int32_t expected;
    } cases[] = {
        {"roads." + std::string(32, 'c'), ZE_INVALID_ARGUMENT},
        {std::string(32, 'o') + ".roads.shape", ZE_INVALID_ARGUMENT},
        {std::string(160, 't') + ".shape", ZE_INVALID_ARGUMENT},
    };
    size_t before = scli::executed().size();
    for (const auto &k : cases)
        EXPECT_EQ(db_get_column_st_type_qualified(k.column.c_str()), k.expected) << k.column;
    EXPECT_EQ(db_get_column_st_type_qualified(nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(scli::executed().size(), before);
}
