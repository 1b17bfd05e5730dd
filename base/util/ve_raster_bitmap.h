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

/* An inclusive window of positions. */
typedef struct VE_RASTER_BITMAP_WINDOW {
    int32_t min_column;
    int32_t min_row;
    int32_t max_column;
    int32_t max_row;
} VE_RASTER_BITMAP_WINDOW;

/* A new bitmap of columns x rows. With a buffer (of at least the data
 * length) the bitmap uses it as its data, set to all ones or zeros by value
 * when fill is non-zero; without one it allocates its data, all ones or all
 * zeros by value. Null for a negative dimension, a grid of more than
 * 2^31 - 1 bits, or when memory runs out. */
VE_RASTER_BITMAP *ves_raster_bitmap_create(int32_t columns, int32_t rows, unsigned char *buffer,
                                           int32_t fill, int32_t value);
/* Frees the bitmap, and its data when free_data is non-zero; null ignored. */
void ves_raster_bitmap_free(VE_RASTER_BITMAP *bitmap, int32_t free_data);
/* Every data byte 0xFF (value non-zero) or 0x00; 0, or -65. */
ZEL_API int32_t VES_raster_bitmap_reset(VE_RASTER_BITMAP *bitmap, int32_t value);
/* Non-zero when the position's bit is set; 0 for a null bitmap or a
 * position outside the grid. */
int32_t ves_raster_bitmap_test(const VE_RASTER_BITMAP *bitmap, int32_t column, int32_t row);
/* Sets or clears one position; 0, -65 for a null bitmap, -66 for a position
 * outside the grid. */
int32_t ves_raster_bitmap_set(VE_RASTER_BITMAP *bitmap, int32_t column, int32_t row, int32_t value);
/* Sets or clears every position of the window; 0, -65, or -66 when the
 * window is inverted or not inside the grid. */
int32_t ves_raster_bitmap_fill_window(VE_RASTER_BITMAP *bitmap,
                                      const VE_RASTER_BITMAP_WINDOW *window, int32_t value);
/* Copies the source's bits into the target with the source's origin at the
 * offsets; what falls outside the target is dropped. 0, or -65. */
int32_t ves_raster_bitmap_copy_in(VE_RASTER_BITMAP *target, const VE_RASTER_BITMAP *source,
                                  int32_t column_offset, int32_t row_offset);
/* 1 when every valid bit is 1 (is_full) or 0 (is_empty), else 0. */
int32_t ves_raster_bitmap_is_full(const VE_RASTER_BITMAP *bitmap);
ZEL_API int32_t VES_raster_bitmap_is_empty(const VE_RASTER_BITMAP *bitmap);
/* Takes the buffer as the bitmap's data (the old data is not freed) when it
 * holds at least the data length; 0, else -1 with a message. */
int32_t ves_raster_bitmap_set_buffer(VE_RASTER_BITMAP *bitmap, unsigned char *buffer,
                                     int32_t length);
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
