// The process's one CLI environment and connection, with the connection-level
// extended error record beside them. Every statement of the process runs on
// this connection with autocommit off (db_stmt_internal.h, db_trans.h).
#ifndef DB_CONNECT_H
#define DB_CONNECT_H

#include <stdint.h>

#include "base/util/zel_export.h"
#include "db/core/db_diag.h"

#define DB_ADMIN_DATABASE_SIZE 36 /* at most 35 characters */
#define DB_DATABASE_NAME_SIZE 32

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

ZEL_API int DB_init(CLI_DIAG_RECORD *diag);
ZEL_API int DB_connect(const char *user, const char *password);
ZEL_API int DB_disconnect(void);
ZEL_API int DB_database_use(DB_INSTANCE *instance, const char *database);
ZEL_API void DB_database_get_current(DB_INSTANCE *instance, char *name);
ZEL_API int DB_database_list(DB_INSTANCE *instance, int32_t *count, char ***list);

#ifdef __cplusplus
}
#endif

#endif
