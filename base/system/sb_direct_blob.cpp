// Direct blobs: a blob value sent straight over a channel as segments of at
// most VES_BLOB_SEGMENT_SIZE bytes and its end, and received into memory, to
// a file descriptor or nowhere. The form and the codes are in
// base/system/sb_out_of_band.h. Every segment is read with the room left for
// it, so a peer's length never writes past the area: the channel refuses it
// and is then broken.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "base/system/ch_channel_internal.h"
#include "base/system/sb_out_of_band.h"
#include "base/util/zel_errors.h"

namespace
{

enum S_way { S_MEMORY, S_FILE, S_DISCARD };

} // namespace

// Writes all n bytes to the descriptor, going on after a partial write or an
// interruption: whether they all went.
static bool S_write_all(int fd, const uint8_t *bytes, int32_t n)
{
    size_t done = 0;
    while (done < static_cast<size_t>(n)) {
        ssize_t wrote = write(fd, bytes + done, static_cast<size_t>(n) - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

ZEL_API int32_t VES_write_direct_blob(CH_CHANNEL *channel, const VE_BLOB_VALUE *blob)
{
    if (channel == nullptr || blob == nullptr)
        return ZE_NULL_POINTER;
    const int32_t total = blob->byte_count;
    if (total < 0)
        return ZE_INVALID_ARGUMENT;
    if (total > 0 && blob->data == nullptr)
        return ZE_NULL_POINTER;
    // The segment whose remainder fits is the last; an empty blob is one
    // empty last segment.
    int32_t at = 0;
    for (;;) {
        const int32_t rest = total - at;
        const bool last = rest <= VES_BLOB_SEGMENT_SIZE;
        const int32_t n = last ? rest : VES_BLOB_SEGMENT_SIZE;
        const uint8_t *bytes = n > 0 ? blob->data + at : blob->data;
        if (CH_write_blob_seg(channel, bytes, n, last ? 1 : 0) != 0)
            return ZE_NETWORK_IO;
        if (last)
            break;
        at += n;
    }
    return CH_write_blob_end(channel, total, 1) != 0 ? ZE_NETWORK_IO : ZE_SUCCESS;
}

ZEL_API int32_t VES_read_direct_blob(CH_CHANNEL *channel, int32_t caller_buffer, int32_t capacity,
                                     int32_t discard, int32_t fd, VE_BLOB_VALUE *blob)
{
    if (channel == nullptr || blob == nullptr)
        return ZE_NULL_POINTER;
    if (blob->byte_count < 0)
        return ZE_INVALID_ARGUMENT;
    const S_way way = discard ? S_DISCARD : fd >= 0 ? S_FILE : S_MEMORY;
    if (caller_buffer) {
        if (capacity < 0 || (way == S_MEMORY && blob->byte_count > capacity))
            return ZE_INVALID_ARGUMENT;
        if (blob->data == nullptr && capacity > 0)
            return ZE_NULL_POINTER;
    } else if (way == S_MEMORY) {
        // Bytes counted before must be in the area grown behind them.
        if (blob->byte_count > 0 && blob->data == nullptr)
            return ZE_NULL_POINTER;
    } else {
        // One segment's area, the caller's to free like the memory way's.
        void *area = std::realloc(blob->data, VES_BLOB_SEGMENT_SIZE);
        if (area == nullptr)
            return ZE_BUFFER_NO_MEMORY;
        std::memset(area, 0, VES_BLOB_SEGMENT_SIZE);
        blob->data = static_cast<uint8_t *>(area);
    }
    int32_t received = 0; // this blob's bytes: its end pads them
    int32_t rc = ZE_SUCCESS;
    bool writing = way == S_FILE;
    for (bool first = true;; first = false) {
        const int32_t used = blob->byte_count;
        // A segment never takes more than its limit, the area's room or what
        // the length can still count.
        int32_t room = std::min(VES_BLOB_SEGMENT_SIZE, INT32_MAX - used);
        uint8_t *at = blob->data;
        if (way == S_MEMORY) {
            if (caller_buffer) {
                room = std::min(room, capacity - used);
            } else {
                void *grown = std::realloc(blob->data, static_cast<size_t>(used) + room);
                if (grown == nullptr) {
                    // Segments of the blob are left unread behind the first.
                    if (!first)
                        ch_break(channel);
                    return ZE_BUFFER_NO_MEMORY;
                }
                blob->data = static_cast<uint8_t *>(grown);
            }
            at = blob->data != nullptr ? blob->data + used : nullptr;
        } else if (caller_buffer) {
            room = std::min(room, capacity);
        }
        int32_t length = 0, last = 0;
        if (CH_read_blob_seg(channel, at, room, &length, &last) != 0)
            return ZE_NETWORK_IO;
        if (length < 0 || length > room) {
            ch_break(channel);
            return ZE_NETWORK_IO;
        }
        blob->byte_count = used + length;
        received += length;
        if (writing && !S_write_all(fd, at, length)) {
            // The rest is drained so that the channel stays in step.
            writing = false;
            rc = ZE_FILE_SHORT_WRITE;
        }
        if (last != 0)
            break;
    }
    if (CH_read_blob_end(channel, received, 1) != 0)
        return ZE_NETWORK_IO;
    return rc;
}
