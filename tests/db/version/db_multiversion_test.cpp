// Tests making a registered table multiversioned and plain again: the
// statements of enabling in order, a failure at any step after the adds
// table exists leaving no versioning table behind, a layer in load-only
// mode refused, routines that exist already taken as made; disabling that
// tries every step (stored views dropped first) and returns the first
// failure; emptying and removing the rows of states; the stored views
// dropped when a versioned table's columns change; and privileges granted
// and revoked on a registered table through its layer or raster column and
// on its versioning tables; a layer's trigger handed over and back, and the
// IMV view dropped with the versioning.
#include "db/version/db_multiversion_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "db/version/db_rowid_column.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

using scli::join;

// The catalogue reads of the table copies, on roads of bob.
const std::string kGrants =
    "SELECT DISTINCT auth.grantee, auth.tabauth FROM systabauth auth, systables tab WHERE "
    "tab.tabname = 'roads' AND tab.owner = 'bob' AND auth.tabid = tab.tabid ORDER BY grantee";
const std::string kViews =
    "SELECT tabname FROM systables WHERE tabtype = 'V' AND tabname MATCHES 'zel_*_view_7'";
const std::string kClear = "{call zel:zel.clear_registration_modified (?) }";

std::string getter(const char *kind)
{
    const std::string global = std::string("ZEL_global_") + kind + "_7";
    return std::string("CREATE FUNCTION ZEL_") + kind +
           "_get7 () \t\t               RETURNING integer;                        DEFINE GLOBAL " +
           global + " integer DEFAULT -1 ;\t\t\t\t\t   RETURN " + global +
           ";                        END FUNCTION ";
}

const std::string kSetter =
    "CREATE PROCEDURE ZEL_lineageid_set7 ( zel_state_id integer, zel_lineage_id integer,  "
    "zel_diff_id integer, zel_start_id integer, zel_logid integer) DEFINE GLOBAL "
    "ZEL_global_stateid_7 integer DEFAULT -1;  DEFINE GLOBAL ZEL_global_lineageid_7 integer "
    "DEFAULT -1;  DEFINE GLOBAL ZEL_global_diffid_7 integer DEFAULT -1;  DEFINE GLOBAL "
    "ZEL_global_logid_7 integer DEFAULT -1;  DEFINE GLOBAL ZEL_global_endid integer DEFAULT -1;  "
    "DEFINE GLOBAL ZEL_global_startid integer DEFAULT -1; IF(zel_state_id IS NOT NULL) THEN  LET "
    "ZEL_global_stateid_7 = zel_state_id;  LET ZEL_global_endid = zel_state_id;  END IF  IF "
    "(zel_lineage_id IS NOT NULL) THEN  LET ZEL_global_lineageid_7 = zel_lineage_id;  END IF  IF "
    "(zel_start_id IS NOT NULL) THEN  LET ZEL_global_startid = zel_start_id; END IF  "
    "IF(zel_diff_id IS NOT NULL) THEN  LET ZEL_global_diffid_7 = zel_diff_id;  END IF  IF "
    "(zel_logid IS NOT NULL) THEN  LET ZEL_global_logid_7 = zel_logid;  END IF  END PROCEDURE; ";

// Each statement followed by the commit that ends it.
Strings committed(const Strings &sql)
{
    Strings out;
    for (const std::string &s : sql) {
        out.push_back(s);
        out.push_back("COMMIT");
    }
    return out;
}

// The lineage routines made, each granted to PUBLIC.
Strings routines_made()
{
    Strings sql;
    for (const char *kind : {"stateid", "lineageid", "diffid", "logid"})
        sql = join({sql, committed({getter(kind), std::string("GRANT EXECUTE ON FUNCTION ZEL_") +
                                                      kind + "_get7 () TO PUBLIC"})});
    return join({sql, committed({kSetter, "GRANT EXECUTE ON PROCEDURE ZEL_lineageid_set7 "
                                          "(integer, integer, integer, integer, integer) TO "
                                          "PUBLIC"})});
}

Strings routines_dropped()
{
    Strings sql;
    for (const char *name :
         {"ZEL_lineage_get7", "ZEL_sublineage_get7", "ZEL_difflineage_get7",
          "ZEL_diffsublineage_get7", "ZEL_stateid_get7", "ZEL_lineageid_get7", "ZEL_diffid_get7",
          "ZEL_logid_get7", "ZEL_lineage_set7", "ZEL_lineageid_set7"})
        sql.push_back(std::string("drop procedure ") + name);
    return committed(sql);
}

const std::string kIndexes =
    "SELECT idx.idxname, idx.idxtype, idx.clustered,sc.colname                 FROM systables "
    "tab, sysindices idx, syscolumns sc, sysams sa,                     TABLE "
    "(MULTISET{0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15}) as i(indexpart)                 WHERE "
    "tab.tabname= 'roads' AND tab.owner = 'bob' AND tab.tabid = idx.tabid AND                 "
    "      sc.tabid = tab.tabid AND idx.amid = sa.am_id AND                       sc.colno = "
    "ikeyextractcolno(idx.indexkeys,i.indexpart) AND                       (sa.am_name = "
    "'btree' ) ORDER by 1, i.indexpart";
const std::string kDefaults =
    "SELECT DISTINCT col.colname, col.coltype, def.default, def.type, col.extended_id, "
    "col.collength FROM sysdefaults def, syscolumns col WHERE def.tabid = col.tabid AND "
    "def.colno = col.colno AND def.tabid IN (SELECT tab.tabid FROM systables tab WHERE "
    "tab.tabname = 'roads' AND tab.owner = 'bob')";
const std::string kChecks =
    "SELECT con.constrname, ch.constrid, ch.checktext, con.constrname FROM syschecks ch, "
    "sysconstraints  con where ch.constrid = con.constrid and ch.type = 'T' AND con.tabid = "
    "(SELECT tabid from systables tab where tab.tabname = 'roads' AND tab.owner = 'bob' ) order "
    "by ch.constrid, ch.seqno";

std::string zel_grant(const std::string &table)
{
    return "GRANT SELECT,DELETE,UPDATE,INSERT ON " + table + " TO zel";
}
std::string statistics(const std::string &table)
{
    return "UPDATE STATISTICS  FOR TABLE " + table + " ";
}
Strings created(const std::string &table, const std::string &columns)
{
    return committed({"CREATE TABLE " + table + " (" + columns + ") ",
                      "REVOKE ALL ON " + table + " FROM PUBLIC"});
}

const Strings kAddsTable = join(
    {created("A7", "objectid INTEGER NOT NULL, name VARCHAR(32), shape BLOB, ZEL_STATE_ID "
                   "INTEGER NOT NULL"),
     committed({"CREATE INDEX A7_rowid_ix1 on gis:'bob'.A7 (objectid) ",
                "CREATE INDEX gis:'bob'.A7_state_ix2 on gis:'bob'.A7 (ZEL_STATE_ID) ",
                "CREATE UNIQUE INDEX gis:'bob'.A7_pk_ix3 on gis:'bob'.A7 (objectid,ZEL_STATE_ID) ",
                zel_grant("gis:'bob'.A7"), kGrants, kIndexes, kDefaults, kChecks}),
     {statistics("gis:'bob'.A7")}});
const Strings kDeletesTable = join(
    {created("d7", "ZEL_STATE_ID INTEGER NOT NULL, ZEL_DELETES_ROW_ID INTEGER NOT NULL, "
                   "DELETED_AT INTEGER NOT NULL"),
     committed({"CREATE INDEX gis:'bob'.d7_idx1 on gis:'bob'.d7 (ZEL_STATE_ID,ZEL_DELETES_ROW_ID) ",
                "CREATE INDEX gis:'bob'.d7_idx2 on gis:'bob'.d7 (DELETED_AT) ",
                "CREATE UNIQUE INDEX gis:'bob'.d7_idx3 on gis:'bob'.d7 "
                "(ZEL_STATE_ID,ZEL_DELETES_ROW_ID,DELETED_AT) ",
                zel_grant("gis:'bob'.d7"), kGrants}),
     {statistics("gis:'bob'.d7")}});
const Strings kEquivalenceTable =
    join({created("e7", "ZEL_STATE_ID INTEGER NOT NULL, ZEL_ROW_ID INTEGER NOT NULL, "
                        "EQUIVALENCE_STATE_ID INTEGER NOT NULL"),
          {"CREATE  INDEX e7_idx1 on gis:'bob'.e7 (ZEL_STATE_ID,ZEL_ROW_ID ASC) ",
           "select typ.name from informix.syscolumns col, informix.sysxtdtypes typ where colname "
           "= 'equivalence_state_id' and col.extended_id=typ.extended_id",
           "CREATE  INDEX e7_idx2 on gis:'bob'.e7 (EQUIVALENCE_STATE_ID ASC) "},
          committed({zel_grant("gis:'bob'.e7"), kGrants}),
          {statistics("gis:'bob'.e7")}});
const Strings kUserTable = join({committed({zel_grant("roads")}), {statistics("roads")}});

class MultiversionTest : public MvTest
{
  protected:
    void SetUp() override
    {
        MvTest::SetUp();
        r_ = roads();
        r_.imv_view_name[0] = '\0';
        // The catalogue reads of the table copies find nothing to carry
        // over; the one named in failing_ fails once.
        const std::vector<std::pair<std::string, std::vector<scli::Column>>> reads = {
            {kGrants, {{"grantee", SQL_CHAR, 32}, {"tabauth", SQL_CHAR, 9}}},
            {kIndexes,
             {{"idxname", SQL_CHAR, 128},
              {"idxtype", SQL_CHAR, 1},
              {"clustered", SQL_CHAR, 1},
              {"colname", SQL_CHAR, 128}}},
            {kDefaults,
             {{"colname", SQL_CHAR, 128},
              {"coltype", SQL_SMALLINT},
              {"default", SQL_CHAR, 256},
              {"type", SQL_CHAR, 1},
              {"extended_id", SQL_INTEGER},
              {"collength", SQL_SMALLINT}}},
            {kChecks,
             {{"constrname", SQL_CHAR, 128},
              {"constrid", SQL_INTEGER},
              {"checktext", SQL_CHAR, 32},
              {"constrname", SQL_CHAR, 128}}}};
        for (const auto &read : reads)
            scli::on_sql(read.first).columns(read.second).repeat().hook([this](scli::Exec &e) {
                if (e.sql == kIndexes)
                    e.rows = index_rows_;
                if (e.sql != failing_)
                    return;
                failing_.clear();
                e.rc = SQL_ERROR;
                e.diags = {{"S1000", -999, "refused"}};
            });
        scli::on_sql(kClear).columns({{"status", SQL_INTEGER}}).row({scli::i32(0)}).repeat();
        mark();
    }
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
        MvTest::TearDown();
    }
    // The stored views the catalogue lists for registration 7.
    static void listed_views(const Strings &views)
    {
        std::vector<scli::Row> rows;
        for (const std::string &v : views)
            rows.push_back({scli::chr(v, 128)});
        scli::on_sql(kViews).columns({{"tabname", SQL_CHAR, 128}}).rows(rows);
    }
    int32_t enable()
    {
        return DB_registered_table_multiversion(instance_, &r_, 1);
    }
    int32_t disable()
    {
        return DB_registered_table_multiversion(instance_, &r_, 0);
    }
    REGISTRATION r_;
    std::string failing_;
    std::vector<scli::Row> index_rows_; // the user table's indexes
};

} // namespace

TEST_F(MultiversionTest, EnablingMakesTheTablesThenTheRoutines)
{
    ASSERT_EQ(enable(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({kAddsTable, kDeletesTable, kUserTable, routines_made()}));
}

// The engine's row-id column is created as the table creation writes it,
// then made NOT NULL before the indexes that hold it.
TEST_F(MultiversionTest, TheEngineRowIdColumnIsNotNullInTheAddsTable)
{
    scli::add_table("bob", "roads",
                    {{"VE_ROW_ID", SQL_INTEGER, 0, 0, SQL_NULLABLE},
                     {"name", SQL_VARCHAR, 32},
                     {"shape", SQL_LONGVARBINARY, 1000}});
    strcpy(r_.rowid_column, "VE_ROW_ID");
    ASSERT_EQ(enable(), ZE_SUCCESS);
    Strings adds;
    for (std::string sql : kAddsTable) {
        for (size_t at; (at = sql.find("objectid INTEGER NOT NULL")) != std::string::npos;)
            sql.replace(at, 25, "VE_ROW_ID INTEGER ");
        for (size_t at; (at = sql.find("objectid")) != std::string::npos;)
            sql.replace(at, 8, "VE_ROW_ID");
        adds.push_back(sql);
        if (sql.rfind("CREATE INDEX A7_rowid_ix1", 0) == 0)
            adds.insert(adds.end() - 1,
                        {"ALTER TABLE gis:'bob'.A7 MODIFY (VE_ROW_ID INTEGER NOT NULL)", "COMMIT"});
    }
    EXPECT_EQ(adds[0], "CREATE TABLE A7 (VE_ROW_ID INTEGER , name VARCHAR(32), shape BLOB, "
                       "ZEL_STATE_ID INTEGER NOT NULL) ");
    EXPECT_EQ(executed(), join({adds, kDeletesTable, kUserTable, routines_made()}));
}

TEST_F(MultiversionTest, TheEquivalenceTableOnlyWithZelequivs)
{
    setenv("ZELEQUIVS", "", 1);
    ASSERT_EQ(enable(), ZE_SUCCESS);
    const Strings sent = executed();
    const Strings head = join({kAddsTable, kDeletesTable});
    ASSERT_GT(sent.size(), head.size());
    EXPECT_EQ(Strings(sent.begin(), sent.begin() + static_cast<long>(head.size())), head);
    const Strings tail = join({kUserTable, routines_made()});
    const Strings equivalence(sent.begin() + static_cast<long>(head.size()),
                              sent.end() - static_cast<long>(tail.size()));
    EXPECT_EQ(equivalence, kEquivalenceTable);
    EXPECT_EQ(Strings(sent.end() - static_cast<long>(tail.size()), sent.end()), tail);
}

// Whatever step fails once the adds table exists, no versioning table is
// left behind and nothing is made after the failure.
TEST_F(MultiversionTest, AFailedEnableLeavesNoVersioningTable)
{
    setenv("ZELVERBOSE", "1", 1);
    const Strings all = join({kAddsTable, kDeletesTable, kUserTable, routines_made()});
    size_t tried = 0;
    for (size_t step = 0; step < all.size(); step++) {
        const std::string &sql = all[step];
        if (sql == "COMMIT" || std::find(all.begin(), all.begin() + static_cast<long>(step), sql) !=
                                   all.begin() + static_cast<long>(step))
            continue;
        SCOPED_TRACE(sql.substr(0, 100));
        tried++;
        mark();
        if (sql == kGrants || sql == kIndexes || sql == kDefaults || sql == kChecks)
            failing_ = sql;
        else
            scli::on_sql(sql).fail(SQL_ERROR, {"S1000", -999, "refused"});
        const int32_t rc = quiet_stderr([&] { return enable(); });
        const Strings sent = executed();
        const auto failed_at = std::find(sent.begin(), sent.end(), sql);
        ASSERT_NE(failed_at, sent.end());
        // The statistics of the user table are only reported; a versioning
        // table on which PUBLIC keeps its default rights is not kept.
        if (sql == statistics("roads")) {
            EXPECT_EQ(rc, ZE_SUCCESS);
            continue;
        }
        EXPECT_NE(rc, ZE_SUCCESS);
        Strings made, dropped;
        for (auto it = sent.begin(); it != failed_at; ++it)
            if (it->rfind("CREATE TABLE ", 0) == 0)
                made.push_back("DROP TABLE gis:'bob'." + it->substr(13, 2));
        for (auto it = failed_at + 1; it != sent.end(); ++it) {
            EXPECT_EQ(it->find("CREATE"), std::string::npos) << *it;
            EXPECT_EQ(it->find("GRANT"), std::string::npos) << *it;
            if (it->rfind("DROP TABLE ", 0) == 0)
                dropped.push_back(*it);
        }
        std::sort(made.begin(), made.end());
        std::sort(dropped.begin(), dropped.end());
        EXPECT_EQ(dropped, made);
    }
    EXPECT_EQ(tried, 30u);
}

// Routines that exist already (from an earlier enable) count as made.
TEST_F(MultiversionTest, EnablingAgainFindsTheRoutinesMade)
{
    scli::on_sql(getter("stateid")).fail(SQL_ERROR, {"IX000", -673, "exists"});
    scli::on_sql(kSetter).fail(SQL_ERROR, {"IX000", -673, "exists"});
    ASSERT_EQ(quiet_stderr([&] { return enable(); }), ZE_SUCCESS);
    // A CREATE that failed has no commit of its own.
    Strings expected = join({kAddsTable, kDeletesTable, kUserTable, routines_made()});
    for (const std::string &refused : {getter("stateid"), kSetter})
        expected.erase(std::find(expected.begin(), expected.end(), refused) + 1);
    EXPECT_EQ(executed(), expected);
}

// Disabling drops the stored views before the tables they read, tries
// every step whatever failed before it, and returns the first failure
// with its record; tables already gone are no failure.
TEST_F(MultiversionTest, DisablingTriesEveryStep)
{
    r_.object_flags = REG_MULTIVERSION;
    r_.imv_view_name[0] = '\0';
    listed_views({"zel_std_view_7", "zel_nch_update_view_7"});
    ASSERT_EQ(disable(), ZE_SUCCESS);
    const Strings all =
        join({{kViews},
              committed({"DROP VIEW ZEL_STD_VIEW_7", "DROP VIEW ZEL_NCH_UPDATE_VIEW_7",
                         "DROP TABLE gis:'bob'.A7", "DROP TABLE gis:'bob'.d7"}),
              {kClear},
              routines_dropped()});
    EXPECT_EQ(executed(), all);

    // A table already gone is no failure.
    mark();
    listed_views({});
    scli::on_sql("DROP TABLE gis:'bob'.A7").fail(SQL_ERROR, {"S0002", -206, "no table"});
    EXPECT_EQ(quiet_stderr([&] { return disable(); }), ZE_SUCCESS);

    // The first failure is returned; every later step still runs.
    mark();
    listed_views({"zel_std_view_7"});
    scli::on_sql("DROP TABLE gis:'bob'.A7").fail(SQL_ERROR, {"42000", -273, "no permission"});
    scli::on_sql("DROP TABLE gis:'bob'.d7").fail(SQL_ERROR, {"S1000", -107, "locked"});
    scli::on_sql(kClear).at_prepare(SQL_ERROR, {"S1000", -674, "routine not found"});
    EXPECT_EQ(quiet_stderr([&] { return disable(); }), ZE_NO_PERMISSIONS);
    const Strings sent = executed();
    for (const std::string &sql : {all[1], std::string("DROP TABLE gis:'bob'.d7"),
                                   std::string("drop procedure ZEL_lineageid_set7")})
        EXPECT_NE(std::find(sent.begin(), sent.end(), sql), sent.end()) << sql;
}

TEST_F(MultiversionTest, EmptyingTriesEveryTable)
{
    setenv("ZELEQUIVS", "1", 1);
    const Strings tables = {"DELETE FROM gis:'bob'.A7 \n", "DELETE FROM gis:'bob'.d7 \n",
                            "DELETE FROM gis:'bob'.e7 \n"};
    ASSERT_EQ(DB_registered_table_truncate(instance_, &r_), ZE_SUCCESS);
    EXPECT_EQ(executed(), tables);
    mark();
    scli::on_sql(tables[0]).fail(SQL_ERROR, {"42000", -273, "no permission"});
    scli::on_sql(tables[1]).fail(SQL_ERROR, {"S1000", -107, "locked"});
    EXPECT_EQ(quiet_stderr([&] { return DB_registered_table_truncate(instance_, &r_); }),
              ZE_NO_PERMISSIONS);
    EXPECT_EQ(executed(), tables);
}

TEST_F(MultiversionTest, RemovingStatesLeavesTheTransactionOpen)
{
    const Strings sql = {
        "DELETE FROM gis:'bob'.A7 WHERE ZEL_STATE_ID IN (3,4)",
        "DELETE FROM gis:'bob'.d7 WHERE ZEL_STATE_ID IN (3,4) OR DELETED_AT IN (3,4)",
        "DELETE FROM gis:'bob'.e7 WHERE ZEL_STATE_ID IN (3,4) OR EQUIVALENCE_STATE_ID IN (3,4)"};
    for (const std::string &s : sql)
        scli::on_sql(s).no_data(); // no rows is no failure
    ASSERT_EQ(DB_registered_table_remove_state_list(instance_, &r_, "3,4"), 0);
    EXPECT_EQ(executed(), Strings(sql.begin(), sql.begin() + 2));
    mark();
    setenv("ZELEQUIVS", "1", 1);
    ASSERT_EQ(DB_registered_table_remove_state_list(instance_, &r_, "3,4"), 0);
    EXPECT_EQ(executed(), sql);
    // One state; a failure stops the list with its mapped code.
    mark();
    scli::on_sql("DELETE FROM gis:'bob'.A7 WHERE ZEL_STATE_ID IN (9)")
        .fail(SQL_ERROR, {"S1000", -243, "read"});
    EXPECT_EQ(quiet_stderr([&] { return DB_registered_table_remove_state(instance_, &r_, 9); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(executed(), Strings{"DELETE FROM gis:'bob'.A7 WHERE ZEL_STATE_ID IN (9)"});
    EXPECT_EQ(DB_registered_table_remove_state_list(instance_, &r_, " "), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_registered_table_remove_state_list(instance_, nullptr, "1"), ZE_NULL_POINTER);
}

namespace
{

const std::string kLayerOfRoads =
    layer_test::kSelect +
    " FROM zel:zel.Layers ly, zel:zel.spatial_references sr WHERE ly.srid = sr.srid AND "
    "ly.database_name = 'gis' AND ly.table_name = 'roads' AND ly.owner = 'bob'";

// The same with a layer cache, so that roads can be a layer.
class MultiversionLayerTest : public MultiversionTest
{
  protected:
    void SetUp() override
    {
        MultiversionTest::SetUp();
        DB_instance_close(instance_);
        instance_ = nullptr;
        config_.layer_cache_size = 5;
        ASSERT_EQ(DB_instance_open("", "bob", "pw", &config_, &instance_), 0);
        r_.object_flags = REG_LAYER;
        mark();
    }
    static void answer_layer(uint32_t eflags)
    {
        layer_test::LayerRow layer;
        layer.eflags = eflags;
        layer_test::answer_layers(kLayerOfRoads, {layer});
    }
};

} // namespace

// A layer in load-only mode has no update trigger to hand over to the
// versioning tables: it is refused before anything is made.
TEST_F(MultiversionLayerTest, ALoadOnlyLayerIsRefused)
{
    answer_layer(LAYER_SPATIAL | LAYER_LINE | LAYER_LOAD_ONLY);
    setenv("ZELVERBOSE", "1", 1);
    StderrCapture capture;
    EXPECT_EQ(enable(), ZE_MULTIVERSION_LOAD_ONLY);
    EXPECT_EQ(capture.text(), "DB_registered_table_multiversion: \n\tMulti-version NOT SUPPORTED "
                              "for LOAD-ONLY layers.\n");
    EXPECT_EQ(executed(), (Strings{kLayerOfRoads, "COMMIT"}));
}

// A layer that cannot be read at first goes on, and fails where its record
// is needed, leaving no versioning table.
TEST_F(MultiversionLayerTest, AnUnreadableLayerLeavesNoVersioningTable)
{
    layer_test::answer_layers(kLayerOfRoads, {}).repeat();
    EXPECT_EQ(quiet_stderr([&] { return enable(); }), ZE_LAYER_NOT_FOUND);
    const Strings sent = executed();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), kLayerOfRoads);
    EXPECT_EQ(std::count(sent.begin(), sent.end(),
                         "CREATE TABLE A7 (objectid INTEGER NOT NULL, "
                         "name VARCHAR(32), shape BLOB, ZEL_STATE_ID "
                         "INTEGER NOT NULL) "),
              1);
    EXPECT_EQ(sent[sent.size() - 2], "DROP TABLE gis:'bob'.A7");
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const std::string &s) { return s.find("d7") != std::string::npos; }),
              0);
}

// A layer hands its update trigger to the versioning tables: enabling
// drops it and analyses the layer's table, the layer's own unique index
// A7_IX1 comes into the adds table (not unique) while another unique index
// does not; disabling makes the trigger again and drops the IMV view.
TEST_F(MultiversionLayerTest, ALayerHandsItsTriggerToTheVersioningTables)
{
    layer_test::LayerRow layer;
    layer.eflags = LAYER_SPATIAL | LAYER_LINE;
    layer_test::answer_layers(kLayerOfRoads, {layer}).repeat();
    auto index = [](const char *name, const char *column) {
        return scli::Row{scli::chr(name, 128), scli::chr("U", 1), scli::chr("N", 1),
                         scli::chr(column, 128)};
    };
    index_rows_ = {index("A7_IX1", "shape"), index("R7_zel_rowid_uk", "objectid")};
    ASSERT_EQ(quiet_stderr([&] { return enable(); }), ZE_SUCCESS);
    Strings adds = kAddsTable;
    adds[0] = "CREATE TABLE A7 (objectid INTEGER NOT NULL, name VARCHAR(32), shape ST_Geometry, "
              "VE_ROW_ID INTEGER , ZEL_STATE_ID INTEGER NOT NULL) ";
    adds.insert(std::find(adds.begin(), adds.end(), kIndexes) + 2,
                {"select typ.name from informix.syscolumns col, informix.sysxtdtypes typ where "
                 "colname = 'shape' and col.extended_id=typ.extended_id",
                 "CREATE  INDEX A7_IX1_a on gis:'bob'.A7 (shape ASC) "});
    const std::string trigger = "CREATE TRIGGER SC_UPD_CASC_7\n           UPDATE OF shape ON "
                                "roads\n           REFERENCING NEW AS New OLD AS Old\n           "
                                "FOR EACH ROW WHEN (New.shape is NULL and Old.shape IS NOT "
                                "NULL)\n           (UPDATE roads SET VE_ROW_ID = NULL WHERE "
                                "VE_ROW_ID = Old.VE_ROW_ID);\n";
    EXPECT_EQ(executed(), join({{kLayerOfRoads, "COMMIT"},
                                adds,
                                kDeletesTable,
                                committed({zel_grant("roads"), "DROP TRIGGER SC_UPD_CASC_7"}),
                                {statistics("roads")},
                                routines_made()}));

    // Another unique index cannot follow the rows into the adds table: the
    // layer keeps its trigger and no versioning table is left.
    mark();
    index_rows_ = {index("roads_uk", "name")};
    EXPECT_EQ(quiet_stderr([&] { return enable(); }), ZE_UNIQUE_INDEX_NOT_ALLOWED);
    Strings sent = executed();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[sent.size() - 2], "DROP TABLE gis:'bob'.A7");
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "DROP TRIGGER SC_UPD_CASC_7"), sent.end());

    // Disabling makes the trigger again and drops the IMV view with its
    // sequence.
    mark();
    r_.object_flags = REG_LAYER | REG_MULTIVERSION;
    strcpy(r_.imv_view_name, "roads_imv");
    listed_views({});
    ASSERT_EQ(quiet_stderr([&] { return disable(); }), ZE_SUCCESS);
    EXPECT_EQ(executed(),
              join({{kViews},
                    committed({"DROP TABLE gis:'bob'.A7", "DROP TABLE gis:'bob'.d7"}),
                    {kClear},
                    committed({trigger, "DROP VIEW bob.roads_imv", "DROP SEQUENCE bob.R7"}),
                    routines_dropped()}));
}

namespace
{

// Grants and revokes on registration 7 (roads), to and from alice.
class RegisteredAccessTest : public MultiversionLayerTest
{
  protected:
    void SetUp() override
    {
        MultiversionLayerTest::SetUp();
        r_.object_flags = 0;
        r_.permissions = VE_PRIV_ALL;
    }
    int32_t grant(int32_t mask, int32_t option = 0)
    {
        return DB_registered_table_grant_access(instance_, &r_, mask, "alice", option);
    }
    int32_t revoke(int32_t mask)
    {
        return DB_registered_table_revoke_access(instance_, &r_, mask, "alice");
    }
};

Strings on(const std::string &words, const std::vector<std::string> &tables,
           const std::string &to = " TO alice")
{
    Strings sql;
    for (const std::string &t : tables)
        sql = join({sql, committed({words + "   ON " + t + to})});
    return sql;
}

const std::string kRoads = "gis:bob.roads";
const std::string kAdds = "gis:'bob'.A7", kDeletes = "gis:'bob'.d7", kEquivalences = "gis:'bob'.e7";
const std::vector<std::string> kVersioning = {kAdds, kDeletes};

} // namespace

// The user table alone, or with its versioning tables: SELECT stays SELECT
// there, any edit brings all three edits; with ZELEQUIVS the equivalence
// table too.
TEST_F(RegisteredAccessTest, GrantsReachTheVersioningTables)
{
    const struct {
        const char *what;
        uint32_t flags;
        int32_t mask, option;
        bool equivalences;
        Strings sql;
    } cases[] = {
        {"plain table", 0, VE_PRIV_SELECT, 0, false, on("GRANT SELECT", {kRoads})},
        {"versioned, select", REG_MULTIVERSION, VE_PRIV_SELECT, 0, false,
         on("GRANT SELECT", {kRoads, kAdds, kDeletes})},
        {"versioned, insert", REG_MULTIVERSION, VE_PRIV_INSERT, 0, false,
         join({on("GRANT INSERT", {kRoads}), on("GRANT UPDATE, INSERT, DELETE", kVersioning)})},
        {"versioned, select and delete with the option", REG_MULTIVERSION,
         VE_PRIV_SELECT | VE_PRIV_DELETE, 1, false,
         join({on("GRANT DELETE, SELECT", {kRoads}, " TO alice WITH GRANT OPTION"),
               on("GRANT UPDATE, INSERT, DELETE, SELECT", kVersioning,
                  " TO alice WITH GRANT OPTION")})},
        {"versioned with equivalences", REG_MULTIVERSION, VE_PRIV_UPDATE, 0, true,
         join({on("GRANT UPDATE", {kRoads}),
               on("GRANT UPDATE, INSERT, DELETE", {kAdds, kDeletes, kEquivalences})})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.equivalences)
            setenv("ZELEQUIVS", "1", 1);
        else
            unsetenv("ZELEQUIVS");
        r_.object_flags = c.flags;
        mark();
        EXPECT_EQ(grant(c.mask, c.option), ZE_SUCCESS);
        EXPECT_EQ(executed(), c.sql);
    }
}

// A layer's table is granted as the layer (UPDATE and INSERT bring
// SELECT), a raster table through its raster column (the raster tables
// too); both before the versioning tables.
TEST_F(RegisteredAccessTest, LayersAndRasterColumnsGrantTheirOwnWay)
{
    answer_layer(LAYER_SPATIAL | LAYER_LINE);
    r_.object_flags = REG_LAYER | REG_MULTIVERSION;
    ASSERT_EQ(grant(VE_PRIV_INSERT), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({{kLayerOfRoads, "COMMIT"},
                                {"GRANT INSERT, SELECT   ON gis:bob.roads to alice", "COMMIT"},
                                on("GRANT UPDATE, INSERT, DELETE", kVersioning)}));

    mark();
    const std::string by_table = catalog_test::raster_by_table(false);
    scli::Row raster = {scli::i32(4),         scli::null(),           scli::varchar("gis"),
                        scli::varchar("bob"), scli::varchar("roads"), scli::varchar("image"),
                        scli::i32(1700000000)};
    for (int i = 0; i < 13; i++)
        raster.push_back(scli::null());
    scli::on_sql(by_table).columns(raster_test::raster_columns()).row(raster);
    r_.object_flags = REG_RASTER_COLUMN;
    ASSERT_EQ(grant(VE_PRIV_SELECT), ZE_SUCCESS);
    EXPECT_EQ(executed(),
              join({{by_table},
                    on("GRANT SELECT", {kRoads, "gis:bob.ZEL_RAS_4", "gis:bob.ZEL_AUX_4",
                                        "gis:bob.ZEL_BND_4", "gis:bob.ZEL_BLK_4"})}));
    EXPECT_EQ(catalog_test::params_of(by_table), (Strings{"gis", "bob", "roads"}));
}

// The first failure ends a grant; a registration without row-id column
// may be granted; nothing runs for a missing record or grantee.
TEST_F(RegisteredAccessTest, TheFirstFailureEndsAGrant)
{
    r_.object_flags = REG_MULTIVERSION;
    scli::on_sql("GRANT SELECT   ON " + kRoads + " TO alice")
        .fail(SQL_ERROR, {"42000", -387, "no permission"});
    EXPECT_EQ(quiet_stderr([&] { return grant(VE_PRIV_SELECT); }), ZE_GRANT_REFUSED);
    EXPECT_EQ(executed(), Strings{"GRANT SELECT   ON " + kRoads + " TO alice"});

    mark();
    scli::on_sql("GRANT SELECT   ON " + kAdds + " TO alice")
        .fail(SQL_ERROR, {"S1000", -107, "locked"});
    EXPECT_EQ(quiet_stderr([&] { return grant(VE_PRIV_SELECT); }), ZE_DBMS_ERROR);
    EXPECT_EQ(executed(),
              join({on("GRANT SELECT", {kRoads}), {"GRANT SELECT   ON " + kAdds + " TO alice"}}));

    mark();
    r_.object_flags = REG_LAYER;
    layer_test::answer_layers(kLayerOfRoads, {});
    EXPECT_EQ(grant(VE_PRIV_SELECT), ZE_LAYER_NOT_FOUND);
    EXPECT_EQ(executed(), (Strings{kLayerOfRoads, "COMMIT"}));

    mark();
    r_.object_flags = 0;
    r_.rowid_column[0] = '\0';
    EXPECT_EQ(grant(VE_PRIV_SELECT), ZE_SUCCESS);
    EXPECT_EQ(executed(), on("GRANT SELECT", {kRoads}));
    mark();
    EXPECT_EQ(DB_registered_table_grant_access(instance_, nullptr, 2, "alice", 0), ZE_NULL_POINTER);
    EXPECT_EQ(DB_registered_table_grant_access(instance_, &r_, 2, nullptr, 0), ZE_NULL_POINTER);
    EXPECT_EQ(DB_registered_table_revoke_access(instance_, &r_, 2, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(executed(), Strings{});
}

// On the versioning tables the edits stay while the registration's
// permissions hold an edit that is not revoked; nothing is revoked there
// when nothing is left.
TEST_F(RegisteredAccessTest, RevokesKeepTheEditsStillHeld)
{
    const struct {
        const char *what;
        int32_t permissions, mask;
        Strings sql;
    } cases[] = {
        {"update of all four held", VE_PRIV_ALL, VE_PRIV_UPDATE,
         on("REVOKE UPDATE", {kRoads}, " FROM alice")},
        {"all edits", VE_PRIV_ALL, VE_PRIV_UPDATE | VE_PRIV_INSERT | VE_PRIV_DELETE,
         on("REVOKE UPDATE, INSERT, DELETE", {kRoads, kAdds, kDeletes}, " FROM alice")},
        {"select and update of all four", VE_PRIV_ALL, VE_PRIV_SELECT | VE_PRIV_UPDATE,
         join({on("REVOKE SELECT, UPDATE", {kRoads}, " FROM alice"),
               on("REVOKE SELECT", kVersioning, " FROM alice")})},
        {"update, only select held", VE_PRIV_SELECT, VE_PRIV_UPDATE,
         on("REVOKE UPDATE", {kRoads, kAdds, kDeletes}, " FROM alice")},
        {"insert, update held", VE_PRIV_UPDATE, VE_PRIV_INSERT,
         on("REVOKE INSERT", {kRoads}, " FROM alice")},
    };
    r_.object_flags = REG_MULTIVERSION;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        r_.permissions = c.permissions;
        mark();
        EXPECT_EQ(revoke(c.mask), ZE_SUCCESS);
        EXPECT_EQ(executed(), c.sql);
    }

    // A failure on the user table ends it.
    mark();
    scli::on_sql("REVOKE SELECT   ON " + kRoads + " FROM alice")
        .fail(SQL_ERROR, {"42000", -387, "no permission"});
    EXPECT_EQ(quiet_stderr([&] { return revoke(VE_PRIV_SELECT); }), ZE_GRANT_REFUSED);
    EXPECT_EQ(executed(), Strings{"REVOKE SELECT   ON " + kRoads + " FROM alice"});
}
