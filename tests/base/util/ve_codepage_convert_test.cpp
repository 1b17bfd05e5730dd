// Code-page converters: the byte maps, Shift-JIS and EUC-JP by arithmetic,
// Big5 and EUC-TW through iconv; every case runs in a buffer of exactly its
// size, so a read or write past it is caught.
#include "base/util/ve_codepage_internal.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <memory>
#include <string.h>
#include <string>

namespace
{

using Converter = int32_t (*)(char *, int32_t, const int32_t *);

// Runs a converter over the input in a heap buffer of exactly size bytes,
// so that any write or read past it is caught.
std::string run(Converter convert, const std::string &input, int32_t size)
{
    std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(size)]);
    memset(buffer.get(), 'X', static_cast<size_t>(size));
    memcpy(buffer.get(), input.c_str(), std::min(input.size() + 1, static_cast<size_t>(size)));
    EXPECT_EQ(convert(buffer.get(), size, nullptr), 0);
    return std::string(buffer.get(), strnlen(buffer.get(), static_cast<size_t>(size)));
}

std::string run(Converter convert, const std::string &input)
{
    return run(convert, input, static_cast<int32_t>(input.size() * 2 + 1));
}

struct Case {
    Converter convert;
    const char *name;
    std::string input;
    int32_t size; // 0: room enough
    std::string expected;
};

TEST(CodepageConverters, ConvertCharactersAndStayInsideTheBuffer)
{
    const Case cases[] = {
        // Shift-JIS to EUC-JP: kana, kanji of both lead ranges, half-width kana.
        {codepage_sjis_to_eucjp, "space", "\x81\x40", 0, "\xA1\xA1"},
        {codepage_sjis_to_eucjp, "hiragana", "a\x82\xA0z", 0, "a\xA4\xA2z"},
        {codepage_sjis_to_eucjp, "kanji 889F", "\x88\x9F", 0, "\xB0\xA1"},
        {codepage_sjis_to_eucjp, "kanji E040", "\xE0\x40", 0, "\xDF\xA1"},
        {codepage_sjis_to_eucjp, "kanji EAA4", "\xEA\xA4", 0, "\xF4\xA6"},
        {codepage_sjis_to_eucjp, "half-width", "\xB1\xDF", 0, "\x8E\xB1\x8E\xDF"},
        // Growth works through a scratch copy and cuts whole characters.
        {codepage_sjis_to_eucjp, "grows", "\xB1\xB2\xB3", 7, "\x8E\xB1\x8E\xB2\x8E\xB3"},
        {codepage_sjis_to_eucjp, "cut", "\xB1\xB2\xB3", 6, "\x8E\xB1\x8E\xB2"},
        {codepage_sjis_to_eucjp, "cut odd", "a\xB1\xB2", 5, "a\x8E\xB1"},
        {codepage_sjis_to_eucjp, "lead at end", "ab\x81", 0, "ab"},
        {codepage_sjis_to_eucjp, "size 1", "abc", 1, ""},
        // EUC-JP to Shift-JIS.
        {codepage_eucjp_to_sjis, "space", "\xA1\xA1", 0, "\x81\x40"},
        {codepage_eucjp_to_sjis, "kanji", "x\xB0\xA1y", 0, "x\x88\x9Fy"},
        {codepage_eucjp_to_sjis, "kanji F4A6", "\xF4\xA6", 0, "\xEA\xA4"},
        {codepage_eucjp_to_sjis, "half-width", "\x8E\xB1\x8E\xDF", 0, "\xB1\xDF"},
        {codepage_eucjp_to_sjis, "lead at end", "a\xB0", 0, "a"},
        {codepage_eucjp_to_sjis, "single shift at end", "a\x8E", 0, "a"},
        {codepage_eucjp_to_sjis, "cut", "\xB0\xA1\xB0\xA1", 4, "\x88\x9F"},
        // Big5 to EUC-TW: planes 1, 2, 3 and 15 (written 0x8E 0xB0).
        {codepage_big5_to_euctw, "plane 1", "a\xA4\xA4z", 0, "a\xC4\xE3z"},
        {codepage_big5_to_euctw, "plane 2", "\xC9\x40", 0, "\x8E\xA2\xA1\xA1"},
        {codepage_big5_to_euctw, "plane 3", "\x89\x43", 0, "\x8E\xA3\xDA\xBC"},
        {codepage_big5_to_euctw, "plane 15", "\x89\x58", 0, "\x8E\xB0\xA2\xAC"},
        {codepage_big5_to_euctw, "plane 4 unsupported", "\x89\x61", 0, "?"},
        {codepage_big5_to_euctw, "index gap", "\x8D\x40", 0, "?"},
        {codepage_big5_to_euctw, "lone byte",
         "\x80"
         "a",
         0, "?a"},
        {codepage_big5_to_euctw, "bad trail", "\xA4\x30", 0, "?0"},
        {codepage_big5_to_euctw, "lead at end", "a\xA4", 0, "a"},
        {codepage_big5_to_euctw, "grows, cut", "\xC9\x40\xC9\x40", 6, "\x8E\xA2\xA1\xA1"},
        {codepage_big5_to_euctw, "no room", "\xC9\x40", 4, ""},
        // EUC-TW to Big5.
        {codepage_euctw_to_big5, "plane 1", "\xC4\xE3", 0, "\xA4\xA4"},
        {codepage_euctw_to_big5, "plane 1 long", "\x8E\xA1\xC4\xA1", 0, "\xA4\x40"},
        {codepage_euctw_to_big5, "plane 2", "\x8E\xA2\xA1\xA1", 0, "\xC9\x40"},
        {codepage_euctw_to_big5, "plane 3", "\x8E\xA3\xDA\xBC", 0, "\x89\x43"},
        {codepage_euctw_to_big5, "plane 15", "\x8E\xB0\xA2\xAC", 0, "\x89\x58"},
        {codepage_euctw_to_big5, "library plane 15", "\x8E\xAF\xA2\xAC", 0, "?"},
        {codepage_euctw_to_big5, "plane 4", "\x8E\xA4\xA6\xA3", 0, "?"},
        {codepage_euctw_to_big5, "cut sequence", "a\x8E\xA2\xA1", 0, "a"},
        {codepage_euctw_to_big5, "lead at end", "a\xC4", 0, "a"},
        {codepage_euctw_to_big5, "lone byte", "\x90z", 0, "?z"},
        {codepage_euctw_to_big5, "cut", "\xC4\xA1\xC4\xA1\xC4\xA1", 5, "\xA4\x40\xA4\x40"},
    };
    for (const Case &c : cases) {
        std::string out = c.size > 0 ? run(c.convert, c.input, c.size) : run(c.convert, c.input);
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST(CodepageConverters, RefuseNullAndAcceptTinyBuffers)
{
    for (Converter convert : {codepage_sjis_to_eucjp, codepage_eucjp_to_sjis,
                              codepage_big5_to_euctw, codepage_euctw_to_big5}) {
        EXPECT_EQ(convert(nullptr, 10, nullptr), ZE_NULL_POINTER);
        char c = 'a';
        EXPECT_EQ(convert(&c, 0, nullptr), 0);
        EXPECT_EQ(c, 'a');
        // No terminator inside the buffer: the text is cut to size - 1.
        char unterminated[3] = {'a', 'b', 'c'};
        EXPECT_EQ(convert(unterminated, 3, nullptr), 0);
        EXPECT_STREQ(unterminated, "ab");
    }
    EXPECT_EQ(codepage_map_convert(nullptr, 10, nullptr), ZE_NULL_POINTER);
}

TEST(CodepageConverters, MapConverterReplacesHighBytesOnly)
{
    int32_t map[128];
    for (int i = 0; i < 128; i++)
        map[i] = 255 - i;
    char in[] = "a\x80\xFFz";
    EXPECT_EQ(codepage_map_convert(in, sizeof in, map), 0);
    EXPECT_STREQ(in, "a\xFF\x80z");
    char text[] = "\x80\x80\x80";
    EXPECT_EQ(codepage_map_convert(text, 2, map), 0);
    EXPECT_STREQ(text, "\xFF\xFF\x80") << "no byte past the size";
}

// Converts one character with the C library's iconv; empty when it has none.
std::string reference(const char *to, const char *from, const std::string &in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "";
    char out[16];
    char *ip = const_cast<char *>(in.data());
    char *op = out;
    size_t il = in.size(), ol = sizeof out;
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return r == static_cast<size_t>(-1) ? "" : std::string(out, sizeof out - ol);
}

TEST(CodepageConverters, ShiftJisAgreesWithTheCLibraryAndRoundTrips)
{
    int checked = 0;
    for (int lead = 0x81; lead <= 0xEA; lead++) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; trail++) {
            if (trail == 0x7F)
                continue;
            std::string sjis{static_cast<char>(lead), static_cast<char>(trail)};
            std::string euc = reference("EUC-JP", "SHIFT_JIS", sjis);
            if (euc.size() != 2)
                continue;
            ASSERT_EQ(run(codepage_sjis_to_eucjp, sjis), euc) << lead << " " << trail;
            ASSERT_EQ(run(codepage_eucjp_to_sjis, euc), sjis) << lead << " " << trail;
            checked++;
        }
    }
    EXPECT_GT(checked, 6000);
}

TEST(CodepageConverters, Big5RoundTripsThroughEucTw)
{
    int checked = 0;
    for (int lead = 0xA4; lead <= 0xF9; lead++) {
        for (int trail : {0x40, 0x55, 0x7E, 0xA1, 0xC0, 0xFE}) {
            std::string big5{static_cast<char>(lead), static_cast<char>(trail)};
            std::string euc = run(codepage_big5_to_euctw, big5);
            if (euc == "?")
                continue;
            ASSERT_EQ(run(codepage_euctw_to_big5, euc), big5) << lead << " " << trail;
            checked++;
        }
    }
    EXPECT_GT(checked, 400);
}

} // namespace
