// Column types: the C type a CLI SQL type is bound with, the engine column
// definition (base/util/db_column_def.h) of a column the DBMS described, and
// the ST geometry type of a column found in the DBMS's extended-type
// catalogue. The table and select descriptions (db_describe.h) build on these.
#ifndef DB_COLUMN_TYPE_INTERNAL_H
#define DB_COLUMN_TYPE_INTERNAL_H

#include <stdint.h>

#include "base/util/db_column_def.h"

typedef struct DB_STREAM DB_STREAM;

/* Bind buffer of a binary or ST column. */
#define DB_BINARY_BUFFER_LENGTH 60000
/* ST type code before a lookup: no ST type. */
#define DB_ST_TYPE_NONE (-10000)
/* ST type code of a column whose extended type is not an ST type. */
#define DB_ST_TYPE_OTHER (-101)

#ifdef __cplusplus
extern "C" {
#endif

/* Writes the ODBC C type that binds a value of the SQL data type (0 when
 * there is none). 0, or -65 for a null output. */
int32_t db_sql_type_to_c_type(int16_t sql_type, int16_t *c_type);

/* Fills *def (name, type, size, decimal digits, nulls allowed; the row-id
 * kind is left as it is), the bind buffer length and the bind C type of one
 * described column. An ST type code of 20 to 31 makes the column that ST
 * type. 0; -55 for an SQL type without an engine type (message printed);
 * -65 for a null argument. Negative sizes count as 0. */
int32_t db_map_dbms_to_zel_type(const char *name, int16_t sql_type, int32_t length,
                                int32_t column_size, int16_t decimal_digits, int16_t nullable,
                                DB_COLUMN_DEF *def, int32_t *buffer_length, int16_t *c_type,
                                int32_t st_type);

/* For a column of SQL type -101, sets *st_type to its ST type code (20 to
 * 31), or to -101 when its extended type is none of the ST types; any other
 * SQL type leaves *st_type as it is. column may be owner.table.column; parts
 * it lacks come from owner and table. 0; -66 without a table or column name;
 * -65 for a null output; -51 when the catalogue query fails (no extended
 * error record is filled). */
int32_t db_get_column_st_type(DB_STREAM *stream, const char *owner, const char *table,
                              const char *column, int16_t sql_type, int32_t *st_type);

#ifdef __cplusplus
}
#endif

#endif
