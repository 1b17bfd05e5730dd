// The instance's service: create and delete it, ask its state, start it with
// the instance's home directory and the scrambled administrator password, stop
// it, and write its records to the event log under a source named after it.
// Used by the host executables, the installation tools and the control
// process's start function. A positive result is the Windows error number the
// service manager gave (platform/plat_service_internal.h).
#ifndef VE_SERVICE_H
#define VE_SERVICE_H

#include <stdint.h>

#include "base/util/zel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Event ids written by the functions below (information events whose one
 * insertion string is the service name). */
#define VE_EVENT_SERVICE_CREATED 100
#define VE_EVENT_SERVICE_DELETED 101
#define VE_EVENT_SERVICE_NOT_DELETED 102
#define VE_EVENT_SERVICE_RUNNING 105
#define VE_EVENT_SERVICE_STOPPING 108

/* Event types of VES_LogEvent. */
#define VE_EVENT_ERROR 1
#define VE_EVENT_WARNING 2
#define VE_EVENT_INFORMATION 4

/* Longest password a start can pass: its scrambled form (10 characters more)
 * must fit the 135 characters of a start argument. */
#define VE_SERVICE_PASSWORD_MAX 125

/* Room VES_QueryServiceStatus needs in its out text. */
#define VE_SERVICE_STATUS_SIZE 25

/* Creates a service of its own process, started at system start, running the
 * command line (as the local system without an account; an account without
 * a backslash is a local one, ".\" put before it), and registers its event
 * source with the command line as message file. dependencies: names each
 * zero-terminated, ended by an empty name, or null. 0; -65 null name or
 * command line; the registration's result (-1 or -65; the service stays
 * created); a Windows error from the manager. */
ZEL_API int32_t VES_CreateService(const char *name, const char *display_name,
                                  const char *command_line, const char *dependencies,
                                  const char *account, const char *password);
/* Deletes the service, then its event source. 0; -65 null name; -1 when the
 * event source cannot be removed (the service is gone); a Windows error. */
ZEL_API int32_t VES_DeleteService(const char *name);
/* Writes the service's state ("SERVICE_STOPPED", "SERVICE_RUNNING", ...) into
 * out (VE_SERVICE_STATUS_SIZE bytes); a pausing service leaves out as it is.
 * 0; -65 null argument; -1 when the service or its state cannot be reached. */
ZEL_API int32_t VES_QueryServiceStatus(const char *name, char *out);
/* Starts the service with two start arguments: first_argument (or "#") and
 * the password scrambled (or a null slot), and waits until it reports
 * running (0), stops (-1, two lines on standard error) or the wait runs out
 * (Windows error 1053). -209 when it runs already; -65 null name; -66 a
 * password longer than VE_SERVICE_PASSWORD_MAX; a negative scrambler result;
 * otherwise a Windows error. machine null: this machine. */
ZEL_API int32_t VES_start_service(const char *machine, const char *name, const char *first_argument,
                                  const char *password);
/* Asks the service to stop and returns without waiting. 0 when the request
 * was accepted; -65 null name; -1 otherwise (a message when the service is
 * stopped already or refuses). */
ZEL_API int32_t VES_stop_service(const char *name);
/* Writes an event of the type and id with the strings that are not null (in
 * their order). The first call that registers a source fixes it for the
 * process; later source names are not looked at. An event that cannot be
 * written is dropped. */
ZEL_API void VES_LogEvent(uint16_t type, uint32_t id, const char *source, const char *string1,
                          const char *string2, const char *string3);

#ifdef __cplusplus
}
#endif

#endif
