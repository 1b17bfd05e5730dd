// State locks (sm_state_lock.h) on the chained lock tables
// (sm_lock_chain_internal.h). A held lock answers a request by the rules
// below, with "same" the same holder and "ss" the same state id; the tree
// types ignore the state id. A conversion ends the walk for the downgrading
// requests 0, 2 and 4; for 1, 3 and 5 the other holders are still tested.
#include "server/svrsys/sm_lock_chain_internal.h"

#include "base/util/zel_errors.h"

#include <stddef.h>

namespace
{

constexpr int32_t S_TYPES = 6;

// clang-format off
const uint8_t S_RULES[S_TYPES * S_TYPES] = {
    /* held:  0                          1                          2                          3                     4                     5 */
    /* 0 */   SM_RULE_HAVE_SAME,         SM_RULE_CONVERT_SAME_ELSE, SM_RULE_NONE,              SM_RULE_CONFLICT,     SM_RULE_NONE,            SM_RULE_CONFLICT,
    /* 1 */   SM_RULE_CONVERT_SAME_ELSE, SM_RULE_HAVE_SAME_ELSE,    SM_RULE_CONFLICT,          SM_RULE_CONFLICT,     SM_RULE_CONFLICT,        SM_RULE_CONFLICT,
    /* 2 */   SM_RULE_NONE,              SM_RULE_CONFLICT,          SM_RULE_HAVE_SS,           SM_RULE_CONVERT_SS_ELSE, SM_RULE_NONE,        SM_RULE_CONFLICT_SS,
    /* 3 */   SM_RULE_CONFLICT,          SM_RULE_CONFLICT,          SM_RULE_CONVERT_SS_ELSE,   SM_RULE_HAVE_SS_ELSE, SM_RULE_CONFLICT_SS,     SM_RULE_CONFLICT_SS,
    /* 4 */   SM_RULE_NONE,              SM_RULE_CONFLICT,          SM_RULE_NONE,              SM_RULE_CONFLICT_SS,  SM_RULE_HAVE_SS,         SM_RULE_CONVERT_SS_ELSE,
    /* 5 */   SM_RULE_CONFLICT,          SM_RULE_CONFLICT,          SM_RULE_CONFLICT_SS_OTHER, SM_RULE_CONFLICT_SS,  SM_RULE_CONVERT_SS_ELSE, SM_RULE_HAVE_SS_ELSE,
};
// clang-format on

const char *const S_NAMES[S_TYPES] = {"Shared Tree",       "Exclusive Tree",
                                      "Shared State",      "Exclusive State",
                                      "Auto Shared State", "Auto Exclusive State"};

void S_print(const void *slot, FILE *stream, int32_t index, int32_t verbose)
{
    SM_state_lock_display(static_cast<const SM_STATE_LOCK *>(slot), stream, index, verbose);
}

// Hands a listed lock to the host's callback (the context).
void S_emit(void *context, const void *slot)
{
    (*static_cast<SM_STATE_LOCK_LIST_CALLBACK *>(context))(
        static_cast<const SM_STATE_LOCK *>(slot));
}

int S_automatic_is(int32_t type, int32_t flag)
{
    return (type >= SM_STATE_LOCK_AUTO_SHARED_STATE) == (flag != 0);
}

} // namespace

SM_CHAIN_TABLE sm_state_lock_table(SM_MASTER *master)
{
    int32_t *w = sm_header(master);
    SM_CHAIN_TABLE t;
    t.master = master;
    t.slots = reinterpret_cast<char *>(master->state_locks);
    t.slot_size = sizeof(SM_STATE_LOCK);
    t.capacity = master->caps.nstatelocks;
    t.key_size = sizeof(int32_t);
    t.next_offset = offsetof(SM_STATE_LOCK, next);
    t.type_offset = offsetof(SM_STATE_LOCK, type);
    t.used_head = &w[SM_HW_STATE_USED];
    t.free_head = &w[SM_HW_STATE_FREE];
    t.count = &w[SM_HW_STATE_COUNT];
    t.mutex = 6;
    t.rules = S_RULES;
    t.types = S_TYPES;
    t.convert_ends = (1u << 0) | (1u << 2) | (1u << 4);
    t.heading = "STATE LOCKS IN USE:\n";
    t.print = S_print;
    return t;
}

int32_t SM_state_lock_add(SM_MASTER *master, int32_t state_id, int32_t type)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (type < 0 || type >= S_TYPES)
        return ZE_INVALID_ARGUMENT;
    SM_CHAIN_TABLE table = sm_state_lock_table(master);
    SM_CHAIN_REQUEST request = {master->own_id, &state_id, type};
    return sm_chain_request(&table, &request);
}

int32_t SM_state_lock_delete(SM_MASTER *master, int32_t state_id, int32_t auto_flag)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_state_lock_table(master);
    return sm_chain_remove_first(&table, master->own_id, &state_id, S_automatic_is, auto_flag);
}

int32_t SM_state_locks_delete_user(SM_MASTER *master, int32_t pid)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_state_lock_table(master);
    return sm_chain_remove_holder(&table, pid);
}

int32_t SM_state_locks_display_used(SM_MASTER *master, SM_STATE_LOCK_LIST_CALLBACK callback)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_state_lock_table(master);
    return sm_chain_list(&table, callback ? S_emit : nullptr, &callback);
}

int32_t SM_state_lock_display(const SM_STATE_LOCK *lock, FILE *stream, int32_t index,
                              int32_t verbose)
{
    if (!lock || !stream)
        return ZE_NULL_POINTER;
    if (index != 0)
        fprintf(stream, "%3d  ", index);
    fprintf(stream, "S-ID: %5d, State: %3d, Lock Type: %s", lock->holder, lock->state_id,
            lock->type >= 0 && lock->type < S_TYPES ? S_NAMES[lock->type] : "Unknown");
    sm_lock_display_end(stream, lock->next, verbose);
    return ZE_SUCCESS;
}
