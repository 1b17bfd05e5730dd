// A layer's user table: the statements that make a table a layer, in order
// (counts, ALTER of the table and its adds table, storage clause, the first
// numbering of the rows, trigger and indexes), the re-creation, the load-only
// layer, the failures and what each leaves; the privilege statements of every
// mask; the truncation with its trigger dropped and made again.
#include "db/catalog/db_layer_user_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_type_name.h"
#include "db/core/db_xerr.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_dbtune_store.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string kCountShapes = "SELECT COUNT(*) FROM gis:bob.roads WHERE shape IS NOT NULL";
const std::string kCountBoth = kCountShapes +
                               " UNION ALL SELECT COUNT(*) FROM gis:'bob'.A12 WHERE shape IS "
                               "NOT NULL";
const std::string kCountRowids = "SELECT COUNT(*) FROM gis:bob.roads where VE_ROW_ID IS NOT NULL";
const std::string kRtree = "CREATE INDEX A7_IX1 on bob.roads (shape St_Geometry_Ops) using RTree ";
const std::string kRowidIndex = "CREATE INDEX A7_IX2 on bob.roads (VE_ROW_ID) ";
const std::string kStats = "update statistics for table roads";
const std::string kTrigger =
    "CREATE TRIGGER SC_UPD_CASC_7\n           UPDATE OF shape ON roads\n           REFERENCING "
    "NEW AS New OLD AS Old\n           FOR EACH ROW WHEN (New.shape is NULL and Old.shape IS NOT "
    "NULL)\n           (UPDATE roads SET VE_ROW_ID = NULL WHERE VE_ROW_ID = Old.VE_ROW_ID);\n";
const std::string kDropTrigger = "DROP TRIGGER SC_UPD_CASC_7";
const Strings kTriggerAndIndexes = {kTrigger,    "COMMIT", kRtree, "COMMIT",
                                    kRowidIndex, "COMMIT", kStats, "COMMIT"};
const std::string kProcedure = "bob.bob_roads_rowid_update";

using scli::join;

// A count statement that answers the counts, or that finds no such column.
void counts(const std::string &sql, std::vector<int32_t> values)
{
    scli::Answer &a = scli::on_sql(sql).columns({{"count", SQL_INTEGER}});
    for (int32_t v : values)
        a.row({scli::i32(v)});
}
void no_column(const std::string &sql)
{
    scli::on_sql(sql).at_prepare(SQL_ERROR, {"S0022", -217, "no column"});
}

class LayerUserTable : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        layer_test::LayerFixture::SetUp();
        scli::dbtune_store_install();
        memset(&layer_, 0, sizeof(layer_));
        layer_.layer_id = 7;
        strcpy(layer_.database_name, "gis");
        strcpy(layer_.owner, "bob");
        strcpy(layer_.table_name, "roads");
        strcpy(layer_.spatial_column, "shape");
        layer_.eflags = LAYER_SPATIAL | LAYER_LINE;
        layer_.minimum_id = 1;
        memset(&registration_, 0, sizeof(registration_));
        memcpy(registration_.tag, "ReG", 4);
        registration_.registration_id = 12;
        strcpy(registration_.database_name, "gis");
        strcpy(registration_.owner, "bob");
        strcpy(registration_.table_name, "roads");
        registration_.minimum_id = 1;
        // Integers are named as the driver names them.
        const char *integer = nullptr;
        ASSERT_EQ(DB_get_data_type(SQL_INTEGER, &integer), 0);
        integer_ = integer;
        MarkNow();
    }
    int32_t alter(const REGISTRATION *registration = nullptr)
    {
        return quiet_stderr(
            [&] { return DB_layer_alter_user_table(instance_, &layer_, registration); });
    }
    // The statements run since the first before of them.
    Strings Since(size_t before) const
    {
        Strings all = Executed();
        return Strings(all.begin() + static_cast<long>(before), all.end());
    }
    LAYER layer_;
    REGISTRATION registration_;
    std::string integer_;
};

} // namespace

TEST_F(LayerUserTable, BothColumnsAddedThenTriggerAndIndexes)
{
    no_column(kCountShapes);
    no_column(kCountRowids);
    ASSERT_EQ(alter(), 0);
    EXPECT_EQ(Executed(), join({{"ALTER TABLE gis:bob.roads ADD ( shape ST_LineString, VE_ROW_ID " +
                                     integer_ + " )",
                                 "COMMIT"},
                                kTriggerAndIndexes}));
}

TEST_F(LayerUserTable, TypeOfTheSpatialColumnByEntities)
{
    const std::pair<uint32_t, const char *> cases[] = {
        {LAYER_POINT, "ST_Point"},
        {LAYER_AREA | LAYER_MULTIPART, "ST_MultiPolygon"},
        {LAYER_POINT | LAYER_AREA, "ST_Geometry"},
    };
    layer_.eflags |= LAYER_LOAD_ONLY;
    for (const auto &[entities, type] : cases) {
        layer_.eflags = LAYER_LOAD_ONLY | entities;
        no_column(kCountShapes);
        counts(kCountRowids, {0});
        size_t before = Executed().size();
        ASSERT_EQ(alter(), 0);
        EXPECT_EQ(Executed().at(before + 1),
                  std::string("ALTER TABLE gis:bob.roads ADD ( shape ") + type + ")");
    }
}

TEST_F(LayerUserTable, ColumnsPresentOnlyTriggerAndIndexes)
{
    counts(kCountShapes, {5});
    counts(kCountRowids, {5});
    ASSERT_EQ(alter(), 0);
    EXPECT_EQ(Executed(), join({{kCountShapes, kCountRowids}, kTriggerAndIndexes}));
}

TEST_F(LayerUserTable, LoadOnlyLayerGetsColumnsWithoutTriggerOrIndexes)
{
    layer_.eflags |= LAYER_LOAD_ONLY;
    no_column(kCountShapes);
    no_column(kCountRowids);
    ASSERT_EQ(alter(), 0);
    EXPECT_EQ(Executed(),
              (Strings{"ALTER TABLE gis:bob.roads ADD ( shape ST_LineString, VE_ROW_ID " +
                           integer_ + " )",
                       "COMMIT"}));
}

TEST_F(LayerUserTable, ShapesWithoutRowIdsAreNumberedOnce)
{
    layer_.eflags |= LAYER_LOAD_ONLY;
    counts(kCountShapes, {3});
    no_column(kCountRowids);
    scli::on_sql("select count(*) from gis:bob.roads")
        .columns({{"", SQL_INTEGER}})
        .row({scli::i32(3)});
    scli::on_sql("select ROWID from gis:bob.roads ORDER BY ROWID")
        .columns({{"ROWID", SQL_INTEGER}})
        .rows({{scli::i32(257)}, {scli::i32(260)}, {scli::i32(263)}});
    ASSERT_EQ(alter(), 0);
    Strings run = Executed();
    ASSERT_EQ(run.size(), 11u);
    EXPECT_EQ(run[0], kCountShapes);
    EXPECT_EQ(run[1], "ALTER TABLE gis:bob.roads ADD (VE_ROW_ID " + integer_ + " )");
    EXPECT_EQ(run[3].rfind("CREATE PROCEDURE " + kProcedure + " (lowid", 0), 0u);
    EXPECT_NE(run[3].find("update gis:bob.roads set VE_ROW_ID  = new_rowidVAR"), std::string::npos);
    EXPECT_EQ(Strings(run.begin() + 5, run.end()),
              (Strings{"select count(*) from gis:bob.roads",
                       "select ROWID from gis:bob.roads ORDER BY ROWID",
                       "{ call " + kProcedure + " (?,?,?) }", "COMMIT",
                       "DROP PROCEDURE " + kProcedure, "COMMIT"}));

    // A table whose rows have row ids already, or that holds no shapes, is
    // not numbered.
    for (const std::vector<int32_t> &c : {std::vector<int32_t>{3, 2}, {0, 0}}) {
        counts(kCountShapes, {c[0]});
        counts(kCountRowids, {c[1]});
        size_t before = Executed().size();
        ASSERT_EQ(alter(), 0);
        EXPECT_EQ(Executed().size(), before + 2);
    }
}

TEST_F(LayerUserTable, VersionedTableAndItsAddsTableWithTheStorageClause)
{
    scli::dbtune_store().rows.push_back({"ROADS", "S_STORAGE", "  sbspace1 "});
    strcpy(layer_.layer_config, "ROADS");
    layer_.eflags |= LAYER_LOAD_ONLY;
    registration_.object_flags = REG_MULTIVERSION;
    no_column(kCountBoth);
    counts(kCountRowids, {0});
    ASSERT_EQ(alter(&registration_), 0);
    const std::string add = " ADD ( shape ST_LineString)";
    EXPECT_EQ(Executed(),
              (Strings{"SELECT keyword, parameter_name, config_string FROM zel:zel.dbtune where "
                       "keyword = 'ROADS' OR keyword = 'DEFAULTS'",
                       kCountRowids, "ALTER TABLE gis:bob.roads" + add, "COMMIT",
                       "ALTER TABLE gis:'bob'.A12" + add, "COMMIT",
                       "ALTER TABLE gis:bob.roads  put shape in (sbspace1) ", "COMMIT",
                       "ALTER TABLE gis:'bob'.A12  put shape in (sbspace1) ", "COMMIT"}));
    // A keyword without rows of its own runs nothing else.
    strcpy(layer_.layer_config, "NONE");
    size_t before = Executed().size();
    EXPECT_EQ(alter(&registration_), ZE_KEYWORD_WITHOUT_ROWS);
    EXPECT_EQ(Executed().size(), before + 1);
}

TEST_F(LayerUserTable, AlterResults)
{
    layer_.eflags |= LAYER_LOAD_ONLY;
    const std::string sql = "ALTER TABLE gis:bob.roads ADD ( shape ST_LineString)";
    struct Case {
        scli::Diag diag;
        int32_t rc;
        int32_t native;
    };
    const Case cases[] = {{{"S0021", -328, "exists"}, 0, 0},
                          {{"S0002", -206, "no table"}, ZE_NO_PERMISSIONS, 0},
                          {{"S1000", -999, "odd"}, ZE_DBMS_ERROR, ZE_DBMS_ERROR}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.diag.sqlstate);
        no_column(kCountShapes);
        counts(kCountRowids, {0});
        scli::on_sql(sql).fail(SQL_ERROR, c.diag);
        EXPECT_EQ(alter(), c.rc);
        if (c.native != 0) {
            DB_EXT_ERROR xerr;
            DB_instance_get_xerr(&xerr);
            EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
            EXPECT_EQ(xerr.native_error, c.native);
        }
    }
    // A count that fails otherwise than for a missing column: committed, -51.
    scli::on_sql(kCountShapes).at_prepare(SQL_ERROR, {"S1000", -999, "odd"});
    size_t before = Executed().size();
    EXPECT_EQ(alter(), ZE_DBMS_ERROR);
    EXPECT_EQ(Since(before), Strings{"COMMIT"});
}

TEST_F(LayerUserTable, FailingTriggerOrIndexStopsTheAlteration)
{
    counts(kCountShapes, {0});
    counts(kCountRowids, {0});
    scli::on_sql(kTrigger).fail(SQL_ERROR, {"S1000", -999, ""});
    EXPECT_LT(alter(), 0);
    EXPECT_EQ(Executed().back(), kTrigger);
    // An index that exists is no failure.
    counts(kCountShapes, {0});
    counts(kCountRowids, {0});
    scli::on_sql(kRtree).fail(SQL_ERROR, {"S0011", -316, "exists"});
    EXPECT_EQ(alter(), 0);
}

TEST_F(LayerUserTable, RecreatedTableHasOnlyTheTwoColumns)
{
    counts(kCountShapes, {4});
    counts(kCountRowids, {0});
    ASSERT_EQ(quiet_stderr([&] { return DB_alter_spatial_table(instance_, &layer_, nullptr, 1); }),
              0);
    Strings run = Executed();
    ASSERT_GE(run.size(), 4u);
    EXPECT_EQ(run[2], "DROP TABLE gis:bob.roads");
    bool created = false;
    for (const std::string &s : run)
        if (s.rfind("CREATE TABLE gis:bob.roads", 0) == 0) {
            created = true;
            EXPECT_NE(s.find("shape ST_LineString"), std::string::npos) << s;
            EXPECT_NE(s.find("VE_ROW_ID"), std::string::npos) << s;
        }
    EXPECT_TRUE(created);
    // No numbering of a table made again.
    for (const std::string &s : run)
        EXPECT_EQ(s.find("rowid_update"), std::string::npos) << s;

    // A failing drop ends it there.
    counts(kCountShapes, {4});
    counts(kCountRowids, {0});
    scli::on_sql("DROP TABLE gis:bob.roads").fail(SQL_ERROR, {"S1000", -999, ""});
    size_t before = Executed().size();
    EXPECT_LT(quiet_stderr([&] { return DB_alter_spatial_table(instance_, &layer_, nullptr, 1); }),
              0);
    EXPECT_EQ(Executed().back(), "DROP TABLE gis:bob.roads");
    EXPECT_EQ(Executed().size(), before + 3);
}

TEST_F(LayerUserTable, GrantAndRevokeTextsOfEveryMask)
{
    struct Case {
        int32_t mask;
        int32_t with_option;
        std::string grant, revoke;
    };
    const Case cases[] = {
        {16, 0, "GRANT DELETE   ON gis:bob.roads to alice",
         "REVOKE DELETE   ON gis:bob.roads from alice"},
        {4, 0, "GRANT UPDATE, SELECT   ON gis:bob.roads to alice",
         "REVOKE UPDATE   ON gis:bob.roads from alice"},
        {8, 1, "GRANT INSERT, SELECT   ON gis:bob.roads to alice WITH GRANT OPTION",
         "REVOKE INSERT   ON gis:bob.roads from alice"},
        {2, 1, "GRANT SELECT   ON gis:bob.roads to alice WITH GRANT OPTION",
         "REVOKE SELECT   ON gis:bob.roads from alice"},
        {30, 0, "GRANT UPDATE, INSERT, DELETE, SELECT   ON gis:bob.roads to alice",
         "REVOKE SELECT, UPDATE, INSERT, DELETE   ON gis:bob.roads from alice"},
    };
    const std::string permissions =
        "SELECT tabauth from gis:informix.systabauth au, gis:informix.systables tab         "
        "WHERE au.tabid = tab.tabid and au.grantee = 'alice' AND tab.owner = 'bob' AND         "
        "tab.tabname = 'roads'";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.grant);
        size_t before = Executed().size();
        ASSERT_EQ(DB_layer_grant_access(instance_, &layer_, c.mask, c.with_option, "alice"), 0);
        EXPECT_EQ(Since(before), (Strings{c.grant, "COMMIT"}));
        // Revoking UPDATE reads the grantee's privileges first.
        scli::on_sql(permissions).columns({{"tabauth", SQL_CHAR, 9}});
        before = Executed().size();
        ASSERT_EQ(DB_layer_revoke_access(instance_, &layer_, c.mask, "alice"), 0);
        Strings expected{c.revoke, "COMMIT"};
        if (c.mask & VE_PRIV_UPDATE)
            expected.insert(expected.begin(), permissions);
        EXPECT_EQ(Since(before), expected);
    }
}

TEST_F(LayerUserTable, GrantRefusals)
{
    scli::on_sql("GRANT DELETE   ON gis:bob.roads to alice").fail(SQL_ERROR, {"42000", -273, ""});
    EXPECT_EQ(
        quiet_stderr([&] { return DB_layer_grant_access(instance_, &layer_, 16, 0, "alice"); }),
        ZE_GRANT_REFUSED);
    scli::on_sql("REVOKE DELETE   ON gis:bob.roads from alice")
        .fail(SQL_ERROR, {"42000", -273, ""});
    EXPECT_EQ(quiet_stderr([&] { return DB_layer_revoke_access(instance_, &layer_, 16, "alice"); }),
              ZE_GRANT_REFUSED);
    size_t before = Executed().size();
    for (int32_t mask : {0, 1, 32})
        EXPECT_EQ(DB_layer_grant_access(instance_, &layer_, mask, 0, "alice"), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_layer_revoke_access(instance_, &layer_, 0, "alice"), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_layer_grant_access(instance_, &layer_, 2, 0, "al ice"), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_layer_grant_access(instance_, &layer_, 2, 0, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(DB_layer_grant_access(instance_, nullptr, 2, 0, "alice"), ZE_NULL_POINTER);
    EXPECT_EQ(Executed().size(), before);
}

TEST_F(LayerUserTable, SelectForTheAdministrativeUser)
{
    const std::string grant = "GRANT SELECT ON gis:'bob'.roads TO zel";
    const std::string revoke = "REVOKE SELECT ON gis:'bob'.roads FROM zel";
    EXPECT_EQ(DB_layer_grant_zel_privileges(instance_, &layer_, 1), 0);
    EXPECT_EQ(DB_layer_grant_zel_privileges(instance_, &layer_, 0), 0);
    EXPECT_EQ(Executed(), (Strings{grant, "COMMIT", revoke, "COMMIT"}));
    struct Case {
        scli::Diag diag;
        int32_t rc;
    };
    const Case cases[] = {{{"42000", -273, ""}, 0},
                          {{"S0002", -206, ""}, ZE_TABLE_NOT_FOUND},
                          {{"S1000", -999, ""}, ZE_DBMS_ERROR}};
    for (const Case &c : cases) {
        scli::on_sql(grant).fail(SQL_ERROR, c.diag);
        EXPECT_EQ(
            quiet_stderr([&] { return DB_layer_grant_zel_privileges(instance_, &layer_, 1); }),
            c.rc);
    }
}

TEST_F(LayerUserTable, TruncationKeepsTheTriggerOfAPlainLayer)
{
    layer_test::answer_layers(layer_test::by_id(7), {layer_test::LayerRow{}});
    const Strings nulls = {"UPDATE gis:bob.roads SET shape = NULL", "COMMIT",
                           "UPDATE gis:bob.roads SET VE_ROW_ID = NULL", "COMMIT"};
    ASSERT_EQ(DB_layer_truncate(instance_, 7, nullptr), 0);
    Strings run = Executed();
    ASSERT_GE(run.size(), 9u);
    EXPECT_EQ(run[0], layer_test::by_id(7)); // the layer is read first
    // Then the trigger dropped, the rows emptied, the trigger made again.
    Strings after(run.end() - 9, run.end());
    EXPECT_EQ(after, join({{kDropTrigger, "COMMIT"}, nulls, {kTrigger, "COMMIT", "COMMIT"}}));

    // A versioned layer: no trigger is touched; the adds table is emptied too.
    registration_.object_flags = REG_MULTIVERSION;
    size_t before = Executed().size();
    ASSERT_EQ(DB_layer_truncate(instance_, 7, &registration_), 0);
    EXPECT_EQ(Since(before), join({nulls,
                                   {"UPDATE gis:'bob'.A12 SET VE_ROW_ID = NULL, shape = NULL",
                                    "COMMIT", "COMMIT"}}));

    // A failing step: the trigger of a plain layer is made again all the
    // same, and the step's error is what the caller sees.
    scli::on_sql("UPDATE gis:bob.roads SET VE_ROW_ID = NULL").fail(SQL_ERROR, {"S1000", -999, "x"});
    before = Executed().size();
    EXPECT_EQ(quiet_stderr([&] { return DB_layer_truncate(instance_, 7, nullptr); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(Since(before),
              (Strings{kDropTrigger, "COMMIT", "UPDATE gis:bob.roads SET shape = NULL", "COMMIT",
                       "UPDATE gis:bob.roads SET VE_ROW_ID = NULL", kTrigger, "COMMIT"}));
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -999);

    // A layer that cannot be read: its trigger is not touched.
    scli::on_sql(layer_test::by_id(9)).fail(SQL_ERROR, {"S1000", -998, "y"});
    before = Executed().size();
    EXPECT_EQ(quiet_stderr([&] { return DB_layer_truncate(instance_, 9, nullptr); }),
              ZE_DBMS_ERROR);
    const Strings failed = Since(before);
    ASSERT_FALSE(failed.empty());
    EXPECT_EQ(failed[0], layer_test::by_id(9));
    EXPECT_EQ(std::count(failed.begin(), failed.end(), "DROP TRIGGER SC_UPD_CASC_9"), 0);
}

TEST_F(LayerUserTable, AnnotationColumns)
{
    EXPECT_EQ(DB_layer_add_anno_column(instance_, &layer_), 0);
    EXPECT_EQ(DB_layer_delete_anno_column(instance_, &layer_), ZE_ANNO_NOT_SUPPORTED);
    EXPECT_TRUE(Executed().empty());
}
