// The channel's read and write family (base/system/ch_channel.h): each member
// hands its record to the member of the channel's transport, chosen by a
// switch on the channel's type, and returns its status unchanged. The socket
// transport's members are in so_records.cpp; on an old-release channel the
// records that have an older form take the transport's old member. The XDR
// case of each switch answers -1 until the XDR transport fills it. The memory
// transports (types 2 and 3) send the same raw forms with nothing held back:
// their channels run the socket members over an unbuffered record layer
// whose link is the memory transport (ch_channel.cpp), and differ only in
// the filter arrays, whose images stay current for an older peer.
#include "base/system/ch_channel_internal.h"
#include "base/system/so_channel_internal.h"

ZEL_API int32_t CH_read_long(CH_CHANNEL *channel, int32_t *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_long(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_long(CH_CHANNEL *channel, int32_t value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_long(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ulong(CH_CHANNEL *channel, uint32_t *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ulong(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ulong(CH_CHANNEL *channel, uint32_t value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ulong(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_float(CH_CHANNEL *channel, float *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_float(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_float(CH_CHANNEL *channel, float value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_float(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_lfloat(CH_CHANNEL *channel, double *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_lfloat(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_lfloat(CH_CHANNEL *channel, double value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_lfloat(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_short(CH_CHANNEL *channel, int16_t *value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_short(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_short(CH_CHANNEL *channel, int16_t value)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_short(channel->so, value);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_pt3d(CH_CHANNEL *channel, int32_t *x, int32_t *y, int32_t *z)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_pt3d(channel->so, x, y, z);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_pt3d(CH_CHANNEL *channel, int32_t x, int32_t y, int32_t z)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_pt3d(channel->so, x, y, z);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_envp(CH_CHANNEL *channel, ENVELOPE *envelope)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_envp(channel->so, envelope);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_envp(CH_CHANNEL *channel, const ENVELOPE *envelope)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_envp(channel->so, envelope);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_date(CH_CHANNEL *channel, VE_DATE *date)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_date(channel->so, date);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_date(CH_CHANNEL *channel, const VE_DATE *date)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_date(channel->so, date);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_fid_array(CH_CHANNEL *channel, int32_t *ids, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_fid_array(channel->so, ids, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_fid_array(CH_CHANNEL *channel, const int32_t *ids, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_fid_array(channel->so, ids, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_lfloat_array(CH_CHANNEL *channel, double *values, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_lfloat_array(channel->so, values, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_write_lfloat_array(CH_CHANNEL *channel, const double *values, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_lfloat_array(channel->so, values, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_block(CH_CHANNEL *channel, void *buffer, int32_t length)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_block(channel->so, buffer, length);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_block(CH_CHANNEL *channel, const void *buffer, int32_t length)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_block(channel->so, buffer, length);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_short_array(CH_CHANNEL *channel, int16_t *count, int16_t *values,
                                    int16_t capacity)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_short_array(channel->so, count, values, capacity);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_short_array(CH_CHANNEL *channel, int16_t count, const int16_t *values)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_short_array(channel->so, count, values);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_string(CH_CHANNEL *channel, char *buffer, int32_t capacity)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_string(channel->so, buffer, capacity);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_string(CH_CHANNEL *channel, const char *string)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_string(channel->so, string);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_dynamic_string(CH_CHANNEL *channel, char **string)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_dynamic_string(channel->so, string);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_dynamic_string(CH_CHANNEL *channel, const char *string)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_dynamic_string(channel->so, string);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_blob_seg(CH_CHANNEL *channel, void *buffer, int32_t capacity,
                                 int32_t *length, int32_t *last)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_blob_seg(channel->so, buffer, capacity, length, last);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_blob_seg(CH_CHANNEL *channel, const void *buffer, int32_t length,
                                  int32_t last)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_blob_seg(channel->so, buffer, length, last);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t skip)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_blob_end(channel->so, total_length, skip);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t flush)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_blob_end(channel->so, total_length, flush);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_release(CH_CHANNEL *channel, RELEASE *release)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_release_old(channel->so, release)
                                    : SO_read_release(channel->so, release);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_release(CH_CHANNEL *channel, const RELEASE *release)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_release(channel->so, release);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_compressed_feature(CH_CHANNEL *channel, FEATURE_STRUCT *feature)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_compressed_feature(channel->so, feature);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_compressed_feature(CH_CHANNEL *channel, const FEATURE_STRUCT *feature)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_compressed_feature(channel->so, feature);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_readf(CH_CHANNEL *channel, FEATURE_STRUCT *feature, int32_t allocate)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_readf(channel->so, feature, allocate);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_writef(CH_CHANNEL *channel, const FEATURE_STRUCT *feature)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_writef(channel->so, feature);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_coordref(CH_CHANNEL *channel, COORDREF *coordref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_coordref_old(channel->so, coordref)
                                    : SO_read_coordref(channel->so, coordref);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_coordref(CH_CHANNEL *channel, const COORDREF *coordref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_coordref_old(channel->so, coordref)
                                    : SO_write_coordref(channel->so, coordref);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_layer(CH_CHANNEL *channel, LAYER *layer)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_layer_old(channel->so, layer)
                                    : SO_read_layer(channel->so, layer);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_layer(CH_CHANNEL *channel, const LAYER *layer)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_layer_old(channel->so, layer)
                                    : SO_write_layer(channel->so, layer);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_layer_list(CH_CHANNEL *channel, LAYER *layers, int32_t capacity,
                                   int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_layer_list_old(channel->so, layers, capacity, count)
                                    : SO_read_layer_list(channel->so, layers, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_layer_list(CH_CHANNEL *channel, const LAYER *layers, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_layer_list_old(channel->so, layers, count)
                                    : SO_write_layer_list(channel->so, layers, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_construct(CH_CHANNEL *channel, VE_SQL_CONSTRUCT *construct)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_construct(channel->so, construct);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_construct(CH_CHANNEL *channel, const VE_SQL_CONSTRUCT *construct)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_construct(channel->so, construct);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_column_def(CH_CHANNEL *channel, int16_t *count, DB_COLUMN_DEF **defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_read_column_def_old(channel->so, count, defs)
                                    : SO_read_column_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_column_def(CH_CHANNEL *channel, int16_t count, const DB_COLUMN_DEF *defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return channel->old_release ? SO_write_column_def_old(channel->so, count, defs)
                                    : SO_write_column_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_filter_array(CH_CHANNEL *channel, int16_t *count, VE_FILTER **filters)
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
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_filter_array(CH_CHANNEL *channel, int16_t count, const VE_FILTER *filters)
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
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_read_queryinfo(CH_CHANNEL *channel, VE_QUERYINFO *info)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_queryinfo(channel->so, info);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_write_queryinfo(CH_CHANNEL *channel, const VE_QUERYINFO *info)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_queryinfo(channel->so, info);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_si_stats(CH_CHANNEL *channel, VE_SPIDX_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_si_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_si_stats(CH_CHANNEL *channel, const VE_SPIDX_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_si_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_layer_stats(CH_CHANNEL *channel, VE_LAYER_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_layer_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_layer_stats(CH_CHANNEL *channel, const VE_LAYER_STATS *stats)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_layer_stats(channel->so, stats);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_layer_locks_list(CH_CHANNEL *channel, VE_LAYER_LOCKS *locks,
                                            int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_layer_locks_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_layer_locks_list(CH_CHANNEL *channel, const VE_LAYER_LOCKS *locks,
                                             int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_layer_locks_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_metadata(CH_CHANNEL *channel, METADATA *metadata)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_metadata(channel->so, metadata);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_metadata(CH_CHANNEL *channel, const METADATA *metadata)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_metadata(channel->so, metadata);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_metadata_list(CH_CHANNEL *channel, METADATA *metadata, int32_t capacity,
                                      int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_metadata_list(channel->so, metadata, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_metadata_list(CH_CHANNEL *channel, const METADATA *metadata, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_metadata_list(channel->so, metadata, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_registration(CH_CHANNEL *channel, REGISTRATION *registration)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_registration(channel->so, registration);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_registration(CH_CHANNEL *channel, const REGISTRATION *registration)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_registration(channel->so, registration);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_registration_list(CH_CHANNEL *channel, REGISTRATION *registrations,
                                          int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_registration_list(channel->so, registrations, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_registration_list(CH_CHANNEL *channel, const REGISTRATION *registrations,
                                           int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_registration_list(channel->so, registrations, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_rastercolumn(CH_CHANNEL *channel, RASTERCOLUMN *column)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rastercolumn(channel->so, column);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rastercolumn(CH_CHANNEL *channel, const RASTERCOLUMN *column)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rastercolumn(channel->so, column);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_read_rastercolumn_list(CH_CHANNEL *channel, RASTERCOLUMN *columns, int32_t capacity,
                                  int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rastercolumn_list(channel->so, columns, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rastercolumn_list(CH_CHANNEL *channel, const RASTERCOLUMN *columns,
                                           int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rastercolumn_list(channel->so, columns, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_rasterband(CH_CHANNEL *channel, RASTERBAND *band)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasterband(channel->so, band);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rasterband(CH_CHANNEL *channel, const RASTERBAND *band)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rasterband(channel->so, band);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_read_rasterband_list(CH_CHANNEL *channel, RASTERBAND *bands, int32_t capacity,
                                int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasterband_list(channel->so, bands, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_rasterband_list(CH_CHANNEL *channel, const RASTERBAND *bands,
                                         int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rasterband_list(channel->so, bands, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_raster(CH_CHANNEL *channel, RASTER *raster)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_raster(channel->so, raster);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_raster(CH_CHANNEL *channel, const RASTER *raster)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_raster(channel->so, raster);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_rasterattr(CH_CHANNEL *channel, RASTERATTR *attr)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasterattr(channel->so, attr);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
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
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_rasconstraint(CH_CHANNEL *channel, RASCONSTRAINT **constraint)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_rasconstraint(channel->so, constraint);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

int32_t CH_write_rasconstraint(CH_CHANNEL *channel, const RASCONSTRAINT *constraint)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_rasconstraint(channel->so, constraint);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_state(CH_CHANNEL *channel, STATE *state)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_state(channel->so, state);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_state(CH_CHANNEL *channel, const STATE *state)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_state(channel->so, state);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_state_list(CH_CHANNEL *channel, STATE *states, int32_t capacity,
                                   int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_state_list(channel->so, states, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_state_list(CH_CHANNEL *channel, const STATE *states, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_state_list(channel->so, states, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_version(CH_CHANNEL *channel, VERSION *version)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_version(channel->so, version);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_version(CH_CHANNEL *channel, const VERSION *version)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_version(channel->so, version);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_version_list(CH_CHANNEL *channel, VERSION *versions, int32_t capacity,
                                     int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_version_list(channel->so, versions, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_version_list(CH_CHANNEL *channel, const VERSION *versions, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_version_list(channel->so, versions, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_input_desc(CH_CHANNEL *channel, int16_t *count, VE_INPUT_DESC **descs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_input_desc(channel->so, count, descs);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_input_desc(CH_CHANNEL *channel, int16_t count, const VE_INPUT_DESC *descs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_input_desc(channel->so, count, descs);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_logfile(CH_CHANNEL *channel, LOGFILE *logfile)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_logfile(channel->so, logfile);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_logfile(CH_CHANNEL *channel, const LOGFILE *logfile)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_logfile(channel->so, logfile);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_logfile_list(CH_CHANNEL *channel, LOGFILE *logfiles, int32_t capacity,
                                     int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_logfile_list(channel->so, logfiles, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_logfile_list(CH_CHANNEL *channel, const LOGFILE *logfiles, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_logfile_list(channel->so, logfiles, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_index_def(CH_CHANNEL *channel, int16_t *count, DB_INDEX_DEF **defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_index_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_index_def(CH_CHANNEL *channel, int16_t count, const DB_INDEX_DEF *defs)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_index_def(channel->so, count, defs);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_table_lock_list(CH_CHANNEL *channel, VE_TABLE_LOCK *locks,
                                           int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_table_lock_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_table_lock_list(CH_CHANNEL *channel, const VE_TABLE_LOCK *locks,
                                            int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_table_lock_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_ve_version_lock_list(CH_CHANNEL *channel, VE_VERSION_LOCK *locks,
                                             int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_ve_version_lock_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_ve_version_lock_list(CH_CHANNEL *channel, const VE_VERSION_LOCK *locks,
                                              int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_ve_version_lock_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_spatialref(CH_CHANNEL *channel, VE_SPATIALREF *spatialref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_spatialref(channel->so, spatialref);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_spatialref(CH_CHANNEL *channel, const VE_SPATIALREF *spatialref)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_spatialref(channel->so, spatialref);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_spatialref_list(CH_CHANNEL *channel, VE_SPATIALREF *spatialrefs,
                                        int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_spatialref_list(channel->so, spatialrefs, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_spatialref_list(CH_CHANNEL *channel, const VE_SPATIALREF *spatialrefs,
                                         int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_spatialref_list(channel->so, spatialrefs, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_locator(CH_CHANNEL *channel, LOCATOR *locator)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_locator(channel->so, locator);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_locator(CH_CHANNEL *channel, const LOCATOR *locator)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_locator(channel->so, locator);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_locator_list(CH_CHANNEL *channel, LOCATOR *locators, int32_t capacity,
                                     int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_locator_list(channel->so, locators, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_locator_list(CH_CHANNEL *channel, const LOCATOR *locators, int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_locator_list(channel->so, locators, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_object_lock(CH_CHANNEL *channel, VE_OBJECT_LOCK *lock)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_object_lock(channel->so, lock);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_object_lock(CH_CHANNEL *channel, const VE_OBJECT_LOCK *lock)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_object_lock(channel->so, lock);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_read_object_lock_list(CH_CHANNEL *channel, VE_OBJECT_LOCK *locks,
                                         int32_t capacity, int32_t *count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_read_object_lock_list(channel->so, locks, capacity, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}

ZEL_API int32_t CH_write_object_lock_list(CH_CHANNEL *channel, const VE_OBJECT_LOCK *locks,
                                          int32_t count)
{
    switch (ch_type(channel)) {
    case CH_TYPE_SOCKET:
    case CH_TYPE_COORDINATED_MEMORY:
    case CH_TYPE_SHARED_MEMORY:
        return SO_write_object_lock_list(channel->so, locks, count);
    case CH_TYPE_XDR:
        return CH_XDR_NOT_BUILT;
    default:
        return ch_refuse(channel);
    }
}
