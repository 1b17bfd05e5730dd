// The socket transport's record members (base/system/so_channel.h) and its
// tables (ch_transport_internal.h): each member runs its raw form
// (base/system/raw_form_internal.h) over the transport's buffered byte
// layer. The socket's table serves a socket channel; the memory transports
// carry the same forms over their links with tables of their own. A member
// that fails after moving any byte, or because the link failed, leaves the
// transport broken: the stream is out of step and no later member touches
// the socket again.
#include <new>

#include "base/system/ch_transport_internal.h"
#include "base/system/so_channel_internal.h"
#include "base/util/zel_errors.h"

// Runs one raw form on the transport.
template <typename Form> static int32_t S_run(SO_CHANNEL *so, Form form)
{
    if (so == nullptr || so->broken)
        return ZE_FAILURE;
    RAW_IO io = so_raw_io(so);
    int32_t rc;
    try {
        rc = form(&io);
    } catch (const std::bad_alloc &) {
        rc = ZE_BUFFER_NO_MEMORY;
    }
    if (rc != ZE_SUCCESS && (io.moved > 0 || io.failed))
        so->broken = 1;
    return rc;
}

// ---- The family's members, by shape ------------------------------------------
//
// Each member is a table entry over the untyped end (S_read_NAME,
// S_write_NAME), which the exported SO_ member calls: a channel's call
// reaches the raw form without passing through an exported function.

// The pair of one shape: the entries' parameters and the raw form's arguments.
#define S_PAIR(NAME, READ_PARAMS, READ_ARGS, WRITE_PARAMS, WRITE_ARGS)                             \
    static int32_t S_read_##NAME(void *end, S_UNPAREN READ_PARAMS)                                 \
    {                                                                                              \
        return S_run(static_cast<SO_CHANNEL *>(end),                                               \
                     [&](RAW_IO *io) { return raw_read_##NAME(io, S_UNPAREN READ_ARGS); });        \
    }                                                                                              \
    static int32_t S_write_##NAME(void *end, S_UNPAREN WRITE_PARAMS)                               \
    {                                                                                              \
        return S_run(static_cast<SO_CHANNEL *>(end),                                               \
                     [&](RAW_IO *io) { return raw_write_##NAME(io, S_UNPAREN WRITE_ARGS); });      \
    }                                                                                              \
    ZEL_API int32_t SO_read_##NAME(SO_CHANNEL *so, S_UNPAREN READ_PARAMS)                          \
    {                                                                                              \
        return S_read_##NAME(so, S_UNPAREN READ_ARGS);                                             \
    }                                                                                              \
    ZEL_API int32_t SO_write_##NAME(SO_CHANNEL *so, S_UNPAREN WRITE_PARAMS)                        \
    {                                                                                              \
        return S_write_##NAME(so, S_UNPAREN WRITE_ARGS);                                           \
    }
#define S_UNPAREN(...) __VA_ARGS__

#define S_VALUE(NAME, T, ...) S_PAIR(NAME, (T * value), (value), (T value), (value))
#define S_RECORD(NAME, T, ...) S_PAIR(NAME, (T * record), (record), (const T *record), (record))
#define S_COUNTED(NAME, T, ...)                                                                    \
    S_PAIR(NAME, (T * array, int32_t count), (array, count), (const T *array, int32_t count),      \
           (array, count))
#define S_LIST(NAME, T, ...)                                                                       \
    S_PAIR(NAME, (T * records, int32_t capacity, int32_t * count), (records, capacity, count),     \
           (const T *records, int32_t count), (records, count))
#define S_ARRAY(NAME, T, ...)                                                                      \
    S_PAIR(NAME, (int16_t * count, T * *array), (count, array), (int16_t count, const T *array),   \
           (count, array))

CH_FAMILY(S_VALUE, S_RECORD, S_COUNTED, S_LIST, S_ARRAY)

// ---- Members of a shape of their own -----------------------------------------

ZEL_API int32_t SO_read_pt3d(SO_CHANNEL *so, int32_t *x, int32_t *y, int32_t *z)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_pt3d(io, x, y, z); });
}

ZEL_API int32_t SO_write_pt3d(SO_CHANNEL *so, int32_t x, int32_t y, int32_t z)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_pt3d(io, x, y, z); });
}

ZEL_API int32_t SO_read_short_array(SO_CHANNEL *so, int16_t *count, int16_t *values,
                                    int16_t capacity)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_short_array(io, count, values, capacity); });
}

ZEL_API int32_t SO_write_short_array(SO_CHANNEL *so, int16_t count, const int16_t *values)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_short_array(io, count, values); });
}

ZEL_API int32_t SO_read_string(SO_CHANNEL *so, char *buffer, int32_t capacity)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_string(io, buffer, capacity); });
}

ZEL_API int32_t SO_write_string(SO_CHANNEL *so, const char *string)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_string(io, string); });
}

ZEL_API int32_t SO_read_dynamic_string(SO_CHANNEL *so, char **string)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_dynamic_string(io, string); });
}

ZEL_API int32_t SO_write_dynamic_string(SO_CHANNEL *so, const char *string)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_dynamic_string(io, string); });
}

ZEL_API int32_t SO_read_blob_seg(SO_CHANNEL *so, void *buffer, int32_t capacity, int32_t *length,
                                 int32_t *last)
{
    return S_run(so,
                 [&](RAW_IO *io) { return raw_read_blob_seg(io, buffer, capacity, length, last); });
}

ZEL_API int32_t SO_write_blob_seg(SO_CHANNEL *so, const void *buffer, int32_t length, int32_t last)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_blob_seg(io, buffer, length, last); });
}

// A blob's end carries nothing on a socket.
ZEL_API int32_t SO_read_blob_end(SO_CHANNEL *so, int32_t, int32_t)
{
    return so == nullptr || so->broken ? ZE_FAILURE : ZE_SUCCESS;
}

ZEL_API int32_t SO_write_blob_end(SO_CHANNEL *so, int32_t, int32_t)
{
    return so == nullptr || so->broken ? ZE_FAILURE : ZE_SUCCESS;
}

ZEL_API int32_t SO_readf(SO_CHANNEL *so, FEATURE_STRUCT *feature, int32_t allocate)
{
    return S_run(so, [&](RAW_IO *io) { return raw_readf(io, feature, allocate); });
}

ZEL_API int32_t SO_writef(SO_CHANNEL *so, const FEATURE_STRUCT *feature)
{
    return S_run(so, [&](RAW_IO *io) { return raw_writef(io, feature); });
}

ZEL_API int32_t SO_read_rasterattr(SO_CHANNEL *so, RASTERATTR *attr)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_rasterattr(io, attr); });
}

ZEL_API int32_t SO_write_rasterattr(SO_CHANNEL *so, const RASTERATTR *attr)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rasterattr(io, attr); });
}

ZEL_API int32_t SO_read_rasconstraint(SO_CHANNEL *so, RASCONSTRAINT **constraint)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_rasconstraint(io, constraint); });
}

ZEL_API int32_t SO_write_rasconstraint(SO_CHANNEL *so, const RASCONSTRAINT *constraint)
{
    return S_run(so, [&](RAW_IO *io) { return raw_write_rasconstraint(io, constraint); });
}

// ---- The older peer's forms ----------------------------------------------------

ZEL_API int32_t SO_read_release_old(SO_CHANNEL *so, RELEASE *release)
{
    return S_run(so, [&](RAW_IO *io) { return raw_read_release(io, release, 1); });
}

#define S_OLD(NAME, READ_PARAMS, READ_ARGS, WRITE_PARAMS, WRITE_ARGS)                              \
    ZEL_API int32_t SO_read_##NAME##_old(SO_CHANNEL *so, S_UNPAREN READ_PARAMS)                    \
    {                                                                                              \
        return S_run(so, [&](RAW_IO *io) { return raw_read_##NAME(io, S_UNPAREN READ_ARGS, 1); }); \
    }                                                                                              \
    ZEL_API int32_t SO_write_##NAME##_old(SO_CHANNEL *so, S_UNPAREN WRITE_PARAMS)                  \
    {                                                                                              \
        return S_run(so,                                                                           \
                     [&](RAW_IO *io) { return raw_write_##NAME(io, S_UNPAREN WRITE_ARGS, 1); });   \
    }
static_assert(RAW_FILTERS_OLD == 1); // the filter arrays' older form, as the others'

S_OLD(coordref, (COORDREF * coordref), (coordref), (const COORDREF *coordref), (coordref))
S_OLD(layer, (LAYER * layer), (layer), (const LAYER *layer), (layer))
S_OLD(layer_list, (LAYER * layers, int32_t capacity, int32_t *count), (layers, capacity, count),
      (const LAYER *layers, int32_t count), (layers, count))
S_OLD(column_def, (int16_t * count, DB_COLUMN_DEF **defs), (count, defs),
      (int16_t count, const DB_COLUMN_DEF *defs), (count, defs))
S_OLD(filter_array, (int16_t * count, VE_FILTER **filters), (count, filters),
      (int16_t count, const VE_FILTER *filters), (count, filters))

// ---- The tables ------------------------------------------------------------------

static void S_set_broken(void *end)
{
    static_cast<SO_CHANNEL *>(end)->broken = 1;
}

static void S_destroy(void *end)
{
    SO_destroy(static_cast<SO_CHANNEL *>(end));
}

// A memory transport hands every write over at once: nothing waits to be sent.
static int32_t S_nothing_held(void *)
{
    return ZE_SUCCESS;
}

// The filter arrays a memory transport sends an older peer: current images
// and relation texts, old coordinate references.
static int32_t S_read_memory_filters_old(void *end, int16_t *count, VE_FILTER **filters)
{
    return S_run(static_cast<SO_CHANNEL *>(end), [&](RAW_IO *io) {
        return raw_read_filter_array(io, count, filters, RAW_FILTERS_OLD_COORDREF);
    });
}

static int32_t S_write_memory_filters_old(void *end, int16_t count, const VE_FILTER *filters)
{
    return S_run(static_cast<SO_CHANNEL *>(end), [&](RAW_IO *io) {
        return raw_write_filter_array(io, count, filters, RAW_FILTERS_OLD_COORDREF);
    });
}

// The family's entries are the members above; the rest, the SO_ members.
#define S_ENTRIES(NAME, ...) .read_##NAME = S_read_##NAME, .write_##NAME = S_write_##NAME,
#define S_MEMBERS(NAME, ...)                                                                       \
    .read_##NAME = ch_member<SO_read_##NAME>::call,                                                \
    .write_##NAME = ch_member<SO_write_##NAME>::call,

// clang-format off
static constexpr CH_TRANSPORT kSocket = {
    CH_FAMILY(S_ENTRIES, S_ENTRIES, S_ENTRIES, S_ENTRIES, S_ENTRIES)
    CH_OWN_SHAPES(S_MEMBERS)
    .readf = ch_member<SO_readf>::call,
    .writef = ch_member<SO_writef>::call,
    .flush = ch_member<so_flush>::call,
    .data_waiting = ch_member<so_data_waiting>::call,
    .set_broken = S_set_broken,
    .destroy = S_destroy,
};
// clang-format on
#undef S_ENTRIES
#undef S_MEMBERS

// The older peer's table: its forms of the release (read only), coordinate
// references, layers, column definitions and filter arrays.
static constexpr CH_TRANSPORT S_older(CH_TRANSPORT t)
{
    t.read_release = ch_member<SO_read_release_old>::call;
    t.read_coordref = ch_member<SO_read_coordref_old>::call;
    t.write_coordref = ch_member<SO_write_coordref_old>::call;
    t.read_layer = ch_member<SO_read_layer_old>::call;
    t.write_layer = ch_member<SO_write_layer_old>::call;
    t.read_layer_list = ch_member<SO_read_layer_list_old>::call;
    t.write_layer_list = ch_member<SO_write_layer_list_old>::call;
    t.read_column_def = ch_member<SO_read_column_def_old>::call;
    t.write_column_def = ch_member<SO_write_column_def_old>::call;
    t.read_filter_array = ch_member<SO_read_filter_array_old>::call;
    t.write_filter_array = ch_member<SO_write_filter_array_old>::call;
    return t;
}

static constexpr CH_TRANSPORT S_memory(CH_TRANSPORT t)
{
    t.flush = S_nothing_held;
    return t;
}

static constexpr CH_TRANSPORT S_memory_older(CH_TRANSPORT t)
{
    t = S_memory(S_older(t));
    t.read_filter_array = S_read_memory_filters_old;
    t.write_filter_array = S_write_memory_filters_old;
    return t;
}

static constexpr CH_TRANSPORT kSocketOld = S_older(kSocket);
static constexpr CH_TRANSPORT kMemory = S_memory(kSocket);
static constexpr CH_TRANSPORT kMemoryOld = S_memory_older(kSocket);

void *so_transport_create(const int *socket, int32_t write_size, int32_t read_size,
                          int32_t old_release, const CH_TRANSPORT **transport)
{
    SO_CHANNEL *so = SO_create(socket, write_size, read_size);
    *transport = old_release ? &kSocketOld : &kSocket;
    return so;
}

void *so_transport_create_on_link(const SO_LINK *link, int32_t write_size, int32_t read_size,
                                  const CH_TRANSPORT **transport)
{
    *transport = &kSocket;
    return so_create_on_link(link, write_size, read_size);
}

const CH_TRANSPORT *so_memory_transport(int32_t old_release)
{
    return old_release ? &kMemoryOld : &kMemory;
}
