// The identifier check of names that go into SQL unquoted, in single-byte and
// multibyte code pages, on the native side of a converting context.
#include "db/core/db_identifier_check.h"

#include <gtest/gtest.h>

#include <string>

#include "base/util/ve_codepage.h"
#include "base/util/zel_errors.h"
#include "db/core/db_identifier_internal.h"

namespace
{

VE_CODEPAGE context(int32_t other_id, int32_t other_scheme, int32_t native_id = 40,
                    int32_t native_scheme = VE_CODEPAGE_SINGLE_BYTE, int32_t convert = 0)
{
    VE_CODEPAGE cp{};
    cp.native.id = native_id;
    cp.native.lead_byte_scheme = native_scheme;
    cp.other.id = other_id;
    cp.other.lead_byte_scheme = other_scheme;
    cp.convert = convert;
    return cp;
}

struct Case {
    std::string identifier;
    int32_t expected;
};

void expect_checks(const VE_CODEPAGE &cp, const std::vector<Case> &cases)
{
    db_identifier_codepage = &cp;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.identifier);
        EXPECT_EQ(DB_check_identifier(nullptr, k.identifier.c_str()), k.expected);
    }
    db_identifier_codepage = nullptr;
}

} // namespace

TEST(CheckIdentifier, SingleByteCodePages)
{
    const int32_t bad = ZE_INVALID_IDENTIFIER;
    std::vector<Case> latin = {
        {"parcels", 0},
        {"_tmp", 0},
        {"gis:bob.parcels", 0},
        {"a$b", 0},
        {"", 0},
        {"1abc", bad},
        {"my-table", bad},
        {"my table", bad},
        {"$a", bad},
        {"caf\xe9", bad},
        {std::string(300, 'a'), 0},
        {std::string(299, 'a') + "-", bad},
    };
    expect_checks(context(40, VE_CODEPAGE_SINGLE_BYTE), latin);
    EXPECT_EQ(DB_check_identifier(nullptr, nullptr), 0);
    // Without a kept context the same rules hold.
    EXPECT_EQ(DB_check_identifier(nullptr, "my-table"), bad);

    expect_checks(context(44, VE_CODEPAGE_SINGLE_BYTE),
                  {{"a\xc7\xe1\xd1", 0}, {"\xc7\xe1", bad}, {"a\x7f", bad}});
    expect_checks(context(43, VE_CODEPAGE_SINGLE_BYTE),
                  {{"a\xfd\xfe", 0}, {"a\xfc", bad}, {"a\xe0", bad}});
}

TEST(CheckIdentifier, MultibyteCodePages)
{
    const int32_t bad = ZE_INVALID_IDENTIFIER;
    // Shift-JIS: katakana a, i as two-byte characters; 0xB1 a half-width one.
    expect_checks(context(VE_CODEPAGE_SJIS, VE_CODEPAGE_DOUBLE_BYTE), {{"\x83\x41\x83\x43", 0},
                                                                       {"a\x83\x41_1", 0},
                                                                       {"a\x83", bad},
                                                                       {"\xb1", bad},
                                                                       {"a-\x83\x41", bad}});
    expect_checks(context(VE_CODEPAGE_BIG5, VE_CODEPAGE_DOUBLE_BYTE),
                  {{"\xa4\x40road", 0}, {"ab\xa4", bad}, {"\xa4\x40 x", bad}});
    expect_checks(
        context(VE_CODEPAGE_TW_EUC, VE_CODEPAGE_EUC_FOUR_BYTE),
        {{"\x8e\xa2\xa1\xa1x", 0}, {"\xa1\xa1y", 0}, {"a\x8e\xa2\xa1", bad}, {"a\x8e", bad}});
}

// A lead byte never carries SQL syntax past the check as its trail byte, in
// any multibyte code page: quotes, semicolons, blanks, comment markers.
TEST(CheckIdentifier, TrailBytesAreTrailBytes)
{
    const int32_t bad = ZE_INVALID_IDENTIFIER;
    const std::vector<std::string> syntax = {"'", "\"", ";", " ", "\t", "-", "/",    "*",
                                             "{", "}",  "(", ")", "=",  ",", "\x7f", "0"};
    const VE_CODEPAGE pages[] = {
        context(VE_CODEPAGE_SJIS, VE_CODEPAGE_DOUBLE_BYTE),
        context(VE_CODEPAGE_BIG5, VE_CODEPAGE_DOUBLE_BYTE),
        context(VE_CODEPAGE_TW_EUC, VE_CODEPAGE_EUC_FOUR_BYTE),
    };
    for (const VE_CODEPAGE &cp : pages) {
        SCOPED_TRACE(cp.other.id);
        std::vector<Case> cases;
        for (const std::string &b : syntax) {
            cases.push_back({"a\x83" + b + "x", bad});
            cases.push_back({"a\xa4" + b + "--", bad});
        }
        cases.push_back({"a\x8e\xa2\xa1'", bad}); // the last byte of a four-byte form
        cases.push_back({"a\x8e\xa2' ", bad});
        expect_checks(cp, cases);
    }
    // Trail bytes in the ASCII letter range stay characters.
    expect_checks(context(VE_CODEPAGE_SJIS, VE_CODEPAGE_DOUBLE_BYTE),
                  {{"a\x83\x5c", 0}, {"a\x83\x7e", 0}, {"a\x83\x40", 0}});
}

TEST(CheckIdentifier, ConvertedMultibyteTextIsJudgedByTheNativeSide)
{
    const int32_t bad = ZE_INVALID_IDENTIFIER;
    // 0xB1 0x40 is one Big5 character but a half-width katakana and '@' in
    // Shift-JIS.
    expect_checks(context(VE_CODEPAGE_BIG5, VE_CODEPAGE_DOUBLE_BYTE, VE_CODEPAGE_SJIS,
                          VE_CODEPAGE_DOUBLE_BYTE, 1),
                  {{"a\xb1\x40", bad}});
    expect_checks(context(VE_CODEPAGE_BIG5, VE_CODEPAGE_DOUBLE_BYTE, VE_CODEPAGE_SJIS,
                          VE_CODEPAGE_DOUBLE_BYTE, 0),
                  {{"a\xb1\x40", 0}});
}

TEST(CheckIdentifier, SingleByteTextIsConvertedToTheNativeSideFirst)
{
    // A stand-in converter that turns every byte the map gives into its entry.
    VE_CODEPAGE cp = context(12, VE_CODEPAGE_SINGLE_BYTE, 40, VE_CODEPAGE_SINGLE_BYTE, 1);
    for (int32_t i = 0; i < VE_CODEPAGE_MAP_SIZE; ++i)
        cp.map_to_native[i] = '-';
    cp.to_native = [](char *text, int32_t, const int32_t *map) -> int32_t {
        for (char *p = text; *p; ++p)
            if (static_cast<unsigned char>(*p) >= 128)
                *p = static_cast<char>(map[static_cast<unsigned char>(*p) - 128]);
        return 0;
    };
    // Code page 12 takes its upper half as letters, but after conversion the
    // byte is a '-'.
    expect_checks(cp, {{"a\xe9", ZE_INVALID_IDENTIFIER}, {"ab", 0}});
    cp.convert = 0;
    expect_checks(cp, {{"a\xe9", 0}});
}
