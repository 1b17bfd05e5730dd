// The registration cache of the instance's shared memory (sm_registration.h).
//
// Slot n - 1 holds registration id n. A slot is cached exactly when its
// modification time is not 0; the cached slots form one chain by slot index
// in ascending order (header word 27 its head, -2 its end, word 28 their
// count). Writers hold the guard as writer and then mutex 4 for every change
// of a slot; the row-id calls take mutex 4 alone, so under mutex 4 a slot is
// read whole and its next row id is changed by one process at a time.
//
// The chain is fully given by the slots' modification times, so a chain that
// a writer left half-linked when it died (mutex 4 comes back abandoned) or
// that a walk finds bad is rebuilt from them. Readers walk it bounded by the
// cache's size and stop at a bad link.
#include "server/svrsys/sm_registration.h"

#include "server/svrsys/sm_master_internal.h"

#include "base/util/ve_buffer.h"
#include "base/util/ve_codepage.h"
#include "base/util/zel_errors.h"
#include "db/core/db_vocab.h"

#include <limits.h>
#include <string.h>
#include <time.h>

static_assert(sizeof(SM_REGISTRATION_SLOT) == 540, "registration slot is 540 bytes");
static_assert(sizeof(REGISTRATION) == 536, "registration record is 536 bytes");

namespace
{

constexpr int32_t S_ROWID_MUTEX = 4;
constexpr int32_t S_READER = 2;
constexpr int32_t S_WRITER = 3;
constexpr int32_t S_END = SM_CHAIN_END_WORD;

int32_t S_nregs(SM_MASTER *m)
{
    return m->caps.nregs;
}

// -65 or -219 for an unusable handle or id, else 0.
int32_t S_check(SM_MASTER *m, int32_t id)
{
    if (!m)
        return ZE_NULL_POINTER;
    if (id < 1 || id > S_nregs(m))
        return ZE_INVALID_REGISTRATION_ID;
    return ZE_SUCCESS;
}

SM_REGISTRATION_SLOT *S_slot(SM_MASTER *m, int32_t id)
{
    return &m->registrations[id - 1];
}

bool S_cached(const SM_REGISTRATION_SLOT *slot)
{
    return slot->modification_time != 0;
}

bool S_converts(SM_MASTER *m)
{
    return m->codepage && m->codepage->convert;
}

// Copies a string of a fixed field into another of size bytes, cut to size -
// 1 characters and terminated, the rest zeroed.
void S_copy(char *to, size_t size, const char *from, size_t from_size)
{
    size_t n = strnlen(from, from_size < size ? from_size : size - 1);
    memcpy(to, from, n);
    memset(to + n, 0, size - n);
}

// The strings of a slot and a record, field by field, with their widths.
template <typename F> void S_each_string(SM_REGISTRATION_SLOT &s, REGISTRATION &r, F f)
{
    f(s.database_name, r.database_name, sizeof s.database_name);
    f(s.owner, r.owner, sizeof s.owner);
    f(s.table_name, r.table_name, sizeof s.table_name);
    f(s.rowid_column, r.rowid_column, sizeof s.rowid_column);
    f(s.description, r.description, sizeof s.description);
    f(s.config_keyword, r.config_keyword, sizeof s.config_keyword);
    f(s.imv_view_name, r.imv_view_name, sizeof s.imv_view_name);
}

// The record of a slot, strings in the client's code page.
void S_build(SM_MASTER *m, const SM_REGISTRATION_SLOT *from, REGISTRATION *r)
{
    // A copy first: another process may die writing the slot, and the record's
    // strings must end within their fields whatever the slot holds.
    SM_REGISTRATION_SLOT slot;
    memcpy(&slot, from, sizeof slot);
    memset(r, 0, sizeof *r);
    memcpy(r->tag, REGISTRATION_TAG, sizeof REGISTRATION_TAG);
    r->registration_id = slot.registration_id;
    S_each_string(slot, *r, [&](char *s, char *rec, size_t width) {
        S_copy(rec, width, s, width);
        if (S_converts(m))
            CODEPAGE_tocpg(rec, static_cast<int32_t>(width), m->codepage);
    });
    r->object_flags = static_cast<uint32_t>(slot.object_flags);
    r->registration_date = static_cast<uint32_t>(slot.registration_date);
    r->permissions = slot.modification_time;
    r->minimum_id = static_cast<uint32_t>(slot.minimum_id);
}

// A new modification time for a slot that had old: now, or one more than old
// when that is not earlier, so that every write is seen as a change.
int32_t S_new_time(int32_t old)
{
    int32_t now = static_cast<int32_t>(time(nullptr));
    if (now > old)
        return now;
    return old < INT32_MAX ? old + 1 : old;
}

// Under the writer guard and mutex 4: the record's contents into the slot (the
// chain and the next row id are the caller's).
void S_store(SM_MASTER *m, SM_REGISTRATION_SLOT *slot, int32_t id, const REGISTRATION *from)
{
    // The native form is made in a copy so the slot never holds half of it.
    REGISTRATION r;
    memcpy(&r, from, sizeof r);
    SM_REGISTRATION_SLOT image;
    memcpy(&image, slot, sizeof image);
    bool fold = DB_dbms_is_case_sensitive() == 0;
    S_each_string(image, r, [&](char *s, char *rec, size_t width) {
        S_copy(s, width, rec, width);
        if (S_converts(m))
            CODEPAGE_tonative(s, static_cast<int32_t>(width), m->codepage);
    });
    if (fold) {
        // Identifiers fold to lower case; the owner keeps its case.
        VES_ToLower(image.database_name, m->codepage);
        VES_ToLower(image.table_name, m->codepage);
        VES_ToLower(image.rowid_column, m->codepage);
        VES_ToLower(image.imv_view_name, m->codepage);
    }
    // The slot is id's by definition; a cached slot is never free.
    image.registration_id = id;
    image.object_flags = static_cast<int32_t>(r.object_flags);
    image.registration_date = r.registration_date != 0 ? static_cast<int32_t>(r.registration_date)
                                                       : static_cast<int32_t>(time(nullptr));
    image.minimum_id = static_cast<int32_t>(r.minimum_id);
    image.modification_time = S_new_time(slot->modification_time);
    memcpy(slot, &image, sizeof image);
}

// Walks the chain: true when it is well formed (indexes in range, ascending,
// every slot cached, as many as counted). Under mutex 4.
bool S_chain_ok(SM_MASTER *m)
{
    int32_t *w = sm_header(m);
    int32_t nregs = S_nregs(m);
    int32_t n = 0;
    int32_t prev = -1;
    for (int32_t i = w[SM_HW_REGISTRATION_HEAD]; i != S_END; i = m->registrations[i].next_cached) {
        if (i <= prev || i >= nregs || !S_cached(&m->registrations[i]) || n >= nregs)
            return false;
        prev = i;
        ++n;
    }
    return n == w[SM_HW_REGISTRATION_COUNT];
}

// Under the writer guard and mutex 4: links slot index into the chain after
// the nearest cached slot below it, or at its head.
void S_link(SM_MASTER *m, int32_t index)
{
    int32_t *w = sm_header(m);
    int32_t prev = S_END;
    int32_t i = w[SM_HW_REGISTRATION_HEAD];
    while (i != S_END && i < index) {
        prev = i;
        i = m->registrations[i].next_cached;
    }
    m->registrations[index].next_cached = i;
    if (prev == S_END)
        w[SM_HW_REGISTRATION_HEAD] = index;
    else
        m->registrations[prev].next_cached = index;
    w[SM_HW_REGISTRATION_COUNT] += 1;
}

void S_unlink(SM_MASTER *m, int32_t index)
{
    int32_t *w = sm_header(m);
    int32_t prev = S_END;
    int32_t i = w[SM_HW_REGISTRATION_HEAD];
    while (i != S_END && i != index) {
        prev = i;
        i = m->registrations[i].next_cached;
    }
    if (i == index) {
        if (prev == S_END)
            w[SM_HW_REGISTRATION_HEAD] = m->registrations[index].next_cached;
        else
            m->registrations[prev].next_cached = m->registrations[index].next_cached;
        w[SM_HW_REGISTRATION_COUNT] -= 1;
    }
    m->registrations[index].next_cached = S_END;
}

// Takes the guard (mode) and, for writers that change slots, mutex 4 after
// it; gives both back at the end of the scope.
class S_Hold
{
  public:
    S_Hold(SM_MASTER *m, int32_t mode, bool rowid_mutex) : m_(m)
    {
        if (sm_rw_guard_acquire(m, mode) != ZE_SUCCESS)
            return;
        if (rowid_mutex) {
            if (sm_mutex_lock(m, S_ROWID_MUTEX) != ZE_SUCCESS) {
                sm_rw_guard_release(m);
                return;
            }
            mutex_ = true;
            if (!S_chain_ok(m))
                sm_registration_chain_repair(m);
        }
        guard_ = true;
    }
    ~S_Hold()
    {
        if (mutex_)
            sm_mutex_unlock(m_, S_ROWID_MUTEX);
        if (guard_)
            sm_rw_guard_release(m_);
    }
    S_Hold(const S_Hold &) = delete;
    S_Hold &operator=(const S_Hold &) = delete;
    bool held() const
    {
        return guard_;
    }

  private:
    SM_MASTER *m_;
    bool guard_ = false;
    bool mutex_ = false;
};

// Runs f(slot) on slot id under the guard (mode) and, when asked, mutex 4:
// -65 or -219 for the handle or id, failed when the guard or mutex fails.
template <typename F>
int32_t S_on_slot(SM_MASTER *m, int32_t id, int32_t mode, bool rowid_mutex, int32_t failed, F f)
{
    int32_t result = S_check(m, id);
    if (result != ZE_SUCCESS)
        return result;
    S_Hold hold(m, mode, rowid_mutex);
    if (!hold.held())
        return failed;
    return f(S_slot(m, id));
}

// Calls visit(slot) for each cached slot along the chain, bounded by the
// cache's size. Under the guard.
template <typename F> void S_walk(SM_MASTER *m, F visit)
{
    int32_t nregs = S_nregs(m);
    int32_t prev = -1;
    int32_t steps = 0;
    for (int32_t i = sm_header(m)[SM_HW_REGISTRATION_HEAD]; i != S_END;
         i = m->registrations[i].next_cached) {
        if (i <= prev || i >= nregs || steps++ >= nregs)
            return; // a bad link: the next writer rebuilds the chain
        if (!visit(&m->registrations[i]))
            return;
        prev = i;
    }
}

// The list of the cached registrations that select(slot) picks.
template <typename F> int32_t S_list(SM_MASTER *m, REGISTRATION **list, int32_t *count, F select)
{
    if (!m || !list || !count)
        return ZE_NULL_POINTER;
    *list = nullptr;
    *count = 0;
    S_Hold hold(m, S_READER, false);
    if (!hold.held())
        return ZE_FAILURE;
    int32_t n = 0;
    S_walk(m, [&](const SM_REGISTRATION_SLOT *slot) {
        if (select(slot))
            ++n;
        return true;
    });
    if (n == 0)
        return ZE_SUCCESS;
    int32_t size = (n + 1) * static_cast<int32_t>(sizeof(REGISTRATION));
    auto *out = static_cast<REGISTRATION *>(VES_buffer_alloc(size));
    if (!out)
        return ZE_OUT_OF_MEMORY;
    int32_t filled = 0;
    S_walk(m, [&](const SM_REGISTRATION_SLOT *slot) {
        if (select(slot))
            S_build(m, slot, &out[filled++]);
        return filled < n;
    });
    *list = out;
    *count = filled;
    return ZE_SUCCESS;
}

// A name of the caller in the form the slots keep: the client's text cut to
// nothing when it does not fit the field (it can then match no slot).
bool S_native_name(SM_MASTER *m, const char *name, char *out, size_t width, bool fold)
{
    memset(out, 0, width);
    if (!name)
        return true;
    size_t n = strnlen(name, width);
    if (n >= width)
        return false;
    memcpy(out, name, n);
    if (S_converts(m))
        CODEPAGE_tonative(out, static_cast<int32_t>(width), m->codepage);
    if (fold)
        VES_ToLower(out, m->codepage);
    return true;
}

// Equal to a slot's field, which may lack its terminator: the name has
// length n.
bool S_field_equals(const char *field, size_t width, const char *name, size_t n)
{
    return n < width && field[n] == '\0' && memcmp(field, name, n) == 0;
}

} // namespace

void sm_registration_chain_repair(SM_MASTER *m)
{
    int32_t *w = sm_header(m);
    int32_t head = S_END;
    int32_t count = 0;
    for (int32_t i = S_nregs(m) - 1; i >= 0; --i) {
        SM_REGISTRATION_SLOT *slot = &m->registrations[i];
        if (!S_cached(slot)) {
            slot->next_cached = S_END;
            continue;
        }
        slot->next_cached = head;
        head = i;
        ++count;
    }
    w[SM_HW_REGISTRATION_HEAD] = head;
    w[SM_HW_REGISTRATION_COUNT] = count;
}

int32_t SM_shared_registration_get(SM_MASTER *master, int32_t id, REGISTRATION *registration)
{
    if (!registration)
        return ZE_NULL_POINTER;
    return S_on_slot(master, id, S_READER, false, ZE_FAILURE, [&](SM_REGISTRATION_SLOT *slot) {
        S_build(master, slot, registration);
        return ZE_SUCCESS;
    });
}

int32_t SM_shared_registration_set(SM_MASTER *master, int32_t id, const REGISTRATION *registration)
{
    if (!registration)
        return ZE_NULL_POINTER;
    return S_on_slot(master, id, S_WRITER, true, ZE_FAILURE, [&](SM_REGISTRATION_SLOT *slot) {
        bool cached = S_cached(slot);
        S_store(master, slot, id, registration);
        slot->next_row_id = 0;
        if (!cached)
            S_link(master, id - 1);
        return ZE_SUCCESS;
    });
}

int32_t SM_shared_registration_clear(SM_MASTER *master, int32_t id)
{
    return S_on_slot(master, id, S_WRITER, true, ZE_FAILURE, [&](SM_REGISTRATION_SLOT *slot) {
        if (S_cached(slot)) {
            S_unlink(master, id - 1);
            slot->modification_time = 0;
        }
        return ZE_SUCCESS;
    });
}

int32_t SM_shared_registration_touch(SM_MASTER *master, int32_t id)
{
    return S_on_slot(master, id, S_WRITER, false, ZE_FAILURE, [&](SM_REGISTRATION_SLOT *slot) {
        // A time on a slot that is not cached would make it cached off the chain.
        if (S_cached(slot))
            slot->modification_time = S_new_time(slot->modification_time);
        return ZE_SUCCESS;
    });
}

int32_t SM_registration_time_last_modified(SM_MASTER *master, int32_t id)
{
    return S_on_slot(master, id, S_READER, false, 0,
                     [&](SM_REGISTRATION_SLOT *slot) { return slot->modification_time; });
}

int32_t SM_shared_registration_operate(SM_MASTER *master, int32_t id,
                                       SM_REGISTRATION_OPERATE callback, void *context)
{
    int32_t result = S_check(master, id);
    if (result == ZE_SUCCESS && !callback)
        result = ZE_NULL_POINTER;
    if (result != ZE_SUCCESS)
        return result;
    // Mutex 4 too: the next row id is the row-id calls' as well.
    return S_on_slot(master, id, S_WRITER, true, ZE_FAILURE, [&](SM_REGISTRATION_SLOT *slot) {
        if (!S_cached(slot))
            return ZE_INVALID_REGISTRATION_ID;
        REGISTRATION registration, before;
        S_build(master, slot, &registration);
        memcpy(&before, &registration, sizeof before);
        int32_t next_row_id = slot->next_row_id;
        int32_t answer = callback(context, &registration, &next_row_id);
        if (answer != 0)
            return answer;
        if (memcmp(&registration, &before, sizeof before) != 0)
            S_store(master, slot, id, &registration);
        slot->next_row_id = next_row_id;
        return ZE_SUCCESS;
    });
}

int32_t SM_registration_get_rowid_range(SM_MASTER *master, int32_t id, int32_t count,
                                        SM_ROWID_SEED seed, void *context, int32_t *first,
                                        int32_t *got)
{
    int32_t result = S_check(master, id);
    if (result != ZE_SUCCESS)
        return result;
    if (!first || !got)
        return ZE_NULL_POINTER;
    if (count < 0)
        return ZE_INVALID_ARGUMENT;
    if (sm_mutex_lock(master, S_ROWID_MUTEX) != ZE_SUCCESS)
        return ZE_FAILURE;
    SM_REGISTRATION_SLOT *slot = S_slot(master, id);
    int32_t next = slot->next_row_id;
    if (!S_cached(slot)) {
        result = ZE_INVALID_REGISTRATION_ID;
    } else if ((slot->object_flags & REG_ROWID_ENGINE) == 0) {
        result = ZE_WRONG_COLUMN_TYPE;
    } else if (next <= 0 && !seed) {
        result = ZE_NULL_POINTER;
    } else if (next <= 0) {
        // Every writer of the slot holds mutex 4 too: the record is whole.
        REGISTRATION registration;
        S_build(master, slot, &registration);
        next = seed(context, &registration);
        if (next < 0)
            result = next;
        else if (next == 0)
            next = 1;
    }
    if (result == ZE_SUCCESS) {
        if (count > INT32_MAX - next) {
            result = ZE_FAILURE;
        } else {
            slot->next_row_id = next + count;
            *first = next;
            *got = count;
        }
    }
    if (sm_mutex_unlock(master, S_ROWID_MUTEX) != ZE_SUCCESS)
        return ZE_FAILURE;
    return result;
}

int32_t SM_registration_return_rowid_range(SM_MASTER *master, int32_t id, int32_t first,
                                           int32_t count)
{
    int32_t result = S_check(master, id);
    if (result != ZE_SUCCESS)
        return result;
    if (count < 0 || first < 1)
        return ZE_INVALID_ARGUMENT;
    if (sm_mutex_lock(master, S_ROWID_MUTEX) != ZE_SUCCESS)
        return ZE_FAILURE;
    SM_REGISTRATION_SLOT *slot = S_slot(master, id);
    if (!S_cached(slot))
        result = ZE_INVALID_REGISTRATION_ID;
    else if ((slot->object_flags & REG_ROWID_ENGINE) == 0)
        result = ZE_WRONG_COLUMN_TYPE;
    else if (int64_t(slot->next_row_id) == int64_t(first) + count)
        slot->next_row_id = first;
    if (sm_mutex_unlock(master, S_ROWID_MUTEX) != ZE_SUCCESS)
        return ZE_FAILURE;
    return result;
}

int32_t SM_registration_get_list(SM_MASTER *master, const VE_BITMAP *bitmap, REGISTRATION **list,
                                 int32_t *count)
{
    int32_t bits = VES_Bitmap_MaxBits(bitmap);
    return S_list(master, list, count, [&](const SM_REGISTRATION_SLOT *slot) {
        if (!bitmap)
            return true;
        int32_t bit = static_cast<int32_t>(slot - master->registrations);
        return bit < bits && VES_Bitmap_Test(bitmap, bit) != 0;
    });
}

int32_t SM_registration_get_masked_list(SM_MASTER *master, uint32_t mask, int32_t all,
                                        REGISTRATION **list, int32_t *count)
{
    return S_list(master, list, count, [&](const SM_REGISTRATION_SLOT *slot) {
        uint32_t flags = static_cast<uint32_t>(slot->object_flags);
        return all ? (flags & mask) == mask : (flags & mask) == 0;
    });
}

int32_t SM_registration_find(SM_MASTER *master, const char *database, const char *owner,
                             const char *table, REGISTRATION *registration)
{
    if (!master || !database || !table || !registration)
        return ZE_NULL_POINTER;
    SM_REGISTRATION_SLOT names;
    bool fold = DB_dbms_is_case_sensitive() == 0;
    if (!S_native_name(master, database, names.database_name, sizeof names.database_name, fold) ||
        !S_native_name(master, owner, names.owner, sizeof names.owner, false) ||
        !S_native_name(master, table, names.table_name, sizeof names.table_name, fold))
        return ZE_TABLE_NOT_REGISTERED;
    S_Hold hold(master, S_READER, false);
    if (!hold.held())
        return ZE_FAILURE;
    size_t table_length = strlen(names.table_name);
    size_t database_length = strlen(names.database_name);
    size_t owner_length = strlen(names.owner);
    int32_t result = ZE_TABLE_NOT_REGISTERED;
    S_walk(master, [&](const SM_REGISTRATION_SLOT *slot) {
        if (!S_field_equals(slot->table_name, sizeof slot->table_name, names.table_name,
                            table_length) ||
            !S_field_equals(slot->database_name, sizeof slot->database_name, names.database_name,
                            database_length) ||
            (owner_length != 0 &&
             !S_field_equals(slot->owner, sizeof slot->owner, names.owner, owner_length)))
            return true;
        S_build(master, slot, registration);
        result = ZE_SUCCESS;
        return false;
    });
    return result;
}

int32_t SM_return_registration_id(SM_MASTER *master, int32_t id)
{
    return S_on_slot(master, id, S_WRITER, true, ZE_FAILURE, [&](SM_REGISTRATION_SLOT *slot) {
        slot->registration_id = 0;
        return ZE_SUCCESS;
    });
}
