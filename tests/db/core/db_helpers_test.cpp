// Helpers of the access core: EXECUTE grants by routine kind, commit and
// rollback without result, the current user, and a stream taking the
// connection's error.
#include "db/core/db_helpers_internal.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

using Helpers = ConnectedUser;

TEST_F(Helpers, GrantExecuteByRoutineKind)
{
    struct Case {
        int32_t kind;
        const char *sql;
    } const cases[] = {
        {1, "GRANT EXECUTE ON FUNCTION zel.next_id TO PUBLIC"},
        {2, "GRANT EXECUTE ON SPECIFIC zel.next_id TO PUBLIC"},
        {3, "GRANT EXECUTE ON PROCEDURE zel.next_id TO PUBLIC"},
        {4, "GRANT EXECUTE ON ROUTINE zel.next_id TO PUBLIC"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.sql);
        size_t before = Executed().size();
        EXPECT_EQ(db_grant_execute_routine(nullptr, "zel.next_id", k.kind, "PUBLIC"), ZE_SUCCESS);
        std::vector<std::string> ran = Executed();
        ASSERT_EQ(ran.size(), before + 2);
        EXPECT_EQ(ran[before], k.sql);
        EXPECT_EQ(ran[before + 1], "COMMIT");
    }
    size_t before = Executed().size();
    EXPECT_EQ(db_grant_execute_routine(nullptr, "zel.next_id", 0, "PUBLIC"), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_grant_execute_routine(nullptr, "zel.next_id", 5, "PUBLIC"), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Executed().size(), before);

    scli::on_sql("GRANT EXECUTE ON FUNCTION zel.gone TO PUBLIC")
        .fail(SQL_ERROR, {"42000", -674, "Routine (gone) can not be resolved."});
    quiet_stderr([&] { EXPECT_LT(db_grant_execute_routine(nullptr, "zel.gone", 1, "PUBLIC"), 0); });
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -674);
}

TEST_F(Helpers, CommitRollbackAndCurrentUser)
{
    db_commit_transaction();
    db_rollback_transaction();
    EXPECT_EQ(Executed(), (std::vector<std::string>{"COMMIT", "ROLLBACK"}));
    char user[DB_USER_NAME_SIZE];
    EXPECT_STREQ(db_get_current_user(user), "bob");
}

TEST_F(Helpers, StreamTakesTheConnectionErrorWithoutItsSqlstate)
{
    scli::on_sql("DROP TABLE nothere").fail(SQL_ERROR, {"S0002", -206, "table not found"});
    quiet_stderr([&] { db_execute_ddlsql("DROP TABLE nothere", 1, 1); });
    auto stream = std::make_unique<DB_STREAM>();
    strcpy(stream->xerr.text, "XXXXX");
    db_stream_copy_global_xerr(stream.get());
    DB_EXT_ERROR global;
    DB_instance_get_xerr(&global);
    EXPECT_EQ(stream->xerr.code, global.code);
    EXPECT_EQ(stream->xerr.native_error, -206);
    EXPECT_STREQ(stream->xerr.message, global.message);
    EXPECT_STREQ(stream->xerr.text, "");
    db_stream_copy_global_xerr(nullptr);
}
