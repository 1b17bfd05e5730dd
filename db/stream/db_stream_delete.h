// Deletes that take a bare WHERE text or a list of row ids, and the
// envelope of a list of row ids. A plain table's rows go with one DELETE
// per WHERE text, committed by its execution; an id list is cut into IN
// lists of at most 150 ids. A multiversion table's rows are deleted as
// seen from a state (db_state_delete.h), a list of more than 150 ids
// through a temporary log of the ids.
#ifndef DB_STREAM_DELETE_H
#define DB_STREAM_DELETE_H

#include <stdint.h>

#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "db/core/db_stream.h"
#include "db/version/db_mv_view.h"
#include "mox/mox_types.h"

/* Ids in one IN list. */
#define DB_DELETE_MAX_IN_IDS 150

#ifdef __cplusplus
extern "C" {
#endif

/* Deletes from the table (database:owner.table as the caller qualifies it)
 * every row the WHERE text selects; a leading "where " is skipped, and no
 * condition left (null, blanks, "where " alone) deletes every row. The
 * DELETE is committed. 0; -1002 when no row matched (nothing deleted);
 * by the failure's SQLSTATE -38 (S0022), -42 (37000; the stream's extended
 * error filled), -25 (42000), -37 (S0002), else -51 (filled); the
 * prepare's -37, -38 or -51; -12; -65; -66 or -322 for a table name that
 * cannot go into SQL. */
ZEL_API int32_t DB_stream_delete_where(DB_STREAM *stream, const char *table, const char *where);

/* Deletes the rows of a plain registered table by the ids of its row query
 * column, one committed DELETE per 150 ids: a failing batch ends the
 * deletes, the batches before it stay deleted. 0 when some batch deleted a
 * row, or for no ids; -1002 when none did; the first other error; -65; -66
 * for a negative count; the row query column's error (-186 none). */
ZEL_API int32_t DB_stream_delete_by_ids(DB_STREAM *stream, const REGISTRATION *registration,
                                        const int32_t *ids, int32_t count);

/* Deletes the rows with the ids of the registration's row-id column from a
 * multiversion table as seen from the spec's state (the spec is not
 * changed). Up to 150 ids go into an IN list, more into a temporary log,
 * deleted again on every path. Nothing is committed. 0 when a row
 * matched, or for no ids (no SQL); -1002 when none did; -66 for a
 * negative count, or for more than 150 ids with a view kind other than 2
 * to 5 (only those views restrict their rows to the log's ids); -65; the codes of
 * DB_stream_delete_state_where; the log functions' error. */
ZEL_API int32_t DB_stream_delete_state_by_ids(DB_STREAM *stream, const REGISTRATION *registration,
                                              const int32_t *ids, int32_t count,
                                              const DB_MV_QUERY_INFO *spec);

/* The envelope, in the layer's system units, of the shapes of the rows with
 * the ids of the registration's row query column; empty (2147483647,
 * 2147483647, 0, 0) when no row has a shape, and always when the row query
 * column is the layer's spatial column. 0; the row query column's error;
 * an envelope computation's error (the connection's extended error copied
 * into the stream's); a coordinate conversion's mapped error; -65; -66 for
 * a negative count. */
ZEL_API int32_t DB_envelope_get_id_list(DB_STREAM *stream, const REGISTRATION *registration,
                                        const LAYER *layer, const int32_t *ids, int32_t count,
                                        ENVELOPE *envelope);

#ifdef __cplusplus
}
#endif

#endif
