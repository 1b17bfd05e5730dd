// The codec of raw record images (base/system/raw_image_internal.h): one pack
// and one unpack per record, between the in-memory structs and the 32-bit
// little-endian images peers exchange. Each record's image is a table of its
// fields in image order; the Layout places them as the 32-bit compiler laid
// the record out (ints and pointers on 4, doubles on 8, shorts on 2, records
// rounded to their widest member), one generic pack and unpack walk the
// table, and the offsets and sizes peers depend on are asserted against it.
#include "base/system/raw_image_internal.h"

#include <bit>
#include <cstring>
#include <tuple>
#include <type_traits>

#include "mox/mox.h"

namespace
{

// Field offsets of a record as the 32-bit compiler assigns them.
struct Layout {
    uint32_t at = 0;
    uint32_t widest = 1;
    constexpr uint32_t put(uint32_t size, uint32_t align)
    {
        at = (at + align - 1) / align * align;
        uint32_t offset = at;
        at += size;
        if (align > widest)
            widest = align;
        return offset;
    }
    constexpr uint32_t size() const
    {
        return (at + widest - 1) / widest * widest;
    }
};

// ---- Field kinds -------------------------------------------------------------
//
// A field knows its member, its place (set by the Layout), and how it packs
// into and unpacks from the image. What a reader keeps (first words,
// pointers, owned arrays) its kind leaves alone on unpack.

// Common part: the member and its offset; whether it is a given member.
template <typename R, typename M> struct S_field {
    M R::*m;
    uint32_t at = 0;
    template <typename Q> constexpr bool is(Q R::*q) const
    {
        if constexpr (std::is_same_v<Q, M>)
            return m == q;
        else
            return false;
    }
};

// A 32-bit integer (signed, unsigned or an enumeration's word).
template <typename R, typename M> struct S_word : S_field<R, M> {
    constexpr void place(Layout &l)
    {
        this->at = l.put(4, 4);
    }
    void pack(const R &r, uint8_t *b) const
    {
        raw_put_i32(b + this->at, static_cast<int32_t>(r.*this->m));
    }
    void unpack(const uint8_t *b, R &r) const
    {
        r.*this->m = static_cast<M>(raw_get_i32(b + this->at));
    }
};

// A 32-bit word the sender sends and a reader keeps as its own.
template <typename R, typename M> struct S_kept : S_word<R, M> {
    void unpack(const uint8_t *, R &) const {}
};

// A 16-bit integer.
template <typename R, typename M> struct S_half : S_field<R, M> {
    constexpr void place(Layout &l)
    {
        this->at = l.put(2, 2);
    }
    void pack(const R &r, uint8_t *b) const
    {
        raw_put_i16(b + this->at, static_cast<int16_t>(r.*this->m));
    }
    void unpack(const uint8_t *b, R &r) const
    {
        r.*this->m = static_cast<M>(raw_get_i16(b + this->at));
    }
};

template <typename R> struct S_real : S_field<R, double> {
    constexpr void place(Layout &l)
    {
        this->at = l.put(8, 8);
    }
    void pack(const R &r, uint8_t *b) const
    {
        raw_put_f64(b + this->at, r.*this->m);
    }
    void unpack(const uint8_t *b, R &r) const
    {
        r.*this->m = raw_get_f64(b + this->at);
    }
};

// An array of N ints or doubles.
template <typename R, typename E, size_t N> struct S_array : S_field<R, E[N]> {
    static_assert(std::is_same_v<E, int32_t> || std::is_same_v<E, double>);
    constexpr void place(Layout &l)
    {
        this->at = l.put(static_cast<uint32_t>(sizeof(E) * N), sizeof(E));
    }
    void pack(const R &r, uint8_t *b) const
    {
        for (size_t i = 0; i < N; i++)
            if constexpr (std::is_same_v<E, double>)
                raw_put_f64(b + this->at + 8 * i, (r.*this->m)[i]);
            else
                raw_put_i32(b + this->at + 4 * i, (r.*this->m)[i]);
    }
    void unpack(const uint8_t *b, R &r) const
    {
        for (size_t i = 0; i < N; i++)
            if constexpr (std::is_same_v<E, double>)
                (r.*this->m)[i] = raw_get_f64(b + this->at + 8 * i);
            else
                (r.*this->m)[i] = raw_get_i32(b + this->at + 4 * i);
    }
};

// A text field of N bytes, n of them in the image: written up to its
// terminator (the rest of the image zero), read back always terminated
// within the field.
template <typename R, size_t N> struct S_text : S_field<R, char[N]> {
    uint32_t n = N;
    constexpr void place(Layout &l)
    {
        this->at = l.put(n, 1);
    }
    void pack(const R &r, uint8_t *b) const
    {
        const char *s = r.*this->m;
        std::memcpy(b + this->at, s, strnlen(s, n < N ? n : N));
    }
    void unpack(const uint8_t *b, R &r) const
    {
        char *dst = r.*this->m;
        std::memset(dst, 0, N);
        std::memcpy(dst, b + this->at, n < N ? n : N - 1);
        dst[N - 1] = '\0';
    }
};

// A pointer as its presence word (1 set, 0 null). The reader keeps its own
// pointer, or with Clear sets it to null.
template <typename R, typename P, bool Clear> struct S_presence : S_field<R, P *> {
    constexpr void place(Layout &l)
    {
        this->at = l.put(4, 4);
    }
    void pack(const R &r, uint8_t *b) const
    {
        raw_put_i32(b + this->at, r.*this->m != nullptr ? 1 : 0);
    }
    void unpack(const uint8_t *, R &r) const
    {
        if constexpr (Clear)
            r.*this->m = nullptr;
    }
};

// An envelope: four longs (ENVELOPE) or four doubles (VE_ENVELOPE).
template <typename R> struct S_box : S_field<R, ENVELOPE> {
    constexpr void place(Layout &l)
    {
        this->at = l.put(16, 4);
    }
    void pack(const R &r, uint8_t *b) const
    {
        const ENVELOPE &e = r.*this->m;
        const int32_t v[4] = {e.minx, e.miny, e.maxx, e.maxy};
        for (uint32_t i = 0; i < 4; i++)
            raw_put_i32(b + this->at + 4 * i, v[i]);
    }
    void unpack(const uint8_t *b, R &r) const
    {
        const uint8_t *p = b + this->at;
        r.*this->m =
            ENVELOPE{raw_get_i32(p), raw_get_i32(p + 4), raw_get_i32(p + 8), raw_get_i32(p + 12)};
    }
};

template <typename R> struct S_real_box : S_field<R, VE_ENVELOPE> {
    constexpr void place(Layout &l)
    {
        this->at = l.put(32, 8);
    }
    void pack(const R &r, uint8_t *b) const
    {
        const VE_ENVELOPE &e = r.*this->m;
        const double v[4] = {e.minx, e.miny, e.maxx, e.maxy};
        for (uint32_t i = 0; i < 4; i++)
            raw_put_f64(b + this->at + 8 * i, v[i]);
    }
    void unpack(const uint8_t *b, R &r) const
    {
        const uint8_t *p = b + this->at;
        r.*this->m = VE_ENVELOPE{raw_get_f64(p), raw_get_f64(p + 8), raw_get_f64(p + 16),
                                 raw_get_f64(p + 24)};
    }
};

// Bytes the record does not use: zero in the image, ignored by a reader.
struct S_gap {
    uint32_t size, align;
    uint32_t at = 0;
    constexpr void place(Layout &l)
    {
        at = l.put(size, align);
    }
    template <typename R> void pack(const R &, uint8_t *) const {}
    template <typename R> void unpack(const uint8_t *, R &) const {}
    template <typename M> constexpr bool is(M) const
    {
        return false;
    }
};

// ---- A record's image ----------------------------------------------------------

template <typename R, typename... F> struct S_image_of {
    std::tuple<F...> fields;
    uint32_t size;
    // The offset of a member's field (its first one when a member has two).
    template <typename M> constexpr uint32_t at(M R::*m) const
    {
        uint32_t found = UINT32_MAX;
        const auto look = [&](const auto &f) {
            if (found == UINT32_MAX && f.is(m))
                found = f.at;
        };
        std::apply([&](const auto &...f) { (look(f), ...); }, fields);
        return found;
    }
    void pack(const R &r, uint8_t *image) const
    {
        std::memset(image, 0, size);
        std::apply([&](const auto &...f) { (f.pack(r, image), ...); }, fields);
    }
    void unpack(const uint8_t *image, R &r) const
    {
        std::apply([&](const auto &...f) { (f.unpack(image, r), ...); }, fields);
    }
};

// The image of R from its fields in image order.
template <typename R, typename... F> constexpr S_image_of<R, F...> S_image(F... fields)
{
    Layout l;
    (fields.place(l), ...);
    return {std::tuple<F...>(fields...), l.size()};
}

// Field makers: the member decides the kind's types.
template <typename R, typename M> constexpr S_word<R, M> word(M R::*m)
{
    return {{m}};
}
template <typename R, typename M> constexpr S_kept<R, M> kept(M R::*m)
{
    return {{{m}}};
}
template <typename R, typename M> constexpr S_half<R, M> half(M R::*m)
{
    return {{m}};
}
template <typename R> constexpr S_real<R> real(double R::*m)
{
    return {{m}};
}
template <typename R, typename E, size_t N> constexpr S_array<R, E, N> array(E (R::*m)[N])
{
    return {{m}};
}
template <typename R, size_t N> constexpr S_text<R, N> text(char (R::*m)[N], uint32_t n = N)
{
    return {{m}, n};
}
template <typename R, typename P> constexpr S_presence<R, P, false> presence(P *R::*m)
{
    return {{m}};
}
template <typename R, typename P> constexpr S_presence<R, P, true> cleared(P *R::*m)
{
    return {{m}};
}
template <typename R> constexpr S_box<R> box(ENVELOPE R::*m)
{
    return {{m}};
}
template <typename R> constexpr S_real_box<R> box(VE_ENVELOPE R::*m)
{
    return {{m}};
}
constexpr S_gap gap(uint32_t size = 4, uint32_t align = 4)
{
    return {size, align};
}

} // namespace

// ---- Numbers ---------------------------------------------------------------

void raw_put_i32(uint8_t *b, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
    b[2] = static_cast<uint8_t>(v >> 16);
    b[3] = static_cast<uint8_t>(v >> 24);
}

int32_t raw_get_i32(const uint8_t *b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 |
                                static_cast<uint32_t>(b[3]) << 24);
}

void raw_put_i16(uint8_t *b, int16_t value)
{
    uint16_t v = static_cast<uint16_t>(value);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
}

int16_t raw_get_i16(const uint8_t *b)
{
    return static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
}

void raw_put_f32(uint8_t *b, float value)
{
    raw_put_i32(b, std::bit_cast<int32_t>(value));
}

float raw_get_f32(const uint8_t *b)
{
    return std::bit_cast<float>(raw_get_i32(b));
}

void raw_put_f64(uint8_t *b, double value)
{
    uint64_t v = std::bit_cast<uint64_t>(value);
    raw_put_i32(b, static_cast<int32_t>(static_cast<uint32_t>(v)));
    raw_put_i32(b + 4, static_cast<int32_t>(static_cast<uint32_t>(v >> 32)));
}

double raw_get_f64(const uint8_t *b)
{
    uint64_t lo = static_cast<uint32_t>(raw_get_i32(b));
    uint64_t hi = static_cast<uint32_t>(raw_get_i32(b + 4));
    return std::bit_cast<double>(lo | hi << 32);
}

// ---- Envelope, date ----------------------------------------------------------

namespace
{
constexpr auto kEnvelope = S_image<ENVELOPE>(word(&ENVELOPE::minx), word(&ENVELOPE::miny),
                                             word(&ENVELOPE::maxx), word(&ENVELOPE::maxy));
static_assert(kEnvelope.size == RAW_ENVELOPE_IMAGE);

// The nine fields of a C calendar time, in their order.
constexpr auto kDate =
    S_image<VE_DATE>(word(&VE_DATE::tm_sec), word(&VE_DATE::tm_min), word(&VE_DATE::tm_hour),
                     word(&VE_DATE::tm_mday), word(&VE_DATE::tm_mon), word(&VE_DATE::tm_year),
                     word(&VE_DATE::tm_wday), word(&VE_DATE::tm_yday), word(&VE_DATE::tm_isdst));
static_assert(kDate.size == RAW_DATE_IMAGE);
} // namespace

void raw_pack_date(const VE_DATE *d, uint8_t *image)
{
    kDate.pack(*d, image);
}

void raw_unpack_date(const uint8_t *image, VE_DATE *d)
{
    *d = VE_DATE{};
    kDate.unpack(image, *d);
}

// ---- Feature -------------------------------------------------------------------

namespace
{
// The first 96 bytes of the record; the compressed buffer and annotation
// fields behind them stay home.
constexpr auto kFeature = S_image<FEATURE_STRUCT>(
    kept(&FEATURE_STRUCT::reserved1), word(&FEATURE_STRUCT::wire_field),
    word(&FEATURE_STRUCT::feature_id), word(&FEATURE_STRUCT::num_points),
    half(&FEATURE_STRUCT::entity_type), box(&FEATURE_STRUCT::envelope),
    array(&FEATURE_STRUCT::wire_fields), real(&FEATURE_STRUCT::area), real(&FEATURE_STRUCT::length),
    presence(&FEATURE_STRUCT::points), presence(&FEATURE_STRUCT::z_values),
    presence(&FEATURE_STRUCT::measures), kept(&FEATURE_STRUCT::allocated_points),
    kept(&FEATURE_STRUCT::reserved2), presence(&FEATURE_STRUCT::coordref));
static_assert(kFeature.at(&FEATURE_STRUCT::feature_id) == 8 &&
              kFeature.at(&FEATURE_STRUCT::num_points) == 12 &&
              kFeature.at(&FEATURE_STRUCT::entity_type) == 16);
static_assert(kFeature.at(&FEATURE_STRUCT::points) == 72 &&
              kFeature.at(&FEATURE_STRUCT::z_values) == 76 &&
              kFeature.at(&FEATURE_STRUCT::measures) == 80 &&
              kFeature.at(&FEATURE_STRUCT::coordref) == 92);
static_assert(kFeature.size == RAW_FEATURE_IMAGE);
} // namespace

void raw_pack_feature(const FEATURE_STRUCT *f, uint8_t *image)
{
    kFeature.pack(*f, image);
}

uint32_t raw_unpack_feature(const uint8_t *image, FEATURE_STRUCT *f)
{
    kFeature.unpack(image, *f);
    const auto sent = [&](auto member) { return raw_get_i32(image + kFeature.at(member)) != 0; };
    return (sent(&FEATURE_STRUCT::points) ? RAW_HAS_POINTS : 0u) |
           (sent(&FEATURE_STRUCT::z_values) ? RAW_HAS_Z : 0u) |
           (sent(&FEATURE_STRUCT::measures) ? RAW_HAS_MEASURES : 0u) |
           (sent(&FEATURE_STRUCT::coordref) ? RAW_HAS_COORDREF : 0u);
}

// ---- Coordinate reference --------------------------------------------------------

namespace
{
constexpr auto kCoordref = S_image<COORDREF>(
    kept(&COORDREF::lib_word1), real(&COORDREF::falsex), real(&COORDREF::falsey),
    real(&COORDREF::xyunits), real(&COORDREF::xy_rounding), real(&COORDREF::xy_half_unit),
    real(&COORDREF::falsez), real(&COORDREF::zunits), real(&COORDREF::z_rounding),
    real(&COORDREF::z_half_unit), real(&COORDREF::falsem), real(&COORDREF::munits),
    real(&COORDREF::m_rounding), real(&COORDREF::m_half_unit), kept(&COORDREF::lib_word2),
    presence(&COORDREF::srtext), word(&COORDREF::srid));
static_assert(kCoordref.at(&COORDREF::falsex) == 8 && kCoordref.at(&COORDREF::lib_word2) == 112 &&
              kCoordref.at(&COORDREF::srtext) == 116 && kCoordref.at(&COORDREF::srid) == 120);
// The old image ends where the srid begins.
static_assert(kCoordref.size == RAW_COORDREF_IMAGE &&
              kCoordref.at(&COORDREF::srid) == RAW_COORDREF_OLD_IMAGE);

// ---- Layer -----------------------------------------------------------------------

constexpr auto kLayer = S_image<LAYER>(
    gap(), word(&LAYER::layer_id), real(&LAYER::minx), real(&LAYER::miny), real(&LAYER::maxx),
    real(&LAYER::maxy), text(&LAYER::description), array(&LAYER::grid_size), word(&LAYER::eflags),
    text(&LAYER::database_name), text(&LAYER::owner), text(&LAYER::table_name),
    text(&LAYER::spatial_column), word(&LAYER::cdate), word(&LAYER::privileges),
    text(&LAYER::layer_config), word(&LAYER::optimal_array_size), word(&LAYER::stats_date),
    word(&LAYER::minimum_id), presence(&LAYER::coordref), word(&LAYER::layer_mask),
    word(&LAYER::base_layer_id));
static_assert(kLayer.at(&LAYER::layer_id) == 4 && kLayer.at(&LAYER::minx) == 8 &&
              kLayer.at(&LAYER::coordref) == 440);
// The old image ends before the layer mask's successor.
static_assert(kLayer.at(&LAYER::layer_mask) == 444 &&
              kLayer.at(&LAYER::base_layer_id) == RAW_LAYER_OLD_IMAGE);
static_assert(kLayer.size == RAW_LAYER_IMAGE);

// ---- Column definition -----------------------------------------------------------

constexpr auto kColumnDef =
    S_image<DB_COLUMN_DEF>(text(&DB_COLUMN_DEF::name), word(&DB_COLUMN_DEF::type),
                           word(&DB_COLUMN_DEF::size), half(&DB_COLUMN_DEF::decimal_digits),
                           word(&DB_COLUMN_DEF::nulls_allowed), half(&DB_COLUMN_DEF::rowid_kind));
static_assert(kColumnDef.at(&DB_COLUMN_DEF::rowid_kind) == RAW_COLUMN_DEF_OLD_IMAGE &&
              kColumnDef.size == RAW_COLUMN_DEF_IMAGE);

// ---- Spatial filter ----------------------------------------------------------------

// The word the shape pointer and the id share: a shape filter sends the
// shape's presence, any other filter its id. The reader clears the shape or
// sets the id (the filter type comes before it).
struct S_shape_or_id {
    uint32_t at = 0;
    constexpr void place(Layout &l)
    {
        at = l.put(4, 4);
    }
    void pack(const VE_FILTER &f, uint8_t *b) const
    {
        raw_put_i32(b + at, f.filter_type == VE_SHAPE_FILTER ? (f.shape != nullptr ? 1 : 0) : f.id);
    }
    void unpack(const uint8_t *b, VE_FILTER &f) const
    {
        f.shape = nullptr;
        if (f.filter_type != VE_SHAPE_FILTER)
            f.id = raw_get_i32(b + at);
    }
    template <typename M> constexpr bool is(M) const
    {
        return false;
    }
};

// The column field covers the two padding bytes before the filter type.
constexpr auto kFilter = S_image<VE_FILTER>(
    text(&VE_FILTER::table_name), text(&VE_FILTER::column_name), word(&VE_FILTER::filter_type),
    S_shape_or_id{}, text(&VE_FILTER::filter_table), word(&VE_FILTER::search_method),
    word(&VE_FILTER::truth), word(&VE_FILTER::reserved), cleared(&VE_FILTER::relation));
static_assert(kFilter.at(&VE_FILTER::filter_type) == 260 &&
              kFilter.at(&VE_FILTER::search_method) == 496 &&
              kFilter.at(&VE_FILTER::relation) == 508);
static_assert(kFilter.at(&VE_FILTER::reserved) == RAW_FILTER_OLD_IMAGE &&
              kFilter.size == RAW_FILTER_IMAGE);

// ---- Release -----------------------------------------------------------------------

// The older engine's description has 64 bytes.
constexpr auto S_release_image(uint32_t description)
{
    return S_image<RELEASE>(word(&RELEASE::major), word(&RELEASE::minor), word(&RELEASE::bugfix),
                            text(&RELEASE::description, description), word(&RELEASE::release));
}
constexpr auto kRelease = S_release_image(VE_RELEASE_DESCRIPTION_SIZE);
constexpr auto kReleaseOld = S_release_image(64);
static_assert(kRelease.size == RAW_RELEASE_IMAGE && kReleaseOld.size == RAW_RELEASE_OLD_IMAGE);
} // namespace

void raw_unpack_release_old(const uint8_t *image, RELEASE *r)
{
    kReleaseOld.unpack(image, *r);
}

// ---- Statistics --------------------------------------------------------------------

namespace
{
constexpr auto kGridStats = S_image<VE_GRID_STATS>(
    word(&VE_GRID_STATS::index_records), word(&VE_GRID_STATS::features),
    word(&VE_GRID_STATS::grid_cells), array(&VE_GRID_STATS::group_counts),
    word(&VE_GRID_STATS::max_features_per_cell), word(&VE_GRID_STATS::features_inside));
static_assert(kGridStats.size == 13 * 4);

// The grid levels, each in its own image.
struct S_levels {
    uint32_t at = 0;
    constexpr void place(Layout &l)
    {
        at = l.put(kGridStats.size * VE_SPIDX_LEVELS, 4);
    }
    void pack(const VE_SPIDX_STATS &s, uint8_t *b) const
    {
        for (uint32_t level = 0; level < VE_SPIDX_LEVELS; level++)
            kGridStats.pack(s.levels[level], b + at + kGridStats.size * level);
    }
    void unpack(const uint8_t *b, VE_SPIDX_STATS &s) const
    {
        for (uint32_t level = 0; level < VE_SPIDX_LEVELS; level++)
            kGridStats.unpack(b + at + kGridStats.size * level, s.levels[level]);
    }
    template <typename M> constexpr bool is(M) const
    {
        return false;
    }
};

constexpr auto kSpidxStats =
    S_image<VE_SPIDX_STATS>(text(&VE_SPIDX_STATS::table_name), text(&VE_SPIDX_STATS::column_name),
                            word(&VE_SPIDX_STATS::num_grids), S_levels{});
static_assert(kSpidxStats.at(&VE_SPIDX_STATS::num_grids) == 260 &&
              kSpidxStats.size == RAW_SPIDX_STATS_IMAGE);

// The layer id, the nine entity counts and the total; the envelope; the
// dates, ids and point counts; the area and length ranges and the averages.
constexpr auto kLayerStats = S_image<VE_LAYER_STATS>(
    word(&VE_LAYER_STATS::layer_id), word(&VE_LAYER_STATS::nils), word(&VE_LAYER_STATS::points),
    word(&VE_LAYER_STATS::multi_points), word(&VE_LAYER_STATS::lines),
    word(&VE_LAYER_STATS::multi_lines), word(&VE_LAYER_STATS::simple_lines),
    word(&VE_LAYER_STATS::multi_simple_lines), word(&VE_LAYER_STATS::areas),
    word(&VE_LAYER_STATS::multi_areas), word(&VE_LAYER_STATS::total_features),
    box(&VE_LAYER_STATS::envelope), word(&VE_LAYER_STATS::last_modified),
    word(&VE_LAYER_STATS::min_fid), word(&VE_LAYER_STATS::max_fid),
    word(&VE_LAYER_STATS::min_points), word(&VE_LAYER_STATS::max_points),
    real(&VE_LAYER_STATS::min_area), real(&VE_LAYER_STATS::max_area),
    real(&VE_LAYER_STATS::min_length), real(&VE_LAYER_STATS::max_length),
    real(&VE_LAYER_STATS::avg_points), real(&VE_LAYER_STATS::avg_area),
    real(&VE_LAYER_STATS::avg_length));
static_assert(kLayerStats.at(&VE_LAYER_STATS::envelope) == 48 &&
              kLayerStats.at(&VE_LAYER_STATS::min_area) == 104 &&
              kLayerStats.size == RAW_LAYER_STATS_IMAGE);

// ---- Locks ---------------------------------------------------------------------------

constexpr auto kLayerLocks =
    S_image<VE_LAYER_LOCKS>(text(&VE_LAYER_LOCKS::user_name), word(&VE_LAYER_LOCKS::lock_type),
                            box(&VE_LAYER_LOCKS::envelope));
static_assert(kLayerLocks.at(&VE_LAYER_LOCKS::envelope) == 40 &&
              kLayerLocks.size == RAW_LAYER_LOCKS_IMAGE);
// Table and version locks: a user name and a long.
constexpr auto kTableLock =
    S_image<VE_TABLE_LOCK>(text(&VE_TABLE_LOCK::user_name), word(&VE_TABLE_LOCK::lock_type));
constexpr auto kVersionLock =
    S_image<VE_VERSION_LOCK>(text(&VE_VERSION_LOCK::user_name), word(&VE_VERSION_LOCK::lock_mode));
static_assert(kTableLock.size == RAW_TABLE_LOCK_IMAGE &&
              kVersionLock.size == RAW_VERSION_LOCK_IMAGE);
constexpr auto kObjectLock =
    S_image<VE_OBJECT_LOCK>(word(&VE_OBJECT_LOCK::server_pid), text(&VE_OBJECT_LOCK::owner),
                            word(&VE_OBJECT_LOCK::object_id), word(&VE_OBJECT_LOCK::object_type),
                            word(&VE_OBJECT_LOCK::application), half(&VE_OBJECT_LOCK::lock_type));
static_assert(kObjectLock.at(&VE_OBJECT_LOCK::object_id) == 40 &&
              kObjectLock.at(&VE_OBJECT_LOCK::lock_type) == 52 &&
              kObjectLock.size == RAW_OBJECT_LOCK_IMAGE);

// ---- Registration, metadata ----------------------------------------------------------

constexpr auto kRegistration = S_image<REGISTRATION>(
    text(&REGISTRATION::tag), word(&REGISTRATION::registration_id),
    text(&REGISTRATION::database_name), text(&REGISTRATION::owner), text(&REGISTRATION::table_name),
    text(&REGISTRATION::rowid_column), text(&REGISTRATION::description),
    word(&REGISTRATION::object_flags), word(&REGISTRATION::registration_date),
    word(&REGISTRATION::permissions), text(&REGISTRATION::config_keyword),
    word(&REGISTRATION::minimum_id), text(&REGISTRATION::imv_view_name));
static_assert(kRegistration.size == RAW_REGISTRATION_IMAGE);

constexpr auto kMetadata = S_image<METADATA>(
    kept(&METADATA::reserved), word(&METADATA::record_id), text(&METADATA::object_name),
    text(&METADATA::object_owner), word(&METADATA::object_type), text(&METADATA::class_name),
    text(&METADATA::property), text(&METADATA::prop_value), text(&METADATA::description),
    word(&METADATA::creation_date));
static_assert(kMetadata.at(&METADATA::creation_date) == 588 &&
              kMetadata.size == RAW_METADATA_IMAGE);

// ---- Raster records ------------------------------------------------------------------

// The word after the column name carries the column mask, the two words
// after the creation date the lowest raster id and the base column.
constexpr auto kRasterColumn = S_image<RASTERCOLUMN>(
    gap(), word(&RASTERCOLUMN::rastercolumn_id), text(&RASTERCOLUMN::description),
    text(&RASTERCOLUMN::database_name), text(&RASTERCOLUMN::owner), text(&RASTERCOLUMN::table_name),
    text(&RASTERCOLUMN::raster_column), word(&RASTERCOLUMN::rastercolumn_mask),
    word(&RASTERCOLUMN::privileges), text(&RASTERCOLUMN::config_keyword),
    word(&RASTERCOLUMN::cdate), word(&RASTERCOLUMN::minimum_id),
    word(&RASTERCOLUMN::base_rastercolumn_id), presence(&RASTERCOLUMN::coordref));
static_assert(kRasterColumn.at(&RASTERCOLUMN::coordref) == 380 &&
              kRasterColumn.size == RAW_RASTERCOLUMN_IMAGE);

// A first word the reader keeps, then the band; the word between the
// colormap and bitmap pointers carries the check mask.
constexpr auto kRasterBand = S_image<RASTERBAND>(
    gap(), word(&RASTERBAND::rasterband_id), word(&RASTERBAND::sequence_nbr),
    word(&RASTERBAND::cdate), word(&RASTERBAND::mdate), word(&RASTERBAND::band_flags),
    word(&RASTERBAND::band_types), word(&RASTERBAND::band_width), word(&RASTERBAND::band_height),
    word(&RASTERBAND::block_width), word(&RASTERBAND::block_height),
    real(&RASTERBAND::block_origin_x), real(&RASTERBAND::block_origin_y),
    word(&RASTERBAND::raster_id), word(&RASTERBAND::rastercolumn_id), box(&RASTERBAND::extent),
    text(&RASTERBAND::name, 64), cleared(&RASTERBAND::statistics), cleared(&RASTERBAND::colormap),
    word(&RASTERBAND::check_mask), cleared(&RASTERBAND::bitmap));
static_assert(kRasterBand.at(&RASTERBAND::statistics) == 168 &&
              kRasterBand.at(&RASTERBAND::colormap) == 172 &&
              kRasterBand.at(&RASTERBAND::bitmap) == 180);
static_assert(kRasterBand.size == RAW_RASTERBAND_IMAGE);

constexpr auto kRaster = S_image<RASTER>(
    gap(), word(&RASTER::raster_id), word(&RASTER::rastercolumn_id), text(&RASTER::description));
static_assert(kRaster.size == RAW_RASTER_IMAGE);

constexpr auto kRasterAttr = S_image<RASTERATTR>(array(&RASTERATTR::w), box(&RASTERATTR::envelope),
                                                 array(&RASTERATTR::tail));
static_assert(kRasterAttr.at(&RASTERATTR::envelope) == 28 * 4 &&
              kRasterAttr.size == RAW_RASTERATTR_IMAGE);

constexpr auto kRasConstraint = S_image<RASCONSTRAINT>(
    kept(&RASCONSTRAINT::reserved), word(&RASCONSTRAINT::level), word(&RASCONSTRAINT::band_count),
    presence(&RASCONSTRAINT::band_numbers), word(&RASCONSTRAINT::window_flag),
    word(&RASCONSTRAINT::min_column), word(&RASCONSTRAINT::min_row),
    word(&RASCONSTRAINT::max_column), word(&RASCONSTRAINT::max_row), word(&RASCONSTRAINT::order));
static_assert(kRasConstraint.at(&RASCONSTRAINT::band_count) == 8 &&
              kRasConstraint.at(&RASCONSTRAINT::band_numbers) == 12 &&
              kRasConstraint.size == RAW_RASCONSTRAINT_IMAGE);
} // namespace

void raw_pack_rastercolumn(const RASTERCOLUMN *c, uint8_t *image)
{
    kRasterColumn.pack(*c, image);
}

uint32_t raw_unpack_rastercolumn(const uint8_t *image, RASTERCOLUMN *c)
{
    kRasterColumn.unpack(image, *c);
    return raw_get_i32(image + kRasterColumn.at(&RASTERCOLUMN::coordref)) != 0 ? RAW_HAS_COORDREF
                                                                               : 0u;
}

void raw_pack_rasterattr(const RASTERATTR *a, uint8_t *image)
{
    kRasterAttr.pack(*a, image);
}

void raw_unpack_rasterattr(const uint8_t *image, RASTERATTR *a)
{
    const int32_t count = a->w[RASTERATTR_ARRAY_COUNT];
    kRasterAttr.unpack(image, *a);
    a->w[RASTERATTR_ARRAY_COUNT] = count;
}

// ---- State, version, log file ----------------------------------------------------------

namespace
{
constexpr auto kState = S_image<STATE>(
    text(&STATE::tag), word(&STATE::state_id), text(&STATE::owner), word(&STATE::creation_time),
    word(&STATE::closing_time), word(&STATE::lineage_length), presence(&STATE::lineage));
static_assert(kState.at(&STATE::lineage) == 52 && kState.size == RAW_STATE_IMAGE);

constexpr auto kVersion = S_image<VERSION>(
    text(&VERSION::tag), text(&VERSION::name), text(&VERSION::owner), word(&VERSION::version_id),
    word(&VERSION::status), word(&VERSION::state_id), text(&VERSION::description),
    text(&VERSION::parent_name), text(&VERSION::parent_owner), word(&VERSION::parent_version_id),
    word(&VERSION::creation_time));
static_assert(kVersion.size == RAW_VERSION_IMAGE);

// The registration of a log file, in its own image.
struct S_registration {
    uint32_t at = 0;
    constexpr void place(Layout &l)
    {
        at = l.put(kRegistration.size, 4);
    }
    void pack(const LOGFILE &f, uint8_t *b) const
    {
        kRegistration.pack(f.registration, b + at);
    }
    void unpack(const uint8_t *b, LOGFILE &f) const
    {
        kRegistration.unpack(b + at, f.registration);
    }
    template <typename M> constexpr bool is(M m) const
    {
        if constexpr (std::is_same_v<M, REGISTRATION LOGFILE::*>)
            return m == &LOGFILE::registration;
        else
            return false;
    }
};

constexpr auto kLogfile =
    S_image<LOGFILE>(text(&LOGFILE::tag), text(&LOGFILE::name), text(&LOGFILE::table_name),
                     text(&LOGFILE::spatial_column), word(&LOGFILE::registration_id),
                     word(&LOGFILE::logfile_id), word(&LOGFILE::data_id), word(&LOGFILE::flags),
                     word(&LOGFILE::session_tag), word(&LOGFILE::layer_id), S_registration{});
static_assert(kLogfile.at(&LOGFILE::registration) == 512 && kLogfile.size == RAW_LOGFILE_IMAGE);

// ---- Spatial reference, locator, input descriptor -------------------------------------

constexpr auto kSpatialRef =
    S_image<VE_SPATIALREF>(gap(), word(&VE_SPATIALREF::srid), text(&VE_SPATIALREF::description),
                           text(&VE_SPATIALREF::auth_name), word(&VE_SPATIALREF::auth_srid),
                           presence(&VE_SPATIALREF::coordref));
static_assert(kSpatialRef.at(&VE_SPATIALREF::coordref) == 332 &&
              kSpatialRef.size == RAW_SPATIALREF_IMAGE);

constexpr auto kLocator =
    S_image<LOCATOR>(kept(&LOCATOR::reserved), word(&LOCATOR::locator_id), text(&LOCATOR::name),
                     text(&LOCATOR::owner), text(&LOCATOR::category), word(&LOCATOR::type),
                     text(&LOCATOR::description), word(&LOCATOR::property_count),
                     presence(&LOCATOR::property_names), presence(&LOCATOR::property_values));
static_assert(kLocator.at(&LOCATOR::property_count) == 172 &&
              kLocator.at(&LOCATOR::property_names) == 176 &&
              kLocator.at(&LOCATOR::property_values) == 180);
static_assert(kLocator.size == RAW_LOCATOR_IMAGE);

constexpr auto kInputDesc =
    S_image<VE_INPUT_DESC>(word(&VE_INPUT_DESC::type), word(&VE_INPUT_DESC::width));
static_assert(kInputDesc.size == RAW_INPUT_DESC_IMAGE);
} // namespace

// ---- The codecs ------------------------------------------------------------------

// A record whose pack and unpack are its image's.
#define S_CODEC(NAME, T, IMAGE)                                                                    \
    void raw_pack_##NAME(const T *record, uint8_t *image)                                          \
    {                                                                                              \
        IMAGE.pack(*record, image);                                                                \
    }                                                                                              \
    void raw_unpack_##NAME(const uint8_t *image, T *record)                                        \
    {                                                                                              \
        IMAGE.unpack(image, *record);                                                              \
    }

S_CODEC(envelope, ENVELOPE, kEnvelope)
S_CODEC(coordref, COORDREF, kCoordref)
S_CODEC(layer, LAYER, kLayer)
S_CODEC(column_def, DB_COLUMN_DEF, kColumnDef)
S_CODEC(filter, VE_FILTER, kFilter)
S_CODEC(release, RELEASE, kRelease)
S_CODEC(spidx_stats, VE_SPIDX_STATS, kSpidxStats)
S_CODEC(layer_stats, VE_LAYER_STATS, kLayerStats)
S_CODEC(layer_locks, VE_LAYER_LOCKS, kLayerLocks)
S_CODEC(table_lock, VE_TABLE_LOCK, kTableLock)
S_CODEC(version_lock, VE_VERSION_LOCK, kVersionLock)
S_CODEC(object_lock, VE_OBJECT_LOCK, kObjectLock)
S_CODEC(registration, REGISTRATION, kRegistration)
S_CODEC(metadata, METADATA, kMetadata)
S_CODEC(rasterband, RASTERBAND, kRasterBand)
S_CODEC(raster, RASTER, kRaster)
S_CODEC(rasconstraint, RASCONSTRAINT, kRasConstraint)
S_CODEC(state, STATE, kState)
S_CODEC(version, VERSION, kVersion)
S_CODEC(logfile, LOGFILE, kLogfile)
S_CODEC(spatialref, VE_SPATIALREF, kSpatialRef)
S_CODEC(locator, LOCATOR, kLocator)
S_CODEC(input_desc, VE_INPUT_DESC, kInputDesc)
#undef S_CODEC
