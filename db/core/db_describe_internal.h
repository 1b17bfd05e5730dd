// Descriptions of a table and of a prepared SELECT for the library's own
// streams, table DDL and registration code.
#ifndef DB_DESCRIBE_INTERNAL_H
#define DB_DESCRIBE_INTERNAL_H

#include <sql.h>

#include "db/core/db_describe.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Describes every column of a table (database:owner.table or shorter, the
 * current user as default owner) through the CLI's column catalogue, in
 * table order. The registration, when given, marks the row-id column and has
 * its layer's spatial column and its raster column marked. Outputs are
 * cleared first; the arrays hold *count entries. 0 (a missing table gives 0
 * columns); -12 (entries built so far stay with the caller); -37, -38 or -51
 * by the diagnostic (extended error record filled); -55 for a column type
 * without an engine type; -65 for a null argument; -66 for an over-long name. */
int32_t db_describe_table(DB_STREAM *stream, const REGISTRATION *registration, const char *table,
                          int16_t *count, DB_COLUMN_DEF **columns, int32_t **buffer_lengths,
                          int16_t **c_types);

/* Describes the result columns of a prepared statement. An unnamed VE_Area or
 * VE_Length column is named after its expression in the stream's select
 * list. 0; -12; -37, -38 or -51 by the diagnostic (record filled); -55;
 * -65; -112 when the statement has no result column (no arrays then). */
int32_t db_describe_select(DB_STREAM *stream, SQLHSTMT hstmt, int16_t *count,
                           DB_COLUMN_DEF **columns, int32_t **buffer_lengths, int16_t **c_types);

/* Row-id kinds: the first column named as the registration's row-id column
 * (when its object flag 1 is set) gets kind 1 (flag 2 set) or 2, every other
 * column kind 3. Names compare exactly, or without regard to case. */
void db_describe_set_rowid_kinds(const REGISTRATION *registration, int32_t count,
                                 DB_COLUMN_DEF *columns, int32_t ignore_case);

#ifdef __cplusplus
}
#endif

#endif
