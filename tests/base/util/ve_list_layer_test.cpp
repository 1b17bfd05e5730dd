// Coordinate-reference, layer and spatial-reference printers: exact text of
// small records, the <None> lines of a reference the geometry module cannot
// use, and full-width name fields printed within their size.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/ve_list_internal.h"
#include "mox/mox.h"
#include "tests/base/util/ve_list_capture.h"

namespace
{

// A reference with XY and measure units but no Z units.
struct CoordRef {
    COORDREF *cr = nullptr;
    CoordRef()
    {
        MoxCoordRefCreate(&cr);
        cr->falsex = -100.0;
        cr->falsey = 200.5;
        cr->xyunits = 1000.0;
        cr->xy_rounding = 0.001;
        cr->xy_half_unit = 0.0005;
        cr->falsem = 1.0;
        cr->munits = 10.0;
        cr->m_rounding = 0.1;
        cr->m_half_unit = 0.05;
        cr->srid = 7;
    }
    ~CoordRef()
    {
        MoxCoordRefFree(cr);
    }
};

const char kCoordRefText[] = "-XY False Origin:       -100.0, 200.5\n"
                             "-XY System Units:       1000.0\n"
                             "-XY Half SysUnit:       0.0005\n"
                             "-XY Round:              0.001\n"
                             "-Z  Offset:             <None>\n"
                             "-Z  Units:              <None>\n"
                             "-Z  Half SysUnit:       <None>\n"
                             "-Z  Round:              <None>\n"
                             "-Measure Offset:        1.000000\n"
                             "-Measure Units:         10.000000\n"
                             "-Measure Half SysUnit:  0.050000000\n"
                             "-Measure Round:         0.100000000\n"
                             "-Coordinate System ID:  0\n"
                             "-Coordinate System:     \"UNKNOWN\"\n"
                             "-Spatial Reference ID:  7\n";

TEST(VeListLayer, CoordRefCutsZerosOfXyAndFallsBackToTheModulesDescription)
{
    CoordRef r;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_coordref(out, r.cr, "-"); }), kCoordRefText);
    // A text held in the reference is shown as it is.
    r.cr->srtext = strdup("GEOGCS[\"x\"]");
    std::string text = Capture([&](FILE *out) { ves_list_coordref(out, r.cr, "-"); });
    EXPECT_NE(text.find("-Coordinate System:     \"GEOGCS[\"x\"]\"\n"), std::string::npos);
}

TEST(VeListLayer, InactiveCoordRefPrintsNoneForXy)
{
    CoordRef r;
    r.cr->xyunits = 0.0;
    std::string text = Capture([&](FILE *out) { ves_list_coordref(out, r.cr, ""); });
    EXPECT_EQ(text.substr(0, text.find("Z  Offset")),
              "XY False Origin:       <None>\nXY System Units:       <None>\n"
              "XY Half SysUnit:       <None>\nXY Round:              <None>\n");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_coordref(out, nullptr, ""); }), "");
}

LAYER Layer(COORDREF *cr)
{
    LAYER l;
    memset(&l, 0, sizeof(l));
    l.layer_id = 12;
    strcpy(l.description, "roads");
    strcpy(l.database_name, "db");
    strcpy(l.owner, "me");
    strcpy(l.table_name, "roads");
    strcpy(l.spatial_column, "shape");
    l.minimum_id = 1;
    l.optimal_array_size = 100;
    l.grid_size[0] = 10.0;
    l.eflags = LAYER_LINE | LAYER_SIMPLE_LINE | LAYER_SPATIAL | LAYER_SQL | LAYER_LOAD_ONLY;
    l.cdate = 0;
    strcpy(l.layer_config, "DEFAULTS");
    l.privileges = VE_PRIV_SELECT | VE_PRIV_INSERT;
    l.minx = 1.0;
    l.miny = 2.0;
    l.maxx = 3.0;
    l.maxy = 4.0;
    l.coordref = cr;
    return l;
}

TEST(VeListLayer, LayerInfoWithAndWithoutStatisticsDate)
{
    CoordRef r;
    LAYER l = Layer(r.cr);
    const std::string head = "-Layer ID:              12\n"
                             "-Description:           roads\n"
                             "-DB name:               db\n"
                             "-Table Owner:           me\n"
                             "-Table Name:            roads\n"
                             "-Spatial Column Name:   shape\n"
                             "-Minimum Shape ID:      1\n"
                             "-Optimal Array Size:    100\n"
                             "-Grid Size 0, 1, 2:     10,          0,          0\n"
                             "-Entity Type:           sl\n"
                             "-Storage Type:          Spatial, SQL_External\n"
                             "-Creation Date:         Thu Jan  1 00:00:00 1970\n"
                             "-I/O Mode:              LOAD-ONLY\n"
                             "-Layer Config. Keyword: DEFAULTS\n"
                             "-User Privileges:       SELECT, INSERT\n";
    std::string tail = "-Layer Envelope:\n"
                       "   MinX:         1.00000, MaxX:         3.00000\n"
                       "   MinY:         2.00000, MaxY:         4.00000\n"
                       "-CoordRef:\n";
    std::string coordref = kCoordRefText;
    for (size_t at = 0; (at = coordref.find('-', at)) != std::string::npos; at += 3)
        if (at == 0 || coordref[at - 1] == '\n')
            coordref.replace(at, 1, "   ");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_layer_info(out, &l, 1, "-"); }),
              head + tail + coordref);
    l.stats_date = 86400;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_layer_info(out, &l, 1, "-"); }),
              head + "-Stats Date:            Fri Jan  2 00:00:00 1970\n" + tail + coordref);
}

TEST(VeListLayer, FullWidthNamesPrintWithinTheirFields)
{
    LAYER l = Layer(nullptr);
    memset(l.table_name, 't', sizeof(l.table_name));
    memset(l.layer_config, 'k', sizeof(l.layer_config));
    std::string text = Capture([&](FILE *out) { ves_list_layer_info(out, &l, 1, ""); });
    EXPECT_NE(text.find("Table Name:            " + std::string(160, 't') + "\n"),
              std::string::npos);
    EXPECT_NE(text.find("Layer Config. Keyword: " + std::string(32, 'k') + "\n"),
              std::string::npos);
    // No coordinate reference: the CoordRef heading and nothing under it.
    EXPECT_EQ(text.substr(text.size() - 10), "CoordRef:\n");

    VE_SPATIALREF s;
    memset(&s, 0, sizeof(s));
    s.srid = 3;
    memset(s.description, 'd', sizeof(s.description));
    memset(s.auth_name, 'a', sizeof(s.auth_name));
    s.auth_srid = 4326;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_spatialref(out, &s, 1, ""); }),
              "Spatial Ref ID:        3\nDescription:           " + std::string(64, 'd') +
                  "\nAuthority Name:        " + std::string(256, 'a') +
                  "\nAuthority SRID:        4326\nCoordRef:\n");
}

TEST(VeListLayer, SpatialReferenceNestsItsCoordRef)
{
    CoordRef r;
    VE_SPATIALREF s[2];
    memset(s, 0, sizeof(s));
    s[0].srid = 1;
    strcpy(s[0].description, "one");
    strcpy(s[0].auth_name, "EPSG");
    s[0].coordref = r.cr;
    s[1].srid = 2;
    std::string text = Capture([&](FILE *out) { ves_list_spatialref(out, s, 2, "\t"); });
    const std::string head = "\tSpatial Ref ID:        1\n\tDescription:           one\n"
                             "\tAuthority Name:        EPSG\n\tAuthority SRID:        0\n"
                             "\tCoordRef:\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    // The nested block is indented by the tab's width and two more columns.
    EXPECT_NE(text.find("\n          XY False Origin:       -100.0, 200.5\n"), std::string::npos);
    EXPECT_NE(text.find("\tSpatial Ref ID:        2\n"), std::string::npos);
}

} // namespace
