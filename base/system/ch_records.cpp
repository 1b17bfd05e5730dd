// The channel's read and write family (base/system/ch_channel.h). Every
// member follows one rule: hand the record to the member of the channel's
// transport (its table, ch_transport_internal.h, chosen for the peer's
// release when the channel was made), trace what passed on a traced channel
// (ch_intercept_dump.cpp: a write before it is sent, a read once it has
// succeeded) and return the transport's status unchanged. A null channel is
// -65. The members are the family's list, stamped by shape, and the few of a
// shape of their own.
#include "base/system/ch_channel_internal.h"
#include "base/system/ch_intercept_internal.h"

// ---- The rule --------------------------------------------------------------

template <auto Member, typename Trace, typename... A>
static inline int32_t S_read(CH_CHANNEL *channel, Trace trace, A... args)
{
    if (channel == nullptr) [[unlikely]]
        return ZE_NULL_POINTER;
    const int32_t rc = (channel->transport->*Member)(channel->end, args...);
    if (rc == ZE_SUCCESS && ch_traces(channel, CH_INTERCEPT_R)) [[unlikely]]
        trace(channel->intercept_file, "R");
    return rc;
}

template <auto Member, typename Trace, typename... A>
static inline int32_t S_write(CH_CHANNEL *channel, Trace trace, A... args)
{
    if (channel == nullptr) [[unlikely]]
        return ZE_NULL_POINTER;
    if (ch_traces(channel, CH_INTERCEPT_W)) [[unlikely]]
        trace(channel->intercept_file, "W");
    return (channel->transport->*Member)(channel->end, args...);
}

// Which members of a pair the hosts may call (the family's last column).
#define S_READ_API_BOTH ZEL_API
#define S_WRITE_API_BOTH ZEL_API
#define S_READ_API_READ ZEL_API
#define S_WRITE_API_READ
#define S_READ_API_WRITE
#define S_WRITE_API_WRITE ZEL_API
#define S_READ_API_NEITHER
#define S_WRITE_API_NEITHER

// ---- The family, by shape --------------------------------------------------

#define S_VALUE(NAME, T, DUMP, API)                                                                \
    S_READ_API_##API int32_t CH_read_##NAME(CH_CHANNEL *channel, T *value)                         \
    {                                                                                              \
        return S_read<&CH_TRANSPORT::read_##NAME>(                                                 \
            channel, [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, *value, tag); },  \
            value);                                                                                \
    }                                                                                              \
    S_WRITE_API_##API int32_t CH_write_##NAME(CH_CHANNEL *channel, T value)                        \
    {                                                                                              \
        return S_write<&CH_TRANSPORT::write_##NAME>(                                               \
            channel, [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, value, tag); },   \
            value);                                                                                \
    }

#define S_RECORD(NAME, T, DUMP, API)                                                               \
    S_READ_API_##API int32_t CH_read_##NAME(CH_CHANNEL *channel, T *record)                        \
    {                                                                                              \
        return S_read<&CH_TRANSPORT::read_##NAME>(                                                 \
            channel, [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, record, tag); },  \
            record);                                                                               \
    }                                                                                              \
    S_WRITE_API_##API int32_t CH_write_##NAME(CH_CHANNEL *channel, const T *record)                \
    {                                                                                              \
        return S_write<&CH_TRANSPORT::write_##NAME>(                                               \
            channel, [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, record, tag); },  \
            record);                                                                               \
    }

#define S_COUNTED(NAME, T, DUMP, API)                                                              \
    S_READ_API_##API int32_t CH_read_##NAME(CH_CHANNEL *channel, T *array, int32_t count)          \
    {                                                                                              \
        return S_read<&CH_TRANSPORT::read_##NAME>(                                                 \
            channel,                                                                               \
            [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, array, count, tag); },     \
            array, count);                                                                         \
    }                                                                                              \
    S_WRITE_API_##API int32_t CH_write_##NAME(CH_CHANNEL *channel, const T *array, int32_t count)  \
    {                                                                                              \
        return S_write<&CH_TRANSPORT::write_##NAME>(                                               \
            channel,                                                                               \
            [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, array, count, tag); },     \
            array, count);                                                                         \
    }

#define S_LIST(NAME, T, DUMP, API)                                                                 \
    S_READ_API_##API int32_t CH_read_##NAME(CH_CHANNEL *channel, T *records, int32_t capacity,     \
                                            int32_t *count)                                        \
    {                                                                                              \
        return S_read<&CH_TRANSPORT::read_##NAME>(                                                 \
            channel,                                                                               \
            [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, records, *count, tag); },  \
            records, capacity, count);                                                             \
    }                                                                                              \
    S_WRITE_API_##API int32_t CH_write_##NAME(CH_CHANNEL *channel, const T *records,               \
                                              int32_t count)                                       \
    {                                                                                              \
        return S_write<&CH_TRANSPORT::write_##NAME>(                                               \
            channel,                                                                               \
            [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, records, count, tag); },   \
            records, count);                                                                       \
    }

#define S_ARRAY(NAME, T, DUMP, API)                                                                \
    S_READ_API_##API int32_t CH_read_##NAME(CH_CHANNEL *channel, int16_t *count, T **array)        \
    {                                                                                              \
        return S_read<&CH_TRANSPORT::read_##NAME>(                                                 \
            channel,                                                                               \
            [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, *array, *count, tag); },   \
            count, array);                                                                         \
    }                                                                                              \
    S_WRITE_API_##API int32_t CH_write_##NAME(CH_CHANNEL *channel, int16_t count, const T *array)  \
    {                                                                                              \
        return S_write<&CH_TRANSPORT::write_##NAME>(                                               \
            channel,                                                                               \
            [&](FILE *f, const char *tag) { ch_intercept_dump_##DUMP(f, array, count, tag); },     \
            count, array);                                                                         \
    }

CH_FAMILY(S_VALUE, S_RECORD, S_COUNTED, S_LIST, S_ARRAY)

// ---- Members of a shape of their own ---------------------------------------

ZEL_API int32_t CH_read_pt3d(CH_CHANNEL *channel, int32_t *x, int32_t *y, int32_t *z)
{
    return S_read<&CH_TRANSPORT::read_pt3d>(
        channel, [&](FILE *f, const char *tag) { ch_intercept_dump_pt3d(f, *x, *y, *z, tag); }, x,
        y, z);
}

ZEL_API int32_t CH_write_pt3d(CH_CHANNEL *channel, int32_t x, int32_t y, int32_t z)
{
    return S_write<&CH_TRANSPORT::write_pt3d>(
        channel, [&](FILE *f, const char *tag) { ch_intercept_dump_pt3d(f, x, y, z, tag); }, x, y,
        z);
}

ZEL_API int32_t CH_read_short_array(CH_CHANNEL *channel, int16_t *count, int16_t *values,
                                    int16_t capacity)
{
    return S_read<&CH_TRANSPORT::read_short_array>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_short_array(f, values, *count, tag); },
        count, values, capacity);
}

ZEL_API int32_t CH_write_short_array(CH_CHANNEL *channel, int16_t count, const int16_t *values)
{
    return S_write<&CH_TRANSPORT::write_short_array>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_short_array(f, values, count, tag); },
        count, values);
}

ZEL_API int32_t CH_read_string(CH_CHANNEL *channel, char *buffer, int32_t capacity)
{
    return S_read<&CH_TRANSPORT::read_string>(
        channel, [&](FILE *f, const char *tag) { ch_intercept_dump_string(f, buffer, tag); },
        buffer, capacity);
}

ZEL_API int32_t CH_write_string(CH_CHANNEL *channel, const char *string)
{
    return S_write<&CH_TRANSPORT::write_string>(
        channel, [&](FILE *f, const char *tag) { ch_intercept_dump_string(f, string, tag); },
        string);
}

ZEL_API int32_t CH_read_dynamic_string(CH_CHANNEL *channel, char **string)
{
    return S_read<&CH_TRANSPORT::read_dynamic_string>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_dynamic_string(f, *string, tag); },
        string);
}

ZEL_API int32_t CH_write_dynamic_string(CH_CHANNEL *channel, const char *string)
{
    return S_write<&CH_TRANSPORT::write_dynamic_string>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_dynamic_string(f, string, tag); },
        string);
}

ZEL_API int32_t CH_read_blob_seg(CH_CHANNEL *channel, void *buffer, int32_t capacity,
                                 int32_t *length, int32_t *last)
{
    return S_read<&CH_TRANSPORT::read_blob_seg>(
        channel,
        [&](FILE *f, const char *tag) {
            ch_intercept_dump_blob_seg(f, buffer, *length, *last, tag);
        },
        buffer, capacity, length, last);
}

ZEL_API int32_t CH_write_blob_seg(CH_CHANNEL *channel, const void *buffer, int32_t length,
                                  int32_t last)
{
    return S_write<&CH_TRANSPORT::write_blob_seg>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_blob_seg(f, buffer, length, last, tag); },
        buffer, length, last);
}

ZEL_API int32_t CH_read_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t skip)
{
    return S_read<&CH_TRANSPORT::read_blob_end>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_blob_end(f, total_length, skip, tag); },
        total_length, skip);
}

ZEL_API int32_t CH_write_blob_end(CH_CHANNEL *channel, int32_t total_length, int32_t flush)
{
    return S_write<&CH_TRANSPORT::write_blob_end>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_blob_end(f, total_length, flush, tag); },
        total_length, flush);
}

ZEL_API int32_t CH_readf(CH_CHANNEL *channel, FEATURE_STRUCT *feature, int32_t allocate)
{
    return S_read<&CH_TRANSPORT::readf>(
        channel, [&](FILE *f, const char *tag) { ch_intercept_dump_feature(f, feature, tag); },
        feature, allocate);
}

ZEL_API int32_t CH_writef(CH_CHANNEL *channel, const FEATURE_STRUCT *feature)
{
    return S_write<&CH_TRANSPORT::writef>(
        channel, [&](FILE *f, const char *tag) { ch_intercept_dump_feature(f, feature, tag); },
        feature);
}

// The one pair without a trace.
static void S_untraced(FILE *, const char *) {}

ZEL_API int32_t CH_read_rasterattr(CH_CHANNEL *channel, RASTERATTR *attr)
{
    return S_read<&CH_TRANSPORT::read_rasterattr>(channel, S_untraced, attr);
}

int32_t CH_write_rasterattr(CH_CHANNEL *channel, const RASTERATTR *attr)
{
    return S_write<&CH_TRANSPORT::write_rasterattr>(channel, S_untraced, attr);
}

ZEL_API int32_t CH_read_rasconstraint(CH_CHANNEL *channel, RASCONSTRAINT **constraint)
{
    return S_read<&CH_TRANSPORT::read_rasconstraint>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_rasconstraint(f, *constraint, tag); },
        constraint);
}

int32_t CH_write_rasconstraint(CH_CHANNEL *channel, const RASCONSTRAINT *constraint)
{
    return S_write<&CH_TRANSPORT::write_rasconstraint>(
        channel,
        [&](FILE *f, const char *tag) { ch_intercept_dump_rasconstraint(f, constraint, tag); },
        constraint);
}
