// Tests restoring rows of a state and the row equivalence operations: the
// working log made and deleted, the statements in order (the equivalence
// table first with ZELEQUIVS), each view text read under its own state,
// nothing done by the equivalence operations without ZELEQUIVS, and a
// failure at any statement rolling the operation back and deleting its log.
#include "db/version/db_state_restore.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/version/rows_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

using scli::join;

const std::string kLineageA = "0,1,5";
const std::string kLineageB = "0,2,6";

class RestoreTest : public RowsTest
{
  protected:
    void SetUp() override
    {
        RowsTest::SetUp();
        log_ = next_log_number();
        mark();
    }

    // The kind-3 text of roads under a state, as a FROM item aliased V__7.
    std::string view(int32_t state, const std::string &lineage)
    {
        info_.kind = 3;
        info_.state_id = state;
        info_.lineage_id = 0;
        info_.start_id = 0;
        info_.lineage = lineage.c_str();
        info_.logfile = nullptr;
        table_.table_name = "gis:bob.roads";
        strcpy(table_.alias, "V__7");
        char *text = nullptr;
        EXPECT_EQ(db_mv_view_build(instance_, &info_, table_.table_name, "bob", 0, 0, &text, 0, 1),
                  0);
        std::string out = text != nullptr ? text : "";
        free(text);
        return out;
    }

    static Strings restore_statements(bool equivalences)
    {
        const std::string ids =
            " IN (SELECT zel_row_id FROM   gis:bob_zel_logfile_data WHERE  logfile_data_id = 1)";
        Strings sql;
        if (equivalences)
            sql = {"DELETE FROM gis:'bob'.e7 WHERE  EQUIVALENCE_STATE_ID = 5 AND ZEL_ROW_ID IN "
                   "(SELECT l.zel_row_id FROM   gis:bob_zel_logfile_data l,gis:'bob'.A7 a WHERE  "
                   "l.zel_row_id = a.objectid AND l.logfile_data_id = 1 AND a.ZEL_STATE_ID = 5)",
                   "DELETE FROM gis:'bob'.e7 WHERE  ZEL_STATE_ID = 5 AND ZEL_ROW_ID" + ids};
        return join(
            {sql,
             {"DELETE FROM gis:'bob'.A7 WHERE  ZEL_STATE_ID = 5 AND objectid" + ids,
              "DELETE FROM gis:'bob'.d7 WHERE  DELETED_AT = 5 AND ZEL_DELETES_ROW_ID" + ids}});
    }
    int32_t restore()
    {
        REGISTRATION r = roads();
        const int32_t ids[] = {11, 12};
        return DB_registered_table_restore_rows(instance_, &r, 5, ids, 2);
    }

    // The view's build (the spatial column read for each half, the setter)
    // and the setter again before the statement that reads it.
    static Strings built(int32_t state)
    {
        return {kSpatialOfRoads, kSpatialOfRoads, setter(state, -1), setter(state, -1)};
    }
    static std::string added(const std::string &view, int32_t other)
    {
        return "INSERT INTO gis:'bob'.e7 SELECT V__7.ZEL_STATE_ID,V__7.objectid," +
               std::to_string(other) + " FROM   gis:bob_zel_logfile_data l," + view +
               " WHERE  V__7.objectid = l.zel_row_id AND l.logfile_data_id = 1";
    }
    static std::string removed(const std::string &view, int32_t other)
    {
        return "DELETE FROM gis:'bob'.e7 e WHERE ROW(ZEL_STATE_ID,ZEL_ROW_ID) IN ROW(SELECT "
               "V__7.ZEL_STATE_ID,V__7.objectid FROM gis:bob_zel_logfile_data l, " +
               view +
               " WHERE V__7.objectid = l.zel_row_id AND l.logfile_data_id = 1) AND "
               "EQUIVALENCE_STATE_ID = " +
               std::to_string(other);
    }
    static std::string removed_inverse(const std::string &view, int32_t other)
    {
        return "DELETE FROM gis:'bob'.e7 e WHERE EQUIVALENCE_STATE_ID = " + std::to_string(other) +
               " AND EXISTS(SELECT * FROM   gis:bob_zel_logfile_data l," + view +
               " WHERE  V__7.objectid = l.zel_row_id AND l.logfile_data_id = 1 AND "
               "e.ZEL_STATE_ID = V__7.ZEL_STATE_ID AND e.ZEL_ROW_ID = V__7.objectid)";
    }

    using Operation = int32_t (*)(DB_INSTANCE *, const REGISTRATION *, int32_t, const char *,
                                  int32_t, const char *, const int32_t *, int32_t, int32_t);
    int32_t run(Operation operation, int32_t both_ways, const std::string &lineage_a = kLineageA)
    {
        REGISTRATION r = roads();
        const int32_t ids[] = {11, 12};
        return operation(instance_, &r, 5, lineage_a.c_str(), 6, kLineageB.c_str(), ids, 2,
                         both_ways);
    }

    int32_t log_ = 0;
};

} // namespace

TEST_F(RestoreTest, RemovesTheStatesEditsOfTheRows)
{
    ASSERT_EQ(restore(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({made_log(log_, 1),
                                written_ids(1),
                                restore_statements(false),
                                {dropped_log(log_)}})); // nothing committed after the log
    EXPECT_EQ(store_->ids("bob", 1), (std::vector<int32_t>{11, 12}));
    EXPECT_TRUE(store_->logs.empty());
    // With ZELEQUIVS the state's equivalence rows go first.
    setenv("ZELEQUIVS", "", 1);
    log_ = next_log_number();
    mark();
    ASSERT_EQ(restore(), ZE_SUCCESS);
    const Strings sent = executed();
    const Strings expected = restore_statements(true);
    ASSERT_GE(sent.size(), expected.size() + 1);
    // The log of this run has data id 2.
    Strings with_two;
    for (std::string sql : expected) {
        sql.replace(sql.find("logfile_data_id = 1"), 19, "logfile_data_id = 2");
        with_two.push_back(sql);
    }
    EXPECT_EQ(sent, join({made_log(log_, 2), written_ids(2), with_two, {dropped_log(log_)}}));
}

// The first statement's failure, and any later one's, roll back and delete
// the working log; the statement's code and record reach the caller.
TEST_F(RestoreTest, AFailingStatementRollsTheRestoreBack)
{
    setenv("ZELEQUIVS", "1", 1);
    setenv("ZELVERBOSE", "1", 1);
    const Strings all = restore_statements(true);
    const struct {
        scli::Diag diag;
        int32_t code;
    } failures[] = {
        {{"S0002", -206, "no table"}, ZE_TABLE_NOT_FOUND},
        {{"42000", -201, "syntax"}, ZE_NO_PERMISSIONS},
        {{"S1000", -243, "read"}, ZE_DBMS_ERROR},
        {{"S1000", -244, "read"}, ZE_DBMS_ERROR},
    };
    for (size_t step = 0; step < all.size(); step++) {
        SCOPED_TRACE(step);
        store_ = &scli::log_store_install();
        log_ = next_log_number();
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(all[step]).fail(SQL_ERROR, failures[step].diag);
        EXPECT_EQ(quiet_stderr([&] { return restore(); }), failures[step].code);
        EXPECT_EQ(executed(), join({made_log(log_, 1),
                                    written_ids(1),
                                    Strings(all.begin(), all.begin() + static_cast<long>(step) + 1),
                                    {"ROLLBACK", dropped_log(log_)}}));
        EXPECT_TRUE(store_->logs.empty());
        if (failures[step].code == ZE_DBMS_ERROR) {
            DB_EXT_ERROR x;
            DB_instance_get_xerr(&x);
            EXPECT_EQ(x.code, ZE_DBMS_ERROR);
            EXPECT_EQ(x.native_error, ZE_DBMS_ERROR);
        }
    }
}

TEST_F(RestoreTest, RestoreRefusals)
{
    REGISTRATION r = roads();
    const int32_t ids[] = {1};
    EXPECT_EQ(DB_registered_table_restore_rows(instance_, nullptr, 5, ids, 1), ZE_NULL_POINTER);
    EXPECT_EQ(DB_registered_table_restore_rows(instance_, &r, 5, nullptr, 1), ZE_NULL_POINTER);
    EXPECT_EQ(DB_registered_table_restore_rows(instance_, &r, 5, ids, -1), ZE_INVALID_ARGUMENT);
    strcpy(r.rowid_column, "a b");
    EXPECT_EQ(DB_registered_table_restore_rows(instance_, &r, 5, ids, 1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(executed(), Strings{});
    EXPECT_TRUE(store_->logs.empty());
}

// Without ZELEQUIVS the equivalence operations do nothing at all, not
// even look at their arguments.
TEST_F(RestoreTest, EquivalenceNeedsZelequivs)
{
    for (Operation op :
         {&DB_registered_table_equivalence_rows, &DB_registered_table_unequivalence_rows}) {
        EXPECT_EQ(run(op, 1), ZE_SUCCESS);
        EXPECT_EQ(op(instance_, nullptr, 5, nullptr, 6, nullptr, nullptr, 3, 1), ZE_SUCCESS);
    }
    EXPECT_EQ(executed(), Strings{});
    EXPECT_TRUE(store_->logs.empty());
}

// One way writes the rows A sees against B; both ways also the rows B sees
// against A, read under B's state. The removal mirrors them.
TEST_F(RestoreTest, EquivalenceRowsOneWayOrBoth)
{
    setenv("ZELEQUIVS", "1", 1);
    const std::string a = view(5, kLineageA);
    const std::string b = view(6, kLineageB);
    const struct {
        Operation op;
        int32_t both_ways;
        Strings statements;
    } cases[] = {
        {&DB_registered_table_equivalence_rows, 0, join({built(5), {added(a, 6)}})},
        {&DB_registered_table_equivalence_rows, 1,
         join({built(5), {added(a, 6)}, built(6), {added(b, 5)}})},
        {&DB_registered_table_unequivalence_rows, 0, join({built(5), {removed(a, 6)}})},
        {&DB_registered_table_unequivalence_rows, 1,
         join({built(5), {removed(a, 6)}, built(6), {removed_inverse(b, 5)}})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.statements.back().substr(0, 60));
        store_ = &scli::log_store_install();
        log_ = next_log_number();
        mark();
        ASSERT_EQ(run(c.op, c.both_ways), ZE_SUCCESS);
        EXPECT_EQ(executed(),
                  join({made_log(log_, 1), written_ids(1), c.statements, {dropped_log(log_)}}));
        EXPECT_TRUE(store_->logs.empty());
    }
}

// A lineage that reads the state through the table's getters reads the
// stored view, which the setter steers: it runs right before the statement.
TEST_F(RestoreTest, AStoredViewIsReadUnderItsState)
{
    setenv("ZELEQUIVS", "1", 1);
    view_count("ZEL_std_equiv_view_7", 1);
    mark();
    ASSERT_EQ(run(&DB_registered_table_equivalence_rows, 0, kGetterLineage), ZE_SUCCESS);
    const Strings sent = executed();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(Strings(sent.end() - 3, sent.end()),
              (Strings{setter(5, -1), added("ZEL_std_equiv_view_7 V__7", 6), dropped_log(log_)}));
}

TEST_F(RestoreTest, AFailedEquivalenceIsRolledBack)
{
    setenv("ZELEQUIVS", "1", 1);
    const std::string a = view(5, kLineageA);
    const std::string b = view(6, kLineageB);
    mark();
    scli::on_sql(added(b, 5)).fail(SQL_ERROR, {"S1000", -271, "no insert"});
    EXPECT_EQ(quiet_stderr([&] { return run(&DB_registered_table_equivalence_rows, 1); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(executed(), join({made_log(log_, 1),
                                written_ids(1),
                                built(5),
                                {added(a, 6)},
                                built(6),
                                {added(b, 5), "ROLLBACK", dropped_log(log_)}}));
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, ZE_DBMS_ERROR);
    EXPECT_TRUE(store_->logs.empty());
    // A blank lineage is refused before the log is made.
    mark();
    EXPECT_EQ(run(&DB_registered_table_unequivalence_rows, 1, " "), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(executed(), Strings{});
}
