// Array fetch of a query stream: every selected column bound to a buffer and
// a length cell, one row per block, large objects read through their
// locators, the shape value decoded into the stream's current feature (or
// fetched again by row id through the secondary cursor when it did not fit),
// and the release of all of it for DB_stream_close. The fetched shape value
// is an 8-byte prefix (varLONG point count, varLONG entity type, zero
// filled) followed by the compressed feature of base/util/ve_compress.h.
#ifndef DB_ARRAY_FETCH_INTERNAL_H
#define DB_ARRAY_FETCH_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/db_column_def.h"
#include "base/util/ve_feature.h"
#include "db/core/db_cli_internal.h"

typedef struct DB_STREAM DB_STREAM;

/* Bytes of the prefix in front of a fetched or bound compressed feature. */
#define DB_SHAPE_PREFIX_BYTES 8
/* Room of each large-object column's buffer; a larger object replaces it. */
#define DB_LOB_FETCH_ROOM 1000000
/* A fetch that found no more rows, and a row of the feature already held. */
#define DB_FETCH_NO_MORE 110
#define DB_FETCH_SAME_FEATURE 3
/* Kinds of the columns the query path appends behind the caller's. */
#define DB_APPENDED_LOGID 1
#define DB_APPENDED_ROWID 2
#define DB_APPENDED_SHAPE 3
#define DB_APPENDED_MAX 4

/* The fetch state of a query stream, hung in the stream record; every
 * pointer is owned and released by db_array_fetch_free. */
typedef struct DB_QUERY_FETCH {
    /* The description (DB_stream_describe_sql). */
    int16_t described_count; /* the caller's columns */
    int16_t described_total; /* every result column when described */
    DB_COLUMN_DEF *columns;  /* described_total entries */
    int32_t *described_sizes;
    int16_t *described_types;
    int16_t spatial_index; /* the caller's spatial column; -1 none */
    int16_t rowid_index;   /* the caller's VE_ROW_ID column; -1 none */
    int32_t logid_index;   /* SELECT position of the log-id column; -1 none */
    int32_t logid_added;
    int32_t anno_selected; /* the set-up's last item is the annotation text */
    /* Columns appended behind the caller's (and the annotation), in order. */
    int32_t appended[DB_APPENDED_MAX];
    int32_t appended_count;
    int32_t hidden_shape;
    int32_t hidden_rowid;
    /* SELECT positions the fetch reads; -1 none. */
    int32_t shape_position;
    int32_t rowid_position;
    int32_t anno_position;

    /* The bound buffers. */
    int32_t total_columns;
    int32_t array_size; /* 0 until bound, then 1 */
    int16_t *types;     /* C type of each selected column */
    int32_t *sizes;     /* buffer size of each selected column */
    unsigned char *row_buffer;
    int64_t row_buffer_size; /* -1 none */
    void **values;           /* where each column's value is */
    SQLLEN *lengths;         /* array_size cells per column */
    SQLLEN *lengths2;
    unsigned char **blobs;  /* binary columns' own buffers; null for others */
    int32_t *blob_capacity; /* their room in bytes */
    unsigned char **dates;  /* date, time and timestamp columns' buffers */
    DB_LOB_HANDLE **lobs;   /* one per large-object column */
    int32_t *lob_columns;   /* the SELECT position of each */
    int32_t lob_count;
    SQLSMALLINT lob_locator_length;
    int32_t rows_in_block, current_row, rows_left, end_mark;
    int32_t shape_buffer_size; /* -1 unset */
    SQLLEN secondary_length;   /* length cell of the secondary cursor */
    int32_t bound;             /* columns bound and the statement executed */

    /* The current feature: the caller's shape record, or the stream's own. */
    FEATURE_STRUCT *feature;
    FEATURE_STRUCT *own_feature;
    int32_t feature_held; /* feature holds the shape of feature->feature_id */

    /* The search shape bound as the pre-filter's parameter. */
    uint8_t *param;
    int32_t param_capacity;
    SQLLEN param_length;

    /* Row state of the fetch. */
    int32_t *read_offsets; /* per caller's column: bytes of a long value delivered */
    int32_t *blob_room;    /* per caller's column: room of the caller's blob block */
    void **blob_data;      /* the block that room was read for */
    int32_t last_rejected;
    int32_t has_rejected;
    int32_t passing_rows;
    int32_t saved_sql_error;
} DB_QUERY_FETCH;

/* A fetched shape value, checked against its length cell. */
typedef struct DB_SHAPE_VALUE {
    int32_t num_points;
    int32_t entity_type;
    int32_t compressed_length; /* bytes of the compressed feature from offset 8 */
} DB_SHAPE_VALUE;
#define DB_SHAPE_VALUE_CUT 1

#ifdef __cplusplus
extern "C" {
#endif

/* The stream's fetch record, made zeroed (positions -1) on first use; null
 * when memory is short or the stream is null. */
DB_QUERY_FETCH *db_query_fetch(DB_STREAM *stream);

/* Checks a fetched shape value of length bytes (the CLI's length cell)
 * against a buffer of capacity bytes. 0: the whole value is in the buffer
 * and consistent; DB_SHAPE_VALUE_CUT: the value is longer than the buffer,
 * *needed is the room it wants; -51: malformed (short, negative or oversized
 * lengths, a length varLONG claiming more than was fetched, a point count
 * the bytes cannot hold). Never reads past min(length, capacity). */
int32_t db_shape_value_decode(const uint8_t *value, int64_t length, int32_t capacity,
                              DB_SHAPE_VALUE *out, int32_t *needed);

/* Buffers and bindings for every selected column of the prepared SELECT.
 * 0; -12; -51 (statement freed, extended error filled); -57 when the shape
 * buffer size is too small for the stream's setting. */
int32_t db_init_attr_array(DB_STREAM *stream);
/* Fetches the next block (one row) and reads its large objects. 0; 110 no
 * more rows; -42; -51 (statement freed). */
int32_t db_array_fetch_attrs(DB_STREAM *stream);
/* Decodes the current row's shape into the current feature. 0; 3 the row
 * belongs to the feature already held; -12; -51 for a malformed value; or
 * the refetch's failure. */
int32_t db_copy_feature_row(DB_STREAM *stream);
/* Fetches the whole shape of one row by row id into the current feature.
 * 0; -12; -51; -65 without a layer. */
int32_t db_fetch_points_only(DB_STREAM *stream, int32_t row_id);
/* The row id of the row consumed last; 0 when it is NULL or there is none. */
int32_t db_array_current_row_id(DB_STREAM *stream);
/* Chooses the shape buffer size from the layer. 0; -57; -65 without a
 * layer; the layer reader's failure. */
int32_t db_stream_set_shape_buffer_size(DB_STREAM *stream);

/* A new set-up: the fetch record goes (the stream's automatic log stays). */
void db_query_fetch_reset(DB_STREAM *stream);

/* Frees the row buffer and the per-column buffers; with release also the
 * value and indicator arrays. The query's fetch record goes whole. Null is
 * ignored; returns 0. */
int32_t db_array_fetch_free(DB_STREAM *stream, int32_t release);
/* Frees the secondary cursor's buffer and statement (its size back to -1);
 * with reset also sets the fetch position back to -1, clears the fetch
 * counter and the shape buffer size. Null is ignored; returns 0. */
int32_t db_stream_close_cursor(DB_STREAM *stream, int32_t reset);

#ifdef __cplusplus
}
#endif

#endif
