// The process's layer cache: the size asked against the slots made, the first
// block of entries, replacement by a second init, and a free that runs once.
#include <gtest/gtest.h>

#include "db/catalog/db_layer_cache_internal.h"
#include "mox/mox.h"

namespace
{

TEST(LayerCache, InitMakesMaxOfSizeAndFiveSlotsWithOneBlockOfEntries)
{
    const std::pair<int32_t, int32_t> cases[] = {{-4, 5}, {1, 5}, {3, 5}, {5, 5}, {6, 6}, {40, 40}};
    for (auto [size, capacity] : cases) {
        SCOPED_TRACE(size);
        ASSERT_EQ(db_layer_cache_init(nullptr, size), 0);
        DB_LAYER_CACHE *cache = db_layer_cache_get();
        ASSERT_NE(cache, nullptr);
        EXPECT_EQ(cache->capacity, capacity);
        EXPECT_EQ(cache->blocks_in_use, 1);
        EXPECT_EQ(cache->cached, 0);
        for (int32_t i = 0; i < capacity; i++) {
            EXPECT_EQ(cache->stamps[i], 0);
            if (i >= DB_LAYER_CACHE_BLOCK) {
                EXPECT_EQ(cache->slots[i], nullptr);
                continue;
            }
            const LAYER *entry = cache->slots[i];
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(entry->layer_id, -1);
            EXPECT_STREQ(entry->table_name, "");
            ASSERT_NE(entry->coordref, nullptr);
            EXPECT_FALSE(MoxsCoordRefIsActive(entry->coordref));
            ASSERT_NE(entry->coordref->srtext, nullptr);
            for (int k = 0; k < DB_LAYER_CACHE_SRTEXT_SIZE; k++)
                ASSERT_EQ(entry->coordref->srtext[k], '\0');
        }
        // The next init replaces this cache; the sanitizer sees any loss.
    }
    db_layer_cache_free(nullptr);
    EXPECT_EQ(db_layer_cache_get(), nullptr);
    db_layer_cache_free(nullptr); // nothing left: does nothing
    EXPECT_EQ(db_layer_cache_get(), nullptr);
}

} // namespace
