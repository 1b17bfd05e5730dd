// Column-table, release and query-description printers: exact text of small
// records, type names out of range, and counts without their arrays.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/ve_list_internal.h"
#include "tests/base/util/ve_list_capture.h"

namespace
{

TEST(VeListQuery, ColumnTypeNames)
{
    const struct {
        int32_t type;
        const char *name;
    } cases[] = {{1, "VE_SMALLINT"}, {7, "VE_DATE"},         {8, "VE_SHAPE"},
                 {9, "UNKNOWN"},     {20, "VE_POINT"},       {31, "VE_GEOMETRY"},
                 {0, "UNKNOWN"},     {19, "UNKNOWN"},        {32, "UNKNOWN"},
                 {-5, "UNKNOWN"},    {INT32_MAX, "UNKNOWN"}, {25, "VE_GEOMETRYCOLLECTION"}};
    for (const auto &c : cases)
        EXPECT_STREQ(ves_list_column_type_name(c.type), c.name) << c.type;
}

TEST(VeListQuery, ColumnDefinitionsTable)
{
    DB_COLUMN_DEF c[3];
    memset(c, 0, sizeof(c));
    strcpy(c[0].name, "id");
    c[0].type = VE_INTEGER;
    c[0].size = 10;
    c[0].rowid_kind = DB_ROWID_ENGINE;
    strcpy(c[1].name, "price");
    c[1].type = VE_DOUBLE;
    c[1].size = 16;
    c[1].decimal_digits = 2;
    c[1].nulls_allowed = 1;
    c[1].rowid_kind = DB_ROWID_NONE;
    memset(c[2].name, 'n', sizeof(c[2].name)); // no terminator
    c[2].type = 99;
    c[2].rowid_kind = 7;
    const std::string rule =
        "-------------------------------- ----------- ----- ---- -------- -----\n";
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_column_defs(out, 3, c, ">"); }),
              ">Name                                 Type    Width nDec  NULL?   RowID\n>" + rule +
                  ">id                               VE_INTEGER     10   0  NOT NULL  ZEL \n"
                  ">price                            VE_DOUBLE      16   2      NULL      \n"
                  ">" +
                  std::string(32, 'n') + " UNKNOWN         0   0  NOT NULL   ? \n>" + rule);
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_column_defs(out, 0, c, ">"); }), "");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_column_defs(out, 2, nullptr, ">"); }), "");
}

TEST(VeListQuery, ColumnTypesTable)
{
    VE_INPUT_DESC d[2] = {{VE_STRING, 40}, {VE_SHAPE, 0}};
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_column_types(out, 2, d, "-"); }),
              "-   Type    Width \n------------ ----- \n"
              "- VE_STRING      40  \n- VE_SHAPE        0  \n------------ ----- \n");
}

TEST(VeListQuery, ReleaseWithAFullDescription)
{
    RELEASE r;
    memset(&r, 0, sizeof(r));
    r.major = 8;
    r.minor = 1;
    r.bugfix = 1;
    r.release = 81100;
    strcpy(r.description, "engine");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_release(out, &r, "-"); }),
              "-Release_Ver:  8.1.1\t81100\n-Description:  \"engine\"\n");
    memset(r.description, 'd', sizeof(r.description));
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_release(out, &r, ""); }),
              "Release_Ver:  8.1.1\t81100\nDescription:  \"" + std::string(96, 'd') + "\"\n");
}

TEST(VeListQuery, QueryInfoWithItsConstruct)
{
    char t1[] = "db:me.roads";
    char t2[] = "rivers";
    char *tables[] = {t1, t2};
    char where[] = "where a = 1";
    VE_SQL_CONSTRUCT construct = {2, tables, where};
    char c1[] = "a";
    char c2[] = "shape";
    char *columns[] = {c1, c2};
    char h1[] = "ORDERED";
    char *hints[] = {h1};
    VE_QUERYINFO q;
    memset(&q, 0, sizeof(q));
    q.num_columns = 2;
    q.columns = columns;
    q.construct = &construct;
    q.query_type = 4;
    q.num_hints = 1;
    q.hints = hints;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_queryinfo(out, &q, "-"); }),
              "-Num Columns:   2\n-Columns:       a, shape\n"
              "-SQL_Construct: [2]\n-Tables:        db:me.roads, rivers\n"
              "-WhereClause:   \"where a = 1\"\n"
              "-Query Type:    4\n-ByClause: <null>\n-Num Hints:     1\n"
              "-Hints:         ORDERED\n-Logfile:       <null>\n");
    // Counts without their arrays list nothing; a missing construct prints nothing.
    q.columns = nullptr;
    q.hints = nullptr;
    q.construct = nullptr;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_queryinfo(out, &q, ""); }),
              "Num Columns:   2\nColumns:       \nQuery Type:    4\nByClause: <null>\n"
              "Num Hints:     1\nHints:         \nLogfile:       <null>\n");
}

} // namespace
