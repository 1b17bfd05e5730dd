// Received row stream buffers fed to the readers. Input: a choice byte (bit 0
// the XDR encoding of the data area, bit 1 the second row layout, bit 2 an
// annotation object on the reading shape, bits 3-4 the capacity: 64 << n),
// then the bytes the peer sends over a socket channel (raw forms: status,
// header fields, data block; message after message). Every message is
// received, every row taken with SB_get_row and every blob piece with
// SB_get_blob, into the reader's own blocks and into allocated ones.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/system/ch_channel_internal.h"
#include "base/system/sb_buffer.h"
#include "base/system/so_channel_internal.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/zel_errors.h"
#include "fuzz/fuzz_link.h"
#include "fuzz/fuzz_quiet.h"

namespace
{

DB_COLUMN_DEF S_col(int32_t type, int32_t size = 0)
{
    DB_COLUMN_DEF c = {};
    c.type = type;
    c.size = size;
    return c;
}

// The two layouts: every type with two blobs and two auxiliary longs; a
// short string and a blob.
const DB_COLUMN_DEF S_every_type[] = {S_col(VE_SMALLINT),  S_col(VE_INTEGER),    S_col(VE_FLOAT),
                                      S_col(VE_DOUBLE),    S_col(VE_STRING, 16), S_col(VE_BLOB),
                                      S_col(VE_DATE_TYPE), S_col(VE_SHAPE),      S_col(VE_RASTER),
                                      S_col(VE_BLOB)};
const DB_COLUMN_DEF S_string_blob[] = {S_col(VE_STRING, 8), S_col(VE_BLOB)};

void S_take_blobs(SB_BUFFER *in, VE_ROW_POINTERS *row)
{
    for (int16_t i = 0; i < row->column_count; i++) {
        if (row->columns[i].type != VE_BLOB)
            continue;
        uint8_t room[32];
        VE_BLOB_VALUE own = {sizeof room, room};
        SB_get_blob(in, row, i, &own);
        VE_BLOB_VALUE made = {};
        SB_get_blob(in, row, i, &made);
        std::free(made.data);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_quiet_stderr();
    if (size < 1)
        return 0;
    const uint8_t choice = data[0];
    fuzz_link_input input = {data + 1, size - 1, 0};
    SO_LINK link = fuzz_link(&input);
    CH_CHANNEL *channel = ch_create_on_link(&link, 64, 256);
    if (channel == nullptr)
        return 0;

    const bool second = (choice & 2) != 0;
    int32_t aux[2] = {0, 0};
    VE_ROW_POINTERS row = {};
    row.column_count = second ? 2 : 10;
    row.columns = const_cast<DB_COLUMN_DEF *>(second ? S_string_blob : S_every_type);
    row.aux_count = second ? 0 : 2;
    row.aux_longs = aux;
    SB_BUFFER *in = nullptr;
    if (VES_allocate_row_pointers(&row, 0) == 0 &&
        SB_init(SB_RECEIVE_BUFFER, 0, 64 << ((choice >> 3) & 3), 0,
                (choice & 1) ? SB_ENCODING_XDR : 0, &in) == 0) {
        if (!second && (choice & 4) != 0)
            VES_anno_create(&static_cast<FEATURE_STRUCT *>(row.buffers[7])->anno);
        int32_t rc = ZE_BUFFER_DRAINED;
        for (int steps = 0; steps < 1000; steps++) {
            if (rc == ZE_BUFFER_DRAINED) {
                if (SB_receive_buffer(channel, in) != 0)
                    break;
            } else if (rc != 0) {
                break;
            }
            rc = SB_get_row(in, &row);
            if (rc == 0)
                S_take_blobs(in, &row);
        }
    }
    SB_free(in);
    VES_free_row_pointers(&row);
    CH_destroy(channel);
    return 0;
}
