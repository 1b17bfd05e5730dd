// Formatting operations and envelope printers: exact text for small inputs.
#include "base/util/ve_list_internal.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "base/util/zel_errors.h"
#include "tests/base/util/ve_list_capture.h"

namespace
{

TEST(VeListFormat, IndentCountsTabsAsEight)
{
    char out[VE_LIST_TEXT_SIZE];
    EXPECT_EQ(ves_list_indent("\t", out, 2), 10);
    EXPECT_EQ(std::string(out), std::string(10, ' '));
    EXPECT_EQ(ves_list_indent(nullptr, out, 2), 2);
    EXPECT_EQ(std::string(out), "  ");
    EXPECT_EQ(ves_list_indent("", out, -5), 0);
    EXPECT_EQ(std::string(out), "");
    // A very wide indent is capped to the room of out.
    std::string wide(100, '\t');
    EXPECT_EQ(ves_list_indent(wide.c_str(), out, 2), VE_LIST_TEXT_SIZE - 1);
}

TEST(VeListFormat, QuotedStringCutsAfter1024)
{
    EXPECT_STREQ(ves_list_quoted_string(nullptr), "<null>");
    EXPECT_STREQ(ves_list_quoted_string(""), "\"\"");
    std::string exact(1024, 'x');
    EXPECT_EQ(std::string(ves_list_quoted_string(exact.c_str())), "\"" + exact + "\"");
    std::string longer(1025, 'x');
    EXPECT_EQ(std::string(ves_list_quoted_string(longer.c_str())), "\"" + exact + "...\"");
}

TEST(VeListFormat, EntityNames)
{
    const struct {
        int32_t code;
        const char *name;
    } cases[] = {{0, "Nil         "},
                 {8, "Area        "},
                 {260, "MultiSimpleLine"},
                 {264, "Multi Area  "},
                 {3, "Unknown Type"}};
    for (const auto &c : cases)
        EXPECT_STREQ(ves_list_entity_name(c.code), c.name) << c.code;
}

TEST(VeListFormat, EntityLettersRoundTripAndRefuseUnknown)
{
    char out[VE_LIST_TEXT_SIZE];
    uint32_t mask = (1u << 1) | (1u << 4) | (1u << 16) | (1u << 19) | (1u << 21);
    ves_list_entity_letters(mask, out);
    EXPECT_STREQ(out, "paA3M");
    uint32_t parsed = 0;
    EXPECT_EQ(ves_list_parse_entity_letters(out, &parsed), 0);
    EXPECT_EQ(parsed, mask);
    EXPECT_EQ(ves_list_parse_entity_letters("N", &parsed), 0);
    EXPECT_EQ(parsed, 1u << 23);
    parsed = 7;
    EXPECT_EQ(ves_list_parse_entity_letters("px", &parsed), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(parsed, 7u);
}

TEST(VeListFormat, StorageKindsAndPrivileges)
{
    const struct {
        uint32_t mask;
        const char *text;
    } kinds[] = {{1u << 26, "SQL"},
                 {(1u << 26) | (1u << 27), "Spatial, SQL_External"},
                 {0, "Unknown"},
                 {(1u << 24) | (1u << 25), "ZEL_Binary, WKB"}};
    char out[VE_LIST_TEXT_SIZE];
    for (const auto &k : kinds) {
        ves_list_storage_kinds(k.mask, out);
        EXPECT_STREQ(out, k.text) << k.mask;
    }
    ves_list_privileges(0, out);
    EXPECT_STREQ(out, "<None>");
    ves_list_privileges(2 | 16, out);
    EXPECT_STREQ(out, "SELECT, DELETE");
}

TEST(VeListFormat, SpatialIndexTexts)
{
    const double ten[3] = {10, 0, 0};
    const double three[3] = {1.5, 0, 30};
    const struct {
        int32_t kind;
        const double *grid;
        int32_t labelled;
        const char *text;
    } cases[] = {
        {1, ten, 1, "SPIDX_GRID,GRID0=10"},   {1, three, 1, "SPIDX_GRID,GRID0=1.5"},
        {1, three, 0, "SPIDX_GRID,1.5,30"},   {-3, three, 1, "SPIDX_FIXED,SDO_LEVEL=1.5"},
        {-4, three, 0, "SPIDX_HYBRID,1.5,0"}, {-2, ten, 1, "SPIDX_RTREE"},
        {7, ten, 0, "SPIDX_UNKNOWN"},
    };
    char out[VE_LIST_TEXT_SIZE];
    for (const auto &c : cases) {
        ves_list_spatial_index_text(c.kind, c.grid, c.labelled, out);
        EXPECT_STREQ(out, c.text) << c.kind;
    }
}

TEST(VeListFormat, BufferHexAndText)
{
    uint8_t bytes[30];
    for (int i = 0; i < 30; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    std::string hex = Capture([&](FILE *out) { ves_list_buffer_hex(out, bytes, 30, 25, "  "); });
    std::string digits;
    for (int i = 0; i < 25; ++i) {
        char two[3];
        snprintf(two, sizeof(two), "%2.2X", i);
        digits += two;
    }
    EXPECT_EQ(hex, "BufferInfo:\t[25/30]\n  BufferInHex:\t\"" + digits + "...\"\n");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_buffer_hex(out, nullptr, 4, 25, "  "); }),
              "BufferInfo:\t[4/4]\n  BufferInHex:\t<null>\n");
    // The text has no terminator: only the shown characters may be read.
    const char text[5] = {'a', 'b', 'c', 'd', 'e'};
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_buffer_text(out, text, 5, 3, ""); }),
              "BufferInfo:\t[3/5]\nBufferText:\t\"abc...\"\n");
}

TEST(VeListFormat, EnvelopeAndRange)
{
    VE_ENVELOPE envelope = {1, 2, 3.5, 4};
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_envelope(out, &envelope, "\t"); }),
              "\tMinX:         1.00000, MaxX:         3.50000\n"
              "\tMinY:         2.00000, MaxY:         4.00000\n");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_envelope(out, nullptr, "\t"); }), "");
    EXPECT_EQ(Capture([&](FILE *out) { ves_list_range(out, -1, 2, "Z", nullptr); }),
              "MinZ:        -1.00000, MaxZ:         2.00000\n");
}

} // namespace
