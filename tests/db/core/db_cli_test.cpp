// The CLI statement record against the scripted CLI: prepare, bind and define
// by position, execute, fetch to the end, the column description, the one-shot
// statement of this layer, and the copies of a record's failure into the
// connection's and a stream's extended error record.
#include "db/core/db_cli_internal.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/util/zel_errors.h"
#include "db/core/db_connect_internal.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/core/connected_fixture.h"

namespace
{

using Strings = std::vector<std::string>;

class CliStatement : public CliConnected
{
};

TEST_F(CliStatement, PrepareFailuresStayInTheRecordUntilSaved)
{
    scli::on_sql("SELECT a FROM missing").at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    scli::on_sql("SELECT a FROM t WHERE").at_prepare(SQL_ERROR, {"42000", -201, "syntax"});
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    EXPECT_EQ(db_cli_prepare(&cli, "SELECT a FROM missing"), ZE_TABLE_NOT_FOUND);
    EXPECT_EQ(db_cli_sqlstate_is(&cli, "S0002"), 1);
    EXPECT_EQ(db_cli_sqlstate_is(&cli, "s0002"), 0);
    EXPECT_EQ(cli.native_error, -206);
    EXPECT_EQ(db_cli_is_prepared(&cli), 0);
    EXPECT_EQ(db_global_xerr.code, 0);

    EXPECT_EQ(db_cli_prepare(&cli, "SELECT a FROM t WHERE"), ZE_DBMS_ERROR);
    EXPECT_STREQ(cli.message, "syntax");
    EXPECT_EQ(db_global_xerr.code, 0);

    db_cli_save_error(&cli);
    EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(db_global_xerr.native_error, -201);
    EXPECT_STREQ(db_global_xerr.message, "syntax");
    EXPECT_STREQ(db_global_xerr.text, "42000");

    DB_STREAM stream;
    memset(&stream, 0, sizeof stream);
    db_cli_save_error_to(&cli, nullptr);
    db_cli_save_error_to(&cli, db_stream_xerr(&stream));
    EXPECT_EQ(stream.xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(stream.xerr.native_error, -201);
    EXPECT_STREQ(stream.xerr.text, "42000");
    db_cli_free(&cli);
    EXPECT_EQ(db_cli_get_handle(&cli), nullptr);
}

TEST_F(CliStatement, BindDefineExecuteFetchToTheEnd)
{
    scli::on_sql("SELECT id, name FROM t WHERE id > ? AND name <> ?")
        .columns({{"id", SQL_INTEGER}, {"name", SQL_VARCHAR, 8}})
        .rows({{scli::i32(7), scli::varchar("ab")}, {scli::i32(9), scli::null()}});
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    ASSERT_EQ(db_cli_prepare(&cli, "SELECT id, name FROM t WHERE id > ? AND name <> ?"), 0);
    EXPECT_EQ(db_cli_is_prepared(&cli), 1);
    SQLINTEGER low = 5;
    char name[] = "zz";
    // No indicators: the integer goes with the zero indicator, the text as a
    // NUL-terminated string.
    ASSERT_EQ(db_cli_bind_by_pos(&cli, SQL_C_SLONG, SQL_INTEGER, 0, &low, 0, nullptr), 0);
    ASSERT_EQ(db_cli_bind_by_pos(&cli, SQL_C_CHAR, SQL_VARCHAR, 8, name, 0, nullptr), 0);
    SQLINTEGER id = 0;
    char text[9] = {};
    SQLLEN text_length = 0;
    ASSERT_EQ(db_cli_define_by_pos(&cli, SQL_C_SLONG, &id, 0, nullptr), 0);
    ASSERT_EQ(db_cli_define_by_pos(&cli, SQL_C_CHAR, text, sizeof text, &text_length), 0);
    ASSERT_EQ(db_cli_execute_stmt(&cli, 1), 0);
    ASSERT_EQ(db_cli_fetch(&cli), 0);
    EXPECT_EQ(id, 7);
    EXPECT_STREQ(text, "ab");
    ASSERT_EQ(db_cli_fetch(&cli), 0);
    EXPECT_EQ(id, 9);
    EXPECT_EQ(text_length, SQL_NULL_DATA);
    EXPECT_EQ(db_cli_fetch(&cli), ZE_NO_MORE_ROWS);
    EXPECT_STREQ(cli.sqlstate, "");
    // One row: no array attributes, the rows-fetched field is not kept.
    EXPECT_EQ(db_cli_get_rows_fetched(&cli), 0u);

    const scli::Call *execute = last_call("SQLExecute");
    ASSERT_NE(execute, nullptr);
    ASSERT_EQ(execute->params.size(), 1u);
    EXPECT_EQ(execute->params[0], (Strings{"5", "zz"}));
    EXPECT_EQ(scli::executed(), (Strings{"SELECT id, name FROM t WHERE id > ? AND name <> ?"}));

    // Closed, the record runs another statement from parameter 1.
    ASSERT_EQ(db_cli_close_cursor(&cli), 0);
    EXPECT_EQ(db_cli_is_prepared(&cli), 0);
    scli::on_sql("DELETE FROM t WHERE id = ?");
    ASSERT_EQ(db_cli_prepare(&cli, "DELETE FROM t WHERE id = ?"), 0);
    ASSERT_EQ(db_cli_bind_by_pos(&cli, SQL_C_SLONG, SQL_INTEGER, 0, &low, 0, nullptr), 0);
    ASSERT_EQ(db_cli_execute_stmt(&cli, 1), 0);
    // Parameter 1 bound again from the start (closing keeps older bindings).
    EXPECT_EQ(last_call("SQLExecute")->params[0][0], "5");
    db_cli_free(&cli);
}

TEST_F(CliStatement, ArrayFetchCountsRowsPerRowset)
{
    scli::Answer &answer = scli::on_sql("SELECT v FROM t").columns({{"v", SQL_INTEGER}});
    for (int v = 1; v <= 5; v++)
        answer.row({scli::i32(v)});
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    ASSERT_EQ(db_cli_prepare(&cli, "SELECT v FROM t"), 0);
    SQLINTEGER values[3] = {};
    SQLLEN lengths[3] = {};
    ASSERT_EQ(db_cli_define_by_pos(&cli, SQL_C_SLONG, values, 0, lengths), 0);
    ASSERT_EQ(db_cli_execute_stmt(&cli, 3), 0);
    ASSERT_EQ(db_cli_fetch(&cli), 0);
    EXPECT_EQ(db_cli_get_rows_fetched(&cli), 3u);
    EXPECT_EQ(values[2], 3);
    EXPECT_EQ(lengths[2], static_cast<SQLLEN>(sizeof(SQLINTEGER)));
    ASSERT_EQ(db_cli_fetch(&cli), 0);
    EXPECT_EQ(db_cli_get_rows_fetched(&cli), 2u);
    EXPECT_EQ(values[1], 5);
    EXPECT_EQ(db_cli_fetch(&cli), ZE_NO_MORE_ROWS);
    // The record's own cells were not written over by the rowsets.
    EXPECT_EQ(cli.nts_indicator, SQL_NTS);
    EXPECT_EQ(cli.zero_indicator, 0);
    db_cli_free(&cli);
}

// The record's own length cell holds one row: a rowset fetch into it would
// write the lengths of the other rows over the fields behind it.
TEST_F(CliStatement, RowsetsNeedALengthCellPerRow)
{
    scli::on_sql("SELECT v FROM t").columns({{"v", SQL_INTEGER}}).repeat();
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    ASSERT_EQ(db_cli_prepare(&cli, "SELECT v FROM t"), 0);
    SQLINTEGER values[3] = {};
    SQLLEN lengths[3] = {};

    // Defined without a cell, then asked for rowsets: refused before any call.
    ASSERT_EQ(db_cli_define_by_pos(&cli, SQL_C_SLONG, values, 0, nullptr), 0);
    size_t mark = scli::journal().size();
    EXPECT_EQ(db_cli_execute_stmt(&cli, 3), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(scli::journal().size(), mark);

    // Once the statement fetches rowsets, a define without a cell is refused,
    // also after the cursor is closed and for a one-row execute.
    ASSERT_EQ(db_cli_close_cursor(&cli), 0);
    ASSERT_EQ(db_cli_prepare(&cli, "SELECT v FROM t"), 0);
    ASSERT_EQ(db_cli_define_by_pos(&cli, SQL_C_SLONG, values, 0, lengths), 0);
    ASSERT_EQ(db_cli_execute_stmt(&cli, 3), 0);
    EXPECT_EQ(db_cli_fetch(&cli), ZE_NO_MORE_ROWS);
    ASSERT_EQ(db_cli_close_cursor(&cli), 0);
    mark = scli::journal().size();
    EXPECT_EQ(db_cli_define_by_pos(&cli, SQL_C_SLONG, values, 0, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(scli::journal().size(), mark);
    EXPECT_EQ(db_cli_set_define_position(&cli, 1), 1);
    EXPECT_EQ(db_cli_define_by_pos(&cli, SQL_C_SLONG, values, 0, lengths), 0);
    EXPECT_EQ(db_cli_execute_stmt(&cli, 1), 0);
    db_cli_free(&cli);

    // A new statement handle fetches one row again.
    ASSERT_EQ(db_cli_prepare(&cli, "SELECT v FROM t"), 0);
    EXPECT_EQ(db_cli_define_by_pos(&cli, SQL_C_SLONG, values, 0, nullptr), 0);
    EXPECT_EQ(db_cli_execute_stmt(&cli, 1), 0);
    db_cli_free(&cli);
}

TEST_F(CliStatement, PositionsMoveOnlyForPositiveNumbers)
{
    scli::on_sql("UPDATE t SET a = ?, b = ?, c = ?").repeat();
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    ASSERT_EQ(db_cli_prepare(&cli, "UPDATE t SET a = ?, b = ?, c = ?"), 0);
    SQLINTEGER one = 1, three = 3;
    EXPECT_EQ(db_cli_set_bind_position(&cli, 0), 0);
    EXPECT_EQ(db_cli_set_define_position(&cli, -2), 0);
    EXPECT_EQ(cli.next_param, 0);
    EXPECT_EQ(cli.next_column, 0);
    ASSERT_EQ(db_cli_bind_by_pos(&cli, SQL_C_SLONG, SQL_INTEGER, 0, &one, 0, nullptr), 0);
    ASSERT_EQ(db_cli_bind_by_pos(&cli, SQL_C_SLONG, SQL_INTEGER, 0, &one, 0, nullptr), 0);
    EXPECT_EQ(db_cli_set_bind_position(&cli, 3), 1);
    ASSERT_EQ(db_cli_bind_by_pos(&cli, SQL_C_SLONG, SQL_INTEGER, 0, &three, 0, nullptr), 0);
    EXPECT_EQ(cli.next_param, 3);
    ASSERT_EQ(db_cli_execute_stmt(&cli, 1), 0);
    EXPECT_EQ(last_call("SQLExecute")->params[0], (Strings{"1", "1", "3"}));
    EXPECT_EQ(db_cli_set_define_position(&cli, 11), 1);
    EXPECT_EQ(cli.next_column, 10);
    db_cli_free(&cli);
}

TEST_F(CliStatement, FailedFreeKeepsTheHandleForARetry)
{
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    ASSERT_EQ(db_cli_allocate(&cli), 0);
    EXPECT_EQ(cli.diag_kind, SQL_HANDLE_STMT);
    SQLHSTMT handle = db_cli_get_handle(&cli);
    EXPECT_EQ(db_cli_allocate(&cli), 0);
    EXPECT_EQ(db_cli_get_handle(&cli), handle);
    scli::fail_call("SQLFreeHandle", scli::call_count("SQLFreeHandle") + 1, SQL_ERROR,
                    {"HY010", -1, "busy"});
    db_cli_free(&cli);
    EXPECT_EQ(db_cli_get_handle(&cli), handle);
    EXPECT_TRUE(scli::is_live(handle));
    db_cli_free(&cli);
    EXPECT_EQ(db_cli_get_handle(&cli), nullptr);
    EXPECT_FALSE(scli::is_live(handle));
}

TEST_F(CliStatement, FetchFailureAndExecuteFailure)
{
    scli::on_sql("SELECT v FROM t")
        .columns({{"v", SQL_INTEGER}})
        .row({scli::i32(1)})
        .at_fetch(1, SQL_ERROR, {"HY000", -244, "row lock"});
    scli::on_sql("INSERT INTO t VALUES (1)").fail(SQL_ERROR, {"23000", -268, "duplicate"});
    CLI_STATEMENT cli;
    db_cli_init(&cli);
    ASSERT_EQ(db_cli_prepare(&cli, "SELECT v FROM t"), 0);
    ASSERT_EQ(db_cli_execute_stmt(&cli, 1), 0);
    EXPECT_EQ(db_cli_fetch(&cli), ZE_DBMS_ERROR);
    EXPECT_EQ(cli.native_error, -244);
    ASSERT_EQ(db_cli_close_cursor(&cli), 0);
    ASSERT_EQ(db_cli_prepare(&cli, "INSERT INTO t VALUES (1)"), 0);
    EXPECT_EQ(db_cli_execute_stmt(&cli, 1), ZE_DBMS_ERROR);
    EXPECT_TRUE(db_cli_sqlstate_is(&cli, "23000"));
    db_cli_free(&cli);
}

TEST_F(CliStatement, ColumnIsNullable)
{
    scli::add_table("zel", "parcels",
                    {{"id", SQL_INTEGER, 0, 0, SQL_NO_NULLS}, {"name", SQL_VARCHAR, 32}});
    // Names are searched exactly: "a_b" is not a pattern that finds "aXb".
    scli::add_table("zel", "roadXmap", {{"idXa", SQL_INTEGER, 0, 0, SQL_NO_NULLS}});
    scli::add_table("zel", "road_map", {{"id_a", SQL_INTEGER}});
    struct Case {
        const char *table;
        const char *column;
        int32_t rc;
        int32_t nullable;
    } cases[] = {
        {"parcels", "id", 0, 0},
        {"parcels", "name", 0, 1},
        {"parcels", "missing", ZE_NO_MORE_ROWS, -7},
        {nullptr, "id", ZE_NULL_POINTER, -7},
        {"parcels", nullptr, ZE_NULL_POINTER, -7},
        {"road_map", "id_a", 0, 1},
        {"road_map", "id%", ZE_NO_MORE_ROWS, -7},
        {"road%", "idXa", ZE_NO_MORE_ROWS, -7},
    };
    for (const Case &c : cases) {
        int32_t nullable = -7;
        EXPECT_EQ(db_cli_column_is_nullable(nullptr, "zel", c.table, c.column, &nullable), c.rc)
            << (c.column ? c.column : "(null)");
        EXPECT_EQ(nullable, c.nullable);
    }
    EXPECT_EQ(db_cli_column_is_nullable(nullptr, "zel", "parcels", "id", nullptr), ZE_NULL_POINTER);
}

TEST_F(CliStatement, OneShotStatementCommitsAndMaps)
{
    struct Case {
        const char *name;
        std::function<void(scli::Answer &)> script;
        int32_t mode;
        int32_t rc;
        bool committed;
        const char *saved_state; // null: the connection record stays clear
    } cases[] = {
        {"success, mode 0", [](scli::Answer &) {}, 0, 0, false, nullptr},
        {"success, mode 1", [](scli::Answer &) {}, 1, 0, true, nullptr},
        {"success, mode 3", [](scli::Answer &) {}, 3, 0, true, nullptr},
        {"no rows", [](scli::Answer &a) { a.no_data(); }, 1, 0, false, nullptr},
        {"access",
         [](scli::Answer &a) {
             a.fail(SQL_ERROR, {"42000", -273, "perm"});
         },
         1, ZE_NO_PERMISSIONS, false, "42000"},
        {"no table",
         [](scli::Answer &a) {
             a.fail(SQL_ERROR, {"S0002", -206, "tab"});
         },
         1, ZE_TABLE_NOT_FOUND, false, "S0002"},
        {"other",
         [](scli::Answer &a) {
             a.fail(SQL_ERROR, {"S0001", -310, "exists"});
         },
         1, ZE_DBMS_ERROR, false, "S0001"},
        {"with information",
         [](scli::Answer &a) {
             a.info({"01000", 0, "note"});
         },
         1, ZE_DBMS_ERROR, false, "01000"},
    };
    for (const Case &c : cases) {
        for (int32_t save : {0, 1}) {
            scli::reset();
            connect();
            DB_instance_clear_xerr();
            c.script(scli::on_sql("DROP TABLE t"));
            EXPECT_EQ(db_odbc_execute_ddlsql("DROP TABLE t", save, c.mode), c.rc) << c.name;
            Strings expected{"DROP TABLE t"};
            if (c.committed)
                expected.push_back("COMMIT");
            EXPECT_EQ(scli::executed(), expected) << c.name;
            if (save && c.saved_state != nullptr) {
                EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR) << c.name;
                EXPECT_STREQ(db_global_xerr.text, c.saved_state) << c.name;
            } else {
                EXPECT_EQ(db_global_xerr.code, 0) << c.name;
            }
            disconnect();
            EXPECT_TRUE(scli::leaks().empty()) << c.name;
        }
    }
}

TEST_F(CliStatement, CommitAndRollback)
{
    EXPECT_EQ(db_odbc_commit(), 0);
    EXPECT_EQ(db_odbc_rollback(), 0);
    // A failed commit ends its transaction with a rollback.
    scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
    EXPECT_EQ(db_odbc_commit(), ZE_DBMS_ERROR);
    scli::on_rollback().info({"01000", 0, "note"});
    EXPECT_EQ(db_odbc_rollback(), ZE_DBMS_ERROR);
    EXPECT_EQ(scli::executed(), (Strings{"COMMIT", "ROLLBACK", "COMMIT", "ROLLBACK", "ROLLBACK"}));
    EXPECT_EQ(db_global_xerr.code, 0);
}

// Every CLI call of a one-shot statement in turn fails: the statement ends
// with an engine code and the connection record filled, or (when only the
// release of its statement failed) succeeds; no handle is left either way.
TEST_F(CliStatement, FaultSweepOverOneShotStatement)
{
    ASSERT_EQ(db_odbc_execute_ddlsql("CREATE TABLE t (a INTEGER)", 1, 1), 0);
    const int calls = static_cast<int>(scli::journal().size()) - setup_calls();
    ASSERT_GT(calls, 2);
    for (int k = 1; k <= calls; k++) {
        scli::reset();
        connect();
        DB_instance_clear_xerr();
        const int base = static_cast<int>(scli::journal().size());
        scli::fail_call("", base + k, SQL_ERROR, {"HY000", -999, "injected"});
        int32_t rc = db_odbc_execute_ddlsql("CREATE TABLE t (a INTEGER)", 1, 1);
        const scli::Call &failed = scli::journal()[static_cast<size_t>(base + k - 1)];
        ASSERT_TRUE(failed.injected) << k;
        if (failed.fn == "SQLFreeHandle") {
            EXPECT_EQ(rc, 0) << k;
        } else if (failed.fn == "SQLAllocHandle") {
            EXPECT_EQ(rc, SQL_ERROR) << "the CLI's own code when no statement is allocated";
            EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR) << k;
        } else {
            EXPECT_LT(rc, 0) << k << " " << failed.fn;
            EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR) << k << " " << failed.fn;
        }
        disconnect();
        EXPECT_TRUE(scli::leaks().empty()) << k << " " << failed.fn;
    }
}

} // namespace
