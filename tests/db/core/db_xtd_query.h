// The extended-type query with which a column's ST type is looked up, as the
// scripted CLI's journal shows it (owner empty: any owner).
#pragma once

#include <string>

inline std::string xtd_query(const std::string &owner, const std::string &table,
                             const std::string &column)
{
    std::string where = owner.empty() ? "" : "tab.owner = '" + owner + "' and ";
    return "select xdt.name from systables tab, syscolumns col, sysxtdtypes xdt"
           "                          where " +
           where + "tab.tabname = '" + table + "' and col.colname = '" + column +
           "'                         and tab.tabid= col.tabid"
           "                         and col.extended_id = xdt.extended_id";
}
