// Routines of the versioning code that the access core also calls: the names
// of the per-registration lineage routines (the SPL getters and setters
// through which a stored multiversion view learns the connection's state)
// and the creation of one stored routine from its CREATE text.
#ifndef DB_ROUTINE_INTERNAL_H
#define DB_ROUTINE_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "base/util/ve_registration.h"

typedef struct DB_INSTANCE DB_INSTANCE;
typedef struct DB_STREAM DB_STREAM;

// Kinds of lineage routines; the getter kinds 6 and 7 carry no number.
#define DB_LINEAGE_GET 0
#define DB_SUBLINEAGE_GET 1
#define DB_DIFFLINEAGE_GET 2
#define DB_DIFFSUBLINEAGE_GET 3
#define DB_STATEID_GET 4
#define DB_LINEAGEID_GET 5
#define DB_STARTID_GET 6
#define DB_ENDID_GET 7
#define DB_DIFFID_GET 8
#define DB_LOGID_GET 9

// Writes the name of a lineage routine of the registration into out (size
// bytes): with getter 1 the getter of the kind (ZEL_lineage_get<id> ...
// ZEL_logid_get<id>; ZEL_startid_get and ZEL_endid_get without a number),
// with getter 0 the setter (ZEL_lineage_set<id> for kinds 0 to 3,
// ZEL_lineageid_set<id> for any other). Returns 0; -66 for a null or too
// small out or a getter kind outside 0 to 9 (out then empty when it exists).
int32_t db_lineage_routine_name(int32_t registration_id, char *out, size_t size, int32_t kind,
                                int32_t getter);

// Creates one stored routine: prepares the CREATE text on a statement of its
// own (on the stream's record when one is given) and executes it directly.
// Returns 0 when the routine was created (also with a warning). When
// the server answers that the routine exists (SQLSTATE S0011), the routine
// of that bare name is dropped (committed) and the CREATE runs once more.
// A failed prepare fills the connection's extended error record and returns
// the prepare's code; a failed CREATE fills the stream's record (the
// connection's without a stream) and returns the CLI code. The statement is
// freed on every path.
int32_t db_create_procedure(DB_INSTANCE *instance, DB_STREAM *stream, const char *text,
                            const char *name);

// Size of the name block of db_table_create_rowid_update_proc.
#define DB_ROWID_PROC_NAME_SIZE 258

// Creates, committed, the procedure <owner>.<owner>_<table>_rowid_update
// (lowid, highid, startid) of the registration's table, which gives the rows
// whose physical ROWID lies in (lowid, highid] consecutive row ids from
// startid upward, in the registration's row-id column (use_registered_column
// set) or in VE_ROW_ID. *name gets the procedure's name in a heap block of
// DB_ROWID_PROC_NAME_SIZE bytes that the caller frees, on success only.
// Returns 0; -65; -66 for names that are not identifiers; -12; the
// statement's code (a procedure that exists already gives its code).
int32_t db_table_create_rowid_update_proc(const REGISTRATION *registration, int32_t unused1,
                                          int32_t unused2, int32_t use_registered_column,
                                          char **name);

#endif
