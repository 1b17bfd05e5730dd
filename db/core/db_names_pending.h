// TEMPORARY until the connection module lands: its folding and current
// database entry points.
#ifndef DB_NAMES_PENDING_H
#define DB_NAMES_PENDING_H
#include <stdint.h>
#include <string>
typedef struct DB_INSTANCE DB_INSTANCE;
extern "C" {
char *db_identifier_to_lower(void *unused, char *text, int32_t size, int32_t by_codepage);
void DB_database_get_current(DB_INSTANCE *instance, char *name);
}
#endif
