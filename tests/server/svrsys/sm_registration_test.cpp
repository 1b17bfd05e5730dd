// Tests the registration cache of the instance's shared memory: the chain of
// cached slots, the records handed out (tag, bounded strings, code page and
// case), touch and operate, row-id ranges (also drawn by several processes
// while another operates on the registration), the lists, find, returning
// ids, and the rebuild of a damaged chain.
#include "server/svrsys/sm_registration.h"

#include "tests/server/svrsys/sm_fixture.h"

#include "base/util/ve_buffer.h"
#include "base/util/zel_errors.h"

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace sm_test;

namespace
{

Capacities caches(int32_t nregs)
{
    Capacities c;
    c.nregs = nregs;
    return c;
}

REGISTRATION record(const char *database, const char *owner, const char *table, uint32_t flags = 0)
{
    REGISTRATION r;
    memset(&r, 0, sizeof r);
    memcpy(r.tag, REGISTRATION_TAG, sizeof REGISTRATION_TAG);
    snprintf(r.database_name, sizeof r.database_name, "%s", database);
    snprintf(r.owner, sizeof r.owner, "%s", owner);
    snprintf(r.table_name, sizeof r.table_name, "%s", table);
    r.object_flags = flags;
    r.registration_date = 1000;
    r.minimum_id = 3;
    return r;
}

// The chain as slot ids (index + 1), bounded.
std::vector<int32_t> chain(SM_MASTER *m)
{
    std::vector<int32_t> ids;
    int32_t nregs = sm_header(m)[SM_HW_NREGS];
    for (int32_t i = sm_header(m)[SM_HW_REGISTRATION_HEAD];
         i != SM_CHAIN_END_WORD && int32_t(ids.size()) <= nregs;
         i = m->registrations[i].next_cached)
        ids.push_back(i + 1);
    return ids;
}

std::vector<int32_t> ids_of(const REGISTRATION *list, int32_t count)
{
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < count; ++i)
        ids.push_back(list[i].registration_id);
    return ids;
}

void free_list(REGISTRATION *list, int32_t count)
{
    if (list)
        VES_buffer_free(list, (count + 1) * static_cast<int32_t>(sizeof(REGISTRATION)));
}

struct Seed {
    int32_t answer = 0;
    int calls = 0;
    REGISTRATION seen;
};

int32_t rowid_seed(void *context, const REGISTRATION *registration)
{
    Seed *seed = static_cast<Seed *>(context);
    seed->calls += 1;
    seed->seen = *registration;
    return seed->answer;
}

// A converter that swaps two bytes of the sides: 0xE9 (client) and 0x82.
int32_t swap_bytes(char *text, int32_t size, const int32_t *map)
{
    unsigned char from = static_cast<unsigned char>(map[0]);
    unsigned char to = static_cast<unsigned char>(map[1]);
    for (int32_t i = 0; i < size && text[i] != '\0'; ++i)
        if (static_cast<unsigned char>(text[i]) == from)
            text[i] = static_cast<char>(to);
    return 0;
}

} // namespace

TEST(SmRegistration, CachedSlotsChainInAscendingIdOrder)
{
    Instance instance(caches(10));
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION r = record("db", "sam", "parcels");
    for (int32_t id : {5, 2, 9})
        EXPECT_EQ(SM_shared_registration_set(m, id, &r), 0);
    EXPECT_EQ(chain(m), (std::vector<int32_t>{2, 5, 9}));
    EXPECT_EQ(SM_shared_info(m, SM_INFO_REGISTRATIONS_CACHED), 3);

    // Setting a cached id again: same chain and count, its row ids unseeded.
    m->registrations[4].next_row_id = 77;
    EXPECT_EQ(SM_shared_registration_set(m, 5, &r), 0);
    EXPECT_EQ(chain(m), (std::vector<int32_t>{2, 5, 9}));
    EXPECT_EQ(SM_shared_info(m, SM_INFO_REGISTRATIONS_CACHED), 3);
    EXPECT_EQ(m->registrations[4].next_row_id, 0);

    EXPECT_EQ(SM_shared_registration_clear(m, 5), 0);
    EXPECT_EQ(chain(m), (std::vector<int32_t>{2, 9}));
    EXPECT_EQ(SM_shared_registration_clear(m, 2), 0) << "the head";
    EXPECT_EQ(SM_shared_registration_clear(m, 2), 0) << "not cached: nothing to do";
    EXPECT_EQ(chain(m), (std::vector<int32_t>{9}));
    EXPECT_EQ(SM_shared_info(m, SM_INFO_REGISTRATIONS_CACHED), 1);
    EXPECT_EQ(SM_registration_time_last_modified(m, 2), 0);
    // The id and strings of a cleared slot stay.
    EXPECT_EQ(m->registrations[1].registration_id, 2);
    EXPECT_STREQ(m->registrations[1].table_name, "parcels");
    EXPECT_EQ(SM_shared_registration_set(m, 1, &r), 0);
    EXPECT_EQ(chain(m), (std::vector<int32_t>{1, 9}));
}

TEST(SmRegistration, RecordsCarryTheSlotAndItsTime)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION got;
    memset(&got, 0x5A, sizeof got);
    EXPECT_EQ(SM_shared_registration_get(m, 3, &got), 0);
    REGISTRATION empty;
    memset(&empty, 0, sizeof empty);
    memcpy(empty.tag, REGISTRATION_TAG, sizeof REGISTRATION_TAG);
    EXPECT_EQ(memcmp(&got, &empty, sizeof got), 0) << "never set: the tag and nothing else";

    REGISTRATION r = record("Db1", "Sam", "Parcels", REG_ROWID_ENGINE | REG_LAYER);
    snprintf(r.rowid_column, sizeof r.rowid_column, "ObjectID");
    snprintf(r.description, sizeof r.description, "Land Parcels");
    snprintf(r.config_keyword, sizeof r.config_keyword, "DEFAULTS");
    snprintf(r.imv_view_name, sizeof r.imv_view_name, "Parcels_MV");
    r.registration_id = 99; // the slot's id stands
    r.permissions = 12345;  // not stored
    time_t before = time(nullptr);
    EXPECT_EQ(SM_shared_registration_set(m, 3, &r), 0);
    EXPECT_EQ(SM_shared_registration_get(m, 3, &got), 0);
    EXPECT_STREQ(got.tag, "ReG");
    EXPECT_EQ(got.registration_id, 3);
    // Identifiers fold to lower case; the owner and the texts keep theirs.
    EXPECT_STREQ(got.database_name, "db1");
    EXPECT_STREQ(got.owner, "Sam");
    EXPECT_STREQ(got.table_name, "parcels");
    EXPECT_STREQ(got.rowid_column, "objectid");
    EXPECT_STREQ(got.description, "Land Parcels");
    EXPECT_STREQ(got.config_keyword, "DEFAULTS");
    EXPECT_STREQ(got.imv_view_name, "parcels_mv");
    EXPECT_EQ(got.object_flags, uint32_t(REG_ROWID_ENGINE | REG_LAYER));
    EXPECT_EQ(got.registration_date, 1000u);
    EXPECT_EQ(got.minimum_id, 3u);
    EXPECT_GE(got.permissions, before) << "the modification time";
    EXPECT_EQ(got.permissions, SM_registration_time_last_modified(m, 3));

    // A date of 0 becomes the current time.
    r.registration_date = 0;
    EXPECT_EQ(SM_shared_registration_set(m, 4, &r), 0);
    EXPECT_EQ(SM_shared_registration_get(m, 4, &got), 0);
    EXPECT_GE(got.registration_date, uint32_t(before));
}

TEST(SmRegistration, CallerStringsAreCutToTheirFields)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION r;
    memset(&r, 'x', sizeof r); // no string ends within its field
    r.registration_date = 1;
    EXPECT_EQ(SM_shared_registration_set(m, 1, &r), 0);
    REGISTRATION got;
    EXPECT_EQ(SM_shared_registration_get(m, 1, &got), 0);
    EXPECT_EQ(strlen(got.database_name), sizeof got.database_name - 1);
    EXPECT_EQ(strlen(got.table_name), sizeof got.table_name - 1);
    EXPECT_EQ(strlen(got.imv_view_name), sizeof got.imv_view_name - 1);
    EXPECT_EQ(std::string(got.description), std::string(sizeof got.description - 1, 'x'));

    // A slot that another process left unterminated is read bounded too.
    memset(m->registrations[0].owner, 'y', sizeof m->registrations[0].owner);
    EXPECT_EQ(SM_shared_registration_get(m, 1, &got), 0);
    EXPECT_EQ(std::string(got.owner), std::string(sizeof got.owner - 1, 'y'));
}

TEST(SmRegistration, StringsAreKeptInTheNativeCodePage)
{
    VE_CODEPAGE cp;
    memset(&cp, 0, sizeof cp);
    cp.native.lead_byte_scheme = VE_CODEPAGE_SINGLE_BYTE;
    cp.convert = 1;
    cp.map_to_native[0] = 0xE9;
    cp.map_to_native[1] = 0x82;
    cp.map_to_other[0] = 0x82;
    cp.map_to_other[1] = 0xE9;
    cp.to_native = swap_bytes;
    cp.to_other = swap_bytes;
    std::string name = "smreg" + std::to_string(getpid());
    SM_MASTER *m = nullptr;
    ASSERT_EQ(SM_master_create(nullptr, name.c_str(), 0, 2, 4, 2, 2, 2, 4, 2, 2, &cp, &m), 0);
    REGISTRATION r = record("db", "Jos\xE9", "caf\xE9");
    snprintf(r.description, sizeof r.description, "d\xE9j\xE0");
    EXPECT_EQ(SM_shared_registration_set(m, 2, &r), 0);
    EXPECT_STREQ(m->registrations[1].owner, "Jos\x82");
    EXPECT_STREQ(m->registrations[1].table_name, "caf\x82");
    EXPECT_STREQ(m->registrations[1].description, "d\x82j\xE0");
    REGISTRATION got;
    EXPECT_EQ(SM_shared_registration_get(m, 2, &got), 0);
    EXPECT_STREQ(got.owner, "Jos\xE9");
    EXPECT_STREQ(got.description, "d\xE9j\xE0");
    EXPECT_EQ(SM_registration_find(m, "DB", "Jos\xE9", "CAF\xE9", &got), 0);
    EXPECT_STREQ(got.table_name, "caf\xE9");
    SM_master_destroy(m);
}

TEST(SmRegistration, TouchAndModificationTimes)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    EXPECT_EQ(SM_shared_registration_touch(m, 1), 0);
    EXPECT_EQ(SM_registration_time_last_modified(m, 1), 0) << "not cached: left alone";
    EXPECT_EQ(chain(m), std::vector<int32_t>{});

    REGISTRATION r = record("db", "sam", "roads");
    const int32_t before = int32_t(time(nullptr));
    EXPECT_EQ(SM_shared_registration_set(m, 1, &r), 0);
    int32_t last = SM_registration_time_last_modified(m, 1);
    EXPECT_GE(last, before);
    // Every write gives a new time, also within one second.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(SM_shared_registration_touch(m, 1), 0);
        int32_t now = SM_registration_time_last_modified(m, 1);
        EXPECT_GT(now, last);
        last = now;
    }
    EXPECT_EQ(SM_shared_registration_set(m, 1, &r), 0);
    EXPECT_GT(SM_registration_time_last_modified(m, 1), last);
}

TEST(SmRegistration, IdsOutsideTheCacheAreRefused)
{
    Instance instance(caches(4));
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION r = record("db", "sam", "t");
    int32_t first = 0, got = 0;
    auto op = [](void *, REGISTRATION *, int32_t *) { return int32_t(0); };
    for (int32_t id : {0, 5, -1}) {
        EXPECT_EQ(SM_shared_registration_get(m, id, &r), ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_shared_registration_set(m, id, &r), ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_shared_registration_clear(m, id), ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_shared_registration_touch(m, id), ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_registration_time_last_modified(m, id), ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_shared_registration_operate(m, id, op, nullptr), ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_registration_get_rowid_range(m, id, 1, nullptr, nullptr, &first, &got),
                  ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_registration_return_rowid_range(m, id, 1, 1), ZE_INVALID_REGISTRATION_ID);
        EXPECT_EQ(SM_return_registration_id(m, id), ZE_INVALID_REGISTRATION_ID);
    }
    EXPECT_EQ(chain(m), std::vector<int32_t>{});
    EXPECT_EQ(SM_shared_registration_get(nullptr, 1, &r), ZE_NULL_POINTER);
    EXPECT_EQ(SM_shared_registration_get(m, 1, nullptr), ZE_NULL_POINTER);
    EXPECT_EQ(SM_shared_registration_set(m, 1, nullptr), ZE_NULL_POINTER);
}

TEST(SmRegistration, RowIdRanges)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION engine = record("db", "sam", "Owned", REG_ROWID_COLUMN | REG_ROWID_ENGINE);
    REGISTRATION user = record("db", "sam", "users", REG_ROWID_COLUMN);
    ASSERT_EQ(SM_shared_registration_set(m, 1, &engine), 0);
    ASSERT_EQ(SM_shared_registration_set(m, 2, &user), 0);
    int32_t first = -1, got = -1;
    Seed seed{100, 0, {}};
    EXPECT_EQ(SM_registration_get_rowid_range(m, 2, 5, rowid_seed, &seed, &first, &got),
              ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(SM_registration_get_rowid_range(m, 3, 5, rowid_seed, &seed, &first, &got),
              ZE_INVALID_REGISTRATION_ID)
        << "not cached";
    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, 5, nullptr, nullptr, &first, &got),
              ZE_NULL_POINTER)
        << "unseeded without a seed";
    EXPECT_EQ(seed.calls, 0);

    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, 10, rowid_seed, &seed, &first, &got), 0);
    EXPECT_EQ(first, 100);
    EXPECT_EQ(got, 10);
    EXPECT_EQ(seed.calls, 1);
    EXPECT_STREQ(seed.seen.tag, "ReG");
    EXPECT_EQ(seed.seen.registration_id, 1);
    EXPECT_STREQ(seed.seen.table_name, "owned");
    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, 5, rowid_seed, &seed, &first, &got), 0);
    EXPECT_EQ(first, 110);
    EXPECT_EQ(seed.calls, 1);

    EXPECT_EQ(SM_registration_return_rowid_range(m, 1, 100, 10), 0);
    EXPECT_EQ(m->registrations[0].next_row_id, 115) << "not the last range: nothing changes";
    EXPECT_EQ(SM_registration_return_rowid_range(m, 1, 110, 5), 0);
    EXPECT_EQ(m->registrations[0].next_row_id, 110);
    EXPECT_EQ(SM_registration_return_rowid_range(m, 2, 1, 1), ZE_WRONG_COLUMN_TYPE);
    EXPECT_EQ(SM_registration_return_rowid_range(m, 1, 1, -1), ZE_INVALID_ARGUMENT);

    // A failing seed is returned and leaves the registration unseeded; a seed
    // of 0 starts at 1; a range never passes 2^31-1.
    ASSERT_EQ(SM_shared_registration_set(m, 1, &engine), 0);
    Seed failing{-51, 0, {}};
    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, 1, rowid_seed, &failing, &first, &got), -51);
    EXPECT_EQ(m->registrations[0].next_row_id, 0);
    Seed zero{0, 0, {}};
    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, 3, rowid_seed, &zero, &first, &got), 0);
    EXPECT_EQ(first, 1);
    m->registrations[0].next_row_id = INT32_MAX - 2;
    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, 3, rowid_seed, &zero, &first, &got),
              ZE_FAILURE);
    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, 2, rowid_seed, &zero, &first, &got), 0);
    EXPECT_EQ(first, INT32_MAX - 2);
    EXPECT_EQ(SM_registration_get_rowid_range(m, 1, -1, rowid_seed, &zero, &first, &got),
              ZE_INVALID_ARGUMENT);
}

namespace
{

struct Operation {
    int32_t result = 0;
    int32_t next_row_id = -1;
    const char *description = nullptr;
    int calls = 0;
};

int32_t operate(void *context, REGISTRATION *registration, int32_t *next_row_id)
{
    Operation *op = static_cast<Operation *>(context);
    op->calls += 1;
    if (op->description)
        snprintf(registration->description, sizeof registration->description, "%s",
                 op->description);
    if (op->next_row_id >= 0)
        *next_row_id = op->next_row_id;
    return op->result;
}

} // namespace

TEST(SmRegistration, OperateReadsAndChangesARegistration)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    Operation op;
    EXPECT_EQ(SM_shared_registration_operate(m, 1, operate, &op), ZE_INVALID_REGISTRATION_ID);
    EXPECT_EQ(op.calls, 0) << "not cached";
    REGISTRATION r = record("db", "sam", "roads", REG_ROWID_ENGINE);
    ASSERT_EQ(SM_shared_registration_set(m, 1, &r), 0);
    m->registrations[0].modification_time = 1000; // an old time, to see a write

    // Unchanged: nothing written but the next row id.
    op.next_row_id = 40;
    EXPECT_EQ(SM_shared_registration_operate(m, 1, operate, &op), 0);
    EXPECT_EQ(m->registrations[0].modification_time, 1000);
    EXPECT_EQ(m->registrations[0].next_row_id, 40);

    // Changed: stored as set stores it, the next row id as the callback left it.
    op.description = "Roads";
    op.next_row_id = 50;
    EXPECT_EQ(SM_shared_registration_operate(m, 1, operate, &op), 0);
    EXPECT_STREQ(m->registrations[0].description, "Roads");
    EXPECT_GT(m->registrations[0].modification_time, 1000);
    EXPECT_EQ(m->registrations[0].next_row_id, 50);
    EXPECT_EQ(chain(m), std::vector<int32_t>{1});

    // A nonzero answer writes nothing.
    op.description = "Other";
    op.next_row_id = 70;
    op.result = -51;
    EXPECT_EQ(SM_shared_registration_operate(m, 1, operate, &op), -51);
    EXPECT_STREQ(m->registrations[0].description, "Roads");
    EXPECT_EQ(m->registrations[0].next_row_id, 50);
    EXPECT_EQ(SM_shared_registration_operate(m, 1, nullptr, nullptr), ZE_NULL_POINTER);
}

TEST(SmRegistration, ListsInAscendingIdOrder)
{
    Instance instance(caches(40));
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION *list = nullptr;
    int32_t count = -1;
    EXPECT_EQ(SM_registration_get_list(m, nullptr, &list, &count), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);

    struct Set {
        int32_t id;
        uint32_t flags;
    } sets[] = {{33, REG_LAYER | REG_MULTIVERSION}, {4, REG_LAYER}, {17, 0}, {8, REG_MULTIVERSION}};
    for (const Set &s : sets) {
        char table[16];
        snprintf(table, sizeof table, "t%d", s.id);
        REGISTRATION r = record("db", "sam", table, s.flags);
        ASSERT_EQ(SM_shared_registration_set(m, s.id, &r), 0);
    }
    EXPECT_EQ(SM_registration_get_list(m, nullptr, &list, &count), 0);
    EXPECT_EQ(ids_of(list, count), (std::vector<int32_t>{4, 8, 17, 33}));
    EXPECT_STREQ(list[3].table_name, "t33");
    EXPECT_STREQ(list[0].tag, "ReG");
    free_list(list, count);

    VE_BITMAP *bits = VES_Bitmap_Create(20, 0);
    VES_Bitmap_Set(bits, 7, 1);  // id 8
    VES_Bitmap_Set(bits, 16, 1); // id 17
    VES_Bitmap_Set(bits, 5, 1);  // id 6, not cached
    EXPECT_EQ(SM_registration_get_list(m, bits, &list, &count), 0);
    EXPECT_EQ(ids_of(list, count), (std::vector<int32_t>{8, 17})) << "id 33 is past the bitmap";
    free_list(list, count);
    VES_Bitmap_Destroy(bits);

    struct Masked {
        uint32_t mask;
        int32_t all;
        std::vector<int32_t> ids;
    } masked[] = {
        {REG_LAYER, 1, {4, 33}},
        {REG_LAYER | REG_MULTIVERSION, 1, {33}},
        {REG_LAYER | REG_MULTIVERSION, 0, {17}},
        {REG_RASTER_COLUMN, 1, {}},
        {0, 1, {4, 8, 17, 33}},
    };
    for (const Masked &c : masked) {
        EXPECT_EQ(SM_registration_get_masked_list(m, c.mask, c.all, &list, &count), 0);
        EXPECT_EQ(ids_of(list, count), c.ids) << c.mask << " " << c.all;
        free_list(list, count);
    }
    EXPECT_EQ(SM_registration_get_list(m, nullptr, nullptr, &count), ZE_NULL_POINTER);
}

TEST(SmRegistration, FindByNames)
{
    Instance instance(caches(8));
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION a = record("db", "sam", "parcels");
    REGISTRATION b = record("db", "ann", "parcels");
    REGISTRATION c = record("other", "sam", "parcels");
    ASSERT_EQ(SM_shared_registration_set(m, 6, &a), 0);
    ASSERT_EQ(SM_shared_registration_set(m, 3, &b), 0);
    ASSERT_EQ(SM_shared_registration_set(m, 1, &c), 0);
    std::string long_name(200, 'p');
    struct Case {
        const char *database;
        const char *owner;
        const char *table;
        int32_t result;
        int32_t id;
    } cases[] = {
        {"db", "", "parcels", 0, 3}, // any owner: the lowest id
        {"db", nullptr, "parcels", 0, 3},
        {"db", "sam", "parcels", 0, 6},
        {"DB", "sam", "PARCELS", 0, 6}, // identifiers fold
        {"db", "SAM", "parcels", ZE_TABLE_NOT_REGISTERED, 0},
        {"other", "", "parcels", 0, 1},
        {"db", "", "roads", ZE_TABLE_NOT_REGISTERED, 0},
        {"db", "", long_name.c_str(), ZE_TABLE_NOT_REGISTERED, 0},
    };
    for (const Case &k : cases) {
        REGISTRATION got;
        memset(&got, 0, sizeof got);
        EXPECT_EQ(SM_registration_find(m, k.database, k.owner, k.table, &got), k.result)
            << k.database << " " << (k.owner ? k.owner : "(null)") << " " << k.table;
        EXPECT_EQ(got.registration_id, k.id);
    }
    // Cleared slots are not found.
    EXPECT_EQ(SM_shared_registration_clear(m, 3), 0);
    REGISTRATION got;
    EXPECT_EQ(SM_registration_find(m, "db", "", "parcels", &got), 0);
    EXPECT_EQ(got.registration_id, 6);
    EXPECT_EQ(SM_registration_find(m, nullptr, "", "parcels", &got), ZE_NULL_POINTER);
}

// Names match whole: a name that is a prefix of a registered one, or has one
// as its prefix, finds nothing.
TEST(SmRegistration, FindMatchesWholeNamesOnly)
{
    Instance instance(caches(4));
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION r = record("db", "gis", "roads");
    ASSERT_EQ(SM_shared_registration_set(m, 2, &r), 0);
    struct Case {
        const char *database;
        const char *owner;
        const char *table;
    } misses[] = {
        {"db", "gis", "road"},   {"db", "gis", "roadsx"}, {"db", "gi", "roads"},
        {"db", "gisx", "roads"}, {"d", "gis", "roads"},   {"dbx", "gis", "roads"},
        {"db", "", "road"},      {"db", "", "roadsx"},    {"db", "gis", ""},
    };
    for (const Case &k : misses) {
        REGISTRATION got;
        memset(&got, 0, sizeof got);
        EXPECT_EQ(SM_registration_find(m, k.database, k.owner, k.table, &got),
                  ZE_TABLE_NOT_REGISTERED)
            << k.database << " " << k.owner << "." << k.table;
        EXPECT_EQ(got.registration_id, 0);
    }
    REGISTRATION got;
    EXPECT_EQ(SM_registration_find(m, "db", "gis", "roads", &got), 0);
    EXPECT_EQ(got.registration_id, 2);
}

TEST(SmRegistration, ReturnedIdsAreHandedOutAgainOnceCleared)
{
    Instance instance(caches(3));
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), 1);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), 2);
    REGISTRATION r = record("db", "sam", "t");
    ASSERT_EQ(SM_shared_registration_set(m, 1, &r), 0);
    ASSERT_EQ(SM_shared_registration_set(m, 3, &r), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), ZE_REGISTRATION_LIMIT);
    EXPECT_EQ(SM_return_registration_id(m, 1), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), ZE_REGISTRATION_LIMIT)
        << "still cached";
    EXPECT_EQ(SM_shared_registration_clear(m, 1), 0);
    EXPECT_EQ(SM_shared_info(m, SM_INFO_NEW_REGISTRATION_ID), 1);
}

TEST(SmRegistration, ABadChainIsRebuiltByTheNextWriter)
{
    Instance instance(caches(6));
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION r = record("db", "sam", "t");
    for (int32_t id : {2, 4, 6})
        ASSERT_EQ(SM_shared_registration_set(m, id, &r), 0);
    // A loop: readers stop at it instead of walking for ever.
    m->registrations[3].next_cached = 1;
    REGISTRATION *list = nullptr;
    int32_t count = 0;
    EXPECT_EQ(SM_registration_get_list(m, nullptr, &list, &count), 0);
    EXPECT_EQ(ids_of(list, count), (std::vector<int32_t>{2, 4}));
    free_list(list, count);
    EXPECT_EQ(SM_shared_registration_set(m, 5, &r), 0);
    EXPECT_EQ(chain(m), (std::vector<int32_t>{2, 4, 5, 6}));
    EXPECT_EQ(SM_shared_info(m, SM_INFO_REGISTRATIONS_CACHED), 4);

    // A writer killed holding mutex 4 after it broke the chain.
    Agent victim(instance);
    ASSERT_EQ(victim.opened, 0);
    ASSERT_EQ(victim.call(MUTEX_LOCK, 4), 0);
    sm_header(m)[SM_HW_REGISTRATION_HEAD] = 5;
    sm_header(m)[SM_HW_REGISTRATION_COUNT] = 9;
    EXPECT_EQ(victim.kill(), 128 + SIGKILL);
    EXPECT_EQ(SM_shared_registration_clear(m, 4), 0);
    EXPECT_EQ(chain(m), (std::vector<int32_t>{2, 5, 6}));
    EXPECT_EQ(SM_shared_info(m, SM_INFO_REGISTRATIONS_CACHED), 3);
}

namespace
{

// A child that attaches and, once told, either draws count row ids times
// times from registration 1 (sending the firsts back) or operates on it that
// many times, each callback reading the next row id, waiting and leaving it.
enum Work : char { DRAW = 'd', OPERATE = 'o' };

int32_t slow_operate(void *, REGISTRATION *, int32_t *next_row_id)
{
    int32_t seen = *next_row_id;
    plat_sleep_ms(1);
    *next_row_id = seen;
    return 0;
}

int32_t seed_one(void *, const REGISTRATION *)
{
    return 1;
}

forked::Child start_worker(const Instance &instance, int times)
{
    std::string name = instance.name;
    return forked::start([=](const forked::Link &link) {
        SM_MASTER *m = nullptr;
        if (SM_server_open(nullptr, name.c_str(), 0, 0, nullptr, &m) != 0)
            return 1;
        char work = link.receive();
        std::vector<int32_t> firsts;
        for (int i = 0; i < times; ++i) {
            if (work == DRAW) {
                int32_t first = 0, got = 0;
                if (SM_registration_get_rowid_range(m, 1, 2, seed_one, nullptr, &first, &got) != 0)
                    return 3;
                firsts.push_back(first);
                plat_sleep_ms(1); // spread the draws over the operations
            } else if (SM_shared_registration_operate(m, 1, slow_operate, nullptr) != 0) {
                return 4;
            }
        }
        link.send_bytes(firsts.data(), firsts.size() * sizeof(int32_t));
        link.send('e');
        SM_server_close(m);
        return 0;
    });
}

} // namespace

TEST(SmRegistration, ProcessesNeverGetTheSameRowIds)
{
    Instance instance;
    ASSERT_EQ(instance.created, 0);
    SM_MASTER *m = instance.master;
    REGISTRATION r = record("db", "sam", "t", REG_ROWID_ENGINE);
    ASSERT_EQ(SM_shared_registration_set(m, 1, &r), 0);
    constexpr int kDraws = 300;
    std::vector<forked::Child> drawers;
    for (int i = 0; i < 3; ++i) {
        drawers.push_back(start_worker(instance, kDraws));
        ASSERT_GT(drawers.back().pid, 0);
    }
    // Another process operates on the registration meanwhile, reading and
    // writing back the next row id.
    forked::Child operator_child = start_worker(instance, 100);
    ASSERT_GT(operator_child.pid, 0);
    operator_child.link.send(OPERATE);
    for (forked::Child &child : drawers)
        child.link.send(DRAW);
    std::vector<int32_t> ids;
    for (forked::Child &child : drawers) {
        std::vector<int32_t> firsts(kDraws);
        ASSERT_TRUE(child.link.receive_bytes(firsts.data(), firsts.size() * sizeof(int32_t)));
        EXPECT_EQ(child.link.receive(), 'e');
        for (int32_t first : firsts) {
            ids.push_back(first);
            ids.push_back(first + 1);
        }
        EXPECT_EQ(forked::finish(child), 0);
    }
    EXPECT_EQ(operator_child.link.receive(), 'e');
    EXPECT_EQ(forked::finish(operator_child), 0);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "a row id twice";
    EXPECT_EQ(ids.front(), 1);
    EXPECT_EQ(ids.back(), static_cast<int32_t>(ids.size()));
    EXPECT_EQ(m->registrations[0].next_row_id, static_cast<int32_t>(ids.size()) + 1);
}

TEST(SmRegistration, PrivateBlockCachesWithoutNamedObjects)
{
    SM_MASTER *m = nullptr;
    ASSERT_EQ(SM_local_server_open(0, 2, 4, 2, 2, 2, 3, 2, 2, nullptr, &m), 0);
    REGISTRATION r = record("db", "sam", "t", REG_ROWID_ENGINE);
    EXPECT_EQ(SM_shared_registration_set(m, 3, &r), 0);
    REGISTRATION got;
    EXPECT_EQ(SM_registration_find(m, "db", "sam", "t", &got), 0);
    EXPECT_EQ(got.registration_id, 3);
    int32_t first = 0, count = 0;
    EXPECT_EQ(SM_registration_get_rowid_range(m, 3, 4, seed_one, nullptr, &first, &count), 0);
    EXPECT_EQ(first, 1);
    SM_server_close(m);
}
