// The raster query's state in a stream: made by the first raster query or
// pixel fetch, released whole by db_raster_query_free at every close. The
// tile statement is the stream's statement record 1, the pixel statement
// record 2; the tile fetch buffer is the stream's work buffer.
#ifndef DB_STREAM_RASTER_QUERY_INTERNAL_H
#define DB_STREAM_RASTER_QUERY_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "db/stream/db_stream_raster_query.h"

#define DB_RASTER_TILE_STATEMENT 1
#define DB_RASTER_PIXEL_STATEMENT 2
/* Result columns of the tile query bound to the fetch buffer: six integers
 * and the block. */
#define DB_RASTER_TILE_COLUMNS 7

typedef struct DB_RASTER_QUERY {
    char *query_text;     /* the tile query, until its first execute */
    SQLINTEGER raster_id; /* bound parameters of the tile query */
    SQLINTEGER level;
    int32_t block_size; /* largest block in bytes; 0 until computed */
    int32_t tile_prepared;
    int32_t executed; /* the tile query ran for the bound raster id */
    int32_t rows_per_fetch;
    /* Column arrays in the fetch buffer and their length cells (owned). */
    SQLINTEGER *integers[DB_RASTER_TILE_COLUMNS - 1];
    unsigned char *blocks;
    SQLLEN *lengths; /* DB_RASTER_TILE_COLUMNS x rows_per_fetch */
    int64_t fetched; /* rows fetched for the raster id */
    int64_t next;    /* rows handed out */
    int32_t end_mark;
    /* The pixel fetch: its keys, length cell and block of its own, so that
     * it never overwrites tiles still to be handed out. */
    SQLINTEGER pixel_keys[4];
    SQLLEN pixel_length;
    unsigned char *pixel_block;
    int32_t pixel_block_size;
    int32_t pixel_prepared;
} DB_RASTER_QUERY;

#ifdef __cplusplus
#include <string>

/* The tile query text of the stream's constraint over the two tables,
 * with line breaks when ZELPRETTYSQL is set. Throws std::bad_alloc. */
std::string db_raster_query_text(const DB_STREAM *stream, const char *band_table,
                                 const char *block_table);

extern "C" {
#endif

/* The largest block size of the band table: ceil(w x h x bits / 8) +
 * ceil(w x h / 8) + 4 over the largest width, height and band type. 0; -66
 * when there is no usable one; -12; -37 or -51 (the stream's extended error
 * filled). */
int32_t db_raster_block_size(DB_STREAM *stream, const char *band_table, int32_t *size);
/* Releases the stream's raster query state; a stream without one is left. */
void db_raster_query_free(DB_STREAM *stream);

#ifdef __cplusplus
}
#endif

#endif
