// Paged hash table: open addressing with linear probing over a file of pages
// read through a small cache. Slot and offset arithmetic is done in 64 bits so
// that large tables neither wrap their hash nor their file offsets. The stored
// header is encoded field by field (see ve_hash_table_internal.h for its layout).
#include "base/util/ve_hash_table_internal.h"

#include "base/util/zel_errors.h"

#include <array>
#include <fcntl.h>
#include <new>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int32_t kDefaultPageSize = 1024;
constexpr int32_t kDefaultCachePages = 31;
constexpr double kSizeLimit = 2147483646.0;

// Page states (in memory only): a cache entry number, or one of these.
constexpr int32_t kPageFresh = -1;  // never written: all records empty
constexpr int32_t kPageInFile = -2; // held in the file, not cached

// Record flag bytes.
constexpr unsigned char kSlotEmpty = 0;
constexpr unsigned char kSlotLast = 1;
constexpr int64_t kMaxChainFlag = 255;

struct HT_CACHE_ENTRY {
    int64_t page = -1;
    bool dirty = false;
    bool fresh = false;              // loaded as a fresh page and not yet in the file
    std::vector<unsigned char> data; // records, then one flag byte per record
};

} // namespace

struct HT_TABLE {
    std::string name;
    int fd = -1;
    int32_t flags = 0;
    int32_t cursor = 0;
    int32_t cache_pages = 0;
    int32_t compare_offset = 0;
    int32_t key_length = 0;
    int32_t record_size = 0;
    int32_t records_per_page = 0;
    int32_t page_count = 0;
    int32_t slot_count = 0;
    int32_t next_entry = 0;
    int32_t end_of_duplicates = 1;
    std::vector<int32_t> page_state;
    std::vector<HT_CACHE_ENTRY> cache;
};

static int32_t S_page_size = kDefaultPageSize;
static int32_t S_cache_setting = kDefaultCachePages;

// The prime table: the smallest prime above 1000k + 100 for k = 0..100, then
// above 1000x + 100 for a few larger x.
static constexpr bool S_is_prime(int64_t n)
{
    if (n < 2)
        return false;
    for (int64_t d = 2; d * d <= n; d++)
        if (n % d == 0)
            return false;
    return true;
}

static constexpr int64_t S_prime_above(int64_t n)
{
    int64_t p = n + 1;
    while (!S_is_prime(p))
        p++;
    return p;
}

static constexpr std::array<int64_t, 117> S_make_primes()
{
    std::array<int64_t, 117> primes{};
    constexpr int64_t large[] = {155, 201, 250,  300,  400,  500,  600,  700,
                                 800, 900, 1000, 1500, 2000, 2500, 3000, 3210};
    size_t n = 0;
    for (int64_t k = 0; k <= 100; k++)
        primes[n++] = S_prime_above(1000 * k + 100);
    for (int64_t x : large)
        primes[n++] = S_prime_above(1000 * x + 100);
    return primes;
}

static const std::array<int64_t, 117> S_primes = S_make_primes();

int64_t prime_at_least(int64_t n)
{
    for (int64_t p : S_primes)
        if (p >= n)
            return p;
    for (int64_t p : S_primes)
        if (p * p >= n)
            return p * p;
    return 0;
}

int32_t ht_set_cache(int32_t cache_pages, int32_t page_size)
{
    if (cache_pages < 1)
        cache_pages = kDefaultCachePages;
    if (page_size < 1)
        page_size = kDefaultPageSize;
    int64_t old = static_cast<int64_t>(S_cache_setting) * S_page_size;
    S_cache_setting = cache_pages;
    S_page_size = page_size;
    return old > INT32_MAX ? INT32_MAX : static_cast<int32_t>(old);
}

// ---- stored header ----

static void S_put32(unsigned char *p, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<unsigned char>(u);
    p[1] = static_cast<unsigned char>(u >> 8);
    p[2] = static_cast<unsigned char>(u >> 16);
    p[3] = static_cast<unsigned char>(u >> 24);
}

static int32_t S_get32(const unsigned char *p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

// Name, eleven 32-bit fields, and three pointer words written as zero.
static void S_header_encode(const HT_TABLE *t, unsigned char out[HT_HEADER_SIZE])
{
    memset(out, 0, HT_HEADER_SIZE);
    t->name.copy(reinterpret_cast<char *>(out), HT_NAME_SIZE - 1); // the rest stays zero
    const int32_t fields[] = {t->flags,      t->cursor,      t->cache_pages,      t->compare_offset,
                              t->key_length, t->record_size, t->records_per_page, t->page_count,
                              t->slot_count, t->next_entry,  t->end_of_duplicates};
    unsigned char *p = out + HT_NAME_SIZE;
    for (int32_t f : fields) {
        S_put32(p, f);
        p += 4;
    }
}

// Takes the stored sizes and position of a header whose name is already
// known to match; false when they do not describe a sound table.
static bool S_header_decode(HT_TABLE *t, const unsigned char in[HT_HEADER_SIZE], int64_t file_size)
{
    const unsigned char *p = in + HT_NAME_SIZE;
    int32_t f[11];
    for (int32_t &v : f) {
        v = S_get32(p);
        p += 4;
    }
    int32_t cursor = f[1], cache_pages = f[2], compare_offset = f[3], key_length = f[4];
    int32_t record_size = f[5], per_page = f[6], pages = f[7], slots = f[8];
    int32_t next_entry = f[9], end_flag = f[10];
    if (key_length < 1 || record_size < key_length || per_page < 1 || slots < 1 || pages < 1)
        return false;
    if (pages != (slots - 1) / per_page + 1)
        return false;
    int64_t page_bytes = static_cast<int64_t>(per_page) * (static_cast<int64_t>(record_size) + 1);
    if (page_bytes * pages > INT32_MAX)
        return false;
    if (file_size < HT_HEADER_SIZE + page_bytes * pages)
        return false;
    if (cache_pages < 1 || cache_pages > pages || cursor < 0 || cursor >= slots)
        return false;
    if (compare_offset < 0 || compare_offset > key_length)
        return false;
    t->cursor = cursor;
    t->cache_pages = cache_pages;
    t->compare_offset = compare_offset;
    t->key_length = key_length;
    t->record_size = record_size;
    t->records_per_page = per_page;
    t->page_count = pages;
    t->slot_count = slots;
    t->next_entry = next_entry >= 0 && next_entry < cache_pages ? next_entry : 0;
    t->end_of_duplicates = end_flag != 0;
    return true;
}

// ---- opening ----

// Lays out a new table of the given sizes; false when it is too large.
static bool S_layout_new(HT_TABLE *t, int32_t key_length, int32_t record_size, int64_t min_slots)
{
    if (S_page_size < record_size)
        S_page_size = record_size;
    int64_t slots = prime_at_least(min_slots);
    if (slots < 1)
        return false;
    double q =
        (static_cast<double>(record_size) * static_cast<double>(slots) - 1) / S_page_size + 1;
    if (q * S_page_size * 4 >= kSizeLimit)
        return false;
    t->key_length = key_length;
    t->record_size = record_size;
    t->records_per_page = S_page_size / record_size;
    t->slot_count = static_cast<int32_t>(slots);
    t->page_count = static_cast<int32_t>((slots - 1) / t->records_per_page + 1);
    int64_t cache = static_cast<int64_t>(q);
    if (cache > S_cache_setting)
        cache = S_cache_setting;
    if (cache > t->page_count)
        cache = t->page_count;
    t->cache_pages = static_cast<int32_t>(cache < 1 ? 1 : cache);
    t->cursor = 0;
    t->compare_offset = 0;
    t->next_entry = 0;
    t->end_of_duplicates = 1;
    return true;
}

// Allocates the page states and cache; false when memory runs out.
static bool S_allocate(HT_TABLE *t, int32_t initial_state)
{
    try {
        t->page_state.assign(static_cast<size_t>(t->page_count), initial_state);
        t->cache.resize(static_cast<size_t>(t->cache_pages));
        size_t bytes =
            static_cast<size_t>(t->records_per_page) * (static_cast<size_t>(t->record_size) + 1);
        for (HT_CACHE_ENTRY &e : t->cache)
            e.data.assign(bytes, 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

static bool S_args_ok(int32_t key_length, int32_t record_size)
{
    return key_length >= 1 && record_size >= key_length;
}

// Gives up a table whose memory could not be had: closes (and for a new
// table deletes) its file without writing anything.
static HT_TABLE *S_discard(HT_TABLE *t, bool remove_file)
{
    if (t->fd >= 0)
        close(t->fd);
    if (remove_file)
        unlink(t->name.c_str());
    delete t;
    return nullptr;
}

// Reads a stored header into t; 1 taken, 0 not this table's (create anew),
// -1 a matching header with unsound sizes.
static int S_reopen(HT_TABLE *t, int fd)
{
    unsigned char header[HT_HEADER_SIZE];
    if (pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header))
        return 0;
    if (memchr(header, '\0', HT_NAME_SIZE) == nullptr ||
        strcmp(reinterpret_cast<const char *>(header), t->name.c_str()) != 0)
        return 0;
    struct stat st;
    if (fstat(fd, &st) != 0)
        return -1;
    return S_header_decode(t, header, st.st_size) ? 1 : -1;
}

HT_TABLE *ht_open(const char *file_name, int32_t flags, int32_t key_length, int32_t record_size,
                  int64_t min_slots)
{
    if (file_name == nullptr || !S_args_ok(key_length, record_size))
        return nullptr;
    if ((flags & HT_FLAG_PERSISTENT) != 0 && strlen(file_name) >= HT_NAME_SIZE)
        return nullptr;
    HT_TABLE *t = new (std::nothrow) HT_TABLE;
    if (t == nullptr)
        return nullptr;
    try {
        t->name = file_name;
    } catch (const std::bad_alloc &) {
        delete t;
        return nullptr;
    }
    t->flags = flags;
    if ((flags & HT_FLAG_REOPEN) != 0) {
        int fd = open(file_name, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            int taken = S_reopen(t, fd);
            // Stored records or keys longer than the caller's would be
            // copied past, or hashed beyond, the caller's record buffer.
            if (taken == 1 && (t->key_length > key_length || t->record_size > record_size))
                taken = -1;
            if (taken == 1) {
                t->fd = fd;
                if (!S_allocate(t, kPageInFile))
                    return S_discard(t, false);
                return t;
            }
            close(fd);
            if (taken < 0) {
                delete t;
                return nullptr;
            }
        }
    }
    if (!S_layout_new(t, key_length, record_size, min_slots)) {
        delete t;
        return nullptr;
    }
    // Never emptied through a symbolic link planted at the name.
    t->fd = open(file_name, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (t->fd < 0) {
        delete t;
        return nullptr;
    }
    if (!S_allocate(t, kPageFresh))
        return S_discard(t, true);
    return t;
}

HT_TABLE *ht_open_temp(const char *directory, const char *prefix, int32_t flags, int32_t key_length,
                       int32_t record_size, int64_t min_slots)
{
    if (directory == nullptr || prefix == nullptr || !S_args_ok(key_length, record_size))
        return nullptr;
    HT_TABLE *t = new (std::nothrow) HT_TABLE;
    if (t == nullptr)
        return nullptr;
    t->flags = flags & ~(HT_FLAG_REOPEN | HT_FLAG_PERSISTENT);
    try {
        std::string pattern = directory;
        if (pattern.empty() || pattern.back() != '/')
            pattern += '/';
        pattern += prefix;
        pattern += "XXXXXX";
        if (!S_layout_new(t, key_length, record_size, min_slots)) {
            delete t;
            return nullptr;
        }
        t->fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (t->fd < 0) {
            delete t;
            return nullptr;
        }
        t->name = pattern;
    } catch (const std::bad_alloc &) {
        if (t->fd >= 0) {
            close(t->fd);
            t->fd = -1;
        }
        delete t;
        return nullptr;
    }
    if (!S_allocate(t, kPageFresh))
        return S_discard(t, true);
    return t;
}

int32_t ht_get_layout(const HT_TABLE *table, HT_LAYOUT *layout)
{
    if (table == nullptr || layout == nullptr)
        return ZE_NULL_POINTER;
    layout->slot_count = table->slot_count;
    layout->records_per_page = table->records_per_page;
    layout->page_count = table->page_count;
    layout->cache_pages = table->cache_pages;
    layout->key_length = table->key_length;
    layout->record_size = table->record_size;
    return 0;
}

// ---- pages ----

static int64_t S_page_offset(const HT_TABLE *t, int64_t page)
{
    return HT_HEADER_SIZE + page * t->records_per_page * (static_cast<int64_t>(t->record_size) + 1);
}

// Reads or writes a whole block at an offset, going on after short transfers.
static bool S_transfer(int fd, unsigned char *data, size_t size, int64_t offset, bool writing)
{
    while (size > 0) {
        ssize_t n = writing ? pwrite(fd, data, size, offset) : pread(fd, data, size, offset);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

static bool S_write_all(int fd, const unsigned char *data, size_t size, int64_t offset)
{
    return S_transfer(fd, const_cast<unsigned char *>(data), size, offset, true);
}

static bool S_read_all(int fd, unsigned char *data, size_t size, int64_t offset)
{
    return S_transfer(fd, data, size, offset, false);
}

// The cache entry holding the page, bringing it in (into the next entry in
// turn, never the entry 'keep' when another exists); -1 on a file failure.
static int32_t S_page_entry(HT_TABLE *t, int64_t page, int32_t keep)
{
    int32_t state = t->page_state[static_cast<size_t>(page)];
    if (state >= 0)
        return state;
    int32_t e = t->next_entry;
    if (e == keep && t->cache_pages > 1)
        e = (e + 1) % t->cache_pages;
    HT_CACHE_ENTRY &entry = t->cache[static_cast<size_t>(e)];
    if (entry.page >= 0) {
        if (entry.dirty) {
            if (!S_write_all(t->fd, entry.data.data(), entry.data.size(),
                             S_page_offset(t, entry.page)))
                return -1;
            t->page_state[static_cast<size_t>(entry.page)] = kPageInFile;
        } else {
            t->page_state[static_cast<size_t>(entry.page)] = entry.fresh ? kPageFresh : kPageInFile;
        }
        entry.page = -1;
    }
    if (state == kPageFresh) {
        memset(entry.data.data(), 0, entry.data.size());
        entry.fresh = true;
    } else {
        if (!S_read_all(t->fd, entry.data.data(), entry.data.size(), S_page_offset(t, page)))
            return -1;
        entry.fresh = false;
    }
    entry.page = page;
    entry.dirty = false;
    t->page_state[static_cast<size_t>(page)] = e;
    t->next_entry = (e + 1) % t->cache_pages;
    return e;
}

// A slot's record and flag byte inside the cache.
struct S_SLOT {
    int32_t entry;
    unsigned char *record;
    unsigned char *flag;
};

static bool S_slot(HT_TABLE *t, int64_t slot, int32_t keep, S_SLOT *out)
{
    // Slots and pages are below 2^31: one 32-bit division gives both.
    auto per_page = static_cast<uint32_t>(t->records_per_page);
    int64_t page = static_cast<uint32_t>(slot) / per_page;
    int64_t pos = static_cast<uint32_t>(slot) % per_page;
    int32_t state = t->page_state[static_cast<size_t>(page)];
    int32_t e = state >= 0 ? state : S_page_entry(t, page, keep);
    if (e < 0)
        return false;
    unsigned char *data = t->cache[static_cast<size_t>(e)].data.data();
    out->entry = e;
    out->record = data + pos * t->record_size;
    out->flag = data + static_cast<int64_t>(t->records_per_page) * t->record_size + pos;
    return true;
}

static void S_touch(HT_TABLE *t, const S_SLOT &s)
{
    t->cache[static_cast<size_t>(s.entry)].dirty = true;
}

// The key's bytes as a base-256 number modulo the slot count. Reducing only
// when the running value could overflow gives the same slot as reducing
// after every byte, with a division per seven bytes instead of one per byte.
static int64_t S_hash(const HT_TABLE *t, const unsigned char *key)
{
    uint64_t h = 0;
    for (int32_t i = 0; i < t->key_length; i++) {
        if (h >= (1ull << 55))
            h %= static_cast<uint64_t>(t->slot_count);
        h = h * 256 + key[i];
    }
    return static_cast<int64_t>(h % static_cast<uint64_t>(t->slot_count));
}

static int64_t S_next_slot(const HT_TABLE *t, int64_t slot)
{
    return slot + 1 == t->slot_count ? 0 : slot + 1;
}

static bool S_key_equal(const HT_TABLE *t, const unsigned char *stored, const unsigned char *key)
{
    int32_t from = t->compare_offset;
    return memcmp(stored + from, key + from, static_cast<size_t>(t->key_length - from)) == 0;
}

// ---- searching ----

// Insert (modes 0 and 5).
static int32_t S_insert(HT_TABLE *t, unsigned char *record, int32_t mode)
{
    int64_t start = S_hash(t, record);
    t->compare_offset = 0;
    int64_t remembered = -1;
    int32_t keep = -1;
    int64_t slot = start;
    for (;;) {
        S_SLOT s;
        if (!S_slot(t, slot, keep, &s))
            return -1;
        if (*s.flag == kSlotEmpty) {
            memcpy(s.record, record, static_cast<size_t>(t->record_size));
            *s.flag = kSlotLast;
            S_touch(t, s);
            if (remembered >= 0) {
                S_SLOT r;
                if (!S_slot(t, remembered, s.entry, &r))
                    return -1;
                int64_t distance = (slot - remembered + t->slot_count) % t->slot_count + 1;
                *r.flag =
                    static_cast<unsigned char>(distance > kMaxChainFlag ? kMaxChainFlag : distance);
                S_touch(t, r);
            }
            return static_cast<int32_t>(slot + 1);
        }
        if (S_key_equal(t, s.record, record)) {
            if (mode == HT_MODE_FIND_OR_INSERT) {
                memcpy(record, s.record, static_cast<size_t>(t->record_size));
                return 0;
            }
            if ((t->flags & HT_FLAG_OVERWRITE) != 0) {
                memcpy(s.record, record, static_cast<size_t>(t->record_size));
                S_touch(t, s);
                return static_cast<int32_t>(slot + 1);
            }
            if ((t->flags & HT_FLAG_DUPLICATES) == 0)
                return 0;
            remembered = slot;
            keep = s.entry;
        }
        slot = S_next_slot(t, slot);
        if (slot == start)
            return -1;
    }
}

// Takes a found record for modes 2 and 4: copies it, moves the cursor to the
// next of its chain, and compares whole keys next time only when the chain's
// distance was too long to store.
static void S_take(HT_TABLE *t, const S_SLOT &s, int64_t slot, unsigned char *record)
{
    memcpy(record, s.record, static_cast<size_t>(t->record_size));
    unsigned char flag = *s.flag;
    t->cursor = static_cast<int32_t>((slot + flag - 1) % t->slot_count);
    t->end_of_duplicates = flag == kSlotLast;
    t->compare_offset = flag == kMaxChainFlag ? 0 : t->key_length;
}

// Probes from a slot for an equal key: the slot, -1 none, -2 table full or failure.
static int64_t S_probe(HT_TABLE *t, int64_t start, const unsigned char *key, S_SLOT *found)
{
    int64_t slot = start;
    for (;;) {
        if (!S_slot(t, slot, -1, found))
            return -2;
        if (*found->flag == kSlotEmpty)
            return -1;
        if (S_key_equal(t, found->record, key))
            return slot;
        slot = S_next_slot(t, slot);
        if (slot == start)
            return -2;
    }
}

int32_t ht_search(HT_TABLE *table, void *record_buffer, int32_t mode)
{
    if (table == nullptr || record_buffer == nullptr)
        return -1;
    HT_TABLE *t = table;
    auto *record = static_cast<unsigned char *>(record_buffer);
    S_SLOT s;
    switch (mode) {
    case HT_MODE_EXISTS:
    case HT_MODE_FIND: {
        t->compare_offset = 0;
        int64_t slot = S_probe(t, S_hash(t, record), record, &s);
        if (slot < 0) {
            if (mode == HT_MODE_FIND)
                t->end_of_duplicates = 1;
            return slot == -1 ? 0 : -1;
        }
        if (mode == HT_MODE_FIND)
            S_take(t, s, slot, record);
        else
            t->compare_offset = t->key_length;
        return static_cast<int32_t>(slot + 1);
    }
    case HT_MODE_BY_SLOT: {
        int32_t slot;
        memcpy(&slot, record, sizeof slot);
        if (slot < 0 || slot >= t->slot_count)
            return -1;
        if (!S_slot(t, slot, -1, &s))
            return -1;
        if (*s.flag == kSlotEmpty)
            return 0;
        memcpy(record, s.record, static_cast<size_t>(t->record_size));
        return slot + 1;
    }
    case HT_MODE_NEXT_DUPLICATE: {
        if (t->end_of_duplicates)
            return -2;
        int64_t slot = S_probe(t, t->cursor, record, &s);
        if (slot < 0) {
            t->end_of_duplicates = 1;
            return slot == -1 ? 0 : -1;
        }
        S_take(t, s, slot, record);
        /* The last of the chain is copied but answers 0, so that a caller
         * looping while the result is positive stops with it in hand. */
        return t->end_of_duplicates ? 0 : static_cast<int32_t>(slot + 1);
    }
    default:
        return S_insert(t, record, mode);
    }
}

// ---- closing ----

// Writes every page a persistent table has changed or never written, then
// the header.
static bool S_write_out(HT_TABLE *t)
{
    bool ok = true;
    for (HT_CACHE_ENTRY &e : t->cache) {
        if (e.page >= 0 && (e.dirty || e.fresh)) {
            ok = ok && S_write_all(t->fd, e.data.data(), e.data.size(), S_page_offset(t, e.page));
            t->page_state[static_cast<size_t>(e.page)] = kPageInFile;
        }
    }
    std::vector<unsigned char> empty;
    for (size_t p = 0; p < t->page_state.size(); p++) {
        if (t->page_state[p] != kPageFresh)
            continue;
        if (empty.empty()) {
            try {
                empty.assign(static_cast<size_t>(t->records_per_page) *
                                 (static_cast<size_t>(t->record_size) + 1),
                             0);
            } catch (const std::bad_alloc &) {
                return false;
            }
        }
        ok = ok && S_write_all(t->fd, empty.data(), empty.size(),
                               S_page_offset(t, static_cast<int64_t>(p)));
    }
    unsigned char header[HT_HEADER_SIZE];
    S_header_encode(t, header);
    return ok && S_write_all(t->fd, header, sizeof header, 0);
}

int32_t ht_close(HT_TABLE *table)
{
    if (table == nullptr)
        return 0;
    int32_t result = 0;
    if (table->fd >= 0) {
        if ((table->flags & HT_FLAG_PERSISTENT) != 0) {
            if (!S_write_out(table))
                result = -1;
            close(table->fd);
        } else {
            close(table->fd);
            unlink(table->name.c_str());
        }
    }
    delete table;
    return result;
}
