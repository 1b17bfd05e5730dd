// The tables that turn a CLI diagnostic into an engine code: every row of
// each operation's column, its order (first match wins, SQLSTATEs before
// native errors) and its case rule, with the lines printed on the way.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_diag_internal.h"
#include "tests/support/quiet_stderr.h"

namespace
{

CLI_DIAG_RECORD Diag(int32_t code, const char *sqlstate, int32_t native)
{
    CLI_DIAG_RECORD d;
    memset(&d, 0, sizeof(d));
    d.code = code;
    snprintf(d.sqlstate, sizeof(d.sqlstate), "%s", sqlstate);
    d.native_error = native;
    return d;
}

struct StateCase {
    const char *sqlstate;
    int expected;
};

TEST(DiagMap, ExecuteColumnIgnoresCase)
{
    const StateCase cases[] = {
        {"S0022", ZE_COLUMN_NOT_FOUND}, {"37000", ZE_SYNTAX_ERROR}, {"42000", ZE_NO_PERMISSIONS},
        {"S0002", ZE_TABLE_NOT_FOUND},  {"S0001", ZE_TABLE_EXISTS}, {"S0011", ZE_INDEX_EXISTS},
        {"s0022", ZE_COLUMN_NOT_FOUND}, {"s0011", ZE_INDEX_EXISTS}, {"S0021", ZE_DBMS_ERROR},
        {"S0012", ZE_DBMS_ERROR},       {"28000", ZE_DBMS_ERROR},   {"", ZE_DBMS_ERROR},
    };
    for (const StateCase &c : cases)
        EXPECT_EQ(db_map_execute_sqlstate(c.sqlstate), c.expected) << c.sqlstate;
    EXPECT_EQ(db_map_execute_sqlstate(nullptr), ZE_DBMS_ERROR);
}

TEST(DiagMap, StatementRecordColumnsCompareExactly)
{
    const StateCase ddl[] = {
        {"42000", ZE_NO_PERMISSIONS}, {"S0002", ZE_TABLE_NOT_FOUND}, {"s0002", ZE_DBMS_ERROR},
        {"S0022", ZE_DBMS_ERROR},     {"S0001", ZE_DBMS_ERROR},      {"", ZE_DBMS_ERROR},
    };
    for (const StateCase &c : ddl)
        EXPECT_EQ(db_map_cli_ddl_sqlstate(c.sqlstate), c.expected) << c.sqlstate;
    const StateCase prepare[] = {
        {"S0002", ZE_TABLE_NOT_FOUND},
        {"s0002", ZE_DBMS_ERROR},
        {"42000", ZE_DBMS_ERROR},
    };
    for (const StateCase &c : prepare)
        EXPECT_EQ(db_map_cli_prepare_sqlstate(c.sqlstate), c.expected) << c.sqlstate;
    // A full field without its terminator is read no further than the field.
    const char unterminated[DB_SQLSTATE_SIZE] = {'S', '0', '0', '0', '2', 'X'};
    EXPECT_EQ(db_map_cli_prepare_sqlstate(unterminated), ZE_DBMS_ERROR);
    EXPECT_EQ(db_map_execute_sqlstate(unterminated), ZE_DBMS_ERROR);
}

struct DiagCase {
    int32_t code;
    const char *sqlstate;
    int32_t native;
    int expected;
    const char *printed;
};

TEST(DiagMap, OneShotDdlColumn)
{
    const char *stmt = "db_execute_ddlsql SQL Stmt: <DROP TRIGGER t1>\n";
    const DiagCase cases[] = {
        // A return code of 100 comes before any SQLSTATE.
        {SQL_NO_DATA, "S0022", -217, 100, ""},
        {-1, "S0022", -217, ZE_COLUMN_NOT_FOUND, ""},
        {-1, "s0002", -206, ZE_TABLE_NOT_FOUND, ""},
        {-1, "42000", -272, ZE_NO_PERMISSIONS, ""},
        {-1, "S0021", -328, ZE_COLUMN_EXISTS, ""},
        {-1, "37000", -201, ZE_INDEX_NOT_FOUND, ""},
        {-1, "S0012", -319, ZE_INDEX_NOT_FOUND, ""},
        {-1, "S0001", -310, ZE_TABLE_EXISTS, ""},
        {-1, "28000", -387, ZE_INVALID_LOGIN, ""},
        {-1, "S0011", -316, ZE_INDEX_EXISTS, ""},
        // A mapped SQLSTATE wins over a mapped native error.
        {-1, "S0001", -634, ZE_TABLE_EXISTS, ""},
        {-1, "HY000", -634, 0, "Warning: The trigger does not exist \n"},
        {-1, "HY000", -741, 0, ""},
        {-1, "01504", 0, 0, stmt},
        // -634 and -741 come before 01504; 01504 before the other natives.
        {-1, "01504", -634, 0, "Warning: The trigger does not exist \n"},
        {-1, "01504", -289, 0, stmt},
        {-1, "HY000", -289, ZE_LOCK_CONFLICT, ""},
        {-1, "HY000", -523, ZE_TABLE_NOT_FOUND, ""},
        {-1, "HY000", -674, -674, ""},
        {-1, "HY000", -673, -673, ""},
        {-1, "HY000", -625, -625, ""},
        {-1, "HY000", -370, -370, ""},
        {-1, "HY000", -9992, ZE_DBMS_ERROR, ""},
        {-1, "HY000", -999, ZE_DBMS_ERROR, stmt},
        {-1, "", 0, ZE_DBMS_ERROR, stmt},
    };
    for (const DiagCase &c : cases) {
        CLI_DIAG_RECORD d = Diag(c.code, c.sqlstate, c.native);
        StderrCapture capture;
        int got = db_map_ddl_diag(&d, "DROP TRIGGER t1");
        std::string err = capture.text();
        EXPECT_EQ(got, c.expected) << c.sqlstate << " " << c.native;
        EXPECT_EQ(err, c.printed) << c.sqlstate << " " << c.native;
    }
}

TEST(DiagMap, ConnectColumnComparesExactly)
{
    const char *line = "DB_open_instance() db_connect error: %d\n";
    const DiagCase cases[] = {
        {ZE_DBMS_ERROR, "28000", 0, ZE_INVALID_LOGIN, ""},
        {ZE_DBMS_ERROR, "IM002", 0, ZE_DATABASE_NOT_FOUND, ""},
        {ZE_DBMS_ERROR, "08001", 0, ZE_DATABASE_NOT_FOUND, ""},
        // The SQLSTATEs come before the -162 code and the natives.
        {ZE_NOT_ADMIN_DATABASE, "08001", 0, ZE_DATABASE_NOT_FOUND, ""},
        {ZE_NOT_ADMIN_DATABASE, "", 0, ZE_NOT_ADMIN_DATABASE, ""},
        {ZE_DBMS_ERROR, "HY000", -951, ZE_INVALID_LOGIN, ""},
        {ZE_DBMS_ERROR, "HY000", -952, ZE_INVALID_LOGIN, ""},
        {ZE_DBMS_ERROR, "HY000", -387, ZE_INVALID_LOGIN, ""},
        {ZE_DBMS_ERROR, "im002", 0, ZE_DBMS_ERROR, line},
        {-1, "HY000", -908, ZE_DBMS_ERROR, line},
    };
    for (const DiagCase &c : cases) {
        CLI_DIAG_RECORD d = Diag(c.code, c.sqlstate, c.native);
        StderrCapture capture;
        int got = db_map_connect_diag(&d);
        std::string err = capture.text();
        EXPECT_EQ(got, c.expected) << c.sqlstate << " " << c.native;
        char expected[128];
        snprintf(expected, sizeof(expected), c.printed, c.code);
        EXPECT_EQ(err, expected) << c.sqlstate << " " << c.native;
    }
}

} // namespace
