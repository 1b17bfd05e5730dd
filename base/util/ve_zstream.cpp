// zlib wrappers (ve_zstream.h): the deflate and inflate contexts with their
// one-call operations, and the one-shot compress and uncompress helpers.
// Failures are reported as -1 with zlib's code printed under ZELVERBOSE.
#include "base/util/ve_zstream.h"

#include "base/util/ve_debug.h"
#include "base/util/zel_errors.h"

#include <stdio.h>
#include <stdlib.h>

static int32_t S_init(VE_ZSTREAM **context, int32_t kind)
{
    if (context == nullptr)
        return ZE_NULL_POINTER;
    *context = nullptr;
    auto *z = static_cast<VE_ZSTREAM *>(calloc(1, sizeof(VE_ZSTREAM)));
    if (z == nullptr)
        return ZE_FAILURE;
    z->kind = kind;
    int rc;
    if (kind == VE_ZSTREAM_DEFLATE)
        rc = deflateInit(&z->stream, Z_DEFAULT_COMPRESSION);
    else
        rc = inflateInit(&z->stream);
    if (rc != Z_OK) {
        VES_print_debug(stderr,
                        kind == VE_ZSTREAM_DEFLATE ? "ZLIB deflateInit error: %d\n"
                                                   : "ZLIB inflateInit error: %d\n",
                        rc);
        free(z);
        return ZE_FAILURE;
    }
    *context = z;
    return 0;
}

int32_t VES_deflate_init(VE_ZSTREAM **context)
{
    return S_init(context, VE_ZSTREAM_DEFLATE);
}

int32_t VES_inflate_init(VE_ZSTREAM **context)
{
    return S_init(context, VE_ZSTREAM_INFLATE);
}

static int32_t S_end(VE_ZSTREAM *context, int32_t kind)
{
    if (context == nullptr || context->kind != kind)
        return ZE_INVALID_ARGUMENT;
    int rc =
        kind == VE_ZSTREAM_DEFLATE ? deflateEnd(&context->stream) : inflateEnd(&context->stream);
    free(context);
    if (rc != Z_OK) {
        VES_print_debug(stderr,
                        kind == VE_ZSTREAM_DEFLATE ? "ZLIB deflateEnd error: %d\n"
                                                   : "ZLIB inflateEnd error: %d\n",
                        rc);
        return ZE_FAILURE;
    }
    return 0;
}

int32_t VES_deflate_end(VE_ZSTREAM *context)
{
    return S_end(context, VE_ZSTREAM_DEFLATE);
}

int32_t VES_inflate_end(VE_ZSTREAM *context)
{
    return S_end(context, VE_ZSTREAM_INFLATE);
}

// One whole stream through the context, then a reset. A failed stream is
// reset too, so that the context stays usable for the next block.
static int32_t S_run(VE_ZSTREAM *context, int32_t kind, unsigned char *output,
                     int32_t *output_length, const unsigned char *input, int32_t input_length)
{
    if (context == nullptr || context->kind != kind)
        return ZE_INVALID_ARGUMENT;
    if (output == nullptr || output_length == nullptr || input == nullptr || input_length < 0 ||
        *output_length < 0)
        return ZE_NULL_POINTER;
    bool deflating = kind == VE_ZSTREAM_DEFLATE;
    z_stream *s = &context->stream;
    s->next_in = const_cast<Bytef *>(input);
    s->avail_in = static_cast<uInt>(input_length);
    s->next_out = output;
    s->avail_out = static_cast<uInt>(*output_length);
    int rc = deflating ? deflate(s, Z_FINISH) : inflate(s, Z_FINISH);
    if (rc != Z_STREAM_END) {
        VES_print_debug(stderr, deflating ? "ZLIB deflate error: %d\n" : "ZLIB inflate error: %d\n",
                        rc);
        if (deflating)
            deflateReset(s);
        else
            inflateReset(s);
        return ZE_FAILURE;
    }
    *output_length = static_cast<int32_t>(s->total_out);
    rc = deflating ? deflateReset(s) : inflateReset(s);
    if (rc != Z_OK) {
        VES_print_debug(
            stderr, deflating ? "ZLIB deflateReset error: %d\n" : "ZLIB inflateReset error: %d\n",
            rc);
        return ZE_FAILURE;
    }
    return 0;
}

int32_t VES_deflate(VE_ZSTREAM *context, unsigned char *output, int32_t *output_length,
                    const unsigned char *input, int32_t input_length)
{
    return S_run(context, VE_ZSTREAM_DEFLATE, output, output_length, input, input_length);
}

int32_t VES_inflate(VE_ZSTREAM *context, unsigned char *output, int32_t *output_length,
                    const unsigned char *input, int32_t input_length)
{
    return S_run(context, VE_ZSTREAM_INFLATE, output, output_length, input, input_length);
}

using S_zlib_one_shot = int (*)(Bytef *, uLongf *, const Bytef *, uLong);

static int32_t S_one_shot(S_zlib_one_shot run, const char *message, unsigned char *output,
                          int32_t *output_length, const unsigned char *input, int32_t input_length)
{
    if (output == nullptr || output_length == nullptr || input == nullptr || input_length < 0 ||
        *output_length < 0)
        return ZE_NULL_POINTER;
    auto room = static_cast<uLongf>(*output_length);
    int rc = run(output, &room, input, static_cast<uLong>(input_length));
    if (rc != Z_OK) {
        VES_print_debug(stderr, message, rc);
        return ZE_FAILURE;
    }
    *output_length = static_cast<int32_t>(room);
    return 0;
}

int32_t VES_compress(unsigned char *output, int32_t *output_length, const unsigned char *input,
                     int32_t input_length)
{
    return S_one_shot(compress, "ZLIB compress error: %d\n", output, output_length, input,
                      input_length);
}

int32_t VES_uncompress(unsigned char *output, int32_t *output_length, const unsigned char *input,
                       int32_t input_length)
{
    return S_one_shot(uncompress, "ZLIB uncompress error: %d\n", output, output_length, input,
                      input_length);
}
