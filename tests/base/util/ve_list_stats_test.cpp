// Statistics and lock printers: the spatial-index listing and report (levels
// without a grid skipped, divisions by zero avoided, percentages in 64 bits),
// layer statistics, and the four lock lists with full-width user names.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/ve_list_internal.h"
#include "tests/base/util/ve_list_capture.h"

namespace
{

VE_SPIDX_STATS Stats()
{
    VE_SPIDX_STATS s;
    memset(&s, 0, sizeof(s));
    strcpy(s.table_name, "roads");
    strcpy(s.column_name, "shape");
    s.num_grids = 1;
    VE_GRID_STATS &g = s.levels[0];
    g.index_records = 30;
    g.features = 20;
    g.grid_cells = 12;
    for (int i = 0; i < VE_SPIDX_GROUPS; ++i)
        g.group_counts[i] = i;
    g.max_features_per_cell = 6;
    g.features_inside = 15;
    return s;
}

TEST(VeListStats, SpatialIndexStatisticsListEveryLevel)
{
    VE_SPIDX_STATS s = Stats();
    std::string level1 =
        "-Level:        1\n"
        "   IndexRecords: 30\n   Features:     20\n   Max FPG:      6\n"
        "   Grid Cells:   12\n   FeasInside:   15\n"
        "   GroupCounts:       0      1      2      3      4      5      6      7\n";
    std::string empty =
        "   IndexRecords: 0\n   Features:     0\n   Max FPG:      0\n"
        "   Grid Cells:   0\n   FeasInside:   0\n"
        "   GroupCounts:       0      0      0      0      0      0      0      0\n";
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_spatial_index_stats(out, &s, "-"); }),
              "-Table:        roads\n-Column:       shape\n-nSpIdxGrids:  1\n" + level1 +
                  "-Level:        2\n" + empty + "-Level:        3\n" + empty);
}

const std::string kRule(67, '-');

TEST(VeListStats, SpatialIndexReportSkipsLevelsWithoutGrid)
{
    VE_SPIDX_STATS s = Stats();
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_spatial_index_report(out, &s, 2.5, 0, 0, ""); }),
              "Table:        roads\nColumn:       shape\nnSpIdxGrids:  1\n"
              "Level 1,   Grid Size 2.5\n" +
                  kRule +
                  "\n"
                  "Grid Records:           30     \n"
                  "Feature Records:        20     \n"
                  "Grids/Feature Ratio:     1.50\n"
                  "Avg. Features per Grid:  2.50\n"
                  "Max. Features per Grid: 6    \n"
                  "%% of Features Wholly Inside 1 Grid: 75.00\n" +
                  kRule +
                  "\n"
                  "              Spatial Index Record Count By Group                  \n"
                  "Grids:      <=4    >4    >10    >25    >50    >100   >250   >500   \n"
                  "---------- ------ ------ ------ ------ ------ ------ ------ ------ \n"
                  "Features:      0      1      2      3      4      5      6      7 \n"
                  "% Total:       0%     5%    10%    15%    20%    25%    30%    35% \n" +
                  kRule + "\n\n");
}

TEST(VeListStats, SpatialIndexReportWithoutFeaturesOrCells)
{
    VE_SPIDX_STATS s = Stats();
    VE_GRID_STATS &g = s.levels[2];
    g.index_records = 5; // records but no cells and no features
    g.group_counts[0] = INT32_MAX;
    std::string text =
        Capture([&](FILE *out) { ves_list_spatial_index_report(out, &s, 0, 0, 1e6, ""); });
    EXPECT_EQ(text.find("Level 1"), std::string::npos);
    EXPECT_NE(text.find("Level 3,   Grid Size 1000000\n"), std::string::npos);
    EXPECT_NE(text.find("Grids/Feature Ratio:     0.00\nAvg. Features per Grid:  0.00\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Inside 1 Grid:  0.00\n"), std::string::npos);
    EXPECT_NE(text.find("% Total:  214748364700%     0%"), std::string::npos) << text;
}

TEST(VeListStats, LayerStatistics)
{
    VE_LAYER_STATS s;
    memset(&s, 0, sizeof(s));
    s.layer_id = 3;
    s.points = 4;
    s.total_features = 4;
    s.min_fid = 1;
    s.max_fid = 4;
    s.min_points = 1;
    s.max_points = 1;
    s.avg_points = 1.0;
    s.envelope = {0.0, 1.0, 2.0, 3.0};
    std::string zero = "        0.00000\n";
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_layer_stats(out, &s, "-"); }),
              "-Layer ID:           3\n-# NILs:             0\n-# Points:           4\n"
              "-# MultiPoints:      0\n-# Lines:            0\n-# MultiLines:       0\n"
              "-# SimpleLines:      0\n-# MultiSimpleLines: 0\n-# Areas:            0\n"
              "-# MultiAreas:       0\n-# Total Features:   4\n"
              "-Last Modified:      Thu Jan  1 00:00:00 1970\n"
              "-Min FID:            1\n-Max FID:            4\n-Min Points:         1\n"
              "-Max Points:         1\n-Min Area:           " +
                  zero + "-Max Area:           " + zero + "-Min Length:         " + zero +
                  "-Max Length:         " + zero + "-Avg. Points:                1.00000\n" +
                  "-Avg. Area:          " + zero + "-Avg. Length:        " + zero +
                  "-Layer Envelope:\n"
                  "   MinX:         0.00000, MaxX:         2.00000\n"
                  "   MinY:         1.00000, MaxY:         3.00000\n");
}

TEST(VeListStats, LockLists)
{
    VE_LAYER_LOCKS layer[2];
    memset(layer, 0, sizeof(layer));
    strcpy(layer[0].user_name, "ann");
    layer[0].lock_type = 3;
    layer[0].envelope = {1, 2, 3, 4};
    memset(layer[1].user_name, 'u', sizeof(layer[1].user_name)); // no terminator
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_layer_locks(out, layer, 2, "-"); }),
              "-User Name:  ann\n-Lock Type:  3\n-Lock Envelope:\n"
              "   MinX:         1.00000, MaxX:         3.00000\n"
              "   MinY:         2.00000, MaxY:         4.00000\n"
              "-User Name:  " +
                  std::string(36, 'u') +
                  "\n-Lock Type:  0\n-Lock Envelope:\n"
                  "   MinX:         0.00000, MaxX:         0.00000\n"
                  "   MinY:         0.00000, MaxY:         0.00000\n");

    VE_TABLE_LOCK table = {"bob", 2};
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_table_locks(out, &table, 1, "-"); }),
              "-User Name:  bob\n-Lock Type:  2\n");
    VE_VERSION_LOCK version;
    memset(version.user_name, 'v', sizeof(version.user_name));
    version.lock_mode = 1;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_version_locks(out, &version, 1, "-"); }),
              "-User Name:  " + std::string(36, 'v') + "\n-Lock Mode:  1\n");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_version_locks(out, nullptr, 1, "-"); }), "");
}

TEST(VeListStats, ObjectLocksNameTheirApplication)
{
    const struct {
        int32_t application;
        const char *word;
    } cases[] = {{1, "User"}, {999, "OrvekZEL Internal"}, {1001, "Vornbase"}, {0, "Other"}};
    for (const auto &c : cases) {
        VE_OBJECT_LOCK l;
        memset(&l, 0, sizeof(l));
        l.server_pid = 77;
        memset(l.owner, 'o', sizeof(l.owner));
        l.object_id = 5;
        l.object_type = 2;
        l.application = c.application;
        l.lock_type = -1;
        EXPECT_EQ(Capture([&](FILE *out) { ves_list_object_locks(out, &l, 1, "-"); }),
                  "-Server pid:    77\n-Owner:         " + std::string(33, 'o') +
                      "\n-Object Id:     5\n-Object Type:   2\n-Application:   " + c.word + " (" +
                      std::to_string(c.application) + ")\n-Lock Type:     -1\n");
    }
}

} // namespace
