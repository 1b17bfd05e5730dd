// Small connection services for the SQL builders: commit and roll back
// without a result, the current user, EXECUTE grants on routines, and the
// copy of the connection's error into a stream.
#ifndef DB_HELPERS_INTERNAL_H
#define DB_HELPERS_INTERNAL_H

#include <sql.h>
#include <stdint.h>

#include "db/core/db_diag_internal.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

#define DB_ROUTINE_FUNCTION 1
#define DB_ROUTINE_SPECIFIC 2
#define DB_ROUTINE_PROCEDURE 3
#define DB_ROUTINE_ROUTINE 4

void db_commit_transaction(void);
void db_rollback_transaction(void);
// Copies the connection's user into a buffer of DB_USER_NAME_SIZE bytes.
char *db_get_current_user(char *name);
// Copies code, native error and message of the connection's extended error
// record into the stream's and empties the stream's SQLSTATE text.
void db_stream_copy_global_xerr(DB_STREAM *stream);
// "GRANT EXECUTE ON <kind> <routine> TO <grantee>", committed, errors
// recorded. Returns the statement's status, -66 for an unknown kind, -65 for
// a null name or grantee.
int32_t db_grant_execute_routine(DB_INSTANCE *instance, const char *routine, int32_t kind,
                                 const char *grantee);

// Runs a query of one text column on the connection and reads its first row
// into out (size bytes, bound as text; *length gets the indicator). Returns
// SQL_SUCCESS or SQL_SUCCESS_WITH_INFO with a row, SQL_NO_DATA without, else
// the failing CLI code with *diag read from the statement. The statement is
// freed in every case.
SQLRETURN db_select_one_text(const char *sql, char *out, SQLLEN size, SQLLEN *length,
                             CLI_DIAG_RECORD *diag);

#endif
