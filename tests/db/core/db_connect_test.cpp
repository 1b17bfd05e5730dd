// The process connection against the scripted CLI: the calls of a connect
// with autocommit off and the driver check, the database rules, failures of
// each step, disconnect, the database switch and the current database.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

class Connect : public Unconnected
{
  protected:
    static Strings Journal()
    {
        Strings out;
        for (const scli::Call &c : scli::journal())
            out.push_back(c.fn + (c.detail.empty() ? "" : " " + c.detail));
        return out;
    }
};

TEST_F(Connect, ConnectsWithAutocommitOffAndChecksTheDriver)
{
    char database[DB_ADMIN_DATABASE_SIZE] = "";
    CLI_DIAG_RECORD d = db_connect("zel", "pw", database, sizeof(database));
    EXPECT_EQ(d.code, SQL_SUCCESS);
    EXPECT_STREQ(database, "zel");
    EXPECT_EQ(Journal(), (Strings{
                             "SQLAllocHandle type=ENV",
                             "SQLSetEnvAttr attr=200 value=2",
                             "SQLAllocHandle type=DBC",
                             "SQLSetConnectAttr attr=102 value=0",
                             "SQLConnect dsn=zel user=zel password=pw",
                             "SQLGetInfo info=9",
                             "SQLGetFunctions function=59",
                             "SQLGetInfo info=15",
                             "SQLGetInfo info=80",
                             "SQLAllocHandle type=STMT",
                             "SQLGetTypeInfo type=12",
                             "SQLBindCol col=4 ctype=1 buflen=3",
                             "SQLBindCol col=5 ctype=1 buflen=3",
                             "SQLFetch",
                             "SQLFreeStmt option=1",
                             "SQLGetInfo info=46",
                             // SQL_CURSOR_COMMIT_BEHAVIOR: cursors must survive commits.
                             "SQLGetInfo info=23",
                         }));
    EXPECT_EQ(db_connection()->initialised, 1);
    EXPECT_STREQ(db_connection()->literal_prefix, "'");
    EXPECT_STREQ(db_connection()->literal_suffix, "'");
}

TEST_F(Connect, DatabaseRules)
{
    const struct {
        const char *env; // ZEL_DATABASE, or null
        const char *given;
        int32_t code;
        const char *written;
    } cases[] = {
        {nullptr, "", SQL_SUCCESS, "zel"},
        {"geo", "", SQL_SUCCESS, "geo"},
        {nullptr, "null=database", SQL_SUCCESS, "zel"},
        {nullptr, "ZEL", SQL_SUCCESS, "ZEL"},
        {nullptr, "ZEL;HOST=a", SQL_SUCCESS, "ZEL;HOST=a"},
        {"geo", "GEO", SQL_SUCCESS, "GEO"},
        {nullptr, "other", ZE_NOT_ADMIN_DATABASE, "other"},
        {nullptr, "zelx", ZE_NOT_ADMIN_DATABASE, "zelx"},
        // An administrative database name is never cut.
        {"a234567890123456789012345678901", "", SQL_SUCCESS, "a234567890123456789012345678901"},
        {"a2345678901234567890123456789012", "", ZE_INVALID_ARGUMENT, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.given);
        scli::reset();
        if (c.env != nullptr)
            setenv("ZEL_DATABASE", c.env, 1);
        else
            unsetenv("ZEL_DATABASE");
        char database[DB_ADMIN_DATABASE_SIZE];
        snprintf(database, sizeof(database), "%s", c.given);
        CLI_DIAG_RECORD d = db_connect("zel", "pw", database, sizeof(database));
        EXPECT_EQ(d.code, c.code);
        EXPECT_STREQ(database, c.written);
        if (c.code < 0) {
            // Nothing allocated, nothing else in the record.
            EXPECT_TRUE(scli::journal().empty());
            EXPECT_STREQ(d.sqlstate, "");
            EXPECT_EQ(d.native_error, 0);
        } else {
            db_disconnect();
        }
    }
    unsetenv("ZEL_DATABASE");
}

TEST_F(Connect, FailedConnectIsMappedAndLeavesNoHandle)
{
    const struct {
        const char *sqlstate;
        int32_t native;
        int mapped;
    } cases[] = {
        {"28000", -951, ZE_INVALID_LOGIN},      {"IM002", 0, ZE_DATABASE_NOT_FOUND},
        {"08001", -908, ZE_DATABASE_NOT_FOUND}, {"S1000", -387, ZE_INVALID_LOGIN},
        {"S1000", -25, ZE_DBMS_ERROR},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        scli::reset();
        scli::fail_call("SQLConnect", 1, SQL_ERROR, {c.sqlstate, c.native, "refused"});
        char database[DB_ADMIN_DATABASE_SIZE] = "";
        StderrCapture capture;
        CLI_DIAG_RECORD d = db_connect("zel", "pw", database, sizeof(database));
        int mapped = db_map_connect_diag(&d);
        std::string err = capture.text();
        EXPECT_EQ(d.code, ZE_DBMS_ERROR);
        EXPECT_STREQ(d.sqlstate, c.sqlstate);
        EXPECT_EQ(mapped, c.mapped);
        EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
        EXPECT_STREQ(db_global_xerr.text, c.sqlstate);
        EXPECT_EQ(err.rfind("ZEL_Database Error: -1\n", 0), 0u) << err;
        EXPECT_TRUE(scli::leaks().empty());
        EXPECT_EQ(db_connection()->hdbc, nullptr);
    }
}

TEST_F(Connect, AllocationFailuresArePrinted)
{
    const struct {
        const char *fn;
        int n;
        const char *line;
    } cases[] = {
        {"SQLAllocHandle", 1, "db_connect (zel), Error allocating environment\n"},
        {"SQLAllocHandle", 2, "db_connect (zel), Error allocating connection\n"},
    };
    for (const auto &c : cases) {
        scli::reset();
        scli::fail_call(c.fn, c.n, SQL_ERROR, {"S1001", -1, "no memory"});
        char database[DB_ADMIN_DATABASE_SIZE] = "";
        StderrCapture capture;
        CLI_DIAG_RECORD d = db_connect("zel", "pw", database, sizeof(database));
        std::string err = capture.text();
        EXPECT_EQ(d.code, ZE_DBMS_ERROR);
        EXPECT_EQ(err.rfind(c.line, 0), 0u) << err;
        EXPECT_TRUE(scli::leaks().empty());
    }
}

TEST_F(Connect, AutocommitRefusalDoesNotStopTheConnect)
{
    scli::fail_call("SQLSetConnectAttr", 1, SQL_ERROR, {"S1092", -1, "no"});
    char database[DB_ADMIN_DATABASE_SIZE] = "";
    StderrCapture capture;
    CLI_DIAG_RECORD d = db_connect("zel", "pw", database, sizeof(database));
    EXPECT_EQ(capture.text(), "db_connect (zel), Error setting SQL_AUTOCOMMIT option\n");
    EXPECT_EQ(d.code, SQL_SUCCESS);
}

TEST_F(Connect, DriverCheckFailuresAreOnlyPrinted)
{
    const struct {
        SQLUSMALLINT info; // 0: the function check
        SQLUINTEGER value;
        int width;
        const char *line;
    } cases[] = {
        {0, 0, 0, "Driver does not have required level 2 ODBC API function SQLDataSources.\n"},
        {SQL_POSITIONED_STATEMENTS, SQL_PS_POSITIONED_UPDATE, 4,
         "Driver does not have required positioned statement ODBC support.\n"},
        {SQL_POSITIONED_STATEMENTS, SQL_PS_SELECT_FOR_UPDATE, 4,
         "Driver does not have required positioned statement ODBC support.\n"},
    };
    for (const auto &c : cases) {
        scli::reset();
        db_connection()->initialised = 0;
        if (c.info == 0)
            scli::set_function(SQL_API_SQLEXTENDEDFETCH, false);
        else
            scli::set_info(c.info, c.value, c.width);
        char database[DB_ADMIN_DATABASE_SIZE] = "";
        StderrCapture capture;
        CLI_DIAG_RECORD d = db_connect("zel", "pw", database, sizeof(database));
        EXPECT_EQ(capture.text(), c.line);
        // The connection is used all the same.
        EXPECT_EQ(d.code, SQL_SUCCESS);
        EXPECT_EQ(db_connection()->initialised, 0);
        EXPECT_EQ(db_global_xerr.code, 0);
        db_disconnect();
    }
}

TEST_F(Connect, TypeInformationFailureReplacesTheRecord)
{
    scli::fail_call("SQLFetch", 1, SQL_ERROR, {"S1000", -244, "no type info"});
    char database[DB_ADMIN_DATABASE_SIZE] = "";
    StderrCapture capture;
    CLI_DIAG_RECORD d = db_connect("zel", "pw", database, sizeof(database));
    std::string err = capture.text();
    EXPECT_EQ(d.code, SQL_ERROR);
    EXPECT_STREQ(d.sqlstate, "S1000");
    EXPECT_EQ(d.native_error, -244);
    EXPECT_EQ(err, "Error in determining driver's literal prefix and suffix\n"
                   "DB_init error -1\n"
                   "ZEL_Database Error: -1\nS1000\n"
                   "ODBC Error: S1000\nDatabase Error: -244\nError Message: no type info\n");
    EXPECT_EQ(db_global_xerr.native_error, -244);
}

TEST_F(Connect, DisconnectCommitsAndFreesBothHandles)
{
    char database[DB_ADMIN_DATABASE_SIZE] = "";
    db_connect("zel", "pw", database, sizeof(database));
    size_t mark = scli::journal().size();
    CLI_DIAG_RECORD d = db_disconnect();
    EXPECT_EQ(d.code, 0);
    Strings calls;
    for (size_t i = mark; i < scli::journal().size(); i++)
        calls.push_back(scli::journal()[i].fn + " " + scli::journal()[i].sql);
    EXPECT_EQ(calls,
              (Strings{"SQLEndTran COMMIT", "SQLDisconnect ", "SQLFreeHandle ", "SQLFreeHandle "}));
    EXPECT_TRUE(scli::leaks().empty());
}

TEST_F(Connect, DisconnectStopsAtAFailedCommit)
{
    char database[DB_ADMIN_DATABASE_SIZE] = "";
    db_connect("zel", "pw", database, sizeof(database));
    scli::on_commit().fail(SQL_SUCCESS_WITH_INFO, {"01000", 0, "warned"});
    StderrCapture capture;
    EXPECT_EQ(DB_disconnect(), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_EQ(err.rfind("db_disconnect Commit Error (1)\n", 0), 0u) << err;
    EXPECT_NE(err.find("DB_disconnect (db_disconnect) Error (-51)\n"), std::string::npos);
    EXPECT_NE(db_connection()->hdbc, nullptr);
    EXPECT_EQ(DB_disconnect(), 0);
}

// The one teardown frees what any failed step of the orderly disconnect left,
// disconnecting only a connection that is still open.
TEST_F(Connect, ReleaseFreesWhatAFailedStepLeft)
{
    const struct {
        const char *fails; // the failing call, or "use" for a failed database switch
        Strings calls;     // the release's calls
    } cases[] = {
        {"SQLEndTran",
         {"SQLEndTran", "SQLGetDiagRec", "SQLDisconnect", "SQLFreeHandle", "SQLFreeHandle"}},
        {"SQLDisconnect",
         {"SQLEndTran", "SQLDisconnect", "SQLGetDiagRec", "SQLDisconnect", "SQLFreeHandle",
          "SQLFreeHandle"}},
        {"SQLFreeHandle",
         {"SQLEndTran", "SQLDisconnect", "SQLFreeHandle", "SQLGetDiagRec", "SQLFreeHandle",
          "SQLFreeHandle"}},
        // The switch disconnected and could not connect again: nothing to
        // disconnect, the commit fails on the closed connection.
        {"use", {"SQLEndTran", "SQLGetDiagRec", "SQLFreeHandle", "SQLFreeHandle"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fails);
        scli::reset();
        char database[DB_ADMIN_DATABASE_SIZE] = "";
        ASSERT_EQ(db_connect("zel", "pw", database, sizeof(database)).code, SQL_SUCCESS);
        if (strcmp(c.fails, "use") == 0) {
            scli::fail_call("SQLConnect", scli::call_count("SQLConnect") + 1, SQL_ERROR,
                            {"08001", -908, "gone"});
            quiet_stderr([] { EXPECT_EQ(DB_database_use(nullptr, "other"), ZE_DBMS_ERROR); });
        } else {
            scli::fail_call(c.fails, scli::call_count(c.fails) + 1, SQL_ERROR,
                            {"S1000", -1, "refused"});
        }
        size_t mark = scli::journal().size();
        quiet_stderr([] { db_connection_release(); });
        Strings calls;
        for (size_t i = mark; i < scli::journal().size(); i++)
            calls.push_back(scli::journal()[i].fn);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(db_connection()->hdbc, nullptr);
        EXPECT_EQ(db_connection()->henv, nullptr);
        EXPECT_TRUE(scli::leaks().empty());
    }
}

TEST_F(Connect, ExportedConnect)
{
    StderrCapture capture;
    EXPECT_EQ(DB_connect(nullptr, "pw"), ZE_DBMS_ERROR);
    EXPECT_EQ(capture.text(), "Connection information is NULL, (DB_connect)\n");
    EXPECT_TRUE(scli::journal().empty());
    EXPECT_EQ(DB_connect("zel", "pw"), 0);
    EXPECT_EQ(DB_disconnect(), 0);
    scli::fail_call("SQLConnect", scli::call_count("SQLConnect") + 1, SQL_ERROR,
                    {"28000", -951, "who"});
    EXPECT_EQ(DB_connect("zel", "pw"), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_NE(err.find("DB_connect (db_connect) Error (-51)\n"), std::string::npos) << err;
}

class Database : public Connected
{
};

TEST_F(Database, UseReconnectsWithTheKeptPassword)
{
    scli::set_info_text(SQL_USER_NAME, "zel");
    EXPECT_EQ(DB_database_use(nullptr, "parcels_db"), 0);
    Strings calls;
    for (const scli::Call &c : Journal())
        calls.push_back(c.fn + " " + (c.sql.empty() ? c.detail : c.sql));
    EXPECT_EQ(calls, (Strings{"SQLEndTran COMMIT", "SQLGetInfo info=47", "SQLDisconnect ",
                              "SQLConnect dsn=parcels_db user=zel password=pw"}));
}

TEST_F(Database, UseFailureIsRecorded)
{
    scli::fail_call("SQLConnect", scli::call_count("SQLConnect") + 1, SQL_ERROR,
                    {"08001", -329, "no such database"});
    quiet_stderr([&] { EXPECT_EQ(DB_database_use(nullptr, "nowhere"), ZE_DBMS_ERROR); });
    EXPECT_EQ(db_global_xerr.native_error, -329);
}

// Failing each CLI call of a database switch in turn gives -51 with the
// injected diagnostic in the connection-level record and no handle leaked.
TEST_F(Database, UseFaultSweep)
{
    const Strings calls = {"SQLEndTran", "SQLGetInfo", "SQLDisconnect", "SQLConnect"};
    for (const std::string &fn : calls) {
        SCOPED_TRACE(fn);
        DB_instance_clear_xerr();
        scli::fail_call(fn, scli::call_count(fn) + 1, SQL_ERROR, {"S1000", -9999, "injected"});
        quiet_stderr([&] { EXPECT_EQ(DB_database_use(nullptr, "zel"), ZE_DBMS_ERROR); });
        EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
        EXPECT_EQ(db_global_xerr.native_error, -9999);
        EXPECT_EQ(scli::leaks().size(), 2u); // the environment and the connection
    }
}

TEST_F(Database, CurrentAndList)
{
    scli::set_info_text(SQL_DATABASE_NAME, "zel");
    char name[DB_DATABASE_NAME_SIZE] = "";
    DB_database_get_current(nullptr, name);
    EXPECT_STREQ(name, "zel");
    int32_t count = 0;
    char **list = nullptr;
    ASSERT_EQ(DB_database_list(nullptr, &count, &list), 0);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(list[0], "zel");
    free(list[0]);
    free(list);
    char locale[16];
    EXPECT_EQ(db_get_locale_env_name(locale), 0);
    EXPECT_STREQ(locale, "CLIENT_LOCALE");
}

} // namespace
