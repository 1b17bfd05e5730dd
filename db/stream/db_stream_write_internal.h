// The write state of an insert or update stream: its row buffers
// (db_write_row_internal.h), the text of its statement, kept so that a
// statement dropped by a failed row can be prepared again, the flags of its
// set-up, the parameter numbers of an UPDATE, and the key fields of the
// raster tile INSERT and its conflict UPDATE. Made on first need, released
// by DB_stream_close. Beside it the two steps every write stream shares
// after its rows: the automatic log opened by descriptor and the envelope
// of the shapes written.
#ifndef DB_STREAM_WRITE_INTERNAL_H
#define DB_STREAM_WRITE_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_registration.h"
#include "db/stream/db_write_row_internal.h"

typedef struct DB_STREAM DB_STREAM;

typedef struct DB_STREAM_WRITE {
    DB_WRITE_ROW row;
    char *sql;                 /* the statement's text; owned */
    int32_t column_count;      /* columns named at set-up */
    int32_t spatial_position;  /* the shape column among them; -1 none */
    int32_t bound;             /* the fixed parameters are bound to the row */
    int32_t rowid_position;    /* the registered row-id column among the caller's; -1 unknown */
    int32_t state_id;          /* of a write into the adds table; 0 none */
    REGISTRATION registration; /* the table's, as given to the set-up */
    /* Where the shape parameter was last bound: bound again when it moves. */
    int32_t shape_bound;
    const unsigned char *shape_buffer;
    size_t shape_capacity;
    /* The key of a raster tile; the tile INSERT and the conflict UPDATE
     * stay bound to these. */
    SQLINTEGER rasterband_id;
    SQLINTEGER rrd_factor;
    SQLINTEGER row_nbr;
    SQLINTEGER col_nbr;
    SQLLEN block_length; /* length cell of the tile's bytes */
    int32_t conflict_prepared;
    int32_t raster_id; /* the raster of the row being written */
    /* Update streams (db_stream_update_internal.h). */
    int32_t executed; /* a WHERE update has run: its set-up is spent */
    int32_t row_id;   /* of a one-row update; -1 the caller's last column per row */
    char rowid_column[DB_NAME_COLUMN_SIZE]; /* the table's, found at set-up */
    /* The one-row UPDATE held prepared in the stream's main statement, and
     * what it was built for: prepared again when a row needs another. */
    int32_t update_prepared;
    int32_t update_with_shape;
    char update_where_column[DB_NAME_COLUMN_SIZE];
    /* Parameter numbers of the UPDATE in the main statement: one per
     * column (0 when the column is not in it; a shape's annotation text
     * takes the number after its shape), VE_ROW_ID's (0 none), and the
     * first number after them. */
    int32_t *params; /* owned; one per row column */
    int32_t rowid_param;
    int32_t next_param;
} DB_STREAM_WRITE;

#ifdef __cplusplus
extern "C" {
#endif

/* The stream's write state, made zeroed (positions -1) when it has none;
 * null when memory is short or the stream is null. */
DB_STREAM_WRITE *db_stream_write_get(DB_STREAM *stream);
/* Frees the write state and clears the stream's pointer; null is ignored. */
void db_stream_write_free(DB_STREAM *stream);

/* Opens the stream's automatic log: the open log of the descriptor, whose
 * record the stream copies. 0 or the log's error (the stream logs nothing
 * then). */
int32_t db_stream_write_open_log(DB_STREAM *stream, int32_t descriptor);
/* Widens the stream's envelope of rows written by the feature's envelope,
 * converted to the coordinates of the stream's layer (read again from the
 * layer cache). 0; the layer read's error; -20 without a layer; -141 for a
 * layer without a coordinate reference. */
int32_t db_stream_write_widen_envelope(DB_STREAM *stream, const FEATURE_STRUCT *feature);

/* Frees the large-object records of the stream's blob columns. */
void db_stream_lob_records_free(DB_STREAM *stream);
/* Appends a large-object record for the blob column of the stream's table,
 * the column's large-object create spec read for mode (DB_LOB_INSERT, DB_LOB_UPDATE).
 * 0; -12; -51 with the stream's extended error filled. */
int32_t db_stream_lob_record_add(DB_STREAM *stream, const char *column, int32_t mode);
/* Binds the row's shape parameter (column i, parameter param) and its
 * annotation text (param + 1) on the stream's main statement: the cells
 * take this row's length and indicator, the buffers are bound again only
 * when the shape parameter has moved or grown or the statement is new
 * (shape_bound cleared). 0; -51 ("S_bind_column Bind Error (%d).\n", the
 * stream's extended error filled, the statement dropped). */
int32_t db_stream_bind_shape(DB_STREAM *stream, int32_t i, int32_t param);

#ifdef __cplusplus
}
#endif

#endif
