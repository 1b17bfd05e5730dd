// Scripted CLI: the script (answers by SQL text), the journal, injected faults,
// the handle registry with its leak report, and the guard that starts every
// ODBC entry point.
#include "tests/support/scli_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
// GCC 12 warns falsely inside <regex>'s own templates at -O2.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace scli
{

State &state()
{
    static State s = [] {
        State init;
        set_driver_defaults(init);
        return init;
    }();
    return s;
}

uintptr_t next_handle_id()
{
    // Odd-looking, aligned and never reused, so a stale handle cannot alias a
    // live one.
    static uintptr_t next = 0x5c100000;
    next += 0x10;
    return next;
}

// ---- answers ----------------------------------------------------------------

Answer &Answer::at_prepare(SQLRETURN rc, const Diag &diag)
{
    prepare_rc = rc;
    prepare_diag = diag;
    return *this;
}
Answer &Answer::fail(SQLRETURN rc, const Diag &diag)
{
    result.rc = rc;
    result.diags = {diag};
    return *this;
}
Answer &Answer::info(const Diag &diag)
{
    return fail(SQL_SUCCESS_WITH_INFO, diag);
}
Answer &Answer::no_data()
{
    result.rc = SQL_NO_DATA;
    result.diags.clear();
    if (result.row_count < 0)
        result.row_count = 0;
    return *this;
}
Answer &Answer::columns(std::vector<Column> cols)
{
    result.columns = std::move(cols);
    return *this;
}
Answer &Answer::row(Row r)
{
    result.rows.push_back(std::move(r));
    return *this;
}
Answer &Answer::rows(std::vector<Row> rs)
{
    for (auto &r : rs)
        result.rows.push_back(std::move(r));
    return *this;
}
Answer &Answer::row_count(SQLLEN n)
{
    result.row_count = n;
    return *this;
}
Answer &Answer::at_fetch(int n, SQLRETURN rc, const Diag &diag)
{
    fetch_results[n] = {rc, diag};
    return *this;
}
Answer &Answer::out(SQLUSMALLINT param, Value v)
{
    result.out[param] = std::move(v);
    return *this;
}
Answer &Answer::times(int n)
{
    uses_left = n;
    return *this;
}
Answer &Answer::repeat()
{
    return times(-1);
}
Answer &Answer::hook(Hook h)
{
    on_execute = std::move(h);
    return *this;
}

Answer &on_sql(const std::string &exact_text)
{
    Answer &a = state().answers.emplace_back();
    a.text = exact_text;
    return a;
}

// Compiled patterns by their text; compiling in on_sql_like lets a bad pattern
// throw in the test that wrote it, not inside an ODBC call.
static const std::regex &S_regex(const std::string &text)
{
    static std::map<std::string, std::regex> cache;
    auto it = cache.find(text);
    if (it == cache.end())
        it = cache.emplace(text, std::regex(text)).first;
    return it->second;
}

Answer &on_sql_like(const std::string &regex)
{
    S_regex(regex);
    Answer &a = state().answers.emplace_back();
    a.text = regex;
    a.pattern = true;
    return a;
}

Answer &on_commit()
{
    return on_sql("COMMIT");
}
Answer &on_rollback()
{
    return on_sql("ROLLBACK");
}
Answer &default_answer()
{
    return state().default_answer;
}

static bool S_matches(const Answer &a, const std::string &text)
{
    if (!a.pattern)
        return a.text == text;
    return std::regex_match(text, S_regex(a.text));
}

Answer &find_answer(const std::string &text, bool take)
{
    for (Answer &a : state().answers) {
        if (a.uses_left == 0 || !S_matches(a, text))
            continue;
        if (take && a.uses_left > 0)
            a.uses_left--;
        return a;
    }
    return state().default_answer;
}

// ---- journal, faults, catalogue ----------------------------------------------

std::vector<std::string> unused_answers()
{
    std::vector<std::string> out;
    for (const Answer &a : state().answers)
        if (a.uses_left > 0)
            out.push_back(a.text);
    return out;
}

const std::vector<Call> &journal()
{
    return state().journal;
}

std::vector<std::string> executed()
{
    std::vector<std::string> out;
    for (const Call &c : state().journal) {
        if (c.rc == SQL_INVALID_HANDLE)
            continue; // never reached the driver
        if (c.fn == "SQLExecute" || c.fn == "SQLExecDirect" || c.fn == "SQLEndTran")
            out.push_back(c.sql);
    }
    return out;
}

std::vector<Call> calls_of(const std::string &fn)
{
    std::vector<Call> out;
    for (const Call &c : state().journal)
        if (c.fn == fn)
            out.push_back(c);
    return out;
}

void clear_answers()
{
    state().answers.clear();
}

void clear_journal()
{
    state().journal.clear();
}

int call_count(const std::string &fn)
{
    if (fn.empty())
        return state().total_calls;
    auto it = state().counts.find(fn);
    return it == state().counts.end() ? 0 : it->second;
}

void fail_call(const std::string &fn, int n, SQLRETURN rc, const Diag &diag)
{
    state().faults.push_back({fn, n, rc, diag});
}

void empty_fetch_call(const std::string &fn, int n)
{
    state().empty_fetches.push_back({fn, n});
}

void add_table(const std::string &owner, const std::string &table, std::vector<Column> cols)
{
    for (State::Table &t : state().tables)
        if (t.owner == owner && t.name == table) {
            t.cols = std::move(cols);
            return;
        }
    state().tables.push_back({owner, table, std::move(cols)});
}

void set_info(SQLUSMALLINT info_type, SQLUINTEGER value, int width)
{
    InfoValue v;
    v.value = value;
    v.width = width == 2 ? 2 : 4;
    state().info[info_type] = v;
}

void set_info_text(SQLUSMALLINT info_type, const std::string &text)
{
    InfoValue v;
    v.is_text = true;
    v.text = text;
    state().info[info_type] = v;
}

void set_function(SQLUSMALLINT function_id, bool supported)
{
    state().functions[function_id] = supported;
}

void set_type_info(std::vector<Row> rows)
{
    state().type_info = std::move(rows);
}

Options &options()
{
    return state().options;
}

static const char *S_kind_name(Kind k)
{
    switch (k) {
    case Kind::Env:
        return "ENV";
    case Kind::Dbc:
        return "DBC";
    case Kind::Stmt:
        return "STMT";
    }
    return "?";
}

std::vector<std::string> leaks()
{
    std::vector<std::string> out;
    for (const auto &[id, h] : state().handles) {
        char line[128];
        std::snprintf(line, sizeof(line), "%s h=%#lx allocated by call %ld", S_kind_name(h->kind),
                      static_cast<unsigned long>(id), h->alloc_call);
        std::string text = line;
        if (!h->sql.empty())
            text += " sql: " + h->sql;
        out.push_back(text);
    }
    return out;
}

SQLULEN attr_value(const Handle &h, SQLINTEGER attr, SQLULEN def)
{
    auto it = h.attrs.find(attr);
    return it == h.attrs.end() ? def : reinterpret_cast<SQLULEN>(it->second);
}

bool is_live(SQLHANDLE handle)
{
    return find_handle(handle) != nullptr;
}

void reset()
{
    State &s = state();
    s.handles.clear();
    s.answers.clear();
    s.default_answer = Answer{};
    s.default_answer.uses_left = -1;
    s.journal.clear();
    s.counts.clear();
    s.total_calls = 0;
    s.faults.clear();
    s.empty_fetches.clear();
    s.tables.clear();
    s.options = Options{};
    set_driver_defaults(s);
}

// ---- handles and the entry guard -------------------------------------------

Handle *find_handle(SQLHANDLE h)
{
    auto &hs = state().handles;
    auto it = hs.find(reinterpret_cast<uintptr_t>(h));
    return it == hs.end() ? nullptr : it->second.get();
}

Handle *find_handle(SQLHANDLE h, Kind kind)
{
    Handle *p = find_handle(h);
    return p && p->kind == kind ? p : nullptr;
}

const Handle *env_of(const Handle &h)
{
    const Handle *p = &h;
    while (p && p->kind != Kind::Env) {
        auto it = state().handles.find(p->parent);
        p = it == state().handles.end() ? nullptr : it->second.get();
    }
    return p;
}

std::string own_state(const Handle &h, const char *odbc3_state)
{
    const Handle *env = env_of(h);
    std::string st = odbc3_state;
    if (!env || env->odbc_version != SQL_OV_ODBC2)
        return st;
    // The ODBC 2 names of the states this CLI raises itself.
    static const std::map<std::string, std::string> v2 = {
        {"HY000", "S1000"}, {"HY001", "S1001"}, {"HY003", "S1003"}, {"HY009", "S1009"},
        {"HY010", "S1010"}, {"HY090", "S1090"}, {"HY092", "S1092"}, {"HY096", "S1096"},
        {"HY106", "S1106"}, {"HYC00", "S1C00"}, {"07009", "S1002"}, {"22018", "22005"},
        {"07002", "07001"}, {"HY105", "S1105"}, {"HY104", "S1104"}, {"HY024", "S1009"},
        {"HY091", "S1091"}, {"HY012", "S1012"}};
    auto it = v2.find(st);
    return it == v2.end() ? st : it->second;
}

Entry::Entry(const char *fn)
{
    start(fn, nullptr);
}

Entry::Entry(const char *fn, SQLHANDLE handle, Kind kind, bool clear_diags)
{
    start(fn, handle);
    h_ = find_handle(handle, kind);
    if (!h_) {
        done_ = true;
        rc_ = SQL_INVALID_HANDLE;
        call().rc = rc_;
        return;
    }
    if (clear_diags)
        h_->diags.clear();
    if (kind == Kind::Stmt)
        call().sql = h_->sql;
    if (done_) { // injected failure
        if (clear_diags && !(info_.sqlstate.empty() && info_.message.empty()))
            h_->diags.push_back(info_);
        h_->last_rc = rc_;
    }
}

void Entry::start(const char *fn, SQLHANDLE handle)
{
    State &s = state();
    s.total_calls++;
    int n = ++s.counts[fn];
    Call c;
    c.seq = static_cast<long>(s.journal.size()) + 1;
    c.fn = fn;
    c.handle = handle;
    s.journal.push_back(c);
    index_ = s.journal.size() - 1;
    for (auto it = s.faults.begin(); it != s.faults.end(); ++it) {
        bool hit = it->fn.empty() ? it->n == s.total_calls : (it->fn == fn && it->n == n);
        if (!hit)
            continue;
        call().injected = true;
        info_ = it->diag;
        if (it->rc == SQL_SUCCESS_WITH_INFO) {
            pending_info_ = true;
        } else {
            done_ = true;
            rc_ = it->rc;
            call().rc = rc_;
        }
        s.faults.erase(it);
        break;
    }
}

SQLRETURN Entry::error(const char *odbc3_state, const std::string &message)
{
    if (h_)
        h_->diags.push_back({own_state(*h_, odbc3_state), 0, message});
    return SQL_ERROR;
}

SQLRETURN Entry::finish(SQLRETURN rc)
{
    if (pending_info_ && h_ && (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO)) {
        pending_info_ = false;
        h_->diags.push_back(info_);
        rc = SQL_SUCCESS_WITH_INFO;
    }
    if (h_)
        h_->last_rc = rc;
    call().rc = rc;
    return rc;
}

// ---- texts ------------------------------------------------------------------

std::string sql_text(const SQLCHAR *text, SQLINTEGER len)
{
    if (!text)
        return {};
    const char *p = reinterpret_cast<const char *>(text);
    if (len == SQL_NTS)
        return std::string(p);
    if (len < 0)
        return {};
    return std::string(p, static_cast<size_t>(len));
}

std::string literal_text(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        out.push_back(text[i]);
        if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'')
            i++;
    }
    return out;
}

bool put_text(const std::string &text, SQLPOINTER buf, SQLLEN buflen)
{
    if (!buf || buflen <= 0)
        return !text.empty();
    char *out = static_cast<char *>(buf);
    size_t room = static_cast<size_t>(buflen) - 1;
    size_t n = text.size() < room ? text.size() : room;
    std::copy_n(text.begin(), n, out);
    // Fill the whole stated size: a buffer smaller than its stated size shows.
    std::memset(out + n, 0, static_cast<size_t>(buflen) - n);
    return n < text.size();
}

int count_markers(const std::string &sql)
{
    int n = 0;
    char quote = 0;
    for (char c : sql) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            n++;
        }
    }
    return n;
}

} // namespace scli
