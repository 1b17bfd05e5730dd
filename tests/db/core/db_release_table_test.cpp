// Tests the release table against the scripted CLI: its creation with the
// storage clause rule and the row's binding, the read of the row (a full
// 96-character description whole, an empty and a missing table), the update
// that binds the description as the insert does and takes a row-less update
// as success, and the failures that fill the connection's error record.
#include "db/core/db_release_table.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "db/core/db_stmt_internal.h"
#include "tests/db/core/catalog_fixture.h"
#include "tests/db/core/catalog_tables_sql.h"

namespace
{

using namespace catalog_sql;

// The binding of the description: CHAR of 96, a buffer with its terminator.

RELEASE Release(const std::string &description)
{
    RELEASE r;
    memset(&r, 0, sizeof(r));
    r.major = 8;
    r.minor = 1;
    r.bugfix = 1;
    memcpy(r.description, description.data(),
           description.size() < sizeof(r.description) ? description.size() : sizeof(r.description));
    r.release = 81100;
    return r;
}

const std::string k96(96, 'd');

using ReleaseTable = CatalogTest;

TEST_F(ReleaseTable, CreateAppendsTheClauseOnlyForAKeywordOfTheStore)
{
    struct Case {
        int16_t counter;
        const char *clause;
        std::string expected;
    } cases[] = {
        {0, " IN dbs1", kReleaseCreate},
        {99, " IN dbs1", kReleaseCreate},
        {100, "", kReleaseCreate},
        {100, " IN dbs1", std::string(kReleaseCreate) + " IN dbs1"},
        {301, "EXTENT SIZE 16", std::string(kReleaseCreate) + "EXTENT SIZE 16"},
    };
    for (const Case &c : cases) {
        Restart();
        DBTUNE_SYSTEM_CONFIG config;
        memset(&config, 0, sizeof(config));
        config.counter = c.counter;
        snprintf(config.B_STORAGE, sizeof(config.B_STORAGE), "%s", c.clause);
        RELEASE r = Release("IDS 11.50");
        EXPECT_EQ(DB_instance_release_table_create(nullptr, &r, &config), 0);
        EXPECT_EQ(Executed(), (std::vector<std::string>{c.expected, "COMMIT", kReleaseInsert,
                                                        "COMMIT", "COMMIT"}))
            << c.counter << " " << c.clause;
    }
}

TEST_F(ReleaseTable, CreateStoresTheRecordAndAFullDescriptionWhole)
{
    RELEASE r = Release(k96); // no terminator inside the field
    EXPECT_EQ(DB_instance_release_table_create(nullptr, &r, nullptr), 0);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kReleaseCreate, "COMMIT", kReleaseInsert,
                                                    "COMMIT", "COMMIT"}));
    EXPECT_EQ(Bound(kReleaseInsert),
              (std::vector<std::vector<std::string>>{{"8", "1", "1", k96, "81100"}}));
    std::vector<std::string> binds = Details("SQLBindParameter");
    ASSERT_EQ(binds.size(), 5u);
    EXPECT_EQ(binds[3], kDescriptionBinding);
}

TEST_F(ReleaseTable, CreateFailures)
{
    struct Case {
        const char *sql;
        bool at_prepare;
        scli::Diag diag;
        int32_t expected;
        bool recorded;
        std::vector<std::string> executed;
    } cases[] = {
        // The CREATE meets a missing object.
        {kReleaseCreate, false, {"S0002", -206, "not found"}, -89, false, {kReleaseCreate}},
        // The table exists already: not a missing object.
        {kReleaseCreate, false, {"S0001", -310, "exists"}, ZE_DBMS_ERROR, true, {kReleaseCreate}},
        {kReleaseCreate, true, {"42000", -273, "no permission"}, ZE_DBMS_ERROR, true, {}},
        // The table stays, empty.
        {kReleaseInsert,
         false,
         {"23000", -268, "unique"},
         ZE_DBMS_ERROR,
         true,
         {kReleaseCreate, "COMMIT", kReleaseInsert}},
    };
    for (const Case &c : cases) {
        Restart();
        if (c.at_prepare)
            scli::on_sql(c.sql).at_prepare(SQL_ERROR, c.diag);
        else
            scli::on_sql(c.sql).fail(SQL_ERROR, c.diag);
        RELEASE r = Release("x");
        EXPECT_EQ(DB_instance_release_table_create(nullptr, &r, nullptr), c.expected) << c.sql;
        EXPECT_EQ(Executed(), c.executed) << c.sql;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        if (c.recorded) {
            EXPECT_EQ(x.code, ZE_DBMS_ERROR);
            EXPECT_EQ(x.native_error, c.diag.native);
            EXPECT_STREQ(x.text, c.diag.sqlstate.c_str());
        } else {
            EXPECT_EQ(x.code, 0);
        }
    }
    EXPECT_EQ(DB_instance_release_table_create(nullptr, nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(ReleaseTable, ReadGivesTheRowWithAFullDescription)
{
    scli::on_sql(kReleaseSelect)
        .columns(ReleaseColumns())
        .row({scli::i32(8), scli::i32(1), scli::i32(0), scli::varchar(k96), scli::i32(81000)});
    RELEASE r;
    memset(&r, 'x', sizeof(r));
    EXPECT_EQ(DB_instance_get_release(nullptr, &r), 0);
    EXPECT_EQ(r.major, 8);
    EXPECT_EQ(r.minor, 1);
    EXPECT_EQ(r.bugfix, 0);
    EXPECT_EQ(std::string(r.description, sizeof(r.description)), k96);
    EXPECT_EQ(r.release, 81000);

    scli::on_sql(kReleaseSelect)
        .columns(ReleaseColumns())
        .row({scli::i32(8), scli::i32(1), scli::i32(1), scli::varchar("short"), scli::i32(81100)});
    EXPECT_EQ(DB_instance_get_release(nullptr, &r), 0);
    EXPECT_STREQ(r.description, "short");
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{kReleaseSelect, "COMMIT", kReleaseSelect, "COMMIT"}));
    EXPECT_EQ(DB_instance_get_release(nullptr, nullptr), ZE_NULL_POINTER);
}

TEST_F(ReleaseTable, ReadFailures)
{
    const std::vector<scli::Column> columns = {{"major", SQL_INTEGER},
                                               {"minor", SQL_INTEGER},
                                               {"bugfix", SQL_INTEGER},
                                               {"description", SQL_VARCHAR, 96},
                                               {"release", SQL_INTEGER}};
    struct Case {
        const char *name;
        void (*script)(const std::vector<scli::Column> &);
        int32_t expected;
        bool recorded;
    } cases[] = {
        {"empty table", [](const auto &cols) { scli::on_sql(kReleaseSelect).columns(cols); },
         DB_NO_MORE_DATA, false},
        {"no table at prepare",
         [](const auto &) {
             scli::on_sql(kReleaseSelect).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
         },
         ZE_INVALID_RELEASE, false},
        {"no table at execute",
         [](const auto &) {
             scli::on_sql(kReleaseSelect).fail(SQL_ERROR, {"S0002", -206, "no table"});
         },
         ZE_INVALID_RELEASE, false},
        {"execute refused",
         [](const auto &) {
             scli::on_sql(kReleaseSelect).fail(SQL_ERROR, {"HY000", -999, "gone"});
         },
         ZE_DBMS_ERROR, true},
        {"fetch refused",
         [](const auto &cols) {
             scli::on_sql(kReleaseSelect)
                 .columns(cols)
                 .row({scli::i32(8), scli::i32(1), scli::i32(1), scli::varchar("x"),
                       scli::i32(81100)})
                 .at_fetch(1, SQL_ERROR, {"HY000", -244, "read"});
         },
         ZE_DBMS_ERROR, true},
    };
    for (const Case &c : cases) {
        Restart();
        c.script(columns);
        RELEASE r;
        memset(&r, 0, sizeof(r));
        EXPECT_EQ(DB_instance_get_release(nullptr, &r), c.expected) << c.name;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, c.recorded ? ZE_DBMS_ERROR : 0) << c.name;
    }
}

TEST_F(ReleaseTable, UpdateBindsTheDescriptionAsTheInsertDoes)
{
    RELEASE r = Release(k96);
    EXPECT_EQ(DB_instance_update_release(nullptr, 81000, &r), 0);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kReleaseUpdate, "COMMIT"}));
    EXPECT_EQ(Bound(kReleaseUpdate),
              (std::vector<std::vector<std::string>>{{"8", "1", "1", k96, "81100"}}));
    std::vector<std::string> binds = Details("SQLBindParameter");
    ASSERT_EQ(binds.size(), 5u);
    EXPECT_EQ(binds[3], kDescriptionBinding);

    // No row of that release: nothing changes, and that is no failure.
    // Drivers answer it either way: SQL_NO_DATA, or success with no row counted.
    scli::on_sql(kReleaseUpdate).no_data();
    EXPECT_EQ(DB_instance_update_release(nullptr, 81000, &r), 0);
    scli::on_sql(kReleaseUpdate).row_count(0);
    EXPECT_EQ(DB_instance_update_release(nullptr, 81000, &r), 0);
    EXPECT_EQ(DB_instance_update_release(nullptr, 81000, nullptr), ZE_NULL_POINTER);
}

TEST_F(ReleaseTable, UpdateFailures)
{
    struct Case {
        bool at_prepare;
        scli::Diag diag;
        int32_t expected;
        bool recorded;
    } cases[] = {
        {true, {"S0002", -206, "no table"}, ZE_INVALID_RELEASE, false},
        {true, {"42000", -273, "no permission"}, ZE_DBMS_ERROR, true},
        {false, {"23000", -391, "null"}, ZE_DBMS_ERROR, true},
    };
    for (const Case &c : cases) {
        Restart();
        if (c.at_prepare)
            scli::on_sql(kReleaseUpdate).at_prepare(SQL_ERROR, c.diag);
        else
            scli::on_sql(kReleaseUpdate).fail(SQL_ERROR, c.diag);
        RELEASE r = Release("x");
        EXPECT_EQ(DB_instance_update_release(nullptr, 81000, &r), c.expected) << c.diag.sqlstate;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code, c.recorded ? ZE_DBMS_ERROR : 0) << c.diag.sqlstate;
        EXPECT_EQ(Executed(), c.at_prepare ? std::vector<std::string>{}
                                           : std::vector<std::string>{kReleaseUpdate})
            << c.diag.sqlstate;
    }
}

TEST_F(ReleaseTable, DropDropsTheUnqualifiedTable)
{
    EXPECT_EQ(DB_instance_release_table_drop(nullptr), 0);
    scli::on_sql("DROP TABLE version").fail(SQL_ERROR, {"S0002", -206, "no table"});
    EXPECT_EQ(DB_instance_release_table_drop(nullptr), ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{"DROP TABLE version", "COMMIT", "DROP TABLE version"}));
}

} // namespace
