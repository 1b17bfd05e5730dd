// Object locks (sm_object_lock.h) on the chained lock tables
// (sm_lock_chain_internal.h). The identity key is the object id, object type
// and application together; the holder is the session in the caller's record.
// A held lock answers a request by the rules below, with "same" the same
// holder and "so" the same object; a conversion ends the walk for a shared
// request, while the others still test the other holders.
#include "server/svrsys/sm_lock_chain_internal.h"

#include "base/util/zel_errors.h"

#include <stddef.h>

namespace
{

constexpr int32_t S_TYPES = 3; /* requests 0 to 2; a held type 3 is never made */

// clang-format off
const uint8_t S_RULES[S_TYPES * S_TYPES] = {
    /* held:  0                          1                        2 */
    /* 0 */   SM_RULE_HAVE_SS,           SM_RULE_CONVERT_SS_ELSE, SM_RULE_CONFLICT_SS,
    /* 1 */   SM_RULE_CONVERT_SS_ELSE,   SM_RULE_HAVE_SS_ELSE,    SM_RULE_CONFLICT_SS,
    /* 2 */   SM_RULE_CONFLICT_SS_OTHER, SM_RULE_HAVE_SS_ELSE,    SM_RULE_HAVE_SS_ELSE,
};
// clang-format on

const char *const S_NAMES[] = {"Shared Object", "Exclusive Object", "Auto Shared Object",
                               "Auto Exclusive Object"};

const char *S_application(int32_t application)
{
    switch (application) {
    case SM_OBJECT_APP_USER:
        return "User";
    case SM_OBJECT_APP_INTERNAL:
        return "OrvekZEL Internal";
    case SM_OBJECT_APP_VORNBASE:
        return "Vornbase";
    default:
        return "Other";
    }
}

void S_print(const void *slot, FILE *stream, int32_t index, int32_t verbose)
{
    SM_object_lock_display(static_cast<const SM_OBJECT_LOCK *>(slot), stream, index, verbose);
}

// Hands a listed lock to the host's callback (the context).
void S_emit(void *context, const void *slot)
{
    (*static_cast<SM_OBJECT_LOCK_LIST_CALLBACK *>(context))(
        static_cast<const SM_OBJECT_LOCK *>(slot));
}

int S_automatic_is(int32_t type, int32_t flag)
{
    return (type == SM_OBJECT_LOCK_AUTO_SHARED) == (flag != 0);
}

struct S_Find {
    const SM_OBJECT_LOCK_RECORD *example;
    SM_OBJECT_LOCK_FIND_CALLBACK callback;
    void *context;
    int32_t result;
};

void S_find_visit(void *context, const void *slot)
{
    S_Find *find = static_cast<S_Find *>(context);
    const SM_OBJECT_LOCK *lock = static_cast<const SM_OBJECT_LOCK *>(slot);
    const SM_OBJECT_LOCK_RECORD *e = find->example;
    if ((e->object_id == 0 || e->object_id == lock->object_id) &&
        (e->object_type == 0 || e->object_type == lock->object_type) &&
        (e->application == 0 || e->application == lock->application))
        find->result = find->callback(find->context, lock);
}

} // namespace

SM_CHAIN_TABLE sm_object_lock_table(SM_MASTER *master)
{
    int32_t *w = sm_header(master);
    SM_CHAIN_TABLE t;
    t.master = master;
    t.slots = reinterpret_cast<char *>(master->object_locks);
    t.slot_size = sizeof(SM_OBJECT_LOCK);
    t.capacity = master->caps.nobjlocks;
    t.key_size = 3 * sizeof(int32_t);
    t.next_offset = offsetof(SM_OBJECT_LOCK, next);
    t.type_offset = offsetof(SM_OBJECT_LOCK, type);
    t.used_head = &w[SM_HW_OBJECT_USED];
    t.free_head = &w[SM_HW_OBJECT_FREE];
    t.count = &w[SM_HW_OBJECT_COUNT];
    t.mutex = 14;
    t.rules = S_RULES;
    t.types = S_TYPES;
    t.convert_ends = 1u << SM_OBJECT_LOCK_SHARED;
    t.heading = "OBJECT LOCKS IN USE:\n";
    t.print = S_print;
    return t;
}

int32_t SM_object_lock_add(SM_MASTER *master, const SM_OBJECT_LOCK_RECORD *record, int32_t type)
{
    if (!master || !record)
        return ZE_NULL_POINTER;
    if (type < 0 || type >= S_TYPES)
        return ZE_INVALID_ARGUMENT;
    SM_CHAIN_TABLE table = sm_object_lock_table(master);
    SM_CHAIN_REQUEST request = {record->holder, &record->object_id, type};
    return sm_chain_request(&table, &request);
}

int32_t SM_object_lock_delete(SM_MASTER *master, const SM_OBJECT_LOCK_RECORD *record,
                              int32_t auto_flag)
{
    if (!master || !record)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_object_lock_table(master);
    return sm_chain_remove_first(&table, record->holder, &record->object_id, S_automatic_is,
                                 auto_flag);
}

int32_t SM_object_locks_delete_user(SM_MASTER *master, int32_t session_id)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_object_lock_table(master);
    return sm_chain_remove_holder(&table, session_id);
}

int32_t SM_object_locks_display_used(SM_MASTER *master, SM_OBJECT_LOCK_LIST_CALLBACK callback)
{
    if (!master)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_object_lock_table(master);
    return sm_chain_list(&table, callback ? S_emit : nullptr, &callback);
}

int32_t SM_object_lock_display(const SM_OBJECT_LOCK *lock, FILE *stream, int32_t index,
                               int32_t verbose)
{
    if (!lock || !stream)
        return ZE_NULL_POINTER;
    if (index != 0)
        fprintf(stream, "%3d  ", index);
    fprintf(stream, "SID: %5d, Object Id: %3d, Object Type: %3d Application: [%s]  Lock Type: %s",
            lock->holder, lock->object_id, lock->object_type, S_application(lock->application),
            lock->type >= 0 && lock->type <= SM_OBJECT_LOCK_AUTO_EXCLUSIVE ? S_NAMES[lock->type]
                                                                           : "Unknown");
    sm_lock_display_end(stream, lock->next, verbose);
    return ZE_SUCCESS;
}

int32_t SM_object_locks_find_by_example(SM_MASTER *master, const SM_OBJECT_LOCK_RECORD *record,
                                        int32_t take_mutex, SM_OBJECT_LOCK_FIND_CALLBACK callback,
                                        void *context)
{
    if (!master || !record || !callback)
        return ZE_NULL_POINTER;
    SM_CHAIN_TABLE table = sm_object_lock_table(master);
    if (take_mutex && sm_chain_lock(&table) != ZE_SUCCESS)
        return ZE_FAILURE;
    S_Find find = {record, callback, context, 0};
    sm_chain_visit(&table, S_find_visit, &find);
    if (take_mutex && sm_chain_unlock(&table) != ZE_SUCCESS)
        return ZE_FAILURE;
    return find.result;
}
