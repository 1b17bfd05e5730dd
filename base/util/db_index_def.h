// An index definition of a user table: what the table description returns,
// what index creation takes, and what the channel carries (its own codec,
// field by field). Callers handle arrays of them.
#ifndef DB_INDEX_DEF_H
#define DB_INDEX_DEF_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DB_INDEX_MAX_COLUMNS 16     /* key columns of one index */
#define DB_INDEX_COLUMN_NAME_LEN 33 /* room of a column name, terminator included */
#define DB_INDEX_NAME_LEN 32

typedef struct DB_INDEX_DEF {
    int16_t column_count; /* key columns, 1 to DB_INDEX_MAX_COLUMNS */
    char **column_names;  /* column_count names */
    char index_name[DB_INDEX_NAME_LEN];
    int32_t unique;     /* 1 unique, 0 not */
    int32_t *ascending; /* per key column: 1 ascending, any other value descending */
} DB_INDEX_DEF;

#ifdef __cplusplus
}
#endif

#endif
