// Set-ups of an update through a state: the WHERE check against the adds
// table (a refusal leaves the stream as it was), the WHERE texts of one row
// and of a row per call, an IN list of up to 150 ids and a temporary log
// beyond (deleted at close), the shape column index; the geometry
// constructors by geometry type; and the VE_ROW_ID look-up of one row.
#include "db/stream/db_state_write_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_write_buffer_internal.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

namespace
{

class StateWrite : public WriteFixture
{
  protected:
    void SetUp() override
    {
        WriteFixture::SetUp();
        reg_ = registration_of("parcels", 7, REG_MULTIVERSION | REG_ROWID_COLUMN, "objectid");
    }
    REGISTRATION reg_{};
    DB_COLUMN_DEF defs_[3] = {column_def("name", VE_STRING, 8), column_def("shape", VE_SHAPE),
                              column_def("objectid", VE_INTEGER)};
};

} // namespace

TEST_F(StateWrite, UpdateByConditionChecksTheWhereText)
{
    char *where = strdup(" where name = 'x'");
    ASSERT_EQ(DB_stream_update_state_init(stream_, &reg_, 3, defs_, where), 0);
    EXPECT_EQ(Prepared(), Strings{"SELECT name FROM gis:'bob'.A7 WHERE name = 'x'"});
    EXPECT_EQ(Executed(), Strings{});
    EXPECT_EQ(stream_->where_text, where); // taken over
    EXPECT_STREQ(stream_->table, "parcels");
    EXPECT_STREQ(stream_->owner, "bob");
    ASSERT_NE(stream_->update_buffer, nullptr);
    EXPECT_EQ(stream_->update_buffer->row_mode, 0);
    EXPECT_EQ(stream_->update_buffer->column_count, 3);

    // A text that does not prepare: its code, the stream as it was.
    STATE_WRITE_BUFFER *kept = stream_->update_buffer;
    scli::on_sql("SELECT name FROM gis:'bob'.A7 WHERE nope()")
        .at_prepare(SQL_ERROR, {"42000", -201, "syntax"});
    char *bad = strdup("nope()");
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_update_state_init(stream_, &reg_, 3, defs_, bad); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    free(bad);
    EXPECT_EQ(stream_->where_text, where);
    EXPECT_EQ(stream_->update_buffer, kept);

    // A text that would leave the statement's own parentheses is refused
    // before anything is prepared; the stream stays as it was.
    MarkNow();
    for (const char *escape : {"nope(", "1=0 {(}) OR (1=1 {)}", "1=1 -- all"}) {
        char *text = strdup(escape);
        EXPECT_EQ(DB_stream_update_state_init(stream_, &reg_, 3, defs_, text), ZE_INVALID_ARGUMENT)
            << escape;
        free(text);
    }
    EXPECT_EQ(Prepared(), Strings{});
    EXPECT_EQ(stream_->where_text, where);
    EXPECT_EQ(stream_->update_buffer, kept);

    // An empty text updates every visible row: nothing to check.
    MarkNow();
    ASSERT_EQ(DB_stream_update_state_init(stream_, &reg_, 3, defs_, strdup("")), 0);
    EXPECT_EQ(Prepared(), Strings{});
}

TEST_F(StateWrite, OneRowAndARowPerCall)
{
    ASSERT_EQ(DB_stream_set_row_state_init(stream_, &reg_, 3, defs_, -42), 0);
    EXPECT_STREQ(stream_->where_text, "objectid = -42");
    EXPECT_EQ(stream_->update_buffer->row_mode, 0);
    ASSERT_EQ(DB_stream_update_row_state_init(stream_, &reg_, 3, defs_), 0);
    EXPECT_STREQ(stream_->where_text, "objectid = ? ");
    EXPECT_EQ(stream_->update_buffer->row_mode, 1);
    EXPECT_EQ(stream_->update_buffer->shape_column, 1);
    // No shape column among the caller's: -1, not 0, which is a column.
    DB_COLUMN_DEF plain[] = {column_def("name", VE_STRING, 8)};
    ASSERT_EQ(DB_stream_update_row_state_init(stream_, &reg_, 1, plain), 0);
    EXPECT_EQ(stream_->update_buffer->shape_column, -1);
    REGISTRATION odd = reg_;
    strcpy(odd.rowid_column, "id; drop");
    EXPECT_EQ(DB_stream_set_row_state_init(stream_, &odd, 3, defs_, 1), ZE_INVALID_IDENTIFIER);
}

TEST_F(StateWrite, OrderedIdsInAListOrATemporaryLog)
{
    ASSERT_EQ(DB_log_init(instance_), 0);
    MarkNow();
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < 150; i++)
        ids.push_back(i == 0 ? -2147483647 : i * 1000); // a negative id too
    DB_MV_QUERY_INFO spec{};
    ASSERT_EQ(DB_stream_update_ordered_state_init(stream_, &reg_, ids.data(), 150, 3, defs_, &spec),
              0);
    std::string expected = "objectid IN (-2147483647";
    for (int32_t i = 1; i < 150; i++)
        expected += "," + std::to_string(i * 1000);
    EXPECT_EQ(std::string(stream_->where_text), expected + ")");
    EXPECT_EQ(spec.logfile, nullptr);
    EXPECT_EQ(stream_->update_buffer->ordered_mode, 1);
    EXPECT_EQ(stream_->update_buffer->ids_in_log, 0);

    ids.push_back(151000);
    ASSERT_EQ(DB_stream_update_ordered_state_init(stream_, &reg_, ids.data(), 151, 3, defs_, &spec),
              0);
    EXPECT_EQ(stream_->where_text, nullptr);
    ASSERT_NE(spec.logfile, nullptr);
    EXPECT_EQ(stream_->update_buffer->ids_in_log, 1);
    std::string name = spec.logfile->name; // qualified by the open
    name = name.substr(name.rfind('.') + 1);
    EXPECT_STREQ(spec.logfile->table_name, "gis:bob.parcels");
    EXPECT_EQ(spec.logfile->flags, static_cast<uint32_t>(LOGINFO_TABLE));
    const scli::LogRow *log = store_->find("bob", name);
    ASSERT_NE(log, nullptr);
    std::vector<int32_t> stored = store_->ids("bob", log->data_id);
    EXPECT_EQ(stored.size(), 150u); // the log system skips ids below 1
    // Closing deletes the log and clears the spec's pointer.
    DB_stream_close(stream_, 0, 0);
    EXPECT_EQ(spec.logfile, nullptr);
    EXPECT_EQ(store_->find("bob", name), nullptr);

    EXPECT_EQ(DB_stream_update_ordered_state_init(stream_, &reg_, ids.data(), 0, 3, defs_, &spec),
              ZE_INVALID_ARGUMENT);
}

TEST_F(StateWrite, ConstructorsByGeometryType)
{
    const char *names[] = {"VE_GeomFromZel",
                           "VE_PointFromZel",
                           "VE_LineFromZel",
                           "VE_LineFromZel",
                           "VE_PolyFromZel",
                           "VE_PolyFromZel",
                           "VE_GeometryCollectionFromZel",
                           "VE_MPointFromZel",
                           "VE_MLineFromZel",
                           "VE_MLineFromZel",
                           "VE_MPolyFromZel",
                           "VE_MPolyFromZel"};
    for (int32_t type = 0; type < 12; type++)
        EXPECT_STREQ(db_shape_constructor_name(type), names[type]) << type;
    // No layer: -1.
    std::string text;
    EXPECT_EQ(db_shape_constructor_sql(stream_, &text), ZE_FAILURE);
    stream_->layer = cache_layer(polygons());
    ASSERT_EQ(db_shape_constructor_sql(stream_, &text), 0);
    EXPECT_EQ(text, "VE_PolyFromZel(?,?,2)");
}

class StateWriteNoSrid : public StateWrite
{
  protected:
    StateWriteNoSrid()
    {
        srid_found_ = false;
    }
};

TEST_F(StateWriteNoSrid, ConstructorWithoutSridFails)
{
    stream_->layer = cache_layer(polygons());
    std::string text;
    EXPECT_EQ(db_shape_constructor_sql(stream_, &text), ZE_FAILURE);
    EXPECT_EQ(text, "");
    // The insert set-up of the layer fails the same way, nothing prepared.
}

TEST_F(StateWrite, ShapeRowIdOfOneRow)
{
    strcpy(stream_->database, "gis");
    strcpy(stream_->owner, "bob");
    strcpy(stream_->table, "parcels");
    const std::string sql = "SELECT VE_ROW_ID from gis:bob.parcels WHERE objectid = ?";
    scli::on_sql(sql).columns({{"VE_ROW_ID", SQL_INTEGER}}).row({scli::i32(88)});
    int32_t id = -1;
    ASSERT_EQ(db_stream_get_shape_row_id(stream_, "objectid", 5, &id), 0);
    EXPECT_EQ(id, 88);
    EXPECT_EQ(Params(sql), (std::vector<Strings>{{"5"}}));
    scli::on_sql(sql).columns({{"VE_ROW_ID", SQL_INTEGER}});
    ASSERT_EQ(db_stream_get_shape_row_id(stream_, "objectid", 6, &id), 0);
    EXPECT_EQ(id, 0); // no such row
    // Any CLI failure after the prepare is -51 with the stream's record.
    for (const char *sqlstate : {"S1009", "08S01"}) {
        SCOPED_TRACE(sqlstate);
        scli::on_sql(sql).fail(SQL_ERROR, {sqlstate, -908, "gone"});
        StderrCapture err;
        EXPECT_EQ(db_stream_get_shape_row_id(stream_, "objectid", 7, &id), ZE_DBMS_ERROR);
        EXPECT_NE(err.text().find("S_get_fid_gy_rowid odbc Error (-1)\n"), std::string::npos);
        DB_EXT_ERROR xerr;
        DB_stream_get_xerr(&xerr, stream_);
        EXPECT_STREQ(xerr.text, sqlstate);
    }
}
