// Vocabulary: shape attributes, reserved words and constant answers.
#include "db/core/db_vocab_internal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>
#include <string>

#include "base/util/zel_errors.h"

TEST(Vocabulary, ShapeAttributesAreCallsOnAPlaceholderButTheLast)
{
    int32_t flags = 7, count = -1;
    DB_SHAPE_ATTR_NAME *names = nullptr;
    ASSERT_EQ(DB_dbms_shape_attr_name(&flags, &count, &names), ZE_SUCCESS);
    EXPECT_EQ(flags, 0);
    ASSERT_EQ(count, 14);
    EXPECT_STREQ(names[0], "ST_NumPoints(%s)");
    EXPECT_STREQ(names[12], "VE_Anno_Text(%s)");
    EXPECT_STREQ(names[13], "VE_ROW_ID");
    for (int i = 0; i < 13; ++i)
        EXPECT_NE(strstr(names[i], "(%s)"), nullptr) << i;
    free(names);
    EXPECT_EQ(DB_dbms_shape_attr_name(&flags, &count, nullptr), ZE_OUT_OF_MEMORY);
    EXPECT_EQ(count, 0);
}

TEST(Vocabulary, ReservedWordsKeepTheirListedSpellings)
{
    int32_t count = 0;
    char **words = nullptr;
    ASSERT_EQ(DB_dbms_get_reserved_keyword_list(&count, &words), ZE_SUCCESS);
    ASSERT_EQ(count, 114);
    EXPECT_STREQ(words[0], "ACCESS");
    EXPECT_STREQ(words[19], "CONECT");
    EXPECT_STREQ(words[65], "NUMERER");
    EXPECT_STREQ(words[73], "PLI");
    EXPECT_STREQ(words[74], "PCTREE");
    EXPECT_STREQ(words[113], "WITH");
    std::set<std::string> distinct;
    for (int i = 0; i < count; ++i) {
        distinct.insert(words[i]);
        free(words[i]);
    }
    free(words);
    EXPECT_EQ(distinct.size(), 114u);
    EXPECT_EQ(DB_dbms_get_reserved_keyword_list(nullptr, &words), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_dbms_get_reserved_keyword_list(&count, nullptr), ZE_INVALID_ARGUMENT);
}

TEST(Vocabulary, ConstantAnswers)
{
    EXPECT_EQ(DB_dbms_get_properties(), 43);
    EXPECT_EQ(DB_dbms_is_case_sensitive(), 0);
    EXPECT_EQ(DB_dbms_shape_attr_name_resolve(), ZE_NOT_SUPPORTED);
    char nls[16];
    EXPECT_EQ(DB_dbms_get_nlsenv(nls), ZE_SUCCESS);
    EXPECT_STREQ(nls, "NLS_LANG");
    struct {
        const char *name;
        const char *expected;
    } const qualifiers[] = {{"gis:bob.roads", "roads"}, {"roads", "roads"}, {"a.", ""}};
    for (const auto &k : qualifiers)
        EXPECT_STREQ(db_skip_qualifier(k.name), k.expected) << k.name;
}
