// Transaction modes against the scripted CLI: which operations commit or
// roll back outside and inside a user transaction, the autocommit interval,
// and the failure lines and records of a refused commit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_trans_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using Op = int (*)(DB_INSTANCE *);

struct ModeCase {
    const char *name;
    Op op;
    Strings outside; // ends of transaction outside a user transaction
    Strings inside;  // inside one
};

class Trans : public Connected
{
  protected:
    void TearDown() override
    {
        DB_trans_user_rollback(nullptr);
        DB_trans_set_autocommit(nullptr, 0);
        Connected::TearDown();
    }
    Strings EndsSince(size_t mark)
    {
        Strings all = scli::executed();
        return Strings(all.begin() + static_cast<long>(mark), all.end());
    }
};

TEST_F(Trans, ModesCommitOnlyOutsideAUserTransaction)
{
    const ModeCase cases[] = {
        {"updt_start", DB_trans_updt_start, {"COMMIT"}, {}},
        {"updt_commit", DB_trans_updt_commit, {"COMMIT"}, {}},
        {"updt_rollback", DB_trans_updt_rollback, {"ROLLBACK"}, {}},
        {"def_start", DB_trans_def_start, {"COMMIT"}, {}},
        {"defwr_start", DB_trans_defwr_start, {"COMMIT"}, {}},
        {"def_commit", DB_trans_def_commit, {"COMMIT"}, {}},
        {"release_requests", DB_trans_release_requests, {"COMMIT"}, {"COMMIT"}},
        {"auto_commit_control", DB_trans_auto_commit_control, {"COMMIT"}, {}},
    };
    for (const ModeCase &c : cases) {
        SCOPED_TRACE(c.name);
        size_t mark = scli::executed().size();
        EXPECT_EQ(c.op(nullptr), 0);
        EXPECT_EQ(EndsSince(mark), c.outside);
        ASSERT_EQ(DB_trans_user_start(nullptr), 0);
        mark = scli::executed().size();
        EXPECT_EQ(c.op(nullptr), 0);
        EXPECT_EQ(EndsSince(mark), c.inside);
        EXPECT_EQ(db_trans_in_user_transaction(), 1);
        mark = scli::executed().size();
        ASSERT_EQ(DB_trans_user_commit(nullptr), 0);
        EXPECT_EQ(EndsSince(mark), Strings{"COMMIT"});
    }
}

TEST_F(Trans, UserTransactionStartsAndEnds)
{
    size_t mark = scli::executed().size();
    EXPECT_EQ(DB_trans_user_start(nullptr), 0);
    // A second start commits nothing.
    EXPECT_EQ(DB_trans_user_start(nullptr), 0);
    EXPECT_EQ(DB_trans_user_rollback(nullptr), 0);
    EXPECT_EQ(db_trans_in_user_transaction(), 0);
    EXPECT_EQ(EndsSince(mark), (Strings{"COMMIT", "ROLLBACK"}));
}

TEST_F(Trans, AutocommitIntervalInsideAUserTransaction)
{
    const struct {
        int32_t interval;
        int calls;
        int commits;
    } cases[] = {{3, 7, 2}, {1, 3, 3}, {0, 5, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.interval);
        ASSERT_EQ(DB_trans_set_autocommit(nullptr, c.interval), 0);
        ASSERT_EQ(DB_trans_user_start(nullptr), 0);
        size_t mark = scli::executed().size();
        for (int i = 0; i < c.calls; i++)
            EXPECT_EQ(DB_trans_auto_commit_control(nullptr), 0);
        EXPECT_EQ(EndsSince(mark), Strings(static_cast<size_t>(c.commits), "COMMIT"));
        ASSERT_EQ(DB_trans_user_commit(nullptr), 0);
    }
    // The autocommit setting turns the connection's autocommit off again.
    EXPECT_EQ(Details("SQLSetConnectAttr").back(), "attr=102 value=0");
}

TEST_F(Trans, CounterRestartsWithEachUserTransaction)
{
    DB_trans_set_autocommit(nullptr, 2);
    // Outside a user transaction nothing is counted.
    DB_trans_auto_commit_control(nullptr);
    EXPECT_EQ(db_trans_autocommit_due(), 0);
    EXPECT_EQ(db_trans_autocommit_due(), 0);
    DB_trans_user_start(nullptr);
    EXPECT_EQ(db_trans_autocommit_due(), 0);
    DB_trans_user_commit(nullptr);
    DB_trans_user_start(nullptr);
    EXPECT_EQ(db_trans_autocommit_due(), 0);
    EXPECT_EQ(db_trans_autocommit_due(), 1);
    EXPECT_EQ(db_trans_autocommit_due(), 0);
    DB_trans_user_commit(nullptr);
}

TEST_F(Trans, RefusedCommitIsRecorded)
{
    const struct {
        const char *name;
        Op op;
        SQLRETURN rc;
        const char *line;
    } cases[] = {
        {"updt_start", DB_trans_updt_start, SQL_ERROR, "DB_start_updt_trans Commit Error (-1)\n"},
        {"updt_commit", DB_trans_updt_commit, SQL_SUCCESS_WITH_INFO,
         "DB_trans_updt_commit Commit Error (1)\n"},
        {"def_start", DB_trans_def_start, SQL_ERROR, "DB_trans_def_start Commit Error (-1)\n"},
        {"defwr_start", DB_trans_defwr_start, SQL_ERROR,
         "DB_trans_defwr_start ExImmed Error (-1)\n"},
        {"def_commit", DB_trans_def_commit, SQL_ERROR, "DB_trans_def_commit Commit Error (-1)\n"},
        {"auto_commit_control", DB_trans_auto_commit_control, SQL_ERROR,
         "DB_auto_commit_control Error (-1)\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DB_instance_clear_xerr();
        scli::on_commit().fail(c.rc, {"S1000", -255, "not in transaction"});
        StderrCapture capture;
        EXPECT_EQ(c.op(nullptr), ZE_DBMS_ERROR);
        std::string err = capture.text();
        std::string lines = std::string("ZEL_Database Error: ") + std::to_string(c.rc) +
                            "\nS1000\nODBC Error: S1000\nDatabase Error: -255\n"
                            "Error Message: not in transaction\n" +
                            c.line;
        EXPECT_EQ(err, lines);
        EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
        EXPECT_EQ(db_global_xerr.native_error, -255);
    }
    // The release of requests reports -51 without a record.
    DB_instance_clear_xerr();
    scli::on_commit().fail(SQL_ERROR, {"S1000", -255, "no"});
    EXPECT_EQ(DB_trans_release_requests(nullptr), ZE_DBMS_ERROR);
    EXPECT_EQ(db_global_xerr.code, 0);
}

TEST_F(Trans, RefusedRollbackIsRecorded)
{
    scli::on_rollback().fail(SQL_ERROR, {"S1000", -255, "no"});
    StderrCapture capture;
    EXPECT_EQ(DB_trans_updt_rollback(nullptr), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_NE(err.find("DB_trans_updt_rollback Rollback Error (-1)\n"), std::string::npos);
}

TEST_F(Trans, DefaultCommitClearsTheEngineCode)
{
    db_global_xerr.code = ZE_TABLE_NOT_FOUND;
    db_global_xerr.native_error = -206;
    DB_trans_user_start(nullptr);
    EXPECT_EQ(DB_trans_def_commit(nullptr), 0);
    EXPECT_EQ(db_global_xerr.code, 0);
    EXPECT_EQ(db_global_xerr.native_error, -206);
    DB_trans_user_commit(nullptr);
}

TEST_F(Trans, RollbackBeforeTheDriverCheckCallsNothing)
{
    int32_t saved = db_connection()->initialised;
    db_connection()->initialised = 0;
    size_t before = scli::journal().size();
    EXPECT_EQ(DB_trans_updt_rollback(nullptr), 0);
    EXPECT_EQ(scli::journal().size(), before);
    db_connection()->initialised = saved;
}

TEST_F(Trans, NoOperations)
{
    size_t before = scli::journal().size();
    DB_trans_set_rollback_notifier(nullptr, nullptr);
    EXPECT_EQ(DB_trans_set_compress_mode(nullptr, 1), 0);
    EXPECT_EQ(scli::journal().size(), before);
}

} // namespace
