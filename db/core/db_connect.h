// The process's one CLI environment and connection, with the connection-level
// extended error record beside them. Every statement of the process runs on
// this connection with autocommit off (db_stmt.h, db_trans.h).
#ifndef DB_CONNECT_H
#define DB_CONNECT_H

#include <sql.h>
#include <stddef.h>
#include <stdint.h>

#include "base/util/zel_export.h"
#include "db/core/db_diag.h"

#define DB_ADMIN_DATABASE_DEFAULT "zel"
#define DB_ADMIN_DATABASE_SIZE 36 /* at most 35 characters */
#define DB_DATABASE_NAME_SIZE 32
#define DB_LITERAL_AFFIX_SIZE 3 /* at most 2 characters */

typedef struct DB_INSTANCE DB_INSTANCE;

#ifdef __cplusplus
extern "C" {
#endif

extern SQLHENV db_henv;             /* SQL_NULL_HENV when not connected */
extern SQLHDBC db_hdbc;             /* SQL_NULL_HDBC when not connected */
extern DB_EXT_ERROR db_global_xerr; /* the connection-level extended error record */
extern char db_literal_prefix[DB_LITERAL_AFFIX_SIZE];
extern char db_literal_suffix[DB_LITERAL_AFFIX_SIZE];
extern int32_t db_initialised; /* set once the driver check ran to its end */
/* Administrative database name kept by the instance open; empty until then. */
extern char db_admin_database[DB_ADMIN_DATABASE_SIZE];

/* The administrative database: the kept name, else ZEL_DATABASE, else "zel". */
const char *db_admin_database_name(void);

/* Connects the process: see the database rules in db_connect.cpp. database
 * is read and, when empty or "null=database", receives the administrative
 * database name (bounded by database_size). The record's code is the
 * connect's CLI return code (0 or 1), -162 for another database, -51 with
 * the diagnostic, or the driver check's failing code with its diagnostic. */
CLI_DIAG_RECORD db_connect(const char *user, const char *password, char *database,
                           size_t database_size);
/* Commits, disconnects and frees both handles. Code 0, or -51 with the
 * diagnostic of the first failing step. */
CLI_DIAG_RECORD db_disconnect(void);

int db_get_locale_env_name(char *out);

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
