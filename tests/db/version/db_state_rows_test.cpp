// Tests copying rows between states: the working logs made, filled and
// deleted, the statements in order with each view text read under its own
// state (the lineage setter run before every statement that reads a view
// or a lineage list, so the last equivalence statement sees the target and
// not the source), the equivalence rows with ZELEQUIVS, a failure at any
// step rolling back everything and deleting the logs, and the refusals.
#include "db/version/db_state_rows.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
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

class CopyRowsTest : public RowsTest
{
  protected:
    void SetUp() override
    {
        RowsTest::SetUp();
        first_ = next_log_number();
        second_ = first_ + 1;
        v1_ = view(3, kGetterLineage, first_, 1);
        v2_ = view(9, "0,1,9", second_, 2);
        v3_ = view(3, kGetterLineage, second_, 2);
        mark();
    }

    // The kind-3 text of roads under a state, restricted to a working log.
    std::string view(int32_t state, const std::string &lineage, int32_t log_number, int32_t data_id)
    {
        LOGFILE log;
        memset(&log, 0, sizeof(log));
        snprintf(log.name, sizeof(log.name), "gis:bob.%s", log_name(log_number).c_str());
        log.data_id = data_id;
        info_.kind = 3;
        info_.state_id = state;
        info_.lineage_id = 0;
        info_.start_id = 0;
        info_.lineage = lineage.c_str();
        info_.logfile = &log;
        table_.table_name = "gis:bob.roads";
        strcpy(table_.alias, "roads");
        char *text = nullptr;
        EXPECT_EQ(db_mv_view_build(instance_, &info_, table_.table_name, "bob", 0, 0, &text, 0, 1),
                  0);
        std::string out = text != nullptr ? text : "";
        free(text);
        return out;
    }

    // A view's build (the spatial column read for each half, the setter)
    // and the setter again before the statement that reads it.
    static Strings built(int32_t state, int32_t data_id)
    {
        return {kSpatialOfRoads, kSpatialOfRoads, setter(state, data_id), setter(state, data_id)};
    }

    // The operation's statements after the working logs, in order.
    Strings fill() const
    {
        return join({built(3, 1),
                     {"INSERT INTO gis:bob_zel_logfile_data  (logfile_data_id, zel_row_id)  "
                      "SELECT  2, roads.objectid FROM " +
                          v1_ + " ",
                      dropped_log(first_)}});
    }
    Strings copy_statements(bool equivalences) const
    {
        Strings sql = {"DELETE FROM gis:'bob'.A7 WHERE  ZEL_STATE_ID = 9 AND objectid IN (SELECT "
                       "l.zel_row_id FROM   gis:bob_zel_logfile_data l WHERE  l.logfile_data_id = "
                       "2)"};
        if (equivalences)
            sql.push_back(
                "DELETE FROM gis:'bob'.e7 WHERE (ZEL_STATE_ID = 9 OR EQUIVALENCE_STATE_ID "
                "= 9) AND ZEL_ROW_ID IN (SELECT zel_row_id FROM   "
                "gis:bob_zel_logfile_data WHERE  logfile_data_id = 2)");
        sql = join({sql,
                    built(9, 2),
                    {"INSERT INTO gis:'bob'.d7 SELECT /*+  */ roads.ZEL_STATE_ID,roads.objectid,9 "
                     "FROM " +
                     v2_ + " "},
                    built(3, 2),
                    {"INSERT INTO gis:'bob'.A7 (objectid ,name ,shape ,ZEL_STATE_ID )SELECT "
                     "objectid ,name,shape,9 FROM   " +
                     v3_ + " "}});
        if (!equivalences)
            return sql;
        return join(
            {sql,
             {setter(3, 1),
              "INSERT INTO gis:'bob'.e7 SELECT /*+  */ 9,e.ZEL_ROW_ID,e.EQUIVALENCE_STATE_ID FROM  "
              " "
              "gis:'bob'.e7 e," +
                  v1_ +
                  " WHERE  e.ZEL_STATE_ID = roads.ZEL_STATE_ID AND e.ZEL_ROW_ID = roads.objectid",
              setter(3, 1),
              "INSERT INTO gis:'bob'.e7 SELECT DISTINCT e.ZEL_STATE_ID,e.ZEL_ROW_ID,9 FROM   "
              "gis:'bob'.e7 e, gis:bob_zel_logfile_data l WHERE  e.ZEL_ROW_ID = l.zel_row_id AND "
              "l.logfile_data_id = 2 AND e.ZEL_STATE_ID NOT IN (3,9) AND e.EQUIVALENCE_STATE_ID IN "
              "(" +
                  kGetterLineage +
                  ") AND  NOT EXISTS (   SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID   FROM   "
                  "gis:'bob'.d7 d   WHERE  DELETED_AT IN (" +
                  kGetterLineage +
                  ") AND          e.ZEL_ROW_ID = d.ZEL_DELETES_ROW_ID AND          "
                  "e.EQUIVALENCE_STATE_ID <= d.ZEL_STATE_ID )",
              setter(3, 1),
              "INSERT INTO gis:'bob'.e7 SELECT roads.ZEL_STATE_ID,roads.objectid,9 FROM  " + v1_ +
                  " ",
              // The target's view, read under the target's state.
              setter(9, 2),
              "INSERT INTO gis:'bob'.e7 SELECT /*+  */ roads.ZEL_STATE_ID,roads.objectid,3 FROM  "
              " " +
                  v2_ + " "}});
    }
    Strings whole(bool equivalences) const
    {
        return join({made_log(first_, 1),
                     written_ids(1),
                     made_log(second_, 2),
                     fill(),
                     copy_statements(equivalences),
                     {dropped_log(second_)}});
    }

    int32_t copy(const int32_t *ids, int32_t count)
    {
        REGISTRATION r = roads();
        return DB_registered_table_copy_state_rows(instance_, &r, 3, kGetterLineage.c_str(), 9,
                                                   "0,1,9", ids, count);
    }
    int32_t copy()
    {
        const int32_t ids[] = {11, 0, 12, -4};
        return copy(ids, 4);
    }

    int32_t first_ = 0, second_ = 0;
    std::string v1_, v2_, v3_;
};

} // namespace

TEST_F(CopyRowsTest, CopiesTheRowsThroughTwoWorkingLogs)
{
    ASSERT_EQ(copy(), ZE_SUCCESS);
    EXPECT_EQ(executed(), whole(false)); // nothing committed after the logs
    // The ids above 0 went into the first log; both logs are gone.
    EXPECT_EQ(store_->ids("bob", 1), (std::vector<int32_t>{11, 12}));
    EXPECT_TRUE(store_->logs.empty());
}

// With ZELEQUIVS the links follow, and every statement that reads a view
// text or a lineage list is preceded by the setter of its own state: the
// last one reads the target's view under the target, not under the source
// that the statements before it were read under.
TEST_F(CopyRowsTest, EachViewIsReadUnderItsOwnState)
{
    setenv("ZELEQUIVS", "", 1); // its presence counts
    v1_ = view(3, kGetterLineage, first_, 1);
    v2_ = view(9, "0,1,9", second_, 2);
    v3_ = view(3, kGetterLineage, second_, 2);
    mark();
    ASSERT_EQ(copy(), ZE_SUCCESS);
    EXPECT_EQ(executed(), whole(true));
    EXPECT_TRUE(store_->logs.empty());
}

// Ids that are all 0 or below leave the logs empty; the statements still
// run, joining nothing.
TEST_F(CopyRowsTest, NoIdsAboveZeroCopyNothing)
{
    const int32_t ids[] = {0, -1};
    ASSERT_EQ(copy(ids, 2), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({made_log(first_, 1),
                                made_log(second_, 2),
                                fill(),
                                copy_statements(false),
                                {dropped_log(second_)}}));
    EXPECT_TRUE(store_->data.empty());
    ASSERT_EQ(copy(nullptr, 0), ZE_SUCCESS);
}

// A failure at any step after the logs rolls back all the copy did (the
// second log's row and ids among it) and deletes both logs; the failing
// step's code and record reach the caller, and nothing runs after it.
TEST_F(CopyRowsTest, AFailureAtAnyStepRollsEverythingBack)
{
    setenv("ZELEQUIVS", "1", 1);
    setenv("ZELVERBOSE", "1", 1);
    v1_ = view(3, kGetterLineage, first_, 1);
    v2_ = view(9, "0,1,9", second_, 2);
    v3_ = view(3, kGetterLineage, second_, 2);
    const Strings after_logs = join({fill(), copy_statements(true)});
    const struct {
        scli::Diag diag;
        int32_t code;
    } failures[] = {
        {{"S0002", -206, "no table"}, ZE_TABLE_NOT_FOUND},
        {{"42000", -201, "syntax"}, ZE_NO_PERMISSIONS},
        {{"S1000", -243, "read"}, ZE_DBMS_ERROR},
    };
    const std::string first_dropped = dropped_log(first_);
    size_t failed = 0;
    for (size_t step = 0; step < after_logs.size(); step++) {
        const std::string &sql = after_logs[step];
        // The builds' reads of the spatial column and the log system's own
        // statements are not the copy's. A text met before fails there.
        const auto seen =
            std::find(after_logs.begin(), after_logs.begin() + static_cast<long>(step), sql);
        if (sql == kSpatialOfRoads || sql == first_dropped ||
            seen != after_logs.begin() + static_cast<long>(step))
            continue;
        SCOPED_TRACE(sql.substr(0, 120));
        // A setter's failure reaches the caller through the view builder,
        // the fill's through the log system; each maps a missing table as
        // the statements do, but prints nothing.
        const bool quiet = sql.rfind("EXECUTE PROCEDURE", 0) == 0 ||
                           sql.rfind("INSERT INTO gis:bob_zel_logfile_data", 0) == 0;
        const auto &failure = quiet ? failures[0] : failures[failed % 3];
        failed++;
        store_ = &scli::log_store_install();
        first_ = next_log_number();
        second_ = first_ + 1;
        v1_ = view(3, kGetterLineage, first_, 1);
        v2_ = view(9, "0,1,9", second_, 2);
        v3_ = view(3, kGetterLineage, second_, 2);
        const Strings now = join({fill(), copy_statements(true)});
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(now[step]).fail(SQL_ERROR, failure.diag);
        std::string printed;
        {
            StderrCapture capture;
            EXPECT_EQ(copy(), failure.code);
            printed = capture.text();
        }
        // Before the first statement of the copy ran (the source's view
        // failed) there is nothing to roll back.
        const Strings undo = step == 2
                                 ? Strings{dropped_log(first_), dropped_log(second_)}
                                 : Strings{"ROLLBACK", dropped_log(first_), dropped_log(second_)};
        EXPECT_EQ(executed(),
                  join({made_log(first_, 1), written_ids(1), made_log(second_, 2),
                        Strings(now.begin(), now.begin() + static_cast<long>(step) + 1), undo}));
        EXPECT_TRUE(store_->logs.empty());
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        if (failure.code == ZE_DBMS_ERROR) {
            EXPECT_EQ(x.code, ZE_DBMS_ERROR);
        }
        if (!quiet) {
            EXPECT_FALSE(printed.empty());
        }
    }
    EXPECT_EQ(failed, 12u); // every setter, the fill and each statement
}

class CopyRowsNoStateTest : public CopyRowsTest
{
  protected:
    bool adds_have_state() const override
    {
        return false;
    }
};

TEST_F(CopyRowsNoStateTest, AnAddsTableWithoutAStateColumnIsRefused)
{
    EXPECT_EQ(quiet_stderr([&] { return copy(); }), ZE_COLUMN_NOT_FOUND);
    const Strings sql = executed();
    ASSERT_GE(sql.size(), 3u);
    // Nothing is copied with the source's state: the copy is undone.
    EXPECT_EQ(Strings(sql.end() - 3, sql.end()),
              (Strings{"ROLLBACK", dropped_log(first_), dropped_log(second_)}));
    EXPECT_TRUE(store_->logs.empty());
}

TEST_F(CopyRowsTest, RefusedBeforeAnythingRuns)
{
    REGISTRATION good = roads();
    REGISTRATION bad = roads();
    strcpy(bad.rowid_column, "id; drop table x");
    REGISTRATION odd_table = roads();
    strcpy(odd_table.table_name, "a table");
    const int32_t ids[] = {1};
    const struct {
        const char *what;
        const REGISTRATION *registration;
        const char *source;
        const char *target;
        const int32_t *ids;
        int32_t count;
        int32_t code;
    } cases[] = {
        {"no registration", nullptr, "1", "1", ids, 1, ZE_NULL_POINTER},
        {"no source lineage", &good, nullptr, "1", ids, 1, ZE_NULL_POINTER},
        {"no target lineage", &good, "1", nullptr, ids, 1, ZE_NULL_POINTER},
        {"no ids", &good, "1", "1", nullptr, 1, ZE_NULL_POINTER},
        {"negative count", &good, "1", "1", ids, -1, ZE_INVALID_ARGUMENT},
        {"blank source lineage", &good, " ", "1", ids, 1, ZE_INVALID_ARGUMENT},
        {"empty target lineage", &good, "1", "", ids, 1, ZE_INVALID_ARGUMENT},
        {"row-id column not a name", &bad, "1", "1", ids, 1, ZE_INVALID_ARGUMENT},
        {"table not a name", &odd_table, "1", "1", ids, 1, ZE_INVALID_ARGUMENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DB_registered_table_copy_state_rows(instance_, c.registration, 3, c.source, 9,
                                                      c.target, c.ids, c.count),
                  c.code);
    }
    EXPECT_EQ(executed(), Strings{});
    EXPECT_TRUE(store_->logs.empty());
}
