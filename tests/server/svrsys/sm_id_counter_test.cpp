// Tests the id counters of the instance's shared memory: the seeded last ids
// and the new ids they give, layer and raster column ids in use, feature-id
// seeding and ranges (with a claimant that fails, ends or is killed, and
// several processes drawing at once), layer modification times, raster and
// band ids, and the states' stamp.
#include "server/svrsys/sm_id_counter.h"

#include "tests/server/svrsys/sm_fixture.h"

#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <vector>

using namespace sm_test;

namespace
{

int32_t counter(SM_MASTER *m, int32_t layer_id)
{
    return __atomic_load_n(&m->next_fids[layer_id - 1], __ATOMIC_ACQUIRE);
}

uint32_t raster_counter(const unsigned char *base, int32_t rastercolumn_id)
{
    uint32_t value;
    memcpy(&value, base + (rastercolumn_id - 1) * 4, sizeof value);
    return value;
}

// A seed that answers a fixed value and counts its calls.
struct Seed {
    int32_t answer = 0;
    int calls = 0;
};

int32_t fid_seed(void *context, int32_t /*layer_id*/)
{
    Seed *seed = static_cast<Seed *>(context);
    seed->calls += 1;
    return seed->answer;
}

int32_t raster_seed(void *context, const RASTERCOLUMN * /*rastercolumn*/)
{
    Seed *seed = static_cast<Seed *>(context);
    seed->calls += 1;
    return seed->answer;
}

// The seed of a forked child: waits the milliseconds in the context's first
// word, then answers its second.
int32_t slow_seed(void *context, int32_t /*layer_id*/)
{
    const int32_t *words = static_cast<const int32_t *>(context);
    plat_sleep_ms(words[0]);
    return words[1];
}

// A child that attaches and calls SM_layer_set_fid_start with slow_seed
// (delay_ms, answer), then sends the result.
forked::Child start_seeder(const Instance &instance, int32_t layer_id, int32_t delay_ms,
                           int32_t answer)
{
    std::string name = instance.name;
    return forked::start([=](const forked::Link &link) {
        SM_MASTER *m = nullptr;
        if (SM_server_open(nullptr, name.c_str(), 0, 0, nullptr, &m) != 0)
            return 1;
        int32_t words[2] = {delay_ms, answer};
        int32_t result = SM_layer_set_fid_start(m, layer_id, slow_seed, words);
        link.send_bytes(&result, sizeof result);
        SM_server_close(m);
        return 0;
    });
}

// Starts a seeder and waits (bounded) until its claim stands on the layer's
// counter; the child's pid is -1 when it does not.
forked::Child start_claimant(const Instance &instance, int32_t layer_id, int32_t delay_ms,
                             int32_t answer)
{
    forked::Child child = start_seeder(instance, layer_id, delay_ms, answer);
    for (int i = 0; child.pid > 0 && i < 2000; ++i) {
        if (counter(instance.master, layer_id) == -child.pid)
            return child;
        plat_sleep_ms(5);
    }
    forked::kill_child(child);
    return child;
}

// A seeder's answer, and its end: kNoAnswer when none came within timeout_ms
// or it did not end normally.
int32_t seeder_answer(forked::Child &child, int timeout_ms = 20000)
{
    int32_t result = kNoAnswer;
    if (!child.link.receive_bytes(&result, sizeof result, timeout_ms))
        result = kNoAnswer;
    return forked::finish(child) == 0 ? result : kNoAnswer;
}

RASTERCOLUMN rastercolumn(int32_t id, uint32_t minimum_id)
{
    RASTERCOLUMN rc;
    memset(&rc, 0, sizeof rc);
    rc.rastercolumn_id = id;
    rc.minimum_id = minimum_id;
    return rc;
}

} // namespace

TEST(SmIdCounter, SeededLastIdsGiveTheNextNewIds)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    struct Case {
        int32_t (*set)(SM_MASTER *, int32_t);
        int32_t code;
        int32_t value;
        int32_t expected;
    } cases[] = {
        {SM_next_state_id_set, SM_INFO_NEW_STATE_ID, 41, 42},
        {SM_next_metadata_id_set, SM_INFO_NEW_METADATA_ID, 0, 1},
        {SM_next_locator_id_set, SM_INFO_NEW_LOCATOR_ID, 7, 8},
        {SM_next_version_id_set, SM_INFO_NEW_VERSION_ID, 100, 101},
        {SM_default_state_id_set, SM_INFO_DEFAULT_STATE_ID, 5, 5},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.set(m, c.value), 0);
        EXPECT_EQ(SM_shared_info(m, c.code), c.expected) << c.code;
        EXPECT_EQ(c.set(m, -1), ZE_INVALID_ARGUMENT) << c.code;
        EXPECT_EQ(c.set(nullptr, 1), ZE_NULL_POINTER) << c.code;
    }
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_STATE_ID), 43);
    EXPECT_EQ(SM_next_state_id_set(m, INT32_MAX), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_STATE_ID), ZE_FAILURE) << "never wraps";
}

TEST(SmIdCounter, LayerAndRasterColumnIdsInUse)
{
    Capacities c;
    c.nlayers = 4;
    c.nrasters = 3;
    Instance instance(c);
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    VE_BITMAP *bits = VES_Bitmap_Create(40, 0);
    ASSERT_NE(bits, nullptr);
    VES_Bitmap_Set(bits, 0, 1);
    VES_Bitmap_Set(bits, 2, 1);
    VES_Bitmap_Set(bits, 30, 1); // past both sections: not looked at

    EXPECT_EQ(SM_available_layer_ids_set(m, bits), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_LAYER_ID), 2);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_LAYER_ID), 4);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_LAYER_ID), ZE_LAYER_LIMIT);
    EXPECT_EQ(SM_return_layer_id(m, 3), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_LAYER_ID), 3);
    EXPECT_EQ(SM_return_layer_id(m, 0), ZE_INVALID_LAYER_ID);
    EXPECT_EQ(SM_return_layer_id(m, 5), ZE_INVALID_LAYER_ID);

    EXPECT_EQ(SM_available_rastercolumn_ids_set(m, bits), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_RASTERCOLUMN_ID), 2);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_RASTERCOLUMN_ID), ZE_RASTERCOLUMN_LIMIT);
    EXPECT_EQ(SM_return_rastercolumn_id(m, 1), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_RASTERCOLUMN_ID), 1);
    EXPECT_EQ(SM_return_rastercolumn_id(m, 4), ZE_INVALID_RASTERCOLUMN_ID);

    EXPECT_EQ(SM_available_layer_ids_set(m, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SM_available_rastercolumn_ids_set(nullptr, bits), ZE_NULL_POINTER);
    VES_Bitmap_Destroy(bits);
}

TEST(SmIdCounter, FeatureIdRanges)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    // Unseeded: nothing is handed out, in particular not id 0.
    EXPECT_EQ(SM_layer_get_fid_range(m, 1, 100), ZE_FAILURE);
    EXPECT_EQ(counter(m, 1), 0);

    EXPECT_EQ(SM_layer_set_fid_start(m, 1, nullptr, nullptr), 0);
    EXPECT_EQ(counter(m, 1), 1);
    EXPECT_EQ(SM_layer_get_fid_range(m, 1, 100), 1);
    EXPECT_EQ(counter(m, 1), 101);
    EXPECT_EQ(SM_layer_get_fid_range(m, 1, 0), 101);
    EXPECT_EQ(SM_layer_get_fid_range(m, 1, -1), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(counter(m, 1), 101);

    // A claim is neither handed out nor destroyed.
    m->next_fids[1] = -12345;
    EXPECT_EQ(SM_layer_get_fid_range(m, 2, 5), ZE_FAILURE);
    EXPECT_EQ(counter(m, 2), -12345);

    // The range never passes 2^31-1.
    Seed seed{INT32_MAX - 11, 0};
    EXPECT_EQ(SM_layer_set_fid_start(m, 3, fid_seed, &seed), 0);
    EXPECT_EQ(counter(m, 3), INT32_MAX - 10);
    EXPECT_EQ(SM_layer_get_fid_range(m, 3, 11), ZE_FAILURE);
    EXPECT_EQ(SM_layer_get_fid_range(m, 3, 10), INT32_MAX - 10);
    EXPECT_EQ(counter(m, 3), INT32_MAX);
    EXPECT_EQ(SM_layer_get_fid_range(m, 3, 1), ZE_FAILURE);

    EXPECT_EQ(SM_layer_clear_fids(m, 1), 0);
    EXPECT_EQ(counter(m, 1), 0);
    for (int32_t layer : {0, 5}) {
        EXPECT_EQ(SM_layer_get_fid_range(m, layer, 1), ZE_INVALID_LAYER_ID);
        EXPECT_EQ(SM_layer_set_fid_start(m, layer, nullptr, nullptr), ZE_INVALID_LAYER_ID);
        EXPECT_EQ(SM_layer_clear_fids(m, layer), ZE_INVALID_LAYER_ID);
    }
    EXPECT_EQ(SM_layer_get_fid_range(nullptr, 1, 1), ZE_NULL_POINTER);
}

TEST(SmIdCounter, FeatureIdSeeding)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    struct Case {
        int32_t answer;
        int32_t result;
        int32_t stored;
    } cases[] = {
        {41, 0, 42},
        {0, 0, 1},
        {-51, -51, 0},              // a failing seed leaves the counter unseeded
        {INT32_MAX, ZE_FAILURE, 0}, // no id after it
    };
    for (const Case &c : cases) {
        Seed seed{c.answer, 0};
        EXPECT_EQ(SM_layer_set_fid_start(m, 1, fid_seed, &seed), c.result) << c.answer;
        EXPECT_EQ(seed.calls, 1);
        EXPECT_EQ(counter(m, 1), c.stored);
        SM_layer_clear_fids(m, 1);
    }
    // A seeded counter is not seeded again; a failed seed is tried again.
    Seed failing{-51, 0};
    EXPECT_EQ(SM_layer_set_fid_start(m, 2, fid_seed, &failing), -51);
    Seed seed{9, 0};
    EXPECT_EQ(SM_layer_set_fid_start(m, 2, fid_seed, &seed), 0);
    EXPECT_EQ(SM_layer_set_fid_start(m, 2, fid_seed, &seed), 0);
    EXPECT_EQ(seed.calls, 1);
    EXPECT_EQ(counter(m, 2), 10);
    // Without a seed the counter restarts at 1.
    EXPECT_EQ(SM_layer_set_fid_start(m, 2, nullptr, nullptr), 0);
    EXPECT_EQ(counter(m, 2), 1);
}

TEST(SmIdCounter, OneProcessSeedsWhileAnotherWaitsForIt)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    forked::Child seeder = start_claimant(instance, 1, 300, 41);
    ASSERT_GT(seeder.pid, 0);
    Seed seed{999, 0};
    EXPECT_EQ(SM_layer_set_fid_start(m, 1, fid_seed, &seed), 0);
    EXPECT_EQ(seed.calls, 0) << "the seed runs once in the instance";
    EXPECT_EQ(counter(m, 1), 42);
    EXPECT_EQ(seeder_answer(seeder), 0);

    // A claimant whose seed fails: the waiter seeds itself.
    seeder = start_claimant(instance, 2, 300, -51);
    ASSERT_GT(seeder.pid, 0);
    Seed second{6, 0};
    EXPECT_EQ(SM_layer_set_fid_start(m, 2, fid_seed, &second), 0);
    EXPECT_EQ(second.calls, 1);
    EXPECT_EQ(counter(m, 2), 7);
    EXPECT_EQ(seeder_answer(seeder), -51);
}

TEST(SmIdCounter, AClaimantKilledMidClaimDoesNotBlockTheOthers)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    // Killed before the others come: the next caller reclaims at once.
    forked::Child seeder = start_claimant(instance, 1, 60000, 41);
    ASSERT_GT(seeder.pid, 0);
    EXPECT_EQ(forked::kill_child(seeder), 128 + SIGKILL);
    forked::Child next = start_seeder(instance, 1, 0, 9);
    EXPECT_EQ(seeder_answer(next, 10000), 0);
    EXPECT_EQ(counter(m, 1), 10);

    // Killed while another process waits on its claim: that one goes on.
    seeder = start_claimant(instance, 2, 60000, 41);
    ASSERT_GT(seeder.pid, 0);
    forked::Child waiter = start_seeder(instance, 2, 0, 20);
    int32_t result = kNoAnswer;
    EXPECT_FALSE(waiter.link.receive_bytes(&result, sizeof result, 300)) << "it waits";
    EXPECT_EQ(forked::kill_child(seeder), 128 + SIGKILL);
    EXPECT_EQ(seeder_answer(waiter, 10000), 0);
    EXPECT_EQ(counter(m, 2), 21);
}

TEST(SmIdCounter, AClearDuringSeedingWins)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    forked::Child seeder = start_claimant(instance, 1, 300, 41);
    ASSERT_GT(seeder.pid, 0);
    EXPECT_EQ(SM_layer_clear_fids(m, 1), 0);
    EXPECT_EQ(seeder_answer(seeder), 0);
    EXPECT_EQ(counter(m, 1), 0) << "the seed's result is no longer stored";
}

TEST(SmIdCounter, SeveralProcessesNeverDrawTheSameIds)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    ASSERT_EQ(SM_layer_set_fid_start(m, 1, nullptr, nullptr), 0);
    constexpr int kChildren = 4;
    constexpr int kDraws = 300;
    std::string name = instance.name;
    std::vector<forked::Child> children;
    for (int c = 0; c < kChildren; ++c) {
        children.push_back(forked::start([=](const forked::Link &link) {
            SM_MASTER *mc = nullptr;
            if (SM_server_open(nullptr, name.c_str(), 0, 0, nullptr, &mc) != 0)
                return 1;
            RASTERCOLUMN rc = rastercolumn(1, 0);
            Seed none{0, 0};
            if (link.receive() != 'g')
                return 2;
            // Per draw: first feature id, count, raster id, band id.
            std::vector<int32_t> drawn;
            for (int i = 0; i < kDraws; ++i) {
                int32_t count = 1 + (i + c) % 5;
                int32_t raster = 0, band = 0;
                drawn.push_back(SM_layer_get_fid_range(mc, 1, count));
                drawn.push_back(count);
                SM_raster_get_id(mc, &rc, raster_seed, &none, &raster);
                SM_rasterband_get_id(mc, &rc, raster_seed, &none, &band);
                drawn.push_back(raster);
                drawn.push_back(band);
            }
            link.send_bytes(drawn.data(), drawn.size() * sizeof(int32_t));
            SM_server_close(mc);
            return 0;
        }));
        ASSERT_GT(children.back().pid, 0);
    }
    for (forked::Child &child : children)
        child.link.send('g');
    std::vector<int32_t> fids, rasters, bands;
    int64_t total = 0;
    for (forked::Child &child : children) {
        std::vector<int32_t> drawn(kDraws * 4);
        ASSERT_TRUE(child.link.receive_bytes(drawn.data(), drawn.size() * sizeof(int32_t)));
        for (int i = 0; i < kDraws; ++i) {
            ASSERT_GT(drawn[i * 4], 0);
            for (int32_t k = 0; k < drawn[i * 4 + 1]; ++k)
                fids.push_back(drawn[i * 4] + k);
            total += drawn[i * 4 + 1];
            rasters.push_back(drawn[i * 4 + 2]);
            bands.push_back(drawn[i * 4 + 3]);
        }
        EXPECT_EQ(forked::finish(child), 0);
    }
    for (std::vector<int32_t> *ids : {&fids, &rasters, &bands}) {
        std::sort(ids->begin(), ids->end());
        EXPECT_EQ(std::adjacent_find(ids->begin(), ids->end()), ids->end()) << "an id twice";
        EXPECT_EQ(ids->front(), 1);
        EXPECT_EQ(ids->back(), static_cast<int32_t>(ids->size()));
    }
    EXPECT_EQ(counter(m, 1), 1 + total);
}

TEST(SmIdCounter, LayerModificationTimes)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    EXPECT_EQ(SM_layer_get_time_last_modified(m, 1), 0u);
    uint32_t before = static_cast<uint32_t>(time(nullptr));
    EXPECT_EQ(SM_layer_touch(m, 1), 0);
    uint32_t after = static_cast<uint32_t>(time(nullptr));
    uint32_t first = SM_layer_get_time_last_modified(m, 1);
    EXPECT_GE(first, before + 1) << "never touched: the current time plus one";
    EXPECT_LE(first, after + 1);

    // Every touch gives a new, higher time, also within one second.
    uint32_t last = first;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(SM_layer_touch(m, 1), 0);
        uint32_t now = SM_layer_get_time_last_modified(m, 1);
        EXPECT_GT(now, last);
        last = now;
    }
    // A stored time in the past becomes the current time.
    m->layer_mtimes[1] = 1000;
    before = static_cast<uint32_t>(time(nullptr));
    EXPECT_EQ(SM_layer_touch(m, 2), 0);
    EXPECT_GE(SM_layer_get_time_last_modified(m, 2), before);
    EXPECT_LE(SM_layer_get_time_last_modified(m, 2), static_cast<uint32_t>(time(nullptr)));

    EXPECT_EQ(SM_shared_info(m, SM_INFO_LAYERS_MODIFIED), 2);
    EXPECT_EQ(SM_layer_touch(m, 0), ZE_INVALID_LAYER_ID);
    EXPECT_EQ(SM_layer_touch(nullptr, 1), ZE_NULL_POINTER);
    EXPECT_EQ(SM_layer_get_time_last_modified(m, 99), 0u);
}

TEST(SmIdCounter, RasterAndBandIds)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    RASTERCOLUMN rc = rastercolumn(2, 20);
    Seed seed{7, 0};
    int32_t id = 0;
    EXPECT_EQ(SM_raster_get_id(m, &rc, raster_seed, &seed, &id), 0);
    EXPECT_EQ(id, 20) << "at least the column's minimum id";
    EXPECT_EQ(raster_counter(m->next_raster_ids, 2), 21u);
    EXPECT_EQ(SM_raster_return_id(m, &rc, 20), 0);
    EXPECT_EQ(raster_counter(m->next_raster_ids, 2), 20u);
    EXPECT_EQ(SM_raster_return_id(m, &rc, 18), 0);
    EXPECT_EQ(raster_counter(m->next_raster_ids, 2), 20u) << "only the last id comes back";
    EXPECT_EQ(SM_raster_get_id(m, &rc, raster_seed, &seed, &id), 0);
    EXPECT_EQ(id, 20);
    EXPECT_EQ(seed.calls, 1);

    // Band ids have no minimum; a failing seed changes nothing.
    Seed failing{-51, 0};
    id = -7;
    EXPECT_EQ(SM_rasterband_get_id(m, &rc, raster_seed, &failing, &id), -51);
    EXPECT_EQ(id, -7);
    EXPECT_EQ(raster_counter(m->next_band_ids, 2), 0u);
    EXPECT_EQ(SM_rasterband_get_id(m, &rc, raster_seed, &seed, &id), 0);
    EXPECT_EQ(id, 8);
    EXPECT_EQ(SM_rasterband_get_id(m, &rc, nullptr, nullptr, &id), 0) << "seeded: no seed needed";
    EXPECT_EQ(id, 9);
    EXPECT_EQ(SM_rasterband_return_id(m, &rc, 9), 0);
    EXPECT_EQ(raster_counter(m->next_band_ids, 2), 9u);
    EXPECT_EQ(SM_rasterband_clear_ids(m, &rc), 0);
    EXPECT_EQ(SM_raster_clear_ids(m, &rc), 0);
    EXPECT_EQ(raster_counter(m->next_band_ids, 2), 0u);
    EXPECT_EQ(raster_counter(m->next_raster_ids, 2), 0u);
    EXPECT_EQ(SM_raster_get_id(m, &rc, nullptr, nullptr, &id), ZE_NULL_POINTER)
        << "unseeded without a seed";

    // Ids stop before 2^31.
    Seed high{INT32_MAX - 1, 0};
    EXPECT_EQ(SM_raster_get_id(m, &rc, raster_seed, &high, &id), 0);
    EXPECT_EQ(id, INT32_MAX);
    EXPECT_EQ(SM_raster_get_id(m, &rc, raster_seed, &high, &id), ZE_FAILURE);

    RASTERCOLUMN bad = rastercolumn(4, 0);
    EXPECT_EQ(SM_raster_get_id(m, &bad, raster_seed, &seed, &id), ZE_INVALID_RASTERCOLUMN_ID);
    bad.rastercolumn_id = 0;
    EXPECT_EQ(SM_rasterband_return_id(m, &bad, 1), ZE_INVALID_RASTERCOLUMN_ID);
    EXPECT_EQ(SM_raster_return_id(m, &rc, 0), ZE_INVALID_ARGUMENT);
    EXPECT_EQ(SM_raster_get_id(m, nullptr, raster_seed, &seed, &id), ZE_NULL_POINTER);
    EXPECT_EQ(SM_raster_get_id(m, &rc, raster_seed, &seed, nullptr), ZE_NULL_POINTER);
}

TEST(SmIdCounter, StatesStampRisesWithEveryCall)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    int32_t stamp = -1;
    struct Case {
        int32_t given;
        int32_t stored;
    } cases[] = {{9, 9}, {5, 10}, {10, 11}, {20, 20}, {0, 21}};
    for (const Case &c : cases) {
        EXPECT_EQ(SM_states_set_last_modified(m, c.given), 0);
        EXPECT_EQ(SM_states_get_last_modified(m, &stamp), 0);
        EXPECT_EQ(stamp, c.stored) << c.given;
    }
    sm_header(m)[SM_HW_STATES_MODIFIED] = INT32_MAX;
    EXPECT_EQ(SM_states_set_last_modified(m, 5), ZE_FAILURE);
    EXPECT_EQ(SM_states_get_last_modified(m, nullptr), ZE_NULL_POINTER);
}

TEST(SmIdCounter, SharedMutexIsLentToTheHost)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Agent other(instance);
    ASSERT_EQ(other.opened, 0);
    EXPECT_EQ(SM_shared_mutex_lock(m), 0);
    ASSERT_TRUE(other.post(MUTEX_LOCK, 3));
    int32_t answer = kNoAnswer;
    EXPECT_FALSE(other.child.link.receive_bytes(&answer, sizeof answer, 150)) << "it waits";
    EXPECT_EQ(SM_shared_mutex_unlock(m), 0);
    EXPECT_EQ(other.answer(), 0);
    EXPECT_EQ(other.call(MUTEX_UNLOCK, 3), 0);
    EXPECT_EQ(SM_shared_mutex_lock(nullptr), ZE_NULL_POINTER);
}

TEST(SmIdCounter, PrivateBlockCountsWithoutNamedObjects)
{
    SM_MASTER *m = nullptr;
    ASSERT_EQ(SM_local_server_open(0, 2, 4, 2, 2, 3, 2, 2, 2, nullptr, &m), 0);
    Seed seed{4, 0};
    EXPECT_EQ(SM_layer_set_fid_start(m, 3, fid_seed, &seed), 0);
    EXPECT_EQ(SM_layer_get_fid_range(m, 3, 2), 5);
    RASTERCOLUMN rc = rastercolumn(1, 0);
    int32_t id = 0;
    EXPECT_EQ(SM_raster_get_id(m, &rc, raster_seed, &seed, &id), 0);
    EXPECT_EQ(id, 5);
    EXPECT_EQ(SM_states_set_last_modified(m, 3), 0);
    SM_server_close(m);
}
