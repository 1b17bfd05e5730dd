// Log files, catalogue side: log names and their parsing, generated names,
// the log rows (create, delete, alter, read by name, owner and table), the
// start of the log system with its clean-up of dead processes' temporary
// logs, its end, and the per-owner tables, sequence function and grants.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_log.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/catalog/log_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_dbtune_store.h"

namespace
{

TEST(LogDelete, NameIsCheckedBeforeTheLogSystem)
{
    const std::pair<const char *, int32_t> cases[] = {{nullptr, ZE_INVALID_ARGUMENT},
                                                      {"", ZE_INVALID_ARGUMENT},
                                                      {"tmp_log_1", ZE_LOG_NOT_INITIALISED}};
    for (auto [name, expected] : cases)
        EXPECT_EQ(DB_log_delete(nullptr, name), expected) << (name ? name : "null");
}

const char *const kInsert = "INSERT INTO gis:bob_zel_logfiles (  logfile_name,  logfile_id,  "
                            "logfile_data_id,  registration_id,  flags,  session_tag) VALUES ";
const char *const kSelect = "SELECT   logfile_name,  logfile_id,  logfile_data_id,  "
                            "registration_id,  flags,  session_tag  FROM gis:bob_zel_logfiles ";

const std::string kLayerOfRoads =
    layer_test::kSelect + layer_test::kFrom +
    " WHERE ly.srid = sr.srid AND ly.database_name = 'gis' AND ly.table_name = 'roads' AND "
    "ly.owner = 'bob'";

// The owner may be separated by any of six characters; the last one of the
// first kind found (in the order \ | , ; ! blank) stands for the point.
TEST_F(LogTest, NamesParseByTheFirstKindOfSeparatorFound)
{
    const struct {
        const char *name;
        int32_t rc;
        const char *database, *owner, *bare;
    } cases[] = {
        {"roads_log", 0, "gis", "bob", "roads_log"},
        {"bob.roads_log", 0, "gis", "bob", "roads_log"},
        {"bob\\roads_log", 0, "gis", "bob", "roads_log"},
        {"bob|Roads_Log", 0, "gis", "bob", "roads_log"},
        {"ann,roads_log", 0, "gis", "ann", "roads_log"},
        {"bob;roads_log", 0, "gis", "bob", "roads_log"},
        {"bob!roads_log", 0, "gis", "bob", "roads_log"},
        {"bob roads_log", 0, "gis", "bob", "roads_log"},
        {"DB1:bob.roads_log", 0, "db1", "bob", "roads_log"},
        {"'bob'.xx00000001_0", 0, "gis", "bob", "xx00000001_0"},
        // '\' is looked for first: the '|' stays in the name.
        {"bob\\roads|log", 0, "gis", "bob", "roads|log"},
        {"bob\\x|roads", 0, "gis", "bob", "x|roads"},
        // The owner and database become names in SQL.
        {"b-b.roads_log", ZE_INVALID_ARGUMENT, "", "", ""},
        {"g-s:bob.roads_log", ZE_INVALID_ARGUMENT, "", "", ""},
        {"bob.", ZE_INVALID_ARGUMENT, "", "", ""},
        {"", ZE_INVALID_ARGUMENT, "", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        char database[DB_LOG_DATABASE_SIZE], owner[DB_LOG_OWNER_SIZE], bare[DB_LOG_BARE_SIZE];
        EXPECT_EQ(db_log_parse_name(c.name, nullptr, database, owner, bare), c.rc);
        EXPECT_STREQ(database, c.database);
        EXPECT_STREQ(owner, c.owner);
        EXPECT_STREQ(bare, c.bare);
    }
    char database[32], owner[32], bare[160];
    EXPECT_EQ(db_log_parse_name(nullptr, nullptr, database, owner, bare), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_log_parse_name("roads_log", "ann", database, owner, bare), 0);
    EXPECT_STREQ(owner, "ann");
}

TEST_F(LogTest, GeneratedNamesCarryTheTagAndCountUp)
{
    char name[DB_NAME_FULL_TABLE_SIZE] = "";
    EXPECT_EQ(DB_log_make_name(instance_, name), ZE_LOG_NOT_INITIALISED);
    start();
    ASSERT_EQ(DB_log_make_name(instance_, name), 0);
    const std::string first = name;
    ASSERT_EQ(DB_log_make_name(instance_, name), 0);
    const std::string second = name;
    // The counter is the process's: it only grows.
    const std::string prefix = "'bob'.XX12340042_";
    ASSERT_EQ(first.rfind(prefix, 0), 0u) << first;
    ASSERT_EQ(second.rfind(prefix, 0), 0u) << second;
    EXPECT_EQ(std::stoi(second.substr(prefix.size())), std::stoi(first.substr(prefix.size())) + 1);
    EXPECT_EQ(DB_log_make_name(instance_, nullptr), ZE_NULL_POINTER);
    EXPECT_TRUE(executed().empty());
}

// A persistent log stores tag 0, a temporary one the process's tag; the end
// of the log system takes the temporary one away and sweeps its ids.
TEST_F(LogTest, CreateStoresTheTagOfTemporaryLogsOnly)
{
    start();
    LOGFILE persistent = record("Keep_Log", "roads", LOGINFO_PERSISTENT | LOGINFO_TABLE);
    LOGFILE temporary = record("bob.o'brien", "bob.roads", LOGINFO_TABLE);
    ASSERT_EQ(DB_log_create(instance_, &persistent), 0);
    ASSERT_EQ(DB_log_create(instance_, &temporary), 0);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              "{call gis:bob_zel_logfiles_nextval()}",
                              "COMMIT",
                              std::string(kInsert) + "('keep_log',1,1,7,3,0)",
                              "{call gis:bob_zel_logfiles_nextval()}",
                              "COMMIT",
                              std::string(kInsert) + "('o''brien',2,2,7,2,12340042)",
                          }));
    EXPECT_STREQ(persistent.name, "gis:bob.keep_log");
    EXPECT_STREQ(persistent.table_name, "gis:bob.roads");
    EXPECT_EQ(persistent.registration_id, 7);
    EXPECT_EQ(persistent.registration.registration_id, 7);
    EXPECT_EQ(persistent.logfile_id, 1);
    EXPECT_EQ(persistent.data_id, 1);
    EXPECT_EQ(persistent.session_tag, 0);
    EXPECT_STREQ(temporary.name, "gis:bob.o'brien");
    EXPECT_EQ(temporary.session_tag, kTag);
    EXPECT_EQ(memcmp(temporary.tag, LOGINFO_TAG, 4), 0);

    add_ids(2, {5, 6});
    mark();
    ASSERT_EQ(DB_log_end(instance_), 0);
    EXPECT_EQ(executed(),
              (std::vector<std::string>{
                  "DELETE FROM gis:bob_zel_logfiles WHERE session_tag = 12340042  AND ( flags = "
                  "2 OR flags = 4 ) ",
                  "DELETE FROM gis:bob_zel_logfile_data b WHERE NOT EXISTS ( SELECT *  FROM   "
                  "gis:bob_zel_logfiles a WHERE a.logfile_data_id = b.logfile_data_id)",
              }));
    ASSERT_EQ(store_->logs.size(), 1u);
    EXPECT_EQ(store_->logs[0].name, "keep_log");
    EXPECT_TRUE(store_->data.empty());
    EXPECT_EQ(DB_log_end(instance_), 0); // not started: nothing runs
    EXPECT_EQ(executed().size(), 2u);
}

// Every refusal comes before any SQL.
TEST_F(LogTest, CreateRefusesBeforeAnyStatement)
{
    LOGFILE log = record("roads_log", "roads", LOGINFO_TABLE);
    EXPECT_EQ(DB_log_create(instance_, &log), ZE_LOG_NOT_INITIALISED);
    start();
    const std::string long_name(DB_LOG_NAME_MAX + 1, 'x');
    const struct {
        const char *what;
        LOGFILE log;
        int32_t rc;
    } cases[] = {
        {"name does not parse", record("b-b.roads_log", "roads", LOGINFO_TABLE),
         ZE_INVALID_ARGUMENT},
        {"name longer than the column", record(long_name.c_str(), "roads", LOGINFO_TABLE),
         ZE_INVALID_ARGUMENT},
        {"another user's log", record("ann.roads_log", "roads", LOGINFO_TABLE),
         ZE_LOG_NOT_INITIALISED},
        {"table not registered", record("roads_log", "rivers", LOGINFO_TABLE), -220},
        {"table log without row-id column", record("roads_log", "plain", LOGINFO_TABLE),
         ZE_NO_ROWID_COLUMN},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DB_log_create(instance_, &c.log), c.rc);
    }
    EXPECT_EQ(DB_log_create(instance_, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_TRUE(executed().empty());
    EXPECT_TRUE(store_->logs.empty());
    // The longest name that fits the column is taken.
    LOGFILE longest = record(long_name.substr(1).c_str(), "roads", LOGINFO_TABLE);
    EXPECT_EQ(DB_log_create(instance_, &longest), 0);
}

// "zel" writes every user's logs; a layer log given its layer needs no look-up.
TEST_F(LogTest, AdministratorCreatesAnotherUsersLog)
{
    open_as("zel");
    start();
    LOGFILE log = record("bob.parcels", "roads", LOGINFO_PERSISTENT | LOGINFO_LAYER);
    log.layer_id = 12;
    strcpy(log.spatial_column, "shape");
    ASSERT_EQ(DB_log_create(instance_, &log), 0);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              "{call gis:bob_zel_logfiles_nextval()}",
                              "COMMIT",
                              std::string(kInsert) + "('parcels',1,1,7,5,0)",
                          }));
    EXPECT_EQ(log.layer_id, 12);
    EXPECT_STREQ(log.spatial_column, "shape");
}

// A layer log takes the layer of its registration's table from the layer
// records; a table without a layer is refused before any id is drawn.
TEST_F(LogTest, LayerLogFindsItsLayer)
{
    start();
    layer_test::answer_layers(kLayerOfRoads, {});
    LOGFILE missing = record("parcels", "roads", LOGINFO_LAYER);
    EXPECT_EQ(DB_log_create(instance_, &missing), ZE_LAYER_NOT_FOUND);
    EXPECT_EQ(executed(), (std::vector<std::string>{kLayerOfRoads, "COMMIT"}));
    mark();
    layer_test::LayerRow row;
    row.id = 12;
    row.column = "shape";
    layer_test::answer_layers(kLayerOfRoads, {row});
    LOGFILE log = record("parcels", "roads", LOGINFO_LAYER);
    ASSERT_EQ(DB_log_create(instance_, &log), 0);
    EXPECT_EQ(log.layer_id, 12);
    EXPECT_STREQ(log.spatial_column, "shape");
    const std::vector<std::string> sql = executed();
    ASSERT_GE(sql.size(), 3u);
    EXPECT_EQ(sql[0], kLayerOfRoads);
    EXPECT_EQ(sql[sql.size() - 3], "{call gis:bob_zel_logfiles_nextval()}");
    EXPECT_EQ(sql.back(), std::string(kInsert) + "('parcels',1,1,7,4,12340042)");
}

// Deleting leaves the ids until the owner's next end; a missing log is -43
// whichever way the driver reports a DELETE that touched nothing.
TEST_F(LogTest, DeleteLeavesTheIdsAsOrphans)
{
    for (bool zero_rows_succeed : {false, true}) {
        SCOPED_TRACE(zero_rows_succeed);
        open_as("bob");
        store_->zero_rows_succeed = zero_rows_succeed;
        add_log("o'brien", 3, 3, 7, 3, 0);
        add_ids(3, {10, 11});
        start();
        EXPECT_EQ(DB_log_delete(instance_, "bob|O'Brien"), 0);
        EXPECT_EQ(DB_log_delete(instance_, "o'brien"), ZE_LOG_NOT_FOUND);
        EXPECT_EQ(DB_log_delete(instance_, "ann.o'brien"), ZE_LOG_NOT_INITIALISED);
        EXPECT_EQ(DB_log_delete(instance_, "b-b.x"), ZE_INVALID_ARGUMENT);
        EXPECT_EQ(executed(),
                  (std::vector<std::string>{
                      "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = 'o''brien'",
                      "DELETE FROM gis:bob_zel_logfiles WHERE logfile_name = 'o''brien'",
                  }));
        EXPECT_TRUE(store_->logs.empty());
        EXPECT_EQ(store_->data.size(), 2u);
        ASSERT_EQ(DB_log_end(instance_), 0);
        EXPECT_TRUE(store_->data.empty());
    }
}

TEST_F(LogTest, AlterWritesTheFlagsOfTheLogId)
{
    for (bool zero_rows_succeed : {false, true}) {
        SCOPED_TRACE(zero_rows_succeed);
        open_as("bob");
        store_->zero_rows_succeed = zero_rows_succeed;
        add_log("roads_log", 4, 4, 7, 2, kTag);
        start();
        LOGFILE log = record("roads_log", "", LOGINFO_PERSISTENT | LOGINFO_TABLE);
        log.logfile_id = 4;
        EXPECT_EQ(DB_log_alter(instance_, &log), 0);
        log.logfile_id = 5;
        EXPECT_EQ(DB_log_alter(instance_, &log), ZE_LOG_NOT_FOUND);
        LOGFILE other = record("ann.roads_log", "", 3);
        EXPECT_EQ(DB_log_alter(instance_, &other), ZE_LOG_NOT_INITIALISED);
        EXPECT_EQ(DB_log_alter(instance_, nullptr), ZE_INVALID_ARGUMENT);
        EXPECT_EQ(executed(),
                  (std::vector<std::string>{
                      "UPDATE gis:bob_zel_logfiles SET  flags = 3  WHERE logfile_id = 4",
                      "UPDATE gis:bob_zel_logfiles SET  flags = 3  WHERE logfile_id = 5",
                  }));
        EXPECT_EQ(store_->logs[0].flags, 3);
    }
}

// Read records name the owner and the table of their registration, which
// is asked once per registration of a list.
TEST_F(LogTest, ReadsCompleteTheRecordsFromTheRegistration)
{
    add_log("a_log", 1, 1, 7, 3, 0);
    add_log("b_log", 2, 5, 7, 2, kTag);
    add_log("c_log", 3, 3, 8, 3, 0);
    add_log("d_log", 4, 4, 7, 3, 0, "ann");
    start();

    LOGFILE out = record("", "", 0);
    ASSERT_EQ(DB_log_get_by_name(instance_, "B_LOG", &out), 0);
    EXPECT_STREQ(out.name, "bob.b_log");
    EXPECT_STREQ(out.table_name, "bob.roads");
    EXPECT_EQ(out.logfile_id, 2);
    EXPECT_EQ(out.data_id, 5);
    EXPECT_EQ(out.flags, 2u);
    EXPECT_EQ(out.session_tag, kTag);
    EXPECT_STREQ(out.registration.rowid_column, "objectid");
    EXPECT_EQ(memcmp(out.tag, LOGINFO_TAG, 4), 0); // the caller's tag word stays
    EXPECT_EQ(DB_log_get_by_name(instance_, "x_log", &out), ZE_LOG_NOT_FOUND);
    EXPECT_EQ(DB_log_get_by_name(instance_, "", &out), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_get_by_name(instance_, "x_log", nullptr), ZE_INVALID_ARGUMENT);

    const int before = host_.registration_id_calls();
    LOGFILE *list = nullptr;
    int32_t count = 0;
    ASSERT_EQ(DB_log_get_by_owner(instance_, nullptr, &list, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(list[0].name, "bob.a_log");
    EXPECT_STREQ(list[1].table_name, "bob.roads");
    EXPECT_STREQ(list[2].table_name, "bob.plain");
    EXPECT_EQ(host_.registration_id_calls() - before, 2);
    free(list);

    ASSERT_EQ(DB_log_get_by_table(instance_, "", "bob.roads", &list, &count), 0);
    EXPECT_EQ(count, 2);
    free(list);
    ASSERT_EQ(DB_log_get_by_owner(instance_, "ann", &list, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(list[0].name, "ann.d_log");
    free(list);
    EXPECT_EQ(DB_log_get_by_table(instance_, "", "rivers", &list, &count), -220);
    EXPECT_EQ(DB_log_get_by_owner(instance_, "b-b", &list, &count), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_log_get_by_owner(instance_, nullptr, nullptr, &count), ZE_INVALID_ARGUMENT);

    EXPECT_EQ(executed(), (std::vector<std::string>{
                              std::string(kSelect) + " WHERE logfile_name = 'b_log'",
                              std::string(kSelect) + " WHERE logfile_name = 'x_log'",
                              kSelect,
                              std::string(kSelect) + " WHERE registration_id = 7",
                              "SELECT   logfile_name,  logfile_id,  logfile_data_id,  "
                              "registration_id,  flags,  session_tag  FROM gis:ann_zel_logfiles ",
                          }));
}

// Rows come 100 to a rowset; a list of 250 takes three fetches.
TEST_F(LogTest, ListsGrowOverSeveralRowsets)
{
    for (int32_t i = 1; i <= 250; i++)
        add_log("log_" + std::to_string(i), i, i, 7, 3, 0);
    start();
    LOGFILE *list = nullptr;
    int32_t count = 0;
    ASSERT_EQ(DB_log_get_by_owner(instance_, "bob", &list, &count), 0);
    ASSERT_EQ(count, 250);
    EXPECT_STREQ(list[249].name, "bob.log_250");
    EXPECT_EQ(list[249].data_id, 250);
    free(list);
    EXPECT_EQ(calls_since("SQLFetchScroll").size(), 4u); // three rowsets and the end
}

// A fetch that answers success with no row ends the list.
TEST_F(LogTest, FetchWithoutARowEndsTheList)
{
    for (int32_t i = 1; i <= 250; i++)
        add_log("log_" + std::to_string(i), i, i, 7, 3, 0);
    start();
    scli::empty_fetch_call("SQLFetchScroll", scli::call_count("SQLFetchScroll") + 2);
    LOGFILE *list = nullptr;
    int32_t count = 0;
    ASSERT_EQ(DB_log_get_by_owner(instance_, "bob", &list, &count), 0);
    EXPECT_EQ(count, 100);
    EXPECT_STREQ(list[99].name, "bob.log_100");
    free(list);
    EXPECT_EQ(calls_since("SQLFetchScroll").size(), 2u);
}

// At its start the log system deletes the current user's temporary logs
// whose process is gone or was started at another time; persistent logs
// and logs of living processes stay.
TEST_F(LogTest, StartDeletesTheTemporaryLogsOfDeadProcesses)
{
    add_log("mine", 1, 1, 7, LOGINFO_TABLE, kTag);
    add_log("dead", 2, 2, 7, LOGINFO_TABLE, 99990042);
    add_log("restarted", 3, 3, 7, LOGINFO_LAYER, 12340043);
    add_log("kept", 4, 4, 7, LOGINFO_PERSISTENT | LOGINFO_TABLE, 0);
    add_log("both_kinds", 5, 5, 7, LOGINFO_TABLE | LOGINFO_LAYER, 99990042);
    add_log("anns", 6, 6, 7, LOGINFO_TABLE, 99990042, "ann");
    layer_test::answer_layers(kLayerOfRoads, {});
    ASSERT_EQ(DB_log_init(instance_), 0);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              std::string(kSelect) + " WHERE flags = 2 OR flags = 4",
                              kLayerOfRoads, // the layer log's layer, not found
                              "COMMIT",
                              "DELETE FROM gis:bob_zel_logfiles WHERE logfile_id = 2",
                              "DELETE FROM gis:bob_zel_logfiles WHERE logfile_id = 3",
                          }));
    std::vector<std::string> left;
    for (const scli::LogRow &row : store_->logs)
        left.push_back(row.name);
    EXPECT_EQ(left, (std::vector<std::string>{"mine", "kept", "both_kinds", "anns"}));
}

// The clean-up is best effort: a failing delete ends it, the start succeeds.
TEST_F(LogTest, StartSucceedsWhenTheCleanUpFails)
{
    add_log("dead", 2, 2, 7, LOGINFO_TABLE, 99990042);
    add_log("dead_too", 3, 3, 7, LOGINFO_TABLE, 99990042);
    store_->fail_once["DELETE FROM gis:bob_zel_logfiles WHERE logfile_id = 2"] = {"S1000", -243};
    StderrCapture capture;
    ASSERT_EQ(DB_log_init(instance_), 0);
    EXPECT_EQ(executed().size(), 2u); // the read and the failed delete
    EXPECT_EQ(store_->logs.size(), 2u);
    char name[DB_NAME_FULL_TABLE_SIZE];
    EXPECT_EQ(DB_log_make_name(instance_, name), 0);
}

TEST_F(LogTest, FailedReadFillsTheConnectionsRecord)
{
    start();
    store_->fail_once[std::string(kSelect) + " WHERE logfile_name = 'x_log'"] = {"S0002", -206};
    LOGFILE out = record("", "", 0);
    EXPECT_EQ(DB_log_get_by_name(instance_, "x_log", &out), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(xerr.native_error, -206);
    EXPECT_STREQ(xerr.text, "S0002");
}

class LogTables : public LogTest
{
  protected:
    void SetUp() override
    {
        LogTest::SetUp();
        store_ = nullptr;
        dbtune_ = &scli::dbtune_store_install();
        mark();
    }
    scli::DbtuneStore *dbtune_ = nullptr;
};

const std::vector<std::string> kCreateTables = {
    "CREATE TABLE gis:bob_zel_logfiles (  logfile_name    VARCHAR(64) NOT NULL,  logfile_id      "
    "SERIAL  NOT NULL,  logfile_data_id INTEGER NOT NULL,  registration_id INTEGER NOT NULL,  "
    "flags           INTEGER NOT NULL,  session_tag     INTEGER NOT NULL,  PRIMARY KEY "
    "(logfile_id) CONSTRAINT bob_zel_logfiles_pk,  UNIQUE (logfile_name) CONSTRAINT "
    "bob_zel_logfiles_uk,  UNIQUE (logfile_data_id) CONSTRAINT bob_zel_logfiles_uk2) IN dbs1",
    "COMMIT",
    "CREATE TABLE gis:bob_zel_logfile_data (  logfile_data_id INTEGER NOT NULL,  zel_row_id      "
    "INTEGER NOT NULL) IN dbs2",
    "COMMIT",
    "CREATE INDEX bob_zel_logfile_data_idx1 ON gis:bob_zel_logfile_data (logfile_data_id)",
    "COMMIT",
    "CREATE INDEX bob_zel_logfile_data_idx2 ON gis:bob_zel_logfile_data (zel_row_id)IN idx",
    "COMMIT",
};

const char *const kCreateFunction =
    "CREATE FUNCTION gis:bob_zel_logfiles_nextval()                     RETURNING integer;       "
    "              DEFINE  nextval integer;                    INSERT INTO gis:bob_zel_logfiles "
    "VALUES                     ('DUMMYDUMMY', 0, -1, -1, -1, -1);                     LET "
    "nextval = DBINFO('sqlca.sqlerrd1');                    DELETE FROM gis:bob_zel_logfiles     "
    "                WHERE logfile_name = 'DUMMYDUMMY'  AND                           "
    "logfile_data_id = -1;                     RETURN nextval;                    END FUNCTION;";

// The DDL with the owner's storage clauses (LOGFILE_DEFAULTS fills what the
// owner's keyword leaves empty); a second run passes over what exists and
// stops at the function, which answers -62.
TEST_F(LogTables, CreateRunsTheDdlWithTheOwnersStorage)
{
    dbtune_->rows = {{"LOGFILE_BOB", "LF_STORAGE", "IN dbs1"},
                     {"LOGFILE_BOB", "LD_STORAGE", "IN dbs2"},
                     {"LOGFILE_DEFAULTS", "LD_INDEX_ROWID", "IN idx"},
                     {"LOGFILE_DEFAULTS", "LD_STORAGE", "IN other"}};
    ASSERT_EQ(DB_log_system_tables_create(), 0);
    std::vector<std::string> sql;
    for (const std::string &s : executed())
        if (s.rfind("SELECT keyword", 0) != 0)
            sql.push_back(s);
    std::vector<std::string> expected = kCreateTables;
    expected.insert(expected.end(), {"GRANT SELECT ON gis:bob_zel_logfiles TO PUBLIC", "COMMIT",
                                     "GRANT SELECT ON gis:bob_zel_logfile_data TO PUBLIC", "COMMIT",
                                     kCreateFunction, "COMMIT"});
    EXPECT_EQ(sql, expected);

    mark();
    const scli::Diag exists{"S0001", -310, "Table already exists in database."};
    for (int i = 0; i < 2; i++)
        scli::on_sql(kCreateTables[i * 2]).fail(SQL_ERROR, exists);
    for (int i = 2; i < 4; i++)
        scli::on_sql(kCreateTables[i * 2]).fail(SQL_ERROR, {"S0011", -316, "Index exists."});
    scli::on_sql(kCreateFunction).fail(SQL_ERROR, exists);
    quiet_stderr([&] { EXPECT_EQ(DB_log_system_tables_create(), ZE_TABLE_EXISTS); });
    EXPECT_EQ(scli::unused_answers(), std::vector<std::string>{});
}

// Any other failure ends the creation with -288 and the two messages; the
// steps before it stay.
TEST_F(LogTables, FailedStepEndsTheCreation)
{
    scli::on_sql_like("CREATE INDEX bob_zel_logfile_data_idx1 .*")
        .fail(SQL_ERROR, {"S1000", -261, "Cannot create file for table."});
    setenv("ZELVERBOSE", "1", 1);
    StderrCapture capture;
    EXPECT_EQ(DB_log_system_tables_create(), ZE_LOG_TABLES_FAILED);
    std::string err = capture.text();
    unsetenv("ZELVERBOSE");
    EXPECT_NE(err.find("Warning: DBTUNE file does not contain either LOGFILE_DEFAULTS or "
                       "LOGFILE_bob keywords. ZEL logfile system tables will be created using "
                       "DBMS default values for user 'bob'.\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Unable to create the bob_zel_logfile_data_idx1j index, error = -51.\n"
                       "DBMS error code: -261\nCannot create file for table.\nS1000\n"),
              std::string::npos)
        << err;
    std::vector<std::string> ddl;
    for (const std::string &s : executed())
        if (s.rfind("CREATE", 0) == 0)
            ddl.push_back(s.substr(0, 40));
    EXPECT_EQ(ddl, (std::vector<std::string>{"CREATE TABLE gis:bob_zel_logfiles (  log",
                                             "CREATE TABLE gis:bob_zel_logfile_data ( ",
                                             "CREATE INDEX bob_zel_logfile_data_idx1 O"}));
}

// The test prepares the three objects and executes nothing.
TEST_F(LogTables, ExistenceIsTestedByPreparing)
{
    EXPECT_EQ(DB_log_system_tables_exist(), 0);
    std::vector<std::string> prepared;
    for (const scli::Call &c : calls_since("SQLPrepare"))
        prepared.push_back(c.sql);
    EXPECT_EQ(prepared, (std::vector<std::string>{
                            "SELECT logfile_data_id FROM gis:bob_zel_logfiles ",
                            "SELECT logfile_data_id FROM gis:bob_zel_logfile_data ",
                            "EXECUTE FUNCTION gis:bob_zel_logfiles_nextval() ",
                        }));
    EXPECT_TRUE(executed().empty());
    scli::on_sql("EXECUTE FUNCTION gis:bob_zel_logfiles_nextval() ")
        .at_prepare(SQL_ERROR, {"S1000", -674, "Routine can not be resolved."});
    EXPECT_EQ(DB_log_system_tables_exist(), ZE_TABLE_NOT_FOUND);
}

TEST_F(LogTables, GrantsNeedTheOwnerOrTheAdministrator)
{
    EXPECT_EQ(DB_log_grant_access(instance_, "BOB", "ann"), 0);
    EXPECT_EQ(DB_log_revoke_access(instance_, "bob", "ann"), 0);
    EXPECT_EQ(DB_log_grant_access(instance_, "cy", "ann"), ZE_LOG_NOT_INITIALISED);
    EXPECT_EQ(DB_log_grant_access(instance_, "bob", "ann; drop"), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(DB_log_grant_access(instance_, nullptr, "ann"), ZE_NULL_POINTER);
    EXPECT_EQ(executed(), (std::vector<std::string>{
                              "GRANT SELECT   ON gis:BOB_zel_logfiles TO ann",
                              "COMMIT",
                              "GRANT SELECT   ON gis:BOB_zel_logfile_data TO ann",
                              "COMMIT",
                              "GRANT EXECUTE ON FUNCTION gis:BOB_zel_logfiles_nextval TO ann",
                              "COMMIT",
                              "REVOKE SELECT   ON gis:bob_zel_logfiles FROM ann",
                              "COMMIT",
                              "REVOKE SELECT   ON gis:bob_zel_logfile_data FROM ann",
                              "COMMIT",
                          }));
    open_as("zel");
    EXPECT_EQ(DB_log_grant_access(instance_, "cy", "ann"), 0);
}

} // namespace
