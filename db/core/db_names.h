// Qualified names as hosts build and split them: the name of a layer's table,
// a table name from its parts, and the parsers of names written by users.
// Names take the form database:owner.table. Parsers refuse over-long parts
// (-66). The builders of every engine object name are in
// db/core/db_names_internal.h.
#ifndef DB_NAMES_H
#define DB_NAMES_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct LAYER LAYER;

// The widths of names (DB_NAME_*_SIZE, DB_QUALIFIED_NAME_SIZE) are in
// base/util/db_name_sizes.h.

// The layer's qualified table name, written into a buffer of
// DB_QUALIFIED_NAME_SIZE bytes; nothing without both.
ZEL_API void DB_get_qualify_table_name(const LAYER *layer, char *out);

// database:owner.table from the parts and a table spec, written into a buffer
// of DB_QUALIFIED_NAME_SIZE bytes; nothing without out or spec.
ZEL_API void DB_table_make_name(const char *database, const char *owner, const char *spec,
                                char *out);

// Splits database:owner.table, owner.table or table into buffers of
// DB_NAME_DATABASE_SIZE, DB_NAME_OWNER_SIZE and DB_NAME_TABLE_SIZE bytes.
// Returns 0, -65 for a null name or output, -66 for an over-long part
// (outputs then empty).
ZEL_API int32_t DB_table_parse_name(DB_INSTANCE *instance, const char *name, char *database,
                                    char *owner, char *table);
// Splits database:owner.table.column and its shorter forms; database may be
// null. Column buffer DB_NAME_COLUMN_SIZE bytes. Returns 0, -65 or -66.
ZEL_API int32_t DB_column_parse_name(DB_INSTANCE *instance, const char *name, char *database,
                                     char *owner, char *table, char *column);
// Splits owner.name at the last point (owner DB_NAME_OWNER_SIZE, name
// DB_NAME_VERSION_SIZE bytes). Returns 0, -65 or -66.
ZEL_API int32_t DB_version_parse_name(DB_INSTANCE *instance, const char *name, char *owner,
                                      char *version);

#endif
