// Scrambled password form handed between processes: texts and time stamps
// come back, the form changes with the second, short and unreadable inputs.
#include "base/util/ve_net_string_internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"

namespace
{

std::string S_scramble(const std::string &text, uint32_t stamp, uint32_t seed)
{
    std::vector<char> out(text.size() + 11, '\x7f');
    int32_t length = ves_string_scramble(text.c_str(), out.data(), stamp, seed);
    EXPECT_EQ(length, static_cast<int32_t>(text.size() + 10));
    // The form holds no NUL before its end.
    EXPECT_EQ(std::strlen(out.data()), text.size() + 10);
    return std::string(out.data());
}

std::string S_unscramble(const std::string &form, uint32_t *stamp)
{
    std::vector<char> out(form.size() + 1, '\x7f');
    int32_t length = VES_string_net2mem(form.c_str(), out.data(), stamp);
    EXPECT_GE(length, 0);
    EXPECT_EQ(std::strlen(out.data()), static_cast<size_t>(length));
    return std::string(out.data());
}

} // namespace

TEST(NetString, TextsAndStampsComeBack)
{
    struct Case {
        std::string text;
        uint32_t stamp;
    } cases[] = {
        {"x", 0x5F3A1C00u},
        {"secret", 0u},
        {"pass word!", 0xFFFFFFFFu},
        {"\xff\x80\x01 high bytes", 0x12345678u},
        {std::string(300, 'q'), 0x0000ABCDu},
    };
    for (const Case &c : cases) {
        for (uint32_t seed : {1u, 32767u, 0xDEADBEEFu}) {
            std::string form = S_scramble(c.text, c.stamp, seed);
            uint32_t stamp = 1;
            EXPECT_EQ(S_unscramble(form, &stamp), c.text) << c.text;
            EXPECT_EQ(stamp, c.stamp) << c.text;
        }
    }
}

TEST(NetString, SameTextScrambledAtDifferentSecondsDiffers)
{
    std::string first = S_scramble("secret", 1000, 1000);
    std::string second = S_scramble("secret", 1001, 1001);
    EXPECT_NE(first, second);
    uint32_t stamp = 0;
    EXPECT_EQ(S_unscramble(first, &stamp), "secret");
    EXPECT_EQ(stamp, 1000u);
    EXPECT_EQ(S_unscramble(second, &stamp), "secret");
    EXPECT_EQ(stamp, 1001u);
}

TEST(NetString, OneCharacterFormIsElevenBytesAndCarriesTheTime)
{
    char form[16];
    uint32_t before = static_cast<uint32_t>(time(nullptr));
    ASSERT_EQ(VES_string_mem2net("k", form), 11);
    uint32_t after = static_cast<uint32_t>(time(nullptr));
    ASSERT_EQ(std::strlen(form), 11u);
    char text[16];
    uint32_t stamp = 0;
    ASSERT_EQ(VES_string_net2mem(form, text, &stamp), 1);
    EXPECT_STREQ(text, "k");
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
}

TEST(NetString, EmptyShortAndNullInputs)
{
    char out[32];
    std::strcpy(out, "junk");
    EXPECT_EQ(VES_string_mem2net("", out), 0);
    EXPECT_STREQ(out, "");
    std::strcpy(out, "junk");
    EXPECT_EQ(VES_string_net2mem("", out, nullptr), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(VES_string_mem2net("x", nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(VES_string_net2mem("x", nullptr, nullptr), ZE_NULL_POINTER);
    // Anything shorter than the form of a one-character text is refused,
    // never read past its end.
    uint32_t stamp = 5;
    for (const char *input : {"A", "ABCDEFGHIJ"}) {
        EXPECT_EQ(VES_string_net2mem(input, out, &stamp), ZE_INVALID_ARGUMENT) << input;
        EXPECT_EQ(stamp, 0u);
    }
}

TEST(NetString, UnreadableStampGivesZero)
{
    // A foreign text of the right length decodes to something, but its stamp
    // digits are not hexadecimal.
    std::string form = S_scramble("abc", 0x01020304u, 9);
    // Shifting the second byte by 30 turns the first digit '0' into 'N'.
    unsigned char second = static_cast<unsigned char>(form[1]);
    form[1] = static_cast<char>((second - 1 + 30) % 255 + 1);
    uint32_t stamp = 7;
    std::vector<char> out(form.size());
    EXPECT_EQ(VES_string_net2mem(form.c_str(), out.data(), &stamp), 3);
    EXPECT_EQ(stamp, 0u);
}
