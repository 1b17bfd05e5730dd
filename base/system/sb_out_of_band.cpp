// Out-of-band rows: a row too large for an empty row stream buffer, sent and
// received by itself through the channel's members. The row's form and the
// codes are in base/system/sb_out_of_band.h; the direct blobs that follow a
// row's blob columns are sb_direct_blob.cpp.
#include "base/system/sb_out_of_band.h"

#include <cstdint>
#include <cstring>

#include "base/system/ch_channel_internal.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/zel_errors.h"

// Whether a column of the type carries a value in an out-of-band row: a blob
// follows as a direct blob, a raster carries nothing.
static bool S_carries_value(int32_t type)
{
    return type != VE_BLOB && type != VE_RASTER;
}

static bool S_known_type(int32_t type)
{
    return type >= VE_SMALLINT && type <= VE_RASTER;
}

// Sends one value of the type from value: 0 or the channel's status.
static int32_t S_write_value(CH_CHANNEL *channel, int32_t type, const void *value)
{
    switch (type) {
    case VE_SMALLINT: {
        int16_t v;
        std::memcpy(&v, value, sizeof v);
        return CH_write_short(channel, v);
    }
    case VE_INTEGER: {
        int32_t v;
        std::memcpy(&v, value, sizeof v);
        return CH_write_long(channel, v);
    }
    case VE_FLOAT: {
        float v;
        std::memcpy(&v, value, sizeof v);
        return CH_write_float(channel, v);
    }
    case VE_DOUBLE: {
        double v;
        std::memcpy(&v, value, sizeof v);
        return CH_write_lfloat(channel, v);
    }
    case VE_STRING:
        return CH_write_string(channel, static_cast<const char *>(value));
    case VE_DATE_TYPE:
        return CH_write_date(channel, static_cast<const VE_DATE *>(value));
    case VE_SHAPE:
        return CH_write_compressed_feature(channel, static_cast<const FEATURE_STRUCT *>(value));
    default:
        return ZE_SUCCESS;
    }
}

// Reads one value of the column into value: 0 or the channel's status.
static int32_t S_read_value(CH_CHANNEL *channel, const DB_COLUMN_DEF &column, void *value)
{
    switch (column.type) {
    case VE_SMALLINT:
        return CH_read_short(channel, static_cast<int16_t *>(value));
    case VE_INTEGER:
        return CH_read_long(channel, static_cast<int32_t *>(value));
    case VE_FLOAT:
        return CH_read_float(channel, static_cast<float *>(value));
    case VE_DOUBLE:
        return CH_read_lfloat(channel, static_cast<double *>(value));
    case VE_STRING:
        // The room of a string column's buffer: its size and the terminator.
        return CH_read_string(channel, static_cast<char *>(value),
                              column.size < INT32_MAX ? column.size + 1 : INT32_MAX);
    case VE_DATE_TYPE:
        return CH_read_date(channel, static_cast<VE_DATE *>(value));
    case VE_SHAPE:
        return CH_read_compressed_feature(channel, static_cast<FEATURE_STRUCT *>(value));
    default:
        return ZE_SUCCESS;
    }
}

ZEL_API int32_t VES_write_out_of_band_row(CH_CHANNEL *channel, const VE_ROW_POINTERS *row)
{
    if (channel == nullptr || row == nullptr)
        return ZE_NULL_POINTER;
    const int16_t count = row->column_count;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    if ((count > 0 && (row->indicators == nullptr || row->columns == nullptr)) ||
        (row->aux_count > 0 && row->aux_longs == nullptr))
        return ZE_NULL_POINTER;
    // Whatever would stop the row half-way is found before a byte is sent.
    bool blob_follows = false;
    for (int16_t i = 0; i < count; i++) {
        if (row->indicators[i] != VE_IND_VALUE)
            continue;
        const int32_t type = row->columns[i].type;
        if (!S_known_type(type))
            return ZE_UNKNOWN_COLUMN_TYPE;
        if (type == VE_BLOB)
            blob_follows = true;
        else if (S_carries_value(type) && (row->values == nullptr || row->values[i] == nullptr))
            return ZE_NULL_POINTER;
    }
    if (CH_write_short_array(channel, count, row->indicators) != 0)
        return ZE_NETWORK_IO;
    for (int16_t i = 0; i < row->aux_count; i++)
        if (CH_write_long(channel, row->aux_longs[i]) != 0)
            return ZE_NETWORK_IO;
    for (int16_t i = 0; i < count; i++) {
        if (row->indicators[i] == VE_IND_VALUE &&
            S_write_value(channel, row->columns[i].type, row->values[i]) != 0)
            return ZE_NETWORK_IO;
    }
    if (CH_flush(channel) != 0)
        return ZE_NETWORK_IO;
    return blob_follows ? ZE_BLOB_PIECES_FOLLOW : ZE_SUCCESS;
}

ZEL_API int32_t VES_read_out_of_band_row(CH_CHANNEL *channel, VE_ROW_POINTERS *row,
                                         int32_t own_buffers)
{
    if (channel == nullptr || row == nullptr)
        return ZE_NULL_POINTER;
    const int16_t room = row->column_count;
    if (room < 0)
        return ZE_INVALID_ARGUMENT;
    if ((room > 0 && (row->indicators == nullptr || row->columns == nullptr ||
                      row->values == nullptr || (own_buffers && row->buffers == nullptr))) ||
        (row->aux_count > 0 && row->aux_longs == nullptr))
        return ZE_NULL_POINTER;
    // The row's own columns are checked before anything is read, so a row
    // the caller built wrong leaves the channel in step.
    for (int16_t i = 0; i < room; i++) {
        if (!S_known_type(row->columns[i].type))
            return ZE_UNKNOWN_COLUMN_TYPE;
        if (row->columns[i].type == VE_STRING && row->columns[i].size < 0)
            return ZE_INVALID_ARGUMENT;
    }
    // The indicators land in the row's array only when their count fits it;
    // a longer one is refused by the channel, which is then broken.
    int16_t count = 0;
    if (CH_read_short_array(channel, &count, row->indicators, room) != 0)
        return ZE_NETWORK_IO;
    for (int16_t i = count; i < room; i++)
        row->indicators[i] = VE_IND_NULL;
    for (int16_t i = 0; i < row->aux_count; i++)
        if (CH_read_long(channel, &row->aux_longs[i]) != 0)
            return ZE_NETWORK_IO;
    for (int16_t i = 0; i < count; i++) {
        const DB_COLUMN_DEF &column = row->columns[i];
        if (row->indicators[i] != VE_IND_VALUE || !S_carries_value(column.type))
            continue;
        if (own_buffers)
            row->values[i] = row->buffers[i];
        if (row->values[i] == nullptr) {
            // The value is on the wire and has nowhere to go.
            ch_break(channel);
            return ZE_NULL_POINTER;
        }
        if (S_read_value(channel, column, row->values[i]) != 0)
            return ZE_NETWORK_IO;
    }
    return ZE_SUCCESS;
}
