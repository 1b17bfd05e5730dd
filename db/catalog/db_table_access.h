// User tables for the host: which tables a user may see, what a user or a
// grantee may do with a table, and granting and revoking table privileges.
// Privilege masks: VE_PRIV_SELECT 2, VE_PRIV_UPDATE 4, VE_PRIV_INSERT 8,
// VE_PRIV_DELETE 16 (base/util/ve_layer.h); 30 is all four, the owner's.
#ifndef DB_TABLE_ACCESS_H
#define DB_TABLE_ACCESS_H

#include <stdint.h>

#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Lists the tables of the connected database that the user owns or that are
 * granted to the user or to PUBLIC with every privilege of the mask, each
 * as "database:owner.table" in its own heap block, in one heap array; the
 * engine's catalogue tables and generated views and the adds, deletes,
 * equivalence and log tables of registrations are left out. The caller
 * frees every entry and the array with free(). Returns 0; -12 and -51
 * (connection's extended error record filled) with nothing handed out;
 * -65 for a null argument; -66 for a user name of 32 characters or more. */
ZEL_API int32_t DB_table_list(DB_INSTANCE *instance, int32_t mask, const char *user, int32_t *count,
                              char ***list);

/* The privileges of the user on the table (database:owner.table or shorter,
 * the user filling a missing owner): 30 for the owner, else the privileges
 * granted to the user, to PUBLIC and to the user's roles. Returns 0 (also
 * with a mask of 0); -37 when the user's own table does not exist; -51; -65;
 * -66 for a name part longer than its field. */
ZEL_API int32_t DB_table_get_permissions(DB_INSTANCE *instance, const char *user, const char *table,
                                         int32_t *mask);

/* The privileges granted to exactly that grantee (30 when it owns the
 * table). Codes as DB_table_get_permissions. */
ZEL_API int32_t DB_table_get_grantee_permissions(DB_INSTANCE *instance, const char *grantee,
                                                 const char *table, int32_t *mask);

/* Grants (with the grant option when asked) or revokes the mask's
 * privileges on the table to or from the user; committed. Returns 0; -105
 * when the DBMS refuses for lack of permission; -66 for a mask without any
 * of the four privileges, a table name or user that is too long; -322 for a
 * name that is not an identifier; -65; or the statement's failure. Nothing
 * is executed when an argument is refused. */
ZEL_API int32_t DB_table_grant_access(DB_INSTANCE *instance, const char *table, int32_t mask,
                                      int32_t grant_option, const char *user);
ZEL_API int32_t DB_table_revoke_access(DB_INSTANCE *instance, const char *table, int32_t mask,
                                       const char *user);

#endif
