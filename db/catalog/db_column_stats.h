// Statistics of one column over the rows a query's tables and condition
// select (optionally restricted to a log file's rows, versioned tables read
// as the query's state sees them): minimum, average, maximum, standard
// deviation and row count computed by the DBMS, and the distinct values
// with how often each occurs, read sorted and counted here. Beside them the
// emptying of a layer's spatial column.
#ifndef DB_COLUMN_STATS_H
#define DB_COLUMN_STATS_H

#include <stdint.h>

#include "base/util/ve_date.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_queryinfo.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/version/db_mv_view.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Bits of the statistics mask. */
#define DB_STATS_MIN 1
#define DB_STATS_AVG 2
#define DB_STATS_MAX 4
#define DB_STATS_STDDEV 8
#define DB_STATS_COUNT 16
#define DB_STATS_DISTINCT 32

/* Engine types of distinct values. */
#define DB_STATS_TYPE_INTEGER 2
#define DB_STATS_TYPE_DOUBLE 4
#define DB_STATS_TYPE_STRING 5
#define DB_STATS_TYPE_DATE 7

/* One distinct value and how often it occurs. */
typedef struct DB_STATS_VALUE {
    int32_t occurrences;
    union {
        int32_t integer;
        double real;
        char *string; /* its own buffer of the column's size plus one */
        VE_DATE date;
    } value;
} DB_STATS_VALUE;

/* The distinct values in ascending order. */
typedef struct DB_DISTINCT_LIST {
    int32_t count;
    int32_t type; /* DB_STATS_TYPE_* */
    DB_STATS_VALUE *values;
} DB_DISTINCT_LIST;

typedef struct DB_TABLE_STATS {
    int32_t count;
    double minimum;
    double average;
    double maximum;
    double deviation;
    DB_DISTINCT_LIST *distinct; /* with DB_STATS_DISTINCT; DB_table_stats_free */
} DB_TABLE_STATS;

#ifdef __cplusplus
extern "C" {
#endif

/* Fills the record (cleared first) with the statistics the mask asks for.
 * maximum_distinct of 1 or more limits the distinct values: -1003 when
 * there are more, with the list filled up to the limit. *column_size gets
 * the distinct values' column size. Returns 0; -1003; -38 for a missing
 * column; -103 for the layer's spatial column or a type the aggregates
 * cannot take; -104 for a type whose distinct values cannot be read; -42;
 * -37; -12; -51 (connection's extended error record filled); -65; -66 or
 * -322 for a name that cannot go into SQL. */
ZEL_API int32_t DB_table_calculate_stats(DB_INSTANCE *instance, const char *column, int32_t mask,
                                         const VE_SQL_CONSTRUCT *construct,
                                         int32_t maximum_distinct, int32_t *column_size,
                                         DB_TABLE_STATS *stats);

/* The same over the rows of the log (or null), the registered tables read
 * through the description's views. */
ZEL_API int32_t DB_table_calculate_stats_by_logfile(DB_INSTANCE *instance, const char *column,
                                                    int32_t mask, const VE_SQL_CONSTRUCT *construct,
                                                    DB_MV_QUERY_INFO *info, const LOGFILE *log,
                                                    int32_t maximum_distinct, int32_t *column_size,
                                                    DB_TABLE_STATS *stats);

/* Frees the record's distinct-value list and its strings; null is ignored. */
ZEL_API void DB_table_stats_free(DB_TABLE_STATS *stats);

/* Sets the layer's spatial column and VE_ROW_ID to NULL in the rows the
 * condition (or null: all) selects, and in the adds table of a versioned
 * registration; each statement committed. Every statement runs; the first
 * failure is returned. -12; -65; -66 or -322 for a name that is not one. */
ZEL_API int32_t DB_layer_null_spatial_column(DB_INSTANCE *instance, const LAYER *layer,
                                             const REGISTRATION *registration, const char *where);

#ifdef __cplusplus
}
#endif

#endif
