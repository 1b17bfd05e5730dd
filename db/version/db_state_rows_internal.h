// What the row operations on states share (copying rows between states,
// restoring rows, row equivalence): the working log of a set of row ids,
// the data table its ids are read from, and view texts of a state that
// remember which state the lineage setter must show before a statement
// reads them.
#ifndef DB_STATE_ROWS_INTERNAL_H
#define DB_STATE_ROWS_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_loginfo.h"
#include "db/version/db_state_rows.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Puts the ids (those below 1 skipped) into a new temporary log of the
 * registration's table and closes it: *out is the log as stored, its data
 * id the key of its id rows. 0; the log system's codes (a log that could
 * not be filled or closed is deleted again); -66 for names that cannot be
 * made. */
int32_t db_registered_table_make_id_logfile(const REGISTRATION *registration, const int32_t *ids,
                                            int32_t count, LOGFILE *out);

#ifdef __cplusplus
}

#include <string>
#include <vector>

#include "db/version/db_state_trim_internal.h"

/* The data table holding the log's ids, from the log's own name (the
 * log's owner, not the table's); empty when the name does not parse. */
std::string db_state_log_data_table(const LOGFILE &log);

/* A standard view text of the registration's table under one state,
 * whole (a FROM item ending in its alias), with what its lineage setter
 * needs. */
struct DB_STATE_VIEW {
    int32_t state_id = 0;
    const LOGFILE *log = nullptr;
    std::string text;
};

/* Builds the text: the lineage as first list, the log (or null) restricting
 * it, the alias and the columns as the table's, created when it is a
 * stored view that does not exist yet. 0; -66 for an alias that is not an
 * identifier of at most 31 characters; the view builder's codes. Throws
 * std::bad_alloc. */
int32_t db_state_view_build(DB_INSTANCE *instance, const REGISTRATION &registration,
                            const DB_STATE_NAMES &names, int32_t state_id, const char *lineage,
                            const LOGFILE *log, const std::string &alias,
                            const std::vector<std::string> &columns, DB_STATE_VIEW *out);

/* Runs the statement in the open transaction (db_execute_and_commit_dml,
 * its message on failure), first showing the view's state through the
 * table's lineage setter when a view is given: a lineage list may read the
 * state through the table's getters, and another view's build may have
 * moved them since. 0 or the setter's or the statement's code. */
int32_t db_state_run_with_view(const REGISTRATION &registration, const DB_STATE_VIEW *view,
                               const std::string &sql, const char *message);

/* Deletes a working log; a failure is only printed when report is set. */
void db_state_drop_log(const char *name, bool report);
#endif

#endif
