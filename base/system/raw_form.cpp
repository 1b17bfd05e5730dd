// Raw wire forms of values and records over a byte transport
// (base/system/raw_form_internal.h), shared by the socket and memory
// transports. Record images come from the codec in raw_image.cpp; this file
// decides what follows them and checks every count and length it receives.
#include "base/system/raw_form_internal.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/util/ve_compress.h"
#include "base/util/ve_index_def_internal.h"
#include "base/util/ve_raster_internal.h"
#include "base/util/ve_shape_error.h"
#include "base/util/ve_string_array.h"
#include "base/util/ve_varlong_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

constexpr bool S_little = std::endian::native == std::endian::little;

struct S_free {
    void operator()(void *p) const
    {
        std::free(p);
    }
};
template <typename T> using S_owned = std::unique_ptr<T, S_free>;

} // namespace

// ---- Pieces ----------------------------------------------------------------

static int32_t S_get(RAW_IO *io, void *dst, size_t n)
{
    if (n == 0)
        return ZE_SUCCESS;
    if (io->read(io->ctx, dst, n) != 0) {
        io->failed = 1;
        return ZE_FAILURE;
    }
    io->moved += n;
    return ZE_SUCCESS;
}

static int32_t S_put(RAW_IO *io, const void *src, size_t n)
{
    if (n == 0)
        return ZE_SUCCESS;
    if (io->write(io->ctx, src, n) != 0) {
        io->failed = 1;
        return ZE_FAILURE;
    }
    io->moved += n;
    return ZE_SUCCESS;
}

// Reads and drops n bytes.
static int32_t S_skip(RAW_IO *io, size_t n)
{
    uint8_t scratch[4096];
    while (n > 0) {
        size_t piece = n < sizeof scratch ? n : sizeof scratch;
        if (S_get(io, scratch, piece) != 0)
            return ZE_FAILURE;
        n -= piece;
    }
    return ZE_SUCCESS;
}

// The first block a received byte string gets; it doubles as bytes arrive.
constexpr size_t S_FIRST_BLOCK = 64 * 1024;

// Reads n bytes into *block, which holds *room bytes and is grown (realloc)
// only as the bytes arrive, so that a length from the wire costs memory once
// the bytes behind it have come. no_memory when the block cannot grow (the
// old one stays valid and the caller's).
static int32_t S_get_growing(RAW_IO *io, size_t n, uint8_t **block, size_t *room, int32_t no_memory)
{
    size_t done = 0;
    while (done < n) {
        if (*room <= done) {
            size_t want = done < S_FIRST_BLOCK / 2 ? S_FIRST_BLOCK : 2 * done;
            if (want > n)
                want = n;
            void *grown = std::realloc(*block, want);
            if (grown == nullptr)
                return no_memory;
            *block = static_cast<uint8_t *>(grown);
            *room = want;
        }
        size_t end = *room < n ? *room : n;
        if (S_get(io, *block + done, end - done) != 0)
            return ZE_FAILURE;
        done = end;
    }
    return ZE_SUCCESS;
}

// n bytes into a new block of exactly n bytes, grown as they arrive.
static int32_t S_get_new_block(RAW_IO *io, size_t n, S_owned<uint8_t> &out, int32_t no_memory)
{
    uint8_t *block = nullptr;
    size_t room = 0;
    int32_t rc = S_get_growing(io, n, &block, &room, no_memory);
    out.reset(block);
    return rc;
}

// A number in its little-endian bytes; a null destination is -65.
template <typename T, T (*Get)(const uint8_t *)> static int32_t S_get_number(RAW_IO *io, T *value)
{
    uint8_t b[sizeof(T)];
    if (value == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, b, sizeof b) != 0)
        return ZE_FAILURE;
    *value = Get(b);
    return ZE_SUCCESS;
}

template <typename T, void (*Put)(uint8_t *, T)> static int32_t S_put_number(RAW_IO *io, T value)
{
    uint8_t b[sizeof(T)];
    Put(b, value);
    return S_put(io, b, sizeof b);
}

constexpr auto S_get_i32 = S_get_number<int32_t, raw_get_i32>;
constexpr auto S_put_i32 = S_put_number<int32_t, raw_put_i32>;
constexpr auto S_get_i16 = S_get_number<int16_t, raw_get_i16>;
constexpr auto S_put_i16 = S_put_number<int16_t, raw_put_i16>;

// Arrays of little-endian numbers: straight from and into the caller's array
// on a little-endian host, through a small block elsewhere.
template <typename T> static int32_t S_get_array(RAW_IO *io, T *values, size_t count)
{
    if constexpr (S_little)
        return S_get(io, values, count * sizeof(T));
    uint8_t block[512];
    const size_t per = sizeof block / sizeof(T);
    for (size_t done = 0; done < count; done += per) {
        size_t n = count - done < per ? count - done : per;
        if (S_get(io, block, n * sizeof(T)) != 0)
            return ZE_FAILURE;
        for (size_t i = 0; i < n; i++) {
            if constexpr (sizeof(T) == 8)
                values[done + i] = std::bit_cast<T>(raw_get_f64(block + 8 * i));
            else if constexpr (sizeof(T) == 4)
                values[done + i] = static_cast<T>(raw_get_i32(block + 4 * i));
            else
                values[done + i] = static_cast<T>(raw_get_i16(block + 2 * i));
        }
    }
    return ZE_SUCCESS;
}

template <typename T> static int32_t S_put_array(RAW_IO *io, const T *values, size_t count)
{
    if constexpr (S_little)
        return S_put(io, values, count * sizeof(T));
    uint8_t block[512];
    const size_t per = sizeof block / sizeof(T);
    for (size_t done = 0; done < count; done += per) {
        size_t n = count - done < per ? count - done : per;
        for (size_t i = 0; i < n; i++) {
            if constexpr (sizeof(T) == 8)
                raw_put_f64(block + 8 * i, std::bit_cast<double>(values[done + i]));
            else if constexpr (sizeof(T) == 4)
                raw_put_i32(block + 4 * i, static_cast<int32_t>(values[done + i]));
            else
                raw_put_i16(block + 2 * i, static_cast<int16_t>(values[done + i]));
        }
        if (S_put(io, block, n * sizeof(T)) != 0)
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

// ---- Strings ---------------------------------------------------------------

// A string of at most max characters (stopping at the terminator): its length
// with the NUL, and the bytes.
static int32_t S_put_text(RAW_IO *io, const char *s, size_t max)
{
    size_t n = s != nullptr ? strnlen(s, max) : 0;
    if (n == 0)
        return S_put_i32(io, 0);
    if (n + 1 > static_cast<size_t>(INT32_MAX))
        return ZE_INVALID_ARGUMENT;
    if (S_put_i32(io, static_cast<int32_t>(n + 1)) != 0)
        return ZE_FAILURE;
    if (s[n] == '\0')
        return S_put(io, s, n + 1);
    // A full field without its terminator: the text and a terminator, still
    // as one piece (a memory transport's reader takes a value in one piece).
    const std::string terminated(s, n);
    return S_put(io, terminated.c_str(), n + 1);
}

// A string into a buffer of capacity bytes, terminated within what arrived.
static int32_t S_get_text(RAW_IO *io, char *buffer, size_t capacity)
{
    int32_t n;
    if (S_get_i32(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || static_cast<size_t>(n) > capacity || capacity == 0)
        return ZE_FAILURE;
    if (n == 0) {
        buffer[0] = '\0';
        return ZE_SUCCESS;
    }
    if (S_get(io, buffer, static_cast<size_t>(n)) != 0)
        return ZE_FAILURE;
    buffer[n - 1] = '\0';
    return ZE_SUCCESS;
}

// A string into a new zero-filled block (null for length 0); no_memory is the
// caller's code for a failed allocation.
static int32_t S_get_new_text(RAW_IO *io, char **out, int32_t no_memory)
{
    int32_t n;
    if (S_get_i32(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || n > RAW_MAX_BYTES)
        return ZE_FAILURE;
    if (n == 0) {
        *out = nullptr;
        return ZE_SUCCESS;
    }
    S_owned<uint8_t> text;
    int32_t rc = S_get_new_block(io, static_cast<size_t>(n), text, no_memory);
    if (rc != 0)
        return rc;
    text.get()[n - 1] = '\0';
    *out = reinterpret_cast<char *>(text.release());
    return ZE_SUCCESS;
}

// count strings of at most room bytes each, as they come.
static int32_t S_get_texts(RAW_IO *io, int32_t count, size_t room, std::vector<std::string> &texts)
{
    std::vector<char> buffer(room);
    for (int32_t i = 0; i < count; i++) {
        if (S_get_text(io, buffer.data(), room) != 0)
            return ZE_FAILURE;
        texts.emplace_back(buffer.data());
    }
    return ZE_SUCCESS;
}

// A string array of room-byte slots (VES_allocate_string_array) holding the
// texts; null for none. It is made only once the texts have all arrived, so
// a count from the wire costs memory for strings that came, not before.
static int32_t S_string_array(const std::vector<std::string> &texts, int32_t room, char ***out,
                              int32_t no_memory)
{
    *out = nullptr;
    if (texts.empty())
        return ZE_SUCCESS;
    char **array = nullptr;
    int32_t rc = VES_allocate_string_array(&array, static_cast<int32_t>(texts.size()), room);
    if (rc != 0)
        return rc == ZE_FAILURE ? no_memory : rc;
    for (size_t i = 0; i < texts.size(); i++)
        std::memcpy(array[i], texts[i].c_str(), texts[i].size() + 1);
    *out = array;
    return ZE_SUCCESS;
}

static int32_t S_get_names(RAW_IO *io, int32_t count, int32_t room, char ***out, int32_t no_memory)
{
    std::vector<std::string> names;
    int32_t rc = S_get_texts(io, count, static_cast<size_t>(room), names);
    return rc != 0 ? rc : S_string_array(names, room, out, no_memory);
}

static int32_t S_put_names(RAW_IO *io, char *const *names, int32_t count, size_t max)
{
    for (int32_t i = 0; i < count; i++)
        if (S_put_text(io, names[i], max) != 0)
            return ZE_FAILURE;
    return ZE_SUCCESS;
}

// ---- Values ----------------------------------------------------------------

int32_t raw_read_long(RAW_IO *io, int32_t *value)
{
    return S_get_i32(io, value);
}

int32_t raw_write_long(RAW_IO *io, int32_t value)
{
    return S_put_i32(io, value);
}

int32_t raw_read_ulong(RAW_IO *io, uint32_t *value)
{
    int32_t v;
    if (value == nullptr)
        return ZE_NULL_POINTER;
    if (S_get_i32(io, &v) != 0)
        return ZE_FAILURE;
    *value = static_cast<uint32_t>(v);
    return ZE_SUCCESS;
}

int32_t raw_write_ulong(RAW_IO *io, uint32_t value)
{
    return S_put_i32(io, static_cast<int32_t>(value));
}

int32_t raw_read_float(RAW_IO *io, float *value)
{
    return S_get_number<float, raw_get_f32>(io, value);
}

int32_t raw_write_float(RAW_IO *io, float value)
{
    return S_put_number<float, raw_put_f32>(io, value);
}

int32_t raw_read_lfloat(RAW_IO *io, double *value)
{
    return S_get_number<double, raw_get_f64>(io, value);
}

int32_t raw_write_lfloat(RAW_IO *io, double value)
{
    return S_put_number<double, raw_put_f64>(io, value);
}

int32_t raw_read_short(RAW_IO *io, int16_t *value)
{
    return S_get_i16(io, value);
}

int32_t raw_write_short(RAW_IO *io, int16_t value)
{
    return S_put_i16(io, value);
}

int32_t raw_read_pt3d(RAW_IO *io, int32_t *x, int32_t *y, int32_t *z)
{
    uint8_t b[RAW_PT3D_IMAGE];
    if (x == nullptr || y == nullptr || z == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, b, sizeof b) != 0)
        return ZE_FAILURE;
    *x = raw_get_i32(b);
    *y = raw_get_i32(b + 4);
    *z = raw_get_i32(b + 8);
    return ZE_SUCCESS;
}

int32_t raw_write_pt3d(RAW_IO *io, int32_t x, int32_t y, int32_t z)
{
    uint8_t b[RAW_PT3D_IMAGE];
    raw_put_i32(b, x);
    raw_put_i32(b + 4, y);
    raw_put_i32(b + 8, z);
    return S_put(io, b, sizeof b);
}

// ---- Fixed images ----------------------------------------------------------

// A record that travels as its image alone, and its counted lists.
template <typename T, size_t N, void (*Pack)(const T *, uint8_t *),
          void (*Unpack)(const uint8_t *, T *)>
struct S_image {
    static int32_t read(RAW_IO *io, T *record)
    {
        uint8_t image[N];
        if (record == nullptr)
            return ZE_NULL_POINTER;
        if (S_get(io, image, N) != 0)
            return ZE_FAILURE;
        Unpack(image, record);
        return ZE_SUCCESS;
    }
    static int32_t write(RAW_IO *io, const T *record)
    {
        uint8_t image[N];
        if (record == nullptr)
            return ZE_NULL_POINTER;
        Pack(record, image);
        return S_put(io, image, N);
    }
};

// The count of a received list, checked against the caller's room.
static int32_t S_get_count(RAW_IO *io, int32_t capacity, int32_t *count)
{
    int32_t n;
    if (S_get_i32(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || n > capacity)
        return ZE_FAILURE;
    *count = n;
    return ZE_SUCCESS;
}

template <typename T> static int32_t S_check_list_out(const T *array, int32_t *count)
{
    return count == nullptr || array == nullptr ? ZE_NULL_POINTER : ZE_SUCCESS;
}

template <typename T> static int32_t S_check_list_in(const T *array, int32_t count)
{
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    return count > 0 && array == nullptr ? ZE_NULL_POINTER : ZE_SUCCESS;
}

// A counted list whose elements follow one another; get reads one element.
template <typename T, typename Get>
static int32_t S_read_list(RAW_IO *io, T *array, int32_t capacity, int32_t *count, Get get)
{
    int32_t rc = S_check_list_out(array, count), n = 0;
    if (rc != 0)
        return rc;
    if (S_get_count(io, capacity, &n) != 0)
        return ZE_FAILURE;
    for (int32_t i = 0; i < n; i++)
        if ((rc = get(&array[i])) != 0)
            return rc;
    *count = n;
    return ZE_SUCCESS;
}

// check vets one element before anything is sent; put writes one.
template <typename T, typename Check, typename Put>
static int32_t S_write_list(RAW_IO *io, const T *array, int32_t count, Check check, Put put)
{
    int32_t rc = S_check_list_in(array, count);
    for (int32_t i = 0; rc == 0 && i < count; i++)
        rc = check(&array[i]);
    if (rc != 0)
        return rc;
    if (S_put_i32(io, count) != 0)
        return ZE_FAILURE;
    for (int32_t i = 0; i < count; i++)
        if ((rc = put(&array[i])) != 0)
            return rc;
    return ZE_SUCCESS;
}

template <typename T> static int32_t S_any(const T *)
{
    return ZE_SUCCESS;
}

template <typename Image, typename T>
static int32_t S_read_image_list(RAW_IO *io, T *array, int32_t capacity, int32_t *count)
{
    return S_read_list(io, array, capacity, count, [io](T *r) { return Image::read(io, r); });
}

template <typename Image, typename T>
static int32_t S_write_image_list(RAW_IO *io, const T *array, int32_t count)
{
    return S_write_list(io, array, count, S_any<T>,
                        [io](const T *r) { return Image::write(io, r); });
}

using S_envelope_image =
    S_image<ENVELOPE, RAW_ENVELOPE_IMAGE, raw_pack_envelope, raw_unpack_envelope>;
using S_date_image = S_image<VE_DATE, RAW_DATE_IMAGE, raw_pack_date, raw_unpack_date>;
using S_spidx_image =
    S_image<VE_SPIDX_STATS, RAW_SPIDX_STATS_IMAGE, raw_pack_spidx_stats, raw_unpack_spidx_stats>;
using S_layer_stats_image =
    S_image<VE_LAYER_STATS, RAW_LAYER_STATS_IMAGE, raw_pack_layer_stats, raw_unpack_layer_stats>;
using S_layer_locks_image =
    S_image<VE_LAYER_LOCKS, RAW_LAYER_LOCKS_IMAGE, raw_pack_layer_locks, raw_unpack_layer_locks>;
using S_table_lock_image =
    S_image<VE_TABLE_LOCK, RAW_TABLE_LOCK_IMAGE, raw_pack_table_lock, raw_unpack_table_lock>;
using S_version_lock_image = S_image<VE_VERSION_LOCK, RAW_VERSION_LOCK_IMAGE, raw_pack_version_lock,
                                     raw_unpack_version_lock>;
using S_object_lock_image =
    S_image<VE_OBJECT_LOCK, RAW_OBJECT_LOCK_IMAGE, raw_pack_object_lock, raw_unpack_object_lock>;
using S_registration_image =
    S_image<REGISTRATION, RAW_REGISTRATION_IMAGE, raw_pack_registration, raw_unpack_registration>;
using S_metadata_image =
    S_image<METADATA, RAW_METADATA_IMAGE, raw_pack_metadata, raw_unpack_metadata>;
using S_rasterband_image =
    S_image<RASTERBAND, RAW_RASTERBAND_IMAGE, raw_pack_rasterband, raw_unpack_rasterband>;
using S_raster_image = S_image<RASTER, RAW_RASTER_IMAGE, raw_pack_raster, raw_unpack_raster>;
using S_rasterattr_image =
    S_image<RASTERATTR, RAW_RASTERATTR_IMAGE, raw_pack_rasterattr, raw_unpack_rasterattr>;
using S_version_image = S_image<VERSION, RAW_VERSION_IMAGE, raw_pack_version, raw_unpack_version>;
using S_logfile_image = S_image<LOGFILE, RAW_LOGFILE_IMAGE, raw_pack_logfile, raw_unpack_logfile>;

// The forms of a record that travels as its image alone, and of its lists.
#define S_RECORD_FORM(NAME, T, IMAGE)                                                              \
    int32_t raw_read_##NAME(RAW_IO *io, T *record)                                                 \
    {                                                                                              \
        return IMAGE::read(io, record);                                                            \
    }                                                                                              \
    int32_t raw_write_##NAME(RAW_IO *io, const T *record)                                          \
    {                                                                                              \
        return IMAGE::write(io, record);                                                           \
    }
#define S_LIST_FORM(NAME, T, IMAGE)                                                                \
    int32_t raw_read_##NAME(RAW_IO *io, T *records, int32_t capacity, int32_t *count)              \
    {                                                                                              \
        return S_read_image_list<IMAGE>(io, records, capacity, count);                             \
    }                                                                                              \
    int32_t raw_write_##NAME(RAW_IO *io, const T *records, int32_t count)                          \
    {                                                                                              \
        return S_write_image_list<IMAGE>(io, records, count);                                      \
    }

S_RECORD_FORM(envp, ENVELOPE, S_envelope_image)
S_RECORD_FORM(date, VE_DATE, S_date_image)
S_RECORD_FORM(ve_si_stats, VE_SPIDX_STATS, S_spidx_image)
S_RECORD_FORM(ve_layer_stats, VE_LAYER_STATS, S_layer_stats_image)
S_LIST_FORM(ve_layer_locks_list, VE_LAYER_LOCKS, S_layer_locks_image)
S_LIST_FORM(ve_table_lock_list, VE_TABLE_LOCK, S_table_lock_image)
S_LIST_FORM(ve_version_lock_list, VE_VERSION_LOCK, S_version_lock_image)
S_RECORD_FORM(object_lock, VE_OBJECT_LOCK, S_object_lock_image)
S_LIST_FORM(object_lock_list, VE_OBJECT_LOCK, S_object_lock_image)
S_RECORD_FORM(registration, REGISTRATION, S_registration_image)
S_LIST_FORM(registration_list, REGISTRATION, S_registration_image)
S_RECORD_FORM(metadata, METADATA, S_metadata_image)
S_LIST_FORM(metadata_list, METADATA, S_metadata_image)
S_RECORD_FORM(rasterband, RASTERBAND, S_rasterband_image)
S_LIST_FORM(rasterband_list, RASTERBAND, S_rasterband_image)
S_RECORD_FORM(raster, RASTER, S_raster_image)
S_RECORD_FORM(rasterattr, RASTERATTR, S_rasterattr_image)
S_RECORD_FORM(version, VERSION, S_version_image)
S_LIST_FORM(version_list, VERSION, S_version_image)
S_RECORD_FORM(logfile, LOGFILE, S_logfile_image)
S_LIST_FORM(logfile_list, LOGFILE, S_logfile_image)
#undef S_RECORD_FORM
#undef S_LIST_FORM

// ---- Arrays, blocks, strings -----------------------------------------------

template <typename T> static int32_t S_read_known(RAW_IO *io, T *values, int32_t count)
{
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    if (count > 0 && values == nullptr)
        return ZE_NULL_POINTER;
    return S_get_array(io, values, static_cast<size_t>(count));
}

template <typename T> static int32_t S_write_known(RAW_IO *io, const T *values, int32_t count)
{
    int32_t rc = S_check_list_in(values, count);
    return rc != 0 ? rc : S_put_array(io, values, static_cast<size_t>(count));
}

int32_t raw_read_fid_array(RAW_IO *io, int32_t *ids, int32_t count)
{
    return S_read_known(io, ids, count);
}

int32_t raw_write_fid_array(RAW_IO *io, const int32_t *ids, int32_t count)
{
    return S_write_known(io, ids, count);
}

int32_t raw_read_lfloat_array(RAW_IO *io, double *values, int32_t count)
{
    return S_read_known(io, values, count);
}

int32_t raw_write_lfloat_array(RAW_IO *io, const double *values, int32_t count)
{
    return S_write_known(io, values, count);
}

int32_t raw_read_block(RAW_IO *io, void *buffer, int32_t length)
{
    return S_read_known(io, static_cast<uint8_t *>(buffer), length);
}

int32_t raw_write_block(RAW_IO *io, const void *buffer, int32_t length)
{
    return S_write_known(io, static_cast<const uint8_t *>(buffer), length);
}

int32_t raw_read_short_array(RAW_IO *io, int16_t *count, int16_t *values, int16_t capacity)
{
    int16_t n;
    if (count == nullptr || (values == nullptr && capacity > 0))
        return ZE_NULL_POINTER;
    if (S_get_i16(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || n > capacity)
        return ZE_FAILURE;
    if (S_get_array(io, values, static_cast<size_t>(n)) != 0)
        return ZE_FAILURE;
    *count = n;
    return ZE_SUCCESS;
}

int32_t raw_write_short_array(RAW_IO *io, int16_t count, const int16_t *values)
{
    int32_t rc = S_check_list_in(values, count);
    if (rc != 0)
        return rc;
    if (S_put_i16(io, count) != 0)
        return ZE_FAILURE;
    return S_put_array(io, values, static_cast<size_t>(count));
}

int32_t raw_read_string(RAW_IO *io, char *buffer, int32_t capacity)
{
    if (buffer == nullptr)
        return ZE_NULL_POINTER;
    if (capacity < 1)
        return ZE_INVALID_ARGUMENT;
    return S_get_text(io, buffer, static_cast<size_t>(capacity));
}

int32_t raw_write_string(RAW_IO *io, const char *string)
{
    return S_put_text(io, string, static_cast<size_t>(INT32_MAX));
}

int32_t raw_read_dynamic_string(RAW_IO *io, char **string)
{
    if (string == nullptr)
        return ZE_NULL_POINTER;
    return S_get_new_text(io, string, ZE_BUFFER_NO_MEMORY);
}

int32_t raw_write_dynamic_string(RAW_IO *io, const char *string)
{
    return S_put_text(io, string, static_cast<size_t>(INT32_MAX));
}

int32_t raw_read_blob_seg(RAW_IO *io, void *buffer, int32_t capacity, int32_t *length,
                          int32_t *last)
{
    uint8_t head[8];
    if (length == nullptr || last == nullptr || (buffer == nullptr && capacity > 0))
        return ZE_NULL_POINTER;
    if (S_get(io, head, sizeof head) != 0)
        return ZE_FAILURE;
    int32_t n = raw_get_i32(head);
    if (n < 0 || n > capacity)
        return ZE_FAILURE;
    if (S_get(io, buffer, static_cast<size_t>(n)) != 0)
        return ZE_FAILURE;
    *length = n;
    *last = raw_get_i32(head + 4);
    return ZE_SUCCESS;
}

int32_t raw_write_blob_seg(RAW_IO *io, const void *buffer, int32_t length, int32_t last)
{
    int32_t rc = S_check_list_in(static_cast<const uint8_t *>(buffer), length);
    if (rc != 0)
        return rc;
    uint8_t head[8];
    raw_put_i32(head, length);
    raw_put_i32(head + 4, last);
    if (S_put(io, head, sizeof head) != 0)
        return ZE_FAILURE;
    return S_put(io, buffer, static_cast<size_t>(length));
}

// ---- Release ---------------------------------------------------------------

int32_t raw_read_release(RAW_IO *io, RELEASE *release, int32_t old)
{
    uint8_t image[RAW_RELEASE_IMAGE];
    if (release == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, image, old ? RAW_RELEASE_OLD_IMAGE : RAW_RELEASE_IMAGE) != 0)
        return ZE_FAILURE;
    if (old)
        raw_unpack_release_old(image, release);
    else
        raw_unpack_release(image, release);
    return ZE_SUCCESS;
}

int32_t raw_write_release(RAW_IO *io, const RELEASE *release)
{
    uint8_t image[RAW_RELEASE_IMAGE];
    if (release == nullptr)
        return ZE_NULL_POINTER;
    raw_pack_release(release, image);
    return S_put(io, image, sizeof image);
}

// ---- Features --------------------------------------------------------------

// Writers of features name the failed step as the engine always has.
static int32_t S_put_step(RAW_IO *io, const void *src, size_t n, const char *step)
{
    if (S_put(io, src, n) == 0)
        return ZE_SUCCESS;
    fprintf(stderr, "%s: errno = %d\n", step, errno);
    return ZE_FAILURE;
}

int32_t raw_write_compressed_feature(RAW_IO *io, const FEATURE_STRUCT *feature)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    int32_t size = 0;
    if (feature->compressed != nullptr && (size = VES_get_compressed_buffer_size(feature)) < 0)
        return size; // a corrupt buffer is never sent
    const bool anno = size > 0 && (feature->compressed[VE_COMP_FLAGS_OFFSET] & VE_COMP_FLAG_ANNO);
    uint8_t head[16];
    raw_put_i32(head, feature->feature_id);
    raw_put_i32(head + 4, feature->num_points);
    raw_put_i32(head + 8, feature->entity_type);
    raw_put_i32(head + 12, size);
    if (S_put(io, head, 12) != 0 ||
        S_put_step(io, head + 12, 4, "WRITE COMPRESSED FEATURE BUFFER SIZE") != 0)
        return ZE_FAILURE;
    if (S_put_step(io, feature->compressed, static_cast<size_t>(size),
                   "WRITE COMPRESSED FEATURE BUFFER") != 0)
        return ZE_FAILURE;
    // The text follows whenever the flags promise it, so that the reader,
    // who decides by the same flags, stays in step.
    if (anno)
        return S_put_text(io, feature->anno != nullptr ? feature->anno->text : nullptr,
                          RAW_ANNO_TEXT_ROOM - 1);
    return ZE_SUCCESS;
}

int32_t raw_read_compressed_feature(RAW_IO *io, FEATURE_STRUCT *feature)
{
    uint8_t head[12];
    int32_t size;
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, head, sizeof head) != 0 || S_get_i32(io, &size) != 0)
        return ZE_FAILURE;
    feature->feature_id = raw_get_i32(head);
    feature->num_points = raw_get_i32(head + 4);
    feature->entity_type = static_cast<uint16_t>(raw_get_i32(head + 8));
    if (size < 0 || size > RAW_MAX_BYTES || (size > 0 && size < VE_COMP_HEADER_BYTES))
        return ZE_FAILURE;
    bool anno = false;
    if (size > 0) {
        uint8_t *block = feature->compressed;
        size_t room = block != nullptr && feature->compressed_capacity > 0
                          ? static_cast<size_t>(feature->compressed_capacity)
                          : 0;
        int32_t rc =
            S_get_growing(io, static_cast<size_t>(size), &block, &room, ZE_BUFFER_NO_MEMORY);
        feature->compressed = block;
        feature->compressed_capacity = static_cast<int32_t>(room);
        if (rc != 0)
            return rc;
        // The bytes must be one compressed feature of exactly the size sent.
        if (VES_get_compressed_buffer_size(feature) != size)
            return ZE_FAILURE;
        anno = (feature->compressed[VE_COMP_FLAGS_OFFSET] & VE_COMP_FLAG_ANNO) != 0;
    } else if (feature->compressed != nullptr &&
               feature->compressed_capacity >= VE_COMP_HEADER_BYTES) {
        // Nothing came: leave an empty feature, not the last one's bytes.
        std::memset(feature->compressed, 0, VE_COMP_HEADER_BYTES);
    }
    if (anno) {
        char scratch[RAW_ANNO_TEXT_ROOM];
        char *text = feature->anno != nullptr ? feature->anno->text : scratch;
        return S_get_text(io, text, RAW_ANNO_TEXT_ROOM);
    }
    if (feature->anno != nullptr)
        feature->anno->text[0] = '\0';
    return ZE_SUCCESS;
}

int32_t raw_writef(RAW_IO *io, const FEATURE_STRUCT *feature)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    const int32_t n = feature->num_points;
    if (n < 0)
        return ZE_INVALID_ARGUMENT;
    if (n > 0 && feature->points == nullptr)
        return ZE_NULL_POINTER;
    uint8_t image[RAW_FEATURE_IMAGE];
    raw_pack_feature(feature, image);
    if (S_put_step(io, image, sizeof image, "WRITE FEAT") != 0)
        return ZE_FAILURE;
    if (n == 0)
        return ZE_SUCCESS;
    static_assert(sizeof(POINT) == 8);
    const size_t count = static_cast<size_t>(n);
    if (S_put_array(io, reinterpret_cast<const int32_t *>(feature->points), 2 * count) != 0) {
        fprintf(stderr, "%s: errno = %d\n", "WRITE XY PTS", errno);
        return ZE_FAILURE;
    }
    if (feature->z_values != nullptr && S_put_array(io, feature->z_values, count) != 0) {
        fprintf(stderr, "%s: errno = %d\n", "WRITE Z PTS", errno);
        return ZE_FAILURE;
    }
    if (feature->measures != nullptr && S_put_array(io, feature->measures, count) != 0) {
        fprintf(stderr, "%s: errno = %d\n", "WRITE M VALS", errno);
        return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

// Longs received as raw bytes, put into host order where that is not little
// endian.
static void S_from_little(int32_t *values, size_t count)
{
    if constexpr (!S_little)
        for (size_t i = 0; i < count; i++)
            values[i] = raw_get_i32(reinterpret_cast<const uint8_t *>(&values[i]));
}

// Z values or measures that the sender sends (follow) into the receiver's
// array (or dropped without one); an array for which none come is zeroed.
static int32_t S_get_ordinates(RAW_IO *io, bool follow, int32_t *array, size_t count)
{
    if (follow)
        return array != nullptr ? S_get_array(io, array, count) : S_skip(io, count * 4);
    if (array != nullptr)
        std::memset(array, 0, count * sizeof(int32_t));
    return ZE_SUCCESS;
}

int32_t raw_readf(RAW_IO *io, FEATURE_STRUCT *feature, int32_t allocate)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    POINT *points = feature->points;
    int32_t *z_values = feature->z_values, *measures = feature->measures;
    uint8_t image[RAW_FEATURE_IMAGE];
    if (S_get(io, image, sizeof image) != 0)
        return ZE_FAILURE;
    const uint32_t presence = raw_unpack_feature(image, feature);
    const int32_t n = feature->num_points;
    if (n < 0 || n > RAW_MAX_POINTS)
        return ZE_FAILURE;
    if (n == 0)
        return ZE_SUCCESS;
    const size_t count = static_cast<size_t>(n);
    const bool with_z = presence & RAW_HAS_Z, with_m = presence & RAW_HAS_MEASURES;
    if (allocate) {
        // New arrays, each grown as its values arrive.
        S_owned<uint8_t> xy, z, m;
        int32_t rc = S_get_new_block(io, count * sizeof(POINT), xy, ZE_BUFFER_NO_MEMORY);
        if (rc == 0 && with_z)
            rc = S_get_new_block(io, count * sizeof(int32_t), z, ZE_BUFFER_NO_MEMORY);
        if (rc == 0 && with_m)
            rc = S_get_new_block(io, count * sizeof(int32_t), m, ZE_BUFFER_NO_MEMORY);
        if (rc != 0)
            return rc;
        feature->points = reinterpret_cast<POINT *>(xy.release());
        feature->z_values = reinterpret_cast<int32_t *>(z.release());
        feature->measures = reinterpret_cast<int32_t *>(m.release());
        feature->allocated_points = n;
        S_from_little(reinterpret_cast<int32_t *>(feature->points), 2 * count);
        S_from_little(feature->z_values, with_z ? count : 0);
        S_from_little(feature->measures, with_m ? count : 0);
        return ZE_SUCCESS;
    }
    if (points == nullptr || feature->allocated_points < n)
        return ZE_FAILURE; // more points than the receiver's arrays hold
    if (S_get_array(io, reinterpret_cast<int32_t *>(points), 2 * count) != 0 ||
        S_get_ordinates(io, with_z, z_values, count) != 0 ||
        S_get_ordinates(io, with_m, measures, count) != 0)
        return ZE_FAILURE;
    return ZE_SUCCESS;
}

// ---- Coordinate references and the records that carry one ------------------

int32_t raw_read_coordref(RAW_IO *io, COORDREF *coordref, int32_t old)
{
    uint8_t image[RAW_COORDREF_IMAGE] = {};
    if (coordref == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, image, old ? RAW_COORDREF_OLD_IMAGE : RAW_COORDREF_IMAGE) != 0)
        return ZE_FAILURE;
    raw_unpack_coordref(image, coordref);
    std::free(coordref->srtext);
    coordref->srtext = nullptr;
    return S_get_new_text(io, &coordref->srtext, ZE_BUFFER_NO_MEMORY);
}

int32_t raw_write_coordref(RAW_IO *io, const COORDREF *coordref, int32_t old)
{
    uint8_t image[RAW_COORDREF_IMAGE];
    if (coordref == nullptr)
        return ZE_NULL_POINTER;
    raw_pack_coordref(coordref, image);
    if (S_put(io, image, old ? RAW_COORDREF_OLD_IMAGE : RAW_COORDREF_IMAGE) != 0)
        return ZE_FAILURE;
    return S_put_text(io, coordref->srtext, static_cast<size_t>(INT32_MAX));
}

// The record's coordinate reference, created when it has none.
static int32_t S_own_coordref(COORDREF **slot)
{
    if (*slot != nullptr)
        return ZE_SUCCESS;
    return VES_map_shape_error_to_zel(MoxCoordRefCreate(slot));
}

int32_t raw_read_layer(RAW_IO *io, LAYER *layer, int32_t old)
{
    uint8_t image[RAW_LAYER_IMAGE] = {};
    if (layer == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, image, old ? RAW_LAYER_OLD_IMAGE : RAW_LAYER_IMAGE) != 0)
        return ZE_FAILURE;
    raw_unpack_layer(image, layer);
    if (old) {
        layer->layer_mask = 0;
        layer->base_layer_id = 0;
    }
    int32_t rc = S_own_coordref(&layer->coordref);
    return rc != 0 ? rc : raw_read_coordref(io, layer->coordref, old);
}

int32_t raw_write_layer(RAW_IO *io, const LAYER *layer, int32_t old)
{
    uint8_t image[RAW_LAYER_IMAGE];
    if (layer == nullptr || layer->coordref == nullptr)
        return ZE_NULL_POINTER;
    raw_pack_layer(layer, image);
    if (S_put(io, image, old ? RAW_LAYER_OLD_IMAGE : RAW_LAYER_IMAGE) != 0)
        return ZE_FAILURE;
    return raw_write_coordref(io, layer->coordref, old);
}

// Records that carry a coordinate reference must have one to be sent.
template <typename T> static int32_t S_has_coordref(const T *record)
{
    return record->coordref != nullptr ? ZE_SUCCESS : ZE_NULL_POINTER;
}

int32_t raw_read_layer_list(RAW_IO *io, LAYER *layers, int32_t capacity, int32_t *count,
                            int32_t old)
{
    return S_read_list(io, layers, capacity, count,
                       [&](LAYER *layer) { return raw_read_layer(io, layer, old); });
}

int32_t raw_write_layer_list(RAW_IO *io, const LAYER *layers, int32_t count, int32_t old)
{
    return S_write_list(io, layers, count, S_has_coordref<LAYER>,
                        [&](const LAYER *layer) { return raw_write_layer(io, layer, old); });
}

int32_t raw_read_spatialref(RAW_IO *io, VE_SPATIALREF *spatialref)
{
    uint8_t image[RAW_SPATIALREF_IMAGE];
    if (spatialref == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, image, sizeof image) != 0)
        return ZE_FAILURE;
    raw_unpack_spatialref(image, spatialref);
    int32_t rc = S_own_coordref(&spatialref->coordref);
    return rc != 0 ? rc : raw_read_coordref(io, spatialref->coordref, 0);
}

int32_t raw_write_spatialref(RAW_IO *io, const VE_SPATIALREF *spatialref)
{
    uint8_t image[RAW_SPATIALREF_IMAGE];
    if (spatialref == nullptr || spatialref->coordref == nullptr)
        return ZE_NULL_POINTER;
    raw_pack_spatialref(spatialref, image);
    if (S_put(io, image, sizeof image) != 0)
        return ZE_FAILURE;
    return raw_write_coordref(io, spatialref->coordref, 0);
}

int32_t raw_read_spatialref_list(RAW_IO *io, VE_SPATIALREF *spatialrefs, int32_t capacity,
                                 int32_t *count)
{
    return S_read_list(io, spatialrefs, capacity, count,
                       [io](VE_SPATIALREF *r) { return raw_read_spatialref(io, r); });
}

int32_t raw_write_spatialref_list(RAW_IO *io, const VE_SPATIALREF *spatialrefs, int32_t count)
{
    return S_write_list(io, spatialrefs, count, S_has_coordref<VE_SPATIALREF>,
                        [io](const VE_SPATIALREF *r) { return raw_write_spatialref(io, r); });
}

int32_t raw_read_rastercolumn(RAW_IO *io, RASTERCOLUMN *column)
{
    uint8_t image[RAW_RASTERCOLUMN_IMAGE];
    if (column == nullptr)
        return ZE_NULL_POINTER;
    if (S_get(io, image, sizeof image) != 0)
        return ZE_FAILURE;
    if ((raw_unpack_rastercolumn(image, column) & RAW_HAS_COORDREF) == 0) {
        MoxCoordRefFree(column->coordref);
        column->coordref = nullptr;
        return ZE_SUCCESS;
    }
    int32_t rc = S_own_coordref(&column->coordref);
    return rc != 0 ? rc : raw_read_coordref(io, column->coordref, 0);
}

int32_t raw_write_rastercolumn(RAW_IO *io, const RASTERCOLUMN *column)
{
    uint8_t image[RAW_RASTERCOLUMN_IMAGE];
    if (column == nullptr)
        return ZE_NULL_POINTER;
    raw_pack_rastercolumn(column, image);
    if (S_put(io, image, sizeof image) != 0)
        return ZE_FAILURE;
    return column->coordref != nullptr ? raw_write_coordref(io, column->coordref, 0) : ZE_SUCCESS;
}

int32_t raw_read_rastercolumn_list(RAW_IO *io, RASTERCOLUMN *columns, int32_t capacity,
                                   int32_t *count)
{
    return S_read_list(io, columns, capacity, count,
                       [io](RASTERCOLUMN *c) { return raw_read_rastercolumn(io, c); });
}

int32_t raw_write_rastercolumn_list(RAW_IO *io, const RASTERCOLUMN *columns, int32_t count)
{
    return S_write_list(io, columns, count, S_any<RASTERCOLUMN>,
                        [io](const RASTERCOLUMN *c) { return raw_write_rastercolumn(io, c); });
}

// ---- SQL construct and query description -----------------------------------

void raw_construct_clear(VE_SQL_CONSTRUCT *construct)
{
    if (construct == nullptr)
        return;
    std::free(construct->tables);
    std::free(construct->where);
    *construct = VE_SQL_CONSTRUCT{};
}

int32_t raw_read_construct(RAW_IO *io, VE_SQL_CONSTRUCT *construct)
{
    int32_t n;
    if (construct == nullptr)
        return ZE_NULL_POINTER;
    if (S_get_i32(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || n > RAW_MAX_ITEMS)
        return ZE_FAILURE;
    char **tables = nullptr;
    int32_t rc = S_get_names(io, n, RAW_CONSTRUCT_TABLE_ROOM, &tables, ZE_OUT_OF_MEMORY);
    if (rc != 0)
        return rc;
    S_owned<char *> owned(tables);
    char *where = nullptr;
    if ((rc = S_get_new_text(io, &where, ZE_OUT_OF_MEMORY)) != 0)
        return rc;
    construct->num_tables = n;
    construct->tables = owned.release();
    construct->where = where;
    return ZE_SUCCESS;
}

int32_t raw_write_construct(RAW_IO *io, const VE_SQL_CONSTRUCT *construct)
{
    const int32_t n = construct != nullptr ? construct->num_tables : 0;
    int32_t rc = S_check_list_in(construct != nullptr ? construct->tables : nullptr, n);
    if (rc != 0)
        return rc;
    if (S_put_i32(io, n) != 0)
        return ZE_FAILURE;
    if (n > 0 && S_put_names(io, construct->tables, n, static_cast<size_t>(INT32_MAX)) != 0)
        return ZE_FAILURE;
    return S_put_text(io, construct != nullptr ? construct->where : nullptr,
                      static_cast<size_t>(INT32_MAX));
}

void raw_queryinfo_clear(VE_QUERYINFO *info)
{
    if (info == nullptr)
        return;
    std::free(info->columns);
    raw_construct_clear(info->construct);
    std::free(info->construct);
    std::free(info->by_clause);
    std::free(info->hints);
    std::free(info->logfile);
    const int32_t first = info->reserved;
    *info = VE_QUERYINFO{};
    info->reserved = first;
}

int32_t raw_read_queryinfo(RAW_IO *io, VE_QUERYINFO *info)
{
    if (info == nullptr)
        return ZE_INVALID_QUERYINFO_OBJECT;
    // Read into a record of our own, so that a failure leaves the caller's
    // untouched and frees everything read so far.
    VE_QUERYINFO got = {};
    auto guard = std::unique_ptr<VE_QUERYINFO, void (*)(VE_QUERYINFO *)>(&got, raw_queryinfo_clear);
    int32_t n, rc;
    if (S_get_i32(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || n > RAW_MAX_ITEMS)
        return ZE_FAILURE;
    got.num_columns = static_cast<int16_t>(n);
    if ((rc = S_get_names(io, n, RAW_QUERY_COLUMN_ROOM, &got.columns, ZE_FAILURE)) != 0)
        return rc;
    got.construct = static_cast<VE_SQL_CONSTRUCT *>(std::calloc(1, sizeof(VE_SQL_CONSTRUCT)));
    if (got.construct == nullptr)
        return ZE_FAILURE;
    if ((rc = raw_read_construct(io, got.construct)) != 0 ||
        (rc = S_get_i32(io, &got.query_type)) != 0 ||
        (rc = S_get_new_text(io, &got.by_clause, ZE_OUT_OF_MEMORY)) != 0)
        return rc;
    if (S_get_i32(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || n > RAW_MAX_ITEMS)
        return ZE_FAILURE;
    got.num_hints = n;
    if ((rc = S_get_names(io, n, RAW_QUERY_HINT_ROOM, &got.hints, ZE_FAILURE)) != 0 ||
        (rc = S_get_new_text(io, &got.logfile, ZE_OUT_OF_MEMORY)) != 0 ||
        (rc = S_get_i32(io, &got.last)) != 0)
        return rc;
    got.reserved = info->reserved;
    *info = got;
    guard.release();
    return ZE_SUCCESS;
}

int32_t raw_write_queryinfo(RAW_IO *io, const VE_QUERYINFO *info)
{
    static const VE_QUERYINFO none = {};
    if (info == nullptr)
        info = &none;
    int32_t rc;
    if ((rc = S_check_list_in(info->columns, info->num_columns)) != 0 ||
        (rc = S_check_list_in(info->hints, info->num_hints)) != 0)
        return rc;
    const VE_SQL_CONSTRUCT *c = info->construct;
    if (c != nullptr && (rc = S_check_list_in(c->tables, c->num_tables)) != 0)
        return rc;
    if (S_put_i32(io, info->num_columns) != 0 ||
        S_put_names(io, info->columns, info->num_columns, static_cast<size_t>(INT32_MAX)) != 0 ||
        raw_write_construct(io, c) != 0 || S_put_i32(io, info->query_type) != 0 ||
        S_put_text(io, info->by_clause, static_cast<size_t>(INT32_MAX)) != 0 ||
        S_put_i32(io, info->num_hints) != 0 ||
        S_put_names(io, info->hints, info->num_hints, static_cast<size_t>(INT32_MAX)) != 0 ||
        S_put_text(io, info->logfile, static_cast<size_t>(INT32_MAX)) != 0 ||
        S_put_i32(io, info->last) != 0)
        return ZE_FAILURE;
    return ZE_SUCCESS;
}

// ---- Column definitions, input descriptors ----------------------------------

// A short-counted array the reader allocates (null for 0); Get reads one
// element.
template <typename T, typename Get>
static int32_t S_read_new_array(RAW_IO *io, int16_t *count, T **out, Get get)
{
    int16_t n;
    if (count == nullptr || out == nullptr)
        return ZE_NULL_POINTER;
    if (S_get_i16(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0)
        return ZE_FAILURE;
    S_owned<T> array;
    if (n > 0) {
        array.reset(static_cast<T *>(std::calloc(static_cast<size_t>(n), sizeof(T))));
        if (!array)
            return ZE_BUFFER_NO_MEMORY;
    }
    for (int16_t i = 0; i < n; i++) {
        int32_t rc = get(&array.get()[i]);
        if (rc != 0)
            return rc;
    }
    *count = n;
    *out = array.release();
    return ZE_SUCCESS;
}

int32_t raw_read_column_def(RAW_IO *io, int16_t *count, DB_COLUMN_DEF **defs, int32_t old)
{
    return S_read_new_array(io, count, defs, [&](DB_COLUMN_DEF *def) {
        uint8_t image[RAW_COLUMN_DEF_IMAGE] = {};
        if (S_get(io, image, old ? RAW_COLUMN_DEF_OLD_IMAGE : RAW_COLUMN_DEF_IMAGE) != 0)
            return ZE_FAILURE;
        raw_unpack_column_def(image, def);
        if (old)
            def->rowid_kind = DB_ROWID_NONE;
        return ZE_SUCCESS;
    });
}

int32_t raw_write_column_def(RAW_IO *io, int16_t count, const DB_COLUMN_DEF *defs, int32_t old)
{
    int32_t rc = S_check_list_in(defs, count);
    if (rc != 0)
        return rc;
    if (S_put_i16(io, count) != 0)
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        uint8_t image[RAW_COLUMN_DEF_IMAGE];
        raw_pack_column_def(&defs[i], image);
        if (S_put(io, image, old ? RAW_COLUMN_DEF_OLD_IMAGE : RAW_COLUMN_DEF_IMAGE) != 0)
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

int32_t raw_read_input_desc(RAW_IO *io, int16_t *count, VE_INPUT_DESC **descs)
{
    return S_read_new_array(io, count, descs, [&](VE_INPUT_DESC *desc) {
        uint8_t image[RAW_INPUT_DESC_IMAGE];
        if (S_get(io, image, sizeof image) != 0)
            return ZE_FAILURE;
        raw_unpack_input_desc(image, desc);
        return ZE_SUCCESS;
    });
}

int32_t raw_write_input_desc(RAW_IO *io, int16_t count, const VE_INPUT_DESC *descs)
{
    int32_t rc = S_check_list_in(descs, count);
    if (rc != 0)
        return rc;
    if (S_put_i16(io, count) != 0)
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        uint8_t image[RAW_INPUT_DESC_IMAGE];
        raw_pack_input_desc(&descs[i], image);
        if (S_put(io, image, sizeof image) != 0)
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

// ---- Spatial filters -------------------------------------------------------

void raw_filter_array_free(int16_t count, VE_FILTER *filters)
{
    if (filters == nullptr)
        return;
    for (int16_t i = 0; i < count; i++) {
        if (filters[i].filter_type != VE_SHAPE_FILTER || filters[i].shape == nullptr)
            continue;
        FEATURE_STRUCT *shape = filters[i].shape;
        MoxCoordRefFree(shape->coordref);
        shape->coordref = nullptr;
        VES_comp_feature_free(shape);
        std::free(shape);
    }
    std::free(filters);
}

int32_t raw_read_filter_array(RAW_IO *io, int16_t *count, VE_FILTER **filters, int32_t form)
{
    const bool old = form == RAW_FILTERS_OLD;
    const int32_t old_coordref = form != RAW_FILTERS_CURRENT;
    int16_t n;
    if (count == nullptr || filters == nullptr)
        return ZE_NULL_POINTER;
    if (S_get_i16(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0)
        return ZE_FAILURE;
    if (n == 0) {
        *count = 0;
        *filters = nullptr;
        return ZE_SUCCESS;
    }
    // The images and relation texts as they come, then one block of the
    // filters followed by a relation slot per filter.
    std::vector<VE_FILTER> images;
    std::vector<std::string> relations;
    std::vector<char> text(RAW_RELATION_ROOM);
    for (int16_t i = 0; i < n; i++) {
        uint8_t image[RAW_FILTER_IMAGE] = {};
        if (S_get(io, image, old ? RAW_FILTER_OLD_IMAGE : RAW_FILTER_IMAGE) != 0)
            return ZE_FAILURE;
        images.emplace_back();
        raw_unpack_filter(image, &images.back());
        text[0] = '\0';
        if (!old && images.back().search_method == SM_CBM &&
            S_get_text(io, text.data(), RAW_RELATION_ROOM) != 0)
            return ZE_FAILURE;
        relations.emplace_back(text.data());
    }
    const size_t c = static_cast<size_t>(n);
    auto *array =
        static_cast<VE_FILTER *>(std::calloc(1, c * (sizeof(VE_FILTER) + RAW_RELATION_ROOM)));
    if (array == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    auto fail = [&](int32_t rc) {
        raw_filter_array_free(n, array);
        return rc;
    };
    char *slots = reinterpret_cast<char *>(array + c);
    for (size_t i = 0; i < c; i++) {
        array[i] = images[i];
        if (!old && array[i].search_method == SM_CBM) {
            array[i].relation = slots + i * RAW_RELATION_ROOM;
            std::memcpy(array[i].relation, relations[i].c_str(), relations[i].size() + 1);
        }
    }
    for (size_t i = 0; i < c; i++) {
        if (array[i].filter_type != VE_SHAPE_FILTER)
            continue;
        auto *shape = static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT)));
        if (shape == nullptr)
            return fail(ZE_BUFFER_NO_MEMORY);
        array[i].shape = shape;
        int32_t rc = raw_readf(io, shape, 1);
        if (rc != 0)
            return fail(rc);
        COORDREF *coordref = nullptr;
        if ((rc = VES_map_shape_error_to_zel(MoxCoordRefCreate(&coordref))) != 0)
            return fail(rc);
        shape->coordref = coordref;
        if ((rc = raw_read_coordref(io, coordref, old_coordref)) != 0)
            return fail(rc);
    }
    *count = n;
    *filters = array;
    return ZE_SUCCESS;
}

int32_t raw_write_filter_array(RAW_IO *io, int16_t count, const VE_FILTER *filters, int32_t form)
{
    const bool old = form == RAW_FILTERS_OLD;
    const int32_t old_coordref = form != RAW_FILTERS_CURRENT;
    int32_t rc = S_check_list_in(filters, count);
    if (rc != 0)
        return rc;
    // Every shape filter must have a whole shape to send, or nothing is sent.
    for (int16_t i = 0; i < count; i++) {
        const VE_FILTER &f = filters[i];
        if (f.filter_type != VE_SHAPE_FILTER)
            continue;
        if (f.shape == nullptr || f.shape->coordref == nullptr)
            return ZE_NULL_POINTER;
        if (f.shape->num_points < 0)
            return ZE_INVALID_ARGUMENT;
        if (f.shape->num_points > 0 && f.shape->points == nullptr)
            return ZE_NULL_POINTER;
    }
    if (S_put_i16(io, count) != 0)
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        uint8_t image[RAW_FILTER_IMAGE];
        raw_pack_filter(&filters[i], image);
        if (S_put(io, image, old ? RAW_FILTER_OLD_IMAGE : RAW_FILTER_IMAGE) != 0)
            return ZE_FAILURE;
        if (!old && filters[i].search_method == SM_CBM &&
            S_put_text(io, filters[i].relation, RAW_RELATION_ROOM - 1) != 0)
            return ZE_FAILURE;
    }
    for (int16_t i = 0; i < count; i++) {
        if (filters[i].filter_type != VE_SHAPE_FILTER)
            continue;
        if ((rc = raw_writef(io, filters[i].shape)) != 0 ||
            (rc = raw_write_coordref(io, filters[i].shape->coordref, old_coordref)) != 0)
            return rc;
    }
    return ZE_SUCCESS;
}

// ---- Raster constraint -----------------------------------------------------

int32_t raw_read_rasconstraint(RAW_IO *io, RASCONSTRAINT **constraint)
{
    if (constraint == nullptr)
        return ZE_NULL_POINTER;
    uint8_t image[RAW_RASCONSTRAINT_IMAGE];
    if (S_get(io, image, sizeof image) != 0)
        return ZE_FAILURE;
    std::unique_ptr<RASCONSTRAINT, void (*)(RASCONSTRAINT *)> got(
        static_cast<RASCONSTRAINT *>(std::calloc(1, sizeof(RASCONSTRAINT))),
        ves_raster_constraint_free);
    if (!got)
        return ZE_BUFFER_NO_MEMORY;
    raw_unpack_rasconstraint(image, got.get());
    const int32_t n = got->band_count;
    if (n < 0 || n > RAW_MAX_ITEMS)
        return ZE_FAILURE;
    if (n > 0) {
        got->band_numbers = static_cast<int32_t *>(std::malloc(static_cast<size_t>(n) * 4));
        if (got->band_numbers == nullptr)
            return ZE_BUFFER_NO_MEMORY;
        if (S_get_array(io, got->band_numbers, static_cast<size_t>(n)) != 0)
            return ZE_FAILURE;
    }
    *constraint = got.release();
    return ZE_SUCCESS;
}

int32_t raw_write_rasconstraint(RAW_IO *io, const RASCONSTRAINT *constraint)
{
    if (constraint == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_list_in(constraint->band_numbers, constraint->band_count);
    if (rc != 0)
        return rc;
    uint8_t image[RAW_RASCONSTRAINT_IMAGE];
    raw_pack_rasconstraint(constraint, image);
    if (S_put(io, image, sizeof image) != 0)
        return ZE_FAILURE;
    return S_put_array(io, constraint->band_numbers, static_cast<size_t>(constraint->band_count));
}

// ---- States ----------------------------------------------------------------

// The byte length of a lineage block: its leading varLONG's value plus the
// size of that varLONG; 0 without a block; -66 for a block that does not
// start with a count.
static int32_t S_lineage_length(const uint8_t *lineage)
{
    if (lineage == nullptr)
        return 0;
    int32_t value;
    const uint8_t *after = ves_varlong_decode(lineage, lineage + VE_VARLONG_MAX_BYTES, &value);
    if (after == nullptr || value < 0 || value > INT32_MAX - VE_VARLONG_MAX_BYTES)
        return ZE_INVALID_ARGUMENT;
    return value + static_cast<int32_t>(after - lineage);
}

static int32_t S_put_lineage(RAW_IO *io, const STATE *state)
{
    int32_t n = S_lineage_length(state->lineage);
    if (S_put_i32(io, n) != 0)
        return ZE_FAILURE;
    return S_put(io, state->lineage, static_cast<size_t>(n));
}

static int32_t S_get_lineage(RAW_IO *io, uint8_t **out)
{
    int32_t n;
    *out = nullptr;
    if (S_get_i32(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0 || n > RAW_MAX_BYTES)
        return ZE_FAILURE;
    if (n == 0)
        return ZE_SUCCESS;
    S_owned<uint8_t> block;
    int32_t rc = S_get_new_block(io, static_cast<size_t>(n), block, ZE_BUFFER_NO_MEMORY);
    if (rc != 0)
        return rc;
    // The block must be exactly as long as its own count says.
    int32_t value;
    const uint8_t *after = ves_varlong_decode(block.get(), block.get() + n, &value);
    if (after == nullptr || value < 0 || value != n - (after - block.get()))
        return ZE_FAILURE;
    *out = block.release();
    return ZE_SUCCESS;
}

// Records whose images all go first, followed record by record by what they
// point to (states and their lineages, locators and their properties). A
// form F gives the image, a check that a record can be sent whole, and the
// transfer and release of a record's tail.
template <typename F>
static int32_t S_put_split(RAW_IO *io, const typename F::T *records, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        uint8_t image[F::image];
        F::pack(&records[i], image);
        if (S_put(io, image, sizeof image) != 0)
            return ZE_FAILURE;
    }
    for (int32_t i = 0; i < count; i++)
        if (F::put_tail(io, &records[i]) != 0)
            return ZE_FAILURE;
    return ZE_SUCCESS;
}

// On a failure the tails received in this call are released again.
template <typename F> static int32_t S_get_split(RAW_IO *io, typename F::T *records, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        uint8_t image[F::image];
        if (S_get(io, image, sizeof image) != 0)
            return ZE_FAILURE;
        F::unpack(image, &records[i]);
    }
    for (int32_t i = 0; i < count; i++) {
        int32_t rc = F::get_tail(io, &records[i]);
        if (rc != 0) {
            for (int32_t j = 0; j < i; j++)
                F::drop_tail(&records[j]);
            return rc;
        }
    }
    return ZE_SUCCESS;
}

template <typename F> static int32_t S_check_split(const typename F::T *records, int32_t count)
{
    int32_t rc = S_check_list_in(records, count);
    for (int32_t i = 0; rc == 0 && i < count; i++)
        rc = F::check(&records[i]);
    return rc;
}

template <typename F> static int32_t S_read_split(RAW_IO *io, typename F::T *record)
{
    return record == nullptr ? ZE_NULL_POINTER : S_get_split<F>(io, record, 1);
}

template <typename F> static int32_t S_write_split(RAW_IO *io, const typename F::T *record)
{
    if (record == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_split<F>(record, 1);
    return rc != 0 ? rc : S_put_split<F>(io, record, 1);
}

template <typename F>
static int32_t S_read_split_list(RAW_IO *io, typename F::T *records, int32_t capacity,
                                 int32_t *count)
{
    int32_t rc = S_check_list_out(records, count), n = 0;
    if (rc != 0)
        return rc;
    if (S_get_count(io, capacity, &n) != 0)
        return ZE_FAILURE;
    if ((rc = S_get_split<F>(io, records, n)) != 0)
        return rc;
    *count = n;
    return ZE_SUCCESS;
}

template <typename F>
static int32_t S_write_split_list(RAW_IO *io, const typename F::T *records, int32_t count)
{
    int32_t rc = S_check_split<F>(records, count);
    if (rc != 0)
        return rc;
    if (S_put_i32(io, count) != 0)
        return ZE_FAILURE;
    return S_put_split<F>(io, records, count);
}

// The four forms of a split record: one, and a counted list.
#define S_SPLIT_FORMS(NAME, T, FORM)                                                               \
    int32_t raw_read_##NAME(RAW_IO *io, T *record)                                                 \
    {                                                                                              \
        return S_read_split<FORM>(io, record);                                                     \
    }                                                                                              \
    int32_t raw_write_##NAME(RAW_IO *io, const T *record)                                          \
    {                                                                                              \
        return S_write_split<FORM>(io, record);                                                    \
    }                                                                                              \
    int32_t raw_read_##NAME##_list(RAW_IO *io, T *records, int32_t capacity, int32_t *count)       \
    {                                                                                              \
        return S_read_split_list<FORM>(io, records, capacity, count);                              \
    }                                                                                              \
    int32_t raw_write_##NAME##_list(RAW_IO *io, const T *records, int32_t count)                   \
    {                                                                                              \
        return S_write_split_list<FORM>(io, records, count);                                       \
    }

struct S_state_form {
    using T = STATE;
    static constexpr size_t image = RAW_STATE_IMAGE;
    static void pack(const STATE *state, uint8_t *b)
    {
        raw_pack_state(state, b);
    }
    static void unpack(const uint8_t *b, STATE *state)
    {
        raw_unpack_state(b, state);
        state->lineage = nullptr;
    }
    static int32_t check(const STATE *state)
    {
        return S_lineage_length(state->lineage) < 0 ? ZE_INVALID_ARGUMENT : ZE_SUCCESS;
    }
    static int32_t put_tail(RAW_IO *io, const STATE *state)
    {
        return S_put_lineage(io, state);
    }
    static int32_t get_tail(RAW_IO *io, STATE *state)
    {
        return S_get_lineage(io, &state->lineage);
    }
    static void drop_tail(STATE *state)
    {
        std::free(state->lineage);
        state->lineage = nullptr;
    }
};

S_SPLIT_FORMS(state, STATE, S_state_form)

// ---- Index definitions -----------------------------------------------------

void raw_index_def_free(int16_t count, DB_INDEX_DEF *defs)
{
    ves_index_defs_free(defs, count);
}

// One definition in the layout every holder frees alike
// (base/util/ve_index_def.h): at most DB_INDEX_MAX_COLUMNS key columns, each
// name a block of its own.
static int32_t S_get_index_def(RAW_IO *io, DB_INDEX_DEF *def)
{
    int16_t m;
    if (S_get_i16(io, &m) != 0)
        return ZE_FAILURE;
    if (m < 0 || m > DB_INDEX_MAX_COLUMNS)
        return ZE_FAILURE;
    if (ves_index_def_alloc(def) != 0)
        return ZE_BUFFER_NO_MEMORY;
    char name[DB_INDEX_COLUMN_NAME_SIZE];
    for (int16_t j = 0; j < m; j++) {
        int32_t order;
        if (S_get_text(io, name, sizeof name) != 0 || S_get_i32(io, &order) != 0)
            return ZE_FAILURE;
        if (ves_index_def_add_column(def, name, order) != 0)
            return ZE_BUFFER_NO_MEMORY;
    }
    if (S_get_text(io, def->index_name, sizeof def->index_name) != 0 ||
        S_get_i32(io, &def->unique) != 0)
        return ZE_FAILURE;
    return ZE_SUCCESS;
}

int32_t raw_read_index_def(RAW_IO *io, int16_t *count, DB_INDEX_DEF **defs)
{
    int16_t n;
    if (count == nullptr || defs == nullptr)
        return ZE_NULL_POINTER;
    if (S_get_i16(io, &n) != 0)
        return ZE_FAILURE;
    if (n < 0)
        return ZE_FAILURE;
    DB_INDEX_DEF *array = nullptr;
    if (n > 0) {
        array = static_cast<DB_INDEX_DEF *>(std::calloc(static_cast<size_t>(n), sizeof *array));
        if (array == nullptr)
            return ZE_BUFFER_NO_MEMORY;
    }
    for (int16_t i = 0; i < n; i++) {
        int32_t rc = S_get_index_def(io, &array[i]);
        if (rc != 0) {
            raw_index_def_free(n, array);
            return rc;
        }
    }
    *count = n;
    *defs = array;
    return ZE_SUCCESS;
}

int32_t raw_write_index_def(RAW_IO *io, int16_t count, const DB_INDEX_DEF *defs)
{
    int32_t rc = S_check_list_in(defs, count);
    for (int16_t i = 0; rc == 0 && i < count; i++) {
        // The arrays hold DB_INDEX_MAX_COLUMNS entries: no more are read.
        if (defs[i].column_count > DB_INDEX_MAX_COLUMNS)
            rc = ZE_INVALID_ARGUMENT;
        else if ((rc = S_check_list_in(defs[i].column_names, defs[i].column_count)) == 0)
            rc = S_check_list_in(defs[i].column_order, defs[i].column_count);
    }
    if (rc != 0)
        return rc;
    if (S_put_i16(io, count) != 0)
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        const DB_INDEX_DEF &d = defs[i];
        if (S_put_i16(io, d.column_count) != 0)
            return ZE_FAILURE;
        for (int16_t j = 0; j < d.column_count; j++)
            if (S_put_text(io, d.column_names[j], DB_INDEX_COLUMN_NAME_SIZE - 1) != 0 ||
                S_put_i32(io, d.column_order[j]) != 0)
                return ZE_FAILURE;
        if (S_put_text(io, d.index_name, sizeof d.index_name - 1) != 0 ||
            S_put_i32(io, d.unique) != 0)
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

// ---- Locators --------------------------------------------------------------

static int32_t S_get_properties(RAW_IO *io, LOCATOR *locator)
{
    const int32_t p = locator->property_count;
    if (p < 0 || p > RAW_MAX_ITEMS)
        return ZE_FAILURE;
    // The pairs as they come; the two arrays once they have all arrived.
    std::vector<std::string> names, values;
    char name[LOCATOR_PROPERTY_NAME_LEN + 1], value[LOCATOR_PROPERTY_VALUE_LEN + 1];
    for (int32_t j = 0; j < p; j++) {
        if (S_get_text(io, name, sizeof name) != 0 || S_get_text(io, value, sizeof value) != 0)
            return ZE_FAILURE;
        names.emplace_back(name);
        values.emplace_back(value);
    }
    char **name_array = nullptr, **value_array = nullptr;
    int32_t rc = S_string_array(names, sizeof name, &name_array, ZE_BUFFER_NO_MEMORY);
    if (rc != 0)
        return rc;
    S_owned<char *> owned_names(name_array);
    if ((rc = S_string_array(values, sizeof value, &value_array, ZE_BUFFER_NO_MEMORY)) != 0)
        return rc;
    locator->property_names = owned_names.release();
    locator->property_values = value_array;
    return ZE_SUCCESS;
}

static int32_t S_put_properties(RAW_IO *io, const LOCATOR *locator)
{
    for (int32_t j = 0; j < locator->property_count; j++)
        if (S_put_text(io, locator->property_names[j], LOCATOR_PROPERTY_NAME_LEN) != 0 ||
            S_put_text(io, locator->property_values[j], LOCATOR_PROPERTY_VALUE_LEN) != 0)
            return ZE_FAILURE;
    return ZE_SUCCESS;
}

struct S_locator_form {
    using T = LOCATOR;
    static constexpr size_t image = RAW_LOCATOR_IMAGE;
    static void pack(const LOCATOR *locator, uint8_t *b)
    {
        raw_pack_locator(locator, b);
    }
    static void unpack(const uint8_t *b, LOCATOR *locator)
    {
        raw_unpack_locator(b, locator);
        locator->property_names = nullptr;
        locator->property_values = nullptr;
    }
    static int32_t check(const LOCATOR *locator)
    {
        int32_t rc = S_check_list_in(locator->property_names, locator->property_count);
        return rc != 0 ? rc : S_check_list_in(locator->property_values, locator->property_count);
    }
    static int32_t put_tail(RAW_IO *io, const LOCATOR *locator)
    {
        return S_put_properties(io, locator);
    }
    static int32_t get_tail(RAW_IO *io, LOCATOR *locator)
    {
        return S_get_properties(io, locator);
    }
    static void drop_tail(LOCATOR *locator)
    {
        std::free(locator->property_names);
        std::free(locator->property_values);
        locator->property_names = nullptr;
        locator->property_values = nullptr;
    }
};

S_SPLIT_FORMS(locator, LOCATOR, S_locator_form)
