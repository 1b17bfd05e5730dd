// Option parser: the grouping of letters by colons, the value word consumed
// after an option word, the three messages on standard output, and the ends
// of words that must never be read past.
#include "base/util/zel_getopt_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct Step {
    int result;
    const char *optarg; // expected argument text, or null
};

struct Case {
    const char *name;
    const char *optstring;
    std::vector<const char *> words; // after the program name
    std::vector<Step> steps;         // the last one ends parsing ('?' or -1); -1 at the
                                     // end of the words leaves the argument as it was
    const char *output;              // all that is printed on standard output
};

const Case kCases[] = {
    {"PairsOfOptionAndValue",
     "ab:c",
     {"-a", "-b", "x", "-c"},
     {{'a', nullptr}, {'b', "x"}, {'c', nullptr}, {-1, nullptr}},
     ""},
    {"NegativeNumberIsAValue", "n:", {"-n", "-5"}, {{'n', "-5"}, {-1, "-5"}}, ""},
    {"StrayWordSkippedSilently",
     "a",
     {"-a", "extra", "-a"},
     {{'a', nullptr}, {'a', nullptr}, {-1, nullptr}},
     ""},
    {"SecondLetterInAWord",
     "ab",
     {"-ab"},
     {{'a', nullptr}, {'?', nullptr}},
     "illegal option -- -ab \n\n"},
    {"ArgumentMissingInLastWord",
     "b:",
     {"-b"},
     {{'?', nullptr}},
     "prog:option requires an argument -- b \n"},
    {"LetterNotInOptionString", "a", {"-z"}, {{'?', nullptr}}, "illegal option -- z \n\n"},
    {"WordWithoutDash", "a", {"file"}, {{'?', nullptr}}, "illegal option -- file \n\n"},
    {"NoWords", "a", {}, {{-1, nullptr}}, ""},
    // The argument is the next word even when it is an option word; that
    // word is then read as an option itself.
    {"ArgumentIsNextOptionWord",
     "a:b",
     {"-a", "-b"},
     {{'a', "-b"}, {'b', nullptr}, {-1, nullptr}},
     ""},
    // A dash inside a word is looked up like a letter: not in the string it is
    // illegal, in another group it ends parsing, in the same group it returns.
    {"InnerDashNotAnOption",
     "a",
     {"-a-"},
     {{'a', nullptr}, {'?', nullptr}},
     "illegal option -- - \n\n"},
    {"InnerDashOfAnotherGroup", "a:-", {"-a-", "v"}, {{'a', "v"}, {-1, nullptr}}, ""},
    {"InnerDashOfTheSameGroup", "a-", {"-a-"}, {{'a', nullptr}, {'-', nullptr}, {-1, nullptr}}, ""},
    {"LettersOfLaterGroups",
     "ab:cd:e",
     {"-e", "-d", "7", "-a"},
     {{'e', nullptr}, {'d', "7"}, {'a', nullptr}, {-1, nullptr}},
     ""},
    // Ends of words: an empty word, a lone dash and a run of dashes are
    // reported whole instead of taking the terminator for a letter.
    {"EmptyWord", "a", {""}, {{'?', nullptr}}, "illegal option --  \n\n"},
    {"LoneDash", "a", {"-"}, {{'?', nullptr}}, "illegal option -- - \n\n"},
    {"OnlyDashes", "a", {"--"}, {{'?', nullptr}}, "illegal option -- -- \n\n"},
    {"DashesBeforeTheLetter", "a", {"--a"}, {{'a', nullptr}, {-1, nullptr}}, ""},
};

class GetoptCase : public ::testing::TestWithParam<Case>
{
};

TEST_P(GetoptCase, StepsAndMessages)
{
    const Case &c = GetParam();
    std::vector<std::string> texts = {"prog"};
    texts.insert(texts.end(), c.words.begin(), c.words.end());
    std::vector<char *> argv;
    for (std::string &t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(texts.size());

    ZEL_GETOPT_STATE state;
    zel_getopt_state_init(&state);
    testing::internal::CaptureStdout();
    for (size_t i = 0; i < c.steps.size(); i++) {
        int result = zel_getopt_next(&state, argc, argv.data(), c.optstring);
        EXPECT_EQ(result, c.steps[i].result) << "step " << i;
        if (c.steps[i].optarg == nullptr)
            EXPECT_EQ(state.optarg, nullptr) << "step " << i;
        else if (state.optarg == nullptr)
            ADD_FAILURE() << "step " << i << ": no argument, expected " << c.steps[i].optarg;
        else
            EXPECT_STREQ(state.optarg, c.steps[i].optarg) << "step " << i;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
}

INSTANTIATE_TEST_SUITE_P(Parser, GetoptCase, ::testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case> &info) { return info.param.name; });

// A caller that goes on after a '?' finds the position left inside the
// previous word; the parser must not read past the shorter word now current.
TEST(Getopt, CallsAfterAnErrorStayInsideTheWords)
{
    char w0[] = "prog", w1[] = "-ab", w2[] = "x", w3[] = "";
    char *argv[] = {w0, w1, w2, w3, nullptr};
    ZEL_GETOPT_STATE state;
    zel_getopt_state_init(&state);
    testing::internal::CaptureStdout();
    EXPECT_EQ(zel_getopt_next(&state, 4, argv, "ab"), 'a');
    EXPECT_EQ(zel_getopt_next(&state, 4, argv, "ab"), '?');
    EXPECT_EQ(zel_getopt_next(&state, 4, argv, "ab"), '?');
    EXPECT_EQ(zel_getopt_next(&state, 4, argv, "ab"), '?');
    EXPECT_EQ(zel_getopt_next(&state, 4, argv, "ab"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "illegal option -- -ab \n\nillegal option -- x \n\nillegal option --  \n\n");
}

TEST(Getopt, RefusesNullInputs)
{
    char w0[] = "prog", w1[] = "-a";
    char *argv[] = {w0, w1, nullptr};
    char *holes[] = {w0, nullptr, nullptr};
    ZEL_GETOPT_STATE state;
    zel_getopt_state_init(&state);
    EXPECT_EQ(zel_getopt_next(&state, 2, nullptr, "a"), -1);
    EXPECT_EQ(zel_getopt_next(&state, 2, argv, nullptr), -1);
    EXPECT_EQ(zel_getopt_next(nullptr, 2, argv, "a"), -1);
    EXPECT_EQ(zel_getopt_next(&state, 3, holes, "a"), -1);
    EXPECT_EQ(zel_getopt_next(&state, 0, argv, "a"), -1);
    // The program name may be missing from the message but not crash it.
    char *noname[] = {nullptr, w1, nullptr};
    testing::internal::CaptureStdout();
    EXPECT_EQ(zel_getopt_next(&state, 2, noname, "a:"), '?');
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ":option requires an argument -- a \n");
}

// The exported parser keeps one state for the process; this is its only use
// in this program.
TEST(Getopt, ExportedParserPublishesItsArgument)
{
    char w0[] = "prog", w1[] = "-i", w2[] = "zel", w3[] = "-v";
    char *argv[] = {w0, w1, w2, w3, nullptr};
    EXPECT_EQ(zel_optarg, nullptr);
    EXPECT_EQ(zel_getopt(4, argv, "i:v"), 'i');
    EXPECT_EQ(zel_optarg, w2);
    EXPECT_EQ(zel_getopt(4, argv, "i:v"), 'v');
    EXPECT_EQ(zel_optarg, nullptr);
    EXPECT_EQ(zel_getopt(4, argv, "i:v"), -1);
}

} // namespace
