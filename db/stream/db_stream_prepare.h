// Preparing a stream's query: the SQL text becomes a cursor on the stream's
// main statement, and a refusal of the DBMS becomes an engine code.
#ifndef DB_STREAM_PREPARE_H
#define DB_STREAM_PREPARE_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_STREAM DB_STREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* Frees the stream's previous main statement and prepares sql as a cursor on
 * it. 0; on failure the statement is freed and the result is -37 (S0002), -25
 * (42000), -38 (S0022), -42 (37000, 42601, 42707), else -51 with the stream's
 * extended error record filled; -65 for a null stream or text. */
ZEL_API int32_t DB_stream_prepare_sql(DB_STREAM *stream, const char *sql);

#ifdef __cplusplus
}
#endif

#endif
