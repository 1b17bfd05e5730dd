// Statement primitives against the scripted CLI: the calls and SQL of each
// execute mode in order, where commits happen, rowset fetches with their
// 100/110 results, the one-shot DDL with its mapping and record rules, and a
// fault-injection sweep over the one-shot DDL.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <memory>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stmt_internal.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

const char *const kUpdate = "UPDATE parcels SET owner = 'zel' WHERE id = 1";
const char *const kSelect = "SELECT id FROM parcels";

class Stmt : public Connected
{
};

TEST_F(Stmt, OpenCursorAllocatesAKeysetCursor)
{
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kSelect, 0), 0);
    EXPECT_EQ(Calls(), (Strings{"SQLAllocHandle", "SQLSetStmtAttr", "SQLPrepare"}));
    EXPECT_EQ(Details("SQLSetStmtAttr"), (Strings{"attr=6 value=1"}));
    EXPECT_EQ(db_free_stmt(&h), 0);
    EXPECT_EQ(h, nullptr);
    // A word that is already 0 calls nothing.
    size_t before = scli::journal().size();
    EXPECT_EQ(db_free_stmt(&h), 0);
    EXPECT_EQ(scli::journal().size(), before);
}

TEST_F(Stmt, OpenCursorFailureFillsTheStreamOrTheConnectionRecord)
{
    auto stream = std::make_unique<DB_STREAM>();
    for (bool with_stream : {true, false}) {
        DB_instance_clear_xerr();
        DB_stream_clear_xerr(stream.get());
        scli::fail_call("SQLSetStmtAttr", scli::call_count("SQLSetStmtAttr") + 1, SQL_ERROR,
                        {"S1092", -1, "refused"});
        SQLHSTMT h = SQL_NULL_HSTMT;
        StderrCapture capture;
        int rc = db_open_cursor(with_stream ? db_stream_xerr(stream.get()) : nullptr, &h);
        std::string err = capture.text();
        EXPECT_EQ(rc, ZE_DBMS_ERROR);
        EXPECT_EQ(err.rfind("db_open_cursor Open Error (-1).\n", 0), 0u) << err;
        const DB_EXT_ERROR &filled = with_stream ? stream->xerr : db_global_xerr;
        const DB_EXT_ERROR &untouched = with_stream ? db_global_xerr : stream->xerr;
        EXPECT_EQ(filled.code, ZE_DBMS_ERROR);
        EXPECT_STREQ(filled.text, "S1092");
        EXPECT_STREQ(filled.message, "refused");
        EXPECT_EQ(untouched.code, 0);
        // The allocated handle stays in the word for the caller to free.
        ASSERT_NE(h, nullptr);
        db_free_stmt(&h);
    }
}

// Failing each CLI call of opening a cursor on a stream in turn fills the
// stream's record with the injected diagnostic.
TEST_F(Stmt, OpenCursorFaultSweep)
{
    auto stream = std::make_unique<DB_STREAM>();
    const size_t live = scli::leaks().size();
    for (const char *fn : {"SQLAllocHandle", "SQLSetStmtAttr"}) {
        SCOPED_TRACE(fn);
        DB_stream_clear_xerr(stream.get());
        scli::fail_call(fn, scli::call_count(fn) + 1, SQL_ERROR, {"S1000", -9999, "injected"});
        SQLHSTMT h = SQL_NULL_HSTMT;
        quiet_stderr(
            [&] { EXPECT_EQ(db_open_cursor(db_stream_xerr(stream.get()), &h), ZE_DBMS_ERROR); });
        EXPECT_EQ(stream->xerr.code, ZE_DBMS_ERROR);
        EXPECT_EQ(stream->xerr.native_error, -9999);
        EXPECT_EQ(db_global_xerr.code, 0);
        db_free_stmt(&h);
        EXPECT_EQ(scli::leaks().size(), live);
    }
}

TEST_F(Stmt, PrepareFailureReturnsTheCliCode)
{
    scli::on_sql("SELECT x FROM nowhere").at_prepare(SQL_ERROR, {"S0002", -206, "no table"});
    SQLHSTMT h = SQL_NULL_HSTMT;
    EXPECT_EQ(db_prepare_cursor(nullptr, &h, "SELECT x FROM nowhere", 0), SQL_ERROR);
    EXPECT_EQ(db_global_xerr.code, 0);
    CLI_DIAG_RECORD d;
    db_get_diag_record(&d, &h, SQL_ERROR);
    EXPECT_EQ(d.code, SQL_ERROR);
    EXPECT_STREQ(d.sqlstate, "S0002");
    EXPECT_EQ(d.native_error, -206);
    EXPECT_STREQ(d.message, "no table");
    db_free_stmt(&h);
}

struct ModeCase {
    int32_t mode;
    int32_t rows;
    Strings attrs; // SQLSetStmtAttr details after the cursor type
    Strings executed;
};

TEST_F(Stmt, ExecuteModesCommitWhereTheyShould)
{
    const ModeCase cases[] = {
        {DB_EXEC_NO_COMMIT, 1, {}, {kUpdate}},
        {DB_EXEC_COMMIT, 1, {}, {kUpdate, "COMMIT"}},
        {0, 1, {}, {kUpdate, "COMMIT"}},
        {DB_EXEC_ARRAY, 1, {}, {kUpdate, "COMMIT"}},
        {DB_EXEC_ARRAY,
         3,
         {"attr=2255 value=1", "attr=22 value=3", "attr=21 value=ptr", "attr=22 value=1"},
         {kUpdate, "COMMIT"}},
    };
    for (const ModeCase &c : cases) {
        SCOPED_TRACE(c.mode);
        size_t j = scli::journal().size();
        size_t e = scli::executed().size();
        SQLHSTMT h = SQL_NULL_HSTMT;
        ASSERT_EQ(db_prepare_cursor(nullptr, &h, kUpdate, 0), 0);
        EXPECT_EQ(db_execute_stmt(&h, c.rows, c.mode), 0);
        db_free_stmt(&h);
        Strings attrs;
        for (size_t i = j; i < scli::journal().size(); i++)
            if (scli::journal()[i].fn == "SQLSetStmtAttr")
                attrs.push_back(scli::journal()[i].detail);
        attrs.erase(attrs.begin());
        EXPECT_EQ(attrs, c.attrs);
        Strings all = scli::executed();
        EXPECT_EQ(Strings(all.begin() + static_cast<long>(e), all.end()), c.executed);
    }
}

// After an array of rows, a one-row execute of the same statement sends one
// row, not the stale rows of the array again.
TEST_F(Stmt, OneRowAfterAnArraySendsOneRow)
{
    const char *insert = "INSERT INTO parcels VALUES (?)";
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, insert, 0), 0);
    SQLINTEGER ids[3] = {1, 2, 3};
    SQLLEN ind[3] = {0, 0, 0};
    ASSERT_EQ(SQLBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, ind),
              SQL_SUCCESS);
    EXPECT_EQ(db_execute_stmt(&h, 3, DB_EXEC_ARRAY), 0);
    ids[0] = 9;
    EXPECT_EQ(db_execute_stmt(&h, 1, DB_EXEC_ARRAY), 0);
    db_free_stmt(&h);
    std::vector<std::vector<std::vector<std::string>>> sent;
    for (const scli::Call &c : scli::journal())
        if (c.fn == "SQLExecute")
            sent.push_back(c.params);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (std::vector<Strings>{{"1"}, {"2"}, {"3"}}));
    EXPECT_EQ(sent[1], (std::vector<Strings>{{"9"}}));
}

TEST_F(Stmt, MappedExecuteFailureReturnsAtOnce)
{
    const struct {
        const char *sqlstate;
        int expected;
    } cases[] = {
        {"S0022", ZE_COLUMN_NOT_FOUND}, {"37000", ZE_SYNTAX_ERROR}, {"42000", ZE_NO_PERMISSIONS},
        {"s0002", ZE_TABLE_NOT_FOUND},  {"S0001", ZE_TABLE_EXISTS}, {"S0011", ZE_INDEX_EXISTS},
        {"HY000", ZE_DBMS_ERROR},
    };
    for (const auto &c : cases) {
        scli::on_sql(kUpdate).fail(SQL_ERROR, {c.sqlstate, -1, "failed"});
        size_t e = scli::executed().size();
        SQLHSTMT h = SQL_NULL_HSTMT;
        ASSERT_EQ(db_prepare_cursor(nullptr, &h, kUpdate, 0), 0);
        EXPECT_EQ(db_execute_stmt(&h, 1, DB_EXEC_COMMIT), c.expected) << c.sqlstate;
        db_free_stmt(&h);
        // No commit, no record.
        EXPECT_EQ(scli::executed().size(), e + 1) << c.sqlstate;
        EXPECT_EQ(db_global_xerr.code, 0) << c.sqlstate;
    }
}

// A failed parameter-array execute is mapped by its own SQLSTATE, although
// the reset to single rows that follows clears the statement's diagnostic;
// the diagnostic comes back to a caller that asks for it.
TEST_F(Stmt, FailedArrayExecuteKeepsItsDiagnostic)
{
    const char *insert = "INSERT INTO parcels VALUES (?)";
    const struct {
        const char *sqlstate;
        int expected;
    } cases[] = {{"42000", ZE_NO_PERMISSIONS}, {"S1000", ZE_DBMS_ERROR}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        scli::on_sql(insert).fail(SQL_ERROR, {c.sqlstate, -271, "Could not insert new row."});
        SQLHSTMT h = SQL_NULL_HSTMT;
        ASSERT_EQ(db_prepare_cursor(nullptr, &h, insert, 0), 0);
        SQLINTEGER ids[3] = {1, 2, 3};
        SQLLEN ind[3] = {0, 0, 0};
        ASSERT_EQ(
            SQLBindParameter(h, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, ind),
            SQL_SUCCESS);
        CLI_DIAG_RECORD diag;
        EXPECT_EQ(db_execute_stmt_diag(&h, 3, DB_EXEC_ARRAY, &diag), c.expected);
        EXPECT_EQ(diag.native_error, -271);
        EXPECT_STREQ(diag.sqlstate, c.sqlstate);
        EXPECT_STREQ(diag.message, "Could not insert new row.");
        db_free_stmt(&h);
    }
    // A success leaves the record empty.
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kUpdate, 0), 0);
    CLI_DIAG_RECORD diag;
    memset(&diag, 'x', sizeof(diag));
    EXPECT_EQ(db_execute_stmt_diag(&h, 1, DB_EXEC_NO_COMMIT, &diag), 0);
    EXPECT_EQ(diag.native_error, 0);
    EXPECT_STREQ(diag.sqlstate, "");
    db_free_stmt(&h);
}

// An UPDATE or DELETE that touched no row is 100 however the driver says so;
// a DDL statement's row count is not looked at.
TEST_F(Stmt, DmlWithoutRowsIs100EitherWay)
{
    const struct {
        const char *name;
        bool no_data;
        SQLLEN rows;
        int dml, ddl;
        Strings executed;
    } cases[] = {
        {"no data", true, 0, 100, 100, {kUpdate}},
        {"success, 0 rows", false, 0, 100, 0, {kUpdate, "COMMIT"}},
        {"success, 2 rows", false, 2, 0, 0, {kUpdate, "COMMIT"}},
        {"success, count unknown", false, -1, 0, 0, {kUpdate, "COMMIT"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (bool dml : {true, false}) {
            scli::Answer &a = scli::on_sql(kUpdate);
            if (c.no_data)
                a.no_data();
            else
                a.row_count(c.rows);
            size_t e = scli::executed().size();
            EXPECT_EQ(dml ? db_execute_dml(kUpdate, 0, 1) : db_execute_ddlsql(kUpdate, 0, 1),
                      dml ? c.dml : c.ddl);
            Strings all = scli::executed();
            if (dml) {
                EXPECT_EQ(Strings(all.begin() + static_cast<long>(e), all.end()),
                          c.dml == 100 ? Strings{kUpdate} : c.executed);
            }
        }
    }
}

TEST_F(Stmt, InvalidHandleIsRecorded)
{
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kUpdate, 0), 0);
    SQLHSTMT stale = h;
    db_free_stmt(&h);
    quiet_stderr([&] { EXPECT_EQ(db_execute_stmt(&stale, 1, DB_EXEC_COMMIT), ZE_DBMS_ERROR); });
    EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
    EXPECT_STREQ(db_global_xerr.message, "db_odbc_execute_stmt::Invalid ODBC handle (0)\n");
    Strings ends = Executed();
    EXPECT_EQ(std::count(ends.begin(), ends.end(), "COMMIT"), 0);
}

TEST_F(Stmt, ParameterArraySettingFailureIsRecorded)
{
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kUpdate, 0), 0);
    scli::fail_call("SQLSetStmtAttr", scli::call_count("SQLSetStmtAttr") + 2, SQL_ERROR,
                    {"HYC00", -1, "not capable"});
    quiet_stderr([&] { EXPECT_EQ(db_execute_stmt(&h, 5, DB_EXEC_ARRAY), ZE_DBMS_ERROR); });
    EXPECT_STREQ(db_global_xerr.message, "db_odbc_execute_stmt:: SQLSetStmtAttr failed for (0)\n");
    EXPECT_STREQ(db_global_xerr.text, "HYC00");
    EXPECT_EQ(Executed(), Strings{});
    db_free_stmt(&h);
}

TEST_F(Stmt, ExecuteAndFetchOneRowOfNone)
{
    scli::on_sql(kSelect).columns({{"id", SQL_INTEGER}});
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kSelect, 0), 0);
    SQLULEN rows = 0;
    EXPECT_EQ(db_execute_and_fetch(&h, 1, 1, &rows), DB_NO_MORE_DATA);
    EXPECT_EQ(rows, 1u);
    EXPECT_EQ(Executed(), (Strings{kSelect, "COMMIT"}));
    db_free_stmt(&h);
}

TEST_F(Stmt, ExecuteAndFetchRowsets)
{
    scli::on_sql(kSelect)
        .columns({{"id", SQL_INTEGER}})
        .rows({{scli::i32(1)}, {scli::i32(2)}, {scli::i32(3)}});
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kSelect, 0), 0);
    SQLINTEGER ids[2] = {0, 0};
    SQLLEN ind[2];
    ASSERT_EQ(SQLBindCol(h, 1, SQL_C_SLONG, ids, 0, ind), SQL_SUCCESS);
    SQLULEN rows = 0;
    EXPECT_EQ(db_execute_and_fetch(&h, 1, 2, &rows), 0);
    EXPECT_EQ(rows, 2u);
    EXPECT_EQ(ids[1], 2);
    EXPECT_EQ(db_execute_and_fetch(&h, 0, 2, &rows), 0);
    EXPECT_EQ(rows, 1u);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(db_execute_and_fetch(&h, 0, 2, &rows), DB_NO_MORE_DATA);
    // Each call commits, with or without the execute.
    EXPECT_EQ(Executed(), (Strings{kSelect, "COMMIT", "COMMIT", "COMMIT"}));
    // More rows than the rowset of this mode holds are refused before any call.
    size_t before = scli::journal().size();
    EXPECT_EQ(db_execute_and_fetch(&h, 0, DB_EXEC_FETCH_MAX_ROWS + 1, &rows), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(scli::journal().size(), before);
    db_free_stmt(&h);
}

// A refused rowset size ends execute-and-fetch at once: -51, no fetch, no
// commit, and no record filled.
TEST_F(Stmt, RefusedRowsetSizeOfExecuteAndFetchEndsAtOnce)
{
    scli::on_sql(kSelect).columns({{"id", SQL_INTEGER}}).rows({{scli::i32(1)}, {scli::i32(2)}});
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kSelect, 0), 0);
    SQLINTEGER ids[2] = {0, 0};
    SQLLEN ind[2];
    ASSERT_EQ(SQLBindCol(h, 1, SQL_C_SLONG, ids, 0, ind), SQL_SUCCESS);
    DB_instance_clear_xerr();
    scli::fail_call("SQLSetStmtAttr", scli::call_count("SQLSetStmtAttr") + 1, SQL_ERROR,
                    {"HY024", 0, "Invalid attribute value"});
    SQLULEN rows = 0;
    EXPECT_EQ(db_execute_and_fetch(&h, 1, 2, &rows), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed(), (Strings{kSelect}));
    EXPECT_TRUE(scli::calls_of("SQLExtendedFetch").empty());
    EXPECT_EQ(db_global_xerr.code, 0);
    const std::vector<scli::Call> sets = scli::calls_of("SQLSetStmtAttr");
    ASSERT_FALSE(sets.empty());
    EXPECT_TRUE(sets.back().injected);
    EXPECT_NE(sets.back().detail.find("attr=" + std::to_string(SQL_ROWSET_SIZE) + " value=2"),
              std::string::npos)
        << sets.back().detail;
    db_free_stmt(&h);
}

TEST_F(Stmt, FetchFailureOfExecuteAndFetchIsRecordedAndCommitted)
{
    scli::on_sql(kSelect)
        .columns({{"id", SQL_INTEGER}})
        .row({scli::i32(1)})
        .at_fetch(1, SQL_ERROR, {"S1000", -244, "cannot read"});
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kSelect, 0), 0);
    SQLULEN rows = 0;
    quiet_stderr([&] { EXPECT_EQ(db_execute_and_fetch(&h, 1, 1, &rows), ZE_DBMS_ERROR); });
    EXPECT_STREQ(db_global_xerr.message, "db_odbc_execute_stmt:: SQLFetch failed for (0) \n");
    EXPECT_EQ(Executed(), (Strings{kSelect, "COMMIT"}));
    db_free_stmt(&h);
}

TEST_F(Stmt, FailedCommitAfterExecute)
{
    scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kUpdate, 0), 0);
    StderrCapture capture;
    EXPECT_EQ(db_execute_stmt(&h, 1, DB_EXEC_COMMIT), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_EQ(err.rfind("Commit Error (-1)\n", 0), 0u) << err;
    EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
    EXPECT_EQ(db_global_xerr.native_error, -908);
    EXPECT_STREQ(db_global_xerr.text, "08S01");
    db_free_stmt(&h);
}

TEST_F(Stmt, FetchRowsUntilNoMoreData)
{
    std::vector<scli::Row> seven;
    for (int i = 1; i <= 7; i++)
        seven.push_back({scli::i32(i)});
    scli::on_sql(kSelect).columns({{"id", SQL_INTEGER}}).rows(seven);
    SQLHSTMT h = SQL_NULL_HSTMT;
    ASSERT_EQ(db_prepare_cursor(nullptr, &h, kSelect, 0), 0);
    SQLINTEGER ids[20];
    SQLLEN ind[20];
    ASSERT_EQ(SQLBindCol(h, 1, SQL_C_SLONG, ids, 0, ind), SQL_SUCCESS);
    ASSERT_EQ(db_execute_stmt(&h, 1, DB_EXEC_NO_COMMIT), 0);
    SQLULEN rows = 0;
    EXPECT_EQ(db_fetch_rows(&h, 20, &rows), 0);
    EXPECT_EQ(rows, 7u);
    EXPECT_EQ(ids[6], 7);
    EXPECT_EQ(db_fetch_rows(&h, 20, &rows), DB_NO_MORE_DATA);
    EXPECT_EQ(Details("SQLSetStmtAttr").back(), "attr=9 value=20");
    // Fetching never commits.
    EXPECT_EQ(Executed(), Strings{kSelect});
    db_free_stmt(&h);
}

struct DdlCase {
    const char *name;
    SQLRETURN rc; // scripted execute result
    scli::Diag diag;
    int32_t record;
    int32_t mode;
    int expected;
    Strings executed;
    bool recorded;
};

TEST_F(Stmt, OneShotDdl)
{
    const char *sql = "DROP INDEX parcels_ix";
    const DdlCase cases[] = {
        {"commit", SQL_SUCCESS, {}, 1, 1, 0, {sql, "COMMIT"}, false},
        {"open", SQL_SUCCESS, {}, 1, 0, 0, {sql}, false},
        {"info", SQL_SUCCESS_WITH_INFO, {"01000", 0, "note"}, 1, 2, 1, {sql}, false},
        {"info commit",
         SQL_SUCCESS_WITH_INFO,
         {"01000", 0, "note"},
         1,
         3,
         0,
         {sql, "COMMIT"},
         false},
        {"access", SQL_ERROR, {"42000", -272, "no"}, 0, 1, ZE_NO_PERMISSIONS, {sql}, false},
        {"access kept", SQL_ERROR, {"42000", -272, "no"}, 1, 1, ZE_NO_PERMISSIONS, {sql}, true},
        {"native", SQL_ERROR, {"S1000", -674, "routine"}, 1, 1, -674, {sql}, true},
        {"trigger", SQL_ERROR, {"S1000", -634, "no trigger"}, 0, 1, 0, {sql}, false},
        {"no rows", SQL_NO_DATA, {}, 1, 1, 100, {sql}, true},
    };
    for (const DdlCase &c : cases) {
        SCOPED_TRACE(c.name);
        DB_instance_clear_xerr();
        scli::Answer &a = scli::on_sql(sql);
        if (c.rc == SQL_NO_DATA)
            a.no_data();
        else if (c.rc == SQL_SUCCESS_WITH_INFO)
            a.info(c.diag);
        else if (c.rc != SQL_SUCCESS)
            a.fail(c.rc, c.diag);
        size_t e = scli::executed().size();
        quiet_stderr([&] { EXPECT_EQ(db_execute_ddlsql(sql, c.record, c.mode), c.expected); });
        Strings all = scli::executed();
        EXPECT_EQ(Strings(all.begin() + static_cast<long>(e), all.end()), c.executed);
        EXPECT_EQ(db_global_xerr.code, c.recorded ? ZE_DBMS_ERROR : 0);
        if (c.recorded) {
            EXPECT_STREQ(db_global_xerr.text, c.diag.sqlstate.c_str());
        }
    }
}

TEST_F(Stmt, OneShotDdlWithoutRowsPrintsCode100)
{
    scli::on_sql("DELETE FROM parcels").no_data();
    StderrCapture capture;
    EXPECT_EQ(db_execute_ddlsql("DELETE FROM parcels", 1, 1), 100);
    EXPECT_EQ(capture.text(),
              "ZEL_Database Error: 100\n\nODBC Error: \nDatabase Error: 0\nError Message: \n");
    EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
    EXPECT_STREQ(db_global_xerr.message, "");
}

// Failing each CLI call of a one-shot DDL in turn always gives a negative
// engine code with the extended error filled and no handle left behind.
TEST_F(Stmt, OneShotDdlFaultSweep)
{
    const char *sql = "CREATE TABLE parcels (id INTEGER)";
    size_t start = scli::journal().size();
    ASSERT_EQ(db_execute_ddlsql(sql, 1, 1), 0);
    Strings calls;
    for (size_t i = start; i < scli::journal().size(); i++)
        calls.push_back(scli::journal()[i].fn);
    ASSERT_EQ(calls, (Strings{"SQLAllocHandle", "SQLSetStmtAttr", "SQLPrepare", "SQLExecute",
                              "SQLEndTran", "SQLFreeStmt"}));
    const size_t live = scli::leaks().size();
    for (size_t k = 0; k + 1 < calls.size(); k++) {
        SCOPED_TRACE(calls[k]);
        DB_instance_clear_xerr();
        scli::fail_call(calls[k], scli::call_count(calls[k]) + 1, SQL_ERROR,
                        {"S1000", -9999, "injected"});
        int rc = quiet_stderr([&] { return db_execute_ddlsql(sql, 1, 1); });
        EXPECT_LT(rc, 0);
        EXPECT_EQ(db_global_xerr.code, ZE_DBMS_ERROR);
        EXPECT_EQ(db_global_xerr.native_error, -9999);
        EXPECT_EQ(scli::leaks().size(), live);
    }
}

} // namespace
