// Envelopes of written rows: each result against one computed here from the
// layer's coordinate reference (system units = (plane - false origin) * xy
// units, minima rounded down and maxima up); the exact envelope SELECT over
// the stream's WHERE text, kept after the rows of a one-row update; the new
// shape alone, the current shapes alone, and neither; failures of the
// computation; a delete of a row without a shape.
#include "db/stream/db_stream_envelope.h"

#include <gtest/gtest.h>

#include <math.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "base/util/ve_shape_error.h"
#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_state_write_buffer.h"
#include "db/stream/db_stream_update.h"
#include "db/stream/db_stream_update_row.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

// Envelopes compare and print by their four members.
static bool operator==(const ENVELOPE &a, const ENVELOPE &b)
{
    return a.minx == b.minx && a.miny == b.miny && a.maxx == b.maxx && a.maxy == b.maxy;
}

static std::ostream &operator<<(std::ostream &os, const ENVELOPE &e)
{
    return os << "{" << e.minx << ", " << e.miny << ", " << e.maxx << ", " << e.maxy << "}";
}

namespace
{

// The coordinate reference of the fixture's layers.
constexpr double kFalseX = -400, kFalseY = -300, kUnits = 1000;

// A plane box in system units, computed here.
ENVELOPE to_system(const VE_ENVELOPE &b)
{
    return ENVELOPE{static_cast<int32_t>(floor((b.minx - kFalseX) * kUnits)),
                    static_cast<int32_t>(floor((b.miny - kFalseY) * kUnits)),
                    static_cast<int32_t>(ceil((b.maxx - kFalseX) * kUnits)),
                    static_cast<int32_t>(ceil((b.maxy - kFalseY) * kUnits))};
}

ENVELOPE unite(const ENVELOPE &a, const ENVELOPE &b)
{
    return ENVELOPE{std::min(a.minx, b.minx), std::min(a.miny, b.miny), std::max(a.maxx, b.maxx),
                    std::max(a.maxy, b.maxy)};
}

// The envelope SELECT over the layer t of polygons, with a WHERE text.
std::string envelope_sql(const std::string &where)
{
    const std::string c = "t.shape";
    return "SELECT min(VE_Xmin(" + c + ")),min(VE_Ymin(" + c + ")),max(VE_Xmax(" + c +
           ")),max(VE_Ymax(" + c + ")),min(VE_Zmin(" + c + ")),max(VE_Zmax(" + c +
           ")) FROM gis:bob.t  where  (" + where + ")";
}

std::vector<scli::Column> box_columns()
{
    return {{"minx", SQL_DOUBLE}, {"miny", SQL_DOUBLE}, {"maxx", SQL_DOUBLE},
            {"maxy", SQL_DOUBLE}, {"minz", SQL_DOUBLE}, {"maxz", SQL_DOUBLE}};
}

// The DBMS's answer: the box, or NULLs when no row has a shape.
void answer_box(const std::string &sql, const VE_ENVELOPE *box)
{
    scli::Answer &a = scli::on_sql(sql).columns(box_columns());
    if (box != nullptr)
        a.row({scli::f64(box->minx), scli::f64(box->miny), scli::f64(box->maxx),
               scli::f64(box->maxy), scli::f64(0), scli::f64(0)});
    else
        a.row({scli::null(), scli::null(), scli::null(), scli::null(), scli::null(), scli::null()});
}

const ENVELOPE kUntouched{-1, -2, -3, -4};

class StreamEnvelope : public WriteFixture
{
  protected:
    void SetUp() override
    {
        WriteFixture::SetUp();
        cache_layer(polygons(), REG_ROWID_ENGINE);
    }

    // An update of layer t's rows whose name is 'x', columns name and shape.
    void set_up_update()
    {
        const char *columns[] = {"name", "shape"};
        ASSERT_EQ(DB_stream_init_update_table(stream_, "t", 2, columns, strdup("name = 'x'")), 0);
        ASSERT_EQ(DB_stream_init_update_buffer(stream_, 2, defs_), 0);
        MarkNow();
    }

    DB_COLUMN_DEF defs_[2] = {column_def("name", VE_STRING, 10), column_def("shape", VE_SHAPE)};
    char name_[4] = "lot";
    Shape area_{VE_ENTITY_AREA, {{0, 0}, {4000, 0}, {4000, 3000}, {0, 0}}};
    // Current shapes, not on whole system units.
    const VE_ENVELOPE current_{-399.5004, -299.25, -389.9996, -298.0};
};

} // namespace

TEST_F(StreamEnvelope, InsertTakesTheNewShape)
{
    REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
    const char *columns[] = {"name", "shape"};
    ASSERT_EQ(DB_stream_init_insert_table(stream_, "t", &reg, 0, 2, columns), 0);
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2}, no_shape[] = {2, 1};
    ENVELOPE out = kUntouched;
    int32_t layer_id = -9;
    EXPECT_EQ(DB_envelope_get_insert(stream_, no_shape, values, &out, &layer_id), 0);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(layer_id, -9);
    EXPECT_EQ(DB_envelope_get_insert(stream_, present, values, &out, &layer_id), 0);
    EXPECT_EQ(out, (ENVELOPE{0, 0, 4000, 3000}));
    EXPECT_EQ(layer_id, 12);
    // A table without a shape column.
    REGISTRATION plain = registration_of("p", 0, 0, "");
    const char *plain_columns[] = {"a"};
    ASSERT_EQ(DB_stream_init_insert_table(stream_, "p", &plain, 0, 1, plain_columns), 0);
    out = kUntouched;
    EXPECT_EQ(DB_envelope_get_insert(stream_, present, values, &out, &layer_id), 0);
    EXPECT_EQ(out, kUntouched);
}

TEST_F(StreamEnvelope, UpdateUnitesCurrentAndNewShapes)
{
    const ENVELOPE shape{0, 0, 4000, 3000};
    const struct {
        const char *name;
        bool rows_with_shapes;
        bool new_shape;
        ENVELOPE expected;
    } cases[] = {
        {"both", true, true, unite(to_system(current_), shape)},
        {"the new shape set NULL", true, false, to_system(current_)},
        {"only rows without a shape", false, true, shape},
        {"neither", false, false, kUntouched},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        set_up_update();
        answer_box(envelope_sql("name = 'x'"), c.rows_with_shapes ? &current_ : nullptr);
        void *values[] = {name_, &area_.feature};
        const int16_t indicators[] = {2, static_cast<int16_t>(c.new_shape ? 2 : 1)};
        ENVELOPE out = kUntouched;
        int32_t layer_id = -9;
        EXPECT_EQ(DB_envelope_get_update(stream_, indicators, values, &out, &layer_id), 0);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(layer_id, c.expected == kUntouched ? -9 : 12);
        EXPECT_EQ(Executed(), Strings{envelope_sql("name = 'x'")});
        DB_stream_close(stream_, 0, 0);
    }
}

TEST_F(StreamEnvelope, UpdateFailureLeavesTheDiagnosticInTheStream)
{
    set_up_update();
    scli::on_sql(envelope_sql("name = 'x'")).fail(SQL_ERROR, {"HY000", -1, "broken"});
    void *values[] = {name_, &area_.feature};
    const int16_t present[] = {2, 2};
    ENVELOPE out = kUntouched;
    int32_t layer_id = -9;
    int32_t rc = 0;
    quiet_stderr([&] { rc = DB_envelope_get_update(stream_, present, values, &out, &layer_id); });
    EXPECT_EQ(rc, ZE_DBMS_ERROR);
    EXPECT_EQ(out, kUntouched);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "HY000");
    // A stream without a shape column asks nothing.
    const char *columns[] = {"a"};
    ASSERT_EQ(DB_stream_init_update_table(stream_, "p", 1, columns, nullptr), 0);
    DB_COLUMN_DEF a = column_def("a", VE_INTEGER);
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 1, &a), 0);
    MarkNow();
    EXPECT_EQ(DB_envelope_get_update(stream_, present, values, &out, &layer_id), 0);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(StreamEnvelope, OneRowUpdateKeepsItsWhereTextForLaterRows)
{
    REGISTRATION reg = registration_of("t", 12, REG_LAYER | REG_ROWID_ENGINE, "objectid");
    const char *columns[] = {"name", "shape", "objectid"};
    ASSERT_EQ(DB_stream_init_set_row(stream_, &reg, 9, 3, columns), 0);
    DB_COLUMN_DEF defs[] = {column_def("name", VE_STRING, 10), column_def("shape", VE_SHAPE),
                            column_def("objectid", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 3, defs), 0);
    int32_t id = 9;
    void *values[] = {name_, &area_.feature, &id};
    const int16_t present[] = {2, 2, 2};
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    MarkNow();
    const std::string sql = envelope_sql("gis:bob.t.VE_ROW_ID = 9");
    answer_box(sql, &current_);
    ENVELOPE out = kUntouched;
    int32_t layer_id = -9;
    EXPECT_EQ(DB_envelope_get_update(stream_, present, values, &out, &layer_id), 0);
    EXPECT_EQ(Executed(), Strings{sql});
    EXPECT_EQ(out, unite(to_system(current_), ENVELOPE{0, 0, 4000, 3000}));
}

TEST_F(StreamEnvelope, RowsUpdateBindsTheRowId)
{
    REGISTRATION reg = registration_of("t", 12, REG_LAYER | REG_ROWID_ENGINE, "objectid");
    const char *columns[] = {"name", "shape", "objectid"};
    ASSERT_EQ(DB_stream_init_set_row(stream_, &reg, -1, 3, columns), 0);
    DB_COLUMN_DEF defs[] = {column_def("name", VE_STRING, 10), column_def("shape", VE_SHAPE),
                            column_def("objectid", VE_INTEGER)};
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 3, defs), 0);
    MarkNow();
    const std::string sql = envelope_sql("bob.t.objectid = ?");
    answer_box(sql, &current_);
    VE_ENVELOPE box{};
    int32_t id = 5, layer_id = -9;
    EXPECT_EQ(
        DB_envelope_get_rows_update(stream_, nullptr, &box, nullptr, &id, "objectid", &layer_id),
        0);
    EXPECT_EQ(Executed(), Strings{sql});
    EXPECT_EQ(Params(sql), (std::vector<Strings>{{"5"}}));
    EXPECT_EQ(box.minx, current_.minx); // layer coordinates, as computed
    EXPECT_EQ(box.maxy, current_.maxy);
    EXPECT_EQ(layer_id, 12);
    EXPECT_EQ(
        DB_envelope_get_rows_update(stream_, nullptr, &box, nullptr, &id, "object id", &layer_id),
        ZE_INVALID_IDENTIFIER);
}

TEST_F(StreamEnvelope, ReadjustConvertsTheBox)
{
    set_up_update();
    const VE_ENVELOPE empty{1, 1, 0, 0};
    const VE_ENVELOPE huge{-399, -299, 1e12, -298};
    const ENVELOPE shape{0, 0, 4000, 3000};
    const struct {
        const char *name;
        const VE_ENVELOPE &box;
        bool new_shape;
        int32_t rc;
        ENVELOPE expected;
    } cases[] = {
        {"box and shape", current_, true, 0, unite(to_system(current_), shape)},
        {"box alone", current_, false, 0, to_system(current_)},
        {"shape alone", empty, true, 0, shape},
        {"neither", empty, false, 0, kUntouched},
        {"beyond system units", huge, true, VES_map_shape_error_to_zel(MOX_E_COORD_OUT_OF_RANGE),
         kUntouched},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        void *values[] = {name_, &area_.feature};
        const int16_t indicators[] = {2, static_cast<int16_t>(c.new_shape ? 2 : 1)};
        ENVELOPE out = kUntouched;
        EXPECT_EQ(DB_envelope_readjust(stream_, indicators, values, &c.box, &out), c.rc);
        EXPECT_EQ(out, c.expected);
    }
    // A stream set up for an update through a state reads its shape column
    // from there: here the first of the caller's columns.
    REGISTRATION reg = registration_of("t", 12, REG_LAYER | REG_MULTIVERSION, "objectid");
    DB_COLUMN_DEF defs[] = {column_def("shape", VE_SHAPE), column_def("objectid", VE_INTEGER)};
    ASSERT_EQ(DB_stream_update_row_state_init(stream_, &reg, 2, defs), 0);
    int32_t id = 1;
    void *values[] = {&area_.feature, &id};
    const int16_t present[] = {2, 2};
    ENVELOPE out = kUntouched;
    EXPECT_EQ(DB_envelope_readjust(stream_, present, values, &empty, &out), 0);
    EXPECT_EQ(out, shape);
}

TEST_F(StreamEnvelope, DeleteTakesTheRowsShape)
{
    REGISTRATION reg = registration_of("t", 12, REG_LAYER, "objectid");
    const std::string sql = envelope_sql("t.VE_ROW_ID = 5");
    answer_box(sql, &current_);
    ENVELOPE out = kUntouched;
    int32_t layer_id = -9;
    MarkNow();
    EXPECT_EQ(DB_envelope_get_delete(stream_, &reg, 5, &out, &layer_id), 0);
    EXPECT_EQ(Executed(), Strings{sql});
    EXPECT_EQ(out, to_system(current_));
    EXPECT_EQ(layer_id, 12);
    // A row without a shape, or none at all.
    answer_box(sql, nullptr);
    out = kUntouched;
    layer_id = -9;
    EXPECT_EQ(DB_envelope_get_delete(stream_, &reg, 5, &out, &layer_id), ZE_OBJECT_NOT_FOUND);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(layer_id, -9);
}
