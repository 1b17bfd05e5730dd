// The XDR transport of a channel (base/system/xdr_channel.h) over libtirpc's
// record stream, and the XDRMEM_ primitives over memory streams. The
// encodings are in xdr_records.cpp and xdr_bodies.cpp; this file decides
// where records begin and end.
//
// Record boundaries: a write ends the record before it (send-now false) and
// starts its own, an empty one when it puts nothing; a read first ends the
// current record and sends everything, then decodes and skips the rest of
// its record. A write that is refused before it encodes anything must leave
// no trace, so the end of the record before it is deferred to the write's
// first byte (or to its success): while a write runs, the stream's
// operations are a copy of the record stream's whose put operations end the
// pending record first and then put the real operations back.
#include "base/system/xdr_channel.h"

#include <rpc/xdr.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>

#include <type_traits>

#include "base/system/ch_transport_internal.h"
#include "base/system/raw_form_internal.h"
#include "base/system/xdr_records_internal.h"
#include "base/util/ve_raster_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "platform/plat_socket_internal.h"

// libtirpc's operation table (nested in XDR when compiled as C++).
using S_ops = std::remove_const_t<std::remove_pointer_t<decltype(XDR::x_ops)>>;

struct XDR_CHANNEL {
    XDR xdrs;         /* first: the put trampolines find the channel from it */
    const S_ops *ops; /* the record stream's own operations */
    S_ops first_put;  /* the same with the put operations trapped */
    int socket;
    int32_t in_blob;       /* 1 while a blob's segments are written into one record */
    int32_t written;       /* the stream holds output since it turned to writing */
    int32_t pending_close; /* the record before the running write is still open */
    int32_t touched;       /* the running write has put something */
    int32_t broken;        /* a transfer failed: the stream is out of step */
};

static_assert(offsetof(XDR_CHANNEL, xdrs) == 0);

static XDR_CHANNEL *S_channel(XDR *xdrs)
{
    return reinterpret_cast<XDR_CHANNEL *>(xdrs);
}

// ---- Socket callbacks ------------------------------------------------------

static int S_receive(void *handle, void *buffer, int n)
{
    const int socket = *static_cast<int *>(handle);
    for (;;) {
        ssize_t got = recv(socket, buffer, static_cast<size_t>(n), 0);
        if (got > 0)
            return static_cast<int>(got);
        if (got < 0 && errno == EINTR)
            continue;
        return -1; // 0: the peer closed
    }
}

static int S_send(void *handle, void *buffer, int n)
{
    const int socket = *static_cast<int *>(handle);
    const char *bytes = static_cast<const char *>(buffer);
    int done = 0;
    while (done < n) {
        ssize_t put = send(socket, bytes + done, static_cast<size_t>(n - done), MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return -1;
        done += static_cast<int>(put);
    }
    return n;
}

// ---- The first put of a write ----------------------------------------------

static bool_t S_first(XDR *xdrs)
{
    XDR_CHANNEL *ch = S_channel(xdrs);
    xdrs->x_ops = ch->ops;
    ch->touched = 1;
    ch->written = 1;
    if (ch->pending_close) {
        ch->pending_close = 0;
        return xdrrec_endofrecord(xdrs, FALSE);
    }
    return TRUE;
}

static bool_t S_first_putlong(XDR *xdrs, const long *value)
{
    return S_first(xdrs) && xdrs->x_ops->x_putlong(xdrs, value);
}

static bool_t S_first_putbytes(XDR *xdrs, const char *bytes, u_int n)
{
    return S_first(xdrs) && xdrs->x_ops->x_putbytes(xdrs, bytes, n);
}

static int32_t *S_first_inline(XDR *xdrs, u_int n)
{
    if (xdrs->x_op != XDR_ENCODE)
        return S_channel(xdrs)->ops->x_inline(xdrs, n);
    return S_first(xdrs) ? xdrs->x_ops->x_inline(xdrs, n) : nullptr;
}

// ---- Creation, flush, modes ------------------------------------------------

ZEL_API XDR_CHANNEL *XDR_create(const int *socket, int32_t send_size, int32_t receive_size)
{
    if (socket == nullptr || send_size < 0 || receive_size < 0)
        return nullptr;
    auto *ch = static_cast<XDR_CHANNEL *>(std::calloc(1, sizeof(XDR_CHANNEL)));
    if (ch == nullptr)
        return nullptr;
    ch->socket = *socket;
    xdrrec_create(&ch->xdrs, static_cast<u_int>(send_size), static_cast<u_int>(receive_size),
                  &ch->socket, S_receive, S_send);
    if (ch->xdrs.x_ops == nullptr || ch->xdrs.x_private == nullptr) {
        std::free(ch);
        return nullptr;
    }
    ch->ops = ch->xdrs.x_ops;
    ch->first_put = *ch->ops;
    ch->first_put.x_putlong = S_first_putlong;
    ch->first_put.x_putbytes = S_first_putbytes;
    ch->first_put.x_inline = S_first_inline;
    ch->xdrs.x_op = XDR_DECODE;
    // On a new stream this only prepares the first record: nothing is read.
    xdrrec_skiprecord(&ch->xdrs);
    return ch;
}

// Ends the current record and sends everything; the stream is then reading.
static int32_t S_send_all(XDR_CHANNEL *ch)
{
    bool_t sent = TRUE;
    if (ch->xdrs.x_op == XDR_ENCODE && ch->written)
        sent = xdrrec_endofrecord(&ch->xdrs, TRUE);
    ch->xdrs.x_op = XDR_DECODE;
    ch->written = 0;
    ch->pending_close = 0;
    ch->in_blob = 0;
    if (!sent) {
        ch->broken = 1;
        return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

ZEL_API void XDR_destroy(XDR_CHANNEL *ch, int32_t flush)
{
    if (ch == nullptr)
        return;
    if (flush && !ch->broken)
        S_send_all(ch);
    xdr_destroy(&ch->xdrs);
    std::free(ch);
}

ZEL_API int32_t XDR_flush(XDR_CHANNEL *ch)
{
    if (ch == nullptr)
        return ZE_NULL_POINTER;
    if (ch->broken)
        return ZE_FAILURE;
    return S_send_all(ch);
}

ZEL_API int32_t xdr_data_waiting(XDR_CHANNEL *ch)
{
    if (ch == nullptr)
        return ZE_NULL_POINTER;
    // poll, not select: any descriptor number, 1024 and above too.
    return plat_socket_poll(ch->socket, PLAT_SOCKET_READABLE, 0);
}

ZEL_API void XDR_set_read_mode(XDR *stream)
{
    stream->x_op = XDR_DECODE;
}

ZEL_API void XDR_set_write_mode(XDR *stream)
{
    stream->x_op = XDR_ENCODE;
}

// ---- Reads and writes ------------------------------------------------------

// Codes a member answers before it moves anything: the stream stays in step.
static bool S_refusal(int32_t rc)
{
    return rc == ZE_NULL_POINTER || rc == ZE_INVALID_ARGUMENT || rc == ZE_INVALID_QUERYINFO_OBJECT;
}

// Read prologue, the decode, and the skip to the next record. A record
// decoded whole whose rest cannot be skipped (the peer's record breaks off)
// fails the read; release then frees what the decode allocated for the
// caller, who gets nothing from a failed read.
template <typename F, typename R>
static int32_t S_read(XDR_CHANNEL *ch, F decode, bool skip, R release)
{
    if (ch == nullptr)
        return ZE_NULL_POINTER;
    if (ch->broken)
        return ZE_FAILURE;
    if (ch->xdrs.x_op == XDR_ENCODE && S_send_all(ch) != 0)
        return ZE_FAILURE;
    int32_t rc = decode(&ch->xdrs);
    if (rc == 0 && skip && !xdrrec_skiprecord(&ch->xdrs)) {
        release();
        rc = ZE_FAILURE;
    }
    if (rc != 0 && !S_refusal(rc))
        ch->broken = 1;
    return rc;
}

template <typename F> static int32_t S_read(XDR_CHANNEL *ch, F decode, bool skip = true)
{
    return S_read(ch, decode, skip, [] {});
}

// What a list read allocated into its records: the lineage blocks of states
// and the property arrays of locators; nothing for the other records.
template <typename T> static void S_release(T *, int32_t) {}

static void S_release(STATE *states, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        std::free(states[i].lineage);
        states[i].lineage = nullptr;
    }
}

static void S_release(LOCATOR *locators, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        std::free(locators[i].property_names);
        std::free(locators[i].property_values);
        locators[i].property_names = nullptr;
        locators[i].property_values = nullptr;
    }
}

// Write prologue (deferred to the first put), the encode. continue_blob: a
// blob segment that continues the record of the one before it.
template <typename F> static int32_t S_write(XDR_CHANNEL *ch, F encode, bool continue_blob = false)
{
    if (ch == nullptr)
        return ZE_NULL_POINTER;
    if (ch->broken)
        return ZE_FAILURE;
    const bool continuing = continue_blob && ch->in_blob && ch->xdrs.x_op == XDR_ENCODE;
    if (ch->xdrs.x_op != XDR_ENCODE) {
        ch->xdrs.x_op = XDR_ENCODE;
        ch->written = 0;
        ch->pending_close = 0;
        ch->in_blob = 0;
    } else if (!continuing) {
        // The record before stays open until this write puts its first byte.
        ch->pending_close = ch->written;
        ch->in_blob = 0;
    }
    ch->touched = 0;
    ch->xdrs.x_ops = &ch->first_put;
    int32_t rc = encode(&ch->xdrs);
    ch->xdrs.x_ops = ch->ops;
    // A write that put nothing is still a record (empty), for the read of
    // the same nothing to consume.
    if (rc == 0 && !ch->touched && !continuing && !S_first(&ch->xdrs))
        rc = ZE_FAILURE;
    // A write refused before its first byte left nothing; any other failure
    // left part of a record behind.
    if (rc != 0 && (ch->touched || !S_refusal(rc)))
        ch->broken = 1;
    return rc;
}

static int32_t S_ok(bool_t done)
{
    return done ? ZE_SUCCESS : ZE_FAILURE;
}

#define S_READ(body) S_read(ch, [&](XDR *x) -> int32_t { return body; })
#define S_READ_OR_FREE(body, freed)                                                                \
    S_read(                                                                                        \
        ch, [&](XDR *x) -> int32_t { return body; }, true, [&] { freed; })
#define S_WRITE(body) S_write(ch, [&](XDR *x) -> int32_t { return body; })

#define S_VALUE(NAME, T)                                                                           \
    ZEL_API int32_t XDR_read_##NAME(XDR_CHANNEL *ch, T *value)                                     \
    {                                                                                              \
        return S_READ(XDRMEM_read_##NAME(x, value));                                               \
    }                                                                                              \
    ZEL_API int32_t XDR_write_##NAME(XDR_CHANNEL *ch, T value)                                     \
    {                                                                                              \
        return S_WRITE(XDRMEM_write_##NAME(x, value));                                             \
    }

S_VALUE(long, int32_t)
S_VALUE(ulong, uint32_t)
S_VALUE(float, float)
S_VALUE(lfloat, double)
S_VALUE(short, int16_t)
#undef S_VALUE

ZEL_API int32_t XDR_read_pt3d(XDR_CHANNEL *ch, int32_t *x_, int32_t *y, int32_t *z)
{
    if (x_ == nullptr || y == nullptr || z == nullptr)
        return ZE_NULL_POINTER;
    int32_t xyz[3];
    int32_t rc = S_READ(S_ok(xdr_POINT3D(x, xyz)));
    if (rc == 0)
        *x_ = xyz[0], *y = xyz[1], *z = xyz[2];
    return rc;
}

ZEL_API int32_t XDR_write_pt3d(XDR_CHANNEL *ch, int32_t x_, int32_t y, int32_t z)
{
    int32_t xyz[3] = {x_, y, z};
    return S_WRITE(S_ok(xdr_POINT3D(x, xyz)));
}

// A record through its one filter; a write encodes a copy.
template <typename T>
static int32_t S_read_record(XDR_CHANNEL *ch, T *record, bool_t (*f)(XDR *, T *))
{
    if (record == nullptr)
        return ZE_NULL_POINTER;
    return S_READ(S_ok(f(x, record)));
}

template <typename T>
static int32_t S_write_record(XDR_CHANNEL *ch, const T *record, bool_t (*f)(XDR *, T *))
{
    if (record == nullptr)
        return ZE_NULL_POINTER;
    T copy = *record;
    return S_WRITE(S_ok(f(x, &copy)));
}

#define S_RECORD(NAME, TYPE, FILTER)                                                               \
    ZEL_API int32_t XDR_read_##NAME(XDR_CHANNEL *ch, TYPE *record)                                 \
    {                                                                                              \
        return S_read_record(ch, record, FILTER);                                                  \
    }                                                                                              \
    ZEL_API int32_t XDR_write_##NAME(XDR_CHANNEL *ch, const TYPE *record)                          \
    {                                                                                              \
        return S_write_record(ch, record, FILTER);                                                 \
    }

S_RECORD(envp, ENVELOPE, xdr_ENVELOPE)
S_RECORD(date, VE_DATE, xdr_VE_DATE)
S_RECORD(release, RELEASE, xdr_RELEASE)
S_RECORD(ve_si_stats, VE_SPIDX_STATS, xdr_S_INDEX_STATS)
S_RECORD(ve_layer_stats, VE_LAYER_STATS, xdr_LAYER_STATS)
S_RECORD(registration, REGISTRATION, xdr_REGISTRATION)
S_RECORD(metadata, METADATA, xdr_METADATA)
S_RECORD(rasterband, RASTERBAND, xdr_RASTERBAND)
S_RECORD(raster, RASTER, xdr_RASTER)
S_RECORD(rasterattr, RASTERATTR, xdr_RASTERATTR)
S_RECORD(logfile, LOGFILE, xdr_LOGFILE)
S_RECORD(object_lock, VE_OBJECT_LOCK, xdr_VE_OBJECT_LOCK)
S_RECORD(ve_instance_config, VE_INSTANCE_CONFIG, xdr_VE_INSTANCE_CONFIG)
S_RECORD(ve_instance_status, VE_INSTANCE_STATUS, xdr_VE_INSTANCE_STATUS)
S_RECORD(ve_instance_stats, VE_INSTANCE_STATS, xdr_VE_INSTANCE_STATS)
S_RECORD(ve_instance_user, VE_INSTANCE_USER, xdr_VE_INSTANCE_USER)
S_RECORD(ve_instance_lock, VE_INSTANCE_LOCK, xdr_VE_INSTANCE_LOCK)
S_RECORD(ve_instance_state_lock, VE_INSTANCE_STATE_LOCK, xdr_VE_INSTANCE_OBJECT_LOCK)
S_RECORD(ve_instance_table_lock, VE_INSTANCE_TABLE_LOCK, xdr_VE_INSTANCE_OBJECT_LOCK)
S_RECORD(ve_instance_version_lock, VE_INSTANCE_VERSION_LOCK, xdr_VE_INSTANCE_OBJECT_LOCK)
#undef S_RECORD

// The release's form follows its major both ways: the old read is the same.
ZEL_API int32_t XDR_read_release_old(XDR_CHANNEL *ch, RELEASE *release)
{
    return XDR_read_release(ch, release);
}

ZEL_API int32_t XDR_read_spatialref(XDR_CHANNEL *ch, VE_SPATIALREF *spatialref)
{
    if (spatialref == nullptr)
        return ZE_NULL_POINTER;
    return S_READ(S_ok(xdr_VE_SPATIALREF(x, spatialref)));
}

ZEL_API int32_t XDR_write_spatialref(XDR_CHANNEL *ch, const VE_SPATIALREF *spatialref)
{
    if (spatialref == nullptr || spatialref->coordref == nullptr)
        return ZE_NULL_POINTER;
    VE_SPATIALREF copy = *spatialref;
    return S_WRITE(S_ok(xdr_VE_SPATIALREF(x, &copy)));
}

// ---- Arrays, blocks, strings -----------------------------------------------

ZEL_API int32_t XDR_read_fid_array(XDR_CHANNEL *ch, int32_t *ids, int32_t count)
{
    return S_READ(xdrio_read_fid_array(x, ids, count));
}

ZEL_API int32_t XDR_write_fid_array(XDR_CHANNEL *ch, const int32_t *ids, int32_t count)
{
    return S_WRITE(xdrio_write_fid_array(x, ids, count));
}

ZEL_API int32_t XDR_read_lfloat_array(XDR_CHANNEL *ch, double *values, int32_t count)
{
    return S_READ(xdrio_read_lfloat_array(x, values, count));
}

ZEL_API int32_t XDR_write_lfloat_array(XDR_CHANNEL *ch, const double *values, int32_t count)
{
    return S_WRITE(xdrio_write_lfloat_array(x, values, count));
}

ZEL_API int32_t XDR_read_block(XDR_CHANNEL *ch, void *buffer, int32_t length)
{
    return S_READ(xdrio_block(x, buffer, length));
}

ZEL_API int32_t XDR_write_block(XDR_CHANNEL *ch, const void *buffer, int32_t length)
{
    return S_WRITE(xdrio_block(x, const_cast<void *>(buffer), length));
}

ZEL_API int32_t XDR_read_short_array(XDR_CHANNEL *ch, int16_t *count, int16_t *values,
                                     int16_t capacity)
{
    return S_READ(xdrio_read_short_array(x, count, values, capacity));
}

ZEL_API int32_t XDR_write_short_array(XDR_CHANNEL *ch, int16_t count, const int16_t *values)
{
    return S_WRITE(xdrio_write_short_array(x, count, values));
}

ZEL_API int32_t XDR_read_string(XDR_CHANNEL *ch, char *buffer, int32_t capacity)
{
    return S_READ(xdrio_read_string(x, buffer, capacity));
}

ZEL_API int32_t XDR_write_string(XDR_CHANNEL *ch, const char *string)
{
    return S_WRITE(xdrio_write_string(x, string));
}

ZEL_API int32_t XDR_read_dynamic_string(XDR_CHANNEL *ch, char **string)
{
    return S_READ_OR_FREE(xdrio_read_dynamic_string(x, string), {
        std::free(*string);
        *string = nullptr;
    });
}

ZEL_API int32_t XDR_write_dynamic_string(XDR_CHANNEL *ch, const char *string)
{
    return S_WRITE(xdrio_write_dynamic_string(x, string));
}

// ---- Blobs -----------------------------------------------------------------

ZEL_API bool_t XDR_blob_seg(XDR *stream, char *buffer, int32_t capacity, int32_t *length,
                            int32_t *last)
{
    if (length == nullptr)
        return TRUE;
    if (last == nullptr || !zel_xdr_long(stream, length) || !zel_xdr_long(stream, last))
        return FALSE;
    // A negative length is no segment: refused both ways.
    if (*length < 0)
        return FALSE;
    if (*length == 0)
        return TRUE;
    if (buffer == nullptr || *length > capacity)
        return FALSE;
    // The bytes without padding: the blob's end pads the whole blob.
    const u_int n = static_cast<u_int>(*length);
    return stream->x_op == XDR_ENCODE ? XDR_PUTBYTES(stream, buffer, n)
                                      : XDR_GETBYTES(stream, buffer, n);
}

ZEL_API bool_t XDR_blob_end(XDR *stream, int32_t total_length)
{
    char padding[4] = {};
    const u_int n = static_cast<u_int>((4 - total_length % 4) % 4);
    if (n == 0)
        return TRUE;
    return stream->x_op == XDR_ENCODE ? XDR_PUTBYTES(stream, padding, n)
                                      : XDR_GETBYTES(stream, padding, n);
}

ZEL_API int32_t XDR_read_blob_seg(XDR_CHANNEL *ch, void *buffer, int32_t capacity, int32_t *length,
                                  int32_t *last)
{
    if (length == nullptr)
        return ch == nullptr ? ZE_NULL_POINTER : ZE_SUCCESS;
    return S_read(
        ch,
        [&](XDR *x) -> int32_t {
            return S_ok(XDR_blob_seg(x, static_cast<char *>(buffer), capacity, length, last));
        },
        false);
}

ZEL_API int32_t XDR_write_blob_seg(XDR_CHANNEL *ch, const void *buffer, int32_t length,
                                   int32_t last)
{
    if (length < 0)
        return ZE_INVALID_ARGUMENT;
    if (length > 0 && buffer == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_write(
        ch,
        [&](XDR *x) -> int32_t {
            return S_ok(XDR_blob_seg(x, static_cast<char *>(const_cast<void *>(buffer)), length,
                                     &length, &last));
        },
        true);
    if (rc == 0)
        ch->in_blob = 1;
    return rc;
}

ZEL_API int32_t XDR_read_blob_end(XDR_CHANNEL *ch, int32_t total_length, int32_t skip)
{
    return S_read(
        ch, [&](XDR *x) -> int32_t { return S_ok(XDR_blob_end(x, total_length)); }, skip != 0);
}

ZEL_API int32_t XDR_write_blob_end(XDR_CHANNEL *ch, int32_t total_length, int32_t flush)
{
    int32_t rc = S_write(
        ch, [&](XDR *x) -> int32_t { return S_ok(XDR_blob_end(x, total_length)); }, true);
    if (rc != 0)
        return rc;
    ch->in_blob = 1;
    if (flush && XDR_flush(ch) != 0)
        return ZE_FAILURE;
    return ZE_SUCCESS;
}

// ---- Features --------------------------------------------------------------

ZEL_API int32_t XDR_read_compressed_feature(XDR_CHANNEL *ch, FEATURE_STRUCT *feature)
{
    return S_READ(xdrio_read_compressed_feature(x, feature));
}

ZEL_API int32_t XDR_write_compressed_feature(XDR_CHANNEL *ch, const FEATURE_STRUCT *feature)
{
    return S_WRITE(xdrio_write_compressed_feature(x, feature));
}

ZEL_API int32_t XDR_readf(XDR_CHANNEL *ch, FEATURE_STRUCT *feature, int32_t allocate)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    if (ch != nullptr && !ch->broken && MoxsShapeSetActive(feature) != 0)
        return ZE_FAILURE;
    return S_READ(xdrio_feature(x, feature, allocate));
}

ZEL_API int32_t XDR_writef(XDR_CHANNEL *ch, const FEATURE_STRUCT *feature)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    FEATURE_STRUCT copy = *feature;
    return S_WRITE(xdrio_feature(x, &copy, 0));
}

// ---- Coordinate references and layers ---------------------------------------

ZEL_API int32_t XDR_read_coordref(XDR_CHANNEL *ch, COORDREF *coordref)
{
    return S_READ(xdrio_coordref(x, coordref, 0));
}

ZEL_API int32_t XDR_write_coordref(XDR_CHANNEL *ch, const COORDREF *coordref)
{
    return S_WRITE(xdrio_coordref(x, const_cast<COORDREF *>(coordref), 0));
}

ZEL_API int32_t XDR_read_coordref_old(XDR_CHANNEL *ch, COORDREF *coordref)
{
    return S_READ(xdrio_coordref(x, coordref, 1));
}

ZEL_API int32_t XDR_write_coordref_old(XDR_CHANNEL *ch, const COORDREF *coordref)
{
    return S_WRITE(xdrio_coordref(x, const_cast<COORDREF *>(coordref), 1));
}

static int32_t S_write_layer(XDR_CHANNEL *ch, const LAYER *layer, int32_t old)
{
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    LAYER copy = *layer;
    return S_WRITE(xdrio_layer(x, &copy, old));
}

ZEL_API int32_t XDR_read_layer(XDR_CHANNEL *ch, LAYER *layer)
{
    return S_READ(xdrio_layer(x, layer, 0));
}

ZEL_API int32_t XDR_write_layer(XDR_CHANNEL *ch, const LAYER *layer)
{
    return S_write_layer(ch, layer, 0);
}

ZEL_API int32_t XDR_read_layer_old(XDR_CHANNEL *ch, LAYER *layer)
{
    return S_READ(xdrio_layer(x, layer, 1));
}

ZEL_API int32_t XDR_write_layer_old(XDR_CHANNEL *ch, const LAYER *layer)
{
    return S_write_layer(ch, layer, 1);
}

ZEL_API int32_t XDR_read_layer_list(XDR_CHANNEL *ch, LAYER *layers, int32_t capacity,
                                    int32_t *count)
{
    return S_READ(xdrio_read_layer_list(x, layers, capacity, count, 0));
}

ZEL_API int32_t XDR_write_layer_list(XDR_CHANNEL *ch, const LAYER *layers, int32_t count)
{
    return S_WRITE(xdrio_write_layer_list(x, layers, count, 0));
}

ZEL_API int32_t XDR_read_layer_list_old(XDR_CHANNEL *ch, LAYER *layers, int32_t capacity,
                                        int32_t *count)
{
    return S_READ(xdrio_read_layer_list(x, layers, capacity, count, 1));
}

ZEL_API int32_t XDR_write_layer_list_old(XDR_CHANNEL *ch, const LAYER *layers, int32_t count)
{
    return S_WRITE(xdrio_write_layer_list(x, layers, count, 1));
}

// ---- Query records ---------------------------------------------------------

ZEL_API int32_t XDR_read_construct(XDR_CHANNEL *ch, VE_SQL_CONSTRUCT *construct)
{
    return S_READ_OR_FREE(xdrio_read_construct(x, construct, 0), raw_construct_clear(construct));
}

ZEL_API int32_t XDR_write_construct(XDR_CHANNEL *ch, const VE_SQL_CONSTRUCT *construct)
{
    return S_WRITE(xdrio_write_construct(x, construct, 0));
}

ZEL_API int32_t XDR_read_construct_old(XDR_CHANNEL *ch, VE_SQL_CONSTRUCT *construct)
{
    return S_READ_OR_FREE(xdrio_read_construct(x, construct, 1), raw_construct_clear(construct));
}

ZEL_API int32_t XDR_write_construct_old(XDR_CHANNEL *ch, const VE_SQL_CONSTRUCT *construct)
{
    return S_WRITE(xdrio_write_construct(x, construct, 1));
}

ZEL_API int32_t XDR_read_column_def(XDR_CHANNEL *ch, int16_t *count, DB_COLUMN_DEF **defs)
{
    return S_READ_OR_FREE(xdrio_read_column_def(x, count, defs, 0), {
        std::free(*defs);
        *defs = nullptr;
        *count = 0;
    });
}

ZEL_API int32_t XDR_write_column_def(XDR_CHANNEL *ch, int16_t count, const DB_COLUMN_DEF *defs)
{
    return S_WRITE(xdrio_write_column_def(x, count, defs, 0));
}

ZEL_API int32_t XDR_read_column_def_old(XDR_CHANNEL *ch, int16_t *count, DB_COLUMN_DEF **defs)
{
    return S_READ_OR_FREE(xdrio_read_column_def(x, count, defs, 1), {
        std::free(*defs);
        *defs = nullptr;
        *count = 0;
    });
}

ZEL_API int32_t XDR_write_column_def_old(XDR_CHANNEL *ch, int16_t count, const DB_COLUMN_DEF *defs)
{
    return S_WRITE(xdrio_write_column_def(x, count, defs, 1));
}

ZEL_API int32_t XDR_read_filter_array(XDR_CHANNEL *ch, int16_t *count, VE_FILTER **filters)
{
    return S_READ_OR_FREE(xdrio_read_filter_array(x, true, count, filters, 0), {
        raw_filter_array_free(*count, *filters);
        *filters = nullptr;
        *count = 0;
    });
}

ZEL_API int32_t XDR_write_filter_array(XDR_CHANNEL *ch, int16_t count, const VE_FILTER *filters)
{
    return S_WRITE(xdrio_write_filter_array(x, true, count, filters, 0));
}

ZEL_API int32_t XDR_read_filter_array_old(XDR_CHANNEL *ch, int16_t *count, VE_FILTER **filters)
{
    return S_READ_OR_FREE(xdrio_read_filter_array(x, true, count, filters, 1), {
        raw_filter_array_free(*count, *filters);
        *filters = nullptr;
        *count = 0;
    });
}

ZEL_API int32_t XDR_write_filter_array_old(XDR_CHANNEL *ch, int16_t count, const VE_FILTER *filters)
{
    return S_WRITE(xdrio_write_filter_array(x, true, count, filters, 1));
}

ZEL_API int32_t XDR_read_queryinfo(XDR_CHANNEL *ch, VE_QUERYINFO *info)
{
    if (info == nullptr)
        return ch == nullptr ? ZE_NULL_POINTER : ZE_INVALID_QUERYINFO_OBJECT;
    return S_READ_OR_FREE(xdrio_read_queryinfo(x, info), raw_queryinfo_clear(info));
}

ZEL_API int32_t XDR_write_queryinfo(XDR_CHANNEL *ch, const VE_QUERYINFO *info)
{
    return S_WRITE(xdrio_write_queryinfo(x, info));
}

ZEL_API int32_t XDR_read_input_desc(XDR_CHANNEL *ch, int16_t *count, VE_INPUT_DESC **descs)
{
    return S_READ_OR_FREE(xdrio_read_input_desc(x, count, descs), {
        std::free(*descs);
        *descs = nullptr;
        *count = 0;
    });
}

ZEL_API int32_t XDR_write_input_desc(XDR_CHANNEL *ch, int16_t count, const VE_INPUT_DESC *descs)
{
    return S_WRITE(xdrio_write_input_desc(x, count, descs));
}

ZEL_API int32_t XDR_read_index_def(XDR_CHANNEL *ch, int16_t *count, DB_INDEX_DEF **defs)
{
    return S_READ_OR_FREE(xdrio_read_index_def(x, count, defs), {
        raw_index_def_free(*count, *defs);
        *defs = nullptr;
        *count = 0;
    });
}

ZEL_API int32_t XDR_write_index_def(XDR_CHANNEL *ch, int16_t count, const DB_INDEX_DEF *defs)
{
    return S_WRITE(xdrio_write_index_def(x, count, defs));
}

// ---- Lists -----------------------------------------------------------------

#define S_LIST(NAME, BODY, TYPE)                                                                   \
    ZEL_API int32_t XDR_read_##NAME##_list(XDR_CHANNEL *ch, TYPE *records, int32_t capacity,       \
                                           int32_t *count)                                         \
    {                                                                                              \
        return S_READ_OR_FREE(xdrio_read_##BODY##_list(x, records, capacity, count),               \
                              S_release(records, *count));                                         \
    }                                                                                              \
    ZEL_API int32_t XDR_write_##NAME##_list(XDR_CHANNEL *ch, const TYPE *records, int32_t count)   \
    {                                                                                              \
        return S_WRITE(xdrio_write_##BODY##_list(x, records, count));                              \
    }

S_LIST(ve_layer_locks, layer_locks, VE_LAYER_LOCKS)
S_LIST(ve_table_lock, table_lock, VE_TABLE_LOCK)
S_LIST(ve_version_lock, version_lock, VE_VERSION_LOCK)
S_LIST(object_lock, object_lock, VE_OBJECT_LOCK)
S_LIST(registration, registration, REGISTRATION)
S_LIST(metadata, metadata, METADATA)
S_LIST(rastercolumn, rastercolumn, RASTERCOLUMN)
S_LIST(rasterband, rasterband, RASTERBAND)
S_LIST(state, state, STATE)
S_LIST(version, version, VERSION)
S_LIST(logfile, logfile, LOGFILE)
S_LIST(spatialref, spatialref, VE_SPATIALREF)
S_LIST(locator, locator, LOCATOR)
#undef S_LIST

// Records that travel as a list of one: the read wants exactly one.
#define S_ONE(NAME, TYPE)                                                                          \
    ZEL_API int32_t XDR_read_##NAME(XDR_CHANNEL *ch, TYPE *record)                                 \
    {                                                                                              \
        return S_READ_OR_FREE(                                                                     \
            [&] {                                                                                  \
                int32_t n = 0;                                                                     \
                int32_t rc = xdrio_read_##NAME##_list(x, record, 1, &n);                           \
                return rc != 0 ? rc : (n == 1 ? ZE_SUCCESS : ZE_FAILURE);                          \
            }(),                                                                                   \
            S_release(record, 1));                                                                 \
    }                                                                                              \
    ZEL_API int32_t XDR_write_##NAME(XDR_CHANNEL *ch, const TYPE *record)                          \
    {                                                                                              \
        if (record == nullptr)                                                                     \
            return ZE_NULL_POINTER;                                                                \
        return S_WRITE(xdrio_write_##NAME##_list(x, record, 1));                                   \
    }

S_ONE(state, STATE)
S_ONE(version, VERSION)
S_ONE(locator, LOCATOR)
#undef S_ONE

ZEL_API int32_t XDR_read_rastercolumn(XDR_CHANNEL *ch, RASTERCOLUMN *column)
{
    return S_READ(xdrio_rastercolumn(x, column));
}

ZEL_API int32_t XDR_write_rastercolumn(XDR_CHANNEL *ch, const RASTERCOLUMN *column)
{
    return S_WRITE(xdrio_rastercolumn(x, const_cast<RASTERCOLUMN *>(column)));
}

ZEL_API int32_t XDR_read_rasconstraint(XDR_CHANNEL *ch, RASCONSTRAINT **constraint)
{
    return S_READ_OR_FREE(xdrio_read_rasconstraint(x, constraint), {
        ves_raster_constraint_free(*constraint);
        *constraint = nullptr;
    });
}

ZEL_API int32_t XDR_write_rasconstraint(XDR_CHANNEL *ch, const RASCONSTRAINT *constraint)
{
    return S_WRITE(xdrio_write_rasconstraint(x, constraint));
}

// ---- Memory streams --------------------------------------------------------

static void S_mode(XDR *stream, enum xdr_op op)
{
    if (stream->x_op != op)
        stream->x_op = op;
}

// A value through its filter, the stream turned to the direction first.
template <typename T, bool_t (*Filter)(XDR *, T *)> static int32_t S_mem_read(XDR *stream, T *value)
{
    if (stream == nullptr || value == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_DECODE);
    return S_ok(Filter(stream, value));
}

template <typename T, bool_t (*Filter)(XDR *, T *)> static int32_t S_mem_write(XDR *stream, T value)
{
    if (stream == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_ENCODE);
    return S_ok(Filter(stream, &value));
}

#define S_MEM_VALUE(NAME, T, FILTER)                                                               \
    ZEL_API int32_t XDRMEM_read_##NAME(XDR *stream, T *value)                                      \
    {                                                                                              \
        return S_mem_read<T, FILTER>(stream, value);                                               \
    }                                                                                              \
    ZEL_API int32_t XDRMEM_write_##NAME(XDR *stream, T value)                                      \
    {                                                                                              \
        return S_mem_write<T, FILTER>(stream, value);                                              \
    }

S_MEM_VALUE(long, int32_t, zel_xdr_long)
S_MEM_VALUE(ulong, uint32_t, zel_xdr_u_long)
S_MEM_VALUE(float, float, xdr_float)
S_MEM_VALUE(lfloat, double, xdr_double)
S_MEM_VALUE(short, int16_t, xdr_short)
#undef S_MEM_VALUE

ZEL_API int32_t XDRMEM_read_string(XDR *stream, char *buffer, int32_t capacity)
{
    if (stream == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_DECODE);
    return xdrio_read_string(stream, buffer, capacity) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

ZEL_API int32_t XDRMEM_write_string(XDR *stream, const char *string)
{
    if (stream == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_ENCODE);
    return xdrio_write_string(stream, string) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

ZEL_API int32_t XDRMEM_read_date(XDR *stream, VE_DATE *date)
{
    if (stream == nullptr || date == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_DECODE);
    return S_ok(xdr_VE_DATE(stream, date));
}

ZEL_API int32_t XDRMEM_write_date(XDR *stream, const VE_DATE *date)
{
    if (stream == nullptr || date == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_ENCODE);
    VE_DATE copy = *date;
    return S_ok(xdr_VE_DATE(stream, &copy));
}

ZEL_API int32_t XDRMEM_read_block(XDR *stream, void *buffer, int32_t n)
{
    if (stream == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_DECODE);
    return xdrio_block(stream, buffer, n) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

ZEL_API int32_t XDRMEM_write_block(XDR *stream, const void *buffer, int32_t n)
{
    if (stream == nullptr)
        return ZE_FAILURE;
    S_mode(stream, XDR_ENCODE);
    return xdrio_block(stream, const_cast<void *>(buffer), n) == 0 ? ZE_SUCCESS : ZE_FAILURE;
}

ZEL_API int32_t XDRMEM_feature(FEATURE_STRUCT *feature, XDR *stream)
{
    if (stream == nullptr || feature == nullptr)
        return ZE_FAILURE;
    const u_int at = xdr_getpos(stream);
    POINT *points = feature->points;
    int32_t *z = feature->z_values, *m = feature->measures;
    int32_t rc = xdrio_feature(stream, feature, 0);
    feature->points = points;
    feature->z_values = z;
    feature->measures = m;
    if (rc != 0) {
        xdr_setpos(stream, at);
        return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

// ---- The channel's table ---------------------------------------------------

static void S_set_broken(void *end)
{
    static_cast<XDR_CHANNEL *>(end)->broken = 1;
}

static void S_destroy(void *end)
{
    XDR_destroy(static_cast<XDR_CHANNEL *>(end), 1);
}

#define S_MEMBERS(NAME, ...)                                                                       \
    .read_##NAME = ch_member<XDR_read_##NAME>::call,                                               \
    .write_##NAME = ch_member<XDR_write_##NAME>::call,

// clang-format off
static constexpr CH_TRANSPORT kXdr = {
    CH_FAMILY(S_MEMBERS, S_MEMBERS, S_MEMBERS, S_MEMBERS, S_MEMBERS)
    CH_OWN_SHAPES(S_MEMBERS)
    .readf = ch_member<XDR_readf>::call,
    .writef = ch_member<XDR_writef>::call,
    .flush = ch_member<XDR_flush>::call,
    .data_waiting = ch_member<xdr_data_waiting>::call,
    .set_broken = S_set_broken,
    .destroy = S_destroy,
};
// clang-format on
#undef S_MEMBERS

// The older peer's table: its forms of coordinate references, layers, the
// SQL construct, column definitions and filter arrays (the release's form
// follows its major both ways).
static constexpr CH_TRANSPORT S_older(CH_TRANSPORT t)
{
    t.read_coordref = ch_member<XDR_read_coordref_old>::call;
    t.write_coordref = ch_member<XDR_write_coordref_old>::call;
    t.read_layer = ch_member<XDR_read_layer_old>::call;
    t.write_layer = ch_member<XDR_write_layer_old>::call;
    t.read_layer_list = ch_member<XDR_read_layer_list_old>::call;
    t.write_layer_list = ch_member<XDR_write_layer_list_old>::call;
    t.read_construct = ch_member<XDR_read_construct_old>::call;
    t.write_construct = ch_member<XDR_write_construct_old>::call;
    t.read_column_def = ch_member<XDR_read_column_def_old>::call;
    t.write_column_def = ch_member<XDR_write_column_def_old>::call;
    t.read_filter_array = ch_member<XDR_read_filter_array_old>::call;
    t.write_filter_array = ch_member<XDR_write_filter_array_old>::call;
    return t;
}

static constexpr CH_TRANSPORT kXdrOld = S_older(kXdr);

void *xdr_transport_create(const int *socket, int32_t send_size, int32_t receive_size,
                           int32_t old_release, const CH_TRANSPORT **transport)
{
    *transport = old_release ? &kXdrOld : &kXdr;
    return XDR_create(socket, send_size, receive_size);
}
