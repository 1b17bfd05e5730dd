// Built-in DBTUNE defaults and the row insert through insert_dbtune.
#include <gtest/gtest.h>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "tests/db/core/dbtune_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const char kInsert[] = "{ call zel:zel.insert_dbtune (?,?,?) }";

class DbtuneDefaults : public DbtuneTest
{
  protected:
    void SetUp() override
    {
        DbtuneTest::SetUp();
        db_dbtune_clear_marks();
    }
    DBTUNE_FAILED_ROW failed = {};
};

TEST_F(DbtuneDefaults, AllKeywordsIncompleteGiveSixtyThreeRowsInOrder)
{
    int32_t none[DBTUNE_KW_COUNT] = {0};
    setenv("ZELVERBOSE", "", 1);
    StderrCapture capture;
    ASSERT_EQ(db_dbtune_insert_defaults("f.dbtune", none, &failed), 0);
    std::string err = capture.text();
    std::vector<std::string> rows = stored();
    ASSERT_EQ(rows.size(), 63u);
    EXPECT_EQ(Executed(), std::vector<std::string>(63, kInsert));
    EXPECT_EQ(rows[0], "DEFAULTS|UI_TEXT|");
    EXPECT_EQ(rows[1], "DEFAULTS|B_STORAGE|EXTENT SIZE 16 NEXT SIZE 16 LOCK MODE ROW");
    EXPECT_EQ(rows[2], "DEFAULTS|B_INDEX_ROWID|FILLFACTOR 90");
    EXPECT_EQ(rows[4], "DEFAULTS|B_RTREE| ");
    EXPECT_EQ(rows[13], "LOGFILE_DEFAULTS|UI_TEXT|");
    EXPECT_EQ(rows[31], "NETWORK_DEFAULTS|UI_NETWORK_TEXT|The network default configuration");
    EXPECT_EQ(rows[32], "NETWORK_DEFAULTS|COMMENT|The base system initialization parameters "
                        "for NETWORK_DEFAULTS");
    EXPECT_EQ(rows[33], "NETWORK_DEFAULTS::NETWORK|B_STORAGE|EXTENT SIZE 16 NEXT SIZE 16 LOCK "
                        "MODE ROW");
    EXPECT_EQ(rows[43], "NETWORK_DEFAULTS::DESC|B_STORAGE|EXTENT SIZE 16 NEXT SIZE 16 LOCK MODE "
                        "ROW");
    EXPECT_EQ(rows[62], "DATA_DICTIONARY|MVTABLES_MODIFIED_INDEX|FILLFACTOR 90");
    EXPECT_NE(err.find("WARNING: f.dbtune does not contain NETWORK_DEFAULTS::DESC config "
                       "parameter 'D_INDEX_DELETED_AT'. \n\t Inserting the default values.\n"),
              std::string::npos);
    EXPECT_NE(err.find("WARNING: f.dbtune does not contain DATA_DICTIONARY config parameter "
                       "'MVTABLES_MODIFIED_TABLE'.\n\t Inserting the default values.\n"),
              std::string::npos);
}

TEST_F(DbtuneDefaults, CompleteFlagsAndMarksPassParametersOver)
{
    int32_t complete[DBTUNE_KW_COUNT] = {1, 1, 1, 1, 1, 0};
    ASSERT_EQ(db_dbtune_set_mark(DBTUNE_KW_DATA_DICTIONARY, "states_table", 0), 1);
    ASSERT_EQ(db_dbtune_set_mark(DBTUNE_KW_DATA_DICTIONARY, "B_STORAGE_X", 1), 1);
    EXPECT_EQ(db_dbtune_set_mark(DBTUNE_KW_DATA_DICTIONARY, "B_RTREE", 0), 0);
    ASSERT_EQ(db_dbtune_insert_defaults("f", complete, &failed), 0);
    EXPECT_EQ(store_->rows.size(), 8u);
    for (int i = 0; i < DBTUNE_BUILTIN_COUNT; i++)
        dbtune_found_marks[i] = 1;
    int32_t none[DBTUNE_KW_COUNT] = {0};
    StderrCapture capture;
    setenv("ZELVERBOSE", "1", 1);
    ASSERT_EQ(db_dbtune_insert_defaults("f", none, &failed), 0);
    EXPECT_EQ(capture.text(), "");
    EXPECT_EQ(store_->rows.size(), 8u);
    EXPECT_EQ(db_dbtune_keyword_complete(DBTUNE_KW_DEFAULTS), 1);
}

TEST_F(DbtuneDefaults, ARefusedInsertEndsTheRun)
{
    int32_t none[DBTUNE_KW_COUNT] = {0};
    for (int refused : {1, 14, 40, 63}) {
        SCOPED_TRACE(refused);
        store_ = &scli::dbtune_store_install();
        store_->insert_refused = refused;
        quiet_stderr(
            [&] { EXPECT_EQ(db_dbtune_insert_defaults("f", none, &failed), ZE_NO_PERMISSIONS); });
        EXPECT_EQ(store_->rows.size(), static_cast<size_t>(refused - 1));
        EXPECT_EQ(store_->inserts, refused);
    }
    EXPECT_STREQ(failed.keyword, "DATA_DICTIONARY");
    EXPECT_STREQ(failed.parameter_name, "MVTABLES_MODIFIED_INDEX");
    EXPECT_STREQ(failed.config_string, "FILLFACTOR 90");
}

TEST_F(DbtuneDefaults, ProcedureResultsMapToEngineCodes)
{
    struct {
        int procedure;
        int code;
        int native;
    } cases[] = {{-20025, ZE_NO_PERMISSIONS, 0},
                 {-20001, -1, 0},
                 {-20998, -998, 0},
                 {-20999, ZE_DBMS_ERROR, -20999},
                 {-20000, ZE_DBMS_ERROR, -20000},
                 {-310, ZE_DBMS_ERROR, -310}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.procedure);
        store_ = &scli::dbtune_store_install();
        store_->insert_refused = 1;
        store_->insert_refusal_code = c.procedure;
        quiet_stderr([&] {
            EXPECT_EQ(db_dbtune_insert_row(kInsert, "kw", "b_storage", "v", &failed), c.code);
        });
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_EQ(xerr.code, c.code);
        EXPECT_EQ(xerr.native_error, c.native);
        EXPECT_STREQ(xerr.message, "Error executing stored procedure zel.insert_dbtune");
        EXPECT_STREQ(failed.keyword, "KW");
        EXPECT_STREQ(failed.parameter_name, "B_STORAGE");
    }
}

TEST_F(DbtuneDefaults, RowInsertFoldsBoundedCopies)
{
    // Heap texts of their exact length: folding must not write past them.
    std::string keyword(40, 'k'), name(33, 'n');
    std::string value(3000, 'v');
    ASSERT_EQ(db_dbtune_insert_row(kInsert, keyword.c_str(), name.c_str(), value.c_str(), &failed),
              0);
    EXPECT_EQ(keyword, std::string(40, 'k'));
    ASSERT_EQ(store_->rows.size(), 1u);
    EXPECT_EQ(store_->rows[0].keyword, std::string(32, 'K'));
    EXPECT_EQ(store_->rows[0].name, std::string(32, 'N'));
    EXPECT_EQ(store_->rows[0].value, std::string(2047, 'v'));
    ASSERT_EQ(db_dbtune_insert_row(kInsert, "kw2", "comment", nullptr, &failed), 0);
    EXPECT_EQ(store_->rows[1].value, "");
}

TEST_F(DbtuneDefaults, RowInsertCallFailures)
{
    memset(&failed, 0, sizeof(failed));
    scli::fail_call("SQLExecDirect", scli::call_count("SQLExecDirect") + 1, SQL_ERROR,
                    {"42000", -201, "syntax"});
    EXPECT_EQ(db_dbtune_insert_row(kInsert, "kw", "b_storage", "v", &failed), SQL_ERROR);
    EXPECT_STREQ(failed.keyword, ""); // not reached the procedure
    scli::fail_call("SQLFetch", scli::call_count("SQLFetch") + 1, SQL_ERROR,
                    {"HY000", -1, "fetch"});
    StderrCapture capture;
    EXPECT_EQ(db_dbtune_insert_row(kInsert, "kw", "b_storage", "v", &failed), SQL_ERROR);
    EXPECT_NE(capture.text().find("\tConfig keyword: KW\n"), std::string::npos);
    EXPECT_STREQ(failed.keyword, "KW");
    scli::fail_call("SQLAllocHandle", scli::call_count("SQLAllocHandle") + 1, SQL_ERROR,
                    {"HY001", 0, "memory"});
    EXPECT_EQ(db_dbtune_insert_row(kInsert, "kw", "b_storage", "v", &failed), SQL_ERROR);
    EXPECT_EQ(db_dbtune_insert_row(kInsert, nullptr, "b", "v", &failed), ZE_NULL_POINTER);
}

} // namespace
