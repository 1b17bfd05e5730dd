// Preparing a stream's query: a refused prepare comes back as its engine code
// with nothing left allocated, and only an unknown refusal fills the stream's
// extended error record.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_prepare.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const char *const kSql = "SELECT feature_id FROM ZEL.roads";

class StreamPrepare : public Connected
{
};

TEST_F(StreamPrepare, PreparesOnTheMainStatementAndReplacesThePreviousOne)
{
    auto stream = std::make_unique<DB_STREAM>();
    ASSERT_EQ(DB_stream_prepare_sql(stream.get(), kSql), 0);
    SQLHSTMT first = stream->stmt_main;
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(DB_stream_prepare_sql(stream.get(), kSql), 0);
    EXPECT_FALSE(scli::is_live(first));
    std::vector<std::string> prepared;
    for (const scli::Call &c : scli::calls_of("SQLPrepare"))
        prepared.push_back(c.sql);
    EXPECT_EQ(prepared, (std::vector<std::string>{kSql, kSql}));
    EXPECT_TRUE(Executed().empty()); // prepared only
    db_free_stmt(&stream->stmt_main);
}

TEST_F(StreamPrepare, RefusalsMapToEngineCodesAndFreeTheStatement)
{
    struct {
        const char *sqlstate;
        int32_t expected;
    } cases[] = {
        {"S0002", ZE_TABLE_NOT_FOUND}, {"42000", ZE_NO_PERMISSIONS}, {"S0022", ZE_COLUMN_NOT_FOUND},
        {"37000", ZE_SYNTAX_ERROR},    {"42601", ZE_SYNTAX_ERROR},   {"42707", ZE_SYNTAX_ERROR},
        {"HY000", ZE_DBMS_ERROR},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        auto stream = std::make_unique<DB_STREAM>();
        const size_t live = scli::leaks().size();
        scli::on_sql(kSql).at_prepare(SQL_ERROR, {c.sqlstate, -206, "refused"});
        quiet_stderr([&] { EXPECT_EQ(DB_stream_prepare_sql(stream.get(), kSql), c.expected); });
        EXPECT_EQ(stream->stmt_main, nullptr);
        EXPECT_EQ(scli::leaks().size(), live);
        if (c.expected == ZE_DBMS_ERROR) {
            EXPECT_EQ(stream->xerr.code, ZE_DBMS_ERROR);
            EXPECT_EQ(stream->xerr.native_error, -206);
            EXPECT_STREQ(stream->xerr.text, c.sqlstate);
        } else {
            EXPECT_EQ(stream->xerr.code, 0);
        }
    }
}

TEST_F(StreamPrepare, RefusesNullArguments)
{
    DB_STREAM stream{};
    EXPECT_EQ(DB_stream_prepare_sql(nullptr, kSql), ZE_NULL_POINTER);
    EXPECT_EQ(DB_stream_prepare_sql(&stream, nullptr), ZE_NULL_POINTER);
}

} // namespace
