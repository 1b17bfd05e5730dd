// The dbtune file: the grammar of a section body, the import of whole files
// into the DBTUNE table with the built-in defaults, and the round trip of
// export and import.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "tests/db/core/dbtune_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const char kInsert[] = "{ call zel:zel.insert_dbtune (?,?,?) }";

struct Section {
    std::vector<std::string> rows; // "name|value"
    std::unique_ptr<DBTUNE_LAYER_CONFIG> layer{new DBTUNE_LAYER_CONFIG()};
    std::unique_ptr<DBTUNE_LOGFILE_CONFIG> logfile{new DBTUNE_LOGFILE_CONFIG()};
    std::unique_ptr<DBTUNE_RASTER_CONFIG> raster{new DBTUNE_RASTER_CONFIG()};
};

// Reads body (the lines after a header) as the section of keyword.
Section ReadSection(const std::string &body, const char *keyword = "KW")
{
    Section s;
    std::string text = body;
    FILE *f = fmemopen(text.data(), text.size(), "r");
    std::vector<char> line(DBTUNE_LINE_SIZE);
    DBTUNE_ROW_LIST rows = {};
    if (fgets(line.data(), DBTUNE_LINE_SIZE, f) != nullptr) {
        EXPECT_EQ(db_dbtune_read_section(f, s.layer.get(), s.logfile.get(), s.raster.get(), 0,
                                         keyword, &rows, line.data()),
                  0);
    }
    fclose(f);
    for (int32_t i = 0; i < rows.count; i++) {
        EXPECT_STREQ(rows.keywords[i], keyword);
        s.rows.push_back(std::string(rows.names[i]) + "|" + rows.values[i]);
    }
    db_dbtune_row_list_free(&rows);
    return s;
}

TEST(DbtuneSection, Grammar)
{
    struct Case {
        const char *what;
        std::string body;
        std::vector<std::string> rows;
    } cases[] = {
        {"quoted value", "B_STORAGE\t\"EXTENT SIZE 16\"\nEND\n", {"B_STORAGE|EXTENT SIZE 16"}},
        {"plain value keeps inner blanks",
         "  B_STORAGE IN space1 more\n",
         {"B_STORAGE|IN space1 more"}},
        {"comment inside quotes cuts the value",
         "B_STORAGE \"abc # def\"\nEND\n",
         {"B_STORAGE|abc "}},
        {"continuation",
         "B_STORAGE \"EXTENT SIZE 16\n   NEXT SIZE 16\"\nEND\n",
         {"B_STORAGE|EXTENT SIZE 16 NEXT SIZE 16 "}},
        {"continuation ended by a known name",
         "B_STORAGE \"a\nA_STORAGE \"b\"\n",
         {"B_STORAGE|a", "A_STORAGE|b"}},
        {"continuation skips comment lines",
         "B_STORAGE \"a\n# note\n\n  b\"\nEND\n",
         {"B_STORAGE|a b "}},
        {"END in lower case", "b_storage \"x\"\nend\nA_STORAGE \"y\"\n", {"b_storage|x"}},
        {"a word beginning with END",
         "B_STORAGE \"x\"\nENDING\nA_STORAGE \"y\"\n",
         {"B_STORAGE|x"}},
        {"unknown names are skipped", "FOO \"bar\"\nB_STORAGE \"x\"\n", {"B_STORAGE|x"}},
        {"hash lines are comments",
         "## not a header\n### nor this\nB_STORAGE \"x\"\n",
         {"B_STORAGE|x"}},
        {"backslash ends the value", "B_STORAGE \"a\\b\"\n", {"B_STORAGE|a"}},
        {"double quote ends a plain value", "B_STORAGE a\"b\n", {"B_STORAGE|a"}},
        {"carriage return ends the value", "B_STORAGE \"abc\"\r\nEND\r\n", {"B_STORAGE|abc"}},
        {"empty quotes give no value", "B_STORAGE \"\"\nA_STORAGE\n", {}},
        {"text parameters",
         "COMMENT \"hello world\"\nUI_TEXT \"t\"\n",
         {"COMMENT|hello world", "UI_TEXT|t"}},
        {"old numeric parameters",
         "A_INIT 16\nA_NEXT 0\nA_CLUSTER 300\nA_IX_FILL x0\nEND\n",
         {"A_INIT|16", "A_IX_FILL|0"}},
        {"old single-word parameter", "A_TBLSP   dbs1 extra\n", {"A_TBLSP|dbs1"}},
        {"over-long name is cut and unknown",
         "B_STORAGE_WITH_A_NAME_LONGER_THAN_THIRTY_ONE \"x\"\nA_STORAGE \"y\"\n",
         {"A_STORAGE|y"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Section s = ReadSection(c.body);
        EXPECT_EQ(s.rows, c.rows);
        EXPECT_EQ(s.layer->counter, static_cast<int16_t>(100 * c.rows.size()));
    }
}

TEST(DbtuneSection, Headers)
{
    struct {
        const char *line;
        const char *keyword; // null: not a header
    } cases[] = {{"##DEFAULTS\n", "DEFAULTS"},
                 {" \t##kw rest\n", "kw"},
                 {"## DEFAULTS\n", " DEFAULTS"},
                 {"###DEFAULTS\n", nullptr},
                 {"##\n", nullptr},
                 {"##", nullptr},
                 {"# #KW\n", nullptr},
                 {"x##KW\n", nullptr},
                 {"##ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\n", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        char word[DBTUNE_NAME_SIZE] = "";
        int32_t header = db_dbtune_header_keyword(c.line, word);
        EXPECT_EQ(header, c.keyword ? 1 : 0);
        if (c.keyword) {
            EXPECT_STREQ(word, c.keyword);
        }
    }
}

TEST(DbtuneSection, FieldsOfTheRecords)
{
    Section s = ReadSection("B_STORAGE \"one\"\nB_STORAGE \"two\"\nLD_INDEX_1 \"ld\"\n"
                            "BLK_INDEX_1 \"blk\"\nA_INIT 16\nA_CLUSTER 255\nSTATES_TABLE \"st\"\n"
                            "A_IX_TBLSP ixspace\n");
    EXPECT_STREQ(s.layer->B_STORAGE, "two");
    EXPECT_STREQ(s.logfile->LD_INDEX_1, "ld");
    EXPECT_STREQ(s.raster->BLK_INDEX_1, "blk");
    EXPECT_EQ(s.layer->A_INIT, 16);
    EXPECT_EQ(s.layer->A_CLUSTER, 255);
    EXPECT_STREQ(s.layer->A_IX_TBLSP, "ixspace");
    EXPECT_STREQ(s.layer->STATES_TABLE, ""); // only DATA_DICTIONARY keeps it
    Section dd = ReadSection("STATES_TABLE \"st\"\n", "data_dictionary");
    EXPECT_STREQ(dd.layer->STATES_TABLE, "st");
}

TEST(DbtuneSection, OverLongLinesAndValuesStayWithinTheirFields)
{
    std::string body = "B_STORAGE \"" + std::string(3000, 'x') + "\"\nEND\n";
    Section s = ReadSection(body);
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(strlen(s.layer->B_STORAGE), static_cast<size_t>(DBTUNE_CLAUSE_SIZE - 1));
    std::string words;
    for (int i = 0; i < 400; i++)
        words += "  word" + std::to_string(i) + "\n";
    Section c = ReadSection("B_STORAGE \"start\n" + words + "\"\n");
    EXPECT_EQ(strlen(c.layer->B_STORAGE), static_cast<size_t>(DBTUNE_CLAUSE_SIZE - 1));
    Section w = ReadSection("A_TBLSP " + std::string(100, 'w') + "\n");
    EXPECT_EQ(std::string(w.layer->A_TBLSP), std::string(31, 'w'));
}

class DbtuneImport : public DbtuneTest
{
  protected:
    int import(const std::string &text, int strict = 1)
    {
        write_file("test.dbtune", text);
        return db_copy_dbtune_FileToTable(nullptr, "test.dbtune", &failed, strict);
    }
    std::vector<std::string> rows_of(const std::string &keyword) const
    {
        std::vector<std::string> out;
        for (const auto &r : store_->rows)
            if (r.keyword == keyword)
                out.push_back(r.name + "|" + r.value);
        return out;
    }
    DBTUNE_FAILED_ROW failed = {};
};

TEST_F(DbtuneImport, FileWithoutSectionsGetsAllDefaultsWithWarnings)
{
    setenv("ZELVERBOSE", "1", 1);
    StderrCapture capture;
    ASSERT_EQ(import("some text\n### comment\n##\n"), 0);
    std::string err = capture.text();
    EXPECT_EQ(store_->rows.size(), 63u);
    size_t warnings = 0;
    for (size_t at = err.find("WARNING: "); at != std::string::npos;
         at = err.find("WARNING: ", at + 1))
        warnings++;
    EXPECT_EQ(warnings, 63u);
    EXPECT_NE(err.find("WARNING: test.dbtune does not contain DEFAULTS config parameter "
                       "'B_STORAGE'. \n\t Inserting the default values.\n"),
              std::string::npos);
    EXPECT_NE(err.find("WARNING: test.dbtune does not contain DATA_DICTIONARY config parameter "
                       "'MVTABLES_MODIFIED_INDEX'.\n\t Inserting the default values.\n"),
              std::string::npos);
    EXPECT_EQ(rows_of("DEFAULTS")[0], "UI_TEXT|");
    EXPECT_EQ(rows_of("DEFAULTS")[4], "B_RTREE| ");
    EXPECT_EQ(Executed().back(), "COMMIT");
}

TEST_F(DbtuneImport, CompleteFileGetsNoDefaultsAndStatesItsCalls)
{
    // A file exported from a complete store imports back without additions.
    ASSERT_EQ(import(""), 0);
    ASSERT_EQ(DB_instance_export_dbtune(nullptr, "full.dbtune"), 0);
    store_->rows.clear();
    MarkNow();
    ASSERT_EQ(db_copy_dbtune_FileToTable(nullptr, "full.dbtune", &failed, 1), 0);
    // The empty UI_TEXT rows are read as no value and added again; only
    // DATA_DICTIONARY, which has none among the defaults, gets one more row.
    std::vector<std::string> expected(63 + 1, kInsert);
    expected.push_back("COMMIT");
    EXPECT_EQ(Executed(), expected);
    auto inserts = scli::calls_of("SQLExecDirect");
    ASSERT_GT(inserts.size(), 64u);
    EXPECT_EQ(inserts[inserts.size() - 64].params[0],
              (std::vector<std::string>{"DATA_DICTIONARY", "UI_TEXT", ""}));
}

TEST_F(DbtuneImport, SectionsEndedByEndOfFileOrNotClosed)
{
    ASSERT_EQ(import("##USERKW\nB_STORAGE \"a\"\n##OTHER\nA_STORAGE \"b\"\nEND\n##LAST\n"
                     "D_STORAGE \"c\"\n"),
              0);
    EXPECT_EQ(rows_of("USERKW"),
              (std::vector<std::string>{"UI_TEXT|", "B_STORAGE|a", "A_STORAGE|b"}));
    EXPECT_TRUE(rows_of("OTHER").empty());
    EXPECT_EQ(rows_of("LAST"), (std::vector<std::string>{"UI_TEXT|", "D_STORAGE|c"}));
}

TEST_F(DbtuneImport, HeaderKeywordsAndUiText)
{
    ASSERT_EQ(import("## DEFAULTS\nB_STORAGE \"blank\"\nEND\n"
                     "##NETWORK_DEFAULTS\nB_STORAGE \"net\"\nEND\n"
                     "  ##lower\nUI_TEXT \"shown\"\nEND\n"),
              0);
    EXPECT_EQ(rows_of(" DEFAULTS"), (std::vector<std::string>{"UI_TEXT|", "B_STORAGE|blank"}));
    EXPECT_EQ(rows_of("DEFAULTS")[1], "B_STORAGE|EXTENT SIZE 16 NEXT SIZE 16 LOCK MODE ROW");
    EXPECT_EQ(rows_of("NETWORK_DEFAULTS")[0], "B_STORAGE|net");
    EXPECT_EQ(rows_of("LOWER"), (std::vector<std::string>{"UI_TEXT|shown"}));
}

TEST_F(DbtuneImport, OldParametersBecomeClauses)
{
    ASSERT_EQ(import("##OLD\nA_INIT 16\nA_NEXT 16\nA_LOCK_ROW 1\nA_IX_FILL 80\n"
                     "A_IX_TBLSP ixdbs\nA_INDEX_2 \"st\"\nD_INDEX_1 \"d1\"\nEND\n"
                     "##ZERO\nA_INIT 0\nA_NEXT 0\nA_LOCK_ROW 0\nA_IX_FILL 0\nEND\n"),
              0);
    EXPECT_EQ(rows_of("OLD"),
              (std::vector<std::string>{"UI_TEXT|",
                                        "B_STORAGE|  EXTENT SIZE 16  NEXT SIZE 16 LOCK MODE ROW ",
                                        "B_INDEX_ROWID|  IN ixdbs    FILLFACTOR 80 ",
                                        "B_INDEX_USER|  IN ixdbs    FILLFACTOR 80 ",
                                        "A_INDEX_STATEID|st", "D_INDEX_STATE_ROWID|d1"}));
    EXPECT_EQ(rows_of("ZERO"), (std::vector<std::string>{"UI_TEXT|"}));
}

TEST_F(DbtuneImport, RepeatedParameters)
{
    ASSERT_EQ(import("##KW\nB_STORAGE \"first\"\nB_STORAGE \"last\"\nEND\n"), 0);
    EXPECT_EQ(rows_of("KW"), (std::vector<std::string>{"UI_TEXT|", "B_STORAGE|last"}));

    StderrCapture capture;
    EXPECT_EQ(import("##KW\nCOMMENT \"one\"\nCOMMENT \"two\"\nEND\n"), ZE_DBMS_ERROR);
    std::string err = capture.text();
    EXPECT_EQ(Executed().back(), "ROLLBACK");
    EXPECT_STREQ(failed.keyword, "KW");
    EXPECT_STREQ(failed.parameter_name, "COMMENT");
    EXPECT_STREQ(failed.config_string, "two");
    EXPECT_NE(err.find("Error inserting following data into DBTUNE table:\n\tConfig keyword: "
                       "KW\n\tParameter name: COMMENT\n\tConfig String : two\n"),
              std::string::npos);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.code, ZE_NO_PERMISSIONS);
    EXPECT_STREQ(xerr.message, "Error executing stored procedure zel.insert_dbtune");
}

TEST_F(DbtuneImport, MissingFileAndHome)
{
    EXPECT_EQ(db_copy_dbtune_FileToTable(nullptr, "absent.dbtune", &failed, 1),
              ZE_DBTUNE_FILE_ERROR);
    EXPECT_EQ(Executed(), (std::vector<std::string>{"ROLLBACK", "ROLLBACK"}));
    EXPECT_TRUE(store_->rows.empty());

    EXPECT_EQ(db_copy_dbtune_FileToTable(nullptr, "absent.dbtune", &failed, 0),
              ZE_DBTUNE_FILE_ERROR);
    EXPECT_EQ(store_->rows.size(), 63u);
    EXPECT_EQ(Executed().back(), "COMMIT");

    unsetenv("ZELHOME");
    store_->rows.clear();
    EXPECT_EQ(db_copy_dbtune_FileToTable(nullptr, "absent.dbtune", &failed, 0),
              ZE_DBTUNE_FILE_ERROR);
    EXPECT_TRUE(store_->rows.empty());
    EXPECT_EQ(db_copy_dbtune_FileToTable(nullptr, "../x", &failed, 1), ZE_DBTUNE_FILE_ERROR);
}

// Export then import gives back the same rows for values without '"', '#'
// or '\' (and without the blanks that the CHAR column pads).
TEST_F(DbtuneImport, ExportThenImportGivesTheSameRows)
{
    static const char *const names[] = {"B_STORAGE",
                                        "B_INDEX_ROWID",
                                        "B_RTREE",
                                        "B_INDEX_USER",
                                        "A_STORAGE",
                                        "A_INDEX_ROWID",
                                        "A_INDEX_STATEID",
                                        "A_RTREE",
                                        "A_INDEX_USER",
                                        "D_STORAGE",
                                        "D_INDEX_STATE_ROWID",
                                        "D_INDEX_DELETED_AT",
                                        "S_STORAGE",
                                        "LF_STORAGE",
                                        "LF_INDEXES",
                                        "LD_STORAGE",
                                        "LD_INDEX_DATA_ID",
                                        "LD_INDEX_ROWID",
                                        "RAS_STORAGE",
                                        "RAS_INDEX_ID",
                                        "BND_STORAGE",
                                        "BND_INDEX_ID",
                                        "BND_INDEX_COMPOSITE",
                                        "AUX_STORAGE",
                                        "AUX_INDEX_COMPOSITE",
                                        "BLK_STORAGE",
                                        "BLK_INDEX_COMPOSITE",
                                        "COMMENT",
                                        "UI_TEXT",
                                        "UI_NETWORK_TEXT"};
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,.()=:;'!?$%&*+-/<>@";
    std::mt19937 random(20261210);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    for (int round = 0; round < 15; round++) {
        SCOPED_TRACE(round);
        store_->rows.clear();
        std::set<std::string> original;
        size_t keywords = 1 + pick(4);
        for (size_t k = 0; k < keywords; k++) {
            std::string keyword = "USER" + std::to_string(round) + "_" + std::to_string(k);
            for (const char *name : names) {
                if (pick(3) != 0)
                    continue;
                std::string value(1 + pick(200), ' ');
                for (char &c : value)
                    c = alphabet[pick(alphabet.size())];
                value[value.size() - 1] = 'Z';
                add_row(keyword, name, value);
                original.insert(keyword + "|" + name + "|" + value);
            }
            add_row(keyword, "UI_TEXT_MARK", "x"); // not known: exported, not imported
        }
        ASSERT_EQ(DB_instance_export_dbtune(nullptr, "trip.dbtune"), 0);
        ASSERT_EQ(DB_instance_import_dbtune(nullptr, "trip.dbtune", 1), 0);
        std::set<std::string> back;
        for (const auto &r : store_->rows)
            if (r.keyword.rfind("USER", 0) == 0 && !(r.name == "UI_TEXT" && r.value.empty()))
                back.insert(r.keyword + "|" + r.name + "|" + r.value);
        EXPECT_EQ(back, original);
    }
}

} // namespace
