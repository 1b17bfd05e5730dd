// Tests the trimming of states: the statements over the adds, deletes and
// (with ZELEQUIVS) equivalence tables in order, the commit that ends the
// trim also when the last statement touches no row, the rollback after a
// failing statement and the mapping of its code; and the shared statement
// step with its commit modes.
#include "db/version/db_state_trim_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string kTrim = "1,2,3";
const std::string kDrop = "2,3";
const std::string kSetter = "EXECUTE PROCEDURE ZEL_lineageid_set7(9, 0, 0, 4, -1)";

// The current adds of the trim list, without its alias.
const std::string kAddsView =
    "TABLE (MULTISET(SELECT a.ZEL_STATE_ID,a.objectid  FROM  gis:'bob'.A7 a  WHERE "
    "ROW(a.objectid,a.ZEL_STATE_ID) NOT IN (SELECT ROW( ZEL_DELETES_ROW_ID,ZEL_STATE_ID)  FROM "
    "gis:'bob'.d7 WHERE DELETED_AT IN (1,2,3)) AND a.ZEL_STATE_ID IN (1,2,3) ))";

const Strings kEquivalences = {
    "UPDATE gis:'bob'.e7 SET    ZEL_STATE_ID = 9 WHERE  EXISTS (SELECT * FROM " + kAddsView +
        " src WHERE src.ZEL_STATE_ID = gis:'bob'.e7.ZEL_STATE_ID and src.objectid = "
        "gis:'bob'.e7.ZEL_ROW_ID)",
    "UPDATE gis:'bob'.e7  SET    gis:'bob'.e7.EQUIVALENCE_STATE_ID = 9 WHERE  "
    "gis:'bob'.e7.EQUIVALENCE_STATE_ID IN (1,2,3) AND gis:'bob'.e7.ZEL_STATE_ID <> 9 AND NOT "
    "EXISTS (SELECT d.ZEL_DELETES_ROW_ID FROM   gis:'bob'.d7 d WHERE  d.ZEL_DELETES_ROW_ID = "
    "gis:'bob'.e7.ZEL_ROW_ID AND d.DELETED_AT IN (1,2,3) AND gis:'bob'.e7.EQUIVALENCE_STATE_ID < "
    "d.DELETED_AT)",
    "DELETE FROM gis:'bob'.e7 WHERE  ZEL_STATE_ID IN (2,3) OR EQUIVALENCE_STATE_ID IN (2,3)",
};

const Strings kRows = {
    "UPDATE gis:'bob'.A7 SET ZEL_STATE_ID = 9 WHERE gis:'bob'.A7.ZEL_STATE_ID IN (1,2,3) AND NOT "
    "EXISTS (SELECT * FROM gis:'bob'.d7 d WHERE d.DELETED_AT IN (1,2,3) AND "
    "gis:'bob'.A7.objectid = d.ZEL_DELETES_ROW_ID AND gis:'bob'.A7.ZEL_STATE_ID = "
    "d.ZEL_STATE_ID)",
    "DELETE FROM gis:'bob'.A7 WHERE zel_state_id IN (2,3)",
    "UPDATE gis:'bob'.d7 SET deleted_at = 9 WHERE deleted_at IN (1,2,3) AND zel_state_id NOT IN "
    "(1,2,3)",
    "UPDATE gis:'bob'.d7 SET zel_state_id = 9 WHERE deleted_at NOT IN (1,2,3) AND zel_state_id "
    "IN (1,2,3)",
    "DELETE FROM gis:'bob'.d7 WHERE deleted_at IN (2,3) OR zel_state_id IN (2,3)",
};

using scli::join;

class TrimTest : public MvTest
{
  protected:
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
        MvTest::TearDown();
    }
    int32_t trim(const char *trim_list = kTrim.c_str(), const char *drop_list = kDrop.c_str())
    {
        REGISTRATION r = roads();
        return DB_registered_table_trim_states(instance_, &r, 9, 4, trim_list, drop_list);
    }
};

} // namespace

TEST_F(TrimTest, MovesTheRunIntoTheKeptStateAndCommits)
{
    ASSERT_EQ(trim(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({{kSpatialOfRoads, kSetter}, kRows, {"COMMIT"}}));
}

TEST_F(TrimTest, EquivalenceRowsFollowWithZelequivs)
{
    setenv("ZELEQUIVS", "", 1); // its presence counts
    ASSERT_EQ(trim(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({{kSpatialOfRoads, kSetter}, kEquivalences, kRows, {"COMMIT"}}));
}

// A trim whose last statement deletes nothing is still made permanent.
TEST_F(TrimTest, NoRowsTouchedIsASuccessThatCommits)
{
    for (const std::string &sql : kRows)
        scli::on_sql(sql).no_data();
    ASSERT_EQ(trim(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({{kSpatialOfRoads, kSetter}, kRows, {"COMMIT"}}));
}

TEST_F(TrimTest, AFailingStatementRollsTheTrimBack)
{
    const struct {
        size_t step;
        scli::Diag diag;
        int32_t code;
        int32_t native;
    } cases[] = {
        {0, {"S0002", -206, "no table"}, ZE_TABLE_NOT_FOUND, 0},
        {2, {"42000", -201, "syntax"}, ZE_NO_PERMISSIONS, 0},
        {4, {"S1000", -243, "read"}, ZE_DBMS_ERROR, ZE_DBMS_ERROR},
    };
    setenv("ZELVERBOSE", "1", 1);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.step);
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(kRows[c.step]).fail(SQL_ERROR, c.diag);
        std::string printed;
        {
            StderrCapture capture;
            EXPECT_EQ(trim(), c.code);
            printed = capture.text();
        }
        EXPECT_NE(printed.find("DB_registered_table_trim_state (gis:bob.roads,9) Execute "
                               "Immediate error (" +
                               std::to_string(c.code == ZE_DBMS_ERROR ? c.native : c.code) + ")"),
                  std::string::npos)
            << printed;
        const Strings run(kRows.begin(), kRows.begin() + static_cast<long>(c.step) + 1);
        EXPECT_EQ(executed(), join({{kSpatialOfRoads, kSetter}, run, {"ROLLBACK"}}));
        if (c.code == ZE_DBMS_ERROR) {
            DB_EXT_ERROR x;
            DB_instance_get_xerr(&x);
            EXPECT_EQ(x.code, ZE_DBMS_ERROR);
            EXPECT_EQ(x.native_error, c.native);
        }
    }
}

TEST_F(TrimTest, EquivalenceFailures)
{
    setenv("ZELEQUIVS", "1", 1);
    // The first statement's failure is returned as it is.
    scli::on_sql(kEquivalences[0]).fail(SQL_ERROR, {"42000", -201, "syntax"});
    EXPECT_EQ(trim(), ZE_NO_PERMISSIONS);
    EXPECT_EQ(executed(), (Strings{kSpatialOfRoads, kSetter, kEquivalences[0]}));
    // A later one rolls back.
    mark();
    scli::on_sql(kEquivalences[1]).fail(SQL_ERROR, {"S0002", -206, "no table"});
    EXPECT_EQ(trim(), ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(executed(),
              (Strings{kSpatialOfRoads, kSetter, kEquivalences[0], kEquivalences[1], "ROLLBACK"}));
}

TEST_F(TrimTest, RefusedBeforeAnythingRuns)
{
    REGISTRATION good = roads();
    REGISTRATION bad = roads();
    strcpy(bad.rowid_column, "id; drop table x");
    const struct {
        const char *what;
        const REGISTRATION *registration;
        const char *trim_list;
        const char *drop_list;
        int32_t code;
    } cases[] = {
        {"no registration", nullptr, "1", "1", ZE_NULL_POINTER},
        {"no trim list", &good, nullptr, "1", ZE_NULL_POINTER},
        {"no drop list", &good, "1", nullptr, ZE_NULL_POINTER},
        {"blank trim list", &good, " ", "1", ZE_INVALID_ARGUMENT},
        {"empty drop list", &good, "1", "", ZE_INVALID_ARGUMENT},
        {"row-id column not a name", &bad, "1", "1", ZE_INVALID_ARGUMENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DB_registered_table_trim_states(instance_, c.registration, 9, 4, c.trim_list,
                                                  c.drop_list),
                  c.code);
    }
    EXPECT_EQ(executed(), Strings{});
}

TEST_F(TrimTest, StatementStepCommitsByMode)
{
    const std::string sql = "DELETE FROM t WHERE x = 1";
    const struct {
        int32_t mode;
        bool no_rows;
        Strings executed;
    } cases[] = {
        {DB_DML_COMMIT, false, {sql, "COMMIT"}},
        {DB_DML_KEEP_OPEN, false, {sql}},
        {DB_DML_COMMIT_VIEW, false, {sql, "COMMIT"}},
        {DB_DML_COMMIT_VIEW, true, {sql, "COMMIT"}},
        {DB_DML_KEEP_OPEN, true, {sql}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        mark();
        if (c.no_rows)
            scli::on_sql(sql).no_data();
        EXPECT_EQ(db_execute_and_commit_dml(sql.c_str(), c.mode, "m"), ZE_SUCCESS);
        EXPECT_EQ(executed(), c.executed);
    }
}

TEST_F(TrimTest, StatementStepMapsAndReportsFailures)
{
    const std::string sql = "UPDATE t SET x = 1";
    setenv("ZELVERBOSE", "1", 1);
    const struct {
        scli::Diag diag;
        int32_t code;
    } cases[] = {
        {{"S0002", -206, "no table"}, ZE_TABLE_NOT_FOUND},
        {{"42000", -201, "syntax"}, ZE_NO_PERMISSIONS},
        {{"S1000", -243, "read"}, ZE_DBMS_ERROR},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        mark();
        scli::on_sql(sql).fail(SQL_ERROR, c.diag);
        std::string printed;
        {
            StderrCapture capture;
            EXPECT_EQ(db_execute_and_commit_dml(sql.c_str(), DB_DML_COMMIT, "Error when testing."),
                      c.code);
            printed = capture.text();
        }
        EXPECT_NE(
            printed.find("S_execute_and_commit_dml (\"" + sql + "\") Execute Immediate error"),
            std::string::npos);
        EXPECT_NE(printed.find("Error when testing.\n"), std::string::npos);
        EXPECT_EQ(executed(), Strings{sql}); // neither commit nor rollback
    }
    // A failed commit is a failure with the connection's diagnostic.
    mark();
    scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
    EXPECT_EQ(
        quiet_stderr([&] { return db_execute_and_commit_dml(sql.c_str(), DB_DML_COMMIT, "m"); }),
        ZE_DBMS_ERROR);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -908);
    EXPECT_EQ(db_execute_and_commit_dml(nullptr, DB_DML_COMMIT, "m"), ZE_NULL_POINTER);
}
