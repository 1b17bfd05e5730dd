// Migration of an older DBTUNE table and the storage of the system tables
// read from the table or from the dbtune file.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "tests/db/core/dbtune_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const char kInsert[] = "{ call zel:zel.insert_dbtune (?,?,?) }";
const char kProbe[] = "SELECT keyword FROM zel:zel.dbtune";

class DbtuneMigrate : public DbtuneTest
{
  protected:
    // Fills the store with every built-in default, so only renames remain.
    void complete_store()
    {
        int32_t none[DBTUNE_KW_COUNT] = {0};
        db_dbtune_clear_marks();
        ASSERT_EQ(db_dbtune_insert_defaults("f", none, &failed), 0);
        MarkNow();
    }
    std::vector<std::string> rows_of(const std::string &keyword) const
    {
        std::vector<std::string> out;
        for (const auto &r : store_->rows)
            if (r.keyword == keyword)
                out.push_back(r.name + "|" + r.value);
        std::sort(out.begin(), out.end());
        return out;
    }
    DBTUNE_FAILED_ROW failed = {};
};

TEST_F(DbtuneMigrate, OldIndexParametersAreRenamed)
{
    complete_store();
    add_row("ROADS", "B_INDEX_1", "old b");
    add_row("ROADS", "B_INDEX_ROWID", "kept");
    add_row("PARCELS", "A_INDEX_2", "only a2");
    add_row("PIPES", "D_INDEX_1", "d1");
    add_row("LOGS", "LD_INDEX_1", "ld1");
    add_row("LOGS", "LD_INDEX_2", "ld2");
    add_row("IMAGES", "BND_INDEX_2", "bnd2");
    ASSERT_EQ(DB_dbtune_table_migrate(nullptr, &failed), 0);
    EXPECT_EQ(rows_of("ROADS"),
              (std::vector<std::string>{"B_INDEX_ROWID|kept", "B_INDEX_USER|old b"}));
    EXPECT_TRUE(rows_of("PARCELS").empty());
    EXPECT_EQ(rows_of("PIPES"),
              (std::vector<std::string>{"D_INDEX_DELETED_AT|d1", "D_INDEX_STATE_ROWID|d1"}));
    EXPECT_EQ(rows_of("LOGS"), (std::vector<std::string>{"LD_INDEX_DATA_ID|ld1",
                                                         "LD_INDEX_ROWID|ld2", "LF_INDEXES|ld1"}));
    EXPECT_EQ(rows_of("IMAGES"), (std::vector<std::string>{"BND_INDEX_COMPOSITE|bnd2"}));
    std::vector<std::string> sql = Executed();
    EXPECT_NE(std::find(sql.begin(), sql.end(),
                        "DELETE FROM zel:zel.dbtune WHERE upper(keyword) = 'ROADS' AND "
                        "upper(parameter_name) = 'B_INDEX_1'"),
              sql.end());
    EXPECT_EQ(sql.back(), "COMMIT");
}

TEST_F(DbtuneMigrate, CompleteTableGetsNothing)
{
    complete_store();
    setenv("ZELVERBOSE", "1", 1);
    StderrCapture capture;
    ASSERT_EQ(DB_dbtune_table_migrate(nullptr, &failed), 0);
    EXPECT_EQ(capture.text(), "");
    std::vector<std::string> sql = Executed();
    EXPECT_EQ(std::count(sql.begin(), sql.end(), kInsert), 0);
    EXPECT_EQ(store_->rows.size(), 63u);
}

TEST_F(DbtuneMigrate, MissingDefaultsGoToBuiltInKeywordsOnly)
{
    add_row("DEFAULTS", "A_INDEX_2", "x");
    add_row("USERKW", "A_INDEX_2", "y");
    setenv("ZELVERBOSE", "1", 1);
    StderrCapture capture;
    ASSERT_EQ(DB_dbtune_table_migrate(nullptr, &failed), 0);
    std::string err = capture.text();
    EXPECT_NE(err.find("WARNING: DBTUNE does not contain DEFAULTS config parameter "
                       "'A_INDEX_STATEID'. \n"),
              std::string::npos);
    EXPECT_TRUE(rows_of("USERKW").empty());
    EXPECT_EQ(rows_of("DEFAULTS").size(), 13u);
    EXPECT_EQ(store_->rows.size(), 63u);
}

TEST_F(DbtuneMigrate, RefusedInsertRollsBack)
{
    add_row("ROADS", "B_INDEX_1", "old b");
    store_->insert_refused = 1;
    quiet_stderr([&] { EXPECT_EQ(DB_dbtune_table_migrate(nullptr, &failed), ZE_NO_PERMISSIONS); });
    EXPECT_EQ(Executed().back(), "ROLLBACK");
    EXPECT_STREQ(failed.parameter_name, "B_INDEX_ROWID");
}

class DbtuneSystem : public DbtuneTest
{
  protected:
    std::unique_ptr<DBTUNE_SYSTEM_CONFIG> config{new DBTUNE_SYSTEM_CONFIG};
};

TEST_F(DbtuneSystem, FromTheTable)
{
    add_row("DEFAULTS", "B_STORAGE", "defaults");
    ASSERT_EQ(
        DB_read_system_tab_storage_config(nullptr, "DATA_DICTIONARY", "dbtune.zel", config.get()),
        0);
    EXPECT_EQ(config->counter, 0);
    EXPECT_STREQ(config->B_STORAGE, "");
    add_row("DATA_DICTIONARY", "STATES_TABLE", "IN states");
    add_row("DATA_DICTIONARY", "B_INDEX_USER", "FILLFACTOR 70");
    ASSERT_EQ(
        DB_read_system_tab_storage_config(nullptr, "DATA_DICTIONARY", "dbtune.zel", config.get()),
        0);
    EXPECT_EQ(config->counter, 201);
    EXPECT_STREQ(config->B_STORAGE, "defaults");
    EXPECT_STREQ(config->STATES_TABLE, "IN states");
    EXPECT_STREQ(config->B_INDEX_USER, "FILLFACTOR 70");
    EXPECT_STREQ(config->reserved, "");
}

TEST_F(DbtuneSystem, FromTheFileWhenTheTableIsMissing)
{
    scli::on_sql(kProbe).at_prepare(SQL_ERROR, {"S0002", -206, "no table"}).repeat();
    write_file("dbtune.zel", "##OTHER\nB_STORAGE \"other\"\nEND\n"
                             "##data_dictionary\nSTATES_TABLE \"IN st\"\n"
                             "MVTABLES_MODIFIED_INDEX \"FILLFACTOR 60\"\nEND\n"
                             "##DATA_DICTIONARY\nB_STORAGE \"IN dd\"\nEND\n");
    ASSERT_EQ(
        DB_read_system_tab_storage_config(nullptr, "DATA_DICTIONARY", "dbtune.zel", config.get()),
        0);
    EXPECT_EQ(config->counter, 300);
    EXPECT_STREQ(config->B_STORAGE, "IN dd");
    EXPECT_STREQ(config->STATES_TABLE, "IN st");
    EXPECT_STREQ(config->MVTABLES_MODIFIED_INDEX, "FILLFACTOR 60");

    write_file("dbtune.zel", "##DATA_DICTIONARY\nNOT_KNOWN \"x\"\nEND\n");
    ASSERT_EQ(
        DB_read_system_tab_storage_config(nullptr, "DATA_DICTIONARY", "dbtune.zel", config.get()),
        0);
    EXPECT_EQ(config->counter, 0);
    EXPECT_STREQ(config->B_STORAGE, "");

    setenv("ZELVERBOSE", "1", 1);
    StderrCapture capture;
    EXPECT_EQ(
        DB_read_system_tab_storage_config(nullptr, "DATA_DICTIONARY", "absent.zel", config.get()),
        ZE_DBTUNE_FILE_ERROR);
    EXPECT_EQ(capture.text(),
              "DB_read_system_tab_storage_config() Storage                             "
              "Parameter read ERROR: -287\n");
}

} // namespace
