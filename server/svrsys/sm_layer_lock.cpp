// Layer locks (sm_layer_lock.h). Each layer entry heads its own chain of lock
// slots (0 = none); slot 0 heads the chain of free slots. A request walks the
// layer's chain: locks of dead holders are removed, the requester's own lock
// (neither it nor the request automatic) is remembered, and every other lock
// is tested until the first conflict by the table below, where 10 means a
// conflict when the envelopes overlap (touching edges overlap) and 20 the
// automatic-area rules of S_auto_rule. A conflict leaves every lock as it was
// (the requester's old lock included); without one the own lock is rewritten
// or a new slot goes to the end of the chain.
#include "server/svrsys/sm_lock_chain_internal.h"

#include "base/util/zel_errors.h"

#include <string.h>

namespace
{

constexpr int32_t S_TYPES = 5;
constexpr int32_t S_CORRUPT = 1; /* internal: the walk met a bad chain */
constexpr int32_t S_MAX_SLOTS = 0x10000;

// clang-format off
const int8_t S_COMPATIBLE[S_TYPES][S_TYPES] = {
    /* held:          0   1   2   3   4 */
    /* 0 shared  */ { 1,  0,  1,  0,  0},
    /* 1 update  */ { 0,  0,  0,  0, 20},
    /* 2 s. area */ { 1,  0,  1, 10, 20},
    /* 3 u. area */ { 0,  0, 10, 10, 20},
    /* 4 auto    */ { 0, 20, 20, 20, 20},
};
// clang-format on

const char *const S_NAMES[S_TYPES] = {"Shared Layer", "Update Layer", "Shared Area", "Update Area",
                                      "Auto Area"};

bool S_overlap(const ENVELOPE &a, const ENVELOPE &b)
{
    return !(a.minx > b.maxx || a.miny > b.maxy || a.maxx < b.minx || a.maxy < b.miny);
}

bool S_within(const ENVELOPE &a, const ENVELOPE &b)
{
    return a.minx >= b.minx && a.miny >= b.miny && a.maxx <= b.maxx && a.maxy <= b.maxy;
}

struct S_Request {
    int32_t holder;
    int32_t type;
    ENVELOPE envelope;
    bool modify;
};

// What a test of one held lock decided.
enum S_Outcome { S_GO_ON, S_CONFLICT, S_GRANTED_AS_IS };

int32_t S_nlocks(SM_MASTER *m)
{
    return m->caps.nlocks;
}

bool S_valid(SM_MASTER *m, int32_t i)
{
    return i >= 1 && i < S_nlocks(m);
}

// Puts slot i, cleared, at the front of the free chain.
void S_free_slot(SM_MASTER *m, int32_t i)
{
    SM_LAYER_LOCK *slots = m->layer_locks;
    memset(&slots[i], 0, sizeof slots[i]);
    slots[i].next = slots[0].next;
    slots[0].next = static_cast<uint16_t>(i);
}

// Takes slot i (after prev, or the entry's head when prev is 0) off its chain.
void S_unlink(SM_MASTER *m, SM_LAYER_ENTRY *entry, int32_t prev, int32_t i)
{
    SM_LAYER_LOCK *slots = m->layer_locks;
    if (prev == 0)
        entry->first_lock = slots[i].next;
    else
        slots[prev].next = slots[i].next;
    S_free_slot(m, i);
}

// A new lock for the request, linked after prev (or as the chain's head when
// prev is 0). 0, -50, or S_CORRUPT for a bad free chain.
int32_t S_add(SM_MASTER *m, SM_LAYER_ENTRY *entry, int32_t prev, const S_Request &r)
{
    if (S_nlocks(m) < 2 || m->layer_locks[0].next == 0)
        return ZE_LOCK_TABLE_FULL;
    SM_LAYER_LOCK *slots = m->layer_locks;
    int32_t i = slots[0].next;
    // A free slot is cleared: one with a holder means the chains cross.
    if (!S_valid(m, i) || slots[i].holder != 0 ||
        (slots[i].next != 0 && !S_valid(m, slots[i].next)))
        return S_CORRUPT;
    slots[0].next = slots[i].next;
    SM_LAYER_LOCK *lock = &slots[i];
    memset(lock, 0, sizeof *lock);
    lock->holder = r.holder;
    lock->layer_id = entry->layer_id;
    lock->type = r.type;
    lock->envelope = r.envelope;
    if (prev == 0)
        entry->first_lock = static_cast<uint16_t>(i);
    else
        slots[prev].next = static_cast<uint16_t>(i);
    return ZE_SUCCESS;
}

void S_print_internal_conflict(const S_Request &r, int32_t layer_id, const SM_LAYER_LOCK *held)
{
    fprintf(stderr, "INTERNAL LOCK CONFLICT ERROR\nINVALID LOCK REQUEST\n");
    fprintf(stderr, "PID %d, LAYER %d, LOCK_TYPE %d, ENVP (%d,%d,%d,%d)\n", r.holder, layer_id,
            r.type, r.envelope.minx, r.envelope.miny, r.envelope.maxx, r.envelope.maxy);
    SM_lock_display(held, stderr, 0, 1);
}

// The automatic-area rules (table entry 20).
S_Outcome S_auto_rule(const S_Request &r, int32_t layer_id, const SM_LAYER_LOCK *held)
{
    if (held->holder != r.holder) {
        bool whole_layer = r.type <= SM_LOCK_UPDATE_LAYER || held->type <= SM_LOCK_UPDATE_LAYER;
        return whole_layer || S_overlap(r.envelope, held->envelope) ? S_CONFLICT : S_GO_ON;
    }
    if (r.type != SM_LOCK_AUTO_AREA) {
        // An explicit lock beside the process's own automatic one: allowed.
        S_print_internal_conflict(r, layer_id, held);
        return S_GO_ON;
    }
    switch (held->type) {
    case SM_LOCK_AUTO_AREA:
        return S_CONFLICT;
    case SM_LOCK_UPDATE_LAYER:
        return S_GRANTED_AS_IS;
    case SM_LOCK_SHARED_AREA:
        return S_overlap(r.envelope, held->envelope) ? S_CONFLICT : S_GO_ON;
    case SM_LOCK_UPDATE_AREA:
        return S_within(r.envelope, held->envelope) ? S_GRANTED_AS_IS : S_GO_ON;
    default:
        return S_GO_ON;
    }
}

S_Outcome S_test(const S_Request &r, int32_t layer_id, const SM_LAYER_LOCK *held)
{
    int32_t rule = held->type >= 0 && held->type < S_TYPES ? S_COMPATIBLE[r.type][held->type] : 0;
    switch (rule) {
    case 1:
        return S_GO_ON;
    case 10:
        return S_overlap(r.envelope, held->envelope) ? S_CONFLICT : S_GO_ON;
    case 20:
        return S_auto_rule(r, layer_id, held);
    default:
        return S_CONFLICT;
    }
}

int32_t S_request(SM_MASTER *m, int32_t layer_id, const S_Request &r)
{
    SM_LAYER_ENTRY *entry = &m->layer_table[layer_id - 1];
    SM_LAYER_LOCK *slots = m->layer_locks;
    if (entry->first_lock == 0)
        return r.modify ? ZE_NO_SUCH_LOCK : S_add(m, entry, 0, r);

    int32_t prev = 0, own = 0;
    bool conflict = false;
    int32_t nlocks = S_nlocks(m);
    int32_t steps = 0;
    for (int32_t i = entry->first_lock; i != 0;) {
        if (!S_valid(m, i) || steps++ >= nlocks)
            return S_CORRUPT;
        SM_LAYER_LOCK *held = &slots[i];
        int32_t next = held->next;
        if (!sm_holder_alive(m, held->holder)) {
            S_unlink(m, entry, prev, i);
            i = next;
            continue;
        }
        if (held->holder == r.holder && held->type != SM_LOCK_AUTO_AREA &&
            r.type != SM_LOCK_AUTO_AREA) {
            own = i;
        } else if (!conflict) {
            S_Outcome outcome = S_test(r, layer_id, held);
            if (outcome == S_GRANTED_AS_IS)
                return ZE_SUCCESS;
            conflict = outcome == S_CONFLICT;
        }
        prev = i;
        i = next;
    }
    if (conflict)
        return ZE_LOCK_CONFLICT;
    if (own != 0) {
        SM_LAYER_LOCK *lock = &slots[own];
        lock->layer_id = entry->layer_id;
        lock->holder = r.holder;
        lock->type = r.type;
        lock->envelope = r.envelope;
        return ZE_SUCCESS;
    }
    if (r.modify)
        return ZE_NO_SUCH_LOCK;
    return S_add(m, entry, prev, r);
}

// Removes the holder's locks on the layer (the first only, unless all),
// automatic ones only when automatic_only; dead holders' locks on the way go
// too. 0, -48 when none was removed, or S_CORRUPT.
int32_t S_remove(SM_MASTER *m, int32_t layer_id, int32_t holder, bool automatic_only, bool all)
{
    SM_LAYER_ENTRY *entry = &m->layer_table[layer_id - 1];
    SM_LAYER_LOCK *slots = m->layer_locks;
    int32_t prev = 0, steps = 0, removed = 0;
    int32_t nlocks = S_nlocks(m);
    for (int32_t i = entry->first_lock; i != 0;) {
        if (!S_valid(m, i) || steps++ >= nlocks)
            return S_CORRUPT;
        int32_t next = slots[i].next;
        bool mine =
            slots[i].holder == holder && (!automatic_only || slots[i].type == SM_LOCK_AUTO_AREA);
        if (mine && (all || removed == 0)) {
            S_unlink(m, entry, prev, i);
            ++removed;
        } else if (!sm_holder_alive(m, slots[i].holder)) {
            S_unlink(m, entry, prev, i);
        } else {
            prev = i;
        }
        i = next;
    }
    return removed > 0 ? ZE_SUCCESS : ZE_NO_SUCH_LOCK;
}

// Runs one walk under mutex 1, once more after rebuilding a bad chain.
template <typename Walk> int32_t S_locked(SM_MASTER *m, Walk walk)
{
    if (sm_mutex_lock(m, 1) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t result = walk();
    if (result == S_CORRUPT) {
        sm_layer_locks_repair(m);
        result = walk();
        if (result == S_CORRUPT)
            result = ZE_FAILURE;
    }
    return sm_mutex_unlock(m, 1) == ZE_SUCCESS ? result : ZE_FAILURE;
}

int32_t S_lock(SM_MASTER *m, int32_t layer_id, int32_t type, const ENVELOPE *envelope, bool modify)
{
    int32_t result = sm_check_layer_id(m, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    if (type < 0 || type >= S_TYPES)
        return ZE_INVALID_ARGUMENT;
    S_Request r = {m->own_id, type, {0, 0, 0, 0}, modify};
    if (type >= SM_LOCK_SHARED_AREA && !envelope)
        return ZE_NULL_POINTER;
    if (envelope)
        r.envelope = *envelope;
    return S_locked(m, [&] { return S_request(m, layer_id, r); });
}

} // namespace

void sm_layer_locks_repair(SM_MASTER *m)
{
    int32_t nlocks = S_nlocks(m);
    if (nlocks <= 0)
        return;
    SM_LAYER_LOCK *slots = m->layer_locks;
    uint64_t marks[S_MAX_SLOTS / 64] = {};
    auto marked = [&](int32_t i) { return (marks[i >> 6] >> (i & 63)) & 1u; };
    int32_t nlayers = m->caps.nlayers;
    for (int32_t layer = 0; layer < nlayers; ++layer) {
        SM_LAYER_ENTRY *entry = &m->layer_table[layer];
        int32_t prev = 0;
        for (int32_t i = entry->first_lock; i != 0; i = slots[i].next) {
            if (!S_valid(m, i) || marked(i)) {
                // Cut the chain before the bad link.
                if (prev == 0)
                    entry->first_lock = 0;
                else
                    slots[prev].next = 0;
                break;
            }
            marks[i >> 6] |= uint64_t(1) << (i & 63);
            prev = i;
        }
    }
    uint16_t head = 0;
    for (int32_t i = nlocks - 1; i >= 1; --i) {
        if (marked(i))
            continue;
        memset(&slots[i], 0, sizeof slots[i]);
        slots[i].next = head;
        head = static_cast<uint16_t>(i);
    }
    memset(&slots[0], 0, sizeof slots[0]);
    slots[0].next = head;
}

int32_t SM_lock_add(SM_MASTER *master, int32_t layer_id, int32_t type, const ENVELOPE *envelope)
{
    return S_lock(master, layer_id, type, envelope, false);
}

int32_t SM_autolock_add(SM_MASTER *master, int32_t layer_id, const ENVELOPE *envelope)
{
    return S_lock(master, layer_id, SM_LOCK_AUTO_AREA, envelope, false);
}

int32_t SM_lock_modify(SM_MASTER *master, int32_t layer_id, int32_t type, const ENVELOPE *envelope)
{
    return S_lock(master, layer_id, type, envelope, true);
}

int32_t SM_lock_delete(SM_MASTER *master, int32_t layer_id)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    return S_locked(master,
                    [&] { return S_remove(master, layer_id, master->own_id, false, false); });
}

int32_t SM_autolock_delete(SM_MASTER *master, int32_t layer_id)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    return S_locked(master,
                    [&] { return S_remove(master, layer_id, master->own_id, true, false); });
}

int32_t SM_locks_delete_user(SM_MASTER *master, int32_t pid)
{
    if (!master)
        return ZE_NULL_POINTER;
    // Every lock of pid on every layer, in one hold of the mutex.
    int32_t result = S_locked(master, [&] {
        int32_t nlayers = master->caps.nlayers;
        for (int32_t layer_id = 1; layer_id <= nlayers; ++layer_id) {
            if (master->layer_table[layer_id - 1].first_lock == 0)
                continue;
            if (S_remove(master, layer_id, pid, false, true) == S_CORRUPT)
                return S_CORRUPT;
        }
        return ZE_SUCCESS;
    });
    return result == ZE_SUCCESS ? master->own_id : result;
}

int32_t SM_locks_find_on_layer(SM_MASTER *master, int32_t layer_id, int32_t take_mutex,
                               SM_LAYER_LOCK_FIND_CALLBACK callback, void *context)
{
    int32_t result = sm_check_layer_id(master, layer_id);
    if (result != ZE_SUCCESS)
        return result;
    if (!callback)
        return ZE_NULL_POINTER;
    if (take_mutex && sm_mutex_lock(master, 1) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t nlocks = S_nlocks(master), steps = 0;
    for (int32_t i = master->layer_table[layer_id - 1].first_lock;
         i != 0 && S_valid(master, i) && steps++ < nlocks; i = master->layer_locks[i].next) {
        result = callback(context, &master->layer_locks[i]);
        if (result != 0)
            break;
    }
    if (take_mutex && sm_mutex_unlock(master, 1) != ZE_SUCCESS)
        return ZE_FAILURE;
    return result;
}

int32_t SM_lock_display(const SM_LAYER_LOCK *lock, FILE *stream, int32_t index, int32_t verbose)
{
    if (!lock || !stream)
        return ZE_NULL_POINTER;
    if (index != 0)
        fprintf(stream, "%3d  ", index);
    fprintf(stream, "S-ID: %5d, Map Layer: %3d, Lock Type: %s", lock->holder, lock->layer_id,
            lock->type >= 0 && lock->type < S_TYPES ? S_NAMES[lock->type] : "Unknown");
    sm_lock_display_end(stream, lock->next, verbose);
    if (verbose && lock->type >= SM_LOCK_SHARED_AREA && lock->type <= SM_LOCK_AUTO_AREA)
        fprintf(
            stream, "    Lock Area: minx: %u, miny: %u, maxx: %u, maxy: %u\n",
            static_cast<unsigned>(lock->envelope.minx), static_cast<unsigned>(lock->envelope.miny),
            static_cast<unsigned>(lock->envelope.maxx), static_cast<unsigned>(lock->envelope.maxy));
    return ZE_SUCCESS;
}

int32_t SM_locks_display_used(SM_MASTER *master, SM_LAYER_LOCK_LIST_CALLBACK callback)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (!callback)
        fputs("LOCKS IN USE:\n", stderr);
    int32_t count = 0;
    int32_t nlocks = S_nlocks(master);
    for (int32_t i = 0; i < nlocks; ++i) {
        const SM_LAYER_LOCK *lock = &master->layer_locks[i];
        if (lock->holder == 0)
            continue;
        if (callback)
            callback(lock);
        else
            SM_lock_display(lock, stderr, 0, 1);
        ++count;
    }
    return count;
}
