// The multiversion description of a query: which state the query reads its
// versioned tables in, through which kind of view, and the tables
// themselves. Hosts and the library's own query code fill it; the view
// builder (db_mv_view_internal.h) turns each table into the FROM item that
// shows the table as the query's state sees it.
#ifndef DB_MV_VIEW_H
#define DB_MV_VIEW_H

#include <stdint.h>

#include "base/util/ve_loginfo.h"

#define DB_MV_NAME_SIZE 32 /* row-id column and alias, terminator included */

/* View kinds. */
#define DB_MV_NONE 0           /* the tables are read as they are */
#define DB_MV_STANDARD 2       /* the rows of the query's state */
#define DB_MV_STANDARD_OTHER 3 /* the same view */
#define DB_MV_UPDATE_CHANGES 4 /* rows a lineage updated */
#define DB_MV_DELETE_CHANGES 5 /* rows a lineage deleted */
#define DB_MV_DIFFERENCE_FIRST 6
#define DB_MV_DIFFERENCE_LAST 10
#define DB_MV_CURRENT_ADDS 11 /* the adds rows the lineage did not delete */

/* One table of the query. */
typedef struct DB_MV_TABLE_INFO {
    const char *table_name;  /* as the query gives it: [database:][owner.]table */
    int32_t registration_id; /* the n of A<n>, D<n>, E<n> and of the view names */
    char rowid_column[DB_MV_NAME_SIZE];
    const char *const *column_names; /* the table's columns (or select items) */
    int16_t column_count;
    char alias[DB_MV_NAME_SIZE]; /* the table's name in the query; may be empty */
} DB_MV_TABLE_INFO;

/* The query. The lineage lists are SQL that fits inside "IN (" and ")": a
 * SELECT of lineage ids or a literal list. */
typedef struct DB_MV_QUERY_INFO {
    int32_t kind;          /* DB_MV_* */
    int32_t state_id;      /* the query's state */
    int32_t diff_state_id; /* the state compared with (difference kinds) */
    int32_t lineage_id;
    int32_t start_id;
    const char *lineage;     /* the lineage of the query's state */
    const char *lineage2;    /* change and difference kinds */
    const char *sub_lineage; /* or null */
    const char *lineage4;    /* or null */
    int32_t reserved;
    DB_MV_TABLE_INFO *tables; /* one per table of the query, by position */
    int32_t table_count;
    const LOGFILE *logfile; /* the log whose ids restrict the query, or null */
} DB_MV_QUERY_INFO;

#endif
