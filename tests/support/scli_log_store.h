// The log-file tables of every user, kept in memory behind the statements
// the library runs on them: the sequence function <owner>_zel_logfiles_nextval,
// the log table's INSERT, SELECT, UPDATE and DELETE, and the data table's
// parameter-array INSERT and UPDATE, its SELECT DISTINCT and the orphan
// sweep, and the set operations' statements: the distinct count, the
// INSERT ... SELECT of an intersection, difference or copy, the working views
// of a union or symmetric difference with the INSERT that reads them, and the
// duplicate-removal function. Installed with log_store_install() after
// reset(); the rows live until the next install. A table name may carry a database ("gis:bob_...");
// the store keys everything by owner only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace scli
{

struct LogRow {
    std::string owner;
    std::string name; // logfile_name as stored (the bare name)
    int32_t id = 0;
    int32_t data_id = 0;
    int32_t registration_id = 0;
    int32_t flags = 0;
    int32_t tag = 0;
};

struct LogDataRow {
    std::string owner;
    int32_t data_id = 0;
    int32_t row_id = 0;
};

struct LogStore {
    std::map<std::string, int32_t> serial; // per owner: the last number handed out
    std::vector<LogRow> logs;              // in insertion order
    std::vector<LogDataRow> data;          // in insertion order
    // How an UPDATE or DELETE that touches no row answers: SQL_NO_DATA
    // (false) or SQL_SUCCESS with a row count of 0 (true); drivers do both.
    bool zero_rows_succeed = false;
    // A statement of this exact text fails once with the diagnostic instead
    // of running (the store's answers come before a test's own).
    std::map<std::string, std::pair<std::string, int32_t>> fail_once; // sql -> (SQLSTATE, native)
    // Working views by name, each with the CREATE text it was made by.
    std::map<std::string, std::string> views;
    // The owners whose duplicate-removal function exists, and the code the
    // function answers (0: it removed the duplicates).
    std::vector<std::string> setdelete_owners;
    int32_t setdelete_answer = 0;

    // The ids stored under a data id, in insertion order (duplicates kept).
    std::vector<int32_t> ids(const std::string &owner, int32_t data_id) const;
    // The log of that owner and bare name, or null.
    const LogRow *find(const std::string &owner, const std::string &name) const;
};

// Registers the store's answers; returns the (emptied) store.
LogStore &log_store_install();
LogStore &log_store();

} // namespace scli
