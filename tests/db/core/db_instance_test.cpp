// The instance handle against the scripted CLI: the SQL an open, a DBA open,
// a lock and a close run, how refused connects map to engine codes, and that
// an open failing at any step leaves no handle, connection or copy behind.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_cache_internal.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_identifier_internal.h"
#include "db/core/db_instance_internal.h"
#include "db/core/db_instance_user_internal.h"
#include "mox/mox.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scripted_cli.h"

namespace
{

using Strings = std::vector<std::string>;

const char *const kStats1 = "UPDATE STATISTICS FOR TABLE ZEL.states";
const char *const kStats2 = "UPDATE STATISTICS FOR TABLE ZEL.state_lineages";
const char *const kSpatialType =
    "SELECT count(*) FROM SYSBLDREGISTERED WHERE lower(BLD_ID) like  'spatial.8.%'";

int32_t NextId(intptr_t context, int32_t layer_id, int32_t count)
{
    return static_cast<int32_t>(context) * 100 + layer_id * 10 + count;
}

int32_t RegistrationById(intptr_t context, int32_t id, REGISTRATION *out)
{
    if (id != 4)
        return -220;
    snprintf(out->database_name, sizeof(out->database_name), "db%d", static_cast<int>(context));
    snprintf(out->owner, sizeof(out->owner), "owner%d", id);
    return 0;
}

int32_t StampOf(intptr_t context, int32_t layer_id)
{
    return static_cast<int32_t>(context) * 1000 + layer_id;
}

class InstanceTest : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        unsetenv("ZEL_DATABASE");
        memset(&codepage_, 0, sizeof(codepage_));
        codepage_.native.id = 40;
        memset(&config_, 0, sizeof(config_));
        config_.codepage = &codepage_;
    }
    void TearDown() override
    {
        // Every test leaves the process closed, so the next starts afresh.
        if (instance_ != nullptr)
            DB_instance_close(instance_);
        instance_ = nullptr;
        EXPECT_EQ(db_layer_cache_get(), nullptr);
        EXPECT_EQ(db_instance_get_codepage(), nullptr);
        scli::Fixture::TearDown();
    }

    // Statements executed since the connect, i.e. without the driver check.
    static Strings Executed()
    {
        return scli::executed();
    }

    VE_CODEPAGE codepage_;
    DB_INSTANCE_OPEN_CONFIG config_;
    DB_INSTANCE *instance_ = nullptr;
};

TEST_F(InstanceTest, OpenRunsStatisticsAndCloseCommitsAndFreesEverything)
{
    config_.layer_cache_size = 3;
    config_.host_context = 7;
    config_.layer_stamp = StampOf;
    ASSERT_EQ(DB_instance_open("ZEL;extra", "alice", "pw", &config_, &instance_), 0);
    ASSERT_NE(instance_, nullptr);
    EXPECT_EQ(db_instance_get_current(), instance_);
    EXPECT_EQ(Executed(), (Strings{kStats1, "COMMIT", kStats2, "COMMIT"}));

    // The connect went to the data source as cut at ";".
    auto connects = scli::calls_of("SQLConnect");
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(connects[0].detail, "dsn=ZEL user=alice password=pw");

    // A size below 5 gives 5 slots with one block of five entries.
    DB_LAYER_CACHE *cache = db_layer_cache_get();
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache->capacity, 5);
    EXPECT_EQ(cache->blocks, 1);
    EXPECT_EQ(cache->count, 0);
    for (int i = 0; i < DB_LAYER_CACHE_BLOCK; i++) {
        ASSERT_NE(cache->entries[i], nullptr);
        ASSERT_NE(cache->entries[i]->coordref, nullptr);
        ASSERT_NE(cache->entries[i]->coordref->srtext, nullptr);
    }

    // The process keeps a copy of the code page, the user and the callbacks.
    ASSERT_NE(db_instance_get_codepage(), nullptr);
    EXPECT_NE(db_instance_get_codepage(), &codepage_);
    EXPECT_EQ(db_instance_get_codepage()->native.id, 40);
    char user[DB_USER_NAME_SIZE];
    EXPECT_STREQ(DB_instance_get_current_user(nullptr, user), "alice");
    EXPECT_EQ(db_instance_layer_stamp(12), 7012);
    EXPECT_STREQ(db_connection()->admin_database, "zel");

    EXPECT_EQ(DB_instance_close(instance_), 0);
    instance_ = nullptr;
    EXPECT_EQ(Executed(), (Strings{kStats1, "COMMIT", kStats2, "COMMIT", "COMMIT"}));
    EXPECT_EQ(scli::call_count("SQLDisconnect"), 1);
    EXPECT_EQ(db_instance_get_current(), nullptr);
    EXPECT_EQ(db_connection()->hdbc, nullptr);
    EXPECT_EQ(db_connection()->henv, nullptr);
}

// The callbacks the open installs are reached with the host context, and the
// code-page copy serves the identifier folding while the instance is open.
TEST_F(InstanceTest, HostCallbacksAndCodePageServeTheOpenInstance)
{
    DB_INSTANCE *none = nullptr;
    std::string database, owner;
    EXPECT_EQ(db_instance_lookup_registration(none, 4, &database, &owner), ZE_FAILURE);

    config_.host_context = 3;
    ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance_), 0);
    // Neither callback given.
    EXPECT_EQ(db_get_next_ids(2, 1), ZE_FAILURE);
    EXPECT_EQ(db_instance_lookup_registration(instance_, 4, &database, &owner), ZE_FAILURE);
    EXPECT_EQ(db_identifier_codepage, db_instance_get_codepage());
    DB_instance_close(instance_);
    instance_ = nullptr;
    EXPECT_EQ(db_identifier_codepage, nullptr);

    config_.allocate_id = NextId;
    config_.registration_by_id = RegistrationById;
    ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance_), 0);
    EXPECT_EQ(db_get_next_ids(2, 1), 321);
    EXPECT_EQ(db_instance_lookup_registration(instance_, 4, &database, &owner), 0);
    EXPECT_EQ(database, "db3");
    EXPECT_EQ(owner, "owner4");
    EXPECT_EQ(db_instance_lookup_registration(instance_, 5, &database, &owner), -220);
    EXPECT_EQ(db_instance_lookup_registration(nullptr, 4, &database, &owner), ZE_FAILURE);
}

TEST_F(InstanceTest, DataSourcesThatReachTheAdministrativeDatabase)
{
    struct Case {
        const char *env;
        const char *data_source;
        int32_t expected;
        const char *connected_to;
    };
    const Case cases[] = {
        {nullptr, "", 0, "zel"},
        {nullptr, "null=database", 0, "zel"},
        {nullptr, "ZEL", 0, "ZEL"},
        {nullptr, "zel;DSN=x", 0, "zel"},
        {nullptr, "other", ZE_NOT_ADMIN_DATABASE, nullptr},
        {nullptr, "zelx", ZE_NOT_ADMIN_DATABASE, nullptr},
        {"gis", "GIS;x", 0, "GIS"},
        {"gis", "", 0, "gis"},
        {"gis", "zel", ZE_NOT_ADMIN_DATABASE, nullptr},
        // 31 characters at most: a longer name is refused, not cut.
        {"a234567890123456789012345678901", "", 0, "a234567890123456789012345678901"},
        {"a2345678901234567890123456789012", "", ZE_INVALID_ARGUMENT, nullptr},
        {"a2345678901234567890123456789012", "null=database", ZE_INVALID_ARGUMENT, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.env ? c.env : "-") + " / " + c.data_source);
        scli::reset();
        if (c.env)
            setenv("ZEL_DATABASE", c.env, 1);
        else
            unsetenv("ZEL_DATABASE");
        DB_INSTANCE *instance = nullptr;
        EXPECT_EQ(DB_instance_open(c.data_source, "u", "p", &config_, &instance), c.expected);
        auto connects = scli::calls_of("SQLConnect");
        if (c.expected == 0) {
            ASSERT_NE(instance, nullptr);
            EXPECT_EQ(db_layer_cache_get(), nullptr); // a size of 0 makes no cache
            ASSERT_EQ(connects.size(), 1u);
            EXPECT_EQ(connects[0].detail,
                      std::string("dsn=") + c.connected_to + " user=u password=p");
            EXPECT_EQ(DB_instance_close(instance), 0);
        } else {
            // Refused before any connect.
            EXPECT_EQ(instance, nullptr);
            EXPECT_TRUE(connects.empty());
        }
        EXPECT_TRUE(scli::leaks().empty());
    }
    unsetenv("ZEL_DATABASE");
}

TEST_F(InstanceTest, RefusedConnectsMapToEngineCodes)
{
    struct Case {
        scli::Diag diag;
        int32_t plain;
        int32_t dba;
    };
    const Case cases[] = {
        {{"28000", -1, "bad password"}, ZE_INVALID_LOGIN, ZE_INVALID_DBA_PASSWORD},
        {{"IM002", 0, "no data source"}, ZE_DATABASE_NOT_FOUND, ZE_DATABASE_NOT_FOUND},
        {{"08001", -908, "no server"}, ZE_DATABASE_NOT_FOUND, ZE_DATABASE_NOT_FOUND},
        {{"S1000", -952, "no such user"}, ZE_INVALID_LOGIN, ZE_INVALID_DBA_PASSWORD},
        {{"S1000", -951, "not known"}, ZE_INVALID_LOGIN, ZE_INVALID_DBA_PASSWORD},
        {{"S1000", -387, "no connect"}, ZE_INVALID_LOGIN, ZE_INVALID_DBA_PASSWORD},
        {{"im002", 0, "not exact"}, ZE_DBMS_ERROR, ZE_DBMS_ERROR},
        {{"08004", -329, "refused"}, ZE_DBMS_ERROR, ZE_DBMS_ERROR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.diag.sqlstate + " " + std::to_string(c.diag.native));
        for (int dba = 0; dba < 2; dba++) {
            scli::reset();
            scli::fail_call("SQLConnect", 1, SQL_ERROR, c.diag);
            DB_INSTANCE *instance = nullptr;
            int32_t rc = quiet_stderr([&] {
                return dba ? DB_instance_open_as_dba("pw", &config_, &instance)
                           : DB_instance_open("", "u", "pw", &config_, &instance);
            });
            EXPECT_EQ(rc, dba ? c.dba : c.plain);
            EXPECT_EQ(instance, nullptr);
            EXPECT_TRUE(scli::leaks().empty());
            // The DBMS diagnostic stays in the connection-level record.
            DB_EXT_ERROR xerr;
            DB_instance_get_xerr(&xerr);
            EXPECT_EQ(xerr.native_error, c.diag.native);
        }
    }
}

// Informix closes cursors at commit unless its data source keeps them; the
// library commits with cursors open, so such a connection is refused with the
// setting that fixes it, and nothing of it stays.
TEST_F(InstanceTest, ConnectionThatClosesCursorsAtCommitIsRefused)
{
    for (SQLUINTEGER behaviour : {SQL_CB_CLOSE, SQL_CB_DELETE, SQL_CB_PRESERVE}) {
        SCOPED_TRACE(behaviour);
        scli::reset();
        scli::set_info(SQL_CURSOR_COMMIT_BEHAVIOR, behaviour, 2);
        DB_INSTANCE *instance = nullptr;
        StderrCapture capture;
        int32_t rc = DB_instance_open("", "u", "pw", &config_, &instance);
        if (behaviour == SQL_CB_PRESERVE) {
            EXPECT_EQ(rc, 0);
            EXPECT_NE(instance, nullptr);
            DB_instance_close(instance);
            continue;
        }
        EXPECT_EQ(rc, ZE_DBMS_ERROR);
        EXPECT_EQ(instance, nullptr);
        EXPECT_NE(capture.text().find("CURSORBEHAVIOR=1"), std::string::npos) << capture.text();
        DB_EXT_ERROR xerr;
        DB_instance_get_xerr(&xerr);
        EXPECT_NE(std::string(xerr.message).find("CURSORBEHAVIOR=1"), std::string::npos)
            << xerr.message;
        EXPECT_TRUE(scli::leaks().empty());
    }
}

TEST_F(InstanceTest, DbaOpenChecksTheSpatialTypeAndKeepsThePassword)
{
    EXPECT_EQ(DB_instance_check_dba_password(nullptr, "secret"), ZE_FAILURE);

    scli::on_sql(kSpatialType).columns({{"count", SQL_INTEGER}}).row({scli::i32(0)});
    StderrCapture capture;
    EXPECT_EQ(DB_instance_open_as_dba("secret", &config_, &instance_), ZE_NO_SPATIAL_TYPE);
    EXPECT_EQ(capture.text(), "The Spatial 8.1 Datablade must be registered to the database.\n");
    // The handle is open all the same; the caller closes it.
    ASSERT_NE(instance_, nullptr);
    EXPECT_EQ(Executed(), (Strings{kStats1, "COMMIT", kStats2, "COMMIT", kSpatialType}));
    auto connects = scli::calls_of("SQLConnect");
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(connects[0].detail, "dsn=zel user=zel password=secret");
    EXPECT_EQ(DB_instance_close(instance_), 0);
    instance_ = nullptr;

    scli::reset();
    scli::on_sql(kSpatialType).columns({{"count", SQL_INTEGER}}).row({scli::i32(2)});
    EXPECT_EQ(DB_instance_open_as_dba("other", &config_, &instance_), 0);
    ASSERT_NE(instance_, nullptr);
    EXPECT_EQ(DB_instance_check_dba_password(nullptr, "other"), 0);
    EXPECT_EQ(DB_instance_check_dba_password(nullptr, "OTHER"), ZE_INVALID_DBA_PASSWORD);
    EXPECT_EQ(DB_instance_check_dba_password(nullptr, "othe"), ZE_INVALID_DBA_PASSWORD);
    EXPECT_EQ(DB_instance_check_dba_password(nullptr, nullptr), ZE_INVALID_DBA_PASSWORD);
}

TEST_F(InstanceTest, ADbaPasswordTheKeptCopyCannotHoldIsRefusedBeforeTheLogin)
{
    const std::string longest(DB_INSTANCE_PASSWORD_SIZE - 1, 'p');
    const std::string over = longest + "q";
    {
        StderrCapture capture;
        DB_INSTANCE *refused = reinterpret_cast<DB_INSTANCE *>(&config_); // comes back null
        EXPECT_EQ(DB_instance_open_as_dba(over.c_str(), &config_, &refused),
                  ZE_INVALID_DBA_PASSWORD);
        EXPECT_EQ(refused, nullptr);
        EXPECT_EQ(capture.text(), "DBA password longer than 35 characters refused\n");
    }
    EXPECT_TRUE(scli::calls_of("SQLConnect").empty());

    scli::on_sql(kSpatialType).columns({{"count", SQL_INTEGER}}).row({scli::i32(1)});
    ASSERT_EQ(DB_instance_open_as_dba(longest.c_str(), &config_, &instance_), 0);
    ASSERT_NE(instance_, nullptr);
    struct Case {
        std::string given;
        int32_t expected;
    } cases[] = {
        {longest, 0},
        {over, ZE_INVALID_DBA_PASSWORD},
        {longest + "pppp", ZE_INVALID_DBA_PASSWORD},
        {longest.substr(1), ZE_INVALID_DBA_PASSWORD},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DB_instance_check_dba_password(nullptr, c.given.c_str()), c.expected) << c.given;
}

TEST_F(InstanceTest, SpatialTypeCheckFailuresComeBackAndFreeTheStatement)
{
    ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance_), 0);
    struct Case {
        const char *fn;
        int32_t expected;
    };
    // A missing table maps to -37; an execute failure to -51; no row to -4.
    const Case cases[] = {{"SQLPrepare", ZE_TABLE_NOT_FOUND}, {"SQLExecute", ZE_DBMS_ERROR}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fn);
        scli::fail_call(c.fn, scli::call_count(c.fn) + 1, SQL_ERROR, {"S0002", -206, "x"});
        quiet_stderr([&] { EXPECT_EQ(db_instance_check_spatial_type(), c.expected); });
    }
    scli::on_sql(kSpatialType).columns({{"count", SQL_INTEGER}});
    EXPECT_EQ(db_instance_check_spatial_type(), ZE_NO_MORE_ROWS);
}

TEST_F(InstanceTest, LockFollowsTheVersionLockFlagAndTheResult)
{
    const char *const kLock = "LOCK TABLE VERSION IN SHARE MODE";
    ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance_), 0);
    struct Case {
        const char *label;
        std::function<void()> script;
        int32_t expected;
        Strings executed;
    };
    // A lock that touched no rows answers 100, which counts as no release table.
    const Case cases[] = {
        {"held", [] {}, 0, {kLock}},
        {"no rows", [&] { scli::on_sql(kLock).no_data(); }, ZE_FAILURE, {kLock}},
        {"no release table",
         [&] {
             scli::on_sql(kLock).fail(SQL_ERROR, {"S0002", -206, "no table"});
         },
         ZE_FAILURE,
         {kLock}},
        {"refused",
         [&] {
             scli::on_sql(kLock).fail(SQL_ERROR, {"S1000", -107, "locked"});
         },
         ZE_DBMS_ERROR,
         {kLock, "COMMIT"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        size_t before = Executed().size();
        c.script();
        int32_t rc = quiet_stderr([&] { return DB_instance_lock(instance_); });
        Strings after = Executed();
        EXPECT_EQ(Strings(after.begin() + static_cast<long>(before), after.end()), c.executed);
        EXPECT_EQ(rc, c.expected);
    }
    instance_->config.no_version_lock = 1;
    size_t before = Executed().size();
    EXPECT_EQ(DB_instance_lock(instance_), 0);
    EXPECT_EQ(Executed().size(), before);
}

TEST_F(InstanceTest, CloseDropsTheListedViewsUpToTheCount)
{
    ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &instance_), 0);
    const char *names[] = {"v1", "v2", "v3"};
    DB_INSTANCE_VIEW *head = nullptr;
    for (int i = 2; i >= 0; i--) {
        auto *node = static_cast<DB_INSTANCE_VIEW *>(calloc(1, sizeof(DB_INSTANCE_VIEW)));
        strcpy(node->name, names[i]);
        node->next = head;
        head = node;
    }
    instance_->views = head;
    instance_->view_count = 2;
    scli::on_sql("DROP VIEW v1 CASCADE ").fail(SQL_ERROR, {"S1000", -9999, "cannot"});
    size_t before = Executed().size();
    quiet_stderr([&] { EXPECT_EQ(DB_instance_close(instance_), 0); });
    instance_ = nullptr;
    Strings after = Executed();
    // The failed drop is recorded and the walk goes on; v3 is beyond the count.
    EXPECT_EQ(Strings(after.begin() + static_cast<long>(before), after.end()),
              (Strings{"DROP VIEW v1 CASCADE ", "DROP VIEW v2 CASCADE ", "COMMIT", "COMMIT"}));
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -9999);
}

TEST_F(InstanceTest, DropOfAListShorterThanItsCountAnswersMinusOne)
{
    DB_INSTANCE instance;
    memset(&instance, 0, sizeof(instance));
    instance.views = static_cast<DB_INSTANCE_VIEW *>(calloc(1, sizeof(DB_INSTANCE_VIEW)));
    strcpy(instance.views->name, "only");
    instance.view_count = 3;
    quiet_stderr([&] { EXPECT_EQ(db_instance_drop_temporary_views(&instance), ZE_FAILURE); });
    EXPECT_EQ(instance.views, nullptr);
    EXPECT_EQ(instance.view_count, 0);
}

TEST_F(InstanceTest, PasswordAndUserChecks)
{
    struct PasswordCase {
        const char *password;
        int32_t expected;
    };
    const PasswordCase passwords[] = {{"plain", 0},
                                      {"", 0},
                                      {"a@b", ZE_INVALID_LOGIN},
                                      {"@", ZE_INVALID_LOGIN},
                                      {nullptr, ZE_NULL_POINTER}};
    for (const PasswordCase &c : passwords)
        EXPECT_EQ(DB_instance_check_password(c.password), c.expected)
            << (c.password ? c.password : "null");

    struct UserCase {
        const char *user;
        int32_t expected;
    };
    const UserCase users[] = {{"zel", 1}, {"ZEL", 1}, {"Zel", 1},  {"zel2", 0},
                              {"ze", 0},  {"", 0},    {nullptr, 0}};
    for (const UserCase &c : users)
        EXPECT_EQ(DB_instance_user_is_zel_admin(nullptr, c.user), c.expected)
            << (c.user ? c.user : "null");
    EXPECT_EQ(DB_instance_get_real_user(), 0);
}

TEST_F(InstanceTest, BadArgumentsAreRefusedWithoutConnecting)
{
    DB_INSTANCE *instance = reinterpret_cast<DB_INSTANCE *>(1);
    EXPECT_EQ(DB_instance_open(nullptr, "u", "p", &config_, &instance), ZE_NULL_POINTER);
    EXPECT_EQ(instance, nullptr);
    EXPECT_EQ(DB_instance_open("", nullptr, "p", &config_, &instance), ZE_NULL_POINTER);
    EXPECT_EQ(DB_instance_open("", "u", "p", nullptr, &instance), ZE_NULL_POINTER);
    EXPECT_EQ(DB_instance_open("", "u", "p", &config_, nullptr), ZE_NULL_POINTER);
    config_.codepage = nullptr;
    EXPECT_EQ(DB_instance_open("", "u", "p", &config_, &instance), ZE_NULL_POINTER);
    EXPECT_EQ(scli::call_count(""), 0);
    EXPECT_EQ(DB_instance_close(nullptr), 0);
    EXPECT_EQ(DB_instance_lock(nullptr), ZE_NULL_POINTER);
}

TEST_F(InstanceTest, ASecondOpenReplacesTheFirstConnection)
{
    config_.layer_cache_size = 8;
    DB_INSTANCE *first = nullptr;
    ASSERT_EQ(DB_instance_open("", "u", "p", &config_, &first), 0);
    ASSERT_EQ(DB_instance_open("", "v", "p", &config_, &instance_), 0);
    EXPECT_EQ(scli::call_count("SQLDisconnect"), 1);
    EXPECT_EQ(db_instance_get_current(), instance_);
    EXPECT_EQ(db_layer_cache_get()->capacity, 8);
    free(first); // its connection and cache went with the second open
}

// Every CLI call of an open and a close fails once in turn: whatever the
// open answers, a failed open hands out nothing and leaves nothing allocated,
// and a successful one closes cleanly.
TEST_F(InstanceTest, FaultSweepOverOpenAndCloseLeavesNothingBehind)
{
    config_.layer_cache_size = 6;
    config_.autocommit_interval = 10;
    auto run = [&]() -> int32_t {
        DB_INSTANCE *instance = nullptr;
        int32_t rc = DB_instance_open("", "u", "p", &config_, &instance);
        if (rc == 0) {
            EXPECT_NE(instance, nullptr);
            DB_instance_close(instance);
        } else {
            EXPECT_EQ(instance, nullptr);
        }
        return rc;
    };
    StderrCapture capture;
    ASSERT_EQ(run(), 0);
    int calls = scli::call_count("");
    for (int n = 1; n <= calls; n++) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        scli::reset();
        scli::fail_call("", n, SQL_ERROR, {"S1000", -999, "injected"});
        run();
        EXPECT_TRUE(scli::leaks().empty()) << [] {
            std::string t;
            for (auto &c : scli::journal())
                t += c.fn + " " + std::to_string(c.rc) + (c.injected ? " *" : "") + "\n";
            return t;
        }();
        EXPECT_EQ(db_connection()->hdbc, nullptr);
        EXPECT_EQ(db_connection()->henv, nullptr);
        EXPECT_EQ(db_layer_cache_get(), nullptr);
        EXPECT_EQ(db_instance_get_codepage(), nullptr);
        EXPECT_EQ(db_instance_get_current(), nullptr);
    }
}

} // namespace
