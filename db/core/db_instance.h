// The instance handle: what a server process opens once, after loading the
// client's code page, and keeps until it ends. Opening connects the process's
// one CLI connection (db_connect.h), installs the host's callbacks, keeps a
// copy of the code-page context and creates the layer cache; closing undoes
// all of it. Beside it the password and user checks the hosts call and the
// share lock on the release table.
#ifndef DB_INSTANCE_H
#define DB_INSTANCE_H

#include <stdint.h>

#include "base/util/ve_codepage.h"
#include "base/util/ve_registration.h"
#include "base/util/zel_export.h"

#define DB_INSTANCE_HOST_AREA_SIZE 520
#define DB_INSTANCE_DATA_SOURCE_SIZE 164 /* at most 163 characters */
#define DB_INSTANCE_PASSWORD_SIZE 36     /* the DBA password kept: at most 35 characters */
#define DB_INSTANCE_DBA_CHECK_SIZE 40    /* a password checked against it: at most 39 */

typedef struct DB_INSTANCE DB_INSTANCE;

/* The host's session record, reached through the two session callbacks. The
 * library reads only these words; the host's record may go on after them. */
typedef struct DB_HOST_SESSION {
    int32_t process_id;
    int32_t host_word;
    int32_t start_time; /* seconds since 1970 */
} DB_HOST_SESSION;

/* Host callbacks. The first argument is always the configuration's host
 * context. */
typedef int32_t (*DB_LAYER_STAMP_FN)(intptr_t context, int32_t layer_id);
typedef int32_t (*DB_ALLOCATE_ID_FN)(intptr_t context, int32_t layer_id, int32_t count);
typedef int32_t (*DB_OWN_SESSION_FN)(intptr_t context, DB_HOST_SESSION **session);
typedef int32_t (*DB_SESSION_BY_PID_FN)(intptr_t context, int32_t process_id,
                                        DB_HOST_SESSION **session);
/* 0 with the record filled; -220 when the table is not registered. */
typedef int32_t (*DB_REGISTRATION_BY_NAME_FN)(intptr_t context, const char *table,
                                              REGISTRATION *registration);
typedef int32_t (*DB_REGISTRATION_BY_ID_FN)(intptr_t context, int32_t registration_id,
                                            REGISTRATION *registration);

/* The host's open configuration, copied whole into the handle. */
typedef struct DB_INSTANCE_OPEN_CONFIG {
    intptr_t host_context;         /* opaque, handed back to every callback */
    int32_t autocommit_interval;   /* 0 leaves the interval as it is */
    int32_t layer_cache_size;      /* 0: no layer cache; below 5 gives 5 */
    DB_LAYER_STAMP_FN layer_stamp; /* null: the C library's clock stands in */
    DB_ALLOCATE_ID_FN allocate_id; /* null: id allocation answers -1 */
    VE_CODEPAGE *codepage;         /* filled by CODEPAGE_svrcpginit; must not be null */
    unsigned char host_area[DB_INSTANCE_HOST_AREA_SIZE]; /* the host's own */
    DB_OWN_SESSION_FN own_session;
    DB_SESSION_BY_PID_FN session_by_pid;
    DB_REGISTRATION_BY_NAME_FN registration_by_name;
    DB_REGISTRATION_BY_ID_FN registration_by_id;
    int32_t reserved;
    int32_t no_version_lock; /* non-zero: DB_instance_lock does nothing */
} DB_INSTANCE_OPEN_CONFIG;

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the process's instance and hands out the handle, which the caller
 * releases with DB_instance_close. Returns 0; -12; -162 for a database other
 * than the administrative one; -9 for a refused login; -158 when the data
 * source or driver is missing; -51 for another connect failure; -65 for a
 * null argument; -66 for an administrative database name (ZEL_DATABASE) of
 * more than 31 characters; or the failure of the autocommit set-up or the layer cache.
 * A failed open leaves no connection and nothing allocated. */
ZEL_API int32_t DB_instance_open(const char *data_source, const char *user, const char *password,
                                 const DB_INSTANCE_OPEN_CONFIG *config, DB_INSTANCE **out);
/* Opens as the administrative user "zel" on the administrative database and
 * checks that the spatial type library is registered. 0; -93 for a refused
 * login or a password over 35 characters (refused before any login); -10 without the spatial type
 * (the handle is then open and handed out: the caller closes it); any other failure of the open or
 * the check. */
ZEL_API int32_t DB_instance_open_as_dba(const char *password, const DB_INSTANCE_OPEN_CONFIG *config,
                                        DB_INSTANCE **out);
/* Drops the instance's temporary views, commits, disconnects, frees the
 * layer cache and the handle. 0; a null handle is ignored. */
ZEL_API int32_t DB_instance_close(DB_INSTANCE *instance);
/* Takes the share lock on the release table inside the open transaction.
 * 0; -1 when the table is missing; -51 on another failure (then commits). */
ZEL_API int32_t DB_instance_lock(DB_INSTANCE *instance);
/* 0; -9 when the password holds an at sign; -65 for a null password. */
ZEL_API int32_t DB_instance_check_password(const char *password);
/* 0 when it equals the DBA password of this process's DBA open; -93 when it
 * differs; -1 when the process did not open as DBA. */
ZEL_API int32_t DB_instance_check_dba_password(DB_INSTANCE *instance, const char *password);
/* 1 for the administrative user "zel" in any case; else 0. */
ZEL_API int32_t DB_instance_user_is_zel_admin(DB_INSTANCE *instance, const char *user);
ZEL_API int32_t DB_instance_get_real_user(void);

#ifdef __cplusplus
}
#endif

#endif
