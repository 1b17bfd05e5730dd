// The library's side of the state lists: the threshold from which a list
// goes through a log.
#ifndef DB_STATE_LINEAGE_INTERNAL_H
#define DB_STATE_LINEAGE_INTERNAL_H

#include <stdint.h>

#include "db/version/db_state_lineage.h"

/* The threshold: ZELTHRESHOLD as "%d" on first use, 0 when absent,
 * unreadable or negative, at most 999; kept for the process. */
int32_t db_state_list_threshold(void);

/* Forgets the threshold so that the next use reads ZELTHRESHOLD again (for
 * tests). */
void db_state_list_threshold_forget(void);

#endif
