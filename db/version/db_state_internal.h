// The library's side of the state records: the reader of a state's lineage
// from STATE_LINEAGES, the single-state read behind the exported tests, and
// the scan of an older STATES table whose rows carry their lineage blobs,
// from which the catalogue creation fills STATE_LINEAGES.
#ifndef DB_STATE_INTERNAL_H
#define DB_STATE_INTERNAL_H

#include <sql.h>
#include <sqlext.h>
#include <stdint.h>

#include "db/version/db_block_cursor_internal.h"
#include "db/version/db_state.h"

/* The STATES columns of one row as the readers bind them (row-wise). */
struct DB_STATE_COLUMNS {
    int32_t state_id;
    SQLLEN state_id_length;
    char owner[sizeof(((STATE *)0)->owner)];
    SQLLEN owner_length;
    SQL_TIMESTAMP_STRUCT creation_time;
    SQLLEN creation_length;
    SQL_TIMESTAMP_STRUCT closing_time;
    SQLLEN closing_length; /* SQL_NULL_DATA while the state is open */
    int32_t rowid;
    SQLLEN rowid_length;
};

/* Binds state_id, owner, creation_time and closing_time as columns 1 to 4
 * and ROWID as column rowid_column into row. The CLI's result. */
SQLRETURN db_state_bind_columns(SQLHSTMT hstmt, DB_STATE_COLUMNS *row, SQLUSMALLINT rowid_column);

/* Clears the record and fills its tag, id, owner (cut at its returned
 * length) and times (a NULL closing time gives 0); the lineage stays null. */
void db_state_fill(STATE *out, const DB_STATE_COLUMNS &row);

/* A statement on STATE_LINEAGES that reads one state's lineage per call. */
struct DB_LINEAGE_READER {
    SQLHSTMT hstmt = SQL_NULL_HSTMT;
    bool prepared = false;
    int32_t state_id = 0; /* the bound parameter */
};

/* Allocates the reader's statement. 0, or -51 with the connection's extended
 * error record filled. */
int32_t db_state_lineage_reader_open(DB_LINEAGE_READER *reader);
void db_state_lineage_reader_close(DB_LINEAGE_READER *reader);

/* Reads the lineage rows of the state (its ancestors and itself) into a new
 * blob of the ancestors (C heap, the caller frees it) and its length.
 * out->lineage and out->lineage_length are written only on success. Returns
 * 0; -172 when the state has no lineage rows; -12; -51 with the record
 * filled. */
int32_t db_state_lineage_read(DB_LINEAGE_READER *reader, int32_t state_id, STATE *out);

/* The first state that matches where (SQL text), with its lineage, which the
 * caller frees with free(). Returns as DB_state_get_by_id. */
int32_t db_state_get_by_where(DB_INSTANCE *instance, const char *where, STATE *out);

/* The scan of an older STATES table (columns lineage_length and lineage):
 * modes and results as DB_state_scan. Each row's blob is checked against the
 * bytes stored (a lineage longer than the block's cell is read again whole
 * by the row's ROWID): a delivered lineage holds exactly lineage_length ids
 * within its own header's byte count, so ves_lineage_decode_state reads it.
 * The blob belongs to the scan and lives until the next call. A row whose
 * blob does not hold what it claims gives -66 with the state named in the
 * extended error record, and closes the scan. */
int32_t db_states_read_for_lineages(DB_INSTANCE *instance, int32_t mode, const char *where,
                                    STATE *out);

#endif
