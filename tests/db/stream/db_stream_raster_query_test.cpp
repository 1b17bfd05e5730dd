// Raster query and pixel fetch: the tile query's text under every kind of
// constraint; the largest block size and rows per fetch in 64-bit arithmetic,
// with the buffer limit refused one byte short of a row; tiles handed out a
// block of rows at a time, with the level-0 offsets and a second raster that
// starts again; stored length words checked against the bytes fetched; and
// the direct block read with its missing tile and a block of its own.
#include "db/stream/db_stream_raster_query_internal.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/ve_raster_internal.h"
#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_query.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace raster_test;

namespace
{

const std::string kSizeSql =
    "SELECT max(block_width), max(block_height), max(band_types) FROM " + kBands;
const std::string kPixelSql = "SELECT block_data FROM   " + kBlocks +
                              " WHERE  rasterband_id = ?        AND rrd_factor = ?        AND "
                              "row_nbr = ?        AND col_nbr = ? ";
const std::string kPlainTail = "AND rrd_factor = ? ORDER BY sequence_nbr, row_nbr, col_nbr";

std::string tile_sql(const std::string &tail = kPlainTail)
{
    return "SELECT  blk.rasterband_id, rrd_factor, row_nbr, col_nbr, band_types, "
           "block_width*block_height, block_data, sequence_nbr FROM " +
           kBands + " bnd, " + kBlocks +
           " blk WHERE blk.rasterband_id = bnd.rasterband_id AND raster_id = ? " + tail;
}

// A stored block: the data length least significant byte first, the data.
std::string stored(const std::string &data)
{
    const uint32_t n = static_cast<uint32_t>(data.size());
    std::string b;
    for (int i = 0; i < 4; i++)
        b += static_cast<char>((n >> (8 * i)) & 0xFF);
    return b + data;
}

// A row of the tile query.
struct Stored {
    int32_t band, level, row, column;
    std::string block;
    int32_t sequence = 1;
};

std::vector<scli::Column> tile_columns()
{
    std::vector<scli::Column> c;
    for (const char *n :
         {"rasterband_id", "rrd_factor", "row_nbr", "col_nbr", "band_types", "(expression)"})
        c.push_back({n, SQL_INTEGER});
    c.push_back({"block_data", SQL_LONGVARBINARY, 2147483647});
    c.push_back({"sequence_nbr", SQL_INTEGER});
    return c;
}

constexpr int32_t kTypes8 = 64 << 16; // 8 bits per pixel

std::vector<scli::Row> tile_rows(const std::vector<Stored> &tiles)
{
    std::vector<scli::Row> rows;
    for (const Stored &t : tiles)
        rows.push_back({scli::i32(t.band), scli::i32(t.level), scli::i32(t.row),
                        scli::i32(t.column), scli::i32(kTypes8), scli::i32(16),
                        scli::binary(t.block), scli::i32(t.sequence)});
    return rows;
}

RASCONSTRAINT *constraint(int32_t level, std::vector<int32_t> bands, bool window,
                          int32_t min_column = 0, int32_t min_row = 0, int32_t max_column = 0,
                          int32_t max_row = 0, int32_t order = 0)
{
    auto *c = static_cast<RASCONSTRAINT *>(calloc(1, sizeof(RASCONSTRAINT)));
    c->level = level;
    c->band_count = static_cast<int32_t>(bands.size());
    if (!bands.empty()) {
        c->band_numbers = static_cast<int32_t *>(calloc(bands.size(), sizeof(int32_t)));
        memcpy(c->band_numbers, bands.data(), bands.size() * sizeof(int32_t));
    }
    c->window_flag = window ? 1 : 0;
    c->min_column = min_column;
    c->min_row = min_row;
    c->max_column = max_column;
    c->max_row = max_row;
    c->order = order;
    return c;
}

class RasterQuery : public RasterFixture
{
  protected:
    void SetUp() override
    {
        RasterFixture::SetUp();
        DB_STREAM_PARAMS params{};
        // Blocks of 4 x 4 pixels of 8 bits: 16 + 2 + 4 = 22 bytes, rows of
        // 50; a limit of 50 fetches 2 rows at a time.
        params.words[DB_STREAM_PARAM_RASTER_BUFFER] = 50;
        ASSERT_EQ(DB_stream_init(&stream_, 0, "bob", params), 0);
        strcpy(stream_->raster_column, "image");
        stream_->raster_column_id = 4;
        MarkNow();
    }
    void TearDown() override
    {
        DB_stream_free(stream_);
        free(stream_);
        RasterFixture::TearDown();
    }
    void answer_size(int32_t width = 4, int32_t height = 4, int32_t types = kTypes8)
    {
        scli::on_sql(kSizeSql)
            .columns({{"w", SQL_INTEGER}, {"h", SQL_INTEGER}, {"t", SQL_INTEGER}})
            .row({scli::i32(width), scli::i32(height), scli::i32(types)});
    }
    Strings Prepared() const
    {
        Strings out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLPrepare" && c.sql != by_id_sql())
                out.push_back(c.sql);
        return out;
    }
    std::vector<Strings> Params(const std::string &sql) const
    {
        std::vector<Strings> out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLExecute" && c.sql == sql && !c.params.empty())
                out.push_back(c.params[0]);
        return out;
    }
    // Every tile of the raster until -4 (or another code, kept in *end).
    std::vector<RB_TILE> fetch_all(int32_t raster_id, std::vector<std::string> *data,
                                   int32_t *end = nullptr)
    {
        std::vector<RB_TILE> tiles;
        for (int i = 0; i < 100; i++) {
            RB_TILE t = {};
            int32_t rc = DB_stream_fetch_tile(stream_, raster_id, &t);
            if (rc != 0) {
                if (end != nullptr)
                    *end = rc;
                break;
            }
            tiles.push_back(t);
            data->push_back(
                std::string(reinterpret_cast<char *>(t.data), static_cast<size_t>(t.length)));
        }
        return tiles;
    }
    DB_STREAM *stream_ = nullptr;
};

} // namespace

// ---- The tile query's text ---------------------------------------------------------

TEST_F(RasterQuery, TileQueryTextFollowsTheConstraint)
{
    struct Case {
        const char *what;
        RASCONSTRAINT *c;
        std::string tail;
    } cases[] = {
        {"no constraint", nullptr, kPlainTail},
        {"one band", constraint(2, {3}, false),
         "AND sequence_nbr = 3 AND rrd_factor = ? ORDER BY row_nbr, col_nbr, sequence_nbr"},
        {"several bands", constraint(0, {1, 2, 3}, false),
         "AND (sequence_nbr IN (1, 2, 3)) AND rrd_factor = ? ORDER BY row_nbr, col_nbr, "
         "sequence_nbr"},
        {"one row, one column", constraint(0, {}, true, 4, 7, 4, 7),
         "AND rrd_factor = ? AND (row_nbr = 7 AND col_nbr = 4) ORDER BY row_nbr, col_nbr, "
         "sequence_nbr"},
        {"a window", constraint(1, {}, true, -1, 2, 5, 9),
         "AND rrd_factor = ? AND (row_nbr >= 2 AND row_nbr <= 9 AND col_nbr >= -1 AND col_nbr "
         "<= 5) ORDER BY row_nbr, col_nbr, sequence_nbr"},
        {"tiles by band", constraint(1, {6}, true, 0, 3, 1, 3, 1),
         "AND sequence_nbr = 6 AND rrd_factor = ? AND (row_nbr = 3 AND col_nbr >= 0 AND col_nbr "
         "<= 1) ORDER BY sequence_nbr, row_nbr, col_nbr"},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(DB_stream_set_raster_constraint(stream_, c.c, 0, 0), 0);
        EXPECT_EQ(db_raster_query_text(stream_, kBands.c_str(), kBlocks.c_str()), tile_sql(c.tail))
            << c.what;
    }
    setenv("ZELPRETTYSQL", "1", 1);
    ASSERT_EQ(DB_stream_set_raster_constraint(stream_, constraint(0, {3}, true, 1, 1, 1, 1), 0, 0),
              0);
    EXPECT_EQ(db_raster_query_text(stream_, "b", "k"),
              "SELECT  blk.rasterband_id, rrd_factor, row_nbr, col_nbr, band_types, "
              "block_width*block_height, block_data, sequence_nbr \n"
              "FROM b bnd, k blk \n"
              "WHERE blk.rasterband_id = bnd.rasterband_id AND raster_id = ? \n"
              "AND sequence_nbr = 3 \n"
              "AND rrd_factor = ?\n"
              " AND (row_nbr = 1 AND col_nbr = 1)\n"
              " ORDER BY row_nbr, col_nbr, sequence_nbr\n");
    unsetenv("ZELPRETTYSQL");
}

// The set-up's statements in order, the level bound from the constraint.
TEST_F(RasterQuery, SetUpReadsTheBlockSizeOnceAndPreparesTheQuery)
{
    ASSERT_EQ(DB_stream_set_raster_constraint(stream_, constraint(2, {3}, false), 0, 0), 0);
    answer_size();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    const std::string sql =
        tile_sql("AND sequence_nbr = 3 AND rrd_factor = ? ORDER BY row_nbr, col_nbr, sequence_nbr");
    EXPECT_EQ(Prepared(), (Strings{kSizeSql, sql}));
    EXPECT_EQ(Statements(), Strings{kSizeSql});
    EXPECT_EQ(stream_->raster_query->level, 2);
    // Again: the block size is kept, the query prepared again.
    MarkNow();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    EXPECT_EQ(Prepared(), Strings{sql});
    EXPECT_TRUE(scli::unused_answers().empty());
}

// ---- Sizes ---------------------------------------------------------------------------

// A block of w x h pixels: ceil(w h bits / 8) + ceil(w h / 8) + 4 bytes; a
// row 28 more; the limit must hold a row; the buffer is twice the limit.
TEST_F(RasterQuery, BlockSizeRowsPerFetchAndTheBufferLimit)
{
    struct Case {
        int32_t width, height, types, limit, want, block, rows;
    } cases[] = {
        {128, 128, 0x800000, 34847, ZE_RASTER_BUFFER_TOO_SMALL, 34820, 0},
        {128, 128, 0x800000, 34848, 0, 34820, 2},
        {128, 128, 0x800000, 100000, 0, 34820, 5},
        {256, 256, 64 << 16, 73760, 0, 73732, 2},
        {256, 256, 8 << 16, 16416, 0, 16388, 2},
        {3, 3, 32 << 16, 39, 0, 11, 2},
        {3, 3, 32 << 16, 38, ZE_RASTER_BUFFER_TOO_SMALL, 11, 0},
        // 2^30 pixels of 8 bits: 2^30 + 2^27 + 4 bytes. In 32 bits the
        // pixel bytes wrap to 0 and a limit of a tenth would pass.
        {32768, 32768, 64 << 16, 134217760, ZE_RASTER_BUFFER_TOO_SMALL, 1207959556, 0},
        {65536, 65536, 512 << 16, 1 << 30, ZE_INVALID_ARGUMENT, 0, 0},
        {0, 4, kTypes8, 1000, ZE_INVALID_ARGUMENT, 0, 0},
        {4, -1, kTypes8, 1000, ZE_INVALID_ARGUMENT, 0, 0},
        {4, 4, -1, 1000, ZE_INVALID_ARGUMENT, 0, 0},
    };
    for (const Case &c : cases) {
        DB_stream_close(stream_, 1, 1);
        strcpy(stream_->raster_column, "image");
        stream_->raster_column_id = 4;
        stream_->params[DB_STREAM_PARAM_RASTER_BUFFER] = c.limit;
        answer_size(c.width, c.height, c.types);
        EXPECT_EQ(DB_stream_init_raster_query(stream_), c.want) << c.width << "x" << c.height;
        ASSERT_NE(stream_->raster_query, nullptr);
        EXPECT_EQ(stream_->raster_query->block_size, c.block) << c.width << "x" << c.height;
        if (c.want == 0) {
            EXPECT_EQ(stream_->raster_query->rows_per_fetch, c.rows);
            EXPECT_EQ(stream_->buffer_size, 2 * c.limit);
        } else {
            EXPECT_EQ(stream_->buffer, nullptr);
        }
    }
}

TEST_F(RasterQuery, BandTableWithoutAUsableBlockGivesNoSize)
{
    // No band at all: the maxima are NULL.
    scli::on_sql(kSizeSql)
        .columns({{"w", SQL_INTEGER}, {"h", SQL_INTEGER}, {"t", SQL_INTEGER}})
        .row({scli::null(), scli::null(), scli::null()});
    EXPECT_EQ(DB_stream_init_raster_query(stream_), ZE_INVALID_ARGUMENT);
    scli::on_sql(kSizeSql).fail(SQL_ERROR, {"S0002", -206, "no table"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_init_raster_query(stream_); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "S0002");
}

TEST_F(RasterQuery, QueryNeedsARasterColumnAndItsSetUp)
{
    RB_TILE tile = {};
    EXPECT_EQ(DB_stream_fetch_tile(stream_, 5, &tile), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_stream_init_raster_query(nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(DB_stream_fetch_tile(stream_, 5, nullptr), ZE_NULL_POINTER);
    stream_->raster_column_id = 0;
    EXPECT_EQ(DB_stream_init_raster_query(stream_), ZE_RASTERCOLUMN_NOT_FOUND);
    unsigned char *pixels = nullptr;
    int32_t length = -1;
    EXPECT_EQ(DB_stream_fetch_pixel_data(stream_, 7, 0, 1, 1, &pixels, &length),
              ZE_RASTERCOLUMN_NOT_FOUND);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(Executed().empty());
}

// ---- Tiles -----------------------------------------------------------------------------

// Five tiles two rows a fetch: one execute per raster, the tiles in order
// with their keys, pixel count and data behind the length word; a second
// raster executes again from its first tile.
TEST_F(RasterQuery, TilesOfARasterComeABlockOfRowsAtATime)
{
    answer_size();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    ASSERT_EQ(stream_->raster_query->rows_per_fetch, 2);
    std::vector<Stored> five;
    for (int i = 0; i < 5; i++)
        five.push_back(
            {7, 0, i / 2, i % 2,
             stored(std::string(static_cast<size_t>(i) + 1, static_cast<char>('a' + i)))});
    scli::on_sql(tile_sql()).columns(tile_columns()).rows(tile_rows(five));
    scli::on_sql(tile_sql())
        .columns(tile_columns())
        .rows(tile_rows({{8, 0, 0, 0, stored("second raster")}}));
    MarkNow();
    std::vector<std::string> data;
    int32_t end = 0;
    std::vector<RB_TILE> tiles = fetch_all(5, &data, &end);
    EXPECT_EQ(end, ZE_NO_MORE_ROWS);
    ASSERT_EQ(tiles.size(), 5u);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(tiles[i].tile_number, 7);
        EXPECT_EQ(tiles[i].format, kTypes8);
        EXPECT_EQ(tiles[i].words[RB_TILE_ROW], i / 2);
        EXPECT_EQ(tiles[i].words[RB_TILE_COLUMN], i % 2);
        EXPECT_EQ(tiles[i].words[RB_TILE_LEVEL], 0);
        EXPECT_EQ(tiles[i].pixel_count, 16);
        EXPECT_EQ(data[i], std::string(static_cast<size_t>(i) + 1, static_cast<char>('a' + i)));
    }
    EXPECT_EQ(Params(tile_sql()), (std::vector<Strings>{{"5", "0"}}));
    EXPECT_EQ(Details("SQLFetchScroll").size(), 4u); // 2 + 2 + 1, then no data

    // The query text is freed by the first execute; the statement stays.
    EXPECT_EQ(stream_->raster_query->query_text, nullptr);
    MarkNow();
    data.clear();
    tiles = fetch_all(6, &data, &end);
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(data[0], "second raster");
    EXPECT_EQ(end, ZE_NO_MORE_ROWS);
    EXPECT_EQ(Params(tile_sql()), (std::vector<Strings>{{"6", "0"}}));
    EXPECT_TRUE(Prepared().empty());
}

TEST_F(RasterQuery, SecondRasterIdMidwayStartsItsOwnTilesAgain)
{
    answer_size();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    scli::on_sql(tile_sql())
        .columns(tile_columns())
        .rows(tile_rows({{7, 0, 0, 0, stored("r5 t1")},
                         {7, 0, 0, 1, stored("r5 t2")},
                         {7, 0, 1, 0, stored("r5 t3")}}));
    scli::on_sql(tile_sql()).columns(tile_columns()).rows(tile_rows({{7, 0, 0, 0, stored("r9")}}));
    RB_TILE t = {};
    ASSERT_EQ(DB_stream_fetch_tile(stream_, 5, &t), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(t.data), 5), "r5 t1");
    ASSERT_EQ(DB_stream_fetch_tile(stream_, 9, &t), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(t.data), static_cast<size_t>(t.length)), "r9");
    EXPECT_EQ(DB_stream_fetch_tile(stream_, 9, &t), ZE_NO_MORE_ROWS);
    EXPECT_EQ(Params(tile_sql()), (std::vector<Strings>{{"5", "0"}, {"9", "0"}}));
}

// At level 0 of a constraint its second long comes off the row and its first
// off the column; at another level the keys stay.
TEST_F(RasterQuery, LevelZeroOfAConstraintTakesItsOffsetsOffTheKeys)
{
    for (int32_t level : {0, 1}) {
        DB_stream_close(stream_, 1, 1);
        strcpy(stream_->raster_column, "image");
        stream_->raster_column_id = 4;
        ASSERT_EQ(DB_stream_set_raster_constraint(stream_, constraint(level, {}, false), 10, 20),
                  0);
        answer_size();
        ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
        const std::string sql =
            tile_sql("AND rrd_factor = ? ORDER BY row_nbr, col_nbr, sequence_nbr");
        scli::on_sql(sql)
            .columns(tile_columns())
            .rows(tile_rows({{7, level, 25, 13, stored("x")}}));
        MarkNow();
        RB_TILE t = {};
        ASSERT_EQ(DB_stream_fetch_tile(stream_, 5, &t), 0);
        EXPECT_EQ(t.words[RB_TILE_ROW], level == 0 ? 5 : 25);
        EXPECT_EQ(t.words[RB_TILE_COLUMN], level == 0 ? 3 : 13);
        EXPECT_EQ(Params(sql), (std::vector<Strings>{{"5", std::to_string(level)}}));
    }
}

// A block's length word must leave its data within the bytes fetched: a
// block that does not is refused (-66) and passed over, never pointed into
// past its end.
TEST_F(RasterQuery, BlockWhoseLengthWordPassesTheFetchedBytesIsRefused)
{
    answer_size();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    const std::string too_long = std::string("\x0b\x00\x00\x00", 4) + "0123456789";
    const std::string negative = std::string("\xff\xff\xff\xff", 4) + "01";
    struct Case {
        const char *what;
        scli::Value block;
        int32_t want;
    } cases[] = {
        {"length past the bytes", scli::binary(too_long), ZE_INVALID_ARGUMENT},
        {"negative length", scli::binary(negative), ZE_INVALID_ARGUMENT},
        {"shorter than a length word", scli::binary(std::string("\x01\x00\x00", 3)),
         ZE_INVALID_ARGUMENT},
        {"no block", scli::null(), ZE_INVALID_ARGUMENT},
        {"every byte taken", scli::binary(stored("0123456789")), 0},
        {"bytes after the data", scli::binary(stored("ab") + "zz"), 0},
    };
    std::vector<scli::Row> rows;
    for (const Case &c : cases)
        rows.push_back({scli::i32(7), scli::i32(0), scli::i32(0), scli::i32(0), scli::i32(kTypes8),
                        scli::i32(16), c.block, scli::i32(1)});
    scli::on_sql(tile_sql()).columns(tile_columns()).rows(rows);
    for (const Case &c : cases) {
        RB_TILE t = {};
        EXPECT_EQ(DB_stream_fetch_tile(stream_, 5, &t), c.want) << c.what;
    }
    RB_TILE t = {};
    EXPECT_EQ(DB_stream_fetch_tile(stream_, 5, &t), ZE_NO_MORE_ROWS);
}

TEST_F(RasterQuery, InvalidQueryGivesSyntaxErrorAndOtherFailuresTheirCode)
{
    answer_size();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    scli::on_sql(tile_sql()).fail(SQL_ERROR, {"37000", -201, "syntax"});
    RB_TILE t = {};
    EXPECT_EQ(DB_stream_fetch_tile(stream_, 5, &t), ZE_SYNTAX_ERROR);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_EQ(xerr.code, ZE_SYNTAX_ERROR);
    EXPECT_STREQ(xerr.text, "37000");
    scli::on_sql(tile_sql()).fail(SQL_ERROR, {"HY000", -243, "locked"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_fetch_tile(stream_, 5, &t); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_EQ(xerr.native_error, -243);
    // The next fetch runs the query again.
    scli::on_sql(tile_sql()).columns(tile_columns()).rows(tile_rows({{7, 0, 0, 0, stored("ok")}}));
    EXPECT_EQ(DB_stream_fetch_tile(stream_, 5, &t), 0);
    EXPECT_EQ(t.length, 2);
}

TEST_F(RasterQuery, CloseReleasesTheFetchBufferAndTheQueryState)
{
    answer_size();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    EXPECT_NE(stream_->buffer, nullptr);
    DB_stream_close(stream_, 0, 0);
    EXPECT_EQ(stream_->raster_query, nullptr);
    EXPECT_EQ(stream_->buffer, nullptr);
    EXPECT_EQ(stream_->buffer_size, 0);
}

// ---- One block --------------------------------------------------------------------------

TEST_F(RasterQuery, PixelDataOfOneTileAndOfAMissingOne)
{
    answer_size();
    scli::on_sql(kPixelSql)
        .columns({{"block_data", SQL_LONGVARBINARY, 2147483647}})
        .row({scli::binary(stored("pixels"))});
    scli::on_sql(kPixelSql).columns({{"block_data", SQL_LONGVARBINARY, 2147483647}});
    unsigned char *pixels = nullptr;
    int32_t length = 0;
    ASSERT_EQ(DB_stream_fetch_pixel_data(stream_, 7, 1, 2, 3, &pixels, &length), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(pixels), static_cast<size_t>(length)), "pixels");
    EXPECT_EQ(DB_stream_fetch_pixel_data(stream_, 7, 1, 2, 4, &pixels, &length), 0);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(Prepared(), (Strings{kSizeSql, kPixelSql}));
    EXPECT_EQ(Params(kPixelSql),
              (std::vector<Strings>{{"7", "1", "2", "3"}, {"7", "1", "2", "4"}}));
}

TEST_F(RasterQuery, PixelDataWithABadLengthWordOrAFailureIsRefused)
{
    answer_size();
    const std::vector<scli::Column> block = {{"block_data", SQL_LONGVARBINARY, 2147483647}};
    scli::on_sql(kPixelSql).columns(block).row(
        {scli::binary(std::string("\x09\x00\x00\x00", 4) + "abc")});
    scli::on_sql(kPixelSql).fail(SQL_ERROR, {"HY000", -243, "locked"});
    scli::on_sql(kPixelSql).columns(block).row({scli::binary(stored("ok"))});
    unsigned char *pixels = nullptr;
    int32_t length = 0;
    EXPECT_EQ(DB_stream_fetch_pixel_data(stream_, 7, 0, 0, 0, &pixels, &length),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(pixels, nullptr);
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_fetch_pixel_data(stream_, 7, 0, 0, 1, &pixels, &length); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_EQ(xerr.native_error, -243);
    // The failed statement was freed: the next call prepares it again.
    MarkNow();
    EXPECT_EQ(DB_stream_fetch_pixel_data(stream_, 7, 0, 0, 2, &pixels, &length), 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(Prepared(), Strings{kPixelSql});
}

// A direct block read between tile fetches leaves the tiles still to be
// handed out as they were fetched.
TEST_F(RasterQuery, PixelDataBetweenTileFetchesLeavesTheTilesAlone)
{
    answer_size();
    ASSERT_EQ(DB_stream_init_raster_query(stream_), 0);
    scli::on_sql(tile_sql())
        .columns(tile_columns())
        .rows(tile_rows({{7, 0, 0, 0, stored("first")}, {7, 0, 0, 1, stored("second")}}));
    scli::on_sql(kPixelSql)
        .columns({{"block_data", SQL_LONGVARBINARY, 2147483647}})
        .row({scli::binary(stored("direct read"))});
    RB_TILE t = {};
    ASSERT_EQ(DB_stream_fetch_tile(stream_, 5, &t), 0);
    unsigned char *pixels = nullptr;
    int32_t length = 0;
    ASSERT_EQ(DB_stream_fetch_pixel_data(stream_, 7, 0, 9, 9, &pixels, &length), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(pixels), static_cast<size_t>(length)),
              "direct read");
    ASSERT_EQ(DB_stream_fetch_tile(stream_, 5, &t), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(t.data), static_cast<size_t>(t.length)),
              "second");
}
