// Test fixture of the state and version tests: connected through the scripted
// CLI to the administrative database "zel", the exact texts of the state
// queries, a STATE_LINEAGES stand-in that answers the lineage query from a
// table of rows per state, and the catalogue functions' result rows.
#pragma once

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/ve_state.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scripted_cli.h"

namespace state_test
{

inline const std::string kLineage =
    "SELECT /*+AVOID_FULL(zel.state_lineages)*/ lineage_id FROM   zel.state_lineages WHERE  "
    "state_id = ? ORDER BY lineage_id";

inline const std::string kScanAll =
    "SELECT state_id, owner,creation_time,closing_time,ROWID FROM zel:zel.states    ";

inline std::string by_where(const std::string &where)
{
    return "SELECT state_id, owner,creation_time,closing_time, ROWID FROM zel:zel.states WHERE " +
           where;
}

inline std::vector<scli::Column> state_columns()
{
    return {{"state_id", SQL_INTEGER},
            {"owner", SQL_VARCHAR, 32},
            {"creation_time", SQL_TYPE_TIMESTAMP},
            {"closing_time", SQL_TYPE_TIMESTAMP},
            {"rowid", SQL_INTEGER}};
}

// 2024-05-06 07:08:09 and 2024-05-07 00:00:00 in UTC (tests run with TZ=UTC).
inline const scli::Value kCreated = scli::timestamp(2024, 5, 6, 7, 8, 9);
inline const scli::Value kClosed = scli::timestamp(2024, 5, 7, 0, 0, 0);
inline const uint32_t kCreatedTime = 1714979289;
inline const uint32_t kClosedTime = 1715040000;

// One STATES row; closing NULL unless closed.
inline scli::Row state_row(int32_t id, const std::string &owner, bool closed = false,
                           int32_t rowid = 0)
{
    return {scli::i32(id), scli::varchar(owner), kCreated, closed ? kClosed : scli::null(),
            scli::i32(rowid ? rowid : 256 + id)};
}

// The lineage bytes of a record: its header's byte count bounds them.
inline std::vector<uint8_t> blob_of(const STATE &state)
{
    if (state.lineage == nullptr)
        return {};
    size_t total = 0;
    if (ves_lineage_total_size(state.lineage, 5, &total) != 0)
        return {};
    return std::vector<uint8_t>(state.lineage, state.lineage + total);
}

// A catalogue function's result row: code and message.
inline scli::Answer &function_answer(const std::string &sql, int32_t code,
                                     const std::string &message = "")
{
    return scli::on_sql(sql)
        .columns({{"code", SQL_INTEGER}, {"message", SQL_VARCHAR, 255}})
        .row({scli::i32(code), message.empty() ? scli::null() : scli::varchar(message)});
}

class StateTest : public Connected
{
  protected:
    void SetUp() override
    {
        Connected::SetUp();
        Mark();
    }

    // Executed SQL and COMMIT/ROLLBACK markers since the last Mark().
    std::vector<std::string> Sent() const
    {
        std::vector<std::string> all = scli::executed();
        return std::vector<std::string>(all.begin() + static_cast<long>(sent_mark_), all.end());
    }
    void Mark()
    {
        sent_mark_ = scli::executed().size();
    }
    size_t sent_mark_ = 0;

    // STATE_LINEAGES as the lineage query sees it: state id -> lineage ids.
    std::map<int32_t, std::vector<int32_t>> lineages_;

    // Answers every lineage query from lineages_.
    void ServeLineages()
    {
        scli::on_sql(kLineage)
            .columns({{"lineage_id", SQL_INTEGER}})
            .repeat()
            .hook([this](scli::Exec &e) {
                e.rows.clear();
                auto found = lineages_.find(static_cast<int32_t>(e.params.at(0).at(0).i));
                if (found == lineages_.end())
                    return;
                for (int32_t id : found->second)
                    e.rows.push_back({scli::i32(id)});
            });
    }

    // One call of a catalogue function: its statement, committed, with the
    // parameters given; then the function's code answered (with its message)
    // turning into the engine code expected; then a refused prepare giving
    // -51 with the diagnostic kept.
    void ExpectFunctionCall(const std::function<int32_t()> &call, const std::string &sql,
                            const std::vector<std::string> &params, const std::string &routine,
                            int32_t code, int32_t engine_code, const std::string &message)
    {
        Mark();
        function_answer(sql, 0);
        EXPECT_EQ(call(), 0);
        EXPECT_EQ(Sent(), (std::vector<std::string>{sql, "COMMIT"}));
        EXPECT_EQ(catalog_test::params_of(sql), params);
        function_answer(sql, code, message);
        EXPECT_EQ(call(), engine_code);
        DB_EXT_ERROR xerr = Xerr();
        EXPECT_EQ(xerr.code, engine_code);
        EXPECT_EQ(xerr.native_error, 0);
        EXPECT_EQ(std::string(xerr.message), "Error executing stored procedure " + routine);
        EXPECT_EQ(std::string(xerr.text), message);
        scli::on_sql(sql).at_prepare(SQL_ERROR, {"S1000", -674, "no routine"});
        EXPECT_EQ(quiet_stderr(call), ZE_DBMS_ERROR);
        EXPECT_EQ(Xerr().native_error, -674);
    }

    DB_EXT_ERROR Xerr() const
    {
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        return xerr;
    }
};

} // namespace state_test
