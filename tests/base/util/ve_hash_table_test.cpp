// The paged, file-backed hash table: page and cache layout, equal keys, walks
// of duplicates, a full table, eviction from a small cache, persistent tables
// reopened and checked against their stored header.
#include "base/util/ve_hash_table_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

// A scratch directory of the test's own, removed with its files.
class HashTableTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ht_testXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        ht_set_cache(0, 0);
        std::string command = "rm -rf " + dir_;
        ASSERT_EQ(system(command.c_str()), 0);
    }
    std::string path(const char *name) const
    {
        return dir_ + "/" + name;
    }
    std::string dir_;
};

// Records of 8 bytes: a 4-byte big-endian key (so a key's hash slot is its
// value modulo the slot count) and a 4-byte payload.
struct Record {
    unsigned char bytes[8];
};

Record make_record(uint32_t key, uint32_t payload)
{
    Record r;
    for (int i = 0; i < 4; i++) {
        r.bytes[i] = static_cast<unsigned char>(key >> (24 - 8 * i));
        r.bytes[4 + i] = static_cast<unsigned char>(payload >> (24 - 8 * i));
    }
    return r;
}

uint32_t payload_of(const Record &r)
{
    return static_cast<uint32_t>(r.bytes[4]) << 24 | r.bytes[5] << 16 | r.bytes[6] << 8 |
           r.bytes[7];
}

int32_t insert(HT_TABLE *t, uint32_t key, uint32_t payload, int32_t mode = HT_MODE_INSERT)
{
    Record r = make_record(key, payload);
    return ht_search(t, r.bytes, mode);
}

TEST(PrimeAtLeast, FollowsThePrimeTable)
{
    struct {
        int64_t n, expected;
    } cases[] = {
        {0, 101},
        {101, 101},
        {102, 1103},
        {180, 1103},
        {1103, 1103},
        {1104, 2111},
        {100100, 100103},
        {100104, 155119},
        {3210101, 3210101},
        {3210102, 2111LL * 2111},
        {2147483647, 47111LL * 47111},
    };
    for (const auto &c : cases)
        EXPECT_EQ(prime_at_least(c.n), c.expected) << c.n;
}

TEST(PrimeAtLeast, HoldsOneHundredSeventeenRisingPrimes)
{
    std::vector<int64_t> primes;
    for (int64_t n = 0; n <= 3210101;) {
        int64_t p = prime_at_least(n);
        primes.push_back(p);
        n = p + 1;
    }
    ASSERT_EQ(primes.size(), 117u);
    for (int64_t p : primes)
        for (int64_t d = 2; d * d <= p; d++)
            ASSERT_NE(p % d, 0) << p;
}

TEST_F(HashTableTest, LaysOutPagesAndCacheBySize)
{
    HT_TABLE *t = ht_open(path("layout").c_str(), 1, 4, 6, 180);
    ASSERT_NE(t, nullptr);
    HT_LAYOUT layout;
    ASSERT_EQ(ht_get_layout(t, &layout), 0);
    EXPECT_EQ(layout.slot_count, 1103);
    EXPECT_EQ(layout.records_per_page, 170);
    EXPECT_EQ(layout.page_count, 7);
    EXPECT_EQ(layout.cache_pages, 7);
    EXPECT_EQ(ht_close(t), 0);
    EXPECT_NE(access(path("layout").c_str(), F_OK), 0) << "a temporary table leaves no file";
}

TEST_F(HashTableTest, RefusesBadSizes)
{
    EXPECT_EQ(ht_open(path("x").c_str(), 0, 0, 6, 10), nullptr);
    EXPECT_EQ(ht_open(path("x").c_str(), 0, 7, 6, 10), nullptr);
    EXPECT_EQ(ht_open(nullptr, 0, 4, 6, 10), nullptr);
    // 4 x 400 bytes x 1500007 slots passes the 2 GB size check.
    EXPECT_EQ(ht_open(path("x").c_str(), 0, 4, 400, 1500000), nullptr);
    std::string long_name = dir_ + "/" + std::string(130, 'n');
    EXPECT_EQ(ht_open(long_name.c_str(), HT_FLAG_PERSISTENT, 4, 6, 10), nullptr);
    EXPECT_EQ(ht_close(nullptr), 0);
}

TEST_F(HashTableTest, ATableFileIsNeverOpenedThroughALinkNorLeftToAChild)
{
    // A link planted at the table's name would have its target emptied.
    const std::string target = path("target");
    {
        FILE *f = fopen(target.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("keep", f);
        fclose(f);
    }
    ASSERT_EQ(symlink(target.c_str(), path("link").c_str()), 0);
    for (int32_t flags : {0, HT_FLAG_PERSISTENT, HT_FLAG_PERSISTENT | HT_FLAG_REOPEN})
        EXPECT_EQ(ht_open(path("link").c_str(), flags, 4, 6, 10), nullptr) << flags;
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 4);

    // The descriptors the tables add are close-on-exec.
    auto open_fds = [] {
        std::vector<int> fds;
        for (int fd = 0; fd < 1024; ++fd)
            if (fcntl(fd, F_GETFD) >= 0)
                fds.push_back(fd);
        return fds;
    };
    const std::vector<int> before = open_fds();
    HT_TABLE *t = ht_open(path("own").c_str(), 0, 4, 6, 10);
    ASSERT_NE(t, nullptr);
    HT_TABLE *temp = ht_open_temp(dir_.c_str(), "tmp", 0, 4, 6, 10);
    ASSERT_NE(temp, nullptr);
    int added = 0;
    for (int fd : open_fds()) {
        if (std::find(before.begin(), before.end(), fd) != before.end())
            continue;
        ++added;
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "descriptor " << fd;
    }
    EXPECT_EQ(added, 2);
    EXPECT_EQ(ht_close(temp), 0);
    EXPECT_EQ(ht_close(t), 0);
}

TEST_F(HashTableTest, EqualKeysFollowTheFlags)
{
    struct {
        int32_t flags;
        int32_t second_result_positive;
        uint32_t kept_payload;
    } cases[] = {
        {0, 0, 1},
        {HT_FLAG_OVERWRITE, 1, 2},
        {HT_FLAG_OVERWRITE | HT_FLAG_DUPLICATES, 1, 2},
        {HT_FLAG_DUPLICATES, 1, 1},
    };
    for (const auto &c : cases) {
        HT_TABLE *t = ht_open(path("flags").c_str(), c.flags, 4, 8, 100);
        ASSERT_NE(t, nullptr);
        int32_t first = insert(t, 77, 1);
        EXPECT_EQ(first, 77 + 1) << c.flags;
        int32_t second = insert(t, 77, 2);
        EXPECT_EQ(second > 0, c.second_result_positive != 0) << c.flags;
        if (c.second_result_positive == 0) {
            EXPECT_EQ(second, 0);
        }
        Record found = make_record(77, 0);
        EXPECT_EQ(ht_search(t, found.bytes, HT_MODE_FIND), first) << c.flags;
        EXPECT_EQ(payload_of(found), c.kept_payload) << c.flags;
        ht_close(t);
    }
}

TEST_F(HashTableTest, ExistsFindBySlotAndFindOrInsert)
{
    HT_TABLE *t = ht_open(path("modes").c_str(), 1, 4, 8, 100);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(insert(t, 5, 50), 6);
    ASSERT_EQ(insert(t, 5 + 101, 51), 7) << "a collision takes the next slot";

    Record r = make_record(5 + 101, 0);
    EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_EXISTS), 7);
    EXPECT_EQ(payload_of(r), 0u) << "exists copies nothing";
    r = make_record(9, 0);
    EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_EXISTS), 0);

    struct {
        int32_t slot, result;
        uint32_t payload;
    } by_slot[] = {{5, 6, 50}, {6, 7, 51}, {7, 0, 0}, {101, -1, 0}, {-1, -1, 0}};
    for (const auto &c : by_slot) {
        Record s = make_record(0, 0);
        memcpy(s.bytes, &c.slot, sizeof c.slot);
        EXPECT_EQ(ht_search(t, s.bytes, HT_MODE_BY_SLOT), c.result) << c.slot;
        if (c.result > 0) {
            EXPECT_EQ(payload_of(s), c.payload);
        }
    }

    Record f = make_record(5, 99);
    EXPECT_EQ(ht_search(t, f.bytes, HT_MODE_FIND_OR_INSERT), 0);
    EXPECT_EQ(payload_of(f), 50u) << "the stored record comes back";
    f = make_record(8, 80);
    EXPECT_EQ(ht_search(t, f.bytes, HT_MODE_FIND_OR_INSERT), 9);
    ht_close(t);
}

TEST_F(HashTableTest, FullTableRefusesAndChangesNothing)
{
    HT_TABLE *t = ht_open(path("full").c_str(), 1, 4, 8, 101);
    ASSERT_NE(t, nullptr);
    for (uint32_t k = 0; k < 101; k++)
        ASSERT_EQ(insert(t, k, k), static_cast<int32_t>(k + 1));
    EXPECT_EQ(insert(t, 500, 1), -1);
    Record r = make_record(500, 0);
    EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_FIND), -1);
    r = make_record(100, 0);
    EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_FIND), 101);
    EXPECT_EQ(payload_of(r), 100u);
    ht_close(t);
}

// Walks the duplicates of a key: mode 2, then mode 4 until -2. Mode 4 hands
// over the last duplicate with a result of 0 and -2 after it.
std::vector<uint32_t> walk(HT_TABLE *t, uint32_t key)
{
    std::vector<uint32_t> payloads;
    Record r = make_record(key, 0);
    if (ht_search(t, r.bytes, HT_MODE_FIND) <= 0)
        return payloads;
    payloads.push_back(payload_of(r));
    bool last_seen = false;
    for (int guard = 0; guard < 1000; guard++) {
        int32_t result = ht_search(t, r.bytes, HT_MODE_NEXT_DUPLICATE);
        if (result == -2) {
            EXPECT_TRUE(last_seen || payloads.size() == 1) << "the last duplicate answered 0";
            return payloads;
        }
        EXPECT_FALSE(last_seen) << "-2 follows the last duplicate";
        EXPECT_GE(result, 0);
        last_seen = result == 0;
        payloads.push_back(payload_of(r));
    }
    ADD_FAILURE() << "the walk did not end";
    return payloads;
}

TEST_F(HashTableTest, DuplicatesComeBackInInsertionOrder)
{
    HT_TABLE *t = ht_open(path("dups").c_str(), HT_FLAG_DUPLICATES, 4, 8, 100);
    ASSERT_NE(t, nullptr);
    ASSERT_GT(insert(t, 3, 1), 0);
    ASSERT_GT(insert(t, 4, 100), 0);
    ASSERT_GT(insert(t, 3, 2), 0);
    ASSERT_GT(insert(t, 3 + 101, 200), 0);
    ASSERT_GT(insert(t, 3, 3), 0);
    EXPECT_EQ(walk(t, 3), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(walk(t, 4), (std::vector<uint32_t>{100}));
    EXPECT_EQ(walk(t, 3 + 101), (std::vector<uint32_t>{200}));
    Record r = make_record(9, 0);
    EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_FIND), 0);
    EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_NEXT_DUPLICATE), -2) << "no walk after a miss";
    ht_close(t);
}

TEST_F(HashTableTest, DuplicatesFarApartAreFoundByKey)
{
    HT_TABLE *t = ht_open(path("far").c_str(), HT_FLAG_DUPLICATES, 4, 8, 1103);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(insert(t, 10, 1), 11);
    for (uint32_t k = 11; k < 11 + 300; k++)
        ASSERT_EQ(insert(t, k, 0), static_cast<int32_t>(k + 1));
    ASSERT_EQ(insert(t, 10, 2), 312) << "the second copy lies 301 slots on";
    ASSERT_EQ(insert(t, 10, 3), 313);
    EXPECT_EQ(walk(t, 10), (std::vector<uint32_t>{1, 2, 3}));
    ht_close(t);
}

TEST_F(HashTableTest, SmallCacheKeepsEveryRecord)
{
    ht_set_cache(2, 64);
    HT_TABLE *t = ht_open(path("small").c_str(), HT_FLAG_DUPLICATES, 4, 8, 1103);
    ASSERT_NE(t, nullptr);
    HT_LAYOUT layout;
    ht_get_layout(t, &layout);
    EXPECT_EQ(layout.records_per_page, 8);
    EXPECT_EQ(layout.cache_pages, 2);
    for (uint32_t k = 0; k < 600; k++)
        ASSERT_GT(insert(t, k * 7919u, k), 0) << k;
    for (uint32_t k = 0; k < 600; k += 3)
        ASSERT_GT(insert(t, k * 7919u, k + 10000), 0) << k;
    for (uint32_t k = 0; k < 600; k++) {
        std::vector<uint32_t> expected{k};
        if (k % 3 == 0)
            expected.push_back(k + 10000);
        ASSERT_EQ(walk(t, k * 7919u), expected) << k;
    }
    ht_close(t);
}

// A page that was only read is pushed out of a one-page cache and read
// again: it comes back from the file as it was, in a table just built and in
// one reopened from its file.
TEST_F(HashTableTest, PageOnlyReadComesBackAfterBeingPushedOut)
{
    ht_set_cache(1, 64); // 8 records a page, one page cached
    const std::string file = path("one_page");
    for (bool reopened : {false, true}) {
        SCOPED_TRACE(reopened ? "reopened" : "built");
        HT_TABLE *t = reopened
                          ? ht_open(file.c_str(), HT_FLAG_REOPEN | HT_FLAG_PERSISTENT, 4, 8, 101)
                          : ht_open(file.c_str(), HT_FLAG_PERSISTENT, 4, 8, 101);
        ASSERT_NE(t, nullptr);
        HT_LAYOUT layout;
        ht_get_layout(t, &layout);
        ASSERT_EQ(layout.cache_pages, 1);
        ASSERT_EQ(layout.records_per_page, 8);
        if (!reopened) {
            ASSERT_EQ(insert(t, 3, 33), 4);    // page 0
            ASSERT_EQ(insert(t, 20, 220), 21); // page 2
            ASSERT_EQ(insert(t, 90, 990), 91); // page 11
        }
        for (uint32_t key : {3u, 20u, 3u, 90u, 20u, 3u}) {
            Record r = make_record(key, 0);
            ASSERT_EQ(ht_search(t, r.bytes, HT_MODE_FIND), static_cast<int32_t>(key + 1)) << key;
            EXPECT_EQ(payload_of(r), key * 11) << key;
        }
        Record missing = make_record(4, 0);
        EXPECT_EQ(ht_search(t, missing.bytes, HT_MODE_EXISTS), 0);
        ASSERT_EQ(ht_close(t), 0);
    }
}

TEST_F(HashTableTest, PageSizeGrowsToTheRecordSize)
{
    ht_set_cache(31, 16);
    HT_TABLE *t = ht_open(path("wide").c_str(), 1, 4, 40, 101);
    ASSERT_NE(t, nullptr);
    HT_LAYOUT layout;
    ht_get_layout(t, &layout);
    EXPECT_EQ(layout.records_per_page, 1);
    EXPECT_EQ(layout.page_count, 101);
    EXPECT_EQ(ht_set_cache(0, 0), 31 * 40) << "the process-wide page size was raised";
    ht_close(t);
}

TEST_F(HashTableTest, HashIsExactAboveSixteenMillionSlots)
{
    HT_TABLE *t = ht_open(path("big").c_str(), 1, 4, 8, 20000000);
    ASSERT_NE(t, nullptr);
    HT_LAYOUT layout;
    ht_get_layout(t, &layout);
    ASSERT_EQ(layout.slot_count, 5101 * 5101);
    for (uint32_t key : {0xFFFFFFFFu, 0x80000000u, 0x01020304u}) {
        int32_t slot = static_cast<int32_t>(key % static_cast<uint32_t>(layout.slot_count));
        EXPECT_EQ(insert(t, key, key), slot + 1) << key;
        Record r = make_record(key, 0);
        EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_FIND), slot + 1);
        EXPECT_EQ(payload_of(r), key);
    }
    ht_close(t);
}

uint32_t le32(const unsigned char *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::vector<unsigned char> read_file(const std::string &name)
{
    std::vector<unsigned char> bytes;
    FILE *f = fopen(name.c_str(), "rb");
    if (f == nullptr)
        return bytes;
    int c;
    while ((c = fgetc(f)) != EOF)
        bytes.push_back(static_cast<unsigned char>(c));
    fclose(f);
    return bytes;
}

TEST_F(HashTableTest, PersistentTableReopensWithItsRecords)
{
    std::string name = path("kept");
    HT_TABLE *t = ht_open(name.c_str(), HT_FLAG_PERSISTENT | HT_FLAG_DUPLICATES, 4, 8, 101);
    ASSERT_NE(t, nullptr);
    for (uint32_t k = 0; k < 40; k++)
        ASSERT_GT(insert(t, k * 13, k), 0);
    ASSERT_GT(insert(t, 13, 1000), 0);
    ASSERT_EQ(ht_close(t), 0);

    std::vector<unsigned char> file = read_file(name);
    // 101 slots of 8-byte records: 128 per page, one page of 128 x 9 bytes.
    ASSERT_EQ(file.size(), 184u + 128 * 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(file.data())), name);
    const uint32_t expected[] = {
        HT_FLAG_PERSISTENT | HT_FLAG_DUPLICATES, 0, 1, 0, 4, 8, 128, 1, 101};
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; i++)
        EXPECT_EQ(le32(&file[128 + 4 * i]), expected[i]) << "header word " << i;
    // Key 13 sits in slot 13, its copy in the free slot 14.
    EXPECT_EQ(file[184 + 128 * 8 + 13], 2) << "flag of the first of two equal keys";
    EXPECT_EQ(file[184 + 128 * 8 + 14], 1);
    EXPECT_EQ(file[184 + 128 * 8 + 1], 0) << "an empty slot";
    EXPECT_EQ(memcmp(&file[184 + 14 * 8], make_record(13, 1000).bytes, 8), 0);

    // Records longer than the caller's buffer are refused.
    EXPECT_EQ(ht_open(name.c_str(), HT_FLAG_REOPEN | HT_FLAG_PERSISTENT, 4, 7, 101), nullptr);
    EXPECT_EQ(ht_open(name.c_str(), HT_FLAG_REOPEN | HT_FLAG_PERSISTENT, 3, 8, 101), nullptr);
    // Reopened with other sizes that hold its records: the stored ones are taken.
    t = ht_open(name.c_str(), HT_FLAG_REOPEN | HT_FLAG_PERSISTENT | HT_FLAG_DUPLICATES, 4, 16,
                5000);
    ASSERT_NE(t, nullptr);
    HT_LAYOUT layout;
    ht_get_layout(t, &layout);
    EXPECT_EQ(layout.slot_count, 101);
    EXPECT_EQ(layout.record_size, 8);
    for (uint32_t k = 0; k < 40; k++) {
        std::vector<uint32_t> expected_walk{k};
        if (k == 1)
            expected_walk.push_back(1000);
        ASSERT_EQ(walk(t, k * 13), expected_walk) << k;
    }
    ASSERT_GT(insert(t, 999, 7), 0);
    ASSERT_EQ(ht_close(t), 0);
    t = ht_open(name.c_str(), HT_FLAG_REOPEN, 4, 8, 101);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(walk(t, 999), (std::vector<uint32_t>{7}));
    ht_close(t);
    EXPECT_NE(access(name.c_str(), F_OK), 0) << "closed without the persistent flag";
}

// Writes a table file whose header is patched at a 32-bit word.
void write_patched(const std::string &name, const std::vector<unsigned char> &file, size_t word,
                   uint32_t value)
{
    std::vector<unsigned char> bytes = file;
    for (int i = 0; i < 4; i++)
        bytes[128 + 4 * word + i] = static_cast<unsigned char>(value >> (8 * i));
    FILE *f = fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

TEST_F(HashTableTest, ReopenChecksTheStoredHeader)
{
    std::string name = path("checked");
    HT_TABLE *t = ht_open(name.c_str(), HT_FLAG_PERSISTENT, 4, 8, 101);
    ASSERT_NE(t, nullptr);
    ASSERT_GT(insert(t, 1, 1), 0);
    ASSERT_EQ(ht_close(t), 0);
    std::vector<unsigned char> good = read_file(name);

    struct {
        size_t word;
        uint32_t value;
    } corrupt[] = {
        {2, 0}, {2, 50}, {4, 0},          {4, 9},   {5, 0x7FFFFFFF}, {6, 0}, {6, 4096},
        {7, 5}, {8, 0},  {8, 0x7FFFFFFF}, {1, 101}, {1, 0xFFFFFFFF}, {3, 5},
    };
    for (const auto &c : corrupt) {
        write_patched(name, good, c.word, c.value);
        EXPECT_EQ(ht_open(name.c_str(), HT_FLAG_REOPEN | HT_FLAG_PERSISTENT, 4, 8, 101), nullptr)
            << "word " << c.word << " = " << c.value;
    }

    // A file cut short of its pages.
    std::vector<unsigned char> cut(good.begin(), good.end() - 1);
    FILE *f = fopen(name.c_str(), "wb");
    fwrite(cut.data(), 1, cut.size(), f);
    fclose(f);
    EXPECT_EQ(ht_open(name.c_str(), HT_FLAG_REOPEN | HT_FLAG_PERSISTENT, 4, 8, 101), nullptr);

    // Another table's file: a new table of the given sizes replaces it.
    std::string other = path("other");
    ASSERT_EQ(rename(name.c_str(), other.c_str()), 0);
    t = ht_open(other.c_str(), HT_FLAG_REOPEN | HT_FLAG_PERSISTENT, 4, 8, 1103);
    ASSERT_NE(t, nullptr);
    HT_LAYOUT layout;
    ht_get_layout(t, &layout);
    EXPECT_EQ(layout.slot_count, 1103);
    Record r = make_record(1, 0);
    EXPECT_EQ(ht_search(t, r.bytes, HT_MODE_FIND), 0);
    ht_close(t);

    struct stat st;
    ASSERT_EQ(stat(other.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HashTableTest, TemporaryTableFileIsPrivateAndRemoved)
{
    HT_TABLE *t = ht_open_temp(dir_.c_str(), "zel", 1, 4, 6, 180);
    ASSERT_NE(t, nullptr);
    std::string command = "ls " + dir_ + " | grep -c '^zel' > " + dir_ + "/count";
    ASSERT_EQ(system(command.c_str()), 0);
    std::vector<unsigned char> count = read_file(dir_ + "/count");
    EXPECT_EQ(std::string(count.begin(), count.end()), "1\n");
    EXPECT_EQ(ht_close(t), 0);
    command = "ls " + dir_ + " | grep -c '^zel' > " + dir_ + "/count";
    EXPECT_NE(system(command.c_str()), 0) << "no zel file is left";
    EXPECT_EQ(ht_open_temp("/nonexistent/dir", "zel", 1, 4, 6, 180), nullptr);
}

} // namespace
