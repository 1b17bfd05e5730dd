// State records: the block scan of STATES with each state's lineage from
// STATE_LINEAGES, the single read by id, the child and version tests, the
// registrations a list of states modified, the raw STATES insert and the
// obsolete entry points, each with the exact SQL it sends.
#include "db/version/db_state_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/version/state_fixture.h"

namespace
{

using namespace state_test;
using Bytes = std::vector<uint8_t>;

class DbState : public StateTest
{
  protected:
    void TearDown() override
    {
        DB_state_scan(nullptr, DB_SCAN_CLOSE, nullptr, nullptr);
        StateTest::TearDown();
    }
};

TEST_F(DbState, ScanDeliversEachStateWithItsLineage)
{
    lineages_ = {{0, {0}}, {3, {0, 3}}, {7, {0, 3, 7}}};
    ServeLineages();
    scli::on_sql(kScanAll)
        .columns(state_columns())
        .rows({state_row(0, "zel", true), state_row(3, "bob", true), state_row(7, "bob")});
    const struct {
        int32_t id;
        const char *owner;
        uint32_t closing;
        int32_t length;
        Bytes blob;
    } expected[] = {{0, "zel", kClosedTime, 0, {0x00}},
                    {3, "bob", kClosedTime, 1, {0x01, 0x00}},
                    {7, "bob", 0, 2, {0x02, 0x00, 0x03}}};
    STATE state;
    int mode = DB_SCAN_OPEN;
    for (const auto &e : expected) {
        SCOPED_TRACE(e.id);
        ASSERT_EQ(DB_state_scan(nullptr, mode, nullptr, &state), 0);
        mode = DB_SCAN_NEXT;
        EXPECT_STREQ(state.tag, "StA");
        EXPECT_EQ(state.state_id, e.id);
        EXPECT_STREQ(state.owner, e.owner);
        EXPECT_EQ(state.creation_time, kCreatedTime);
        EXPECT_EQ(state.closing_time, e.closing);
        EXPECT_EQ(state.lineage_length, e.length);
        EXPECT_EQ(blob_of(state), e.blob);
    }
    EXPECT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), ZE_SCAN_NOT_STARTED);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kScanAll, "COMMIT", kLineage, kLineage, kLineage}));
    std::vector<std::string> asked;
    for (const scli::Call &c : scli::calls_of("SQLExecute")) {
        if (c.sql == kLineage)
            asked.push_back(c.params.at(0).at(0));
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"0", "3", "7"}));
}

TEST_F(DbState, ScanFreesOnlyTheBlobsItHandedOut)
{
    lineages_ = {{3, {0, 3}}, {4, {0, 4}}};
    ServeLineages();
    const std::string where = "owner = 'bob'";
    scli::on_sql(kScanAll.substr(0, kScanAll.size() - 4) + " WHERE " + where)
        .columns(state_columns())
        .rows({state_row(3, "bob"), state_row(4, "bob")})
        .times(2);
    STATE state;
    ASSERT_EQ(DB_state_scan(nullptr, DB_SCAN_OPEN, where.c_str(), &state), 0);
    // The caller points the record at a lineage of its own: the scan must
    // neither free nor reuse it.
    uint8_t own[] = {0x01, 0x00};
    state.lineage = own;
    ASSERT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), 0);
    EXPECT_EQ(state.state_id, 4);
    EXPECT_EQ(own[0], 0x01);
    // A second open discards the first scan and starts over.
    state.lineage = own;
    ASSERT_EQ(DB_state_scan(nullptr, DB_SCAN_OPEN, where.c_str(), &state), 0);
    EXPECT_EQ(state.state_id, 3);
    EXPECT_EQ(blob_of(state), (Bytes{0x01, 0x00}));
    EXPECT_EQ(DB_state_scan(nullptr, DB_SCAN_CLOSE, nullptr, nullptr), 0);
    EXPECT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), ZE_SCAN_NOT_STARTED);
}

TEST_F(DbState, ScanReadsRowsetsOfOneHundred)
{
    std::vector<scli::Row> rows;
    for (int32_t id = 1; id <= 230; id++) {
        rows.push_back(state_row(id, "bob"));
        lineages_[id] = {0, id};
    }
    ServeLineages();
    scli::on_sql(kScanAll).columns(state_columns()).rows(rows);
    STATE state;
    int32_t delivered = 0;
    int32_t rc = DB_state_scan(nullptr, DB_SCAN_OPEN, "   ", &state);
    while (rc == 0) {
        EXPECT_EQ(state.state_id, ++delivered);
        rc = DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state);
    }
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
    EXPECT_EQ(delivered, 230);
    // Rowsets of 100, 100 and 30, then the fetch that finds no more.
    int scan_fetches = 0;
    for (const scli::Call &c : scli::calls_of("SQLExtendedFetch"))
        if (c.sql == kScanAll)
            scan_fetches++;
    EXPECT_EQ(scan_fetches, 4);
}

TEST_F(DbState, StateWithoutLineageRowsIsReportedAndTheScanGoesOn)
{
    lineages_ = {{5, {0, 5}}};
    ServeLineages();
    scli::on_sql(kScanAll)
        .columns(state_columns())
        .rows({state_row(4, "bob"), state_row(5, "bob")});
    STATE state;
    EXPECT_EQ(DB_state_scan(nullptr, DB_SCAN_OPEN, nullptr, &state), ZE_STATE_NOT_FOUND);
    EXPECT_EQ(state.state_id, 4);
    EXPECT_EQ(state.lineage, nullptr);
    ASSERT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), 0);
    EXPECT_EQ(state.state_id, 5);
}

TEST_F(DbState, ScanFailuresCloseTheScan)
{
    // No STATES table.
    scli::on_sql(kScanAll).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    STATE state;
    EXPECT_EQ(quiet_stderr([&] { return DB_state_scan(nullptr, 1, nullptr, &state); }),
              ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), ZE_SCAN_NOT_STARTED);
    // A failing second rowset.
    std::vector<scli::Row> rows;
    for (int32_t id = 1; id <= 100; id++) {
        rows.push_back(state_row(id, "bob"));
        lineages_[id] = {id};
    }
    ServeLineages();
    scli::on_sql(kScanAll)
        .columns(state_columns())
        .rows(rows)
        .at_fetch(2, SQL_ERROR, {"HY000", -244, "gone"});
    ASSERT_EQ(DB_state_scan(nullptr, DB_SCAN_OPEN, nullptr, &state), 0);
    int32_t rc = 0;
    for (int i = 1; i < 100; i++)
        ASSERT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), 0);
    rc = quiet_stderr([&] { return DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(Xerr().native_error, -244);
    EXPECT_EQ(DB_state_scan(nullptr, DB_SCAN_NEXT, nullptr, &state), ZE_SCAN_NOT_STARTED);
}

TEST_F(DbState, GetByIdReadsTheLineageOfItsRows)
{
    std::vector<int32_t> long_lineage;
    for (int32_t id = 0; id < 150; id++)
        long_lineage.push_back(id);
    lineages_ = {{0, {0}}, {7, {0, 3, 7}}, {149, long_lineage}};
    ServeLineages();
    scli::on_sql(by_where("state_id = 7")).columns(state_columns()).row(state_row(7, "bob"));
    scli::on_sql(by_where("state_id = 0")).columns(state_columns()).row(state_row(0, "zel", true));
    scli::on_sql(by_where("state_id = 149")).columns(state_columns()).row(state_row(149, "bob"));
    STATE state;
    ASSERT_EQ(DB_state_get_by_id(nullptr, 7, &state), 0);
    EXPECT_EQ(state.lineage_length, 2);
    EXPECT_EQ(blob_of(state), (Bytes{0x02, 0x00, 0x03}));
    free(state.lineage);
    ASSERT_EQ(DB_state_get_by_id(nullptr, 0, &state), 0);
    EXPECT_EQ(state.lineage_length, 0);
    EXPECT_EQ(blob_of(state), (Bytes{0x00}));
    EXPECT_EQ(state.closing_time, kClosedTime);
    free(state.lineage);
    ASSERT_EQ(DB_state_get_by_id(nullptr, 149, &state), 0);
    std::vector<int32_t> ids;
    ASSERT_EQ(ves_lineage_decode_state(&state, &ids), 0);
    EXPECT_EQ(ids, std::vector<int32_t>(long_lineage.begin(), long_lineage.end() - 1));
    free(state.lineage);
    EXPECT_EQ(Sent(), (std::vector<std::string>{by_where("state_id = 7"), "COMMIT", kLineage,
                                                by_where("state_id = 0"), "COMMIT", kLineage,
                                                by_where("state_id = 149"), "COMMIT", kLineage}));
}

TEST_F(DbState, GetByIdWithoutStateOrLineage)
{
    ServeLineages();
    scli::on_sql(by_where("state_id = 8")).columns(state_columns());
    scli::on_sql(by_where("state_id = 9")).columns(state_columns()).row(state_row(9, "bob"));
    STATE state;
    state.lineage = nullptr;
    EXPECT_EQ(DB_state_get_by_id(nullptr, 8, &state), ZE_STATE_NOT_FOUND);
    EXPECT_EQ(DB_state_get_by_id(nullptr, 9, &state), ZE_STATE_NOT_FOUND);
    EXPECT_EQ(state.lineage, nullptr);
    EXPECT_EQ(DB_state_get_by_id(nullptr, 9, nullptr), ZE_NULL_POINTER);
}

TEST_F(DbState, ChildrenAndVersionTests)
{
    lineages_ = {{5, {0, 5}}, {6, {0, 5, 6}}};
    ServeLineages();
    const std::string children_of_5 = by_where("parent_state_id = 5 AND state_id <> 5");
    const std::string children_of_0 = by_where("parent_state_id = 0 AND state_id <> 0");
    const std::string versions_of_5 =
        by_where("state_id IN (SELECT state_id FROM zel:zel.versions WHERE state_id = 5)");
    scli::on_sql(children_of_5).columns(state_columns()).row(state_row(6, "bob"));
    scli::on_sql(children_of_0).columns(state_columns());
    scli::on_sql(versions_of_5).columns(state_columns()).row(state_row(5, "bob"));
    scli::on_sql(versions_of_5).at_prepare(SQL_ERROR, {"S1000", -101, "busy"});
    int32_t flag = -1;
    EXPECT_EQ(DB_state_has_children(nullptr, 5, &flag), 0);
    EXPECT_EQ(flag, 1);
    // The root state is its own parent, not its own child.
    EXPECT_EQ(DB_state_has_children(nullptr, 0, &flag), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(DB_state_has_versions(nullptr, 5, &flag), 0);
    EXPECT_EQ(flag, 1);
    flag = -1;
    EXPECT_EQ(quiet_stderr([&] { return DB_state_has_versions(nullptr, 5, &flag); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(Xerr().native_error, -101);
    EXPECT_EQ(DB_state_has_children(nullptr, 5, nullptr), ZE_NULL_POINTER);
    EXPECT_TRUE(scli::unused_answers().empty());
}

class ModifiedMvtables : public DbState
{
  protected:
    const std::string kSql =
        "SELECT registration_id FROM zel:zel.mvtables_modified WHERE state_id IN (3,7)";
    VE_BITMAP *bitmap_ = VES_Bitmap_Create(64, 0);
    void TearDown() override
    {
        VES_Bitmap_Destroy(bitmap_);
        DbState::TearDown();
    }
    std::vector<int32_t> Bits() const
    {
        std::vector<int32_t> out;
        for (int32_t bit = VES_Bitmap_Scan(bitmap_, 0, 1); bit >= 0;
             bit = VES_Bitmap_Scan(bitmap_, bit + 1, 1))
            out.push_back(bit);
        return out;
    }
};

TEST_F(ModifiedMvtables, EveryRegistrationIdSetsItsBit)
{
    scli::on_sql(kSql)
        .columns({{"registration_id", SQL_INTEGER}})
        .rows({{scli::i32(1)},
               {scli::i32(4)},
               {scli::i32(0)},
               {scli::null()},
               {scli::i32(64)},
               {scli::i32(65)}});
    EXPECT_EQ(DB_state_list_get_modified_mvtables(nullptr, "bob", "3,7", bitmap_), 0);
    EXPECT_EQ(Bits(), (std::vector<int32_t>{0, 3, 63}));
    EXPECT_EQ(Sent(), (std::vector<std::string>{kSql, "COMMIT"}));
    // One state.
    STATE state{};
    state.state_id = 7;
    scli::on_sql("SELECT registration_id FROM zel:zel.mvtables_modified WHERE state_id IN (7)")
        .columns({{"registration_id", SQL_INTEGER}})
        .row({scli::i32(2)});
    EXPECT_EQ(DB_state_get_modified_mvtables(nullptr, &state, bitmap_), 0);
    EXPECT_EQ(Bits(), (std::vector<int32_t>{0, 1, 3, 63}));
}

TEST_F(ModifiedMvtables, NothingFoundOrRefusedLeavesTheBitmap)
{
    scli::on_sql(kSql).columns({{"registration_id", SQL_INTEGER}});
    EXPECT_EQ(DB_state_list_get_modified_mvtables(nullptr, nullptr, "3,7", bitmap_), 0);
    scli::on_sql(kSql).at_prepare(SQL_ERROR, {"42000", -201, "syntax"});
    EXPECT_EQ(quiet_stderr([&] {
                  return DB_state_list_get_modified_mvtables(nullptr, nullptr, "3,7", bitmap_);
              }),
              0);
    EXPECT_EQ(Xerr().code, 0);
    EXPECT_EQ(DB_state_list_get_modified_mvtables(nullptr, nullptr, " ", bitmap_), 0);
    EXPECT_TRUE(Bits().empty());
    // A list is written into the statement: nothing but ids may stand in it.
    EXPECT_EQ(DB_state_list_get_modified_mvtables(nullptr, nullptr, "3) OR (1=1", bitmap_),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_state_list_get_modified_mvtables(nullptr, nullptr, nullptr, bitmap_),
              ZE_NULL_POINTER);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kSql, "COMMIT"}));
    // Any other failure is the caller's.
    scli::on_sql(kSql)
        .columns({{"registration_id", SQL_INTEGER}})
        .fail(SQL_ERROR, {"S1000", -9, "x"});
    EXPECT_EQ(quiet_stderr([&] {
                  return DB_state_list_get_modified_mvtables(nullptr, nullptr, "3,7", bitmap_);
              }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(Xerr().native_error, -9);
}

const std::string kInsert =
    "INSERT INTO zel:zel.states  (state_id,                 owner,                 "
    "creation_time,                 closing_time,                 parent_state_id)      VALUES "
    "(?, ?, ?, ?, ?)";

TEST_F(DbState, InsertWritesTheRowWithTheTimeOfTheCall)
{
    STATE root{};
    strcpy(root.owner, "zel");
    root.creation_time = 5; // not written: the row gets the time of the call
    time_t before = time(nullptr);
    ASSERT_EQ(DB_states_def_insert(nullptr, &root), 0);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kInsert, "COMMIT"}));
    std::vector<scli::Call> executes = scli::calls_of("SQLExecute");
    ASSERT_EQ(executes.back().params.size(), 1u);
    const std::vector<std::string> &p = executes.back().params[0];
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0], "0");
    EXPECT_EQ(p[1].substr(0, 3), "zel");
    EXPECT_EQ(p[2], p[3]);
    EXPECT_EQ(p[4], "0");
    struct tm local;
    localtime_r(&before, &local);
    char year[8];
    strftime(year, sizeof(year), "%Y", &local);
    EXPECT_EQ(p[2].substr(0, 4), year);
    // An empty owner is a NULL.
    STATE anonymous{};
    anonymous.state_id = 4;
    ASSERT_EQ(DB_states_def_insert(nullptr, &anonymous), 0);
    EXPECT_EQ(scli::calls_of("SQLExecute").back().params[0][1], "NULL");
}

TEST_F(DbState, FailedInsertIsReportedNotSwallowed)
{
    scli::on_sql(kInsert).fail(SQL_ERROR, {"23000", -268, "Unique constraint violated"});
    STATE root{};
    strcpy(root.owner, "zel");
    setenv("ZELVERBOSE", "1", 1);
    std::string err;
    int32_t rc;
    {
        StderrCapture capture;
        rc = DB_states_def_insert(nullptr, &root);
        err = capture.text();
    }
    unsetenv("ZELVERBOSE");
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr = Xerr();
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(xerr.native_error, -268);
    EXPECT_STREQ(xerr.text, "23000");
    EXPECT_NE(err.find("DB_state_def_insert() ODBC Exec error (-51).\n"), std::string::npos);
    EXPECT_NE(err.find("state_id       = 0\nowner          = \"zel\"\n"), std::string::npos);
    EXPECT_NE(err.find("parent_state   = 0\n"), std::string::npos);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kInsert}));
    // Without a STATES table.
    scli::on_sql(kInsert).at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    EXPECT_EQ(quiet_stderr([&] { return DB_states_def_insert(nullptr, &root); }),
              ZE_TABLE_NOT_FOUND);
}

TEST_F(DbState, ObsoleteEntryPointsSayItAndFail)
{
    StderrCapture capture;
    EXPECT_EQ(DB_states_def_delete(nullptr, nullptr, 0), ZE_FAILURE);
    EXPECT_EQ(DB_states_def_trim_lineage(nullptr, 1, 2, 3), ZE_FAILURE);
    EXPECT_EQ(DB_states_def_update(nullptr, nullptr), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Obsolete function DB_states_def_delete() called!\n"
                              "Obsolete function DB_states_def_trim_lineage() called!\n"
                              "Obsolete function DB_states_def_update() called!\n");
    EXPECT_EQ(DB_state_unflag_modified_mvtables(nullptr, nullptr), ZE_NULL_POINTER);
    STATE state{};
    EXPECT_EQ(DB_state_unflag_modified_mvtables(nullptr, &state), 0);
    EXPECT_TRUE(Sent().empty());
}

} // namespace
