// The user-transaction and autocommit state, shared inside the library.
#ifndef DB_TRANS_INTERNAL_H
#define DB_TRANS_INTERNAL_H

#include "db/core/db_trans.h"

#ifdef __cplusplus
extern "C" {
#endif

int32_t db_trans_in_user_transaction(void);
/* Counts like the autocommit control (only inside a user transaction); 1 when
 * the interval is reached (the counter is reset), else 0. Commits nothing. */
int32_t db_trans_autocommit_due(void);

#ifdef __cplusplus
}
#endif

#endif
