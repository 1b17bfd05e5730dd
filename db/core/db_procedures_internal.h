// Grants and drops of stored routines that the catalogue creation shares
// with the code that creates routines of its own.
#ifndef DB_PROCEDURES_INTERNAL_H
#define DB_PROCEDURES_INTERNAL_H

#include <stdint.h>

#include "db/core/db_procedures.h"

// Size of the creation's undo list (more than the 58 routines).
#define DB_ROUTINE_WORK_LIST_SIZE 80

// "GRANT <privilege> ON <object> TO <grantee>" (with " WITH GRANT OPTION"
// when with_grant_option is set), or with grant 0 "REVOKE <privilege> ON
// <object> FROM <grantee>"; committed. The names are the engine's own and go
// into the text unquoted. Returns 0; -51 with the connection's extended
// error record filled when the statement or its commit fails; -65 for a
// null text.
int32_t db_grant_privilege(DB_INSTANCE *instance, const char *privilege, const char *object,
                           const char *grantee, int32_t grant, int32_t with_grant_option);
// EXECUTE on the routine to PUBLIC, as db_grant_privilege.
int32_t db_grant_execute_public(DB_INSTANCE *instance, const char *routine);
// Runs "drop procedure <name>" for each non-null name, in array order, each
// committed; failures are recorded in the connection's extended error
// record and otherwise ignored.
void db_drop_procedure_list(DB_INSTANCE *instance, int32_t count, const char *const *names);

#endif
