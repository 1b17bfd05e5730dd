// Tests the single-row edits of a registered table (one deletion, one adds
// row; neither committed) and the modified flag through the catalogue
// function and its codes.
#include "db/version/db_registered_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

const std::string kFlag = "EXECUTE FUNCTION zel:zel.flag_mvtable_modified(?,?)";

class EditTest : public MvTest
{
  protected:
    void SetUp() override
    {
        MvTest::SetUp();
        r_ = roads();
        r_.object_flags = REG_MULTIVERSION;
        mark();
    }
    REGISTRATION r_;
};

} // namespace

TEST_F(EditTest, SingleRowEditsStayInTheOpenTransaction)
{
    EXPECT_EQ(DB_registered_table_insert_delete_row(instance_, &r_, 12, 3, 9), 0);
    EXPECT_EQ(DB_registered_table_delete_adds_row(instance_, &r_, 0, 12, 9), 0);
    const Strings sql = {
        "INSERT INTO gis:'bob'.d7 (ZEL_STATE_ID,ZEL_DELETES_ROW_ID,DELETED_AT) VALUES (3,12,9)",
        "DELETE FROM gis:'bob'.A7 WHERE objectid = 12 AND ZEL_STATE_ID = 9"};
    EXPECT_EQ(executed(), sql);
    // Failures come back recorded.
    mark();
    scli::on_sql(sql[0]).fail(SQL_ERROR, {"23000", -268, "unique"});
    EXPECT_NE(quiet_stderr(
                  [&] { return DB_registered_table_insert_delete_row(instance_, &r_, 12, 3, 9); }),
              0);
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    EXPECT_EQ(x.native_error, -268);
    REGISTRATION bad = r_;
    strcpy(bad.rowid_column, "id; drop");
    EXPECT_EQ(DB_registered_table_delete_adds_row(instance_, &bad, 0, 12, 9), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_registered_table_insert_delete_row(instance_, nullptr, 1, 1, 1), ZE_NULL_POINTER);
    EXPECT_EQ(executed(), Strings{sql[0]});
}

TEST_F(EditTest, ModifiedFlagThroughTheCatalogueFunction)
{
    STATE state;
    memset(&state, 0, sizeof(state));
    state.state_id = 9;
    EXPECT_EQ(DB_registered_table_mark_modified(instance_, &r_, nullptr), 0);
    EXPECT_TRUE(executed().empty());
    const struct {
        int32_t result, code, native;
    } cases[] = {
        {0, 0, 0}, {-20172, -172, 0}, {5, ZE_DBMS_ERROR, 5}, {-21000, ZE_DBMS_ERROR, -21000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.result);
        mark();
        DB_instance_clear_xerr();
        scli::on_sql(kFlag).columns({{"", SQL_INTEGER}}).row({scli::i32(c.result)});
        EXPECT_EQ(DB_registered_table_mark_modified(instance_, &r_, &state), c.code);
        EXPECT_EQ(executed(), Strings{kFlag}); // not committed
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, c.code);
        EXPECT_EQ(x.native_error, c.native);
        if (c.code != 0) {
            EXPECT_NE(std::string(x.message).find("zel.flag_mvtable_modified"), std::string::npos);
        }
    }
    scli::on_sql(kFlag).fail(SQL_ERROR, {"S1000", -674, "no routine"});
    EXPECT_EQ(
        quiet_stderr([&] { return DB_registered_table_mark_modified(instance_, &r_, &state); }),
        ZE_DBMS_ERROR);
}
