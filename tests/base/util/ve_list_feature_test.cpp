// Feature, shape and filter printers: the brief listing with its bounded hex
// dump and annotation text, the full shape listing with its point table, and
// spatial filters of each kind, with hostile names, methods and patterns.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_list_internal.h"
#include "mox/mox.h"
#include "tests/base/util/ve_list_capture.h"

namespace
{

TEST(VeListFeature, BriefShowsAtMost25BytesAndTheAnnotationText)
{
    // A compressed buffer of 30 bytes: the header's length byte says 22 + 8.
    uint8_t bytes[30] = {22};
    bytes[5] = 4; // the annotation flag
    VE_ANNO anno;
    memset(&anno, 0, sizeof(anno));
    memset(anno.text, 'a', sizeof(anno.text)); // no terminator
    FEATURE_STRUCT f;
    memset(&f, 0, sizeof(f));
    f.feature_id = 5;
    f.num_points = 2;
    f.entity_type = VE_ENTITY_SIMPLE_LINE;
    f.compressed = bytes;
    f.compressed_capacity = sizeof(bytes);
    f.anno = &anno;
    std::string hex = "160000000004" + std::string(38, '0');
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_feature_brief(out, &f, "-"); }),
              "-Feature ID:     5\n-NumOfPts:       2\n-Entity:         Simple Line \n"
              "-Buffer:\nBufferInfo:\t[25/30]\n   BufferInHex:\t\"" +
                  hex + "...\"\n-Anno Text:      \"" + std::string(256, 'a') + "\"\n");

    // A header claiming more than the buffer holds shows the buffer's bytes.
    bytes[0] = 100;
    f.anno = nullptr;
    std::string text = Capture([&](FILE *out) { ves_list_feature_brief(out, &f, ""); });
    EXPECT_NE(text.find("BufferInfo:\t[25/30]\n"), std::string::npos);
    EXPECT_EQ(text.find("Anno Text"), std::string::npos);

    f.compressed = nullptr;
    f.compressed_capacity = 0;
    EXPECT_NE(Capture([&](FILE *out) {
                  ves_list_feature_brief(out, &f, "");
              }).find("BufferInfo:\t[0/0]\n  BufferInHex:\t<null>\n"),
              std::string::npos);
}

// A shape on a reference of 1000 system units per coordinate unit.
struct Shape {
    COORDREF *cr = nullptr;
    FEATURE_STRUCT *shape = nullptr;
    Shape()
    {
        MoxCoordRefCreate(&cr);
        cr->xyunits = 1000.0;
        MoxShapeCreate(cr, &shape);
        shape->feature_id = 9;
    }
    ~Shape()
    {
        MoxShapeFree(shape);
        MoxCoordRefFree(cr);
    }
};

TEST(VeListFeature, ShapeOfALineListsItsLengthAndDistances)
{
    Shape s;
    ASSERT_EQ(MoxShapeGenerateSimpleLine(s.shape, 0.0, 0.0, 3.0, 4.0), 0);
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_shape(out, s.shape, "-"); }),
              "-Feature Number:        9\n"
              "-Feature Entity Type:   Simple Line \n"
              "-Number of Points:      2\n"
              "-Feature Envelope:\n"
              "   MinX:         0.00000, MaxX:         3.00000\n"
              "   MinY:         0.00000, MaxY:         4.00000\n"
              "-Line Length:                   5.00000\n"
              "---------------------------------------------------------------\n"
              "Point          X                Y               2D Distance \n"
              "---------------------------------------------------------------\n"
              "    1          0.00000          0.00000\n"
              "    2          3.00000          4.00000            5.000\n"
              "\n");
}

TEST(VeListFeature, ShapeOfAnAreaWithZAndMeasures)
{
    Shape s;
    s.cr->zunits = 1.0;
    s.cr->munits = 1.0;
    ASSERT_EQ(MoxShapeGenerateRectangle(s.shape, 0.0, 0.0, 2.0, 1.0), 0);
    ASSERT_EQ(MoxsShapeAllocate(s.shape, s.shape->num_points, 1, 1), 0);
    for (int32_t i = 0; i < s.shape->num_points; ++i) {
        s.shape->z_values[i] = 10 + i;
        s.shape->measures[i] = 20;
    }
    std::string text = Capture([&](FILE *out) { ves_list_shape(out, s.shape, ""); });
    EXPECT_NE(text.find("  MinZ:        10.00000, MaxZ:        14.00000\n"
                        "  MinM:        20.00000, MaxM:        20.00000\n"
                        "Polygon Perimeter:             6.00000\n"
                        "Polygon Area:                  2.00000\n"),
              std::string::npos)
        << text;
    std::string rule = std::string(48, '-') + std::string(45, '-');
    EXPECT_NE(text.find(rule +
                        "\nPoint          X                Y               Z              "
                        "M              2D Distance \n" +
                        rule +
                        "\n    1          0.00000          0.00000         10.00000"
                        "         20.00000\n    2"),
              std::string::npos)
        << text;
}

TEST(VeListFeature, ShapeWhoseCountPassesItsArraysIsNotRead)
{
    Shape s;
    ASSERT_EQ(MoxShapeGeneratePoint(s.shape, 1.0, 1.0), 0);
    s.shape->num_points = s.shape->allocated_points + 1000;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_shape(out, s.shape, "-"); }),
              "Cannot get the number of points for the feature\n");
    s.shape->num_points = 1;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_shape(out, nullptr, "-"); }), "");
}

TEST(VeListFeature, SearchMethodNamesAndUnknownValues)
{
    const struct {
        int32_t method;
        const char *name;
    } cases[] = {{0, "SM_ENVP"},  {6, "SM_ET_OR_AI or SM_ET_OR_II"},
                 {13, "SM_PIP"},  {14, ""},
                 {16, "SM_CBM"},  {17, "UNKNOWN"},
                 {-1, "UNKNOWN"}, {INT32_MIN, "UNKNOWN"}};
    for (const auto &c : cases)
        EXPECT_STREQ(ves_list_search_method_name(c.method), c.name) << c.method;
}

VE_FILTER Filter(int32_t type, int32_t method, int32_t truth)
{
    VE_FILTER f;
    memset(&f, 0, sizeof(f));
    strcpy(f.table_name, "roads");
    strcpy(f.column_name, "shape");
    f.filter_type = type;
    f.search_method = method;
    f.truth = truth;
    return f;
}

TEST(VeListFeature, FiltersOfEachKind)
{
    char pattern[] = "T*F";
    VE_FILTER f[3] = {Filter(VE_ID_FILTER, SM_CBM, 1), Filter(7, SM_PIP, 0),
                      Filter(VE_ID_FILTER, 40, 1)};
    f[0].id = 42;
    strcpy(f[0].filter_table, "db:me.other");
    f[0].relation = pattern;
    f[2].id = 1;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_filters(out, f, 3, "-"); }),
              "-Table:        roads\n-Column:       shape\n-SearchMethod: SM_CBM\n"
              "-Truth:        Must Pass\n-FilterType:   VE_ID_FILTER\n"
              "   FilterID:     42\n   FilterTable:  db:me.other\n"
              "-CBM Object:   [84,42,70]\n"
              "-Table:        roads\n-Column:       shape\n-SearchMethod: SM_PIP\n"
              "-Truth:        MustNOTPass\n"
              "-Table:        roads\n-Column:       shape\n-SearchMethod: UNKNOWN\n"
              "-Truth:        Must Pass\n-FilterType:   VE_ID_FILTER\n"
              "   FilterID:     1\n   FilterTable:  \n");
}

TEST(VeListFeature, ShapeFilterNestsTheShape)
{
    Shape s;
    ASSERT_EQ(MoxShapeGeneratePoint(s.shape, 1.0, 2.0), 0);
    VE_FILTER f = Filter(VE_SHAPE_FILTER, SM_ENVP, 1);
    f.shape = s.shape;
    std::string text = Capture([&](FILE *out) { ves_list_filters(out, &f, 1, "-"); });
    EXPECT_NE(text.find("-FilterType:   VE_SHAPE_FILTER\n   FilterShape:\n"
                        "   Feature Number:        9\n"),
              std::string::npos)
        << text;
}

TEST(VeListFeature, HostileFilterFieldsStayInsideTheirRoom)
{
    VE_FILTER f = Filter(VE_ID_FILTER, SM_CBM, 1);
    memset(f.table_name, 'x', sizeof(f.table_name));
    memset(f.column_name, 'y', sizeof(f.column_name));
    memset(f.filter_table, 'z', sizeof(f.filter_table));
    // A pattern slot of its full size without a terminator.
    char *slot = static_cast<char *>(malloc(VE_FILTER_RELATION_LEN));
    memset(slot, 'A', VE_FILTER_RELATION_LEN);
    f.relation = slot;
    std::string text = Capture([&](FILE *out) { ves_list_filters(out, &f, 1, ""); });
    free(slot);
    EXPECT_NE(text.find("Table:        " + std::string(226, 'x') + "\n"), std::string::npos);
    EXPECT_NE(text.find("Column:       " + std::string(34, 'y') + "\n"), std::string::npos);
    EXPECT_NE(text.find("FilterTable:  " + std::string(226, 'z') + "\n"), std::string::npos);
    std::string codes = "65";
    for (int i = 1; i < VE_FILTER_RELATION_LEN; ++i)
        codes += ",65";
    EXPECT_NE(text.find("CBM Object:   [" + codes + "]\n"), std::string::npos);
}

} // namespace
