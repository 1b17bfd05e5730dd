// Identifier folding through the connection's code page: by the native
// description, through the native page and back, and over multibyte text by
// the other side's lead-byte scheme.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "db/core/db_identifier_internal.h"

namespace
{

// Stand-in converters that make the round trip visible: the other side
// writes '#' and '@' where the native side has 'x' and 'X'.
int32_t ToNative(char *text, int32_t, const int32_t *)
{
    for (char *p = text; *p; p++)
        *p = *p == '#' ? 'x' : *p == '@' ? 'X' : *p;
    return 0;
}

int32_t ToOther(char *text, int32_t, const int32_t *)
{
    for (char *p = text; *p; p++)
        *p = *p == 'x' ? '#' : *p == 'X' ? '@' : *p;
    return 0;
}

VE_CODEPAGE Page(int32_t native_id, int32_t native_scheme, int32_t other_id, int32_t other_scheme,
                 int32_t convert)
{
    VE_CODEPAGE cp;
    memset(&cp, 0, sizeof(cp));
    cp.native.id = native_id;
    cp.native.lead_byte_scheme = native_scheme;
    cp.other.id = other_id;
    cp.other.lead_byte_scheme = other_scheme;
    cp.convert = convert;
    if (convert) {
        cp.to_native = ToNative;
        cp.to_other = ToOther;
    }
    return cp;
}

struct FoldCase {
    const char *name;
    VE_CODEPAGE cp;
    bool upper;
    int32_t by_codepage;
    const char *text;
    const char *expected;
};

TEST(Identifier, FoldsThroughTheConnectionsCodePage)
{
    const VE_CODEPAGE plain = Page(40, VE_CODEPAGE_SINGLE_BYTE, 40, VE_CODEPAGE_SINGLE_BYTE, 0);
    const VE_CODEPAGE single = Page(40, VE_CODEPAGE_SINGLE_BYTE, 39, VE_CODEPAGE_SINGLE_BYTE, 1);
    const VE_CODEPAGE sjis_euc = Page(VE_CODEPAGE_SJIS, VE_CODEPAGE_DOUBLE_BYTE,
                                      VE_CODEPAGE_JPN_EUC, VE_CODEPAGE_DOUBLE_BYTE, 1);
    const FoldCase cases[] = {
        {"native only", plain, true, 1, "parcels_#", "PARCELS_#"},
        {"round trip upper", single, true, 1, "a#", "A@"},
        {"round trip lower", single, false, 1, "A@", "a#"},
        // Without the flag the text is not converted: '@' stays itself.
        {"lower native only", single, false, 0, "A@", "a@"},
        // 0xA4 leads a two-byte EUC character whose trail byte stays as it is;
        // on the Shift-JIS side 0xA4 is a character by itself.
        {"multibyte by other side", sjis_euc, true, 1,
         "\xA4"
         "ab",
         "\xA4"
         "aB"},
        {"multibyte lower by native", sjis_euc, false, 0,
         "\xA4"
         "AB",
         "\xA4"
         "ab"},
    };
    for (const FoldCase &c : cases) {
        SCOPED_TRACE(c.name);
        db_identifier_codepage = &c.cp;
        char text[32];
        strcpy(text, c.text);
        char *got = c.upper ? db_identifier_to_upper(nullptr, text, sizeof(text))
                            : db_identifier_to_lower(nullptr, text, sizeof(text), c.by_codepage);
        EXPECT_EQ(got, text);
        EXPECT_STREQ(text, c.expected);
    }
    db_identifier_codepage = nullptr;
}

TEST(Identifier, WithoutACodePageNothingChanges)
{
    db_identifier_codepage = nullptr;
    char text[] = "Parcels";
    EXPECT_STREQ(db_identifier_to_upper(nullptr, text, sizeof(text)), "Parcels");
    EXPECT_EQ(db_identifier_to_lower(nullptr, nullptr, 0, 1), nullptr);
}

} // namespace
