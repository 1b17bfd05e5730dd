// Transaction modes of the higher layers: update and default transactions,
// user transactions that suppress their commits, and the autocommit interval
// that bounds long loads inside a user transaction. All commit on the process
// connection (db_connect.h); only SQL_SUCCESS counts as a successful commit.
#ifndef DB_TRANS_H
#define DB_TRANS_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

/* Each returns 0, or -51 with the connection-level record filled. */
ZEL_API int DB_trans_updt_start(DB_INSTANCE *instance);
ZEL_API int DB_trans_updt_commit(DB_INSTANCE *instance);
ZEL_API int DB_trans_updt_rollback(DB_INSTANCE *instance);
ZEL_API int DB_trans_def_start(DB_INSTANCE *instance);
ZEL_API int DB_trans_defwr_start(DB_INSTANCE *instance);
ZEL_API int DB_trans_def_commit(DB_INSTANCE *instance);
ZEL_API int DB_trans_user_start(DB_INSTANCE *instance);
ZEL_API int DB_trans_user_commit(DB_INSTANCE *instance);
ZEL_API int DB_trans_user_rollback(DB_INSTANCE *instance);
/* Sets the autocommit interval N; 0. */
ZEL_API int DB_trans_set_autocommit(DB_INSTANCE *instance, int32_t interval);
/* Outside a user transaction commits at once; inside, every N-th call. */
ZEL_API int DB_trans_auto_commit_control(DB_INSTANCE *instance);
/* Commits; 0, or -51 without a record. */
ZEL_API int DB_trans_release_requests(DB_INSTANCE *instance);
ZEL_API void DB_trans_set_rollback_notifier(DB_INSTANCE *instance, void *notifier);
ZEL_API int DB_trans_set_compress_mode(DB_INSTANCE *instance, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
