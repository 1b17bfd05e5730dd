// The library's side of the registration reader: the block-wise fetch of
// TABLE_REGISTRY rows with an optional condition, and the scan of the
// registrations of a set of ids.
#ifndef DB_REGISTRATION_INTERNAL_H
#define DB_REGISTRATION_INTERNAL_H

#include <stdint.h>

#include "base/util/ve_bitmap.h"
#include "db/version/db_registration.h"

/* Rows read per block fetch, and ids per query of the scan by ids. */
#define DB_REGISTRATION_ROWSET 100
#define DB_REGISTRATION_ID_BATCH 150

/* The process's one registration reader. With open set, runs the query of
 * every registration, restricted by the condition (SQL text without the word
 * WHERE; null for none; the caller's text goes in as it is), discarding a
 * query still open, and delivers its first record; with open clear, the next
 * record. Rows are fetched 100 at a time. NULL columns leave their fields
 * zero; permissions stay 0. The transaction is committed after each record
 * (on a connection that closes cursors at commit only once no block is left
 * to fetch). Returns 0; -4 after the last record (the reader then holds
 * nothing); -14 when no query is open; -12; -51 (connection's extended error
 * record filled; the reader holds nothing); -65 for a null record. */
int32_t db_registration_fetch(DB_INSTANCE *instance, int32_t open, const char *where,
                              REGISTRATION *out);

/* The registrations whose id bit is set (bit n - 1 for id n), in batches of
 * 150 ids, in id order within a batch. The ids are taken from the set at
 * open; next calls need no set. A null set at open reads every registration.
 * Returns as db_registration_fetch; -4 at open when no bit is set; -12 when
 * the ids cannot be kept. */
int32_t db_registration_scan_by_ids(DB_INSTANCE *instance, int32_t open, const VE_BITMAP *ids,
                                    REGISTRATION *out);

/* The host's registration of a table (its name as the statement gives it),
 * through the registration look-up of the instance open. Returns 0 with the
 * record filled; -220 when the table is not registered (also when the host
 * gave no look-up); -65; or the host's own code. */
int32_t db_registration_find_hook(DB_INSTANCE *instance, const char *table,
                                  REGISTRATION *registration);

#endif
