// Copies of a table's grants, indexes, defaults and check constraints: the
// catalogue reads keyed by table name and owner, the statements replayed on
// the target in order (exact texts), the privilege decoder within its nine
// letters, the unique-index rule, the full types of MODIFY, check texts put
// together from every piece in sequence, rowsets beyond the first, and the
// failures that stop a copy with what ran before it left in force.
#include "db/catalog/db_table_copy_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/util/zel_errors.h"
#include "tests/db/core/connected_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

using Strings = std::vector<std::string>;

Strings tail(const Strings &all, size_t from)
{
    return Strings(all.begin() + static_cast<long>(from), all.end());
}

const std::string kGrants =
    "SELECT DISTINCT auth.grantee, auth.tabauth FROM systabauth auth, systables tab WHERE "
    "tab.tabname = 't' AND tab.owner = 'bob' AND auth.tabid = tab.tabid ORDER BY grantee";

std::string indexes_sql(const std::string &table, const std::string &owner)
{
    return "SELECT idx.idxname, idx.idxtype, idx.clustered,sc.colname                 FROM "
           "systables tab, sysindices idx, syscolumns sc, sysams sa,                     TABLE "
           "(MULTISET{0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15}) as i(indexpart)                 "
           "WHERE tab.tabname= '" +
           table + "' AND tab.owner = '" + owner +
           "' AND tab.tabid = idx.tabid AND                       sc.tabid = tab.tabid AND "
           "idx.amid = sa.am_id AND                       sc.colno = "
           "ikeyextractcolno(idx.indexkeys,i.indexpart) AND                       (sa.am_name = "
           "'btree' ) ORDER by 1, i.indexpart";
}

const std::string kDefaults =
    "SELECT DISTINCT col.colname, col.coltype, def.default, def.type, col.extended_id, "
    "col.collength FROM sysdefaults def, syscolumns col WHERE def.tabid = col.tabid AND "
    "def.colno = col.colno AND def.tabid IN (SELECT tab.tabid FROM systables tab WHERE "
    "tab.tabname = 't' AND tab.owner = 'bob')";

const std::string kChecks =
    "SELECT con.constrname, ch.constrid, ch.checktext, con.constrname FROM syschecks ch, "
    "sysconstraints  con where ch.constrid = con.constrid and ch.type = 'T' AND con.tabid = "
    "(SELECT tabid from systables tab where tab.tabname = 't' AND tab.owner = 'bob' ) order by "
    "ch.constrid, ch.seqno";

std::string st_probe(const std::string &column)
{
    return "select typ.name from informix.syscolumns col, informix.sysxtdtypes typ where colname "
           "= '" +
           column + "' and col.extended_id=typ.extended_id";
}

class TableCopy : public ConnectedUser
{
  protected:
    void SetUp() override
    {
        ConnectedUser::SetUp();
        // No column is of a spatial type.
        scli::on_sql_like("select typ\\.name from .*")
            .columns({{"name", SQL_VARCHAR, 128}})
            .repeat();
    }
    static void grant_rows(std::vector<scli::Row> rows)
    {
        scli::on_sql(kGrants)
            .columns({{"grantee", SQL_CHAR, 32}, {"tabauth", SQL_CHAR, 9}})
            .rows(std::move(rows));
    }
    static scli::Row grant(const std::string &grantee, const std::string &tabauth)
    {
        return {scli::chr(grantee, 32), scli::chr(tabauth, 9)};
    }
};

TEST(TableDecodePrivileges, EachPositionWithinNineLetters)
{
    char words[DB_PRIVILEGE_WORDS][DB_PRIVILEGE_WORD_SIZE];
    int32_t flags[DB_PRIVILEGE_WORDS];
    struct Case {
        const char *text;
        Strings words;
        std::vector<int32_t> flags;
    };
    const Case cases[] = {
        {"Su-i-----",
         {"SELECT", "UPDATE", "", "INSERT", "", "", "", "", "", ""},
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"SUXIDXAR-",
         {"SELECT", "UPDATE", "INDEX", "INSERT", "DELETE", "INDEX", "ALTER", "REFERENCES", "", ""},
         {1, 1, 1, 1, 1, 1, 1, 1, 0, 0}},
        {"s*-idxarn",
         {"SELECT", "", "", "INSERT", "DELETE", "INDEX", "ALTER", "REFERENCES", "", ""},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"", {"", "", "", "", "", "", "", "", "", ""}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // Letters beyond the ninth are not part of the text.
        {"---------S", {"", "", "", "", "", "", "", "", "", ""}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        memset(words, 'x', sizeof(words));
        ASSERT_EQ(db_table_decode_privileges(c.text, words, flags), 0);
        for (int i = 0; i < DB_PRIVILEGE_WORDS; i++) {
            EXPECT_EQ(words[i], c.words[i]) << i;
            EXPECT_EQ(flags[i], c.flags[i]) << i;
        }
    }
    // Nine letters without a terminator: nothing past them is read.
    char exact[DB_TABAUTH_LENGTH];
    memcpy(exact, "sUidxar--", sizeof(exact));
    ASSERT_EQ(db_table_decode_privileges(exact, words, flags), 0);
    EXPECT_STREQ(words[1], "UPDATE");
    EXPECT_EQ(flags[1], 1);
    EXPECT_STREQ(words[6], "REFERENCES");

    // No text: ten empty words; missing arrays: -66.
    ASSERT_EQ(db_table_decode_privileges(nullptr, words, flags), 0);
    for (int i = 0; i < DB_PRIVILEGE_WORDS; i++)
        EXPECT_TRUE(words[i][0] == '\0' && flags[i] == 0);
    EXPECT_EQ(db_table_decode_privileges("S", nullptr, flags), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(db_table_decode_privileges("S", words, nullptr), ZE_INVALID_ARGUMENT);
}

TEST_F(TableCopy, GrantsSplitByGrantOptionFirstRowOfEachGrantee)
{
    grant_rows({grant("alice", "Su-i-----"), grant("alice", "SUDIDXAR-"),
                grant("public", "s--------"), grant("zed", "---------")});
    ASSERT_EQ(db_table_copy_grants("t", "gis:'bob'.A12", 0), 0);
    EXPECT_EQ(
        Executed(),
        (Strings{kGrants, "COMMIT", "GRANT  SELECT ON gis:'bob'.A12 TO alice WITH GRANT OPTION",
                 "COMMIT", "GRANT  UPDATE, INSERT ON gis:'bob'.A12 TO alice", "COMMIT",
                 "GRANT  SELECT ON gis:'bob'.A12 TO public", "COMMIT"}));
}

TEST_F(TableCopy, GrantsReadTheNamedOwnersTable)
{
    scli::on_sql("SELECT DISTINCT auth.grantee, auth.tabauth FROM systabauth auth, systables tab "
                 "WHERE tab.tabname = 'parcels' AND tab.owner = 'o''k' AND auth.tabid = "
                 "tab.tabid ORDER BY grantee")
        .columns({{"grantee", SQL_CHAR, 32}, {"tabauth", SQL_CHAR, 9}})
        .row(grant("carol", "-u-------"));
    ASSERT_EQ(db_table_copy_grants("gis:o'k.PARCELS", "d5", 0), 0);
    EXPECT_EQ(Executed().at(2), "GRANT  UPDATE ON d5 TO carol");
    EXPECT_TRUE(scli::unused_answers().empty());
}

TEST_F(TableCopy, GrantsBeyondTheFirstRowset)
{
    std::vector<scli::Row> rows;
    for (int i = 0; i < 101; i++) {
        char name[8];
        snprintf(name, sizeof(name), "u%03d", i);
        rows.push_back(grant(name, "s--------"));
    }
    grant_rows(rows);
    ASSERT_EQ(db_table_copy_grants("t", "A12", 0), 0);
    Strings run = Executed();
    ASSERT_EQ(run.size(), 2u + 2 * 101);
    EXPECT_EQ(run[2], "GRANT  SELECT ON A12 TO u000");
    EXPECT_EQ(run[run.size() - 2], "GRANT  SELECT ON A12 TO u100");
}

TEST_F(TableCopy, GrantFailuresStopTheCopy)
{
    // A refused grant: its code, and the grants before it stay.
    grant_rows({grant("alice", "S--------"), grant("bert", "s--------"), grant("carl", "s")});
    scli::on_sql("GRANT  SELECT ON A12 TO bert").fail(SQL_ERROR, {"42000", -273, "no"});
    EXPECT_EQ(quiet_stderr([] { return db_table_copy_grants("t", "A12", 0); }), ZE_NO_PERMISSIONS);
    EXPECT_EQ(Executed().back(), "GRANT  SELECT ON A12 TO bert");

    // A grantee that is no name runs nothing for it.
    size_t before = Executed().size();
    grant_rows({grant("x;drop", "s--------")});
    EXPECT_EQ(db_table_copy_grants("t", "A12", 0), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(tail(Executed(), before), (Strings{kGrants, "COMMIT"}));

    // A failing catalogue read: -51 with the diagnostic recorded.
    scli::on_sql(kGrants).fail(SQL_ERROR, {"S1000", -999, "catalogue"});
    EXPECT_EQ(quiet_stderr([] { return db_table_copy_grants("t", "A12", 0); }), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -999);

    // A target that is no table name, or nothing: refused before any read.
    before = Executed().size();
    EXPECT_EQ(db_table_copy_grants("t", "A12; drop", 0), ZE_INVALID_IDENTIFIER);
    EXPECT_EQ(db_table_copy_grants(nullptr, "A12", 0), ZE_NULL_POINTER);
    EXPECT_EQ(Executed().size(), before);
}

class IndexCopy : public TableCopy
{
  protected:
    static void index_rows(std::vector<scli::Row> rows)
    {
        scli::on_sql(indexes_sql("t", "bob"))
            .columns({{"idxname", SQL_CHAR, 128},
                      {"idxtype", SQL_CHAR, 1},
                      {"clustered", SQL_CHAR, 1},
                      {"colname", SQL_CHAR, 128}})
            .rows(std::move(rows));
    }
    static scli::Row part(const std::string &index, const char *type, const std::string &column)
    {
        return {scli::chr(index, 128), scli::chr(type, 1), scli::chr("-", 1),
                scli::chr(column, 128)};
    }
};

TEST_F(IndexCopy, IndexesCopiedAsNonUniqueUnderTheirBlanklessNames)
{
    const char skip[][DB_COPY_INDEX_NAME_SIZE] = {"R7_zel_rowid_uk"};
    const char allowed[][DB_COPY_INDEX_NAME_SIZE] = {"A3_ix9"};
    index_rows({part("my idx", "D", "a"), part("my idx", "D", "b"),
                part("r7_ZEL_rowid_uk", "U", "rid"), part("A3_IX9", "U", "c")});
    ASSERT_EQ(db_table_copy_indexes("t", "A12", skip, 1, 0, allowed, 1, "", 1), 0);
    EXPECT_EQ(Executed(),
              (Strings{indexes_sql("t", "bob"), "COMMIT", "CREATE  INDEX myidx_a on A12 (a,b ASC) ",
                       st_probe("c"), "CREATE  INDEX A3_IX9_a on A12 (c ASC) "}));
}

TEST_F(IndexCopy, UniqueIndexesOutsideTheAllowedList)
{
    // Checked: the copy stops there, the indexes before it stay.
    index_rows({part("ix1", "D", "a"), part("uk", "U", "b"), part("ix2", "D", "c")});
    EXPECT_EQ(db_table_copy_indexes("t", "A12", nullptr, 0, 0, nullptr, 0, "", 1),
              ZE_UNIQUE_INDEX_NOT_ALLOWED);
    EXPECT_EQ(tail(Executed(), 2), (Strings{st_probe("a"), "CREATE  INDEX ix1_a on A12 (a ASC) "}));

    // Not checked: copied as any other index.
    size_t before = Executed().size();
    index_rows({part("uk", "U", "b")});
    EXPECT_EQ(db_table_copy_indexes("t", "A12", nullptr, 0, 1, nullptr, 0, "", 1), 0);
    EXPECT_EQ(Executed().back(), "CREATE  INDEX uk_a on A12 (b ASC) ");
    EXPECT_EQ(Executed().size(), before + 4);
}

TEST_F(IndexCopy, AnExistingCopyIsReportedAndPassedOver)
{
    index_rows({part("ix1", "D", "a"), part("ix2", "D", "b")});
    scli::on_sql("CREATE  INDEX ix1_a on A12 (a ASC) ").fail(SQL_ERROR, {"S0011", -316, ""});
    {
        StderrCapture capture;
        EXPECT_EQ(db_table_copy_indexes("t", "A12", nullptr, 0, 0, nullptr, 0, "", 1), 0);
        EXPECT_NE(capture.text().find("Unable to duplicate index ix1 for table t onto table A12 "
                                      "because index ix1_a already exists.\n"),
                  std::string::npos);
    }
    EXPECT_EQ(Executed().back(), "CREATE  INDEX ix2_a on A12 (b ASC) ");

    // Any other failure ends the copy with its code.
    index_rows({part("ix1", "D", "a"), part("ix2", "D", "b")});
    scli::on_sql("CREATE  INDEX ix1_a on A12 (a ASC) ").fail(SQL_ERROR, {"S0022", -217, ""});
    EXPECT_EQ(quiet_stderr([] {
                  return db_table_copy_indexes("t", "A12", nullptr, 0, 0, nullptr, 0, "", 1);
              }),
              ZE_COLUMN_NOT_FOUND);
    EXPECT_EQ(Executed().back(), "CREATE  INDEX ix1_a on A12 (a ASC) ");
}

class DefaultCopy : public TableCopy
{
  protected:
    static void default_row(const std::string &column, int16_t code, const std::string &text,
                            const char *kind, int32_t extended_id, int16_t collength)
    {
        scli::on_sql(kDefaults)
            .columns({{"colname", SQL_CHAR, 128},
                      {"coltype", SQL_SMALLINT},
                      {"default", SQL_CHAR, 256},
                      {"type", SQL_CHAR, 1},
                      {"extended_id", SQL_INTEGER},
                      {"collength", SQL_SMALLINT}})
            .row({scli::chr(column, 128), scli::i16(code), scli::chr(text, 256), scli::chr(kind, 1),
                  scli::i32(extended_id), scli::i16(collength)});
    }
};

TEST_F(DefaultCopy, ModifyTextsByColumnType)
{
    scli::on_sql("SELECT DISTINCT name FROM sysxtdtypes WHERE extended_id = 9")
        .columns({{"name", SQL_CHAR, 128}})
        .row({scli::chr("st_point", 128)});
    scli::on_sql("SELECT DISTINCT name FROM sysxtdtypes WHERE extended_id = 10")
        .columns({{"name", SQL_CHAR, 128}});
    struct Case {
        int16_t code;
        std::string text;
        const char *kind;
        int32_t extended_id;
        int16_t collength;
        std::string modify; // empty: no statement
    };
    const Case cases[] = {
        {2, "4 0", "L", 0, 4, "c INTEGER DEFAULT 0"},
        {2 + 256, "4 5 \t\n", "L", 0, 4, "c INTEGER DEFAULT 5 NOT NULL"},
        {1, "7", "L", 0, 2, "c SMALLINT DEFAULT 7"},
        {17, "x -12", "L", 0, 10, "c INT8 DEFAULT -12"},
        {5, "x 1.5", "L", 0, 8 * 256 + 2, "c DECIMAL(8,2) DEFAULT 1.5"},
        {8, "x 3", "L", 0, 16 * 256 + 255, "c MONEY(16) DEFAULT 3"},
        {0, "it's  ", "L", 0, 10, "c CHAR(10) DEFAULT 'it''s'"},
        {13, "ab", "L", 0, 3 * 256 + 20, "c VARCHAR(20,3) DEFAULT 'ab'"},
        {15, "n", "L", 0, 4, "c NCHAR(4) DEFAULT 'n'"},
        {16 + 256, "n", "L", 0, 40, "c NVARCHAR(40,0) DEFAULT 'n' NOT NULL"},
        {7, "x 01/02/2003", "L", 0, 4, "c DATE DEFAULT '01/02/2003'"},
        {10, "x 2001-01-01 00:00:00", "L", 0, 14 * 256 + 10,
         "c DATETIME YEAR TO SECOND DEFAULT '2001-01-01 00:00:00'"},
        {10, "", "C", 0, 17 * 256 + 13,
         "c DATETIME YEAR TO FRACTION(3) DEFAULT CURRENT YEAR TO FRACTION(3)"},
        {14, "1 00:00:00", "L", 0, 9 * 256 + 4 * 16 + 10,
         "c INTERVAL DAY(3) TO SECOND DEFAULT '1 00:00:00'"},
        {0, "anything", "N", 0, 8, "c CHAR(8) DEFAULT NULL"},
        {0, "", "U", 0, 8, "c CHAR(8) DEFAULT USER"},
        {7, "", "T", 0, 4, "c DATE DEFAULT TODAY"},
        {0, "", "S", 0, 18, "c CHAR(18) DEFAULT DBSERVERNAME"},
        {12, "x", "L", 0, 56, "c TEXT DEFAULT NULL"},
        {40, "1 2", "L", 9, 0, "c st_point DEFAULT '1 2'"},
        {41, "v", "L", 10, 0, "c ST_GEOMETRY DEFAULT 'v'"},
        {6, "x 1", "L", 0, 4, ""},
        {6 + 256, "x 1", "L", 0, 4, ""},
        {19, "", "L", 0, 0, ""},
        {4118, "", "L", 0, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.modify + " " + std::to_string(c.code));
        default_row("c", c.code, c.text, c.kind, c.extended_id, c.collength);
        size_t before = Executed().size();
        ASSERT_EQ(db_table_copy_defaults("t", "A12"), 0);
        Strings expected{kDefaults, "COMMIT"};
        if (c.code == 40 || c.code == 41)
            expected.push_back("SELECT DISTINCT name FROM sysxtdtypes WHERE extended_id = " +
                               std::to_string(c.extended_id));
        if (!c.modify.empty())
            expected.insert(expected.end(),
                            {"ALTER TABLE A12 MODIFY (" + c.modify + ")", "COMMIT"});
        EXPECT_EQ(tail(Executed(), before), expected);
    }
}

TEST_F(DefaultCopy, FailuresStopTheCopy)
{
    // A type this copy cannot write runs nothing.
    default_row("c", 45, "t", "L", 0, 1);
    EXPECT_EQ(db_table_copy_defaults("t", "A12"), ZE_UNSUPPORTED_COLUMN_TYPE);
    EXPECT_EQ(Executed(), (Strings{kDefaults, "COMMIT"}));

    // A failed ALTER: -51.
    default_row("c", 2, "4 0", "L", 0, 4);
    scli::on_sql("ALTER TABLE A12 MODIFY (c INTEGER DEFAULT 0)")
        .fail(SQL_ERROR, {"S1000", -999, ""});
    EXPECT_EQ(quiet_stderr([] { return db_table_copy_defaults("t", "A12"); }), ZE_DBMS_ERROR);

    // The extended type's lookup fails: -51, nothing altered.
    default_row("c", 40, "v", "L", 9, 0);
    scli::on_sql("SELECT DISTINCT name FROM sysxtdtypes WHERE extended_id = 9")
        .fail(SQL_ERROR, {"S1000", -999, ""});
    size_t before = Executed().size();
    EXPECT_EQ(quiet_stderr([] { return db_table_copy_defaults("t", "A12"); }), ZE_DBMS_ERROR);
    EXPECT_EQ(Executed().size(), before + 3);
}

TEST_F(TableCopy, CheckConstraintsFromEveryPieceInSequence)
{
    // 32 characters, the last a blank that belongs to the text.
    const std::string first = "(a > 0 AND a < 100 AND b = 'x' ";
    ASSERT_EQ(first.size(), 31u);
    const std::string piece1 = first + " ";
    scli::on_sql(kChecks)
        .columns({{"constrname", SQL_CHAR, 128},
                  {"constrid", SQL_INTEGER},
                  {"checktext", SQL_CHAR, 32},
                  {"constrname", SQL_CHAR, 128}})
        .rows(
            {{scli::chr("c7", 128), scli::i32(7), scli::chr(piece1, 32), scli::chr("c7", 128)},
             {scli::chr("c7", 128), scli::i32(7), scli::chr(piece1, 32), scli::chr("c7", 128)},
             {scli::chr("c7", 128), scli::i32(7), scli::chr(")", 32), scli::chr("c7", 128)},
             {scli::chr("c9", 128), scli::i32(9), scli::chr("(c > 1)", 32), scli::chr("c9", 128)}});
    ASSERT_EQ(db_table_copy_check_constraints("t", "A12"), 0);
    EXPECT_EQ(Executed(),
              (Strings{kChecks, "COMMIT",
                       "ALTER TABLE A12 ADD CONSTRAINT CHECK " + piece1 + piece1 + ") ", "COMMIT",
                       "ALTER TABLE A12 ADD CONSTRAINT CHECK (c > 1) ", "COMMIT"}));

    // One constraint alone is added; a failing ALTER gives -51.
    scli::on_sql(kChecks)
        .columns({{"constrname", SQL_CHAR, 128},
                  {"constrid", SQL_INTEGER},
                  {"checktext", SQL_CHAR, 32},
                  {"constrname", SQL_CHAR, 128}})
        .row({scli::chr("c9", 128), scli::i32(9), scli::chr("(c > 1)", 32), scli::chr("c9", 128)});
    scli::on_sql("ALTER TABLE A12 ADD CONSTRAINT CHECK (c > 1) ")
        .fail(SQL_ERROR, {"S1000", -999, ""});
    EXPECT_EQ(quiet_stderr([] { return db_table_copy_check_constraints("t", "A12"); }),
              ZE_DBMS_ERROR);
    EXPECT_EQ(Executed().back(), "ALTER TABLE A12 ADD CONSTRAINT CHECK (c > 1) ");

    // No constraints: nothing but the read.
    scli::on_sql(kChecks).columns({{"constrname", SQL_CHAR, 128},
                                   {"constrid", SQL_INTEGER},
                                   {"checktext", SQL_CHAR, 32},
                                   {"constrname", SQL_CHAR, 128}});
    size_t before = Executed().size();
    EXPECT_EQ(db_table_copy_check_constraints("t", "A12"), 0);
    EXPECT_EQ(tail(Executed(), before), (Strings{kChecks, "COMMIT"}));
}

} // namespace
