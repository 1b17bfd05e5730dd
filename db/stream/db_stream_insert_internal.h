// The INSERT text of an insert stream and the binding of its fixed
// parameters, shared with the update paths that write new row versions.
#ifndef DB_STREAM_INSERT_INTERNAL_H
#define DB_STREAM_INSERT_INTERNAL_H

#include <stdint.h>

#include "db/stream/db_stream_insert.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Binds the fixed parameters of the stream's INSERT to its row buffers and
 * makes the large-object records of its blob columns. 0; -12; -51; -114. */
int32_t db_bind_insert_buffers(DB_STREAM *stream);

#ifdef __cplusplus
}

#include <string>

/* "INSERT INTO <table>  (<columns>[, VE_ROW_ID][, ZEL_STATE_ID]) VALUES
 * (...)": a parameter per value, the shape column's value the geometry
 * constructor, the state id a literal. Sets the stream's spatial position
 * (-1 without a shape column among the names). 0; -168; -1; -65; -66;
 * -322. */
int32_t db_build_insert_sql(DB_STREAM *stream, const char *table, int16_t column_count,
                            const char *const *columns, int32_t state_id, std::string *out);
#endif

#endif
