// Hooks of the write streams: nothing without an automatic log or row
// locks; the ids each hook adds, once per call, by the log's kind; the
// restrictions of the table and NULL-shape hooks with and without a WHERE
// text; and the conversion of one coordinate.
#include "db/stream/db_stream_hooks_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/ve_loginfo.h"
#include "base/util/zel_errors.h"
#include "db/catalog/db_log.h"
#include "db/core/db_stream_internal.h"
#include "mox/mox.h"
#include "tests/db/stream/write_fixture.h"

using namespace write_test;

namespace
{

const std::string kData = "INSERT INTO gis:bob_zel_logfile_data  (logfile_data_id, zel_row_id)  "
                          "SELECT  ";

class StreamHooks : public WriteFixture
{
  protected:
    void SetUp() override
    {
        WriteFixture::SetUp();
        ASSERT_EQ(DB_log_init(instance_), 0);
        layer_ = cache_layer(polygons());
        MarkNow();
    }
    void TearDown() override
    {
        if (number_ > 0)
            DB_log_close(instance_, number_);
        WriteFixture::TearDown();
    }

    // Opens a log of table t with the flags and makes it the stream's
    // automatic log.
    void auto_log(uint32_t flags)
    {
        LOGFILE log{};
        memcpy(log.tag, LOGINFO_TAG, 4);
        strcpy(log.name, "hooked");
        strcpy(log.table_name, "gis:bob.t");
        log.flags = flags;
        log.registration = registration_of("t", 12, REG_LAYER | REG_ROWID_COLUMN, "objectid");
        log.registration_id = 12;
        log.layer_id = 12;
        ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number_), 0);
        ASSERT_EQ(DB_log_get_by_fdes(instance_, number_, &stream_->auto_log_file), 0);
        stream_->auto_log = 1;
        stream_->auto_log_descriptor = number_;
        MarkNow();
    }
    std::vector<int32_t> logged()
    {
        EXPECT_EQ(DB_log_close(instance_, number_), 0);
        number_ = 0;
        const scli::LogRow *row = store_->find("bob", "hooked");
        return row != nullptr ? store_->ids("bob", row->data_id) : std::vector<int32_t>{};
    }

    LAYER *layer_ = nullptr;
    int32_t number_ = 0;
};

} // namespace

TEST_F(StreamHooks, NothingWithoutLogOrRowLocks)
{
    stream_->layer = layer_;
    stream_->where_text = strdup("a = 1");
    stream_->row_lock_mode = 0x14; // modes alone do nothing without row locking on
    const int32_t ids[] = {1, 2};
    EXPECT_EQ(db_stream_log_ids(stream_, ids, 2, ids, 2), 0);
    EXPECT_EQ(db_stream_log_where_rows(stream_), 0);
    EXPECT_EQ(db_stream_log_table_rows(stream_), 0);
    EXPECT_EQ(db_stream_log_null_shape_rows(stream_), 0);
    EXPECT_EQ(Journal().size(), 0u);
}

TEST_F(StreamHooks, IdsByTheLogsKind)
{
    const int32_t features[] = {40, 41}, rows[] = {7, 8, 9};
    auto_log(LOGINFO_LAYER);
    EXPECT_EQ(db_stream_log_ids(stream_, features, 0, rows, 3), 0); // no feature ids: nothing
    EXPECT_EQ(db_stream_log_ids(stream_, features, 2, rows, 3), 0);
    EXPECT_EQ(logged(), (std::vector<int32_t>{40, 41}));
    store_ = &scli::log_store_install();
    auto_log(LOGINFO_TABLE);
    EXPECT_EQ(db_stream_log_ids(stream_, features, 2, rows, 0), 0); // no row ids: nothing
    EXPECT_EQ(db_stream_log_ids(stream_, features, 2, rows, 3), 0);
    EXPECT_EQ(logged(), (std::vector<int32_t>{7, 8, 9}));
}

TEST_F(StreamHooks, RestrictionsOfTheQueryHooks)
{
    stream_->layer = layer_;
    const struct {
        uint32_t flags;
        const char *where;
        std::vector<std::string> sql; // where_rows, table_rows, null_shape_rows
    } cases[] = {
        {LOGINFO_TABLE,
         "a = 1",
         {kData + "1, objectid FROM gis:bob.t  WHERE a = 1",
          kData + "1, gis:bob.t.objectid FROM gis:bob.t  WHERE a = 1",
          kData +
              "1, gis:bob.t.objectid FROM gis:bob.t  WHERE gis:bob.t.shape IS NULL AND (a = 1)"}},
        {LOGINFO_TABLE,
         "",
         {kData + "1, objectid FROM gis:bob.t ", kData + "1, gis:bob.t.objectid FROM gis:bob.t ",
          kData + "1, gis:bob.t.objectid FROM gis:bob.t  WHERE gis:bob.t.shape IS NULL"}},
        // A log of VE_ROW_IDs takes neither the WHERE rows nor the NULL shapes.
        {LOGINFO_LAYER, "a = 1", {kData + "1, gis:bob.t.VE_ROW_ID FROM gis:bob.t  WHERE a = 1"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.where);
        store_ = &scli::log_store_install();
        free(stream_->where_text);
        stream_->where_text = strdup(c.where);
        auto_log(c.flags);
        EXPECT_EQ(db_stream_log_where_rows(stream_), 0);
        EXPECT_EQ(db_stream_log_table_rows(stream_), 0);
        EXPECT_EQ(db_stream_log_null_shape_rows(stream_), 0);
        EXPECT_EQ(Executed(), c.sql);
        DB_log_close(instance_, number_);
        number_ = 0;
    }
}

TEST_F(StreamHooks, RowLockPartAnswersZero)
{
    stream_->layer = layer_;
    stream_->row_locking = 1;
    stream_->row_locks_initialised = 1;
    for (int32_t mode : {0x04, 0x10}) {
        stream_->row_lock_mode = mode;
        EXPECT_EQ(db_stream_log_where_rows(stream_), 0);
        EXPECT_EQ(db_stream_log_table_rows(stream_), 0);
        EXPECT_EQ(db_stream_log_null_shape_rows(stream_), 0);
    }
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(StreamHooks, ValueToPlaneByAxis)
{
    COORDREF ref{};
    ref.falsex = -400;
    ref.falsey = 100;
    ref.xyunits = 10;
    double plane = 7;
    EXPECT_EQ(db_value_to_plane(55, &plane, &ref, 1), 0);
    EXPECT_EQ(plane, -394.5);
    EXPECT_EQ(db_value_to_plane(55, &plane, &ref, 2), 0);
    EXPECT_EQ(plane, 105.5);
    plane = 7;
    EXPECT_EQ(db_value_to_plane(55, &plane, &ref, 3), 0);
    EXPECT_EQ(plane, 7);
}
