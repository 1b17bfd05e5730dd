// The helper for WHERE clauses that clients hand in as free text: a clause
// ANDed onto a statement. The growable SQL text buffer the library assembles
// its statements in is in db/core/db_sql_text_internal.h.
#ifndef DB_SQL_TEXT_H
#define DB_SQL_TEXT_H

#include <stdint.h>

#include "base/util/zel_export.h"

/* ANDs a client's clause, in parentheses, onto a statement that already has
 * a WHERE clause; a clause that starts with ORDER, GROUP or UNION is appended
 * as it is. statement_size is the size of the statement's block. 0; -250
 * when the result would not fit (the statement is then unchanged); -65 for a
 * null statement; -66 for a size below 1, a statement without its NUL, or a
 * condition whose parentheses, quotes or comments do not balance or that holds
 * a semicolon outside them. */
ZEL_API int32_t DB_sql_append_constraint(char *statement, const char *clause,
                                         int32_t statement_size);

#endif
