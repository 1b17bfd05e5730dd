// Column definition of a table or a select list, and the engine's column type
// codes. The data streams size their value buffers by these types, the table
// description fills them, and the channel sends them as name, type, size,
// decimal digits, nulls allowed and row-id kind (its own codec).
#ifndef DB_COLUMN_DEF_H
#define DB_COLUMN_DEF_H

#include <stdint.h>

#include "base/util/db_name_sizes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Engine column types. The date type is named VE_DATE_TYPE because VE_DATE
 * names the date value record (base/util/ve_date.h). */
#define VE_SMALLINT 1
#define VE_INTEGER 2
#define VE_FLOAT 3
#define VE_DOUBLE 4
#define VE_STRING 5
#define VE_BLOB 6
#define VE_DATE_TYPE 7
#define VE_SHAPE 8
#define VE_RASTER 9
#define VE_POINT 20
#define VE_CURVE 21
#define VE_LINESTRING 22
#define VE_SURFACE 23
#define VE_POLYGON 24
#define VE_GEOMETRYCOLLECTION 25
#define VE_MULTISURFACE 26
#define VE_MULTICURVE 27
#define VE_MULTIPOINT 28
#define VE_MULTILINESTRING 29
#define VE_MULTIPOLYGON 30
#define VE_GEOMETRY 31

/* Row-id kinds of a column. */
#define DB_ROWID_ENGINE 1 /* the registered row-id column, maintained by the engine */
#define DB_ROWID_USER 2   /* the registered row-id column, maintained by the user */
#define DB_ROWID_NONE 3   /* any other column */

typedef struct DB_COLUMN_DEF {
    char name[DB_NAME_COLUMN_SIZE]; /* NUL-terminated, at most 31 characters */
    int32_t type;                   /* engine column type */
    int32_t size;                   /* precision or length; 0 for dates, shapes, rasters */
    int16_t decimal_digits;         /* scale; 0 where the type has none */
    int32_t nulls_allowed;          /* 1 when the column accepts NULL */
    int16_t rowid_kind;             /* DB_ROWID_* */
} DB_COLUMN_DEF;

/* An input descriptor of a statement's parameters: an engine column type and
 * its width, as the channel carries them. */
typedef struct VE_INPUT_DESC {
    int32_t type; /* engine column type */
    int32_t width;
} VE_INPUT_DESC;

#ifdef __cplusplus
}
#endif

#endif
