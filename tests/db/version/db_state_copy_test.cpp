// Tests copying changes between states: the statements in order (with
// ZELEQUIVS the equivalence rows both ways), one commit at the end, no rows
// touched counting as success, a failure at any step rolling back all the
// copy did, and long lists going into the statements whole.
#include "db/version/db_state_copy.h"

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

Strings Statements(const std::string &source, const std::string &lineage)
{
    return {
        "INSERT INTO gis:'bob'.A7 (objectid,name,shape,ZEL_STATE_ID) SELECT "
        "objectid,name,shape,9 FROM gis:'bob'.A7 a WHERE a.ZEL_STATE_ID IN (" +
            source +
            ") AND NOT EXISTS (SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID FROM gis:'bob'.d7 d WHERE "
            "DELETED_AT IN (" +
            source + ") AND a.ZEL_STATE_ID = d.ZEL_STATE_ID AND a.objectid = d.ZEL_DELETES_ROW_ID)",
        "INSERT INTO gis:'bob'.d7 (ZEL_STATE_ID,ZEL_DELETES_ROW_ID,DELETED_AT) SELECT "
        "a.ZEL_STATE_ID, d.ZEL_DELETES_ROW_ID, 9 FROM TABLE(MULTISET(SELECT a2.objectid, "
        "a2.ZEL_STATE_ID FROM gis:'bob'.A7 a2 WHERE a2.ZEL_STATE_ID IN (" +
            lineage +
            ") AND NOT EXISTS (SELECT ZEL_DELETES_ROW_ID, ZEL_STATE_ID FROM gis:'bob'.d7 d2 "
            "WHERE DELETED_AT IN (" +
            lineage +
            ") AND a2.ZEL_STATE_ID = d2.ZEL_STATE_ID AND a2.objectid = d2.ZEL_DELETES_ROW_ID) "
            "UNION ALL SELECT b.objectid, 0 FROM gis:bob.roads b WHERE NOT EXISTS (SELECT "
            "ZEL_DELETES_ROW_ID, ZEL_STATE_ID FROM gis:'bob'.d7 d3 WHERE DELETED_AT IN (" +
            lineage +
            ") AND b.objectid = d3.ZEL_DELETES_ROW_ID))) a, TABLE(MULTISET(SELECT DISTINCT "
            "ZEL_DELETES_ROW_ID FROM gis:'bob'.d7 WHERE DELETED_AT IN (" +
            source + "))) d WHERE a.objectid = d.ZEL_DELETES_ROW_ID",
    };
}

Strings Equivalences(const std::string &source)
{
    const std::string tail = " FROM   gis:'bob'.A7 a WHERE  a.ZEL_STATE_ID IN (" + source +
                             ") AND  NOT EXISTS (  SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID  FROM  "
                             " gis:'bob'.d7 d WHERE  DELETED_AT IN (" +
                             source +
                             ") AND         a.ZEL_STATE_ID = d.ZEL_STATE_ID AND         "
                             "a.objectid = d.ZEL_DELETES_ROW_ID) ";
    const std::string head =
        "INSERT INTO gis:'bob'.e7 (ZEL_STATE_ID,ZEL_ROW_ID,EQUIVALENCE_STATE_ID) SELECT ";
    return {head + "9,a.objectid,a.ZEL_STATE_ID" + tail,
            head + "a.ZEL_STATE_ID,a.objectid,9" + tail};
}

using scli::join;

class CopyTest : public MvTest
{
  protected:
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
        MvTest::TearDown();
    }
    int32_t copy(const char *source = "3,4", const char *lineage = "0,1,9")
    {
        REGISTRATION r = roads();
        return DB_registered_table_copy_changes(instance_, &r, 9, source, lineage);
    }
};

} // namespace

TEST_F(CopyTest, CopiesTheSourcesEditsAndCommitsOnce)
{
    ASSERT_EQ(copy(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({Statements("3,4", "0,1,9"), {"COMMIT"}}));
    mark();
    setenv("ZELEQUIVS", "", 1); // its presence counts
    ASSERT_EQ(copy(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({Statements("3,4", "0,1,9"), Equivalences("3,4"), {"COMMIT"}}));
}

TEST_F(CopyTest, NoRowsTouchedIsASuccess)
{
    for (const std::string &sql : Statements("3,4", "0,1,9"))
        scli::on_sql(sql).no_data();
    ASSERT_EQ(copy(), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({Statements("3,4", "0,1,9"), {"COMMIT"}}));
}

// Lists far beyond any fixed statement area go into the statements whole.
TEST_F(CopyTest, LongListsAreCopiedWhole)
{
    std::string source;
    for (int id = 10; source.size() < 6000; id++)
        source += (source.empty() ? "" : ",") + std::to_string(id);
    ASSERT_EQ(copy(source.c_str()), ZE_SUCCESS);
    EXPECT_EQ(executed(), join({Statements(source, "0,1,9"), {"COMMIT"}}));
}

// A failing statement rolls back all the copy did, and nothing runs after
// it; the code is mapped and the failure reported.
TEST_F(CopyTest, AFailureAtAnyStepRollsEverythingBack)
{
    setenv("ZELEQUIVS", "1", 1);
    setenv("ZELVERBOSE", "1", 1);
    const Strings all = join({Statements("3,4", "0,1,9"), Equivalences("3,4")});
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
        SCOPED_TRACE(step);
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(all[step]).fail(SQL_ERROR, failure.diag);
        std::string printed;
        {
            StderrCapture capture;
            EXPECT_EQ(copy(), failure.code);
            printed = capture.text();
        }
        EXPECT_EQ(executed(), join({Strings(all.begin(), all.begin() + static_cast<long>(step) + 1),
                                    {"ROLLBACK"}}));
        EXPECT_NE(printed.find("DB_registered_table_copy_changes (gis:'bob'.d7,9) Execute "
                               "Immediate error ("),
                  std::string::npos)
            << printed;
        if (failure.code == ZE_DBMS_ERROR) {
            DB_EXT_ERROR x;
            DB_instance_get_xerr(&x);
            EXPECT_EQ(x.code, ZE_DBMS_ERROR);
        }
    }
    // A commit that fails takes the copy back too.
    mark();
    scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
    EXPECT_EQ(quiet_stderr([&] { return copy(); }), ZE_DBMS_ERROR);
    EXPECT_EQ(executed(), join({all, {"COMMIT", "ROLLBACK"}}));
}

TEST_F(CopyTest, RefusedBeforeAnythingRuns)
{
    REGISTRATION good = roads();
    REGISTRATION bad = roads();
    strcpy(bad.rowid_column, "id; drop table x");
    REGISTRATION missing = roads();
    strcpy(missing.table_name, "nowhere");
    const struct {
        const char *what;
        const REGISTRATION *registration;
        const char *source;
        const char *lineage;
        int32_t code;
    } cases[] = {
        {"no registration", nullptr, "1", "1", ZE_NULL_POINTER},
        {"no source list", &good, nullptr, "1", ZE_NULL_POINTER},
        {"no target lineage", &good, "1", nullptr, ZE_NULL_POINTER},
        {"blank source list", &good, " ", "1", ZE_INVALID_ARGUMENT},
        {"empty target lineage", &good, "1", "", ZE_INVALID_ARGUMENT},
        {"row-id column not a name", &bad, "1", "1", ZE_INVALID_ARGUMENT},
        {"base table missing", &missing, "1", "1", ZE_TABLE_NOT_FOUND},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(
            DB_registered_table_copy_changes(instance_, c.registration, 9, c.source, c.lineage),
            c.code);
    }
    EXPECT_EQ(executed(), Strings{});
}
