// Log-file set operations over the scripted CLI's log store: the count (and
// the writer it flushes, which goes on taking ids), the four combinations
// with their exact statements in order, in place on either input, their
// refusals before anything is written and their clean-up after a failure,
// the copy, and the duplicate removal with its function.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_log_set_internal.h"
#include "tests/db/catalog/log_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const std::string kSelect = "SELECT   logfile_name,  logfile_id,  logfile_data_id,  "
                            "registration_id,  flags,  session_tag  FROM gis:bob_zel_logfiles  "
                            "WHERE logfile_name = ";
const std::string kNext = "{call gis:bob_zel_logfiles_nextval()}";
const std::string kInsertLog = "INSERT INTO gis:bob_zel_logfiles (  logfile_name,  logfile_id,  "
                               "logfile_data_id,  registration_id,  flags,  session_tag) VALUES ";
const std::string kData = "gis:bob_zel_logfile_data";

std::string select_of(const std::string &name)
{
    return kSelect + "'" + name + "'";
}

std::string count_of(int32_t data_id)
{
    return "SELECT count(DISTINCT zel_row_id)  FROM  gis:bob_zel_logfile_data  WHERE "
           "logfile_data_id = " +
           std::to_string(data_id);
}

std::vector<int32_t> sorted(std::vector<int32_t> ids)
{
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

class LogSet : public LogTest
{
  protected:
    // bob's persistent table logs a (ids 1 2 3 5 8 8) and b (ids 2 3 4 8 9),
    // both of registration 7, log ids and data ids 1 and 2.
    void SetUp() override
    {
        LogTest::SetUp();
        start();
        add_log("a", 1, 1, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_log("b", 2, 2, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_ids(1, kA);
        add_ids(2, kB);
    }

    // The ids of bob's log of that name, sorted and distinct.
    std::vector<int32_t> ids_of(const std::string &name) const
    {
        const scli::LogRow *row = store_->find("bob", name);
        EXPECT_NE(row, nullptr) << name;
        return row == nullptr ? std::vector<int32_t>{} : sorted(store_->ids("bob", row->data_id));
    }

    // Statements that write (INSERT, UPDATE, DELETE, CREATE) since the mark.
    std::vector<std::string> writes() const
    {
        std::vector<std::string> out;
        for (const std::string &sql : executed())
            if (sql.find("INSERT") != std::string::npos ||
                sql.find("UPDATE") != std::string::npos ||
                sql.find("DELETE") != std::string::npos || sql.find("CREATE") != std::string::npos)
                out.push_back(sql);
        return out;
    }

    const std::vector<int32_t> kA{1, 2, 3, 5, 8, 8};
    const std::vector<int32_t> kB{2, 3, 4, 8, 9};
};

// ---- count ------------------------------------------------------------------------

TEST_F(LogSet, CountGivesTheDistinctIds)
{
    LOGFILE log;
    ASSERT_EQ(DB_log_get_by_name(instance_, "a", &log), 0);
    mark();
    int32_t count = -1;
    ASSERT_EQ(DB_log_count(instance_, &log, &count), 0);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(executed(), (std::vector<std::string>{count_of(1), "COMMIT"}));

    const struct {
        const LOGFILE *log;
        int32_t *count;
        int32_t expected;
    } refusals[] = {{nullptr, &count, ZE_INVALID_ARGUMENT}, {&log, nullptr, ZE_INVALID_ARGUMENT}};
    for (const auto &r : refusals)
        EXPECT_EQ(DB_log_count(instance_, r.log, r.count), r.expected);
    LOGFILE bad = log;
    strcpy(bad.name, "x:y:z.");
    count = -1;
    EXPECT_EQ(DB_log_count(instance_, &bad, &count), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(count, 0);
}

// A writer of the log has its buffered ids written before the count, and
// keeps its prepared INSERT: ids added afterwards reach the log too.
TEST_F(LogSet, CountWritesTheBufferedIdsAndTheWriterGoesOn)
{
    LOGFILE log = record("a", "", 0);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_APPEND, &number), 0);
    const int32_t more[] = {20, 21, 3};
    ASSERT_EQ(DB_log_add_id_list(instance_, number, more, 3), 0);
    int32_t count = 0;
    ASSERT_EQ(DB_log_count(instance_, &log, &count), 0);
    EXPECT_EQ(count, 7);
    const int32_t later[] = {22};
    ASSERT_EQ(DB_log_add_id_list(instance_, number, later, 1), 0);
    ASSERT_EQ(DB_log_close(instance_, number), 0);
    EXPECT_EQ(ids_of("a"), (std::vector<int32_t>{1, 2, 3, 5, 8, 20, 21, 22}));
}

TEST_F(LogSet, EveryOperationNeedsTheLogSystem)
{
    ASSERT_EQ(DB_log_end(instance_), 0);
    LOGFILE log = record("a", "", 0);
    int32_t count = 0;
    EXPECT_EQ(DB_log_count(instance_, &log, &count), ZE_LOG_NOT_INITIALISED);
    EXPECT_EQ(DB_log_combine(instance_, "a", "b", "c", 1, &count), ZE_LOG_NOT_INITIALISED);
    EXPECT_EQ(DB_log_copy(instance_, "a", "c"), ZE_LOG_NOT_INITIALISED);
    EXPECT_EQ(DB_log_sort(instance_, "a", &count), ZE_LOG_NOT_INITIALISED);
}

// ---- combine ----------------------------------------------------------------------

// Each code into a new log c: its ids equal std::set_* over the inputs' ids,
// and its statements come in the order and text the operation writes them.
TEST_F(LogSet, CombinationsWriteTheSetOfTheirCode)
{
    const std::set<int32_t> a(kA.begin(), kA.end()), b(kB.begin(), kB.end());
    auto expected = [&](int32_t code) {
        std::vector<int32_t> out;
        auto to = std::back_inserter(out);
        if (code == 1)
            std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), to);
        else if (code == 2)
            std::set_union(a.begin(), a.end(), b.begin(), b.end(), to);
        else if (code == 3)
            std::set_difference(a.begin(), a.end(), b.begin(), b.end(), to);
        else
            std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), to);
        return out;
    };
    const struct {
        int32_t code;
        std::vector<std::string> statements; // between the target's INSERT and the count
        std::string drop;
    } cases[] = {
        {1,
         {"INSERT INTO gis:bob_zel_logfile_data (logfile_data_id,zel_row_id)   SELECT UNIQUE 3, "
          "a.zel_row_id     FROM gis:bob_zel_logfile_data a,          gis:bob_zel_logfile_data b "
          "    WHERE a.logfile_data_id = 1 AND           b.logfile_data_id = 2 AND          "
          "a.zel_row_id = b.zel_row_id"},
         ""},
        {2,
         {" CREATE VIEW gis:bob.c_UNION_0_0 (logfile_data_id, zel_row_id) AS  SELECT "
          "3,zel_row_id FROM gis:bob_zel_logfile_data  WHERE logfile_data_id = 1 UNION  SELECT "
          "3,zel_row_id FROM gis:bob_zel_logfile_data  WHERE logfile_data_id = 2",
          "COMMIT",
          "INSERT INTO gis:bob_zel_logfile_data SELECT logfile_data_id,zel_row_id  FROM "
          "gis:bob.c_UNION_0_0"},
         "DROP VIEW gis:bob.c_UNION_0_0"},
        {3,
         {"INSERT INTO gis:bob_zel_logfile_data (logfile_data_id,zel_row_id)   SELECT distinct 3, "
          "zel_row_id     FROM gis:bob_zel_logfile_data a    WHERE logfile_data_id = 1  AND NOT "
          "EXISTS(   SELECT 3, zel_row_id    FROM gis:bob_zel_logfile_data b    WHERE "
          "b.zel_row_id = a.zel_row_id          AND b.logfile_data_id = 2)"},
         ""},
        {4,
         {"CREATE VIEW gis:bob.c_SYMDIFF_0_0 ( logfile_data_id, zel_row_id) AS  ( SELECT DISTINCT "
          "3, zel_row_id     FROM gis:bob_zel_logfile_data a     WHERE logfile_data_id = 1 AND    "
          " NOT EXISTS(      SELECT 3, zel_row_id     FROM gis:bob_zel_logfile_data b     WHERE "
          "b.zel_row_id = a.zel_row_id            AND b.logfile_data_id = 2 )) UNION  ( SELECT "
          "DISTINCT 3, zel_row_id     FROM gis:bob_zel_logfile_data a     WHERE logfile_data_id = "
          "2 AND     NOT EXISTS(      SELECT 3, zel_row_id     FROM gis:bob_zel_logfile_data b   "
          "  WHERE b.zel_row_id = a.zel_row_id            AND b.logfile_data_id = 1))",
          "COMMIT",
          " INSERT INTO gis:bob_zel_logfile_data  (logfile_data_id,zel_row_id)  SELECT "
          "logfile_data_id, zel_row_id    FROM gis:bob.c_SYMDIFF_0_0 "},
         "DROP VIEW gis:bob.c_SYMDIFF_0_0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        open_as("bob");
        start();
        add_log("a", 1, 1, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_log("b", 2, 2, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_ids(1, kA);
        add_ids(2, kB);
        int32_t count = -1;
        ASSERT_EQ(DB_log_combine(instance_, "a", "b", "c", c.code, &count), 0);
        EXPECT_EQ(ids_of("c"), expected(c.code));
        EXPECT_EQ(count, static_cast<int32_t>(expected(c.code).size()));
        EXPECT_EQ(store_->find("bob", "c")->flags, LOGINFO_PERSISTENT | LOGINFO_TABLE);
        EXPECT_TRUE(store_->views.empty()); // the working view does not survive the call

        std::vector<std::string> journal = {select_of("a"), select_of("b"),
                                            select_of("c"), kNext,
                                            "COMMIT",       kInsertLog + "('c',3,3,7,3,0)"};
        journal.insert(journal.end(), c.statements.begin(), c.statements.end());
        journal.push_back(count_of(3));
        journal.push_back("COMMIT");
        if (!c.drop.empty()) {
            journal.push_back(c.drop);
            journal.push_back("COMMIT");
        }
        EXPECT_EQ(executed(), journal);
    }
}

// The views are named by the target and the inputs' tags; the result takes
// the first log's flags, so it is temporary when the first log is.
TEST_F(LogSet, ViewNamesCarryTheTagsOfTheInputs)
{
    add_log("t", 3, 3, 7, LOGINFO_TABLE, kTag);
    add_ids(3, {4, 6});
    int32_t count = 0;
    ASSERT_EQ(DB_log_combine(instance_, "t", "bob.a", "gis:bob.u", DB_LOG_UNION, &count), 0);
    EXPECT_EQ(count, 7);
    const std::vector<std::string> sql = executed();
    EXPECT_NE(std::find(sql.begin(), sql.end(), "DROP VIEW gis:bob.u_UNION_12340042_0"), sql.end());
    EXPECT_EQ(store_->find("bob", "u")->flags, static_cast<int32_t>(LOGINFO_TABLE));
    EXPECT_EQ(store_->find("bob", "u")->tag, kTag);
    EXPECT_EQ(ids_of("u"), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 8}));
}

// A target naming an input: the result is written to a temporary log, the
// input gets a new data id holding it and keeps its name and log id, and the
// temporary log is deleted.
TEST_F(LogSet, InPlaceReplacesTheInputsIds)
{
    const struct {
        const char *first;
        const char *second;
        const char *target;
        const char *replaced;
        int32_t log_id;
        std::vector<int32_t> ids;
    } cases[] = {
        {"a", "b", "a", "a", 1, {1, 5}},     // a - b into a
        {"a", "b", "bob.b", "b", 2, {1, 5}}, // a - b into b: the second input
        {"b", "a", "gis:bob.b", "b", 2, {4, 9}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target);
        open_as("bob");
        start();
        add_log("a", 1, 1, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_log("b", 2, 2, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_ids(1, kA);
        add_ids(2, kB);
        int32_t count = 0;
        ASSERT_EQ(DB_log_combine(instance_, c.first, c.second, c.target, DB_LOG_DIFFERENCE, &count),
                  0);
        EXPECT_EQ(count, static_cast<int32_t>(c.ids.size()));
        const scli::LogRow *row = store_->find("bob", c.replaced);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->id, c.log_id);
        EXPECT_EQ(row->data_id, 4); // 3 went to the temporary log
        EXPECT_EQ(ids_of(c.replaced), c.ids);
        EXPECT_EQ(ids_of(std::string(c.replaced) == "a" ? "b" : "a"),
                  sorted(std::string(c.replaced) == "a" ? kB : kA));
        EXPECT_EQ(store_->logs.size(), 2u); // no temporary log left
        EXPECT_TRUE(executed().back().rfind("DELETE FROM gis:bob_zel_logfiles WHERE logfile_name "
                                            "= 'xx12340042_",
                                            0) == 0);
    }
}

TEST_F(LogSet, InPlaceIntersectionStatements)
{
    char temporary[sizeof(LOGFILE::name)];
    ASSERT_EQ(DB_log_make_name(instance_, temporary), 0);
    const std::string bare = std::string(temporary).substr(strlen("'bob'.XX"));
    const std::string next =
        "xx" + bare.substr(0, 9) + std::to_string(std::stoi(bare.substr(9)) + 1);
    int32_t count = 0;
    ASSERT_EQ(DB_log_combine(instance_, "a", "b", "a", DB_LOG_INTERSECTION, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ids_of("a"), (std::vector<int32_t>{2, 3, 8}));
    EXPECT_EQ(executed(),
              (std::vector<std::string>{
                  select_of("a"),
                  select_of("b"),
                  select_of("a"),
                  kNext,
                  "COMMIT",
                  kInsertLog + "('" + next + "',3,3,7,3,0)",
                  "INSERT INTO gis:bob_zel_logfile_data (logfile_data_id,zel_row_id)   SELECT "
                  "UNIQUE 3, a.zel_row_id     FROM gis:bob_zel_logfile_data a,          "
                  "gis:bob_zel_logfile_data b     WHERE a.logfile_data_id = 1 AND           "
                  "b.logfile_data_id = 2 AND          a.zel_row_id = b.zel_row_id",
                  count_of(3),
                  "COMMIT",
                  kNext,
                  "COMMIT",
                  "UPDATE gis:bob_zel_logfiles SET logfile_data_id = 4 WHERE logfile_id = 1",
                  "INSERT INTO gis:bob_zel_logfile_data (logfile_data_id, zel_row_id) SELECT "
                  "DISTINCT 4, zel_row_id  FROM gis:bob_zel_logfile_data  WHERE logfile_data_id = "
                  "3 ",
                  "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = '" + next + "'",
              }));
}

// Refusals come before anything is written; a bad code among them, so no
// empty target is left behind.
TEST_F(LogSet, CombineRefusesBeforeWriting)
{
    add_log("plain_log", 3, 3, 8, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
    add_log("c", 4, 4, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
    add_log("alices", 5, 5, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0, "alice");
    LOGFILE open_log = record("b", "", 0);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &open_log, DB_LOG_READ, &number), 0);
    mark();
    int32_t count = 0;
    const struct {
        const char *first;
        const char *second;
        const char *target;
        int32_t code;
        int32_t *count;
        int32_t expected;
    } cases[] = {
        {"a", "b", "new", 0, &count, ZE_INVALID_ARGUMENT},
        {"a", "b", "new", 5, &count, ZE_INVALID_ARGUMENT},
        {nullptr, "b", "new", 1, &count, ZE_INVALID_ARGUMENT},
        {"a", nullptr, "new", 1, &count, ZE_INVALID_ARGUMENT},
        {"a", "b", nullptr, 1, &count, ZE_INVALID_ARGUMENT},
        {"a", "b", "new", 1, nullptr, ZE_INVALID_ARGUMENT},
        {"a", "b", "x:y:z.", 1, &count, ZE_INVALID_ARGUMENT},
        {"a", "b", "alice.new", 1, &count, ZE_LOG_NOT_INITIALISED},
        {"a", "a", "c", 1, &count, ZE_LOG_EXISTS},
        {"a", "nothing", "new", 1, &count, ZE_LOG_NOT_FOUND},
        {"a", "b", "new", 1, &count, ZE_LOG_IS_OPEN},
        {"a", "plain_log", "new", 1, &count, ZE_INVALID_ARGUMENT}, // another registration
        // The target's name goes into the view's name unquoted.
        {"alice.alices", "a", "new-log", DB_LOG_UNION, &count, ZE_INVALID_ARGUMENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        count = -1;
        EXPECT_EQ(DB_log_combine(instance_, c.first, c.second, c.target, c.code, c.count),
                  c.expected);
        if (c.count != nullptr) {
            EXPECT_EQ(count, 0);
        }
    }
    EXPECT_EQ(writes(), std::vector<std::string>{});
    EXPECT_EQ(store_->logs.size(), 5u);
}

TEST_F(LogSet, TableAndLayerLogsDoNotCombine)
{
    add_log("layer_log", 3, 3, 7, LOGINFO_PERSISTENT | LOGINFO_LAYER, 0);
    int32_t count = 0;
    quiet_stderr([&] {
        EXPECT_EQ(DB_log_combine(instance_, "a", "layer_log", "new", 1, &count),
                  ZE_INVALID_ARGUMENT);
    });
    EXPECT_EQ(writes(), std::vector<std::string>{});
}

// A failure from the view on: the view is dropped, the target deleted and
// the failure returned.
TEST_F(LogSet, FailedCombinationLeavesNoTarget)
{
    const std::string insert = "INSERT INTO gis:bob_zel_logfile_data SELECT "
                               "logfile_data_id,zel_row_id  FROM gis:bob.c_UNION_0_0";
    store_->fail_once[insert] = {"S1000", -271};
    int32_t count = -1;
    quiet_stderr([&] {
        EXPECT_EQ(DB_log_combine(instance_, "a", "b", "c", DB_LOG_UNION, &count), ZE_DBMS_ERROR);
    });
    EXPECT_EQ(count, 0);
    EXPECT_EQ(store_->find("bob", "c"), nullptr);
    EXPECT_TRUE(store_->views.empty());
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -271);
    const std::vector<std::string> sql = executed();
    EXPECT_EQ(std::vector<std::string>(sql.end() - 4, sql.end()),
              (std::vector<std::string>{insert, "DROP VIEW gis:bob.c_UNION_0_0", "COMMIT",
                                        "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = "
                                        "'c'"}));
}

// In place, a failure after the input's new data id (here the delete of the
// temporary log) is rolled back, so the input keeps its ids, and reported.
TEST_F(LogSet, FailedInPlaceStepKeepsTheInput)
{
    for (int failing_step = 0; failing_step < 2; failing_step++) {
        SCOPED_TRACE(failing_step);
        open_as("bob");
        start();
        add_log("a", 1, 1, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_log("b", 2, 2, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
        add_ids(1, kA);
        add_ids(2, kB);
        char temporary[sizeof(LOGFILE::name)];
        ASSERT_EQ(DB_log_make_name(instance_, temporary), 0);
        const std::string bare = std::string(temporary).substr(strlen("'bob'.XX"));
        const std::string next =
            "xx" + bare.substr(0, 9) + std::to_string(std::stoi(bare.substr(9)) + 1);
        const std::string remove =
            "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = '" + next + "'";
        const std::string copy_back =
            "INSERT INTO gis:bob_zel_logfile_data (logfile_data_id, zel_row_id) SELECT DISTINCT "
            "4, zel_row_id  FROM gis:bob_zel_logfile_data  WHERE logfile_data_id = 3 ";
        const std::string failing = failing_step == 0 ? remove : copy_back;
        store_->fail_once[failing] = {"S1000", -243};
        // The scripted CLI does not undo: the test checks that a rollback
        // comes right after the failing statement.
        int32_t count = -1;
        quiet_stderr([&] {
            EXPECT_EQ(DB_log_combine(instance_, "a", "b", "a", DB_LOG_INTERSECTION, &count),
                      ZE_DBMS_ERROR);
        });
        EXPECT_EQ(count, 0);
        const std::vector<std::string> sql = executed();
        auto at = std::find(sql.begin(), sql.end(), failing);
        ASSERT_NE(at, sql.end());
        ASSERT_NE(at + 1, sql.end());
        EXPECT_EQ(*(at + 1), "ROLLBACK");
        EXPECT_EQ(sql.back(), remove); // the temporary log goes, its result ignored
        if (failing == copy_back) {
            DB_EXT_ERROR xerr;
            DB_instance_get_xerr(&xerr);
            EXPECT_EQ(xerr.native_error, -243);
        }
    }
}

// A view of the working view's name left by a call that did not end holds
// that call's data ids: it is replaced, and the result is right.
TEST_F(LogSet, LeftOverViewIsReplaced)
{
    store_->views["gis:bob.c_UNION_0_0"] =
        " CREATE VIEW gis:bob.c_UNION_0_0 (logfile_data_id, zel_row_id) AS  SELECT 77,zel_row_id "
        "FROM gis:bob_zel_logfile_data  WHERE logfile_data_id = 1 UNION  SELECT 77,zel_row_id "
        "FROM gis:bob_zel_logfile_data  WHERE logfile_data_id = 1";
    int32_t count = 0;
    ASSERT_EQ(DB_log_combine(instance_, "a", "b", "c", DB_LOG_UNION, &count), 0);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(ids_of("c"), (std::vector<int32_t>{1, 2, 3, 4, 5, 8, 9}));
    EXPECT_TRUE(store_->views.empty());
}

// ---- copy ---------------------------------------------------------------------------

TEST_F(LogSet, CopyTakesTheDistinctIdsAndReplacesTheTarget)
{
    ASSERT_EQ(DB_log_copy(instance_, "a", "c"), 0);
    EXPECT_EQ(ids_of("c"), sorted(kA));
    EXPECT_EQ(store_->ids("bob", store_->find("bob", "c")->data_id).size(), 5u);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              select_of("a"),
                              "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = 'c'",
                              kNext,
                              "COMMIT",
                              kInsertLog + "('c',3,3,7,3,0)",
                              "INSERT INTO gis:bob_zel_logfile_data (logfile_data_id, zel_row_id) "
                              "SELECT DISTINCT 3, zel_row_id  FROM gis:bob_zel_logfile_data  "
                              "WHERE logfile_data_id = 1 ",
                          }));
    // Onto an existing log: it is replaced.
    ASSERT_EQ(DB_log_copy(instance_, "b", "c"), 0);
    EXPECT_EQ(ids_of("c"), sorted(kB));
    EXPECT_EQ(store_->logs.size(), 3u);
    // An empty source gives an empty copy.
    add_log("empty", 9, 9, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
    ASSERT_EQ(DB_log_copy(instance_, "empty", "d"), 0);
    EXPECT_EQ(ids_of("d"), std::vector<int32_t>{});
}

TEST_F(LogSet, CopyRefusals)
{
    LOGFILE log = record("b", "", 0);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_READ, &number), 0);
    mark();
    const struct {
        const char *source;
        const char *target;
        int32_t expected;
    } cases[] = {
        {nullptr, "c", ZE_INVALID_ARGUMENT},  {"a", nullptr, ZE_INVALID_ARGUMENT},
        {"a", "x:y:z.", ZE_INVALID_ARGUMENT}, {"a", "alice.c", ZE_LOG_NOT_INITIALISED},
        {"x:y:z.", "c", ZE_INVALID_ARGUMENT}, {"none", "c", ZE_LOG_NOT_FOUND},
        {"b", "c", ZE_LOG_IS_OPEN},           {"a", "b", ZE_LOG_IS_OPEN}, // the open target
    };
    for (const auto &c : cases)
        EXPECT_EQ(DB_log_copy(instance_, c.source, c.target), c.expected)
            << (c.source ? c.source : "null") << " " << (c.target ? c.target : "null");
    EXPECT_EQ(writes(), std::vector<std::string>{});
}

TEST_F(LogSet, FailedCopyDeletesTheTarget)
{
    const std::string insert =
        "INSERT INTO gis:bob_zel_logfile_data (logfile_data_id, zel_row_id) SELECT DISTINCT 3, "
        "zel_row_id  FROM gis:bob_zel_logfile_data  WHERE logfile_data_id = 1 ";
    store_->fail_once[insert] = {"S1000", -271};
    quiet_stderr([&] { EXPECT_EQ(DB_log_copy(instance_, "a", "c"), ZE_DBMS_ERROR); });
    EXPECT_EQ(store_->find("bob", "c"), nullptr);
    EXPECT_EQ(executed().back(), "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = 'c'");
}

// ---- sort ---------------------------------------------------------------------------

const std::string kSetdelete =
    "CREATE FUNCTION gis:bob_zel_logfile_data_setdelete( updated_id integer)                     "
    "RETURNING integer;                     DEFINE row_id integer;                     DEFINE "
    "sql_code integer;                     DEFINE isam integer;                     LET row_id = "
    "0;                     LET sql_code = 0;                     LET isam = 0;                  "
    "   BEGIN                     ON EXCEPTION SET sql_code, isam                      return "
    "sql_code;                     END EXCEPTION;                     FOREACH update_cursor for "
    "                    SELECT LF1_.zel_row_id INTO row_id                     FROM "
    "gis:bob_zel_logfile_data LF1_                    WHERE LF1_.logfile_data_id = updated_id    "
    "                 AND LF1_.rowid > (select MIN(LF2_.rowid) from gis:bob_zel_logfile_data "
    "LF2_                                  where LF2_.logfile_data_id = updated_id AND           "
    "                             LF2_.zel_row_id = LF1_.zel_row_id)                     UPDATE "
    "gis:bob_zel_logfile_data SET logfile_data_id = -1                     WHERE CURRENT OF "
    "update_cursor;                     END FOREACH;                     END                     "
    "RETURN sql_code;                    END FUNCTION;";

// 3, 3, 5: one row per id stays, the other goes to data id -1; the function
// is made once per owner.
TEST_F(LogSet, SortLeavesOneRowPerId)
{
    add_log("s", 3, 3, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
    add_ids(3, {3, 3, 5});
    int32_t count = 0;
    ASSERT_EQ(DB_log_sort(instance_, "s", &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(store_->ids("bob", 3), (std::vector<int32_t>{3, 5}));
    EXPECT_EQ(store_->ids("bob", -1), (std::vector<int32_t>{3}));
    EXPECT_EQ(executed(), (std::vector<std::string>{select_of("s"), kSetdelete, "COMMIT",
                                                    "{call gis:bob_zel_logfile_data_setdelete(?)}",
                                                    "COMMIT", count_of(3), "COMMIT"}));

    // Again: the function exists (-673), which is no failure.
    add_ids(3, {5});
    ASSERT_EQ(DB_log_sort(instance_, "s", &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(store_->ids("bob", 3), (std::vector<int32_t>{3, 5}));
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, 0);
}

// A code the function caught is printed and gives -51 with it as native error.
TEST_F(LogSet, SortReportsTheCodeTheFunctionCaught)
{
    add_log("s", 3, 3, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
    store_->setdelete_answer = -244;
    int32_t count = -1;
    StderrCapture capture;
    EXPECT_EQ(DB_log_sort(instance_, "s", &count), ZE_DBMS_ERROR);
    EXPECT_EQ(capture.text(), "DBMS error code: -244\n\n\n");
    EXPECT_EQ(count, 0);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(xerr.native_error, -244);
}

TEST_F(LogSet, SortRefusals)
{
    add_log("s", 3, 3, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
    add_log("t", 3, 3, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0, "alice");
    LOGFILE log = record("a", "", 0);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_APPEND, &number), 0);
    mark();
    int32_t count = 0;
    const struct {
        const char *name;
        int32_t *count;
        int32_t expected;
    } cases[] = {
        {nullptr, &count, ZE_NULL_POINTER},      {"s", nullptr, ZE_NULL_POINTER},
        {"x:y:z.", &count, ZE_INVALID_ARGUMENT}, {"alice.t", &count, ZE_LOG_NOT_INITIALISED},
        {"none", &count, ZE_LOG_NOT_FOUND},      {"a", &count, ZE_LOG_IS_OPEN},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DB_log_sort(instance_, c.name, c.count), c.expected) << (c.name ? c.name : "");
    EXPECT_EQ(writes(), std::vector<std::string>{});
}

} // namespace
