// Version rows: the insert with its rule for taken names (the suffix sequence
// and its end), the block scan, the reads by name and id with their NULL
// rules and quoting, and the obsolete entry points, each with the exact SQL
// it sends.
#include "db/version/db_version_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/util/ve_codepage_internal.h"
#include "base/util/zel_errors.h"
#include "db/core/db_identifier_internal.h"
#include "tests/db/version/state_fixture.h"

namespace
{

using namespace state_test;

const std::string kInsert =
    "INSERT INTO zel:zel.versions     (name,                    owner,                    "
    "version_id,                    status,                    state_id,                    "
    "description,                    parent_name,                    parent_owner,             "
    "       parent_version_id,                    creation_time)        VALUES "
    "(?,?,?,?,?,?,?,?,?,?)";
const std::string kSelect = "SELECT name,owner,version_id,status,state_id,description,       "
                            "parent_name,parent_owner,parent_version_id,";
const std::string kScanAll = kSelect + "       creation_time FROM   zel:zel.versions  ";

std::string ByWhere(const std::string &where)
{
    return kSelect + "creation_time FROM zel:zel.versions WHERE " + where;
}

std::vector<scli::Column> VersionColumns()
{
    return {{"name", SQL_VARCHAR, 64},          {"owner", SQL_VARCHAR, 32},
            {"version_id", SQL_INTEGER},        {"status", SQL_INTEGER},
            {"state_id", SQL_INTEGER},          {"description", SQL_VARCHAR, 64},
            {"parent_name", SQL_VARCHAR, 64},   {"parent_owner", SQL_VARCHAR, 32},
            {"parent_version_id", SQL_INTEGER}, {"creation_time", SQL_TYPE_TIMESTAMP}};
}

scli::Row Full(const std::string &name, int32_t id)
{
    return {scli::varchar(name),
            scli::varchar("bob"),
            scli::i32(id),
            scli::i32(1),
            scli::i32(40 + id),
            scli::varchar("Edits of " + name),
            scli::varchar("DEFAULT"),
            scli::varchar("zel"),
            scli::i32(1),
            kCreated};
}

scli::Row Bare(const std::string &name, int32_t id)
{
    return {scli::varchar(name), scli::varchar("bob"), scli::i32(id), scli::i32(0), scli::i32(0),
            scli::null(),        scli::null(),         scli::null(),  scli::null(), kCreated};
}

VERSION Version(const char *name)
{
    VERSION v{};
    strcpy(v.name, name);
    strcpy(v.owner, "bob");
    v.version_id = 5;
    v.status = VERSION_PUBLIC;
    v.state_id = 12;
    return v;
}

class DbVersion : public StateTest
{
  protected:
    void TearDown() override
    {
        DB_version_scan(nullptr, DB_SCAN_CLOSE, nullptr, nullptr);
        db_identifier_codepage = nullptr;
        StateTest::TearDown();
    }

    // VERSIONS as the insert sees it: a name stored twice is a duplicate key.
    std::set<std::string> stored_;
    std::vector<std::string> tried_;
    void ServeInserts()
    {
        scli::on_sql(kInsert).repeat().hook([this](scli::Exec &e) {
            std::string name = e.params.at(0).at(0).s;
            tried_.push_back(name);
            if (name == "broken") {
                e.rc = SQL_ERROR;
                e.diags = {{"S1000", -271, "Could not insert a new row into the table"}};
            } else if (!stored_.insert(name).second) {
                e.rc = SQL_ERROR;
                e.diags = {{"23000", -268, "Unique constraint (zel.versions_uk) violated"}};
            }
        });
    }
};

TEST_F(DbVersion, SuffixesOfATakenName)
{
    const struct {
        int32_t attempt;
        const char *suffix;
    } cases[] = {{1, "01"},   {9, "09"},   {99, "99"},  {100, "0a"}, {105, "0f"}, {106, "1a"},
                 {154, "9a"}, {159, "9f"}, {160, "a0"}, {175, "af"}, {255, "ff"}, {256, "00"}};
    for (const auto &c : cases) {
        char suffix[4] = "";
        EXPECT_EQ(db_version_name_suffix(c.attempt, suffix, sizeof(suffix)), 0) << c.attempt;
        EXPECT_STREQ(suffix, c.suffix) << c.attempt;
    }
    char suffix[4];
    EXPECT_EQ(db_version_name_suffix(257, suffix, sizeof(suffix)), ZE_VERSION_EXISTS);
    EXPECT_EQ(db_version_name_suffix(0, suffix, sizeof(suffix)), ZE_VERSION_EXISTS);
    EXPECT_EQ(db_version_name_suffix(1, suffix, 2), ZE_INVALID_ARGUMENT);
}

TEST_F(DbVersion, InsertWithUniqueNamesStoresBaseThenBase01ThenBase02)
{
    ServeInserts();
    VERSION v = Version("base");
    char name[DB_VERSION_NAME_OUT_SIZE];
    for (const char *expected : {"base", "base01", "base02"}) {
        ASSERT_EQ(DB_versions_def_insert(nullptr, &v, 1, name), 0);
        EXPECT_STREQ(name, expected);
    }
    EXPECT_EQ(tried_,
              (std::vector<std::string>{"base", "base", "base01", "base", "base01", "base02"}));
    // Each insert is one statement executed until a name is free, then one
    // commit.
    EXPECT_EQ(Sent(), (std::vector<std::string>{kInsert, "COMMIT", kInsert, kInsert, "COMMIT",
                                                kInsert, kInsert, kInsert, "COMMIT"}));
    std::vector<std::string> params = scli::calls_of("SQLExecute").back().params.at(0);
    ASSERT_EQ(params.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(params.begin(), params.end() - 1),
              (std::vector<std::string>{"base02", "bob", "5", "1", "12", "NULL", "NULL", "NULL",
                                        "NULL"}));
    EXPECT_EQ(params[9].size(), 19u); // the time of the call
}

TEST_F(DbVersion, TheFirstTwoNamesRefusedAsDuplicates)
{
    scli::on_sql(kInsert).fail(SQL_ERROR, {"23000", -268, "duplicate"}).times(2);
    scli::on_sql(kInsert);
    VERSION v = Version("edits");
    char name[DB_VERSION_NAME_OUT_SIZE];
    ASSERT_EQ(DB_versions_def_insert(nullptr, &v, 1, name), 0);
    EXPECT_STREQ(name, "edits02");
    EXPECT_EQ(Sent(), (std::vector<std::string>{kInsert, kInsert, kInsert, "COMMIT"}));
    EXPECT_EQ(Xerr().code, 0);
}

TEST_F(DbVersion, AllSuffixesTakenGive177)
{
    ServeInserts();
    VERSION v = Version("base");
    char name[DB_VERSION_NAME_OUT_SIZE];
    stored_.insert("base");
    for (int attempt = 1; attempt <= 256; attempt++) {
        char suffix[4];
        ASSERT_EQ(db_version_name_suffix(attempt, suffix, sizeof(suffix)), 0);
        stored_.insert(std::string("base") + suffix);
    }
    EXPECT_EQ(DB_versions_def_insert(nullptr, &v, 1, name), ZE_VERSION_EXISTS);
    ASSERT_EQ(tried_.size(), 257u);
    EXPECT_EQ(tried_[99], "base99");
    EXPECT_EQ(tried_[100], "base0a");
    EXPECT_EQ(tried_[159], "base9f");
    EXPECT_EQ(tried_[160], "basea0");
    EXPECT_EQ(tried_[255], "baseff");
    EXPECT_EQ(tried_[256], "base00");
    std::vector<std::string> sent = Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "COMMIT"), 0);
}

TEST_F(DbVersion, TakenNameWithoutTheFlagIsAnError)
{
    ServeInserts();
    VERSION v = Version("base");
    strcpy(v.description, "mine");
    char name[DB_VERSION_NAME_OUT_SIZE];
    ASSERT_EQ(DB_versions_def_insert(nullptr, &v, 0, name), 0);
    setenv("ZELVERBOSE", "1", 1);
    std::string err;
    int32_t rc;
    {
        StderrCapture capture;
        rc = DB_versions_def_insert(nullptr, &v, 0, name);
        err = capture.text();
    }
    unsetenv("ZELVERBOSE");
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_STREQ(Xerr().text, "23000");
    EXPECT_EQ(Xerr().native_error, -268);
    EXPECT_NE(err.find("DB_version_def_insert() ODBC Exec error (-1).\n"
                       "version_name   = \"base\"\n"
                       "owner          = \"bob\"\n"
                       "status         = 1\n"
                       "state_id       = 12\n"
                       "description =  = \"mine\"\n"),
              std::string::npos)
        << err;
    // Any other failure is an error with or without the flag.
    strcpy(v.name, "broken");
    EXPECT_EQ(quiet_stderr([&] { return DB_versions_def_insert(nullptr, &v, 1, name); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(Xerr().native_error, -271);
}

TEST_F(DbVersion, ScanReadsEveryVersionWithItsNullRules)
{
    scli::on_sql(kScanAll).columns(VersionColumns()).rows({Full("DEFAULT", 1), Bare("edits", 2)});
    VERSION v;
    ASSERT_EQ(DB_version_scan(nullptr, DB_SCAN_OPEN, "", &v), 0);
    EXPECT_STREQ(v.tag, "VeR");
    EXPECT_STREQ(v.name, "DEFAULT");
    EXPECT_STREQ(v.owner, "bob");
    EXPECT_EQ(v.version_id, 1);
    EXPECT_EQ(v.status, 1u);
    EXPECT_EQ(v.state_id, 41);
    EXPECT_STREQ(v.description, "Edits of DEFAULT");
    EXPECT_STREQ(v.parent_name, "DEFAULT");
    EXPECT_STREQ(v.parent_owner, "zel");
    EXPECT_EQ(v.parent_version_id, 1);
    EXPECT_EQ(v.creation_time, kCreatedTime);
    ASSERT_EQ(DB_version_scan(nullptr, DB_SCAN_NEXT, nullptr, &v), 0);
    EXPECT_STREQ(v.name, "edits");
    EXPECT_STREQ(v.description, "");
    EXPECT_STREQ(v.parent_name, "");
    EXPECT_STREQ(v.parent_owner, "");
    EXPECT_EQ(v.parent_version_id, 0);
    EXPECT_EQ(DB_version_scan(nullptr, DB_SCAN_NEXT, nullptr, &v), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_version_scan(nullptr, DB_SCAN_NEXT, nullptr, &v), ZE_SCAN_NOT_STARTED);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kScanAll, "COMMIT"}));
    // With a condition; a second open discards the first scan.
    const std::string where = kSelect + "       creation_time FROM   zel:zel.versions WHERE "
                                        "owner = 'bob'";
    scli::on_sql(where).columns(VersionColumns()).rows({Full("a", 3), Full("b", 4)}).times(2);
    ASSERT_EQ(DB_version_scan(nullptr, DB_SCAN_OPEN, "owner = 'bob'", &v), 0);
    ASSERT_EQ(DB_version_scan(nullptr, DB_SCAN_OPEN, "owner = 'bob'", &v), 0);
    EXPECT_STREQ(v.name, "a");
    EXPECT_EQ(DB_version_scan(nullptr, DB_SCAN_CLOSE, nullptr, nullptr), 0);
    EXPECT_EQ(DB_version_scan(nullptr, DB_SCAN_NEXT, nullptr, &v), ZE_SCAN_NOT_STARTED);
}

TEST_F(DbVersion, ScanFailures)
{
    scli::on_sql(kScanAll).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    VERSION v;
    EXPECT_EQ(quiet_stderr([&] { return DB_version_scan(nullptr, DB_SCAN_OPEN, nullptr, &v); }),
              ZE_TABLE_NOT_FOUND);
    scli::on_sql(kScanAll)
        .columns(VersionColumns())
        .rows({Full("a", 3)})
        .at_fetch(1, SQL_ERROR, {"HY000", -111, "read"});
    EXPECT_EQ(quiet_stderr([&] { return DB_version_scan(nullptr, DB_SCAN_OPEN, nullptr, &v); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(Xerr().native_error, -111);
    EXPECT_EQ(DB_version_scan(nullptr, DB_SCAN_NEXT, nullptr, &v), ZE_SCAN_NOT_STARTED);
    EXPECT_EQ(DB_version_scan(nullptr, DB_SCAN_OPEN, nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(DbVersion, ReadsByNameAndId)
{
    VE_CODEPAGE latin{};
    latin.native = {VE_CODEPAGE_1252, VE_CODEPAGE_SINGLE_BYTE, "1252"};
    latin.other = latin.native;
    db_identifier_codepage = &latin;
    const std::string by_name = ByWhere("owner = 'editor' AND name = 'it''s'");
    const std::string quoted_owner = ByWhere("owner = 'o''brien' AND name = 'x'");
    scli::on_sql(by_name).columns(VersionColumns()).row(Bare("it's", 6));
    scli::on_sql(quoted_owner).columns(VersionColumns());
    scli::on_sql(ByWhere("version_id = 4")).columns(VersionColumns()).row(Full("four", 4));
    VERSION v;
    ASSERT_EQ(DB_version_get_by_name(nullptr, "EDITOR", "it's", &v), 0);
    EXPECT_STREQ(v.tag, "VeR");
    EXPECT_STREQ(v.name, "it's");
    EXPECT_STREQ(v.description, "");
    EXPECT_EQ(v.parent_version_id, 0);
    // The owner is the caller's text too: its quotes are doubled.
    EXPECT_EQ(DB_version_get_by_name(nullptr, "o'brien", "x", &v), ZE_VERSION_NOT_FOUND);
    ASSERT_EQ(DB_version_get_by_id(nullptr, 4, &v), 0);
    EXPECT_STREQ(v.name, "four");
    EXPECT_EQ(v.creation_time, kCreatedTime);
    // Reads: the caller's transaction is left open.
    EXPECT_EQ(Sent(), (std::vector<std::string>{by_name, quoted_owner, ByWhere("version_id = 4")}));
    EXPECT_EQ(DB_version_get_by_name(nullptr, std::string(32, 'o').c_str(), "x", &v),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_version_get_by_name(nullptr, nullptr, "x", &v), ZE_NULL_POINTER);
}

TEST_F(DbVersion, SingleReadFailuresAreMissingTableOrDbmsError)
{
    // Only a missing table keeps its own code; every other failure is -51
    // with the diagnostic recorded, and nothing is committed.
    const struct {
        const char *what;
        std::function<void(scli::Answer &)> script;
        int32_t rc;
        int32_t native;
    } cases[] = {
        {"prepare, no table",
         [](scli::Answer &a) {
             a.at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
         },
         ZE_TABLE_NOT_FOUND, -206},
        {"prepare, no permission",
         [](scli::Answer &a) {
             a.at_prepare(SQL_ERROR, {"42000", -272, "no select"});
         },
         ZE_DBMS_ERROR, -272},
        {"prepare, syntax",
         [](scli::Answer &a) {
             a.at_prepare(SQL_ERROR, {"37000", -201, "syntax"});
         },
         ZE_DBMS_ERROR, -201},
        {"execute, no table",
         [](scli::Answer &a) {
             a.fail(SQL_ERROR, {"S0002", -206, "no table"});
         },
         ZE_TABLE_NOT_FOUND, -206},
        {"execute, no permission",
         [](scli::Answer &a) {
             a.fail(SQL_ERROR, {"42000", -272, "no select"});
         },
         ZE_DBMS_ERROR, -272},
        {"fetch",
         [](scli::Answer &a) {
             a.at_fetch(1, SQL_ERROR, {"HY000", -111, "read"});
         },
         ZE_DBMS_ERROR, -111},
    };
    int32_t id = 10;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Mark();
        DB_instance_clear_xerr();
        id++;
        scli::Answer &a = scli::on_sql(ByWhere("version_id = " + std::to_string(id)))
                              .columns(VersionColumns())
                              .row(Full("v", id));
        c.script(a);
        VERSION v;
        EXPECT_EQ(quiet_stderr([&] { return DB_version_get_by_id(nullptr, id, &v); }), c.rc);
        EXPECT_EQ(Xerr().native_error, c.native);
        for (const std::string &sql : Sent())
            EXPECT_NE(sql, "COMMIT");
    }
}

TEST_F(DbVersion, ObsoleteEntryPointsSayItAndFail)
{
    StderrCapture capture;
    EXPECT_EQ(DB_versions_def_change_state(nullptr, nullptr, 0), ZE_FAILURE);
    EXPECT_EQ(DB_versions_def_delete(nullptr, nullptr, nullptr), ZE_FAILURE);
    EXPECT_EQ(DB_versions_def_rename(nullptr, nullptr, nullptr, nullptr), ZE_FAILURE);
    EXPECT_EQ(DB_versions_def_update(nullptr, nullptr), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Obsolete function DB_versions_def_change_state() called!\n"
                              "Obsolete function DB_versions_def_delete() called!\n"
                              "Obsolete function DB_versions_def_rename() called!\n"
                              "Obsolete function DB_versions_def_update() called!\n");
}

} // namespace
