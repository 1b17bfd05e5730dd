// Registrations written through the catalogue's registry routines: the call
// text and the values of each routine (NULLs by the object flags and empty
// texts), the mapping of the answered status with the routine's message,
// and CLI failures recorded as -51; nothing is committed.
#include "db/version/db_registry_sp_internal.h"

#include <gtest/gtest.h>

#include <time.h>

#include <functional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/db/version/registered_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using registered_test::params_of;
using registered_test::xerr;
using Strings = std::vector<std::string>;

const std::string kInsert = "{call zel:zel.insert_registration (?,?,?,?,?,?,?,?,?,?,?)}";
const std::string kUpdate = "{call zel:zel.update_registration (?,?,?,?,?,?,?)}";
const std::string kDelete = "{call zel:zel.delete_registration (?) }";
const std::string kRename = "{call zel:zel.change_registration_table_name (?,?)}";
const std::string kClear = "{call zel:zel.clear_registration_modified (?) }";

void answer(const std::string &sql, int32_t status)
{
    scli::on_sql(sql).columns({{"status", SQL_INTEGER}}).row({scli::i32(status)});
}

class RegistrySpTest : public MvTest
{
  protected:
    // A multiversioned layer with an engine-kept row-id column.
    static REGISTRATION Full()
    {
        REGISTRATION r = roads();
        strcpy(r.database_name, "GIS");
        strcpy(r.table_name, "Roads");
        strcpy(r.description, "road net");
        r.object_flags = REG_ROWID_COLUMN | REG_ROWID_ENGINE | REG_LAYER | REG_MULTIVERSION;
        strcpy(r.config_keyword, "DEFAULTS");
        r.minimum_id = 3000000000u; // sent as the unsigned value it is
        return r;
    }
};

} // namespace

TEST_F(RegistrySpTest, InsertFoldsNamesAndSendsNullsByFlags)
{
    REGISTRATION full = Full();
    answer(kInsert, 0);
    const time_t before = time(nullptr);
    ASSERT_EQ(DB_sp_registry_def_insert(instance_, &full), ZE_SUCCESS);
    const time_t after = time(nullptr);
    EXPECT_STREQ(full.database_name, "gis");
    EXPECT_STREQ(full.table_name, "roads");
    EXPECT_EQ(executed(), Strings{kInsert}); // the caller commits
    Strings sent = params_of(kInsert).at(0);
    ASSERT_EQ(sent.size(), 11u);
    const time_t registered = std::stoll(sent[7]);
    EXPECT_TRUE(registered >= before && registered <= after) << sent[7];
    sent[7] = "now";
    EXPECT_EQ(sent, (Strings{"7", "gis", "roads", "bob", "objectid", "road net", "15", "now",
                             "DEFAULTS", "3000000000", "roads_imv"}));

    // A layer without a row-id column: no column, no minimum id; empty
    // texts go in as NULL.
    REGISTRATION layer = roads();
    layer.object_flags = REG_LAYER;
    layer.imv_view_name[0] = '\0';
    layer.minimum_id = 5;
    answer(kInsert, 0);
    ASSERT_EQ(DB_sp_registry_def_insert(instance_, &layer), ZE_SUCCESS);
    sent = params_of(kInsert).at(1);
    sent[7] = "now";
    EXPECT_EQ(sent, (Strings{"7", "gis", "roads", "bob", "NULL", "NULL", "4", "now", "NULL", "NULL",
                             "NULL"}));
}

TEST_F(RegistrySpTest, EachCallSendsItsValues)
{
    REGISTRATION full = Full();
    REGISTRATION user_kept = Full();
    user_kept.object_flags = REG_ROWID_COLUMN;
    user_kept.description[0] = '\0';
    const struct {
        std::function<int32_t()> call;
        std::string sql;
        Strings params;
    } cases[] = {
        {[&] { return DB_sp_registry_def_update(instance_, &full); },
         kUpdate,
         {"7", "objectid", "road net", "15", "DEFAULTS", "3000000000", "roads_imv"}},
        // The minimum id goes only with an engine-kept column.
        {[&] { return DB_sp_registry_def_update(instance_, &user_kept); },
         kUpdate,
         {"7", "objectid", "NULL", "1", "DEFAULTS", "NULL", "roads_imv"}},
        {[&] { return DB_sp_registry_def_delete(instance_, 7); }, kDelete, {"7"}},
        {[&] { return DB_sp_registry_def_change_table_name(instance_, 7, "streets"); },
         kRename,
         {"streets", "7"}},
        {[&] { return db_registration_clear_modified(instance_, 7); }, kClear, {"7"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        mark();
        answer(c.sql, 0);
        EXPECT_EQ(c.call(), ZE_SUCCESS);
        EXPECT_EQ(executed(), Strings{c.sql});
        EXPECT_EQ(params_of(c.sql).back(), c.params);
    }
    EXPECT_TRUE(scli::unused_answers().empty());
}

// A status the routine raised as an engine error comes back as that code;
// any other status is -51 with the status as native error. The message
// names the routine.
TEST_F(RegistrySpTest, StatusesMapToEngineCodes)
{
    REGISTRATION full = Full();
    const struct {
        std::function<int32_t()> call;
        std::string sql, routine;
    } calls[] = {
        {[&] { return DB_sp_registry_def_insert(instance_, &full); }, kInsert,
         "insert_registration"},
        {[&] { return DB_sp_registry_def_update(instance_, &full); }, kUpdate,
         "update_registration"},
        {[&] { return DB_sp_registry_def_delete(instance_, 7); }, kDelete, "delete_registration"},
        {[&] { return DB_sp_registry_def_change_table_name(instance_, 7, "t"); }, kRename,
         "change_registration_table_name"},
        {[&] { return db_registration_clear_modified(instance_, 7); }, kClear,
         "zel.registry_util.clear_registration_modified"},
    };
    const struct {
        int32_t status, code, native;
    } statuses[] = {
        {-20025, ZE_NO_PERMISSIONS, 0},  {-20220, ZE_TABLE_NOT_REGISTERED, 0},
        {-1, ZE_DBMS_ERROR, -1},         {-20999, ZE_DBMS_ERROR, -20999},
        {-20000, ZE_DBMS_ERROR, -20000}, {7, ZE_DBMS_ERROR, 7},
    };
    for (const auto &c : calls)
        for (const auto &s : statuses) {
            SCOPED_TRACE(c.sql + " " + std::to_string(s.status));
            DB_instance_clear_xerr();
            answer(c.sql, s.status);
            EXPECT_EQ(c.call(), s.code);
            const DB_EXT_ERROR x = xerr();
            EXPECT_EQ(x.code, s.code);
            EXPECT_EQ(x.native_error, s.native);
            EXPECT_EQ(std::string(x.message), "Error executing stored procedure " + c.routine);
        }
}

// A failing execute, a call that answers no row or a NULL status are
// failures with the diagnostic kept; no statement is left behind.
TEST_F(RegistrySpTest, CliFailuresAreRecorded)
{
    const struct {
        std::function<int32_t()> call;
        std::string sql;
    } calls[] = {
        {[&] { return DB_sp_registry_def_delete(instance_, 7); }, kDelete},
        {[&] { return db_registration_clear_modified(instance_, 7); }, kClear},
    };
    for (const auto &c : calls) {
        SCOPED_TRACE(c.sql);
        scli::on_sql(c.sql).fail(SQL_ERROR, {"S1000", -674, "routine not found"});
        EXPECT_EQ(quiet_stderr([&] { return c.call(); }), ZE_DBMS_ERROR);
        EXPECT_EQ(xerr().native_error, -674);

        scli::on_sql(c.sql).columns({{"status", SQL_INTEGER}});
        EXPECT_EQ(quiet_stderr([&] { return c.call(); }), ZE_DBMS_ERROR);

        scli::on_sql(c.sql).columns({{"status", SQL_INTEGER}}).row({scli::null()});
        EXPECT_EQ(c.call(), ZE_DBMS_ERROR);
        EXPECT_EQ(xerr().native_error, -1);
    }
    scli::on_sql(kClear).at_prepare(SQL_ERROR, {"S1000", -674, "routine not found"});
    EXPECT_EQ(quiet_stderr([&] { return db_registration_clear_modified(instance_, 7); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(xerr().native_error, -674);
    scli::fail_call("SQLAllocHandle", scli::call_count("SQLAllocHandle") + 1, SQL_ERROR,
                    {"HY001", -1, "no memory"});
    EXPECT_EQ(quiet_stderr([&] { return DB_sp_registry_def_delete(instance_, 7); }), ZE_DBMS_ERROR);
    EXPECT_EQ(DB_sp_registry_def_insert(instance_, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(DB_sp_registry_def_change_table_name(instance_, 7, nullptr), ZE_NULL_POINTER);
}

// A call that succeeds with a warning succeeded.
TEST_F(RegistrySpTest, AWarningIsSuccess)
{
    for (const std::string &sql : {kDelete, kClear}) {
        SCOPED_TRACE(sql);
        scli::on_sql(sql)
            .info({"01000", 0, "a warning"})
            .columns({{"status", SQL_INTEGER}})
            .row({scli::i32(0)});
    }
    EXPECT_EQ(DB_sp_registry_def_delete(instance_, 7), ZE_SUCCESS);
    EXPECT_EQ(db_registration_clear_modified(instance_, 7), ZE_SUCCESS);
    EXPECT_TRUE(scli::unused_answers().empty());
}
