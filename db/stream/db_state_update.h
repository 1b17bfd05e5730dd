// The update of a multiversion table through a state, after one of the
// set-ups of db_state_write_buffer.h: the matching row versions are read
// through the state's view; a version written in the state is updated in
// place in the adds table, any other gets a new version in the adds table
// (the caller's values over the old version's) and is hidden by a deletes
// row. Nothing here commits but the insert streams' own transaction rule.
#ifndef DB_STATE_UPDATE_H
#define DB_STATE_UPDATE_H

#include <stdint.h>

#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"
#include "db/version/db_mv_view.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Applies the caller's row (indicators, 1 NULL; value pointers by column,
 * in row mode the last one the row's id) to the rows the set-up selects,
 * read in the spec's state through the view of its first table. Once per
 * set-up for an update by condition or of one row, once per row for the
 * row and ordered set-ups (the same spec every call). A positive
 * log_descriptor becomes the stream's automatic log when it has none.
 * 0; -1005 when an update by condition or of one row matched nothing (the
 * row and ordered set-ups answer 0); -301 when an ordered update meets
 * another row id than the caller's; -66 for a stream not set up, a spec
 * without tables or no column left to update; -65; -12; a failed fetch's,
 * set-up's or write's code (the rows before stay written, the stream's
 * extended error holds the diagnostic). */
ZEL_API int32_t DB_stream_execute_update_state(DB_STREAM *stream, const REGISTRATION *registration,
                                               DB_MV_QUERY_INFO *spec, const int16_t *indicators,
                                               void *const *values, int32_t log_descriptor);

#ifdef __cplusplus
}
#endif

#endif
