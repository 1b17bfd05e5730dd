// Case folding through a code-page context: single bytes fold, multibyte
// characters are stepped over, a converting context folds on its native page.
#include "base/util/ve_codepage_internal.h"

#include "base/util/ve_codepage_internal.h"

#include <gtest/gtest.h>

#include <memory>
#include <string.h>
#include <string>

namespace
{

VE_CODEPAGE context(int32_t id, int32_t scheme)
{
    VE_CODEPAGE cp;
    memset(&cp, 0, sizeof cp);
    cp.native.id = id;
    cp.native.lead_byte_scheme = scheme;
    return cp;
}

// Folds a copy of the text held in a heap buffer of exactly its size.
std::string fold(char *(*folder)(char *, const VE_CODEPAGE *), const std::string &text,
                 const VE_CODEPAGE *cp)
{
    std::unique_ptr<char[]> buffer(new char[text.size() + 1]);
    memcpy(buffer.get(), text.c_str(), text.size() + 1);
    EXPECT_EQ(folder(buffer.get(), cp), buffer.get());
    return std::string(buffer.get());
}

TEST(CodepageCase, FoldsSingleBytesAndStepsOverMultibyteCharacters)
{
    const VE_CODEPAGE latin = context(40, 1), sjis = context(4, 2), ko = context(6, 2),
                      euctw = context(2, 4);
    struct {
        const VE_CODEPAGE *cp;
        bool upper;
        std::string in, expected;
    } cases[] = {
        {&latin, true, "abc_1\xE9", "ABC_1\xE9"},
        {&latin, false, "ABC\x82Z", "abc\x82z"},
        {nullptr, true, "ab", "AB"},
        // A trail byte that looks like an ASCII letter is left alone.
        {&sjis, true,
         "a\x82\x61"
         "b",
         "A\x82\x61"
         "B"},
        {&sjis, false,
         "A\x83\x41"
         "B",
         "a\x83\x41"
         "b"},
        // Half-width katakana are single bytes in Shift-JIS.
        {&sjis, true,
         "\xB1"
         "a",
         "\xB1"
         "A"},
        {&ko, true,
         "\xB1"
         "a"
         "b",
         "\xB1"
         "a"
         "B"},
        // EUC-TW: four-byte characters after 0x8E 0xA2 or 0x8E 0xAE.
        {&euctw, true,
         "\x8E\xA2\xC1\x61"
         "a",
         "\x8E\xA2\xC1\x61"
         "A"},
        {&euctw, true,
         "\xC4\x61"
         "a",
         "\xC4\x61"
         "A"},
        // A lead byte just before the end stops the walk there.
        {&sjis, true, "ab\x82", "AB\x82"},
        {&euctw, true, "a\x8E\xA2\xC1", "A\x8E\xA2\xC1"},
        {&euctw, true, "a\x8E\xA2", "A\x8E\xA2"},
        {&sjis, true, "", ""},
    };
    for (const auto &c : cases) {
        std::string out = fold(c.upper ? VES_ToUpper : VES_ToLower, c.in, c.cp);
        EXPECT_EQ(out, c.expected) << c.in;
    }
    EXPECT_EQ(VES_ToUpper(nullptr, &latin), nullptr);
    EXPECT_EQ(VES_CpgToLower(nullptr, 4, &latin), nullptr);
}

TEST(CodepageCase, FoldsThroughTheNativePageWhenConverting)
{
    // A native 1252 page and another page whose 0x80 has no native byte.
    VE_CODEPAGE cp = context(40, 1);
    cp.other.id = 39;
    cp.other.lead_byte_scheme = 1;
    for (int i = 0; i < VE_CODEPAGE_MAP_SIZE; i++)
        cp.map_to_native[i] = cp.map_to_other[i] = 128 + i;
    cp.map_to_native[0] = '?';
    cp.to_other = codepage_map_convert;
    cp.to_native = codepage_map_convert;

    char text[] = "ab\x80\x81";
    cp.convert = 0;
    EXPECT_STREQ(VES_CpgToUpper(text, sizeof text, &cp), "AB\x80\x81");
    cp.convert = 1;
    EXPECT_STREQ(VES_CpgToLower(text, sizeof text, &cp), "ab?\x81");

    // Shift-JIS native: the text goes to EUC-JP and back, folded between.
    VE_CODEPAGE sjis = context(4, 2);
    sjis.convert = 1;
    sjis.to_other = codepage_sjis_to_eucjp;
    sjis.to_native = codepage_eucjp_to_sjis;
    char euc[16] = "a\xA4\xA2z";
    EXPECT_STREQ(VES_CpgToUpper(euc, sizeof euc, &sjis), "A\xA4\xA2Z");
}

} // namespace
