// Table locks (sm_table_lock.h) on the chained lock tables
// (sm_lock_chain_internal.h). A held lock answers a request by the rules
// below, with "same" the same holder and "ss" the same table id; a
// conversion ends the walk for a shared request, while an exclusive one still
// tests the other holders.
#include "server/svrsys/sm_lock_chain_internal.h"

#include "base/util/zel_errors.h"

#include <stddef.h>

namespace
{

constexpr int32_t S_TYPES = 3; /* 1 and 2; a held type 0 is never made */

// clang-format off
const uint8_t S_RULES[S_TYPES * S_TYPES] = {
    /* held:  0                    1                        2 */
    /* 0 */   SM_RULE_NONE,        SM_RULE_NONE,            SM_RULE_NONE,
    /* 1 */   SM_RULE_CONFLICT_SS, SM_RULE_HAVE_SS,         SM_RULE_CONVERT_SS_ELSE,
    /* 2 */   SM_RULE_CONFLICT_SS, SM_RULE_CONVERT_SS_ELSE, SM_RULE_HAVE_SS_ELSE,
};
// clang-format on

const char *S_name(int32_t type)
{
    switch (type) {
    case SM_TABLE_LOCK_SHARED:
        return "Shared Table";
    case SM_TABLE_LOCK_EXCLUSIVE:
        return "Exclusive Table";
    default:
        return "Unknown";
    }
}

void S_print(const void *slot, FILE *stream, int32_t index, int32_t verbose)
{
    SM_table_lock_display(static_cast<const SM_TABLE_LOCK *>(slot), stream, index, verbose);
}

// Hands a listed lock to the host's callback (the context).
void S_emit(void *context, const void *slot)
{
    (*static_cast<SM_TABLE_LOCK_LIST_CALLBACK *>(context))(
        static_cast<const SM_TABLE_LOCK *>(slot));
}

struct S_Find {
    int32_t table_id;
    SM_TABLE_LOCK_FIND_CALLBACK callback;
    void *context;
    int32_t result;
};

void S_find_visit(void *context, const void *slot)
{
    S_Find *find = static_cast<S_Find *>(context);
    const SM_TABLE_LOCK *lock = static_cast<const SM_TABLE_LOCK *>(slot);
    if (lock->table_id == find->table_id)
        find->result = find->callback(find->context, lock);
}

} // namespace

SM_CHAIN_TABLE sm_table_lock_table(SM_MASTER *master)
{
    int32_t *w = sm_header(master);
    SM_CHAIN_TABLE t;
    t.master = master;
    t.slots = reinterpret_cast<char *>(master->table_locks);
    t.slot_size = sizeof(SM_TABLE_LOCK);
    t.capacity = master->caps.ntablelocks;
    t.key_size = sizeof(int32_t);
    t.next_offset = offsetof(SM_TABLE_LOCK, next);
    t.type_offset = offsetof(SM_TABLE_LOCK, type);
    t.used_head = &w[SM_HW_TABLE_USED];
    t.free_head = &w[SM_HW_TABLE_FREE];
    t.count = &w[SM_HW_TABLE_COUNT];
    t.mutex = 9;
    t.rules = S_RULES;
    t.types = S_TYPES;
    t.convert_ends = 1u << SM_TABLE_LOCK_SHARED;
    t.heading = "TABLE LOCKS IN USE:\n";
    t.print = S_print;
    return t;
}

int32_t SM_table_lock_add(SM_MASTER *master, int32_t table_id, int32_t type)
{
    if (!master)
        return ZE_NULL_POINTER;
    if (type != SM_TABLE_LOCK_SHARED && type != SM_TABLE_LOCK_EXCLUSIVE)
        return ZE_INVALID_ARGUMENT;
    SM_CHAIN_TABLE table = sm_table_lock_table(master);
    SM_CHAIN_REQUEST request = {master->own_id, &table_id, type};
    return sm_chain_request(&table, &request);
}

int32_t SM_table_lock_delete(SM_MASTER *master, int32_t table_id)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_table_lock_table(master);
    return sm_chain_remove_first(&table, master->own_id, &table_id, nullptr, 0);
}

int32_t SM_table_locks_delete_user(SM_MASTER *master, int32_t pid)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_table_lock_table(master);
    return sm_chain_remove_holder(&table, pid);
}

int32_t SM_table_locks_display_used(SM_MASTER *master, SM_TABLE_LOCK_LIST_CALLBACK callback)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_table_lock_table(master);
    return sm_chain_list(&table, callback ? S_emit : nullptr, &callback);
}

int32_t SM_table_lock_display(const SM_TABLE_LOCK *lock, FILE *stream, int32_t index,
                              int32_t verbose)
{
    if (!lock || !stream)
        return ZE_NULL_POINTER;
    if (index != 0)
        fprintf(stream, "%3d  ", index);
    fprintf(stream, "ZEL ID: %5d, table: %3d, Lock Type: %s", lock->holder, lock->table_id,
            S_name(lock->type));
    sm_lock_display_end(stream, lock->next, verbose);
    return ZE_SUCCESS;
}

int32_t SM_locks_find_on_table(SM_MASTER *master, int32_t table_id, int32_t take_mutex,
                               SM_TABLE_LOCK_FIND_CALLBACK callback, void *context)
{
    if (!master || !callback)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_table_lock_table(master);
    if (take_mutex && sm_chain_lock(&table) != ZE_SUCCESS)
        return ZE_FAILURE;
    S_Find find = {table_id, callback, context, 0};
    sm_chain_visit(&table, S_find_visit, &find);
    if (take_mutex && sm_chain_unlock(&table) != ZE_SUCCESS)
        return ZE_FAILURE;
    return find.result;
}
