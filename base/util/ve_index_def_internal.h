// Building and freeing index definitions in the one block layout that
// base/util/ve_index_def.h promises the host, whoever makes them (the table
// description, the channel's readers).
#ifndef VE_INDEX_DEF_INTERNAL_H
#define VE_INDEX_DEF_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_index_def.h"

/* Gives a definition its two arrays of DB_INDEX_MAX_COLUMNS entries (zeroed,
 * no key column yet); the rest of the record is left as it is. 0, or -12
 * when memory runs out (the record then holds what was allocated, for
 * ves_index_defs_free). */
int32_t ves_index_def_alloc(DB_INDEX_DEF *def);

/* Appends a key column: a new 33-byte block holding name (cut to 32
 * characters) and its order value. 0; -66 when the definition already has
 * DB_INDEX_MAX_COLUMNS columns; -65 when it has no arrays or name is null;
 * -12 when memory runs out. */
int32_t ves_index_def_add_column(DB_INDEX_DEF *def, const char *name, int32_t order);

/* Frees every block of count definitions and the array itself; null ignored. */
void ves_index_defs_free(DB_INDEX_DEF *defs, int32_t count);

#endif
