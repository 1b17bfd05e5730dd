// Inner state of the scripted CLI: handles, the script, the journal and the
// call guard every ODBC entry point starts with. Shared by the scripted CLI's
// own sources only; tests use scripted_cli.h.
#pragma once

#include "tests/support/scripted_cli.h"

#include <deque>
#include <memory>

namespace scli
{

enum class Kind { Env, Dbc, Stmt };

struct BoundCol {
    SQLSMALLINT ctype = 0;
    SQLPOINTER buf = nullptr;
    SQLLEN len = 0;
    SQLLEN *ind = nullptr;
};

struct BoundParam {
    SQLSMALLINT io = SQL_PARAM_INPUT;
    SQLSMALLINT ctype = 0;
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLPOINTER buf = nullptr;
    SQLLEN len = 0;
    SQLLEN *ind = nullptr;
};

struct Handle {
    Kind kind = Kind::Env;
    uintptr_t id = 0;
    uintptr_t parent = 0;
    long alloc_call = 0;
    std::vector<Diag> diags;
    SQLRETURN last_rc = SQL_SUCCESS;
    std::map<SQLINTEGER, SQLPOINTER> attrs; // every attribute set, as given

    // Environment.
    SQLINTEGER odbc_version = 0;
    // Connection.
    bool connected = false;
    std::string dsn, user;
    // Statement.
    std::string sql;
    bool prepared = false;
    bool cursor_open = false;
    bool has_result = false;
    std::vector<Column> columns;
    std::vector<Row> rows;
    size_t next_row = 0;  // first row of the next rowset
    size_t cur_row = 0;   // first row of the current rowset
    size_t cur_count = 0; // rows in the current rowset
    SQLLEN row_count = -1;
    int fetch_calls = 0;
    std::map<int, std::pair<SQLRETURN, Diag>> fetch_results;
    std::map<SQLUSMALLINT, BoundCol> cols;
    std::map<SQLUSMALLINT, BoundParam> params;
    int gd_col = -1; // SQLGetData: column being read in pieces
    size_t gd_offset = 0;
    bool gd_done = false;
    std::string cursor_name;
};

struct Fault {
    std::string fn;
    int n = 0;
    SQLRETURN rc = SQL_ERROR;
    Diag diag;
};

struct InfoValue {
    bool is_text = false;
    std::string text;
    SQLUINTEGER value = 0;
    int width = 4;
};

struct State {
    std::map<uintptr_t, std::unique_ptr<Handle>> handles;
    std::deque<Answer> answers;
    Answer default_answer;
    std::vector<Call> journal;
    std::map<std::string, int> counts;
    int total_calls = 0;
    std::vector<Fault> faults;
    std::vector<std::pair<std::string, int>> empty_fetches; // (fn, n) of empty_fetch_call
    std::map<SQLUSMALLINT, InfoValue> info;
    std::map<SQLUSMALLINT, bool> functions;
    std::vector<Row> type_info;
    struct Table {
        std::string owner, name;
        std::vector<Column> cols;
    };
    std::vector<Table> tables;
    Options options;
};

State &state();
uintptr_t next_handle_id(); // never reused, survives reset()

// Restore the driver defaults of info items, functions and type information.
void set_driver_defaults(State &s);

// Write a text into a caller buffer of buflen bytes: truncated with a NUL,
// the rest of the buffer zeroed. Returns true when it was truncated.
bool put_text(const std::string &text, SQLPOINTER buf, SQLLEN buflen);

// Guard at the start of every entry point: journals the call, checks the
// handle, clears its diagnostics and applies an injected fault.
class Entry
{
  public:
    // kind == nullptr-like: pass check = false for calls without a checked handle.
    Entry(const char *fn, SQLHANDLE h, Kind kind, bool clear_diags = true);
    Entry(const char *fn); // no handle (SQLAllocHandle of an environment)

    bool done() const
    {
        return done_;
    }
    SQLRETURN rc() const
    {
        return rc_;
    }
    Handle &h()
    {
        return *h_;
    }
    Call &call()
    {
        return state().journal[index_];
    }
    void set_handle(Handle *h)
    {
        h_ = h;
    }
    // Record an error raised by the scripted CLI itself; returns SQL_ERROR.
    SQLRETURN error(const char *odbc3_state, const std::string &message);
    // Deliver a text into a caller's buffer of buflen bytes and its full length
    // into *len: SQL_SUCCESS, SQL_SUCCESS_WITH_INFO with 01004 when it was cut,
    // SQL_ERROR with HY090 for a negative buffer length.
    template <typename L>
    SQLRETURN text_out(const std::string &text, SQLPOINTER buf, SQLLEN buflen, L *len)
    {
        if (buflen < 0)
            return error("HY090", "Invalid string or buffer length");
        if (len)
            *len = static_cast<L>(text.size());
        if (put_text(text, buf, buflen) && buf) {
            h_->diags.push_back({"01004", 0, "String data, right truncated"});
            return SQL_SUCCESS_WITH_INFO;
        }
        return SQL_SUCCESS;
    }
    // Finish the call: adds a pending injected info, stores rc in the journal.
    SQLRETURN finish(SQLRETURN rc);

  private:
    void start(const char *fn, SQLHANDLE h);
    size_t index_ = 0;
    Handle *h_ = nullptr;
    bool done_ = false;
    SQLRETURN rc_ = SQL_SUCCESS;
    bool pending_info_ = false;
    Diag info_;
};

Handle *find_handle(SQLHANDLE h);
Handle *find_handle(SQLHANDLE h, Kind kind);
inline SQLHANDLE as_handle(uintptr_t id)
{
    return reinterpret_cast<SQLHANDLE>(id);
}

// The state this CLI raises itself, in the form of the handle's ODBC version.
std::string own_state(const Handle &h, const char *odbc3_state);
const Handle *env_of(const Handle &h);

// Answer lookup: the first live answer for text, else the default. take
// consumes one use.
Answer &find_answer(const std::string &text, bool take);

// Text of a statement given with a length or SQL_NTS.
std::string sql_text(const SQLCHAR *text, SQLINTEGER len);
// A quoted literal's text as the statement wrote it, with its doubled
// quotes undone (for the stateful stores that read statements back).
std::string literal_text(const std::string &text);

// Conversions between values and C buffers (scli_value.cpp).
struct Converted {
    SQLRETURN rc = SQL_SUCCESS;  // SQL_SUCCESS, SQL_SUCCESS_WITH_INFO, SQL_ERROR
    const char *state = nullptr; // odbc3 state of an info or error
    std::string message;
    size_t consumed = 0;  // bytes of a text/binary value delivered now
    bool complete = true; // nothing of the value is left
};
// Write v as C type ctype into buf (buflen bytes for texts and binaries) and
// its length into *ind; offset skips bytes already delivered by SQLGetData.
Converted value_to_c(const Value &v, SQLSMALLINT ctype, SQLPOINTER buf, SQLLEN buflen, SQLLEN *ind,
                     size_t offset);
// Read a bound input parameter's value of row r (column-wise arrays).
bool c_to_value(const BoundParam &p, size_t r, Value *out, std::string *error);
// Size of one element of a fixed-size C type, 0 for texts and binaries.
SQLLEN c_type_size(SQLSMALLINT ctype);
bool c_type_known(SQLSMALLINT ctype);
// Natural column size and type name of an SQL type.
SQLULEN sql_type_size(SQLSMALLINT sql_type);
std::string sql_type_name(SQLSMALLINT sql_type);

// An attribute of a handle as a number (def when never set), or as the
// pointer it was set to (null when never set).
SQLULEN attr_value(const Handle &h, SQLINTEGER attr, SQLULEN def);
template <typename T> T *attr_pointer(const Handle &h, SQLINTEGER attr)
{
    auto it = h.attrs.find(attr);
    return it == h.attrs.end() ? nullptr : static_cast<T *>(it->second);
}

// Statement helpers shared by the statement, fetch and catalogue files.
void stmt_close_cursor(Handle &s);
void stmt_open_result(Handle &s, std::vector<Column> cols, std::vector<Row> rows);
int count_markers(const std::string &sql);

} // namespace scli
