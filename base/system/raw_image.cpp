// The codec of raw record images (base/system/raw_image_internal.h): one pack
// and one unpack per record, between the in-memory structs and the 32-bit
// little-endian images peers exchange. Each image's layout is computed here as
// the 32-bit compiler laid the record out (ints and pointers on 4, doubles on
// 8, shorts on 2, records rounded to their widest member), and the offsets
// and sizes peers depend on are asserted against it.
#include "base/system/raw_image_internal.h"

#include <bit>
#include <cstring>

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
    constexpr uint32_t i32()
    {
        return put(4, 4);
    }
    constexpr uint32_t i16()
    {
        return put(2, 2);
    }
    constexpr uint32_t f64()
    {
        return put(8, 8);
    }
    constexpr uint32_t ptr()
    {
        return put(4, 4);
    }
    constexpr uint32_t text(uint32_t n)
    {
        return put(n, 1);
    }
    constexpr uint32_t ints(uint32_t n)
    {
        return put(4 * n, 4);
    }
    constexpr uint32_t envelope()
    {
        return put(32, 8);
    }
    constexpr uint32_t size() const
    {
        return (at + widest - 1) / widest * widest;
    }
};

// ---- Writing and reading an image -----------------------------------------

class S_out
{
  public:
    S_out(uint8_t *image, size_t size) : b_(image)
    {
        std::memset(image, 0, size);
    }
    void i32(uint32_t at, int32_t v)
    {
        raw_put_i32(b_ + at, v);
    }
    void u32(uint32_t at, uint32_t v)
    {
        raw_put_i32(b_ + at, static_cast<int32_t>(v));
    }
    void i16(uint32_t at, int16_t v)
    {
        raw_put_i16(b_ + at, v);
    }
    void f64(uint32_t at, double v)
    {
        raw_put_f64(b_ + at, v);
    }
    void presence(uint32_t at, const void *p)
    {
        raw_put_i32(b_ + at, p != nullptr ? 1 : 0);
    }
    // Up to the terminator, at most n bytes; the rest stays zero.
    void text(uint32_t at, const char *s, size_t n)
    {
        std::memcpy(b_ + at, s, strnlen(s, n));
    }
    void envelope(uint32_t at, const VE_ENVELOPE &e)
    {
        f64(at, e.minx);
        f64(at + 8, e.miny);
        f64(at + 16, e.maxx);
        f64(at + 24, e.maxy);
    }
    void ints(uint32_t at, const int32_t *v, size_t n)
    {
        for (size_t i = 0; i < n; i++)
            i32(static_cast<uint32_t>(at + 4 * i), v[i]);
    }

  private:
    uint8_t *b_;
};

class S_in
{
  public:
    explicit S_in(const uint8_t *image) : b_(image) {}
    int32_t i32(uint32_t at) const
    {
        return raw_get_i32(b_ + at);
    }
    uint32_t u32(uint32_t at) const
    {
        return static_cast<uint32_t>(raw_get_i32(b_ + at));
    }
    int16_t i16(uint32_t at) const
    {
        return raw_get_i16(b_ + at);
    }
    double f64(uint32_t at) const
    {
        return raw_get_f64(b_ + at);
    }
    bool presence(uint32_t at) const
    {
        return raw_get_i32(b_ + at) != 0;
    }
    // n bytes from the image into a field of `field` bytes (at least n), always
    // terminated within the field.
    void text(uint32_t at, char *dst, size_t n, size_t field) const
    {
        std::memset(dst, 0, field);
        std::memcpy(dst, b_ + at, n < field ? n : field - 1);
        dst[field - 1] = '\0';
    }
    void envelope(uint32_t at, VE_ENVELOPE &e) const
    {
        e.minx = f64(at);
        e.miny = f64(at + 8);
        e.maxx = f64(at + 16);
        e.maxy = f64(at + 24);
    }
    void ints(uint32_t at, int32_t *v, size_t n) const
    {
        for (size_t i = 0; i < n; i++)
            v[i] = i32(static_cast<uint32_t>(at + 4 * i));
    }

  private:
    const uint8_t *b_;
};

template <size_t N> constexpr size_t S_len(const char (&)[N])
{
    return N;
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

// ---- Envelope, date --------------------------------------------------------

void raw_pack_envelope(const ENVELOPE *e, uint8_t *image)
{
    const int32_t v[4] = {e->minx, e->miny, e->maxx, e->maxy};
    S_out(image, RAW_ENVELOPE_IMAGE).ints(0, v, 4);
}

void raw_unpack_envelope(const uint8_t *image, ENVELOPE *e)
{
    int32_t v[4];
    S_in(image).ints(0, v, 4);
    *e = ENVELOPE{v[0], v[1], v[2], v[3]};
}

void raw_pack_date(const VE_DATE *d, uint8_t *image)
{
    const int32_t v[9] = {d->tm_sec,  d->tm_min,  d->tm_hour, d->tm_mday, d->tm_mon,
                          d->tm_year, d->tm_wday, d->tm_yday, d->tm_isdst};
    S_out(image, RAW_DATE_IMAGE).ints(0, v, 9);
}

void raw_unpack_date(const uint8_t *image, VE_DATE *d)
{
    int32_t v[9];
    S_in(image).ints(0, v, 9);
    *d = VE_DATE{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
}

// ---- Feature ---------------------------------------------------------------

namespace
{
struct FeatureImage {
    uint32_t first, wire_field, feature_id, num_points, entity_type, envelope, wire_fields, area,
        length, points, z_values, measures, allocated_points, reserved2, coordref, sent;
};
constexpr FeatureImage S_feature_image()
{
    Layout l;
    FeatureImage o{};
    o.first = l.i32();
    o.wire_field = l.i32();
    o.feature_id = l.i32();
    o.num_points = l.i32();
    o.entity_type = l.i16();
    o.envelope = l.ints(4);
    o.wire_fields = l.ints(4);
    o.area = l.f64();
    o.length = l.f64();
    o.points = l.ptr();
    o.z_values = l.ptr();
    o.measures = l.ptr();
    o.allocated_points = l.i32();
    o.reserved2 = l.i32();
    o.coordref = l.ptr();
    o.sent = l.at; // the compressed buffer and annotation fields behind stay home
    return o;
}
constexpr FeatureImage FI = S_feature_image();
static_assert(FI.feature_id == 8 && FI.num_points == 12 && FI.entity_type == 16);
static_assert(FI.points == 72 && FI.z_values == 76 && FI.measures == 80 && FI.coordref == 92);
static_assert(FI.sent == RAW_FEATURE_IMAGE);
} // namespace

void raw_pack_feature(const FEATURE_STRUCT *f, uint8_t *image)
{
    S_out o(image, RAW_FEATURE_IMAGE);
    o.u32(FI.first, f->reserved1);
    o.i32(FI.wire_field, f->wire_field);
    o.i32(FI.feature_id, f->feature_id);
    o.i32(FI.num_points, f->num_points);
    o.i16(FI.entity_type, static_cast<int16_t>(f->entity_type));
    const int32_t envelope[4] = {f->envelope.minx, f->envelope.miny, f->envelope.maxx,
                                 f->envelope.maxy};
    o.ints(FI.envelope, envelope, 4);
    o.ints(FI.wire_fields, f->wire_fields, 4);
    o.f64(FI.area, f->area);
    o.f64(FI.length, f->length);
    o.presence(FI.points, f->points);
    o.presence(FI.z_values, f->z_values);
    o.presence(FI.measures, f->measures);
    o.i32(FI.allocated_points, f->allocated_points);
    o.u32(FI.reserved2, f->reserved2);
    o.presence(FI.coordref, f->coordref);
}

uint32_t raw_unpack_feature(const uint8_t *image, FEATURE_STRUCT *f)
{
    S_in in(image);
    f->wire_field = in.i32(FI.wire_field);
    f->feature_id = in.i32(FI.feature_id);
    f->num_points = in.i32(FI.num_points);
    f->entity_type = static_cast<uint16_t>(in.i16(FI.entity_type));
    f->envelope = ENVELOPE{in.i32(FI.envelope), in.i32(FI.envelope + 4), in.i32(FI.envelope + 8),
                           in.i32(FI.envelope + 12)};
    in.ints(FI.wire_fields, f->wire_fields, 4);
    f->area = in.f64(FI.area);
    f->length = in.f64(FI.length);
    return (in.presence(FI.points) ? RAW_HAS_POINTS : 0u) |
           (in.presence(FI.z_values) ? RAW_HAS_Z : 0u) |
           (in.presence(FI.measures) ? RAW_HAS_MEASURES : 0u) |
           (in.presence(FI.coordref) ? RAW_HAS_COORDREF : 0u);
}

// ---- Coordinate reference --------------------------------------------------

namespace
{
struct CoordrefImage {
    uint32_t first, falsex, falsey, xyunits, xy_rounding, xy_half_unit, falsez, zunits, z_rounding,
        z_half_unit, falsem, munits, m_rounding, m_half_unit, second, srtext, srid, size;
};
constexpr CoordrefImage S_coordref_image()
{
    Layout l;
    CoordrefImage o{};
    o.first = l.i32();
    o.falsex = l.f64();
    o.falsey = l.f64();
    o.xyunits = l.f64();
    o.xy_rounding = l.f64();
    o.xy_half_unit = l.f64();
    o.falsez = l.f64();
    o.zunits = l.f64();
    o.z_rounding = l.f64();
    o.z_half_unit = l.f64();
    o.falsem = l.f64();
    o.munits = l.f64();
    o.m_rounding = l.f64();
    o.m_half_unit = l.f64();
    o.second = l.i32();
    o.srtext = l.ptr();
    o.srid = l.i32();
    o.size = l.size();
    return o;
}
constexpr CoordrefImage CI = S_coordref_image();
static_assert(CI.falsex == 8 && CI.second == 112 && CI.srtext == 116 && CI.srid == 120);
static_assert(CI.size == RAW_COORDREF_IMAGE && CI.srid == RAW_COORDREF_OLD_IMAGE);
} // namespace

void raw_pack_coordref(const COORDREF *c, uint8_t *image)
{
    S_out o(image, RAW_COORDREF_IMAGE);
    o.i32(CI.first, c->lib_word1);
    const double v[13] = {c->falsex, c->falsey,     c->xyunits,    c->xy_rounding, c->xy_half_unit,
                          c->falsez, c->zunits,     c->z_rounding, c->z_half_unit, c->falsem,
                          c->munits, c->m_rounding, c->m_half_unit};
    for (uint32_t i = 0; i < 13; i++)
        o.f64(CI.falsex + 8 * i, v[i]);
    o.i32(CI.second, c->lib_word2);
    o.presence(CI.srtext, c->srtext);
    o.i32(CI.srid, c->srid);
}

void raw_unpack_coordref(const uint8_t *image, COORDREF *c)
{
    S_in in(image);
    double *v[13] = {&c->falsex, &c->falsey,     &c->xyunits,    &c->xy_rounding, &c->xy_half_unit,
                     &c->falsez, &c->zunits,     &c->z_rounding, &c->z_half_unit, &c->falsem,
                     &c->munits, &c->m_rounding, &c->m_half_unit};
    for (uint32_t i = 0; i < 13; i++)
        *v[i] = in.f64(CI.falsex + 8 * i);
    c->srid = in.i32(CI.srid);
}

// ---- Layer -----------------------------------------------------------------

namespace
{
struct LayerImage {
    uint32_t first, layer_id, extent, description, grid_size, eflags, database_name, owner,
        table_name, spatial_column, cdate, privileges, layer_config, optimal_array_size, stats_date,
        minimum_id, coordref, layer_mask, base_layer_id, size;
};
constexpr LayerImage S_layer_image()
{
    Layout l;
    LayerImage o{};
    o.first = l.i32();
    o.layer_id = l.i32();
    o.extent = l.envelope();
    o.description = l.text(64);
    o.grid_size = l.put(24, 8);
    o.eflags = l.i32();
    o.database_name = l.text(32);
    o.owner = l.text(32);
    o.table_name = l.text(160);
    o.spatial_column = l.text(32);
    o.cdate = l.i32();
    o.privileges = l.i32();
    o.layer_config = l.text(32);
    o.optimal_array_size = l.i32();
    o.stats_date = l.i32();
    o.minimum_id = l.i32();
    o.coordref = l.ptr();
    o.layer_mask = l.i32();
    o.base_layer_id = l.i32();
    o.size = l.size();
    return o;
}
constexpr LayerImage LI = S_layer_image();
static_assert(LI.layer_id == 4 && LI.extent == 8 && LI.coordref == 440);
static_assert(LI.layer_mask == 444 && LI.base_layer_id == RAW_LAYER_OLD_IMAGE);
static_assert(LI.size == RAW_LAYER_IMAGE);
} // namespace

void raw_pack_layer(const LAYER *layer, uint8_t *image)
{
    S_out o(image, RAW_LAYER_IMAGE);
    o.i32(LI.layer_id, layer->layer_id);
    o.envelope(LI.extent, VE_ENVELOPE{layer->minx, layer->miny, layer->maxx, layer->maxy});
    o.text(LI.description, layer->description, S_len(layer->description));
    for (uint32_t i = 0; i < 3; i++)
        o.f64(LI.grid_size + 8 * i, layer->grid_size[i]);
    o.u32(LI.eflags, layer->eflags);
    o.text(LI.database_name, layer->database_name, S_len(layer->database_name));
    o.text(LI.owner, layer->owner, S_len(layer->owner));
    o.text(LI.table_name, layer->table_name, S_len(layer->table_name));
    o.text(LI.spatial_column, layer->spatial_column, S_len(layer->spatial_column));
    o.i32(LI.cdate, layer->cdate);
    o.u32(LI.privileges, layer->privileges);
    o.text(LI.layer_config, layer->layer_config, S_len(layer->layer_config));
    o.i32(LI.optimal_array_size, layer->optimal_array_size);
    o.i32(LI.stats_date, layer->stats_date);
    o.i32(LI.minimum_id, layer->minimum_id);
    o.presence(LI.coordref, layer->coordref);
    o.u32(LI.layer_mask, layer->layer_mask);
    o.i32(LI.base_layer_id, layer->base_layer_id);
}

void raw_unpack_layer(const uint8_t *image, LAYER *layer)
{
    S_in in(image);
    layer->layer_id = in.i32(LI.layer_id);
    VE_ENVELOPE e;
    in.envelope(LI.extent, e);
    layer->minx = e.minx;
    layer->miny = e.miny;
    layer->maxx = e.maxx;
    layer->maxy = e.maxy;
    in.text(LI.description, layer->description, 64, S_len(layer->description));
    for (uint32_t i = 0; i < 3; i++)
        layer->grid_size[i] = in.f64(LI.grid_size + 8 * i);
    layer->eflags = in.u32(LI.eflags);
    in.text(LI.database_name, layer->database_name, 32, S_len(layer->database_name));
    in.text(LI.owner, layer->owner, 32, S_len(layer->owner));
    in.text(LI.table_name, layer->table_name, 160, S_len(layer->table_name));
    in.text(LI.spatial_column, layer->spatial_column, 32, S_len(layer->spatial_column));
    layer->cdate = in.i32(LI.cdate);
    layer->privileges = in.u32(LI.privileges);
    in.text(LI.layer_config, layer->layer_config, 32, S_len(layer->layer_config));
    layer->optimal_array_size = in.i32(LI.optimal_array_size);
    layer->stats_date = in.i32(LI.stats_date);
    layer->minimum_id = in.i32(LI.minimum_id);
    layer->layer_mask = in.u32(LI.layer_mask);
    layer->base_layer_id = in.i32(LI.base_layer_id);
}

// ---- Column definition -----------------------------------------------------

namespace
{
struct ColumnDefImage {
    uint32_t name, type, size_field, decimal_digits, nulls_allowed, rowid_kind, size;
};
constexpr ColumnDefImage S_column_def_image()
{
    Layout l;
    ColumnDefImage o{};
    o.name = l.text(32);
    o.type = l.i32();
    o.size_field = l.i32();
    o.decimal_digits = l.i16();
    o.nulls_allowed = l.i32();
    o.rowid_kind = l.i16();
    o.size = l.size();
    return o;
}
constexpr ColumnDefImage DI = S_column_def_image();
static_assert(DI.rowid_kind == RAW_COLUMN_DEF_OLD_IMAGE && DI.size == RAW_COLUMN_DEF_IMAGE);
} // namespace

void raw_pack_column_def(const DB_COLUMN_DEF *def, uint8_t *image)
{
    S_out o(image, RAW_COLUMN_DEF_IMAGE);
    o.text(DI.name, def->name, S_len(def->name));
    o.i32(DI.type, def->type);
    o.i32(DI.size_field, def->size);
    o.i16(DI.decimal_digits, def->decimal_digits);
    o.i32(DI.nulls_allowed, def->nulls_allowed);
    o.i16(DI.rowid_kind, def->rowid_kind);
}

void raw_unpack_column_def(const uint8_t *image, DB_COLUMN_DEF *def)
{
    S_in in(image);
    in.text(DI.name, def->name, 32, S_len(def->name));
    def->type = in.i32(DI.type);
    def->size = in.i32(DI.size_field);
    def->decimal_digits = in.i16(DI.decimal_digits);
    def->nulls_allowed = in.i32(DI.nulls_allowed);
    def->rowid_kind = in.i16(DI.rowid_kind);
}

// ---- Spatial filter --------------------------------------------------------

namespace
{
struct FilterImage {
    uint32_t table_name, column_name, filter_type, shape_or_id, filter_table, search_method, truth,
        reserved, relation, size;
};
constexpr FilterImage S_filter_image()
{
    Layout l;
    FilterImage o{};
    o.table_name = l.text(226);
    o.column_name = l.text(32);
    o.filter_type = l.i32();
    o.shape_or_id = l.i32();
    o.filter_table = l.text(226);
    o.search_method = l.i32();
    o.truth = l.i32();
    o.reserved = l.i32();
    o.relation = l.ptr();
    o.size = l.size();
    return o;
}
constexpr FilterImage VI = S_filter_image();
static_assert(VI.filter_type == 260 && VI.search_method == 496 && VI.relation == 508);
static_assert(VI.reserved == RAW_FILTER_OLD_IMAGE && VI.size == RAW_FILTER_IMAGE);
// The column field's two padding bytes sit before the filter type; the
// in-memory field covers them.
static_assert(sizeof(VE_FILTER{}.column_name) == 260 - 226);
} // namespace

void raw_pack_filter(const VE_FILTER *filter, uint8_t *image)
{
    S_out o(image, RAW_FILTER_IMAGE);
    o.text(VI.table_name, filter->table_name, S_len(filter->table_name));
    o.text(VI.column_name, filter->column_name, S_len(filter->column_name));
    o.i32(VI.filter_type, filter->filter_type);
    if (filter->filter_type == VE_SHAPE_FILTER)
        o.presence(VI.shape_or_id, filter->shape);
    else
        o.i32(VI.shape_or_id, filter->id);
    o.text(VI.filter_table, filter->filter_table, S_len(filter->filter_table));
    o.i32(VI.search_method, filter->search_method);
    o.i32(VI.truth, filter->truth);
    o.i32(VI.reserved, filter->reserved);
    o.presence(VI.relation, filter->relation);
}

void raw_unpack_filter(const uint8_t *image, VE_FILTER *filter)
{
    S_in in(image);
    in.text(VI.table_name, filter->table_name, 226, S_len(filter->table_name));
    in.text(VI.column_name, filter->column_name, S_len(filter->column_name),
            S_len(filter->column_name));
    filter->filter_type = in.i32(VI.filter_type);
    filter->shape = nullptr;
    if (filter->filter_type != VE_SHAPE_FILTER)
        filter->id = in.i32(VI.shape_or_id);
    in.text(VI.filter_table, filter->filter_table, 226, S_len(filter->filter_table));
    filter->search_method = in.i32(VI.search_method);
    filter->truth = in.i32(VI.truth);
    filter->reserved = in.i32(VI.reserved);
    filter->relation = nullptr;
}

// ---- Release ---------------------------------------------------------------

namespace
{
struct ReleaseImage {
    uint32_t major, minor, bugfix, description, release, size;
};
constexpr ReleaseImage S_release_image(uint32_t description)
{
    Layout l;
    ReleaseImage o{};
    o.major = l.i32();
    o.minor = l.i32();
    o.bugfix = l.i32();
    o.description = l.text(description);
    o.release = l.i32();
    o.size = l.size();
    return o;
}
constexpr ReleaseImage RI = S_release_image(VE_RELEASE_DESCRIPTION_SIZE);
constexpr ReleaseImage RO = S_release_image(64);
static_assert(RI.size == RAW_RELEASE_IMAGE && RO.size == RAW_RELEASE_OLD_IMAGE);
} // namespace

void raw_pack_release(const RELEASE *r, uint8_t *image)
{
    S_out o(image, RAW_RELEASE_IMAGE);
    o.i32(RI.major, r->major);
    o.i32(RI.minor, r->minor);
    o.i32(RI.bugfix, r->bugfix);
    o.text(RI.description, r->description, S_len(r->description));
    o.i32(RI.release, r->release);
}

static void S_unpack_release(const uint8_t *image, const ReleaseImage &layout, uint32_t text,
                             RELEASE *r)
{
    S_in in(image);
    r->major = in.i32(layout.major);
    r->minor = in.i32(layout.minor);
    r->bugfix = in.i32(layout.bugfix);
    in.text(layout.description, r->description, text, S_len(r->description));
    r->release = in.i32(layout.release);
}

void raw_unpack_release(const uint8_t *image, RELEASE *r)
{
    S_unpack_release(image, RI, VE_RELEASE_DESCRIPTION_SIZE, r);
}

void raw_unpack_release_old(const uint8_t *image, RELEASE *r)
{
    S_unpack_release(image, RO, 64, r);
}

// ---- Statistics ------------------------------------------------------------

namespace
{
struct SpidxImage {
    uint32_t table_name, column_name, num_grids, grids, size;
};
constexpr SpidxImage S_spidx_image()
{
    Layout l;
    SpidxImage o{};
    o.table_name = l.text(226);
    o.column_name = l.text(32);
    o.num_grids = l.i32();
    o.grids = l.ints(13 * VE_SPIDX_LEVELS);
    o.size = l.size();
    return o;
}
constexpr SpidxImage SI = S_spidx_image();
static_assert(SI.num_grids == 260 && SI.size == RAW_SPIDX_STATS_IMAGE);
static_assert(sizeof(VE_GRID_STATS) == 13 * 4);

struct LayerStatsImage {
    uint32_t counts, envelope, last_modified, min_fid, max_fid, min_points, max_points, doubles,
        size;
};
constexpr LayerStatsImage S_layer_stats_image()
{
    Layout l;
    LayerStatsImage o{};
    o.counts = l.ints(11); // layer id, the nine entity counts, the total
    o.envelope = l.envelope();
    o.last_modified = l.i32();
    o.min_fid = l.i32();
    o.max_fid = l.i32();
    o.min_points = l.i32();
    o.max_points = l.i32();
    o.doubles = l.put(7 * 8, 8); // area and length ranges, the three averages
    o.size = l.size();
    return o;
}
constexpr LayerStatsImage LS = S_layer_stats_image();
static_assert(LS.envelope == 48 && LS.doubles == 104 && LS.size == RAW_LAYER_STATS_IMAGE);
} // namespace

static void S_grid_words(const VE_GRID_STATS &g, int32_t w[13])
{
    w[0] = g.index_records;
    w[1] = g.features;
    w[2] = g.grid_cells;
    for (int i = 0; i < VE_SPIDX_GROUPS; i++)
        w[3 + i] = g.group_counts[i];
    w[11] = g.max_features_per_cell;
    w[12] = g.features_inside;
}

void raw_pack_spidx_stats(const VE_SPIDX_STATS *s, uint8_t *image)
{
    S_out o(image, RAW_SPIDX_STATS_IMAGE);
    o.text(SI.table_name, s->table_name, S_len(s->table_name));
    o.text(SI.column_name, s->column_name, S_len(s->column_name));
    o.i32(SI.num_grids, s->num_grids);
    for (uint32_t level = 0; level < VE_SPIDX_LEVELS; level++) {
        int32_t w[13];
        S_grid_words(s->levels[level], w);
        o.ints(SI.grids + 52 * level, w, 13);
    }
}

void raw_unpack_spidx_stats(const uint8_t *image, VE_SPIDX_STATS *s)
{
    S_in in(image);
    in.text(SI.table_name, s->table_name, 226, S_len(s->table_name));
    in.text(SI.column_name, s->column_name, 32, S_len(s->column_name));
    s->num_grids = in.i32(SI.num_grids);
    for (uint32_t level = 0; level < VE_SPIDX_LEVELS; level++) {
        int32_t w[13];
        in.ints(SI.grids + 52 * level, w, 13);
        VE_GRID_STATS &g = s->levels[level];
        g.index_records = w[0];
        g.features = w[1];
        g.grid_cells = w[2];
        for (int i = 0; i < VE_SPIDX_GROUPS; i++)
            g.group_counts[i] = w[3 + i];
        g.max_features_per_cell = w[11];
        g.features_inside = w[12];
    }
}

void raw_pack_layer_stats(const VE_LAYER_STATS *s, uint8_t *image)
{
    S_out o(image, RAW_LAYER_STATS_IMAGE);
    const int32_t counts[11] = {
        s->layer_id, s->nils,        s->points,        s->multi_points,
        s->lines,    s->multi_lines, s->simple_lines,  s->multi_simple_lines,
        s->areas,    s->multi_areas, s->total_features};
    o.ints(LS.counts, counts, 11);
    o.envelope(LS.envelope, s->envelope);
    o.u32(LS.last_modified, s->last_modified);
    o.i32(LS.min_fid, s->min_fid);
    o.i32(LS.max_fid, s->max_fid);
    o.i32(LS.min_points, s->min_points);
    o.i32(LS.max_points, s->max_points);
    const double d[7] = {s->min_area,   s->max_area, s->min_length, s->max_length,
                         s->avg_points, s->avg_area, s->avg_length};
    for (uint32_t i = 0; i < 7; i++)
        o.f64(LS.doubles + 8 * i, d[i]);
}

void raw_unpack_layer_stats(const uint8_t *image, VE_LAYER_STATS *s)
{
    S_in in(image);
    int32_t *counts[11] = {&s->layer_id, &s->nils,        &s->points,        &s->multi_points,
                           &s->lines,    &s->multi_lines, &s->simple_lines,  &s->multi_simple_lines,
                           &s->areas,    &s->multi_areas, &s->total_features};
    for (uint32_t i = 0; i < 11; i++)
        *counts[i] = in.i32(LS.counts + 4 * i);
    in.envelope(LS.envelope, s->envelope);
    s->last_modified = in.u32(LS.last_modified);
    s->min_fid = in.i32(LS.min_fid);
    s->max_fid = in.i32(LS.max_fid);
    s->min_points = in.i32(LS.min_points);
    s->max_points = in.i32(LS.max_points);
    double *d[7] = {&s->min_area,   &s->max_area, &s->min_length, &s->max_length,
                    &s->avg_points, &s->avg_area, &s->avg_length};
    for (uint32_t i = 0; i < 7; i++)
        *d[i] = in.f64(LS.doubles + 8 * i);
}

// ---- Locks -----------------------------------------------------------------

namespace
{
struct NamedLockImage {
    uint32_t user_name, lock_type, envelope, size;
};
constexpr NamedLockImage S_named_lock_image(bool with_envelope)
{
    Layout l;
    NamedLockImage o{};
    o.user_name = l.text(DB_USER_NAME_SIZE);
    o.lock_type = l.i32();
    o.envelope = with_envelope ? l.envelope() : 0;
    o.size = l.size();
    return o;
}
constexpr NamedLockImage KL = S_named_lock_image(true);
constexpr NamedLockImage KT = S_named_lock_image(false);
static_assert(KL.envelope == 40 && KL.size == RAW_LAYER_LOCKS_IMAGE);
static_assert(KT.size == RAW_TABLE_LOCK_IMAGE && KT.size == RAW_VERSION_LOCK_IMAGE);

struct ObjectLockImage {
    uint32_t server_pid, owner, object_id, object_type, application_id, lock_type, size;
};
constexpr ObjectLockImage S_object_lock_image()
{
    Layout l;
    ObjectLockImage o{};
    o.server_pid = l.i32();
    o.owner = l.text(33);
    o.object_id = l.i32();
    o.object_type = l.i32();
    o.application_id = l.i32();
    o.lock_type = l.i16();
    o.size = l.size();
    return o;
}
constexpr ObjectLockImage KO = S_object_lock_image();
static_assert(KO.object_id == 40 && KO.lock_type == 52 && KO.size == RAW_OBJECT_LOCK_IMAGE);
} // namespace

void raw_pack_layer_locks(const VE_LAYER_LOCKS *lock, uint8_t *image)
{
    S_out o(image, RAW_LAYER_LOCKS_IMAGE);
    o.text(KL.user_name, lock->user_name, S_len(lock->user_name));
    o.i32(KL.lock_type, lock->lock_type);
    o.envelope(KL.envelope, lock->envelope);
}

void raw_unpack_layer_locks(const uint8_t *image, VE_LAYER_LOCKS *lock)
{
    S_in in(image);
    in.text(KL.user_name, lock->user_name, DB_USER_NAME_SIZE, S_len(lock->user_name));
    lock->lock_type = in.i32(KL.lock_type);
    in.envelope(KL.envelope, lock->envelope);
}

// Table and version locks share one image: a user name and a long.
template <typename T, int32_t T::*Word> static void S_pack_named_lock(const T *lock, uint8_t *image)
{
    S_out o(image, RAW_TABLE_LOCK_IMAGE);
    o.text(KT.user_name, lock->user_name, S_len(lock->user_name));
    o.i32(KT.lock_type, lock->*Word);
}

template <typename T, int32_t T::*Word>
static void S_unpack_named_lock(const uint8_t *image, T *lock)
{
    S_in in(image);
    in.text(KT.user_name, lock->user_name, DB_USER_NAME_SIZE, S_len(lock->user_name));
    lock->*Word = in.i32(KT.lock_type);
}

void raw_pack_table_lock(const VE_TABLE_LOCK *lock, uint8_t *image)
{
    S_pack_named_lock<VE_TABLE_LOCK, &VE_TABLE_LOCK::lock_type>(lock, image);
}

void raw_unpack_table_lock(const uint8_t *image, VE_TABLE_LOCK *lock)
{
    S_unpack_named_lock<VE_TABLE_LOCK, &VE_TABLE_LOCK::lock_type>(image, lock);
}

void raw_pack_version_lock(const VE_VERSION_LOCK *lock, uint8_t *image)
{
    S_pack_named_lock<VE_VERSION_LOCK, &VE_VERSION_LOCK::lock_mode>(lock, image);
}

void raw_unpack_version_lock(const uint8_t *image, VE_VERSION_LOCK *lock)
{
    S_unpack_named_lock<VE_VERSION_LOCK, &VE_VERSION_LOCK::lock_mode>(image, lock);
}

void raw_pack_object_lock(const VE_OBJECT_LOCK *lock, uint8_t *image)
{
    S_out o(image, RAW_OBJECT_LOCK_IMAGE);
    o.i32(KO.server_pid, lock->server_pid);
    o.text(KO.owner, lock->owner, S_len(lock->owner));
    o.i32(KO.object_id, lock->object_id);
    o.i32(KO.object_type, lock->object_type);
    o.i32(KO.application_id, lock->application);
    o.i16(KO.lock_type, lock->lock_type);
}

void raw_unpack_object_lock(const uint8_t *image, VE_OBJECT_LOCK *lock)
{
    S_in in(image);
    lock->server_pid = in.i32(KO.server_pid);
    in.text(KO.owner, lock->owner, 33, S_len(lock->owner));
    lock->object_id = in.i32(KO.object_id);
    lock->object_type = in.i32(KO.object_type);
    lock->application = in.i32(KO.application_id);
    lock->lock_type = in.i16(KO.lock_type);
}

// ---- Registration, metadata ------------------------------------------------

namespace
{
struct RegistrationImage {
    uint32_t tag, registration_id, database_name, owner, table_name, rowid_column, description,
        object_flags, registration_date, permissions, config_keyword, minimum_id, imv_view_name,
        size;
};
constexpr RegistrationImage S_registration_image()
{
    Layout l;
    RegistrationImage o{};
    o.tag = l.text(4);
    o.registration_id = l.i32();
    o.database_name = l.text(32);
    o.owner = l.text(32);
    o.table_name = l.text(160);
    o.rowid_column = l.text(32);
    o.description = l.text(64);
    o.object_flags = l.i32();
    o.registration_date = l.i32();
    o.permissions = l.i32();
    o.config_keyword = l.text(32);
    o.minimum_id = l.i32();
    o.imv_view_name = l.text(160);
    o.size = l.size();
    return o;
}
constexpr RegistrationImage GI = S_registration_image();
static_assert(GI.size == RAW_REGISTRATION_IMAGE);

struct MetadataImage {
    uint32_t first, record_id, object_name, object_owner, object_type, class_name, property,
        prop_value, description, creation_date, size;
};
constexpr MetadataImage S_metadata_image()
{
    Layout l;
    MetadataImage o{};
    o.first = l.i32();
    o.record_id = l.i32();
    o.object_name = l.text(160);
    o.object_owner = l.text(32);
    o.object_type = l.i32();
    o.class_name = l.text(32);
    o.property = l.text(32);
    o.prop_value = l.text(255);
    o.description = l.text(64);
    o.creation_date = l.i32();
    o.size = l.size();
    return o;
}
constexpr MetadataImage MI = S_metadata_image();
static_assert(MI.creation_date == 588 && MI.size == RAW_METADATA_IMAGE);
} // namespace

void raw_pack_registration(const REGISTRATION *r, uint8_t *image)
{
    S_out o(image, RAW_REGISTRATION_IMAGE);
    o.text(GI.tag, r->tag, S_len(r->tag));
    o.i32(GI.registration_id, r->registration_id);
    o.text(GI.database_name, r->database_name, S_len(r->database_name));
    o.text(GI.owner, r->owner, S_len(r->owner));
    o.text(GI.table_name, r->table_name, S_len(r->table_name));
    o.text(GI.rowid_column, r->rowid_column, S_len(r->rowid_column));
    o.text(GI.description, r->description, S_len(r->description));
    o.u32(GI.object_flags, r->object_flags);
    o.u32(GI.registration_date, r->registration_date);
    o.i32(GI.permissions, r->permissions);
    o.text(GI.config_keyword, r->config_keyword, S_len(r->config_keyword));
    o.u32(GI.minimum_id, r->minimum_id);
    o.text(GI.imv_view_name, r->imv_view_name, S_len(r->imv_view_name));
}

void raw_unpack_registration(const uint8_t *image, REGISTRATION *r)
{
    S_in in(image);
    in.text(GI.tag, r->tag, 4, S_len(r->tag));
    r->registration_id = in.i32(GI.registration_id);
    in.text(GI.database_name, r->database_name, 32, S_len(r->database_name));
    in.text(GI.owner, r->owner, 32, S_len(r->owner));
    in.text(GI.table_name, r->table_name, 160, S_len(r->table_name));
    in.text(GI.rowid_column, r->rowid_column, 32, S_len(r->rowid_column));
    in.text(GI.description, r->description, 64, S_len(r->description));
    r->object_flags = in.u32(GI.object_flags);
    r->registration_date = in.u32(GI.registration_date);
    r->permissions = in.i32(GI.permissions);
    in.text(GI.config_keyword, r->config_keyword, 32, S_len(r->config_keyword));
    r->minimum_id = in.u32(GI.minimum_id);
    in.text(GI.imv_view_name, r->imv_view_name, 160, S_len(r->imv_view_name));
}

void raw_pack_metadata(const METADATA *m, uint8_t *image)
{
    S_out o(image, RAW_METADATA_IMAGE);
    o.i32(MI.first, m->reserved);
    o.i32(MI.record_id, m->record_id);
    o.text(MI.object_name, m->object_name, S_len(m->object_name));
    o.text(MI.object_owner, m->object_owner, S_len(m->object_owner));
    o.i32(MI.object_type, m->object_type);
    o.text(MI.class_name, m->class_name, S_len(m->class_name));
    o.text(MI.property, m->property, S_len(m->property));
    o.text(MI.prop_value, m->prop_value, S_len(m->prop_value));
    o.text(MI.description, m->description, S_len(m->description));
    o.u32(MI.creation_date, m->creation_date);
}

void raw_unpack_metadata(const uint8_t *image, METADATA *m)
{
    S_in in(image);
    m->record_id = in.i32(MI.record_id);
    in.text(MI.object_name, m->object_name, 160, S_len(m->object_name));
    in.text(MI.object_owner, m->object_owner, 32, S_len(m->object_owner));
    m->object_type = in.i32(MI.object_type);
    in.text(MI.class_name, m->class_name, 32, S_len(m->class_name));
    in.text(MI.property, m->property, 32, S_len(m->property));
    in.text(MI.prop_value, m->prop_value, 255, S_len(m->prop_value));
    in.text(MI.description, m->description, 64, S_len(m->description));
    m->creation_date = in.u32(MI.creation_date);
}

// ---- Raster records --------------------------------------------------------

namespace
{
// The word after the column name carries the column mask, the two words
// after the creation date the lowest raster id and the base column.
struct RasterColumnImage {
    uint32_t first, rastercolumn_id, description, database_name, owner, table_name, raster_column,
        rastercolumn_mask, privileges, config_keyword, cdate, minimum_id, base_rastercolumn_id,
        coordref, size;
};
constexpr RasterColumnImage S_rastercolumn_image()
{
    Layout l;
    RasterColumnImage o{};
    o.first = l.i32();
    o.rastercolumn_id = l.i32();
    o.description = l.text(64);
    o.database_name = l.text(32);
    o.owner = l.text(32);
    o.table_name = l.text(160);
    o.raster_column = l.text(32);
    o.rastercolumn_mask = l.i32();
    o.privileges = l.i32();
    o.config_keyword = l.text(32);
    o.cdate = l.i32();
    o.minimum_id = l.i32();
    o.base_rastercolumn_id = l.i32();
    o.coordref = l.ptr();
    o.size = l.size();
    return o;
}
constexpr RasterColumnImage CC = S_rastercolumn_image();
static_assert(CC.coordref == 380 && CC.size == RAW_RASTERCOLUMN_IMAGE);

// A first word the reader keeps, then the band; the word between the
// colormap and bitmap pointers carries the check mask.
struct RasterBandImage {
    uint32_t first, rasterband_id, sequence_nbr, cdate, mdate, band_flags, band_types, band_width,
        band_height, block_width, block_height, block_origin_x, block_origin_y, raster_id,
        rastercolumn_id, extent, name, statistics, colormap, check_mask, bitmap, size;
};
constexpr RasterBandImage S_rasterband_image()
{
    Layout l;
    RasterBandImage o{};
    o.first = l.i32();
    o.rasterband_id = l.i32();
    o.sequence_nbr = l.i32();
    o.cdate = l.i32();
    o.mdate = l.i32();
    o.band_flags = l.i32();
    o.band_types = l.i32();
    o.band_width = l.i32();
    o.band_height = l.i32();
    o.block_width = l.i32();
    o.block_height = l.i32();
    o.block_origin_x = l.f64();
    o.block_origin_y = l.f64();
    o.raster_id = l.i32();
    o.rastercolumn_id = l.i32();
    o.extent = l.envelope();
    o.name = l.text(64);
    o.statistics = l.ptr();
    o.colormap = l.ptr();
    o.check_mask = l.i32();
    o.bitmap = l.ptr();
    o.size = l.size();
    return o;
}
constexpr RasterBandImage BI = S_rasterband_image();
static_assert(BI.statistics == 168 && BI.colormap == 172 && BI.bitmap == 180);
static_assert(BI.size == RAW_RASTERBAND_IMAGE);

struct RasterImage {
    uint32_t first, raster_id, rastercolumn_id, description, size;
};
constexpr RasterImage S_raster_image()
{
    Layout l;
    RasterImage o{};
    o.first = l.i32();
    o.raster_id = l.i32();
    o.rastercolumn_id = l.i32();
    o.description = l.text(64);
    o.size = l.size();
    return o;
}
constexpr RasterImage AI = S_raster_image();
static_assert(AI.size == RAW_RASTER_IMAGE);

struct RasterAttrImage {
    uint32_t words, envelope, tail, size;
};
constexpr RasterAttrImage S_rasterattr_image()
{
    Layout l;
    RasterAttrImage o{};
    o.words = l.ints(28);
    o.envelope = l.envelope();
    o.tail = l.ints(4);
    o.size = l.size();
    return o;
}
constexpr RasterAttrImage TI = S_rasterattr_image();
static_assert(TI.envelope == 28 * 4 && TI.size == RAW_RASTERATTR_IMAGE);

struct RasConstraintImage {
    uint32_t first, level, band_count, band_numbers, window_flag, window, last, size;
};
constexpr RasConstraintImage S_rasconstraint_image()
{
    Layout l;
    RasConstraintImage o{};
    o.first = l.i32();
    o.level = l.i32();
    o.band_count = l.i32();
    o.band_numbers = l.ptr();
    o.window_flag = l.i32();
    o.window = l.ints(4);
    o.last = l.i32();
    o.size = l.size();
    return o;
}
constexpr RasConstraintImage QI = S_rasconstraint_image();
static_assert(QI.band_count == 8 && QI.band_numbers == 12 && QI.size == RAW_RASCONSTRAINT_IMAGE);
} // namespace

void raw_pack_rastercolumn(const RASTERCOLUMN *c, uint8_t *image)
{
    S_out o(image, RAW_RASTERCOLUMN_IMAGE);
    o.i32(CC.rastercolumn_id, c->rastercolumn_id);
    o.text(CC.description, c->description, S_len(c->description));
    o.text(CC.database_name, c->database_name, S_len(c->database_name));
    o.text(CC.owner, c->owner, S_len(c->owner));
    o.text(CC.table_name, c->table_name, S_len(c->table_name));
    o.text(CC.raster_column, c->raster_column, S_len(c->raster_column));
    o.u32(CC.rastercolumn_mask, c->rastercolumn_mask);
    o.u32(CC.privileges, c->privileges);
    o.text(CC.config_keyword, c->config_keyword, S_len(c->config_keyword));
    o.i32(CC.cdate, c->cdate);
    o.u32(CC.minimum_id, c->minimum_id);
    o.i32(CC.base_rastercolumn_id, c->base_rastercolumn_id);
    o.presence(CC.coordref, c->coordref);
}

uint32_t raw_unpack_rastercolumn(const uint8_t *image, RASTERCOLUMN *c)
{
    S_in in(image);
    c->rastercolumn_id = in.i32(CC.rastercolumn_id);
    in.text(CC.description, c->description, 64, S_len(c->description));
    in.text(CC.database_name, c->database_name, 32, S_len(c->database_name));
    in.text(CC.owner, c->owner, 32, S_len(c->owner));
    in.text(CC.table_name, c->table_name, 160, S_len(c->table_name));
    in.text(CC.raster_column, c->raster_column, 32, S_len(c->raster_column));
    c->rastercolumn_mask = in.u32(CC.rastercolumn_mask);
    c->privileges = in.u32(CC.privileges);
    in.text(CC.config_keyword, c->config_keyword, 32, S_len(c->config_keyword));
    c->cdate = in.i32(CC.cdate);
    c->minimum_id = in.u32(CC.minimum_id);
    c->base_rastercolumn_id = in.i32(CC.base_rastercolumn_id);
    return in.presence(CC.coordref) ? RAW_HAS_COORDREF : 0u;
}

void raw_pack_rasterband(const RASTERBAND *b, uint8_t *image)
{
    S_out o(image, RAW_RASTERBAND_IMAGE);
    o.i32(BI.rasterband_id, b->rasterband_id);
    o.i32(BI.sequence_nbr, b->sequence_nbr);
    o.i32(BI.cdate, b->cdate);
    o.i32(BI.mdate, b->mdate);
    o.u32(BI.band_flags, b->band_flags);
    o.u32(BI.band_types, b->band_types);
    o.i32(BI.band_width, b->band_width);
    o.i32(BI.band_height, b->band_height);
    o.i32(BI.block_width, b->block_width);
    o.i32(BI.block_height, b->block_height);
    o.f64(BI.block_origin_x, b->block_origin_x);
    o.f64(BI.block_origin_y, b->block_origin_y);
    o.i32(BI.raster_id, b->raster_id);
    o.i32(BI.rastercolumn_id, b->rastercolumn_id);
    o.envelope(BI.extent, b->extent);
    o.text(BI.name, b->name, 64);
    o.presence(BI.statistics, b->statistics);
    o.presence(BI.colormap, b->colormap);
    o.u32(BI.check_mask, b->check_mask);
    o.presence(BI.bitmap, b->bitmap);
}

void raw_unpack_rasterband(const uint8_t *image, RASTERBAND *b)
{
    S_in in(image);
    b->rasterband_id = in.i32(BI.rasterband_id);
    b->sequence_nbr = in.i32(BI.sequence_nbr);
    b->cdate = in.i32(BI.cdate);
    b->mdate = in.i32(BI.mdate);
    b->band_flags = in.u32(BI.band_flags);
    b->band_types = in.u32(BI.band_types);
    b->band_width = in.i32(BI.band_width);
    b->band_height = in.i32(BI.band_height);
    b->block_width = in.i32(BI.block_width);
    b->block_height = in.i32(BI.block_height);
    b->block_origin_x = in.f64(BI.block_origin_x);
    b->block_origin_y = in.f64(BI.block_origin_y);
    b->raster_id = in.i32(BI.raster_id);
    b->rastercolumn_id = in.i32(BI.rastercolumn_id);
    in.envelope(BI.extent, b->extent);
    in.text(BI.name, b->name, 64, S_len(b->name));
    b->statistics = nullptr;
    b->colormap = nullptr;
    b->check_mask = in.u32(BI.check_mask);
    b->bitmap = nullptr;
}

void raw_pack_raster(const RASTER *r, uint8_t *image)
{
    S_out o(image, RAW_RASTER_IMAGE);
    o.i32(AI.raster_id, r->raster_id);
    o.i32(AI.rastercolumn_id, r->rastercolumn_id);
    o.text(AI.description, r->description, S_len(r->description));
}

void raw_unpack_raster(const uint8_t *image, RASTER *r)
{
    S_in in(image);
    r->raster_id = in.i32(AI.raster_id);
    r->rastercolumn_id = in.i32(AI.rastercolumn_id);
    in.text(AI.description, r->description, 64, S_len(r->description));
}

void raw_pack_rasterattr(const RASTERATTR *a, uint8_t *image)
{
    S_out o(image, RAW_RASTERATTR_IMAGE);
    o.ints(TI.words, a->w, 28);
    o.envelope(TI.envelope, a->envelope);
    o.ints(TI.tail, a->tail, 4);
}

void raw_unpack_rasterattr(const uint8_t *image, RASTERATTR *a)
{
    S_in in(image);
    const int32_t count = a->w[RASTERATTR_ARRAY_COUNT];
    in.ints(TI.words, a->w, 28);
    a->w[RASTERATTR_ARRAY_COUNT] = count;
    in.envelope(TI.envelope, a->envelope);
    in.ints(TI.tail, a->tail, 4);
}

void raw_pack_rasconstraint(const RASCONSTRAINT *c, uint8_t *image)
{
    S_out o(image, RAW_RASCONSTRAINT_IMAGE);
    o.i32(QI.first, c->reserved);
    o.i32(QI.level, c->level);
    o.i32(QI.band_count, c->band_count);
    o.presence(QI.band_numbers, c->band_numbers);
    o.i32(QI.window_flag, c->window_flag);
    const int32_t window[4] = {c->min_column, c->min_row, c->max_column, c->max_row};
    o.ints(QI.window, window, 4);
    o.i32(QI.last, c->order);
}

void raw_unpack_rasconstraint(const uint8_t *image, RASCONSTRAINT *c)
{
    S_in in(image);
    c->level = in.i32(QI.level);
    c->band_count = in.i32(QI.band_count);
    c->window_flag = in.i32(QI.window_flag);
    c->min_column = in.i32(QI.window);
    c->min_row = in.i32(QI.window + 4);
    c->max_column = in.i32(QI.window + 8);
    c->max_row = in.i32(QI.window + 12);
    c->order = in.i32(QI.last);
}

// ---- State, version, log file ----------------------------------------------

namespace
{
struct StateImage {
    uint32_t tag, state_id, owner, creation_time, closing_time, lineage_length, lineage, size;
};
constexpr StateImage S_state_image()
{
    Layout l;
    StateImage o{};
    o.tag = l.text(4);
    o.state_id = l.i32();
    o.owner = l.text(32);
    o.creation_time = l.i32();
    o.closing_time = l.i32();
    o.lineage_length = l.i32();
    o.lineage = l.ptr();
    o.size = l.size();
    return o;
}
constexpr StateImage SS = S_state_image();
static_assert(SS.lineage == 52 && SS.size == RAW_STATE_IMAGE);

struct VersionImage {
    uint32_t tag, name, owner, version_id, status, state_id, description, parent_name, parent_owner,
        parent_version_id, creation_time, size;
};
constexpr VersionImage S_version_image()
{
    Layout l;
    VersionImage o{};
    o.tag = l.text(4);
    o.name = l.text(64);
    o.owner = l.text(32);
    o.version_id = l.i32();
    o.status = l.i32();
    o.state_id = l.i32();
    o.description = l.text(64);
    o.parent_name = l.text(64);
    o.parent_owner = l.text(32);
    o.parent_version_id = l.i32();
    o.creation_time = l.i32();
    o.size = l.size();
    return o;
}
constexpr VersionImage VV = S_version_image();
static_assert(VV.size == RAW_VERSION_IMAGE);

struct LogfileImage {
    uint32_t tag, name, table_name, spatial_column, registration_id, logfile_id, data_id, flags,
        session_tag, layer_id, registration, size;
};
constexpr LogfileImage S_logfile_image()
{
    Layout l;
    LogfileImage o{};
    o.tag = l.text(4);
    o.name = l.text(DB_NAME_FULL_TABLE_SIZE);
    o.table_name = l.text(DB_NAME_FULL_TABLE_SIZE);
    o.spatial_column = l.text(DB_NAME_COLUMN_SIZE);
    o.registration_id = l.i32();
    o.logfile_id = l.i32();
    o.data_id = l.i32();
    o.flags = l.i32();
    o.session_tag = l.i32();
    o.layer_id = l.i32();
    o.registration = l.put(RAW_REGISTRATION_IMAGE, 4);
    o.size = l.size();
    return o;
}
constexpr LogfileImage LF = S_logfile_image();
static_assert(LF.registration == 512 && LF.size == RAW_LOGFILE_IMAGE);
} // namespace

void raw_pack_state(const STATE *s, uint8_t *image)
{
    S_out o(image, RAW_STATE_IMAGE);
    o.text(SS.tag, s->tag, S_len(s->tag));
    o.i32(SS.state_id, s->state_id);
    o.text(SS.owner, s->owner, S_len(s->owner));
    o.u32(SS.creation_time, s->creation_time);
    o.u32(SS.closing_time, s->closing_time);
    o.i32(SS.lineage_length, s->lineage_length);
    o.presence(SS.lineage, s->lineage);
}

void raw_unpack_state(const uint8_t *image, STATE *s)
{
    S_in in(image);
    in.text(SS.tag, s->tag, 4, S_len(s->tag));
    s->state_id = in.i32(SS.state_id);
    in.text(SS.owner, s->owner, 32, S_len(s->owner));
    s->creation_time = in.u32(SS.creation_time);
    s->closing_time = in.u32(SS.closing_time);
    s->lineage_length = in.i32(SS.lineage_length);
}

void raw_pack_version(const VERSION *v, uint8_t *image)
{
    S_out o(image, RAW_VERSION_IMAGE);
    o.text(VV.tag, v->tag, S_len(v->tag));
    o.text(VV.name, v->name, S_len(v->name));
    o.text(VV.owner, v->owner, S_len(v->owner));
    o.i32(VV.version_id, v->version_id);
    o.u32(VV.status, v->status);
    o.i32(VV.state_id, v->state_id);
    o.text(VV.description, v->description, S_len(v->description));
    o.text(VV.parent_name, v->parent_name, S_len(v->parent_name));
    o.text(VV.parent_owner, v->parent_owner, S_len(v->parent_owner));
    o.i32(VV.parent_version_id, v->parent_version_id);
    o.u32(VV.creation_time, v->creation_time);
}

void raw_unpack_version(const uint8_t *image, VERSION *v)
{
    S_in in(image);
    in.text(VV.tag, v->tag, 4, S_len(v->tag));
    in.text(VV.name, v->name, 64, S_len(v->name));
    in.text(VV.owner, v->owner, 32, S_len(v->owner));
    v->version_id = in.i32(VV.version_id);
    v->status = in.u32(VV.status);
    v->state_id = in.i32(VV.state_id);
    in.text(VV.description, v->description, 64, S_len(v->description));
    in.text(VV.parent_name, v->parent_name, 64, S_len(v->parent_name));
    in.text(VV.parent_owner, v->parent_owner, 32, S_len(v->parent_owner));
    v->parent_version_id = in.i32(VV.parent_version_id);
    v->creation_time = in.u32(VV.creation_time);
}

void raw_pack_logfile(const LOGFILE *f, uint8_t *image)
{
    S_out o(image, RAW_LOGFILE_IMAGE);
    o.text(LF.tag, f->tag, S_len(f->tag));
    o.text(LF.name, f->name, S_len(f->name));
    o.text(LF.table_name, f->table_name, S_len(f->table_name));
    o.text(LF.spatial_column, f->spatial_column, S_len(f->spatial_column));
    o.i32(LF.registration_id, f->registration_id);
    o.i32(LF.logfile_id, f->logfile_id);
    o.i32(LF.data_id, f->data_id);
    o.u32(LF.flags, f->flags);
    o.i32(LF.session_tag, f->session_tag);
    o.i32(LF.layer_id, f->layer_id);
    raw_pack_registration(&f->registration, image + LF.registration);
}

void raw_unpack_logfile(const uint8_t *image, LOGFILE *f)
{
    S_in in(image);
    in.text(LF.tag, f->tag, 4, S_len(f->tag));
    in.text(LF.name, f->name, DB_NAME_FULL_TABLE_SIZE, S_len(f->name));
    in.text(LF.table_name, f->table_name, DB_NAME_FULL_TABLE_SIZE, S_len(f->table_name));
    in.text(LF.spatial_column, f->spatial_column, DB_NAME_COLUMN_SIZE, S_len(f->spatial_column));
    f->registration_id = in.i32(LF.registration_id);
    f->logfile_id = in.i32(LF.logfile_id);
    f->data_id = in.i32(LF.data_id);
    f->flags = in.u32(LF.flags);
    f->session_tag = in.i32(LF.session_tag);
    f->layer_id = in.i32(LF.layer_id);
    raw_unpack_registration(image + LF.registration, &f->registration);
}

// ---- Spatial reference, locator, input descriptor ---------------------------

namespace
{
struct SpatialRefImage {
    uint32_t first, srid, description, auth_name, auth_srid, coordref, size;
};
constexpr SpatialRefImage S_spatialref_image()
{
    Layout l;
    SpatialRefImage o{};
    o.first = l.i32();
    o.srid = l.i32();
    o.description = l.text(64);
    o.auth_name = l.text(256);
    o.auth_srid = l.i32();
    o.coordref = l.ptr();
    o.size = l.size();
    return o;
}
constexpr SpatialRefImage PI = S_spatialref_image();
static_assert(PI.coordref == 332 && PI.size == RAW_SPATIALREF_IMAGE);

struct LocatorImage {
    uint32_t first, locator_id, name, owner, category, type, description, property_count,
        property_names, property_values, size;
};
constexpr LocatorImage S_locator_image()
{
    Layout l;
    LocatorImage o{};
    o.first = l.i32();
    o.locator_id = l.i32();
    o.name = l.text(32);
    o.owner = l.text(32);
    o.category = l.text(32);
    o.type = l.i32();
    o.description = l.text(64);
    o.property_count = l.i32();
    o.property_names = l.ptr();
    o.property_values = l.ptr();
    o.size = l.size();
    return o;
}
constexpr LocatorImage OI = S_locator_image();
static_assert(OI.property_count == 172 && OI.property_names == 176 && OI.property_values == 180);
static_assert(OI.size == RAW_LOCATOR_IMAGE);
} // namespace

void raw_pack_spatialref(const VE_SPATIALREF *r, uint8_t *image)
{
    S_out o(image, RAW_SPATIALREF_IMAGE);
    o.i32(PI.srid, r->srid);
    o.text(PI.description, r->description, S_len(r->description));
    o.text(PI.auth_name, r->auth_name, S_len(r->auth_name));
    o.i32(PI.auth_srid, r->auth_srid);
    o.presence(PI.coordref, r->coordref);
}

void raw_unpack_spatialref(const uint8_t *image, VE_SPATIALREF *r)
{
    S_in in(image);
    r->srid = in.i32(PI.srid);
    in.text(PI.description, r->description, 64, S_len(r->description));
    in.text(PI.auth_name, r->auth_name, 256, S_len(r->auth_name));
    r->auth_srid = in.i32(PI.auth_srid);
}

void raw_pack_locator(const LOCATOR *l, uint8_t *image)
{
    S_out o(image, RAW_LOCATOR_IMAGE);
    o.i32(OI.first, l->reserved);
    o.i32(OI.locator_id, l->locator_id);
    o.text(OI.name, l->name, S_len(l->name));
    o.text(OI.owner, l->owner, S_len(l->owner));
    o.text(OI.category, l->category, S_len(l->category));
    o.i32(OI.type, l->type);
    o.text(OI.description, l->description, S_len(l->description));
    o.i32(OI.property_count, l->property_count);
    o.presence(OI.property_names, l->property_names);
    o.presence(OI.property_values, l->property_values);
}

void raw_unpack_locator(const uint8_t *image, LOCATOR *l)
{
    S_in in(image);
    l->locator_id = in.i32(OI.locator_id);
    in.text(OI.name, l->name, 32, S_len(l->name));
    in.text(OI.owner, l->owner, 32, S_len(l->owner));
    in.text(OI.category, l->category, 32, S_len(l->category));
    l->type = in.i32(OI.type);
    in.text(OI.description, l->description, 64, S_len(l->description));
    l->property_count = in.i32(OI.property_count);
}

void raw_pack_input_desc(const VE_INPUT_DESC *d, uint8_t *image)
{
    S_out o(image, RAW_INPUT_DESC_IMAGE);
    o.i32(0, d->type);
    o.i32(4, d->width);
}

void raw_unpack_input_desc(const uint8_t *image, VE_INPUT_DESC *d)
{
    S_in in(image);
    d->type = in.i32(0);
    d->width = in.i32(4);
}
