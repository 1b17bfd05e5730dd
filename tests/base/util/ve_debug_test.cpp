// The debug printer prints only while ZELVERBOSE is set (an empty value
// counts) and reads the variable on every call; the utility banner.
#include "base/util/ve_debug_internal.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace
{

// What VES_print_debug wrote into a memory stream, with its result.
std::string S_print(int32_t *result, const char *text, int value)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    *result = VES_print_debug(stream, "%s=%d\n", text, value);
    fclose(stream);
    std::string out(buffer, size);
    free(buffer);
    return out;
}

class DebugPrint : public ::testing::Test
{
  protected:
    void TearDown() override
    {
        unsetenv("ZELVERBOSE");
    }
};

TEST_F(DebugPrint, FollowsTheEnvironmentOnEveryCall)
{
    struct Step {
        const char *verbose; // null: unset
        const char *expected;
    };
    const Step steps[] = {
        {nullptr, ""}, {"1", "n=7\n"}, {"", "n=7\n"}, {nullptr, ""}, {"yes", "n=7\n"},
    };
    for (const Step &s : steps) {
        if (s.verbose != nullptr)
            setenv("ZELVERBOSE", s.verbose, 1);
        else
            unsetenv("ZELVERBOSE");
        int32_t result = -2;
        EXPECT_EQ(S_print(&result, "n", 7), s.expected)
            << "ZELVERBOSE=" << (s.verbose ? s.verbose : "<unset>");
        EXPECT_EQ(result, 0);
    }
}

TEST_F(DebugPrint, ReportsAFailedWrite)
{
    setenv("ZELVERBOSE", "1", 1);
    FILE *read_only = fopen("/dev/null", "r");
    ASSERT_NE(read_only, nullptr);
    EXPECT_EQ(VES_print_debug(read_only, "%s\n", "x"), -1);
    fclose(read_only);
    EXPECT_EQ(VES_print_debug(nullptr, "%s\n", "x"), -1);
    unsetenv("ZELVERBOSE");
    EXPECT_EQ(VES_print_debug(nullptr, "%s\n", "x"), 0);
}

TEST(Banner, WithAndWithoutBuildText)
{
    const std::string rule(53, '-');
    struct Case {
        const char *build_text;
        std::string expected;
    } cases[] = {
        {"zel 8.1.1 Build 412 Dec 10", "\nOrvekZEL \t 8.1.1 \t  Build 412 Dec 10\nzeladmin \t "
                                       "Administration Utility\n" +
                                           rule + "\n"},
        {"no build here",
         "\nOrvekZEL \t 8.1.1 \nzeladmin \t Administration Utility\n" + rule + "\n"},
        {nullptr, "\nOrvekZEL \t 8.1.1 \nzeladmin \t Administration Utility\n" + rule + "\n"},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        ves_print_banner(c.build_text, "zeladmin");
        fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected);
    }
}

} // namespace
