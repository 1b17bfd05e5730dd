// Raster tile insert: the block's length prefix and the bytes sent, commits
// by byte count outside a user transaction, the conflict UPDATE that sets a
// stored tile aside, a failed tile that does not end the stream, and the
// raster id of the row being written.
#include "db/stream/db_stream_tile_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_trans.h"
#include "db/stream/db_stream_write_internal.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

namespace
{

const std::string kTileInsert = "INSERT INTO ZEL_BLK_4 (rasterband_id, rrd_factor, row_nbr, "
                                "col_nbr, block_data) VALUES (?, ?, ?, ?, ?)";
const std::string kConflict = "UPDATE ZEL_BLK_4 SET    rasterband_id = -rasterband_id WHERE  "
                              "rasterband_id = ?        AND rrd_factor = ?        AND row_nbr = "
                              "?        AND col_nbr = ? ";

class StreamTile : public WriteFixture
{
  protected:
    void SetUp() override
    {
        WriteFixture::SetUp();
        strcpy(stream_->raster_column, "image");
        stream_->raster_column_id = 4;
        stream_->raster_commit_threshold = DB_TILE_COMMIT_BYTES;
        // No catalogue row for raster column 4: the block table's bare name.
        scli::on_sql(raster_test::by_id_sql()).columns(raster_test::raster_columns()).repeat();
        MarkNow();
    }
    // Inserts a tile of n data bytes of the value.
    int32_t tile(int32_t band, int32_t n, unsigned char value = 0xAB)
    {
        block_.assign(static_cast<size_t>(n) + 4, value);
        return DB_execute_insert_tile(stream_, band, 2, 3, 1, block_.data(), n);
    }
    std::vector<unsigned char> block_;
};

std::string hex_prefix(uint32_t n, size_t data, unsigned char value)
{
    static const char digits[] = "0123456789abcdef";
    std::string bytes;
    for (int i = 0; i < 4; i++)
        bytes += static_cast<char>((n >> (8 * i)) & 0xFF);
    bytes += std::string(data, static_cast<char>(value));
    std::string out = "0x";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

} // namespace

TEST_F(StreamTile, BlockCarriesItsLengthLeastSignificantByteFirst)
{
    ASSERT_EQ(tile(9, 3, 0x11), 0);
    ASSERT_EQ(tile(9, 258, 0x22), 0);
    EXPECT_EQ(Prepared(), Strings{kTileInsert});
    EXPECT_EQ(Params(kTileInsert),
              (std::vector<Strings>{{"9", "1", "2", "3", hex_prefix(3, 3, 0x11)},
                                    {"9", "1", "2", "3", hex_prefix(258, 258, 0x22)}}));
    EXPECT_EQ(block_[0], 2);
    EXPECT_EQ(block_[1], 1);
}

TEST_F(StreamTile, CommitsByByteCount)
{
    // 3 tiles of 400,000 bytes: the third reaches 1,048,576 and commits once.
    ASSERT_EQ(tile(1, 400000), 0);
    ASSERT_EQ(tile(1, 400000), 0);
    Strings before = Executed();
    EXPECT_EQ(std::count(before.begin(), before.end(), "COMMIT"), 0);
    ASSERT_EQ(tile(1, 400000), 0);
    Strings done = Executed();
    EXPECT_EQ(std::count(done.begin(), done.end(), "COMMIT"), 1);
    EXPECT_EQ(stream_->raster_bytes_since_commit, 0);
    ASSERT_EQ(tile(1, 10), 0);
    EXPECT_EQ(stream_->raster_bytes_since_commit, 10);
}

TEST_F(StreamTile, ConflictTileIsSetAside)
{
    scli::on_sql(kConflict).no_data();
    EXPECT_EQ(DB_stream_save_conflict_tile(stream_, 9, 1, 2, 3), 0); // nothing stored: 0
    EXPECT_EQ(DB_stream_save_conflict_tile(stream_, 9, 1, 2, 4), 0);
    EXPECT_EQ(Prepared(), Strings{kConflict});
    EXPECT_EQ(Params(kConflict),
              (std::vector<Strings>{{"9", "1", "2", "3"}, {"9", "1", "2", "4"}}));
    // A failed UPDATE is prepared again by the next call.
    scli::on_sql(kConflict).fail(SQL_ERROR, {"HY000", -243, "locked"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_save_conflict_tile(stream_, 9, 1, 2, 5); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    MarkNow();
    EXPECT_EQ(DB_stream_save_conflict_tile(stream_, 9, 1, 2, 6), 0);
    EXPECT_EQ(Prepared(), Strings{kConflict});
}

TEST_F(StreamTile, FailedTileIsReportedAndTheNextPreparesAgain)
{
    scli::on_sql(kTileInsert).fail(SQL_ERROR, {"23000", -268, "duplicate"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = tile(9, 3); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "23000");
    MarkNow();
    EXPECT_EQ(tile(9, 3), 0);
    EXPECT_EQ(Prepared(), Strings{kTileInsert});
    EXPECT_EQ(Params(kTileInsert).size(), 1u);
    EXPECT_EQ(DB_execute_insert_tile(stream_, 1, 1, 1, 1, block_.data(), -1), ZE_INVALID_ARGUMENT);
    stream_->raster_column[0] = '\0';
    DB_stream_close(stream_, 0, 0);
    EXPECT_EQ(tile(9, 3), ZE_RASTERCOLUMN_NOT_FOUND);
}

TEST_F(StreamTile, RasterIdOfTheRow)
{
    int32_t id = -1;
    db_stream_write_get(stream_)->raster_id = 31;
    EXPECT_EQ(DB_stream_query_raster_id(stream_, "IMAGE", nullptr, 0, &id), 0);
    EXPECT_EQ(id, 31);
    // From the row: its last value.
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER), column_def("image", VE_INTEGER)};
    VE_ROW_POINTERS row{};
    row.column_count = 2;
    row.columns = defs;
    ASSERT_EQ(VES_allocate_row_pointers(&row, 0), 0);
    *static_cast<int32_t *>(row.values[1]) = 44;
    EXPECT_EQ(DB_stream_query_raster_id(stream_, "image", &row, 1, &id), 0);
    EXPECT_EQ(id, 44);
    VES_free_row_pointers(&row);

    // Another column: read by the stream's WHERE text.
    strcpy(stream_->owner, "bob");
    strcpy(stream_->table, "photos");
    EXPECT_EQ(DB_stream_query_raster_id(stream_, "objectid", nullptr, 0, &id), ZE_INVALID_ARGUMENT);
    stream_->where_text = strdup("objectid = 5");
    const std::string sql = "SELECT image FROM gis:bob.photos WHERE objectid = 5";
    scli::on_sql(sql).columns({{"image", SQL_INTEGER}}).row({scli::i32(77)});
    EXPECT_EQ(DB_stream_query_raster_id(stream_, "objectid", nullptr, 0, &id), 0);
    EXPECT_EQ(id, 77);
    scli::on_sql(sql).columns({{"image", SQL_INTEGER}});
    EXPECT_EQ(DB_stream_query_raster_id(stream_, "objectid", nullptr, 0, &id), 0);
    EXPECT_EQ(id, 0);
}
