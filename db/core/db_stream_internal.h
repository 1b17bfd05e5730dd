// The stream record's layout and the helpers the library's own stream, layer
// and versioning code share. Hosts hold a stream only through its pointer.
#ifndef DB_STREAM_INTERNAL_H
#define DB_STREAM_INTERNAL_H

#include <sql.h>

#include "base/util/db_column_def.h"
#include "base/util/db_name_sizes.h"
#include "base/util/ve_feature.h"
#include "base/util/ve_filter.h"
#include "base/util/ve_layer.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_raster.h"
#include "db/core/db_cli_internal.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_stream.h"

#define DB_STREAM_IDENT_SIZE 32
#define DB_STREAM_FILTER_AREA_SIZE 536
#define DB_STREAM_STATEMENTS 3

/* The multiversion description of a query (db/version/db_mv_view.h). */
typedef struct DB_MV_QUERY_INFO DB_MV_QUERY_INFO;

/* The write buffer of writes through a state (db/stream/db_state_write_buffer_internal.h). */
typedef struct STATE_WRITE_BUFFER STATE_WRITE_BUFFER;

/* The bound buffers and row state of a query's fetch (db/stream/db_array_fetch_internal.h). */
typedef struct DB_QUERY_FETCH DB_QUERY_FETCH;

/* The row buffers and statements of an insert or update stream
 * (db/stream/db_stream_write_internal.h). */
typedef struct DB_STREAM_WRITE DB_STREAM_WRITE;

/* The tile query and pixel fetch of a raster query
 * (db/stream/db_stream_raster_query_internal.h). */
typedef struct DB_RASTER_QUERY DB_RASTER_QUERY;

/* The envelope of a stream in system units; the invalid box is
 * flag 0, 2147483647, 2147483647, 0, 0. */
typedef struct DB_STREAM_SYS_ENVELOPE {
    int32_t valid;
    int32_t minx, miny, maxx, maxy;
} DB_STREAM_SYS_ENVELOPE;

/* Head of the record of a stream's temporary log: the log's name follows a
 * four-byte tag, as in the log-file record. */
typedef struct DB_STREAM_TEMP_LOG {
    char tag[4];
    char name[DB_NAME_FULL_TABLE_SIZE];
} DB_STREAM_TEMP_LOG;

/* The read side of a write through a state: a work buffer and the temporary
 * log that restricts the rows read. */
typedef struct DB_STREAM_SHAPE_RECORD {
    void *buffer;
    DB_STREAM_TEMP_LOG *log;
    int32_t table_position; /* the statement's table that holds the stream's layer */
} DB_STREAM_SHAPE_RECORD;

struct DB_STREAM {
    int32_t reserved;       /* cleared at close */
    const char *owner_text; /* default owner of table names; not owned */
    char stream_name[DB_STREAM_NAME_SIZE];
    LAYER *layer;       /* in the layer cache; not owned */
    COORDREF *coordref; /* owned */
    int32_t shape_owned;
    FEATURE_STRUCT *shape; /* compressed shape used for shape values */
    int32_t shape_word;
    int16_t spatial_column; /* index among the column definitions; -1 none */
    int32_t shape_column_state;
    int32_t layer_id; /* identifiers: -1 at creation */
    int32_t registration_id;
    int32_t ident_zero1; /* 0 at creation */
    int32_t state_id;
    int32_t ident_zero2; /* 0 at creation */
    int32_t lineage_id;
    int32_t version_id;
    SQLHSTMT stmt_main; /* bare statement handles; null = none */
    SQLHSTMT stmt_secondary;
    int32_t secondary_slot; /* size of the secondary buffer; -1 none */
    void *secondary_buffer;
    SQLHSTMT stmt_aux;
    int32_t fetch_position; /* row of the fetched block the query path is at; -1 none */
    int32_t fetch_counter;
    SQLHSTMT stmt_query_tables;
    SQLHSTMT stmt_extra;
    char *sql_select; /* SQL parts built by the query path */
    char *sql_from;
    char *sql_where;
    char *sql_trailer;
    int32_t column_count;
    DB_COLUMN_DEF *columns;
    int32_t hidden_rowid; /* hidden columns the stream adds itself */
    int32_t hidden_stateid;
    int32_t hidden_other;
    int32_t hidden_column; /* -1 at creation */
    char table[DB_NAME_TABLE_SIZE];
    char owner[DB_STREAM_IDENT_SIZE];
    char database[DB_STREAM_IDENT_SIZE];
    char spatial_column_name[DB_STREAM_IDENT_SIZE];
    void *row_buffer; /* row and array buffers */
    void **column_buffers;
    void **value_arrays;
    SQLLEN **indicator_arrays;
    char *where_text;
    char *order_by_text;
    DB_STREAM_SYS_ENVELOPE sys_envelope;
    int32_t lob_count;
    DB_LOB_HANDLE **lobs; /* freed one by one at close */
    char raster_database[DB_STREAM_IDENT_SIZE];
    char raster_owner[DB_STREAM_IDENT_SIZE];
    char raster_table[DB_NAME_TABLE_SIZE];
    char raster_column[DB_STREAM_IDENT_SIZE];
    int32_t raster_column_id;
    CLI_STATEMENT cli[DB_STREAM_STATEMENTS];
    RASCONSTRAINT *raster_constraint;
    int32_t buffer_size; /* a VES_buffer_alloc block and its size */
    void *buffer;
    int32_t feature_spec_count;
    VE_FEATURE_SPEC *feature_specs;
    void *search_data;
    void *value_array1;
    void *value_array2;
    void **filter_buffers; /* count: the fourth parameter word */
    unsigned char filter_area[DB_STREAM_FILTER_AREA_SIZE];
    int32_t filter_flags[5];
    char **query_tables; /* query_table_count heap texts */
    int32_t query_table_count;
    int32_t query_slot; /* -1 at creation */
    int32_t row_lock_mode;
    STATE_WRITE_BUFFER *update_buffer; /* owned, released at close */
    int32_t params[DB_STREAM_PARAM_WORDS];
    DB_STREAM_SHAPE_RECORD *shape_record; /* owned; holds the stream's temporary log */
    int32_t spare;
    int32_t operation_mode; /* 0 to 3 */
    DB_EXT_ERROR xerr;      /* the stream's own extended error record */
    double written_minx, written_miny, written_maxx, written_maxy;
    double extra_doubles[2];
    int32_t creation_argument;
    int32_t *column_buffer_lengths; /* bind buffer length of each described column; owned */
    int16_t *column_c_types;        /* bind C type of each described column; owned */
    int32_t coordref_srid;          /* srid of coordref, the reference last resolved */

    /* A query's set-up (db/stream): its filters and the SQL built for it. */
    int16_t filter_count;
    const VE_FILTER *filters; /* the caller's array; not owned */
    int32_t search_order;
    int32_t query_layer; /* set up as a query over a layer */
    int32_t query_built; /* the query's SQL is prepared */
    int32_t executed;
    int32_t shape_selected;                      /* the select list holds the shape column */
    int32_t annotation_column;                   /* the last item is the annotation text */
    int32_t rowid_column_index;                  /* the VE_ROW_ID item; -1 none */
    DB_MV_QUERY_INFO *mv_info;                   /* the multiversion description; not owned */
    char feature_table[DB_NAME_FULL_TABLE_SIZE]; /* the layer's feature table */
    char *sql_plain_from;     /* the FROM list without views (multiversion queries) */
    int32_t second_statement; /* stmt_extra holds the same query over the base tables */

    /* Row locks: only another component fills these; this library never
     * switches row locking on. */
    int32_t row_locking;
    int32_t row_locks_initialised;
    int32_t row_lock_unsupported; /* answers -224 rather than -220 */
    char row_lock_table[DB_NAME_FULL_TABLE_SIZE];
    char row_lock_locked_table[DB_NAME_FULL_TABLE_SIZE];
    char row_lock_id_column[DB_NAME_COLUMN_SIZE];

    /* The raster column among the caller's columns. */
    int32_t raster_position; /* -1 none */
    int32_t raster_bytes_since_commit;
    int32_t raster_commit_threshold;
    int32_t raster_constraint_words[2]; /* given with the raster constraint */
    DB_RASTER_QUERY *raster_query;      /* owned, released at close */

    /* A query's execution and fetch: made at its first use, released whole by
     * db_array_fetch_free (every close and every new set-up). */
    DB_QUERY_FETCH *fetch;

    /* The automatic log: the open log that the rows a stream writes (or
     * fetches) go into, with a copy of its record, whose flags say what is
     * logged. Switched off at close. */
    int32_t auto_log;
    int32_t auto_log_descriptor;
    LOGFILE auto_log_file;

    DB_STREAM_WRITE *write; /* owned, released at close */
};

#ifdef __cplusplus
extern "C" {
#endif

/* Widens the envelope of the rows written by a box; a box with minx > maxx
 * and miny > maxy is ignored. 0. */
int32_t db_stream_envelope_union(DB_STREAM *stream, double minx, double miny, double maxx,
                                 double maxy);

/* The stream's own extended error record, null for a null stream: what the
 * statement primitives fill when they fail for a stream. */
DB_EXT_ERROR *db_stream_xerr(DB_STREAM *stream);

/* Prints the stream error lines and fills the stream's record (-51). Returns
 * the SQLSTATE text of the stream's record; an empty text for a null stream,
 * whose diagnostic is then only printed. */
const char *db_stream_set_xerr_from_diag(DB_STREAM *stream, CLI_DIAG_RECORD diag);

DB_EXT_ERROR *db_stream_copy_xerr(DB_EXT_ERROR *out, DB_STREAM *stream);

/* Frees what the stream's filters own: the feature specs, the per-filter
 * work arrays and the per-row pass flags. */
void db_stream_free_filter_data(DB_STREAM *stream);

#ifdef __cplusplus
}
#endif

#endif
