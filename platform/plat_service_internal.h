// The machine's service manager, standing in for the Windows one. A service is
// a key "SYSTEM\CurrentControlSet\Services\<name>" of the registry store
// (platform/plat_registry_internal.h) holding its configuration and its run state.
// Starting it spawns its program as a child process in a session of its own,
// the start arguments on its standard input;
// stopping it sends SIGTERM. A service is running once its program has stayed
// up for the settle time (the program has no way to report readiness), and
// stopped once the program is gone. Results are 0 or the Windows error number
// (PLAT_ERROR_* here and in plat_registry.h).
//
// A scripted back end stands in for the whole manager in tests: it plays
// status sequences, records every call in a journal and fails the calls it is
// told to fail. The functions below reach whichever back end is selected.
#ifndef PLAT_SERVICE_INTERNAL_H
#define PLAT_SERVICE_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Configuration words, numbered as Windows numbers them. */
#define PLAT_SERVICE_WIN32_OWN_PROCESS 16u
#define PLAT_SERVICE_AUTO_START 2u
#define PLAT_SERVICE_ERROR_NORMAL 1u

/* Run states. */
#define PLAT_SERVICE_STOPPED 1u
#define PLAT_SERVICE_START_PENDING 2u
#define PLAT_SERVICE_STOP_PENDING 3u
#define PLAT_SERVICE_RUNNING 4u
#define PLAT_SERVICE_CONTINUE_PENDING 5u
#define PLAT_SERVICE_PAUSE_PENDING 6u
#define PLAT_SERVICE_PAUSED 7u

/* Controls. */
#define PLAT_SERVICE_CONTROL_STOP 1u

/* Access rights. Generic rights map to the specific ones as on Windows. */
#define PLAT_GENERIC_READ 0x80000000u
#define PLAT_GENERIC_WRITE 0x40000000u
#define PLAT_GENERIC_EXECUTE 0x20000000u
#define PLAT_GENERIC_ALL 0x10000000u
#define PLAT_DELETE 0x00010000u
#define PLAT_STANDARD_RIGHTS_REQUIRED 0x000F0000u
#define PLAT_SC_MANAGER_CREATE_SERVICE 0x0002u
#define PLAT_SERVICE_QUERY_STATUS 0x0004u
#define PLAT_SERVICE_START 0x0010u
#define PLAT_SERVICE_STOP 0x0020u

/* Errors of the service manager (Windows numbers). */
#define PLAT_ERROR_INVALID_HANDLE 6
#define PLAT_ERROR_NOT_ENOUGH_MEMORY 8
#define PLAT_ERROR_GEN_FAILURE 31
#define PLAT_ERROR_INVALID_NAME 123
#define PLAT_ERROR_BAD_EXE_FORMAT 193
#define PLAT_ERROR_SERVICE_REQUEST_TIMEOUT 1053
#define PLAT_ERROR_SERVICE_ALREADY_RUNNING 1056
#define PLAT_ERROR_SERVICE_DOES_NOT_EXIST 1060
#define PLAT_ERROR_SERVICE_CANNOT_ACCEPT_CTRL 1061
#define PLAT_ERROR_SERVICE_NOT_ACTIVE 1062
#define PLAT_ERROR_SERVICE_EXISTS 1073
#define PLAT_ERROR_SERVER_UNAVAILABLE 1722

/* A handle on the manager or on one service; closed with plat_svc_close. */
typedef struct PLAT_SC_HANDLE_REC *PLAT_SC_HANDLE;

/* What a new service is made of. dependencies is a list of zero-terminated
 * names ended by an empty name, or null; a null account is the local system
 * account. The password is not kept: the program runs as the caller's user. */
typedef struct PLAT_SERVICE_CONFIG {
    const char *display_name;
    const char *command_line; /* the program and its own words; "..." groups words */
    uint32_t type;
    uint32_t start;
    uint32_t error_control;
    const char *dependencies;
    const char *account;
    const char *password;
} PLAT_SERVICE_CONFIG;

/* The manager of a machine: null, empty, "localhost" or this host's name
 * (with or without a leading "\\") is this machine; any other is unreachable. */
int plat_svc_open_manager(const char *machine, uint32_t access, PLAT_SC_HANDLE *manager);
int plat_svc_create(PLAT_SC_HANDLE manager, const char *name, const PLAT_SERVICE_CONFIG *config,
                    uint32_t access, PLAT_SC_HANDLE *service);
int plat_svc_open(PLAT_SC_HANDLE manager, const char *name, uint32_t access,
                  PLAT_SC_HANDLE *service);
/* Refused with PLAT_ERROR_SERVICE_CANNOT_ACCEPT_CTRL while the program runs. */
int plat_svc_delete(PLAT_SC_HANDLE service);
int plat_svc_query_status(PLAT_SC_HANDLE service, uint32_t *state);
/* argv holds argc start arguments, up to the first null entry; the program
 * reads them from its standard input, each ended by a zero byte, then the end
 * of the input (never from its command line or environment, which other
 * accounts can read). PLAT_ERROR_INVALID_PARAMETER when they pass 64 KB. */
int plat_svc_start(PLAT_SC_HANDLE service, int argc, const char *const *argv);
/* Only PLAT_SERVICE_CONTROL_STOP is known; *state is the state after it. */
int plat_svc_control(PLAT_SC_HANDLE service, uint32_t control, uint32_t *state);
/* Null is accepted. */
void plat_svc_close(PLAT_SC_HANDLE handle);

/* How long a started program must stay up before it counts as running
 * (default 1000 ms). */
void plat_svc_set_settle_ms(uint32_t ms);

/* ---- Scripted back end ---------------------------------------------------
 * plat_svc_script_begin selects it with no services, no failures and an empty
 * journal; plat_svc_script_end selects the real back end again. A scripted
 * service answers status queries with its sequence, one state a query, the
 * last one repeating; without a sequence it keeps its state, which start
 * sets to running and a stop control to stop pending. */
void plat_svc_script_begin(void);
void plat_svc_script_end(void);
void plat_svc_script_add(const char *name, uint32_t state);
void plat_svc_script_states(const char *name, const uint32_t *states, size_t count);
/* The next call of operation ("open_manager", "create", "open", "delete",
 * "query", "start", "control") fails with error. */
void plat_svc_script_fail(const char *operation, int error);
/* Every call, one line each; valid until the next call of the back end. */
const char *plat_svc_script_journal(void);
/* Argument index of the last start as it was passed (a null one as
 * "<null>"); null past the last. Valid until the next call of the back end. */
const char *plat_svc_script_start_arg(int index);
/* Handles opened and not yet closed. */
int plat_svc_script_open_handles(void);

#ifdef __cplusplus
}
#endif

#endif
