// The write buffer of an update or versioned insert through a state: the
// nested streams, statement, rows and arrays such a write makes on first need
// and keeps until the stream is closed. DB_stream_close releases it here.
#ifndef DB_STATE_WRITE_BUFFER_INTERNAL_H
#define DB_STATE_WRITE_BUFFER_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "base/util/db_name_sizes.h"
#include "base/util/ve_row_pointers.h"

typedef struct DB_STREAM DB_STREAM;

typedef struct STATE_WRITE_BUFFER {
    int32_t row_mode;
    int32_t ordered_mode;
    int32_t ids_in_log; /* the stream's temporary log is deleted at close */
    char base_table[DB_QUALIFIED_NAME_SIZE];
    char adds_table[DB_QUALIFIED_NAME_SIZE];
    char deletes_table[DB_QUALIFIED_NAME_SIZE];
    DB_STREAM *query_stream; /* nested streams: heap records, owned */
    DB_STREAM *in_place_stream;
    DB_STREAM *deletes_stream;
    DB_STREAM *shape_streams[2];
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
 * ignored. The stream's temporary log is the caller's to delete. */
void db_state_write_buffer_free(STATE_WRITE_BUFFER *buffer);

#ifdef __cplusplus
}
#endif

#endif
