// Tests a layer's indexes, trigger and load modes: the exact index, trigger
// and statistics statements (with and without storage clauses), the
// keyword without rows, the failures (the row-id index's reported after the
// statistics ran, the index name in the extended error message), drops that
// find nothing, both load modes on plain and versioned tables, and the drop
// of a layer's objects, which forgets and commits whatever failed.
#include "db/catalog/db_layer_index_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_dbtune_store.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string kRtree = "CREATE INDEX A7_IX1 on bob.roads (shape St_Geometry_Ops) using RTree ";
const std::string kRowid = "CREATE INDEX A7_IX2 on bob.roads (VE_ROW_ID) ";
const std::string kStats = "update statistics for table roads";
const std::string kAddsIndex =
    "CREATE INDEX A7_IX1_a on gis:'bob'.A12 (shape St_Geometry_Ops) using RTree ";
const std::string kAddsStats = "update statistics for table gis:'bob'.A12";
const std::string kTrigger =
    "CREATE TRIGGER SC_UPD_CASC_7\n           UPDATE OF shape ON roads\n           REFERENCING "
    "NEW AS New OLD AS Old\n           FOR EACH ROW WHEN (New.shape is NULL and Old.shape IS NOT "
    "NULL)\n           (UPDATE roads SET VE_ROW_ID = NULL WHERE VE_ROW_ID = Old.VE_ROW_ID);\n";
const std::string kDropTrigger = "DROP TRIGGER SC_UPD_CASC_7";

class LayerIndex : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        layer_test::LayerFixture::SetUp();
        memset(&layer_, 0, sizeof(layer_));
        layer_.layer_id = 7;
        strcpy(layer_.database_name, "gis");
        strcpy(layer_.owner, "bob");
        strcpy(layer_.table_name, "roads");
        strcpy(layer_.spatial_column, "shape");
        memset(&registration_, 0, sizeof(registration_));
        registration_.registration_id = 12;
    }
    // The statements a drop of the index runs.
    static std::string drop(const std::string &index)
    {
        return "DROP INDEX " + index;
    }
    LAYER layer_;
    REGISTRATION registration_;
};

} // namespace

TEST_F(LayerIndex, AttributeIndexesAndStatistics)
{
    ASSERT_EQ(DB_layer_enable_attr_indices(instance_, &layer_), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{kRtree, "COMMIT", kRowid, "COMMIT", kStats, "COMMIT"}));
}

TEST_F(LayerIndex, RowIdIndexFailureIsReportedAfterTheStatistics)
{
    scli::on_sql(kRowid).fail(SQL_ERROR, {"HY000", -316, "exists"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_layer_enable_attr_indices(instance_, &layer_); });
    EXPECT_LT(rc, 0);
    EXPECT_EQ(Executed(), (Strings{kRtree, "COMMIT", kRowid, kStats, "COMMIT"}));
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, rc);
    EXPECT_NE(std::string(xerr.message).find("(A7_IX2)"), std::string::npos) << xerr.message;

    // The spatial index failing ends the call at once.
    MarkNow();
    scli::on_sql(kRtree).fail(SQL_ERROR, {"HY000", -316, "exists"});
    quiet_stderr([&] { rc = DB_layer_enable_attr_indices(instance_, &layer_); });
    EXPECT_LT(rc, 0);
    EXPECT_EQ(Executed(), Strings{kRtree});

    // Statistics failing: -51.
    MarkNow();
    scli::on_sql(kStats).fail(SQL_ERROR, {"HY000", -201, "refused"});
    quiet_stderr(
        [&] { EXPECT_EQ(DB_layer_enable_attr_indices(instance_, &layer_), ZE_DBMS_ERROR); });
}

// After a failed row-id index the rebuild still commits and says so, and the
// normal mode of a versioned layer still makes the adds-table index; the
// failure is the result, with its record.
TEST_F(LayerIndex, RowIdIndexFailureLetsTheLaterStepsRun)
{
    registration_.object_flags = REG_MULTIVERSION;
    const struct {
        const char *what;
        std::function<int32_t()> run;
        Strings tail;
        const char *out;
    } cases[] = {
        {"rebuild",
         [&] { return DB_layer_generate_spix(instance_, &layer_, 0); },
         {kRtree, "COMMIT", kRowid, kStats, "COMMIT", "COMMIT"},
         "Generated Spatial Index\n"},
        {"normal mode",
         [&] { return DB_layer_set_normal_io_mode(instance_, &layer_, &registration_); },
         {kRtree, "COMMIT", kRowid, kStats, "COMMIT", kAddsIndex, "COMMIT", kAddsStats, "COMMIT"},
         ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        MarkNow();
        scli::on_sql(kRowid).fail(SQL_ERROR, {"HY000", -316, "exists"});
        int32_t rc = 0;
        testing::internal::CaptureStdout();
        quiet_stderr([&] { rc = c.run(); });
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
        EXPECT_LT(rc, 0);
        const Strings run = Executed();
        ASSERT_GE(run.size(), c.tail.size());
        EXPECT_EQ(Strings(run.end() - static_cast<long>(c.tail.size()), run.end()), c.tail);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.code, rc);
        EXPECT_NE(std::string(xerr.message).find("(A7_IX2)"), std::string::npos) << xerr.message;
    }
}

// Rebuilding drops (a missing index is no reason to stop), makes, commits and
// says so unless quiet; a failed make or commit is returned.
TEST_F(LayerIndex, GenerateRebuildsCommitsAndReportsFailures)
{
    // The make commits each statement; the last commit is the rebuild's own.
    const Strings built{drop("A7_IX1"), drop("A7_IX2"), kRtree,   "COMMIT", kRowid,
                        "COMMIT",       kStats,         "COMMIT", "COMMIT"};
    scli::on_sql_like("DROP INDEX .*").fail(SQL_ERROR, {"S0012", -319, "no index"}).repeat();
    testing::internal::CaptureStdout();
    ASSERT_EQ(DB_layer_generate_spix(instance_, &layer_, 0), ZE_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Generated Spatial Index\n");
    EXPECT_EQ(Executed(), built);

    MarkNow();
    testing::internal::CaptureStdout();
    ASSERT_EQ(DB_layer_generate_spix(instance_, &layer_, 1), ZE_SUCCESS);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Executed(), built);

    MarkNow();
    scli::on_sql(kRtree).fail(SQL_ERROR, {"HY000", -316, "exists"});
    int32_t rc = 0;
    testing::internal::CaptureStdout();
    quiet_stderr([&] { rc = DB_layer_generate_spix(instance_, &layer_, 0); });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_LT(rc, 0);
    EXPECT_EQ(Executed(), (Strings{drop("A7_IX1"), drop("A7_IX2"), kRtree}));

    MarkNow();
    scli::on_commit().times(3); // the make's own commits
    scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
    testing::internal::CaptureStdout();
    StderrCapture err;
    rc = DB_layer_generate_spix(instance_, &layer_, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_LT(rc, 0);
    EXPECT_NE(err.text().find("Performing commit"), std::string::npos) << err.text();

    EXPECT_EQ(DB_layer_generate_spix(instance_, nullptr, 0), ZE_NULL_POINTER);
}

TEST_F(LayerIndex, NamesAreCheckedBeforeAnyDdl)
{
    const struct {
        const char *what;
        const char *database, *owner, *table, *column;
    } cases[] = {
        {"owner", "gis", "bob;", "roads", "shape"},
        {"table", "gis", "bob", "roads x", "shape"},
        {"column", "gis", "bob", "roads", "shape)"},
        {"owner, no database", "", "bob;", "roads", "shape"},
        {"column, no database", "", "bob", "roads", "shape) using x; DROP TABLE t --"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        strcpy(layer_.database_name, c.database);
        strcpy(layer_.owner, c.owner);
        strcpy(layer_.table_name, c.table);
        strcpy(layer_.spatial_column, c.column);
        EXPECT_LT(DB_layer_enable_attr_indices(instance_, &layer_), 0);
        EXPECT_LT(DB_layer_create_user_trigger(instance_, &layer_), 0);
        EXPECT_LT(DB_layer_enable_adds_indices(instance_, &layer_, 12), 0);
    }
    // Only the adds table carries the database.
    strcpy(layer_.database_name, "gis x");
    strcpy(layer_.owner, "bob");
    strcpy(layer_.table_name, "roads");
    strcpy(layer_.spatial_column, "shape");
    EXPECT_LT(DB_layer_enable_adds_indices(instance_, &layer_, 12), 0);
    EXPECT_EQ(DB_layer_enable_attr_indices(instance_, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(LayerIndex, TriggerTextAndDrops)
{
    ASSERT_EQ(DB_layer_create_user_trigger(instance_, &layer_), ZE_SUCCESS);
    ASSERT_EQ(DB_layer_drop_user_trigger(instance_, 7), ZE_SUCCESS);
    EXPECT_EQ(Executed(), (Strings{kTrigger, "COMMIT", kDropTrigger, "COMMIT"}));

    // Indexes that are not there drop as success.
    MarkNow();
    scli::on_sql_like("DROP INDEX .*").fail(SQL_ERROR, {"S0012", -319, "no index"}).times(3);
    EXPECT_EQ(DB_layer_disable_attr_indices(instance_, 7), ZE_SUCCESS);
    EXPECT_EQ(DB_layer_disable_adds_indices(instance_, 7), ZE_SUCCESS);
}

TEST_F(LayerIndex, LoadModesOnPlainAndVersionedTables)
{
    ASSERT_EQ(DB_layer_set_load_only_mode(instance_, &layer_, &registration_), 0);
    const Strings plain_off = Executed();
    ASSERT_FALSE(plain_off.empty());
    EXPECT_EQ(plain_off.front(), kDropTrigger);
    for (const std::string &sql : plain_off)
        EXPECT_EQ(sql.find("A7_IX1_a"), std::string::npos) << sql;

    MarkNow();
    registration_.object_flags = REG_MULTIVERSION;
    ASSERT_EQ(DB_layer_set_load_only_mode(instance_, &layer_, &registration_), 0);
    const Strings versioned_off = Executed();
    for (const std::string &sql : versioned_off)
        EXPECT_EQ(sql.find("TRIGGER"), std::string::npos) << sql;
    EXPECT_NE(versioned_off[versioned_off.size() - 2].find("A7_IX1_a"), std::string::npos);

    // Back to normal I/O: the indexes again, and the adds table's.
    MarkNow();
    ASSERT_EQ(DB_layer_set_normal_io_mode(instance_, &layer_, &registration_), 0);
    Strings on = Executed();
    ASSERT_GE(on.size(), 10u);
    EXPECT_EQ(Strings(on.end() - 10, on.end()),
              (Strings{kRtree, "COMMIT", kRowid, "COMMIT", kStats, "COMMIT", kAddsIndex, "COMMIT",
                       kAddsStats, "COMMIT"}));

    // A plain table gets its trigger back first; a trigger that fails ends it.
    MarkNow();
    registration_.object_flags = 0;
    scli::on_sql(kTrigger).fail(SQL_ERROR, {"HY000", -201, "refused"});
    quiet_stderr(
        [&] { EXPECT_LT(DB_layer_set_normal_io_mode(instance_, &layer_, &registration_), 0); });
    EXPECT_EQ(Executed(), Strings{kTrigger});
}

TEST_F(LayerIndex, DropTablesForgetsAndCommitsWhateverFailed)
{
    const std::string probe = "select count(*) from gis:bob.roads holdlock";
    layer_test::answer_layers(layer_test::by_id(7), {layer_test::LayerRow{}});
    ASSERT_EQ(DB_layer_drop_tables(instance_, 7), ZE_SUCCESS);
    Strings ran = Executed();
    ASSERT_GE(ran.size(), 3u);
    EXPECT_EQ(ran[ran.size() - 3], kDropTrigger);
    EXPECT_EQ(ran.back(), "COMMIT");
    EXPECT_NE(std::find(ran.begin(), ran.end(), probe), ran.end());
    EXPECT_EQ(db_layer_cache_contains(instance_, nullptr, "bob", "roads", "shape"), 0);

    // A failed index drop is reported; the layer is still forgotten and the
    // transaction committed.
    MarkNow();
    layer_test::answer_layers(layer_test::by_id(7), {layer_test::LayerRow{}});
    scli::on_sql(drop("A7_IX1")).fail(SQL_ERROR, {"HY000", -242, "locked"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_layer_drop_tables(instance_, 7); });
    EXPECT_LT(rc, 0);
    ran = Executed();
    EXPECT_EQ(ran.back(), "COMMIT");
    EXPECT_EQ(std::find(ran.begin(), ran.end(), kDropTrigger), ran.end());
    EXPECT_EQ(db_layer_cache_contains(instance_, nullptr, "bob", "roads", "shape"), 0);
}

TEST_F(LayerIndex, StorageClausesOfTheLayersKeyword)
{
    scli::DbtuneStore &store = scli::dbtune_store_install();
    store.rows = {{"ROADS", "B_RTREE", "IN rtree_space"},
                  {"ROADS", "B_INDEX_ROWID", "IN index_space"},
                  {"ROADS", "A_RTREE", "IN adds_space"}};
    strcpy(layer_.layer_config, "ROADS");
    MarkNow();
    ASSERT_EQ(DB_layer_enable_attr_indices(instance_, &layer_), ZE_SUCCESS);
    ASSERT_EQ(DB_layer_enable_adds_indices(instance_, &layer_, 12), ZE_SUCCESS);
    Strings ddl;
    for (const std::string &sql : Executed())
        if (sql.rfind("CREATE", 0) == 0)
            ddl.push_back(sql);
    EXPECT_EQ(ddl, (Strings{kRtree + "IN rtree_space", kRowid + "IN index_space",
                            kAddsIndex + "IN adds_space"}));

    // A keyword without rows of its own: -87 before any DDL.
    strcpy(layer_.layer_config, "NOROWS");
    MarkNow();
    EXPECT_EQ(DB_layer_enable_attr_indices(instance_, &layer_), ZE_KEYWORD_WITHOUT_ROWS);
    EXPECT_EQ(DB_layer_enable_adds_indices(instance_, &layer_, 12), ZE_KEYWORD_WITHOUT_ROWS);
    for (const std::string &sql : Executed())
        EXPECT_NE(sql.rfind("CREATE", 0), 0u) << sql;
}
