// An index definition of a user table: what the table description hands the
// host, what the index creation takes back, and what the channel carries
// (its own codec). Callers handle arrays of them.
//
// Every DB_INDEX_DEF the library hands out, whether described from the
// database (DB_table_describe_indexes) or received from a peer
// (CH_read_index_def and the transports' index reads), has the same blocks:
// the array of definitions; per definition a column_names array and a
// column_order array of DB_INDEX_MAX_COLUMNS entries each; and one block per
// key column name (the entries past column_count are null). The holder frees
// them all with the C heap's free: each of the DB_INDEX_MAX_COLUMNS names,
// then column_names and column_order, then the array.
#ifndef VE_INDEX_DEF_H
#define VE_INDEX_DEF_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DB_INDEX_MAX_COLUMNS 16
#define DB_INDEX_COLUMN_NAME_SIZE 33 /* 32 characters and the terminator */
#define DB_INDEX_NAME_SIZE 32

/* Value of a column's order meaning ascending; any other is descending. */
#define DB_INDEX_ASCENDING 1

typedef struct DB_INDEX_DEF {
    int16_t column_count; /* key columns, 1 to DB_INDEX_MAX_COLUMNS */
    char **column_names;  /* DB_INDEX_MAX_COLUMNS pointers to 33-byte names */
    char index_name[DB_INDEX_NAME_SIZE];
    int32_t unique;        /* 1 unique, 0 not */
    int32_t *column_order; /* DB_INDEX_MAX_COLUMNS values, DB_INDEX_ASCENDING or other */
} DB_INDEX_DEF;

#ifdef __cplusplus
}
#endif

#endif
