// The socket transport's record members over a loopback TCP connection: the
// exact wire bytes (checked by a peer written here), the size of every record
// form, round trips of every record, and a hostile peer: one byte per send, a
// shutdown or a reset in the middle of a record, lengths and counts beyond
// the receiver's room, records that disagree with themselves.
#include "base/system/so_channel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/system/raw_form_internal.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_raster_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "tests/base/system/so_fixture.h"

using so_test::Bytes;
using so_test::le32;
using so_test::le64;
using so_test::Loopback;
using so_test::Wire;

namespace
{

// ---- Sample records --------------------------------------------------------

struct CoordrefFree {
    void operator()(COORDREF *c) const
    {
        MoxCoordRefFree(c);
    }
};
using Coordref = std::unique_ptr<COORDREF, CoordrefFree>;

Coordref S_coordref(const char *text, int32_t srid)
{
    COORDREF *c = nullptr;
    EXPECT_EQ(MoxCoordRefCreate(&c), 0);
    c->lib_word1 = 77;
    c->falsex = -400.5;
    c->falsey = -300.25;
    c->xyunits = 1000.0;
    c->xy_rounding = 0.001;
    c->xy_half_unit = 0.0005;
    c->falsez = -10;
    c->zunits = 100;
    c->falsem = -20;
    c->munits = 10;
    c->lib_word2 = 88;
    c->srtext = text != nullptr ? strdup(text) : nullptr;
    c->srid = srid;
    return Coordref(c);
}

LAYER S_layer(COORDREF *coordref)
{
    LAYER l = {};
    l.layer_id = 42;
    l.minx = 1.5;
    l.miny = 2.5;
    l.maxx = 100.25;
    l.maxy = 200.75;
    std::strcpy(l.description, "roads of the county");
    l.grid_size[0] = 10;
    l.grid_size[1] = 100;
    l.grid_size[2] = 0;
    l.eflags = LAYER_LINE | LAYER_SIMPLE_LINE;
    std::strcpy(l.database_name, "gis");
    std::strcpy(l.owner, "tom");
    std::strcpy(l.table_name, "roads");
    std::strcpy(l.spatial_column, "shape");
    l.cdate = 1000000;
    l.privileges = VE_PRIV_SELECT | VE_PRIV_INSERT;
    std::strcpy(l.layer_config, "DEFAULTS");
    l.optimal_array_size = 100;
    l.stats_date = 2000000;
    l.minimum_id = 5;
    l.coordref = coordref;
    l.layer_mask = 0x41;
    l.base_layer_id = 7;
    return l;
}

REGISTRATION S_registration(int32_t id)
{
    REGISTRATION r = {};
    std::strcpy(r.tag, REGISTRATION_TAG);
    r.registration_id = id;
    std::strcpy(r.database_name, "gis");
    std::strcpy(r.owner, "tom");
    std::strcpy(r.table_name, "parcels");
    std::strcpy(r.rowid_column, "objectid");
    std::strcpy(r.description, "parcel table");
    r.object_flags = REG_ROWID_COLUMN | REG_ROWID_ENGINE | REG_LAYER;
    r.registration_date = 123456;
    r.permissions = 30;
    std::strcpy(r.config_keyword, "DEFAULTS");
    r.minimum_id = 9;
    std::strcpy(r.imv_view_name, "parcels_mv");
    return r;
}

struct FeatureFree {
    void operator()(FEATURE_STRUCT *f) const
    {
        MoxCoordRefFree(f->coordref);
        f->coordref = nullptr;
        VES_comp_feature_free(f);
        std::free(f);
    }
};
using Feature = std::unique_ptr<FEATURE_STRUCT, FeatureFree>;

template <typename T> T *S_heap(const std::vector<T> &v)
{
    if (v.empty())
        return nullptr;
    auto *p = static_cast<T *>(std::malloc(v.size() * sizeof(T)));
    std::memcpy(p, v.data(), v.size() * sizeof(T));
    return p;
}

Feature S_feature(const std::vector<POINT> &points, const std::vector<int32_t> &z = {},
                  const std::vector<int32_t> &m = {})
{
    Feature f(static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT))));
    f->wire_field = 3;
    f->feature_id = 1234;
    f->entity_type = VE_ENTITY_LINE;
    f->num_points = static_cast<int32_t>(points.size());
    f->allocated_points = f->num_points;
    f->envelope = ENVELOPE{1, 2, 30, 40};
    f->wire_fields[0] = 11;
    f->wire_fields[3] = 14;
    f->area = 2.5;
    f->length = 7.25;
    f->points = S_heap(points);
    f->z_values = S_heap(z);
    f->measures = S_heap(m);
    return f;
}

// ---- Round trips -----------------------------------------------------------

// Writes through the transport, flushes, and reads back through a second
// transport on the peer's end.
struct Pair : Loopback {
    SO_CHANNEL *back = nullptr;
    Pair()
    {
        back = SO_create(&peer, 4096, 8192);
    }
    ~Pair()
    {
        SO_destroy(back);
    }
    void trip(const std::function<int32_t(SO_CHANNEL *)> &write,
              const std::function<int32_t(SO_CHANNEL *)> &read)
    {
        ASSERT_EQ(write(so), ZE_SUCCESS);
        ASSERT_EQ(so_flush(so), ZE_SUCCESS);
        ASSERT_EQ(read(back), ZE_SUCCESS);
    }
};

template <typename T> bool S_same(const T &a, const T &b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Column definitions have padding that an initialiser leaves undefined: compare fields.
bool S_same(const DB_COLUMN_DEF &a, const DB_COLUMN_DEF &b)
{
    return std::strncmp(a.name, b.name, sizeof(a.name)) == 0 && a.type == b.type &&
           a.size == b.size && a.decimal_digits == b.decimal_digits &&
           a.nulls_allowed == b.nulls_allowed && a.rowid_kind == b.rowid_kind;
}

} // namespace

// ---- Exact bytes -----------------------------------------------------------

TEST(SoRecordsWire, ValuesStringsAndArraysInTheirRawForms)
{
    Loopback l;
    const int32_t fids[3] = {1, -1, 65536};
    const int16_t shorts[2] = {3, -2};
    const double doubles[1] = {-0.5};
    ENVELOPE e = {-1, 2, 3, 4};
    VE_DATE d = {1, 2, 3, 4, 5, 106, 6, 100, 0};
    struct Case {
        const char *what;
        std::function<int32_t()> write;
        Bytes expected;
    } cases[] = {
        {"long", [&] { return SO_write_long(l.so, -2); }, Wire().i32(-2).b},
        {"ulong", [&] { return SO_write_ulong(l.so, 0x80000001u); }, Wire().i32(INT32_MIN + 1).b},
        {"float", [&] { return SO_write_float(l.so, 1.0f); }, {0, 0, 0x80, 0x3F}},
        {"double", [&] { return SO_write_lfloat(l.so, 1.5); }, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
        {"short", [&] { return SO_write_short(l.so, -3); }, {0xFD, 0xFF}},
        {"pt3d", [&] { return SO_write_pt3d(l.so, 1, 2, 3); }, Wire().i32(1).i32(2).i32(3).b},
        {"envelope", [&] { return SO_write_envp(l.so, &e); },
         Wire().i32(-1).i32(2).i32(3).i32(4).b},
        {"date", [&] { return SO_write_date(l.so, &d); },
         Wire().i32(1).i32(2).i32(3).i32(4).i32(5).i32(106).i32(6).i32(100).i32(0).b},
        {"empty string", [&] { return SO_write_string(l.so, ""); }, {0, 0, 0, 0}},
        {"null string", [&] { return SO_write_string(l.so, nullptr); }, {0, 0, 0, 0}},
        {"one character", [&] { return SO_write_string(l.so, "a"); }, {2, 0, 0, 0, 'a', 0}},
        {"null dynamic string",
         [&] { return SO_write_dynamic_string(l.so, nullptr); },
         {0, 0, 0, 0}},
        {"dynamic string", [&] { return SO_write_dynamic_string(l.so, "xy"); }, Wire().str("xy").b},
        {"fid array", [&] { return SO_write_fid_array(l.so, fids, 3); },
         Wire().i32(1).i32(-1).i32(65536).b},
        {"lfloat array", [&] { return SO_write_lfloat_array(l.so, doubles, 1); },
         Wire().f64(-0.5).b},
        {"short array", [&] { return SO_write_short_array(l.so, 2, shorts); },
         Wire().i16(2).i16(3).i16(-2).b},
        {"empty short array", [&] { return SO_write_short_array(l.so, 0, nullptr); },
         Wire().i16(0).b},
        {"block", [&] { return SO_write_block(l.so, "abc", 3); }, {'a', 'b', 'c'}},
        {"blob segment", [&] { return SO_write_blob_seg(l.so, "hi", 2, 1); },
         Wire().i32(2).i32(1).raw("hi", 2).b},
        {"empty blob segment", [&] { return SO_write_blob_seg(l.so, nullptr, 0, 0); },
         Wire().i32(0).i32(0).b},
        {"blob end", [&] { return SO_write_blob_end(l.so, 8, 1); }, {}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.write(), ZE_SUCCESS);
        ASSERT_EQ(SO_write_long(l.so, 0x5A5A5A5A), ZE_SUCCESS); // end mark
        Bytes got = l.peer_take(c.expected.size() + 4);
        EXPECT_EQ(Bytes(got.begin(), got.end() - 4), c.expected);
        EXPECT_EQ(le32(got, c.expected.size()), 0x5A5A5A5A);
    }
}

TEST(SoRecordsWire, LayerImageThenItsCoordinateReference)
{
    Loopback l;
    Coordref c = S_coordref("PROJ", 26917);
    LAYER layer = S_layer(c.get());
    ASSERT_EQ(SO_write_layer(l.so, &layer), ZE_SUCCESS);
    Bytes got = l.peer_take(456 + 128 + 4 + 5);
    Bytes expected = Wire()
                         .i32(0)
                         .i32(42)
                         .f64(1.5)
                         .f64(2.5)
                         .f64(100.25)
                         .f64(200.75)
                         .field("roads of the county", 64)
                         .f64(10)
                         .f64(100)
                         .f64(0)
                         .i32(LAYER_LINE | LAYER_SIMPLE_LINE)
                         .field("gis", 32)
                         .field("tom", 32)
                         .field("roads", 160)
                         .field("shape", 32)
                         .i32(1000000)
                         .i32(VE_PRIV_SELECT | VE_PRIV_INSERT)
                         .field("DEFAULTS", 32)
                         .i32(100)
                         .i32(2000000)
                         .i32(5)
                         .i32(1) // the coordinate reference is present
                         .i32(0x41)
                         .i32(7)
                         .zeros(4)
                         .i32(77)
                         .zeros(4)
                         .f64(-400.5)
                         .f64(-300.25)
                         .f64(1000.0)
                         .f64(0.001)
                         .f64(0.0005)
                         .f64(-10)
                         .f64(100)
                         .f64(0)
                         .f64(0)
                         .f64(-20)
                         .f64(10)
                         .f64(0)
                         .f64(0)
                         .i32(88)
                         .i32(1) // its text is present
                         .i32(26917)
                         .zeros(4)
                         .str("PROJ")
                         .b;
    EXPECT_EQ(got, expected);

    // The old form: the first 448 bytes and the first 120 of the reference.
    ASSERT_EQ(SO_write_layer_old(l.so, &layer), ZE_SUCCESS);
    Bytes old = l.peer_take(448 + 120 + 4 + 5);
    EXPECT_EQ(Bytes(old.begin(), old.begin() + 448),
              Bytes(expected.begin(), expected.begin() + 448));
    EXPECT_EQ(Bytes(old.begin() + 448, old.end() - 9),
              Bytes(expected.begin() + 456, expected.begin() + 456 + 120));
}

TEST(SoRecordsWire, FeatureImagePointsAndPresenceWords)
{
    Loopback l;
    Feature f = S_feature({{10, 20}, {30, 40}}, {}, {5, 6});
    ASSERT_EQ(SO_writef(l.so, f.get()), ZE_SUCCESS);
    Bytes got = l.peer_take(96 + 16 + 8);
    Bytes expected = Wire()
                         .i32(0)
                         .i32(3)
                         .i32(1234)
                         .i32(2)
                         .i16(VE_ENTITY_LINE)
                         .zeros(2)
                         .i32(1)
                         .i32(2)
                         .i32(30)
                         .i32(40)
                         .i32(11)
                         .i32(0)
                         .i32(0)
                         .i32(14)
                         .zeros(4)
                         .f64(2.5)
                         .f64(7.25)
                         .i32(1) // XY
                         .i32(0) // no Z
                         .i32(1) // measures
                         .i32(2) // the room of the arrays
                         .i32(0)
                         .i32(0) // no coordinate reference
                         .i32(10)
                         .i32(20)
                         .i32(30)
                         .i32(40)
                         .i32(5)
                         .i32(6)
                         .b;
    EXPECT_EQ(got, expected);
}

TEST(SoRecordsWire, CompressedFeatureWithItsAnnotationText)
{
    Loopback l;
    Feature f = S_feature({{1000, 2000}, {1010, 1990}});
    ASSERT_EQ(VES_anno_create(&f->anno), 0);
    std::strcpy(f->anno->text, "Main St");
    ASSERT_EQ(VES_feature_compress(f.get(), VE_SHAPE_MASK_ANNO), 0);
    const int32_t size = VES_get_compressed_buffer_size(f.get());
    ASSERT_GT(size, 8);
    ASSERT_EQ(SO_write_compressed_feature(l.so, f.get()), ZE_SUCCESS);
    Bytes got = l.peer_take(static_cast<size_t>(16 + size + 4 + 8));
    Bytes expected = Wire()
                         .i32(1234)
                         .i32(2)
                         .i32(VE_ENTITY_LINE)
                         .i32(size)
                         .raw(f->compressed, static_cast<size_t>(size))
                         .str("Main St")
                         .b;
    EXPECT_EQ(got, expected);
}

// The bytes each record form takes on the wire.
TEST(SoRecordsWire, RecordSizes)
{
    Loopback l;
    Coordref c = S_coordref(nullptr, 1);
    REGISTRATION reg = S_registration(3);
    METADATA meta = {};
    RASTERBAND band = {};
    RASTER raster = {};
    RASTERATTR attr = {};
    VERSION version = {};
    LOGFILE logfile = {};
    VE_LAYER_STATS layer_stats = {};
    VE_SPIDX_STATS spidx = {};
    VE_OBJECT_LOCK object_lock = {};
    VE_LAYER_LOCKS layer_locks[2] = {};
    VE_TABLE_LOCK table_locks[3] = {};
    VE_VERSION_LOCK version_locks[1] = {};
    int32_t bands[3] = {1, 2, 3};
    RASCONSTRAINT constraint = {};
    constraint.band_count = 3;
    constraint.band_numbers = bands;
    uint8_t lineage[4] = {3, 0x81, 0x01, 0x02}; // 3 bytes follow the count
    STATE state = {};
    state.lineage = lineage;
    char name0[] = "k", value0[] = "v";
    char *names[] = {name0}, *values[] = {value0};
    LOCATOR locator = {};
    locator.property_count = 1;
    locator.property_names = names;
    locator.property_values = values;
    VE_SPATIALREF spatialref = {};
    spatialref.coordref = c.get();
    RASTERCOLUMN column = {};
    DB_COLUMN_DEF defs[2] = {};
    VE_INPUT_DESC descs[2] = {};
    RELEASE release = {};
    VE_FILTER filter = {};
    filter.filter_type = VE_ID_FILTER;
    filter.search_method = SM_CBM;
    char relation[] = "T********";
    filter.relation = relation;
    char col[] = "a";
    char *cols[] = {col};
    int32_t asc[] = {1};
    DB_INDEX_DEF index = {};
    index.column_count = 1;
    index.column_names = cols;
    index.column_order = asc;
    std::strcpy(index.index_name, "ix");
    struct Case {
        const char *what;
        std::function<int32_t()> write;
        size_t bytes;
    } cases[] = {
        {"registration", [&] { return SO_write_registration(l.so, &reg); }, 536},
        {"registration list", [&] { return SO_write_registration_list(l.so, &reg, 1); }, 4 + 536},
        {"metadata", [&] { return SO_write_metadata(l.so, &meta); }, 592},
        {"raster band", [&] { return SO_write_rasterband(l.so, &band); }, 184},
        {"raster", [&] { return SO_write_raster(l.so, &raster); }, 76},
        {"raster attributes", [&] { return SO_write_rasterattr(l.so, &attr); }, 160},
        {"version", [&] { return SO_write_version(l.so, &version); }, 280},
        {"log file", [&] { return SO_write_logfile(l.so, &logfile); }, 1048},
        {"layer statistics", [&] { return SO_write_ve_layer_stats(l.so, &layer_stats); }, 160},
        {"index statistics", [&] { return SO_write_ve_si_stats(l.so, &spidx); }, 420},
        {"object lock", [&] { return SO_write_object_lock(l.so, &object_lock); }, 56},
        {"layer locks", [&] { return SO_write_ve_layer_locks_list(l.so, layer_locks, 2); },
         4 + 144},
        {"table locks", [&] { return SO_write_ve_table_lock_list(l.so, table_locks, 3); }, 4 + 120},
        {"version locks", [&] { return SO_write_ve_version_lock_list(l.so, version_locks, 1); },
         44},
        {"raster constraint", [&] { return SO_write_rasconstraint(l.so, &constraint); }, 40 + 12},
        {"state", [&] { return SO_write_state(l.so, &state); }, 56 + 4 + 4},
        {"empty state list", [&] { return SO_write_state_list(l.so, nullptr, 0); }, 4},
        {"locator", [&] { return SO_write_locator(l.so, &locator); }, 184 + 6 + 6},
        {"spatial reference", [&] { return SO_write_spatialref(l.so, &spatialref); },
         336 + 128 + 4},
        {"raster column without reference", [&] { return SO_write_rastercolumn(l.so, &column); },
         384},
        {"column definitions", [&] { return SO_write_column_def(l.so, 2, defs); }, 2 + 104},
        {"old column definitions", [&] { return SO_write_column_def_old(l.so, 2, defs); }, 2 + 96},
        {"input descriptors", [&] { return SO_write_input_desc(l.so, 2, descs); }, 2 + 16},
        {"release", [&] { return SO_write_release(l.so, &release); }, 112},
        {"relation filter", [&] { return SO_write_filter_array(l.so, 1, &filter); }, 2 + 512 + 14},
        {"old filter", [&] { return SO_write_filter_array_old(l.so, 1, &filter); }, 2 + 504},
        {"index definition", [&] { return SO_write_index_def(l.so, 1, &index); },
         2 + 2 + 6 + 4 + 7 + 4},
        {"null construct", [&] { return SO_write_construct(l.so, nullptr); }, 8},
        {"null query", [&] { return SO_write_queryinfo(l.so, nullptr); }, 7 * 4 + 4},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.write(), ZE_SUCCESS);
        ASSERT_EQ(SO_write_long(l.so, 0x5A5A5A5A), ZE_SUCCESS);
        Bytes got = l.peer_take(c.bytes + 4);
        EXPECT_EQ(le32(got, c.bytes), 0x5A5A5A5A);
    }
}

TEST(SoRecordsWire, OldReleaseIsWidened)
{
    Loopback l;
    l.peer_send(Wire().i32(3).i32(1).i32(2).field("old engine", 64).i32(31000).b);
    RELEASE r;
    std::memset(&r, 0x55, sizeof r);
    ASSERT_EQ(SO_read_release_old(l.so, &r), ZE_SUCCESS);
    EXPECT_EQ(r.major, 3);
    EXPECT_EQ(r.bugfix, 2);
    EXPECT_STREQ(r.description, "old engine");
    EXPECT_EQ(r.description[95], '\0');
    EXPECT_EQ(r.release, 31000);
}

// ---- Round trips -----------------------------------------------------------

TEST(SoRecordsRoundTrip, Values)
{
    Pair p;
    int32_t v = 0;
    p.trip([](SO_CHANNEL *s) { return SO_write_long(s, -77); },
           [&](SO_CHANNEL *s) { return SO_read_long(s, &v); });
    EXPECT_EQ(v, -77);
    uint32_t u = 0;
    p.trip([](SO_CHANNEL *s) { return SO_write_ulong(s, 4000000000u); },
           [&](SO_CHANNEL *s) { return SO_read_ulong(s, &u); });
    EXPECT_EQ(u, 4000000000u);
    float f = 0;
    p.trip([](SO_CHANNEL *s) { return SO_write_float(s, 0.25f); },
           [&](SO_CHANNEL *s) { return SO_read_float(s, &f); });
    EXPECT_EQ(f, 0.25f);
    double d = 0;
    p.trip([](SO_CHANNEL *s) { return SO_write_lfloat(s, -1e300); },
           [&](SO_CHANNEL *s) { return SO_read_lfloat(s, &d); });
    EXPECT_EQ(d, -1e300);
    int16_t h = 0;
    p.trip([](SO_CHANNEL *s) { return SO_write_short(s, -32768); },
           [&](SO_CHANNEL *s) { return SO_read_short(s, &h); });
    EXPECT_EQ(h, -32768);
    int32_t x, y, z;
    p.trip([](SO_CHANNEL *s) { return SO_write_pt3d(s, 1, -2, 3); },
           [&](SO_CHANNEL *s) { return SO_read_pt3d(s, &x, &y, &z); });
    EXPECT_EQ(x * 100 + y * 10 + z, 100 - 20 + 3);
    ENVELOPE e = {5, 6, 7, 8}, got_e = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_envp(s, &e); },
           [&](SO_CHANNEL *s) { return SO_read_envp(s, &got_e); });
    EXPECT_TRUE(S_same(e, got_e));
    VE_DATE date = {59, 59, 23, 31, 11, 99, 5, 364, 1}, got_date = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_date(s, &date); },
           [&](SO_CHANNEL *s) { return SO_read_date(s, &got_date); });
    EXPECT_TRUE(S_same(date, got_date));
}

TEST(SoRecordsRoundTrip, StringsArraysAndBlobs)
{
    Pair p;
    char buffer[8] = "zzzzzzz";
    p.trip([](SO_CHANNEL *s) { return SO_write_string(s, ""); },
           [&](SO_CHANNEL *s) { return SO_read_string(s, buffer, sizeof buffer); });
    EXPECT_STREQ(buffer, "");
    p.trip([](SO_CHANNEL *s) { return SO_write_string(s, "seven!!"); },
           [&](SO_CHANNEL *s) { return SO_read_string(s, buffer, sizeof buffer); });
    EXPECT_STREQ(buffer, "seven!!");
    char *dynamic = strdup("old");
    p.trip([](SO_CHANNEL *s) { return SO_write_dynamic_string(s, nullptr); },
           [&](SO_CHANNEL *s) {
               std::free(dynamic);
               return SO_read_dynamic_string(s, &dynamic);
           });
    EXPECT_EQ(dynamic, nullptr);
    std::string long_text(100000, 'q');
    p.trip([&](SO_CHANNEL *s) { return SO_write_dynamic_string(s, long_text.c_str()); },
           [&](SO_CHANNEL *s) { return SO_read_dynamic_string(s, &dynamic); });
    EXPECT_EQ(std::string(dynamic), long_text);
    std::free(dynamic);

    std::vector<int32_t> ids(10000), got_ids(10000);
    for (int i = 0; i < 10000; i++)
        ids[i] = i * 7 - 3;
    p.trip([&](SO_CHANNEL *s) { return SO_write_fid_array(s, ids.data(), 10000); },
           [&](SO_CHANNEL *s) { return SO_read_fid_array(s, got_ids.data(), 10000); });
    EXPECT_EQ(ids, got_ids);
    double values[3] = {1, 2, 3}, got_values[3] = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_lfloat_array(s, values, 3); },
           [&](SO_CHANNEL *s) { return SO_read_lfloat_array(s, got_values, 3); });
    EXPECT_EQ(got_values[2], 3);
    int16_t shorts[4] = {1, 2, 3, 4}, got_shorts[4] = {}, count = -1;
    p.trip([&](SO_CHANNEL *s) { return SO_write_short_array(s, 4, shorts); },
           [&](SO_CHANNEL *s) { return SO_read_short_array(s, &count, got_shorts, 4); });
    EXPECT_EQ(count, 4);
    EXPECT_EQ(got_shorts[3], 4);

    Bytes blob(30000);
    for (size_t i = 0; i < blob.size(); i++)
        blob[i] = static_cast<uint8_t>(i * 13);
    Bytes got_blob(30000);
    int32_t length = 0, last = 0;
    p.trip(
        [&](SO_CHANNEL *s) { return SO_write_blob_seg(s, blob.data(), 30000, 1); },
        [&](SO_CHANNEL *s) { return SO_read_blob_seg(s, got_blob.data(), 30000, &length, &last); });
    EXPECT_EQ(length, 30000);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(got_blob, blob);
    p.trip([&](SO_CHANNEL *s) { return SO_write_block(s, blob.data(), 5000); },
           [&](SO_CHANNEL *s) { return SO_read_block(s, got_blob.data(), 5000); });
    EXPECT_EQ(std::memcmp(got_blob.data(), blob.data(), 5000), 0);
}

TEST(SoRecordsRoundTrip, LayersKeepTheReceiversReferenceAndFirstWord)
{
    Pair p;
    Coordref sent_ref = S_coordref("GEOGCS[\"wgs\"]", 4326);
    LAYER sent = S_layer(sent_ref.get());
    Coordref own = S_coordref("stale text", 1);
    own->lib_word1 = 5;
    own->lib_word2 = 6;
    LAYER got = {};
    got.coordref = own.get();
    p.trip([&](SO_CHANNEL *s) { return SO_write_layer(s, &sent); },
           [&](SO_CHANNEL *s) { return SO_read_layer(s, &got); });
    EXPECT_EQ(got.coordref, own.get());
    got.coordref = sent.coordref;
    EXPECT_TRUE(S_same(got, sent));
    EXPECT_STREQ(own->srtext, "GEOGCS[\"wgs\"]");
    EXPECT_EQ(own->srid, 4326);
    EXPECT_EQ(own->falsey, -300.25);
    EXPECT_EQ(own->lib_word1, 5); // the receiver's own words stay
    EXPECT_EQ(own->lib_word2, 6);

    // Old form: no layer mask, base layer id or srid; a layer without a
    // reference gets one.
    LAYER old = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_layer_old(s, &sent); },
           [&](SO_CHANNEL *s) { return SO_read_layer_old(s, &old); });
    Coordref created(old.coordref);
    ASSERT_NE(old.coordref, nullptr);
    EXPECT_EQ(old.layer_mask, 0u);
    EXPECT_EQ(old.base_layer_id, 0);
    EXPECT_EQ(old.minimum_id, 5);
    EXPECT_EQ(old.coordref->srid, 0);
    EXPECT_STREQ(old.coordref->srtext, "GEOGCS[\"wgs\"]");

    LAYER list[3] = {sent, sent, sent}, got_list[3] = {};
    Coordref refs[3] = {S_coordref(nullptr, 0), S_coordref(nullptr, 0), S_coordref(nullptr, 0)};
    for (int i = 0; i < 3; i++) {
        list[i].layer_id = 10 + i;
        got_list[i].coordref = refs[i].get();
    }
    int32_t count = 0;
    p.trip([&](SO_CHANNEL *s) { return SO_write_layer_list(s, list, 3); },
           [&](SO_CHANNEL *s) { return SO_read_layer_list(s, got_list, 3, &count); });
    EXPECT_EQ(count, 3);
    EXPECT_EQ(got_list[2].layer_id, 12);
    EXPECT_EQ(got_list[2].coordref, refs[2].get());
    p.trip([&](SO_CHANNEL *s) { return SO_write_layer_list_old(s, list, 2); },
           [&](SO_CHANNEL *s) { return SO_read_layer_list_old(s, got_list, 3, &count); });
    EXPECT_EQ(count, 2);
}

TEST(SoRecordsRoundTrip, FeaturesWithAndWithoutTheirArrays)
{
    Pair p;
    Feature sent = S_feature({{1, 2}, {3, 4}, {5, 6}}, {7, 8, 9}, {});
    // Allocating read: new arrays, Z arrives, no measures.
    Feature got(static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT))));
    p.trip([&](SO_CHANNEL *s) { return SO_writef(s, sent.get()); },
           [&](SO_CHANNEL *s) { return SO_readf(s, got.get(), 1); });
    ASSERT_EQ(got->num_points, 3);
    EXPECT_EQ(got->points[2].y, 6);
    ASSERT_NE(got->z_values, nullptr);
    EXPECT_EQ(got->z_values[1], 8);
    EXPECT_EQ(got->measures, nullptr);
    EXPECT_EQ(got->feature_id, 1234);
    EXPECT_EQ(got->area, 2.5);
    EXPECT_EQ(got->wire_fields[3], 14);

    // Into the receiver's own arrays: measures it has are zeroed, Z it lacks
    // are dropped, and the stream stays in step.
    Feature own = S_feature({{0, 0}, {0, 0}, {0, 0}, {0, 0}}, {}, {9, 9, 9, 9});
    POINT *own_points = own->points;
    p.trip(
        [&](SO_CHANNEL *s) {
            int32_t rc = SO_writef(s, sent.get());
            return rc != 0 ? rc : SO_write_long(s, 99);
        },
        [&](SO_CHANNEL *s) { return SO_readf(s, own.get(), 0); });
    EXPECT_EQ(own->points, own_points);
    EXPECT_EQ(own->points[1].x, 3);
    EXPECT_EQ(own->z_values, nullptr);
    EXPECT_EQ(own->measures[0], 0);
    EXPECT_EQ(own->measures[2], 0);
    int32_t mark = 0;
    ASSERT_EQ(SO_read_long(p.back, &mark), ZE_SUCCESS);
    EXPECT_EQ(mark, 99);

    // A feature without points sends the image only; arrays stay.
    Feature empty = S_feature({});
    p.trip([&](SO_CHANNEL *s) { return SO_writef(s, empty.get()); },
           [&](SO_CHANNEL *s) { return SO_readf(s, own.get(), 0); });
    EXPECT_EQ(own->num_points, 0);
    EXPECT_EQ(own->points, own_points);
}

TEST(SoRecordsRoundTrip, CompressedFeatures)
{
    Pair p;
    Feature sent = S_feature({{1000, 2000}, {1010, 1990}, {-5, 7}});
    ASSERT_EQ(VES_anno_create(&sent->anno), 0);
    std::strcpy(sent->anno->text, "label");
    ASSERT_EQ(VES_feature_compress(sent.get(), VE_SHAPE_MASK_ANNO), 0);

    Feature got(static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT))));
    ASSERT_EQ(VES_anno_create(&got->anno), 0);
    p.trip([&](SO_CHANNEL *s) { return SO_write_compressed_feature(s, sent.get()); },
           [&](SO_CHANNEL *s) { return SO_read_compressed_feature(s, got.get()); });
    const int32_t size = VES_get_compressed_buffer_size(sent.get());
    ASSERT_EQ(VES_get_compressed_buffer_size(got.get()), size);
    EXPECT_EQ(std::memcmp(got->compressed, sent->compressed, static_cast<size_t>(size)), 0);
    EXPECT_STREQ(got->anno->text, "label");
    EXPECT_EQ(got->num_points, 3);
    ASSERT_EQ(VES_feature_uncompress(1, got.get()), 0);
    EXPECT_EQ(got->points[2].x, -5);

    // A receiver without an annotation object drops the text and stays in
    // step; a feature without compressed bytes empties the receiver's text.
    Feature bare(static_cast<FEATURE_STRUCT *>(std::calloc(1, sizeof(FEATURE_STRUCT))));
    p.trip(
        [&](SO_CHANNEL *s) {
            int32_t rc = SO_write_compressed_feature(s, sent.get());
            return rc != 0 ? rc : SO_write_long(s, 55);
        },
        [&](SO_CHANNEL *s) { return SO_read_compressed_feature(s, bare.get()); });
    int32_t mark = 0;
    ASSERT_EQ(SO_read_long(p.back, &mark), ZE_SUCCESS);
    EXPECT_EQ(mark, 55);
    Feature nothing = S_feature({});
    p.trip([&](SO_CHANNEL *s) { return SO_write_compressed_feature(s, nothing.get()); },
           [&](SO_CHANNEL *s) { return SO_read_compressed_feature(s, got.get()); });
    EXPECT_STREQ(got->anno->text, "");
    EXPECT_EQ(VES_get_compressed_buffer_size(got.get()), 8);
}

TEST(SoRecordsRoundTrip, CatalogueRecords)
{
    Pair p;
    REGISTRATION regs[2] = {S_registration(1), S_registration(2)}, got_regs[4] = {};
    int32_t count = 0;
    p.trip([&](SO_CHANNEL *s) { return SO_write_registration_list(s, regs, 2); },
           [&](SO_CHANNEL *s) { return SO_read_registration_list(s, got_regs, 4, &count); });
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(S_same(regs[1], got_regs[1]));

    METADATA meta = {}, got_meta = {};
    meta.reserved = 1;
    meta.record_id = 17;
    std::strcpy(meta.object_name, "parcels");
    std::strcpy(meta.prop_value, std::string(254, 'v').c_str());
    meta.creation_date = 99;
    got_meta.reserved = 5;
    p.trip([&](SO_CHANNEL *s) { return SO_write_metadata(s, &meta); },
           [&](SO_CHANNEL *s) { return SO_read_metadata(s, &got_meta); });
    EXPECT_EQ(got_meta.reserved, 5); // the receiver's first word stays
    got_meta.reserved = meta.reserved;
    EXPECT_TRUE(S_same(meta, got_meta));

    VERSION version = {}, got_version = {};
    std::strcpy(version.tag, VERSION_TAG);
    std::strcpy(version.name, "DEFAULT");
    version.state_id = 8;
    version.creation_time = 4000000000u;
    p.trip([&](SO_CHANNEL *s) { return SO_write_version(s, &version); },
           [&](SO_CHANNEL *s) { return SO_read_version(s, &got_version); });
    EXPECT_TRUE(S_same(version, got_version));

    LOGFILE logfile = {}, got_logfile = {};
    std::strcpy(logfile.tag, LOGINFO_TAG);
    std::strcpy(logfile.name, "log1");
    logfile.flags = LOGINFO_LAYER;
    logfile.registration = S_registration(4);
    p.trip([&](SO_CHANNEL *s) { return SO_write_logfile(s, &logfile); },
           [&](SO_CHANNEL *s) { return SO_read_logfile(s, &got_logfile); });
    EXPECT_TRUE(S_same(logfile, got_logfile));

    Coordref ref = S_coordref("sr text", 3);
    VE_SPATIALREF spatialref = {}, got_spatialref = {};
    spatialref.srid = 3;
    std::strcpy(spatialref.auth_name, "EPSG");
    spatialref.auth_srid = 26917;
    spatialref.coordref = ref.get();
    p.trip([&](SO_CHANNEL *s) { return SO_write_spatialref_list(s, &spatialref, 1); },
           [&](SO_CHANNEL *s) { return SO_read_spatialref_list(s, &got_spatialref, 1, &count); });
    Coordref got_ref(got_spatialref.coordref);
    EXPECT_EQ(got_spatialref.auth_srid, 26917);
    EXPECT_STREQ(got_spatialref.auth_name, "EPSG");
    EXPECT_STREQ(got_ref->srtext, "sr text");

    char n0[] = "color", n1[] = "size", v0[] = "red", v1[] = "";
    char *names[] = {n0, n1}, *values[] = {v0, v1};
    LOCATOR locators[2] = {};
    locators[0].locator_id = 1;
    locators[0].property_count = 2;
    locators[0].property_names = names;
    locators[0].property_values = values;
    locators[1].locator_id = 2;
    LOCATOR got_locators[2] = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_locator_list(s, locators, 2); },
           [&](SO_CHANNEL *s) { return SO_read_locator_list(s, got_locators, 2, &count); });
    ASSERT_EQ(got_locators[0].property_count, 2);
    EXPECT_STREQ(got_locators[0].property_names[1], "size");
    EXPECT_STREQ(got_locators[0].property_values[0], "red");
    EXPECT_EQ(got_locators[1].property_names, nullptr); // no properties, no arrays
    std::free(got_locators[0].property_names);
    std::free(got_locators[0].property_values);

    VE_OBJECT_LOCK lock = {}, got_lock = {};
    lock.server_pid = 100;
    std::strcpy(lock.owner, std::string(32, 'o').c_str());
    lock.application = VE_LOCK_APP_INTERNAL;
    lock.lock_type = -2;
    p.trip([&](SO_CHANNEL *s) { return SO_write_object_lock(s, &lock); },
           [&](SO_CHANNEL *s) { return SO_read_object_lock(s, &got_lock); });
    EXPECT_TRUE(S_same(lock, got_lock));

    VE_LAYER_LOCKS layer_lock = {}, got_layer_lock = {};
    std::strcpy(layer_lock.user_name, "ann");
    layer_lock.envelope = VE_ENVELOPE{1, 2, 3, 4};
    p.trip(
        [&](SO_CHANNEL *s) { return SO_write_ve_layer_locks_list(s, &layer_lock, 1); },
        [&](SO_CHANNEL *s) { return SO_read_ve_layer_locks_list(s, &got_layer_lock, 1, &count); });
    EXPECT_TRUE(S_same(layer_lock, got_layer_lock));
    VE_TABLE_LOCK table_lock = {{'b'}, 2}, got_table_lock = {};
    p.trip(
        [&](SO_CHANNEL *s) { return SO_write_ve_table_lock_list(s, &table_lock, 1); },
        [&](SO_CHANNEL *s) { return SO_read_ve_table_lock_list(s, &got_table_lock, 1, &count); });
    EXPECT_TRUE(S_same(table_lock, got_table_lock));
    VE_VERSION_LOCK version_lock = {{'c'}, 1}, got_version_lock = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_ve_version_lock_list(s, &version_lock, 1); },
           [&](SO_CHANNEL *s) {
               return SO_read_ve_version_lock_list(s, &got_version_lock, 1, &count);
           });
    EXPECT_TRUE(S_same(version_lock, got_version_lock));
}

TEST(SoRecordsRoundTrip, StatesWithTheirLineages)
{
    Pair p;
    uint8_t lineage[11] = {10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}; // a 1-byte count, 10 bytes
    STATE states[2] = {};
    std::strcpy(states[0].tag, STATE_TAG);
    states[0].state_id = 5;
    states[0].lineage_length = 10;
    states[0].lineage = lineage;
    states[1].state_id = 6;
    STATE got[2] = {};
    int32_t count = 0;
    p.trip([&](SO_CHANNEL *s) { return SO_write_state_list(s, states, 2); },
           [&](SO_CHANNEL *s) { return SO_read_state_list(s, got, 2, &count); });
    ASSERT_EQ(count, 2);
    ASSERT_NE(got[0].lineage, nullptr);
    EXPECT_EQ(std::memcmp(got[0].lineage, lineage, 11), 0);
    EXPECT_EQ(got[1].lineage, nullptr);
    EXPECT_EQ(got[0].lineage_length, 10);
    std::free(got[0].lineage);
}

TEST(SoRecordsRoundTrip, RasterRecords)
{
    Pair p;
    Coordref ref = S_coordref(nullptr, 9);
    RASTERCOLUMN column = {};
    column.rastercolumn_id = 3;
    std::strcpy(column.table_name, "images");
    column.minimum_id = 4;
    column.base_rastercolumn_id = 5;
    column.rastercolumn_mask = RASTERCOLUMN_NO_BLOCK_INDEX;
    column.cdate = 6;
    column.coordref = ref.get();
    RASTERCOLUMN got = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_rastercolumn(s, &column); },
           [&](SO_CHANNEL *s) { return SO_read_rastercolumn(s, &got); });
    ASSERT_NE(got.coordref, nullptr); // created for the record
    EXPECT_EQ(got.coordref->srid, 9);
    COORDREF *created = got.coordref;
    got.coordref = column.coordref;
    EXPECT_TRUE(S_same(got, column));
    // None comes: the receiver's own reference is freed.
    column.coordref = nullptr;
    got.coordref = created;
    p.trip([&](SO_CHANNEL *s) { return SO_write_rastercolumn(s, &column); },
           [&](SO_CHANNEL *s) { return SO_read_rastercolumn(s, &got); });
    EXPECT_EQ(got.coordref, nullptr);

    RASTERBAND band = {}, got_band = {};
    band.rasterband_id = 8;
    band.band_types = 8u << 16;
    band.block_origin_y = -3.5;
    band.extent = VE_ENVELOPE{0, 0, 10, 10};
    std::strcpy(band.name, std::string(64, 'n').c_str()); // a full 64-character name
    band.check_mask = RASTERBAND_CHECK_COLORMAP;
    got_band.statistics = reinterpret_cast<VE_RASTERBAND_STATS *>(&band);
    p.trip([&](SO_CHANNEL *s) { return SO_write_rasterband(s, &band); },
           [&](SO_CHANNEL *s) { return SO_read_rasterband(s, &got_band); });
    EXPECT_EQ(got_band.statistics, nullptr);
    EXPECT_TRUE(S_same(band, got_band));

    RASTER raster = {7, 3, "a raster"}, got_raster = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_raster(s, &raster); },
           [&](SO_CHANNEL *s) { return SO_read_raster(s, &got_raster); });
    EXPECT_TRUE(S_same(raster, got_raster));

    RASTERATTR attr = {}, got_attr = {};
    for (int i = 0; i < 28; i++)
        attr.w[i] = i + 1;
    attr.envelope = VE_ENVELOPE{1, 2, 3, 4};
    attr.tail[3] = 40;
    p.trip([&](SO_CHANNEL *s) { return SO_write_rasterattr(s, &attr); },
           [&](SO_CHANNEL *s) { return SO_read_rasterattr(s, &got_attr); });
    EXPECT_EQ(got_attr.w[RASTERATTR_ARRAY_COUNT], 0); // the owned array's count stays
    EXPECT_EQ(got_attr.w[22], 23);
    EXPECT_EQ(got_attr.tail[3], 40);
    EXPECT_EQ(got_attr.envelope.maxy, 4);

    int32_t bands[2] = {3, 1};
    RASCONSTRAINT constraint = {0, 2, 2, bands, 1, 10, 20, 30, 40, 1};
    RASCONSTRAINT *got_constraint = nullptr;
    p.trip([&](SO_CHANNEL *s) { return SO_write_rasconstraint(s, &constraint); },
           [&](SO_CHANNEL *s) { return SO_read_rasconstraint(s, &got_constraint); });
    ASSERT_NE(got_constraint, nullptr);
    EXPECT_EQ(got_constraint->band_numbers[0], 3);
    EXPECT_EQ(got_constraint->max_row, 40);
    EXPECT_EQ(got_constraint->order, 1);
    ves_raster_constraint_free(got_constraint);
}

TEST(SoRecordsRoundTrip, QueryRecords)
{
    Pair p;
    DB_COLUMN_DEF defs[2] = {{"id", VE_INTEGER, 4, 0, 0, DB_ROWID_ENGINE},
                             {"name", VE_STRING, 30, 0, 1, DB_ROWID_NONE}};
    int16_t count = -1;
    DB_COLUMN_DEF *got_defs = nullptr;
    p.trip([&](SO_CHANNEL *s) { return SO_write_column_def(s, 2, defs); },
           [&](SO_CHANNEL *s) { return SO_read_column_def(s, &count, &got_defs); });
    ASSERT_EQ(count, 2);
    EXPECT_TRUE(S_same(defs[1], got_defs[1]));
    std::free(got_defs);
    p.trip([&](SO_CHANNEL *s) { return SO_write_column_def_old(s, 2, defs); },
           [&](SO_CHANNEL *s) { return SO_read_column_def_old(s, &count, &got_defs); });
    EXPECT_EQ(got_defs[0].rowid_kind, DB_ROWID_NONE);
    std::free(got_defs);
    p.trip([&](SO_CHANNEL *s) { return SO_write_column_def(s, 0, nullptr); },
           [&](SO_CHANNEL *s) { return SO_read_column_def(s, &count, &got_defs); });
    EXPECT_EQ(count, 0);
    EXPECT_EQ(got_defs, nullptr);

    VE_INPUT_DESC descs[1] = {{VE_STRING, 30}};
    VE_INPUT_DESC *got_descs = nullptr;
    p.trip([&](SO_CHANNEL *s) { return SO_write_input_desc(s, 1, descs); },
           [&](SO_CHANNEL *s) { return SO_read_input_desc(s, &count, &got_descs); });
    EXPECT_EQ(got_descs[0].width, 30);
    std::free(got_descs);

    char a[] = "a", b[] = "b";
    char *columns[] = {a, b};
    int32_t ascending[] = {1, 0};
    DB_INDEX_DEF index = {2, columns, "ab_ix", 1, ascending};
    DB_INDEX_DEF *got_index = nullptr;
    p.trip([&](SO_CHANNEL *s) { return SO_write_index_def(s, 1, &index); },
           [&](SO_CHANNEL *s) { return SO_read_index_def(s, &count, &got_index); });
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(got_index[0].column_names[1], "b");
    EXPECT_EQ(got_index[0].column_order[1], 0);
    EXPECT_STREQ(got_index[0].index_name, "ab_ix");
    EXPECT_EQ(got_index[0].unique, 1);
    raw_index_def_free(count, got_index);

    char t0[] = "gis:tom.roads", t1[] = "rivers";
    char *tables[] = {t0, t1};
    char where[] = "where a = 1";
    VE_SQL_CONSTRUCT construct = {2, tables, where};
    char h0[] = "+FULL";
    char *hints[] = {h0};
    char by[] = "order by a";
    VE_QUERYINFO info = {1, 2, columns, &construct, 5, by, 1, hints, nullptr, 9};
    VE_QUERYINFO got_info = {};
    got_info.reserved = 77;
    p.trip([&](SO_CHANNEL *s) { return SO_write_queryinfo(s, &info); },
           [&](SO_CHANNEL *s) { return SO_read_queryinfo(s, &got_info); });
    EXPECT_EQ(got_info.reserved, 77);
    ASSERT_EQ(got_info.num_columns, 2);
    EXPECT_STREQ(got_info.columns[1], "b");
    ASSERT_EQ(got_info.construct->num_tables, 2);
    EXPECT_STREQ(got_info.construct->tables[0], "gis:tom.roads");
    EXPECT_STREQ(got_info.construct->where, "where a = 1");
    EXPECT_EQ(got_info.query_type, 5);
    EXPECT_STREQ(got_info.by_clause, "order by a");
    EXPECT_STREQ(got_info.hints[0], "+FULL");
    EXPECT_EQ(got_info.logfile, nullptr);
    EXPECT_EQ(got_info.last, 9);
    raw_queryinfo_clear(&got_info);
    VE_QUERYINFO empty = {};
    p.trip([&](SO_CHANNEL *s) { return SO_write_queryinfo(s, nullptr); },
           [&](SO_CHANNEL *s) { return SO_read_queryinfo(s, &empty); });
    EXPECT_EQ(empty.construct->num_tables, 0);
    EXPECT_EQ(empty.construct->where, nullptr);
    raw_queryinfo_clear(&empty);
    EXPECT_EQ(SO_read_queryinfo(p.back, nullptr), ZE_INVALID_QUERYINFO_OBJECT);
}

TEST(SoRecordsRoundTrip, FilterArraysWithShapesAndRelations)
{
    Pair p;
    Feature shape = S_feature({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
    shape->coordref = S_coordref("filter ref", 2).release();
    VE_FILTER filters[3] = {};
    std::strcpy(filters[0].table_name, "roads");
    std::strcpy(filters[0].column_name, std::string(33, 'c').c_str()); // fills the field
    filters[0].filter_type = VE_SHAPE_FILTER;
    filters[0].shape = shape.get();
    filters[0].search_method = SM_CBM;
    char relation[] = "T*F**F***";
    filters[0].relation = relation;
    filters[0].truth = 1;
    filters[1].filter_type = VE_ID_FILTER;
    filters[1].id = 77;
    std::strcpy(filters[1].filter_table, "rivers");
    filters[1].search_method = SM_AI;
    filters[2] = filters[0];
    filters[2].search_method = SM_ENVP;
    filters[2].relation = nullptr;

    for (int old = 0; old < 2; old++) {
        SCOPED_TRACE(old ? "old form" : "current form");
        int16_t count = 0;
        VE_FILTER *got = nullptr;
        p.trip(
            [&](SO_CHANNEL *s) {
                return old ? SO_write_filter_array_old(s, 3, filters)
                           : SO_write_filter_array(s, 3, filters);
            },
            [&](SO_CHANNEL *s) {
                return old ? SO_read_filter_array_old(s, &count, &got)
                           : SO_read_filter_array(s, &count, &got);
            });
        ASSERT_EQ(count, 3);
        EXPECT_STREQ(got[0].column_name, filters[0].column_name);
        ASSERT_NE(got[0].shape, nullptr);
        EXPECT_EQ(got[0].shape->num_points, 4);
        EXPECT_EQ(got[0].shape->points[1].x, 10);
        ASSERT_NE(got[0].shape->coordref, nullptr);
        EXPECT_STREQ(got[0].shape->coordref->srtext, "filter ref");
        EXPECT_EQ(got[0].shape->coordref->srid, old ? 0 : 2);
        if (old)
            EXPECT_EQ(got[0].relation, nullptr);
        else
            EXPECT_STREQ(got[0].relation, "T*F**F***");
        EXPECT_EQ(got[1].id, 77);
        EXPECT_STREQ(got[1].filter_table, "rivers");
        EXPECT_NE(got[2].shape, got[0].shape);
        EXPECT_EQ(got[2].relation, nullptr);
        raw_filter_array_free(count, got);
    }
}

// ---- A hostile peer --------------------------------------------------------

// The peer sends a record one byte per send; the reader assembles it.
TEST(SoRecordsPeer, OneBytePerSend)
{
    Loopback l;
    plat_socket_set_nodelay(l.peer);
    Bytes bytes = Wire()
                      .raw(Wire().i32(0).i32(9).zeros(456 - 8).b)
                      .raw(Wire().zeros(128).str("slow text").b)
                      .str("after")
                      .b;
    std::thread sender([&] {
        for (uint8_t byte : bytes)
            ASSERT_EQ(plat_socket_send(l.peer, &byte, 1), 1);
    });
    Coordref ref = S_coordref(nullptr, 0);
    LAYER layer = {};
    layer.coordref = ref.get();
    char text[16];
    EXPECT_EQ(SO_read_layer(l.so, &layer), ZE_SUCCESS);
    EXPECT_EQ(SO_read_string(l.so, text, sizeof text), ZE_SUCCESS);
    sender.join();
    EXPECT_EQ(layer.layer_id, 9);
    EXPECT_STREQ(ref->srtext, "slow text");
    EXPECT_STREQ(text, "after");
}

// A connection that ends inside a record gives -1 at once, and the transport
// stays broken: no later member waits on the socket.
TEST(SoRecordsPeer, ShutdownOrResetInsideARecord)
{
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "shutdown");
        Loopback l;
        l.peer_send(Wire().i32(4).zeros(100).b);
        int32_t first = 0;
        ASSERT_EQ(SO_read_long(l.so, &first), ZE_SUCCESS);
        if (reset) {
            plat_socket_abort(l.peer);
            l.peer = -1;
        } else {
            plat_socket_shutdown_send(l.peer);
        }
        REGISTRATION r = {};
        EXPECT_EQ(SO_read_registration(l.so, &r), ZE_FAILURE);
        EXPECT_EQ(SO_read_long(l.so, &first), ZE_FAILURE);
        EXPECT_EQ(SO_write_long(l.so, 1), ZE_FAILURE);
        EXPECT_EQ(so_flush(l.so), ZE_FAILURE);
    }
}

// Lengths and counts beyond the receiver's room, negative ones, and records
// that disagree with themselves are refused at once, even while the peer
// keeps the connection open, and nothing is written past the room.
TEST(SoRecordsPeer, HugeOrFalseCountsAndLengths)
{
    Coordref ref = S_coordref(nullptr, 0);
    char small[8];
    int16_t shorts[2];
    uint8_t blob[16];
    REGISTRATION regs[2];
    int32_t count = 0, length = 0, last = 0;
    int16_t short_count = 0;
    struct Case {
        const char *what;
        Bytes bytes;
        std::function<int32_t(SO_CHANNEL *)> read;
    } cases[] = {
        {"string over the buffer", Wire().i32(INT32_MAX).b,
         [&](SO_CHANNEL *s) { return SO_read_string(s, small, sizeof small); }},
        {"string of 9 into 8", Wire().str("12345678").b,
         [&](SO_CHANNEL *s) { return SO_read_string(s, small, sizeof small); }},
        {"negative string", Wire().i32(-5).b,
         [&](SO_CHANNEL *s) { return SO_read_string(s, small, sizeof small); }},
        {"dynamic string of 2 GB", Wire().i32(INT32_MAX).b,
         [&](SO_CHANNEL *s) {
             char *text = nullptr;
             return SO_read_dynamic_string(s, &text);
         }},
        {"short array over the room", Wire().i16(3).b,
         [&](SO_CHANNEL *s) { return SO_read_short_array(s, &short_count, shorts, 2); }},
        {"blob segment over the buffer", Wire().i32(17).i32(1).b,
         [&](SO_CHANNEL *s) { return SO_read_blob_seg(s, blob, sizeof blob, &length, &last); }},
        {"list over the array", Wire().i32(3).b,
         [&](SO_CHANNEL *s) { return SO_read_registration_list(s, regs, 2, &count); }},
        {"negative list", Wire().i32(-1).b,
         [&](SO_CHANNEL *s) { return SO_read_registration_list(s, regs, 2, &count); }},
        {"negative column count", Wire().i16(-1).b,
         [&](SO_CHANNEL *s) {
             DB_COLUMN_DEF *defs = nullptr;
             return SO_read_column_def(s, &short_count, &defs);
         }},
        {"negative filter count", Wire().i16(-2).b,
         [&](SO_CHANNEL *s) {
             VE_FILTER *filters = nullptr;
             return SO_read_filter_array(s, &short_count, &filters);
         }},
        {"construct with a billion tables", Wire().i32(1000000000).b,
         [&](SO_CHANNEL *s) {
             VE_SQL_CONSTRUCT c = {};
             return SO_read_construct(s, &c);
         }},
        {"query with a billion hints", Wire().i32(0).i32(0).i32(0).i32(4).i32(0).i32(1000000000).b,
         [&](SO_CHANNEL *s) {
             VE_QUERYINFO q = {};
             return SO_read_queryinfo(s, &q);
         }},
        {"feature with two billion points", Wire().i32(0).i32(0).i32(0).i32(INT32_MAX).zeros(80).b,
         [&](SO_CHANNEL *s) {
             FEATURE_STRUCT f = {};
             return SO_readf(s, &f, 1);
         }},
        {"points beyond the receiver's arrays", Wire().i32(0).i32(0).i32(0).i32(3).zeros(80).b,
         [&](SO_CHANNEL *s) {
             POINT room[2];
             FEATURE_STRUCT f = {};
             f.points = room;
             f.allocated_points = 2;
             return SO_readf(s, &f, 0);
         }},
        {"compressed feature of 2 GB", Wire().i32(1).i32(1).i32(1).i32(INT32_MAX).b,
         [&](SO_CHANNEL *s) {
             FEATURE_STRUCT f = {};
             return SO_read_compressed_feature(s, &f);
         }},
        {"compressed feature longer than it says",
         Wire().i32(1).i32(1).i32(1).i32(12).raw("\x01\0\0\0\0\0\0\0\1\2\3\4", 12).b,
         [&](SO_CHANNEL *s) {
             FEATURE_STRUCT f = {};
             int32_t rc = SO_read_compressed_feature(s, &f);
             std::free(f.compressed);
             return rc;
         }},
        {"lineage longer than its count", Wire().zeros(56).i32(4).raw("\x01\x05\x06\x07", 4).b,
         [&](SO_CHANNEL *s) {
             STATE state = {};
             return SO_read_state(s, &state);
         }},
        {"raster constraint with a billion bands", Wire().i32(0).i32(0).i32(1000000000).zeros(28).b,
         [&](SO_CHANNEL *s) {
             RASCONSTRAINT *c = nullptr;
             return SO_read_rasconstraint(s, &c);
         }},
        {"locator with a billion properties", Wire().zeros(172).i32(1000000000).zeros(8).b,
         [&](SO_CHANNEL *s) {
             LOCATOR locator = {};
             return SO_read_locator(s, &locator);
         }},
        {"negative point count", Wire().i32(0).i32(0).i32(0).i32(-1).zeros(80).b,
         [&](SO_CHANNEL *s) {
             FEATURE_STRUCT f = {};
             return SO_readf(s, &f, 1);
         }},
        {"negative index column count", Wire().i16(1).i16(-1).b,
         [&](SO_CHANNEL *s) {
             DB_INDEX_DEF *defs = nullptr;
             return SO_read_index_def(s, &short_count, &defs);
         }},
        {"index of 17 columns", Wire().i16(1).i16(DB_INDEX_MAX_COLUMNS + 1).b,
         [&](SO_CHANNEL *s) {
             DB_INDEX_DEF *defs = nullptr;
             return SO_read_index_def(s, &short_count, &defs);
         }},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        Loopback l;
        l.peer_send(c.bytes);
        l.peer_send(Wire().zeros(64).b); // more bytes wait; the connection stays open
        EXPECT_EQ(c.read(l.so), ZE_FAILURE);
        int32_t next = 0;
        EXPECT_EQ(SO_read_long(l.so, &next), ZE_FAILURE); // broken from now on
    }
}

// Text fields of an image arrive terminated within their field, whatever the
// peer put in them.
TEST(SoRecordsPeer, UnterminatedTextFields)
{
    Loopback l;
    l.peer_send(Bytes(536, 'A'));
    l.peer_send(Wire().i32(3).i32(1).i32(0).raw(Bytes(64, 'B')).i32(0).b); // an old release
    REGISTRATION r;
    ASSERT_EQ(SO_read_registration(l.so, &r), ZE_SUCCESS);
    EXPECT_EQ(std::strlen(r.tag), 3u);
    EXPECT_EQ(std::strlen(r.table_name), 159u);
    EXPECT_EQ(std::strlen(r.imv_view_name), 159u);
    int16_t count = 0;
    DB_COLUMN_DEF *defs = nullptr;
    l.peer_send(Wire().i16(1).raw(Bytes(48, 'C')).b);
    RELEASE release;
    ASSERT_EQ(SO_read_release_old(l.so, &release), ZE_SUCCESS);
    EXPECT_EQ(std::strlen(release.description), 64u); // all of the old field, terminated
    ASSERT_EQ(SO_read_column_def_old(l.so, &count, &defs), ZE_SUCCESS);
    EXPECT_EQ(std::strlen(defs[0].name), 31u);
    EXPECT_EQ(defs[0].rowid_kind, DB_ROWID_NONE);
    std::free(defs);
}
