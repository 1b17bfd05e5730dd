// Layer statistics over scripted rows (values worked out by hand: negative
// extents, NULL row ids, a code of no kind, multipart shapes; and generated
// rows against a second reckoning in the test), the
// statistics SELECT for each source (tables, condition, log files), the
// highest feature id, the deletion of shapes by entity mask, and the view
// entries.
#include "db/catalog/db_layer_stats_internal.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info.h"
#include "db/core/db_xerr.h"
#include "tests/db/catalog/layer_fixture.h"
#include "tests/db/version/mv_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using layer_test::LayerRow;
using Strings = std::vector<std::string>;

const std::string kHead =
    "SELECT ve_row_id, VE_ZelEntity(shape), ST_NumPoints(shape),   VE_Xmin(shape), "
    "VE_Ymin(shape), VE_Xmax(shape), VE_Ymax(shape),   VE_Area(shape), VE_Length(shape) FROM ";
const std::string kLogTable = " (SELECT DISTINCT zel_row_id FROM gis:bob_zel_logfile_data WHERE "
                              "gis:bob_zel_logfile_data.logfile_data_id = 42) LF_, ";

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

LOGFILE log_of(uint32_t flags)
{
    LOGFILE log;
    memset(&log, 0, sizeof(log));
    strcpy(log.name, "bob.picked");
    log.data_id = 42;
    log.flags = flags;
    strcpy(log.registration.database_name, "gis");
    strcpy(log.registration.owner, "bob");
    strcpy(log.registration.table_name, "parcels");
    strcpy(log.registration.rowid_column, "objectid");
    return log;
}

std::vector<scli::Column> stats_columns()
{
    std::vector<scli::Column> c;
    for (const char *n : {"ve_row_id", "entity", "points"})
        c.push_back(scli::Column(n, SQL_INTEGER));
    for (const char *n : {"xmin", "ymin", "xmax", "ymax", "area", "length"})
        c.push_back(scli::Column(n, SQL_DOUBLE));
    return c;
}

// One shape's row: row id (0: NULL), entity, points, envelope, area, length.
scli::Row shape_row(int32_t id, int32_t entity, int32_t points, double xmin, double ymin,
                    double xmax, double ymax, double area, double length)
{
    return {id == 0 ? scli::null() : scli::i32(id),
            scli::i32(entity),
            scli::i32(points),
            scli::f64(xmin),
            scli::f64(ymin),
            scli::f64(xmax),
            scli::f64(ymax),
            scli::f64(area),
            scli::f64(length)};
}

class LayerStats : public layer_test::LayerFixture
{
  protected:
    void SetUp() override
    {
        LayerFixture::SetUp();
        layer_test::answer_layers(layer_test::by_id(7), {LayerRow{}});
    }
};

TEST_F(LayerStats, QueryTextForEachSource)
{
    const LAYER layer = roads_layer();
    char parcels[] = "parcels";
    char roads[] = "roads";
    char *two[] = {parcels, roads};
    char *one[] = {parcels};
    char where[] = "where a = 1";
    const LOGFILE layer_log = log_of(LOGINFO_PERSISTENT | LOGINFO_LAYER);
    const LOGFILE table_log = log_of(LOGINFO_PERSISTENT | LOGINFO_TABLE);
    const struct {
        const char *what;
        VE_SQL_CONSTRUCT construct;
        bool with_construct;
        const LOGFILE *log;
        std::string sql;
    } cases[] = {
        {"the layer alone", {}, false, nullptr, kHead + "bob.roads"},
        {"a table and a condition",
         {2, two, where},
         true,
         nullptr,
         kHead + "parcels, bob.roads where  (a = 1)"},
        // No condition follows: no " where ".
        {"a table alone", {1, one, nullptr}, true, nullptr, kHead + "parcels, bob.roads"},
        {"a layer log",
         {2, two, nullptr},
         true,
         &layer_log,
         kHead + kLogTable + "parcels, bob.roads where  LF_.zel_row_id = roads.VE_ROW_ID "},
        {"a layer log without tables",
         {},
         false,
         &layer_log,
         kHead + kLogTable + "bob.roads where  LF_.zel_row_id = bob.roads.VE_ROW_ID "},
        {"a table log and a condition",
         {1, one, where},
         true,
         &table_log,
         kHead + kLogTable +
             "parcels, bob.roads where  (a = 1) and  ( LF_.zel_row_id = "
             "gis:bob.parcels.objectid)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string sql;
        ASSERT_EQ(db_layer_stats_build_query(instance_, &layer,
                                             c.with_construct ? &c.construct : nullptr, nullptr,
                                             c.log, &sql),
                  0);
        EXPECT_EQ(sql, c.sql);
    }

    // Names that would not be names in the text.
    char bad[] = "parcels;drop";
    char *bad_tables[] = {bad};
    VE_SQL_CONSTRUCT refused = {1, bad_tables, nullptr};
    std::string sql;
    EXPECT_NE(db_layer_stats_build_query(instance_, &layer, &refused, nullptr, nullptr, &sql), 0);
    LAYER odd = layer;
    strcpy(odd.spatial_column, "shape)");
    EXPECT_NE(db_layer_stats_build_query(instance_, &odd, nullptr, nullptr, nullptr, &sql), 0);
    LOGFILE odd_log = table_log;
    strcpy(odd_log.registration.rowid_column, "id x");
    EXPECT_NE(db_layer_stats_build_query(instance_, &layer, nullptr, nullptr, &odd_log, &sql), 0);
    EXPECT_EQ(db_layer_stats_build_query(instance_, &layer, nullptr, nullptr, nullptr, nullptr),
              ZE_NULL_POINTER);
}

// Every value worked out by hand from the rows: the extent lies wholly
// below 0 (maxima must not stay at a start value of 0), a NULL row id is
// skipped, a code of no kind counts only in the total and the id range,
// areas give length too.
TEST_F(LayerStats, StatisticsOfScriptedRows)
{
    scli::on_sql(kHead + "bob.roads")
        .columns(stats_columns())
        .rows({shape_row(10, 1, 1, -5, -7, -5, -7, 0, 0),
               shape_row(12, 257, 3, -2, -3, -1.5, -1, 0, 0),
               shape_row(3, 8, 5, -10, -20, -4, -6, 24, 20),
               shape_row(20, 264, 9, -9, -9, -8, -8, 2, 8),
               shape_row(5, 2, 2, -1, -1, -0.5, -0.25, 0, 1.5),
               shape_row(0, 1, 1, -500, -500, 500, 500, 0, 0),
               shape_row(30, 99, 4, -100, -100, 100, 100, 7, 7)});
    VE_LAYER_STATS s;
    memset(&s, 0x5a, sizeof(s));
    ASSERT_EQ(DB_layer_get_stats(instance_, 7, &s), 0);
    EXPECT_EQ(s.layer_id, 7);
    EXPECT_EQ(s.total_features, 6);
    EXPECT_EQ(s.min_fid, 3);
    EXPECT_EQ(s.max_fid, 30);
    const int32_t counts[] = {s.nils,        s.points,       s.multi_points,       s.lines,
                              s.multi_lines, s.simple_lines, s.multi_simple_lines, s.areas,
                              s.multi_areas};
    EXPECT_EQ(std::vector<int32_t>(std::begin(counts), std::end(counts)),
              (std::vector<int32_t>{0, 1, 1, 1, 0, 0, 0, 1, 1}));
    EXPECT_EQ(s.envelope.minx, -10);
    EXPECT_EQ(s.envelope.miny, -20);
    EXPECT_EQ(s.envelope.maxx, -0.5);
    EXPECT_EQ(s.envelope.maxy, -0.25);
    EXPECT_EQ(s.min_points, 1);
    EXPECT_EQ(s.max_points, 9);
    EXPECT_DOUBLE_EQ(s.avg_points, 20.0 / 6);
    EXPECT_EQ(s.min_area, 2);
    EXPECT_EQ(s.max_area, 24);
    EXPECT_DOUBLE_EQ(s.avg_area, 26.0 / 6);
    EXPECT_EQ(s.min_length, 1.5);
    EXPECT_EQ(s.max_length, 20);
    EXPECT_DOUBLE_EQ(s.avg_length, 29.5 / 6);
    EXPECT_EQ(s.last_modified, 0u);
}

// Generated rows against a second reckoning in the test: each measure
// collected by kind and reduced with the standard algorithms. One fixture
// lies wholly below 0, the other around it; some row ids are NULL and one
// code is of no kind.
TEST_F(LayerStats, StatisticsMatchASecondReckoning)
{
    const int32_t codes[] = {0, 1, 2, 4, 8, 257, 258, 260, 264, 99};
    const std::set<int32_t> kinds = {0, 1, 2, 4, 8, 257, 258, 260, 264};
    const std::set<int32_t> areas = {8, 264}, lines = {2, 4, 258, 260};
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int32_t>((seed >> 8) & 0xffff);
    };
    const struct {
        double low, high;
    } ranges[] = {{-900, -1}, {-500, 500}};
    for (const auto &range : ranges) {
        SCOPED_TRACE(range.low);
        auto coordinate = [&] {
            return range.low + (range.high - range.low) * (next() % 1000) / 999;
        };
        std::vector<scli::Row> rows;
        std::vector<int32_t> ids, points;
        std::vector<double> xmins, ymins, xmaxs, ymaxs, area_values, length_values;
        std::map<int32_t, int32_t> count;
        for (int i = 0; i < 60; i++) {
            const int32_t id = next() % 7 == 0 ? 0 : 1 + next() % 1000;
            const int32_t code = codes[next() % 10];
            const int32_t n = 1 + next() % 50;
            const double x1 = coordinate(), x2 = coordinate(), y1 = coordinate(), y2 = coordinate();
            const double area = (next() % 1000) / 10.0, length = (next() % 1000) / 10.0;
            rows.push_back(shape_row(id, code, n, std::min(x1, x2), std::min(y1, y2),
                                     std::max(x1, x2), std::max(y1, y2), area, length));
            if (id == 0)
                continue;
            ids.push_back(id);
            if (kinds.count(code) == 0)
                continue;
            count[code]++;
            points.push_back(n);
            xmins.push_back(std::min(x1, x2));
            ymins.push_back(std::min(y1, y2));
            xmaxs.push_back(std::max(x1, x2));
            ymaxs.push_back(std::max(y1, y2));
            if (areas.count(code))
                area_values.push_back(area);
            if (areas.count(code) || lines.count(code))
                length_values.push_back(length);
        }
        ASSERT_FALSE(area_values.empty());
        scli::on_sql(kHead + "bob.roads").columns(stats_columns()).rows(rows);
        VE_LAYER_STATS s;
        memset(&s, 0x5a, sizeof(s));
        ASSERT_EQ(DB_layer_get_stats(instance_, 7, &s), 0);
        const double total = static_cast<double>(ids.size());
        EXPECT_EQ(s.total_features, static_cast<int32_t>(ids.size()));
        EXPECT_EQ(s.min_fid, *std::min_element(ids.begin(), ids.end()));
        EXPECT_EQ(s.max_fid, *std::max_element(ids.begin(), ids.end()));
        const int32_t counted[] = {s.nils,        s.points,       s.multi_points,       s.lines,
                                   s.multi_lines, s.simple_lines, s.multi_simple_lines, s.areas,
                                   s.multi_areas};
        const int32_t expected[] = {count[0], count[1],   count[257], count[2],  count[258],
                                    count[4], count[260], count[8],   count[264]};
        EXPECT_EQ(std::vector<int32_t>(std::begin(counted), std::end(counted)),
                  std::vector<int32_t>(std::begin(expected), std::end(expected)));
        EXPECT_EQ(s.envelope.minx, *std::min_element(xmins.begin(), xmins.end()));
        EXPECT_EQ(s.envelope.miny, *std::min_element(ymins.begin(), ymins.end()));
        EXPECT_EQ(s.envelope.maxx, *std::max_element(xmaxs.begin(), xmaxs.end()));
        EXPECT_EQ(s.envelope.maxy, *std::max_element(ymaxs.begin(), ymaxs.end()));
        EXPECT_EQ(s.min_points, *std::min_element(points.begin(), points.end()));
        EXPECT_EQ(s.max_points, *std::max_element(points.begin(), points.end()));
        EXPECT_EQ(s.min_area, *std::min_element(area_values.begin(), area_values.end()));
        EXPECT_EQ(s.max_area, *std::max_element(area_values.begin(), area_values.end()));
        EXPECT_EQ(s.min_length, *std::min_element(length_values.begin(), length_values.end()));
        EXPECT_EQ(s.max_length, *std::max_element(length_values.begin(), length_values.end()));
        EXPECT_DOUBLE_EQ(s.avg_points, std::accumulate(points.begin(), points.end(), 0.0) / total);
        EXPECT_DOUBLE_EQ(s.avg_area,
                         std::accumulate(area_values.begin(), area_values.end(), 0.0) / total);
        EXPECT_DOUBLE_EQ(s.avg_length,
                         std::accumulate(length_values.begin(), length_values.end(), 0.0) / total);
    }
}

TEST_F(LayerStats, NoFeaturesGiveZeros)
{
    scli::on_sql(kHead + "bob.roads").columns(stats_columns());
    VE_LAYER_STATS s;
    memset(&s, 0x5a, sizeof(s));
    ASSERT_EQ(DB_layer_get_stats(instance_, 7, &s), 0);
    VE_LAYER_STATS zero;
    memset(&zero, 0, sizeof(zero));
    zero.layer_id = 7;
    EXPECT_EQ(memcmp(&s, &zero, sizeof(s)), 0);
    EXPECT_EQ(DB_layer_get_stats(instance_, 7, nullptr), ZE_INVALID_ARGUMENT);
}

TEST_F(LayerStats, FetchFailureIsReported)
{
    scli::on_sql(kHead + "bob.roads")
        .columns(stats_columns())
        .rows({shape_row(10, 1, 1, 0, 0, 0, 0, 0, 0)})
        .at_fetch(2, SQL_ERROR, {"HY000", -243, "Could not position within a table."});
    VE_LAYER_STATS s;
    StderrCapture capture;
    EXPECT_EQ(DB_layer_get_stats(instance_, 7, &s), ZE_DBMS_ERROR);
    EXPECT_NE(capture.text().find("DB_get_layer_stats() Fetch Error(-1)\n"), std::string::npos);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -243);
}

// Through a log file and a construct, by the export.
TEST_F(LayerStats, StatisticsOfALogsRows)
{
    char roads[] = "roads";
    char *tables[] = {roads};
    VE_SQL_CONSTRUCT construct = {1, tables, nullptr};
    const LOGFILE log = log_of(LOGINFO_PERSISTENT | LOGINFO_LAYER);
    scli::on_sql(kHead + kLogTable + "bob.roads where  LF_.zel_row_id = roads.VE_ROW_ID ")
        .columns(stats_columns())
        .rows({shape_row(4, 4, 2, 1, 2, 3, 4, 0, 2.5)});
    VE_LAYER_STATS s;
    ASSERT_EQ(DB_layer_get_stats_by_logfile(instance_, 7, &construct, nullptr, &log, &s), 0);
    EXPECT_EQ(s.total_features, 1);
    EXPECT_EQ(s.simple_lines, 1);
    EXPECT_EQ(s.max_length, 2.5);
    EXPECT_EQ(s.envelope.maxy, 4);
}

TEST_F(LayerStats, HighestFeatureId)
{
    const std::string sql = "SELECT MAX(VE_ROW_ID) FROM gis:bob.roads";
    scli::on_sql(sql).columns({scli::Column("", SQL_INTEGER)}).row({scli::i32(812)});
    scli::on_sql(sql).columns({scli::Column("", SQL_INTEGER)}).row({scli::null()});
    scli::on_sql(sql).fail(SQL_ERROR, {"S0002", -206, "No such table."});
    int32_t max = -1;
    ASSERT_EQ(DB_layer_get_max_fid(instance_, 7, &max), 0);
    EXPECT_EQ(max, 812);
    ASSERT_EQ(DB_layer_get_max_fid(instance_, 7, &max), 0);
    EXPECT_EQ(max, 0);
    StderrCapture capture;
    EXPECT_EQ(DB_layer_get_max_fid(instance_, 7, &max), ZE_DBMS_ERROR);
    EXPECT_EQ(capture.text().rfind("DB_get_layer_max_fid(7) Exec/Fet Error(", 0), 0u);
    EXPECT_EQ(DB_layer_get_max_fid(instance_, 7, nullptr), ZE_INVALID_ARGUMENT);
}

TEST_F(LayerStats, DeletionByEntityMask)
{
    LAYER *layer = nullptr;
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &layer), 0); // cached from here on
    const std::string update = "UPDATE gis:bob.roads SET shape = NULL   WHERE ";
    const struct {
        int32_t mask;
        std::string condition;
    } cases[] = {
        {LAYER_POINT, " zelentity(shape) = 1 OR zelentity(shape) = 257"},
        {LAYER_NIL | LAYER_AREA,
         " zelentity(shape) = 0 OR zelentity(shape) = 256 OR  zelentity(shape) = 8 OR "
         "zelentity(shape) = 264"},
        {LAYER_MULTIPART, "zelentity(shape) > 256"},
        {LAYER_MULTIPART | LAYER_LINE | LAYER_SIMPLE_LINE,
         "zelentity(shape) > 256 OR  zelentity(shape) = 2 OR zelentity(shape) = 258 OR  "
         "zelentity(shape) = 4 OR zelentity(shape) = 260"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mask);
        MarkNow();
        ASSERT_EQ(DB_layer_delete_feat_by_entity(instance_, 7, c.mask), 0);
        EXPECT_EQ(Executed(), (Strings{update + c.condition, "COMMIT"}));
    }
    // No shape touched is no failure.
    MarkNow();
    scli::on_sql(update + cases[0].condition).no_data();
    EXPECT_EQ(DB_layer_delete_feat_by_entity(instance_, 7, LAYER_POINT), 0);
    // Masks of no entity type run nothing.
    for (int32_t mask : {0, LAYER_3D}) {
        MarkNow();
        EXPECT_EQ(DB_layer_delete_feat_by_entity(instance_, 7, mask), 0);
        EXPECT_EQ(Executed(), Strings{});
    }
    scli::on_sql(update + cases[0].condition).fail(SQL_ERROR, {"HY000", -244, "Lock."});
    quiet_stderr([&] {
        EXPECT_EQ(DB_layer_delete_feat_by_entity(instance_, 7, LAYER_POINT), ZE_DBMS_ERROR);
    });
}

TEST_F(LayerStats, DroppingViewsForgetsTheCachedLayer)
{
    LAYER *layer = nullptr;
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &layer), 0);
    EXPECT_EQ(DB_layer_drop_views(instance_, 7), 0);
    layer_test::answer_layers(layer_test::by_id(7), {LayerRow{}});
    MarkNow();
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &layer), 0);
    EXPECT_EQ(Executed(), (Strings{layer_test::by_id(7), "COMMIT"})); // read again
    EXPECT_EQ(DB_layer_create_views(instance_, 7), 0);
    EXPECT_EQ(DB_layer_discover_spatial_tables(instance_), 0);
    EXPECT_EQ(DB_layer_register_spatial_table(instance_, "t"), 0);
    EXPECT_EQ(DB_layer_delete_sqltype_metadata(instance_, 7), 0);
    EXPECT_EQ(DB_layer_verify_spatial_index_parameters(instance_, 7), 0);
}

} // namespace

// A versioned layer table is read through its view, named by its bare table
// name so that the log join's "roads.VE_ROW_ID" reads from it.
class VersionedLayerStats : public MvTest
{
};

TEST_F(VersionedLayerStats, LayerTableThroughItsView)
{
    info_.kind = DB_MV_CURRENT_ADDS;
    LAYER layer;
    memset(&layer, 0, sizeof(layer));
    layer.layer_id = 7;
    strcpy(layer.database_name, "gis");
    strcpy(layer.owner, "bob");
    strcpy(layer.table_name, "roads");
    strcpy(layer.spatial_column, "shape");
    const char *tables[] = {"roads"};
    VE_SQL_CONSTRUCT c{1, const_cast<char **>(tables), nullptr};
    std::string sql;
    ASSERT_EQ(db_layer_stats_build_query(instance_, &layer, &c, &info_, nullptr, &sql), 0);
    EXPECT_STREQ(table_.alias, "roads");
    char *view = nullptr;
    ASSERT_EQ(db_mv_view_build(instance_, &info_, "roads", "bob", 0, 0, &view, 0, 1), 0);
    EXPECT_NE(sql.find(std::string(view)), std::string::npos) << sql;
    free(view);
}
