// The library's side of a query's execution: the hidden columns, the
// envelope pre-filter with its search shape, and the execute with the
// columns bound; the row fetch (db_stream_fetch.cpp) executes a query with a
// search envelope through db_execute_sql at its first fetch.
#ifndef DB_STREAM_EXECUTE_INTERNAL_H
#define DB_STREAM_EXECUTE_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_feature.h"
#include "db/stream/db_stream_execute.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Binds the result columns for block fetch (describing the query first when
 * the host did not) and executes. 0; -12; -37 (S0002, 42704), -42 (37000),
 * -51 with the statement freed; a set-up failure of the array fetch. */
int32_t db_execute_sql(DB_STREAM *stream);

/* The search shape of a box in system units, in the form the SQL
 * constructors take: an 8-byte prefix (varLONG point count, varLONG entity
 * type of the geometry module: point 1, simple line 4, area 8) and the
 * compressed feature. A box of no width and height is a point, of one zero
 * extent a two-point line from (minx, miny), else the rectangle. *out is a C
 * heap block of *length bytes grown as needed (*capacity its room). 0; -12;
 * -65; a mapped geometry failure. */
int32_t db_search_shape_param(COORDREF *coordref, const ENVELOPE *box, uint8_t **out,
                              int32_t *capacity, int32_t *length);

#ifdef __cplusplus
}
#endif

#endif
