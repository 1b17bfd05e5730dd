/* Child processes of an instance. The control process starts one server
 * process per client (SubPrograms_StartProgram), stops it through its stop
 * semaphore or terminates it, and learns of each death from a watcher thread
 * that calls the death callback once per child with its exit code. A server
 * process starts a stop watcher (SubPrograms_OnStop) that ends it with exit
 * code 0 once its semaphore is released, but only when no thread is inside a
 * stop-protected section (SubPrograms_StopHandling).
 *
 * A child's command line is the program, the arguments, the name of its stop
 * semaphore "ZEL_stop_semaphore_<control process id>_<child number>", and the
 * names of the instance's pipes "\\.\pipe\zel_client_to_server_FIFO_<instance>"
 * (the child writes it) and "\\.\pipe\zel_server_to_client_FIFO_<instance>"
 * (the child reads it); see lo_pipe.h. */
#ifndef SUBPROGRAMS_H
#define SUBPROGRAMS_H

#include <stdint.h>

#include "base/system/lo_pipe.h"
#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Exit code of a child that is still running; of a terminated child. */
#define SUBPROGRAMS_STILL_ACTIVE 259
#define SUBPROGRAMS_TERMINATE_CODE 99

/* Called on the watcher's thread (or in SubPrograms_End) once per child, after
 * the child has left the child list, with no lock of the child list held. It
 * may call SubPrograms_End. */
typedef void (*SUBPROGRAMS_DEATH_CALLBACK)(int32_t process_id, int32_t exit_code);
/* Called on the stop watcher's thread before the process ends. */
typedef void (*SUBPROGRAMS_STOP_CALLBACK)(void);

/* Control process. Makes the instance's two pipes and starts the death
 * watcher. 0; -1 when an event or a pipe cannot be made (or the watcher runs
 * already); -2 when the watcher cannot be started. ignored is not used. */
ZEL_API int32_t SubPrograms_Initialize(int32_t ignored, const char *instance,
                                       SUBPROGRAMS_DEATH_CALLBACK on_death);

/* Starts program with the arguments that follow outbound, ended by a null.
 * pause 1 pauses the death watcher (unless it is paused) until
 * SubPrograms_DeathHandling(1). *inbound and *outbound receive the instance's
 * pipes for pipe index 0 (null for any other index), whatever the outcome.
 * Returns the child's process id; -2 when the process cannot be created; -4
 * when the watcher is not running; -15 when the stop semaphore cannot be made
 * (no process is started then); -65 for a null program. */
ZEL_API int32_t SubPrograms_StartProgram(int32_t pause, int32_t pipe_index, const char *program,
                                         LO_PIPE **inbound, LO_PIPE **outbound, ...);
/* As SubPrograms_StartProgram for "<home>/bin/tobrun.exe" under the account
 * of user ("domain\name" or "name") after a log-on with password; the stop
 * semaphore is handed to that account alone. -9 when the log-on or the start
 * fails, -15 when the semaphore cannot be made or handed over. Log-ons are refused unless the
 * platform has an authenticator. */
ZEL_API int32_t SubPrograms_StartProgramAsUser(int32_t pause, int32_t pipe_index, const char *home,
                                               LO_PIPE **inbound, LO_PIPE **outbound,
                                               const char *user, const char *password, ...);

/* Releases the child's stop semaphore once. 0; -3 when no listed child has
 * that id; -1 when the watcher is not running or the release fails. */
ZEL_API int32_t SubPrograms_StopProgram(int32_t process_id);
/* Ends the child with exit code 99. 0, -3 or -1 as above. */
ZEL_API int32_t SubPrograms_TerminateProgram(int32_t process_id);
/* 1 when the id is a listed child, else 0; 1 for every id in a process whose
 * death watcher is not running (every lock holder counts as alive there). */
ZEL_API int32_t SubPrograms_ProgramAlive(int32_t process_id);
/* resume 0 pauses the death watcher and returns once it has stopped
 * watching; any other value lets it watch again. 0, or -1 when the watcher is
 * not running. Deaths during a pause are reported after it. */
ZEL_API int32_t SubPrograms_DeathHandling(int32_t resume);
/* Does nothing. */
ZEL_API void SubPrograms_SaveDeathHandling(void);
/* Ends the death watcher (waiting for it), reports every child still listed
 * to the death callback with its current exit code (259 while it runs;
 * children are not stopped), closes the pipes and forgets the children. */
ZEL_API void SubPrograms_End(void);

/* Server process. Opens the stop semaphore by name and starts the stop
 * watcher. 0; -1 when the semaphore cannot be opened, a watcher runs already,
 * or the thread cannot be started. */
ZEL_API int32_t SubPrograms_OnStop(SUBPROGRAMS_STOP_CALLBACK on_stop, const char *semaphore_name);
/* leave 0 enters the stop-protected section (recursive, per thread), any other
 * value leaves it. 0, or -1 when the calling thread does not hold it. Once a
 * stop has begun, entering waits until the process ends. */
ZEL_API int32_t SubPrograms_StopHandling(int32_t leave);
/* Ends the calling thread with that exit code. */
ZEL_API void SubPrograms_ThreadExit(int32_t code);

#ifdef __cplusplus
}
#endif

#endif
