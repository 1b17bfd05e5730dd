// Table listing, table permissions and grants: the listing's exact SQL with
// its privilege filter and exclusions, rowsets of 100, trimmed and filtered
// names; the permission readers (the owner's 30 and -37, the restriction to
// the user, PUBLIC and the user's roles, the exact grantee); the GRANT and
// REVOKE texts, the refusals that execute nothing and -25 becoming -105.
#include "db/catalog/db_table_access_internal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "base/util/zel_errors.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using TableAccess = ConnectedUser;

// printf's %s and %% only, for the statement formats.
std::string format(std::string text, const Strings &args)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            i++;
        } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            out += args.at(next++);
            i++;
        } else {
            out += text[i];
        }
    }
    return out;
}

const char *const kPrefixes[] = {"ZEL_std_log_view",
                                 "ZEL_std_log_sublineage_view",
                                 "ZEL_std_view",
                                 "ZEL_std_view",
                                 "ZEL_nch_update_view",
                                 "ZEL_nch_sublineage_update_view",
                                 "ZEL_nch_log_update_view",
                                 "ZEL_nch_log_sublineage_update_view",
                                 "ZEL_nch_delete_view",
                                 "ZEL_nch_sublineage_delete_view",
                                 "ZEL_nch_log_delete_view",
                                 "ZEL_nch_log_sublineage_delete_view"};
const char *const kTables[] = {"GEOMETRY_COLUMNS",
                               "LAYERS",
                               "LOCATORS",
                               "METADATA",
                               "MVTABLES_MODIFIED",
                               "RASTER_COLUMNS",
                               "RECONCILED_STATES",
                               "SPATIAL_REFERENCES",
                               "SPATIAL_REF_SYS",
                               "STATE_LINEAGES",
                               "STATES",
                               "STATE_ID_GENERATOR",
                               "TABLE_REGISTRY",
                               "VERSION",
                               "VERSIONS"};

std::string list_sql(const std::string &user, const std::string &filter)
{
    std::string exclusions;
    for (const char *p : kPrefixes)
        exclusions += format(" and tab.tabname not like LOWER('%s%%')", {p});
    for (const char *t : kTables)
        exclusions += format(" and NOT (tab.owner = '%s' AND tab.tabname=lower('%s'))", {"zel", t});
    return format("SELECT distinct(OWNER), tabname FROM informix.systables tab where tab.tabname "
                  "not like 'sys%%' and tab.tabname <> 'bld_registered' and tab.tabname <> "
                  "'bldi_provided' and tab.tabname <> 'bldi_required' and tab.tabname <> "
                  "'ve_views' and tab.owner = '%s'",
                  {user}) +
           exclusions +
           format(" UNION SELECT distinct(OWNER), tabname FROM informix.systables tab, "
                  "informix.systabauth auth where tab.tabname not like 'sys%%' and tab.tabname "
                  "<> 'bld_registered' and tab.tabname <>'bldi_provided' and tab.tabname <> "
                  "'bldi_required' and tab.tabname <> 've_views' and (auth.grantee = '%s' or "
                  "auth.grantee = 'public') %s and tab.tabid = auth.tabid",
                  {user, filter}) +
           exclusions;
}

struct Listed {
    int32_t count = 0;
    char **list = nullptr;
    ~Listed()
    {
        for (int32_t i = 0; i < count; i++)
            free(list[i]);
        free(list);
    }
    Strings names() const
    {
        return Strings(list, list + count);
    }
};

TEST_F(TableAccess, ListingFiltersByMaskAndHidesRegistrationTables)
{
    struct Case {
        int32_t mask;
        std::string filter;
    };
    const Case cases[] = {
        {0, ""},
        {2, " AND (auth.tabauth like 'S%' or auth.tabauth like 's%') "},
        {30, " AND (auth.tabauth like 'S%' or auth.tabauth like 's%')  AND (auth.tabauth like "
             "'%U%' or auth.tabauth like '%u%')  AND (auth.tabauth like '%I%' or auth.tabauth "
             "like '%i%')  AND (auth.tabauth like '%D%' or auth.tabauth like '%d%') "},
        {16, " AND (auth.tabauth like '%D%' or auth.tabauth like '%d%') "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mask);
        std::string sql = list_sql("O''Neil", c.filter);
        scli::on_sql(sql)
            .columns({{"owner", SQL_CHAR, 32}, {"tabname", SQL_CHAR, 128}})
            .row({scli::chr("O'Neil", 32), scli::chr("parcels", 128)})
            .row({scli::chr("alice", 32), scli::chr("a12", 128)})
            .row({scli::chr("alice", 32), scli::chr("D7", 128)})
            .row({scli::chr("alice", 32), scli::chr("L", 128)})
            .row({scli::chr("alice", 32), scli::chr("a1b", 128)})
            .row({scli::chr("other", 32), scli::chr("layers", 128)});
        Listed listed;
        ASSERT_EQ(DB_table_list(nullptr, c.mask, "O'Neil", &listed.count, &listed.list), 0);
        EXPECT_EQ(listed.names(),
                  (Strings{"gis:O'Neil.parcels", "gis:alice.a1b", "gis:other.layers"}));
        EXPECT_EQ(Executed().back(), sql);
    }
    // No commit: the cursor is read in rowsets of 100 to its end first.
    for (const std::string &s : Executed())
        EXPECT_NE(s, "COMMIT");
    for (const std::string &d : Details("SQLSetStmtAttr")) {
        if (d.rfind("attr=9 ", 0) == 0) {
            EXPECT_EQ(d, "attr=9 value=100");
        }
    }
}

TEST_F(TableAccess, ListingReadsManyRowsetsAndFailsWhole)
{
    std::string sql = list_sql("bob", "");
    scli::Answer &a =
        scli::on_sql(sql).columns({{"owner", SQL_CHAR, 32}, {"tabname", SQL_CHAR, 128}});
    for (int i = 0; i < 250; i++)
        a.row({scli::chr("bob", 32), scli::chr("t" + std::to_string(i), 128)});
    Listed listed;
    ASSERT_EQ(DB_table_list(nullptr, 0, "bob", &listed.count, &listed.list), 0);
    ASSERT_EQ(listed.count, 250);
    EXPECT_STREQ(listed.list[0], "gis:bob.t0");
    EXPECT_STREQ(listed.list[249], "gis:bob.t249");
    EXPECT_EQ(scli::call_count("SQLExtendedFetch"), 4); // 100, 100, 50, none

    // A failure in the second rowset hands nothing out.
    scli::on_sql(sql)
        .columns({{"owner", SQL_CHAR, 32}, {"tabname", SQL_CHAR, 128}})
        .rows(std::vector<scli::Row>(150, {scli::chr("bob", 32), scli::chr("t", 128)}))
        .at_fetch(2, SQL_ERROR, {"S1000", -243, "lost"});
    Listed failed;
    quiet_stderr([&] {
        EXPECT_EQ(DB_table_list(nullptr, 0, "bob", &failed.count, &failed.list), ZE_DBMS_ERROR);
    });
    EXPECT_EQ(failed.count, 0);
    EXPECT_EQ(failed.list, nullptr);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -243);

    EXPECT_EQ(DB_table_list(nullptr, 0, std::string(32, 'u').c_str(), &failed.count, &failed.list),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_table_list(nullptr, 0, nullptr, &failed.count, &failed.list), ZE_NULL_POINTER);
}

const char *const kCountWithDb =
    "SELECT COUNT(*) FROM %s:INFORMIX.SYSTABLES WHERE OWNER = '%s' AND TABNAME = LOWER('%s')";

TEST_F(TableAccess, OwnerHasEveryPrivilegeOfAnExistingTable)
{
    std::string count = format(kCountWithDb, {"gis", "bob", "parcels"});
    scli::on_sql(count).columns({{"count", SQL_INTEGER}}).row({scli::i32(1)});
    int32_t mask = -1;
    EXPECT_EQ(DB_table_get_permissions(nullptr, "bob", "Parcels", &mask), 0);
    EXPECT_EQ(mask, 30);
    scli::on_sql(count).columns({{"count", SQL_INTEGER}}).row({scli::i32(0)});
    EXPECT_EQ(DB_table_get_permissions(nullptr, "bob", "parcels", &mask), ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(mask, 30);
    EXPECT_EQ(Executed(), (Strings{count, count}));
}

// Only the grants that reach the user count: the user's own, PUBLIC's and
// those of the user's roles, never another grantee's.
TEST_F(TableAccess, PermissionsOfAUserAndOfAGrantee)
{
    std::string user_sql =
        "SELECT tabauth from web:informix.systabauth au,         web:informix.systables tab WHERE "
        "au.tabid = tab.tabid and         tab.owner = 'alice' AND tab.tabname = 'lots' AND "
        "(au.grantee = 'bob' OR au.grantee = 'public' OR au.grantee IN (SELECT rolename FROM "
        "web:informix.sysroleauth rol WHERE rol.grantee = 'bob'))";
    std::string grantee_sql = format(
        "SELECT tabauth from %s:informix.systabauth au, %s:informix.systables tab         WHERE "
        "au.tabid = tab.tabid and au.grantee = '%s' AND tab.owner = '%s' AND         tab.tabname "
        "= '%s'",
        {"web", "web", "bob", "alice", "lots"});
    auto tabauth = [](const std::string &sql, const Strings &texts) {
        scli::Answer &a = scli::on_sql(sql).columns({{"tabauth", SQL_CHAR, 9}});
        for (const std::string &t : texts)
            a.row({scli::chr(t, 9)});
    };
    struct Case {
        Strings texts;
        int32_t mask;
    };
    const Case cases[] = {
        {{"s--------"}, 2}, {{"S--------", "-U-I-----"}, 14}, {{"----d----"}, 16}, {{}, 0}};
    for (const Case &c : cases) {
        tabauth(user_sql, c.texts);
        tabauth(grantee_sql, c.texts);
        int32_t mask = -1, grantee = -1;
        EXPECT_EQ(DB_table_get_permissions(nullptr, "bob", "web:alice.LOTS", &mask), 0);
        EXPECT_EQ(DB_table_get_grantee_permissions(nullptr, "bob", "web:alice.lots", &grantee), 0);
        EXPECT_EQ(mask, c.mask);
        EXPECT_EQ(grantee, c.mask);
    }
    Strings expected;
    for (size_t i = 0; i < 4; i++) {
        expected.push_back(user_sql);
        expected.push_back(grantee_sql);
    }
    EXPECT_EQ(Executed(), expected);

    scli::on_sql(user_sql).fail(SQL_ERROR, {"S1000", -211, "cannot read"});
    int32_t mask = 5;
    quiet_stderr([&] {
        EXPECT_EQ(DB_table_get_permissions(nullptr, "bob", "web:alice.lots", &mask), ZE_DBMS_ERROR);
    });
    EXPECT_EQ(mask, 0);
    EXPECT_EQ(
        DB_table_get_permissions(nullptr, "bob", std::string(40, 'o').append(".t").c_str(), &mask),
        ZE_INVALID_ARGUMENT);
}

TEST_F(TableAccess, GrantAndRevokeTexts)
{
    struct Case {
        bool grant;
        int32_t mask;
        int32_t option;
        const char *sql;
    };
    const Case cases[] = {
        {true, 6, 1, "GRANT UPDATE, SELECT   ON t TO u WITH GRANT OPTION"},
        {true, 2, 0, "GRANT SELECT   ON t TO u"},
        {true, 30, 0, "GRANT UPDATE, INSERT, DELETE, SELECT   ON t TO u"},
        {true, 24 | 1 | 64, 0, "GRANT INSERT, DELETE   ON t TO u"},
        {false, 30, 0, "REVOKE SELECT, UPDATE, INSERT, DELETE   ON t FROM u"},
        {false, 4, 0, "REVOKE UPDATE   ON t FROM u"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        int32_t rc = c.grant ? DB_table_grant_access(nullptr, "t", c.mask, c.option, "u")
                             : DB_table_revoke_access(nullptr, "t", c.mask, "u");
        EXPECT_EQ(rc, 0);
        Strings all = Executed();
        Strings last(all.end() - 2, all.end());
        EXPECT_EQ(last, (Strings{c.sql, "COMMIT"}));
    }

    // Refused for lack of permission: -105.
    scli::on_sql("GRANT SELECT   ON gis:'alice'.A12 TO PUBLIC")
        .fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_table_grant_access(nullptr, "gis:'alice'.A12", 2, 0, "PUBLIC"), ZE_GRANT_REFUSED);
    scli::on_sql("REVOKE SELECT   ON t FROM u").fail(SQL_ERROR, {"42000", -273, "no permission"});
    EXPECT_EQ(DB_table_revoke_access(nullptr, "t", 2, "u"), ZE_GRANT_REFUSED);
}

TEST_F(TableAccess, RefusedArgumentsExecuteNothing)
{
    struct Case {
        const char *table;
        int32_t mask;
        const char *user;
        int32_t rc;
    };
    const Case cases[] = {
        {"t", 0, "u", ZE_INVALID_ARGUMENT}, // none of the four privileges
        {"t", 1, "u", ZE_INVALID_ARGUMENT},
        {"t; drop table x", 2, "u", ZE_INVALID_IDENTIFIER},
        {"t", 2, "u or 1=1", ZE_INVALID_IDENTIFIER},
        {"gis:o'x'.t", 2, "u", ZE_INVALID_IDENTIFIER},
        {"t", 2, "", ZE_INVALID_ARGUMENT},
        {"t", 2, nullptr, ZE_NULL_POINTER},
        {nullptr, 2, "u", ZE_NULL_POINTER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.table ? c.table : "(null)");
        EXPECT_EQ(DB_table_grant_access(nullptr, c.table, c.mask, 1, c.user), c.rc);
        EXPECT_EQ(DB_table_revoke_access(nullptr, c.table, c.mask, c.user), c.rc);
    }
    std::string long_table = std::string(160, 't');
    EXPECT_EQ(DB_table_grant_access(nullptr, long_table.c_str(), 2, 0, "u"), ZE_INVALID_ARGUMENT);
    EXPECT_TRUE(Executed().empty());
}

TEST_F(TableAccess, StatementRunnersAndTheLetters)
{
    EXPECT_EQ(db_table_grant_sql(nullptr, 0, "ALL", "t", "PUBLIC", 0, 1), 0);
    EXPECT_EQ(db_table_grant_sql(nullptr, 0, "SELECT", "t", "zel", 1, 1), 0);
    EXPECT_EQ(db_table_grant_sql(nullptr, 0, "SELECT", "t", "zel", 1, 0), 0);
    scli::on_sql("GRANT SELECT ON x TO y").fail(SQL_ERROR, {"42000", -273, "no"});
    EXPECT_EQ(db_execute_privilege_sql("GRANT SELECT ON x TO y", 1), 0);
    EXPECT_EQ(Executed(),
              (Strings{"REVOKE ALL ON t FROM PUBLIC", "COMMIT",
                       "GRANT SELECT ON t TO zel WITH GRANT OPTION", "COMMIT",
                       "GRANT SELECT ON t TO zel", "COMMIT", "GRANT SELECT ON x TO y"}));

    const std::pair<const char *, int32_t> letters[] = {
        {"s--------", 2},  {"-u-------", 4}, {"---i-----", 8}, {"----d----", 16},
        {"SUaIDx---", 30}, {"--u------", 0}, {"", 0},          {"S", 2}};
    for (auto [text, mask] : letters)
        EXPECT_EQ(db_privileges_from_tabauth(text, 10), mask) << text;
    EXPECT_EQ(db_privileges_from_tabauth("sUxId", 3), 6); // only the given bytes are read
}

} // namespace
