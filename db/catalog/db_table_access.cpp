// Table listing, table privileges and the grant statements of the catalogue
// code (db_table_access.h, db_table_access_internal.h). The privileges come
// from the Informix catalogue tables systables, systabauth and sysroleauth.
#include "db/catalog/db_table_access_internal.h"

#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/util/ve_layer.h"
#include "base/util/zel_errors.h"
#include "base/util/zel_oom_internal.h"
#include "db/catalog/db_catalog_stmt_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_identifier_check_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "db/core/db_names_internal.h"
#include "db/core/db_stmt_internal.h"

namespace
{

// Generated multiversion views, hidden from the listing by prefix.
const char *const kViewPrefixes[] = {
    "ZEL_std_log_view",
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
    "ZEL_nch_log_sublineage_delete_view",
};

// The engine's catalogue tables, hidden when the administrative user owns them.
const char *const kCatalogueTables[] = {
    "GEOMETRY_COLUMNS",
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
    "VERSIONS",
};

// The listing's condition on each privilege of the mask, in this order.
struct PrivilegeFilter {
    int32_t bit;
    const char *condition;
};
const PrivilegeFilter kFilters[] = {
    {VE_PRIV_SELECT, " AND (auth.tabauth like 'S%' or auth.tabauth like 's%') "},
    {VE_PRIV_UPDATE, " AND (auth.tabauth like '%U%' or auth.tabauth like '%u%') "},
    {VE_PRIV_INSERT, " AND (auth.tabauth like '%I%' or auth.tabauth like '%i%') "},
    {VE_PRIV_DELETE, " AND (auth.tabauth like '%D%' or auth.tabauth like '%d%') "},
};

constexpr int32_t kListRows = 100;
constexpr SQLLEN kListOwnerSize = 32;
constexpr SQLLEN kListTableSize = 128;
constexpr SQLLEN kTabauthSize = 10; // nine letters and the NUL

// The exclusions shared by both selects of the listing.
std::string S_exclusions()
{
    std::string text;
    for (const char *prefix : kViewPrefixes)
        text += std::string(" and tab.tabname not like LOWER('") + prefix + "%')";
    for (const char *table : kCatalogueTables)
        text += std::string(" and NOT (tab.owner = '") + DB_ADMIN_USER +
                "' AND tab.tabname=lower('" + table + "'))";
    return text;
}

std::string S_list_sql(int32_t mask, const std::string &user)
{
    std::string filter;
    for (const PrivilegeFilter &f : kFilters)
        if (mask & f.bit)
            filter += f.condition;
    std::string quoted = db_quote_literal(user);
    return "SELECT distinct(OWNER), tabname FROM informix.systables tab where tab.tabname not like "
           "'sys%' and tab.tabname <> 'bld_registered' and tab.tabname <> 'bldi_provided' and "
           "tab.tabname <> 'bldi_required' and tab.tabname <> 've_views' and tab.owner = '" +
           quoted + "'" + S_exclusions() +
           " UNION SELECT distinct(OWNER), tabname FROM informix.systables tab, "
           "informix.systabauth auth where tab.tabname not like 'sys%' and tab.tabname <> "
           "'bld_registered' and tab.tabname <>'bldi_provided' and tab.tabname <> "
           "'bldi_required' and tab.tabname <> 've_views' and (auth.grantee = '" +
           quoted + "' or auth.grantee = 'public') " + filter + " and tab.tabid = auth.tabid" +
           S_exclusions();
}

// The adds, deletes, equivalence and log tables of registrations: A, D, E or
// L (either case) alone or followed only by digits.
bool S_is_registration_table(const char *name)
{
    if (strchr("AaDdEeLl", name[0]) == nullptr || name[0] == '\0')
        return false;
    for (const char *p = name + 1; *p; p++)
        if (*p < '0' || *p > '9')
            return false;
    return true;
}

void S_trim_blanks(char *text)
{
    size_t n = strlen(text);
    while (n > 0 && text[n - 1] == ' ')
        text[--n] = '\0';
}

// The list handed out, freed with its entries unless released.
struct TableList {
    char **entries = nullptr;
    int32_t count = 0;
    ~TableList()
    {
        for (int32_t i = 0; i < count; i++)
            free(entries[i]);
        free(entries);
    }
};

// Runs a query of one bound column without a commit and calls on_row after
// every row fetched. 0, or -51 with the connection's record filled.
template <typename OnRow>
int32_t S_read_rows(const std::string &sql, SQLSMALLINT c_type, SQLPOINTER buffer, SQLLEN size,
                    OnRow on_row)
{
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    int32_t rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
    if (rc != 0)
        return rc;
    SQLLEN length = 0;
    rc = SQLBindCol(hstmt, 1, c_type, buffer, size, &length);
    if (SQL_SUCCEEDED(rc))
        rc = db_execute_stmt(&hstmt, 1, DB_EXEC_NO_COMMIT);
    SQLULEN fetched = 0;
    while (rc == 0) {
        rc = db_fetch_rows(&hstmt, 1, &fetched);
        if (rc == 0)
            on_row(length);
    }
    if (rc != DB_NO_MORE_DATA)
        return db_catalog_fail(nullptr, &hstmt, rc);
    db_free_stmt(&hstmt);
    return 0;
}

// The privileges of user (grantee: exactly that grantee; else the user,
// PUBLIC and the user's roles) on table.
int32_t S_permissions(const char *user, const char *table, int32_t *mask, bool grantee)
{
    if (user == nullptr || table == nullptr || mask == nullptr)
        return ZE_NULL_POINTER;
    *mask = 0;
    DB_instance_clear_xerr();
    char database[DB_NAME_DATABASE_SIZE], owner[DB_NAME_OWNER_SIZE], name[DB_NAME_TABLE_SIZE];
    int32_t rc = db_parse_table_name(nullptr, table, user, database, owner, name);
    if (rc != 0)
        return rc;
    db_identifier_to_lower(nullptr, name, sizeof(name), 1);
    std::string db = database[0] != '\0' ? std::string(database) + ":" : "";
    std::string q_owner = db_quote_literal(owner), q_table = db_quote_literal(name);
    std::string q_user = db_quote_literal(user);
    if (strcmp(owner, user) == 0) {
        std::string sql = "SELECT COUNT(*) FROM " + db + "INFORMIX.SYSTABLES WHERE OWNER = '" +
                          q_owner + "' AND TABNAME = LOWER('" + q_table + "')";
        SQLINTEGER tables = 0;
        rc = S_read_rows(sql, SQL_C_LONG, &tables, 0, [](SQLLEN) {});
        if (rc != 0)
            return rc;
        *mask = VE_PRIV_ALL;
        return tables < 1 ? ZE_TABLE_NOT_FOUND : 0;
    }
    std::string sql;
    if (grantee)
        sql = "SELECT tabauth from " + db + "informix.systabauth au, " + db +
              "informix.systables tab         WHERE au.tabid = tab.tabid and au.grantee = '" +
              q_user + "' AND tab.owner = '" + q_owner + "' AND         tab.tabname = '" + q_table +
              "'";
    else
        sql = "SELECT tabauth from " + db + "informix.systabauth au,         " + db +
              "informix.systables tab WHERE au.tabid = tab.tabid and         tab.owner = '" +
              q_owner + "' AND tab.tabname = '" + q_table + "' AND (au.grantee = '" + q_user +
              "' OR au.grantee = 'public' OR au.grantee IN (SELECT rolename FROM " + db +
              "informix.sysroleauth rol WHERE rol.grantee = '" + q_user + "'))";
    char tabauth[kTabauthSize] = "";
    int32_t found = 0;
    rc = S_read_rows(sql, SQL_C_CHAR, tabauth, sizeof(tabauth), [&](SQLLEN length) {
        if (length != SQL_NULL_DATA)
            found |= db_privileges_from_tabauth(tabauth, sizeof(tabauth));
    });
    if (rc != 0)
        return rc;
    *mask = found;
    return 0;
}

// "GRANT " or "REVOKE " and the mask's privilege words in the given order,
// the comma after the last word made a blank. Empty when the mask has none
// of the four.
std::string S_privilege_words(const char *verb, int32_t mask, const int32_t (&order)[4])
{
    std::string words;
    for (int32_t bit : order) {
        if (!(mask & bit))
            continue;
        words += bit == VE_PRIV_SELECT   ? "SELECT, "
                 : bit == VE_PRIV_UPDATE ? "UPDATE, "
                 : bit == VE_PRIV_INSERT ? "INSERT, "
                                         : "DELETE, ";
    }
    if (words.empty())
        return words;
    words[words.size() - 2] = ' ';
    return verb + words;
}

// Checks the names, builds "<words> ON <table> <to> <user>[ WITH GRANT
// OPTION]" and runs it; -25 becomes -105.
int32_t S_grant_or_revoke(const std::string &words, const char *table, const char *to,
                          const char *user, bool grant_option)
{
    if (table == nullptr || user == nullptr)
        return ZE_NULL_POINTER;
    if (words.empty())
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_check_table_name(table);
    if (rc == 0)
        rc = db_check_name(user, DB_USER_NAME_SIZE);
    if (rc != 0)
        return rc;
    std::string sql = words + " ON " + table + " " + to + " " + user;
    if (grant_option)
        sql += " WITH GRANT OPTION";
    rc = db_execute_privilege_sql(sql.c_str(), 0);
    if (rc == ZE_NO_PERMISSIONS)
        return ZE_GRANT_REFUSED;
    return rc == SQL_SUCCESS_WITH_INFO ? 0 : rc;
}

} // namespace

int32_t db_privileges_from_tabauth(const char *text, size_t size)
{
    if (text == nullptr)
        return 0;
    size_t n = strnlen(text, size);
    auto at = [&](size_t i, char letter) {
        return i < n && (text[i] == letter || text[i] == letter + ('a' - 'A'));
    };
    int32_t mask = 0;
    if (at(0, 'S'))
        mask |= VE_PRIV_SELECT;
    if (at(1, 'U'))
        mask |= VE_PRIV_UPDATE;
    if (at(3, 'I'))
        mask |= VE_PRIV_INSERT;
    if (at(4, 'D'))
        mask |= VE_PRIV_DELETE;
    return mask;
}

int32_t db_table_grant_sql(DB_INSTANCE *, int32_t, const char *privileges, const char *object,
                           const char *user, int32_t grant, int32_t grant_option)
{
    if (privileges == nullptr || object == nullptr || user == nullptr)
        return ZE_NULL_POINTER;
    std::string sql = grant
                          ? std::string("GRANT ") + privileges + " ON " + object + " TO " + user
                          : std::string("REVOKE ") + privileges + " ON " + object + " FROM " + user;
    if (grant && grant_option)
        sql += " WITH GRANT OPTION";
    return db_execute_ddlsql(sql.c_str(), 1, 1);
}

int32_t db_execute_privilege_sql(const char *sql, int32_t ignore_errors)
{
    if (sql == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = db_execute_ddlsql(sql, 0, 1);
    return ignore_errors ? 0 : rc;
}

int32_t DB_table_list(DB_INSTANCE *instance, int32_t mask, const char *user, int32_t *count,
                      char ***list)
{
    if (user == nullptr || count == nullptr || list == nullptr)
        return ZE_NULL_POINTER;
    *count = 0;
    *list = nullptr;
    if (strlen(user) >= DB_NAME_OWNER_SIZE)
        return ZE_INVALID_ARGUMENT;
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        std::string sql = S_list_sql(mask, user);
        db_stmt_guard stmt;
        SQLHSTMT &hstmt = stmt.h;
        int32_t rc = db_catalog_prepare(nullptr, &hstmt, sql.c_str());
        if (rc != 0)
            return rc;
        rc = SQLSetStmtAttr(hstmt, SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(kListRows), 0);
        if (SQL_SUCCEEDED(rc))
            rc = db_execute_stmt(&hstmt, 1, DB_EXEC_NO_COMMIT);
        std::vector<char> owners(kListRows * kListOwnerSize), tables(kListRows * kListTableSize);
        std::vector<SQLLEN> owner_lengths(kListRows), table_lengths(kListRows);
        if (rc == 0)
            rc = SQLBindCol(hstmt, 1, SQL_C_CHAR, owners.data(), kListOwnerSize,
                            owner_lengths.data());
        if (SQL_SUCCEEDED(rc))
            rc = SQLBindCol(hstmt, 2, SQL_C_CHAR, tables.data(), kListTableSize,
                            table_lengths.data());
        if (!SQL_SUCCEEDED(rc))
            return db_catalog_fail(nullptr, &hstmt, rc);
        TableList result;
        for (;;) {
            SQLULEN fetched = 0;
            rc = db_fetch_rows(&hstmt, kListRows, &fetched);
            if (rc == DB_NO_MORE_DATA)
                break;
            if (rc != 0)
                return db_catalog_fail(nullptr, &hstmt, rc);
            if (fetched == 0)
                continue;
            char **grown = static_cast<char **>(
                realloc(result.entries, (result.count + fetched) * sizeof(char *)));
            if (grown == nullptr)
                return ZE_OUT_OF_MEMORY;
            result.entries = grown;
            char database[DB_DATABASE_NAME_SIZE] = "";
            DB_database_get_current(instance, database);
            database[sizeof(database) - 1] = '\0';
            for (SQLULEN r = 0; r < fetched && r < kListRows; r++) {
                char *owner = &owners[r * kListOwnerSize];
                char *table = &tables[r * kListTableSize];
                owner[kListOwnerSize - 1] = table[kListTableSize - 1] = '\0';
                S_trim_blanks(owner);
                S_trim_blanks(table);
                if (S_is_registration_table(table))
                    continue;
                size_t size = strlen(database) + strlen(owner) + strlen(table) + 3;
                char *entry = static_cast<char *>(malloc(size));
                if (entry == nullptr)
                    return ZE_OUT_OF_MEMORY;
                snprintf(entry, size, "%s:%s.%s", database, owner, table);
                result.entries[result.count++] = entry;
            }
        }
        *count = result.count;
        *list = result.entries;
        result.entries = nullptr;
        result.count = 0;
        return 0;
    });
}

int32_t DB_table_get_permissions(DB_INSTANCE *, const char *user, const char *table, int32_t *mask)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_permissions(user, table, mask, false); });
}

int32_t DB_table_get_grantee_permissions(DB_INSTANCE *, const char *grantee, const char *table,
                                         int32_t *mask)
{
    return zel_oom_guard(ZE_OUT_OF_MEMORY,
                         [&]() -> int32_t { return S_permissions(grantee, table, mask, true); });
}

int32_t DB_table_grant_access(DB_INSTANCE *, const char *table, int32_t mask, int32_t grant_option,
                              const char *user)
{
    static const int32_t order[4] = {VE_PRIV_UPDATE, VE_PRIV_INSERT, VE_PRIV_DELETE,
                                     VE_PRIV_SELECT};
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        return S_grant_or_revoke(S_privilege_words("GRANT ", mask, order), table, "TO", user,
                                 grant_option != 0);
    });
}

int32_t DB_table_revoke_access(DB_INSTANCE *, const char *table, int32_t mask, const char *user)
{
    static const int32_t order[4] = {VE_PRIV_SELECT, VE_PRIV_UPDATE, VE_PRIV_INSERT,
                                     VE_PRIV_DELETE};
    return zel_oom_guard(ZE_OUT_OF_MEMORY, [&]() -> int32_t {
        DB_instance_clear_xerr();
        return S_grant_or_revoke(S_privilege_words("REVOKE ", mask, order), table, "FROM", user,
                                 false);
    });
}
