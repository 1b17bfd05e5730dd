// One-row update and delete: the statistics step (never committed) and the
// UPDATE with its optimizer directive in order, prepared once for a series
// of rows and again only for a row of another form; the WHERE column by the
// row-id flag; the row nobody has; a failed row; the automatic log; the
// set-up's WHERE text kept until the close; the delete of a row with its
// raster, of a row that does not exist and a failed delete.
#include "db/stream/db_stream_update_row.h"

#include <gtest/gtest.h>

#include <sqlext.h>

#include <string>
#include <vector>

#include "base/util/ve_loginfo.h"
#include "base/util/zel_errors.h"
#include "db/core/db_stream_internal.h"
#include "db/stream/db_stream_update.h"
#include "db/stream/db_stream_write_internal.h"
#include "tests/db/catalog/raster_fixture.h"
#include "tests/db/stream/write_fixture.h"
#include "tests/support/quiet_stderr.h"

using namespace write_test;

namespace
{

const std::string kStatisticsP = "UPDATE STATISTICS LOW FOR TABLE gis:bob.p";
const std::string kUpdateP =
    "UPDATE gis:bob.p SET /*+AVOID_FULL(gis:bob.p)*/ a = ?,  b = ? WHERE objectid = ?";
const std::string kStatisticsT = "UPDATE STATISTICS LOW FOR TABLE gis:bob.t";
const std::string kUpdateT =
    "UPDATE gis:bob.t SET /*+AVOID_FULL(gis:bob.t)*/ name = ?,  shape = VE_PolyFromZel(?,?,2) "
    "WHERE objectid = ?";
const std::string kUpdateTNoShape =
    "UPDATE gis:bob.t SET /*+AVOID_FULL(gis:bob.t)*/ name = ? WHERE objectid = ?";

class StreamUpdateRow : public WriteFixture
{
  protected:
    int32_t init_set_row(const REGISTRATION &registration, int32_t row_id, const Strings &columns)
    {
        names_ = columns;
        name_ptrs_.clear();
        for (const std::string &s : names_)
            name_ptrs_.push_back(s.c_str());
        return DB_stream_init_set_row(stream_, &registration, row_id,
                                      static_cast<int16_t>(names_.size()), name_ptrs_.data());
    }

    Strings Statements() const
    {
        Strings out;
        for (const std::string &sql : Executed())
            if (sql.find("zel:zel.") == std::string::npos && sql.rfind("select srid", 0) != 0 &&
                sql.rfind("SELECT rastercolumn_id", 0) != 0)
                out.push_back(sql);
        return out;
    }

    int PrepareCount(const std::string &sql) const
    {
        int n = 0;
        for (const scli::Call &c : Journal())
            n += c.fn == "SQLPrepare" && c.sql == sql;
        return n;
    }

    // Plain table p (registration 8, engine row ids in objectid): columns
    // a, b and the row id.
    void set_up_plain(int32_t row_id)
    {
        ASSERT_EQ(init_set_row(plain_, row_id, {"a", "b", "objectid"}), 0);
        ASSERT_EQ(DB_stream_init_update_buffer(stream_, 3, plain_defs_), 0);
        MarkNow();
    }

    // Layer t of polygons (registration 12, engine row ids in objectid):
    // name, shape and the row id.
    void set_up_layer(int32_t row_id)
    {
        cache_layer(polygons(), REG_ROWID_ENGINE);
        ASSERT_EQ(init_set_row(layer_reg_, row_id, {"name", "shape", "objectid"}), 0);
        ASSERT_EQ(DB_stream_init_update_buffer(stream_, 3, layer_defs_), 0);
        MarkNow();
    }

    REGISTRATION plain_ = registration_of("p", 8, REG_ROWID_ENGINE, "objectid");
    REGISTRATION layer_reg_ = registration_of("t", 12, REG_LAYER | REG_ROWID_ENGINE, "objectid");
    DB_COLUMN_DEF plain_defs_[3] = {column_def("a", VE_INTEGER), column_def("b", VE_STRING, 4),
                                    column_def("objectid", VE_INTEGER)};
    DB_COLUMN_DEF layer_defs_[3] = {column_def("name", VE_STRING, 10),
                                    column_def("shape", VE_SHAPE),
                                    column_def("objectid", VE_INTEGER)};
    char name_[4] = "lot";
    Shape area_{VE_ENTITY_AREA, {{0, 0}, {4000, 0}, {4000, 3000}, {0, 0}}};
};

} // namespace

TEST_F(StreamUpdateRow, SeriesOfRowsPreparesOnce)
{
    set_up_plain(-1);
    EXPECT_STREQ(stream_->where_text, "gis:bob.p.objectid = ? ");
    int32_t a = 1, id = 5;
    char b[] = "x";
    void *values[] = {&a, b, &id};
    const int16_t present[] = {2, 2, 2};
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    a = 2, id = 6, b[0] = 'y';
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    // The statistics step is not committed, and comes once with the UPDATE.
    EXPECT_EQ(Statements(), (Strings{kStatisticsP, kUpdateP, kUpdateP}));
    EXPECT_EQ(PrepareCount(kUpdateP), 1);
    EXPECT_EQ(Params(kUpdateP), (std::vector<Strings>{{"1", "x", "5"}, {"2", "y", "6"}}));
    EXPECT_NE(stream_->stmt_main, nullptr); // kept for the next row
    DB_stream_close(stream_, 0, 0);
    EXPECT_EQ(stream_->stmt_main, nullptr);
}

TEST_F(StreamUpdateRow, WhereTextOfTheSetUp)
{
    cache_layer(polygons(), REG_ROWID_ENGINE);
    const struct {
        REGISTRATION registration;
        int32_t row_id;
        Strings columns;
        const char *where;
    } cases[] = {
        {plain_, -1, {"a", "objectid"}, "gis:bob.p.objectid = ? "},
        {plain_, 9, {"a", "objectid"}, "gis:bob.p.objectid = 9"},
        {layer_reg_, 9, {"name", "objectid"}, "gis:bob.t.VE_ROW_ID = 9"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.where);
        ASSERT_EQ(init_set_row(c.registration, c.row_id, c.columns), 0);
        EXPECT_STREQ(stream_->where_text, c.where);
    }
    // A table whose name cannot stand in SQL, or without a row-id column.
    REGISTRATION bad = registration_of("p;x", 8, REG_ROWID_ENGINE, "objectid");
    EXPECT_EQ(init_set_row(bad, 1, {"a", "objectid"}), ZE_INVALID_IDENTIFIER);
    REGISTRATION none = registration_of("p", 8, 0, "");
    EXPECT_EQ(init_set_row(none, 1, {"a", "objectid"}), ZE_NO_ROW_QUERY_COLUMN);
}

TEST_F(StreamUpdateRow, WhereColumnFollowsTheRowIdFlag)
{
    set_up_layer(-1);
    void *values[] = {name_, &area_.feature, nullptr};
    int32_t id = 5;
    values[2] = &id;
    const int16_t present[] = {2, 2, 2};
    // Without the flag the id is a value of the set-up's row-id column,
    // never of the spatial column.
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    EXPECT_EQ(Statements(), (Strings{kStatisticsT, kUpdateT}));
    // With it, of the column given; the row's VE_ROW_ID is looked up first.
    MarkNow();
    scli::on_sql("SELECT VE_ROW_ID from gis:bob.t WHERE altid = ?")
        .columns({{"VE_ROW_ID", SQL_INTEGER}})
        .row({scli::i32(77)});
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 1, "altid", 0), 0);
    const std::string by_alt = "UPDATE gis:bob.t SET /*+AVOID_FULL(gis:bob.t)*/ name = ?,  shape = "
                               "VE_PolyFromZel(?,?,2) WHERE altid = ?";
    EXPECT_EQ(Statements(),
              (Strings{"SELECT VE_ROW_ID from gis:bob.t WHERE altid = ?", kStatisticsT, by_alt}));
    // A column given that cannot stand in SQL.
    EXPECT_EQ(DB_stream_execute_update_row(stream_, present, values, 1, "alt id", 0),
              ZE_INVALID_IDENTIFIER);
}

TEST_F(StreamUpdateRow, NullShapeKeepsTheShapeAndTheNextShapeIsWritten)
{
    set_up_layer(-1);
    int32_t id = 5;
    void *values[] = {name_, &area_.feature, &id};
    const int16_t no_shape[] = {2, 1, 2};
    const int16_t present[] = {2, 2, 2};
    ASSERT_EQ(DB_stream_execute_update_row(stream_, no_shape, values, 0, nullptr, 0), 0);
    id = 6;
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    id = 7;
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    EXPECT_EQ(Statements(),
              (Strings{kStatisticsT, kUpdateTNoShape, kStatisticsT, kUpdateT, kUpdateT}));
    EXPECT_EQ(Params(kUpdateTNoShape), (std::vector<Strings>{{"lot", "5"}}));
    const std::vector<Strings> shaped = Params(kUpdateT);
    ASSERT_EQ(shaped.size(), 2u);
    EXPECT_EQ(shaped[0][0], "lot");
    EXPECT_EQ(shaped[0][2], "NULL"); // no annotation text
    EXPECT_EQ(shaped[0][3], "6");
    EXPECT_EQ(shaped[1][3], "7");
    // Only a NULL shape besides the id: nothing to change, nothing run.
    DB_COLUMN_DEF two[] = {column_def("shape", VE_SHAPE), column_def("objectid", VE_INTEGER)};
    ASSERT_EQ(init_set_row(layer_reg_, -1, {"shape", "objectid"}), 0);
    ASSERT_EQ(DB_stream_init_update_buffer(stream_, 2, two), 0);
    MarkNow();
    void *pair[] = {&area_.feature, &id};
    const int16_t null_shape[] = {1, 2};
    EXPECT_EQ(DB_stream_execute_update_row(stream_, null_shape, pair, 0, nullptr, 0), 0);
    EXPECT_EQ(Statements(), Strings{});
}

TEST_F(StreamUpdateRow, RowNobodyHasAndFailedRow)
{
    set_up_plain(-1);
    scli::on_sql(kUpdateP).no_data();
    scli::on_sql(kUpdateP).fail(SQL_ERROR, {"23000", -268, "unique constraint"});
    int32_t a = 1, id = 5;
    char b[] = "x";
    void *values[] = {&a, b, &id};
    const int16_t present[] = {2, 2, 2};
    EXPECT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0),
              ZE_NO_ROWS_MATCHED);
    EXPECT_NE(stream_->stmt_main, nullptr); // no failure: kept
    StderrCapture err;
    EXPECT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), ZE_DBMS_ERROR);
    EXPECT_EQ(err.text().rfind("S_execute_update_table  Execute Error (-1).\n", 0), 0u);
    EXPECT_EQ(stream_->stmt_main, nullptr);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "23000");
    // The next row prepares again.
    ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0), 0);
    EXPECT_EQ(Statements(), (Strings{kStatisticsP, kUpdateP, kUpdateP, kStatisticsP, kUpdateP}));
}

TEST_F(StreamUpdateRow, PrepareFailureByState)
{
    const struct {
        const char *sqlstate;
        int32_t rc;
    } cases[] = {{"S0002", ZE_TABLE_NOT_FOUND}, {"S0022", ZE_COLUMN_NOT_FOUND}, {"42000", -51}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        set_up_plain(-1);
        scli::on_sql(kUpdateP).at_prepare(SQL_ERROR, {c.sqlstate, -206, "x"});
        int32_t a = 1, id = 5;
        char b[] = "x";
        void *values[] = {&a, b, &id};
        const int16_t present[] = {2, 2, 2};
        int32_t rc = 0;
        quiet_stderr(
            [&] { rc = DB_stream_execute_update_row(stream_, present, values, 0, nullptr, 0); });
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(stream_->stmt_main, nullptr);
    }
}

TEST_F(StreamUpdateRow, AutomaticLogTakesTheRowsIds)
{
    ASSERT_EQ(DB_log_init(instance_), 0);
    set_up_layer(-1);
    const struct {
        uint32_t flags;
        std::vector<int32_t> logged;
    } cases[] = {
        {LOGINFO_LAYER, {77}}, // the VE_ROW_ID looked up
        {LOGINFO_TABLE, {5}},  // the registered row-id value
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags);
        LOGFILE log{};
        memcpy(log.tag, LOGINFO_TAG, 4);
        snprintf(log.name, sizeof(log.name), "upd%d", n++);
        strcpy(log.table_name, "gis:bob.t");
        log.flags = c.flags;
        log.registration = layer_reg_;
        log.registration_id = 12;
        log.layer_id = 12;
        int32_t number = 0;
        ASSERT_EQ(DB_log_open(instance_, &log, DB_LOG_REPLACE, &number), 0);
        scli::on_sql("SELECT VE_ROW_ID from gis:bob.t WHERE objectid = ?")
            .columns({{"VE_ROW_ID", SQL_INTEGER}})
            .row({scli::i32(77)});
        int32_t id = 5;
        void *values[] = {name_, &area_.feature, &id};
        const int16_t present[] = {2, 2, 2};
        ASSERT_EQ(DB_stream_execute_update_row(stream_, present, values, 1, "objectid", number), 0);
        ASSERT_EQ(DB_log_close(instance_, number), 0);
        stream_->auto_log = 0;
        const scli::LogRow *stored = store_->find("bob", "upd" + std::to_string(n - 1));
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(store_->ids("bob", stored->data_id), c.logged);
    }
}

TEST_F(StreamUpdateRow, DeleteOfOneRow)
{
    const std::string sql = "DELETE FROM gis:bob.p WHERE objectid = 5";
    MarkNow();
    ASSERT_EQ(DB_stream_delete_row(stream_, &plain_, 5), 0);
    EXPECT_EQ(Statements(), Strings{sql});
    // No such row.
    scli::on_sql(sql).no_data();
    EXPECT_EQ(DB_stream_delete_row(stream_, &plain_, 5), ZE_OBJECT_NOT_FOUND);
    scli::on_sql(sql).row_count(0);
    EXPECT_EQ(DB_stream_delete_row(stream_, &plain_, 5), ZE_OBJECT_NOT_FOUND);
    // A failed delete.
    scli::on_sql(sql).fail(SQL_ERROR, {"HY000", -1, "broken"});
    StderrCapture err;
    EXPECT_EQ(DB_stream_delete_row(stream_, &plain_, 5), ZE_DBMS_ERROR);
    EXPECT_EQ(err.text().rfind("DB_stream_delete_row() Execute Error (-1).\n", 0), 0u);
    DB_EXT_ERROR xerr;
    DB_stream_get_xerr(&xerr, stream_);
    EXPECT_STREQ(xerr.text, "HY000");
    // A registration that names no row-id column deletes nothing.
    MarkNow();
    REGISTRATION none = registration_of("p", 8, 0, "");
    EXPECT_EQ(DB_stream_delete_row(stream_, &none, 5), ZE_NO_ROW_QUERY_COLUMN);
    EXPECT_EQ(Statements(), Strings{});
}

TEST_F(StreamUpdateRow, DeleteTakesTheRowsRaster)
{
    raster_test::answer_raster_columns();
    auto answer_by_name = [] {
        scli::on_sql(catalog_test::raster_by_table(false))
            .columns(raster_test::raster_columns())
            .row({scli::i32(4),
                  scli::null(),
                  scli::varchar("gis"),
                  scli::varchar("bob"),
                  scli::varchar("parcels"),
                  scli::varchar("image"),
                  scli::i32(1700000000),
                  scli::null(),
                  scli::i32(1),
                  scli::i32(0),
                  scli::i32(0),
                  scli::null(),
                  scli::null(),
                  scli::null(),
                  scli::null(),
                  scli::null(),
                  scli::null(),
                  scli::null(),
                  scli::null(),
                  scli::i32(0)})
            .repeat();
    };
    answer_by_name();
    const std::string scan = raster_test::kBandScan + " WHERE raster_id = 5 ORDER BY rasterband_id";
    scli::on_sql(scan).columns(raster_test::band_columns()).repeat();
    const std::string rasters_delete =
        "DELETE FROM " + raster_test::kRasters + " WHERE raster_id = 5";

    // The raster column is the row-id column: the row id is the raster's.
    REGISTRATION by_raster = registration_of("parcels", 9, REG_RASTER_COLUMN, "");
    MarkNow();
    ASSERT_EQ(DB_stream_delete_row(stream_, &by_raster, 5), 0);
    Strings run = Statements();
    ASSERT_GE(run.size(), 2u);
    EXPECT_EQ(run[0], "DELETE FROM gis:bob.parcels WHERE image = 5");
    EXPECT_EQ(run[1], scan);
    EXPECT_NE(std::find(run.begin(), run.end(), rasters_delete), run.end());

    // Another row-id column: the raster id is read from the row first.
    REGISTRATION by_id =
        registration_of("parcels", 9, REG_RASTER_COLUMN | REG_ROWID_ENGINE, "objectid");
    scli::on_sql("SELECT image FROM gis:bob.parcels WHERE objectid = 3")
        .columns({{"image", SQL_INTEGER}})
        .row({scli::i32(5)});
    MarkNow();
    ASSERT_EQ(DB_stream_delete_row(stream_, &by_id, 3), 0);
    run = Statements();
    ASSERT_GE(run.size(), 3u);
    EXPECT_EQ(run[0], "SELECT image FROM gis:bob.parcels WHERE objectid = 3");
    EXPECT_EQ(run[1], "DELETE FROM gis:bob.parcels WHERE objectid = 3");
    EXPECT_EQ(run[2], scan);

    // No such row: no raster is deleted.
    scli::on_sql("DELETE FROM gis:bob.parcels WHERE image = 5").no_data();
    MarkNow();
    EXPECT_EQ(DB_stream_delete_row(stream_, &by_raster, 5), ZE_OBJECT_NOT_FOUND);
    EXPECT_EQ(Statements(), Strings{"DELETE FROM gis:bob.parcels WHERE image = 5"});
}
