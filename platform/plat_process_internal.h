// Child processes standing in for the Windows process calls of child-process
// management: start a program (posix_spawn), a handle that can be waited on
// (a pidfd, signalled once the process has ended), the exit code (259 while it
// runs), termination with a chosen exit code, and starting under another
// user's identity through a pluggable authenticator. A process is reaped only
// through its own handle, never by waiting for any child. Errors are the C
// library's error numbers.
#ifndef PLAT_PROCESS_INTERNAL_H
#define PLAT_PROCESS_INTERNAL_H

#include <stdint.h>
#include <sys/types.h>

#include "platform/plat_sync_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The exit code of a process that has not ended. */
#define PLAT_STILL_ACTIVE 259

typedef struct PLAT_PROCESS PLAT_PROCESS;

/* Starts argv[0] (searched along PATH when it holds no "/") with the
 * null-terminated argv, this process's environment and folder, the
 * descriptors not marked close-on-exec (the inheritable handles: every one
 * the library opens is close-on-exec, so only those a host hands on
 * deliberately), an empty signal mask and default signal actions.
 * The caller closes *process with plat_process_close. */
int plat_process_spawn(const char *const argv[], PLAT_PROCESS **process);

/* The identity a log-on grants. */
typedef struct PLAT_USER_ID {
    uid_t uid;
    gid_t gid;
} PLAT_USER_ID;

/* Checks a user's password and answers the identity to start programs under:
 * 0, or an error number. domain is null when the user name had none. */
typedef int (*PLAT_AUTHENTICATOR)(const char *domain, const char *user, const char *password,
                                  PLAT_USER_ID *id);

/* Installs the authenticator of plat_logon_user and returns the one before;
 * null restores the default, which refuses every log-on with EACCES. */
PLAT_AUTHENTICATOR plat_set_authenticator(PLAT_AUTHENTICATOR authenticator);
int plat_logon_user(const char *domain, const char *user, const char *password, PLAT_USER_ID *id);

/* As plat_process_spawn, the child taking the identity (with the user's
 * supplementary groups) before it runs the program. Another identity than
 * this process's needs the privilege to change it. */
int plat_process_spawn_as_user(const PLAT_USER_ID *id, const char *const argv[],
                               PLAT_PROCESS **process);

/* Opens a running process by its id for waiting (what the Windows open of a
 * process with SYNCHRONIZE access gives): its waitable is signalled once it
 * has ended. A process that is not our child has no exit code here
 * (plat_process_exit_code answers ECHILD). 0, or an error number (ESRCH when
 * no process has that id). */
int plat_process_open(int32_t pid, PLAT_PROCESS **process);

int32_t plat_process_id(const PLAT_PROCESS *process);
/* Signalled from the moment the process has ended; never reset. */
PLAT_WAITABLE *plat_process_waitable(PLAT_PROCESS *process);
/* PLAT_STILL_ACTIVE while the process runs; once it has ended, its exit
 * status, the code given to plat_process_terminate when that ended it, or
 * 128 plus the number of the signal that killed it. The first read after the
 * end reaps the process. */
int plat_process_exit_code(PLAT_PROCESS *process, int32_t *code);
/* Ends the process; its exit code becomes code unless it had ended already. */
int plat_process_terminate(PLAT_PROCESS *process, int32_t code);
/* Releases the handle; a process still running goes on. */
void plat_process_close(PLAT_PROCESS *process);

#ifdef __cplusplus
}
#endif

#endif
