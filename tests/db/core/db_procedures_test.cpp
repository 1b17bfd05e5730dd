// Tests the creation of the engine's stored routines against the scripted
// CLI: the whole set dropped, created and granted in order, group by group;
// a failing CREATE, grant or statistics update that drops again exactly the
// routines the call made; a second run that succeeds; and the grant and drop
// helpers the creation uses.
#include "db/core/db_procedures_internal.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "db/core/db_routine_texts_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

enum class Way { Shared, States, Versions, Raster };

struct Group {
    Way way;
    std::vector<std::string> create; // creation order
    std::vector<std::string> drop;   // empty: the creation order
};

// The groups as the creation runs them.
const std::vector<Group> &Groups()
{
    static const std::vector<Group> groups = {
        {Way::Shared, {"release_procedure"}, {}},
        {Way::Shared,
         {"delete_registration", "insert_registration", "update_registration",
          "change_registration_table_name", "clear_registration_modified"},
         {}},
        {Way::States,
         {"create_global_and_types", "L_state_user_can_modify", "delete_state", "insert_state",
          "trim_state_lineage", "open_state", "close_state", "current_state", "L_set_base_state",
          "G_state_owner_cursor", "ZEL_startid_get", "ZEL_endid_get"},
         {"create_global_and_types", "delete_state", "insert_state", "trim_state_lineage",
          "L_set_base_state", "L_state_user_can_modify", "open_state", "close_state",
          "current_state", "G_state_owner_cursor", "ZEL_startid_get", "ZEL_endid_get"}},
        {Way::Versions,
         {"state_tree_cursor", "init_version_info", "G_version_state_cursor",
          "L_version_parse_name", "L_version_user_can_modify", "delete_version", "insert_version",
          "update_version", "rename_version", "change_version_state", "current_version_writable",
          "in_current_lineage", "set_current_version", "flag_mvtable_modified", "range_delete_ok"},
         {"delete_version", "insert_version", "update_version", "rename_version",
          "change_version_state", "current_version_writable", "in_current_lineage",
          "init_version_info", "set_current_version", "flag_mvtable_modified",
          "L_version_parse_name", "L_version_user_can_modify", "range_delete_ok",
          "G_version_state_cursor", "state_tree_cursor"}},
        {Way::Shared,
         {"delete_spatial_references", "insert_spatial_references", "alter_spatial_references",
          "lock_spatial_references", "check_spid"},
         {}},
        {Way::Shared,
         {"insert_layer", "delete_layer", "update_layer", "update_layer_extent",
          "change_layer_table_name", "update_spatial_references", "update_layer_srid",
          "insert_spatial_ref"},
         {}},
        {Way::Raster,
         {"insert_rastercolumn", "delete_rastercolumn", "update_rastercolumn",
          "rename_rastercolumn"},
         {}},
        {Way::Shared, {"insert_metadata", "update_metadata", "delete_metadata"}, {}},
        {Way::Shared, {"insert_locator", "update_locator", "delete_locator"}, {}},
        {Way::Shared, {"truncate_dbtune", "insert_dbtune"}, {}},
    };
    return groups;
}

std::string SqlName(const std::string &name)
{
    return name == "ZEL_startid_get" || name == "ZEL_endid_get" ? name : "zel:zel." + name;
}

std::string CreateText(const std::string &name)
{
    std::string text;
    EXPECT_EQ(db_routine_text_format(nullptr, db_routine_text_find(name.c_str()), &text), 0)
        << name;
    return text;
}

struct Step {
    std::string sql;
    std::string created; // the routine that exists from this step on
};

// Every statement and commit of a successful creation, in order.
std::vector<Step> FullRun()
{
    std::vector<Step> steps = {{"COMMIT", ""}};
    auto add = [&](const std::string &sql) { steps.push_back({sql, ""}); };
    for (const Group &group : Groups()) {
        const std::vector<std::string> &drops = group.drop.empty() ? group.create : group.drop;
        for (const std::string &name : drops) {
            add("DROP PROCEDURE " + SqlName(name));
            if (group.way == Way::Raster)
                add("COMMIT");
        }
        if (group.way == Way::States) {
            add("DROP ROW TYPE state_lineage_info RESTRICT");
            add("DROP ROW TYPE state_info RESTRICT");
        }
        if (group.way == Way::Versions) {
            add("DROP ROW TYPE version_info RESTRICT");
            add(db_version_info_type_text);
            add("GRANT USAGE on TYPE version_info to PUBLIC;");
        }
        for (const std::string &name : group.create) {
            steps.push_back({CreateText(name), name});
            if (group.way == Way::Raster)
                add("COMMIT");
            add("GRANT EXECUTE ON " + SqlName(name) + " TO PUBLIC");
            add("COMMIT");
            if (name == "create_global_and_types") {
                add("EXECUTE PROCEDURE create_global_and_types()");
                add("GRANT USAGE on TYPE state_info to PUBLIC;");
                add("GRANT USAGE on TYPE state_lineage_info to PUBLIC;");
            }
        }
        if (group.way == Way::Versions) {
            add(" UPDATE STATISTICS FOR PROCEDURE");
            add("COMMIT");
        }
    }
    add("COMMIT");
    return steps;
}

std::vector<std::string> Sqls(const std::vector<Step> &steps)
{
    std::vector<std::string> out;
    for (const Step &step : steps)
        out.push_back(step.sql);
    return out;
}

class Procedures : public Connected
{
  protected:
    // Runs the creation with standard error captured.
    int32_t Create()
    {
        StderrCapture capture;
        int32_t rc = DB_instance_stored_procedures_create(nullptr);
        stderr_ = capture.text();
        return rc;
    }
    std::string stderr_;
};

} // namespace

TEST_F(Procedures, CreatesEveryRoutineInOrderAndGrantsIt)
{
    std::vector<Step> full = FullRun();
    ASSERT_EQ(Create(), 0);
    EXPECT_EQ(Executed(), Sqls(full));
    EXPECT_EQ(stderr_, "");
    // The groups that share one statement run their 39 CREATEs on it and
    // close and free it at the end; each state and version routine is
    // created on a statement of its own.
    std::vector<scli::Call> direct = scli::calls_of("SQLExecDirect");
    ASSERT_EQ(direct.size(), 54u);
    SQLHANDLE shared = direct[0].handle;
    std::set<SQLHANDLE> own;
    for (const scli::Call &call : direct)
        if (call.handle != shared)
            own.insert(call.handle);
    EXPECT_EQ(own.size(), 27u);
    std::vector<std::string> last;
    for (const scli::Call &call : scli::journal())
        if (call.handle == shared)
            last.push_back(call.fn + " " + call.detail);
    ASSERT_GE(last.size(), 2u);
    EXPECT_EQ(last[last.size() - 2], "SQLFreeStmt option=0");
    EXPECT_EQ(last.back().rfind("SQLFreeHandle", 0), 0u);
    size_t created = 0;
    for (const Step &step : full)
        created += step.created.empty() ? 0 : 1;
    EXPECT_EQ(created, static_cast<size_t>(DB_ROUTINE_COUNT));

    // A second run over the routines the first made succeeds alike.
    size_t before = Executed().size();
    ASSERT_EQ(Create(), 0);
    std::vector<std::string> again = Executed();
    EXPECT_EQ(std::vector<std::string>(again.begin() + static_cast<long>(before), again.end()),
              Sqls(full));
}

TEST_F(Procedures, AFailedStepDropsExactlyWhatTheCallMade)
{
    struct Case {
        const char *what;
        std::string failing;
        scli::Diag diag;
        int32_t expected;
        bool undone = true; // the routines made are dropped again
    };
    const std::vector<Case> cases = {
        {"first CREATE", CreateText("release_procedure"), {"42000", -201, "syntax"}, SQL_ERROR},
        {"CREATE of a later group",
         CreateText("insert_metadata"),
         {"42000", -201, "syntax"},
         SQL_ERROR},
        {"grant",
         "GRANT EXECUTE ON zel:zel.update_layer TO PUBLIC",
         {"42000", -273, "no grant"},
         ZE_DBMS_ERROR},
        {"state routine", CreateText("insert_state"), {"42000", -201, "syntax"}, SQL_ERROR},
        {"version routine", CreateText("insert_version"), {"IX000", -9628, "type"}, SQL_ERROR},
        {"raster-column CREATE",
         CreateText("update_rastercolumn"),
         {"42000", -273, "denied"},
         ZE_NO_PERMISSIONS},
        // The routines are all made: a failed refresh of their statistics
        // keeps them.
        {"statistics",
         " UPDATE STATISTICS FOR PROCEDURE",
         {"HY000", -9992, "stats"},
         ZE_DBMS_ERROR,
         false},
    };
    std::vector<Step> full = FullRun();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DB_instance_clear_xerr();
        size_t mark = scli::executed().size();
        scli::on_sql(c.failing).fail(SQL_ERROR, c.diag);

        EXPECT_EQ(Create(), c.expected);
        std::vector<std::string> expected;
        std::vector<std::string> made;
        size_t i = 0;
        for (; i < full.size() && full[i].sql != c.failing; i++) {
            expected.push_back(full[i].sql);
            if (!full[i].created.empty())
                made.push_back(full[i].created);
        }
        ASSERT_LT(i, full.size());
        // A routine whose grant failed exists: it is among those made.
        expected.push_back(c.failing);
        for (const std::string &name : made) {
            if (!c.undone)
                break;
            expected.push_back("drop procedure " + name);
            expected.push_back("COMMIT");
        }
        std::vector<std::string> ran = scli::executed();
        EXPECT_EQ(std::vector<std::string>(ran.begin() + static_cast<long>(mark), ran.end()),
                  expected);
        if (c.expected == SQL_ERROR || c.failing.rfind("GRANT", 0) == 0) {
            DB_EXT_ERROR xerr;
            DB_instance_get_xerr(&xerr);
            EXPECT_EQ(xerr.native_error, c.diag.native);
        }

        // Nothing is left scripted to fail: the next run makes the whole set.
        size_t second = scli::executed().size();
        EXPECT_EQ(Create(), 0);
        ran = scli::executed();
        EXPECT_EQ(std::vector<std::string>(ran.begin() + static_cast<long>(second), ran.end()),
                  Sqls(full));
    }
}

TEST_F(Procedures, NoStatementHandleNoWork)
{
    scli::fail_call("SQLAllocHandle", scli::call_count("SQLAllocHandle") + 1, SQL_ERROR,
                    {"HY001", 0, "no memory"});
    EXPECT_EQ(Create(), SQL_ERROR);
    EXPECT_EQ(Executed(), std::vector<std::string>{"COMMIT"});
}

TEST_F(Procedures, GrantAndRevoke)
{
    struct Case {
        int32_t grant;
        int32_t with_grant_option;
        const char *sql;
    } const cases[] = {
        {1, 0, "GRANT EXECUTE ON zel:zel.f TO PUBLIC"},
        {1, 1, "GRANT EXECUTE ON zel:zel.f TO PUBLIC WITH GRANT OPTION"},
        {0, 0, "REVOKE EXECUTE ON zel:zel.f FROM PUBLIC"},
        {0, 1, "REVOKE EXECUTE ON zel:zel.f FROM PUBLIC"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        size_t before = Executed().size();
        EXPECT_EQ(db_grant_privilege(nullptr, "EXECUTE", "zel:zel.f", "PUBLIC", c.grant,
                                     c.with_grant_option),
                  0);
        std::vector<std::string> ran = Executed();
        EXPECT_EQ(std::vector<std::string>(ran.begin() + static_cast<long>(before), ran.end()),
                  (std::vector<std::string>{c.sql, "COMMIT"}));
    }
    EXPECT_EQ(db_grant_privilege(nullptr, nullptr, "f", "PUBLIC", 1, 0), ZE_NULL_POINTER);
    EXPECT_EQ(db_grant_privilege(nullptr, "EXECUTE", nullptr, "PUBLIC", 1, 0), ZE_NULL_POINTER);
    EXPECT_EQ(db_grant_privilege(nullptr, "EXECUTE", "f", nullptr, 1, 0), ZE_NULL_POINTER);

    // A refused grant and a grant whose commit fails both fail with -51 and
    // the server's error in the connection's record.
    scli::on_sql("GRANT EXECUTE ON g TO PUBLIC").fail(SQL_ERROR, {"42000", -273, "denied"});
    StderrCapture capture;
    EXPECT_EQ(db_grant_execute_public(nullptr, "g"), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -273);
    scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
    EXPECT_EQ(db_grant_execute_public(nullptr, "h"), ZE_DBMS_ERROR);
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -908);
}

TEST_F(Procedures, DropListSkipsNullsAndGoesOnAfterFailures)
{
    const char *names[] = {"a", nullptr, "b", "c"};
    scli::on_sql("drop procedure b").fail(SQL_ERROR, {"IX000", -674, "not found"});
    quiet_stderr([&] { db_drop_procedure_list(nullptr, 4, names); });
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{"drop procedure a", "COMMIT", "drop procedure b",
                                        "drop procedure c", "COMMIT"}));
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -674);
    db_drop_procedure_list(nullptr, 4, nullptr);
    db_drop_procedure_list(nullptr, 0, names);
    EXPECT_EQ(Executed().size(), 5u);
}
