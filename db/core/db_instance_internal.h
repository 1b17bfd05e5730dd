// The instance handle's record, the callbacks the last open installed, and
// the process-wide state of the open instance that the library's operations
// read.
#ifndef DB_INSTANCE_INTERNAL_H
#define DB_INSTANCE_INTERNAL_H

#include "base/util/db_name_sizes.h"
#include "db/core/db_diag_internal.h"
#include "db/core/db_instance.h"

/* A view the instance created and drops at close. */
typedef struct DB_INSTANCE_VIEW {
    char name[DB_NAME_TABLE_SIZE];
    struct DB_INSTANCE_VIEW *next;
} DB_INSTANCE_VIEW;

/* The state-list log that the versioning code keeps for a long state list:
 * the log's name while held, and the list text it was made for (only the
 * free of that text deletes it). */
typedef struct DB_INSTANCE_STATE_LOG {
    char name[DB_NAME_FULL_TABLE_SIZE];
    const char *text;
} DB_INSTANCE_STATE_LOG;

struct DB_INSTANCE {
    DB_INSTANCE_OPEN_CONFIG config;
    DB_EXT_ERROR xerr;       /* the handle's own extended error record */
    DB_INSTANCE_VIEW *views; /* temporary views, dropped and freed at close */
    int32_t view_count;
    DB_INSTANCE_STATE_LOG state_log;
    int32_t state_log_held;
};

/* The callbacks a successful or failed open installed, for the operations
 * that call back into the host. */
typedef struct DB_INSTANCE_HOST {
    DB_LAYER_STAMP_FN layer_stamp;
    DB_ALLOCATE_ID_FN allocate_id;
    DB_OWN_SESSION_FN own_session;
    DB_SESSION_BY_PID_FN session_by_pid;
    DB_REGISTRATION_BY_NAME_FN registration_by_name;
    DB_REGISTRATION_BY_ID_FN registration_by_id;
} DB_INSTANCE_HOST;

#ifdef __cplusplus
extern "C" {
#endif

/* 0 when the spatial type library is registered in the connected database;
 * -10 when not; -12; or the failing statement-record step's code. */
int32_t db_instance_check_spatial_type(void);
/* Drops and frees the listed views. The last drop's result; -1 when the list
 * is shorter than its count. */
int32_t db_instance_drop_temporary_views(DB_INSTANCE *instance);

/* The handle last opened in this process, or null. */
DB_INSTANCE *db_instance_get_current(void);
/* The callbacks the last open installed (all null before any open). */
const DB_INSTANCE_HOST *db_instance_get_host(void);
/* The host context of the current instance, 0 without one. */
intptr_t db_instance_get_host_context(void);
/* The process's copy of the connection's code-page context; null while no
 * instance is open. */
const VE_CODEPAGE *db_instance_get_codepage(void);
/* The change stamp of a layer: the host's callback, else the clock. */
int32_t db_instance_layer_stamp(int32_t layer_id);

#ifdef __cplusplus
}
#endif

#endif
