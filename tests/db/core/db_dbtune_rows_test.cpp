// DBTUNE rows and records: the row list, bounded copies into fields and the
// look-up of a clause field by parameter name.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/core/db_dbtune_internal.h"

namespace
{

TEST(DbtuneRows, ListOwnsCopies)
{
    DBTUNE_ROW_LIST rows = {};
    std::string keyword = "KW";
    ASSERT_EQ(db_dbtune_row_list_add(&rows, keyword.c_str(), "B_STORAGE", nullptr), 0);
    keyword[0] = 'X';
    ASSERT_EQ(db_dbtune_row_list_add(&rows, "K2", "COMMENT", "text"), 0);
    ASSERT_EQ(rows.count, 2);
    EXPECT_STREQ(rows.keywords[0], "KW");
    EXPECT_STREQ(rows.values[0], "");
    EXPECT_STREQ(rows.values[1], "text");
    db_dbtune_row_list_free(&rows);
    EXPECT_EQ(rows.count, 0);
    EXPECT_EQ(rows.keywords, nullptr);
    db_dbtune_row_list_free(&rows); // an empty list frees nothing twice
    EXPECT_NE(db_dbtune_row_list_add(nullptr, "a", "b", "c"), 0);
}

TEST(DbtuneRows, FieldsByName)
{
    auto layer = std::make_unique<DBTUNE_LAYER_CONFIG>();
    auto logfile = std::make_unique<DBTUNE_LOGFILE_CONFIG>();
    auto raster = std::make_unique<DBTUNE_RASTER_CONFIG>();
    struct {
        const char *name;
        const char *field;
    } cases[] = {{"b_storage", layer->B_STORAGE},
                 {"MVTABLES_MODIFIED_INDEX", layer->MVTABLES_MODIFIED_INDEX},
                 {"D_INDEX_2", layer->D_INDEX_2},
                 {"LD_INDEX_1", logfile->LD_INDEX_1},
                 {"LF_STORAGE", logfile->LF_STORAGE},
                 {"BLK_INDEX_1", raster->BLK_INDEX_1},
                 {"ras_storage", raster->RAS_STORAGE},
                 {"COMMENT", nullptr},
                 {"A_TBLSP", nullptr},
                 {"", nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(db_dbtune_field(layer.get(), logfile.get(), raster.get(), c.name), c.field);
    }
    EXPECT_EQ(db_dbtune_field(nullptr, logfile.get(), raster.get(), "B_STORAGE"), nullptr);
    EXPECT_EQ(db_dbtune_field(layer.get(), logfile.get(), raster.get(), nullptr), nullptr);
}

TEST(DbtuneRows, CopiesAreCutAtTheirBound)
{
    char field[8];
    db_dbtune_copy_field(field, sizeof(field), "0123456789", "value");
    EXPECT_STREQ(field, "0123456");
    db_dbtune_copy_field(field, sizeof(field), nullptr, "value");
    EXPECT_STREQ(field, "");
    EXPECT_EQ(db_dbtune_begins_with("defaults_x", "DEFAULTS"), 1);
    EXPECT_EQ(db_dbtune_begins_with("DEF", "DEFAULTS"), 0);
    EXPECT_EQ(db_dbtune_begins_with(nullptr, "DEFAULTS"), 0);
}

} // namespace
