// The process's CLI environment and connection handles, the connection-level
// extended error record, and the connect and disconnect steps behind the
// entry points.
#ifndef DB_CONNECT_INTERNAL_H
#define DB_CONNECT_INTERNAL_H

#include <sql.h>
#include <stddef.h>

#include "db/core/db_connect.h"

#define DB_ADMIN_DATABASE_DEFAULT "zel"
#define DB_LITERAL_AFFIX_SIZE 3 /* at most 2 characters */

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

#ifdef __cplusplus
}
#endif

#endif
