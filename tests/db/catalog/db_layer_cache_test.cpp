// The process's layer cache: the size asked against the slots made, growth
// in blocks of five, hits that issue no SQL, reloads driven by the host's
// change stamp (exactly the layer whose stamp moved), look-ups by table name
// with and without a column, removal and reuse of slots, the view copy, and
// the failures that leave the cache as it was.
#include "db/catalog/db_layer_cache_internal.h"

#include <gtest/gtest.h>
#include <time.h>

#include <memory>

#include "base/util/zel_errors.h"
#include "db/catalog/db_layer_info_internal.h"
#include "db/core/db_stream_internal.h"
#include "db/core/db_stream_layer_internal.h"
#include "mox/mox.h"
#include "tests/db/catalog/layer_fixture.h"

using namespace layer_test;

namespace
{

using Strings = std::vector<std::string>;

TEST(LayerCacheInit, InitMakesMaxOfSizeAndFiveSlotsWithOneBlockOfEntries)
{
    const std::pair<int32_t, int32_t> cases[] = {{-4, 5}, {0, 5}, {3, 5}, {5, 5}, {6, 6}, {40, 40}};
    for (auto [size, capacity] : cases) {
        SCOPED_TRACE(size);
        ASSERT_EQ(db_layer_cache_init(nullptr, size), 0);
        DB_LAYER_CACHE *cache = db_layer_cache_get();
        ASSERT_NE(cache, nullptr);
        EXPECT_EQ(cache->capacity, capacity);
        EXPECT_EQ(cache->blocks, 1);
        EXPECT_EQ(cache->count, 0);
        for (int32_t i = 0; i < capacity; i++) {
            if (i >= DB_LAYER_CACHE_BLOCK) {
                EXPECT_EQ(cache->entries[i], nullptr);
                continue;
            }
            EXPECT_EQ(cache->stamps[i], 0);
            const LAYER *entry = cache->entries[i];
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(entry->layer_id, -1);
            EXPECT_STREQ(entry->table_name, "");
            ASSERT_NE(entry->coordref, nullptr);
            EXPECT_FALSE(MoxsCoordRefIsActive(entry->coordref));
            ASSERT_NE(entry->coordref->srtext, nullptr);
            for (int k = 0; k < LAYER_SRTEXT_SIZE; k++)
                ASSERT_EQ(entry->coordref->srtext[k], '\0');
        }
        // The next init replaces this cache; the sanitizer sees any loss.
    }
    db_layer_cache_free(nullptr);
    EXPECT_EQ(db_layer_cache_get(), nullptr);
    db_layer_cache_free(nullptr); // nothing left: does nothing
    EXPECT_EQ(db_layer_cache_get(), nullptr);
}

LayerRow layer(int32_t id, const char *table = "roads", const char *column = "shape")
{
    LayerRow r;
    r.id = id;
    r.table = table;
    r.column = column;
    return r;
}

// Reads layer id through the cache, scripting its SELECT first.
LAYER *read_layer(DB_INSTANCE *instance, const LayerRow &row)
{
    answer_layers(by_id(row.id), {row});
    LAYER *got = nullptr;
    EXPECT_EQ(DB_layer_get_info(instance, nullptr, row.id, &got), 0);
    return got;
}

using LayerCache = LayerFixture;

TEST_F(LayerCache, HitIssuesNoSqlAndMovedStampReloadsThatLayerOnly)
{
    LAYER *seven = read_layer(instance_, layer(7));
    LAYER *eight = read_layer(instance_, layer(8, "lots"));
    ASSERT_NE(seven, nullptr);
    ASSERT_NE(eight, nullptr);
    EXPECT_EQ(Executed(), (Strings{by_id(7), "COMMIT", by_id(8), "COMMIT"}));
    // Rounding and half units come from the units.
    EXPECT_DOUBLE_EQ(seven->coordref->xy_rounding, 0.001);
    EXPECT_DOUBLE_EQ(seven->coordref->xy_half_unit, 0.0005);
    EXPECT_DOUBLE_EQ(seven->coordref->z_rounding, 0.25);
    EXPECT_DOUBLE_EQ(seven->coordref->m_half_unit, 0.0625);
    EXPECT_EQ(seven->privileges, 30u);

    // Hits: one stamp call each, no SQL.
    host_.forget_calls();
    LAYER *again = nullptr;
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &again), 0);
    EXPECT_EQ(again, seven);
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 8, &again), 0);
    EXPECT_EQ(again, eight);
    EXPECT_EQ(host_.stamp_calls(), (std::vector<int32_t>{7, 8}));
    EXPECT_EQ(Executed().size(), 4u);

    // Layer 8 changed: its entry is reloaded in place, layer 7 is not.
    host_.bump(8);
    LayerRow changed = layer(8, "lots");
    changed.maxx = 999;
    answer_layers(by_id(8), {changed});
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &again), 0);
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 8, &again), 0);
    EXPECT_EQ(again, eight);
    EXPECT_EQ(eight->maxx, 999);
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 8, &again), 0); // fresh again
    EXPECT_EQ(Executed(), (Strings{by_id(7), "COMMIT", by_id(8), "COMMIT", by_id(8), "COMMIT"}));
    EXPECT_EQ(cache()->count, 2);
}

TEST_F(LayerCache, SixthLayerGrowsTheCacheByOneBlock)
{
    for (int32_t id = 1; id <= 5; id++)
        read_layer(instance_, layer(id, ("t" + std::to_string(id)).c_str()));
    EXPECT_EQ(cache()->blocks, 1);
    EXPECT_EQ(cache()->capacity, 5);
    LAYER *first = cache()->entries[0];
    read_layer(instance_, layer(6, "t6"));
    EXPECT_EQ(cache()->blocks, 2);
    EXPECT_EQ(cache()->capacity, 10);
    EXPECT_EQ(cache()->count, 6);
    EXPECT_EQ(cache()->entries[0], first); // records handed out stay where they are
    EXPECT_EQ(cache()->entries[5]->layer_id, 6);
    EXPECT_EQ(cache()->entries[6]->layer_id, -1);
    EXPECT_EQ(cache()->stamps[9], 0);
}

class LargeCache : public LayerFixture
{
  protected:
    LargeCache()
    {
        cache_size_ = 12;
    }
};

TEST_F(LargeCache, PointerTableOfTwelveHoldsFiveSlotsUntilTheSixthLayer)
{
    EXPECT_EQ(cache()->capacity, 12);
    EXPECT_EQ(cache()->entries[5], nullptr);
    for (int32_t id = 1; id <= 6; id++)
        read_layer(instance_, layer(id, ("t" + std::to_string(id)).c_str()));
    EXPECT_EQ(cache()->capacity, 12);
    EXPECT_EQ(cache()->blocks, 2);
    EXPECT_NE(cache()->entries[9], nullptr);
    EXPECT_EQ(cache()->entries[10], nullptr);
}

TEST_F(LayerCache, RemovedSlotsAreReusedAndTheLastLowersTheCount)
{
    for (int32_t id : {7, 8, 9})
        read_layer(instance_, layer(id, ("t" + std::to_string(id)).c_str()));
    EXPECT_EQ(db_layer_cache_remove(instance_, 8), 0);
    EXPECT_EQ(cache()->count, 3);
    const LAYER *hole = cache()->entries[1];
    EXPECT_EQ(hole->layer_id, -1);
    EXPECT_EQ(hole->minimum_id, 1);
    EXPECT_STREQ(hole->table_name, "");
    EXPECT_STREQ(hole->coordref->srtext, "");
    EXPECT_EQ(hole->coordref->xyunits, 0);
    EXPECT_EQ(cache()->stamps[1], 0);
    EXPECT_EQ(db_layer_cache_remove(instance_, 9), 0);
    EXPECT_EQ(cache()->count, 2);
    EXPECT_EQ(db_layer_cache_remove(instance_, 42), 0); // not cached: nothing

    // The removed layer is read again; the next new layer takes the hole.
    LAYER *ten = read_layer(instance_, layer(10, "t10"));
    EXPECT_EQ(ten, cache()->entries[1]);
    EXPECT_EQ(cache()->count, 2);
    LAYER *eight = read_layer(instance_, layer(8, "t8"));
    EXPECT_EQ(eight, cache()->entries[2]);
    EXPECT_EQ(cache()->count, 3);
}

TEST_F(LayerCache, ByTableNameWithAndWithoutAColumn)
{
    const std::string base = kSelect + kFrom +
                             " WHERE ly.srid = sr.srid AND ly.database_name = "
                             "'gis' AND ly.table_name = 'roads'";
    const std::string with_centre = base + " AND spatial_column = 'centre' AND ly.owner = 'bob'";
    const std::string without = base + " AND ly.owner = 'bob'";
    answer_layers(with_centre, {layer(4, "roads", "centre")});
    LAYER *centre = nullptr;
    ASSERT_EQ(
        DB_layer_get_info_by_table_name(instance_, nullptr, "Roads", "CENTRE", "bob", &centre), 0);
    ASSERT_NE(centre, nullptr);
    EXPECT_EQ(centre->layer_id, 4);

    // Without a column the first entry of the table, from the cache.
    LAYER *found = nullptr;
    ASSERT_EQ(
        DB_layer_get_info_by_table_name(instance_, nullptr, "gis:bob.roads", nullptr, "x", &found),
        0);
    EXPECT_EQ(found, centre);

    // With another column only that column's layer: a miss, read and cached.
    const std::string with_shape = base + " AND spatial_column = 'shape' AND ly.owner = 'bob'";
    answer_layers(with_shape, {layer(5, "roads", "shape")});
    ASSERT_EQ(DB_layer_get_info_by_table_name(instance_, nullptr, "roads", "shape", "bob", &found),
              0);
    EXPECT_EQ(found->layer_id, 5);
    EXPECT_EQ(cache()->count, 2);
    EXPECT_EQ(Executed(), (Strings{with_centre, "COMMIT", with_shape, "COMMIT"}));

    // A moved stamp reloads by the entry's names.
    host_.bump(5);
    answer_layers(with_shape, {layer(5, "roads", "shape")});
    ASSERT_EQ(DB_layer_get_info_by_table_name(instance_, nullptr, "roads", "shape", "bob", &found),
              0);
    EXPECT_EQ(found->layer_id, 5);
    EXPECT_EQ(Executed().size(), 6u);

    // A column the catalogue keeps in upper case is found in the cache by
    // any case; a moved stamp reloads it by its name as stored.
    answer_layers(by_id(6), {layer(6, "roads", "GEOM")});
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 6, &found), 0);
    const size_t before = Executed().size();
    for (const char *column : {"GEOM", "geom", "Geom"}) {
        SCOPED_TRACE(column);
        found = nullptr;
        ASSERT_EQ(
            DB_layer_get_info_by_table_name(instance_, nullptr, "roads", column, "bob", &found), 0);
        EXPECT_EQ(found->layer_id, 6);
        EXPECT_EQ(db_layer_cache_contains(instance_, "gis", "bob", "roads", column), 1);
    }
    EXPECT_EQ(Executed().size(), before);
    host_.bump(6);
    const std::string with_upper = base + " AND spatial_column = 'GEOM' AND ly.owner = 'bob'";
    answer_layers(with_upper, {layer(6, "roads", "GEOM")});
    ASSERT_EQ(DB_layer_get_info_by_table_name(instance_, nullptr, "roads", "geom", "bob", &found),
              0);
    EXPECT_EQ(found->layer_id, 6);
    EXPECT_EQ(Executed()[before], with_upper);

    // No such layer: -20 and a null pointer; a quote in a name is doubled.
    const std::string other = kSelect + kFrom +
                              " WHERE ly.srid = sr.srid AND ly.database_name = "
                              "'gis' AND ly.table_name = 'it''s' AND ly.owner "
                              "= 'bob'";
    answer_layers(other, {});
    found = centre;
    EXPECT_EQ(DB_layer_get_info_by_table_name(instance_, nullptr, "it's", nullptr, "bob", &found),
              ZE_LAYER_NOT_FOUND);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(Executed().back(), "COMMIT");
    EXPECT_EQ(Executed()[Executed().size() - 2], other);

    std::string long_column(40, 'c');
    EXPECT_EQ(DB_layer_get_info_by_table_name(instance_, nullptr, "roads", long_column.c_str(),
                                              "bob", &found),
              ZE_INVALID_ARGUMENT);
    EXPECT_EQ(DB_layer_get_info_by_table_name(instance_, nullptr, nullptr, nullptr, "bob", &found),
              ZE_NULL_POINTER);
}

TEST_F(LayerCache, ViewCopiesWithoutEnteringTheCache)
{
    // Not cached: read straight into the caller's record, which gets a
    // coordinate reference of its own.
    answer_layers(by_id(3), {layer(3)});
    LAYER view{};
    ASSERT_EQ(DB_layer_view_get_info(instance_, nullptr, 3, &view), 0);
    EXPECT_EQ(view.layer_id, 3);
    ASSERT_NE(view.coordref, nullptr);
    EXPECT_STREQ(view.coordref->srtext, "PROJCS[\"local\"]");
    EXPECT_EQ(cache()->count, 0);

    // Cached: a copy, the caller's reference kept.
    LAYER *cached = read_layer(instance_, layer(4, "lots"));
    COORDREF *own = view.coordref;
    ASSERT_EQ(DB_layer_view_get_info(instance_, nullptr, 4, &view), 0);
    EXPECT_EQ(view.layer_id, 4);
    EXPECT_EQ(view.coordref, own);
    EXPECT_NE(view.coordref, cached->coordref);
    EXPECT_DOUBLE_EQ(view.coordref->xy_rounding, 0.001);
    EXPECT_EQ(Executed(), (Strings{by_id(3), "COMMIT", by_id(4), "COMMIT"}));
    MoxCoordRefFree(own); // with its text
}

TEST_F(LayerCache, ChangedStampAndVanishedRowGiveNotFound)
{
    LAYER *seven = read_layer(instance_, layer(7));
    host_.bump(7);
    answer_layers(by_id(7), {}); // the reload
    answer_layers(by_id(7), {}); // the fresh read it falls back to
    LAYER *got = seven;
    EXPECT_EQ(DB_layer_get_info(instance_, nullptr, 7, &got), ZE_LAYER_NOT_FOUND);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(seven->layer_id, 7); // the entry is left as it was
    EXPECT_EQ(cache()->count, 1);
}

// A layer dropped and made again under the same id (another table, another
// creation date) matches its entry neither by names nor by id and date: the
// new row takes the stale entry instead of the stale record being handed out.
TEST_F(LayerCache, LayerMadeAgainUnderItsIdReplacesTheStaleEntry)
{
    LAYER *seven = read_layer(instance_, layer(7, "roads"));
    host_.bump(7);
    LayerRow remade = layer(7, "streets");
    remade.cdate = 5000;
    answer_layers(by_id(7), {remade});
    answer_layers(by_id(7), {remade});
    LAYER *got = nullptr;
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &got), 0);
    EXPECT_EQ(got, seven);
    EXPECT_STREQ(got->table_name, "streets");
    EXPECT_EQ(got->cdate, 5000);
    EXPECT_EQ(cache()->count, 1);
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &got), 0); // fresh: no SQL
    EXPECT_EQ(Executed(), (Strings{by_id(7), "COMMIT", by_id(7), "COMMIT", by_id(7), "COMMIT"}));
}

TEST_F(LayerCache, LayerWithoutSelectPrivilegeIsNotCached)
{
    LayerRow theirs = layer(7);
    theirs.owner = "alice";
    answer_layers(by_id(7), {theirs});
    scli::on_sql_like("SELECT tabauth from .*").columns({{"tabauth", SQL_CHAR, 9}});
    LAYER *got = nullptr;
    EXPECT_EQ(DB_layer_get_info(instance_, nullptr, 7, &got), ZE_NO_PERMISSIONS);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(cache()->count, 0);
    EXPECT_EQ(cache()->entries[0]->layer_id, -1);
}

// A reload whose privilege read fails leaves the entry stale, so the next
// look-up asks again instead of handing out the record with no privileges.
TEST_F(LayerCache, ReloadThatLosesTheGrantLeavesTheEntryAsItWas)
{
    LayerRow theirs = layer(7);
    theirs.owner = "alice";
    answer_layers(by_id(7), {theirs});
    const std::string tabauth = "SELECT tabauth from .*";
    scli::on_sql_like(tabauth).columns({{"tabauth", SQL_CHAR, 9}}).row({scli::chr("s--------", 9)});
    LAYER *seven = nullptr;
    ASSERT_EQ(DB_layer_get_info(instance_, nullptr, 7, &seven), 0);
    EXPECT_EQ(seven->privileges, 2u);

    host_.bump(7);
    theirs.maxx = 777;
    answer_layers(by_id(7), {theirs}).times(2); // the reload and the fresh read
    scli::on_sql_like(tabauth).columns({{"tabauth", SQL_CHAR, 9}}).times(2); // grant revoked
    LAYER *got = seven;
    EXPECT_EQ(DB_layer_get_info(instance_, nullptr, 7, &got), ZE_NO_PERMISSIONS);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(seven->privileges, 2u);
    EXPECT_EQ(seven->maxx, 300);
    EXPECT_NE(cache()->stamps[0], host_.stamp(7));
    EXPECT_EQ(cache()->count, 1);
}

TEST_F(LayerCache, StreamTakesTheCachedRecordAndCountsInsertions)
{
    auto stream = std::make_unique<DB_STREAM>();
    stream->owner_text = "carol";
    EXPECT_STREQ(db_stream_get_user(stream.get()), "carol");
    DB_LAYER_ROW row;
    db_layer_row_init(&row);
    row.layer.layer_id = 12;
    strcpy(row.layer.owner, "bob");
    strcpy(row.layer.table_name, "lots");
    row.coordref.xyunits = 100;
    int16_t inserted = 0;
    ASSERT_EQ(db_layer_cache_get_by_id(instance_, stream.get(), &row.layer, &inserted), 0);
    EXPECT_EQ(inserted, 1);
    LAYER *cached = db_stream_get_layer_info(stream.get());
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->layer_id, 12);
    EXPECT_DOUBLE_EQ(cached->coordref->xy_rounding, 0.01);
    // The same layer again: the fresh entry, nothing inserted.
    ASSERT_EQ(db_layer_cache_get_by_id(instance_, stream.get(), &row.layer, &inserted), 0);
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(db_stream_get_layer_info(stream.get()), cached);
    EXPECT_EQ(db_layer_cache_get_by_id(instance_, nullptr, &row.layer, &inserted), ZE_NULL_POINTER);

    // Refresh mode finds the entry by names and keeps it when nothing matches.
    row.coordref.xyunits = 50;
    LAYER *refreshed = nullptr;
    ASSERT_EQ(db_layer_cache_put(instance_, nullptr, &row.layer, &refreshed, DB_LAYER_REFRESH), 0);
    EXPECT_EQ(refreshed, cached);
    EXPECT_EQ(cached->coordref->xyunits, 50);
    strcpy(row.layer.table_name, "other");
    row.layer.cdate = 77;
    ASSERT_EQ(db_layer_cache_put(instance_, nullptr, &row.layer, &refreshed, DB_LAYER_REFRESH), 0);
    EXPECT_EQ(refreshed, nullptr);
    EXPECT_STREQ(cached->table_name, "lots");
    EXPECT_TRUE(Executed().empty());
}

TEST_F(LayerCache, MembershipAndNameEquality)
{
    read_layer(instance_, layer(7, "roads", "shape"));
    struct Case {
        const char *database, *owner, *table, *column;
        int32_t expected;
    };
    const Case cases[] = {
        {"gis", "bob", "roads", "SHAPE", 1},   {"", "bob", "roads", "shape", 1},
        {nullptr, "bob", "roads", nullptr, 1}, {"web", "bob", "roads", "shape", 0},
        {"gis", "alice", "roads", "shape", 0}, {"gis", "bob", "roads", "centre", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(db_layer_cache_contains(instance_, c.database, c.owner, c.table, c.column),
                  c.expected)
            << c.database << " " << c.owner << " " << c.column;

    EXPECT_EQ(db_names_equal("bob", "t", nullptr, "bob", "t", nullptr), 1);
    EXPECT_EQ(db_names_equal("bob", "t", "gis", "bob", "t", "gis"), 1);
    EXPECT_EQ(db_names_equal("bob", "t", "gis", "bob", "t", nullptr), 0);
    EXPECT_EQ(db_names_equal("bob", "t", "gis", "bob", "t", "web"), 0);
    EXPECT_EQ(db_names_equal("bob", "t", nullptr, "alice", "t", nullptr), 0);
}

class NoCache : public LayerFixture
{
  protected:
    NoCache()
    {
        cache_size_ = 0;
    }
};

TEST_F(NoCache, LookupsFailWithoutSqlAndTheViewStillReads)
{
    ASSERT_EQ(cache(), nullptr);
    LAYER *got = nullptr;
    EXPECT_EQ(DB_layer_get_info(instance_, nullptr, 7, &got), ZE_FAILURE);
    EXPECT_EQ(DB_layer_get_info_by_table_name(instance_, nullptr, "roads", nullptr, "bob", &got),
              ZE_FAILURE);
    EXPECT_TRUE(Executed().empty());
    EXPECT_EQ(db_layer_cache_remove(instance_, 7), 0);

    answer_layers(by_id(7), {layer(7)});
    OwnLayer own;
    EXPECT_EQ(DB_layer_view_get_info(instance_, nullptr, 7, &own.layer), 0);
    EXPECT_EQ(own.layer.layer_id, 7);
}

class NoStampCallback : public LayerFixture
{
  protected:
    NoStampCallback()
    {
        with_host_ = false;
    }
};

TEST_F(NoStampCallback, TheClockStandsInForTheStamp)
{
    time_t before = time(nullptr);
    int32_t stamp = db_get_current_time(instance_, 7);
    time_t after = time(nullptr);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
}

} // namespace
