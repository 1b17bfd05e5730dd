// Tile bitmaps: one bit per tile (or cell) of a raster band level, most
// significant bit first, bit number columns x row + column. The serialised
// form, stored in the database and sent to clients, is a 20-byte header of
// little-endian 32-bit words (bit count, data length, columns, rows, a
// reserved word written as zero) followed by the data bytes.
#ifndef VE_RASTER_BITMAP_H
#define VE_RASTER_BITMAP_H

#include "base/util/zel_export.h"

#include <stdint.h>

#define VE_RASTER_BITMAP_HEADER_SIZE 20

typedef struct VE_RASTER_BITMAP {
    int32_t bit_count;   /* columns x rows */
    int32_t data_length; /* (bit_count + 7) / 8 */
    int32_t columns;
    int32_t rows;
    unsigned char *data; /* bit i: data[i / 8] & (0x80 >> (i % 8)) */
} VE_RASTER_BITMAP;

/* Every data byte 0xFF (value non-zero) or 0x00; 0, or -65. */
ZEL_API int32_t VES_raster_bitmap_reset(VE_RASTER_BITMAP *bitmap, int32_t value);
/* 1 when every valid bit is 0, else 0. */
ZEL_API int32_t VES_raster_bitmap_is_empty(const VE_RASTER_BITMAP *bitmap);
/* Writes the serialised form into a new heap block (freed by the caller with
 * free); 0, -65 for a null argument, -999 when memory runs out. */
ZEL_API int32_t VES_raster_bitmap_serialize(const VE_RASTER_BITMAP *bitmap, unsigned char **block,
                                            int32_t *length);
/* A new bitmap from a serialised block of the expected dimensions: the
 * block's columns and rows must equal them, its bit count columns x rows,
 * its data length the bytes of that count and the block length the data
 * length + 20. Null otherwise or when memory runs out. */
ZEL_API VE_RASTER_BITMAP *VES_raster_bitmap_deserialize(const unsigned char *block, int32_t length,
                                                        int32_t columns, int32_t rows);
/* (columns x rows + 7) / 8 + 20; 0 when either is below 1 or the grid is
 * too large. */
ZEL_API int32_t VES_raster_bitmap_get_serialized_length(int32_t columns, int32_t rows);

#endif
