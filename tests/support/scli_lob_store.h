// A small smart-large-object store behind the server routines that the
// library calls as "{call ifx_lo_...}": create, open, stat, stat_size, read,
// write, close, def_create_spec and col_info. Installed into the scripted CLI
// with lob_store_install() after reset(); objects live until the next install.
#pragma once

#include <sql.h>

#include <cstdint>
#include <map>
#include <string>

namespace scli
{

struct LobStore {
    // Lengths the driver reports for information types 2250, 2251 and 2252.
    int spec_length = 24;
    int pointer_length = 16;
    int status_length = 32;
    std::map<int64_t, std::string> objects;  // object id -> bytes
    std::map<SQLINTEGER, int64_t> open;      // descriptor -> object id
    std::map<SQLINTEGER, int32_t> open_mode; // descriptor -> access mode given
    std::string last_column;                 // column name given to ifx_lo_col_info
    int64_t next_id = 1;
    SQLINTEGER next_descriptor = 100;
    // When not negative, ifx_lo_stat_size answers this size whatever is stored.
    int64_t size_override = -1;
    // Extra bytes that ifx_lo_read claims beyond the object (a driver that
    // reports more than it delivered).
    int64_t read_length_excess = 0;
};

// Registers the store's answers and driver information; returns the store.
LobStore &lob_store_install();
LobStore &lob_store();

} // namespace scli
