// Update streams of plain tables: the exact statements of the plain path
// and of the two passes of a shape update, in order, with their bound
// values; the WHERE forms; no row matched; a second execution; a row that
// fails in the middle of the rows that gain a shape; the envelope of the
// rows written against one computed here; the automatic log before the
// change; prepare failures by SQLSTATE; refusals of the set-up.
#include "db/stream/db_stream_update.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <regex>
#include <string>
#include <vector>

#include "base/util/ve_loginfo.h"
#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_write_internal.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

namespace
{

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

// The shape parameter of a feature: its two varLONGs in 8 bytes, then the
// compressed bytes.
std::string shape_param(const Shape &shape, const std::string &header)
{
    return hex(header + shape.bytes());
}

const std::string kPolygonSet = " name = ?,  shape = VE_PolyFromZel(?,?,2)";

class StreamUpdate : public WriteFixture
{
  protected:
    int32_t init_update(const char *table, const Strings &columns, const char *where)
    {
        names_ = columns;
        name_ptrs_.clear();
        for (const std::string &s : names_)
            name_ptrs_.push_back(s.c_str());
        return DB_stream_init_update_table(stream_, table, static_cast<int16_t>(names_.size()),
                                           name_ptrs_.data(), where ? strdup(where) : nullptr);
    }

    // The statements run since the mark, but the catalogue reads behind the
    // set-ups (layers, spatial references).
    Strings Statements() const
    {
        Strings out;
        for (const std::string &sql : Executed())
            if (sql.find("zel:zel.") == std::string::npos && sql.rfind("select srid", 0) != 0)
                out.push_back(sql);
        return out;
    }

    // The layer of polygons "t" (id 12) with a name and a shape column set up
    // for an update of the rows the WHERE text selects.
    void set_up_polygons(const char *where)
    {
        cache_layer(polygons());
        host_.set_next_id(12, 500);
        ASSERT_EQ(init_update("t", {"name", "shape"}, where), 0);
        ASSERT_EQ(DB_stream_init_update_buffer(stream_, 2, defs_), 0);
        MarkNow();
    }

    // Scripts the read of the rows with a shape (ids given) and of the rows
    // without one (ids given), both for the WHERE text "name = 'x'".
    void answer_reads(std::vector<int32_t> with_shape, std::vector<int32_t> without_shape)
    {
        scli::Answer &a = scli::on_sql(kExisting).columns({{"VE_ROW_ID", SQL_INTEGER}});
        for (int32_t id : with_shape)
            a.row({scli::i32(id)});
        scli::Answer &b = scli::on_sql(kMissing).columns({{"VE_ROW_ID", SQL_INTEGER}});
        for (int32_t id : without_shape)
            b.row({scli::i32(id)});
    }

    // The positioned UPDATE, for the cursor name the driver gave.
    static std::string positioned(const std::string &cursor)
    {
        return "UPDATE gis:bob.t SET " + kPolygonSet + ",  VE_ROW_ID = ? where current of " +
               cursor;
    }

    // The cursor name in the one positioned UPDATE run since the mark.
    std::string Cursor() const
    {
        static const std::regex re(".* where current of (.*)");
        std::smatch m;
        for (const std::string &sql : Statements())
            if (std::regex_match(sql, m, re))
                return m[1];
        return "";
    }

    const std::string kExisting =
        "SELECT VE_ROW_ID FROM gis:bob.t WHERE VE_ROW_ID is not null AND (name = 'x')";
    const std::string kUpdateExisting =
        "UPDATE gis:bob.t SET " + kPolygonSet + " where shape is not null and (name = 'x')";
    const std::string kMissing = "SELECT VE_ROW_ID FROM gis:bob.t WHERE (name = 'x') AND shape "
                                 "IS NULL ";
    DB_COLUMN_DEF defs_[2] = {column_def("name", VE_STRING, 10), column_def("shape", VE_SHAPE)};
    char name_[4] = "lot";
    Shape area_{VE_ENTITY_AREA, {{0, 0}, {4000, 0}, {4000, 3000}, {0, 0}}};
    const std::string area_header_ = std::string("\x04\x08\0\0\0\0\0\0", 8);
};

} // namespace

TEST_F(StreamUpdate, PlainTableTextFollowsTheWhereForms)
{
    const struct {
        const char *where;
        const char *clause;
    } cases[] = {
        {"where a > 1", " WHERE (a > 1)"},
        {"  WHERE a > 1 or b = 'x'", " WHERE (a > 1 or b = 'x')"},
        {"a in (1, 2)", " WHERE (a in (1, 2))"},
        {nullptr, ""}, // every row
        {"   ", ""},
        {"where ", ""},
    };
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER), column_def("b", VE_STRING, 4)};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.where ? c.where : "(null)");
        ASSERT_EQ(init_update("p", {"a", "b"}, c.where), 0);
        ASSERT_EQ(DB_stream_init_update_buffer(stream_, 2, defs), 0);
        MarkNow();
        int32_t a = 7;
        char b[] = "xyzzy"; // cut at the declared 4
        void *values[] = {&a, b};
        const int16_t present[] = {2, 2};
        ASSERT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), 0);
        const std::string sql = std::string("UPDATE gis:bob.p SET  a = ?,  b = ?") + c.clause;
        EXPECT_EQ(Statements(), Strings{sql});
        EXPECT_EQ(Params(sql), (std::vector<Strings>{{"7", "xyzz"}}));
        EXPECT_EQ(stream_->stmt_main, nullptr); // dropped after the run
        DB_stream_close(stream_, 0, 0);
    }
}

TEST_F(StreamUpdate, NoRowMatchedAndSecondExecution)
{
    ASSERT_EQ(init_update("p", {"a"}, "a = 0"), 0);
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 1, defs), 0);
    const std::string sql = "UPDATE gis:bob.p SET  a = ? WHERE (a = 0)";
    scli::on_sql(sql).no_data();
    int32_t a = 1;
    void *values[] = {&a};
    const int16_t present[] = {2};
    MarkNow();
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), ZE_NO_ROWS_MATCHED);
    EXPECT_EQ(Statements(), Strings{sql});
    // The set-up is spent: a second run would have no rows it was meant
    // for, and changes nothing.
    MarkNow();
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Journal().size(), 0u);
    // The WHERE text stays for the envelope and the hooks until the close.
    EXPECT_STREQ(stream_->where_text, "a = 0");
    DB_stream_close(stream_, 0, 0);
    EXPECT_EQ(stream_->where_text, nullptr);
}

TEST_F(StreamUpdate, ADriverThatCountsNoRowIsNoRowMatched)
{
    ASSERT_EQ(init_update("p", {"a"}, "a = 0"), 0);
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 1, defs), 0);
    scli::on_sql("UPDATE gis:bob.p SET  a = ? WHERE (a = 0)").row_count(0);
    int32_t a = 1;
    void *values[] = {&a};
    const int16_t present[] = {2};
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), ZE_NO_ROWS_MATCHED);
}

TEST_F(StreamUpdate, ShapeUpdateTakesBothPassesInOrder)
{
    set_up_polygons("where name = 'x'");
    answer_reads({3, 4}, {5, 6});
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    ASSERT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), 0);
    const std::string cursor = Cursor();
    EXPECT_EQ(cursor.rfind("SQL_CUR", 0), 0u);
    EXPECT_EQ(Statements(), (Strings{kExisting, kUpdateExisting, kMissing, positioned(cursor),
                                     positioned(cursor)}));
    const std::string shape = shape_param(area_, area_header_);
    EXPECT_EQ(Params(kUpdateExisting), (std::vector<Strings>{{"lot", shape, "NULL"}}));
    // Each row that gains a shape gets a new id from the host.
    EXPECT_EQ(Params(positioned(cursor)),
              (std::vector<Strings>{{"lot", shape, "NULL", "500"}, {"lot", shape, "NULL", "501"}}));
    EXPECT_EQ(host_.id_requests(), (std::vector<std::pair<int32_t, int32_t>>{{12, 1}, {12, 1}}));
    // The envelope of the rows written, computed here: plane = system units /
    // xy units + false origin (1000, -400, -300).
    EXPECT_EQ(stream_->written_minx, 0 / 1000.0 - 400);
    EXPECT_EQ(stream_->written_miny, 0 / 1000.0 - 300);
    EXPECT_EQ(stream_->written_maxx, 4000 / 1000.0 - 400);
    EXPECT_EQ(stream_->written_maxy, 3000 / 1000.0 - 300);
    EXPECT_EQ(stream_->stmt_main, nullptr);
}

TEST_F(StreamUpdate, ShapeUpdateOfRowsThatAllHaveOneDrawsNoId)
{
    set_up_polygons("name = 'x'");
    answer_reads({3}, {});
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    ASSERT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), 0);
    EXPECT_EQ(Statements(), (Strings{kExisting, kUpdateExisting, kMissing}));
    EXPECT_TRUE(host_.id_requests().empty());
}

TEST_F(StreamUpdate, ShapeUpdateOfRowsWithoutOneGoesRowByRow)
{
    set_up_polygons("name = 'x'");
    answer_reads({}, {5, 6, 7});
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    ASSERT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), 0);
    const std::string cursor = Cursor();
    // No UPDATE of rows with a shape when none has one.
    EXPECT_EQ(Statements(), (Strings{kExisting, kMissing, positioned(cursor), positioned(cursor),
                                     positioned(cursor)}));
    EXPECT_EQ(host_.id_requests().size(), 3u);
}

TEST_F(StreamUpdate, ShapeUpdateMatchingNothingLeavesTheEnvelope)
{
    set_up_polygons("name = 'x'");
    answer_reads({}, {});
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), ZE_NO_ROWS_MATCHED);
    EXPECT_EQ(Statements(), (Strings{kExisting, kMissing}));
    EXPECT_EQ(stream_->written_minx, 2147483647.0);
    EXPECT_EQ(stream_->written_maxx, 0.0);
}

TEST_F(StreamUpdate, FailingRowInTheMiddleEndsThePass)
{
    ASSERT_EQ(DB_log_init(instance_), 0);
    LOGFILE log{};
    memcpy(log.tag, LOGINFO_TAG, 4);
    strcpy(log.name, "gained");
    strcpy(log.table_name, "gis:bob.t");
    log.flags = LOGINFO_LAYER; // the rows' VE_ROW_IDs
    log.registration = registration_of("t", 12, REG_LAYER | REG_ROWID_COLUMN, "objectid");
    log.registration_id = 12;
    log.layer_id = 12;
    set_up_polygons("name = 'x'");
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number), 0);
    MarkNow();
    answer_reads({}, {5, 6, 7});
    scli::on_sql_like("UPDATE gis:bob.t SET .* where current of .*");
    scli::on_sql_like("UPDATE gis:bob.t SET .* where current of .*")
        .fail(SQL_ERROR, {"23000", -268, "unique constraint"});
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    StderrCapture err;
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, number), ZE_DBMS_ERROR);
    EXPECT_EQ(err.text().rfind("S_execute_update_table  Execute Error (-1).\n", 0), 0u);
    const std::string cursor = Cursor();
    // The first row stays updated, the third is not reached.
    EXPECT_EQ(Params(positioned(cursor)).size(), 2u);
    EXPECT_EQ(host_.id_requests().size(), 2u);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "23000");
    EXPECT_EQ(stream_->stmt_main, nullptr);
    EXPECT_EQ(stream_->written_minx, 2147483647.0);
    // The row written is in the log; the failed one is not.
    ASSERT_EQ(DB_log_close(instance_, number), 0);
    const scli::LogRow *stored = store_->find("bob", "gained");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(store_->ids("bob", stored->data_id), (std::vector<int32_t>{500}));
}

TEST_F(StreamUpdate, IdAllocatorFailureEndsThePass)
{
    set_up_polygons("name = 'x'");
    answer_reads({}, {5, 6});
    host_.fail_ids(-49);
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), -49);
    EXPECT_EQ(Cursor(), "");
    EXPECT_EQ(stream_->stmt_main, nullptr);
}

TEST_F(StreamUpdate, LongCursorNamesStandWhole)
{
    const std::string prefix(60, 'c');
    scli::options().cursor_prefix = prefix;
    set_up_polygons("name = 'x'");
    answer_reads({}, {5});
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 2, defs_), 0);
    ASSERT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), 0);
    const std::string cursor = Cursor();
    EXPECT_EQ(cursor.rfind(prefix, 0), 0u);
    EXPECT_GT(cursor.size(), prefix.size());
    EXPECT_EQ(Params(positioned(cursor)).size(), 1u);
}

TEST_F(StreamUpdate, NullShapeTakesThePlainPath)
{
    set_up_polygons("name = 'x'");
    void *values[] = {name_, &area_.feature};
    const int16_t no_shape[] = {2, 1};
    ASSERT_EQ(DB_stream_execute_update_table(stream_, no_shape, values, 0), 0);
    const std::string sql = "UPDATE gis:bob.t SET " + kPolygonSet + " WHERE (name = 'x')";
    EXPECT_EQ(Statements(), Strings{sql});
    EXPECT_EQ(Params(sql), (std::vector<Strings>{{"lot", "NULL", "NULL"}}));
    EXPECT_TRUE(host_.id_requests().empty());
    EXPECT_EQ(stream_->written_minx, 2147483647.0);
}

TEST_F(StreamUpdate, RowsGoIntoTheLogBeforeTheyChange)
{
    ASSERT_EQ(DB_log_init(instance_), 0);
    LOGFILE log{};
    memcpy(log.tag, LOGINFO_TAG, 4);
    strcpy(log.name, "changed");
    strcpy(log.table_name, "gis:bob.p");
    log.flags = LOGINFO_TABLE;
    log.registration = registration_of("p", 8, REG_ROWID_COLUMN, "objectid");
    log.registration_id = 8;
    host_.add_registration(log.registration);
    int32_t number = 0;
    ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number), 0);
    ASSERT_EQ(init_update("p", {"a"}, "a = 0"), 0);
    DB_COLUMN_DEF defs[] = {column_def("a", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 1, defs), 0);
    int32_t a = 1;
    void *values[] = {&a};
    const int16_t present[] = {2};
    MarkNow();
    ASSERT_EQ(DB_stream_execute_update_table(stream_, present, values, number), 0);
    const Strings run = Statements();
    ASSERT_EQ(run.size(), 2u);
    EXPECT_EQ(run[0].rfind("INSERT INTO ", 0), 0u);
    EXPECT_NE(run[0].find("objectid FROM gis:bob.p  WHERE a = 0"), std::string::npos) << run[0];
    EXPECT_EQ(run[1], "UPDATE gis:bob.p SET  a = ? WHERE (a = 0)");
    ASSERT_EQ(DB_log_close(instance_, number), 0);
}

TEST_F(StreamUpdate, PrepareFailuresByState)
{
    cache_layer(polygons());
    const struct {
        bool shape;
        const char *sqlstate;
        int32_t rc;
    } cases[] = {
        {false, "S0002", ZE_TABLE_NOT_FOUND}, {false, "S0022", ZE_COLUMN_NOT_FOUND},
        {false, "42000", ZE_DBMS_ERROR},      {true, "S0002", ZE_TABLE_NOT_FOUND},
        {true, "S0022", ZE_COLUMN_NOT_FOUND}, {true, "42000", ZE_NO_PERMISSIONS},
        {true, "HY000", ZE_DBMS_ERROR},
    };
    DB_COLUMN_DEF plain[] = {column_def("a", VE_INTEGER)};
    int32_t a = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.shape ? "shape " : "plain ") + c.sqlstate);
        if (c.shape) {
            ASSERT_EQ(init_update("t", {"name", "shape"}, "name = 'x'"), 0);
            ASSERT_EQ(DB_stream_init_update_buffer(stream_, 2, defs_), 0);
            scli::on_sql(kExisting).at_prepare(SQL_ERROR, {c.sqlstate, -206, "x"});
        } else {
            ASSERT_EQ(init_update("p", {"a"}, "a = 0"), 0);
            ASSERT_EQ(DB_stream_init_update_buffer(stream_, 1, plain), 0);
            scli::on_sql("UPDATE gis:bob.p SET  a = ? WHERE (a = 0)")
                .at_prepare(SQL_ERROR, {c.sqlstate, -206, "x"});
        }
        void *shape_values[] = {name_, &area_.feature};
        void *plain_values[] = {&a};
        const int16_t present[] = {2, 2};
        int32_t rc = 0;
        quiet_stderr([&] {
            rc = DB_stream_execute_update_table(stream_, present,
                                                c.shape ? shape_values : plain_values, 0);
        });
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(stream_->stmt_main, nullptr);
        DB_EXT_ERROR xerr;
        DB_stream_get_xerr(&xerr, stream_);
        EXPECT_STREQ(xerr.text, c.sqlstate);
        DB_stream_close(stream_, 0, 0);
    }
}

TEST_F(StreamUpdate, SetUpRefusals)
{
    LAYER *layer = cache_layer(polygons());
    const struct {
        const char *table;
        Strings columns;
        const char *where;
        int32_t rc;
    } cases[] = {
        {"t; DROP TABLE x", {"a"}, nullptr, ZE_INVALID_IDENTIFIER},
        {"p", {}, nullptr, ZE_INVALID_ARGUMENT},
        // A condition that closes the parentheses put around it could undo
        // the update's own condition.
        {"p", {"a"}, "a = 1) OR (1 = 1", ZE_INVALID_ARGUMENT},
        {"p", {"a"}, "a = ')' OR b = '('", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.table);
        MarkNow();
        EXPECT_EQ(init_update(c.table, c.columns, c.where), c.rc); // the text freed either way
        EXPECT_EQ(Statements(), Strings{});
    }
    // The layer's update needs the bit of value 8.
    layer->privileges = VE_PRIV_SELECT | VE_PRIV_UPDATE;
    EXPECT_EQ(init_update("t", {"name", "shape"}, "name = 'x'"), ZE_NO_PERMISSIONS);
}

TEST_F(StreamUpdate, BufferLayout)
{
    ASSERT_EQ(init_update("p", {"a", "b"}, nullptr), 0);
    DB_COLUMN_DEF one[] = {column_def("a", VE_INTEGER)};
    EXPECT_EQ(DB_stream_init_update_buffer(stream_, 1, one), ZE_INVALID_ARGUMENT);
    DB_COLUMN_DEF bad[] = {column_def("a", VE_INTEGER), column_def("b", 42)};
    StderrCapture err;
    EXPECT_EQ(DB_stream_init_update_buffer(stream_, 2, bad), ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(err.text(), "DB_stream_init_update_buffer::Invalid column data type (42)\n");
    // Without a laid-out buffer nothing runs.
    int32_t a = 1;
    void *values[] = {&a, &a};
    const int16_t present[] = {2, 2};
    MarkNow();
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), ZE_NULL_POINTER);
    EXPECT_EQ(Journal().size(), 0u);
}

class StreamUpdateNoSrid : public StreamUpdate
{
  protected:
    void SetUp() override
    {
        srid_found_ = false;
        StreamUpdate::SetUp();
    }
};

TEST_F(StreamUpdateNoSrid, ShapeWithoutSridChangesNothing)
{
    set_up_polygons("name = 'x'");
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    EXPECT_EQ(DB_stream_execute_update_table(stream_, present, values, 0), ZE_FAILURE);
    EXPECT_EQ(Statements(), Strings{});
}
