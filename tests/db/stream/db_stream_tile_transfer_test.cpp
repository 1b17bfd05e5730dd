// A band's tiles from the query stream to a client: the server side fetches
// the tiles of a raster (stored blocks of 16-bit pixels, most significant
// byte first and deflated, as the scripted CLI serves them), puts each into
// a tile buffer as stored and sends the buffer whenever it is full; a
// forked client receives the messages over loopback TCP, takes the tiles out
// with decoding and checks every pixel against the band it was made from.
// Its exit code says how that went.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <zlib.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/rb_buffer.h"
#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_raster_query.h"
#include "platform/plat_socket_internal.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/support/forked_child.h"
#include "tests/support/peer_watchdog.h"

// Each test talks to its peer within the watchdog's limit or fails.
ZEL_WATCH_EVERY_TEST();

using namespace raster_test;

namespace
{

// Band 7: tiles of 8 x 8 pixels of 16 bits, deflated; 2 rows of 3 tiles.
constexpr int32_t kSide = 8, kPixels = kSide * kSide, kRows = 2, kColumns = 3;
constexpr int32_t kBandTypes = (128 << 16) | (1 << 10);

// The pixel at i of the tile at (row, column), as the band holds it: the
// high byte names the tile, the low byte runs in a short ramp, so that a
// stored block deflates well below the block size.
uint16_t S_pixel(int32_t row, int32_t column, int32_t i)
{
    return static_cast<uint16_t>(0x0100 * (row * kColumns + column + 1) + 3 * (i % 16));
}

// The stored block of a tile: length word, then the pixels most significant
// byte first, deflated.
std::string S_stored_block(int32_t row, int32_t column)
{
    std::string wire;
    for (int32_t i = 0; i < kPixels; i++) {
        const uint16_t v = S_pixel(row, column, i);
        wire += static_cast<char>(v >> 8);
        wire += static_cast<char>(v & 0xFF);
    }
    std::vector<Bytef> out(compressBound(wire.size()));
    uLongf n = out.size();
    compress(out.data(), &n, reinterpret_cast<const Bytef *>(wire.data()), wire.size());
    std::string block;
    for (int i = 0; i < 4; i++)
        block += static_cast<char>((n >> (8 * i)) & 0xFF);
    return block + std::string(reinterpret_cast<char *>(out.data()), n);
}

// Exit codes of the client.
enum {
    kOk = 0,
    kNoConnection = 10,
    kReceive = 11,
    kGet = 12,
    kWrongTile = 13,
    kWrongPixel = 14,
    kMissing = 15
};

// The client: receives messages until the last, takes every tile with
// decoding and checks it against the band.
int S_client(uint16_t port)
{
    int socket = plat_socket_connect("127.0.0.1", port);
    if (socket < 0)
        return kNoConnection;
    timeval limit = {20, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    CH_CHANNEL *channel = CH_create(CH_TYPE_SOCKET, 0, &socket);
    RB_BUFFER *in = nullptr;
    int result = kOk;
    bool seen[kRows][kColumns] = {};
    if (channel == nullptr || RB_init(&in, 400) != 0)
        result = kReceive;
    for (bool last = false; result == kOk && !last;) {
        RB_reset(in);
        if (RB_receive_buffer(in, channel) != 0 || RB_get_error(in) != 0) {
            result = kReceive;
            break;
        }
        last = RB_is_last(in) != 0;
        for (;;) {
            uint8_t room[256];
            RB_TILE tile = {};
            tile.data = room;
            tile.length = sizeof room;
            const int32_t rc = RB_get_tile(in, &tile, 1);
            if (rc == ZE_BUFFER_DRAINED)
                break;
            if (rc != 0) {
                result = kGet;
                break;
            }
            const int32_t row = tile.words[RB_TILE_ROW], column = tile.words[RB_TILE_COLUMN];
            if (tile.tile_number != 7 || tile.format != kBandTypes || row < 0 || row >= kRows ||
                column < 0 || column >= kColumns || tile.length != 2 * kPixels ||
                tile.pixel_count != kPixels || seen[row][column]) {
                result = kWrongTile;
                break;
            }
            seen[row][column] = true;
            for (int32_t i = 0; i < kPixels; i++) {
                uint16_t v;
                memcpy(&v, room + 2 * i, 2);
                if (v != S_pixel(row, column, i))
                    result = kWrongPixel;
            }
        }
    }
    for (int32_t r = 0; result == kOk && r < kRows; r++)
        for (int32_t c = 0; c < kColumns; c++)
            if (!seen[r][c])
                result = kMissing;
    RB_free(&in);
    CH_destroy(channel);
    plat_socket_close(socket);
    return result;
}

class TileTransfer : public RasterFixture
{
  protected:
    void SetUp() override
    {
        RasterFixture::SetUp();
        DB_STREAM_PARAMS params{};
        // Blocks of 8 x 8 x 2 + 8 + 4 = 140 bytes, rows of 168: two a fetch.
        params.words[DB_STREAM_PARAM_RASTER_BUFFER] = 168;
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        strcpy(stream_->raster_column, "image");
        stream_->raster_column_id = 4;
    }
    void TearDown() override
    {
        DB_stream_free(stream_);
        free(stream_);
        RasterFixture::TearDown();
    }
    DB_STREAM *stream_ = nullptr;
};

} // namespace

TEST_F(TileTransfer, BandTilesReachAForkedClientWithTheirPixelsUnchanged)
{
    scli::on_sql("SELECT max(block_width), max(block_height), max(band_types) FROM " + kBands)
        .columns({{"w", SQL_INTEGER}, {"h", SQL_INTEGER}, {"t", SQL_INTEGER}})
        .row({scli::i32(kSide), scli::i32(kSide), scli::i32(kBandTypes)});
    std::vector<scli::Row> rows;
    for (int32_t r = 0; r < kRows; r++)
        for (int32_t c = 0; c < kColumns; c++)
            rows.push_back({scli::i32(7), scli::i32(0), scli::i32(r), scli::i32(c),
                            scli::i32(kBandTypes), scli::i32(kPixels),
                            scli::binary(S_stored_block(r, c)), scli::i32(1)});
    scli::on_sql_like("SELECT  blk.rasterband_id, .*")
        .columns({{"rasterband_id", SQL_INTEGER},
                  {"rrd_factor", SQL_INTEGER},
                  {"row_nbr", SQL_INTEGER},
                  {"col_nbr", SQL_INTEGER},
                  {"band_types", SQL_INTEGER},
                  {"(expression)", SQL_INTEGER},
                  {"block_data", SQL_LONGVARBINARY, 2147483647},
                  {"sequence_nbr", SQL_INTEGER}})
        .rows(rows);
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);

    uint16_t port = 0;
    int listener = plat_socket_listen_loopback(&port);
    ASSERT_GE(listener, 0);
    forked::Child client = forked::start([port](const forked::Link &) { return S_client(port); });
    ASSERT_GT(client.pid, 0);
    int socket = plat_socket_accept(listener);
    plat_socket_close(listener);
    ASSERT_GE(socket, 0);
    CH_CHANNEL *channel = CH_create(CH_TYPE_SOCKET, 0, &socket);
    ASSERT_NE(channel, nullptr);

    // Room for one or two deflated tiles a message: several messages go.
    RB_BUFFER *out = nullptr;
    ASSERT_EQ(RB_init(&out, 100), 0);
    int tiles = 0, messages = 0;
    int32_t rc = 0;
    for (;;) {
        RB_TILE tile = {};
        rc = DB_stream_fetch_tile(stream_, 5, &tile);
        if (rc != 0)
            break;
        tiles++;
        int32_t put = RB_put_tile(out, &tile, 0);
        if (put == ZE_BUFFER_FULL) {
            ASSERT_EQ(RB_send_buffer(out, channel), 0);
            messages++;
            RB_reset(out);
            put = RB_put_tile(out, &tile, 0);
        }
        ASSERT_EQ(put, 0);
    }
    EXPECT_EQ(rc, ZE_NO_MORE_ROWS);
    RB_set_last(out);
    ASSERT_EQ(RB_send_buffer(out, channel), 0);
    messages++;
    RB_free(&out);

    const int exit_code = forked::finish(client);
    CH_destroy(channel);
    plat_socket_close(socket);
    EXPECT_EQ(tiles, kRows * kColumns);
    EXPECT_GE(messages, 3);
    EXPECT_EQ(exit_code, kOk);
}
