// Deletes from a multiversion table as seen from a state: a version written
// in the state is removed from the adds table, any other visible version
// (of the base table or of an ancestor state) is hidden by a row of the
// deletes table (its row id, the state it belongs to, the current state).
// Nothing is committed: the caller's transaction decides.
#ifndef DB_STATE_DELETE_H
#define DB_STATE_DELETE_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"
#include "db/version/db_mv_view.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Deletes the rows that the WHERE text (null or blank: every row; a
 * leading "where" is skipped) selects in the spec's state, read through
 * the view of the spec's first table. The stream's extended error is
 * cleared first and holds the diagnostic of a DBMS failure. 0 when at
 * least one row matched; -1002 when none did; -12; -25, -37, -38, -42, -51
 * (DBMS failures); -65; -66 or -322 for a name that cannot go into SQL;
 * the view builder's or the layer read's error. */
ZEL_API int32_t DB_stream_delete_state_where(DB_STREAM *stream, const REGISTRATION *registration,
                                             const char *where, const DB_MV_QUERY_INFO *spec);

#ifdef __cplusplus
}
#endif

#endif
