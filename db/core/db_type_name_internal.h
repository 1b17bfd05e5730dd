// The type-name cache's reader and the ST geometry type test of a column.
#ifndef DB_TYPE_NAME_INTERNAL_H
#define DB_TYPE_NAME_INTERNAL_H

#include "db/core/db_type_name.h"

// Reads the driver's name of one SQL type into a new 129-byte block kept in
// *slot. Returns 0; 100 when the driver lists no such type (slot untouched);
// -12; -51 (connection's extended error record filled).
int32_t get_a_data_type(int32_t sql_type, char **slot);

// 1 when the column (owner.table.column or shorter, the current user as
// default owner) is of an ST geometry type, 0 when not or unknown, -51 on a
// CLI failure, -65 for a null name, -66 when a part of it is too long.
int32_t db_get_column_st_type_qualified(const char *column_name);

#endif
