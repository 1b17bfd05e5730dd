/* A raster tile: what the tile fetch of a query stream fills
 * (db/stream/db_stream_raster_query.h) and the tile buffer carries between
 * server and client (base/system/rb_buffer.h). Its pixel bytes belong to
 * whoever set the data pointer.
 *
 * Format word: bits 10-15 the compression (0 none, 1 deflate), bits 16-31
 * the pixel type, whose value shifted right by 3 is the number of bits per
 * pixel. */
#ifndef VE_RASTER_TILE_H
#define VE_RASTER_TILE_H

#include <stdint.h>

#define RB_COMPRESSION_NONE 0
#define RB_COMPRESSION_DEFLATE 1

/* The compression field and the bits per pixel of a format word. */
#define RB_FORMAT_COMPRESSION(format) ((int32_t)(((uint32_t)(format) >> 10) & 0x3Fu))
#define RB_FORMAT_PIXEL_BITS(format) ((int32_t)((uint32_t)(format) >> 19))

typedef struct RB_TILE {
    int32_t reserved;    /* not carried */
    int32_t tile_number; /* at least 1; a fetched tile: its band id */
    int32_t format;      /* see above; a fetched tile: the band's band_types */
    int32_t words[3];    /* carried unchanged; a fetched tile: row, column, level */
    unsigned char *data; /* the pixel bytes */
    int32_t length;      /* bytes at data */
    int32_t pixel_count;
} RB_TILE;

/* The three words of a fetched tile. */
#define RB_TILE_ROW 0
#define RB_TILE_COLUMN 1
#define RB_TILE_LEVEL 2

#endif
