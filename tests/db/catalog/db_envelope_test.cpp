// Tests the extent computations: the restricted SELECT for each source (the
// layer's table alone, other tables and a condition, a log file of a layer
// or of a table, an id list, a versioned table read through its view), the
// presets a NULL aggregate leaves, the whole-layer form, the mapping of
// failures, names refused before any SQL, and a fault sweep.
#include "db/catalog/db_envelope_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/core/db_xerr.h"
#include "db/core/db_xerr_internal.h"
#include "db/version/db_mv_view_internal.h"
#include "tests/db/catalog/catalog_sql.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;
using layer_test::LayerRow;

// The six aggregates over roads.shape, as every restricted form asks them.
const std::string kSix = "SELECT min(VE_Xmin(roads.shape)),min(VE_Ymin(roads.shape)),"
                         "max(VE_Xmax(roads.shape)),max(VE_Ymax(roads.shape)),"
                         "min(VE_Zmin(roads.shape)),max(VE_Zmax(roads.shape)) FROM ";
const std::string kWhole = "SELECT min(VE_Xmin(shape)),min(VE_Ymin(shape)),max(VE_Xmax(shape)),"
                           "max(VE_Ymax(shape)) FROM gis:bob.roads ";

std::vector<scli::Column> aggregate_columns(int n)
{
    std::vector<scli::Column> c;
    for (int i = 0; i < n; i++)
        c.push_back(scli::Column("", SQL_DOUBLE));
    return c;
}

scli::Answer &answer_six(const std::string &sql, const scli::Row &row)
{
    return scli::on_sql(sql).columns(aggregate_columns(6)).row(row);
}

LAYER roads_layer()
{
    LAYER l;
    memset(&l, 0, sizeof(l));
    l.layer_id = 7;
    strcpy(l.database_name, "gis");
    strcpy(l.owner, "bob");
    strcpy(l.table_name, "roads");
    strcpy(l.spatial_column, "shape");
    return l;
}

// A log of bob's with data id 42 over bob's parcels (row-id column
// objectid); flags as given.
LOGFILE log_of(uint32_t flags, const char *name = "bob.picked")
{
    LOGFILE log;
    memset(&log, 0, sizeof(log));
    strcpy(log.name, name);
    log.data_id = 42;
    log.flags = flags;
    strcpy(log.registration.owner, "bob");
    strcpy(log.registration.table_name, "parcels");
    strcpy(log.registration.rowid_column, "objectid");
    return log;
}

const std::string kLogTable = " TABLE (MULTISET(SELECT DISTINCT zel_row_id FROM "
                              "gis:bob_zel_logfile_data WHERE gis:bob_zel_logfile_data."
                              "logfile_data_id = 42)) LF_, ";

class Envelope : public layer_test::LayerFixture
{
  protected:
    std::pair<int32_t, std::string> build(std::vector<const char *> tables, const char *where,
                                          const LOGFILE *log, int32_t *flag)
    {
        VE_SQL_CONSTRUCT c{static_cast<int32_t>(tables.size()), const_cast<char **>(tables.data()),
                           const_cast<char *>(where)};
        DB_MV_QUERY_INFO none;
        memset(&none, 0, sizeof(none));
        char *sql = nullptr;
        const int32_t rc = db_envelope_select_build(instance_, &layer_, &c, &none, log, flag, &sql);
        std::string text = sql != nullptr ? sql : "";
        free(sql);
        return {rc, text};
    }

    LAYER layer_ = roads_layer();
    VE_ENVELOPE env_{-1, -1, -1, -1};
    double zlow_ = -1, zhigh_ = -1;
};

} // namespace

TEST_F(Envelope, RestrictedStatementForEachSource)
{
    const LOGFILE layer_log = log_of(LOGINFO_LAYER);
    const LOGFILE table_log = log_of(LOGINFO_TABLE);
    const struct {
        const char *what;
        std::vector<const char *> tables;
        const char *where;
        const LOGFILE *log;
        std::string sql;
        int32_t flag;
    } cases[] = {
        {"the layer's table, listed twice",
         {"roads", "gis:bob.roads"},
         nullptr,
         nullptr,
         kSix + "gis:bob.roads ",
         0},
        {"an empty condition", {"bob.roads"}, "  where  ", nullptr, kSix + "gis:bob.roads ", 0},
        {"another table and a condition",
         {"parcels", "roads"},
         "WHERE roads.pid = parcels.id",
         nullptr,
         kSix + "parcels, gis:bob.roads  where  (roads.pid = parcels.id)",
         1},
        {"a layer's log",
         {"roads"},
         nullptr,
         &layer_log,
         kSix + kLogTable + "gis:bob.roads  where  LF_.zel_row_id = bob.parcels.VE_ROW_ID ",
         1},
        {"a table's log and a condition",
         {"roads"},
         "roads.kind = 'x'",
         &table_log,
         kSix + kLogTable +
             "gis:bob.roads  where  (roads.kind = 'x') and  ( LF_.zel_row_id = "
             "bob.parcels.objectid )",
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        int32_t flag = -1;
        const auto [rc, sql] = build(c.tables, c.where, c.log, &flag);
        EXPECT_EQ(rc, ZE_SUCCESS);
        EXPECT_EQ(sql, c.sql);
        EXPECT_EQ(flag, c.flag);
    }
    EXPECT_EQ(Executed(), Strings{}); // building runs nothing
}

TEST_F(Envelope, RowsGiveTheirExtentAndNullsLeaveThePresets)
{
    const std::string sql = kSix + "parcels, gis:bob.roads  where  (roads.pid = parcels.id)";
    const char *tables[] = {"parcels", "roads"};
    VE_SQL_CONSTRUCT c{2, const_cast<char **>(tables),
                       const_cast<char *>("roads.pid = parcels.id")};
    DB_MV_QUERY_INFO none;
    memset(&none, 0, sizeof(none));

    answer_six(sql, {scli::f64(1.5), scli::f64(2), scli::f64(30), scli::f64(40), scli::f64(-3),
                     scli::f64(9)});
    ASSERT_EQ(DB_layer_calculate_envelope(instance_, &layer_, &c, &none, 0, &env_, &zlow_, &zhigh_),
              ZE_SUCCESS);
    EXPECT_EQ(env_.minx, 1.5);
    EXPECT_EQ(env_.miny, 2);
    EXPECT_EQ(env_.maxx, 30);
    EXPECT_EQ(env_.maxy, 40);
    EXPECT_EQ(zlow_, -3);
    EXPECT_EQ(zhigh_, 9);

    // No row qualifies: every aggregate is NULL.
    answer_six(sql, scli::Row(6, scli::null()));
    ASSERT_EQ(DB_layer_calculate_envelope(instance_, &layer_, &c, &none, 0, &env_, &zlow_, &zhigh_),
              ZE_SUCCESS);
    EXPECT_EQ(env_.minx, 2147483647.0);
    EXPECT_EQ(env_.miny, 2147483647.0);
    EXPECT_EQ(env_.maxx, 0.0);
    EXPECT_EQ(env_.maxy, 0.0);
    EXPECT_EQ(zlow_, 0.0);
    EXPECT_EQ(zhigh_, 0.0);
    EXPECT_EQ(Executed(), (Strings{sql, sql}));
}

TEST_F(Envelope, WholeLayerReadsTheLayerAndAggregatesItsTable)
{
    layer_test::answer_layers(layer_test::by_id(7), {LayerRow{}});
    scli::on_sql(kWhole)
        .columns(aggregate_columns(4))
        .row({scli::f64(1), scli::f64(2), scli::f64(3), scli::f64(4)});
    VE_SQL_CONSTRUCT none_construct{0, nullptr, nullptr};
    DB_MV_QUERY_INFO none;
    memset(&none, 0, sizeof(none));
    ASSERT_EQ(DB_layer_calculate_envelope(instance_, &layer_, &none_construct, &none, 1, &env_,
                                          &zlow_, &zhigh_),
              ZE_SUCCESS);
    EXPECT_EQ(env_.minx, 1);
    EXPECT_EQ(env_.maxy, 4);
    EXPECT_EQ(zlow_, 0.0);
    EXPECT_EQ(zhigh_, 0.0);

    // An empty table: NULL aggregates read as 0.0; the cached layer is not read again.
    scli::on_sql(kWhole).columns(aggregate_columns(4)).row(scli::Row(4, scli::null()));
    ASSERT_EQ(db_layer_envelope_whole(7, &env_, &zlow_, &zhigh_), ZE_SUCCESS);
    EXPECT_EQ(env_.minx, 0.0);
    EXPECT_EQ(env_.miny, 0.0);
    EXPECT_EQ(env_.maxx, 0.0);
    EXPECT_EQ(env_.maxy, 0.0);

    // No row at all: the envelope stays as it was.
    VE_ENVELOPE kept{5, 6, 7, 8};
    scli::on_sql(kWhole).no_data();
    quiet_stderr([&] { EXPECT_EQ(DB_spix_get_envelope(kWhole.c_str(), &kept), ZE_SUCCESS); });
    EXPECT_EQ(kept.minx, 5);
    EXPECT_EQ(kept.maxy, 8);
    EXPECT_EQ(Executed(), (Strings{layer_test::by_id(7), "COMMIT", kWhole, kWhole, kWhole}));

    // A layer that cannot be read.
    layer_test::answer_layers(layer_test::by_id(9), {});
    EXPECT_EQ(db_layer_envelope_whole(9, &env_, &zlow_, &zhigh_), ZE_LAYER_NOT_FOUND);
}

TEST_F(Envelope, FailuresAreMapped)
{
    const struct {
        const char *sqlstate;
        int32_t code;
        bool recorded;
    } cases[] = {
        {"S0002", ZE_LAYER_NOT_FOUND, false},
        {"S0022", ZE_SYNTAX_ERROR, false},
        {"37000", ZE_SYNTAX_ERROR, false},
        {"HY000", ZE_DBMS_ERROR, true},
    };
    const std::string sql = kSix + "gis:bob.roads ";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sqlstate);
        for (bool at_prepare : {false, true}) {
            DB_instance_clear_xerr();
            scli::Answer &a = scli::on_sql(sql);
            if (at_prepare)
                a.at_prepare(SQL_ERROR, {c.sqlstate, -201, "refused"});
            else
                a.fail(SQL_ERROR, {c.sqlstate, -201, "refused"});
            quiet_stderr([&] {
                EXPECT_EQ(DB_exec_get_envelope(sql.c_str(), &env_, &zlow_, &zhigh_), c.code);
            });
            EXPECT_EQ(db_global_xerr.code, c.recorded ? ZE_DBMS_ERROR : 0);
            EXPECT_EQ(db_global_xerr.native_error, c.recorded ? -201 : 0);
        }
        DB_instance_clear_xerr();
        scli::on_sql(kWhole).fail(SQL_ERROR, {c.sqlstate, -201, "refused"});
        quiet_stderr([&] { EXPECT_EQ(DB_spix_get_envelope(kWhole.c_str(), &env_), c.code); });
        EXPECT_EQ(db_global_xerr.code, c.recorded ? ZE_DBMS_ERROR : 0);
    }
    // A failing fetch.
    answer_six(sql, scli::Row(6, scli::f64(1))).at_fetch(1, SQL_ERROR, {"HY000", -244, "gone"});
    quiet_stderr([&] {
        EXPECT_EQ(DB_exec_get_envelope(sql.c_str(), &env_, &zlow_, &zhigh_), ZE_DBMS_ERROR);
    });
    // The text of a refused statement goes to standard error.
    scli::on_sql(sql).fail(SQL_ERROR, {"37000", -201, "syntax"});
    StderrCapture err;
    DB_exec_get_envelope(sql.c_str(), &env_, &zlow_, &zhigh_);
    EXPECT_EQ(err.text(), "DB_exec_get_envelope() SQL Error(" + sql + ").\n");
}

TEST_F(Envelope, RowFormBindsItsParameter)
{
    const std::string sql = kSix + "gis:bob.roads  where  (bob.roads.objectid = ?)";
    const char *tables[] = {"bob.roads"};
    VE_SQL_CONSTRUCT c{1, const_cast<char **>(tables),
                       const_cast<char *>("bob.roads.objectid = ?")};
    answer_six(sql, scli::Row(6, scli::f64(5)));
    int32_t id = 314;
    ASSERT_EQ(DB_layer_calculate_row_envelope(nullptr, &layer_, &c, 0, &env_, &zlow_, &zhigh_, &id),
              ZE_SUCCESS);
    EXPECT_EQ(env_.minx, 5);
    EXPECT_EQ(catalog_test::params_of(sql), Strings{"314"});
    EXPECT_EQ(
        DB_layer_calculate_row_envelope(nullptr, &layer_, &c, 0, &env_, &zlow_, &zhigh_, nullptr),
        ZE_NULL_POINTER);
}

TEST_F(Envelope, IdListAndFids)
{
    const char *tables[] = {"roads"};
    VE_SQL_CONSTRUCT plain{1, const_cast<char **>(tables), nullptr};
    VE_SQL_CONSTRUCT cond{1, const_cast<char **>(tables), const_cast<char *>("roads.kind = 2")};
    const int32_t ids[] = {3, -1, 2000000000};
    const std::string in = " roads.VE_ROW_ID in (3,-1,2000000000)";
    answer_six(kSix + "gis:bob.roads  where " + in, scli::Row(6, scli::f64(1)));
    answer_six(kSix + "gis:bob.roads  where  (roads.kind = 2) and " + in,
               scli::Row(6, scli::f64(1)));
    EXPECT_EQ(
        db_envelope_get_by_id_list(instance_, &layer_, 3, ids, &plain, &env_, &zlow_, &zhigh_),
        ZE_SUCCESS);
    EXPECT_EQ(db_envelope_get_by_id_list(instance_, &layer_, 3, ids, &cond, &env_, &zlow_, &zhigh_),
              ZE_SUCCESS);
    // No ids: no statement, the empty envelope.
    EXPECT_EQ(
        db_envelope_get_by_id_list(instance_, &layer_, 0, nullptr, &plain, &env_, &zlow_, &zhigh_),
        ZE_SUCCESS);
    EXPECT_EQ(env_.minx, 2147483647.0);
    EXPECT_EQ(env_.maxx, 0.0);
    EXPECT_EQ(
        db_envelope_get_by_id_list(instance_, &layer_, -1, ids, &plain, &env_, &zlow_, &zhigh_),
        ZE_INVALID_ARGUMENT);
    EXPECT_EQ(Executed(), (Strings{kSix + "gis:bob.roads  where " + in,
                                   kSix + "gis:bob.roads  where  (roads.kind = 2) and " + in}));

    VE_ENVELOPE kept{1, 2, 3, 4};
    double z = 7;
    EXPECT_EQ(DB_envelope_get_by_fids(instance_, &layer_, 3, ids, &kept, &z, &z), ZE_SUCCESS);
    EXPECT_EQ(kept.minx, 1);
    EXPECT_EQ(z, 7);
}

TEST_F(Envelope, NamesThatCannotGoIntoSqlAreRefusedFirst)
{
    const LOGFILE bad_owner = log_of(LOGINFO_LAYER, "bo b.picked");
    LOGFILE bad_rowid = log_of(LOGINFO_TABLE);
    strcpy(bad_rowid.registration.rowid_column, "id)--");
    const struct {
        const char *what;
        std::vector<const char *> tables;
        const LOGFILE *log;
        const char *column;
        const char *table;
    } cases[] = {
        {"construct table", {"roads; drop table x"}, nullptr, "shape", "roads"},
        {"layer column", {"roads"}, nullptr, "shape)", "roads"},
        {"layer table", {"parcels"}, nullptr, "shape", "roads x"},
        {"log owner", {"roads"}, &bad_owner, "shape", "roads"},
        {"log row-id column", {"roads"}, &bad_rowid, "shape", "roads"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        strcpy(layer_.spatial_column, c.column);
        strcpy(layer_.table_name, c.table);
        int32_t flag = 0;
        const int32_t rc = build(c.tables, nullptr, c.log, &flag).first;
        EXPECT_TRUE(rc == ZE_INVALID_ARGUMENT || rc == ZE_INVALID_IDENTIFIER) << rc;
    }
    layer_ = roads_layer();
    VE_SQL_CONSTRUCT c{1, nullptr, nullptr};
    int32_t flag = 0;
    char *sql = nullptr;
    DB_MV_QUERY_INFO none{};
    EXPECT_EQ(db_envelope_select_build(instance_, &layer_, &c, &none, nullptr, &flag, &sql),
              ZE_NULL_POINTER);
    EXPECT_EQ(sql, nullptr);
    EXPECT_EQ(Executed(), Strings{});
}

TEST_F(Envelope, FaultSweepNeverLeaksOrReportsSuccess)
{
    const std::string sql = kSix + "parcels, gis:bob.roads  where  (roads.pid = parcels.id)";
    const char *tables[] = {"parcels", "roads"};
    VE_SQL_CONSTRUCT c{2, const_cast<char **>(tables),
                       const_cast<char *>("roads.pid = parcels.id")};
    DB_MV_QUERY_INFO none;
    memset(&none, 0, sizeof(none));
    const size_t first = scli::journal().size();
    answer_six(sql, scli::Row(6, scli::f64(1)));
    ASSERT_EQ(DB_layer_calculate_envelope(instance_, &layer_, &c, &none, 0, &env_, &zlow_, &zhigh_),
              ZE_SUCCESS);
    Strings names;
    for (size_t i = first; i < scli::journal().size(); i++)
        names.push_back(scli::journal()[i].fn);
    ASSERT_GT(names.size(), 3u);
    for (size_t n = 0; n < names.size(); n++) {
        // A failed free keeps its handle; a failed diagnostic read changes
        // nothing; without the database's name the names match as before.
        if (names[n] == "SQLFreeHandle" || names[n] == "SQLFreeStmt" ||
            names[n] == "SQLGetDiagRec" || names[n] == "SQLGetInfo")
            continue;
        SCOPED_TRACE(names[n]);
        answer_six(sql, scli::Row(6, scli::f64(1)));
        scli::fail_call("", scli::call_count("") + static_cast<int>(n) + 1, SQL_ERROR,
                        {"HY000", -999, "injected"});
        int32_t rc = 0;
        quiet_stderr([&] {
            rc = DB_layer_calculate_envelope(instance_, &layer_, &c, &none, 0, &env_, &zlow_,
                                             &zhigh_);
        });
        EXPECT_NE(rc, ZE_SUCCESS);
        for (const std::string &line : scli::leaks())
            EXPECT_NE(line.rfind("STMT", 0), 0u) << line;
    }
}

// Versioned tables are read through their views, named by their bare table
// names so that the aggregates' "roads.shape" reads from the view.
class VersionedEnvelope : public MvTest
{
};

TEST_F(VersionedEnvelope, LayerTableThroughItsView)
{
    info_.kind = DB_MV_CURRENT_ADDS;
    LAYER layer = roads_layer();
    const char *tables[] = {"roads", "bob.roads"};
    VE_SQL_CONSTRUCT c{2, const_cast<char **>(tables), nullptr};
    int32_t flag = -1;
    char *sql = nullptr;
    // The second listing has no entry in the description: the layer's table
    // closes the list once, through the view of the first.
    ASSERT_EQ(db_envelope_select_build(instance_, &layer, &c, &info_, nullptr, &flag, &sql),
              ZE_SUCCESS);
    std::string got = sql;
    free(sql);
    EXPECT_STREQ(table_.alias, "roads");
    char *view = nullptr;
    ASSERT_EQ(db_mv_view_build(instance_, &info_, "roads", "bob", 0, 0, &view, 0, 1), 0);
    EXPECT_EQ(got, kSix + view + " ");
    free(view);
    EXPECT_EQ(flag, 0);
}
