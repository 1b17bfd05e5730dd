// The steps of the row-id column shared with the layer code: the numbering
// of a table's row-id column through its renumbering procedure, and the free
// of described index definitions.
#ifndef DB_ROWID_COLUMN_INTERNAL_H
#define DB_ROWID_COLUMN_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_index_def.h"
#include "db/version/db_rowid_column.h"

/* Rows numbered by one call of the renumbering procedure; also the step of
 * the start id between calls. */
#define DB_ROWID_BATCH_ROWS 50000

#ifdef __cplusplus
extern "C" {
#endif

/* Numbers the rows of the registration's table through the procedure (made
 * by db_table_create_rowid_update_proc): the ROWIDs are read in ascending
 * order and cut into runs of 50,000 rows; run i is numbered from minimum_id
 * + 50,000 x i upward by one call, committed on its own. Returns 0 (also
 * for an empty table, with no call); -51 with the connection's extended
 * error record filled (a failed read, fetch, call or commit: the runs
 * before it stay numbered); -65; -66 or -322 for names that are not
 * identifiers; -12. */
int32_t db_execute_rowid_update(const REGISTRATION *registration, const char *procedure);

/* Frees count index definitions with all their blocks, then the array;
 * null ignored. */
void db_rowid_bind_free(DB_INDEX_DEF *indexes, int32_t count);

#ifdef __cplusplus
}
#endif

#endif
