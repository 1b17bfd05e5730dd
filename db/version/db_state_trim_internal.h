// The statement step the state operations share: one statement in the open
// transaction, committed when asked, its failure mapped and reported.
#ifndef DB_STATE_TRIM_INTERNAL_H
#define DB_STATE_TRIM_INTERNAL_H

#include <stdint.h>

#include "db/version/db_state_trim.h"

/* Commit modes of db_execute_and_commit_dml: the state operations leave the
 * statement in the open transaction, the IMV view operations commit. */
#define DB_DML_COMMIT 1
#define DB_DML_KEEP_OPEN 2
#define DB_DML_COMMIT_VIEW 3

#ifdef __cplusplus
extern "C" {
#endif

/* Executes sql; modes 1 and 3 commit after it, also when it touched no row,
 * mode 2 leaves it in the open transaction. Returns 0 (also for no row);
 * -37 and -25 as the execution gave them; else -51 with the execution's
 * code as native error (or a failed commit's diagnostic) in the
 * connection's extended error record. A failure prints the text, the code
 * and the message through the debug output. Nothing is rolled back. */
int32_t db_execute_and_commit_dml(const char *sql, int32_t mode, const char *message);

#ifdef __cplusplus
}
#endif

#endif
