// Exact catalogue search patterns: the names the library looks up through
// the CLI's catalogue functions (SQLColumns) are patterns there, where '_'
// and '%' match any character.
#ifndef DB_SEARCH_PATTERN_INTERNAL_H
#define DB_SEARCH_PATTERN_INTERNAL_H

#include <string>
#include <string_view>

// A name as an exact search pattern: '_', '%' and the escape '\' itself are
// escaped, so "a_b" finds only "a_b". Throws std::bad_alloc.
std::string db_exact_search_pattern(std::string_view name);

#endif
