// Row pointers: one row of a table with a value buffer per column, sized by
// the column's engine type. The data streams bind these buffers to the
// database; the row stream buffer and the channel read and write them.
#ifndef VE_ROW_POINTERS_H
#define VE_ROW_POINTERS_H

#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/zel_export.h"

/* The value of a blob column: byte count and data block. */
typedef struct VE_BLOB_VALUE {
    int32_t byte_count;
    uint8_t *data;
} VE_BLOB_VALUE;

/* Indicator values set by the users of a row. */
#define VE_IND_NULL 1     /* the column is NULL */
#define VE_IND_VALUE 2    /* a value is present */
#define VE_IND_NO_SHAPE 3 /* a shape column without a shape */

/* One row. Start zeroed; VES_allocate_row_pointers builds the arrays and
 * buffers for column_count columns, VES_free_row_pointers releases them. */
typedef struct VE_ROW_POINTERS {
    int16_t column_count;
    DB_COLUMN_DEF *columns; /* the caller's; read for type and size */
    int16_t *indicators;    /* one per column */
    void **values;          /* where each column's value is; first its buffer */
    void **buffers;         /* the buffers this record owns, one per column */
    /* Set and owned by the row stream buffer; the functions here leave
     * them alone. */
    int16_t aux_count; /* auxiliary longs that travel before the values */
    int32_t *aux_longs;
    int32_t *shape_masks; /* per column, to size a received shape's buffer */
} VE_ROW_POINTERS;

#ifdef __cplusplus
extern "C" {
#endif

/* Releases what the row holds, then gives it an indicator, a value-pointer
 * and a buffer array and a zero-filled value buffer per column (a blob column
 * also a data block of blob_size bytes when blob_size > 0). Returns 0; -65
 * for a null row; -66 for a negative column count or missing column
 * definitions; -999 out of memory; -107 for a column type outside 1 to 9.
 * After a failure the row keeps what was built; VES_free_row_pointers
 * releases it. */
ZEL_API int32_t VES_allocate_row_pointers(VE_ROW_POINTERS *row, int32_t blob_size);
/* Releases the arrays and every buffer with what it owns (a shape's arrays,
 * a blob's data) and clears the pointers, so a second call does nothing. */
ZEL_API void VES_free_row_pointers(VE_ROW_POINTERS *row);

#ifdef __cplusplus
}
#endif

#endif
