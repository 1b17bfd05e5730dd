// The write buffer of an update or versioned insert through a state: what
// the set-up records (modes, the caller's columns, the temporary id log)
// and the nested streams, statement, rows and arrays such a write makes on
// first need and keeps until the stream is closed. DB_stream_close releases
// it here. Beside it the geometry constructor of a shape value and the
// look-up of a row's VE_ROW_ID, which every write of a layer shares.
//
// Rows written: a deletes row holds ZEL_DELETES_ROW_ID (the hidden
// version's row id), ZEL_STATE_ID (the state it belongs to) and DELETED_AT
// (the current state); a new version is an adds row of every column with
// the same row id and ZEL_STATE_ID the current state, written before its
// deletes row.
#ifndef DB_STATE_WRITE_BUFFER_INTERNAL_H
#define DB_STATE_WRITE_BUFFER_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/db_name_sizes.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_registration.h"
#include "base/util/ve_row_pointers.h"
#include "db/version/db_mv_view.h"

typedef struct DB_STREAM DB_STREAM;

typedef struct STATE_WRITE_BUFFER {
    int32_t row_mode;     /* the caller's last column carries the row's id */
    int32_t ordered_mode; /* rows come in ascending id order */
    int32_t ids_in_log;   /* the stream's temporary log is deleted at close */
    /* Progress of the update, set on first need. */
    int32_t query_prepared;
    int32_t query_executed;
    int32_t in_place_ready;
    int32_t versions_ready;
    int32_t shape_streams_created[2];
    int32_t shared_shape_tested;
    /* The caller's columns (not owned) and its shape column (-1 none). */
    int16_t column_count;
    const DB_COLUMN_DEF *columns;
    int16_t shape_column;
    /* The table's columns (owned) and its layer (the layer cache's). */
    int32_t table_column_count;
    DB_COLUMN_DEF *table_columns;
    LAYER *layer;
    /* The update query's select list (owned) and its row-id, state and
     * shape items (-1 none). */
    int16_t select_count;
    DB_COLUMN_DEF *select_columns;
    int16_t select_rowid;
    int16_t select_state;
    int16_t select_shape;
    /* Per row. */
    int32_t expected_row_id;
    int32_t fetched_state_id;
    int32_t shape_row_id;
    int32_t previous_shape_row_id;
    /* The deletes row: fetched row id, fetched state, current state. */
    int32_t deletes_values[3];
    int16_t deletes_indicators[3];
    /* The temporary id log of an ordered update (owned) and the spec it
     * hangs in, whose pointer is cleared when the log goes. */
    LOGFILE *temp_log;
    DB_MV_QUERY_INFO *spec;
    char base_table[DB_QUALIFIED_NAME_SIZE];
    char adds_table[DB_QUALIFIED_NAME_SIZE];
    char deletes_table[DB_QUALIFIED_NAME_SIZE];
    DB_STREAM *query_stream; /* nested streams: heap records, owned */
    DB_STREAM *in_place_stream;
    DB_STREAM *version_stream; /* new versions into the adds table */
    DB_STREAM *deletes_stream;
    DB_STREAM *shape_streams[2];
    /* Column definitions the nested write streams keep by pointer (owned). */
    DB_COLUMN_DEF *in_place_columns;
    DB_COLUMN_DEF *version_columns;
    DB_COLUMN_DEF *deletes_columns;
    int32_t in_place_state;      /* the state id the in-place UPDATE is bound to */
    SQLHSTMT shared_shape_stmt;  /* prepared test of a shared shape */
    VE_ROW_POINTERS *select_row; /* heap record, owned */
    void *version_values;        /* value and indicator arrays of one new version */
    void *version_indicators;
    void *in_place_values;
    void *in_place_indicators;
} STATE_WRITE_BUFFER;

#ifdef __cplusplus
extern "C" {
#endif

/* Frees and closes everything hung in the buffer, then the buffer. Null is
 * ignored. A temporary id log of the buffer's own is deleted and its
 * record freed (the spec's pointer to it cleared); the stream's shape-record
 * log is the caller's to delete. */
void db_state_write_buffer_free(STATE_WRITE_BUFFER *buffer);

/* The VE_ROW_ID of the row of the stream's table whose row-id column holds
 * row_id, into *shape_row_id (0 when there is no such row). 0; the
 * prepare's error; -51 with the stream's extended error filled
 * ("S_get_fid_gy_rowid odbc Error (%d)\n") for any later CLI failure; -65;
 * -322 for a row-id column that is not an identifier. */
int32_t db_stream_get_shape_row_id(DB_STREAM *stream, const char *rowid_column, int32_t row_id,
                                   int32_t *shape_row_id);

/* Writes the ids into a new temporary log of the registration's table
 * (kind 2, a copy of the registration in it) and hands its record to *out,
 * which the caller deletes (DB_log_delete) and frees (VES_loginfo_free).
 * 0; -12; the log functions' error, the log deleted when it was opened. */
int32_t db_state_write_temp_log(const REGISTRATION *registration, const int32_t *ids, int32_t count,
                                LOGFILE **out);

#ifdef __cplusplus
}

#include <string>

/* Appends the shape value of an INSERT or UPDATE of the stream's layer:
 * "%s(?,?,%d)", the constructor of the layer's entity mask and the srid of
 * its coordinate reference; the two parameters are the shape bytes and the
 * annotation text. 0; -1 when the srid is not found (or there is no
 * layer). */
int32_t db_shape_constructor_sql(DB_STREAM *stream, std::string *out);
/* The constructor function of a geometry type code (0 to 11). */
const char *db_shape_constructor_name(int32_t geometry_type);
#endif

#endif
