// The XDR filters of the engine's records and the encodings without a filter
// of their own, over libtirpc memory streams: exact bytes where the form is
// fixed (the release in both forms, the feature header's presence words,
// the raster column's database name), a round trip of every record filter,
// the text bounds of fixed fields, list and count bounds, features whose
// arrays differ between sender and receiver, and a scan of the library's
// sources for the host-long primitives.
#include "base/system/xdr_records_internal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "base/system/raw_form_internal.h"
#include "base/util/ve_varlong_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"

namespace
{

using Bytes = std::vector<uint8_t>;

// Encodes through fn into a memory stream; the bytes it produced, or the
// failure (an empty optional-like flag).
struct Encoded {
    bool ok;
    Bytes bytes;
};

Encoded S_encode(const std::function<bool(XDR *)> &fn, size_t room = 1 << 16)
{
    std::vector<char> buffer(room);
    XDR xdrs;
    xdrmem_create(&xdrs, buffer.data(), static_cast<u_int>(room), XDR_ENCODE);
    bool ok = fn(&xdrs);
    u_int n = xdr_getpos(&xdrs);
    xdr_destroy(&xdrs);
    return {ok, Bytes(buffer.begin(), buffer.begin() + n)};
}

// Decodes bytes through fn; whether it succeeded and how many bytes it used.
struct Decoded {
    bool ok;
    u_int used;
};

Decoded S_decode(const Bytes &bytes, const std::function<bool(XDR *)> &fn)
{
    std::vector<char> buffer(bytes.begin(), bytes.end());
    XDR xdrs;
    xdrmem_create(&xdrs, buffer.data(), static_cast<u_int>(buffer.size()), XDR_DECODE);
    bool ok = fn(&xdrs);
    u_int used = xdr_getpos(&xdrs);
    xdr_destroy(&xdrs);
    return {ok, used};
}

void S_be32(Bytes &out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void S_xdr_string(Bytes &out, const std::string &s)
{
    S_be32(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
    while (out.size() % 4 != 0)
        out.push_back(0);
}

// ---- Exact forms -----------------------------------------------------------

TEST(XdrRecords, ReleaseTakesItsDescriptionFormFromItsMajor)
{
    RELEASE current{8, 1, 1, "Zel 8.1.1", 81100};
    Bytes want;
    for (uint32_t v : {8u, 1u, 1u})
        S_be32(want, v);
    S_xdr_string(want, "Zel 8.1.1");
    S_be32(want, 81100);
    Encoded got = S_encode([&](XDR *x) { return xdr_RELEASE(x, &current) != 0; });
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.bytes, want);

    RELEASE old{3, 0, 2, "ab\xe9", 30002};
    want.clear();
    for (uint32_t v : {3u, 0u, 2u})
        S_be32(want, v);
    S_be32(want, 'a');
    S_be32(want, 'b');
    S_be32(want, 0xffffffe9u); // a character is sign-extended
    for (int i = 3; i < 64; i++)
        S_be32(want, 0);
    S_be32(want, 30002);
    got = S_encode([&](XDR *x) { return xdr_RELEASE(x, &old) != 0; });
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.bytes, want);

    // 64 characters without an end still read as a terminated text.
    Bytes full;
    for (uint32_t v : {3u, 0u, 0u})
        S_be32(full, v);
    for (int i = 0; i < 64; i++)
        S_be32(full, 'x');
    S_be32(full, 1);
    RELEASE back;
    std::memset(&back, 'q', sizeof back);
    ASSERT_TRUE(S_decode(full, [&](XDR *x) { return xdr_RELEASE(x, &back) != 0; }).ok);
    EXPECT_EQ(std::string(back.description), std::string(64, 'x'));
    EXPECT_EQ(back.release, 1);
}

TEST(XdrRecords, FeatureHeaderCarriesPresenceNotAddresses)
{
    POINT points[2] = {{1, 2}, {3, 4}};
    int32_t z[2] = {5, 6};
    FEATURE_STRUCT f{};
    f.wire_field = 9;
    f.feature_id = 42;
    f.num_points = 2;
    f.entity_type = 4;
    f.points = points;
    f.z_values = z;
    Encoded got = S_encode([&](XDR *x) { return xdr_FEATURE_STRUCT(x, &f) != 0; });
    ASSERT_TRUE(got.ok);
    // 4 longs and a short unit, 4 envelope longs, 4 words, 2 doubles, 4 flags.
    ASSERT_EQ(got.bytes.size(), 4u * 4 + 4 * 4 + 4 * 4 + 2 * 8 + 4 * 4);
    Bytes flags(got.bytes.end() - 16, got.bytes.end());
    Bytes want;
    for (uint32_t v : {1u, 1u, 0u, 0u})
        S_be32(want, v);
    EXPECT_EQ(flags, want);

    // A decode leaves the record's pointers alone; a flag other than 0/1 fails.
    FEATURE_STRUCT back{};
    back.points = points;
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) { return xdr_FEATURE_STRUCT(x, &back) != 0; }).ok);
    EXPECT_EQ(back.points, points);
    EXPECT_EQ(back.z_values, nullptr);
    EXPECT_EQ(back.feature_id, 42);
    Bytes bad = got.bytes;
    bad[bad.size() - 1] = 7;
    EXPECT_FALSE(S_decode(bad, [&](XDR *x) { return xdr_FEATURE_STRUCT(x, &back) != 0; }).ok);
}

TEST(XdrRecords, RasterColumnNameGoesAsItsWholeFieldWithTheTailZeroed)
{
    RASTERCOLUMN c{};
    std::memset(c.database_name, 'Z', sizeof c.database_name);
    std::memcpy(c.database_name, "db", 3); // stale bytes after the end
    Encoded got = S_encode([&](XDR *x) { return xdr_RASTERCOLUMN(x, &c) != 0; });
    ASSERT_TRUE(got.ok);
    // After the id (4) and the empty description (4): length 32, then "db" and zeros.
    Bytes name(got.bytes.begin() + 8, got.bytes.begin() + 8 + 36);
    Bytes want;
    S_be32(want, 32);
    want.push_back('d');
    want.push_back('b');
    want.resize(36, 0);
    EXPECT_EQ(name, want);

    RASTERCOLUMN back;
    std::memset(&back, 'q', sizeof back);
    back.coordref = nullptr;
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) { return xdr_RASTERCOLUMN(x, &back) != 0; }).ok);
    EXPECT_STREQ(back.database_name, "db");
    // A peer's 32 bytes without an end are refused.
    Bytes unterminated = got.bytes;
    std::memset(&unterminated[12], 'y', 32);
    EXPECT_FALSE(
        S_decode(unterminated, [&](XDR *x) { return xdr_RASTERCOLUMN(x, &back) != 0; }).ok);
}

// ---- Round trips -----------------------------------------------------------

// Fills a record's bytes with a pattern, then terminates its texts; a round
// trip is checked by encoding what was decoded and comparing the bytes.
template <typename T> void S_pattern(T *record, const std::function<void(T *)> &fix)
{
    auto *bytes = reinterpret_cast<uint8_t *>(record);
    for (size_t i = 0; i < sizeof(T); i++)
        bytes[i] = static_cast<uint8_t>('a' + i % 23);
    fix(record);
}

template <typename T> void S_round_trip(bool_t (*filter)(XDR *, T *), T *record)
{
    SCOPED_TRACE(typeid(T).name());
    Encoded first = S_encode([&](XDR *x) { return filter(x, record) != 0; });
    ASSERT_TRUE(first.ok);
    T back{};
    Decoded d = S_decode(first.bytes, [&](XDR *x) { return filter(x, &back) != 0; });
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.used, first.bytes.size());
    Encoded second = S_encode([&](XDR *x) { return filter(x, &back) != 0; });
    EXPECT_EQ(second.bytes, first.bytes);
    // Every prefix is short input: the decode fails, and reads nothing beyond.
    for (size_t cut = 0; cut < first.bytes.size(); cut += 4) {
        Bytes part(first.bytes.begin(), first.bytes.begin() + cut);
        T scratch{};
        EXPECT_FALSE(S_decode(part, [&](XDR *x) { return filter(x, &scratch) != 0; }).ok);
    }
}

#define END(field) (field)[sizeof(field) - 1] = '\0'

TEST(XdrRecords, EveryRecordFilterRoundTrips)
{
    VE_DATE date{1, 2, 3, 4, 5, 106, 6, 7, 0};
    S_round_trip(xdr_VE_DATE, &date);
    VE_ENVELOPE ve{1.5, -2.5, 3.25, 4.0};
    S_round_trip(xdr_VE_ENVELOPE, &ve);
    LAYER layer;
    S_pattern<LAYER>(&layer, [](LAYER *l) {
        END(l->description), END(l->database_name), END(l->owner), END(l->table_name);
        END(l->spatial_column), END(l->layer_config);
        l->coordref = nullptr;
    });
    S_round_trip(xdr_LAYER, &layer);
    S_round_trip(xdr_LAYER_old, &layer);
    VE_SPIDX_STATS si;
    S_pattern<VE_SPIDX_STATS>(&si,
                              [](VE_SPIDX_STATS *s) { END(s->table_name), END(s->column_name); });
    S_round_trip(xdr_S_INDEX_STATS, &si);
    VE_LAYER_STATS ls;
    S_pattern<VE_LAYER_STATS>(&ls, [](VE_LAYER_STATS *) {});
    S_round_trip(xdr_LAYER_STATS, &ls);
    REGISTRATION reg;
    S_pattern<REGISTRATION>(&reg, [](REGISTRATION *r) {
        END(r->database_name), END(r->owner), END(r->table_name), END(r->rowid_column);
        END(r->description), END(r->config_keyword), END(r->imv_view_name);
    });
    S_round_trip(xdr_REGISTRATION, &reg);
    STATE state;
    S_pattern<STATE>(&state, [](STATE *s) { END(s->owner), s->lineage = nullptr; });
    S_round_trip(xdr_STATE, &state);
    VERSION version;
    S_pattern<VERSION>(&version, [](VERSION *v) {
        END(v->name), END(v->owner), END(v->description), END(v->parent_name);
        END(v->parent_owner);
    });
    S_round_trip(xdr_VERSION, &version);
    LOGFILE log;
    S_pattern<LOGFILE>(&log, [](LOGFILE *l) {
        END(l->name), END(l->table_name), END(l->spatial_column);
        REGISTRATION &r = l->registration;
        END(r.database_name), END(r.owner), END(r.table_name), END(r.rowid_column);
        END(r.description), END(r.config_keyword), END(r.imv_view_name);
    });
    S_round_trip(xdr_LOGFILE, &log);
    METADATA meta;
    S_pattern<METADATA>(&meta, [](METADATA *m) {
        END(m->object_name), END(m->object_owner), END(m->class_name), END(m->property);
        END(m->prop_value), END(m->description);
    });
    S_round_trip(xdr_METADATA, &meta);
    RASTERCOLUMN rc;
    S_pattern<RASTERCOLUMN>(&rc, [](RASTERCOLUMN *c) {
        END(c->description), END(c->owner), END(c->table_name), END(c->raster_column);
        END(c->config_keyword);
        std::memset(c->database_name, 0, sizeof c->database_name);
        std::strcpy(c->database_name, "gis");
        c->coordref = nullptr;
    });
    S_round_trip(xdr_RASTERCOLUMN, &rc);
    RASTERBAND band;
    S_pattern<RASTERBAND>(&band, [](RASTERBAND *b) {
        b->name[63] = '\0'; // the wire holds 64 with the end
        b->statistics = nullptr, b->colormap = nullptr, b->bitmap = nullptr;
    });
    S_round_trip(xdr_RASTERBAND, &band);
    RASTER raster;
    S_pattern<RASTER>(&raster, [](RASTER *r) { END(r->description); });
    S_round_trip(xdr_RASTER, &raster);
    RASTERATTR attr;
    S_pattern<RASTERATTR>(&attr, [](RASTERATTR *a) { a->array = nullptr; });
    S_round_trip(xdr_RASTERATTR, &attr);
    VE_INSTANCE_CONFIG config;
    S_pattern<VE_INSTANCE_CONFIG>(
        &config, [](VE_INSTANCE_CONFIG *c) { END(c->HOME), END(c->LOGS), END(c->TEMP); });
    S_round_trip(xdr_VE_INSTANCE_CONFIG, &config);
    VE_INSTANCE_STATUS status{{8, 1, 1, "r", 81100}, {7, 9}};
    S_round_trip(xdr_VE_INSTANCE_STATUS, &status);
    VE_INSTANCE_USER user{1, 2, 3, {"alice", "host", "prog"}};
    S_round_trip(xdr_VE_INSTANCE_USER, &user);
    VE_INSTANCE_STATS stats{{1, 2, 3, 4, 5, 6, 7, 8, 9}};
    S_round_trip(xdr_VE_INSTANCE_STATS, &stats);
    VE_INSTANCE_LOCK ilock{1, -2, 3};
    S_round_trip(xdr_VE_INSTANCE_LOCK, &ilock);
    VE_INSTANCE_OBJECT_LOCK olock{4, 5, -6};
    S_round_trip(xdr_VE_INSTANCE_OBJECT_LOCK, &olock);
    VE_LAYER_LOCKS ll{"bob", 2, {1, 2, 3, 4}};
    S_round_trip(xdr_VE_LAYER_LOCKS, &ll);
    VE_TABLE_LOCK tl{"carol", 3};
    S_round_trip(xdr_VE_TABLE_LOCK, &tl);
    VE_VERSION_LOCK vl{"dave", 1};
    S_round_trip(xdr_VE_VERSION_LOCK, &vl);
    VE_OBJECT_LOCK ol{77, "erin", 5, 6, 1001, 2};
    S_round_trip(xdr_VE_OBJECT_LOCK, &ol);
}

TEST(XdrRecords, CoordrefCarriesItsTextAndKeepsAnEmptyOnesOwn)
{
    COORDREF c{};
    c.falsex = 1, c.falsey = 2, c.falsez = 3, c.falsem = 4, c.xyunits = 5, c.zunits = 6;
    c.munits = 7, c.xy_rounding = 8, c.z_rounding = 9, c.m_rounding = 10, c.xy_half_unit = 11;
    c.z_half_unit = 12, c.m_half_unit = 13, c.srid = 4326;
    c.srtext = strdup("GEOGCS[x]");
    Encoded got = S_encode([&](XDR *x) { return xdr_COORDREF(x, &c) != 0; });
    ASSERT_TRUE(got.ok);
    // 13 doubles in wire order, the length 9, the string, the srid.
    Bytes want;
    for (int i = 1; i <= 13; i++) {
        double v = i;
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        S_be32(want, static_cast<uint32_t>(bits >> 32));
        S_be32(want, static_cast<uint32_t>(bits));
    }
    S_be32(want, 9);
    S_xdr_string(want, "GEOGCS[x]");
    S_be32(want, 4326);
    EXPECT_EQ(got.bytes, want);

    COORDREF back{};
    back.srtext = strdup("old");
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) { return xdr_COORDREF(x, &back) != 0; }).ok);
    EXPECT_STREQ(back.srtext, "GEOGCS[x]");
    EXPECT_EQ(back.srid, 4326);
    // The old form stops before the srid, which its reader sets 0.
    Encoded old = S_encode([&](XDR *x) { return xdr_COORDREF_old(x, &c) != 0; });
    EXPECT_EQ(old.bytes.size(), want.size() - 4);
    ASSERT_TRUE(S_decode(old.bytes, [&](XDR *x) { return xdr_COORDREF_old(x, &back) != 0; }).ok);
    EXPECT_EQ(back.srid, 0);
    // Length 0 leaves the receiver's text as it was; a string longer than the
    // length before it is refused.
    std::free(c.srtext);
    c.srtext = nullptr;
    got = S_encode([&](XDR *x) { return xdr_COORDREF(x, &c) != 0; });
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) { return xdr_COORDREF(x, &back) != 0; }).ok);
    EXPECT_STREQ(back.srtext, "GEOGCS[x]");
    Bytes lying(want.begin(), want.begin() + 13 * 8);
    S_be32(lying, 2);
    S_xdr_string(lying, "GEOGCS[x]");
    S_be32(lying, 1);
    EXPECT_FALSE(S_decode(lying, [&](XDR *x) { return xdr_COORDREF(x, &back) != 0; }).ok);
    xdr_free(reinterpret_cast<xdrproc_t>(xdr_COORDREF), reinterpret_cast<char *>(&back));
    EXPECT_EQ(back.srtext, nullptr);
}

// ---- Text bounds -----------------------------------------------------------

TEST(XdrRecords, TextsKeepWithinTheirFieldsBothWays)
{
    // A full field of N-1 characters travels; a wire string of N characters
    // (which would leave no room for the end) is refused by the reader, and
    // a sender's unterminated field is refused before it is read past.
    struct Case {
        const char *what;
        size_t room;
        std::function<bool(XDR *, char *)> filter;
    };
    const std::vector<Case> cases = {
        {"table lock user", DB_USER_NAME_SIZE,
         [](XDR *x, char *text) {
             VE_TABLE_LOCK l{};
             if (x->x_op == XDR_ENCODE)
                 std::memcpy(l.user_name, text, sizeof l.user_name);
             bool ok = xdr_VE_TABLE_LOCK(x, &l) != 0;
             if (x->x_op == XDR_DECODE)
                 std::memcpy(text, l.user_name, sizeof l.user_name);
             return ok;
         }},
        {"object lock owner", 32,
         [](XDR *x, char *text) {
             VE_OBJECT_LOCK l{};
             if (x->x_op == XDR_ENCODE)
                 std::memcpy(l.owner, text, 32);
             bool ok = xdr_VE_OBJECT_LOCK(x, &l) != 0;
             if (x->x_op == XDR_DECODE)
                 std::memcpy(text, l.owner, 32);
             return ok;
         }},
        {"raster description", 64,
         [](XDR *x, char *text) {
             RASTER r{};
             if (x->x_op == XDR_ENCODE)
                 std::memcpy(r.description, text, 64);
             bool ok = xdr_RASTER(x, &r) != 0;
             if (x->x_op == XDR_DECODE)
                 std::memcpy(text, r.description, 64);
             return ok;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<char> text(c.room + 1, 0);
        std::memset(text.data(), 'n', c.room - 1);
        Encoded fits = S_encode([&](XDR *x) { return c.filter(x, text.data()); });
        ASSERT_TRUE(fits.ok);
        std::vector<char> back(c.room + 1, 0);
        ASSERT_TRUE(S_decode(fits.bytes, [&](XDR *x) { return c.filter(x, back.data()); }).ok);
        EXPECT_EQ(std::string(back.data()), std::string(c.room - 1, 'n'));

        std::memset(text.data(), 'n', c.room); // no end within the field
        EXPECT_FALSE(S_encode([&](XDR *x) { return c.filter(x, text.data()); }).ok);
        // The same string on the wire, one character longer.
        Bytes longer = fits.bytes;
        size_t at = c.what[0] == 'o' ? 4 : (c.what[0] == 'r' ? 8 : 0);
        Bytes wire(longer.begin(), longer.begin() + static_cast<long>(at));
        S_xdr_string(wire, std::string(c.room, 'n'));
        Bytes rest(longer.begin() + static_cast<long>(at + 4 + (c.room - 1 + 3) / 4 * 4),
                   longer.end());
        wire.insert(wire.end(), rest.begin(), rest.end());
        EXPECT_FALSE(S_decode(wire, [&](XDR *x) { return c.filter(x, back.data()); }).ok);
    }
}

// ---- Lists and counts ------------------------------------------------------

TEST(XdrRecords, ListCountsAreBoundedBeforeAnythingIsRead)
{
    // Counts above the maximum or the caller's room fail; nothing is written
    // past the caller's array (the sanitizer watches the heap array).
    struct Case {
        uint32_t count;
        int32_t capacity;
        int32_t rc;
    };
    for (const Case &c :
         std::vector<Case>{{5001, 6000, ZE_FAILURE}, {3, 2, ZE_FAILURE}, {0, 0, ZE_SUCCESS}}) {
        Bytes wire;
        S_be32(wire, c.count);
        std::vector<VERSION> versions(static_cast<size_t>(c.capacity));
        int32_t got = -7;
        EXPECT_EQ(S_decode(wire,
                           [&](XDR *x) {
                               return xdrio_read_version_list(x, versions.data(), c.capacity,
                                                              &got) == c.rc;
                           })
                      .ok,
                  true)
            << c.count;
        if (c.rc == 0) {
            EXPECT_EQ(got, 0);
        }
    }
    // Writers refuse a count out of range or a null array before encoding.
    VE_TABLE_LOCK locks[1] = {};
    Encoded refused = S_encode([&](XDR *x) {
        return xdrio_write_table_lock_list(x, locks, 10001) == ZE_INVALID_ARGUMENT &&
               xdrio_write_table_lock_list(x, nullptr, 1) == ZE_NULL_POINTER &&
               xdrio_write_fid_array(x, nullptr, 2) == ZE_NULL_POINTER;
    });
    EXPECT_TRUE(refused.ok);
    EXPECT_TRUE(refused.bytes.empty());
}

TEST(XdrRecords, StatesCarryTheirLineageBlocks)
{
    uint8_t lineage[11];
    ASSERT_NE(ves_varlong_encode(10, lineage, lineage + sizeof lineage), nullptr);
    for (int i = 1; i < 11; i++)
        lineage[i] = static_cast<uint8_t>(i);
    STATE states[2] = {};
    states[0].state_id = 5;
    std::strcpy(states[0].owner, "sde");
    states[0].lineage = lineage;
    states[1].state_id = 6;
    Encoded got = S_encode([&](XDR *x) { return xdrio_write_state_list(x, states, 2) == 0; });
    ASSERT_TRUE(got.ok);
    // The count, two records (four words and the owner: "sde" in 8 bytes, ""
    // in 4), then L = 11 and the block padded to 12, then L = 0.
    const size_t records = 4 + (4 * 4 + 8) + (4 * 4 + 4);
    Bytes tail(got.bytes.begin() + records, got.bytes.end());
    Bytes want;
    S_be32(want, 11);
    want.insert(want.end(), lineage, lineage + 11);
    want.push_back(0);
    S_be32(want, 0);
    EXPECT_EQ(tail, want);

    STATE back[2] = {};
    int32_t count = 0;
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) {
                    return xdrio_read_state_list(x, back, 2, &count) == 0;
                }).ok);
    ASSERT_EQ(count, 2);
    ASSERT_NE(back[0].lineage, nullptr);
    EXPECT_EQ(std::memcmp(back[0].lineage, lineage, 11), 0);
    EXPECT_EQ(back[1].lineage, nullptr);
    std::free(back[0].lineage);

    // A block whose count disagrees with its length fails, and the reader
    // leaves no block behind.
    Bytes bad = got.bytes;
    bad[records + 4] = 3;
    STATE none[2] = {};
    EXPECT_TRUE(
        S_decode(bad, [&](XDR *x) { return xdrio_read_state_list(x, none, 2, &count) != 0; }).ok);
    EXPECT_EQ(none[0].lineage, nullptr);
}

TEST(XdrRecords, LocatorsWithAndWithoutProperties)
{
    char name0[] = "colour", value0[] = "red";
    char *names[] = {name0}, *values[] = {value0};
    LOCATOR locators[2] = {};
    locators[0].locator_id = 1;
    std::strcpy(locators[0].name, "a");
    locators[0].property_count = 1;
    locators[0].property_names = names;
    locators[0].property_values = values;
    locators[1].locator_id = 2;
    Encoded got = S_encode([&](XDR *x) { return xdrio_write_locator_list(x, locators, 2) == 0; });
    ASSERT_TRUE(got.ok);
    LOCATOR back[2] = {};
    int32_t count = 0;
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) {
                    return xdrio_read_locator_list(x, back, 2, &count) == 0;
                }).ok);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(back[0].property_names[0], "colour");
    EXPECT_STREQ(back[0].property_values[0], "red");
    EXPECT_EQ(back[1].property_names, nullptr);
    EXPECT_EQ(back[1].property_values, nullptr);
    std::free(back[0].property_names);
    std::free(back[0].property_values);
}

// ---- Features --------------------------------------------------------------

TEST(XdrRecords, FeatureArraysFollowWhatEachSideHas)
{
    POINT points[3] = {{1, 2}, {3, 4}, {5, 6}};
    int32_t z[3] = {7, 8, 9};
    FEATURE_STRUCT sent{};
    sent.feature_id = 11;
    sent.num_points = 3;
    sent.points = points;
    sent.z_values = z;
    int32_t after = 1234;
    Encoded got = S_encode(
        [&](XDR *x) { return xdrio_feature(x, &sent, 0) == 0 && zel_xdr_long(x, &after); });
    ASSERT_TRUE(got.ok);

    // Z values to a reader without a Z array are dropped; its measure array,
    // for which none came, is zeroed; the stream stays in step.
    POINT room[4] = {};
    int32_t measures[4] = {5, 5, 5, 5};
    FEATURE_STRUCT back{};
    back.points = room;
    back.measures = measures;
    back.allocated_points = 4;
    int32_t next = 0;
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) {
                    return xdrio_feature(x, &back, 0) == 0 && zel_xdr_long(x, &next);
                }).ok);
    EXPECT_EQ(next, 1234);
    EXPECT_EQ(room[2].y, 6);
    EXPECT_EQ(measures[0], 0);
    EXPECT_EQ(measures[3], 5);
    EXPECT_EQ(back.points, room);

    // A reader whose arrays are too small refuses; with allocate it gets new ones.
    back.allocated_points = 2;
    EXPECT_TRUE(S_decode(got.bytes, [&](XDR *x) { return xdrio_feature(x, &back, 0) != 0; }).ok);
    FEATURE_STRUCT fresh{};
    ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) { return xdrio_feature(x, &fresh, 1) == 0; }).ok);
    ASSERT_NE(fresh.z_values, nullptr);
    EXPECT_EQ(fresh.z_values[2], 9);
    EXPECT_EQ(fresh.measures, nullptr);
    std::free(fresh.points);
    std::free(fresh.z_values);

    // No points: the header only; the reader's arrays stay.
    FEATURE_STRUCT empty{};
    empty.points = points;
    Encoded header = S_encode([&](XDR *x) { return xdrio_feature(x, &empty, 0) == 0; });
    EXPECT_EQ(header.bytes.size(), 80u);
    FEATURE_STRUCT kept{};
    kept.points = room;
    ASSERT_TRUE(S_decode(header.bytes, [&](XDR *x) { return xdrio_feature(x, &kept, 0) == 0; }).ok);
    EXPECT_EQ(kept.points, room);
}

// ---- Query records ---------------------------------------------------------

TEST(XdrRecords, ConstructTableNamesAreBoundedByTheReadersSlot)
{
    struct Case {
        size_t length;
        bool writes;
        bool reads;
    };
    for (const Case &c :
         std::vector<Case>{{161, true, true}, {170, true, false}, {194, false, false}}) {
        std::string name(c.length, 't');
        char *tables[] = {name.data()};
        char where[] = "a = 1";
        VE_SQL_CONSTRUCT construct{1, tables, where};
        for (int32_t old : {0, 1}) {
            Encoded got =
                S_encode([&](XDR *x) { return xdrio_write_construct(x, &construct, old) == 0; });
            EXPECT_EQ(got.ok, c.writes) << c.length;
            if (!got.ok)
                continue;
            VE_SQL_CONSTRUCT back{};
            Decoded d = S_decode(got.bytes,
                                 [&](XDR *x) { return xdrio_read_construct(x, &back, old) == 0; });
            EXPECT_EQ(d.ok, c.reads) << c.length;
            if (d.ok) {
                EXPECT_EQ(std::string(back.tables[0]), name);
                EXPECT_STREQ(back.where, "a = 1");
                raw_construct_clear(&back);
            }
        }
    }
}

// Texts of a peer-announced length are read as their bytes come: lengths
// across several growth steps (odd ones padded) arrive whole, and a length
// whose bytes never come fails and leaves nothing.
TEST(XdrRecords, AnnouncedLengthsAreTakenAsTheirBytesCome)
{
    for (size_t length : {size_t{1}, size_t{3}, size_t{65535}, size_t{65536}, size_t{140001}}) {
        std::string text(length, 'w');
        for (size_t i = 0; i < length; i += 997)
            text[i] = static_cast<char>('a' + i % 26);
        Encoded got = S_encode(
            [&](XDR *x) { return xdrio_write_dynamic_string(x, text.c_str()) == 0; }, length + 64);
        ASSERT_TRUE(got.ok) << length;
        char *back = nullptr;
        ASSERT_TRUE(S_decode(got.bytes, [&](XDR *x) {
                        return xdrio_read_dynamic_string(x, &back) == 0;
                    }).ok);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(std::string(back), text);
        std::free(back);

        VE_SQL_CONSTRUCT construct{0, nullptr, text.data()};
        for (int32_t old : {0, 1}) {
            got = S_encode([&](XDR *x) { return xdrio_write_construct(x, &construct, old) == 0; },
                           4 * length + 64);
            ASSERT_TRUE(got.ok) << length;
            VE_SQL_CONSTRUCT read{};
            ASSERT_TRUE(S_decode(got.bytes,
                                 [&](XDR *x) { return xdrio_read_construct(x, &read, old) == 0; })
                            .ok)
                << length << " " << old;
            ASSERT_NE(read.where, nullptr);
            EXPECT_EQ(std::string(read.where), text);
            raw_construct_clear(&read);
        }
    }

    // The largest lengths announced, eight bytes sent.
    Bytes string_wire;
    S_be32(string_wire, XDR_MAX_BYTES);
    S_be32(string_wire, XDR_MAX_BYTES - 1);
    S_be32(string_wire, 0x61626364);
    S_be32(string_wire, 0x65666768);
    char *none = reinterpret_cast<char *>(1);
    EXPECT_TRUE(S_decode(string_wire, [&](XDR *x) {
                    return xdrio_read_dynamic_string(x, &none) == ZE_FAILURE;
                }).ok);
    EXPECT_EQ(none, nullptr);
    Bytes clause_wire;
    S_be32(clause_wire, 0);
    S_be32(clause_wire, XDR_MAX_BYTES);
    S_be32(clause_wire, 0x61626364);
    S_be32(clause_wire, 0x65666768);
    for (int32_t old : {0, 1}) {
        VE_SQL_CONSTRUCT read{};
        EXPECT_TRUE(S_decode(clause_wire, [&](XDR *x) {
                        return xdrio_read_construct(x, &read, old) != 0;
                    }).ok);
        EXPECT_EQ(read.where, nullptr);
        raw_construct_clear(&read);
    }
}

TEST(XdrRecords, QueryDescriptionRoundTripsAndANullRecordIsRefused)
{
    char c0[] = "NAME", c1[] = "SHAPE", t0[] = "db:o.t", h0[] = "FIRST_ROWS";
    char *columns[] = {c0, c1}, *tables[] = {t0}, *hints[] = {h0};
    char where[] = "x > 0", by[] = "ORDER BY NAME";
    VE_SQL_CONSTRUCT construct{1, tables, where};
    VE_QUERYINFO q{};
    q.reserved = 3;
    q.num_columns = 2;
    q.columns = columns;
    q.construct = &construct;
    q.query_type = 4;
    q.by_clause = by;
    q.num_hints = 1;
    q.hints = hints;
    q.last = 99;
    Encoded got = S_encode([&](XDR *x) { return xdrio_write_queryinfo(x, &q) == 0; });
    ASSERT_TRUE(got.ok);
    VE_QUERYINFO back{};
    back.reserved = 17;
    ASSERT_TRUE(
        S_decode(got.bytes, [&](XDR *x) { return xdrio_read_queryinfo(x, &back) == 0; }).ok);
    EXPECT_EQ(back.reserved, 17);
    ASSERT_EQ(back.num_columns, 2);
    EXPECT_STREQ(back.columns[1], "SHAPE");
    EXPECT_STREQ(back.construct->tables[0], "db:o.t");
    EXPECT_STREQ(back.construct->where, "x > 0");
    EXPECT_STREQ(back.by_clause, "ORDER BY NAME");
    EXPECT_STREQ(back.hints[0], "FIRST_ROWS");
    EXPECT_EQ(back.logfile, nullptr);
    EXPECT_EQ(back.last, 99);
    raw_queryinfo_clear(&back);
    EXPECT_TRUE(S_decode(got.bytes, [&](XDR *x) {
                    return xdrio_read_queryinfo(x, nullptr) == ZE_INVALID_QUERYINFO_OBJECT;
                }).ok);
}

// ---- Host-long primitives --------------------------------------------------

TEST(XdrRecords, NoSourceUsesTheHostLongPrimitives)
{
    // libtirpc's xdr_long and xdr_u_long move the host's long (8 bytes here);
    // every 32-bit engine field goes through zel_xdr_long instead.
    namespace fs = std::filesystem;
    // This file's path as the compiler saw it, relative to the build tree
    // when the compiler was given a relative one.
    fs::path self = __FILE__;
    for (fs::path base = fs::current_path(); self.is_relative(); base = base.parent_path()) {
        if (fs::exists(base / self)) {
            self = base / self;
            break;
        }
        if (base == base.parent_path())
            break;
    }
    const fs::path root = self.parent_path().parent_path().parent_path().parent_path();
    const std::regex host_long(R"(\bxdr_(u_)?long\s*[(,)])");
    std::vector<std::string> offenders;
    size_t scanned = 0;
    for (const char *dir : {"base", "server", "db", "platform", "bench", "fuzz"}) {
        if (!fs::exists(root / dir))
            continue;
        for (const auto &entry : fs::recursive_directory_iterator(root / dir)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h")
                continue;
            std::ifstream in(entry.path());
            std::string line;
            scanned++;
            for (int n = 1; std::getline(in, line); n++)
                if (std::regex_search(line, host_long))
                    offenders.push_back(entry.path().string() + ":" + std::to_string(n));
        }
    }
    EXPECT_GT(scanned, 0u);
    std::ostringstream list;
    for (const std::string &o : offenders)
        list << o << "\n";
    EXPECT_TRUE(offenders.empty()) << list.str();
}

} // namespace
