// State operations through the catalogue's stored functions: the parameters
// each call binds, the codes the functions answer mapped to engine codes with
// their messages, the deletes in batches of 200 each committed or rolled
// back, and CLI failures.
#include "db/version/db_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/version/state_fixture.h"

namespace
{

using namespace state_test;

const std::string kInsert = " {call insert_state(?,?,?)}";

class DbStateSp : public StateTest
{
  protected:
    scli::Answer &InsertAnswer(int32_t code, const std::string &message, int32_t new_id)
    {
        return scli::on_sql(kInsert)
            .columns({{"code", SQL_INTEGER}, {"message", SQL_VARCHAR, 255}, {"id", SQL_INTEGER}})
            .row({scli::i32(code), message.empty() ? scli::null() : scli::varchar(message),
                  scli::i32(new_id)});
    }
};

TEST_F(DbStateSp, InsertMakesAChildOfTheLineagesLastState)
{
    uint8_t lineage[] = {0x02, 0x00, 0x03};
    STATE state{};
    state.lineage = lineage;
    state.lineage_length = 2;
    InsertAnswer(0, "", 8);
    int32_t new_id = -1;
    ASSERT_EQ(DB_sp_states_def_insert(nullptr, &state, &new_id), 0);
    EXPECT_EQ(new_id, 8);
    EXPECT_EQ(catalog_test::params_of(kInsert), (std::vector<std::string>{"0", "3", "1"}));
    EXPECT_EQ(Sent(), (std::vector<std::string>{kInsert, "COMMIT"}));
    // The root's empty lineage: parent 0; a closing time: closed.
    uint8_t root[] = {0x00};
    state.lineage = root;
    state.lineage_length = 0;
    state.closing_time = 100;
    InsertAnswer(0, "", 9);
    ASSERT_EQ(DB_sp_states_def_insert(nullptr, &state, &new_id), 0);
    EXPECT_EQ(catalog_test::params_of(kInsert), (std::vector<std::string>{"0", "0", "2"}));
    // A lineage that does not hold its length is refused before any SQL.
    state.lineage = lineage;
    state.lineage_length = 3;
    EXPECT_EQ(DB_sp_states_def_insert(nullptr, &state, &new_id), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(new_id, 0);
    EXPECT_EQ(Sent().size(), 4u);
    EXPECT_EQ(DB_sp_states_def_insert(nullptr, nullptr, &new_id), ZE_NULL_POINTER);
}

TEST_F(DbStateSp, FunctionCodesBecomeEngineCodes)
{
    const struct {
        int32_t code;
        std::string message;
        int32_t engine;
        int32_t native;
    } cases[] = {
        {-20172, "State not found", ZE_STATE_NOT_FOUND, 0},
        {-20025, "No INSERT permission", ZE_NO_PERMISSIONS, 0},
        {-20001, "", -1, 0},
        {-20998, "", -998, 0},
        {-20999, "", ZE_DBMS_ERROR, -20999},
        {-20000, "", ZE_DBMS_ERROR, -20000},
        {-391, "Cannot insert a null into column", ZE_DBMS_ERROR, -391},
    };
    uint8_t root[] = {0x00};
    STATE state{};
    state.lineage = root;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        InsertAnswer(c.code, c.message, 0);
        int32_t new_id = -1;
        EXPECT_EQ(DB_sp_states_def_insert(nullptr, &state, &new_id), c.engine);
        DB_EXT_ERROR xerr = Xerr();
        EXPECT_EQ(xerr.code, c.engine);
        EXPECT_EQ(xerr.native_error, c.native);
        EXPECT_STREQ(xerr.message, "Error executing stored procedure zel.insert_state");
        EXPECT_EQ(std::string(xerr.text), c.message);
    }
}

TEST_F(DbStateSp, OpenCloseTrimAndRangeCalls)
{
    STATE open{};
    open.state_id = 5;
    STATE closed = open;
    closed.closing_time = 1000;
    const struct {
        std::function<int32_t()> call;
        std::string sql;
        std::vector<std::string> params;
        std::string routine;
    } cases[] = {
        {[&] { return DB_sp_states_def_update(nullptr, &open); },
         "EXECUTE FUNCTION open_state(?)",
         {"5"},
         "zel.open_state"},
        {[&] { return DB_sp_states_def_update(nullptr, &closed); },
         "EXECUTE FUNCTION close_state(?)",
         {"5"},
         "zel.close_state"},
        {[&] { return DB_sp_states_def_trim_lineage(nullptr, 9, 4, 9); },
         "EXECUTE FUNCTION trim_state_lineage(?,?)",
         {"9", "4"},
         "zel.trim_state_lineage"},
        {[&] { return DB_state_range_delete_ok(nullptr, 3, 12); },
         "EXECUTE FUNCTION range_delete_ok(?,?)",
         {"3", "12"},
         "zel.range_delete_ok"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        ExpectFunctionCall(c.call, c.sql, c.params, c.routine, -20175, -175, "State has children");
        // A success with information is a success.
        function_answer(c.sql, 0).info({"01000", 0, "note"});
        EXPECT_EQ(c.call(), 0);
        // A failed execute is recorded.
        scli::on_sql(c.sql).fail(SQL_ERROR, {"S1000", -999, "broken"});
        EXPECT_EQ(quiet_stderr(c.call), ZE_DBMS_ERROR);
        EXPECT_EQ(Xerr().native_error, -999);
        // No result row.
        scli::on_sql(c.sql).columns({{"code", SQL_INTEGER}, {"message", SQL_VARCHAR, 255}});
        EXPECT_EQ(quiet_stderr(c.call), ZE_DBMS_ERROR);
    }
    // A trim whose first and third ids differ calls nothing.
    Mark();
    EXPECT_EQ(DB_sp_states_def_trim_lineage(nullptr, 9, 4, 8), 0);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(scli::unused_answers().empty());
}

std::vector<int32_t> Ids(int32_t count)
{
    std::vector<int32_t> ids;
    for (int32_t i = 1; i <= count; i++)
        ids.push_back(i);
    return ids;
}

std::string DeleteSql(int32_t first, int32_t last)
{
    std::string list;
    for (int32_t i = first; i <= last; i++)
        list += (i == first ? "" : ",") + std::to_string(i);
    return "EXECUTE FUNCTION delete_state(LIST{" + list + "})";
}

TEST_F(DbStateSp, DeletesGoInBatchesOfTwoHundredEachCommitted)
{
    for (int32_t count : {400, 401}) {
        SCOPED_TRACE(count);
        Mark();
        std::vector<int32_t> ids = Ids(count);
        std::vector<std::string> expected;
        for (int32_t first = 1; first <= count; first += 200) {
            int32_t last = std::min(first + 199, count);
            function_answer(DeleteSql(first, last), 0);
            expected.push_back(DeleteSql(first, last));
            expected.push_back("COMMIT");
        }
        EXPECT_EQ(DB_sp_states_def_delete(nullptr, ids.data(), count), 0);
        EXPECT_EQ(Sent(), expected);
    }
    EXPECT_EQ(DeleteSql(401, 401), "EXECUTE FUNCTION delete_state(LIST{401})");
    Mark();
    EXPECT_EQ(DB_sp_states_def_delete(nullptr, nullptr, 0), 0);
    EXPECT_EQ(DB_sp_states_def_delete(nullptr, nullptr, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_sp_states_def_delete(nullptr, nullptr, 3), ZE_NULL_POINTER);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DbStateSp, AFailingBatchIsRolledBackAndTheEarlierOnesStay)
{
    std::vector<int32_t> ids = Ids(450);
    function_answer(DeleteSql(1, 200), 0);
    function_answer(DeleteSql(201, 400), -20179, "State is used by a version");
    EXPECT_EQ(DB_sp_states_def_delete(nullptr, ids.data(), 450), -179);
    EXPECT_EQ(Sent(), (std::vector<std::string>{DeleteSql(1, 200), "COMMIT", DeleteSql(201, 400),
                                                "ROLLBACK"}));
    DB_EXT_ERROR xerr = Xerr();
    EXPECT_EQ(xerr.native_error, 0);
    EXPECT_STREQ(xerr.message, "Error executing stored procedure zel.delete_states");
    EXPECT_STREQ(xerr.text, "State is used by a version");
    // A CLI failure rolls back too.
    Mark();
    scli::on_sql(DeleteSql(1, 200)).fail(SQL_ERROR, {"S1000", -244, "gone"});
    EXPECT_EQ(quiet_stderr([&] { return DB_sp_states_def_delete(nullptr, ids.data(), 450); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(Sent(), (std::vector<std::string>{DeleteSql(1, 200), "ROLLBACK"}));
    EXPECT_EQ(Xerr().native_error, -244);
}

} // namespace
