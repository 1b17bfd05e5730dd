// Index definition of a user table: what the host receives from the index
// description, sends back to have indexes made, and what the channel carries
// (its own codec, field by field). The table index code (db/catalog) reads
// and writes it.
#ifndef DB_INDEX_DEF_H
#define DB_INDEX_DEF_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DB_INDEX_MAX_COLUMNS 16      /* key columns of one index */
#define DB_INDEX_COLUMN_NAME_SIZE 33 /* a key column's name block: 32 characters and the NUL */
#define DB_INDEX_NAME_SIZE 32        /* an index name: 31 characters and the NUL */

/* Column order values. */
#define DB_INDEX_ASCENDING 1 /* any other value: descending */

/* One index. column_names points at DB_INDEX_MAX_COLUMNS pointers, each to a
 * block of DB_INDEX_COLUMN_NAME_SIZE bytes (the first column_count are used);
 * column_order at DB_INDEX_MAX_COLUMNS values. A described definition owns
 * both arrays and every name block, all from the C heap. */
typedef struct DB_INDEX_DEF {
    int16_t column_count; /* 1 to DB_INDEX_MAX_COLUMNS */
    char **column_names;
    char index_name[DB_INDEX_NAME_SIZE];
    int32_t unique; /* 1 unique, 0 not */
    int32_t *column_order;
} DB_INDEX_DEF;

#ifdef __cplusplus
}
#endif

#endif
