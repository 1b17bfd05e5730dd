// The DBTUNE parameter table: one row per name, every clause field of the
// three storage records reached by exactly one parameter, the older
// parameters that values fall back to or are migrated from are in the table,
// and the built-in rows come out as 63 in the inserter's order.
#include "db/core/db_dbtune_internal.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace
{

TEST(DbtuneParams, NamesAreUniqueAndFieldsLieInsideTheirRecords)
{
    size_t count = 0;
    const DBTUNE_PARAM *table = db_dbtune_param_table(&count);
    ASSERT_GT(count, 0u);
    std::set<std::string> names;
    std::map<int, std::set<size_t>> clause_offsets;
    const std::map<int, size_t> record_size = {{DBTUNE_IN_LAYER, sizeof(DBTUNE_LAYER_CONFIG)},
                                               {DBTUNE_IN_LOGFILE, sizeof(DBTUNE_LOGFILE_CONFIG)},
                                               {DBTUNE_IN_RASTER, sizeof(DBTUNE_RASTER_CONFIG)}};
    for (size_t i = 0; i < count; i++) {
        const DBTUNE_PARAM &p = table[i];
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(names.insert(p.name).second) << "named twice";
        EXPECT_EQ(db_dbtune_param_find(p.name), &p);
        if (p.record == DBTUNE_IN_NONE)
            continue;
        size_t width = p.field == DBTUNE_FIELD_CLAUSE  ? DBTUNE_CLAUSE_SIZE
                       : p.field == DBTUNE_FIELD_WORD  ? DBTUNE_OLD_VALUE_SIZE
                       : p.field == DBTUNE_FIELD_INT16 ? sizeof(int16_t)
                                                       : sizeof(int32_t);
        EXPECT_LE(p.offset + width, record_size.at(p.record));
        if (p.field == DBTUNE_FIELD_CLAUSE) {
            EXPECT_TRUE(clause_offsets[p.record].insert(p.offset).second) << "field shared";
        }
    }
    // Every clause field of each record belongs to a parameter: the layer
    // record's counter and old-release fields aside, the records are clauses.
    EXPECT_EQ(clause_offsets[DBTUNE_IN_LAYER].size(), 25u);
    EXPECT_EQ(clause_offsets[DBTUNE_IN_LOGFILE].size(), 7u);
    EXPECT_EQ(clause_offsets[DBTUNE_IN_RASTER].size(), 14u);
    EXPECT_EQ(db_dbtune_param_find("b_storage"), db_dbtune_param_find("B_STORAGE"));
    EXPECT_EQ(db_dbtune_param_find("B_STORAGE_X"), nullptr);
    EXPECT_EQ(db_dbtune_param_find(nullptr), nullptr);
}

TEST(DbtuneParams, OlderSourcesAreIndexParametersOfOlderReleases)
{
    size_t count = 0;
    const DBTUNE_PARAM *table = db_dbtune_param_table(&count);
    for (size_t i = 0; i < count; i++) {
        for (const char *source : {table[i].import_from, table[i].migrate_from}) {
            if (source == nullptr)
                continue;
            SCOPED_TRACE(std::string(table[i].name) + " from " + source);
            const DBTUNE_PARAM *old = db_dbtune_param_find(source);
            ASSERT_NE(old, nullptr);
            EXPECT_TRUE(old->kinds & DBTUNE_KIND_OLD_INDEX);
            EXPECT_EQ(old->record, table[i].record);
        }
    }
}

TEST(DbtuneParams, BuiltinRowsKeywordByKeywordInRankOrder)
{
    const DBTUNE_BUILTIN *b = db_dbtune_builtins();
    std::vector<std::string> rows;
    for (int i = 0; i < DBTUNE_BUILTIN_COUNT; i++) {
        ASSERT_NE(b[i].param, nullptr) << i;
        ASSERT_NE(b[i].param->default_text, nullptr) << b[i].param->name;
        rows.push_back(std::string(db_dbtune_builtin_keyword(b[i].keyword)) + "|" +
                       b[i].param->name);
        if (i > 0 && b[i].keyword == b[i - 1].keyword) {
            EXPECT_LT(b[i - 1].param->default_rank, b[i].param->default_rank) << rows.back();
        }
        if (i > 0) {
            EXPECT_LE(b[i - 1].keyword, b[i].keyword);
        }
    }
    size_t marked = 0, count = 0;
    const DBTUNE_PARAM *table = db_dbtune_param_table(&count);
    for (size_t i = 0; i < count; i++)
        marked += static_cast<size_t>(__builtin_popcount(table[i].marks));
    EXPECT_EQ(marked, static_cast<size_t>(DBTUNE_BUILTIN_COUNT));
    EXPECT_EQ(rows[0], "DEFAULTS|UI_TEXT");
    EXPECT_EQ(rows[3], "DEFAULTS|B_INDEX_USER");
    EXPECT_EQ(rows[4], "DEFAULTS|B_RTREE");
    EXPECT_EQ(rows[31], "NETWORK_DEFAULTS|UI_NETWORK_TEXT");
    EXPECT_EQ(rows[56], "DATA_DICTIONARY|STATE_LINEAGES_TABLE");
    EXPECT_EQ(rows[62], "DATA_DICTIONARY|MVTABLES_MODIFIED_INDEX");
}

} // namespace
