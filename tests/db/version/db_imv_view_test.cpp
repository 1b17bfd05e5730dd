// The IMV view text of a registration: the exact text (base rows not deleted
// in the current lineage, adds rows of the current lineage not deleted in
// it), pretty printing, caller buffers, refused names, and the trigger
// texts, which are not made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/db/version/mv_fixture.h"

namespace
{

class ImvTest : public MvTest
{
  protected:
    void SetUp() override
    {
        MvTest::SetUp();
        registration_ = roads();
    }
    REGISTRATION registration_;
};

const std::string kLineage = "zel.version_util.in_current_lineage (";

const std::string kImv =
    "CREATE VIEW roads_imv AS " + std::string("SELECT ") +
    "b.objectid,b.name,b.shape , b.VE_ROW_ID " + " FROM gis:bob.roads b " + "WHERE NOT EXISTS " +
    "(SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID " + "FROM gis:'bob'.d7 d " +
    "WHERE ZEL_STATE_ID = 0 AND " + kLineage + "DELETED_AT) > 0 AND " +
    " b.objectid = d.ZEL_DELETES_ROW_ID AND " + "d.ZEL_STATE_ID = 0) " + "UNION ALL " + "SELECT " +
    "a.objectid,a.name,a.shape , a.VE_ROW_ID " + " FROM gis:'bob'.A7 a " + "WHERE NOT EXISTS " +
    "(SELECT ZEL_DELETES_ROW_ID,ZEL_STATE_ID " + "FROM gis:'bob'.d7 d " + "WHERE " + kLineage +
    "DELETED_AT) > 0 AND " + " a.objectid = d.ZEL_DELETES_ROW_ID AND " +
    "a.ZEL_STATE_ID = d.ZEL_STATE_ID AND " + kLineage + "a.ZEL_STATE_ID) > 0 AND " +
    "d.ZEL_STATE_ID = a.ZEL_STATE_ID) AND " + kLineage + "a.ZEL_STATE_ID) > 0 ";

// Each NOT EXISTS subquery closes with a condition its rows meet, and the
// adds rows are kept to states of the current lineage outside it.
TEST_F(ImvTest, TextOfTheView)
{
    char *text = nullptr;
    ASSERT_EQ(db_imv_view_sql(&registration_, columns_, 3, 0, &text), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), kImv);
    free(text);
    EXPECT_EQ(executed(), (std::vector<std::string>{kSpatialOfRoads, kSpatialOfRoads}));

    setenv("ZELPRETTYSQL", "1", 1);
    ASSERT_EQ(db_imv_view_sql(&registration_, columns_, 3, 0, &text), 0);
    const std::string pretty = text;
    free(text);
    EXPECT_EQ(std::count(pretty.begin(), pretty.end(), '\n'), 21); // one per piece
    EXPECT_EQ(without_line_breaks(pretty), kImv);
}

TEST_F(ImvTest, CallerBufferAndRefusals)
{
    unsetenv("ZELPRETTYSQL");
    std::vector<char> storage(kImv.size() + 2, '#');
    char *text = storage.data();
    ASSERT_EQ(
        db_imv_view_sql(&registration_, columns_, 3, static_cast<int32_t>(storage.size()), &text),
        0);
    EXPECT_EQ(std::string(storage.data()), kImv);
    std::vector<char> short_storage(kImv.size() + 1, '#');
    text = short_storage.data();
    EXPECT_EQ(db_imv_view_sql(&registration_, columns_, 3,
                              static_cast<int32_t>(short_storage.size()) - 1, &text),
              ZE_SQL_BUFFER_FULL);
    EXPECT_EQ(short_storage.back(), '#');

    for (auto change : {+[](REGISTRATION *r) { strcpy(r->imv_view_name, ""); },
                        +[](REGISTRATION *r) { strcpy(r->imv_view_name, "v; drop"); },
                        +[](REGISTRATION *r) { strcpy(r->rowid_column, "x)"); },
                        +[](REGISTRATION *r) { strcpy(r->owner, "o'x"); }}) {
        REGISTRATION r = registration_;
        change(&r);
        text = nullptr;
        EXPECT_EQ(db_imv_view_sql(&r, columns_, 3, 0, &text), ZE_INVALID_ARGUMENT);
        EXPECT_EQ(text, nullptr);
    }
    // A failed growable build hands nothing back.
    text = nullptr;
    EXPECT_EQ(db_imv_view_sql(&registration_, columns_, 0, 0, &text), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(db_imv_view_sql(nullptr, columns_, 3, 0, &text), ZE_NULL_POINTER);
}

TEST_F(ImvTest, TriggerTextsAreEmpty)
{
    for (int32_t kind : {0, 1, 2}) {
        char *text = reinterpret_cast<char *>(1);
        EXPECT_EQ(db_imv_trigger_sql(&registration_, nullptr, 0, 3, kind, 0, &text), 0);
        EXPECT_EQ(text, nullptr);
        char block[8] = "xxxxxxx";
        text = block;
        EXPECT_EQ(db_imv_trigger_sql(&registration_, nullptr, 0, 3, kind, sizeof(block), &text), 0);
        EXPECT_STREQ(block, "");
    }
    char *text = nullptr;
    EXPECT_EQ(db_imv_trigger_sql(&registration_, nullptr, 0, 3, 3, 0, &text), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_imv_trigger_sql(nullptr, nullptr, 0, 3, 0, 0, &text), ZE_NULL_POINTER);
    EXPECT_TRUE(executed().empty());
}

} // namespace
