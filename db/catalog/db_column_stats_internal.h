// The library's side of the column statistics (db_column_stats.h): the
// commit that records its failure.
#ifndef DB_COLUMN_STATS_INTERNAL_H
#define DB_COLUMN_STATS_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_column_stats.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Commits. 0; -51 with the connection's extended error record filled. */
int32_t db_commit_or_error(void);

#ifdef __cplusplus
}
#endif

#endif
