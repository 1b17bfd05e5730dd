// The IMV view's objects made from texts at hand, and the check whether its
// trigger texts can be made, which the column changes share.
#ifndef DB_IMV_INTERNAL_H
#define DB_IMV_INTERNAL_H

#include <stdint.h>

#include "db/version/db_imv.h"

/* Trigger kinds, in the order they are made. */
#define DB_IMV_TRIGGER_COUNT 3

#ifdef __cplusplus
extern "C" {
#endif

/* Runs the view text, the CREATE SEQUENCE and the three trigger texts
 * (insert, delete, update), each committed; a failure after the view drops
 * the view and the sequence again (the failing statement's error record
 * kept) and is returned. Returns 0; -37, -25, -51; -65; -66 or -322 for an
 * owner or view name that is not an identifier (nothing run). */
int32_t db_imv_view_create_from_texts(const REGISTRATION *registration, const char *view,
                                      const char *const triggers[DB_IMV_TRIGGER_COUNT]);

/* 0 when the registration's three IMV trigger texts can be made; -1008 when
 * one comes out empty; the builder's code. */
int32_t db_imv_triggers_available(const REGISTRATION *registration);

#ifdef __cplusplus
}
#endif

#endif
