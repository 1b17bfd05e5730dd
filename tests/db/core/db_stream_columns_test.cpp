// Column tests of a stream: its spatial, raster and row-id columns and its
// raster column id.
#include "db/core/db_stream_columns_internal.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "tests/db/core/connected_fixture.h"

namespace
{

// A stream on gis:bob.parcels with spatial column shape and raster column img.
class StreamColumns : public ConnectedUser
{
  protected:
    void SetUp() override
    {
        ConnectedUser::SetUp();
        stream_.reset(new DB_STREAM());
        strcpy(stream_->table, "parcels");
        strcpy(stream_->owner, "bob");
        strcpy(stream_->database, "gis");
        strcpy(stream_->spatial_column_name, "shape");
        strcpy(stream_->raster_column, "img");
        stream_->owner_text = "bob";
    }
    std::unique_ptr<DB_STREAM> stream_;
};

} // namespace

TEST_F(StreamColumns, SpatialRasterAndRowIdColumns)
{
    struct Case {
        const char *name;
        int32_t spatial, raster, row_id;
    } const cases[] = {
        {"shape", 1, 0, 0},
        {"SHAPE", 1, 0, 0},
        {"parcels.shape", 1, 0, 0},
        {"bob.parcels.Shape", 1, 0, 0},
        {"gis:bob.parcels.shape", 1, 0, 0},
        {"otherdb:bob.parcels.shape", 0, 0, 0},
        {"ann.parcels.shape", 0, 0, 0},
        {"roads.shape", 0, 0, 0},
        {"img", 0, 1, 0},
        {"bob.parcels.IMG", 0, 1, 0},
        {"ve_row_id", 0, 0, 1},
        {"parcels.ve_row_id", 0, 0, 1},
        {"bob.parcels.VE_ROW_ID", 0, 0, 1},
        {"otherdb:bob.parcels.ve_row_id", 0, 0, 0},
        {"rivers.ve_row_id", 0, 0, 0},
        {"row_id", 0, 0, 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(db_stream_is_spatial_column(stream_.get(), k.name), k.spatial);
        EXPECT_EQ(db_stream_is_raster_column(stream_.get(), k.name), k.raster);
        EXPECT_EQ(db_stream_is_row_id_pseudo_column(stream_.get(), k.name), k.row_id);
    }
}

TEST_F(StreamColumns, StreamsWithoutTheColumnOrTable)
{
    stream_->spatial_column_name[0] = '\0';
    stream_->raster_column[0] = '\0';
    EXPECT_EQ(db_stream_is_spatial_column(stream_.get(), "shape"), 0);
    EXPECT_EQ(db_stream_is_spatial_column(stream_.get(), ""), 0);
    EXPECT_EQ(db_stream_is_raster_column(stream_.get(), "img"), 0);
    stream_->table[0] = '\0';
    EXPECT_EQ(db_stream_is_row_id_pseudo_column(stream_.get(), "ve_row_id"), 0);
    EXPECT_EQ(db_stream_is_spatial_column(nullptr, "shape"), 0);
    EXPECT_EQ(db_stream_is_row_id_pseudo_column(stream_.get(), nullptr), 0);
    // An over-long part is no match rather than a cut-off one.
    EXPECT_EQ(
        db_stream_is_row_id_pseudo_column(stream_.get(), "ve_row_id_and_then_some_more_letters"),
        0);
}

TEST_F(StreamColumns, RasterColumnId)
{
    int32_t id = 0;
    EXPECT_EQ(DB_stream_set_rastercolumn_id(stream_.get(), 42), ZE_SUCCESS);
    EXPECT_EQ(DB_stream_get_rastercolumn_id(stream_.get(), &id), ZE_SUCCESS);
    EXPECT_EQ(id, 42);
    EXPECT_EQ(DB_stream_get_rastercolumn_id(stream_.get(), nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(DB_stream_set_rastercolumn_id(nullptr, 1), ZE_NULL_POINTER);
}
