// The splice form of a column expression, shared inside the library.
#ifndef DB_DBMS_INTERNAL_H
#define DB_DBMS_INTERNAL_H

#include "db/core/db_dbms.h"

// Writes " %s", the form in which a column expression is spliced into SQL
// (at least 4 bytes).
void db_get_column_expr_format(char *format);

#endif
