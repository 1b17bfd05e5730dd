// The channel's read and write family (base/system/ch_channel.h): each member
// hands its record to the member of the channel's transport, chosen by a
// switch on the channel's type, and returns its status unchanged. The socket
// transport's members are in so_records.cpp, the XDR transport's in
// xdr_channel.cpp; on an old-release channel the records that have an older
// form take the transport's old member (on XDR also the SQL construct). The
// memory transports (types 2 and 3) send the same raw forms with nothing
// held back: their channels run the socket members over an unbuffered record
// layer whose link is the memory transport (ch_channel.cpp), and differ only
// in the filter arrays, whose images stay current for an older peer. On a
// traced channel a write is dumped before it is sent, a read once it has
// succeeded (ch_intercept_dump.cpp).
#include "base/system/ch_channel_internal.h"
#include "base/system/ch_intercept_internal.h"
#include "base/system/so_channel_internal.h"

static int32_t S_read_long(CH_CHANNEL *channel, int32_t *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_long(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_read_long(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_long(CH_CHANNEL *channel, int32_t *value)
{
    int32_t rc = S_read_long(channel, value);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_long(channel->intercept_file, *value, "R");
    return rc;
}

static int32_t S_write_long(CH_CHANNEL *channel, int32_t value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_long(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_write_long(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_long(CH_CHANNEL *channel, int32_t value)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_long(channel->intercept_file, value, "W");
    return S_write_long(channel, value);
}

static int32_t S_read_ulong(CH_CHANNEL *channel, uint32_t *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ulong(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_read_ulong(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ulong(CH_CHANNEL *channel, uint32_t *value)
{
    int32_t rc = S_read_ulong(channel, value);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_ulong(channel->intercept_file, *value, "R");
    return rc;
}

static int32_t S_write_ulong(CH_CHANNEL *channel, uint32_t value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ulong(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_write_ulong(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ulong(CH_CHANNEL *channel, uint32_t value)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_ulong(channel->intercept_file, value, "W");
    return S_write_ulong(channel, value);
}

static int32_t S_read_float(CH_CHANNEL *channel, float *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_float(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_read_float(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_float(CH_CHANNEL *channel, float *value)
{
    int32_t rc = S_read_float(channel, value);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_float(channel->intercept_file, *value, "R");
    return rc;
}

static int32_t S_write_float(CH_CHANNEL *channel, float value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_float(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_write_float(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_float(CH_CHANNEL *channel, float value)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_float(channel->intercept_file, value, "W");
    return S_write_float(channel, value);
}

static int32_t S_read_lfloat(CH_CHANNEL *channel, double *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_lfloat(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_read_lfloat(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_lfloat(CH_CHANNEL *channel, double *value)
{
    int32_t rc = S_read_lfloat(channel, value);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_lfloat(channel->intercept_file, *value, "R");
    return rc;
}

static int32_t S_write_lfloat(CH_CHANNEL *channel, double value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_lfloat(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_write_lfloat(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_lfloat(CH_CHANNEL *channel, double value)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_lfloat(channel->intercept_file, value, "W");
    return S_write_lfloat(channel, value);
}

static int32_t S_read_short(CH_CHANNEL *channel, int16_t *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_short(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_read_short(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_short(CH_CHANNEL *channel, int16_t *value)
{
    int32_t rc = S_read_short(channel, value);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_short(channel->intercept_file, *value, "R");
    return rc;
}

static int32_t S_write_short(CH_CHANNEL *channel, int16_t value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_short(channel->so, value);
    case CH_TYPE_XDR:
        return XDR_write_short(channel->xdr, value);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_short(CH_CHANNEL *channel, int16_t value)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_short(channel->intercept_file, value, "W");
    return S_write_short(channel, value);
}

static int32_t S_read_pt3d(CH_CHANNEL *channel, int32_t *x, int32_t *y, int32_t *z)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_pt3d(channel->so, x, y, z);
    case CH_TYPE_XDR:
        return XDR_read_pt3d(channel->xdr, x, y, z);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_pt3d(CH_CHANNEL *channel, int32_t *x, int32_t *y, int32_t *z)
{
    int32_t rc = S_read_pt3d(channel, x, y, z);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_pt3d(channel->intercept_file, *x, *y, *z, "R");
    return rc;
}

static int32_t S_write_pt3d(CH_CHANNEL *channel, int32_t x, int32_t y, int32_t z)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_pt3d(channel->so, x, y, z);
    case CH_TYPE_XDR:
        return XDR_write_pt3d(channel->xdr, x, y, z);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_pt3d(CH_CHANNEL *channel, int32_t x, int32_t y, int32_t z)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_pt3d(channel->intercept_file, x, y, z, "W");
    return S_write_pt3d(channel, x, y, z);
}

static int32_t S_read_envp(CH_CHANNEL *channel, ENVELOPE *envelope)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_envp(channel->so, envelope);
    case CH_TYPE_XDR:
        return XDR_read_envp(channel->xdr, envelope);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_envp(CH_CHANNEL *channel, ENVELOPE *envelope)
{
    int32_t rc = S_read_envp(channel, envelope);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_envelope(channel->intercept_file, envelope, "R");
    return rc;
}

static int32_t S_write_envp(CH_CHANNEL *channel, const ENVELOPE *envelope)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_envp(channel->so, envelope);
    case CH_TYPE_XDR:
        return XDR_write_envp(channel->xdr, envelope);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_envp(CH_CHANNEL *channel, const ENVELOPE *envelope)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_envelope(channel->intercept_file, envelope, "W");
    return S_write_envp(channel, envelope);
}

static int32_t S_read_date(CH_CHANNEL *channel, VE_DATE *date)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_date(channel->so, date);
    case CH_TYPE_XDR:
        return XDR_read_date(channel->xdr, date);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_date(CH_CHANNEL *channel, VE_DATE *date)
{
    int32_t rc = S_read_date(channel, date);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_date(channel->intercept_file, date, "R");
    return rc;
}

static int32_t S_write_date(CH_CHANNEL *channel, const VE_DATE *date)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_date(channel->so, date);
    case CH_TYPE_XDR:
        return XDR_write_date(channel->xdr, date);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_date(CH_CHANNEL *channel, const VE_DATE *date)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_date(channel->intercept_file, date, "W");
    return S_write_date(channel, date);
}

static int32_t S_read_fid_array(CH_CHANNEL *channel, int32_t *ids, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_fid_array(channel->so, ids, count);
    case CH_TYPE_XDR:
        return XDR_read_fid_array(channel->xdr, ids, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_fid_array(CH_CHANNEL *channel, int32_t *ids, int32_t count)
{
    int32_t rc = S_read_fid_array(channel, ids, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_fid_array(channel->intercept_file, ids, count, "R");
    return rc;
}

static int32_t S_write_fid_array(CH_CHANNEL *channel, const int32_t *ids, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_fid_array(channel->so, ids, count);
    case CH_TYPE_XDR:
        return XDR_write_fid_array(channel->xdr, ids, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_fid_array(CH_CHANNEL *channel, const int32_t *ids, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_fid_array(channel->intercept_file, ids, count, "W");
    return S_write_fid_array(channel, ids, count);
}

static int32_t S_read_lfloat_array(CH_CHANNEL *channel, double *values, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_lfloat_array(channel->so, values, count);
    case CH_TYPE_XDR:
        return XDR_read_lfloat_array(channel->xdr, values, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_lfloat_array(CH_CHANNEL *channel, double *values, int32_t count)
{
    int32_t rc = S_read_lfloat_array(channel, values, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_lfloat_array(channel->intercept_file, values, count, "R");
    return rc;
}

static int32_t S_write_lfloat_array(CH_CHANNEL *channel, const double *values, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_lfloat_array(channel->so, values, count);
    case CH_TYPE_XDR:
        return XDR_write_lfloat_array(channel->xdr, values, count);
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_write_lfloat_array(CH_CHANNEL *channel, const double *values, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_lfloat_array(channel->intercept_file, values, count, "W");
    return S_write_lfloat_array(channel, values, count);
}

static int32_t S_read_block(CH_CHANNEL *channel, void *buffer, int32_t length)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_block(channel->so, buffer, length);
    case CH_TYPE_XDR:
        return XDR_read_block(channel->xdr, buffer, length);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_block(CH_CHANNEL *channel, void *buffer, int32_t length)
{
    int32_t rc = S_read_block(channel, buffer, length);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_block(channel->intercept_file, buffer, length, "R");
    return rc;
}

static int32_t S_write_block(CH_CHANNEL *channel, const void *buffer, int32_t length)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_block(channel->so, buffer, length);
    case CH_TYPE_XDR:
        return XDR_write_block(channel->xdr, buffer, length);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_block(CH_CHANNEL *channel, const void *buffer, int32_t length)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_block(channel->intercept_file, buffer, length, "W");
    return S_write_block(channel, buffer, length);
}

static int32_t S_read_short_array(CH_CHANNEL *channel, int16_t *count, int16_t *values,
                                  int16_t capacity)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_short_array(channel->so, count, values, capacity);
    case CH_TYPE_XDR:
        return XDR_read_short_array(channel->xdr, count, values, capacity);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_short_array(CH_CHANNEL *channel, int16_t *count, int16_t *values,
                                    int16_t capacity)
{
    int32_t rc = S_read_short_array(channel, count, values, capacity);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_short_array(channel->intercept_file, values, *count, "R");
    return rc;
}

static int32_t S_write_short_array(CH_CHANNEL *channel, int16_t count, const int16_t *values)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_short_array(channel->so, count, values);
    case CH_TYPE_XDR:
        return XDR_write_short_array(channel->xdr, count, values);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_short_array(CH_CHANNEL *channel, int16_t count, const int16_t *values)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_short_array(channel->intercept_file, values, count, "W");
    return S_write_short_array(channel, count, values);
}

static int32_t S_read_string(CH_CHANNEL *channel, char *buffer, int32_t capacity)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_string(channel->so, buffer, capacity);
    case CH_TYPE_XDR:
        return XDR_read_string(channel->xdr, buffer, capacity);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_string(CH_CHANNEL *channel, char *buffer, int32_t capacity)
{
    int32_t rc = S_read_string(channel, buffer, capacity);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_string(channel->intercept_file, buffer, "R");
    return rc;
}

static int32_t S_write_string(CH_CHANNEL *channel, const char *string)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_string(channel->so, string);
    case CH_TYPE_XDR:
        return XDR_write_string(channel->xdr, string);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_string(CH_CHANNEL *channel, const char *string)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_string(channel->intercept_file, string, "W");
    return S_write_string(channel, string);
}

static int32_t S_read_dynamic_string(CH_CHANNEL *channel, char **string)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_dynamic_string(channel->so, string);
    case CH_TYPE_XDR:
        return XDR_read_dynamic_string(channel->xdr, string);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_dynamic_string(CH_CHANNEL *channel, char **string)
{
    int32_t rc = S_read_dynamic_string(channel, string);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_dynamic_string(channel->intercept_file, *string, "R");
    return rc;
}

static int32_t S_write_dynamic_string(CH_CHANNEL *channel, const char *string)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_dynamic_string(channel->so, string);
    case CH_TYPE_XDR:
        return XDR_write_dynamic_string(channel->xdr, string);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_dynamic_string(CH_CHANNEL *channel, const char *string)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_dynamic_string(channel->intercept_file, string, "W");
    return S_write_dynamic_string(channel, string);
}

static int32_t S_read_blob_seg(CH_CHANNEL *channel, void *buffer, int32_t capacity, int32_t *length,
                               int32_t *last)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_blob_seg(channel->so, buffer, capacity, length, last);
    case CH_TYPE_XDR:
        return XDR_read_blob_seg(channel->xdr, buffer, capacity, length, last);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_blob_seg(CH_CHANNEL *channel, void *buffer, int32_t capacity,
                                 int32_t *length, int32_t *last)
{
    int32_t rc = S_read_blob_seg(channel, buffer, capacity, length, last);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_blob_seg(channel->intercept_file, buffer, *length, *last, "R");
    return rc;
}

static int32_t S_write_blob_seg(CH_CHANNEL *channel, const void *buffer, int32_t length,
                                int32_t last)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_blob_seg(channel->so, buffer, length, last);
    case CH_TYPE_XDR:
        return XDR_write_blob_seg(channel->xdr, buffer, length, last);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_blob_seg(CH_CHANNEL *channel, const void *buffer, int32_t length,
                                  int32_t last)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_blob_seg(channel->intercept_file, buffer, length, last, "W");
    return S_write_blob_seg(channel, buffer, length, last);
}

static int32_t S_read_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t skip)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_blob_end(channel->so, total_length, skip);
    case CH_TYPE_XDR:
        return XDR_read_blob_end(channel->xdr, total_length, skip);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t skip)
{
    int32_t rc = S_read_blob_end(channel, total_length, skip);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_blob_end(channel->intercept_file, total_length, skip, "R");
    return rc;
}

static int32_t S_write_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t flush)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_blob_end(channel->so, total_length, flush);
    case CH_TYPE_XDR:
        return XDR_write_blob_end(channel->xdr, total_length, flush);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t flush)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_blob_end(channel->intercept_file, total_length, flush, "W");
    return S_write_blob_end(channel, total_length, flush);
}

static int32_t S_read_release(CH_CHANNEL *channel, RELEASE *release)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_release_old(channel->so, release)
                                    : SO_read_release(channel->so, release);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_read_release_old(channel->xdr, release)
                                    : XDR_read_release(channel->xdr, release);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_release(CH_CHANNEL *channel, RELEASE *release)
{
    int32_t rc = S_read_release(channel, release);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_release(channel->intercept_file, release, "R");
    return rc;
}

static int32_t S_write_release(CH_CHANNEL *channel, const RELEASE *release)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_release(channel->so, release);
    case CH_TYPE_XDR:
        return XDR_write_release(channel->xdr, release);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_release(CH_CHANNEL *channel, const RELEASE *release)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_release(channel->intercept_file, release, "W");
    return S_write_release(channel, release);
}

static int32_t S_read_compressed_feature(CH_CHANNEL *channel, FEATURE_STRUCT *feature)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_compressed_feature(channel->so, feature);
    case CH_TYPE_XDR:
        return XDR_read_compressed_feature(channel->xdr, feature);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_compressed_feature(CH_CHANNEL *channel, FEATURE_STRUCT *feature)
{
    int32_t rc = S_read_compressed_feature(channel, feature);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_compressed_feature(channel->intercept_file, feature, "R");
    return rc;
}

static int32_t S_write_compressed_feature(CH_CHANNEL *channel, const FEATURE_STRUCT *feature)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_compressed_feature(channel->so, feature);
    case CH_TYPE_XDR:
        return XDR_write_compressed_feature(channel->xdr, feature);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_compressed_feature(CH_CHANNEL *channel, const FEATURE_STRUCT *feature)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_compressed_feature(channel->intercept_file, feature, "W");
    return S_write_compressed_feature(channel, feature);
}

static int32_t S_readf(CH_CHANNEL *channel, FEATURE_STRUCT *feature, int32_t allocate)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_readf(channel->so, feature, allocate);
    case CH_TYPE_XDR:
        return XDR_readf(channel->xdr, feature, allocate);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_readf(CH_CHANNEL *channel, FEATURE_STRUCT *feature, int32_t allocate)
{
    int32_t rc = S_readf(channel, feature, allocate);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_feature(channel->intercept_file, feature, "R");
    return rc;
}

static int32_t S_writef(CH_CHANNEL *channel, const FEATURE_STRUCT *feature)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_writef(channel->so, feature);
    case CH_TYPE_XDR:
        return XDR_writef(channel->xdr, feature);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_writef(CH_CHANNEL *channel, const FEATURE_STRUCT *feature)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_feature(channel->intercept_file, feature, "W");
    return S_writef(channel, feature);
}

static int32_t S_read_coordref(CH_CHANNEL *channel, COORDREF *coordref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_coordref_old(channel->so, coordref)
                                    : SO_read_coordref(channel->so, coordref);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_read_coordref_old(channel->xdr, coordref)
                                    : XDR_read_coordref(channel->xdr, coordref);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_coordref(CH_CHANNEL *channel, COORDREF *coordref)
{
    int32_t rc = S_read_coordref(channel, coordref);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_coordref(channel->intercept_file, coordref, "R");
    return rc;
}

static int32_t S_write_coordref(CH_CHANNEL *channel, const COORDREF *coordref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_coordref_old(channel->so, coordref)
                                    : SO_write_coordref(channel->so, coordref);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_write_coordref_old(channel->xdr, coordref)
                                    : XDR_write_coordref(channel->xdr, coordref);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_coordref(CH_CHANNEL *channel, const COORDREF *coordref)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_coordref(channel->intercept_file, coordref, "W");
    return S_write_coordref(channel, coordref);
}

static int32_t S_read_layer(CH_CHANNEL *channel, LAYER *layer)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_layer_old(channel->so, layer)
                                    : SO_read_layer(channel->so, layer);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_read_layer_old(channel->xdr, layer)
                                    : XDR_read_layer(channel->xdr, layer);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_layer(CH_CHANNEL *channel, LAYER *layer)
{
    int32_t rc = S_read_layer(channel, layer);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_layer(channel->intercept_file, layer, "R");
    return rc;
}

static int32_t S_write_layer(CH_CHANNEL *channel, const LAYER *layer)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_layer_old(channel->so, layer)
                                    : SO_write_layer(channel->so, layer);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_write_layer_old(channel->xdr, layer)
                                    : XDR_write_layer(channel->xdr, layer);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_layer(CH_CHANNEL *channel, const LAYER *layer)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_layer(channel->intercept_file, layer, "W");
    return S_write_layer(channel, layer);
}

static int32_t S_read_layer_list(CH_CHANNEL *channel, LAYER *layers, int32_t capacity,
                                 int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_layer_list_old(channel->so, layers, capacity, count)
                                    : SO_read_layer_list(channel->so, layers, capacity, count);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_read_layer_list_old(channel->xdr, layers, capacity, count)
                                    : XDR_read_layer_list(channel->xdr, layers, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_layer_list(CH_CHANNEL *channel, LAYER *layers, int32_t capacity,
                                   int32_t *count)
{
    int32_t rc = S_read_layer_list(channel, layers, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_layer_list(channel->intercept_file, layers, *count, "R");
    return rc;
}

static int32_t S_write_layer_list(CH_CHANNEL *channel, const LAYER *layers, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_layer_list_old(channel->so, layers, count)
                                    : SO_write_layer_list(channel->so, layers, count);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_write_layer_list_old(channel->xdr, layers, count)
                                    : XDR_write_layer_list(channel->xdr, layers, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_layer_list(CH_CHANNEL *channel, const LAYER *layers, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_layer_list(channel->intercept_file, layers, count, "W");
    return S_write_layer_list(channel, layers, count);
}

static int32_t S_read_construct(CH_CHANNEL *channel, VE_SQL_CONSTRUCT *construct)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_construct(channel->so, construct);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_read_construct_old(channel->xdr, construct)
                                    : XDR_read_construct(channel->xdr, construct);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_construct(CH_CHANNEL *channel, VE_SQL_CONSTRUCT *construct)
{
    int32_t rc = S_read_construct(channel, construct);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_construct(channel->intercept_file, construct, "R");
    return rc;
}

static int32_t S_write_construct(CH_CHANNEL *channel, const VE_SQL_CONSTRUCT *construct)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_construct(channel->so, construct);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_write_construct_old(channel->xdr, construct)
                                    : XDR_write_construct(channel->xdr, construct);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_construct(CH_CHANNEL *channel, const VE_SQL_CONSTRUCT *construct)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_construct(channel->intercept_file, construct, "W");
    return S_write_construct(channel, construct);
}

static int32_t S_read_column_def(CH_CHANNEL *channel, int16_t *count, DB_COLUMN_DEF **defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_column_def_old(channel->so, count, defs)
                                    : SO_read_column_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_read_column_def_old(channel->xdr, count, defs)
                                    : XDR_read_column_def(channel->xdr, count, defs);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_column_def(CH_CHANNEL *channel, int16_t *count, DB_COLUMN_DEF **defs)
{
    int32_t rc = S_read_column_def(channel, count, defs);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_column_def(channel->intercept_file, *defs, *count, "R");
    return rc;
}

static int32_t S_write_column_def(CH_CHANNEL *channel, int16_t count, const DB_COLUMN_DEF *defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_column_def_old(channel->so, count, defs)
                                    : SO_write_column_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_write_column_def_old(channel->xdr, count, defs)
                                    : XDR_write_column_def(channel->xdr, count, defs);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_column_def(CH_CHANNEL *channel, int16_t count, const DB_COLUMN_DEF *defs)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_column_def(channel->intercept_file, defs, count, "W");
    return S_write_column_def(channel, count, defs);
}

static int32_t S_read_filter_array(CH_CHANNEL *channel, int16_t *count, VE_FILTER **filters)
{
    switch (ch_type(channel)) {
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return so_read_filter_array_form(channel->so, count, filters,
                                         ch_memory_filter_form(channel));
    case CH_TYPE_SOCKET:
        return channel->old_release ? SO_read_filter_array_old(channel->so, count, filters)
                                    : SO_read_filter_array(channel->so, count, filters);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_read_filter_array_old(channel->xdr, count, filters)
                                    : XDR_read_filter_array(channel->xdr, count, filters);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_filter_array(CH_CHANNEL *channel, int16_t *count, VE_FILTER **filters)
{
    int32_t rc = S_read_filter_array(channel, count, filters);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_filters(channel->intercept_file, *filters, *count, "R");
    return rc;
}

static int32_t S_write_filter_array(CH_CHANNEL *channel, int16_t count, const VE_FILTER *filters)
{
    switch (ch_type(channel)) {
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return so_write_filter_array_form(channel->so, count, filters,
                                          ch_memory_filter_form(channel));
    case CH_TYPE_SOCKET:
        return channel->old_release ? SO_write_filter_array_old(channel->so, count, filters)
                                    : SO_write_filter_array(channel->so, count, filters);
    case CH_TYPE_XDR:
        return channel->old_release ? XDR_write_filter_array_old(channel->xdr, count, filters)
                                    : XDR_write_filter_array(channel->xdr, count, filters);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_filter_array(CH_CHANNEL *channel, int16_t count, const VE_FILTER *filters)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_filters(channel->intercept_file, filters, count, "W");
    return S_write_filter_array(channel, count, filters);
}

static int32_t S_read_queryinfo(CH_CHANNEL *channel, VE_QUERYINFO *info)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_queryinfo(channel->so, info);
    case CH_TYPE_XDR:
        return XDR_read_queryinfo(channel->xdr, info);
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_read_queryinfo(CH_CHANNEL *channel, VE_QUERYINFO *info)
{
    int32_t rc = S_read_queryinfo(channel, info);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_queryinfo(channel->intercept_file, info, "R");
    return rc;
}

static int32_t S_write_queryinfo(CH_CHANNEL *channel, const VE_QUERYINFO *info)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_queryinfo(channel->so, info);
    case CH_TYPE_XDR:
        return XDR_write_queryinfo(channel->xdr, info);
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_write_queryinfo(CH_CHANNEL *channel, const VE_QUERYINFO *info)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_queryinfo(channel->intercept_file, info, "W");
    return S_write_queryinfo(channel, info);
}

static int32_t S_read_ve_si_stats(CH_CHANNEL *channel, VE_SPIDX_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_si_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return XDR_read_ve_si_stats(channel->xdr, stats);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_si_stats(CH_CHANNEL *channel, VE_SPIDX_STATS *stats)
{
    int32_t rc = S_read_ve_si_stats(channel, stats);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_si_stats(channel->intercept_file, stats, "R");
    return rc;
}

static int32_t S_write_ve_si_stats(CH_CHANNEL *channel, const VE_SPIDX_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_si_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return XDR_write_ve_si_stats(channel->xdr, stats);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_si_stats(CH_CHANNEL *channel, const VE_SPIDX_STATS *stats)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_si_stats(channel->intercept_file, stats, "W");
    return S_write_ve_si_stats(channel, stats);
}

static int32_t S_read_ve_layer_stats(CH_CHANNEL *channel, VE_LAYER_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_layer_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return XDR_read_ve_layer_stats(channel->xdr, stats);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_layer_stats(CH_CHANNEL *channel, VE_LAYER_STATS *stats)
{
    int32_t rc = S_read_ve_layer_stats(channel, stats);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_layer_stats(channel->intercept_file, stats, "R");
    return rc;
}

static int32_t S_write_ve_layer_stats(CH_CHANNEL *channel, const VE_LAYER_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_layer_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return XDR_write_ve_layer_stats(channel->xdr, stats);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_layer_stats(CH_CHANNEL *channel, const VE_LAYER_STATS *stats)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_layer_stats(channel->intercept_file, stats, "W");
    return S_write_ve_layer_stats(channel, stats);
}

static int32_t S_read_ve_layer_locks_list(CH_CHANNEL *channel, VE_LAYER_LOCKS *locks,
                                          int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_layer_locks_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_ve_layer_locks_list(channel->xdr, locks, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_layer_locks_list(CH_CHANNEL *channel, VE_LAYER_LOCKS *locks,
                                            int32_t capacity, int32_t *count)
{
    int32_t rc = S_read_ve_layer_locks_list(channel, locks, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_layer_locks(channel->intercept_file, locks, *count, "R");
    return rc;
}

static int32_t S_write_ve_layer_locks_list(CH_CHANNEL *channel, const VE_LAYER_LOCKS *locks,
                                           int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_layer_locks_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return XDR_write_ve_layer_locks_list(channel->xdr, locks, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_layer_locks_list(CH_CHANNEL *channel, const VE_LAYER_LOCKS *locks,
                                             int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_layer_locks(channel->intercept_file, locks, count, "W");
    return S_write_ve_layer_locks_list(channel, locks, count);
}

static int32_t S_read_metadata(CH_CHANNEL *channel, METADATA *metadata)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_metadata(channel->so, metadata);
    case CH_TYPE_XDR:
        return XDR_read_metadata(channel->xdr, metadata);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_metadata(CH_CHANNEL *channel, METADATA *metadata)
{
    int32_t rc = S_read_metadata(channel, metadata);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_metadata(channel->intercept_file, metadata, "R");
    return rc;
}

static int32_t S_write_metadata(CH_CHANNEL *channel, const METADATA *metadata)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_metadata(channel->so, metadata);
    case CH_TYPE_XDR:
        return XDR_write_metadata(channel->xdr, metadata);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_metadata(CH_CHANNEL *channel, const METADATA *metadata)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_metadata(channel->intercept_file, metadata, "W");
    return S_write_metadata(channel, metadata);
}

static int32_t S_read_metadata_list(CH_CHANNEL *channel, METADATA *metadata, int32_t capacity,
                                    int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_metadata_list(channel->so, metadata, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_metadata_list(channel->xdr, metadata, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_metadata_list(CH_CHANNEL *channel, METADATA *metadata, int32_t capacity,
                                      int32_t *count)
{
    int32_t rc = S_read_metadata_list(channel, metadata, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_metadata_list(channel->intercept_file, metadata, *count, "R");
    return rc;
}

static int32_t S_write_metadata_list(CH_CHANNEL *channel, const METADATA *metadata, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_metadata_list(channel->so, metadata, count);
    case CH_TYPE_XDR:
        return XDR_write_metadata_list(channel->xdr, metadata, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_metadata_list(CH_CHANNEL *channel, const METADATA *metadata, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_metadata_list(channel->intercept_file, metadata, count, "W");
    return S_write_metadata_list(channel, metadata, count);
}

static int32_t S_read_registration(CH_CHANNEL *channel, REGISTRATION *registration)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_registration(channel->so, registration);
    case CH_TYPE_XDR:
        return XDR_read_registration(channel->xdr, registration);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_registration(CH_CHANNEL *channel, REGISTRATION *registration)
{
    int32_t rc = S_read_registration(channel, registration);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_registration(channel->intercept_file, registration, "R");
    return rc;
}

static int32_t S_write_registration(CH_CHANNEL *channel, const REGISTRATION *registration)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_registration(channel->so, registration);
    case CH_TYPE_XDR:
        return XDR_write_registration(channel->xdr, registration);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_registration(CH_CHANNEL *channel, const REGISTRATION *registration)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_registration(channel->intercept_file, registration, "W");
    return S_write_registration(channel, registration);
}

static int32_t S_read_registration_list(CH_CHANNEL *channel, REGISTRATION *registrations,
                                        int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_registration_list(channel->so, registrations, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_registration_list(channel->xdr, registrations, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_registration_list(CH_CHANNEL *channel, REGISTRATION *registrations,
                                          int32_t capacity, int32_t *count)
{
    int32_t rc = S_read_registration_list(channel, registrations, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_registration_list(channel->intercept_file, registrations, *count, "R");
    return rc;
}

static int32_t S_write_registration_list(CH_CHANNEL *channel, const REGISTRATION *registrations,
                                         int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_registration_list(channel->so, registrations, count);
    case CH_TYPE_XDR:
        return XDR_write_registration_list(channel->xdr, registrations, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_registration_list(CH_CHANNEL *channel, const REGISTRATION *registrations,
                                           int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_registration_list(channel->intercept_file, registrations, count, "W");
    return S_write_registration_list(channel, registrations, count);
}

static int32_t S_read_rastercolumn(CH_CHANNEL *channel, RASTERCOLUMN *column)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rastercolumn(channel->so, column);
    case CH_TYPE_XDR:
        return XDR_read_rastercolumn(channel->xdr, column);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_rastercolumn(CH_CHANNEL *channel, RASTERCOLUMN *column)
{
    int32_t rc = S_read_rastercolumn(channel, column);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_rastercolumn(channel->intercept_file, column, "R");
    return rc;
}

static int32_t S_write_rastercolumn(CH_CHANNEL *channel, const RASTERCOLUMN *column)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rastercolumn(channel->so, column);
    case CH_TYPE_XDR:
        return XDR_write_rastercolumn(channel->xdr, column);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rastercolumn(CH_CHANNEL *channel, const RASTERCOLUMN *column)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_rastercolumn(channel->intercept_file, column, "W");
    return S_write_rastercolumn(channel, column);
}

static int32_t S_read_rastercolumn_list(CH_CHANNEL *channel, RASTERCOLUMN *columns,
                                        int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rastercolumn_list(channel->so, columns, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_rastercolumn_list(channel->xdr, columns, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_read_rastercolumn_list(CH_CHANNEL *channel, RASTERCOLUMN *columns, int32_t capacity,
                                  int32_t *count)
{
    int32_t rc = S_read_rastercolumn_list(channel, columns, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_rastercolumn_list(channel->intercept_file, columns, *count, "R");
    return rc;
}

static int32_t S_write_rastercolumn_list(CH_CHANNEL *channel, const RASTERCOLUMN *columns,
                                         int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rastercolumn_list(channel->so, columns, count);
    case CH_TYPE_XDR:
        return XDR_write_rastercolumn_list(channel->xdr, columns, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rastercolumn_list(CH_CHANNEL *channel, const RASTERCOLUMN *columns,
                                           int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_rastercolumn_list(channel->intercept_file, columns, count, "W");
    return S_write_rastercolumn_list(channel, columns, count);
}

static int32_t S_read_rasterband(CH_CHANNEL *channel, RASTERBAND *band)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasterband(channel->so, band);
    case CH_TYPE_XDR:
        return XDR_read_rasterband(channel->xdr, band);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_rasterband(CH_CHANNEL *channel, RASTERBAND *band)
{
    int32_t rc = S_read_rasterband(channel, band);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_rasterband(channel->intercept_file, band, "R");
    return rc;
}

static int32_t S_write_rasterband(CH_CHANNEL *channel, const RASTERBAND *band)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rasterband(channel->so, band);
    case CH_TYPE_XDR:
        return XDR_write_rasterband(channel->xdr, band);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rasterband(CH_CHANNEL *channel, const RASTERBAND *band)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_rasterband(channel->intercept_file, band, "W");
    return S_write_rasterband(channel, band);
}

static int32_t S_read_rasterband_list(CH_CHANNEL *channel, RASTERBAND *bands, int32_t capacity,
                                      int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasterband_list(channel->so, bands, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_rasterband_list(channel->xdr, bands, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_read_rasterband_list(CH_CHANNEL *channel, RASTERBAND *bands, int32_t capacity,
                                int32_t *count)
{
    int32_t rc = S_read_rasterband_list(channel, bands, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_rasterband_list(channel->intercept_file, bands, *count, "R");
    return rc;
}

static int32_t S_write_rasterband_list(CH_CHANNEL *channel, const RASTERBAND *bands, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rasterband_list(channel->so, bands, count);
    case CH_TYPE_XDR:
        return XDR_write_rasterband_list(channel->xdr, bands, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rasterband_list(CH_CHANNEL *channel, const RASTERBAND *bands,
                                         int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_rasterband_list(channel->intercept_file, bands, count, "W");
    return S_write_rasterband_list(channel, bands, count);
}

static int32_t S_read_raster(CH_CHANNEL *channel, RASTER *raster)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_raster(channel->so, raster);
    case CH_TYPE_XDR:
        return XDR_read_raster(channel->xdr, raster);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_raster(CH_CHANNEL *channel, RASTER *raster)
{
    int32_t rc = S_read_raster(channel, raster);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_raster(channel->intercept_file, raster, "R");
    return rc;
}

static int32_t S_write_raster(CH_CHANNEL *channel, const RASTER *raster)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_raster(channel->so, raster);
    case CH_TYPE_XDR:
        return XDR_write_raster(channel->xdr, raster);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_raster(CH_CHANNEL *channel, const RASTER *raster)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_raster(channel->intercept_file, raster, "W");
    return S_write_raster(channel, raster);
}

ZEL_API int32_t CH_read_rasterattr(CH_CHANNEL *channel, RASTERATTR *attr)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasterattr(channel->so, attr);
    case CH_TYPE_XDR:
        return XDR_read_rasterattr(channel->xdr, attr);
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_write_rasterattr(CH_CHANNEL *channel, const RASTERATTR *attr)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rasterattr(channel->so, attr);
    case CH_TYPE_XDR:
        return XDR_write_rasterattr(channel->xdr, attr);
    default:
        return ch_refuse(channel);
    }
}

static int32_t S_read_rasconstraint(CH_CHANNEL *channel, RASCONSTRAINT **constraint)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasconstraint(channel->so, constraint);
    case CH_TYPE_XDR:
        return XDR_read_rasconstraint(channel->xdr, constraint);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_rasconstraint(CH_CHANNEL *channel, RASCONSTRAINT **constraint)
{
    int32_t rc = S_read_rasconstraint(channel, constraint);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_rasconstraint(channel->intercept_file, *constraint, "R");
    return rc;
}

static int32_t S_write_rasconstraint(CH_CHANNEL *channel, const RASCONSTRAINT *constraint)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rasconstraint(channel->so, constraint);
    case CH_TYPE_XDR:
        return XDR_write_rasconstraint(channel->xdr, constraint);
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_write_rasconstraint(CH_CHANNEL *channel, const RASCONSTRAINT *constraint)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_rasconstraint(channel->intercept_file, constraint, "W");
    return S_write_rasconstraint(channel, constraint);
}

static int32_t S_read_state(CH_CHANNEL *channel, STATE *state)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_state(channel->so, state);
    case CH_TYPE_XDR:
        return XDR_read_state(channel->xdr, state);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_state(CH_CHANNEL *channel, STATE *state)
{
    int32_t rc = S_read_state(channel, state);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_state(channel->intercept_file, state, "R");
    return rc;
}

static int32_t S_write_state(CH_CHANNEL *channel, const STATE *state)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_state(channel->so, state);
    case CH_TYPE_XDR:
        return XDR_write_state(channel->xdr, state);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_state(CH_CHANNEL *channel, const STATE *state)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_state(channel->intercept_file, state, "W");
    return S_write_state(channel, state);
}

static int32_t S_read_state_list(CH_CHANNEL *channel, STATE *states, int32_t capacity,
                                 int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_state_list(channel->so, states, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_state_list(channel->xdr, states, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_state_list(CH_CHANNEL *channel, STATE *states, int32_t capacity,
                                   int32_t *count)
{
    int32_t rc = S_read_state_list(channel, states, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_state_list(channel->intercept_file, states, *count, "R");
    return rc;
}

static int32_t S_write_state_list(CH_CHANNEL *channel, const STATE *states, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_state_list(channel->so, states, count);
    case CH_TYPE_XDR:
        return XDR_write_state_list(channel->xdr, states, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_state_list(CH_CHANNEL *channel, const STATE *states, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_state_list(channel->intercept_file, states, count, "W");
    return S_write_state_list(channel, states, count);
}

static int32_t S_read_version(CH_CHANNEL *channel, VERSION *version)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_version(channel->so, version);
    case CH_TYPE_XDR:
        return XDR_read_version(channel->xdr, version);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_version(CH_CHANNEL *channel, VERSION *version)
{
    int32_t rc = S_read_version(channel, version);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_version(channel->intercept_file, version, "R");
    return rc;
}

static int32_t S_write_version(CH_CHANNEL *channel, const VERSION *version)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_version(channel->so, version);
    case CH_TYPE_XDR:
        return XDR_write_version(channel->xdr, version);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_version(CH_CHANNEL *channel, const VERSION *version)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_version(channel->intercept_file, version, "W");
    return S_write_version(channel, version);
}

static int32_t S_read_version_list(CH_CHANNEL *channel, VERSION *versions, int32_t capacity,
                                   int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_version_list(channel->so, versions, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_version_list(channel->xdr, versions, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_version_list(CH_CHANNEL *channel, VERSION *versions, int32_t capacity,
                                     int32_t *count)
{
    int32_t rc = S_read_version_list(channel, versions, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_version_list(channel->intercept_file, versions, *count, "R");
    return rc;
}

static int32_t S_write_version_list(CH_CHANNEL *channel, const VERSION *versions, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_version_list(channel->so, versions, count);
    case CH_TYPE_XDR:
        return XDR_write_version_list(channel->xdr, versions, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_version_list(CH_CHANNEL *channel, const VERSION *versions, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_version_list(channel->intercept_file, versions, count, "W");
    return S_write_version_list(channel, versions, count);
}

static int32_t S_read_input_desc(CH_CHANNEL *channel, int16_t *count, VE_INPUT_DESC **descs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_input_desc(channel->so, count, descs);
    case CH_TYPE_XDR:
        return XDR_read_input_desc(channel->xdr, count, descs);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_input_desc(CH_CHANNEL *channel, int16_t *count, VE_INPUT_DESC **descs)
{
    int32_t rc = S_read_input_desc(channel, count, descs);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_input_desc(channel->intercept_file, *descs, *count, "R");
    return rc;
}

static int32_t S_write_input_desc(CH_CHANNEL *channel, int16_t count, const VE_INPUT_DESC *descs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_input_desc(channel->so, count, descs);
    case CH_TYPE_XDR:
        return XDR_write_input_desc(channel->xdr, count, descs);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_input_desc(CH_CHANNEL *channel, int16_t count, const VE_INPUT_DESC *descs)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_input_desc(channel->intercept_file, descs, count, "W");
    return S_write_input_desc(channel, count, descs);
}

static int32_t S_read_logfile(CH_CHANNEL *channel, LOGFILE *logfile)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_logfile(channel->so, logfile);
    case CH_TYPE_XDR:
        return XDR_read_logfile(channel->xdr, logfile);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_logfile(CH_CHANNEL *channel, LOGFILE *logfile)
{
    int32_t rc = S_read_logfile(channel, logfile);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_logfile(channel->intercept_file, logfile, "R");
    return rc;
}

static int32_t S_write_logfile(CH_CHANNEL *channel, const LOGFILE *logfile)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_logfile(channel->so, logfile);
    case CH_TYPE_XDR:
        return XDR_write_logfile(channel->xdr, logfile);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_logfile(CH_CHANNEL *channel, const LOGFILE *logfile)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_logfile(channel->intercept_file, logfile, "W");
    return S_write_logfile(channel, logfile);
}

static int32_t S_read_logfile_list(CH_CHANNEL *channel, LOGFILE *logfiles, int32_t capacity,
                                   int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_logfile_list(channel->so, logfiles, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_logfile_list(channel->xdr, logfiles, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_logfile_list(CH_CHANNEL *channel, LOGFILE *logfiles, int32_t capacity,
                                     int32_t *count)
{
    int32_t rc = S_read_logfile_list(channel, logfiles, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_logfile_list(channel->intercept_file, logfiles, *count, "R");
    return rc;
}

static int32_t S_write_logfile_list(CH_CHANNEL *channel, const LOGFILE *logfiles, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_logfile_list(channel->so, logfiles, count);
    case CH_TYPE_XDR:
        return XDR_write_logfile_list(channel->xdr, logfiles, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_logfile_list(CH_CHANNEL *channel, const LOGFILE *logfiles, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_logfile_list(channel->intercept_file, logfiles, count, "W");
    return S_write_logfile_list(channel, logfiles, count);
}

static int32_t S_read_index_def(CH_CHANNEL *channel, int16_t *count, DB_INDEX_DEF **defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_index_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return XDR_read_index_def(channel->xdr, count, defs);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_index_def(CH_CHANNEL *channel, int16_t *count, DB_INDEX_DEF **defs)
{
    int32_t rc = S_read_index_def(channel, count, defs);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_index_def(channel->intercept_file, *defs, *count, "R");
    return rc;
}

static int32_t S_write_index_def(CH_CHANNEL *channel, int16_t count, const DB_INDEX_DEF *defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_index_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return XDR_write_index_def(channel->xdr, count, defs);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_index_def(CH_CHANNEL *channel, int16_t count, const DB_INDEX_DEF *defs)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_index_def(channel->intercept_file, defs, count, "W");
    return S_write_index_def(channel, count, defs);
}

static int32_t S_read_ve_table_lock_list(CH_CHANNEL *channel, VE_TABLE_LOCK *locks,
                                         int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_table_lock_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_ve_table_lock_list(channel->xdr, locks, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_table_lock_list(CH_CHANNEL *channel, VE_TABLE_LOCK *locks,
                                           int32_t capacity, int32_t *count)
{
    int32_t rc = S_read_ve_table_lock_list(channel, locks, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_table_locks(channel->intercept_file, locks, *count, "R");
    return rc;
}

static int32_t S_write_ve_table_lock_list(CH_CHANNEL *channel, const VE_TABLE_LOCK *locks,
                                          int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_table_lock_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return XDR_write_ve_table_lock_list(channel->xdr, locks, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_table_lock_list(CH_CHANNEL *channel, const VE_TABLE_LOCK *locks,
                                            int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_table_locks(channel->intercept_file, locks, count, "W");
    return S_write_ve_table_lock_list(channel, locks, count);
}

static int32_t S_read_ve_version_lock_list(CH_CHANNEL *channel, VE_VERSION_LOCK *locks,
                                           int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_version_lock_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_ve_version_lock_list(channel->xdr, locks, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_version_lock_list(CH_CHANNEL *channel, VE_VERSION_LOCK *locks,
                                             int32_t capacity, int32_t *count)
{
    int32_t rc = S_read_ve_version_lock_list(channel, locks, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_version_locks(channel->intercept_file, locks, *count, "R");
    return rc;
}

static int32_t S_write_ve_version_lock_list(CH_CHANNEL *channel, const VE_VERSION_LOCK *locks,
                                            int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_version_lock_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return XDR_write_ve_version_lock_list(channel->xdr, locks, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_version_lock_list(CH_CHANNEL *channel, const VE_VERSION_LOCK *locks,
                                              int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_version_locks(channel->intercept_file, locks, count, "W");
    return S_write_ve_version_lock_list(channel, locks, count);
}

static int32_t S_read_spatialref(CH_CHANNEL *channel, VE_SPATIALREF *spatialref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_spatialref(channel->so, spatialref);
    case CH_TYPE_XDR:
        return XDR_read_spatialref(channel->xdr, spatialref);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_spatialref(CH_CHANNEL *channel, VE_SPATIALREF *spatialref)
{
    int32_t rc = S_read_spatialref(channel, spatialref);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_spatialref(channel->intercept_file, spatialref, "R");
    return rc;
}

static int32_t S_write_spatialref(CH_CHANNEL *channel, const VE_SPATIALREF *spatialref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_spatialref(channel->so, spatialref);
    case CH_TYPE_XDR:
        return XDR_write_spatialref(channel->xdr, spatialref);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_spatialref(CH_CHANNEL *channel, const VE_SPATIALREF *spatialref)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_spatialref(channel->intercept_file, spatialref, "W");
    return S_write_spatialref(channel, spatialref);
}

static int32_t S_read_spatialref_list(CH_CHANNEL *channel, VE_SPATIALREF *spatialrefs,
                                      int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_spatialref_list(channel->so, spatialrefs, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_spatialref_list(channel->xdr, spatialrefs, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_spatialref_list(CH_CHANNEL *channel, VE_SPATIALREF *spatialrefs,
                                        int32_t capacity, int32_t *count)
{
    int32_t rc = S_read_spatialref_list(channel, spatialrefs, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_spatialref_list(channel->intercept_file, spatialrefs, *count, "R");
    return rc;
}

static int32_t S_write_spatialref_list(CH_CHANNEL *channel, const VE_SPATIALREF *spatialrefs,
                                       int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_spatialref_list(channel->so, spatialrefs, count);
    case CH_TYPE_XDR:
        return XDR_write_spatialref_list(channel->xdr, spatialrefs, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_spatialref_list(CH_CHANNEL *channel, const VE_SPATIALREF *spatialrefs,
                                         int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_spatialref_list(channel->intercept_file, spatialrefs, count, "W");
    return S_write_spatialref_list(channel, spatialrefs, count);
}

static int32_t S_read_locator(CH_CHANNEL *channel, LOCATOR *locator)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_locator(channel->so, locator);
    case CH_TYPE_XDR:
        return XDR_read_locator(channel->xdr, locator);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_locator(CH_CHANNEL *channel, LOCATOR *locator)
{
    int32_t rc = S_read_locator(channel, locator);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_locator(channel->intercept_file, locator, "R");
    return rc;
}

static int32_t S_write_locator(CH_CHANNEL *channel, const LOCATOR *locator)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_locator(channel->so, locator);
    case CH_TYPE_XDR:
        return XDR_write_locator(channel->xdr, locator);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_locator(CH_CHANNEL *channel, const LOCATOR *locator)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_locator(channel->intercept_file, locator, "W");
    return S_write_locator(channel, locator);
}

static int32_t S_read_locator_list(CH_CHANNEL *channel, LOCATOR *locators, int32_t capacity,
                                   int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_locator_list(channel->so, locators, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_locator_list(channel->xdr, locators, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_locator_list(CH_CHANNEL *channel, LOCATOR *locators, int32_t capacity,
                                     int32_t *count)
{
    int32_t rc = S_read_locator_list(channel, locators, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_locator_list(channel->intercept_file, locators, *count, "R");
    return rc;
}

static int32_t S_write_locator_list(CH_CHANNEL *channel, const LOCATOR *locators, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_locator_list(channel->so, locators, count);
    case CH_TYPE_XDR:
        return XDR_write_locator_list(channel->xdr, locators, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_locator_list(CH_CHANNEL *channel, const LOCATOR *locators, int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_locator_list(channel->intercept_file, locators, count, "W");
    return S_write_locator_list(channel, locators, count);
}

static int32_t S_read_object_lock(CH_CHANNEL *channel, VE_OBJECT_LOCK *lock)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_object_lock(channel->so, lock);
    case CH_TYPE_XDR:
        return XDR_read_object_lock(channel->xdr, lock);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_object_lock(CH_CHANNEL *channel, VE_OBJECT_LOCK *lock)
{
    int32_t rc = S_read_object_lock(channel, lock);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_object_locks(channel->intercept_file, lock, 1, "R");
    return rc;
}

static int32_t S_write_object_lock(CH_CHANNEL *channel, const VE_OBJECT_LOCK *lock)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_object_lock(channel->so, lock);
    case CH_TYPE_XDR:
        return XDR_write_object_lock(channel->xdr, lock);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_object_lock(CH_CHANNEL *channel, const VE_OBJECT_LOCK *lock)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_object_locks(channel->intercept_file, lock, 1, "W");
    return S_write_object_lock(channel, lock);
}

static int32_t S_read_object_lock_list(CH_CHANNEL *channel, VE_OBJECT_LOCK *locks, int32_t capacity,
                                       int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_object_lock_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return XDR_read_object_lock_list(channel->xdr, locks, capacity, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_object_lock_list(CH_CHANNEL *channel, VE_OBJECT_LOCK *locks,
                                         int32_t capacity, int32_t *count)
{
    int32_t rc = S_read_object_lock_list(channel, locks, capacity, count);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        ch_intercept_dump_object_locks(channel->intercept_file, locks, *count, "R");
    return rc;
}

static int32_t S_write_object_lock_list(CH_CHANNEL *channel, const VE_OBJECT_LOCK *locks,
                                        int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_object_lock_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return XDR_write_object_lock_list(channel->xdr, locks, count);
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_object_lock_list(CH_CHANNEL *channel, const VE_OBJECT_LOCK *locks,
                                          int32_t count)
{
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        ch_intercept_dump_object_locks(channel->intercept_file, locks, count, "W");
    return S_write_object_lock_list(channel, locks, count);
}
