// Open log files: the open modes and their refusals, ids buffered and
// written 100 at a time as parameter arrays, removals, reads in rowsets with
// their (code, count) sequence, the flush of a writer before a reader of the
// same log, close, the copy of a descriptor's record, the fill from a query
// and the end of the log system with descriptors still open.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_log.h"
#include "tests/db/catalog/log_fixture.h"

namespace
{

const char *const kInsertIds =
    "INSERT INTO gis:bob_zel_logfile_data (logfile_data_id,zel_row_id)  VALUES (1, ?)";

std::vector<int32_t> range(int32_t first, int32_t count)
{
    std::vector<int32_t> ids(static_cast<size_t>(count));
    std::iota(ids.begin(), ids.end(), first);
    return ids;
}

class LogOpen : public LogTest
{
  protected:
    void SetUp() override
    {
        LogTest::SetUp();
        start();
    }
    // Creates bob's log "roads_log" of table roads and opens it in a mode.
    int32_t open(int32_t mode, const char *name = "roads_log", const char *table = "roads")
    {
        LOGFILE log = record(name, table, LOGINFO_PERSISTENT | LOGINFO_TABLE);
        int32_t number = -1;
        int32_t rc = DB_log_open(instance_, &log, mode, &number);
        EXPECT_EQ(rc == 0, number > 0) << rc;
        return rc == 0 ? number : rc;
    }
    // Rows of each execute of the statement, in order.
    static std::vector<size_t> executes_of(const std::string &sql)
    {
        std::vector<size_t> rows;
        for (const scli::Call &c : scli::calls_of("SQLExecute"))
            if (c.sql == sql)
                rows.push_back(c.params.size());
        return rows;
    }
};

// 250 ids in one call are written twice during the call; the last 50 wait
// for the close. Ids of 0 and below are skipped.
TEST_F(LogOpen, AddsAreWrittenHundredAtATime)
{
    const int32_t number = open(DB_LOG_CREATE);
    ASSERT_GT(number, 0);
    std::vector<int32_t> ids = range(1, 250);
    ids.insert(ids.begin() + 7, {0, -3});
    EXPECT_EQ(DB_log_add_id_list(instance_, number, ids.data(), static_cast<int32_t>(ids.size())),
              0);
    EXPECT_EQ(executes_of(kInsertIds), (std::vector<size_t>{100, 100}));
    EXPECT_EQ(store_->ids("bob", 1), range(1, 200));
    EXPECT_EQ(DB_log_close(instance_, number), 0);
    EXPECT_EQ(executes_of(kInsertIds), (std::vector<size_t>{100, 100, 50}));
    EXPECT_EQ(store_->ids("bob", 1), range(1, 250));
    // Each write commits.
    std::vector<std::string> sql = executed();
    EXPECT_EQ(std::count(sql.begin(), sql.end(), "COMMIT"), 4); // the sequence and three writes
    const std::vector<scli::Call> prepares = scli::calls_of("SQLPrepare");
    EXPECT_EQ(std::count_if(prepares.begin(), prepares.end(),
                            [](const scli::Call &c) { return c.sql == kInsertIds; }),
              1); // prepared once
}

TEST_F(LogOpen, OnlyIdsAboveZeroAreBuffered)
{
    const int32_t number = open(DB_LOG_CREATE);
    const int32_t ids[] = {5, 0, -3, 7};
    ASSERT_EQ(DB_log_add_id_list(instance_, number, ids, 4), 0);
    const DB_LOGFILE_DESC *d = db_log_find_descriptor(number);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->buffered, 2);
    EXPECT_EQ(d->id_count, 2);
    EXPECT_EQ(d->ids[0], 5);
    EXPECT_EQ(d->ids[1], 7);
    EXPECT_EQ(DB_log_add_id_list(instance_, number, ids, 0), 0);
    EXPECT_EQ(DB_log_add_id_list(instance_, number, nullptr, 1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_add_id_list(instance_, number, ids, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_add_id_list(instance_, 0, ids, 1), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(DB_log_add_id_list(instance_, number + 1, ids, 1), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(executes_of(kInsertIds), std::vector<size_t>{});
    EXPECT_EQ(DB_log_close(instance_, number), 0);
    EXPECT_EQ(store_->ids("bob", 1), (std::vector<int32_t>{5, 7}));
}

// A removal first writes the buffered adds; an add first writes the buffered
// removals. A removed id moves to data id -1.
TEST_F(LogOpen, RemovalsAndAddsWriteEachOtherFirst)
{
    const int32_t number = open(DB_LOG_CREATE);
    const int32_t adds[] = {1, 2, 3};
    const int32_t removals[] = {2};
    const int32_t more[] = {4};
    ASSERT_EQ(DB_log_add_id_list(instance_, number, adds, 3), 0);
    ASSERT_EQ(DB_log_delete_id_list(instance_, number, removals, 1), 0);
    ASSERT_EQ(DB_log_add_id_list(instance_, number, more, 1), 0);
    ASSERT_EQ(DB_log_close(instance_, number), 0);
    const std::string update = "UPDATE gis:bob_zel_logfile_data  SET logfile_data_id = -1  "
                               "WHERE logfile_data_id = 1 AND zel_row_id = ?";
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              "SELECT   logfile_name,  logfile_id,  logfile_data_id,  "
                              "registration_id,  flags,  session_tag  FROM "
                              "gis:bob_zel_logfiles  WHERE logfile_name = 'roads_log'",
                              "{call gis:bob_zel_logfiles_nextval()}",
                              "COMMIT",
                              "INSERT INTO gis:bob_zel_logfiles (  logfile_name,  logfile_id,  "
                              "logfile_data_id,  registration_id,  flags,  session_tag) VALUES "
                              "('roads_log',1,1,7,3,0)",
                              kInsertIds,
                              "COMMIT",
                              update,
                              "COMMIT",
                              kInsertIds,
                              "COMMIT",
                          }));
    EXPECT_EQ(store_->ids("bob", 1), (std::vector<int32_t>{1, 3, 4}));
    EXPECT_EQ(store_->ids("bob", -1), (std::vector<int32_t>{2}));
}

// (code, count) of successive reads: capacity 100 over 250 ids, then 30.
TEST_F(LogOpen, ReadsComeInRowsetsUpToTheCapacity)
{
    add_log("roads_log", 1, 9, 7, 3, 0);
    add_ids(9, range(1, 250));
    add_ids(9, range(1, 10)); // duplicates are read once
    const struct {
        int32_t capacity;
        std::vector<std::pair<int32_t, int32_t>> calls;
    } cases[] = {
        {100, {{0, 100}, {0, 100}, {ZE_NO_MORE_ROWS, 50}, {ZE_NO_MORE_ROWS, 0}}},
        {30,
         {{0, 30},
          {0, 30},
          {0, 30},
          {0, 30},
          {0, 30},
          {0, 30},
          {0, 30},
          {0, 30},
          {ZE_NO_MORE_ROWS, 10}}},
        {250, {{0, 250}, {ZE_NO_MORE_ROWS, 0}}},
        {400, {{ZE_NO_MORE_ROWS, 250}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.capacity);
        const int32_t number = open(DB_LOG_READ);
        ASSERT_GT(number, 0);
        std::vector<int32_t> all;
        for (auto [code, count] : c.calls) {
            std::vector<int32_t> ids(static_cast<size_t>(c.capacity) + 1, -7);
            int32_t got = -1;
            EXPECT_EQ(DB_log_get_id_list(instance_, number, c.capacity, ids.data(), &got), code);
            EXPECT_EQ(got, count);
            EXPECT_EQ(ids[static_cast<size_t>(c.capacity)], -7); // never past the capacity
            all.insert(all.end(), ids.begin(), ids.begin() + got);
        }
        int32_t got = -1;
        std::vector<int32_t> after(static_cast<size_t>(c.capacity));
        EXPECT_EQ(DB_log_get_id_list(instance_, number, c.capacity, after.data(), &got),
                  ZE_NO_MORE_ROWS); // every call after the end
        EXPECT_EQ(got, 0);
        EXPECT_EQ(all, range(1, 250));
        EXPECT_EQ(DB_log_close(instance_, number), 0);
    }
    EXPECT_EQ(store_->ids("bob", 9).size(), 260u); // reading changes nothing
}

// A fetch that answers success with no row ends the read.
TEST_F(LogOpen, FetchWithoutARowEndsTheRead)
{
    add_log("roads_log", 1, 9, 7, 3, 0);
    add_ids(9, range(1, 250));
    const int32_t number = open(DB_LOG_READ);
    ASSERT_GT(number, 0);
    scli::empty_fetch_call("SQLFetchScroll", scli::call_count("SQLFetchScroll") + 2);
    std::vector<int32_t> ids(100);
    int32_t got = -1;
    EXPECT_EQ(DB_log_get_id_list(instance_, number, 100, ids.data(), &got), 0);
    EXPECT_EQ(got, 100);
    EXPECT_EQ(DB_log_get_id_list(instance_, number, 100, ids.data(), &got), ZE_NO_MORE_ROWS);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(DB_log_get_id_list(instance_, number, 100, ids.data(), &got), ZE_NO_MORE_ROWS);
    EXPECT_EQ(DB_log_close(instance_, number), 0);
}

TEST_F(LogOpen, ReadRefusals)
{
    add_log("roads_log", 1, 1, 7, 3, 0);
    const int32_t reader = open(DB_LOG_READ);
    const int32_t writer = open(DB_LOG_CREATE, "other_log");
    int32_t ids[4];
    int32_t count = -1;
    EXPECT_EQ(DB_log_get_id_list(instance_, reader, 0, ids, &count), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_get_id_list(instance_, reader, 4, nullptr, &count), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_get_id_list(instance_, reader, 4, ids, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_get_id_list(instance_, 0, 4, ids, &count), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(DB_log_get_id_list(instance_, writer, 4, ids, &count), ZE_LOG_NOT_INITIALISED);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(DB_log_add_id_list(instance_, reader, ids, 1), ZE_LOG_NOT_INITIALISED);
    EXPECT_EQ(DB_log_delete_id_list(instance_, reader, ids, 1), ZE_LOG_NOT_INITIALISED);
    // A failed fetch ends the read: -51, then every call answers -51.
    scli::fail_call("SQLFetchScroll", scli::call_count("SQLFetchScroll") + 1, SQL_ERROR,
                    {"S1000", -244, "Could not do a read."});
    EXPECT_EQ(DB_log_get_id_list(instance_, reader, 4, ids, &count), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -244);
    EXPECT_EQ(DB_log_get_id_list(instance_, reader, 4, ids, &count), ZE_DBMS_ERROR);
    EXPECT_EQ(DB_log_close(instance_, reader), 0);
    EXPECT_EQ(DB_log_close(instance_, writer), 0);
}

// A reader of a log this process appends to sees the appender's buffered
// ids; a second writer of the same log is refused.
TEST_F(LogOpen, ReaderSeesTheBufferedIdsOfAWriter)
{
    add_log("roads_log", 1, 1, 7, 3, 0);
    const int32_t writer = open(DB_LOG_APPEND);
    const int32_t ids[] = {8, 9};
    ASSERT_EQ(DB_log_add_id_list(instance_, writer, ids, 2), 0);
    EXPECT_TRUE(store_->ids("bob", 1).empty());
    EXPECT_EQ(open(DB_LOG_APPEND, "bob.roads_log"), ZE_LOG_ALREADY_OPEN);
    EXPECT_EQ(open(DB_LOG_REPLACE, "roads_log"), ZE_LOG_ALREADY_OPEN);
    EXPECT_EQ(open(DB_LOG_CREATE, "roads_log"), ZE_LOG_EXISTS); // the log exists: checked first
    EXPECT_EQ(DB_log_delete(instance_, "roads_log"), ZE_LOG_IS_OPEN);
    EXPECT_EQ(executes_of(kInsertIds), std::vector<size_t>{});
    const int32_t reader = open(DB_LOG_READ, "gis:bob.roads_log");
    ASSERT_GT(reader, writer);
    EXPECT_EQ(executes_of(kInsertIds), std::vector<size_t>{2});
    int32_t out[10];
    int32_t count = 0;
    EXPECT_EQ(DB_log_get_id_list(instance_, reader, 10, out, &count), ZE_NO_MORE_ROWS);
    EXPECT_EQ(std::vector<int32_t>(out, out + count), (std::vector<int32_t>{8, 9}));
    // The refused opens left the log as it was.
    EXPECT_EQ(store_->logs[0].data_id, 1);
    EXPECT_EQ(DB_log_close(instance_, writer), 0);
    EXPECT_EQ(DB_log_close(instance_, reader), 0);
}

// Replacing empties the log under a new data id and keeps its name and id;
// a missing log is created.
TEST_F(LogOpen, ReplaceEmptiesTheLogAndKeepsItsId)
{
    add_log("roads_log", 4, 4, 7, 3, 0);
    add_ids(4, {1, 2});
    LOGFILE log = record("roads_log", "", 0);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number), 0);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              "SELECT   logfile_name,  logfile_id,  logfile_data_id,  "
                              "registration_id,  flags,  session_tag  FROM "
                              "gis:bob_zel_logfiles  WHERE logfile_name = 'roads_log'",
                              "{call gis:bob_zel_logfiles_nextval()}",
                              "COMMIT",
                              "UPDATE gis:bob_zel_logfiles SET logfile_data_id = 5 WHERE "
                              "logfile_id = 4",
                          }));
    EXPECT_EQ(log.logfile_id, 4);
    EXPECT_EQ(log.data_id, 5);
    EXPECT_STREQ(log.name, "bob.roads_log");
    EXPECT_STREQ(log.table_name, "bob.roads");
    EXPECT_EQ(memcmp(log.tag, LOGINFO_TAG, 4), 0);
    const int32_t ids[] = {3};
    ASSERT_EQ(DB_log_add_id_list(instance_, number, ids, 1), 0);
    ASSERT_EQ(DB_log_close(instance_, number), 0);
    EXPECT_EQ(store_->ids("bob", 5), (std::vector<int32_t>{3}));
    ASSERT_EQ(store_->logs.size(), 1u);
    EXPECT_EQ(store_->logs[0].data_id, 5);

    LOGFILE fresh = record("new_log", "roads", LOGINFO_TABLE);
    ASSERT_EQ(DB_log_open(instance_, &fresh, DB_LOG_REPLACE, &number), 0);
    EXPECT_STREQ(fresh.name, "gis:bob.new_log");
    EXPECT_EQ(fresh.session_tag, kTag);
    LOGFILE copy = record("", "", 0);
    ASSERT_EQ(DB_log_get_by_fdes(instance_, number, &copy), 0);
    EXPECT_STREQ(copy.name, "gis:bob.new_log");
    EXPECT_EQ(copy.logfile_id, fresh.logfile_id);
    EXPECT_EQ(DB_log_get_by_fdes(instance_, 0, &copy), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(DB_log_get_by_fdes(instance_, number, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_close(instance_, number), 0);
    EXPECT_EQ(DB_log_get_by_fdes(instance_, number, &copy), ZE_INVALID_LOG_DESCRIPTOR);
}

TEST_F(LogOpen, OpenRefusals)
{
    add_log("roads_log", 1, 1, 7, 3, 0);
    add_log("anns_log", 1, 1, 7, 3, 0, "ann");
    const struct {
        const char *what;
        const char *name;
        const char *table;
        int32_t mode;
        int32_t rc;
    } cases[] = {
        {"read a missing log", "x_log", "", DB_LOG_READ, ZE_LOG_NOT_FOUND},
        {"append to a missing log", "x_log", "", DB_LOG_APPEND, ZE_LOG_NOT_FOUND},
        {"create an existing log", "roads_log", "", DB_LOG_CREATE, ZE_LOG_EXISTS},
        {"name another table", "roads_log", "plain", DB_LOG_APPEND, ZE_LOG_EXISTS},
        {"write another user's log", "ann.anns_log", "", DB_LOG_APPEND, ZE_LOG_NOT_INITIALISED},
        {"create in another user's name", "ann.x_log", "roads", DB_LOG_CREATE,
         ZE_LOG_NOT_INITIALISED},
        {"mode 4", "roads_log", "", 4, ZE_INVALID_ARGUMENT},
        {"mode -1", "roads_log", "", -1, ZE_INVALID_ARGUMENT},
        {"a name that does not parse", "b-b.x", "", DB_LOG_READ, ZE_INVALID_ARGUMENT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LOGFILE log = record(c.name, c.table, LOGINFO_TABLE);
        int32_t number = 9;
        EXPECT_EQ(DB_log_open(instance_, &log, c.mode, &number), c.rc);
        EXPECT_EQ(number, 0);
    }
    // Reading another user's log is allowed.
    const int32_t reader = open(DB_LOG_READ, "ann.anns_log");
    EXPECT_GT(reader, 0);
    LOGFILE log = record("roads_log", "", 0);
    EXPECT_EQ(DB_log_open(instance_, &log, DB_LOG_READ, nullptr), ZE_NULL_POINTER);
    int32_t number = 0;
    EXPECT_EQ(DB_log_open(instance_, nullptr, DB_LOG_READ, &number), ZE_NULL_POINTER);
    EXPECT_EQ(DB_log_close(instance_, 0), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(DB_log_close(instance_, reader), 0);
    EXPECT_EQ(DB_log_close(instance_, reader), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(store_->logs.size(), 2u);
}

// The registration of an append must be the stored log's.
TEST_F(LogOpen, AppendChecksTheRegistration)
{
    add_log("roads_log", 1, 1, 8, 3, 0);
    LOGFILE log = record("roads_log", "", 0);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_APPEND, &number), 0);
    EXPECT_EQ(log.registration_id, 8);
    EXPECT_EQ(DB_log_close(instance_, number), 0);
}

// A failed write is -51 with the diagnostic; the statement is released, so
// later writes and the close answer -45 and the descriptor is gone.
TEST_F(LogOpen, FailedWriteReleasesTheStatement)
{
    const int32_t number = open(DB_LOG_CREATE);
    store_->fail_once[kInsertIds] = {"S1000", -271};
    const std::vector<int32_t> ids = range(1, 100);
    EXPECT_EQ(DB_log_add_id_list(instance_, number, ids.data(), 100), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -271);
    EXPECT_EQ(db_log_find_descriptor(number)->last_result, ZE_DBMS_ERROR);
    EXPECT_EQ(DB_log_add_id_list(instance_, number, ids.data(), 1), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(DB_log_close(instance_, number), ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(db_log_find_descriptor(number), nullptr);
}

// A failed removal write drops the ids it held: the buffer stays within its
// 100 ids, later adds are written as adds, and no id whose removal failed is
// ever written to the log as an add.
TEST_F(LogOpen, FailedRemovalWriteLeavesTheBufferConsistent)
{
    const struct {
        const char *what;
        int32_t removals; // ids 1001.. removed in one call
        bool add_fails;   // the removal write is the first add's
    } cases[] = {
        {"full buffer written during the removal", 100, false},
        {"partial buffer written before an add", 50, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        store_->data.clear();
        const int32_t number = open(DB_LOG_REPLACE);
        ASSERT_GT(number, 0);
        const int32_t data_id = db_log_find_descriptor(number)->log.data_id;
        store_->fail_once["UPDATE gis:bob_zel_logfile_data  SET logfile_data_id = -1  "
                          "WHERE logfile_data_id = " +
                          std::to_string(data_id) + " AND zel_row_id = ?"] = {"S1000", -271};
        const std::vector<int32_t> removed = range(1001, c.removals);
        const int32_t rc = DB_log_delete_id_list(instance_, number, removed.data(), c.removals);
        const int32_t one[] = {1};
        if (c.add_fails) {
            ASSERT_EQ(rc, 0);
            EXPECT_EQ(DB_log_add_id_list(instance_, number, one, 1), ZE_DBMS_ERROR);
        } else {
            EXPECT_EQ(rc, ZE_DBMS_ERROR);
        }
        // Two more full buffers and a part of one, all as adds.
        const std::vector<int32_t> adds = range(1, 250);
        EXPECT_EQ(DB_log_add_id_list(instance_, number, adds.data(), 250), 0);
        const DB_LOGFILE_DESC *d = db_log_find_descriptor(number);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->buffered, 50);
        EXPECT_EQ(d->pending, DB_LOG_PENDING_ADDS);
        EXPECT_EQ(DB_log_close(instance_, number), 0);
        EXPECT_EQ(store_->ids("bob", data_id), adds);
        EXPECT_TRUE(store_->ids("bob", -1).empty());
    }
}

TEST_F(LogOpen, FillFromAQuery)
{
    const int32_t number = open(DB_LOG_CREATE);
    const int32_t ids[] = {1};
    ASSERT_EQ(DB_log_add_id_list(instance_, number, ids, 1), 0);
    mark();
    scli::on_sql_like("INSERT INTO gis:bob_zel_logfile_data  \\(.*").no_data().repeat();
    EXPECT_EQ(db_log_add_ids_from_query(instance_, number, "ignored", "roads, towns",
                                        "roads.x = towns.x"),
              0);
    EXPECT_EQ(db_log_add_ids_from_query(instance_, number, nullptr, "", nullptr), 0);
    EXPECT_EQ(db_log_add_ids_from_query(instance_, 0, nullptr, "", nullptr),
              ZE_INVALID_LOG_DESCRIPTOR);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              "INSERT INTO gis:bob_zel_logfile_data  (logfile_data_id, "
                              "zel_row_id)  SELECT  1, gis:bob.roads.objectid FROM roads, towns  "
                              "WHERE roads.x = towns.x",
                              "INSERT INTO gis:bob_zel_logfile_data  (logfile_data_id, "
                              "zel_row_id)  SELECT  1, objectid FROM gis:bob.roads ",
                          }));
    // The buffered id is not written first.
    EXPECT_EQ(db_log_find_descriptor(number)->buffered, 1);
    EXPECT_EQ(DB_log_close(instance_, number), 0);
}

// The end frees every descriptor without writing what it buffered.
TEST_F(LogOpen, EndDropsOpenDescriptorsUnwritten)
{
    const int32_t number = open(DB_LOG_CREATE);
    const int32_t ids[] = {1, 2};
    ASSERT_EQ(DB_log_add_id_list(instance_, number, ids, 2), 0);
    ASSERT_EQ(DB_log_end(instance_), 0);
    EXPECT_EQ(executes_of(kInsertIds), std::vector<size_t>{});
    EXPECT_EQ(db_log_find_descriptor(number), nullptr);
    EXPECT_EQ(DB_log_close(instance_, number), ZE_LOG_NOT_INITIALISED);
    start();
    EXPECT_EQ(DB_log_close(instance_, number), ZE_INVALID_LOG_DESCRIPTOR);
    // Numbers are never reused.
    EXPECT_GT(open(DB_LOG_CREATE, "next_log"), number);
}

} // namespace
