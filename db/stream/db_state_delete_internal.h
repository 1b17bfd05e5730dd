// The two steps of a delete through a state, shared by the delete by WHERE
// text and the delete by id list: the rows are read through the state's
// view in rowsets, the versions of the current state are gathered as
// (row id, state) pairs and deleted from the adds table 150 at a time in
// one row-value IN list, the others are hidden by deletes rows written as
// parameter arrays of up to 100; the finish writes what is still pending
// and frees the statements. One work record per delete call, zeroed by the
// caller.
#ifndef DB_STATE_DELETE_INTERNAL_H
#define DB_STATE_DELETE_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_registration.h"
#include "db/version/db_mv_view.h"

typedef struct DB_STREAM DB_STREAM;

#define DB_STATE_DELETE_ROWSET 100 /* rows read per fetch */
#define DB_STATE_DELETE_ARRAY 100  /* deletes rows per INSERT array */
#define DB_STATE_DELETE_PAIRS 150  /* adds versions per DELETE */

typedef struct STATE_DELETE_WORK {
    int32_t names_made;
    char adds_table[DB_QUALIFIED_NAME_SIZE];
    char base_table[DB_QUALIFIED_NAME_SIZE];
    char deletes_table[DB_QUALIFIED_NAME_SIZE];
    /* The rowset of the SELECT through the view. */
    SQLHSTMT select_stmt;
    SQLINTEGER row_ids[DB_STATE_DELETE_ROWSET];
    SQLLEN row_id_lengths[DB_STATE_DELETE_ROWSET];
    SQLINTEGER shape_ids[DB_STATE_DELETE_ROWSET];
    SQLLEN shape_indicators[DB_STATE_DELETE_ROWSET];
    SQLINTEGER state_ids[DB_STATE_DELETE_ROWSET];
    SQLLEN state_lengths[DB_STATE_DELETE_ROWSET];
    /* The layer of a registration that marks one (the layer cache's). */
    int32_t layer_read;
    LAYER *layer;
    /* The deletes INSERT and its pending parameter rows. */
    int32_t deletes_prepared;
    SQLHSTMT deletes_stmt;
    SQLINTEGER deleted_row_ids[DB_STATE_DELETE_ARRAY];
    SQLINTEGER deleted_states[DB_STATE_DELETE_ARRAY];
    SQLINTEGER deleted_at[DB_STATE_DELETE_ARRAY];
    int16_t pending;
    /* The adds DELETE and its pending pairs. */
    int32_t adds_started;
    SQLHSTMT adds_stmt;
    int32_t pair_row_ids[DB_STATE_DELETE_PAIRS];
    int32_t pair_states[DB_STATE_DELETE_PAIRS];
    int16_t pair_count;
    /* The shared-shape test and the shape-row removal. */
    SQLHSTMT shape_test_stmt;
    int32_t shape_shared;
    SQLINTEGER shape_row_id;
    int32_t remove_flag;
    SQLHSTMT remove_stmts[2];
} STATE_DELETE_WORK;

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the rows the WHERE text (null or blank: all) selects in the spec's
 * state and deletes or hides each. The number of rows read (0 or more), or
 * a negative code: -51 for a CLI failure of the SELECT or of a deletes
 * INSERT ("ODBC error in S_stream_delete_state_where()" through
 * VES_print_debug, the stream's extended error filled, the SELECT freed);
 * the prepare's code; the shared-shape test's or the adds DELETE's code;
 * -12; -65; -66 or -322 for a name that cannot go into SQL. */
int32_t db_state_delete_rows(DB_STREAM *stream, const REGISTRATION *registration, const char *where,
                             const DB_MV_QUERY_INFO *spec, STATE_DELETE_WORK *work);
/* Writes the pending deletes rows, then the pending adds DELETE, and frees
 * every statement of the work record, on every path. 0; -51 for a failed
 * INSERT array ("OCI error in S_stream_delete_state_finish()" on standard
 * error; the connection's extended error filled and copied into the
 * stream's when that holds none); the adds DELETE's code. */
int32_t db_state_delete_finish(DB_STREAM *stream, const REGISTRATION *registration,
                               STATE_DELETE_WORK *work);
/* Deletes the pending (row id, state) pairs from the adds table in one
 * statement and empties the list; nothing when none is pending. 0; the
 * prepare's code; for a failed execute -38 (S0022), -42 (37000, the
 * stream's extended error filled), -25 (42000), -37 (S0002), else -51 with
 * the stream's extended error filled; -12. */
int32_t db_state_delete_from_adds(DB_STREAM *stream, const REGISTRATION *registration,
                                  STATE_DELETE_WORK *work);

/* The engine code of a failed delete by its SQLSTATE (any case): S0022
 * -38, 37000 -42, 42000 -25, S0002 -37, anything else -51. *fill is set
 * when the stream's extended error takes the diagnostic (-42 and -51). */
int32_t db_delete_sqlstate_code(const char *sqlstate, int32_t *fill);

#ifdef __cplusplus
}
#endif

#endif
