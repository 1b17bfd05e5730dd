// Insert streams: the INSERT text with its constructor and state, the
// refusals that leave nothing prepared, the parameters of each row as the
// scripted CLI decodes them (numbering around the shape's two parameters,
// the shape's header bytes, NULL shapes without an id), the envelope of the
// shapes written, the automatic log, and a failed row that does not end the
// stream.
#include "db/stream/db_stream_insert.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <iterator>
#include <string>
#include <vector>

#include "base/util/ve_date.h"
#include "base/util/ve_loginfo.h"
#include "base/util/ve_row_pointers.h"
#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_write_internal.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"
#include "tests/support/scli_lob_store.h"

using namespace write_test;

namespace
{

const std::string kPolygonInsert = "INSERT INTO t  (name, shape, owner_id, VE_ROW_ID, "
                                   "ZEL_STATE_ID) VALUES (?, VE_PolyFromZel(?,?,2),?,?, 12)";

// The hex text the journal gives binary values.
std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = "0x";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class StreamInsert : public WriteFixture
{
};

} // namespace

TEST_F(StreamInsert, InsertTextOfALayerInAState)
{
    cache_layer(polygons());
    REGISTRATION reg = registration_of("t", 12, REG_LAYER | REG_MULTIVERSION, "objectid");
    // The caller's table is t; in a state the rows go to the adds table.
    ASSERT_EQ(init_insert("t", reg, 0, {"name", "shape", "owner_id"}), 0);
    EXPECT_EQ(Prepared(), Strings{"INSERT INTO t  (name, shape, owner_id, VE_ROW_ID) VALUES "
                                  "(?, VE_PolyFromZel(?,?,2),?,?)"});
    MarkNow();
    ASSERT_EQ(init_insert("t", reg, 12, {"name", "shape", "owner_id"}), 0);
    EXPECT_EQ(Prepared(), Strings{"INSERT INTO gis:'bob'.A12  (name, shape, owner_id, VE_ROW_ID, "
                                  "ZEL_STATE_ID) VALUES (?, VE_PolyFromZel(?,?,2),?,?, 12)"});
    EXPECT_EQ(stream_->write->spatial_position, 1);
    EXPECT_STREQ(stream_->spatial_column_name, "shape");
}

TEST_F(StreamInsert, ConstructorFollowsTheEntityMask)
{
    const struct {
        uint32_t eflags;
        const char *constructor;
    } cases[] = {
        {LAYER_POINT, "VE_PointFromZel"},
        {LAYER_LINE, "VE_LineFromZel"},
        {LAYER_SIMPLE_LINE, "VE_LineFromZel"},
        {LAYER_AREA | LAYER_MULTIPART, "VE_MPolyFromZel"},
        {LAYER_POINT | LAYER_MULTIPART, "VE_MPointFromZel"},
        {LAYER_LINE | LAYER_AREA, "VE_GeomFromZel"}, // two kinds
        {0, "VE_GeomFromZel"},
    };
    int32_t id = 20;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.constructor);
        layer_test::LayerRow row = polygons();
        row.id = ++id;
        row.table = "t" + std::to_string(id);
        row.eflags = c.eflags;
        cache_layer(row);
        MarkNow();
        REGISTRATION reg = registration_of(row.table.c_str(), id, REG_LAYER, "objectid");
        ASSERT_EQ(init_insert(row.table.c_str(), reg, 0, {"shape"}), 0);
        EXPECT_EQ(Prepared(),
                  Strings{"INSERT INTO " + row.table + "  (shape, VE_ROW_ID) VALUES ( " +
                          c.constructor + "(?,?,2),?)"});
        DB_stream_close(stream_, 0, 0);
    }
}

TEST_F(StreamInsert, RefusalsPrepareNothing)
{
    cache_layer(polygons());
    REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
    const struct {
        Strings columns;
        const char *table;
        int32_t rc;
    } cases[] = {
        {{"name", "VE_ROW_ID"}, "t", ZE_RESERVED_COLUMN},
        {{"name", "ve_row_id"}, "t", ZE_RESERVED_COLUMN},
        {{"name", "t.Ve_Row_Id"}, "t", ZE_RESERVED_COLUMN},
        {{"na me"}, "t", ZE_INVALID_IDENTIFIER},
        {{"name"}, "t; DROP TABLE x", ZE_INVALID_IDENTIFIER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.table + (" " + c.columns.back()));
        MarkNow();
        EXPECT_EQ(init_insert(c.table, reg, 0, c.columns), c.rc);
        EXPECT_EQ(Prepared(), Strings{});
        EXPECT_EQ(stream_->stmt_main, nullptr);
    }
}

TEST_F(StreamInsert, LayerWithoutInsertPrivilegeIsRefused)
{
    LAYER *layer = cache_layer(polygons());
    layer->privileges = VE_PRIV_SELECT;
    REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
    EXPECT_EQ(init_insert("t", reg, 0, {"shape"}), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Prepared(), Strings{});
}

TEST_F(StreamInsert, PrepareFailuresByState)
{
    REGISTRATION plain = registration_of("p", 0, 0, "");
    const struct {
        const char *sqlstate;
        int32_t rc;
    } cases[] = {{"S0002", ZE_TABLE_NOT_FOUND}, {"S0022", ZE_COLUMN_NOT_FOUND}, {"42000", -51}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        scli::on_sql("INSERT INTO p  (a) VALUES (?)")
            .at_prepare(SQL_ERROR, {c.sqlstate, -206, "x"});
        int32_t rc = 0;
        quiet_stderr([&] { rc = init_insert("p", plain, 0, {"a"}); });
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(stream_->stmt_main, nullptr);
        DB_EXT_ERROR xerr;
        DB_stream_get_xerr(&xerr, stream_);
        EXPECT_STREQ(xerr.text, c.sqlstate);
    }
}

TEST_F(StreamInsert, PlainTableParametersAreNumberedOneToN)
{
    REGISTRATION plain = registration_of("p", 0, 0, "");
    ASSERT_EQ(init_insert("p", plain, 0, {"a", "b", "c", "d", "e", "f"}), 0);
    const std::string sql = "INSERT INTO p  (a, b, c, d, e, f) VALUES (?,?,?,?,?,?)";
    EXPECT_EQ(Prepared(), Strings{sql});
    DB_COLUMN_DEF defs[] = {column_def("a", VE_SMALLINT),  column_def("b", VE_INTEGER),
                            column_def("c", VE_FLOAT),     column_def("d", VE_DOUBLE),
                            column_def("e", VE_STRING, 4), column_def("f", VE_DATE_TYPE)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 6, defs, 0), 0);
    int16_t a = -7;
    int32_t b = 123456;
    float c = 1.5f;
    double d = -2.25;
    char e[] = "abcdefg"; // cut at the declared 4
    VE_DATE f{};
    f.tm_year = 126, f.tm_mon = 11, f.tm_mday = 11, f.tm_hour = 3, f.tm_min = 4, f.tm_sec = 5;
    void *values[] = {&a, &b, &c, &d, e, &f};
    const int16_t present[] = {2, 2, 2, 2, 2, 2};
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, 0), 0);
    const int16_t nulls[] = {1, 1, 1, 1, 1, 1};
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, nulls, values, 0, 0), 0);
    EXPECT_EQ(Params(sql),
              (std::vector<Strings>{{"-7", "123456", "1.5", "-2.25", "abcd", "2026-12-11 03:04:05"},
                                    {"NULL", "NULL", "NULL", "NULL", "NULL", "NULL"}}));
    // A second layout call binds nothing again.
    MarkNow();
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 6, defs, 0), 0);
    EXPECT_EQ(Journal().size(), 0u);
}

// The commit argument of a row: on, the row ends in a commit (outside a
// host's transaction); off, nothing is committed.
TEST_F(StreamInsert, ARowCommitsOnlyWhenAsked)
{
    REGISTRATION plain = registration_of("p", 0, 0, "");
    ASSERT_EQ(init_insert("p", plain, 0, {"a"}), 0);
    const std::string sql = "INSERT INTO p  (a) VALUES (?)";
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 1, defs, 0), 0);
    const struct {
        int32_t commit;
        Strings executed;
    } cases[] = {
        {1, {sql, "COMMIT"}},
        {0, {sql}},
        {1, {sql, "COMMIT"}},
    };
    int32_t a = 1;
    void *values[] = {&a};
    const int16_t present[] = {2};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.commit);
        MarkNow();
        ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, c.commit, 0), 0);
        EXPECT_EQ(Executed(), c.executed);
    }
}

TEST_F(StreamInsert, ShapeRowsDrawIdsAndWidenTheEnvelope)
{
    cache_layer(polygons());
    host_.set_next_id(12, 500);
    REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
    ASSERT_EQ(init_insert("t", reg, 12, {"name", "shape", "owner_id"}), 0);
    DB_COLUMN_DEF defs[] = {column_def("name", VE_STRING, 10), column_def("shape", VE_SHAPE),
                            column_def("owner_id", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 3, defs, 0), 0);
    EXPECT_EQ(stream_->written_minx, 2147483647.0);

    Shape point(VE_ENTITY_POINT, {{1000, 2000}});
    Shape area(VE_ENTITY_AREA, {{0, 0}, {4000, 0}, {4000, 3000}, {0, 0}});
    char name[] = "lot";
    int32_t owner = 9;
    void *values[] = {name, &point.feature, &owner};
    const int16_t present[] = {2, 2, 2};
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, 0), 0);
    // A point replaces the empty envelope: x = 1000 / 1000 - 400.
    EXPECT_EQ(stream_->written_minx, -399.0);
    EXPECT_EQ(stream_->written_maxx, -399.0);
    EXPECT_EQ(stream_->written_miny, -298.0);
    EXPECT_EQ(stream_->written_maxy, -298.0);

    values[1] = &area.feature;
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, 0), 0);
    EXPECT_EQ(stream_->written_minx, -400.0);
    EXPECT_EQ(stream_->written_maxx, -396.0);
    EXPECT_EQ(stream_->written_miny, -300.0);
    EXPECT_EQ(stream_->written_maxy, -297.0);

    // A NULL shape: NULL shape, no annotation, NULL VE_ROW_ID, no id drawn,
    // envelope unchanged.
    const int16_t no_shape[] = {2, 1, 2};
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, no_shape, values, 0, 0), 0);
    EXPECT_EQ(stream_->written_maxx, -396.0);
    EXPECT_EQ(host_.id_requests(), (std::vector<std::pair<int32_t, int32_t>>{{12, 1}, {12, 1}}));

    // The shape parameter: two varLONGs (points, entity) in 8 bytes, then
    // the compressed feature.
    const std::string point_header("\x01\x01\0\0\0\0\0\0", 8);
    const std::string area_header("\x04\x08\0\0\0\0\0\0", 8);
    const std::string sql = "INSERT INTO gis:'bob'.A12  (name, shape, owner_id, VE_ROW_ID, "
                            "ZEL_STATE_ID) VALUES (?, VE_PolyFromZel(?,?,2),?,?, 12)";
    EXPECT_EQ(Params(sql),
              (std::vector<Strings>{{"lot", hex(point_header + point.bytes()), "NULL", "9", "500"},
                                    {"lot", hex(area_header + area.bytes()), "NULL", "9", "501"},
                                    {"lot", "NULL", "NULL", "9", "NULL"}}));
}

TEST_F(StreamInsert, IdAllocatorFailureInsertsNothing)
{
    cache_layer(polygons());
    REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
    ASSERT_EQ(init_insert("t", reg, 0, {"shape"}), 0);
    DB_COLUMN_DEF defs[] = {column_def("shape", VE_SHAPE)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 1, defs, 0), 0);
    Shape point(VE_ENTITY_POINT, {{1, 2}});
    void *values[] = {&point.feature};
    const int16_t present[] = {2};
    host_.fail_ids(-49);
    MarkNow();
    EXPECT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, 0), -49);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(StreamInsert, FailedRowDoesNotEndTheStream)
{
    REGISTRATION plain = registration_of("p", 0, 0, "");
    const std::string sql = "INSERT INTO p  (a) VALUES (?)";
    ASSERT_EQ(init_insert("p", plain, 0, {"a"}), 0);
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 1, defs, 0), 0);
    int32_t a = 1;
    void *values[] = {&a};
    const int16_t present[] = {2};
    scli::on_sql(sql).fail(SQL_ERROR, {"23000", -268, "unique constraint"});
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_execute_insert_table(stream_, present, values, 0, 0); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(stream_->stmt_main, nullptr);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "23000");
    a = 2;
    MarkNow();
    EXPECT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, 0), 0);
    EXPECT_EQ(Prepared(), Strings{sql});
    EXPECT_EQ(Params(sql), (std::vector<Strings>{{"2"}}));
}

TEST_F(StreamInsert, ArrayLayoutMustMatchTheSetUp)
{
    cache_layer(polygons());
    REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
    ASSERT_EQ(init_insert("t", reg, 0, {"name", "shape"}), 0);
    DB_COLUMN_DEF one[] = {column_def("name", VE_STRING, 4)};
    EXPECT_EQ(DB_stream_init_array_insert(stream_, 1, one, 0), ZE_INVALID_ARGUMENT);
    DB_COLUMN_DEF swapped[] = {column_def("shape", VE_SHAPE), column_def("name", VE_STRING, 4)};
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_stream_init_array_insert(stream_, 2, swapped, 0); });
    EXPECT_EQ(rc, ZE_WRONG_COLUMN_TYPE);
    DB_COLUMN_DEF bad[] = {column_def("name", 42), column_def("shape", VE_SHAPE)};
    StderrCapture err;
    EXPECT_EQ(DB_stream_init_array_insert(stream_, 2, bad, 0), ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(err.text(), "DB_stream_init_array_insert::Invalid column data type (42)\n");
    EXPECT_EQ(stream_->write->row.buffer, nullptr);
}

TEST_F(StreamInsert, AutomaticLogTakesRowIdsOrValues)
{
    ASSERT_EQ(DB_log_init(instance_), 0);
    cache_layer(polygons());
    host_.set_next_id(12, 70);
    const struct {
        uint32_t flags;
        std::vector<int32_t> logged;
    } cases[] = {
        {LOGINFO_LAYER, {70}}, // the VE_ROW_IDs
        {LOGINFO_TABLE, {9}},  // the registered row-id values
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags);
        LOGFILE log{};
        memcpy(log.tag, LOGINFO_TAG, 4);
        snprintf(log.name, sizeof(log.name), "ins%d", n++);
        strcpy(log.table_name, "gis:bob.t");
        log.flags = c.flags;
        log.registration = registration_of("t", 12, REG_LAYER | REG_ROWID_COLUMN, "objectid");
        log.registration_id = 12;
        log.layer_id = 12;
        int32_t number = 0;
        ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number), 0);
        host_.set_next_id(12, 70);
        REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
        ASSERT_EQ(init_insert("t", reg, 0, {"objectid", "shape"}), 0);
        DB_COLUMN_DEF defs[] = {column_def("objectid", VE_INTEGER), column_def("shape", VE_SHAPE)};
        ASSERT_EQ(DB_stream_init_array_insert(stream_, 2, defs, 0), 0);
        Shape point(VE_ENTITY_POINT, {{1, 2}});
        int32_t objectid = 9;
        void *values[] = {&objectid, &point.feature};
        const int16_t present[] = {2, 2};
        ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, number), 0);
        EXPECT_EQ(stream_->auto_log, 1);
        ASSERT_EQ(DB_log_close(instance_, number), 0);
        const scli::LogRow *stored = store_->find("bob", "ins" + std::to_string(n - 1));
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(store_->ids("bob", stored->data_id), c.logged);
        DB_stream_close(stream_, 0, 0);
        EXPECT_EQ(stream_->auto_log, 0);
    }
}

TEST_F(StreamInsert, RowIdColumnMissingFromALogOfValues)
{
    ASSERT_EQ(DB_log_init(instance_), 0);
    LOGFILE log{};
    memcpy(log.tag, LOGINFO_TAG, 4);
    strcpy(log.name, "values");
    strcpy(log.table_name, "gis:bob.p");
    log.flags = LOGINFO_TABLE;
    log.registration = registration_of("p", 8, REG_ROWID_COLUMN, "objectid");
    log.registration_id = 8;
    host_.add_registration(log.registration);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number), 0);
    REGISTRATION plain = registration_of("p", 0, 0, "");
    ASSERT_EQ(init_insert("p", plain, 0, {"a"}), 0);
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 1, defs, 0), 0);
    int32_t a = 3;
    void *values[] = {&a};
    const int16_t present[] = {2};
    EXPECT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, number),
              ZE_NO_ROWID_COLUMN);
    ASSERT_EQ(DB_log_close(instance_, number), 0);
}

TEST_F(StreamInsert, FlushAppliesTheCommitRule)
{
    MarkNow();
    EXPECT_EQ(DB_stream_flush_buffered_inserts(), 0);
    EXPECT_EQ(Executed(), Strings{"COMMIT"});
}

TEST_F(StreamInsert, BlobsGoIntoNewLargeObjects)
{
    scli::LobStore &lobs = scli::lob_store_install();
    REGISTRATION plain = registration_of("docs", 0, 0, "");
    ASSERT_EQ(init_insert("docs", plain, 0, {"id", "body"}), 0);
    DB_COLUMN_DEF defs[] = {column_def("id", VE_INTEGER), column_def("body", VE_BLOB)};
    ASSERT_EQ(DB_stream_init_array_insert(stream_, 2, defs, 0), 0);
    EXPECT_EQ(lobs.last_column, "docs.body");
    const std::string sql = "INSERT INTO docs  (id, body) VALUES (?,?)";
    int32_t id = 1;
    uint8_t first[] = {'a', 'b', 'c'}, second[] = {'x'};
    VE_BLOB_VALUE blob{3, first};
    void *values[] = {&id, &blob};
    const int16_t present[] = {2, 2};
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, 0), 0);
    id = 2;
    blob = {1, second};
    ASSERT_EQ(DB_stream_execute_insert_table(stream_, present, values, 0, 0), 0);
    ASSERT_EQ(lobs.objects.size(), 2u);
    EXPECT_EQ(lobs.objects.begin()->second, "abc");
    EXPECT_EQ(std::next(lobs.objects.begin())->second, "x");
    EXPECT_TRUE(lobs.open.empty()); // each closed after its row
    std::vector<Strings> params = Params(sql);
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0][0], "1");
    EXPECT_EQ(params[1][0], "2");
    EXPECT_NE(params[0][1], params[1][1]); // two objects, two pointers
}
