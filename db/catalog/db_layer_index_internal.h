// The library's side of a layer's indexes and trigger (db_layer_index.h):
// the switches of a named trigger, which nothing calls yet.
#ifndef DB_LAYER_INDEX_INTERNAL_H
#define DB_LAYER_INDEX_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_layer_index.h"

#ifdef __cplusplus
extern "C" {
#endif

/* "SET TRIGGERS <name>_<number> ENABLED" (or DISABLED), committed. 0; the
 * statement's code (disable: -51 with the code as native error); -65; -66
 * or -322 for a name that is not an identifier. */
int32_t db_enable_user_trigger(const char *name, int32_t number);
int32_t db_disable_user_trigger(const char *name, int32_t number);

#ifdef __cplusplus
}
#endif

#endif
