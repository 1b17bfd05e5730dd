// Name checks by kind, byte-wise case changes and blank trimming.
#include "base/util/ve_name_check.h"
#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

struct NameCase {
    const char *name;
    int32_t kind1; // result for kind 1
    int32_t other; // result for any other kind
};

TEST(NameCheck, ByKind)
{
    const std::string n14(14, 'a'), n15(15, 'a'), n32(32, 'b'), n33(33, 'b');
    const NameCase cases[] = {
        {"roads_2001", 0, 0}, {"roads 2001", -1, -1},
        {"-x", 0, 0},         {"_", 0, 0},
        {n14.c_str(), 0, 0},  {n15.c_str(), 0, -1},
        {n32.c_str(), 0, -1}, {n33.c_str(), -1, -1},
        {"caf\xe9", 0, -1},   {"\xc3\xa9t\xc3\xa9", 0, -1},
        {"", -1, -1},         {"a.b", -1, -1},
        {"a\tb", -1, -1},     {"x$", -1, -1},
    };
    for (const NameCase &c : cases) {
        std::string before = c.name;
        EXPECT_EQ(VES_name_check(c.name, 1), c.kind1) << before;
        EXPECT_EQ(VES_name_check(c.name, 2), c.other) << before;
        EXPECT_EQ(VES_name_check(c.name, 0), c.other) << before;
        EXPECT_EQ(before, c.name);
    }
    EXPECT_EQ(VES_name_check(nullptr, 1), ZE_FAILURE);
    EXPECT_EQ(VES_name_check(nullptr, 2), ZE_FAILURE);
}

TEST(NameCheck, CaseChangesByteByByte)
{
    char text[] = "Roads_2001 \xe9z";
    EXPECT_EQ(VES_UpperCase(text), text);
    EXPECT_STREQ(text, "ROADS_2001 \xe9Z");
    EXPECT_EQ(VES_LowerCase(text), text);
    EXPECT_STREQ(text, "roads_2001 \xe9z");
    EXPECT_EQ(VES_UpperCase(nullptr), nullptr);
    EXPECT_EQ(VES_LowerCase(nullptr), nullptr);
}

TEST(NameCheck, RemoveSpaces)
{
    const char *cases[][2] = {
        {"  a b \n", "a b"}, {"\t \n", ""},  {"", ""},       {"abc", "abc"},
        {"\tx", "x"},        {"x\n\n", "x"}, {" \r ", "\r"},
    };
    for (const auto &c : cases) {
        std::string text = c[0];
        VES_RemoveSpaces(text.data());
        EXPECT_STREQ(text.c_str(), c[1]) << '"' << c[0] << '"';
    }
    VES_RemoveSpaces(nullptr);
}

} // namespace
