// The XDR transport over a loopback TCP connection: the record framing (two
// records in one send, pending records sent by a read, a record read in part
// skipped whole, the blob records byte for byte, a filter array's three
// records per shape), a peer that uses libtirpc alone with small fragments
// reading what we write and writing what we read, a failed read that breaks
// the transport, refused writes that send nothing, and three forms built
// field by field as a peer's author would build them (a feature header with
// the peer's address of its points, a compressed feature's annotation text,
// an empty block between values).
#include "base/system/xdr_channel.h"

#include <gtest/gtest.h>
#include <rpc/xdr.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/raw_form_internal.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/zel_errors.h"
#include "mox/mox.h"
#include "platform/plat_socket_internal.h"
#include "tests/base/system/so_fixture.h"

namespace
{

using Bytes = std::vector<uint8_t>;

void S_be32(Bytes &out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

Bytes S_be(std::initializer_list<uint32_t> words)
{
    Bytes out;
    for (uint32_t w : words)
        S_be32(out, w);
    return out;
}

void S_be64(Bytes &out, double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    S_be32(out, static_cast<uint32_t>(bits >> 32));
    S_be32(out, static_cast<uint32_t>(bits));
}

// One whole record: its last-fragment header, then the body.
Bytes S_record(const Bytes &body)
{
    Bytes out = S_be({0x80000000u | static_cast<uint32_t>(body.size())});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// The peer's side, with libtirpc alone: its own record streams over its end
// of the connection, a send size of 100 bytes (libtirpc's least) so that our
// records and its own span several fragments.
int S_peer_read(void *handle, void *buffer, int n)
{
    ssize_t got = read(*static_cast<int *>(handle), buffer, static_cast<size_t>(n));
    return got > 0 ? static_cast<int>(got) : -1;
}

int S_peer_write(void *handle, void *buffer, int n)
{
    ssize_t put = write(*static_cast<int *>(handle), buffer, static_cast<size_t>(n));
    return put == n ? n : -1;
}

struct Peer {
    int fd;
    XDR out, in;
    explicit Peer(int socket) : fd(socket)
    {
        xdrrec_create(&out, 100, 100, &fd, S_peer_read, S_peer_write);
        out.x_op = XDR_ENCODE;
        xdrrec_create(&in, 100, 100, &fd, S_peer_read, S_peer_write);
        in.x_op = XDR_DECODE;
        xdrrec_skiprecord(&in); // readies the first record; reads nothing
    }
    ~Peer()
    {
        xdr_destroy(&out);
        xdr_destroy(&in);
    }
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;
    void end_record()
    {
        ASSERT_TRUE(xdrrec_endofrecord(&out, TRUE));
    }
    void next_record()
    {
        ASSERT_TRUE(xdrrec_skiprecord(&in));
    }
};

// Our channel on one end, the peer's raw end on the other.
struct Ends {
    int ours = -1, peer = -1;
    CH_CHANNEL *ch = nullptr;
    // A read that waits for bytes that never come fails instead of hanging.
    zel_test::PeerWatchdog watchdog{&ours, &peer};
    Ends()
    {
        so_test::connect_pair(&ours, &peer);
        timeval limit = {5, 0};
        setsockopt(ours, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ch = CH_create(CH_TYPE_XDR, 0, &ours);
        EXPECT_NE(ch, nullptr);
    }
    ~Ends()
    {
        watchdog.stop();
        CH_destroy(ch);
        plat_socket_close(ours);
        plat_socket_close(peer);
    }
    Ends(const Ends &) = delete;
    Ends &operator=(const Ends &) = delete;
    // Whatever has reached the peer's end.
    Bytes drain()
    {
        Bytes got;
        uint8_t block[65536];
        while (plat_socket_poll(peer, PLAT_SOCKET_READABLE, got.empty() ? 50 : 0) > 0) {
            ssize_t n = plat_socket_recv(peer, block, sizeof block);
            if (n <= 0)
                break;
            got.insert(got.end(), block, block + n);
        }
        return got;
    }
    void send_raw(const Bytes &bytes)
    {
        ASSERT_EQ(plat_socket_send(peer, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
};

// The records of a byte stream: the number of last fragments.
size_t S_records(const Bytes &bytes)
{
    size_t records = 0;
    for (size_t at = 0; at + 4 <= bytes.size();) {
        uint32_t header = static_cast<uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 |
                          bytes[at + 2] << 8 | bytes[at + 3];
        records += header >> 31;
        at += 4 + (header & 0x7fffffffu);
    }
    return records;
}

TEST(XdrChannel, WritesGatherUntilAReadOrFlushSendsThem)
{
    Ends e;
    ASSERT_EQ(CH_write_long(e.ch, 7), ZE_SUCCESS);
    ASSERT_EQ(CH_write_long(e.ch, -1), ZE_SUCCESS);
    EXPECT_EQ(plat_socket_poll(e.peer, PLAT_SOCKET_READABLE, 0), 0);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
    EXPECT_EQ(e.drain(), S_be({0x80000004, 7, 0x80000004, 0xffffffff}));

    // A read sends what is pending before it waits; a record read in part
    // is skipped whole.
    e.send_raw(S_be({0x80000008, 1, 2, 0x80000004, 3}));
    ASSERT_EQ(CH_write_short(e.ch, -2), ZE_SUCCESS);
    int32_t value = 0;
    ASSERT_EQ(CH_read_long(e.ch, &value), ZE_SUCCESS);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(e.drain(), S_be({0x80000004, 0xfffffffe}));
    ASSERT_EQ(CH_read_long(e.ch, &value), ZE_SUCCESS);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(CH_flush(e.ch), ZE_SUCCESS); // reading: nothing to send
    EXPECT_TRUE(e.drain().empty());
}

TEST(XdrChannel, BlobSegmentsShareOneRecord)
{
    struct Case {
        std::vector<std::string> segments;
        int32_t total;
        Bytes wire;
    };
    Bytes three = S_be({0x80000020, 5, 0});
    three.insert(three.end(), {'a', 'b', 'c', 'd', 'e'});
    Bytes more = S_be({3, 0});
    three.insert(three.end(), more.begin(), more.end());
    three.insert(three.end(), {'f', 'g', 'h'});
    more = S_be({0, 1});
    three.insert(three.end(), more.begin(), more.end());
    Bytes two = S_be({0x80000018, 5, 0});
    two.insert(two.end(), {'a', 'b', 'c', 'd', 'e'});
    more = S_be({2, 1});
    two.insert(two.end(), more.begin(), more.end());
    two.insert(two.end(), {'f', 'g', 0});
    const std::vector<Case> cases = {
        {{"abcde", "fgh", ""}, 8, three}, {{"abcde", "fg"}, 7, two}, {{}, 0, S_be({0x80000000})}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.total);
        Ends e;
        for (size_t i = 0; i < c.segments.size(); i++)
            ASSERT_EQ(CH_write_blob_seg(e.ch, c.segments[i].data(),
                                        static_cast<int32_t>(c.segments[i].size()),
                                        i + 1 == c.segments.size()),
                      ZE_SUCCESS);
        ASSERT_EQ(CH_write_blob_end(e.ch, c.total, 1), ZE_SUCCESS);
        Bytes wire = e.drain();
        EXPECT_EQ(wire, c.wire);

        // Read back: the segments, the end, then the next record.
        wire.insert(wire.end(), {0x80, 0, 0, 4, 0, 0, 0, 42});
        e.send_raw(wire);
        CH_CHANNEL *reader = CH_create(CH_TYPE_XDR, 0, &e.ours);
        ASSERT_NE(reader, nullptr);
        for (const std::string &segment : c.segments) {
            char buffer[8] = {};
            int32_t length = -1, last = -1;
            ASSERT_EQ(CH_read_blob_seg(reader, buffer, sizeof buffer, &length, &last), 0);
            EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), segment);
        }
        ASSERT_EQ(CH_read_blob_end(reader, c.total, 1), ZE_SUCCESS);
        int32_t next = 0;
        ASSERT_EQ(CH_read_long(reader, &next), ZE_SUCCESS);
        EXPECT_EQ(next, 42);
        CH_destroy(reader);
    }
}

TEST(XdrChannel, ShapeFiltersSpanThreeRecords)
{
    Ends e;
    COORDREF *coordref = nullptr;
    ASSERT_EQ(MoxCoordRefCreate(&coordref), 0);
    coordref->srid = 26910;
    POINT points[2] = {{1, 2}, {3, 4}};
    FEATURE_STRUCT shape{};
    shape.num_points = 2;
    shape.points = points;
    shape.coordref = coordref;
    VE_FILTER filters[2] = {};
    std::strcpy(filters[0].table_name, "roads");
    filters[0].filter_type = VE_SHAPE_FILTER;
    filters[0].shape = &shape;
    filters[0].search_method = SM_CBM;
    char relation[] = "T*F**F***";
    filters[0].relation = relation;
    filters[1].filter_type = VE_ID_FILTER;
    filters[1].id = 9;
    ASSERT_EQ(CH_write_filter_array(e.ch, 2, filters), ZE_SUCCESS);
    ASSERT_EQ(CH_write_long(e.ch, 5), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
    Bytes wire = e.drain();
    EXPECT_EQ(S_records(wire), 3u + 1);

    e.send_raw(wire);
    int16_t count = 0;
    VE_FILTER *got = nullptr;
    ASSERT_EQ(CH_read_filter_array(e.ch, &count, &got), ZE_SUCCESS);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(got[0].shape->points[1].y, 4);
    EXPECT_EQ(got[0].shape->coordref->srid, 26910);
    EXPECT_STREQ(got[0].relation, "T*F**F***");
    EXPECT_EQ(got[1].id, 9);
    raw_filter_array_free(count, got);
    int32_t next = 0;
    ASSERT_EQ(CH_read_long(e.ch, &next), ZE_SUCCESS);
    EXPECT_EQ(next, 5);
    MoxCoordRefFree(coordref);
}

// ---- A peer with libtirpc alone --------------------------------------------

TEST(XdrChannel, APeerOnLibtirpcAloneReadsWhatWeWrite)
{
    Ends e;
    RELEASE release{8, 1, 1, "Zel 8.1.1", 81100};
    VERSION versions[2] = {};
    std::strcpy(versions[0].name, "DEFAULT");
    std::strcpy(versions[0].owner, "sde");
    versions[0].state_id = 4;
    versions[1].version_id = 2;
    std::vector<int32_t> ids(3000);
    for (size_t i = 0; i < ids.size(); i++)
        ids[i] = static_cast<int32_t>(i * 7);
    ASSERT_EQ(CH_write_release(e.ch, &release), ZE_SUCCESS);
    ASSERT_EQ(CH_write_version_list(e.ch, versions, 2), ZE_SUCCESS);
    ASSERT_EQ(CH_write_fid_array(e.ch, ids.data(), static_cast<int32_t>(ids.size())), ZE_SUCCESS);
    FEATURE_STRUCT labelled{};
    POINT point = {5, 6};
    labelled.feature_id = 31;
    labelled.num_points = 1;
    labelled.entity_type = 1;
    labelled.points = &point;
    ASSERT_EQ(VES_anno_create(&labelled.anno), ZE_SUCCESS);
    std::strcpy(labelled.anno->text, "Elm Road");
    ASSERT_EQ(VES_feature_compress(&labelled, VE_SHAPE_MASK_ANNO), ZE_SUCCESS);
    labelled.points = nullptr;
    ASSERT_EQ(CH_write_compressed_feature(e.ch, &labelled), ZE_SUCCESS);
    ASSERT_EQ(CH_write_block(e.ch, "", 0), ZE_SUCCESS);
    ASSERT_EQ(CH_write_long(e.ch, 17), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);

    Peer p(e.peer);
    int major = 0, minor = 0, bugfix = 0, number = 0;
    char text[97], *ptext = text;
    ASSERT_TRUE(xdr_int(&p.in, &major) && xdr_int(&p.in, &minor) && xdr_int(&p.in, &bugfix) &&
                xdr_string(&p.in, &ptext, 96) && xdr_int(&p.in, &number));
    EXPECT_EQ(major * 100 + minor * 10 + bugfix, 811);
    EXPECT_STREQ(text, "Zel 8.1.1");
    EXPECT_EQ(number, 81100);
    p.next_record();

    u_int count = 0;
    ASSERT_TRUE(xdr_u_int(&p.in, &count));
    ASSERT_EQ(count, 2u);
    for (u_int i = 0; i < count; i++) {
        char name[64], owner[32], description[64], parent[64], parent_owner[32];
        char *pn = name, *po = owner, *pd = description, *pp = parent, *ppo = parent_owner;
        int version_id = 0, state_id = 0, parent_id = 0;
        u_int status = 0, created = 0;
        ASSERT_TRUE(xdr_string(&p.in, &pn, 63) && xdr_string(&p.in, &po, 31) &&
                    xdr_int(&p.in, &version_id) && xdr_u_int(&p.in, &status) &&
                    xdr_int(&p.in, &state_id) && xdr_string(&p.in, &pd, 63) &&
                    xdr_string(&p.in, &pp, 63) && xdr_string(&p.in, &ppo, 31) &&
                    xdr_int(&p.in, &parent_id) && xdr_u_int(&p.in, &created));
        EXPECT_EQ(std::string(name), i == 0 ? "DEFAULT" : "");
        EXPECT_EQ(state_id, i == 0 ? 4 : 0);
        EXPECT_EQ(version_id, i == 0 ? 0 : 2);
    }
    p.next_record();

    int *got = nullptr;
    u_int n = 0;
    ASSERT_TRUE(xdr_array(&p.in, reinterpret_cast<char **>(&got), &n, 32000, sizeof(int),
                          reinterpret_cast<xdrproc_t>(xdr_int)));
    ASSERT_EQ(n, 3000u);
    EXPECT_EQ(got[2999], 2999 * 7);
    std::free(got);
    p.next_record();

    // The compressed feature: id, count, entity type, size, the bytes, and
    // the annotation text as one string.
    int fid = 0, points = 0, size = 0;
    short entity = 0;
    ASSERT_TRUE(xdr_int(&p.in, &fid) && xdr_int(&p.in, &points) && xdr_short(&p.in, &entity) &&
                xdr_int(&p.in, &size));
    EXPECT_EQ(fid, 31);
    ASSERT_EQ(size, VES_get_compressed_buffer_size(&labelled));
    std::vector<char> bytes(static_cast<size_t>(size));
    ASSERT_TRUE(xdr_opaque(&p.in, bytes.data(), static_cast<u_int>(size)));
    EXPECT_EQ(std::memcmp(bytes.data(), labelled.compressed, bytes.size()), 0);
    char label[256], *plabel = label;
    ASSERT_TRUE(xdr_string(&p.in, &plabel, 255));
    EXPECT_STREQ(label, "Elm Road");
    p.next_record();
    // The empty block is a record of its own; the long follows it.
    p.next_record();
    int after = 0;
    ASSERT_TRUE(xdr_int(&p.in, &after));
    EXPECT_EQ(after, 17);
    VES_comp_feature_free(&labelled);
}

TEST(XdrChannel, WeReadWhatAPeerOnLibtirpcAloneWrites)
{
    Ends e;
    Peer p(e.peer);
    // A registration, field by field with libtirpc's primitives.
    int id = 12;
    char db[] = "gis", table[] = "parcels", owner[] = "sde", rowid[] = "OBJECTID";
    char description[] = "land parcels", keyword[] = "DEFAULTS", view[] = "parcels_evw";
    char *texts1[] = {db, table, owner, rowid, description, keyword};
    ASSERT_TRUE(xdr_int(&p.out, &id));
    for (char *&t : texts1)
        ASSERT_TRUE(xdr_string(&p.out, &t, 1000));
    int flags = 4 | 8;
    u_int date = 1700000000u, minimum = 1;
    int privileges = 30;
    char *pview = view;
    ASSERT_TRUE(xdr_int(&p.out, &flags) && xdr_u_int(&p.out, &date) &&
                xdr_int(&p.out, &privileges) && xdr_u_int(&p.out, &minimum) &&
                xdr_string(&p.out, &pview, 1000));
    p.end_record();
    // A feature-id list of 200 ids: many fragments of the peer's 100 bytes.
    std::vector<int> ids(200);
    for (size_t i = 0; i < ids.size(); i++)
        ids[i] = static_cast<int>(1000 + i);
    char *pids = reinterpret_cast<char *>(ids.data());
    u_int n = 200;
    ASSERT_TRUE(
        xdr_array(&p.out, &pids, &n, 32000, sizeof(int), reinterpret_cast<xdrproc_t>(xdr_int)));
    p.end_record();
    // A compressed feature of one point with an annotation (the bytes made by
    // our compressor: the form carries them as they are), its text one string.
    FEATURE_STRUCT source{};
    POINT point = {8, 9};
    source.num_points = 1;
    source.points = &point;
    ASSERT_EQ(VES_anno_create(&source.anno), ZE_SUCCESS);
    ASSERT_EQ(VES_feature_compress(&source, VE_SHAPE_MASK_ANNO), ZE_SUCCESS);
    source.points = nullptr;
    int fid = 64, points = 1, size = VES_get_compressed_buffer_size(&source);
    short entity = 1;
    char label[] = "Oak Lane", *plabel = label;
    ASSERT_TRUE(
        xdr_int(&p.out, &fid) && xdr_int(&p.out, &points) && xdr_short(&p.out, &entity) &&
        xdr_int(&p.out, &size) &&
        xdr_opaque(&p.out, reinterpret_cast<char *>(source.compressed), static_cast<u_int>(size)) &&
        xdr_string(&p.out, &plabel, 255));
    p.end_record();
    // An empty block: a record with nothing in it; then a long.
    p.end_record();
    int after = 23;
    ASSERT_TRUE(xdr_int(&p.out, &after));
    p.end_record();

    REGISTRATION r{};
    ASSERT_EQ(CH_read_registration(e.ch, &r), ZE_SUCCESS);
    EXPECT_EQ(r.registration_id, 12);
    EXPECT_STREQ(r.table_name, "parcels");
    EXPECT_STREQ(r.imv_view_name, "parcels_evw");
    EXPECT_EQ(r.object_flags, 12u);
    EXPECT_EQ(r.registration_date, 1700000000u);
    std::vector<int32_t> got(200);
    ASSERT_EQ(CH_read_fid_array(e.ch, got.data(), 200), ZE_SUCCESS);
    EXPECT_EQ(got[199], 1199);
    FEATURE_STRUCT feature{};
    ASSERT_EQ(VES_anno_create(&feature.anno), ZE_SUCCESS);
    ASSERT_EQ(CH_read_compressed_feature(e.ch, &feature), ZE_SUCCESS);
    EXPECT_EQ(feature.feature_id, 64);
    EXPECT_STREQ(feature.anno->text, "Oak Lane");
    char nothing[1];
    ASSERT_EQ(CH_read_block(e.ch, nothing, 0), ZE_SUCCESS);
    int32_t value = 0;
    ASSERT_EQ(CH_read_long(e.ch, &value), ZE_SUCCESS);
    EXPECT_EQ(value, 23);
    VES_comp_feature_free(&source);
    VES_comp_feature_free(&feature);
}

// ---- Failures --------------------------------------------------------------

TEST(XdrChannel, AFailedReadBreaksTheTransport)
{
    Ends e;
    // A version list above its maximum, then a good record behind it.
    e.send_raw(S_be({0x80000004, 5001, 0x80000004, 8}));
    VERSION versions[2];
    int32_t count = 0;
    EXPECT_EQ(CH_read_version_list(e.ch, versions, 2, &count), ZE_FAILURE);
    int32_t value = 0;
    EXPECT_EQ(CH_read_long(e.ch, &value), ZE_FAILURE);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(CH_write_long(e.ch, 1), ZE_FAILURE);
    EXPECT_EQ(CH_flush(e.ch), ZE_FAILURE);
    EXPECT_TRUE(e.drain().empty());
}

// Whether input waits is asked of a socket of any number, 1024 and above too.
TEST(XdrChannel, DataWaitingOnADescriptorAbove1024)
{
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < 1601) {
        if (limit.rlim_max < 1601)
            GTEST_SKIP() << "the descriptor limit is below 1601";
        limit.rlim_cur = 1601;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    }
    int ours = -1, peer = -1;
    so_test::connect_pair(&ours, &peer);
    const int high = 1600;
    ASSERT_EQ(dup2(ours, high), high);
    XDR_CHANNEL *ch = XDR_create(&high, 0, 0);
    ASSERT_NE(ch, nullptr);
    EXPECT_EQ(xdr_data_waiting(ch), 0);
    ASSERT_EQ(plat_socket_send(peer, "wxyz", 4), 4);
    for (int i = 0; i < 500 && xdr_data_waiting(ch) == 0; i++)
        usleep(10000);
    EXPECT_EQ(xdr_data_waiting(ch), 1);
    XDR_destroy(ch, 0);
    close(high);
    plat_socket_close(ours);
    plat_socket_close(peer);
}

// A record decoded whole whose peer's record breaks off (a fragment not
// marked last, then the end of the data) fails the read, and the read leaves
// nothing allocated behind it.
TEST(XdrChannel, ARecordThatBreaksOffLeavesNothingAllocated)
{
    const Bytes string_body = S_be({6, 5, 0x68656c6c, 0x6f000000}); // "hello"
    // No table names; the clause "a = 1" with its NUL, padded.
    const Bytes construct_body = S_be({0, 6, 0x61203d20, 0x31000000});
    for (int kind : {0, 1}) {
        SCOPED_TRACE(kind == 0 ? "dynamic string" : "construct");
        Ends e;
        const Bytes &body = kind == 0 ? string_body : construct_body;
        Bytes wire = S_be({static_cast<uint32_t>(body.size())}); // not the last fragment
        wire.insert(wire.end(), body.begin(), body.end());
        e.send_raw(wire);
        ASSERT_EQ(plat_socket_shutdown_send(e.peer), 0);
        if (kind == 0) {
            char *text = reinterpret_cast<char *>(&wire);
            EXPECT_EQ(CH_read_dynamic_string(e.ch, &text), ZE_FAILURE);
            EXPECT_EQ(text, nullptr);
        } else {
            VE_SQL_CONSTRUCT construct{};
            EXPECT_EQ(CH_read_construct(e.ch, &construct), ZE_FAILURE);
            EXPECT_EQ(construct.where, nullptr);
            EXPECT_EQ(construct.tables, nullptr);
        }
    }
}

// A receive time-out the host set on the socket fails the read; the
// transport is broken from then on.
TEST(XdrChannel, AHostsReceiveTimeOutFailsTheRead)
{
    Ends e;
    timeval limit = {0, 100000};
    ASSERT_EQ(setsockopt(e.ours, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit), 0);
    int32_t value = 7;
    EXPECT_EQ(CH_read_long(e.ch, &value), ZE_FAILURE);
    e.send_raw(S_be({0x80000004, 8}));
    EXPECT_EQ(CH_read_long(e.ch, &value), ZE_FAILURE);
}

TEST(XdrChannel, ARefusedWriteSendsNothing)
{
    Ends e;
    struct Case {
        const char *what;
        std::function<int32_t()> write;
        int32_t rc;
    };
    VERSION versions[1] = {};
    const std::vector<Case> cases = {
        {"null ids", [&] { return CH_write_fid_array(e.ch, nullptr, 3); }, ZE_NULL_POINTER},
        {"too many versions", [&] { return CH_write_version_list(e.ch, versions, 5001); },
         ZE_INVALID_ARGUMENT},
        {"negative blob", [&] { return CH_write_blob_seg(e.ch, "x", -1, 1); }, ZE_INVALID_ARGUMENT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // Before any write, after a write, and after a read.
        EXPECT_EQ(c.write(), c.rc);
        ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
        EXPECT_TRUE(e.drain().empty());
        ASSERT_EQ(CH_write_long(e.ch, 1), ZE_SUCCESS);
        EXPECT_EQ(c.write(), c.rc);
        ASSERT_EQ(CH_write_long(e.ch, 2), ZE_SUCCESS);
        EXPECT_EQ(c.write(), c.rc);
        ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
        EXPECT_EQ(e.drain(), S_be({0x80000004, 1, 0x80000004, 2}));
    }
}

// ---- Forms as a peer builds them ------------------------------------------

// A feature of two points with Z values, and its header as the form lists
// it: long, unsigned long id, long count, short entity type in a 4-byte unit,
// the envelope's four longs, four longs, two doubles, then the XY word and
// the Z, measure and coordinate-reference presence words; then the points
// and the Z values.
Bytes S_feature_record(uint32_t xy_word)
{
    Bytes body = S_be({9, 42, 2, 4, 10, 20, 30, 40, 5, 6, 7, 8});
    S_be64(body, 1.5);
    S_be64(body, 2.25);
    for (uint32_t w : {xy_word, 1u, 0u, 0u, 10u, 20u, 30u, 40u, 100u, 200u})
        S_be32(body, w);
    return S_record(body);
}

TEST(XdrChannel, AFeatureHeaderMayCarryThePeersAddressOfItsPoints)
{
    Ends e;
    POINT points[2] = {{10, 20}, {30, 40}};
    int32_t z[2] = {100, 200};
    FEATURE_STRUCT sent{};
    sent.wire_field = 9;
    sent.feature_id = 42;
    sent.num_points = 2;
    sent.entity_type = 4;
    sent.envelope = ENVELOPE{10, 20, 30, 40};
    for (int i = 0; i < 4; i++)
        sent.wire_fields[i] = 5 + i;
    sent.area = 1.5;
    sent.length = 2.25;
    sent.points = points;
    sent.z_values = z;
    ASSERT_EQ(CH_writef(e.ch, &sent), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
    EXPECT_EQ(e.drain(), S_feature_record(1)); // ours says "present"

    // A peer sends where its points were; no reader uses it.
    for (uint32_t xy_word : {1u, 0x0012f4a8u, 0xffffffffu}) {
        SCOPED_TRACE(xy_word);
        e.send_raw(S_feature_record(xy_word));
        FEATURE_STRUCT got{};
        ASSERT_EQ(CH_readf(e.ch, &got, 1), ZE_SUCCESS);
        EXPECT_EQ(got.feature_id, 42);
        EXPECT_EQ(got.entity_type, 4);
        EXPECT_EQ(got.envelope.maxy, 40);
        EXPECT_EQ(got.wire_fields[3], 8);
        EXPECT_EQ(got.length, 2.25);
        ASSERT_NE(got.points, nullptr);
        EXPECT_EQ(got.points[1].y, 40);
        ASSERT_NE(got.z_values, nullptr);
        EXPECT_EQ(got.z_values[1], 200);
        EXPECT_EQ(got.measures, nullptr);
        std::free(got.points);
        std::free(got.z_values);

        // The same header buffered in a row stream (no record marks).
        Bytes body = S_feature_record(xy_word);
        body.erase(body.begin(), body.begin() + 4);
        XDR memory;
        xdrmem_create(&memory, reinterpret_cast<char *>(body.data()),
                      static_cast<u_int>(body.size()), XDR_DECODE);
        POINT room[2] = {};
        int32_t z_room[2] = {};
        FEATURE_STRUCT buffered{};
        buffered.points = room;
        buffered.z_values = z_room;
        buffered.allocated_points = 2;
        EXPECT_EQ(XDRMEM_feature(&buffered, &memory), ZE_SUCCESS);
        EXPECT_EQ(room[1].x, 30);
        EXPECT_EQ(z_room[0], 100);
        xdr_destroy(&memory);
    }
}

TEST(XdrChannel, ACompressedFeatureCarriesItsAnnotationAsOnePlainString)
{
    Ends e;
    FEATURE_STRUCT sent{};
    POINT point = {1000, 2000};
    sent.feature_id = 77;
    sent.num_points = 1;
    sent.entity_type = 1;
    sent.points = &point;
    ASSERT_EQ(VES_anno_create(&sent.anno), ZE_SUCCESS);
    std::strcpy(sent.anno->text, "Main St");
    ASSERT_EQ(VES_feature_compress(&sent, VE_SHAPE_MASK_ANNO), ZE_SUCCESS);
    sent.points = nullptr;
    const int32_t size = VES_get_compressed_buffer_size(&sent);
    ASSERT_GT(size, 0);
    ASSERT_NE(sent.compressed[VE_COMP_FLAGS_OFFSET] & VE_COMP_FLAG_ANNO, 0);

    // Long id, long count, short entity type, long size, the bytes padded to
    // 4, then the text as one XDR string: its length, its characters, padding.
    Bytes body = S_be({77, 1, 1, static_cast<uint32_t>(size)});
    body.insert(body.end(), sent.compressed, sent.compressed + size);
    while (body.size() % 4 != 0)
        body.push_back(0);
    S_be32(body, 7);
    body.insert(body.end(), {'M', 'a', 'i', 'n', ' ', 'S', 't', 0});
    ASSERT_EQ(CH_write_compressed_feature(e.ch, &sent), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
    EXPECT_EQ(e.drain(), S_record(body));
    body.insert(body.end(), {0, 0, 0, 3}); // a long after the string, same record
    const Bytes hand = S_record(body);

    // Our reader takes the peer's record (a word behind the text is skipped
    // with the rest of the record), and the next record after it.
    e.send_raw(hand);
    e.send_raw(S_be({0x80000004, 5}));
    FEATURE_STRUCT got{};
    ASSERT_EQ(VES_anno_create(&got.anno), ZE_SUCCESS);
    ASSERT_EQ(CH_read_compressed_feature(e.ch, &got), ZE_SUCCESS);
    EXPECT_EQ(got.feature_id, 77);
    ASSERT_EQ(VES_get_compressed_buffer_size(&got), size);
    EXPECT_EQ(std::memcmp(got.compressed, sent.compressed, static_cast<size_t>(size)), 0);
    EXPECT_STREQ(got.anno->text, "Main St");
    int32_t next = 0;
    ASSERT_EQ(CH_read_long(e.ch, &next), ZE_SUCCESS);
    EXPECT_EQ(next, 5);

    // A text longer than a reader's 255 characters is refused before a byte
    // goes out.
    std::memset(sent.anno->text, 'x', sizeof sent.anno->text);
    EXPECT_EQ(CH_write_compressed_feature(e.ch, &sent), ZE_INVALID_ARGUMENT);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
    EXPECT_TRUE(e.drain().empty());
    VES_comp_feature_free(&sent);
    VES_comp_feature_free(&got);
}

TEST(XdrChannel, AnEmptyBlockIsARecordOfItsOwn)
{
    Ends e;
    // 6, an empty block, 7, 8: four records, the second with no bytes.
    const Bytes hand = S_be({0x80000004, 6, 0x80000000, 0x80000004, 7, 0x80000004, 8});
    ASSERT_EQ(CH_write_long(e.ch, 6), ZE_SUCCESS);
    ASSERT_EQ(CH_write_block(e.ch, "", 0), ZE_SUCCESS);
    ASSERT_EQ(CH_write_long(e.ch, 7), ZE_SUCCESS);
    ASSERT_EQ(CH_write_long(e.ch, 8), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
    EXPECT_EQ(e.drain(), hand);

    // An empty block first, before anything else was written.
    ASSERT_EQ(CH_write_block(e.ch, "", 0), ZE_SUCCESS);
    ASSERT_EQ(CH_flush(e.ch), ZE_SUCCESS);
    EXPECT_EQ(e.drain(), S_be({0x80000000}));

    e.send_raw(hand);
    int32_t value = 0;
    ASSERT_EQ(CH_read_long(e.ch, &value), ZE_SUCCESS);
    EXPECT_EQ(value, 6);
    char nothing[1];
    ASSERT_EQ(CH_read_block(e.ch, nothing, 0), ZE_SUCCESS);
    for (int32_t want : {7, 8}) {
        ASSERT_EQ(CH_read_long(e.ch, &value), ZE_SUCCESS);
        EXPECT_EQ(value, want);
    }
}

} // namespace
