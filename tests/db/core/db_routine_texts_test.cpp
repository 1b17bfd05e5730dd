// Tests the table of the engine's SPL routine texts: every text, once its
// tokens are filled, is a complete CREATE statement (balanced parentheses and
// blocks, no leftover format directive or token, the routine's own name, every
// variable it assigns declared, every global it reads declared, callees
// created before their callers); the groups, their drop orders and the list
// of the currency check agree with the table; and the repaired routines keep
// their repairs.
#include "db/core/db_routine_texts_internal.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "db/version/db_routine_internal.h"
#include "tests/db/core/connected_fixture.h"

namespace
{

// ---- a small SPL tokenizer ----------------------------------------------------------

struct Token {
    std::string text; // upper-cased word, a punctuation character, or "'" for a literal
    std::string raw;
    bool word = false;
};

// Splits an SPL text into words and punctuation; literals become one token
// and comments (optimizer directives included) are skipped. Sets *error on
// an unclosed literal or comment.
std::vector<Token> Tokenize(const std::string &text, std::string *error)
{
    std::vector<Token> out;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (isspace(static_cast<unsigned char>(c))) {
            i++;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            size_t end = text.find("*/", i + 2);
            if (end == std::string::npos) {
                *error = "unclosed comment";
                return out;
            }
            i = end + 2;
        } else if (c == '\'') {
            size_t j = i + 1;
            for (;;) {
                if (j >= text.size()) {
                    *error = "unclosed literal";
                    return out;
                }
                if (text[j] == '\'' && j + 1 < text.size() && text[j + 1] == '\'') {
                    j += 2;
                } else if (text[j] == '\'') {
                    break;
                } else {
                    j++;
                }
            }
            out.push_back({"'", text.substr(i, j + 1 - i), false});
            i = j + 1;
        } else if (isalnum(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < text.size() &&
                   (isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
                j++;
            std::string raw = text.substr(i, j - i);
            std::string upper = raw;
            for (char &u : upper)
                u = static_cast<char>(toupper(static_cast<unsigned char>(u)));
            out.push_back({upper, raw, true});
            i = j;
        } else {
            out.push_back({std::string(1, c), std::string(1, c), false});
            i++;
        }
    }
    return out;
}

// Checks parentheses and the block structure: CREATE FUNCTION/PROCEDURE ...
// END FUNCTION/PROCEDURE around IF, FOREACH, WHILE, FOR, BEGIN and ON
// EXCEPTION blocks, each closed by its own END. Returns "" or what is wrong.
std::string CheckStructure(const std::vector<Token> &t)
{
    int depth = 0;
    std::vector<std::string> blocks;
    for (size_t i = 0; i < t.size(); i++) {
        const std::string &w = t[i].text;
        if (w == "(")
            depth++;
        if (w == ")" && --depth < 0)
            return "a ')' without its '('";
        if (!t[i].word)
            continue;
        std::string prev = i > 0 ? t[i - 1].text : "";
        std::string next = i + 1 < t.size() ? t[i + 1].text : "";
        if (w == "END") {
            std::string closes = next;
            if (closes != "IF" && closes != "FOREACH" && closes != "WHILE" && closes != "FOR" &&
                closes != "EXCEPTION" && closes != "FUNCTION" && closes != "PROCEDURE")
                closes = "BEGIN";
            else
                i++;
            if (blocks.empty())
                return "END " + closes + " closes nothing";
            if (blocks.back() != closes)
                return "END " + closes + " closes " + blocks.back();
            blocks.pop_back();
            if ((closes == "FUNCTION" || closes == "PROCEDURE") && i + 1 != t.size())
                return "text after END " + closes;
        } else if (w == "CREATE" && (next == "FUNCTION" || next == "PROCEDURE")) {
            if (i != 0)
                return "a routine inside a routine";
            blocks.push_back(next);
            i++;
        } else if (w == "IF" || w == "FOREACH" || w == "WHILE" || w == "FOR" || w == "BEGIN") {
            blocks.push_back(w);
        } else if (w == "EXCEPTION" && prev == "ON") {
            blocks.push_back(w);
        }
    }
    if (depth != 0)
        return "unbalanced parentheses";
    if (!blocks.empty())
        return blocks.back() + " is not closed";
    return "";
}

// Names a routine declares: its parameters and every DEFINE [GLOBAL] name.
std::set<std::string> Declared(const std::vector<Token> &t)
{
    std::set<std::string> names;
    // Parameters: the first word after '(' or ',' at depth 1 of the header.
    size_t i = 3;
    int depth = 0;
    for (; i < t.size(); i++) {
        if (t[i].text == "(") {
            if (++depth == 1 && i + 1 < t.size() && t[i + 1].word)
                names.insert(t[i + 1].text);
        } else if (t[i].text == ")") {
            if (--depth == 0)
                break;
        } else if (t[i].text == "," && depth == 1 && i + 1 < t.size()) {
            names.insert(t[i + 1].text);
        }
    }
    for (; i < t.size(); i++) {
        if (t[i].text != "DEFINE")
            continue;
        size_t j = i + 1;
        if (j < t.size() && t[j].text == "GLOBAL")
            j++;
        for (; j < t.size(); j += 2) {
            names.insert(t[j].text);
            if (j + 1 >= t.size() || t[j + 1].text != ",")
                break;
        }
    }
    return names;
}

// Every name the routine assigns: LET targets, INTO lists (not INSERT INTO),
// RETURNING lists of a CALL, and the SET list of ON EXCEPTION.
std::vector<std::string> Assigned(const std::vector<Token> &t)
{
    std::vector<std::string> out;
    bool in_call = false;
    auto list = [&](size_t j) {
        for (; j < t.size() && t[j].word; j += 2) {
            out.push_back(t[j].text);
            while (j + 2 < t.size() && t[j + 1].text == ".")
                j += 2; // a field of a row variable: the variable counts
            if (j + 1 >= t.size() || t[j + 1].text != ",")
                break;
        }
    };
    for (size_t i = 0; i < t.size(); i++) {
        const std::string &w = t[i].text;
        if (w == ";")
            in_call = false;
        if (w == "CALL")
            in_call = true;
        if (w == "LET" || (w == "INTO" && (i == 0 || t[i - 1].text != "INSERT")) ||
            (w == "RETURNING" && in_call))
            list(i + 1);
        // ON EXCEPTION [IN (...)] SET a, b; an UPDATE's SET follows its table
        if (w == "SET" && i > 0 && (t[i - 1].text == ")" || t[i - 1].text == "EXCEPTION"))
            list(i + 1);
    }
    return out;
}

const char *const kGlobals[] = {"C_zel_dba",
                                "C_base_state_id",
                                "C_state_is_open",
                                "C_state_is_closed",
                                "C_default_version",
                                "C_generate_unique_name",
                                "C_take_name_as_given",
                                "C_package_release",
                                "G_zel_dba",
                                "G_current_user",
                                "G_lineage_table",
                                "G_current_state_id",
                                "G_protected",
                                "C_version_private",
                                "C_version_public",
                                "C_version_protected",
                                "VE_NO_PERMISSIONS",
                                "VE_STATE_NOEXIST",
                                "VE_INVALID_VERSION_NAME",
                                "VE_VERSION_NOEXIST",
                                "VE_VERSION_HAS_MOVED",
                                "VE_VERSION_EXISTS",
                                "VE_STATE_HAS_CHILDREN",
                                "VE_STATE_USED_BY_VERSION",
                                "ZEL_global_startid",
                                "ZEL_global_endid"};

size_t IndexOf(const DB_ROUTINE_TEXT *routine)
{
    return static_cast<size_t>(routine - db_routine_texts);
}

std::string Formatted(const char *name)
{
    std::string text;
    EXPECT_EQ(db_routine_text_format(nullptr, db_routine_text_find(name), &text), ZE_SUCCESS)
        << name;
    return text;
}

// The text from the first occurrence of from to the first of to after it.
std::string Between(const std::string &text, const std::string &from, const std::string &to)
{
    size_t a = text.find(from);
    if (a == std::string::npos)
        return "";
    size_t b = text.find(to, a + from.size());
    return b == std::string::npos ? "" : text.substr(a, b + to.size() - a);
}

using RoutineTexts = Unconnected;

} // namespace

// The structure check itself finds what an incomplete text lacks.
TEST(RoutineTextChecks, FindIncompleteTexts)
{
    struct Case {
        const char *text;
        const char *verdict;
    } const cases[] = {
        {"CREATE FUNCTION f() RETURNING INTEGER; RETURN 1; END FUNCTION", ""},
        {"CREATE FUNCTION f( RETURNING INTEGER; RETURN 1; END FUNCTION", "unbalanced parentheses"},
        {"CREATE FUNCTION f()) RETURNING INTEGER; END FUNCTION", "a ')' without its '('"},
        {"CREATE FUNCTION f() IF a THEN RETURN 1; END FUNCTION", "END FUNCTION closes IF"},
        {"CREATE PROCEDURE f() BEGIN LET a = 1; END IF b THEN END IF; END PROCEDURE",
         "END IF closes BEGIN"},
        {"CREATE PROCEDURE f() FOREACH SELECT a INTO b FROM t END FOREACH; END FUNCTION",
         "END FUNCTION closes PROCEDURE"},
        {"CREATE PROCEDURE f() ON EXCEPTION RETURN; END PROCEDURE",
         "END PROCEDURE closes EXCEPTION"},
        {"CREATE PROCEDURE f() WHILE 1 = 1 END WHILE;", "PROCEDURE is not closed"},
        {"CREATE PROCEDURE f() END PROCEDURE; DROP TABLE t", "text after END PROCEDURE"},
        {"CREATE PROCEDURE f() LET a = ')'; /* ( */ END PROCEDURE", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        std::vector<Token> t = Tokenize(c.text, &error);
        ASSERT_EQ(error, "");
        EXPECT_EQ(CheckStructure(t), c.verdict);
    }
    std::string error;
    Tokenize("LET a = 'open", &error);
    EXPECT_EQ(error, "unclosed literal");
}

TEST_F(RoutineTexts, EveryTextIsACompleteRoutine)
{
    for (const DB_ROUTINE_TEXT &routine : db_routine_texts) {
        SCOPED_TRACE(routine.name);
        std::string text;
        ASSERT_EQ(db_routine_text_format(nullptr, &routine, &text), ZE_SUCCESS);
        EXPECT_EQ(text.find('%'), std::string::npos) << "leftover format directive";
        EXPECT_EQ(text.find('$'), std::string::npos) << "leftover token";
        EXPECT_EQ(text.find('{'), std::string::npos);

        std::string error;
        std::vector<Token> t = Tokenize(text, &error);
        ASSERT_EQ(error, "");
        EXPECT_EQ(CheckStructure(t), "");

        // CREATE FUNCTION|PROCEDURE <its own SQL name> (
        std::string expected = routine.lineage_kind >= 0 ? std::string(routine.name)
                                                         : std::string("zel:zel.") + routine.name;
        std::string kind = t.size() > 1 ? t[1].text : "";
        std::string head = "CREATE " + kind + " " + expected + "(";
        EXPECT_EQ(text.compare(0, head.size(), head), 0) << text.substr(0, head.size());
        std::string tail = "END " + kind;
        ASSERT_GE(text.size(), tail.size());
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

        // A function states what it returns after its parameters and ends on
        // a RETURN; a procedure returns nothing. The iterator ends after its
        // last RETURN WITH RESUME.
        size_t header_end = 0;
        for (int depth = 0; header_end < t.size(); header_end++) {
            if (t[header_end].text == "(")
                depth++;
            if (t[header_end].text == ")" && --depth == 0)
                break;
        }
        ASSERT_LT(header_end + 1, t.size());
        EXPECT_EQ(t[header_end + 1].text == "RETURNING", kind == "FUNCTION");
        if (kind == "FUNCTION" && strcmp(routine.name, "state_tree_cursor") != 0) {
            size_t last = t.size() - 3; // the ';' before END FUNCTION
            size_t start = last;
            while (start > 0 && t[start - 1].text != ";")
                start--;
            if (t[start].text == "END") // a BEGIN block's end
                start++;
            EXPECT_EQ(t[start].text, "RETURN") << "the last statement is not a RETURN";
        }

        // Every assigned name is declared; every global read is declared.
        std::set<std::string> declared = Declared(t);
        for (const std::string &name : Assigned(t))
            EXPECT_TRUE(declared.count(name)) << name << " is not declared";
        for (const char *global : kGlobals) {
            std::string upper = global;
            for (char &c : upper)
                c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            bool used = std::any_of(t.begin(), t.end(),
                                    [&](const Token &k) { return k.word && k.text == upper; });
            if (used) {
                EXPECT_NE(text.find(std::string("DEFINE GLOBAL ") + global + " "),
                          std::string::npos)
                    << global << " is used but not declared";
            }
        }
    }
}

TEST_F(RoutineTexts, TokensNameKnownRoutinesCreatedBeforeTheirCallers)
{
    const std::set<std::string> fixed = {"NAME",
                                         "GLOBALS",
                                         "RELEASE",
                                         "DBA",
                                         "ADMIN_DB",
                                         "LAYERS",
                                         "GEOMETRY_COLUMNS",
                                         "SPATIAL_REFERENCES",
                                         "TABLE_REGISTRY",
                                         "MVTABLES_MODIFIED",
                                         "RASTER_COLUMNS",
                                         "METADATA",
                                         "LOCATORS",
                                         "DBTUNE",
                                         "STATES",
                                         "STATE_LINEAGES",
                                         "VERSIONS"};
    for (const DB_ROUTINE_TEXT &routine : db_routine_texts) {
        SCOPED_TRACE(routine.name);
        std::string text = routine.text;
        for (size_t at = text.find("${"); at != std::string::npos; at = text.find("${", at + 2)) {
            size_t close = text.find('}', at);
            ASSERT_NE(close, std::string::npos);
            std::string token = text.substr(at + 2, close - at - 2);
            if (fixed.count(token))
                continue;
            const DB_ROUTINE_TEXT *callee = db_routine_text_find(token.c_str());
            ASSERT_NE(callee, nullptr) << token;
            EXPECT_LT(IndexOf(callee), IndexOf(&routine)) << token << " is created later";
        }
    }

    // An unknown or unclosed token is refused, and the output left empty.
    DB_ROUTINE_TEXT bad = {DB_ROUTINES_RELEASE, "bad", -1, "CREATE FUNCTION ${NAME}() ${NOPE}"};
    std::string out = "x";
    EXPECT_EQ(db_routine_text_format(nullptr, &bad, &out), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(out, "");
    bad.text = "CREATE FUNCTION ${NAME";
    EXPECT_EQ(db_routine_text_format(nullptr, &bad, &out), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_routine_text_format(nullptr, nullptr, &out), ZE_INVALID_ARGUMENT);
}

TEST_F(RoutineTexts, GroupsDropOrdersAndTheCheckListAgreeWithTheTable)
{
    // Groups in creation order with their sizes.
    const size_t sizes[DB_ROUTINES_GROUP_COUNT] = {1, 5, 12, 15, 5, 8, 4, 3, 3, 2};
    int32_t last = 0;
    size_t counts[DB_ROUTINES_GROUP_COUNT + 1] = {};
    std::set<std::string> names;
    for (const DB_ROUTINE_TEXT &routine : db_routine_texts) {
        EXPECT_GE(routine.group, last) << routine.name;
        last = routine.group;
        ASSERT_GE(routine.group, DB_ROUTINES_RELEASE);
        ASSERT_LE(routine.group, DB_ROUTINES_GROUP_COUNT);
        counts[routine.group]++;
        EXPECT_TRUE(names.insert(routine.name).second) << routine.name << " twice";
    }
    for (int32_t g = 1; g <= DB_ROUTINES_GROUP_COUNT; g++)
        EXPECT_EQ(counts[g], sizes[g - 1]) << "group " << g;

    std::set<std::string> checked(db_routine_check_names,
                                  db_routine_check_names + DB_ROUTINE_COUNT);
    EXPECT_EQ(checked, names);
    EXPECT_STREQ(db_routine_check_names[0], "release_procedure");
    EXPECT_STREQ(db_routine_check_names[DB_ROUTINE_COUNT - 1], "insert_dbtune");

    for (int32_t g = 1; g <= DB_ROUTINES_GROUP_COUNT; g++) {
        SCOPED_TRACE(g);
        const DB_ROUTINE_TEXT *drops[DB_ROUTINE_COUNT] = {};
        size_t n = db_routine_drop_order(g, drops, DB_ROUTINE_COUNT);
        ASSERT_EQ(n, sizes[g - 1]);
        std::set<const DB_ROUTINE_TEXT *> seen;
        for (size_t i = 0; i < n; i++) {
            ASSERT_NE(drops[i], nullptr);
            EXPECT_EQ(drops[i]->group, g) << drops[i]->name;
            seen.insert(drops[i]);
        }
        EXPECT_EQ(seen.size(), n);
    }
    EXPECT_EQ(db_routine_drop_order(99, nullptr, 0), 0u);

    // The two id getters carry the names the lineage naming gives them.
    for (const DB_ROUTINE_TEXT &routine : db_routine_texts) {
        if (routine.lineage_kind < 0)
            continue;
        char name[64];
        ASSERT_EQ(db_lineage_routine_name(-1, name, sizeof(name), routine.lineage_kind, 1), 0);
        EXPECT_STREQ(name, routine.name);
        EXPECT_EQ(routine.group, DB_ROUTINES_STATES);
    }
}

TEST_F(RoutineTexts, TokensTakeTheNamesOfTheAdministrativeDatabase)
{
    EXPECT_EQ(Formatted("release_procedure"), "CREATE FUNCTION zel:zel.release_procedure()\n"
                                              "  RETURNING INTEGER;\n"
                                              "  RETURN 11;\n"
                                              "END FUNCTION");
    EXPECT_EQ(Formatted("lock_spatial_references"),
              "CREATE PROCEDURE zel:zel.lock_spatial_references()\n"
              "  LOCK TABLE zel:zel.spatial_references IN EXCLUSIVE MODE;\n"
              "END PROCEDURE");
    EXPECT_EQ(Formatted("ZEL_endid_get"), "CREATE FUNCTION ZEL_endid_get()\n"
                                          "  RETURNING INTEGER;\n"
                                          "  DEFINE GLOBAL ZEL_global_endid INTEGER DEFAULT -1;\n"
                                          "  RETURN ZEL_global_endid;\n"
                                          "END FUNCTION");
}

// ZEL_DATABASE is read once per process, so the other database is set in a
// fresh one.
TEST(RoutineTextsAdminDatabase, TokensFollowTheConfiguredDatabase)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto format_in_fresh_process = [] {
        setenv("ZEL_DATABASE", "gisadmin", 1);
        std::string text;
        db_routine_text_format(nullptr, db_routine_text_find("delete_state"), &text);
        const char *const wanted[] = {"CREATE FUNCTION gisadmin:zel.delete_state(",
                                      "CALL gisadmin:zel.L_state_user_can_modify(wanted_id)",
                                      "DELETE FROM gisadmin:zel.states WHERE",
                                      "DELETE /*+AVOID_FULL(gisadmin:mvtables_modified)*/ FROM "
                                      "gisadmin:zel.mvtables_modified",
                                      "DEFINE GLOBAL C_zel_dba VARCHAR(128) DEFAULT 'zel';"};
        int missing = 0;
        for (const char *piece : wanted)
            if (text.find(piece) == std::string::npos)
                fprintf(stderr, "missing <%s>\n", piece), missing++;
        if (text.find("zel:") != std::string::npos)
            fprintf(stderr, "the default database is named\n"), missing++;
        fprintf(stderr, "missing %d", missing);
        exit(0);
    };
    EXPECT_EXIT(format_in_fresh_process(), testing::ExitedWithCode(0), "^missing 0$");
}

// The repairs the routines carry; the texts run only on the server, so the
// statements that make each repair are checked here.
TEST_F(RoutineTexts, RepairedRoutinesKeepTheirRepairs)
{
    // The descendant walk does not take a state for its own child: from the
    // base state, whose parent is itself, it would recurse without end.
    std::string walk = Formatted("state_tree_cursor");
    EXPECT_NE(
        walk.find("FOREACH SELECT state_id INTO child_state FROM zel:zel.states\n"
                  "        WHERE parent_state_id = start_state AND state_id <> start_state\n"
                  "      FOREACH EXECUTE FUNCTION zel:zel.state_tree_cursor(child_state, 't')"),
        std::string::npos);
    // The ancestor walk stops below a state that is its own parent.
    EXPECT_NE(walk.find("IF row_state IS NOT NULL AND row_state <> row_parent THEN"),
              std::string::npos);

    // A generated name is inserted: the insert sits in a loop that ends only
    // when it stored the row or returned an error, and a taken name makes
    // the next name and goes round again.
    std::string insert = Formatted("insert_version");
    std::string loop = Between(insert, "WHILE stored = 'f'", "END WHILE;");
    ASSERT_NE(loop, "");
    std::string handler = Between(loop, "ON EXCEPTION", "END EXCEPTION;");
    EXPECT_NE(handler.find("IF name_rule = C_take_name_as_given THEN\n"
                           "          RETURN VE_VERSION_EXISTS, 'Version already exists', "
                           "used_name;"),
              std::string::npos);
    EXPECT_NE(handler.find("LET used_name = VE_STRINGCAT(VE_Rtrim(version_name), "
                           "VE_ToChar(suffix));"),
              std::string::npos);
    // A duplicate that no suffix can cure ends the loop.
    EXPECT_NE(handler.find("IF taken = 0 THEN\n"
                           "          RETURN sql_code, 'Failed to insert', used_name;"),
              std::string::npos);
    EXPECT_NE(handler.find("IF LENGTH(used_name) > 64 THEN\n"
                           "          RETURN VE_INVALID_VERSION_NAME, 'Unable to generate a "
                           "name', used_name;"),
              std::string::npos);
    EXPECT_NE(loop.find("VALUES (used_name, USER,"), std::string::npos);
    EXPECT_NE(loop.find("LET stored = 't';"), std::string::npos);
    EXPECT_NE(insert.find("RETURN 0, NULL, used_name;\nEND FUNCTION"), std::string::npos);

    // A version no row matches is reported by update_version.
    std::string update = Formatted("update_version");
    EXPECT_NE(update.find("IF found = 0 THEN\n    RETURN VE_VERSION_NOEXIST, 'Verion not found ';"),
              std::string::npos);

    // A version moved by someone else is reported by change_version_state.
    std::string change = Formatted("change_version_state");
    EXPECT_NE(change.find("LET moved = DBINFO('sqlca.sqlerrd2');"), std::string::npos);
    EXPECT_NE(change.find("  IF moved > 0 THEN\n    RETURN 0, NULL;\n  END IF;\n"
                          "  IF found = 0 THEN\n"
                          "    RETURN VE_VERSION_NOEXIST, 'Version' || version_name || "
                          "'not found';\n  END IF;\n"
                          "  RETURN VE_VERSION_HAS_MOVED, 'Version has been moved. ';\n"
                          "END FUNCTION"),
              std::string::npos);

    // rename_version renames the rows of the name it checked.
    std::string rename = Formatted("rename_version");
    EXPECT_NE(rename.find("SET name = new_name WHERE name = parsed_name AND owner = input_owner;"),
              std::string::npos);

    // insert_layer takes the GEOMETRY_COLUMNS row away before re-raising.
    std::string layer = Formatted("insert_layer");
    std::string second = Between(layer, "INSERT INTO zel:zel.Geometry_Columns", "END FUNCTION");
    std::string layer_handler = Between(second, "ON EXCEPTION", "END EXCEPTION;");
    EXPECT_LT(layer_handler.find("DELETE FROM zel:zel.Geometry_Columns"),
              layer_handler.find("RAISE EXCEPTION"));
}

TEST_F(RoutineTexts, VersionRowTypeAndLookups)
{
    EXPECT_STREQ(db_version_info_type_text,
                 "CREATE ROW TYPE version_info (NAME VARCHAR(64), OWNER VARCHAR(128) NOT NULL, "
                 "STATUS INTEGER NOT NULL, STATE_ID INTEGER NOT NULL, DESCRIPTION VARCHAR(65), "
                 "PARENT_NAME VARCHAR(128), PARENT_OWNER VARCHAR(32), "
                 "CREATION_TIME DATETIME YEAR TO SECOND NOT NULL, VERSION_ID INTEGER NOT NULL, "
                 "PARENT_VERSION_ID INTEGER)");
    EXPECT_EQ(db_routine_text_find("no_such_routine"), nullptr);
    EXPECT_EQ(db_routine_text_find(nullptr), nullptr);
    char name[16];
    EXPECT_EQ(
        db_routine_sql_name(nullptr, db_routine_text_find("insert_layer"), name, sizeof(name)),
        ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_routine_sql_name(nullptr, nullptr, name, sizeof(name)), ZE_INVALID_ARGUMENT);
}

namespace
{

// ---- a small evaluator of the routines' exception handlers ---------------------------

// What an error raised inside a routine comes to: the routine returns a
// status (code and message), the caller's call fails with an error, or the
// handler lets the routine go on.
struct Outcome {
    enum Kind { Status, Error, GoesOn, Unknown } kind = Unknown;
    int32_t code = 0;
    std::string message; // of a status: the text, or "NULL"; "" when none
    std::string why;     // of Unknown
    bool operator==(const Outcome &o) const
    {
        return kind == o.kind && code == o.code && message == o.message;
    }
};

std::ostream &operator<<(std::ostream &out, const Outcome &o)
{
    const char *kinds[] = {"status", "error", "goes on", "unknown"};
    return out << kinds[o.kind] << " " << o.code << " [" << o.message << "]" << o.why;
}

Outcome StatusOf(int32_t code, const std::string &message = "")
{
    return {Outcome::Status, code, message, ""};
}
Outcome ErrorOf(int32_t code)
{
    return {Outcome::Error, code, "", ""};
}

// One ON EXCEPTION block: the errors it catches (empty: every error), its
// body and whether it resumes.
struct Handler {
    std::vector<int32_t> caught;
    std::vector<Token> body;
    bool resumes = false;
};

std::vector<Handler> HandlersOf(const std::vector<Token> &t)
{
    std::vector<Handler> out;
    for (size_t i = 0; i + 1 < t.size(); i++) {
        if (t[i].text != "ON" || t[i + 1].text != "EXCEPTION" || (i > 0 && t[i - 1].text == "END"))
            continue;
        Handler h;
        size_t j = i + 2;
        if (j < t.size() && t[j].text == "IN") {
            for (j += 2; j < t.size() && t[j].text != ")"; j++) {
                if (t[j].text == "-" && j + 1 < t.size())
                    h.caught.push_back(-atoi(t[++j].text.c_str()));
            }
            j++;
        }
        while (j < t.size() && t[j].text != "SET")
            j++;
        j += 4; // SET sql_code , isam_code
        for (; j + 1 < t.size() && !(t[j].text == "END" && t[j + 1].text == "EXCEPTION"); j++)
            h.body.push_back(t[j]);
        h.resumes = j + 3 < t.size() && t[j + 2].text == "WITH" && t[j + 3].text == "RESUME";
        out.push_back(h);
        i = j;
    }
    return out;
}

using Vars = std::map<std::string, std::string>; // upper-case name -> value

// The globals the handlers name, as the routine texts define them.
const Vars kGlobalValues = {
    {"VE_NO_PERMISSIONS", "-20025"},       {"VE_STATE_NOEXIST", "-20172"},
    {"VE_INVALID_VERSION_NAME", "-20171"}, {"VE_VERSION_NOEXIST", "-20126"},
    {"VE_VERSION_HAS_MOVED", "-20174"},    {"VE_VERSION_EXISTS", "-20177"},
    {"VE_STATE_HAS_CHILDREN", "-20175"},   {"VE_STATE_USED_BY_VERSION", "-20179"},
    {"C_TAKE_NAME_AS_GIVEN", "2"},         {"C_GENERATE_UNIQUE_NAME", "1"},
};

class Evaluator
{
  public:
    Evaluator(const std::vector<Token> &body, const Vars &vars) : t_(body), vars_(vars) {}

    // Runs the body from its start: a status, an error, or the routine going
    // on when the body ends without either.
    Outcome Run()
    {
        size_t i = 0;
        Outcome o = Block(&i, {});
        if (o.kind == Outcome::Unknown && o.why.empty())
            o.kind = Outcome::GoesOn;
        return o;
    }

  private:
    // A value: a number (signed), a name of the map, a literal or NULL, the
    // parts joined by ||. false when a name is not known.
    bool Value(size_t *i, std::string *out)
    {
        out->clear();
        for (;;) {
            if (*i >= t_.size())
                return false;
            const Token &k = t_[*i];
            if (k.text == "-" && *i + 1 < t_.size()) {
                *out += "-" + t_[*i + 1].text;
                *i += 2;
            } else if (k.text == "'") {
                *out += k.raw.substr(1, k.raw.size() - 2);
                ++*i;
            } else if (k.text == "NULL") {
                *out += "NULL";
                ++*i;
            } else if (k.word && isdigit(static_cast<unsigned char>(k.text[0]))) {
                *out += k.text;
                ++*i;
            } else if (k.word && vars_.count(k.text) != 0) {
                *out += vars_.at(k.text);
                ++*i;
            } else {
                return false;
            }
            if (*i + 1 < t_.size() && t_[*i].text == "|" && t_[*i + 1].text == "|")
                *i += 2;
            else
                return true;
        }
    }

    // A condition of comparisons joined by AND; *known false when a name is
    // not known.
    bool Condition(size_t *i, bool *known)
    {
        bool all = true;
        for (;;) {
            std::string left, right, op;
            if (!Value(i, &left))
                return *known = false;
            while (*i < t_.size() &&
                   (t_[*i].text == "=" || t_[*i].text == "<" || t_[*i].text == ">"))
                op += t_[(*i)++].text;
            if (!Value(i, &right))
                return *known = false;
            const bool equal = left == right;
            all = all && (op == "=" ? equal : op == "<>" ? !equal : (*known = false));
            if (*i < t_.size() && t_[*i].text == "AND") {
                ++*i;
                continue;
            }
            return all;
        }
    }

    // Skips to the end of the statement at i (past its ';').
    void Skip(size_t *i)
    {
        int depth = 0;
        for (; *i < t_.size(); ++*i) {
            const std::string &w = t_[*i].text;
            depth += w == "(" ? 1 : w == ")" ? -1 : 0;
            if (w == ";" && depth == 0) {
                ++*i;
                return;
            }
        }
    }

    // Runs statements until END IF / ELSE (of the enclosing IF) or the end.
    Outcome Block(size_t *i, const std::vector<std::string> &until)
    {
        while (*i < t_.size()) {
            const std::string &w = t_[*i].text;
            if (std::find(until.begin(), until.end(), w) != until.end())
                return {};
            if (w == "RETURN") {
                ++*i;
                std::string code, message;
                if (!Value(i, &code))
                    return {Outcome::Unknown, 0, "", " RETURN of an unknown value"};
                if (*i < t_.size() && t_[*i].text == ",") {
                    ++*i;
                    if (!Value(i, &message))
                        return {Outcome::Unknown, 0, "", " RETURN of an unknown message"};
                }
                return StatusOf(atoi(code.c_str()), message);
            }
            if (w == "RAISE") {
                *i += 2; // RAISE EXCEPTION
                std::string code;
                if (!Value(i, &code))
                    return {Outcome::Unknown, 0, "", " RAISE of an unknown value"};
                return ErrorOf(atoi(code.c_str()));
            }
            if (w == "IF") {
                ++*i;
                bool known = true;
                const bool holds = Condition(i, &known);
                if (!known || *i >= t_.size() || t_[*i].text != "THEN")
                    return {Outcome::Unknown, 0, "", " IF on an unknown value"};
                ++*i;
                Outcome o;
                if (holds) {
                    o = Block(i, {"ELSE", "END"});
                    if (o.kind != Outcome::Unknown || !o.why.empty())
                        return o;
                }
                // Past the rest of the IF: its branches are plain here.
                for (int nested = 0; *i + 1 < t_.size(); ++*i) {
                    if (t_[*i].text == "IF" && (*i == 0 || t_[*i - 1].text != "END"))
                        nested++;
                    if (t_[*i].text == "ELSE" && nested == 0 && !holds) {
                        ++*i;
                        o = Block(i, {"END"});
                        if (o.kind != Outcome::Unknown || !o.why.empty())
                            return o;
                    }
                    if (t_[*i].text == "END" && t_[*i + 1].text == "IF" && nested-- == 0)
                        break;
                }
                *i += 3; // END IF ;
                continue;
            }
            Skip(i);
        }
        return {};
    }

    const std::vector<Token> &t_;
    const Vars &vars_;
};

// What the routine's handler (by position) makes of the error.
Outcome Handle(const DB_ROUTINE_TEXT *routine, size_t handler, int32_t sql_code, int32_t isam_code,
               Vars vars)
{
    std::string text, error;
    if (routine == nullptr || db_routine_text_format(nullptr, routine, &text) != ZE_SUCCESS)
        return {Outcome::Unknown, 0, "", " no text"};
    const std::vector<Handler> handlers = HandlersOf(Tokenize(text, &error));
    if (handler >= handlers.size())
        return {Outcome::Unknown, 0, "", " no such handler"};
    const Handler &h = handlers[handler];
    if (!h.caught.empty() &&
        std::find(h.caught.begin(), h.caught.end(), sql_code) == h.caught.end())
        return ErrorOf(sql_code); // not caught: the call fails with it
    vars.insert(kGlobalValues.begin(), kGlobalValues.end());
    vars["SQL_CODE"] = std::to_string(sql_code);
    vars["ISAM_CODE"] = std::to_string(isam_code);
    Outcome o = Evaluator(h.body, vars).Run();
    if (o.kind == Outcome::GoesOn && !h.resumes)
        o.why = " (leaves the block)";
    return o;
}

} // namespace

// Every routine's exception handler against the errors it catches and one
// it does not: the status it returns (engine codes with the -20000 offset,
// and the message of a routine that returns one), or the error the caller's
// call fails with (an error raised again is one the handler lets through).
TEST(RoutineErrors, HandlersAnswerEachCaughtError)
{
    const int32_t other = -999; // an error no handler names
    struct Case {
        const char *routine;
        size_t handler;
        int32_t sql_code;
        Outcome expected;
        Vars vars = {};
        int32_t isam_code = 0;
    };
    const Case cases[] = {
        // Both inserts of a layer: -100 goes to the caller, any other error
        // is the status.
        {"insert_layer", 0, -100, ErrorOf(-100)},
        {"insert_layer", 0, -275, StatusOf(-20025)},
        {"insert_layer", 0, other, StatusOf(other)},
        {"insert_layer", 1, -100, ErrorOf(-100)},
        {"insert_layer", 1, -275, StatusOf(-20025)},
        {"insert_layer", 1, other, StatusOf(other)},
        {"delete_layer", 0, -266, ErrorOf(-266)},
        {"delete_layer", 0, -274, StatusOf(-20025)},
        {"delete_layer", 0, other, ErrorOf(other)},
        {"update_layer", 0, -266, StatusOf(-20220)},
        {"update_layer", 0, -273, StatusOf(-20025)},
        {"update_layer", 0, other, ErrorOf(other)},
        {"change_registration_table_name", 0, -266, StatusOf(-20220)},
        {"change_registration_table_name", 0, -273, StatusOf(-20025)},
        {"change_registration_table_name", 0, other, ErrorOf(other)},
        {"update_registration", 0, -266, StatusOf(-20220)},
        {"update_registration", 0, -273, StatusOf(-20025)},
        {"update_registration", 0, other, ErrorOf(other)},
        {"update_layer_extent", 0, -266, ErrorOf(-266)},
        {"update_layer_extent", 0, -273, StatusOf(-20025)},
        {"change_layer_table_name", 0, -266, ErrorOf(-266)},
        {"change_layer_table_name", 0, -273, StatusOf(-20025)},
        {"update_spatial_references", 0, -266, ErrorOf(-266)},
        {"update_spatial_references", 0, -273, StatusOf(-20025)},
        {"update_layer_srid", 0, -266, ErrorOf(-266)},
        {"update_layer_srid", 0, -273, StatusOf(-20025)},
        {"insert_spatial_ref", 0, -100, ErrorOf(-100)},
        {"insert_spatial_ref", 0, -275, StatusOf(-20025)},
        {"delete_spatial_references", 0, -206, ErrorOf(-206)},
        {"delete_spatial_references", 0, -217, ErrorOf(-217)},
        {"delete_spatial_references", 0, -274, StatusOf(-20025)},
        {"insert_spatial_references", 0, -100, StatusOf(-20025)},
        {"insert_spatial_references", 0, -206, ErrorOf(-206)},
        // Without a status of its own, the routine reports through the error.
        {"alter_spatial_references", 0, -206, ErrorOf(-206)},
        {"alter_spatial_references", 0, -273, ErrorOf(-20025)},
        {"delete_registration", 0, -266, StatusOf(-20220)},
        {"delete_registration", 0, -274, StatusOf(-20025)},
        {"delete_registration", 0, other, ErrorOf(other)},
        {"clear_registration_modified", 0, -266, StatusOf(-20220)},
        {"clear_registration_modified", 0, -274, StatusOf(-20025)},
        {"delete_metadata", 0, -266, StatusOf(-20220)},
        {"delete_metadata", 0, -274, StatusOf(-20025)},
        {"delete_locator", 0, -266, StatusOf(-20220)},
        {"delete_locator", 0, -274, StatusOf(-20025)},
        {"insert_registration", 0, -100, StatusOf(-20025)},
        {"insert_registration", 0, -275, StatusOf(-20025)},
        {"insert_registration", 0, other, ErrorOf(other)},
        {"insert_dbtune", 0, -100, StatusOf(-20025)},
        {"insert_dbtune", 0, -275, StatusOf(-20025)},
        {"insert_metadata", 0, -275, StatusOf(-20025)},
        {"insert_metadata", 0, other, ErrorOf(other)},
        {"update_metadata", 0, -266, StatusOf(-20220)},
        {"update_metadata", 0, -273, StatusOf(-20025)},
        {"insert_locator", 0, -275, StatusOf(-20025)},
        {"insert_locator", 0, -268, StatusOf(-20276)},
        {"insert_locator", 0, other, ErrorOf(other)},
        {"update_locator", 0, -266, StatusOf(-20220)},
        {"update_locator", 0, -273, StatusOf(-20025)},
        {"update_locator", 0, -268, StatusOf(-20276)},
        {"truncate_dbtune", 0, -266, StatusOf(-20220)},
        {"truncate_dbtune", 0, -274, StatusOf(-20025)},
        {"truncate_dbtune", 0, -206, StatusOf(-20037)},
        {"truncate_dbtune", 0, other, ErrorOf(other)},
        // State and version routines: a code and its message.
        {"insert_state", 0, -391, StatusOf(-391, "Cannot insert a null into column")},
        {"insert_state", 0, -275, StatusOf(-20025, "No INSERT permission")},
        {"insert_state", 0, other, StatusOf(other, "NULL")},
        {"flag_mvtable_modified", 0, -391, StatusOf(-391, "Cannot insert a null into column")},
        {"flag_mvtable_modified", 0, -275, StatusOf(-20025, "No INSERT permission")},
        {"flag_mvtable_modified", 0, other, StatusOf(other, "NULL")},
        {"update_version", 0, -391, StatusOf(-391, " Cannot insert a null into column ")},
        {"update_version", 0, other, StatusOf(other, "Unexpected error happen, Failed to Insert.")},
        {"change_version_state", 0, other, StatusOf(-20174, "Version has been moved. ")},
        {"rename_version",
         0,
         -268,
         StatusOf(-20177, "A version named newalready existed"),
         {{"NEW_NAME", "new"}}},
        {"rename_version", 0, other, ErrorOf(other), {{"NEW_NAME", "new"}}},
        {"insert_version",
         0,
         -239,
         StatusOf(-20177, "Version already exists"),
         {{"NAME_RULE", "2"}}},
        {"insert_version", 0, other, StatusOf(other, "Failed to insert"), {{"NAME_RULE", "2"}}},
        // The base-state rewrite goes on past a missing row only.
        {"trim_state_lineage", 0, -239, {Outcome::GoesOn, 0, "", ""}, {}, -100},
        {"trim_state_lineage", 0, other, ErrorOf(other), {}, -111},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.routine) + " #" + std::to_string(c.handler) + " " +
                     std::to_string(c.sql_code));
        EXPECT_EQ(
            Handle(db_routine_text_find(c.routine), c.handler, c.sql_code, c.isam_code, c.vars),
            c.expected);
    }
}
