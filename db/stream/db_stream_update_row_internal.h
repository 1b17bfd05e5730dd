// The in-place UPDATE of one row by its row id, shared by the one-row update
// of a plain table and the update of a row version in its own state.
#ifndef DB_STREAM_UPDATE_ROW_INTERNAL_H
#define DB_STREAM_UPDATE_ROW_INTERNAL_H

#include <stdint.h>

#include "db/stream/db_stream_update_row.h"

#ifdef __cplusplus
#include <string>

/* Runs "UPDATE STATISTICS LOW FOR TABLE <table>" (not committed; its result
 * ignored), then builds into out "UPDATE <table> SET " and the optimizer
 * directive AVOID_FULL(<table>) in a comment, with every column of the
 * stream's row buffer but the last (" name = ?," each, a shape column " name = <constructor>,"
 * or left out without with_shape), ", VE_ROW_ID = ?" with rowid_flag and a
 * shape column set, and " WHERE <rowid_column> = ?" (with state_flag " AND
 * ZEL_STATE_ID = ?"). <table> is the stream's database:owner.table.
 * Parameters as db_update_plan (stream, with_shape, rowid_flag, 1) numbers
 * them; the state id takes next_param. 0; -66 when no column is left to
 * set; -1 when the layer's srid is not found; -322 for a name that is not
 * an identifier; -65. */
int32_t db_build_state_update_sql(DB_STREAM *stream, int32_t with_shape, int32_t state_flag,
                                  int32_t rowid_flag, std::string *out, const char *rowid_column);
#endif

#endif
