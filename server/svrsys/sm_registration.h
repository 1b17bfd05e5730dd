// The registration cache of the instance's shared memory: one slot per
// registration id (1 to nregs) holding a table's REGISTRATION in the server's
// native code page, the cached slots chained in ascending id order, and per
// slot the next row id of tables whose row ids the engine hands out. Readers
// (get, time, lists, find) share the cache's reader/writer guard, writers hold
// it alone; every slot change is also made under mutex 4, which the row-id
// calls take alone, so a row-id call reads a whole slot and no two processes
// are given the same row ids. The lock order is the guard before mutex 4.
//
// Records handed out carry the tag "ReG", the slot's id and strings in the
// client's code page, and the slot's modification time in permissions. Every
// call answers -219 for an id outside 1 to nregs before it touches anything,
// -65 for a null handle or a null argument it needs, and -1 when the guard or
// the mutex cannot be taken.
#ifndef SM_REGISTRATION_H
#define SM_REGISTRATION_H

#include <stdint.h>

#include "base/util/ve_bitmap.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"
#include "server/svrsys/sm_master.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Reads and may change a cached registration and its next row id (0 = not
 * seeded); nonzero gives up and changes nothing. Called holding the guard and
 * mutex 4: it must not call the cache itself. */
typedef int32_t (*SM_REGISTRATION_OPERATE)(void *context, REGISTRATION *registration,
                                           int32_t *next_row_id);
/* The first free row id of the registered table (1 or more; 0 is taken as 1),
 * or a negative engine code. Called holding mutex 4: it must not call the
 * cache. */
typedef int32_t (*SM_ROWID_SEED)(void *context, const REGISTRATION *registration);

/* The slot's registration (of a slot never set: empty strings, zero numbers,
 * the tag). 0. */
ZEL_API int32_t SM_shared_registration_get(SM_MASTER *master, int32_t id,
                                           REGISTRATION *registration);
/* Stores the registration in slot id and caches it (each string cut to its
 * field, converted to the native code page, and the names that identifiers
 * fold lower-cased; a registration date of 0 becomes now). Its next row id
 * becomes 0 and its modification time now, or one more than before when that
 * is not earlier. 0. */
ZEL_API int32_t SM_shared_registration_set(SM_MASTER *master, int32_t id,
                                           const REGISTRATION *registration);
/* Takes the slot out of the cache (its id stays taken): 0, also when it was
 * not cached. */
ZEL_API int32_t SM_shared_registration_clear(SM_MASTER *master, int32_t id);
/* Gives a cached slot a new modification time (as set does); a slot that is
 * not cached is left alone. 0. */
ZEL_API int32_t SM_shared_registration_touch(SM_MASTER *master, int32_t id);
/* The slot's modification time; 0 when it is not cached or the guard fails;
 * -219, -65. */
ZEL_API int32_t SM_registration_time_last_modified(SM_MASTER *master, int32_t id);
/* Lets callback read and change a cached registration and its next row id;
 * a changed record is stored as set stores it (the chain stays). 0; the
 * callback's nonzero result (nothing is written); -219 also for a slot that is
 * not cached. */
ZEL_API int32_t SM_shared_registration_operate(SM_MASTER *master, int32_t id,
                                               SM_REGISTRATION_OPERATE callback, void *context);
/* Hands out *got = count row ids from *first of a cached registration whose
 * flags have REG_ROWID_ENGINE, seeding its next row id first when it is 0.
 * 0; -219 (not cached); -114 (the engine does not hand out its row ids); the
 * seed's negative result; -65 without a seed when one is needed; -66 for a
 * negative count; -1 also when the ids would pass 2^31-1. */
ZEL_API int32_t SM_registration_get_rowid_range(SM_MASTER *master, int32_t id, int32_t count,
                                                SM_ROWID_SEED seed, void *context, int32_t *first,
                                                int32_t *got);
/* Gives back [first, first + count) when it was the last range handed out
 * (else nothing changes). 0, -219, -114, -66. */
ZEL_API int32_t SM_registration_return_rowid_range(SM_MASTER *master, int32_t id, int32_t first,
                                                   int32_t count);
/* The cached registrations in ascending id order, all of them or, with a
 * bitmap, those whose bit id - 1 is set: *list (free it with VES_buffer_free
 * and (*count + 1) * sizeof(REGISTRATION)) and *count; null and 0 when none.
 * 0, -12. */
ZEL_API int32_t SM_registration_get_list(SM_MASTER *master, const VE_BITMAP *bitmap,
                                         REGISTRATION **list, int32_t *count);
/* The same list of the cached registrations whose flags hold every bit of
 * mask (all nonzero) or none of them (all 0). */
ZEL_API int32_t SM_registration_get_masked_list(SM_MASTER *master, uint32_t mask, int32_t all,
                                                REGISTRATION **list, int32_t *count);
/* The first cached registration (ascending ids) of the table in the database
 * whose owner is owner, or of any owner when owner is null or empty. Names in
 * the client's code page, folded as set folds them. 0; -220 when none. */
ZEL_API int32_t SM_registration_find(SM_MASTER *master, const char *database, const char *owner,
                                     const char *table, REGISTRATION *registration);
/* The registration id becomes free once the slot is not cached: 0. */
ZEL_API int32_t SM_return_registration_id(SM_MASTER *master, int32_t id);

#ifdef __cplusplus
}
#endif

#endif
