// Code-page contexts: the machine's pages, which side converts, the maps built
// from code-page files of a few lines in a temporary ZELHOME, the map-file
// reader and lead-byte tests.
#include "base/util/ve_codepage_internal.h"

#include "base/util/ve_codepage_internal.h"
#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/stat.h>

namespace
{

// Code-page files of a few lines in a temporary ZELHOME.
const char kCodepageTxt[] = "88591   8859-1  iso88591 l1  x x x\n"
                            "1251    CP1251  win1251  cy  x x x\n"
                            "1252    cp1252  win1252  w1  x x x\n"
                            "sjis    SJIS    sjis-s   jp  x x x\n"
                            "jpn_euc ujis    eucjp    je  x x x\n"
                            "big5    big5    big5     b5  x x x\n"
                            "tw_euc  euctw   euctw    tw  x x x\n"
                            "zh      gb      gb2312   cn  x x x\n"
                            "ko      ksc     ksc5601  kr  x x x\n"
                            "437     cp437   pc437    us  x x x\n"
                            "mystery weird   weird    wd  x x x\n"
                            "1250    cp1250  win1250  ce  x x\n"; // one word short

// Four bytes each; the rest of 128..255 is missing from the files.
const char k1252Txt[] = "80 20AC\n81 0081\n82 201a\n83 0192\n";
const char k1251Txt[] = "80 0402 81 0403\n82 201A\n83 0453\n";
const char k437Txt[] = "80 00c7 81 00FC 82 00e9 83 00E2";

class CodepageTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cp_testXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        ASSERT_EQ(system(("mkdir -p " + home_ + "/locale/codepage").c_str()), 0);
        write("codepage.txt", kCodepageTxt);
        write("1252.txt", k1252Txt);
        write("1251.txt", k1251Txt);
        write("437.txt", k437Txt);
        setenv("ZELHOME", home_.c_str(), 1);
        setenv("TEMP", home_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("ZELHOME");
        unsetenv("TEMP");
        ASSERT_EQ(system(("rm -rf " + home_).c_str()), 0);
    }
    void write(const char *name, const char *text)
    {
        std::string path = home_ + "/locale/codepage/" + name;
        FILE *f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    }
    void remove_file(const char *name)
    {
        ASSERT_EQ(unlink((home_ + "/locale/codepage/" + name).c_str()), 0);
    }
    // A context whose maps hold a mark, to see which maps a call builds.
    static VE_CODEPAGE marked(const char *native_name, int32_t id)
    {
        VE_CODEPAGE cp;
        memset(&cp, 0, sizeof cp);
        for (int i = 0; i < VE_CODEPAGE_MAP_SIZE; i++)
            cp.map_to_native[i] = cp.map_to_other[i] = -5;
        cp.native.id = id;
        cp.native.lead_byte_scheme = (id >= 1 && id <= 6) ? (id == 2 ? 4 : 2) : 1;
        snprintf(cp.native.name, sizeof cp.native.name, "%s", native_name);
        return cp;
    }
    // Files left in the temporary folder by map building.
    int leftover_files() const
    {
        std::string command = "ls " + home_ + " | grep -q '^zel'";
        return system(command.c_str()) == 0 ? 1 : 0;
    }
    std::string home_;
};

TEST(CodepageGet, DescribesTheMachinesPages)
{
    struct {
        int32_t ansi;
        const char *page;
        int32_t id, scheme;
        const char *name;
    } cases[] = {
        {1, nullptr, 40, 1, "1252"}, {1, "950", 1, 2, "big5"},   {1, "932", 4, 2, "sjis"},
        {1, "936", 3, 2, "zh"},      {1, "949", 6, 2, "ko"},     {1, "874", 48, 1, "th"},
        {1, "1250", 38, 1, "1250"},  {1, "1258", 46, 1, "1258"}, {1, "1200", 40, 1, "1252"},
        {1, "437", 40, 1, "1252"},   {1, "junk", 40, 1, "1252"}, {0, nullptr, 20, 1, "437"},
        {0, "850", 21, 1, "850"},    {0, "708", 34, 1, "708"},   {0, "869", 33, 1, "869"},
        {0, "932", 4, 2, "sjis"},    {0, "874", 48, 1, "th"},    {0, "1252", 20, 1, "437"},
        {0, "853", 20, 1, "437"},
    };
    for (const auto &c : cases) {
        const char *variable = c.ansi ? "ZEL_ACP" : "ZEL_OEMCP";
        if (c.page != nullptr)
            setenv(variable, c.page, 1);
        else
            unsetenv(variable);
        VE_CODEPAGE_INFO info;
        memset(&info, 0x55, sizeof info);
        ASSERT_EQ(CODEPAGE_get(&info, c.ansi), &info);
        EXPECT_EQ(info.id, c.id) << c.ansi << " " << (c.page ? c.page : "default");
        EXPECT_EQ(info.lead_byte_scheme, c.scheme) << c.page;
        EXPECT_STREQ(info.name, c.name);
        unsetenv(variable);
    }
    EXPECT_EQ(CODEPAGE_get(nullptr, 1), nullptr);
}

TEST_F(CodepageTest, FindsTheOtherSideByCodeSet)
{
    struct {
        const char *locale;
        int32_t word;
        int32_t id, scheme;
        const char *name;
    } cases[] = {
        {"en_us.8859-1", 1, 7, 1, "88591"}, // the part after the point
        {"8859-1", 1, 7, 1, "88591"},       // no point: the whole name
        {"a.b.SJIS", 1, 4, 2, "sjis"},      // the last point
        {"ja_jp.SJIS-S", 2, 4, 2, "sjis"},  // without regard to case
        {"zh_tw.euctw", 1, 2, 4, "tw_euc"},
        {"x.weird", 1, 0, 2, "mystery"}, // not in the name table
        {"x.nothing", 1, 0, 2, ""},      // not in the file
        {"x.cp1250", 1, 0, 2, ""},       // an incomplete record
        {"x.x", 6, 7, 1, "88591"},       // the first record matches word 6
    };
    for (const auto &c : cases) {
        VE_CODEPAGE cp = marked("1252", 40);
        EXPECT_EQ(CODEPAGE_iomgrcpginit(c.locale, c.word, &cp), 0) << c.locale;
        EXPECT_EQ(cp.other.id, c.id) << c.locale;
        EXPECT_EQ(cp.other.lead_byte_scheme, c.scheme) << c.locale;
        EXPECT_STREQ(cp.other.name, c.name) << c.locale;
    }
}

TEST_F(CodepageTest, DecidesWhichPairsConvert)
{
    struct {
        const char *native;
        int32_t id;
        const char *codeset;
        int32_t convert;
    } cases[] = {
        {"1252", 40, "8859-1", 0}, {"1252", 40, "cp1252", 0}, {"1252", 40, "cp1251", 1},
        {"1252", 40, "cp437", 1},  {"1252", 40, "gb", 0},     {"1252", 40, "ksc", 0},
        {"1252", 40, "big5", 0},   {"1252", 40, "euctw", 0},  {"1252", 40, "SJIS", 0},
        {"1252", 40, "ujis", 0},   {"1252", 40, "weird", 0},  {"1251", 39, "cp1252", 1},
        {"big5", 1, "euctw", 1},   {"tw_euc", 2, "big5", 1},  {"sjis", 4, "ujis", 1},
        {"jpn_euc", 5, "SJIS", 1}, {"big5", 1, "big5", 0},    {"sjis", 4, "euctw", 0},
        {"zh", 3, "gb", 0},        {"ko", 6, "cp437", 0},     {"zh", 3, "cp1252", 0},
    };
    // ko and zh against a single-byte page: a multibyte native page with no
    // converter of its own has no map, so it does not convert.
    for (const auto &c : cases) {
        VE_CODEPAGE cp = marked(c.native, c.id);
        EXPECT_EQ(CODEPAGE_svrcpginit(c.codeset, cp.native, 1, &cp), 0)
            << c.native << " " << c.codeset;
        EXPECT_EQ(cp.convert, c.convert) << c.native << " " << c.codeset;
        EXPECT_EQ(cp.to_other != nullptr, c.convert != 0) << c.native << " " << c.codeset;
    }

    // Text of such a page passes both ways unchanged.
    VE_CODEPAGE cp = marked("ko", 6);
    ASSERT_EQ(CODEPAGE_svrcpginit("x.cp437", cp.native, 1, &cp), 0);
    char text[] = "a\xB0\xA1z";
    EXPECT_EQ(CODEPAGE_tocpg(text, sizeof text, &cp), 0);
    EXPECT_EQ(CODEPAGE_tonative(text, sizeof text, &cp), 0);
    EXPECT_STREQ(text, "a\xB0\xA1z");
}

TEST_F(CodepageTest, BuildsMapsWithQuestionMarksInTheGaps)
{
    VE_CODEPAGE cp = marked("1252", 40);
    ASSERT_EQ(CODEPAGE_svrcpginit("ru_ru.CP1251", cp.native, 1, &cp), 0);
    ASSERT_EQ(cp.convert, 1);
    // 1252 -> 1251: only U+201A (0x82) is in both files.
    for (int i = 0; i < VE_CODEPAGE_MAP_SIZE; i++) {
        EXPECT_EQ(cp.map_to_other[i], i == 2 ? 0x82 : '?') << i;
        EXPECT_EQ(cp.map_to_native[i], i == 2 ? 0x82 : '?') << i;
    }
    EXPECT_EQ(leftover_files(), 0) << "the temporary table is removed";

    // 1252 -> 437: the four 437 characters are not in the 1252 fixture.
    cp = marked("437", 20);
    write("437.txt", "80 0081 81 20ac 82 0192 83 00e2");
    ASSERT_EQ(CODEPAGE_iomgrcpginit("x.cp1252", 1, &cp), 0);
    ASSERT_EQ(cp.convert, 1);
    const int32_t expected[] = {0x81, 0x80, 0x83, '?'};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(cp.map_to_other[i], expected[i]) << i;
    EXPECT_EQ(cp.map_to_native[0], -5) << "the control process builds no map to native";

    char text[] = "a\x80\x81\x82\x83z";
    ASSERT_EQ(CODEPAGE_tocpg(text, sizeof text, &cp), 0);
    EXPECT_STREQ(text, "a\x81\x80\x83?z");
}

TEST_F(CodepageTest, ReportsMissingFiles)
{
    VE_CODEPAGE cp = marked("1252", 40);
    remove_file("1251.txt");
    EXPECT_EQ(CODEPAGE_svrcpginit("x.cp1251", cp.native, 1, &cp), ZE_CODEPAGE_MAP_FAILED);
    EXPECT_EQ(cp.convert, 0);
    EXPECT_EQ(cp.to_other, nullptr);
    EXPECT_EQ(leftover_files(), 0);

    write("1251.txt", k1251Txt);
    remove_file("1252.txt");
    EXPECT_EQ(CODEPAGE_svrcpginit("x.cp1251", cp.native, 1, &cp), ZE_CODEPAGE_MAP_FAILED);
    EXPECT_EQ(cp.convert, 0);

    setenv("TEMP", (home_ + "/no/such/folder").c_str(), 1);
    write("1252.txt", k1252Txt);
    EXPECT_EQ(CODEPAGE_svrcpginit("x.cp1251", cp.native, 1, &cp), ZE_CODEPAGE_MAP_FAILED);
    EXPECT_EQ(cp.convert, 0);

    remove_file("codepage.txt");
    EXPECT_EQ(CODEPAGE_svrcpginit("x.cp1251", cp.native, 1, &cp), ZE_CODEPAGE_NO_TABLE);
    unsetenv("ZELHOME");
    EXPECT_EQ(CODEPAGE_iomgrcpginit("x.cp1251", 1, &cp), ZE_CODEPAGE_NO_TABLE);
    EXPECT_EQ(cp.convert, 0);

    EXPECT_EQ(CODEPAGE_iomgrcpginit(nullptr, 1, &cp), ZE_NULL_POINTER);
    EXPECT_EQ(CODEPAGE_iomgrcpginit("x", 1, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(CODEPAGE_iomgrcpginit("x", 7, &cp), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(CODEPAGE_iomgrcpginit("x", -1, &cp), ZE_INVALID_ARGUMENT);
}

TEST_F(CodepageTest, RefusesANativeNameThatIsNoFileName)
{
    VE_CODEPAGE cp = marked("../../x", 39);
    EXPECT_EQ(CODEPAGE_iomgrcpginit("x.cp1252", 1, &cp), ZE_CODEPAGE_MAP_FAILED);
}

TEST(CodepageMapFile, ReadsPairsByPosition)
{
    CODEPAGE_PAIR pairs[128];
    const char text[] = "80 20AC 81 zz 82 201a 8 1234 84 12345 85 0041";
    ASSERT_EQ(codepage_parse_map(text, strlen(text), pairs), 6);
    const int32_t valid[] = {1, 0, 1, 0, 0, 1};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(pairs[i].valid, valid[i]) << i;
    EXPECT_STREQ(pairs[0].unicode, "20ac");
    EXPECT_EQ(pairs[0].byte, 0x80);
    EXPECT_EQ(pairs[5].byte, 0x85);

    std::string many;
    for (int i = 0; i < 200; i++)
        many += "aa 0041\n";
    EXPECT_EQ(codepage_parse_map(many.data(), many.size(), pairs), 128);
    EXPECT_EQ(codepage_parse_map("80", 2, pairs), 0) << "half a pair";
}

TEST(CodepageMapFile, FindsRecordsOfSevenWords)
{
    std::string first;
    const char text[] = "a b c d e f g\nh i j k l m n\no p";
    EXPECT_EQ(codepage_find_record(text, strlen(text), 3, "K", &first), 1);
    EXPECT_EQ(first, "h");
    EXPECT_EQ(codepage_find_record(text, strlen(text), 1, "p", &first), 0);
    EXPECT_EQ(codepage_find_record(text, strlen(text), 0, "", &first), 0);
    EXPECT_EQ(codepage_find_record(text, strlen(text), 7, "a", &first), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(codepage_find_record(text, 5, 0, "a", &first), 0) << "stops at the given length";
}

TEST(CodepageLeadByte, JudgesByTheNativeScheme)
{
    struct {
        int32_t id, scheme;
        unsigned char byte, next;
        int32_t expected;
    } cases[] = {
        {40, 1, 0x82, 0x41, 0}, {4, 2, 0x41, 0x41, 0}, {4, 2, 0x82, 0x61, 1}, {4, 2, 0xA0, 0x41, 0},
        {4, 2, 0xB1, 0x41, 0},  {4, 2, 0xDF, 0x41, 0}, {4, 2, 0xE0, 0x40, 1}, {1, 2, 0xB1, 0x41, 1},
        {2, 4, 0x8E, 0xA2, 2},  {2, 4, 0x8E, 0xAE, 2}, {2, 4, 0x8E, 0xA3, 1}, {2, 4, 0xC4, 0xA1, 1},
        {2, 4, 0x7F, 0xA2, 0},
    };
    for (const auto &c : cases) {
        VE_CODEPAGE cp;
        memset(&cp, 0, sizeof cp);
        cp.native.id = c.id;
        cp.native.lead_byte_scheme = c.scheme;
        EXPECT_EQ(CODEPAGE_isleadbyte(&cp, c.byte, c.next), c.expected)
            << c.id << " " << static_cast<int>(c.byte);
    }
    EXPECT_EQ(CODEPAGE_isleadbyte(nullptr, 0x82, 0x41), 0);
}

TEST(CodepageConvert, DoesNothingWithoutAConverter)
{
    VE_CODEPAGE cp;
    memset(&cp, 0, sizeof cp);
    char text[] = "\x80\x81";
    EXPECT_EQ(CODEPAGE_tocpg(text, sizeof text, &cp), 0);
    EXPECT_EQ(CODEPAGE_tonative(text, sizeof text, &cp), 0);
    EXPECT_STREQ(text, "\x80\x81");
    EXPECT_EQ(CODEPAGE_tocpg(nullptr, 4, &cp), ZE_NULL_POINTER);
    EXPECT_EQ(CODEPAGE_tonative(text, 4, nullptr), ZE_NULL_POINTER);
}

} // namespace
