// The scripted CLI's log-file tables (scli_log_store.h): hooks on the exact
// statement shapes of the log-file code keep the rows in memory. A second
// log of one name answers a unique-key violation (23000, -268), as the
// table's UNIQUE constraint does; a condition the store does not know
// answers a syntax error so that a test sees the unexpected text.
#include "tests/support/scli_log_store.h"

#include <algorithm>
#include <cstring>
#include <regex>

#include "tests/support/scli_state.h"
#include "tests/support/scripted_cli.h"

namespace scli
{
namespace
{

LogStore &store()
{
    static LogStore s;
    return s;
}

// Owner part of a table name: "db:bob_zel_logfiles" and "bob_zel_logfiles" give "bob".
const char *const kOwner = R"((?:\w+:)?(\w+))";

int32_t number(const std::string &text)
{
    return static_cast<int32_t>(std::stol(text));
}

// A failure the test asked for: true when it was given to this execute.
bool failed(Exec &e)
{
    auto it = store().fail_once.find(e.sql);
    if (it == store().fail_once.end())
        return false;
    e.rc = SQL_ERROR;
    e.diags = {{it->second.first, it->second.second, "failure injected by the test"}};
    store().fail_once.erase(it);
    return true;
}

void syntax_error(Exec &e)
{
    e.rc = SQL_ERROR;
    e.diags = {{"37000", -201, "A syntax error has occurred."}};
}

// The result of an UPDATE or DELETE that touched n rows.
void touched(Exec &e, size_t n)
{
    e.row_count = static_cast<SQLLEN>(n);
    if (n == 0 && !store().zero_rows_succeed)
        e.rc = SQL_NO_DATA;
}

// A condition on log rows, as the log-file code writes them.
bool log_matches(const LogRow &row, const std::string &condition, bool *known)
{
    static const std::regex by_name(R"(logfile_name = '((?:[^']|'')*)')");
    static const std::regex by_id(R"(logfile_id = (-?\d+))");
    static const std::regex by_registration(R"(registration_id = (-?\d+))");
    static const std::regex by_flags(R"(flags = (-?\d+) OR flags = (-?\d+))");
    static const std::regex by_tag(
        R"(session_tag = (-?\d+)  AND \( flags = (-?\d+) OR flags = (-?\d+) \) )");
    std::smatch m;
    *known = true;
    if (std::regex_match(condition, m, by_name))
        return row.name == literal_text(m[1].str());
    if (std::regex_match(condition, m, by_id))
        return row.id == number(m[1].str());
    if (std::regex_match(condition, m, by_registration))
        return row.registration_id == number(m[1].str());
    if (std::regex_match(condition, m, by_flags))
        return row.flags == number(m[1].str()) || row.flags == number(m[2].str());
    if (std::regex_match(condition, m, by_tag))
        return row.tag == number(m[1].str()) &&
               (row.flags == number(m[2].str()) || row.flags == number(m[3].str()));
    *known = false;
    return false;
}

void install_log_table()
{
    on_sql_like(std::string(R"(\{call )") + kOwner + R"(_zel_logfiles_nextval\(\)\})")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex re(std::string(R"(\{call )") + kOwner + R"(_zel_logfiles.*)");
            std::smatch m;
            std::regex_match(e.sql, m, re);
            e.columns = {{"", SQL_INTEGER}};
            e.rows = {{i32(++store().serial[m[1].str()])}};
        });
    on_sql_like(std::string("INSERT INTO ") + kOwner + "_zel_logfiles .*").repeat().hook([](Exec &e) {
        if (failed(e))
            return;
        static const std::regex re(
            std::string("INSERT INTO ") + kOwner +
            R"(_zel_logfiles \(  logfile_name,  logfile_id,  logfile_data_id,  registration_id,  flags,  session_tag\) VALUES \('((?:[^']|'')*)',(-?\d+),(-?\d+),(-?\d+),(-?\d+),(-?\d+)\))");
        std::smatch m;
        if (!std::regex_match(e.sql, m, re))
            return syntax_error(e);
        LogRow row{m[1].str(),         literal_text(m[2].str()), number(m[3].str()),
                   number(m[4].str()), number(m[5].str()),       number(m[6].str()),
                   number(m[7].str())};
        if (store().find(row.owner, row.name) != nullptr) {
            e.rc = SQL_ERROR;
            e.diags = {{"23000", -268, "Unique constraint violated."}};
            return;
        }
        store().logs.push_back(row);
        e.row_count = 1;
    });
    on_sql_like(std::string(R"(SELECT   logfile_name,  .* FROM )") + kOwner + "_zel_logfiles .*")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex re(std::string(R"(SELECT .* FROM )") + kOwner +
                                       R"(_zel_logfiles (?: WHERE (.*))?)");
            std::smatch m;
            if (!std::regex_match(e.sql, m, re))
                return syntax_error(e);
            e.columns = {{"logfile_name", SQL_VARCHAR, 64},
                         {"logfile_id", SQL_INTEGER},
                         {"logfile_data_id", SQL_INTEGER},
                         {"registration_id", SQL_INTEGER},
                         {"flags", SQL_INTEGER},
                         {"session_tag", SQL_INTEGER}};
            e.rows.clear();
            for (const LogRow &row : store().logs) {
                if (row.owner != m[1].str())
                    continue;
                bool known = true;
                if (m[2].matched && !log_matches(row, m[2].str(), &known)) {
                    if (!known)
                        return syntax_error(e);
                    continue;
                }
                e.rows.push_back({varchar(row.name), i32(row.id), i32(row.data_id),
                                  i32(row.registration_id), i32(row.flags), i32(row.tag)});
            }
        });
    on_sql_like(std::string("DELETE FROM ") + kOwner + "_zel_logfiles WHERE .*")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex re(std::string("DELETE FROM ") + kOwner +
                                       "_zel_logfiles WHERE (.*)");
            std::smatch m;
            std::regex_match(e.sql, m, re);
            auto &logs = store().logs;
            size_t before = logs.size();
            bool known = true;
            std::vector<LogRow> kept;
            for (const LogRow &row : logs) {
                bool match = row.owner == m[1].str() && log_matches(row, m[2].str(), &known);
                if (!known)
                    return syntax_error(e);
                if (!match)
                    kept.push_back(row);
            }
            logs = kept;
            touched(e, before - logs.size());
        });
    on_sql_like(std::string("UPDATE ") + kOwner + "_zel_logfiles SET .*").repeat().hook([](Exec &e) {
        if (failed(e))
            return;
        static const std::regex re(
            std::string("UPDATE ") + kOwner +
            R"(_zel_logfiles SET  ?(logfile_data_id|flags) = (-?\d+)  ?WHERE logfile_id = (-?\d+))");
        std::smatch m;
        if (!std::regex_match(e.sql, m, re))
            return syntax_error(e);
        size_t n = 0;
        for (LogRow &row : store().logs)
            if (row.owner == m[1].str() && row.id == number(m[4].str())) {
                (m[2].str() == "flags" ? row.flags : row.data_id) = number(m[3].str());
                n++;
            }
        touched(e, n);
    });
}

void install_data_table()
{
    on_sql_like(std::string("DELETE FROM ") + kOwner + "_zel_logfile_data b WHERE NOT EXISTS .*")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex re(std::string("DELETE FROM ") + kOwner +
                                       "_zel_logfile_data b .*");
            std::smatch m;
            std::regex_match(e.sql, m, re);
            const std::string owner = m[1].str();
            auto owned = [&](const LogDataRow &r) {
                if (r.owner != owner)
                    return true;
                for (const LogRow &log : store().logs)
                    if (log.owner == owner && log.data_id == r.data_id)
                        return true;
                return false;
            };
            auto &data = store().data;
            size_t before = data.size();
            data.erase(std::remove_if(data.begin(), data.end(),
                                      [&](const LogDataRow &r) { return !owned(r); }),
                       data.end());
            touched(e, before - data.size());
        });
    on_sql_like(std::string("INSERT INTO ") + kOwner +
                R"(_zel_logfile_data \(logfile_data_id,zel_row_id\)  VALUES \((-?\d+), \?\))")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex re(std::string("INSERT INTO ") + kOwner +
                                       R"(_zel_logfile_data .*VALUES \((-?\d+), \?\))");
            std::smatch m;
            std::regex_match(e.sql, m, re);
            for (const auto &row : e.params)
                store().data.push_back(
                    {m[1].str(), number(m[2].str()), static_cast<int32_t>(row.at(0).i)});
            e.row_count = static_cast<SQLLEN>(e.params.size());
        });
    on_sql_like(
        std::string("UPDATE ") + kOwner +
        R"(_zel_logfile_data  SET logfile_data_id = (-?\d+)  WHERE logfile_data_id = (-?\d+) AND zel_row_id = \?)")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex re(
                std::string("UPDATE ") + kOwner +
                R"(_zel_logfile_data  SET logfile_data_id = (-?\d+)  WHERE logfile_data_id = (-?\d+) .*)");
            std::smatch m;
            std::regex_match(e.sql, m, re);
            size_t n = 0;
            for (const auto &params : e.params)
                for (LogDataRow &r : store().data)
                    if (r.owner == m[1].str() && r.data_id == number(m[3].str()) &&
                        r.row_id == params.at(0).i) {
                        r.data_id = number(m[2].str());
                        n++;
                    }
            touched(e, n);
        });
    on_sql_like(std::string(R"(SELECT DISTINCT zel_row_id  FROM )") + kOwner +
                R"(_zel_logfile_data  WHERE logfile_data_id = (-?\d+))")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex re(std::string(R"(SELECT DISTINCT zel_row_id  FROM )") +
                                       kOwner +
                                       R"(_zel_logfile_data  WHERE logfile_data_id = (-?\d+))");
            std::smatch m;
            std::regex_match(e.sql, m, re);
            std::vector<int32_t> seen;
            for (int32_t id : store().ids(m[1].str(), number(m[2].str())))
                if (std::find(seen.begin(), seen.end(), id) == seen.end())
                    seen.push_back(id);
            e.columns = {{"zel_row_id", SQL_INTEGER}};
            e.rows.clear();
            for (int32_t id : seen)
                e.rows.push_back({i32(id)});
        });
}

// A statement shape as a regex: runs of blanks match any blank run, {T} a
// data table (its owner captured), {N} a number, {V} a view name.
std::regex shape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        const char c = text[i];
        if (text.compare(i, 3, "{T}") == 0) {
            out += R"((?:\w+:)?(\w+)_zel_logfile_data)";
            i += 2;
        } else if (text.compare(i, 3, "{N}") == 0) {
            out += R"((-?\d+))";
            i += 2;
        } else if (text.compare(i, 3, "{V}") == 0) {
            out += R"(([\w:.]+))";
            i += 2;
        } else if (c == ' ') {
            out += R"(\s*)";
            while (i + 1 < text.size() && text[i + 1] == ' ')
                i++;
        } else if (strchr(".()[]{}*+?^$|\\", c) != nullptr) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return std::regex(out);
}

// The distinct ids of a data id, in order of first insertion.
std::vector<int32_t> distinct(const std::string &owner, int32_t data_id)
{
    std::vector<int32_t> seen;
    for (int32_t id : store().ids(owner, data_id))
        if (std::find(seen.begin(), seen.end(), id) == seen.end())
            seen.push_back(id);
    return seen;
}

bool contains(const std::vector<int32_t> &ids, int32_t id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Ids of a not in b.
std::vector<int32_t> minus(const std::vector<int32_t> &a, const std::vector<int32_t> &b)
{
    std::vector<int32_t> out;
    for (int32_t id : a)
        if (!contains(b, id))
            out.push_back(id);
    return out;
}

// Inserts ids under data id t of the owner's data table.
void insert_ids(Exec &e, const std::string &owner, int32_t t, const std::vector<int32_t> &ids)
{
    for (int32_t id : ids)
        store().data.push_back({owner, t, id});
    touched(e, ids.size());
}

const char *const kUnionView = " CREATE VIEW {V} (logfile_data_id, zel_row_id) AS SELECT "
                               "{N},zel_row_id FROM {T} WHERE logfile_data_id = {N} UNION "
                               "SELECT {N},zel_row_id FROM {T} WHERE logfile_data_id = {N}";
const char *const kSymdiffView =
    "CREATE VIEW {V} ( logfile_data_id, zel_row_id) AS ( SELECT DISTINCT {N}, zel_row_id FROM "
    "{T} a WHERE logfile_data_id = {N} AND NOT EXISTS( SELECT {N}, zel_row_id FROM {T} b WHERE "
    "b.zel_row_id = a.zel_row_id AND b.logfile_data_id = {N} )) UNION ( SELECT DISTINCT {N}, "
    "zel_row_id FROM {T} a WHERE logfile_data_id = {N} AND NOT EXISTS( SELECT {N}, zel_row_id "
    "FROM {T} b WHERE b.zel_row_id = a.zel_row_id AND b.logfile_data_id = {N}))";

// The rows of a working view: (data id, ids); false when its text is unknown.
bool view_rows(const std::string &create, int32_t *t, std::vector<int32_t> *ids)
{
    std::smatch m;
    static const std::regex by_union = shape(kUnionView);
    static const std::regex by_symdiff = shape(kSymdiffView);
    if (std::regex_match(create, m, by_union)) {
        *t = number(m[2].str());
        *ids = distinct(m[3].str(), number(m[4].str()));
        for (int32_t id : distinct(m[6].str(), number(m[7].str())))
            if (!contains(*ids, id))
                ids->push_back(id);
        return true;
    }
    if (std::regex_match(create, m, by_symdiff)) {
        *t = number(m[2].str());
        const std::vector<int32_t> a = distinct(m[3].str(), number(m[4].str()));
        const std::vector<int32_t> b = distinct(m[6].str(), number(m[7].str()));
        *ids = minus(a, b);
        for (int32_t id : minus(b, a))
            ids->push_back(id);
        return true;
    }
    return false;
}

void install_set_operations()
{
    on_sql_like(R"(SELECT count\(DISTINCT zel_row_id\) .*)").repeat().hook([](Exec &e) {
        if (failed(e))
            return;
        static const std::regex re = shape("SELECT count(DISTINCT zel_row_id) FROM {T} WHERE "
                                           "logfile_data_id = {N}");
        std::smatch m;
        if (!std::regex_match(e.sql, m, re))
            return syntax_error(e);
        e.columns = {{"", SQL_INTEGER}};
        e.rows = {{i32(static_cast<int32_t>(distinct(m[1].str(), number(m[2].str())).size()))}};
    });
    on_sql_like(
        R"( ?INSERT INTO \S+_zel_logfile_data .*SELECT (?:UNIQUE|distinct|DISTINCT|logfile_data_id).*)")
        .repeat()
        .hook([](Exec &e) {
            if (failed(e))
                return;
            static const std::regex intersection = shape(
                "INSERT INTO {T} (logfile_data_id,zel_row_id) SELECT UNIQUE {N}, a.zel_row_id "
                "FROM {T} a, {T} b WHERE a.logfile_data_id = {N} AND b.logfile_data_id = {N} "
                "AND a.zel_row_id = b.zel_row_id");
            static const std::regex difference = shape(
                "INSERT INTO {T} (logfile_data_id,zel_row_id) SELECT distinct {N}, zel_row_id "
                "FROM {T} a WHERE logfile_data_id = {N} AND NOT EXISTS( SELECT {N}, zel_row_id "
                "FROM {T} b WHERE b.zel_row_id = a.zel_row_id AND b.logfile_data_id = {N})");
            static const std::regex copy = shape(
                "INSERT INTO {T} (logfile_data_id, zel_row_id) SELECT DISTINCT {N}, zel_row_id "
                "FROM {T} WHERE logfile_data_id = {N} ");
            static const std::regex from_union =
                shape("INSERT INTO {T} SELECT logfile_data_id,zel_row_id FROM {V}");
            static const std::regex from_symdiff =
                shape(" INSERT INTO {T} (logfile_data_id,zel_row_id) SELECT logfile_data_id, "
                      "zel_row_id FROM {V} ");
            std::smatch m;
            if (std::regex_match(e.sql, m, intersection)) {
                std::vector<int32_t> ids;
                const std::vector<int32_t> b = distinct(m[4].str(), number(m[6].str()));
                for (int32_t id : distinct(m[3].str(), number(m[5].str())))
                    if (contains(b, id))
                        ids.push_back(id);
                return insert_ids(e, m[1].str(), number(m[2].str()), ids);
            }
            if (std::regex_match(e.sql, m, difference))
                return insert_ids(e, m[1].str(), number(m[2].str()),
                                  minus(distinct(m[3].str(), number(m[4].str())),
                                        distinct(m[6].str(), number(m[7].str()))));
            if (std::regex_match(e.sql, m, copy))
                return insert_ids(e, m[1].str(), number(m[2].str()),
                                  distinct(m[3].str(), number(m[4].str())));
            if (std::regex_match(e.sql, m, from_union) ||
                std::regex_match(e.sql, m, from_symdiff)) {
                auto view = store().views.find(m[2].str());
                int32_t t = 0;
                std::vector<int32_t> ids;
                if (view == store().views.end() || !view_rows(view->second, &t, &ids)) {
                    e.rc = SQL_ERROR;
                    e.diags = {{"S0002", -206, "The specified table is not in the database."}};
                    return;
                }
                return insert_ids(e, m[1].str(), t, ids);
            }
            syntax_error(e);
        });
    on_sql_like(R"( ?CREATE VIEW .*)").repeat().hook([](Exec &e) {
        if (failed(e))
            return;
        static const std::regex name(R"( ?CREATE VIEW ([\w:.]+) .*)");
        std::smatch m;
        int32_t t = 0;
        std::vector<int32_t> ids;
        if (!std::regex_match(e.sql, m, name) || !view_rows(e.sql, &t, &ids))
            return syntax_error(e);
        if (store().views.count(m[1].str()) != 0) {
            e.rc = SQL_ERROR;
            e.diags = {{"S0001", -310, "Table (view) already exists in database."}};
            return;
        }
        store().views[m[1].str()] = e.sql;
    });
    on_sql_like(R"(DROP VIEW .*)").repeat().hook([](Exec &e) {
        if (failed(e))
            return;
        if (store().views.erase(e.sql.substr(strlen("DROP VIEW "))) == 0) {
            e.rc = SQL_ERROR;
            e.diags = {{"S0002", -206, "The specified table is not in the database."}};
        }
    });
    on_sql_like(R"(CREATE FUNCTION \S+_zel_logfile_data_setdelete.*)").repeat().hook([](Exec &e) {
        if (failed(e))
            return;
        static const std::regex re(
            R"(CREATE FUNCTION (?:\w+:)?(\w+)_zel_logfile_data_setdelete.*)");
        std::smatch m;
        std::regex_match(e.sql, m, re);
        auto &owners = store().setdelete_owners;
        if (std::find(owners.begin(), owners.end(), m[1].str()) != owners.end()) {
            e.rc = SQL_ERROR;
            e.diags = {{"IX000", -673, "Function already exists in database."}};
            return;
        }
        owners.push_back(m[1].str());
    });
    on_sql_like(R"(\{call \S+_zel_logfile_data_setdelete\(\?\)\})").repeat().hook([](Exec &e) {
        if (failed(e))
            return;
        static const std::regex re(R"(\{call (?:\w+:)?(\w+)_zel_logfile_data_setdelete.*)");
        std::smatch m;
        std::regex_match(e.sql, m, re);
        auto &owners = store().setdelete_owners;
        if (std::find(owners.begin(), owners.end(), m[1].str()) == owners.end()) {
            e.rc = SQL_ERROR;
            e.diags = {{"IX000", -674, "Routine can not be resolved."}};
            return;
        }
        e.columns = {{"", SQL_INTEGER}};
        e.rows = {{i32(store().setdelete_answer)}};
        if (store().setdelete_answer != 0 || e.params.empty())
            return;
        // Every later row of an id already seen goes to data id -1.
        const int32_t data_id = static_cast<int32_t>(e.params[0].at(0).i);
        std::vector<int32_t> seen;
        for (LogDataRow &r : store().data) {
            if (r.owner != m[1].str() || r.data_id != data_id)
                continue;
            if (contains(seen, r.row_id))
                r.data_id = -1;
            else
                seen.push_back(r.row_id);
        }
    });
}

} // namespace

std::vector<int32_t> LogStore::ids(const std::string &owner, int32_t data_id) const
{
    std::vector<int32_t> out;
    for (const LogDataRow &r : data)
        if (r.owner == owner && r.data_id == data_id)
            out.push_back(r.row_id);
    return out;
}

const LogRow *LogStore::find(const std::string &owner, const std::string &name) const
{
    for (const LogRow &row : logs)
        if (row.owner == owner && row.name == name)
            return &row;
    return nullptr;
}

LogStore &log_store()
{
    return store();
}

LogStore &log_store_install()
{
    store() = LogStore{};
    install_log_table();
    install_data_table();
    install_set_operations();
    return store();
}

} // namespace scli
