// Pixel blocks in their stored form: the pixels in big-endian byte order,
// optionally followed by further bytes copied as they are, the whole
// optionally deflate-compressed (zlib format). The format word describes a
// block: bits 10-15 the compression (0 none, 1 deflate), bits 16-31 the pixel
// type, whose eighth is the pixel depth in bits (1, 4, 8, 16, 32, 64). Only
// pixels of whole bytes and at least 16 bits are reordered.
#ifndef VE_PIXEL_DATA_H
#define VE_PIXEL_DATA_H

#include "base/util/ve_zstream.h"
#include "base/util/zel_export.h"

#include <stdint.h>

#define VE_PIXEL_COMPRESSION_NONE 0
#define VE_PIXEL_COMPRESSION_DEFLATE 1

/* Compression field and pixel depth (bits) of a format word. */
#define VE_PIXEL_FORMAT_COMPRESSION(format) (((format) >> 10) & 0x3Fu)
#define VE_PIXEL_FORMAT_DEPTH(format) (((format) >> 16) / 8u)

#ifdef __cplusplus
extern "C" {
#endif

/* Turns the *length bytes of block, whose first pixel_bytes are pixels, into
 * their stored form in place; with compression, deflated through the work
 * buffer and *length set to the compressed size. 0; -1 when pixel_bytes is
 * not a whole number of pixels or exceeds *length, the compression is
 * unknown, or deflating fails or would not fit in *length bytes (the pixels
 * may then be left reordered, *length unchanged); -65 for a null argument. */
ZEL_API int32_t VES_pixel_data_encode(unsigned char *block, int32_t *length, int32_t pixel_bytes,
                                      uint32_t format, unsigned char *work, int32_t work_capacity,
                                      VE_ZSTREAM *deflate_context);
/* The reverse: the *length stored bytes into output (at most output_capacity
 * bytes), *length set to the bytes produced when inflated. 0; -1 when the
 * data does not inflate, would overflow the output or work buffer, or the
 * pixel bytes are not whole pixels or exceed the data, or the compression is
 * unknown; -65 for a null argument. */
ZEL_API int32_t VES_pixel_data_decode(const unsigned char *stored, int32_t *length,
                                      unsigned char *output, int32_t output_capacity,
                                      int32_t pixel_bytes, uint32_t format, unsigned char *work,
                                      int32_t work_capacity, VE_ZSTREAM *inflate_context);

#ifdef __cplusplus
}
#endif

#endif
