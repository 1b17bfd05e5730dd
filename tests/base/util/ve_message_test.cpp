// Message catalogues: sections, continuation and comment lines, numbered
// messages and their indexes, and loading the catalogue of a language from
// ZELHOME.
#include "base/util/ve_message_internal.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/support/quiet_stderr.h"

namespace
{

// The text of message i of an index: from its line to the next indexed line.
std::string message(char **index, int32_t i)
{
    return std::string(index[i], static_cast<size_t>(index[i + 1] - index[i]));
}

struct Catalog {
    VE_MESSAGE_CATALOG record{};
    ~Catalog()
    {
        ves_message_catalog_free(&record);
    }
};

std::string numbered_lines(const char *prefix, int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += std::string(prefix) + std::to_string(i) + "\n";
    return text;
}

} // namespace

TEST(MessageCatalog, IndexesSectionsWithContinuationsAndComments)
{
    const std::string text = "-1 first error\n"
                             "+ continued\n"
                             "  indented continuation\n"
                             "\n"
                             "# a plain comment\n"
                             "-2 second error\n"
                             "# ---- WARNING MESSAGE section ----\n"
                             "1 first warning\n"
                             "\n"
                             "2 second warning\n"
                             "+ more";
    Catalog c;
    ASSERT_EQ(ves_message_catalog_parse(text.data(), text.size(), &c.record), ZE_SUCCESS);
    ASSERT_EQ(c.record.error_count, 2);
    ASSERT_EQ(c.record.warning_count, 2);
    EXPECT_EQ(message(c.record.error_index, 0),
              "-1 first error\n+ continued\n  indented continuation\n\n# a plain comment\n");
    EXPECT_EQ(message(c.record.error_index, 1), "-2 second error\n");
    EXPECT_EQ(std::string(c.record.error_index[2], 16), "# ---- WARNING M");
    EXPECT_EQ(message(c.record.warning_index, 0), "1 first warning\n\n");
    EXPECT_EQ(message(c.record.warning_index, 1), "2 second warning\n+ more");
    EXPECT_EQ(*c.record.warning_index[2], '\0');
}

TEST(MessageCatalog, SectionShapes)
{
    struct Case {
        const char *name;
        std::string text;
        int32_t errors;
        int32_t warnings;
        bool errors_end_at_text_end;
    };
    const std::vector<Case> cases = {
        {"no warning line: all errors, ended at the text's end", "a\nb\n# c\n", 2, 0, true},
        {"marker beyond the first 80 characters is a plain comment",
         "a\n#" + std::string(80, '-') + "WARNING MESSAGE\nb\n", 2, 0, true},
        {"marker among other words", "a\nb\nc\n#xx WARNING MESSAGES follow\nw\n", 3, 1, false},
        {"CR LF line ends", "a\r\n+ x\r\n# WARNING MESSAGE\r\nw1\r\nw2\r\n", 1, 2, false},
        {"301 errors grow the error index", numbered_lines("e", 301) + "#WARNING MESSAGE\n", 301, 0,
         false},
        {"16 warnings grow the warning index", "e\n#WARNING MESSAGE\n" + numbered_lines("w", 16), 1,
         16, false},
        {"only a marker", "# WARNING MESSAGE\n", 0, 0, false},
        {"a tab-led line is a message, not a continuation", "a\n\tb\n+ c\n \td\n", 2, 0, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Catalog c;
        ASSERT_EQ(ves_message_catalog_parse(k.text.data(), k.text.size(), &c.record), ZE_SUCCESS);
        EXPECT_EQ(c.record.error_count, k.errors);
        EXPECT_EQ(c.record.warning_count, k.warnings);
        EXPECT_EQ(strchr(c.record.text, '\r'), nullptr);
        // Every message is one non-empty line start and the indexes end in order.
        for (int32_t i = 0; i < c.record.error_count; ++i) {
            EXPECT_LT(c.record.error_index[i], c.record.error_index[i + 1]);
            EXPECT_NE(*c.record.error_index[i], '#');
        }
        for (int32_t i = 0; i < c.record.warning_count; ++i)
            EXPECT_LT(c.record.warning_index[i], c.record.warning_index[i + 1]);
        char *end = c.record.text + strlen(c.record.text);
        EXPECT_EQ(c.record.warning_index[c.record.warning_count], end);
        if (k.errors_end_at_text_end) {
            EXPECT_EQ(c.record.error_index[c.record.error_count], end);
        } else {
            EXPECT_EQ(*c.record.error_index[c.record.error_count], '#');
        }
    }
}

TEST(MessageCatalog, NumberedMessagesKeepTheirPositions)
{
    Catalog c;
    std::string text = numbered_lines("e", 301) + "#WARNING MESSAGE\n" + numbered_lines("w", 16);
    ASSERT_EQ(ves_message_catalog_parse(text.data(), text.size(), &c.record), ZE_SUCCESS);
    EXPECT_EQ(message(c.record.error_index, 0), "e0\n");
    EXPECT_EQ(message(c.record.error_index, 300), "e300\n");
    EXPECT_EQ(message(c.record.warning_index, 15), "w15\n");
}

TEST(MessageCatalog, EmptyTextHasNoIndexes)
{
    Catalog c;
    ASSERT_EQ(ves_message_catalog_parse("", 0, &c.record), ZE_SUCCESS);
    EXPECT_STREQ(c.record.text, "");
    EXPECT_EQ(c.record.error_index, nullptr);
    EXPECT_EQ(c.record.error_count, 0);
    EXPECT_EQ(ves_message_catalog_parse(nullptr, 1, &c.record), ZE_NULL_POINTER);
}

class ReadMessage : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zel_msg_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        const char *old = getenv("ZELHOME");
        had_home_ = old != nullptr;
        if (old)
            old_home_ = old;
    }
    void TearDown() override
    {
        std::filesystem::remove_all(home_);
        if (had_home_)
            setenv("ZELHOME", old_home_.c_str(), 1);
        else
            unsetenv("ZELHOME");
    }
    void write_catalog(const std::string &language, const std::string &prefix,
                       const std::string &text)
    {
        std::filesystem::path dir = std::filesystem::path(home_) / "locale" / "msg" / language;
        std::filesystem::create_directories(dir);
        std::ofstream(dir / (prefix + "_error.msg"), std::ios::binary) << text;
    }
    std::string home_, old_home_;
    bool had_home_ = false;
};

TEST_F(ReadMessage, LoadsTheCatalogueOfTheLanguage)
{
    write_catalog("english", "zel", "-1 General error\n# WARNING MESSAGE\n1 Careful\n");
    setenv("ZELHOME", home_.c_str(), 1);
    Catalog c;
    ASSERT_EQ(read_message("zel", "english", &c.record), ZE_SUCCESS);
    EXPECT_EQ(c.record.error_count, 1);
    EXPECT_EQ(c.record.warning_count, 1);
    EXPECT_EQ(message(c.record.warning_index, 0), "1 Careful\n");
}

TEST_F(ReadMessage, ReportsMissingHomeAndFile)
{
    unsetenv("ZELHOME");
    Catalog c;
    StderrCapture capture;
    EXPECT_EQ(read_message("zel", "english", &c.record), ZE_FAILURE);
    EXPECT_EQ(capture.text(), "Cannot locate ZELHOME\n");

    setenv("ZELHOME", home_.c_str(), 1);
    EXPECT_EQ(read_message("zel", "english", &c.record), ZE_MESSAGE_FILE_ERROR);
    EXPECT_EQ(capture.text(),
              "Error getting file information " + home_ + "/locale/msg/english/zel_error.msg");
    EXPECT_EQ(c.record.text, nullptr);
    EXPECT_EQ(read_message(nullptr, "english", &c.record), ZE_NULL_POINTER);
}

TEST_F(ReadMessage, RefusesNamesThatLeaveTheCatalogueTree)
{
    write_catalog("english", "zel", "-1 General error\n");
    setenv("ZELHOME", home_.c_str(), 1);
    const struct {
        const char *prefix;
        const char *language;
    } cases[] = {
        {"../english/zel", "english"}, {"zel", "../msg/english"}, {"zel", "eng/../english"},
        {"sub/zel", "english"},        {"..", "english"},         {"zel", ".."},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(std::string(k.prefix) + " " + k.language);
        Catalog c;
        StderrCapture capture;
        EXPECT_EQ(read_message(k.prefix, k.language, &c.record), ZE_MESSAGE_FILE_ERROR);
        EXPECT_NE(capture.text(), "");
        EXPECT_EQ(c.record.text, nullptr);
    }
    Catalog c;
    EXPECT_EQ(read_message("zel", "english", &c.record), ZE_SUCCESS);
    EXPECT_EQ(c.record.error_count, 1);
}
