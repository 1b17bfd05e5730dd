// Received out-of-band rows and direct blobs fed to their readers. Input: a
// choice byte, then the bytes the peer sends. Choice: bit 0 an XDR channel
// (over a local socket; else a socket channel's raw forms over a link of the
// input), bits 1-2 what is read, again and again until a read fails: 0 rows
// into the row's own buffers, 1 rows into the caller's value pointers, 2
// blobs into memory the reader grows, 3 blobs into a caller's area of
// 64 << (bits 3-4) bytes, to a file descriptor (bit 5) or nowhere (bit 6);
// bit 7 an annotation object on the reading shape.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/system/ch_channel_internal.h"
#include "base/system/sb_out_of_band.h"
#include "base/system/so_channel_internal.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_feature.h"
#include "base/util/zel_errors.h"
#include "fuzz/fuzz_link.h"
#include "fuzz/fuzz_quiet.h"
#include "fuzz/fuzz_socket.h"

namespace
{

DB_COLUMN_DEF S_col(int32_t type, int32_t size = 0)
{
    DB_COLUMN_DEF c = {};
    c.type = type;
    c.size = size;
    return c;
}

// Every type, a second blob.
const DB_COLUMN_DEF S_columns[] = {S_col(VE_SMALLINT),  S_col(VE_INTEGER),    S_col(VE_FLOAT),
                                   S_col(VE_DOUBLE),    S_col(VE_STRING, 16), S_col(VE_BLOB),
                                   S_col(VE_DATE_TYPE), S_col(VE_SHAPE),      S_col(VE_RASTER),
                                   S_col(VE_BLOB)};
constexpr int16_t kColumns = sizeof S_columns / sizeof S_columns[0];

void S_read_rows(CH_CHANNEL *channel, uint8_t choice)
{
    int32_t aux[2] = {0, 0};
    VE_ROW_POINTERS row = {};
    row.column_count = kColumns;
    row.columns = const_cast<DB_COLUMN_DEF *>(S_columns);
    row.aux_count = 2;
    row.aux_longs = aux;
    if (VES_allocate_row_pointers(&row, 0) == 0) {
        if ((choice & 0x80) != 0)
            VES_anno_create(&static_cast<FEATURE_STRUCT *>(row.buffers[7])->anno);
        const int32_t own = ((choice >> 1) & 3) == 0;
        for (int steps = 0; steps < 100; steps++)
            if (VES_read_out_of_band_row(channel, &row, own) != 0)
                break;
    }
    VES_free_row_pointers(&row);
}

void S_read_blobs(CH_CHANNEL *channel, uint8_t choice)
{
    const bool caller = ((choice >> 1) & 3) == 3;
    const int32_t capacity = 64 << ((choice >> 3) & 3);
    const bool to_file = (choice & 0x20) != 0, discard = (choice & 0x40) != 0;
    const int fd = to_file ? open("/dev/null", O_WRONLY) : -1;
    std::vector<uint8_t> area(static_cast<size_t>(capacity));
    for (int steps = 0; steps < 100; steps++) {
        VE_BLOB_VALUE blob = {0, caller ? area.data() : nullptr};
        int32_t rc =
            VES_read_direct_blob(channel, caller ? 1 : 0, capacity, discard ? 1 : 0, fd, &blob);
        if (!caller)
            std::free(blob.data);
        if (rc != 0 && rc != ZE_FILE_SHORT_WRITE)
            break;
    }
    if (fd >= 0)
        close(fd);
}

void S_read(CH_CHANNEL *channel, uint8_t choice)
{
    if (((choice >> 1) & 3) < 2)
        S_read_rows(channel, choice);
    else
        S_read_blobs(channel, choice);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 1)
        return 0;
    const uint8_t choice = data[0];
    if ((choice & 1) != 0) {
        int fds[2];
        if (!fuzz_socket_input(data + 1, size - 1, fds))
            return 0;
        CH_CHANNEL *channel = CH_create(CH_TYPE_XDR, 0, &fds[0]);
        if (channel != nullptr)
            S_read(channel, choice);
        CH_destroy(channel);
        close(fds[0]);
        close(fds[1]);
        return 0;
    }
    fuzz_link_input input = {data + 1, size - 1, 0};
    SO_LINK link = fuzz_link(&input);
    CH_CHANNEL *channel = ch_create_on_link(&link, 64, 256);
    if (channel == nullptr)
        return 0;
    S_read(channel, choice);
    CH_destroy(channel);
    return 0;
}
