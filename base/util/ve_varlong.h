// varLONG: the engine's variable-length signed 32-bit integer, used by the
// compressed feature format (base/util/ve_compress.h) and by state lineages.
//
// Layout, least significant group first, 1 to 5 bytes:
//   first byte:   bit 7 more bytes follow, bit 6 sign (1 = negative),
//                 bits 5-0 magnitude bits 0-5
//   further bytes: bit 7 more bytes follow, bits 6-0 the next 7 magnitude bits
// Sign and magnitude, not two's complement; zero is the single byte 00.
// Range -2147483647 .. 2147483647: -2147483648 has no encoding.
// Examples: 63 = 3F, 64 = 80 01, -1 = 41, -64 = C0 01, 1000 = A8 0F,
// 8192 = 80 80 01, 2147483647 = BF FF FF FF 0F.
#ifndef VE_VARLONG_H
#define VE_VARLONG_H

#include <stdint.h>

#include "base/util/zel_export.h"

#define VE_VARLONG_MAX_BYTES 5

/* Writes the varLONG of value at out (room for 5 bytes needed); returns the
 * address after the last byte, or null (nothing written) for a null out or
 * for -2147483648, which has no encoding. */
ZEL_API uint8_t *VES_encode_varLONG(int32_t value, uint8_t *out);

/* Reads one varLONG at in (at most 5 bytes are looked at); returns the address
 * after it, or null (value set to 0) when in or value is null, the varLONG
 * runs past 5 bytes or its magnitude exceeds 2147483647. */
ZEL_API const uint8_t *VES_decode_varLONG(const uint8_t *in, int32_t *value);

/* Bytes that count values take as varLONGs; -66 for a negative count, a null
 * array with a positive count, the value -2147483648 or a total above
 * 2147483647. */
ZEL_API int32_t VES_size_varLONG_array(const int32_t *values, int32_t count);

#endif
