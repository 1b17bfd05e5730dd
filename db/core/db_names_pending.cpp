// TEMPORARY stand-ins until the connection module lands.
#include "db/core/db_names_pending.h"
#include <ctype.h>
#include <string.h>
extern "C" {
__attribute__((weak)) char *db_identifier_to_lower(void *, char *text, int32_t, int32_t) {
  for (char *p = text; *p; ++p) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
  return text;
}
__attribute__((weak)) void DB_database_get_current(DB_INSTANCE *, char *name) { name[0] = '\0'; }
}
