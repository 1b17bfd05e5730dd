// A small DBTUNE table behind the administrative procedures truncate_dbtune
// and insert_dbtune and the SELECT and DELETE statements that the library
// runs on the table, so that import, export, load and migration can be
// tested end to end. Installed with dbtune_store_install() after reset();
// the rows live until the next install.
#pragma once

#include <string>
#include <vector>

namespace scli
{

struct DbtuneRow {
    std::string keyword;
    std::string name;
    std::string value;
    bool value_null = false; // config_string is NULL
};

struct DbtuneStore {
    bool exists = true;          // false: truncate answers -20037, SELECTs fail with S0002
    std::vector<DbtuneRow> rows; // in insertion order
    // When not 0, insert_dbtune answers this code for the insert_refused-th
    // call (from 1) instead of storing the row.
    int insert_refused = 0;
    int insert_refusal_code = -20025;
    int truncate_code = 0; // when not 0, truncate_dbtune answers it
    int inserts = 0;       // insert_dbtune calls so far
};

// Registers the store's answers; returns the store.
DbtuneStore &dbtune_store_install();
DbtuneStore &dbtune_store();

} // namespace scli
