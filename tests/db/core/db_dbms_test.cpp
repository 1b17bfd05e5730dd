// DBMS properties: identity, release texts, SQL function names and qualify
// rules.
#include "db/core/db_dbms_internal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "base/util/zel_errors.h"

TEST(DbmsProperties, IdentityAndRelease)
{
    EXPECT_EQ(DB_dbms_get_id(), 2);
    char name[32];
    EXPECT_EQ(DB_dbms_get_name(name), ZE_SUCCESS);
    EXPECT_STREQ(name, "Informix/IDS");
    char release[DB_DBMS_REV_SIZE], date[DB_DBMS_REV_SIZE], build[DB_DBMS_REV_SIZE];
    DB_dbms_get_rev(release, date, build);
    EXPECT_STREQ(release, "(Service Pack 1) Informix");
    EXPECT_STREQ(date, "Thu Jun 14 09:49:38 PDT 2001");
    EXPECT_STREQ(build, " Build 580");
    char format[8];
    db_get_column_expr_format(format);
    EXPECT_STREQ(format, " %s");
}

TEST(DbmsProperties, FunctionNamesByPosition)
{
    int32_t count = 0;
    char **names = nullptr;
    ASSERT_EQ(DB_dbms_get_function_name(&count, &names), ZE_SUCCESS);
    ASSERT_EQ(count, 57);
    struct {
        int position;
        const char *name;
    } const expected[] = {{1, "UPPER"},      {8, "TRIM(LEADING"}, {9, "NONE(TRAILING"},
                          {14, "TRIM(BOTH"}, {18, "LN"},          {39, "VARIANCE"},
                          {48, "CAST"},      {50, "%"},           {51, "_"},
                          {54, "\\"},        {56, "ESCAPE"},      {57, ""}};
    for (const auto &k : expected)
        EXPECT_STREQ(names[k.position - 1], k.name) << k.position;
    for (int i = 0; i < count; ++i)
        free(names[i]);
    free(names);

    count = 0;
    EXPECT_EQ(DB_dbms_get_function_name(&count, nullptr), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(count, 57);
}

TEST(DbmsProperties, QualifyRules)
{
    int32_t rules = 0;
    char separators[8];
    EXPECT_EQ(DB_dbms_get_qualify_rules(&rules, separators), ZE_SUCCESS);
    EXPECT_EQ(rules, 63);
    EXPECT_STREQ(separators, ":..");
    EXPECT_EQ(DB_dbms_get_qualify_rules(nullptr, separators), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_dbms_get_qualify_rules(&rules, nullptr), ZE_INVALID_ARGUMENT);
}
