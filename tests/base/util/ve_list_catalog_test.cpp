// Catalogue printers: exact text of small registrations, states and versions.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/util/ve_list_internal.h"
#include "tests/base/util/ve_list_capture.h"

namespace
{

REGISTRATION Registration(uint32_t flags, const char *view)
{
    REGISTRATION r;
    memset(&r, 0, sizeof(r));
    strcpy(r.database_name, "db");
    strcpy(r.owner, "me");
    strcpy(r.table_name, "t");
    r.registration_id = 7;
    r.object_flags = flags;
    r.permissions = 2;
    strcpy(r.imv_view_name, view);
    return r;
}

TEST(VeListCatalog, RegistrationDependentObjects)
{
    const std::string head = "-DataBaseName:     \"db\"\n-Owner:            \"me\"\n"
                             "-TableName:        \"t\"\n-Registration ID:  7\n"
                             "-RowIdColumn:      \"\"\n";
    const std::string tail = "-RegistrationDate: Thu Jan  1 00:00:00 1970\n"
                             "-Privileges:       SELECT\n-ConfigKeyword:    \"\"\n";
    const struct {
        uint32_t flags;
        const char *view;
        std::string middle;
    } cases[] = {
        {0, "", "-Dependent_Obj:    None\n"},
        {REG_LAYER | REG_MULTIVERSION, "v",
         "-Dependent_Obj:    Layer, Multiversion Table, IMV View\n-IMVViewName:      \"v\"\n"},
        {REG_ROWID_COLUMN | REG_ROWID_ENGINE | REG_MULTIVERSION, "",
         "-RowIdType:        ZEL Maintained \n-Row Lock:         Not Enable \n"
         "-Minimum_ID:       0\n-Dependent_Obj:    Multiversion Table\n"},
    };
    for (const auto &c : cases) {
        REGISTRATION r = Registration(c.flags, c.view);
        EXPECT_EQ(Capture([&](FILE *out) { ves_list_registration(out, &r, 1, "-"); }),
                  head + c.middle + tail)
            << c.flags;
    }
    REGISTRATION two[2] = {Registration(0, ""), Registration(0, "")};
    std::string one = head + "-Dependent_Obj:    None\n" + tail;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_registration(out, two, 2, "-"); }),
              one + "\n" + one);
}

TEST(VeListCatalog, StateOpenAndClosedWithBoundedLineage)
{
    // Byte count 3, then ids 0, 5, 9.
    uint8_t lineage[] = {3, 0, 5, 9};
    STATE s;
    memset(&s, 0, sizeof(s));
    s.state_id = 9;
    strcpy(s.owner, "me");
    s.lineage_length = 3;
    s.lineage = lineage;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_state(out, &s, 1, ""); }),
              "State ID:       9\nOwner:          me\nStatus:         Open\n"
              "CreationTime:   Thu Jan  1 00:00:00 1970\nLineageLength:  3\n"
              "Lineage:        0, 5, 9\n");
    // A length beyond the blob's byte count stops at the blob's end.
    s.lineage_length = 50;
    s.closing_time = 86400;
    s.lineage[0] = 2;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_state(out, &s, 1, ""); }),
              "State ID:       9\nOwner:          me\nStatus:         Closed\n"
              "CreationTime:   Thu Jan  1 00:00:00 1970\n"
              "ClosingTime:    Fri Jan  2 00:00:00 1970\nLineageLength:  50\n"
              "Lineage:        0, 5\n");
    s.lineage = nullptr;
    std::string text = Capture([&](FILE *out) { ves_list_state(out, &s, 1, ""); });
    EXPECT_NE(text.find("Lineage:        <null>\n"), std::string::npos);
}

TEST(VeListCatalog, VersionStatusAndFullNameFields)
{
    VERSION v;
    memset(&v, 0, sizeof(v));
    memset(v.name, 'n', sizeof(v.name)); // full field, no terminator
    v.status = 3;
    std::string text = Capture([&](FILE *out) { ves_list_version(out, &v, 1, ""); });
    EXPECT_EQ(text.substr(0, 16 + 64 + 1), "Name:           " + std::string(64, 'n') + "\n");
    EXPECT_NE(text.find("Status:         Public\n"), std::string::npos);
    EXPECT_NE(text.find("Parent Version ID:0\n"), std::string::npos);
    const struct {
        uint32_t status;
        const char *word;
    } cases[] = {{2, "Protected"}, {0, "Private"}};
    for (const auto &c : cases) {
        v.status = c.status;
        text = Capture([&](FILE *out) { ves_list_version(out, &v, 1, ""); });
        EXPECT_NE(text.find(std::string("Status:         ") + c.word + "\n"), std::string::npos);
    }
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_version(out, nullptr, 1, ""); }), "");
}

} // namespace

namespace
{

std::string Print(const LOGFILE &l)
{
    return Capture([&](FILE *out) { ves_list_loginfo(out, &l, 1, "\t"); });
}

TEST(VeListCatalog, LogfileKindsAndPersistence)
{
    LOGFILE l;
    memset(&l, 0, sizeof(l));
    strcpy(l.name, "log1");
    strcpy(l.table_name, "roads");
    l.logfile_id = 4;
    l.session_tag = 12;
    const struct {
        uint32_t flags;
        const char *kind;
        const char *persistence;
    } cases[] = {{LOGINFO_LAYER | LOGINFO_PERSISTENT, "LAYER", "PERSISTENT"},
                 {LOGINFO_TABLE, "TABLE", "TEMPORARY"}};
    for (const auto &c : cases) {
        l.flags = c.flags;
        EXPECT_EQ(Print(l), std::string("\tLogfile name:          log1\n"
                                        "\tLogfile ID:            4\n"
                                        "\tTableOrLayer:          ") +
                                c.kind +
                                "\n\tTable Name:            roads\n"
                                "\tSpatial Column:        \n"
                                "\tPersistence:           " +
                                c.persistence + "\n\tSession ID:            12\n");
    }
}

TEST(VeListCatalog, LocatorWithPropertiesAndUnknownType)
{
    LOCATOR l;
    memset(&l, 0, sizeof(l));
    l.locator_id = 3;
    strcpy(l.name, "geo");
    l.type = 1;
    char name[] = "k";
    char value[] = "v";
    char *names[] = {name};
    char *values[] = {value};
    l.property_count = 1;
    l.property_names = names;
    l.property_values = values;
    std::string text = Capture([&](FILE *out) { ves_list_locator(out, &l, 1, ""); });
    l.type = 9;
    l.property_names = nullptr; // count without arrays: no properties read
    text += Capture([&](FILE *out) { ves_list_locator(out, &l, 1, ""); });
    const std::string head = "Locator ID:        3\nName:              \"geo\"\n"
                             "Owner:             \"\"\nCategory           \"\"\n";
    const std::string tail = "Description:       \"\"\nnum_properties:    1\n\n";
    EXPECT_EQ(text, head + "type:              VE_LOCATOR_VALIDATED\n" + tail +
                        "Properties:        \"k\"\nValues:            \"v\"\n\n" + head +
                        "type:              UNKNOWN\n" + tail);
}

} // namespace

namespace
{

TEST(VeListCatalog, RasterConstraintBands)
{
    int32_t bands[] = {1, 3};
    RASCONSTRAINT c;
    memset(&c, 0, sizeof(c));
    c.level = 2;
    c.max_column = 9;
    const std::string tail = "Min Column:       0\nMin Row:          0\n"
                             "Max Column:       9\nMax Row:          0\n\n";
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_raster_constraint(out, &c, ""); }),
              "Level of Detail:  2\nNumber of Bands:  0\n" + tail);
    c.band_count = 2;
    c.band_numbers = bands;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_raster_constraint(out, &c, ""); }),
              "Level of Detail:  2\nNumber of Bands:  2\nBand Number:      1\n"
              "                  3\n" +
                  tail);
    RASTER r = {5, 6, "pic"};
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_raster(out, &r, ">"); }),
              ">Raster ID:        5\n>RasterColumn ID:  6\n>Description:      \"pic\"\n\n");
}

TEST(VeListCatalog, RasterBandsSeparatedByEmptyLine)
{
    RASTERBAND b[2];
    memset(b, 0, sizeof(b));
    b[0].rasterband_id = 1;
    b[1].rasterband_id = 2;
    std::string text = Capture([&](FILE *out) { ves_list_rasterband(out, b, 2, ""); });
    EXPECT_EQ(text.find("RasterBand ID:    1\n"), 0u);
    EXPECT_NE(text.find("Last Modified:    Thu Jan  1 00:00:00 1970\n\nRasterBand ID:    2\n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "0\n");
}

} // namespace

namespace
{

TEST(VeListCatalog, RasterColumnWithFullTableName)
{
    RASTERCOLUMN c;
    memset(&c, 0, sizeof(c));
    memset(c.table_name, 't', sizeof(c.table_name)); // full field, no terminator
    c.rastercolumn_id = 4;
    c.privileges = 4 | 8;
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_rastercolumn(out, &c, 1, ""); }),
              "DataBaseName:     \"\"\nOwner:            \"\"\nTableName:        \"" +
                  std::string(160, 't') +
                  "\"\nRasterColumn ID:  4\nRasterColumnName: \"\"\n"
                  "Creation Date:    Thu Jan  1 00:00:00 1970\n"
                  "Privileges:       UPDATE, INSERT\nConfigKeyword:    \"\"\n");
}

} // namespace
