// The machine's event log, standing in for the Windows Application log: an
// event source is a name, and each reported event becomes one line of the
// system log (syslog, facility daemon) with a priority by its type:
//     "<source>: event <id> (<type word>, category <n>): <s1>; <s2>; ..."
// Tests can capture the lines instead and fail the next registration.
#ifndef PLAT_EVENTLOG_INTERNAL_H
#define PLAT_EVENTLOG_INTERNAL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Event types, numbered as Windows numbers them. */
#define PLAT_EVENT_SUCCESS 0
#define PLAT_EVENT_ERROR 1
#define PLAT_EVENT_WARNING 2
#define PLAT_EVENT_INFORMATION 4
#define PLAT_EVENT_AUDIT_SUCCESS 8
#define PLAT_EVENT_AUDIT_FAILURE 16

typedef struct PLAT_EVENT_SOURCE_REC *PLAT_EVENT_SOURCE;

/* Registers a source on a machine (null or empty: this one; others are
 * unreachable). 0 and the handle, or a Windows error (87 for a null or empty
 * source name, 1722 for another machine, 8 without memory). */
int plat_evt_register(const char *machine, const char *source, PLAT_EVENT_SOURCE *handle);
/* Reports one event with count insertion strings; null strings are skipped.
 * 0, or 6 for a null handle. */
int plat_evt_report(PLAT_EVENT_SOURCE handle, uint16_t type, uint16_t category, uint32_t id,
                    uint16_t count, const char *const *strings);
/* Null is accepted. */
void plat_evt_deregister(PLAT_EVENT_SOURCE handle);

/* Test capture: while on, reports append "<priority> <line>\n" (priority as
 * syslog numbers it) to the capture instead of reaching syslog. Begin empties
 * the capture and clears an injected failure. */
void plat_evt_capture_begin(void);
void plat_evt_capture_end(void);
/* The captured lines; valid until the next call of the event log. */
const char *plat_evt_captured(void);
/* The next registration fails with error. */
void plat_evt_fail_register(int error);

#ifdef __cplusplus
}
#endif

#endif
