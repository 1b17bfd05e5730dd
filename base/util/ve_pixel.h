// Pixel access: one reader and one writer per pixel kind, moving a single
// pixel between a block and a double. 1-bit pixels are packed most
// significant bit first, 4-bit pixels high nibble first; wider kinds sit at
// pixel x size bytes in the host's byte order (ve_pixel_data.h converts
// whole blocks to and from their stored order). No bounds are checked: the
// pixel number must lie inside the block. Every function returns 0.
#ifndef VE_PIXEL_H
#define VE_PIXEL_H

#include "base/util/zel_export.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Writers round half away from zero and clamp to the kind; a NaN stores 0. */
ZEL_API int32_t VES_pixel_read_1bit(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_1bit(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_4bit(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_4bit(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_char(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_char(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_uchar(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_uchar(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_short(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_short(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_ushort(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_ushort(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_long(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_long(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_ulong(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_ulong(void *block, int32_t pixel, double value);
/* Values beyond the float range store an infinity of their sign. */
ZEL_API int32_t VES_pixel_read_float(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_float(void *block, int32_t pixel, double value);
ZEL_API int32_t VES_pixel_read_double(const void *block, int32_t pixel, double *value);
ZEL_API int32_t VES_pixel_write_double(void *block, int32_t pixel, double value);

#ifdef __cplusplus
}
#endif

#endif
