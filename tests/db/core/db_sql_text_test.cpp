// SQL text buffer growth, the caller's-buffer limit, pretty printing and the
// WHERE-clause helpers.
#include "db/core/db_sql_text_internal.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "base/util/zel_errors.h"

namespace
{

struct PrettyEnv {
    explicit PrettyEnv(bool on)
    {
        if (on)
            setenv("ZELPRETTYSQL", "", 1);
        else
            unsetenv("ZELPRETTYSQL");
    }
    ~PrettyEnv()
    {
        unsetenv("ZELPRETTYSQL");
    }
};

TEST(SqlTextBuffer, GrowsInSteps)
{
    PrettyEnv env(false);
    SQL_TEXT_BUFFER b;
    sql_string_init(&b);
    EXPECT_EQ(sql_string_append(&b, ""), ZE_SUCCESS);
    EXPECT_EQ(sql_string_append(&b, nullptr), ZE_SUCCESS);
    EXPECT_EQ(b.text, nullptr);
    EXPECT_EQ(b.capacity, 0);

    ASSERT_EQ(sql_string_append(&b, "0123456789"), ZE_SUCCESS);
    EXPECT_EQ(b.capacity, 2048);
    EXPECT_EQ(b.length, 10);
    EXPECT_STREQ(b.text, "0123456789");

    // Up to length 2040 within the first block, then 8 more reach the
    // capacity exactly and need the next step.
    std::string fill(2030, 'x');
    ASSERT_EQ(sql_string_append(&b, fill.c_str()), ZE_SUCCESS);
    EXPECT_EQ(b.length, 2040);
    EXPECT_EQ(b.capacity, 2048);
    ASSERT_EQ(sql_string_append(&b, "abcdefgh"), ZE_SUCCESS);
    EXPECT_EQ(b.capacity, 4096);
    EXPECT_EQ(b.length, 2048);
    EXPECT_EQ(std::string(b.text), "0123456789" + fill + "abcdefgh");

    // One append much larger than a step lands in one reallocation.
    std::string big(10000, 'y');
    ASSERT_EQ(sql_string_append(&b, big.c_str()), ZE_SUCCESS);
    EXPECT_EQ(b.capacity, (2048 + 10000 + 2048) / 2048 * 2048);
    EXPECT_EQ(strlen(b.text), 12048u);
    sql_string_free(&b);
    EXPECT_EQ(b.text, nullptr);
}

TEST(SqlTextBuffer, CallerBufferRefusesOverflowAndKeepsText)
{
    PrettyEnv env(false);
    char block[16];
    memset(block, '#', sizeof block);
    SQL_TEXT_BUFFER b;
    ASSERT_EQ(sql_string_init_buffer(&b, block, sizeof block), ZE_SUCCESS);
    EXPECT_EQ(b.length, 1);
    EXPECT_EQ(b.unchecked, 0u);
    EXPECT_STREQ(b.text, "");
    ASSERT_EQ(sql_string_append(&b, "abcdefg"), ZE_SUCCESS);
    ASSERT_EQ(sql_string_append(&b, "hijklmn"), ZE_SUCCESS);
    EXPECT_STREQ(block, "abcdefghijklmn");
    EXPECT_EQ(b.length, 15);
    EXPECT_EQ(sql_string_append(&b, "o"), ZE_SQL_BUFFER_FULL);
    EXPECT_STREQ(block, "abcdefghijklmn");
    EXPECT_EQ(b.length, 15);
    EXPECT_EQ(b.text, block);

    EXPECT_EQ(sql_string_init_buffer(&b, block, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(sql_string_init_buffer(&b, nullptr, 8), ZE_INVALID_ARGUMENT);
}

TEST(SqlTextBuffer, DeclaredLargeBufferIsMarkedUnchecked)
{
    PrettyEnv env(false);
    char block[8];
    SQL_TEXT_BUFFER b;
    ASSERT_EQ(sql_string_init_buffer(&b, block, INT32_MAX), ZE_SUCCESS);
    EXPECT_EQ(b.unchecked, 1u);
    ASSERT_EQ(sql_string_append(&b, "abc"), ZE_SUCCESS);
    ASSERT_EQ(sql_string_append(&b, "de"), ZE_SUCCESS);
    EXPECT_STREQ(block, "abcde");
    EXPECT_EQ(b.length, 6);
    EXPECT_EQ(sql_string_append(nullptr, "x"), ZE_NULL_POINTER);
}

TEST(SqlTextBuffer, ListsEndLinesOnlyWhenPretty)
{
    for (bool pretty : {false, true}) {
        PrettyEnv env(pretty);
        SQL_TEXT_BUFFER b;
        sql_string_init(&b);
        EXPECT_EQ(b.pretty, pretty ? 1u : 0u);
        ASSERT_EQ(sql_string_append_list(&b, "SELECT ", "a, b", static_cast<char *>(nullptr)),
                  ZE_SUCCESS);
        ASSERT_EQ(sql_string_append_list(&b, " FROM t", static_cast<char *>(nullptr)), ZE_SUCCESS);
        EXPECT_STREQ(b.text, pretty ? "SELECT a, b\n FROM t\n" : "SELECT a, b FROM t");
        sql_string_free(&b);
    }
}

TEST(SqlTextBuffer, ListStopsAtFirstFailure)
{
    PrettyEnv env(true);
    char block[8];
    SQL_TEXT_BUFFER b;
    ASSERT_EQ(sql_string_init_buffer(&b, block, sizeof block), ZE_SUCCESS);
    EXPECT_EQ(sql_string_append_list(&b, "abc", "defg", "h", static_cast<char *>(nullptr)),
              ZE_SQL_BUFFER_FULL);
    EXPECT_STREQ(block, "abc");
    // No room left for the line break either.
    ASSERT_EQ(sql_string_init_buffer(&b, block, sizeof block), ZE_SUCCESS);
    EXPECT_EQ(sql_string_append_list(&b, "abcdef", static_cast<char *>(nullptr)),
              ZE_SQL_BUFFER_FULL);
    EXPECT_STREQ(block, "abcdef");
}

TEST(SqlWhereHelpers, IsBlank)
{
    struct Case {
        const char *text;
        int32_t blank;
    } cases[] = {
        {nullptr, 1}, {"", 1}, {" \t\n ", 1}, {" \r ", 0}, {"  a", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(db_sql_is_blank(c.text), c.blank) << (c.text ? c.text : "(null)");
}

TEST(SqlWhereHelpers, SkipWhere)
{
    struct Case {
        const char *clause;
        const char *rest; // null: expect null
    } cases[] = {
        {nullptr, nullptr},
        {"", nullptr},
        {" where  a = 1", "a = 1"},
        {"\tWHERE\t", "WHERE\t"},
        {"wherever = 1", "wherever = 1"},
        {"where ", nullptr},
        {"  ", nullptr},
        {"where \t b", "b"},
        {"a > 2", "a > 2"},
    };
    for (const Case &c : cases) {
        const char *got = db_sql_skip_where(c.clause);
        if (c.rest == nullptr)
            EXPECT_EQ(got, nullptr) << (c.clause ? c.clause : "(null)");
        else
            EXPECT_STREQ(got, c.rest) << c.clause;
    }
}

TEST(SqlWhereHelpers, ConditionStaysInsideItsParentheses)
{
    // Read as the server reads it: quoted texts and the three comment forms
    // hide what they hold; what is left must balance and end the condition.
    struct Case {
        const char *condition;
        int32_t balanced;
    } cases[] = {
        {nullptr, 1},
        {"a = 1", 1},
        {"(a = 1) or (b = ')(')", 1},
        {"a = 'it''s' and b = \"x)\"", 1},
        {"a = 1 {a note (} and b = 2", 1},
        {"a = 1 /* ( */ and (b = 2)", 1},
        {"a = 1 -- a note )\n and b = 2", 1},
        {"a = '{' and b = '--' and c = '/*'", 1},
        {"a = '}' and b = ')' ", 1},
        {"a - -1 = 0", 1},
        {"a / 2 = b * 3", 1},
        {"1=0 {(}) OR (1=1 {)}", 0},
        {"1=0 /*(*/) OR (1=1 /*)*/", 0},
        {"1=0 --(\n) OR (1=1 --)\n", 0},
        {"a = 1) OR (1 = 1", 0},
        {"(a = 1", 0},
        {"a = 'x", 0},
        {"a = \"x", 0},
        {"a = 1 {", 0},
        {"a = 1 /* ", 0},
        {"a = 1 /*/", 0},
        {"a = 1 -- takes what follows", 0},
        {"a = 1; DELETE FROM t", 0},
        {"a = ';' and b = 1 {;}", 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(db_sql_parentheses_balance(c.condition), c.balanced)
            << (c.condition ? c.condition : "(null)");
        char statement[96] = "SELECT a FROM t WHERE x = 0";
        if (c.condition != nullptr) {
            EXPECT_EQ(DB_sql_append_constraint(statement, c.condition, sizeof statement),
                      c.balanced ? ZE_SUCCESS : ZE_INVALID_ARGUMENT)
                << c.condition;
        }
    }
}

TEST(SqlWhereHelpers, AppendConstraint)
{
    struct Case {
        const char *clause;
        const char *appended;
    } cases[] = {
        {"WHERE a = 1", " and (a = 1)"},
        {"  where b < 2", " and (b < 2)"},
        {"  ORDER BY a", "   ORDER BY a"},
        {"group by c", " group by c"},
        {"Union select 1 from t", " Union select 1 from t"},
        {"a = 1", " and (a = 1)"},
        {" a = 1", " and ( a = 1)"},
        {"a = 1 OR 1 = 1", " and (a = 1 OR 1 = 1)"}, // the OR stays inside
        {"(a = 1) or (b = ')(')", " and ((a = 1) or (b = ')('))"},
        {"a = 'it''s'", " and (a = 'it''s')"},
        {" \n\t ", ""},
        {nullptr, ""},
    };
    for (const Case &c : cases) {
        char statement[64] = "SELECT a FROM t WHERE x = 0";
        EXPECT_EQ(DB_sql_append_constraint(statement, c.clause, sizeof statement), ZE_SUCCESS);
        EXPECT_EQ(std::string(statement), std::string("SELECT a FROM t WHERE x = 0") + c.appended)
            << (c.clause ? c.clause : "(null)");
    }
}

TEST(SqlWhereHelpers, AppendConstraintChecksTheStatementSize)
{
    // "WHERE 1" needs " and (1)": 8 more characters and the NUL.
    char statement[18] = "S WHERE 0";
    EXPECT_EQ(DB_sql_append_constraint(statement, "WHERE 1", 17), ZE_SQL_BUFFER_FULL);
    EXPECT_STREQ(statement, "S WHERE 0");
    EXPECT_EQ(DB_sql_append_constraint(statement, "WHERE 1", 18), ZE_SUCCESS);
    EXPECT_STREQ(statement, "S WHERE 0 and (1)");

    // A condition that would close the parentheses around it is refused.
    for (const char *escape : {"1 = 1) OR (1 = 1", "a = 1)", "(a = 1", "a = 'x"}) {
        char s[64] = "SELECT a FROM t WHERE x = 0";
        EXPECT_EQ(DB_sql_append_constraint(s, escape, sizeof s), ZE_INVALID_ARGUMENT) << escape;
        EXPECT_STREQ(s, "SELECT a FROM t WHERE x = 0");
    }

    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(DB_sql_append_constraint(unterminated, "x", sizeof unterminated),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_sql_append_constraint(statement, "x", 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_sql_append_constraint(nullptr, "x", 8), ZE_NULL_POINTER);
}

} // namespace
