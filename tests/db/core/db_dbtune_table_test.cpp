// The DBTUNE table: existence, creation, and the import that empties or
// creates it before loading the file.
#include <gtest/gtest.h>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "tests/db/core/dbtune_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const char kProbe[] = "SELECT keyword FROM zel:zel.dbtune";
const char kTruncate[] = "{ call zel:zel.truncate_dbtune( ) }";
const char kInsert[] = "{ call zel:zel.insert_dbtune (?,?,?) }";
const char kCreate[] = "CREATE TABLE zel:zel.dbtune (keyword VARCHAR(32) NOT NULL, "
                       "parameter_name VARCHAR(32) NOT NULL, config_string CHAR(2048), "
                       "UNIQUE (keyword, parameter_name) CONSTRAINT dbtune_uk)";
const char kGrant[] = "GRANT SELECT ON zel:zel.dbtune TO PUBLIC";

// A complete store exported, so a load adds no defaults.
const char kComplete[] = "##USERKW\nB_STORAGE \"IN userspace\"\nEND\n";

class DbtuneTable : public DbtuneTest
{
  protected:
    void expect_prepared(const std::string &sql)
    {
        auto prepares = scli::calls_of("SQLPrepare");
        ASSERT_FALSE(prepares.empty());
        EXPECT_EQ(prepares.back().sql, sql);
    }
};

TEST_F(DbtuneTable, HasNoDbsTables)
{
    EXPECT_EQ(DB_instance_has_dbs_tables(), ZE_TABLE_NOT_FOUND);
}

TEST_F(DbtuneTable, ExistenceByTheProbesDiagnostic)
{
    struct {
        const char *sqlstate;
        int expected;
    } cases[] = {{"S0002", ZE_TABLE_NOT_FOUND}, {"S0022", ZE_COLUMN_NOT_FOUND}, {"42000", -1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        DB_instance_clear_xerr();
        scli::on_sql(kProbe).at_prepare(SQL_ERROR, {c.sqlstate, -206, "probe"});
        EXPECT_EQ(DB_instance_dbtune_table_exists(nullptr), c.expected);
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.code, 0);
        EXPECT_EQ(xerr.native_error, 0);
    }
    MarkNow();
    EXPECT_EQ(DB_instance_dbtune_table_exists(nullptr), 0);
    expect_prepared(kProbe);
    EXPECT_EQ(Executed(), (std::vector<std::string>{"COMMIT"}));
}

TEST_F(DbtuneTable, CreateAppendsTheStorageClauseOfAKnownKeyword)
{
    auto config = std::make_unique<DBTUNE_SYSTEM_CONFIG>();
    memset(config.get(), 0, sizeof(*config));
    strcpy(config->B_STORAGE, " IN dd_space");
    config->counter = 99; // not the keyword's own: no clause
    store_->exists = false;
    ASSERT_EQ(DB_instance_dbtune_table_create(nullptr, "x", config.get()), 0);
    config->counter = 100;
    store_->exists = false;
    ASSERT_EQ(DB_instance_dbtune_table_create(nullptr, "x", config.get()), 0);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kCreate, "COMMIT", kGrant, "COMMIT",
                                                    std::string(kCreate) + " IN dd_space", "COMMIT",
                                                    kGrant, "COMMIT"}));
    // The table exists now: the refused create is returned and nothing is granted.
    quiet_stderr(
        [&] { EXPECT_EQ(DB_instance_dbtune_table_create(nullptr, "x", nullptr), ZE_DBMS_ERROR); });
    EXPECT_EQ(Executed().back(), kCreate);
}

TEST_F(DbtuneTable, ImportEmptiesAnExistingTableAndLoads)
{
    add_row("STALE", "B_STORAGE", "old");
    write_file("my.dbtune", kComplete);
    db_dbtune_clear_marks();
    ASSERT_EQ(DB_instance_import_dbtune(nullptr, "my.dbtune", 1), 0);
    std::vector<std::string> sql = Executed();
    ASSERT_GE(sql.size(), 4u);
    EXPECT_EQ(sql[0], kTruncate);
    EXPECT_EQ(sql[1], kInsert);
    EXPECT_EQ(sql.back(), "COMMIT");
    EXPECT_EQ(stored()[0], "USERKW|UI_TEXT|");
    EXPECT_EQ(stored()[1], "USERKW|B_STORAGE|IN userspace");
    EXPECT_EQ(store_->rows.size(), 2u + 63u);
}

TEST_F(DbtuneTable, FailingLoadIsRolledBack)
{
    write_file("my.dbtune", kComplete);
    store_->insert_refused = 2;
    StderrCapture capture;
    EXPECT_EQ(DB_instance_import_dbtune(nullptr, "my.dbtune", 1), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_NE(err.find("\tParameter name: B_STORAGE\n"), std::string::npos);
    std::vector<std::string> sql = Executed();
    EXPECT_EQ(sql, (std::vector<std::string>{kTruncate, kInsert, kInsert, "ROLLBACK", "ROLLBACK"}));
}

TEST_F(DbtuneTable, ImportCreatesAMissingTableWithTheDataDictionaryStorage)
{
    store_->exists = false;
    write_file("dbtune.zel", "##DEFAULTS\nB_STORAGE \"x\"\nEND\n"
                             "##DATA_DICTIONARY\nB_STORAGE \" IN dd\"\nEND\n");
    write_file("my.dbtune", kComplete);
    scli::on_sql(kProbe).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    ASSERT_EQ(DB_instance_import_dbtune(nullptr, "my.dbtune", 1), 0);
    std::vector<std::string> sql = Executed();
    ASSERT_GE(sql.size(), 5u);
    EXPECT_EQ(sql[0], kTruncate);
    EXPECT_EQ(sql[1], std::string(kCreate) + " IN dd");
    EXPECT_EQ(sql[2], "COMMIT");
    EXPECT_EQ(sql[3], kGrant);
    EXPECT_EQ(sql[4], "COMMIT");
    EXPECT_EQ(sql[5], kInsert);
    EXPECT_EQ(stored()[1], "USERKW|B_STORAGE|IN userspace");
}

TEST_F(DbtuneTable, TruncateFailuresBecomeEngineCodes)
{
    struct {
        int procedure;
        int code;
        int native;
    } cases[] = {{-20025, ZE_NO_PERMISSIONS, 0}, {-1234, ZE_DBMS_ERROR, -1234}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.procedure);
        store_->truncate_code = c.procedure;
        StderrCapture capture;
        EXPECT_EQ(DB_instance_import_dbtune(nullptr, "my.dbtune", 1), c.code);
        EXPECT_EQ(capture.text(),
                  "Error: Could not truncate DBTUNE Table: " + std::to_string(c.procedure) + "\n");
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.code, c.code);
        EXPECT_EQ(xerr.native_error, c.native);
        EXPECT_STREQ(xerr.message, "Error executing stored procedure zel:zel.truncate_dbtune");
    }
    scli::fail_call("SQLExecDirect", scli::call_count("SQLExecDirect") + 1, SQL_ERROR,
                    {"42000", -201, "syntax"});
    quiet_stderr(
        [&] { EXPECT_EQ(DB_instance_import_dbtune(nullptr, "my.dbtune", 1), ZE_DBMS_ERROR); });
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -201);
}

} // namespace
