// Log files: saved, named sets of row ids of one registered table, kept per
// database user in two tables of the user's schema (<owner>_zel_logfiles,
// one row per log, and <owner>_zel_logfile_data, one row per id) with a
// sequence function beside them. A log is named [database:][owner.]name.
// Logs are created, listed, altered and deleted here, and opened through a
// per-process descriptor that moves ids in and out 100 at a time. The
// records are LOGFILE (base/util/ve_loginfo.h).
//
// Every function clears the connection's extended error record first and,
// apart from DB_log_init, DB_log_end, the two system-table functions and the
// two grant functions, answers -44 while the log system is not initialised.
// Operations on another user's logs need that user to be the current one or
// the current user to be the administrator "zel" (else -44).
#ifndef DB_LOG_H
#define DB_LOG_H

#include <stdint.h>

#include "base/util/ve_loginfo.h"
#include "base/util/zel_export.h"

typedef struct DB_INSTANCE DB_INSTANCE;

/* Open modes of DB_log_open. */
#define DB_LOG_READ 0    /* the log must exist; ids are only read */
#define DB_LOG_REPLACE 1 /* an existing log is emptied, a missing one created */
#define DB_LOG_APPEND 2  /* the log must exist; ids are added to it */
#define DB_LOG_CREATE 3  /* the log must not exist */

/* Longest bare log name (the part after the owner). */
#define DB_LOG_NAME_MAX 64

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the log system of this process: takes the process's tag and
 * deletes the current user's temporary logs whose process has ended.
 * Always 0. */
ZEL_API int32_t DB_log_init(DB_INSTANCE *instance);
/* Ends it: deletes this process's temporary logs, removes the current
 * user's id rows that no log owns any more, and frees every open descriptor
 * without writing its buffered ids. Always 0. */
ZEL_API int32_t DB_log_end(DB_INSTANCE *instance);

/* Creates the current user's two tables, their indexes and grants and the
 * sequence function; what exists already is passed over. 0; -62 when the
 * function exists already; -288 on another failure (the steps before it
 * stay, the reason goes to standard error); -66 without a current user; or
 * the storage configuration's failure. */
ZEL_API int32_t DB_log_system_tables_create(void);
/* 0 when the current user's tables and sequence function exist; -37 when
 * one of them is missing. */
ZEL_API int32_t DB_log_system_tables_exist(void);

/* Adds a log: the record's name (owner part or the current user), flags
 * (LOGINFO_*), table name (or registration) and, for a layer log, layer id
 * and spatial column. Fills in the record's qualified name, ids, tag and
 * registration. 0; -66 for a null record or a name that does not parse or
 * is longer than DB_LOG_NAME_MAX; -37 when the table is not registered or
 * the layer not found; -186 for a table log without a row-id column; -51
 * (connection's record filled); or the host's look-up failure. */
ZEL_API int32_t DB_log_create(DB_INSTANCE *instance, LOGFILE *log);
/* Deletes the named log; its ids stay until the owner's next DB_log_end.
 * 0; -66 null or empty name; -253 the log is open in this process; -43 no
 * such log. */
ZEL_API int32_t DB_log_delete(DB_INSTANCE *instance, const char *name);
/* Writes the record's flags to the log of its id. 0; -43 no such log;
 * -66 null record. */
ZEL_API int32_t DB_log_alter(DB_INSTANCE *instance, const LOGFILE *log);
/* Reads the named log into *out (its tag word is kept). 0; -43 none;
 * -66 null or empty name or null out; -51. */
ZEL_API int32_t DB_log_get_by_name(DB_INSTANCE *instance, const char *name, LOGFILE *out);
/* Every log of the owner (null or empty: the current user) as one heap
 * block of *count records, which the caller frees with free (null when there
 * are none). 0; -66 null outs; -12; -51. */
ZEL_API int32_t DB_log_get_by_owner(DB_INSTANCE *instance, const char *owner, LOGFILE **list,
                                    int32_t *count);
/* The owner's logs of one registered table, as DB_log_get_by_owner. -66
 * also for a null or empty table; the host's registration look-up failure. */
ZEL_API int32_t DB_log_get_by_table(DB_INSTANCE *instance, const char *owner, const char *table,
                                    LOGFILE **list, int32_t *count);
/* Writes a new temporary log name, unique in this process, into out (a
 * LOGFILE name field). 0; -65 null out. */
ZEL_API int32_t DB_log_make_name(DB_INSTANCE *instance, char *out);
/* Lets grantee read the owner's logs (SELECT on both tables, EXECUTE on the
 * sequence function), or takes the SELECT grants back. 0; -44 when the
 * current user is neither the owner (any case) nor "zel"; -65 null
 * argument; the first failing statement's code. */
ZEL_API int32_t DB_log_grant_access(DB_INSTANCE *instance, const char *owner, const char *grantee);
ZEL_API int32_t DB_log_revoke_access(DB_INSTANCE *instance, const char *owner, const char *grantee);

/* Opens a log in one of the DB_LOG_* modes and gives its descriptor number
 * (1, 2, ...). The caller's record names the log (and may name its table);
 * it is completed from the stored log. 0; -65 null record or number; -66
 * bad mode or name; -43 no such log (read, append); -252 the log exists
 * (create) or belongs to another table; -24 another registration; -46 open
 * for writing already; -44 writing another user's log; -37; -51; -12. */
ZEL_API int32_t DB_log_open(DB_INSTANCE *instance, LOGFILE *log, int32_t mode, int32_t *number);
/* Writes the buffered ids and frees the descriptor (also when the write
 * failed). The write's result; -45 for a number not open. */
ZEL_API int32_t DB_log_close(DB_INSTANCE *instance, int32_t number);
/* Adds (removes) ids; ids below 1 are skipped. They are written 100 at a
 * time; the rest waits for the next write. 0; -66 null ids or negative
 * count; -45 number not open; -44 on a read descriptor; -51. */
ZEL_API int32_t DB_log_add_id_list(DB_INSTANCE *instance, int32_t number, const int32_t *ids,
                                   int32_t count);
ZEL_API int32_t DB_log_delete_id_list(DB_INSTANCE *instance, int32_t number, const int32_t *ids,
                                      int32_t count);
/* Reads up to capacity ids of a read descriptor into ids. 0 with *count ids
 * and more to come; -4 at the end (with the last ids; every later call gives
 * -4 and none); -66 null outs or capacity below 1; -45; -44 on a write
 * descriptor; -51. */
ZEL_API int32_t DB_log_get_id_list(DB_INSTANCE *instance, int32_t number, int32_t capacity,
                                   int32_t *ids, int32_t *count);
/* Copies the descriptor's record into *out (its tag word is kept). 0; -45;
 * -66 null out. */
ZEL_API int32_t DB_log_get_by_fdes(DB_INSTANCE *instance, int32_t number, LOGFILE *out);

#ifdef __cplusplus
}
#endif

#endif
