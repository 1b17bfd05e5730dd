// Storage configuration by keyword: readers with the DEFAULTS fallback and
// counters, the block fetch's SQL and trimming, the export's text form.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "tests/db/core/dbtune_fixture.h"
#include "tests/support/quiet_stderr.h"

namespace
{

const char kSelect[] = "SELECT keyword, parameter_name, config_string FROM zel:zel.dbtune";

class DbtuneRead : public DbtuneTest
{
  protected:
    std::unique_ptr<DBTUNE_LAYER_CONFIG> layer{new DBTUNE_LAYER_CONFIG};
    std::unique_ptr<DBTUNE_LOGFILE_CONFIG> logfile{new DBTUNE_LOGFILE_CONFIG};
    std::unique_ptr<DBTUNE_RASTER_CONFIG> raster{new DBTUNE_RASTER_CONFIG};
};

TEST_F(DbtuneRead, LayerKeywordFallsBackToDefaultsAndCountsRows)
{
    add_row("ROADS", "B_STORAGE", "IN roads_space");
    add_row("DEFAULTS", "B_STORAGE", "EXTENT SIZE 16");
    add_row("DEFAULTS", "A_STORAGE", "EXTENT SIZE 32");
    add_row("DEFAULTS", "D_STORAGE", "EXTENT SIZE 64");
    add_row("OTHER", "B_STORAGE", "never");
    ASSERT_EQ(db_read_layer_storage_config(layer.get(), "roads  "), 0);
    EXPECT_EQ(layer->counter, 103);
    EXPECT_STREQ(layer->B_STORAGE, "IN roads_space");
    EXPECT_STREQ(layer->A_STORAGE, "EXTENT SIZE 32");
    EXPECT_STREQ(layer->D_STORAGE, "EXTENT SIZE 64");
    EXPECT_STREQ(layer->B_RTREE, "");
    EXPECT_EQ(Executed(),
              (std::vector<std::string>{std::string(kSelect) +
                                        " where keyword = 'ROADS' OR keyword = 'DEFAULTS'"}));
}

TEST_F(DbtuneRead, LayerCountersOfAbsentEmptyAndPrefixKeywords)
{
    add_row("DEFAULTS", "B_STORAGE", "EXTENT SIZE 16");
    add_row("DEFAULTS", "A_STORAGE", "EXTENT SIZE 32");
    struct Case {
        const char *keyword;
        int counter;
    } cases[] = {{"ABSENT", 2}, {"", 2}, {"DEF", 200}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keyword);
        ASSERT_EQ(db_read_layer_storage_config(layer.get(), c.keyword), 0);
        EXPECT_EQ(layer->counter, c.counter);
        EXPECT_STREQ(layer->B_STORAGE, "EXTENT SIZE 16");
        EXPECT_STREQ(layer->A_STORAGE, "EXTENT SIZE 32");
    }
}

TEST_F(DbtuneRead, VersioningParametersOnlyFromDataDictionary)
{
    add_row("DATA_DICTIONARY", "STATES_TABLE", "IN dd_space");
    add_row("DATA_DICTIONARY", "MVTABLES_MODIFIED_INDEX", "FILLFACTOR 80");
    add_row("USERKW", "STATES_TABLE", "ignored");
    ASSERT_EQ(db_read_layer_storage_config(layer.get(), "DATA_DICTIONARY"), 0);
    EXPECT_STREQ(layer->STATES_TABLE, "IN dd_space");
    EXPECT_STREQ(layer->MVTABLES_MODIFIED_INDEX, "FILLFACTOR 80");
    ASSERT_EQ(db_read_layer_storage_config(layer.get(), "USERKW"), 0);
    EXPECT_EQ(layer->counter, 100);
    EXPECT_STREQ(layer->STATES_TABLE, "");
}

TEST_F(DbtuneRead, PaddedValueComesBackTrimmedAndOverLongKeywordIsCut)
{
    add_row("DEFAULTS", "B_STORAGE", std::string(2000, 'x') + "  \t");
    ASSERT_EQ(db_read_layer_storage_config(layer.get(), nullptr), 0);
    EXPECT_EQ(std::string(layer->B_STORAGE), std::string(2000, 'x'));
    std::string long_keyword(40, 'k');
    ASSERT_EQ(db_read_layer_storage_config(layer.get(), long_keyword.c_str()), 0);
    EXPECT_EQ(Executed().back(), std::string(kSelect) + " where keyword = '" +
                                     std::string(32, 'K') + "' OR keyword = 'DEFAULTS'");
}

TEST_F(DbtuneRead, KeywordWithQuoteIsDoubledInTheStatement)
{
    ASSERT_EQ(db_read_layer_storage_config(layer.get(), "o'brien"), 0);
    EXPECT_EQ(Executed().back(),
              std::string(kSelect) + " where keyword = 'O''BRIEN' OR keyword = 'DEFAULTS'");
}

TEST_F(DbtuneRead, LogfileKeywordUsesLogfileDefaults)
{
    add_row("LOGFILE_DEFAULTS", "LF_STORAGE", "EXTENT SIZE 8");
    add_row("LOGFILE_DEFAULTS", "LD_STORAGE", "EXTENT SIZE 9");
    add_row("MYLOG", "LD_STORAGE", "IN logs");
    ASSERT_EQ(db_read_logfile_storage_config(logfile.get(), "MYLOG"), 0);
    EXPECT_EQ(logfile->counter, 102);
    EXPECT_STREQ(logfile->LF_STORAGE, "EXTENT SIZE 8");
    EXPECT_STREQ(logfile->LD_STORAGE, "IN logs");
    ASSERT_EQ(db_read_logfile_storage_config(logfile.get(), ""), 0);
    EXPECT_EQ(Executed().back(),
              std::string(kSelect) +
                  " where keyword = 'LOGFILE_DEFAULTS' OR keyword = 'LOGFILE_DEFAULTS'");
    EXPECT_STREQ(logfile->LD_STORAGE, "EXTENT SIZE 9");
}

TEST_F(DbtuneRead, RasterKeywordMustExist)
{
    EXPECT_EQ(db_read_raster_storage_config(nullptr, "X"), ZE_NULL_POINTER);
    EXPECT_EQ(db_read_raster_storage_config(raster.get(), nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(db_read_raster_storage_config(raster.get(), ""), 0); // nothing stored at all
    add_row("DEFAULTS", "RAS_STORAGE", "EXTENT SIZE 16");
    add_row("DEFAULTS", "BLK_STORAGE", "EXTENT SIZE 99");
    EXPECT_EQ(db_read_raster_storage_config(raster.get(), "IMAGES"), ZE_CONFIG_KEYWORD_NOT_FOUND);
    ASSERT_EQ(db_read_raster_storage_config(raster.get(), ""), 0);
    EXPECT_STREQ(raster->RAS_STORAGE, "EXTENT SIZE 16");
    add_row("IMAGES", "BLK_STORAGE", "IN blocks");
    ASSERT_EQ(db_read_raster_storage_config(raster.get(), "IMAGES"), 0);
    EXPECT_STREQ(raster->BLK_STORAGE, "IN blocks");
    EXPECT_STREQ(raster->RAS_STORAGE, "EXTENT SIZE 16");
}

TEST_F(DbtuneRead, FetchFailureFillsTheConnectionRecord)
{
    scli::fail_call("SQLExecute", 1, SQL_ERROR, {"S1000", -243, "Could not position"});
    EXPECT_EQ(db_read_layer_storage_config(layer.get(), "ROADS"), ZE_DBMS_ERROR);
    DB_EXT_ERROR xerr;
    DB_instance_get_xerr(&xerr);
    EXPECT_EQ(xerr.native_error, -243);
}

TEST_F(DbtuneRead, FetchRowsComeInBlocksOfAHundred)
{
    for (int i = 0; i < 250; i++)
        add_row("K" + std::to_string(1000 + i), "COMMENT", "v" + std::to_string(i));
    DBTUNE_ROW_LIST rows;
    ASSERT_EQ(db_dbtune_fetch_rows(nullptr, nullptr, &rows, 2), 0);
    ASSERT_EQ(rows.count, 250);
    EXPECT_STREQ(rows.keywords[249], "K1249");
    EXPECT_STREQ(rows.values[100], "v100");
    db_dbtune_row_list_free(&rows);
    EXPECT_EQ(rows.count, 0);
    EXPECT_EQ(scli::calls_of("SQLExtendedFetch").size(), 4u); // 100, 100, 50, no data
    EXPECT_EQ(db_dbtune_fetch_rows("", nullptr, &rows, 0), ZE_INVALID_ARGUMENT);
}

class DbtuneExport : public DbtuneTest
{
};

TEST_F(DbtuneExport, WritesSectionsByKeyword)
{
    add_row("B", "MY_PARAM", "plain value");
    add_row("A", "B_STORAGE", "EXTENT SIZE 16");
    add_row("A", "UI_TEXT", "");
    ASSERT_EQ(DB_instance_export_dbtune(nullptr, "out.dbtune"), 0);
    EXPECT_EQ(read_file("out.dbtune"), "##A\n"
                                       "B_STORAGE\t\"EXTENT SIZE 16\"\n"
                                       "UI_TEXT\t\"\"\n"
                                       "END\n"
                                       "\n"
                                       "##B\n"
                                       "MY_PARAM\tplain value\n"
                                       "END\n");
}

TEST_F(DbtuneExport, NullValueIsEmpty)
{
    store_->rows.push_back({"DEFAULTS", "B_STORAGE", "", true});
    store_->rows.push_back({"KW", "NOTE", "", true});
    ASSERT_EQ(DB_instance_export_dbtune(nullptr, "out.dbtune"), 0);
    EXPECT_EQ(read_file("out.dbtune"), "##DEFAULTS\nB_STORAGE\t\"\"\nEND\n\n##KW\nNOTE\t\nEND\n");
    auto layer = std::make_unique<DBTUNE_LAYER_CONFIG>();
    ASSERT_EQ(db_read_layer_storage_config(layer.get(), "DEFAULTS"), 0);
    EXPECT_EQ(layer->counter, 100);
    EXPECT_STREQ(layer->B_STORAGE, "");
}

TEST_F(DbtuneExport, EmptyTableGivesAnEmptyFile)
{
    write_file("out.dbtune", "old contents");
    ASSERT_EQ(DB_instance_export_dbtune(nullptr, "out.dbtune"), 0);
    EXPECT_EQ(read_file("out.dbtune"), "");
}

// A value holding a line break would come back as a line of its own: the
// export refuses it and leaves the old file as it was.
TEST_F(DbtuneExport, RefusesALineBreakInsideAField)
{
    for (const char *value : {"EXTENT SIZE 16\nEND", "a\rb"}) {
        SCOPED_TRACE(value);
        store_->rows.clear();
        add_row("A", "MY_PARAM", "fine");
        add_row("A", "B_STORAGE", value);
        write_file("out.dbtune", "old contents");
        quiet_stderr([&] {
            EXPECT_EQ(DB_instance_export_dbtune(nullptr, "out.dbtune"), ZE_DBTUNE_FILE_ERROR);
        });
        EXPECT_EQ(read_file("out.dbtune"), "old contents");
    }
}

// The export writes its own file, never the target of a link planted there.
TEST_F(DbtuneExport, DoesNotWriteThroughASymbolicLink)
{
    add_row("A", "MY_PARAM", "value");
    const std::string target = home_ + "/elsewhere";
    std::ofstream(target) << "kept";
    ASSERT_EQ(symlink(target.c_str(), (home_ + "/etc/out.dbtune").c_str()), 0);
    quiet_stderr(
        [&] { EXPECT_EQ(DB_instance_export_dbtune(nullptr, "out.dbtune"), ZE_DBTUNE_FILE_ERROR); });
    std::ifstream in(target);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "kept");
}

TEST_F(DbtuneExport, RefusesNamesOutsideEtcAndMissingHome)
{
    for (const char *name : {"../escape", "sub/file", "", ".."}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(DB_instance_export_dbtune(nullptr, name), ZE_DBTUNE_FILE_ERROR);
    }
    EXPECT_EQ(DB_instance_export_dbtune(nullptr, nullptr), ZE_DBTUNE_FILE_ERROR);
    unsetenv("ZELHOME");
    EXPECT_EQ(DB_instance_export_dbtune(nullptr, "out.dbtune"), ZE_DBTUNE_FILE_ERROR);
    EXPECT_TRUE(Executed().empty());
}

TEST(DbtuneText, TrimAndKnownParameters)
{
    struct {
        const char *in;
        const char *out;
    } trims[] = {{"abc  \n\t", "abc"}, {" \t\n", ""}, {"a b", "a b"}, {"", ""}};
    for (const auto &t : trims) {
        std::string buffer = t.in;
        db_trim_trailing_blanks(buffer.data());
        EXPECT_STREQ(buffer.c_str(), t.out);
    }
    db_trim_trailing_blanks(nullptr);
    EXPECT_EQ(db_dbtune_is_storage_param("b_storage"), 1);
    EXPECT_EQ(db_dbtune_is_storage_param("UI_NETWORK_TEXT"), 1);
    EXPECT_EQ(db_dbtune_is_storage_param("A_TBLSP"), 0);
    EXPECT_EQ(db_dbtune_is_storage_param(nullptr), 0);
}

TEST(DbtuneText, SizeWord)
{
    struct {
        const char *in;
        const char *out; // null: no size
    } cases[] = {
        {"  16 more", "16"}, {"unlimited", "unlimited"}, {"0", nullptr},      {"\n16", nullptr},
        {"-5", nullptr},     {"12ab", nullptr},          {"\t 000", nullptr}, {"", nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in);
        char out[DBTUNE_CLAUSE_SIZE] = "";
        char *r = db_dbtune_parse_size(c.in, out);
        if (c.out == nullptr) {
            EXPECT_EQ(r, nullptr);
        } else {
            ASSERT_EQ(r, out);
            EXPECT_STREQ(out, c.out);
        }
    }
}

} // namespace
