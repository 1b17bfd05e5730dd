// Tests of the scripted CLI through the plain ODBC API, as the library calls
// it: scripting and the journal, typed rows and their conversions, chunked
// SQLGetData, rowsets of both APIs, parameter arrays and output parameters,
// diagnostics, fault injection, invalid handles and the leak report.
#include "tests/support/scripted_cli.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace
{

SQLCHAR *S(const char *text)
{
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text));
}

// An ODBC 2 environment, a connection and one statement, freed at the end.
class ScriptedCli : public scli::Fixture
{
  protected:
    void SetUp() override
    {
        scli::Fixture::SetUp();
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
        ASSERT_EQ(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION,
                                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0),
                  SQL_SUCCESS);
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
        ASSERT_EQ(SQLConnect(dbc, S("zel"), SQL_NTS, S("u"), SQL_NTS, S("pw"), SQL_NTS),
                  SQL_SUCCESS);
        ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
    }
    void TearDown() override
    {
        if (scli::is_live(stmt))
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (scli::is_live(dbc)) {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        if (scli::is_live(env))
            SQLFreeHandle(SQL_HANDLE_ENV, env);
        scli::Fixture::TearDown();
    }

    // SQLSTATE, native error and message of diagnostic record 1 of a handle.
    scli::Diag diag(SQLSMALLINT type, SQLHANDLE h)
    {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLCHAR msg[513] = {0};
        SQLSMALLINT len = 0;
        SQLGetDiagRec(type, h, 1, state, &native, msg, sizeof(msg), &len);
        return {reinterpret_cast<char *>(state), native, reinterpret_cast<char *>(msg)};
    }

    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
};

TEST_F(ScriptedCli, JournalKeepsStatementsParametersAndTransactionsInOrder)
{
    SQLINTEGER id = 7;
    char name[16] = "road";
    SQLLEN name_ind = SQL_NTS;
    ASSERT_EQ(SQLPrepare(stmt, S("INSERT INTO t VALUES (?, ?)"), SQL_NTS), SQL_SUCCESS);
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &id, 0, nullptr);
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 15, 0, name, sizeof(name),
                     &name_ind);
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    id = 8;
    name_ind = SQL_NULL_DATA;
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_SUCCESS);
    ASSERT_EQ(SQLExecDirect(stmt, S("DROP TABLE t"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK), SQL_SUCCESS);

    EXPECT_THAT(scli::executed(),
                ElementsAre("INSERT INTO t VALUES (?, ?)", "INSERT INTO t VALUES (?, ?)", "COMMIT",
                            "DROP TABLE t", "ROLLBACK"));
    std::vector<std::vector<std::vector<std::string>>> params;
    for (const scli::Call &c : scli::calls_of("SQLExecute")) {
        EXPECT_EQ(c.handle, stmt);
        params.push_back(c.params);
    }
    EXPECT_THAT(params, ElementsAre(ElementsAre(ElementsAre("7", "road")),
                                    ElementsAre(ElementsAre("8", "NULL"))));
    EXPECT_EQ(scli::call_count("SQLExecute"), 2);
    const scli::Call &attr = scli::journal()[1];
    EXPECT_EQ(attr.fn, "SQLSetEnvAttr");
    EXPECT_EQ(attr.detail, "attr=200 value=2");
    // Clearing the journal keeps the counts and the handles.
    scli::clear_journal();
    EXPECT_TRUE(scli::journal().empty());
    EXPECT_EQ(scli::call_count("SQLExecute"), 2);
    ASSERT_EQ(SQLExecDirect(stmt, S("DROP TABLE u"), SQL_NTS), SQL_SUCCESS);
    EXPECT_THAT(scli::executed(), ElementsAre("DROP TABLE u"));
}

TEST_F(ScriptedCli, AnswersMatchExactTextThenPatternAndAreUsedUp)
{
    scli::on_sql("UPDATE t SET a = 1").row_count(3);
    scli::on_sql_like("DELETE FROM t WHERE .*").no_data().repeat();
    scli::on_sql("SELECT 1").fail(SQL_ERROR, {"S0002", -206, "no table"}).times(2);
    scli::default_answer().row_count(42);
    EXPECT_THAT(scli::unused_answers(), ElementsAre("UPDATE t SET a = 1", "SELECT 1"));

    struct Case {
        const char *sql;
        SQLRETURN rc;
        SQLLEN rows;
    } cases[] = {
        {"UPDATE t SET a = 1", SQL_SUCCESS, 3},
        {"UPDATE t SET a = 1", SQL_SUCCESS, 42}, // used up: the default answers
        {"DELETE FROM t WHERE x = 1", SQL_NO_DATA, 0},
        {"DELETE FROM t WHERE x = 2", SQL_NO_DATA, 0},
        {"delete from t where x = 2", SQL_SUCCESS, 42}, // patterns are case-sensitive
        {"SELECT 1", SQL_ERROR, -1},
        {"SELECT 1", SQL_ERROR, -1},
        {"SELECT 1", SQL_SUCCESS, 42},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(SQLExecDirect(stmt, S(c.sql), SQL_NTS), c.rc);
        SQLLEN n = -7;
        SQLRowCount(stmt, &n);
        EXPECT_EQ(n, c.rows);
    }
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, ""); // SQLRowCount cleared the record
    EXPECT_THAT(scli::unused_answers(), IsEmpty());

    // Clearing the answers forgets the scripted ones and keeps the default,
    // the handles and the counts.
    scli::on_sql("UPDATE t SET a = 1").row_count(3);
    const int executes = scli::call_count("SQLExecDirect");
    scli::clear_answers();
    EXPECT_THAT(scli::unused_answers(), IsEmpty());
    EXPECT_EQ(SQLExecDirect(stmt, S("UPDATE t SET a = 1"), SQL_NTS), SQL_SUCCESS);
    SQLLEN n = -7;
    SQLRowCount(stmt, &n);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(scli::call_count("SQLExecDirect"), executes + 1);
}

TEST_F(ScriptedCli, FailedPrepareKeepsItsDiagnosticAndRefusesExecute)
{
    scli::on_sql("SELECT * FROM nowhere").at_prepare(SQL_ERROR, {"S0002", -206, "table not found"});
    EXPECT_EQ(SQLPrepare(stmt, S("SELECT * FROM nowhere"), SQL_NTS), SQL_ERROR);
    scli::Diag d = diag(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(d.sqlstate, "S0002");
    EXPECT_EQ(d.native, -206);
    EXPECT_EQ(d.message, "table not found");
    EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, "S1010"); // ODBC 2 form of its own state
}

TEST_F(ScriptedCli, TypedRowsConvertToTheBoundCTypes)
{
    scli::on_sql("SELECT * FROM all_types")
        .columns({{"s", SQL_SMALLINT},
                  {"i", SQL_INTEGER},
                  {"b", SQL_BIGINT},
                  {"f", SQL_REAL},
                  {"d", SQL_DOUBLE},
                  {"c", SQL_CHAR, 6},
                  {"v", SQL_VARCHAR, 20},
                  {"y", SQL_BINARY, 3},
                  {"dt", SQL_DATE},
                  {"tm", SQL_TIME},
                  {"ts", SQL_TIMESTAMP},
                  {"n", SQL_INTEGER}})
        .row({scli::i16(-3), scli::i32(70000), scli::i64(1LL << 40), scli::f32(1.5f),
              scli::f64(-2.25), scli::chr("ab", 6), scli::varchar("hello"),
              scli::binary(std::string("\x01\x00\xff", 3)), scli::date(2024, 2, 29),
              scli::time(23, 59, 58), scli::timestamp(2001, 1, 2, 3, 4, 5, 6000), scli::null()});
    ASSERT_EQ(SQLExecDirect(stmt, S("SELECT * FROM all_types"), SQL_NTS), SQL_SUCCESS);

    SQLSMALLINT s = 0;
    SQLINTEGER i = 0;
    SQLBIGINT b = 0;
    SQLREAL f = 0;
    SQLDOUBLE d = 0;
    char c[8], v[21], i_text[12];
    unsigned char y[3];
    SQL_DATE_STRUCT dt{};
    SQL_TIME_STRUCT tm{};
    SQL_TIMESTAMP_STRUCT ts{};
    SQLINTEGER n = 99;
    SQLLEN ind[13];
    SQLBindCol(stmt, 1, SQL_C_SSHORT, &s, 0, &ind[0]);
    SQLBindCol(stmt, 2, SQL_C_LONG, &i, 0, &ind[1]);
    SQLBindCol(stmt, 3, SQL_C_SBIGINT, &b, 0, &ind[2]);
    SQLBindCol(stmt, 4, SQL_C_FLOAT, &f, 0, &ind[3]);
    SQLBindCol(stmt, 5, SQL_C_DOUBLE, &d, 0, &ind[4]);
    SQLBindCol(stmt, 6, SQL_C_CHAR, c, sizeof(c), &ind[5]);
    SQLBindCol(stmt, 7, SQL_C_CHAR, v, sizeof(v), &ind[6]);
    SQLBindCol(stmt, 8, SQL_C_BINARY, y, sizeof(y), &ind[7]);
    SQLBindCol(stmt, 9, SQL_C_DATE, &dt, 0, &ind[8]);
    SQLBindCol(stmt, 10, SQL_C_TIME, &tm, 0, &ind[9]);
    SQLBindCol(stmt, 11, SQL_C_TIMESTAMP, &ts, 0, &ind[10]);
    SQLBindCol(stmt, 12, SQL_C_LONG, &n, 0, &ind[11]);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_EQ(s, -3);
    EXPECT_EQ(i, 70000);
    EXPECT_EQ(b, 1LL << 40);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(d, -2.25);
    EXPECT_STREQ(c, "ab    "); // CHAR(6) comes blank-padded
    EXPECT_EQ(ind[5], 6);
    EXPECT_STREQ(v, "hello");
    EXPECT_EQ(ind[6], 5);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(y), 3), std::string("\x01\x00\xff", 3));
    EXPECT_EQ(ind[7], 3);
    EXPECT_EQ(dt.year * 10000 + dt.month * 100 + dt.day, 20240229);
    EXPECT_EQ(tm.hour * 10000 + tm.minute * 100 + tm.second, 235958);
    EXPECT_EQ(ts.fraction, 6000u);
    EXPECT_EQ(ts.second, 5);
    EXPECT_EQ(ind[11], SQL_NULL_DATA);
    EXPECT_EQ(n, 99); // a NULL leaves the value alone

    // The same cells read as other C types with SQLGetData.
    struct Text {
        SQLUSMALLINT col;
        const char *text;
    } texts[] = {
        {1, "-3"},     {2, "70000"},      {4, "1.5"},       {5, "-2.25"},
        {8, "0100ff"}, {9, "2024-02-29"}, {10, "23:59:58"}, {11, "2001-01-02 03:04:05.000006000"}};
    for (const Text &t : texts) {
        SCOPED_TRACE(t.text);
        char buf[40];
        SQLLEN len = 0;
        EXPECT_EQ(SQLGetData(stmt, t.col, SQL_C_CHAR, buf, sizeof(buf), &len), SQL_SUCCESS);
        EXPECT_STREQ(buf, t.text);
        EXPECT_EQ(len, static_cast<SQLLEN>(std::strlen(t.text)));
    }
    SQLLEN len = 0;
    EXPECT_EQ(SQLGetData(stmt, 2, SQL_C_SSHORT, &s, 0, &len), SQL_ERROR); // 70000 does not fit
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, "22003");
    EXPECT_EQ(SQLGetData(stmt, 12, SQL_C_LONG, &n, 0, nullptr),
              SQL_ERROR); // NULL needs an indicator
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, "22002");
    EXPECT_EQ(SQLGetData(stmt, 7, SQL_C_CHAR, i_text, sizeof(i_text), &len), SQL_SUCCESS);
    EXPECT_EQ(SQLGetData(stmt, 7, SQL_C_LONG, &i, 0, &len), SQL_NO_DATA); // already read
    EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

// Result of one conversion, as text of the C type it was read into.
std::string c_text(SQLSMALLINT ctype, const unsigned char *buf, SQLLEN len)
{
    char out[64] = "";
    switch (ctype) {
    case SQL_C_SSHORT:
        std::snprintf(out, sizeof(out), "%d", *reinterpret_cast<const SQLSMALLINT *>(buf));
        break;
    case SQL_C_SLONG:
        std::snprintf(out, sizeof(out), "%d", *reinterpret_cast<const SQLINTEGER *>(buf));
        break;
    case SQL_C_ULONG:
        std::snprintf(out, sizeof(out), "%u", *reinterpret_cast<const SQLUINTEGER *>(buf));
        break;
    case SQL_C_SBIGINT:
        std::snprintf(out, sizeof(out), "%lld",
                      static_cast<long long>(*reinterpret_cast<const SQLBIGINT *>(buf)));
        break;
    case SQL_C_DOUBLE:
        std::snprintf(out, sizeof(out), "%g", *reinterpret_cast<const SQLDOUBLE *>(buf));
        break;
    case SQL_C_TYPE_DATE: {
        const auto *d = reinterpret_cast<const SQL_DATE_STRUCT *>(buf);
        std::snprintf(out, sizeof(out), "%d-%u-%u", d->year, d->month, d->day);
        break;
    }
    case SQL_C_TYPE_TIMESTAMP: {
        const auto *t = reinterpret_cast<const SQL_TIMESTAMP_STRUCT *>(buf);
        std::snprintf(out, sizeof(out), "%d-%u-%u %u:%u:%u", t->year, t->month, t->day, t->hour,
                      t->minute, t->second);
        break;
    }
    case SQL_C_BINARY:
        return std::string(reinterpret_cast<const char *>(buf), static_cast<size_t>(len));
    default:
        break;
    }
    return out;
}

TEST_F(ScriptedCli, ConversionsFollowOdbcRules)
{
    struct Case {
        scli::Value cell;
        SQLSMALLINT ctype;
        SQLRETURN rc;
        const char *state; // of the diagnostic, "" for none
        const char *value; // what the buffer holds after a success
    } cases[] = {
        {scli::i32(70000), SQL_C_SSHORT, SQL_ERROR, "22003", ""},
        {scli::i32(-32768), SQL_C_SSHORT, SQL_SUCCESS, "", "-32768"},
        {scli::f64(2.75), SQL_C_SLONG, SQL_SUCCESS_WITH_INFO, "01S07", "2"},
        {scli::f64(-1.0), SQL_C_ULONG, SQL_ERROR, "22003", ""},
        {scli::f64(9.3e18), SQL_C_SBIGINT, SQL_ERROR, "22003", ""},
        {scli::i64(-9223372036854775807LL - 1), SQL_C_SBIGINT, SQL_SUCCESS, "",
         "-9223372036854775808"},
        {scli::varchar(" 42 "), SQL_C_SLONG, SQL_SUCCESS, "", "42"},
        {scli::varchar("4x"), SQL_C_SLONG, SQL_ERROR, "22005", ""}, // ODBC 2 form of 22018
        {scli::i64(1LL << 40), SQL_C_DOUBLE, SQL_SUCCESS, "", "1.09951e+12"},
        {scli::timestamp(2020, 5, 6, 3, 4, 5), SQL_C_TYPE_DATE, SQL_SUCCESS_WITH_INFO, "01S07",
         "2020-5-6"},
        {scli::varchar("2020-05-06"), SQL_C_TYPE_DATE, SQL_SUCCESS, "", "2020-5-6"},
        {scli::date(2020, 5, 6), SQL_C_TYPE_TIMESTAMP, SQL_SUCCESS, "", "2020-5-6 0:0:0"},
        {scli::i32(5), SQL_C_TYPE_DATE, SQL_ERROR, "07006", ""},
        {scli::chr("ab", 4), SQL_C_BINARY, SQL_SUCCESS, "", "ab  "},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string sql = "SELECT v FROM conv WHERE n = " + std::to_string(++n);
        SCOPED_TRACE(sql);
        scli::on_sql(sql).columns({{"v", SQL_VARCHAR}}).row({c.cell});
        ASSERT_EQ(SQLExecDirect(stmt, S(sql.c_str()), SQL_NTS), SQL_SUCCESS);
        ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
        alignas(8) unsigned char buf[32] = {0};
        SQLLEN len = 0;
        EXPECT_EQ(SQLGetData(stmt, 1, c.ctype, buf, sizeof(buf), &len), c.rc);
        EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, c.state);
        if (c.rc != SQL_ERROR) {
            EXPECT_EQ(c_text(c.ctype, buf, len), c.value);
        }
        SQLFreeStmt(stmt, SQL_CLOSE);
    }
}

TEST_F(ScriptedCli, GetDataDeliversLongValuesInPieces)
{
    scli::on_sql("SELECT doc, img FROM docs")
        .columns({{"doc", SQL_VARCHAR, 100}, {"img", SQL_BINARY, 100}})
        .row({scli::varchar("abcdefghij"), scli::binary("0123456")});
    ASSERT_EQ(SQLExecDirect(stmt, S("SELECT doc, img FROM docs"), SQL_NTS), SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);

    struct Piece {
        SQLUSMALLINT col;
        SQLSMALLINT ctype;
        SQLRETURN rc;
        SQLLEN remaining;
        const char *got;
    } pieces[] = {
        {1, SQL_C_CHAR, SQL_SUCCESS_WITH_INFO, 10, "abcd"},
        {1, SQL_C_CHAR, SQL_SUCCESS_WITH_INFO, 6, "efgh"},
        {1, SQL_C_CHAR, SQL_SUCCESS, 2, "ij"},
        {1, SQL_C_CHAR, SQL_NO_DATA, -5, ""},
        {2, SQL_C_BINARY, SQL_SUCCESS_WITH_INFO, 7, "01234"},
        {2, SQL_C_BINARY, SQL_SUCCESS, 2, "56"},
        {2, SQL_C_BINARY, SQL_NO_DATA, -5, ""},
    };
    for (const Piece &p : pieces) {
        char buf[5] = {0};
        SQLLEN len = -5;
        EXPECT_EQ(SQLGetData(stmt, p.col, p.ctype, buf, sizeof(buf), &len), p.rc);
        EXPECT_EQ(len, p.remaining);
        if (p.rc == SQL_NO_DATA)
            continue;
        size_t n = p.ctype == SQL_C_CHAR ? std::strlen(buf) : std::min<size_t>(len, sizeof(buf));
        EXPECT_EQ(std::string(buf, n), p.got);
        if (p.rc == SQL_SUCCESS_WITH_INFO) {
            EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, "01004");
        }
    }
}

TEST_F(ScriptedCli, RowsetsThroughExtendedFetchAndFetchScroll)
{
    std::vector<scli::Row> rows;
    for (int k = 1; k <= 7; k++)
        rows.push_back(
            {scli::i32(k), scli::chr(std::string(1, static_cast<char>('a' + k - 1)), 2)});
    scli::on_sql("SELECT k, c FROM seven")
        .columns({{"k", SQL_INTEGER}, {"c", SQL_CHAR, 2}})
        .rows(rows)
        .times(2);

    for (bool extended : {true, false}) {
        SCOPED_TRACE(extended ? "SQLExtendedFetch" : "SQLFetchScroll");
        SQLINTEGER k[5];
        char c[5][3];
        SQLLEN k_ind[5], c_ind[5];
        SQLULEN fetched = 0;
        SQLUSMALLINT status[5];
        ASSERT_EQ(SQLExecDirect(stmt, S("SELECT k, c FROM seven"), SQL_NTS), SQL_SUCCESS);
        SQLBindCol(stmt, 1, SQL_C_LONG, k, 0, k_ind);
        SQLBindCol(stmt, 2, SQL_C_CHAR, c, 3, c_ind);
        if (extended) {
            SQLSetStmtAttr(stmt, SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(5), 0);
        } else {
            SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(5), 0);
            SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
            SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0);
        }
        auto next = [&] {
            return extended ? SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, &fetched, status)
                            : SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0);
        };
        ASSERT_EQ(next(), SQL_SUCCESS);
        EXPECT_EQ(fetched, 5u);
        EXPECT_THAT(k, ElementsAre(1, 2, 3, 4, 5));
        EXPECT_STREQ(c[4], "e ");
        EXPECT_THAT(c_ind, ElementsAre(2, 2, 2, 2, 2));
        ASSERT_EQ(next(), SQL_SUCCESS);
        EXPECT_EQ(fetched, 2u);
        EXPECT_EQ(k[1], 7);
        EXPECT_THAT(status, ElementsAre(SQL_ROW_SUCCESS, SQL_ROW_SUCCESS, SQL_ROW_NOROW,
                                        SQL_ROW_NOROW, SQL_ROW_NOROW));
        EXPECT_EQ(next(), SQL_NO_DATA);
        EXPECT_EQ(fetched, 0u);
        SQLFreeStmt(stmt, SQL_CLOSE);
        SQLFreeStmt(stmt, SQL_UNBIND);
        SQLSetStmtAttr(stmt, SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    }
}

TEST_F(ScriptedCli, ScriptedFetchResultsAndOpenCursors)
{
    scli::on_sql("SELECT k FROM t")
        .columns({{"k", SQL_INTEGER}})
        .rows({{scli::i32(1)}, {scli::i32(2)}})
        .at_fetch(2, SQL_ERROR, {"HY000", -244, "could not do a physical-order read"})
        .repeat();
    ASSERT_EQ(SQLExecDirect(stmt, S("SELECT k FROM t"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(SQLExecDirect(stmt, S("SELECT k FROM t"), SQL_NTS), SQL_ERROR); // cursor still open
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, "24000");
    EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_EQ(SQLFetch(stmt), SQL_ERROR);
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).native, -244);
    EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS); // the failed fetch did not advance
    EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
    EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
    EXPECT_EQ(SQLCloseCursor(stmt), SQL_ERROR);

    // An empty fetch answers success, delivers nothing and does not advance.
    scli::on_sql("SELECT k FROM u").columns({{"k", SQL_INTEGER}}).rows({{scli::i32(5)}});
    ASSERT_EQ(SQLExecDirect(stmt, S("SELECT k FROM u"), SQL_NTS), SQL_SUCCESS);
    SQLULEN fetched = 9;
    ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_SUCCESS);
    scli::empty_fetch_call("SQLFetchScroll", scli::call_count("SQLFetchScroll") + 1);
    EXPECT_EQ(SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0), SQL_SUCCESS);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0), SQL_SUCCESS);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0), SQL_NO_DATA);
    EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
}

// A commit or rollback closes the connection's cursors unless the driver
// reports that it preserves them; SQL_CB_DELETE forgets the prepared
// statement too.
TEST_F(ScriptedCli, TransactionEndsCloseCursorsUnlessPreserved)
{
    const struct {
        SQLUSMALLINT item;
        SQLSMALLINT completion;
        SQLUINTEGER behaviour;
    } cases[] = {
        {SQL_CURSOR_COMMIT_BEHAVIOR, SQL_COMMIT, SQL_CB_PRESERVE},
        {SQL_CURSOR_COMMIT_BEHAVIOR, SQL_COMMIT, SQL_CB_CLOSE},
        {SQL_CURSOR_COMMIT_BEHAVIOR, SQL_COMMIT, SQL_CB_DELETE},
        {SQL_CURSOR_ROLLBACK_BEHAVIOR, SQL_ROLLBACK, SQL_CB_PRESERVE},
        {SQL_CURSOR_ROLLBACK_BEHAVIOR, SQL_ROLLBACK, SQL_CB_CLOSE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.item) + " " + std::to_string(c.behaviour));
        scli::set_info(c.item, c.behaviour, 2);
        scli::on_sql("SELECT k FROM t")
            .columns({{"k", SQL_INTEGER}})
            .rows({{scli::i32(1)}, {scli::i32(2)}})
            .repeat();
        ASSERT_EQ(SQLPrepare(stmt, S("SELECT k FROM t"), SQL_NTS), SQL_SUCCESS);
        ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
        ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
        ASSERT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc, c.completion), SQL_SUCCESS);
        if (c.behaviour == SQL_CB_PRESERVE) {
            EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
            EXPECT_EQ(SQLCloseCursor(stmt), SQL_SUCCESS);
            continue;
        }
        EXPECT_EQ(SQLFetch(stmt), SQL_ERROR);
        EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, "24000");
        EXPECT_EQ(SQLCloseCursor(stmt), SQL_ERROR) << "already closed";
        EXPECT_EQ(SQLExecute(stmt), c.behaviour == SQL_CB_CLOSE ? SQL_SUCCESS : SQL_ERROR)
            << "a closed cursor's statement stays prepared";
        SQLFreeStmt(stmt, SQL_CLOSE);
    }
}

TEST_F(ScriptedCli, ParameterArraysNeedTheVendorAttribute)
{
    SQLINTEGER ids[3] = {10, 20, 30};
    char names[3][4] = {"a", "bb", "ccc"};
    SQLLEN name_ind[3] = {SQL_NTS, SQL_NULL_DATA, 3};
    SQLULEN processed = 0;
    SQLUSMALLINT status[3] = {9, 9, 9};
    ASSERT_EQ(SQLPrepare(stmt, S("INSERT INTO t (id, name) VALUES (?, ?)"), SQL_NTS), SQL_SUCCESS);
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, ids, 0, nullptr);
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 3, 0, names, 4, name_ind);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_STATUS_PTR, status, 0);
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    EXPECT_EQ(processed, 1u); // without attribute 2255 only the first row goes
    SQLSetStmtAttr(stmt, scli::kParamArrayAttr, reinterpret_cast<SQLPOINTER>(1), 0);
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    EXPECT_EQ(processed, 3u);
    EXPECT_THAT(status, ElementsAre(SQL_PARAM_SUCCESS, SQL_PARAM_SUCCESS, SQL_PARAM_SUCCESS));

    std::vector<std::vector<std::vector<std::string>>> params;
    for (const scli::Call &c : scli::calls_of("SQLExecute"))
        params.push_back(c.params);
    EXPECT_THAT(params, ElementsAre(ElementsAre(ElementsAre("10", "a")),
                                    ElementsAre(ElementsAre("10", "a"), ElementsAre("20", "NULL"),
                                                ElementsAre("30", "ccc"))));
}

TEST_F(ScriptedCli, OutputParametersOfCallEscapes)
{
    std::vector<std::string> store; // a stateful stand-in behind a routine
    scli::on_sql("{call ifx_lo_write(?, ?)}").repeat().hook([&](scli::Exec &x) {
        store.push_back(x.params[0][1].s);
    });
    scli::on_sql("{? = call  ifx_lo_open(?, ?)}").out(1, scli::i32(5));
    scli::on_sql("{call ifx_lo_col_info(?, ?)}").hook([](scli::Exec &x) {
        x.out[2] = scli::binary("spec-filled");
    });

    char data[] = "payload";
    SQLLEN data_len = 7;
    SQLINTEGER fd = 0;
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &fd, 0, nullptr);
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 7, 0, data, 7, &data_len);
    ASSERT_EQ(SQLExecDirect(stmt, S("{call ifx_lo_write(?, ?)}"), SQL_NTS), SQL_SUCCESS);
    EXPECT_THAT(store, ElementsAre("payload"));
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);

    SQLINTEGER mode = 8;
    char pointer[16] = "ptr";
    SQLLEN ptr_len = 3, fd_ind = 0;
    SQLBindParameter(stmt, 1, SQL_PARAM_OUTPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &fd, 0, &fd_ind);
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_BINARY, -100, 16, 0, pointer, 16, &ptr_len);
    SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &mode, 0, nullptr);
    ASSERT_EQ(SQLExecDirect(stmt, S("{? = call  ifx_lo_open(?, ?)}"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(fd, 5);
    EXPECT_EQ(fd_ind, static_cast<SQLLEN>(sizeof(SQLINTEGER)));
    EXPECT_THAT(scli::journal().back().params, ElementsAre(ElementsAre("<out>", "0x707472", "8")));
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);

    char spec[16] = {0};
    SQLLEN spec_len = 16, name_len = SQL_NTS;
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 129, 0, S("t.shape"), 0,
                     &name_len);
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT_OUTPUT, SQL_C_BINARY, -100, 16, 0, spec, sizeof(spec),
                     &spec_len);
    ASSERT_EQ(SQLExecDirect(stmt, S("{call ifx_lo_col_info(?, ?)}"), SQL_NTS), SQL_SUCCESS);
    EXPECT_STREQ(spec, "spec-filled");
    EXPECT_EQ(spec_len, 11);

    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    EXPECT_EQ(SQLExecDirect(stmt, S("{call ifx_lo_write(?, ?)}"), SQL_NTS),
              SQL_ERROR); // unbound markers
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).sqlstate, "07001");
}

TEST_F(ScriptedCli, DiagnosticsAreCutToTheCallersBuffer)
{
    std::string long_message(600, 'm');
    scli::on_sql("DROP TABLE t").fail(SQL_ERROR, {"42000", -389, long_message});
    ASSERT_EQ(SQLExecDirect(stmt, S("DROP TABLE t"), SQL_NTS), SQL_ERROR);
    SQLCHAR state[6];
    SQLINTEGER native = 0;
    SQLCHAR msg[513];
    SQLSMALLINT len = 0;
    EXPECT_EQ(SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, msg, sizeof(msg), &len),
              SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(len, 600);
    EXPECT_EQ(std::strlen(reinterpret_cast<char *>(msg)), 512u);
    EXPECT_STREQ(reinterpret_cast<char *>(state), "42000");
    EXPECT_EQ(native, -389);
    EXPECT_EQ(SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 2, state, &native, msg, sizeof(msg), &len),
              SQL_NO_DATA);

    SQLINTEGER count = 0;
    EXPECT_EQ(SQLGetDiagField(SQL_HANDLE_STMT, stmt, 0, SQL_DIAG_NUMBER, &count, 0, nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(count, 1);
    // Scripted states come back as given, even under ODBC 2.
    scli::on_commit().fail(SQL_ERROR, {"HY000", -255, "not in transaction"});
    EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_ERROR);
    EXPECT_EQ(diag(SQL_HANDLE_DBC, dbc).sqlstate, "HY000");
}

TEST_F(ScriptedCli, InjectedFaultsHitTheNthCall)
{
    scli::fail_call("SQLExecDirect", 2, SQL_ERROR, {"08S01", -25582, "network"});
    scli::fail_call("", scli::call_count("") + 4, SQL_ERROR, {"HY001", -208, "memory"});
    EXPECT_EQ(SQLExecDirect(stmt, S("DELETE FROM a"), SQL_NTS), SQL_SUCCESS);
    EXPECT_EQ(SQLExecDirect(stmt, S("DELETE FROM b"), SQL_NTS), SQL_ERROR);
    EXPECT_EQ(diag(SQL_HANDLE_STMT, stmt).native, -25582);             // call 3 since arming
    EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_ERROR); // call 4
    EXPECT_EQ(diag(SQL_HANDLE_DBC, dbc).sqlstate, "HY001");
    EXPECT_EQ(SQLExecDirect(stmt, S("DELETE FROM c"), SQL_NTS), SQL_SUCCESS);
    std::vector<bool> injected;
    for (const scli::Call &c : scli::journal())
        if (c.fn == "SQLExecDirect" || c.fn == "SQLEndTran")
            injected.push_back(c.injected);
    EXPECT_THAT(injected, ElementsAre(false, true, true, false));

    scli::fail_call("SQLPrepare", 1, SQL_SUCCESS_WITH_INFO, {"01000", 0, "warning"});
    EXPECT_EQ(SQLPrepare(stmt, S("SELECT 1"), SQL_NTS), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS); // the prepare still happened
}

// A small piece of client code, as the library writes it: one statement of
// its own, freed on every path. Returns the name of the call that failed.
std::string read_one_row(SQLHDBC dbc)
{
    SQLHSTMT h = SQL_NULL_HSTMT;
    if (SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h) != SQL_SUCCESS)
        return "SQLAllocHandle";
    std::string failed;
    SQLINTEGER v = 0;
    SQLLEN ind = 0;
    if (SQLExecDirect(h, S("SELECT v FROM one"), SQL_NTS) != SQL_SUCCESS)
        failed = "SQLExecDirect";
    else if (SQLBindCol(h, 1, SQL_C_LONG, &v, 0, &ind) != SQL_SUCCESS)
        failed = "SQLBindCol";
    else if (SQLFetch(h) != SQL_SUCCESS)
        failed = "SQLFetch";
    if (SQLFreeHandle(SQL_HANDLE_STMT, h) != SQL_SUCCESS && failed.empty())
        failed = "SQLFreeHandle";
    return failed;
}

TEST_F(ScriptedCli, FaultSweepFailsEachCallInTurn)
{
    scli::on_sql("SELECT v FROM one").columns({{"v", SQL_INTEGER}}).row({scli::i32(1)}).repeat();
    int start = scli::call_count("");
    ASSERT_EQ(read_one_row(dbc), "");
    int calls = scli::call_count("") - start;
    ASSERT_EQ(calls, 5);

    std::vector<std::string> failed;
    for (int n = 1; n <= calls; n++) {
        int base = scli::call_count("");
        scli::fail_call("", base + n, SQL_ERROR, {"HY000", -999, "injected"});
        failed.push_back(read_one_row(dbc));
        EXPECT_TRUE(scli::journal()[static_cast<size_t>(base + n - 1)].injected);
        EXPECT_EQ(scli::leaks().size(), 3u + (failed.back() == "SQLFreeHandle")) << n;
    }
    EXPECT_THAT(failed, ElementsAre("SQLAllocHandle", "SQLExecDirect", "SQLBindCol", "SQLFetch",
                                    "SQLFreeHandle"));
    // The statement whose free was refused is still there to be freed.
    for (const scli::Call &c : scli::calls_of("SQLFreeHandle")) {
        if (c.injected) {
            EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, c.handle), SQL_SUCCESS);
        }
    }
}

TEST_F(ScriptedCli, FreedAndUnknownHandlesAreInvalid)
{
    SQLHSTMT gone = SQL_NULL_HSTMT;
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &gone), SQL_SUCCESS);
    ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, gone), SQL_SUCCESS);
    SQLHSTMT fresh = SQL_NULL_HSTMT;
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &fresh), SQL_SUCCESS);
    EXPECT_NE(fresh, gone); // never reused
    SQLLEN n = 0;
    EXPECT_EQ(SQLExecDirect(gone, S("SELECT 1"), SQL_NTS), SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLRowCount(gone, &n), SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_STMT, gone), SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLFetch(reinterpret_cast<SQLHSTMT>(0x1234)), SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLFetch(dbc), SQL_INVALID_HANDLE); // a handle of the wrong kind
    EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, stmt, SQL_COMMIT), SQL_INVALID_HANDLE);
    EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQL_ERROR); // still connected
    EXPECT_EQ(SQLFreeStmt(fresh, SQL_DROP), SQL_SUCCESS);
    EXPECT_EQ(scli::journal().back().fn, "SQLFreeStmt");
}

TEST_F(ScriptedCli, LeakReportListsLiveHandlesUntilTheyAreFreed)
{
    SQLHSTMT extra = SQL_NULL_HSTMT;
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &extra), SQL_SUCCESS);
    SQLPrepare(extra, S("SELECT 2"), SQL_NTS);
    std::vector<std::string> live = scli::leaks();
    ASSERT_EQ(live.size(), 4u); // env, dbc, two statements
    EXPECT_THAT(live.back(), ::testing::EndsWith("sql: SELECT 2"));
    // Disconnecting frees the connection's statements, as ODBC does.
    ASSERT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
    EXPECT_FALSE(scli::is_live(extra));
    ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQL_SUCCESS);
    ASSERT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
    EXPECT_THAT(scli::leaks(), IsEmpty());
}

TEST_F(ScriptedCli, DriverPropertiesAndCatalogue)
{
    SQLSMALLINT api = 0, lo_spec = 0;
    SQLUINTEGER positioned = 0;
    char user[4];
    SQLSMALLINT len = 0;
    EXPECT_EQ(SQLGetInfo(dbc, SQL_ODBC_API_CONFORMANCE, &api, sizeof(api), nullptr), SQL_SUCCESS);
    EXPECT_EQ(api, SQL_OAC_LEVEL1);
    EXPECT_EQ(SQLGetInfo(dbc, SQL_POSITIONED_STATEMENTS, &positioned, sizeof(positioned), nullptr),
              SQL_SUCCESS);
    EXPECT_EQ(positioned & (SQL_PS_POSITIONED_UPDATE | SQL_PS_SELECT_FOR_UPDATE),
              static_cast<SQLUINTEGER>(SQL_PS_POSITIONED_UPDATE | SQL_PS_SELECT_FOR_UPDATE));
    scli::set_info(2250, 512, 2);
    EXPECT_EQ(SQLGetInfo(dbc, 2250, &lo_spec, sizeof(lo_spec), nullptr), SQL_SUCCESS);
    EXPECT_EQ(lo_spec, 512);
    scli::set_info_text(SQL_USER_NAME, "informix");
    EXPECT_EQ(SQLGetInfo(dbc, SQL_USER_NAME, user, sizeof(user), &len), SQL_SUCCESS_WITH_INFO);
    EXPECT_STREQ(user, "inf");
    EXPECT_EQ(len, 8);
    SQLUSMALLINT yes = 0;
    EXPECT_EQ(SQLGetFunctions(dbc, SQL_API_SQLEXTENDEDFETCH, &yes), SQL_SUCCESS);
    EXPECT_EQ(yes, SQL_TRUE);
    scli::set_function(SQL_API_SQLEXTENDEDFETCH, false);
    SQLGetFunctions(dbc, SQL_API_SQLEXTENDEDFETCH, &yes);
    EXPECT_EQ(yes, SQL_FALSE);

    char prefix[3], suffix[3];
    SQLLEN pi = 0, si = 0;
    ASSERT_EQ(SQLGetTypeInfo(stmt, SQL_VARCHAR), SQL_SUCCESS);
    SQLBindCol(stmt, 4, SQL_C_CHAR, prefix, sizeof(prefix), &pi);
    SQLBindCol(stmt, 5, SQL_C_CHAR, suffix, sizeof(suffix), &si);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_STREQ(prefix, "'");
    EXPECT_STREQ(suffix, "'");
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLFreeStmt(stmt, SQL_UNBIND);

    scli::add_table("zel", "parcels",
                    {{"id", SQL_INTEGER, 0, 0, SQL_NO_NULLS}, {"name", SQL_VARCHAR, 30}});
    struct Case {
        const char *column;
        SQLRETURN rc;
        SQLSMALLINT nullable;
    } cases[] = {{"id", SQL_SUCCESS, SQL_NO_NULLS},
                 {"name", SQL_SUCCESS, SQL_NULLABLE},
                 {"nope", SQL_NO_DATA, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.column);
        SQLSMALLINT nullable = -1;
        SQLLEN ind = 0;
        ASSERT_EQ(SQLColumns(stmt, nullptr, 0, S("zel"), SQL_NTS, S("parcels"), SQL_NTS,
                             S(c.column), SQL_NTS),
                  SQL_SUCCESS);
        SQLBindCol(stmt, 11, SQL_C_SSHORT, &nullable, 0, &ind);
        EXPECT_EQ(SQLFetch(stmt), c.rc);
        EXPECT_EQ(nullable, c.nullable);
        SQLFreeStmt(stmt, SQL_CLOSE);
    }
    SQLFreeStmt(stmt, SQL_UNBIND);

    scli::on_sql("SELECT id, name FROM parcels")
        .columns({{"id", SQL_INTEGER}, {"name", SQL_CHAR, 30}});
    ASSERT_EQ(SQLPrepare(stmt, S("SELECT id, name FROM parcels"), SQL_NTS), SQL_SUCCESS);
    SQLSMALLINT ncols = 0, type = 0, digits = 0, nulls = 0;
    SQLULEN size = 0;
    char name[8];
    SQLNumResultCols(stmt, &ncols);
    EXPECT_EQ(ncols, 2);
    EXPECT_EQ(SQLDescribeCol(stmt, 2, reinterpret_cast<SQLCHAR *>(name), sizeof(name), &len, &type,
                             &size, &digits, &nulls),
              SQL_SUCCESS);
    EXPECT_STREQ(name, "name");
    EXPECT_EQ(type, SQL_CHAR);
    EXPECT_EQ(size, 30u);
    SQLLEN numeric = 0;
    EXPECT_EQ(SQLColAttribute(stmt, 1, SQL_DESC_TYPE, nullptr, 0, nullptr, &numeric), SQL_SUCCESS);
    EXPECT_EQ(numeric, SQL_INTEGER);
    EXPECT_EQ(SQLDescribeCol(stmt, 3, nullptr, 0, nullptr, &type, &size, &digits, &nulls),
              SQL_ERROR);
    char cursor[32];
    EXPECT_EQ(SQLGetCursorName(stmt, reinterpret_cast<SQLCHAR *>(cursor), sizeof(cursor), &len),
              SQL_SUCCESS);
    EXPECT_EQ(std::string(cursor).rfind("SQL_CUR", 0), 0u);
}

TEST_F(ScriptedCli, RowWiseBindingAndDefaultTypes)
{
    scli::on_sql("SELECT id, name FROM two")
        .columns({{"id", SQL_INTEGER}, {"name", SQL_VARCHAR, 8}})
        .rows({{scli::i32(1), scli::varchar("one")}, {scli::i32(2), scli::varchar("two")}});
    struct Rec {
        SQLINTEGER id;
        SQLLEN id_ind;
        char name[9];
        SQLLEN name_ind;
    } recs[2] = {};
    ASSERT_EQ(SQLExecDirect(stmt, S("SELECT id, name FROM two"), SQL_NTS), SQL_SUCCESS);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(Rec)), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(2), 0);
    SQLBindCol(stmt, 1, SQL_C_DEFAULT, &recs[0].id, 0, &recs[0].id_ind);
    SQLBindCol(stmt, 2, SQL_C_CHAR, recs[0].name, sizeof(recs[0].name), &recs[0].name_ind);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_EQ(recs[1].id, 2);
    EXPECT_EQ(recs[1].id_ind, static_cast<SQLLEN>(sizeof(SQLINTEGER)));
    EXPECT_STREQ(recs[0].name, "one");
    EXPECT_STREQ(recs[1].name, "two");
    EXPECT_EQ(recs[1].name_ind, 3);
}

#if defined(__SANITIZE_ADDRESS__)
using ScriptedCliDeathTest = ScriptedCli;

// Cells and buffers are written as wide as ODBC defines them and as the caller
// states, so a cell made too small, or a size overstated, stops the test.
TEST_F(ScriptedCliDeathTest, TooSmallCellsAndOverstatedBuffersAreCaught)
{
    scli::on_sql("DROP TABLE t").fail(SQL_ERROR, {"S0002", -206, "no table"}).repeat();
    auto short_row_count = [&] {
        SQLINTEGER small[1];
        SQLRowCount(stmt, reinterpret_cast<SQLLEN *>(small));
    };
    auto overstated_message = [&] {
        SQLExecDirect(stmt, S("DROP TABLE t"), SQL_NTS);
        SQLCHAR state[6];
        SQLCHAR msg[512];
        SQLINTEGER native;
        SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, msg, 513, nullptr);
    };
    EXPECT_DEATH(short_row_count(), "AddressSanitizer");
    EXPECT_DEATH(overstated_message(), "AddressSanitizer");
}
#endif

// The catalogue readers fetch blocks of 8 and 100 rows into column arrays.
TEST_F(ScriptedCli, RowsetsOfEightAndOfAHundred)
{
    std::vector<scli::Row> rows;
    for (int k = 0; k < 250; k++)
        rows.push_back({scli::i32(k), scli::chr("n" + std::to_string(k), 8)});
    for (SQLULEN size : {8u, 100u}) {
        SCOPED_TRACE(size);
        scli::on_sql("SELECT k, n FROM many")
            .columns({{"k", SQL_INTEGER}, {"n", SQL_CHAR, 8}})
            .rows(rows);
        std::vector<SQLINTEGER> k(size);
        std::vector<char> n(size * 9);
        std::vector<SQLLEN> k_ind(size), n_ind(size);
        std::vector<SQLUSMALLINT> status(size);
        ASSERT_EQ(SQLExecDirect(stmt, S("SELECT k, n FROM many"), SQL_NTS), SQL_SUCCESS);
        SQLBindCol(stmt, 1, SQL_C_LONG, k.data(), 0, k_ind.data());
        SQLBindCol(stmt, 2, SQL_C_CHAR, n.data(), 9, n_ind.data());
        SQLSetStmtAttr(stmt, SQL_ROWSET_SIZE, reinterpret_cast<SQLPOINTER>(size), 0);
        SQLULEN fetched = 0, total = 0;
        SQLRETURN rc;
        while ((rc = SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, &fetched, status.data())) ==
               SQL_SUCCESS) {
            EXPECT_EQ(k[0], static_cast<SQLINTEGER>(total));
            EXPECT_EQ(std::string(&n[(fetched - 1) * 9]),
                      ("n" + std::to_string(total + fetched - 1) + "        ").substr(0, 8));
            total += fetched;
        }
        EXPECT_EQ(rc, SQL_NO_DATA);
        EXPECT_EQ(total, 250u);
        EXPECT_EQ(status[size - 1], SQL_ROW_NOROW); // the last block was short
        SQLFreeStmt(stmt, SQL_CLOSE);
        SQLFreeStmt(stmt, SQL_UNBIND);
    }
}

// A kept statement: closed with SQL_CLOSE and executed again, it reads its
// parameters from the same buffers and answers into the same columns.
TEST_F(ScriptedCli, ExecuteAgainAfterCloseWithTheSameBindings)
{
    scli::on_sql("SELECT v FROM t WHERE k = ?")
        .columns({{"v", SQL_CHAR, 4}})
        .row({scli::chr("one", 4)})
        .row({scli::chr("more", 4)});
    scli::on_sql("SELECT v FROM t WHERE k = ?")
        .columns({{"v", SQL_CHAR, 4}})
        .row({scli::chr("two", 4)});
    ASSERT_EQ(SQLPrepare(stmt, S("SELECT v FROM t WHERE k = ?"), SQL_NTS), SQL_SUCCESS);
    char key[8] = "a", value[5] = "";
    SQLLEN key_ind = SQL_NTS, value_ind = 0;
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 7, 0, key, sizeof(key),
                     &key_ind);
    SQLBindCol(stmt, 1, SQL_C_CHAR, value, sizeof(value), &value_ind);
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_STREQ(value, "one ");
    // Closed before its end, executed again with a new value in the buffer.
    ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
    strcpy(key, "b");
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_STREQ(value, "two ");
    EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
    std::vector<scli::Call> executes = scli::calls_of("SQLExecute");
    ASSERT_EQ(executes.size(), 2u);
    EXPECT_EQ(executes[0].params, (std::vector<std::vector<std::string>>{{"a"}}));
    EXPECT_EQ(executes[1].params, (std::vector<std::vector<std::string>>{{"b"}}));
    EXPECT_EQ(scli::call_count("SQLPrepare"), 1);
}

// The Informix driver's smart large-object types are in the type catalogue.
TEST_F(ScriptedCli, TypeInfoOfTheLargeObjectTypes)
{
    const std::pair<SQLSMALLINT, const char *> types[] = {{-102, "BLOB"}, {-103, "CLOB"}};
    for (auto [type, expected] : types) {
        char name[16] = "";
        SQLLEN ind = 0;
        ASSERT_EQ(SQLGetTypeInfo(stmt, type), SQL_SUCCESS);
        SQLBindCol(stmt, 1, SQL_C_CHAR, name, sizeof(name), &ind);
        ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
        EXPECT_STREQ(name, expected);
        EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
        SQLFreeStmt(stmt, SQL_CLOSE);
        SQLFreeStmt(stmt, SQL_UNBIND);
    }
}

TEST(ScriptedCliReset, ForgetsHandlesScriptAndJournal)
{
    scli::reset();
    SQLHENV env = SQL_NULL_HENV;
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    SQLHDBC dbc = SQL_NULL_HDBC;
    EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_ERROR); // ODBC version not set yet
    scli::on_sql("SELECT 1").fail(SQL_ERROR, {"S0002", -206, "x"});
    scli::fail_call("SQLFetch", 1, SQL_ERROR);
    scli::reset();
    EXPECT_THAT(scli::journal(), IsEmpty());
    EXPECT_THAT(scli::leaks(), IsEmpty());
    EXPECT_FALSE(scli::is_live(env));
    EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_INVALID_HANDLE);
}

} // namespace
