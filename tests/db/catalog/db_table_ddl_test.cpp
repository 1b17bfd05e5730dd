// Table creation and the table DDL around it: the CREATE TABLE text with the
// DBMS's type names, the row-id column and the ST_ types, the storage clauses
// of a keyword by the counter rule and the selector, the put clause of the
// spatial column, the refusal codes that execute nothing, and the add, drop,
// rename, truncate and drop statements with their result mapping.
#include "db/catalog/db_table_ddl_internal.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/util/zel_errors.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_dbtune_store.h"

namespace
{

using Strings = std::vector<std::string>;

// The statements of all from position from on.
Strings tail(const Strings &all, size_t from)
{
    return Strings(all.begin() + static_cast<long>(from), all.end());
}

const std::string kDbtuneSelect =
    "SELECT keyword, parameter_name, config_string FROM zel:zel.dbtune where keyword = '";

std::string dbtune_select(const std::string &keyword)
{
    return kDbtuneSelect + keyword + "' OR keyword = 'DEFAULTS'";
}

DB_COLUMN_DEF column(const char *name, int32_t type, int32_t size = 0, int16_t digits = 0,
                     int32_t nulls = 1)
{
    DB_COLUMN_DEF c{};
    snprintf(c.name, sizeof(c.name), "%s", name);
    c.type = type;
    c.size = size;
    c.decimal_digits = digits;
    c.nulls_allowed = nulls;
    c.rowid_kind = DB_ROWID_NONE;
    return c;
}

class TableDdl : public ConnectedUser
{
  protected:
    void SetUp() override
    {
        ConnectedUser::SetUp();
        scli::dbtune_store_install();
    }
    void add_row(const char *keyword, const char *name, const char *value)
    {
        scli::dbtune_store().rows.push_back({keyword, name, value});
    }
    // The statements a successful create runs after its CREATE text.
    static Strings created(const std::string &create, const std::string &table)
    {
        return {create, "COMMIT", "REVOKE ALL ON " + table + " FROM PUBLIC", "COMMIT"};
    }
};

TEST_F(TableDdl, CreateWritesRowIdAfterTheSpatialColumn)
{
    const DB_COLUMN_DEF columns[] = {column("name", VE_INTEGER, 0, 0, 0),
                                     column("shape", VE_SHAPE)};
    ASSERT_EQ(DB_table_create(nullptr, "t", 2, columns, "", 0), 0);
    EXPECT_EQ(Executed(),
              created("CREATE TABLE t (name INTEGER NOT NULL, shape ST_Geometry, VE_ROW_ID "
                      "INTEGER ) ",
                      "t"));
}

TEST_F(TableDdl, CallersRowIdColumnIsWrittenOnceAsItStands)
{
    const DB_COLUMN_DEF columns[] = {column("ve_row_id", VE_INTEGER, 0, 0, 1),
                                     column("shape", VE_POINT), column("label", VE_STRING, 20)};
    ASSERT_EQ(DB_table_create(nullptr, "gis:bob.pts", 3, columns, nullptr, 0), 0);
    EXPECT_EQ(Executed(),
              created("CREATE TABLE gis:bob.pts (VE_ROW_ID INTEGER , shape ST_Point, label "
                      "VARCHAR(20)) ",
                      "gis:bob.pts"));
}

TEST_F(TableDdl, ColumnTypeTexts)
{
    struct Case {
        DB_COLUMN_DEF c;
        const char *text; // null: refused with rc
        int32_t rc;
    };
    const Case cases[] = {
        {column("a", VE_SMALLINT), "a SMALLINT", 0},
        {column("a", VE_SMALLINT, 5), "a SMALLINT", 0},
        {column("a", VE_SMALLINT, 6), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_SMALLINT, 2, 1), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_INTEGER, 10), "a INTEGER", 0},
        {column("a", VE_INTEGER, 7), "a DECIMAL(7,0)", 0},
        {column("a", VE_INTEGER, 4), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_INTEGER, 11), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_INTEGER, 7, 2), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_FLOAT), "a DECIMAL(6,2)", 0},
        {column("a", VE_FLOAT, 7), "a DECIMAL(7,0)", 0},
        {column("a", VE_FLOAT, 9, 3), "a DECIMAL(9,3)", 0},
        {column("a", VE_FLOAT, 10, 3), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_FLOAT, 0, 2), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_FLOAT, 3, 4), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_DOUBLE), "a FLOAT", 0},
        {column("a", VE_DOUBLE, 15, 4), "a DECIMAL(15,4)", 0},
        {column("a", VE_DOUBLE, 40, 4), "a DECIMAL(32,4)", 0},
        {column("a", VE_DOUBLE, 6, 0), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_STRING), "a VARCHAR(255)", 0},
        {column("a", VE_STRING, 1000), "a VARCHAR(255)", 0},
        {column("a", VE_STRING, 1), "a VARCHAR(1)", 0},
        {column("a", VE_STRING, 0, 3), nullptr, ZE_INVALID_COLUMN_DEF},
        {column("a", VE_BLOB, 99), "a BLOB", 0},
        {column("a", VE_DATE_TYPE), "a DATETIME YEAR TO SECOND", 0},
        {column("a", VE_LINESTRING), "a ST_LineString", 0},
        {column("a", VE_MULTIPOLYGON), "a ST_MultiPolygon", 0},
        {column("a", VE_GEOMETRY), "a ST_Geometry", 0},
        {column("a", 10), nullptr, ZE_INVALID_COLUMN_TYPE},
        {column("a", 32), nullptr, ZE_INVALID_COLUMN_TYPE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.c.type) + "/" + std::to_string(c.c.size) + "/" +
                     std::to_string(c.c.decimal_digits));
        size_t before = Executed().size();
        int32_t rc = quiet_stderr([&] { return DB_table_create(nullptr, "t", 1, &c.c, "", 0); });
        Strings ran = tail(Executed(), before);
        if (c.text == nullptr) {
            EXPECT_EQ(rc, c.rc);
            EXPECT_TRUE(ran.empty());
            continue;
        }
        EXPECT_EQ(rc, 0);
        std::string create = std::string("CREATE TABLE t (") + c.text;
        bool spatial = c.c.type == VE_SHAPE || c.c.type >= VE_POINT;
        create += spatial ? ", VE_ROW_ID INTEGER ) " : ") ";
        EXPECT_EQ(ran, created(create, "t"));
    }
}

TEST_F(TableDdl, RefusalsExecuteNothing)
{
    struct Case {
        std::vector<DB_COLUMN_DEF> columns;
        int32_t rc;
    };
    const Case cases[] = {
        {{column("a", VE_INTEGER), column("VE_ROW_ID", VE_INTEGER, 0, 0, 0)},
         ZE_COLUMN_NOT_NULLABLE},
        {{column("ve_row_id", VE_STRING, 10)}, ZE_WRONG_COLUMN_TYPE},
        {{column("s", VE_SHAPE), column("p", VE_POINT)}, ZE_MULTIPLE_SPATIAL_COLUMNS},
        {{column("s", VE_SHAPE, 0, 0, 0)}, ZE_COLUMN_NOT_NULLABLE},
        {{column("a b", VE_INTEGER)}, ZE_INVALID_IDENTIFIER},
        {{column("", VE_INTEGER)}, ZE_INVALID_COLUMN_DEF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rc);
        EXPECT_EQ(DB_table_create(nullptr, "t", static_cast<int16_t>(c.columns.size()),
                                  c.columns.data(), "", 0),
                  c.rc);
    }
    // A name that fills its field without a terminator.
    DB_COLUMN_DEF unterminated = column("a", VE_INTEGER);
    memset(unterminated.name, 'n', sizeof(unterminated.name));
    EXPECT_EQ(DB_table_create(nullptr, "t", 1, &unterminated, "", 0), ZE_INVALID_COLUMN_DEF);
    DB_COLUMN_DEF one = column("a", VE_INTEGER);
    EXPECT_EQ(DB_table_create(nullptr, "t", 0, &one, "", 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_table_create(nullptr, "t(x)", 1, &one, "", 0), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_table_create(nullptr, std::string(160, 't').c_str(), 1, &one, "", 0),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_table_create(nullptr, nullptr, 1, &one, "", 0), ZE_NULL_POINTER);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(TableDdl, StorageClausesByCounterAndSelector)
{
    add_row("ROADS", "B_STORAGE", "IN roads_b");
    add_row("ROADS", "S_STORAGE", "  sbspace1 ");
    add_row("DEFAULTS", "A_STORAGE", "IN adds_space");
    add_row("DEFAULTS", "D_STORAGE", "IN deletes_space");
    add_row("DEFAULTS", "B_STORAGE", "IN never");
    const DB_COLUMN_DEF columns[] = {column("id", VE_INTEGER), column("shape", VE_SHAPE)};
    struct Case {
        int32_t selector;
        const char *clause;
    };
    const Case cases[] = {
        {0, "IN roads_b"}, {1, "IN adds_space"}, {2, "IN deletes_space"}, {7, "IN roads_b"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.selector);
        size_t before = Executed().size();
        ASSERT_EQ(DB_table_create(nullptr, "roads", 2, columns, "roads", c.selector), 0);
        const std::string create =
            std::string("CREATE TABLE roads (id INTEGER, shape ST_Geometry, VE_ROW_ID INTEGER ) ") +
            c.clause;
        EXPECT_EQ(
            tail(Executed(), before),
            (Strings{dbtune_select("ROADS"), create, "ALTER TABLE roads  put shape in (sbspace1) ",
                     "COMMIT", "COMMIT", "REVOKE ALL ON roads FROM PUBLIC", "COMMIT"}));
    }

    // Without a spatial column there is no put clause.
    const DB_COLUMN_DEF plain = column("id", VE_INTEGER);
    size_t before = Executed().size();
    ASSERT_EQ(DB_table_create(nullptr, "ids", 1, &plain, "roads", 0), 0);
    EXPECT_EQ(Executed()[before + 1], "CREATE TABLE ids (id INTEGER) IN roads_b");
    EXPECT_EQ(Executed().size(), before + 5);
}

TEST_F(TableDdl, KeywordOnlyThroughDefaultsIsRefusedBeforeAnyDdl)
{
    add_row("DEFAULTS", "B_STORAGE", "IN default_space");
    const DB_COLUMN_DEF one = column("id", VE_INTEGER);
    EXPECT_EQ(DB_table_create(nullptr, "t", 1, &one, "ABSENT", 0), ZE_KEYWORD_WITHOUT_ROWS);
    EXPECT_EQ(Executed(), (Strings{dbtune_select("ABSENT")}));
}

TEST_F(TableDdl, CreateFailures)
{
    const DB_COLUMN_DEF one = column("id", VE_INTEGER);
    scli::on_sql("CREATE TABLE t (id INTEGER) ").fail(SQL_ERROR, {"S0001", -310, "exists"});
    EXPECT_EQ(DB_table_create(nullptr, "t", 1, &one, "", 0), ZE_TABLE_EXISTS);
    scli::on_sql("CREATE TABLE t (id INTEGER) ").fail(SQL_ERROR, {"S1000", -261, "no space"});
    StderrCapture capture;
    EXPECT_EQ(DB_table_create(nullptr, "t", 1, &one, "", 0), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_NE(err.find("DB_table_create() Execute Error (-1)\n"), std::string::npos);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -261);
    EXPECT_STREQ(xerr.message, "no space(t)");
    // Neither commits nor revokes.
    EXPECT_EQ(Executed(),
              (Strings{"CREATE TABLE t (id INTEGER) ", "CREATE TABLE t (id INTEGER) "}));

    // A failed revoke leaves the committed table.
    scli::on_sql("REVOKE ALL ON t FROM PUBLIC").fail(SQL_ERROR, {"42000", -273, "no"});
    EXPECT_EQ(DB_table_create(nullptr, "t", 1, &one, "", 0), 0);
}

// A table that is not committed is a failure and is rolled back, so that
// no later commit keeps it; PUBLIC's rights are then not touched.
TEST_F(TableDdl, TableNotCommittedIsRolledBack)
{
    add_row("ROADS", "S_STORAGE", "sbspace1");
    const DB_COLUMN_DEF columns[] = {column("id", VE_INTEGER), column("shape", VE_SHAPE)};
    const std::string create =
        "CREATE TABLE roads (id INTEGER, shape ST_Geometry, VE_ROW_ID INTEGER ) ";
    const std::string alter = "ALTER TABLE roads  put shape in (sbspace1) ";
    const scli::Diag lost{"08S01", -908, "connection lost"};
    const struct {
        const char *what;
        const char *keyword;
        std::function<void()> script;
        Strings ran;
    } cases[] = {
        {"commit of a plain table",
         "",
         [&] { scli::on_commit().fail(SQL_ERROR, lost); },
         {"CREATE TABLE roads (id INTEGER, shape ST_Geometry, VE_ROW_ID INTEGER ) ", "COMMIT",
          "ROLLBACK"}},
        {"put clause",
         "roads",
         [&] { scli::on_sql(alter).fail(SQL_ERROR, lost); },
         {dbtune_select("ROADS"), create, alter, "ROLLBACK"}},
        {"commit of the put clause",
         "roads",
         [&] { scli::on_commit().fail(SQL_ERROR, lost); },
         {dbtune_select("ROADS"), create, alter, "COMMIT", "ROLLBACK"}},
        {"last commit",
         "roads",
         [&] {
             scli::on_commit();
             scli::on_commit().fail(SQL_ERROR, lost);
         },
         {dbtune_select("ROADS"), create, alter, "COMMIT", "COMMIT", "ROLLBACK"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MarkNow();
        c.script();
        EXPECT_EQ(quiet_stderr(
                      [&] { return DB_table_create(nullptr, "roads", 2, columns, c.keyword, 0); }),
                  ZE_DBMS_ERROR);
        EXPECT_EQ(Executed(), c.ran);
        EXPECT_TRUE(scli::unused_answers().empty());
    }
}

TEST_F(TableDdl, ColumnStatements)
{
    const DB_COLUMN_DEF label = column("label", VE_STRING, 40, 0, 0);
    ASSERT_EQ(DB_table_add_column(nullptr, "t", &label), 0);
    scli::on_sql("ALTER TABLE t ADD (label  VARCHAR(40) NOT NULL) ")
        .fail(SQL_ERROR, {"S0021", -328, "exists"});
    EXPECT_EQ(DB_table_add_column(nullptr, "t", &label), ZE_ADD_COLUMN_EXISTS);
    const DB_COLUMN_DEF bad = column("label", 40);
    EXPECT_EQ(DB_table_add_column(nullptr, "t", &bad), ZE_INVALID_COLUMN_TYPE);

    ASSERT_EQ(DB_table_drop_column(nullptr, "t", "label"), 0);
    struct Case {
        scli::Diag diag;
        int32_t rc;
    };
    const Case drops[] = {{{"S0002", -206, ""}, ZE_TABLE_NOT_FOUND},
                          {{"S0022", -217, ""}, ZE_COLUMN_NOT_FOUND},
                          {{"42000", -273, ""}, ZE_NO_PERMISSIONS},
                          {{"S1000", -999, ""}, ZE_DBMS_ERROR}};
    StderrCapture capture;
    for (const Case &c : drops) {
        scli::on_sql("ALTER TABLE t DROP (label) ").fail(SQL_ERROR, c.diag);
        EXPECT_EQ(DB_table_drop_column(nullptr, "t", "label"), c.rc);
    }
    EXPECT_EQ(DB_table_drop_column(nullptr, "t", "label)"), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_table_drop_column(nullptr, "t", std::string(32, 'c').c_str()),
              ZE_INVALID_ARGUMENT);

    Strings expected = {"ALTER TABLE t ADD (label  VARCHAR(40) NOT NULL) ", "COMMIT",
                        "ALTER TABLE t ADD (label  VARCHAR(40) NOT NULL) ",
                        "ALTER TABLE t DROP (label) ", "COMMIT"};
    for (int i = 0; i < 4; i++)
        expected.push_back("ALTER TABLE t DROP (label) ");
    EXPECT_EQ(Executed(), expected);
}

TEST_F(TableDdl, RenameTruncateAndDrop)
{
    EXPECT_EQ(DB_table_rename(nullptr, "old", "new"), 0);
    const std::pair<scli::Diag, int32_t> renames[] = {{{"S0002", -206, ""}, ZE_TABLE_NOT_FOUND},
                                                      {{"S0001", -310, ""}, ZE_TABLE_EXISTS},
                                                      {{"42000", -273, ""}, ZE_NO_PERMISSIONS},
                                                      {{"S1000", -999, ""}, ZE_DBMS_ERROR}};
    StderrCapture capture;
    for (const auto &[diag, rc] : renames) {
        scli::on_sql("RENAME TABLE old TO new").fail(SQL_ERROR, diag);
        EXPECT_EQ(DB_table_rename(nullptr, "old", "new"), rc);
    }

    // An empty table: SQL_NO_DATA and SQL_SUCCESS with no rows are both 0.
    scli::on_sql("DELETE FROM t \n").no_data();
    EXPECT_EQ(DB_table_truncate(nullptr, "t"), 0);
    scli::on_sql("DELETE FROM t \n").row_count(0);
    EXPECT_EQ(DB_table_truncate(nullptr, "t"), 0);

    EXPECT_EQ(DB_table_drop(nullptr, "t"), 0);
    scli::on_sql("DROP TABLE gone").fail(SQL_ERROR, {"S0002", -206, "no table"});
    EXPECT_EQ(DB_table_drop(nullptr, "gone"), ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(DB_table_drop(nullptr, "gone;"), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_table_rename(nullptr, "old", "new name"), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_table_truncate(nullptr, nullptr), ZE_NULL_POINTER);

    Strings expected = {"RENAME TABLE old TO new", "COMMIT"};
    for (int i = 0; i < 4; i++)
        expected.push_back("RENAME TABLE old TO new");
    // The truncation stays in the caller's transaction.
    for (const char *s :
         {"DELETE FROM t \n", "DELETE FROM t \n", "DROP TABLE t", "COMMIT", "DROP TABLE gone"})
        expected.push_back(s);
    EXPECT_EQ(Executed(), expected);
}

} // namespace
