// The IMV view of a multiversioned table for the host: the view named by the
// registration's IMV view name, through which the table is read in the
// connection's current version, with its descending id sequence R<id>
// (2147483647 down to 2136997887, the ids kept for rows inserted through
// the view) and its insert, delete and update triggers V<id>_INSERT,
// V<id>_DELETE and V<id>_UPDATE. Every statement commits on its own.
#ifndef DB_IMV_H
#define DB_IMV_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Makes the view, its sequence and its three triggers, in that order; when
 * the sequence or a trigger fails, the view and the sequence are dropped
 * again. Every text is built before anything runs: a view whose trigger
 * texts cannot be made (none are built yet) is refused with -1008 and
 * nothing is made. Returns 0; -178 for a registration that is not
 * multiversioned; -1008; the layer read's, the table description's and the
 * text builders' codes; -37, -25 or -51 of a failing statement (the
 * connection's extended error record as the statement left it); -65. */
ZEL_API int32_t DB_registered_table_create_imv_view(DB_INSTANCE *instance,
                                                    const REGISTRATION *registration);

/* Drops the view (with its triggers) and its sequence; both drops run and
 * the first failure is the result. Returns 0; -178; -37, -25 or -51; -65;
 * -66 or -322 for an owner or view name that is not an identifier (nothing
 * run). */
ZEL_API int32_t DB_registered_table_delete_imv_view(DB_INSTANCE *instance,
                                                    const REGISTRATION *registration);

#ifdef __cplusplus
}
#endif

#endif
