// The chained lock tables of the instance's shared memory: state, table and
// object locks share one shape (a used chain and a free chain of slots headed
// in the header, a count in use) and one request scheme, in which every held
// lock answers a request with "have", "convert", "conflict" or nothing by a
// rule table. Slots start with the holder (32-bit) and an identity key; the
// next slot (16-bit, 0xFFFE = end) and the type (16-bit) follow at offsets
// the table gives.
//
// A holder that died inside a table's mutex may have left a slot off both
// chains or a count off by one; every walk is bounded by the table's capacity
// and checks each index, and a table whose mutex came back abandoned, or whose
// chain a walk finds bad, is rebuilt (sm_chain_repair) before the request
// goes on.
#ifndef SM_LOCK_CHAIN_INTERNAL_H
#define SM_LOCK_CHAIN_INTERNAL_H

#include <stdint.h>
#include <stdio.h>

#include "server/svrsys/sm_master_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Answers of a held lock to a request. */
enum { SM_VERDICT_NONE, SM_VERDICT_HAVE, SM_VERDICT_CONVERT, SM_VERDICT_CONFLICT };

/* Rules of a cell of a rule table; "same" is the same holder, "ss" the same
 * identity key. */
enum {
    SM_RULE_NONE,              /* nothing */
    SM_RULE_CONFLICT,          /* conflict */
    SM_RULE_HAVE_SAME,         /* have if same */
    SM_RULE_CONVERT_SAME_ELSE, /* convert if same, else conflict */
    SM_RULE_HAVE_SAME_ELSE,    /* have if same, else conflict */
    SM_RULE_HAVE_SS,           /* have if same and ss */
    SM_RULE_CONVERT_SS_ELSE,   /* convert if same and ss, else conflict if ss */
    SM_RULE_HAVE_SS_ELSE,      /* have if same and ss, else conflict if ss */
    SM_RULE_CONFLICT_SS,       /* conflict if ss */
    SM_RULE_CONFLICT_SS_OTHER  /* conflict if ss and not same */
};

/* One chained table as a process sees it. */
typedef struct SM_CHAIN_TABLE {
    SM_MASTER *master;
    char *slots;
    int32_t slot_size;
    int32_t capacity; /* slots on the chains */
    int32_t key_size; /* identity key bytes, right after the holder */
    int32_t next_offset;
    int32_t type_offset;
    int32_t *used_head; /* header words */
    int32_t *free_head;
    int32_t *count;
    int32_t mutex;        /* its number */
    const uint8_t *rules; /* rules[requested * types + held] */
    int32_t types;
    uint32_t convert_ends; /* bit t: a convert ends the walk of request t */
    const char *heading;   /* of the list on standard error */
    void (*print)(const void *slot, FILE *stream, int32_t index, int32_t verbose);
} SM_CHAIN_TABLE;

/* A request: holder, identity key (key_size bytes) and type. */
typedef struct SM_CHAIN_REQUEST {
    int32_t holder;
    const void *key;
    int32_t type;
} SM_CHAIN_REQUEST;

/* The table's mutex (a holder that died inside has been repaired after by
 * sm_mutex_lock). 0 or -1. */
int32_t sm_chain_lock(SM_CHAIN_TABLE *table);
int32_t sm_chain_unlock(SM_CHAIN_TABLE *table);
/* Rebuilds the chains: the used chain keeps its well-formed front, every
 * other slot is zeroed onto the free chain, the count is recounted. */
void sm_chain_repair(SM_CHAIN_TABLE *table);

/* The three chained tables of a handle. */
SM_CHAIN_TABLE sm_state_lock_table(SM_MASTER *master);
SM_CHAIN_TABLE sm_table_lock_table(SM_MASTER *master);
SM_CHAIN_TABLE sm_object_lock_table(SM_MASTER *master);
/* Rebuilds the layer-lock chains in the same way (sm_layer_lock.cpp). */
void sm_layer_locks_repair(SM_MASTER *master);
/* Rebuilds the lock table (or, for mutex 4, the registration cache's chain)
 * that mutex number guards, if it guards one: called by sm_mutex_lock when it
 * finds the mutex abandoned. */
void sm_lock_tables_repair(SM_MASTER *master, int32_t number);

/* Each of these takes the table's mutex for the call (-1 when it fails). */
/* The request (Algorithms of the lock tables): 0, -49 or -50. */
int32_t sm_chain_request(SM_CHAIN_TABLE *table, const SM_CHAIN_REQUEST *request);
/* Removes the holder's first lock with the key whose type passes the filter
 * (null: any type): 0 or -48. */
int32_t sm_chain_remove_first(SM_CHAIN_TABLE *table, int32_t holder, const void *key,
                              int (*type_matches)(int32_t type, int32_t flag), int32_t flag);
/* Removes every lock of the holder: 0. */
int32_t sm_chain_remove_holder(SM_CHAIN_TABLE *table, int32_t holder);
/* Calls visit for every lock on the used chain in chain order and returns the
 * number visited; the caller holds the mutex or has chosen not to. */
int32_t sm_chain_visit(SM_CHAIN_TABLE *table, void (*visit)(void *context, const void *slot),
                       void *context);
/* The list of the display_used calls: under the mutex, each lock to emit or,
 * without one, printed to standard error after the heading. The count, or
 * -1. */
int32_t sm_chain_list(SM_CHAIN_TABLE *table, void (*emit)(void *context, const void *slot),
                      void *context);

/* " , Next: %u\n" when verbose, else "\n": the end of every display line. */
void sm_lock_display_end(FILE *stream, uint16_t next, int32_t verbose);

#ifdef __cplusplus
}
#endif

#endif
