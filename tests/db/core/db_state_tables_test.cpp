// Tests the catalogue's tables of the version tree against the scripted CLI:
// VERSIONS with its DEFAULT row, STATES with the base state and the state id
// generator made only where it is missing, the STATE_LINEAGES test that keeps
// its base pair, trigger and index, and the conversion of an older STATES
// table (lineage blobs into pairs, the old columns dropped) with the table
// dropped again when the conversion fails, also for a damaged blob.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/util/ve_lineage_internal.h"
#include "base/util/zel_errors.h"
#include "db/core/db_diag.h"
#include "db/core/db_system_tables.h"
#include "db/version/db_scan_mode.h"
#include "db/version/db_state_internal.h"
#include "tests/db/core/catalog_fixture.h"
#include "tests/db/core/catalog_tables_sql.h"

namespace
{

using namespace catalog_sql;

const scli::Diag kRefused{"HY000", -999, "refused"};

// The lineage blob of the ancestors.
std::string Blob(const std::vector<int32_t> &ids)
{
    uint8_t *blob = nullptr;
    size_t size = 0;
    EXPECT_EQ(ves_lineage_encode(ids.data(), static_cast<int32_t>(ids.size()), &blob, &size), 0);
    std::string out(reinterpret_cast<char *>(blob), size);
    free(blob);
    return out;
}

// An older STATES row: its lineage length as stored, and its blob.
scli::Row OldRow(int32_t id, int32_t length, const std::string &blob, int32_t rowid)
{
    return {scli::i32(id),   scli::varchar("zel"), scli::timestamp(2020, 1, 2, 3, 4, 5),
            scli::null(),    scli::i32(length),    scli::binary(blob),
            scli::i32(rowid)};
}

void OldStates(std::vector<scli::Row> rows)
{
    scli::on_sql(kOldScan)
        .columns({{"state_id", SQL_INTEGER},
                  {"owner", SQL_VARCHAR, 32},
                  {"creation_time", SQL_TYPE_TIMESTAMP},
                  {"closing_time", SQL_TYPE_TIMESTAMP},
                  {"lineage_length", SQL_INTEGER},
                  {"lineage", SQL_LONGVARBINARY},
                  {"rowid", SQL_INTEGER}})
        .rows(std::move(rows));
}

class StateTables : public CatalogTest
{
  protected:
    void TearDown() override
    {
        STATE closing;
        db_states_read_for_lineages(nullptr, DB_SCAN_CLOSE, nullptr, &closing);
        CatalogTest::TearDown();
    }
};

TEST_F(StateTables, VersionsAreCreatedWithTheDefaultVersion)
{
    DBTUNE_SYSTEM_CONFIG config;
    memset(&config, 0, sizeof(config));
    config.counter = 100;
    strcpy(config.VERSIONS_TABLE, "<VERSIONS_TABLE>");
    EXPECT_EQ(DB_instance_versions_table_create(nullptr, &config), 0);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{std::string(kVersions) + "<VERSIONS_TABLE>", "COMMIT",
                                        kVersionsInsert, "COMMIT",
                                        "GRANT SELECT ON zel:zel.versions TO PUBLIC", "COMMIT"}));
    std::vector<std::vector<std::string>> bound = Bound(kVersionsInsert);
    ASSERT_EQ(bound.size(), 1u);
    ASSERT_EQ(bound[0].size(), 10u);
    // Name, owner, id, status, state, description; no parent.
    EXPECT_EQ(std::vector<std::string>(bound[0].begin(), bound[0].begin() + 9),
              (std::vector<std::string>{"DEFAULT", "zel", "1", "1", "0",
                                        "Instance default version.", "NULL", "NULL", "NULL"}));

    // A refused row: no grant.
    Restart();
    scli::on_sql(kVersionsInsert).fail(SQL_ERROR, {"23000", -268, "unique"});
    EXPECT_EQ(DB_instance_versions_table_create(nullptr, nullptr), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kVersions, "COMMIT", kVersionsInsert}));
}

TEST_F(StateTables, StatesAreCreatedWithTheBaseStateAndTheGeneratorWhereMissing)
{
    const std::vector<std::string> head = {kStates,  "COMMIT",     kStatesInsert,
                                           "COMMIT", kStatesGrant, "COMMIT"};
    struct Case {
        const char *name;
        const scli::Diag *table; // the generator's table
        const scli::Diag *call;  // the generator's function
        std::vector<std::string> tail;
    } cases[] = {
        {"both there", &kExists, nullptr, {kGeneratorTable, kGeneratorCall}},
        {"function missing",
         &kExists,
         &kNoRoutine,
         {kGeneratorTable, kGeneratorCall, kGeneratorTable2, kGeneratorFunction, "COMMIT"}},
        {"none there",
         nullptr,
         &kNoRoutine,
         {kGeneratorTable, "COMMIT", kGeneratorCall, kGeneratorTable2, kGeneratorFunction,
          "COMMIT"}},
        // A check that fails otherwise makes the generator as well.
        {"check refused",
         nullptr,
         &kRefused,
         {kGeneratorTable, "COMMIT", kGeneratorCall, kGeneratorTable2, "COMMIT", kGeneratorFunction,
          "COMMIT"}},
    };
    for (const Case &c : cases) {
        Restart();
        if (c.table != nullptr)
            scli::on_sql(kGeneratorTable).fail(SQL_ERROR, *c.table);
        if (c.call != nullptr)
            scli::on_sql(kGeneratorCall).fail(SQL_ERROR, *c.call);
        // After a refused check the generator's table is new.
        if (c.call != nullptr && c.call != &kRefused)
            scli::on_sql(kGeneratorTable2).fail(SQL_ERROR, kExists);
        EXPECT_EQ(DB_instance_states_table_create(nullptr, nullptr), 0) << c.name;
        std::vector<std::string> expected = head;
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(Executed(), expected) << c.name;
    }
    // The base state: id 0, owned by zel.
    std::vector<std::vector<std::string>> bound = Bound(kStatesInsert);
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0][0], "0");
    EXPECT_EQ(bound[0][1], "zel");
    EXPECT_EQ(bound[0][4], "0");

    // A failed step stops the sequence.
    Restart();
    scli::on_sql(kStatesInsert).fail(SQL_ERROR, kRefused);
    EXPECT_NE(DB_instance_states_table_create(nullptr, nullptr), 0);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kStates, "COMMIT", kStatesInsert}));
}

TEST_F(StateTables, LineagesTestKeepsOneBasePairTriggerAndIndex)
{
    // Twice over a table without the base pair, then with it.
    ScriptCount(kBaseCount, 0);
    ScriptCount(kBaseCount, 1);
    scli::on_sql(kProbeTrigger).fail(SQL_ERROR, {"IX000", -741, "trigger exists"});
    scli::on_sql(kIndex).fail(SQL_ERROR, {"S0011", -316, "index exists"});
    EXPECT_EQ(DB_instance_lineages_table_exists(nullptr), 0);
    EXPECT_EQ(DB_instance_lineages_table_exists(nullptr), 0);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{kBaseCount, kBasePair, "COMMIT", kProbeTrigger, kIndex,
                                        kBaseCount, kProbeTrigger, "COMMIT", kIndex, "COMMIT"}));

    struct Case {
        const char *name;
        const char *sql;
        bool at_prepare;
        scli::Diag diag;
        int32_t expected;
        bool recorded;
    } cases[] = {
        {"no table", kBaseCount, true, kNoTable, ZE_TABLE_NOT_FOUND, false},
        {"count refused", kBaseCount, false, kRefused, ZE_DBMS_ERROR, true},
        {"base pair refused",
         kBasePair,
         false,
         {"42000", -273, "no permission"},
         ZE_NO_PERMISSIONS,
         true},
        {"trigger refused", kProbeTrigger, false, kRefused, ZE_DBMS_ERROR, false},
        {"index refused",
         kIndex,
         false,
         {"42000", -273, "no permission"},
         ZE_NO_PERMISSIONS,
         false},
    };
    for (const Case &c : cases) {
        Restart();
        if (c.sql != kBaseCount)
            ScriptCount(kBaseCount, c.sql == kBasePair ? 0 : 1);
        if (c.at_prepare)
            scli::on_sql(c.sql).at_prepare(SQL_ERROR, c.diag);
        else
            scli::on_sql(c.sql).fail(SQL_ERROR, c.diag);
        EXPECT_EQ(DB_instance_lineages_table_exists(nullptr), c.expected) << c.name;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_EQ(x.code != 0, c.recorded) << c.name;
    }
    // STATES without state 0: the INSERT ... SELECT writes nothing.
    Restart();
    ScriptCount(kBaseCount, 0);
    scli::on_sql(kBasePair).no_data();
    EXPECT_EQ(DB_instance_lineages_table_exists(nullptr), 0);
}

TEST_F(StateTables, ConversionWritesThePairsOfTheOlderLayout)
{
    DBTUNE_SYSTEM_CONFIG config;
    memset(&config, 0, sizeof(config));
    config.counter = 100;
    strcpy(config.STATE_LINEAGES_TABLE, "<STATE_LINEAGES_TABLE>");
    ScriptCount(kPairCount, 3);
    // State 0 has no ancestors; state 1 has 0.
    OldStates({OldRow(0, 0, Blob({}), 257), OldRow(1, 1, Blob({0}), 258)});
    EXPECT_EQ(DB_instance_lineages_table_create(nullptr, &config), 0);
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{std::string(kLineages) + "<STATE_LINEAGES_TABLE>", "COMMIT",
                                        kLineagesGrant, "COMMIT", kPairCount, kOldScan, "COMMIT",
                                        kPairInsert, "COMMIT", kPairInsert, "COMMIT", kPairInsert,
                                        "COMMIT", kCreateTrigger, "COMMIT", kIndex, "COMMIT"}));
    EXPECT_EQ(Bound(kPairInsert),
              (std::vector<std::vector<std::string>>{{"0", "0"}, {"1", "0"}, {"1", "1"}}));

    // Rows added after the count are converted as well.
    Restart();
    ScriptCount(kPairCount, 1);
    OldStates({OldRow(0, 0, Blob({}), 257), OldRow(5, 2, Blob({0, 3}), 258)});
    EXPECT_EQ(DB_instance_lineages_table_create(nullptr, nullptr), 0);
    EXPECT_EQ(Bound(kPairInsert), (std::vector<std::vector<std::string>>{
                                      {"0", "0"}, {"5", "0"}, {"5", "3"}, {"5", "5"}}));
}

TEST_F(StateTables, ConversionWithoutStatesOrOldColumns)
{
    // No states: the message, and an empty table without trigger or index.
    ScriptCount(kPairCount, 0);
    EXPECT_EQ(DB_instance_lineages_table_create(nullptr, nullptr), 0);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kLineages, "COMMIT", kLineagesGrant, "COMMIT",
                                                    kPairCount}));
    EXPECT_EQ(Stderr(), "No states found in zel:zel.states table.\n");

    // STATES of the current layout: the base pair, trigger and index only.
    Restart();
    scli::on_sql(kPairCount).at_prepare(SQL_ERROR, kNoColumn);
    ScriptCount(kBaseCount, 0);
    EXPECT_EQ(DB_instance_lineages_table_create(nullptr, nullptr), 0);
    EXPECT_EQ(Executed(), (std::vector<std::string>{kLineages, "COMMIT", kLineagesGrant, "COMMIT",
                                                    kBaseCount, kBasePair, "COMMIT", kProbeTrigger,
                                                    "COMMIT", kIndex, "COMMIT"}));
}

TEST_F(StateTables, AFailedConversionDropsTheTableAgain)
{
    // A blob shorter than the ancestors its row claims.
    const std::string damaged = Blob({0, 3}).substr(0, 2);
    struct Case {
        const char *name;
        std::function<void()> script;
        int32_t expected;
        std::vector<std::string> executed;
    } cases[] = {
        {"grant refused",
         [] { scli::on_sql(kLineagesGrant).fail(SQL_ERROR, kRefused); },
         ZE_DBMS_ERROR,
         {kLineages, "COMMIT", kLineagesGrant, kLineagesDrop, "COMMIT"}},
        {"count refused",
         [] { scli::on_sql(kPairCount).fail(SQL_ERROR, kRefused); },
         ZE_DBMS_ERROR,
         {kLineages, "COMMIT", kLineagesGrant, "COMMIT", kPairCount, kLineagesDrop, "COMMIT"}},
        {"damaged lineage",
         [&] {
             ScriptCount(kPairCount, 4);
             OldStates({OldRow(0, 0, Blob({}), 257), OldRow(7, 2, damaged, 258)});
         },
         ZE_INVALID_ARGUMENT,
         {kLineages, "COMMIT", kLineagesGrant, "COMMIT", kPairCount, kOldScan, "COMMIT",
          kLineagesDrop, "COMMIT"}},
        {"insert refused",
         [] {
             ScriptCount(kPairCount, 1);
             OldStates({OldRow(0, 0, Blob({}), 257)});
             scli::on_sql(kPairInsert).fail(SQL_ERROR, kRefused);
         },
         ZE_DBMS_ERROR,
         {kLineages, "COMMIT", kLineagesGrant, "COMMIT", kPairCount, kOldScan, "COMMIT",
          kPairInsert, kLineagesDrop, "COMMIT"}},
    };
    for (const Case &c : cases) {
        Restart();
        c.script();
        EXPECT_EQ(DB_instance_lineages_table_create(nullptr, nullptr), c.expected) << c.name;
        EXPECT_EQ(Executed(), c.executed) << c.name;
        DB_EXT_ERROR x;
        DB_instance_get_xerr(&x);
        EXPECT_NE(x.code, 0) << c.name;
    }
    // A failed trigger keeps the filled table.
    Restart();
    ScriptCount(kPairCount, 1);
    OldStates({OldRow(0, 0, Blob({}), 257)});
    scli::on_sql(kCreateTrigger).fail(SQL_ERROR, kRefused);
    EXPECT_EQ(DB_instance_lineages_table_create(nullptr, nullptr), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed().back(), kCreateTrigger);
}

TEST_F(StateTables, StatesTestConvertsAnOlderTableOnce)
{
    // The current layout, no table, and another refusal: prepare only.
    struct Case {
        const scli::Diag *diag;
        int32_t expected;
    } cases[] = {{&kNoColumn, 0}, {&kNoTable, ZE_TABLE_NOT_FOUND}, {&kRefused, SQL_ERROR}};
    for (const Case &c : cases) {
        Restart();
        scli::on_sql(kOldProbe).at_prepare(SQL_ERROR, *c.diag);
        EXPECT_EQ(DB_instance_states_table_exists(nullptr), c.expected) << c.diag->sqlstate;
        EXPECT_EQ(Trace(), (std::vector<std::string>{std::string("prepared ") + kOldProbe}))
            << c.diag->sqlstate;
    }

    // An older table: STATE_LINEAGES is made with the DATA_DICTIONARY
    // storage of the DBTUNE store and filled, the columns dropped and the
    // generator made.
    Restart();
    scli::on_sql(kBaseCount).at_prepare(SQL_ERROR, kNoTable);
    scli::on_sql(kDbtuneRead)
        .columns({{"keyword", SQL_VARCHAR},
                  {"parameter_name", SQL_VARCHAR},
                  {"config_string", SQL_VARCHAR}})
        .row({scli::varchar("DATA_DICTIONARY"), scli::varchar("STATE_LINEAGES_TABLE"),
              scli::varchar(" IN dd")});
    ScriptCount(kPairCount, 1);
    OldStates({OldRow(0, 0, Blob({}), 257)});
    scli::on_sql(kGeneratorCall).fail(SQL_ERROR, kNoRoutine);
    EXPECT_EQ(DB_instance_states_table_exists(nullptr), 0);
    EXPECT_EQ(Trace(), (std::vector<std::string>{std::string("prepared ") + kOldProbe,
                                                 "prepared " + std::string(kBaseCount),
                                                 "prepared SELECT keyword FROM zel:zel.dbtune",
                                                 "COMMIT",
                                                 kDbtuneRead,
                                                 std::string(kLineages) + " IN dd",
                                                 "COMMIT",
                                                 kLineagesGrant,
                                                 "COMMIT",
                                                 kPairCount,
                                                 kOldScan,
                                                 "COMMIT",
                                                 kPairInsert,
                                                 "COMMIT",
                                                 kCreateTrigger,
                                                 "COMMIT",
                                                 kIndex,
                                                 "COMMIT",
                                                 kDropColumns,
                                                 "COMMIT",
                                                 kGeneratorTable,
                                                 "COMMIT",
                                                 kGeneratorCall,
                                                 kGeneratorTable2,
                                                 "COMMIT",
                                                 kGeneratorFunction,
                                                 "COMMIT"}));

    // A conversion that fails keeps the old columns.
    Restart();
    scli::on_sql(kBaseCount).at_prepare(SQL_ERROR, kNoTable);
    ScriptCount(kPairCount, 2);
    OldStates({OldRow(0, 0, Blob({}), 257), OldRow(1, 5, Blob({0}), 258)});
    EXPECT_EQ(DB_instance_states_table_exists(nullptr), ZE_INVALID_ARGUMENT);
    std::vector<std::string> executed = Executed();
    EXPECT_EQ(std::count(executed.begin(), executed.end(), std::string(kDropColumns)), 0);
}

} // namespace
