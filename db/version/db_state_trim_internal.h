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

/* Runs sql in the open transaction and commits it for modes 1 and 3, also
 * when it touched no row. 0; -37 and -25 as the execution gave them; else
 * -51 with the execution's code as native error (or a failed commit's
 * diagnostic) in the connection's extended error record. Prints nothing. */
int32_t db_state_run_statement(const char *sql, int32_t mode);

#ifdef __cplusplus
}

#include <string>

/* The names the state operations write into their statements: the base
 * table and its adds, deletes and equivalence tables, and the row-id
 * column (checked as an identifier). */
struct DB_STATE_NAMES {
    std::string base, adds, deletes, equivalence, rowid;
};

/* 0; -66 for a name that cannot be made or a row-id column that is not an
 * identifier. Throws std::bad_alloc. */
int32_t db_state_names(DB_INSTANCE *instance, const REGISTRATION &registration,
                       DB_STATE_NAMES *names);

/* The multiversion view text of the registration's table under a state, as
 * a derived table or view name without its alias: the given kind over the
 * list as first lineage list, the row-id and state columns as the table's
 * columns, created when ZELEQUIVS is present. 0; the view builder's codes.
 * Throws std::bad_alloc. */
int32_t db_state_view_text(DB_INSTANCE *instance, const REGISTRATION &registration,
                           const DB_STATE_NAMES &names, int32_t kind, int32_t state_id,
                           int32_t start_id, const char *list, std::string *out);
#endif

#endif
