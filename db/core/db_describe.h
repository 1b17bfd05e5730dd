// Descriptions of a table, of a prepared SELECT and of a chosen list of
// columns as arrays of DB_COLUMN_DEF (base/util/db_column_def.h), with the
// bind buffer length and C type of every column beside them. The streams,
// the table DDL and the registration code describe the tables they work on
// here. Every array handed out is a C heap block the caller frees with free.
#ifndef DB_DESCRIBE_H
#define DB_DESCRIBE_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;
typedef struct REGISTRATION REGISTRATION;
typedef struct LAYER LAYER;

#ifdef __cplusplus
extern "C" {
#endif

/* Describes the named columns of a table, in the order given, by preparing a
 * SELECT of them. With a stream, the bind buffer lengths and C types are kept
 * in the stream (replacing earlier ones); the stream's spatial column becomes
 * a shape (its entry in *layers, when asked for, the stream's layer) and its
 * raster column a raster, as the registration's flags say. The caller frees
 * *columns and *layers. 0; -12; -25, -37, -38 by the prepare's SQLSTATE; -51
 * (connection's record filled); -55; -65; -66 for a count below 1; -999 when
 * the SELECT text cannot be built. */
ZEL_API int32_t DB_table_get_column_defs(DB_INSTANCE *instance, DB_STREAM *stream,
                                         const char *table, const REGISTRATION *registration,
                                         int16_t count, const char *const *names,
                                         DB_COLUMN_DEF **columns, LAYER ***layers);

#ifdef __cplusplus
}
#endif

#endif
