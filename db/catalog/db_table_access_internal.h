// The statement runners through which the catalogue code grants and revokes,
// and the reading of a catalogue privilege text into a privilege mask.
#ifndef DB_TABLE_ACCESS_INTERNAL_H
#define DB_TABLE_ACCESS_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "db/catalog/db_table_access.h"

// Privileges of a systabauth.tabauth text of size bytes: "S"/"s" at 0 select,
// "U"/"u" at 1 update, "I"/"i" at 3 insert, "D"/"d" at 4 delete.
int32_t db_privileges_from_tabauth(const char *text, size_t size);

// Runs "GRANT <privileges> ON <object> TO <user>" (grant set) or "REVOKE
// <privileges> ON <object> FROM <user>", with " WITH GRANT OPTION" only when
// both grant and grant_option are set; committed, a failure recorded in the
// connection's extended error record. Returns db_execute_ddlsql's result;
// -65 for a null text.
int32_t db_table_grant_sql(DB_INSTANCE *instance, int32_t unused, const char *privileges,
                           const char *object, const char *user, int32_t grant,
                           int32_t grant_option);

// Runs a privilege statement, committed, nothing recorded. Returns
// db_execute_ddlsql's result, or 0 with ignore_errors set.
int32_t db_execute_privilege_sql(const char *sql, int32_t ignore_errors);

#endif
