// The tile buffer's record and what its two source files share:
// rb_buffer.cpp (life, messages, accessors) and rb_tile.cpp (tiles in the
// data area). base/system/rb_buffer.h lays out the data area and the
// message. Positions are offsets into the data area.
#ifndef RB_BUFFER_INTERNAL_H
#define RB_BUFFER_INTERNAL_H

#include <stdint.h>
#include <string.h>

#include "base/system/rb_buffer.h"
#include "base/util/ve_zstream.h"

struct RB_BUFFER {
    int32_t error;        /* the writer's error code, 0 otherwise */
    int32_t last;         /* 1: the last buffer */
    int32_t tile_count;   /* writer: tiles put; reader: tiles not yet taken */
    int32_t capacity;     /* bytes of the data area */
    uint8_t *data;        /* VES_buffer_alloc'd, capacity bytes; null until first use */
    int32_t position;     /* next byte to write or read */
    int32_t used;         /* bytes of the data area holding tiles (put or received) */
    VE_ZSTREAM *deflate;  /* made at the first compressing put */
    VE_ZSTREAM *inflate;  /* made at the first decompressing get */
    int32_t scratch_size; /* 0 until the scratch area is made, then the capacity */
    uint8_t *scratch;     /* reordered pixels before deflate, inflated bytes after */
};

/* Offsets of the seven header longs of a tile. */
#define RB_AT_LENGTH 0
#define RB_AT_NUMBER 4
#define RB_AT_FORMAT 8
#define RB_AT_PIXELS 12
#define RB_AT_WORDS 16

/* Makes the data area when it is not there and the capacity is above 0: 0,
 * or -999. */
int32_t rb_first_use(RB_BUFFER *buffer);

/* A header long of the data area (host order, unaligned). */
static inline int32_t rb_get_long(const uint8_t *at)
{
    int32_t value;
    memcpy(&value, at, sizeof(value));
    return value;
}

static inline void rb_put_long(uint8_t *at, int32_t value)
{
    memcpy(at, &value, sizeof(value));
}

#endif
