// Tests folding a state lineage into the base table: the statements in
// order (with ZELEQUIVS the equivalence rows first), nothing committed, no
// rows touched counting as success, and a failure at every step rolling
// the transaction back with nothing run after it.
#include "db/version/db_state_base.h"

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

const std::string kSetter = "EXECUTE PROCEDURE ZEL_lineageid_set7(9, 0, 0, 4, -1)";

// The fold list's rows as state 9 sees them, without the alias.
const std::string kView =
    "TABLE (MULTISET(SELECT b.objectid,b.name,b.shape , 0 ZEL_STATE_ID , b.VE_ROW_ID FROM "
    "gis:bob.roads b WHERE b.objectid NOT IN (SELECT ZEL_DELETES_ROW_ID FROM gis:'bob'.d7 dd  "
    "WHERE ZEL_STATE_ID = 0 AND DELETED_AT IN (1,2,3) ) UNION ALL SELECT "
    "a.objectid,a.name,a.shape , a.ZEL_STATE_ID , a.VE_ROW_ID  FROM  gis:'bob'.A7 a  WHERE "
    "a.objectid NOT IN (SELECT ZEL_DELETES_ROW_ID  FROM gis:'bob'.d7 dd  WHERE DELETED_AT IN "
    "(1,2,3) AND a.ZEL_STATE_ID = dd.ZEL_STATE_ID ) AND a.ZEL_STATE_ID IN (1,2,3) ))";

const Strings kEquivalences = {
    "UPDATE gis:'bob'.e7  SET    ZEL_STATE_ID = 0 WHERE  EXISTS (SELECT * FROM " + kView +
        " src WHERE  src.ZEL_STATE_ID = gis:'bob'.e7.ZEL_STATE_ID and src.objectid = "
        "gis:'bob'.e7.ZEL_ROW_ID)",
    "UPDATE gis:'bob'.e7 SET    EQUIVALENCE_STATE_ID = 0 WHERE  EQUIVALENCE_STATE_ID IN (1,2,3) "
    "AND ZEL_STATE_ID <> 0",
    "DELETE FROM gis:'bob'.e7 WHERE  ZEL_STATE_ID IN (2,3) OR EQUIVALENCE_STATE_ID IN (2,3)",
};

const Strings kRows = {
    "DELETE FROM gis:bob.roads WHERE objectid IN (SELECT DISTINCT ZEL_DELETES_ROW_ID FROM "
    "gis:'bob'.d7 WHERE DELETED_AT IN (1,2,3))",
    "INSERT INTO gis:bob.roads SELECT a.objectid,a.name,a.shape FROM gis:'bob'.A7 a WHERE "
    "a.ZEL_STATE_ID IN (1,2,3) AND NOT EXISTS (SELECT * FROM gis:'bob'.d7 d WHERE a.objectid = "
    "d.ZEL_DELETES_ROW_ID AND a.ZEL_STATE_ID = d.ZEL_STATE_ID AND d.DELETED_AT IN (1,2,3))",
    "DELETE FROM gis:'bob'.A7 WHERE zel_state_id IN (2,3) OR zel_state_id = 9",
    "DELETE FROM gis:'bob'.d7 WHERE  deleted_at IN (2,3) OR deleted_at = 9",
    "UPDATE gis:'bob'.d7 SET    ZEL_STATE_ID = 0 WHERE  ZEL_STATE_ID IN (1,2,3)",
};

using scli::join;

class FoldTest : public MvTest
{
  protected:
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
        MvTest::TearDown();
    }
    int32_t fold(const char *fold_list = "1,2,3", const char *drop_list = "2,3")
    {
        REGISTRATION r = roads();
        return DB_registered_table_make_state_base(instance_, &r, 9, 4, fold_list, drop_list);
    }
    // What the view text reads before the statements.
    static Strings prelude()
    {
        return {kSpatialOfRoads, kSpatialOfRoads, kSetter};
    }
};

} // namespace

// Nothing is committed: the caller commits the whole fold.
TEST_F(FoldTest, FoldsTheLineageIntoTheBaseTable)
{
    ASSERT_EQ(fold(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({prelude(), kRows}));
}

TEST_F(FoldTest, EquivalenceRowsComeFirstWithZelequivs)
{
    setenv("ZELEQUIVS", "", 1); // its presence counts
    ASSERT_EQ(fold(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({prelude(), kEquivalences, kRows}));
}

TEST_F(FoldTest, NoRowsTouchedIsASuccess)
{
    for (const std::string &sql : kRows)
        scli::on_sql(sql).no_data();
    ASSERT_EQ(fold(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({prelude(), kRows}));
}

// A failing statement rolls the fold back and nothing runs after it; the
// first equivalence statement has nothing of the fold to undo.
TEST_F(FoldTest, AFailureAtAnyStepRollsBackAndStops)
{
    setenv("ZELEQUIVS", "1", 1);
    setenv("ZELVERBOSE", "1", 1);
    const Strings all = join({kEquivalences, kRows});
    const struct {
        scli::Diag diag;
        int32_t code;
    } failures[] = {
        {{"S0002", -206, "no table"}, ZE_TABLE_NOT_FOUND},
        {{"42000", -201, "syntax"}, ZE_NO_PERMISSIONS},
        {{"S1000", -243, "read"}, ZE_DBMS_ERROR},
    };
    for (size_t step = 0; step < all.size(); step++) {
        const auto &failure = failures[step % 3];
        SCOPED_TRACE(all[step]);
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(all[step]).fail(SQL_ERROR, failure.diag);
        std::string printed;
        {
            StderrCapture capture;
            EXPECT_EQ(fold(), failure.code);
            printed = capture.text();
        }
        Strings expected = join({prelude(), Strings(all.begin(), all.begin() + step + 1)});
        if (step > 0)
            expected.push_back("ROLLBACK");
        EXPECT_EQ(executed(), expected);
        // The fold's own steps name the fold; the others the shared step.
        const bool own = step == 3 || step > 4;
        EXPECT_NE(printed.find(own ? "DB_registered_table_make_state_base (gis:bob.roads,9) "
                                     "Execute Immediate error ("
                                   : "S_execute_and_commit_dml"),
                  std::string::npos)
            << printed;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        if (failure.code == ZE_DBMS_ERROR) {
            EXPECT_EQ(x.code, ZE_DBMS_ERROR); // the failing step's, kept over the rollback
        }
    }
}

// A base table that cannot be described after the replaced rows left it:
// rolled back, with the description's error kept.
TEST_F(FoldTest, FailedDescriptionRollsBack)
{
    const int before = scli::call_count("SQLColumns");
    ASSERT_EQ(fold(), ZE_SUCCESS);
    const int per_fold = scli::call_count("SQLColumns") - before;
    ASSERT_GT(per_fold, 0);
    mark();
    scli::fail_call("SQLColumns", scli::call_count("SQLColumns") + per_fold, SQL_ERROR,
                    {"S1000", -211, "catalogue"});
    EXPECT_NE(quiet_stderr([&] { return fold(); }), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({prelude(), {kRows[0], "ROLLBACK"}}));
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_NE(x.code, 0);
}

TEST_F(FoldTest, RefusedBeforeAnythingRuns)
{
    REGISTRATION good = roads();
    REGISTRATION bad = roads();
    strcpy(bad.rowid_column, "id; drop table x");
    const struct {
        const char *what;
        const REGISTRATION *registration;
        const char *fold_list;
        const char *drop_list;
        int32_t code;
    } cases[] = {
        {"no registration", nullptr, "1", "1", ZE_NULL_POINTER},
        {"no fold list", &good, nullptr, "1", ZE_NULL_POINTER},
        {"no drop list", &good, "1", nullptr, ZE_NULL_POINTER},
        {"blank fold list", &good, " \n", "1", ZE_INVALID_ARGUMENT},
        {"empty drop list", &good, "1", "", ZE_INVALID_ARGUMENT},
        {"row-id column not a name", &bad, "1", "1", ZE_INVALID_ARGUMENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DB_registered_table_make_state_base(instance_, c.registration, 9, 4, c.fold_list,
                                                      c.drop_list),
                  c.code);
    }
    EXPECT_EQ(executed(), Strings{});
}
