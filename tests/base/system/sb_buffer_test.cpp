// The row stream buffer: rows of every engine type with blob pieces round
// trip over loopback, natively and as XDR, over socket and XDR channels; the
// data-area and message bytes; the full, out-of-band, blob and direction
// flows; and the reader's refusal (-66) of received bytes that do not form
// a row, of a message larger than the buffer and of blob columns beyond the
// XDR position table.
#include "base/system/sb_buffer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/sb_buffer_internal.h"
#include "base/util/ve_anno.h"
#include "base/util/ve_compress.h"
#include "base/util/ve_date.h"
#include "base/util/zel_errors.h"
#include "platform/plat_socket_internal.h"
#include "tests/base/system/so_fixture.h"

namespace
{

using Bytes = std::vector<uint8_t>;

constexpr int32_t kNative = 0, kXdr = SB_ENCODING_XDR;

// ---- Rows --------------------------------------------------------------------

DB_COLUMN_DEF S_col(int32_t type, int32_t size = 0)
{
    DB_COLUMN_DEF c = {};
    std::snprintf(c.name, sizeof c.name, "c%d", type);
    c.type = type;
    c.size = size;
    return c;
}

// The ten columns of the main row: one of every type, two blobs.
enum { kShort, kInt, kFloat, kDouble, kString, kBlob, kDate, kShape, kRaster, kBlob2, kTen };

std::vector<DB_COLUMN_DEF> S_ten_columns()
{
    return {S_col(VE_SMALLINT),   S_col(VE_INTEGER), S_col(VE_FLOAT),     S_col(VE_DOUBLE),
            S_col(VE_STRING, 40), S_col(VE_BLOB),    S_col(VE_DATE_TYPE), S_col(VE_SHAPE),
            S_col(VE_RASTER),     S_col(VE_BLOB)};
}

// A row that owns its columns, buffers, auxiliary longs and shape masks.
struct Row {
    std::vector<DB_COLUMN_DEF> cols;
    std::vector<int32_t> aux, masks;
    VE_ROW_POINTERS r = {};

    explicit Row(std::vector<DB_COLUMN_DEF> columns, int16_t aux_count = 0)
        : cols(std::move(columns)), aux(static_cast<size_t>(aux_count)), masks(cols.size(), 0)
    {
        r.column_count = static_cast<int16_t>(cols.size());
        r.columns = cols.data();
        EXPECT_EQ(VES_allocate_row_pointers(&r, 0), 0);
        r.aux_count = aux_count;
        r.aux_longs = aux.empty() ? nullptr : aux.data();
        r.shape_masks = masks.data();
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
        r.values[i] = r.buffers[i];
        r.indicators[i] = VE_IND_VALUE;
    }
    void set_string(int i, const char *s)
    {
        std::strcpy(static_cast<char *>(r.buffers[i]), s);
        r.values[i] = r.buffers[i];
        r.indicators[i] = VE_IND_VALUE;
    }
    void set_blob(int i)
    {
        r.indicators[i] = VE_IND_VALUE;
    }
    FEATURE_STRUCT *shape(int i)
    {
        return static_cast<FEATURE_STRUCT *>(r.buffers[i]);
    }
    // A shape of the points, with an annotation text when given.
    void set_shape(int i, int32_t id, const std::vector<POINT> &points, const char *anno = nullptr)
    {
        FEATURE_STRUCT *f = shape(i);
        const int32_t mask = anno != nullptr ? VE_SHAPE_MASK_ANNO : 0;
        ASSERT_EQ(VES_comp_feature_alloc(f, static_cast<int32_t>(points.size()), mask, 1), 0);
        std::memcpy(f->points, points.data(), points.size() * sizeof(POINT));
        f->num_points = static_cast<int32_t>(points.size());
        f->feature_id = id;
        f->entity_type = VE_ENTITY_LINE;
        if (anno != nullptr) {
            if (f->anno == nullptr) {
                ASSERT_EQ(VES_anno_create(&f->anno), 0);
            }
            std::strcpy(f->anno->text, anno);
        }
        ASSERT_EQ(VES_feature_compress(f, mask), 0);
        r.values[i] = f;
        r.indicators[i] = VE_IND_VALUE;
    }
    template <typename T> T get(int i) const
    {
        T v;
        std::memcpy(&v, r.values[i], sizeof v);
        return v;
    }
    std::string text(int i) const
    {
        return static_cast<const char *>(r.values[i]);
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
    d.tm_isdst = 0;
    return d;
}

// Row n of the stream: every type, or every other column null and the
// shape marked "no shape".
void S_fill(Row &row, int n, bool nulls)
{
    row.aux[0] = 100 + n;
    row.aux[1] = -n;
    row.set<int16_t>(kShort, static_cast<int16_t>(-300 - n));
    row.set_blob(kBlob2);
    if (nulls) {
        row.r.indicators[kShape] = VE_IND_NO_SHAPE;
        row.set_string(kString, "");
        return;
    }
    row.set<int32_t>(kInt, 70000 + n);
    row.set<float>(kFloat, 1.5f * static_cast<float>(n));
    row.set<double>(kDouble, -2.25e10 + n);
    row.set_string(kString, ("row " + std::to_string(n)).c_str());
    row.set_blob(kBlob);
    row.set<VE_DATE>(kDate, S_date(n + 1));
    // Both sides hold an annotation object: its text travels with every shape.
    row.set_shape(kShape, 9000 + n, {{n, 2 * n}, {n + 10, 2 * n - 5}, {-n, 7}},
                  ("St " + std::to_string(n)).c_str());
    row.set<int32_t>(kRaster, 42 + n);
}

std::string S_blob_text(int n, int column)
{
    return column == kBlob ? "first blob of row " + std::to_string(n) : std::string(n % 3, 'z');
}

// ---- Channels ----------------------------------------------------------------

// The channel pair, and what reached its end b read raw.
struct Link : so_test::ChannelPair {
    using ChannelPair::ChannelPair;

    // What has reached end b as raw bytes (its channel is not used), waiting
    // up to wait_ms for the first byte.
    Bytes raw_at_b(int wait_ms)
    {
        Bytes got;
        uint8_t block[4096];
        while (plat_socket_poll(b, PLAT_SOCKET_READABLE, got.empty() ? wait_ms : 50) > 0) {
            ssize_t n = plat_socket_recv(b, block, sizeof block);
            if (n <= 0)
                break;
            got.insert(got.end(), block, block + n);
        }
        return got;
    }
};

struct Buffer {
    SB_BUFFER *b = nullptr;
    Buffer(int16_t type, int32_t size, int32_t encoding, int32_t minimum_fill = 0,
           int32_t maximum_rows = 1000)
    {
        EXPECT_EQ(SB_init(type, minimum_fill, size, maximum_rows, encoding, &b), 0);
    }
    ~Buffer()
    {
        SB_free(b);
    }
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    operator SB_BUFFER *() const
    {
        return b;
    }
};

// The data area's bytes in use.
Bytes S_area(const SB_BUFFER *b)
{
    return Bytes(b->data, b->data + b->bytes_used);
}

// Data-area bytes built in the encoding: host order without padding, or XDR.
struct Area {
    int32_t encoding;
    Bytes b;
    Area &raw(const void *p, size_t n)
    {
        b.insert(b.end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
        return *this;
    }
    Area &be32(uint32_t v)
    {
        for (int i = 3; i >= 0; i--)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Area &i32(int32_t v)
    {
        return encoding == kXdr ? be32(static_cast<uint32_t>(v)) : raw(&v, 4);
    }
    Area &i16(int16_t v)
    {
        return encoding == kXdr ? be32(static_cast<uint32_t>(static_cast<int32_t>(v))) : raw(&v, 2);
    }
    Area &pad()
    {
        while (encoding == kXdr && b.size() % 4 != 0)
            b.push_back(0);
        return *this;
    }
    // A string value: L with the NUL, then (XDR) an XDR string.
    Area &str(const std::string &s)
    {
        i32(static_cast<int32_t>(s.size() + 1));
        if (encoding == kXdr) {
            be32(static_cast<uint32_t>(s.size()));
            return raw(s.data(), s.size()).pad();
        }
        return raw(s.c_str(), s.size() + 1);
    }
    Area &piece(const std::string &s)
    {
        i32(static_cast<int32_t>(s.size()));
        return raw(s.data(), s.size()).pad();
    }
};

// A message written as a peer would send it: header fields and a block.
void S_send_message(CH_CHANNEL *tx, int32_t bytes_used, int32_t rows, const Bytes &block,
                    int32_t last = 1, int16_t partial = -1, int32_t oob = 0)
{
    ASSERT_EQ(CH_write_long(tx, 0), 0);
    ASSERT_EQ(CH_write_long(tx, bytes_used), 0);
    ASSERT_EQ(CH_write_long(tx, rows), 0);
    ASSERT_EQ(CH_write_short(tx, partial), 0);
    ASSERT_EQ(CH_write_long(tx, last), 0);
    ASSERT_EQ(CH_write_long(tx, oob), 0);
    if (!block.empty()) {
        ASSERT_EQ(CH_write_block(tx, block.data(), static_cast<int32_t>(block.size())), 0);
    }
    ASSERT_EQ(CH_flush(tx), 0);
}

// ---- Round trips in every encoding over every channel --------------------------

struct Mode {
    uint32_t channel;
    int32_t encoding;
};

class SbRoundTrip : public ::testing::TestWithParam<Mode>
{
};

void S_expect_row(const Row &got, int n, bool nulls)
{
    EXPECT_EQ(got.aux[0], 100 + n);
    EXPECT_EQ(got.aux[1], -n);
    EXPECT_EQ(got.get<int16_t>(kShort), -300 - n);
    if (nulls) {
        for (int i : {kInt, kFloat, kDouble, kBlob, kDate, kRaster}) {
            EXPECT_EQ(got.r.indicators[i], VE_IND_NULL) << i;
            if (i != kBlob) {
                EXPECT_EQ(got.r.values[i], nullptr) << i;
            }
        }
        EXPECT_EQ(got.r.indicators[kShape], VE_IND_NO_SHAPE);
        EXPECT_EQ(got.text(kString), "");
        return;
    }
    EXPECT_EQ(got.get<int32_t>(kInt), 70000 + n);
    EXPECT_EQ(got.get<float>(kFloat), 1.5f * static_cast<float>(n));
    EXPECT_EQ(got.get<double>(kDouble), -2.25e10 + n);
    EXPECT_EQ(got.text(kString), "row " + std::to_string(n));
    VE_DATE date = got.get<VE_DATE>(kDate), want = S_date(n + 1);
    EXPECT_EQ(std::memcmp(&date, &want, sizeof date), 0);
    EXPECT_EQ(got.get<int32_t>(kRaster), 42 + n);
    const auto *f = static_cast<const FEATURE_STRUCT *>(got.r.values[kShape]);
    EXPECT_EQ(f->feature_id, 9000 + n);
    EXPECT_EQ(f->num_points, 3);
    EXPECT_EQ(f->entity_type, VE_ENTITY_LINE);
    EXPECT_EQ(std::string(f->anno->text), "St " + std::to_string(n));
}

TEST_P(SbRoundTrip, RowsOfEveryTypeWithBlobPiecesInSeveralBuffers)
{
    const Mode mode = GetParam();
    Link link(mode.channel);
    // Rows are refused once more than 350 bytes are in, so that the blob
    // pieces after every row find room.
    Buffer out(SB_SEND_BUFFER, 600, mode.encoding, 350);
    constexpr int kRows = 12;
    std::vector<std::vector<uint8_t>> sent_shapes;
    int sends = 0;
    for (int n = 0; n < kRows; n++) {
        Row row(S_ten_columns(), 2);
        const bool nulls = n % 4 == 3;
        S_fill(row, n, nulls);
        if (!nulls) {
            FEATURE_STRUCT *f = row.shape(kShape);
            sent_shapes.emplace_back(f->compressed,
                                     f->compressed + VES_get_compressed_buffer_size(f));
        }
        int32_t rc = SB_put_row(&row.r, 1, out);
        if (rc == ZE_BUFFER_FULL) {
            ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
            sends++;
            SB_reset(out);
            rc = SB_put_row(&row.r, 1, out);
        }
        ASSERT_EQ(rc, ZE_BLOB_PIECES_FOLLOW) << n;
        for (int column : {kBlob, kBlob2}) {
            if (row.r.indicators[column] != VE_IND_VALUE)
                continue;
            // The first blob goes in two calls, the second in one.
            const std::string text = S_blob_text(n, column);
            if (column == kBlob) {
                ASSERT_EQ(SB_put_blob(5, text.data(), column, 0, out), 0);
                ASSERT_EQ(SB_put_blob(static_cast<int32_t>(text.size() - 5), text.data() + 5,
                                      column, SB_BLOB_LAST, out),
                          0);
            } else {
                ASSERT_EQ(SB_put_blob(static_cast<int32_t>(text.size()), text.data(), column,
                                      SB_BLOB_LAST, out),
                          0);
            }
        }
    }
    ASSERT_EQ(SB_set_last_buffer(out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    ASSERT_EQ(CH_flush(link.tx), 0);
    EXPECT_GE(sends, 2) << "the rows were to fill several buffers";

    Buffer in(SB_RECEIVE_BUFFER, 600, mode.encoding);
    Row got(S_ten_columns(), 2);
    ASSERT_EQ(VES_anno_create(&got.shape(kShape)->anno), 0);
    int n = 0, shapes = 0, receives = 0;
    for (;;) {
        int32_t rc = SB_get_row(in, &got.r);
        if (rc == ZE_BUFFER_DRAINED || (rc == ZE_NO_MORE_ROWS && receives == 0)) {
            ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
            receives++;
            continue;
        }
        if (rc == ZE_NO_MORE_ROWS)
            break;
        ASSERT_EQ(rc, 0) << "row " << n;
        const bool nulls = n % 4 == 3;
        S_expect_row(got, n, nulls);
        if (!nulls) {
            FEATURE_STRUCT *f = got.shape(kShape);
            ASSERT_EQ(
                std::vector<uint8_t>(f->compressed, f->compressed + sent_shapes[shapes].size()),
                sent_shapes[shapes]);
            shapes++;
        }
        for (int column : {kBlob, kBlob2}) {
            VE_BLOB_VALUE blob = {};
            rc = SB_get_blob(in, &got.r, static_cast<int16_t>(column), &blob);
            if (got.r.indicators[column] == VE_IND_NULL) {
                EXPECT_EQ(rc, ZE_NULL_VALUE);
                continue;
            }
            ASSERT_EQ(rc, 0) << "row " << n << " column " << column;
            EXPECT_EQ(std::string(reinterpret_cast<char *>(blob.data),
                                  static_cast<size_t>(blob.byte_count)),
                      S_blob_text(n, column));
            std::free(blob.data);
        }
        n++;
    }
    EXPECT_EQ(n, kRows);
    EXPECT_EQ(receives, sends + 1);
    EXPECT_EQ(SB_is_last(in), 1);
}

INSTANTIATE_TEST_SUITE_P(EveryEncodingAndChannel, SbRoundTrip,
                         ::testing::Values(Mode{CH_TYPE_SOCKET, kNative},
                                           Mode{CH_TYPE_SOCKET, kXdr}, Mode{CH_TYPE_XDR, kNative},
                                           Mode{CH_TYPE_XDR, kXdr}),
                         [](const ::testing::TestParamInfo<Mode> &info) {
                             return std::string(info.param.channel == CH_TYPE_XDR ? "XdrChannel"
                                                                                  : "Socket") +
                                    (info.param.encoding == kXdr ? "XdrArea" : "NativeArea");
                         });

// ---- Bytes of the data area and of messages ------------------------------------

class SbEncoding : public ::testing::TestWithParam<int32_t>
{
};

INSTANTIATE_TEST_SUITE_P(BothEncodings, SbEncoding, ::testing::Values(kNative, kXdr),
                         [](const ::testing::TestParamInfo<int32_t> &info) {
                             return std::string(info.param == kXdr ? "Xdr" : "Native");
                         });

// A row of a short, a long, a string and a blob, with one auxiliary long.
std::vector<DB_COLUMN_DEF> S_four_columns()
{
    return {S_col(VE_SMALLINT), S_col(VE_INTEGER), S_col(VE_STRING, 10), S_col(VE_BLOB)};
}

TEST_P(SbEncoding, DataAreaLaysOutIndicatorsAuxiliaryLongsValuesAndPieces)
{
    const int32_t enc = GetParam();
    Buffer out(SB_SEND_BUFFER, 256, enc);
    Row row(S_four_columns(), 1);
    row.aux[0] = 0x01020304;
    row.set<int16_t>(0, 7);
    row.set<int32_t>(1, -2);
    row.set_string(2, "ab");
    row.set_blob(3);
    ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
    ASSERT_EQ(SB_put_blob(2, "xy", 3, 0, out), 0);
    ASSERT_EQ(SB_put_blob(1, "z", 3, SB_BLOB_LAST, out), 0);
    Area want{enc, {}};
    want.i16(2).i16(2).i16(2).i16(2).i32(0x01020304).i16(7).i32(-2).str("ab").piece("xyz");
    EXPECT_EQ(S_area(out), want.b);
    EXPECT_EQ(SB_get_bytes_used(out), static_cast<int32_t>(want.b.size()));
    EXPECT_EQ(SB_get_object_count(out), 1);
    EXPECT_EQ(SB_get_partial_blob_column_id(out), SB_NO_PARTIAL_BLOB);
}

TEST_P(SbEncoding, ShapeCarriesItsAnnotationTextOnlyWhenTheWriterHasOne)
{
    const int32_t enc = GetParam();
    for (const char *anno : {static_cast<const char *>(nullptr), "Elm"}) {
        Buffer out(SB_SEND_BUFFER, 512, enc);
        Row row({S_col(VE_SHAPE)});
        row.set_shape(0, 77, {{1000, 2000}, {1010, 1990}}, anno);
        FEATURE_STRUCT *f = row.shape(0);
        ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
        const int32_t size = VES_get_compressed_buffer_size(f);
        Area want{enc, {}};
        want.i16(2).i32(77).i32(2).i16(VE_ENTITY_LINE);
        if (anno != nullptr)
            want.str(anno);
        want.i32(size).raw(f->compressed, static_cast<size_t>(size)).pad();
        EXPECT_EQ(S_area(out), want.b) << (anno != nullptr ? "with" : "without");
    }
}

// The six header fields alone: status, bytes used, rows, partial column,
// last, out of band.
Bytes S_empty_last_bytes(uint32_t channel)
{
    if (channel == CH_TYPE_SOCKET)
        return so_test::Wire().i32(0).i32(0).i32(0).i16(-1).i32(1).i32(0).b;
    // One XDR record a value: a last-fragment header of 4 bytes, the value.
    Bytes b;
    for (uint32_t v : {0u, 0u, 0u, 0xFFFFFFFFu, 1u, 0u})
        for (uint32_t word : {0x80000004u, v})
            for (int i = 3; i >= 0; i--)
                b.push_back(static_cast<uint8_t>(word >> (8 * i)));
    return b;
}

TEST(SbMessage, EmptyLastBufferIsTheSixFieldsAndReachesThePeerOnlyAfterTheFlush)
{
    for (uint32_t channel : {CH_TYPE_SOCKET, CH_TYPE_XDR}) {
        for (int32_t enc : {kNative, kXdr}) {
            Link link(channel);
            Buffer out(SB_SEND_BUFFER, 128, enc);
            ASSERT_EQ(SB_set_last_buffer(out), 0);
            ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
            EXPECT_TRUE(link.raw_at_b(300).empty()) << "sent before the flush";
            ASSERT_EQ(CH_flush(link.tx), 0);
            const Bytes want = S_empty_last_bytes(channel);
            Bytes got;
            for (int i = 0; i < 20 && got.size() < want.size(); i++) {
                Bytes more = link.raw_at_b(5000);
                got.insert(got.end(), more.begin(), more.end());
            }
            EXPECT_EQ(got, want) << "channel " << channel << " encoding " << enc;
        }
    }
}

TEST(SbMessage, BufferWithRowsIsFlushedBySend)
{
    Link link(CH_TYPE_SOCKET);
    Buffer out(SB_SEND_BUFFER, 128, kNative);
    Row row({S_col(VE_INTEGER)});
    row.set<int32_t>(0, 0x11223344);
    ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    Bytes want =
        so_test::Wire().i32(0).i32(6).i32(1).i16(-1).i32(0).i32(0).i16(2).i32(0x11223344).b;
    Bytes got;
    for (int i = 0; i < 20 && got.size() < want.size(); i++) {
        Bytes more = link.raw_at_b(5000);
        got.insert(got.end(), more.begin(), more.end());
    }
    EXPECT_EQ(got, want);
}

TEST(SbMessage, ErrorStatusTravelsAloneAndIsTheReceiversResult)
{
    Link link(CH_TYPE_SOCKET);
    Buffer out(SB_SEND_BUFFER, 128, kNative);
    Row row({S_col(VE_INTEGER)});
    row.set<int32_t>(0, 5);
    ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
    ASSERT_EQ(SB_set_error(out, ZE_DBMS_ERROR), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    Buffer in(SB_RECEIVE_BUFFER, 128, kNative);
    EXPECT_EQ(SB_receive_buffer(link.rx, in), ZE_DBMS_ERROR);
    EXPECT_EQ(SB_get_object_count(in), 0);
    EXPECT_EQ(SB_get_row(in, &row.r), ZE_BUFFER_DRAINED);
    // Nothing but the status was sent: the next message reads cleanly.
    SB_reset(out);
    ASSERT_EQ(SB_set_last_buffer(out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    ASSERT_EQ(CH_flush(link.tx), 0);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    EXPECT_EQ(SB_get_row(in, &row.r), ZE_NO_MORE_ROWS);
}

TEST(SbMessage, EmptyBuffersAnswerReceiveNextOrEnd)
{
    Link link(CH_TYPE_SOCKET);
    Buffer out(SB_SEND_BUFFER, 64, kNative);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    ASSERT_EQ(SB_set_last_buffer(out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    ASSERT_EQ(CH_flush(link.tx), 0);
    Buffer in(SB_RECEIVE_BUFFER, 64, kNative);
    Row row({S_col(VE_INTEGER)});
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    EXPECT_EQ(SB_is_empty(in), 1);
    EXPECT_EQ(SB_get_row(in, &row.r), ZE_BUFFER_DRAINED);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    EXPECT_EQ(SB_get_row(in, &row.r), ZE_NO_MORE_ROWS);
}

// ---- Filling: room, limits and rows out of band ---------------------------------

TEST(SbFill, NativeStringTakesItsBytesButTheEstimateReservesFourMore)
{
    // One string "abc": 2 + 4 + 4 bytes; the estimate says 2 + 4 + 3 + 5.
    for (int32_t size : {13, 14}) {
        Buffer out(SB_SEND_BUFFER, size, kNative);
        Row row({S_col(VE_STRING, 10)});
        row.set_string(0, "abc");
        if (size == 13) {
            EXPECT_EQ(SB_put_row(&row.r, 0, out), ZE_ROW_OUT_OF_BAND);
            EXPECT_EQ(SB_is_out_of_band(out), 1);
        } else {
            EXPECT_EQ(SB_put_row(&row.r, 0, out), 0);
            EXPECT_EQ(SB_get_bytes_used(out), 10);
        }
    }
}

TEST(SbFill, LimitFlagAppliesMinimumFillAndMaximumRows)
{
    struct Case {
        int32_t minimum_fill, maximum_rows, limit;
        int rows_in; // rows put before the first -3001
    } cases[] = {
        {0, 0, 1, 0},    // a maximum of 0 rows refuses every row
        {0, 0, 0, 10},   // without the flag only the room counts: 10 of 6 bytes in 64
        {60, 2, 1, 2},   // the maximum of rows
        {13, 1000, 1, 3} // refused once more than 13 bytes are in (6, 12, 18)
    };
    for (const Case &c : cases) {
        Buffer out(SB_SEND_BUFFER, 64, kNative, c.minimum_fill, c.maximum_rows);
        Row row({S_col(VE_INTEGER)});
        row.set<int32_t>(0, 1);
        int in = 0;
        while (in < 100 && SB_put_row(&row.r, c.limit, out) == 0)
            in++;
        EXPECT_EQ(in, c.rows_in) << c.minimum_fill << "/" << c.maximum_rows << "/" << c.limit;
        EXPECT_EQ(SB_put_row(&row.r, c.limit, out), ZE_BUFFER_FULL);
        EXPECT_EQ(SB_get_object_count(out), in);
    }
}

TEST(SbFill, RowTooLargeForAnEmptyBufferTravelsOutOfBand)
{
    Link link(CH_TYPE_SOCKET);
    Buffer out(SB_SEND_BUFFER, 16, kNative);
    Row row({S_col(VE_STRING, 40)});
    row.set_string(0, "a string longer than the buffer");
    ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_ROW_OUT_OF_BAND);
    EXPECT_EQ(SB_is_out_of_band(out), 1);
    EXPECT_EQ(SB_get_bytes_used(out), 0);
    // No data block: the message waits for the caller's flush.
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    EXPECT_TRUE(link.raw_at_b(300).empty());
    ASSERT_EQ(CH_flush(link.tx), 0);
    Buffer in(SB_RECEIVE_BUFFER, 16, kNative);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    EXPECT_EQ(SB_is_out_of_band(in), 1);
    Row got({S_col(VE_STRING, 40)});
    EXPECT_EQ(SB_get_row(in, &got.r), ZE_ROW_OUT_OF_BAND);
}

TEST_P(SbEncoding, FullBufferRefusesTheRowWholeAndTakesItAfterReset)
{
    const int32_t enc = GetParam();
    Buffer out(SB_SEND_BUFFER, 40, enc);
    Row row({S_col(VE_INTEGER), S_col(VE_DOUBLE)});
    row.set<int32_t>(0, 1);
    row.set<double>(1, 2.0);
    int in = 0;
    int32_t rc;
    while ((rc = SB_put_row(&row.r, 0, out)) == 0)
        in++;
    EXPECT_EQ(rc, ZE_BUFFER_FULL);
    const int32_t used = SB_get_bytes_used(out);
    EXPECT_EQ(used, in * (enc == kXdr ? 20 : 16));
    SB_reset(out);
    EXPECT_EQ(SB_put_row(&row.r, 0, out), 0);
}

// A buffer sized by the estimate for exactly k rows takes all k and refuses
// the next; a shape row whose estimate is one to four bytes over the room
// left is refused with nothing of it written.
TEST_P(SbEncoding, RoomForExactlyKRowsTakesKAndARowTooBigLeavesNothing)
{
    const int32_t enc = GetParam();
    const int32_t per_row = enc == kXdr ? 8 : 6; // the indicator and the integer
    for (int k = 1; k <= 4; k++) {
        SCOPED_TRACE(k);
        Buffer out(SB_SEND_BUFFER, per_row * k, enc);
        Row row({S_col(VE_INTEGER)});
        row.set<int32_t>(0, k);
        for (int i = 0; i < k; i++)
            ASSERT_EQ(SB_put_row(&row.r, 0, out), 0) << i;
        EXPECT_EQ(SB_put_row(&row.r, 0, out), ZE_BUFFER_FULL);
        EXPECT_EQ(SB_get_bytes_used(out), per_row * k);
        EXPECT_EQ(SB_get_object_count(out), k);
    }

    Row first({S_col(VE_INTEGER)});
    first.set<int32_t>(0, 1);
    Row shape({S_col(VE_SHAPE)});
    shape.set_shape(0, 5, {{1, 2}, {30, 40}, {50, 60}});
    // The shape row's estimate: indicator, compressed bytes and their fixed part.
    const int32_t estimate = (enc == kXdr ? 4 : 2) +
                             VES_get_compressed_buffer_size(shape.shape(0)) +
                             (enc == kXdr ? 34 : 14);
    for (int32_t over = 1; over <= 4; over++) {
        SCOPED_TRACE(over);
        Buffer out(SB_SEND_BUFFER, per_row + estimate - over, enc);
        ASSERT_EQ(SB_put_row(&first.r, 0, out), 0);
        EXPECT_EQ(SB_put_row(&shape.r, 0, out), ZE_BUFFER_FULL);
        EXPECT_EQ(SB_get_bytes_used(out), per_row);
        EXPECT_EQ(SB_get_object_count(out), 1);
    }
    // With the room it needs it goes in.
    Buffer out(SB_SEND_BUFFER, per_row + estimate, enc);
    ASSERT_EQ(SB_put_row(&first.r, 0, out), 0);
    EXPECT_EQ(SB_put_row(&shape.r, 0, out), 0);
}

// ---- Blob pieces --------------------------------------------------------------

TEST_P(SbEncoding, BlobPieceFlows)
{
    const int32_t enc = GetParam();
    Row row({S_col(VE_INTEGER), S_col(VE_BLOB)});
    row.set<int32_t>(0, 1);
    row.set_blob(1);
    const int32_t row_bytes = enc == kXdr ? 12 : 8;

    {
        SCOPED_TRACE("a blob of length 0 leaves a piece of length 0");
        Link link(CH_TYPE_SOCKET);
        Buffer out(SB_SEND_BUFFER, 64, enc);
        ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
        ASSERT_EQ(SB_put_blob(0, nullptr, 1, SB_BLOB_LAST, out), 0);
        EXPECT_EQ(SB_get_bytes_used(out), row_bytes + 4);
        ASSERT_EQ(SB_set_last_buffer(out), 0);
        ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
        Buffer in(SB_RECEIVE_BUFFER, 64, enc);
        ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
        Row got({S_col(VE_INTEGER), S_col(VE_BLOB)});
        ASSERT_EQ(SB_get_row(in, &got.r), 0);
        uint8_t room[4] = {9, 9, 9, 9};
        VE_BLOB_VALUE blob = {4, room};
        EXPECT_EQ(SB_get_blob(in, &got.r, 1, &blob), 0);
        EXPECT_EQ(blob.byte_count, 0);
    }
    {
        SCOPED_TRACE("bytes that do not fit a new piece are refused whole");
        Buffer out(SB_SEND_BUFFER, 32, enc);
        ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
        const std::string big(32 - row_bytes - 3, 'b');
        EXPECT_EQ(SB_put_blob(static_cast<int32_t>(big.size()), big.data(), 1, 0, out),
                  ZE_BUFFER_FULL);
        EXPECT_EQ(SB_get_bytes_used(out), row_bytes);
        EXPECT_EQ(SB_get_partial_blob_column_id(out), SB_NO_PARTIAL_BLOB);
    }
    {
        SCOPED_TRACE("bytes that cannot fit even an empty buffer are refused for good");
        Buffer out(SB_SEND_BUFFER, 32, enc);
        const std::string big(29, 'b');
        EXPECT_EQ(SB_put_blob(static_cast<int32_t>(big.size()), big.data(), 1, 0, out),
                  ZE_INVALID_ARGUMENT);
        EXPECT_EQ(SB_get_bytes_used(out), 0);
    }
    {
        SCOPED_TRACE("bytes that do not fit an open piece close it; the blob continues");
        Link link(CH_TYPE_SOCKET);
        Buffer out(SB_SEND_BUFFER, 48, enc);
        ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
        ASSERT_EQ(SB_put_blob(6, "abcdef", 1, 0, out), 0);
        EXPECT_EQ(SB_get_partial_blob_column_id(out), 1);
        const std::string rest(40, 'r');
        EXPECT_EQ(SB_put_blob(static_cast<int32_t>(rest.size()), rest.data(), 1, SB_BLOB_LAST, out),
                  ZE_BUFFER_FULL);
        EXPECT_EQ(SB_get_partial_blob_column_id(out), 1);
        ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
        Buffer in(SB_RECEIVE_BUFFER, 48, enc);
        ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
        EXPECT_EQ(SB_get_partial_blob_column_id(in), 1);
        Row got({S_col(VE_INTEGER), S_col(VE_BLOB)});
        ASSERT_EQ(SB_get_row(in, &got.r), 0);
        VE_BLOB_VALUE blob = {};
        EXPECT_EQ(SB_get_blob(in, &got.r, 1, &blob), ZE_BLOB_NO_PIECE);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(blob.data), 6), "abcdef");
        std::free(blob.data);
        // The rest starts a new piece after the reset.
        SB_reset(out);
        EXPECT_EQ(SB_put_blob(static_cast<int32_t>(rest.size()), rest.data(), 1, SB_BLOB_LAST, out),
                  0);
    }
    {
        SCOPED_TRACE("a row whose piece did not come has none in this buffer");
        Link link(CH_TYPE_SOCKET);
        Buffer out(SB_SEND_BUFFER, 48, enc);
        ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
        ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
        Buffer in(SB_RECEIVE_BUFFER, 48, enc);
        ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
        Row got({S_col(VE_INTEGER), S_col(VE_BLOB)});
        ASSERT_EQ(SB_get_row(in, &got.r), 0);
        VE_BLOB_VALUE blob = {7, nullptr};
        EXPECT_EQ(SB_get_blob(in, &got.r, 1, &blob), ZE_BLOB_NO_PIECE);
        EXPECT_EQ(blob.byte_count, 0);
    }
}

TEST_P(SbEncoding, PieceLeftOpenIsClosedBeforeTheNextRowAndBeforeSending)
{
    const int32_t enc = GetParam();
    Link link(CH_TYPE_SOCKET);
    Buffer out(SB_SEND_BUFFER, 128, enc);
    Row row({S_col(VE_INTEGER), S_col(VE_BLOB)});
    row.set<int32_t>(0, 1);
    row.set_blob(1);
    ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
    ASSERT_EQ(SB_put_blob(3, "abc", 1, 0, out), 0);
    row.set<int32_t>(0, 2);
    ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
    ASSERT_EQ(SB_put_blob(2, "de", 1, 0, out), 0);
    ASSERT_EQ(SB_set_last_buffer(out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);

    Buffer in(SB_RECEIVE_BUFFER, 128, enc);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    Row got({S_col(VE_INTEGER), S_col(VE_BLOB)});
    for (const char *want : {"abc", "de"}) {
        ASSERT_EQ(SB_get_row(in, &got.r), 0);
        VE_BLOB_VALUE blob = {};
        int32_t rc = SB_get_blob(in, &got.r, 1, &blob);
        // The second blob was still open when the buffer went: it continues.
        EXPECT_EQ(rc, std::string(want) == "de" ? ZE_BLOB_NO_PIECE : 0);
        EXPECT_EQ(
            std::string(reinterpret_cast<char *>(blob.data), static_cast<size_t>(blob.byte_count)),
            want);
        std::free(blob.data);
    }
    EXPECT_EQ(SB_get_row(in, &got.r), ZE_NO_MORE_ROWS);
}

TEST_P(SbEncoding, GetBlobAnswersByColumnAndRespectsTheCallersRoom)
{
    const int32_t enc = GetParam();
    Link link(CH_TYPE_SOCKET);
    Buffer out(SB_SEND_BUFFER, 128, enc);
    Row row({S_col(VE_INTEGER), S_col(VE_BLOB), S_col(VE_BLOB)});
    row.set<int32_t>(0, 1);
    row.set_blob(1);
    ASSERT_EQ(SB_put_row(&row.r, 0, out), ZE_BLOB_PIECES_FOLLOW);
    ASSERT_EQ(SB_put_blob(10, "0123456789", 1, SB_BLOB_LAST, out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    Buffer in(SB_RECEIVE_BUFFER, 128, enc);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    Row got({S_col(VE_INTEGER), S_col(VE_BLOB), S_col(VE_BLOB)});
    ASSERT_EQ(SB_get_row(in, &got.r), 0);

    VE_BLOB_VALUE blob = {};
    EXPECT_EQ(SB_get_blob(in, &got.r, 0, &blob), ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(SB_get_blob(in, &got.r, 2, &blob), ZE_NULL_VALUE);
    EXPECT_EQ(SB_get_blob(in, &got.r, 3, &blob), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_get_blob(in, &got.r, -1, &blob), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_get_blob(in, &got.r, 1, nullptr), ZE_INVALID_ARGUMENT);

    uint8_t room[12];
    std::memset(room, '#', sizeof room);
    VE_BLOB_VALUE small = {4, room};
    EXPECT_EQ(SB_get_blob(in, &got.r, 1, &small), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(room[0], '#') << "nothing copied past the caller's room";
    VE_BLOB_VALUE enough = {12, room};
    EXPECT_EQ(SB_get_blob(in, &got.r, 1, &enough), 0);
    EXPECT_EQ(enough.byte_count, 10);
    EXPECT_EQ(std::memcmp(room, "0123456789##", 12), 0);
    // The reading position stayed: the buffer is at its end.
    EXPECT_EQ(SB_get_row(in, &got.r), ZE_BUFFER_DRAINED);
}

// ---- Arguments, directions and types ----------------------------------------------

TEST(SbArguments, InitRefusesWhatCannotMakeABuffer)
{
    struct Case {
        int16_t type;
        int32_t minimum_fill, size, maximum_rows;
        bool out;
        int32_t rc;
    } cases[] = {
        {SB_SEND_BUFFER, 0, 100, 10, true, 0},
        {SB_RECEIVE_BUFFER, 100, 100, 0, true, 0},
        {SB_SEND_BUFFER, 0, 0, 0, true, 0},
        {SB_SEND_BUFFER, -1, 100, 10, true, ZE_INVALID_ARGUMENT},
        {SB_SEND_BUFFER, 0, -1, 10, true, ZE_INVALID_ARGUMENT},
        {SB_SEND_BUFFER, 0, 100, -1, true, ZE_INVALID_ARGUMENT},
        {SB_SEND_BUFFER, 101, 100, 10, true, ZE_INVALID_ARGUMENT},
        {SB_SEND_BUFFER, 0, 100, 10, false, ZE_INVALID_ARGUMENT},
        {0, 0, 100, 10, true, ZE_INVALID_ARGUMENT},
        {3, 0, 100, 10, true, ZE_INVALID_ARGUMENT},
    };
    for (const Case &c : cases) {
        SB_BUFFER *b = nullptr;
        EXPECT_EQ(
            SB_init(c.type, c.minimum_fill, c.size, c.maximum_rows, kNative, c.out ? &b : nullptr),
            c.rc)
            << c.type << " " << c.minimum_fill << " " << c.size << " " << c.maximum_rows;
        if (c.rc == 0) {
            EXPECT_EQ(SB_get_partial_blob_column_id(b), SB_NO_PARTIAL_BLOB);
            EXPECT_EQ(SB_is_empty(b), 1);
        }
        SB_free(b);
    }
}

TEST(SbArguments, EachOperationBelongsToItsDirection)
{
    Buffer send(SB_SEND_BUFFER, 64, kNative), receive(SB_RECEIVE_BUFFER, 64, kNative);
    Row row({S_col(VE_BLOB)});
    row.set_blob(0);
    VE_BLOB_VALUE blob = {};
    EXPECT_EQ(SB_put_row(&row.r, 0, receive), ZE_WRONG_DIRECTION);
    EXPECT_EQ(SB_put_blob(1, "x", 0, 0, receive), ZE_WRONG_DIRECTION);
    EXPECT_EQ(SB_get_row(send, &row.r), ZE_WRONG_DIRECTION);
    EXPECT_EQ(SB_get_blob(send, &row.r, 0, &blob), ZE_WRONG_DIRECTION);
    EXPECT_EQ(SB_set_last_buffer(receive), ZE_WRONG_DIRECTION);
    EXPECT_EQ(SB_set_error(receive, -1), ZE_WRONG_DIRECTION);
    EXPECT_EQ(SB_set_last_buffer(nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_put_row(nullptr, 0, send), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_put_row(&row.r, 0, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_put_blob(-1, "x", 0, 0, send), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_put_blob(1, nullptr, 0, SB_BLOB_LAST, send), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_put_blob(1, "x", -1, 0, send), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_send_buffer(nullptr, send), ZE_NETWORK_IO);
    EXPECT_EQ(SB_receive_buffer(nullptr, receive), ZE_NETWORK_IO);
    SB_free(nullptr);
    SB_reset(nullptr);
}

TEST_P(SbEncoding, SetTypeSwitchesAnEmptyBufferOnly)
{
    const int32_t enc = GetParam();
    Link link(CH_TYPE_SOCKET);
    Buffer b(SB_SEND_BUFFER, 64, enc);
    Row row({S_col(VE_INTEGER)});
    row.set<int32_t>(0, 31);
    ASSERT_EQ(SB_put_row(&row.r, 0, b), 0);
    EXPECT_EQ(SB_set_type(b, SB_RECEIVE_BUFFER), ZE_FAILURE);
    EXPECT_EQ(SB_get_object_count(b), 1);
    EXPECT_EQ(SB_set_type(b, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_set_type(b, SB_SEND_BUFFER), ZE_FAILURE);
    ASSERT_EQ(SB_set_last_buffer(b), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, b), 0);
    SB_reset(b);
    EXPECT_EQ(SB_set_type(b, SB_SEND_BUFFER), 0);
    ASSERT_EQ(SB_set_type(b, SB_RECEIVE_BUFFER), 0);
    // The same buffer now receives what it sent.
    ASSERT_EQ(SB_receive_buffer(link.rx, b), 0);
    Row got({S_col(VE_INTEGER)});
    ASSERT_EQ(SB_get_row(b, &got.r), 0);
    EXPECT_EQ(got.get<int32_t>(0), 31);
    SB_reset(b);
    ASSERT_EQ(SB_set_type(b, SB_SEND_BUFFER), 0);
    EXPECT_EQ(SB_put_row(&row.r, 0, b), 0);
}

TEST_P(SbEncoding, InvalidColumnTypeIsRefusedWithItsMessage)
{
    const int32_t enc = GetParam();
    Buffer out(SB_SEND_BUFFER, 64, enc);
    std::vector<DB_COLUMN_DEF> cols = {S_col(VE_INTEGER), S_col(VE_INTEGER)};
    Row row(cols);
    row.set<int32_t>(0, 1);
    row.set<int32_t>(1, 2);
    cols[1].type = 12;
    row.r.columns = cols.data();
    testing::internal::CaptureStderr();
    EXPECT_EQ(SB_put_row(&row.r, 0, out), ZE_FAILURE);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("SB_put_row()::Invalid data column type (12)\n"), std::string::npos);
    EXPECT_EQ(SB_get_bytes_used(out), 0);

    Link link(CH_TYPE_SOCKET);
    row.r.columns = row.cols.data();
    ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    Buffer in(SB_RECEIVE_BUFFER, 64, enc);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    row.r.columns = cols.data();
    testing::internal::CaptureStderr();
    EXPECT_EQ(SB_get_row(in, &row.r), ZE_FAILURE);
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("SB_get_row()::Invalid data column type (12)\n"), std::string::npos);
}

// ---- What a writer must not send ---------------------------------------------------

TEST_P(SbEncoding, RowThatCannotTravelIsRefusedAndLeavesNothing)
{
    const int32_t enc = GetParam();
    struct Case {
        const char *what;
        void (*spoil)(Row &);
        int32_t rc;
    } cases[] = {
        {"indicator 0 on a value column", [](Row &r) { r.r.indicators[1] = 0; },
         ZE_INVALID_ARGUMENT},
        {"no-shape indicator on a value column",
         [](Row &r) { r.r.indicators[1] = VE_IND_NO_SHAPE; }, ZE_INVALID_ARGUMENT},
        {"value present but no value", [](Row &r) { r.r.values[2] = nullptr; },
         ZE_INVALID_ARGUMENT},
        {"auxiliary longs counted but missing", [](Row &r) { r.r.aux_count = 2; },
         ZE_INVALID_ARGUMENT},
        {"shape without a compressed buffer",
         [](Row &r) {
             r.r.values[3] = r.r.buffers[3];
             r.r.indicators[3] = VE_IND_VALUE;
         },
         ZE_INVALID_ARGUMENT},
    };
    for (const Case &c : cases) {
        Buffer out(SB_SEND_BUFFER, 128, enc);
        Row good({S_col(VE_INTEGER), S_col(VE_INTEGER), S_col(VE_STRING, 8), S_col(VE_SHAPE)});
        good.set<int32_t>(0, 1);
        good.set<int32_t>(1, 2);
        good.set_string(2, "s");
        ASSERT_EQ(SB_put_row(&good.r, 0, out), 0);
        const Bytes before = S_area(out);
        c.spoil(good);
        EXPECT_EQ(SB_put_row(&good.r, 0, out), c.rc) << c.what;
        EXPECT_EQ(S_area(out), before) << c.what;
        EXPECT_EQ(SB_get_object_count(out), 1) << c.what;
    }
}

TEST(SbWriter, XdrStringOverItsLimitFailsTheRowWholeAndTheNextRowGoesOn)
{
    Link link(CH_TYPE_SOCKET);
    Buffer out(SB_SEND_BUFFER, 16384, kXdr);
    std::vector<DB_COLUMN_DEF> cols = {S_col(VE_INTEGER), S_col(VE_STRING, 5000)};
    Row row(cols);
    row.set<int32_t>(0, 1);
    row.set_string(1, "ok");
    ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
    row.set<int32_t>(0, 2);
    row.set_string(1, std::string(4097, 'L').c_str());
    EXPECT_EQ(SB_put_row(&row.r, 0, out), ZE_NETWORK_IO);
    row.set<int32_t>(0, 3);
    row.set_string(1, "fine");
    ASSERT_EQ(SB_put_row(&row.r, 0, out), 0);
    ASSERT_EQ(SB_set_last_buffer(out), 0);
    ASSERT_EQ(SB_send_buffer(link.tx, out), 0);
    Buffer in(SB_RECEIVE_BUFFER, 16384, kXdr);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    EXPECT_EQ(SB_get_object_count(in), 2);
    Row got(cols);
    for (int32_t want : {1, 3}) {
        ASSERT_EQ(SB_get_row(in, &got.r), 0);
        EXPECT_EQ(got.get<int32_t>(0), want);
    }
    EXPECT_EQ(SB_get_row(in, &got.r), ZE_NO_MORE_ROWS);
}

// A row of 257 columns whose last, a blob, stands at index 256.
std::vector<DB_COLUMN_DEF> S_wide_columns()
{
    std::vector<DB_COLUMN_DEF> cols(256, S_col(VE_SMALLINT));
    cols.push_back(S_col(VE_BLOB));
    return cols;
}

TEST(SbXdrBlobTable, BlobColumnsFromIndex256AreRefusedEverywhereInXdr)
{
    Row row(S_wide_columns());
    row.set_blob(256);
    Buffer xdr_out(SB_SEND_BUFFER, 4096, kXdr), native_out(SB_SEND_BUFFER, 4096, kNative);
    EXPECT_EQ(SB_put_row(&row.r, 0, xdr_out), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_get_bytes_used(xdr_out), 0);
    EXPECT_EQ(SB_put_blob(1, "x", 256, SB_BLOB_LAST, xdr_out), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SB_put_blob(1, "x", 255, SB_BLOB_LAST, xdr_out), 0);
    // The native encoding has no table: the row goes.
    EXPECT_EQ(SB_put_row(&row.r, 0, native_out), ZE_BLOB_PIECES_FOLLOW);

    // A reader of such a row in XDR, whatever the peer sends.
    Link link(CH_TYPE_SOCKET);
    Area area{kXdr, {}};
    for (int i = 0; i < 256; i++)
        area.i16(VE_IND_NULL);
    area.i16(VE_IND_VALUE);
    S_send_message(link.tx, static_cast<int32_t>(area.b.size()), 1, area.b);
    Buffer in(SB_RECEIVE_BUFFER, 4096, kXdr);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    EXPECT_EQ(SB_get_row(in, &row.r), ZE_INVALID_ARGUMENT);
    VE_BLOB_VALUE blob = {};
    EXPECT_EQ(SB_get_blob(in, &row.r, 256, &blob), ZE_INVALID_ARGUMENT);
}

// ---- What a reader must refuse ---------------------------------------------------

TEST(SbReceive, MessageLargerThanTheBufferOrWithNegativeCountsIsRefused)
{
    struct Case {
        int32_t bytes_used, rows;
    } cases[] = {{65, 1}, {1 << 30, 1}, {8, -1}};
    for (const Case &c : cases) {
        Link link(CH_TYPE_SOCKET);
        Bytes block(static_cast<size_t>(c.bytes_used <= 64 ? c.bytes_used : 64), 0);
        ASSERT_NO_FATAL_FAILURE(S_send_message(link.tx, c.bytes_used, c.rows, block));
        Buffer in(SB_RECEIVE_BUFFER, 64, kNative);
        EXPECT_EQ(SB_receive_buffer(link.rx, in), ZE_INVALID_ARGUMENT) << c.bytes_used;
        // The buffer stays empty: no row is read from what did not come.
        Row row({S_col(VE_INTEGER)});
        EXPECT_EQ(SB_get_row(in, &row.r), ZE_BUFFER_DRAINED);
        EXPECT_EQ(SB_get_bytes_used(in), 0);
    }
}

// Receives one crafted row message of the encoding into a row of the columns
// and answers SB_get_row's code; twice, to show the buffer stays at the row.
int32_t S_read_crafted(int32_t enc, const std::vector<DB_COLUMN_DEF> &cols, const Bytes &area,
                       int32_t rows = 1)
{
    Link link(CH_TYPE_SOCKET);
    S_send_message(link.tx, static_cast<int32_t>(area.size()), rows, area);
    Buffer in(SB_RECEIVE_BUFFER, 256, enc);
    EXPECT_EQ(SB_receive_buffer(link.rx, in), 0);
    Row row(cols);
    FEATURE_STRUCT *f = nullptr;
    for (size_t i = 0; i < cols.size(); i++)
        if (cols[i].type == VE_SHAPE) {
            f = row.shape(static_cast<int>(i));
            EXPECT_EQ(VES_anno_create(&f->anno), 0);
        }
    const int32_t first = SB_get_row(in, &row.r);
    if (first != 0) {
        EXPECT_EQ(SB_get_row(in, &row.r), first);
        EXPECT_EQ(SB_get_object_count(in), rows);
    } else {
        for (size_t i = 0; i < cols.size(); i++) {
            if (cols[i].type != VE_BLOB || row.r.indicators[i] == VE_IND_NULL)
                continue;
            VE_BLOB_VALUE blob = {};
            int32_t rc = SB_get_blob(in, &row.r, static_cast<int16_t>(i), &blob);
            std::free(blob.data);
            if (rc != 0 && rc != ZE_BLOB_NO_PIECE)
                return rc;
        }
    }
    return first;
}

TEST_P(SbEncoding, ReceivedBytesThatDoNotFormARowAreRefused)
{
    const int32_t enc = GetParam();
    const bool xdr = enc == kXdr;
    const std::vector<DB_COLUMN_DEF> text = {S_col(VE_STRING, 10)};
    const std::vector<DB_COLUMN_DEF> number = {S_col(VE_INTEGER)};
    const std::vector<DB_COLUMN_DEF> blob = {S_col(VE_INTEGER), S_col(VE_BLOB)};
    const std::vector<DB_COLUMN_DEF> shape = {S_col(VE_SHAPE)};
    auto area = [enc] { return Area{enc, {}}; };
    struct Case {
        const char *what;
        std::vector<DB_COLUMN_DEF> cols;
        Bytes bytes;
        int32_t rc;
    };
    std::vector<Case> cases = {
        {"a well-formed string", text, area().i16(2).str("abc").b, 0},
        {"a string length past the data", text, area().i16(2).i32(100).raw("abc", 4).b,
         ZE_INVALID_ARGUMENT},
        {"a string length of 0", text, area().i16(2).i32(0).i32(0).b, ZE_INVALID_ARGUMENT},
        {"a negative string length", text, area().i16(2).i32(-5).i32(0).b, ZE_INVALID_ARGUMENT},
        {"an indicator of 5", number, area().i16(5).i32(1).b, ZE_INVALID_ARGUMENT},
        {"a no-shape indicator on a number", number, area().i16(3).i32(1).b, ZE_INVALID_ARGUMENT},
        {"a number cut short", number, area().i16(2).raw("\1\2", 2).b,
         xdr ? ZE_NETWORK_IO : ZE_INVALID_ARGUMENT},
        {"a blob piece past the data", blob, area().i16(2).i16(2).i32(1).i32(50).raw("ab", 2).b,
         ZE_INVALID_ARGUMENT},
        {"a negative blob length", blob, area().i16(2).i16(2).i32(1).i32(-4).b,
         ZE_INVALID_ARGUMENT},
        {"a blob piece of length 0", blob, area().i16(2).i16(2).i32(1).i32(0).b, 0},
        {"a compressed shape past the data", shape,
         area().i16(2).i32(1).i32(2).i16(2).str("t").i32(200).raw("0123", 4).b,
         ZE_INVALID_ARGUMENT},
        {"a negative compressed length", shape,
         area().i16(2).i32(1).i32(2).i16(2).str("t").i32(-1).b, ZE_INVALID_ARGUMENT},
        // Lengths whose padding to whole units would pass the largest int.
        {"a blob length of the largest int", blob,
         area().i16(2).i16(2).i32(1).i32(INT32_MAX).raw("ab", 2).b, ZE_INVALID_ARGUMENT},
        {"a blob length just below it", blob,
         area().i16(2).i16(2).i32(1).i32(INT32_MAX - 2).raw("ab", 2).b, ZE_INVALID_ARGUMENT},
        {"a compressed length of the largest int", shape,
         area().i16(2).i32(1).i32(2).i16(2).str("t").i32(INT32_MAX).raw("0123", 4).b,
         ZE_INVALID_ARGUMENT},
    };
    if (xdr) {
        cases.push_back({"a string longer than the column", text,
                         area().i16(2).str("a string of twenty..").b, ZE_INVALID_ARGUMENT});
        cases.push_back({"a length word that disagrees with the string", text,
                         area().i16(2).i32(5).i32(3).raw("abc", 3).pad().b, ZE_INVALID_ARGUMENT});
        // The data ends inside the string's padding: one, two or three of its
        // bytes are missing.
        for (int missing : {1, 2, 3}) {
            Area cut = area();
            cut.i16(2).i32(2).i32(1).raw("a", 1);
            cut.b.insert(cut.b.end(), static_cast<size_t>(3 - missing), 0);
            cases.push_back({"a string cut inside its padding", text, cut.b, ZE_NETWORK_IO});
        }
        cases.push_back({"a whole padded string", text, area().i16(2).str("a").b, 0});
    } else {
        cases.push_back({"a string without its NUL", text, area().i16(2).i32(3).raw("abc", 3).b,
                         ZE_INVALID_ARGUMENT});
        cases.push_back({"an annotation text without its NUL", shape,
                         area().i16(2).i32(1).i32(2).i16(2).i32(2).raw("tt", 2).i32(0).b,
                         ZE_INVALID_ARGUMENT});
        // Annotation text longer than its 256-byte field, all of it received.
        Area long_anno = area();
        long_anno.i16(2).i32(1).i32(2).i16(2).i32(200);
        long_anno.b.insert(long_anno.b.end(), 199, 'a');
        long_anno.b.push_back(0);
        cases.push_back({"an annotation text that fits", shape, long_anno.i32(0).b, 0});
    }
    for (const Case &c : cases)
        EXPECT_EQ(S_read_crafted(enc, c.cols, c.bytes), c.rc) << c.what;
}

TEST_P(SbEncoding, SecondRowBeyondTheReceivedBytesIsRefused)
{
    const int32_t enc = GetParam();
    Link link(CH_TYPE_SOCKET);
    Area area{enc, {}};
    area.i16(2).i32(7);
    S_send_message(link.tx, static_cast<int32_t>(area.b.size()), 2, area.b);
    Buffer in(SB_RECEIVE_BUFFER, 64, enc);
    ASSERT_EQ(SB_receive_buffer(link.rx, in), 0);
    Row row({S_col(VE_INTEGER)});
    ASSERT_EQ(SB_get_row(in, &row.r), 0);
    EXPECT_EQ(row.get<int32_t>(0), 7);
    EXPECT_NE(SB_get_row(in, &row.r), 0);
    EXPECT_EQ(SB_get_object_count(in), 1);
}

} // namespace
