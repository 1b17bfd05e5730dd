// The tile buffer: the room a tile needs (refused at one byte less, taken at
// exactly its need), the put's refusals, the wire encoding of multi-byte
// pixels and deflate with the compressed length in the message, round trips
// over socket and XDR channels, and the reader's refusal (-66) of lengths and
// pixel counts that pass the bytes received or the room of its tile. A failed
// deflate or inflate answers the zlib wrappers' code and hands out nothing.
#include "base/system/rb_buffer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/rb_buffer_internal.h"
#include "base/util/zel_errors.h"
#include "platform/plat_socket_internal.h"
#include "tests/base/system/so_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Bytes = std::vector<uint8_t>;

// Format words: pixel type (bits per pixel x 8) and compression.
int32_t S_format(int32_t bits, int32_t compression)
{
    return static_cast<int32_t>(static_cast<uint32_t>(bits * 8) << 16 |
                                static_cast<uint32_t>(compression) << 10);
}

// A tile over bytes of its own.
struct Tile {
    Bytes bytes;
    RB_TILE t = {};
    explicit Tile(Bytes b, int32_t format = S_format(8, 0), int32_t pixels = -1)
        : bytes(std::move(b))
    {
        t.tile_number = 7;
        t.format = format;
        t.words[0] = 3;
        t.words[1] = -4;
        t.words[2] = 1;
        t.data = bytes.data();
        t.length = static_cast<int32_t>(bytes.size());
        t.pixel_count = pixels >= 0 ? pixels : t.length;
    }
};

// A block to receive into, of room bytes.
struct Room {
    Bytes bytes;
    RB_TILE t = {};
    explicit Room(size_t room) : bytes(room, 0xEE)
    {
        t.data = bytes.data();
        t.length = static_cast<int32_t>(room);
    }
    Bytes got() const
    {
        return Bytes(bytes.begin(), bytes.begin() + t.length);
    }
};

struct Buffer {
    RB_BUFFER *b = nullptr;
    explicit Buffer(int32_t size)
    {
        EXPECT_EQ(RB_init(&b, size), 0);
    }
    ~Buffer()
    {
        RB_free(&b);
    }
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    operator RB_BUFFER *() const
    {
        return b;
    }
};

// 16-bit pixels 0x0102, 0x0304, ... as the host holds them.
Bytes S_pixels16(int count)
{
    Bytes b;
    for (int i = 0; i < count; i++) {
        const uint16_t v = static_cast<uint16_t>((2 * i + 1) << 8 | ((2 * i + 2) & 0xFF));
        uint8_t two[2];
        std::memcpy(two, &v, 2);
        b.insert(b.end(), two, two + 2);
    }
    return b;
}

// The channel pair, and what reached its end b read raw.
struct Link : so_test::ChannelPair {
    using ChannelPair::ChannelPair;

    // Exactly n bytes that reached end b, read raw (its channel is not used).
    Bytes raw_at_b(size_t n)
    {
        Bytes got(n);
        size_t at = 0;
        while (at < n) {
            ssize_t r = plat_socket_recv(b, got.data() + at, n - at);
            if (r <= 0)
                break;
            at += static_cast<size_t>(r);
        }
        got.resize(at);
        return got;
    }
};

// A message written raw on the socket channel: error, last, count, then
// each tile's seven longs and its bytes.
struct Message {
    so_test::Wire w;
    Message(int32_t count, int32_t error = 0, int32_t last = 0)
    {
        w.i32(error).i32(last).i32(count);
    }
    Message &tile(int32_t length, int32_t format, int32_t pixels, const Bytes &bytes)
    {
        w.i32(length).i32(5).i32(format).i32(pixels).i32(1).i32(2).i32(3).raw(bytes);
        return *this;
    }
    void send(Link &link) const
    {
        ASSERT_EQ(CH_write_block(link.tx, w.b.data(), static_cast<int32_t>(w.b.size())), 0);
        ASSERT_EQ(CH_flush(link.tx), 0);
    }
};

} // namespace

// ---- Room ----------------------------------------------------------------------

// The room a tile of 1000 bytes needs: header 28 and, when it is deflated,
// the worst case 1000 x 1.01 + 12.5 cut to 1022, even for bytes that
// compress to almost nothing.
TEST(RbRoom, TileIsRefusedOneByteShortOfItsNeedAndTakenAtIt)
{
    struct Case {
        int32_t compression, encode, need;
    } cases[] = {{1, 1, 1022 + 28}, {1, 0, 1028}, {0, 1, 1028}, {0, 0, 1028}};
    for (const Case &c : cases) {
        Tile tile(Bytes(1000, 0), S_format(8, c.compression));
        Buffer short_of(c.need - 1), exact(c.need);
        EXPECT_EQ(RB_put_tile(short_of, &tile.t, c.encode), ZE_BUFFER_FULL) << c.need;
        EXPECT_EQ(RB_get_num_tiles(short_of), 0);
        EXPECT_EQ(RB_put_tile(exact, &tile.t, c.encode), 0) << c.need;
        EXPECT_EQ(RB_get_num_tiles(exact), 1);
    }
}

TEST(RbRoom, FullBufferRefusesTheTileWholeAndTakesItAfterReset)
{
    Buffer buffer(100);
    Tile tile(Bytes(40, 9));
    ASSERT_EQ(RB_put_tile(buffer, &tile.t, 0), 0);
    EXPECT_EQ(RB_put_tile(buffer, &tile.t, 0), ZE_BUFFER_FULL);
    EXPECT_EQ(RB_get_num_tiles(buffer), 1);
    RB_reset(buffer);
    EXPECT_EQ(RB_is_empty(buffer), 1);
    EXPECT_EQ(RB_put_tile(buffer, &tile.t, 0), 0);
    EXPECT_EQ(buffer.b->position, 68);
}

TEST(RbRoom, BufferOfNoBytesRefusesEveryTileAndCannotCompress)
{
    Buffer buffer(0);
    Tile plain(Bytes(4, 1)), deflated(Bytes(4, 1), S_format(8, 1));
    EXPECT_EQ(RB_put_tile(buffer, &plain.t, 1), ZE_BUFFER_FULL);
    EXPECT_EQ(RB_put_tile(buffer, &deflated.t, 0), ZE_BUFFER_FULL);
    EXPECT_EQ(RB_put_tile(buffer, &deflated.t, 1), ZE_BUFFER_NO_MEMORY);
    EXPECT_EQ(RB_get_buffer_size(buffer), 0);
}

// ---- Refusals of a put -----------------------------------------------------------

TEST(RbPut, TilesThatCannotBePutAreRefusedWithNothingWritten)
{
    Buffer buffer(4096);
    struct Case {
        const char *what;
        int32_t number, length, format, encode, want;
        bool no_data;
    } cases[] = {
        {"tile number 0", 0, 4, S_format(8, 0), 0, ZE_INVALID_TILE_NUMBER, false},
        {"negative length", 1, -1, S_format(8, 0), 0, ZE_INVALID_ARGUMENT, false},
        {"length 0 is not put", 1, 0, S_format(8, 0), 1, 0, false},
        {"no pixel bytes", 1, 4, S_format(8, 0), 0, ZE_NULL_POINTER, true},
        {"compression 2 with encode", 1, 4, S_format(8, 2), 1, ZE_INVALID_COMPRESSION, false},
        {"compression 2 without", 1, 4, S_format(8, 2), 0, ZE_INVALID_COMPRESSION, false},
        {"compression 63", 1, 4, S_format(8, 63), 0, ZE_INVALID_COMPRESSION, false},
    };
    for (const Case &c : cases) {
        Tile tile(Bytes(4, 1), c.format);
        tile.t.tile_number = c.number;
        tile.t.length = c.length;
        if (c.no_data)
            tile.t.data = nullptr;
        int32_t rc = 0;
        quiet_stderr([&] { rc = RB_put_tile(buffer, &tile.t, c.encode); });
        EXPECT_EQ(rc, c.want) << c.what;
        EXPECT_EQ(RB_get_num_tiles(buffer), 0) << c.what;
        EXPECT_EQ(buffer.b->position, 0) << c.what;
    }
    Tile tile(Bytes(4, 1));
    EXPECT_EQ(RB_put_tile(nullptr, &tile.t, 0), ZE_NULL_POINTER);
    EXPECT_EQ(RB_put_tile(buffer, nullptr, 0), ZE_NULL_POINTER);
}

TEST(RbPut, InvalidCompressionIsNamedOnTheDebugPrinter)
{
    setenv("ZELVERBOSE", "1", 1);
    Buffer buffer(64);
    Tile tile(Bytes(4, 1), S_format(8, 2));
    StderrCapture capture;
    EXPECT_EQ(RB_put_tile(buffer, &tile.t, 0), ZE_INVALID_COMPRESSION);
    EXPECT_EQ(capture.text(), "RB_put_tile: invalid compression type.\n");
    unsetenv("ZELVERBOSE");
}

// Reordering reads pixel count x bytes per pixel of the tile's bytes: a
// count beyond them is refused, not read past the tile.
TEST(RbPut, PixelCountWhoseBytesPassTheTileIsRefusedWhenPixelsAreReordered)
{
    struct Case {
        int32_t bits, pixels, encode, want;
    } cases[] = {
        {16, 500, 1, 0},  {16, 501, 1, ZE_INVALID_ARGUMENT}, {16, -1, 1, ZE_INVALID_ARGUMENT},
        {32, 250, 1, 0},  {32, 251, 1, ZE_INVALID_ARGUMENT}, {64, 126, 1, ZE_INVALID_ARGUMENT},
        {16, 501, 0, 0},  // not reordered: the count only travels
        {8, 5000, 1, 0},  // single-byte pixels are not reordered
        {12, 5000, 1, 0}, // nor pixels of a part of a byte
    };
    for (const Case &c : cases) {
        Buffer buffer(4096);
        Tile tile(Bytes(1000, 3), S_format(c.bits, 0), c.pixels);
        tile.t.pixel_count = c.pixels;
        EXPECT_EQ(RB_put_tile(buffer, &tile.t, c.encode), c.want)
            << c.bits << " bits, " << c.pixels << " pixels";
        EXPECT_EQ(RB_get_num_tiles(buffer), c.want == 0 ? 1 : 0);
    }
}

// A deflate that fails puts nothing: before, the tile went out with length
// 0 and the put answered 0, so the reader got an empty tile for its pixels.
TEST(RbPut, FailedDeflateAnswersTheWrappersCodeAndPutsNothing)
{
    Buffer buffer(4096);
    Tile first(Bytes(100, 1), S_format(8, 1)), second(Bytes(200, 2), S_format(8, 1));
    ASSERT_EQ(RB_put_tile(buffer, &first.t, 1), 0);
    const int32_t used = buffer.b->position;
    // The stream under the context is ended: zlib refuses the next deflate.
    deflateEnd(&buffer.b->deflate->stream);
    int32_t rc = 0;
    quiet_stderr([&] { rc = RB_put_tile(buffer, &second.t, 1); });
    EXPECT_EQ(rc, ZE_FAILURE);
    EXPECT_EQ(RB_get_num_tiles(buffer), 1);
    EXPECT_EQ(buffer.b->position, used);
    // A context of the other kind: the wrapper's -66 comes back as it is.
    VE_ZSTREAM *ended = buffer.b->deflate;
    ASSERT_EQ(VES_inflate_init(&buffer.b->deflate), 0);
    quiet_stderr([&] { rc = RB_put_tile(buffer, &second.t, 1); });
    EXPECT_EQ(rc, ZE_INVALID_ARGUMENT);
    EXPECT_EQ(RB_get_num_tiles(buffer), 1);
    VES_inflate_end(buffer.b->deflate);
    buffer.b->deflate = ended;
    quiet_stderr([&] { RB_free(&buffer.b); });
}

// ---- Wire encoding -----------------------------------------------------------------

// The message bytes of one tile put with the encode flag, read raw off the
// socket channel.
Bytes S_sent_tile_bytes(const Tile &tile, int32_t *length_word)
{
    Link link(CH_TYPE_SOCKET);
    Buffer buffer(8192);
    EXPECT_EQ(RB_put_tile(buffer, &tile.t, 1), 0);
    EXPECT_EQ(RB_send_buffer(buffer, link.tx), 0);
    const Bytes head = link.raw_at_b(12 + 28);
    *length_word = so_test::le32(head, 12);
    return link.raw_at_b(static_cast<size_t>(*length_word));
}

TEST(RbEncoding, SixteenBitPixelsTravelMostSignificantByteFirst)
{
    Tile tile(S_pixels16(3), S_format(16, 0), 3);
    int32_t length = 0;
    EXPECT_EQ(S_sent_tile_bytes(tile, &length), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(length, 6);
    // The caller's bytes are not changed.
    EXPECT_EQ(tile.bytes, S_pixels16(3));
}

TEST(RbEncoding, BytesBeyondThePixelsAndPixelsOfAByteOrLessTravelUnchanged)
{
    struct Case {
        int32_t bits, pixels;
        Bytes host, wire;
    } cases[] = {
        {16, 2, {2, 1, 4, 3, 9, 8}, {1, 2, 3, 4, 9, 8}},
        {32, 1, {4, 3, 2, 1, 7}, {1, 2, 3, 4, 7}},
        {8, 4, {4, 3, 2, 1}, {4, 3, 2, 1}},
        {12, 2, {4, 3, 2, 1}, {4, 3, 2, 1}},
        {1, 32, {4, 3, 2, 1}, {4, 3, 2, 1}},
    };
    for (const Case &c : cases) {
        Tile tile(c.host, S_format(c.bits, 0), c.pixels);
        int32_t length = 0;
        EXPECT_EQ(S_sent_tile_bytes(tile, &length), c.wire) << c.bits << " bits";
    }
}

TEST(RbEncoding, DeflatedTileCarriesItsCompressedLengthAndInflatesToTheWireOrder)
{
    const Bytes host = S_pixels16(2000);
    Tile tile(host, S_format(16, 1), 2000);
    int32_t length = 0;
    const Bytes sent = S_sent_tile_bytes(tile, &length);
    EXPECT_LT(length, 4000);
    EXPECT_EQ(sent.size(), static_cast<size_t>(length));
    Bytes inflated(4000);
    uLongf out = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &out, sent.data(), sent.size()), Z_OK);
    ASSERT_EQ(out, 4000u);
    for (int i = 0; i < 2000; i++) {
        EXPECT_EQ(inflated[2 * static_cast<size_t>(i)], (2 * i + 1) & 0xFF);
        EXPECT_EQ(inflated[2 * static_cast<size_t>(i) + 1], (2 * i + 2) & 0xFF);
    }
}

// ---- Round trips -------------------------------------------------------------------

class RbRoundTrip : public ::testing::TestWithParam<uint32_t>
{
};

INSTANTIATE_TEST_SUITE_P(SocketAndXdr, RbRoundTrip, ::testing::Values(CH_TYPE_SOCKET, CH_TYPE_XDR));

// Tiles of every encoding over several messages, the last marked: each
// comes back as it was put, its words carried, in order.
TEST_P(RbRoundTrip, TilesComeBackAsTheyWerePutOverSeveralMessages)
{
    Link link(GetParam());
    struct Sent {
        Tile tile;
        int32_t encode;
    };
    std::vector<Sent> sent;
    for (int i = 0; i < 12; i++) {
        const int32_t compression = i % 2, bits = i % 3 == 0 ? 16 : 8;
        Bytes bytes = bits == 16 ? S_pixels16(300 + i) : Bytes(600 + i, static_cast<uint8_t>(i));
        const int32_t pixels = bits == 16 ? 300 + i : 600 + i;
        sent.push_back({Tile(bytes, S_format(bits, compression), pixels), i % 4 != 3});
        sent.back().tile.t.tile_number = i + 1;
        sent.back().tile.t.words[0] = i * 10;
    }
    Buffer out(2000), in(2000);
    std::vector<RB_TILE> got;
    std::vector<Bytes> got_bytes;
    size_t next = 0;
    int messages = 0;
    while (next < sent.size()) {
        RB_reset(out);
        while (next < sent.size() && RB_put_tile(out, &sent[next].tile.t, sent[next].encode) == 0)
            next++;
        ASSERT_GT(RB_get_num_tiles(out), 0);
        if (next == sent.size())
            RB_set_last(out);
        ASSERT_EQ(RB_send_buffer(out, link.tx), 0);
        messages++;
        RB_reset(in);
        ASSERT_EQ(RB_receive_buffer(in, link.rx), 0);
        EXPECT_EQ(RB_is_last(in), next == sent.size() ? 1 : 0);
        for (;;) {
            Room room(2000);
            const size_t index = got.size();
            const int32_t rc =
                RB_get_tile(in, &room.t, index < sent.size() ? sent[index].encode : 0);
            if (rc == ZE_BUFFER_DRAINED)
                break;
            ASSERT_EQ(rc, 0);
            got.push_back(room.t);
            got_bytes.push_back(room.got());
        }
        EXPECT_EQ(RB_is_empty(in), 1);
    }
    EXPECT_GT(messages, 3);
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < sent.size(); i++) {
        const RB_TILE &want = sent[i].tile.t;
        EXPECT_EQ(got[i].tile_number, want.tile_number);
        EXPECT_EQ(got[i].format, want.format);
        EXPECT_EQ(got[i].pixel_count, want.pixel_count);
        EXPECT_EQ(got[i].words[0], want.words[0]);
        EXPECT_EQ(got[i].words[1], want.words[1]);
        EXPECT_EQ(got[i].words[2], want.words[2]);
        EXPECT_EQ(got_bytes[i], sent[i].tile.bytes) << "tile " << i;
    }
}

TEST_P(RbRoundTrip, ErrorAndLastFlagTravelWithoutTiles)
{
    Link link(GetParam());
    Buffer out(64), in(64);
    RB_set_error(out, ZE_RASTERBAND_NOT_FOUND);
    RB_set_last(out);
    ASSERT_EQ(RB_send_buffer(out, link.tx), 0);
    EXPECT_EQ(RB_receive_buffer(in, link.rx), 0);
    EXPECT_EQ(RB_get_error(in), ZE_RASTERBAND_NOT_FOUND);
    EXPECT_EQ(RB_is_last(in), 1);
    Room room(16);
    EXPECT_EQ(RB_get_tile(in, &room.t, 1), ZE_BUFFER_DRAINED);
    EXPECT_EQ(room.t.length, 0);
}

TEST(RbMessage, HeaderLongsAndBytesInTheirOrder)
{
    Link link(CH_TYPE_SOCKET);
    Buffer out(256);
    Tile tile(Bytes{9, 8, 7}, S_format(8, 0), 3);
    tile.t.tile_number = 12;
    ASSERT_EQ(RB_put_tile(out, &tile.t, 0), 0);
    RB_set_last(out);
    ASSERT_EQ(RB_send_buffer(out, link.tx), 0);
    const Bytes want = so_test::Wire()
                           .i32(0)
                           .i32(1)
                           .i32(1)
                           .i32(3)
                           .i32(12)
                           .i32(S_format(8, 0))
                           .i32(3)
                           .i32(3)
                           .i32(-4)
                           .i32(1)
                           .raw(Bytes{9, 8, 7})
                           .b;
    EXPECT_EQ(link.raw_at_b(want.size()), want);
}

// ---- The reader ----------------------------------------------------------------------

// Message lengths are checked before a byte lands in the data area; a
// message refused leaves nothing to take.
TEST(RbReceive, LengthsAndCountsThatDoNotFitTheDataAreaAreRefused)
{
    struct Case {
        const char *what;
        Message message;
    } cases[] = {
        {"negative count", Message(-1)},
        {"negative length", Message(1).tile(-1, S_format(8, 0), 0, {})},
        {"length past the area", Message(1).tile(37, S_format(8, 0), 37, Bytes(37, 1))},
        {"second tile past the area", Message(2)
                                          .tile(5, S_format(8, 0), 5, Bytes(5, 1))
                                          .tile(5, S_format(8, 0), 5, Bytes(5, 1))},
        {"huge length", Message(1).tile(0x7FFFFFF0, S_format(8, 0), 0, {})},
    };
    for (const Case &c : cases) {
        Link link(CH_TYPE_SOCKET);
        c.message.send(link);
        Buffer in(64);
        EXPECT_EQ(RB_receive_buffer(in, link.rx), ZE_INVALID_ARGUMENT) << c.what;
        Room room(64);
        EXPECT_EQ(RB_get_tile(in, &room.t, 0), ZE_BUFFER_DRAINED) << c.what;
    }
    // At exactly the area's size the tile is taken.
    Link link(CH_TYPE_SOCKET);
    Message(1).tile(36, S_format(8, 0), 36, Bytes(36, 1)).send(link);
    Buffer in(64);
    EXPECT_EQ(RB_receive_buffer(in, link.rx), 0);
    Room room(64);
    EXPECT_EQ(RB_get_tile(in, &room.t, 0), 0);
    EXPECT_EQ(room.t.length, 36);
}

TEST(RbReceive, ShortMessageIsAChannelFailure)
{
    Link link(CH_TYPE_SOCKET);
    so_test::Wire w;
    w.i32(0).i32(0).i32(1).i32(10);
    ASSERT_EQ(CH_write_block(link.tx, w.b.data(), static_cast<int32_t>(w.b.size())), 0);
    ASSERT_EQ(CH_flush(link.tx), 0);
    CH_destroy(link.tx);
    link.tx = nullptr;
    shutdown(link.a, SHUT_WR);
    Buffer in(64);
    EXPECT_EQ(RB_receive_buffer(in, link.rx), ZE_NETWORK_IO);
    EXPECT_EQ(RB_get_num_tiles(in), 0);
}

// The reader's tile block has the room its length says on entry: a tile
// that does not fit is refused and stays for a larger block.
TEST(RbGet, TileLargerThanTheReadersBlockIsRefusedAndStays)
{
    const Bytes host = S_pixels16(100);
    struct Case {
        int32_t compression, decode;
    } cases[] = {{0, 0}, {0, 1}, {1, 1}};
    for (const Case &c : cases) {
        Link link(CH_TYPE_SOCKET);
        Buffer out(4096), buffer(4096);
        Tile tile(host, S_format(16, c.compression), 100);
        ASSERT_EQ(RB_put_tile(out, &tile.t, 1), 0);
        ASSERT_EQ(RB_send_buffer(out, link.tx), 0);
        ASSERT_EQ(RB_receive_buffer(buffer, link.rx), 0);
        Room small(199);
        EXPECT_EQ(RB_get_tile(buffer, &small.t, c.decode), ZE_INVALID_ARGUMENT)
            << c.compression << c.decode;
        EXPECT_EQ(small.t.length, 0);
        EXPECT_EQ(small.bytes, Bytes(199, 0xEE)) << "nothing written past or into the block";
        EXPECT_EQ(RB_get_num_tiles(buffer), 1);
        Room fits(200);
        EXPECT_EQ(RB_get_tile(buffer, &fits.t, c.decode), 0);
        EXPECT_EQ(fits.t.length, 200);
        if (c.decode) {
            EXPECT_EQ(fits.got(), host);
        }
    }
}

// A received pixel count whose bytes pass the tile's is refused; before,
// the byte swap read and wrote past them.
TEST(RbGet, PixelCountBeyondTheReceivedBytesIsRefused)
{
    struct Case {
        int32_t bits, pixels, want;
    } cases[] = {{16, 4, 0},
                 {16, 5, ZE_INVALID_ARGUMENT},
                 {32, 2, 0},
                 {32, 3, ZE_INVALID_ARGUMENT},
                 {16, -1, ZE_INVALID_ARGUMENT},
                 {8, 99, 0}};
    for (const Case &c : cases) {
        Link link(CH_TYPE_SOCKET);
        Message(1).tile(8, S_format(c.bits, 0), c.pixels, Bytes{1, 2, 3, 4, 5, 6, 7, 8}).send(link);
        Buffer in(64);
        ASSERT_EQ(RB_receive_buffer(in, link.rx), 0);
        Room room(64);
        EXPECT_EQ(RB_get_tile(in, &room.t, 1), c.want) << c.bits << " " << c.pixels;
        // Without decoding the count is carried, not used.
        Room raw(64);
        EXPECT_EQ(RB_get_tile(in, &raw.t, 0), c.want == 0 ? ZE_BUFFER_DRAINED : 0);
    }
}

// An inflate that fails answers the wrapper's code (before: 0 and an empty
// tile); the tile is passed over and the next one is taken.
TEST(RbGet, TileThatDoesNotInflateAnswersTheWrappersCodeAndTheNextFollows)
{
    Link link(CH_TYPE_SOCKET);
    Bytes good(64);
    uLongf good_length = good.size();
    const Bytes plain(30, 5);
    ASSERT_EQ(compress(good.data(), &good_length, plain.data(), plain.size()), Z_OK);
    good.resize(good_length);
    Message(3)
        .tile(5, S_format(8, 1), 5, Bytes{1, 2, 3, 4, 5})
        .tile(4, S_format(8, 2), 4, Bytes{1, 2, 3, 4})
        .tile(static_cast<int32_t>(good.size()), S_format(8, 1), 30, good)
        .send(link);
    Buffer in(256);
    ASSERT_EQ(RB_receive_buffer(in, link.rx), 0);
    Room room(64);
    int32_t rc = 0;
    quiet_stderr([&] { rc = RB_get_tile(in, &room.t, 1); });
    EXPECT_EQ(rc, ZE_FAILURE);
    EXPECT_EQ(room.t.length, 0);
    room.t.length = 64;
    quiet_stderr([&] { rc = RB_get_tile(in, &room.t, 1); });
    EXPECT_EQ(rc, ZE_INVALID_COMPRESSION);
    room.t.length = 64;
    EXPECT_EQ(RB_get_tile(in, &room.t, 1), 0);
    EXPECT_EQ(room.got(), plain);
    EXPECT_EQ(RB_get_tile(in, &room.t, 1), ZE_BUFFER_DRAINED);
}

TEST(RbGet, NullArgumentsAndTheLifeCalls)
{
    Buffer buffer(64);
    Room room(4);
    RB_TILE no_data = room.t;
    no_data.data = nullptr;
    EXPECT_EQ(RB_get_tile(nullptr, &room.t, 0), ZE_NULL_POINTER);
    EXPECT_EQ(RB_get_tile(buffer, nullptr, 0), ZE_NULL_POINTER);
    EXPECT_EQ(RB_get_tile(buffer, &no_data, 0), ZE_NULL_POINTER);
    EXPECT_EQ(RB_init(nullptr, 8), ZE_NULL_POINTER);
    RB_BUFFER *made = nullptr;
    EXPECT_EQ(RB_init(&made, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(RB_send_buffer(nullptr, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(RB_receive_buffer(nullptr, nullptr), ZE_NULL_POINTER);
    RB_free(nullptr);
    RB_free(&made);
    RB_reset(nullptr);
    EXPECT_EQ(RB_get_num_tiles(nullptr), 0);
    ASSERT_EQ(RB_init(&made, 8), 0);
    RB_free(&made);
    EXPECT_EQ(made, nullptr);
}
