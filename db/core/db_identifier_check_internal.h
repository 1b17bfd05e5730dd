// Checks of the names the library writes into SQL text without quotes: a
// name goes into a statement unquoted only after one of these accepted it.
#ifndef DB_IDENTIFIER_CHECK_INTERNAL_H
#define DB_IDENTIFIER_CHECK_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "db/core/db_identifier_check.h"

// A plain identifier (column, index, user) of at most size - 1 characters.
// 0; -65 for null; -66 when empty or longer; -322 for a character outside
// the identifier rules.
int32_t db_check_name(const char *name, size_t size);

// A table name [database:][owner.]table whose owner may stand in single
// quotes ('owner'), every part an identifier within its field (database and
// owner 31 characters, table 159). 0; -65; -66; -322.
int32_t db_check_table_name(const char *name);

#endif
