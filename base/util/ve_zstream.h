// Compression contexts (VE_ZSTREAM): zlib deflate and inflate streams used
// one whole block at a time, for pixel blocks (ve_pixel_data.h) and the
// tile buffers of the communications layer. A context is created once, used
// for any number of blocks (each call is a complete stream and resets the
// context after it) and ended once, which frees it.
#ifndef VE_ZSTREAM_H
#define VE_ZSTREAM_H

#include "base/util/zel_export.h"

#include <stdint.h>
#include <zlib.h>

#define VE_ZSTREAM_INFLATE 0
#define VE_ZSTREAM_DEFLATE 1

typedef struct VE_ZSTREAM {
    int32_t kind; /* VE_ZSTREAM_DEFLATE or VE_ZSTREAM_INFLATE */
    z_stream stream;
} VE_ZSTREAM;

#ifdef __cplusplus
extern "C" {
#endif

/* A new deflate (inflate) context at zlib's default level in *context: 0;
 * -65 for a null out-pointer; -1 when zlib fails (printed), *context null. */
ZEL_API int32_t VES_deflate_init(VE_ZSTREAM **context);
ZEL_API int32_t VES_inflate_init(VE_ZSTREAM **context);
/* Ends and frees a context of the right kind: 0, or -1 when zlib reports an
 * error (the context is freed all the same); -66 for a null context or one
 * of the other kind, which is left alone. */
ZEL_API int32_t VES_deflate_end(VE_ZSTREAM *context);
ZEL_API int32_t VES_inflate_end(VE_ZSTREAM *context);
/* Compresses (decompresses) the whole input in one call into at most
 * *output_length bytes, then sets *output_length to the bytes produced and
 * resets the context: 0; -66 for a context of the wrong kind; -65 for a null
 * buffer or length; -1 when the stream cannot be finished in one call
 * (output too small, corrupt input), printed. */
ZEL_API int32_t VES_deflate(VE_ZSTREAM *context, unsigned char *output, int32_t *output_length,
                            const unsigned char *input, int32_t input_length);
ZEL_API int32_t VES_inflate(VE_ZSTREAM *context, unsigned char *output, int32_t *output_length,
                            const unsigned char *input, int32_t input_length);
/* One-shot zlib compress and uncompress: *output_length is the room on entry
 * and the bytes produced on return; 0, -1 (printed), or -65 for a null
 * argument. */
ZEL_API int32_t VES_compress(unsigned char *output, int32_t *output_length,
                             const unsigned char *input, int32_t input_length);
ZEL_API int32_t VES_uncompress(unsigned char *output, int32_t *output_length,
                               const unsigned char *input, int32_t input_length);

#ifdef __cplusplus
}
#endif

#endif
