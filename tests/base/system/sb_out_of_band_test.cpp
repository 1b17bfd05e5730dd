// Out-of-band rows and direct blobs over loopback, on socket channels (raw
// forms) and XDR channels: the exact bytes of a row and of blobs around one
// segment (with the XDR end's padding); rows of every type and blobs of every
// size round trip into memory, files and nowhere; a row too large for an
// empty row stream buffer travels between its buffers; a hostile peer's
// counts, strings and segment lengths are refused (-10) and leave the channel
// broken; a failed file write answers -79 after draining the blob; wrong
// arguments send or read nothing.
#include "base/system/sb_out_of_band.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/sb_buffer.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_date.h"
#include "base/util/ve_feature.h"
#include "base/util/zel_errors.h"
#include "platform/plat_socket_internal.h"
#include "tests/base/system/so_fixture.h"

namespace
{

using Bytes = std::vector<uint8_t>;

constexpr int32_t kSegment = VES_BLOB_SEGMENT_SIZE;
// A long sent after each message: read back right, the reader stayed in step.
constexpr int32_t kMarker = 0x5EA1ED;

// ---- Rows --------------------------------------------------------------------

DB_COLUMN_DEF S_col(int32_t type, int32_t size = 0)
{
    DB_COLUMN_DEF c = {};
    std::snprintf(c.name, sizeof c.name, "c%d", type);
    c.type = type;
    c.size = size;
    return c;
}

// One column of every type, and a second blob.
enum { kShort, kInt, kFloat, kDouble, kString, kBlob, kDate, kShape, kRaster, kBlob2, kTen };

std::vector<DB_COLUMN_DEF> S_ten_columns()
{
    return {S_col(VE_SMALLINT),   S_col(VE_INTEGER), S_col(VE_FLOAT),     S_col(VE_DOUBLE),
            S_col(VE_STRING, 12), S_col(VE_BLOB),    S_col(VE_DATE_TYPE), S_col(VE_SHAPE),
            S_col(VE_RASTER),     S_col(VE_BLOB)};
}

// A row that owns its columns, buffers and auxiliary longs; every column
// starts null.
struct Row {
    std::vector<DB_COLUMN_DEF> cols;
    std::vector<int32_t> aux;
    VE_ROW_POINTERS r = {};

    explicit Row(std::vector<DB_COLUMN_DEF> columns, int16_t aux_count = 0)
        : cols(std::move(columns)), aux(static_cast<size_t>(aux_count))
    {
        r.column_count = static_cast<int16_t>(cols.size());
        r.columns = cols.data();
        EXPECT_EQ(VES_allocate_row_pointers(&r, 0), 0);
        r.aux_count = aux_count;
        r.aux_longs = aux.empty() ? nullptr : aux.data();
        for (size_t i = 0; i < cols.size(); i++)
            r.indicators[i] = VE_IND_NULL;
    }
    ~Row()
    {
        VES_free_row_pointers(&r);
    }
    Row(const Row &) = delete;
    Row &operator=(const Row &) = delete;

    template <typename T> void set(int i, T v)
    {
        std::memcpy(r.buffers[i], &v, sizeof v);
        r.indicators[i] = VE_IND_VALUE;
    }
    void set_string(int i, const char *s)
    {
        std::strcpy(static_cast<char *>(r.buffers[i]), s);
        r.indicators[i] = VE_IND_VALUE;
    }
    FEATURE_STRUCT *shape(int i)
    {
        return static_cast<FEATURE_STRUCT *>(r.buffers[i]);
    }
    void set_shape(int i, int32_t id, const std::vector<POINT> &points)
    {
        FEATURE_STRUCT *f = shape(i);
        ASSERT_EQ(VES_comp_feature_alloc(f, static_cast<int32_t>(points.size()), 0, 1), 0);
        std::memcpy(f->points, points.data(), points.size() * sizeof(POINT));
        f->num_points = static_cast<int32_t>(points.size());
        f->feature_id = id;
        f->entity_type = VE_ENTITY_LINE;
        ASSERT_EQ(VES_feature_compress(f, 0), 0);
        r.indicators[i] = VE_IND_VALUE;
    }
    template <typename T> T get(int i) const
    {
        T v;
        std::memcpy(&v, r.values[i], sizeof v);
        return v;
    }
};

VE_DATE S_date(int day)
{
    VE_DATE d = {};
    d.tm_sec = 5;
    d.tm_min = 4;
    d.tm_hour = 3;
    d.tm_mday = day;
    d.tm_mon = 11;
    d.tm_year = 126;
    d.tm_wday = 5;
    d.tm_yday = 344;
    return d;
}

void S_fill(Row &row)
{
    row.aux[0] = 0x01020304;
    row.aux[1] = -7;
    row.set<int16_t>(kShort, -300);
    row.set<int32_t>(kInt, 70000);
    row.set<float>(kFloat, 1.5f);
    row.set<double>(kDouble, -2.25e10);
    row.set_string(kString, "twelve chars");
    row.r.indicators[kBlob] = VE_IND_VALUE;
    row.set<VE_DATE>(kDate, S_date(9));
    row.set_shape(kShape, 9000, {{1, 2}, {11, -3}, {-4, 7}});
    row.set<int32_t>(kRaster, 42);
    row.r.indicators[kBlob2] = VE_IND_VALUE;
}

Bytes S_pattern(size_t n, int seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = static_cast<uint8_t>(i * 7 + (i >> 8) + static_cast<size_t>(seed));
    return b;
}

// ---- Peer's bytes in either transport's form ------------------------------------

// What a peer sends, value by value, in the form of the channel type: raw
// (little-endian, no padding) on a socket; on an XDR channel one record per
// value, big-endian, padded to 4, with a blob's segments and end in one record.
struct Peer {
    uint32_t type;
    Bytes out;
    Bytes record; // XDR: the record being built

    bool xdr() const
    {
        return type == CH_TYPE_XDR;
    }
    void put_be(uint32_t v)
    {
        for (int i = 3; i >= 0; i--)
            record.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void put_le(const void *p, size_t n)
    {
        out.insert(out.end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
    }
    void put_bytes(const void *p, size_t n)
    {
        Bytes &to = xdr() ? record : out;
        to.insert(to.end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
    }
    void pad()
    {
        while (record.size() % 4 != 0)
            record.push_back(0);
    }
    // Closes the XDR record: one last fragment (the records here are small).
    Peer &close()
    {
        if (!xdr())
            return *this;
        const uint32_t header = 0x80000000u | static_cast<uint32_t>(record.size());
        for (int i = 3; i >= 0; i--)
            out.push_back(static_cast<uint8_t>(header >> (8 * i)));
        out.insert(out.end(), record.begin(), record.end());
        record.clear();
        return *this;
    }
    Peer &i16(int16_t v)
    {
        if (xdr())
            put_be(static_cast<uint32_t>(static_cast<int32_t>(v)));
        else
            put_le(&v, 2);
        return close();
    }
    Peer &i32(int32_t v)
    {
        if (xdr())
            put_be(static_cast<uint32_t>(v));
        else
            put_le(&v, 4);
        return close();
    }
    Peer &f32(float v)
    {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        return i32(static_cast<int32_t>(u));
    }
    Peer &f64(double v)
    {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        if (xdr()) {
            put_be(static_cast<uint32_t>(u >> 32));
            put_be(static_cast<uint32_t>(u));
        } else {
            put_le(&u, 8);
        }
        return close();
    }
    Peer &shorts(int16_t count, const std::vector<int16_t> &values)
    {
        if (xdr()) {
            put_be(static_cast<uint32_t>(static_cast<int32_t>(count)));
            for (int16_t v : values)
                put_be(static_cast<uint32_t>(static_cast<int32_t>(v)));
        } else {
            put_le(&count, 2);
            for (int16_t v : values)
                put_le(&v, 2);
        }
        return close();
    }
    // A string: raw, its length with the NUL and the bytes with it; XDR, an
    // XDR string.
    Peer &str(const std::string &s)
    {
        if (xdr()) {
            put_be(static_cast<uint32_t>(s.size()));
            put_bytes(s.data(), s.size());
            pad();
        } else {
            int32_t n = s.empty() ? 0 : static_cast<int32_t>(s.size() + 1);
            put_le(&n, 4);
            put_le(s.c_str(), static_cast<size_t>(n));
        }
        return close();
    }
    Peer &date(const VE_DATE &d)
    {
        const int32_t *f = &d.tm_sec;
        for (int i = 0; i < 9; i++) {
            if (xdr())
                put_be(static_cast<uint32_t>(f[i]));
            else
                put_le(&f[i], 4);
        }
        return close();
    }
    // A compressed feature: id, points, entity type (raw: longs; XDR: the
    // type a short), the size, the bytes (XDR padded).
    Peer &feature(int32_t id, int32_t points, int16_t entity, int32_t size, const uint8_t *bytes)
    {
        if (xdr()) {
            for (int32_t v : {id, points, static_cast<int32_t>(entity), size})
                put_be(static_cast<uint32_t>(v));
            put_bytes(bytes, static_cast<size_t>(size > 0 ? size : 0));
            pad();
        } else {
            const int32_t e = entity;
            for (int32_t v : {id, points, e, size})
                put_le(&v, 4);
            put_le(bytes, static_cast<size_t>(size > 0 ? size : 0));
        }
        return close();
    }
    // One blob segment: its length and last flag, then the bytes given.
    Peer &seg(int32_t length, int32_t last, const uint8_t *bytes, size_t n)
    {
        if (xdr()) {
            put_be(static_cast<uint32_t>(length));
            put_be(static_cast<uint32_t>(last));
        } else {
            put_le(&length, 4);
            put_le(&last, 4);
        }
        put_bytes(bytes, n);
        return *this;
    }
    // The blob's end: nothing raw; XDR, the padding of the total, and the
    // record closes.
    Peer &end(int32_t total)
    {
        if (!xdr())
            return *this;
        for (int32_t i = 0; i < (4 - total % 4) % 4; i++)
            record.push_back(0);
        return close();
    }
    // A whole blob as the writer sends it.
    Peer &blob(const Bytes &b)
    {
        size_t at = 0;
        for (;;) {
            const size_t rest = b.size() - at;
            const bool last = rest <= static_cast<size_t>(kSegment);
            const size_t n = last ? rest : static_cast<size_t>(kSegment);
            seg(static_cast<int32_t>(n), last ? 1 : 0, b.data() + at, n);
            if (last)
                break;
            at += n;
        }
        return end(static_cast<int32_t>(b.size()));
    }
};

// ---- Channels ----------------------------------------------------------------

// The channel pair, and what reached its end b read raw.
struct Link : so_test::ChannelPair {
    using ChannelPair::ChannelPair;

    // Exactly n bytes as they reached end b (its channel is not used).
    Bytes take_at_b(size_t n)
    {
        Bytes got(n);
        EXPECT_EQ(CH_readn(b, got.data(), static_cast<int32_t>(n)), static_cast<int32_t>(n));
        return got;
    }
    // One XDR record as it reached end b, its fragments joined: only the
    // last fragment has bit 31 of its header set.
    Bytes take_record_at_b()
    {
        Bytes record;
        for (bool last = false; !last;) {
            const Bytes header = take_at_b(4);
            const uint32_t word = static_cast<uint32_t>(header[0]) << 24 | header[1] << 16 |
                                  header[2] << 8 | header[3];
            last = (word & 0x80000000u) != 0;
            const Bytes part = take_at_b(word & 0x7FFFFFFFu);
            record.insert(record.end(), part.begin(), part.end());
        }
        return record;
    }
    // Whether more bytes reach end b within wait_ms.
    bool more_at_b(int wait_ms)
    {
        return plat_socket_poll(b, PLAT_SOCKET_READABLE, wait_ms) > 0;
    }
    // The peer's bytes arrive at end b's channel.
    void peer_sends(const Bytes &bytes)
    {
        ASSERT_EQ(CH_writen(a, bytes.data(), static_cast<int32_t>(bytes.size())),
                  static_cast<int32_t>(bytes.size()));
    }
};

class OobChannel : public ::testing::TestWithParam<uint32_t>
{
};

INSTANTIATE_TEST_SUITE_P(SocketAndXdr, OobChannel, ::testing::Values(CH_TYPE_SOCKET, CH_TYPE_XDR),
                         [](const ::testing::TestParamInfo<uint32_t> &info) {
                             return std::string(info.param == CH_TYPE_XDR ? "Xdr" : "Socket");
                         });

// ---- Bytes on the wire -----------------------------------------------------------

TEST_P(OobChannel, RowTravelsAsCountIndicatorsAuxiliaryLongsAndPresentValues)
{
    const uint32_t type = GetParam();
    Link link(type);
    Row row(S_ten_columns(), 2);
    S_fill(row);
    row.r.indicators[kBlob] = VE_IND_NULL;
    row.r.indicators[kFloat] = VE_IND_NULL;
    FEATURE_STRUCT *f = row.shape(kShape);
    const int32_t size = VES_get_compressed_buffer_size(f);
    // The second blob has a value: its blob must follow.
    ASSERT_EQ(VES_write_out_of_band_row(link.tx, &row.r), ZE_BLOB_PIECES_FOLLOW);

    Peer want{type, {}, {}};
    want.shorts(kTen, {2, 2, 1, 2, 2, 1, 2, 2, 2, 2});
    want.i32(0x01020304).i32(-7);
    want.i16(-300).i32(70000).f64(-2.25e10).str("twelve chars").date(S_date(9));
    want.feature(9000, 3, VE_ENTITY_LINE, size, f->compressed);
    // The raster column (type 9) and the blobs carry nothing here.
    EXPECT_EQ(link.take_at_b(want.out.size()), want.out);
    EXPECT_FALSE(link.more_at_b(100)) << "the row is flushed whole and nothing else is sent";
}

TEST_P(OobChannel, RowWhoseOnlyBlobIsNullAnswersZero)
{
    Link link(GetParam());
    Row row({S_col(VE_INTEGER), S_col(VE_BLOB)});
    row.set<int32_t>(0, 5);
    EXPECT_EQ(VES_write_out_of_band_row(link.tx, &row.r), 0);
    row.r.indicators[1] = VE_IND_VALUE;
    EXPECT_EQ(VES_write_out_of_band_row(link.tx, &row.r), ZE_BLOB_PIECES_FOLLOW);
}

// A blob's segments: the sizes and last flags the writer cuts it into.
struct Cut {
    int32_t size;
    std::vector<std::pair<int32_t, int32_t>> segments; // length, last
};

TEST_P(OobChannel, DirectBlobIsCutIntoSegmentsOfSixtyThousandBytesAndItsEnd)
{
    const uint32_t type = GetParam();
    const Cut cuts[] = {
        {0, {{0, 1}}},
        {5, {{5, 1}}},
        {kSegment, {{kSegment, 1}}},
        {kSegment + 1, {{kSegment, 0}, {1, 1}}},
        {2 * kSegment + 7, {{kSegment, 0}, {kSegment, 0}, {7, 1}}},
    };
    for (const Cut &cut : cuts) {
        SCOPED_TRACE(cut.size);
        Link link(type);
        const Bytes data = S_pattern(static_cast<size_t>(cut.size), 3);
        Peer want{type, {}, {}};
        size_t at = 0;
        for (auto [length, last] : cut.segments) {
            want.seg(length, last, data.data() + at, static_cast<size_t>(length));
            at += static_cast<size_t>(length);
        }
        want.end(cut.size);
        std::thread writer([&] {
            VE_BLOB_VALUE blob = {cut.size, const_cast<uint8_t *>(data.data())};
            EXPECT_EQ(VES_write_direct_blob(link.tx, &blob), 0);
            EXPECT_EQ(CH_flush(link.tx), 0);
        });
        // XDR: the one record the peer builds (behind its one header), in
        // whatever fragments the channel sent it.
        const Bytes got =
            type == CH_TYPE_XDR ? link.take_record_at_b() : link.take_at_b(want.out.size());
        const Bytes expected =
            type == CH_TYPE_XDR ? Bytes(want.out.begin() + 4, want.out.end()) : want.out;
        writer.join();
        EXPECT_TRUE(got == expected);
        EXPECT_FALSE(link.more_at_b(50));
    }
}

TEST(OobBytes, BlobJustOverOneSegmentOnASocketIsTwoSegmentsAndNoEnd)
{
    Link link(CH_TYPE_SOCKET);
    const Bytes data = S_pattern(kSegment + 1, 1);
    std::thread writer([&] {
        VE_BLOB_VALUE blob = {kSegment + 1, const_cast<uint8_t *>(data.data())};
        EXPECT_EQ(VES_write_direct_blob(link.tx, &blob), 0);
        EXPECT_EQ(CH_flush(link.tx), 0);
    });
    const Bytes got = link.take_at_b(8 + kSegment + 8 + 1);
    writer.join();
    // 60000 and "not last", the bytes, 1 and "last", the last byte.
    const Bytes head = {0x60, 0xEA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const Bytes tail = {0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, data.back()};
    EXPECT_TRUE(Bytes(got.begin(), got.begin() + 8) == head);
    EXPECT_TRUE(Bytes(got.begin() + 8, got.begin() + 8 + kSegment) ==
                Bytes(data.begin(), data.begin() + kSegment));
    EXPECT_TRUE(Bytes(got.end() - 9, got.end()) == tail);
    EXPECT_FALSE(link.more_at_b(100));
}

TEST(OobBytes, BlobJustOverOneSegmentOnXdrIsOneRecordEndingInThreeBytesOfPadding)
{
    Link link(CH_TYPE_XDR);
    const Bytes data = S_pattern(kSegment + 1, 2);
    std::thread writer([&] {
        VE_BLOB_VALUE blob = {kSegment + 1, const_cast<uint8_t *>(data.data())};
        EXPECT_EQ(VES_write_direct_blob(link.tx, &blob), 0);
    });
    const Bytes record = link.take_record_at_b();
    writer.join();
    ASSERT_EQ(record.size(), 8u + kSegment + 8 + 1 + 3);
    const Bytes head = {0x00, 0x00, 0xEA, 0x60, 0x00, 0x00, 0x00, 0x00};
    const Bytes tail = {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, data.back(), 0, 0, 0};
    EXPECT_TRUE(Bytes(record.begin(), record.begin() + 8) == head);
    EXPECT_TRUE(Bytes(record.begin() + 8, record.begin() + 8 + kSegment) ==
                Bytes(data.begin(), data.begin() + kSegment));
    EXPECT_TRUE(Bytes(record.end() - 12, record.end()) == tail);
    EXPECT_FALSE(link.more_at_b(100));
}

TEST(OobBytes, XdrChannelRefusesANegativeSegmentLengthItself)
{
    Link link(CH_TYPE_XDR);
    Peer peer{CH_TYPE_XDR, {}, {}};
    peer.seg(-4, 1, nullptr, 0).close().i32(kMarker);
    link.peer_sends(peer.out);
    uint8_t area[8];
    int32_t length = 0, last = 0;
    EXPECT_EQ(CH_read_blob_seg(link.rx, area, sizeof area, &length, &last), ZE_FAILURE);
    int32_t marker = 0;
    EXPECT_EQ(CH_read_long(link.rx, &marker), ZE_FAILURE) << "the transport is broken";
}

TEST(OobBytes, SocketBlobWaitsForTheCallersFlushAnXdrBlobGoesWithItsEnd)
{
    for (uint32_t type : {CH_TYPE_SOCKET, CH_TYPE_XDR}) {
        Link link(type);
        VE_BLOB_VALUE blob = {5, const_cast<uint8_t *>(reinterpret_cast<const uint8_t *>("bytes"))};
        ASSERT_EQ(VES_write_direct_blob(link.tx, &blob), 0);
        EXPECT_EQ(link.more_at_b(200), type == CH_TYPE_XDR) << type;
        ASSERT_EQ(CH_flush(link.tx), 0);
        EXPECT_TRUE(link.more_at_b(2000)) << type;
    }
}

// ---- Round trips ---------------------------------------------------------------

TEST_P(OobChannel, RowOfEveryTypeAndItsBlobsRoundTrip)
{
    Link link(GetParam());
    const Bytes first = S_pattern(kSegment + 1, 5);
    std::thread writer([&] {
        Row row(S_ten_columns(), 2);
        S_fill(row);
        EXPECT_EQ(VES_write_out_of_band_row(link.tx, &row.r), ZE_BLOB_PIECES_FOLLOW);
        VE_BLOB_VALUE one = {static_cast<int32_t>(first.size()),
                             const_cast<uint8_t *>(first.data())};
        VE_BLOB_VALUE two = {0, nullptr};
        EXPECT_EQ(VES_write_direct_blob(link.tx, &one), 0);
        EXPECT_EQ(VES_write_direct_blob(link.tx, &two), 0);
        EXPECT_EQ(CH_write_long(link.tx, kMarker), 0);
        EXPECT_EQ(CH_flush(link.tx), 0);
    });

    Row got(S_ten_columns(), 2);
    // The raster column receives nothing: its buffer keeps what it had.
    std::memcpy(got.r.buffers[kRaster], &kMarker, sizeof kMarker);
    ASSERT_EQ(VES_read_out_of_band_row(link.rx, &got.r, 1), 0);
    for (int i = 0; i < kTen; i++) {
        EXPECT_EQ(got.r.indicators[i], VE_IND_VALUE) << i;
        EXPECT_EQ(got.r.values[i], got.r.buffers[i]) << i;
    }
    EXPECT_EQ(got.aux[0], 0x01020304);
    EXPECT_EQ(got.aux[1], -7);
    EXPECT_EQ(got.get<int16_t>(kShort), -300);
    EXPECT_EQ(got.get<int32_t>(kInt), 70000);
    EXPECT_EQ(got.get<float>(kFloat), 1.5f);
    EXPECT_EQ(got.get<double>(kDouble), -2.25e10);
    EXPECT_STREQ(static_cast<const char *>(got.r.values[kString]), "twelve chars");
    const VE_DATE date = got.get<VE_DATE>(kDate), want_date = S_date(9);
    EXPECT_EQ(std::memcmp(&date, &want_date, sizeof date), 0);
    EXPECT_EQ(got.get<int32_t>(kRaster), kMarker);
    FEATURE_STRUCT *f = got.shape(kShape);
    EXPECT_EQ(f->feature_id, 9000);
    EXPECT_EQ(f->num_points, 3);
    ASSERT_EQ(VES_feature_uncompress(1, f), 0);
    EXPECT_EQ(f->points[1].x, 11);
    EXPECT_EQ(f->points[1].y, -3);

    VE_BLOB_VALUE one = {0, nullptr}, two = {0, nullptr};
    EXPECT_EQ(VES_read_direct_blob(link.rx, 0, 0, 0, -1, &one), 0);
    EXPECT_EQ(VES_read_direct_blob(link.rx, 0, 0, 0, -1, &two), 0);
    ASSERT_EQ(one.byte_count, static_cast<int32_t>(first.size()));
    EXPECT_TRUE(Bytes(one.data, one.data + one.byte_count) == first);
    EXPECT_EQ(two.byte_count, 0);
    std::free(one.data);
    std::free(two.data);
    int32_t marker = 0;
    EXPECT_EQ(CH_read_long(link.rx, &marker), 0);
    EXPECT_EQ(marker, kMarker);
    writer.join();
}

TEST_P(OobChannel, RowIsReadIntoTheCallersValuePointersWithoutOwnBuffers)
{
    Link link(GetParam());
    Row sent({S_col(VE_INTEGER), S_col(VE_STRING, 8), S_col(VE_DOUBLE)});
    sent.set<int32_t>(0, -12);
    sent.set_string(1, "eight ch");
    ASSERT_EQ(VES_write_out_of_band_row(link.tx, &sent.r), 0);

    Row got({S_col(VE_INTEGER), S_col(VE_STRING, 8), S_col(VE_DOUBLE)});
    int32_t number = 0;
    char text[9] = {};
    got.r.values[0] = &number;
    got.r.values[1] = text;
    // A null value pointer is fine where no value arrives.
    got.r.values[2] = nullptr;
    ASSERT_EQ(VES_read_out_of_band_row(link.rx, &got.r, 0), 0);
    EXPECT_EQ(number, -12);
    EXPECT_STREQ(text, "eight ch");
    EXPECT_EQ(got.r.indicators[2], VE_IND_NULL);
}

// The ways of receiving a blob.
enum Way { kOwnMemory, kCallerMemory, kOwnFile, kCallerFile, kDiscard, kWays };

TEST_P(OobChannel, BlobsOfEverySizeRoundTripInEveryWayOfReceiving)
{
    Link link(GetParam());
    const int32_t sizes[] = {0, 1, 3, kSegment - 1, kSegment, kSegment + 1, 2 * kSegment + 2};
    std::vector<Bytes> sent;
    for (int32_t size : sizes)
        sent.push_back(S_pattern(static_cast<size_t>(size), size));
    std::thread writer([&] {
        for (int way = 0; way < kWays; way++) {
            for (const Bytes &data : sent) {
                VE_BLOB_VALUE blob = {static_cast<int32_t>(data.size()),
                                      const_cast<uint8_t *>(data.data())};
                EXPECT_EQ(VES_write_direct_blob(link.tx, &blob), 0);
                EXPECT_EQ(CH_write_long(link.tx, kMarker), 0);
            }
        }
        EXPECT_EQ(CH_flush(link.tx), 0);
    });
    for (int way = 0; way < kWays; way++) {
        for (const Bytes &data : sent) {
            SCOPED_TRACE(::testing::Message() << "way " << way << " size " << data.size());
            const int32_t n = static_cast<int32_t>(data.size());
            std::FILE *file = way == kOwnFile || way == kCallerFile ? std::tmpfile() : nullptr;
            const int fd = file != nullptr ? fileno(file) : -1;
            const bool caller = way == kCallerMemory || way == kCallerFile;
            Bytes area(way == kCallerMemory ? data.size() : static_cast<size_t>(kSegment));
            VE_BLOB_VALUE blob = {0, caller ? area.data() : nullptr};
            EXPECT_EQ(VES_read_direct_blob(link.rx, caller ? 1 : 0,
                                           static_cast<int32_t>(area.size()), way == kDiscard, fd,
                                           &blob),
                      0);
            EXPECT_EQ(blob.byte_count, n);
            if (way == kOwnMemory || way == kCallerMemory) {
                EXPECT_TRUE(n == 0 || Bytes(blob.data, blob.data + n) == data);
            } else if (file != nullptr) {
                Bytes written(data.size());
                EXPECT_EQ(pread(fd, written.data(), written.size(), 0),
                          static_cast<ssize_t>(data.size()));
                EXPECT_TRUE(written == data);
                std::fclose(file);
            }
            if (!caller)
                std::free(blob.data);
            int32_t marker = 0;
            EXPECT_EQ(CH_read_long(link.rx, &marker), 0);
            EXPECT_EQ(marker, kMarker);
        }
    }
    writer.join();
}

TEST_P(OobChannel, SecondBlobReadWithoutClearingTheLengthIsAppended)
{
    // On XDR each end pads its own blob's bytes: "de" two padding bytes, not
    // the three that the 5 bytes received in all would need (more than the
    // record holds).
    const std::vector<std::pair<std::string, std::string>> pairs = {{"hello", "world!"},
                                                                    {"abc", "de"}};
    for (const auto &[first, second] : pairs) {
        SCOPED_TRACE(first + second);
        Link link(GetParam());
        for (const std::string &text : {first, second}) {
            VE_BLOB_VALUE blob = {static_cast<int32_t>(text.size()),
                                  reinterpret_cast<uint8_t *>(const_cast<char *>(text.data()))};
            ASSERT_EQ(VES_write_direct_blob(link.tx, &blob), 0);
        }
        ASSERT_EQ(CH_write_long(link.tx, kMarker), 0);
        ASSERT_EQ(CH_flush(link.tx), 0);
        VE_BLOB_VALUE blob = {0, nullptr};
        EXPECT_EQ(VES_read_direct_blob(link.rx, 0, 0, 0, -1, &blob), 0);
        EXPECT_EQ(VES_read_direct_blob(link.rx, 0, 0, 0, -1, &blob), 0);
        EXPECT_EQ(
            std::string(reinterpret_cast<char *>(blob.data), static_cast<size_t>(blob.byte_count)),
            first + second);
        std::free(blob.data);
        int32_t marker = 0;
        EXPECT_EQ(CH_read_long(link.rx, &marker), 0);
        EXPECT_EQ(marker, kMarker);
    }
}

TEST_P(OobChannel, FailedFileWriteAnswersMinus79AfterDrainingTheBlob)
{
    Link link(GetParam());
    const Bytes data = S_pattern(2 * kSegment + 5, 9);
    std::thread writer([&] {
        VE_BLOB_VALUE blob = {static_cast<int32_t>(data.size()),
                              const_cast<uint8_t *>(data.data())};
        EXPECT_EQ(VES_write_direct_blob(link.tx, &blob), 0);
        EXPECT_EQ(CH_write_long(link.tx, kMarker), 0);
        EXPECT_EQ(CH_flush(link.tx), 0);
    });
    // A descriptor open for reading only: every write to it fails.
    const int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    VE_BLOB_VALUE blob = {0, nullptr};
    EXPECT_EQ(VES_read_direct_blob(link.rx, 0, 0, 0, fd, &blob), ZE_FILE_SHORT_WRITE);
    close(fd);
    EXPECT_EQ(blob.byte_count, static_cast<int32_t>(data.size()));
    std::free(blob.data);
    int32_t marker = 0;
    EXPECT_EQ(CH_read_long(link.rx, &marker), 0);
    EXPECT_EQ(marker, kMarker);
    writer.join();
}

TEST_P(OobChannel, RowTooLargeForAnEmptyBufferTravelsBetweenItsBuffers)
{
    const uint32_t type = GetParam();
    Link link(type);
    const int32_t encoding = type == CH_TYPE_XDR ? SB_ENCODING_XDR : 0;
    auto columns = [] {
        return std::vector<DB_COLUMN_DEF>{S_col(VE_INTEGER), S_col(VE_STRING, 300)};
    };
    const std::string big(200, 'b');
    SB_BUFFER *out = nullptr, *in = nullptr;
    ASSERT_EQ(SB_init(SB_SEND_BUFFER, 0, 64, 100, encoding, &out), 0);
    ASSERT_EQ(SB_init(SB_RECEIVE_BUFFER, 0, 64, 100, encoding, &in), 0);
    {
        Row row(columns());
        row.set<int32_t>(0, 1);
        row.set_string(1, "small");
        ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
        row.set<int32_t>(0, 2);
        row.set_string(1, big.c_str());
        ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BUFFER_FULL);
        ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
        SB_reset(out);
        ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_ROW_OUT_OF_BAND);
        ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
        ASSERT_EQ(VES_write_out_of_band_row(link.tx, &row.r), 0);
        SB_reset(out);
        row.set<int32_t>(0, 3);
        row.set_string(1, "after");
        ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
        ASSERT_EQ(SB_set_last_buffer(out), 0);
        ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    }
    Row got(columns());
    std::vector<std::pair<int32_t, std::string>> rows;
    for (int steps = 0; steps < 20; steps++) {
        int32_t rc = SB_get_row(in, &got.r);
        if (rc == ZE_BUFFER_DRAINED || (rc == ZE_NO_MORE_ROWS && steps == 0)) {
            ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
            continue;
        }
        if (rc == ZE_NO_MORE_ROWS)
            break;
        if (rc == ZE_ROW_OUT_OF_BAND) {
            ASSERT_EQ(VES_read_out_of_band_row(link.rx, &got.r, 1), 0);
            ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
        } else {
            ASSERT_EQ(rc, 0);
        }
        rows.emplace_back(got.get<int32_t>(0), static_cast<const char *>(got.r.values[1]));
    }
    const std::vector<std::pair<int32_t, std::string>> want = {
        {1, "small"}, {2, big}, {3, "after"}};
    EXPECT_EQ(rows, want);
    SB_free(out);
    SB_free(in);
}

// ---- A hostile peer --------------------------------------------------------------

// What the peer sends, and what the reader does with it.
struct Hostile {
    const char *name;
    std::function<void(Peer &)> send;
    std::function<int32_t(CH_CHANNEL *)> read;
    int32_t expected;
    bool broken; // the channel refuses the marker behind
};

// A reader's row: a short, a long and a string of 8 characters.
std::vector<DB_COLUMN_DEF> S_three_columns()
{
    return {S_col(VE_SMALLINT), S_col(VE_INTEGER), S_col(VE_STRING, 8)};
}

int32_t S_read_three(CH_CHANNEL *channel, int16_t *indicators_after)
{
    Row row(S_three_columns());
    for (int i = 0; i < 3; i++)
        row.r.indicators[i] = 7; // not what a peer sends
    int32_t rc = VES_read_out_of_band_row(channel, &row.r, 1);
    std::memcpy(indicators_after, row.r.indicators, 3 * sizeof(int16_t));
    return rc;
}

TEST_P(OobChannel, HostilePeerIsRefusedAndTheChannelBroken)
{
    const uint32_t type = GetParam();
    static int16_t indicators[3];
    auto read_row = [](CH_CHANNEL *c) { return S_read_three(c, indicators); };
    auto read_blob_into = [](int32_t capacity) {
        return [capacity](CH_CHANNEL *c) {
            Bytes area(static_cast<size_t>(capacity));
            VE_BLOB_VALUE blob = {0, area.data()};
            return VES_read_direct_blob(c, 1, capacity, 0, -1, &blob);
        };
    };
    auto read_blob = [](CH_CHANNEL *c) {
        VE_BLOB_VALUE blob = {0, nullptr};
        int32_t rc = VES_read_direct_blob(c, 0, 0, 0, -1, &blob);
        std::free(blob.data);
        return rc;
    };
    auto read_blob_to_nowhere = [](CH_CHANNEL *c) {
        VE_BLOB_VALUE blob = {0, nullptr};
        int32_t rc = VES_read_direct_blob(c, 0, 0, 1, -1, &blob);
        std::free(blob.data);
        return rc;
    };
    const Bytes ten(10, 'x'), seventeen(17, 'y');
    const Hostile cases[] = {
        {"more columns than the row has",
         [](Peer &p) {
             p.shorts(4, {2, 2, 2, 2});
         },
         read_row, ZE_NETWORK_IO, true},
        {"a negative column count", [](Peer &p) { p.shorts(-1, {}); }, read_row, ZE_NETWORK_IO,
         true},
        {"a string longer than its column",
         [](Peer &p) {
             p.shorts(3, {2, 2, 2}).i16(1).i32(2).str("123456789");
         },
         read_row, ZE_NETWORK_IO, true},
        {"a shape column's compressed size below its header",
         [](Peer &p) {
             const uint8_t bytes[3] = {};
             p.shorts(1, {2}).feature(1, 1, 1, 3, bytes);
         },
         [](CH_CHANNEL *c) {
             Row row({S_col(VE_SHAPE)});
             return VES_read_out_of_band_row(c, &row.r, 1);
         },
         ZE_NETWORK_IO, true},
        {"a value for a column without a value pointer",
         [](Peer &p) {
             p.shorts(3, {2, 2, 1}).i16(1).i32(2);
         },
         [](CH_CHANNEL *c) {
             Row row(S_three_columns());
             row.r.values[1] = nullptr;
             return VES_read_out_of_band_row(c, &row.r, 0);
         },
         ZE_NULL_POINTER, true},
        {"fewer columns than the row has",
         [](Peer &p) {
             p.shorts(2, {2, 2}).i16(1).i32(2);
         },
         read_row, 0, false},
        {"a shape column's compressed bytes that contradict their size",
         [](Peer &p) {
             const uint8_t bytes[12] = {4}; // says 4 + 8 bytes: one more than sent
             p.shorts(1, {2}).feature(1, 1, 1, 11, bytes);
         },
         [](CH_CHANNEL *c) {
             Row row({S_col(VE_SHAPE)});
             return VES_read_out_of_band_row(c, &row.r, 1);
         },
         ZE_NETWORK_IO, true},
        {"a segment over its limit", [](Peer &p) { p.seg(kSegment + 1, 1, nullptr, 0).close(); },
         read_blob, ZE_NETWORK_IO, true},
        {"a segment over its limit to nowhere",
         [](Peer &p) { p.seg(kSegment + 1, 1, nullptr, 0).close(); }, read_blob_to_nowhere,
         ZE_NETWORK_IO, true},
        {"a negative segment length", [](Peer &p) { p.seg(-4, 1, nullptr, 0).close(); }, read_blob,
         ZE_NETWORK_IO, true},
        {"a segment over its limit into a larger caller's area",
         [](Peer &p) { p.seg(kSegment + 1, 1, nullptr, 0).close(); },
         read_blob_into(kSegment + 100), ZE_NETWORK_IO, true},
        {"a segment beyond the caller's area",
         [&](Peer &p) { p.seg(17, 1, seventeen.data(), 17).end(17); }, read_blob_into(16),
         ZE_NETWORK_IO, true},
        {"segments beyond the caller's area together",
         [&](Peer &p) { p.seg(10, 0, ten.data(), 10).seg(10, 1, ten.data(), 10).end(20); },
         read_blob_into(16), ZE_NETWORK_IO, true},
        {"segments that fill the caller's area exactly",
         [&](Peer &p) { p.seg(10, 0, ten.data(), 10).seg(6, 1, ten.data(), 6).end(16); },
         read_blob_into(16), 0, false},
    };
    for (const Hostile &c : cases) {
        SCOPED_TRACE(c.name);
        Link link(type);
        Peer peer{type, {}, {}};
        c.send(peer);
        peer.i32(kMarker);
        link.peer_sends(peer.out);
        EXPECT_EQ(c.read(link.rx), c.expected);
        int32_t marker = 0;
        EXPECT_EQ(CH_read_long(link.rx, &marker), c.broken ? ZE_FAILURE : 0);
        EXPECT_EQ(marker, c.broken ? 0 : kMarker);
    }
}

TEST_P(OobChannel, RefusedColumnCountLeavesTheIndicatorsAlone)
{
    const uint32_t type = GetParam();
    Link link(type);
    Peer peer{type, {}, {}};
    peer.shorts(4, {2, 2, 2, 2});
    link.peer_sends(peer.out);
    int16_t after[3] = {};
    EXPECT_EQ(S_read_three(link.rx, after), ZE_NETWORK_IO);
    EXPECT_EQ(after[0], 7);
    EXPECT_EQ(after[1], 7);
    EXPECT_EQ(after[2], 7);
}

TEST_P(OobChannel, FewerColumnsLeaveTheRestNull)
{
    const uint32_t type = GetParam();
    Link link(type);
    Peer peer{type, {}, {}};
    peer.shorts(2, {2, 2}).i16(1).i32(2);
    link.peer_sends(peer.out);
    int16_t after[3] = {};
    EXPECT_EQ(S_read_three(link.rx, after), 0);
    EXPECT_EQ(after[0], VE_IND_VALUE);
    EXPECT_EQ(after[1], VE_IND_VALUE);
    EXPECT_EQ(after[2], VE_IND_NULL);
}

// ---- Arguments ---------------------------------------------------------------------

TEST_P(OobChannel, WrongArgumentsSendAndReadNothing)
{
    const uint32_t type = GetParam();
    Link link(type);
    Row bad_type({S_col(VE_INTEGER), S_col(VE_INTEGER)});
    bad_type.cols[1].type = 12;
    bad_type.set<int32_t>(0, 1);
    bad_type.r.indicators[1] = VE_IND_VALUE;
    Row no_value({S_col(VE_INTEGER)});
    no_value.set<int32_t>(0, 1);
    no_value.r.values[0] = nullptr;
    VE_ROW_POINTERS negative = {};
    negative.column_count = -1;
    Row bad_string({S_col(VE_STRING, 4)});
    bad_string.cols[0].size = -2;
    uint8_t byte = 0;
    VE_BLOB_VALUE negative_blob = {-1, &byte}, no_data = {3, nullptr}, empty = {0, nullptr};
    VE_BLOB_VALUE over_room = {5, &byte};
    struct Case {
        const char *name;
        std::function<int32_t()> call;
        int32_t expected;
    };
    const Case cases[] = {
        {"write: null channel", [&] { return VES_write_out_of_band_row(nullptr, &bad_type.r); },
         ZE_NULL_POINTER},
        {"write: null row", [&] { return VES_write_out_of_band_row(link.tx, nullptr); },
         ZE_NULL_POINTER},
        {"write: negative column count",
         [&] { return VES_write_out_of_band_row(link.tx, &negative); }, ZE_INVALID_ARGUMENT},
        {"write: a present value of type 12",
         [&] { return VES_write_out_of_band_row(link.tx, &bad_type.r); }, ZE_UNKNOWN_COLUMN_TYPE},
        {"write: a present value without its pointer",
         [&] { return VES_write_out_of_band_row(link.tx, &no_value.r); }, ZE_NULL_POINTER},
        {"write blob: null channel", [&] { return VES_write_direct_blob(nullptr, &empty); },
         ZE_NULL_POINTER},
        {"write blob: negative length",
         [&] { return VES_write_direct_blob(link.tx, &negative_blob); }, ZE_INVALID_ARGUMENT},
        {"write blob: bytes without data", [&] { return VES_write_direct_blob(link.tx, &no_data); },
         ZE_NULL_POINTER},
        {"read: null row", [&] { return VES_read_out_of_band_row(link.rx, nullptr, 1); },
         ZE_NULL_POINTER},
        {"read: a column of type 12",
         [&] { return VES_read_out_of_band_row(link.rx, &bad_type.r, 1); }, ZE_UNKNOWN_COLUMN_TYPE},
        {"read: negative column count",
         [&] { return VES_read_out_of_band_row(link.rx, &negative, 1); }, ZE_INVALID_ARGUMENT},
        {"read: a string column of negative size",
         [&] { return VES_read_out_of_band_row(link.rx, &bad_string.r, 1); }, ZE_INVALID_ARGUMENT},
        {"read blob: null blob",
         [&] { return VES_read_direct_blob(link.rx, 0, 0, 0, -1, nullptr); }, ZE_NULL_POINTER},
        {"read blob: negative length",
         [&] { return VES_read_direct_blob(link.rx, 0, 0, 0, -1, &negative_blob); },
         ZE_INVALID_ARGUMENT},
        {"read blob: counted bytes without their area",
         [&] { return VES_read_direct_blob(link.rx, 0, 0, 0, -1, &no_data); }, ZE_NULL_POINTER},
        {"read blob: the caller's area has less room than its length",
         [&] { return VES_read_direct_blob(link.rx, 1, 4, 0, -1, &over_room); },
         ZE_INVALID_ARGUMENT},
        {"read blob: negative room",
         [&] { return VES_read_direct_blob(link.rx, 1, -1, 0, -1, &empty); }, ZE_INVALID_ARGUMENT},
        {"read blob: room without an area",
         [&] { return VES_read_direct_blob(link.rx, 1, 8, 0, -1, &empty); }, ZE_NULL_POINTER},
    };
    // The peer has a row of one long and a marker waiting: nothing above
    // takes a byte of it.
    Row one({S_col(VE_INTEGER)});
    one.set<int32_t>(0, 99);
    ASSERT_EQ(VES_write_out_of_band_row(link.tx, &one.r), 0);
    for (const Case &c : cases)
        EXPECT_EQ(c.call(), c.expected) << c.name;
    ASSERT_EQ(CH_write_long(link.tx, kMarker), 0);
    ASSERT_EQ(CH_flush(link.tx), 0);
    Row got({S_col(VE_INTEGER)});
    ASSERT_EQ(VES_read_out_of_band_row(link.rx, &got.r, 1), 0);
    EXPECT_EQ(got.get<int32_t>(0), 99);
    int32_t marker = 0;
    EXPECT_EQ(CH_read_long(link.rx, &marker), 0);
    EXPECT_EQ(marker, kMarker) << "the refused writes sent nothing";
}

} // namespace
