// The check of an identifier a user gives for a table, column or other
// object: letters, digits and a few marks in the connection's code page.
#ifndef DB_IDENTIFIER_CHECK_H
#define DB_IDENTIFIER_CHECK_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

// 0 when the identifier is acceptable (a null or empty one is), -322 when a
// character breaks the rules or a multibyte character is cut short, -12.
ZEL_API int32_t DB_check_identifier(DB_INSTANCE *instance, const char *identifier);

#endif
