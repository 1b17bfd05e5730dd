// The process's connection (its CLI handles and what the connect learned, in
// one record behind db_connection()), the administrative database name, and
// the connect, disconnect and teardown steps behind the entry points. The
// connection-level extended error record is in db_xerr_internal.h.
#ifndef DB_CONNECT_INTERNAL_H
#define DB_CONNECT_INTERNAL_H

#include <sql.h>
#include <stddef.h>

#include <string>

#include "db/core/db_connect.h"
#include "db/core/db_xerr_internal.h"

#define DB_ADMIN_DATABASE_DEFAULT "zel"
/* Longest administrative database name: every catalogue name is built from
 * a copy of at most this many characters, so a longer one is refused. */
#define DB_ADMIN_DATABASE_NAME_MAX 31
/* The data source that stands for the administrative database. */
#define DB_NULL_DATABASE "null=database"
#define DB_LITERAL_AFFIX_SIZE 3 /* at most 2 characters */

/* The process's one connection. */
struct DB_CONNECTION {
    SQLHENV henv = SQL_NULL_HENV; /* SQL_NULL_HENV when not connected */
    SQLHDBC hdbc = SQL_NULL_HDBC; /* SQL_NULL_HDBC when not connected */
    bool connected = false;       /* hdbc is connected to a database */
    char literal_prefix[DB_LITERAL_AFFIX_SIZE] = "";
    char literal_suffix[DB_LITERAL_AFFIX_SIZE] = "";
    int32_t initialised = 0; /* set once the driver check ran to its end */
    /* Administrative database name kept by the instance open; empty until then. */
    char admin_database[DB_ADMIN_DATABASE_SIZE] = "";
    std::string password; /* of the last connect, to reconnect to another database */
    /* Transaction modes (db_trans.h). */
    int32_t user_transaction = 0;    /* a user transaction is open */
    int32_t autocommit_interval = 0; /* counted steps of a user transaction per commit */
    int32_t autocommit_counter = 0;  /* steps counted since the last commit */
};

#ifdef __cplusplus
extern "C" {
#endif

/* The process's connection record. */
DB_CONNECTION *db_connection(void);

/* ZEL_DATABASE, or "zel" when it is not set: the one place that reads the
 * variable. The instance open and the connect read it anew on every call;
 * the name builders keep their first answer (DB_instance_get_admin_database). */
const char *db_admin_database_configured(void);
/* The administrative database: the kept name, else the configured one. */
const char *db_admin_database_name(void);
/* Whether the database part of a data source (the text before any ";") is
 * admin, without regard to case. */
bool db_is_admin_database(const char *data_source, const char *admin);

/* Connects the process: see the database rules in db_connect.cpp. database
 * is read and, when empty or "null=database", receives the administrative
 * database name (bounded by database_size). The record's code is the
 * connect's CLI return code (0 or 1), -162 for another database, -51 with
 * the diagnostic, or the driver check's failing code with its diagnostic. */
CLI_DIAG_RECORD db_connect(const char *user, const char *password, char *database,
                           size_t database_size);
/* Commits, disconnects and frees both handles. Code 0, or -51 with the
 * diagnostic of the first failing step; the handles that step left stay. */
CLI_DIAG_RECORD db_disconnect(void);
/* The one teardown of the connection: the orderly db_disconnect, then
 * whatever handles a failed step left are disconnected and freed without
 * looking at the results, so no environment is left for the next connect to
 * stack on. Both cells are null afterwards; nothing happens when neither is
 * held. */
void db_connection_release(void);
/* Frees the handles without a commit: disconnects a connected handle, frees
 * the connection, then the environment, and clears both cells. */
void db_connection_free_handles(void);

int db_get_locale_env_name(char *out);

#ifdef __cplusplus
}
#endif

#endif
