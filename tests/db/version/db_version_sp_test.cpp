// Version operations through the catalogue's stored functions: the statement
// and parameters of each call, the codes the functions answer mapped to
// engine codes with their messages, the name insert_version stored, and CLI
// failures.
#include "db/version/db_version.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/version/state_fixture.h"

namespace
{

using namespace state_test;

const std::string kInsert = "EXECUTE FUNCTION insert_version(?,?,?,?,?,?,?,?, ?) ";

VERSION Version()
{
    VERSION v{};
    strcpy(v.name, "edits");
    strcpy(v.owner, "bob");
    v.version_id = 5;
    v.status = VERSION_PROTECTED;
    v.state_id = 12;
    strcpy(v.description, "road edits");
    strcpy(v.parent_name, "DEFAULT");
    strcpy(v.parent_owner, "zel");
    v.parent_version_id = 1;
    v.creation_time = kCreatedTime;
    return v;
}

class DbVersionSp : public StateTest
{
  protected:
    scli::Answer &InsertAnswer(int32_t code, const std::string &message, const std::string &name)
    {
        return scli::on_sql(kInsert)
            .columns(
                {{"code", SQL_INTEGER}, {"message", SQL_VARCHAR, 255}, {"name", SQL_CHAR, 128}})
            .row({scli::i32(code), message.empty() ? scli::null() : scli::varchar(message),
                  name.empty() ? scli::null() : scli::chr(name, name.size())});
    }
};

TEST_F(DbVersionSp, EachCallSendsItsParameters)
{
    VERSION v = Version();
    VERSION nameless = Version();
    nameless.name[0] = '\0';
    const struct {
        std::function<int32_t()> call;
        std::string sql;
        std::vector<std::string> params;
        std::string routine;
    } cases[] = {
        {[&] { return DB_sp_versions_def_change_state(nullptr, &v, 30); },
         "EXECUTE FUNCTION change_version_state(?,?,?)",
         {"bob.edits", "12", "30"},
         "zel.change_version_state"},
        {[&] { return DB_sp_versions_def_change_state(nullptr, &nameless, 30); },
         "EXECUTE FUNCTION change_version_state(?,?,?)",
         {"NULL", "12", "30"},
         "zel.change_version_state"},
        {[&] { return DB_sp_versions_def_delete(nullptr, "bob", "edits"); },
         "EXECUTE FUNCTION zel:delete_version(?) ",
         {"bob.edits"},
         "zel.delete_version"},
        // Without an owner the name still has its period: the function does
        // not take the caller as the owner.
        {[&] { return DB_sp_versions_def_delete(nullptr, "", "edits"); },
         "EXECUTE FUNCTION zel:delete_version(?) ",
         {".edits"},
         "zel.delete_version"},
        {[&] { return DB_sp_versions_def_update(nullptr, &v); },
         "EXECUTE FUNCTION update_version(ROW(?,?,?,?,?,?,?,?,?,?)::version_info)",
         {"edits", "bob", "2", "12", "road edits", "DEFAULT", "zel", "2024-05-06 07:08:09", "5",
          "1"},
         "zel.update_version"},
        {[&] { return DB_sp_versions_def_rename(nullptr, "bob", "edits", "it's"); },
         "EXECUTE FUNCTION zel:rename_version(?,?,?) ",
         {"bob", "edits", "it's"},
         "zel.version_util.rename_version"},
        {[&] { return DB_sp_versions_def_rename(nullptr, "", "edits", ""); },
         "EXECUTE FUNCTION zel:rename_version(?,?,?) ",
         {"NULL", "edits", "NULL"},
         "zel.version_util.rename_version"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        ExpectFunctionCall(c.call, c.sql, c.params, c.routine, -20126, ZE_VERSION_NOT_FOUND,
                           "Version does not exist");
    }
    EXPECT_TRUE(scli::unused_answers().empty());
    EXPECT_EQ(DB_sp_versions_def_update(nullptr, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(DB_sp_versions_def_delete(nullptr, nullptr, "x"), ZE_NULL_POINTER);
}

TEST_F(DbVersionSp, InsertTakesTheNameTheFunctionStored)
{
    VERSION v = Version();
    v.parent_version_id = 0;
    char name[DB_VERSION_NAME_OUT_SIZE] = "";
    InsertAnswer(0, "", "edits07");
    ASSERT_EQ(DB_sp_versions_def_insert(nullptr, &v, 1, name), 0);
    EXPECT_STREQ(name, "edits07");
    EXPECT_EQ(catalog_test::params_of(kInsert),
              (std::vector<std::string>{"edits", "2", "5", "12", "road edits", "DEFAULT", "zel",
                                        "NULL", "1"}));
    EXPECT_EQ(Sent(), (std::vector<std::string>{kInsert, "COMMIT"}));
    // Name rule 2 takes the name as it is.
    InsertAnswer(0, "", "edits");
    ASSERT_EQ(DB_sp_versions_def_insert(nullptr, &v, 0, name), 0);
    EXPECT_EQ(catalog_test::params_of(kInsert).back(), "2");
    // A returned name longer than the caller's buffer is cut to it.
    InsertAnswer(0, "", std::string(128, 'n'));
    ASSERT_EQ(DB_sp_versions_def_insert(nullptr, &v, 1, name), 0);
    EXPECT_EQ(std::string(name), std::string(DB_VERSION_NAME_OUT_SIZE - 1, 'n'));
    // A taken name.
    strcpy(name, "kept");
    InsertAnswer(-20177, "Version name exists", "");
    EXPECT_EQ(DB_sp_versions_def_insert(nullptr, &v, 0, name), ZE_VERSION_EXISTS);
    EXPECT_STREQ(name, "kept");
    DB_EXT_ERROR xerr = Xerr();
    EXPECT_STREQ(xerr.message, "Error executing stored procedure zel.insert_version");
    EXPECT_STREQ(xerr.text, "Version name exists");
    EXPECT_EQ(DB_sp_versions_def_insert(nullptr, &v, 0, nullptr), ZE_NULL_POINTER);
}

} // namespace
