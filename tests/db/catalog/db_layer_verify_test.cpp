// A table checked before it becomes a layer (owner, names, the spatial
// column's and VE_ROW_ID's types, the statements in order), and what a new
// layer learns from its table's shapes: the data's extent (wholly below 0
// here) and the spatial reference of their srid, with the exact two
// SELECTs; tables without shapes or without the column, layers without
// names, and failures.
#include "db/catalog/db_layer_verify.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_xerr.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string kExtent =
    "select max(st_srid(shape)), min(ve_xmin(shape)), min(ve_ymin(shape)), max(ve_xmax(shape)), "
    "max(ve_ymax(shape)) from bob.roads where shape is not null";
const std::string kReference = "select falsex, falsey, xyunits,falsez,zunits,falsem,munits,srtext "
                               "from zel:zel.spatial_references where srid = 3";

std::vector<scli::Column> doubles(int n)
{
    std::vector<scli::Column> c;
    for (int i = 0; i < n; i++)
        c.push_back(scli::Column("", SQL_DOUBLE));
    return c;
}

class LayerVerify : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        strcpy(own_.layer.owner, "bob");
        strcpy(own_.layer.table_name, "roads");
        strcpy(own_.layer.spatial_column, "shape");
        own_.layer.minx = 1;
        own_.layer.maxx = 2;
        own_.coordref.xyunits = 7;
        // The caller's text is C heap of any size, as every COORDREF text.
        own_.coordref.srtext = strdup("old");
    }
    void TearDown() override
    {
        free(own_.coordref.srtext);
        LayerFixture::TearDown();
    }
    void answer_extent(const scli::Row &row)
    {
        std::vector<scli::Column> c = doubles(4);
        c.insert(c.begin(), scli::Column("", SQL_INTEGER));
        scli::on_sql(kExtent).columns(c).row(row);
    }
    layer_test::OwnLayer own_;
};

TEST_F(LayerVerify, ShapesGiveTheExtentAndTheSpatialReference)
{
    // The text replaces the caller's shorter one, and a text beyond the
    // usual buffer comes whole.
    const std::string long_text = "PROJCS[\"" + std::string(1500, 'x') + "\"]";
    for (const std::string &text : {long_text, std::string("PROJCS[\"local\"]")}) {
        SCOPED_TRACE(text.size());
        answer_extent({scli::i32(3), scli::f64(0), scli::f64(0), scli::f64(1), scli::f64(1)});
        std::vector<scli::Column> c = doubles(7);
        c.push_back(scli::Column("srtext", SQL_CHAR, 2048));
        scli::on_sql(kReference)
            .columns(c)
            .row({scli::f64(0), scli::f64(0), scli::f64(1), scli::f64(0), scli::f64(1),
                  scli::f64(0), scli::f64(1), scli::chr("  " + text + "  ", 2048)});
        ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0);
        ASSERT_NE(own_.coordref.srtext, nullptr);
        EXPECT_EQ(std::string(own_.coordref.srtext), text);
    }
    MarkNow();
    answer_extent({scli::i32(3), scli::f64(-10), scli::f64(-20), scli::f64(-1), scli::f64(-2)});
    std::vector<scli::Column> c = doubles(7);
    c.push_back(scli::Column("srtext", SQL_CHAR, 2048));
    scli::on_sql(kReference)
        .columns(c)
        .row({scli::f64(-400), scli::f64(-300), scli::f64(1000), scli::f64(-10), scli::f64(4),
              scli::f64(0), scli::f64(8), scli::chr("  PROJCS[\"local\"]  ", 2048)});
    ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0);
    EXPECT_EQ(Executed(), (Strings{kExtent, kReference}));
    EXPECT_NE(own_.layer.eflags & LAYER_SPATIAL, 0u);
    EXPECT_EQ(own_.layer.minx, -10);
    EXPECT_EQ(own_.layer.miny, -20);
    EXPECT_EQ(own_.layer.maxx, -1);
    EXPECT_EQ(own_.layer.maxy, -2);
    const double expected[] = {-400, -300, 1000, -10, 4, 0, 8};
    const double got[] = {own_.coordref.falsex, own_.coordref.falsey, own_.coordref.xyunits,
                          own_.coordref.falsez, own_.coordref.zunits, own_.coordref.falsem,
                          own_.coordref.munits};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(got[i], expected[i]) << i;
    EXPECT_STREQ(own_.coordref.srtext, "PROJCS[\"local\"]");
}

// Left as they were: no shapes (NULL srid), no such column, no names.
TEST_F(LayerVerify, NothingToLearn)
{
    answer_extent({scli::null(), scli::null(), scli::null(), scli::null(), scli::null()});
    ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0);
    scli::on_sql(kExtent).fail(SQL_ERROR, {"S0022", -217, "Column not found."});
    quiet_stderr([&] { ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0); });
    EXPECT_EQ(Executed(), (Strings{kExtent, kExtent}));
    EXPECT_EQ(own_.layer.minx, 1);
    EXPECT_EQ(own_.layer.maxx, 2);
    EXPECT_EQ(own_.coordref.xyunits, 7);
    EXPECT_STREQ(own_.coordref.srtext, "old");

    MarkNow();
    own_.layer.spatial_column[0] = '\0';
    own_.layer.eflags = 0;
    ASSERT_EQ(DB_layer_verify(instance_, &own_.layer), 0);
    EXPECT_EQ(own_.layer.eflags, static_cast<uint32_t>(LAYER_SPATIAL));
    EXPECT_EQ(Executed(), Strings{});
    EXPECT_EQ(DB_layer_verify(instance_, nullptr), ZE_NULL_POINTER);
}

TEST_F(LayerVerify, FailuresFillTheRecord)
{
    answer_extent({scli::i32(3), scli::f64(0), scli::f64(0), scli::f64(1), scli::f64(1)});
    scli::on_sql(kReference).fail(SQL_ERROR, {"HY000", -243, "Could not position."});
    quiet_stderr([&] { EXPECT_EQ(DB_layer_verify(instance_, &own_.layer), ZE_DBMS_ERROR); });
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -243);
    EXPECT_EQ(own_.layer.minx, 1); // nothing taken from a half-read
    strcpy(own_.layer.owner, "bob;x");
    EXPECT_EQ(DB_layer_verify(instance_, &own_.layer), ZE_INVALID_ARGUMENT);
}

} // namespace

namespace
{

// The statements of one table of bob's in gis.
struct TableSql {
    explicit TableSql(const std::string &t)
        : describe("SELECT * FROM gis:bob." + t),
          catalogue("SELECT spatial_column FROM zel:zel.Layers WHERE database_name = 'gis' AND "
                    "table_name = '" +
                    t + "' AND owner = 'bob'"),
          shape("SELECT shape FROM gis:bob." + t), row_ids("SELECT VE_ROW_ID FROM gis:bob." + t),
          nullable("SQLColumns catalog=gis owner=bob table=" + t + " column=shape")
    {
    }
    std::string describe, catalogue, shape, row_ids, nullable;
};

// A table of bob's that is to become a layer with spatial column shape.
class LayerVerifyTable : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        strcpy(own_.layer.spatial_column, "shape");
        scli::on_sql_like("SELECT spatial_column FROM zel:zel.Layers WHERE .*")
            .columns({{"spatial_column", SQL_VARCHAR, 32}})
            .repeat();
    }
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
        LayerFixture::TearDown();
    }
    // The table's columns as a SELECT * describes them and as the catalogue
    // lists them; the layer names the table.
    void table(const std::string &name, const std::vector<scli::Column> &columns)
    {
        scli::on_sql(TableSql(name).describe).columns(columns);
        scli::add_table("bob", name, columns);
        snprintf(own_.layer.table_name, sizeof(own_.layer.table_name), "%s", name.c_str());
    }
    // What went to the DBMS since the mark: each statement's text once (as
    // prepared or executed at once), the catalogue's column look-ups, and
    // COMMIT.
    std::vector<std::string> Sent() const
    {
        std::vector<std::string> out;
        for (const scli::Call &c : Journal()) {
            if (c.fn == "SQLPrepare" || c.fn == "SQLExecDirect" || c.fn == "SQLEndTran")
                out.push_back(c.sql);
            else if (c.fn == "SQLColumns")
                out.push_back("SQLColumns " + c.detail);
        }
        return out;
    }
    int32_t verify()
    {
        return DB_layer_verify_table(instance_, &own_.layer);
    }
    layer_test::OwnLayer own_;
};

const scli::Column kObjectid("objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS);
const scli::Column kName("name", SQL_VARCHAR, 32);

scli::Column shape(SQLSMALLINT nullable, const std::string &type = "SQLUDTVAR")
{
    return scli::Column("shape", SQL_LONGVARBINARY, 0, 0, nullable, type);
}

} // namespace

// The spatial column and VE_ROW_ID as they stand: missing (added later),
// an extended type that must allow NULL, an integer; VE_ROW_ID a 32-bit
// integer that allows NULL. The statements in order; the VE_ROW_ID step
// ends with a commit whatever it found.
TEST_F(LayerVerifyTable, ColumnsAsTheyStand)
{
    const scli::Column row_id("VE_ROW_ID", SQL_INTEGER, 0, 0, SQL_NULLABLE);
    enum Step { DESCRIBE, CATALOGUE, SHAPE, NULLABLE, ROW_IDS, COMMIT };
    const struct {
        const char *what;
        std::vector<scli::Column> spatial; // empty: no such column
        std::vector<scli::Column> row_id;  // empty: no such column
        int32_t expected;
        std::vector<Step> sent;
    } cases[] = {
        {"neither column yet", {}, {}, ZE_SUCCESS, {DESCRIBE, CATALOGUE, SHAPE, ROW_IDS, COMMIT}},
        {"both as they should be",
         {shape(SQL_NULLABLE)},
         {row_id},
         ZE_SUCCESS,
         {DESCRIBE, CATALOGUE, SHAPE, NULLABLE, ROW_IDS, COMMIT}},
        {"shape without NULL",
         {shape(SQL_NO_NULLS)},
         {row_id},
         ZE_COLUMN_NOT_NULLABLE,
         {DESCRIBE, CATALOGUE, SHAPE, NULLABLE}},
        {"shape of a plain type",
         {shape(SQL_NULLABLE, "BYTE")},
         {row_id},
         ZE_WRONG_COLUMN_TYPE,
         {DESCRIBE, CATALOGUE, SHAPE}},
        {"shape an interval",
         {shape(SQL_NULLABLE, "INTERVAL DAY TO SECOND")},
         {row_id},
         ZE_WRONG_COLUMN_TYPE,
         {DESCRIBE, CATALOGUE, SHAPE}},
        {"shape an integer beside other columns",
         {shape(SQL_NULLABLE, "INTEGER")},
         {row_id},
         ZE_SUCCESS,
         {DESCRIBE, CATALOGUE, SHAPE, ROW_IDS, COMMIT}},
        {"shape an INT8 beside other columns",
         {shape(SQL_NULLABLE, "INT8")},
         {},
         ZE_SUCCESS,
         {DESCRIBE, CATALOGUE, SHAPE, ROW_IDS, COMMIT}},
        {"row ids without NULL",
         {},
         {scli::Column("VE_ROW_ID", SQL_INTEGER, 0, 0, SQL_NO_NULLS)},
         ZE_COLUMN_NOT_NULLABLE,
         {DESCRIBE, CATALOGUE, SHAPE, ROW_IDS, COMMIT}},
        {"row ids of another type",
         {},
         {scli::Column("VE_ROW_ID", SQL_DOUBLE)},
         ZE_WRONG_COLUMN_TYPE,
         {DESCRIBE, CATALOGUE, SHAPE, ROW_IDS, COMMIT}},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "roads" + std::to_string(++n);
        const TableSql sql(name);
        std::vector<scli::Column> columns = {kObjectid, kName};
        columns.insert(columns.end(), c.spatial.begin(), c.spatial.end());
        columns.insert(columns.end(), c.row_id.begin(), c.row_id.end());
        table(name, columns);
        if (c.spatial.empty())
            scli::on_sql(sql.shape).at_prepare(SQL_ERROR, {"S0022", -217, "Column not found."});
        else
            scli::on_sql(sql.shape).columns(c.spatial);
        if (c.row_id.empty())
            scli::on_sql(sql.row_ids).at_prepare(SQL_ERROR, {"42S22", -217, "Column not found."});
        else
            scli::on_sql(sql.row_ids).columns(c.row_id);
        MarkNow();
        EXPECT_EQ(verify(), c.expected);
        std::vector<std::string> expected;
        for (Step s : c.sent)
            expected.push_back(s == DESCRIBE    ? sql.describe
                               : s == CATALOGUE ? sql.catalogue
                               : s == SHAPE     ? sql.shape
                               : s == NULLABLE  ? sql.nullable
                               : s == ROW_IDS   ? sql.row_ids
                                                : "COMMIT");
        EXPECT_EQ(Sent(), expected);
        EXPECT_STREQ(own_.layer.table_name, name.c_str());
        EXPECT_STREQ(own_.layer.database_name, "gis");
    }
}

// The name is split before anything runs: the database is written back,
// the owner must be the connection's user, the spatial column may not be
// named like the table (in any case), and the bare table is written back.
TEST_F(LayerVerifyTable, TheNameComesFirst)
{
    const struct {
        const char *table, *column;
        int32_t expected;
        const char *database, *written_table;
    } cases[] = {
        {"carol.roads", "shape", ZE_NOT_TABLE_OWNER, "gis", "carol.roads"},
        {"maps:carol.roads", "shape", ZE_NOT_TABLE_OWNER, "maps", "maps:carol.roads"},
        {"gis:bob.roads", "ROADS", ZE_SPATIAL_COLUMN_IS_TABLE_NAME, "gis", "gis:bob.roads"},
        {"Roads", "roads", ZE_SPATIAL_COLUMN_IS_TABLE_NAME, "gis", "Roads"},
        {"gis:bob.roads", "shape; drop", ZE_INVALID_IDENTIFIER, "gis", "roads"},
        {"gis:bob.road's", "shape", ZE_INVALID_IDENTIFIER, "gis", "road's"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + c.column);
        snprintf(own_.layer.table_name, sizeof(own_.layer.table_name), "%s", c.table);
        snprintf(own_.layer.spatial_column, sizeof(own_.layer.spatial_column), "%s", c.column);
        own_.layer.database_name[0] = '\0';
        MarkNow();
        EXPECT_EQ(verify(), c.expected);
        EXPECT_EQ(Sent(), std::vector<std::string>{});
        EXPECT_STREQ(own_.layer.database_name, c.database);
        EXPECT_STREQ(own_.layer.table_name, c.written_table);
        EXPECT_STREQ(own_.layer.owner, "");
    }
    // Fields that do not end in their own bytes are not read beyond them.
    memset(own_.layer.table_name, 'r', sizeof(own_.layer.table_name));
    strcpy(own_.layer.spatial_column, "shape");
    EXPECT_EQ(verify(), ZE_INVALID_ARGUMENT);
    strcpy(own_.layer.table_name, "roads");
    memset(own_.layer.spatial_column, 's', sizeof(own_.layer.spatial_column));
    EXPECT_EQ(verify(), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Sent(), std::vector<std::string>{});
    EXPECT_EQ(DB_layer_verify_table(instance_, nullptr), ZE_NULL_POINTER);
}

// Columns that may hold shapes already, while the layer's column is not
// among them, are named in a warning; the layer's own column silences it.
TEST_F(LayerVerifyTable, OtherShapeColumnsAreNamed)
{
    setenv("ZELVERBOSE", "1", 1);
    const std::vector<scli::Column> others = {
        kObjectid, {"geom", SQL_LONGVARBINARY}, kName, {"picture", SQL_LONGVARBINARY}};
    table("roads", others);
    scli::on_sql(TableSql("roads").shape).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    scli::on_sql(TableSql("roads").row_ids).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    StderrCapture capture;
    EXPECT_EQ(verify(), ZE_SUCCESS);
    EXPECT_EQ(capture.text(), "DB_layer_verify_table:: warning message \n"
                              "  Adding spatial column \"shape\", but a spatial column may have "
                              "already existed.\n"
                              "  Possible spatial column:  geom,picture. \n");

    // Informix keeps names in lower case; the describe's may come in any.
    std::vector<scli::Column> with_shape = others;
    with_shape.push_back({"SHAPE", SQL_LONGVARBINARY});
    scli::on_sql(TableSql("streets").describe).columns(with_shape);
    with_shape.back() = shape(SQL_NULLABLE);
    scli::add_table("bob", "streets", with_shape);
    strcpy(own_.layer.table_name, "streets");
    scli::on_sql(TableSql("streets").shape).columns({shape(SQL_NULLABLE)});
    scli::on_sql(TableSql("streets").row_ids).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    EXPECT_EQ(verify(), ZE_SUCCESS);
    EXPECT_EQ(capture.text(), "");
}

// An integer spatial column that is the table's only column: the table is
// made again with the spatial column and VE_ROW_ID before VE_ROW_ID is
// looked at.
TEST_F(LayerVerifyTable, ALoneIntegerColumnIsMadeAgain)
{
    const TableSql sql("roads");
    table("roads", {scli::Column("shape", SQL_INTEGER)});
    scli::on_sql(sql.shape).columns({shape(SQL_NULLABLE, "INTEGER")});
    scli::on_sql(sql.row_ids).columns({{"VE_ROW_ID", SQL_INTEGER}});
    // The re-creation's look at the table: no shapes, no VE_ROW_ID.
    scli::on_sql("SELECT COUNT(*) FROM gis:bob.roads WHERE shape IS NOT NULL")
        .columns({{"", SQL_INTEGER}})
        .row({scli::i32(0)});
    scli::on_sql("SELECT COUNT(*) FROM gis:bob.roads where VE_ROW_ID IS NOT NULL")
        .at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    MarkNow();
    EXPECT_EQ(verify(), ZE_SUCCESS);
    EXPECT_EQ(Sent(),
              (std::vector<std::string>{
                  sql.describe, sql.catalogue, sql.shape,
                  "SELECT COUNT(*) FROM gis:bob.roads WHERE shape IS NOT NULL",
                  "SELECT COUNT(*) FROM gis:bob.roads where VE_ROW_ID IS NOT NULL",
                  "DROP TABLE gis:bob.roads", "COMMIT",
                  "CREATE TABLE gis:bob.roads (shape ST_Geometry, VE_ROW_ID INTEGER ) ", "COMMIT",
                  "REVOKE ALL ON gis:bob.roads FROM PUBLIC", "COMMIT", sql.row_ids, "COMMIT"}));
}

// Failures: a missing table (at the description or at VE_ROW_ID), a
// refused prepare with its record, a failed commit.
TEST_F(LayerVerifyTable, Failures)
{
    strcpy(own_.layer.table_name, "roads1");
    scli::on_sql(TableSql("roads1").describe).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    EXPECT_EQ(verify(), ZE_TABLE_NOT_FOUND);

    table("roads2", {kObjectid});
    scli::on_sql(TableSql("roads2").shape)
        .at_prepare(SQL_ERROR, {"S1000", -243, "Could not position."});
    DB_EXT_ERROR xerr;
    {
        StderrCapture capture;
        EXPECT_EQ(verify(), ZE_DBMS_ERROR);
        EXPECT_EQ(capture.text().rfind("DB_layer_verify_table() Execute Error (-1)\n", 0), 0u);
    }
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -243);

    table("roads3", {kObjectid});
    scli::on_sql(TableSql("roads3").shape).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    scli::on_sql(TableSql("roads3").row_ids).at_prepare(SQL_ERROR, {"42S02", -206, "no table"});
    EXPECT_EQ(verify(), ZE_TABLE_NOT_FOUND);

    table("roads4", {kObjectid});
    scli::on_sql(TableSql("roads4").shape).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    scli::on_sql(TableSql("roads4").row_ids).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
    scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
    EXPECT_EQ(verify(), ZE_DBMS_ERROR);
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -908);
}
