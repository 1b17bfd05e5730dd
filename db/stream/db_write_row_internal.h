// The row buffers of a write stream (insert, update): one slot per column by
// engine type, the value-pointer and indicator arrays whose cells the
// statement's parameters stay bound to, and the shape parameter. A row is
// copied in with db_write_row_copy and the statement executed again; only
// shapes, annotation texts and blobs are bound per row.
//
// The shape parameter: an 8-byte header whose first bytes are two varLONGs
// (base/util/ve_varlong.h), the feature's number of points and its entity
// type, the rest of the header zero; then the feature's compressed bytes
// (base/util/ve_compress.h). Its length is the compressed size plus 8.
#ifndef DB_WRITE_ROW_INTERNAL_H
#define DB_WRITE_ROW_INTERNAL_H

#include <sql.h>
#include <sqlext.h>
#include <stddef.h>
#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"

typedef struct DB_STREAM DB_STREAM;
typedef struct DB_LOB_HANDLE DB_LOB_HANDLE;

#define DB_SHAPE_PARAM_HEADER 8 /* bytes before the compressed feature */
#define DB_ANNO_TEXT_SIZE 256   /* annotation text parameter: 255 characters and the NUL */

typedef struct DB_WRITE_ROW {
    int32_t column_count;
    const DB_COLUMN_DEF *columns; /* the caller's; not owned */
    int32_t spatial_position;     /* the shape column; -1 none */
    int32_t annotation;           /* the shape slot carries its own VE_ANNO */
    SQLSMALLINT date_sql_type;    /* how date columns bind: SQL_TYPE_DATE, _TIME or _TIMESTAMP */
    unsigned char *buffer;        /* the slots, zeroed; owned */
    size_t size;
    void **values;        /* per column, then the VE_ROW_ID slot when there is a shape */
    SQLLEN *indicators;   /* parallel: -1 NULL, -3 NUL-terminated, else a byte length */
    int32_t rowid_index;  /* the VE_ROW_ID entry of values; -1 none */
    unsigned char *shape; /* the shape parameter; grows, never shrinks; owned */
    size_t shape_capacity;
    SQLLEN shape_length;
    char anno_text[DB_ANNO_TEXT_SIZE];
    SQLLEN anno_indicator;
} DB_WRITE_ROW;

#ifdef __cplusplus
extern "C" {
#endif

/* Lays the row out for the columns (kept by pointer): slots rounded up to
 * multiples of 8, the VE_ROW_ID slot when spatial_position >= 0, the value
 * pointers set to the slots. A row laid out before is released first.
 * 0; -12; -56 for a string column of negative size; -114 for a type
 * outside 1 to 9 ("<caller>::Invalid column data type (%d)\n" on standard
 * error), nothing allocated then. */
int32_t db_write_row_layout(DB_WRITE_ROW *row, const char *caller, int32_t column_count,
                            const DB_COLUMN_DEF *columns, int32_t spatial_position,
                            int32_t annotation);
/* Frees what the row owns and clears it (spatial position and VE_ROW_ID
 * index back to -1). */
void db_write_row_free(DB_WRITE_ROW *row);

/* Copies a caller's row (one indicator per column, 1 NULL; one value
 * pointer per column) into the slots and indicator cells, and rebuilds the
 * shape parameter. 0; -12 when the shape parameter cannot grow; -66 for a
 * shape whose compressed bytes are unreadable (a length beyond the buffer's
 * capacity, or a point count of -2147483648); -134 for a shape without
 * compressed bytes; -114 ("S_copy_row_data::Invalid column data type (%d)\n"). */
int32_t db_write_row_copy(DB_WRITE_ROW *row, const int16_t *indicators, void *const *values);

/* Binds one input parameter of the statement in stmt to value and its
 * indicator cell by the column's engine type. A blob value (VE_BLOB_VALUE)
 * is first written into a new smart large object through the column's
 * large-object record lob (-65 without one) and the object's pointer is
 * bound. 0; -114 ("S_bind_column::Invalid column data type (%d)\n"); -12 or -51,
 * after which the statement is dropped (*stmt cleared) and, for a CLI
 * failure, the diagnostic is in the stream's extended error ("S_bind_column
 * Bind Error (%d).\n"). */
int32_t db_write_bind_column(DB_STREAM *stream, SQLHSTMT *stmt, int32_t param,
                             const DB_COLUMN_DEF *column, void *value, SQLLEN *indicator,
                             SQLSMALLINT date_sql_type, DB_LOB_HANDLE *lob);

/* The parameter number of column i of a row whose shape column is at
 * spatial_position (-1 none): the shape takes two parameters, its bytes and
 * its annotation text. */
int32_t db_write_param_number(int32_t i, int32_t spatial_position);

/* Prepares sql into *stmt (dropping what it held). 0; -37 (SQLSTATE
 * S0002); -38 (S0022); -51 for any other failure; the diagnostic goes into
 * the stream's extended error and the statement is dropped on failure. */
int32_t db_write_prepare(DB_STREAM *stream, SQLHSTMT *stmt, const char *sql);

/* Fills the CLI DATE, TIME or TIMESTAMP structure at out (chosen by the SQL
 * type, anything else a timestamp) from the engine date: year + 1900,
 * month + 1, the fraction 0. */
void db_tm_to_sql_struct(const VE_DATE *date, void *out, SQLSMALLINT sql_type);

#ifdef __cplusplus
}
#endif

#endif
