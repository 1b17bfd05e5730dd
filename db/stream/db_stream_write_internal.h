// The write state of an insert or update stream: its row buffers
// (db_write_row_internal.h), the text of its statement, kept so that a
// statement dropped by a failed row can be prepared again, the flags of its
// set-up, and the key fields of the raster tile INSERT and its conflict
// UPDATE. Made on first need, released by DB_stream_close.
#ifndef DB_STREAM_WRITE_INTERNAL_H
#define DB_STREAM_WRITE_INTERNAL_H

#include <sql.h>
#include <stdint.h>

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
} DB_STREAM_WRITE;

#ifdef __cplusplus
extern "C" {
#endif

/* The stream's write state, made zeroed (positions -1) when it has none;
 * null when memory is short or the stream is null. */
DB_STREAM_WRITE *db_stream_write_get(DB_STREAM *stream);
/* Frees the write state and clears the stream's pointer; null is ignored. */
void db_stream_write_free(DB_STREAM *stream);

#ifdef __cplusplus
}
#endif

#endif
