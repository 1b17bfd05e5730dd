// The scripted CLI's DBTUNE table: hooks on the two procedures and on the
// table's SELECT and DELETE statements keep the rows in memory. An insert
// of a (keyword, parameter_name) pair that is already stored answers
// -20025, as the procedure does for the table's unique key; values are
// returned blank-padded to CHAR(2048). Creating the table makes it exist.
#include "tests/support/scli_dbtune_store.h"

#include <algorithm>
#include <regex>

#include "tests/support/scli_state.h"
#include "tests/support/scripted_cli.h"

namespace scli
{
namespace
{

DbtuneStore &store()
{
    static DbtuneStore s;
    return s;
}

std::string upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string param_text(const Exec &e, size_t n)
{
    if (e.params.empty() || e.params[0].size() < n)
        return {};
    const Value &v = e.params[0][n - 1];
    std::string s = v.s;
    size_t nul = s.find('\0');
    if (nul != std::string::npos)
        s.resize(nul);
    return s;
}

void result_row(Exec &e, int code)
{
    e.columns = {{"", SQL_INTEGER}};
    e.rows = {{i32(code)}};
}

bool missing(Exec &e)
{
    if (store().exists)
        return false;
    e.rc = SQL_ERROR;
    e.diags = {{"S0002", -206, "The specified table (dbtune) is not in the database."}};
    return true;
}

} // namespace

DbtuneStore &dbtune_store()
{
    return store();
}

DbtuneStore &dbtune_store_install()
{
    store() = DbtuneStore{};
    on_sql_like(R"(\{ call \S+truncate_dbtune\( \) \})").repeat().hook([](Exec &e) {
        if (!store().exists)
            return result_row(e, -20037);
        if (store().truncate_code != 0)
            return result_row(e, store().truncate_code);
        store().rows.clear();
        result_row(e, 0);
    });
    on_sql_like(R"(\{ call \S+insert_dbtune \(\?,\?,\?\) \})").repeat().hook([](Exec &e) {
        DbtuneStore &s = store();
        s.inserts++;
        if (!s.exists)
            return result_row(e, -20037);
        if (s.insert_refused == s.inserts)
            return result_row(e, s.insert_refusal_code);
        DbtuneRow row{param_text(e, 1), param_text(e, 2), param_text(e, 3)};
        for (const DbtuneRow &r : s.rows)
            if (r.keyword == row.keyword && r.name == row.name)
                return result_row(e, -20025);
        s.rows.push_back(row);
        result_row(e, 0);
    });
    on_sql_like(R"(SELECT keyword, parameter_name, config_string FROM \S+dbtune.*)")
        .repeat()
        .hook([](Exec &e) {
            if (missing(e))
                return;
            static const std::regex where(
                R"(.* where keyword = '((?:[^']|'')*)'(?: OR keyword = '((?:[^']|'')*)')?)");
            std::smatch m;
            bool filtered = std::regex_match(e.sql, m, where);
            std::vector<DbtuneRow> rows;
            for (const DbtuneRow &r : store().rows)
                if (!filtered || r.keyword == literal_text(m[1].str()) ||
                    (m[2].matched && r.keyword == literal_text(m[2].str())))
                    rows.push_back(r);
            if (!filtered)
                std::stable_sort(
                    rows.begin(), rows.end(),
                    [](const DbtuneRow &a, const DbtuneRow &b) { return a.keyword < b.keyword; });
            e.columns = {{"keyword", SQL_VARCHAR, 32},
                         {"parameter_name", SQL_VARCHAR, 32},
                         {"config_string", SQL_CHAR, 2048}};
            e.rows.clear();
            for (const DbtuneRow &r : rows)
                e.rows.push_back({varchar(r.keyword), varchar(r.name),
                                  r.value_null ? null() : chr(r.value, 2048)});
        });
    on_sql_like(R"(SELECT keyword FROM \S+dbtune group by keyword )").repeat().hook([](Exec &e) {
        if (missing(e))
            return;
        std::vector<std::string> keywords;
        for (const DbtuneRow &r : store().rows)
            if (std::find(keywords.begin(), keywords.end(), r.keyword) == keywords.end())
                keywords.push_back(r.keyword);
        e.columns = {{"keyword", SQL_VARCHAR, 32}};
        e.rows.clear();
        for (const std::string &k : keywords)
            e.rows.push_back({varchar(k)});
    });
    on_sql_like(R"(DELETE FROM \S+dbtune WHERE .*)").repeat().hook([](Exec &e) {
        if (missing(e))
            return;
        static const std::regex where(
            R"(.* WHERE upper\(keyword\) = '((?:[^']|'')*)' AND upper\(parameter_name\) = '((?:[^']|'')*)')");
        std::smatch m;
        if (!std::regex_match(e.sql, m, where))
            return;
        std::string keyword = upper(literal_text(m[1].str())),
                    name = upper(literal_text(m[2].str()));
        auto &rows = store().rows;
        size_t before = rows.size();
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&](const DbtuneRow &r) {
                                      return upper(r.keyword) == keyword && upper(r.name) == name;
                                  }),
                   rows.end());
        e.row_count = static_cast<SQLLEN>(before - rows.size());
        if (before == rows.size())
            e.rc = SQL_NO_DATA;
    });
    on_sql_like(R"(CREATE TABLE \S+dbtune .*)").repeat().hook([](Exec &e) {
        if (store().exists) {
            e.rc = SQL_ERROR;
            e.diags = {{"42S01", -310, "Table (dbtune) already exists in database."}};
        }
        store().exists = true;
    });
    return store();
}

} // namespace scli
