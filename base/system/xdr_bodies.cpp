// The XDR encodings that have no filter of their own
// (base/system/xdr_records_internal.h): features with their points, lists,
// arrays, states with their lineages, locators, raster columns and
// constraints, the query records and the filter arrays. The channel's XDR
// transport and the row stream buffer call them over record and memory
// streams. Every count from the wire is checked against its maximum and the
// caller's room before anything is allocated for it, and variable parts are
// collected as they arrive, so a count costs memory only once its data came.
#include "base/system/xdr_records_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/system/raw_form_internal.h"
#include "base/system/xdr_iomgr_internal.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_index_def_internal.h"
#include "base/util/ve_raster_internal.h"
#include "base/util/ve_shape_error.h"
#include "base/util/ve_string_array.h"
#include "base/util/ve_varlong_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

static int32_t S_ok(bool_t done)
{
    return done ? ZE_SUCCESS : ZE_FAILURE;
}

// Ends the record (encode) or skips to the next one (decode) on a record
// stream; nothing on a memory stream.
static bool_t S_boundary(XDR *xdrs, bool records)
{
    if (!records)
        return TRUE;
    return xdrs->x_op == XDR_ENCODE ? xdrrec_endofrecord(xdrs, FALSE) : xdrrec_skiprecord(xdrs);
}

// Checks of a write's arguments before anything is encoded.
template <typename T> static int32_t S_check_out(const T *array, int32_t count, int32_t max)
{
    if (count < 0 || count > max)
        return ZE_INVALID_ARGUMENT;
    if (count > 0 && array == nullptr)
        return ZE_NULL_POINTER;
    return ZE_SUCCESS;
}

// A count from the wire: at most max and the caller's room.
static bool_t S_count(XDR *xdrs, int32_t *count, int32_t max, int32_t capacity)
{
    uint32_t n = 0;
    if (!xdr_u_int(xdrs, &n) || n > static_cast<uint32_t>(max) || capacity < 0 ||
        n > static_cast<uint32_t>(capacity))
        return FALSE;
    *count = static_cast<int32_t>(n);
    return TRUE;
}

// ---- Blocks of an announced length ----------------------------------------

// n opaque bytes with their padding, or n characters of one unit each (chars),
// into a heap block of n + extra bytes (the extra ones zeroed). The block
// grows as the data arrives, so a length a peer announced costs memory only
// once its bytes have come. The block, or null with *rc: -1 for data that did
// not come, no_memory for a block that could not be had. n + extra above 0.
static uint8_t *S_read_as_it_comes(XDR *xdrs, size_t n, size_t extra, bool chars, int32_t no_memory,
                                   int32_t *rc)
{
    constexpr size_t kStep = 64 * 1024; // whole units: only the last piece pads
    std::unique_ptr<uint8_t, decltype(&std::free)> block(nullptr, std::free);
    size_t room = 0;
    size_t got = 0;
    do {
        const size_t piece = std::min(n - got, kStep);
        const size_t need = got + piece + (got + piece == n ? extra : 0);
        if (need > room) {
            const size_t grown = std::min(n + extra, std::max(need, room * 2));
            auto *bigger = static_cast<uint8_t *>(std::realloc(block.get(), grown));
            if (bigger == nullptr) {
                *rc = no_memory;
                return nullptr;
            }
            block.release();
            block.reset(bigger);
            room = grown;
        }
        char *at = reinterpret_cast<char *>(block.get() + got);
        const bool_t came =
            piece == 0 || (chars ? xdr_vector(xdrs, at, static_cast<u_int>(piece), sizeof(char),
                                              reinterpret_cast<xdrproc_t>(xdr_const_char))
                                 : xdr_opaque(xdrs, at, static_cast<u_int>(piece)));
        if (!came) {
            *rc = ZE_FAILURE;
            return nullptr;
        }
        got += piece;
    } while (got < n);
    if (extra > 0)
        std::memset(block.get() + n, 0, extra);
    *rc = ZE_SUCCESS;
    return block.release();
}

// ---- Features --------------------------------------------------------------

// The longest annotation text: its field holds it and the terminator.
static constexpr u_int kAnnoTextMax = sizeof(VE_ANNO::text) - 1;

int32_t xdrio_feature(XDR *xdrs, FEATURE_STRUCT *f, int32_t allocate)
{
    if (f == nullptr)
        return ZE_NULL_POINTER;
    XDR_FEATURE_FLAGS flags{};
    if (xdrs->x_op == XDR_ENCODE) {
        if (f->num_points < 0)
            return ZE_INVALID_ARGUMENT;
        if (f->num_points > 0 && f->points == nullptr)
            return ZE_NULL_POINTER;
        if (!xdr_feature_header(xdrs, f, &flags))
            return ZE_FAILURE;
        const int32_t n = f->num_points;
        if (n == 0)
            return ZE_SUCCESS;
        return S_ok(xdr_FEATURE_XYPTS(xdrs, f->points, n) &&
                    (f->z_values == nullptr || xdr_FEATURE_ZPTS(xdrs, f->z_values, n)) &&
                    (f->measures == nullptr || xdr_FEATURE_MVALS(xdrs, f->measures, n)));
    }
    // Decode into a copy: the caller's record changes only when all came.
    FEATURE_STRUCT got = *f;
    if (!xdr_feature_header(xdrs, &got, &flags))
        return ZE_FAILURE;
    const int32_t n = got.num_points;
    if (n < 0 || n > XDR_MAX_POINTS)
        return ZE_FAILURE;
    if (n == 0) {
        *f = got;
        return ZE_SUCCESS;
    }
    const size_t un = static_cast<size_t>(n);
    if (allocate) {
        // Points are collected as they arrive, so a count costs memory only
        // once its points have come; then the feature gets exact arrays.
        std::vector<POINT> xy;
        std::vector<int32_t> z, m;
        xy.reserve(std::min<size_t>(un, 4096));
        for (size_t i = 0; i < un; i++) {
            xy.emplace_back();
            if (!xdr_POINT(xdrs, &xy.back()))
                return ZE_FAILURE;
        }
        for (auto [present, values] : {std::pair{flags.z, &z}, std::pair{flags.m, &m}}) {
            if (!present)
                continue;
            values->reserve(std::min<size_t>(un, 4096));
            for (size_t i = 0; i < un; i++) {
                values->emplace_back();
                if (!zel_xdr_long(xdrs, &values->back()))
                    return ZE_FAILURE;
            }
        }
        auto copy = [](const auto &values) {
            using T = typename std::decay_t<decltype(values)>::value_type;
            auto *array = static_cast<T *>(std::malloc(values.size() * sizeof(T)));
            if (array != nullptr)
                std::memcpy(array, values.data(), values.size() * sizeof(T));
            return array;
        };
        std::unique_ptr<POINT, decltype(&std::free)> xy_array(copy(xy), std::free);
        std::unique_ptr<int32_t, decltype(&std::free)> z_array(flags.z ? copy(z) : nullptr,
                                                               std::free);
        std::unique_ptr<int32_t, decltype(&std::free)> m_array(flags.m ? copy(m) : nullptr,
                                                               std::free);
        if (xy_array == nullptr || (flags.z && z_array == nullptr) ||
            (flags.m && m_array == nullptr))
            return ZE_BUFFER_NO_MEMORY;
        got.points = xy_array.release();
        got.z_values = z_array.release();
        got.measures = m_array.release();
        got.allocated_points = n;
        *f = got;
        return ZE_SUCCESS;
    }
    if (f->points == nullptr || n > f->allocated_points)
        return ZE_FAILURE; // the caller's arrays have no room for these points
    if (!xdr_FEATURE_XYPTS(xdrs, f->points, n) ||
        (flags.z && !xdr_FEATURE_ZPTS(xdrs, f->z_values, n)) ||
        (flags.m && !xdr_FEATURE_MVALS(xdrs, f->measures, n)))
        return ZE_FAILURE;
    if (!flags.z && f->z_values != nullptr)
        std::memset(f->z_values, 0, un * sizeof(int32_t));
    if (!flags.m && f->measures != nullptr)
        std::memset(f->measures, 0, un * sizeof(int32_t));
    *f = got;
    return ZE_SUCCESS;
}

int32_t xdrio_write_compressed_feature(XDR *xdrs, const FEATURE_STRUCT *feature)
{
    if (feature == nullptr)
        return ZE_NULL_POINTER;
    FEATURE_STRUCT f = *feature;
    int32_t size = VES_get_compressed_buffer_size(&f);
    if (size < 0 || (size > 0 && f.compressed == nullptr))
        return ZE_INVALID_ARGUMENT;
    // The text follows whenever the flags promise it (empty without an
    // annotation object), so the reader, who decides by the same flags,
    // stays in step; a text the reader's field cannot hold is refused first.
    const bool anno = size > 0 && (f.compressed[VE_COMP_FLAGS_OFFSET] & VE_COMP_FLAG_ANNO) != 0;
    char empty[1] = "";
    char *text = anno && f.anno != nullptr ? f.anno->text : empty;
    if (anno && strnlen(text, kAnnoTextMax + 1) > kAnnoTextMax)
        return ZE_INVALID_ARGUMENT;
    if (!zel_xdr_long(xdrs, &f.feature_id) || !zel_xdr_long(xdrs, &f.num_points) ||
        !xdr_short(xdrs, reinterpret_cast<short *>(&f.entity_type)) || !zel_xdr_long(xdrs, &size))
        return ZE_FAILURE;
    if (size > 0 &&
        !xdr_opaque(xdrs, reinterpret_cast<char *>(f.compressed), static_cast<u_int>(size)))
        return ZE_FAILURE;
    if (anno && !xdr_iomgr_text(xdrs, text, kAnnoTextMax))
        return ZE_FAILURE;
    return ZE_SUCCESS;
}

int32_t xdrio_read_compressed_feature(XDR *xdrs, FEATURE_STRUCT *f)
{
    if (f == nullptr)
        return ZE_NULL_POINTER;
    int32_t size = 0;
    if (!zel_xdr_long(xdrs, &f->feature_id) || !zel_xdr_long(xdrs, &f->num_points) ||
        !xdr_short(xdrs, reinterpret_cast<short *>(&f->entity_type)) || !zel_xdr_long(xdrs, &size))
        return ZE_FAILURE;
    // A buffer shorter than its header cannot be one: the flags and length
    // read from it would lie beyond it.
    if (size < 0 || size > XDR_MAX_BYTES || (size > 0 && size < VE_COMP_HEADER_BYTES))
        return ZE_FAILURE;
    if (size > 0) {
        if (f->compressed == nullptr || f->compressed_capacity < size) {
            int32_t rc = 0;
            uint8_t *grown = S_read_as_it_comes(xdrs, static_cast<size_t>(size), 0, false,
                                                ZE_BUFFER_NO_MEMORY, &rc);
            if (grown == nullptr)
                return rc;
            std::free(f->compressed);
            f->compressed = grown;
            f->compressed_capacity = size;
        } else if (!xdr_opaque(xdrs, reinterpret_cast<char *>(f->compressed),
                               static_cast<u_int>(size))) {
            return ZE_FAILURE;
        }
        // The bytes must be one compressed feature of exactly the size sent.
        if (VES_get_compressed_buffer_size(f) != size)
            return ZE_FAILURE;
    }
    if (size > 0 && VES_comp_feature_has_anno(f)) {
        // Read aside: the annotation keeps its text unless a whole one came.
        // (Without an annotation object the text is left to the record's end.)
        char text[kAnnoTextMax + 1];
        if (!xdr_iomgr_text(xdrs, text, kAnnoTextMax))
            return ZE_FAILURE;
        std::memcpy(f->anno->text, text, std::strlen(text) + 1);
    } else if (f->anno != nullptr) {
        f->anno->text[0] = '\0';
    }
    return ZE_SUCCESS;
}

// ---- Coordinate references and layers ---------------------------------------

int32_t xdrio_coordref(XDR *xdrs, COORDREF *coordref, int32_t old)
{
    if (coordref == nullptr)
        return ZE_NULL_POINTER;
    return S_ok(old ? xdr_COORDREF_old(xdrs, coordref) : xdr_COORDREF(xdrs, coordref));
}

// The record's coordinate reference, created when it has none.
static int32_t S_own_coordref(COORDREF **slot)
{
    if (*slot != nullptr)
        return ZE_SUCCESS;
    return VES_map_shape_error_to_zel(MoxCoordRefCreate(slot));
}

static int32_t S_layer_coordref(XDR *xdrs, LAYER *layer, int32_t old)
{
    if (xdrs->x_op == XDR_DECODE) {
        int32_t rc = S_own_coordref(&layer->coordref);
        if (rc != 0)
            return rc;
    }
    return xdrio_coordref(xdrs, layer->coordref, old);
}

int32_t xdrio_layer(XDR *xdrs, LAYER *layer, int32_t old)
{
    if (layer == nullptr || (xdrs->x_op == XDR_ENCODE && layer->coordref == nullptr))
        return ZE_NULL_POINTER;
    if (!(old ? xdr_LAYER_old(xdrs, layer) : xdr_LAYER(xdrs, layer)))
        return ZE_FAILURE;
    return S_layer_coordref(xdrs, layer, old);
}

int32_t xdrio_read_layer_list(XDR *xdrs, LAYER *layers, int32_t capacity, int32_t *count,
                              int32_t old)
{
    int32_t n = 0;
    if (count == nullptr || (layers == nullptr && capacity > 0))
        return ZE_NULL_POINTER;
    if (!S_count(xdrs, &n, XDR_MAX_LIST, capacity))
        return ZE_FAILURE;
    for (int32_t i = 0; i < n; i++)
        if (!(old ? xdr_LAYER_old(xdrs, &layers[i]) : xdr_LAYER(xdrs, &layers[i])))
            return ZE_FAILURE;
    for (int32_t i = 0; i < n; i++) {
        int32_t rc = S_layer_coordref(xdrs, &layers[i], old);
        if (rc != 0)
            return rc;
    }
    *count = n;
    return ZE_SUCCESS;
}

int32_t xdrio_write_layer_list(XDR *xdrs, const LAYER *layers, int32_t count, int32_t old)
{
    int32_t rc = S_check_out(layers, count, XDR_MAX_LIST);
    for (int32_t i = 0; rc == 0 && i < count; i++)
        if (layers[i].coordref == nullptr)
            rc = ZE_NULL_POINTER;
    if (rc != 0)
        return rc;
    uint32_t n = static_cast<uint32_t>(count);
    if (!xdr_u_int(xdrs, &n))
        return ZE_FAILURE;
    for (int32_t i = 0; i < count; i++) {
        LAYER copy = layers[i];
        if (!(old ? xdr_LAYER_old(xdrs, &copy) : xdr_LAYER(xdrs, &copy)))
            return ZE_FAILURE;
    }
    for (int32_t i = 0; i < count; i++)
        if ((rc = xdrio_coordref(xdrs, layers[i].coordref, old)) != 0)
            return rc;
    return ZE_SUCCESS;
}

// ---- Lists through a filter ------------------------------------------------

template <typename T, bool_t (*Filter)(XDR *, T *)>
static int32_t S_read_list(XDR *xdrs, T *records, int32_t capacity, int32_t *count, int32_t max)
{
    int32_t n = 0;
    if (count == nullptr || (records == nullptr && capacity > 0))
        return ZE_NULL_POINTER;
    if (!S_count(xdrs, &n, max, capacity))
        return ZE_FAILURE;
    for (int32_t i = 0; i < n; i++)
        if (!Filter(xdrs, &records[i]))
            return ZE_FAILURE;
    *count = n;
    return ZE_SUCCESS;
}

template <typename T, bool_t (*Filter)(XDR *, T *)>
static int32_t S_write_list(XDR *xdrs, const T *records, int32_t count, int32_t max)
{
    int32_t rc = S_check_out(records, count, max);
    if (rc != 0)
        return rc;
    uint32_t n = static_cast<uint32_t>(count);
    if (!xdr_u_int(xdrs, &n))
        return ZE_FAILURE;
    for (int32_t i = 0; i < count; i++) {
        T copy = records[i]; // filters take a writable record in both directions
        if (!Filter(xdrs, &copy))
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

#define XDRIO_LIST(NAME, TYPE, FILTER, MAX)                                                        \
    int32_t xdrio_read_##NAME##_list(XDR *xdrs, TYPE *records, int32_t capacity, int32_t *count)   \
    {                                                                                              \
        return S_read_list<TYPE, FILTER>(xdrs, records, capacity, count, MAX);                     \
    }                                                                                              \
    int32_t xdrio_write_##NAME##_list(XDR *xdrs, const TYPE *records, int32_t count)               \
    {                                                                                              \
        return S_write_list<TYPE, FILTER>(xdrs, records, count, MAX);                              \
    }
XDRIO_LIST(registration, REGISTRATION, xdr_REGISTRATION, XDR_MAX_LIST)
XDRIO_LIST(metadata, METADATA, xdr_METADATA, XDR_MAX_LIST)
XDRIO_LIST(rasterband, RASTERBAND, xdr_RASTERBAND, XDR_MAX_RASTERBANDS)
XDRIO_LIST(logfile, LOGFILE, xdr_LOGFILE, XDR_MAX_LIST)
XDRIO_LIST(version, VERSION, xdr_VERSION, XDR_MAX_LIST)
XDRIO_LIST(table_lock, VE_TABLE_LOCK, xdr_VE_TABLE_LOCK, XDR_MAX_LOCKS)
XDRIO_LIST(version_lock, VE_VERSION_LOCK, xdr_VE_VERSION_LOCK, XDR_MAX_LOCKS)
XDRIO_LIST(object_lock, VE_OBJECT_LOCK, xdr_VE_OBJECT_LOCK, XDR_MAX_LOCKS)
XDRIO_LIST(layer_locks, VE_LAYER_LOCKS, xdr_VE_LAYER_LOCKS, XDR_MAX_LOCKS)
#undef XDRIO_LIST

// Spatial references: a write needs every record's coordinate reference
// before anything goes.
int32_t xdrio_read_spatialref_list(XDR *xdrs, VE_SPATIALREF *records, int32_t capacity,
                                   int32_t *count)
{
    return S_read_list<VE_SPATIALREF, xdr_VE_SPATIALREF>(xdrs, records, capacity, count,
                                                         XDR_MAX_LIST);
}

int32_t xdrio_write_spatialref_list(XDR *xdrs, const VE_SPATIALREF *records, int32_t count)
{
    int32_t rc = S_check_out(records, count, XDR_MAX_LIST);
    for (int32_t i = 0; rc == 0 && i < count; i++)
        if (records[i].coordref == nullptr)
            rc = ZE_NULL_POINTER;
    if (rc != 0)
        return rc;
    return S_write_list<VE_SPATIALREF, xdr_VE_SPATIALREF>(xdrs, records, count, XDR_MAX_LIST);
}

// ---- States and their lineages ---------------------------------------------

// The byte length of a lineage block: its leading varLONG's value plus the
// size of that varLONG; 0 without a block; -66 for a block that does not
// start with a count.
static int32_t S_lineage_length(const uint8_t *lineage)
{
    if (lineage == nullptr)
        return 0;
    int32_t value;
    const uint8_t *after = ves_varlong_decode(lineage, lineage + VE_VARLONG_MAX_BYTES, &value);
    if (after == nullptr || value < 0 || value > XDR_MAX_BYTES)
        return ZE_INVALID_ARGUMENT;
    return value + static_cast<int32_t>(after - lineage);
}

int32_t xdrio_write_state_list(XDR *xdrs, const STATE *states, int32_t count)
{
    int32_t rc = S_check_out(states, count, XDR_MAX_LIST);
    for (int32_t i = 0; rc == 0 && i < count; i++)
        if (S_lineage_length(states[i].lineage) < 0)
            rc = ZE_INVALID_ARGUMENT;
    if (rc != 0)
        return rc;
    if ((rc = S_write_list<STATE, xdr_STATE>(xdrs, states, count, XDR_MAX_LIST)) != 0)
        return rc;
    for (int32_t i = 0; i < count; i++) {
        int32_t length = S_lineage_length(states[i].lineage);
        if (!zel_xdr_long(xdrs, &length) ||
            (length > 0 && !xdr_opaque(xdrs, reinterpret_cast<char *>(states[i].lineage),
                                       static_cast<u_int>(length))))
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

int32_t xdrio_read_state_list(XDR *xdrs, STATE *states, int32_t capacity, int32_t *count)
{
    int32_t n = 0;
    int32_t rc = S_read_list<STATE, xdr_STATE>(xdrs, states, capacity, &n, XDR_MAX_LIST);
    if (rc != 0)
        return rc;
    // Every block first; the records take them only when all came.
    std::vector<std::unique_ptr<uint8_t, decltype(&std::free)>> blocks;
    for (int32_t i = 0; i < n; i++) {
        int32_t length = 0;
        if (!zel_xdr_long(xdrs, &length) || length < 0 || length > XDR_MAX_BYTES)
            return ZE_FAILURE;
        blocks.emplace_back(nullptr, std::free);
        if (length == 0)
            continue;
        int32_t rc = 0;
        blocks.back().reset(S_read_as_it_comes(xdrs, static_cast<size_t>(length), 0, false,
                                               ZE_BUFFER_NO_MEMORY, &rc));
        uint8_t *block = blocks.back().get();
        if (block == nullptr)
            return rc;
        // The block must be exactly as long as its own count says.
        int32_t value;
        const uint8_t *after = ves_varlong_decode(block, block + length, &value);
        if (after == nullptr || value < 0 || value != length - (after - block))
            return ZE_FAILURE;
    }
    for (int32_t i = 0; i < n; i++)
        states[i].lineage = blocks[static_cast<size_t>(i)].release();
    *count = n;
    return ZE_SUCCESS;
}

// ---- Locators --------------------------------------------------------------

// count texts of at most max characters as strings, collected as they come.
static bool_t S_get_texts(XDR *xdrs, int32_t count, uint32_t max, std::vector<std::string> &out)
{
    std::vector<char> text(max + 1);
    for (int32_t i = 0; i < count; i++) {
        if (!xdr_iomgr_text(xdrs, text.data(), max))
            return FALSE;
        out.emplace_back(text.data());
    }
    return TRUE;
}

// A string array (VES_allocate_string_array) of slots of width bytes holding
// the texts; null for none. The array's own code when it cannot be made.
static int32_t S_string_array(const std::vector<std::string> &texts, int32_t width, char ***out)
{
    *out = nullptr;
    if (texts.empty())
        return ZE_SUCCESS;
    char **array = nullptr;
    int32_t rc = VES_allocate_string_array(&array, static_cast<int32_t>(texts.size()), width);
    if (rc != 0)
        return rc;
    for (size_t i = 0; i < texts.size(); i++)
        std::memcpy(array[i], texts[i].c_str(), texts[i].size() + 1);
    *out = array;
    return ZE_SUCCESS;
}

static bool_t S_put_texts(XDR *xdrs, char *const *texts, int32_t count, uint32_t max)
{
    for (int32_t i = 0; i < count; i++)
        if (!xdr_iomgr_text(xdrs, texts[i] != nullptr ? texts[i] : const_cast<char *>(""), max))
            return FALSE;
    return TRUE;
}

static bool_t S_locator_head(XDR *xdrs, LOCATOR *l)
{
    return zel_xdr_long(xdrs, &l->locator_id) && zel_xdr_text(xdrs, l->name, 32) &&
           zel_xdr_text(xdrs, l->owner, 32) && zel_xdr_text(xdrs, l->category, 32) &&
           zel_xdr_long(xdrs, &l->type) && zel_xdr_text(xdrs, l->description, 64) &&
           zel_xdr_long(xdrs, &l->property_count);
}

int32_t xdrio_write_locator_list(XDR *xdrs, const LOCATOR *locators, int32_t count)
{
    int32_t rc = S_check_out(locators, count, INT32_MAX);
    for (int32_t i = 0; rc == 0 && i < count; i++) {
        const LOCATOR &l = locators[i];
        if (l.property_count < 0)
            rc = ZE_INVALID_ARGUMENT;
        else if (l.property_count > 0 &&
                 (l.property_names == nullptr || l.property_values == nullptr))
            rc = ZE_NULL_POINTER;
    }
    if (rc != 0)
        return rc;
    int32_t n = count;
    if (!zel_xdr_long(xdrs, &n))
        return ZE_FAILURE;
    for (int32_t i = 0; i < count; i++) {
        LOCATOR l = locators[i];
        if (!S_locator_head(xdrs, &l))
            return ZE_FAILURE;
        for (int32_t p = 0; p < l.property_count; p++)
            if (!S_put_texts(xdrs, &l.property_names[p], 1, LOCATOR_PROPERTY_NAME_LEN) ||
                !S_put_texts(xdrs, &l.property_values[p], 1, LOCATOR_PROPERTY_VALUE_LEN))
                return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

int32_t xdrio_read_locator_list(XDR *xdrs, LOCATOR *locators, int32_t capacity, int32_t *count)
{
    int32_t n = 0;
    if (count == nullptr || (locators == nullptr && capacity > 0))
        return ZE_NULL_POINTER;
    if (!zel_xdr_long(xdrs, &n) || n < 0 || n > capacity)
        return ZE_FAILURE;
    int32_t done = 0;
    auto fail = [&](int32_t rc) {
        for (int32_t i = 0; i < done; i++) {
            std::free(locators[i].property_names);
            std::free(locators[i].property_values);
            locators[i].property_names = nullptr;
            locators[i].property_values = nullptr;
        }
        return rc;
    };
    for (; done < n; done++) {
        LOCATOR &l = locators[done];
        if (!S_locator_head(xdrs, &l) || l.property_count < 0)
            return fail(ZE_FAILURE);
        std::vector<std::string> names, values;
        for (int32_t p = 0; p < l.property_count; p++)
            if (!S_get_texts(xdrs, 1, LOCATOR_PROPERTY_NAME_LEN, names) ||
                !S_get_texts(xdrs, 1, LOCATOR_PROPERTY_VALUE_LEN, values))
                return fail(ZE_FAILURE);
        char **name_array = nullptr, **value_array = nullptr;
        if (S_string_array(names, LOCATOR_PROPERTY_NAME_LEN + 1, &name_array) != 0)
            return fail(ZE_BUFFER_NO_MEMORY);
        if (S_string_array(values, LOCATOR_PROPERTY_VALUE_LEN + 1, &value_array) != 0) {
            std::free(name_array);
            return fail(ZE_BUFFER_NO_MEMORY);
        }
        l.property_names = name_array;
        l.property_values = value_array;
    }
    *count = n;
    return ZE_SUCCESS;
}

// ---- Raster columns and constraints ----------------------------------------

static int32_t S_rastercolumn_coordref(XDR *xdrs, RASTERCOLUMN *c)
{
    uint32_t has = c->coordref != nullptr;
    if (!xdr_u_int(xdrs, &has) || has > 1)
        return ZE_FAILURE;
    if (xdrs->x_op == XDR_DECODE) {
        if (has == 0) {
            MoxCoordRefFree(c->coordref);
            c->coordref = nullptr;
            return ZE_SUCCESS;
        }
        int32_t rc = S_own_coordref(&c->coordref);
        if (rc != 0)
            return rc;
    }
    return has ? xdrio_coordref(xdrs, c->coordref, 0) : ZE_SUCCESS;
}

int32_t xdrio_rastercolumn(XDR *xdrs, RASTERCOLUMN *column)
{
    if (column == nullptr)
        return ZE_NULL_POINTER;
    RASTERCOLUMN copy = *column; // a write leaves the caller's record alone
    RASTERCOLUMN *c = xdrs->x_op == XDR_ENCODE ? &copy : column;
    if (!xdr_RASTERCOLUMN(xdrs, c))
        return ZE_FAILURE;
    return S_rastercolumn_coordref(xdrs, c);
}

int32_t xdrio_read_rastercolumn_list(XDR *xdrs, RASTERCOLUMN *columns, int32_t capacity,
                                     int32_t *count)
{
    int32_t n = 0;
    int32_t rc =
        S_read_list<RASTERCOLUMN, xdr_RASTERCOLUMN>(xdrs, columns, capacity, &n, XDR_MAX_LIST);
    for (int32_t i = 0; rc == 0 && i < n; i++)
        rc = S_rastercolumn_coordref(xdrs, &columns[i]);
    if (rc == 0)
        *count = n;
    return rc;
}

int32_t xdrio_write_rastercolumn_list(XDR *xdrs, const RASTERCOLUMN *columns, int32_t count)
{
    int32_t rc = S_write_list<RASTERCOLUMN, xdr_RASTERCOLUMN>(xdrs, columns, count, XDR_MAX_LIST);
    for (int32_t i = 0; rc == 0 && i < count; i++) {
        RASTERCOLUMN copy = columns[i];
        rc = S_rastercolumn_coordref(xdrs, &copy);
    }
    return rc;
}

static bool_t S_rasconstraint(XDR *xdrs, RASCONSTRAINT *c)
{
    if (!zel_xdr_long(xdrs, &c->level) || !zel_xdr_long(xdrs, &c->band_count) ||
        c->band_count < 0 || c->band_count > RAW_MAX_ITEMS)
        return FALSE;
    if (xdrs->x_op == XDR_DECODE && c->band_count > 0) {
        c->band_numbers = static_cast<int32_t *>(
            std::calloc(static_cast<size_t>(c->band_count), sizeof(int32_t)));
        if (c->band_numbers == nullptr)
            return FALSE;
    }
    for (int32_t i = 0; i < c->band_count; i++)
        if (!zel_xdr_long(xdrs, &c->band_numbers[i]))
            return FALSE;
    if (!xdr_int(xdrs, &c->window_flag))
        return FALSE;
    if (c->window_flag != 0) {
        if (!zel_xdr_long(xdrs, &c->min_column) || !zel_xdr_long(xdrs, &c->min_row) ||
            !zel_xdr_long(xdrs, &c->max_column) || !zel_xdr_long(xdrs, &c->max_row))
            return FALSE;
    } else if (xdrs->x_op == XDR_DECODE) {
        c->min_column = c->min_row = c->max_column = c->max_row = 0;
    }
    return zel_xdr_long(xdrs, &c->order);
}

int32_t xdrio_read_rasconstraint(XDR *xdrs, RASCONSTRAINT **constraint)
{
    if (constraint == nullptr)
        return ZE_NULL_POINTER;
    auto *c = static_cast<RASCONSTRAINT *>(std::calloc(1, sizeof(RASCONSTRAINT)));
    if (c == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    if (!S_rasconstraint(xdrs, c)) {
        // A band array that could not be had is the memory failure.
        int32_t rc =
            c->band_count > 0 && c->band_numbers == nullptr ? ZE_BUFFER_NO_MEMORY : ZE_FAILURE;
        ves_raster_constraint_free(c);
        return rc;
    }
    *constraint = c;
    return ZE_SUCCESS;
}

int32_t xdrio_write_rasconstraint(XDR *xdrs, const RASCONSTRAINT *constraint)
{
    if (constraint == nullptr)
        return ZE_NULL_POINTER;
    int32_t rc = S_check_out(constraint->band_numbers, constraint->band_count, RAW_MAX_ITEMS);
    if (rc != 0)
        return rc;
    RASCONSTRAINT copy = *constraint;
    return S_ok(S_rasconstraint(xdrs, &copy));
}

// ---- Plain arrays, blocks and strings --------------------------------------

// Counted arrays of values: the lists' form, the count the caller's.
int32_t xdrio_read_fid_array(XDR *xdrs, int32_t *ids, int32_t capacity)
{
    int32_t n = 0;
    return S_read_list<int32_t, zel_xdr_long>(xdrs, ids, capacity, &n, XDR_MAX_FIDS);
}

int32_t xdrio_write_fid_array(XDR *xdrs, const int32_t *ids, int32_t count)
{
    return S_write_list<int32_t, zel_xdr_long>(xdrs, ids, count, XDR_MAX_FIDS);
}

// The count bounds the array both ways.
int32_t xdrio_read_lfloat_array(XDR *xdrs, double *values, int32_t capacity)
{
    int32_t n = 0;
    return S_read_list<double, xdr_double>(xdrs, values, capacity, &n, capacity);
}

int32_t xdrio_write_lfloat_array(XDR *xdrs, const double *values, int32_t count)
{
    return S_write_list<double, xdr_double>(xdrs, values, count, INT32_MAX);
}

int32_t xdrio_read_short_array(XDR *xdrs, int16_t *count, int16_t *values, int16_t capacity)
{
    int16_t n = 0;
    if (count == nullptr || (values == nullptr && capacity > 0))
        return ZE_NULL_POINTER;
    if (!xdr_short(xdrs, &n) || n < 0 || n > capacity)
        return ZE_FAILURE;
    for (int16_t i = 0; i < n; i++)
        if (!xdr_short(xdrs, &values[i]))
            return ZE_FAILURE;
    *count = n;
    return ZE_SUCCESS;
}

int32_t xdrio_write_short_array(XDR *xdrs, int16_t count, const int16_t *values)
{
    int32_t rc = S_check_out(values, count, INT16_MAX);
    if (rc != 0)
        return rc;
    int16_t n = count;
    if (!xdr_short(xdrs, &n))
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        int16_t value = values[i];
        if (!xdr_short(xdrs, &value))
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

int32_t xdrio_block(XDR *xdrs, void *buffer, int32_t n)
{
    if (n < 0)
        return ZE_INVALID_ARGUMENT;
    if (n > 0 && buffer == nullptr)
        return ZE_NULL_POINTER;
    return S_ok(xdr_opaque(xdrs, static_cast<char *>(buffer), static_cast<u_int>(n)));
}

enum { kStringMax = 4096 };

int32_t xdrio_read_string(XDR *xdrs, char *buffer, int32_t capacity)
{
    if (buffer == nullptr)
        return ZE_NULL_POINTER;
    if (capacity < 1)
        return ZE_INVALID_ARGUMENT;
    return S_ok(xdr_iomgr_text(xdrs, buffer, std::min<u_int>(kStringMax, capacity - 1)));
}

int32_t xdrio_write_string(XDR *xdrs, const char *string)
{
    const char *s = string != nullptr ? string : "";
    if (std::strlen(s) > kStringMax)
        return ZE_INVALID_ARGUMENT;
    return S_ok(xdr_iomgr_text(xdrs, const_cast<char *>(s), kStringMax));
}

int32_t xdrio_read_dynamic_string(XDR *xdrs, char **string)
{
    int32_t n = 0;
    if (string == nullptr)
        return ZE_NULL_POINTER;
    if (!zel_xdr_long(xdrs, &n) || n < 0 || n > XDR_MAX_BYTES)
        return ZE_FAILURE;
    if (n == 0) {
        *string = nullptr;
        return ZE_SUCCESS;
    }
    // The length counts the terminator: at most n-1 characters come. The
    // string's block grows as they arrive and ends with its terminator, so an
    // announced length costs nothing until its data has come.
    u_int length = 0;
    if (!xdr_u_int(xdrs, &length) || length > static_cast<u_int>(n - 1))
        return ZE_FAILURE;
    int32_t rc = 0;
    *string = reinterpret_cast<char *>(
        S_read_as_it_comes(xdrs, length, 1, false, ZE_BUFFER_NO_MEMORY, &rc));
    return rc;
}

int32_t xdrio_write_dynamic_string(XDR *xdrs, const char *string)
{
    size_t length = string != nullptr ? std::strlen(string) : 0;
    if (length >= XDR_MAX_BYTES)
        return ZE_INVALID_ARGUMENT;
    int32_t n = string != nullptr ? static_cast<int32_t>(length) + 1 : 0;
    if (!zel_xdr_long(xdrs, &n))
        return ZE_FAILURE;
    if (n == 0)
        return ZE_SUCCESS;
    u_int len = static_cast<u_int>(length);
    return S_ok(xdr_u_int(xdrs, &len) && xdr_opaque(xdrs, const_cast<char *>(string), len));
}

// ---- Column, index and input descriptions ----------------------------------

// A short count and the elements through get, collected as they come, then
// one malloc'd array (null for 0).
template <typename T, typename Get>
static int32_t S_read_new_array(XDR *xdrs, int16_t *count, T **out, Get get)
{
    int16_t n = 0;
    if (count == nullptr || out == nullptr)
        return ZE_NULL_POINTER;
    if (!xdr_short(xdrs, &n) || n < 0)
        return ZE_FAILURE;
    std::vector<T> items;
    for (int16_t i = 0; i < n; i++) {
        items.emplace_back();
        if (!get(&items.back()))
            return ZE_FAILURE;
    }
    T *array = nullptr;
    if (n > 0) {
        array = static_cast<T *>(std::malloc(items.size() * sizeof(T)));
        if (array == nullptr)
            return ZE_BUFFER_NO_MEMORY;
        std::memcpy(static_cast<void *>(array), items.data(), items.size() * sizeof(T));
    }
    *count = n;
    *out = array;
    return ZE_SUCCESS;
}

template <typename T, typename Put>
static int32_t S_write_array(XDR *xdrs, int16_t count, const T *array, Put put)
{
    int32_t rc = S_check_out(array, count, INT16_MAX);
    if (rc != 0)
        return rc;
    int16_t n = count;
    if (!xdr_short(xdrs, &n))
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        T copy = array[i];
        if (!put(&copy))
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

// A 32-byte name as 32 characters of the older release; it must end within.
static bool_t S_old_name(XDR *xdrs, char (&name)[DB_NAME_COLUMN_SIZE])
{
    char chars[DB_NAME_COLUMN_SIZE] = {};
    if (xdrs->x_op == XDR_ENCODE)
        std::memcpy(chars, name, strnlen(name, DB_NAME_COLUMN_SIZE - 1));
    if (!xdr_vector(xdrs, chars, DB_NAME_COLUMN_SIZE, sizeof(char),
                    reinterpret_cast<xdrproc_t>(xdr_const_char)))
        return FALSE;
    if (xdrs->x_op == XDR_DECODE) {
        if (strnlen(chars, DB_NAME_COLUMN_SIZE) == DB_NAME_COLUMN_SIZE)
            return FALSE;
        std::memcpy(name, chars, DB_NAME_COLUMN_SIZE);
    }
    return TRUE;
}

static bool_t S_column_def(XDR *xdrs, DB_COLUMN_DEF *d, int32_t old)
{
    if (!(old ? S_old_name(xdrs, d->name) : zel_xdr_text(xdrs, d->name, sizeof d->name)) ||
        !zel_xdr_long(xdrs, &d->type) || !zel_xdr_long(xdrs, &d->size) ||
        !xdr_short(xdrs, &d->decimal_digits) || !xdr_int(xdrs, &d->nulls_allowed))
        return FALSE;
    if (old) {
        if (xdrs->x_op == XDR_DECODE)
            d->rowid_kind = DB_ROWID_NONE;
        return TRUE;
    }
    return xdr_short(xdrs, &d->rowid_kind);
}

int32_t xdrio_read_column_def(XDR *xdrs, int16_t *count, DB_COLUMN_DEF **defs, int32_t old)
{
    return S_read_new_array(xdrs, count, defs,
                            [&](DB_COLUMN_DEF *d) { return S_column_def(xdrs, d, old); });
}

int32_t xdrio_write_column_def(XDR *xdrs, int16_t count, const DB_COLUMN_DEF *defs, int32_t old)
{
    return S_write_array(xdrs, count, defs,
                         [&](DB_COLUMN_DEF *d) { return S_column_def(xdrs, d, old); });
}

int32_t xdrio_read_input_desc(XDR *xdrs, int16_t *count, VE_INPUT_DESC **descs)
{
    return S_read_new_array(xdrs, count, descs, [&](VE_INPUT_DESC *d) {
        return zel_xdr_long(xdrs, &d->type) && zel_xdr_long(xdrs, &d->width);
    });
}

int32_t xdrio_write_input_desc(XDR *xdrs, int16_t count, const VE_INPUT_DESC *descs)
{
    return S_write_array(xdrs, count, descs, [&](VE_INPUT_DESC *d) {
        return zel_xdr_long(xdrs, &d->type) && zel_xdr_long(xdrs, &d->width);
    });
}

int32_t xdrio_write_index_def(XDR *xdrs, int16_t count, const DB_INDEX_DEF *defs)
{
    int32_t rc = S_check_out(defs, count, INT16_MAX);
    for (int16_t i = 0; rc == 0 && i < count; i++) {
        const DB_INDEX_DEF &d = defs[i];
        if (d.column_count < 0 || d.column_count > DB_INDEX_MAX_COLUMNS)
            rc = ZE_INVALID_ARGUMENT;
        else if (d.column_count > 0 && (d.column_names == nullptr || d.column_order == nullptr))
            rc = ZE_NULL_POINTER;
    }
    if (rc != 0)
        return rc;
    int16_t n = count;
    if (!xdr_short(xdrs, &n))
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        DB_INDEX_DEF d = defs[i];
        if (!xdr_short(xdrs, &d.column_count))
            return ZE_FAILURE;
        for (int16_t j = 0; j < d.column_count; j++) {
            int32_t order = d.column_order[j];
            if (!S_put_texts(xdrs, &d.column_names[j], 1, DB_INDEX_COLUMN_NAME_SIZE - 1) ||
                !xdr_int(xdrs, &order))
                return ZE_FAILURE;
        }
        if (!zel_xdr_text(xdrs, d.index_name, sizeof d.index_name) || !xdr_int(xdrs, &d.unique))
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

int32_t xdrio_read_index_def(XDR *xdrs, int16_t *count, DB_INDEX_DEF **defs)
{
    int16_t n = 0;
    if (count == nullptr || defs == nullptr)
        return ZE_NULL_POINTER;
    if (!xdr_short(xdrs, &n) || n < 0)
        return ZE_FAILURE;
    // The array grows as definitions arrive; a failure frees what was made.
    DB_INDEX_DEF *array = nullptr;
    int16_t done = 0;
    auto fail = [&](int32_t rc) {
        ves_index_defs_free(array, done);
        return rc;
    };
    char name[DB_INDEX_COLUMN_NAME_SIZE];
    for (; done < n;) {
        if ((done & (done - 1)) == 0) { // a power of two (or 0): double the room
            size_t room = done == 0 ? 1 : static_cast<size_t>(done) * 2;
            auto *grown = static_cast<DB_INDEX_DEF *>(std::realloc(array, room * sizeof *array));
            if (grown == nullptr)
                return fail(ZE_BUFFER_NO_MEMORY);
            array = grown;
        }
        DB_INDEX_DEF &d = array[done];
        d = DB_INDEX_DEF{};
        int16_t m = 0;
        if (!xdr_short(xdrs, &m) || m < 0 || m > DB_INDEX_MAX_COLUMNS)
            return fail(ZE_FAILURE);
        done++;
        if (ves_index_def_alloc(&d) != 0)
            return fail(ZE_BUFFER_NO_MEMORY);
        for (int16_t j = 0; j < m; j++) {
            int32_t order = 0;
            if (!xdr_iomgr_text(xdrs, name, DB_INDEX_COLUMN_NAME_SIZE - 1) ||
                !xdr_int(xdrs, &order))
                return fail(ZE_FAILURE);
            if (ves_index_def_add_column(&d, name, order) != 0)
                return fail(ZE_BUFFER_NO_MEMORY);
        }
        if (!zel_xdr_text(xdrs, d.index_name, sizeof d.index_name) || !xdr_int(xdrs, &d.unique))
            return fail(ZE_FAILURE);
    }
    *count = n;
    *defs = array;
    return ZE_SUCCESS;
}

// ---- Spatial filters -------------------------------------------------------

// The part of a filter before its shape: table, column, type and, for an id
// filter, the id and its table.
static bool_t S_filter_head(XDR *xdrs, VE_FILTER *f)
{
    if (!zel_xdr_text(xdrs, f->table_name, sizeof f->table_name) ||
        !zel_xdr_text(xdrs, f->column_name, 32) || !zel_xdr_long(xdrs, &f->filter_type))
        return FALSE;
    if (f->filter_type == VE_ID_FILTER)
        return zel_xdr_long(xdrs, &f->id) &&
               zel_xdr_text(xdrs, f->filter_table, sizeof f->filter_table);
    return f->filter_type == VE_SHAPE_FILTER;
}

// The part after the shape: method, truth and, for a relation, its text.
static bool_t S_filter_tail(XDR *xdrs, VE_FILTER *f, char *relation)
{
    if (!zel_xdr_long(xdrs, &f->search_method) || !xdr_int(xdrs, &f->truth))
        return FALSE;
    if (f->search_method != SM_CBM)
        return TRUE;
    return xdr_iomgr_text(xdrs, relation, XDR_RELATION_ROOM - 1);
}

int32_t xdrio_write_filter_array(XDR *xdrs, bool records, int16_t count, const VE_FILTER *filters,
                                 int32_t old)
{
    int32_t rc = S_check_out(filters, count, INT16_MAX);
    for (int16_t i = 0; rc == 0 && i < count; i++) {
        const VE_FILTER &f = filters[i];
        if (f.filter_type != VE_SHAPE_FILTER && f.filter_type != VE_ID_FILTER)
            rc = ZE_INVALID_ARGUMENT;
        else if (f.filter_type == VE_SHAPE_FILTER &&
                 (f.shape == nullptr || f.shape->coordref == nullptr))
            rc = ZE_NULL_POINTER;
        else if (f.filter_type == VE_SHAPE_FILTER && f.shape->num_points < 0)
            rc = ZE_INVALID_ARGUMENT;
        else if (f.filter_type == VE_SHAPE_FILTER && f.shape->num_points > 0 &&
                 f.shape->points == nullptr)
            rc = ZE_NULL_POINTER;
    }
    if (rc != 0)
        return rc;
    int16_t n = count;
    if (!xdr_short(xdrs, &n))
        return ZE_FAILURE;
    for (int16_t i = 0; i < count; i++) {
        VE_FILTER f = filters[i];
        char relation[XDR_RELATION_ROOM] = {};
        if (f.search_method == SM_CBM && f.relation != nullptr)
            std::memcpy(relation, f.relation, strnlen(f.relation, XDR_RELATION_ROOM));
        if (!S_filter_head(xdrs, &f))
            return ZE_FAILURE;
        if (f.filter_type == VE_SHAPE_FILTER) {
            FEATURE_STRUCT shape = *f.shape;
            if ((rc = xdrio_feature(xdrs, &shape, 0)) != 0)
                return rc;
            if (!S_boundary(xdrs, records))
                return ZE_FAILURE;
            if ((rc = xdrio_coordref(xdrs, f.shape->coordref, old)) != 0)
                return rc;
            if (!S_boundary(xdrs, records))
                return ZE_FAILURE;
        }
        if (!S_filter_tail(xdrs, &f, relation))
            return ZE_FAILURE;
    }
    return ZE_SUCCESS;
}

int32_t xdrio_read_filter_array(XDR *xdrs, bool records, int16_t *count, VE_FILTER **filters,
                                int32_t old)
{
    int16_t n = 0;
    if (count == nullptr || filters == nullptr)
        return ZE_NULL_POINTER;
    if (!xdr_short(xdrs, &n) || n < 0)
        return ZE_FAILURE;
    if (n == 0) {
        *count = 0;
        *filters = nullptr;
        return ZE_SUCCESS;
    }
    // Filters and relation texts as they come; shapes are owned by the
    // vector until the block is made.
    struct Shape {
        void operator()(FEATURE_STRUCT *s) const
        {
            if (s == nullptr)
                return;
            MoxCoordRefFree(s->coordref);
            s->coordref = nullptr;
            VES_comp_feature_free(s);
            std::free(s);
        }
    };
    std::vector<VE_FILTER> got;
    std::vector<std::unique_ptr<FEATURE_STRUCT, Shape>> shapes;
    std::vector<std::string> relations;
    for (int16_t i = 0; i < n; i++) {
        VE_FILTER f{};
        char relation[XDR_RELATION_ROOM] = {};
        if (!S_filter_head(xdrs, &f))
            return ZE_FAILURE;
        shapes.emplace_back(nullptr);
        if (f.filter_type == VE_SHAPE_FILTER) {
            auto *shape = static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT)));
            if (shape == nullptr)
                return ZE_BUFFER_NO_MEMORY;
            shapes.back().reset(shape);
            int32_t rc = xdrio_feature(xdrs, shape, 1);
            if (rc != 0)
                return rc;
            if (!S_boundary(xdrs, records))
                return ZE_FAILURE;
            if ((rc = VES_map_shape_error_to_zel(MoxCoordRefCreate(&shape->coordref))) != 0)
                return rc;
            if ((rc = xdrio_coordref(xdrs, shape->coordref, old)) != 0)
                return rc;
            if (!S_boundary(xdrs, records))
                return ZE_FAILURE;
        }
        if (!S_filter_tail(xdrs, &f, relation))
            return ZE_FAILURE;
        f.relation = nullptr;
        got.push_back(f);
        relations.emplace_back(relation);
    }
    const size_t c = got.size();
    auto *array =
        static_cast<VE_FILTER *>(std::calloc(1, c * (sizeof(VE_FILTER) + XDR_RELATION_ROOM)));
    if (array == nullptr)
        return ZE_BUFFER_NO_MEMORY;
    char *slots = reinterpret_cast<char *>(array + c);
    for (size_t i = 0; i < c; i++) {
        array[i] = got[i];
        if (array[i].filter_type == VE_SHAPE_FILTER)
            array[i].shape = shapes[i].release();
        if (array[i].search_method == SM_CBM) {
            array[i].relation = slots + i * XDR_RELATION_ROOM;
            std::memcpy(array[i].relation, relations[i].c_str(), relations[i].size() + 1);
        }
    }
    *count = n;
    *filters = array;
    return ZE_SUCCESS;
}

// ---- SQL construct and query description -----------------------------------

// A clause as long n = strlen + 1 (0 for null) and n bytes with the
// terminator: opaque, or in the older release's form one character per int.
static int32_t S_put_clause(XDR *xdrs, const char *clause, bool chars)
{
    size_t length = clause != nullptr ? std::strlen(clause) : 0;
    if (length >= XDR_MAX_BYTES)
        return ZE_INVALID_ARGUMENT;
    int32_t n = clause != nullptr ? static_cast<int32_t>(length) + 1 : 0;
    if (!zel_xdr_long(xdrs, &n))
        return ZE_FAILURE;
    if (n == 0)
        return ZE_SUCCESS;
    char *text = const_cast<char *>(clause);
    if (chars)
        return S_ok(xdr_vector(xdrs, text, static_cast<u_int>(n), sizeof(char),
                               reinterpret_cast<xdrproc_t>(xdr_const_char)));
    return S_ok(xdr_opaque(xdrs, text, static_cast<u_int>(n)));
}

// The reader's clause: the bytes must end with the terminator. no_memory is
// the caller's code for a failed allocation.
static int32_t S_get_clause(XDR *xdrs, char **out, bool chars, int32_t no_memory)
{
    int32_t n = 0;
    *out = nullptr;
    if (!zel_xdr_long(xdrs, &n) || n < 0 || n > XDR_MAX_BYTES)
        return ZE_FAILURE;
    if (n == 0)
        return ZE_SUCCESS;
    int32_t rc = 0;
    std::unique_ptr<char, decltype(&std::free)> text(
        reinterpret_cast<char *>(
            S_read_as_it_comes(xdrs, static_cast<size_t>(n), 0, chars, no_memory, &rc)),
        std::free);
    if (text == nullptr)
        return rc;
    if (text.get()[n - 1] != '\0')
        return ZE_FAILURE;
    *out = text.release();
    return ZE_SUCCESS;
}

static int32_t S_write_construct(XDR *xdrs, const VE_SQL_CONSTRUCT *c, bool chars)
{
    int32_t t = c != nullptr ? c->num_tables : 0;
    if (t < 0)
        return ZE_INVALID_ARGUMENT;
    if (t > 0 && c->tables == nullptr)
        return ZE_NULL_POINTER;
    if (!zel_xdr_long(xdrs, &t) ||
        !S_put_texts(xdrs, t > 0 ? c->tables : nullptr, t, XDR_CONSTRUCT_TABLE_ROOM - 1))
        return ZE_FAILURE;
    return S_put_clause(xdrs, c != nullptr ? c->where : nullptr, chars);
}

// room and max: the slot of each received table name and its characters.
static int32_t S_read_construct(XDR *xdrs, VE_SQL_CONSTRUCT *c, bool chars, int32_t room,
                                uint32_t max, int32_t no_memory)
{
    int32_t t = 0;
    if (!zel_xdr_long(xdrs, &t) || t < 0)
        return ZE_FAILURE;
    std::vector<std::string> names;
    if (!S_get_texts(xdrs, t, max, names))
        return ZE_FAILURE;
    char *where = nullptr;
    int32_t rc = S_get_clause(xdrs, &where, chars, no_memory);
    if (rc != 0)
        return rc;
    char **tables = nullptr;
    if (S_string_array(names, room, &tables) != 0) {
        std::free(where);
        return no_memory;
    }
    c->num_tables = t;
    c->tables = tables;
    c->where = where;
    return ZE_SUCCESS;
}

int32_t xdrio_read_construct(XDR *xdrs, VE_SQL_CONSTRUCT *construct, int32_t old)
{
    if (construct == nullptr)
        return ZE_NULL_POINTER;
    return S_read_construct(xdrs, construct, old != 0, XDR_CONSTRUCT_TABLE_ROOM,
                            XDR_CONSTRUCT_TABLE_MAX, ZE_OUT_OF_MEMORY);
}

int32_t xdrio_write_construct(XDR *xdrs, const VE_SQL_CONSTRUCT *construct, int32_t old)
{
    return S_write_construct(xdrs, construct, old != 0);
}

// A long count and that many texts of at most max characters.
static int32_t S_put_counted(XDR *xdrs, int32_t count, char *const *texts, uint32_t max)
{
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    if (count > 0 && texts == nullptr)
        return ZE_NULL_POINTER;
    int32_t n = count;
    return S_ok(zel_xdr_long(xdrs, &n) && S_put_texts(xdrs, texts, count, max));
}

int32_t xdrio_write_queryinfo(XDR *xdrs, const VE_QUERYINFO *info)
{
    VE_QUERYINFO none{};
    const VE_QUERYINFO &q = info != nullptr ? *info : none;
    if (q.num_columns < 0 || q.num_hints < 0)
        return ZE_INVALID_ARGUMENT;
    if ((q.num_columns > 0 && q.columns == nullptr) || (q.num_hints > 0 && q.hints == nullptr) ||
        (q.construct != nullptr && q.construct->num_tables > 0 && q.construct->tables == nullptr))
        return ZE_NULL_POINTER;
    int32_t rc;
    int32_t type = q.query_type, last = q.last;
    if ((rc = S_put_counted(xdrs, q.num_columns, q.columns, XDR_QUERY_COLUMN_ROOM - 1)) != 0 ||
        (rc = S_write_construct(xdrs, q.construct, false)) != 0)
        return rc;
    if (!zel_xdr_long(xdrs, &type))
        return ZE_FAILURE;
    if ((rc = S_put_clause(xdrs, q.by_clause, false)) != 0 ||
        (rc = S_put_counted(xdrs, q.num_hints, q.hints, XDR_QUERY_HINT_ROOM - 1)) != 0 ||
        (rc = S_put_clause(xdrs, q.logfile, false)) != 0)
        return rc;
    return S_ok(zel_xdr_long(xdrs, &last));
}

int32_t xdrio_read_queryinfo(XDR *xdrs, VE_QUERYINFO *info)
{
    if (info == nullptr)
        return ZE_INVALID_QUERYINFO_OBJECT;
    // Everything into a record of its own; the caller's takes it at the end.
    VE_QUERYINFO q{};
    q.reserved = info->reserved;
    auto fail = [&](int32_t rc) {
        raw_queryinfo_clear(&q);
        return rc;
    };
    int32_t k = 0, h = 0;
    std::vector<std::string> columns, hints;
    if (!zel_xdr_long(xdrs, &k) || k < 0 || k > INT16_MAX ||
        !S_get_texts(xdrs, k, XDR_QUERY_COLUMN_ROOM - 1, columns))
        return ZE_FAILURE;
    int32_t rc = S_string_array(columns, XDR_QUERY_COLUMN_ROOM, &q.columns);
    if (rc != 0)
        return rc;
    q.num_columns = static_cast<int16_t>(k);
    q.construct = static_cast<VE_SQL_CONSTRUCT *>(std::calloc(1, sizeof(VE_SQL_CONSTRUCT)));
    if (q.construct == nullptr)
        return fail(ZE_FAILURE);
    if ((rc = S_read_construct(xdrs, q.construct, false, XDR_QUERY_TABLE_ROOM,
                               XDR_QUERY_TABLE_ROOM - 1, ZE_FAILURE)) != 0)
        return fail(rc);
    if (!zel_xdr_long(xdrs, &q.query_type))
        return fail(ZE_FAILURE);
    if ((rc = S_get_clause(xdrs, &q.by_clause, false, ZE_FAILURE)) != 0)
        return fail(rc);
    if (!zel_xdr_long(xdrs, &h) || h < 0 || !S_get_texts(xdrs, h, XDR_QUERY_HINT_ROOM - 1, hints))
        return fail(ZE_FAILURE);
    if ((rc = S_string_array(hints, XDR_QUERY_HINT_ROOM, &q.hints)) != 0)
        return fail(rc);
    q.num_hints = h;
    if ((rc = S_get_clause(xdrs, &q.logfile, false, ZE_FAILURE)) != 0)
        return fail(rc);
    if (!zel_xdr_long(xdrs, &q.last))
        return fail(ZE_FAILURE);
    *info = q;
    return ZE_SUCCESS;
}
