// Scripted CLI: an in-process stand-in for the ODBC driver manager and the
// Informix driver. Test programs link it instead of libodbc; it implements the
// ODBC entry points with the exact signatures of unixODBC's sql.h/sqlext.h, so
// the library compiles once and runs against either.
//
// How to use it (every call below is in namespace scli):
//
//   Script answers by SQL text. An answer is found at SQLPrepare/SQLExecDirect
//   (prepare stage) and again at every execute; the first live answer whose
//   matcher accepts the statement's exact text wins, in the order scripted.
//     scli::on_sql("SELECT id, name FROM t")              // exact text
//         .columns({{"id", SQL_INTEGER}, {"name", SQL_CHAR, 8}})
//         .row({scli::i32(1), scli::chr("ab", 8)})
//         .row({scli::i32(2), scli::null()});
//     scli::on_sql_like("DELETE FROM t WHERE .*").no_data().repeat();
//     scli::on_sql("DROP TABLE x").fail(SQL_ERROR, {"S0002", -206, "not found"});
//     scli::on_commit().fail(SQL_ERROR, {"08S01", -908, "gone"});
//   An answer serves one execute unless given times(n) or repeat(). SQL that no
//   live answer matches gets default_answer() (success, no result set).
//   Per answer: a prepare result (at_prepare), an execute result (fail, info,
//   no_data), a result set (columns, row, rows), SQLRowCount (row_count), the
//   result of the n-th fetch (at_fetch), values written back to output and
//   input-output parameters (out), and a hook that sees the decoded bound
//   parameters of the execute and may change everything (a place for stateful
//   stand-ins such as a large-object store).
//
//   Commits and rollbacks (SQLEndTran) are answered like SQL whose text is
//   "COMMIT" or "ROLLBACK" (on_commit, on_rollback).
//
//   Fail the n-th call of a function (fail_call("SQLExecute", 2, SQL_ERROR,
//   diag)), or of any function (name ""), for fault-injection sweeps. This is
//   also how a test makes SQLConnect, SQLAllocHandle or SQLGetInfo fail.
//   A sweep: run the case once, take call_count(""), then for n = 1..that
//   count reset(), fail_call("", n, ...) and run it again.
//
//   Assert afterwards on journal() (every call in order, with handle, SQL text,
//   attributes, the bound input values of each executed row as text, and the
//   return code), on executed() (just the executed SQL texts and the markers
//   "COMMIT"/"ROLLBACK"), on leaks() (handles still allocated) and on
//   unused_answers() (scripted statements that never came).
//
// Behaviour worth knowing:
// - Handles are opaque numbers that are never reused: a freed or unknown handle
//   gets SQL_INVALID_HANDLE, always.
// - Length and indicator cells are written sizeof(SQLLEN) wide and caller
//   buffers are filled up to the size the caller states, so AddressSanitizer
//   flags a buffer or cell that is smaller than the library claims.
// - Scripted SQLSTATEs are reported exactly as given. States the scripted CLI
//   raises itself follow the environment's ODBC version (S1xxx under ODBC 2).
// - SQL_ATTR_PARAMSET_SIZE is honoured only after the vendor statement or
//   connection attribute 2255 has been set to 1; otherwise one row is executed.
// - Driver rules a real driver manager enforces are enforced: a connection
//   needs SQL_ATTR_ODBC_VERSION on its environment (HY010); statements,
//   SQLGetInfo and SQLGetFunctions need a connection (08003); every parameter
//   marker must be bound at execute (07002); preparing or executing over an
//   open cursor gives 24000 (Options::strict_cursor_state); a connected
//   connection or an environment with connections cannot be freed (HY010);
//   SQLDisconnect frees the connection's statements.
// - Call reset() between tests, or derive the test fixture from scli::Fixture.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace scli
{

// Vendor statement/connection attribute that enables parameter arrays.
constexpr SQLINTEGER kParamArrayAttr = 2255;

// Typed value of a result cell or of a bound parameter.
enum class Type {
    Null,
    Int16,
    Int32,
    Int64,
    Float,
    Double,
    Char,
    VarChar,
    Binary,
    Date,
    Time,
    Timestamp
};

struct Value {
    Type type = Type::Null;
    int64_t i = 0;             // Int16, Int32, Int64
    double d = 0;              // Float, Double
    std::string s;             // Char (unpadded), VarChar, Binary bytes
    SQLULEN width = 0;         // Char: declared length n; fetched blank-padded to n
    SQL_TIMESTAMP_STRUCT ts{}; // Date (date part), Time (time part), Timestamp
};

Value null();
Value i16(int16_t v);
Value i32(int32_t v);
Value i64(int64_t v);
Value f32(float v);
Value f64(double v);
Value chr(const std::string &text, SQLULEN width); // CHAR(width)
Value varchar(const std::string &text);
Value binary(const std::string &bytes);
Value date(int year, int month, int day);
Value time(int hour, int minute, int second);
Value timestamp(int year, int month, int day, int hour, int minute, int second,
                SQLUINTEGER fraction = 0);

// Text form used by the journal: integers in decimal, floating values in their
// shortest exact form, CHAR blank-padded, binary as 0x followed by lower-case
// hex, "YYYY-MM-DD", "hh:mm:ss", "YYYY-MM-DD hh:mm:ss[.fraction]", "NULL".
std::string to_text(const Value &v);

using Row = std::vector<Value>;

// A result or catalogue column. size 0 means the type's natural size.
struct Column {
    Column() = default;
    Column(std::string name_, SQLSMALLINT sql_type_ = SQL_VARCHAR, SQLULEN size_ = 0,
           SQLSMALLINT digits_ = 0, SQLSMALLINT nullable_ = SQL_NULLABLE,
           std::string type_name_ = {})
        : name(std::move(name_)), sql_type(sql_type_), size(size_), digits(digits_),
          nullable(nullable_), type_name(std::move(type_name_))
    {
    }
    std::string name;
    SQLSMALLINT sql_type = SQL_VARCHAR;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = SQL_NULLABLE;
    std::string type_name; // empty: derived from sql_type
};

// One diagnostic record.
struct Diag {
    std::string sqlstate;
    SQLINTEGER native = 0;
    std::string message;
};

// What an execute sees and produces; a hook may read and change all of it.
struct Exec {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    std::string sql;
    // Bound parameters, decoded from the caller's buffers: params[row][n - 1] is
    // parameter n of that row (Null for output-only parameters).
    std::vector<std::vector<Value>> params;
    std::vector<SQLSMALLINT> param_io; // SQL_PARAM_INPUT etc., by parameter
    SQLRETURN rc = SQL_SUCCESS;
    std::vector<Diag> diags;
    std::vector<Column> columns;
    std::vector<Row> rows;
    SQLLEN row_count = -1;
    // Parameter number -> value written back to an output or input-output
    // parameter (into the first row of a parameter array).
    std::map<SQLUSMALLINT, Value> out;
};
using Hook = std::function<void(Exec &)>;

// A scripted answer. Builder calls return the answer for chaining.
struct Answer {
    Answer &at_prepare(SQLRETURN rc, const Diag &diag = {}); // result of the prepare
    Answer &fail(SQLRETURN rc, const Diag &diag);            // result of the execute
    Answer &info(const Diag &diag);                          // execute gives SQL_SUCCESS_WITH_INFO
    Answer &no_data(); // execute gives SQL_NO_DATA (no rows touched)
    // The result set; its columns are described from the prepare on.
    Answer &columns(std::vector<Column> cols);
    Answer &row(Row r);
    Answer &rows(std::vector<Row> rs);
    // What SQLRowCount gives: -1 (not known) unless scripted, 0 after no_data().
    Answer &row_count(SQLLEN n);
    Answer &at_fetch(int n, SQLRETURN rc, const Diag &diag = {}); // n-th fetch call, from 1
    Answer &out(SQLUSMALLINT param, Value v);
    Answer &times(int n); // serve n executes (a failing prepare counts as one)
    Answer &repeat();     // serve every execute
    Answer &hook(Hook h);

    // Read by the scripted CLI.
    std::string text; // exact text, or the pattern
    bool pattern = false;
    int uses_left = 1; // -1: unlimited
    SQLRETURN prepare_rc = SQL_SUCCESS;
    Diag prepare_diag;
    Exec result; // rc, diags, columns, rows, row_count, out
    std::map<int, std::pair<SQLRETURN, Diag>> fetch_results;
    Hook on_execute;
};

Answer &on_sql(const std::string &exact_text);
Answer &on_sql_like(const std::string &regex); // ECMAScript, must match the whole text
Answer &on_commit();
Answer &on_rollback();
Answer &default_answer(); // answer for unscripted SQL; never used up
// Texts of the scripted answers that still have uses left (repeat() answers
// never count): a statement the test expected that never came.
std::vector<std::string> unused_answers();

// One journal entry per ODBC call, in order.
struct Call {
    long seq = 0;               // 1-based position in the journal
    std::string fn;             // "SQLPrepare", ...
    SQLHANDLE handle = nullptr; // the handle the call was made on
    std::string sql;            // the statement's text where one applies
    std::string detail;         // attributes and arguments, e.g. "attr=27 value=20"
    std::vector<std::vector<std::string>> params; // executes: bound inputs per row
    SQLRETURN rc = SQL_SUCCESS;
    bool injected = false; // the result came from fail_call
};
const std::vector<Call> &journal();
// SQL texts of every SQLExecute/SQLExecDirect, with "COMMIT"/"ROLLBACK" for
// every SQLEndTran, in call order; failed calls count, calls refused with
// SQL_INVALID_HANDLE do not.
std::vector<std::string> executed();
// Lists of statements put end to end: the expected journal of an operation
// made of steps.
inline std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (const std::vector<std::string> &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
// The journal entries of one function, in order (e.g. "SQLExecute" with the
// bound values of each execute).
std::vector<Call> calls_of(const std::string &fn);
// Number of calls of fn so far ("" counts every call).
int call_count(const std::string &fn);
// Forgets every scripted answer (handles, journal, counts and faults stay),
// so that a sweep scripts its scenario afresh before each run on the same
// connection.
void clear_answers();
// Forgets the journal entries made so far (call counts stay), for loops too
// long to keep every call, such as benchmarks.
void clear_journal();

// The n-th call (from 1, counted since reset) of fn ("" = any function) returns
// rc with diag on its handle instead of doing its work. rc SQL_SUCCESS_WITH_INFO
// lets the call do its work and adds diag.
void fail_call(const std::string &fn, int n, SQLRETURN rc, const Diag &diag = {});
// The n-th call of the fetch function fn answers SQL_SUCCESS with no row (a
// rows-fetched count of 0) and does not advance, as a faulty driver might.
void empty_fetch_call(const std::string &fn, int n);

// Catalogue and driver properties. SQLColumns answers from the tables added
// here, matching owner, table and column by ODBC search patterns (% and _),
// case-sensitively; a null argument matches everything. Info items default to
// an Informix-like driver (2250-2252 included); SQL_DATABASE_NAME and
// SQL_USER_NAME answer the connection's own unless set. A table added again
// under the same owner and name replaces the one before.
void add_table(const std::string &owner, const std::string &table, std::vector<Column> cols);
void set_info(SQLUSMALLINT info_type, SQLUINTEGER value, int width); // width 2 or 4 bytes
void set_info_text(SQLUSMALLINT info_type, const std::string &text);
void set_function(SQLUSMALLINT function_id, bool supported);
void set_type_info(std::vector<Row> rows); // rows of SQLGetTypeInfo's 19 columns

// Handles still allocated, one line each ("STMT h=0x... allocated by call 12").
std::vector<std::string> leaks();
bool is_live(SQLHANDLE handle);

struct Options {
    // Preparing or executing a statement whose cursor is still open (fetched to
    // its end or not) fails with 24000, as ODBC defines; commits and rollbacks
    // leave cursors open. Set false where a test needs a driver that closes
    // cursors by itself.
    bool strict_cursor_state = true;
    // A statement's cursor name is this prefix and the journal number of its
    // allocation; a long prefix checks that callers take names of any
    // length.
    std::string cursor_prefix = "SQL_CUR";
};
Options &options();

// Forgets every handle, answer, journal entry, injected fault and catalogue
// override; restores the driver defaults. Handles are never reused after it.
void reset();

// Test fixture base: reset before each test, no leaked handles after it.
class Fixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        reset();
    }
    void TearDown() override
    {
        std::string left;
        for (const std::string &line : leaks())
            left += "\n  " + line;
        EXPECT_TRUE(left.empty()) << "ODBC handles still allocated:" << left;
    }
};

} // namespace scli
