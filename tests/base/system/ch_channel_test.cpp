// The channel object over loopback TCP: every read and write member reaches
// its socket transport twin (the same bytes written, exactly the twin's form
// consumed), the old-release selection of the older forms, creation and
// refusal by type, and the freeing rule of received index definitions.
#include "base/system/ch_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/system/ch_channel_internal.h"
#include "base/system/ch_command.h"
#include "base/system/raw_form_internal.h"
#include "base/system/shm_channel_internal.h"
#include "base/system/so_channel_internal.h"
#include "base/util/ve_raster_internal.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "platform/plat_socket_internal.h"
#include "tests/base/system/so_fixture.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

namespace
{

using so_test::Bytes;

constexpr int32_t kSentinel = 0x5A5A1234;

// A connected loopback pair: a channel on each end, and a plain socket
// transport on end a that writes the twin forms.
struct Ends {
    int a = -1, b = -1;
    CH_CHANNEL *ch_a = nullptr, *ch_b = nullptr;
    SO_CHANNEL *so_a = nullptr;
    // A read that takes a wrong form waits for bytes that never come: it
    // fails after a while instead of hanging the test.
    zel_test::PeerWatchdog watchdog{&a, &b};

    explicit Ends(int32_t old, uint32_t type = CH_TYPE_SOCKET)
    {
        so_test::connect_pair(&a, &b);
        timeval limit = {5, 0};
        setsockopt(b, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ch_a = CH_create(type, old, &a);
        ch_b = CH_create(type, old, &b);
        so_a = SO_create(&a, 4096, 8192);
        EXPECT_NE(ch_a, nullptr);
        EXPECT_NE(ch_b, nullptr);
    }
    ~Ends()
    {
        watchdog.stop();
        CH_destroy(ch_a);
        CH_destroy(ch_b);
        SO_destroy(so_a);
        plat_socket_close(a);
        plat_socket_close(b);
    }
    Ends(const Ends &) = delete;
    Ends &operator=(const Ends &) = delete;

    // Whatever has reached end b, read past its channel. A flush has sent
    // everything before this is called, and loopback hands it over at once.
    // Loopback hands over a flush in pieces on a busy machine: wait long for
    // the first byte and for what the caller knows is due, briefly for more.
    Bytes drain_b(size_t due = 0)
    {
        Bytes got;
        uint8_t block[65536];
        while (plat_socket_poll(b, PLAT_SOCKET_READABLE,
                                got.empty() || got.size() < due ? 5000 : 10) > 0) {
            ssize_t n = plat_socket_recv(b, block, sizeof block);
            if (n <= 0)
                break;
            got.insert(got.end(), block, block + n);
        }
        return got;
    }
};

COORDREF *S_coordref(const char *text, int32_t srid)
{
    COORDREF *c = nullptr;
    EXPECT_EQ(MoxCoordRefCreate(&c), 0);
    c->xyunits = 1000.0;
    c->srtext = strdup(text);
    c->srid = srid;
    return c;
}

// One sample of every record a member carries.
struct Samples {
    COORDREF *coordref = S_coordref("sample", 4326);
    LAYER layer = {};
    LAYER layers[2] = {};
    FEATURE_STRUCT feature = {};
    POINT points[2] = {{1, 2}, {3, 4}};
    DB_COLUMN_DEF column = {"id", VE_INTEGER, 4, 0, 0, DB_ROWID_ENGINE};
    VE_FILTER filter = {};
    char column_name[3] = "id";
    char *column_names[1] = {column_name};
    int32_t order[1] = {DB_INDEX_ASCENDING};
    DB_INDEX_DEF index = {1, column_names, "id_ix", 1, order};
    VE_INPUT_DESC desc = {VE_STRING, 30};
    char table[7] = "roads";
    char *tables[1] = {table};
    char where[6] = "a = 1";
    VE_SQL_CONSTRUCT construct = {1, tables, where};
    VE_QUERYINFO query = {};
    RELEASE release = {8, 1, 1, "sample release", 81100};
    VE_DATE date = {1, 2, 3, 4, 5, 106, 6, 100, 0};
    ENVELOPE envelope = {1, 2, 3, 4};
    int32_t ids[3] = {7, 8, 9};
    double doubles[2] = {0.5, -2};
    int16_t shorts[2] = {3, -4};
    VE_SPIDX_STATS si_stats = {};
    VE_LAYER_STATS layer_stats = {};
    VE_LAYER_LOCKS layer_locks[2] = {};
    METADATA metadata[2] = {};
    REGISTRATION registrations[2] = {};
    RASTERCOLUMN raster_column = {};
    RASTERBAND bands[2] = {};
    RASTER raster = {};
    RASTERATTR attr = {};
    int32_t band_numbers[2] = {1, 3};
    RASCONSTRAINT constraint = {};
    STATE states[2] = {};
    VERSION versions[2] = {};
    LOGFILE logfiles[2] = {};
    VE_TABLE_LOCK table_locks[2] = {};
    VE_VERSION_LOCK version_locks[2] = {};
    VE_SPATIALREF spatialrefs[2] = {};
    LOCATOR locators[2] = {};
    VE_OBJECT_LOCK object_locks[2] = {};

    Samples()
    {
        layer.layer_id = 42;
        std::strcpy(layer.table_name, "roads");
        layer.coordref = coordref;
        layers[0] = layers[1] = layer;
        feature.feature_id = 5;
        feature.entity_type = VE_ENTITY_LINE;
        feature.num_points = feature.allocated_points = 2;
        feature.points = points;
        std::strcpy(filter.table_name, "roads");
        filter.filter_type = VE_ID_FILTER;
        filter.id = 77;
        filter.search_method = SM_AI;
        metadata[0].record_id = 3;
        registrations[1].registration_id = 12;
        raster_column.coordref = coordref;
        raster.raster_id = 6;
        constraint.band_count = 2;
        constraint.band_numbers = band_numbers;
        states[0].state_id = 4;
        versions[1].state_id = 9;
        spatialrefs[0].srid = 4326;
        spatialrefs[0].coordref = spatialrefs[1].coordref = coordref;
    }
    ~Samples()
    {
        MoxCoordRefFree(coordref);
    }
};

// A received layer or spatial reference that got a coordinate reference.
template <typename T> void S_free_refs(T *records, int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        MoxCoordRefFree(records[i].coordref);
}

// One member pair: the channel's write, its transport twin (the old form
// where the channel is to choose it), and the channel's read, which frees
// what it received.
struct Member {
    const char *name;
    std::function<int32_t(CH_CHANNEL *)> write;
    std::function<int32_t(SO_CHANNEL *, bool old)> twin;
    std::function<int32_t(CH_CHANNEL *)> read;
};

std::vector<Member> S_members(Samples &s)
{
    return {
        {"long", [](CH_CHANNEL *c) { return CH_write_long(c, -2); },
         [](SO_CHANNEL *o, bool) { return SO_write_long(o, -2); },
         [](CH_CHANNEL *c) {
             int32_t v = 0;
             int32_t rc = CH_read_long(c, &v);
             EXPECT_EQ(v, -2);
             return rc;
         }},
        {"ulong", [](CH_CHANNEL *c) { return CH_write_ulong(c, 4000000000u); },
         [](SO_CHANNEL *o, bool) { return SO_write_ulong(o, 4000000000u); },
         [](CH_CHANNEL *c) {
             uint32_t v = 0;
             int32_t rc = CH_read_ulong(c, &v);
             EXPECT_EQ(v, 4000000000u);
             return rc;
         }},
        {"float", [](CH_CHANNEL *c) { return CH_write_float(c, 0.25f); },
         [](SO_CHANNEL *o, bool) { return SO_write_float(o, 0.25f); },
         [](CH_CHANNEL *c) {
             float v = 0;
             int32_t rc = CH_read_float(c, &v);
             EXPECT_EQ(v, 0.25f);
             return rc;
         }},
        {"lfloat", [](CH_CHANNEL *c) { return CH_write_lfloat(c, -1.5); },
         [](SO_CHANNEL *o, bool) { return SO_write_lfloat(o, -1.5); },
         [](CH_CHANNEL *c) {
             double v = 0;
             int32_t rc = CH_read_lfloat(c, &v);
             EXPECT_EQ(v, -1.5);
             return rc;
         }},
        {"short", [](CH_CHANNEL *c) { return CH_write_short(c, -3); },
         [](SO_CHANNEL *o, bool) { return SO_write_short(o, -3); },
         [](CH_CHANNEL *c) {
             int16_t v = 0;
             int32_t rc = CH_read_short(c, &v);
             EXPECT_EQ(v, -3);
             return rc;
         }},
        {"pt3d", [](CH_CHANNEL *c) { return CH_write_pt3d(c, 1, -2, 3); },
         [](SO_CHANNEL *o, bool) { return SO_write_pt3d(o, 1, -2, 3); },
         [](CH_CHANNEL *c) {
             int32_t x = 0, y = 0, z = 0;
             int32_t rc = CH_read_pt3d(c, &x, &y, &z);
             EXPECT_EQ(x * 100 + y * 10 + z, 100 - 20 + 3);
             return rc;
         }},
        {"envelope", [&](CH_CHANNEL *c) { return CH_write_envp(c, &s.envelope); },
         [&](SO_CHANNEL *o, bool) { return SO_write_envp(o, &s.envelope); },
         [](CH_CHANNEL *c) {
             ENVELOPE e = {};
             int32_t rc = CH_read_envp(c, &e);
             EXPECT_EQ(e.maxy, 4);
             return rc;
         }},
        {"date", [&](CH_CHANNEL *c) { return CH_write_date(c, &s.date); },
         [&](SO_CHANNEL *o, bool) { return SO_write_date(o, &s.date); },
         [](CH_CHANNEL *c) {
             VE_DATE d = {};
             int32_t rc = CH_read_date(c, &d);
             EXPECT_EQ(d.tm_year, 106);
             return rc;
         }},
        {"feature ids", [&](CH_CHANNEL *c) { return CH_write_fid_array(c, s.ids, 3); },
         [&](SO_CHANNEL *o, bool) { return SO_write_fid_array(o, s.ids, 3); },
         [](CH_CHANNEL *c) {
             int32_t got[3] = {};
             int32_t rc = CH_read_fid_array(c, got, 3);
             EXPECT_EQ(got[2], 9);
             return rc;
         }},
        {"double array", [&](CH_CHANNEL *c) { return CH_write_lfloat_array(c, s.doubles, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_lfloat_array(o, s.doubles, 2); },
         [](CH_CHANNEL *c) {
             double got[2] = {};
             int32_t rc = CH_read_lfloat_array(c, got, 2);
             EXPECT_EQ(got[1], -2);
             return rc;
         }},
        {"block", [](CH_CHANNEL *c) { return CH_write_block(c, "abcde", 5); },
         [](SO_CHANNEL *o, bool) { return SO_write_block(o, "abcde", 5); },
         [](CH_CHANNEL *c) {
             char got[5] = {};
             int32_t rc = CH_read_block(c, got, 5);
             EXPECT_EQ(std::string(got, 5), "abcde");
             return rc;
         }},
        {"short array", [&](CH_CHANNEL *c) { return CH_write_short_array(c, 2, s.shorts); },
         [&](SO_CHANNEL *o, bool) { return SO_write_short_array(o, 2, s.shorts); },
         [](CH_CHANNEL *c) {
             int16_t count = 0, got[4] = {};
             int32_t rc = CH_read_short_array(c, &count, got, 4);
             EXPECT_EQ(count, 2);
             EXPECT_EQ(got[1], -4);
             return rc;
         }},
        {"string", [](CH_CHANNEL *c) { return CH_write_string(c, "roads"); },
         [](SO_CHANNEL *o, bool) { return SO_write_string(o, "roads"); },
         [](CH_CHANNEL *c) {
             char got[16] = "x";
             int32_t rc = CH_read_string(c, got, sizeof got);
             EXPECT_STREQ(got, "roads");
             return rc;
         }},
        {"dynamic string", [](CH_CHANNEL *c) { return CH_write_dynamic_string(c, "rivers"); },
         [](SO_CHANNEL *o, bool) { return SO_write_dynamic_string(o, "rivers"); },
         [](CH_CHANNEL *c) {
             char *got = nullptr;
             int32_t rc = CH_read_dynamic_string(c, &got);
             EXPECT_STREQ(got, "rivers");
             std::free(got);
             return rc;
         }},
        {"blob segment", [](CH_CHANNEL *c) { return CH_write_blob_seg(c, "xyz", 3, 1); },
         [](SO_CHANNEL *o, bool) { return SO_write_blob_seg(o, "xyz", 3, 1); },
         [](CH_CHANNEL *c) {
             char got[8] = {};
             int32_t length = 0, last = 0;
             int32_t rc = CH_read_blob_seg(c, got, sizeof got, &length, &last);
             EXPECT_EQ(length * 10 + last, 31);
             return rc;
         }},
        {"blob end", [](CH_CHANNEL *c) { return CH_write_blob_end(c, 3, 1); },
         [](SO_CHANNEL *o, bool) { return SO_write_blob_end(o, 3, 1); },
         [](CH_CHANNEL *c) { return CH_read_blob_end(c, 3, 1); }},
        // The release is always written in the current form; only the read
        // of an old-release channel takes the older one.
        {"release", [&](CH_CHANNEL *c) { return CH_write_release(c, &s.release); },
         [&](SO_CHANNEL *o, bool) { return SO_write_release(o, &s.release); },
         [](CH_CHANNEL *c) {
             RELEASE got = {};
             int32_t rc = ch_get_old_release_flag(c) && !ch_is_xdr_channel(c)
                              ? SO_read_release(static_cast<SO_CHANNEL *>(c->end), &got)
                              : CH_read_release(c, &got);
             EXPECT_STREQ(got.description, "sample release");
             return rc;
         }},
        {"feature", [&](CH_CHANNEL *c) { return CH_writef(c, &s.feature); },
         [&](SO_CHANNEL *o, bool) { return SO_writef(o, &s.feature); },
         [](CH_CHANNEL *c) {
             FEATURE_STRUCT got = {};
             int32_t rc = CH_readf(c, &got, 1);
             EXPECT_EQ(got.num_points, 2);
             if (got.points != nullptr) {
                 EXPECT_EQ(got.points[1].y, 4);
             }
             std::free(got.points);
             return rc;
         }},
        {"coordinate reference", [&](CH_CHANNEL *c) { return CH_write_coordref(c, s.coordref); },
         [&](SO_CHANNEL *o, bool old) {
             return old ? SO_write_coordref_old(o, s.coordref) : SO_write_coordref(o, s.coordref);
         },
         [](CH_CHANNEL *c) {
             COORDREF *got = S_coordref("mine", 1);
             int32_t rc = CH_read_coordref(c, got);
             EXPECT_STREQ(got->srtext, "sample");
             EXPECT_EQ(got->srid, ch_get_old_release_flag(c) ? 0 : 4326);
             MoxCoordRefFree(got);
             return rc;
         }},
        {"layer", [&](CH_CHANNEL *c) { return CH_write_layer(c, &s.layer); },
         [&](SO_CHANNEL *o, bool old) {
             return old ? SO_write_layer_old(o, &s.layer) : SO_write_layer(o, &s.layer);
         },
         [](CH_CHANNEL *c) {
             LAYER got = {};
             int32_t rc = CH_read_layer(c, &got);
             EXPECT_EQ(got.layer_id, 42);
             S_free_refs(&got, 1);
             return rc;
         }},
        {"layer list", [&](CH_CHANNEL *c) { return CH_write_layer_list(c, s.layers, 2); },
         [&](SO_CHANNEL *o, bool old) {
             return old ? SO_write_layer_list_old(o, s.layers, 2)
                        : SO_write_layer_list(o, s.layers, 2);
         },
         [](CH_CHANNEL *c) {
             LAYER got[3] = {};
             int32_t count = 0;
             int32_t rc = CH_read_layer_list(c, got, 3, &count);
             EXPECT_EQ(count, 2);
             S_free_refs(got, 3);
             return rc;
         }},
        {"SQL construct", [&](CH_CHANNEL *c) { return CH_write_construct(c, &s.construct); },
         [&](SO_CHANNEL *o, bool) { return SO_write_construct(o, &s.construct); },
         [](CH_CHANNEL *c) {
             VE_SQL_CONSTRUCT got = {};
             int32_t rc = CH_read_construct(c, &got);
             EXPECT_STREQ(got.where, "a = 1");
             raw_construct_clear(&got);
             return rc;
         }},
        {"column definitions", [&](CH_CHANNEL *c) { return CH_write_column_def(c, 1, &s.column); },
         [&](SO_CHANNEL *o, bool old) {
             return old ? SO_write_column_def_old(o, 1, &s.column)
                        : SO_write_column_def(o, 1, &s.column);
         },
         [](CH_CHANNEL *c) {
             int16_t count = 0;
             DB_COLUMN_DEF *got = nullptr;
             int32_t rc = CH_read_column_def(c, &count, &got);
             EXPECT_EQ(count, 1);
             if (got != nullptr) {
                 EXPECT_EQ(got[0].rowid_kind,
                           ch_get_old_release_flag(c) ? DB_ROWID_NONE : DB_ROWID_ENGINE);
             }
             std::free(got);
             return rc;
         }},
        {"spatial filters", [&](CH_CHANNEL *c) { return CH_write_filter_array(c, 1, &s.filter); },
         [&](SO_CHANNEL *o, bool old) {
             return old ? SO_write_filter_array_old(o, 1, &s.filter)
                        : SO_write_filter_array(o, 1, &s.filter);
         },
         [](CH_CHANNEL *c) {
             int16_t count = 0;
             VE_FILTER *got = nullptr;
             int32_t rc = CH_read_filter_array(c, &count, &got);
             EXPECT_EQ(count, 1);
             if (got != nullptr) {
                 EXPECT_EQ(got[0].id, 77);
             }
             raw_filter_array_free(count, got);
             return rc;
         }},
        {"query info", [&](CH_CHANNEL *c) { return CH_write_queryinfo(c, &s.query); },
         [&](SO_CHANNEL *o, bool) { return SO_write_queryinfo(o, &s.query); },
         [](CH_CHANNEL *c) {
             VE_QUERYINFO got = {};
             int32_t rc = CH_read_queryinfo(c, &got);
             raw_queryinfo_clear(&got);
             return rc;
         }},
        {"input descriptors", [&](CH_CHANNEL *c) { return CH_write_input_desc(c, 1, &s.desc); },
         [&](SO_CHANNEL *o, bool) { return SO_write_input_desc(o, 1, &s.desc); },
         [](CH_CHANNEL *c) {
             int16_t count = 0;
             VE_INPUT_DESC *got = nullptr;
             int32_t rc = CH_read_input_desc(c, &count, &got);
             EXPECT_EQ(count, 1);
             std::free(got);
             return rc;
         }},
        {"index definitions", [&](CH_CHANNEL *c) { return CH_write_index_def(c, 1, &s.index); },
         [&](SO_CHANNEL *o, bool) { return SO_write_index_def(o, 1, &s.index); },
         [](CH_CHANNEL *c) {
             int16_t count = 0;
             DB_INDEX_DEF *got = nullptr;
             int32_t rc = CH_read_index_def(c, &count, &got);
             EXPECT_EQ(count, 1);
             raw_index_def_free(count, got);
             return rc;
         }},
        {"spatial-index statistics",
         [&](CH_CHANNEL *c) { return CH_write_ve_si_stats(c, &s.si_stats); },
         [&](SO_CHANNEL *o, bool) { return SO_write_ve_si_stats(o, &s.si_stats); },
         [](CH_CHANNEL *c) {
             VE_SPIDX_STATS got = {};
             return CH_read_ve_si_stats(c, &got);
         }},
        {"layer statistics",
         [&](CH_CHANNEL *c) { return CH_write_ve_layer_stats(c, &s.layer_stats); },
         [&](SO_CHANNEL *o, bool) { return SO_write_ve_layer_stats(o, &s.layer_stats); },
         [](CH_CHANNEL *c) {
             VE_LAYER_STATS got = {};
             return CH_read_ve_layer_stats(c, &got);
         }},
        {"layer locks",
         [&](CH_CHANNEL *c) { return CH_write_ve_layer_locks_list(c, s.layer_locks, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_ve_layer_locks_list(o, s.layer_locks, 2); },
         [](CH_CHANNEL *c) {
             VE_LAYER_LOCKS got[2];
             int32_t count = 0;
             int32_t rc = CH_read_ve_layer_locks_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"table locks",
         [&](CH_CHANNEL *c) { return CH_write_ve_table_lock_list(c, s.table_locks, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_ve_table_lock_list(o, s.table_locks, 2); },
         [](CH_CHANNEL *c) {
             VE_TABLE_LOCK got[2];
             int32_t count = 0;
             int32_t rc = CH_read_ve_table_lock_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"version locks",
         [&](CH_CHANNEL *c) { return CH_write_ve_version_lock_list(c, s.version_locks, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_ve_version_lock_list(o, s.version_locks, 2); },
         [](CH_CHANNEL *c) {
             VE_VERSION_LOCK got[2];
             int32_t count = 0;
             int32_t rc = CH_read_ve_version_lock_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"object lock", [&](CH_CHANNEL *c) { return CH_write_object_lock(c, s.object_locks); },
         [&](SO_CHANNEL *o, bool) { return SO_write_object_lock(o, s.object_locks); },
         [](CH_CHANNEL *c) {
             VE_OBJECT_LOCK got;
             return CH_read_object_lock(c, &got);
         }},
        {"object lock list",
         [&](CH_CHANNEL *c) { return CH_write_object_lock_list(c, s.object_locks, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_object_lock_list(o, s.object_locks, 2); },
         [](CH_CHANNEL *c) {
             VE_OBJECT_LOCK got[2];
             int32_t count = 0;
             int32_t rc = CH_read_object_lock_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"metadata", [&](CH_CHANNEL *c) { return CH_write_metadata(c, s.metadata); },
         [&](SO_CHANNEL *o, bool) { return SO_write_metadata(o, s.metadata); },
         [](CH_CHANNEL *c) {
             METADATA got = {};
             int32_t rc = CH_read_metadata(c, &got);
             EXPECT_EQ(got.record_id, 3);
             return rc;
         }},
        {"metadata list", [&](CH_CHANNEL *c) { return CH_write_metadata_list(c, s.metadata, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_metadata_list(o, s.metadata, 2); },
         [](CH_CHANNEL *c) {
             METADATA got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_metadata_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"registration",
         [&](CH_CHANNEL *c) { return CH_write_registration(c, &s.registrations[1]); },
         [&](SO_CHANNEL *o, bool) { return SO_write_registration(o, &s.registrations[1]); },
         [](CH_CHANNEL *c) {
             REGISTRATION got = {};
             int32_t rc = CH_read_registration(c, &got);
             EXPECT_EQ(got.registration_id, 12);
             return rc;
         }},
        {"registration list",
         [&](CH_CHANNEL *c) { return CH_write_registration_list(c, s.registrations, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_registration_list(o, s.registrations, 2); },
         [](CH_CHANNEL *c) {
             REGISTRATION got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_registration_list(c, got, 2, &count);
             EXPECT_EQ(got[1].registration_id, 12);
             return rc;
         }},
        {"spatial reference", [&](CH_CHANNEL *c) { return CH_write_spatialref(c, s.spatialrefs); },
         [&](SO_CHANNEL *o, bool) { return SO_write_spatialref(o, s.spatialrefs); },
         [](CH_CHANNEL *c) {
             VE_SPATIALREF got = {};
             int32_t rc = CH_read_spatialref(c, &got);
             EXPECT_EQ(got.srid, 4326);
             S_free_refs(&got, 1);
             return rc;
         }},
        {"spatial reference list",
         [&](CH_CHANNEL *c) { return CH_write_spatialref_list(c, s.spatialrefs, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_spatialref_list(o, s.spatialrefs, 2); },
         [](CH_CHANNEL *c) {
             VE_SPATIALREF got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_spatialref_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             S_free_refs(got, 2);
             return rc;
         }},
        {"locator", [&](CH_CHANNEL *c) { return CH_write_locator(c, s.locators); },
         [&](SO_CHANNEL *o, bool) { return SO_write_locator(o, s.locators); },
         [](CH_CHANNEL *c) {
             LOCATOR got = {};
             return CH_read_locator(c, &got);
         }},
        {"locator list", [&](CH_CHANNEL *c) { return CH_write_locator_list(c, s.locators, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_locator_list(o, s.locators, 2); },
         [](CH_CHANNEL *c) {
             LOCATOR got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_locator_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"log file", [&](CH_CHANNEL *c) { return CH_write_logfile(c, s.logfiles); },
         [&](SO_CHANNEL *o, bool) { return SO_write_logfile(o, s.logfiles); },
         [](CH_CHANNEL *c) {
             LOGFILE got = {};
             return CH_read_logfile(c, &got);
         }},
        {"log file list", [&](CH_CHANNEL *c) { return CH_write_logfile_list(c, s.logfiles, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_logfile_list(o, s.logfiles, 2); },
         [](CH_CHANNEL *c) {
             LOGFILE got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_logfile_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"state", [&](CH_CHANNEL *c) { return CH_write_state(c, s.states); },
         [&](SO_CHANNEL *o, bool) { return SO_write_state(o, s.states); },
         [](CH_CHANNEL *c) {
             STATE got = {};
             int32_t rc = CH_read_state(c, &got);
             EXPECT_EQ(got.state_id, 4);
             std::free(got.lineage);
             return rc;
         }},
        {"state list", [&](CH_CHANNEL *c) { return CH_write_state_list(c, s.states, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_state_list(o, s.states, 2); },
         [](CH_CHANNEL *c) {
             STATE got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_state_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"version", [&](CH_CHANNEL *c) { return CH_write_version(c, &s.versions[1]); },
         [&](SO_CHANNEL *o, bool) { return SO_write_version(o, &s.versions[1]); },
         [](CH_CHANNEL *c) {
             VERSION got = {};
             int32_t rc = CH_read_version(c, &got);
             EXPECT_EQ(got.state_id, 9);
             return rc;
         }},
        {"version list", [&](CH_CHANNEL *c) { return CH_write_version_list(c, s.versions, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_version_list(o, s.versions, 2); },
         [](CH_CHANNEL *c) {
             VERSION got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_version_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"raster column", [&](CH_CHANNEL *c) { return CH_write_rastercolumn(c, &s.raster_column); },
         [&](SO_CHANNEL *o, bool) { return SO_write_rastercolumn(o, &s.raster_column); },
         [](CH_CHANNEL *c) {
             RASTERCOLUMN got = {};
             int32_t rc = CH_read_rastercolumn(c, &got);
             EXPECT_NE(got.coordref, nullptr);
             S_free_refs(&got, 1);
             return rc;
         }},
        {"raster column list",
         [&](CH_CHANNEL *c) { return CH_write_rastercolumn_list(c, &s.raster_column, 1); },
         [&](SO_CHANNEL *o, bool) { return SO_write_rastercolumn_list(o, &s.raster_column, 1); },
         [](CH_CHANNEL *c) {
             RASTERCOLUMN got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_rastercolumn_list(c, got, 2, &count);
             EXPECT_EQ(count, 1);
             S_free_refs(got, 2);
             return rc;
         }},
        {"raster band", [&](CH_CHANNEL *c) { return CH_write_rasterband(c, s.bands); },
         [&](SO_CHANNEL *o, bool) { return SO_write_rasterband(o, s.bands); },
         [](CH_CHANNEL *c) {
             RASTERBAND got = {};
             return CH_read_rasterband(c, &got);
         }},
        {"raster band list", [&](CH_CHANNEL *c) { return CH_write_rasterband_list(c, s.bands, 2); },
         [&](SO_CHANNEL *o, bool) { return SO_write_rasterband_list(o, s.bands, 2); },
         [](CH_CHANNEL *c) {
             RASTERBAND got[2] = {};
             int32_t count = 0;
             int32_t rc = CH_read_rasterband_list(c, got, 2, &count);
             EXPECT_EQ(count, 2);
             return rc;
         }},
        {"raster", [&](CH_CHANNEL *c) { return CH_write_raster(c, &s.raster); },
         [&](SO_CHANNEL *o, bool) { return SO_write_raster(o, &s.raster); },
         [](CH_CHANNEL *c) {
             RASTER got = {};
             int32_t rc = CH_read_raster(c, &got);
             EXPECT_EQ(got.raster_id, 6);
             return rc;
         }},
        {"raster attributes", [&](CH_CHANNEL *c) { return CH_write_rasterattr(c, &s.attr); },
         [&](SO_CHANNEL *o, bool) { return SO_write_rasterattr(o, &s.attr); },
         [](CH_CHANNEL *c) {
             RASTERATTR got = {};
             return CH_read_rasterattr(c, &got);
         }},
        {"raster constraint",
         [&](CH_CHANNEL *c) { return CH_write_rasconstraint(c, &s.constraint); },
         [&](SO_CHANNEL *o, bool) { return SO_write_rasconstraint(o, &s.constraint); },
         [](CH_CHANNEL *c) {
             RASCONSTRAINT *got = nullptr;
             int32_t rc = CH_read_rasconstraint(c, &got);
             if (got != nullptr) {
                 EXPECT_EQ(got->band_numbers[1], 3);
             }
             ves_raster_constraint_free(got);
             return rc;
         }},
    };
}

} // namespace

// Every write member sends exactly what its transport twin sends (the old
// form of the records that have one on an old-release channel), and nothing
// before the flush.
TEST(ChChannelDispatch, WritesSendTheTransportsForm)
{
    for (int32_t old = 0; old < 2; old++) {
        Samples s;
        Ends e(old);
        for (const Member &m : S_members(s)) {
            SCOPED_TRACE(std::string(m.name) + (old ? ", old release" : ""));
            ASSERT_EQ(m.write(e.ch_a), ZE_SUCCESS);
            EXPECT_EQ(plat_socket_poll(e.b, PLAT_SOCKET_READABLE, 0), 0);
            ASSERT_EQ(CH_flush(e.ch_a), ZE_SUCCESS);
            Bytes sent = e.drain_b();
            ASSERT_EQ(m.twin(e.so_a, old != 0), ZE_SUCCESS);
            ASSERT_EQ(so_flush(e.so_a), ZE_SUCCESS);
            EXPECT_EQ(sent, e.drain_b(sent.size()));
        }
    }
}

// Every read member takes exactly its transport twin's form (the old form of
// the records that have one on an old-release channel): the value behind it
// is read intact.
TEST(ChChannelDispatch, ReadsTakeTheTransportsForm)
{
    for (int32_t old = 0; old < 2; old++) {
        Samples s;
        Ends e(old);
        for (const Member &m : S_members(s)) {
            SCOPED_TRACE(std::string(m.name) + (old ? ", old release" : ""));
            ASSERT_EQ(m.twin(e.so_a, old != 0), ZE_SUCCESS);
            ASSERT_EQ(SO_write_long(e.so_a, kSentinel), ZE_SUCCESS);
            ASSERT_EQ(so_flush(e.so_a), ZE_SUCCESS);
            ASSERT_EQ(m.read(e.ch_b), ZE_SUCCESS);
            int32_t behind = 0;
            ASSERT_EQ(CH_read_long(e.ch_b, &behind), ZE_SUCCESS);
            EXPECT_EQ(behind, kSentinel);
        }
    }
}

// Every member over XDR channels: what one end writes the other reads intact,
// each value a record of its own, in both release forms. (A blob segment
// shares its record with the rest of its blob: base/system/xdr_channel_test.)
TEST(ChChannelDispatch, EveryMemberRoundTripsOverXdr)
{
    for (int32_t old = 0; old < 2; old++) {
        Samples s;
        Ends e(old, CH_TYPE_XDR);
        for (const Member &m : S_members(s)) {
            if (std::string(m.name) == "blob segment")
                continue;
            SCOPED_TRACE(std::string(m.name) + (old ? ", old release" : ""));
            ASSERT_EQ(m.write(e.ch_a), ZE_SUCCESS);
            ASSERT_EQ(CH_write_long(e.ch_a, kSentinel), ZE_SUCCESS);
            ASSERT_EQ(CH_flush(e.ch_a), ZE_SUCCESS);
            ASSERT_EQ(m.read(e.ch_b), ZE_SUCCESS);
            int32_t behind = 0;
            ASSERT_EQ(CH_read_long(e.ch_b, &behind), ZE_SUCCESS);
            EXPECT_EQ(behind, kSentinel);
        }
    }
}

// The older release's records: the layer goes as its 448-byte image and the
// 120-byte coordinate reference, the release record still as 112 bytes, and
// an old release read takes 80.
TEST(ChChannelDispatch, OldReleaseFormsAndSizes)
{
    Samples s;
    Ends e(1);
    const size_t text = std::strlen("sample") + 1;
    struct Case {
        const char *what;
        std::function<int32_t()> write;
        size_t size;
    } cases[] = {
        {"layer", [&] { return CH_write_layer(e.ch_a, &s.layer); }, 448 + 120 + 4 + text},
        {"coordinate reference", [&] { return CH_write_coordref(e.ch_a, s.coordref); },
         120 + 4 + text},
        {"release", [&] { return CH_write_release(e.ch_a, &s.release); }, 112},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.write(), ZE_SUCCESS);
        ASSERT_EQ(CH_flush(e.ch_a), ZE_SUCCESS);
        EXPECT_EQ(e.drain_b(c.size).size(), c.size);
    }

    uint8_t old_release[80] = {3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 'o', 'l', 'd'};
    ASSERT_EQ(SO_write_block(e.so_a, old_release, sizeof old_release), ZE_SUCCESS);
    ASSERT_EQ(SO_write_long(e.so_a, kSentinel), ZE_SUCCESS);
    ASSERT_EQ(so_flush(e.so_a), ZE_SUCCESS);
    RELEASE got = {};
    ASSERT_EQ(CH_read_release(e.ch_b, &got), ZE_SUCCESS);
    EXPECT_EQ(got.major * 100 + got.minor * 10 + got.bugfix, 312);
    EXPECT_STREQ(got.description, "old");
    int32_t behind = 0;
    ASSERT_EQ(CH_read_long(e.ch_b, &behind), ZE_SUCCESS);
    EXPECT_EQ(behind, kSentinel);
}

// Creation by type, the flags, and what a channel without a transport
// answers.
TEST(ChChannel, CreationAndRefusals)
{
    int fds[2];
    ASSERT_EQ(plat_socket_pair(fds), 0);
    struct Case {
        uint32_t type;
        const int *socket;
        bool made;
    } cases[] = {
        {CH_TYPE_SOCKET, &fds[0], true},
        {CH_TYPE_SOCKET, nullptr, false}, // a socket channel needs its socket
        {CH_TYPE_XDR, &fds[0], true},
        {CH_TYPE_XDR, nullptr, false},
        {CH_TYPE_SHARED_MEMORY, nullptr, true}, // its transport comes later
        {CH_TYPE_COORDINATED_MEMORY, nullptr, true},
        {4, &fds[0], false},
        {UINT32_MAX, &fds[0], false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        CH_CHANNEL *channel = CH_create(c.type, 1, c.socket);
        EXPECT_EQ(channel != nullptr, c.made);
        if (channel != nullptr) {
            EXPECT_EQ(ch_get_old_release_flag(channel), 1);
            EXPECT_EQ(ch_is_xdr_channel(channel) != 0, c.type == CH_TYPE_XDR);
        }
        CH_destroy(channel);
    }

    // A shared-memory channel before its transport is attached: the members
    // refuse, the flush has nothing to send.
    CH_CHANNEL *shared = CH_create(CH_TYPE_SHARED_MEMORY, 0, nullptr);
    ASSERT_NE(shared, nullptr);
    int32_t value = 0;
    EXPECT_EQ(CH_write_long(shared, 1), ZE_FAILURE);
    EXPECT_EQ(CH_read_long(shared, &value), ZE_FAILURE);
    EXPECT_EQ(CH_write_command(shared, 3), ZE_FAILURE);
    EXPECT_EQ(CH_flush(shared), ZE_SUCCESS);
    EXPECT_EQ(CH_data_waiting(shared), ZE_FAILURE);
    CH_destroy(shared);

    // A coordinated-memory channel not paired with another: the same, and
    // at once rather than waiting for a peer that cannot come.
    CH_CHANNEL *lone = CH_create(CH_TYPE_COORDINATED_MEMORY, 0, nullptr);
    ASSERT_NE(lone, nullptr);
    EXPECT_EQ(CH_write_long(lone, 1), ZE_FAILURE);
    EXPECT_EQ(CH_read_long(lone, &value), ZE_FAILURE);
    EXPECT_EQ(CH_flush(lone), ZE_SUCCESS);
    EXPECT_EQ(CH_data_waiting(lone), ZE_FAILURE);
    EXPECT_EQ(ch_pair_coordinated_memory(lone, lone), ZE_FAILURE);
    EXPECT_EQ(ch_pair_coordinated_memory(lone, nullptr), ZE_FAILURE);
    CH_destroy(lone);

    // No channel at all.
    EXPECT_EQ(CH_write_long(nullptr, 1), ZE_NULL_POINTER);
    EXPECT_EQ(CH_read_long(nullptr, &value), ZE_NULL_POINTER);
    EXPECT_EQ(CH_read_command(nullptr, &value), ZE_NULL_POINTER);
    EXPECT_EQ(CH_write_command(nullptr, 3), ZE_NULL_POINTER);
    EXPECT_EQ(CH_flush(nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(CH_data_waiting(nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(ch_get_old_release_flag(nullptr), 0);
    EXPECT_FALSE(ch_is_xdr_channel(nullptr));
    CH_destroy(nullptr);
    plat_socket_close(fds[0]);
    plat_socket_close(fds[1]);
}

// A socket channel's readiness is the socket's: a value already received
// into the read area does not count; destroying the channel sends what it
// held back.
TEST(ChChannel, DataWaitingAndDestroySendsWhatIsPending)
{
    Ends e(0);
    EXPECT_EQ(CH_data_waiting(e.ch_b), 0);
    ASSERT_EQ(CH_write_long(e.ch_a, 1), ZE_SUCCESS);
    ASSERT_EQ(CH_write_long(e.ch_a, 2), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch_a), ZE_SUCCESS);
    ASSERT_EQ(plat_socket_poll(e.b, PLAT_SOCKET_READABLE, 1000), 1);
    EXPECT_GT(CH_data_waiting(e.ch_b), 0);
    int32_t value = 0;
    ASSERT_EQ(CH_read_long(e.ch_b, &value), ZE_SUCCESS);
    EXPECT_EQ(CH_data_waiting(e.ch_b), 0); // the second long is in the read area

    ASSERT_EQ(CH_write_long(e.ch_a, 3), ZE_SUCCESS);
    CH_destroy(e.ch_a);
    e.ch_a = nullptr;
    ASSERT_EQ(CH_read_long(e.ch_b, &value), ZE_SUCCESS);
    ASSERT_EQ(CH_read_long(e.ch_b, &value), ZE_SUCCESS);
    EXPECT_EQ(value, 3);
}

// Index definitions a host receives are freed by the same rule as the ones a
// table description hands out: every column name is a block of its own in
// an array of 16 (the rest null), and so is the order array.
TEST(ChChannel, ReceivedIndexDefinitionsFollowTheOneFreeingRule)
{
    Ends e(0);
    char c0[] = "parcel_id", c1[] = "owner", c2[] = "zone";
    char *names[] = {c0, c1, c2};
    int32_t order[] = {DB_INDEX_ASCENDING, 0, DB_INDEX_ASCENDING};
    DB_INDEX_DEF sent[2] = {{3, names, "parcel_ix", 1, order}, {1, names + 2, "zone_ix", 0, order}};
    ASSERT_EQ(CH_write_index_def(e.ch_a, 2, sent), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch_a), ZE_SUCCESS);
    int16_t count = 0;
    DB_INDEX_DEF *got = nullptr;
    ASSERT_EQ(CH_read_index_def(e.ch_b, &count, &got), ZE_SUCCESS);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(got[0].column_names[2], "zone");
    EXPECT_EQ(got[0].column_order[1], 0);
    EXPECT_EQ(got[0].column_names[3], nullptr);
    EXPECT_EQ(got[0].column_names[DB_INDEX_MAX_COLUMNS - 1], nullptr);
    EXPECT_STREQ(got[1].index_name, "zone_ix");
    // The header's rule, written out as a host would: a name block shared
    // with another would fail here under the address sanitizer.
    for (int16_t i = 0; i < count; i++) {
        for (int c = 0; c < DB_INDEX_MAX_COLUMNS; c++)
            std::free(got[i].column_names[c]);
        std::free(got[i].column_names);
        std::free(got[i].column_order);
    }
    std::free(got);
}

namespace
{

// Two channels of a memory transport, one for each of two threads: type 2
// paired, or type 3 with the two sides of one shared-memory channel, each
// knowing this process as its peer.
struct MemoryEnds {
    CH_CHANNEL *a = nullptr, *b = nullptr;
    MemoryEnds(uint32_t type, int32_t old)
    {
        a = CH_create(type, old, nullptr);
        b = CH_create(type, old, nullptr);
        EXPECT_NE(a, nullptr);
        EXPECT_NE(b, nullptr);
        if (type == CH_TYPE_COORDINATED_MEMORY) {
            EXPECT_EQ(ch_pair_coordinated_memory(a, b), ZE_SUCCESS);
            EXPECT_EQ(ch_pair_coordinated_memory(a, b), ZE_FAILURE); // once only
            return;
        }
        const std::string name = "chtest_" + std::to_string(getpid()) + "_" + std::to_string(old);
        SHM_OBJECT *creator = nullptr, *opener = nullptr;
        EXPECT_EQ(shm_client_init(&creator, name.c_str()), 0);
        EXPECT_EQ(SHM_server_init(&opener, name.c_str()), 0);
        EXPECT_EQ(ch_attach_shared_memory(creator, a, getpid()), ZE_SUCCESS);
        EXPECT_EQ(ch_attach_shared_memory(opener, b, getpid()), ZE_SUCCESS);
    }
    ~MemoryEnds()
    {
        CH_destroy(a);
        CH_destroy(b);
    }
    MemoryEnds(const MemoryEnds &) = delete;
    MemoryEnds &operator=(const MemoryEnds &) = delete;
};

// The bytes a raw form writes.
Bytes S_form_bytes(const std::function<int32_t(RAW_IO *)> &form)
{
    Bytes out;
    RAW_IO io = {};
    io.ctx = &out;
    io.write = [](void *ctx, const void *src, size_t n) {
        auto *b = static_cast<Bytes *>(ctx);
        b->insert(b->end(), static_cast<const uint8_t *>(src),
                  static_cast<const uint8_t *>(src) + n);
        return int32_t{0};
    };
    EXPECT_EQ(form(&io), ZE_SUCCESS);
    return out;
}

} // namespace

// Every table a channel can be made with fills every member: the socket's,
// XDR's and both memory transports', for either release, and the table of a
// shared-memory channel that has no transport yet.
TEST(ChChannel, EveryTransportTableFillsEveryMember)
{
    int fds[2];
    ASSERT_EQ(plat_socket_pair(fds), 0);
    for (int32_t old : {0, 1}) {
        SCOPED_TRACE(old);
        for (uint32_t type : {CH_TYPE_SOCKET, CH_TYPE_XDR}) {
            CH_CHANNEL *channel = CH_create(type, old, &fds[0]);
            ASSERT_NE(channel, nullptr);
            EXPECT_TRUE(ch_transport_complete(*channel->transport)) << type;
            CH_destroy(channel);
        }
        for (uint32_t type : {CH_TYPE_COORDINATED_MEMORY, CH_TYPE_SHARED_MEMORY}) {
            MemoryEnds e(type, old);
            EXPECT_TRUE(ch_transport_complete(*e.a->transport)) << type;
        }
        CH_CHANNEL *waiting = CH_create(CH_TYPE_SHARED_MEMORY, old, nullptr);
        ASSERT_NE(waiting, nullptr);
        EXPECT_TRUE(ch_transport_complete(*waiting->transport));
        CH_destroy(waiting);
    }
    plat_socket_close(fds[0]);
    plat_socket_close(fds[1]);
}

// Every member's record crosses both memory transports intact, from a writer
// thread to a reader thread, in the current and the older release's forms;
// nothing is held back, so no flush is needed.
TEST(ChChannelDispatch, EveryRecordCrossesTheMemoryTransports)
{
    for (uint32_t type : {CH_TYPE_COORDINATED_MEMORY, CH_TYPE_SHARED_MEMORY}) {
        for (int32_t old = 0; old < 2; old++) {
            SCOPED_TRACE("type " + std::to_string(type) + (old ? ", old release" : ""));
            Samples s;
            MemoryEnds e(type, old);
            const std::vector<Member> members = S_members(s);
            std::vector<int32_t> written(members.size(), -1);
            std::thread writer([&] {
                for (size_t i = 0; i < members.size(); i++) {
                    if ((written[i] = members[i].write(e.a)) != ZE_SUCCESS) {
                        // Closing wakes the reader waiting for the rest.
                        CH_destroy(e.a);
                        e.a = nullptr;
                        return;
                    }
                }
                CH_write_long(e.a, kSentinel);
            });
            for (const Member &m : members) {
                SCOPED_TRACE(m.name);
                int32_t rc = m.read(e.b);
                EXPECT_EQ(rc, ZE_SUCCESS);
                if (rc != ZE_SUCCESS)
                    break;
            }
            int32_t behind = 0;
            EXPECT_EQ(CH_read_long(e.b, &behind), ZE_SUCCESS);
            EXPECT_EQ(behind, kSentinel);
            EXPECT_EQ(CH_data_waiting(e.b), 0);
            // A reader that stopped early would leave the writer waiting: the
            // close of its end wakes it.
            CH_destroy(e.b);
            e.b = nullptr;
            writer.join();
            EXPECT_EQ(written, std::vector<int32_t>(members.size(), ZE_SUCCESS));
            EXPECT_EQ(CH_flush(e.a), ZE_SUCCESS);
        }
    }
}

// To an older peer the memory transports send spatial filters as current
// images with their relation texts; only the shape's coordinate reference
// takes the older form.
TEST(ChChannelDispatch, MemoryTransportsKeepCurrentFilterImagesForAnOlderPeer)
{
    Samples s;
    POINT points[3] = {{0, 0}, {5, 0}, {5, 5}};
    FEATURE_STRUCT shape = {};
    shape.entity_type = VE_ENTITY_LINE;
    shape.num_points = shape.allocated_points = 3;
    shape.points = points;
    shape.coordref = s.coordref;
    char relation[] = "T********";
    VE_FILTER filters[2] = {s.filter, s.filter};
    filters[0].search_method = SM_CBM;
    filters[0].relation = relation;
    filters[1].filter_type = VE_SHAPE_FILTER;
    filters[1].shape = &shape;
    filters[1].search_method = SM_ENVP;
    const Bytes expected = S_form_bytes([&](RAW_IO *io) {
        return raw_write_filter_array(io, 2, filters, RAW_FILTERS_OLD_COORDREF);
    });
    const Bytes socket_form = S_form_bytes(
        [&](RAW_IO *io) { return raw_write_filter_array(io, 2, filters, RAW_FILTERS_OLD); });
    ASSERT_NE(expected.size(), socket_form.size());
    for (uint32_t type : {CH_TYPE_COORDINATED_MEMORY, CH_TYPE_SHARED_MEMORY}) {
        SCOPED_TRACE(type);
        MemoryEnds e(type, 1);
        std::thread writer([&] { EXPECT_EQ(CH_write_filter_array(e.a, 2, filters), ZE_SUCCESS); });
        Bytes got(expected.size());
        EXPECT_EQ(so_read_buffered(static_cast<SO_CHANNEL *>(e.b->end), got.data(),
                                   static_cast<int32_t>(got.size())),
                  static_cast<int32_t>(got.size()));
        writer.join();
        EXPECT_EQ(got, expected);
        EXPECT_EQ(CH_data_waiting(e.b), 0);
    }
}

// Values written in pieces of one size are read in another: a read spans
// several writes, and empty blocks and arrays in between move nothing and
// do not stall the pair.
TEST(ChChannelDispatch, MemoryReadsSpanWritesAndEmptyPiecesPass)
{
    for (uint32_t type : {CH_TYPE_COORDINATED_MEMORY, CH_TYPE_SHARED_MEMORY}) {
        SCOPED_TRACE(type);
        MemoryEnds e(type, 0);
        const double value = 1234.5;
        int32_t halves[2];
        std::memcpy(halves, &value, sizeof value);
        std::thread writer([&] {
            EXPECT_EQ(CH_write_long(e.a, halves[0]), ZE_SUCCESS);
            EXPECT_EQ(CH_write_long(e.a, halves[1]), ZE_SUCCESS);
            EXPECT_EQ(CH_write_block(e.a, halves, 0), ZE_SUCCESS);
            EXPECT_EQ(CH_write_fid_array(e.a, halves, 0), ZE_SUCCESS);
            EXPECT_EQ(CH_write_string(e.a, ""), ZE_SUCCESS);
            EXPECT_EQ(CH_write_long(e.a, kSentinel), ZE_SUCCESS);
        });
        double got = 0;
        EXPECT_EQ(CH_read_lfloat(e.b, &got), ZE_SUCCESS);
        EXPECT_EQ(got, value);
        int32_t none[1] = {-1};
        EXPECT_EQ(CH_read_block(e.b, none, 0), ZE_SUCCESS);
        EXPECT_EQ(CH_read_fid_array(e.b, none, 0), ZE_SUCCESS);
        char empty[4] = "x";
        EXPECT_EQ(CH_read_string(e.b, empty, sizeof empty), ZE_SUCCESS);
        EXPECT_STREQ(empty, "");
        int32_t behind = 0;
        EXPECT_EQ(CH_read_long(e.b, &behind), ZE_SUCCESS);
        EXPECT_EQ(behind, kSentinel);
        writer.join();
    }
}

// A shared-memory channel takes one object, and only a live peer.
TEST(ChChannel, AttachingSharedMemory)
{
    const std::string name = "chattach_" + std::to_string(getpid());
    SHM_OBJECT *object = nullptr;
    ASSERT_EQ(shm_client_init(&object, name.c_str()), 0);
    CH_CHANNEL *socket_like = CH_create(CH_TYPE_COORDINATED_MEMORY, 0, nullptr);
    CH_CHANNEL *shared = CH_create(CH_TYPE_SHARED_MEMORY, 0, nullptr);
    EXPECT_EQ(ch_attach_shared_memory(nullptr, shared, getpid()), ZE_FAILURE);
    EXPECT_EQ(ch_attach_shared_memory(object, nullptr, getpid()), ZE_FAILURE);
    EXPECT_EQ(ch_attach_shared_memory(object, socket_like, getpid()), ZE_FAILURE);
    EXPECT_EQ(ch_attach_shared_memory(object, shared, -1), ZE_FAILURE); // no such process
    EXPECT_EQ(ch_attach_shared_memory(object, shared, getpid()), ZE_SUCCESS);
    EXPECT_EQ(ch_attach_shared_memory(object, shared, getpid()), ZE_FAILURE); // has one
    EXPECT_EQ(CH_data_waiting(shared), 0);
    CH_destroy(shared); // destroys the object too
    CH_destroy(socket_like);
}

// A traced session: every record written on one end and read on the other
// is in the two channels' trace files, in order, under its heading (the
// raster attributes are never traced).
TEST(ChChannelDispatch, TraceShowsEveryRecordInOrder)
{
    const std::map<std::string, std::string> kHeadings = {
        {"long", "Long"},
        {"ulong", "ULong"},
        {"float", "Float"},
        {"lfloat", "LFloat"},
        {"short", "Short"},
        {"pt3d", "Point3D"},
        {"envelope", "Envelope"},
        {"date", "Date"},
        {"feature ids", "FID array"},
        {"double array", "LFLOAT array"},
        {"block", "Block"},
        {"short array", "ShortArray"},
        {"string", "String"},
        {"dynamic string", "Dynamic_Str"},
        {"blob segment", "Blob_Segment"},
        {"blob end", "Blob End"},
        {"release", "Release"},
        {"feature", "Feature"},
        {"coordinate reference", "CoordRef"},
        {"layer", "Layer"},
        {"layer list", "Layer List"},
        {"SQL construct", "SQL Construct"},
        {"column definitions", "Col_Defines"},
        {"spatial filters", "Filter Array"},
        {"query info", "Query Info"},
        {"input descriptors", "Col_Defines"},
        {"index definitions", "INDEX_Defines"},
        {"spatial-index statistics", "Spatial Index Statistics"},
        {"layer statistics", "Layer Stats"},
        {"layer locks", "Layer Locks"},
        {"table locks", "Table Locks"},
        {"version locks", "Version Locks"},
        {"object lock", "Object Locks"},
        {"object lock list", "Object Locks"},
        {"metadata", "Metadata Record"},
        {"metadata list", "Metadata Record List"},
        {"registration", "Registration"},
        {"registration list", "Regist_List"},
        {"spatial reference", "SpatialRef"},
        {"spatial reference list", "SpatialRef_List"},
        {"locator", "Locator Record"},
        {"locator list", "Locator  Record List"},
        {"log file", "Logfile"},
        {"log file list", "Logfile_List"},
        {"state", "State"},
        {"state list", "StateList"},
        {"version", "Version"},
        {"version list", "VersionList"},
        {"raster column", "Raster Column"},
        {"raster column list", "Raster Column List"},
        {"raster band", "Raster Band"},
        {"raster band list", "Raster Band List"},
        {"raster", "Raster"},
        {"raster attributes", ""},
        {"raster constraint", "Raster Constraint"},
    };
    char dir[] = "/tmp/ch_trace_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    setenv("ZELINTERCEPTLOC", (std::string(dir) + "\\sess").c_str(), 1);
    setenv("ZELINTERCEPT", "RW", 1);
    std::vector<std::string> expected;
    {
        Samples s;
        Ends e(0); // end a traces into sess.001, end b into sess.002
        for (const Member &m : S_members(s)) {
            SCOPED_TRACE(m.name);
            ASSERT_EQ(kHeadings.count(m.name), 1u);
            ASSERT_EQ(m.write(e.ch_a), ZE_SUCCESS);
            ASSERT_EQ(CH_flush(e.ch_a), ZE_SUCCESS);
            ASSERT_EQ(m.read(e.ch_b), ZE_SUCCESS);
            if (!kHeadings.at(m.name).empty())
                expected.push_back(kHeadings.at(m.name));
        }
    }
    unsetenv("ZELINTERCEPTLOC");
    unsetenv("ZELINTERCEPT");
    for (const char *end : {"sess.001", "sess.002"}) {
        SCOPED_TRACE(end);
        std::ifstream in(std::string(dir) + "/" + end);
        const std::string tag = std::string(end) == "sess.001" ? "[W] " : "[R] ";
        std::vector<std::string> headings;
        for (std::string line; std::getline(in, line);) {
            EXPECT_NE(line.rfind(std::string(end) == "sess.001" ? "[R] " : "[W] ", 0), 0u);
            if (line.rfind(tag, 0) == 0)
                headings.push_back(line.substr(tag.size(), line.find(':') - tag.size()));
        }
        EXPECT_EQ(headings, expected);
        std::remove((std::string(dir) + "/" + end).c_str());
    }
    rmdir(dir);
}
