// The chained lock tables (sm_lock_chain_internal.h): walks, requests,
// removals and the rebuild of a table that a dead holder left half-changed.
// Writes are ordered so that a holder dying between any two of them can only
// leave a slot on neither chain or a count off by one, never a chain that
// points into the other one: a slot leaves the free chain, is filled and only
// then joins the used chain; a removed slot leaves the used chain before it
// is cleared and joins the free chain.
#include "server/svrsys/sm_lock_chain_internal.h"

#include "base/util/zel_errors.h"
#include "server/svrsys/subprograms.h"

#include <string.h>

namespace
{

constexpr int32_t S_END = SM_CHAIN_END_WORD;
constexpr int32_t S_CORRUPT = 1; /* internal: the walk met a bad chain */
constexpr int32_t S_MAX_SLOTS = 0x10000;

char *S_slot(const SM_CHAIN_TABLE *t, int32_t i)
{
    return t->slots + static_cast<size_t>(i) * t->slot_size;
}

int32_t S_holder(const SM_CHAIN_TABLE *t, int32_t i)
{
    int32_t holder;
    memcpy(&holder, S_slot(t, i), sizeof holder);
    return holder;
}

int32_t S_type(const SM_CHAIN_TABLE *t, int32_t i)
{
    int16_t type;
    memcpy(&type, S_slot(t, i) + t->type_offset, sizeof type);
    return type;
}

void S_set_type(const SM_CHAIN_TABLE *t, int32_t i, int32_t type)
{
    int16_t value = static_cast<int16_t>(type);
    memcpy(S_slot(t, i) + t->type_offset, &value, sizeof value);
}

// The next slot as a header word would hold it: an index or S_END.
int32_t S_next(const SM_CHAIN_TABLE *t, int32_t i)
{
    uint16_t next;
    memcpy(&next, S_slot(t, i) + t->next_offset, sizeof next);
    return next == SM_CHAIN_END_SLOT ? S_END : next;
}

void S_set_next(const SM_CHAIN_TABLE *t, int32_t i, int32_t next)
{
    uint16_t value = static_cast<uint16_t>(next == S_END ? SM_CHAIN_END_SLOT : next);
    memcpy(S_slot(t, i) + t->next_offset, &value, sizeof value);
}

bool S_valid(const SM_CHAIN_TABLE *t, int32_t i)
{
    return i >= 0 && i < t->capacity;
}

// A free slot is cleared but for its next field: one that is not means the
// free chain runs into a lock.
bool S_cleared(const SM_CHAIN_TABLE *t, int32_t i)
{
    const char *slot = S_slot(t, i);
    for (int32_t b = 0; b < t->slot_size; ++b)
        if (slot[b] != 0 && (b < t->next_offset || b >= t->next_offset + 2))
            return false;
    return true;
}

bool S_same_key(const SM_CHAIN_TABLE *t, int32_t i, const void *key)
{
    return memcmp(S_slot(t, i) + sizeof(int32_t), key, t->key_size) == 0;
}

// Takes slot i (after prev, or the head when prev is S_END) off the used
// chain and puts it, cleared, at the front of the free chain.
void S_unlink(SM_CHAIN_TABLE *t, int32_t prev, int32_t i)
{
    int32_t next = S_next(t, i);
    if (prev == S_END)
        *t->used_head = next;
    else
        S_set_next(t, prev, next);
    memset(S_slot(t, i), 0, t->slot_size);
    S_set_next(t, i, *t->free_head);
    *t->free_head = i;
    if (*t->count > 0)
        *t->count -= 1;
}

// Walks the used chain and calls step(prev, i) for each slot; step answers
// 0 to go on (prev becomes i), 1 to go on after removing i (prev stays), 2 to
// stop. Returns the last step answer (0 at the end) or S_CORRUPT.
template <typename Step> int32_t S_walk(SM_CHAIN_TABLE *t, Step step)
{
    int32_t prev = S_END;
    int32_t i = *t->used_head;
    for (int32_t steps = 0; i != S_END; ++steps) {
        if (!S_valid(t, i) || steps >= t->capacity)
            return S_CORRUPT;
        int32_t next = S_next(t, i);
        int32_t answer = step(prev, i);
        if (answer == 2)
            return 2;
        if (answer == 0)
            prev = i;
        i = next;
    }
    return 0;
}

// Removes every lock whose holder is no longer alive; the number removed, or
// -1 for a bad chain.
int32_t S_remove_dead(SM_CHAIN_TABLE *t)
{
    int32_t removed = 0;
    int32_t walked = S_walk(t, [&](int32_t prev, int32_t i) {
        if (sm_holder_alive(t->master, S_holder(t, i)))
            return 0;
        S_unlink(t, prev, i);
        ++removed;
        return 1;
    });
    return walked == S_CORRUPT ? -1 : removed;
}

// A new lock at the front of the used chain: -50 when no slot can be had,
// S_CORRUPT for a bad chain.
int32_t S_add(SM_CHAIN_TABLE *t, const SM_CHAIN_REQUEST *request)
{
    if (*t->free_head == S_END) {
        int32_t removed = S_remove_dead(t);
        if (removed < 0)
            return S_CORRUPT;
        if (removed == 0)
            return ZE_LOCK_TABLE_FULL;
    }
    int32_t i = *t->free_head;
    if (!S_valid(t, i) || !S_cleared(t, i))
        return S_CORRUPT;
    int32_t next_free = S_next(t, i);
    if (next_free != S_END && !S_valid(t, next_free))
        return S_CORRUPT;
    *t->free_head = next_free;
    char *slot = S_slot(t, i);
    memset(slot, 0, t->slot_size);
    memcpy(slot, &request->holder, sizeof request->holder);
    memcpy(slot + sizeof(int32_t), request->key, t->key_size);
    S_set_type(t, i, request->type);
    S_set_next(t, i, *t->used_head);
    *t->used_head = i;
    *t->count += 1;
    return ZE_SUCCESS;
}

int32_t S_verdict(const SM_CHAIN_TABLE *t, const SM_CHAIN_REQUEST *request, int32_t i)
{
    int32_t held = S_type(t, i);
    int32_t rule = held >= 0 && held < t->types ? t->rules[request->type * t->types + held]
                                                : int32_t(SM_RULE_CONFLICT_SS);
    bool same = S_holder(t, i) == request->holder;
    bool ss = S_same_key(t, i, request->key);
    switch (rule) {
    case SM_RULE_CONFLICT:
        return SM_VERDICT_CONFLICT;
    case SM_RULE_HAVE_SAME:
        return same ? SM_VERDICT_HAVE : SM_VERDICT_NONE;
    case SM_RULE_CONVERT_SAME_ELSE:
        return same ? SM_VERDICT_CONVERT : SM_VERDICT_CONFLICT;
    case SM_RULE_HAVE_SAME_ELSE:
        return same ? SM_VERDICT_HAVE : SM_VERDICT_CONFLICT;
    case SM_RULE_HAVE_SS:
        return same && ss ? SM_VERDICT_HAVE : SM_VERDICT_NONE;
    case SM_RULE_CONVERT_SS_ELSE:
        return same && ss ? SM_VERDICT_CONVERT : ss ? SM_VERDICT_CONFLICT : SM_VERDICT_NONE;
    case SM_RULE_HAVE_SS_ELSE:
        return same && ss ? SM_VERDICT_HAVE : ss ? SM_VERDICT_CONFLICT : SM_VERDICT_NONE;
    case SM_RULE_CONFLICT_SS:
        return ss ? SM_VERDICT_CONFLICT : SM_VERDICT_NONE;
    case SM_RULE_CONFLICT_SS_OTHER:
        return ss && !same ? SM_VERDICT_CONFLICT : SM_VERDICT_NONE;
    default:
        return SM_VERDICT_NONE;
    }
}

int32_t S_request(SM_CHAIN_TABLE *t, const SM_CHAIN_REQUEST *request)
{
    int32_t remembered = S_END;
    int32_t result = ZE_SUCCESS;
    bool have = false;
    int32_t walked = S_walk(t, [&](int32_t prev, int32_t i) {
        switch (S_verdict(t, request, i)) {
        case SM_VERDICT_HAVE:
            have = true;
            return 2;
        case SM_VERDICT_CONVERT:
            remembered = i;
            return (t->convert_ends >> request->type) & 1u ? 2 : 0;
        case SM_VERDICT_CONFLICT:
            if (sm_holder_alive(t->master, S_holder(t, i))) {
                result = ZE_LOCK_CONFLICT;
                return 2;
            }
            S_unlink(t, prev, i);
            return 1;
        default:
            return 0;
        }
    });
    if (walked == S_CORRUPT)
        return S_CORRUPT;
    if (result != ZE_SUCCESS)
        return result;
    if (have)
        return ZE_SUCCESS; // it holds what it asks; nothing changes
    if (remembered != S_END) {
        S_set_type(t, remembered, request->type);
        return ZE_SUCCESS;
    }
    return S_add(t, request);
}

} // namespace

int32_t sm_holder_alive(SM_MASTER *master, int32_t holder)
{
    // The requester is alive, also in the control process, which is no child.
    if (holder == master->own_id)
        return 1;
    return SubPrograms_ProgramAlive(holder) != 0;
}

int32_t sm_chain_lock(SM_CHAIN_TABLE *table)
{
    return sm_mutex_lock(table->master, table->mutex);
}

int32_t sm_chain_unlock(SM_CHAIN_TABLE *table)
{
    return sm_mutex_unlock(table->master, table->mutex);
}

void sm_lock_tables_repair(SM_MASTER *master, int32_t number)
{
    SM_CHAIN_TABLE table;
    switch (number) {
    case 1:
        sm_layer_locks_repair(master);
        return;
    case 4:
        sm_registration_chain_repair(master);
        return;
    case 6:
        table = sm_state_lock_table(master);
        break;
    case 9:
        table = sm_table_lock_table(master);
        break;
    case 14:
        table = sm_object_lock_table(master);
        break;
    default:
        return;
    }
    sm_chain_repair(&table);
}

void sm_chain_repair(SM_CHAIN_TABLE *t)
{
    uint64_t marks[S_MAX_SLOTS / 64] = {};
    auto marked = [&](int32_t i) { return (marks[i >> 6] >> (i & 63)) & 1u; };
    int32_t kept = 0;
    int32_t prev = S_END;
    for (int32_t i = *t->used_head; i != S_END; i = S_next(t, i)) {
        if (!S_valid(t, i) || marked(i)) {
            // Cut the chain before the bad link.
            if (prev == S_END)
                *t->used_head = S_END;
            else
                S_set_next(t, prev, S_END);
            break;
        }
        marks[i >> 6] |= uint64_t(1) << (i & 63);
        ++kept;
        prev = i;
    }
    int32_t head = S_END;
    for (int32_t i = t->capacity - 1; i >= 0; --i) {
        if (marked(i))
            continue;
        memset(S_slot(t, i), 0, t->slot_size);
        S_set_next(t, i, head);
        head = i;
    }
    *t->free_head = head;
    *t->count = kept;
}

namespace
{

// Runs one operation under the table's mutex; -1 when the mutex fails.
template <typename Operation> int32_t S_locked(SM_CHAIN_TABLE *table, Operation operation)
{
    if (sm_chain_lock(table) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t result = operation();
    return sm_chain_unlock(table) == ZE_SUCCESS ? result : ZE_FAILURE;
}

// Runs a walk again once after rebuilding a table whose chain it found bad.
template <typename Walk> int32_t S_repairing(SM_CHAIN_TABLE *table, Walk walk)
{
    int32_t result = walk();
    if (result == S_CORRUPT) {
        sm_chain_repair(table);
        result = walk();
    }
    return result == S_CORRUPT ? ZE_FAILURE : result;
}

} // namespace

int32_t sm_chain_request(SM_CHAIN_TABLE *table, const SM_CHAIN_REQUEST *request)
{
    return S_locked(table,
                    [&] { return S_repairing(table, [&] { return S_request(table, request); }); });
}

int32_t sm_chain_remove_first(SM_CHAIN_TABLE *table, int32_t holder, const void *key,
                              int (*type_matches)(int32_t type, int32_t flag), int32_t flag)
{
    return S_locked(table, [&] {
        return S_repairing(table, [&] {
            int32_t walked = S_walk(table, [&](int32_t prev, int32_t i) {
                if (S_holder(table, i) != holder || !S_same_key(table, i, key) ||
                    (type_matches && !type_matches(S_type(table, i), flag)))
                    return 0;
                S_unlink(table, prev, i);
                return 2;
            });
            if (walked == S_CORRUPT)
                return S_CORRUPT;
            return walked == 2 ? ZE_SUCCESS : ZE_NO_SUCH_LOCK;
        });
    });
}

int32_t sm_chain_remove_holder(SM_CHAIN_TABLE *table, int32_t holder)
{
    return S_locked(table, [&] {
        return S_repairing(table, [&] {
            int32_t walked = S_walk(table, [&](int32_t prev, int32_t i) {
                if (S_holder(table, i) != holder)
                    return 0;
                S_unlink(table, prev, i);
                return 1;
            });
            return walked == S_CORRUPT ? S_CORRUPT : ZE_SUCCESS;
        });
    });
}

int32_t sm_chain_visit(SM_CHAIN_TABLE *table, void (*visit)(void *context, const void *slot),
                       void *context)
{
    int32_t count = 0;
    // A bad chain is only read here: what was visited before it stands.
    S_walk(table, [&](int32_t, int32_t i) {
        visit(context, S_slot(table, i));
        ++count;
        return 0;
    });
    return count;
}

int32_t sm_chain_list(SM_CHAIN_TABLE *table, void (*emit)(void *context, const void *slot),
                      void *context)
{
    if (sm_chain_lock(table) != ZE_SUCCESS)
        return ZE_FAILURE;
    int32_t count;
    if (emit) {
        count = sm_chain_visit(table, emit, context);
    } else {
        fputs(table->heading, stderr);
        count = sm_chain_visit(
            table,
            [](void *t, const void *slot) {
                static_cast<SM_CHAIN_TABLE *>(t)->print(slot, stderr, 0, 1);
            },
            table);
    }
    return sm_chain_unlock(table) == ZE_SUCCESS ? count : ZE_FAILURE;
}

void sm_lock_display_end(FILE *stream, uint16_t next, int32_t verbose)
{
    if (verbose)
        fprintf(stream, ", Next: %u\n", static_cast<unsigned>(next));
    else
        fputs("\n", stream);
}
