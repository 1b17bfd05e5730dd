// The row-id column of a registered table: an existing column kept when a
// unique index on it can be made, a non-unique index giving way, a column
// numbered in runs of 50,000 rows read in ROWID order (each run one
// committed call of the renumbering procedure), a missing column added,
// refused columns, failures of the read and of the final index reported;
// and columns added to and dropped from a table with its adds table.
#include "db/version/db_rowid_column_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/db/version/registered_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_dbtune_store.h"

namespace
{

using registered_test::params_of;
using registered_test::xerr;
using Strings = std::vector<std::string>;

const std::string kSelect = "SELECT objectid FROM gis:bob.roads";
const std::string kIndex = "CREATE UNIQUE INDEX R7_zel_rowid_uk on roads (objectid) ";
const std::string kDropIndex = "DROP INDEX R7_zel_rowid_uk";
const std::string kProcedure = "bob.bob_roads_rowid_update";
const std::string kCreateProcedure =
    "CREATE PROCEDURE " + kProcedure +
    " (lowid integer, highid integer, startid integer); define rowidVAR integer; define "
    "new_rowidVAR integer; let new_rowidVAR = startid; BEGIN FOREACH select_cursor for select "
    "ROWID into rowidVAR from gis:bob.roads  where ROWID <= highid and ROWID >lowid update "
    "gis:bob.roads set objectid  = new_rowidVAR where CURRENT OF select_cursor; let new_rowidVAR "
    "= new_rowidVAR + 1; END FOREACH; END END PROCEDURE;";
const std::string kCount = "select count(*) from gis:bob.roads";
const std::string kRowids = "select ROWID from gis:bob.roads ORDER BY ROWID";
const std::string kCall = "{ call " + kProcedure + " (?,?,?) }";
const std::string kDropProcedure = "DROP PROCEDURE " + kProcedure;
const std::string kNotNull = "ALTER TABLE gis:bob.roads MODIFY (objectid INTEGER NOT NULL)";
const std::string kDescribeIndexes =
    "SELECT  si.idxname, si.idxtype, sc.colname                     FROM    "
    "systables st,                             sysindices "
    "si,                             syscolumns sc,                             "
    "sysams sa,                             "
    "TABLE(MULTISET{0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15}) as "
    "i(indexpart)                             WHERE   st.tabtype = 'T' "
    "AND                             si.tabid = st.tabid "
    "AND                             sc.tabid = st.tabid "
    "AND                             si.amid = sa.am_id "
    "AND                             sa.am_name = 'btree' "
    "AND                             st.owner = 'bob'  AND                             "
    "st.tabname = 'roads' AND                             (sc.colno = "
    "ikeyextractcolno(si.indexkeys,i.indexpart)                              OR "
    "sc.colno = "
    "-ikeyextractcolno(si.indexkeys,i.indexpart))                             order "
    "by si.idxname";

// The layer of bob's roads with that spatial column.
std::string kLayerByColumn(const std::string &column)
{
    return layer_test::kSelect +
           " FROM zel:zel.Layers ly, zel:zel.spatial_references sr WHERE ly.srid = sr.srid AND "
           "ly.database_name = 'gis' AND ly.table_name = 'roads' AND spatial_column = '" +
           column + "' AND ly.owner = 'bob'";
}

// The ROWID of the n-th row: ascending, with gaps.
int32_t Rowid(int32_t n)
{
    return 257 + 3 * n;
}

// The table answers count rows.
void Rows(int32_t count)
{
    scli::on_sql(kCount).columns({{"", SQL_INTEGER}}).row({scli::i32(count)});
    std::vector<scli::Row> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; i++)
        rows.push_back({scli::i32(Rowid(i))});
    scli::on_sql(kRowids).columns({{"ROWID", SQL_INTEGER}}).rows(std::move(rows));
}

void Column(SQLSMALLINT type, SQLSMALLINT nullable)
{
    scli::on_sql(kSelect).columns({{"objectid", type, 0, 0, nullable}});
}

class RowidTest : public MvTest
{
  protected:
    static REGISTRATION Registration()
    {
        REGISTRATION r = roads();
        r.object_flags = REG_ROWID_COLUMN | REG_ROWID_ENGINE;
        r.minimum_id = 1000;
        return r;
    }
    // The statements of a numbering of count rows: count, ROWIDs, one
    // committed call per run.
    static Strings Numbering(int32_t runs)
    {
        Strings out = {kCount, kRowids};
        for (int32_t i = 0; i < runs; i++) {
            out.push_back(kCall);
            out.push_back("COMMIT");
        }
        return out;
    }
    // A fresh connection and script: answers of statements that are only
    // prepared are never used up.
    void Again()
    {
        DB_instance_close(instance_);
        instance_ = nullptr;
        MvTest::SetUp();
    }
    static Strings Join(std::initializer_list<Strings> parts)
    {
        Strings out;
        for (const Strings &p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    }
};

} // namespace

// Each run is one ROWID range (lower, upper] numbered from minimum id +
// 50,000 x run.
TEST_F(RowidTest, RunsOfFiftyThousandRowsInRowidOrder)
{
    const struct {
        int32_t rows;
        std::vector<Strings> calls;
    } cases[] = {
        {0, {}},
        {1, {{"0", std::to_string(Rowid(0)), "1000"}}},
        {50000, {{"0", std::to_string(Rowid(49999)), "1000"}}},
        {50001,
         {{"0", std::to_string(Rowid(49999)), "1000"},
          {std::to_string(Rowid(49999)), std::to_string(Rowid(50000)), "51000"}}},
        {120000,
         {{"0", std::to_string(Rowid(49999)), "1000"},
          {std::to_string(Rowid(49999)), std::to_string(Rowid(99999)), "51000"},
          {std::to_string(Rowid(99999)), std::to_string(Rowid(119999)), "101000"}}},
    };
    const REGISTRATION r = Registration();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rows);
        Again();
        Rows(c.rows);
        ASSERT_EQ(db_execute_rowid_update(&r, kProcedure.c_str()), ZE_SUCCESS);
        EXPECT_EQ(executed(), Numbering(static_cast<int32_t>(c.calls.size())));
        EXPECT_EQ(params_of(kCall), c.calls);
    }
}

// A failing fetch of the ROWIDs ends the numbering with -51 before any call;
// a failing call stops at its run, the runs before it kept.
TEST_F(RowidTest, FailuresOfTheNumberingAreReported)
{
    const REGISTRATION r = Registration();
    std::vector<scli::Row> rows(300, scli::Row{scli::i32(1)});
    scli::on_sql(kCount).columns({{"", SQL_INTEGER}}).row({scli::i32(300)});
    scli::on_sql(kRowids)
        .columns({{"ROWID", SQL_INTEGER}})
        .rows(rows)
        .at_fetch(2, SQL_ERROR, {"S1000", -244, "could not read"});
    setenv("ZELVERBOSE", "1", 1);
    {
        StderrCapture capture;
        EXPECT_EQ(db_execute_rowid_update(&r, kProcedure.c_str()), ZE_DBMS_ERROR);
        EXPECT_NE(capture.text().find("db_execute_rowid_update(): Error: Update Rowid column..."),
                  std::string::npos);
    }
    unsetenv("ZELVERBOSE");
    EXPECT_EQ(executed(), (Strings{kCount, kRowids}));
    EXPECT_EQ(xerr().native_error, -244);

    mark();
    Rows(60000);
    scli::on_sql(kCall).info({"01000", 0, "a warning"}); // succeeded
    scli::on_sql(kCall).fail(SQL_ERROR, {"S1000", -239, "duplicate value"});
    EXPECT_EQ(quiet_stderr([&] { return db_execute_rowid_update(&r, kProcedure.c_str()); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(executed(), (Strings{kCount, kRowids, kCall, "COMMIT", kCall}));
    EXPECT_EQ(xerr().native_error, -239);
}

TEST_F(RowidTest, AColumnThatTakesTheIndexIsKept)
{
    const REGISTRATION r = Registration();
    Column(SQL_INTEGER, SQL_NO_NULLS);
    scli::on_sql(kIndex).info({"01000", 0, "a warning"}); // still a made index
    ASSERT_EQ(DB_registered_table_add_rowid_column(instance_, &r), ZE_SUCCESS);
    EXPECT_EQ(executed(), (Strings{kIndex, "COMMIT"}));
    const std::vector<scli::Call> prepared = scli::calls_of("SQLPrepare");
    ASSERT_GE(prepared.size(), 2u);
    EXPECT_EQ(prepared[prepared.size() - 2].sql, kSelect); // described, never run

    // A column that allows NULL is made NOT NULL.
    Again();
    Column(SQL_INTEGER, SQL_NULLABLE);
    ASSERT_EQ(DB_registered_table_add_rowid_column(instance_, &r), ZE_SUCCESS);
    EXPECT_EQ(executed(), (Strings{kIndex, "COMMIT", kNotNull, "COMMIT"}));
}

// The index fails: an index of the column alone that is unique already is
// enough; one that is not unique is dropped and the unique one made; with
// none, or when the values still clash, the column is numbered first.
TEST_F(RowidTest, AnExistingIndexDecides)
{
    const REGISTRATION r = Registration();
    const scli::Diag clash{"S1000", -371, "duplicate values"};
    const scli::Diag exists{"S1000", -350, "index exists on column"};
    auto indexes = [](std::vector<scli::Row> rows) {
        scli::on_sql(kDescribeIndexes)
            .columns({{"idxname", SQL_VARCHAR, 128},
                      {"idxtype", SQL_CHAR, 1},
                      {"colname", SQL_VARCHAR, 128}})
            .rows(std::move(rows));
    };
    const Strings renumbered = Join({{kDropIndex, "COMMIT", kCreateProcedure, "COMMIT"},
                                     Numbering(1),
                                     {kDropProcedure, "COMMIT", kIndex, "COMMIT"}});

    // Unique already, whatever the case the catalogue gives the column in.
    for (const char *column : {"objectid", "OBJECTID", "ObjectId"}) {
        SCOPED_TRACE(column);
        Again();
        Column(SQL_INTEGER, SQL_NO_NULLS);
        scli::on_sql(kIndex).fail(SQL_ERROR, exists);
        indexes({{scli::varchar("objectid_ix"), scli::chr("U", 1), scli::varchar(column)}});
        ASSERT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
                  ZE_SUCCESS);
        EXPECT_EQ(executed(), (Strings{kIndex, kDescribeIndexes}));
    }

    // Not unique: it gives way.
    Again();
    Column(SQL_INTEGER, SQL_NO_NULLS);
    scli::on_sql(kIndex).fail(SQL_ERROR, exists);
    indexes({{scli::varchar("two_ix"), scli::chr("D", 1), scli::varchar("objectid")},
             {scli::varchar("two_ix"), scli::chr("D", 1), scli::varchar("name")},
             {scli::varchar("objectid_ix"), scli::chr("D", 1), scli::varchar("objectid")}});
    ASSERT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
              ZE_SUCCESS);
    EXPECT_EQ(executed(), (Strings{kIndex, kDescribeIndexes, "DROP INDEX objectid_ix", "COMMIT",
                                   kIndex, "COMMIT"}));

    // Not unique, and the values clash: numbered.
    Again();
    Column(SQL_INTEGER, SQL_NO_NULLS);
    scli::on_sql(kIndex).fail(SQL_ERROR, exists);
    indexes({{scli::varchar("objectid_ix"), scli::chr("D", 1), scli::varchar("objectid")}});
    scli::on_sql(kIndex).fail(SQL_ERROR, clash);
    Rows(10);
    ASSERT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
              ZE_SUCCESS);
    EXPECT_EQ(
        executed(),
        Join({{kIndex, kDescribeIndexes, "DROP INDEX objectid_ix", "COMMIT", kIndex}, renumbered}));

    // No index: numbered.
    Again();
    Column(SQL_INTEGER, SQL_NO_NULLS);
    scli::on_sql(kIndex).fail(SQL_ERROR, clash);
    indexes({});
    Rows(10);
    ASSERT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
              ZE_SUCCESS);
    EXPECT_EQ(executed(), Join({{kIndex, kDescribeIndexes}, renumbered}));
    EXPECT_EQ(params_of(kCall).back(), (Strings{"0", std::to_string(Rowid(9)), "1000"}));
}

// A missing column is added, numbered, indexed and made NOT NULL.
TEST_F(RowidTest, AMissingColumnIsAdded)
{
    const REGISTRATION r = Registration();
    scli::on_sql(kSelect).at_prepare(SQL_ERROR, {"S0022", -217, "column not found"});
    scli::on_sql(kDropIndex).fail(SQL_ERROR, {"S0012", -319, "index not found"});
    Rows(2);
    ASSERT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
              ZE_SUCCESS);
    EXPECT_EQ(executed(), Join({{"ALTER TABLE gis:bob.roads ADD objectid INTEGER", "COMMIT",
                                 kDropIndex, kCreateProcedure, "COMMIT"},
                                Numbering(1),
                                {kDropProcedure, "COMMIT", kIndex, "COMMIT", kNotNull, "COMMIT"}}));
}

TEST_F(RowidTest, RefusedColumnsAndTables)
{
    const struct {
        const char *what;
        std::function<void()> script;
        uint32_t flags;
        int32_t rc;
    } cases[] = {
        {"not a 32-bit integer", [] { Column(SQL_SMALLINT, SQL_NO_NULLS); }, 0,
         ZE_INVALID_COLUMN_TYPE},
        {"no table",
         [] {
             scli::on_sql(kSelect).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
         },
         0, ZE_TABLE_NOT_FOUND},
        {"another prepare failure",
         [] {
             scli::on_sql(kSelect).at_prepare(SQL_ERROR, {"S1000", -908, "gone"});
         },
         0, ZE_DBMS_ERROR},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Again();
        c.script();
        REGISTRATION r = Registration();
        r.object_flags |= c.flags;
        EXPECT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
                  c.rc);
        for (const std::string &sql : executed())
            EXPECT_EQ(sql.find("CREATE"), std::string::npos) << sql;
    }
    REGISTRATION bad = Registration();
    strcpy(bad.rowid_column, "id; drop");
    EXPECT_EQ(DB_registered_table_add_rowid_column(instance_, &bad), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_registered_table_add_rowid_column(instance_, nullptr), ZE_NULL_POINTER);
}

// Numbered values that still clash (rows came in meanwhile) are reported,
// not taken for success.
TEST_F(RowidTest, AFailedFinalIndexIsReported)
{
    const REGISTRATION r = Registration();
    Column(SQL_INTEGER, SQL_NULLABLE);
    scli::on_sql(kIndex).fail(SQL_ERROR, {"S1000", -371, "duplicate values"});
    scli::on_sql(kDescribeIndexes).columns({{"idxname", SQL_VARCHAR, 128}});
    Rows(3);
    scli::on_sql(kIndex).fail(SQL_ERROR, {"S1000", -371, "duplicate values"});
    EXPECT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(xerr().native_error, -371);
    const Strings ran = executed();
    EXPECT_EQ(ran.back(), kIndex); // and no NOT NULL after it
    EXPECT_EQ(std::count(ran.begin(), ran.end(), kDropProcedure), 1);
}

TEST_F(RowidTest, ColumnsFollowIntoTheAddsTable)
{
    DB_COLUMN_DEF column{};
    strcpy(column.name, "lanes");
    column.type = VE_INTEGER;
    column.nulls_allowed = 1;
    REGISTRATION r = Registration();
    r.imv_view_name[0] = '\0';
    ASSERT_EQ(DB_registered_table_add_column(instance_, &r, &column), ZE_SUCCESS);
    ASSERT_EQ(DB_registered_table_drop_column(instance_, &r, "lanes"), ZE_SUCCESS);
    const Strings plain = executed();
    mark();
    r.object_flags |= REG_MULTIVERSION;
    // The stored views list the columns they were made with: each change
    // drops them, and the next read makes them again.
    const std::string views =
        "SELECT tabname FROM systables WHERE tabtype = 'V' AND tabname MATCHES 'zel_*_view_7'";
    for (int i = 0; i < 2; i++)
        scli::on_sql(views)
            .columns({{"tabname", SQL_CHAR, 128}})
            .row({scli::chr("zel_std_view_7", 128)});
    ASSERT_EQ(DB_registered_table_add_column(instance_, &r, &column), ZE_SUCCESS);
    ASSERT_EQ(DB_registered_table_drop_column(instance_, &r, "lanes"), ZE_SUCCESS);
    const Strings versioned = executed();
    const std::string add = "ADD (lanes  INTEGER) ", drop = "DROP (lanes) ";
    EXPECT_EQ(plain, (Strings{"ALTER TABLE gis:bob.roads " + add, "COMMIT",
                              "ALTER TABLE gis:bob.roads " + drop, "COMMIT"}));
    const std::string drop_view = "DROP VIEW ZEL_STD_VIEW_7";
    EXPECT_EQ(versioned,
              (Strings{"ALTER TABLE gis:bob.roads " + add, "COMMIT",
                       "ALTER TABLE gis:'bob'.A7 " + add, "COMMIT", views, drop_view, "COMMIT",
                       "ALTER TABLE gis:bob.roads " + drop, "COMMIT",
                       "ALTER TABLE gis:'bob'.A7 " + drop, "COMMIT", views, drop_view, "COMMIT"}));

    // A table with an IMV view whose triggers cannot be made: refused
    // before anything changes.
    mark();
    strcpy(r.imv_view_name, "roads_imv");
    EXPECT_EQ(DB_registered_table_add_column(instance_, &r, &column), ZE_NOT_SUPPORTED);
    EXPECT_TRUE(executed().empty());
}

// The index takes the B_INDEX_ROWID clause of the registration's keyword; a
// keyword without rows of its own is refused before any DDL.
TEST_F(RowidTest, TheKeywordGivesTheIndexClause)
{
    scli::dbtune_store_install();
    scli::dbtune_store().rows.push_back({"DEFAULTS", "B_INDEX_ROWID", "IN default_space"});
    scli::dbtune_store().rows.push_back({"ROADS", "B_INDEX_ROWID", "IN roads_ix"});
    REGISTRATION r = Registration();
    strcpy(r.config_keyword, "ROADS");
    Column(SQL_INTEGER, SQL_NO_NULLS);
    ASSERT_EQ(DB_registered_table_add_rowid_column(instance_, &r), ZE_SUCCESS);
    Strings ran = executed();
    ASSERT_GE(ran.size(), 2u);
    EXPECT_EQ(Strings(ran.end() - 2, ran.end()), (Strings{kIndex + "IN roads_ix", "COMMIT"}));

    Again();
    scli::dbtune_store_install();
    scli::dbtune_store().rows.push_back({"DEFAULTS", "B_INDEX_ROWID", "IN default_space"});
    strcpy(r.config_keyword, "ABSENT");
    EXPECT_EQ(DB_registered_table_add_rowid_column(instance_, &r), ZE_KEYWORD_WITHOUT_ROWS);
    for (const std::string &sql : executed())
        EXPECT_EQ(sql.rfind("SELECT", 0), 0u) << sql; // only the keyword's rows were read
}

// The layer's spatial column cannot be its row-id column; a table whose
// layer has another spatial column goes on.
TEST_F(RowidTest, TheSpatialColumnIsRefused)
{
    DB_instance_close(instance_);
    instance_ = nullptr;
    config_.layer_cache_size = 5;
    ASSERT_EQ(DB_instance_open("", "bob", "pw", &config_, &instance_), 0);
    mark();
    layer_test::LayerRow layer;
    layer_test::answer_layers(kLayerByColumn("shape"), {layer});
    scli::on_sql("SELECT shape FROM gis:bob.roads").columns({{"shape", SQL_INTEGER}});
    REGISTRATION r = Registration();
    r.object_flags |= REG_LAYER;
    strcpy(r.rowid_column, "shape");
    EXPECT_EQ(DB_registered_table_add_rowid_column(instance_, &r), ZE_INVALID_COLUMN_TYPE);
    for (const std::string &sql : executed())
        EXPECT_EQ(sql.find("CREATE"), std::string::npos) << sql;

    mark();
    layer_test::answer_layers(kLayerByColumn("objectid"), {});
    Column(SQL_INTEGER, SQL_NO_NULLS);
    strcpy(r.rowid_column, "objectid");
    ASSERT_EQ(DB_registered_table_add_rowid_column(instance_, &r), ZE_SUCCESS);
    EXPECT_EQ(executed(), (Strings{kLayerByColumn("objectid"), "COMMIT", kIndex, "COMMIT"}));
}

// Rows that came in between the count and the read still get their runs:
// the runs are not sized by the count.
TEST_F(RowidTest, RunsAreNotBoundByTheCount)
{
    const REGISTRATION r = Registration();
    scli::on_sql(kCount).columns({{"", SQL_INTEGER}}).row({scli::i32(1)});
    std::vector<scli::Row> rows;
    for (int32_t i = 0; i < 120000; i++)
        rows.push_back({scli::i32(Rowid(i))});
    scli::on_sql(kRowids).columns({{"ROWID", SQL_INTEGER}}).rows(std::move(rows));
    ASSERT_EQ(db_execute_rowid_update(&r, kProcedure.c_str()), ZE_SUCCESS);
    EXPECT_EQ(params_of(kCall).size(), 3u);
    EXPECT_EQ(params_of(kCall).back(),
              (Strings{std::to_string(Rowid(99999)), std::to_string(Rowid(119999)), "101000"}));
}

// A numbering that fails still drops its procedure; its own failure is the
// one reported.
TEST_F(RowidTest, AFailedNumberingDropsItsProcedure)
{
    const REGISTRATION r = Registration();
    scli::on_sql(kSelect).at_prepare(SQL_ERROR, {"S0022", -217, "column not found"});
    Rows(5);
    scli::on_sql(kCall).fail(SQL_ERROR, {"S1000", -239, "duplicate value"});
    scli::on_sql(kDropProcedure).fail(SQL_ERROR, {"S1000", -674, "routine in use"});
    EXPECT_EQ(quiet_stderr([&] { return DB_registered_table_add_rowid_column(instance_, &r); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(xerr().native_error, -239);
    const Strings ran = executed();
    ASSERT_FALSE(ran.empty());
    EXPECT_EQ(ran.back(), kDropProcedure);
    EXPECT_EQ(std::count(ran.begin(), ran.end(), kIndex), 0);
}
