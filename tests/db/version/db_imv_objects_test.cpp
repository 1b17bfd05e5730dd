// The IMV view's objects: refused for a table that is not multiversioned and
// when its trigger texts cannot be made (nothing made then); made in order,
// each committed, with the view and its sequence dropped again when a later
// object fails; and the drop of view and sequence, both run.
#include "db/version/db_imv_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/db/version/registered_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using registered_test::xerr;
using Strings = std::vector<std::string>;

const std::string kView = "CREATE VIEW roads_imv AS SELECT 1 FROM t";
const std::string kSequence =
    "CREATE SEQUENCE R7 INCREMENT BY -1 MAXVALUE 2147483647 MINVALUE 2136997887";
const Strings kTriggers = {"CREATE TRIGGER V7_INSERT", "CREATE TRIGGER V7_DELETE",
                           "CREATE TRIGGER V7_UPDATE"};
const std::string kDropView = "DROP VIEW bob.roads_imv";
const std::string kDropSequence = "DROP SEQUENCE bob.R7";

class ImvObjectsTest : public MvTest
{
  protected:
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
        MvTest::TearDown();
    }
    static REGISTRATION Versioned()
    {
        REGISTRATION r = roads();
        r.object_flags = REG_ROWID_COLUMN | REG_ROWID_ENGINE | REG_MULTIVERSION;
        return r;
    }
    int32_t CreateFromTexts(const REGISTRATION &r)
    {
        const char *const triggers[] = {kTriggers[0].c_str(), kTriggers[1].c_str(),
                                        kTriggers[2].c_str()};
        return db_imv_view_create_from_texts(&r, kView.c_str(), triggers);
    }
};

} // namespace

TEST_F(ImvObjectsTest, OnlyMultiversionedTables)
{
    const REGISTRATION plain = roads();
    EXPECT_EQ(DB_registered_table_create_imv_view(instance_, &plain), ZE_NOT_MULTIVERSION);
    EXPECT_EQ(DB_registered_table_delete_imv_view(instance_, &plain), ZE_NOT_MULTIVERSION);
    EXPECT_TRUE(executed().empty());
    EXPECT_EQ(DB_registered_table_create_imv_view(instance_, nullptr), ZE_NULL_POINTER);
}

// No trigger text is built yet: the view would be a read-only shell whose
// inserts take no id from the sequence, so it is refused before anything is
// made.
TEST_F(ImvObjectsTest, AViewWithoutTriggerTextsIsRefusedUpFront)
{
    const REGISTRATION r = Versioned();
    scli::on_sql("SELECT * FROM gis:bob.roads")
        .columns({{"objectid", SQL_INTEGER, 0, 0, SQL_NO_NULLS}, {"name", SQL_VARCHAR, 32}})
        .repeat();
    EXPECT_EQ(DB_registered_table_create_imv_view(instance_, &r), ZE_NOT_SUPPORTED);
    for (const std::string &sql : executed())
        EXPECT_EQ(sql.find("CREATE"), std::string::npos) << sql;
    EXPECT_EQ(db_imv_triggers_available(&r), ZE_NOT_SUPPORTED);

    // A view text that cannot be built is refused as well.
    REGISTRATION bad = Versioned();
    strcpy(bad.rowid_column, "x)");
    EXPECT_EQ(DB_registered_table_create_imv_view(instance_, &bad), ZE_INVALID_ARGUMENT);
}

TEST_F(ImvObjectsTest, ObjectsAreMadeInOrderEachCommitted)
{
    ASSERT_EQ(CreateFromTexts(Versioned()), ZE_SUCCESS);
    EXPECT_EQ(executed(), (Strings{kView, "COMMIT", kSequence, "COMMIT", kTriggers[0], "COMMIT",
                                   kTriggers[1], "COMMIT", kTriggers[2], "COMMIT"}));
}

// A failure after the view drops the view (its triggers with it) and the
// sequence; the failing statement's error is the one left to read.
TEST_F(ImvObjectsTest, AHalfMadeViewIsDroppedAgain)
{
    const Strings made = {kView, kSequence, kTriggers[0], kTriggers[1], kTriggers[2]};
    const char *messages[] = {
        "Unable to create IMV view roads_imv for table bob.roads",
        "Unable to create sequence R7 for IMV view roads_imv on table bob.roads",
        "Unable to create IMV insert trigger for view roads_imv for table bob.roads",
        "Unable to create IMV delete trigger for view roads_imv for table bob.roads",
        "Unable to update IMV insert trigger for view roads_imv for table bob.roads",
    };
    setenv("ZELVERBOSE", "1", 1);
    for (size_t failing = 0; failing < made.size(); failing++) {
        SCOPED_TRACE(made[failing]);
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(made[failing]).fail(SQL_ERROR, {"42000", -201, "syntax"});
        if (failing > 0)
            scli::on_sql(kDropSequence).fail(SQL_ERROR, {"S1000", -8300, "no sequence"});
        std::string printed;
        {
            StderrCapture capture;
            EXPECT_EQ(CreateFromTexts(Versioned()), ZE_NO_PERMISSIONS);
            printed = capture.text();
        }
        EXPECT_NE(printed.find(messages[failing]), std::string::npos) << printed;
        Strings expected;
        for (size_t i = 0; i < failing; i++) {
            expected.push_back(made[i]);
            expected.push_back("COMMIT");
        }
        expected.push_back(made[failing]);
        if (failing > 0) {
            expected.push_back(kDropView);
            expected.push_back("COMMIT");
            expected.push_back(kDropSequence);
        }
        EXPECT_EQ(executed(), expected);
        EXPECT_EQ(xerr().code, 0); // the undo's own failure is not what the caller sees
    }
}

TEST_F(ImvObjectsTest, DropRunsBothAndReportsTheFirstFailure)
{
    const REGISTRATION r = Versioned();
    ASSERT_EQ(DB_registered_table_delete_imv_view(instance_, &r), ZE_SUCCESS);
    EXPECT_EQ(executed(), (Strings{kDropView, "COMMIT", kDropSequence, "COMMIT"}));

    // The view refused (-25), the sequence gone (-51).
    const struct {
        bool view_fails, sequence_fails;
        int32_t rc, xerr_code;
    } cases[] = {{false, true, ZE_DBMS_ERROR, ZE_DBMS_ERROR},
                 {true, false, ZE_NO_PERMISSIONS, 0},
                 {true, true, ZE_NO_PERMISSIONS, 0}};
    for (const auto &c : cases) {
        mark();
        DB_instance_clear_xerr();
        if (c.view_fails)
            scli::on_sql(kDropView).fail(SQL_ERROR, {"42000", -206, "no view"});
        if (c.sequence_fails)
            scli::on_sql(kDropSequence).fail(SQL_ERROR, {"S1000", -8300, "no sequence"});
        EXPECT_EQ(quiet_stderr([&] { return DB_registered_table_delete_imv_view(instance_, &r); }),
                  c.rc);
        EXPECT_EQ(xerr().code, c.xerr_code);
        Strings expected = {kDropView};
        if (!c.view_fails)
            expected.push_back("COMMIT");
        expected.push_back(kDropSequence);
        if (!c.sequence_fails)
            expected.push_back("COMMIT");
        EXPECT_EQ(executed(), expected);
    }
    REGISTRATION bad = Versioned();
    strcpy(bad.imv_view_name, "v; drop");
    mark();
    EXPECT_EQ(DB_registered_table_delete_imv_view(instance_, &bad), ZE_INVALID_IDENTIFIER);
    EXPECT_TRUE(executed().empty());
}
