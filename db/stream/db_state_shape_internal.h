// The shape rows of a write through a state: whether a layer's shape row
// (its VE_ROW_ID) is referenced by more than one version of the row, in
// the base table or the adds table, and the removal of a shape row that no
// version uses any more, which is not done (such rows stay).
#ifndef DB_STATE_SHAPE_INTERNAL_H
#define DB_STATE_SHAPE_INTERNAL_H

#include <sql.h>
#include <stdint.h>

typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Sets *shared to 1 when more than one version of the table (base table
 * rows and adds rows) references the shape row *shape_row_id, else 0. The
 * count statement is prepared into *stmt when it holds none, its two
 * parameters bound to *shape_row_id, which must live as long as the
 * statement; the caller sets the id before each call and frees *stmt.
 * 0; -22 when no version references it; the prepare's code ("S_is_shape_
 * multiply_used() ODBC parse error (%d).\n" on standard error); -51 for a
 * later CLI failure, with the stream's extended error filled and a
 * statement prepared in this call dropped; -65; -322 for a row-id column
 * that is not an identifier. */
int32_t db_state_shape_is_shared(DB_STREAM *stream, const char *base_table, const char *adds_table,
                                 const char *rowid_column, SQLINTEGER *shape_row_id, SQLHSTMT *stmt,
                                 int32_t *shared);

/* Would remove a shape row that no version references any more: does
 * nothing and returns 0. */
int32_t db_remove_unshared_shape(DB_STREAM *stream, int32_t layer_id, int32_t shape_row_id,
                                 int32_t flag, SQLHSTMT *first, SQLHSTMT *second);

#ifdef __cplusplus
}
#endif

#endif
