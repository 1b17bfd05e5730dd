// The tile bitmap's own operations, shared inside the library: creation over
// a buffer, single positions, windows, copies and the full test.
#ifndef VE_RASTER_BITMAP_INTERNAL_H
#define VE_RASTER_BITMAP_INTERNAL_H

#include "base/util/ve_raster_bitmap.h"

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

/* 1 when every valid bit is 1, else 0. */
int32_t ves_raster_bitmap_is_full(const VE_RASTER_BITMAP *bitmap);

/* Takes the buffer as the bitmap's data (the old data is not freed) when it
 * holds at least the data length; 0, else -1 with a message. */
int32_t ves_raster_bitmap_set_buffer(VE_RASTER_BITMAP *bitmap, unsigned char *buffer,
                                     int32_t length);

#endif
